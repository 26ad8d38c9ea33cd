#include "rtl/FileUtils.h"

#include <array>

#include "platform/Files.h"
#include "platform/LastError.h"
#include "platform/Paths.h"

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
  return SetFileAttributesA(fileName.c_str(), static_cast<DWORD>(attr)) ? 0 : static_cast<int>(GetLastError());
}

std::string ExpandFileName(const std::string& fileName)
{
  std::string full;
  return FullWindowsPath(fileName, full) ? full : fileName;
}

std::string ExpandUNCFileName(const std::string& fileName)
{
  const std::string full = ExpandFileName(fileName);
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
