#include "forms/Bitmap.h"

#include <algorithm>
#include <array>
#include <cstring>

int BitsOfPixelFormat(TPixelFormat format) noexcept
{
  switch (format) {
    case pf1bit:
      return 1;
    case pf4bit:
      return 4;
    case pf8bit:
      return 8;
    case pf15bit:
    case pf16bit:
      return 16;
    case pf24bit:
      return 24;
    case pf32bit:
      return 32;
    default:
      return 0;
  }
}

int SectionStride(int bitsPerPixel, int width) noexcept
{
  return ((bitsPerPixel * width + 31) >> 3) & ~3;
}

TGdiObject<HBITMAP> CreateBitmapOfFormat(int width, int height, TPixelFormat format, std::uint8_t** bits)
{
  *bits = nullptr;
  const int bitCount = BitsOfPixelFormat(format);
  TScreenDC screen;
  if (bitCount == 0) {
    return TGdiObject<HBITMAP>(CreateCompatibleBitmap(screen.Get(), width, height));
  }
  // The header and a colour table of 256 entries (blue, green, red, reserved).
  alignas(BITMAPINFO) std::array<std::uint8_t, sizeof(BITMAPINFOHEADER) + 256 * 4> info{};
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = WORD(bitCount);
  header.biCompression = BI_RGB;
  header.biSizeImage = DWORD(SectionStride(bitCount, width)) * DWORD(height);
  std::memcpy(info.data(), &header, sizeof(header));
  if (bitCount <= 8) {
    std::array<PALETTEENTRY, 256> entries{};
    GetSystemPaletteEntries(screen.Get(), 0, 256, entries.data());
    for (std::size_t i = 0; i < entries.size(); ++i) {
      std::uint8_t* quad = info.data() + sizeof(BITMAPINFOHEADER) + i * 4;
      quad[0] = entries[i].peBlue;
      quad[1] = entries[i].peGreen;
      quad[2] = entries[i].peRed;
    }
  }
  void* pixels = nullptr;
  TGdiObject<HBITMAP> bitmap(CreateDIBSection(screen.Get(), reinterpret_cast<const BITMAPINFO*>(info.data()),
                                              DIB_RGB_COLORS, &pixels, nullptr, 0));
  *bits = static_cast<std::uint8_t*>(pixels);
  return bitmap;
}

void CopyBitmapPicture(HBITMAP target, HBITMAP source, int width, int height)
{
  TMemoryDC targetDC = TMemoryDC::Create();
  TMemoryDC sourceDC = TMemoryDC::Create();
  TSelection targetSelection(targetDC.Get(), target);
  TSelection sourceSelection(sourceDC.Get(), source);
  if (!BitBlt(targetDC.Get(), 0, 0, width, height, sourceDC.Get(), 0, 0, SRCCOPY)) {
    RaiseLastOSError();
  }
}

void TBitmap::SetPixelFormat(TPixelFormat format)
{
  Change(FWidth, FHeight, format);
}

void TBitmap::SetWidth(int width)
{
  Change(width, FHeight, FPixelFormat);
}

void TBitmap::SetHeight(int height)
{
  Change(FWidth, height, FPixelFormat);
}

void TBitmap::Change(int width, int height, TPixelFormat format)
{
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == FWidth && height == FHeight && format == FPixelFormat) {
    return;
  }
  TGdiObject<HBITMAP> bitmap;
  std::uint8_t* bits = nullptr;
  if (width > 0 && height > 0) {
    bitmap = CreateBitmapOfFormat(width, height, format, &bits);
    if (FHandle.Get() != nullptr) {
      CopyBitmapPicture(bitmap.Get(), FHandle.Get(), std::min(width, FWidth), std::min(height, FHeight));
    }
  }
  FHandle = std::move(bitmap);
  FBits = bits;
  FWidth = width;
  FHeight = height;
  FPixelFormat = format;
  FStride = SectionStride(BitsOfPixelFormat(format), width);
}

std::uint8_t* TBitmap::ScanLine(int row) const
{
  if (FBits == nullptr || row < 0 || row >= FHeight) {
    throw EInvalidGraphicOperation("Scan line index out of range");
  }
  return FBits + std::ptrdiff_t(FHeight - 1 - row) * FStride;
}
