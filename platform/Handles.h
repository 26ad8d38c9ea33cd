#pragma once
// Kernel handles: the values CreateFileA, CreateMutexA, CreateEventA, CreateFileMappingA,
// CreateProcessA and the thread functions hand out. Every kind of kernel object derives from
// TKernelObject and lives in the process's handle table until CloseHandle; a handle value is
// never reused within a process, so a stale handle fails with ERROR_INVALID_HANDLE instead of
// reaching another object.

#include <memory>

#include "platform/WinTypes.h"

using HANDLE = void*;
inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));

constexpr DWORD WAIT_OBJECT_0 = 0x00000000;
constexpr DWORD WAIT_ABANDONED = 0x00000080;
constexpr DWORD WAIT_TIMEOUT = 0x00000102;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

class TKernelObject {
 public:
  TKernelObject() = default;
  TKernelObject(const TKernelObject&) = delete;
  TKernelObject& operator=(const TKernelObject&) = delete;
  virtual ~TKernelObject() = default;

  // Waits until the object is signalled or the time-out (INFINITE: none; 0: poll) passes.
  // Returns WAIT_OBJECT_0, WAIT_ABANDONED, WAIT_TIMEOUT, or WAIT_FAILED with the last error set.
  // The default: objects that cannot be waited on fail with ERROR_INVALID_HANDLE.
  virtual DWORD Wait(DWORD milliseconds);
};

// Enters object into the handle table and returns its new handle.
HANDLE RegisterHandle(std::shared_ptr<TKernelObject> object);

// The object of a handle, or null with ERROR_INVALID_HANDLE as the last error.
std::shared_ptr<TKernelObject> LookupHandle(HANDLE handle);

void SetLastErrorInvalidHandle() noexcept;

// The object of a handle when it is of kind T, else null with ERROR_INVALID_HANDLE.
template <class T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle)
{
  auto object = std::dynamic_pointer_cast<T>(LookupHandle(handle));
  if (!object) {
    SetLastErrorInvalidHandle();
  }
  return object;
}

// Removes the handle; the object goes when its last handle (or in-flight user) goes.
BOOL CloseHandle(HANDLE handle);

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
