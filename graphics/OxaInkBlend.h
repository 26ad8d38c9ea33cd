#pragma once
// Text drawn in one ink on a key colour, laid over another picture as if it had been drawn there.
//
// Glyph images and platform text are anti-aliased against the key: an edge pixel is a mix of the
// ink and the key. Copying every pixel that is not exactly the key would carry that mix onto
// another background as a fringe (dark edges on a grey panel, a light box around dark text). So
// each pixel's share of ink is read back from how far it lies from the key, out of the distance
// of the ink itself, and only that share replaces what is below:
//   result = pixel + (1 - share) x (below - key)
// which gives the pixel itself wherever the background is the key, and the background wherever
// the pixel is the key. Both surfaces are 24-bit (blue, green, red in memory).

#include <cstdint>

#include "graphics/OxaBitmapBlt.h"

// The distance of two ABGR colours: the sum of their channel differences (0..765).
int OxaColorDistance(TOxaColor a, TOxaColor b) noexcept;

// How far the farthest pixel of the rectangle lies from key: the distance of the ink. 0 when
// every pixel is the key (or the rectangle is empty).
int OxaInkReach(const TOxaSurfaceDesc& surface, int x, int y, int width, int height, TOxaColor key) noexcept;

// The source rectangle (sourceX, sourceY, width, height) laid over the target at (targetX,
// targetY): key pixels leave the target alone, pixels at reach or beyond are copied, the others
// are mixed by their share. A reach of 0 or less draws nothing. Rectangles are clipped by the
// caller.
void OxaInkBlend(const TOxaSurfaceDesc& target, const TOxaSurfaceDesc& source, int targetX, int targetY,
                 int sourceX, int sourceY, int width, int height, TOxaColor key, int reach) noexcept;
