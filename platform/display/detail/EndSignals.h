#pragma once
// The signals by which the host asks a windowed program to end (SIGTERM at shutdown or from
// kill, SIGHUP when its terminal goes, SIGINT for Ctrl+C), as long as the program has set no
// handler of its own for them. Each arrival makes Descriptor() readable; the display then ends
// the program's message loop, as the session's end does on Windows, so the program frees its
// windows and saves what it keeps. A second one of the same signal acts as if none were caught
// (the process ends), so a program that does not end can still be ended.

#include <csignal>

#include "platform/files/FileDescriptor.h"

class TEndSignals {
 public:
  // Takes over those of the signals that still have their default action.
  TEndSignals();
  // Gives them their default action back.
  ~TEndSignals();
  TEndSignals(const TEndSignals&) = delete;
  TEndSignals& operator=(const TEndSignals&) = delete;

  // Readable while a signal waits to be taken; -1 when none could be taken over.
  int Descriptor() const noexcept { return FReady.Get(); }
  // The signal that arrived (0 when none), and the descriptor drained.
  int Take() noexcept;
  // Gives the signals their default action back at once (the program can no longer be asked).
  void Release() noexcept;

 private:
  TFileDescriptor FReady;
  bool FTaken[3] = {false, false, false};
};
