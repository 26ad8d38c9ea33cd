#pragma once
// TCriticalSection: a lock for the threads of one process. Like a Win32 critical section it may
// be entered again by the thread that holds it; each Enter needs its Leave.

#include <mutex>

#include "rtl/Object.h"

class TCriticalSection : public TObject {
 public:
  void Enter() { FLock.lock(); }
  void Leave() { FLock.unlock(); }
  void Acquire() { Enter(); }
  void Release() { Leave(); }
  // Enters when no other thread holds the section; false otherwise.
  bool TryEnter() { return FLock.try_lock(); }

  // For std::lock_guard and std::unique_lock.
  void lock() { Enter(); }
  void unlock() { Leave(); }

 private:
  std::recursive_mutex FLock;
};
