#pragma once
// The component object model the external components speak: interfaces are classes of pure
// virtual methods reached through IUnknown, identified by GUIDs, kept alive by reference counts,
// and their calls report HRESULTs. TComPtr holds one reference for the caller.

#include <cstdint>
#include <utility>

#include "platform/core/WinTypes.h"

using HRESULT = std::int32_t;
using ULONG = std::uint32_t;
using WCHAR = char16_t;
using LPCWSTR = const WCHAR*;

struct GUID {
  DWORD Data1;
  WORD Data2;
  WORD Data3;
  BYTE Data4[8];

  friend bool operator==(const GUID&, const GUID&) = default;
};
using IID = GUID;
using REFIID = const IID&;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);

constexpr bool SUCCEEDED(HRESULT result) noexcept
{
  return result >= 0;
}
constexpr bool FAILED(HRESULT result) noexcept
{
  return result < 0;
}

inline constexpr IID IID_IUnknown{
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// An object is freed by its last Release; QueryInterface hands out a new reference (or null with
// E_NOINTERFACE). Objects are never deleted through an interface pointer.
class IUnknown {
 public:
  virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

// One reference to an interface, released when the holder goes.
template <class T>
class TComPtr {
 public:
  TComPtr() noexcept = default;
  ~TComPtr() { Reset(); }
  TComPtr(const TComPtr&) = delete;
  TComPtr& operator=(const TComPtr&) = delete;
  TComPtr(TComPtr&& other) noexcept : FPointer(std::exchange(other.FPointer, nullptr)) {}
  TComPtr& operator=(TComPtr&& other) noexcept
  {
    if (this != &other) {
      Reset();
      FPointer = std::exchange(other.FPointer, nullptr);
    }
    return *this;
  }

  T* Get() const noexcept { return FPointer; }
  T* operator->() const noexcept { return FPointer; }
  explicit operator bool() const noexcept { return FPointer != nullptr; }

  void Reset() noexcept
  {
    if (FPointer != nullptr) {
      std::exchange(FPointer, nullptr)->Release();
    }
  }
  // The slot a creating call fills with a reference the holder then owns; drops the old one.
  T** Receive() noexcept
  {
    Reset();
    return &FPointer;
  }
  // Asks the object for another of its interfaces; empty when it has none.
  template <class U>
  TComPtr<U> Query(REFIID iid) const
  {
    TComPtr<U> result;
    if (FPointer != nullptr) {
      void* object = nullptr;
      if (SUCCEEDED(FPointer->QueryInterface(iid, &object)) && object != nullptr) {
        *result.Receive() = static_cast<U*>(object);
      }
    }
    return result;
  }

 private:
  T* FPointer = nullptr;
};
