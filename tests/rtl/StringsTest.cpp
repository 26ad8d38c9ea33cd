#include "rtl/Strings.h"

#include <gtest/gtest.h>

#include "rtl/Exception.h"

TEST(Strings, TrimRemovesControlCharactersAndSpaces)
{
  EXPECT_EQ(Trim(" \t a b \r\n"), "a b");
  EXPECT_EQ(TrimLeft("  a "), "a ");
  EXPECT_EQ(TrimRight("  a "), "  a");
  EXPECT_EQ(Trim("   "), "");
}

TEST(Strings, StrToIntDefAcceptsOnlyWholeNumbersIn32Bits)
{
  struct TCase {
    const char* Text;
    std::int32_t Expected;
  };
  const TCase cases[] = {
      {"42", 42},
      {"-42", -42},
      {"+7", 7},
      {"$1F", 31},
      {"0x10", 16},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"2147483648", -1},
      {"", -1},
      {" 5", -1},
      {"5 ", -1},
      {"12a", -1},
      {"-", -1},
      {"$FFFFFFFF", -1},
      {"99999999999", -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StrToIntDef(c.Text, -1), c.Expected) << c.Text;
  }
  EXPECT_THROW(StrToInt("x"), EConvertError);
}

TEST(Strings, AsciiCaseFunctionsLeaveOtherCharactersAlone)
{
  EXPECT_EQ(UpperCase("abcÄé"), "ABCÄé");
  EXPECT_EQ(LowerCase("ABC"), "abc");
  EXPECT_EQ(CompareText("abc", "ABD"), -1);
  EXPECT_EQ(CompareText("ABC", "abc"), 0);
  EXPECT_EQ(CompareText("ab", "abc"), -1);
  EXPECT_TRUE(SameText("MP3", "mp3"));
}

TEST(Strings, HexAndReplace)
{
  EXPECT_EQ(IntToHex(0xAB, 4), "00AB");
  EXPECT_EQ(IntToHex(0, 1), "0");
  EXPECT_EQ(StringReplaceAll("a\\b\\c", "\\", "/"), "a/b/c");
  EXPECT_EQ(StringReplaceAll("abc", "", "x"), "abc");
}
