// The modal message box window.
#include "platform/display/Display.h"
#include "platform/windows/MessageBox.h"

int ShowModalMessageBox(HWND, std::string_view, std::string_view, UINT)
{
  return 0;
}
