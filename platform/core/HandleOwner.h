#pragma once
// THandleOwner: the one owner of a kernel handle (file, mapping, event, mutex, process, thread)
// outside the layer's own table. Move-only; closes what it holds when it goes, so no early
// return or failure path leaks a handle and nothing above the layer calls CloseHandle itself.

#include <utility>

#include "platform/core/Handles.h"

class THandleOwner {
 public:
  THandleOwner() noexcept = default;
  // Takes ownership; null and INVALID_HANDLE_VALUE (a failed create or open) hold nothing.
  explicit THandleOwner(HANDLE handle) noexcept : FHandle(Usable(handle) ? handle : nullptr) {}
  THandleOwner(THandleOwner&& other) noexcept : FHandle(std::exchange(other.FHandle, nullptr)) {}
  THandleOwner& operator=(THandleOwner&& other) noexcept
  {
    if (this != &other) {
      Reset(std::exchange(other.FHandle, nullptr));
    }
    return *this;
  }
  THandleOwner(const THandleOwner&) = delete;
  THandleOwner& operator=(const THandleOwner&) = delete;
  ~THandleOwner() { Reset(); }

  // The handle, null when none is held. Stays owned.
  HANDLE Get() const noexcept { return FHandle; }
  bool Valid() const noexcept { return FHandle != nullptr; }
  // Hands the handle to the caller, who closes it.
  HANDLE Release() noexcept { return std::exchange(FHandle, nullptr); }
  // Closes what is held and takes handle instead. The last error survives the close, so a
  // failure can be reported after dropping the handle that saw it.
  void Reset(HANDLE handle = nullptr) noexcept;

 private:
  static bool Usable(HANDLE handle) noexcept { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

  HANDLE FHandle = nullptr;
};
