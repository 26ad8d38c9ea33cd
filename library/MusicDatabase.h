#pragma once
// TMusicDatabase: the program's connection to its music library, the database "MUSIC" of the
// table engine in the library directory. It owns one cursor per table and index the library
// operations use, knows how to create the ten tables, and guards them with a version stamp in
// the file "OxaMediaDatabase.oxa" beside them: "OxaMediaDatabase-2.4-DBISAM" while the library
// is closed, the same followed by "-Open" while it is connected. A library whose stamp is
// anything else (missing, foreign, or left "-Open" by a process that ended without
// disconnecting) is thrown away and created empty by OpenLibrary; the favorites survive in
// their own files under "Favorites\", which a rebuild never touches.
//
// Every operation belongs to the thread that made the object.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "library/MusicTables.h"
#include "rtl/Method.h"
#include "tableengine/Database.h"

inline constexpr std::string_view MusicDatabaseName = "MUSIC";
inline constexpr std::string_view MusicStampFile = "OxaMediaDatabase.oxa";
inline constexpr std::string_view MusicStampClosed = "OxaMediaDatabase-2.4-DBISAM";
inline constexpr std::string_view MusicStampOpen = "OxaMediaDatabase-2.4-DBISAM-Open";

// (sender, folder path without trailing backslash, percent done).
using TUpdateProgressEvent = TMethod<void(TObject* sender, const std::string& folder, std::int32_t percent)>;

class TMusicDatabase : public TDatabase {
public:
  // Disconnected, with the placeholder directory "MusicDatabase" that the player replaces.
  explicit TMusicDatabase(TComponent* owner);
  // Frees the table objects without writing the stamp: a library not disconnected through
  // SetConnected(false) stays "-Open" and is rebuilt at the next start.
  ~TMusicDatabase() override;

  // When path differs from Directory: disconnects (SetConnected(false)) and keeps path with a
  // trailing backslash as the library directory.
  void SetDirectory(const std::string& path);

  // Connecting needs the closed stamp and turns it into the open one; raises EOxaFatal "Failed
  // to load database version" (the stamp is not the closed one) or "Failed to save database
  // version" (it cannot be written), and the engine's errors. AfterConnect is fired just before
  // the engine connects. Disconnecting writes the closed stamp, fires AfterDisconnect, lets the
  // favorites writer finish and disconnects the engine. Either does nothing when already so.
  void SetConnected(bool connected);

  // Connects a library whose stamp is closed and whose tables all open; leaves it connected with
  // every table object inactive. False (and disconnected) otherwise; never throws for a bad
  // library.
  bool TryOpen();
  // Disconnects, frees the table objects, deletes the library's files from the directory, and
  // makes new table objects. False when a file could not be deleted (the masks after it are not
  // tried). Folders and their contents are never touched.
  bool DeleteLibrary();
  // DeleteLibrary, the closed stamp, SetConnected(true) and the ten tables, created empty.
  // False when files could not be deleted or the stamp not written; raises as SetConnected and
  // the engine.
  bool CreateLibrary();

  // Opens every table object in creation order; on the first failure closes them all again and
  // returns false.
  bool OpenAllTables();
  void CloseAllTables() noexcept;

  // The table objects in creation order (twenty of them; see MusicDatabase.cpp).
  int TableCount() const noexcept { return static_cast<int>(FTableList.size()); }
  TTable& Tables(int index) const { return *FTableList.at(static_cast<std::size_t>(index)); }

  // The stamp file's path, and its whole content ("" when it cannot be read).
  std::string StampFileName() const;
  std::string ReadStamp() const;

  // Re-imports the favorite lists from their files after a rebuild.
  void RestoreFavorites();

  TNotifyEvent AfterConnect;
  TNotifyEvent AfterDisconnect;
  TUpdateProgressEvent OnUpdateProgress;

private:
  void CreateTableObjects();
  void FreeTableObjects() noexcept;
  bool WriteStamp(std::string_view stamp) const;
  // Lets the favorites writer finish its queued files and starts a fresh one.
  void RestartFavoritesWriter();

  std::vector<std::unique_ptr<TTable>> FTableList;
  // The table objects by use; each points into FTableList.
  TFilesTable* FFiles = nullptr;
  TFilesTable* FFilesByPath = nullptr;
  TFilesTable* FFilesByChecksum = nullptr;
  TFoldersTable* FFolders = nullptr;
  TFoldersTable* FFoldersByPath = nullptr;
  TFoldersTable* FFoldersByName = nullptr;
  TRenameFoldersTable* FRenameFolders = nullptr;
  TArtistsTable* FArtists = nullptr;
  TArtistsTable* FArtistsByName = nullptr;
  TAlbumsTable* FAlbums = nullptr;
  TAlbumsTable* FAlbumsByName = nullptr;
  TYearsTable* FYears = nullptr;
  TYearsTable* FYearsByNumber = nullptr;
  TLettersTable* FLetters = nullptr;
  TLettersTable* FLettersByName = nullptr;
  TGenreTable* FGenres = nullptr;
  TGenreTable* FGenresByName = nullptr;
  TFavoriteMastersTable* FFavoriteMasters = nullptr;
  TFavoriteDetailsTable* FFavoriteDetails = nullptr;
  TFavoriteDetailsTable* FFavoriteDetailsByMaster = nullptr;
};

// The player's open sequence, run before every use of the library: connected already, or a
// sound library opened, or a new empty one created and the favorites restored into it. False
// when the library could not be created (files that cannot be deleted, a stamp that cannot be
// written); the caller shows its message then.
bool OpenLibrary(TMusicDatabase& database);
