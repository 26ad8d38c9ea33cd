// The controller's playing state: navigation through the library, what plays, deleting and
// hiding, the update scan.

#include <cstdlib>
#include <memory>
#include <vector>

#include "Music/form/Music.h"
#include "Music/form/MusicFormParts.h"
#include "forms/Screen.h"
#include "framework/OxaUtils.h"
#include "platform/objects/Processes.h"
#include "platform/windows/Input.h"

namespace {

// Navigation through the player and the lists: the groups walked are the group rows of the
// active list, and a group found there becomes its current group.
class TFormNavigationHost : public TMusicNavigationHost {
 public:
  explicit TFormNavigationHost(TMusicForm& form) : FForm(form) {}

  bool ListItems(const TDbId& group, TDbIdList& items) override
  {
    return FForm.Player()->ListItems(group, items);
  }
  bool PlayItem(const TDbId& item, bool keepIfSame) override
  {
    return FForm.Player()->PlayItem(item, keepIfSame);
  }
  void ShownGroups(TDbIdList& entries, int& current) override
  {
    entries.Clear();
    current = -1;
    if (TMusicListViewEx* list = FForm.ActiveList()) {
      TMusicListLoader loader = FForm.ListLoader(list);
      const std::vector<TMusicListViewItem*> heads = loader.GroupRows();
      if (!heads.empty()) {
        const TMusicListViewItem* active = loader.ActiveGroupRow();
        for (const TMusicListViewItem* head : heads) {
          if (head == active) {
            current = entries.Count();
          }
          entries.Add(head->Payload());
        }
        return;
      }
    }
    // A list without rows yet: the library's groups of the shown view.
    TDbId view;
    view.ViewId = FForm.ShownView();
    FForm.Player()->ListItems(view, entries);
    const TDbId& group = FForm.Navigator().CurrentGroup;
    current = group.ViewId == FForm.ShownView() ? entries.IndexOfGroup(group.GroupId) : -1;
  }
  int RandomBelow(int count) override
  {
    return static_cast<int>(static_cast<double>(std::rand()) / (static_cast<double>(RAND_MAX) + 1.0) * count);
  }
  void ShowGroup(const TDbId& group) override
  {
    // The group becomes the list's current one; the selection is the user's and stays.
    TMusicListViewEx* list = FForm.ActiveList();
    if (list == nullptr) {
      return;
    }
    TMusicListLoader loader = FForm.ListLoader(list);
    if (TMusicListViewItem* head = loader.FindRow(group)) {
      loader.SetActiveGroup(head);
      list->List()->ScrollIntoView(head, FForm.DisplayMode() != 0);
    }
  }
  void RowPlaying(const TDbId&, TRowReveal reveal) override
  {
    // A click plays a row under the mouse: it is in view already.
    FForm.ShowCurrentInLists(reveal == TRowReveal::Scroll, FForm.DisplayMode() != 0);
    FForm.PublishTrack();
  }
  void NothingPlays(const TDbId&, TRowReveal reveal) override
  {
    // The lists show where the skipping stopped: the next step goes on from that row.
    FForm.ShowCurrentInLists(reveal == TRowReveal::Scroll, FForm.DisplayMode() != 0);
    FForm.PublishNothingPlaying();
  }
  void MarksChanged() override
  {
    FForm.MarkCurrentInLists();
    // An update that took the current track away leaves nothing to report.
    FForm.PublishTrack();
  }
  void TrackNumberChanged(int) override
  {
    // The info panel follows the playing track.
    TMusicViewPanel* panel = FForm.MusicViewPanel();
    const TDbId& item = FForm.Navigator().CurrentItem;
    if (panel != nullptr && panel->View()->Player() != nullptr && !item.Empty()) {
      panel->View()->DisplayTrack(item);
    }
    FForm.PublishTrack();
  }
  bool HoldsMouse() override
  {
    // Only a button held on one of the program's own windows stops the skipping.
    const HWND foreground = GetForegroundWindow();
    DWORD process = 0;
    GetWindowThreadProcessId(foreground, &process);
    return foreground != nullptr && process == GetCurrentProcessId() && IsMouseButtonDown();
  }
  void Busy(bool on) override
  {
    FDepth += on ? 1 : -1;
    Screen().SetCursor(FDepth > 0 ? crHourGlass : crDefault);
  }

 private:
  TMusicForm& FForm;
  int FDepth = 0;
};

}  // namespace

std::unique_ptr<TMusicNavigationHost> MakeFormNavigationHost(TMusicForm& form)
{
  return std::make_unique<TFormNavigationHost>(form);
}

void TMusicForm::UpdatePlaying()
{
  if (!FActivity.Running) {
    return;
  }
  TraceObject(this, "UpdatePlaying");
  FNavigator->UpdatePlaying();
}

void TMusicForm::StepUp()
{
  if (FActivity.Running) {
    FNavigator->Forward(TStepCause::User);
  }
}

void TMusicForm::StepDown()
{
  if (FActivity.Running) {
    FNavigator->Backward();
  }
}

void TMusicForm::Wind()
{
  if (FActivity.Running) {
    FNavigator->Wind();
  }
}

void TMusicForm::Rewind()
{
  if (FActivity.Running) {
    FNavigator->Rewind();
  }
}

void TMusicForm::ToggleRandom()
{
  if (!FActivity.Running) {
    return;
  }
  // Each command reports the state it has just set.
  FNavigator->Shuffle = !FNavigator->Shuffle;
  FPlayer->SetRandom(FNavigator->Shuffle);
  FNode->Status.Random = FNavigator->Shuffle ? 1 : 0;
  FNode->UpdateStatus();
  FNode->NotifyRandom(FNavigator->Shuffle);
  PublishOutside();
}

void TMusicForm::ShowInView(std::int32_t view)
{
  if (!FActivity.Running) {
    return;
  }
  if (FPresentation.DisplayMode == 3) {
    SecondListMode3Keys();
  }
  if (FNavigator->CurrentItem.Empty()) {
    return;
  }
  const TDbId item = FPlayer->Database().ItemInView(FNavigator->CurrentItem, view);
  if (item.Empty()) {
    return;
  }
  ShowView(view);
  if (FFirstList == nullptr) {
    return;
  }
  // The item's row, its group open, in view and selected.
  TMusicListViewItem* row = ListLoader(FFirstList).ShowItem(item, true, FPresentation.DisplayMode != 0);
  if (row != nullptr) {
    TMusicListView* list = FFirstList->List();
    list->ClearSelection();
    list->Select(row);
  }
}

void TMusicForm::SecondListMode3Keys()
{
  // The key turns the first list to another view: the second list is left settled, its edit
  // committed and its selection dropped, so no later Delete acts on rows the user has left.
  if (FSecondList == nullptr) {
    return;
  }
  TMusicListView* list = FSecondList->List();
  if (list->EditRow() != nullptr) {
    list->SetEditRow(nullptr);
  }
  list->ClearSelection();
}

bool TMusicForm::FirstListMode3Action(TDisplayListViewItem* row)
{
  // Return on the first list's current row adds it (with the selection it belongs to) to the
  // favorite list the second list is on: its current list, else its first open one, else a new
  // list named after the row's group.
  if (row == nullptr || FFirstList == nullptr || FSecondList == nullptr || FPlayer == nullptr ||
      ListView(FSecondList) != ViewPlaylists || row->Payload().Empty()) {
    return false;
  }
  TMusicListLoader loader = ListLoader(FSecondList);
  const TMusicListViewItem* target = loader.ActiveGroupRow();
  for (const TMusicListViewItem* head : loader.GroupRows()) {
    if (target == nullptr && TMusicListLoader::IsOpen(head)) {
      target = head;
    }
  }
  TDbId where;
  if (target != nullptr) {
    where = target->Payload();
  } else {
    where.ViewId = ViewPlaylists;
    where.GroupId = 0;
  }
  TMusicListView* list = FFirstList->List();
  TDbIdList records;
  if (list->IsSelected(row)) {
    records = list->SelectedRecords();
  } else {
    records.Add(row->Payload());
  }
  bool added = false;
  try {
    added = FPlayer->AddToFavorite(records, where);
  } catch (const std::exception& error) {
    TraceObject(this, "%s", std::string(error.what()));
    FPlayer->Database().FreeEditors();
  }
  TDbId view;
  view.ViewId = ViewPlaylists;
  ReloadGroup(view);
  return added;
}

void TMusicForm::StartUpdateScan()
{
  if (!FActivity.Running) {
    return;
  }
  Screen().SetCursor(crHourGlass);
  FPlayer->StartUpdateScan();
  ShowLibraryNotice();
  Screen().SetCursor(crDefault);
}

void TMusicForm::DeleteItems(const TDbIdList& items)
{
  if (!FActivity.Running || items.Count() == 0) {
    return;
  }
  if (items.Get(0).ViewId == ViewPlaylists) {
    FPlayer->RemoveFromFavorites(items);
  } else {
    // The tracks of a selected group go with it.
    std::vector<TDbId> tracks;
    TDbIdList listed;
    for (const TDbId& item : items.Items()) {
      if (item.Level() == TDbIdLevel::Item) {
        tracks.push_back(item);
      } else if (item.Level() == TDbIdLevel::Group && FPlayer->ListItems(item, listed)) {
        tracks.insert(tracks.end(), listed.Items().begin(), listed.Items().end());
      }
    }
    FPlayer->Database().HideItems(tracks);
  }
  // Both branches: a hidden or removed track must neither stay current nor be picked next.
  UpdatePlaying();
  ReloadListsInPlace();
}

std::int32_t TMusicForm::ShownView() const
{
  if (FPosition.FirstListSlot < 0 || FPosition.FirstListSlot >= ViewSlotCount) {
    return ViewFolders;
  }
  const TDbId& view = FPosition.ViewSlots[static_cast<std::size_t>(FPosition.FirstListSlot)];
  return view.Valid() ? view.ViewId : ViewFolders;
}

void TMusicForm::ShowView(std::int32_t view)
{
  // A view put into the first list is where navigation goes on.
  SetActiveList(FFirstList);
  if (view == ShownView() && FPosition.FirstListSlot >= 0) {
    return;
  }
  for (int slot = 0; slot < ViewSlotCount; ++slot) {
    const TDbId& id = FPosition.ViewSlots[static_cast<std::size_t>(slot)];
    if (id.Valid() && id.ViewId == view) {
      FPosition.FirstListSlot = slot;
      FFirstListItems.Clear();
      FPlayer->ListItems(id, FFirstListItems);
      LoadFirstList();
      return;
    }
  }
}

void TMusicForm::SetActiveList(TMusicListViewEx* list)
{
  TMusicListViewEx* previous = ActiveList();
  if (list == nullptr || list == previous) {
    return;
  }
  FActiveList = list;
  // The list left behind keeps its playing mark, not its current group and row.
  if (previous != nullptr && FPlayer != nullptr) {
    ListLoader(previous).SetActiveGroup(nullptr);
  }
}

TMusicListViewEx* TMusicForm::FocusedList() const
{
  // A selection in a list that does not show (hidden, or under the scan panel's full
  // presentation) is never acted on.
  const bool covered = FPresentation.ScanPanel == 2;
  const bool firstShows = FFirstList != nullptr && FPresentation.DisplayMode != 0 && !covered;
  const bool secondShows = FSecondList != nullptr && FPresentation.DisplayMode == 3 && !covered;
  // The list holding the focus wins when it has a selection; the focus alone does not hide a
  // selection the user made in the other list (a list takes the focus as a mode shows it).
  if (FBrowserImage != nullptr) {
    for (const TOxaBitmap* node = FBrowserImage->Focused(); node != nullptr; node = node->Parent()) {
      if (node == FFirstList || node == FSecondList) {
        const bool shows = node == FFirstList ? firstShows : secondShows;
        TMusicListViewEx* list = node == FFirstList ? FFirstList : FSecondList;
        if (shows && list->List()->SelectedCount() > 0) {
          return list;
        }
        break;
      }
    }
  }
  if (firstShows && FFirstList->List()->SelectedCount() > 0) {
    return FFirstList;
  }
  if (secondShows && FSecondList->List()->SelectedCount() > 0) {
    return FSecondList;
  }
  return nullptr;
}

void TMusicForm::StartItemOrWind()
{
  if (!FActivity.Running) {
    return;
  }
  // Shuffle starts on only with a start item to shuffle from; the stored "Random" (read as the
  // controller connected) stays as it is.
  FNavigator->Shuffle = FNavigator->Shuffle && !FStartItem.Empty();
  if (FStartItem.Empty() || FNavigator->CurrentItem.Empty()) {
    // Nothing to resume: the next group is shown and made current, nothing plays by itself.
    FNavigator->SelectNextGroup();
    return;
  }
  if (FNavigator->Shuffle) {
    FNavigator->Forward(TStepCause::Complete);
  }
}
