#pragma once
// File functions of the runtime over the platform's Windows-path calls.

#include <string>

#include "platform/core/WinTypes.h"

// An existing file (not a folder).
bool FileExists(const std::string& fileName);
bool DeleteFile(const std::string& fileName);
// Moves or renames; false when the new name exists already.
bool RenameFile(const std::string& oldName, const std::string& newName);
// The attributes (fa* values), or -1 when the file cannot be found.
int FileGetAttr(const std::string& fileName);
// 0, or the Win32 error code.
int FileSetAttr(const std::string& fileName, int attr);
// The full path ("." and ".." folded, relative paths completed from the current folder); the
// name unchanged when it is malformed.
std::string ExpandFileName(const std::string& fileName);
// As ExpandFileName, and a path on a network drive in its UNC form ("\\server\share\...").
std::string ExpandUNCFileName(const std::string& fileName);

// The system's text for a Win32 error code ("The system cannot find the file specified").
std::string SysErrorMessage(DWORD errorCode);
