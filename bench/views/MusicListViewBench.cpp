// The music list at 800x600 on the headless screen, composed on the calling thread:
// - GroupOpening: a whole opening animation of a group of 5,000 tracks, 60 steps a second of its
//   clock, reported per frame (frames/s counter), against MemcpyScroll, a frame that only moves
//   the list's 800x600 surface up by the same share of the distance (the floor);
// - ListMemory: the heap a list of N track rows takes, rows in reach composed (bytes counter);
// - ToggleSelection: one row selected or deselected and repainted through the async path;
// - AlbumsScroll: an animated scroll through 2,000 album rows, per frame, with covers off, with
//   every cover loaded, and with the loader still at work while the list scrolls;
// - TitlesGroupScroll: a Titles letter group of 10,000 tracks opened and scrolled through, page
//   by page and then to its end, on one core, five times: each frame's cost is its cheapest run,
//   giving the slowest frame (worst_ms), the slowest of the opening alone and the mean; beside
//   them the slowest frame of any run (raw_worst_ms) and the longest stall a busy loop on the
//   same core saw in two seconds (stall_ms), which is the machine's.

#include <malloc.h>
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <cstdio>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "graphics/OxaImage.h"
#include "library/CoverCache.h"
#include "library/CoverLoader.h"
#include "platform/windows/DisplayTesting.h"
#include "platform/windows/Messages.h"
#include "skin/OxaSkin.h"
#include "tools/make-test-media/TestMedia.h"
#include "views/list/MusicListRowMetrics.h"
#include "views/list/MusicListView.h"
#include "views/list/MusicListViewItem.h"
#include "views/list/MusicListViewScrollBar.h"

namespace {

using K = TMusicListViewItemKinds;
constexpr int kWidth = 800;
constexpr int kHeight = 600;

void Settle()
{
  MSG message{};
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
    DispatchMessageA(&message);
}

std::size_t HeapInUse()
{
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

// Resident bytes: the heap and the mapped surfaces alike.
std::size_t Resident()
{
  std::FILE* file = std::fopen("/proc/self/statm", "r");
  if (file == nullptr)
    return 0;
  unsigned long size = 0, resident = 0;
  const int read = std::fscanf(file, "%lu %lu", &size, &resident);
  std::fclose(file);
  return read == 2 ? std::size_t(resident) * std::size_t(sysconf(_SC_PAGESIZE)) : 0;
}

// The list on the headless screen with the skin's icons and its font, in an image of its own.
struct TListHost {
  TOwnedObject<TOxaImage> Image{new TOxaImage(nullptr)};
  TOxaBitmaps Store{nullptr};
  TOxaFont Font{nullptr};
  TOwnedObject<TMusicListView> List{new TMusicListView(nullptr)};
  std::uint64_t Now = 0;

  TListHost()
  {
    UseHeadlessDisplay(kWidth, kHeight);
    Store.ReadData(*OxaSkinStore("Icons"));
    TOxaGdiFont gdi;
    gdi.Name = "Verdana";
    gdi.Height = -13;
    Font.SetGdiFont(gdi);
    List->SetBitmaps(&Store);
    List->SetFont(&Font);
    List->SetBounds(0, 0, kWidth, kHeight);
  }
  ~TListHost() { Image->SetBitmap(nullptr); }
  TListHost(const TListHost&) = delete;
  TListHost& operator=(const TListHost&) = delete;

  // Shows the list from its top, once its rows are in.
  void Present()
  {
    List->ScrollTo(0, false);
    Image->SetBounds(0, 0, kWidth, kHeight);
    Image->Show();
    Image->SetBitmap(List.get());
    Settle();
  }
};

// A list with a group row and a group of rows (closed unless open).
struct TScene : TListHost {
  TOxaBitmap* Group = nullptr;
  std::vector<TMusicListViewItem*> Rows;

  TScene(int rows, bool open)
  {
    TOxaBitmap* panel = List->Panel();
    const int width = kWidth - TMusicListViewScrollBar::BarWidth;
    const int full = rows * kMusicRowHeight;
    panel->SetBounds(0, 0, width, kMusicRowHeight + (open ? full : 0));
    auto* head = new TMusicListViewItem(&panel->Objects(), List.get(), K::mlkAlbum);
    head->SetCaption("The Album");
    head->SetBounds(0, 0, width, kMusicRowHeight);
    head->SetParent(panel);
    Group = new TOxaBitmap(&panel->Objects());
    Group->SetBounds(0, kMusicRowHeight, width, open ? full : 0);
    Group->SetAutoRealign(false);
    Group->SetParent(panel);
    for (int i = 0; i < rows; ++i) {
      auto* row = new TMusicListViewItem(&Group->Objects(), List.get(), K::mlkTrack);
      row->SetRecordIndex(i);
      row->SetNumber(i + 1);
      row->SetCaption("Track number " + std::to_string(i + 1));
      row->SetBounds(0, i * kMusicRowHeight, width, kMusicRowHeight);
      row->SetParent(Group);
      Rows.push_back(row);
    }
    Present();
  }
};

void BM_GroupOpening(benchmark::State& state)
{
  TScene scene(5000, false);
  std::uint64_t frames = 0;
  scene.List->SetClock([&] {
    ++frames;
    return scene.Now += 1000 / 60;
  });
  for (auto _ : state) {
    // Opening scrolls the group's row to the top and shows 11 screens of its rows on the way.
    scene.List->AnimateGroup(scene.Group, true, kMusicRowHeight);
    state.PauseTiming();
    const std::uint64_t opening = frames;
    scene.List->AnimateGroup(scene.Group, false, 0);
    Settle();
    frames = opening;
    state.ResumeTiming();
  }
  state.counters["frames"] = benchmark::Counter(double(frames), benchmark::Counter::kAvgIterations);
  state.counters["fps"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_GroupOpening)->UseRealTime()->Unit(benchmark::kMillisecond);

// One animation frame that only scrolls the surface: a memmove of 800x600x3 bytes.
void BM_MemcpyScroll(benchmark::State& state)
{
  const std::size_t stride = std::size_t(OxaStride(kWidth, 3));
  std::vector<std::uint8_t> surface(stride * kHeight, 0x5A);
  int shift = 1;
  for (auto _ : state) {
    std::memmove(surface.data(), surface.data() + stride * std::size_t(shift),
                 stride * std::size_t(kHeight - shift));
    shift = shift % 20 + 1;
    benchmark::DoNotOptimize(surface.data());
    benchmark::ClobberMemory();
  }
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MemcpyScroll)->UseRealTime();

void BM_ListMemory(benchmark::State& state)
{
  std::size_t heap = 0, resident = 0, surfaces = 0, composed = 0;
  for (auto _ : state) {
    const std::size_t heapBefore = HeapInUse();
    const std::size_t residentBefore = Resident();
    {
      TScene scene(int(state.range(0)), true);
      heap = HeapInUse() - heapBefore;
      resident = Resident() - residentBefore;
      surfaces = 0;
      composed = 0;
      for (const TMusicListViewItem* row : scene.Rows) {
        surfaces += row->ImageSize();
        composed += row->Composed() ? 1 : 0;
      }
      benchmark::DoNotOptimize(scene.Rows.data());
    }
  }
  state.counters["heap"] = double(heap);
  state.counters["resident"] = double(resident);
  state.counters["surfaces"] = double(surfaces);
  state.counters["composed"] = double(composed);
}
BENCHMARK(BM_ListMemory)->Arg(50)->Arg(5000)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ToggleSelection(benchmark::State& state)
{
  TScene scene(50, true);
  TMusicListViewItem* row = scene.Rows[3];
  for (auto _ : state) {
    if (scene.List->IsSelected(row))
      scene.List->Deselect(row);
    else
      scene.List->Select(row);
    scene.Image->RunCallbacks();  // the list's queued repaint
  }
}
BENCHMARK(BM_ToggleSelection)->Unit(benchmark::kMicrosecond);

// The same toggle without the repaint: the row's own recomposition.
void BM_ToggleSelectionCompose(benchmark::State& state)
{
  TScene scene(50, true);
  TMusicListViewItem* row = scene.Rows[3];
  for (auto _ : state) {
    if (scene.List->IsSelected(row))
      scene.List->Deselect(row);
    else
      scene.List->Select(row);
    state.PauseTiming();
    scene.Image->RunCallbacks();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ToggleSelectionCompose)->Unit(benchmark::kMicrosecond);

// Twenty album folders, each track's tag holding a 500 x 500 front cover, in a fresh folder.
struct TCoverFiles {
  std::filesystem::path Folder;
  std::vector<std::string> Files;

  TCoverFiles()
  {
    Folder = std::filesystem::temp_directory_path() / ("oxa-cover-bench-" + std::to_string(getpid()));
    for (int i = 0; i < 20; ++i) {
      testmedia::TId3v2Fields fields{"Track", "Artist", "Album " + std::to_string(i)};
      fields.Picture = testmedia::EncodePicture(
          {testmedia::TPictureFormat::Jpeg, 500, 500, static_cast<std::uint32_t>(i + 1)});
      testmedia::TBytes bytes = testmedia::ComposeId3v2(fields);
      bytes.resize(bytes.size() + 4000, 0x55);
      const auto file = Folder / ("Album" + std::to_string(i)) / "Track.mp3";
      std::filesystem::create_directories(file.parent_path());
      testmedia::WriteBytes(file, bytes);
      Files.push_back(file.string());
    }
  }
  ~TCoverFiles() { std::filesystem::remove_all(Folder); }
  TCoverFiles(const TCoverFiles&) = delete;
  TCoverFiles& operator=(const TCoverFiles&) = delete;
};

// 2,000 album rows in the panel, their groups' covers from the twenty files in turn.
struct TAlbumScene : TListHost {
  static constexpr int Rows = 2000;

  TAlbumScene()
  {
    TOxaBitmap* panel = List->Panel();
    const int width = kWidth - TMusicListViewScrollBar::BarWidth;
    panel->SetBounds(0, 0, width, Rows * kMusicRowHeight);
    for (int i = 0; i < Rows; ++i) {
      auto* row = new TMusicListViewItem(&panel->Objects(), List.get(), K::mlkAlbum);
      row->SetCaption("Album number " + std::to_string(i + 1));
      row->SetPayload(TDbId{ViewAlbums, i + 1, -1, "Album", "", 0});
      row->SetBounds(0, i * kMusicRowHeight, width, kMusicRowHeight);
      row->SetParent(panel);
    }
    Present();
  }
};

// 0: covers off; 1: every cover loaded before the timing; 2: a fresh loader each scroll, so
// covers are found, decoded and scaled on its thread while the list moves.
void BM_AlbumsScroll(benchmark::State& state)
{
  static TCoverFiles files;
  TAlbumScene scene;
  const int mode = int(state.range(0));
  const std::string cacheFolder = (files.Folder / "Covers").string();
  std::shared_ptr<TCoverLoader> loader;
  const auto coverFile = [&](const TDbId& group) {
    return files.Files[std::size_t(group.GroupId) % files.Files.size()];
  };
  const auto freshLoader = [&] {
    scene.List->SetCovers(nullptr, {});
    loader = TThread::New<TCoverLoader>(mode == 2 ? std::string() : cacheFolder);
    scene.List->SetCovers(loader, coverFile);
  };
  if (mode == 1) {
    freshLoader();
    for (int offset = 0; offset <= scene.List->MaxScrollOffset(); offset += kHeight) {
      scene.List->ScrollTo(offset, false);
      loader->WaitIdle();
      scene.List->CoversArrived();
    }
    scene.List->ScrollTo(0, false);
    Settle();
  }
  std::uint64_t frames = 0;
  scene.List->SetClock([&] {
    ++frames;
    return scene.Now += 1000 / 60;
  });
  for (auto _ : state) {
    state.PauseTiming();
    if (mode == 2) {
      freshLoader();
    }
    state.ResumeTiming();
    scene.List->ScrollTo(scene.List->MaxScrollOffset() / 4, true);
    if (loader) {
      scene.List->CoversArrived();
    }
    state.PauseTiming();
    const std::uint64_t scrolled = frames;
    scene.List->ScrollTo(0, false);
    Settle();
    frames = scrolled;
    state.ResumeTiming();
  }
  scene.List->SetCovers(nullptr, {});
  state.counters["frames"] = benchmark::Counter(double(frames), benchmark::Counter::kAvgIterations);
  state.counters["fps"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AlbumsScroll)->Arg(0)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

// Every frame of the animations timed on the wall clock, on one core as the target is stated.
// The frames of each run are the same frames, as the list's clock is the benchmark's: the
// cheapest run of a frame is its own cost, and a frame slow in one run only was the machine's
// stall (a busy-loop on the same core sees stalls of tens of milliseconds here).
struct TFrameTimes {
  std::vector<std::vector<double>> Runs;
  std::vector<bool> Opening;  // of the first run

  double Cheapest(std::size_t frame) const
  {
    double least = 0;
    for (std::size_t run = 0; run < Runs.size(); ++run)
      if (frame < Runs[run].size() && (run == 0 || Runs[run][frame] < least))
        least = Runs[run][frame];
    return least;
  }
  std::size_t Frames() const
  {
    std::size_t frames = Runs.empty() ? 0 : Runs[0].size();
    for (const auto& run : Runs)
      frames = std::min(frames, run.size());
    return frames;
  }
};

// The longest gap a busy loop sees between two clock readings on this core in the given time.
double LongestStall(std::chrono::milliseconds span)
{
  using TClock = std::chrono::steady_clock;
  const TClock::time_point end = TClock::now() + span;
  TClock::time_point last = TClock::now();
  double longest = 0;
  for (TClock::time_point now = last; now < end; now = TClock::now()) {
    longest = std::max(longest, std::chrono::duration<double, std::milli>(now - last).count());
    last = now;
  }
  return longest;
}

void BM_TitlesGroupScroll(benchmark::State& state)
{
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(sched_getcpu(), &one);
  pthread_setaffinity_np(pthread_self(), sizeof(one), &one);
  TScene scene(10000, false);
  using TClock = std::chrono::steady_clock;
  TClock::time_point last{};
  TFrameTimes times;
  bool opening = true;
  bool counting = true;
  double rawWorst = 0;
  scene.List->SetClock([&] {
    const TClock::time_point now = TClock::now();
    if (counting && last != TClock::time_point{}) {
      const double took = std::chrono::duration<double, std::milli>(now - last).count();
      rawWorst = std::max(rawWorst, took);
      times.Runs.back().push_back(took);
      if (times.Runs.size() == 1)
        times.Opening.push_back(opening);
    }
    last = now;
    return scene.Now += 1000 / 60;
  });
  for (auto _ : state) {
    times.Runs.emplace_back();
    last = {};
    opening = true;
    scene.List->AnimateGroup(scene.Group, true, kMusicRowHeight);
    opening = false;
    for (int page = 1; page <= 20; ++page) {
      last = {};
      scene.List->ScrollTo(std::min(scene.List->MaxScrollOffset(), page * kHeight), true);
    }
    last = {};
    scene.List->ScrollTo(scene.List->MaxScrollOffset(), true);
    state.PauseTiming();
    counting = false;
    scene.List->ScrollTo(0, false);
    scene.List->AnimateGroup(scene.Group, false, 0);
    Settle();
    counting = true;
    state.ResumeTiming();
  }
  double worst = 0;
  double worstOpening = 0;
  double total = 0;
  const std::size_t frames = times.Frames();
  for (std::size_t frame = 0; frame < frames; ++frame) {
    const double cost = times.Cheapest(frame);
    worst = std::max(worst, cost);
    if (times.Opening[frame])
      worstOpening = std::max(worstOpening, cost);
    total += cost;
  }
  state.counters["frames"] = double(frames);
  state.counters["frame_ms"] = frames == 0 ? 0 : total / double(frames);
  state.counters["worst_ms"] = worst;
  state.counters["worst_opening_ms"] = worstOpening;
  state.counters["raw_worst_ms"] = rawWorst;
  state.counters["stall_ms"] = LongestStall(std::chrono::milliseconds(2000));
}
BENCHMARK(BM_TitlesGroupScroll)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
