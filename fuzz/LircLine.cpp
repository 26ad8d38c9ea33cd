// Feeds any bytes to the infrared daemon's line parser: a key it takes has names within their
// limits, and its line written back parses to the same key.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "Music/control/MusicLircLine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const auto key = ParseLircLine(line);
  if (!key) {
    return 0;
  }
  if (key->Key.empty() || key->Key.size() > MaxLircName || key->Remote.empty() ||
      key->Remote.size() > MaxLircName) {
    std::abort();
  }
  char numbers[40];
  std::snprintf(numbers, sizeof(numbers), "%llx %x ", static_cast<unsigned long long>(key->Code),
                static_cast<unsigned>(key->Repeat));
  const auto again = ParseLircLine(std::string(numbers) + key->Key + " " + key->Remote);
  if (!again || again->Code != key->Code || again->Repeat != key->Repeat || again->Key != key->Key ||
      again->Remote != key->Remote) {
    std::abort();
  }
  return 0;
}
