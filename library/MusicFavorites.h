#pragma once
// The favorite lists of the library: the two editors through which they change, and the thread
// that writes their files.
//
// A list is a "MusicFavoriteMaster" record with its entries in "MusicFavoriteDetails". Every list
// is also kept in files under "Favorites\" of the library directory, so it survives a rebuild of
// the library: "Favorites.oxa" names the lists (line 0 "FavoriteAlbums-1.0", then one line per
// list with its MasterId as decimal text attached), and "<MasterId>.oxa" holds a list's entries
// (line 0 "FavoriteTitles-1.0", then one line per entry: the file's path with its 36-byte
// fingerprint attached). Both are string-list files (settings/MusicStringList.h); the fingerprint
// is kept as raw bytes.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "rtl/SyncObjs.h"
#include "rtl/Thread.h"
#include "settings/MusicStringList.h"
#include "tags/MusicCheckSum.h"

class TMusicDatabase;

inline constexpr std::string_view FavoritesFolderName = "Favorites\\";
inline constexpr std::string_view RecordedFolderName = "Recorded\\";
inline constexpr std::string_view FavoritesIndexFile = "Favorites.oxa";
inline constexpr std::string_view FavoritesFileExtension = ".oxa";
inline constexpr std::string_view FavoriteAlbumsHeader = "FavoriteAlbums-1.0";
inline constexpr std::string_view FavoriteTitlesHeader = "FavoriteTitles-1.0";

// "<folder><MasterId>.oxa".
std::string FavoriteTitlesFile(const std::string& folder, std::int32_t masterId);
// A list id as written in an index file: decimal digits only, no sign, at most what a 32-bit id
// holds. Anything else (a path, a name) is refused, so a crafted index cannot reach other files.
bool ParseFavoriteId(std::string_view text, std::int32_t& id) noexcept;

// A fingerprint as the data string of a titles line: its 36 bytes as they are, never converted
// as text. Reading takes a shorter string padded with zeros and cuts a longer one.
std::string ChecksumText(const TMusicCheckSum& checksum);
TMusicCheckSum ChecksumOfText(std::string_view text) noexcept;

struct TFavoriteMaster {
  std::int32_t MasterId = -1;  // -1: not stored yet
  std::string Name;
};

struct TFavoriteEntry {
  std::int32_t DetailId = -1;  // -1: not stored yet
  std::int32_t FileId = 0;
  std::string FilePath;
  TMusicCheckSum Checksum{};
};

// An album read from "Recorded\", waiting for its files to be scanned.
struct TRecordedAlbum {
  std::string Name;
  std::vector<TFavoriteEntry> Titles;
};

// The editor of all lists; at most one per database, made by EditFavoriteMasters. Changes stay
// in memory until Save.
class TMusicFavoriteMastersEdit : public TObject {
 public:
  ~TMusicFavoriteMastersEdit() override = default;

  int Count() const noexcept { return static_cast<int>(FEntries.size()); }
  // Raises EListError outside 0 .. Count - 1, as do Delete and an Add index beyond Count.
  const TFavoriteMaster& Get(int index) const;
  // A new list (MasterId -1) at index, or appended for -1.
  void Add(const std::string& name, int index);
  void Rename(int index, const std::string& name);
  // A stored list is deleted at the next Save. Raises EOxaFatal while the list has a details
  // editor.
  void Delete(int index);
  int IndexOf(std::int32_t masterId) const noexcept;
  // Writes the lists' names and order, deletes the deleted lists with their entries, and then
  // queues "Favorites.oxa" and the deleted lists' files. All or nothing: a failure rolls the
  // transaction back, leaves the editor as it was and propagates.
  void Save();

  bool Modified = false;

 private:
  friend class TMusicDatabase;
  explicit TMusicFavoriteMastersEdit(TMusicDatabase& database);
  // Save without queueing any file; returns the ids of the lists it deleted.
  std::vector<std::int32_t> SaveRecords();
  // The index file's lines for the entries as they are.
  std::unique_ptr<TMusicStringList> IndexList() const;

  TMusicDatabase& FDatabase;
  std::vector<TFavoriteMaster> FEntries;
  std::vector<TFavoriteMaster> FDeleted;
};

// The editor of one list; at most one per list, made by EditFavoriteDetails.
class TMusicFavoriteDetailsEdit : public TObject {
 public:
  ~TMusicFavoriteDetailsEdit() override = default;

  std::int32_t MasterId() const noexcept { return FMasterId; }
  int Count() const noexcept { return static_cast<int>(FEntries.size()); }
  // Raises EListError outside 0 .. Count - 1, as do Delete, Move and an index beyond Count.
  const TFavoriteEntry& Get(int index) const;
  // A new entry for the file (its path and fingerprint from "MusicFiles", both empty when the
  // file is not there) at index, or appended for -1.
  void AddFile(std::int32_t fileId, int index);
  // A copy of entry as a new entry (DetailId -1).
  void AddEntry(const TFavoriteEntry& entry, int index);
  void Move(int from, int to);
  // A stored entry is deleted at the next Save.
  void Delete(int index);
  int IndexOf(std::int32_t detailId) const noexcept;
  // Writes the entries and their order, then queues the list's file. Does nothing when the list
  // is no longer stored. All or nothing, as TMusicFavoriteMastersEdit::Save.
  void Save();

  bool Modified = false;

 private:
  friend class TMusicDatabase;
  TMusicFavoriteDetailsEdit(TMusicDatabase& database, std::int32_t masterId);

  TMusicDatabase& FDatabase;
  std::int32_t FMasterId;
  std::vector<TFavoriteEntry> FEntries;
  std::vector<TFavoriteEntry> FDeleted;
};

// Writes and deletes favorites files in the background, in the order asked, at the lowest
// priority. A file asked for again while it waits is written once, with the newest content, in
// the newer request's place.
class TMusicFavoriteThread : public TThread {
 public:
  // Use TThread::New<TMusicFavoriteThread>(); it starts at once.
  TMusicFavoriteThread();
  // Writes everything still queued (holds or not), then ends.
  ~TMusicFavoriteThread() override;

  // Saves list to fileName, or deletes fileName when list is null. The thread owns list.
  void Queue(const std::string& fileName, std::unique_ptr<TMusicStringList> list);
  // Waits until every queued file is written and none is being written.
  void Flush();
  // While a hold lives, queued files wait (a file being written is finished). Holds nest.
  class THold {
   public:
    explicit THold(TMusicFavoriteThread& thread);
    ~THold();
    THold(const THold&) = delete;
    THold& operator=(const THold&) = delete;

   private:
    TMusicFavoriteThread& FThread;
  };
  int QueuedCount();
  // The first failed write or delete since the last call, or null. A failure is also traced.
  std::exception_ptr TakeFailure();

  // Called on the thread after each file is written or deleted, with its name. Set before
  // queueing anything.
  std::function<void(const std::string& fileName)> AfterFile;

 protected:
  void Execute() override;

 private:
  struct TRequest {
    std::string FileName;
    std::unique_ptr<TMusicStringList> List;
  };
  void Write(TRequest& request);

  TCriticalSection FLock;
  std::condition_variable_any FWake;  // something queued, a hold released, or the end
  std::condition_variable_any FIdle;  // the queue became empty and nothing is being written
  // Guarded by FLock:
  std::deque<TRequest> FQueue;
  int FHolds = 0;
  bool FBusy = false;
  bool FEnding = false;
  std::exception_ptr FFailure;
};
