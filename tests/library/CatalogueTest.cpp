#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "library/MusicDatabase.h"
#include "platform/files/Paths.h"
#include "rtl/Format.h"
#include "tests/library/LibraryCheck.h"
#include "tests/support/TempFolder.h"

namespace {

TMusicFileItem Item(const std::string& path, const std::string& artist = "Artist", std::uint8_t checksum = 1)
{
  TMusicFileItem item;
  item.FileName = path;
  item.Title = "Unknown";
  item.Artist = artist;
  item.Album = "Album";
  item.Genre = "Rock";
  item.Year = 2001;
  item.Track = 3;
  item.Bitrate = 192;
  item.Duration = 200;
  item.LastWriteTime = {0x11223344, 0x01D00000};
  item.CreationTime = {0x55667788, 0x01C00000};
  item.Size = 4000000;
  item.LastAccessTime = {1, 2};
  item.Checksum[0] = checksum;
  return item;
}

struct TFileRecord {
  std::int32_t FileId = -1;
  std::string FilePath;
  std::string FileName;
  bool TagTitle = false;
  std::int32_t FolderId = -1, LetterId = -1, ArtistId = -1, AlbumId = -1, GenreId = -1, YearId = -1;
  std::int32_t Track = 0, Bitrate = 0, Length = 0;
  std::vector<std::byte> Attributes;
  std::vector<std::byte> Checksum;
};

class CatalogueTest : public ::testing::Test {
 protected:
  CatalogueTest()
  {
    Directory = WindowsPathOf((Folder.Path() / "Library").string()) + "\\";
    Database.SetDirectory(Directory);
    Opened = OpenLibrary(Database);
  }

  void SetUp() override { ASSERT_TRUE(Opened); }

  void ExpectConsistent()
  {
    const std::vector<std::string> problems = CatalogueProblems(Database);
    EXPECT_TRUE(problems.empty()) << ::testing::PrintToString(problems);
  }

  std::vector<TFileRecord> Files()
  {
    std::vector<TFileRecord> records;
    TFilesTable files(Database);
    files.Open();
    for (files.First(); !files.Eof(); files.Next()) {
      TFileRecord& r = records.emplace_back();
      r.FileId = files.FileId->AsInteger();
      r.FilePath = files.FilePath->AsString();
      r.FileName = files.FileName->AsString();
      r.TagTitle = files.TagTitle->AsBoolean();
      r.FolderId = files.FolderId->AsInteger();
      r.LetterId = files.LetterId->AsInteger();
      r.ArtistId = files.ArtistId->AsInteger();
      r.AlbumId = files.AlbumId->AsInteger();
      r.GenreId = files.GenreId->AsInteger();
      r.YearId = files.YearId->AsInteger();
      r.Track = files.Track->AsInteger();
      r.Bitrate = files.Bitrate->AsInteger();
      r.Length = files.Length->AsInteger();
      const auto attributes = files.Attributes->AsBytes();
      r.Attributes.assign(attributes.begin(), attributes.end());
      const auto checksum = files.Checksum->AsBytes();
      r.Checksum.assign(checksum.begin(), checksum.end());
    }
    return records;
  }

  TFileRecord File(std::int32_t fileId)
  {
    for (const TFileRecord& record : Files()) {
      if (record.FileId == fileId) {
        return record;
      }
    }
    return {};
  }

  // FolderPath -> FolderName.
  std::map<std::string, std::string> FolderNames()
  {
    std::map<std::string, std::string> names;
    TFoldersTable folders(Database);
    folders.Open();
    for (folders.First(); !folders.Eof(); folders.Next()) {
      names[folders.FolderPath->AsString()] = folders.FolderName->AsString();
    }
    return names;
  }

  std::map<std::string, std::int32_t> Renames()
  {
    std::map<std::string, std::int32_t> counts;
    TRenameFoldersTable renames(Database);
    renames.Open();
    for (renames.First(); !renames.Eof(); renames.Next()) {
      counts[renames.Name->AsString()] = renames.RefCount->AsInteger();
    }
    return counts;
  }

  std::map<std::string, std::int32_t> Artists()
  {
    std::map<std::string, std::int32_t> counts;
    TArtistsTable artists(Database);
    artists.Open();
    for (artists.First(); !artists.Eof(); artists.Next()) {
      counts[artists.ArtistName->AsString()] = artists.ArtistRefCount->AsInteger();
    }
    return counts;
  }

  // What another connection sees: only committed transactions.
  std::int32_t CommittedFiles()
  {
    TDatabase observer(nullptr);
    observer.SetDatabaseName(std::string(MusicDatabaseName));
    observer.SetDirectory(Directory);
    observer.Connect();
    TTable files(observer);
    files.SetTableName("MusicFiles");
    files.Open();
    return files.RecordCount();
  }

  std::vector<std::string> CommittedProblems()
  {
    TDatabase observer(nullptr);
    observer.SetDatabaseName(std::string(MusicDatabaseName));
    observer.SetDirectory(Directory);
    observer.Connect();
    return CatalogueProblems(observer);
  }

  std::int32_t FileCount() { return static_cast<std::int32_t>(Files().size()); }

 public:
  void Progress(TObject*, const std::string& folder, std::int32_t percent)
  {
    ProgressFolders.push_back(folder);
    ProgressPercents.push_back(percent);
    if (std::find(ObservedAt.begin(), ObservedAt.end(), ProgressPercents.size() - 1) != ObservedAt.end()) {
      Observed.push_back(CommittedFiles());
      const std::vector<std::string> problems = CommittedProblems();
      ObservedProblems.insert(ObservedProblems.end(), problems.begin(), problems.end());
    }
    if (FailAt == ProgressPercents.size() - 1) {
      throw std::runtime_error("disk full");
    }
  }

 protected:
  // Known files and found items for a merge, sorted as a scan hands them over.
  TKnownFiles Known()
  {
    TKnownFiles known = Database.GetKnownFiles(nullptr, nullptr, nullptr);
    TMusicDatabase::SortKnownFiles(known);
    return known;
  }

  TTempMachine Machine;
  TTempFolder Folder;
  std::string Directory;
  TMusicDatabase Database{nullptr};
  bool Opened = false;

  std::vector<std::string> ProgressFolders;
  std::vector<std::int32_t> ProgressPercents;
  std::vector<std::size_t> ObservedAt;  // progress calls (from 0) that look at the committed files
  std::vector<std::int32_t> Observed;
  std::vector<std::string> ObservedProblems;  // of the committed catalogue, where observed
  std::size_t FailAt = SIZE_MAX;              // progress call that raises
};

TEST_F(CatalogueTest, DisplayTitleComesFromTheTagOrTheTidiedFileName)
{
  struct TCase {
    const char* Path;
    const char* Title;
    const char* Expected;
    const char* Letter;
    bool TagTitle;
  };
  const TCase cases[] = {
      {"C:\\Music\\my_song.mp3", "Unknown", "My Song", "M", false},
      {"C:\\Music\\the_beatles  -  help.mp3", "", "The Beatles - Help", "T", false},
      {"C:\\Music\\01_track (live).mp3", "Unknown", "01 Track (Live)", "0", false},
      // The stand-ins of ":", "?" and a tab in a host name.
      {"C:\\Music\\live\xEF\x80\xBA 1999\xEF\x80\xBF.mp3", "", "Live: 1999?", "L", false},
      {"C:\\Music\\a\xEF\x80\x89"
       "b.mp3",
       "",
       "A\xEF\xBF\xBD"
       "b",
       "A", false},
      {"C:\\Music\\a.mp3", "abc def", "abc def", "A", true},
      {"C:\\Music\\a.mp3", "\xC3\xA9lan", "\xC3\xA9lan", "\xC3\xA9", true},
      {"C:\\Music\\a.mp3", "unknown", "unknown", "U", true},
      {"C:\\Music\\a.mp3", "(Intro)", "(Intro)", "(", true},
  };
  for (const TCase& c : cases) {
    TMusicFileItem item;
    item.FileName = c.Path;
    item.Title = c.Title;
    const TDisplayTitle display = TMusicDatabase::DisplayTitle(item);
    EXPECT_EQ(display.Title, c.Expected) << c.Path << " " << c.Title;
    EXPECT_EQ(display.Letter, c.Letter) << c.Path << " " << c.Title;
    EXPECT_EQ(display.TagTitle, c.TagTitle) << c.Path << " " << c.Title;
  }
}

// Texts are stored at most as long as their fields: titles 250 characters, artists, albums and
// genres 100, counted in UTF-16 units and cut between characters. A path is never cut: cut, it
// would name another file.
TEST_F(CatalogueTest, StoredTextsAreCutToTheirFieldsAtACharacterBoundary)
{
  const std::string pair = "\U0001F600";
  struct TCase {
    std::string Title;
    std::string Artist;
    std::string StoredTitle;
    std::string StoredArtist;
  };
  const TCase cases[] = {
      {std::string(250, 't'), std::string(100, 'a'), std::string(250, 't'), std::string(100, 'a')},
      {std::string(3000000, 't'), std::string(100000, 'a'), std::string(250, 't'), std::string(100, 'a')},
      {std::string(248, 't') + pair, std::string(98, 'a') + pair, std::string(248, 't') + pair,
       std::string(98, 'a') + pair},
      {std::string(249, 't') + pair, std::string(99, 'a') + pair, std::string(249, 't'),
       std::string(99, 'a')},
  };
  const std::string path = "C:\\Music\\" + std::string(300, 'p') + ".mp3";
  for (const TCase& c : cases) {
    TMusicFileItem item = Item(path, c.Artist);
    item.Title = c.Title;
    const std::int32_t id = Database.AddFile(item);
    EXPECT_EQ(File(id).FileName, c.StoredTitle);
    EXPECT_EQ(File(id).FilePath, path);
    EXPECT_EQ(Artists(), (std::map<std::string, std::int32_t>{{c.StoredArtist, 1}}));
    // A rescan of the same file changes nothing: the cut text is the stored one.
    Database.UpdateFile(id, item);
    EXPECT_EQ(File(id).FileName, c.StoredTitle);
    EXPECT_EQ(Artists(), (std::map<std::string, std::int32_t>{{c.StoredArtist, 1}}));
    ExpectConsistent();
    Database.RemoveFile(id);
  }
}

TEST_F(CatalogueTest, AddFileStoresTheItemAndCountsItsGroups)
{
  TMusicFileItem item = Item("C:\\Music\\my_song.mp3", "Unknown");
  item.Year = 0;
  const std::int32_t first = Database.AddFile(item);
  const std::int32_t second = Database.AddFile(Item("C:\\Music\\other.mp3", "unknown"));
  EXPECT_NE(first, second);

  const TFileRecord record = File(first);
  EXPECT_EQ(record.FilePath, "C:\\Music\\my_song.mp3");
  EXPECT_EQ(record.FileName, "My Song");
  EXPECT_FALSE(record.TagTitle);
  EXPECT_EQ(record.Track, 3);
  EXPECT_EQ(record.Bitrate, 192);
  EXPECT_EQ(record.Length, 200);
  const TFileAttributes attributes = ItemAttributes(item);
  EXPECT_EQ(record.Attributes, std::vector<std::byte>(attributes.begin(), attributes.end()));
  ASSERT_EQ(record.Checksum.size(), 36U);
  EXPECT_EQ(record.Checksum[0], std::byte{1});
  // Little-endian, low word of the FILETIME first.
  EXPECT_EQ(attributes[0], std::byte{0x44});
  EXPECT_EQ(attributes[7], std::byte{0x01});
  EXPECT_EQ(attributes[16], std::byte{0x00});
  EXPECT_EQ(attributes[18], std::byte{0x3D});

  // "Unknown" is a group like any other; names compare without regard to case.
  EXPECT_EQ(Artists(), (std::map<std::string, std::int32_t>{{"Unknown", 2}}));
  EXPECT_EQ(File(second).FolderId, record.FolderId);
  EXPECT_NE(File(second).YearId, record.YearId);
  EXPECT_EQ(FolderNames(), (std::map<std::string, std::string>{{"C:\\Music", "Music"}}));
  ExpectConsistent();

  Database.RemoveFile(first);
  Database.RemoveFile(second);
  EXPECT_TRUE(Artists().empty());
  EXPECT_TRUE(FolderNames().empty());
  ExpectConsistent();
}

TEST_F(CatalogueTest, CollidingFolderNamesAreToldApartByTheirParents)
{
  Database.AddFile(Item("C:\\A\\Live\\1.mp3"));
  EXPECT_EQ(FolderNames(), (std::map<std::string, std::string>{{"C:\\A\\Live", "Live"}}));

  Database.AddFile(Item("D:\\B\\Live\\1.mp3"));
  Database.AddFile(Item("D:\\B\\Live\\2.mp3"));
  EXPECT_EQ(FolderNames(),
            (std::map<std::string, std::string>{{"C:\\A\\Live", "A\\Live"}, {"D:\\B\\Live", "B\\Live"}}));
  EXPECT_EQ(Renames(), (std::map<std::string, std::int32_t>{{"LIVE", 2}}));

  Database.AddFile(Item("E:\\C\\Live\\1.mp3"));
  EXPECT_EQ(FolderNames(),
            (std::map<std::string, std::string>{
                {"C:\\A\\Live", "A\\Live"}, {"D:\\B\\Live", "B\\Live"}, {"E:\\C\\Live", "C\\Live"}}));
  EXPECT_EQ(Renames(), (std::map<std::string, std::int32_t>{{"LIVE", 3}}));
  ExpectConsistent();
}

TEST_F(CatalogueTest, RemovingARenamedFolderReleasesItsCollisions)
{
  Database.AddFile(Item("C:\\A\\Live\\1.mp3"));
  Database.AddFile(Item("D:\\B\\Live\\1.mp3"));
  Database.AddFile(Item("D:\\B\\Live\\2.mp3"));
  Database.RemoveFilesUnder({"D:\\B\\Live\\"});
  EXPECT_EQ(FolderNames(), (std::map<std::string, std::string>{{"C:\\A\\Live", "A\\Live"}}));
  EXPECT_EQ(Renames(), (std::map<std::string, std::int32_t>{{"LIVE", 1}}));
  ExpectConsistent();

  // A name extended by two components releases both collisions, the longer first.
  Database.AddFile(Item("C:\\Music\\Rock\\Live2\\1.mp3"));
  Database.AddFile(Item("D:\\Jazz\\Rock\\Live2\\1.mp3"));
  EXPECT_EQ(FolderNames().at("C:\\Music\\Rock\\Live2"), "Music\\Rock\\Live2");
  EXPECT_EQ(FolderNames().at("D:\\Jazz\\Rock\\Live2"), "Jazz\\Rock\\Live2");
  EXPECT_EQ(Renames(), (std::map<std::string, std::int32_t>{{"LIVE", 1}, {"LIVE2", 2}, {"ROCK\\LIVE2", 2}}));
  Database.RemoveFilesUnder({"c:\\music\\"});
  EXPECT_EQ(Renames(), (std::map<std::string, std::int32_t>{{"LIVE", 1}, {"LIVE2", 1}, {"ROCK\\LIVE2", 1}}));
  EXPECT_EQ(FolderNames().at("D:\\Jazz\\Rock\\Live2"), "Jazz\\Rock\\Live2");
  ExpectConsistent();
}

TEST_F(CatalogueTest, AFolderNameThatIsTheWholePathIsNotExtendedForever)
{
  Database.AddFile(Item("Live\\1.mp3"));
  Database.AddFile(Item("X\\Live\\1.mp3"));
  Database.AddFile(Item("Y\\X\\Live\\1.mp3"));
  const auto names = FolderNames();
  EXPECT_EQ(names.size(), 3U);
  EXPECT_EQ(names.at("Y\\X\\Live"), "Y\\X\\Live");
  ExpectConsistent();
}

TEST_F(CatalogueTest, RescanWithTheSameChecksumMovesOneReferenceAndKeepsTheFileId)
{
  const std::int32_t first = Database.AddFile(Item("C:\\Music\\a.mp3", "Old"));
  const std::int32_t second = Database.AddFile(Item("C:\\Music\\b.mp3", "Old"));

  TMusicFileItem changed = Item("C:\\Music\\a.mp3", "New");
  changed.Title = "Zebra";
  changed.Track = 7;
  Database.UpdateFile(first, changed);
  EXPECT_EQ(Artists(), (std::map<std::string, std::int32_t>{{"New", 1}, {"Old", 1}}));
  const TFileRecord record = File(first);
  EXPECT_EQ(record.FileId, first);
  EXPECT_EQ(record.FileName, "Zebra");
  EXPECT_TRUE(record.TagTitle);
  EXPECT_EQ(record.Track, 7);
  EXPECT_NE(record.LetterId, File(second).LetterId);
  ExpectConsistent();

  Database.UpdateFile(second, Item("C:\\Music\\b.mp3", "New"));
  EXPECT_EQ(Artists(), (std::map<std::string, std::int32_t>{{"New", 2}}));
  // A name differing only in case keeps the file's group.
  Database.UpdateFile(second, Item("C:\\Music\\b.mp3", "NEW"));
  EXPECT_EQ(Artists(), (std::map<std::string, std::int32_t>{{"New", 2}}));
  ExpectConsistent();

  // An id that is no file changes nothing.
  Database.UpdateFile(9999, changed);
  EXPECT_EQ(FileCount(), 2);
}

TEST_F(CatalogueTest, RescanWithANewChecksumGivesANewFileId)
{
  const std::int32_t first = Database.AddFile(Item("C:\\Music\\a.mp3", "Old", 1));
  Database.UpdateFile(first, Item("C:\\Music\\a.mp3", "New", 2));
  const std::vector<TFileRecord> files = Files();
  ASSERT_EQ(files.size(), 1U);
  EXPECT_NE(files[0].FileId, first);
  EXPECT_EQ(files[0].Checksum[0], std::byte{2});
  EXPECT_EQ(Artists(), (std::map<std::string, std::int32_t>{{"New", 1}}));
  ExpectConsistent();
}

TEST_F(CatalogueTest, HiddenFilesStayHiddenAndKnown)
{
  const std::int32_t hidden = Database.AddFile(Item("C:\\Music\\a.mp3"));
  const std::int32_t shown = Database.AddFile(Item("C:\\Music\\b.mp3"));
  const std::int32_t favorite = Database.AddFile(Item("C:\\Music\\c.mp3"));
  TDbId inFavorites;
  inFavorites.ViewId = ViewPlaylists;
  inFavorites.GroupId = 1;
  inFavorites.FileId = favorite;
  Database.HideItems(
      std::vector<TDbId>{Database.FindFileByPath("c:\\music\\A.MP3", ViewArtists), inFavorites});
  EXPECT_EQ(File(hidden).FolderId, -1);
  EXPECT_EQ(File(hidden).ArtistId, -1);
  EXPECT_NE(File(favorite).FolderId, -1);
  EXPECT_TRUE(Database.FindFileByPath("C:\\Music\\a.mp3", ViewFolders).Empty());
  ExpectConsistent();

  // Scanned again unchanged: nothing happens.
  ASSERT_TRUE(Database.ApplyScanResults(
      Known(), {Item("C:\\Music\\a.mp3"), Item("C:\\Music\\b.mp3"), Item("C:\\Music\\c.mp3")}));
  EXPECT_EQ(File(hidden).FolderId, -1);
  ExpectConsistent();

  // Changed times, same checksum, new artist: only the attributes change.
  TMusicFileItem touched = Item("C:\\Music\\a.mp3", "Someone Else");
  touched.LastWriteTime.dwLowDateTime += 1;
  ASSERT_TRUE(
      Database.ApplyScanResults(Known(), {touched, Item("C:\\Music\\b.mp3"), Item("C:\\Music\\c.mp3")}));
  const TFileRecord record = File(hidden);
  EXPECT_EQ(record.FolderId, -1);
  EXPECT_EQ(record.ArtistId, -1);
  const TFileAttributes attributes = ItemAttributes(touched);
  EXPECT_EQ(record.Attributes, std::vector<std::byte>(attributes.begin(), attributes.end()));
  EXPECT_EQ(Artists(), (std::map<std::string, std::int32_t>{{"Artist", 2}}));
  EXPECT_EQ(File(shown).FileId, shown);
  ExpectConsistent();

  // Deleting the hidden records under a folder lets the next scan add them afresh.
  const TFolderList elsewhere{"D:\\"};
  Database.DeleteHiddenUnder(&elsewhere, nullptr);
  EXPECT_EQ(FileCount(), 3);
  const TFolderList music{"C:\\MUSIC\\"};
  Database.DeleteHiddenUnder(&music, &music);
  EXPECT_EQ(FileCount(), 3);
  Database.DeleteHiddenUnder(&music, nullptr);
  EXPECT_EQ(FileCount(), 2);
  ExpectConsistent();
}

TEST_F(CatalogueTest, KnownFilesPassTheFoldersFilters)
{
  for (const char* path :
       {"C:\\Music\\b.mp3", "C:\\Musical\\a.mp3", "C:\\Music\\Sub\\c.mp3", "D:\\x.mp3", "c:\\music\\A.mp3"}) {
    Database.AddFile(Item(path));
  }
  const auto paths = [](const TKnownFiles& known) {
    std::vector<std::string> result;
    for (const TKnownFile& file : known) {
      result.push_back(file.FilePath);
    }
    return result;
  };
  const TFolderList music{"C:\\MUSIC\\"};
  const TFolderList drives{"C:\\", "D:\\"};
  const TFolderList sub{"C:\\Music\\Sub\\"};
  EXPECT_EQ(paths(Database.GetKnownFiles(nullptr, nullptr, nullptr)).size(), 5U);
  EXPECT_EQ(paths(Database.GetKnownFiles(&music, nullptr, nullptr)),
            (std::vector<std::string>{"C:\\Music\\b.mp3", "C:\\Music\\Sub\\c.mp3", "c:\\music\\A.mp3"}));
  TKnownFiles known = Database.GetKnownFiles(&music, &drives, &sub);
  TMusicDatabase::SortKnownFiles(known);
  EXPECT_EQ(paths(known), (std::vector<std::string>{"c:\\music\\A.mp3", "C:\\Music\\b.mp3"}));
  EXPECT_EQ(known[1].Attributes, ItemAttributes(Item("C:\\Music\\b.mp3")));

  TMusicFileItems items{Item("C:\\b.mp3"), Item("c:\\C.mp3"), Item("C:\\a.mp3")};
  TMusicDatabase::SortFileItems(items);
  EXPECT_EQ(items[0].FileName, "C:\\a.mp3");
  EXPECT_EQ(items[2].FileName, "c:\\C.mp3");

  const TDbId item = Database.FindFileByPath("C:\\MUSIC\\B.MP3", ViewTitles);
  EXPECT_EQ(item.ViewId, ViewTitles);
  EXPECT_EQ(item.Caption, "B");
  EXPECT_EQ(item.Level(), TDbIdLevel::Item);
  EXPECT_TRUE(Database.FindFileByPath("C:\\Music\\none.mp3", ViewTitles).Empty());
  EXPECT_TRUE(Database.FindFileByPath("C:\\Music\\b.mp3", ViewPlaylists).Empty());
}

TEST_F(CatalogueTest, MergeAddsUpdatesAndRemovesInOneWalk)
{
  for (const char* path : {"C:\\A\\1.mp3", "C:\\A\\2.mp3", "C:\\B\\3.mp3", "C:\\B\\4.mp3"}) {
    Database.AddFile(Item(path));
  }
  const std::int32_t kept = Database.FindFileByPath("C:\\A\\2.mp3", ViewFolders).FileId;
  TMusicFileItem changed = Item("c:\\b\\3.MP3", "Changed");
  changed.Size += 1;
  TMusicFileItems found{Item("C:\\A\\2.mp3"), changed, Item("C:\\C\\5.mp3"), Item("C:\\A\\0.mp3")};
  TMusicDatabase::SortFileItems(found);
  Database.OnUpdateProgress = MakeMethod<&CatalogueTest::Progress>(this);
  ASSERT_TRUE(Database.ApplyScanResults(Known(), found));
  for (int k = 0; k < Database.TableCount(); ++k) {
    EXPECT_FALSE(Database.Tables(k).Active());
  }

  std::vector<std::string> paths;
  for (const TFileRecord& record : Files()) {
    paths.push_back(record.FilePath);
  }
  std::sort(paths.begin(), paths.end());
  // An updated file keeps its stored path; only a new checksum would make it a new record.
  EXPECT_EQ(paths,
            (std::vector<std::string>{"C:\\A\\0.mp3", "C:\\A\\2.mp3", "C:\\B\\3.mp3", "C:\\C\\5.mp3"}));
  EXPECT_EQ(Database.FindFileByPath("C:\\A\\2.mp3", ViewFolders).FileId, kept);
  EXPECT_EQ(Artists(), (std::map<std::string, std::int32_t>{{"Artist", 3}, {"Changed", 1}}));
  // Steps: add A\0, remove A\1, (A\2 unchanged), update B\3, remove B\4, add C\5; one report per
  // folder change, the percentage of found items passed (of 5).
  EXPECT_EQ(ProgressFolders, (std::vector<std::string>{"C:\\A", "c:\\b", "C:\\B", "C:\\C"}));
  EXPECT_EQ(ProgressPercents, (std::vector<std::int32_t>{0, 40, 60, 60}));
  ExpectConsistent();

  // Everything gone.
  ASSERT_TRUE(Database.ApplyScanResults(Known(), {}));
  EXPECT_EQ(FileCount(), 0);
  EXPECT_TRUE(FolderNames().empty());
  ExpectConsistent();
}

TEST_F(CatalogueTest, AnUnchangedScanDoesNothing)
{
  TMusicFileItems found;
  for (const char* path : {"C:\\A\\1.mp3", "C:\\A\\2.mp3", "C:\\B\\3.mp3"}) {
    found.push_back(Item(path));
  }
  ASSERT_TRUE(Database.ApplyScanResults({}, found));
  const std::vector<TFileRecord> before = Files();
  Database.OnUpdateProgress = MakeMethod<&CatalogueTest::Progress>(this);
  ASSERT_TRUE(Database.ApplyScanResults(Known(), found));
  EXPECT_TRUE(ProgressFolders.empty()) << ::testing::PrintToString(ProgressFolders);
  EXPECT_EQ(Files().size(), before.size());
  ExpectConsistent();
}

TMusicFileItems ManyItems(int count)
{
  TMusicFileItems items;
  for (int k = 0; k < count; ++k) {
    items.push_back(Item(Format("C:\\Music\\F%.5d\\t.mp3", k), Format("Artist %d", k % 7)));
  }
  return items;
}

TEST_F(CatalogueTest, TwoThousandFortyEightAdditionsCommitInTwoBatches)
{
  Database.OnUpdateProgress = MakeMethod<&CatalogueTest::Progress>(this);
  ObservedAt = {1023, 1024, 2047};
  ASSERT_TRUE(Database.ApplyScanResults({}, ManyItems(2048)));
  EXPECT_EQ(Observed, (std::vector<std::int32_t>{0, 1024, 1024}));
  EXPECT_EQ(CommittedFiles(), 2048);
  ASSERT_EQ(ProgressPercents.size(), 2048U);
  EXPECT_EQ(ProgressPercents[1024], 50);
  EXPECT_EQ(ProgressPercents[2047], 100);
  EXPECT_EQ(ProgressFolders[5], "C:\\Music\\F00005");
  // Each commit carries the group counts of its files, though the merge holds them back.
  EXPECT_TRUE(ObservedProblems.empty()) << ::testing::PrintToString(ObservedProblems);
  ExpectConsistent();
}

// A merge counts group references in memory and writes them before anything reads a stored
// count: a release, a commit, the end. Each case is one merge into the library as Before left it.
TEST_F(CatalogueTest, HeldBackGroupCountsMeetReleasesInOneMerge)
{
  const auto retagged = [](const char* path, const char* artist) {
    TMusicFileItem item = Item(path, artist);
    item.Size += 1;
    return item;
  };
  struct TCase {
    const char* Name;
    std::vector<TMusicFileItem> Before;
    std::vector<TMusicFileItem> Found;
    std::map<std::string, std::int32_t> Artists;
    std::map<std::string, std::string> Folders;
  };
  const TCase cases[] = {
      {"spellings of one name are one group",
       {},
       {Item("C:\\A\\1.mp3", "Abba"), Item("C:\\A\\2.mp3", "ABBA"), Item("C:\\B\\3.mp3", "abba")},
       {{"Abba", 3}},
       {{"C:\\A", "A"}, {"C:\\B", "B"}}},
      {"a group's last stored file removed between two additions",
       {Item("C:\\B\\1.mp3", "Solo")},
       {Item("C:\\A\\0.mp3", "Solo"), Item("C:\\C\\2.mp3", "Solo")},
       {{"Solo", 2}},
       {{"C:\\A", "A"}, {"C:\\C", "C"}}},
      {"a folder's stored file removed between two additions to it",
       {Item("C:\\A\\1.mp3")},
       {Item("C:\\A\\0.mp3"), Item("C:\\A\\2.mp3")},
       {{"Artist", 2}},
       {{"C:\\A", "A"}}},
      {"a retag moves the last reference of a group that is added again later",
       {Item("C:\\B\\1.mp3", "Old")},
       {Item("C:\\A\\0.mp3", "New"), retagged("C:\\B\\1.mp3", "New"), Item("C:\\C\\2.mp3", "Old")},
       {{"New", 2}, {"Old", 1}},
       {{"C:\\A", "A"}, {"C:\\B", "B"}, {"C:\\C", "C"}}},
      {"colliding folder names added in one merge",
       {},
       {Item("C:\\A\\Live\\1.mp3"), Item("C:\\A\\Live\\3.mp3"), Item("C:\\B\\Live\\2.mp3")},
       {{"Artist", 3}},
       {{"C:\\A\\Live", "A\\Live"}, {"C:\\B\\Live", "B\\Live"}}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_TRUE(Database.ApplyScanResults(Known(), {}));
    for (const TMusicFileItem& item : c.Before) {
      Database.AddFile(item);
    }
    TMusicFileItems found = c.Found;
    TMusicDatabase::SortFileItems(found);
    ASSERT_TRUE(Database.ApplyScanResults(Known(), found));
    EXPECT_EQ(Artists(), c.Artists);
    EXPECT_EQ(FolderNames(), c.Folders);
    ExpectConsistent();
  }
}

TEST_F(CatalogueTest, AFailureInTheThirdBatchKeepsTheFirstTwo)
{
  Database.OnUpdateProgress = MakeMethod<&CatalogueTest::Progress>(this);
  FailAt = 2100;
  EXPECT_FALSE(Database.ApplyScanResults({}, ManyItems(3000)));
  EXPECT_FALSE(Database.InTransaction());
  EXPECT_EQ(FileCount(), 2048);
  EXPECT_EQ(CommittedFiles(), 2048);
  ExpectConsistent();

  // The next scan picks up where this one failed.
  FailAt = SIZE_MAX;
  ASSERT_TRUE(Database.ApplyScanResults(Known(), ManyItems(3000)));
  EXPECT_EQ(FileCount(), 3000);
  ExpectConsistent();
}

TEST_F(CatalogueTest, ARandomSequenceOfChangesKeepsTheCountsRight)
{
  std::mt19937 random(20261208);
  const auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  const char* const folders[] = {"C:\\A\\Live",           "D:\\B\\Live",          "E:\\C\\Live",
                                 "C:\\Music\\Rock\\Live", "D:\\Jazz\\Rock\\Live", "C:\\Other"};
  const char* const names[] = {"Abba", "abba", "Queen", "Unknown", "", "_x"};
  std::vector<std::int32_t> ids;
  const auto randomItem = [&](const std::string& path) {
    TMusicFileItem item = Item(path, names[pick(6)], static_cast<std::uint8_t>(pick(3)));
    item.Album = names[pick(6)];
    item.Genre = names[pick(6)];
    item.Title = names[pick(6)];
    item.Year = 1990 + pick(3);
    return item;
  };
  for (int step = 0; step < 400; ++step) {
    const int action = ids.empty() ? 0 : pick(10);
    if (action < 4) {
      ids.push_back(Database.AddFile(randomItem(Format("%s\\%d.mp3", folders[pick(6)], step))));
    } else if (action < 7) {
      const std::size_t k = static_cast<std::size_t>(pick(static_cast<int>(ids.size())));
      const TFileRecord record = File(ids[k]);
      Database.UpdateFile(ids[k], randomItem(record.FilePath));
      ids[k] = Database.FindFileByPath(record.FilePath, ViewFolders).FileId;
      if (ids[k] == -1) {
        ids.erase(ids.begin() + static_cast<std::ptrdiff_t>(k));  // hidden: left alone from now on
      }
    } else if (action < 8) {
      TDbId item;
      item.ViewId = ViewFolders;
      item.GroupId = 1;
      item.FileId = ids[static_cast<std::size_t>(pick(static_cast<int>(ids.size())))];
      Database.HideItems(std::vector<TDbId>{item});
      ids.erase(std::remove(ids.begin(), ids.end(), item.FileId), ids.end());
    } else if (action < 9) {
      const std::size_t k = static_cast<std::size_t>(pick(static_cast<int>(ids.size())));
      Database.RemoveFile(ids[k]);
      ids.erase(ids.begin() + static_cast<std::ptrdiff_t>(k));
    } else {
      Database.RemoveFilesUnder({std::string(folders[pick(6)]) + "\\"});
      std::vector<std::int32_t> left;
      for (const TFileRecord& record : Files()) {
        if (record.FolderId != -1) {
          left.push_back(record.FileId);
        }
      }
      ids = left;
    }
    if (step % 40 == 0) {
      ExpectConsistent();
    }
  }
  ExpectConsistent();
  Database.RemoveFilesUnder({"C:\\", "D:\\", "E:\\"});
  EXPECT_EQ(FileCount(), 0);
  EXPECT_TRUE(FolderNames().empty());
  EXPECT_TRUE(Artists().empty());
  ExpectConsistent();
}

}  // namespace

// A path is under a folder when its first characters, as many as the folder has, equal the
// folder without regard to case; the Kelvin sign (three bytes) is a K, and k takes one byte.
TEST(PathIsUnder, ComparesAsManyCharactersAsTheFolderHas)
{
  const std::string kelvin = "\xE2\x84\xAA";
  struct TCase {
    std::string Path;
    std::string Folder;
    bool Under;
  };
  const TCase cases[] = {
      {"C:\\M\\" + kelvin + "x\\a.mp3", "C:\\M\\kx\\", true},
      {"C:\\M\\kx\\a.mp3", "C:\\M\\" + kelvin + "x\\", true},
      {"C:\\M\\KX\\a.mp3", "C:\\M\\kx\\", true},
      {"C:\\M\\kx\\", "C:\\M\\kx\\", true},
      {"C:\\M\\kx", "C:\\M\\kx\\", false},
      {"C:\\M\\" + kelvin + "x", "C:\\M\\kx\\", false},
      {"C:\\M\\kxy\\a.mp3", "C:\\M\\kx\\", false},
      {"C:\\M\\" + kelvin + "xy\\a.mp3", "C:\\M\\kx\\", false},
      {"C:\\M\\jx\\a.mp3", "C:\\M\\kx\\", false},
      {"", "C:\\", false},
      {"C:\\a.mp3", "", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PathIsUnder(c.Path, TFolderList{c.Folder}), c.Under) << c.Path << " under " << c.Folder;
  }
}
