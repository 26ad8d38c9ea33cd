#pragma once
// What every pixel operation works on: colours, pixel format codes, the surface descriptor and
// the table of operations of a pixel format.
//
// Colours come in two packings. ABGR (0xAABBGGRR, red in the low byte, a transparency byte on
// top) is taken by get, set, fill, frame and colour-key operations; ARGB (0xAARRGGBB, blue in
// the low byte, built by MakeColor) by the tint operations. A 24-bit pixel is three bytes in
// memory order blue, green, red: ABGR colour C is stored as byte 0 = C shr 16, byte 1 = C shr 8,
// byte 2 = C.

#include <cstddef>
#include <cstdint>

using TOxaColor = std::uint32_t;

constexpr TOxaColor MakeColor(std::uint8_t a, std::uint8_t r, std::uint8_t g, std::uint8_t b) noexcept
{
  return (TOxaColor(a) << 24) | (TOxaColor(r) << 16) | (TOxaColor(g) << 8) | TOxaColor(b);
}

// Pixel format codes.
enum TOxaPixelFormatCode : int {
  opfDevice = 0,
  opf1Bit = 1,
  opf4Bit = 2,
  opf8Bit = 3,
  opf15Bit = 4,
  opf16Bit = 5,
  opf24Bit = 6,
  opf32Bit = 7,
  opfCustom = 8,
};
constexpr int kOxaPixelFormatCount = 9;

// 1 -> 1, 4 -> 2, 8 -> 3, 16 -> 5, 24 -> 6, 32 -> 7; any other bit count -> 0 (device-dependent).
int OxaBitsToPixelFormat(int bitsPerPixel) noexcept;
// 1 -> 1, 2 -> 4, 3 -> 8, 4 and 5 -> 16, 6 -> 24, 7 -> 32, anything else -> 0. The high bit of
// the code is ignored.
int OxaPixelFormatToBits(int formatCode) noexcept;

// Bytes of one row: width × bytes per pixel rounded up to a multiple of 4.
constexpr std::int32_t OxaStride(std::int32_t width, std::int32_t bytesPerPixel) noexcept
{
  return (width * bytesPerPixel + 3) & ~std::int32_t(3);
}

// The record every pixel operation receives for each surface. Rows are stored bottom-up:
// ScanLine0 is the address of the top row, row y starts at ScanLine0 − y × Stride.
struct TOxaSurfaceDesc {
  std::uint32_t Reserved = 0;
  std::uint8_t* ScanLine0 = nullptr;
  std::int32_t Width = 0;
  std::int32_t Height = 0;
  std::int32_t Stride = 0;

  std::uint8_t* Row(std::int32_t y) const noexcept { return ScanLine0 - std::ptrdiff_t(y) * Stride; }
};

// True when the rectangle lies inside the surface. The operations trust their rectangles (the
// callers clip them); debug builds assert this.
bool OxaRectInside(const TOxaSurfaceDesc& surface, int x, int y, int width, int height) noexcept;

// The operations of one pixel format, in slot order. Rectangles are clipped by the caller; an
// empty rectangle (width or height 0 or less) draws nothing. Stretches take the whole source and
// draw nothing to a target of width or height 0 or less.
struct TOxaBltTable {
  // 0, 1: one pixel as an ABGR colour; setting ignores the transparency byte.
  TOxaColor (*GetPixel)(const TOxaSurfaceDesc& target, int x, int y);
  void (*SetPixel)(const TOxaSurfaceDesc& target, int x, int y, TOxaColor color);
  // 2: ABGR fill; the top byte is the share of the old pixel kept (0 = opaque).
  void (*FillRect)(const TOxaSurfaceDesc& target, int x, int y, int width, int height, TOxaColor color);
  // 3: opaque frame: bandHeight full rows at top and bottom, bandWidth pixels at both sides.
  void (*FrameRect)(const TOxaSurfaceDesc& target, int x, int y, int width, int height, TOxaColor color,
                    int bandHeight, int bandWidth);
  // 4-10: a source rectangle (sourceX, sourceY, width, height) to (targetX, targetY).
  void (*Copy)(const TOxaSurfaceDesc& target, const TOxaSurfaceDesc& source, int targetX, int targetY,
               int sourceX, int sourceY, int width, int height);
  // Every byte = (source × alpha + target × (255 − alpha)) shr 8; alpha is the low byte.
  void (*AlphaCopy)(const TOxaSurfaceDesc& target, const TOxaSurfaceDesc& source, int targetX, int targetY,
                    int sourceX, int sourceY, int width, int height, std::uint32_t alpha);
  // Each channel clamped to 0..255 after adding its offset.
  void (*BrightnessCopy)(const TOxaSurfaceDesc& target, const TOxaSurfaceDesc& source, int targetX,
                         int targetY, int sourceX, int sourceY, int width, int height, int red, int green,
                         int blue);
  // ARGB tint; the top byte is its strength (0 = plain copy).
  void (*TintCopy)(const TOxaSurfaceDesc& target, const TOxaSurfaceDesc& source, int targetX, int targetY,
                   int sourceX, int sourceY, int width, int height, TOxaColor tint);
  // Source pixels of the ABGR key colour (its top byte ignored) leave the target unchanged.
  void (*TransparentCopy)(const TOxaSurfaceDesc& target, const TOxaSurfaceDesc& source, int targetX,
                          int targetY, int sourceX, int sourceY, int width, int height, TOxaColor key);
  void (*TransparentAlphaCopy)(const TOxaSurfaceDesc& target, const TOxaSurfaceDesc& source, int targetX,
                               int targetY, int sourceX, int sourceY, int width, int height, TOxaColor key,
                               std::uint32_t alpha);
  // Grey = (blue + green + red) div 3, then the offset added and clamped.
  void (*GrayCopy)(const TOxaSurfaceDesc& target, const TOxaSurfaceDesc& source, int targetX, int targetY,
                   int sourceX, int sourceY, int width, int height, int offset);
  // 11-13: the whole source into the target rectangle.
  void (*StretchCopy)(const TOxaSurfaceDesc& target, const TOxaSurfaceDesc& source, int targetX, int targetY,
                      int width, int height, int offset);
  void (*StretchTintCopy)(const TOxaSurfaceDesc& target, const TOxaSurfaceDesc& source, int targetX,
                          int targetY, int width, int height, TOxaColor tint);
  void (*StretchSmoothCopy)(const TOxaSurfaceDesc& target, const TOxaSurfaceDesc& source, int targetX,
                            int targetY, int width, int height, int offset);
};
static_assert(sizeof(TOxaBltTable) == 14 * sizeof(void*));

// The operation table of a pixel format code, or null when the format has none (only the 24-bit
// format has one; the others are drawn through the platform's GDI calls). The table is in place
// before any code of the program runs and stays until the process ends.
const TOxaBltTable* OxaBltTable(int formatCode) noexcept;
