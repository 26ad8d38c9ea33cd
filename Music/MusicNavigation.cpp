// The controller's playing state: navigation through the library, what plays, deleting and
// hiding, the update scan.

#include <cstdlib>
#include <memory>

#include "Music/Music.h"
#include "Music/MusicFormParts.h"
#include "forms/Screen.h"
#include "framework/OxaUtils.h"
#include "platform/Input.h"
#include "platform/Processes.h"

namespace {

// Navigation through the player and the library. The list views, once the window has them,
// take over the shown groups, the marks and the selection; until then the shown groups are the
// library's groups of the form's shown view.
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
  void ShowGroup(const TDbId& group) override { FForm.ShowView(group.ViewId); }
  void RowPlaying(const TDbId& row, TRowReveal reveal) override
  {
    // A view the user chose stays while it can show the playing item (the next track of a
    // folder is found under its album); only an item it cannot show brings its own view back.
    if (row.ViewId != FForm.ShownView() &&
        FForm.Player()->Database().ItemInView(row, FForm.ShownView()).Empty()) {
      FForm.ShowView(row.ViewId);
    }
    FForm.InfoPanelFollows(row);
    // Scrolling is animated only where someone can see it.
    FForm.ShowCurrentInLists(reveal != TRowReveal::Keep, FForm.DisplayMode != 0);
    TIpcVuDirAzuzo* node = FForm.Node();
    if (node != nullptr) {
      node->Status.SetFormatted(row.Caption);
      node->Status.Random = FForm.Navigator().Shuffle ? 1 : 0;
      node->UpdateStatus();
    }
  }
  void MarksChanged() override { FForm.MarkCurrentInLists(); }
  void TrackNumberChanged(int) override
  {
    // The info panel follows the playing track.
    TMusicViewPanel* panel = FForm.MusicViewPanel();
    const TDbId& item = FForm.Navigator().CurrentItem;
    if (panel != nullptr && panel->View()->Player() != nullptr && !item.Empty()) {
      panel->View()->DisplayTrack(item);
    }
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
  if (!Running) {
    return;
  }
  TraceObject(this, "UpdatePlaying");
  FNavigator->UpdatePlaying();
}

void TMusicForm::StepUp()
{
  if (Running) {
    FNavigator->Forward(TStepCause::User);
  }
}

void TMusicForm::StepDown()
{
  if (Running) {
    FNavigator->Backward();
  }
}

void TMusicForm::Wind()
{
  if (Running) {
    FNavigator->Wind();
  }
}

void TMusicForm::Rewind()
{
  if (Running) {
    FNavigator->Rewind();
  }
}

void TMusicForm::ToggleRandom()
{
  if (!Running) {
    return;
  }
  // Each command reports the state it has just set.
  FNavigator->Shuffle = !FNavigator->Shuffle;
  FPlayer->SetRandom(FNavigator->Shuffle);
  FNode->Status.Random = FNavigator->Shuffle ? 1 : 0;
  FNode->UpdateStatus();
  FNode->NotifyRandom(FNavigator->Shuffle);
}

void TMusicForm::ShowInView(std::int32_t view)
{
  if (!Running || FNavigator->CurrentItem.Empty()) {
    return;
  }
  const TDbId item = FPlayer->Database().ItemInView(FNavigator->CurrentItem, view);
  if (item.Empty()) {
    return;
  }
  ShowView(view);
}

void TMusicForm::StartUpdateScan()
{
  if (!Running) {
    return;
  }
  Screen().SetCursor(crHourGlass);
  FPlayer->StartUpdateScan();
  Screen().SetCursor(crDefault);
}

void TMusicForm::DeleteItems(const TDbIdList& items)
{
  if (!Running || items.Count() == 0) {
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
  ReloadLists();
}

std::int32_t TMusicForm::ShownView() const
{
  if (FirstListSlot < 0 || FirstListSlot >= ViewSlotCount) {
    return ViewFolders;
  }
  const TDbId& view = ViewSlots[static_cast<std::size_t>(FirstListSlot)];
  return view.Valid() ? view.ViewId : ViewFolders;
}

void TMusicForm::ShowView(std::int32_t view)
{
  if (view == ShownView() && FirstListSlot >= 0) {
    return;
  }
  for (int slot = 0; slot < ViewSlotCount; ++slot) {
    const TDbId& id = ViewSlots[static_cast<std::size_t>(slot)];
    if (id.Valid() && id.ViewId == view) {
      FirstListSlot = slot;
      FFirstListItems.Clear();
      FPlayer->ListItems(id, FFirstListItems);
      LoadFirstList();
      return;
    }
  }
}
