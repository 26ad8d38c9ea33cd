#pragma once
// Shell folders and system folders. The registry values the program reads for them are filled
// in on first use of a hive, from the host, unless already there:
//   HKEY_CURRENT_USER "Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders"
//     "AppData": the XDG data home ($XDG_DATA_HOME, else ~/.local/share)
//     "Desktop": the XDG desktop folder ($XDG_DESKTOP_DIR, user-dirs.dirs, else ~/Desktop)
//   HKEY_LOCAL_MACHINE "Software\Microsoft\Windows\CurrentVersion"
//     "CommonFilesDir": the folder "Common Files" of the machine
// all as Windows paths. The Windows directory is the folder "windows" of the machine.

#include <string>

#include "platform/core/WinTypes.h"

// The Windows directory (created when missing). Returns its length without the zero, or the size
// needed including the zero when uSize is too small; 0 on failure.
UINT GetWindowsDirectoryA(char* lpBuffer, UINT uSize);

// The host folders behind the shell-folder values, as found now.
std::string HostDataHome();
std::string HostDesktopFolder();
