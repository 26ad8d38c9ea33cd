#include "platform/core/FaultInjection.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// Shared by every thread of the process: the switch is armed by a test and read by any call.
std::atomic<std::uint32_t> failAt{0};
std::atomic<std::uint32_t> counted{0};

// The pause a test asked for; copied out under the lock and run outside it.
struct TPause {
  std::mutex Lock;  // guards Run
  std::shared_ptr<const std::function<void()>> Run;
};

TPause& Pause()
{
  static TPause pause;
  return pause;
}

}  // namespace

void FailNthPlatformCall(std::uint32_t n) noexcept
{
  counted = 0;
  failAt = n;
}

std::uint32_t CountedPlatformCalls() noexcept
{
  return counted;
}

void PausePlatformCalls(std::function<void()> pause)
{
  auto& current = Pause();
  const std::lock_guard guard(current.Lock);
  current.Run = pause ? std::make_shared<const std::function<void()>>(std::move(pause)) : nullptr;
}

void DelayPlatformCalls(std::uint32_t milliseconds)
{
  if (milliseconds == 0) {
    PausePlatformCalls(nullptr);
    return;
  }
  PausePlatformCalls(
      [milliseconds] { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); });
}

void PlatformCallPause() noexcept
{
  std::shared_ptr<const std::function<void()>> run;
  {
    auto& current = Pause();
    const std::lock_guard guard(current.Lock);
    run = current.Run;
  }
  if (run) {
    (*run)();
  }
}

bool PlatformCallFails() noexcept
{
  const std::uint32_t target = failAt.load(std::memory_order_relaxed);
  const std::uint32_t number = counted.fetch_add(1, std::memory_order_relaxed) + 1;
  if (target != 0 && number == target) {
    failAt = 0;
    return true;
  }
  return false;
}
