#pragma once
// The one place the layer sleeps on descriptors: every wait (the message queue, the transport's
// reader, the X connection's reader, a process's end, a thread outside the message loop) hands
// its descriptors here.

#include <poll.h>

#include <cstdint>
#include <span>

// No deadline: wait until a descriptor is ready.
inline constexpr std::uint64_t NoDeadline = UINT64_MAX;

// CLOCK_MONOTONIC in milliseconds, the clock of the deadlines below (and of SteadyMilliseconds).
std::uint64_t PollClockMilliseconds() noexcept;
// The deadline timeoutMs from now; a negative time-out is none (NoDeadline).
std::uint64_t DeadlineIn(std::int64_t timeoutMs) noexcept;

// poll(2) over set until a descriptor is ready or deadline passes. A deadline already passed
// still looks once without sleeping. A signal's interruption waits again for the time left.
// Returns what poll returns: the count of ready descriptors, 0 at the deadline, -1 when poll
// fails for another reason (errno tells).
int PollUntil(std::span<pollfd> set, std::uint64_t deadline) noexcept;
