#include "graphics/OxaGdiBitmap.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <new>

#include "framework/OxaUtils.h"

TOxaMemoryBitmap* TOxaMemoryBitmap::Create()
{
  return new TOxaMemoryBitmap();
}

void TOxaMemoryBitmap::AddRef() noexcept
{
  FRefCount.fetch_add(1, std::memory_order_relaxed);
}

void TOxaMemoryBitmap::Release() noexcept
{
  if (FRefCount.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    delete this;
  }
}

void TOxaMemoryBitmap::SetSize(std::size_t bytes)
{
  FBuffer.reset();
  FSize = 0;
  if (bytes == 0) {
    return;
  }
  FBuffer.reset(new (std::nothrow) std::uint8_t[bytes]);
  if (FBuffer == nullptr) {
    throw EOxaOutOfMemory("TOxaMemoryBitmap.SetSize: Out of memory");
  }
  FSize = bytes;
}

TOxaGdiBitmap* TOxaGdiBitmap::Create()
{
  return new TOxaGdiBitmap();
}

TOxaGdiBitmap::TOxaGdiBitmap()
{
  FHeader.biSize = sizeof(BITMAPINFOHEADER);
  FHeader.biPlanes = 1;
  FHeader.biBitCount = 24;
  FHeader.biCompression = BI_RGB;
}

TOxaGdiBitmap::~TOxaGdiBitmap()
{
  ReleaseDC();
}

void TOxaGdiBitmap::Release() noexcept
{
  if (--FRefCount == 0) {
    delete this;
  }
}

void TOxaGdiBitmap::TakeOver(TGdiObject<HBITMAP> bitmap, std::uint8_t* bits, int width, int height,
                             int format)
{
  FHandle = std::move(bitmap);
  FBits = bits;
  FWidth = width;
  FHeight = height;
  FPixelFormat = format;
  FEmpty = FHandle.Get() == nullptr;
  int bitCount = OxaPixelFormatToBits(format);
  if (bitCount == 0 && FHandle.Get() != nullptr) {
    BITMAP info{};
    if (GetObjectA(FHandle.Get(), sizeof(info), &info) == 0) {
      RaiseLastOSError();
    }
    bitCount = info.bmBitsPixel;
  }
  FStride = SectionStride(bitCount, width);
  FHeader.biWidth = width;
  FHeader.biHeight = height;
  FHeader.biBitCount = WORD(bitCount);
  FHeader.biSizeImage = DWORD(std::abs(height)) * DWORD(FStride);
}

void TOxaGdiBitmap::SetSize(int width, int height, bool keep, int pixelFormat)
{
  ReleaseDC();
  if (OxaPixelFormatToBits(pixelFormat) == 0) {
    pixelFormat = opfDevice;
  }
  if (width <= 0 || height <= 0) {
    FHandle.Reset();
    TakeOver({}, nullptr, std::max(width, 0), std::max(height, 0), pixelFormat);
    return;
  }
  if (!keep) {
    FHandle.Reset();
  }
  std::uint8_t* bits = nullptr;
  TGdiObject<HBITMAP> bitmap = CreateBitmapOfFormat(width, height, TPixelFormat(pixelFormat), &bits);
  if (FHandle.Get() != nullptr) {
    CopyBitmapPicture(bitmap.Get(), FHandle.Get(), std::min(width, FWidth), std::min(height, FHeight));
  }
  TakeOver(std::move(bitmap), bits, width, height, pixelFormat);
}

HDC TOxaGdiBitmap::DC()
{
  if (FDC.Get() != nullptr) {
    return FDC.Get();
  }
  TMemoryDC dc = TMemoryDC::Create();
  if (FHandle.Get() != nullptr) {
    FPreviousBitmap = SelectObject(dc.Get(), FHandle.Get());
    if (FPreviousBitmap == nullptr) {
      RaiseLastOSError();
    }
    if (FHeader.biBitCount <= 8) {
      // The system palette, as the section's colour table was made from it.
      std::array<std::uint8_t, sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY)> buffer{};
      auto* palette = reinterpret_cast<LOGPALETTE*>(buffer.data());
      palette->palVersion = 0x300;
      palette->palNumEntries = 256;
      TScreenDC screen;
      GetSystemPaletteEntries(screen.Get(), 0, 256, palette->palPalEntry);
      FPalette = TGdiObject<HPALETTE>(CreatePalette(palette));
      FPreviousPalette = SelectPalette(dc.Get(), FPalette.Get(), FALSE);
      RealizePalette(dc.Get());
    }
  }
  FDC = std::move(dc);
  return FDC.Get();
}

void TOxaGdiBitmap::ReleaseDC() noexcept
{
  if (FDC.Get() == nullptr) {
    return;
  }
  if (FPreviousPalette != nullptr) {
    SelectPalette(FDC.Get(), FPreviousPalette, FALSE);
    FPreviousPalette = nullptr;
  }
  if (FPreviousBitmap != nullptr) {
    SelectObject(FDC.Get(), FPreviousBitmap);
    FPreviousBitmap = nullptr;
  }
  FDC.Reset();
  FPalette.Reset();
}

std::uint8_t* TOxaGdiBitmap::Bits()
{
  GdiFlush();
  return FBits;
}

TOxaSurfaceDesc TOxaGdiBitmap::Desc()
{
  TOxaSurfaceDesc desc;
  std::uint8_t* bits = Bits();
  if (bits == nullptr) {
    return desc;
  }
  desc.ScanLine0 = bits + std::ptrdiff_t(FHeight - 1) * FStride;
  desc.Width = FWidth;
  desc.Height = FHeight;
  desc.Stride = FStride;
  return desc;
}

void TOxaGdiBitmap::Load(HINSTANCE instance, const std::string& name, UINT flags)
{
  TGdiObject<HBITMAP> loaded(static_cast<HBITMAP>(
      LoadImageA(instance, name.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION | flags)));
  DIBSECTION section{};
  if (GetObjectA(loaded.Get(), sizeof(section), &section) == 0) {
    RaiseLastOSError();
  }
  const int width = section.dsBm.bmWidth;
  const int height = std::abs(section.dsBm.bmHeight);
  ReleaseDC();
  // A bottom-up 24-bit section is the surface as it is; anything else is drawn into one.
  if (section.dsBm.bmBitsPixel == 24 && section.dsBm.bmBits != nullptr && section.dsBmih.biHeight > 0) {
    TakeOver(std::move(loaded), static_cast<std::uint8_t*>(section.dsBm.bmBits), width, height, opf24Bit);
    return;
  }
  SetSize(width, height, false, opf24Bit);
  CopyBitmapPicture(FHandle.Get(), loaded.Get(), width, height);
}

void TOxaGdiBitmap::LoadFromResource(HINSTANCE instance, const std::string& name)
{
  Load(instance, name, LR_DEFAULTCOLOR);
}

void TOxaGdiBitmap::LoadFromFile(const std::string& fileName)
{
  Load(nullptr, fileName, LR_LOADFROMFILE);
}

void TOxaGdiBitmap::Assign(const TBitmap& bitmap)
{
  SetSize(bitmap.Width(), bitmap.Height(), false, bitmap.PixelFormat());
  if (!FEmpty) {
    CopyBitmapPicture(FHandle.Get(), bitmap.Handle(), FWidth, FHeight);
  }
}

void TOxaGdiBitmap::FillRect(const RECT& rect, COLORREF color)
{
  const TGdiObject<HBRUSH> brush(CreateSolidBrush(color & 0xFFFFFF));
  if (::FillRect(DC(), &rect, brush.Get()) == 0) {
    RaiseLastOSError();
  }
}

void TOxaGdiBitmap::FrameRect(const RECT& rect, COLORREF color, int bandHeight, int bandWidth)
{
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) {
    return;
  }
  const int rows = std::clamp(bandHeight, 0, height);
  const int columns = std::clamp(bandWidth, 0, width);
  const int bottom = rect.top + std::max(height - rows, rows);
  const int right = rect.left + std::max(width - columns, columns);
  const RECT bands[] = {
      {rect.left, rect.top, rect.right, rect.top + rows},
      {rect.left, bottom, rect.right, rect.bottom},
      {rect.left, rect.top + rows, rect.left + columns, bottom},
      {right, rect.top + rows, rect.right, bottom},
  };
  const TGdiObject<HBRUSH> brush(CreateSolidBrush(color & 0xFFFFFF));
  for (const RECT& band : bands) {
    if (band.right > band.left && band.bottom > band.top && ::FillRect(DC(), &band, brush.Get()) == 0) {
      RaiseLastOSError();
    }
  }
}

int TBitmapEx::BytesPerPixel()
{
  switch (FBitmap.PixelFormat()) {
    case pf8bit:
      return 1;
    case pf16bit:
      return 2;
    case pf24bit:
      return 3;
    case pf32bit:
      return 4;
    default:
      FBitmap.SetPixelFormat(pf24bit);
      return 3;
  }
}

int TBitmapEx::Stride()
{
  return OxaStride(FBitmap.Width(), BytesPerPixel());
}

int TBitmapEx::ImageSize()
{
  return FBitmap.Height() * Stride();
}

std::uint8_t* TBitmapEx::BottomRow()
{
  return FBitmap.ScanLine(FBitmap.Height() - 1);
}

void TBitmapEx::SetSize(int width, int height, TPixelFormat format)
{
  if (width != FBitmap.Width() || height != FBitmap.Height()) {
    FBitmap.SetHeight(0);
  }
  FBitmap.SetPixelFormat(format);
  FBitmap.SetWidth(width);
  FBitmap.SetHeight(height);
}

int OxaScreenPixelFormat()
{
  const TScreenDC screen;
  return OxaBitsToPixelFormat(GetDeviceCaps(screen.Get(), BITSPIXEL));
}

TCriticalSection& OxaGdiLock()
{
  static TCriticalSection lock;
  return lock;
}
