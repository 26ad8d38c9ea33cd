#include "Music/control/MusicLircLine.h"

#include <algorithm>

namespace {

// The next field, separated by one or more spaces or tabs; empty at the end.
std::string_view NextField(std::string_view& rest) noexcept
{
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!rest.empty() && blank(rest.front())) {
    rest.remove_prefix(1);
  }
  std::size_t length = 0;
  while (length < rest.size() && !blank(rest[length])) {
    ++length;
  }
  const std::string_view field = rest.substr(0, length);
  rest.remove_prefix(length);
  return field;
}

std::optional<std::uint64_t> Hexadecimal(std::string_view digits, std::size_t maxDigits) noexcept
{
  if (digits.empty() || digits.size() > maxDigits) {
    return std::nullopt;
  }
  std::uint64_t value = 0;
  for (const char c : digits) {
    int digit = 0;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    value = (value << 4) | static_cast<std::uint64_t>(digit);
  }
  return value;
}

bool ValidName(std::string_view name) noexcept
{
  return !name.empty() && name.size() <= MaxLircName &&
         std::ranges::all_of(name, [](char c) { return static_cast<unsigned char>(c) > 0x20 && c != 0x7F; });
}

}  // namespace

std::optional<TLircKey> ParseLircLine(std::string_view line)
{
  std::string_view rest = line;
  const auto code = Hexadecimal(NextField(rest), MaxLircCodeDigits);
  const auto repeat = Hexadecimal(NextField(rest), MaxLircRepeatDigits);
  const std::string_view key = NextField(rest);
  const std::string_view remote = NextField(rest);
  if (!code || !repeat || !ValidName(key) || !ValidName(remote) || !NextField(rest).empty()) {
    return std::nullopt;
  }
  return TLircKey{*code, static_cast<std::uint32_t>(*repeat), std::string(key), std::string(remote)};
}
