// The controller's navigation on one 5,000-track folder (with 20 small folders beside it):
// refreshing the playing item (BM_UpdatePlaying) against the floor of listing the group alone
// (BM_ListItemsFloor); a jump by name over the group, listing included (BM_JumpByName); and
// "StepUp" where no file can play, one pass over every group (BM_StepUpNothingPlays).

#include <benchmark/benchmark.h>

#include <memory>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

#include "Music/control/MusicNavigator.h"
#include "Music/control/MusicTypeAhead.h"
#include "bench/support/BenchScratch.h"
#include "library/MusicDatabase.h"

namespace {

constexpr int GroupTracks = 5000;
constexpr int SmallFolders = 20;
constexpr int SmallTracks = 10;

TMusicFileItem Track(const std::string& folder, const std::string& title, int n)
{
  TMusicFileItem item;
  item.Title = title;
  item.Album = "Album";
  item.Artist = "Artist";
  item.FileName = "C:\\Music\\" + folder + "\\" + std::to_string(n) + ".mp3";
  item.Genre = "Rock";
  item.Year = 2000;
  item.Track = n % 30;
  item.Bitrate = 192;
  item.Duration = 200;
  item.Size = 3000000 + static_cast<std::uint64_t>(n);
  for (std::size_t b = 0; b < item.Checksum.size(); ++b) {
    item.Checksum[b] = static_cast<std::uint8_t>((n * 31 + static_cast<int>(b) * 7) & 0xFF);
  }
  return item;
}

class TLibrary {
 public:
  static TLibrary& Get()
  {
    static TLibrary library;
    return library;
  }
  TMusicDatabase& Database() { return *FDatabase; }
  TDbId Group;

 private:
  TLibrary() : FDatabase(std::make_unique<TMusicDatabase>(nullptr))
  {
    FDatabase->SetDirectory(FScratch.Directory());
    TMusicFileItems items;
    int n = 0;
    for (int i = 0; i < GroupTracks; ++i, ++n) {
      items.push_back(Track("Big", "Song " + std::to_string(i), n));
    }
    for (int f = 0; f < SmallFolders; ++f) {
      for (int i = 0; i < SmallTracks; ++i, ++n) {
        items.push_back(Track("Small" + std::to_string(f), "Tune " + std::to_string(i), n));
      }
    }
    TMusicDatabase::SortFileItems(items);
    if (!OpenLibrary(*FDatabase) || !FDatabase->ApplyScanResults({}, items)) {
      throw std::runtime_error("cannot fill the library");
    }
    Group = FDatabase->FindFileByPath("C:\\Music\\Big\\0.mp3", ViewFolders);
    Group.FileId = -1;
  }
  TScratch FScratch;
  std::unique_ptr<TMusicDatabase> FDatabase;
};

// The library as the player lists it; playing looks the file up, as the player does, and
// succeeds or fails as asked.
class THost : public TMusicNavigationHost {
 public:
  explicit THost(bool plays) : FPlays(plays) {}
  bool ListItems(const TDbId& group, TDbIdList& items) override
  {
    return TLibrary::Get().Database().GetItems(group, items);
  }
  bool PlayItem(const TDbId& item, bool) override
  {
    std::int32_t file = -1;
    TLibrary::Get().Database().ResolveFileId(item.ViewId, item.FileId, file);
    return FPlays;
  }
  void ShownGroups(TDbIdList& entries, int& current) override
  {
    TDbId view;
    view.ViewId = ViewFolders;
    TLibrary::Get().Database().GetItems(view, entries);
    current = Navigator != nullptr ? entries.IndexOfGroup(Navigator->CurrentGroup.GroupId) : -1;
  }
  int RandomBelow(int count) override { return count / 2; }
  const TMusicNavigator* Navigator = nullptr;

 private:
  bool FPlays;
};

void BM_ListItemsFloor(benchmark::State& state)
{
  TLibrary& library = TLibrary::Get();
  TDbIdList items;
  for (auto _ : state) {
    library.Database().GetItems(library.Group, items);
    benchmark::DoNotOptimize(items.Count());
  }
  state.counters["rows"] = items.Count();
}
BENCHMARK(BM_ListItemsFloor)->Unit(benchmark::kMillisecond);

void BM_UpdatePlaying(benchmark::State& state)
{
  TLibrary& library = TLibrary::Get();
  THost host(true);
  TMusicNavigator navigator(host);
  host.Navigator = &navigator;
  TDbIdList items;
  library.Database().GetItems(library.Group, items);
  navigator.PlayRow(items.Get(items.Count() - 1), {});
  for (auto _ : state) {
    navigator.UpdatePlaying();
    benchmark::DoNotOptimize(navigator.TrackNumber);
  }
  state.counters["track"] = navigator.TrackNumber;
}
BENCHMARK(BM_UpdatePlaying)->Unit(benchmark::kMillisecond);

void BM_JumpByName(benchmark::State& state)
{
  TLibrary& library = TLibrary::Get();
  int found = -1;
  for (auto _ : state) {
    TDbIdList items;
    library.Database().GetItems(library.Group, items);
    const std::vector<std::string> folded = FoldCaptions(items.Items());
    std::vector<int> order(folded.size());
    std::iota(order.begin(), order.end(), 0);
    // No caption begins with "songx": the search falls back prefix by prefix.
    found = FindByPrefix(folded, order, "Song 4999x");
    benchmark::DoNotOptimize(found);
  }
  state.counters["found"] = found;
}
BENCHMARK(BM_JumpByName)->Unit(benchmark::kMillisecond);

void BM_StepUpNothingPlays(benchmark::State& state)
{
  TLibrary& library = TLibrary::Get();
  THost host(false);
  TMusicNavigator navigator(host);
  host.Navigator = &navigator;
  TDbIdList items;
  library.Database().GetItems(library.Group, items);
  for (auto _ : state) {
    navigator.PlayRow(items.Get(0), {false, false, TRowReveal::Keep});
    benchmark::DoNotOptimize(navigator.Forward());
  }
}
BENCHMARK(BM_StepUpNothingPlays)->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
