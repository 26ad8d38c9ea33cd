#include "framework/OxaSync.h"

#include <exception>
#include <string>

#include "framework/OxaUtils.h"
#include "platform/core/LastError.h"
#include "platform/objects/Synchronization.h"
#include "rtl/OSError.h"

namespace {

const char* NameOrNull(const std::string& name)
{
  return name.empty() ? nullptr : name.c_str();
}

}  // namespace

TOxaMutex::~TOxaMutex()
{
  Close();
}

void TOxaMutex::Open(const std::string& name, bool& existed)
{
  if (FOpen) {
    throw EOxaAlreadyOpen("Already open");
  }
  HANDLE handle = CreateMutexA(nullptr, FALSE, NameOrNull(name));
  if (handle == nullptr) {
    RaiseLastOSError();
  }
  existed = GetLastError() == ERROR_ALREADY_EXISTS;
  FHandle.Reset(handle);
  FName = name;
  FCount = 0;
  FAbandoned = false;
  FOpen = true;
}

bool TOxaMutex::Lock(DWORD timeout)
{
  if (!FOpen) {
    throw EOxaNotOpen("Not open");
  }
  if (FCount == 0) {
    const DWORD result = WaitForSingleObject(FHandle.Get(), timeout);
    if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) {
      return false;
    }
    FAbandoned = result == WAIT_ABANDONED;
  }
  ++FCount;
  return true;
}

void TOxaMutex::Unlock()
{
  if (FCount == 0) {
    throw EOxaNotLocked("Not locked");
  }
  if (--FCount == 0 && ReleaseMutex(FHandle.Get()) == FALSE) {
    RaiseLastOSError();
  }
}

void TOxaMutex::Close()
{
  if (!FOpen) {
    return;
  }
  if (FCount > 0) {
    // Closing also runs from the destructor, so a release refused (another thread's object)
    // is not raised here; closing the handle is what matters.
    FCount = 0;
    ReleaseMutex(FHandle.Get());
  }
  FHandle.Reset();
  FName.clear();
  FOpen = false;
}

TOxaMutexLock::TOxaMutexLock(TOxaMutex& mutex) : FMutex(mutex)
{
  if (!FMutex.Lock(INFINITE)) {
    throw EOxaFailed("Failed to lock " + FMutex.Name());
  }
}

TOxaMutexLock::~TOxaMutexLock()
{
  // A release the system refuses cannot be reported from here: a throw would end the process.
  try {
    FMutex.Unlock();
  } catch (const std::exception& e) {
    Trace("TOxaMutexLock: %s not released (%s)", FMutex.Name(), std::string(e.what()));
  }
}

TOxaEvent::~TOxaEvent()
{
  Close();
}

void TOxaEvent::Open(const std::string& name, bool manualReset, bool& existed, bool initialState)
{
  if (FOpen) {
    throw EOxaAlreadyOpen("Already open");
  }
  HANDLE handle =
      CreateEventA(nullptr, manualReset ? TRUE : FALSE, initialState ? TRUE : FALSE, NameOrNull(name));
  if (handle == nullptr) {
    RaiseLastOSError();
  }
  existed = GetLastError() == ERROR_ALREADY_EXISTS;
  FHandle.Reset(handle);
  FName = name;
  FOpen = true;
}

bool TOxaEvent::OpenExisting(const std::string& name)
{
  if (FOpen) {
    throw EOxaAlreadyOpen("Already open");
  }
  HANDLE handle = OpenEventA(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, name.c_str());
  if (handle == nullptr) {
    if (GetLastError() == ERROR_FILE_NOT_FOUND) {
      return false;
    }
    RaiseLastOSError();
  }
  FHandle.Reset(handle);
  FName = name;
  FOpen = true;
  return true;
}

void TOxaEvent::SetEvent()
{
  if (!FOpen) {
    throw EOxaNotOpen("Not open");
  }
  if (::SetEvent(FHandle.Get()) == FALSE) {
    RaiseLastOSError();
  }
}

bool TOxaEvent::Wait(DWORD timeout)
{
  if (!FOpen) {
    throw EOxaNotOpen("Not open");
  }
  return WaitForSingleObject(FHandle.Get(), timeout) == WAIT_OBJECT_0;
}

void TOxaEvent::Close()
{
  if (!FOpen) {
    return;
  }
  FHandle.Reset();
  FName.clear();
  FOpen = false;
}
