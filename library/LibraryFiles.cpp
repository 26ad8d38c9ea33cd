#include "library/LibraryFiles.h"

#include <algorithm>

#include "platform/core/LastError.h"
#include "platform/core/Time.h"
#include "platform/files/Files.h"
#include "platform/files/FindFiles.h"
#include "rtl/FilePaths.h"

namespace {

class TFindOwner {
 public:
  explicit TFindOwner(HANDLE handle) noexcept : FHandle(handle) {}
  ~TFindOwner()
  {
    if (FHandle != INVALID_HANDLE_VALUE) {
      FindClose(FHandle);
    }
  }
  TFindOwner(const TFindOwner&) = delete;
  TFindOwner& operator=(const TFindOwner&) = delete;
  bool Valid() const noexcept { return FHandle != INVALID_HANDLE_VALUE; }
  HANDLE Get() const noexcept { return FHandle; }

 private:
  HANDLE FHandle;
};

bool WriteAll(HANDLE file, std::string_view content)
{
  std::size_t done = 0;
  while (done < content.size()) {
    DWORD written = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(content.size() - done, 1U << 20));
    if (WriteFile(file, content.data() + done, chunk, &written, nullptr) == FALSE || written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

}  // namespace

std::string ReadSmallFile(const std::string& fileName, std::size_t maxSize)
{
  const THandleOwner file(CreateFileA(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    return {};
  }
  std::string content;
  char buffer[4096];
  for (;;) {
    DWORD read = 0;
    if (ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr) == FALSE) {
      return {};
    }
    if (read == 0) {
      return content;
    }
    if (content.size() + read > maxSize) {
      return {};
    }
    content.append(buffer, read);
  }
}

bool ReplaceFileContent(const std::string& fileName, std::string_view content)
{
  const std::string temporary = fileName + ".tmp";
  bool written = false;
  {
    const THandleOwner file(CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    written = file.Valid() && WriteAll(file.Get(), content) && FlushFileBuffers(file.Get()) != FALSE;
  }
  if (written && MoveFileExA(temporary.c_str(), fileName.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE) {
    return true;
  }
  DeleteFileA(temporary.c_str());
  return false;
}

bool OverwriteFileContent(const std::string& fileName, std::string_view content)
{
  const THandleOwner file(CreateFileA(fileName.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.Valid() && WriteAll(file.Get(), content) && SetEndOfFile(file.Get()) != FALSE &&
         FlushFileBuffers(file.Get()) != FALSE;
}

bool ForceFolder(const std::string& folder)
{
  const std::string path = ExcludeTrailingBackslash(folder);
  if (path.empty()) {
    return false;
  }
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }
  const std::string parent = ExtractFileDir(path);
  if (parent != path && !parent.empty() && !ForceFolder(parent)) {
    return false;
  }
  if (CreateDirectoryA(path.c_str(), nullptr) != FALSE) {
    return true;
  }
  // Another process may have made it meanwhile.
  const DWORD now = GetFileAttributesA(path.c_str());
  return now != INVALID_FILE_ATTRIBUTES && (now & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool DeleteMatchingFiles(const std::string& folder, const std::string& mask)
{
  WIN32_FIND_DATAA entry{};
  const TFindOwner find(FindFirstFileA((folder + mask).c_str(), &entry));
  if (!find.Valid()) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;  // nothing to delete
  }
  do {
    const std::string name = entry.cFileName;
    if ((entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_SYSTEM)) != 0) {
      continue;
    }
    if (DeleteFileA((folder + name).c_str()) == FALSE) {
      return false;
    }
  } while (FindNextFileA(find.Get(), &entry) != FALSE);
  return true;
}

std::unique_ptr<TFileLock> TFileLock::Take(const std::string& fileName, std::uint32_t waitMs, DWORD& error)
{
  constexpr DWORD RetryMs = 20;
  const DWORD started = GetTickCount();
  for (;;) {
    THandleOwner handle(CreateFileA(fileName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (handle.Valid()) {
      error = ERROR_SUCCESS;
      return std::unique_ptr<TFileLock>(new TFileLock(std::move(handle)));
    }
    error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION || GetTickCount() - started >= waitMs) {
      return nullptr;
    }
    Sleep(RetryMs);
  }
}

TFileLock::~TFileLock() = default;
