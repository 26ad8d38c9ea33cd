#include "platform/objects/DescriptorWait.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <span>
#include <system_error>

#include "platform/core/PollUntil.h"

TDescriptorWait::TDescriptorWait() : FWake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
  if (!FWake.Valid()) {
    throw std::system_error(errno, std::generic_category(), "eventfd");
  }
}

static_assert(TDescriptorWait::Readable == POLLIN && TDescriptorWait::Writable == POLLOUT);

TWaitOutcome TDescriptorWait::Wait(int descriptor, short events, std::int64_t timeoutMs)
{
  pollfd polled[2] = {{FWake.Get(), POLLIN, 0}, {descriptor, events, 0}};
  const std::size_t count = descriptor >= 0 ? 2 : 1;
  const int result = PollUntil(std::span(polled, count), DeadlineIn(timeoutMs));
  if (result < 0) {
    return TWaitOutcome::Failed;
  }
  if ((polled[0].revents & POLLIN) != 0) {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t taken = read(FWake.Get(), &count, sizeof(count));
    return TWaitOutcome::Woken;
  }
  if (result == 0) {
    return TWaitOutcome::TimedOut;
  }
  return TWaitOutcome::Ready;
}

void TDescriptorWait::Wake() noexcept
{
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = write(FWake.Get(), &one, sizeof(one));
}
