// The second process of the platform's multi-process tests. It reads one command per line on
// its standard input, runs it, and answers with one line; "crash" kills it without any clean-up.
//
// Its main thread runs a message loop with one window, "HelperWindow", whose procedure answers
// the test messages below; a reader thread hands the command lines to the loop.
#include <signal.h>

#include <cstdlib>
#include <deque>
#include <iostream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

#include "platform/core/LastError.h"
#include "platform/core/Time.h"
#include "platform/objects/FileMappings.h"
#include "platform/objects/Synchronization.h"
#include "platform/windows/Input.h"
#include "platform/windows/Messages.h"
#include "tests/platform/MessagingTestProtocol.h"

namespace {

std::map<std::string, HANDLE> handles;
std::map<std::string, char*> views;
HWND helperWindow = nullptr;
HWND helperTopLevel = nullptr;

std::mutex linesLock;
std::deque<std::string> lines;  // guarded by linesLock

void Say(const std::string& line)
{
  std::cout << line << std::endl;
}

LRESULT HelperProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  switch (message) {
    case HelperEcho:
      return static_cast<LRESULT>(wParam) + lParam;
    case HelperCallBack:
      return SendMessageA(reinterpret_cast<HWND>(wParam), HelperEcho, static_cast<WPARAM>(lParam), 1) + 1000;
    case HelperPostBack:
      return PostMessageA(reinterpret_cast<HWND>(wParam), HelperPostedBack, static_cast<WPARAM>(lParam), 0);
    case HelperBusy:
      Sleep(static_cast<DWORD>(lParam));
      return 1;
    case HelperLog:
      Say("got " + std::to_string(wParam) + " " + std::to_string(lParam));
      return 0;
    case HelperReplied:
      ReplyMessage(static_cast<LRESULT>(wParam));
      return 0;
    case WM_TIMER:
      KillTimer(window, wParam);
      Say("timer " + std::to_string(wParam));
      return 0;
    case WM_ACTIVATEAPP:
      Say("activateapp " + std::to_string(wParam));
      return 0;
    case WM_DESTROY:
      if (window == helperWindow) {
        PostQuitMessage(0);
      }
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

HWND ParseWindow(std::istringstream& words)
{
  std::uintptr_t value = 0;
  words >> value;
  return reinterpret_cast<HWND>(value);
}

std::string Created(const std::string& name, HANDLE handle)
{
  if (handle == nullptr) {
    return "error " + std::to_string(GetLastError());
  }
  const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  handles[name] = handle;
  return existed ? "existed" : "new";
}

std::string WaitResult(DWORD result)
{
  switch (result) {
    case WAIT_OBJECT_0:
      return "object";
    case WAIT_ABANDONED:
      return "abandoned";
    case WAIT_TIMEOUT:
      return "timeout";
    default:
      return "failed " + std::to_string(GetLastError());
  }
}

std::string Run(const std::string& line)
{
  std::istringstream words(line);
  std::string command;
  std::string name;
  words >> command >> name;
  if (command == "mutex") {
    return Created(name, CreateMutexA(nullptr, FALSE, name.c_str()));
  }
  if (command == "event") {
    int manual = 0;
    int initial = 0;
    words >> manual >> initial;
    return Created(name, CreateEventA(nullptr, manual, initial, name.c_str()));
  }
  if (command == "mapping") {
    DWORD size = 0;
    words >> size;
    std::string result = Created(
        name, CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name.c_str()));
    if (handles.count(name) != 0) {
      views[name] = static_cast<char*>(MapViewOfFile(handles[name], FILE_MAP_WRITE, 0, 0, 0));
    }
    return result;
  }
  if (command == "wait") {
    DWORD timeout = 0;
    words >> timeout;
    return WaitResult(WaitForSingleObject(handles[name], timeout));
  }
  if (command == "release") {
    return ReleaseMutex(handles[name]) != FALSE ? "ok" : "error " + std::to_string(GetLastError());
  }
  if (command == "set") {
    return SetEvent(handles[name]) != FALSE ? "ok" : "error";
  }
  if (command == "reset") {
    return ResetEvent(handles[name]) != FALSE ? "ok" : "error";
  }
  if (command == "write") {
    std::size_t offset = 0;
    std::string text;
    words >> offset >> text;
    text.copy(views[name] + offset, text.size());
    return "ok";
  }
  if (command == "read") {
    std::size_t offset = 0;
    std::size_t length = 0;
    words >> offset >> length;
    return std::string(views[name] + offset, length);
  }
  if (command == "close") {
    if (views.count(name) != 0) {
      UnmapViewOfFile(views[name]);
      views.erase(name);
    }
    const BOOL closed = CloseHandle(handles[name]);
    handles.erase(name);
    return closed != FALSE ? "ok" : "error";
  }
  if (command == "crash") {
    raise(SIGKILL);
  }
  std::istringstream rest(line.substr(std::min(line.size(), command.size() + 1)));
  if (command == "window") {
    return std::to_string(reinterpret_cast<std::uintptr_t>(helperWindow));
  }
  if (command == "toplevel") {
    if (helperTopLevel == nullptr) {
      helperTopLevel = CreateWindowExA(0, "HelperWindow", "helper top", WS_POPUP, 0, 0, 50, 50, nullptr,
                                       nullptr, nullptr, nullptr);
    }
    return std::to_string(reinterpret_cast<std::uintptr_t>(helperTopLevel));
  }
  if (command == "activate") {
    SetActiveWindow(helperTopLevel);
    return "active";
  }
  if (command == "foreground") {
    const HWND target = ParseWindow(rest);
    return SetForegroundWindow(target) != FALSE ? "ok" : "error " + std::to_string(GetLastError());
  }
  if (command == "active") {
    return GetActiveWindow() == nullptr ? "none" : "mine";
  }
  if (command == "register") {
    return std::to_string(RegisterWindowMessageA(name.c_str()));
  }
  if (command == "post") {
    const HWND target = ParseWindow(rest);
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    rest >> message >> wParam >> lParam;
    return PostMessageA(target, message, wParam, lParam) != FALSE ? "ok"
                                                                  : "error " + std::to_string(GetLastError());
  }
  if (command == "send") {
    const HWND target = ParseWindow(rest);
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    UINT flags = 0;
    UINT timeout = 0;
    rest >> message >> wParam >> lParam >> flags >> timeout;
    DWORD_PTR result = 0;
    if (SendMessageTimeoutA(target, message, wParam, lParam, flags, timeout, &result) == 0) {
      return "error " + std::to_string(GetLastError());
    }
    return "result " + std::to_string(static_cast<LRESULT>(result));
  }
  if (command == "hang") {
    // "hang MS" sleeps; "hang MS EVENT" ends early when the named event is set, so a test can
    // keep the helper hung exactly as long as it needs, however slow the machine.
    DWORD milliseconds = 0;
    std::string until;
    rest >> milliseconds >> until;
    const HANDLE wake = until.empty() ? nullptr : CreateEventA(nullptr, TRUE, FALSE, until.c_str());
    Say("hanging");
    if (wake == nullptr) {
      Sleep(milliseconds);
    } else {
      WaitForSingleObject(wake, milliseconds);
      CloseHandle(wake);
    }
    return "ok";
  }
  if (command == "timers") {
    // Pairs of id and interval, all started at once.
    std::istringstream all(line.substr(command.size()));
    UINT_PTR id = 0;
    UINT elapse = 0;
    while (all >> id >> elapse) {
      if (SetTimer(helperWindow, id, elapse, nullptr) == 0) {
        return "error";
      }
    }
    return "ok";
  }

  return "unknown command " + command;
}

}  // namespace

int main()
{
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = HelperProc;
  windowClass.lpszClassName = "HelperWindow";
  RegisterClassA(&windowClass);
  helperWindow =
      CreateWindowExA(0, "HelperWindow", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  const DWORD mainThread = GetWindowThreadProcessId(helperWindow, nullptr);

  std::thread reader([mainThread] {
    std::string line;
    while (std::getline(std::cin, line)) {
      {
        const std::lock_guard guard(linesLock);
        lines.push_back(line);
      }
      PostThreadMessageA(mainThread, HelperCommand, 0, 0);
    }
    {
      const std::lock_guard guard(linesLock);
      lines.push_back("exit");
    }
    PostThreadMessageA(mainThread, HelperCommand, 0, 0);
  });
  reader.detach();

  MSG message{};
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (message.hwnd == nullptr && message.message == HelperCommand) {
      std::string line;
      {
        const std::lock_guard guard(linesLock);
        line = lines.front();
        lines.pop_front();
      }
      if (line == "exit") {
        break;
      }
      Say(Run(line));
      continue;
    }
    DispatchMessageA(&message);
  }
  std::_Exit(0);
}
