#include "platform/windows/Windows.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>

#include "platform/core/Diagnostics.h"
#include "platform/core/LastError.h"
#include "platform/core/Machine.h"
#include "platform/files/ReplaceFile.h"
#include "platform/windows/DisplayBackEnd.h"
#include "platform/windows/Gdi.h"
#include "platform/windows/InputEvents.h"
#include "platform/windows/WindowManager.h"

namespace {

constexpr DWORD ERROR_CLASS_DOES_NOT_EXIST = 1411;
constexpr DWORD QueryTimeout = 2000;

std::string ClassKey(const char* name)
{
  std::string key = name;
  for (char& c : key) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return key;
}

ATOM nextAtom = 0xC000;  // guarded by the window table

// Asks the process that owns window about it. Returns the reply, or nothing when that
// process is gone or does not answer.
std::optional<TMessageRecord> QueryRemote(HWND window)
{
  auto& manager = TWindowManager::Instance();
  if (manager.OwnNumber() == 0) {
    return std::nullopt;
  }
  const auto queue = manager.CurrentQueue();
  TMessageRecord query;
  query.Kind = TRecordKind::Query;
  query.Window = HandleValue(window);
  query.SenderProcess = manager.StartedNumber();
  query.SenderQueue = queue->Id;
  query.CallId = manager.NewCallId();
  {
    const std::lock_guard guard(queue->Lock);
    queue->Awaited.insert(query.CallId);
  }
  std::optional<TMessageRecord> answer;
  if (manager.Route(ProcessNumberOf(window), query)) {
    std::unique_lock lock(queue->Lock);
    queue->Wake.wait_for(lock, std::chrono::milliseconds(QueryTimeout),
                         [&] { return queue->Replies.count(query.CallId) != 0; });
    if (const auto found = queue->Replies.find(query.CallId); found != queue->Replies.end()) {
      answer = found->second;
      queue->Replies.erase(found);
    }
  }
  const std::lock_guard guard(queue->Lock);
  queue->Awaited.erase(query.CallId);
  return answer;
}

// The machine's list of top-level windows, for FindWindowA: one file per window, named after its
// handle, holding its class name and title on two lines.
std::filesystem::path TopLevelFolder()
{
  return MachineFolder() / "windows";
}

std::string HandleFileName(HWND window)
{
  char name[16];
  std::snprintf(name, sizeof(name), "%08X", static_cast<unsigned>(HandleValue(window)));
  return name;
}

void UnlistTopLevel(HWND window)
{
  std::error_code ignored;
  std::filesystem::remove(TopLevelFolder() / HandleFileName(window), ignored);
}

// Destroys without checking the calling thread (used for the window's own children).
void Destroy(const std::shared_ptr<TWindow>& window)
{
  auto& manager = TWindowManager::Instance();
  WNDPROC procedure = nullptr;
  {
    auto table = manager.Table();
    if (window->Destroying) {
      return;
    }
    window->Destroying = true;
    procedure = window->Procedure;
  }
  const HWND handle = window->Handle;
  procedure(handle, WM_DESTROY, 0, 0);
  for (const HWND child : manager.ChildrenOf(handle)) {
    if (const auto found = manager.Find(child)) {
      Destroy(found);
    }
  }
  {
    auto table = manager.Table();
    procedure = window->Procedure;
  }
  procedure(handle, WM_NCDESTROY, 0, 0);
  if (const auto queue = window->Queue.lock()) {
    const std::lock_guard guard(queue->Lock);
    std::erase_if(queue->Timers, [&](const TWindowTimer& timer) { return timer.Window == handle; });
  }
  ForgetInputWindow(handle);
  ForgetPaint(*window);
  std::vector<std::shared_ptr<TWindow>> uncovered;
  bool shown = false;
  {
    auto table = manager.Table();
    shown = window->Shown;
    window->Shown = false;
    if (const auto parent = window->Parent != nullptr ? table.Find(window->Parent) : nullptr;
        parent && (window->Style & WS_VISIBLE) != 0) {
      uncovered = AddToUpdate(table, *parent, TRegion(window->Bounds), true, false);
    }
  }
  if (window->Parent == nullptr) {
    UnlistTopLevel(handle);
  }
  manager.RemoveWindow(handle);
  RequestPaint(uncovered);
  if (shown) {
    if (TDisplay* display = OpenedDisplay()) {
      display->Remove(handle);
    }
  }
}

}  // namespace

void ForgetEndedWindow(HWND window, bool topLevel)
{
  ForgetInputWindow(window);
  if (topLevel) {
    UnlistTopLevel(window);
    if (TDisplay* display = OpenedDisplay()) {
      display->Remove(window);
    }
  }
}

void ListTopLevel(HWND window, const std::string& className, const char* title)
{
  std::error_code ignored;
  std::filesystem::create_directories(TopLevelFolder(), ignored);
  const std::string content = className + '\n' + (title != nullptr ? title : "") + '\n';
  if (const int error = ReplaceHostFile(TopLevelFolder() / HandleFileName(window), content); error != 0) {
    // Other processes do not find the window by its class or title until the next listing.
    PlatformTrace("Windows: " + HandleFileName(window) + " could not be listed: " + std::strerror(error));
  }
}

ATOM RegisterClassA(const WNDCLASSA* windowClass)
{
  if (windowClass == nullptr || windowClass->lpszClassName == nullptr ||
      *windowClass->lpszClassName == '\0' || windowClass->lpfnWndProc == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto& manager = TWindowManager::Instance();
  auto table = manager.Table();
  const std::string key = ClassKey(windowClass->lpszClassName);
  if (table.Classes().count(key) != 0) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  TWindowClass entry{*windowClass, windowClass->lpszClassName, nextAtom};
  nextAtom = nextAtom == 0xFFFF ? 0xC000 : static_cast<ATOM>(nextAtom + 1);
  auto& stored = table.Classes().emplace(key, std::move(entry)).first->second;
  stored.Registration.lpszClassName = stored.Name.c_str();
  stored.Registration.lpszMenuName = nullptr;
  return stored.Atom;
}

BOOL UnregisterClassA(const char* className, HINSTANCE)
{
  auto& manager = TWindowManager::Instance();
  auto table = manager.Table();
  if (className == nullptr || table.Classes().erase(ClassKey(className)) == 0) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  return TRUE;
}

BOOL GetClassInfoA(HINSTANCE, const char* className, WNDCLASSA* windowClass)
{
  auto& manager = TWindowManager::Instance();
  auto table = manager.Table();
  const auto found = className == nullptr ? table.Classes().end() : table.Classes().find(ClassKey(className));
  if (found == table.Classes().end()) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  if (windowClass != nullptr) {
    *windowClass = found->second.Registration;
  }
  return TRUE;
}

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* param)
{
  auto& manager = TWindowManager::Instance();
  auto window = std::make_shared<TWindow>();
  {
    auto table = manager.Table();
    const auto found =
        className == nullptr ? table.Classes().end() : table.Classes().find(ClassKey(className));
    if (found == table.Classes().end()) {
      SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
      return nullptr;
    }
    window->ClassName = found->second.Name;
    window->Procedure = found->second.Registration.lpfnWndProc;
    window->Background = found->second.Registration.hbrBackground;
    window->Cursor = found->second.Registration.hCursor;
    if (parent != nullptr && parent != HWND_MESSAGE && !table.Find(parent)) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
  }
  window->Parent = parent == HWND_MESSAGE ? nullptr : parent;
  window->MessageOnly = parent == HWND_MESSAGE;
  // WS_VISIBLE is applied once the window exists, through ShowWindow.
  window->Style = static_cast<LONG_PTR>(style & ~WS_VISIBLE);
  if (x == CW_USEDEFAULT) {
    x = 0;
    y = 0;
  }
  if (width == CW_USEDEFAULT) {
    width = 0;
    height = 0;
  }
  window->Bounds = RECT{x, y, x + std::max(0, width), y + std::max(0, height)};
  window->Text = windowName != nullptr ? windowName : "";
  if (window->TopLevel() && width > 0 && height > 0) {
    window->Surface = CreateWindowSurface(width, height);
  }
  window->ExStyle = static_cast<LONG_PTR>(exStyle);
  window->Id = reinterpret_cast<LONG_PTR>(menu);
  window->Instance = instance;
  const auto queue = manager.CurrentQueue();
  window->Queue = queue;
  window->ThreadId = queue->ThreadId;
  const HWND handle = manager.AddWindow(window);
  if (handle == nullptr) {
    return nullptr;
  }
  if (window->TopLevel()) {
    auto table = manager.Table();
    table.Restack(*window, nullptr);
  }
  CREATESTRUCTA create{param,      instance,  menu,   parent, height, width, y, x, static_cast<LONG>(style),
                       windowName, className, exStyle};
  SetLastError(ERROR_SUCCESS);
  if (window->Procedure(handle, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create)) == 0) {
    manager.RemoveWindow(handle);
    return nullptr;
  }
  if (window->Procedure(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
    Destroy(window);
    return nullptr;
  }
  if (parent == nullptr) {
    ListTopLevel(handle, window->ClassName, windowName);
  }
  if ((style & WS_VISIBLE) != 0) {
    ShowWindow(handle, SW_SHOW);
    if (IsWindowVisible(handle) == FALSE && window->TopLevel()) {
      // The display cannot show it: the window is refused, as its creator asked for it shown.
      const DWORD error = GetLastError();
      Destroy(window);
      SetLastError(error);
      return nullptr;
    }
  }
  return handle;
}

BOOL DestroyWindow(HWND handle)
{
  const auto window = TWindowManager::Instance().Find(handle);
  if (!window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (window->ThreadId != CurrentThreadId()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  Destroy(window);
  return TRUE;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  switch (message) {
    case WM_NCCREATE:
      return TRUE;
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      if (BeginPaint(window, &paint) != nullptr) {
        EndPaint(window, &paint);
      }
      return 0;
    }
    case WM_ERASEBKGND: {
      HBRUSH brush = nullptr;
      RECT client{};
      {
        auto table = TWindowManager::Instance().Table();
        const auto found = table.Find(window);
        if (!found) {
          return 0;
        }
        brush = found->Background;
        client = RECT{0, 0, found->Width(), found->Height()};
      }
      return brush != nullptr && FillRect(reinterpret_cast<HDC>(wParam), &client, brush) != 0 ? 1 : 0;
    }
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_ACTIVATE:
      if ((wParam & 0xFFFF) != WA_INACTIVE) {
        SetFocus(window);
      }
      return 0;
    case WM_SETCURSOR: {
      // The parent may choose the cursor; else the class's cursor is shown.
      HWND parent = nullptr;
      HCURSOR cursor = nullptr;
      {
        auto table = TWindowManager::Instance().Table();
        const auto found = table.Find(window);
        if (!found) {
          return FALSE;
        }
        parent = found->Parent;
        cursor = found->Cursor;
      }
      if (parent != nullptr && SendMessageA(parent, WM_SETCURSOR, wParam, lParam) != 0) {
        return TRUE;
      }
      if (cursor != nullptr) {
        SetCursor(cursor);
      }
      return FALSE;
    }
    default:
      return 0;
  }
}

LRESULT CallWindowProcA(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  return procedure == nullptr ? 0 : procedure(window, message, wParam, lParam);
}

BOOL IsWindow(HWND window)
{
  auto& manager = TWindowManager::Instance();
  const std::uint32_t number = ProcessNumberOf(window);
  if (number == 0) {
    return FALSE;
  }
  if (number == manager.StartedNumber()) {
    return manager.Find(window) ? TRUE : FALSE;
  }
  if (IsForeignWindowHandle(window)) {
    const std::uint32_t id = ForeignWindowId(window);
    TDisplay* display = OpenedDisplay();
    return id != 0 && display != nullptr && display->ForeignWindowExists(id) ? TRUE : FALSE;
  }
  const auto answer = QueryRemote(window);
  return answer && answer->Status == TReplyStatus::WindowFound ? TRUE : FALSE;
}

DWORD GetWindowThreadProcessId(HWND handle, DWORD* processId)
{
  auto& manager = TWindowManager::Instance();
  const std::uint32_t number = ProcessNumberOf(handle);
  DWORD thread = 0;
  DWORD process = 0;
  if (number != 0 && number == manager.StartedNumber()) {
    if (const auto window = manager.Find(handle)) {
      thread = window->ThreadId;
      process = static_cast<DWORD>(getpid());
    }
  } else if (number != 0) {
    if (const auto answer = QueryRemote(handle); answer && answer->Status == TReplyStatus::WindowFound) {
      thread = static_cast<DWORD>(answer->WParam);
      process = static_cast<DWORD>(answer->Result);
    }
  }
  if (thread == 0) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  }
  if (processId != nullptr) {
    *processId = process;
  }
  return thread;
}

LONG_PTR GetWindowLongPtrA(HWND handle, int index)
{
  auto& manager = TWindowManager::Instance();
  auto table = manager.Table();
  const auto window = table.Find(handle);
  if (!window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  switch (index) {
    case GWLP_WNDPROC:
      return reinterpret_cast<LONG_PTR>(window->Procedure);
    case GWLP_HINSTANCE:
      return reinterpret_cast<LONG_PTR>(window->Instance);
    case GWLP_HWNDPARENT:
      return reinterpret_cast<LONG_PTR>(window->Parent);
    case GWLP_ID:
      return window->Id;
    case GWL_STYLE:
      return window->Style;
    case GWL_EXSTYLE:
      return window->ExStyle;
    case GWLP_USERDATA:
      return window->UserData;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
  }
}

LONG_PTR SetWindowLongPtrA(HWND handle, int index, LONG_PTR value)
{
  auto& manager = TWindowManager::Instance();
  auto table = manager.Table();
  const auto window = table.Find(handle);
  if (!window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  LONG_PTR previous = 0;
  switch (index) {
    case GWLP_WNDPROC:
      if (value == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
      }
      previous = reinterpret_cast<LONG_PTR>(window->Procedure);
      window->Procedure = reinterpret_cast<WNDPROC>(value);
      break;
    case GWLP_ID:
      previous = std::exchange(window->Id, value);
      break;
    case GWL_STYLE:
      previous = std::exchange(window->Style, value);
      break;
    case GWL_EXSTYLE:
      previous = std::exchange(window->ExStyle, value);
      break;
    case GWLP_USERDATA:
      previous = std::exchange(window->UserData, value);
      break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
  }
  SetLastError(ERROR_SUCCESS);
  return previous;
}

HWND FindWindowA(const char* className, const char* windowName)
{
  std::error_code error;
  std::filesystem::directory_iterator entries(TopLevelFolder(), error);
  if (error || className == nullptr) {
    return nullptr;
  }
  const std::string wantedClass = ClassKey(className);
  for (const auto& entry : entries) {
    const std::string name = entry.path().filename().string();
    unsigned value = 0;
    int consumed = 0;
    if (name.size() != 8 || std::sscanf(name.c_str(), "%8X%n", &value, &consumed) != 1 || consumed != 8) {
      continue;
    }
    std::ifstream in(entry.path(), std::ios::binary);
    std::string listedClass;
    std::string listedTitle;
    if (!std::getline(in, listedClass) || !std::getline(in, listedTitle)) {
      continue;
    }
    if (ClassKey(listedClass.c_str()) != wantedClass ||
        (windowName != nullptr && listedTitle != windowName)) {
      continue;
    }
    const HWND window = WindowOf(value);
    if (IsWindow(window)) {
      return window;
    }
    std::filesystem::remove(entry.path(), error);
  }
  return nullptr;
}

HWND GetParent(HWND handle)
{
  const auto window = TWindowManager::Instance().Find(handle);
  if (!window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  return window->Parent;
}

HWND SetParent(HWND handle, HWND newParent)
{
  auto& manager = TWindowManager::Instance();
  auto table = manager.Table();
  const auto window = table.Find(handle);
  if (!window || (newParent != nullptr && newParent != HWND_MESSAGE && !table.Find(newParent))) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  for (HWND above = newParent; above != nullptr && above != HWND_MESSAGE;) {
    if (above == handle) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    const auto next = table.Find(above);
    above = next ? next->Parent : nullptr;
  }
  const HWND previous = window->Parent;
  window->Parent = newParent == HWND_MESSAGE ? nullptr : newParent;
  // Win32 reports the desktop for a top-level window; there is no desktop window here.
  SetLastError(ERROR_SUCCESS);
  return previous;
}
