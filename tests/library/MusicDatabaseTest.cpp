#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "framework/OxaUtils.h"
#include "library/MusicDatabase.h"
#include "platform/core/FaultInjection.h"
#include "platform/files/Files.h"
#include "platform/files/Paths.h"
#include "tableengine/WriteFaults.h"
#include "tests/support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

const std::vector<std::string> TableNames{
    "MusicFiles", "MusicFolders", "MusicRenameFolders", "MusicArtists",        "MusicAlbums",
    "MusicYears", "MusicLetters", "MusicGenre",         "MusicFavoriteMaster", "MusicFavoriteDetails",
};

std::string Content(const fs::path& file)
{
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class MusicDatabaseTest : public ::testing::Test {
 protected:
  MusicDatabaseTest()
  {
    Host = Folder.Path() / "Library";
    Directory = WindowsPathOf(Host.string()) + "\\";
    Database.SetDirectory(Directory);
  }

  std::set<std::string> FilesInLibrary() const
  {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(Host)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

  // Adds one file record through the primary cursor of "MusicFiles"; returns its id.
  std::int32_t AddFileRecord(const std::string& path)
  {
    TTable& files = Database.Tables(0);
    files.Open();
    files.Insert();
    files.FieldByName("FilePath").SetAsString(path);
    files.Post();
    const std::int32_t id = files.FieldByName("FileId").AsInteger();
    files.Close();
    return id;
  }

  std::int32_t FileRecordCount()
  {
    TTable& files = Database.Tables(0);
    files.Open();
    const std::int32_t count = files.RecordCount();
    files.Close();
    return count;
  }

  TTempMachine Machine;
  TTempFolder Folder;
  fs::path Host;
  std::string Directory;
  TMusicDatabase Database{nullptr};
};

TEST_F(MusicDatabaseTest, AnEmptyDirectoryIsCreatedIntoTenTablesAndTheOpenStamp)
{
  EXPECT_FALSE(Database.TryOpen());
  ASSERT_TRUE(OpenLibrary(Database));
  EXPECT_TRUE(Database.Connected());
  EXPECT_EQ(Content(Host / "OxaMediaDatabase.oxa"), "OxaMediaDatabase-2.4-DBISAM-Open");
  for (const auto& name : TableNames) {
    EXPECT_TRUE(Database.TableExists(name)) << name;
  }
  ASSERT_EQ(Database.TableCount(), 20);
  ASSERT_TRUE(Database.OpenAllTables());
  for (int i = 0; i < Database.TableCount(); ++i) {
    EXPECT_EQ(Database.Tables(i).RecordCount(), 0) << i;
  }
  Database.CloseAllTables();
  EXPECT_EQ(AddFileRecord("C:\\Music\\a.mp3"), 1);
  EXPECT_TRUE(OpenLibrary(Database));  // already connected: nothing changes
  EXPECT_EQ(FileRecordCount(), 1);
}

TEST_F(MusicDatabaseTest, ANormalCloseLeavesTheClosedStampAndTheLibraryOpensAgain)
{
  ASSERT_TRUE(OpenLibrary(Database));
  AddFileRecord("C:\\Music\\a.mp3");
  Database.SetConnected(false);
  EXPECT_EQ(Content(Host / "OxaMediaDatabase.oxa"), "OxaMediaDatabase-2.4-DBISAM");
  EXPECT_EQ(fs::file_size(Host / "OxaMediaDatabase.oxa"), 27U);
  EXPECT_EQ(FilesInLibrary(),
            (std::set<std::string>{"MUSIC.DAT", "OxaMediaDatabase.lck", "OxaMediaDatabase.oxa"}));

  TMusicDatabase again(nullptr);
  again.SetDirectory(Directory);
  ASSERT_TRUE(again.TryOpen());
  EXPECT_TRUE(again.Connected());
  TTable& files = again.Tables(1);
  files.Open();
  EXPECT_EQ(files.IndexName(), "PathIndex");
  EXPECT_TRUE(files.FindKey("c:\\MUSIC\\A.MP3"));
  again.SetConnected(false);
}

TEST_F(MusicDatabaseTest, ABadStampOrBadTablesLeadToARebuildThatKeepsTheFavorites)
{
  enum class TDatabaseFile { Kept, Removed, Damaged };
  struct TCase {
    const char* What;
    const char* Stamp;  // null: no stamp file
    TDatabaseFile Database;
  };
  const std::vector<TCase> cases{
      {"left open by a crash", "OxaMediaDatabase-2.4-DBISAM-Open", TDatabaseFile::Kept},
      {"a line end after the stamp", "OxaMediaDatabase-2.4-DBISAM\r\n", TDatabaseFile::Kept},
      {"no stamp", nullptr, TDatabaseFile::Kept},
      {"a foreign stamp", "OxaMediaDatabase-2.3-DBISAM", TDatabaseFile::Kept},
      {"the stamp without the tables", "OxaMediaDatabase-2.4-DBISAM", TDatabaseFile::Removed},
      {"the stamp with a damaged database", "OxaMediaDatabase-2.4-DBISAM", TDatabaseFile::Damaged},
  };
  const std::vector<std::string> foreign{"OLD.DB",        "OLD.VAL",      "OLD.PX",     "OLD.XG0",
                                         "OLD.YG1",       "OLD.IDX",      ".hidden.DB", "MUSIC.DAT-journal",
                                         "MUSIC.DAT-wal", "MUSIC.DAT-shm"};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    ASSERT_TRUE(OpenLibrary(Database));
    AddFileRecord("C:\\Music\\a.mp3");
    Database.SetConnected(false);
    if (c.Database == TDatabaseFile::Removed) {
      fs::remove(Host / "MUSIC.DAT");
    } else if (c.Database == TDatabaseFile::Damaged) {
      Folder.WriteFile("Library/MUSIC.DAT", std::string(8192, 'x'));
    }
    if (c.Stamp == nullptr) {
      fs::remove(Host / "OxaMediaDatabase.oxa");
    } else {
      Folder.WriteFile("Library/OxaMediaDatabase.oxa", c.Stamp);
    }
    for (const auto& name : foreign) {
      Folder.WriteFile("Library/" + name, "old");
    }
    Folder.WriteFile("Library/Favorites/Favorites.oxa", "lists");
    Folder.WriteFile("Library/Favorites/1.oxa", "titles");
    fs::create_directories(Host / "Kept.DAT");

    TMusicDatabase reopened(nullptr);
    reopened.SetDirectory(Directory);
    ASSERT_TRUE(OpenLibrary(reopened));
    TTable& files = reopened.Tables(0);
    files.Open();
    EXPECT_EQ(files.RecordCount(), 0);
    files.Close();
    reopened.SetConnected(false);
    EXPECT_EQ(FilesInLibrary(), (std::set<std::string>{"Favorites", "Kept.DAT", "MUSIC.DAT",
                                                       "OxaMediaDatabase.lck", "OxaMediaDatabase.oxa"}));
    EXPECT_EQ(Content(Host / "Favorites" / "Favorites.oxa"), "lists");
    EXPECT_EQ(Content(Host / "Favorites" / "1.oxa"), "titles");
    fs::remove(Host / "Kept.DAT");
  }
}

TEST_F(MusicDatabaseTest, AFileThatCannotBeDeletedStopsTheCleanUpAndTheOpen)
{
  Folder.WriteFile("Library/OxaMediaDatabase.oxa", "foreign");
  Folder.WriteFile("Library/LOCKED.DB", "old");
  Folder.WriteFile("Library/LATER.DAT", "old");
  const std::string locked = Directory + "LOCKED.DB";
  ASSERT_NE(SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY), FALSE);
  EXPECT_FALSE(OpenLibrary(Database));
  EXPECT_FALSE(Database.Connected());
  EXPECT_FALSE(fs::exists(Host / "OxaMediaDatabase.oxa"));
  EXPECT_TRUE(fs::exists(Host / "LATER.DAT"));  // the masks after the failed one are not tried
  SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(OpenLibrary(Database));
  EXPECT_FALSE(fs::exists(Host / "LATER.DAT"));
  Database.SetConnected(false);
}

TEST_F(MusicDatabaseTest, AStampThatCannotBeWrittenFailsWithoutDamagingTheOldOne)
{
  ASSERT_TRUE(OpenLibrary(Database));
  Database.SetConnected(false);
  // The stamp is written beside itself and renamed into place; a folder in the way of the
  // temporary file makes every write fail.
  fs::create_directories(Host / "OxaMediaDatabase.oxa.tmp");
  try {
    Database.SetConnected(true);
    FAIL() << "connected without writing the open stamp";
  } catch (const EOxaFatal& e) {
    EXPECT_EQ(e.Message(), "Failed to save database version");
  }
  EXPECT_FALSE(Database.Connected());
  EXPECT_EQ(Content(Host / "OxaMediaDatabase.oxa"), "OxaMediaDatabase-2.4-DBISAM");
  EXPECT_FALSE(Database.TryOpen());
  EXPECT_EQ(Content(Host / "OxaMediaDatabase.oxa"), "OxaMediaDatabase-2.4-DBISAM");
  // The library is whole: a stamp that cannot be written now is no reason to rebuild it.
  std::set<std::string> before;
  for (const auto& entry : fs::directory_iterator(Host)) {
    before.insert(entry.path().filename().string());
  }
  EXPECT_FALSE(OpenLibrary(Database));
  EXPECT_FALSE(Database.Connected());
  std::set<std::string> after;
  for (const auto& entry : fs::directory_iterator(Host)) {
    after.insert(entry.path().filename().string());
  }
  EXPECT_EQ(after, before);
  EXPECT_GE(after.size(), 3U);  // the tables, the stamp and the folder in the way

  Folder.WriteFile("Library/OxaMediaDatabase.oxa", "OxaMediaDatabase-2.4-DBISAM-Open");
  EXPECT_FALSE(OpenLibrary(Database));
  EXPECT_FALSE(Database.Connected());
  fs::remove(Host / "OxaMediaDatabase.oxa.tmp");
  EXPECT_TRUE(OpenLibrary(Database));
  Database.SetConnected(false);
}

TEST_F(MusicDatabaseTest, ALibraryAnotherHolderHasOpenIsNeitherOpenedNorRebuilt)
{
  ASSERT_TRUE(OpenLibrary(Database));
  AddFileRecord("C:\\Music\\a.mp3");

  TMusicDatabase second(nullptr);
  second.SetDirectory(Directory);
  second.SetLockWait(0);
  EXPECT_FALSE(OpenLibrary(second));
  EXPECT_EQ(second.OpenFailure(), TLibraryFailure::InUse);
  EXPECT_NE(second.OpenFailureText().find("in use by another process"), std::string::npos);
  EXPECT_FALSE(second.TryOpen());
  EXPECT_EQ(second.OpenFailure(), TLibraryFailure::InUse);
  EXPECT_FALSE(second.CreateLibrary());
  EXPECT_FALSE(second.DeleteLibrary());
  EXPECT_THROW(second.SetConnected(true), EOxaFailed);
  EXPECT_FALSE(second.Connected());
  EXPECT_EQ(Content(Host / "OxaMediaDatabase.oxa"), "OxaMediaDatabase-2.4-DBISAM-Open");
  EXPECT_EQ(FileRecordCount(), 1);

  Database.SetConnected(false);
  ASSERT_TRUE(OpenLibrary(second));
  TTable& files = second.Tables(0);
  files.Open();
  EXPECT_EQ(files.RecordCount(), 1);
  files.Close();
  // Now the first one waits its turn.
  Database.SetLockWait(0);
  EXPECT_FALSE(OpenLibrary(Database));
  EXPECT_EQ(Database.OpenFailure(), TLibraryFailure::InUse);
  second.SetConnected(false);
  EXPECT_FALSE(second.Locked());
  EXPECT_TRUE(OpenLibrary(Database));
  Database.SetConnected(false);
}

TEST_F(MusicDatabaseTest, ALibraryTheStorageRefusesNowIsKeptAndNeverRebuilt)
{
  // Things in the way of SQLite's files stand for a disk that refuses them (full, or not ours):
  // the library behind them is whole and must be there when the obstacle goes.
  const std::vector<const char*> obstacles{"MUSIC.DAT-wal"};
  for (const char* obstacle : obstacles) {
    SCOPED_TRACE(obstacle);
    ASSERT_TRUE(OpenLibrary(Database));
    if (FileRecordCount() == 0) {
      AddFileRecord("C:\\Music\\a.mp3");
    }
    Database.SetConnected(false);
    fs::create_directories(Host / obstacle);

    EXPECT_FALSE(OpenLibrary(Database));
    EXPECT_EQ(Database.OpenFailure(), TLibraryFailure::Unavailable);
    EXPECT_FALSE(Database.OpenFailureText().empty());
    EXPECT_FALSE(Database.Connected());
    EXPECT_FALSE(Database.Locked());
    EXPECT_EQ(Content(Host / "OxaMediaDatabase.oxa"), "OxaMediaDatabase-2.4-DBISAM");
    EXPECT_TRUE(fs::exists(Host / "MUSIC.DAT"));

    fs::remove(Host / obstacle);
    ASSERT_TRUE(OpenLibrary(Database));
    EXPECT_EQ(FileRecordCount(), 1);
    Database.SetConnected(false);
  }
}

TEST_F(MusicDatabaseTest, AFolderWhereTheDatabaseFileBelongsFailsTheOpenWithoutThrowing)
{
  for (const char* stamp : {"OxaMediaDatabase-2.4-DBISAM", "OxaMediaDatabase-2.4-DBISAM-Open"}) {
    SCOPED_TRACE(stamp);
    fs::create_directories(Host / "MUSIC.DAT");
    Folder.WriteFile("Library/OxaMediaDatabase.oxa", stamp);
    bool opened = true;
    EXPECT_NO_THROW(opened = OpenLibrary(Database));
    EXPECT_FALSE(opened);
    EXPECT_NE(Database.OpenFailure(), TLibraryFailure::None);
    EXPECT_FALSE(Database.OpenFailureText().empty());
    EXPECT_FALSE(Database.Connected());
    EXPECT_FALSE(Database.Locked());
    EXPECT_TRUE(fs::is_directory(Host / "MUSIC.DAT"));
    fs::remove_all(Host / "MUSIC.DAT");
  }
  EXPECT_TRUE(OpenLibrary(Database));
  Database.SetConnected(false);
}

TEST_F(MusicDatabaseTest, ARebuildTheDiskCannotHoldFailsWithoutThrowingAndIsDoneAgainNextTime)
{
  Folder.WriteFile("Library/Favorites/Favorites.oxa", "lists");
  // Every write of the rebuild fails in turn, as on a disk that fills up halfway.
  for (std::uint32_t n = 1;; ++n) {
    SCOPED_TRACE(n);
    Folder.WriteFile("Library/OxaMediaDatabase.oxa", "OxaMediaDatabase-2.4-DBISAM-Open");
    FailNthTableWrite(n);
    bool opened = false;
    EXPECT_NO_THROW(opened = OpenLibrary(Database));
    const std::uint32_t made = CountedTableWrites();
    FailNthTableWrite(0);
    if (opened) {
      EXPECT_LT(made, n);
      Database.SetConnected(false);
      break;
    }
    EXPECT_EQ(Database.OpenFailure(), TLibraryFailure::NotCreated);
    EXPECT_NE(Database.OpenFailureText().find("cannot create a library"), std::string::npos);
    EXPECT_FALSE(Database.Connected());
    EXPECT_FALSE(Database.Locked());
    // The next start finds a library to rebuild again, not a half-made one taken for sound.
    ASSERT_TRUE(OpenLibrary(Database));
    for (const auto& name : TableNames) {
      EXPECT_TRUE(Database.TableExists(name)) << name;
    }
    Database.SetConnected(false);
    ASSERT_LT(n, 200U);
  }
  EXPECT_EQ(Content(Host / "Favorites" / "Favorites.oxa"), "lists");
}

TEST_F(MusicDatabaseTest, AFullDiskAtTheCloseStillClosesTheStamp)
{
  // The closed stamp is written beside the open one and renamed over it; each of those calls
  // failing in turn (no room for a new file) must still leave the library closed, or the next
  // start would throw it away.
  ASSERT_TRUE(OpenLibrary(Database));
  AddFileRecord("C:\\Music\\a.mp3");
  Database.SetConnected(false);
  for (std::uint32_t n = 1; n <= 12; ++n) {
    SCOPED_TRACE(n);
    ASSERT_TRUE(OpenLibrary(Database));
    FailNthPlatformCall(n);
    Database.SetConnected(false);
    FailNthPlatformCall(0);
    EXPECT_EQ(Content(Host / "OxaMediaDatabase.oxa"), "OxaMediaDatabase-2.4-DBISAM");
    EXPECT_FALSE(fs::exists(Host / "OxaMediaDatabase.oxa.tmp"));
    ASSERT_TRUE(Database.TryOpen());
    EXPECT_EQ(FileRecordCount(), 1);
    Database.SetConnected(false);
  }
}

TEST_F(MusicDatabaseTest, RecoverClosesASoundLibraryACrashLeftOpenAndRebuildsADamagedOne)
{
  ASSERT_TRUE(OpenLibrary(Database));
  AddFileRecord("C:\\Music\\a.mp3");
  Database.SetConnected(false);
  std::vector<std::string> problems;
  EXPECT_EQ(Database.Recover(problems), TLibraryRecovery::Sound);
  EXPECT_TRUE(problems.empty());

  Folder.WriteFile("Library/OxaMediaDatabase.oxa", "OxaMediaDatabase-2.4-DBISAM-Open");
  EXPECT_EQ(Database.Recover(problems), TLibraryRecovery::Closed);
  EXPECT_TRUE(problems.empty());
  EXPECT_EQ(Content(Host / "OxaMediaDatabase.oxa"), "OxaMediaDatabase-2.4-DBISAM");
  EXPECT_FALSE(Database.Locked());
  ASSERT_TRUE(Database.TryOpen());
  EXPECT_EQ(FileRecordCount(), 1);
  Database.SetConnected(false);

  TMusicDatabase holder(nullptr);
  holder.SetDirectory(Directory);
  ASSERT_TRUE(OpenLibrary(holder));
  Database.SetLockWait(0);
  EXPECT_EQ(Database.Recover(problems), TLibraryRecovery::Failed);
  EXPECT_EQ(problems.size(), 1U);
  holder.SetConnected(false);

  Folder.WriteFile("Library/MUSIC.DAT", std::string(8192, 'x'));
  Folder.WriteFile("Library/OxaMediaDatabase.oxa", "OxaMediaDatabase-2.4-DBISAM-Open");
  EXPECT_EQ(Database.Recover(problems), TLibraryRecovery::Rebuilt);
  EXPECT_FALSE(problems.empty());
  EXPECT_EQ(Content(Host / "OxaMediaDatabase.oxa"), "OxaMediaDatabase-2.4-DBISAM");
  ASSERT_TRUE(Database.TryOpen());
  EXPECT_EQ(FileRecordCount(), 0);
  Database.SetConnected(false);
}

class TConnectionWatcher {
 public:
  void Connected(TObject*) { Events.push_back("connect:" + Stamp()); }
  void Disconnected(TObject*) { Events.push_back("disconnect:" + Stamp()); }
  std::string Stamp() const { return Content(StampFile); }

  fs::path StampFile;
  std::vector<std::string> Events;
};

TEST_F(MusicDatabaseTest, ConnectingNeedsTheClosedStampAndTellsTheObservers)
{
  TConnectionWatcher watcher;
  watcher.StampFile = Host / "OxaMediaDatabase.oxa";
  Database.AfterConnect = MakeMethod<&TConnectionWatcher::Connected>(&watcher);
  Database.AfterDisconnect = MakeMethod<&TConnectionWatcher::Disconnected>(&watcher);

  try {
    Database.SetConnected(true);
    FAIL() << "connected without a stamp";
  } catch (const EOxaFatal& e) {
    EXPECT_EQ(e.Message(), "Failed to load database version");
  }
  ASSERT_TRUE(OpenLibrary(Database));
  Database.SetConnected(false);
  Database.SetConnected(false);
  Database.SetConnected(true);
  EXPECT_EQ(watcher.Events, (std::vector<std::string>{
                                "connect:OxaMediaDatabase-2.4-DBISAM-Open",
                                "disconnect:OxaMediaDatabase-2.4-DBISAM",
                                "connect:OxaMediaDatabase-2.4-DBISAM-Open",
                            }));
  Database.SetConnected(false);
}

TEST_F(MusicDatabaseTest, ChangingTheDirectoryDisconnectsAndClosesTheOldLibrary)
{
  ASSERT_TRUE(OpenLibrary(Database));
  const fs::path other = Folder.Path() / "Other";
  Database.SetDirectory(WindowsPathOf(other.string()));
  EXPECT_FALSE(Database.Connected());
  EXPECT_EQ(Database.Directory(), WindowsPathOf(other.string()) + "\\");
  EXPECT_EQ(Content(Host / "OxaMediaDatabase.oxa"), "OxaMediaDatabase-2.4-DBISAM");
  ASSERT_TRUE(OpenLibrary(Database));
  EXPECT_EQ(Content(other / "OxaMediaDatabase.oxa"), "OxaMediaDatabase-2.4-DBISAM-Open");
  Database.SetConnected(false);
}

TEST_F(MusicDatabaseTest, TheTableObjectsAreTwentyCursorsWithTheirOwnIndexes)
{
  const std::vector<std::pair<std::string, std::string>> expected{
      {"MusicFiles", ""},
      {"MusicFiles", "PathIndex"},
      {"MusicFiles", "ChecksumIndex"},
      {"MusicFolders", ""},
      {"MusicFolders", "PathIndex"},
      {"MusicFolders", "NameIndex"},
      {"MusicRenameFolders", ""},
      {"MusicArtists", ""},
      {"MusicArtists", "ArtistIndex"},
      {"MusicAlbums", ""},
      {"MusicAlbums", "AlbumIndex"},
      {"MusicYears", ""},
      {"MusicYears", "YearIndex"},
      {"MusicLetters", ""},
      {"MusicLetters", "LetterIndex"},
      {"MusicGenre", ""},
      {"MusicGenre", "GenreIndex"},
      {"MusicFavoriteMaster", ""},
      {"MusicFavoriteDetails", ""},
      {"MusicFavoriteDetails", "MasterIndex"},
  };
  ASSERT_TRUE(OpenLibrary(Database));
  ASSERT_EQ(Database.TableCount(), static_cast<int>(expected.size()));
  ASSERT_TRUE(Database.OpenAllTables());
  for (int i = 0; i < Database.TableCount(); ++i) {
    EXPECT_EQ(Database.Tables(i).TableName(), expected[static_cast<std::size_t>(i)].first) << i;
    EXPECT_EQ(Database.Tables(i).IndexName(), expected[static_cast<std::size_t>(i)].second) << i;
  }
  auto& files = dynamic_cast<TFilesTable&>(Database.Tables(0));
  ASSERT_NE(files.Checksum, nullptr);
  EXPECT_EQ(files.Checksum->Size(), 36);
  EXPECT_EQ(files.Attributes->Size(), 32);
  Database.CloseAllTables();
  EXPECT_EQ(files.Checksum, nullptr);
  Database.SetConnected(false);
}

}  // namespace
