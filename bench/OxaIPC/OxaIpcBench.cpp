// The bus against its floors, measured in the same run:
// - a second member's Open and Close against opening and closing what it is made of: the bus
//   mutex (taken once), its own process mutex, the head and body mappings, and a message window;
// - a cached NameToId against a std::map lookup of the same names;
// - reported only: an uncached NameToId among 1,000 interned names, and an AllocShared that grows
//   the body into a new generation.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "OxaIPC/OxaIpc.h"
#include "bench/support/BenchScratch.h"
#include "framework/OxaMemory.h"
#include "framework/OxaMessageWindow.h"

namespace {

struct TBus {
  TBus()
  {
    setenv("OXA_MACHINE", Scratch.HostPath().c_str(), 1);
    First = std::make_unique<TOxaIpc>(nullptr);
    First->Open(false);
    for (int i = 0; i < 1000; ++i) {
      Names.push_back("Client" + std::to_string(i));
      First->NameToId(Names.back());
    }
  }
  TScratch Scratch;
  std::unique_ptr<TOxaIpc> First;
  std::vector<std::string> Names;
};

TBus& Bus()
{
  static TBus bus;
  return bus;
}

void BM_SecondMemberOpenClose(benchmark::State& state)
{
  Bus();
  TOxaIpc second(nullptr);
  for (auto _ : state) {
    benchmark::DoNotOptimize(second.Open(false));
    second.Close();
  }
}
BENCHMARK(BM_SecondMemberOpenClose)->Unit(benchmark::kMicrosecond);

void BM_BareNamedObjects(benchmark::State& state)
{
  Bus();
  const std::uint32_t bodySize = Bus().First->HeadHeader().BodySize;
  const std::uint32_t bodyBytes = static_cast<std::uint32_t>(OxaBlockBytes(bodySize) + OxaHeapOverhead +
                                                             OxaBlockBytes(OxaIpcBodyHeaderSize));
  const std::uint32_t headBytes =
      static_cast<std::uint32_t>(OxaBlockBytes(0) + OxaHeapOverhead + OxaBlockBytes(OxaIpcHeadHeaderSize));
  const std::uint32_t generation = Bus().First->HeadHeader().Generation;
  std::uint32_t pid = 1000000;
  for (auto _ : state) {
    bool existed = false;
    TOxaMutex mutex;
    mutex.Open(OxaIpcMutexName("VANTELPC"), existed);
    mutex.Lock(INFINITE);
    TOxaMappedMemory head;
    head.Open(OxaIpcHeadName("VANTELPC"), headBytes, existed);
    TOxaMappedMemory body;
    body.Open(OxaIpcBodyName("VANTELPC", generation), bodyBytes, existed);
    TOxaMutex own;
    own.Open(OxaIpcProcessMutexName("VANTELPC", ++pid), existed);
    own.Lock(0);
    TOxaMessageWindow window;
    window.Open();
    mutex.Unlock();
    window.Close();
    own.Close();
    body.Close();
    head.Close();
    mutex.Close();
  }
}
BENCHMARK(BM_BareNamedObjects)->Unit(benchmark::kMicrosecond);

void BM_NameToIdCached(benchmark::State& state)
{
  TOxaIpc& ipc = *Bus().First;
  const auto& names = Bus().Names;
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ipc.NameToId(names[i]));
    i = (i + 7) % names.size();
  }
}
BENCHMARK(BM_NameToIdCached);

void BM_StdMapLookup(benchmark::State& state)
{
  std::map<std::string, std::uint32_t> map;
  const auto& names = Bus().Names;
  for (std::size_t i = 0; i < names.size(); ++i) {
    map.emplace(names[i], static_cast<std::uint32_t>(i + 1));
  }
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(map.find(names[i]));
    i = (i + 7) % names.size();
  }
}
BENCHMARK(BM_StdMapLookup);

void BM_NameToIdUncached(benchmark::State& state)
{
  const auto& names = Bus().Names;
  std::unique_ptr<TOxaIpc> fresh;
  std::size_t i = names.size();
  for (auto _ : state) {
    if (i == names.size()) {
      state.PauseTiming();
      fresh = std::make_unique<TOxaIpc>(nullptr);  // an empty cache
      fresh->Open(false);
      i = 0;
      state.ResumeTiming();
    }
    benchmark::DoNotOptimize(fresh->NameToId(names[i++]));
  }
}
BENCHMARK(BM_NameToIdUncached);

void BM_AllocSharedGrowing(benchmark::State& state)
{
  Bus();
  int group = 0;
  for (auto _ : state) {
    state.PauseTiming();
    {
      TOxaIpc ipc(nullptr);
      ipc.SetGroupName("Grow" + std::to_string(group++));
      ipc.Open(true);
      state.ResumeTiming();
      benchmark::DoNotOptimize(ipc.AllocShared(20000));
      state.PauseTiming();
      ipc.Unlock();
    }
    state.ResumeTiming();
  }
}
BENCHMARK(BM_AllocSharedGrowing)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
