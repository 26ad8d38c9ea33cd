#include <gtest/gtest.h>

#include "skin/OxaSkin.h"
#include "tests/views/MusicListViewFixture.h"
#include "views/list/MusicListRowMetrics.h"
#include "views/list/MusicListViewScrollBar.h"

namespace {

using musiclisttest::TMusicListViewTest;
using TPart = TMusicListViewScrollBar::TPart;

class TMusicListScrollBarTest : public TMusicListViewTest {
 protected:
  void SetUp() override
  {
    Store.ReadData(*OxaSkinStore("Icons"));
    List->SetBitmaps(&Store);
    List->SetBounds(0, 0, 400, 200);  // view 200, track 168, thumb 33 of 1000
    List->Panel()->SetBounds(0, 0, 400, 1000);
    List->SetClock([this] { return Now += 1000; });
    List->ScrollTo(0, false);
    Bar = List->ScrollBar();
  }
  void TearDown() override { List->SetBitmaps(nullptr); }
  TOxaBitmaps Store{nullptr};
  TMusicListViewScrollBar* Bar = nullptr;
  std::uint64_t Now = 0;
};

TEST_F(TMusicListScrollBarTest, PartsMeetAtTheirEdges)
{
  ASSERT_EQ(Bar->Thumb().Length, 33);
  const struct {
    int Y;
    TPart Part;
  } cases[] = {
      {-1, TPart::None},       {0, TPart::ArrowUp},     {15, TPart::ArrowUp},     {16, TPart::Thumb},
      {48, TPart::Thumb},      {49, TPart::TrackBelow}, {183, TPart::TrackBelow}, {184, TPart::ArrowDown},
      {199, TPart::ArrowDown}, {200, TPart::None},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Bar->PartAt(c.Y), c.Part) << c.Y;
  List->ScrollTo(400, false);  // thumb 67 .. 99 of the track
  const struct {
    int Y;
    TPart Part;
  } moved[] = {{16, TPart::TrackAbove},
               {82, TPart::TrackAbove},
               {83, TPart::Thumb},
               {115, TPart::Thumb},
               {116, TPart::TrackBelow}};
  for (const auto& c : moved)
    EXPECT_EQ(Bar->PartAt(c.Y), c.Part) << c.Y;
}

TEST_F(TMusicListScrollBarTest, ClicksScrollARowOrAPage)
{
  const struct {
    int Start, Y, Offset;
  } cases[] = {
      {0, 190, kMusicRowHeight},  // down arrow
      {100, 5, 100 - kMusicRowHeight},
      {0, 5, 0},        // clamped at the top
      {0, 150, 200},    // track below the thumb: a page
      {800, 20, 600},   // track above: a page back
      {790, 190, 800},  // clamped at the end
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Y);
    List->ScrollTo(c.Start, false);
    Bar->MouseDown(TMouseButton::mbLeft, 0, 8, c.Y);
    Bar->MouseUp(TMouseButton::mbLeft, 0, 8, c.Y);
    EXPECT_EQ(List->ScrollOffset(), c.Offset);
  }
}

TEST_F(TMusicListScrollBarTest, TheThumbDragsTheListAlong)
{
  Bar->MouseDown(TMouseButton::mbLeft, 0, 8, 20);  // 4 into the thumb
  const struct {
    int Y, Offset;
  } cases[] = {
      {20, 0}, {21, 5}, {20 + 67, 67 * 800 / 135}, {20 + 135, 800}, {20 + 136, 800}, {500, 800}, {-50, 0},
  };
  for (const auto& c : cases) {
    Bar->MouseMove(ssLeft, 8, c.Y);
    EXPECT_EQ(List->ScrollOffset(), c.Offset) << c.Y;
  }
  Bar->MouseMove(ssLeft, 8, 100);
  Bar->MouseUp(TMouseButton::mbLeft, 0, 8, 100);
  const int offset = List->ScrollOffset();
  Bar->MouseMove(0, 8, 150);
  EXPECT_EQ(List->ScrollOffset(), offset) << "released: moving no longer drags";
}

TEST_F(TMusicListScrollBarTest, ArrowsLightUnderThePointerAndWhileHeld)
{
  const auto upLit = Store.Find("SCROLLARROWUPRA");
  const auto upPlain = Store.Find("SCROLLARROWUPN");
  ASSERT_NE(upLit, nullptr);
  ASSERT_NE(upPlain, nullptr);
  // A pixel where the two looks differ.
  int px = -1, py = -1;
  for (int y = 0; y < 16 && px < 0; ++y)
    for (int x = 0; x < 16 && px < 0; ++x)
      if (upLit->GetPixel(x, y) != upPlain->GetPixel(x, y)) {
        px = x;
        py = y;
      }
  ASSERT_GE(px, 0);
  const auto shows = [&](TOxaBitmap* look) { return Bar->GetPixel(px, py) == look->GetPixel(px, py); };
  EXPECT_TRUE(shows(upPlain));
  Bar->MouseMove(0, 8, 8);
  EXPECT_EQ(Bar->Lit(), TPart::ArrowUp);
  EXPECT_TRUE(shows(upLit));
  Bar->MouseMove(0, 8, 100);
  EXPECT_EQ(Bar->Lit(), TPart::None);
  EXPECT_TRUE(shows(upPlain));
  Bar->MouseDown(TMouseButton::mbLeft, 0, 8, 8);
  Bar->MouseMove(ssLeft, 8, 100);
  EXPECT_TRUE(shows(upLit)) << "held";
  Bar->MouseUp(TMouseButton::mbLeft, 0, 8, 100);
  EXPECT_TRUE(shows(upPlain));
  Bar->MouseMove(0, 8, 190);
  EXPECT_EQ(Bar->Lit(), TPart::ArrowDown);
  Bar->MouseLeave();
  EXPECT_EQ(Bar->Lit(), TPart::None);
}

}  // namespace

namespace {

TEST_F(TMusicListViewTest, HeaderAndFooterStripsCoverTheRowsAboveAndBelowTheView)
{
  List->SetBounds(0, 0, 400, 300);
  List->Panel()->SetBounds(0, 0, 384, 1000);
  const struct {
    int Header, Footer;
  } cases[] = {{0, 0}, {40, 28}, {1, 0}, {0, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.Header) + "/" + std::to_string(c.Footer));
    List->SetHeaderHeight(c.Header);
    List->SetFooterHeight(c.Footer);
    const RECT header = List->Header()->BoundsRect();
    const RECT footer = List->Footer()->BoundsRect();
    EXPECT_EQ(header.top, 0);
    EXPECT_EQ(header.bottom, c.Header);
    EXPECT_EQ(header.right, 400);
    EXPECT_EQ(footer.top, 300 - c.Footer);
    EXPECT_EQ(footer.bottom, 300);
    EXPECT_EQ(List->Panel()->Top(), c.Header);
    // The strips lie above the panel: a point in the header finds the header.
    if (c.Header > 0) {
      POINT p{10, 0};
      EXPECT_EQ(List->FindChildAt(p), List->Header());
    }
  }
}

}  // namespace
