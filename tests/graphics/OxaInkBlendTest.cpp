// Text laid over a picture by each pixel's share of ink.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "graphics/OxaBitmap.h"
#include "graphics/OxaInkBlend.h"

namespace {

constexpr TOxaColor Grey(int v)
{
  return TOxaColor(v) * 0x010101;
}

// One row of pixels as a 24-bit surface.
TOwnedObject<TOxaBitmap> Row(const std::vector<TOxaColor>& pixels)
{
  TOwnedObject<TOxaBitmap> surface(new TOxaBitmap(nullptr));
  surface->ChangeImageSize(int(pixels.size()), 1, opf24Bit);
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    surface->SetPixel(int(i), 0, pixels[i]);
  }
  surface->ScanLine(0);
  return surface;
}

TOxaColor Blend(TOxaColor pixel, TOxaColor below, TOxaColor key, int reach)
{
  TOwnedObject<TOxaBitmap> source = Row({pixel});
  TOwnedObject<TOxaBitmap> target = Row({below});
  OxaInkBlend(target->Desc(), source->Desc(), 0, 0, 0, 0, 1, 1, key, reach);
  return target->GetPixel(0, 0) & 0xFFFFFF;
}

TEST(OxaInkBlend, EachPixelGivesItsShareOfInk)
{
  // Ink 0x606060 on a black key reaches 3 x 96 = 288.
  struct TCase {
    const char* Name;
    TOxaColor Pixel, Below, Key;
    int Reach;
    TOxaColor Expected;
  };
  const TCase cases[] = {
      {"the key leaves what is below", Grey(0), Grey(0x46), Grey(0), 288, Grey(0x46)},
      {"one step from the key is nearly all below", 0x000001, Grey(0x46), Grey(0), 288, 0x464647},
      {"the ink is copied", Grey(96), Grey(0x46), Grey(0), 288, Grey(96)},
      {"half the ink mixes half way", Grey(48), Grey(70), Grey(0), 288, Grey(83)},
      {"half the ink over white", Grey(48), Grey(255), Grey(0), 288, Grey(176)},
      {"beyond the reach is copied", Grey(200), Grey(0x46), Grey(0), 288, Grey(200)},
      {"on a light key, dark ink", Grey(128), Grey(0), Grey(255), 765, Grey(0)},
      {"on a light key, a light edge over grey", Grey(192), Grey(0x46), Grey(255), 765, Grey(0x35)},
      {"off the ink's line, clamped not wrapped", 0x0000FA, Grey(255), Grey(0), 300, 0x2A2AFF},
      {"no reach draws nothing", Grey(96), Grey(0x46), Grey(0), 0, Grey(0x46)},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(Blend(c.Pixel, c.Below, c.Key, c.Reach), c.Expected);
  }
}

TEST(OxaInkBlend, OnTheKeyEveryPixelComesOutAsItWasDrawn)
{
  // What was drawn on the key is what shows on it, at every share, so text on the key's own
  // colour looks exactly as drawn.
  for (const TOxaColor key : {Grey(0), Grey(255), TOxaColor(0x646464)}) {
    for (int v = 0; v < 256; ++v) {
      const TOxaColor pixel = Grey(v);
      const int reach = std::max(OxaColorDistance(Grey(0), key), OxaColorDistance(Grey(255), key));
      ASSERT_EQ(Blend(pixel, key, key, reach), pixel) << std::hex << key << " " << v;
    }
  }
}

TEST(OxaInkBlend, OnlyTheRectangleIsTouched)
{
  TOwnedObject<TOxaBitmap> source = Row({Grey(96), Grey(96), Grey(96), Grey(96)});
  TOwnedObject<TOxaBitmap> target = Row({Grey(1), Grey(2), Grey(3), Grey(4)});
  OxaInkBlend(target->Desc(), source->Desc(), 1, 0, 2, 0, 2, 1, Grey(0), 288);
  EXPECT_EQ(target->GetPixel(0, 0) & 0xFFFFFF, Grey(1));
  EXPECT_EQ(target->GetPixel(1, 0) & 0xFFFFFF, Grey(96));
  EXPECT_EQ(target->GetPixel(2, 0) & 0xFFFFFF, Grey(96));
  EXPECT_EQ(target->GetPixel(3, 0) & 0xFFFFFF, Grey(4));
}

TEST(OxaInkBlend, TheReachIsTheFarthestPixelFromTheKey)
{
  TOwnedObject<TOxaBitmap> surface = Row({Grey(0), Grey(40), 0x0000FF, Grey(96), Grey(0)});
  struct TCase {
    const char* Name;
    int X, Width;
    TOxaColor Key;
    int Expected;
  };
  const TCase cases[] = {
      {"whole row", 0, 5, Grey(0), 288},    {"without the farthest", 0, 3, Grey(0), 255},
      {"one key pixel", 0, 1, Grey(0), 0},  {"empty", 2, 0, Grey(0), 0},
      {"another key", 0, 5, Grey(96), 351},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(OxaInkReach(surface->Desc(), c.X, 0, c.Width, 1, c.Key), c.Expected);
  }
  EXPECT_EQ(OxaColorDistance(0x102030, 0x302010), 0x20 + 0 + 0x20);
}

}  // namespace
