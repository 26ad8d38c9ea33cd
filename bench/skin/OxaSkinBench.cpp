#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/windows/DisplayTesting.h"
#include "skin/OxaSkin.h"
#include "views/MusicAssets.h"
#include "views/OxaMusicInfoAssets.h"
#include "views/OxaMusicScanAssets.h"

namespace {

// The blobs every container start-up decodes: the scan container reads its own Frutiger12B.
std::vector<std::string> StartupBlobs()
{
  std::vector<std::string> blobs;
  for (const std::string& name : OxaSkinStoreNames())
    blobs.push_back(*OxaSkinStore(name));
  blobs.push_back(*OxaSkinStore("Frutiger12B"));
  return blobs;
}

void BM_LoadContainers(benchmark::State& state)
{
  UseHeadlessDisplay();
  for (auto _ : state) {
    TMusicAssetsForm music(nullptr, &OxaSkinStore);
    TOxaMusicInfoAssetsForm info(nullptr, &OxaSkinStore);
    TOxaMusicScanAssetsForm scan(nullptr, &OxaSkinStore);
    benchmark::DoNotOptimize(music.Icons);
  }
}
BENCHMARK(BM_LoadContainers)->Unit(benchmark::kMillisecond);

void BM_CopyBlobs(benchmark::State& state)
{
  const std::vector<std::string> blobs = StartupBlobs();
  std::size_t total = 0;
  for (const std::string& b : blobs)
    total += b.size();
  std::vector<char> target(total);
  for (auto _ : state) {
    char* at = target.data();
    for (const std::string& b : blobs) {
      std::memcpy(at, b.data(), b.size());
      at += b.size();
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(total));
}
BENCHMARK(BM_CopyBlobs)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
