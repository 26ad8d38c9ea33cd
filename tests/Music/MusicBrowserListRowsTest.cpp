// The browser's use of the list rows: group clicks, where drops beside rows land, selections and
// reloads, on a headless list.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "Music/control/MusicBrowserRules.h"
#include "Music/lists/MusicLists.h"
#include "platform/windows/DisplayTesting.h"

namespace {

TDbId Id(std::int32_t view, std::int32_t group, std::int32_t file, std::string caption = "")
{
  TDbId id;
  id.ViewId = view;
  id.GroupId = group;
  id.FileId = file;
  id.Caption = std::move(caption);
  return id;
}

class TMusicBrowserListRowsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { UseHeadlessDisplay(); }

  void SetUp() override
  {
    List->SetBounds(0, 0, 300, 400);
    List->Panel()->SetBounds(0, 0, 300, 0);
    Tracks[1] = {Id(2, 1, 11, "One"), Id(2, 1, 12, "Two"), Id(2, 1, 13, "Three")};
    Tracks[2] = {Id(2, 2, 21, "Four")};
    Tracks[3] = {};
    Loader().Load(Groups(3), TMusicListViewItemKinds::mlkAlbum);
  }

  TDbIdList Groups(int count)
  {
    static const char* const names[] = {"Blue", "Green", "Empty"};
    TDbIdList groups;
    for (int i = 0; i < count; ++i) {
      groups.Add(Id(2, i + 1, -1, names[i]));
    }
    return groups;
  }

  TMusicListLoader Loader()
  {
    return TMusicListLoader(*List, [this](const TDbId& group, TDbIdList& items) {
      ++Listings;
      items.Clear();
      const auto it = Tracks.find(group.GroupId);
      if (it == Tracks.end()) {
        return false;
      }
      for (const TDbId& id : it->second) {
        items.Add(id);
      }
      return true;
    });
  }

  // What a click on a group row does in the browser.
  void Click(TMusicListViewItem* head)
  {
    TMusicListLoader loader = Loader();
    TMusicListLoader::IsOpen(head) ? loader.CloseGroup(head, false) : loader.OpenGroup(head, false);
  }

  std::vector<TMusicListViewItem*> TrackRows(TMusicListViewItem* head)
  {
    std::vector<TMusicListViewItem*> rows;
    const TMusicListGroup* group = TMusicListLoader::GroupOf(head);
    for (int i = 0; group != nullptr && i < group->ChildCount(); ++i) {
      rows.push_back(dynamic_cast<TMusicListViewItem*>(group->Children(i)));
    }
    return rows;
  }

  // Where rows dropped beside row land, as the browser works it out.
  static TDbId DropTarget(const TDisplayListViewItem* row, bool after)
  {
    const TMusicListViewItem* previous = after ? nullptr : TMusicListLoader::PreviousRow(row);
    const TDbId previousRecord = previous != nullptr ? previous->Payload() : TDbId{};
    return DropTargetOf(row->Payload(), after, previous != nullptr ? &previousRecord : nullptr);
  }

  TOwnedObject<TMusicListView> List{new TMusicListView(nullptr)};
  std::map<std::int32_t, std::vector<TDbId>> Tracks;
  int Listings = 0;
};

TEST_F(TMusicBrowserListRowsTest, AClickOnAnOpenGroupClosesItAndASecondOpensIt)
{
  TMusicListViewItem* blue = Loader().GroupRows()[0];
  EXPECT_FALSE(TMusicListLoader::IsOpen(blue));
  Click(blue);
  ASSERT_TRUE(TMusicListLoader::IsOpen(blue));
  const auto tracks = TrackRows(blue);
  ASSERT_EQ(tracks.size(), 3U);
  EXPECT_EQ(tracks[0]->Payload().FileId, 11);
  EXPECT_EQ(tracks[2]->Number(), 3);
  EXPECT_EQ(tracks[0]->Caption(), "One");
  Click(blue);
  EXPECT_FALSE(TMusicListLoader::IsOpen(blue));
  // Opened again, the rows are neither doubled nor listed again.
  Click(blue);
  EXPECT_TRUE(TMusicListLoader::IsOpen(blue));
  EXPECT_EQ(TrackRows(blue).size(), 3U);
  EXPECT_EQ(Listings, 1);
  // A track row's record is the item to play.
  EXPECT_EQ(TrackRows(blue)[1]->Payload().FileId, 12);
}

TEST_F(TMusicBrowserListRowsTest, RowsOfOneGroupAreSelectedTogether)
{
  TMusicListViewItem* blue = Loader().GroupRows()[0];
  Click(blue);
  const auto tracks = TrackRows(blue);
  List->Select(tracks[0]);
  List->Select(tracks[2]);
  EXPECT_EQ(List->SelectedCount(), 2);
  const TDbIdList records = List->SelectedRecords();
  ASSERT_EQ(records.Count(), 2);
  EXPECT_EQ(records.Get(0).FileId, 11);
  EXPECT_EQ(records.Get(1).FileId, 13);
}

TEST_F(TMusicBrowserListRowsTest, GroupsWithoutTracksShowNoRows)
{
  const auto groups = Loader().GroupRows();
  Tracks.erase(2);
  Click(groups[1]);  // cannot be listed
  Click(groups[2]);  // listed, but empty
  EXPECT_TRUE(TrackRows(groups[1]).empty());
  EXPECT_TRUE(TrackRows(groups[2]).empty());
  EXPECT_EQ(Loader().FindRow(Id(2, 2, 21)), nullptr);
}

TEST_F(TMusicBrowserListRowsTest, DropsBesideRowsLandAfterTheRowAboveWithinItsGroup)
{
  const auto groups = Loader().GroupRows();
  Click(groups[0]);
  Click(groups[1]);
  const auto blue = TrackRows(groups[0]);
  const auto green = TrackRows(groups[1]);
  const struct {
    const char* Name;
    const TDisplayListViewItem* Row;
    bool After;
    TDbId Expected;
  } cases[] = {
      {"after a track", blue[1], true, Id(2, 1, 12)},
      {"before the second track", blue[1], false, Id(2, 1, 11)},
      {"before the last track", blue[2], false, Id(2, 1, 12)},
      {"before a group's first track", blue[0], false, BeforeFirst(Id(2, 1, -1))},
      {"before the only track", green[0], false, BeforeFirst(Id(2, 2, -1))},
      {"after a group row", groups[1], true, Id(2, 2, -1)},
      // The node of the open group above is no row: the group row before it is.
      {"before the group under an open group", groups[1], false, Id(2, 1, -1)},
      {"before the group under a closed group", groups[2], false, Id(2, 2, -1)},
      {"before the first group", groups[0], false, BeforeFirst(Id(2, -1, -1))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const TDbId where = DropTarget(c.Row, c.After);
    EXPECT_EQ(where.ViewId, c.Expected.ViewId);
    EXPECT_EQ(where.GroupId, c.Expected.GroupId);
    EXPECT_EQ(where.FileId, c.Expected.FileId);
    EXPECT_EQ(IsBeforeFirst(where), IsBeforeFirst(c.Expected));
  }
  EXPECT_EQ(TMusicListLoader::PreviousRow(nullptr), nullptr);
}

TEST_F(TMusicBrowserListRowsTest, ReloadingWithFewerGroupsDropsTheSelection)
{
  TMusicListViewItem* blue = Loader().GroupRows()[0];
  Click(blue);
  List->Select(TrackRows(blue)[1]);
  TDbIdList fewer;
  fewer.Add(Id(2, 2, -1, "Green"));
  Loader().Reload(fewer, TMusicListViewItemKinds::mlkAlbum, TDbId{});
  ASSERT_EQ(Loader().GroupRows().size(), 1U);
  EXPECT_EQ(List->SelectedCount(), 0);
  EXPECT_EQ(Loader().GroupRows()[0]->Kind(), TMusicListViewItemKinds::mlkAlbum);
  EXPECT_EQ(Loader().GroupRows()[0]->Payload().GroupId, 2);
}

}  // namespace
