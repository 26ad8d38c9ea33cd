#pragma once
// Kernel handles: the values CreateFileA, CreateMutexA, CreateEventA, CreateFileMappingA,
// CreateProcessA and the thread functions hand out. Every kind of kernel object derives from
// TKernelObject and lives in the process's handle table until CloseHandle; a handle value is
// never reused within a process, so a stale handle fails with ERROR_INVALID_HANDLE instead of
// reaching another object.

#include <functional>
#include <memory>

#include "platform/core/WinTypes.h"

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

  // How a waiter that cannot block in Wait (it also waits for messages) learns of a change:
  // a descriptor that becomes readable when the object may be signalled (-1: none), and whether
  // another process may signal the object (then only looking again now and then sees it).
  // Changes made in this process are announced (AnnounceKernelObjectChange).
  virtual int ChangeDescriptor() const noexcept { return -1; }
  virtual bool ChangedElsewhere() const noexcept { return false; }
};

// Tells every watch of this process that some kernel object may have become signalled.
void AnnounceKernelObjectChange();

// While it lives, every announcement calls wake (on the announcing thread).
class TKernelObjectWatch {
 public:
  explicit TKernelObjectWatch(std::function<void()> wake);
  ~TKernelObjectWatch();
  TKernelObjectWatch(const TKernelObjectWatch&) = delete;
  TKernelObjectWatch& operator=(const TKernelObjectWatch&) = delete;

 private:
  std::function<void()> FWake;
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
