#pragma once
// What the host says about one file, in Win32 terms. Internal to the platform layer.

#include <string>
#include <string_view>

#include "platform/core/WinTypes.h"

struct THostFileInfo {
  DWORD Attributes = 0;
  FILETIME CreationTime{};  // birth time, or 0 where the file system keeps none
  FILETIME LastAccessTime{};
  FILETIME LastWriteTime{};
  ULONGLONG Size = 0;
  ULONGLONG FileIndex = 0;
  DWORD Links = 0;
  std::uint64_t Device = 0;
};

// statx of dirFd/path (AT_FDCWD for a plain path; an empty path with a file descriptor asks
// about that descriptor), following links. name is the file's Windows name, for the hidden
// attribute. False with errno set on failure.
bool QueryHostFile(int dirFd, const char* path, std::string_view name, THostFileInfo& info);

// The attributes of a host mode and name.
DWORD AttributesOfMode(unsigned mode, std::string_view name) noexcept;
