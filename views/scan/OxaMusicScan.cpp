// The scan panel's parts.
#include "views/scan/OxaMusicScan.h"

#include <algorithm>

#include "views/OxaMusicScanAssets.h"
#include "views/scan/OxaMusicScanText.h"

// --- TOxaMusicScanButtonPanel ---

TOxaMusicScanButtonPanel::TOxaMusicScanButtonPanel(TOxaObjects* parentList)
    : TOxaDarkenBitmap(parentList),
      FStart(NewButton("Start", "START")),
      FStop(NewButton("Stop", "STOP")),
      FHide(NewButton("ArrowUp", "HIDE SCAN"))
{
  FHide->SetHorzAlign(oaStackFar);
  SetBounds(0, 0, 300, PanelHeight);
}

TOxaButton* TOxaMusicScanButtonPanel::NewButton(const char* name, const char* caption)
{
  auto* button = new TOxaButton(&Objects());
  button->SetName(name);
  button->SetCaption(caption);
  button->SetAlignment(kOxaAlignCenter);
  button->SetParent(this);
  button->SetBounds(0, 0, 90, PanelHeight - 4);
  button->SetMargins({10, 0, 2, 2});
  button->SetHorzAlign(oaStackNear);
  button->SetVertAlign(oaCenter);
  return button;
}

// --- TOxaMusicScanStatus ---

TOxaMusicScanStatus::TOxaMusicScanStatus(TOxaObjects* parentList)
    : TOxaBitmap(parentList), FLabel(new TOxaLabel(&Objects()))
{
  FLabel->SetParent(this);
  FLabel->SetTransparent(true);
  FLabel->SetIgnoreMouse(true);
  FLabel->SetHorzMargin(10);
  SetBounds(0, 0, 300, StatusHeight);
}

void TOxaMusicScanStatus::Resized()
{
  TOxaBitmap::Resized();
  FLabel->SetBounds(0, 0, Width(), Height());
}

int TOxaMusicScanStatus::TextWidth(std::string_view text) const
{
  TOxaFont* font = FLabel->Font();
  if (font == nullptr) {
    return 0;
  }
  TOxaTextBlock block;
  font->Layout(text, kOxaAlignLeft, block, kOxaLabelNoLimit, kOxaLabelNoLimit);
  return block.Width;
}

void TOxaMusicScanStatus::SetStatus(std::string_view text, std::string_view path, bool repaint)
{
  const int lineWidth = Width() - 2 * FLabel->HorzMargin();
  const std::string shown =
      OxaShortenPath(path, lineWidth, [this](std::string_view candidate) { return TextWidth(candidate); });
  const std::string caption = OxaStatusCaption(text, shown);
  if (caption == FCaption) {
    return;
  }
  FCaption = caption;
  // Text layout breaks lines at LF only.
  FLabel->SetCaption(std::string(text) + '\n' + shown);
  if (repaint && Control() != nullptr) {
    PaintToControl();
  }
}

// --- TOxaMusicScanProgressBar ---

TOxaMusicScanProgressBar::TOxaMusicScanProgressBar(TOxaObjects* parentList) : TOxaBitmap(parentList)
{
  SetBounds(0, 0, 300, BarHeight);
}

int TOxaMusicScanProgressBar::FilledWidth(int width, int percent) noexcept
{
  return std::max(width, 0) * std::clamp(percent, 0, 100) / 100;
}

void TOxaMusicScanProgressBar::SetPercent(int value)
{
  value = std::clamp(value, 0, 100);
  if (value == FPercent) {
    return;
  }
  FPercent = value;
  Compose();
}

void TOxaMusicScanProgressBar::SetActive(bool value)
{
  if (value == FActive) {
    return;
  }
  FActive = value;
  Compose();
}

void TOxaMusicScanProgressBar::Resized()
{
  TOxaBitmap::Resized();
  Compose();
}

void TOxaMusicScanProgressBar::Compose()
{
  const int width = Width();
  const int height = Height();
  if (width <= 0 || height <= 0) {
    return;
  }
  ChangeImageSize(width, height, opf24Bit);
  SetImageRect(0, 0, width, height);
  FillSurface({0, 0, width, height}, 0x000000);
  if (FActive) {
    FillSurface({0, 0, FilledWidth(width, FPercent), height}, BarColor);
  }
  ContentChanged();
}

// --- TOxaMusicScanLine ---

TOxaMusicScanLine::TOxaMusicScanLine(TOxaObjects* parentList, TOxaColor color) : TOxaBitmap(parentList)
{
  SetParentColor(false);
  SetColor(color);
  SetIgnoreMouse(true);
  SetBounds(0, 0, 1, 1);
}

// --- TOxaMusicScan ---

TOxaMusicScan::TOxaMusicScan(TOxaObjects* parentList)
    : TOxaBitmap(parentList),
      FTitle(new TOxaDarkenLabel(&Objects())),
      FButtons(new TOxaMusicScanButtonPanel(&Objects())),
      FStatus(new TOxaMusicScanStatus(&Objects())),
      FProgress(new TOxaMusicScanProgressBar(&Objects())),
      FOptions(new TOxaMusicScanRadiobuttonGroup(&Objects())),
      FDrives(new TOxaMusicScanScrollbox(&Objects())),
      FCredits(new TOxaLabel(&Objects()))
{
  SetAutoRealign(false);
  FTitle->SetCaption("SCAN OPTIONS");
  FTitle->SetHorzMargin(10);
  FTitle->SetParentColor(false);
  FTitle->SetColor(0x202020);
  FTitle->SetBounds(0, 0, 300, TitleHeight);
  FTitle->SetParent(this);
  NewSpacer(SpacerHeight);
  NewSpacer(SpacerHeight);
  FButtons->SetParent(this);
  FStatus->SetParent(this);
  FProgress->SetParent(this);
  FOptions->SetParent(this);
  FOptions->Add("Show previously removed tracks from selected drives");
  FOptions->Add("Don\xE2\x80\x98t show tracks from selected drives");
  FOptions->SetVisible(false);
  for (int i = 0; i < LineCount; ++i) {
    auto* line = new TOxaMusicScanLine(&Objects(), i % 2 == 0 ? 0x464646 : 0x000000);
    line->SetParent(this);
  }
  FDrives->SetParent(this);
  for (int i = 0; i < ChildCount(); ++i) {
    TOxaBitmap* part = Children(i);
    part->SetAsyncPaint(true);
    part->SetHorzAlign(oaStretch);
    part->SetVertAlign(oaStackNear);
  }
  FDrives->SetVertAlign(oaStretch);
  FCredits->SetParent(this);
  FCredits->SetVisible(false);
  FCredits->SetAlignment(kOxaAlignCenter);
  FCredits->SetHorzMargin(20);
  FCredits->SetVertMargin(20);
  FCredits->SetParentColor(false);
  FCredits->SetColor(0x000000);
  SetAutoRealign(true);
  SetBounds(0, 0, 400, 600);
  Realign();
}

TOxaBitmap* TOxaMusicScan::NewSpacer(int height)
{
  auto* spacer = new TOxaEmptyPanelItem(&Objects(), height);
  spacer->SetParent(this);
  return spacer;
}

void TOxaMusicScan::SetAssets(TOxaMusicScanAssetsForm& assets)
{
  SetBitmaps(assets.ScanBitmaps);
  SetFonts(assets.DisplayFonts);
  SetFont(assets.Frutiger12N);
  FStatus->SetParentFont(false);
  FStatus->SetFont(assets.ScanStatusFont);
  FOptions->SetParentFonts(false);
  FOptions->SetFonts(assets.ItemFonts);
  FOptions->SetParentFont(false);
  FOptions->SetFont(assets.ScanTextFontsN);
  FOptions->SetParentColors(false);
  FOptions->SetColors(assets.ItemColors);
  FDrives->SetParentFonts(false);
  FDrives->SetFonts(assets.ItemFonts);
  FDrives->SetParentFont(false);
  FDrives->SetFont(assets.ScanTextFontsN);
  FDrives->SetParentColors(false);
  FDrives->SetColors(assets.ItemColors);
  FCredits->SetParentFont(false);
  FCredits->SetFont(assets.EasterEggFonts);
}
