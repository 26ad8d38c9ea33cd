// The machine's table of registered window message names, a file any process of the machine
// may have written. Every entry read must be within the range and written back the same way.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/windows/RegisteredMessages.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto entries = ParseRegisteredMessages(text);
  std::string written;
  for (const auto& entry : entries) {
    if (entry.Number < 0xC000 || entry.Number > 0xFFFF || entry.Name.empty()) {
      std::abort();
    }
    char number[16];
    std::snprintf(number, sizeof(number), "%X ", entry.Number);
    written += number + std::to_string(entry.Name.size()) + " " + entry.Name + "\n";
  }
  if (ParseRegisteredMessages(written).size() != entries.size()) {
    std::abort();
  }
  return 0;
}
