// "StepUp" on the shown browser over a library of 20,000 tracks in 1,000 folders whose files
// are missing (a drive unplugged): BM_StepUpAllMissing, where nothing plays and the step ends
// after one pass over every folder, and BM_StepUpFirstMissing/N, where the first N folders of
// the list are missing and the step ends on the first track of the folder after them. The last
// argument is the display mode: 0 with the browser hidden (a remote control's step), 2 with the
// lists shown, where every row shown as playing also scrolls the list to it.
//
// The step is timed from the key to the moment the program has nothing left to do: a failure
// the player reports later arrives as a message and goes on with the same pass, so the
// messages (not the timers) are handled until none is left. The reported time is the main
// thread's CPU time (manual timing), the "wall_ms" counter its elapsed time; "tries" is how
// many rows the step asked the player to play. Each run starts from the first folder, made
// current as start-up leaves it, outside the timing.
//
// The records lie outside the stored root, so the start-up's update scan leaves them; only the
// folder a step is meant to end in gets real files. On the X server when DISPLAY names one,
// else headless.

#include <benchmark/benchmark.h>
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

using benchlibrary::FolderCount;
using benchlibrary::TrackCount;

std::string TrackFile(int i)
{
  return benchlibrary::TrackFile("C:\\Library\\", i);
}

// A machine of its own with the library filled and a root stored; made once for the run.
class TMachine {
 public:
  static TMachine& Get()
  {
    static TMachine machine;
    return machine;
  }

  // Writes the files of one album (a few seconds of sound each).
  void WriteAlbum(int album)
  {
    testmedia::TMp3Recipe recipe;
    recipe.Audio.Milliseconds = 5000;
    for (int i = album; i < TrackCount; i += FolderCount) {
      std::string file = TrackFile(i).substr(3);
      std::replace(file.begin(), file.end(), '\\', '/');
      const std::filesystem::path path = std::filesystem::path(FDrive) / file;
      std::filesystem::create_directories(path.parent_path());
      testmedia::WriteMp3(path, recipe);
    }
  }
  // The album's files gone again, for the next benchmark.
  void RemoveAlbum(int album)
  {
    const std::string folder =
        "Library/Artist " + std::to_string(album % 400) + "/Album " + std::to_string(album);
    std::filesystem::remove_all(std::filesystem::path(FDrive) / folder);
  }

 private:
  TMachine()
  {
    benchlibrary::MakeMachine(FScratch.HostPath(), benchlibrary::Tracks(128, "C:\\Library\\"), "C:\\Music\\");
    if (!HostPathOf("C:\\", FDrive)) {
      throw std::runtime_error("no folder for drive C:");
    }
    std::filesystem::create_directories(std::filesystem::path(FDrive) / "Music");
    Application().Initialize();
  }

  TScratch FScratch;
  std::string FDrive;
};

// Handles every waiting message but the timers (the player's late failures are messages) until
// none is left or a track plays: a playing track's reports would keep the queue busy.
void HandleWaitingMessages(const TOxaMusicPlayer* player = nullptr)
{
  MSG message{};
  while ((player == nullptr || player->CurrentItem().Empty() || player->State() != OxaAudPlaying) &&
         (PeekMessageA(&message, nullptr, 0, WM_TIMER - 1, PM_REMOVE) ||
          PeekMessageA(&message, nullptr, WM_TIMER + 1, ~0U, PM_REMOVE))) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

using benchloop::RunLoop;

// The browser on the Folders view, its start-up settled (the update scan has run).
TMusicForm* StartBrowser(int displayMode)
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
  form->ShowView(ViewFolders);
  form->SetDisplayMode(static_cast<std::uint8_t>(displayMode));
  RunLoop(200);
  return form;
}

// The first folder current with nothing playing, as start-up leaves it.
bool FirstFolderCurrent(TMusicForm& form, const TDbIdList& folders)
{
  form.Player()->Stop();
  TMusicNavigator& navigator = form.Navigator();
  const TDbId& first = folders.Get(0);
  navigator.CurrentItem = TDbId();
  navigator.CurrentGroup = first;
  navigator.CurrentGroup.FileId = -1;
  navigator.PlayedItems.Clear();
  if (!form.Player()->ListItems(first, navigator.GroupItems)) {
    return false;
  }
  TMusicListLoader loader = form.ListLoader(form.FirstList());
  TMusicListViewItem* head = loader.FindRow(first);
  if (head == nullptr) {
    return false;
  }
  loader.SetActiveGroup(head);
  HandleWaitingMessages();
  return true;
}

// Counts the rows the player is asked to play.
struct TTryCounter {
  int Tries = 0;
  void BeforePlay(TObject*) { ++Tries; }
};

void StepOverMissing(benchmark::State& state, int missingFolders, int displayMode)
{
  TMusicForm* form = StartBrowser(displayMode);
  if (form == nullptr) {
    state.SkipWithError("the window did not start");
    return;
  }
  TDbIdList folders;
  TDbId view;
  view.ViewId = ViewFolders;
  form->Player()->ListItems(view, folders);
  if (folders.Count() != FolderCount) {
    state.SkipWithError("the library lost its folders");
    Application().DestroyComponents();
    return;
  }
  TDbId target;
  int album = -1;
  if (missingFolders < FolderCount) {
    target = folders.Get(missingFolders);
    const std::string caption = form->Player()->Database().GetCaption(target);
    album = std::stoi(caption.substr(caption.rfind(' ') + 1));
    TMachine::Get().WriteAlbum(album);
  }
  TTryCounter counter;
  form->Player()->OnBeforePlay = MakeMethod<&TTryCounter::BeforePlay>(&counter);
  double wall = 0;
  for (auto _ : state) {
    state.PauseTiming();
    if (!FirstFolderCurrent(*form, folders)) {
      state.SkipWithError("the first folder is not in the list");
      break;
    }
    counter.Tries = 0;
    state.ResumeTiming();
    const double cpu = Seconds(CLOCK_THREAD_CPUTIME_ID);
    const double start = Seconds(CLOCK_MONOTONIC);
    form->StepUp();
    HandleWaitingMessages(form->Player());
    state.SetIterationTime(Seconds(CLOCK_THREAD_CPUTIME_ID) - cpu);
    wall += Seconds(CLOCK_MONOTONIC) - start;
    const TDbId& playing = form->Player()->CurrentItem();
    const bool expected =
        target.Empty() ? form->Player()->State() != OxaAudPlaying : playing.SameGroup(target);
    if (!expected) {
      const std::string where =
          "the step did not end where it should: " + form->Player()->Database().GetCaption(playing) + " " +
          form->Player()->Database().GetCaption(form->Navigator().CurrentGroup);
      state.SkipWithError(where.c_str());
      break;
    }
  }
  state.counters["tries"] = counter.Tries;
  state.counters["wall_ms"] = benchmark::Counter(wall * 1e3 / static_cast<double>(state.iterations()));
  form->Player()->OnBeforePlay = nullptr;
  Application().DestroyComponents();
  if (album >= 0) {
    TMachine::Get().RemoveAlbum(album);
  }
}

void BM_StepUpAllMissing(benchmark::State& state)
{
  StepOverMissing(state, FolderCount, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_StepUpAllMissing)->Arg(0)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();

void BM_StepUpFirstMissing(benchmark::State& state)
{
  StepOverMissing(state, static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
}
BENCHMARK(BM_StepUpFirstMissing)
    ->Args({1, 0})
    ->Args({50, 0})
    ->Args({50, 2})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
