#include "platform/objects/FutexWatch.h"

#include <errno.h>
#include <linux/futex.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <climits>
#include <system_error>

namespace {

// Waits until a word no longer holds its value or its futex is woken; the woken entry's index,
// or -1 with errno (EAGAIN: a word had changed already).
long WaitOnAny(std::vector<futex_waitv>& waiters)
{
  return syscall(SYS_futex_waitv, waiters.data(), static_cast<unsigned>(waiters.size()), 0U, nullptr, 0);
}

futex_waitv Waiter(const std::atomic<std::uint32_t>* word, std::uint32_t value, bool shared)
{
  futex_waitv waiter{};
  waiter.val = value;
  waiter.uaddr = reinterpret_cast<std::uintptr_t>(word);
  waiter.flags = FUTEX_32 | (shared ? 0U : FUTEX_PRIVATE_FLAG);
  return waiter;
}

}  // namespace

bool TFutexWatch::Supported()
{
  // A word that does not hold the value given: a kernel that knows the call says so at once.
  static const bool supported = [] {
    const std::atomic<std::uint32_t> word{1};
    std::vector<futex_waitv> waiters{Waiter(&word, 0, false)};
    return WaitOnAny(waiters) < 0 && errno == EAGAIN;
  }();
  return supported;
}

TFutexWatch::TFutexWatch(std::vector<TWord> words) : FWords(std::move(words))
{
  if (FWords.empty() || FWords.size() > MaxWords || !Supported()) {
    return;
  }
  FReady = TFileDescriptor(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!FReady.Valid()) {
    return;
  }
  try {
    FThread = std::thread([this] { Watch(); });
  } catch (const std::system_error&) {
    FReady.Reset();
  }
}

TFutexWatch::~TFutexWatch()
{
  if (FThread.joinable()) {
    FStop.store(1);
    syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&FStop), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr,
            nullptr, 0);
    FThread.join();
  }
}

void TFutexWatch::Watch()
{
  std::vector<futex_waitv> waiters;
  for (const TWord& word : FWords) {
    // The words live in memory shared with other processes: their futexes are the shared kind.
    waiters.push_back(Waiter(word.Word, word.Unchanged, true));
  }
  waiters.push_back(Waiter(&FStop, 0, false));
  for (;;) {
    const long woken = WaitOnAny(waiters);
    if (FStop.load() != 0) {
      return;
    }
    if (woken < 0 && errno == EINTR) {
      continue;
    }
    bool changed = woken < 0 && errno != EAGAIN;  // an unexpected failure: let the waiter look
    for (const TWord& word : FWords) {
      changed = changed || word.Word->load() != word.Unchanged;
    }
    if (changed) {
      const std::uint64_t one = 1;
      [[maybe_unused]] const ssize_t written = write(FReady.Get(), &one, sizeof(one));
      return;
    }
    // Woken by a change undone before this look (an event set and taken at once): sleep again.
  }
}
