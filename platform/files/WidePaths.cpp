#include "platform/WidePaths.h"

#include <cstdint>

namespace {

constexpr char32_t EscapeBase = 0xDC00;
constexpr char16_t FirstEscape = 0xDC80;
constexpr char16_t LastEscape = 0xDCFF;

// The length of the well-formed UTF-8 sequence at text[pos] and its code point; 0 when the bytes
// there are not one (overlong forms, surrogates, values past U+10FFFF, cut sequences).
std::size_t WellFormed(std::string_view text, std::size_t pos, char32_t& code) noexcept
{
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[pos + i]); };
  const std::uint8_t lead = byte(0);
  std::size_t length = 0;
  char32_t low = 0;
  if (lead < 0x80) {
    code = lead;
    return 1;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1FU;
    low = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0FU;
    low = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07U;
    low = 0x10000;
  } else {
    return 0;
  }
  if (pos + length > text.size()) {
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0U) != 0x80) {
      return 0;
    }
    code = (code << 6U) | (byte(i) & 0x3FU);
  }
  if (code < low || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    return 0;
  }
  return length;
}

void AppendUtf8(std::string& out, char32_t code)
{
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6U));
    out += static_cast<char>(0x80 | (code & 0x3FU));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12U));
    out += static_cast<char>(0x80 | ((code >> 6U) & 0x3FU));
    out += static_cast<char>(0x80 | (code & 0x3FU));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18U));
    out += static_cast<char>(0x80 | ((code >> 12U) & 0x3FU));
    out += static_cast<char>(0x80 | ((code >> 6U) & 0x3FU));
    out += static_cast<char>(0x80 | (code & 0x3FU));
  }
}

}  // namespace

std::u16string WidePathOf(std::string_view path)
{
  std::u16string wide;
  wide.reserve(path.size());
  std::size_t pos = 0;
  while (pos < path.size()) {
    char32_t code = 0;
    const std::size_t length = WellFormed(path, pos, code);
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
