// A second process for the settings tests. Commands on its standard input, one per line:
//   lock FILE            take the lock of FILE, print "locked", keep it until the next line
//   store FILE KEY N [MS]  store KEY (one value "KEY-i") N times, then print "stored"; with MS,
//                        every file the platform opens waits MS milliseconds before its sharing is checked
//   save-loop FILE       save a large list to FILE over and over until killed (prints "saving")
#include <iostream>
#include <sstream>
#include <string>

#include "platform/core/FaultInjection.h"
#include "settings/MusicStringList.h"

namespace {

void StoreRepeatedly(const std::string& file, const std::string& key, int count)
{
  for (int i = 0; i < count; ++i) {
    TMusicStringOptions options;
    options.Values(key).Clear();
    options.Values(key).Add(key + "-" + std::to_string(i));
    const std::string keys[] = {key};
    options.Store(file, keys);
  }
}

void SaveForever(const std::string& file)
{
  TMusicStringList list;
  for (int i = 0; i < 20000; ++i) {
    list.Add("C:\\Music\\Folder " + std::to_string(i) + "\\");
  }
  std::cout << "saving" << std::endl;
  for (;;) {
    list.SaveToFile(file);
  }
}

}  // namespace

int main()
{
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream words(line);
    std::string command;
    std::string file;
    words >> command >> file;
    if (command == "lock") {
      TMusicStringList list;
      std::cout << (list.LockFile(file) ? "locked" : "failed") << std::endl;
      std::getline(std::cin, line);
      list.UnLockFile();
      std::cout << "unlocked" << std::endl;
    } else if (command == "store") {
      std::string key;
      int count = 0;
      std::uint32_t delay = 0;
      words >> key >> count >> delay;
      DelayPlatformCalls(delay);
      StoreRepeatedly(file, key, count);
      std::cout << "stored" << std::endl;
    } else if (command == "save-loop") {
      SaveForever(file);
    } else {
      std::cout << "unknown command" << std::endl;
    }
  }
  return 0;
}
