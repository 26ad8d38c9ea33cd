#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/DbId.h"
#include "rtl/Exception.h"

namespace {

TDbId Id(std::int32_t view, std::int32_t group, std::int32_t file)
{
  TDbId id;
  id.ViewId = view;
  id.GroupId = group;
  id.FileId = file;
  id.Order = 5;
  return id;
}

TEST(DbIdTest, TheLevelFollowsFromTheFieldsThatAreSet)
{
  struct TCase {
    TDbId Id;
    TDbIdLevel Level;
    bool Valid;
  };
  const TCase cases[] = {
      {TDbId(), TDbIdLevel::Root, false},       {Id(3, -1, -1), TDbIdLevel::View, true},
      {Id(3, 9, -1), TDbIdLevel::Group, true},  {Id(3, 9, 12), TDbIdLevel::Item, true},
      {Id(-1, 9, 12), TDbIdLevel::Root, false}, {Id(3, -1, 12), TDbIdLevel::View, false},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(c.Id.Level(), c.Level) << c.Id.ViewId << " " << c.Id.GroupId << " " << c.Id.FileId;
    EXPECT_EQ(c.Id.Valid(), c.Valid) << c.Id.ViewId << " " << c.Id.GroupId << " " << c.Id.FileId;
  }
  EXPECT_TRUE(Id(3, 1, 12).SameItem(Id(3, 2, 12)));
  EXPECT_FALSE(Id(3, 1, 12).SameGroup(Id(3, 2, 12)));
  EXPECT_FALSE(Id(3, 1, 12).SameItem(Id(4, 1, 12)));
}

TEST(DbIdTest, BeforeFirstStandsBeforeTheFirstChild)
{
  const TDbId group = BeforeFirst(Id(2, -1, -1));
  EXPECT_EQ(group.GroupId, 0);
  EXPECT_EQ(group.FileId, -1);
  EXPECT_EQ(group.Order, 0);
  EXPECT_TRUE(IsBeforeFirst(group));
  const TDbId item = BeforeFirst(Id(2, 7, -1));
  EXPECT_EQ(item.FileId, 0);
  EXPECT_TRUE(IsBeforeFirst(item));
  EXPECT_FALSE(IsBeforeFirst(Id(2, 7, -1)));
  EXPECT_FALSE(IsBeforeFirst(Id(2, 7, 3)));
  EXPECT_TRUE(IsBeforeFirst(Id(2, -1, -1)));

  const auto message = [](auto&& call) {
    try {
      call();
    } catch (const Exception& error) {
      return error.Message();
    }
    return std::string();
  };
  EXPECT_EQ(message([] { BeforeFirst(TDbId()); }), "BeforeFirst: Root not allowed");
  EXPECT_EQ(message([] { BeforeFirst(Id(2, 7, 3)); }), "BeforeFirst: File not allowed");
  EXPECT_EQ(message([] { IsBeforeFirst(Id(0, -1, -1)); }), "IsBeforeFirst: ViewId = 0");
  EXPECT_EQ(message([] { IsBeforeFirst(TDbId()); }), "IsBeforeFirst: Illegal DbId");
}

TDbId Captioned(std::string caption)
{
  TDbId id = Id(2, 1, 1);
  id.Caption = std::move(caption);
  return id;
}

std::vector<std::string> Captions(const TDbIdList& list)
{
  std::vector<std::string> captions;
  for (const TDbId& id : list.Items()) {
    captions.push_back(id.Caption);
  }
  return captions;
}

TEST(DbIdListTest, GrowsGeometricallyBelowTenThousandAndInStepsAbove)
{
  struct TCase {
    int Capacity;
    int Grown;
  };
  const TCase cases[] = {
      {0, 1}, {1, 3}, {3, 7}, {4999, 9999}, {9999, 19999}, {10000, 30000}, {10001, 30001}, {30000, 50000},
  };
  for (const TCase& c : cases) {
    TDbIdList list;
    list.SetCapacity(c.Capacity);
    for (int i = 0; i < c.Capacity; ++i) {
      list.AddValues(1, 1, 0, "", "", i);
    }
    EXPECT_EQ(list.Capacity(), c.Capacity);
    list.AddValues(1, 1, 0, "", "", c.Capacity);
    EXPECT_EQ(list.Capacity(), c.Grown) << c.Capacity;
    EXPECT_EQ(list.Count(), c.Capacity + 1);
    EXPECT_EQ(list.Get(c.Capacity).FileId, c.Capacity);
  }
}

TEST(DbIdListTest, SetCapacityCutsTheCountAndClearEmptiesAll)
{
  TDbIdList list;
  for (int i = 0; i < 5; ++i) {
    list.AddValues(1, 2, 3, "x", "y", i);
  }
  EXPECT_EQ(list.Capacity(), 7);
  list.SetCapacity(3);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Get(2).FileId, 2);
  list.SetCapacity(10);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Capacity(), 10);
  EXPECT_THROW(list.Get(3), EListError);
  EXPECT_THROW(list.Get(-1), EListError);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 0);
}

TEST(DbIdListTest, IndexOfFindsTheFirstEntryOfAViewGroupOrFile)
{
  TDbIdList list;
  list.AddValues(2, 10, 0, "", "a", 100);
  list.AddValues(2, 11, 0, "", "b", 101);
  list.AddValues(3, 11, 0, "", "c", 100);
  list.AddValues(2, 12, 0, "", "d", 100);
  // The same file of the same view under another group is the same item.
  EXPECT_EQ(list.IndexOfItem(Id(2, 99, 100)), 0);
  EXPECT_EQ(list.IndexOfItem(Id(3, 10, 100)), 2);
  EXPECT_EQ(list.IndexOfItem(Id(4, 10, 100)), -1);
  EXPECT_EQ(list.IndexOfFile(101), 1);
  EXPECT_EQ(list.IndexOfFile(7), -1);
  EXPECT_EQ(list.IndexOfGroup(11), 1);
  EXPECT_EQ(list.IndexOfGroup(13), -1);
  EXPECT_EQ(list.IndexOfView(3), 2);
  EXPECT_EQ(list.IndexOfView(1), -1);
}

TEST(DbIdListTest, CaptionsSortLettersThenDigitsThenSymbolsThenEmpty)
{
  struct TCase {
    std::vector<std::string> Input;
    std::vector<std::string> Sorted;
  };
  const TCase cases[] = {
      {{"", "beta", "Alpha"}, {"Alpha", "beta", ""}},
      {{"9 Lives", "(Live)", "Zebra", "1999"}, {"Zebra", "1999", "9 Lives", "(Live)"}},
      // The digits rank by value, the symbols by code: "!" (33) before "(" (40) before ":" (58)
      // before "[" (91) before "{" (123) before the code points 128 to 191.
      {{"{x", "[x", ":x", "(x", "!x", "\u00bfx"}, {"!x", "(x", ":x", "[x", "{x", "\u00bfx"}},
      // From code point 192 on, characters rank with the letters.
      {{"1", "\u00c9cole", "Zoo", "\u00bfx"}, {"\u00c9cole", "Zoo", "1", "\u00bfx"}},
      {{"b", "B", "a"}, {"a", "b", "B"}},
      {{"@", "0"}, {"0", "@"}},
      {{"`", "Z", "z"}, {"Z", "z", "`"}},
      {{"only"}, {"only"}},
      {{}, {}},
  };
  for (const TCase& c : cases) {
    TDbIdList list;
    for (const std::string& caption : c.Input) {
      list.Add(Captioned(caption));
    }
    list.SortByCaption();
    EXPECT_EQ(Captions(list), c.Sorted) << ::testing::PrintToString(c.Input);
  }
}

TEST(DbIdListTest, ExtraAndOrderSortsKeepEqualEntriesInPlace)
{
  TDbIdList list;
  list.AddValues(2, 1, 3, "0010Ten", "ten", 1);
  list.AddValues(2, 1, 1, "0002two", "two", 2);
  list.AddValues(2, 1, 3, "0001One", "one", 3);
  list.AddValues(2, 1, 1, "0002Two", "Two", 4);
  list.SortByExtra();
  EXPECT_EQ(Captions(list), (std::vector<std::string>{"one", "two", "Two", "ten"}));
  list.SortByOrder();
  EXPECT_EQ(Captions(list), (std::vector<std::string>{"two", "Two", "one", "ten"}));
  EXPECT_EQ(list.Get(0).ViewId, 2);
  EXPECT_EQ(list.Get(0).Extra, "0002two");
}

}  // namespace
