// The source node's events: the host opening and closing the source, its remote keys, and its
// requests to show, hide and scan.

#include <cstring>
#include <string>

#include "Music/control/MusicKeyTable.h"
#include "Music/control/MusicRemoteCommands.h"
#include "Music/form/Music.h"
#include "Music/form/MusicFormParts.h"
#include "framework/OxaTimer.h"
#include "framework/OxaUtils.h"
#include "platform/core/Time.h"
#include "platform/windows/Input.h"
#include "platform/windows/Windows.h"

namespace {

// The host asks for play at once with this first open parameter.
constexpr std::int32_t OpenToPlay = 1;
// How long after the host closed the source the window closes.
constexpr std::uint64_t CloseDelay = 400;

}  // namespace

void TMusicForm::ConnectController()
{
  FNavigationHost = MakeFormNavigationHost(*this);
  FNavigator = std::make_unique<TMusicNavigator>(*FNavigationHost, FPosition.CurrentItem);
  FTimer = TComponent::Create<TOxaTimer>(*this);
  // Shuffle is read with the start item's settings (one look at the settings file).

  FNode->OnOpen = MakeMethod<&TMusicForm::NodeOpen>(this);
  FNode->OnClose = MakeMethod<&TMusicForm::NodeClose>(this);
  FNode->OnStepUp = MakeMethod<&TMusicForm::NodeKey<TSourceKey::StepUp>>(this);
  FNode->OnStepDown = MakeMethod<&TMusicForm::NodeKey<TSourceKey::StepDown>>(this);
  FNode->OnWind = MakeMethod<&TMusicForm::NodeKey<TSourceKey::Wind>>(this);
  FNode->OnRewind = MakeMethod<&TMusicForm::NodeKey<TSourceKey::Rewind>>(this);
  FNode->OnGo = MakeMethod<&TMusicForm::NodeKey<TSourceKey::Go>>(this);
  FNode->OnPlay = MakeMethod<&TMusicForm::NodeKey<TSourceKey::Play>>(this);
  FNode->OnStop = MakeMethod<&TMusicForm::NodeKey<TSourceKey::Stop>>(this);
  FNode->OnDigit = MakeMethod<&TMusicForm::NodeKey<TSourceKey::Digit>>(this);
  FNode->OnControlYellow = MakeMethod<&TMusicForm::NodeKey<TSourceKey::ControlYellow>>(this);
  FNode->OnControlGreen = MakeMethod<&TMusicForm::NodeKey<TSourceKey::ControlGreen>>(this);
  FNode->OnControlBlue = MakeMethod<&TMusicForm::NodeKey<TSourceKey::ControlBlue>>(this);
  FNode->OnControlRed = MakeMethod<&TMusicForm::NodeKey<TSourceKey::ControlRed>>(this);
  FNode->OnMenu = MakeMethod<&TMusicForm::NodeKey<TSourceKey::Menu>>(this);
  FNode->OnRandom = MakeMethod<&TMusicForm::NodeKey<TSourceKey::Random>>(this);
  FNode->OnKeyDown = MakeMethod<&TMusicForm::NodeKeyDown>(this);
  FNode->OnKeyUp = MakeMethod<&TMusicForm::NodeKeyUp>(this);
  FNode->OnKeyPress = MakeMethod<&TMusicForm::NodeKeyPress>(this);
  FNode->OnDisplay = MakeMethod<&TMusicForm::NodeDisplay>(this);
  FNode->OnHide = MakeMethod<&TMusicForm::NodeHide>(this);
  FNode->OnPlayFile = MakeMethod<&TMusicForm::NodePlayFile>(this);
  FNode->OnInfo = MakeMethod<&TMusicForm::NodeInfo>(this);
  FNode->OnScan = MakeMethod<&TMusicForm::NodeScan>(this);
  FNode->OnUpdateScan = MakeMethod<&TMusicForm::NodeUpdateScan>(this);
  FNode->OnTrackRecorded = MakeMethod<&TMusicForm::NodeTrackRecorded>(this);
  FNode->OnHostShown = MakeMethod<&TMusicForm::NodeHostShown>(this);
  FNode->OnHostHidden = MakeMethod<&TMusicForm::NodeHostHidden>(this);

  FPlayer->OnTrackComplete = MakeMethod<&TMusicForm::PlayerTrackComplete>(this);
  FPlayer->OnTrackFailed = MakeMethod<&TMusicForm::PlayerTrackFailed>(this);
  FPlayer->OnPosition = MakeMethod<&TMusicForm::PlayerPosition>(this);
  FPlayer->OnStateChange = MakeMethod<&TMusicForm::PlayerStateChange>(this);
  FPlayer->OnStep1Progress = MakeMethod<&TMusicForm::PlayerStep1Progress>(this);
  FPlayer->OnStep2Progress = MakeMethod<&TMusicForm::PlayerStep2Progress>(this);
  FPlayer->OnUpdateDatabase = MakeMethod<&TMusicForm::PlayerUpdateDatabase>(this);
  FPlayer->Database().OnUpdateProgress = MakeMethod<&TMusicForm::DatabaseUpdateProgress>(this);

  if (FScanView != nullptr) {
    FScanView->OnStart = MakeMethod<&TMusicForm::ScanPanelStart>(this);
    FScanView->OnRemove = MakeMethod<&TMusicForm::ScanPanelRemove>(this);
    FScanView->OnUnhide = MakeMethod<&TMusicForm::ScanPanelUnhide>(this);
  }

  Application().OnMessage = MakeMethod<&TMusicForm::ApplicationMessage>(this);
}

void TMusicForm::DisconnectController() noexcept
{
  if (Application().OnMessage.Object() == static_cast<void*>(this)) {
    Application().OnMessage = nullptr;
  }
  if (FNode != nullptr) {
    FNode->OnOpen = nullptr;
    FNode->OnClose = nullptr;
    for (TSourceKeyEvent& event : FNode->OnKey) {
      event = nullptr;
    }
    FNode->OnKeyDown = nullptr;
    FNode->OnKeyUp = nullptr;
    FNode->OnKeyPress = nullptr;
    FNode->OnDisplay = nullptr;
    FNode->OnHide = nullptr;
    FNode->OnPlayFile = nullptr;
    FNode->OnInfo = nullptr;
    FNode->OnScan = nullptr;
    FNode->OnUpdateScan = nullptr;
    FNode->OnTrackRecorded = nullptr;
    FNode->OnHostShown = nullptr;
    FNode->OnHostHidden = nullptr;
  }
  if (FPlayer) {
    FPlayer->Database().OnUpdateProgress = nullptr;
  }
  if (FScanView != nullptr) {
    FScanView->OnStart = nullptr;
    FScanView->OnRemove = nullptr;
    FScanView->OnUnhide = nullptr;
  }
}

void TMusicForm::Play()
{
  if (!FActivity.Running || FPlayer->Resume()) {
    return;
  }
  // With only a group made current (start-up, after an update) play begins at its start. A
  // file that is gone fails at once and is skipped as one the player reports failed.
  if (FNavigator->CurrentItem.Empty()) {
    FNavigator->Forward();
  } else if (!FPlayer->PlayItem(FNavigator->CurrentItem, true)) {
    FNavigator->Forward(TStepCause::Failed);
  }
}

template <TSourceKey Key>
void TMusicForm::NodeKey(TObject*, std::int32_t, std::int32_t extra)
{
  // The host's keys queue up on the bus while the program is busy; moves that come too late
  // are dropped, as the keypad's are.
  const std::optional<DWORD> sent = FNode->KeyTime();
  if (sent && DroppedWhenStale(RemoteAction(Key)) && !KeyIsFresh(*sent, GetTickCount())) {
    TraceObject(this, "NodeKey: stale key %d dropped", static_cast<int>(Key));
    return;
  }
  RemoteKey(Key, extra);
}

void TMusicForm::RemoteKey(TSourceKey key, std::int32_t extra)
{
  if (!FActivity.Running) {
    return;
  }
  NoteUserInput();
  switch (RemoteAction(key)) {
    case TRemoteAction::StepUp:
      StepUp();
      break;
    case TRemoteAction::StepDown:
      StepDown();
      break;
    case TRemoteAction::Wind:
      Wind();
      break;
    case TRemoteAction::Rewind:
      Rewind();
      break;
    case TRemoteAction::Play:
      Play();
      break;
    case TRemoteAction::Stop:
      FPlayer->Stop();
      break;
    case TRemoteAction::Digit:
      if (const auto character = DigitCharacter(extra)) {
        TypeCharacter(*character);
      }
      break;
    case TRemoteAction::ShowInView:
      ShowInView(ColourKeyView(key));
      break;
    case TRemoteAction::Menu:
      SetDisplayMode(MenuDisplayMode(FPresentation.DisplayMode));
      break;
    case TRemoteAction::Random:
      ToggleRandom();
      break;
    case TRemoteAction::None:
      break;
  }
}

void TMusicForm::ReportStatus()
{
  FNode->Status.Random = FNavigator->Shuffle ? 1 : 0;
  FNode->Status.SetFormatted(FNavigator->CurrentItem.Caption);
}

void TMusicForm::NodeOpen(TObject*)
{
  if (!FActivity.Running || FActivity.Closing) {
    return;  // the source stays closed
  }
  const bool again = FNode->ActiveState() == 1;
  FNode->SetActiveState(1);
  ++FActivity.ActivationCount;
  ReportStatus();
  FNode->SetGuiMode2(FPresentation.ScanPanel == 2);
  if (FNode->OpenParameters().A == OpenToPlay) {
    // The favorites first; the folders when no list plays.
    // From the view's first entry on: no group of the list is current.
    for (const std::int32_t view : {ViewPlaylists, ViewFolders}) {
      ShowView(view);
      FNavigator->CurrentGroup = TDbId();
      ListLoader(FFirstList).SetActiveGroup(nullptr);
      if (FNavigator->Wind()) {
        break;
      }
    }
    ReportStatus();
    return;
  }
  if (!again) {
    SetDisplayMode(ActivatedDisplayMode(FPresentation.DisplayMode, FActivity.ActivationCount));
  }
}

void TMusicForm::NodeClose(TObject*)
{
  if (!FActivity.Running) {
    return;
  }
  FNode->SetActiveState(0);
  FTimer->CancelTimers(MakeMethod<&TMusicForm::CloseTimeout>(this));
  FTimer->AddTimer(nullptr, 0, MakeMethod<&TMusicForm::CloseTimeout>(this), GetTickCount64() + CloseDelay);
}

void TMusicForm::CloseTimeout(TOxaTimer*, std::int32_t, std::uint64_t)
{
  if (FActivity.Running) {
    Close();
  }
}

void TMusicForm::NodeDisplay(TObject*, const void* record)
{
  if (!FActivity.Running) {
    return;
  }
  TSourceDisplay display{};
  std::memcpy(&display, record, sizeof(display));
  FNode->Display = display;
  if (display.Hidden == 0) {
    ShowBrowser();
  } else {
    HideBrowser();
  }
}

void TMusicForm::NodeHide(TObject*, const void*, std::int32_t& answer)
{
  if (!FActivity.Running) {
    return;
  }
  // The host asks outright: a browser the user holds (mode 2) or edits in (mode 3) goes too;
  // only the idle follow-up waits for a browser called up briefly.
  HideBrowser();
  SetDisplayMode(HiddenMode);
  answer = 1;
}

void TMusicForm::ShowBrowser()
{
  char text[256] = {};
  const HWND foreground = GetForegroundWindow();
  if (foreground != nullptr) {
    GetWindowTextA(foreground, text, sizeof(text));
  }
  TraceObject(this, "IpcPyrmelShow: Foregroundwindow : %s", std::string(text));
  ArrangeWindows();
}

void TMusicForm::HideBrowser()
{
  TraceObject(this, "IpcPyrmelHide");
  ArrangeWindows();
  // What follows the hidden state: a browser the user called up briefly (mode 1) goes once the
  // user leaves it idle.
  IdleCheck(GetTickCount64());
}

void TMusicForm::NodePlayFile(TObject*, const std::uint8_t* payload, std::uint32_t size)
{
  if (!FActivity.Running) {
    return;
  }
  const std::string text(reinterpret_cast<const char*>(payload),
                         strnlen(reinterpret_cast<const char*>(payload), size));
  TraceObject(this, "NodePlayFile: %s", text.c_str());
  // A file the library knows plays; any other text (a second start sends "test") only brings
  // the browser forward.
  const TDbId item = text.empty() ? TDbId() : FPlayer->Database().FindFileByPath(text, ViewFolders);
  if (!item.Empty()) {
    // The file is shown where the library has it: its folder in the first list.
    ShowView(ViewFolders);
    FNavigator->PlayRow(item, {});
  }
  // Forward first: the activation raises the black main window, which the browser then covers.
  Application().Restore();
  if (FPresentation.DisplayMode == 0) {
    SetDisplayMode(2);
  }
  ArrangeWindows();
}

void TMusicForm::NodeInfo(TObject*, std::int32_t, std::int32_t)
{
  if (FActivity.Running) {
    ToggleScanPanel(1);
  }
}

void TMusicForm::NodeScan(TObject*, std::int32_t, std::int32_t)
{
  if (FActivity.Running) {
    ToggleScanPanel(2);
  }
}

void TMusicForm::NodeUpdateScan(TObject*, std::int32_t, std::int32_t)
{
  StartUpdateScan();
}

void TMusicForm::NodeTrackRecorded(TObject*)
{
  if (FActivity.Running) {
    FPlayer->ImportRecorded();
  }
}

void TMusicForm::NodeHostShown(TObject*)
{
  if (!FActivity.Running) {
    return;
  }
  FActivity.HostDisplayOn = true;
  // The scan panel goes at once, without its animation; its state alone would leave it shown.
  if (FPresentation.ScanPanel != 0) {
    FPresentation.ScanPanel = 0;
    PresentScanPanel();
    PresentDisplay(FPresentation.DisplayMode);
  }
  if (FPresentation.DisplayMode == 1 || FPresentation.DisplayMode == 3) {
    SetDisplayMode(2);
  }
}

void TMusicForm::NodeHostHidden(TObject*)
{
  if (FActivity.Running) {
    FActivity.HostDisplayOn = false;
  }
}
