#include "library/MusicDatabase.h"

#include <array>

#include "framework/OxaUtils.h"
#include "library/LibraryFiles.h"
#include "library/PendingCounts.h"
#include "rtl/FilePaths.h"

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

bool TMusicDatabase::ClosedStampWritable() const
{
  return ReadStamp() == MusicStampClosed && WriteStamp(MusicStampClosed);
}

bool TMusicDatabase::WriteStamp(std::string_view stamp) const
{
  if (!Directory().empty() && !ForceFolder(Directory())) {
    return false;
  }
  return ReplaceFileContent(StampFileName(), stamp);
}

void TMusicDatabase::SetConnected(bool connected)
{
  if (connected == Connected()) {
    return;
  }
  if (connected) {
    if (ReadStamp() != MusicStampClosed) {
      throw EOxaFatal("Failed to load database version");
    }
    if (!WriteStamp(MusicStampOpen)) {
      throw EOxaFatal("Failed to save database version");
    }
    if (AfterConnect) {
      AfterConnect(this);
    }
    Connect();
    return;
  }
  WriteStamp(MusicStampClosed);
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
  if (ReadStamp() != MusicStampClosed) {
    return false;
  }
  bool opened = false;
  try {
    SetConnected(true);
    opened = OpenAllTables();
  } catch (const Exception&) {
    opened = false;
  }
  CloseAllTables();
  if (!opened) {
    SetConnected(false);
  }
  return opened;
}

bool TMusicDatabase::DeleteLibrary()
{
  SetConnected(false);
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

bool OpenLibrary(TMusicDatabase& database)
{
  if (database.Connected() || database.TryOpen()) {
    return true;
  }
  if (database.ReadStamp() == MusicStampClosed && !database.ClosedStampWritable()) {
    return false;
  }
  if (!database.CreateLibrary()) {
    return false;
  }
  database.RestoreFavorites();
  return true;
}
