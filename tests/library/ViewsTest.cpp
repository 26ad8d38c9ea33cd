#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/library/TestLibrary.h"

namespace {

TDbId Id(std::int32_t view, std::int32_t group = -1, std::int32_t file = -1)
{
  TDbId id;
  id.ViewId = view;
  id.GroupId = group;
  id.FileId = file;
  return id;
}

class ViewsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(Library.Opened()); }

  std::vector<std::string> Captions(const TDbId& id)
  {
    TDbIdList list;
    EXPECT_TRUE(Database.GetItems(id, list));
    std::vector<std::string> captions;
    for (const TDbId& entry : list.Items()) {
      captions.push_back(entry.Caption);
    }
    return captions;
  }

  std::int32_t Add(const std::string& path, const std::string& title, const std::string& album,
                   std::int32_t track = 1, std::int32_t year = 2001, const std::string& artist = "Artist")
  {
    TTestTrack t;
    t.Path = path;
    t.Title = title;
    t.Album = album;
    t.Track = track;
    t.Year = year;
    t.Artist = artist;
    t.Fingerprint = ++Fingerprints;
    return Library.Add(t);
  }

  // The group of view that holds fileId.
  std::int32_t GroupOf(std::int32_t view, std::int32_t fileId)
  {
    TDbId item;
    EXPECT_TRUE(Database.MakeItem(view, fileId, item));
    return item.GroupId;
  }

  TTestLibrary Library;
  TMusicDatabase& Database = Library.Database();
  std::uint32_t Fingerprints = 0;
};

TEST_F(ViewsTest, TheRootListsTheSevenViewsAlwaysInTheirOrder)
{
  TDbIdList list;
  ASSERT_TRUE(Database.GetItems(TDbId(), list));
  ASSERT_EQ(list.Count(), 7);
  const std::int32_t views[] = {1, 5, 2, 3, 4, 6, 7};
  const char* names[] = {"Folders", "Titles", "Albums", "Artists", "Genre", "Years", "Playlists"};
  for (int i = 0; i < 7; ++i) {
    const TDbId& view = list.Get(i);
    EXPECT_EQ(view.ViewId, views[i]);
    EXPECT_EQ(view.GroupId, -1);
    EXPECT_EQ(view.FileId, -1);
    EXPECT_EQ(view.Order, 0);
    EXPECT_EQ(view.Extra, "");
    EXPECT_EQ(view.Caption, names[i]);
    EXPECT_EQ(Database.GetCaption(view), names[i]);
    TDbIdList groups;
    EXPECT_TRUE(Database.GetItems(view, groups));
    EXPECT_EQ(groups.Count(), 0) << names[i];
  }
  EXPECT_EQ(Database.GetCaption(TDbId()), "MusicDatabase");
  for (const std::int32_t other : {0, 8, -2}) {
    EXPECT_EQ(TMusicDatabase::ViewName(other), "");
    EXPECT_FALSE(Database.GetItems(Id(other), list));
    EXPECT_EQ(list.Count(), 0);
  }
}

TEST(ViewCaptionsTest, CountCaptionsByNumberOfTracks)
{
  const std::pair<std::int32_t, const char*> cases[] = {
      {-1, "(000 Empty)"}, {0, "(000 Empty)"},    {1, "(001 Track)"},
      {2, "(002 Tracks)"}, {999, "(999 Tracks)"}, {1000, "(1000 Tracks)"},
  };
  for (const auto& [count, caption] : cases) {
    EXPECT_EQ(TMusicDatabase::CountCaption(count), caption) << count;
  }
}

TEST(ViewCaptionsTest, FolderCaptionsJoinTheComponentsTidied)
{
  const std::string longPart(300, 'x');
  const std::pair<std::string, std::string> cases[] = {
      {"Live", "Live"},
      {"Rock\\Live", "Rock, Live"},
      {"music\\rock_n_roll\\live", "Music, Rock N Roll, Live"},
      {"a\\" + longPart, "A, X" + std::string(254, 'x')},
      {longPart + "\\b", "X" + std::string(299, 'x') + ", B"},
      // The stand-ins of ":" and "\\" in host folder names; the latter is no separator.
      {"music\\live\xEF\x80\xBA 1999", "Music, Live: 1999"},
      {"AC\xEF\x81\x9C"
       "DC\\live",
       "AC\\DC, Live"},
  };
  for (const auto& [name, caption] : cases) {
    EXPECT_EQ(TMusicDatabase::FolderCaption(name), caption) << name;
  }
}

TEST_F(ViewsTest, AlbumTracksListByTrackNumberOtherGroupsByTitle)
{
  const std::int32_t two = Add("C:\\M\\b.mp3", "Beta", "Album", 2);
  const std::int32_t ten = Add("C:\\M\\a.mp3", "Alpha", "Album", 10);
  const std::int32_t one = Add("C:\\M\\c.mp3", "Gamma", "Album", 1);
  const std::int32_t album = GroupOf(ViewAlbums, one);
  TDbIdList list;
  ASSERT_TRUE(Database.GetItems(Id(ViewAlbums, album), list));
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Get(0).FileId, one);
  EXPECT_EQ(list.Get(1).FileId, two);
  EXPECT_EQ(list.Get(2).FileId, ten);
  EXPECT_EQ(list.Get(0).Extra, "0001Gamma");
  EXPECT_EQ(list.Get(2).Extra, "0010Alpha");
  EXPECT_EQ(list.Get(2).Caption, "Alpha");
  EXPECT_EQ(list.Get(2).GroupId, album);
  // The same tracks in the Folders view go by title, without a sort key.
  ASSERT_TRUE(Database.GetItems(Id(ViewFolders, GroupOf(ViewFolders, one)), list));
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Get(0).FileId, ten);
  EXPECT_EQ(list.Get(0).Extra, "");
  EXPECT_EQ(list.Get(2).FileId, one);
  // Every listing leaves the file cursor on its primary index.
  EXPECT_EQ(Database.Tables(0).IndexName(), "");
  // A track found under another group of the same view is the same item.
  TDbId elsewhere = Id(ViewFolders, album + 1000, one);
  EXPECT_EQ(list.IndexOfItem(elsewhere), 2);
}

TEST_F(ViewsTest, GroupsSortByNameWithEmptyNamesLast)
{
  Add("C:\\M\\1.mp3", "T1", "");
  Add("C:\\M\\2.mp3", "T2", "(Live)");
  Add("C:\\M\\3.mp3", "T3", "1999 Hits");
  Add("C:\\M\\4.mp3", "T4", "zeta");
  Add("C:\\M\\5.mp3", "T5", "Abba");
  Add("C:\\M\\6.mp3", "T6", "Abba");
  EXPECT_EQ(Captions(Id(ViewAlbums)),
            (std::vector<std::string>{"Abba (002 Tracks)", "zeta (001 Track)", "1999 Hits (001 Track)",
                                      "(Live) (001 Track)", " (001 Track)"}));
}

TEST_F(ViewsTest, YearGroupsAreCaptionedWithFourDigits)
{
  for (int i = 0; i < 12; ++i) {
    Add("C:\\M\\y" + std::to_string(i) + ".mp3", "T", "A", 1, 1999);
  }
  Add("C:\\M\\z.mp3", "T", "A", 1, 0);
  Add("C:\\M\\w.mp3", "T", "A", 1, 2024);
  EXPECT_EQ(Captions(Id(ViewYears)),
            (std::vector<std::string>{"0000 (001 Track)", "1999 (012 Tracks)", "2024 (001 Track)"}));
  const std::int32_t group = Database.FindFileByPath("C:\\M\\z.mp3", ViewYears).GroupId;
  EXPECT_EQ(Database.GetCaption(Id(ViewYears, group)), "0000");
}

TEST_F(ViewsTest, FoldersShowTheirExtendedNamesAsCaptions)
{
  Add("C:\\A\\Rock\\Live\\x.mp3", "X", "A");
  const std::int32_t file = Add("C:\\Music\\Rock\\Live\\y.mp3", "Y", "A");
  const std::vector<std::string> captions = Captions(Id(ViewFolders));
  EXPECT_EQ(captions,
            (std::vector<std::string>{"A, Rock, Live (001 Track)", "Music, Rock, Live (001 Track)"}));
  EXPECT_EQ(Database.GetCaption(Id(ViewFolders, GroupOf(ViewFolders, file))), "Music, Rock, Live");
}

TEST_F(ViewsTest, CaptionsOfEveryLevel)
{
  const std::int32_t file = Add("C:\\M\\song.mp3", "Song", "Disc", 4, 1987, "Band");
  struct TCase {
    TDbId Id;
    std::string Caption;
  };
  const TCase cases[] = {
      {TDbId(), "MusicDatabase"},
      {Id(ViewGenre), "Genre"},
      {Id(ViewAlbums, GroupOf(ViewAlbums, file)), "Disc"},
      {Id(ViewArtists, GroupOf(ViewArtists, file)), "Band"},
      {Id(ViewGenre, GroupOf(ViewGenre, file)), "Rock"},
      {Id(ViewTitles, GroupOf(ViewTitles, file)), "S"},
      {Id(ViewYears, GroupOf(ViewYears, file)), "1987"},
      {Id(ViewAlbums, 9999), ""},
      {Id(ViewAlbums, GroupOf(ViewAlbums, file), file), "Song"},
      {Id(ViewAlbums, GroupOf(ViewAlbums, file), 9999), ""},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(Database.GetCaption(c.Id), c.Caption)
        << c.Id.ViewId << " " << c.Id.GroupId << " " << c.Id.FileId;
  }
}

TEST_F(ViewsTest, AFilesPathIsReadAgainAfterTheRecordChanges)
{
  const std::int32_t file = Add("C:\\M\\song.mp3", "Song", "Disc", 4, 1987, "Band");
  const std::int32_t other = Add("C:\\M\\other.mp3", "Other", "Disc", 5, 1987, "Band");
  std::string path = "stale";
  EXPECT_FALSE(Database.FilePathOf(other + file + 1, path));
  EXPECT_TRUE(path.empty());
  ASSERT_TRUE(Database.FilePathOf(file, path));
  EXPECT_EQ(path, "C:\\M\\song.mp3");
  ASSERT_TRUE(Database.FilePathOf(other, path));
  EXPECT_EQ(path, "C:\\M\\other.mp3");
  // The cursor the look-ups share must not answer from a record that is gone.
  Database.RemoveFile(file);
  EXPECT_FALSE(Database.FilePathOf(file, path));
  EXPECT_TRUE(Database.FilePathOf(other, path));
}

TEST_F(ViewsTest, AnItemMovesBetweenViewsButAHiddenOneIsNowhere)
{
  const std::int32_t file = Add("C:\\M\\song.mp3", "Song", "Disc", 4, 1987, "Band");
  const std::int32_t other = Add("C:\\M\\other.mp3", "Other", "Disc", 5, 1987, "Band");
  const TDbId inTitles = Database.FindFileByPath("c:\\m\\SONG.mp3", ViewTitles);
  ASSERT_EQ(inTitles.FileId, file);
  for (const std::int32_t target : {ViewFolders, ViewAlbums, ViewArtists, ViewGenre, ViewTitles, ViewYears}) {
    const TDbId moved = Database.ItemInView(inTitles, target);
    EXPECT_EQ(moved.ViewId, target);
    EXPECT_EQ(moved.FileId, file);
    EXPECT_EQ(moved.GroupId, GroupOf(target, file));
    EXPECT_EQ(moved.Caption, "Song");
  }
  EXPECT_TRUE(Database.ItemInView(inTitles, 0).Empty());
  // A group lists more than one item: it is no item of another view.
  EXPECT_TRUE(Database.ItemInView(Id(ViewAlbums, GroupOf(ViewAlbums, file)), ViewYears).Empty());

  std::int32_t resolved = 0;
  EXPECT_TRUE(Database.ResolveFileId(ViewAlbums, file, resolved));
  EXPECT_EQ(resolved, file);

  TDbIdList items{};
  Database.HideItems(std::vector<TDbId>{inTitles});
  TDbId item;
  EXPECT_FALSE(Database.MakeItem(ViewAlbums, file, item));
  EXPECT_TRUE(item.Empty());
  EXPECT_TRUE(Database.ItemInView(inTitles, ViewAlbums).Empty());
  EXPECT_FALSE(Database.GetItems(inTitles, items));
  EXPECT_TRUE(Database.FindFileByPath("C:\\M\\song.mp3", ViewAlbums).Empty());
  EXPECT_TRUE(Database.MakeItem(ViewAlbums, other, item));
  ASSERT_TRUE(Database.GetItems(Id(ViewAlbums, item.GroupId), items));
  EXPECT_EQ(items.Count(), 1);
}

}  // namespace
