// Timers against their floor, a std::multimap by due time calling the same callbacks in the
// same run: 100,000 items added in random order (spread over 1,000 owner objects, 100 each)
// and fired in one pass. Then the lateness of a 20 ms timer in window and in threaded mode,
// reported as the median and the 99th percentile in milliseconds.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <numeric>
#include <random>
#include <vector>

#include "bench/support/BenchScratch.h"
#include "framework/OxaTimer.h"
#include "framework/OxaUtils.h"
#include "platform/windows/Messages.h"

namespace {

constexpr int Timers = 100000;
constexpr int Owners = 1000;

class TClient : public TOxaObject {
 public:
  void Fire(TOxaTimer*, std::int32_t value, std::uint64_t) { Sum += value; }
  // A threaded pass arrives as a sent message, which does not end WaitMessage: a post does.
  void FireAndWake(TOxaTimer* sender, std::int32_t value, std::uint64_t dueTime)
  {
    Fire(sender, value, dueTime);
    PostMessageA(nullptr, WM_NULL, 0, 0);
  }
  long Sum = 0;
};

std::vector<std::uint64_t> ShuffledDueTimes(std::uint64_t base)
{
  std::vector<std::uint64_t> due(Timers);
  std::iota(due.begin(), due.end(), base);
  std::shuffle(due.begin(), due.end(), std::mt19937(42));
  return due;
}

void PumpWhile(const std::function<bool()>& pending)
{
  MSG message{};
  while (pending()) {
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      DispatchMessageA(&message);
    } else {
      WaitMessage();
    }
  }
}

void BM_Timer(benchmark::State& state)
{
  std::vector<std::unique_ptr<TClient>> owners;
  for (int i = 0; i < Owners; ++i) {
    owners.push_back(std::make_unique<TClient>());
    owners.back()->Objects();
  }
  TOxaTimer timer(nullptr);
  // Due long ago, in random order: one pass fires them all.
  const std::vector<std::uint64_t> due = ShuffledDueTimes(1);
  for (auto _ : state) {
    for (int i = 0; i < Timers; ++i) {
      TClient& owner = *owners[static_cast<std::size_t>(i % Owners)];
      timer.AddTimer(&owner.Objects(), i, MakeMethod<&TClient::Fire>(&owner),
                     due[static_cast<std::size_t>(i)]);
    }
    PumpWhile([&] { return timer.Count() > 0; });
  }
  state.SetItemsProcessed(state.iterations() * Timers);
}

void BM_TimerFloor(benchmark::State& state)
{
  std::vector<std::unique_ptr<TClient>> owners;
  for (int i = 0; i < Owners; ++i) {
    owners.push_back(std::make_unique<TClient>());
  }
  TOxaTimer timer(nullptr);
  const std::vector<std::uint64_t> due = ShuffledDueTimes(1);
  struct TItem {
    std::int32_t Value;
    TOxaTimerEvent Callback;
  };
  for (auto _ : state) {
    std::multimap<std::uint64_t, TItem> items;
    for (int i = 0; i < Timers; ++i) {
      TClient& owner = *owners[static_cast<std::size_t>(i % Owners)];
      items.emplace(due[static_cast<std::size_t>(i)], TItem{i, MakeMethod<&TClient::Fire>(&owner)});
    }
    while (!items.empty()) {
      const auto first = items.begin();
      const TItem item = first->second;
      const std::uint64_t dueTime = first->first;
      items.erase(first);
      item.Callback(&timer, item.Value, dueTime);
    }
  }
  state.SetItemsProcessed(state.iterations() * Timers);
}

// Lateness of a timer 20 ms ahead: when its callback runs, against 20 ms after it was added.
void BM_Lateness(benchmark::State& state)
{
  TOxaTimer timer(nullptr);
  timer.SetThreaded(state.range(0) != 0);
  TClient owner;
  std::vector<double> late;
  for (auto _ : state) {
    const auto added = std::chrono::steady_clock::now();
    timer.AddTimer(&owner.Objects(), 1, MakeMethod<&TClient::FireAndWake>(&owner), GetTickCount64() + 20);
    PumpWhile([&] { return timer.Count() > 0; });
    const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - added;
    late.push_back(elapsed.count() - 20.0);
  }
  std::sort(late.begin(), late.end());
  state.counters["median_ms"] = late[late.size() / 2];
  state.counters["p99_ms"] = late[std::min(late.size() - 1, late.size() * 99 / 100)];
}

BENCHMARK(BM_Timer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TimerFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lateness)->Arg(0)->Arg(1)->Iterations(200)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
  // Windows and messages live in a machine: a throw-away one, never the user's.
  const TScratch machine;
  setenv("OXA_MACHINE", machine.HostPath().c_str(), 1);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
