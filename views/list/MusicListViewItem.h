#pragma once

#include <cstdint>

#include "graphics/OxaBitmap.h"
#include "views/list/DisplayListViewItem.h"
#include "views/list/MusicListViewStates.h"

class TMusicListView;
class TSurface;

class TMusicListViewItem : public TDisplayListViewItem {
 public:
  TMusicListViewItem(TOxaObjects* parentList, TMusicListView* list, TMusicListViewItemKinds kind);

  TMusicListViewItemKinds Kind() const noexcept { return FKind; }
  bool IsTrack() const noexcept { return FKind == TMusicListViewItemKinds::mlkTrack; }
  int Number() const noexcept { return FNumber; }
  void SetNumber(int value);

  // The insertion gap: steps 0 (closed) to 10 of drag-insert set 0..3. The row grows by the
  // frame's height and draws the frame in the gap, above itself (before) or below (after).
  int GapStep() const noexcept { return FGapStep; }
  void SetGapStep(int set, int step);
  int GapHeight() const noexcept;
  // The drag-insert frame height of a step: 2 at step 1 to 47 at step 10.
  static int GapStepHeight(int step) noexcept;

  // Redraws the row's surface: frame, icon and flaps of the current state, the caption and, for
  // tracks, the number on the icon. A missing image leaves its place in the frame colour. A row
  // far from the view keeps no surface (see TMusicListView::RowInReach).
  // A row of a list that is not placed in any node yet, or whose list is hidden, draws when it
  // is first drawn or read (rows are usually sized before they are placed, and a list is
  // filled hidden at start-up: composing each then cost a whole surface per row, with its
  // text, for rows that mostly end up out of reach or never show).
  void Compose();
  bool Composed() const noexcept { return FComposed; }
  // Gives the surface back.
  void ReleaseSurface();
  // Takes the surface of a row of the same size that left the view's reach, which keeps none,
  // and composes into it: a slide through thousands of rows makes no surface per row.
  void ComposeInto(TMusicListViewItem& leaving);

  void DrawImageTo(TOxaBitmap& target, int x, int y, const RECT& clip) override;
  TOxaColor GetPixel(int x, int y) override;

 protected:
  void StateChanged() override;
  void Resized() override;

 private:
  TMusicListView* MusicList() const noexcept;
  // The group's cover in the icon's square, centred, on black.
  void DrawCover(const TSurface& cover, int top, int band);
  int FNumber = 0;
  TMusicListViewItemKinds FKind;
  std::int8_t FGapSet = 0;
  std::uint8_t FGapStep = 0;
  bool FComposed = false;
  bool FComposePending = false;
  void ComposeSurface();
};
