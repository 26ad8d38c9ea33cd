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
  if (const char* previous = std::getenv("OXA_MACHINE"); previous != nullptr) {
    FPrevious = previous;
    FHadPrevious = true;
  }
  std::filesystem::create_directories(Folder());
  std::filesystem::create_directories(Scratch());
  setenv("OXA_MACHINE", Folder().c_str(), 1);
}

TTempMachine::~TTempMachine()
{
  if (FHadPrevious) {
    setenv("OXA_MACHINE", FPrevious.c_str(), 1);
  } else {
    unsetenv("OXA_MACHINE");
  }
}

std::filesystem::path SourceFolder()
{
  if (const char* source = std::getenv("OXA_SOURCE_DIR"); source != nullptr) {
    return source;
  }
  return std::filesystem::current_path();
}
