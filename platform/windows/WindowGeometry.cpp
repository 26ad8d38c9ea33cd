// Where windows are, how big, in which order, whether shown, with which title and region; and
// how their state reaches the display back end.
#include <algorithm>
#include <cstring>

#include "platform/core/LastError.h"
#include "platform/windows/DisplayBackEnd.h"
#include "platform/windows/Gdi.h"
#include "platform/windows/GdiObjects.h"
#include "platform/windows/InputEvents.h"
#include "platform/windows/WindowManager.h"
#include "platform/windows/Windows.h"

namespace {

TTopLevelView ViewOf(const TWindow& window)
{
  TTopLevelView view;
  view.Window = window.Handle;
  view.Logical = SIZE{window.Width(), window.Height()};
  view.Bounds = window.Presentation ? *window.Presentation : window.Bounds;
  view.Shape = window.Shape;
  view.Surface = window.Surface;
  view.Topmost = (window.ExStyle & WS_EX_TOPMOST) != 0;
  view.ToolWindow = (window.ExStyle & WS_EX_TOOLWINDOW) != 0;
  view.Borderless = (window.Style & WS_CAPTION) != WS_CAPTION;
  view.Title = window.Text;
  return view;
}

// Gives a top-level window a surface of its size, keeping what it showed (table held).
void ResizeSurface(TWindow& window)
{
  if (!window.TopLevel()) {
    return;
  }
  const auto lock = GdiLock();
  std::shared_ptr<TSurface> surface;
  if (window.Width() > 0 && window.Height() > 0) {
    surface = CreateWindowSurface(window.Width(), window.Height());
  }
  if (surface && window.Surface) {
    surface->Copy(0, 0, *window.Surface, 0, 0, std::min(surface->Width(), window.Surface->Width()),
                  std::min(surface->Height(), window.Surface->Height()));
  }
  window.Surface = std::move(surface);
}

RECT ClientRect(const TWindow& window) noexcept
{
  return RECT{0, 0, window.Width(), window.Height()};
}

// The parent's update region gets the rectangle a child covered, so what it showed goes.
std::vector<std::shared_ptr<TWindow>> UncoverInParent(const TWindowManager::TWindowTable& table,
                                                      const TWindow& child, const RECT& bounds)
{
  const auto parent = child.Parent != nullptr ? table.Find(child.Parent) : nullptr;
  if (!parent) {
    return {};
  }
  return AddToUpdate(table, *parent, TRegion(bounds), true, true);
}

}  // namespace

std::shared_ptr<TWindow> TopLevelOf(const TWindowManager::TWindowTable& table,
                                    std::shared_ptr<TWindow> window)
{
  for (int depth = 0; window && depth < 1000; ++depth) {
    if (window->Parent == nullptr) {
      return window->MessageOnly ? nullptr : window;
    }
    window = table.Find(window->Parent);
  }
  return nullptr;
}

POINT SurfaceOrigin(const TWindowManager::TWindowTable& table, const TWindow& window)
{
  POINT origin{0, 0};
  const TWindow* current = &window;
  std::shared_ptr<TWindow> holder;
  while (current != nullptr && current->Parent != nullptr) {
    origin.x += current->Bounds.left;
    origin.y += current->Bounds.top;
    holder = table.Find(current->Parent);
    current = holder.get();
  }
  return origin;
}

POINT ScreenOrigin(const TWindowManager::TWindowTable& table, const TWindow& window)
{
  POINT origin{0, 0};
  const TWindow* current = &window;
  std::shared_ptr<TWindow> holder;
  while (current != nullptr) {
    origin.x += current->Bounds.left;
    origin.y += current->Bounds.top;
    holder = current->Parent != nullptr ? table.Find(current->Parent) : nullptr;
    current = holder.get();
  }
  return origin;
}

namespace {

// Where a window's client area lies on the screen: its top-level window's place there (scaled
// when that window is presented on another rectangle) and its own offset inside that window.
struct TPresentedOrigin {
  POINT Shown{0, 0};
  POINT InTop{0, 0};
  bool Scaled = false;
  LONG Width = 0, Height = 0;
  LONG ShownWidth = 0, ShownHeight = 0;
};

TPresentedOrigin PresentedOrigin(const TWindowManager::TWindowTable& table, const TWindow& window)
{
  TPresentedOrigin origin;
  const TWindow* current = &window;
  std::shared_ptr<TWindow> holder;
  while (current->Parent != nullptr) {
    origin.InTop.x += current->Bounds.left;
    origin.InTop.y += current->Bounds.top;
    holder = table.Find(current->Parent);
    if (!holder) {
      break;
    }
    current = holder.get();
  }
  const RECT shown = current->Presentation ? *current->Presentation : current->Bounds;
  origin.Shown = POINT{shown.left, shown.top};
  origin.Width = current->Width();
  origin.Height = current->Height();
  origin.ShownWidth = shown.right - shown.left;
  origin.ShownHeight = shown.bottom - shown.top;
  origin.Scaled = current->Presentation && origin.Width > 0 && origin.Height > 0 && origin.ShownWidth > 0 &&
                  origin.ShownHeight > 0;
  return origin;
}

}  // namespace

TRegion DrawableRegion(const TWindowManager::TWindowTable& table, const TWindow& window)
{
  TRegion drawable(ClientRect(window));
  if (window.Shape) {
    drawable.Intersect(*window.Shape);
  }
  drawable.Offset(SurfaceOrigin(table, window).x, SurfaceOrigin(table, window).y);
  std::shared_ptr<TWindow> ancestor = window.Parent != nullptr ? table.Find(window.Parent) : nullptr;
  while (ancestor) {
    TRegion area(ClientRect(*ancestor));
    if (ancestor->Shape) {
      area.Intersect(*ancestor->Shape);
    }
    const POINT origin = SurfaceOrigin(table, *ancestor);
    area.Offset(origin.x, origin.y);
    drawable.Intersect(area);
    ancestor = ancestor->Parent != nullptr ? table.Find(ancestor->Parent) : nullptr;
  }
  return drawable;
}

bool VisibleOnScreen(const TWindowManager::TWindowTable& table, const TWindow& window)
{
  const TWindow* current = &window;
  std::shared_ptr<TWindow> holder;
  while (current != nullptr) {
    if ((current->Style & WS_VISIBLE) == 0 || current->MessageOnly) {
      return false;
    }
    holder = current->Parent != nullptr ? table.Find(current->Parent) : nullptr;
    current = holder.get();
  }
  return true;
}

std::vector<std::shared_ptr<TWindow>> AddToUpdate(const TWindowManager::TWindowTable& table, TWindow& window,
                                                  const std::optional<TRegion>& area, bool erase,
                                                  bool children)
{
  std::vector<std::shared_ptr<TWindow>> needing;
  if (!VisibleOnScreen(table, window)) {
    return needing;
  }
  TRegion added(ClientRect(window));
  if (area) {
    added.Intersect(*area);
  }
  if (!added.Empty()) {
    window.Update.Unite(added);
    window.EraseNeeded = window.EraseNeeded || erase;
    needing.push_back(table.Find(window.Handle));
  }
  if (children) {
    for (const auto& child : table.Children(window.Handle)) {
      std::optional<TRegion> inChild;
      if (area) {
        inChild = *area;
        inChild->Offset(-child->Bounds.left, -child->Bounds.top);
      }
      const auto more = AddToUpdate(table, *child, inChild, erase, true);
      needing.insert(needing.end(), more.begin(), more.end());
    }
  }
  return needing;
}

void RequestPaint(const std::vector<std::shared_ptr<TWindow>>& windows)
{
  for (const auto& window : windows) {
    const auto queue = window ? window->Queue.lock() : nullptr;
    if (!queue) {
      continue;
    }
    {
      const std::lock_guard guard(queue->Lock);
      if (std::find(queue->NeedsPaint.begin(), queue->NeedsPaint.end(), window->Handle) !=
          queue->NeedsPaint.end()) {
        continue;
      }
      queue->NeedsPaint.push_back(window->Handle);
    }
    queue->Notify();
  }
}

void ForgetPaint(const TWindow& window)
{
  if (const auto queue = window.Queue.lock()) {
    const std::lock_guard guard(queue->Lock);
    std::erase(queue->NeedsPaint, window.Handle);
  }
}

bool SyncWithDisplay(HWND handle)
{
  std::optional<TTopLevelView> view;
  bool hide = false;
  {
    auto table = TWindowManager::Instance().Table();
    const auto window = table.Find(handle);
    if (!window || !window->TopLevel()) {
      return true;
    }
    if (VisibleOnScreen(table, *window) && window->Surface) {
      view = ViewOf(*window);
      window->Shown = true;
    } else {
      hide = window->Shown;
      window->Shown = false;
    }
  }
  if (view) {
    if (!ActiveDisplay().Show(*view)) {
      const DWORD error = GetLastError();
      {
        auto table = TWindowManager::Instance().Table();
        if (const auto window = table.Find(handle)) {
          window->Shown = false;
          window->Style &= ~static_cast<LONG_PTR>(WS_VISIBLE);
        }
      }
      SetLastError(error);
      return false;
    }
  } else if (hide) {
    ActiveDisplay().Hide(handle);
  }
  return true;
}

std::vector<TTopLevelView> ShownTopLevels()
{
  auto table = TWindowManager::Instance().Table();
  std::vector<TTopLevelView> views;
  const auto& stack = table.Stack();
  for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
    const auto window = table.Find(*it);
    if (window && window->Shown && window->Surface) {
      views.push_back(ViewOf(*window));
    }
  }
  return views;
}

std::optional<TTopLevelView> TopLevelView(HWND handle)
{
  auto table = TWindowManager::Instance().Table();
  const auto window = table.Find(handle);
  if (!window || !window->Shown) {
    return std::nullopt;
  }
  return ViewOf(*window);
}

void PresentDrawing(HWND topLevel, const RECT& changed)
{
  if (TDisplay* display = OpenedDisplay()) {
    display->Present(topLevel, changed);
  }
}

BOOL ShowWindow(HWND handle, int command)
{
  auto& manager = TWindowManager::Instance();
  bool wasVisible = false;
  bool topLevel = false;
  std::vector<std::shared_ptr<TWindow>> painting;
  {
    auto table = manager.Table();
    const auto window = table.Find(handle);
    if (!window) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    wasVisible = (window->Style & WS_VISIBLE) != 0;
    topLevel = window->TopLevel();
    const bool visible = command != SW_HIDE;
    if (visible == wasVisible) {
      return wasVisible ? TRUE : FALSE;
    }
    if (visible) {
      window->Style |= static_cast<LONG_PTR>(WS_VISIBLE);
      painting = AddToUpdate(table, *window, std::nullopt, true, true);
    } else {
      painting = UncoverInParent(table, *window, window->Bounds);
      window->Style &= ~static_cast<LONG_PTR>(WS_VISIBLE);
    }
  }
  SendMessageA(handle, WM_SHOWWINDOW, command != SW_HIDE ? TRUE : FALSE, 0);
  RequestPaint(painting);
  if (topLevel) {
    SyncWithDisplay(handle);
  }
  return wasVisible ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND handle)
{
  auto table = TWindowManager::Instance().Table();
  const auto window = table.Find(handle);
  return window && VisibleOnScreen(table, *window) ? TRUE : FALSE;
}

BOOL SetWindowPos(HWND handle, HWND after, int x, int y, int width, int height, UINT flags)
{
  auto& manager = TWindowManager::Instance();
  bool moved = false;
  bool sized = false;
  int visibility = -1;  // unchanged; else the new visibility
  bool topLevel = false;
  RECT bounds{};
  std::vector<std::shared_ptr<TWindow>> painting;
  {
    auto table = manager.Table();
    const auto window = table.Find(handle);
    if (!window || after == handle) {
      SetLastError(window ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    topLevel = window->TopLevel();
    const RECT old = window->Bounds;
    bounds = old;
    if ((flags & SWP_NOMOVE) == 0) {
      bounds = RECT{x, y, x + window->Width(), y + window->Height()};
    }
    if ((flags & SWP_NOSIZE) == 0) {
      bounds.right = bounds.left + std::max(0, width);
      bounds.bottom = bounds.top + std::max(0, height);
    }
    moved = bounds.left != old.left || bounds.top != old.top;
    sized = bounds.right - bounds.left != old.right - old.left ||
            bounds.bottom - bounds.top != old.bottom - old.top;
    const bool wasVisible = (window->Style & WS_VISIBLE) != 0;
    if ((moved || sized || (flags & SWP_HIDEWINDOW) != 0) && wasVisible && !topLevel) {
      painting = UncoverInParent(table, *window, old);
    }
    window->Bounds = bounds;
    if (sized) {
      ResizeSurface(*window);
    }
    if ((flags & SWP_NOZORDER) == 0 && topLevel) {
      if (after == HWND_TOPMOST) {
        window->ExStyle |= WS_EX_TOPMOST;
        table.Restack(*window, nullptr);
      } else if (after == HWND_NOTOPMOST) {
        window->ExStyle &= ~static_cast<LONG_PTR>(WS_EX_TOPMOST);
        table.Restack(*window, nullptr);
      } else if (after == HWND_BOTTOM) {
        table.Restack(*window, table.Stack().empty() ? nullptr : table.Stack().back());
      } else {
        table.Restack(*window, after);
      }
    }
    if ((flags & SWP_SHOWWINDOW) != 0 && !wasVisible) {
      window->Style |= static_cast<LONG_PTR>(WS_VISIBLE);
      visibility = 1;
    } else if ((flags & SWP_HIDEWINDOW) != 0 && wasVisible) {
      window->Style &= ~static_cast<LONG_PTR>(WS_VISIBLE);
      visibility = 0;
    }
    if (sized || visibility == 1 || (moved && !topLevel)) {
      const auto more = AddToUpdate(table, *window, std::nullopt, true, true);
      painting.insert(painting.end(), more.begin(), more.end());
    }
  }
  if (visibility >= 0) {
    SendMessageA(handle, WM_SHOWWINDOW, visibility == 1 ? TRUE : FALSE, 0);
  }
  if (moved) {
    SendMessageA(handle, WM_MOVE, 0, MAKELPARAM(bounds.left, bounds.top));
  }
  if (sized) {
    SendMessageA(handle, WM_SIZE, SIZE_RESTORED,
                 MAKELPARAM(bounds.right - bounds.left, bounds.bottom - bounds.top));
  }
  RequestPaint(painting);
  if (topLevel) {
    SyncWithDisplay(handle);
  }
  return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint)
{
  return SetWindowPos(window, nullptr, x, y, width, height,
                      SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0U : SWP_NOREDRAW));
}

BOOL GetWindowRect(HWND handle, RECT* rect)
{
  auto table = TWindowManager::Instance().Table();
  const auto window = table.Find(handle);
  if (!window || rect == nullptr) {
    SetLastError(window ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  const POINT origin = ScreenOrigin(table, *window);
  *rect = RECT{origin.x, origin.y, origin.x + window->Width(), origin.y + window->Height()};
  return TRUE;
}

BOOL GetClientRect(HWND handle, RECT* rect)
{
  auto table = TWindowManager::Instance().Table();
  const auto window = table.Find(handle);
  if (!window || rect == nullptr) {
    SetLastError(window ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  *rect = ClientRect(*window);
  return TRUE;
}

BOOL ClientToScreen(HWND handle, POINT* point)
{
  auto table = TWindowManager::Instance().Table();
  const auto window = table.Find(handle);
  if (!window || point == nullptr) {
    SetLastError(window ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  const TPresentedOrigin origin = PresentedOrigin(table, *window);
  POINT inTop{point->x + origin.InTop.x, point->y + origin.InTop.y};
  if (origin.Scaled) {
    inTop.x = static_cast<LONG>(static_cast<long long>(inTop.x) * origin.ShownWidth / origin.Width);
    inTop.y = static_cast<LONG>(static_cast<long long>(inTop.y) * origin.ShownHeight / origin.Height);
  }
  point->x = origin.Shown.x + inTop.x;
  point->y = origin.Shown.y + inTop.y;
  return TRUE;
}

BOOL ScreenToClient(HWND handle, POINT* point)
{
  auto table = TWindowManager::Instance().Table();
  const auto window = table.Find(handle);
  if (!window || point == nullptr) {
    SetLastError(window ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  const TPresentedOrigin origin = PresentedOrigin(table, *window);
  POINT inTop{point->x - origin.Shown.x, point->y - origin.Shown.y};
  if (origin.Scaled) {
    inTop.x = static_cast<LONG>(static_cast<long long>(inTop.x) * origin.Width / origin.ShownWidth);
    inTop.y = static_cast<LONG>(static_cast<long long>(inTop.y) * origin.Height / origin.ShownHeight);
  }
  point->x = inTop.x - origin.InTop.x;
  point->y = inTop.y - origin.InTop.y;
  return TRUE;
}

BOOL SetWindowTextA(HWND handle, const char* text)
{
  bool topLevel = false;
  std::string className;
  {
    auto table = TWindowManager::Instance().Table();
    const auto window = table.Find(handle);
    if (!window) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    window->Text = text != nullptr ? text : "";
    topLevel = window->Parent == nullptr;
    className = window->ClassName;
  }
  if (topLevel) {
    ListTopLevel(handle, className, text);
    SyncWithDisplay(handle);
  }
  return TRUE;
}

int GetWindowTextA(HWND handle, char* text, int size)
{
  if (IsForeignWindowHandle(handle)) {
    const std::uint32_t id = ForeignWindowId(handle);
    TDisplay* display = OpenedDisplay();
    if (id == 0 || display == nullptr || !display->ForeignWindowExists(id)) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    if (text == nullptr || size <= 0) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    const std::string title = display->ForeignWindowTitle(id);
    const std::size_t copied = std::min(title.size(), static_cast<std::size_t>(size - 1));
    std::memcpy(text, title.data(), copied);
    text[copied] = '\0';
    return static_cast<int>(copied);
  }
  auto table = TWindowManager::Instance().Table();
  const auto window = table.Find(handle);
  if (!window || text == nullptr || size <= 0) {
    SetLastError(window ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  const std::size_t copied = std::min(window->Text.size(), static_cast<std::size_t>(size - 1));
  std::memcpy(text, window->Text.data(), copied);
  text[copied] = '\0';
  return static_cast<int>(copied);
}

int GetWindowTextLengthA(HWND handle)
{
  auto table = TWindowManager::Instance().Table();
  const auto window = table.Find(handle);
  if (!window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return static_cast<int>(window->Text.size());
}

int SetWindowRgn(HWND handle, HRGN region, BOOL redraw)
{
  std::optional<TRegion> shape;
  if (region != nullptr) {
    const auto lock = GdiLock();
    const auto* object = FindGdiObjectAs<TRegionObject>(region, OBJ_REGION);
    if (object == nullptr || object->Selections > 0) {
      SetLastError(ERROR_INVALID_HANDLE);
      return 0;
    }
    shape = object->Region;
  }
  bool topLevel = false;
  std::vector<std::shared_ptr<TWindow>> painting;
  {
    auto table = TWindowManager::Instance().Table();
    const auto window = table.Find(handle);
    if (!window) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    window->Shape = std::move(shape);
    topLevel = window->TopLevel();
    if (!topLevel && redraw) {
      painting = UncoverInParent(table, *window, window->Bounds);
    }
    if (redraw) {
      const auto more = AddToUpdate(table, *window, std::nullopt, true, true);
      painting.insert(painting.end(), more.begin(), more.end());
    }
  }
  // The window owns the region now; the caller's handle is gone, as the system deletes it.
  if (region != nullptr) {
    DeleteObject(region);
  }
  RequestPaint(painting);
  if (topLevel) {
    SyncWithDisplay(handle);
  }
  return 1;
}

int GetWindowRgn(HWND handle, HRGN region)
{
  std::optional<TRegion> shape;
  {
    auto table = TWindowManager::Instance().Table();
    const auto window = table.Find(handle);
    if (!window) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return RGN_ERROR;
    }
    shape = window->Shape;
  }
  if (!shape) {
    return RGN_ERROR;
  }
  const auto lock = GdiLock();
  auto* object = FindGdiObjectAs<TRegionObject>(region, OBJ_REGION);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return RGN_ERROR;
  }
  object->Region = *shape;
  return shape->Empty() ? NULLREGION : (shape->Rects().size() == 1 ? SIMPLEREGION : COMPLEXREGION);
}

BOOL SetWindowPresentation(HWND handle, const RECT* screen)
{
  {
    auto table = TWindowManager::Instance().Table();
    const auto window = table.Find(handle);
    if (!window || !window->TopLevel() || (screen != nullptr && RectEmpty(*screen))) {
      SetLastError(window ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    window->Presentation = screen != nullptr ? std::optional<RECT>(*screen) : std::nullopt;
  }
  SyncWithDisplay(handle);
  return TRUE;
}
