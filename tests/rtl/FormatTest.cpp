#include "rtl/Format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "rtl/Exception.h"

TEST(Format, FollowsTheRuntimeRules)
{
  EXPECT_EQ(Format("%d:%.2d", 2, 5), "2:05");
  EXPECT_EQ(Format("%d:%.2d:%.2d", 1, 2, 5), "1:02:05");
  EXPECT_EQ(Format("(%.3d Tracks)", 7), "(007 Tracks)");
  EXPECT_EQ(Format("%.4d %s", 1975, "Tracks"), "1975 Tracks");
  EXPECT_EQ(Format("%3d%% done", 7), "  7% done");
  EXPECT_EQ(Format("%3d%% done", 100), "100% done");
  EXPECT_EQ(Format("%.3d", -7), "-007");
  EXPECT_EQ(Format("%.4d%s", 3, "a.mp3"), "0003a.mp3");
  EXPECT_EQ(Format("%-5s|", "ab"), "ab   |");
  EXPECT_EQ(Format("%5s|", "ab"), "   ab|");
  EXPECT_EQ(Format("%.2s", "abcdef"), "ab");
  // Widths and cuts count characters, so a UTF-8 text is never cut inside a character.
  EXPECT_EQ(Format("%.2s", "\u00e9t\u00e9"), "\u00e9t");
  EXPECT_EQ(Format("%3s|", "\u00e9"), "  \u00e9|");
  EXPECT_EQ(Format("%u", 4000000000U), "4000000000");
}

TEST(Format, HexIsUpperCaseAndNegativeValuesWrapInTheirOwnWidth)
{
  EXPECT_EQ(Format("%x", 255), "FF");
  EXPECT_EQ(Format("%.8x", 0x1234), "00001234");
  EXPECT_EQ(Format("%.8x%.8x", 1, 2), "0000000100000002");
  EXPECT_EQ(Format("%x", -1), "FFFFFFFF");
  EXPECT_EQ(Format("%x", std::int16_t{-1}), "FFFF");
  EXPECT_EQ(Format("%x", std::int64_t{-1}), "FFFFFFFFFFFFFFFF");
}

TEST(Format, ExplicitIndexPicksTheArgument)
{
  EXPECT_EQ(Format("%1:s %0:s %s", "a", "b"), "b a b");
}

TEST(Format, RunTimeFormatRejectsMismatchedArguments)
{
  const std::vector<TFormatArg> number{TFormatArg(5)};
  const std::vector<TFormatArg> text{TFormatArg("x")};
  EXPECT_THROW(FormatArgs("%s", number), EConvertError);
  EXPECT_THROW(FormatArgs("%d", text), EConvertError);
  EXPECT_THROW(FormatArgs("%d %d", number), EConvertError);
  EXPECT_THROW(FormatArgs("100%", number), EConvertError);
  EXPECT_THROW(FormatArgs("%q", number), EConvertError);
  EXPECT_EQ(FormatArgs("%d%%", number), "5%");
}

TEST(Format, FloatsAndPointers)
{
  EXPECT_EQ(Format("%.2f", 3.14159), "3.14");
  EXPECT_EQ(Format("%n", 1234567.5), "1,234,567.50");
  EXPECT_EQ(Format("%p", static_cast<const void*>(nullptr)).size(), sizeof(void*) * 2);
}
