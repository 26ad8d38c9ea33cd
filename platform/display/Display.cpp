#include "platform/display/Display.h"

#include "platform/display/detail/X11Display.h"
#include "platform/windows/DisplayBackEnd.h"
#include "platform/windows/Modules.h"
#include "platform/windows/Windows.h"

void InstallDisplay()
{
  SetServerDisplayMaker(&MakeX11Display);
  AddBuiltInUser32Export("MessageBoxA", reinterpret_cast<FARPROC>(&MessageBoxA));
}

void UseX11Display()
{
  ReplaceDisplay(MakeX11Display());
}
