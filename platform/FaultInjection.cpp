#include "platform/FaultInjection.h"

#include <atomic>

namespace {

// Shared by every thread of the process: the switch is armed by a test and read by any call.
std::atomic<std::uint32_t> failAt{0};
std::atomic<std::uint32_t> counted{0};

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
