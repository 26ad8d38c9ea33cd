#include "views/list/MusicListViewScrollBar.h"

#include <algorithm>
#include <cstdint>

#include "views/list/DisplayListView.h"
#include "views/list/MusicListRowMetrics.h"

TScrollThumb ScrollBarThumb(int track, int view, int content, int offset, int minLength) noexcept
{
  track = std::max(0, track);
  if (content <= view || view <= 0)
    return {0, track};
  const int length = std::clamp(int(std::int64_t(track) * view / content), std::min(minLength, track), track);
  const int range = content - view;
  const int top = int(std::int64_t(track - length) * std::clamp(offset, 0, range) / range);
  return {top, length};
}

void TMusicListViewScrollBar::Show(int view, int content, int offset)
{
  FView = view;
  FContent = content;
  FOffset = offset;
  if (Width() <= 0 || Height() <= 0)
    return;
  const int track = Height() - 2 * ArrowHeight;
  FThumb = ScrollBarThumb(track, view, content, offset, 16);
  ChangeImageSize(Width(), Height(), 6);
  FillSurface(ClientRect(), 0x000000);
  TOxaBitmaps* store = Bitmaps();
  if (store == nullptr) {
    ContentChanged();
    return;
  }
  const auto image = [&](const char* name) { return store->Find(name); };
  const auto put = [&](TOxaBitmap* img, int y) {
    if (img != nullptr)
      img->Draw(*this, 0, y, {0, 0, img->ImageWidth(), img->ImageHeight()});
  };
  const bool upLit = FLit == TPart::ArrowUp || FPressed == TPart::ArrowUp;
  const bool downLit = FLit == TPart::ArrowDown || FPressed == TPart::ArrowDown;
  put(image(upLit ? "SCROLLARROWUPRA" : "SCROLLARROWUPN"), 0);
  put(image(downLit ? "SCROLLARROWDOWNRA" : "SCROLLARROWDOWNN"), Height() - ArrowHeight);
  TOxaBitmap* top = image("ScrollBarTopN");
  TOxaBitmap* body = image("ScrollBarBodyN");
  TOxaBitmap* bottom = image("ScrollBarBottomN");
  if (top != nullptr && body != nullptr && bottom != nullptr && track > 0) {
    const int y = ArrowHeight + FThumb.Top;
    const int ends = top->ImageHeight() + bottom->ImageHeight();
    put(top, y);
    if (FThumb.Length > ends)
      body->StretchDraw(*this,
                        {0, y + top->ImageHeight(), Width(), y + FThumb.Length - bottom->ImageHeight()});
    put(bottom, y + std::max(FThumb.Length, ends) - bottom->ImageHeight());
  }
  ContentChanged();
}

TMusicListViewScrollBar::TPart TMusicListViewScrollBar::PartAt(int y) const noexcept
{
  if (y < 0 || y >= Height())
    return TPart::None;
  if (y < ArrowHeight)
    return TPart::ArrowUp;
  if (y >= Height() - ArrowHeight)
    return TPart::ArrowDown;
  const int t = y - ArrowHeight;
  if (t < FThumb.Top)
    return TPart::TrackAbove;
  if (t < FThumb.Top + FThumb.Length)
    return TPart::Thumb;
  return TPart::TrackBelow;
}

int TMusicListViewScrollBar::OffsetForThumb(int thumbTop) const noexcept
{
  const int free = Height() - 2 * ArrowHeight - FThumb.Length;
  const int range = FContent - FView;
  if (free <= 0 || range <= 0)
    return 0;
  return int(std::int64_t(std::clamp(thumbTop, 0, free)) * range / free);
}

TDisplayListView* TMusicListViewScrollBar::List() const noexcept
{
  return dynamic_cast<TDisplayListView*>(Parent());
}

void TMusicListViewScrollBar::SetLit(TPart part)
{
  if (part != TPart::ArrowUp && part != TPart::ArrowDown)
    part = TPart::None;
  if (part == FLit)
    return;
  FLit = part;
  Redraw();
}

void TMusicListViewScrollBar::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
  TOxaBitmap::MouseDown(button, shift, x, y);
  TDisplayListView* list = List();
  if (button != TMouseButton::mbLeft || list == nullptr)
    return;
  const TPart part = PartAt(y);
  FPressed = part;
  const int page = std::max(1, FView);
  switch (part) {
    case TPart::ArrowUp:
    case TPart::ArrowDown:
      Redraw();
      list->ScrollBy(part == TPart::ArrowUp ? -kMusicRowHeight : kMusicRowHeight, true);
      break;
    case TPart::TrackAbove:
      list->ScrollBy(-page, true);
      break;
    case TPart::TrackBelow:
      list->ScrollBy(page, true);
      break;
    case TPart::Thumb:
      FGrab = y - ArrowHeight - FThumb.Top;
      break;
    case TPart::None:
      break;
  }
}

void TMusicListViewScrollBar::MouseMove(TShiftState shift, int x, int y)
{
  TOxaBitmap::MouseMove(shift, x, y);
  if (FGrab >= 0) {
    if (TDisplayListView* list = List())
      list->ScrollTo(OffsetForThumb(y - ArrowHeight - FGrab), false);
    return;
  }
  SetLit(x >= 0 && x < Width() ? PartAt(y) : TPart::None);
}

void TMusicListViewScrollBar::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
  TOxaBitmap::MouseUp(button, shift, x, y);
  if (button != TMouseButton::mbLeft)
    return;
  FGrab = -1;
  FPressed = TPart::None;
  FLit = x >= 0 && x < Width() ? PartAt(y) : TPart::None;
  if (FLit != TPart::ArrowUp && FLit != TPart::ArrowDown)
    FLit = TPart::None;
  Redraw();
}

void TMusicListViewScrollBar::MouseLeave()
{
  TOxaBitmap::MouseLeave();
  SetLit(TPart::None);
}
