#pragma once
// The shared drawing resources a node takes from its parent or sets itself: a font, state sets
// of fonts and colours, and a named bitmap store. Each is a component with a dependants list;
// nodes register as observers (OnDestroy, OnChange) and hear when the resource changes or dies.
// Only the observed shell lives here; the glyph drawing and the stored images build on it.

#include <array>
#include <cstdint>

#include "framework/OxaObjects.h"
#include "graphics/OxaBitmapBlt.h"

// A component observed by nodes. Changed() tells every observer (batched by BeginUpdate and
// EndUpdate).
class TOxaGraphicsObject : public TOxaComponent {
 public:
  explicit TOxaGraphicsObject(TComponent* owner = nullptr) : TOxaComponent(owner) {}
};

// The states the font and colour sets are indexed by.
enum TOxaState : int {
  osNormal = 0,
  osNormalActive = 1,
  osRollover = 2,
  osRolloverActive = 3,
  osRolloverGroup = 4,
  osDisabled = 5,
};
constexpr int kOxaStateCount = 6;

class TOxaFont : public TOxaGraphicsObject {
 public:
  using TOxaGraphicsObject::TOxaGraphicsObject;
};

class TOxaFonts : public TOxaGraphicsObject {
 public:
  using TOxaGraphicsObject::TOxaGraphicsObject;

  TOxaFont* Font(int state) const noexcept
  {
    return state >= 0 && state < kOxaStateCount ? FFonts[std::size_t(state)] : nullptr;
  }
  void SetFont(int state, TOxaFont* font)
  {
    if (state >= 0 && state < kOxaStateCount && FFonts[std::size_t(state)] != font) {
      FFonts[std::size_t(state)] = font;
      Changed();
    }
  }

 private:
  std::array<TOxaFont*, kOxaStateCount> FFonts{};
};

class TOxaColors : public TOxaGraphicsObject {
 public:
  using TOxaGraphicsObject::TOxaGraphicsObject;

  TOxaColor Color(int state) const noexcept
  {
    return state >= 0 && state < kOxaStateCount ? FColors[std::size_t(state)] : 0;
  }
  void SetColor(int state, TOxaColor color)
  {
    if (state >= 0 && state < kOxaStateCount && FColors[std::size_t(state)] != color) {
      FColors[std::size_t(state)] = color;
      Changed();
    }
  }

 private:
  std::array<TOxaColor, kOxaStateCount> FColors{};
};

class TOxaBitmaps : public TOxaGraphicsObject {
 public:
  using TOxaGraphicsObject::TOxaGraphicsObject;
};
