#include "rtl/Utf8.h"

#include <gtest/gtest.h>

TEST(Utf8, MalformedSequencesBecomeReplacementCharacters)
{
  const std::string bad = "a\xC3";          // truncated
  const std::string overlong = "\xC0\xAF";  // overlong "/"
  const std::string surrogate = "\xED\xA0\x80";
  EXPECT_EQ(CodePointCount(bad), 2U);
  std::size_t pos = 1;
  EXPECT_EQ(NextCodePoint(bad, pos), ReplacementCharacter);
  EXPECT_EQ(pos, 2U);
  pos = 0;
  EXPECT_EQ(NextCodePoint(overlong, pos), ReplacementCharacter);
  pos = 0;
  EXPECT_EQ(NextCodePoint(surrogate, pos), ReplacementCharacter);
}

TEST(Utf8, RoundTripsThroughUtf16IncludingSupplementaryCharacters)
{
  const std::string text = "a\u00e9\u20ac\U0001F3B5";
  const std::u16string wide = Utf8ToUtf16(text);
  EXPECT_EQ(wide.size(), 5U);
  EXPECT_EQ(Utf16ToUtf8(wide), text);
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t{0xD800})), "\uFFFD");
}

TEST(Utf8, Latin1ConversionMarksWhatDoesNotFit)
{
  EXPECT_EQ(Latin1ToUtf8("caf\xE9"), "caf\u00e9");
  EXPECT_EQ(Utf8ToLatin1("caf\u00e9 \u20ac"), "caf\xE9 ?");
  EXPECT_TRUE(FitsLatin1("\u00ff"));
  EXPECT_FALSE(FitsLatin1("\u0100"));
}
