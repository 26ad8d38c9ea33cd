#pragma once
// TMusicDatabase: the program's connection to its music library, the database "MUSIC" of the
// table engine in the library directory. It owns one cursor per table and index the library
// operations use, knows how to create the ten tables, and guards them with a version stamp in
// the file "OxaMediaDatabase.oxa" beside them: "OxaMediaDatabase-2.4-DBISAM" while the library
// is closed, the same followed by "-Open" while it is connected. A library whose stamp is
// anything else (missing, foreign, or left "-Open" by a process that ended without
// disconnecting), or whose tables are missing or damaged, is thrown away and created empty by
// OpenLibrary; the favorites survive in their own files under "Favorites\", which a rebuild
// never touches. A library that cannot be opened for any other reason (no space, no access) is
// left as it is.
//
// One process at a time opens a library for writing: connecting, every change of the stamp and
// a rebuild happen while this object holds the lock file "OxaMediaDatabase.lck" (held from the
// first of them until the disconnect), so a process never reads another's open library as one
// left open by a crash, nor deletes it.
//
// Every operation belongs to the thread that made the object.

#include <array>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "library/DbId.h"
#include "library/MusicFavorites.h"
#include "library/MusicTables.h"
#include "rtl/Method.h"
#include "scan/KnownFiles.h"
#include "tableengine/Database.h"
#include "tags/OxaMusicTag.h"

inline constexpr std::string_view MusicDatabaseName = "MUSIC";
inline constexpr std::string_view MusicStampFile = "OxaMediaDatabase.oxa";
inline constexpr std::string_view MusicStampClosed = "OxaMediaDatabase-2.4-DBISAM";
inline constexpr std::string_view MusicStampOpen = "OxaMediaDatabase-2.4-DBISAM-Open";
// Held by the process that opens, changes the stamp of, rebuilds or writes the library.
inline constexpr std::string_view MusicLockFile = "OxaMediaDatabase.lck";
// How long an open waits for another process to let go of the library.
inline constexpr std::uint32_t DefaultLibraryLockWaitMs = 10000;

// What TMusicDatabase::Recover found and did.
enum class TLibraryRecovery {
  Sound,    // closed properly, and its tables pass the check
  Closed,   // left open by a crash, its tables pass the check: the stamp is closed
  Rebuilt,  // damaged or without a stamp of ours: created empty, the favorites restored
  Failed,   // in use, not to be had now, or the rebuild failed: nothing more was done
};

// Why the last OpenLibrary (or TryOpen) did not open the library.
enum class TLibraryFailure {
  None,
  InUse,         // another process holds the library: nothing was touched
  Unavailable,   // the library cannot be opened now (no space, no access, something in the way); kept
  NeedsRebuild,  // no library, a foreign or crash-left stamp, or damaged tables (TryOpen only)
  NotCreated,    // a new library could not be made
};

// (sender, folder path without trailing backslash, percent done).
using TUpdateProgressEvent = TMethod<void(TObject* sender, const std::string& folder, std::int32_t percent)>;

// What a file is listed as: its tag's title, or its file name tidied up when the tag has none.
struct TDisplayTitle {
  std::string Title;
  std::string Letter;     // the title's first character, a-z upper-cased
  bool TagTitle = false;  // the title came from the tag
};

// How a group release treats a file whose stored value equals the new one.
enum class TGroupRelease {
  Always,        // release the reference in any case
  KeepWhenSame,  // keep it (no change) when the stored value equals the new one
};

struct THeldBackCounts;
class TFileLock;

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

  // Connecting takes the library's lock, needs the closed stamp and turns it into the open one;
  // raises EOxaFailed "The library is in use by another process" (the lock is held elsewhere;
  // OpenFailureText when the lock file cannot be opened at all),
  // EOxaFatal "Failed to load database version" (the stamp is not the closed one) or "Failed to
  // save database version" (it cannot be written), and the engine's errors. AfterConnect is fired
  // just before the engine connects. Disconnecting writes the closed stamp (over the old one in
  // place when no new file can be made), fires AfterDisconnect, lets the favorites writer finish,
  // disconnects the engine and lets go of the lock. Either does nothing when already so, except
  // that disconnecting always lets go of a lock held while not connected.
  void SetConnected(bool connected);

  // The library's lock. Lock takes it unless this object holds it, waiting up to LockWaitMs
  // while another process does; false (OpenFailure() says why) when it cannot be had. Unlock lets
  // go of it unless the library is connected.
  bool Lock();
  void Unlock() noexcept;
  bool Locked() const noexcept { return FLock != nullptr; }
  void SetLockWait(std::uint32_t milliseconds) noexcept { FLockWaitMs = milliseconds; }

  // Why the last TryOpen, Lock or OpenLibrary failed, and the cause in words ("" when None).
  TLibraryFailure OpenFailure() const noexcept { return FOpenFailure; }
  const std::string& OpenFailureText() const noexcept { return FOpenFailureText; }

  // Connects a library whose stamp is closed and whose tables all open; leaves it connected with
  // every table object inactive. False (and disconnected, the lock still held when it was taken)
  // otherwise, with OpenFailure NeedsRebuild for a library to throw away, InUse or Unavailable
  // for one to leave alone; never throws for a bad library.
  bool TryOpen();
  // Disconnects, frees the table objects, deletes the library's files from the directory, and
  // makes new table objects. False when the lock cannot be had (nothing is deleted) or a file
  // could not be deleted (the masks after it are not tried). Folders and their contents are
  // never touched.
  bool DeleteLibrary();
  // DeleteLibrary, the closed stamp, SetConnected(true) and the ten tables, created empty.
  // False when files could not be deleted or the stamp not written; raises as SetConnected and
  // the engine.
  bool CreateLibrary();

  // For the command line after a crash: checks the library (every table opens, the engine's
  // consistency check passes) and closes a crash's stamp when it does; otherwise throws it away
  // and creates it empty with the favorites restored. A library that cannot be read now (no
  // space, no access) is left as it is. Leaves it disconnected, the lock let go of; problems gets
  // what the check found, or why nothing could be done. Never throws.
  TLibraryRecovery Recover(std::vector<std::string>& problems);

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

  // ---- catalogue (MusicDatabaseCatalogue.cpp) ----
  // Every group table counts the file records that point to it and loses a record whose count
  // would drop to zero. A hidden file keeps its record with all six group ids -1, shows in no
  // view and is still known to the scan. The operations open the cursors they use and leave
  // them open; they raise the engine's errors, and leave a half-done change to the caller's
  // transaction, if any.

  static TDisplayTitle DisplayTitle(const TMusicFileItem& item);

  // The group references: XAddRef finds the value on the group's key index and counts it up, or
  // inserts it with count 1; returns the group id. XRelease counts the group id down, deleting
  // the record at zero; true when the file's reference changed (also for a missing group),
  // false when mode is KeepWhenSame and the stored value equals value.
  std::int32_t GenreAddRef(std::string_view name);
  bool GenreRelease(std::int32_t id, std::string_view name, TGroupRelease mode);
  std::int32_t YearAddRef(std::int32_t year);
  bool YearRelease(std::int32_t id, std::int32_t year, TGroupRelease mode);
  std::int32_t AlbumAddRef(std::string_view name);
  bool AlbumRelease(std::int32_t id, std::string_view name, TGroupRelease mode);
  std::int32_t ArtistAddRef(std::string_view name);
  bool ArtistRelease(std::int32_t id, std::string_view name, TGroupRelease mode);
  std::int32_t LetterAddRef(std::string_view letter);
  bool LetterRelease(std::int32_t id, std::string_view letter, TGroupRelease mode);
  // The folder of a file path (the path without file name and trailing backslash), with a
  // display name unique among the folders: colliding names get parent components, and the
  // collision is counted in "MusicRenameFolders".
  std::int32_t FolderAddRef(std::string_view filePath);
  void FolderRelease(std::int32_t folderId);

  // Returns the new FileId.
  std::int32_t AddFile(const TMusicFileItem& item);
  // A rescanned file: a new checksum makes it a new file (new FileId); otherwise the record
  // keeps its id and moves its group references. A hidden file only takes the new attributes.
  // Does nothing for an unknown id.
  void UpdateFile(std::int32_t fileId, const TMusicFileItem& item);
  void RemoveFile(std::int32_t fileId);
  // Hides the record files is on, unless it is hidden already.
  void HideFile(TFilesTable& files);
  // Hides the file of every item outside the Playlists view; unknown files are skipped.
  void HideItems(std::span<const TDbId> items);
  void RemoveFilesUnder(const TFolderList& folders);
  // Deletes the records of hidden files under an included folder and under no excluded folder,
  // so that the next scan adds them afresh.
  void DeleteHiddenUnder(const TFolderList* include, const TFolderList* exclude);
  // Every file record, hidden ones included, under some folder of each given inclusion list and
  // under none of the exclusion list, in table order.
  TKnownFiles GetKnownFiles(const TFolderList* include1, const TFolderList* include2,
                            const TFolderList* exclude);
  static void SortKnownFiles(TKnownFiles& known) { ::SortKnownFiles(known); }
  static void SortFileItems(TMusicFileItems& items) { ::SortFileItems(items); }
  // Merges a scan into the library: known and found are sorted by path (SortKnownFiles,
  // SortFileItems, in the order of ComparePaths); a file only known is removed, one only found is added, one
  // in both is updated unless its times and size are unchanged. Commits every 1024 changes; progress goes to
  // OnUpdateProgress whenever the folder changes. A failure rolls back the open batch only (earlier batches
  // stay) and ends the merge: the result is false then. Leaves every table object inactive.
  bool ApplyScanResults(const TKnownFiles& known, const TMusicFileItems& found);
  // Of the last merge: the changes committed, and why it failed ("" when it did not).
  int MergeCommitted() const noexcept { return FMergeCommitted; }
  const std::string& MergeError() const noexcept { return FMergeError; }
  // The last merge failed because the library's file is damaged (IsDamagedLibraryError).
  bool MergeFoundDamage() const noexcept { return FMergeDamaged; }
  // The file of that path (without regard to case) as an item of view 1 to 6: the file's group
  // in that view, its FileId and its title as caption; for view 7 the first favorite entry, in
  // list order, that resolves to the file. The empty id when there is no such file or entry, or
  // the view is another.
  TDbId FindFileByPath(std::string_view path, std::int32_t view);

  // ---- views (MusicDatabaseViews.cpp) ----
  // The tree the browser sees: the root, the seven views, the groups of a view and the tracks
  // of a group. The operations open the cursors they use; a track listing makes the primary
  // index of the file cursor active again afterwards.

  // "Folders" ... "Playlists" for 1 to 7, "" for any other number.
  static std::string ViewName(std::int32_t view);
  // "(000 Empty)" for 0 or less, "(001 Track)", "(%.3d Tracks)".
  static std::string CountCaption(std::int32_t count);
  // A folder's display name as shown: its components joined by ", " and tidied like a title.
  static std::string FolderCaption(std::string_view folderName);

  // Clears list and fills it with the children of id: the seven views for the root; a view's
  // groups captioned with their counts and sorted; a group's tracks sorted (an album's by track
  // number); for an item, the item itself (a favorite entry: its file as an item of the
  // Folders view). False, with the list empty, for an id that names no view 1 to 7, a group
  // that is not there or an item that is not there (a hidden or missing file, a favorite entry
  // that resolves to none).
  bool GetItems(const TDbId& id, TDbIdList& list);
  // "MusicDatabase", a view name, a group's name without its count, or an item's caption when
  // it lists as exactly one entry; "" otherwise.
  std::string GetCaption(const TDbId& id);
  // The file as an item of a view 1 to 6 (its group there and its title), or the favorite entry
  // fileId of view 7 (its list as group, the list's name as caption). False, with item empty,
  // when there is none or the file is hidden.
  bool MakeItem(std::int32_t view, std::int32_t fileId, TDbId& item);
  // The file of item as an item of target 1 to 6, or the favorite entry nearest to it for
  // target 7; the empty id when there is none.
  TDbId ItemInView(const TDbId& item, std::int32_t target);
  // The music file behind a view's file id: the id itself for views 1 to 6, the file a favorite
  // entry resolves to for view 7. False when the entry is gone or finds no file.
  bool ResolveFileId(std::int32_t view, std::int32_t fileId, std::int32_t& resolved);
  // The stored path of a file record; false (path empty) when there is none. Reads through the
  // library's own cursor: a run of look-ups (skipping the tracks of a missing drive) prepares
  // nothing again.
  bool FilePathOf(std::int32_t fileId, std::string& path);

  // ---- favorites (MusicDatabaseFavorites.cpp) ----
  // The lists are changed only through the editors, which write the tables in one transaction
  // and then hand the lists' files to the favorites thread.

  // The open masters editor, created and loaded when there is none. Owned by the database
  // until FreeEditors.
  TMusicFavoriteMastersEdit& EditFavoriteMasters();
  // The open editor of list masterId, created and loaded when there is none; null when no such
  // list is stored. Raises EOxaFatal for masterId -1.
  TMusicFavoriteDetailsEdit* EditFavoriteDetails(std::int32_t masterId);
  // Saves the modified details editors, then the masters editor when it is modified.
  void SaveModifiedEditors();
  // Frees every details editor, then the masters editor.
  void FreeEditors() noexcept;

  // Reads the lists back from "Favorites\" into an empty library: new files are written before
  // the index that names them, and the files no longer named are deleted last, so a crash at
  // any point leaves a complete set that the next rebuild restores again.
  void RestoreFavorites();
  // Reads the albums another program left in "Recorded\": their files' paths go to paths (for
  // the scan) and the albums are kept until ImportRecordedAlbums. A damaged album is dropped;
  // nothing is deleted yet.
  void CollectRecordedAlbums(std::vector<std::string>& paths);
  // Makes a list of each kept album (adding its entries to a list of the same name when there
  // is one), then deletes the drop files they came from.
  void ImportRecordedAlbums();
  // The favorite entry nearest to the track from, starting with the list of to (an id of view
  // 7); the empty id when no entry refers to that file. Raises EOxaFatal for a to outside view
  // 7 or an invalid from or to.
  TDbId FindNearestFavorite(const TDbId& from, const TDbId& to);

  // Where the favorites files are: Directory + "Favorites\" and "Recorded\".
  std::string FavoritesFolder() const;
  std::string RecordedFolder() const;
  // The writer of the favorites files; lives as long as the connection.
  TMusicFavoriteThread& FavoritesThread() noexcept { return *FFavoritesThread; }

  TNotifyEvent AfterConnect;
  TNotifyEvent AfterDisconnect;
  TUpdateProgressEvent OnUpdateProgress;

 private:
  friend class TMusicFavoriteMastersEdit;
  friend class TMusicFavoriteDetailsEdit;
  friend bool OpenLibrary(TMusicDatabase& database);
  friend bool RebuildDamagedLibrary(TMusicDatabase& database);

  // The group field of a file record in view 1 to 6, and the name of its index.
  static TField* ViewGroupField(const TFilesTable& files, std::int32_t view) noexcept;
  static const char* ViewFileIndex(std::int32_t view) noexcept;
  // The record files is on as an item of view 1 to 6.
  static TDbId FileAsItem(const TFilesTable& files, std::int32_t view);
  void ListGroups(std::int32_t view, TDbIdList& list);
  bool ListTracks(const TDbId& group, TDbIdList& list);
  // A group's name as its caption shows it; nothing when there is no such group.
  std::optional<std::string> GroupCaption(std::int32_t view, std::int32_t groupId);
  // A favorite entry resolved to its file (FileId -1 when none is found); writes a found file
  // back into the entry's record. False when there is no such entry.
  struct TResolvedEntry {
    std::int32_t MasterId = -1;
    std::int32_t Sequence = 0;
    std::int32_t FileId = -1;
    std::int32_t FolderId = -1;
    std::string Caption;
  };
  bool ResolveFavorite(std::int32_t detailId, TResolvedEntry& entry);
  bool ListFavoriteEntries(std::int32_t masterId, TDbIdList& list);
  // The stored lists by Sequence, and a list's entries by Sequence (equal values in read order).
  std::vector<std::int32_t> FavoriteMasterIds();
  std::vector<std::int32_t> FavoriteDetailIds(std::int32_t masterId);
  void ReleaseEditor(const TMusicFavoriteDetailsEdit* editor) noexcept;

  void CreateTableObjects();
  void FreeTableObjects() noexcept;
  bool WriteStamp(std::string_view stamp) const;
  // SetConnected(false) without letting go of the lock.
  void CloseConnection();
  void Fail(TLibraryFailure failure, std::string text);
  // Lets the favorites writer finish its queued files and starts a fresh one.
  void RestartFavoritesWriter();
  // FolderAddRef's collision loop: extends name until no folder has it, counting collisions.
  void MakeUniqueFolderName(const std::string& folder, std::string& name, bool& renamed);
  void ReleaseFolderRenames(const std::string& folderName);
  // Writes the group counts a merge holds back (nothing outside a merge) and forgets the ids.
  void WriteMergeCounts();

  std::unique_ptr<TFileLock> FLock;
  std::uint32_t FLockWaitMs = DefaultLibraryLockWaitMs;
  TLibraryFailure FOpenFailure = TLibraryFailure::None;
  std::string FOpenFailureText;
  std::vector<std::unique_ptr<TTable>> FTableList;
  std::unique_ptr<THeldBackCounts> FMergeCounts;  // while ApplyScanResults runs
  int FMergeCommitted = 0;
  std::string FMergeError;
  bool FMergeDamaged = false;
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

  std::unique_ptr<TMusicFavoriteMastersEdit> FMastersEditor;
  std::vector<std::unique_ptr<TMusicFavoriteDetailsEdit>> FDetailsEditors;
  std::unique_ptr<TMusicFavoriteThread> FFavoritesThread;
  // The albums CollectRecordedAlbums read, and the drop files they came from.
  std::vector<TRecordedAlbum> FRecordedAlbums;
  std::vector<std::string> FRecordedFiles;
};

// The player's open sequence, run before every use of the library: connected already, or a
// sound library opened, or a new empty one created and the favorites restored into it. False,
// with database.OpenFailure() saying why and the lock let go of, when another process holds the
// library, when it cannot be opened now but is not to be thrown away (no space, no access), or
// when a new one could not be made (files that cannot be deleted, a stamp that cannot be
// written, the engine's errors); the caller shows its message then. Never throws.
bool OpenLibrary(TMusicDatabase& database);

// Whether the error says the library's file itself is damaged (a garbled page, not a database):
// such a library is thrown away and rebuilt, as one with a bad stamp.
bool IsDamagedLibraryError(const std::exception& error) noexcept;
// For a library found damaged while in use: creates it anew and restores the favorites from
// their files, as OpenLibrary does for a library with a bad stamp. False, with OpenFailure
// saying why, when a new one could not be made. Never throws.
bool RebuildDamagedLibrary(TMusicDatabase& database);
