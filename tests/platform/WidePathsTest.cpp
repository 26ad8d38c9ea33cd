// Paths through the UTF-16 calls: every byte string comes back as it went in.

#include <gtest/gtest.h>

#include <string>

#include "platform/files/WidePaths.h"

namespace {

struct TWideCase {
  const char* Name;
  std::string Path;
  std::u16string Wide;
};

TEST(WidePaths, TextAndForeignBytesTravelThereAndBack)
{
  const TWideCase cases[] = {
      {"empty", "", u""},
      {"ASCII", "C:\\Music\\a.mp3", u"C:\\Music\\a.mp3"},
      {"two-byte UTF-8", "caf\xC3\xA9", u"caf\u00E9"},
      {"three-byte UTF-8", "\xE2\x80\x94", u"\u2014"},
      {"four-byte UTF-8: a pair", "\xF0\x9F\x8E\xB5", u"\U0001F3B5"},
      {"last code point", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
      {"a Latin-1 byte", "caf\xE9.mp3", u"caf\xDCE9.mp3"},
      {"0x80, the first byte escaped", "\x80", u"\xDC80"},
      {"0xFF, the last byte escaped", "\xFF", u"\xDCFF"},
      {"0x7F stays a character", "\x7F", u"\x7F"},
      {"a cut sequence at the end", "a\xC3", u"a\xDCC3"},
      {"a lead byte before ASCII",
       "\xC3"
       "a",
       u"\xDCC3"
       u"a"},
      {"overlong slash", "\xC0\xAF", u"\xDCC0\xDCAF"},
      {"overlong three-byte form", "\xE0\x80\xAF", u"\xDCE0\xDC80\xDCAF"},
      {"a surrogate written as UTF-8", "\xED\xB2\x80", u"\xDCED\xDCB2\xDC80"},
      {"last before the surrogates", "\xED\x9F\xBF", u"\uD7FF"},
      {"first after the surrogates", "\xEE\x80\x80", u"\uE000"},
      {"past U+10FFFF", "\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"},
      {"lowest two-byte lead C2", "\xC2\x80", u"\u0080"},
  };
  for (const TWideCase& c : cases) {
    EXPECT_EQ(WidePathOf(c.Path), c.Wide) << c.Name;
    EXPECT_EQ(PathOfWide(c.Wide), c.Path) << c.Name;
    EXPECT_EQ(PathOfWide(c.Wide.c_str()), c.Path) << c.Name;
  }
}

TEST(WidePaths, LoneSurrogatesOutsideTheEscapesBecomeTheReplacementCharacter)
{
  struct TCase {
    const char* Name;
    std::u16string Wide;
    std::string Path;
  };
  const TCase cases[] = {
      {"lone high surrogate",
       u"a\xD800"
       u"b",
       "a\xEF\xBF\xBD"
       "b"},
      {"high surrogate at the end", u"a\xDBFF", "a\xEF\xBF\xBD"},
      {"low surrogate below the escapes", u"\xDC7F", "\xEF\xBF\xBD"},
      {"low surrogate above the escapes", u"\xDD00", "\xEF\xBF\xBD"},
      {"escape after a high surrogate pairs with it", u"\xD800\xDC80", "\xF0\x90\x82\x80"},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(PathOfWide(c.Wide), c.Path) << c.Name;
  }
  EXPECT_EQ(PathOfWide(static_cast<const char16_t*>(nullptr)), "");
}

TEST(WidePaths, EveryByteComesBack)
{
  std::string all;
  for (int byte = 1; byte < 256; ++byte) {
    all += static_cast<char>(byte);
  }
  EXPECT_EQ(PathOfWide(WidePathOf(all)), all);
}

}  // namespace
