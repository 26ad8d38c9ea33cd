// A dependants list against its floor, a std::vector of bound methods doing the same work in
// the same run: 10,000 observers added, one change pass over them, and all removed again,
// the newest first (the order the list searches in) or the oldest first.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "framework/OxaObjects.h"

namespace {

constexpr int Observers = 10000;

class TOwner : public TObject {};

class TObserver : public TObject {
 public:
  void Destroyed(TObject*) {}
  void Changed(TObject*) { ++Changes; }
  static inline long Changes = 0;
};

enum TRemoval { NewestFirst = 0, OldestFirst = 1 };

void BM_ObjectsList(benchmark::State& state)
{
  const auto removal = static_cast<TRemoval>(state.range(0));
  std::vector<TObserver> observers(Observers);
  TOwner owner;
  for (auto _ : state) {
    TOxaObjects list(&owner);
    for (auto& observer : observers) {
      list.Add(MakeMethod<&TObserver::Destroyed>(&observer), MakeMethod<&TObserver::Changed>(&observer));
    }
    list.NotifyChange();
    auto remove = [&](TObserver& observer) {
      list.Remove(MakeMethod<&TObserver::Destroyed>(&observer), MakeMethod<&TObserver::Changed>(&observer));
    };
    if (removal == NewestFirst) {
      std::for_each(observers.rbegin(), observers.rend(), remove);
    } else {
      std::for_each(observers.begin(), observers.end(), remove);
    }
    benchmark::DoNotOptimize(list.Count());
  }
  state.SetItemsProcessed(state.iterations() * Observers);
}

// The floor: the same bound methods in a vector, called in a pass and found and erased again.
void BM_ObjectsFloor(benchmark::State& state)
{
  const auto removal = static_cast<TRemoval>(state.range(0));
  std::vector<TObserver> observers(Observers);
  TOwner owner;
  struct TPair {
    TNotifyEvent OnDestroy;
    TNotifyEvent OnChange;
  };
  for (auto _ : state) {
    std::vector<TPair> list;
    for (auto& observer : observers) {
      list.push_back(
          {MakeMethod<&TObserver::Destroyed>(&observer), MakeMethod<&TObserver::Changed>(&observer)});
    }
    for (auto entry = list.rbegin(); entry != list.rend(); ++entry) {
      entry->OnChange(&owner);
    }
    auto remove = [&](TObserver& observer) {
      const TNotifyEvent onDestroy = MakeMethod<&TObserver::Destroyed>(&observer);
      const TNotifyEvent onChange = MakeMethod<&TObserver::Changed>(&observer);
      const auto found = std::find_if(list.rbegin(), list.rend(), [&](const TPair& pair) {
        return pair.OnDestroy == onDestroy && pair.OnChange == onChange;
      });
      list.erase(std::next(found).base());
    };
    if (removal == NewestFirst) {
      std::for_each(observers.rbegin(), observers.rend(), remove);
    } else {
      std::for_each(observers.begin(), observers.end(), remove);
    }
    benchmark::DoNotOptimize(list.size());
  }
  state.SetItemsProcessed(state.iterations() * Observers);
}

BENCHMARK(BM_ObjectsList)->Arg(NewestFirst)->Arg(OldestFirst)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ObjectsFloor)->Arg(NewestFirst)->Arg(OldestFirst)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
