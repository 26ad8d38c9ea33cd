#pragma once
// Window classes and windows.
//
// A window belongs to the thread that created it; its messages are handled on that thread
// (Messages.h). A window handle is a 32-bit value naming the owning process (its number on the
// machine's message transport) and the window within it, so it can be stored in 32-bit shared
// records and used from any process: posting and sending to it, IsWindow and
// GetWindowThreadProcessId work across processes. Handles of destroyed windows are not handed
// out again while their number space lasts, so a stale handle fails with
// ERROR_INVALID_WINDOW_HANDLE instead of reaching another window.
//
// A window has a rectangle in its parent's client area (a top-level window: on the screen) and
// no frame: its client area is the whole window. A top-level window keeps its pixels; its
// children draw on them. Shown top-level windows reach the screen through the display back end
// (an X server when DISPLAY is set, else a memory screen), stacked with topmost windows above the
// others and each clipped by its window region.

#include <cstdint>

#include "platform/core/WinTypes.h"
#include "platform/windows/GdiTypes.h"

struct HWND__;
using HWND = HWND__*;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
struct HICON__;
using HICON = HICON__*;
using HCURSOR = HICON;
struct HMENU__;
using HMENU = HMENU__*;
using ATOM = WORD;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using DWORD_PTR = std::uintptr_t;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

// The parent of a message-only window.
inline const HWND HWND_MESSAGE = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-3));

struct WNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  const char* lpszMenuName;
  const char* lpszClassName;
};

// What WM_NCCREATE and WM_CREATE carry in lParam.
struct CREATESTRUCTA {
  void* lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  const char* lpszName;
  const char* lpszClass;
  DWORD dwExStyle;
};

constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_EX_TOPMOST = 0x00000008;
constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080;
constexpr DWORD WS_EX_APPWINDOW = 0x00040000;

constexpr int GWLP_WNDPROC = -4;
constexpr int GWLP_HINSTANCE = -6;
constexpr int GWLP_HWNDPARENT = -8;
constexpr int GWLP_ID = -12;
constexpr int GWL_STYLE = -16;
constexpr int GWL_EXSTYLE = -20;
constexpr int GWLP_USERDATA = -21;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWNOACTIVATE = 4;
constexpr int SW_SHOW = 5;
constexpr int SW_SHOWNA = 8;

constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000);

inline const HWND HWND_TOP = nullptr;
inline const HWND HWND_BOTTOM = reinterpret_cast<HWND>(static_cast<std::intptr_t>(1));
inline const HWND HWND_TOPMOST = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1));
inline const HWND HWND_NOTOPMOST = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-2));

constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOREDRAW = 0x0008;
constexpr UINT SWP_NOACTIVATE = 0x0010;
constexpr UINT SWP_SHOWWINDOW = 0x0040;
constexpr UINT SWP_HIDEWINDOW = 0x0080;

constexpr WPARAM SIZE_RESTORED = 0;

// Packs two 16-bit values as WM_MOVE and WM_SIZE carry them.
constexpr LPARAM MAKELPARAM(int low, int high) noexcept
{
  return static_cast<LPARAM>(static_cast<DWORD>(static_cast<WORD>(low)) |
                             (static_cast<DWORD>(static_cast<WORD>(high)) << 16));
}

// Registers a class for this process; class names compare without regard to case. Returns the
// class atom, or 0 with ERROR_CLASS_ALREADY_EXISTS or ERROR_INVALID_PARAMETER (no name or
// procedure).
ATOM RegisterClassA(const WNDCLASSA* windowClass);
// Fails with ERROR_CLASS_DOES_NOT_EXIST (1411) for an unknown class.
BOOL UnregisterClassA(const char* className, HINSTANCE instance);
// Copies the registration of a class; FALSE with ERROR_CLASS_DOES_NOT_EXIST when unknown.
BOOL GetClassInfoA(HINSTANCE instance, const char* className, WNDCLASSA* windowClass);

// Creates a window on the calling thread. The window procedure receives WM_NCCREATE (a zero
// result refuses the window) and WM_CREATE (-1 refuses it) before this returns. parent may be
// HWND_MESSAGE for a message-only window. Null with ERROR_CANNOT_FIND_WND_CLASS,
// ERROR_INVALID_WINDOW_HANDLE (bad parent) or the last error the refusal left.
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* param);
// Destroys a window of the calling thread and its children: each gets WM_DESTROY (parent
// first) and WM_NCDESTROY (children first); its timers die with it. Fails with
// ERROR_ACCESS_DENIED for a window of another thread.
BOOL DestroyWindow(HWND window);

// The default handling: WM_CLOSE destroys the window, WM_NCCREATE accepts it; everything else
// gives 0.
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcA(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Whether a window exists, in any process of the machine.
BOOL IsWindow(HWND window);
// The creating thread's id, and its process id through processId when that is not null; 0 for a
// window that does not exist.
DWORD GetWindowThreadProcessId(HWND window, DWORD* processId);

// Windows of this process: user data, styles, procedure, id, parent. 0 with
// ERROR_INVALID_WINDOW_HANDLE for an unknown window (or one of another process),
// ERROR_INVALID_PARAMETER (87) for an unknown index. Set returns the previous value.
LONG_PTR GetWindowLongPtrA(HWND window, int index);
LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);

// A top-level window of any process of the machine with that class (compared without regard to
// case) and, unless windowName is null, that title; null when there is none. Top-level windows
// are listed in the machine folder while they live; entries of dead processes are ignored.
HWND FindWindowA(const char* className, const char* windowName);

HWND GetParent(HWND window);
// Returns the previous parent, null on failure.
HWND SetParent(HWND window, HWND newParent);
// Shows or hides (WS_VISIBLE); returns whether the window was visible before. A change sends
// WM_SHOWWINDOW; showing invalidates the whole window and its children.
BOOL ShowWindow(HWND window, int command);
// Whether the window and all its ancestors have WS_VISIBLE.
BOOL IsWindowVisible(HWND window);

// Moves, sizes, restacks, shows or hides a window of this process (after: HWND_TOP,
// HWND_BOTTOM, HWND_TOPMOST, HWND_NOTOPMOST or the window to go below). A new position sends
// WM_MOVE, a new size WM_SIZE (SIZE_RESTORED) and invalidates the window. Negative sizes count as 0.
BOOL SetWindowPos(HWND window, HWND after, int x, int y, int width, int height, UINT flags);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
// The window on the screen, and its client area (0, 0, width, height).
BOOL GetWindowRect(HWND window, RECT* rect);
BOOL GetClientRect(HWND window, RECT* rect);
BOOL ClientToScreen(HWND window, POINT* point);
BOOL ScreenToClient(HWND window, POINT* point);

// The title; Get copies at most size - 1 bytes and a terminating zero and returns the bytes copied.
BOOL SetWindowTextA(HWND window, const char* text);
int GetWindowTextA(HWND window, char* text, int size);
int GetWindowTextLengthA(HWND window);

// Makes region (window coordinates) the window's shape: only its pixels are drawn and shown. The
// system owns the region afterwards (the handle is no longer valid); null restores the whole
// window. Returns nonzero on success.
int SetWindowRgn(HWND window, HRGN region, BOOL redraw);
// Copies the window's region into region; RGN_ERROR (0) when the window has none.
int GetWindowRgn(HWND window, HRGN region);

// Shows a top-level window's client area, kept at its own size, scaled smoothly onto a rectangle
// of the screen (null: unscaled at the window's position again). Its region scales with it.
BOOL SetWindowPresentation(HWND window, const RECT* screen);

// Adds to the update region (client coordinates; null rect or region: the whole client area).
// A window with a non-empty update region gets WM_PAINT once no posted message waits.
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL InvalidateRgn(HWND window, HRGN region, BOOL erase);
BOOL ValidateRect(HWND window, const RECT* rect);
// The bounds of the update region; FALSE when it is empty.
BOOL GetUpdateRect(HWND window, RECT* rect, BOOL erase);
// Sends WM_PAINT now when the update region is not empty.
BOOL UpdateWindow(HWND window);
// Takes the update region: the device context draws only inside it (and the window's visible
// part); WM_ERASEBKGND is sent first when the invalidation asked for erasing. Null for an unknown
// window.
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
// A device context on the window's client area (null window: the screen's, for capabilities and
// compatible objects). What it draws is on the screen when each call returns.
HDC GetDC(HWND window);
HDC GetWindowDC(HWND window);
// 1 when the device context was the window's and is released, 0 for any other.
int ReleaseDC(HWND window, HDC dc);

constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_ICONERROR = 0x00000010;
constexpr UINT MB_TASKMODAL = 0x00002000;
constexpr UINT MB_SETFOREGROUND = 0x00010000;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Shows text under caption and waits for the user: on the X server a small modal window (an OK
// button; Enter, Escape or a click close it; the owner's windows take no input meanwhile). With
// the memory screen, or when no window can be shown, the caption and text become one line on
// standard error and in the platform trace, answered at once. "\n", "\r\n" and "\n\r" each
// break a line. Returns IDOK.
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);
