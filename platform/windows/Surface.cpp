#include "platform/windows/Surface.h"

#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstring>

#include "platform/core/LastError.h"
#include "platform/windows/Region.h"

namespace {

inline COLORREF FromBgr(const std::uint8_t* pixel) noexcept
{
  return RGB(pixel[2], pixel[1], pixel[0]);
}

inline void ToBgr(std::uint8_t* pixel, COLORREF color) noexcept
{
  pixel[0] = GetBValue(color);
  pixel[1] = GetGValue(color);
  pixel[2] = GetRValue(color);
}

// Expands a 5-bit channel to 8 bits so white stays white.
inline BYTE Expand5(unsigned value) noexcept
{
  return static_cast<BYTE>((value << 3) | (value >> 2));
}

}  // namespace

std::unique_ptr<TPixelMemory> TPixelMemory::Allocate(std::size_t size)
{
  if (size == 0) {
    return nullptr;
  }
  void* data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (data == MAP_FAILED) {
    return nullptr;
  }
  return std::unique_ptr<TPixelMemory>(new TPixelMemory(static_cast<std::uint8_t*>(data), size, -1));
}

std::unique_ptr<TPixelMemory> TPixelMemory::AllocateShared(std::size_t size)
{
  if (size == 0) {
    return nullptr;
  }
  const int id = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
  if (id < 0) {
    return nullptr;
  }
  void* data = shmat(id, nullptr, 0);
  shmctl(id, IPC_RMID, nullptr);
  if (data == reinterpret_cast<void*>(-1)) {
    return nullptr;
  }
  return std::unique_ptr<TPixelMemory>(new TPixelMemory(static_cast<std::uint8_t*>(data), size, id));
}

TPixelMemory::~TPixelMemory()
{
  if (FSegment >= 0) {
    shmdt(FData);
  } else {
    munmap(FData, FSize);
  }
}

bool TSurface::SupportedDepth(WORD bitsPerPixel) noexcept
{
  switch (bitsPerPixel) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      return true;
    default:
      return false;
  }
}

std::size_t TSurface::StrideOf(LONG width, WORD bitsPerPixel) noexcept
{
  if (!SupportedDepth(bitsPerPixel) || width <= 0 || width > MaxDimension) {
    return 0;
  }
  return ((static_cast<std::size_t>(width) * bitsPerPixel + 31) / 32) * 4;
}

std::unique_ptr<TSurface> TSurface::Create(LONG width, LONG height, WORD bitsPerPixel, bool bottomUp,
                                           DWORD& lastError, TSurfaceMemory where)
{
  if (!SupportedDepth(bitsPerPixel) || width <= 0 || height <= 0) {
    lastError = ERROR_INVALID_PARAMETER;
    return nullptr;
  }
  const std::size_t stride = StrideOf(width, bitsPerPixel);
  if (stride == 0 || height > MaxDimension || stride > MaxBytes / static_cast<std::size_t>(height)) {
    lastError = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  const std::size_t size = stride * static_cast<std::size_t>(height);
  auto memory = where == TSurfaceMemory::SharedWherePossible ? TPixelMemory::AllocateShared(size) : nullptr;
  if (!memory) {
    memory = TPixelMemory::Allocate(size);
  }
  if (!memory) {
    lastError = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  std::unique_ptr<TSurface> surface(new TSurface());
  surface->FWidth = width;
  surface->FHeight = height;
  surface->FBits = bitsPerPixel;
  surface->FStride = stride;
  surface->FBottomUp = bottomUp;
  surface->FMemory = std::move(memory);
  if (bitsPerPixel <= 8) {
    surface->FColors.assign(std::size_t{1} << bitsPerPixel, RGBQUAD{0, 0, 0, 0});
    surface->FColors.back() = RGBQUAD{255, 255, 255, 0};
  }
  return surface;
}

std::size_t TSurface::ColorIndex(COLORREF color) const noexcept
{
  std::size_t best = 0;
  int bestDistance = 1 << 30;
  for (std::size_t i = 0; i < FColors.size(); ++i) {
    const int dr = FColors[i].rgbRed - GetRValue(color);
    const int dg = FColors[i].rgbGreen - GetGValue(color);
    const int db = FColors[i].rgbBlue - GetBValue(color);
    const int distance = dr * dr + dg * dg + db * db;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = i;
      if (distance == 0) {
        break;
      }
    }
  }
  return best;
}

COLORREF TSurface::Get(LONG x, LONG y) const noexcept
{
  const std::uint8_t* row = Row(y);
  switch (FBits) {
    case 32:
      return FromBgr(row + static_cast<std::size_t>(x) * 4);
    case 24:
      return FromBgr(row + static_cast<std::size_t>(x) * 3);
    case 16: {
      const unsigned value = row[x * 2] | (row[x * 2 + 1] << 8);
      return RGB(Expand5((value >> 10) & 31), Expand5((value >> 5) & 31), Expand5(value & 31));
    }
    default: {
      const std::size_t bit = static_cast<std::size_t>(x) * FBits;
      const unsigned shift = 8 - FBits - (bit % 8);
      const std::size_t index = (row[bit / 8] >> shift) & ((1U << FBits) - 1);
      const RGBQUAD& entry = FColors[index];
      return RGB(entry.rgbRed, entry.rgbGreen, entry.rgbBlue);
    }
  }
}

void TSurface::Set(LONG x, LONG y, COLORREF color) noexcept
{
  std::uint8_t* row = Row(y);
  switch (FBits) {
    case 32:
      ToBgr(row + static_cast<std::size_t>(x) * 4, color);
      row[static_cast<std::size_t>(x) * 4 + 3] = 0;
      return;
    case 24:
      ToBgr(row + static_cast<std::size_t>(x) * 3, color);
      return;
    case 16: {
      const unsigned value =
          ((GetRValue(color) >> 3) << 10) | ((GetGValue(color) >> 3) << 5) | (GetBValue(color) >> 3);
      row[x * 2] = static_cast<std::uint8_t>(value);
      row[x * 2 + 1] = static_cast<std::uint8_t>(value >> 8);
      return;
    }
    default: {
      const std::size_t bit = static_cast<std::size_t>(x) * FBits;
      const unsigned shift = 8 - FBits - (bit % 8);
      const unsigned mask = ((1U << FBits) - 1) << shift;
      const unsigned index = static_cast<unsigned>(ColorIndex(color));
      row[bit / 8] = static_cast<std::uint8_t>((row[bit / 8] & ~mask) | ((index << shift) & mask));
      return;
    }
  }
}

COLORREF TSurface::Nearest(COLORREF color) const noexcept
{
  color &= 0xFFFFFF;
  switch (FBits) {
    case 32:
    case 24:
      return color;
    case 16:
      return RGB(Expand5(GetRValue(color) >> 3), Expand5(GetGValue(color) >> 3),
                 Expand5(GetBValue(color) >> 3));
    default: {
      const RGBQUAD& entry = FColors[ColorIndex(color)];
      return RGB(entry.rgbRed, entry.rgbGreen, entry.rgbBlue);
    }
  }
}

void TSurface::Fill(const RECT& rect, COLORREF color) noexcept
{
  const RECT area = IntersectRects(rect, Bounds());
  if (RectEmpty(area)) {
    return;
  }
  if (FBits == 32) {
    const std::uint32_t pixel = GetBValue(color) | (static_cast<std::uint32_t>(GetGValue(color)) << 8) |
                                (static_cast<std::uint32_t>(GetRValue(color)) << 16);
    for (LONG y = area.top; y < area.bottom; ++y) {
      auto* row = reinterpret_cast<std::uint32_t*>(Row(y));
      std::fill(row + area.left, row + area.right, pixel);
    }
    return;
  }
  for (LONG x = area.left; x < area.right; ++x) {
    Set(x, area.top, color);
  }
  const std::size_t firstBit = static_cast<std::size_t>(area.left) * FBits;
  const std::size_t lastBit = static_cast<std::size_t>(area.right) * FBits;
  const bool wholeBytes = firstBit % 8 == 0 && lastBit % 8 == 0;
  for (LONG y = area.top + 1; y < area.bottom; ++y) {
    if (wholeBytes) {
      std::memcpy(Row(y) + firstBit / 8, Row(area.top) + firstBit / 8, (lastBit - firstBit) / 8);
    } else {
      for (LONG x = area.left; x < area.right; ++x) {
        Set(x, y, color);
      }
    }
  }
}

void TSurface::Copy(LONG dx, LONG dy, const TSurface& source, LONG sx, LONG sy, LONG width,
                    LONG height) noexcept
{
  if (width <= 0 || height <= 0) {
    return;
  }
  const bool overlapDown = &source == this && dy > sy;
  const bool overlapRight = &source == this && dx > sx;
  if (source.FBits == FBits && FBits >= 8) {
    const std::size_t bytes = static_cast<std::size_t>(width) * FBits / 8;
    for (LONG i = 0; i < height; ++i) {
      const LONG row = overlapDown ? height - 1 - i : i;
      std::memmove(Row(dy + row) + static_cast<std::size_t>(dx) * FBits / 8,
                   source.Row(sy + row) + static_cast<std::size_t>(sx) * FBits / 8, bytes);
    }
    return;
  }
  // 24 and 32 bits hold the same blue, green, red bytes (32 adds a zero byte): copied byte-wise,
  // as Get and Set would, without the per-pixel dispatch. Different depths are never one surface.
  if ((source.FBits == 24 && FBits == 32) || (source.FBits == 32 && FBits == 24)) {
    const std::size_t from = source.FBits / 8;
    const std::size_t to = FBits / 8;
    for (LONG row = 0; row < height; ++row) {
      const std::uint8_t* s = source.Row(sy + row) + static_cast<std::size_t>(sx) * from;
      std::uint8_t* d = Row(dy + row) + static_cast<std::size_t>(dx) * to;
      for (LONG j = 0; j < width; ++j, s += from, d += to) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
        if (to == 4)
          d[3] = 0;
      }
    }
    return;
  }
  for (LONG i = 0; i < height; ++i) {
    const LONG row = overlapDown ? height - 1 - i : i;
    for (LONG j = 0; j < width; ++j) {
      const LONG column = overlapRight ? width - 1 - j : j;
      Set(dx + column, dy + row, source.Get(sx + column, sy + row));
    }
  }
}

void TSurface::Stretch(const RECT& target, const TSurface& source, const RECT& sourceRect, const RECT& clip,
                       TStretchMode mode) noexcept
{
  LONG tx = target.left;
  LONG ty = target.top;
  LONG tw = target.right - target.left;
  LONG th = target.bottom - target.top;
  LONG sx = sourceRect.left;
  LONG sy = sourceRect.top;
  LONG sw = sourceRect.right - sourceRect.left;
  LONG sh = sourceRect.bottom - sourceRect.top;
  if (tw == 0 || th == 0 || sw == 0 || sh == 0) {
    return;
  }
  bool flipX = false;
  bool flipY = false;
  if (tw < 0) {
    tx += tw;
    tw = -tw;
    flipX = !flipX;
  }
  if (th < 0) {
    ty += th;
    th = -th;
    flipY = !flipY;
  }
  if (sw < 0) {
    sx += sw;
    sw = -sw;
    flipX = !flipX;
  }
  if (sh < 0) {
    sy += sh;
    sh = -sh;
    flipY = !flipY;
  }
  const RECT area = IntersectRects(IntersectRects(RECT{tx, ty, tx + tw, ty + th}, clip), Bounds());
  if (RectEmpty(area)) {
    return;
  }
  // Source pixels outside the source surface are never read.
  const auto clampX = [&](std::int64_t x) {
    return static_cast<LONG>(std::clamp<std::int64_t>(x, 0, source.FWidth - 1));
  };
  const auto clampY = [&](std::int64_t y) {
    return static_cast<LONG>(std::clamp<std::int64_t>(y, 0, source.FHeight - 1));
  };
  const bool shrinking = tw < sw && th < sh;
  for (LONG y = area.top; y < area.bottom; ++y) {
    const std::int64_t j = flipY ? th - 1 - (y - ty) : y - ty;
    for (LONG x = area.left; x < area.right; ++x) {
      const std::int64_t i = flipX ? tw - 1 - (x - tx) : x - tx;
      if (mode == TStretchMode::Nearest) {
        Set(x, y,
            source.Get(clampX(sx + (2 * i + 1) * sw / (2 * tw)), clampY(sy + (2 * j + 1) * sh / (2 * th))));
        continue;
      }
      if (shrinking) {
        // The average of the source pixels the target pixel covers.
        const std::int64_t x0 = sx + i * sw / tw;
        const std::int64_t x1 = std::max(x0 + 1, sx + (i + 1) * sw / tw);
        const std::int64_t y0 = sy + j * sh / th;
        const std::int64_t y1 = std::max(y0 + 1, sy + (j + 1) * sh / th);
        unsigned red = 0;
        unsigned green = 0;
        unsigned blue = 0;
        unsigned count = 0;
        for (std::int64_t v = y0; v < y1; ++v) {
          for (std::int64_t u = x0; u < x1; ++u) {
            const COLORREF c = source.Get(clampX(u), clampY(v));
            red += GetRValue(c);
            green += GetGValue(c);
            blue += GetBValue(c);
            ++count;
          }
        }
        Set(x, y,
            RGB(static_cast<BYTE>(red / count), static_cast<BYTE>(green / count),
                static_cast<BYTE>(blue / count)));
        continue;
      }
      // Bilinear between the four nearest source centres, in 1/256 steps.
      const std::int64_t fx = std::max<std::int64_t>(0, ((2 * i + 1) * sw * 256) / (2 * tw) - 128);
      const std::int64_t fy = std::max<std::int64_t>(0, ((2 * j + 1) * sh * 256) / (2 * th) - 128);
      const LONG x0 = clampX(sx + fx / 256);
      const LONG x1 = clampX(sx + fx / 256 + 1);
      const LONG y0 = clampY(sy + fy / 256);
      const LONG y1 = clampY(sy + fy / 256 + 1);
      const unsigned wx = static_cast<unsigned>(fx % 256);
      const unsigned wy = static_cast<unsigned>(fy % 256);
      const COLORREF c00 = source.Get(x0, y0);
      const COLORREF c10 = source.Get(x1, y0);
      const COLORREF c01 = source.Get(x0, y1);
      const COLORREF c11 = source.Get(x1, y1);
      const auto mix = [&](unsigned shift) {
        const unsigned a = (c00 >> shift) & 255;
        const unsigned b = (c10 >> shift) & 255;
        const unsigned c = (c01 >> shift) & 255;
        const unsigned d = (c11 >> shift) & 255;
        const unsigned top = a * (256 - wx) + b * wx;
        const unsigned bottom = c * (256 - wx) + d * wx;
        return static_cast<BYTE>((top * (256 - wy) + bottom * wy + 32768) >> 16);
      };
      Set(x, y, RGB(mix(0), mix(8), mix(16)));
    }
  }
}
