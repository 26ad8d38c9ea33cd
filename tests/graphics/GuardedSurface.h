#pragma once
// A 24-bit surface in a buffer of its own, with guard bytes before and after it, filled with
// noise, so a test can see every byte an operation wrote: the guards, the row padding and the
// pixels outside the rectangle must keep their values.

#include <cstdint>
#include <random>
#include <vector>

#include "graphics/OxaBitmapBlt.h"

class TGuardedSurface {
 public:
  static constexpr int kGuardBytes = 64;

  TGuardedSurface(int width, int height, std::mt19937& random) : FWidth(width), FHeight(height)
  {
    FStride = OxaStride(width, 3);
    FBytes.resize(std::size_t(kGuardBytes) * 2 + std::size_t(FStride) * std::size_t(height));
    for (auto& b : FBytes) {
      b = std::uint8_t(random());
    }
  }

  // Pixels from a few colours only, so colour keys are hit often.
  void FillFromPalette(const std::vector<TOxaColor>& palette, std::mt19937& random)
  {
    const TOxaSurfaceDesc d = Desc();
    for (int y = 0; y < FHeight; ++y) {
      for (int x = 0; x < FWidth; ++x) {
        const TOxaColor c = palette[random() % palette.size()];
        std::uint8_t* p = d.Row(y) + x * 3;
        p[0] = std::uint8_t(c >> 16);
        p[1] = std::uint8_t(c >> 8);
        p[2] = std::uint8_t(c);
      }
    }
  }

  TOxaSurfaceDesc Desc()
  {
    TOxaSurfaceDesc d;
    d.ScanLine0 = FBytes.data() + kGuardBytes + std::size_t(FStride) * std::size_t(FHeight - 1);
    d.Width = FWidth;
    d.Height = FHeight;
    d.Stride = FStride;
    return d;
  }

  const std::vector<std::uint8_t>& Bytes() const noexcept { return FBytes; }

  // The offset in Bytes() of pixel (x, y).
  std::size_t Offset(int x, int y) const
  {
    return std::size_t(kGuardBytes) + std::size_t(FStride) * std::size_t(FHeight - 1 - y) +
           std::size_t(x) * 3;
  }

  // True when the bytes differ from `before` only inside the pixels of the rectangle.
  bool ChangedOnlyInside(const std::vector<std::uint8_t>& before, int x, int y, int width, int height) const
  {
    std::vector<bool> inside(FBytes.size(), false);
    for (int j = y; j < y + height; ++j) {
      for (int i = x; i < x + width; ++i) {
        for (int k = 0; k < 3; ++k) {
          inside[Offset(i, j) + std::size_t(k)] = true;
        }
      }
    }
    for (std::size_t k = 0; k < FBytes.size(); ++k) {
      if (!inside[k] && FBytes[k] != before[k]) {
        return false;
      }
    }
    return true;
  }

  TOxaColor Pixel(int x, int y) const
  {
    const std::size_t o = Offset(x, y);
    return (TOxaColor(FBytes[o]) << 16) | (TOxaColor(FBytes[o + 1]) << 8) | TOxaColor(FBytes[o + 2]);
  }

 private:
  int FWidth;
  int FHeight;
  int FStride;
  std::vector<std::uint8_t> FBytes;
};
