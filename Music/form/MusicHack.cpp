#include "Music/form/MusicHack.h"

TMusicHackForm::TMusicHackForm(TComponent* owner, HWND mainWindow) : TForm(owner), FMainWindow(mainWindow) {}

void TMusicHackForm::CreateParams(TCreateParams& params)
{
  TForm::CreateParams(params);
  params.WinClassName = "TMusicHackForm";
  params.Style = WS_POPUP;
  params.ExStyle = (params.ExStyle | WS_EX_TOOLWINDOW | WS_EX_TOPMOST) & ~WS_EX_APPWINDOW;
}

void TMusicHackForm::WndProc(TMessage& message)
{
  // The activation goes on to the main window; activating windows comes with the display.
  if (message.Msg == WM_ACTIVATE && message.WParam != 0 && FMainWindow != nullptr) {
    message.Result = SendMessageA(FMainWindow, WM_ACTIVATE, message.WParam, 0);
    return;
  }
  TForm::WndProc(message);
}
