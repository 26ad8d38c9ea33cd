// The shared heap's reader: any bytes, taken as a heap that another process laid out, go through
// Check, Alloc, Free and Relocate. None may crash, loop, write outside the heap, or write at all
// when it refuses the heap.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "framework/OxaMemory.h"

namespace {

constexpr std::size_t Guard = 64;
constexpr std::uint8_t GuardByte = 0xA5;

// The heap with guard bytes on both sides.
struct TArena {
  explicit TArena(std::size_t size) : Bytes(Guard + size + Guard, GuardByte), Size(size) {}
  std::uint8_t* Heap() { return Bytes.data() + Guard; }
  void RequireGuards() const
  {
    for (std::size_t i = 0; i < Guard; ++i) {
      if (Bytes[i] != GuardByte || Bytes[Guard + Size + i] != GuardByte) {
        std::abort();
      }
    }
  }
  std::vector<std::uint8_t> Bytes;
  std::size_t Size;
};

// Runs an operation; one that raises must leave every byte as it was.
template <class F>
void Try(TArena& arena, F operation)
{
  const std::vector<std::uint8_t> before = arena.Bytes;
  try {
    operation();
  } catch (const EOxaException&) {
    if (arena.Bytes != before) {
      std::abort();
    }
  }
  arena.RequireGuards();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  if (size < OxaHeapOverhead || size > 4096) {
    return 0;
  }
  TArena arena(size);
  std::memcpy(arena.Heap(), data, size);
  TOxaMemoryManager manager;
  manager.Open(arena.Heap(), static_cast<std::uint32_t>(size), 0, false);
  static_cast<void>(manager.Check());
  arena.RequireGuards();
  static_cast<void>(manager.FreeNodes());
  for (const std::uint32_t request : {0u, 12u, 13u, 200u, 0xFFFFFFF0u}) {
    Try(arena, [&] { manager.Alloc(request); });
  }
  // Every 16-byte step given back, as a caller with a wrong pointer (or a block of a damaged
  // heap) would.
  for (std::size_t offset = 4; offset < size; offset += 16) {
    Try(arena, [&] { manager.Free(arena.Heap() + offset); });
  }
  static_cast<void>(manager.Check());
  arena.RequireGuards();
  TArena larger(size + 256);
  Try(larger, [&] { manager.Relocate(larger.Heap(), static_cast<std::uint32_t>(size + 256)); });
  arena.RequireGuards();
  return 0;
}
