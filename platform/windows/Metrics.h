#pragma once
// System metrics and monitors: the screen's size and the primary monitor, from the display back
// end (the memory screen when there is no X server: 800 x 600 unless a test chose another).

#include <string>

#include "platform/windows/GdiTypes.h"

struct HWND__;
using HWND = HWND__*;
struct HMONITOR__;
using HMONITOR = HMONITOR__*;

constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;

constexpr DWORD MONITOR_DEFAULTTONULL = 0;
constexpr DWORD MONITOR_DEFAULTTOPRIMARY = 1;
constexpr DWORD MONITOR_DEFAULTTONEAREST = 2;
constexpr DWORD MONITORINFOF_PRIMARY = 1;

struct MONITORINFO {
  DWORD cbSize;
  RECT rcMonitor;
  RECT rcWork;
  DWORD dwFlags;
};

// The metric asked for; 0 for one this layer does not know.
int GetSystemMetrics(int nIndex) noexcept;

// The one monitor this layer knows is the primary one (the X server's primary output when it
// names one, else the whole screen). A window or point off it gets it for
// MONITOR_DEFAULTTOPRIMARY and MONITOR_DEFAULTTONEAREST, null for MONITOR_DEFAULTTONULL.
HMONITOR MonitorFromWindow(HWND window, DWORD flags);
HMONITOR MonitorFromPoint(POINT point, DWORD flags);
// cbSize must be at least sizeof(MONITORINFO).
BOOL GetMonitorInfoA(HMONITOR monitor, MONITORINFO* info);

// What keeps windows from being seen here, before anything connects: "" when DISPLAY names an
// X server or the memory screen was asked for (OXA_DISPLAY=headless, as tests ask), else the
// reason ("DISPLAY is not set"). Without either, windows would go to the memory screen and
// nobody would see them.
std::string MissingDisplay();
