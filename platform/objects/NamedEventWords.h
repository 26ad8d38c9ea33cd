#pragma once
// The futex word of a named event, for waits that watch it with a TFutexWatch: another process
// sets the event by changing the word and waking its futex, without announcing it here.

#include <atomic>
#include <cstdint>

#include "platform/core/Handles.h"

// The word and the value it holds while the event is not signalled; null for every other
// object, unnamed events included (only this process sets those, and it announces them).
const std::atomic<std::uint32_t>* NamedEventWord(const TKernelObject& object, std::uint32_t& unchanged);
