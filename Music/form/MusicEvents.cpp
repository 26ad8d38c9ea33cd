// The music player's and the scan's events, and the scan panel's buttons.

#include <string>
#include <utility>

#include "Music/control/MusicScanTexts.h"
#include "Music/form/Music.h"
#include "forms/Screen.h"
#include "framework/OxaTimer.h"
#include "framework/OxaUtils.h"
#include "platform/core/OxaAud.h"
#include "platform/windows/Windows.h"
#include "rtl/AnsiText.h"

namespace {

// A database update that finds the browser in a transition is tried again this much later.
constexpr std::uint64_t UpdateRetryDelay = 1000;

}  // namespace

void TMusicForm::PlayerTrackComplete(TObject*)
{
  if (!FActivity.Running) {
    return;
  }
  TraceObject(this, "PlayerTrackComplete");
  if (FMusicViewPanel != nullptr) {
    FMusicViewPanel->View()->MarkFinished();
  }
  FNavigator->Forward(TStepCause::Complete);
}

void TMusicForm::PlayerTrackFailed(TObject*)
{
  if (!FActivity.Running) {
    return;
  }
  TraceObject(this, "PlayerTrackFailed");
  FNavigator->Forward(TStepCause::Failed);
}

void TMusicForm::PlayerPosition(TObject*, std::int32_t tenths)
{
  if (!FActivity.Running) {
    return;
  }
  if (FMusicViewPanel != nullptr) {
    FMusicViewPanel->View()->SetPlayPosition(tenths);
  }
  FStatusFeed.Position(tenths);
  if (FMpris) {
    FMpris->SetPosition(static_cast<std::int64_t>(tenths) * 100000);
  }
}

void TMusicForm::PlayerStateChange(TObject*, BYTE state)
{
  if (!FActivity.Running) {
    return;
  }
  // A track played to its end keeps its item (and its last position) until the next one starts;
  // a stop lets go of it.
  const bool stopped = (state == OxaAudStopped || state == OxaAudClosed) && FPlayer->CurrentItem().Empty();
  FStatusFeed.State(state, stopped);
  PublishOutside();
}

void TMusicForm::PublishTrack()
{
  const TDbId& item = FNavigator->CurrentItem;
  const bool newTrack = FStatusFeed.Track(item, FNavigator->TrackNumber, FNavigator->Shuffle);
  PublishOutside();
  if (!newTrack || FMusicViewPanel == nullptr) {
    return;
  }
  // The slider and the elapsed time start over with the new track (its length comes with it).
  TMusicView* view = FMusicViewPanel->View();
  // With no track left (an update took it away) the view empties rather than keep showing it.
  if (view->Player() != nullptr && (item.Level() == TDbIdLevel::Item || item.Empty())) {
    view->DisplayTrack(item);
  }
  view->SetPlayPosition(0);
  // An open info panel turns to the new track.
  if (InfoPanelShown()) {
    view->Info()->AsyncPaintToControl();
  }
}

void TMusicForm::PublishNothingPlaying()
{
  FStatusFeed.Track(TDbId(), -1, FNavigator->Shuffle);
  PublishOutside();
  if (FMusicViewPanel == nullptr) {
    return;
  }
  TMusicView* view = FMusicViewPanel->View();
  const TDbId& item = FNavigator->CurrentItem;
  if (view->Player() != nullptr && item.Level() == TDbIdLevel::Item) {
    view->DisplayTrack(item);
  }
  view->SetPlayPosition(0);
  if (InfoPanelShown()) {
    view->Info()->AsyncPaintToControl();
  }
}

void TMusicForm::ShowScanProgress(const std::string& text, const std::string& folder)
{
  FActivity.ScanProgressText = text;
  if (FScanView != nullptr) {
    FScanView->SetStatus(text, folder, true);
  }
  // An empty browser for a minute says nothing on a TV: the header says the scan works.
  if (FActivity.ScanInHeader && FPresentation.ScanPanel == 0 && FFirstList != nullptr) {
    TOxaLabel* caption = FFirstList->Header()->CaptionLabel();
    const std::string shown = AnsiUpperCase(text);
    if (caption->Caption() != shown) {
      caption->SetCaption(shown);
      caption->PaintToControl();
    }
  }
}

void TMusicForm::PlayerStep1Progress(TObject*, const std::string& folder, std::int32_t count)
{
  if (FActivity.Running) {
    ShowScanProgress(ScanStep1Text(count), folder);
  }
}

void TMusicForm::PlayerStep2Progress(TObject*, const std::string& folder, std::int32_t seconds)
{
  if (FActivity.Running) {
    ShowScanProgress(ScanStep2Text(seconds), folder);
  }
}

void TMusicForm::DatabaseUpdateProgress(TObject*, const std::string& folder, std::int32_t percent)
{
  if (!FActivity.Running) {
    return;
  }
  ShowScanProgress(ScanStep3Text(percent), folder);
  if (FScanView != nullptr) {
    FScanView->SetProgress(percent);
  }
  if (FBrowserImage != nullptr && FBrowserImage->HandleAllocated()) {
    InvalidateRect(FBrowserImage->Handle(), nullptr, FALSE);
  }
}

bool TMusicForm::ImageBusy() const
{
  // A transition runs on the top image as queued steps while it shows.
  return FTopImage != nullptr && FTopImage->HandleAllocated() && IsWindowVisible(FTopImage->Handle()) &&
         FTopImage->QueuedCallbacks() > 0;
}

void TMusicForm::UpdateDatabaseRetry(TOxaTimer*, std::int32_t, std::uint64_t)
{
  PlayerUpdateDatabase(this);
}

void TMusicForm::PlayerUpdateDatabase(TObject*)
{
  if (!FActivity.Running) {
    return;
  }
  if (ImageBusy()) {
    TraceObject(this, "PlayerUpdateDatabase: Wait");
    const TOxaTimerEvent retry = MakeMethod<&TMusicForm::UpdateDatabaseRetry>(this);
    if (!FTimer->HasTimer(retry)) {
      FTimer->AddTimer(nullptr, 0, retry, GetTickCount64() + UpdateRetryDelay);
    }
    return;
  }
  TraceObject(this, "PlayerUpdateDatabase");
  Screen().SetCursor(crHourGlass);
  FActivity.StatusText = "Updating";
  // A merge that fails part way keeps its committed batches; the views are refreshed anyway.
  FPlayer->UpdateDatabase();
  UpdatePlaying();
  ReloadListsInPlace();
  ShowLibraryNotice();
  FActivity.ScanProgressText.clear();
  if (FScanView != nullptr && FPresentation.ScanPanel != 0) {
    FScanView->Refresh(ScanPanelPrompt);
  }
  if (std::exchange(FActivity.ScanInHeader, false)) {
    ShowEntryCaption();
  }
  FActivity.StatusText.clear();
  Screen().SetCursor(crDefault);
  if (FNavigator->CurrentItem.Empty()) {
    // The next group is shown and made current; playing is the user's to start.
    FNavigator->SelectNextGroup();
  }
}

void TMusicForm::ReloadListsInPlace()
{
  if (FFirstList == nullptr || FPlayer == nullptr) {
    ReloadLists();
    return;
  }
  TMusicListView* list = FFirstList->List();
  TMusicListLoader before = ListLoader(FFirstList);
  const TMusicListViewItem* top = before.FirstVisibleRow();
  const TDbId topRecord = top != nullptr ? top->Payload() : TDbId();
  const TMusicListViewItem* playing = before.FindRow(CurrentItemIn(FFirstList));
  const int view = list->Height() - list->HeaderHeight() - list->FooterHeight();
  const bool playingShown =
      playing != nullptr && TMusicListLoader::RowTop(playing) >= list->ScrollOffset() &&
      TMusicListLoader::RowTop(playing) + playing->Height() <= list->ScrollOffset() + view;
  ReloadLists();
  // Rows above may have come or gone: the line that was on top goes back there.
  TMusicListLoader after = ListLoader(FFirstList);
  if (const TMusicListViewItem* row = topRecord.Empty() ? nullptr : after.FindRow(topRecord)) {
    list->ScrollTo(TMusicListLoader::RowTop(row), false);
  }
  if (playingShown) {
    if (const TMusicListViewItem* row = after.FindRow(CurrentItemIn(FFirstList))) {
      list->ScrollIntoView(row, false);
    }
  }
}

void TMusicForm::ScanPanelStart(TOxaBitmap*)
{
  if (!FActivity.Running) {
    return;
  }
  Screen().SetCursor(crHourGlass);
  if (FPresentation.ScanPanel != 0) {
    ToggleScanPanel(FPresentation.ScanPanel);
  }
  TraceLine("Display a nice animation...");
  FActivity.ScanInHeader = true;
  FPlayer->StartFullScan();
  ShowLibraryNotice();
  Screen().SetCursor(crDefault);
}

void TMusicForm::ScanPanelRemove(TOxaBitmap*)
{
  if (!FActivity.Running) {
    return;
  }
  Screen().SetCursor(crHourGlass);
  FPlayer->RemoveDeletedFolders();
  UpdatePlaying();
  ReloadListsInPlace();
  if (FScanView != nullptr) {
    FScanView->LoadDrives();
  }
  Screen().SetCursor(crDefault);
}

void TMusicForm::ScanPanelUnhide(TOxaBitmap*)
{
  if (!FActivity.Running) {
    return;
  }
  Screen().SetCursor(crHourGlass);
  FPlayer->UnhideFolders();
  FPlayer->StartUpdateScan();
  ShowLibraryNotice();
  Screen().SetCursor(crDefault);
}
