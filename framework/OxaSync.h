#pragma once
// Named mutexes and events shared by the processes of the suite: thin wrappers over the system's
// objects. A closed object raises EOxaNotOpen "Not open" on use; opening an open one raises
// EOxaAlreadyOpen "Already open"; a failing system call raises EOSError with the system's text.

#include <cstdint>
#include <string>

#include "framework/OxaUtils.h"
#include "platform/core/HandleOwner.h"
#include "platform/core/Handles.h"
#include "platform/core/WinTypes.h"

// A mutex whose lock count belongs to this object: a second Lock on the same object succeeds at
// once, and the system mutex is released when the count is back at 0. One object serves one
// thread; every thread that needs the lock opens its own object.
class TOxaMutex : public TObject {
 public:
  TOxaMutex() = default;
  TOxaMutex(const TOxaMutex&) = delete;
  TOxaMutex& operator=(const TOxaMutex&) = delete;
  ~TOxaMutex() override;

  // Creates or opens the mutex called name (private when empty), not owned. existed tells
  // whether it was there before.
  void Open(const std::string& name, bool& existed);
  // Acquires within timeout milliseconds (INFINITE waits for ever). A mutex left by a dead owner
  // counts as acquired and sets Abandoned. False on time-out or failure.
  bool Lock(DWORD timeout);
  // Raises EOxaNotLocked "Not locked" when the count is 0.
  void Unlock();
  bool Locked() const noexcept { return FCount > 0; }
  // Unlocks until the count is 0 and closes the handle; nothing when closed.
  void Close();

  bool IsOpen() const noexcept { return FOpen; }
  const std::string& Name() const noexcept { return FName; }
  // The last acquisition of the system mutex found it abandoned by a dead owner: whatever the
  // owner guarded may be half-written. Holds until the next acquisition of the system mutex.
  bool Abandoned() const noexcept { return FAbandoned; }

 private:
  bool FOpen = false;
  THandleOwner FHandle;
  std::string FName;
  std::int32_t FCount = 0;
  bool FAbandoned = false;
};

// Holds a TOxaMutex for a scope: Lock(INFINITE) on entry (EOxaFailed when even that fails),
// Unlock on exit.
class TOxaMutexLock {
 public:
  explicit TOxaMutexLock(TOxaMutex& mutex);
  ~TOxaMutexLock();
  TOxaMutexLock(const TOxaMutexLock&) = delete;
  TOxaMutexLock& operator=(const TOxaMutexLock&) = delete;

 private:
  TOxaMutex& FMutex;
};

class TOxaEvent : public TObject {
 public:
  TOxaEvent() = default;
  TOxaEvent(const TOxaEvent&) = delete;
  TOxaEvent& operator=(const TOxaEvent&) = delete;
  ~TOxaEvent() override;

  // Creates or opens the event called name (private when empty); manualReset and initialState
  // apply only when it is created here.
  void Open(const std::string& name, bool manualReset, bool& existed, bool initialState);
  // Opens the event called name only when it exists; false (and still closed) when it does not.
  bool OpenExisting(const std::string& name);
  void SetEvent();
  // True when the event was signalled within timeout milliseconds; false on time-out or failure.
  bool Wait(DWORD timeout);
  void Close();

  bool IsOpen() const noexcept { return FOpen; }
  const std::string& Name() const noexcept { return FName; }

 private:
  bool FOpen = false;
  THandleOwner FHandle;
  std::string FName;
};
