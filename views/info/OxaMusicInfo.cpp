// The info panel, its slider and its footer.
#include "views/info/OxaMusicInfo.h"

#include <algorithm>
#include <cmath>

#include "views/MusicAssets.h"
#include "views/OxaMusicInfoAssets.h"
#include "views/OxaViewImages.h"

// --- TOxaMusicInfoTrackBar ---

TOxaMusicInfoTrackBar::TOxaMusicInfoTrackBar(TOxaObjects* parentList)
    : TOxaBitmap(parentList), FKnob(new TOxaBitmap(&Objects()))
{
  FKnob->SetParent(this);
  FKnob->SetIgnoreMouse(true);
  SetBounds(0, 0, 300, BarHeight);
}

std::int32_t TOxaMusicInfoTrackBar::ValueAt(int x, int width, int knobWidth) noexcept
{
  const int span = width - knobWidth;
  if (span <= 0) {
    return 0;
  }
  const int fromKnobCentre = x - knobWidth / 2;  // whole pixels, as the knob is drawn
  const double at = double(fromKnobCentre) * MaxValue / span;
  return std::int32_t(std::clamp(std::nearbyint(at), 0.0, double(MaxValue)));
}

int TOxaMusicInfoTrackBar::KnobLeft(std::int32_t value, int width, int knobWidth) noexcept
{
  const int span = std::max(0, width - knobWidth);
  return int(std::nearbyint(double(std::clamp(value, 0, MaxValue)) * span / MaxValue));
}

void TOxaMusicInfoTrackBar::SetValue(std::int32_t value)
{
  value = std::clamp(value, 0, MaxValue);
  if (value == FValue) {
    return;
  }
  FValue = value;
  Compose();
}

void TOxaMusicInfoTrackBar::ContentChanged()
{
  TOxaBitmap::ContentChanged();
  if (!FComposing) {
    Compose();
  }
}

void TOxaMusicInfoTrackBar::Resized()
{
  TOxaBitmap::Resized();
  Compose();
}

void TOxaMusicInfoTrackBar::Compose()
{
  if (FComposing) {
    return;
  }
  FComposing = true;
  const int width = Width();
  const int height = Height();
  if (FKnob->Width() == 0) {
    OxaShowStoreImage(*FKnob, "Head");
  }
  const int knobWidth = FKnob->Width();
  const int knobLeft = KnobLeft(FValue, width, knobWidth);
  if (width > 0 && height > 0) {
    ChangeImageSize(width, height, opf24Bit);
    SetImageRect(0, 0, width, height);
    FillSurface({0, 0, width, height}, Color());
    const int lineTop = height / 2 - 1;
    FillSurface({knobWidth / 2, lineTop, width - knobWidth / 2, lineTop + 2}, LineColor);
    FillSurface({knobWidth / 2, lineTop, knobLeft + knobWidth / 2, lineTop + 2}, PlayedColor);
    TOxaBitmap::ContentChanged();
  }
  FKnob->SetBounds(knobLeft, std::max(0, (height - FKnob->Height()) / 2), knobWidth, FKnob->Height());
  FComposing = false;
}

void TOxaMusicInfoTrackBar::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
  if (button == TMouseButton::mbLeft) {
    FDragging = true;
    SetValue(ValueAt(x, Width(), FKnob->Width()));
    if (OnDragStart) {
      OnDragStart(this, FValue);
    }
  }
  TOxaBitmap::MouseDown(button, shift, x, y);
}

void TOxaMusicInfoTrackBar::MouseMove(TShiftState shift, int x, int y)
{
  if (FDragging) {
    SetValue(ValueAt(x, Width(), FKnob->Width()));
    if (OnDragMove) {
      OnDragMove(this, FValue);
    }
  }
  TOxaBitmap::MouseMove(shift, x, y);
}

void TOxaMusicInfoTrackBar::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
  if (button == TMouseButton::mbLeft && FDragging) {
    FDragging = false;
    SetValue(ValueAt(x, Width(), FKnob->Width()));
    if (OnRelease) {
      OnRelease(this, FValue);
    }
  }
  TOxaBitmap::MouseUp(button, shift, x, y);
}

void TOxaMusicInfoTrackBar::CaptureLost()
{
  // A drag cut short seeks nowhere: the knob goes back to following the player.
  if (FDragging) {
    FDragging = false;
    if (OnRelease) {
      OnRelease(this, -1);
    }
  }
  TOxaBitmap::CaptureLost();
}

// --- TOxaMusicInfoFooter ---

TOxaMusicInfoFooter::TOxaMusicInfoFooter(TOxaObjects* parentList)
    : TOxaDarkenBitmap(parentList), FHide(new TOxaButton(&Objects()))
{
  FHide->SetName("HideInfo");
  FHide->SetCaption("CLOSE INFO");
  FHide->SetParent(this);
  FHide->SetAlignment(kOxaAlignCenter);
  FHide->SetBounds(0, 0, 140, FooterHeight - 4);
  FHide->SetMargins({2, 2, 2, 2});
  FHide->SetHorzAlign(oaCenter);
  FHide->SetVertAlign(oaStretch);
  SetBounds(0, 0, 300, FooterHeight);
}

// --- TOxaMusicInfo ---

TOxaMusicInfo::TOxaMusicInfo(TOxaObjects* parentList)
    : TOxaBitmap(parentList),
      FBody(new TOxaMusicInfoBody(&Objects())),
      FTrackBar(new TOxaMusicInfoTrackBar(&Objects())),
      FFooter(new TOxaMusicInfoFooter(&Objects()))
{
  FFooter->SetParent(this);
  FFooter->SetHorzAlign(oaStretch);
  FFooter->SetVertAlign(oaStackFar);
  FBody->SetParent(this);
  FBody->SetHorzAlign(oaStretch);
  FBody->SetVertAlign(oaStackNear);
  FTrackBar->SetParent(this);
  FTrackBar->SetHorzAlign(oaStretch);
  FTrackBar->SetVertAlign(oaStackNear);
  FTrackBar->SetMargins({TOxaMusicInfoItem::Margin, TOxaMusicInfoItem::Margin, 0, 0});
  FFooter->HideButton()->OnClick = MakeMethod<&TOxaMusicInfo::HideClicked>(this);
  SetBounds(0, 0, 400, 400);
}

void TOxaMusicInfo::HideClicked(TOxaBitmap*)
{
  if (OnHide) {
    OnHide(this);
  }
}

void TOxaMusicInfo::SetAssets(TOxaMusicInfoAssetsForm& info, TMusicAssetsForm& music)
{
  SetBitmaps(info.InfoIcons);
  SetFont(info.InfoTextFonts);
  FBody->TrackLabel()->SetParentFont(false);
  FBody->TrackLabel()->SetFont(music.Frutiger12N);
  FFooter->SetBitmaps(music.Icons);
  FFooter->SetFonts(music.DisplayFonts);
  FFooter->SetFont(music.Frutiger12N);
}
