// The shown browser on a library of 20,000 tracks in 1,000 folders, in this process.
//
// BM_IdleBrowser: the whole process's CPU (every thread: the window's, the player's, the bus's)
// while the browser's message loop waits for nothing for a few seconds, after the start-up has
// settled (first frame, the update scan's timer, the scan). BM_IdleEmptyForm is the floor: an
// empty form's message loop over the same stretch. The reported time is the CPU time of one
// stretch; "cpu_pct" is that CPU time as a share of one core over the stretch's wall time.
//
// BM_ClickToPublished: a click on a track row of the first list up to the playing state
// published on the bus (published inside the click), against BM_PlayItemAlone: the player's
// PlayItem on the same tracks. Both are the main thread's CPU time (manual timing); "wall_ms"
// is their elapsed time. Each play takes the next of the folder's tracks, so every one really
// opens a file.
//
// The library is filled with made-up records, like the start-up benchmark's, kept outside the
// stored root so that the start-up's update scan (over the root) leaves them; the folder whose
// rows are clicked holds real MP3 files. On the X server when DISPLAY names one, else headless.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "Music/form/Music.h"
#include "Music/lists/MusicLists.h"
#include "bench/support/BenchLibrary.h"
#include "bench/support/BenchMessageLoop.h"
#include "bench/support/BenchScratch.h"
#include "forms/Forms.h"
#include "library/MusicDatabase.h"
#include "platform/files/Paths.h"
#include "platform/windows/Windows.h"
#include "settings/OxaMusicPlayerTypes.h"
#include "tools/make-test-media/TestMedia.h"

namespace {

double Seconds(clockid_t clock)
{
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double ProcessCpuSeconds()
{
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

using benchlibrary::FolderCount;
using benchlibrary::TrackCount;
// The folder whose tracks are clicked: album 0, its 20 tracks real files.
constexpr int ClickedAlbum = 0;
constexpr int IdleMs = 3000;

std::string TrackFile(int i)
{
  return benchlibrary::TrackFile("C:\\Library\\", i);
}

// A machine of its own with the library filled, a root stored and the clicked folder's files
// written; made once for the run.
class TMachine {
 public:
  static TMachine& Get()
  {
    static TMachine machine;
    return machine;
  }

 private:
  TMachine()
  {
    benchlibrary::MakeMachine(FScratch.HostPath(), benchlibrary::Tracks(128, "C:\\Library\\"), "C:\\Music\\");
    testmedia::TMp3Recipe recipe;
    recipe.Audio.Milliseconds = 60000;
    // The drive's folder: a path below it is found only once it exists.
    std::string drive;
    if (!HostPathOf("C:\\", drive)) {
      throw std::runtime_error("no folder for drive C:");
    }
    std::filesystem::create_directories(std::filesystem::path(drive) / "Music");
    for (int i = ClickedAlbum; i < TrackCount; i += FolderCount) {
      std::string file = TrackFile(i).substr(3);
      std::replace(file.begin(), file.end(), '\\', '/');
      const std::filesystem::path path = std::filesystem::path(drive) / file;
      std::filesystem::create_directories(path.parent_path());
      testmedia::WriteMp3(path, recipe);
    }
    Application().Initialize();
  }

  TScratch FScratch;
};

using benchloop::RunLoop;

// The browser started on the library, its start-up settled: the update scan has run.
TMusicForm* StartBrowser()
{
  TMachine::Get();
  auto* form = Application().CreateForm<TMusicForm>(std::vector<std::string>{});
  if (!form->Running()) {
    return nullptr;
  }
  form->SetDisplayMode(2);
  RunLoop(500);
  for (int i = 0; i < 600 && form->Player()->IsScanning(); ++i) {
    RunLoop(100);
  }
  RunLoop(500);
  return form;
}

void IdleStretches(benchmark::State& state)
{
  double wall = 0;
  for (auto _ : state) {
    const double cpu = ProcessCpuSeconds();
    const double start = Seconds(CLOCK_MONOTONIC);
    RunLoop(IdleMs);
    const double used = ProcessCpuSeconds() - cpu;
    const double elapsed = Seconds(CLOCK_MONOTONIC) - start;
    state.SetIterationTime(used);
    wall += elapsed;
    state.counters["cpu_pct"] =
        benchmark::Counter(used / elapsed * 100.0, benchmark::Counter::kAvgIterations);
  }
  state.counters["wall_ms"] = benchmark::Counter(wall * 1e3 / static_cast<double>(state.iterations()));
}

void BM_IdleBrowser(benchmark::State& state)
{
  TMusicForm* form = StartBrowser();
  if (form == nullptr) {
    state.SkipWithError("the window did not start");
    return;
  }
  state.counters["folders"] = static_cast<double>(form->FirstListItems().Count());
  IdleStretches(state);
  Application().DestroyComponents();
}
BENCHMARK(BM_IdleBrowser)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->UseManualTime();

void BM_IdleEmptyForm(benchmark::State& state)
{
  TMachine::Get();
  auto* form = Application().CreateForm<TForm>();
  form->Show();
  RunLoop(500);
  IdleStretches(state);
  Application().DestroyComponents();
}
BENCHMARK(BM_IdleEmptyForm)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->UseManualTime();

// The clicked folder's items, in the first list's Folders view.
TDbIdList ClickedItems(TMusicForm& form)
{
  TDbIdList items;
  TDbId view;
  view.ViewId = ViewFolders;
  TDbIdList folders;
  form.Player()->ListItems(view, folders);
  for (int i = 0; i < folders.Count(); ++i) {
    if (form.Player()->Database().GetCaption(folders.Get(i)) == "Album " + std::to_string(ClickedAlbum)) {
      form.Player()->ListItems(folders.Get(i), items);
      break;
    }
  }
  return items;
}

void BM_ClickToPublished(benchmark::State& state)
{
  TMusicForm* form = StartBrowser();
  if (form == nullptr || form->Node() == nullptr) {
    state.SkipWithError("the window or its bus node did not start");
    return;
  }
  form->ShowView(ViewFolders);
  const TDbIdList items = ClickedItems(*form);
  if (items.Count() < 2) {
    state.SkipWithError("the clicked folder is missing");
    Application().DestroyComponents();
    return;
  }
  TMusicListView& list = *form->FirstList()->List();
  double wall = 0;
  int next = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const TDbId item = items.Get(next++ % items.Count());
    TMusicListViewItem* row = form->ListLoader(form->FirstList()).ShowItem(item, true, false);
    if (row == nullptr) {
      state.SkipWithError("no row for the track");
      break;
    }
    RunLoop(20);  // the repaints of the reveal, outside the timing
    const int x = row->Width() / 2;
    const int y = row->Height() / 2;
    state.ResumeTiming();
    const double cpu = Seconds(CLOCK_THREAD_CPUTIME_ID);
    const double start = Seconds(CLOCK_MONOTONIC);
    form->ListItemClick(&list, row, {}, x, y);
    state.SetIterationTime(Seconds(CLOCK_THREAD_CPUTIME_ID) - cpu);
    wall += Seconds(CLOCK_MONOTONIC) - start;
    if (!form->CurrentItem().SameItem(item)) {
      state.SkipWithError("the click did not play the track");
      break;
    }
  }
  state.counters["wall_ms"] = benchmark::Counter(wall * 1e3 / static_cast<double>(state.iterations()));
  Application().DestroyComponents();
}
BENCHMARK(BM_ClickToPublished)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20)
    ->Repetitions(5)
    ->UseManualTime();

void BM_PlayItemAlone(benchmark::State& state)
{
  TMusicForm* form = StartBrowser();
  if (form == nullptr) {
    state.SkipWithError("the window did not start");
    return;
  }
  const TDbIdList items = ClickedItems(*form);
  if (items.Count() < 2) {
    state.SkipWithError("the clicked folder is missing");
    Application().DestroyComponents();
    return;
  }
  double wall = 0;
  int next = 0;
  for (auto _ : state) {
    const TDbId item = items.Get(next++ % items.Count());
    const double cpu = Seconds(CLOCK_THREAD_CPUTIME_ID);
    const double start = Seconds(CLOCK_MONOTONIC);
    const bool played = form->Player()->PlayItem(item, false);
    state.SetIterationTime(Seconds(CLOCK_THREAD_CPUTIME_ID) - cpu);
    wall += Seconds(CLOCK_MONOTONIC) - start;
    if (!played) {
      state.SkipWithError("PlayItem failed");
      break;
    }
  }
  state.counters["wall_ms"] = benchmark::Counter(wall * 1e3 / static_cast<double>(state.iterations()));
  Application().DestroyComponents();
}
BENCHMARK(BM_PlayItemAlone)->Unit(benchmark::kMillisecond)->Iterations(20)->Repetitions(5)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
