#include <gtest/gtest.h>

#include <string>

#include "tests/views/MusicListViewFixture.h"
#include "views/list/MusicListRowMetrics.h"
#include "views/list/MusicListViewItem.h"

namespace {

using musiclisttest::K;
using musiclisttest::SolidStore;
using musiclisttest::TMusicListViewTest;

// How many pixels of the rectangle have the colour.
int Count(TOxaBitmap& node, RECT r, TOxaColor color)
{
  int n = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x)
      n += node.GetPixel(x, y) == color ? 1 : 0;
  return n;
}

TEST_F(TMusicListViewTest, CaptionsAndTrackNumbersTakeTheColoursOfTheirState)
{
  const auto store = SolidStore();
  List->SetBitmaps(store.get());
  TOxaFont font;
  TOxaGdiFont gdi;
  gdi.Height = -20;
  font.SetGdiFont(gdi);
  List->SetFont(&font);
  TOxaBitmap* g = Group();
  const RECT caption{kMusicCaptionLeft, 0, 400 - kMusicFlapWidth, kMusicIconSize};
  const RECT icon{kMusicRowMargin, 0, kMusicRowMargin + kMusicIconSize, kMusicIconSize};
  const struct {
    K Kind;
    int State;
    TOxaColor Text, Back, NumberText, NumberBack;
  } cases[] = {
      // track 1 "1522535", track 13 "12414W5", album 1 "1222535", album 20 "B444BWB"
      {K::mlkTrack, 1, 0xA0A0A0, 0x606060, 0x969696, 0x606060},
      {K::mlkTrack, 13, 0xFFFFFF, 0x606060, 0x464646, 0xF0F0F0},
      {K::mlkAlbum, 1, 0xA0A0A0, 0x606060, 0, 0},
      {K::mlkAlbum, 20, 0xFFFFFF, 0x000000, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.State);
    TMusicListViewItem* row = Row(g, 0, c.Kind);
    row->SetBounds(0, 0, 400, kMusicRowHeight);
    row->SetNumber(7);
    row->SetState(c.State);
    EXPECT_EQ(Count(*row, caption, c.Text), 0) << "no caption, no text";
    row->SetCaption("Wide Caption");
    EXPECT_GT(Count(*row, caption, c.Text), 20);
    EXPECT_GT(Count(*row, caption, c.Back), 1000);
    if (c.Kind == K::mlkTrack) {
      // "007" sits in the middle of the icon, on its own background.
      EXPECT_GT(Count(*row, icon, c.NumberText), 10);
      EXPECT_GT(Count(*row, icon, c.NumberBack), 10);
      EXPECT_EQ(Count(*row, {icon.left, 0, icon.left + 8, 8}, c.NumberText), 0)
          << "centred, clear of the corner";
    } else {
      EXPECT_EQ(Count(*row, icon, 0xA0A0A0), 0) << "no number on other kinds";
    }
    FreeObject(row);
  }
  List->SetFont(nullptr);
  List->SetBitmaps(nullptr);
}

TEST_F(TMusicListViewTest, ALongCaptionStaysOutOfTheOuterFlap)
{
  const auto store = SolidStore();
  List->SetBitmaps(store.get());
  TMusicListViewItem* row = Row(Group(), 0, K::mlkAlbum);
  row->SetBounds(0, 0, 300, kMusicRowHeight);
  const TOxaColor flap = row->GetPixel(300 - 2, 2);
  row->SetCaption(std::string(400, 'W'));
  EXPECT_EQ(row->ImageWidth(), 300) << "the text never grows the surface";
  EXPECT_EQ(Count(*row, {300 - kMusicFlapWidth, 0, 300, kMusicIconSize}, 0xA0A0A0), 0);
  EXPECT_EQ(row->GetPixel(300 - 2, 2), flap);
  List->SetBitmaps(nullptr);
}

}  // namespace

namespace {

TEST_F(TMusicListViewTest, OnlyRowsWithinAViewOfTheViewKeepSurfaces)
{
  const auto store = musiclisttest::SolidStore();
  List->SetBitmaps(store.get());
  List->SetBounds(0, 0, 400, 200);
  List->Panel()->SetBounds(0, 0, 384, 100 * kMusicRowHeight);
  TOxaBitmap* g = Group();
  g->SetParent(List->Panel());
  g->SetBounds(0, 0, 384, 100 * kMusicRowHeight);
  std::vector<TMusicListViewItem*> rows;
  for (int i = 0; i < 100; ++i) {
    rows.push_back(Row(g, i, K::mlkAlbum));
    rows.back()->SetBounds(0, i * kMusicRowHeight, 384, kMusicRowHeight);
  }
  // Selected while far away: drawn selected when it comes into reach.
  List->Select(rows[20]);
  EXPECT_FALSE(rows[20]->Composed());
  const struct {
    int Offset, First, Last;
  } cases[] = {
      {0, 0, 7},            // reach -200 .. 400: row 7 starts at 357, row 8 at 408
      {1000, 15, 27},       // reach 800 .. 1400: row 14 ends at 765, row 27 starts at 1377
      {765 + 200, 15, 26},  // row 14 ends where the reach begins; row 27 starts at its end
      {0, 0, 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Offset);
    List->ScrollTo(c.Offset, false);
    for (int i = 0; i < 100; ++i) {
      const bool inReach = i >= c.First && i <= c.Last;
      EXPECT_EQ(rows[std::size_t(i)]->Composed(), inReach) << i;
      EXPECT_EQ(rows[std::size_t(i)]->ImageSize() != 0, inReach) << i;
    }
  }
  List->ScrollTo(1000, false);
  const TOxaColor selectedIcon = store->Find("ALB-212")->GetPixel(1, 1);  // state 3 "1221235"
  EXPECT_EQ(rows[20]->GetPixel(kMusicRowMargin + 10, 10), selectedIcon);
  List->SetBitmaps(nullptr);
}

// A scroll hands the surfaces of the rows leaving reach to the rows coming into it: each shows
// its own state and size, never what the row before it drew, and a row of another height gets a
// surface of its own.
TEST_F(TMusicListViewTest, RowsComingIntoReachDrawThemselvesOnTheSurfacesOfThoseLeavingIt)
{
  const auto store = musiclisttest::SolidStore();
  List->SetBitmaps(store.get());
  List->SetBounds(0, 0, 400, 200);
  List->Panel()->SetBounds(0, 0, 384, 101 * kMusicRowHeight);
  TOxaBitmap* g = Group();
  g->SetParent(List->Panel());
  g->SetBounds(0, 0, 384, 101 * kMusicRowHeight);
  std::vector<TMusicListViewItem*> rows;
  for (int i = 0; i < 100; ++i) {
    rows.push_back(Row(g, i, K::mlkAlbum));
    const int height = i == 20 ? 2 * kMusicRowHeight : kMusicRowHeight;
    rows.back()->SetBounds(0, i * kMusicRowHeight + (i > 20 ? kMusicRowHeight : 0), 384, height);
  }
  List->ScrollTo(0, false);
  for (int i = 0; i <= 7; ++i)
    List->Select(rows[std::size_t(i)]);
  const TOxaColor selectedIcon = store->Find("ALB-212")->GetPixel(1, 1);
  ASSERT_EQ(rows[3]->GetPixel(kMusicRowMargin + 10, 10), selectedIcon);
  List->ScrollTo(1000, false);
  for (int i = 0; i < 100; ++i) {
    SCOPED_TRACE(i);
    const TMusicListViewItem& row = *rows[std::size_t(i)];
    if (!row.Composed()) {
      EXPECT_EQ(row.ImageSize(), 0U);
      continue;
    }
    EXPECT_GE(i, 15);
    EXPECT_EQ(row.ImageHeight(), row.Height());
    EXPECT_NE(rows[std::size_t(i)]->GetPixel(kMusicRowMargin + 10, 10), selectedIcon);
  }
  EXPECT_TRUE(rows[20]->Composed());
  EXPECT_EQ(rows[20]->ImageHeight(), 2 * kMusicRowHeight);
  // Back: the selected rows draw selected again on what the others leave.
  List->ScrollTo(0, false);
  for (int i = 0; i <= 7; ++i)
    EXPECT_EQ(rows[std::size_t(i)]->GetPixel(kMusicRowMargin + 10, 10), selectedIcon) << i;
  List->SetBitmaps(nullptr);
}

}  // namespace

namespace {

// Ten rows in a list taller than the group, and 2,000 in one far shorter: every frame, each row
// that shows stands where the slide puts it, whether or not the frame moved the rows out of
// reach, and at the end every row is back in its place.
TEST_F(TMusicListViewTest, OpeningAndClosingAGroupSlidesItsRowsAndMovesWhatFollows)
{
  for (const int count : {10, 2000}) {
    SCOPED_TRACE(count);
    List->SetBounds(0, 0, 400, 200);
    TOxaBitmap* panel = List->Panel();
    panel->SetBounds(0, 0, 384, 2 * kMusicRowHeight);
    TOxaBitmap* head = Group();  // the group's own row and the row after the group
    head->SetParent(panel);
    head->SetBounds(0, 0, 384, kMusicRowHeight);
    TOxaBitmap* group = Group();
    group->SetParent(panel);
    group->SetBounds(0, kMusicRowHeight, 384, 0);
    TOxaBitmap* after = Group();
    after->SetParent(panel);
    after->SetBounds(0, kMusicRowHeight, 384, kMusicRowHeight);
    std::vector<TMusicListViewItem*> rows;
    for (int i = 0; i < count; ++i) {
      rows.push_back(Row(group, i));
      rows.back()->SetBounds(0, i * kMusicRowHeight, 384, kMusicRowHeight);
    }
    const int full = count * kMusicRowHeight;
    const int view = List->Height() - List->HeaderHeight() - List->FooterHeight();
    struct TStep {
      int Height, AfterTop, Panel, Shown, Misplaced;
    };
    std::vector<TStep> steps;
    std::uint64_t now = 0;
    List->SetClock([&] {
      TStep step{group->Height(), after->Top(), panel->Height(), 0, 0};
      for (int i = 0; i < count; ++i) {
        const TMusicListViewItem* row = rows[std::size_t(i)];
        const int inPanel = group->Top() + row->Top();
        const bool shows = row->Top() + row->Height() > 0 && row->Top() < group->Height() &&
                           inPanel + row->Height() > List->ScrollOffset() &&
                           inPanel < List->ScrollOffset() + view;
        if (shows) {
          ++step.Shown;
          step.Misplaced += row->Top() != i * kMusicRowHeight - (full - group->Height()) ? 1 : 0;
        }
      }
      steps.push_back(step);
      return now += 20;
    });
    const struct {
      bool Open;
      int Offset, EndHeight, EndOffset;
    } cases[] = {{true, kMusicRowHeight, full, kMusicRowHeight}, {false, 0, 0, 0}};
    for (const auto& c : cases) {
      SCOPED_TRACE(c.Open);
      steps.clear();
      List->AnimateGroup(group, c.Open, c.Offset);
      ASSERT_GT(steps.size(), 10u) << "animated";
      int previous = c.Open ? -1 : full + 1;
      int shown = 0;
      for (const TStep& s : steps) {
        EXPECT_EQ(s.AfterTop, kMusicRowHeight + s.Height);
        EXPECT_EQ(s.Misplaced, 0) << "the rows slide out from under the top edge";
        EXPECT_EQ(s.Panel, 2 * kMusicRowHeight + s.Height);
        EXPECT_TRUE(c.Open ? s.Height >= previous : s.Height <= previous);
        previous = s.Height;
        shown = std::max(shown, s.Shown);
      }
      EXPECT_GT(shown, 2) << "rows were seen on the way";
      EXPECT_EQ(group->Height(), c.EndHeight);
      EXPECT_EQ(after->Top(), kMusicRowHeight + c.EndHeight);
      EXPECT_EQ(panel->Height(), 2 * kMusicRowHeight + c.EndHeight);
      EXPECT_EQ(List->ScrollOffset(), c.EndOffset);
      for (int i = 0; i < count; ++i)
        ASSERT_EQ(rows[std::size_t(i)]->Top(), i * kMusicRowHeight) << i;
    }
    List->SetClock([t = std::uint64_t(0)]() mutable { return t += 1000; });
    for (TOxaBitmap* bitmap : {head, group, after})
      bitmap->SetParent(nullptr);
  }
}

}  // namespace

namespace {

TEST_F(TMusicListViewTest, TablesFollowImagesReplacedOrDroppedAnywhereInTheStoreChain)
{
  TOwnedObject<TOxaBitmaps> parent(musiclisttest::SolidStore().release());
  TOxaBitmaps own(nullptr);
  own.SetParent(parent.get());
  List->SetBitmaps(&own);
  TMusicListViewItem* row = Row(Group(), 0, K::mlkAlbum);
  row->SetBounds(0, 0, 300, kMusicRowHeight);
  const int iconX = kMusicRowMargin + 10;
  ASSERT_EQ(List->Icon(K::mlkAlbum, 1), parent->Find("ALB-225"));
  // Replaced under the same name in the parent: same count everywhere, new image.
  TOwnedObject<TOxaBitmap> red(new TOxaBitmap(nullptr));
  red->ChangeImageSize(kMusicIconSize, kMusicIconSize, 6);
  red->FillRect({0, 0, kMusicIconSize, kMusicIconSize}, 0x0000FF);
  parent->Add("ALB-225", *red);
  EXPECT_EQ(List->Icon(K::mlkAlbum, 1), parent->Find("ALB-225"));
  EXPECT_EQ(row->GetPixel(iconX, 10), 0x0000FFu);
  // Shadowed by the list's own store.
  red->FillRect({0, 0, kMusicIconSize, kMusicIconSize}, 0x00FF00);
  own.Add("ALB-225", *red);
  EXPECT_EQ(row->GetPixel(iconX, 10), 0x00FF00u);
  // The parent freed: its images leave the tables before anything draws from them.
  parent.reset();
  EXPECT_EQ(List->Icon(K::mlkAlbum, 1), own.Find("ALB-225"));
  EXPECT_EQ(List->Flap("12"), nullptr);
  row->SetState(kRowSelected);
  List->SetBitmaps(nullptr);
}

}  // namespace
