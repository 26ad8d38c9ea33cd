#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Music/control/MusicTypeAhead.h"

namespace {

struct TTyped {
  TEntryStep Step;
  std::int32_t Number;
  std::uint64_t Due;  // 0: no time-out pending afterwards
};

// Types text into a fresh entry one character per 10 ms from t = 1000 and returns the result of
// each character.
std::vector<TTyped> TypeAll(TMusicTypeAhead& entry, const std::string& text, int itemCount)
{
  std::vector<TTyped> results;
  std::uint64_t now = 1000;
  for (const char c : text) {
    const TEntryResult result = entry.Type(c, itemCount, now);
    results.push_back({result.Step, result.Number, entry.Due().value_or(0)});
    now += 10;
  }
  return results;
}

TEST(TMusicTypeAhead, NumbersInAGroupOf15)
{
  using S = TEntryStep;
  struct TCase {
    const char* Text;
    int Count;
    TTyped Last;
    const char* TextAfter;
  };
  const TCase cases[] = {
      {"1", 15, {S::Wait, 1, 1500}, "1"},     // 10..15 may still follow
      {"12", 15, {S::PlayNow, 12, 0}, "12"},  // 120 > 15: no digit can follow
      {"15", 15, {S::PlayNow, 15, 0}, "15"}, {"16", 15, {S::Drop, 16, 0}, ""},    // more than the group holds
      {"2", 15, {S::PlayNow, 2, 0}, "2"},                                         // 20 > 15
      {"0", 15, {S::Wait, 0, 1500}, "0"},    {"1", 10, {S::Wait, 1, 1500}, "1"},  // 10 is still possible
      {"1", 9, {S::PlayNow, 1, 0}, "1"},                                          // 10 is not
      {"10", 10, {S::PlayNow, 10, 0}, "10"}, {"11", 10, {S::Drop, 11, 0}, ""},
      {"1", 0, {S::Drop, 1, 0}, ""},  // an empty group takes no number
      {"b", 15, {S::Wait, -1, 1700}, "b"},   {"bel", 15, {S::Wait, -1, 1720}, "bel"},
      {"1a", 15, {S::Wait, -1, 1710}, "1a"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Text << " of " << c.Count);
    TMusicTypeAhead entry;
    const std::vector<TTyped> results = TypeAll(entry, c.Text, c.Count);
    EXPECT_EQ(results.back().Step, c.Last.Step);
    EXPECT_EQ(results.back().Number, c.Last.Number);
    EXPECT_EQ(results.back().Due, c.Last.Due);
    EXPECT_EQ(entry.EntryText(), c.TextAfter);
  }
}

TEST(TMusicTypeAhead, TheTimeOutPlaysANumberOrJumpsByName)
{
  struct TCase {
    const char* Text;
    bool HasCurrent;
    TEntryExpiry Action;
    std::int32_t Number;
    const char* JumpText;
  };
  const TCase cases[] = {
      {"1", true, TEntryExpiry::PlayNumber, 1, ""},
      {"0", true, TEntryExpiry::Nothing, -1, ""},   // no track 0
      {"1", false, TEntryExpiry::Nothing, -1, ""},  // nothing current: nothing at all
      {"bel", true, TEntryExpiry::JumpByName, -1, "bel"},
      {"bel", false, TEntryExpiry::Nothing, -1, ""},
      {"", true, TEntryExpiry::Nothing, -1, ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    TMusicTypeAhead entry;
    TypeAll(entry, c.Text, 15);
    const TEntryExpired expired = entry.Expire(c.HasCurrent, 15);
    EXPECT_EQ(expired.Action, c.Action);
    if (c.Action == TEntryExpiry::PlayNumber) {
      EXPECT_EQ(expired.Number, c.Number);
    }
    EXPECT_EQ(expired.Text, c.JumpText);
    EXPECT_TRUE(entry.EntryText().empty());
    EXPECT_FALSE(entry.Pending());
  }
}

TEST(TMusicTypeAhead, ANewCharacterReplacesThePendingTimeOut)
{
  TMusicTypeAhead entry;
  entry.Type('b', 15, 1000);
  EXPECT_EQ(entry.Due(), 1700U);
  entry.Type('e', 15, 1600);
  EXPECT_EQ(entry.Due(), 2300U);
  entry.Clear();
  EXPECT_FALSE(entry.Pending());
  EXPECT_EQ(entry.EntryNumber(), -1);
}

TEST(TMusicTypeAhead, EntryNumbers)
{
  struct TCase {
    const char* Text;
    std::int32_t Number;
  };
  const TCase cases[] = {{"", -1},
                         {"0", 0},
                         {"007", 7},
                         {"12a", -1},
                         {"-1", -1},
                         {"+1", -1},
                         {" 1", -1},
                         {"2147483647", 2147483647},
                         {"2147483648", 2147483647},
                         {"99999999999999999999", 2147483647}};
  for (const TCase& c : cases) {
    EXPECT_EQ(EntryNumberOf(c.Text), c.Number) << c.Text;
  }
}

TEST(TMusicTypeAhead, TheCaptionWhileTyping)
{
  EXPECT_EQ(EntryCaption("Albums", "12"), "Albums   12");
}

TEST(TMusicJumpByName, EverShorterPrefixesWholeCharactersOnly)
{
  EXPECT_EQ(JumpPrefixes("Bez"), (std::vector<std::string>{"bez", "be", "b"}));
  EXPECT_EQ(JumpPrefixes("a\xC3\xA9z"), (std::vector<std::string>{"a\xC3\xA9z", "a\xC3\xA9", "a"}));
  EXPECT_TRUE(JumpPrefixes("").empty());
  EXPECT_EQ(FoldedFirstCharacter("\xC3\x89lan"), "\xC3\xA9");
  EXPECT_EQ(FoldedFirstCharacter("Bella"), "b");
}

TEST(TMusicJumpByName, TheLongestPrefixWinsOverListOrder)
{
  TDbIdList items;
  for (const char* caption : {"Alpha", "Beach", "Bella", "bertha", "Bella Ciao", "\xC3\x89lan"}) {
    items.AddValues(ViewTitles, 1, 0, "", caption, items.Count() + 1);
  }
  const std::vector<std::string> folded = FoldCaptions(items.Items());
  const std::vector<int> order = {0, 1, 2, 3, 4, 5};
  struct TCase {
    const char* Text;
    int Found;
  };
  const TCase cases[] = {
      {"bel", 2},                         // "Bella" before "Bella Ciao"
      {"BELLA C", 4},  {"bez", 1},        // falls back to "be": the first "be…" in order
      {"bert", 3},                        // lower-case caption
      {"x", -1},       {"\xC3\x89L", 5},  // upper-case accented letter typed
      {"Alphabet", 0},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(FindByPrefix(folded, order, c.Text), c.Found) << c.Text;
  }
  // A refused candidate lets the walk go on.
  EXPECT_EQ(FindByPrefix(folded, order, "bel", [](int index) { return index != 2; }), 4);
  // Indices outside the captions are passed over.
  const std::vector<int> wild = {-1, 99, 3};
  EXPECT_EQ(FindByPrefix(folded, wild, "b"), 3);
}

TEST(TMusicJumpByName, GroupCandidatesStartAfterTheActiveOneAndWrap)
{
  struct TCase {
    int Count;
    int Active;
    std::vector<int> Order;
  };
  const TCase cases[] = {
      {5, 2, {3, 4, 0, 1}}, {5, 0, {1, 2, 3, 4}}, {5, 4, {0, 1, 2, 3}}, {1, 0, {}}, {5, -1, {}}, {5, 5, {}},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(GroupJumpOrder(c.Count, c.Active), c.Order) << c.Count << "/" << c.Active;
  }
}

}  // namespace
