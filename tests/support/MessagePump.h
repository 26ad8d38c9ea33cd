#pragma once
// Handles the calling thread's messages until a condition holds, for tests of posted messages,
// window timers and Synchronize. The time-out is generous and only matters when a test fails.

#include <functional>

#include "platform/core/Time.h"
#include "platform/windows/Messages.h"

inline bool PumpUntil(const std::function<bool()>& done, DWORD timeout = 20000, UINT wakeEvery = 50)
{
  // A thread timer wakes WaitMessage now and then, so the time-out is seen.
  const UINT_PTR wake = SetTimer(nullptr, 0, wakeEvery, nullptr);
  const DWORD start = GetTickCount();
  MSG message{};
  while (!done() && GetTickCount() - start < timeout) {
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      DispatchMessageA(&message);
    } else {
      WaitMessage();
    }
  }
  KillTimer(nullptr, wake);
  return done();
}

// Handles the calling thread's messages for about the given time (helper processes between their
// commands).
inline void PumpFor(DWORD milliseconds)
{
  PumpUntil([] { return false; }, milliseconds, 20);
}
