#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/core/LastError.h"
#include "platform/windows/Gdi.h"
#include "platform/windows/Region.h"

namespace {

// The pixels of a region inside a box, one string per row ('#' in, '.' out).
std::vector<std::string> Picture(const TRegion& region, LONG width, LONG height)
{
  std::vector<std::string> rows;
  for (LONG y = 0; y < height; ++y) {
    std::string row;
    for (LONG x = 0; x < width; ++x) {
      row += region.Contains(x, y) ? '#' : '.';
    }
    rows.push_back(row);
  }
  return rows;
}

TRegion Rects(std::initializer_list<RECT> rects)
{
  TRegion region;
  for (const RECT& rect : rects) {
    region.Unite(TRegion(rect));
  }
  return region;
}

TEST(TRegionTest, CombiningTwoOverlappingRectangles)
{
  const TRegion a(RECT{0, 0, 4, 3});
  const TRegion b(RECT{2, 1, 6, 4});
  struct TCase {
    TRegionOperation Operation;
    std::vector<std::string> Expected;
  };
  const TCase cases[] = {
      {TRegionOperation::Or, {"####..", "######", "######", "..####"}},
      {TRegionOperation::And, {"......", "..##..", "..##..", "......"}},
      {TRegionOperation::Diff, {"####..", "##....", "##....", "......"}},
      {TRegionOperation::Xor, {"####..", "##..##", "##..##", "..####"}},
      {TRegionOperation::Copy, {"####..", "####..", "####..", "......"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Picture(TRegion::Combine(a, b, c.Operation), 6, 4), c.Expected)
        << static_cast<int>(c.Operation);
  }
}

TEST(TRegionTest, EqualSetsHaveEqualRepresentations)
{
  // Built in different orders and pieces, the same pixels compare equal and count as one band.
  const TRegion whole(RECT{0, 0, 10, 10});
  const TRegion pieces = Rects({RECT{0, 5, 10, 10}, RECT{0, 0, 5, 5}, RECT{5, 0, 10, 5}});
  EXPECT_EQ(whole, pieces);
  EXPECT_EQ(pieces.Bands().size(), 1U);
  EXPECT_EQ(pieces.Rects().size(), 1U);
  // Touching spans join, a gap of one pixel keeps them apart.
  EXPECT_EQ(Rects({RECT{0, 0, 3, 1}, RECT{3, 0, 5, 1}}).Rects().size(), 1U);
  EXPECT_EQ(Rects({RECT{0, 0, 3, 1}, RECT{4, 0, 5, 1}}).Rects().size(), 2U);
}

TEST(TRegionTest, EmptyAndInvertedRectanglesAreEmpty)
{
  const RECT cases[] = {{0, 0, 0, 0}, {5, 5, 5, 9}, {5, 5, 9, 5}, {5, 5, 4, 9}, {5, 5, 9, 4}};
  for (const RECT& rect : cases) {
    EXPECT_TRUE(TRegion(rect).Empty())
        << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom;
  }
  EXPECT_FALSE(TRegion(RECT{5, 5, 6, 6}).Empty());
  const RECT none = TRegion().Bounds();
  EXPECT_TRUE(RectEmpty(none));
}

TEST(TRegionTest, TrianglePixelsAreThoseWhoseCentresLieInside)
{
  const POINT points[] = {{0, 0}, {8, 4}, {0, 8}};
  const auto region = TRegion::Polygon(points, TFillMode::Alternate);
  ASSERT_TRUE(region);
  const std::vector<std::string> expected = {
      "#.........", "###.......", "#####.....", "#######...", "#######...",
      "#####.....", "###.......", "#.........", "..........",
  };
  EXPECT_EQ(Picture(*region, 10, 9), expected);
}

TEST(TRegionTest, FillModesDifferWhereThePolygonWindsTwice)
{
  // The same square traced twice: every inside point is wound around twice.
  const POINT twice[] = {{0, 0}, {6, 0}, {6, 6}, {0, 6}, {0, 0}, {6, 0}, {6, 6}, {0, 6}};
  const auto alternate = TRegion::Polygon(twice, TFillMode::Alternate);
  const auto winding = TRegion::Polygon(twice, TFillMode::Winding);
  ASSERT_TRUE(alternate && winding);
  EXPECT_FALSE(alternate->Contains(3, 3));
  EXPECT_TRUE(winding->Contains(3, 3));
  EXPECT_EQ(winding->Bounds().right, 6);
}

TEST(TRegionTest, PolygonSizeLimits)
{
  struct TCase {
    LONG Height;
    bool Accepted;
  };
  const TCase cases[] = {{TRegion::MaxPolygonRows, true}, {TRegion::MaxPolygonRows + 1, false}};
  for (const auto& c : cases) {
    const POINT points[] = {{0, 0}, {1, 0}, {1, c.Height}};
    EXPECT_EQ(TRegion::Polygon(points, TFillMode::Alternate).has_value(), c.Accepted) << c.Height;
  }
  std::vector<POINT> many(TRegion::MaxPolygonPoints + 1, POINT{0, 0});
  EXPECT_FALSE(TRegion::Polygon(many, TFillMode::Winding));
  many.pop_back();
  EXPECT_TRUE(TRegion::Polygon(many, TFillMode::Winding));
}

TEST(TRegionTest, ScalingCoversThePixelsTheAreaReaches)
{
  const TRegion region = Rects({RECT{1, 1, 2, 2}, RECT{3, 0, 4, 1}});
  const std::vector<std::string> doubled = {"......##", "......##", "..##....", "..##....", "........"};
  EXPECT_EQ(Picture(region.Scaled(2, 1), 8, 5), doubled);
  EXPECT_TRUE(region.Scaled(0, 1).Empty());
}

TEST(TRegionTest, HandlesFollowTheWin32Rules)
{
  const HRGN a = CreateRectRgn(0, 0, 10, 10);
  const HRGN b = CreateRectRgn(5, 5, 15, 15);
  const HRGN result = CreateRectRgn(0, 0, 0, 0);
  struct TCase {
    int Operation;
    int Type;
    RECT Box;
  };
  const TCase cases[] = {
      {RGN_AND, SIMPLEREGION, {5, 5, 10, 10}},
      {RGN_OR, COMPLEXREGION, {0, 0, 15, 15}},
      {RGN_DIFF, COMPLEXREGION, {0, 0, 10, 10}},
      {RGN_COPY, SIMPLEREGION, {0, 0, 10, 10}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CombineRgn(result, a, b, c.Operation), c.Type) << c.Operation;
    RECT box{};
    GetRgnBox(result, &box);
    EXPECT_TRUE(EqualRect(&box, &c.Box)) << c.Operation;
  }
  EXPECT_EQ(CombineRgn(result, a, b, 99), RGN_ERROR);
  EXPECT_TRUE(PtInRegion(a, 9, 9));
  EXPECT_FALSE(PtInRegion(a, 10, 9));
  EXPECT_EQ(OffsetRgn(a, 100, 0), SIMPLEREGION);
  EXPECT_TRUE(PtInRegion(a, 109, 0));
  EXPECT_FALSE(EqualRgn(a, b));

  // An empty polygon fails; one or two points make an empty region.
  const POINT points[] = {{0, 0}, {5, 5}};
  SetLastError(0);
  EXPECT_EQ(CreatePolygonRgn(points, 0, ALTERNATE), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(CreatePolygonRgn(points, 2, 3), nullptr);
  const HRGN line = CreatePolygonRgn(points, 2, WINDING);
  ASSERT_NE(line, nullptr);
  RECT box{};
  EXPECT_EQ(GetRgnBox(line, &box), NULLREGION);

  for (const HRGN region : {a, b, result, line}) {
    EXPECT_TRUE(DeleteObject(region));
  }
  EXPECT_FALSE(PtInRegion(a, 109, 0)) << "a deleted region contains nothing";
  EXPECT_EQ(CombineRgn(result, a, b, RGN_OR), RGN_ERROR);
}

}  // namespace
