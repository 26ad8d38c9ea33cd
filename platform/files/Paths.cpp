#include "platform/files/Paths.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/core/LastError.h"
#include "platform/files/Drives.h"
#include "platform/files/NameStandIns.h"
#include "platform/files/detail/CaseFold.h"

namespace {

using TDriveTable = std::vector<TDrive>;

// Whether an absolute host path has no empty, "." or ".." names, so normalising would not
// change it (the common case, checked without building a path object).
bool IsPlainHostPath(std::string_view path) noexcept
{
  if (path.empty() || path.front() != '/') {
    return false;
  }
  std::size_t start = 1;
  while (start < path.size()) {
    auto end = path.find('/', start);
    if (end == std::string_view::npos) {
      end = path.size();
    }
    const auto name = path.substr(start, end - start);
    if ((name.empty() && end != path.size()) || name == "." || name == "..") {
      return false;
    }
    start = end + 1;
  }
  return true;
}

// With wildcardsInLastName (a host path given to a search), "*" and "?" in the last name stay
// wildcards rather than becoming stand-ins.
std::string WindowsPathIn(std::string_view hostPath, const TDriveTable& drives,
                          bool wildcardsInLastName = false)
{
  std::string host = IsPlainHostPath(hostPath) ? std::string(hostPath)
                                               : std::filesystem::path(hostPath).lexically_normal().string();
  while (host.size() > 1 && host.back() == '/') {
    host.pop_back();
  }
  if (host.empty() || host.front() != '/') {
    return {};
  }
  const TDrive* best = nullptr;
  for (const auto& drive : drives) {
    const std::string& folder = drive.Folder;
    const bool inside =
        folder == "/" || host == folder ||
        (host.size() > folder.size() && host.starts_with(folder) && host[folder.size()] == '/');
    if (inside && (best == nullptr || folder.size() > best->Folder.size())) {
      best = &drive;
    }
  }
  if (best == nullptr) {
    return {};
  }
  const std::string_view rest =
      std::string_view(host).substr(best->Folder == "/" ? 1 : std::min(host.size(), best->Folder.size() + 1));
  std::string windows = std::string(1, best->Letter) + ":\\";
  if (!HostNameNeedsStandIns(rest)) {
    windows += rest;
    std::replace(windows.begin(), windows.end(), '/', '\\');
    return windows;
  }
  std::size_t start = 0;
  while (start <= rest.size()) {
    auto end = rest.find('/', start);
    if (end == std::string_view::npos) {
      end = rest.size();
    }
    if (start != 0) {
      windows += '\\';
    }
    const auto name = rest.substr(start, end - start);
    windows += wildcardsInLastName && end == rest.size() ? WindowsMaskOf(name) : WindowsNameOf(name);
    start = end + 1;
  }
  return windows;
}

bool IsLetter(char c) noexcept
{
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char UpperLetter(char c) noexcept
{
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool Fail(DWORD code)
{
  SetLastError(code);
  return false;
}

// A full Windows path taken apart: "C:" or "\\server\share", then the names.
struct TParsedPath {
  std::string Root;
  std::vector<std::string> Names;
  bool TrailingBackslash = false;

  std::string Text() const
  {
    std::string text = Root;
    if (Names.empty()) {
      // A drive's root is "C:\"; a UNC root keeps its backslash only when it was given one.
      if (Root.size() == 2 || TrailingBackslash) {
        text += '\\';
      }
      return text;
    }
    for (const auto& name : Names) {
      text += '\\';
      text += name;
    }
    if (TrailingBackslash) {
      text += '\\';
    }
    return text;
  }
};

bool ValidName(std::string_view name, bool wildcards)
{
  // The limit is the host's, so it counts each stand-in as the one byte it stands for.
  if (name.size() > kMaxPathNameLength && HostNameOf(name).size() > kMaxPathNameLength) {
    return Fail(ERROR_FILENAME_EXCED_RANGE);
  }
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || c == '<' || c == '>' || c == ':' || c == '"' || c == '|' ||
        (!wildcards && (c == '*' || c == '?'))) {
      return Fail(ERROR_INVALID_NAME);
    }
  }
  return true;
}

// Appends the names of text (separated by "\") to path, folding "." and "..".
bool AddNames(std::string_view text, TParsedPath& path, bool wildcardsInLastName)
{
  std::size_t start = 0;
  while (start <= text.size()) {
    auto end = text.find('\\', start);
    if (end == std::string_view::npos) {
      end = text.size();
    }
    const auto name = text.substr(start, end - start);
    const bool last = end == text.size();
    if (name.empty() || name == ".") {
      // nothing: repeated separators and "." name no folder
    } else if (name == "..") {
      if (!path.Names.empty()) {
        path.Names.pop_back();
      }
    } else {
      if (!ValidName(name, wildcardsInLastName && last)) {
        return false;
      }
      path.Names.emplace_back(name);
    }
    start = end + 1;
  }
  return true;
}

bool CurrentWindowsFolder(TParsedPath& folder, const TDriveTable& drives)
{
  std::error_code error;
  const auto current = std::filesystem::current_path(error);
  if (error) {
    return Fail(ERROR_PATH_NOT_FOUND);
  }
  const std::string windows = WindowsPathIn(current.string(), drives);
  if (windows.empty()) {
    return Fail(ERROR_PATH_NOT_FOUND);
  }
  folder.Root = windows.substr(0, 2);
  return AddNames(std::string_view(windows).substr(2), folder, false);
}

// A path completed from the current folder may lead into the folder of a drive nested in the
// current drive's (C: = the home folder inside Z: = "/"): it is named on that drive, as the same
// host path given whole is, so one file does not get two names (and two library records).
bool OnInnermostDrive(TParsedPath& path, const TDriveTable& drives)
{
  const TDrive* current = nullptr;
  for (const auto& drive : drives) {
    if (path.Root.size() == 2 && drive.Letter == path.Root[0]) {
      current = &drive;
    }
  }
  if (current == nullptr) {
    return true;
  }
  std::string host = current->Folder;
  for (const auto& name : path.Names) {
    if (host.back() != '/') {
      host += '/';
    }
    host += HostNameOf(name);
  }
  const std::string windows = WindowsPathIn(host, drives);
  if (windows.size() < 3 || windows[0] == path.Root[0]) {
    return true;
  }
  // The names below the nested drive's folder are the path's own last names: they are kept as
  // written (a mask stays a mask, stand-ins stay as given).
  const auto below = std::string_view(windows).substr(3);
  const std::size_t kept =
      below.empty() ? 0 : static_cast<std::size_t>(std::count(below.begin(), below.end(), '\\')) + 1;
  path.Root = windows.substr(0, 2);
  path.Names.erase(path.Names.begin(),
                   path.Names.end() - static_cast<std::ptrdiff_t>(std::min(kept, path.Names.size())));
  return true;
}

bool ParsePath(std::string_view input, TParsedPath& path, bool wildcardsInLastName, const TDriveTable& drives)
{
  if (input.empty()) {
    return Fail(ERROR_PATH_NOT_FOUND);
  }
  if (input.size() > kMaxFullPathLength) {
    return Fail(ERROR_FILENAME_EXCED_RANGE);
  }
  std::string text(input);
  if (text.size() > 1 && text[0] == '/' && text[1] != '/') {
    // A host path, as tests, tools and a command line hand in: its Windows name.
    text = WindowsPathIn(text, drives, wildcardsInLastName);
    if (text.empty()) {
      return Fail(ERROR_PATH_NOT_FOUND);
    }
  } else if (text == "/") {
    text = WindowsPathIn(text, drives);
  }
  for (char& c : text) {
    if (c == '/') {
      c = '\\';
    }
  }
  std::string_view rest(text);
  if (rest.starts_with("\\\\?\\UNC\\")) {
    text = "\\\\" + text.substr(8);
    rest = text;
  } else if (rest.starts_with("\\\\?\\")) {
    rest.remove_prefix(4);
  }
  path = TParsedPath();
  path.TrailingBackslash = rest.size() > 1 && rest.back() == '\\';
  if (rest.starts_with("\\\\")) {
    rest.remove_prefix(2);
    const auto serverEnd = rest.find('\\');
    const auto server = rest.substr(0, serverEnd);
    if (server.empty() || serverEnd == std::string_view::npos) {
      return Fail(ERROR_INVALID_NAME);
    }
    rest.remove_prefix(serverEnd + 1);
    const auto shareEnd = rest.find('\\');
    const auto share = rest.substr(0, shareEnd);
    if (share.empty() || !ValidName(server, false) || !ValidName(share, false)) {
      return Fail(ERROR_INVALID_NAME);
    }
    path.Root = "\\\\" + std::string(server) + "\\" + std::string(share);
    rest.remove_prefix(shareEnd == std::string_view::npos ? rest.size() : shareEnd);
    return AddNames(rest, path, wildcardsInLastName);
  }
  if (rest.size() >= 2 && IsLetter(rest[0]) && rest[1] == ':') {
    path.Root = std::string(1, UpperLetter(rest[0])) + ":";
    rest.remove_prefix(2);
    if (rest.empty() || rest.front() != '\\') {
      // "C:name": relative to the current folder when that is on the same drive.
      TParsedPath current;
      if (CurrentWindowsFolder(current, drives) && current.Root == path.Root) {
        path.Names = current.Names;
        return AddNames(rest, path, wildcardsInLastName) && OnInnermostDrive(path, drives);
      }
    }
    return AddNames(rest, path, wildcardsInLastName);
  }
  if (!CurrentWindowsFolder(path, drives)) {
    return false;
  }
  if (!rest.empty() && rest.front() == '\\') {
    path.Names.clear();
  }
  return AddNames(rest, path, wildcardsInLastName) && OnInnermostDrive(path, drives);
}

// The entry of folder whose name equals name without regard to case, the first in directory
// order; empty when there is none.
std::string FindNameIgnoringCase(const std::string& folder, const std::string& name)
{
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    return {};
  }
  const std::string wanted = UpperCaseName(name);
  std::string found;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view candidate(entry->d_name);
    if (candidate != "." && candidate != ".." && UpperCaseName(candidate) == wanted) {
      found = candidate;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

bool DriveFolderOf(const TParsedPath& path, std::string& folder, const TDriveTable& drives)
{
  if (path.Root.size() == 2) {
    for (const auto& drive : drives) {
      if (drive.Letter == path.Root[0]) {
        folder = drive.Folder;
        return true;
      }
    }
    return Fail(ERROR_PATH_NOT_FOUND);
  }
  for (const auto& drive : drives) {
    if (drive.Type == DRIVE_REMOTE && !drive.UncName.empty() &&
        SameNameIgnoringCase(drive.UncName, path.Root)) {
      folder = drive.Folder;
      return true;
    }
  }
  return Fail(ERROR_BAD_NETPATH);
}

// The host path of a parsed path, each name's case resolved; with exactOnly the names are taken
// as written, without looking at the file system.
bool HostPathOfParsed(const TParsedPath& parsed, std::string& hostPath, const TDriveTable& drives,
                      bool exactOnly)
{
  std::string folder;
  if (!DriveFolderOf(parsed, folder, drives)) {
    return false;
  }
  // The common case first: the path exists exactly as written, one lstat.
  std::string exact = folder;
  for (const auto& name : parsed.Names) {
    if (exact != "/") {
      exact += '/';
    }
    if (WindowsNameMayHoldStandIns(name)) {
      exact += HostNameOf(name);
    } else {
      exact += name;  // the common case, without a copy
    }
  }
  if (exactOnly) {
    if (exact.size() >= 4096) {
      return Fail(ERROR_FILENAME_EXCED_RANGE);
    }
    hostPath = std::move(exact);
    return true;
  }
  struct stat whole {};
  if (exact.size() < 4096 && ::lstat(exact.c_str(), &whole) == 0) {
    hostPath = std::move(exact);
    return true;
  }
  std::string host = folder;
  for (std::size_t i = 0; i < parsed.Names.size(); ++i) {
    const std::string name = HostNameOf(parsed.Names[i]);
    const bool last = i + 1 == parsed.Names.size();
    const auto below = [&host](const std::string& child) {
      std::string path = host;
      if (path != "/") {
        path += '/';
      }
      return path.append(child);
    };
    std::string candidate = below(name);
    struct stat st {};
    if (::lstat(candidate.c_str(), &st) != 0) {
      const int error = errno;
      if (error == ENOTDIR) {
        return Fail(ERROR_PATH_NOT_FOUND);
      }
      if (error == ENOENT) {
        const std::string found = FindNameIgnoringCase(host, name);
        if (!found.empty()) {
          candidate = below(found);
        } else if (!last) {
          return Fail(ERROR_PATH_NOT_FOUND);
        }
      }
    }
    host = std::move(candidate);
  }
  if (host.size() >= 4096) {
    return Fail(ERROR_FILENAME_EXCED_RANGE);
  }
  hostPath = std::move(host);
  return true;
}

bool CheckedText(const TParsedPath& parsed, std::string& full)
{
  full = parsed.Text();
  if (full.size() > kMaxFullPathLength) {
    return Fail(ERROR_FILENAME_EXCED_RANGE);
  }
  return true;
}

}  // namespace

bool FullWindowsPath(std::string_view path, std::string& full, bool wildcardsInLastName)
{
  TParsedPath parsed;
  return ParsePath(path, parsed, wildcardsInLastName, *SharedDriveTable()) && CheckedText(parsed, full);
}

bool HostPathOf(std::string_view windowsPath, std::string& hostPath)
{
  const auto drives = SharedDriveTable();
  TParsedPath parsed;
  return ParsePath(windowsPath, parsed, false, *drives) && HostPathOfParsed(parsed, hostPath, *drives, false);
}

bool ResolvePath(std::string_view path, std::string& full, std::string& hostPath, TResolveCase resolveCase)
{
  const auto drives = SharedDriveTable();
  TParsedPath parsed;
  return ParsePath(path, parsed, false, *drives) && CheckedText(parsed, full) &&
         HostPathOfParsed(parsed, hostPath, *drives, resolveCase == TResolveCase::AsWritten);
}

bool ResolveSearchPath(std::string_view path, std::string& full, std::string& hostFolder,
                       TResolveCase resolveCase)
{
  const auto drives = SharedDriveTable();
  TParsedPath parsed;
  if (!ParsePath(path, parsed, true, *drives) || !CheckedText(parsed, full)) {
    return false;
  }
  if (parsed.Names.empty() || parsed.TrailingBackslash) {
    return Fail(ERROR_FILE_NOT_FOUND);  // no mask
  }
  parsed.Names.pop_back();
  return HostPathOfParsed(parsed, hostFolder, *drives, resolveCase == TResolveCase::AsWritten);
}

std::string WindowsPathOf(std::string_view hostPath)
{
  return WindowsPathIn(hostPath, *SharedDriveTable());
}

DWORD GetFullPathNameA(const char* lpFileName, DWORD nBufferLength, char* lpBuffer, char** lpFilePart)
{
  std::string full;
  if (lpFileName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!FullWindowsPath(lpFileName, full)) {
    return 0;
  }
  if (lpBuffer == nullptr || nBufferLength <= full.size()) {
    return static_cast<DWORD>(full.size() + 1);
  }
  std::memcpy(lpBuffer, full.c_str(), full.size() + 1);
  if (lpFilePart != nullptr) {
    const auto cut = full.find_last_of('\\');
    *lpFilePart = (cut == std::string::npos || cut + 1 == full.size()) ? nullptr : lpBuffer + cut + 1;
  }
  return static_cast<DWORD>(full.size());
}

DWORD WNetGetUniversalNameA(const char* lpLocalPath, DWORD dwInfoLevel, void* lpBuffer, DWORD* lpBufferSize)
{
  if (lpLocalPath == nullptr || lpBufferSize == nullptr || dwInfoLevel != UNIVERSAL_NAME_INFO_LEVEL) {
    return ERROR_INVALID_PARAMETER;
  }
  std::string full;
  if (!FullWindowsPath(lpLocalPath, full)) {
    return GetLastError();
  }
  std::string universal;
  if (full.starts_with("\\\\")) {
    universal = full;
  } else {
    TDrive drive;
    if (!FindDrive(full[0], drive) || drive.Type != DRIVE_REMOTE || drive.UncName.empty()) {
      return ERROR_NOT_CONNECTED;
    }
    universal = drive.UncName + full.substr(2);
    if (universal.size() > 2 && universal.back() == '\\' && full.size() == 3) {
      universal.pop_back();
    }
  }
  const DWORD needed = static_cast<DWORD>(sizeof(UNIVERSAL_NAME_INFOA) + universal.size() + 1);
  if (lpBuffer == nullptr || *lpBufferSize < needed) {
    *lpBufferSize = needed;
    return ERROR_MORE_DATA;
  }
  auto* info = static_cast<UNIVERSAL_NAME_INFOA*>(lpBuffer);
  char* text = static_cast<char*>(lpBuffer) + sizeof(UNIVERSAL_NAME_INFOA);
  std::memcpy(text, universal.c_str(), universal.size() + 1);
  info->lpUniversalName = text;
  return ERROR_SUCCESS;
}
