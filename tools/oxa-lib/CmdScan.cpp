// "oxa-lib scan": the program's scans run headless. The scan driver works on its own thread as
// in the program, its progress is shown with the controller's texts, and the result is merged
// into the library. Ctrl+C stops a scan; a stopped full or update scan saves nothing.

#include <atomic>
#include <ostream>
#include <string>
#include <vector>

#include "library/MusicDatabase.h"
#include "platform/core/Console.h"
#include "platform/files/Files.h"
#include "platform/objects/Threads.h"
#include "platform/windows/Messages.h"
#include "rtl/AnsiText.h"
#include "rtl/Format.h"
#include "scan/OxaSearchEngineWrapper.h"
#include "scan/OxaSearchOptions.h"
#include "settings/OxaMusicPlayerTypes.h"
#include "tools/oxa-lib/Arguments.h"
#include "tools/oxa-lib/Commands.h"
#include "tools/oxa-lib/Json.h"
#include "tools/oxa-lib/LibraryAccess.h"
#include "tools/oxa-lib/ScanText.h"

namespace {

constexpr const char* Usage =
    "usage: oxa-lib scan full|update [--dir LIB] [--json] | scan drop PATH... [--dir LIB] [--json]\n";

// Set by the Ctrl+C handler, which runs on a thread of its own.
std::atomic<bool> interrupted{false};
std::atomic<DWORD> mainThread{0};
std::atomic<TSearchEngineWrapper*> droppingWrapper{nullptr};

BOOL OnInterrupt(DWORD)
{
  interrupted = true;
  // A drop scan holds the main thread until it ends, so it is asked to stop from here.
  if (TSearchEngineWrapper* wrapper = droppingWrapper.load(); wrapper != nullptr) {
    if (TSearchEngineThread* thread = wrapper->Thread(); thread != nullptr) {
      thread->Cancel();
    }
  }
  PostThreadMessageA(mainThread, WM_NULL, 0, 0);
  return TRUE;
}

// The live progress line: redrawn in place on a terminal, one line per change otherwise.
class TProgressLine {
 public:
  TProgressLine(std::ostream& out, bool terminal) : FOut(out), FTerminal(terminal) {}
  ~TProgressLine() { Finish(); }

  void Step1(TObject*, const std::string& folder, std::int32_t files) { Show(Step1Text(files), folder); }
  void Step2(TObject*, const std::string& folder, std::int32_t seconds) { Show(Step2Text(seconds), folder); }
  void Step3(TObject*, const std::string& folder, std::int32_t percent) { Show(Step3Text(percent), folder); }

  // Ends a line drawn in place.
  void Finish()
  {
    if (FTerminal && FDrawn) {
      FOut << '\n' << std::flush;
      FDrawn = false;
    }
  }

 private:
  void Show(const std::string& text, const std::string& folder)
  {
    if (FTerminal) {
      // The folder is cut from the left, so the line stays on one row of a common terminal.
      constexpr std::size_t FolderWidth = 40;
      const std::string shown =
          folder.size() > FolderWidth ? "..." + folder.substr(folder.size() - FolderWidth + 3) : folder;
      FOut << '\r' << text << "  " << shown << "\x1b[K" << std::flush;
      FDrawn = true;
    } else {
      FOut << text << "  " << folder << std::endl;
    }
  }

  std::ostream& FOut;
  bool FTerminal;
  bool FDrawn = false;
};

// Handles messages until the scan's end is reported or Ctrl+C asks for a stop.
bool WaitForScan(TSearchEngineWrapper& wrapper)
{
  MSG message{};
  while (wrapper.Busy()) {
    if (interrupted) {
      wrapper.Stop();
      return false;
    }
    if (GetMessageA(&message, nullptr, 0, 0) > 0) {
      DispatchMessageA(&message);
    }
  }
  return !interrupted;
}

// The stored white drives, or every fixed disk while none are stored (written, since the scan
// thread reads them from the settings).
void EnsureWhiteDrives(TOxaSearchOptions& options, std::ostream& err)
{
  TStringList white;
  ReadOption(TMusicOption::WhiteDrives, white);
  if (white.Count() > 0) {
    return;
  }
  TOxaDriveInformation& drives = options.DriveInformation();
  for (int i = 0; i < drives.Count(); ++i) {
    if (drives.Items(i).Kind == TDriveKind::dkFixed) {
      white.Add(drives.Items(i).Root);
    }
  }
  err << "no drives selected for a full scan; selecting the fixed disks:";
  for (int i = 0; i < white.Count(); ++i) {
    err << ' ' << white[i];
  }
  err << '\n';
  WriteOption(TMusicOption::WhiteDrives, white);
}

bool SplitDropped(const std::vector<std::string>& paths, TStringList& files, TStringList& folders,
                  std::ostream& err)
{
  for (const std::string& argument : paths) {
    const std::string path = WindowsPath(argument);
    const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      err << "no such file or folder: " << argument << '\n';
      return false;
    }
    ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? folders : files).Add(path);
  }
  return true;
}

void Report(const TScanCounts& counts, const TMergeCounts& merge, bool asJson, std::ostream& out)
{
  if (asJson) {
    TJsonWriter json(out);
    json.BeginObject()
        .Key("found")
        .Number(counts.FilesFound)
        .Key("read")
        .Number(counts.FilesProcessed)
        .Key("unreadable")
        .Number(counts.FilesUnreadable)
        .Key("added")
        .Number(merge.Added)
        .Key("updated")
        .Number(merge.Updated)
        .Key("removed")
        .Number(merge.Removed)
        .EndObject();
    return;
  }
  out << "found " << counts.FilesFound << " music files, read " << counts.FilesProcessed << " ("
      << counts.FilesUnreadable << " unreadable); added " << merge.Added << ", updated " << merge.Updated
      << ", removed " << merge.Removed << '\n';
}

}  // namespace

int RunScan(TCommandArgs args, std::ostream& out, std::ostream& err)
{
  const TArguments arguments(args, {"json"}, {"dir"});
  const std::vector<std::string>& words = arguments.Positional();
  if (!arguments.Error().empty() || words.empty()) {
    err << arguments.Error() << (arguments.Error().empty() ? "" : "\n") << Usage;
    return ExitUsage;
  }
  const std::string& mode = words[0];
  const bool drop = mode == "drop";
  if ((mode != "full" && mode != "update" && !drop) || (drop != (words.size() > 1))) {
    err << Usage;
    return ExitUsage;
  }
  TMusicDatabase database(nullptr);
  if (!UseLibraryDirectory(database, arguments.Option("dir"), err)) {
    return ExitFailure;
  }
  TStringList files;
  TStringList folders;
  if (drop && !SplitDropped({words.begin() + 1, words.end()}, files, folders, err)) {
    return ExitFailure;
  }
  if (!OpenForWriting(database, err)) {
    return ExitFailure;
  }
  // Writes the default masks when none are stored, as the program does at start.
  TOxaSearchOptions options;
  if (mode == "full") {
    EnsureWhiteDrives(options, err);
  }

  TSearchEngineWrapper wrapper;
  // The progress goes to the standard output, or beside it when that carries the JSON.
  const bool asJson = arguments.Has("json");
  TProgressLine progress(
      asJson ? err : out,
      GetConsoleMode(GetStdHandle(asJson ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE), nullptr) != FALSE);
  wrapper.OnStep1Progress = MakeMethod<&TProgressLine::Step1>(&progress);
  wrapper.OnStep2Progress = MakeMethod<&TProgressLine::Step2>(&progress);
  database.OnUpdateProgress = MakeMethod<&TProgressLine::Step3>(&progress);
  try {
    wrapper.SetKnownFiles(database.GetKnownFiles(nullptr, nullptr, nullptr));
  } catch (const std::exception& e) {
    if (!IsDamagedLibraryError(e)) {
      throw;
    }
    CloseAfterWriting(database, err);
    err << "the library in " << database.Directory() << " is damaged (" << e.what()
        << "); oxa-lib db recover makes it anew with the favorites restored\n";
    return ExitFailure;
  }

  interrupted = false;
  mainThread = GetCurrentThreadId();
  SetConsoleCtrlHandler(&OnInterrupt, TRUE);
  bool completed = false;
  if (drop) {
    droppingWrapper = &wrapper;
    wrapper.DropScanImportNow(&files, &folders);
    droppingWrapper = nullptr;
    completed = !interrupted;
  } else {
    const bool started = mode == "full" ? wrapper.StartFullScan() : wrapper.StartUpdateScan();
    completed = started && WaitForScan(wrapper);
  }
  SetConsoleCtrlHandler(&OnInterrupt, FALSE);
  if (!completed) {
    progress.Finish();
    CloseAfterWriting(database, err);
    err << (drop ? "scan stopped; the dropped places are kept, the library is left as it was\n"
                 : "scan stopped; nothing saved\n");
    return ExitFailure;
  }

  const TKnownFiles& known = wrapper.GetKnownFiles();
  const TMusicFileItems& found = *wrapper.GetFoundFiles();
  const TMergeCounts merge = CountMerge(known, found);
  const bool applied = database.ApplyScanResults(known, found);
  progress.Finish();
  const bool closed = CloseAfterWriting(database, err);
  Report(wrapper.LastCounts(), merge, asJson, out);
  if (!applied) {
    err << "the merge failed (" << database.MergeError() << "); the " << database.MergeCommitted()
        << " changes committed before the failure are kept, the rest is not saved\n";
    if (database.MergeFoundDamage()) {
      err << "the library is damaged; oxa-lib db recover makes it anew with the favorites restored\n";
    }
    return ExitFailure;
  }
  return closed ? ExitSuccess : ExitFailure;
}
