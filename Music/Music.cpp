#include "Music/Music.h"

#include <cstdlib>
#include <utility>

#include "OxaIPC/OxaIpcApplication.h"
#include "platform/CommandLine.h"
#include "platform/Time.h"
#include "platform/Windows.h"
#include "rtl/AnsiText.h"

TStartSwitches ReadStartSwitches(const std::vector<std::string>& arguments)
{
  TStartSwitches switches;
  for (const auto& argument : arguments) {
    const std::string word = AnsiUpperCase(argument);
    if (word == "DEBUG") {
      switches.DebugSwitch = true;
    } else if (word == "AFTERINSTALL") {
      switches.AfterInstallSwitch = true;
    } else if (word == "STARTFROMML") {
      switches.StartFromMlSwitch = true;
    }
  }
  return switches;
}

bool TMusicForm::AlreadyRunning()
{
  // The bus unit took the lock at start-up if it could; asking again without waiting tells
  // whether this process holds it.
  return !LockApplication(0);
}

TMusicForm::TMusicForm(TComponent* owner) : TForm(owner)
{
  std::srand(static_cast<unsigned>(GetTickCount()));

  const TStartSwitches switches = ReadStartSwitches(CommandLineArguments());
  DebugSwitch = switches.DebugSwitch;
  AfterInstallSwitch = switches.AfterInstallSwitch;
  StartFromMlSwitch = switches.StartFromMlSwitch;

  HandleNeeded();
  if (const HWND application = Application().Handle(); application != nullptr) {
    const LONG_PTR exStyle = GetWindowLongPtrA(application, GWL_EXSTYLE);
    SetWindowLongPtrA(
        application, GWL_EXSTYLE,
        (exStyle | static_cast<LONG_PTR>(WS_EX_TOOLWINDOW)) & ~static_cast<LONG_PTR>(WS_EX_APPWINDOW));
    const LONG_PTR style = GetWindowLongPtrA(application, GWL_STYLE);
    SetWindowLongPtrA(application, GWL_STYLE, style & ~static_cast<LONG_PTR>(WS_SYSMENU));
  }
  OnClose = MakeMethod<&TMusicForm::FormClose>(this);

  FHackForm = TComponent::Create<TMusicHackForm>(*this, Handle());

  // The player has no owner: the window frees it itself, at its place in the destructor.
  FPlayer = std::make_unique<TOxaMusicPlayer>();
  if (!FPlayer->OpenLibrary()) {
    MessageBoxA(nullptr, DatabaseFailedText, "OxaNetMusic", DatabaseFailedStyle);
    Application().Terminate();
    return;
  }

  Running = true;
  Closing = false;

  Show();
  FHackForm->Show();

  FPlayer->ImportRecorded();
}

TMusicForm::~TMusicForm()
{
  Running = false;
  if (FPlayer) {
    DetachPlayer();
    FPlayer->Database().SetConnected(false);
    FPlayer->Stop();
  }
  if (FHackForm != nullptr) {
    FreeObject(std::exchange(FHackForm, nullptr));
  }
  FPlayer.reset();
}

void TMusicForm::DetachPlayer() noexcept
{
  FPlayer->OnBeforePlay = nullptr;
  FPlayer->OnStateChange = nullptr;
  FPlayer->OnTrackComplete = nullptr;
  FPlayer->OnTrackFailed = nullptr;
  FPlayer->OnPosition = nullptr;
  FPlayer->OnScanEnded = nullptr;
  FPlayer->OnStep1Progress = nullptr;
  FPlayer->OnUpdateDatabase = nullptr;
  FPlayer->OnStep2Progress = nullptr;
  FPlayer->OnScanStopped = nullptr;
}

void TMusicForm::CreateParams(TCreateParams& params)
{
  TForm::CreateParams(params);
  params.WinClassName = "TMusicForm";
  params.Caption = "OxaNetMusic";
  params.Style = WS_POPUP;
  params.ExStyle = (params.ExStyle | WS_EX_TOOLWINDOW | WS_EX_TOPMOST) & ~WS_EX_APPWINDOW;
  params.Width = 0;
  params.Height = 0;
}

void TMusicForm::FormClose(TObject*, TCloseAction& action)
{
  Closing = true;
  if (FPlayer) {
    FPlayer->SaveLastPlayed(FPlayer->CurrentItem());
  }
  if (FPlayer) {
    DetachPlayer();
    FPlayer->Stop();
    // Disconnecting writes the closed stamp.
    FPlayer->Database().SetConnected(false);
  }
  action = TCloseAction::caFree;
  Running = false;
  Hide();
}
