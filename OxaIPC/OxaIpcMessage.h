#pragma once
// A message as a handler sees it: a private copy of a queued notification or of a call record,
// header and payload, never a look into shared memory.

#include <cstdint>
#include <vector>

#include "OxaIPC/OxaIpcRecords.h"
#include "rtl/Method.h"
#include "rtl/Object.h"

struct TOxaIpcMessage {
  TOxaIpcMessageRecord Header{};
  std::vector<std::uint8_t> Payload;
  // Decided once when the copy is made: a call still waits for its answer, and a handler that
  // answered (which clears Pending) must not turn it into a notification.
  bool Call = false;
};
using POxaIpcMessage = TOxaIpcMessage*;

using TOxaIpcDispatchEvent = TMethod<void(TObject*, POxaIpcMessage)>;

// The most a client's queue holds; past either a new message is refused (debug copies, the least
// worth keeping, make room first).
constexpr std::uint32_t OxaIpcQueueLimit = 1024;
constexpr std::uint32_t OxaIpcQueueBytesLimit = 1u << 20;

// A 32-bit pending word of a call that waits for its result.
constexpr std::uint32_t OxaIpcPendingCall = 0xFFFFFFFFu;
