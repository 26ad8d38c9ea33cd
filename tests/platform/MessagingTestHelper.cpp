// The second process of the platform's multi-process tests. It reads one command per line on
// its standard input, runs it, and answers with one line; "crash" kills it without any clean-up.
#include <signal.h>

#include <iostream>
#include <map>
#include <sstream>
#include <string>

#include "platform/FileMappings.h"
#include "platform/LastError.h"
#include "platform/Synchronization.h"

namespace {

std::map<std::string, HANDLE> handles;
std::map<std::string, char*> views;

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
    std::string result = Created(name, CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name.c_str()));
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
  return "unknown command " + command;
}

}  // namespace

int main()
{
  std::string line;
  while (std::getline(std::cin, line)) {
    if (line == "exit") {
      break;
    }
    std::cout << Run(line) << std::endl;
  }
  return 0;
}
