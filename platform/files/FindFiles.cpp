#include "platform/files/FindFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/HostErrors.h"
#include "platform/core/LastError.h"
#include "platform/files/Files.h"
#include "platform/files/NameStandIns.h"
#include "platform/files/Paths.h"
#include "platform/files/detail/CaseFold.h"
#include "platform/files/detail/FileInfo.h"
#include "platform/files/detail/Utf8Sequences.h"

namespace {

// The bytes of the character at name[n]: "?" stands for one character, not one byte of it. A
// byte that is not UTF-8 counts as a character.
std::size_t CharacterLength(std::string_view name, std::size_t n) noexcept
{
  char32_t code = 0;
  const std::size_t length = WellFormedUtf8At(name, n, code);
  return length == 0 ? 1 : length;
}

bool MatchFolded(std::string_view name, std::string_view mask)
{
  // Iterative "*" matching with one back-track point.
  std::size_t n = 0;
  std::size_t m = 0;
  std::size_t starMask = std::string_view::npos;
  std::size_t starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && mask[m] == '?') {
      n += CharacterLength(name, n);
      ++m;
    } else if (m < mask.size() && mask[m] == name[n]) {
      ++n;
      ++m;
    } else if (m < mask.size() && mask[m] == '*') {
      starMask = m++;
      starName = n;
    } else if (starMask != std::string_view::npos) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') {
    ++m;
  }
  return m == mask.size();
}

// Whether name matches a mask already in upper case. "*" and "*.*" take every name without
// looking at it, which is what every walk asks for.
bool MatchesFoldedMask(std::string_view name, const std::string& foldedMask)
{
  if (foldedMask == "*" || foldedMask == "*.*") {
    return true;
  }
  const std::string foldedName = UpperCaseName(name);
  if (MatchFolded(foldedName, foldedMask)) {
    return true;
  }
  // A mask ending in ".*" also takes names without any extension ("*.*" matches "README").
  return foldedMask.ends_with(".*") && foldedName.find('.') == std::string::npos &&
         MatchFolded(foldedName + ".", foldedMask);
}

bool HasWildcards(std::string_view name)
{
  return name.find_first_of("*?") != std::string_view::npos;
}

void Fill(WIN32_FIND_DATAA& data, std::string_view name, const THostFileInfo& info)
{
  // Field by field: a walk fills one record per entry, and the name buffer is most of it.
  data.dwFileAttributes = info.Attributes;
  data.ftCreationTime = info.CreationTime;
  data.ftLastAccessTime = info.LastAccessTime;
  data.ftLastWriteTime = info.LastWriteTime;
  data.nFileSizeHigh = static_cast<DWORD>(info.Size >> 32);
  data.nFileSizeLow = static_cast<DWORD>(info.Size);
  data.dwReserved0 = 0;
  data.dwReserved1 = 0;
  const std::size_t length = std::min<std::size_t>(name.size(), MAX_PATH - 1);
  std::memcpy(data.cFileName, name.data(), length);
  data.cFileName[length] = '\0';
  std::memset(data.cAlternateFileName, 0, sizeof data.cAlternateFileName);
}

class TFindObject : public TKernelObject {
 public:
  TFindObject(DIR* dir, const std::string& mask, bool listDots)
      : FDir(dir), FMask(UpperCaseName(mask)), FMatchAll(FMask == "*" || FMask == "*.*")
  {
    if (listDots) {
      FPending = {".", ".."};
    }
  }
  // One named entry (no wildcards).
  TFindObject(std::string name, const THostFileInfo& info)
      : FSingleName(std::move(name)), FSingleInfo(info), FSingle(true)
  {
  }
  ~TFindObject() override
  {
    if (FDir != nullptr) {
      ::closedir(FDir);
    }
  }

  // The next match, or false at the end.
  bool Next(WIN32_FIND_DATAA& data)
  {
    if (FSingle) {
      if (FSingleDone) {
        return false;
      }
      FSingleDone = true;
      Fill(data, FSingleName, FSingleInfo);
      return true;
    }
    while (!FPending.empty()) {
      const std::string name = FPending.front();
      FPending.erase(FPending.begin());
      THostFileInfo info;
      if (MatchesFoldedMask(name, FMask) && QueryHostFile(::dirfd(FDir), name.c_str(), name, info)) {
        Fill(data, name, info);
        return true;
      }
    }
    while (const dirent* entry = ::readdir(FDir)) {
      std::string_view name(entry->d_name);
      if (name == "." || name == "..") {
        continue;
      }
      std::string mapped;
      if (HostNameNeedsStandIns(name)) {
        mapped = WindowsNameOf(name);
        if (mapped.size() >= MAX_PATH) {
          continue;  // its Windows name would not fit cFileName, and a cut name finds nothing
        }
        name = mapped;
      }
      if (!FMatchAll && !MatchesFoldedMask(name, FMask)) {
        continue;
      }
      THostFileInfo info;
      if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
        struct stat link {};
        if (::fstatat(::dirfd(FDir), entry->d_name, &link, AT_SYMLINK_NOFOLLOW) != 0) {
          continue;
        }
        if (S_ISLNK(link.st_mode)) {
          struct stat target {};
          if (::fstatat(::dirfd(FDir), entry->d_name, &target, 0) != 0 || S_ISDIR(target.st_mode)) {
            continue;
          }
        }
      }
      if (!QueryHostFile(::dirfd(FDir), entry->d_name, name, info)) {
        continue;  // gone since the folder was read
      }
      Fill(data, name, info);
      return true;
    }
    return false;
  }

 private:
  DIR* FDir = nullptr;
  std::string FMask;       // in upper case
  bool FMatchAll = false;  // "*" or "*.*": every name, not looked at
  std::vector<std::string> FPending;
  std::string FSingleName;
  THostFileInfo FSingleInfo;
  bool FSingle = false;
  bool FSingleDone = false;
};

HANDLE Fail(DWORD code)
{
  SetLastError(code);
  return INVALID_HANDLE_VALUE;
}

}  // namespace

bool MatchesFileMask(const char* name, const char* mask)
{
  return MatchesFoldedMask(name, UpperCaseName(mask));
}

HANDLE FindFirstFileA(const char* lpFileName, WIN32_FIND_DATAA* lpFindFileData)
{
  if (lpFileName == nullptr || lpFindFileData == nullptr) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  // The folder as written is tried first; its case is looked for only when that is not there.
  std::string full;
  std::string hostFolder;
  if (!ResolveSearchPath(lpFileName, full, hostFolder, TResolveCase::AsWritten)) {
    return INVALID_HANDLE_VALUE;
  }
  const auto cut = full.find_last_of('\\');
  const std::string mask = full.substr(cut + 1);
  const std::string folder = full.substr(0, cut + 1);
  std::shared_ptr<TFindObject> find;
  if (!HasWildcards(mask)) {
    std::string host;
    THostFileInfo info;
    if (!HostPathOf(full, host)) {
      return INVALID_HANDLE_VALUE;
    }
    const std::string name = WindowsNameOf(std::string_view(host).substr(host.find_last_of('/') + 1));
    if (name.size() >= MAX_PATH) {
      return Fail(ERROR_FILENAME_EXCED_RANGE);
    }
    if (!QueryHostFile(AT_FDCWD, host.c_str(), name, info)) {
      return Fail(errno == ENOENT ? ERROR_FILE_NOT_FOUND : Win32ErrorFromErrno(errno));
    }
    find = std::make_shared<TFindObject>(name, info);
  } else {
    DIR* dir = ::opendir(hostFolder.c_str());
    if (dir == nullptr && (errno == ENOENT || errno == ENOTDIR)) {
      std::string found;
      if (!ResolveSearchPath(lpFileName, full, found, TResolveCase::Existing)) {
        return INVALID_HANDLE_VALUE;
      }
      if (found != hostFolder) {
        dir = ::opendir(found.c_str());
      } else {
        errno = ENOENT;
      }
    }
    if (dir == nullptr) {
      return Fail(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : Win32ErrorFromErrno(errno));
    }
    // A drive's root has no "." and "..": the folder part is then just "X:\" or "\\server\share\".
    const bool driveRoot = folder.size() == 3 || std::count(folder.begin(), folder.end(), '\\') == 4;
    find = std::make_shared<TFindObject>(dir, mask, !driveRoot);
  }
  if (!find->Next(*lpFindFileData)) {
    return Fail(ERROR_FILE_NOT_FOUND);
  }
  return RegisterHandle(std::move(find));
}

BOOL FindNextFileA(HANDLE hFindFile, WIN32_FIND_DATAA* lpFindFileData)
{
  const auto find = LookupHandleAs<TFindObject>(hFindFile);
  if (!find) {
    return FALSE;
  }
  if (lpFindFileData == nullptr) {
    return FailWith(ERROR_INVALID_PARAMETER);
  }
  if (!find->Next(*lpFindFileData)) {
    return FailWith(ERROR_NO_MORE_FILES);
  }
  return TRUE;
}

BOOL FindClose(HANDLE hFindFile)
{
  if (!LookupHandleAs<TFindObject>(hFindFile)) {
    return FALSE;
  }
  return CloseHandle(hFindFile);
}
