#include "framework/OxaUtils.h"
#include "platform/windows/DisplayTesting.h"
#include "platform/windows/InputEvents.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

TEST(OxaUtils, AccelerateEasesInAndOut)
{
  struct TCase {
    int Index, Count, Max, Expected;
  };
  const TCase cases[] = {
      {0, 10, 100, 0},    {3, 10, 100, 18},   {5, 10, 100, 50},  {7, 10, 100, 82},
      {10, 10, 100, 100}, {15, 10, 100, 100}, {1, 4, 100, 12},   {3, 4, 100, 88},
      {5, 0, 100, 0},     {-1, 10, 100, 0},   {1, 2, -100, -50},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(OxaAccelerate(c.Index, c.Count, c.Max), c.Expected) << c.Index << "/" << c.Count;
  }
}

TEST(OxaUtils, AccelerateRoundsHalvesToEven)
{
  // 2 * (1/4)^2 * 20 = 2.5 -> 2; 2 * (1/4)^2 * 60 = 7.5 -> 8
  EXPECT_EQ(OxaAccelerate(1, 4, 20), 2);
  EXPECT_EQ(OxaAccelerate(1, 4, 60), 8);
}

TEST(OxaUtils, ProperCaseTidiesTitles)
{
  struct TCase {
    const char* Text;
    const char* Expected;
  };
  const TCase cases[] = {
      {"  hello__world (live)", "Hello World (Live)"},
      {"my_song", "My Song"},
      {"a\tb\x01"
       "c",
       "Abc"},
      {"rock-n-roll.mix,vol.2", "Rock-N-Roll.Mix,Vol.2"},
      {"2pac", "2Pac"},
      {"the 3rd man", "The 3Rd Man"},
      {"MiXeD cAsE  ", "MiXeD CAsE"},
      {"\u00e9cole \u00e4pfel", "\u00c9cole \u00c4pfel"},
      {"   ", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ProperCase(std::string_view(c.Text)), c.Expected) << c.Text;
  }
}

TEST(OxaUtils, SplitKeepsOrDropsEmptyPieces)
{
  using V = std::vector<std::string>;
  EXPECT_EQ(Split(";", "a;;b", TSplitEmpty::Drop), (V{"a", "b"}));
  EXPECT_EQ(Split(";", "a;;b", TSplitEmpty::Keep), (V{"a", "", "b"}));
  EXPECT_EQ(Split(";", ";a;", TSplitEmpty::Keep), (V{"", "a", ""}));
  EXPECT_EQ(Split("::", "a::b:c", TSplitEmpty::Drop), (V{"a", "b:c"}));
  EXPECT_EQ(Split(";", "", TSplitEmpty::Keep), V{});
  EXPECT_EQ(Split("", "abc", TSplitEmpty::Keep), V{});
}

TEST(OxaUtils, PercentEncodeEscapesOnlyTheGivenCharacters)
{
  EXPECT_EQ(PercentEncode("a=b;c", "=;"), "a%3Db%3Bc");
  EXPECT_EQ(PercentEncode("100%", "%"), "100%25");
  EXPECT_EQ(PercentEncode("abc", ""), "abc");
}

TEST(OxaUtils, TickCountCountsWrapsInsteadOfGoingBack)
{
  TTickExtender ticks;
  EXPECT_EQ(ticks.Extend(100), 100U);
  EXPECT_EQ(ticks.Extend(0xFFFFFFF0U), 0xFFFFFFF0U);
  EXPECT_EQ(ticks.Extend(5), 0x100000005ULL);
  EXPECT_EQ(ticks.Extend(6), 0x100000006ULL);
  EXPECT_GT(GetTickCount64(), 0U);
}

TEST(OxaUtils, QuickSortOrdersPointersByTheCompare)
{
  std::mt19937 random(7);
  for (int size : {0, 1, 2, 3, 10, 257}) {
    std::vector<int> values(static_cast<std::size_t>(size));
    for (auto& v : values) {
      v = static_cast<int>(random() % 50);
    }
    std::vector<int*> pointers;
    for (auto& v : values) {
      pointers.push_back(&v);
    }
    QuickSort(std::span<int*>(pointers), [](const int* a, const int* b) { return *a - *b; });
    EXPECT_TRUE(std::is_sorted(pointers.begin(), pointers.end(), [](int* a, int* b) { return *a < *b; }));
  }
}

namespace {

TEST(OxaUtilsMouseTest, IsMouseButtonDownFollowsThePrimaryButtonNow)
{
  UseHeadlessDisplay();
  struct TCase {
    TPointerButton Button;
    bool Down;
    bool Expected;
  };
  const TCase cases[] = {
      {TPointerButton::Left, true, true},    {TPointerButton::Left, false, false},
      {TPointerButton::Right, true, false},  {TPointerButton::Right, false, false},
      {TPointerButton::Middle, true, false}, {TPointerButton::Middle, false, false},
  };
  for (const auto& entry : cases) {
    TInputEvent event;
    event.Kind = TInputKind::Button;
    event.Button = entry.Button;
    event.Down = entry.Down;
    DeliverInput(event);
    // Now, not as of a message: nothing was taken from the queue.
    EXPECT_EQ(IsMouseButtonDown(), entry.Expected) << static_cast<int>(entry.Button) << " " << entry.Down;
  }
}

}  // namespace
