#include "platform/files/WidePaths.h"

#include <cstdint>

#include "platform/files/detail/Utf8Sequences.h"

namespace {

constexpr char32_t EscapeBase = 0xDC00;
constexpr char16_t FirstEscape = 0xDC80;
constexpr char16_t LastEscape = 0xDCFF;

}  // namespace

std::u16string WidePathOf(std::string_view path)
{
  std::u16string wide;
  wide.reserve(path.size());
  std::size_t pos = 0;
  while (pos < path.size()) {
    char32_t code = 0;
    const std::size_t length = WellFormedUtf8At(path, pos, code);
    if (length == 0) {
      wide += static_cast<char16_t>(EscapeBase + static_cast<std::uint8_t>(path[pos]));
      ++pos;
      continue;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      wide += static_cast<char16_t>(0xD800 + (code >> 10U));
      wide += static_cast<char16_t>(0xDC00 + (code & 0x3FFU));
    } else {
      wide += static_cast<char16_t>(code);
    }
    pos += length;
  }
  return wide;
}

std::string PathOfWide(std::u16string_view path)
{
  std::string out;
  out.reserve(path.size());
  for (std::size_t i = 0; i < path.size(); ++i) {
    const char16_t unit = path[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < path.size() && path[i + 1] >= 0xDC00 &&
        path[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((char32_t(unit) - 0xD800) << 10U) + (char32_t(path[i + 1]) - 0xDC00));
      ++i;
    } else if (unit >= FirstEscape && unit <= LastEscape) {
      out += static_cast<char>(unit - EscapeBase);
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      AppendUtf8(out, 0xFFFD);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

std::string PathOfWide(const char16_t* path)
{
  return path == nullptr ? std::string() : PathOfWide(std::u16string_view(path));
}
