#pragma once
// Reading and writing single UTF-8 sequences, for the layer's byte-exact name mappings (the wide
// paths and the name stand-ins), which must treat malformed bytes exactly alike. Internal to the
// platform layer.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The length of the well-formed UTF-8 sequence at text[pos] and its code point; 0 when the bytes
// there are not one (overlong forms, surrogates, values past U+10FFFF, cut sequences).
inline std::size_t WellFormedUtf8At(std::string_view text, std::size_t pos, char32_t& code) noexcept
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

inline void AppendUtf8(std::string& out, char32_t code)
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
