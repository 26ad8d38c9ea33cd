#include "OxaIPC/OxaIpcApplication.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/core/Handles.h"
#include "platform/core/LastError.h"
#include "platform/files/Paths.h"
#include "platform/objects/Processes.h"
#include "platform/objects/Synchronization.h"
#include "rtl/AnsiText.h"

namespace {

// The lock of this process: the mutex handle and whether it is held. Main thread only, like
// the rest of the bus unit.
struct TApplicationLock {
  HANDLE Mutex = nullptr;
  bool Held = false;
};

TApplicationLock& Lock()
{
  static TApplicationLock lock;
  return lock;
}

}  // namespace

std::string ApplicationLockName(std::string_view executablePath)
{
  std::string path = AnsiUpperCase(executablePath);
  std::replace(path.begin(), path.end(), '\\', '/');
  return "OxaIpc.a." + path;
}

std::string ApplicationLockPath()
{
  std::vector<char> module(MAX_PATH + 1);
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, module.data(), static_cast<DWORD>(module.size()));
    if (length < module.size()) {
      module.resize(length);
      break;
    }
    module.resize(module.size() * 2);
  }
  std::string path(module.begin(), module.end());
  std::vector<char> full(path.size() + MAX_PATH);
  const DWORD fullLength =
      GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (fullLength > 0 && fullLength < full.size()) {
    path.assign(full.data(), fullLength);
  }
  DWORD size = static_cast<DWORD>(sizeof(UNIVERSAL_NAME_INFOA) + path.size() + MAX_PATH);
  std::vector<char> universal(size);
  if (WNetGetUniversalNameA(path.c_str(), UNIVERSAL_NAME_INFO_LEVEL, universal.data(), &size) ==
      ERROR_MORE_DATA) {
    universal.resize(size);
  }
  if (WNetGetUniversalNameA(path.c_str(), UNIVERSAL_NAME_INFO_LEVEL, universal.data(), &size) ==
      ERROR_SUCCESS) {
    path = reinterpret_cast<const UNIVERSAL_NAME_INFOA*>(universal.data())->lpUniversalName;
  }
  return path;
}

bool LockApplication(DWORD timeout)
{
  TApplicationLock& lock = Lock();
  if (lock.Held) {
    return true;
  }
  if (lock.Mutex == nullptr) {
    lock.Mutex = CreateMutexA(nullptr, FALSE, ApplicationLockName(ApplicationLockPath()).c_str());
    if (lock.Mutex == nullptr) {
      return false;
    }
  }
  const DWORD result = WaitForSingleObject(lock.Mutex, timeout);
  lock.Held = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
  return lock.Held;
}

void UnlockApplication()
{
  TApplicationLock& lock = Lock();
  if (lock.Held) {
    ReleaseMutex(lock.Mutex);
    lock.Held = false;
  }
}
