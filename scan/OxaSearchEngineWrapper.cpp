#include "scan/OxaSearchEngineWrapper.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "framework/OxaUtils.h"
#include "platform/core/Time.h"
#include "rtl/AnsiText.h"
#include "rtl/FilePaths.h"
#include "rtl/Registry.h"
#include "scan/OxaSearchUtils.h"
#include "scan/TagReadAhead.h"
#include "settings/OxaMusicPlayerTypes.h"

namespace {

// A longer pause would only stall a scan that a bad registry value asked for.
constexpr std::int32_t MaxScanPause = 60000;

bool SameDrive(std::string_view path, const TStringList& drives)
{
  const std::string drive = DriveOfPath(path);
  return !drive.empty() && drives.IndexOf(drive) >= 0;
}

// Deletes every entry whose drive is (keep false) or is not (keep true) one of drives.
void DeleteByDrive(TStringList& list, const TStringList& drives, bool keep)
{
  for (int i = list.Count() - 1; i >= 0; --i) {
    if (SameDrive(list[i], drives) != keep) {
      list.Delete(i);
    }
  }
}

TFolderList FolderListOf(const TStringList& list)
{
  TFolderList folders;
  folders.reserve(static_cast<std::size_t>(list.Count()));
  for (int i = 0; i < list.Count(); ++i) {
    folders.push_back(IncludeTrailingBackslash(list[i]));
  }
  return folders;
}

bool ZeroChecksum(const TMusicCheckSum& checksum) noexcept
{
  return std::all_of(checksum.begin(), checksum.end(), [](auto b) { return b == 0; });
}

}  // namespace

DWORD ReadScanPause()
{
  TRegistry registry(KEY_READ);
  if (!registry.OpenKeyReadOnly(std::string(PlayerRegistryKey)) ||
      !registry.ValueExists(std::string(ScanPauseValueName))) {
    return DefaultScanPause;
  }
  try {
    return static_cast<DWORD>(
        std::clamp(registry.ReadInteger(std::string(ScanPauseValueName)), 0, MaxScanPause));
  } catch (const ERegistryException&) {
    return DefaultScanPause;
  }
}

std::int32_t ScanEstimate(std::int64_t found, std::int64_t passed, std::int64_t readsDone,
                          std::uint32_t elapsedMs) noexcept
{
  if (readsDone <= 0 || passed <= 0) {
    return ScanTimeUnknown;
  }
  const double estimate = std::round((static_cast<double>(found) / static_cast<double>(passed) - 1.0) *
                                     static_cast<double>(elapsedMs));
  return static_cast<std::int32_t>(std::clamp(estimate, 0.0, static_cast<double>(MaxScanEstimate)));
}

std::int32_t ScanEstimateSeconds(std::int32_t milliseconds) noexcept
{
  return milliseconds == ScanTimeUnknown ? ScanTimeUnknown : milliseconds / 1000;
}

// ---- the thread ----

TSearchEngineThread::TSearchEngineThread(TSearchEngineWrapper& wrapper, TScanMode mode, HWND window)
    : TThread(true), Wrapper(wrapper), Mode(mode), FWindow(window)
{
  const std::lock_guard lock(Wrapper.FLock);
  ++Wrapper.FThreadCount;
}

TSearchEngineThread::~TSearchEngineThread()
{
  // Execute uses the members: it must be over before they go.
  TerminateAndWait();
  const std::lock_guard lock(Wrapper.FLock);
  --Wrapper.FThreadCount;
}

void TSearchEngineThread::Cancel() noexcept
{
  Cancelled = true;
  const std::lock_guard lock(FEngineLock);
  if (FEngine != nullptr) {
    FEngine->Cancelled = true;
  }
}

void TSearchEngineThread::SetEngine(TSearchEngine* engine) noexcept
{
  const std::lock_guard lock(FEngineLock);
  FEngine = engine;
  if (engine != nullptr && Cancelled) {
    engine->Cancelled = true;
  }
}

void TSearchEngineThread::Execute()
{
  FilesFound = 0;
  FoldersVisited = 0;
  FilesProcessed = 0;
  FilesUnreadable = 0;
  FPause = ReadScanPause();
  // The library's count is a good guess of what the walk finds.
  FFound.reserve(Wrapper.FKnownFiles.size());
  try {
    switch (Mode) {
      case TScanMode::Full:
        FullScan();
        break;
      case TScanMode::Update:
        UpdateScan();
        break;
      case TScanMode::Drop:
        DropScan();
        break;
    }
  } catch (const std::exception& error) {
    // A scan that failed half way (the settings could not be written, memory ran out) has
    // nothing fit to merge; its end is still reported, or the owner would wait for ever.
    TraceObject(this, "Execute: %s", std::string_view(error.what()));
    Cancelled = true;
    if (!Finished) {
      Finished = true;
      if (FWindow != nullptr && Mode != TScanMode::Drop) {
        PostMessageA(FWindow, WM_SCAN_ENDED, Serial, 0);
      }
    }
  }
}

void TSearchEngineThread::PostEnd()
{
  Finished = true;
  if (FWindow != nullptr) {
    PostMessageA(FWindow, WM_SCAN_ENDED, Serial, 1);
  }
}

void TSearchEngineThread::FullScan()
{
  TStringList roots;
  TStringList cuts;
  const TOptionTarget loaded[] = {{TMusicOption::Masks, &Masks},
                                  {TMusicOption::WhiteDrives, &WhiteDrives},
                                  {TMusicOption::Roots, &roots},
                                  {TMusicOption::Cuts, &cuts}};
  ReadOptions(loaded);
  for (int i = WhiteDrives.Count() - 1; i >= 0; --i) {
    if (!IsDriveReady(WhiteDrives[i])) {
      WhiteDrives.Delete(i);
    }
  }
  // Folders that could not be listed keep what the library knows of them: their roots, cuts and
  // tracks stay until they read again.
  TFolderList unreadable;
  for (int i = 0; i < WhiteDrives.Count() && !Cancelled; ++i) {
    const std::string drive = WhiteDrives[i];
    TSearchEngine engine;
    engine.Root = drive;
    engine.Masks = &Masks;
    engine.OnFile = MakeMethod<&TSearchEngineThread::Collect>(this);
    engine.OnDirectory = MakeMethod<&TSearchEngineThread::EnterDirectory>(this);
    SetEngine(&engine);
    engine.Search();
    SetEngine(nullptr);
    if (Cancelled) {
      break;
    }
    const TFolderList unreadableHere = FolderListOf(engine.UnreadableFolders());
    unreadable.insert(unreadable.end(), unreadableHere.begin(), unreadableHere.end());
    TStringList thisDrive;
    thisDrive.Add(DriveOfPath(drive));
    TStringList keptRoots;
    TStringList keptCuts;
    for (const auto& [list, kept] : {std::pair{&roots, &keptRoots}, std::pair{&cuts, &keptCuts}}) {
      for (int n = 0; n < list->Count(); ++n) {
        if (SameDrive((*list)[n], thisDrive) &&
            PathIsUnder(IncludeTrailingBackslash((*list)[n]), unreadableHere)) {
          kept->Add((*list)[n]);
        }
      }
    }
    DeleteByDrive(roots, thisDrive, false);
    DeleteByDrive(cuts, thisDrive, false);
    for (int n = 0; n < keptRoots.Count(); ++n) {
      roots.Add(keptRoots[n]);
    }
    for (int n = 0; n < keptCuts.Count(); ++n) {
      cuts.Add(keptCuts[n]);
    }
    if (IsRemovableDrive(drive)) {
      roots.Add(IncludeTrailingBackslash(drive));
    } else {
      for (int n = 0; n < engine.RootNodes().Count(); ++n) {
        roots.Add(engine.RootNodes()[n]->Path);
      }
      for (int n = 0; n < engine.CutNodes().Count(); ++n) {
        cuts.Add(engine.CutNodes()[n]->Path);
      }
    }
  }
  // Only the drives walked speak about their files; a drive that was not ready keeps its tracks.
  TStringList walked;
  for (int i = 0; i < WhiteDrives.Count(); ++i) {
    walked.Add(DriveOfPath(WhiteDrives[i]));
  }
  CompareAndRead([&](const std::string& path, std::string_view) {
    return SameDrive(path, walked) && !PathIsUnder(path, unreadable);
  });
  if (Cancelled) {
    Finished = true;
    return;
  }
  TStringList greyDrives;
  ReadOption(TMusicOption::GreyDrives, greyDrives);
  for (int i = 0; i < WhiteDrives.Count(); ++i) {
    if (greyDrives.IndexOf(WhiteDrives[i]) < 0) {
      greyDrives.Add(WhiteDrives[i]);
    }
  }
  const TOptionSource saved[] = {
      {TMusicOption::Roots, &roots}, {TMusicOption::Cuts, &cuts}, {TMusicOption::GreyDrives, &greyDrives}};
  WriteOptions(saved);
  PostEnd();
}

void TSearchEngineThread::UpdateScan()
{
  TStringList roots;
  TStringList cuts;
  TStringList greyDrives;
  const TOptionTarget loaded[] = {{TMusicOption::Roots, &roots},
                                  {TMusicOption::Cuts, &cuts},
                                  {TMusicOption::GreyDrives, &greyDrives},
                                  {TMusicOption::Masks, &Masks}};
  ReadOptions(loaded);
  const int storedRoots = roots.Count();
  const int storedCuts = cuts.Count();
  DeleteByDrive(roots, greyDrives, true);
  DeleteByDrive(cuts, greyDrives, true);
  for (int i = greyDrives.Count() - 1; i >= 0; --i) {
    if (!IsDriveReady(greyDrives[i])) {
      greyDrives.Delete(i);
    }
  }
  TStringList activeRoots;
  TStringList activeCuts;
  activeRoots.Assign(roots);
  activeCuts.Assign(cuts);
  DeleteByDrive(activeRoots, greyDrives, true);
  DeleteByDrive(activeCuts, greyDrives, true);
  TSearchEngine engine;
  const TUpdateScope scope(activeRoots, activeCuts, engine.ExcludedFolders);
  TFolderList unreadable;
  if (Masks.Count() > 0 && activeRoots.Count() > 0) {
    engine.Masks = &Masks;
    engine.OnFile = MakeMethod<&TSearchEngineThread::Collect>(this);
    SetEngine(&engine);
    engine.SearchUpdate(scope);
    SetEngine(nullptr);
    unreadable = FolderListOf(engine.UnreadableFolders());
  }
  // Whether a path is in scope depends only on its folder, and the library's files come folder
  // by folder: the answer is kept while the folder stays the same.
  std::string lastFolder;
  bool lastInScope = false;
  bool haveLast = false;
  CompareAndRead([&](const std::string& path, std::string_view folded) {
    const std::string_view folder = folded.substr(0, folded.rfind('\\') + 1);
    if (!haveLast || folder != lastFolder) {
      lastFolder.assign(folder);
      // What a folder that could not be listed holds is unknown, not gone: its tracks stay.
      lastInScope = scope.ScopeOfFolded(folder) != TWalkScope::Outside &&
                    (unreadable.empty() || !PathIsUnder(path, unreadable));
      haveLast = true;
    }
    return lastInScope;
  });
  if (Cancelled) {
    Finished = true;
    return;
  }
  // Only entries are ever deleted here: unchanged counts mean unchanged lists, and the file is
  // left alone (a scan that changed nothing writes nothing).
  if (roots.Count() != storedRoots || cuts.Count() != storedCuts) {
    const TOptionSource saved[] = {{TMusicOption::Roots, &roots}, {TMusicOption::Cuts, &cuts}};
    WriteOptions(saved);
  }
  PostEnd();
}

void TSearchEngineThread::DropScan()
{
  TStringList roots;
  TStringList cuts;
  const TOptionTarget loaded[] = {
      {TMusicOption::Roots, &roots}, {TMusicOption::Cuts, &cuts}, {TMusicOption::Masks, &Masks}};
  ReadOptions(loaded);
  const TStringList& files = Wrapper.FDropFiles;
  const TStringList& folders = Wrapper.FDropFolders;
  TDragNDropSearchEngine engine;
  engine.Roots = &roots;
  engine.Cuts = &cuts;
  engine.Masks = &Masks;
  engine.OnFile = MakeMethod<&TSearchEngineThread::Collect>(this);
  engine.Add(&files, &folders);
  if (Wrapper.FImportNow) {
    TStringList droppedFiles;
    droppedFiles.SetSorted(true);
    for (int i = 0; i < files.Count(); ++i) {
      droppedFiles.Add(files[i]);
    }
    const TFolderList droppedFolders = FolderListOf(folders);
    CompareAndRead([&](const std::string& path, std::string_view) {
      int index = 0;
      if (droppedFiles.Find(path, index)) {
        return true;
      }
      const std::string folder = ExtractFilePath(path);
      return std::any_of(droppedFolders.begin(), droppedFolders.end(),
                         [&](const std::string& dropped) { return AnsiCompareText(folder, dropped) == 0; });
    });
  }
  TStringList greyDrives;
  const bool dropped = files.Count() + folders.Count() > 0;
  if (dropped) {
    ReadOption(TMusicOption::GreyDrives, greyDrives);
    for (const TStringList* list : {&files, &folders}) {
      for (int i = 0; i < list->Count(); ++i) {
        const std::string drive = DriveOfPath((*list)[i]);
        if (!drive.empty() && greyDrives.IndexOf(drive) < 0) {
          greyDrives.Add(drive);
        }
      }
    }
  }
  const TOptionSource saved[] = {
      {TMusicOption::Roots, &roots}, {TMusicOption::Cuts, &cuts}, {TMusicOption::GreyDrives, &greyDrives}};
  WriteOptions(std::span(saved).first(dropped ? 3 : 2));
  Finished = true;
}

void TSearchEngineThread::Collect(TObject*, const std::string& folder, const TSearchRec& record)
{
  TFoundEntry& entry = FFound.emplace_back();
  // One allocation per path: folder + name would copy the folder first and grow it.
  entry.Path.reserve(folder.size() + record.Name.size());
  entry.Path.append(folder).append(record.Name);
  entry.LastWriteTime = record.FindData.ftLastWriteTime;
  entry.CreationTime = record.FindData.ftCreationTime;
  entry.LastAccessTime = record.FindData.ftLastAccessTime;
  entry.Size =
      (static_cast<std::uint64_t>(record.FindData.nFileSizeHigh) << 32) | record.FindData.nFileSizeLow;
  ++FilesFound;
}

void TSearchEngineThread::EnterDirectory(TNode*, const std::string& path)
{
  ++FoldersVisited;
  ReportProgress(path, WM_SCAN_STEP1_PROGRESS, static_cast<WPARAM>(FilesFound), FoldersVisited);
}

void TSearchEngineThread::ReportProgress(const std::string& folder, UINT message, WPARAM wParam,
                                         LPARAM lParam)
{
  if (FWindow == nullptr || !Wrapper.BeginProgress(folder)) {
    return;
  }
  if (PostMessageA(FWindow, message, wParam, lParam) == FALSE) {
    Wrapper.ProgressNotPosted();
  }
}

void TSearchEngineThread::CompareAndRead(const TKnownScope& inScope)
{
  // The scan's idea of the known files is the set in scope, whatever happens below.
  const TPathKeys knownKeys = KeepSortedKnownFiles(Wrapper.FKnownFiles, inScope);
  StartTick = GetTickCount();
  TMusicFileItems& found = Wrapper.FFoundFiles;
  const TKnownFiles& known = Wrapper.FKnownFiles;
  // The found items in path order (as found when the scan was cancelled: nothing is matched
  // then), the path moved over from each entry.
  std::size_t bytes = 0;
  for (const TFoundEntry& entry : FFound) {
    bytes += entry.Path.size();
  }
  TPathKeys foundKeys(FFound.size(), bytes);
  std::vector<std::uint32_t> order;
  order.reserve(FFound.size());
  for (std::uint32_t k = 0; k < FFound.size(); ++k) {
    foundKeys.Add(FFound[k].Path);
    order.push_back(k);
  }
  if (!Cancelled) {
    SortPathOrder(foundKeys, order);
  }
  found.clear();  // empty since the start; the keys go by the items' places
  found.reserve(order.size());
  for (const std::uint32_t k : order) {
    TFoundEntry& entry = FFound[k];
    TMusicFileItem& item = found.emplace_back();
    item.FileName = std::move(entry.Path);
    item.LastWriteTime = entry.LastWriteTime;
    item.CreationTime = entry.CreationTime;
    item.LastAccessTime = entry.LastAccessTime;
    item.Size = entry.Size;
  }
  FFound.clear();
  FFound.shrink_to_fit();
  foundKeys.Reorder(std::move(order));
  if (Cancelled) {
    return;
  }
  // Which found items are new or changed is known before any is read, so the reads can be
  // shared with a second thread while this one goes through the items in order.
  std::vector<const TKnownFile*> matches(found.size(), nullptr);
  std::vector<std::uint32_t> reads;
  for (std::size_t i = 0, j = 0; i < found.size(); ++i) {
    while (j < known.size()) {
      const int order = knownKeys[j].compare(foundKeys[i]);
      if (order < 0) {
        ++j;  // known, not found
        continue;
      }
      if (order == 0) {
        matches[i] = &known[j++];
      }
      break;
    }
    if (matches[i] == nullptr || !SameCompareAttributes(found[i], matches[i]->Attributes)) {
      reads.push_back(static_cast<std::uint32_t>(i));
    }
  }
  std::size_t kept = 0;  // found items [0, kept) stay; the rest are moved down over removed ones
  std::size_t i = 0;
  {
    // Gone, with its second thread, before the items are moved about below.
    TTagReadAhead readAhead(found, std::move(reads), FPause, Cancelled,
                            Wrapper.ReadAhead && std::thread::hardware_concurrency() > 1);
    std::size_t next = 0;  // the next of readAhead's items
    for (; i < found.size(); ++i) {
      const TKnownFile* match = matches[i];
      bool keep = true;
      if (next < readAhead.Count() && readAhead.Item(next) == i) {
        if (Cancelled) {
          break;
        }
        // Unchanged files passed count as done: the estimate runs over the whole walk.
        const std::int32_t estimate = ScanEstimate(FilesFound, static_cast<std::int64_t>(i), FilesProcessed,
                                                   GetTickCount() - StartTick);
        ReportProgress(ExtractFileDir(found[i].FileName), WM_SCAN_STEP2_PROGRESS,
                       static_cast<WPARAM>(estimate), 0);
        ++FilesProcessed;
        if (!readAhead.Await(next++)) {
          break;
        }
        if (ZeroChecksum(found[i].Checksum)) {
          ++FilesUnreadable;
          if (match != nullptr) {
            // Unreadable now (locked, an I/O error): the record stays as it is and the next scan
            // tries again.
            SetItemAttributes(found[i], match->Attributes);
          } else {
            keep = false;
          }
        }
      }
      if (keep) {
        if (kept != i) {
          found[kept] = std::move(found[i]);
        }
        ++kept;
      }
    }
  }
  // Items not reached (a cancelled step) stay after the kept ones.
  found.erase(found.begin() + static_cast<std::ptrdiff_t>(kept),
              found.begin() + static_cast<std::ptrdiff_t>(i));
}

// ---- the wrapper ----

TSearchEngineWrapper::TSearchEngineWrapper()
{
  FWindow.OnMessage = MakeMethod<&TSearchEngineWrapper::HandleMessage>(this);
  FWindow.Open();
}

TSearchEngineWrapper::~TSearchEngineWrapper()
{
  if (FThread && !FDropWaiting) {
    Stop();
  }
  FThread.reset();
  FWindow.Close();
}

std::int32_t TSearchEngineWrapper::ThreadCount() const
{
  const std::lock_guard lock(FLock);
  return FThreadCount;
}

bool TSearchEngineWrapper::IsRunning() const noexcept
{
  return FThread && !FThread->Finished;
}

bool TSearchEngineWrapper::CanStart() const noexcept
{
  return !FThread && !FDropWaiting && FHandling;
}

bool TSearchEngineWrapper::Start(TScanMode mode)
{
  if (!CanStart()) {
    return false;
  }
  // The thread is made first: when it cannot be, nothing has changed and the caller gets the
  // exception.
  std::unique_ptr<TSearchEngineThread> thread =
      TThread::New<TSearchEngineThread>(*this, mode, FWindow.Handle());
  thread->Serial = ++FSerial;
  thread->SetPriority(TThreadPriority::tpLowest);
  FMode = mode;
  FFoundFiles.clear();
  {
    const std::lock_guard lock(FLock);
    FLastFolder.clear();
  }
  FThread = std::move(thread);
  FBusy = true;
  return true;
}

bool TSearchEngineWrapper::StartFullScan()
{
  if (!Start(TScanMode::Full)) {
    return false;
  }
  FThread->Start();
  return true;
}

bool TSearchEngineWrapper::StartUpdateScan()
{
  if (!Start(TScanMode::Update)) {
    return false;
  }
  FThread->Start();
  return true;
}

bool TSearchEngineWrapper::DropScan(const TStringList* files, const TStringList* folders, bool importNow)
{
  if (!CanStart()) {
    return false;
  }
  FDropFiles.Clear();
  FDropFolders.Clear();
  if (files != nullptr) {
    FDropFiles.Assign(*files);
  }
  if (folders != nullptr) {
    FDropFolders.Assign(*folders);
  }
  FImportNow = importNow;
  Start(TScanMode::Drop);
  FDropWaiting = true;
  FThread->Start();
  FThread->WaitFor();
  FDropWaiting = false;
  const bool cancelled = FThread->Cancelled;
  FreeThread();
  FBusy = false;
  FDropFiles.Clear();
  FDropFolders.Clear();
  if (!FImportNow || cancelled) {
    FFoundFiles.clear();
  }
  if (cancelled) {
    // A step 2 cut short leaves files unread: nothing of it is fit to merge.
    FKnownFiles.clear();
  } else if (OnDropScanDone) {
    OnDropScanDone(this);
  }
  return true;
}

void TSearchEngineWrapper::Stop()
{
  if (!FThread || FDropWaiting || !FHandling) {
    return;
  }
  FHandling = false;
  if (!FThread->Finished) {
    FThread->Cancel();
    FThread->WaitFor();
  }
  FFoundFiles.clear();
  FKnownFiles.clear();
  FHandling = true;
  FreeThread();
  FBusy = false;
  if (OnStopped) {
    OnStopped(this);
  }
}

void TSearchEngineWrapper::FreeThread() noexcept
{
  if (FThread) {
    FThread->TerminateAndWait();
    FLastCounts = {FThread->FilesFound, FThread->FoldersVisited, FThread->FilesProcessed,
                   FThread->FilesUnreadable};
  }
  FThread.reset();
}

void TSearchEngineWrapper::SetKnownFiles(TKnownFiles files)
{
  if (!FBusy) {
    FKnownFiles = std::move(files);
  }
}

const TKnownFiles& TSearchEngineWrapper::GetKnownFiles() const noexcept
{
  static const TKnownFiles none;
  return FBusy ? none : FKnownFiles;
}

const TMusicFileItems* TSearchEngineWrapper::GetFoundFiles() const noexcept
{
  return FBusy ? nullptr : &FFoundFiles;
}

void TSearchEngineWrapper::ClearFoundFiles()
{
  if (!FBusy) {
    FFoundFiles.clear();
    FFoundFiles.shrink_to_fit();
  }
}

bool TSearchEngineWrapper::BeginProgress(const std::string& folder)
{
  if (FMessagePending) {
    return false;
  }
  const std::lock_guard lock(FLock);
  const std::string shown = ExcludeTrailingBackslash(folder);
  if (AnsiCompareText(shown, FLastFolder) == 0) {
    return false;
  }
  FLastFolder = shown;
  FMessagePending = true;
  return true;
}

void TSearchEngineWrapper::ProgressNotPosted()
{
  FMessagePending = false;
}

void TSearchEngineWrapper::HandleMessage(TObject*, TMessage& message, bool& handled)
{
  switch (message.Msg) {
    case WM_SCAN_STEP1_PROGRESS:
    case WM_SCAN_STEP2_PROGRESS: {
      handled = true;
      std::string folder;
      {
        const std::lock_guard lock(FLock);
        FMessagePending = false;
        folder = FLastFolder;
      }
      if (!FBusy || !FHandling) {
        return;
      }
      const auto value = static_cast<std::int32_t>(message.WParam);
      if (message.Msg == WM_SCAN_STEP1_PROGRESS) {
        if (OnStep1Progress) {
          OnStep1Progress(this, folder, value);
        }
      } else if (OnStep2Progress) {
        OnStep2Progress(this, folder, ScanEstimateSeconds(value));
      }
      return;
    }
    case WM_SCAN_ENDED:
      handled = true;
      ScanEnded(message.WParam, message.LParam);
      return;
    default:
      return;
  }
}

void TSearchEngineWrapper::ScanEnded(WPARAM serial, LPARAM lParam)
{
  FMessagePending = false;
  // The end of a scan that Stop already forgot, or of an earlier one.
  if (!FThread || FThread->Serial != serial || FDropWaiting || !FHandling) {
    return;
  }
  const TScanMode mode = FThread->Mode;
  FThread->WaitFor();
  FreeThread();
  FBusy = false;
  if (lParam == 0) {
    FFoundFiles.clear();
    FKnownFiles.clear();
  }
  TNotifyEvent event = OnStopped;
  if (lParam != 0) {
    event = mode == TScanMode::Full     ? OnFullScanDone
            : mode == TScanMode::Update ? OnUpdateScanDone
                                        : OnDropScanDone;
  }
  if (event) {
    event(this);
  }
}
