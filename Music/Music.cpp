#include "Music/Music.h"

#include <cstdlib>

#include "OxaIPC/OxaIpcApplication.h"
#include "platform/CommandLine.h"
#include "platform/Time.h"
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

  Running = true;
  Closing = false;

  Show();
  FHackForm->Show();
}

TMusicForm::~TMusicForm()
{
  Running = false;
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
  action = TCloseAction::caFree;
  Running = false;
  Hide();
}
