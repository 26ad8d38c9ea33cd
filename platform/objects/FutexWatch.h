#pragma once
// TFutexWatch: a descriptor for words in memory other processes share (the state of a named
// event), for waits that sleep in poll. A thread of the watch sleeps on the words as futexes,
// all at once, and makes the descriptor readable when one of them no longer holds the value it
// was given; whoever changes a word wakes its futex, as setting an event does. It fires once.
//
// The kernel must wait on several futexes in one call (Linux 5.16 and later); without that,
// Supported() is false and the caller looks at the words now and then instead.

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "platform/files/FileDescriptor.h"

class TFutexWatch {
 public:
  struct TWord {
    const std::atomic<std::uint32_t>* Word;
    std::uint32_t Unchanged;  // the value the word holds until the change watched for
  };
  // The most words one watch takes.
  static constexpr std::size_t MaxWords = 64;

  static bool Supported();

  // Starts watching; Descriptor() is -1 when it cannot (too many words, no kernel support, no
  // descriptor or thread to be had).
  explicit TFutexWatch(std::vector<TWord> words);
  ~TFutexWatch();
  TFutexWatch(const TFutexWatch&) = delete;
  TFutexWatch& operator=(const TFutexWatch&) = delete;

  // Readable once a word has changed; -1 when the watch did not start.
  int Descriptor() const noexcept { return FThread.joinable() ? FReady.Get() : -1; }

 private:
  void Watch();

  std::vector<TWord> FWords;
  std::atomic<std::uint32_t> FStop{0};
  TFileDescriptor FReady;
  std::thread FThread;
};
