#include "rtl/StringList.h"

#include <gtest/gtest.h>

#include "rtl/Exception.h"

namespace {

// Counts its own destructions, so tests see which list freed what.
class TCounted : public TObject {
 public:
  explicit TCounted(int& destroyed) : FDestroyed(destroyed) {}
  ~TCounted() override { ++FDestroyed; }

 private:
  int& FDestroyed;
};

std::string Joined(const TStringList& list)
{
  std::string text;
  for (int i = 0; i < list.Count(); ++i) {
    text += (i != 0 ? "|" : "") + list[i];
  }
  return text;
}

}  // namespace

TEST(StringList, SortedListKeepsLocaleOrderIgnoringCase)
{
  TStringList list;
  list.SetSorted(true);
  for (const char* s : {"beta", "Alpha", "Ähre", "gamma", "alpha2", "Zulu"}) {
    list.Add(s);
  }
  EXPECT_EQ(Joined(list), "Ähre|Alpha|alpha2|beta|gamma|Zulu");
  int index = -1;
  EXPECT_TRUE(list.Find("ALPHA", index));
  EXPECT_EQ(index, 1);
  EXPECT_FALSE(list.Find("delta", index));
  EXPECT_EQ(index, 4);
  EXPECT_EQ(list.IndexOf("ZULU"), 5);
  EXPECT_EQ(list.IndexOf("nothing"), -1);
}

TEST(StringList, DuplicatesPolicy)
{
  TStringList ignoring;
  ignoring.SetSorted(true);
  EXPECT_EQ(ignoring.Add("a"), 0);
  EXPECT_EQ(ignoring.Add("A"), 0);
  EXPECT_EQ(ignoring.Count(), 1);

  TStringList refusing;
  refusing.SetSorted(true);
  refusing.SetDuplicates(TDuplicates::dupError);
  refusing.Add("a");
  EXPECT_THROW(refusing.Add("A"), EListError);

  TStringList accepting;
  accepting.SetSorted(true);
  accepting.SetDuplicates(TDuplicates::dupAccept);
  accepting.Add("b");
  accepting.Add("a");
  accepting.Add("A");
  accepting.Add("a");
  EXPECT_EQ(accepting.Count(), 4);
  int index = -1;
  ASSERT_TRUE(accepting.Find("a", index));
  EXPECT_EQ(index, 0) << "Find gives the first of equal entries";
}

TEST(StringList, CaseSensitiveListsKeepBothSpellings)
{
  TStringList list;
  list.SetCaseSensitive(true);
  list.SetSorted(true);
  list.Add("a");
  list.Add("A");
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.IndexOf("A"), list.IndexOf("A"));
  EXPECT_NE(list.IndexOf("a"), list.IndexOf("A"));
}

TEST(StringList, SortedListRefusesPositionalChanges)
{
  TStringList list;
  list.SetSorted(true);
  list.Add("x");
  EXPECT_THROW(list.Insert(0, "a"), EListError);
  EXPECT_THROW(list.SetString(0, "a"), EListError);
  EXPECT_THROW(static_cast<void>(list.Strings(1)), EListError);
  EXPECT_THROW(list.Delete(-1), EListError);
}

TEST(StringList, OwningListFreesDeletedClearedAndReplacedObjects)
{
  int destroyed = 0;
  {
    TStringList list;
    list.SetOwnsObjects(true);
    list.AddObject("a", new TCounted(destroyed));
    list.AddObject("b", new TCounted(destroyed));
    list.AddObject("c", new TCounted(destroyed));
    list.Delete(0);
    EXPECT_EQ(destroyed, 1);
    list.SetObject(0, new TCounted(destroyed));
    EXPECT_EQ(destroyed, 2);
  }
  EXPECT_EQ(destroyed, 4);

  destroyed = 0;
  TCounted kept(destroyed);
  {
    TStringList plain;
    plain.AddObject("k", &kept);
    plain.Clear();
  }
  EXPECT_EQ(destroyed, 0);
}

TEST(StringList, AssignCopiesWithoutSharingOwnership)
{
  int destroyed = 0;
  {
    TStringList source;
    source.SetOwnsObjects(true);
    source.AddObject("a", new TCounted(destroyed));
    TStringList copy;
    copy.SetOwnsObjects(true);
    copy.Assign(source);
    EXPECT_EQ(copy.Count(), 1);
    EXPECT_EQ(copy.Objects(0), nullptr);
    TStringList view;
    view.Assign(source);
    EXPECT_EQ(view.Objects(0), source.Objects(0));
  }
  EXPECT_EQ(destroyed, 1);
}

TEST(StringList, TextSplitsAtAnyLineEndAndJoinsWithCrLf)
{
  TStringList list;
  list.SetText("a\r\nb\nc\rd");
  EXPECT_EQ(Joined(list), "a|b|c|d");
  EXPECT_EQ(list.Text(), "a\r\nb\r\nc\r\nd\r\n");
  list.SetText("");
  EXPECT_EQ(list.Count(), 0);
}

TEST(StringList, CustomSortUsesTheGivenOrder)
{
  TStringList list;
  for (const char* s : {"3", "10", "2", "1"}) {
    list.Add(s);
  }
  list.CustomSort([](const TStringList& l, int a, int b) { return std::stoi(l[a]) - std::stoi(l[b]); });
  EXPECT_EQ(Joined(list), "1|2|3|10");
  list.Sort();
  EXPECT_EQ(Joined(list), "1|10|2|3");
}
