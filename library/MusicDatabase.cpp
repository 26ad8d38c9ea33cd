#include "library/MusicDatabase.h"

#include <array>

#include "framework/OxaUtils.h"
#include "library/LibraryFiles.h"
#include "library/PendingCounts.h"
#include "platform/core/LastError.h"
#include "rtl/FilePaths.h"
#include "rtl/Format.h"
#include "tableengine/DbError.h"

namespace {

// What the clean-up deletes, in this order. The last three are SQLite's companions of the
// database file "MUSIC.DAT": a journal or write-ahead log left beside a new database of the
// same name would be played into it.
constexpr std::array<const char*, 11> LibraryFileMasks{
    "OxaMediaDatabase.oxa", "*.DB",      "*.VAL",     "*.PX", "*.XG*", "*.YG*", "*.DAT", "*.IDX",
    "*.DAT-journal",        "*.DAT-wal", "*.DAT-shm",
};

// A stamp is one of two short texts; anything longer is foreign and need not be read whole.
constexpr std::size_t MaxStampSize = 256;

}  // namespace

TMusicDatabase::TMusicDatabase(TComponent* owner) : TDatabase(owner)
{
  SetDatabaseName(std::string(MusicDatabaseName));
  TDatabase::SetDirectory("MusicDatabase");
  CreateTableObjects();
  FFavoritesThread = TThread::New<TMusicFavoriteThread>();
}

TMusicDatabase::~TMusicDatabase()
{
  if (!FDetailsEditors.empty()) {
    TraceObject(this, "Destroy: %d favorite details editors has not been destroyed",
                static_cast<int>(FDetailsEditors.size()));
  }
  if (FMastersEditor) {
    TraceObject(this, "Destroy: Favorite masters editor has not been destroyed");
  }
  FreeEditors();
  FFavoritesThread.reset();
  FreeTableObjects();
}

void TMusicDatabase::CreateTableObjects()
{
  const auto add = [this]<class T>(T*& member, const char* indexName) {
    auto table = std::make_unique<T>(*this);
    table->SetIndexName(indexName);
    member = table.get();
    FTableList.push_back(std::move(table));
  };
  add(FFiles, "");
  add(FFilesByPath, "PathIndex");
  add(FFilesByChecksum, "ChecksumIndex");
  add(FFolders, "");
  add(FFoldersByPath, "PathIndex");
  add(FFoldersByName, "NameIndex");
  add(FRenameFolders, "");
  add(FArtists, "");
  add(FArtistsByName, "ArtistIndex");
  add(FAlbums, "");
  add(FAlbumsByName, "AlbumIndex");
  add(FYears, "");
  add(FYearsByNumber, "YearIndex");
  add(FLetters, "");
  add(FLettersByName, "LetterIndex");
  add(FGenres, "");
  add(FGenresByName, "GenreIndex");
  add(FFavoriteMasters, "");
  add(FFavoriteDetails, "");
  add(FFavoriteDetailsByMaster, "MasterIndex");
}

void TMusicDatabase::FreeTableObjects() noexcept
{
  // The last made goes first, as an owner frees its components.
  while (!FTableList.empty()) {
    FTableList.pop_back();
  }
  FFiles = FFilesByPath = FFilesByChecksum = nullptr;
  FFolders = FFoldersByPath = FFoldersByName = nullptr;
  FRenameFolders = nullptr;
  FArtists = FArtistsByName = nullptr;
  FAlbums = FAlbumsByName = nullptr;
  FYears = FYearsByNumber = nullptr;
  FLetters = FLettersByName = nullptr;
  FGenres = FGenresByName = nullptr;
  FFavoriteMasters = nullptr;
  FFavoriteDetails = FFavoriteDetailsByMaster = nullptr;
}

void TMusicDatabase::SetDirectory(const std::string& path)
{
  std::string directory = IncludeTrailingBackslash(path);
  if (directory == Directory()) {
    return;
  }
  SetConnected(false);
  TDatabase::SetDirectory(std::move(directory));
}

std::string TMusicDatabase::StampFileName() const
{
  return Directory() + std::string(MusicStampFile);
}

std::string TMusicDatabase::ReadStamp() const
{
  return ReadSmallFile(StampFileName(), MaxStampSize);
}

bool TMusicDatabase::WriteStamp(std::string_view stamp) const
{
  if (!Directory().empty() && !ForceFolder(Directory())) {
    return false;
  }
  if (ReplaceFileContent(StampFileName(), stamp)) {
    return true;
  }
  // A disk too full for a new file must still let a library close: the closed stamp is shorter
  // than the open one it replaces, so it fits where that one is. Left open, a library whose last
  // write failed would be thrown away at the next start.
  return stamp == MusicStampClosed && ReadStamp() == MusicStampOpen &&
         OverwriteFileContent(StampFileName(), stamp);
}

void TMusicDatabase::Fail(TLibraryFailure failure, std::string text)
{
  FOpenFailure = failure;
  FOpenFailureText = std::move(text);
}

bool TMusicDatabase::Lock()
{
  if (FLock) {
    return true;
  }
  // A first open makes the folder; the lock file is the first thing in it.
  if (!Directory().empty() && !ForceFolder(Directory())) {
    Fail(TLibraryFailure::Unavailable,
         Format("cannot create the folder %s (error %d)", Directory(), static_cast<int>(GetLastError())));
    return false;
  }
  DWORD error = ERROR_SUCCESS;
  FLock = TFileLock::Take(Directory() + std::string(MusicLockFile), FLockWaitMs, error);
  if (FLock) {
    return true;
  }
  if (error == ERROR_SHARING_VIOLATION) {
    Fail(TLibraryFailure::InUse, Format("the library in %s is in use by another process", Directory()));
  } else {
    Fail(TLibraryFailure::Unavailable, Format("cannot open the lock file %s%s (error %d)", Directory(),
                                              MusicLockFile, static_cast<int>(error)));
  }
  return false;
}

void TMusicDatabase::Unlock() noexcept
{
  if (!Connected()) {
    FLock.reset();
  }
}

void TMusicDatabase::SetConnected(bool connected)
{
  if (connected == Connected()) {
    if (!connected) {
      FLock.reset();
    }
    return;
  }
  if (connected) {
    if (!Lock()) {
      throw EOxaFailed(FOpenFailure == TLibraryFailure::InUse ? "The library is in use by another process"
                                                              : FOpenFailureText);
    }
    if (ReadStamp() != MusicStampClosed) {
      throw EOxaFatal("Failed to load database version");
    }
    if (!WriteStamp(MusicStampOpen)) {
      throw EOxaFatal("Failed to save database version");
    }
    if (AfterConnect) {
      AfterConnect(this);
    }
    try {
      Connect();
    } catch (...) {
      // Nothing was opened: the library is as closed as before, and must not read as left open.
      WriteStamp(MusicStampClosed);
      throw;
    }
    return;
  }
  CloseConnection();
  FLock.reset();
}

void TMusicDatabase::CloseConnection()
{
  if (!Connected()) {
    return;
  }
  if (!WriteStamp(MusicStampClosed)) {
    TraceObject(this, "Disconnect: cannot write the closed stamp in %s", Directory());
  }
  if (AfterDisconnect) {
    AfterDisconnect(this);
  }
  RestartFavoritesWriter();
  Disconnect();
}

bool TMusicDatabase::OpenAllTables()
{
  try {
    for (const auto& table : FTableList) {
      table->SetActive(true);
    }
    return true;
  } catch (const Exception&) {
    CloseAllTables();
    return false;
  }
}

void TMusicDatabase::CloseAllTables() noexcept
{
  for (const auto& table : FTableList) {
    table->Close();
  }
}

bool TMusicDatabase::TryOpen()
{
  Fail(TLibraryFailure::None, {});
  if (!Lock()) {
    return false;
  }
  if (const std::string stamp = ReadStamp(); stamp != MusicStampClosed) {
    Fail(TLibraryFailure::NeedsRebuild, stamp.empty()             ? "the library has no stamp"
                                        : stamp == MusicStampOpen ? "the library was left open"
                                                                  : "the library's stamp is foreign");
    return false;
  }
  bool opened = false;
  try {
    SetConnected(true);
    for (const auto& table : FTableList) {
      table->SetActive(true);
    }
    opened = true;
  } catch (const ESqliteError& e) {
    // A damaged file is thrown away; a storage that refuses now (no space, no access, a folder
    // where the file should be) keeps what it holds for when it works again.
    Fail(e.Damaged() ? TLibraryFailure::NeedsRebuild : TLibraryFailure::Unavailable, e.what());
  } catch (const EOxaFatal& e) {
    Fail(TLibraryFailure::Unavailable, e.Message() + " in " + Directory());
  } catch (const EDatabaseError& e) {
    Fail(TLibraryFailure::NeedsRebuild, e.what());  // a table missing or of another shape
  } catch (const std::exception& e) {
    Fail(TLibraryFailure::Unavailable, e.what());
  }
  CloseAllTables();
  if (!opened) {
    CloseConnection();
  }
  return opened;
}

bool TMusicDatabase::DeleteLibrary()
{
  CloseConnection();
  if (!Lock()) {
    return false;
  }
  FreeTableObjects();
  bool cleaned = true;
  for (const char* mask : LibraryFileMasks) {
    if (!DeleteMatchingFiles(Directory(), mask)) {
      cleaned = false;
      break;
    }
  }
  CreateTableObjects();
  return cleaned;
}

bool TMusicDatabase::CreateLibrary()
{
  if (!DeleteLibrary()) {
    return false;
  }
  if (!WriteStamp(MusicStampClosed)) {
    return false;
  }
  SetConnected(true);
  FFiles->CreateTable();
  FFolders->CreateTable();
  FRenameFolders->CreateTable();
  FArtists->CreateTable();
  FAlbums->CreateTable();
  FYears->CreateTable();
  FLetters->CreateTable();
  FGenres->CreateTable();
  FFavoriteMasters->CreateTable();
  FFavoriteDetails->CreateTable();
  return true;
}

TLibraryRecovery TMusicDatabase::Recover(std::vector<std::string>& problems)
{
  problems.clear();
  Fail(TLibraryFailure::None, {});
  CloseConnection();
  if (!Lock()) {
    problems.push_back(FOpenFailureText);
    return TLibraryRecovery::Failed;
  }
  const std::string stamp = ReadStamp();
  if (stamp == MusicStampClosed || stamp == MusicStampOpen) {
    bool readable = true;
    try {
      Connect();
      for (const auto& table : FTableList) {
        table->SetActive(true);
      }
      problems = CheckIntegrity();
    } catch (const ESqliteError& e) {
      readable = e.Damaged();
      problems.emplace_back(e.what());
    } catch (const std::exception& e) {
      problems.emplace_back(e.what());
    }
    CloseAllTables();
    Disconnect();
    if (!readable || problems.empty()) {
      TLibraryRecovery result = TLibraryRecovery::Failed;
      if (!readable) {
        problems.push_back("the library is left as it is");
      } else if (stamp == MusicStampClosed) {
        result = TLibraryRecovery::Sound;
      } else if (WriteStamp(MusicStampClosed)) {
        result = TLibraryRecovery::Closed;
      } else {
        problems.push_back("cannot write the closed stamp in " + Directory());
      }
      Unlock();
      return result;
    }
  } else {
    problems.emplace_back(stamp.empty() ? "the library has no stamp" : "the library's stamp is foreign");
  }
  try {
    if (CreateLibrary()) {
      RestoreFavorites();
      FreeEditors();
      SetConnected(false);
      if (ReadStamp() == MusicStampClosed) {
        return TLibraryRecovery::Rebuilt;
      }
      problems.push_back("cannot write the closed stamp in " + Directory());
      return TLibraryRecovery::Failed;
    }
    problems.push_back(FOpenFailure == TLibraryFailure::None || FOpenFailure == TLibraryFailure::NeedsRebuild
                           ? "cannot delete the old library files or write the stamp in " + Directory()
                           : FOpenFailureText);
  } catch (const std::exception& e) {
    Disconnect();
    problems.emplace_back(e.what());
  }
  Unlock();
  return TLibraryRecovery::Failed;
}

bool IsDamagedLibraryError(const std::exception& error) noexcept
{
  const auto* engine = dynamic_cast<const ESqliteError*>(&error);
  return engine != nullptr && engine->Damaged();
}

bool RebuildDamagedLibrary(TMusicDatabase& database)
{
  TraceObject(&database, "RebuildDamagedLibrary: %s", database.Directory());
  try {
    database.FreeEditors();
    if (database.CreateLibrary()) {
      database.RestoreFavorites();
      database.Fail(TLibraryFailure::None, {});
      return true;
    }
    database.Fail(TLibraryFailure::NotCreated,
                  "cannot delete the damaged library files or write the stamp in " + database.Directory());
  } catch (const std::exception& e) {
    database.Disconnect();
    database.Fail(TLibraryFailure::NotCreated,
                  "cannot create a library in " + database.Directory() + ": " + e.what());
  }
  database.Unlock();
  return false;
}

bool OpenLibrary(TMusicDatabase& database)
{
  if (database.Connected()) {
    return true;
  }
  try {
    if (database.TryOpen()) {
      return true;
    }
    if (database.OpenFailure() == TLibraryFailure::NeedsRebuild) {
      if (database.CreateLibrary()) {
        database.RestoreFavorites();
        database.Fail(TLibraryFailure::None, {});
        return true;
      }
      if (database.OpenFailure() == TLibraryFailure::NeedsRebuild) {
        database.Fail(TLibraryFailure::NotCreated,
                      "cannot delete the old library files or write the stamp in " + database.Directory());
      }
    }
  } catch (const std::exception& e) {
    // A rebuild cut short (a full disk) keeps the open stamp, so the next open rebuilds again.
    database.Disconnect();
    database.Fail(TLibraryFailure::NotCreated,
                  "cannot create a library in " + database.Directory() + ": " + e.what());
  }
  database.Unlock();
  return false;
}
