#pragma once
// TMappedView: the owner of one mmap'd range inside the layer. Move-only; unmaps what it holds
// when it goes, so an early return never leaves a mapping behind.

#include <sys/mman.h>

#include <cstddef>
#include <utility>

class TMappedView {
 public:
  TMappedView() noexcept = default;
  // Takes a range mmap returned; MAP_FAILED or null holds nothing.
  TMappedView(void* address, std::size_t length) noexcept
      : FAddress(address == MAP_FAILED ? nullptr : address), FLength(FAddress != nullptr ? length : 0)
  {
  }
  TMappedView(TMappedView&& other) noexcept
      : FAddress(std::exchange(other.FAddress, nullptr)), FLength(std::exchange(other.FLength, 0))
  {
  }
  TMappedView& operator=(TMappedView&& other) noexcept
  {
    if (this != &other) {
      Reset();
      FAddress = std::exchange(other.FAddress, nullptr);
      FLength = std::exchange(other.FLength, 0);
    }
    return *this;
  }
  TMappedView(const TMappedView&) = delete;
  TMappedView& operator=(const TMappedView&) = delete;
  ~TMappedView() { Reset(); }

  void* Get() const noexcept { return FAddress; }
  bool Valid() const noexcept { return FAddress != nullptr; }
  // Leaves the range mapped for good (a process that hands it on as it ends).
  void* Release() noexcept
  {
    FLength = 0;
    return std::exchange(FAddress, nullptr);
  }
  void Reset() noexcept
  {
    if (FAddress != nullptr) {
      ::munmap(FAddress, FLength);
    }
    FAddress = nullptr;
    FLength = 0;
  }

 private:
  void* FAddress = nullptr;
  std::size_t FLength = 0;
};
