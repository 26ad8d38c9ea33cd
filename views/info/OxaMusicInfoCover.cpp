#include "views/info/OxaMusicInfoCover.h"

#include <algorithm>
#include <cstring>

TOxaMusicInfoCover::TOxaMusicInfoCover(TOxaObjects* parentList) : TOxaBitmap(parentList)
{
  SetIgnoreMouse(true);
  SetVisible(false);
}

void TOxaMusicInfoCover::SetPicture(const TSurface* picture)
{
  FHasPicture = picture != nullptr && picture->BitsPerPixel() == 24;
  if (!FHasPicture) {
    SetVisible(false);
    return;
  }
  const int width = std::min<int>(picture->Width(), PictureBox);
  const int height = std::min<int>(picture->Height(), PictureBox);
  const int frameWidth = width + 2 * FrameWidth;
  const int frameHeight = height + 2 * FrameWidth;
  ChangeImageSize(frameWidth, frameHeight, opf24Bit);
  SetImageRect(0, 0, frameWidth, frameHeight);
  FillSurface({0, 0, frameWidth, frameHeight}, FrameColor);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = ScanLine(FrameWidth + y);
    if (row != nullptr) {
      std::memcpy(row + static_cast<std::size_t>(FrameWidth) * 3, picture->Row(y),
                  static_cast<std::size_t>(width) * 3);
    }
  }
  SetBounds(Left(), Top(), frameWidth, frameHeight);
  SetVisible(true);
  ContentChanged();
}
