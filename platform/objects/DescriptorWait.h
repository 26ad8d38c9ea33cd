#pragma once
// TDescriptorWait: a thread outside the message loop (a socket reader, a bus server) sleeps until
// a descriptor it serves is ready, a time-out passes, or another thread wakes it to stop.

#include <cstdint>

#include "platform/files/FileDescriptor.h"

enum class TWaitOutcome { Ready, Woken, TimedOut, Failed };

class TDescriptorWait {
 public:
  // Throws std::system_error when the wake-up descriptor cannot be made.
  TDescriptorWait();
  TDescriptorWait(const TDescriptorWait&) = delete;
  TDescriptorWait& operator=(const TDescriptorWait&) = delete;

  // The events of poll(2), as libraries that hand out a descriptor to wait on report them.
  static constexpr short Readable = 0x001;
  static constexpr short Writable = 0x004;

  // Waits until one of events happens on descriptor, Wake is called, or timeoutMs passes
  // (negative: no time-out). A negative descriptor waits for Wake or the time only. Woken takes
  // every wake-up called so far; one called before the wait began is not missed.
  TWaitOutcome Wait(int descriptor, short events, std::int64_t timeoutMs);
  // Any thread; safe while another thread waits.
  void Wake() noexcept;

 private:
  TFileDescriptor FWake;
};
