#pragma once
// TOxaMusicPlayer: the one object through which the main controller plays music and changes
// the library. It owns the audio wrapper, the library connection, the scan driver and the scan
// options, keeps the current item, writes edited tags once their files are free, and keeps the
// shuffle flag and the last-played item in the settings. It never chooses what plays next: it
// reports the end or failure of a track and its owner decides.
//
// Every member is called on the thread that made the player; every event fires there.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "library/DbId.h"
#include "library/MusicDatabase.h"
#include "playback/OxaMusic2.h"
#include "rtl/Method.h"
#include "rtl/Object.h"
#include "scan/OxaSearchEngineWrapper.h"
#include "scan/OxaSearchOptions.h"
#include "settings/MusicStringList.h"
#include "settings/OxaMusicPlayerTypes.h"

// The view of a loose file that is in no library: its caption is the file's path.
inline constexpr std::int32_t ViewLooseFile = 8;

inline constexpr std::string_view UnnamedPlaylist = "Unnamed playlist";
inline constexpr int NumberedPlaylistNames = 999;

// The settings a scan starts from: the drives chosen for a full scan and the drives already
// covered ("GreyDrives"), as stored.
class TOxaSearchSettings : public TObject {
 public:
  TOxaSearchSettings();
  ~TOxaSearchSettings() override;

  TMusicStringList& WhiteDrives() noexcept { return *FWhiteDrives; }
  TMusicStringList& GreyDrives() noexcept { return *FGreyDrives; }

  void Load();
  // Writes "GreyDrives" back.
  void Save();

 private:
  std::unique_ptr<TMusicStringList> FWhiteDrives;
  std::unique_ptr<TMusicStringList> FGreyDrives;
};

using TOxaPlayerStateEvent = TMethod<void(TObject* sender, BYTE state)>;
using TOxaPlayerPositionEvent = TMethod<void(TObject* sender, std::int32_t position)>;

class TOxaMusicPlayer : public TObject {
 public:
  // audioModule: where the audio component is ("OxaAud.dll" by name, or a path).
  explicit TOxaMusicPlayer(const std::string& audioModule = OxaAudModuleName);
  // Unhooks the scan driver, frees the parts (a running scan is stopped) and makes a last
  // attempt at the pending tags.
  ~TOxaMusicPlayer() override;
  TOxaMusicPlayer(const TOxaMusicPlayer&) = delete;
  TOxaMusicPlayer& operator=(const TOxaMusicPlayer&) = delete;

  TMusicDatabase& Database() noexcept { return *FDatabase; }
  TOxaMusic2& Audio() noexcept { return *FAudio; }
  TSearchEngineWrapper& Scanner() noexcept { return *FScanner; }
  TOxaSearchOptions& SearchOptions() noexcept { return *FSearchOptions; }
  TOxaSearchSettings& SearchSettings() noexcept { return *FSearchSettings; }
  // The library's open sequence; false when it can be neither opened nor created.
  bool OpenLibrary();

  // ---- playing ----
  const TDbId& CurrentItem() const noexcept { return FCurrentItem; }
  // The file of the current item; its FileName is the full path, empty when none.
  const TMusicFileItem& CurrentFile() const noexcept { return FCurrentFile; }
  // Makes item current and plays its file. With keepIfSame, a file already loaded on the audio
  // wrapper (same name, any case) goes on as it is. An item of ViewLooseFile plays its caption
  // as a path. True when something was opened (or kept); otherwise the current item is empty
  // and what played before is stopped. A file that is not there is false at once, with no
  // failure reported later; one that is there and cannot be played is reported through
  // OnTrackFailed.
  bool PlayItem(const TDbId& item, bool keepIfSame);
  bool Pause();        // only while playing
  bool TogglePause();  // in any state
  bool Resume();       // only while paused; true when it resumed
  bool Stop();         // stops and empties the current item
  bool Seek(std::int32_t position);
  std::int32_t Position();
  BYTE State() const noexcept;
  // Set by the owner; while set, PlayItem opens nothing and reports success.
  bool PlayingState = false;

  // ---- tags ----
  // Whether a tag can be written into the file: ".mp3", ".flac", ".ogg", ".oga", ".opus" and
  // ".m4a", or ".wma" and ".asf" with WMA tag support, that exists. Asks only: the file and its
  // attributes are left as they are.
  bool CanWriteTag(const std::string& fileName) const;
  // Keeps the tag values for their file (a later edit of the same file replaces them) and
  // tries to write at once.
  void SetTag(const TMusicFileItem& item);
  // Writes every pending tag whose file is free; true when any was written. A file that is in
  // use, or whose write fails, stays pending.
  bool WritePendingTags(std::vector<std::string>* written = nullptr);
  int PendingTagCount() const noexcept { return static_cast<int>(FPendingTags.size()); }
  bool WmaTagSupport() const noexcept { return FWmaTagSupport; }

  // ---- settings ----
  bool Random() const;
  void SetRandom(bool on);
  // The stored last-played item when the library still lists it in its group, else empty.
  void LoadLastPlayed(TDbId& item);
  // The same for a record read already.
  void LoadLastPlayed(const TLastPlayed& stored, TDbId& item);
  void SaveLastPlayed(const TDbId& item);

  // ---- scanning and maintenance ----
  bool StartUpdateScan();
  bool StartFullScan();
  bool IsScanning() const noexcept;
  void StopScan();
  void SaveSearchSettings();
  bool UpdateDatabase();
  void RemoveDeletedFolders();
  void UnhideFolders();
  bool ImportRecorded();
  bool DropScan(const TStringList* files, const TStringList* folders, bool notifyOwner);
  bool AddPath(const std::string& path, bool notifyOwner, TDbId& item);
  // What the user is to be told about the library, once: that it was found damaged and rebuilt
  // (a scan or merge met a damaged page), or the first write it refused. Empty when there is
  // nothing new; taking it clears it.
  std::string TakeLibraryNotice();

  // ---- favorites ----
  std::string NewPlaylistName();
  void CreatePlaylist(TDbId& item);
  bool AddToFavorite(const TDbIdList& items, const TDbId& target);
  bool RemoveFromFavorites(const TDbIdList& items);
  bool MoveToFavorite(const TDbIdList& items, const TDbId& target);
  bool RenamePlaylists(const TDbIdList& items);

  // ---- browsing ----
  bool ListItems(const TDbId& item, TDbIdList& list);

  TNotifyEvent OnBeforePlay;
  TOxaPlayerStateEvent OnStateChange;
  TNotifyEvent OnTrackComplete;
  TNotifyEvent OnTrackFailed;
  TOxaPlayerPositionEvent OnPosition;
  TNotifyEvent OnScanEnded;
  TScanProgressEvent OnStep1Progress;
  TNotifyEvent OnUpdateDatabase;
  TScanProgressEvent OnStep2Progress;
  TNotifyEvent OnScanStopped;

 private:
  void AudioStateChange(TObject* sender, BYTE state);
  void AudioComplete(TObject* sender);
  void AudioPosition(TObject* sender, std::int32_t position);
  void AudioError(TObject* sender, BYTE reason);
  void ScanDone(TObject* sender);
  void ScanStopped(TObject* sender);
  void Step1Progress(TObject* sender, const std::string& folder, std::int32_t count);
  void Step2Progress(TObject* sender, const std::string& folder, std::int32_t seconds);

  bool FilePathOf(const TDbId& item, std::string& path);
  void ClearScanLists();
  // The files the library knows, for a scan to start from. A library found damaged on the way
  // is rebuilt first, and then knows none; false when it cannot be had.
  bool SetKnownFilesForScan();
  // Rebuilds the library found damaged, noting it for the user; false when it could not be made.
  bool RebuildDamaged(const std::string& cause);
  // The tracks of a group item (itself for a track).
  void ExpandItem(const TDbId& item, std::vector<TDbId>& tracks);
  void AddTrackTo(TMusicFavoriteDetailsEdit& details, const TDbId& track, int index);
  void SaveFavorites();

  std::unique_ptr<TOxaMusic2> FAudio;
  std::unique_ptr<TSearchEngineWrapper> FScanner;
  std::unique_ptr<TOxaSearchSettings> FSearchSettings;
  std::unique_ptr<TOxaSearchOptions> FSearchOptions;
  std::unique_ptr<TMusicDatabase> FDatabase;
  TDbId FCurrentItem;
  TMusicFileItem FCurrentFile;
  bool FWmaTagSupport = false;
  std::string FLibraryNotice;
  bool FWriteRefusalShown = false;
  // The tags waiting for their files, by file name compared without regard to case.
  struct TFileNameLess {
    bool operator()(const std::string& a, const std::string& b) const;
  };
  std::map<std::string, TMusicFileItem, TFileNameLess> FPendingTags;
};
