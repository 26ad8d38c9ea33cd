#include "platform/display/detail/EndSignals.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>

namespace {

constexpr int Signals[3] = {SIGTERM, SIGHUP, SIGINT};

// A signal handler has no context argument: it reaches the one taker through these.
std::atomic<int> readyDescriptor{-1};
std::atomic<int> arrived{0};

void OnEndSignal(int signal)
{
  const int saved = errno;
  arrived = signal;
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = write(readyDescriptor.load(), &one, sizeof(one));
  errno = saved;
}

}  // namespace

TEndSignals::TEndSignals()
{
  FReady = TFileDescriptor(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (FReady.Get() < 0) {
    return;
  }
  readyDescriptor = FReady.Get();
  for (int i = 0; i < 3; ++i) {
    struct sigaction current {};
    if (sigaction(Signals[i], nullptr, &current) != 0 || (current.sa_flags & SA_SIGINFO) != 0 ||
        current.sa_handler != SIG_DFL) {
      continue;
    }
    struct sigaction action {};
    action.sa_handler = OnEndSignal;
    sigemptyset(&action.sa_mask);
    // The second arrival finds the default action again.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    FTaken[i] = sigaction(Signals[i], &action, nullptr) == 0;
  }
}

TEndSignals::~TEndSignals()
{
  Release();
  int own = FReady.Get();
  readyDescriptor.compare_exchange_strong(own, -1);
}

int TEndSignals::Take() noexcept
{
  std::uint64_t count = 0;
  if (FReady.Get() < 0 || read(FReady.Get(), &count, sizeof(count)) != sizeof(count)) {
    return 0;
  }
  return arrived.exchange(0);
}

void TEndSignals::Release() noexcept
{
  for (int i = 0; i < 3; ++i) {
    if (!FTaken[i]) {
      continue;
    }
    FTaken[i] = false;
    struct sigaction current {};
    // Only our own handler is put back to the default; one set since then stays.
    if (sigaction(Signals[i], nullptr, &current) == 0 && (current.sa_flags & SA_SIGINFO) == 0 &&
        current.sa_handler == OnEndSignal) {
      struct sigaction action {};
      action.sa_handler = SIG_DFL;
      sigemptyset(&action.sa_mask);
      sigaction(Signals[i], &action, nullptr);
    }
  }
}
