#pragma once
// Pixel surfaces: the plain memory surface shared between nodes (TOxaMemoryBitmap), the GDI
// surface with its device context (TOxaGdiBitmap), helpers for plain platform bitmaps
// (TBitmapEx), the screen's pixel format and the lock of the shared GDI objects.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "forms/Bitmap.h"
#include "forms/GdiHandles.h"
#include "graphics/OxaBitmapBlt.h"
#include "rtl/SyncObjs.h"

// A buffer of pixel bytes shared by reference count. It is created with one reference held by
// its creator; AddRef and Release are atomic, and the last Release frees it.
class TOxaMemoryBitmap {
 public:
  // A new, empty surface holding one reference.
  static TOxaMemoryBitmap* Create();
  TOxaMemoryBitmap(const TOxaMemoryBitmap&) = delete;
  TOxaMemoryBitmap& operator=(const TOxaMemoryBitmap&) = delete;

  void AddRef() noexcept;
  // Frees the surface when this was the last reference; the pointer is not to be used after.
  void Release() noexcept;
  std::int32_t RefCount() const noexcept { return FRefCount.load(std::memory_order_relaxed); }

  // Frees the old buffer and allocates one of the new size (contents undefined, nothing copied);
  // 0 leaves no buffer. Throws EOxaOutOfMemory when the memory cannot be had, and is then empty.
  void SetSize(std::size_t bytes);
  std::uint8_t* Buffer() const noexcept { return FBuffer.get(); }
  std::size_t Size() const noexcept { return FSize; }

 private:
  TOxaMemoryBitmap() = default;
  ~TOxaMemoryBitmap() = default;

  std::atomic<std::int32_t> FRefCount{1};
  std::unique_ptr<std::uint8_t[]> FBuffer;
  std::size_t FSize = 0;
};

// A surface the GDI can draw on: a device-independent section (or, for the device-dependent
// format, a bitmap compatible with the screen) with a memory device context made on first use.
// Counted by plain increments: used on the user-interface thread only. Every failed platform call
// raises EOSError.
class TOxaGdiBitmap {
 public:
  // A new, empty 24-bit surface holding one reference.
  static TOxaGdiBitmap* Create();
  TOxaGdiBitmap(const TOxaGdiBitmap&) = delete;
  TOxaGdiBitmap& operator=(const TOxaGdiBitmap&) = delete;

  void AddRef() noexcept { ++FRefCount; }
  // Frees the surface when this was the last reference.
  void Release() noexcept;
  int RefCount() const noexcept { return FRefCount; }

  // Releases the device context and makes the surface anew. A format without a bit count becomes
  // device-dependent. A width or height of 0 (or less) leaves the surface empty, without bitmap.
  // Otherwise a section of the format (with the system palette as colour table for 8 bits or
  // fewer), into which, with keep, the part of the old picture that fits is copied before the old
  // bitmap goes; without keep the old bitmap goes first.
  void SetSize(int width, int height, bool keep, int pixelFormat = opf24Bit);

  // The memory device context with the bitmap selected (and for 8 bits or fewer the palette
  // selected and realised), made on first use; valid until ReleaseDC, SetSize or a load.
  HDC DC();
  // Deletes the device context, selecting back what it held before.
  void ReleaseDC() noexcept;
  // The pixels, after pending GDI output has been finished; null when empty or device-dependent.
  std::uint8_t* Bits();

  // Loads a bitmap through the platform's image loader (from the program's resources, or a BMP
  // file). A picture of another format is converted to 24 bits.
  void LoadFromResource(HINSTANCE instance, const std::string& name);
  void LoadFromFile(const std::string& fileName);
  // The plain bitmap's picture, size and format.
  void Assign(const TBitmap& bitmap);

  // Fill and frame through a GDI brush (the surfaces without an operation table); the frame
  // draws bandHeight rows at top and bottom and bandWidth columns at both sides, inside rect.
  void FillRect(const RECT& rect, COLORREF color);
  void FrameRect(const RECT& rect, COLORREF color, int bandHeight, int bandWidth);

  // The descriptor the pixel operations take (empty when there are no bits).
  TOxaSurfaceDesc Desc();

  bool Empty() const noexcept { return FEmpty; }
  int Width() const noexcept { return FWidth; }
  int Height() const noexcept { return FHeight; }
  int Stride() const noexcept { return FStride; }
  int PixelFormat() const noexcept { return FPixelFormat; }
  HBITMAP Handle() const noexcept { return FHandle.Get(); }
  const BITMAPINFOHEADER& Header() const noexcept { return FHeader; }

 private:
  TOxaGdiBitmap();
  ~TOxaGdiBitmap();
  void Load(HINSTANCE instance, const std::string& name, UINT flags);
  void TakeOver(TGdiObject<HBITMAP> bitmap, std::uint8_t* bits, int width, int height, int format);

  int FRefCount = 1;
  TMemoryDC FDC;
  TGdiObject<HBITMAP> FHandle;
  HGDIOBJ FPreviousBitmap = nullptr;
  TGdiObject<HPALETTE> FPalette;
  HPALETTE FPreviousPalette = nullptr;
  bool FEmpty = true;
  BITMAPINFOHEADER FHeader{};
  std::uint8_t* FBits = nullptr;
  int FWidth = 0;
  int FHeight = 0;
  int FStride = 0;
  int FPixelFormat = opf24Bit;
};

// Helpers for a plain platform bitmap.
class TBitmapEx {
 public:
  explicit TBitmapEx(TBitmap& bitmap) noexcept : FBitmap(bitmap) {}

  // 8-bit 1, 16-bit 2, 24-bit 3, 32-bit 4; a bitmap of any other format is switched to 24 bits
  // (its picture kept) and answers 3.
  int BytesPerPixel();
  // Width × bytes per pixel rounded up to a multiple of 4.
  int Stride();
  // Height × stride.
  int ImageSize();
  // The address of the bottom row: the lowest address of the pixels.
  std::uint8_t* BottomRow();
  // Collapses the bitmap to height 0 first when the size changes (nothing is copied), then sets
  // the format, the width and the height.
  void SetSize(int width, int height, TPixelFormat format);

 private:
  TBitmap& FBitmap;
};

// The pixel format code of the screen: the desktop's bits per pixel mapped to a code.
int OxaScreenPixelFormat();

// The process-wide lock of the shared GDI brush and the shared 1 × 1 text surface: every use of
// them (fills through the GDI, text measuring and drawing) holds it.
TCriticalSection& OxaGdiLock();
