#pragma once
// Shared by the implementations of the 24-bit table.

#include <algorithm>
#include <array>
#include <cassert>
#include <cstdint>
#include <vector>

#include "graphics/OxaBitmapBlt.h"

namespace oxablt24 {

inline std::uint8_t* PixelAt(const TOxaSurfaceDesc& surface, int x, int y) noexcept
{
  return surface.Row(y) + std::ptrdiff_t(x) * 3;
}

inline std::uint8_t Clamp255(int value) noexcept
{
  return std::uint8_t(std::clamp(value, 0, 255));
}

// Offsets beyond ±255 clamp every byte the same way as ±255 would; limiting them keeps the sums
// of the vector code within 16 bits.
inline int LimitOffset(int offset) noexcept
{
  return std::clamp(offset, -256, 256);
}

// Fixed-point steps and positions in 64 bits, so that sources of 32768 pixels and more do not
// overflow; for smaller sizes the values are those of 32-bit arithmetic.
inline std::int64_t NearestStep(int sourceSize, int targetSize) noexcept
{
  return (std::int64_t(sourceSize) << 16) / targetSize;
}
inline std::int64_t SmoothStep(int sourceSize, int targetSize) noexcept
{
  return (std::int64_t(sourceSize - 1) << 15) / targetSize;
}

inline void AssertRect([[maybe_unused]] const TOxaSurfaceDesc& surface, [[maybe_unused]] int x,
                       [[maybe_unused]] int y, [[maybe_unused]] int width, [[maybe_unused]] int height)
{
  assert(width <= 0 || height <= 0 || OxaRectInside(surface, x, y, width, height));
}

// A row of pixels composed once per call: on the stack up to 4096 bytes, else on the heap.
class TScratchRow {
 public:
  explicit TScratchRow(std::size_t bytes);
  TScratchRow(const TScratchRow&) = delete;
  TScratchRow& operator=(const TScratchRow&) = delete;
  std::uint8_t* Data() noexcept { return FData; }

 private:
  std::array<std::uint8_t, 4096> FLocal;
  std::vector<std::uint8_t> FHeap;
  std::uint8_t* FData;
};

// The bilinear stretch's left source column (as a byte offset) and 15-bit weight of each target column.
struct TSmoothColumns {
  TSmoothColumns(int sourceWidth, int width);
  std::vector<std::int32_t> Offset;
  std::vector<std::int32_t> Weight;
};

// Draws the bilinear stretch's cases that are no blend (an empty target or source, the same size,
// a one-pixel-wide source) through the given table; false when the blend remains to be done.
bool SmoothSpecialCase(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int w, int h,
                       int offset, const TOxaBltTable& table);

// The portable operations, which the vector table reuses where vectors gain nothing.
TOxaColor GetPixel(const TOxaSurfaceDesc& t, int x, int y);
void SetPixel(const TOxaSurfaceDesc& t, int x, int y, TOxaColor color);
void FillOpaque(const TOxaSurfaceDesc& t, int x, int y, int w, int h, TOxaColor color);
void FillRect(const TOxaSurfaceDesc& t, int x, int y, int w, int h, TOxaColor color);
void FrameRect(const TOxaSurfaceDesc& t, int x, int y, int w, int h, TOxaColor color, int bandHeight,
               int bandWidth);
void Copy(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int sx, int sy, int w, int h);
void AlphaCopy(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int sx, int sy, int w,
               int h, std::uint32_t alpha);
void BrightnessCopy(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int sx, int sy, int w,
                    int h, int red, int green, int blue);
void TintCopy(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int sx, int sy, int w,
              int h, TOxaColor tint);
void TransparentCopy(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int sx, int sy,
                     int w, int h, TOxaColor key);
void TransparentAlphaCopy(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int sx, int sy,
                          int w, int h, TOxaColor key, std::uint32_t alpha);
void GrayCopy(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int sx, int sy, int w,
              int h, int offset);
void StretchCopy(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int w, int h,
                 int offset);
void StretchTintCopy(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int w, int h,
                     TOxaColor tint);
void StretchSmoothCopy(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int w, int h,
                       int offset);

extern const TOxaBltTable ReferenceTable;
extern const TOxaBltTable PortableTable;
// Null when the processor has no AVX2.
const TOxaBltTable* VectorTable() noexcept;

}  // namespace oxablt24
