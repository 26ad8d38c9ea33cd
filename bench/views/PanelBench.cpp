// The panels' hot paths. SetStatus of a 40-folder path (shortened to the line) against one
// Layout of such a path in the status font; SetTrack of the info panel followed by composing the
// panel, against composing it unchanged. Each pair runs in one process, on the same 64 paths or
// tracks in turn, so the ratio is what counts.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/windows/DisplayTesting.h"
#include "skin/OxaSkin.h"
#include "views/MusicAssets.h"
#include "views/OxaMusicInfoAssets.h"
#include "views/OxaMusicScanAssets.h"
#include "views/info/OxaMusicInfo.h"
#include "views/scan/OxaMusicScan.h"

namespace {

constexpr int kVariants = 64;

struct TStatusFixture {
  std::unique_ptr<TOxaMusicScanAssetsForm> Assets;
  TOwnedObject<TOxaMusicScanStatus> Status{nullptr};
  std::vector<std::string> Paths;

  TStatusFixture()
  {
    UseHeadlessDisplay();
    Assets = std::make_unique<TOxaMusicScanAssetsForm>(nullptr, &OxaSkinStore);
    Status.reset(new TOxaMusicScanStatus(nullptr));
    Status->SetFont(Assets->ScanStatusFont);
    Status->SetBounds(0, 0, 400, TOxaMusicScanStatus::StatusHeight);
    for (int v = 0; v < kVariants; ++v) {
      std::string path = "C:";
      for (int i = 0; i < 40; ++i) {
        path += "\\Folder " + std::to_string(v) + "-" + std::to_string(i);
      }
      Paths.push_back(path + "\\track.mp3");
    }
  }
};

TStatusFixture& StatusFixture()
{
  static TStatusFixture fixture;
  return fixture;
}

void BM_StatusPathLayoutOnce(benchmark::State& state)
{
  TStatusFixture& f = StatusFixture();
  TOxaTextBlock block;
  std::size_t i = 0;
  for (auto _ : state) {
    f.Assets->ScanStatusFont->Layout(f.Paths[i++ % kVariants], 0, block, 0x7FFFFFFF, 0x7FFFFFFF);
    benchmark::DoNotOptimize(block.Width);
  }
}
BENCHMARK(BM_StatusPathLayoutOnce);

void BM_SetStatus40Folders(benchmark::State& state)
{
  TStatusFixture& f = StatusFixture();
  std::size_t i = 0;
  for (auto _ : state) {
    f.Status->SetStatus("Update scan", f.Paths[i++ % kVariants], false);
    benchmark::DoNotOptimize(f.Status->Caption().size());
  }
}
BENCHMARK(BM_SetStatus40Folders);

struct TInfoFixture {
  std::unique_ptr<TMusicAssetsForm> Music;
  std::unique_ptr<TOxaMusicInfoAssetsForm> Info;
  TOwnedObject<TOxaMusicInfo> Panel{nullptr};
  TOwnedObject<TOxaBitmap> Target{nullptr};
  std::vector<TMusicFileItem> Tracks;

  TInfoFixture()
  {
    UseHeadlessDisplay();
    Music = std::make_unique<TMusicAssetsForm>(nullptr, &OxaSkinStore);
    Info = std::make_unique<TOxaMusicInfoAssetsForm>(nullptr, &OxaSkinStore);
    Panel.reset(new TOxaMusicInfo(nullptr));
    Panel->SetAssets(*Info, *Music);
    Panel->SetBounds(0, 0, 420, 600);
    Target.reset(new TOxaBitmap(nullptr));
    Target->ChangeImageSize(420, 600, opf24Bit);
    for (int v = 0; v < kVariants; ++v) {
      TMusicFileItem track;
      track.FileName =
          "C:\\Music\\Band " + std::to_string(v) + "\\Album\\track " + std::to_string(v) + ".mp3";
      track.Title = "Title number " + std::to_string(v);
      track.Artist = "Band " + std::to_string(v);
      track.Album = "Album " + std::to_string(v % 7);
      track.Genre = "Rock";
      track.Track = v + 1;
      track.Bitrate = v % 3 == 0 ? -1 : 128 + v;
      track.Duration = 100 + v * 37;
      Tracks.push_back(track);
    }
  }
};

TInfoFixture& InfoFixture()
{
  static TInfoFixture fixture;
  return fixture;
}

void BM_InfoRepaintUnchanged(benchmark::State& state)
{
  TInfoFixture& f = InfoFixture();
  const RECT clip{0, 0, 420, 600};
  for (auto _ : state) {
    f.Panel->BitBlt(*f.Target, 0, 0, clip);
  }
}
BENCHMARK(BM_InfoRepaintUnchanged)->Unit(benchmark::kMicrosecond);

void BM_InfoSetTrackAndRepaint(benchmark::State& state)
{
  TInfoFixture& f = InfoFixture();
  const RECT clip{0, 0, 420, 600};
  std::size_t i = 0;
  for (auto _ : state) {
    f.Panel->Body()->SetTrack(f.Tracks[i++ % kVariants], 2);
    f.Panel->BitBlt(*f.Target, 0, 0, clip);
  }
}
BENCHMARK(BM_InfoSetTrackAndRepaint)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
