// The shared heap against its floors, measured in the same run:
// - 100,000 random allocations and frees (16 B to 4 KiB) in a 1 MiB heap against malloc and
//   free of the same sequence;
// - an Alloc and Free pair of the heap shared under its named mutex against a bare wait and
//   release of that mutex plus the same pair on the heap without a lock.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "bench/support/BenchScratch.h"
#include "framework/OxaMemory.h"
#include "platform/objects/Synchronization.h"

namespace {

constexpr std::uint32_t HeapSize = (1u << 20) + 8;
constexpr std::size_t Steps = 100'000;
constexpr std::size_t MaxLive = 600 * 1024;  // what is live at most, so the heap never runs out

struct TStep {
  bool Allocate;
  std::uint32_t Size;
  std::size_t Slot;  // the slot allocated into or freed
};

// The same sequence every time: allocations of 16 B to 4 KiB, frees of a random live block.
const std::vector<TStep>& Sequence()
{
  static const std::vector<TStep> steps = [] {
    std::mt19937 random(20261208);
    std::vector<TStep> result;
    std::vector<std::size_t> live;
    std::vector<std::uint32_t> sizes;
    std::size_t liveBytes = 0;
    while (result.size() < Steps) {
      const std::uint32_t size = 16 + static_cast<std::uint32_t>(random() % (4096 - 16 + 1));
      if (live.empty() || (random() % 2 == 0 && liveBytes + size < MaxLive)) {
        result.push_back({true, size, sizes.size()});
        live.push_back(sizes.size());
        sizes.push_back(size);
        liveBytes += size;
      } else {
        const std::size_t index = random() % live.size();
        result.push_back({false, 0, live[index]});
        liveBytes -= sizes[live[index]];
        live[index] = live.back();
        live.pop_back();
      }
    }
    return result;
  }();
  return steps;
}

// The slots of the blocks the sequence leaves allocated.
const std::vector<std::size_t>& LiveAtEnd()
{
  static const std::vector<std::size_t> live = [] {
    std::vector<bool> allocated;
    for (const auto& step : Sequence()) {
      if (step.Allocate) {
        allocated.push_back(true);
      } else {
        allocated[step.Slot] = false;
      }
    }
    std::vector<std::size_t> result;
    for (std::size_t slot = 0; slot < allocated.size(); ++slot) {
      if (allocated[slot]) {
        result.push_back(slot);
      }
    }
    return result;
  }();
  return live;
}

std::size_t SlotCount()
{
  std::size_t slots = 0;
  for (const auto& step : Sequence()) {
    slots += step.Allocate ? 1 : 0;
  }
  return slots;
}

void BM_HeapSequence(benchmark::State& state)
{
  std::vector<std::uint8_t> memory(HeapSize);
  std::vector<void*> slots(SlotCount());
  std::int64_t refused = 0;
  for (auto _ : state) {
    TOxaMemoryManager heap;
    heap.Open(memory.data(), HeapSize, 0, true);
    for (const auto& step : Sequence()) {
      if (step.Allocate) {
        slots[step.Slot] = heap.Alloc(step.Size);
        refused += slots[step.Slot] == nullptr ? 1 : 0;
      } else {
        heap.Free(slots[step.Slot]);
      }
    }
    benchmark::DoNotOptimize(heap.GetUsed());
  }
  state.counters["refused"] = static_cast<double>(refused);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * Steps));
}
BENCHMARK(BM_HeapSequence)->Unit(benchmark::kMillisecond);

void BM_MallocSequence(benchmark::State& state)
{
  std::vector<void*> slots(SlotCount());
  for (auto _ : state) {
    for (const auto& step : Sequence()) {
      if (step.Allocate) {
        slots[step.Slot] = std::malloc(step.Size);
        benchmark::DoNotOptimize(slots[step.Slot]);
      } else {
        std::free(slots[step.Slot]);
      }
    }
    // The blocks still live at the end go too, as the heap's do when it is laid out again.
    for (const std::size_t slot : LiveAtEnd()) {
      std::free(slots[slot]);
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * Steps));
}
BENCHMARK(BM_MallocSequence)->Unit(benchmark::kMillisecond);

// A named mutex and a shared heap in a throw-away machine, with a few blocks in use.
struct TShared {
  TShared()
  {
    setenv("OXA_MACHINE", Scratch.HostPath().c_str(), 1);
    bool existed = false;
    Mutex.Open("OxaBench.Mutex", existed);
    Memory.Open(Mutex, "OxaBench.Heap", 256, 64 * 1024);
    Handle = CreateMutexA(nullptr, FALSE, "OxaBench.Mutex");
    for (int i = 0; i < 8; ++i) {
      Memory.Alloc(100);
    }
  }
  ~TShared() { CloseHandle(Handle); }
  TScratch Scratch;
  TOxaMutex Mutex;
  TOxaProcessMemory Memory;
  HANDLE Handle = nullptr;
};

TShared& Shared()
{
  static TShared shared;
  return shared;
}

void BM_SharedPair(benchmark::State& state)
{
  TOxaProcessMemory& memory = Shared().Memory;
  for (auto _ : state) {
    void* p = memory.Alloc(64);
    benchmark::DoNotOptimize(p);
    memory.Free(p);
  }
}
BENCHMARK(BM_SharedPair);

void BM_BareMutexPair(benchmark::State& state)
{
  HANDLE mutex = Shared().Handle;
  for (auto _ : state) {
    // Twice: the shared pair takes the lock once for Alloc and once for Free.
    WaitForSingleObject(mutex, INFINITE);
    ReleaseMutex(mutex);
    WaitForSingleObject(mutex, INFINITE);
    ReleaseMutex(mutex);
  }
}
BENCHMARK(BM_BareMutexPair);

void BM_UnlockedPair(benchmark::State& state)
{
  std::vector<std::uint8_t> memory(OxaBlockBytes(64 * 1024) + OxaHeapOverhead + OxaBlockBytes(256));
  TOxaMemoryManager heap;
  heap.Open(memory.data(), static_cast<std::uint32_t>(memory.size()), 256, true);
  for (int i = 0; i < 8; ++i) {
    heap.Alloc(100);
  }
  for (auto _ : state) {
    void* p = heap.Alloc(64);
    benchmark::DoNotOptimize(p);
    heap.Free(p);
  }
}
BENCHMARK(BM_UnlockedPair);

}  // namespace

BENCHMARK_MAIN();
