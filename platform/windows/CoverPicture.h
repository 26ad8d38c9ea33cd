#pragma once
// Album cover pictures: JPEG and PNG bytes (from a tag or a folder image) decoded and scaled once
// to the size a view draws them at, as a 24-bit bottom-up surface, the layout of the skin's
// bitmaps. The bytes come from outside: every decode is bounded by the caps below, checked
// before any pixel memory is taken, and a damaged, truncated or unknown picture is no picture.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/windows/Surface.h"

// The largest side a cover may have, and the most pixels it may decode to (64 MiB at four
// bytes a pixel, the widest layout a decoder works in).
constexpr LONG MaxCoverSide = 8192;
constexpr std::size_t MaxCoverPixels = std::size_t{16} << 20;

enum class TCoverFormat : std::uint8_t { None, Jpeg, Png };

// The format the first bytes announce.
TCoverFormat CoverFormatOf(std::span<const std::uint8_t> bytes) noexcept;
// Whether a picture of width x height is within the caps.
bool CoverSizeAllowed(std::uint64_t width, std::uint64_t height) noexcept;

// Decoded pixels, top row first, R, G, B a pixel, no row padding.
struct TCoverPixels {
  LONG Width = 0;
  LONG Height = 0;
  std::vector<std::uint8_t> Rgb;
};

// Decodes a JPEG or PNG picture. A JPEG much larger than minWidth x minHeight may be decoded at
// a half, a quarter or an eighth of its size, never below that box (0 x 0 keeps the full size).
// False, and pixels empty, for an unknown format, damaged or truncated data, or a picture beyond
// the caps. Never throws.
bool DecodeCoverPicture(std::span<const std::uint8_t> bytes, TCoverPixels& pixels, LONG minWidth = 0,
                        LONG minHeight = 0);

// The size of a picture scaled to fit in the box with its proportions kept (at least 1 x 1);
// 0 x 0 when the picture or the box is empty.
SIZE CoverFitSize(LONG width, LONG height, LONG boxWidth, LONG boxHeight) noexcept;

// The pixels scaled to fit in the box, each target pixel the area average of the source pixels
// it covers, as a 24-bit bottom-up surface. Null when the pixels or the box are empty.
std::unique_ptr<TSurface> ScaleCoverPicture(const TCoverPixels& pixels, LONG boxWidth, LONG boxHeight);

// Decode and scale in one step; null when the picture cannot be decoded.
std::unique_ptr<TSurface> LoadCoverPicture(std::span<const std::uint8_t> bytes, LONG boxWidth,
                                           LONG boxHeight);
