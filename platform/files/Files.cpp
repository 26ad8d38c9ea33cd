#include "platform/files/Files.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/core/FaultInjection.h"
#include "platform/core/HandleOwner.h"
#include "platform/core/HostErrors.h"
#include "platform/core/LastError.h"
#include "platform/files/FileDescriptor.h"
#include "platform/files/NameStandIns.h"
#include "platform/files/Paths.h"
#include "platform/files/ReplaceFile.h"
#include "platform/files/detail/FileInfo.h"

namespace {

// Share-mode records: read locks on single bytes far beyond any real data. Locks of one open
// file description never conflict with each other, so a test with a write lock finds exactly
// the other handles (of this or any other process).
constexpr off_t kShareLockBase = off_t{1} << 62;
constexpr off_t kHasRead = 0;
constexpr off_t kHasWrite = 1;
constexpr off_t kDeniesRead = 2;
constexpr off_t kDeniesWrite = 3;

class TFileObject : public TKernelObject {
 public:
  TFileObject(TFileDescriptor fd, bool canRead, bool canWrite, std::string name)
      : Fd(std::move(fd)), CanRead(canRead), CanWrite(canWrite), Name(std::move(name))
  {
  }

  const TFileDescriptor Fd;
  const bool CanRead;
  const bool CanWrite;
  const std::string Name;  // the Windows name, for the hidden attribute
};

bool HeldByOthers(int fd, off_t record)
{
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = kShareLockBase + record;
  lock.l_len = 1;
  return ::fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
}

bool Record(int fd, off_t record)
{
  struct flock lock {};
  lock.l_type = F_RDLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = kShareLockBase + record;
  lock.l_len = 1;
  return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

// Checks the new handle against every other open handle of the file and records its own access
// and refusals. The whole-file flock serialises openers, so two conflicting opens never both
// pass. Returns ERROR_SUCCESS or ERROR_SHARING_VIOLATION.
DWORD ClaimShareMode(int fd, bool wantRead, bool wantWrite, DWORD shareMode)
{
  const bool shareRead = (shareMode & FILE_SHARE_READ) != 0;
  const bool shareWrite = (shareMode & FILE_SHARE_WRITE) != 0;
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) {
      return ERROR_SUCCESS;  // a file system without locks: nothing to enforce
    }
  }
  DWORD result = ERROR_SUCCESS;
  if ((wantRead && HeldByOthers(fd, kDeniesRead)) || (wantWrite && HeldByOthers(fd, kDeniesWrite)) ||
      (!shareRead && HeldByOthers(fd, kHasRead)) || (!shareWrite && HeldByOthers(fd, kHasWrite))) {
    result = ERROR_SHARING_VIOLATION;
  } else {
    if (wantRead) {
      Record(fd, kHasRead);
    }
    if (wantWrite) {
      Record(fd, kHasWrite);
    }
    if (!shareRead) {
      Record(fd, kDeniesRead);
    }
    if (!shareWrite) {
      Record(fd, kDeniesWrite);
    }
  }
  ::flock(fd, LOCK_UN);
  return result;
}

std::string LastName(const std::string& fullWindowsPath)
{
  std::string path = fullWindowsPath;
  if (path.size() > 3 && path.back() == '\\') {
    path.pop_back();
  }
  const auto cut = path.find_last_of('\\');
  return cut == std::string::npos ? std::string() : path.substr(cut + 1);
}

// Resolves a Windows path to its host path and its Windows name.
bool Resolve(const char* windowsPath, std::string& host, std::string* name = nullptr,
             TResolveCase resolveCase = TResolveCase::Existing)
{
  if (windowsPath == nullptr) {
    return FailWith(ERROR_INVALID_PARAMETER) != FALSE;
  }
  std::string full;
  if (!ResolvePath(windowsPath, full, host, resolveCase)) {
    return false;
  }
  if (name != nullptr) {
    *name = LastName(full);
  }
  return true;
}

bool IsReadOnlyMode(mode_t mode) noexcept
{
  return (mode & S_IWUSR) == 0;
}

HANDLE FailHandle(DWORD code)
{
  SetLastError(code);
  return INVALID_HANDLE_VALUE;
}

std::shared_ptr<TFileObject> FileOf(HANDLE handle)
{
  return LookupHandleAs<TFileObject>(handle);
}

bool WriteAll(int fd, const void* buffer, std::size_t count, std::size_t& written)
{
  written = 0;
  const auto* bytes = static_cast<const char*>(buffer);
  while (written < count) {
    const ssize_t put = ::write(fd, bytes + written, count - written);
    if (put < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    if (put == 0) {
      errno = ENOSPC;
      return false;
    }
    written += static_cast<std::size_t>(put);
  }
  return true;
}

}  // namespace

HANDLE CreateFileA(const char* lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode, void*,
                   DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE)
{
  if (PlatformCallFails()) {
    return FailHandle(ERROR_DISK_FULL);
  }
  const bool wantRead = (dwDesiredAccess & (GENERIC_READ | GENERIC_ALL | FILE_READ_DATA)) != 0;
  const bool wantWrite =
      (dwDesiredAccess & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA)) != 0;
  // Opening an existing file tries the name as written first and looks for another letter case
  // only when that is not there; a file about to be created needs the case search first, so it
  // never gets a twin that differs only in case (and a call refused for its parameters still
  // reports a missing folder first, as the search finds it).
  const bool opensExisting =
      dwCreationDisposition == OPEN_EXISTING || (dwCreationDisposition == TRUNCATE_EXISTING && wantWrite);
  std::string host;
  std::string name;
  if (!Resolve(lpFileName, host, &name, opensExisting ? TResolveCase::AsWritten : TResolveCase::Existing)) {
    return INVALID_HANDLE_VALUE;
  }
  bool create = false;
  bool exclusive = false;
  bool truncate = false;
  switch (dwCreationDisposition) {
    case CREATE_NEW:
      create = exclusive = true;
      break;
    case CREATE_ALWAYS:
      create = truncate = true;
      break;
    case OPEN_EXISTING:
      break;
    case OPEN_ALWAYS:
      create = true;
      break;
    case TRUNCATE_EXISTING:
      if (!wantWrite) {
        return FailHandle(ERROR_INVALID_PARAMETER);
      }
      truncate = true;
      break;
    default:
      return FailHandle(ERROR_INVALID_PARAMETER);
  }

  // Not blocking: a named pipe or a device under a file's name would otherwise hold the open
  // until a writer comes, which may be never. Only regular files get a handle (below).
  int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK |
              ((dwFlagsAndAttributes & FILE_FLAG_WRITE_THROUGH) != 0 ? O_DSYNC : 0);
  flags |= wantWrite ? O_RDWR : O_RDONLY;
  const mode_t newMode = (dwFlagsAndAttributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0666;
  bool existed = true;
  TFileDescriptor fd;
  if (create) {
    fd.Reset(::open(host.c_str(), flags | O_CREAT | O_EXCL, newMode));
    if (fd.Valid()) {
      existed = false;
    } else if (errno != EEXIST || exclusive) {
      return FailHandle(errno == EEXIST ? ERROR_FILE_EXISTS : Win32ErrorFromErrno(errno));
    }
  }
  bool readable = true;
  if (!fd.Valid()) {
    fd.Reset(::open(host.c_str(), flags));
    if (!fd.Valid() && (errno == ENOENT || errno == ENOTDIR) && !create) {
      std::string found;
      if (!Resolve(lpFileName, found, nullptr, TResolveCase::Existing)) {
        return INVALID_HANDLE_VALUE;
      }
      if (found != host) {
        host = std::move(found);
        fd.Reset(::open(host.c_str(), flags));
      } else {
        errno = ENOENT;
      }
    }
    if (!fd.Valid() && errno == EACCES && wantWrite && !wantRead) {
      fd.Reset(::open(host.c_str(), (flags & ~O_RDWR) | O_WRONLY));
      readable = !fd.Valid();
    }
    if (!fd.Valid()) {
      return FailHandle(errno == EISDIR ? ERROR_ACCESS_DENIED : Win32ErrorFromErrno(errno));
    }
  }
  PlatformCallPause();
  struct stat st {};
  // A directory, or (checked after the open, which the owner's write permission alone would
  // let through for a privileged user) a read-only file opened to change it, is refused.
  // So is anything but a regular file (a pipe, a device, a socket), whatever its name says.
  if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) ||
      (existed && (wantWrite || truncate) && IsReadOnlyMode(st.st_mode))) {
    return FailHandle(ERROR_ACCESS_DENIED);
  }
  if (const int status = ::fcntl(fd.Get(), F_GETFL);
      status < 0 || ::fcntl(fd.Get(), F_SETFL, status & ~O_NONBLOCK) != 0) {
    return FailHandle(Win32ErrorFromErrno(errno));
  }
  if (readable) {
    if (const DWORD shared = ClaimShareMode(fd.Get(), wantRead, wantWrite, dwShareMode);
        shared != ERROR_SUCCESS) {
      return FailHandle(shared);
    }
  }
  if (truncate && existed && ::ftruncate(fd.Get(), 0) != 0) {
    return FailHandle(Win32ErrorFromErrno(errno));
  }
  HANDLE handle =
      RegisterHandle(std::make_shared<TFileObject>(std::move(fd), wantRead, wantWrite, std::move(name)));
  SetLastError(existed && create ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

namespace {

// ReadFile at the file pointer (offset -1) or at offset without moving the pointer.
BOOL ReadSome(HANDLE hFile, void* lpBuffer, DWORD nNumberOfBytesToRead, DWORD* lpNumberOfBytesRead,
              void* lpOverlapped, LONGLONG offset)
{
  if (lpNumberOfBytesRead != nullptr) {
    *lpNumberOfBytesRead = 0;
  }
  if (PlatformCallFails()) {
    return FailWith(ERROR_READ_FAULT);
  }
  const auto file = FileOf(hFile);
  if (!file) {
    return FALSE;
  }
  if (lpOverlapped != nullptr || (lpBuffer == nullptr && nNumberOfBytesToRead != 0) || offset < -1) {
    return FailWith(ERROR_INVALID_PARAMETER);
  }
  if (!file->CanRead) {
    return FailWith(ERROR_ACCESS_DENIED);
  }
  DWORD total = 0;
  auto* bytes = static_cast<char*>(lpBuffer);
  while (total < nNumberOfBytesToRead) {
    const ssize_t got =
        offset < 0 ? ::read(file->Fd.Get(), bytes + total, nNumberOfBytesToRead - total)
                   : ::pread(file->Fd.Get(), bytes + total, nNumberOfBytesToRead - total, offset + total);
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      if (lpNumberOfBytesRead != nullptr) {
        *lpNumberOfBytesRead = total;
      }
      return FailWith(errno == EIO ? ERROR_READ_FAULT : Win32ErrorFromErrno(errno));
    }
    if (got == 0) {
      break;
    }
    total += static_cast<DWORD>(got);
  }
  if (lpNumberOfBytesRead != nullptr) {
    *lpNumberOfBytesRead = total;
  }
  return TRUE;
}

}  // namespace

BOOL ReadFile(HANDLE hFile, void* lpBuffer, DWORD nNumberOfBytesToRead, DWORD* lpNumberOfBytesRead,
              void* lpOverlapped)
{
  return ReadSome(hFile, lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead, lpOverlapped, -1);
}

BOOL ReadFileAt(HANDLE hFile, void* lpBuffer, DWORD nNumberOfBytesToRead, DWORD* lpNumberOfBytesRead,
                LONGLONG offset)
{
  if (offset < 0) {
    if (lpNumberOfBytesRead != nullptr) {
      *lpNumberOfBytesRead = 0;
    }
    return FailWith(ERROR_NEGATIVE_SEEK);
  }
  return ReadSome(hFile, lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead, nullptr, offset);
}

BOOL WriteFile(HANDLE hFile, const void* lpBuffer, DWORD nNumberOfBytesToWrite, DWORD* lpNumberOfBytesWritten,
               void* lpOverlapped)
{
  if (lpNumberOfBytesWritten != nullptr) {
    *lpNumberOfBytesWritten = 0;
  }
  if (PlatformCallFails()) {
    return FailWith(ERROR_DISK_FULL);
  }
  const auto file = FileOf(hFile);
  if (!file) {
    return FALSE;
  }
  if (lpOverlapped != nullptr || (lpBuffer == nullptr && nNumberOfBytesToWrite != 0)) {
    return FailWith(ERROR_INVALID_PARAMETER);
  }
  if (!file->CanWrite) {
    return FailWith(ERROR_ACCESS_DENIED);
  }
  std::size_t written = 0;
  const bool ok = WriteAll(file->Fd.Get(), lpBuffer, nNumberOfBytesToWrite, written);
  if (lpNumberOfBytesWritten != nullptr) {
    *lpNumberOfBytesWritten = static_cast<DWORD>(written);
  }
  if (!ok) {
    return FailWith(errno == EIO ? ERROR_WRITE_FAULT : Win32ErrorFromErrno(errno));
  }
  return TRUE;
}

BOOL SetFilePointerEx(HANDLE hFile, LONGLONG liDistanceToMove, LONGLONG* lpNewFilePointer, DWORD dwMoveMethod)
{
  const auto file = FileOf(hFile);
  if (!file) {
    return FALSE;
  }
  LONGLONG base = 0;
  if (dwMoveMethod == FILE_CURRENT) {
    base = ::lseek(file->Fd.Get(), 0, SEEK_CUR);
  } else if (dwMoveMethod == FILE_END) {
    struct stat st {};
    base = ::fstat(file->Fd.Get(), &st) == 0 ? st.st_size : -1;
  } else if (dwMoveMethod != FILE_BEGIN) {
    return FailWith(ERROR_INVALID_PARAMETER);
  }
  if (base < 0) {
    return FailWithErrno();
  }
  if (liDistanceToMove < 0 && base + liDistanceToMove < 0) {
    return FailWith(ERROR_NEGATIVE_SEEK);
  }
  const off_t position = ::lseek(file->Fd.Get(), base + liDistanceToMove, SEEK_SET);
  if (position < 0) {
    return FailWithErrno();
  }
  if (lpNewFilePointer != nullptr) {
    *lpNewFilePointer = position;
  }
  return TRUE;
}

DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, LONG* lpDistanceToMoveHigh, DWORD dwMoveMethod)
{
  const LONGLONG distance =
      lpDistanceToMoveHigh == nullptr
          ? static_cast<LONGLONG>(lDistanceToMove)
          : static_cast<LONGLONG>((static_cast<ULONGLONG>(static_cast<DWORD>(*lpDistanceToMoveHigh)) << 32) |
                                  static_cast<DWORD>(lDistanceToMove));
  LONGLONG position = 0;
  if (!SetFilePointerEx(hFile, distance, &position, dwMoveMethod)) {
    return INVALID_SET_FILE_POINTER;
  }
  if (lpDistanceToMoveHigh != nullptr) {
    *lpDistanceToMoveHigh = static_cast<LONG>(static_cast<ULONGLONG>(position) >> 32);
  }
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(position);
}

BOOL GetFileSizeEx(HANDLE hFile, LONGLONG* lpFileSize)
{
  const auto file = FileOf(hFile);
  if (!file) {
    return FALSE;
  }
  struct stat st {};
  if (::fstat(file->Fd.Get(), &st) != 0) {
    return FailWithErrno();
  }
  if (lpFileSize != nullptr) {
    *lpFileSize = st.st_size;
  }
  return TRUE;
}

DWORD GetFileSize(HANDLE hFile, DWORD* lpFileSizeHigh)
{
  LONGLONG size = 0;
  if (!GetFileSizeEx(hFile, &size)) {
    return INVALID_FILE_SIZE;
  }
  if (lpFileSizeHigh != nullptr) {
    *lpFileSizeHigh = static_cast<DWORD>(static_cast<ULONGLONG>(size) >> 32);
  }
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(size);
}

BOOL SetEndOfFile(HANDLE hFile)
{
  if (PlatformCallFails()) {
    return FailWith(ERROR_DISK_FULL);
  }
  const auto file = FileOf(hFile);
  if (!file) {
    return FALSE;
  }
  if (!file->CanWrite) {
    return FailWith(ERROR_ACCESS_DENIED);
  }
  const off_t position = ::lseek(file->Fd.Get(), 0, SEEK_CUR);
  if (position < 0 || ::ftruncate(file->Fd.Get(), position) != 0) {
    return FailWithErrno();
  }
  return TRUE;
}

BOOL FlushFileBuffers(HANDLE hFile)
{
  if (PlatformCallFails()) {
    return FailWith(ERROR_DISK_FULL);
  }
  const auto file = FileOf(hFile);
  if (!file) {
    return FALSE;
  }
  if (::fsync(file->Fd.Get()) != 0) {
    return FailWith(errno == EIO ? ERROR_WRITE_FAULT : Win32ErrorFromErrno(errno));
  }
  return TRUE;
}

BOOL GetFileInformationByHandle(HANDLE hFile, BY_HANDLE_FILE_INFORMATION* lpFileInformation)
{
  const auto file = FileOf(hFile);
  if (!file) {
    return FALSE;
  }
  THostFileInfo info;
  if (lpFileInformation == nullptr) {
    return FailWith(ERROR_INVALID_PARAMETER);
  }
  if (!QueryHostFile(file->Fd.Get(), "", file->Name, info)) {
    return FailWithErrno();
  }
  lpFileInformation->dwFileAttributes = info.Attributes;
  lpFileInformation->ftCreationTime = info.CreationTime;
  lpFileInformation->ftLastAccessTime = info.LastAccessTime;
  lpFileInformation->ftLastWriteTime = info.LastWriteTime;
  lpFileInformation->dwVolumeSerialNumber = static_cast<DWORD>(info.Device ^ (info.Device >> 32));
  lpFileInformation->nFileSizeHigh = static_cast<DWORD>(info.Size >> 32);
  lpFileInformation->nFileSizeLow = static_cast<DWORD>(info.Size);
  lpFileInformation->nNumberOfLinks = info.Links;
  lpFileInformation->nFileIndexHigh = static_cast<DWORD>(info.FileIndex >> 32);
  lpFileInformation->nFileIndexLow = static_cast<DWORD>(info.FileIndex);
  return TRUE;
}

BOOL GetFileTime(HANDLE hFile, FILETIME* lpCreationTime, FILETIME* lpLastAccessTime,
                 FILETIME* lpLastWriteTime)
{
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(hFile, &info)) {
    return FALSE;
  }
  if (lpCreationTime != nullptr) {
    *lpCreationTime = info.ftCreationTime;
  }
  if (lpLastAccessTime != nullptr) {
    *lpLastAccessTime = info.ftLastAccessTime;
  }
  if (lpLastWriteTime != nullptr) {
    *lpLastWriteTime = info.ftLastWriteTime;
  }
  return TRUE;
}

BOOL SetFileTime(HANDLE hFile, const FILETIME*, const FILETIME* lpLastAccessTime,
                 const FILETIME* lpLastWriteTime)
{
  const auto file = FileOf(hFile);
  if (!file) {
    return FALSE;
  }
  timespec times[2] = {{0, UTIME_OMIT}, {0, UTIME_OMIT}};
  const FILETIME* given[2] = {lpLastAccessTime, lpLastWriteTime};
  for (int i = 0; i < 2; ++i) {
    if (given[i] != nullptr) {
      std::int64_t seconds = 0;
      std::int64_t nanoseconds = 0;
      UnixFromFileTime(*given[i], seconds, nanoseconds);
      times[i] = {static_cast<time_t>(seconds), static_cast<long>(nanoseconds)};
    }
  }
  if (::futimens(file->Fd.Get(), times) != 0) {
    return FailWithErrno();
  }
  return TRUE;
}

BOOL DeleteFileA(const char* lpFileName)
{
  if (PlatformCallFails()) {
    return FailWith(ERROR_DISK_FULL);
  }
  std::string host;
  if (!Resolve(lpFileName, host)) {
    return FALSE;
  }
  struct stat st {};
  if (::lstat(host.c_str(), &st) != 0) {
    return FailWithErrno();
  }
  if (S_ISDIR(st.st_mode) || (!S_ISLNK(st.st_mode) && IsReadOnlyMode(st.st_mode))) {
    return FailWith(ERROR_ACCESS_DENIED);
  }
  if (::unlink(host.c_str()) != 0) {
    return FailWithErrno();
  }
  return TRUE;
}

BOOL MoveFileExA(const char* lpExistingFileName, const char* lpNewFileName, DWORD dwFlags)
{
  if (PlatformCallFails()) {
    return FailWith(ERROR_DISK_FULL);
  }
  std::string from;
  std::string to;
  if (!Resolve(lpExistingFileName, from)) {
    return FALSE;
  }
  std::string toFull;
  if (lpNewFileName == nullptr || !FullWindowsPath(lpNewFileName, toFull) || !HostPathOf(toFull, to)) {
    return lpNewFileName == nullptr ? FailWith(ERROR_INVALID_PARAMETER) : FALSE;
  }
  struct stat source {};
  if (::lstat(from.c_str(), &source) != 0) {
    return FailWithErrno();
  }
  struct stat target {};
  const bool targetExists = ::lstat(to.c_str(), &target) == 0;
  if (targetExists && target.st_dev == source.st_dev && target.st_ino == source.st_ino) {
    // The target resolved to the source itself: a change of letter case only. Rename to the name
    // exactly as given.
    const auto slash = to.find_last_of('/');
    to = to.substr(0, slash + 1) + HostNameOf(LastName(toFull));
    if (to == from) {
      return TRUE;
    }
  } else if (targetExists) {
    if ((dwFlags & MOVEFILE_REPLACE_EXISTING) == 0) {
      return FailWith(ERROR_ALREADY_EXISTS);
    }
    if (S_ISDIR(target.st_mode) || (!S_ISLNK(target.st_mode) && IsReadOnlyMode(target.st_mode))) {
      return FailWith(ERROR_ACCESS_DENIED);
    }
  }
  const bool replace = (dwFlags & MOVEFILE_REPLACE_EXISTING) != 0;
  int result = replace ? ::rename(from.c_str(), to.c_str())
                       : ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
  if (result != 0 && !replace && errno == EINVAL) {
    // A file system without RENAME_NOREPLACE.
    struct stat again {};
    if (::lstat(to.c_str(), &again) == 0) {
      return FailWith(ERROR_ALREADY_EXISTS);
    }
    result = ::rename(from.c_str(), to.c_str());
  }
  if (result == 0) {
    return TRUE;
  }
  if (errno == EXDEV && (dwFlags & MOVEFILE_COPY_ALLOWED) != 0 && S_ISREG(source.st_mode)) {
    return CopyFileA(lpExistingFileName, lpNewFileName, replace ? FALSE : TRUE) &&
           DeleteFileA(lpExistingFileName);
  }
  return FailWith(errno == EEXIST ? ERROR_ALREADY_EXISTS : Win32ErrorFromErrno(errno));
}

BOOL MoveFileA(const char* lpExistingFileName, const char* lpNewFileName)
{
  return MoveFileExA(lpExistingFileName, lpNewFileName, MOVEFILE_COPY_ALLOWED);
}

BOOL CopyFileA(const char* lpExistingFileName, const char* lpNewFileName, BOOL bFailIfExists)
{
  if (PlatformCallFails()) {
    return FailWith(ERROR_DISK_FULL);
  }
  std::string to;
  if (!Resolve(lpNewFileName, to)) {
    return FALSE;
  }
  struct stat target {};
  if (::stat(to.c_str(), &target) == 0) {
    if (bFailIfExists) {
      return FailWith(ERROR_FILE_EXISTS);
    }
    if (S_ISDIR(target.st_mode) || IsReadOnlyMode(target.st_mode)) {
      return FailWith(ERROR_ACCESS_DENIED);
    }
  }
  const THandleOwner source(CreateFileA(lpExistingFileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
  if (!source.Valid()) {
    return FALSE;
  }
  const auto file = FileOf(source.Get());
  struct stat st {};
  ::fstat(file->Fd.Get(), &st);
  const int sourceFd = file->Fd.Get();
  const auto copy = [sourceFd, &st](int out) {
    char buffer[65536];
    for (;;) {
      const ssize_t got = ::read(sourceFd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) {
        continue;
      }
      if (got < 0) {
        return false;
      }
      if (got == 0) {
        break;
      }
      if (!WriteAllTo(out, std::string_view(buffer, static_cast<std::size_t>(got)))) {
        return false;
      }
    }
    const timespec times[2] = {st.st_atim, st.st_mtim};
    return ::futimens(out, times) == 0;
  };
  TReplaceOptions options;
  options.Mode = st.st_mode & 07777;
  options.KeepExisting = bFailIfExists != FALSE;
  const int failure = ReplaceHostFile(to, copy, options);
  if (failure == 0) {
    return TRUE;
  }
  return FailWith(failure == EEXIST ? ERROR_FILE_EXISTS : Win32ErrorFromErrno(failure));
}

BOOL CreateDirectoryA(const char* lpPathName, void*)
{
  if (PlatformCallFails()) {
    return FailWith(ERROR_DISK_FULL);
  }
  std::string host;
  if (!Resolve(lpPathName, host)) {
    return FALSE;
  }
  if (::mkdir(host.c_str(), 0777) != 0) {
    return FailWith(errno == ENOENT ? ERROR_PATH_NOT_FOUND : Win32ErrorFromErrno(errno));
  }
  return TRUE;
}

BOOL RemoveDirectoryA(const char* lpPathName)
{
  if (PlatformCallFails()) {
    return FailWith(ERROR_DISK_FULL);
  }
  std::string host;
  if (!Resolve(lpPathName, host)) {
    return FALSE;
  }
  if (::rmdir(host.c_str()) != 0) {
    if (errno == ENOTEMPTY || errno == EEXIST) {
      return FailWith(ERROR_DIR_NOT_EMPTY);
    }
    return FailWith(errno == ENOTDIR ? ERROR_DIRECTORY : Win32ErrorFromErrno(errno));
  }
  return TRUE;
}

DWORD GetFileAttributesA(const char* lpFileName)
{
  std::string host;
  std::string name;
  if (!Resolve(lpFileName, host, &name, TResolveCase::AsWritten)) {
    return INVALID_FILE_ATTRIBUTES;
  }
  THostFileInfo info;
  bool found = QueryHostFile(AT_FDCWD, host.c_str(), name, info);
  if (!found && (errno == ENOENT || errno == ENOTDIR)) {
    // Not there as written: the name in another letter case, or the reason it is missing.
    std::string existing;
    if (!Resolve(lpFileName, existing, nullptr, TResolveCase::Existing)) {
      return INVALID_FILE_ATTRIBUTES;
    }
    if (existing != host) {
      found = QueryHostFile(AT_FDCWD, existing.c_str(), name, info);
    } else {
      errno = ENOENT;
    }
  }
  if (!found) {
    FailWithErrno();
    return INVALID_FILE_ATTRIBUTES;
  }
  return info.Attributes;
}

BOOL SetFileAttributesA(const char* lpFileName, DWORD dwFileAttributes)
{
  if (PlatformCallFails()) {
    return FailWith(ERROR_DISK_FULL);
  }
  std::string host;
  if (!Resolve(lpFileName, host)) {
    return FALSE;
  }
  struct stat st {};
  if (::stat(host.c_str(), &st) != 0) {
    return FailWithErrno();
  }
  mode_t mode = st.st_mode & 07777;
  if ((dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
    mode &= ~static_cast<mode_t>(0222);
  } else if (IsReadOnlyMode(st.st_mode)) {
    mode |= S_IWUSR;
  }
  if (mode != (st.st_mode & 07777) && ::chmod(host.c_str(), mode) != 0) {
    return FailWithErrno();
  }
  return TRUE;
}

namespace {
constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600LL;
constexpr std::int64_t kTicksPerSecond = 10000000LL;
}  // namespace

FILETIME FileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds) noexcept
{
  const std::int64_t ticks = (seconds + kSecondsFrom1601To1970) * kTicksPerSecond + nanoseconds / 100;
  if (seconds < -kSecondsFrom1601To1970 || ticks < 0) {
    return FILETIME{0, 0};
  }
  const auto value = static_cast<std::uint64_t>(ticks);
  return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

void UnixFromFileTime(const FILETIME& time, std::int64_t& seconds, std::int64_t& nanoseconds) noexcept
{
  const auto ticks =
      static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
  seconds = ticks / kTicksPerSecond - kSecondsFrom1601To1970;
  nanoseconds = (ticks % kTicksPerSecond) * 100;
}

BOOL FileTimeToLocalFileTime(const FILETIME* lpFileTime, FILETIME* lpLocalFileTime)
{
  if (lpFileTime == nullptr || lpLocalFileTime == nullptr) {
    return FailWith(ERROR_INVALID_PARAMETER);
  }
  std::int64_t seconds = 0;
  std::int64_t nanoseconds = 0;
  UnixFromFileTime(*lpFileTime, seconds, nanoseconds);
  const auto instant = static_cast<time_t>(seconds);
  struct tm local {};
  if (::localtime_r(&instant, &local) == nullptr) {
    return FailWith(ERROR_INVALID_PARAMETER);
  }
  *lpLocalFileTime = FileTimeFromUnix(seconds + local.tm_gmtoff, nanoseconds);
  return TRUE;
}

BOOL FileTimeToDosDateTime(const FILETIME* lpFileTime, WORD* lpFatDate, WORD* lpFatTime)
{
  if (lpFileTime == nullptr || lpFatDate == nullptr || lpFatTime == nullptr) {
    return FailWith(ERROR_INVALID_PARAMETER);
  }
  std::int64_t seconds = 0;
  std::int64_t nanoseconds = 0;
  UnixFromFileTime(*lpFileTime, seconds, nanoseconds);
  // The civil date by arithmetic on days (a file search converts every entry, and gmtime_r
  // takes the time-zone lock each time): days since 1970-01-01 to year, month and day in the
  // proleptic Gregorian calendar, counted in 400-year eras from 0000-03-01.
  const std::int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
  const std::int64_t secondOfDay = seconds - days * 86400;
  const std::int64_t shifted = days + 719468;
  const std::int64_t era = (shifted >= 0 ? shifted : shifted - 146096) / 146097;
  const std::int64_t dayOfEra = shifted - era * 146097;
  const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t marchMonth = (5 * dayOfYear + 2) / 153;
  const std::int64_t day = dayOfYear - (153 * marchMonth + 2) / 5 + 1;
  const std::int64_t month = marchMonth < 10 ? marchMonth + 3 : marchMonth - 9;
  const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  if (year < 1980 || year > 2107) {
    return FailWith(ERROR_INVALID_PARAMETER);
  }
  *lpFatDate = static_cast<WORD>(((year - 1980) << 9) | (month << 5) | day);
  *lpFatTime = static_cast<WORD>(((secondOfDay / 3600) << 11) | ((secondOfDay / 60 % 60) << 5) |
                                 (secondOfDay % 60 / 2));
  return TRUE;
}
