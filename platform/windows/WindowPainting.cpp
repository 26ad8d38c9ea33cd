// Update regions, WM_PAINT and the device contexts of windows.
#include "platform/core/LastError.h"
#include "platform/windows/DisplayBackEnd.h"
#include "platform/windows/Gdi.h"
#include "platform/windows/GdiObjects.h"
#include "platform/windows/WindowManager.h"
#include "platform/windows/Windows.h"

namespace {

// The windows of this process at the top of their trees.
std::vector<HWND> OwnTopLevels()
{
  auto table = TWindowManager::Instance().Table();
  return table.Stack();
}

// A device context on the window: the window's drawable part, further cut to clip (client
// coordinates) when given. Null for an unknown window.
HDC WindowDeviceContext(HWND handle, const std::optional<TRegion>& clip)
{
  HWND topLevelHandle = nullptr;
  DWORD threadId = 0;
  std::shared_ptr<TSurface> surface;
  POINT origin{0, 0};
  TRegion visible;
  {
    auto table = TWindowManager::Instance().Table();
    const auto window = table.Find(handle);
    if (!window) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    if (const auto topLevel = TopLevelOf(table, window)) {
      topLevelHandle = topLevel->Handle;
      surface = topLevel->Surface;
    }
    threadId = window->ThreadId;
    origin = SurfaceOrigin(table, *window);
    visible = DrawableRegion(table, *window);
    if (clip) {
      TRegion area = *clip;
      area.Offset(origin.x, origin.y);
      visible.Intersect(area);
    }
  }
  const auto lock = GdiLock();
  return CreateWindowDeviceContext(handle, topLevelHandle, threadId, std::move(surface), origin,
                                   std::move(visible));
}

}  // namespace

BOOL InvalidateRect(HWND handle, const RECT* rect, BOOL erase)
{
  if (handle == nullptr) {
    for (const HWND window : OwnTopLevels()) {
      InvalidateRect(window, rect, erase);
    }
    return TRUE;
  }
  std::vector<std::shared_ptr<TWindow>> painting;
  {
    auto table = TWindowManager::Instance().Table();
    const auto window = table.Find(handle);
    if (!window) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    painting =
        AddToUpdate(table, *window, rect != nullptr ? std::optional<TRegion>(TRegion(*rect)) : std::nullopt,
                    erase != FALSE, true);
  }
  RequestPaint(painting);
  return TRUE;
}

BOOL InvalidateRgn(HWND handle, HRGN region, BOOL erase)
{
  std::optional<TRegion> area;
  if (region != nullptr) {
    const auto lock = GdiLock();
    const auto* object = FindGdiObjectAs<TRegionObject>(region, OBJ_REGION);
    if (object == nullptr) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    area = object->Region;
  }
  std::vector<std::shared_ptr<TWindow>> painting;
  {
    auto table = TWindowManager::Instance().Table();
    const auto window = table.Find(handle);
    if (!window) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    painting = AddToUpdate(table, *window, area, erase != FALSE, true);
  }
  RequestPaint(painting);
  return TRUE;
}

BOOL ValidateRect(HWND handle, const RECT* rect)
{
  std::shared_ptr<TWindow> emptied;
  {
    auto table = TWindowManager::Instance().Table();
    const auto window = table.Find(handle);
    if (!window) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    if (rect == nullptr) {
      window->Update = TRegion();
    } else {
      window->Update.Subtract(TRegion(*rect));
    }
    if (window->Update.Empty()) {
      window->EraseNeeded = false;
      emptied = window;
    }
  }
  if (emptied) {
    ForgetPaint(*emptied);
  }
  return TRUE;
}

BOOL GetUpdateRect(HWND handle, RECT* rect, BOOL)
{
  auto table = TWindowManager::Instance().Table();
  const auto window = table.Find(handle);
  if (!window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (rect != nullptr) {
    *rect = window->Update.Bounds();
  }
  return window->Update.Empty() ? FALSE : TRUE;
}

BOOL UpdateWindow(HWND handle)
{
  bool pending = false;
  {
    auto table = TWindowManager::Instance().Table();
    const auto window = table.Find(handle);
    if (!window) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    pending = !window->Update.Empty();
  }
  if (pending) {
    SendMessageA(handle, WM_PAINT, 0, 0);
  }
  return TRUE;
}

HDC BeginPaint(HWND handle, PAINTSTRUCT* paint)
{
  if (paint == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  TRegion update;
  bool erase = false;
  std::shared_ptr<TWindow> window;
  {
    auto table = TWindowManager::Instance().Table();
    window = table.Find(handle);
    if (!window) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    update = std::exchange(window->Update, TRegion());
    erase = std::exchange(window->EraseNeeded, false);
  }
  ForgetPaint(*window);
  const HDC dc = WindowDeviceContext(handle, update);
  *paint = PAINTSTRUCT{};
  paint->hdc = dc;
  paint->rcPaint = update.Bounds();
  if (dc != nullptr && erase) {
    paint->fErase = SendMessageA(handle, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0 ? TRUE : FALSE;
  }
  return dc;
}

BOOL EndPaint(HWND handle, const PAINTSTRUCT* paint)
{
  if (paint == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return ReleaseDC(handle, paint->hdc) != 0 ? TRUE : FALSE;
}

HDC GetDC(HWND handle)
{
  if (handle == nullptr) {
    // The screen's device context opens the display, as the first visible window would.
    ActiveDisplay().Open();
    const auto lock = GdiLock();
    return CreateWindowDeviceContext(nullptr, nullptr, 0, nullptr, POINT{0, 0}, TRegion());
  }
  return WindowDeviceContext(handle, std::nullopt);
}

HDC GetWindowDC(HWND handle)
{
  return GetDC(handle);
}

int ReleaseDC(HWND handle, HDC dc)
{
  const auto lock = GdiLock();
  return ReleaseWindowDeviceContext(handle, dc) ? 1 : 0;
}
