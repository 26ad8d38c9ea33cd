#include "framework/OxaUtils.h"
#include "platform/windows/Messages.h"

LRESULT SendMessageEx(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD timeout, bool block)
{
  if (!block && timeout == INFINITE) {
    return SendMessageA(window, message, wParam, lParam);
  }
  DWORD_PTR result = 0;
  if (SendMessageTimeoutA(window, message, wParam, lParam, block ? SMTO_BLOCK : SMTO_NORMAL, timeout,
                          &result) == 0) {
    return 0;
  }
  return static_cast<LRESULT>(result);
}
