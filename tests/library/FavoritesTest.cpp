#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "framework/OxaUtils.h"
#include "platform/files/Paths.h"
#include "tableengine/WriteFaults.h"
#include "tests/library/TestLibrary.h"

namespace {

namespace fs = std::filesystem;

// A list as its editors see it: the name and the entries' paths, in order.
struct TListContent {
  std::string Name;
  std::vector<std::string> Paths;
  bool operator==(const TListContent&) const = default;
};

void PrintTo(const TListContent& list, std::ostream* out)
{
  *out << list.Name << ::testing::PrintToString(list.Paths);
}

TDbId Group(std::int32_t masterId)
{
  TDbId id;
  id.ViewId = ViewPlaylists;
  id.GroupId = masterId;
  return id;
}

// Statements run on the library's file from outside the engine, as another program would.
void ExecuteOnFile(const std::string& databaseFile, const std::string& sql)
{
  std::string hostFile;
  ASSERT_TRUE(HostPathOf(databaseFile, hostFile));
  sqlite3* handle = nullptr;
  ASSERT_EQ(sqlite3_open(hostFile.c_str(), &handle), SQLITE_OK);
  char* message = nullptr;
  const int result = sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, &message);
  EXPECT_EQ(result, SQLITE_OK) << (message != nullptr ? message : "");
  sqlite3_free(message);
  sqlite3_close(handle);
}

class FavoritesTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(Library.Opened()); }

  std::int32_t AddTrack(const std::string& path, const std::string& title, std::uint32_t fingerprint)
  {
    TTestTrack track;
    track.Path = path;
    track.Title = title;
    track.Fingerprint = fingerprint;
    return Library.Add(track);
  }

  // A new list of these files, saved; returns its MasterId.
  std::int32_t NewList(const std::string& name, const std::vector<std::int32_t>& files)
  {
    TMusicFavoriteMastersEdit& masters = Database.EditFavoriteMasters();
    masters.Add(name, -1);
    masters.Save();
    const std::int32_t id = masters.Get(masters.Count() - 1).MasterId;
    TMusicFavoriteDetailsEdit* details = Database.EditFavoriteDetails(id);
    EXPECT_NE(details, nullptr);
    for (const std::int32_t file : files) {
      details->AddFile(file, -1);
    }
    details->Save();
    Database.FreeEditors();
    return id;
  }

  std::vector<std::string> Captions(std::int32_t masterId)
  {
    TDbIdList list;
    EXPECT_TRUE(Database.GetItems(Group(masterId), list));
    std::vector<std::string> captions;
    for (const TDbId& entry : list.Items()) {
      captions.push_back(entry.Caption);
    }
    return captions;
  }

  static std::vector<TListContent> Lists(TMusicDatabase& database)
  {
    std::vector<TListContent> lists;
    TMusicFavoriteMastersEdit& masters = database.EditFavoriteMasters();
    for (int i = 0; i < masters.Count(); ++i) {
      TListContent& list = lists.emplace_back();
      list.Name = masters.Get(i).Name;
      TMusicFavoriteDetailsEdit* details = database.EditFavoriteDetails(masters.Get(i).MasterId);
      for (int k = 0; details != nullptr && k < details->Count(); ++k) {
        list.Paths.push_back(details->Get(k).FilePath);
      }
    }
    database.FreeEditors();
    return lists;
  }

  // The lines of a string-list file and their data strings.
  std::vector<std::pair<std::string, std::string>> FileLines(const std::string& relative)
  {
    TMusicStringList list;
    list.LoadFromFile(Library.Directory() + relative);
    std::vector<std::pair<std::string, std::string>> lines;
    for (int i = 0; i < list.Count(); ++i) {
      const TMusicStringItem* item = list.Item(i);
      lines.emplace_back(list.Strings(i), item != nullptr ? item->Value : std::string());
    }
    return lines;
  }

  std::int32_t CountRows(TTable& table)
  {
    if (!table.Active()) {
      table.Open();
    }
    return table.RecordCount();
  }

  void Flush() { Database.FavoritesThread().Flush(); }

  TTestLibrary Library;
  TMusicDatabase& Database = Library.Database();
};

TEST_F(FavoritesTest, TwoSavesBeforeTheThreadRunsWriteTheFileOnceWithTheLaterContent)
{
  const std::int32_t a = AddTrack("C:\\M\\a.mp3", "A", 1);
  const std::int32_t b = AddTrack("C:\\M\\b.mp3", "B", 2);
  const std::int32_t list = NewList("Mix", {});
  Flush();
  std::atomic<int> writes = 0;
  Database.FavoritesThread().AfterFile = [&](const std::string& name) {
    if (name.ends_with("\\" + std::to_string(list) + ".oxa")) {
      ++writes;
    }
  };
  {
    TMusicFavoriteThread::THold hold(Database.FavoritesThread());
    TMusicFavoriteDetailsEdit* details = Database.EditFavoriteDetails(list);
    details->AddFile(a, -1);
    details->Save();
    details->AddFile(b, 0);
    details->Save();
    EXPECT_EQ(Database.FavoritesThread().QueuedCount(), 1);
    EXPECT_EQ(FileLines("Favorites\\" + std::to_string(list) + ".oxa").size(), 1U);
  }
  Flush();
  EXPECT_EQ(writes, 1);
  const auto lines = FileLines("Favorites\\" + std::to_string(list) + ".oxa");
  ASSERT_EQ(lines.size(), 3U);
  EXPECT_EQ(lines[0].first, "FavoriteTitles-1.0");
  // The header carries the list's name, so the file alone can bring the list back.
  EXPECT_EQ(lines[0].second, "Mix");
  EXPECT_EQ(lines[1].first, "C:\\M\\b.mp3");
  EXPECT_EQ(lines[2].first, "C:\\M\\a.mp3");
  // The fingerprint travels as its 36 raw bytes.
  ASSERT_EQ(lines[1].second.size(), 36U);
  EXPECT_EQ(lines[1].second[0], '\x02');
  EXPECT_EQ(lines[1].second[1], '\0');
  EXPECT_EQ(static_cast<unsigned char>(lines[1].second[35]), 0xA5);
  EXPECT_EQ(FileLines("Favorites\\Favorites.oxa"),
            (std::vector<std::pair<std::string, std::string>>{{"FavoriteAlbums-1.0", ""},
                                                              {"Mix", std::to_string(list)}}));
}

TEST_F(FavoritesTest, AfterARebuildListsComeBackAndFindTheirFilesOnceScanned)
{
  const TTestTrack tracks[] = {
      {"C:\\M\\one.mp3", "One", "A", "B", 2001, 1, 11},
      {"C:\\M\\two.mp3", "Two", "A", "B", 2001, 2, 12},
      {"C:\\M\\three.mp3", "Three", "A", "B", 2001, 3, 13},
  };
  std::vector<std::int32_t> files;
  for (const TTestTrack& track : tracks) {
    files.push_back(Library.Add(track));
  }
  NewList("Empty", {});
  const std::int32_t list = NewList("Three", {files[2], files[0], files[1]});
  EXPECT_EQ(Captions(list), (std::vector<std::string>{"Three", "One", "Two"}));
  Library.Crash();
  Library.Reopen();
  ASSERT_TRUE(Library.Opened());

  const std::vector<TListContent> expected{
      {"Empty", {}}, {"Three", {"C:\\M\\three.mp3", "C:\\M\\one.mp3", "C:\\M\\two.mp3"}}};
  EXPECT_EQ(Lists(Database), expected);
  TMusicFavoriteDetailsEdit* details =
      Database.EditFavoriteDetails(Database.EditFavoriteMasters().Get(1).MasterId);
  ASSERT_NE(details, nullptr);
  const std::int32_t restored = details->MasterId();
  for (int i = 0; i < details->Count(); ++i) {
    EXPECT_EQ(details->Get(i).FileId, 0);
  }
  Database.FreeEditors();
  EXPECT_EQ(Captions(restored), (std::vector<std::string>{"three (Not Available)", "one (Not Available)",
                                                          "two (Not Available)"}));
  std::int32_t file = 0;
  TDbIdList entries;
  Database.GetItems(Group(restored), entries);
  EXPECT_FALSE(Database.ResolveFileId(ViewPlaylists, entries.Get(0).FileId, file));

  for (const TTestTrack& track : tracks) {
    Library.Add(track);
  }
  EXPECT_EQ(Captions(restored), (std::vector<std::string>{"Three", "One", "Two"}));
  ASSERT_TRUE(Database.ResolveFileId(ViewPlaylists, entries.Get(0).FileId, file));
  EXPECT_EQ(Database.FindFileByPath("C:\\M\\three.mp3", ViewFolders).FileId, file);
  const TDbId item = Database.FindFileByPath("C:\\M\\one.mp3", ViewPlaylists);
  EXPECT_EQ(item.GroupId, restored);
  EXPECT_EQ(item.FileId, entries.Get(1).FileId);
  EXPECT_EQ(item.Caption, "One");
}

// A damaged or lost index does not take the lists with it: a rebuild brings back each list from
// its own file, by the name that file carries, in the order of the lists' ids.
TEST_F(FavoritesTest, WithoutAReadableIndexARebuildRestoresTheListsFromTheirOwnFiles)
{
  for (const char* index : {"damaged", "missing"}) {
    SCOPED_TRACE(index);
    // Each round starts from a library without lists or files.
    const std::int32_t a = AddTrack("C:\\M\\a.mp3", "A", 1);
    const std::int32_t b = AddTrack("C:\\M\\b.mp3", "B", 2);
    NewList("First", {b, a});
    NewList("Second", {a});
    Flush();
    Library.Crash();
    const fs::path indexFile = Library.HostPath("Favorites\\Favorites.oxa");
    if (std::string(index) == "damaged") {
      std::ofstream(indexFile, std::ios::binary | std::ios::trunc) << std::string("\x01\x00\x00\x00Q", 5);
    } else {
      fs::remove(indexFile);
    }
    Library.Reopen();
    ASSERT_TRUE(Library.Opened());
    const std::vector<TListContent> expected{{"First", {"C:\\M\\b.mp3", "C:\\M\\a.mp3"}},
                                             {"Second", {"C:\\M\\a.mp3"}}};
    EXPECT_EQ(Lists(Database), expected);
    Flush();
    EXPECT_EQ(FileLines("Favorites\\Favorites.oxa").size(), 3U);
    TMusicFavoriteMastersEdit& masters = Database.EditFavoriteMasters();
    while (masters.Count() > 0) {
      masters.Delete(0);
    }
    masters.Save();
    Database.FreeEditors();
    Flush();
    Library.Crash();
    Library.Reopen();
  }
}

TEST_F(FavoritesTest, AMovedFileKeepsItsPlaceThroughItsFingerprint)
{
  const std::int32_t first = AddTrack("C:\\M\\song.mp3", "Song", 7);
  const std::int32_t list = NewList("L", {first});
  Database.RemoveFile(first);
  const std::int32_t moved = AddTrack("C:\\N\\SONG.mp3", "Song", 7);
  EXPECT_EQ(Captions(list), (std::vector<std::string>{"Song"}));
  TMusicFavoriteDetailsEdit* details = Database.EditFavoriteDetails(list);
  EXPECT_EQ(details->Get(0).FilePath, "C:\\N\\SONG.mp3");
  EXPECT_EQ(details->Get(0).FileId, moved);
  Database.FreeEditors();
}

TEST_F(FavoritesTest, ARenamedFileKeepsItsPlaceThroughItsFingerprint)
{
  const std::int32_t first = AddTrack("C:\\M\\old name.mp3", "Song", 7);
  const std::int32_t other = AddTrack("C:\\M\\other.mp3", "Other", 8);
  const std::int32_t list = NewList("L", {other, first});
  Database.RemoveFile(first);
  EXPECT_EQ(Captions(list), (std::vector<std::string>{"Other", "old name (Not Available)"}));
  // The same audio under another name in another folder is another file: the entry waits.
  const std::int32_t copy = AddTrack("C:\\N\\copy.mp3", "Copy", 7);
  EXPECT_EQ(Captions(list), (std::vector<std::string>{"Other", "old name (Not Available)"}));
  Database.RemoveFile(copy);
  const std::int32_t moved = AddTrack("C:\\M\\new name.mp3", "Song", 7);
  EXPECT_EQ(Captions(list), (std::vector<std::string>{"Other", "Song"}));
  TMusicFavoriteDetailsEdit* details = Database.EditFavoriteDetails(list);
  EXPECT_EQ(details->Get(1).FilePath, "C:\\M\\new name.mp3");
  EXPECT_EQ(details->Get(1).FileId, moved);

  // The entry's item is its file in the Folders view; from the Albums view the nearest entry.
  TDbIdList items;
  TDbId entry = Group(list);
  entry.FileId = details->Get(1).DetailId;
  ASSERT_TRUE(Database.GetItems(entry, items));
  ASSERT_EQ(items.Count(), 1);
  EXPECT_EQ(items.Get(0).ViewId, ViewFolders);
  EXPECT_EQ(items.Get(0).FileId, moved);
  EXPECT_EQ(Database.GetCaption(entry), "Song");
  const TDbId fromAlbums = Database.FindFileByPath("C:\\M\\new name.mp3", ViewAlbums);
  const TDbId nearest = Database.ItemInView(fromAlbums, ViewPlaylists);
  EXPECT_EQ(nearest.GroupId, list);
  EXPECT_EQ(nearest.FileId, entry.FileId);
  EXPECT_EQ(nearest.Caption, "L");
  EXPECT_EQ(Database.ItemInView(entry, ViewAlbums).FileId, moved);
}

TEST_F(FavoritesTest, DeletingAListRemovesItsEntriesAndQueuesItsFileForDeletion)
{
  const std::int32_t a = AddTrack("C:\\M\\a.mp3", "A", 1);
  const std::int32_t kept = NewList("Kept", {a});
  const std::int32_t gone = NewList("Gone", {a, a});
  Flush();
  const fs::path goneFile = Library.HostPath("Favorites\\" + std::to_string(gone) + ".oxa");
  ASSERT_TRUE(fs::exists(goneFile));
  EXPECT_EQ(CountRows(Database.Tables(18)), 3);
  {
    TMusicFavoriteThread::THold hold(Database.FavoritesThread());
    TMusicFavoriteMastersEdit& masters = Database.EditFavoriteMasters();
    TMusicFavoriteDetailsEdit* details = Database.EditFavoriteDetails(gone);
    ASSERT_NE(details, nullptr);
    try {
      masters.Delete(masters.IndexOf(gone));
      ADD_FAILURE() << "a list being edited was deleted";
    } catch (const EOxaFatal& error) {
      EXPECT_EQ(error.Message(),
                "TMusicFavoriteMastersEdit.Delete: It is not allowed to delete a master when it's "
                "details are beeing edited");
    }
    Database.FreeEditors();
    TMusicFavoriteMastersEdit& again = Database.EditFavoriteMasters();
    again.Delete(again.IndexOf(gone));
    again.Save();
    EXPECT_EQ(CountRows(Database.Tables(18)), 1);
    EXPECT_EQ(CountRows(Database.Tables(17)), 1);
    EXPECT_EQ(Database.FavoritesThread().QueuedCount(), 2);
    EXPECT_TRUE(fs::exists(goneFile));
  }
  Flush();
  EXPECT_FALSE(fs::exists(goneFile));
  EXPECT_EQ(FileLines("Favorites\\Favorites.oxa").size(), 2U);
  EXPECT_EQ(Database.EditFavoriteDetails(gone), nullptr);
  EXPECT_EQ(Captions(kept), std::vector<std::string>{"A"});
}

TEST_F(FavoritesTest, EditorsLoadEqualSequencesInTheOrderTheyWereStored)
{
  const std::int32_t list = NewList("L", {});
  const std::string database = Database.FileName();
  // Sequences as another program or a damaged library may leave them: repeated, out of range,
  // huge. A stored Sequence never sizes anything.
  const std::pair<const char*, std::int32_t> stored[] = {
      {"C:\\e.mp3", 2}, {"C:\\a.mp3", 1},  {"C:\\b.mp3", 1}, {"C:\\f.mp3", 2147483647},
      {"C:\\c.mp3", 1}, {"C:\\z.mp3", -5}, {"C:\\d.mp3", 2},
  };
  std::string sql;
  for (const auto& [path, sequence] : stored) {
    sql += "INSERT INTO MusicFavoriteDetails (MasterId, FileId, FilePath, FileChecksum, Sequence) VALUES (" +
           std::to_string(list) + ", 0, '" + path + "', zeroblob(36), " + std::to_string(sequence) + ");";
  }
  Database.CloseAllTables();
  ExecuteOnFile(database, sql);
  TMusicFavoriteDetailsEdit* details = Database.EditFavoriteDetails(list);
  std::vector<std::string> order;
  for (int i = 0; i < details->Count(); ++i) {
    order.push_back(details->Get(i).FilePath);
  }
  EXPECT_EQ(order, (std::vector<std::string>{"C:\\z.mp3", "C:\\a.mp3", "C:\\b.mp3", "C:\\c.mp3", "C:\\e.mp3",
                                             "C:\\d.mp3", "C:\\f.mp3"}));
  // Saved, they take consecutive places.
  details->Save();
  Database.FreeEditors();
  std::vector<std::int32_t> sequences;
  TFavoriteDetailsTable rows(Database);
  rows.Open();
  for (rows.First(); !rows.Eof(); rows.Next()) {
    sequences.push_back(rows.Sequence->AsInteger());
  }
  EXPECT_EQ(sequences, (std::vector<std::int32_t>{5, 2, 3, 7, 4, 1, 6}));
}

TEST_F(FavoritesTest, EditorMisuseAndLookUps)
{
  const auto message = [](auto&& call) {
    try {
      call();
    } catch (const EOxaFatal& error) {
      return error.Message();
    }
    return std::string();
  };
  EXPECT_EQ(
      message([&] { Database.EditFavoriteDetails(-1); }),
      "TMusicFavoriteDetailsEdit.Create: It is not allowed to edit a detail when it's master has not been "
      "stored in the database");
  EXPECT_EQ(Database.EditFavoriteDetails(42), nullptr);
  const std::int32_t list = NewList("L", {});
  EXPECT_EQ(Database.EditFavoriteDetails(list), Database.EditFavoriteDetails(list));
  EXPECT_EQ(&Database.EditFavoriteMasters(), &Database.EditFavoriteMasters());

  TDbId playlists;
  playlists.ViewId = ViewPlaylists;
  TDbId album;
  album.ViewId = ViewAlbums;
  album.FileId = 3;
  const struct {
    TDbId From;
    TDbId To;
    const char* Message;
  } nearest[] = {
      {playlists, album, "TMusicDatabase.FindNearestFavorite: ToView must be favorite view"},
      {TDbId(), playlists, "TMusicDatabase.FindNearestFavorite: FromView is not vaild"},
      {playlists, Group(list), ""},
  };
  for (const auto& c : nearest) {
    EXPECT_EQ(message([&] { Database.FindNearestFavorite(c.From, c.To); }), c.Message);
  }
  TDbId invalidTo = playlists;
  invalidTo.FileId = 5;
  EXPECT_EQ(message([&] { Database.FindNearestFavorite(playlists, invalidTo); }),
            "TMusicDatabase.FindNearestFavorite: ToView is not valid");

  TMusicFavoriteMastersEdit& masters = Database.EditFavoriteMasters();
  EXPECT_THROW(masters.Get(1), EListError);
  EXPECT_THROW(masters.Add("x", 3), EListError);
  masters.Add("First", 0);
  EXPECT_EQ(masters.Get(0).Name, "First");
  EXPECT_EQ(masters.IndexOf(list), 1);
  EXPECT_EQ(masters.IndexOf(-7), -1);
  // Unsaved, a new list discards without a trace.
  masters.Delete(0);
  masters.Modified = true;
  Database.SaveModifiedEditors();
  EXPECT_FALSE(masters.Modified);
}

TEST_F(FavoritesTest, AFailedSaveQueuesNoFileAndLeavesNoTransactionOpen)
{
  const std::int32_t a = AddTrack("C:\\M\\a.mp3", "A", 1);
  const std::int32_t list = NewList("L", {a});
  const std::int32_t doomed = NewList("Doomed", {});
  Flush();
  // No read of the engine may stay open across another connection's write.
  Database.CloseAllTables();
  ExecuteOnFile(
      Database.FileName(),
      "CREATE TRIGGER RefuseDetails BEFORE INSERT ON MusicFavoriteDetails BEGIN SELECT RAISE(ABORT, "
      "'refused'); END;"
      "CREATE TRIGGER RefuseMasters BEFORE INSERT ON MusicFavoriteMaster BEGIN SELECT RAISE(ABORT, "
      "'refused'); END;");
  TMusicFavoriteThread::THold hold(Database.FavoritesThread());
  TMusicFavoriteDetailsEdit* details = Database.EditFavoriteDetails(list);
  details->Delete(0);
  details->AddFile(a, -1);
  details->AddFile(a, -1);
  details->Modified = true;
  EXPECT_THROW(details->Save(), ESqliteError);
  EXPECT_FALSE(Database.InTransaction());
  EXPECT_TRUE(details->Modified);
  EXPECT_EQ(details->Get(0).DetailId, -1);

  TMusicFavoriteMastersEdit& masters = Database.EditFavoriteMasters();
  masters.Delete(masters.IndexOf(doomed));
  masters.Add("New", -1);
  EXPECT_THROW(masters.Save(), ESqliteError);
  EXPECT_FALSE(Database.InTransaction());
  EXPECT_EQ(Database.FavoritesThread().QueuedCount(), 0);
  EXPECT_EQ(CountRows(Database.Tables(17)), 2);
  EXPECT_EQ(Captions(list), std::vector<std::string>{"A"});

  // Once the writes go through again, the same editors save what they held.
  Database.CloseAllTables();
  ExecuteOnFile(Database.FileName(), "DROP TRIGGER RefuseDetails; DROP TRIGGER RefuseMasters;");
  details->Save();
  masters.Save();
  EXPECT_EQ(Captions(list), (std::vector<std::string>{"A", "A"}));
  EXPECT_EQ(CountRows(Database.Tables(18)), 2);
  EXPECT_EQ(masters.Count(), 2);
  EXPECT_EQ(masters.Get(1).Name, "New");
  EXPECT_NE(masters.Get(1).MasterId, -1);
  EXPECT_EQ(Database.FavoritesThread().QueuedCount(), 3);
}

// Every write of a save made to fail in turn, the commit last: each failure leaves the tables,
// the files and the editor as they were.
TEST_F(FavoritesTest, ASaveFailingAtAnyWriteOrAtItsCommitLeavesNothingBehind)
{
  const std::int32_t a = AddTrack("C:\\M\\a.mp3", "A", 1);
  const std::int32_t b = AddTrack("C:\\M\\b.mp3", "B", 2);
  const std::int32_t list = NewList("L", {a});
  NewList("Other", {});
  Flush();
  const std::vector<TListContent> before = Lists(Database);
  struct TCase {
    const char* Name;
    std::function<void()> Change;
    std::function<void()> Save;
    std::vector<TListContent> After;
  };
  const TCase cases[] = {
      {"entries",
       [&] {
         TMusicFavoriteDetailsEdit* details = Database.EditFavoriteDetails(list);
         details->Delete(0);
         details->AddFile(b, -1);
         details->AddFile(a, -1);
         details->Modified = true;
       },
       [&] { Database.SaveModifiedEditors(); },
       {{"L", {"C:\\M\\b.mp3", "C:\\M\\a.mp3"}}, {"Other", {}}}},
      {"lists",
       [&] {
         TMusicFavoriteMastersEdit& masters = Database.EditFavoriteMasters();
         masters.Delete(0);
         masters.Add("New", 0);
         masters.Rename(1, "Renamed");
         masters.Modified = true;
       },
       [&] { Database.SaveModifiedEditors(); },
       {{"New", {}}, {"Renamed", {}}}},
  };
  std::vector<TListContent> expected = before;
  for (const TCase& c : cases) {
    std::uint32_t n = 1;
    for (;; ++n) {
      TMusicFavoriteThread::THold hold(Database.FavoritesThread());
      c.Change();
      FailNthTableWrite(n);
      bool failed = false;
      try {
        c.Save();
      } catch (const ESqliteError&) {
        failed = true;
      }
      FailNthTableWrite(0);
      if (!failed) {
        break;
      }
      EXPECT_FALSE(Database.InTransaction()) << c.Name << " " << n;
      EXPECT_EQ(Database.FavoritesThread().QueuedCount(), 0) << c.Name << " " << n;
      TMusicFavoriteMastersEdit& masters = Database.EditFavoriteMasters();
      EXPECT_TRUE(masters.Modified || Database.EditFavoriteDetails(list)->Modified) << c.Name << " " << n;
      Database.FreeEditors();
      EXPECT_EQ(Lists(Database), expected) << c.Name << " " << n;
    }
    EXPECT_GT(n, 3U) << c.Name;
    Database.FreeEditors();
    Flush();
    expected = c.After;
    EXPECT_EQ(Lists(Database), expected) << c.Name;
  }
  EXPECT_FALSE(fs::exists(Library.HostPath("Favorites\\" + std::to_string(list) + ".oxa")));
}

// The albums another program leaves in "Recorded\".
class RecordedAlbumsTest : public FavoritesTest {
 protected:
  void Write(const std::string& name, std::vector<std::pair<std::string, std::string>> lines)
  {
    TMusicStringList list;
    for (auto& [text, data] : lines) {
      list.AddObject(text, std::make_unique<TMusicStringItem>(data).release());
    }
    list.SaveToFile(Database.RecordedFolder() + name);
  }
};

TEST_F(RecordedAlbumsTest, ADropFolderAlbumBecomesAListAfterItsFilesAreImported)
{
  const std::string fingerprint(
      reinterpret_cast<const char*>(TTestLibrary::Item({"", "", "", "", 0, 0, 21}).Checksum.data()), 36);
  Write("Favorites.oxa", {{"FavoriteAlbums-1.0", ""},
                          {"Live Tape", "7"},
                          {"Escape", "..\\Favorites\\Favorites"},
                          {"Missing", "8"},
                          {"Foreign", "9"},
                          {"Signed", "-3"},
                          {"Huge", "99999999999"}});
  Write("7.oxa",
        {{"FavoriteTitles-1.0", ""}, {"C:\\Rec\\one.mp3", fingerprint}, {"C:\\Rec\\two.mp3", "short"}});
  Write("9.oxa", {{"SomethingElse-1.0", ""}, {"C:\\Rec\\x.mp3", ""}});
  std::vector<std::string> paths;
  Database.CollectRecordedAlbums(paths);
  EXPECT_EQ(paths, (std::vector<std::string>{"C:\\Rec\\one.mp3", "C:\\Rec\\two.mp3"}));
  // Nothing is deleted before the albums are lists.
  EXPECT_TRUE(fs::exists(Library.HostPath("Recorded\\7.oxa")));

  AddTrack("C:\\Rec\\one.mp3", "One", 21);
  Database.ImportRecordedAlbums();
  Flush();
  const std::vector<TListContent> expected{{"Live Tape", {"C:\\Rec\\one.mp3", "C:\\Rec\\two.mp3"}}};
  EXPECT_EQ(Lists(Database), expected);
  EXPECT_EQ(Captions(Database.EditFavoriteMasters().Get(0).MasterId),
            (std::vector<std::string>{"One", "two (Not Available)"}));
  Database.FreeEditors();
  for (const char* name : {"Favorites.oxa", "7.oxa", "9.oxa"}) {
    EXPECT_FALSE(fs::exists(Library.HostPath(std::string("Recorded\\") + name))) << name;
  }
  EXPECT_TRUE(fs::exists(Library.HostPath("Favorites\\Favorites.oxa")));

  // A second drop of the same album adds to its list.
  Write("Favorites.oxa", {{"FavoriteAlbums-1.0", ""}, {"LIVE TAPE", "3"}});
  Write("3.oxa", {{"FavoriteTitles-1.0", ""}, {"C:\\Rec\\three.mp3", ""}});
  paths.clear();
  Database.CollectRecordedAlbums(paths);
  Database.ImportRecordedAlbums();
  EXPECT_EQ(Lists(Database),
            (std::vector<TListContent>{
                {"Live Tape", {"C:\\Rec\\one.mp3", "C:\\Rec\\two.mp3", "C:\\Rec\\three.mp3"}}}));
}

TEST_F(RecordedAlbumsTest, ADamagedIndexImportsNothingAndKeepsItsFiles)
{
  Write("Favorites.oxa", {{"FavoriteTitles-1.0", ""}, {"Album", "1"}});
  Write("1.oxa", {{"FavoriteTitles-1.0", ""}, {"C:\\Rec\\one.mp3", ""}});
  std::vector<std::string> paths;
  Database.CollectRecordedAlbums(paths);
  Database.ImportRecordedAlbums();
  Flush();
  EXPECT_TRUE(paths.empty());
  EXPECT_TRUE(Lists(Database).empty());
  EXPECT_TRUE(fs::exists(Library.HostPath("Recorded\\1.oxa")));
}

// Every state the favorites folder passes through while the lists are restored: a process
// that ends at any of them (files are replaced whole, so between two files is where it can end)
// leaves files from which the next rebuild restores every list.
TEST_F(FavoritesTest, RestoringLosesNoListWhereverItIsInterrupted)
{
  std::vector<std::int32_t> files;
  for (std::uint32_t k = 0; k < 6; ++k) {
    files.push_back(AddTrack("C:\\M\\" + std::to_string(k) + ".mp3", "T" + std::to_string(k), 100 + k));
  }
  // Lists 2, 3 and 4 in this order: after the rebuild they get 1, 2 and 3, so the new files of
  // two lists take the old names of others.
  NewList("X", {files[0]});
  NewList("Y", {files[1], files[2]});
  NewList("Z", {files[3]});
  TMusicFavoriteMastersEdit& masters = Database.EditFavoriteMasters();
  masters.Delete(0);
  masters.Save();
  Database.FreeEditors();
  NewList("W", {files[4], files[5], files[0]});
  const std::vector<TListContent> expected = Lists(Database);
  ASSERT_EQ(expected.size(), 3U);
  ASSERT_EQ(expected[0].Name, "Y");
  ASSERT_EQ(expected[2].Paths.size(), 3U);

  Library.Crash();
  const fs::path folder = Library.HostPath("Favorites");
  std::vector<fs::path> states;
  const auto snapshot = [&] {
    const fs::path copy = Library.Folder() / ("state" + std::to_string(states.size()));
    fs::copy(folder, copy);
    states.push_back(copy);
  };
  snapshot();
  Database.FavoritesThread().AfterFile = [&](const std::string&) { snapshot(); };
  Library.Reopen();
  Flush();
  Database.FavoritesThread().AfterFile = nullptr;
  EXPECT_EQ(Lists(Database), expected);
  ASSERT_GT(states.size(), 5U);

  for (const fs::path& state : states) {
    TTestLibrary next;
    next.Database().SetConnected(false);
    fs::remove(next.HostPath("OxaMediaDatabase.oxa"));
    fs::copy(state, next.HostPath("Favorites"));
    ASSERT_TRUE(OpenLibrary(next.Database()));
    EXPECT_EQ(Lists(next.Database()), expected) << state.filename();
  }
}

}  // namespace
