// The form's side of the lists' rows: which view each list shows, and when its rows are built
// again.

#include "Music/form/Music.h"
#include "Music/form/MusicFormParts.h"

TMusicListLoader TMusicForm::ListLoader(TMusicListViewEx* list)
{
  TOxaMusicPlayer* player = FPlayer.get();
  return TMusicListLoader(*list->List(), [player](const TDbId& group, TDbIdList& items) {
    return player != nullptr && player->ListItems(group, items);
  });
}

std::int32_t TMusicForm::ListView(const TMusicListViewEx* list) const
{
  const int slot = list == FFirstList    ? FPosition.FirstListSlot
                   : list == FSecondList ? FPosition.SecondListSlot
                                         : -1;
  if (slot < 0 || slot >= ViewSlotCount) {
    return -1;
  }
  const TDbId& view = FPosition.ViewSlots[static_cast<std::size_t>(slot)];
  return view.Valid() ? view.ViewId : -1;
}

void TMusicForm::LoadFirstList()
{
  if (FFirstList == nullptr || FPlayer == nullptr || FPosition.FirstListSlot < 0) {
    return;
  }
  FFirstList->Header()->SetCurrentView(SlotKind(FPosition.FirstListSlot));
  ListLoader(FFirstList).Load(FFirstListItems, SlotKind(FPosition.FirstListSlot));
  ShowCurrentInLists(true);
}

void TMusicForm::ReloadLists(std::int32_t onlyView)
{
  if (FPlayer == nullptr) {
    return;
  }
  const struct {
    TMusicListViewEx* List;
    int Slot;
    TDbIdList& Items;
  } lists[] = {{FFirstList, FPosition.FirstListSlot, FFirstListItems},
               {FSecondList, FPosition.SecondListSlot, FSecondListItems}};
  for (const auto& entry : lists) {
    if (entry.List == nullptr || entry.Slot < 0 || entry.Slot >= ViewSlotCount ||
        (onlyView >= 0 && ListView(entry.List) != onlyView)) {
      continue;
    }
    entry.Items.Clear();
    const TDbId& view = FPosition.ViewSlots[static_cast<std::size_t>(entry.Slot)];
    if (view.Valid()) {
      FPlayer->ListItems(view, entry.Items);
    }
    ListLoader(entry.List)
        .Reload(entry.Items, SlotKind(entry.Slot), CurrentItemIn(entry.List), entry.List == ActiveList());
  }
}

TDbId TMusicForm::CurrentItemIn(const TMusicListViewEx* list)
{
  // A track of the Folders view is found in the Albums view under its album, and so on.
  TDbId item = FPosition.CurrentItem;
  const std::int32_t view = ListView(list);
  if (item.Level() == TDbIdLevel::Item && view >= 0 && item.ViewId != view) {
    item = FPlayer->Database().ItemInView(item, view);
  }
  return item;
}

void TMusicForm::MarkCurrentInLists()
{
  if (FPlayer == nullptr) {
    return;
  }
  for (TMusicListViewEx* list : {FFirstList, FSecondList}) {
    if (list != nullptr) {
      ListLoader(list).MarkPlaying(CurrentItemIn(list), list == ActiveList());
    }
  }
}

void TMusicForm::ShowCurrentInLists(bool reveal, bool animate)
{
  if (FPlayer == nullptr || FFirstList == nullptr) {
    return;
  }
  // The active list opens the item's group; the other only marks a row it already holds.
  for (TMusicListViewEx* list : {FFirstList, FSecondList}) {
    if (list == ActiveList()) {
      ListLoader(list).ShowItem(CurrentItemIn(list), reveal, animate);
    } else if (list != nullptr) {
      ListLoader(list).MarkPlaying(CurrentItemIn(list), false);
    }
  }
}

void TMusicForm::FitLists()
{
  for (TMusicListViewEx* list : {FFirstList, FSecondList}) {
    if (list != nullptr) {
      ListLoader(list).Fit();
    }
  }
}

std::string TMusicForm::GroupCoverFile(const TDbId& group)
{
  std::string path;
  TDbIdList items;
  if (FPlayer && FPlayer->Database().GetItems(group, items) && items.Count() > 0) {
    FPlayer->Database().FilePathOf(items.Get(0).FileId, path);
  }
  return path;
}

void TMusicForm::ListViewChosen(TOxaBitmap* sender)
{
  for (TMusicListViewEx* list : {FFirstList, FSecondList}) {
    if (list == nullptr || list->Header() != sender) {
      continue;
    }
    const int slot = static_cast<int>(list->Header()->ChosenView());
    if (slot <= 0 || slot >= ViewSlotCount || !FPosition.ViewSlots[static_cast<std::size_t>(slot)].Valid()) {
      return;
    }
    TraceObject(this, "ListViewChosen: %d", slot);
    if (list == FFirstList) {
      FPosition.FirstListSlot = -1;  // a view chosen again is loaded again
      ShowView(FPosition.ViewSlots[static_cast<std::size_t>(slot)].ViewId);
    } else {
      FPosition.SecondListSlot = slot;
      list->Header()->SetCurrentView(SlotKind(slot));
      ReloadLists();
    }
    return;
  }
}
