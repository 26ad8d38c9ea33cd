#include "Music/Music.h"

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "OxaIPC/OxaIpcApplication.h"
#include "OxaIPC/OxaIpcClient.h"
#include "framework/OxaUtils.h"
#include "platform/CommandLine.h"
#include "platform/Processes.h"
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

namespace {

std::string ExecutablePath()
{
  std::vector<char> path(MAX_PATH + 1);
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      return std::string(path.data(), length);
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace

bool TMusicForm::AlreadyRunning()
{
  // The bus unit took the lock at start-up if it could; asking again without waiting tells
  // whether this process holds it.
  if (!LockApplication(0)) {
    return true;
  }
  // A copy at another path may run: it is the "VuDirAzuzo" client on the bus. The bus object
  // goes on every path out of here.
  TOxaIpc ipc(nullptr);
  ipc.SetGroupName("VantelPC");
  ipc.RegisterApplication("VuDirAzuzo", ExecutablePath(), {});
  if (!ipc.Launch("Pyrmel", "", 30000)) {
    return false;  // no host to ask: start normally
  }
  if (!ipc.Open(true)) {
    return false;
  }
  ipc.Unlock();  // nothing below needs it held, and the notification is sent without it
  if (!ipc.Exists(ipc.NameToId("VuDirAzuzo"), 0)) {
    return false;
  }
  TOxaIpcClient client(nullptr);
  client.SetClientName(Format("VuDirAzuzo%d", static_cast<int>(ipc.NewId())));
  client.SetIpc(&ipc);
  if (client.Registered()) {
    // The receiving node takes a file name of 256 bytes and drops anything shorter.
    char name[256] = "test";
    client.Notify("VuDirAzuzo", "PlayFile", sizeof(name), name);
  }
  client.SetIpc(nullptr);
  return true;
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

  FIpc = TOwnedObject<TOxaIpc>(std::make_unique<TOxaIpc>(nullptr).release());
  FIpc->SetGroupName("VantelPC");
  FNode = TComponent::Create<TIpcVuDirAzuzo>(*FIpc);
  FNode->WindowHandle = Handle();
  FNode->SetIpc(FIpc.get());
  // Registering the node happens as the bus opens; a bus that cannot be joined ends the
  // program without a word.
  if (!FIpc->Open(false) || !FIpc->Active()) {
    Application().Terminate();
    return;
  }

  // The player has no owner: the window frees it itself, at its place in the destructor.
  FPlayer = std::make_unique<TOxaMusicPlayer>();
  if (!FPlayer->OpenLibrary()) {
    MessageBoxA(nullptr, DatabaseFailedText, "OxaNetMusic", DatabaseFailedStyle);
    Application().Terminate();
    return;
  }

  ConnectController();
  Running = true;
  Closing = false;

  Show();
  FHackForm->Show();

  // Starting the source node: its window state goes out once, so the host knows it from the start.
  FNode->PublishGui();

  FPlayer->ImportRecorded();
}

TMusicForm::~TMusicForm()
{
  Running = false;
  DisconnectController();
  if (FPlayer) {
    DetachPlayer();
    FPlayer->Database().SetConnected(false);
    FPlayer->Stop();
  }
  if (FIpc) {
    FIpc->Close();
  }
  if (FHackForm != nullptr) {
    FreeObject(std::exchange(FHackForm, nullptr));
  }
  FPlayer.reset();
  FNode = nullptr;
  FIpc.reset();
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
