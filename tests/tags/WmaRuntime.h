#pragma once
// Puts a runtime library where the WMA tagger looks for "WMVCore.dll" in the test's machine.

#include <filesystem>

#include "platform/windows/Modules.h"

inline void InstallWmaRuntime(const char* libraryFile)
{
  std::filesystem::create_directories(SystemModuleFolder());
  std::filesystem::create_symlink(libraryFile, SystemModuleFolder() / ModuleHostFileName("WMVCore.dll"));
}
