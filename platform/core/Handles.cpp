#include "platform/core/Handles.h"

#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/core/HandleOwner.h"
#include "platform/core/LastError.h"

namespace {

// The process's handle table, shared by all threads.
struct THandleTable {
  std::mutex Lock;  // guards everything below
  std::unordered_map<std::uintptr_t, std::shared_ptr<TKernelObject>> Objects;
  std::uintptr_t NextValue = 0x100;
};

THandleTable& Table()
{
  static THandleTable table;
  return table;
}

std::mutex watchesLock;
std::vector<std::function<void()>*> watches;

}  // namespace

void AnnounceKernelObjectChange()
{
  const std::lock_guard guard(watchesLock);
  for (const auto* wake : watches) {
    (*wake)();
  }
}

TKernelObjectWatch::TKernelObjectWatch(std::function<void()> wake) : FWake(std::move(wake))
{
  const std::lock_guard guard(watchesLock);
  watches.push_back(&FWake);
}

TKernelObjectWatch::~TKernelObjectWatch()
{
  const std::lock_guard guard(watchesLock);
  std::erase(watches, &FWake);
}

DWORD TKernelObject::Wait(DWORD)
{
  SetLastError(ERROR_INVALID_HANDLE);
  return WAIT_FAILED;
}

void SetLastErrorInvalidHandle() noexcept
{
  SetLastError(ERROR_INVALID_HANDLE);
}

HANDLE RegisterHandle(std::shared_ptr<TKernelObject> object)
{
  auto& table = Table();
  const std::lock_guard guard(table.Lock);
  const std::uintptr_t value = table.NextValue;
  table.NextValue += 4;
  table.Objects.emplace(value, std::move(object));
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<TKernelObject> LookupHandle(HANDLE handle)
{
  auto& table = Table();
  const std::lock_guard guard(table.Lock);
  const auto found = table.Objects.find(reinterpret_cast<std::uintptr_t>(handle));
  if (found == table.Objects.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return found->second;
}

BOOL CloseHandle(HANDLE handle)
{
  std::shared_ptr<TKernelObject> closing;
  {
    auto& table = Table();
    const std::lock_guard guard(table.Lock);
    const auto found = table.Objects.find(reinterpret_cast<std::uintptr_t>(handle));
    if (found == table.Objects.end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    closing = std::move(found->second);
    table.Objects.erase(found);
  }
  // The object's destructor (which may release OS resources) runs outside the table lock.
  closing.reset();
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
  const auto object = LookupHandle(handle);
  if (!object) {
    return WAIT_FAILED;
  }
  return object->Wait(milliseconds);
}

void THandleOwner::Reset(HANDLE handle) noexcept
{
  if (FHandle != nullptr && FHandle != handle) {
    const DWORD error = GetLastError();
    CloseHandle(FHandle);
    SetLastError(error);
  }
  FHandle = Usable(handle) ? handle : nullptr;
}
