#include "platform/core/Machine.h"

#include <cstdlib>
#include <system_error>

std::filesystem::path MachineFolderPath()
{
  std::filesystem::path folder;
  if (const char* machine = std::getenv("OXA_MACHINE"); machine != nullptr && *machine != '\0') {
    folder = machine;
  } else if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config != '\0') {
    folder = std::filesystem::path(config) / "oxanetmusic" / "machine";
  } else {
    const char* home = std::getenv("HOME");
    folder = std::filesystem::path(home != nullptr ? home : "/tmp") / ".config" / "oxanetmusic" / "machine";
  }
  return folder;
}

std::filesystem::path MachineFolder()
{
  auto folder = MachineFolderPath();
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  return folder;
}
