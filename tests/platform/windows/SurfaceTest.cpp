#include <gtest/gtest.h>
#include <sys/shm.h>

#include <vector>

#include "platform/core/LastError.h"
#include "platform/windows/BmpFile.h"
#include "platform/windows/Region.h"
#include "platform/windows/Surface.h"

namespace {

std::unique_ptr<TSurface> Make(LONG width, LONG height, WORD bits, bool bottomUp = false)
{
  DWORD error = 0;
  return TSurface::Create(width, height, bits, bottomUp, error);
}

TEST(TSurfaceTest, SizeLimits)
{
  struct TCase {
    LONG Width;
    LONG Height;
    WORD Bits;
    DWORD Error;  // 0: created
  };
  const TCase cases[] = {
      {1, 1, 32, 0},
      {0, 1, 32, ERROR_INVALID_PARAMETER},
      {1, 0, 32, ERROR_INVALID_PARAMETER},
      {-1, 1, 32, ERROR_INVALID_PARAMETER},
      {1, 1, 2, ERROR_INVALID_PARAMETER},
      {TSurface::MaxDimension, 1, 32, 0},
      {TSurface::MaxDimension + 1, 1, 32, ERROR_NOT_ENOUGH_MEMORY},
      {1, TSurface::MaxDimension + 1, 8, ERROR_NOT_ENOUGH_MEMORY},
      {8192, 8192, 32, 0},  // exactly MaxBytes
      {8192, 8193, 32, ERROR_NOT_ENOUGH_MEMORY},
      {0x7FFFFFFF, 0x7FFFFFFF, 32, ERROR_NOT_ENOUGH_MEMORY},
  };
  for (const auto memory : {TSurfaceMemory::Private, TSurfaceMemory::SharedWherePossible}) {
    for (const auto& c : cases) {
      DWORD error = 0;
      const auto surface = TSurface::Create(c.Width, c.Height, c.Bits, false, error, memory);
      EXPECT_EQ(surface != nullptr, c.Error == 0) << c.Width << "x" << c.Height << "x" << c.Bits;
      if (c.Error != 0) {
        EXPECT_EQ(error, c.Error) << c.Width << "x" << c.Height << "x" << c.Bits;
      }
    }
  }
}

// The pixels of a shared surface are the segment's: another attachment (the X server's) sees what
// is drawn, and a fresh surface is black.
TEST(TSurfaceTest, SharedSurfacesLiveInTheirSegment)
{
  DWORD error = 0;
  const auto priv = TSurface::Create(3, 2, 32, false, error, TSurfaceMemory::Private);
  ASSERT_NE(priv, nullptr);
  EXPECT_EQ(priv->SharedSegment(), -1);
  const auto shared = TSurface::Create(3, 2, 32, false, error, TSurfaceMemory::SharedWherePossible);
  ASSERT_NE(shared, nullptr);
  ASSERT_GE(shared->SharedSegment(), 0) << "no System V shared memory here";
  EXPECT_EQ(shared->Get(2, 1), RGB(0, 0, 0));
  shared->Set(2, 1, RGB(1, 2, 3));
  void* other = shmat(shared->SharedSegment(), nullptr, SHM_RDONLY);
  ASSERT_NE(other, reinterpret_cast<void*>(-1));
  const auto* bytes = static_cast<const std::uint8_t*>(other) + shared->Stride() + 2 * 4;
  EXPECT_EQ((std::vector<int>{bytes[0], bytes[1], bytes[2]}), (std::vector<int>{3, 2, 1}));
  shmdt(other);
}

TEST(TSurfaceTest, StridesRoundUpToFourBytes)
{
  struct TCase {
    LONG Width;
    WORD Bits;
    std::size_t Stride;
  };
  const TCase cases[] = {{1, 1, 4},  {32, 1, 4}, {33, 1, 8}, {8, 4, 4},   {9, 4, 8},   {4, 8, 4}, {5, 8, 8},
                         {2, 16, 4}, {3, 16, 8}, {1, 24, 4}, {4, 24, 12}, {5, 24, 16}, {1, 32, 4}};
  for (const auto& c : cases) {
    EXPECT_EQ(TSurface::StrideOf(c.Width, c.Bits), c.Stride) << c.Width << "x" << c.Bits;
  }
}

TEST(TSurfaceTest, EveryDepthKeepsWhatItCanHold)
{
  struct TCase {
    WORD Bits;
    COLORREF Written;
    COLORREF Read;
  };
  const TCase cases[] = {
      {32, RGB(1, 2, 3), RGB(1, 2, 3)},
      {24, RGB(250, 128, 7), RGB(250, 128, 7)},
      {16, RGB(255, 255, 255), RGB(255, 255, 255)},
      {16, RGB(0x12, 0x34, 0x56), RGB(0x10, 0x31, 0x52)},  // 5 bits a channel
      {8, RGB(0, 0, 200), RGB(0, 0, 255)},                 // nearest of the colour table below
      {4, RGB(10, 10, 10), RGB(0, 0, 0)},
      {1, RGB(200, 200, 200), RGB(255, 255, 255)},
  };
  for (const auto& c : cases) {
    auto surface = Make(9, 2, c.Bits);
    ASSERT_TRUE(surface) << c.Bits;
    if (c.Bits == 8) {
      surface->Colors()[1] = RGBQUAD{255, 0, 0, 0};  // blue
    }
    surface->Set(7, 1, c.Written);
    EXPECT_EQ(surface->Get(7, 1), c.Read) << c.Bits;
    EXPECT_EQ(surface->Nearest(c.Written), c.Read) << c.Bits;
    // Neighbours on both sides stay untouched.
    EXPECT_EQ(surface->Get(6, 1), surface->Nearest(0)) << c.Bits;
    EXPECT_EQ(surface->Get(8, 1), surface->Nearest(0)) << c.Bits;
    EXPECT_EQ(surface->Get(7, 0), surface->Nearest(0)) << c.Bits;
  }
}

TEST(TSurfaceTest, BottomUpRowsStartAtTheEndOfTheMemory)
{
  auto surface = Make(2, 3, 24, true);
  surface->Set(0, 0, RGB(0x11, 0x22, 0x33));
  const std::uint8_t* lastRow = surface->Bits() + 2 * surface->Stride();
  EXPECT_EQ(lastRow[0], 0x33);
  EXPECT_EQ(lastRow[1], 0x22);
  EXPECT_EQ(lastRow[2], 0x11);
}

TEST(TSurfaceTest, FillsStayInsideTheSurfaceAndTheRectangle)
{
  for (const WORD bits : {1, 4, 8, 16, 24, 32}) {
    auto surface = Make(10, 4, bits);
    surface->Fill(RECT{-5, 1, 3, 99}, RGB(255, 255, 255));
    EXPECT_EQ(surface->Get(0, 1), RGB(255, 255, 255)) << bits;
    EXPECT_EQ(surface->Get(2, 3), RGB(255, 255, 255)) << bits;
    EXPECT_EQ(surface->Get(3, 1), 0U) << bits;
    EXPECT_EQ(surface->Get(0, 0), 0U) << bits;
  }
}

TEST(TSurfaceTest, CopyWithinOneSurfaceOverlapping)
{
  auto surface = Make(3, 4, 32);
  for (LONG y = 0; y < 4; ++y) {
    surface->Set(0, y, RGB(static_cast<BYTE>(y * 10), 0, 0));
  }
  surface->Copy(0, 1, *surface, 0, 0, 1, 3);  // one row down
  for (LONG y = 1; y < 4; ++y) {
    EXPECT_EQ(surface->Get(0, y), RGB(static_cast<BYTE>((y - 1) * 10), 0, 0)) << y;
  }
  auto row = Make(4, 1, 8);
  row->Colors()[1] = RGBQUAD{0, 0, 255, 0};
  row->Set(0, 0, RGB(255, 0, 0));
  row->Copy(1, 0, *row, 0, 0, 3, 1);  // one pixel right, same depth
  EXPECT_EQ(row->Get(3, 0), 0U);
  EXPECT_EQ(row->Get(1, 0), RGB(255, 0, 0));
}

// Copies between 24 and 32 bits, either way and either row order, keep every channel, zero the
// fourth byte, and touch nothing outside the target rectangle.
TEST(TSurfaceTest, CopyBetween24And32Bits)
{
  struct TCase {
    WORD From, To;
    bool FromBottomUp, ToBottomUp;
  };
  const TCase cases[] = {{24, 32, false, false},
                         {24, 32, true, false},
                         {32, 24, false, true},
                         {32, 24, true, true},
                         {24, 32, true, true}};
  for (const TCase& c : cases) {
    auto source = Make(5, 3, c.From, c.FromBottomUp);
    for (LONG y = 0; y < 3; ++y)
      for (LONG x = 0; x < 5; ++x)
        source->Set(
            x, y,
            RGB(static_cast<BYTE>(x * 40 + 1), static_cast<BYTE>(y * 70 + 2), static_cast<BYTE>(x + y + 3)));
    auto target = Make(6, 4, c.To, c.ToBottomUp);
    target->Fill(target->Bounds(), RGB(9, 9, 9));
    if (c.To == 32)
      target->Row(2)[4 * 2 + 3] = 0x55;  // a stray fourth byte inside the rectangle
    target->Copy(2, 1, *source, 1, 0, 3, 2);
    for (LONG y = 0; y < 4; ++y) {
      for (LONG x = 0; x < 6; ++x) {
        const bool inside = x >= 2 && x < 5 && y >= 1 && y < 3;
        const COLORREF expected = inside ? source->Get(x - 1, y - 1) : RGB(9, 9, 9);
        EXPECT_EQ(target->Get(x, y), expected) << c.From << "->" << c.To << " at " << x << "," << y;
        if (c.To == 32 && inside) {
          EXPECT_EQ(target->Row(y)[4 * x + 3], 0) << x << "," << y;
        }
      }
    }
  }
}

// One row of distinct colours: column i has red i * 10 + 10.
std::unique_ptr<TSurface> Ramp(LONG width)
{
  auto surface = Make(width, 1, 32);
  for (LONG x = 0; x < width; ++x) {
    surface->Set(x, 0, RGB(static_cast<BYTE>(x * 10 + 10), 0, 0));
  }
  return surface;
}

std::vector<int> Reds(const TSurface& surface)
{
  std::vector<int> reds;
  for (LONG x = 0; x < surface.Width(); ++x) {
    reds.push_back(GetRValue(surface.Get(x, 0)));
  }
  return reds;
}

TEST(TSurfaceTest, StretchEdges)
{
  struct TCase {
    LONG SourceWidth;
    LONG TargetWidth;
    bool Mirror;
    TStretchMode Mode;
    std::vector<int> Expected;
  };
  const TCase cases[] = {
      {2, 4, false, TStretchMode::Nearest, {10, 10, 20, 20}},
      {4, 2, false, TStretchMode::Nearest, {20, 40}},
      {3, 1, false, TStretchMode::Nearest, {20}},
      {1, 3, false, TStretchMode::Nearest, {10, 10, 10}},
      {3, 3, true, TStretchMode::Nearest, {30, 20, 10}},
      {4, 2, false, TStretchMode::Smooth, {15, 35}},
      {2, 4, false, TStretchMode::Smooth, {10, 13, 18, 20}},
      {1, 3, false, TStretchMode::Smooth, {10, 10, 10}},
  };
  for (const auto& c : cases) {
    const auto source = Ramp(c.SourceWidth);
    auto target = Make(c.TargetWidth, 1, 32);
    const RECT to = c.Mirror ? RECT{c.TargetWidth, 0, 0, 1} : RECT{0, 0, c.TargetWidth, 1};
    target->Stretch(to, *source, RECT{0, 0, c.SourceWidth, 1}, target->Bounds(), c.Mode);
    EXPECT_EQ(Reds(*target), c.Expected) << c.SourceWidth << "->" << c.TargetWidth;
  }
}

TEST(TSurfaceTest, SmoothShrinkingAveragesTheCoveredPixels)
{
  auto source = Make(2, 2, 24);
  source->Set(0, 0, RGB(10, 0, 0));
  source->Set(1, 0, RGB(20, 0, 0));
  source->Set(0, 1, RGB(30, 0, 0));
  source->Set(1, 1, RGB(40, 0, 0));
  auto target = Make(1, 1, 32);
  target->Stretch(RECT{0, 0, 1, 1}, *source, RECT{0, 0, 2, 2}, target->Bounds(), TStretchMode::Smooth);
  EXPECT_EQ(target->Get(0, 0), RGB(25, 0, 0));
}

TEST(TSurfaceTest, StretchWritesOnlyInsideTheClip)
{
  const auto source = Ramp(2);
  auto target = Make(4, 1, 32);
  target->Fill(target->Bounds(), RGB(1, 1, 1));
  target->Stretch(RECT{0, 0, 4, 1}, *source, RECT{0, 0, 2, 1}, RECT{1, 0, 3, 1}, TStretchMode::Nearest);
  EXPECT_EQ(Reds(*target), (std::vector<int>{1, 10, 20, 1}));
}

TEST(TSurfaceTest, BmpFilesRoundTripAtEveryDepth)
{
  for (const WORD bits : {1, 4, 8, 16, 24, 32}) {
    auto surface = Make(5, 3, bits, true);
    if (bits <= 8) {
      surface->Colors()[1] = RGBQUAD{0, 0, 255, 0};
    }
    surface->Set(4, 2, RGB(255, 0, 0));
    surface->Set(0, 0, RGB(255, 0, 0));
    const auto bytes = SerializeBmp(*surface);
    const auto again = ParseBmp(bytes);
    ASSERT_TRUE(again) << bits;
    EXPECT_EQ(again->BitsPerPixel(), bits);
    EXPECT_EQ(again->Get(4, 2), RGB(255, 0, 0)) << bits;
    EXPECT_EQ(again->Get(0, 0), RGB(255, 0, 0)) << bits;
    EXPECT_EQ(again->Get(1, 1), surface->Nearest(0)) << bits;
  }
}

TEST(TSurfaceTest, MalformedBmpFilesAreRefused)
{
  auto surface = Make(4, 4, 8, true);
  const auto good = SerializeBmp(*surface);
  ASSERT_TRUE(ParseBmp(good));
  struct TCase {
    const char* Name;
    std::size_t Offset;
    std::uint32_t Value;  // written little-endian, 4 bytes
  };
  const TCase cases[] = {
      {"pixels past the end", 10, static_cast<std::uint32_t>(good.size())},
      {"header larger than the file", 14, 0x10000},
      {"header too small", 14, 39},
      {"negative width", 18, 0xFFFFFFFF},
      {"height INT_MIN", 22, 0x80000000},
      {"huge width", 18, 0x7FFFFFFF},
      {"compressed", 30, 1},
      {"more colours than the depth holds", 46, 257},
  };
  for (const auto& c : cases) {
    auto bytes = good;
    for (int i = 0; i < 4; ++i) {
      bytes[c.Offset + i] = static_cast<std::uint8_t>(c.Value >> (8 * i));
    }
    EXPECT_FALSE(ParseBmp(bytes)) << c.Name;
  }
  auto truncated = good;
  truncated.pop_back();
  EXPECT_FALSE(ParseBmp(truncated)) << "one byte short";
  EXPECT_FALSE(ParseBmp(std::span(good.data(), 20)));
}

}  // namespace
