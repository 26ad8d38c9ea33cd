#pragma once
// A key press as an infrared daemon broadcasts it to its socket's clients, one line each:
// "<code> <repeat> <key name> <remote name>", code and repeat count in hexadecimal.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct TLircKey {
  std::uint64_t Code = 0;
  // 0 for the press itself, then one more for every repeat while the button is held.
  std::uint32_t Repeat = 0;
  std::string Key;
  std::string Remote;
};

inline constexpr std::size_t MaxLircCodeDigits = 16;
inline constexpr std::size_t MaxLircRepeatDigits = 8;
inline constexpr std::size_t MaxLircName = 64;

// The key of a broadcast line (without its line end); nothing for any other line: the daemon's
// replies ("BEGIN" ... "END"), a field missing or extra, a code or repeat count that is not
// hexadecimal or longer than its digit limit, a name longer than MaxLircName or holding a
// control character.
std::optional<TLircKey> ParseLircLine(std::string_view line);
