#include "rtl/FileUtils.h"

#include <array>

#include "platform/core/LastError.h"
#include "platform/files/Files.h"
#include "platform/files/Paths.h"

bool FileExists(const std::string& fileName)
{
  const DWORD attributes = GetFileAttributesA(fileName.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DeleteFile(const std::string& fileName)
{
  return DeleteFileA(fileName.c_str()) != FALSE;
}

bool RenameFile(const std::string& oldName, const std::string& newName)
{
  return MoveFileA(oldName.c_str(), newName.c_str()) != FALSE;
}

int FileGetAttr(const std::string& fileName)
{
  const DWORD attributes = GetFileAttributesA(fileName.c_str());
  return attributes == INVALID_FILE_ATTRIBUTES ? -1 : static_cast<int>(attributes);
}

int FileSetAttr(const std::string& fileName, int attr)
{
  return SetFileAttributesA(fileName.c_str(), static_cast<DWORD>(attr)) ? 0
                                                                        : static_cast<int>(GetLastError());
}

std::string ExpandFileName(const std::string& fileName)
{
  std::string full;
  return FullWindowsPath(fileName, full) ? full : fileName;
}

std::string ExpandUNCFileName(const std::string& fileName)
{
  std::string full = ExpandFileName(fileName);
  DWORD size = 0;
  if (WNetGetUniversalNameA(full.c_str(), UNIVERSAL_NAME_INFO_LEVEL, nullptr, &size) != ERROR_MORE_DATA) {
    return full;
  }
  std::string buffer(size, '\0');
  if (WNetGetUniversalNameA(full.c_str(), UNIVERSAL_NAME_INFO_LEVEL, buffer.data(), &size) != ERROR_SUCCESS) {
    return full;
  }
  return reinterpret_cast<const UNIVERSAL_NAME_INFOA*>(buffer.data())->lpUniversalName;
}

std::string SysErrorMessage(DWORD errorCode)
{
  switch (errorCode) {
    case ERROR_FILE_NOT_FOUND:
      return "The system cannot find the file specified";
    case ERROR_PATH_NOT_FOUND:
      return "The system cannot find the path specified";
    case ERROR_TOO_MANY_OPEN_FILES:
      return "The system cannot open the file";
    case ERROR_ACCESS_DENIED:
      return "Access is denied";
    case ERROR_INVALID_HANDLE:
      return "The handle is invalid";
    case ERROR_NOT_ENOUGH_MEMORY:
      return "Not enough storage is available to process this command";
    case ERROR_INVALID_PARAMETER:
      return "The parameter is incorrect";
    case ERROR_NOT_READY:
      return "The device is not ready";
    case ERROR_SHARING_VIOLATION:
      return "The process cannot access the file because it is being used by another process";
    case ERROR_FILE_EXISTS:
      return "The file exists";
    case ERROR_DISK_FULL:
      return "There is not enough space on the disk";
    case ERROR_INVALID_NAME:
      return "The filename, directory name, or volume label syntax is incorrect";
    case ERROR_FILENAME_EXCED_RANGE:
      return "The filename or extension is too long";
    case ERROR_ALREADY_EXISTS:
      return "Cannot create a file when that file already exists";
    default:
      return "System Error.  Code: " + std::to_string(errorCode);
  }
}
