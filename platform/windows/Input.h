#pragma once
// The mouse and the keyboard: input messages, capture, focus and activation, cursors.
//
// Input reaches the program as messages in the queue of the thread that owns the target window,
// after posted messages and before painting, so Application.OnMessage sees every key and click
// before it is dispatched. Their MSG.time is on the GetTickCount clock and MSG.pt is the cursor
// position (screen) when the input happened.
//
// The mouse goes to the window that captured it, else to the deepest shown window under the
// pointer, honouring window regions and the stacking order; windows of other programs hide ours
// on the X server. Moves are coalesced: a move waiting in the queue is replaced by a newer one for
// the same window. Keys go to the focus window, else to the active window; a key without a
// virtual-key code is dropped. A window whose top-level window is disabled (WS_DISABLED) takes no
// clicks and no keys. Input for windows destroyed meanwhile is dropped.
//
// Focus, the active window and the capture belong to the process (one set for all its threads).
// Activation moves between the program's own windows with WM_ACTIVATE only; WM_ACTIVATEAPP comes
// when it moves to or from another process.

#include <cstddef>
#include <cstdint>

#include "platform/windows/Windows.h"

using SHORT = std::int16_t;
using ULONG_PTR = std::uintptr_t;

constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;
constexpr UINT CS_DBLCLKS = 0x0008;

// Mouse message wParam flags.
constexpr WPARAM MK_LBUTTON = 0x0001;
constexpr WPARAM MK_RBUTTON = 0x0002;
constexpr WPARAM MK_SHIFT = 0x0004;
constexpr WPARAM MK_CONTROL = 0x0008;
constexpr WPARAM MK_MBUTTON = 0x0010;
constexpr int WHEEL_DELTA = 120;

constexpr WPARAM WA_INACTIVE = 0;
constexpr WPARAM WA_ACTIVE = 1;
constexpr WPARAM WA_CLICKACTIVE = 2;

constexpr LPARAM HTCLIENT = 1;

// Virtual-key codes.
constexpr int VK_LBUTTON = 0x01;
constexpr int VK_RBUTTON = 0x02;
constexpr int VK_MBUTTON = 0x04;
constexpr int VK_BACK = 0x08;
constexpr int VK_TAB = 0x09;
constexpr int VK_RETURN = 0x0D;
constexpr int VK_SHIFT = 0x10;
constexpr int VK_CONTROL = 0x11;
constexpr int VK_MENU = 0x12;
constexpr int VK_PAUSE = 0x13;
constexpr int VK_CAPITAL = 0x14;
constexpr int VK_ESCAPE = 0x1B;
constexpr int VK_SPACE = 0x20;
constexpr int VK_PRIOR = 0x21;
constexpr int VK_NEXT = 0x22;
constexpr int VK_END = 0x23;
constexpr int VK_HOME = 0x24;
constexpr int VK_LEFT = 0x25;
constexpr int VK_UP = 0x26;
constexpr int VK_RIGHT = 0x27;
constexpr int VK_DOWN = 0x28;
constexpr int VK_INSERT = 0x2D;
constexpr int VK_DELETE = 0x2E;
constexpr int VK_MULTIPLY = 0x6A;
constexpr int VK_ADD = 0x6B;
constexpr int VK_SUBTRACT = 0x6D;
constexpr int VK_DIVIDE = 0x6F;
constexpr int VK_F1 = 0x70;
constexpr int VK_F12 = 0x7B;
constexpr int VK_F24 = 0x87;
constexpr int VK_NUMLOCK = 0x90;
constexpr int VK_APPS = 0x5D;
constexpr int VK_MEDIA_NEXT_TRACK = 0xB0;
constexpr int VK_MEDIA_PREV_TRACK = 0xB1;
constexpr int VK_MEDIA_STOP = 0xB2;
constexpr int VK_MEDIA_PLAY_PAUSE = 0xB3;
constexpr int VK_LAUNCH_MEDIA_SELECT = 0xB5;
// Media keys of X keyboards that have no Win32 code, on codes Win32 leaves unassigned.
constexpr int VK_OXA_MEDIA_PAUSE = 0x97;
constexpr int VK_OXA_MEDIA_FORWARD = 0x98;
constexpr int VK_OXA_MEDIA_REWIND = 0x99;
constexpr int VK_OXA_MEDIA_SHUFFLE = 0x9A;

constexpr int SM_SWAPBUTTON = 23;
constexpr int SM_CXDOUBLECLK = 36;
constexpr int SM_CYDOUBLECLK = 37;

// Two presses of a button on the same window of a class with CS_DBLCLKS make a double click
// (WM_xBUTTONDBLCLK for the second) when they are at most this far apart in time and at most
// SM_CXDOUBLECLK / SM_CYDOUBLECLK pixels apart each way.
UINT GetDoubleClickTime() noexcept;

// The capture: every mouse message goes to this window (a window of the calling thread) until it
// is released, also when the pointer leaves it (the X server grabs the pointer). The window that
// loses the capture gets WM_CAPTURECHANGED (lParam: the new capture window). Returns the previous
// capture window.
HWND SetCapture(HWND window);
BOOL ReleaseCapture();
HWND GetCapture();

constexpr DWORD TME_LEAVE = 0x00000002;
constexpr DWORD TME_CANCEL = 0x80000000;
struct TRACKMOUSEEVENT {
  DWORD cbSize;
  DWORD dwFlags;
  HWND hwndTrack;
  DWORD dwHoverTime;
};
// TME_LEAVE: the window gets one WM_MOUSELEAVE when the pointer leaves it (at once when it is not
// over it now); TME_CANCEL with TME_LEAVE drops the request. Also found by GetProcAddress on
// "user32.dll".
BOOL TrackMouseEvent(TRACKMOUSEEVENT* track);

// The deepest shown window of this process under the screen point, honouring regions and the
// stacking order; null where none is (or where a window of another program covers ours).
HWND WindowFromPoint(POINT point);
BOOL GetCursorPos(POINT* point);
// Moves the pointer; the window under it gets WM_MOUSEMOVE.
BOOL SetCursorPos(int x, int y);

constexpr DWORD MOUSEEVENTF_MOVE = 0x0001;
constexpr DWORD MOUSEEVENTF_LEFTDOWN = 0x0002;
constexpr DWORD MOUSEEVENTF_LEFTUP = 0x0004;
constexpr DWORD MOUSEEVENTF_RIGHTDOWN = 0x0008;
constexpr DWORD MOUSEEVENTF_RIGHTUP = 0x0010;
constexpr DWORD MOUSEEVENTF_MIDDLEDOWN = 0x0020;
constexpr DWORD MOUSEEVENTF_MIDDLEUP = 0x0040;
constexpr DWORD MOUSEEVENTF_WHEEL = 0x0800;
constexpr DWORD MOUSEEVENTF_ABSOLUTE = 0x8000;
// Synthesised mouse input, queued for the program's own window under the pointer as if the user
// had done it; it never reaches another program. dx, dy: a relative move, or with
// MOUSEEVENTF_ABSOLUTE a position on the screen scaled to 0..65535. data: the wheel delta.
void mouse_event(DWORD flags, DWORD dx, DWORD dy, DWORD data, ULONG_PTR extraInfo);

// The key's state as of the last message the calling thread took from its queue: the high bit
// (0x8000 as a SHORT: negative) when down, bit 0 when toggled. GetAsyncKeyState: down right now.
SHORT GetKeyState(int virtualKey);
SHORT GetAsyncKeyState(int virtualKey);

// The keyboard focus: the window gets WM_SETFOCUS (wParam: the window that lost it), the one that
// loses it WM_KILLFOCUS (wParam: the new one). Focusing a window activates its top-level window.
// Returns the previous focus window; null focus takes the keyboard away from every window.
HWND SetFocus(HWND window);
HWND GetFocus();
// Activates a top-level window of this process (WM_ACTIVATE; the default handling focuses it).
// Returns the previously active window.
HWND SetActiveWindow(HWND window);
HWND GetActiveWindow();
// The active window of the machine: the program's windows in any process and, on the X server,
// the window the window manager calls active.
HWND GetForegroundWindow();
// Activates the window, in this process or another process of the program (which activates it
// itself), and raises it on the screen.
BOOL SetForegroundWindow(HWND window);

// Cursors: the program's cursor resources (see RegisterCursorResource), the stock ones.
inline const char* const IDC_ARROW = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(32512));
inline const char* const IDC_WAIT = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(32514));
// LoadCursorA(nullptr, IDC_ARROW / IDC_WAIT): the stock cursors. With an instance: the cursor
// resource of that name or number (a number n passed as the pointer value n). Null with
// ERROR_RESOURCE_NAME_NOT_FOUND (1814) for an unknown one.
HCURSOR LoadCursorA(HINSTANCE instance, const char* name);
// Shows the cursor over the program's windows; returns the previous one. While the mouse is
// captured no WM_SETCURSOR is sent, so the cursor set stays for the whole drag.
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();

// A cursor resource of the program: 32-bit ARGB pixels (rows top down, 0xAARRGGBB), its size
// and hotspot. Registered under a name or a number (MAKEINTRESOURCE style). Replaces an earlier
// one of the same name. False for a size of 0 or over 256, or too few pixels.
bool RegisterCursorResource(const char* name, int width, int height, int hotspotX, int hotspotY,
                            const std::uint32_t* argb, std::size_t pixelCount);
