#include "platform/windows/Region.h"

#include <algorithm>
#include <cmath>

namespace {

using TSpans = std::vector<TRegion::TSpan>;

bool Inside(const TSpans& spans, LONG x) noexcept
{
  const auto found =
      std::upper_bound(spans.begin(), spans.end(), x,
                       [](LONG value, const TRegion::TSpan& span) { return value < span.Right; });
  return found != spans.end() && found->Left <= x;
}

bool Apply(TRegionOperation operation, bool inA, bool inB) noexcept
{
  switch (operation) {
    case TRegionOperation::And:
      return inA && inB;
    case TRegionOperation::Or:
      return inA || inB;
    case TRegionOperation::Xor:
      return inA != inB;
    case TRegionOperation::Diff:
      return inA && !inB;
    case TRegionOperation::Copy:
      return inA;
  }
  return false;
}

TSpans CombineSpans(const TSpans& a, const TSpans& b, TRegionOperation operation)
{
  std::vector<LONG> edges;
  edges.reserve((a.size() + b.size()) * 2);
  for (const auto& span : a) {
    edges.push_back(span.Left);
    edges.push_back(span.Right);
  }
  for (const auto& span : b) {
    edges.push_back(span.Left);
    edges.push_back(span.Right);
  }
  std::sort(edges.begin(), edges.end());
  edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
  TSpans result;
  for (std::size_t i = 0; i + 1 < edges.size(); ++i) {
    if (!Apply(operation, Inside(a, edges[i]), Inside(b, edges[i]))) {
      continue;
    }
    if (!result.empty() && result.back().Right == edges[i]) {
      result.back().Right = edges[i + 1];
    } else {
      result.push_back({edges[i], edges[i + 1]});
    }
  }
  return result;
}

const TSpans* SpansAt(const std::vector<TRegion::TBand>& bands, LONG y) noexcept
{
  const auto found =
      std::upper_bound(bands.begin(), bands.end(), y,
                       [](LONG value, const TRegion::TBand& band) { return value < band.Bottom; });
  return found != bands.end() && found->Top <= y ? &found->Spans : nullptr;
}

}  // namespace

bool RectEmpty(const RECT& rect) noexcept
{
  return rect.right <= rect.left || rect.bottom <= rect.top;
}

RECT IntersectRects(const RECT& a, const RECT& b) noexcept
{
  RECT result{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
  if (RectEmpty(result)) {
    return RECT{0, 0, 0, 0};
  }
  return result;
}

TRegion::TRegion(const RECT& rect)
{
  if (!RectEmpty(rect)) {
    FBands.push_back({rect.top, rect.bottom, {{rect.left, rect.right}}});
  }
}

void TRegion::Append(LONG top, LONG bottom, std::vector<TSpan> spans)
{
  if (spans.empty() || bottom <= top) {
    return;
  }
  if (!FBands.empty() && FBands.back().Bottom == top && FBands.back().Spans == spans) {
    FBands.back().Bottom = bottom;
    return;
  }
  FBands.push_back({top, bottom, std::move(spans)});
}

TRegion TRegion::Combine(const TRegion& a, const TRegion& b, TRegionOperation operation)
{
  if (operation == TRegionOperation::Copy) {
    return a;
  }
  std::vector<LONG> edges;
  for (const auto& band : a.FBands) {
    edges.push_back(band.Top);
    edges.push_back(band.Bottom);
  }
  for (const auto& band : b.FBands) {
    edges.push_back(band.Top);
    edges.push_back(band.Bottom);
  }
  std::sort(edges.begin(), edges.end());
  edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
  static const TSpans none;
  TRegion result;
  for (std::size_t i = 0; i + 1 < edges.size(); ++i) {
    const TSpans* inA = SpansAt(a.FBands, edges[i]);
    const TSpans* inB = SpansAt(b.FBands, edges[i]);
    if (inA == nullptr && inB == nullptr) {
      continue;
    }
    result.Append(edges[i], edges[i + 1], CombineSpans(inA ? *inA : none, inB ? *inB : none, operation));
  }
  return result;
}

std::optional<TRegion> TRegion::Polygon(std::span<const POINT> points, TFillMode mode)
{
  if (points.size() > MaxPolygonPoints) {
    return std::nullopt;
  }
  TRegion result;
  if (points.size() < 3) {
    return result;
  }
  LONG minY = points[0].y;
  LONG maxY = points[0].y;
  for (const auto& point : points) {
    minY = std::min(minY, point.y);
    maxY = std::max(maxY, point.y);
  }
  if (static_cast<std::int64_t>(maxY) - minY > MaxPolygonRows) {
    return std::nullopt;
  }
  struct TCrossing {
    double X;
    int Direction;
  };
  std::vector<TCrossing> crossings;
  for (LONG y = minY; y < maxY; ++y) {
    const double centre = y + 0.5;
    crossings.clear();
    for (std::size_t i = 0; i < points.size(); ++i) {
      const POINT& p = points[i];
      const POINT& q = points[(i + 1) % points.size()];
      if (p.y == q.y) {
        continue;
      }
      const bool down = q.y > p.y;
      const double top = down ? p.y : q.y;
      const double bottom = down ? q.y : p.y;
      if (centre < top || centre >= bottom) {
        continue;
      }
      const double x = p.x + (centre - p.y) * static_cast<double>(q.x - p.x) / static_cast<double>(q.y - p.y);
      crossings.push_back({x, down ? 1 : -1});
    }
    std::sort(crossings.begin(), crossings.end(),
              [](const TCrossing& l, const TCrossing& r) { return l.X < r.X; });
    TSpans spans;
    int winding = 0;
    for (std::size_t i = 0; i + 1 < crossings.size(); ++i) {
      winding += mode == TFillMode::Winding ? crossings[i].Direction : 1;
      const bool inside = mode == TFillMode::Winding ? winding != 0 : (winding & 1) != 0;
      if (!inside) {
        continue;
      }
      // A pixel belongs when its centre lies in [from, to).
      const LONG left = static_cast<LONG>(std::ceil(crossings[i].X - 0.5));
      const LONG right = static_cast<LONG>(std::ceil(crossings[i + 1].X - 0.5));
      if (right <= left) {
        continue;
      }
      if (!spans.empty() && spans.back().Right >= left) {
        spans.back().Right = std::max(spans.back().Right, right);
      } else {
        spans.push_back({left, right});
      }
    }
    result.Append(y, y + 1, std::move(spans));
  }
  return result;
}

bool TRegion::Contains(LONG x, LONG y) const noexcept
{
  const TSpans* spans = SpansAt(FBands, y);
  return spans != nullptr && Inside(*spans, x);
}

RECT TRegion::Bounds() const noexcept
{
  if (FBands.empty()) {
    return RECT{0, 0, 0, 0};
  }
  RECT bounds{FBands.front().Spans.front().Left, FBands.front().Top, FBands.front().Spans.back().Right,
              FBands.back().Bottom};
  for (const auto& band : FBands) {
    bounds.left = std::min(bounds.left, band.Spans.front().Left);
    bounds.right = std::max(bounds.right, band.Spans.back().Right);
  }
  return bounds;
}

std::vector<RECT> TRegion::Rects() const
{
  std::vector<RECT> rects;
  for (const auto& band : FBands) {
    for (const auto& span : band.Spans) {
      rects.push_back(RECT{span.Left, band.Top, span.Right, band.Bottom});
    }
  }
  return rects;
}

void TRegion::Offset(LONG dx, LONG dy) noexcept
{
  for (auto& band : FBands) {
    band.Top += dy;
    band.Bottom += dy;
    for (auto& span : band.Spans) {
      span.Left += dx;
      span.Right += dx;
    }
  }
}

TRegion TRegion::Scaled(LONG numerator, LONG denominator) const
{
  TRegion result;
  if (numerator <= 0 || denominator <= 0) {
    return result;
  }
  const auto down = [&](LONG v) {
    return static_cast<LONG>(std::floor(static_cast<double>(v) * numerator / denominator));
  };
  const auto up = [&](LONG v) {
    return static_cast<LONG>(std::ceil(static_cast<double>(v) * numerator / denominator));
  };
  for (const auto& band : FBands) {
    TRegion piece;
    for (const auto& span : band.Spans) {
      piece.Unite(TRegion(RECT{down(span.Left), down(band.Top), up(span.Right), up(band.Bottom)}));
    }
    result.Unite(piece);
  }
  return result;
}

bool TRegion::operator==(const TRegion& other) const noexcept
{
  if (FBands.size() != other.FBands.size()) {
    return false;
  }
  for (std::size_t i = 0; i < FBands.size(); ++i) {
    const auto& l = FBands[i];
    const auto& r = other.FBands[i];
    if (l.Top != r.Top || l.Bottom != r.Bottom || l.Spans != r.Spans) {
      return false;
    }
  }
  return true;
}
