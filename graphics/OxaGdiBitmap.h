#pragma once
// Pixel surfaces: the plain memory surface shared between nodes (TOxaMemoryBitmap).

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

// A buffer of pixel bytes shared by reference count. It is created with one reference held by
// its creator; AddRef and Release are atomic, and the last Release frees it.
class TOxaMemoryBitmap {
 public:
  // A new, empty surface holding one reference.
  static TOxaMemoryBitmap* Create();
  TOxaMemoryBitmap(const TOxaMemoryBitmap&) = delete;
  TOxaMemoryBitmap& operator=(const TOxaMemoryBitmap&) = delete;

  void AddRef() noexcept;
  // Frees the surface when this was the last reference; the pointer is not to be used after.
  void Release() noexcept;
  std::int32_t RefCount() const noexcept { return FRefCount.load(std::memory_order_relaxed); }

  // Frees the old buffer and allocates one of the new size (contents undefined, nothing copied);
  // 0 leaves no buffer. Throws EOxaOutOfMemory when the memory cannot be had, and is then empty.
  void SetSize(std::size_t bytes);
  std::uint8_t* Buffer() const noexcept { return FBuffer.get(); }
  std::size_t Size() const noexcept { return FSize; }

 private:
  TOxaMemoryBitmap() = default;
  ~TOxaMemoryBitmap() = default;

  std::atomic<std::int32_t> FRefCount{1};
  std::unique_ptr<std::uint8_t[]> FBuffer;
  std::size_t FSize = 0;
};
