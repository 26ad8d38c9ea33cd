#pragma once
// A throw-away folder for a benchmark's files, removed with its contents.

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

#include "platform/files/Paths.h"

class TScratch {
 public:
  TScratch()
  {
    std::string pattern = (std::filesystem::temp_directory_path() / "oxa-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("no temporary folder");
    }
    FPath = pattern;
  }
  ~TScratch()
  {
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
  }
  TScratch(const TScratch&) = delete;
  TScratch& operator=(const TScratch&) = delete;

  // The folder as the program names it, with a trailing backslash.
  std::string Directory() const { return WindowsPathOf(FPath.string()) + "\\"; }
  const std::filesystem::path& HostPath() const { return FPath; }

 private:
  std::filesystem::path FPath;
};
