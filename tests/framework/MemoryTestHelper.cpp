// A second process for the shared-memory tests: opens a named mutex and a shared heap and works
// on them on commands read line by line from standard input, answering one line each.
//   mutex NAME                  opens the mutex                              -> ok
//   open NAME HEADER DATA       opens the heap under the mutex               -> ok
//   put TEXT                    allocates and writes TEXT and its zero        -> its offset
//   get OFFSET                  the text at OFFSET                           -> the text
//   grow NAME DATA              grows the heap into the mapping NAME         -> ok
//   hold                        locks the mutex and keeps it                 -> held
//   scribble OFFSET             locks the mutex and writes a word at OFFSET,
//                               as an allocation cut short would              -> held
//   check                       the damage report ("|" for line ends)        -> clean or the report
// A failing command answers "error " and the exception's message.

#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

#include "framework/OxaMemory.h"
#include "platform/core/ByteOrder.h"

namespace {

std::string OneLine(std::string text)
{
  for (char& c : text) {
    if (c == '\r' || c == '\n') {
      c = '|';
    }
  }
  return text;
}

}  // namespace

int main()
{
  TOxaMutex mutex;
  TOxaProcessMemory memory;
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream words(line);
    std::string command;
    words >> command;
    std::string answer;
    try {
      if (command == "mutex") {
        std::string name;
        words >> name;
        bool existed = false;
        mutex.Open(name, existed);
        answer = "ok";
      } else if (command == "open") {
        std::string name;
        std::uint32_t header = 0;
        std::uint32_t data = 0;
        words >> name >> header >> data;
        memory.Open(mutex, name, header, data);
        answer = "ok";
      } else if (command == "put") {
        std::string text;
        words >> text;
        void* p = memory.Alloc(static_cast<std::uint32_t>(text.size() + 1));
        if (p == nullptr) {
          answer = "full";
        } else {
          std::memcpy(p, text.c_str(), text.size() + 1);
          answer = std::to_string(memory.ToOffset(p));
        }
      } else if (command == "get") {
        std::uint32_t offset = 0;
        words >> offset;
        answer = static_cast<const char*>(memory.ToPointer(offset));
      } else if (command == "grow") {
        std::string name;
        std::uint32_t data = 0;
        words >> name >> data;
        memory.Grow(name, data);
        answer = "ok";
      } else if (command == "hold") {
        answer = mutex.Lock(INFINITE) ? "held" : "failed";
      } else if (command == "scribble") {
        std::uint32_t offset = 0;
        words >> offset;
        if (mutex.Lock(INFINITE)) {
          ByteOrder::StoreLE32(memory.ToPointer(offset), 0x5A5A5A5A);
          answer = "held";
        } else {
          answer = "failed";
        }
      } else if (command == "check") {
        const std::string report = memory.Check();
        answer = report.empty() ? "clean" : OneLine(report);
      } else {
        answer = "unknown";
      }
    } catch (const Exception& e) {
      answer = "error " + OneLine(e.Message());
    }
    std::cout << answer << std::endl;
  }
  return 0;
}
