// Builds without X11 support have no X server back end: DISPLAY is ignored.
#include "platform/display/Display.h"

std::unique_ptr<TDisplay> MakeX11Display()
{
  return nullptr;
}
