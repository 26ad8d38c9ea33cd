#pragma once
// Pixel memory in one of the device-independent layouts (1, 4, 8 bits with a colour table; 16
// bits as 5-5-5; 24 bits B,G,R; 32 bits B,G,R,x) and the pixel work every drawing call reduces
// to: reading and writing one pixel, filling and copying rectangles, stretching. Callers clip
// first; nothing here checks bounds beyond what the comments say.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/windows/GdiTypes.h"

struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};

// Zeroed pixel memory from the system's page allocator, so a large section costs nothing until
// it is touched. Shared memory is a System V segment another process (the X server) may attach,
// so it can read the pixels where they are drawn; it is marked for removal at once and goes when
// the last process detaches, even after a crash.
class TPixelMemory {
 public:
  // Null when the memory cannot be had.
  static std::unique_ptr<TPixelMemory> Allocate(std::size_t size);
  static std::unique_ptr<TPixelMemory> AllocateShared(std::size_t size);
  ~TPixelMemory();
  TPixelMemory(const TPixelMemory&) = delete;
  TPixelMemory& operator=(const TPixelMemory&) = delete;

  std::uint8_t* Data() const noexcept { return FData; }
  std::size_t Size() const noexcept { return FSize; }
  // The System V segment's id; -1 for private pages.
  int SharedSegment() const noexcept { return FSegment; }

 private:
  TPixelMemory(std::uint8_t* data, std::size_t size, int segment)
      : FData(data), FSize(size), FSegment(segment)
  {
  }
  std::uint8_t* FData;
  std::size_t FSize;
  int FSegment;
};

// Where a surface's pixels live: private pages, or a shared segment when one can be had (private
// pages otherwise, so the surface still exists).
enum class TSurfaceMemory { Private, SharedWherePossible };

enum class TStretchMode { Nearest, Smooth };

class TSurface {
 public:
  // The largest surface in bytes and in either dimension.
  static constexpr std::size_t MaxBytes = std::size_t{256} << 20;
  static constexpr LONG MaxDimension = 32767;

  // Bytes per row, rounded up to four bytes; 0 for an unknown depth or a size beyond the caps.
  static std::size_t StrideOf(LONG width, WORD bitsPerPixel) noexcept;
  static bool SupportedDepth(WORD bitsPerPixel) noexcept;

  // A zeroed surface; null when a dimension is not positive or over MaxDimension, the depth is
  // unknown, or the bytes exceed MaxBytes (lastError tells which: ERROR_INVALID_PARAMETER or
  // ERROR_NOT_ENOUGH_MEMORY).
  static std::unique_ptr<TSurface> Create(LONG width, LONG height, WORD bitsPerPixel, bool bottomUp,
                                          DWORD& lastError, TSurfaceMemory memory = TSurfaceMemory::Private);

  LONG Width() const noexcept { return FWidth; }
  LONG Height() const noexcept { return FHeight; }
  WORD BitsPerPixel() const noexcept { return FBits; }
  std::size_t Stride() const noexcept { return FStride; }
  bool BottomUp() const noexcept { return FBottomUp; }
  std::uint8_t* Bits() const noexcept { return FMemory->Data(); }
  std::size_t SizeInBytes() const noexcept { return FStride * static_cast<std::size_t>(FHeight); }
  // The shared segment holding the pixels (they start at its first byte); -1 for private pages.
  int SharedSegment() const noexcept { return FMemory->SharedSegment(); }
  std::uint8_t* Row(LONG y) const noexcept
  {
    return Bits() + FStride * static_cast<std::size_t>(FBottomUp ? FHeight - 1 - y : y);
  }
  RECT Bounds() const noexcept { return RECT{0, 0, FWidth, FHeight}; }

  // The colour table of a surface of 8 bits or fewer (1 << bits entries).
  std::vector<RGBQUAD>& Colors() noexcept { return FColors; }
  const std::vector<RGBQUAD>& Colors() const noexcept { return FColors; }

  COLORREF Get(LONG x, LONG y) const noexcept;
  void Set(LONG x, LONG y, COLORREF color) noexcept;
  // The colour as this surface stores it (the nearest table entry, 5 bits a channel, ...).
  COLORREF Nearest(COLORREF color) const noexcept;

  void Fill(const RECT& rect, COLORREF color) noexcept;
  // Copies width x height pixels from source (sx, sy) to (dx, dy); source may be this surface.
  void Copy(LONG dx, LONG dy, const TSurface& source, LONG sx, LONG sy, LONG width, LONG height) noexcept;
  // Scales the source rectangle onto the target rectangle; clip limits what is written (target
  // coordinates). Negative widths or heights mirror.
  void Stretch(const RECT& target, const TSurface& source, const RECT& sourceRect, const RECT& clip,
               TStretchMode mode) noexcept;

 private:
  TSurface() = default;
  std::size_t ColorIndex(COLORREF color) const noexcept;

  LONG FWidth = 0;
  LONG FHeight = 0;
  WORD FBits = 32;
  std::size_t FStride = 0;
  bool FBottomUp = false;
  std::unique_ptr<TPixelMemory> FMemory;
  std::vector<RGBQUAD> FColors;
};
