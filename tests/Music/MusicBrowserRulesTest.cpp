#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "Music/control/MusicBrowserRules.h"

namespace {

TDbId Id(std::int32_t view, std::int32_t group, std::int32_t file)
{
  TDbId id;
  id.ViewId = view;
  id.GroupId = group;
  id.FileId = file;
  return id;
}

TEST(TMusicBrowserRules, FooterButtonsOfEachPanel)
{
  struct TCase {
    bool Second;
    const char* Name;
    TBrowserCommand Command;
  };
  const TCase cases[] = {
      {false, "ShowList", TBrowserCommand::ShowList},
      {false, "HideList", TBrowserCommand::HideList},
      {false, "ShowEdit", TBrowserCommand::ShowEdit},
      {false, "Hide", TBrowserCommand::DeleteFirst},
      {false, "HideEdit", TBrowserCommand::None},
      {false, "New", TBrowserCommand::None},
      {false, "Delete", TBrowserCommand::None},
      {true, "HideEdit", TBrowserCommand::HideEdit},
      {true, "New", TBrowserCommand::NewPlaylist},
      {true, "Delete", TBrowserCommand::DeleteSecond},
      {true, "Hide", TBrowserCommand::DeleteSecond},
      {true, "ShowList", TBrowserCommand::None},
      {true, "ShowEdit", TBrowserCommand::None},
      {true, "hide", TBrowserCommand::None},
      {false, "", TBrowserCommand::None},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.Name) + (c.Second ? " second" : " first"));
    EXPECT_EQ(BrowserCommandOf(c.Second, c.Name), c.Command);
  }
  EXPECT_TRUE(TakesDroppedRows(TBrowserCommand::DeleteFirst));
  EXPECT_TRUE(TakesDroppedRows(TBrowserCommand::DeleteSecond));
  EXPECT_FALSE(TakesDroppedRows(TBrowserCommand::NewPlaylist));
  EXPECT_FALSE(TakesDroppedRows(TBrowserCommand::None));
}

TEST(TMusicBrowserRules, EachPanelStartsWithTheButtonsOfItsCommands)
{
  const struct {
    bool Second;
    const char* Name;
    std::optional<bool> Shown;
  } cases[] = {
      {false, "ShowList", true},    {false, "HideList", true},  {false, "ShowEdit", true},
      {false, "Hide", true},  // REMOVE, where NEW PLAYLIST would lie over it
      {false, "New", false},        {false, "HideEdit", false}, {false, "Delete", false},
      {true, "HideEdit", true},     {true, "New", true},        {true, "Delete", true},
      {true, "Hide", false},  // shown by the selection rule
      {true, "ShowList", false},    {true, "ShowEdit", false},  {false, "ShowInfo", std::nullopt},
      {true, "Undo", std::nullopt}, {false, "", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Name) + (c.Second ? " second" : " first"));
    EXPECT_EQ(FooterButtonStartsShown(c.Second, c.Name), c.Shown);
  }
}

TEST(TMusicBrowserRules, OnlyFavoriteListsAreEditedAndFavoritesKeepDelete)
{
  struct TCase {
    TDbId Record;
    bool Favorite;
    bool Editable;
  };
  const TCase cases[] = {
      {Id(7, 3, -1), true, true},     // a favorite list
      {Id(7, 3, 12), true, false},    // an entry of a list
      {Id(7, -1, -1), false, false},  // the Playlists view itself
      {Id(7, 0, -1), true, true},     // before the first list: group set
      {Id(2, 3, -1), false, false},   // an album
      {Id(6, 3, -1), false, false},  {Id(8, 3, -1), false, false},
      {Id(2, 3, 12), false, false},  {TDbId{}, false, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.Record.ViewId) + "/" + std::to_string(c.Record.GroupId) + "/" +
                 std::to_string(c.Record.FileId));
    EXPECT_EQ(IsFavoriteRecord(c.Record), c.Favorite);
    EXPECT_EQ(MayEditRecord(c.Record), c.Editable);
    EXPECT_EQ(SelectionHidesDelete(1, c.Record), !c.Favorite);
    EXPECT_FALSE(SelectionHidesDelete(0, c.Record));
  }
}

TEST(TMusicBrowserRules, DropTargets)
{
  const TDbId first = Id(7, 4, 21);
  const TDbId second = Id(7, 4, 22);
  const TDbId third = Id(7, 4, 23);
  const TDbId listA = Id(7, 4, -1);
  const TDbId listB = Id(7, 5, -1);
  struct TCase {
    const char* Name;
    TDbId Row;
    bool After;
    const TDbId* Previous;
    TDbId Target;
  };
  const TCase cases[] = {
      {"after a track", second, true, &first, second},
      {"before row 3 lands after row 2", third, false, &second, second},
      {"before row 2 lands after row 1", second, false, &first, first},
      {"before the group's first row", first, false, nullptr, Id(7, 4, 0)},
      {"after the first row", first, true, nullptr, first},
      {"before the first list", listA, false, nullptr, Id(7, 0, -1)},
      {"before the second list", listB, false, &listA, listA},
      {"after a list", listB, true, &listA, listB},
      {"the root gives none", TDbId{}, false, nullptr, TDbId{}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TDbId target;
    ASSERT_NO_THROW(target = DropTargetOf(c.Row, c.After, c.Previous));
    EXPECT_EQ(target.ViewId, c.Target.ViewId);
    EXPECT_EQ(target.GroupId, c.Target.GroupId);
    EXPECT_EQ(target.FileId, c.Target.FileId);
  }
}

class TFakeDropHost : public TBrowserDropHost {
 public:
  std::int32_t* Busy = nullptr;
  const char* Raise = nullptr;
  bool Result = true;
  std::vector<std::string> Calls;
  std::vector<TDbId> Reloaded;
  std::int32_t BusySeen = -1;

  bool AddToFavorite(const TDbIdList&, const TDbId& target) override { return Operate("Add", target); }
  bool MoveToFavorite(const TDbIdList&, const TDbId& target) override { return Operate("Move", target); }
  void UpdatePlaying() override { Calls.push_back("UpdatePlaying"); }
  void ReloadGroup(const TDbId& group) override
  {
    Calls.push_back("Reload");
    Reloaded.push_back(group);
  }
  void Recover() noexcept override { Calls.push_back("Recover"); }
  void Trace(const char* text) noexcept override { Calls.push_back(text); }

 private:
  bool Operate(const char* name, const TDbId& target)
  {
    BusySeen = *Busy;
    Calls.push_back(std::string(name) + " " + std::to_string(target.GroupId) + "/" +
                    std::to_string(target.FileId));
    if (Raise != nullptr) {
      throw std::runtime_error(Raise);
    }
    return Result;
  }
};

TDbIdList Records()
{
  TDbIdList list;
  list.Add(Id(2, 9, 100));
  list.Add(Id(2, 9, 101));
  return list;
}

TEST(TMusicBrowserRules, DropCopiesOrMovesThenUpdatesAndReloadsTheList)
{
  struct TCase {
    bool Move;
    TDbId Target;
    const char* Call;
    std::int32_t ReloadedGroup;
  };
  const TCase cases[] = {
      {false, Id(7, 4, 22), "Add 4/22", 4},
      {true, Id(7, 4, 22), "Move 4/22", 4},
      {false, Id(7, 4, 0), "Add 4/0", 4},
      // Before the first list: the player makes one list; the whole view is reloaded.
      {false, Id(7, 0, -1), "Add 0/-1", -1},
      {false, Id(7, 4, -1), "Add 4/-1", 4},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Call);
    std::int32_t busy = 0;
    TFakeDropHost host;
    host.Busy = &busy;
    EXPECT_TRUE(ApplyBrowserDrop(host, Records(), c.Target, c.Move, busy));
    EXPECT_EQ(host.BusySeen, 1);
    EXPECT_EQ(busy, 0);
    EXPECT_EQ(host.Calls, (std::vector<std::string>{c.Call, "UpdatePlaying", "Reload"}));
    ASSERT_EQ(host.Reloaded.size(), 1U);
    EXPECT_EQ(host.Reloaded[0].ViewId, 7);
    EXPECT_EQ(host.Reloaded[0].GroupId, c.ReloadedGroup);
    EXPECT_EQ(host.Reloaded[0].FileId, -1);
  }
}

TEST(TMusicBrowserRules, FailedFavoritesOperationAbandonsTheDropAndTheNextOneWorks)
{
  const char* errors[] = {"Target favorite cannot be found", "Newly created favorite can not be added!",
                          "Can not find group in database"};
  for (const char* error : errors) {
    SCOPED_TRACE(error);
    std::int32_t busy = 0;
    TFakeDropHost host;
    host.Busy = &busy;
    host.Raise = error;
    EXPECT_FALSE(ApplyBrowserDrop(host, Records(), Id(7, 4, 22), false, busy));
    EXPECT_EQ(busy, 0);
    ASSERT_EQ(host.Calls.size(), 4U);
    EXPECT_EQ(host.Calls[1], "Recover");
    EXPECT_NE(host.Calls[2].find(error), std::string::npos);
    EXPECT_EQ(host.Calls[3], "Reload");
    EXPECT_EQ(host.Reloaded[0].GroupId, -1);

    host.Raise = nullptr;
    host.Calls.clear();
    EXPECT_TRUE(ApplyBrowserDrop(host, Records(), Id(7, 4, 22), true, busy));
    EXPECT_EQ(host.BusySeen, 1);
    EXPECT_EQ(busy, 0);
  }
}

TEST(TMusicBrowserRules, NothingDraggedDoesNothing)
{
  std::int32_t busy = 0;
  TFakeDropHost host;
  host.Busy = &busy;
  EXPECT_FALSE(ApplyBrowserDrop(host, TDbIdList{}, Id(7, 4, 22), false, busy));
  EXPECT_TRUE(host.Calls.empty());
}

}  // namespace
