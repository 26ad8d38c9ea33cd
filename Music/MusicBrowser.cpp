// What the browser's own controls do: the footer buttons of both panels, clicks, drops and
// in-place edits on the lists, new playlists, and rows dropped on the delete buttons.

#include <exception>
#include <span>
#include <string>
#include <utility>

#include "Music/Music.h"
#include "Music/MusicBrowserRows.h"
#include "Music/MusicBrowserRules.h"
#include "Music/MusicStart.h"
#include "forms/Screen.h"
#include "framework/OxaUtils.h"

namespace {

// The buttons that take dropped rows, by panel.
constexpr const char* FirstPanelDeleteButtons[] = {"Hide"};
constexpr const char* SecondPanelDeleteButtons[] = {"Delete", "Hide"};

// The favorites operations and the reloads of a drop, through the window.
class TFormDropHost : public TBrowserDropHost {
 public:
  explicit TFormDropHost(TMusicForm& form) : FForm(form) {}
  bool AddToFavorite(const TDbIdList& records, const TDbId& target) override
  {
    return FForm.Player()->AddToFavorite(records, target);
  }
  bool MoveToFavorite(const TDbIdList& records, const TDbId& target) override
  {
    return FForm.Player()->MoveToFavorite(records, target);
  }
  void UpdatePlaying() override { FForm.UpdatePlaying(); }
  void ReloadGroup(const TDbId& group) override { FForm.ReloadGroup(group); }
  void Recover() noexcept override { FForm.Player()->Database().FreeEditors(); }
  void Trace(const char* text) noexcept override { TraceObject(&FForm, "%s", text); }

 private:
  TMusicForm& FForm;
};

}  // namespace

void TMusicForm::ConnectBrowser()
{
  for (TMusicListViewEx* panel : {FFirstList, FSecondList}) {
    if (panel == nullptr) {
      continue;
    }
    panel->OnButtonClick = MakeMethod<&TMusicForm::BrowserButtonClick>(this);
    if (panel == FFirstList) {
      panel->Header()->OnViewChanged = MakeMethod<&TMusicForm::HeaderViewChanged>(this);
    }
    TMusicListView* list = panel->List();
    list->OnItemClick = MakeMethod<&TMusicForm::ListItemClick>(this);
    list->OnDrop = MakeMethod<&TMusicForm::ListDrop>(this);
    list->OnEdited = MakeMethod<&TMusicForm::ListEdited>(this);
    list->OnSelectionChanged = MakeMethod<&TMusicForm::ListSelectionChanged>(this);
    const bool second = panel == FSecondList;
    for (const char* name : second ? std::span<const char* const>(SecondPanelDeleteButtons)
                                   : std::span<const char* const>(FirstPanelDeleteButtons)) {
      if (TOxaButton* button = panel->Footer()->Button(name); button != nullptr) {
        button->OnDragOver = MakeMethod<&TMusicForm::DeleteButtonDragOver>(this);
        button->OnDragLeave = MakeMethod<&TMusicForm::DeleteButtonDragLeave>(this);
        button->OnDragDrop = MakeMethod<&TMusicForm::DeleteButtonDragDrop>(this);
      }
    }
  }
}

void TMusicForm::DisconnectBrowser() noexcept
{
  // A removal still queued finds no source and does nothing.
  FPendingRemovalSource = nullptr;
  for (TMusicListViewEx* panel : {FFirstList, FSecondList}) {
    if (panel == nullptr) {
      continue;
    }
    panel->OnButtonClick = nullptr;
    panel->Header()->OnViewChanged = nullptr;
    TMusicListView* list = panel->List();
    list->OnItemClick = nullptr;
    list->OnDrop = nullptr;
    list->OnEdited = nullptr;
    list->OnSelectionChanged = nullptr;
  }
}

TMusicListView* TMusicForm::LiveList(const TDisplayListView* list) const noexcept
{
  for (TMusicListViewEx* panel : {FFirstList, FSecondList}) {
    if (panel != nullptr && list != nullptr && panel->List() == list) {
      return panel->List();
    }
  }
  return nullptr;
}

void TMusicForm::LoadListRows(TMusicListViewEx* panel, int slot)
{
  if (panel == nullptr || slot < 0 || slot >= ViewSlotCount ||
      !ViewSlots[static_cast<std::size_t>(slot)].Valid()) {
    return;
  }
  TDbIdList groups;
  FPlayer->ListItems(ViewSlots[static_cast<std::size_t>(slot)], groups);
  LoadGroupRows(*panel->List(), groups, SlotKind(slot));
}

void TMusicForm::ReloadGroup(const TDbId& group)
{
  const TBrowserListing listing = [this](const TDbId& id, TDbIdList& items) {
    return FPlayer->ListItems(id, items);
  };
  for (TMusicListViewEx* panel : {FFirstList, FSecondList}) {
    if (panel == nullptr) {
      continue;
    }
    const int slot = panel == FFirstList ? FirstListSlot : SecondListSlot;
    if (slot < 0 || slot >= ViewSlotCount ||
        ViewSlots[static_cast<std::size_t>(slot)].ViewId != group.ViewId) {
      continue;
    }
    TMusicListView& list = *panel->List();
    if (group.Level() == TDbIdLevel::View) {
      // The open groups stay open.
      std::vector<TDbId> open;
      for (TDisplayListViewItem* row : GroupRows(list)) {
        if (GroupRowOpen(*row)) {
          open.push_back(row->Payload());
        }
      }
      LoadListRows(panel, slot);
      for (const TDbId& id : open) {
        if (TDisplayListViewItem* row = FindRow(list, id); row != nullptr) {
          OpenGroupRow(list, *row, listing);
        }
      }
    } else if (TDisplayListViewItem* row = FindRow(list, group); row != nullptr && GroupRowOpen(*row)) {
      OpenGroupRow(list, *row, listing);
    }
    panel->AsyncPaintToControl();
  }
}

std::string TMusicForm::RecordCaption(const TDbId& record)
{
  return FPlayer != nullptr ? FPlayer->Database().GetCaption(record) : std::string();
}

bool TMusicForm::RowMayBeEdited(const TDisplayListViewItem* row)
{
  return row != nullptr && MayEditRecord(row->Payload());
}

bool TMusicForm::RowMayBeDragged(const TDisplayListViewItem* row) const
{
  // Every record may be dragged; nothing while a drop is being applied.
  return row != nullptr && !row->Payload().Empty() && DropBusy == 0;
}

bool TMusicForm::RowTakesDrops(const TDisplayListViewItem* row) const
{
  // Only the favorites take rows: the lists and their entries.
  return row != nullptr && row->Payload().ViewId == ViewPlaylists && DropBusy == 0;
}

void TMusicForm::BrowserButtonClick(TOxaBitmap* sender, TOxaButton* button)
{
  if (!Running || button == nullptr) {
    return;
  }
  const bool second = FSecondList != nullptr && sender == FSecondList;
  switch (BrowserCommandOf(second, button->Name())) {
    case TBrowserCommand::ShowList:
      SetDisplayMode(2);
      break;
    case TBrowserCommand::HideList:
      SetDisplayMode(0);
      ReturnToCurrentItem(false);
      break;
    case TBrowserCommand::ShowEdit:
      SetDisplayMode(3);
      break;
    case TBrowserCommand::HideEdit:
      SetDisplayMode(2);
      ReturnToCurrentItem(true);
      break;
    case TBrowserCommand::NewPlaylist:
      NewPlaylist();
      break;
    case TBrowserCommand::DeleteFirst:
      DeleteSelected(FFirstList != nullptr ? FFirstList->List() : nullptr);
      break;
    case TBrowserCommand::DeleteSecond:
      DeleteSelected(FSecondList != nullptr ? FSecondList->List() : nullptr);
      break;
    case TBrowserCommand::None:
      break;
  }
}

void TMusicForm::DeleteSelected(TDisplayListView* list)
{
  if (list == nullptr || list->SelectedCount() == 0) {
    return;
  }
  const TDbIdList records = list->SelectedRecords();
  DeleteItems(records);
  ReloadGroup(TDbId{records.Get(0).ViewId, -1, -1, {}, {}, 0});
}

void TMusicForm::ReturnToCurrentItem(bool bringIntoView)
{
  if (!Running || FFirstList == nullptr || FNavigator->CurrentItem.Empty()) {
    return;
  }
  TDbId item = FNavigator->CurrentItem;
  if (item.ViewId != ShownView()) {
    item = FPlayer->Database().ItemInView(item, ShownView());
    if (item.Empty()) {
      return;
    }
  }
  TMusicListView& list = *FFirstList->List();
  if (GroupRows(list).empty()) {
    LoadListRows(FFirstList, FirstListSlot);
  }
  TDbId group = item;
  group.FileId = -1;
  TDisplayListViewItem* groupRow = FindRow(list, group);
  if (groupRow == nullptr) {
    return;
  }
  if (!GroupRowOpen(*groupRow)) {
    OpenGroupRow(list, *groupRow,
                 [this](const TDbId& id, TDbIdList& items) { return FPlayer->ListItems(id, items); });
  }
  TDisplayListViewItem* row = FindRow(list, item);
  if (row == nullptr) {
    return;
  }
  TPlayRowOptions options;
  options.KeepIfSame = true;
  options.Reveal = bringIntoView ? TRowReveal::Scroll : TRowReveal::Keep;
  list.SetActiveRow(row);
  if (bringIntoView) {
    list.ScrollIntoView(row, false);
  }
  FNavigator->PlayRow(row->Payload(), options);
}

void TMusicForm::NewPlaylist()
{
  if (!Running) {
    return;
  }
  TDbId created;
  created.Caption = FPlayer->NewPlaylistName();
  FPlayer->CreatePlaylist(created);
  if (created.ViewId != ViewPlaylists || created.GroupId == -1) {
    return;
  }
  TDbId view;
  view.ViewId = ViewPlaylists;
  ReloadGroup(view);
  if (FSecondList == nullptr) {
    return;
  }
  TMusicListView& list = *FSecondList->List();
  TDisplayListViewItem* row = FindRow(list, created);
  if (row == nullptr) {
    return;
  }
  OpenGroupRow(list, *row,
               [this](const TDbId& id, TDbIdList& items) { return FPlayer->ListItems(id, items); });
  list.SetActiveRow(row);
  list.ScrollIntoView(row, false);
  FFirstList->AsyncPaintToControl();
  FSecondList->AsyncPaintToControl();
}

void TMusicForm::ListItemClick(TDisplayListView* sender, TDisplayListViewItem* row, TShiftState, int, int)
{
  TMusicListView* list = LiveList(sender);
  if (!Running || list == nullptr || row == nullptr) {
    return;
  }
  const TDbId record = row->Payload();
  if (record.Level() == TDbIdLevel::Group) {
    if (GroupRowOpen(*row)) {
      CloseGroupRow(*list, *row);
    } else {
      OpenGroupRow(*list, *row,
                   [this](const TDbId& id, TDbIdList& items) { return FPlayer->ListItems(id, items); });
    }
    list->AsyncPaintToControl();
    return;
  }
  if (record.Level() == TDbIdLevel::Item) {
    TPlayRowOptions options;
    options.Reveal = TRowReveal::AtMouse;
    list->SetActiveRow(row);
    FNavigator->PlayRow(record, options);
  }
}

void TMusicForm::ListDrop(TDisplayListView* sender, const TDisplayListViewDrop& drop)
{
  TMusicListView* target = LiveList(sender);
  if (!Running || target == nullptr || drop.Target == nullptr || DropBusy != 0) {
    return;
  }
  const TDisplayListViewItem* previous = drop.After ? nullptr : PreviousRowInGroup(*drop.Target);
  const TDbId previousRecord = previous != nullptr ? previous->Payload() : TDbId{};
  const TDbId where =
      DropTargetOf(drop.Target->Payload(), drop.After, previous != nullptr ? &previousRecord : nullptr);
  if (where.Empty()) {
    return;
  }
  TMusicListView* source = LiveList(drop.Source);
  const TDbIdList records = source != nullptr ? source->SelectedRecords() : drop.Payloads;
  TFormDropHost host(*this);
  Screen().SetCursor(crHourGlass);
  ApplyBrowserDrop(host, records, where, source == target, DropBusy);
  Screen().SetCursor(crDefault);
}

void TMusicForm::ListEdited(TDisplayListView*, TDisplayListViewItem* row)
{
  if (!Running || row == nullptr || !RowMayBeEdited(row) || row->Caption().empty()) {
    return;
  }
  TDbId record = row->Payload();
  record.Caption = row->Caption();
  TDbIdList renamed;
  renamed.Add(record);
  FPlayer->RenamePlaylists(renamed);
  TDbId kept = row->Payload();
  kept.Caption = row->Caption();
  row->SetPayload(kept);
}

void TMusicForm::ListSelectionChanged(TOxaBitmap* sender)
{
  auto* list = dynamic_cast<TDisplayListView*>(sender);
  if (!Running || list == nullptr || FSecondList == nullptr || list->SelectedCount() == 0) {
    return;
  }
  TOxaButton* remove = FSecondList->Footer()->Button("Hide");
  TOxaButton* del = FSecondList->Footer()->Button("Delete");
  const bool hideDelete = SelectionHidesDelete(list->SelectedCount(), list->SelectedRecords().Get(0));
  if (del != nullptr) {
    del->SetVisible(!hideDelete);
  }
  if (remove != nullptr && hideDelete) {
    remove->SetVisible(true);
  }
}

void TMusicForm::DeleteButtonDragOver(TOxaBitmap* sender, TOxaBitmap* source, int, int)
{
  auto* drag = dynamic_cast<TMusicListViewDrag*>(source);
  auto* button = dynamic_cast<TOxaButton*>(sender);
  if (drag == nullptr || button == nullptr) {
    return;
  }
  drag->SetCursor(TDisplayListView::CursorDrag);
  button->SetActive(true);
}

void TMusicForm::DeleteButtonDragLeave(TOxaBitmap* sender, TOxaBitmap* source, int, int)
{
  auto* drag = dynamic_cast<TMusicListViewDrag*>(source);
  auto* button = dynamic_cast<TOxaButton*>(sender);
  if (drag == nullptr || button == nullptr) {
    return;
  }
  drag->SetCursor(TDisplayListView::CursorNoCanDo);
  button->SetActive(false);
}

void TMusicForm::DeleteButtonDragDrop(TOxaBitmap* sender, TOxaBitmap* source, int, int)
{
  auto* drag = dynamic_cast<TMusicListViewDrag*>(source);
  if (!Running || drag == nullptr || LiveList(drag->Source) == nullptr) {
    return;
  }
  if (auto* button = dynamic_cast<TOxaButton*>(sender); button != nullptr) {
    button->SetActive(false);
  }
  // The box is spent here: it drops into no list.
  drag->SetVisible(false);
  FPendingRemovalSource = drag->Source;
  TOxaImage* control = sender->Control();
  if (control != nullptr) {
    // Queued on the source list: freeing the list drops the removal with it.
    control->QueueCallback(drag->Source, MakeMethod<&TMusicForm::QueuedRemoval>(this));
  } else {
    QueuedRemoval(nullptr, drag->Source);
  }
}

void TMusicForm::QueuedRemoval(TOxaImage*, TOxaBitmap*)
{
  TDisplayListView* source = LiveList(std::exchange(FPendingRemovalSource, nullptr));
  if (!Running || source == nullptr) {
    return;
  }
  DeleteSelected(source);
}

void TMusicForm::HeaderViewChanged(TOxaBitmap*)
{
  if (!Running || FFirstList == nullptr) {
    return;
  }
  const int slot = static_cast<int>(FFirstList->Header()->ChosenView());
  if (slot >= 0 && slot < ViewSlotCount && ViewSlots[static_cast<std::size_t>(slot)].Valid()) {
    ShowView(ViewSlots[static_cast<std::size_t>(slot)].ViewId);
  }
}
