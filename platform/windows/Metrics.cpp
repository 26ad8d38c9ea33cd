#include "platform/windows/Metrics.h"

#include "platform/core/LastError.h"
#include "platform/windows/DisplayBackEnd.h"
#include "platform/windows/Input.h"
#include "platform/windows/Region.h"
#include "platform/windows/Windows.h"

namespace {

const HMONITOR PrimaryMonitor = reinterpret_cast<HMONITOR>(static_cast<std::uintptr_t>(0x00010001));

HMONITOR Choose(bool onPrimary, DWORD flags)
{
  return onPrimary || flags != MONITOR_DEFAULTTONULL ? PrimaryMonitor : nullptr;
}

}  // namespace

int GetSystemMetrics(int nIndex) noexcept
{
  switch (nIndex) {
    case SM_CXSCREEN:
      return ActiveDisplay().ScreenSize().cx;
    case SM_CYSCREEN:
      return ActiveDisplay().ScreenSize().cy;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
      return 4;
    default:
      // SM_SWAPBUTTON too: the X server's pointer map already makes button 1 the primary one.
      return 0;
  }
}

HMONITOR MonitorFromWindow(HWND window, DWORD flags)
{
  RECT rect{};
  if (!GetWindowRect(window, &rect)) {
    return nullptr;
  }
  const RECT monitor = ActiveDisplay().PrimaryMonitor();
  return Choose(!RectEmpty(IntersectRects(rect, monitor)), flags);
}

HMONITOR MonitorFromPoint(POINT point, DWORD flags)
{
  const RECT monitor = ActiveDisplay().PrimaryMonitor();
  return Choose(point.x >= monitor.left && point.x < monitor.right && point.y >= monitor.top &&
                    point.y < monitor.bottom,
                flags);
}

BOOL GetMonitorInfoA(HMONITOR monitor, MONITORINFO* info)
{
  if (monitor != PrimaryMonitor || info == nullptr || info->cbSize < sizeof(MONITORINFO)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  info->rcMonitor = ActiveDisplay().PrimaryMonitor();
  info->rcWork = info->rcMonitor;
  info->dwFlags = MONITORINFOF_PRIMARY;
  return TRUE;
}
