#include "tests/support/TempFolder.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>

TTempFolder::TTempFolder()
{
  std::string pattern = (std::filesystem::temp_directory_path() / "oxa-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot create a temporary folder");
  }
  FPath = pattern;
}

TTempFolder::~TTempFolder()
{
  std::error_code ignored;
  std::filesystem::remove_all(FPath, ignored);
}

std::filesystem::path TTempFolder::WriteFile(const std::string& relative, const std::string& content) const
{
  const auto path = FPath / relative;
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) {
    throw std::runtime_error("cannot write " + path.string());
  }
  return path;
}

TTempMachine::TTempMachine()
{
  std::filesystem::create_directories(Folder());
  std::filesystem::create_directories(Scratch());
  std::filesystem::create_directories(Home());
  Redirect("OXA_MACHINE", Folder().string());
  Redirect("HOME", Home().string());
  Redirect("XDG_DATA_HOME", (Home() / ".local" / "share").string());
  Redirect("XDG_CONFIG_HOME", (Home() / ".config").string());
  Redirect("XDG_DESKTOP_DIR", (Home() / "Desktop").string());
  if (const char* display = std::getenv("DISPLAY"); display == nullptr || *display == '\0') {
    Redirect("OXA_DISPLAY", "headless");
  }
}

void TTempMachine::Redirect(const char* name, const std::string& value)
{
  TSavedVariable saved{name, {}, false};
  if (const char* previous = std::getenv(name); previous != nullptr) {
    saved.Value = previous;
    saved.Had = true;
  }
  FSaved.push_back(std::move(saved));
  setenv(name, value.c_str(), 1);
}

TTempMachine::~TTempMachine()
{
  for (auto saved = FSaved.rbegin(); saved != FSaved.rend(); ++saved) {
    if (saved->Had) {
      setenv(saved->Name.c_str(), saved->Value.c_str(), 1);
    } else {
      unsetenv(saved->Name.c_str());
    }
  }
}

std::filesystem::path SourceFolder()
{
  if (const char* source = std::getenv("OXA_SOURCE_DIR"); source != nullptr) {
    return source;
  }
  return std::filesystem::current_path();
}
