#include "platform/core/PollUntil.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <ctime>

std::uint64_t PollClockMilliseconds() noexcept
{
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000U + static_cast<std::uint64_t>(now.tv_nsec) / 1000000U;
}

std::uint64_t DeadlineIn(std::int64_t timeoutMs) noexcept
{
  if (timeoutMs < 0) {
    return NoDeadline;
  }
  // The clock counts whole milliseconds, so the current one may be nearly over: one more keeps
  // the wait at least as long as asked, as poll's own time-out is.
  const std::uint64_t now = PollClockMilliseconds();
  const auto span = static_cast<std::uint64_t>(timeoutMs) + (timeoutMs > 0 ? 1 : 0);
  return span >= NoDeadline - now ? NoDeadline : now + span;
}

int PollUntil(std::span<pollfd> set, std::uint64_t deadline) noexcept
{
  for (;;) {
    int timeout = -1;
    if (deadline != NoDeadline) {
      const std::uint64_t now = PollClockMilliseconds();
      timeout = static_cast<int>(std::min<std::uint64_t>(deadline - std::min(deadline, now), INT_MAX));
    }
    const int ready = poll(set.data(), static_cast<nfds_t>(set.size()), timeout);
    if (ready >= 0 || errno != EINTR) {
      return ready;
    }
  }
}
