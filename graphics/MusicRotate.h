#pragma once
// TOxaRotateBitmap: a turn from one image to the next drawn as if the images were the faces of
// a three-sided prism seen from the front.
//
// Face j sits at the angle a - 120 j (a + 120 j turning backwards), where a grows with the eased
// progress up to (faces - 1) x 120 degrees; a face is drawn between the projections of its two
// edges when it faces the viewer (its right edge lies right of its left edge) and only while it
// is within half a turn of the front, so a fourth face never shows through the first.
//
// Decisions of this implementation:
// - A face is darkened by its shading: the shading is the brightness offset, subtracted.
// - The turn is drawn into a target of the first face's size; the canvas, wider than the face,
//   is centred on it. A face exactly straight on is copied to the target's origin unscaled, for
//   any face width.
// - Steps outside 0..Steps are held at the ends.

#include <cstdint>
#include <vector>

#include "framework/OxaObjects.h"
#include "graphics/OxaBitmap.h"

// Where one face is drawn on the canvas.
struct TOxaRotateSpan {
  int Face = 0;
  int Left = 0;   // canvas x of the left edge
  int Right = 0;  // canvas x past the right edge
  int Shading = 0;
  bool operator==(const TOxaRotateSpan&) const = default;
};

class TOxaRotateBitmap : public TOxaObject {
 public:
  explicit TOxaRotateBitmap(TOxaObjects* parentList = nullptr);
  ~TOxaRotateBitmap() override;
  TOxaRotateBitmap(const TOxaRotateBitmap&) = delete;
  TOxaRotateBitmap& operator=(const TOxaRotateBitmap&) = delete;

  // Faces are observed: a face that is freed leaves the list.
  void Add(TOxaBitmap* face);
  void Remove(TOxaBitmap* face);
  void Clear();
  int FaceCount() const noexcept { return int(FFaces.size()); }
  // Raises "%s.Faces[%d]: Index out of bounds".
  TOxaBitmap* Faces(int index) const;

  int Direction() const noexcept { return FDirection; }
  // 0 turns forwards, 1 backwards; anything else raises "TOxaRotateBitmap: Unknown Direction".
  void SetDirection(int value);

  // The geometry of the first face; all 0 with fewer than two faces.
  int FaceWidth() const noexcept;
  int FaceHeight() const noexcept;
  double Radius() const noexcept;
  int Center() const noexcept;
  int CanvasWidth() const noexcept { return 2 * Center(); }
  // Where the canvas starts relative to the face: (face width - canvas width) div 2.
  int Offset() const noexcept;

  // The eased progress of step of steps, 0..1. Raises EOxaFatal for steps below 1.
  double Progress(int step, int steps) const;
  // The faces seen at step of steps, left to right.
  std::vector<TOxaRotateSpan> Spans(int step, int steps) const;
  // Draws the turn at step of steps into target, which takes the first face's size; the parts
  // no face covers take the target's colour. Nothing happens with fewer than two faces.
  void Render(TOxaBitmap& target, int step, int steps);

 private:
  void FaceDestroyed(TObject* sender);
  void Unobserve(TOxaBitmap* face);

  std::vector<TOxaBitmap*> FFaces;
  int FDirection = 0;
  TOwnedObject<TOxaBitmap> FCanvas;
};
