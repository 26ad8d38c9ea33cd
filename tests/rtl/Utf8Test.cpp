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

TEST(Utf8, CutsCountUtf16UnitsAndNeverSplitACharacter)
{
  const std::string pair = "\U0001F600";  // two UTF-16 units, four bytes
  const std::string e = "\u00e9";         // one unit, two bytes
  struct TCase {
    std::string Text;
    std::size_t Units;
    std::string Kept;
  };
  const TCase cases[] = {
      {"abc", 3, "abc"},
      {"abc", 2, "ab"},
      {"abc", 0, ""},
      {"ab" + pair, 4, "ab" + pair},
      {"ab" + pair, 3, "ab"},
      {"ab" + pair + "c", 4, "ab" + pair},
      {e + e, 1, e},
      {e + e, 2, e + e},
      // Malformed bytes are kept as they are, one unit each.
      {"a\xFF"
       "b",
       2, "a\xFF"},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(CutToUtf16Units(c.Text, c.Units), c.Kept) << c.Text << " " << c.Units;
  }
}
