// Text laid over another picture by the share of ink in each pixel.
#include "graphics/OxaInkBlend.h"

#include <algorithm>
#include <cstdlib>

namespace {

struct TKey {
  int B, G, R;
};

TKey KeyOf(TOxaColor key) noexcept
{
  return {int((key >> 16) & 0xFF), int((key >> 8) & 0xFF), int(key & 0xFF)};
}

int Distance(const std::uint8_t* p, const TKey& k) noexcept
{
  return std::abs(p[0] - k.B) + std::abs(p[1] - k.G) + std::abs(p[2] - k.R);
}

}  // namespace

int OxaColorDistance(TOxaColor a, TOxaColor b) noexcept
{
  int sum = 0;
  for (const int shift : {0, 8, 16}) {
    sum += std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF));
  }
  return sum;
}

int OxaInkReach(const TOxaSurfaceDesc& surface, int x, int y, int width, int height, TOxaColor key) noexcept
{
  const TKey k = KeyOf(key);
  int reach = 0;
  for (int row = 0; row < height; ++row) {
    const std::uint8_t* p = surface.Row(y + row) + std::ptrdiff_t(x) * 3;
    for (int column = 0; column < width; ++column, p += 3) {
      reach = std::max(reach, Distance(p, k));
    }
  }
  return reach;
}

void OxaInkBlend(const TOxaSurfaceDesc& target, const TOxaSurfaceDesc& source, int targetX, int targetY,
                 int sourceX, int sourceY, int width, int height, TOxaColor key, int reach) noexcept
{
  if (reach <= 0 || width <= 0 || height <= 0) {
    return;
  }
  const TKey k = KeyOf(key);
  const int keys[3] = {k.B, k.G, k.R};
  for (int row = 0; row < height; ++row) {
    const std::uint8_t* from = source.Row(sourceY + row) + std::ptrdiff_t(sourceX) * 3;
    std::uint8_t* to = target.Row(targetY + row) + std::ptrdiff_t(targetX) * 3;
    for (int column = 0; column < width; ++column, from += 3, to += 3) {
      const int distance = Distance(from, k);
      if (distance == 0) {
        continue;
      }
      if (distance >= reach) {
        to[0] = from[0];
        to[1] = from[1];
        to[2] = from[2];
        continue;
      }
      // The share of what is below that shows through, in 1/65536.
      const int keep = int((std::int64_t(reach - distance) << 16) / reach);
      for (int c = 0; c < 3; ++c) {
        const int below = (to[c] - keys[c]) * keep;
        to[c] = std::uint8_t(std::clamp(from[c] + ((below + 0x8000) >> 16), 0, 255));
      }
    }
  }
}
