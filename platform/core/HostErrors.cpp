#include "platform/core/HostErrors.h"

#include <cerrno>

#include "platform/core/LastError.h"

DWORD Win32ErrorFromErrno(int error) noexcept
{
  switch (error) {
    case 0:
      return ERROR_SUCCESS;
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
    case ELOOP:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
      return ERROR_ACCESS_DENIED;
    case EEXIST:
      return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY:
      return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return ERROR_DISK_FULL;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case EXDEV:
      return ERROR_NOT_SAME_DEVICE;
    case EAGAIN:
      return ERROR_LOCK_VIOLATION;
    case ENOEXEC:
      return ERROR_BAD_EXE_FORMAT;
    case ENOTSUP:
      return ERROR_NOT_SUPPORTED;
    case ENODEV:
    case ENXIO:
    case ENOMEDIUM:
      return ERROR_NOT_READY;
    case EIO:
      return ERROR_READ_FAULT;
    default:
      return ERROR_INVALID_FUNCTION;
  }
}

BOOL FailWithErrno() noexcept
{
  return FailWithErrno(errno);
}

BOOL FailWithErrno(int error) noexcept
{
  SetLastError(Win32ErrorFromErrno(error));
  return FALSE;
}

BOOL FailWith(DWORD errorCode) noexcept
{
  SetLastError(errorCode);
  return FALSE;
}
