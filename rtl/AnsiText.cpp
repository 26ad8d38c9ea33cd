#include "rtl/AnsiText.h"

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/uloc.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "rtl/Exception.h"
#include "rtl/Utf8.h"

namespace {

struct TCollatorCloser {
  void operator()(UCollator* collator) const noexcept { ucol_close(collator); }
};
using TCollatorHandle = std::unique_ptr<UCollator, TCollatorCloser>;

// The collation of the user's locale; the root collation for C/POSIX or an unknown locale.
std::string CollationLocale()
{
  const char* locale = uloc_getDefault();
  if (locale == nullptr || std::strncmp(locale, "en_US_POSIX", 11) == 0 || std::strcmp(locale, "c") == 0) {
    return "";
  }
  return locale;
}

TCollatorHandle OpenCollator(const std::string& locale, UCollationStrength strength)
{
  UErrorCode status = U_ZERO_ERROR;
  TCollatorHandle collator(ucol_open(locale.c_str(), &status));
  if (U_FAILURE(status)) {
    status = U_ZERO_ERROR;
    collator.reset(ucol_open("", &status));
  }
  if (U_FAILURE(status) || !collator) {
    throw EOutOfResources(std::string("Cannot open the text collation: ") + u_errorName(status));
  }
  ucol_setStrength(collator.get(), strength);
  return collator;
}

// Collators are not shared between threads; each thread opens its own on first use.
struct TThreadCollation {
  TThreadCollation()
      : Locale(CollationLocale()),
        IgnoreCase(OpenCollator(Locale, UCOL_SECONDARY)),
        WithCase(OpenCollator(Locale, UCOL_TERTIARY))
  {
    // In the root and English collations every printable ASCII character has one primary weight
    // and there are no contractions, so texts made only of them compare by a rank per character.
    // The ranks are read off the collator itself.
    HasAsciiRanks = Locale.empty() || Locale.rfind("en", 0) == 0;
    if (!HasAsciiRanks) {
      return;
    }
    std::array<char, 95> chars{};
    for (int i = 0; i < 95; ++i) {
      chars[static_cast<std::size_t>(i)] = static_cast<char>(0x20 + i);
    }
    const auto compare = [&](char a, char b) {
      UErrorCode status = U_ZERO_ERROR;
      return ucol_strcollUTF8(IgnoreCase.get(), &a, 1, &b, 1, &status);
    };
    std::sort(chars.begin(), chars.end(), [&](char a, char b) { return compare(a, b) == UCOL_LESS; });
    unsigned char rank = 1;
    for (std::size_t i = 0; i < chars.size(); ++i) {
      if (i > 0 && compare(chars[i - 1], chars[i]) != UCOL_EQUAL) {
        ++rank;
      }
      AsciiRank[static_cast<unsigned char>(chars[i])] = rank;
    }
  }

  std::string Locale;
  TCollatorHandle IgnoreCase;
  TCollatorHandle WithCase;
  bool HasAsciiRanks = false;
  std::array<unsigned char, 128> AsciiRank{};  // 0: not printable ASCII
};

TThreadCollation& Collation()
{
  thread_local TThreadCollation collation;
  return collation;
}

int Sign(int value) noexcept
{
  return value < 0 ? -1 : (value > 0 ? 1 : 0);
}

// Code-point order of the case-folded texts: decides between texts the collation finds equal.
int CompareFolded(std::string_view a, std::string_view b) noexcept
{
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const UChar32 x = u_foldCase(static_cast<UChar32>(NextCodePoint(a, i)), U_FOLD_CASE_DEFAULT);
    const UChar32 y = u_foldCase(static_cast<UChar32>(NextCodePoint(b, j)), U_FOLD_CASE_DEFAULT);
    if (x != y) {
      return x < y ? -1 : 1;
    }
  }
  if (i < a.size()) {
    return 1;
  }
  return j < b.size() ? -1 : 0;
}

// The ASCII fast path: 2 when a text holds anything but printable ASCII.
int CompareAsciiRanks(const TThreadCollation& collation, std::string_view a, std::string_view b) noexcept
{
  const std::size_t n = std::min(a.size(), b.size());
  int decided = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if (x >= 128 || y >= 128 || collation.AsciiRank[x] == 0 || collation.AsciiRank[y] == 0) {
      return 2;
    }
    if (decided == 0 && collation.AsciiRank[x] != collation.AsciiRank[y]) {
      decided = collation.AsciiRank[x] < collation.AsciiRank[y] ? -1 : 1;
    }
  }
  for (std::size_t i = n; i < a.size(); ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    if (x >= 128 || collation.AsciiRank[x] == 0) {
      return 2;
    }
  }
  for (std::size_t i = n; i < b.size(); ++i) {
    const auto y = static_cast<unsigned char>(b[i]);
    if (y >= 128 || collation.AsciiRank[y] == 0) {
      return 2;
    }
  }
  if (decided != 0) {
    return decided;
  }
  if (a.size() != b.size()) {
    return a.size() < b.size() ? -1 : 1;
  }
  return 0;
}

std::string MapCase(std::string_view text, UChar32 (*map)(UChar32))
{
  std::string result;
  result.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    AppendCodePoint(result, static_cast<char32_t>(map(static_cast<UChar32>(NextCodePoint(text, pos)))));
  }
  return result;
}

}  // namespace

int AnsiCompareText(std::string_view a, std::string_view b)
{
  TThreadCollation& collation = Collation();
  if (collation.HasAsciiRanks) {
    const int fast = CompareAsciiRanks(collation, a, b);
    if (fast != 2) {
      return fast != 0 ? fast : CompareFolded(a, b);
    }
  }
  UErrorCode status = U_ZERO_ERROR;
  const int result = ucol_strcollUTF8(collation.IgnoreCase.get(), a.data(), static_cast<int32_t>(a.size()),
                                      b.data(), static_cast<int32_t>(b.size()), &status);
  if (result != UCOL_EQUAL && U_SUCCESS(status)) {
    return Sign(result);
  }
  return CompareFolded(a, b);
}

int CompareTextFolded(std::string_view a, std::string_view b) noexcept
{
  // Mostly a scan compares a file's path with the same path as it was stored.
  if (a == b) {
    return 0;
  }
  // ASCII folds to its lower case, byte for byte; the first other byte hands over to the
  // code-point comparison from there on (everything before it was equal).
  const std::size_t n = std::min(a.size(), b.size());
  std::size_t i = 0;
  for (; i < n; ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if (x >= 0x80 || y >= 0x80) {
      return CompareFolded(a.substr(i), b.substr(i));
    }
    if (x != y) {
      const unsigned char lx = (x >= 'A' && x <= 'Z') ? static_cast<unsigned char>(x + 32) : x;
      const unsigned char ly = (y >= 'A' && y <= 'Z') ? static_cast<unsigned char>(y + 32) : y;
      if (lx != ly) {
        return lx < ly ? -1 : 1;
      }
    }
  }
  if (a.size() == b.size()) {
    return 0;
  }
  return a.size() < b.size() ? -1 : 1;
}

std::string FoldCase(std::string_view text)
{
  std::string result;
  AppendFoldCase(result, text);
  return result;
}

void AppendFoldCase(std::string& result, std::string_view text)
{
  const std::size_t start = result.size();
  result.resize(start + text.size());
  // Paths are mostly ASCII: both loops run without a branch per byte, so the compiler can take
  // many bytes at a time (the scan folds every path it finds and knows).
  unsigned char seen = 0;
  for (const char c : text) {
    seen |= static_cast<unsigned char>(c);
  }
  if (seen < 0x80) {
    char* const target = result.data() + start;
    for (std::size_t k = 0; k < text.size(); ++k) {
      const auto byte = static_cast<unsigned char>(text[k]);
      target[k] = static_cast<char>(byte + (static_cast<unsigned char>(byte - 'A') < 26 ? 32 : 0));
    }
    return;
  }
  // ASCII is written in place; the first other byte hands over to the code-point loop.
  std::size_t pos = 0;
  for (; pos < text.size(); ++pos) {
    const auto byte = static_cast<unsigned char>(text[pos]);
    if (byte >= 0x80) {
      break;
    }
    result[start + pos] = static_cast<char>((byte >= 'A' && byte <= 'Z') ? byte + 32 : byte);
  }
  if (pos == text.size()) {
    return;
  }
  result.resize(start + pos);
  while (pos < text.size()) {
    const auto byte = static_cast<unsigned char>(text[pos]);
    if (byte < 0x80) {
      result += static_cast<char>((byte >= 'A' && byte <= 'Z') ? byte + 32 : byte);
      ++pos;
      continue;
    }
    AppendCodePoint(result, static_cast<char32_t>(u_foldCase(static_cast<UChar32>(NextCodePoint(text, pos)),
                                                             U_FOLD_CASE_DEFAULT)));
  }
}

int AnsiCompareStr(std::string_view a, std::string_view b)
{
  UErrorCode status = U_ZERO_ERROR;
  const int result = ucol_strcollUTF8(Collation().WithCase.get(), a.data(), static_cast<int32_t>(a.size()),
                                      b.data(), static_cast<int32_t>(b.size()), &status);
  if (result != UCOL_EQUAL && U_SUCCESS(status)) {
    return Sign(result);
  }
  return Sign(a.compare(b));
}

bool AnsiSameText(std::string_view a, std::string_view b)
{
  return CompareFolded(a, b) == 0;
}

std::string AnsiUpperCase(std::string_view text)
{
  return MapCase(text, &u_toupper);
}

std::string AnsiLowerCase(std::string_view text)
{
  return MapCase(text, &u_tolower);
}

char32_t AnsiUpperChar(char32_t c) noexcept
{
  return static_cast<char32_t>(u_toupper(static_cast<UChar32>(c)));
}

char32_t AnsiLowerChar(char32_t c) noexcept
{
  return static_cast<char32_t>(u_tolower(static_cast<UChar32>(c)));
}
