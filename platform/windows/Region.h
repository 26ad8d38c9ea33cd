#pragma once
// A set of pixels as horizontal bands of spans: the value behind HRGN, window regions, update
// regions and clipping. Bands are sorted top to bottom and never touch with equal spans; spans
// are sorted, disjoint and never adjacent, so two equal sets have equal representations.

#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "platform/windows/GdiTypes.h"

enum class TRegionOperation { And, Or, Xor, Diff, Copy };
enum class TFillMode { Alternate, Winding };

class TRegion {
 public:
  struct TSpan {
    LONG Left;
    LONG Right;  // exclusive
    bool operator==(const TSpan&) const = default;
  };
  struct TBand {
    LONG Top;
    LONG Bottom;  // exclusive
    std::vector<TSpan> Spans;
  };

  // The most rows a polygon region may span; larger polygons are refused.
  static constexpr LONG MaxPolygonRows = 1 << 16;
  static constexpr std::size_t MaxPolygonPoints = 1 << 16;

  TRegion() = default;
  // An empty region for an empty or inverted rectangle.
  explicit TRegion(const RECT& rect);

  // The pixels whose centres lie inside the polygon (closed from the last point to the first).
  // Nothing when it has more than MaxPolygonRows rows or MaxPolygonPoints points.
  static std::optional<TRegion> Polygon(std::span<const POINT> points, TFillMode mode);
  static TRegion Combine(const TRegion& a, const TRegion& b, TRegionOperation operation);

  bool Empty() const noexcept { return FBands.empty(); }
  bool Contains(LONG x, LONG y) const noexcept;
  // {0,0,0,0} when empty.
  RECT Bounds() const noexcept;
  // One rectangle per span, top to bottom, left to right.
  std::vector<RECT> Rects() const;
  const std::vector<TBand>& Bands() const noexcept { return FBands; }

  void Offset(LONG dx, LONG dy) noexcept;
  void Intersect(const TRegion& other) { *this = Combine(*this, other, TRegionOperation::And); }
  void Unite(const TRegion& other) { *this = Combine(*this, other, TRegionOperation::Or); }
  void Subtract(const TRegion& other) { *this = Combine(*this, other, TRegionOperation::Diff); }
  // Scales by numerator / denominator about the origin (a pixel maps to the pixels its area
  // covers).
  TRegion Scaled(LONG numerator, LONG denominator) const;

  bool operator==(const TRegion& other) const noexcept;

 private:
  // Appends a band, joining it to the last one when they touch with equal spans.
  void Append(LONG top, LONG bottom, std::vector<TSpan> spans);

  std::vector<TBand> FBands;
};

// The rectangle common to both (empty {0,0,0,0}-like when they do not meet: right <= left).
RECT IntersectRects(const RECT& a, const RECT& b) noexcept;
bool RectEmpty(const RECT& rect) noexcept;
