// The prism turn.
#include "graphics/MusicRotate.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "rtl/Format.h"

namespace {

constexpr double kSin60 = 0.86602540378443864676;
constexpr double kDegree = std::numbers::pi / 180.0;

}  // namespace

TOxaRotateBitmap::TOxaRotateBitmap(TOxaObjects* parentList) : TOxaObject(parentList) {}

TOxaRotateBitmap::~TOxaRotateBitmap()
{
  Clear();
}

void TOxaRotateBitmap::Unobserve(TOxaBitmap* face)
{
  if (!face->Destroying()) {
    face->Objects().Remove(MakeMethod<&TOxaRotateBitmap::FaceDestroyed>(this));
  }
}

void TOxaRotateBitmap::Add(TOxaBitmap* face)
{
  if (face == nullptr) {
    return;
  }
  face->Objects().Add(MakeMethod<&TOxaRotateBitmap::FaceDestroyed>(this));
  FFaces.push_back(face);
}

void TOxaRotateBitmap::Remove(TOxaBitmap* face)
{
  const auto at = std::find(FFaces.begin(), FFaces.end(), face);
  if (at != FFaces.end()) {
    FFaces.erase(at);
    Unobserve(face);
  }
}

void TOxaRotateBitmap::Clear()
{
  while (!FFaces.empty()) {
    TOxaBitmap* face = FFaces.back();
    FFaces.pop_back();
    Unobserve(face);
  }
}

void TOxaRotateBitmap::FaceDestroyed(TObject* sender)
{
  std::erase(FFaces, static_cast<TOxaBitmap*>(sender));
}

TOxaBitmap* TOxaRotateBitmap::Faces(int index) const
{
  if (index < 0 || index >= int(FFaces.size())) {
    throw EOxaFatal(Format("%s.Faces[%d]: Index out of bounds", ClassName(), index));
  }
  return FFaces[std::size_t(index)];
}

void TOxaRotateBitmap::SetDirection(int value)
{
  if (value != 0 && value != 1) {
    throw Exception("TOxaRotateBitmap: Unknown Direction");
  }
  FDirection = value;
}

int TOxaRotateBitmap::FaceWidth() const noexcept
{
  return FFaces.size() >= 2 ? FFaces.front()->ImageWidth() : 0;
}

int TOxaRotateBitmap::FaceHeight() const noexcept
{
  return FFaces.size() >= 2 ? FFaces.front()->ImageHeight() : 0;
}

double TOxaRotateBitmap::Radius() const noexcept
{
  return FaceWidth() / kSin60 / 2.0;
}

int TOxaRotateBitmap::Center() const noexcept
{
  return int(std::lround(Radius()));
}

int TOxaRotateBitmap::Offset() const noexcept
{
  return (FaceWidth() - CanvasWidth()) / 2;
}

double TOxaRotateBitmap::Progress(int step, int steps) const
{
  if (steps < 1) {
    throw EOxaFatal(Format("%s.Render: Steps must be 1 or more, not %d", ClassName(), steps));
  }
  const double t = std::clamp(double(step) / double(steps), 0.0, 1.0);
  return t < 0.5 ? 2.0 * t * t : -2.0 * t * t + 4.0 * t - 1.0;
}

std::vector<TOxaRotateSpan> TOxaRotateBitmap::Spans(int step, int steps) const
{
  const double progress = Progress(step, steps);
  std::vector<TOxaRotateSpan> spans;
  const int faces = int(FFaces.size());
  if (faces < 2) {
    return spans;
  }
  const double sign = FDirection == 0 ? 1.0 : -1.0;
  const double angle = sign * progress * (faces - 1) * 120.0;
  const double r = Radius();
  const int c = Center();
  for (int j = 0; j < faces; ++j) {
    const double theta = angle - sign * 120.0 * j;
    if (std::abs(theta) >= 180.0) {
      continue;
    }
    TOxaRotateSpan span;
    span.Face = j;
    if (theta == 0.0) {
      // Straight on: the face itself, where the target starts.
      span.Left = -Offset();
      span.Right = span.Left + FaceWidth();
    } else {
      const double left = std::sin((theta - 60.0) * kDegree);
      const double right = std::sin((theta + 60.0) * kDegree);
      span.Left = int(std::lround(r * left)) + c;
      span.Right = int(std::lround(r * right)) + c;
      span.Shading = std::min(255, int(std::lround(160.0 * (left + right) * (left + right))));
    }
    // Faces turned away project backwards; slivers under a pixel are not drawn.
    if (span.Right - span.Left >= 1) {
      spans.push_back(span);
    }
  }
  std::sort(spans.begin(), spans.end(), [](const auto& a, const auto& b) { return a.Left < b.Left; });
  return spans;
}

void TOxaRotateBitmap::Render(TOxaBitmap& target, int step, int steps)
{
  const std::vector<TOxaRotateSpan> spans = Spans(step, steps);
  if (FFaces.size() < 2) {
    return;
  }
  const int width = FaceWidth();
  const int height = FaceHeight();
  const int canvasWidth = CanvasWidth();
  if (width <= 0 || height <= 0) {
    return;
  }
  if (!FCanvas) {
    FCanvas.reset(new TOxaBitmap(nullptr));
  }
  FCanvas->ChangeImageSize(canvasWidth, height, opf24Bit);
  FCanvas->FillSurface(RECT{0, 0, canvasWidth, height}, target.Color());
  const TOxaBltTable& blt = *FCanvas->BltTable();
  FCanvas->ScanLine(0);
  const TOxaSurfaceDesc canvas = FCanvas->Desc();
  for (const TOxaRotateSpan& span : spans) {
    TOxaBitmap& face = *FFaces[std::size_t(span.Face)];
    if (face.ImageWidth() <= 0 || face.ImageHeight() <= 0 || face.PixelFormat() != opf24Bit) {
      continue;
    }
    // Spans always lie inside the canvas: |r sin| <= r and the centre is r rounded.
    const int left = std::max(span.Left, 0);
    const int right = std::min(span.Right, canvasWidth);
    if (left != span.Left || right != span.Right || right - left < 1) {
      continue;
    }
    face.ScanLineRead(0);
    blt.StretchSmoothCopy(canvas, face.Desc(), left, 0, right - left, height, -span.Shading);
  }
  target.ChangeImageSize(width, height, opf24Bit);
  target.ScanLine(0);
  blt.Copy(target.Desc(), canvas, 0, 0, -Offset(), 0, width, height);
  target.ContentChanged();
}
