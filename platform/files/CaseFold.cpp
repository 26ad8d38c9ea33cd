#include "platform/files/detail/CaseFold.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

std::string UpperCaseName(std::string_view name)
{
  std::string result;
  result.reserve(name.size());
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(name.data());
  const auto length = static_cast<std::int32_t>(name.size());
  std::int32_t offset = 0;
  while (offset < length) {
    if (bytes[offset] < 0x80) {
      const char c = name[static_cast<std::size_t>(offset)];
      result += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
      ++offset;
      continue;
    }
    const std::int32_t start = offset;
    UChar32 codePoint = 0;
    U8_NEXT(bytes, offset, length, codePoint);
    if (codePoint < 0) {
      result.append(name.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(offset - start)));
      continue;
    }
    const UChar32 upper = u_toupper(codePoint);
    std::uint8_t encoded[U8_MAX_LENGTH];
    std::int32_t encodedLength = 0;
    U8_APPEND_UNSAFE(encoded, encodedLength, upper);
    result.append(reinterpret_cast<const char*>(encoded), static_cast<std::size_t>(encodedLength));
  }
  return result;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b)
{
  if (a.size() == b.size() && a == b) {
    return true;
  }
  return UpperCaseName(a) == UpperCaseName(b);
}

int CompareNamesIgnoringCase(std::string_view a, std::string_view b)
{
  return UpperCaseName(a).compare(UpperCaseName(b));
}
