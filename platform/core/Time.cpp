#include "platform/core/Time.h"

#include <time.h>

#include <chrono>
#include <thread>

DWORD GetTickCount() noexcept
{
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const auto millis =
      static_cast<std::uint64_t>(now.tv_sec) * 1000U + static_cast<std::uint64_t>(now.tv_nsec) / 1000000U;
  return static_cast<DWORD>(millis);
}

void Sleep(DWORD milliseconds) noexcept
{
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
