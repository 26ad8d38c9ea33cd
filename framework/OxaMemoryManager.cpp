// The heap inside a memory block (TOxaMemoryManager). Every word is read through the byte-order
// helpers and every offset or size taken from the block is checked before it is followed or
// written through: other processes write this memory, and a crash among them can leave any
// word half-done.

#include <algorithm>
#include <cstring>

#include "framework/OxaMemory.h"
#include "platform/core/ByteOrder.h"

namespace {

constexpr std::uint32_t SizeField = 0;
constexpr std::uint32_t FreeListField = 4;
constexpr std::uint32_t UsedField = 8;
constexpr std::uint32_t HeaderSizeField = 12;
constexpr std::uint32_t HeaderBytes = 16;
// A node head: its size and the offset of the next node.
constexpr std::uint32_t NodeHead = 8;
// Nodes, blocks and node sizes keep to this grid: the user header ends on it, blocks are
// multiples of it, and a heap's Size is always 8 more than a multiple of it, so the node that
// Relocate appends at the old Size - 8 lies on it too.
constexpr std::uint32_t Grid = 16;
// At most this many lines for non-zero words of free nodes, so one overwritten node cannot turn
// the report into megabytes.
constexpr int MaxValueReports = 64;

std::uint64_t Align16(std::uint64_t n)
{
  return (n + 15) & ~std::uint64_t{15};
}

std::uint64_t Address(const void* p)
{
  return reinterpret_cast<std::uintptr_t>(p);
}

}  // namespace

// The header words, checked: nodes lie in [First, Limit).
struct TOxaMemoryManager::TFrame {
  std::uint32_t Size;
  std::uint32_t FreeList;
  std::uint32_t Used;
  std::uint32_t HeaderSize;
  std::uint64_t First;
  std::uint64_t Limit;
};

// End is where the node's bytes end; Reach also covers its head, which lies past End only for
// the empty node of a heap with no room at all.
struct TOxaMemoryManager::TNode {
  std::uint32_t Offset;
  std::uint32_t Size;
  std::uint32_t Next;
  std::uint64_t End;
  std::uint64_t Reach;
};

void TOxaMemoryManager::RequireOpen() const
{
  if (!FOpen) {
    throw EOxaNotOpen("Not open");
  }
}

// Inline (as ReadNode), so the walks of Alloc and Free do not call out for every node.
inline TOxaMemoryManager::TFrame TOxaMemoryManager::ReadFrame() const
{
  TFrame frame{};
  frame.Size = Word(SizeField);
  frame.FreeList = Word(FreeListField);
  frame.Used = Word(UsedField);
  frame.HeaderSize = Word(HeaderSizeField);
  if (frame.Size > FCapacity || frame.Size % Grid != NodeHead) {
    throw EOxaFailed(
        Format("Damaged memory: Size $%x does not fit the $%x bytes mapped", frame.Size, FCapacity));
  }
  frame.First = HeaderBytes + Align16(frame.HeaderSize);
  frame.Limit = frame.Size - NodeHead;
  if (frame.First > frame.Limit) {
    throw EOxaFailed(
        Format("Damaged memory: HeaderSize $%x leaves no room in $%x bytes", frame.HeaderSize, frame.Size));
  }
  if (frame.Used < frame.First + NodeHead || frame.Used > frame.Size) {
    throw EOxaFailed(Format("Damaged memory: Used $%x is impossible in $%x bytes", frame.Used, frame.Size));
  }
  return frame;
}

inline TOxaMemoryManager::TNode TOxaMemoryManager::ReadNode(const TFrame& frame, std::uint32_t offset) const
{
  if (offset < frame.First || offset > frame.Limit || offset % Grid != 0) {
    throw EOxaFailed(Format("Damaged memory: free node at $%x lies outside the nodes", offset));
  }
  TNode node{offset, Word(offset), Word(offset + 4), 0, 0};
  node.End = std::uint64_t{offset} + node.Size;
  node.Reach = std::max<std::uint64_t>(node.End, offset + NodeHead);
  if (node.Size % Grid != 0 || node.End > frame.Limit) {
    throw EOxaFailed(Format("Damaged memory: free node at $%x has the size $%x", offset, node.Size));
  }
  if (node.Next != 0 && node.Next < node.Reach) {
    throw EOxaFailed(Format("Damaged memory: free node at $%x links back to $%x", offset, node.Next));
  }
  return node;
}

std::uint32_t TOxaMemoryManager::GetSize() const
{
  RequireOpen();
  return Word(SizeField);
}

std::uint32_t TOxaMemoryManager::GetUsed() const
{
  RequireOpen();
  return Word(UsedField);
}

void* TOxaMemoryManager::GetHeader() const
{
  RequireOpen();
  return FBase + HeaderBytes;
}

std::uint32_t TOxaMemoryManager::GetHeaderSize() const
{
  RequireOpen();
  return Word(HeaderSizeField);
}

void TOxaMemoryManager::VerifyHeader() const
{
  RequireOpen();
  ReadFrame();
}

void TOxaMemoryManager::Open(void* memory, std::uint32_t size, std::uint32_t headerSize, bool initialize)
{
  if (FOpen) {
    throw EOxaAlreadyOpen("Already open");
  }
  if (initialize) {
    const std::uint64_t used = OxaHeapOverhead + Align16(headerSize);
    if (used > size) {
      throw EOxaOutOfMemory(Format("Size is less than %d", used));
    }
    if (size % Grid != NodeHead) {
      throw EOxaFatal(Format("%s.Open: Size %d is not 8 more than a multiple of 16", ClassName(), size));
    }
    FBase = static_cast<std::uint8_t*>(memory);
    FCapacity = size;
    std::memset(FBase, 0, size);
    const auto first = static_cast<std::uint32_t>(used - NodeHead);
    SetWord(SizeField, size);
    SetWord(FreeListField, first);
    SetWord(UsedField, static_cast<std::uint32_t>(used));
    SetWord(HeaderSizeField, headerSize);
    SetWord(first, size - static_cast<std::uint32_t>(used));
  } else {
    if (size < OxaHeapOverhead) {
      throw EOxaFailed(Format("Damaged memory: $%x bytes cannot hold a heap", size));
    }
    FBase = static_cast<std::uint8_t*>(memory);
    FCapacity = size;
  }
  FOpen = true;
}

void TOxaMemoryManager::Relocate(void* newMemory, std::uint32_t newSize)
{
  if (!FOpen) {
    throw EOxaNotOpen("MemoryManager is not open");
  }
  const TFrame frame = ReadFrame();
  if (newSize < frame.Size) {
    throw EOxaOutOfMemory("Relocate can only grow the memory size");
  }
  if (newSize % Grid != NodeHead) {
    throw EOxaFatal(Format("%s.Relocate: Size %d is not 8 more than a multiple of 16", ClassName(), newSize));
  }
  // Find the last free node before anything is written.
  TNode last{};
  std::uint64_t steps = 0;
  for (std::uint32_t offset = frame.FreeList; offset != 0; offset = last.Next) {
    last = ReadNode(frame, offset);
    if (++steps > frame.Size / 16) {
      throw EOxaFailed("Damaged memory: the free list does not end");
    }
  }
  auto* target = static_cast<std::uint8_t*>(newMemory);
  std::memmove(target, FBase, frame.Size);
  std::memset(target + frame.Size, 0, newSize - frame.Size);
  FBase = target;
  FCapacity = newSize;
  if (newSize == frame.Size) {
    return;
  }
  const std::uint32_t grown = frame.Size - NodeHead;
  const std::uint32_t grownSize = newSize - frame.Size;
  std::memset(FBase + grown, 0, NodeHead);
  if (last.Offset != 0 && last.End == grown) {
    SetWord(last.Offset, last.Size + grownSize);
  } else {
    SetWord(grown, grownSize);
    SetWord(last.Offset != 0 ? last.Offset + 4 : FreeListField, grown);
  }
  SetWord(SizeField, newSize);
}

void TOxaMemoryManager::Close() noexcept
{
  FOpen = false;
}

void* TOxaMemoryManager::Alloc(std::uint32_t n)
{
  if (!FOpen) {
    throw EOxaNotOpen("Not Open");
  }
  const TFrame frame = ReadFrame();
  const std::uint64_t bytes = OxaBlockBytes(n);
  std::uint32_t link = FreeListField;
  std::uint64_t steps = 0;
  for (std::uint32_t offset = frame.FreeList; offset != 0;) {
    const TNode node = ReadNode(frame, offset);
    if (node.Size >= bytes) {
      if (frame.Used + bytes > frame.Size) {
        throw EOxaFailed(
            Format("Damaged memory: Used $%x leaves no room for free node at $%x", frame.Used, offset));
      }
      const auto taken = static_cast<std::uint32_t>(bytes);
      if (node.Size > taken) {
        SetWord(offset + taken, node.Size - taken);
        SetWord(offset + taken + 4, node.Next);
        SetWord(link, offset + taken);
      } else {
        SetWord(link, node.Next);
      }
      SetWord(offset, n);
      SetWord(offset + 4, 0);
      SetWord(UsedField, frame.Used + taken);
      return FBase + offset + 4;
    }
    if (++steps > frame.Size / 16) {
      throw EOxaFailed("Damaged memory: the free list does not end");
    }
    link = offset + 4;
    offset = node.Next;
  }
  return nullptr;
}

void TOxaMemoryManager::Free(void* p)
{
  if (p == nullptr) {
    return;
  }
  RequireOpen();
  const TFrame frame = ReadFrame();
  const std::uint64_t address = Address(p);
  const std::uint64_t base = Address(FBase);
  if (address < base + frame.First + 4 || address >= base + frame.Limit || (address - base - 4) % Grid != 0) {
    throw EOxaFatal(Format("%s.Free: $%x is not a block of this heap", ClassName(), address));
  }
  const auto offset = static_cast<std::uint32_t>(address - base - 4);
  const std::uint64_t bytes = OxaBlockBytes(Word(offset));
  const std::uint64_t end = offset + bytes;
  if (end > frame.Limit) {
    throw EOxaFailed(
        Format("Damaged memory: block at $%x of $%x bytes ends past $%x", offset, bytes, frame.Limit));
  }
  // The neighbours in the address-ordered list, checked before anything is written.
  TNode previous{};
  TNode next{};
  std::uint64_t steps = 0;
  for (std::uint32_t at = frame.FreeList; at != 0;) {
    const TNode node = ReadNode(frame, at);
    if (node.Offset >= offset) {
      next = node;
      break;
    }
    if (node.Reach > offset) {
      throw EOxaFatal(Format("%s.Free: $%x lies in free memory", ClassName(), address));
    }
    if (++steps > frame.Size / 16) {
      throw EOxaFailed("Damaged memory: the free list does not end");
    }
    previous = node;
    at = node.Next;
  }
  if (next.Offset == offset) {
    throw EOxaFatal(Format("%s.Free: $%x lies in free memory", ClassName(), address));
  }
  if (next.Offset != 0 && end > next.Offset) {
    throw EOxaFailed(Format("Damaged memory: block at $%x of $%x bytes runs into free node at $%x", offset,
                            bytes, next.Offset));
  }
  if (frame.Used < frame.First + NodeHead + bytes) {
    throw EOxaFailed(Format("Damaged memory: Used $%x is less than the block at $%x", frame.Used, offset));
  }

  const auto size = static_cast<std::uint32_t>(bytes);
  std::memset(FBase + offset, 0, size);
  SetWord(UsedField, frame.Used - size);
  std::uint32_t node = offset;
  std::uint32_t nodeSize = size;
  if (previous.Offset != 0 && previous.End == offset) {
    node = previous.Offset;
    nodeSize = previous.Size + size;
  } else {
    SetWord(node + 4, next.Offset);
    SetWord(previous.Offset != 0 ? previous.Offset + 4 : FreeListField, node);
  }
  if (next.Offset != 0 && std::uint64_t{node} + nodeSize == next.Offset) {
    nodeSize += next.Size;
    SetWord(node + 4, next.Next);
    std::memset(FBase + next.Offset, 0, NodeHead);
  }
  SetWord(node, nodeSize);
}

std::string TOxaMemoryManager::Check() const
{
  std::string report;
  if (!FOpen) {
    return report;
  }
  const std::uint32_t size = Word(SizeField);
  const std::uint32_t used = Word(UsedField);
  if (size < used) {
    report += "Damage: Used > Size\n\r";
  }
  if (size > FCapacity || size % Grid != NodeHead) {
    return report + Format("Damage: Size $%x does not fit the $%x bytes mapped\r\n", size, FCapacity);
  }
  const std::uint64_t first = HeaderBytes + Align16(Word(HeaderSizeField));
  const std::uint64_t limit = std::uint64_t{size} - NodeHead;
  if (first > limit) {
    return report + Format("Damage: HeaderSize $%x leaves no room for nodes\r\n", Word(HeaderSizeField));
  }
  int valueReports = 0;
  std::uint64_t steps = 0;
  std::uint32_t offset = Word(FreeListField);
  while (offset != 0) {
    const std::uint64_t address = Address(FBase + offset);
    if (offset < first || offset > limit || offset % Grid != 0) {
      return report + Format("Damage at:$%x node lies outside the nodes!\r\n", address);
    }
    const std::uint32_t nodeSize = Word(offset);
    const std::uint64_t end = std::uint64_t{offset} + nodeSize;
    if (end > limit) {
      return report + Format("Damage at:%x node is $%x larger than memory!\r\n", address, end - limit);
    }
    if (nodeSize % Grid != 0) {
      return report + Format("Damage at:$%x node size $%x is impossible!\r\n", address, nodeSize);
    }
    for (std::uint64_t word = offset + NodeHead; word + 4 <= end; word += 4) {
      const std::uint32_t value = Word(word);
      if (value != 0 && ++valueReports <= MaxValueReports) {
        report += Format("Damage at:$%x value:$%x\r\n", Address(FBase + word), value);
      }
    }
    if (valueReports > MaxValueReports) {
      report += Format("Damage: %d more non-zero words at:$%x\r\n", valueReports - MaxValueReports, address);
      valueReports = MaxValueReports;
    }
    const std::uint32_t next = Word(offset + 4);
    if (next == 0) {
      break;
    }
    if (next <= offset) {
      return report + "Damage: Next < Node\r\n";
    }
    if (next < std::max<std::uint64_t>(end, offset + NodeHead)) {
      return report + Format("Damage at:$%x node overlaps the next node!\r\n", address);
    }
    if (++steps > size / 16) {
      return report + "Damage: more free nodes than the memory can hold\r\n";
    }
    offset = next;
  }
  return report;
}

std::vector<TOxaFreeNode> TOxaMemoryManager::FreeNodes() const
{
  RequireOpen();
  std::vector<TOxaFreeNode> nodes;
  try {
    const TFrame frame = ReadFrame();
    for (std::uint32_t offset = frame.FreeList; offset != 0 && nodes.size() <= frame.Size / 16;) {
      const TNode node = ReadNode(frame, offset);
      nodes.push_back({node.Offset, node.Size});
      offset = node.Next;
    }
  } catch (const EOxaFailed&) {
    // The report of Check says what is wrong; the list stops at the damage.
  }
  return nodes;
}

std::uint32_t TOxaMemoryManager::ToOffset(const void* p) const
{
  RequireOpen();
  const std::uint64_t address = Address(p);
  if (address < Address(FBase) || address > Address(FBase) + FCapacity) {
    throw EOxaFatal(Format("%s.ToOffset: $%x is not in this heap", ClassName(), address));
  }
  return static_cast<std::uint32_t>(address - Address(FBase));
}

void* TOxaMemoryManager::ToPointer(std::uint32_t offset) const
{
  RequireOpen();
  if (offset > FCapacity) {
    throw EOxaFailed(Format("Damaged memory: offset $%x lies past the $%x bytes mapped", offset, FCapacity));
  }
  return FBase + offset;
}

std::uint32_t TOxaMemoryManager::BlockSize(const void* p) const
{
  RequireOpen();
  const std::uint64_t address = Address(p);
  if (address < Address(FBase) + 4 || address > Address(FBase) + FCapacity) {
    throw EOxaFatal(Format("%s.BlockSize: $%x is not in this heap", ClassName(), address));
  }
  return Word(address - Address(FBase) - 4);
}
