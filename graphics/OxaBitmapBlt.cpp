#include "graphics/OxaBitmapBlt.h"

#include "graphics/OxaBitmapBlt24.h"

int OxaBitsToPixelFormat(int bitsPerPixel) noexcept
{
  switch (bitsPerPixel) {
    case 1:
      return opf1Bit;
    case 4:
      return opf4Bit;
    case 8:
      return opf8Bit;
    case 16:
      return opf16Bit;
    case 24:
      return opf24Bit;
    case 32:
      return opf32Bit;
    default:
      return opfDevice;
  }
}

int OxaPixelFormatToBits(int formatCode) noexcept
{
  switch (formatCode & 0x7FFFFFFF) {
    case opf1Bit:
      return 1;
    case opf4Bit:
      return 4;
    case opf8Bit:
      return 8;
    case opf15Bit:
    case opf16Bit:
      return 16;
    case opf24Bit:
      return 24;
    case opf32Bit:
      return 32;
    default:
      return 0;
  }
}

bool OxaRectInside(const TOxaSurfaceDesc& surface, int x, int y, int width, int height) noexcept
{
  return x >= 0 && y >= 0 && width >= 0 && height >= 0 && std::int64_t(x) + width <= surface.Width &&
         std::int64_t(y) + height <= surface.Height;
}

const TOxaBltTable* OxaBltTable(int formatCode) noexcept
{
  if (formatCode == opf24Bit) {
    return &OxaBlt24Table();
  }
  return nullptr;
}
