#include "rtl/Utf8.h"

char32_t NextCodePoint(std::string_view text, std::size_t& pos) noexcept
{
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  std::size_t length = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2;
    value = lead & 0x1F;
    minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    value = lead & 0x0F;
    minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    value = lead & 0x07;
    minimum = 0x10000;
  } else {
    ++pos;
    return ReplacementCharacter;
  }
  if (pos + length > text.size()) {
    ++pos;
    return ReplacementCharacter;
  }
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char next = byte(pos + i);
    if ((next & 0xC0) != 0x80) {
      ++pos;
      return ReplacementCharacter;
    }
    value = (value << 6) | (next & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    ++pos;
    return ReplacementCharacter;
  }
  pos += length;
  return value;
}

void AppendCodePoint(std::string& text, char32_t codePoint)
{
  if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
    codePoint = ReplacementCharacter;
  }
  if (codePoint < 0x80) {
    text.push_back(static_cast<char>(codePoint));
  } else if (codePoint < 0x800) {
    text.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
    text.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else if (codePoint < 0x10000) {
    text.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
    text.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    text.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else {
    text.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
    text.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
    text.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    text.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  }
}

std::size_t CodePointCount(std::string_view text) noexcept
{
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < text.size(); ++count) {
    NextCodePoint(text, pos);
  }
  return count;
}

std::u16string Utf8ToUtf16(std::string_view text)
{
  std::u16string result;
  result.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const char32_t c = NextCodePoint(text, pos);
    if (c >= 0x10000) {
      const char32_t v = c - 0x10000;
      result.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
      result.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
    } else {
      result.push_back(static_cast<char16_t>(c));
    }
  }
  return result;
}

std::string Utf16ToUtf8(std::u16string_view text)
{
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      const char32_t c = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      AppendCodePoint(result, c);
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      AppendCodePoint(result, ReplacementCharacter);
    } else {
      AppendCodePoint(result, unit);
    }
  }
  return result;
}

std::string Latin1ToUtf8(std::string_view latin1)
{
  std::string result;
  result.reserve(latin1.size());
  for (const char c : latin1) {
    AppendCodePoint(result, static_cast<unsigned char>(c));
  }
  return result;
}

std::string Utf8ToLatin1(std::string_view text)
{
  std::string result;
  result.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const char32_t c = NextCodePoint(text, pos);
    result.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
  }
  return result;
}

bool FitsLatin1(std::string_view text) noexcept
{
  for (std::size_t pos = 0; pos < text.size();) {
    if (NextCodePoint(text, pos) > 0xFF) {
      return false;
    }
  }
  return true;
}

std::string_view CutToUtf16Units(std::string_view text, std::size_t units) noexcept
{
  std::size_t pos = 0;
  std::size_t used = 0;
  while (pos < text.size()) {
    std::size_t next = pos;
    const char32_t codePoint = NextCodePoint(text, next);
    const std::size_t width = codePoint >= 0x10000 ? 2 : 1;
    if (used + width > units) {
      break;
    }
    used += width;
    pos = next;
  }
  return text.substr(0, pos);
}
