#pragma once
// Directory enumeration: FindFirstFileA / FindNextFileA / FindClose over a Windows path whose
// last name may hold the wildcards "*" and "?" (matched without regard to case; "*.*" matches
// every name, with or without a dot). Entries come in the host's directory order; a folder
// other than a drive's root lists "." and ".." first. Links are followed to files; a link to a
// folder is left out, so link cycles cannot trap a walk. A host name holding characters no
// Windows name can hold is reported with stand-ins (NameStandIns.h), which every call taking a
// path turns back; one whose Windows name would not fit cFileName is left out.

#include "platform/core/Handles.h"
#include "platform/core/WinTypes.h"

struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;  // the file system's birth time, or 0 where it keeps none
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  char cFileName[MAX_PATH];
  char cAlternateFileName[14];
};

// The first matching entry, and a handle for the rest (close it with FindClose). Fails with
// INVALID_HANDLE_VALUE and ERROR_FILE_NOT_FOUND (nothing matches), ERROR_PATH_NOT_FOUND (the
// folder is missing), ERROR_ACCESS_DENIED (it cannot be read) or the path errors of Paths.h.
HANDLE FindFirstFileA(const char* lpFileName, WIN32_FIND_DATAA* lpFindFileData);
// The next matching entry; FALSE with ERROR_NO_MORE_FILES after the last.
BOOL FindNextFileA(HANDLE hFindFile, WIN32_FIND_DATAA* lpFindFileData);
BOOL FindClose(HANDLE hFindFile);

// Win32's wildcard rule for one name (exposed for the runtime's own masks).
bool MatchesFileMask(const char* name, const char* mask);
