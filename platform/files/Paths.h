#pragma once
// Windows paths on the host. The program names files as Windows does ("C:\Music\a.mp3",
// "\\server\share\x", "/" accepted as "\"); this unit maps them to host paths through the drive
// table (platform/files/Drives.h) and back.
//
// Case: a name whose exact case exists on the host is used as it is; otherwise the folder is
// searched for a name that differs only in letter case (the first in directory order), so a file
// renamed only in case is still found, and two host names that differ only in case stay two
// files. Host to Windows: the drive with the longest folder containing the path wins; Z: ("/")
// catches the rest. A path that starts with a single "/" is a host path (as tests, tools and
// command lines give them) and stands for its Windows name, so every call taking a Windows path
// takes a host path too.
//
// Names: a host name holding characters no Windows name can hold is named with stand-ins
// (NameStandIns.h) both ways, so a path the walk reported always leads back to its host file.

#include <string>
#include <string_view>

#include "platform/core/WinTypes.h"

// Longest full path accepted (the Win32 long-path limit), longest name in a path.
constexpr std::size_t kMaxFullPathLength = 32767;
constexpr std::size_t kMaxPathNameLength = 255;

// The full Windows form of path, as GetFullPathNameA makes it: relative paths completed from
// the current folder, "." and ".." folded, "/" turned into "\", a trailing "\" kept. Fails with
// the last error ERROR_PATH_NOT_FOUND (empty path), ERROR_INVALID_NAME (a name with a control
// character or one of <>:"|?*, a malformed UNC name), ERROR_FILENAME_EXCED_RANGE (too long).
// With wildcardsInLastName, "*" and "?" are allowed in the last name (FindFirstFileA).
bool FullWindowsPath(std::string_view path, std::string& full, bool wildcardsInLastName = false);

// The host path of a Windows path, the case of every existing name resolved as above; the last
// name may be missing (a file about to be created). Fails with ERROR_PATH_NOT_FOUND when no drive
// has that letter or a folder on the way is missing, ERROR_BAD_NETPATH for an unknown UNC name,
// or as FullWindowsPath.
bool HostPathOf(std::string_view windowsPath, std::string& hostPath);

// Both at once, with one look at the drive table: the full Windows path and its host path. With
// TResolveCase::AsWritten the host path keeps the names as written and the file system is not
// looked at; a caller that then finds nothing there asks again with TResolveCase::Existing.
enum class TResolveCase { Existing, AsWritten };
bool ResolvePath(std::string_view path, std::string& full, std::string& hostPath,
                 TResolveCase resolveCase = TResolveCase::Existing);
// For a search: the full Windows path (wildcards allowed in its last name, the mask) and the host
// path of the folder holding it (its case resolved as ResolvePath does). Fails with
// ERROR_FILE_NOT_FOUND when there is no mask.
bool ResolveSearchPath(std::string_view path, std::string& full, std::string& hostFolder,
                       TResolveCase resolveCase = TResolveCase::Existing);
// The Windows path of an absolute host path; empty when no drive holds it (no Z: declared).
std::string WindowsPathOf(std::string_view hostPath);

// Win32: the full path of lpFileName into lpBuffer. Returns its length without the zero, or,
// when the buffer is too small, the size needed including the zero; 0 on failure.
// *lpFilePart (optional) points at the last name in lpBuffer, or is null when the path ends in "\".
DWORD GetFullPathNameA(const char* lpFileName, DWORD nBufferLength, char* lpBuffer, char** lpFilePart);

constexpr DWORD UNIVERSAL_NAME_INFO_LEVEL = 1;
struct UNIVERSAL_NAME_INFOA {
  char* lpUniversalName;
};

// The UNC form of a path on a network drive ("\\server\share\..."), written into lpBuffer as a
// UNIVERSAL_NAME_INFOA followed by the text. Returns ERROR_SUCCESS, ERROR_NOT_CONNECTED for a
// path on a drive that is not a network drive, ERROR_MORE_DATA (with the size needed in
// *lpBufferSize) when the buffer is too small. A path already in UNC form is returned as it is.
DWORD WNetGetUniversalNameA(const char* lpLocalPath, DWORD dwInfoLevel, void* lpBuffer, DWORD* lpBufferSize);
