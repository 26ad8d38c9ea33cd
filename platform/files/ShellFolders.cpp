#include "platform/files/ShellFolders.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>

#include "platform/core/LastError.h"
#include "platform/core/Machine.h"
#include "platform/files/Paths.h"
#include "platform/files/Registry.h"
#include "platform/files/detail/ShellFoldersInternal.h"

namespace {

std::string Environment(const char* name)
{
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

std::string HomeFolder()
{
  const std::string home = Environment("HOME");
  return home.empty() ? "/" : home;
}

// XDG_DESKTOP_DIR="$HOME/Desktop" in user-dirs.dirs.
std::string DesktopFromUserDirs()
{
  std::string config = Environment("XDG_CONFIG_HOME");
  if (config.empty()) {
    config = HomeFolder() + "/.config";
  }
  std::ifstream in(config + "/user-dirs.dirs");
  std::string line;
  while (std::getline(in, line)) {
    if (!line.starts_with("XDG_DESKTOP_DIR=")) {
      continue;
    }
    std::string value = line.substr(16);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    if (value.starts_with("$HOME")) {
      value = HomeFolder() + value.substr(5);
    }
    return value.starts_with("/") ? value : std::string();
  }
  return {};
}

std::vector<BYTE> RegText(const std::string& text)
{
  std::vector<BYTE> data(text.begin(), text.end());
  data.push_back(0);
  return data;
}

TRegKey& CreatePath(TRegKey& root, std::initializer_list<const char*> names, bool& changed)
{
  TRegKey* key = &root;
  for (const char* name : names) {
    bool created = false;
    key = &key->AddSubKey(name, created);
    changed = changed || created;
  }
  return *key;
}

std::string MachineSubfolder(const char* name)
{
  const auto folder = MachineFolder() / name;
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  return WindowsPathOf(folder.string());
}

}  // namespace

std::string HostDataHome()
{
  const std::string data = Environment("XDG_DATA_HOME");
  return data.starts_with("/") ? data : HomeFolder() + "/.local/share";
}

std::string HostDesktopFolder()
{
  std::string desktop = Environment("XDG_DESKTOP_DIR");
  if (desktop.starts_with("/")) {
    return desktop;
  }
  const std::string fromUserDirs = DesktopFromUserDirs();
  return fromUserDirs.empty() ? HomeFolder() + "/Desktop" : fromUserDirs;
}

void EnsureShellFolders(THive hive)
{
  // Once per hive file and process; the guard is set first so the drive-table reads below,
  // which go through the registry, do not come back here.
  static std::mutex lock;
  static std::set<std::string> done;
  const std::string key = MachineFolderPath().string() + (hive == THive::CurrentUser ? "|user" : "|machine");
  {
    const std::lock_guard guard(lock);
    if (!done.insert(key).second) {
      return;
    }
  }
  if (hive == THive::CurrentUser) {
    const std::string appData = WindowsPathOf(HostDataHome());
    const std::string desktop = WindowsPathOf(HostDesktopFolder());
    ModifyHive(hive, [&](TRegKey& root, bool& changed) {
      TRegKey& folders = CreatePath(
          root, {"Software", "Microsoft", "Windows", "CurrentVersion", "Explorer", "Shell Folders"}, changed);
      if (folders.FindValue("AppData") == nullptr && !appData.empty()) {
        folders.SetValue("AppData", REG_SZ, RegText(appData));
        changed = true;
      }
      if (folders.FindValue("Desktop") == nullptr && !desktop.empty()) {
        folders.SetValue("Desktop", REG_SZ, RegText(desktop));
        changed = true;
      }
      return static_cast<LONG>(ERROR_SUCCESS);
    });
  } else {
    const std::string commonFiles = MachineSubfolder("Common Files");
    ModifyHive(hive, [&](TRegKey& root, bool& changed) {
      TRegKey& version = CreatePath(root, {"Software", "Microsoft", "Windows", "CurrentVersion"}, changed);
      if (version.FindValue("CommonFilesDir") == nullptr && !commonFiles.empty()) {
        version.SetValue("CommonFilesDir", REG_SZ, RegText(commonFiles));
        changed = true;
      }
      return static_cast<LONG>(ERROR_SUCCESS);
    });
  }
}

UINT GetWindowsDirectoryA(char* lpBuffer, UINT uSize)
{
  const std::string folder = MachineSubfolder("windows");
  if (folder.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return 0;
  }
  if (lpBuffer == nullptr || uSize <= folder.size()) {
    return static_cast<UINT>(folder.size() + 1);
  }
  std::memcpy(lpBuffer, folder.c_str(), folder.size() + 1);
  return static_cast<UINT>(folder.size());
}
