#pragma once
// The program's own message loop, run by a benchmark for a stretch of wall time.

#include "forms/Forms.h"
#include "platform/windows/Windows.h"

namespace benchloop {

// Handles messages, timers included, for ms milliseconds of wall time, waiting when there are
// none.
inline void RunLoop(int ms)
{
  bool done = false;
  static bool* flag = nullptr;
  flag = &done;
  const UINT_PTR timer = SetTimer(nullptr, 0, static_cast<UINT>(ms), [](HWND, UINT, UINT_PTR, DWORD) {
    if (flag != nullptr) {
      *flag = true;
    }
  });
  while (!done) {
    Application().HandleMessage();
  }
  KillTimer(nullptr, timer);
  flag = nullptr;
}

}  // namespace benchloop
