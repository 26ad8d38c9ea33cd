// A second process for the platform tests: holds files open with given share modes, writes or
// reads registry values and sets named events, on commands read line by line from standard
// input; or, started with "--args-to FILE ...", writes its arguments to FILE one per line and
// ends with exit code 7.

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/core/LastError.h"
#include "platform/files/Files.h"
#include "platform/files/Registry.h"
#include "platform/objects/Synchronization.h"

namespace {

DWORD ParseNumber(const std::string& text)
{
  return static_cast<DWORD>(std::stoul(text, nullptr, 0));
}

}  // namespace

int main(int argc, char** argv)
{
  if (argc >= 3 && std::string(argv[1]) == "--args-to") {
    std::ofstream out(argv[2]);
    for (int i = 0; i < argc; ++i) {
      out << argv[i] << '\n';
    }
    return 7;
  }
  std::vector<HANDLE> open;
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream words(line);
    std::string command;
    words >> command;
    std::string answer;
    if (command == "open") {
      // open PATH ACCESS SHARE
      std::string path, access, share;
      words >> path >> access >> share;
      HANDLE file = CreateFileA(path.c_str(), ParseNumber(access), ParseNumber(share), nullptr, OPEN_EXISTING,
                                0, nullptr);
      if (file == INVALID_HANDLE_VALUE) {
        answer = "error " + std::to_string(GetLastError());
      } else {
        open.push_back(file);
        answer = "ok";
      }
    } else if (command == "close") {
      for (HANDLE file : open) {
        CloseHandle(file);
      }
      open.clear();
      answer = "ok";
    } else if (command == "regset") {
      // regset KEY PREFIX COUNT: values PREFIX0.. with their index as a REG_DWORD
      std::string key, prefix;
      int count = 0;
      words >> key >> prefix >> count;
      HKEY handle = nullptr;
      LONG result = RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    &handle, nullptr);
      for (int i = 0; i < count && result == 0; ++i) {
        const DWORD value = static_cast<DWORD>(i);
        result = RegSetValueExA(handle, (prefix + std::to_string(i)).c_str(), 0, REG_DWORD,
                                reinterpret_cast<const BYTE*>(&value), sizeof value);
      }
      RegCloseKey(handle);
      answer = result == 0 ? "done" : "error " + std::to_string(result);
    } else if (command == "regget") {
      // regget KEY VALUE: the string value
      std::string key, value;
      words >> key >> value;
      HKEY handle = nullptr;
      char data[256] = {};
      DWORD size = sizeof data - 1;
      if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle) == 0 &&
          RegQueryValueExA(handle, value.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size) ==
              0) {
        answer = data;
      } else {
        answer = "missing";
      }
      RegCloseKey(handle);
    } else if (command == "setevent") {
      // setevent NAME: sets the named event
      std::string name;
      words >> name;
      const HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, name.c_str());
      answer = event != nullptr && SetEvent(event) ? "ok" : "error " + std::to_string(GetLastError());
      if (event != nullptr) {
        CloseHandle(event);
      }
    } else if (command == "exit") {
      break;
    } else {
      answer = "unknown";
    }
    std::cout << answer << std::endl;
  }
  return 0;
}
