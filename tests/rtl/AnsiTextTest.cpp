#include "rtl/AnsiText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace {

int Sign(int v)
{
  return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

}  // namespace

TEST(AnsiText, CompareTextIgnoresCaseButNeverJoinsDifferentNames)
{
  EXPECT_EQ(AnsiCompareText("Rock", "rOCK"), 0);
  EXPECT_EQ(AnsiCompareText("Äpfel", "äPFEL"), 0);
  EXPECT_EQ(AnsiCompareText("C:\\Music\\A.MP3", "c:\\music\\a.mp3"), 0);
  // The collation may treat these alike; file names that differ are still different.
  EXPECT_NE(AnsiCompareText("Straße", "Strasse"), 0);
  EXPECT_NE(AnsiCompareText("e\u0301", "\u00e9"), 0);
  EXPECT_NE(AnsiCompareText("a\x01", "a"), 0);
}

TEST(AnsiText, CompareTextOrdersByLocaleNotByBytes)
{
  // Byte order would put every upper-case letter and every accented letter elsewhere.
  EXPECT_LT(AnsiCompareText("apple", "Banana"), 0);
  EXPECT_LT(AnsiCompareText("Äpfel", "Birne"), 0);
  EXPECT_LT(AnsiCompareText("école", "Zebra"), 0);
  EXPECT_LT(AnsiCompareText("a", "ab"), 0);
  EXPECT_GT(AnsiCompareText("b", "A"), 0);
}

TEST(AnsiText, AsciiFastPathAgreesWithTheFullCollation)
{
  // Texts with one non-ASCII character take the full path; their order must agree with the
  // ASCII-only texts' order, or an index built from a mix would be corrupt.
  const std::vector<std::string> texts = {
      "a b",       "a-b",       "a_b",       "a.b",       "a\\b",       "a1",       "a9",  "aB", "ab",
      "a b\u00e9", "a-b\u00e9", "a_b\u00e9", "a.b\u00e9", "a\\b\u00e9", "a1\u00e9", "A",   "",   " ",
      "~",         "$",         "0",         "Z",         "zz",         "(x)",      "[x]", "x,y"};
  for (const auto& a : texts) {
    for (const auto& b : texts) {
      const int ab = Sign(AnsiCompareText(a, b));
      EXPECT_EQ(ab, -Sign(AnsiCompareText(b, a))) << a << " | " << b;
      const std::string ae = a + "\u00e9";
      const std::string be = b + "\u00e9";
      if (ab != 0 && a.size() == b.size()) {
        EXPECT_EQ(ab, Sign(AnsiCompareText(ae, be))) << a << " | " << b;
      }
    }
  }
  std::vector<std::string> sorted = texts;
  std::sort(sorted.begin(), sorted.end(),
            [](const auto& x, const auto& y) { return AnsiCompareText(x, y) < 0; });
  for (std::size_t i = 1; i < sorted.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      EXPECT_LE(AnsiCompareText(sorted[j], sorted[i]), 0) << sorted[j] << " | " << sorted[i];
    }
  }
}

TEST(AnsiText, CompareStrIsCaseSensitive)
{
  EXPECT_NE(AnsiCompareStr("a", "A"), 0);
  EXPECT_EQ(AnsiCompareStr("abc", "abc"), 0);
  EXPECT_LT(AnsiCompareStr("abc", "abd"), 0);
}

TEST(AnsiText, CaseMappingCoversNonAsciiLetters)
{
  EXPECT_EQ(AnsiUpperCase("straße äöü é"), "STRAßE ÄÖÜ É");
  EXPECT_EQ(AnsiLowerCase("ÄÖÜ ÉCOLE"), "äöü école");
  EXPECT_TRUE(AnsiSameText("ÉCOLE", "école"));
}

TEST(AnsiText, WorksOnSeveralThreadsAtOnce)
{
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&failures, t] {
      for (int i = 0; i < 2000; ++i) {
        if (AnsiCompareText("Äpfel" + std::to_string(i), "äpfel" + std::to_string(i)) != 0) {
          ++failures[static_cast<std::size_t>(t)];
        }
      }
    });
  }
  for (auto& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

TEST(AnsiText, FoldedComparisonFindsTheSameTextsEqualAsTheCollation)
{
  const char* texts[] = {
      "C:\\Music\\a.mp3",
      "c:\\MUSIC\\A.MP3",
      "C:\\Music\\b.mp3",
      "C:\\Musical\\a.mp3",
      "C:\\Music",
      "Äpfel",
      "äpfel",
      "Apfel",
      "\u212Aelvin",
      "kelvin",
      "Kelvin",
      "ΣΊΣΥΦΟΣ",
      "σίσυφος",
      "σίσυφοσ",
      "straße",
      "STRASSE",
      "Straße",
      "ı",
      "I",
      "i",
      "",
      "a",
      "A",
      "\\",
      "[",
  };
  for (const char* a : texts) {
    for (const char* b : texts) {
      const int folded = CompareTextFolded(a, b);
      EXPECT_EQ(folded == 0, AnsiCompareText(a, b) == 0) << a << " / " << b;
      EXPECT_EQ(folded, -CompareTextFolded(b, a)) << a << " / " << b;
      const int bytes = FoldCase(a).compare(FoldCase(b));
      EXPECT_EQ(folded, bytes < 0 ? -1 : (bytes > 0 ? 1 : 0)) << a << " / " << b;
    }
  }
}

TEST(AnsiText, FoldedComparisonIsCodePointOrderAfterFolding)
{
  const struct {
    const char* A;
    const char* B;
    int Order;
  } cases[] = {
      {"a", "B", -1},          // letters fold to lower case first
      {"Z", "a", 1},           //
      {"a\\b", "ab", -1},      // the backslash sorts before letters
      {"ab", "abc", -1},       // a prefix first
      {"abc", "ab", 1},        //
      {"ABC", "abc", 0},       //
      {"abÄ", "ABä", 0},       // ASCII then other letters
      {"abz", "abä", -1},      // z before ä by code point
      {"Ab\u212A", "aBk", 0},  // the Kelvin sign folds to k
      {"", "", 0},             //
      {"", "a", -1},           //
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CompareTextFolded(c.A, c.B), c.Order) << c.A << " / " << c.B;
  }
  EXPECT_EQ(FoldCase("C:\\Music\\ÄÖÜ \u212A.MP3"), "c:\\music\\äöü k.mp3");
}

TEST(AnsiText, AppendFoldCaseLowersExactlyTheAsciiCapitalsAndKeepsWhatWasThere)
{
  // Every ASCII byte, alone and all together, and with a letter beyond ASCII first, last or
  // nowhere: the whole-text ASCII path and the code-point path must agree byte for byte.
  std::string all;
  for (int c = 1; c < 0x80; ++c) {
    all += static_cast<char>(c);
  }
  const auto plain = [](std::string_view text) {
    std::string lowered;
    for (const char c : text) {
      lowered += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    }
    return lowered;
  };
  for (int c = 1; c < 0x80; ++c) {
    const std::string one(1, static_cast<char>(c));
    std::string target = "X";
    AppendFoldCase(target, one);
    EXPECT_EQ(target, "X" + plain(one)) << c;
  }
  const struct {
    std::string Text;
    std::string Folded;
  } cases[] = {
      {"", ""},
      {all, plain(all)},
      {"\u00c4" + all, "\u00e4" + plain(all)},
      {all + "\u00c4", plain(all) + "\u00e4"},
      {"C:\\MUSIC\\\u212A\\@AZ[`az{.MP3", "c:\\music\\k\\@az[`az{.mp3"},
  };
  for (const auto& c : cases) {
    std::string target = "Kept ";
    AppendFoldCase(target, c.Text);
    EXPECT_EQ(target, "Kept " + c.Folded);
    EXPECT_EQ(FoldCase(c.Text), c.Folded);
  }
}
