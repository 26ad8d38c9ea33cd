// The scan panel's rows, options and drive box.
#include "views/scan/MusicScanScrollbox.h"

#include <algorithm>

#include "framework/OxaUtils.h"
#include "rtl/Format.h"
#include "views/OxaViewImages.h"

// --- TOxaMusicScanItem ---

TOxaMusicScanItem::TOxaMusicScanItem(TOxaObjects* parentList, std::string checkImage)
    : TOxaButton(parentList), FCheckImage(std::move(checkImage)), FCheck(new TOxaBitmap(&Objects()))
{
  FCheck->SetParent(this);
  FCheck->SetIgnoreMouse(true);
  SetBounds(0, 0, 300, RowHeight);
}

std::string TOxaMusicScanItem::CheckImageName() const
{
  static constexpr const char* kSuffixes[kOxaButtonStates] = {"N", "NA", "R", "RA", "R", "N"};
  const int state = std::clamp(State(), 0, kOxaButtonStates - 1);
  return FCheckImage + kSuffixes[state] + (FChecked ? "S" : "");
}

void TOxaMusicScanItem::SetChecked(bool value)
{
  if (value == FChecked) {
    return;
  }
  FChecked = value;
  ShowCheck();
}

void TOxaMusicScanItem::ContentChanged()
{
  TOxaButton::ContentChanged();
  if (!FShowing) {
    ShowCheck();
  }
}

void TOxaMusicScanItem::PlaceText()
{
  TOxaButton::PlaceText();
  if (!FShowing) {
    ShowCheck();
  }
  // The caption follows the check image rather than the button's alignment.
  const RECT now = ImageRect();
  const int width = now.right - now.left;
  const int height = now.bottom - now.top;
  const int y = std::max((Height() - height) / 2, 0);
  if (now.left != CaptionLeft || now.top != y) {
    SetImageRect(CaptionLeft, y, width, height);
  }
}

void TOxaMusicScanItem::ShowCheck()
{
  FShowing = true;
  OxaShowStoreImage(*FCheck, CheckImageName());
  FCheck->SetBounds(CheckLeft, std::max(0, (Height() - FCheck->Height()) / 2), FCheck->Width(),
                    FCheck->Height());
  FShowing = false;
}

// --- TOxaMusicScanCheckboxItem ---

TOxaMusicScanCheckboxItem::TOxaMusicScanCheckboxItem(TOxaObjects* parentList)
    : TOxaMusicScanItem(parentList, "CHECKBOX")
{
}

void TOxaMusicScanCheckboxItem::SetDrive(const TOxaScanDrive& drive)
{
  FDrive = drive;
  SetCaption(OxaDriveCaption(FDrive, FStyle));
}

void TOxaMusicScanCheckboxItem::SetCaptionStyle(TOxaDriveCaptionStyle value)
{
  FStyle = value;
  SetCaption(OxaDriveCaption(FDrive, FStyle));
}

void TOxaMusicScanCheckboxItem::Click()
{
  if (!Disabled()) {
    SetChecked(!Checked());
  }
  TOxaMusicScanItem::Click();
}

// --- TOxaMusicScanRadiobutton ---

TOxaMusicScanRadiobutton::TOxaMusicScanRadiobutton(TOxaObjects* parentList,
                                                   TOxaMusicScanRadiobuttonGroup* group)
    : TOxaMusicScanItem(parentList, "RADIOBUTTON"), FGroup(group)
{
}

void TOxaMusicScanRadiobutton::Click()
{
  if (!Disabled() && FGroup != nullptr) {
    FGroup->OptionClicked(this);
  }
  TOxaMusicScanItem::Click();
}

// --- TOxaMusicScanRadiobuttonGroup ---

TOxaMusicScanRadiobuttonGroup::TOxaMusicScanRadiobuttonGroup(TOxaObjects* parentList)
    : TOxaDarkenBitmap(parentList)
{
  SetBounds(0, 0, 300, GroupHeight);
}

TOxaMusicScanRadiobutton* TOxaMusicScanRadiobuttonGroup::Options(int index) const
{
  if (index < 0 || index >= Count()) {
    throw EOxaFatal(
        Format("%s.GetItem: Index out of bounds (Index = %d, Count = %d)", ClassName(), index, Count()));
  }
  return FOptions[std::size_t(index)];
}

TOxaMusicScanRadiobutton* TOxaMusicScanRadiobuttonGroup::Add(const std::string& caption)
{
  auto* option = new TOxaMusicScanRadiobutton(&Objects(), this);
  option->SetCaption(caption);
  option->SetParent(this);
  option->SetHorzAlign(oaStretch);
  option->SetVertAlign(oaStackNear);
  FOptions.push_back(option);
  return option;
}

void TOxaMusicScanRadiobuttonGroup::SetItemIndex(int value)
{
  if (value < -1 || value >= Count()) {
    value = -1;
  }
  if (value == FItemIndex) {
    return;
  }
  FItemIndex = value;
  for (int i = 0; i < Count(); ++i) {
    FOptions[std::size_t(i)]->SetChecked(i == value);
  }
  if (OnChange) {
    OnChange(this);
  }
}

void TOxaMusicScanRadiobuttonGroup::OptionClicked(TOxaMusicScanRadiobutton* option)
{
  const auto it = std::find(FOptions.begin(), FOptions.end(), option);
  if (it == FOptions.end()) {
    return;
  }
  const int index = int(it - FOptions.begin());
  SetItemIndex(index == FItemIndex ? -1 : index);
}

// --- spacers and panels ---

TOxaEmptyPanelItem::TOxaEmptyPanelItem(TOxaObjects* parentList, int height) : TOxaBitmap(parentList)
{
  SetTransparent(true);
  SetIgnoreMouse(true);
  SetBounds(0, 0, 1, height);
}

TOxaMusicCustomPanel::TOxaMusicCustomPanel(TOxaObjects* parentList) : TOxaBitmap(parentList)
{
  SetTransparent(true);
}

int TOxaMusicCustomPanel::ContentHeight() const
{
  int height = 0;
  for (int i = 0; i < ChildCount(); ++i) {
    const TOxaBitmap* child = Children(i);
    if (child->Visible()) {
      height += child->Height() + child->Margins().Top + child->Margins().Bottom;
    }
  }
  return height;
}

// --- TOxaMusicScanScrollbox ---

TOxaMusicScanScrollbox::TOxaMusicScanScrollbox(TOxaObjects* parentList)
    : TOxaDarkenBitmap(parentList),
      FPanel(new TOxaMusicScanCheckboxPanel(&Objects())),
      FScrollBar(new TOxaBitmap(&Objects()))
{
  SetAutoRealign(false);
  FPanel->SetParent(this);
  FScrollBar->SetParent(this);
  FScrollBar->SetIgnoreMouse(true);
  FScrollBar->SetVisible(false);
}

TOxaMusicScanCheckboxItem* TOxaMusicScanScrollbox::GetItem(int index) const
{
  if (index < 0 || index >= Count()) {
    throw EOxaFatal(
        Format("%s.GetItem: Index out of bounds (Index = %d, Count = %d)", ClassName(), index, Count()));
  }
  return FItems[std::size_t(index)];
}

TOxaMusicScanCheckboxItem* TOxaMusicScanScrollbox::AddDrive(const TOxaScanDrive& drive)
{
  auto* item = new TOxaMusicScanCheckboxItem(&FPanel->Objects());
  item->SetDrive(drive);
  item->SetParent(FPanel);
  item->SetHorzAlign(oaStretch);
  item->SetVertAlign(oaStackNear);
  FItems.push_back(item);
  PlaceParts();
  return item;
}

void TOxaMusicScanScrollbox::AddSpacer(int height)
{
  auto* spacer = new TOxaEmptyPanelItem(&FPanel->Objects(), height);
  spacer->SetParent(FPanel);
  spacer->SetHorzAlign(oaStretch);
  spacer->SetVertAlign(oaStackNear);
  PlaceParts();
}

void TOxaMusicScanScrollbox::Clear()
{
  FItems.clear();
  while (FPanel->ChildCount() > 0) {
    FreeObject(FPanel->Children(FPanel->ChildCount() - 1));
  }
  FOffset = 0;
  PlaceParts();
}

void TOxaMusicScanScrollbox::ScrollTo(int offset)
{
  const int overflow = std::max(0, FPanel->ContentHeight() - Height());
  offset = std::clamp(offset, 0, overflow);
  if (offset == FOffset) {
    return;
  }
  FOffset = offset;
  PlaceParts();
}

void TOxaMusicScanScrollbox::MouseWheel(TShiftState shift, int delta, int x, int y, bool& handled)
{
  ScrollTo(FOffset - (delta / 120) * TOxaMusicScanItem::RowHeight);
  handled = true;
  TOxaDarkenBitmap::MouseWheel(shift, delta, x, y, handled);
}

void TOxaMusicScanScrollbox::ContentChanged()
{
  TOxaDarkenBitmap::ContentChanged();
  if (!FPlacing) {
    PlaceParts();
  }
}

void TOxaMusicScanScrollbox::Resized()
{
  TOxaDarkenBitmap::Resized();
  PlaceParts();
}

void TOxaMusicScanScrollbox::PlaceParts()
{
  if (FPlacing) {
    return;
  }
  FPlacing = true;
  if (FScrollBar->Width() == 0) {
    OxaShowStoreImage(*FScrollBar, "SCANSCROLLBAR");
  }
  const int content = FPanel->ContentHeight();
  const bool overflow = content > Height();
  FScrollBar->SetVisible(overflow && FScrollBar->Width() > 0);
  const int barWidth = FScrollBar->Visible() ? FScrollBar->Width() : 0;
  FOffset = std::clamp(FOffset, 0, std::max(0, content - Height()));
  FPanel->SetBounds(0, -FOffset, std::max(0, Width() - barWidth), std::max(content, Height()));
  FScrollBar->SetBounds(Width() - barWidth, 0, barWidth, FScrollBar->Height());
  FPlacing = false;
}
