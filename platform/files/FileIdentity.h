#pragma once
// What makes a file the user's own file beyond its bytes, for writers that replace a file by a
// new one composed beside it: where it really is (a symbolic link names another file, which is
// the one to replace, so the link stays a link) and its permission bits and owner.

#include <string>

#include "platform/core/WinTypes.h"

// The host path of the file that lpFileName (a Windows or host path) names, every symbolic link
// on the way followed. Fails with ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND as CreateFileA.
BOOL GetFinalPathA(const char* lpFileName, std::string& finalPath);

// Gives lpTargetFileName the permission bits, owner and group of lpSourceFileName. An owner or
// group the user may not give away is left as it is (the file is then the user's own, as any
// file the user creates); the permission bits are always copied. Fails as CreateFileA when
// either file is missing.
BOOL CopyFileIdentityA(const char* lpSourceFileName, const char* lpTargetFileName);
