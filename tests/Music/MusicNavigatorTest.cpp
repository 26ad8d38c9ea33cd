#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

#include "Music/control/MusicNavigator.h"

namespace {

// A library of Albums groups (group id g holds the files listed for it), shown in the order of
// the entries, and a player that cannot open the files in Unplayable.
class TFakeHost : public TMusicNavigationHost {
 public:
  std::map<int, std::vector<int>> Groups;
  std::vector<TDbId> Entries;
  std::set<int> Unplayable;
  std::vector<int> Tried;  // FileId of every play asked for (-1: the empty item)
  std::vector<int> Shown;  // GroupId of every group the list was moved to
  std::vector<int> Numbers;
  std::vector<int> Playing;  // FileId of every row the host was told plays
  std::vector<int> Nothing;  // FileId of every row a step ended on with nothing playing
  int BusyCalls = 0;
  int Listings = 0;
  bool Mouse = false;
  unsigned Seed = 12345;
  const TMusicNavigator* Navigator = nullptr;

  void AddGroup(int group, std::vector<int> files)
  {
    Groups[group] = std::move(files);
    TDbId entry;
    entry.ViewId = ViewAlbums;
    entry.GroupId = group;
    Entries.push_back(entry);
  }

  bool ListItems(const TDbId& group, TDbIdList& items) override
  {
    ++Listings;
    items.Clear();
    const auto found = Groups.find(group.GroupId);
    if (group.ViewId != ViewAlbums || found == Groups.end()) {
      return false;
    }
    for (const int file : found->second) {
      items.AddValues(ViewAlbums, group.GroupId, 0, "", "", file);
    }
    return true;
  }
  bool PlayItem(const TDbId& item, bool) override
  {
    Tried.push_back(item.FileId);
    return item.FileId >= 0 && Unplayable.count(item.FileId) == 0;
  }
  void ShownGroups(TDbIdList& entries, int& current) override
  {
    entries.Clear();
    current = -1;
    for (const TDbId& entry : Entries) {
      if (Navigator != nullptr && entry.SameGroup(Navigator->CurrentGroup)) {
        current = entries.Count();
      }
      entries.Add(entry);
    }
  }
  int RandomBelow(int count) override
  {
    Seed = Seed * 1103515245u + 12345u;
    return static_cast<int>((Seed >> 16) % static_cast<unsigned>(count));
  }
  void ShowGroup(const TDbId& group) override { Shown.push_back(group.GroupId); }
  void TrackNumberChanged(int number) override { Numbers.push_back(number); }
  bool HoldsMouse() override { return Mouse; }
  void RowPlaying(const TDbId& row, TRowReveal) override { Playing.push_back(row.FileId); }
  void NothingPlays(const TDbId& row, TRowReveal) override { Nothing.push_back(row.FileId); }
  void Busy(bool on) override { BusyCalls += on ? 1 : 0; }
  void ForgetSteps()
  {
    Tried.clear();
    Shown.clear();
    Playing.clear();
    Nothing.clear();
    BusyCalls = 0;
  }
};

TDbId Track(int group, int file)
{
  TDbId item;
  item.ViewId = ViewAlbums;
  item.GroupId = group;
  item.FileId = file;
  return item;
}

class TMusicNavigatorTest : public testing::Test {
 protected:
  TMusicNavigatorTest()
  {
    Host.Navigator = &Navigator;
    Host.AddGroup(1, {11, 12, 13});
    Host.AddGroup(2, {21, 22, 23});
    Host.AddGroup(3, {31, 32, 33});
  }
  void Start(int group, int file)
  {
    ASSERT_TRUE(Navigator.PlayRow(Track(group, file), {}));
    Host.ForgetSteps();
  }

  TFakeHost Host;
  TMusicNavigator Navigator{Host};
};

TEST_F(TMusicNavigatorTest, StepsForwardAndBackward)
{
  enum TStep { Up, Down, WindStep, RewindStep };
  struct TCase {
    const char* Name;
    int Group;
    int File;
    std::set<int> Unplayable;
    TStep Step;
    std::vector<int> Tried;
    int ShownGroup;  // 0: the list does not move
  };
  const TCase cases[] = {
      {"next", 1, 11, {}, Up, {12}, 0},
      {"the last wraps to the first of the same group", 1, 13, {}, Up, {11}, 0},
      {"skipping", 1, 11, {12}, Up, {12, 13}, 0},
      {"skipping over the wrap", 1, 12, {13}, Up, {13, 11}, 0},
      {"previous", 1, 12, {}, Down, {11}, 0},
      {"previous skips", 1, 13, {12}, Down, {12, 11}, 0},
      {"before the first: the previous group", 2, 21, {}, Down, {11}, 1},
      {"before the first of the first group: the last group", 1, 11, {}, Down, {31}, 3},
      {"previous skips to the previous group", 2, 22, {21}, Down, {21, 11}, 1},
      {"wind", 1, 12, {}, WindStep, {21}, 2},
      {"wind wraps", 3, 31, {}, WindStep, {11}, 1},
      {"wind skips an unplayable start", 1, 12, {21}, WindStep, {21, 22}, 2},
      {"rewind", 2, 22, {}, RewindStep, {11}, 1},
      {"a group nothing plays in passes on", 1, 11, {12, 13}, Up, {12, 13, 11}, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TFakeHost host;
    host.AddGroup(1, {11, 12, 13});
    host.AddGroup(2, {21, 22, 23});
    host.AddGroup(3, {31, 32, 33});
    TMusicNavigator navigator(host);
    host.Navigator = &navigator;
    ASSERT_TRUE(navigator.PlayRow(Track(c.Group, c.File), {}));
    host.Tried.clear();
    host.Unplayable = c.Unplayable;
    switch (c.Step) {
      case Up:
        navigator.Forward();
        break;
      case Down:
        navigator.Backward();
        break;
      case WindStep:
        navigator.Wind();
        break;
      case RewindStep:
        navigator.Rewind();
        break;
    }
    EXPECT_EQ(host.Tried, c.Tried);
    if (c.ShownGroup == 0) {
      EXPECT_TRUE(host.Shown.empty());
    } else {
      ASSERT_EQ(host.Shown.size(), 1U);
      EXPECT_EQ(host.Shown[0], c.ShownGroup);
    }
    EXPECT_EQ(navigator.CurrentItem.FileId, c.Tried.back());
    EXPECT_EQ(navigator.TrackNumber, (c.Tried.back() % 10));
  }
}

TEST_F(TMusicNavigatorTest, TheHostIsToldOnceWhereAStepEnds)
{
  enum TStep { Up, Down, WindStep, Click };
  const std::set<int> all = {11, 12, 13, 21, 22, 23, 31, 32, 33};
  struct TCase {
    const char* Name;
    int File;  // the playing track before the step (the clicked one for Click)
    std::set<int> Unplayable;
    TStep Step;
    bool Empty2;  // group 2 has no items
    bool Plays;
    int Tries;
    int ShownGroup;  // 0: the list does not move
  };
  const TCase cases[] = {
      {"no failure", 11, {}, Up, false, true, 1, 0},
      {"one failure", 11, {12}, Up, false, true, 2, 0},
      {"the group's last row fails: the pass wraps", 12, {13}, Up, false, true, 2, 0},
      {"every row of the group but the current fails", 11, {12, 13}, Up, false, true, 3, 0},
      {"every group but the last fails", 11, {11, 12, 13, 21, 22, 23}, Up, false, true, 7, 3},
      {"an empty group between", 13, {11, 12, 13}, Up, true, true, 4, 3},
      {"nothing plays", 11, all, Up, false, false, 9, 3},
      {"nothing plays, an empty group between", 11, all, Up, true, false, 6, 3},
      {"wind where nothing plays", 11, all, WindStep, false, false, 9, 1},
      {"backward where nothing plays", 13, all, Down, false, false, 8, 2},
      {"a click: the group's last row fails", 12, {12, 13}, Click, false, false, 2, 0},
      {"a click on the group's last row", 13, {13}, Click, false, false, 1, 0},
      {"a click: one row fails", 12, {12}, Click, false, true, 2, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TFakeHost host;
    host.AddGroup(1, {11, 12, 13});
    host.AddGroup(2, c.Empty2 ? std::vector<int>{} : std::vector<int>{21, 22, 23});
    host.AddGroup(3, {31, 32, 33});
    TMusicNavigator navigator(host);
    host.Navigator = &navigator;
    if (c.Step != Click) {
      ASSERT_TRUE(navigator.PlayRow(Track(1, c.File), {}));
    }
    host.ForgetSteps();
    host.Unplayable = c.Unplayable;
    bool played = false;
    switch (c.Step) {
      case Up:
        played = navigator.Forward();
        break;
      case Down:
        played = navigator.Backward();
        break;
      case WindStep:
        played = navigator.Wind();
        break;
      case Click:
        played = navigator.PlayRow(Track(1, c.File), {});
        break;
    }
    EXPECT_EQ(played, c.Plays);
    ASSERT_EQ(host.Tried.size(), static_cast<std::size_t>(c.Tries));
    const int last = host.Tried.back();
    // Exactly one report, about the row the step ended on, which stays current.
    EXPECT_EQ(host.Playing, c.Plays ? std::vector<int>{last} : std::vector<int>{});
    EXPECT_EQ(host.Nothing, c.Plays ? std::vector<int>{} : std::vector<int>{last});
    EXPECT_EQ(navigator.CurrentItem.FileId, last);
    EXPECT_EQ(navigator.TrackNumber, last % 10);
    EXPECT_EQ(host.Shown, c.ShownGroup == 0 ? std::vector<int>{} : std::vector<int>{c.ShownGroup});
    EXPECT_EQ(host.BusyCalls, 1);
  }
}

TEST_F(TMusicNavigatorTest, ALaterFailureGoesOnWithThePassAndIsToldOnlyWhereItEnds)
{
  struct TCase {
    const char* Name;
    std::set<int> Unplayable;  // the rest opens and is reported failed later
    int FirstPlaying;
    int ShownGroup;
  };
  const TCase cases[] = {
      {"in the first group", {13, 11, 21, 22, 23, 31, 32, 33}, 12, 0},
      {"after crossing a group", {12, 13, 11, 21, 23, 31, 32, 33}, 22, 2},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TFakeHost host;
    host.AddGroup(1, {11, 12, 13});
    host.AddGroup(2, {21, 22, 23});
    host.AddGroup(3, {31, 32, 33});
    TMusicNavigator navigator(host);
    host.Navigator = &navigator;
    ASSERT_TRUE(navigator.PlayRow(Track(1, 11), {}));
    host.ForgetSteps();
    host.Unplayable = c.Unplayable;
    ASSERT_TRUE(navigator.Forward(TStepCause::User));
    EXPECT_EQ(host.Playing, std::vector<int>{c.FirstPlaying});
    EXPECT_EQ(host.Shown, c.ShownGroup == 0 ? std::vector<int>{} : std::vector<int>{c.ShownGroup});
    host.Unplayable.insert(c.FirstPlaying);
    host.Shown.clear();
    EXPECT_FALSE(navigator.Forward(TStepCause::Failed));
    // The pass that began at 11 ends after every track once.
    std::multiset<int> tried(host.Tried.begin(), host.Tried.end());
    EXPECT_EQ(tried, (std::multiset<int>{11, 12, 13, 21, 22, 23, 31, 32, 33}));
    EXPECT_EQ(host.Playing, std::vector<int>{c.FirstPlaying});
    EXPECT_EQ(host.Nothing, std::vector<int>{33});
    EXPECT_EQ(host.Shown, std::vector<int>{3});
  }
}

TEST_F(TMusicNavigatorTest, ALaterFailureWithThePassSpentLeavesTheFailedRowNotPlaying)
{
  TFakeHost host;
  host.AddGroup(1, {11});
  TMusicNavigator navigator(host);
  host.Navigator = &navigator;
  ASSERT_TRUE(navigator.PlayRow(Track(1, 11), {}));
  ASSERT_TRUE(navigator.Forward(TStepCause::User));
  host.ForgetSteps();
  EXPECT_FALSE(navigator.Forward(TStepCause::Failed));
  EXPECT_TRUE(host.Tried.empty());
  EXPECT_TRUE(host.Playing.empty());
  EXPECT_EQ(host.Nothing, std::vector<int>{11});
}

TEST_F(TMusicNavigatorTest, ASingleGroupWhereNothingPlaysEndsOnItsLastTry)
{
  TFakeHost host;
  host.AddGroup(1, {11, 12, 13});
  TMusicNavigator navigator(host);
  host.Navigator = &navigator;
  ASSERT_TRUE(navigator.PlayRow(Track(1, 12), {}));
  host.ForgetSteps();
  host.Unplayable = {11, 12, 13};
  EXPECT_FALSE(navigator.Forward());
  EXPECT_EQ(host.Tried, (std::vector<int>{13, 11, 12}));
  EXPECT_TRUE(host.Playing.empty());
  EXPECT_EQ(host.Nothing, std::vector<int>{12});
  // The group is the one shown already: the list does not move.
  EXPECT_TRUE(host.Shown.empty());
  // The next step goes on after the row it ended on.
  host.ForgetSteps();
  host.Unplayable.clear();
  EXPECT_TRUE(navigator.Forward());
  EXPECT_EQ(host.Tried, (std::vector<int>{13}));
  EXPECT_EQ(host.Playing, std::vector<int>{13});
}

TEST_F(TMusicNavigatorTest, AGroupWhereTheOnlyPlayableTrackIsCurrentReplaysIt)
{
  Start(1, 11);
  Host.Unplayable = {12, 13};
  EXPECT_TRUE(Navigator.Forward());
  // The pass over the group ends on the one track that plays.
  EXPECT_EQ(Host.Tried, (std::vector<int>{12, 13, 11}));
}

TEST_F(TMusicNavigatorTest, NothingPlayableEndsAfterOnePassOverEveryGroup)
{
  Start(1, 11);
  Host.Unplayable = {11, 12, 13, 21, 22, 23, 31, 32, 33};
  for (const bool forward : {true, false}) {
    Host.Tried.clear();
    EXPECT_FALSE(forward ? Navigator.Forward() : Navigator.Wind());
    std::multiset<int> tried(Host.Tried.begin(), Host.Tried.end());
    // Every track once, none twice.
    EXPECT_EQ(tried, (std::multiset<int>{11, 12, 13, 21, 22, 23, 31, 32, 33})) << forward;
  }
  Host.Tried.clear();
  EXPECT_FALSE(Navigator.Rewind());
  EXPECT_EQ(Host.Tried.size(), 9U);
}

TEST_F(TMusicNavigatorTest, FailuresReportedLaterCountTowardTheSamePass)
{
  // Every file opens, and the player reports each one failed a moment later.
  Start(1, 11);
  int steps = 0;
  bool playing = Navigator.Forward(TStepCause::User);
  while (playing && steps < 100) {
    playing = Navigator.Forward(TStepCause::Failed);
    ++steps;
  }
  EXPECT_FALSE(playing);
  std::multiset<int> tried(Host.Tried.begin(), Host.Tried.end());
  EXPECT_EQ(tried, (std::multiset<int>{11, 12, 13, 21, 22, 23, 31, 32, 33}));
  // A completed track starts a fresh pass.
  Host.Tried.clear();
  EXPECT_TRUE(Navigator.Forward(TStepCause::Complete));
  EXPECT_EQ(Host.Tried.size(), 1U);
}

TEST_F(TMusicNavigatorTest, EmptyGroupsAndOtherEntriesArePassedOver)
{
  Host.Groups[2].clear();
  TDbId view;
  view.ViewId = ViewAlbums;
  Host.Entries.insert(Host.Entries.begin() + 2, view);  // 1, 2, view, 3
  Start(1, 12);
  EXPECT_TRUE(Navigator.Wind());
  EXPECT_EQ(Host.Shown, (std::vector<int>{3}));
  EXPECT_EQ(Host.Tried, (std::vector<int>{31}));
}

TEST_F(TMusicNavigatorTest, WithNothingCurrentStepAndWindStartAtTheFirstGroup)
{
  EXPECT_TRUE(Navigator.Forward());
  EXPECT_EQ(Host.Tried, (std::vector<int>{11}));
  EXPECT_EQ(Navigator.CurrentGroup.GroupId, 1);
  TMusicNavigator other(Host);
  Host.Navigator = &other;
  Host.Tried.clear();
  EXPECT_TRUE(other.Rewind());
  EXPECT_EQ(Host.Tried, (std::vector<int>{31}));
}

TEST_F(TMusicNavigatorTest, ASingleGroupIsFoundWithNothingCurrentAndTriedOnce)
{
  TFakeHost host;
  host.AddGroup(1, {11, 12});
  TMusicNavigator navigator(host);
  host.Navigator = &navigator;
  EXPECT_TRUE(navigator.Forward());
  EXPECT_EQ(host.Tried, (std::vector<int>{11}));
  host.Unplayable = {11, 12};
  host.Tried.clear();
  EXPECT_FALSE(navigator.Forward());
  EXPECT_EQ(host.Tried, (std::vector<int>{12, 11}));
  host.Tried.clear();
  EXPECT_FALSE(navigator.Backward());
  EXPECT_EQ(host.Tried, (std::vector<int>{}));
  host.Tried.clear();
  EXPECT_FALSE(navigator.Wind());
  EXPECT_EQ(host.Tried, (std::vector<int>{11, 12}));
}

TEST_F(TMusicNavigatorTest, SelectingTheNextGroupShowsItAndPlaysNothing)
{
  struct TCase {
    const char* Name;
    int Current;           // the group made current before (0: none)
    std::set<int> Empty;   // groups without items
    bool NothingPlayable;  // no file can be opened (a drive unplugged)
    int Selected;          // the group made current and shown (0: none, nothing changes)
  };
  const TCase cases[] = {
      {"nothing current: the first group", 0, {}, false, 1},
      {"the first group empty: the second", 0, {1}, false, 2},
      {"after the current group", 2, {}, false, 3},
      {"after the last group: the first again", 3, {}, false, 1},
      {"only the current group has items: it again", 2, {1, 3}, false, 2},
      {"every group empty: nothing", 0, {1, 2, 3}, false, 0},
      {"nothing playable: the group all the same, no file opened", 0, {}, true, 1},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TFakeHost host;
    host.AddGroup(1, {11, 12, 13});
    host.AddGroup(2, {21, 22});
    host.AddGroup(3, {31});
    for (const int group : c.Empty) {
      host.Groups[group].clear();
    }
    if (c.NothingPlayable) {
      host.Unplayable = {11, 12, 13, 21, 22, 31};
    }
    TMusicNavigator navigator(host);
    host.Navigator = &navigator;
    navigator.CurrentGroup = c.Current != 0 ? host.Entries[static_cast<std::size_t>(c.Current - 1)] : TDbId();
    navigator.PlayedItems.Add(Track(9, 99));
    EXPECT_EQ(navigator.SelectNextGroup(), c.Selected != 0);
    EXPECT_TRUE(host.Tried.empty());
    EXPECT_TRUE(navigator.CurrentItem.Empty());
    if (c.Selected == 0) {
      EXPECT_EQ(navigator.CurrentGroup.GroupId, c.Current != 0 ? c.Current : -1);
      EXPECT_TRUE(host.Shown.empty());
      continue;
    }
    EXPECT_EQ(navigator.CurrentGroup.GroupId, c.Selected);
    EXPECT_EQ(host.Shown, std::vector<int>{c.Selected});
    EXPECT_EQ(navigator.GroupItems.Count(), static_cast<int>(host.Groups[c.Selected].size()));
    EXPECT_EQ(navigator.PlayedItems.Count(), 0) << "a new group starts a fresh history";
    // The user's first step plays the group from its start.
    if (!c.NothingPlayable) {
      EXPECT_TRUE(navigator.Forward());
      EXPECT_EQ(host.Tried.at(0), host.Groups[c.Selected].front());
    }
  }
}

TEST_F(TMusicNavigatorTest, SelectingAGroupTakesOnlyAGroupWithItems)
{
  Start(1, 12);
  TDbId view;
  view.ViewId = ViewAlbums;
  TDbId missing = Host.Entries[0];
  missing.GroupId = 7;
  Host.Groups[3].clear();
  for (const TDbId& entry : {view, missing, Host.Entries[2]}) {
    EXPECT_FALSE(Navigator.SelectGroup(entry));
    EXPECT_EQ(Navigator.CurrentGroup.GroupId, 1) << "unchanged";
    EXPECT_EQ(Navigator.GroupItems.Count(), 3);
  }
  EXPECT_TRUE(Host.Shown.empty());
  EXPECT_TRUE(Navigator.SelectGroup(Host.Entries[1]));
  EXPECT_EQ(Navigator.CurrentGroup.GroupId, 2);
  EXPECT_EQ(Host.Shown, std::vector<int>{2});
  EXPECT_TRUE(Host.Tried.empty());
}

TEST_F(TMusicNavigatorTest, WithoutAnyGroupNavigationEndsQuietly)
{
  TFakeHost empty;
  TMusicNavigator navigator(empty);
  empty.Navigator = &navigator;
  EXPECT_FALSE(navigator.Forward());
  EXPECT_FALSE(navigator.Backward());
  EXPECT_FALSE(navigator.Wind());
  EXPECT_FALSE(navigator.Rewind());
  EXPECT_TRUE(empty.Tried.empty());
}

TEST_F(TMusicNavigatorTest, ShufflePlaysEveryItemOnceBeforeRepeating)
{
  std::vector<int> files;
  for (int file = 100; file < 120; ++file) {
    files.push_back(file);
  }
  Host.AddGroup(4, files);
  Navigator.Shuffle = true;
  Start(4, 105);
  for (int round = 0; round < 3; ++round) {
    std::set<int> played;
    if (round == 0) {
      played.insert(105);
    }
    while (played.size() < files.size()) {
      Host.Tried.clear();
      ASSERT_TRUE(Navigator.Forward(TStepCause::Complete));
      ASSERT_EQ(Host.Tried.size(), 1U);
      EXPECT_TRUE(played.insert(Host.Tried[0]).second) << "round " << round << " repeats " << Host.Tried[0];
    }
  }
  EXPECT_EQ(Navigator.CurrentGroup.GroupId, 4);
}

TEST_F(TMusicNavigatorTest, RandomIndexSearchesUpThenDown)
{
  struct TFixedHost : TFakeHost {
    int Fixed = 0;
    int RandomBelow(int) override { return Fixed; }
  } host;
  host.AddGroup(1, {1, 2, 3, 4, 5});
  TMusicNavigator navigator(host);
  navigator.Shuffle = true;
  navigator.CurrentGroup = Track(1, -1);
  host.ListItems(navigator.CurrentGroup, navigator.GroupItems);
  struct TCase {
    std::vector<int> Played;
    int Drawn;
    int Index;
    int PlayedAfter;
  };
  const TCase cases[] = {
      {{}, 2, 2, 0},               // unplayed: taken
      {{3}, 2, 3, 1},              // upwards first
      {{3, 4, 5}, 2, 1, 3},        // then downwards from below the draw
      {{1, 2, 3, 4, 5}, 2, 2, 0},  // all played: a new round from the draw
      {{1, 2, 3, 4}, 0, 4, 4},
  };
  for (const TCase& c : cases) {
    navigator.PlayedItems.Clear();
    for (const int file : c.Played) {
      navigator.PlayedItems.Add(Track(1, file));
    }
    host.Fixed = c.Drawn;
    EXPECT_EQ(navigator.RandomIndex(), c.Index);
    EXPECT_EQ(navigator.PlayedItems.Count(), c.PlayedAfter);
  }
  navigator.Shuffle = false;
  EXPECT_EQ(navigator.RandomIndex(), -1);
}

TEST_F(TMusicNavigatorTest, PlayedItemsNeverHoldMoreThan512)
{
  std::vector<int> files;
  for (int file = 1000; file < 1600; ++file) {
    files.push_back(file);
  }
  Host.AddGroup(5, files);
  Navigator.Shuffle = true;
  for (int played = 1; played <= 514; ++played) {
    ASSERT_TRUE(Navigator.PlayRow(Track(5, 999 + played), {}));
    const int expected = played <= 512 ? played : played - 512;
    ASSERT_EQ(Navigator.PlayedItems.Count(), expected) << played;
  }
  // Playing an item already in the history adds nothing.
  ASSERT_TRUE(Navigator.PlayRow(Track(5, 1513), {}));
  EXPECT_EQ(Navigator.PlayedItems.Count(), 2);
}

TEST_F(TMusicNavigatorTest, PlayingARow)
{
  struct TCase {
    const char* Name;
    TDbId Row;
    std::set<int> Unplayable;
    bool Follow;
    bool Mouse;
    bool Played;
    std::vector<int> Tried;
  };
  TDbId group = Track(1, -1);
  const TCase cases[] = {
      {"a track", Track(1, 12), {}, true, false, true, {12}},
      {"an unplayable row passes to the next", Track(1, 11), {11}, true, false, true, {11, 12}},
      {"up to the group's end, not round", Track(1, 12), {12, 13}, true, false, false, {12, 13}},
      {"not while the button is held", Track(1, 11), {11}, true, true, false, {11}},
      {"not when the caller steps itself", Track(1, 11), {11}, false, false, false, {11}},
      {"a group row is no track", group, {}, true, false, false, {}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Host.Tried.clear();
    Host.Unplayable = c.Unplayable;
    Host.Mouse = c.Mouse;
    TPlayRowOptions options;
    options.FollowFailures = c.Follow;
    EXPECT_EQ(Navigator.PlayRow(c.Row, options), c.Played);
    EXPECT_EQ(Host.Tried, c.Tried);
  }
}

TEST_F(TMusicNavigatorTest, AnotherGroupIsListedAndStartsAFreshHistory)
{
  Navigator.Shuffle = true;
  Start(1, 11);
  const int listings = Host.Listings;
  ASSERT_TRUE(Navigator.PlayRow(Track(1, 12), {}));
  EXPECT_EQ(Host.Listings, listings);
  EXPECT_EQ(Navigator.PlayedItems.Count(), 2);
  ASSERT_TRUE(Navigator.PlayRow(Track(2, 23), {}));
  EXPECT_EQ(Host.Listings, listings + 1);
  EXPECT_EQ(Navigator.PlayedItems.Count(), 1);
  EXPECT_EQ(Navigator.TrackNumber, 3);
  EXPECT_EQ(Navigator.GroupItems.Count(), 3);
}

TEST_F(TMusicNavigatorTest, UpdatePlaying)
{
  Start(1, 12);
  Host.Numbers.clear();
  // Unchanged: the number stays and the player keeps the file.
  Navigator.UpdatePlaying();
  EXPECT_TRUE(Host.Numbers.empty());
  EXPECT_EQ(Host.Tried, (std::vector<int>{12}));
  // A track before it is gone: it moves up one.
  Host.Groups[1] = {12, 13};
  Navigator.UpdatePlaying();
  EXPECT_EQ(Host.Numbers, (std::vector<int>{1}));
  EXPECT_EQ(Navigator.TrackNumber, 1);
  // The track itself is hidden: nothing is current and the player is handed the empty item.
  Host.Groups[1] = {13};
  Host.Tried.clear();
  Navigator.UpdatePlaying();
  EXPECT_EQ(Host.Numbers, (std::vector<int>{1, -1}));
  EXPECT_TRUE(Navigator.CurrentItem.Empty());
  EXPECT_TRUE(Navigator.CurrentGroup.Empty());
  EXPECT_EQ(Host.Tried, (std::vector<int>{-1}));
}

TEST_F(TMusicNavigatorTest, UpdatePlayingSkipsAFileGoneSinceItStarted)
{
  Start(1, 12);
  Host.Unplayable = {12};
  Navigator.UpdatePlaying();
  EXPECT_EQ(Host.Tried, (std::vector<int>{12, 13}));
  EXPECT_EQ(Host.Playing, std::vector<int>{13});
  // Nothing left to play: the skipping ends within one pass over the group and one over the
  // groups, and says so once.
  Host.ForgetSteps();
  Host.Unplayable = {11, 12, 13, 21, 22, 23, 31, 32, 33};
  Navigator.UpdatePlaying();
  EXPECT_LE(Host.Tried.size(), 3U + 9U);
  EXPECT_TRUE(Host.Playing.empty());
  EXPECT_EQ(Host.Nothing.size(), 1U);
}

TEST_F(TMusicNavigatorTest, UpdatePlayingWithNothingCurrentFindsNothing)
{
  // A listing of views or groups carries FileId -1 as well; the empty item must not match it.
  Navigator.UpdatePlaying();
  EXPECT_EQ(Navigator.TrackNumber, -1);
  EXPECT_TRUE(Navigator.CurrentItem.Empty());
  TDbId group = Track(1, -1);
  Navigator.CurrentGroup = group;
  Navigator.UpdatePlaying();
  EXPECT_EQ(Navigator.TrackNumber, -1);
  EXPECT_TRUE(Navigator.CurrentGroup.Empty());
}

}  // namespace
