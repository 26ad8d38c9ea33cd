#pragma once
// The info panel's cover: the track's picture in a frame of the panel's line grey. It is
// hidden while there is no picture, so the panel looks as it did before covers.

#include "graphics/OxaBitmap.h"
#include "platform/windows/Surface.h"

class TOxaMusicInfoCover : public TOxaBitmap {
 public:
  // The box the picture is scaled to fit, and the frame around it.
  static constexpr int PictureBox = 120;
  static constexpr int FrameWidth = 2;
  static constexpr int Side = PictureBox + 2 * FrameWidth;
  static constexpr TOxaColor FrameColor = 0x969696;

  explicit TOxaMusicInfoCover(TOxaObjects* parentList = nullptr);

  // Shows a copy of the picture (24-bit, at most PictureBox a side; a larger one is cut) in its
  // frame, the node sized to both; null hides the node. Placing it is the owner's.
  void SetPicture(const TSurface* picture);
  bool HasPicture() const noexcept { return FHasPicture; }

 private:
  bool FHasPicture = false;
};
