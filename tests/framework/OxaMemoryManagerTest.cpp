#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "framework/OxaMemory.h"
#include "platform/core/ByteOrder.h"

namespace {

// A heap in a buffer of the test's own, with word access for checking the layout.
class THeap {
 public:
  THeap(std::uint32_t size, std::uint32_t headerSize) : Memory(size + 64, 0xEE)
  {
    Manager.Open(Memory.data(), size, headerSize, true);
  }
  std::uint32_t Word(std::uint32_t offset) const { return ByteOrder::LoadLE32(Memory.data() + offset); }
  void SetWord(std::uint32_t offset, std::uint32_t value)
  {
    ByteOrder::StoreLE32(Memory.data() + offset, value);
  }
  std::uint32_t Offset(const void* p) const { return Manager.ToOffset(p); }
  std::uint64_t Address(std::uint32_t offset) const
  {
    return reinterpret_cast<std::uintptr_t>(Memory.data() + offset);
  }
  std::vector<std::pair<std::uint32_t, std::uint32_t>> Nodes() const
  {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> nodes;
    for (const auto& node : Manager.FreeNodes()) {
      nodes.emplace_back(node.Offset, node.Size);
    }
    return nodes;
  }
  // Every byte of every free node after its head is zero.
  bool FreeBytesZero() const
  {
    for (const auto& node : Manager.FreeNodes()) {
      for (std::uint32_t i = node.Offset + 8; i < node.Offset + node.Size; ++i) {
        if (Memory[i] != 0) {
          return false;
        }
      }
    }
    return true;
  }

  std::vector<std::uint8_t> Memory;
  TOxaMemoryManager Manager;
};

using TNodes = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

TEST(TOxaMemoryManager, BlocksTakeTheRequestAndItsSizeWordInSixteenByteSteps)
{
  struct TCase {
    std::uint32_t Request, Block;
  };
  const TCase cases[] = {{0, 16},  {1, 16},  {12, 16},     {13, 32},
                         {28, 32}, {29, 48}, {1000, 1008}, {1005, 1024}};
  for (const auto& c : cases) {
    THeap heap(4096 + 8, 0);
    void* p = heap.Manager.Alloc(c.Request);
    ASSERT_NE(p, nullptr) << c.Request;
    EXPECT_EQ(heap.Offset(p), 16u + 4) << c.Request;
    EXPECT_EQ(heap.Manager.GetUsed(), 24u + c.Block) << c.Request;
    EXPECT_EQ(heap.Manager.BlockSize(p), c.Request);
    EXPECT_EQ(heap.Nodes(), (TNodes{{16 + c.Block, 4096 - 16 - c.Block}})) << c.Request;
  }
}

TEST(TOxaMemoryManager, OpenNeedsRoomForTheHeaderAndOneNodeHead)
{
  struct TCase {
    std::uint32_t HeaderSize, Size;
    const char* Error;  // null: opens
  };
  const TCase cases[] = {
      {0, 24, nullptr},
      {0, 16, "Size is less than 24"},
      {1, 40, nullptr},
      {1, 32, "Size is less than 40"},
      {16, 40, nullptr},
      {17, 56, nullptr},
      {17, 48, "Size is less than 56"},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> memory(c.Size);
    TOxaMemoryManager manager;
    if (c.Error == nullptr) {
      manager.Open(memory.data(), c.Size, c.HeaderSize, true);
      EXPECT_EQ(manager.Check(), "");
      EXPECT_EQ(manager.Alloc(0), nullptr) << "no room for any block";
    } else {
      try {
        manager.Open(memory.data(), c.Size, c.HeaderSize, true);
        ADD_FAILURE() << c.Size << " opened";
      } catch (const EOxaOutOfMemory& e) {
        EXPECT_EQ(e.Message(), c.Error);
      }
    }
  }
}

TEST(TOxaMemoryManager, LaysOutTheKnownByteImage)
{
  THeap heap(88, 5);
  std::memcpy(heap.Manager.GetHeader(), "head", 4);
  auto* data = static_cast<char*>(heap.Manager.Alloc(5));
  std::memcpy(data, "abcde", 5);
  const std::uint8_t expected[88] = {
      0x58, 0, 0, 0, 0x30, 0, 0, 0, 0x38, 0, 0, 0, 0x05, 0, 0, 0,                 // Size FreeList Used
                                                                                  // HeaderSize
      'h', 'e', 'a', 'd', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                     // user header
      0x05, 0, 0, 0, 'a', 'b', 'c', 'd', 'e', 0, 0, 0, 0, 0, 0, 0,                // block
      0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // free node
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                             // free node, end
  };
  EXPECT_EQ(std::vector<std::uint8_t>(heap.Memory.begin(), heap.Memory.begin() + 88),
            std::vector<std::uint8_t>(std::begin(expected), std::end(expected)));
  EXPECT_EQ(heap.Memory[88], 0xEE) << "nothing past the block is touched";
}

TEST(TOxaMemoryManager, FirstFitTakesAWholeNodeOrSplitsIt)
{
  // Nodes of 32 and 48 bytes, separated by a block.
  THeap heap(16 + 32 + 16 + 48 + 8, 0);
  void* a = heap.Manager.Alloc(28);
  void* keep = heap.Manager.Alloc(0);
  ASSERT_NE(keep, nullptr);
  heap.Manager.Free(a);
  ASSERT_EQ(heap.Nodes(), (TNodes{{16, 32}, {64, 48}}));
  struct TCase {
    std::uint32_t Request;
    TNodes After;
  };
  const TCase cases[] = {
      {28, {{64, 48}}},            // exactly the first node: unlinked
      {29, {{16, 32}}},            // too big for the first, exactly the second
      {12, {{32, 16}, {64, 48}}},  // split: the rest keeps the node's place in the list
      {45, {{16, 32}, {64, 48}}},  // fits nowhere
  };
  for (const auto& c : cases) {
    THeap fresh(16 + 32 + 16 + 48 + 8, 0);
    void* first = fresh.Manager.Alloc(28);
    fresh.Manager.Alloc(0);
    fresh.Manager.Free(first);
    const std::uint32_t usedBefore = fresh.Manager.GetUsed();
    void* p = fresh.Manager.Alloc(c.Request);
    if (c.Request == 45) {
      EXPECT_EQ(p, nullptr);
      EXPECT_EQ(fresh.Manager.GetUsed(), usedBefore);
    } else {
      ASSERT_NE(p, nullptr) << c.Request;
      EXPECT_EQ(fresh.Manager.GetUsed(), usedBefore + OxaBlockBytes(c.Request));
    }
    EXPECT_EQ(fresh.Nodes(), c.After) << c.Request;
    EXPECT_EQ(fresh.Manager.Check(), "") << c.Request;
  }
}

TEST(TOxaMemoryManager, FreedNeighboursMergeIntoOneNode)
{
  const std::vector<std::vector<int>> orders = {{1, 0, 2}, {0, 1, 2}, {2, 1, 0}, {0, 2, 1}, {2, 0, 1}};
  for (const auto& order : orders) {
    THeap heap(16 + 3 * 32 + 8, 0);
    void* blocks[3];
    for (auto*& block : blocks) {
      block = heap.Manager.Alloc(20);
      ASSERT_NE(block, nullptr);
      std::memset(block, 0x5A, 20);
    }
    ASSERT_EQ(heap.Manager.FreeNodes().size(), 0u) << "the three blocks fill the heap";
    for (int index : order) {
      heap.Manager.Free(blocks[index]);
      EXPECT_EQ(heap.Manager.Check(), "");
    }
    EXPECT_EQ(heap.Nodes(), (TNodes{{16, 96}})) << order[0] << order[1] << order[2];
    EXPECT_EQ(heap.Manager.GetUsed(), 24u);
    EXPECT_TRUE(heap.FreeBytesZero());
  }
}

TEST(TOxaMemoryManager, RelocateGrowsIntoTheLastFreeNodeOrAppendsOne)
{
  struct TCase {
    const char* Name;
    std::function<void(THeap&)> Prepare;
    std::uint32_t NewSize;
    TNodes After;
  };
  // A heap of 120 bytes: nodes from 16 to 112.
  const TCase cases[] = {
      {"same size", [](THeap&) {}, 120, {{16, 96}}},
      {"last node reaches the end", [](THeap& h) { h.Manager.Alloc(12); }, 184, {{32, 144}}},
      {"block at the end",
       [](THeap& h) {
         void* first = h.Manager.Alloc(12);
         h.Manager.Alloc(76);
         h.Manager.Free(first);
       },
       184,
       {{16, 16}, {112, 64}}},
      {"heap full", [](THeap& h) { h.Manager.Alloc(92); }, 136, {{112, 16}}},
  };
  for (const auto& c : cases) {
    THeap heap(120, 0);
    c.Prepare(heap);
    const std::uint32_t used = heap.Manager.GetUsed();
    std::vector<std::uint8_t> moved(c.NewSize, 0xEE);
    heap.Manager.Relocate(moved.data(), c.NewSize);
    EXPECT_EQ(ByteOrder::LoadLE32(moved.data()), c.NewSize) << c.Name;
    EXPECT_EQ(heap.Manager.GetUsed(), used) << c.Name;
    EXPECT_EQ(heap.Manager.GetHeader(), moved.data() + 16) << c.Name;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> nodes;
    for (const auto& node : heap.Manager.FreeNodes()) {
      nodes.emplace_back(node.Offset, node.Size);
    }
    EXPECT_EQ(nodes, c.After) << c.Name;
    EXPECT_EQ(heap.Manager.Check(), "") << c.Name;
    if (c.NewSize == 120) {
      EXPECT_EQ(std::memcmp(moved.data(), heap.Memory.data(), 120), 0) << "copied as it was";
    }
  }
}

TEST(TOxaMemoryManager, RelocateRefusesToShrinkAndNeedsAnOpenManager)
{
  THeap heap(120, 0);
  std::vector<std::uint8_t> smaller(112);
  try {
    heap.Manager.Relocate(smaller.data(), 112);
    ADD_FAILURE();
  } catch (const EOxaOutOfMemory& e) {
    EXPECT_EQ(e.Message(), "Relocate can only grow the memory size");
  }
  TOxaMemoryManager closed;
  try {
    closed.Relocate(smaller.data(), 112);
    ADD_FAILURE();
  } catch (const EOxaNotOpen& e) {
    EXPECT_EQ(e.Message(), "MemoryManager is not open");
  }
}

TEST(TOxaMemoryManager, ClosedOrOpenTwiceRaisesItsText)
{
  TOxaMemoryManager manager;
  const std::vector<std::pair<std::string, std::function<void()>>> calls = {
      {"Not Open", [&] { manager.Alloc(1); }},    {"Not open", [&] { manager.Free(&manager); }},
      {"Not open", [&] { manager.GetSize(); }},   {"Not open", [&] { manager.GetUsed(); }},
      {"Not open", [&] { manager.GetHeader(); }},
  };
  for (const auto& [text, call] : calls) {
    try {
      call();
      ADD_FAILURE() << text;
    } catch (const EOxaNotOpen& e) {
      EXPECT_EQ(e.Message(), text);
    }
  }
  manager.Free(nullptr);
  EXPECT_EQ(manager.Check(), "");
  std::vector<std::uint8_t> memory(72);
  manager.Open(memory.data(), 72, 0, true);
  try {
    manager.Open(memory.data(), 72, 0, false);
    ADD_FAILURE();
  } catch (const EOxaAlreadyOpen& e) {
    EXPECT_EQ(e.Message(), "Already open");
  }
  manager.Close();
  manager.Open(memory.data(), 72, 0, false);
  EXPECT_EQ(manager.GetSize(), 72u) << "attaching keeps the layout";
}

TEST(TOxaMemoryManager, RandomAllocAndFreeKeepTheHeapSoundAndUsedExact)
{
  THeap heap(64 * 1024 + 8, 40);
  std::mt19937 random(1234);
  std::map<void*, std::pair<std::uint32_t, std::uint8_t>> live;  // block: request, fill byte
  std::uint64_t used = 24 + 48;
  for (int step = 0; step < 6000; ++step) {
    if (live.empty() || random() % 3 != 0) {
      const std::uint32_t n = random() % 1500;
      void* p = heap.Manager.Alloc(n);
      if (p == nullptr) {
        continue;
      }
      const auto fill = static_cast<std::uint8_t>(step);
      ASSERT_TRUE(std::all_of(static_cast<std::uint8_t*>(p), static_cast<std::uint8_t*>(p) + n,
                              [](std::uint8_t b) { return b == 0; }))
          << "new blocks are zeroed";
      std::memset(p, fill, n);
      live[p] = {n, fill};
      used += OxaBlockBytes(n);
    } else {
      auto it = std::next(live.begin(), static_cast<long>(random() % live.size()));
      const auto* bytes = static_cast<const std::uint8_t*>(it->first);
      ASSERT_TRUE(std::all_of(bytes, bytes + it->second.first, [&](std::uint8_t b) {
        return b == it->second.second;
      })) << "a block keeps its data until it is freed";
      heap.Manager.Free(it->first);
      used -= OxaBlockBytes(it->second.first);
      live.erase(it);
    }
    ASSERT_EQ(heap.Manager.GetUsed(), used) << step;
    if (step % 250 == 0) {
      ASSERT_EQ(heap.Manager.Check(), "") << step;
    }
  }
  for (const auto& [p, request] : live) {
    heap.Manager.Free(p);
  }
  EXPECT_EQ(heap.Manager.Check(), "");
  EXPECT_EQ(heap.Nodes(), (TNodes{{64, 64 * 1024 - 64}}));
  EXPECT_EQ(heap.Manager.GetUsed(), 24u + 48);
}

// A heap of 264 bytes with a block at 16 (32 bytes), free at 48 (32), a block at 80 (16), free
// from 96 to 256.
struct TDamageHeap : THeap {
  TDamageHeap() : THeap(264, 0)
  {
    Block = Manager.Alloc(20);
    void* gap = Manager.Alloc(20);
    Tail = Manager.Alloc(8);
    Manager.Free(gap);
  }
  void* Block;
  void* Tail;
};

TEST(TOxaMemoryManager, DamagedHeapIsReportedAndNeverWritten)
{
  struct TCase {
    const char* Name;
    std::function<void(TDamageHeap&)> Damage;
    std::function<std::string(const TDamageHeap&)> Report;
  };
  const TCase cases[] = {
      {"list loops back", [](TDamageHeap& h) { h.SetWord(96 + 4, 48); },
       [](const TDamageHeap&) { return std::string("Damage: Next < Node\r\n"); }},
      {"list points at itself", [](TDamageHeap& h) { h.SetWord(48 + 4, 48); },
       [](const TDamageHeap&) { return std::string("Damage: Next < Node\r\n"); }},
      {"node larger than memory", [](TDamageHeap& h) { h.SetWord(96, 0x1000); },
       [](const TDamageHeap& h) {
         return Format("Damage at:%x node is $%x larger than memory!\r\n", h.Address(96), 96 + 0x1000 - 256);
       }},
      {"node reaching into the last 8 bytes", [](TDamageHeap& h) { h.SetWord(96, 160 + 8); },
       [](const TDamageHeap& h) {
         return Format("Damage at:%x node is $%x larger than memory!\r\n", h.Address(96), 8);
       }},
      {"node size off the grid", [](TDamageHeap& h) { h.SetWord(96, 152); },
       [](const TDamageHeap& h) {
         return Format("Damage at:$%x node size $%x is impossible!\r\n", h.Address(96), 152);
       }},
      {"node overlapping the next", [](TDamageHeap& h) { h.SetWord(48 + 4, 64); },
       [](const TDamageHeap& h) {
         return Format("Damage at:$%x node overlaps the next node!\r\n", h.Address(48));
       }},
      {"free list into the header", [](TDamageHeap& h) { h.SetWord(4, 8); },
       [](const TDamageHeap& h) {
         return Format("Damage at:$%x node lies outside the nodes!\r\n", h.Address(8));
       }},
      {"free list past the end", [](TDamageHeap& h) { h.SetWord(4, 0xFFFFFFF0u); },
       [](const TDamageHeap& h) {
         return Format("Damage at:$%x node lies outside the nodes!\r\n", h.Address(0) + 0xFFFFFFF0u);
       }},
      {"node off the grid", [](TDamageHeap& h) { h.SetWord(48 + 4, 88); },
       [](const TDamageHeap& h) {
         return Format("Damage at:$%x node lies outside the nodes!\r\n", h.Address(88));
       }},
      {"Size past the memory", [](TDamageHeap& h) { h.SetWord(0, 280); },
       [](const TDamageHeap&) {
         return std::string("Damage: Size $118 does not fit the $108 bytes mapped\r\n");
       }},
      {"Used above Size", [](TDamageHeap& h) { h.SetWord(8, 265); },
       [](const TDamageHeap&) { return std::string("Damage: Used > Size\n\r"); }},
  };
  for (const auto& c : cases) {
    TDamageHeap heap;
    c.Damage(heap);
    EXPECT_EQ(heap.Manager.Check(), c.Report(heap)) << c.Name;
    const std::vector<std::uint8_t> before = heap.Memory;
    EXPECT_THROW(heap.Manager.Alloc(100), EOxaFailed) << c.Name;
    EXPECT_THROW(heap.Manager.Free(heap.Tail), EOxaFailed) << c.Name;
    std::vector<std::uint8_t> larger(520);
    EXPECT_THROW(heap.Manager.Relocate(larger.data(), 520), EOxaFailed) << c.Name;
    EXPECT_EQ(heap.Memory, before) << c.Name << ": nothing written";
  }
}

TEST(TOxaMemoryManager, CheckReportsEveryNonZeroWordOfAFreeNode)
{
  TDamageHeap heap;
  heap.SetWord(48 + 8, 0x1234);
  heap.SetWord(96 + 156, 0xDEADBEEF);
  EXPECT_EQ(heap.Manager.Check(), Format("Damage at:$%x value:$%x\r\nDamage at:$%x value:$%x\r\n",
                                         heap.Address(56), 0x1234, heap.Address(252), 0xDEADBEEFu));
  heap.SetWord(8, 300);
  EXPECT_EQ(heap.Manager.Check().substr(0, 21), "Damage: Used > Size\n\r");
}

TEST(TOxaMemoryManager, DamagedBlockSizeIsRefusedByFree)
{
  struct TCase {
    std::uint32_t Request;
    bool Refused;
  };
  // The block at 80 (the tail) may reach up to its free neighbour at 96 only.
  const TCase cases[] = {{8, false}, {12, false}, {13, true}, {0xFFFFFFFFu, true}};
  for (const auto& c : cases) {
    TDamageHeap heap;
    heap.SetWord(80, c.Request);
    const std::vector<std::uint8_t> before = heap.Memory;
    if (c.Refused) {
      EXPECT_THROW(heap.Manager.Free(heap.Tail), EOxaFailed) << c.Request;
      EXPECT_EQ(heap.Memory, before) << c.Request;
    } else {
      heap.Manager.Free(heap.Tail);
      EXPECT_EQ(heap.Nodes(), (TNodes{{48, 208}})) << c.Request;
    }
  }
}

TEST(TOxaMemoryManager, FreeOfAPointerThatIsNoBlockIsAProgrammingError)
{
  struct TCase {
    const char* Name;
    std::function<void*(TDamageHeap&)> Pointer;
  };
  static int elsewhere = 0;
  const TCase cases[] = {
      {"another object", [](TDamageHeap&) -> void* { return &elsewhere; }},
      {"the header", [](TDamageHeap& h) -> void* { return h.Memory.data() + 4; }},
      {"just below the first block", [](TDamageHeap& h) -> void* { return h.Memory.data() + 16; }},
      {"inside a block", [](TDamageHeap& h) -> void* { return static_cast<char*>(h.Block) + 4; }},
      {"a free node", [](TDamageHeap& h) -> void* { return h.Memory.data() + 48 + 4; }},
      {"inside a free node", [](TDamageHeap& h) -> void* { return h.Memory.data() + 64 + 4; }},
      {"half way into a block", [](TDamageHeap& h) -> void* { return static_cast<char*>(h.Block) + 8; }},
      {"the last 8 bytes", [](TDamageHeap& h) -> void* { return h.Memory.data() + 256 + 4; }},
      {"past the heap", [](TDamageHeap& h) -> void* { return h.Memory.data() + 272; }},
  };
  for (const auto& c : cases) {
    TDamageHeap heap;
    const std::vector<std::uint8_t> before = heap.Memory;
    EXPECT_THROW(heap.Manager.Free(c.Pointer(heap)), EOxaFatal) << c.Name;
    EXPECT_EQ(heap.Memory, before) << c.Name;
  }
  TDamageHeap heap;
  heap.Manager.Free(heap.Block);
  try {
    heap.Manager.Free(heap.Block);
    ADD_FAILURE() << "freed twice";
  } catch (const EOxaFatal& e) {
    EXPECT_EQ(e.Message(), Format("TOxaMemoryManager.Free: $%x lies in free memory", heap.Address(20)));
  }
}

}  // namespace
