// The portable 24-bit operations: 256-entry lookup tables built once per call, fixed-point
// stepping, whole rows moved with block copies.

#include "graphics/OxaBitmapBlt24.h"

#include <array>
#include <cstring>
#include <vector>

#include "graphics/OxaBitmapBlt24Internal.h"

namespace oxablt24 {

namespace {

constexpr int kScratchRowBytes = 4096;
// Opaque fill rows at least this long are copied whole; shorter ones byte by byte.
constexpr int kBlockRowBytes = 256;

using TByteTable = std::array<std::uint8_t, 256>;

TByteTable ClampTable(int offset)
{
  TByteTable table;
  for (int c = 0; c < 256; ++c) {
    table[c] = Clamp255(c + offset);
  }
  return table;
}

TByteTable TintTable(int key, int strength)
{
  TByteTable table;
  for (int c = 0; c < 256; ++c) {
    table[c] = std::uint8_t((c * (255 - strength) + key * strength) >> 8);
  }
  return table;
}

struct TChannelTables {
  TByteTable B, G, R;
};

TChannelTables TintTables(TOxaColor tint)
{
  const int a = int(tint >> 24);
  return {TintTable(int(tint & 0xFF), a), TintTable(int((tint >> 8) & 0xFF), a),
          TintTable(int((tint >> 16) & 0xFF), a)};
}

// Moves each row of a rectangle through a function of (target row, source row, pixel count).
template <class RowOp>
void ForEachRow(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int sx, int sy, int w,
                int h, RowOp op)
{
  if (w <= 0 || h <= 0) {
    return;
  }
  AssertRect(t, tx, ty, w, h);
  AssertRect(s, sx, sy, w, h);
  for (int j = 0; j < h; ++j) {
    op(PixelAt(t, tx, ty + j), PixelAt(s, sx, sy + j), w);
  }
}

void ApplyTables(std::uint8_t* d, const std::uint8_t* s, int w, const TChannelTables& tables)
{
  for (int i = 0; i < w; ++i, d += 3, s += 3) {
    d[0] = tables.B[s[0]];
    d[1] = tables.G[s[1]];
    d[2] = tables.R[s[2]];
  }
}

}  // namespace

TOxaColor GetPixel(const TOxaSurfaceDesc& t, int x, int y)
{
  const std::uint8_t* p = PixelAt(t, x, y);
  return (TOxaColor(p[0]) << 16) | (TOxaColor(p[1]) << 8) | TOxaColor(p[2]);
}

void SetPixel(const TOxaSurfaceDesc& t, int x, int y, TOxaColor color)
{
  std::uint8_t* p = PixelAt(t, x, y);
  p[0] = std::uint8_t(color >> 16);
  p[1] = std::uint8_t(color >> 8);
  p[2] = std::uint8_t(color);
}

TScratchRow::TScratchRow(std::size_t bytes)
{
  if (bytes > FLocal.size()) {
    FHeap.resize(bytes);
    FData = FHeap.data();
  } else {
    FData = FLocal.data();
  }
}

void FillOpaque(const TOxaSurfaceDesc& t, int x, int y, int w, int h, TOxaColor color)
{
  AssertRect(t, x, y, w, h);
  const std::size_t rowBytes = std::size_t(w) * 3;
  TScratchRow scratch(rowBytes);
  std::uint8_t* row = scratch.Data();
  for (int i = 0; i < w; ++i) {
    row[i * 3] = std::uint8_t(color >> 16);
    row[i * 3 + 1] = std::uint8_t(color >> 8);
    row[i * 3 + 2] = std::uint8_t(color);
  }
  for (int j = 0; j < h; ++j) {
    std::uint8_t* d = PixelAt(t, x, y + j);
    if (rowBytes >= kBlockRowBytes) {
      std::memcpy(d, row, rowBytes);
    } else {
      for (std::size_t k = 0; k < rowBytes; ++k) {
        d[k] = row[k];
      }
    }
  }
}

void FillRect(const TOxaSurfaceDesc& t, int x, int y, int w, int h, TOxaColor color)
{
  if (w <= 0 || h <= 0) {
    return;
  }
  AssertRect(t, x, y, w, h);
  const int kept = int(color >> 24);
  if (kept == 0) {
    FillOpaque(t, x, y, w, h, color);
    return;
  }
  TChannelTables tables;
  for (int d = 0; d < 256; ++d) {
    tables.B[d] = std::uint8_t((d * kept + int((color >> 16) & 0xFF) * (255 - kept)) >> 8);
    tables.G[d] = std::uint8_t((d * kept + int((color >> 8) & 0xFF) * (255 - kept)) >> 8);
    tables.R[d] = std::uint8_t((d * kept + int(color & 0xFF) * (255 - kept)) >> 8);
  }
  for (int j = 0; j < h; ++j) {
    std::uint8_t* d = PixelAt(t, x, y + j);
    ApplyTables(d, d, w, tables);
  }
}

void FrameRect(const TOxaSurfaceDesc& t, int x, int y, int w, int h, TOxaColor color, int bandHeight,
               int bandWidth)
{
  if (w <= 0 || h <= 0) {
    return;
  }
  AssertRect(t, x, y, w, h);
  color &= 0xFFFFFF;
  const int bandRows = std::clamp(bandHeight, 0, h);
  const int bandColumns = std::clamp(bandWidth, 0, w);
  const int firstBottom = std::max(h - bandRows, bandRows);
  FillOpaque(t, x, y, w, bandRows, color);
  FillOpaque(t, x, y + firstBottom, w, h - firstBottom, color);
  if (bandColumns == 0 || bandRows >= firstBottom) {
    return;
  }
  const int rightStart = std::max(w - bandColumns, bandColumns);
  FillOpaque(t, x, y + bandRows, bandColumns, firstBottom - bandRows, color);
  if (rightStart < w) {
    FillOpaque(t, x + rightStart, y + bandRows, w - rightStart, firstBottom - bandRows, color);
  }
}

void Copy(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int sx, int sy, int w, int h)
{
  if (w <= 0 || h <= 0) {
    return;
  }
  const std::size_t rowBytes = std::size_t(w) * 3;
  // Whole surfaces without row padding are one block (padding bytes are never written).
  if (t.Width == w && s.Width == w && t.Stride == s.Stride && std::size_t(t.Stride) == rowBytes) {
    AssertRect(t, tx, ty, w, h);
    AssertRect(s, sx, sy, w, h);
    std::memmove(PixelAt(t, 0, ty + h - 1), PixelAt(s, 0, sy + h - 1), rowBytes * std::size_t(h));
    return;
  }
  ForEachRow(t, s, tx, ty, sx, sy, w, h,
             [rowBytes](std::uint8_t* d, const std::uint8_t* p, int) { std::memmove(d, p, rowBytes); });
}

void AlphaCopy(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int sx, int sy, int w,
               int h, std::uint32_t alpha)
{
  const int a = int(alpha & 0xFF);
  ForEachRow(t, s, tx, ty, sx, sy, w, h, [a](std::uint8_t* d, const std::uint8_t* p, int n) {
    for (int k = 0; k < n * 3; ++k) {
      d[k] = std::uint8_t((p[k] * a + d[k] * (255 - a)) >> 8);
    }
  });
}

void BrightnessCopy(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int sx, int sy, int w,
                    int h, int red, int green, int blue)
{
  if (red == 0 && green == 0 && blue == 0) {
    Copy(t, s, tx, ty, sx, sy, w, h);
    return;
  }
  const TChannelTables tables{ClampTable(blue), ClampTable(green), ClampTable(red)};
  ForEachRow(t, s, tx, ty, sx, sy, w, h,
             [&tables](std::uint8_t* d, const std::uint8_t* p, int n) { ApplyTables(d, p, n, tables); });
}

void TintCopy(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int sx, int sy, int w,
              int h, TOxaColor tint)
{
  if ((tint >> 24) == 0) {
    Copy(t, s, tx, ty, sx, sy, w, h);
    return;
  }
  const TChannelTables tables = TintTables(tint);
  ForEachRow(t, s, tx, ty, sx, sy, w, h,
             [&tables](std::uint8_t* d, const std::uint8_t* p, int n) { ApplyTables(d, p, n, tables); });
}

void TransparentCopy(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int sx, int sy,
                     int w, int h, TOxaColor key)
{
  const std::uint8_t k0 = std::uint8_t(key >> 16), k1 = std::uint8_t(key >> 8), k2 = std::uint8_t(key);
  // Skin images hold long runs of key and of picture: each run of picture is one block copy.
  ForEachRow(t, s, tx, ty, sx, sy, w, h, [=](std::uint8_t* d, const std::uint8_t* p, int n) {
    const auto isKey = [=](int i) {
      const std::uint8_t* q = p + 3 * i;
      return ((q[0] ^ k0) | (q[1] ^ k1) | (q[2] ^ k2)) == 0;
    };
    int i = 0;
    while (i < n) {
      if (isKey(i)) {
        ++i;
        continue;
      }
      const int start = i;
      while (i < n && !isKey(i)) {
        ++i;
      }
      std::memcpy(d + 3 * start, p + 3 * start, std::size_t(i - start) * 3);
    }
  });
}

void TransparentAlphaCopy(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int sx, int sy,
                          int w, int h, TOxaColor key, std::uint32_t alpha)
{
  const std::uint8_t k0 = std::uint8_t(key >> 16), k1 = std::uint8_t(key >> 8), k2 = std::uint8_t(key);
  const int a = int(alpha & 0xFF);
  ForEachRow(t, s, tx, ty, sx, sy, w, h, [=](std::uint8_t* d, const std::uint8_t* p, int n) {
    for (int i = 0; i < n; ++i, d += 3, p += 3) {
      if (((p[0] ^ k0) | (p[1] ^ k1) | (p[2] ^ k2)) != 0) {
        for (int c = 0; c < 3; ++c) {
          d[c] = std::uint8_t((p[c] * a + d[c] * (255 - a)) >> 8);
        }
      }
    }
  });
}

void GrayCopy(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int sx, int sy, int w,
              int h, int offset)
{
  const TByteTable table = ClampTable(offset);
  ForEachRow(t, s, tx, ty, sx, sy, w, h, [&table](std::uint8_t* d, const std::uint8_t* p, int n) {
    for (int i = 0; i < n; ++i, d += 3, p += 3) {
      const std::uint8_t g = table[(p[0] + p[1] + p[2]) / 3];
      d[0] = g;
      d[1] = g;
      d[2] = g;
    }
  });
}

namespace {

// The source column of every target column, as a byte offset into the source row.
std::vector<std::int32_t> NearestColumns(int sourceWidth, int width)
{
  std::vector<std::int32_t> columns(static_cast<std::size_t>(width));
  const std::int64_t step = NearestStep(sourceWidth, width);
  for (int i = 0; i < width; ++i) {
    columns[std::size_t(i)] = std::int32_t((i * step) >> 16) * 3;
  }
  return columns;
}

template <class PixelOp>
void StretchNearest(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int w, int h,
                    PixelOp op)
{
  if (w <= 0 || h <= 0 || s.Width <= 0 || s.Height <= 0) {
    return;
  }
  AssertRect(t, tx, ty, w, h);
  const std::vector<std::int32_t> columns = NearestColumns(s.Width, w);
  const std::int64_t stepY = NearestStep(s.Height, h);
  for (int j = 0; j < h; ++j) {
    const std::uint8_t* src = s.Row(int((j * stepY) >> 16));
    std::uint8_t* d = PixelAt(t, tx, ty + j);
    for (int i = 0; i < w; ++i, d += 3) {
      op(d, src + columns[std::size_t(i)]);
    }
  }
}

}  // namespace

void StretchCopy(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int w, int h, int offset)
{
  if (offset == 0) {
    StretchNearest(t, s, tx, ty, w, h, [](std::uint8_t* d, const std::uint8_t* p) {
      d[0] = p[0];
      d[1] = p[1];
      d[2] = p[2];
    });
    return;
  }
  const TByteTable table = ClampTable(offset);
  StretchNearest(t, s, tx, ty, w, h, [&table](std::uint8_t* d, const std::uint8_t* p) {
    d[0] = table[p[0]];
    d[1] = table[p[1]];
    d[2] = table[p[2]];
  });
}

void StretchTintCopy(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int w, int h,
                     TOxaColor tint)
{
  if ((tint >> 24) == 0) {
    StretchCopy(t, s, tx, ty, w, h, 0);
    return;
  }
  const TChannelTables tables = TintTables(tint);
  StretchNearest(t, s, tx, ty, w, h, [&tables](std::uint8_t* d, const std::uint8_t* p) {
    d[0] = tables.B[p[0]];
    d[1] = tables.G[p[1]];
    d[2] = tables.R[p[2]];
  });
}

TSmoothColumns::TSmoothColumns(int sourceWidth, int width)
    : Offset(std::size_t(width)), Weight(std::size_t(width))
{
  const std::int64_t step = SmoothStep(sourceWidth, width);
  for (int i = 0; i < width; ++i) {
    const std::int64_t fx = i * step;
    Offset[std::size_t(i)] = std::int32_t(fx >> 15) * 3;
    Weight[std::size_t(i)] = std::int32_t(fx & 0x7FFF);
  }
}

bool SmoothSpecialCase(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int w, int h,
                       int offset, const TOxaBltTable& table)
{
  if (w <= 0 || h <= 0 || s.Width <= 0 || s.Height <= 0) {
    return true;
  }
  if (w == s.Width && h == s.Height) {
    table.BrightnessCopy(t, s, tx, ty, 0, 0, w, h, offset, offset, offset);
    return true;
  }
  if (s.Width == 1) {
    table.StretchCopy(t, s, tx, ty, w, h, offset);
    return true;
  }
  AssertRect(t, tx, ty, w, h);
  return false;
}

void StretchSmoothCopy(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int w, int h,
                       int offset)
{
  if (SmoothSpecialCase(t, s, tx, ty, w, h, offset, PortableTable)) {
    return;
  }
  const TSmoothColumns columns(s.Width, w);
  const TByteTable table = ClampTable(offset);
  const std::int64_t stepY = SmoothStep(s.Height, h);
  for (int j = 0; j < h; ++j) {
    const std::int64_t fy = j * stepY;
    const int row0 = int(fy >> 15);
    const int wy = int(fy & 0x7FFF);
    const std::uint8_t* top = s.Row(row0);
    const std::uint8_t* bottom = row0 == s.Height - 1 ? top : s.Row(row0 + 1);
    std::uint8_t* d = PixelAt(t, tx, ty + j);
    for (int i = 0; i < w; ++i, d += 3) {
      const int wx = columns.Weight[std::size_t(i)];
      const int tr = (wx * (32768 - wy)) >> 15;
      const int br = (wx * wy) >> 15;
      const std::uint8_t* a = top + columns.Offset[std::size_t(i)];
      const std::uint8_t* c = bottom + columns.Offset[std::size_t(i)];
      // TL × a + TR × b + BL × c + BR × d with TL = (32768 − wy) − TR and BL = wy − BR.
      for (int k = 0; k < 3; ++k) {
        const int value =
            ((a[k] << 15) + wy * (c[k] - a[k]) + tr * (a[k + 3] - a[k]) + br * (c[k + 3] - c[k])) >> 15;
        d[k] = offset == 0 ? std::uint8_t(value) : table[value];
      }
    }
  }
}

const TOxaBltTable PortableTable = {
    GetPixel,  SetPixel,       FillRect,        FrameRect,         Copy,
    AlphaCopy, BrightnessCopy, TintCopy,        TransparentCopy,   TransparentAlphaCopy,
    GrayCopy,  StretchCopy,    StretchTintCopy, StretchSmoothCopy,
};

}  // namespace oxablt24

const TOxaBltTable* OxaBlt24Table(TOxaBltPath path) noexcept
{
  switch (path) {
    case TOxaBltPath::Reference:
      return &oxablt24::ReferenceTable;
    case TOxaBltPath::Portable:
      return &oxablt24::PortableTable;
    case TOxaBltPath::Vector:
      return oxablt24::VectorTable();
  }
  return nullptr;
}

const TOxaBltTable& OxaBlt24Table() noexcept
{
  static const TOxaBltTable* const best = [] {
    const TOxaBltTable* vector = oxablt24::VectorTable();
    return vector != nullptr ? vector : &oxablt24::PortableTable;
  }();
  return *best;
}
