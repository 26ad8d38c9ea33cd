#pragma once
// System-wide hot keys: a key the program takes whichever window has the keyboard (a remote's
// media keys while the browser is hidden). WM_HOTKEY is posted to the registering window with the
// hot key's id in wParam and MAKELPARAM(modifiers, virtual key) in lParam, once per press. The
// NumLock and CapsLock states never stop a hot key from firing.

#include "platform/core/WinTypes.h"
#include "platform/windows/Windows.h"

constexpr UINT WM_HOTKEY = 0x0312;
constexpr UINT MOD_ALT = 0x0001;
constexpr UINT MOD_CONTROL = 0x0002;
constexpr UINT MOD_SHIFT = 0x0004;
constexpr UINT MOD_WIN = 0x0008;

// FALSE with ERROR_HOTKEY_ALREADY_REGISTERED when the window already has the id, or another
// program holds the key; with ERROR_INVALID_WINDOW_HANDLE for a window that is not one; with
// ERROR_NOT_SUPPORTED when the display cannot grab keys (the headless back end) or no key of the
// keyboard gives virtualKey.
BOOL RegisterHotKey(HWND window, int id, UINT modifiers, UINT virtualKey);
// FALSE with ERROR_HOTKEY_NOT_REGISTERED when the window has no hot key with the id.
BOOL UnregisterHotKey(HWND window, int id);
