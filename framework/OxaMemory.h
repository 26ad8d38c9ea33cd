#pragma once
// Shared memory for the suite's processes: a named mapping that records its own size, a
// first-fit heap that lives entirely inside a block of memory, and the two joined under a named
// mutex.
//
// The heap refers to everything by byte offsets from the start of its block, so that processes
// mapping it at different addresses agree; all its words are 32-bit little-endian. Layout:
//   0 Size, 4 FreeList (first free node, 0: none), 8 Used, 12 HeaderSize,
//   16 the user header (HeaderSize rounded up to 16 bytes), then the nodes.
// A free node is its size, the offset of the next free node (0 at the end) and zero bytes; free
// nodes are linked in ascending order. An allocated block is the request n, then the caller's
// data, and takes (n + 19) rounded down to 16 bytes. The last 8 bytes of the block lie outside
// every node.
//
// Shared memory is written by other processes, so every offset and size read from it is checked
// before it is used: a damaged heap raises EOxaFailed naming the damage and nothing is written.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/OxaSync.h"
#include "framework/OxaUtils.h"
#include "platform/core/ByteOrder.h"
#include "platform/core/HandleOwner.h"
#include "platform/core/Handles.h"

// The bytes an allocation of n takes: n plus its size word, rounded up to 16.
constexpr std::uint64_t OxaBlockBytes(std::uint64_t n) noexcept
{
  return (n + 19) & ~std::uint64_t{15};
}
// What an empty heap needs besides its user header: the 16-byte header and one node head.
constexpr std::uint32_t OxaHeapOverhead = 24;

// A page-file-backed mapping: one 32-bit size word, then the data.
class TOxaMappedMemory : public TObject {
 public:
  TOxaMappedMemory() = default;
  TOxaMappedMemory(const TOxaMappedMemory&) = delete;
  TOxaMappedMemory& operator=(const TOxaMappedMemory&) = delete;
  ~TOxaMappedMemory() override;

  // Creates or opens the read-write mapping called name (private when empty) for size bytes of
  // data. EOxaFailed "Failed to open memory" when it cannot be created or opened, "Failed to
  // map memory" when it cannot be mapped or an existing one records another size; whatever was
  // opened is closed again. EOxaAlreadyOpen "Already open" when open.
  void Open(const std::string& name, std::uint32_t size, bool& existed);
  // Maps an existing mapping read-only, as large as its size word says; never creates one.
  // False when there is no mapping of that name; EOxaFailed "Failed to map memory" when it
  // cannot be mapped or is smaller than its size word.
  bool OpenReadOnly(const std::string& name);
  // The size word. EOxaNotOpen "Not open" when closed.
  std::uint32_t Size() const;
  // The data, just past the size word; null when closed.
  void* Data() const noexcept { return FView == nullptr ? nullptr : FView + 4; }
  void Close() noexcept;
  bool IsOpen() const noexcept { return FView != nullptr; }

 private:
  THandleOwner FMapping;
  std::uint8_t* FView = nullptr;
};

struct TOxaFreeNode {
  std::uint32_t Offset;
  std::uint32_t Size;
};

// The heap inside a block of memory that it does not own. A closed manager raises EOxaNotOpen.
class TOxaMemoryManager : public TObject {
 public:
  TOxaMemoryManager() = default;
  TOxaMemoryManager(const TOxaMemoryManager&) = delete;
  TOxaMemoryManager& operator=(const TOxaMemoryManager&) = delete;

  virtual std::uint32_t GetSize() const;
  virtual std::uint32_t GetUsed() const;
  // The user header area, 16 bytes into the block.
  virtual void* GetHeader() const;
  // Takes the size bytes at memory. With initialize, lays out an empty heap there (zeroing it):
  // EOxaOutOfMemory "Size is less than %d" when the header does not leave room for one node;
  // size must be 8 more than a multiple of 16. Without, attaches to the heap already laid out there.
  // EOxaAlreadyOpen "Already open" when open.
  virtual void Open(void* memory, std::uint32_t size, std::uint32_t headerSize, bool initialize);
  // Copies the heap into newMemory of newSize bytes (8 more than a multiple of 16) and works there from now
  // on; the grown part becomes free space after the last free node. EOxaNotOpen "MemoryManager
  // is not open"; EOxaOutOfMemory "Relocate can only grow the memory size" when newSize is
  // smaller than the heap.
  virtual void Relocate(void* newMemory, std::uint32_t newSize);
  virtual void Close() noexcept;
  // n bytes of zeroed data, first fit; null when no free node is large enough. EOxaNotOpen
  // "Not Open" when closed.
  virtual void* Alloc(std::uint32_t n);
  // Gives the block back, zeroed and merged with its free neighbours; null does nothing.
  // EOxaFatal for a pointer that is not an allocated block of this heap.
  virtual void Free(void* p);
  // The damage report of the free list: empty when the heap is sound or the manager closed.
  virtual std::string Check() const;

  std::uint32_t ToOffset(const void* p) const;
  void* ToPointer(std::uint32_t offset) const;
  // The request stored before p.
  std::uint32_t BlockSize(const void* p) const;

  std::uint32_t GetHeaderSize() const;
  // The free nodes in list order, as far as the list is sound.
  std::vector<TOxaFreeNode> FreeNodes() const;
  // Raises EOxaFailed when the header words (Size, FreeList, Used, HeaderSize) cannot be right.
  void VerifyHeader() const;
  bool IsOpen() const noexcept { return FOpen; }

 private:
  struct TFrame;
  struct TNode;
  TFrame ReadFrame() const;
  TNode ReadNode(const TFrame& frame, std::uint32_t offset) const;
  std::uint32_t Word(std::uint64_t offset) const noexcept { return ByteOrder::LoadLE32(FBase + offset); }
  void SetWord(std::uint64_t offset, std::uint32_t value) noexcept
  {
    ByteOrder::StoreLE32(FBase + offset, value);
  }
  void RequireOpen() const;

  std::uint8_t* FBase = nullptr;
  std::uint32_t FCapacity = 0;  // bytes at FBase that belong to the heap
  bool FOpen = false;
};

// A heap shared by processes: a mapping under one name, laid out by the first process and
// attached to by the others, grown by moving to a larger mapping under a new name, and used only
// while holding the caller's mutex (which it never owns and which must outlive it). Every
// operation but ToOffset and ToPointer locks; a lock that finds the mutex abandoned first checks
// the heap and raises EOxaFailed with the report when it is damaged. EOxaNotOpen "Not open" when
// closed.
class TOxaProcessMemory : public TObject {
 public:
  TOxaProcessMemory() = default;
  TOxaProcessMemory(const TOxaProcessMemory&) = delete;
  TOxaProcessMemory& operator=(const TOxaProcessMemory&) = delete;
  ~TOxaProcessMemory() override;

  // Opens (or lays out) the heap called name for headerSize bytes of user header and dataSize
  // of blocks. A mapping that cannot be opened is tried again a few times, a second apart; then
  // EOxaFailed "Failed to map memory". EOxaAlreadyOpen "Already open" when open.
  void Open(TOxaMutex& mutex, const std::string& name, std::uint32_t headerSize, std::uint32_t dataSize);
  // Moves to the mapping called name, sized for dataSize bytes of blocks; attaches to it when
  // another process grew the heap there first.
  void Grow(const std::string& name, std::uint32_t dataSize);
  void* Alloc(std::uint32_t n);
  void Free(void* p);
  // The mapping's size word.
  std::uint32_t GetSize();
  void* GetHeader();
  std::uint32_t GetHeaderSize();
  std::string Check();
  std::uint32_t ToOffset(const void* p) const;
  void* ToPointer(std::uint32_t offset) const;
  void Close() noexcept;
  bool IsOpen() const noexcept { return FOpen; }

  // How often a mapping that failed is tried again, and the pause between the tries.
  static constexpr int MappingRetries = 3;
  static constexpr DWORD MappingRetryPause = 1000;

 private:
  class TGuard;
  std::unique_ptr<TOxaMappedMemory> OpenMapping(const std::string& name, std::uint32_t size, bool& existed);
  std::uint32_t TotalSize(std::uint32_t headerSize, std::uint32_t dataSize) const;
  void RequireOpen() const;

  bool FOpen = false;
  TOxaMemoryManager FManager;
  std::unique_ptr<TOxaMappedMemory> FMemory;
  TOxaMutex* FMutex = nullptr;
};
