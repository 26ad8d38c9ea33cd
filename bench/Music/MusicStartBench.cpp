// Start-up of the main window on a library of 20,000 tracks in 1,000 folders (OXA_BENCH_START_TRACKS
// sets another size, twenty tracks to a folder), up to its first painted frame (BM_StartToFirstFrame),
// against the floor of opening that library and listing the start view alone (BM_OpenAndListFloor), in the
// same run on the same files. The window is freed between runs outside the timing. BM_PlayerOpenAndList shows
// how much of start-up the player's own making takes. On the X server when DISPLAY names one, else headless.
//
// The clock stops at the first frame: the messages waiting after the constructor are handled up
// to the timers (see PresentFirstFrame), so the update scan, which a start sets going on a timer
// after its first frame, is in neither figure. Both figures are the main thread's: the reported
// time is its CPU time (manual timing), the "wall_ms" counter its elapsed time. The window is
// freed outside the timing.

#include <benchmark/benchmark.h>
#include <time.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Music/form/Music.h"
#include "bench/support/BenchLibrary.h"
#include "bench/support/BenchScratch.h"
#include "library/MusicDatabase.h"
#include "platform/files/Paths.h"
#include "platform/windows/Windows.h"
#include "scan/OxaSearchOptions.h"
#include "settings/OxaMusicPlayerTypes.h"

namespace {

double ThreadCpuSeconds()
{
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double WallSeconds()
{
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The main thread's CPU and wall time of one timed stretch; the CPU time is the iteration's.
class TStretch {
 public:
  TStretch() : FCpu(ThreadCpuSeconds()), FWall(WallSeconds()) {}
  void Stop(benchmark::State& state, double& wall) const
  {
    state.SetIterationTime(ThreadCpuSeconds() - FCpu);
    wall += WallSeconds() - FWall;
  }

 private:
  double FCpu;
  double FWall;
};

void ReportWall(benchmark::State& state, double wall)
{
  state.counters["wall_ms"] = benchmark::Counter(wall * 1e3 / static_cast<double>(state.iterations()));
}

// A machine of its own with the library filled and a root stored, made once for the run.
class TMachine {
 public:
  static TMachine& Get()
  {
    static TMachine machine;
    return machine;
  }

  static int TrackCount()
  {
    const char* tracks = std::getenv("OXA_BENCH_START_TRACKS");
    const int count = tracks != nullptr ? std::atoi(tracks) : 0;
    return count >= benchlibrary::TrackCount ? count : benchlibrary::TrackCount;
  }
  static int FolderCount() { return TrackCount() / (benchlibrary::TrackCount / benchlibrary::FolderCount); }

 private:
  TMachine()
  {
    benchlibrary::MakeMachine(FScratch.HostPath(), benchlibrary::Tracks(192, "C:\\Music\\", TrackCount()),
                              "C:\\Music\\");
    // A library that has been scanned holds the file masks the first scan stored; without them
    // every start would store them again.
    TOxaSearchOptions{};
    if (!HostPathOf(GetDatabasePath(), FLibrary)) {
      throw std::runtime_error("no library folder");
    }
    std::filesystem::copy(FLibrary, Pristine(), std::filesystem::copy_options::recursive);
    Application().Initialize();
  }

 public:
  // The library and settings as filled: a start's update scan finds none of the made-up files
  // and empties the library, so every start begins from this copy again. The files are
  // written over rather than deleted and made anew, and only what a start added is deleted: a
  // file system without a journal makes every new file pay for the ones deleted just before,
  // which a real start, not preceded by a copy of its library, does not meet.
  void Restore() const
  {
    namespace fs = std::filesystem;
    for (const auto& entry : fs::recursive_directory_iterator(Pristine())) {
      const fs::path target = FLibrary / fs::relative(entry.path(), Pristine());
      if (entry.is_directory()) {
        fs::create_directories(target);
      } else {
        fs::copy_file(entry.path(), target, fs::copy_options::overwrite_existing);
      }
    }
    std::vector<fs::path> added;
    for (const auto& entry : fs::recursive_directory_iterator(FLibrary)) {
      if (!fs::exists(Pristine() / fs::relative(entry.path(), FLibrary))) {
        added.push_back(entry.path());
      }
    }
    for (const fs::path& path : added) {
      fs::remove_all(path);
    }
  }

 private:
  std::filesystem::path Pristine() const { return FScratch.HostPath() / "pristine"; }

  TScratch FScratch;
  std::string FLibrary;
};

// Handles every waiting message but the timers: the first frame is presented once the paints
// are done, and timers come after them (the start-up update scan waits on one).
void PresentFirstFrame()
{
  MSG message{};
  while (PeekMessageA(&message, nullptr, 0, WM_TIMER - 1, PM_REMOVE) ||
         PeekMessageA(&message, nullptr, WM_TIMER + 1, ~0U, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

// One start of the window up to its first frame; false when it did not start.
bool StartOnce(benchmark::State* state, double* wall)
{
  const std::optional<TStretch> stretch =
      state != nullptr ? std::optional<TStretch>(std::in_place) : std::nullopt;
  auto* form = Application().CreateForm<TMusicForm>(std::vector<std::string>{});
  const bool running = form->Running();
  if (running) {
    PresentFirstFrame();
  }
  if (stretch) {
    stretch->Stop(*state, *wall);
  }
  Application().DestroyComponents();
  return running;
}

// The first start in a process also loads what every later one finds loaded (the font files,
// the database engine's first open): a program's real start-up. Registered first so that it is.
void BM_FirstStartInProcess(benchmark::State& state)
{
  const TMachine& machine = TMachine::Get();
  double wall = 0;
  for (auto _ : state) {
    state.PauseTiming();
    machine.Restore();
    state.ResumeTiming();
    if (!StartOnce(&state, &wall)) {
      state.SkipWithError("the window did not start");
      break;
    }
  }
  ReportWall(state, wall);
}
BENCHMARK(BM_FirstStartInProcess)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(1)
    ->UseManualTime();

// Later starts: one untimed start first, so that every timed one is alike.
void BM_StartToFirstFrame(benchmark::State& state)
{
  const TMachine& machine = TMachine::Get();
  machine.Restore();
  if (!StartOnce(nullptr, nullptr)) {
    state.SkipWithError("the window did not start");
    return;
  }
  double wall = 0;
  for (auto _ : state) {
    state.PauseTiming();
    machine.Restore();
    state.ResumeTiming();
    if (!StartOnce(&state, &wall)) {
      state.SkipWithError("the window did not start");
      break;
    }
  }
  ReportWall(state, wall);
}
BENCHMARK(BM_StartToFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(10)->UseManualTime();

void BM_OpenAndListFloor(benchmark::State& state)
{
  const TMachine& machine = TMachine::Get();
  double wall = 0;
  for (auto _ : state) {
    state.PauseTiming();
    machine.Restore();
    state.ResumeTiming();
    const TStretch stretch;
    TMusicDatabase database(nullptr);
    database.SetDirectory(GetDatabasePath());
    if (!OpenLibrary(database)) {
      state.SkipWithError("cannot open the library");
      break;
    }
    TDbIdList views;
    database.GetItems(TDbId{}, views);
    TDbIdList folders;
    TDbId view;
    view.ViewId = ViewFolders;
    database.GetItems(view, folders);
    stretch.Stop(state, wall);
    database.SetConnected(false);
    // An empty library would be a floor of nothing (its place was once settled wrongly).
    if (folders.Count() != TMachine::FolderCount()) {
      state.SkipWithError("the library is not the filled one");
      break;
    }
  }
  ReportWall(state, wall);
}
BENCHMARK(BM_OpenAndListFloor)->Unit(benchmark::kMillisecond)->Iterations(10)->UseManualTime();

// The same listing through a player made for it: what start-up spends before its own steps
// (the audio component and the media-format runtime loaded, the scan driver made).
void BM_PlayerOpenAndList(benchmark::State& state)
{
  const TMachine& machine = TMachine::Get();
  double wall = 0;
  for (auto _ : state) {
    state.PauseTiming();
    machine.Restore();
    state.ResumeTiming();
    const TStretch stretch;
    auto player = std::make_unique<TOxaMusicPlayer>();
    if (!player->OpenLibrary()) {
      state.SkipWithError("cannot open the library");
      break;
    }
    TDbIdList views;
    player->ListItems(TDbId{}, views);
    TDbIdList folders;
    TDbId view;
    view.ViewId = ViewFolders;
    player->ListItems(view, folders);
    benchmark::DoNotOptimize(folders.Count());
    stretch.Stop(state, wall);
    player->Database().SetConnected(false);
    player.reset();
  }
  ReportWall(state, wall);
}
BENCHMARK(BM_PlayerOpenAndList)->Unit(benchmark::kMillisecond)->Iterations(10)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
