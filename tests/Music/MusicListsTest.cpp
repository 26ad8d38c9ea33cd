#include "Music/lists/MusicLists.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/windows/DisplayTesting.h"

namespace {

using K = TMusicListViewItemKinds;
constexpr int Row = kMusicRowHeight;
constexpr int View = 5;

TDbId Group(int group, const std::string& caption)
{
  TDbId id;
  id.ViewId = View;
  id.GroupId = group;
  id.Caption = caption;
  return id;
}

TDbId Item(int group, int file, const std::string& caption = "")
{
  TDbId id = Group(group, caption);
  id.FileId = file;
  return id;
}

// A list five rows tall over a library of groups 1..4 holding 3, 12, 0 and 2 tracks; group 9
// cannot be listed. Files are numbered group * 100 + position.
class TMusicListsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { UseHeadlessDisplay(); }
  void SetUp() override
  {
    List->SetBounds(0, 0, 300, 5 * Row);
    for (const auto& [group, count] : std::map<int, int>{{1, 3}, {2, 12}, {3, 0}, {4, 2}}) {
      Entries.Add(Group(group, "Group " + std::to_string(group)));
      Library[group].Clear();  // an empty group is listed, as empty
      for (int i = 1; i <= count; ++i) {
        Library[group].Add(Item(group, group * 100 + i, "Track " + std::to_string(group * 100 + i)));
      }
    }
  }
  TMusicListLoader Loader()
  {
    return TMusicListLoader(*List, [this](const TDbId& group, TDbIdList& items) {
      ++Listings;
      const auto found = Library.find(group.GroupId);
      if (found == Library.end()) {
        return false;
      }
      items = found->second;
      return true;
    });
  }
  TMusicListViewItem* Head(int index) { return Loader().GroupRows().at(std::size_t(index)); }
  int RowsPlaying() const
  {
    int count = 0;
    for (int i = 0; i < List->ItemCount(); ++i) {
      count += (List->Items(i)->State() & kRowPlaying) != 0 ? 1 : 0;
    }
    return count;
  }
  static int TopInPanel(const TOxaBitmap* row)
  {
    return row->Top() +
           (dynamic_cast<const TMusicListGroup*>(row->Parent()) != nullptr ? row->Parent()->Top() : 0);
  }

  TOwnedObject<TMusicListView> List{new TMusicListView(nullptr)};
  std::map<int, TDbIdList> Library;
  TDbIdList Entries;
  int Listings = 0;
};

TEST_F(TMusicListsTest, EachEntryBecomesAClosedGroupRow)
{
  Loader().Load(Entries, K::mlkFolder);
  const auto heads = Loader().GroupRows();
  ASSERT_EQ(heads.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    const TMusicListViewItem* head = heads[std::size_t(i)];
    EXPECT_EQ(head->Kind(), K::mlkFolder);
    EXPECT_EQ(head->Caption(), Entries.Get(i).Caption);
    EXPECT_TRUE(head->Payload().SameGroup(Entries.Get(i)));
    EXPECT_EQ(head->RecordIndex(), i);
    EXPECT_EQ(head->Top(), i * Row);
    EXPECT_EQ(head->Width(), 300 - TMusicListViewScrollBar::BarWidth);
    EXPECT_FALSE(TMusicListLoader::IsOpen(head));
  }
  EXPECT_EQ(List->Panel()->Height(), 4 * Row);
  EXPECT_EQ(List->ItemCount(), 4);
  EXPECT_EQ(Listings, 0) << "groups are listed only when opened";
  // Loading again replaces the rows.
  Loader().Load(Entries, K::mlkAlbum);
  EXPECT_EQ(List->ItemCount(), 4);
  EXPECT_EQ(Head(0)->Kind(), K::mlkAlbum);
}

TEST_F(TMusicListsTest, OpeningAGroupLoadsItsRowsOnceAndMovesTheRowsBelow)
{
  Loader().Load(Entries, K::mlkFolder);
  Loader().OpenGroup(Head(0), false);
  TMusicListGroup* group = TMusicListLoader::GroupOf(Head(0));
  ASSERT_NE(group, nullptr);
  ASSERT_EQ(group->ChildCount(), 3);
  for (int i = 0; i < 3; ++i) {
    auto* row = dynamic_cast<TMusicListViewItem*>(group->Children(i));
    ASSERT_NE(row, nullptr);
    EXPECT_TRUE(row->IsTrack());
    EXPECT_EQ(row->Number(), i + 1);
    EXPECT_EQ(row->Caption(), "Track " + std::to_string(101 + i));
    EXPECT_EQ(row->RecordIndex(), i);
    EXPECT_EQ(TopInPanel(row), (i + 1) * Row);
  }
  EXPECT_EQ(Head(1)->Top(), 4 * Row);
  EXPECT_EQ(List->Panel()->Height(), 7 * Row);
  EXPECT_TRUE(group->Visible());
  Loader().CloseGroup(Head(0), false);
  EXPECT_FALSE(group->Visible()) << "closed rows are neither drawn nor hit";
  EXPECT_EQ(Head(1)->Top(), Row);
  EXPECT_EQ(List->Panel()->Height(), 4 * Row);
  Loader().OpenGroup(Head(0), false);
  EXPECT_EQ(Listings, 1) << "the rows stay loaded while the group is closed";
  EXPECT_EQ(group->ChildCount(), 3);
}

TEST_F(TMusicListsTest, GroupsThatCannotBeListedOrAreEmpty)
{
  Entries.Add(Group(9, "Gone"));
  Loader().Load(Entries, K::mlkFolder);
  struct TCase {
    int Index;
    bool Loads;
    bool Opens;
    int Rows;
  };
  const TCase cases[] = {{2, true, true, 0}, {4, false, false, 0}};
  for (const TCase& c : cases) {
    EXPECT_EQ(Loader().LoadGroup(Head(c.Index)), c.Loads) << c.Index;
    Loader().OpenGroup(Head(c.Index), false);
    EXPECT_EQ(TMusicListLoader::IsOpen(Head(c.Index)), c.Opens) << c.Index;
    EXPECT_EQ(TMusicListLoader::GroupOf(Head(c.Index))->ChildCount(), c.Rows) << c.Index;
  }
  EXPECT_EQ(List->Panel()->Height(), 5 * Row) << "an empty open group takes no room";
  // A track row is no group row.
  Loader().OpenGroup(Head(0), false);
  auto* track = Loader().FindRow(Item(1, 101));
  ASSERT_NE(track, nullptr);
  EXPECT_EQ(TMusicListLoader::GroupOf(track), nullptr);
  EXPECT_FALSE(Loader().LoadGroup(track));
  EXPECT_FALSE(Loader().LoadGroup(nullptr));
}

TEST_F(TMusicListsTest, FindRowByRecord)
{
  Loader().Load(Entries, K::mlkFolder);
  Loader().OpenGroup(Head(0), false);
  TDbId otherView = Item(1, 101);
  otherView.ViewId = View + 1;
  struct TCase {
    const char* Name;
    TDbId Record;
    const char* Caption;  // null: no row
  };
  const TCase cases[] = {
      {"group row", Group(4, ""), "Group 4"},
      {"track of an open group", Item(1, 103), "Track 103"},
      {"first track", Item(1, 101), "Track 101"},
      {"file not in the group", Item(1, 104), nullptr},
      {"track of an unloaded group", Item(2, 201), nullptr},
      {"group not listed", Group(7, ""), nullptr},
      {"another view", otherView, nullptr},
      {"the view itself", TDbId{View, -1, -1, "", "", 0}, nullptr},
      {"nothing", TDbId{}, nullptr},
  };
  for (const TCase& c : cases) {
    const TMusicListViewItem* row = Loader().FindRow(c.Record);
    if (c.Caption == nullptr) {
      EXPECT_EQ(row, nullptr) << c.Name;
    } else {
      ASSERT_NE(row, nullptr) << c.Name;
      EXPECT_EQ(row->Caption(), c.Caption) << c.Name;
    }
  }
}

TEST_F(TMusicListsTest, ThePlayingMarkMovesWithTheCurrentItem)
{
  Loader().Load(Entries, K::mlkFolder);
  Loader().OpenGroup(Head(0), false);
  Loader().OpenGroup(Head(3), false);
  TMusicListViewItem* first = Loader().MarkPlaying(Item(1, 102));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->Caption(), "Track 102");
  EXPECT_NE(first->State() & kRowPlaying, 0);
  EXPECT_EQ(List->ActiveRow(), first);
  EXPECT_NE(Head(0)->State() & kRowActive, 0) << "the current group";
  TMusicListViewItem* second = Loader().MarkPlaying(Item(4, 402));
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(first->State() & (kRowPlaying | kRowActive), 0);
  EXPECT_EQ(Head(0)->State() & kRowActive, 0);
  EXPECT_NE(Head(3)->State() & kRowActive, 0);
  EXPECT_EQ(RowsPlaying(), 1);
  // An item without a loaded row, and no item, leave nothing marked.
  for (const TDbId& item : {Item(2, 201), TDbId{}, Group(1, "")}) {
    Loader().MarkPlaying(Item(4, 402));
    EXPECT_EQ(Loader().MarkPlaying(item), nullptr);
    EXPECT_EQ(RowsPlaying(), 0);
    EXPECT_EQ(List->ActiveRow(), nullptr);
    EXPECT_EQ(Head(3)->State() & kRowActive, 0);
  }
}

TEST_F(TMusicListsTest, ShowingAnItemOpensItsGroupAndScrollsTheLeastDistance)
{
  // The view is five rows tall. Group 2 (row 1) opens to twelve rows at 2 .. 13.
  struct TCase {
    int File;
    int Offset;  // after showing it, from the top
  };
  const TCase cases[] = {
      {203, 0},        // row 4: its bottom is the view's bottom
      {204, 1 * Row},  // row 5: one below the view
      {212, 9 * Row},  // row 13, the last track
      {201, 2 * Row},  // row 2, above the view: its top at the view's top
  };
  Loader().Load(Entries, K::mlkFolder);
  for (const TCase& c : cases) {
    TMusicListViewItem* row = Loader().ShowItem(Item(2, c.File), true, false);
    ASSERT_NE(row, nullptr) << c.File;
    EXPECT_NE(row->State() & kRowPlaying, 0) << c.File;
    EXPECT_EQ(List->ScrollOffset(), c.Offset) << c.File;
  }
  EXPECT_TRUE(TMusicListLoader::IsOpen(Head(1)));
  EXPECT_EQ(Listings, 1);
  // Without reveal the group opens and the mark is set, the list stays where it is.
  Loader().ShowItem(Item(1, 103), false, false);
  EXPECT_TRUE(TMusicListLoader::IsOpen(Head(0)));
  EXPECT_EQ(List->ScrollOffset(), 2 * Row);
  EXPECT_EQ(RowsPlaying(), 1);
}

TEST_F(TMusicListsTest, AReloadKeepsOpenGroupsScrollAndMark)
{
  Loader().Load(Entries, K::mlkFolder);
  Loader().OpenGroup(Head(1), false);
  Loader().ShowItem(Item(2, 210), true, false);
  const int offset = List->ScrollOffset();
  ASSERT_GT(offset, 0);
  // Track 205 is hidden: the group is listed again without it.
  Library[2] = TDbIdList{};
  for (int i = 1; i <= 12; ++i) {
    if (i != 5) {
      Library[2].Add(Item(2, 200 + i, "Track " + std::to_string(200 + i)));
    }
  }
  Loader().Reload(Entries, K::mlkFolder, Item(2, 210));
  EXPECT_TRUE(TMusicListLoader::IsOpen(Head(1)));
  EXPECT_FALSE(TMusicListLoader::IsOpen(Head(0)));
  EXPECT_EQ(TMusicListLoader::GroupOf(Head(1))->ChildCount(), 11);
  EXPECT_EQ(Loader().FindRow(Item(2, 205)), nullptr);
  ASSERT_NE(Loader().FindRow(Item(2, 206)), nullptr);
  EXPECT_EQ(Loader().FindRow(Item(2, 206))->Number(), 5) << "numbered afresh";
  EXPECT_EQ(List->ScrollOffset(), offset);
  EXPECT_NE(Loader().FindRow(Item(2, 210))->State() & kRowPlaying, 0);
  EXPECT_EQ(RowsPlaying(), 1);
  // A group that is gone takes its rows with it; the offset is held within the new range.
  TDbIdList fewer;
  fewer.Add(Entries.Get(0));
  fewer.Add(Entries.Get(2));
  Loader().Reload(fewer, K::mlkFolder, Item(2, 210));
  EXPECT_EQ(Loader().GroupRows().size(), 2u);
  EXPECT_EQ(List->ItemCount(), 2);
  EXPECT_EQ(List->ScrollOffset(), 0);
  EXPECT_EQ(RowsPlaying(), 0);
}

TEST_F(TMusicListsTest, RowsFollowTheListsWidth)
{
  Loader().Load(Entries, K::mlkFolder);
  Loader().OpenGroup(Head(0), false);
  for (const int width : {TMusicListViewScrollBar::BarWidth - 1, TMusicListViewScrollBar::BarWidth, 500}) {
    List->SetBounds(0, 0, width, 5 * Row);
    Loader().Fit();
    const int expected = std::max(0, width - TMusicListViewScrollBar::BarWidth);
    EXPECT_EQ(List->Panel()->Width(), expected) << width;
    EXPECT_EQ(Head(3)->Width(), expected) << width;
    EXPECT_EQ(Loader().FindRow(Item(1, 102))->Width(), expected) << width;
  }
}

}  // namespace

namespace {

TEST_F(TMusicListsTest, TheCurrentGroupSurvivesTheRowThatPlaysInIt)
{
  TMusicListLoader loader = Loader();
  loader.Load(Entries, K::mlkFolder);
  // A group made current (a jump, a next group), then its first track played: the group stays
  // the current one.
  loader.SetActiveGroup(Head(1));
  EXPECT_EQ(loader.ActiveGroupRow(), Head(1));
  loader.ShowItem(Item(2, 201), false, false);
  EXPECT_EQ(loader.ActiveGroupRow(), Head(1));
  EXPECT_EQ(List->ActiveRow(), loader.FindRow(Item(2, 201)));
  // Only marked: the playing row moves, the current group and row stay where they were.
  loader.OpenGroup(Head(0), false);
  loader.MarkPlaying(Item(1, 102), false);
  EXPECT_EQ(RowsPlaying(), 1);
  EXPECT_NE(loader.FindRow(Item(1, 102))->State() & kRowPlaying, 0);
  EXPECT_EQ(loader.ActiveGroupRow(), Head(1));
  EXPECT_EQ(List->ActiveRow(), loader.FindRow(Item(2, 201)));
  // No current group at all: the playing mark stays.
  loader.SetActiveGroup(nullptr);
  EXPECT_EQ(loader.ActiveGroupRow(), nullptr);
  EXPECT_EQ(List->ActiveRow(), nullptr);
  EXPECT_EQ(RowsPlaying(), 1);
}

TEST_F(TMusicListsTest, TheFirstVisibleRowIsTheFirstStartingInTheView)
{
  TMusicListLoader loader = Loader();
  loader.Load(Entries, K::mlkFolder);
  loader.OpenGroup(Head(1), false);
  struct TCase {
    int Offset;
    TDbId Expected;
  };
  // Group 1's row, then group 2's row with its twelve tracks below it.
  const TCase cases[] = {
      {0, Group(1, "")},           {1, Group(2, "")},  // the first row is cut: the next one
      {Row, Group(2, "")},         {2 * Row, Item(2, 201)},
      {2 * Row + 1, Item(2, 202)}, {11 * Row, Item(2, 210)},  // the last offset there is
  };
  for (const TCase& c : cases) {
    List->ScrollTo(c.Offset, false);
    ASSERT_EQ(List->ScrollOffset(), c.Offset);
    const TMusicListViewItem* row = loader.FirstVisibleRow();
    ASSERT_NE(row, nullptr) << c.Offset;
    EXPECT_EQ(row, loader.FindRow(c.Expected)) << c.Offset << " " << row->Caption();
    EXPECT_EQ(TMusicListLoader::RowTop(row) >= c.Offset, true);
  }
}

}  // namespace

namespace {

TEST(TMusicOpenedGroup, AGroupOpenedNearTheBottomScrollsIntoView)
{
  constexpr int R = kMusicRowHeight;
  constexpr int View = 8 * R;
  const struct {
    const char* Name;
    int Offset, HeadTop, Rows;
    int Expected;
  } cases[] = {
      {"everything shows already", 0, 2 * R, 4 * R, 0},
      {"its end just at the bottom", 0, 3 * R, 4 * R, 0},
      {"one row past the bottom", 0, 3 * R, 5 * R, R},
      {"the last group row of the view", 0, 7 * R, 3 * R, 3 * R},
      {"taller than the view: the group row on top", 0, 7 * R, 20 * R, 7 * R},
      {"scrolled already, opening on top", 5 * R, 5 * R, 20 * R, 5 * R},
      {"scrolled, its end shows", 5 * R, 6 * R, 2 * R, 5 * R},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(MusicOpenedGroupOffset(c.Offset, View, c.HeadTop, c.Rows), c.Expected);
  }
}

}  // namespace
