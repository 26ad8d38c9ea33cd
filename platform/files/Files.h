#pragma once
// Files by Windows path: opening with access, share mode and creation disposition, reading,
// writing, moving, copying, attributes and file information.
//
// Share modes hold across processes: an open handle records its access and what it refuses to
// share as open-file-description locks on bytes far beyond any real data, so an open that
// conflicts with a handle of any process fails with ERROR_SHARING_VIOLATION, as Win32 does
// (for example "open exclusively" while the audio component plays the file). FILE_SHARE_DELETE
// is not enforced: a file may be deleted or replaced while open, as the host allows.
//
// Attributes: read-only when the owner may not write (and then refused for writing even to a
// privileged user), hidden when the name starts with ".", directory, archive for every file;
// never system.

#include <cstdint>

#include "platform/core/Handles.h"
#include "platform/core/WinTypes.h"

constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD GENERIC_ALL = 0x10000000;
constexpr DWORD FILE_READ_DATA = 0x0001;
constexpr DWORD FILE_WRITE_DATA = 0x0002;
constexpr DWORD FILE_APPEND_DATA = 0x0004;

constexpr DWORD FILE_SHARE_READ = 0x00000001;
constexpr DWORD FILE_SHARE_WRITE = 0x00000002;
constexpr DWORD FILE_SHARE_DELETE = 0x00000004;

constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x00000001;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x00000002;
constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x00000004;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x00000010;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x00000020;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
constexpr DWORD FILE_FLAG_WRITE_THROUGH = 0x80000000;

constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFF;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;

constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x00000001;
constexpr DWORD MOVEFILE_COPY_ALLOWED = 0x00000002;
constexpr DWORD MOVEFILE_WRITE_THROUGH = 0x00000008;

struct BY_HANDLE_FILE_INFORMATION {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD dwVolumeSerialNumber;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD nNumberOfLinks;
  DWORD nFileIndexHigh;
  DWORD nFileIndexLow;
};

// Opens or creates a file. dwDesiredAccess: GENERIC_READ and/or GENERIC_WRITE (or 0 to query
// only). Dispositions as Win32: CREATE_ALWAYS and OPEN_ALWAYS succeed on an existing file with
// the last error ERROR_ALREADY_EXISTS, otherwise 0. Failures: INVALID_HANDLE_VALUE with
// ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_FILE_EXISTS (CREATE_NEW), ERROR_ACCESS_DENIED
// (a folder, or writing a read-only file), ERROR_SHARING_VIOLATION. The handle is closed with
// CloseHandle. Only regular files open: a named pipe, device or socket under any name fails at
// once with ERROR_ACCESS_DENIED, never waiting for a peer. lpSecurityAttributes and hTemplateFile are
// ignored; of the flags only FILE_ATTRIBUTE_READONLY (for a new file) and FILE_FLAG_WRITE_THROUGH count.
HANDLE CreateFileA(const char* lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   void* lpSecurityAttributes, DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                   HANDLE hTemplateFile);

// Reads up to the count; at the end of the file succeeds with 0 bytes read. lpOverlapped must
// be null.
BOOL ReadFile(HANDLE hFile, void* lpBuffer, DWORD nNumberOfBytesToRead, DWORD* lpNumberOfBytesRead,
              void* lpOverlapped);
// ReadFile at a position from the start, leaving the file pointer where it is (a positioned
// read, so a reader that jumps about needs no SetFilePointerEx before each read).
BOOL ReadFileAt(HANDLE hFile, void* lpBuffer, DWORD nNumberOfBytesToRead, DWORD* lpNumberOfBytesRead,
                LONGLONG offset);
// Writes all bytes or fails (ERROR_DISK_FULL when the disk is full; *written tells how many went).
BOOL WriteFile(HANDLE hFile, const void* lpBuffer, DWORD nNumberOfBytesToWrite, DWORD* lpNumberOfBytesWritten,
               void* lpOverlapped);
// With lpDistanceToMoveHigh null the distance is a signed 32-bit value; otherwise the two make a
// signed 64-bit one and *lpDistanceToMoveHigh receives the new position's high half. Returns the
// new position's low half, or INVALID_SET_FILE_POINTER with the last error set (a position before
// the start is ERROR_NEGATIVE_SEEK); a valid low half that equals INVALID_SET_FILE_POINTER comes
// with the last error ERROR_SUCCESS.
DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, LONG* lpDistanceToMoveHigh, DWORD dwMoveMethod);
// The 64-bit form (the Win32 LARGE_INTEGER arguments as plain 64-bit integers).
BOOL SetFilePointerEx(HANDLE hFile, LONGLONG liDistanceToMove, LONGLONG* lpNewFilePointer,
                      DWORD dwMoveMethod);
DWORD GetFileSize(HANDLE hFile, DWORD* lpFileSizeHigh);
BOOL GetFileSizeEx(HANDLE hFile, LONGLONG* lpFileSize);
// Cuts or extends the file at the current position.
BOOL SetEndOfFile(HANDLE hFile);
BOOL FlushFileBuffers(HANDLE hFile);
BOOL GetFileInformationByHandle(HANDLE hFile, BY_HANDLE_FILE_INFORMATION* lpFileInformation);
// Creation time is the file system's birth time where it keeps one, else 0.
BOOL GetFileTime(HANDLE hFile, FILETIME* lpCreationTime, FILETIME* lpLastAccessTime,
                 FILETIME* lpLastWriteTime);
// Sets the access and write times (the creation time cannot be set on the host and is ignored).
BOOL SetFileTime(HANDLE hFile, const FILETIME* lpCreationTime, const FILETIME* lpLastAccessTime,
                 const FILETIME* lpLastWriteTime);

// Fails with ERROR_ACCESS_DENIED for a folder or a read-only file.
BOOL DeleteFileA(const char* lpFileName);
// Moves a file or folder. Without MOVEFILE_REPLACE_EXISTING an existing target fails with
// ERROR_ALREADY_EXISTS; with it the target is replaced in one atomic step. Across file systems
// only with MOVEFILE_COPY_ALLOWED (copied, then the source deleted). A move that changes only the
// letter case of the name renames the file.
BOOL MoveFileExA(const char* lpExistingFileName, const char* lpNewFileName, DWORD dwFlags);
BOOL MoveFileA(const char* lpExistingFileName, const char* lpNewFileName);
// Copies contents, write time and read-only attribute. The copy is written to a temporary file
// beside the target and renamed into place, so a failed copy never leaves a damaged target.
BOOL CopyFileA(const char* lpExistingFileName, const char* lpNewFileName, BOOL bFailIfExists);
BOOL CreateDirectoryA(const char* lpPathName, void* lpSecurityAttributes);
// Fails with ERROR_DIR_NOT_EMPTY while the folder holds anything, ERROR_DIRECTORY for a file.
BOOL RemoveDirectoryA(const char* lpPathName);
DWORD GetFileAttributesA(const char* lpFileName);
// Only FILE_ATTRIBUTE_READONLY has an effect (it clears or restores the write permission); the
// hidden attribute follows the name, the others are accepted and ignored.
BOOL SetFileAttributesA(const char* lpFileName, DWORD dwFileAttributes);

// File times of the host: seconds and nanoseconds since 1970 to and from 100 ns since 1601.
FILETIME FileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds) noexcept;
void UnixFromFileTime(const FILETIME& time, std::int64_t& seconds, std::int64_t& nanoseconds) noexcept;
// The local-time form and the DOS date and time (date in the high word) of a file time.
BOOL FileTimeToLocalFileTime(const FILETIME* lpFileTime, FILETIME* lpLocalFileTime);
BOOL FileTimeToDosDateTime(const FILETIME* lpFileTime, WORD* lpFatDate, WORD* lpFatTime);
