#pragma once
// The scan driver. TSearchEngineWrapper runs the music scans on a worker thread
// (TSearchEngineThread) and reports their progress to the thread that made it through window
// messages posted to its message window; when a scan ends it leaves the found files for the
// library to merge.
//
// A scan has two steps here: step 1 walks the folders and collects the music files as bare
// directory entries; step 2 matches them, in path order, with the files the library knows and
// reads the tags of the new and changed ones (unchanged files are never opened). Three modes:
//   Full    every ready drive of "WhiteDrives", in full; learns "Roots" and "Cuts" and adds
//           the drives to "GreyDrives";
//   Update  the stored "Roots" without the stored "Cuts", on the ready drives of "GreyDrives",
//           and the folders holding those roots (up to the drive's root), where new folders of
//           music are found; the stored lists stay as they are, short of entries whose drive
//           left "GreyDrives";
//   Drop    dropped files and folders, merged into "Roots" and "Cuts"; DropScan waits for it.
// Step 2 keeps of the known files only those the scan looked at (the ready white drives; the
// folders of the update walk, TUpdateScope; the dropped files and the files directly in dropped
// folders),
// so the merge never takes a file that was not looked at for a deleted one.
//
// Every member is called on the thread that made the wrapper; every event fires there.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "framework/OxaMessageWindow.h"
#include "platform/windows/Messages.h"
#include "rtl/Method.h"
#include "rtl/StringList.h"
#include "rtl/SyncObjs.h"
#include "rtl/Thread.h"
#include "scan/KnownFiles.h"
#include "scan/OxaSearchEngine.h"

class TSearchEngineWrapper;

// Posted to the wrapper's window. Step 1 progress: wParam files found, lParam folders visited.
// Scan ended: lParam 1 (a full or update scan that was not cancelled). Step 2 progress: wParam
// milliseconds remaining, or ScanTimeUnknown.
inline constexpr UINT WM_SCAN_STEP1_PROGRESS = WM_USER + 1;
inline constexpr UINT WM_SCAN_ENDED = WM_USER + 2;
inline constexpr UINT WM_SCAN_STEP2_PROGRESS = WM_USER + 3;

// The remaining time before anything has been read; estimates are clamped below it.
inline constexpr std::int32_t ScanTimeUnknown = 0x7FFFFFFF;
inline constexpr std::int32_t MaxScanEstimate = 0x7FFFFFFE;

// The pause before each file read, in milliseconds: the registry value "ScanPause" under the
// program's key, DefaultScanPause when missing or not a number (negative values read as 0).
inline constexpr std::string_view ScanPauseValueName = "ScanPause";
inline constexpr DWORD DefaultScanPause = 2;
DWORD ReadScanPause();

enum class TScanMode : std::uint8_t { Full = 0, Update = 1, Drop = 2 };

// Step 2's estimate of the milliseconds left: the time spent so far scaled by the share of the
// found files still ahead, counting every file passed (read or unchanged) as done:
// round((found / passed - 1) * elapsed), clamped to 0..MaxScanEstimate. ScanTimeUnknown until
// the first read has been done (readsDone 0) or while nothing has been passed.
std::int32_t ScanEstimate(std::int64_t found, std::int64_t passed, std::int64_t readsDone,
                          std::uint32_t elapsedMs) noexcept;
// What OnStep2Progress gets for a step 2 message: whole seconds, or ScanTimeUnknown unchanged.
std::int32_t ScanEstimateSeconds(std::int32_t milliseconds) noexcept;

// The counters of the last scan whose thread is gone.
struct TScanCounts {
  std::int32_t FilesFound = 0;
  std::int32_t FoldersVisited = 0;
  std::int32_t FilesProcessed = 0;
  std::int32_t FilesUnreadable = 0;
};

// (sender, folder without trailing backslash, files found / seconds remaining).
using TScanProgressEvent = TMethod<void(TObject* sender, const std::string& folder, std::int32_t value)>;

// One scan. Made suspended by the wrapper (or a test), started at the lowest priority; it
// uses the wrapper's found, known and dropped lists, which the wrapper leaves alone meanwhile.
class TSearchEngineThread : public TThread {
 public:
  // Posts its messages to window (none when null).
  TSearchEngineThread(TSearchEngineWrapper& wrapper, TScanMode mode, HWND window);
  ~TSearchEngineThread() override;

  // Asks the scan to stop: sets Cancelled here and on the engine walking, if any.
  void Cancel() noexcept;

  TSearchEngineWrapper& Wrapper;
  TStringList Masks;        // "Masks" as loaded for this scan
  TStringList WhiteDrives;  // "WhiteDrives" as loaded for this scan, not-ready drives dropped
  // Counted by the scan's thread, read by others while it runs.
  std::atomic<std::int32_t> FilesFound{0};
  std::atomic<std::int32_t> FoldersVisited{0};
  std::atomic<std::int32_t> FilesProcessed{0};
  std::atomic<std::int32_t> FilesUnreadable{0};  // read, with no fingerprint to show for it
  std::atomic<bool> Cancelled{false};
  // The scan's work is done (its end message, if any, is posted); the thread may still be
  // returning.
  std::atomic<bool> Finished{false};
  const TScanMode Mode;
  DWORD StartTick = 0;
  // Names this scan in its end message (wParam), so the end of a scan that Stop forgot is
  // never taken for the end of a later one.
  WPARAM Serial = 0;

 protected:
  void Execute() override;

 private:
  void FullScan();
  void UpdateScan();
  void DropScan();
  // Step 2 over the wrapper's found files and the known files in scope (inScope is given each
  // path and its folded form), which become the wrapper's known files, sorted.
  using TKnownScope = std::function<bool(const std::string& path, std::string_view folded)>;
  void CompareAndRead(const TKnownScope& inScope);
  void Collect(TObject* sender, const std::string& folder, const TSearchRec& record);
  void EnterDirectory(TNode* node, const std::string& path);
  void ReportProgress(const std::string& folder, UINT message, WPARAM wParam, LPARAM lParam);
  void SetEngine(TSearchEngine* engine) noexcept;
  void PostEnd();

  HWND FWindow;
  DWORD FPause = DefaultScanPause;
  // What the walk found, kept light until step 2 makes the wrapper's found items from it in
  // path order (sorting the large items themselves cost more than making them).
  struct TFoundEntry {
    std::string Path;
    FILETIME LastWriteTime{};
    FILETIME CreationTime{};
    FILETIME LastAccessTime{};
    std::uint64_t Size = 0;
  };
  std::vector<TFoundEntry> FFound;
  std::mutex FEngineLock;
  TSearchEngine* FEngine = nullptr;  // guarded by FEngineLock
};

class TSearchEngineWrapper : public TObject {
 public:
  // Opens the message window on the calling thread.
  TSearchEngineWrapper();
  // Stops a scan that is still running.
  ~TSearchEngineWrapper() override;
  TSearchEngineWrapper(const TSearchEngineWrapper&) = delete;
  TSearchEngineWrapper& operator=(const TSearchEngineWrapper&) = delete;

  // Start a scan of that mode on its own thread: found files cleared, Busy set. Refused (false)
  // while a thread is set (running, or finished and not yet reaped by its end message) and
  // while a drop scan waits.
  bool StartFullScan();
  bool StartUpdateScan();
  // Runs a drop scan of the dropped files and folders (either may be null; neither is kept
  // past the call) and waits for it; the thread's messages are not handled meanwhile, only
  // messages sent to this thread. With importNow the found files are kept for GetFoundFiles
  // (new and changed ones read), else dropped. False when refused, as the starts.
  bool DropScan(const TStringList* files, const TStringList* folders, bool importNow);
  bool DropScanImportNow(const TStringList* files, const TStringList* folders)
  {
    return DropScan(files, folders, true);
  }
  // Cancels a running scan and waits for it, or forgets a finished one whose end message is
  // still queued (that message is then ignored); clears found and known files, clears Busy and
  // fires OnStopped. Nothing without a thread; refused while a drop scan waits.
  void Stop();

  // A thread exists and its scan has not finished.
  bool IsRunning() const noexcept;
  // A scan has been started and its end not yet reported.
  bool Busy() const noexcept { return FBusy; }
  // DropScan is waiting for its thread.
  bool DropWaiting() const noexcept { return FDropWaiting; }
  TScanMode Mode() const noexcept { return FMode; }
  // The running or finished scan thread; null when there is none.
  TSearchEngineThread* Thread() const noexcept { return FThread.get(); }
  // Live scan threads.
  std::int32_t ThreadCount() const;
  // What the last scan counted, kept when its thread is freed.
  const TScanCounts& LastCounts() const noexcept { return FLastCounts; }
  TOxaMessageWindow& Window() noexcept { return FWindow; }

  // The library's files, in any order; ignored while Busy.
  void SetKnownFiles(TKnownFiles files);
  // After a scan: the known files the scan looked at, sorted by path (the set to merge the
  // found files with). Empty while Busy. Valid until the next change of the wrapper's lists.
  const TKnownFiles& GetKnownFiles() const noexcept;
  // After a scan: the files found, sorted by path; unchanged ones as bare directory entries,
  // new and changed ones read. Null while Busy.
  const TMusicFileItems* GetFoundFiles() const noexcept;
  // Empties the found files, unless Busy.
  void ClearFoundFiles();

  // Step 2 reads tags on a second thread beside the scan's (on a machine of more than one
  // core); false reads them all on the scan's thread. The found files are the same either way.
  bool ReadAhead = true;

  TScanProgressEvent OnStep1Progress;  // (folder, files found)
  TScanProgressEvent OnStep2Progress;  // (folder, seconds remaining or ScanTimeUnknown)
  TNotifyEvent OnStopped;
  TNotifyEvent OnFullScanDone;
  TNotifyEvent OnUpdateScanDone;
  TNotifyEvent OnDropScanDone;

 private:
  friend class TSearchEngineThread;

  bool CanStart() const noexcept;
  bool Start(TScanMode mode);
  void HandleMessage(TObject* sender, TMessage& message, bool& handled);
  void ScanEnded(WPARAM serial, LPARAM lParam);
  void FreeThread() noexcept;

  // Scan thread side of the progress hand-over: true when the message should be posted (no
  // message pending and the folder changed); then marks it pending.
  bool BeginProgress(const std::string& folder);
  void ProgressNotPosted();

  mutable TCriticalSection FLock;  // guards FLastFolder, FMessagePending, FThreadCount
  std::int32_t FThreadCount = 0;
  std::unique_ptr<TSearchEngineThread> FThread;
  TOxaMessageWindow FWindow;
  std::atomic<bool> FMessagePending{false};
  std::string FLastFolder;
  TMusicFileItems FFoundFiles;
  TKnownFiles FKnownFiles;
  bool FBusy = false;
  bool FDropWaiting = false;
  bool FHandling = true;  // the window's scan messages are handled
  TStringList FDropFiles;
  TStringList FDropFolders;
  bool FImportNow = false;
  TScanMode FMode = TScanMode::Full;
  WPARAM FSerial = 0;
  TScanCounts FLastCounts;
};
