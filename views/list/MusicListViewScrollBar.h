#pragma once

#include "graphics/OxaBitmap.h"

class TDisplayListView;

// Where the thumb of a scroll bar lies in its track: a view of content pixels scrolled by offset
// shows a thumb as long as the view's share of the track (at least minLength).
struct TScrollThumb {
  int Top = 0;
  int Length = 0;
};
TScrollThumb ScrollBarThumb(int track, int view, int content, int offset, int minLength) noexcept;

// The bar at the list's right edge: an arrow at each end, the thumb built from its top, stretched
// body and bottom images between them. An arrow shows its "RA" look while the pointer is over it
// or holds it; a click on it scrolls one row, a click on the track beside the thumb one page, and
// the thumb drags the list along.
class TMusicListViewScrollBar : public TOxaBitmap {
 public:
  using TOxaBitmap::TOxaBitmap;
  static constexpr int BarWidth = 16;
  static constexpr int ArrowHeight = 16;

  enum class TPart { None, ArrowUp, ArrowDown, TrackAbove, Thumb, TrackBelow };
  // The part under y (bar coordinates).
  TPart PartAt(int y) const noexcept;
  // The part shown in its "RA" look (an arrow or nothing).
  TPart Lit() const noexcept { return FLit; }

  // Redraws for the list's view, content height and offset.
  void Show(int view, int content, int offset);
  TScrollThumb Thumb() const noexcept { return FThumb; }
  // The offset that puts the thumb's top at thumbTop pixels into the track.
  int OffsetForThumb(int thumbTop) const noexcept;

  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseLeave() override;

 private:
  TDisplayListView* List() const noexcept;
  void SetLit(TPart part);
  void Redraw() { Show(FView, FContent, FOffset); }
  TScrollThumb FThumb;
  int FView = 0;
  int FContent = 0;
  int FOffset = 0;
  TPart FLit = TPart::None;
  TPart FPressed = TPart::None;
  int FGrab = -1;  // where the thumb was taken, thumb coordinates; -1 while not dragging
};
