#pragma once
// The stored table of registered window message names. Internal to the platform layer
// (RegisterWindowMessageA in Messages.h is the interface); exposed for its fuzz target.

#include <string>
#include <string_view>
#include <vector>

#include "platform/core/WinTypes.h"

struct TRegisteredMessage {
  UINT Number;
  std::string Name;
};

// The well-formed entries at the start of the table's text, up to the first damaged line.
std::vector<TRegisteredMessage> ParseRegisteredMessages(std::string_view text);
