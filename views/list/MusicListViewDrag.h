#pragma once

#include <string>
#include <vector>

#include "graphics/OxaBitmap.h"
#include "library/DbId.h"

class TDisplayListView;

// What is being dragged: the box that follows the pointer, with the caption it shows and the
// records of the dragged rows.
class TMusicListViewDrag : public TOxaBitmap {
 public:
  using TOxaBitmap::TOxaBitmap;
  static constexpr int BoxHeight = 54;

  std::string Caption;
  std::vector<int> Records;
  TDbIdList Payloads;
  // The list the rows were dragged from.
  TDisplayListView* Source = nullptr;

  // Sizes the box to width (at least its two ends) and draws it from the store's left end,
  // stretched body and right end; missing images leave their part blank. With a font, the
  // caption is drawn on the body, and the box is wide enough for it.
  void Compose(int width);
  void DragEnd() override;

  // Space either side of the caption.
  static constexpr int CaptionMargin = 16;
  // Where the pointer holds the box: at its left end, half way down.
  static constexpr POINT Grip{CaptionMargin / 2, BoxHeight / 2};
};
