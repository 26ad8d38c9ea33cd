#pragma once

#include "graphics/OxaBitmap.h"

// A strip across the list above or below the rows: the panel slides under it. Its height is the
// list's header (footer) height; it shows the list's colour.
class TMusicListViewHeader : public TOxaBitmap {
 public:
  using TOxaBitmap::TOxaBitmap;
  // Fills the strip at its size.
  void Compose();
  // Passed on to the list, in its coordinates.
  void DragOver(TOxaBitmap* source, int x, int y) override;
  void DragMove(TOxaBitmap* source, int x, int y) override;
  void DragDrop(TOxaBitmap* source, int x, int y) override;

 protected:
  void Resized() override;
};
