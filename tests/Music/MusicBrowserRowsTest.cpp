#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "Music/MusicBrowserRows.h"
#include "platform/display/DisplayTesting.h"

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

class TMusicBrowserRowsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { UseHeadlessDisplay(); }

  void SetUp() override
  {
    List->SetBounds(0, 0, 300, 400);
    List->Panel()->SetBounds(0, 0, 300, 0);
    TDbIdList groups;
    groups.Add(Id(2, 1, -1, "Blue"));
    groups.Add(Id(2, 2, -1, "Green"));
    groups.Add(Id(2, 3, -1, "Empty"));
    LoadGroupRows(*List, groups, TMusicListViewItemKinds::mlkAlbum);
    Tracks[1] = {Id(2, 1, 11, "One"), Id(2, 1, 12, "Two"), Id(2, 1, 13, "Three")};
    Tracks[2] = {Id(2, 2, 21, "Four")};
  }

  TBrowserListing Listing()
  {
    return [this](const TDbId& group, TDbIdList& items) {
      ++Listings;
      items.Clear();
      const auto it = Tracks.find(group.GroupId);
      if (group.GroupId == 3) {
        return true;
      }
      if (it == Tracks.end()) {
        return false;
      }
      for (const TDbId& id : it->second) {
        items.Add(id);
      }
      return true;
    };
  }

  std::vector<std::int32_t> Files(const std::vector<TDisplayListViewItem*>& rows)
  {
    std::vector<std::int32_t> files;
    for (const TDisplayListViewItem* row : rows) {
      files.push_back(row->Payload().FileId);
    }
    return files;
  }

  TOwnedObject<TMusicListView> List{new TMusicListView(nullptr)};
  std::map<std::int32_t, std::vector<TDbId>> Tracks;
  int Listings = 0;
};

TEST_F(TMusicBrowserRowsTest, AClickOnAnOpenGroupClosesItAndASecondOpensIt)
{
  TDisplayListViewItem* blue = GroupRows(*List)[0];
  EXPECT_FALSE(GroupRowOpen(*blue));
  ASSERT_TRUE(OpenGroupRow(*List, *blue, Listing()));
  EXPECT_EQ(Files(TrackRows(*blue)), (std::vector<std::int32_t>{11, 12, 13}));
  EXPECT_EQ(List->ItemCount(), 6);
  CloseGroupRow(*List, *blue);
  EXPECT_FALSE(GroupRowOpen(*blue));
  EXPECT_EQ(List->ItemCount(), 3);
  ASSERT_TRUE(OpenGroupRow(*List, *blue, Listing()));
  EXPECT_EQ(TrackRows(*blue).size(), 3U);
  // Opened again, the rows are not doubled.
  ASSERT_TRUE(OpenGroupRow(*List, *blue, Listing()));
  EXPECT_EQ(TrackRows(*blue).size(), 3U);
  EXPECT_EQ(Listings, 3);
  const auto numbers = TrackRows(*blue);
  EXPECT_EQ(static_cast<TMusicListViewItem*>(numbers[2])->Number(), 3);
  EXPECT_EQ(numbers[0]->Caption(), "One");
  // Rows of one group are selected together.
  List->Select(numbers[0]);
  List->Select(numbers[2]);
  EXPECT_EQ(List->SelectedCount(), 2);
}

TEST_F(TMusicBrowserRowsTest, GroupsWithoutTracksStayClosed)
{
  const auto groups = GroupRows(*List);
  EXPECT_FALSE(OpenGroupRow(*List, *groups[2], Listing()));  // listed, but empty
  EXPECT_FALSE(GroupRowOpen(*groups[2]));
  Tracks.erase(2);
  EXPECT_FALSE(OpenGroupRow(*List, *groups[1], Listing()));  // not listed
  EXPECT_FALSE(OpenGroupRow(*List, *groups[1], TBrowserListing{}));
}

TEST_F(TMusicBrowserRowsTest, RowsStackAndThePanelHoldsThem)
{
  const auto groups = GroupRows(*List);
  ASSERT_EQ(groups.size(), 3U);
  EXPECT_EQ(List->Panel()->Height(), 3 * kMusicRowHeight);
  OpenGroupRow(*List, *groups[0], Listing());
  const struct {
    const TDisplayListViewItem* Row;
    int Top, Height;
  } cases[] = {
      {groups[0], 0, 4 * kMusicRowHeight},
      {TrackRows(*groups[0])[0], kMusicRowHeight, kMusicRowHeight},
      {TrackRows(*groups[0])[2], 3 * kMusicRowHeight, kMusicRowHeight},
      {groups[1], 4 * kMusicRowHeight, kMusicRowHeight},
      {groups[2], 5 * kMusicRowHeight, kMusicRowHeight},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Row->Caption());
    EXPECT_EQ(c.Row->Top(), c.Top);
    EXPECT_EQ(c.Row->Height(), c.Height);
    EXPECT_EQ(c.Row->Width(), 300);
  }
  EXPECT_EQ(List->Panel()->Height(), 6 * kMusicRowHeight);
}

TEST_F(TMusicBrowserRowsTest, FindingRowsAndTheRowBefore)
{
  const auto groups = GroupRows(*List);
  OpenGroupRow(*List, *groups[0], Listing());
  const auto tracks = TrackRows(*groups[0]);
  EXPECT_EQ(FindRow(*List, Id(2, 2, -1)), groups[1]);
  EXPECT_EQ(FindRow(*List, Id(2, 1, 12)), tracks[1]);
  EXPECT_EQ(FindRow(*List, Id(2, 2, 21)), nullptr);  // its group is closed
  EXPECT_EQ(FindRow(*List, Id(3, 1, -1)), nullptr);  // another view
  EXPECT_EQ(FindRow(*List, Id(2, 9, -1)), nullptr);
  EXPECT_EQ(PreviousRowInGroup(*tracks[0]), nullptr);
  EXPECT_EQ(PreviousRowInGroup(*tracks[2]), tracks[1]);
  EXPECT_EQ(PreviousRowInGroup(*groups[0]), nullptr);
  EXPECT_EQ(PreviousRowInGroup(*groups[2]), groups[1]);
}

TEST_F(TMusicBrowserRowsTest, ReloadingReplacesTheRowsAndTheSelection)
{
  const auto groups = GroupRows(*List);
  OpenGroupRow(*List, *groups[0], Listing());
  List->Select(TrackRows(*groups[0])[1]);
  TDbIdList fewer;
  fewer.Add(Id(2, 2, -1, "Green"));
  LoadGroupRows(*List, fewer, TMusicListViewItemKinds::mlkAlbum);
  EXPECT_EQ(List->ItemCount(), 1);
  EXPECT_EQ(List->SelectedCount(), 0);
  EXPECT_EQ(List->ActiveRow(), nullptr);
  EXPECT_EQ(static_cast<TMusicListViewItem*>(GroupRows(*List)[0])->Kind(), TMusicListViewItemKinds::mlkAlbum);
  EXPECT_EQ(BrowserRowKind(Id(2, 2, 5), TMusicListViewItemKinds::mlkAlbum),
            TMusicListViewItemKinds::mlkTrack);
}

}  // namespace
