#pragma once
// Owners of drawing handles: each frees its handle when it goes, and raises the platform's
// last-error exception (EOSError) when the handle cannot be had.

#include <utility>

#include "platform/windows/Gdi.h"
#include "platform/windows/Windows.h"
#include "rtl/OSError.h"

// A drawing object (bitmap, brush, palette, ...) deleted with DeleteObject.
template <class Handle>
class TGdiObject {
 public:
  TGdiObject() = default;
  // Takes a handle a creating call returned; null raises the call's error.
  explicit TGdiObject(Handle handle) : FHandle(handle)
  {
    if (FHandle == nullptr) {
      RaiseLastOSError();
    }
  }
  ~TGdiObject() { Reset(); }
  TGdiObject(TGdiObject&& other) noexcept : FHandle(std::exchange(other.FHandle, nullptr)) {}
  TGdiObject& operator=(TGdiObject&& other) noexcept
  {
    if (this != &other) {
      Reset();
      FHandle = std::exchange(other.FHandle, nullptr);
    }
    return *this;
  }

  Handle Get() const noexcept { return FHandle; }
  Handle Release() noexcept { return std::exchange(FHandle, nullptr); }
  void Reset() noexcept
  {
    if (FHandle != nullptr) {
      DeleteObject(std::exchange(FHandle, nullptr));
    }
  }

 private:
  Handle FHandle = nullptr;
};

// A memory device context, deleted with DeleteDC.
class TMemoryDC {
 public:
  TMemoryDC() = default;
  // Compatible with the screen; raises EOSError when none can be made.
  static TMemoryDC Create()
  {
    TMemoryDC dc;
    dc.FHandle = CreateCompatibleDC(nullptr);
    if (dc.FHandle == nullptr) {
      RaiseLastOSError();
    }
    return dc;
  }
  ~TMemoryDC() { Reset(); }
  TMemoryDC(TMemoryDC&& other) noexcept : FHandle(std::exchange(other.FHandle, nullptr)) {}
  TMemoryDC& operator=(TMemoryDC&& other) noexcept
  {
    if (this != &other) {
      Reset();
      FHandle = std::exchange(other.FHandle, nullptr);
    }
    return *this;
  }

  HDC Get() const noexcept { return FHandle; }
  void Reset() noexcept
  {
    if (FHandle != nullptr) {
      DeleteDC(std::exchange(FHandle, nullptr));
    }
  }

 private:
  HDC FHandle = nullptr;
};

// The screen's device context for the owner's lifetime.
class TScreenDC {
 public:
  TScreenDC() : FHandle(GetDC(nullptr))
  {
    if (FHandle == nullptr) {
      RaiseLastOSError();
    }
  }
  ~TScreenDC() { ReleaseDC(nullptr, FHandle); }
  TScreenDC(const TScreenDC&) = delete;
  TScreenDC& operator=(const TScreenDC&) = delete;
  HDC Get() const noexcept { return FHandle; }

 private:
  HDC FHandle;
};

// An object selected into a device context for the owner's lifetime; the previous one is
// selected back when it goes.
class TSelection {
 public:
  TSelection(HDC dc, HGDIOBJ object) : FDC(dc), FPrevious(SelectObject(dc, object))
  {
    if (FPrevious == nullptr) {
      RaiseLastOSError();
    }
  }
  ~TSelection() { SelectObject(FDC, FPrevious); }
  TSelection(const TSelection&) = delete;
  TSelection& operator=(const TSelection&) = delete;

 private:
  HDC FDC;
  HGDIOBJ FPrevious;
};
