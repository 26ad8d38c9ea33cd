// The 24-bit operations written straight from their formulas, one pixel and one byte at a time.
// Slow on purpose of clarity: the faster implementations are tested against it byte for byte.

#include "graphics/OxaBitmapBlt24Internal.h"

namespace oxablt24::reference {

struct TRgb {
  int B, G, R;
};

TRgb Read(const TOxaSurfaceDesc& s, int x, int y)
{
  const std::uint8_t* p = PixelAt(s, x, y);
  return {p[0], p[1], p[2]};
}

void Write(const TOxaSurfaceDesc& s, int x, int y, TRgb c)
{
  std::uint8_t* p = PixelAt(s, x, y);
  p[0] = std::uint8_t(c.B);
  p[1] = std::uint8_t(c.G);
  p[2] = std::uint8_t(c.R);
}

int Blend(int source, int target, int weight)
{
  return (source * weight + target * (255 - weight)) >> 8;
}

int Tint(int value, int key, int strength)
{
  return (value * (255 - strength) + key * strength) >> 8;
}

TRgb Tinted(TRgb c, TOxaColor tint)
{
  const int a = int(tint >> 24);
  if (a == 0) {
    return c;
  }
  return {Tint(c.B, int(tint & 0xFF), a), Tint(c.G, int((tint >> 8) & 0xFF), a),
          Tint(c.R, int((tint >> 16) & 0xFF), a)};
}

TRgb Brightened(TRgb c, int offset)
{
  if (offset == 0) {
    return c;
  }
  return {Clamp255(c.B + offset), Clamp255(c.G + offset), Clamp255(c.R + offset)};
}

TOxaColor GetPixel(const TOxaSurfaceDesc& t, int x, int y)
{
  const TRgb c = Read(t, x, y);
  return (TOxaColor(c.B) << 16) | (TOxaColor(c.G) << 8) | TOxaColor(c.R);
}

void SetPixel(const TOxaSurfaceDesc& t, int x, int y, TOxaColor color)
{
  Write(t, x, y, {int((color >> 16) & 0xFF), int((color >> 8) & 0xFF), int(color & 0xFF)});
}

void FillRect(const TOxaSurfaceDesc& t, int x, int y, int w, int h, TOxaColor color)
{
  AssertRect(t, x, y, w, h);
  const int kept = int(color >> 24);
  const TRgb s{int((color >> 16) & 0xFF), int((color >> 8) & 0xFF), int(color & 0xFF)};
  for (int j = 0; j < h; ++j) {
    for (int i = 0; i < w; ++i) {
      if (kept == 0) {
        Write(t, x + i, y + j, s);
        continue;
      }
      const TRgb d = Read(t, x + i, y + j);
      Write(t, x + i, y + j,
            {(d.B * kept + s.B * (255 - kept)) >> 8, (d.G * kept + s.G * (255 - kept)) >> 8,
             (d.R * kept + s.R * (255 - kept)) >> 8});
    }
  }
}

void FrameRect(const TOxaSurfaceDesc& t, int x, int y, int w, int h, TOxaColor color, int bandHeight,
               int bandWidth)
{
  AssertRect(t, x, y, w, h);
  for (int j = 0; j < h; ++j) {
    for (int i = 0; i < w; ++i) {
      const bool inBand = j < bandHeight || j >= h - bandHeight || i < bandWidth || i >= w - bandWidth;
      if (inBand) {
        SetPixel(t, x + i, y + j, color);
      }
    }
  }
}

template <class Op>
void ForEachPixel(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int sx, int sy, int w,
                  int h, Op op)
{
  AssertRect(t, tx, ty, w, h);
  AssertRect(s, sx, sy, w, h);
  for (int j = 0; j < h; ++j) {
    for (int i = 0; i < w; ++i) {
      op(tx + i, ty + j, Read(s, sx + i, sy + j));
    }
  }
}

void Copy(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int sx, int sy, int w, int h)
{
  ForEachPixel(t, s, tx, ty, sx, sy, w, h, [&](int x, int y, TRgb c) { Write(t, x, y, c); });
}

void AlphaCopy(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int sx, int sy, int w,
               int h, std::uint32_t alpha)
{
  const int a = int(alpha & 0xFF);
  ForEachPixel(t, s, tx, ty, sx, sy, w, h, [&](int x, int y, TRgb c) {
    const TRgb d = Read(t, x, y);
    Write(t, x, y, {Blend(c.B, d.B, a), Blend(c.G, d.G, a), Blend(c.R, d.R, a)});
  });
}

void BrightnessCopy(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int sx, int sy, int w,
                    int h, int red, int green, int blue)
{
  ForEachPixel(t, s, tx, ty, sx, sy, w, h, [&](int x, int y, TRgb c) {
    Write(t, x, y, {Clamp255(c.B + blue), Clamp255(c.G + green), Clamp255(c.R + red)});
  });
}

void TintCopy(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int sx, int sy, int w,
              int h, TOxaColor tint)
{
  ForEachPixel(t, s, tx, ty, sx, sy, w, h, [&](int x, int y, TRgb c) { Write(t, x, y, Tinted(c, tint)); });
}

bool IsKey(TRgb c, TOxaColor key)
{
  return c.B == int((key >> 16) & 0xFF) && c.G == int((key >> 8) & 0xFF) && c.R == int(key & 0xFF);
}

void TransparentCopy(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int sx, int sy,
                     int w, int h, TOxaColor key)
{
  ForEachPixel(t, s, tx, ty, sx, sy, w, h, [&](int x, int y, TRgb c) {
    if (!IsKey(c, key)) {
      Write(t, x, y, c);
    }
  });
}

void TransparentAlphaCopy(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int sx, int sy,
                          int w, int h, TOxaColor key, std::uint32_t alpha)
{
  const int a = int(alpha & 0xFF);
  ForEachPixel(t, s, tx, ty, sx, sy, w, h, [&](int x, int y, TRgb c) {
    if (!IsKey(c, key)) {
      const TRgb d = Read(t, x, y);
      Write(t, x, y, {Blend(c.B, d.B, a), Blend(c.G, d.G, a), Blend(c.R, d.R, a)});
    }
  });
}

void GrayCopy(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int sx, int sy, int w,
              int h, int offset)
{
  ForEachPixel(t, s, tx, ty, sx, sy, w, h, [&](int x, int y, TRgb c) {
    int g = (c.B + c.G + c.R) / 3;
    if (offset != 0) {
      g = Clamp255(g + offset);
    }
    Write(t, x, y, {g, g, g});
  });
}

template <class Op>
void ForEachNearest(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int w, int h, Op op)
{
  if (w <= 0 || h <= 0 || s.Width <= 0 || s.Height <= 0) {
    return;
  }
  AssertRect(t, tx, ty, w, h);
  const std::int64_t stepX = NearestStep(s.Width, w);
  const std::int64_t stepY = NearestStep(s.Height, h);
  for (int j = 0; j < h; ++j) {
    for (int i = 0; i < w; ++i) {
      op(tx + i, ty + j, Read(s, int((i * stepX) >> 16), int((j * stepY) >> 16)));
    }
  }
}

void StretchCopy(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int w, int h, int offset)
{
  ForEachNearest(t, s, tx, ty, w, h, [&](int x, int y, TRgb c) { Write(t, x, y, Brightened(c, offset)); });
}

void StretchTintCopy(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int w, int h,
                     TOxaColor tint)
{
  ForEachNearest(t, s, tx, ty, w, h, [&](int x, int y, TRgb c) { Write(t, x, y, Tinted(c, tint)); });
}

void StretchSmoothCopy(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int w, int h,
                       int offset)
{
  if (w <= 0 || h <= 0 || s.Width <= 0 || s.Height <= 0) {
    return;
  }
  if (w == s.Width && h == s.Height) {
    BrightnessCopy(t, s, tx, ty, 0, 0, w, h, offset, offset, offset);
    return;
  }
  if (s.Width == 1) {
    StretchCopy(t, s, tx, ty, w, h, offset);
    return;
  }
  AssertRect(t, tx, ty, w, h);
  const std::int64_t stepX = SmoothStep(s.Width, w);
  const std::int64_t stepY = SmoothStep(s.Height, h);
  for (int j = 0; j < h; ++j) {
    const std::int64_t fy = j * stepY;
    const int row0 = int(fy >> 15);
    const int row1 = row0 == s.Height - 1 ? row0 : row0 + 1;
    const int wy = int(fy & 0x7FFF);
    for (int i = 0; i < w; ++i) {
      const std::int64_t fx = i * stepX;
      const int x0 = int(fx >> 15);
      const int wx = int(fx & 0x7FFF);
      const int tr = (wx * (32768 - wy)) >> 15;
      const int tl = (32768 - wy) - tr;
      const int br = (wx * wy) >> 15;
      const int bl = wy - br;
      const TRgb p00 = Read(s, x0, row0);
      const TRgb p10 = Read(s, x0 + 1, row0);
      const TRgb p01 = Read(s, x0, row1);
      const TRgb p11 = Read(s, x0 + 1, row1);
      const auto mix = [&](int a, int b, int c, int d) { return (tl * a + tr * b + bl * c + br * d) >> 15; };
      const TRgb c{mix(p00.B, p10.B, p01.B, p11.B), mix(p00.G, p10.G, p01.G, p11.G),
                   mix(p00.R, p10.R, p01.R, p11.R)};
      Write(t, tx + i, ty + j, Brightened(c, offset));
    }
  }
}

}  // namespace oxablt24::reference

namespace oxablt24 {

const TOxaBltTable ReferenceTable = {
    reference::GetPixel,
    reference::SetPixel,
    reference::FillRect,
    reference::FrameRect,
    reference::Copy,
    reference::AlphaCopy,
    reference::BrightnessCopy,
    reference::TintCopy,
    reference::TransparentCopy,
    reference::TransparentAlphaCopy,
    reference::GrayCopy,
    reference::StretchCopy,
    reference::StretchTintCopy,
    reference::StretchSmoothCopy,
};

}  // namespace oxablt24
