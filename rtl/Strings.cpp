#include "rtl/Strings.h"

#include <charconv>
#include <limits>

#include "rtl/Exception.h"

namespace {

bool IsBlank(char c) noexcept
{
  return static_cast<unsigned char>(c) <= ' ';
}

char AsciiUpper(char c) noexcept
{
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

char AsciiLower(char c) noexcept
{
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::string Trim(std::string_view text)
{
  return TrimRight(TrimLeft(text));
}

std::string TrimLeft(std::string_view text)
{
  std::size_t start = 0;
  while (start < text.size() && IsBlank(text[start])) {
    ++start;
  }
  return std::string(text.substr(start));
}

std::string TrimRight(std::string_view text)
{
  std::size_t end = text.size();
  while (end > 0 && IsBlank(text[end - 1])) {
    --end;
  }
  return std::string(text.substr(0, end));
}

std::string IntToStr(std::int64_t value)
{
  return std::to_string(value);
}

std::string IntToHex(std::uint64_t value, int digits)
{
  static constexpr char hex[] = "0123456789ABCDEF";
  std::string result;
  do {
    result.insert(result.begin(), hex[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  if (static_cast<int>(result.size()) < digits) {
    result.insert(0, static_cast<std::size_t>(digits) - result.size(), '0');
  }
  return result;
}

bool TryStrToInt(std::string_view text, std::int32_t& value) noexcept
{
  bool negative = false;
  std::size_t pos = 0;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
    negative = text[pos] == '-';
    ++pos;
  }
  int base = 10;
  if (pos < text.size() && text[pos] == '$') {
    base = 16;
    ++pos;
  } else if (pos + 1 < text.size() && text[pos] == '0' && (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
    base = 16;
    pos += 2;
  }
  if (pos >= text.size()) {
    return false;
  }
  std::uint64_t magnitude = 0;
  const auto [end, error] = std::from_chars(text.data() + pos, text.data() + text.size(), magnitude, base);
  if (error != std::errc() || end != text.data() + text.size()) {
    return false;
  }
  const std::int64_t limit = negative ? -static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::min())
                                      : std::numeric_limits<std::int32_t>::max();
  // Hexadecimal texts may spell a negative 32-bit value as its two's complement ("$FFFFFFFF").
  if (base == 16 && !negative && magnitude <= 0xFFFFFFFFULL) {
    value = static_cast<std::int32_t>(static_cast<std::uint32_t>(magnitude));
    return true;
  }
  if (magnitude > static_cast<std::uint64_t>(limit)) {
    return false;
  }
  value = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude))
                   : static_cast<std::int32_t>(magnitude);
  return true;
}

std::int32_t StrToIntDef(std::string_view text, std::int32_t defaultValue) noexcept
{
  std::int32_t value = 0;
  return TryStrToInt(text, value) ? value : defaultValue;
}

std::int32_t StrToInt(std::string_view text)
{
  std::int32_t value = 0;
  if (!TryStrToInt(text, value)) {
    throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
  }
  return value;
}

std::string UpperCase(std::string_view text)
{
  std::string result(text);
  for (char& c : result) {
    c = AsciiUpper(c);
  }
  return result;
}

std::string LowerCase(std::string_view text)
{
  std::string result(text);
  for (char& c : result) {
    c = AsciiLower(c);
  }
  return result;
}

int CompareStr(std::string_view a, std::string_view b) noexcept
{
  const int c = a.compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int CompareText(std::string_view a, std::string_view b) noexcept
{
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(AsciiUpper(a[i]));
    const auto y = static_cast<unsigned char>(AsciiUpper(b[i]));
    if (x != y) {
      return x < y ? -1 : 1;
    }
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool SameText(std::string_view a, std::string_view b) noexcept
{
  return CompareText(a, b) == 0;
}

std::string StringOfChar(char c, std::size_t count)
{
  return std::string(count, c);
}

std::string StringReplaceAll(std::string_view text, std::string_view from, std::string_view to)
{
  if (from.empty()) {
    return std::string(text);
  }
  std::string result;
  std::size_t start = 0;
  for (std::size_t found = text.find(from); found != std::string_view::npos; found = text.find(from, start)) {
    result.append(text.substr(start, found - start)).append(to);
    start = found + from.size();
  }
  result.append(text.substr(start));
  return result;
}
