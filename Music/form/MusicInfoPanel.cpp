// The track info panel beside the lists: opened and closed from the footers and its own CLOSE
// INFO, fed with the track and the player's position. Also the lists' answer to rows dragged
// below their rows.

#include "Music/control/MusicBrowserRules.h"
#include "Music/form/Music.h"

namespace {

// The track the panel opens on: the first selected track row of a list, first list first.
TDbId SelectedTrack(const TMusicListViewEx* panel)
{
  if (panel == nullptr) {
    return {};
  }
  const TDbIdList selected = panel->List()->SelectedRecords();
  for (const TDbId& record : selected.Items()) {
    if (record.Level() == TDbIdLevel::Item) {
      return record;
    }
  }
  return {};
}

}  // namespace

void TMusicForm::ConnectInfoPanel()
{
  if (FMusicViewPanel == nullptr) {
    return;
  }
  TOxaMusicInfo* info = FMusicViewPanel->View()->Info();
  // Without its fonts and images the panel would open blank.
  if (FInfoAssets != nullptr && FMusicAssets != nullptr) {
    info->SetAssets(*FInfoAssets, *FMusicAssets);
  }
  info->OnHide = MakeMethod<&TMusicForm::InfoPanelClosed>(this);
}

void TMusicForm::DisconnectInfoPanel() noexcept
{
  if (FMusicViewPanel != nullptr) {
    FMusicViewPanel->View()->Info()->OnHide = nullptr;
  }
}

bool TMusicForm::InfoPanelShown() const noexcept
{
  return FMusicViewPanel != nullptr && FMusicViewPanel->View()->InfoShown();
}

void TMusicForm::ShowInfoPanel(bool show)
{
  if (!FActivity.Running || FMusicViewPanel == nullptr) {
    return;
  }
  TMusicView* view = FMusicViewPanel->View();
  if (show && view->Player() != nullptr) {
    TDbId track = SelectedTrack(FFirstList);
    if (track.Empty()) {
      track = SelectedTrack(FSecondList);
    }
    if (track.Empty() && FNavigator) {
      track = FNavigator->CurrentItem;
    }
    view->DisplayTrack(track);
  }
  view->ShowInfo(show);
  for (TMusicListViewEx* panel : {FFirstList, FSecondList}) {
    if (panel == nullptr) {
      continue;
    }
    if (TOxaButton* button = panel->Footer()->Button("ShowInfo"); button != nullptr) {
      button->SetVisible(!show);
    }
    if (TOxaButton* button = panel->Footer()->Button("HideInfo"); button != nullptr) {
      button->SetVisible(show);
    }
  }
  // The lists take what the panel leaves of the browser.
  PresentLists(FPresentation.DisplayMode);
  if (FBrowserImage != nullptr) {
    FBrowserImage->Invalidate();
  }
}

void TMusicForm::InfoPanelClosed(TOxaBitmap*)
{
  ShowInfoPanel(false);
}

bool TMusicForm::ListTakesDropAtEnd(const TMusicListViewEx* panel) const
{
  return FActivity.Running && FActivity.DropBusy == 0 && !DropAtEndTargetOf(ListView(panel)).Empty();
}
