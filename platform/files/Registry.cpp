#include "platform/files/Registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/core/Diagnostics.h"
#include "platform/core/FaultInjection.h"
#include "platform/core/LastError.h"
#include "platform/core/Machine.h"
#include "platform/files/FileDescriptor.h"
#include "platform/files/LockFile.h"
#include "platform/files/ReplaceFile.h"
#include "platform/files/detail/RegistryStore.h"
#include "platform/files/detail/ShellFoldersInternal.h"

namespace {

// ---- The hive files -------------------------------------------------------------------------

// What identifies one version of a hive file: a rename puts a new inode in place.
struct TFileIdentity {
  dev_t Device = 0;
  ino_t Inode = 0;
  off_t Size = 0;
  timespec Modified{};

  bool operator==(const TFileIdentity& other) const noexcept
  {
    return Device == other.Device && Inode == other.Inode && Size == other.Size &&
           Modified.tv_sec == other.Modified.tv_sec && Modified.tv_nsec == other.Modified.tv_nsec;
  }
};

struct THiveCache {
  TRegKey Root;
  bool Present = false;  // a file was read; false: no file (an empty hive)
  TFileIdentity Identity;
  std::uint64_t Generation = 0;  // changes whenever Root does; 0: never read
};

// Generations come from one counter, so caches of different machines never share one.
std::uint64_t NextGeneration()
{
  static std::uint64_t last = 0;  // guarded by HiveLock()
  return ++last;
}

// Cached hives of this process by file path; guarded by HiveLock(), which is also held across
// every read and change so threads of one process take turns.
std::map<std::string, THiveCache>& HiveCaches()
{
  static std::map<std::string, THiveCache> caches;
  return caches;
}

std::recursive_mutex& HiveLock()
{
  static std::recursive_mutex lock;
  return lock;
}

// The hive files of the machine in use, worked out again only when the environment that names
// the machine changes (every registry and drive-table call asks). Guarded by HiveLock().
const std::filesystem::path& HiveFile(THive hive)
{
  struct TMemo {
    std::string Machine, Config, Home;
    bool Valid = false;
    std::filesystem::path CurrentUser, LocalMachine;
  };
  static TMemo memo;
  const auto text = [](const char* name) {
    const char* value = std::getenv(name);
    return std::string_view(value == nullptr ? "" : value);
  };
  const std::string_view machine = text("OXA_MACHINE");
  const std::string_view config = text("XDG_CONFIG_HOME");
  const std::string_view home = text("HOME");
  if (!memo.Valid || machine != memo.Machine || config != memo.Config || home != memo.Home) {
    const std::filesystem::path folder = MachineFolderPath() / "registry";
    memo.CurrentUser = folder / "CurrentUser.hive";
    memo.LocalMachine = folder / "LocalMachine.hive";
    memo.Machine = machine;
    memo.Config = config;
    memo.Home = home;
    memo.Valid = true;
  }
  return hive == THive::CurrentUser ? memo.CurrentUser : memo.LocalMachine;
}

// The cross-process writer lock of one hive: an exclusive flock on a file beside it.
TLockFile HiveWriteLock(const std::filesystem::path& hiveFile)
{
  return TLockFile(hiveFile.string() + ".lock", 0644);
}

bool Identify(const std::filesystem::path& file, TFileIdentity& identity, bool& exists)
{
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) {
    exists = false;
    return errno == ENOENT;
  }
  exists = true;
  identity = TFileIdentity{st.st_dev, st.st_ino, st.st_size, st.st_mtim};
  return true;
}

bool ReadWholeFile(const std::filesystem::path& file, std::vector<std::byte>& bytes)
{
  const TFileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.Get() < 0) {
    return false;
  }
  bytes.clear();
  std::byte buffer[65536];
  for (;;) {
    const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    if (got == 0) {
      return true;
    }
    bytes.insert(bytes.end(), buffer, buffer + got);
    if (bytes.size() > kMaxHiveFileSize) {
      return true;  // too large: the parser refuses it
    }
  }
}

void SetAside(const std::filesystem::path& file)
{
  std::string aside = file.string() + ".corrupt";
  for (int n = 2; ::access(aside.c_str(), F_OK) == 0; ++n) {
    aside = file.string() + ".corrupt" + std::to_string(n);
  }
  if (::rename(file.c_str(), aside.c_str()) == 0) {
    PlatformTrace("Registry hive " + file.string() + " is corrupt; kept as " + aside +
                  ", a fresh hive started");
  } else {
    PlatformTrace("Registry hive " + file.string() +
                  " is corrupt and could not be set aside: " + std::strerror(errno));
  }
}

// Brings the cache up to date with the file. A corrupt file is set aside, but only under the
// writer lock (taken here when the caller does not hold it), so a file another process is just
// replacing is never mistaken for a corrupt one.
void Refresh(const std::filesystem::path& file, THiveCache& cache, bool holdingWriteLock)
{
  TFileIdentity identity;
  bool exists = false;
  if (!Identify(file, identity, exists)) {
    return;  // unreadable just now: keep what we have
  }
  if (!exists) {
    if (cache.Present || cache.Generation == 0) {
      cache.Root = TRegKey();
      cache.Present = false;
      cache.Generation = NextGeneration();
    }
    return;
  }
  if (cache.Present && cache.Identity == identity) {
    return;
  }
  std::vector<std::byte> bytes;
  if (ReadWholeFile(file, bytes)) {
    TRegKey root;
    if (ParseHive(bytes, root)) {
      cache.Root = std::move(root);
      cache.Present = true;
      cache.Identity = identity;
      cache.Generation = NextGeneration();
      return;
    }
  }
  if (!holdingWriteLock) {
    const TLockFile lock = HiveWriteLock(file);
    Refresh(file, cache, true);
    return;
  }
  SetAside(file);
  cache.Root = TRegKey();
  cache.Present = false;
  cache.Generation = NextGeneration();
}

LONG WriteHiveFile(const std::filesystem::path& file, const TRegKey& root, THiveCache& cache)
{
  const std::vector<std::byte> image = SerializeHive(root);
  const std::string_view bytes(reinterpret_cast<const char*>(image.data()), image.size());
  if (const int error = ReplaceHostFile(file, bytes); error != 0) {
    if (error == EACCES || error == EPERM || error == EROFS) {
      return static_cast<LONG>(ERROR_ACCESS_DENIED);
    }
    return static_cast<LONG>(error == ENOSPC ? ERROR_DISK_FULL : ERROR_WRITE_FAULT);
  }
  bool exists = false;
  cache.Present = Identify(file, cache.Identity, exists) && exists;
  return static_cast<LONG>(ERROR_SUCCESS);
}

}  // namespace

void ReadHive(THive hive, const std::function<void(const TRegKey& root)>& reader)
{
  const std::lock_guard guard(HiveLock());
  const std::filesystem::path& file = HiveFile(hive);
  auto& cache = HiveCaches()[file.string()];
  Refresh(file, cache, false);
  reader(cache.Root);
}

bool ReadHiveIfChanged(THive hive, std::uint64_t& generation,
                       const std::function<void(const TRegKey& root)>& reader)
{
  const std::lock_guard guard(HiveLock());
  const std::filesystem::path& file = HiveFile(hive);
  auto& cache = HiveCaches()[file.string()];
  Refresh(file, cache, false);
  if (cache.Generation == generation) {
    return false;
  }
  generation = cache.Generation;
  reader(cache.Root);
  return true;
}

LONG ModifyHive(THive hive, const std::function<LONG(TRegKey& root, bool& changed)>& change)
{
  const std::lock_guard guard(HiveLock());
  const std::filesystem::path& file = HiveFile(hive);
  std::error_code ignored;
  std::filesystem::create_directories(file.parent_path(), ignored);
  const TLockFile lock = HiveWriteLock(file);
  if (!lock.Held()) {
    return static_cast<LONG>(ERROR_ACCESS_DENIED);
  }
  auto& cache = HiveCaches()[file.string()];
  Refresh(file, cache, true);
  // Changes go to a copy, so a failed write leaves the cache equal to the file.
  TRegKey working;
  ParseHive(SerializeHive(cache.Root), working);
  bool changed = false;
  const LONG result = change(working, changed);
  if (!changed) {
    return result;
  }
  if (PlatformCallFails()) {
    return static_cast<LONG>(ERROR_DISK_FULL);
  }
  const LONG written = WriteHiveFile(file, working, cache);
  if (written != static_cast<LONG>(ERROR_SUCCESS)) {
    return written;
  }
  cache.Root = std::move(working);
  cache.Generation = NextGeneration();
  return result;
}

namespace {

// ---- Key handles ----------------------------------------------------------------------------

struct TOpenKey {
  THive Hive;
  std::vector<std::string> Path;  // component names below the hive's root
  REGSAM Access;
};

struct TKeyTable {
  std::mutex Lock;  // guards everything below
  std::unordered_map<std::uintptr_t, TOpenKey> Keys;
  std::uintptr_t NextValue = 0x1000;
};

TKeyTable& Keys()
{
  static TKeyTable table;
  return table;
}

constexpr LONG Result(DWORD code) noexcept
{
  return static_cast<LONG>(code);
}

bool LookupKey(HKEY key, TOpenKey& open)
{
  const auto value = reinterpret_cast<std::uintptr_t>(key);
  if (key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE) {
    open = TOpenKey{key == HKEY_CURRENT_USER ? THive::CurrentUser : THive::LocalMachine, {}, KEY_ALL_ACCESS};
    return true;
  }
  auto& table = Keys();
  const std::lock_guard guard(table.Lock);
  const auto found = table.Keys.find(value);
  if (found == table.Keys.end()) {
    return false;
  }
  open = found->second;
  return true;
}

HKEY AddKey(TOpenKey open)
{
  auto& table = Keys();
  const std::lock_guard guard(table.Lock);
  const std::uintptr_t value = table.NextValue;
  table.NextValue += 4;
  table.Keys.emplace(value, std::move(open));
  return reinterpret_cast<HKEY>(value);
}

// Splits a subkey path into its names; ERROR_BAD_PATHNAME for a leading "\" or an empty name.
LONG SplitSubKey(const char* subKey, std::vector<std::string>& names)
{
  names.clear();
  if (subKey == nullptr || *subKey == '\0') {
    return Result(ERROR_SUCCESS);
  }
  std::string_view rest(subKey);
  if (rest.front() == '\\') {
    return Result(ERROR_BAD_PATHNAME);
  }
  if (rest.back() == '\\') {
    rest.remove_suffix(1);
  }
  while (!rest.empty()) {
    const auto cut = rest.find('\\');
    const auto name = rest.substr(0, cut);
    if (name.empty()) {
      return Result(ERROR_BAD_PATHNAME);
    }
    if (name.size() > kMaxRegKeyNameLength) {
      return Result(ERROR_INVALID_PARAMETER);
    }
    names.emplace_back(name);
    if (cut == std::string_view::npos) {
      break;
    }
    rest.remove_prefix(cut + 1);
  }
  return Result(ERROR_SUCCESS);
}

const TRegKey* Walk(const TRegKey& root, const std::vector<std::string>& path)
{
  const TRegKey* key = &root;
  for (const auto& name : path) {
    key = key->FindSubKey(name);
    if (key == nullptr) {
      return nullptr;
    }
  }
  return key;
}

TRegKey* Walk(TRegKey& root, const std::vector<std::string>& path)
{
  return const_cast<TRegKey*>(Walk(static_cast<const TRegKey&>(root), path));
}

std::string_view ValueName(const char* name)
{
  return name == nullptr ? std::string_view() : std::string_view(name);
}

LONG CopyOut(const std::vector<BYTE>& data, BYTE* lpData, DWORD* lpcbData)
{
  if (lpcbData == nullptr) {
    return Result(lpData == nullptr ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER);
  }
  const auto size = static_cast<DWORD>(data.size());
  if (lpData != nullptr) {
    if (*lpcbData < size) {
      *lpcbData = size;
      return Result(ERROR_MORE_DATA);
    }
    std::copy(data.begin(), data.end(), lpData);
  }
  *lpcbData = size;
  return Result(ERROR_SUCCESS);
}

LONG CopyName(const std::string& name, char* buffer, DWORD* length)
{
  if (length == nullptr || buffer == nullptr) {
    return Result(ERROR_INVALID_PARAMETER);
  }
  if (*length <= name.size()) {
    *length = static_cast<DWORD>(name.size() + 1);
    return Result(ERROR_MORE_DATA);
  }
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  *length = static_cast<DWORD>(name.size());
  return Result(ERROR_SUCCESS);
}

// What opening and creating a key share: the parent's open key and the names below it, with the
// hive's shell folders in place.
LONG OpenParent(HKEY hKey, const char* lpSubKey, PHKEY phkResult, TOpenKey& parent,
                std::vector<std::string>& names)
{
  if (phkResult == nullptr) {
    return Result(ERROR_INVALID_PARAMETER);
  }
  if (!LookupKey(hKey, parent)) {
    return Result(ERROR_INVALID_HANDLE);
  }
  if (const LONG split = SplitSubKey(lpSubKey, names); split != Result(ERROR_SUCCESS)) {
    return split;
  }
  EnsureShellFolders(parent.Hive);
  return Result(ERROR_SUCCESS);
}

}  // namespace

LONG RegCreateKeyExA(HKEY hKey, const char* lpSubKey, DWORD, char*, DWORD, REGSAM samDesired, void*,
                     PHKEY phkResult, DWORD* lpdwDisposition)
{
  TOpenKey parent{};
  std::vector<std::string> names;
  if (const LONG opened = OpenParent(hKey, lpSubKey, phkResult, parent, names);
      opened != Result(ERROR_SUCCESS)) {
    return opened;
  }
  std::vector<std::string> path = parent.Path;
  DWORD disposition = REG_OPENED_EXISTING_KEY;
  const LONG result = ModifyHive(parent.Hive, [&](TRegKey& root, bool& changed) {
    TRegKey* key = Walk(root, parent.Path);
    if (key == nullptr) {
      return Result(ERROR_KEY_DELETED);
    }
    for (const auto& name : names) {
      bool created = false;
      key = &key->AddSubKey(name, created);
      path.push_back(key->Name);
      if (created) {
        changed = true;
        disposition = REG_CREATED_NEW_KEY;
      }
    }
    return Result(ERROR_SUCCESS);
  });
  if (result != Result(ERROR_SUCCESS)) {
    return result;
  }
  *phkResult = AddKey(TOpenKey{parent.Hive, std::move(path), samDesired});
  if (lpdwDisposition != nullptr) {
    *lpdwDisposition = disposition;
  }
  return Result(ERROR_SUCCESS);
}

LONG RegOpenKeyExA(HKEY hKey, const char* lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult)
{
  TOpenKey parent{};
  std::vector<std::string> names;
  if (const LONG opened = OpenParent(hKey, lpSubKey, phkResult, parent, names);
      opened != Result(ERROR_SUCCESS)) {
    return opened;
  }
  std::vector<std::string> path;
  LONG result = Result(ERROR_SUCCESS);
  ReadHive(parent.Hive, [&](const TRegKey& root) {
    const TRegKey* key = Walk(root, parent.Path);
    if (key == nullptr) {
      result = Result(ERROR_KEY_DELETED);
      return;
    }
    path = parent.Path;
    for (const auto& name : names) {
      key = key->FindSubKey(name);
      if (key == nullptr) {
        result = Result(ERROR_FILE_NOT_FOUND);
        return;
      }
      path.push_back(key->Name);
    }
  });
  if (result == Result(ERROR_SUCCESS)) {
    *phkResult = AddKey(TOpenKey{parent.Hive, std::move(path), samDesired});
  }
  return result;
}

LONG RegCloseKey(HKEY hKey)
{
  if (hKey == HKEY_CURRENT_USER || hKey == HKEY_LOCAL_MACHINE) {
    return Result(ERROR_SUCCESS);
  }
  auto& table = Keys();
  const std::lock_guard guard(table.Lock);
  return Result(table.Keys.erase(reinterpret_cast<std::uintptr_t>(hKey)) == 1 ? ERROR_SUCCESS
                                                                              : ERROR_INVALID_HANDLE);
}

LONG RegQueryValueExA(HKEY hKey, const char* lpValueName, DWORD*, DWORD* lpType, BYTE* lpData,
                      DWORD* lpcbData)
{
  TOpenKey open{};
  if (!LookupKey(hKey, open)) {
    return Result(ERROR_INVALID_HANDLE);
  }
  LONG result = Result(ERROR_SUCCESS);
  ReadHive(open.Hive, [&](const TRegKey& root) {
    const TRegKey* key = Walk(root, open.Path);
    if (key == nullptr) {
      result = Result(ERROR_KEY_DELETED);
      return;
    }
    const TRegValue* value = key->FindValue(ValueName(lpValueName));
    if (value == nullptr) {
      result = Result(ERROR_FILE_NOT_FOUND);
      return;
    }
    if (lpType != nullptr) {
      *lpType = value->Type;
    }
    result = CopyOut(value->Data, lpData, lpcbData);
  });
  return result;
}

LONG RegSetValueExA(HKEY hKey, const char* lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData)
{
  TOpenKey open{};
  if (!LookupKey(hKey, open)) {
    return Result(ERROR_INVALID_HANDLE);
  }
  if ((open.Access & KEY_SET_VALUE) == 0) {
    return Result(ERROR_ACCESS_DENIED);
  }
  if ((lpData == nullptr && cbData != 0) || cbData > kMaxRegValueSize ||
      ValueName(lpValueName).size() > kMaxRegValueNameLength) {
    return Result(ERROR_INVALID_PARAMETER);
  }
  const std::span<const BYTE> data(lpData, lpData == nullptr ? 0 : cbData);
  return ModifyHive(open.Hive, [&](TRegKey& root, bool& changed) {
    TRegKey* key = Walk(root, open.Path);
    if (key == nullptr) {
      return Result(ERROR_KEY_DELETED);
    }
    key->SetValue(ValueName(lpValueName), dwType, data);
    changed = true;
    return Result(ERROR_SUCCESS);
  });
}

LONG RegDeleteValueA(HKEY hKey, const char* lpValueName)
{
  TOpenKey open{};
  if (!LookupKey(hKey, open)) {
    return Result(ERROR_INVALID_HANDLE);
  }
  if ((open.Access & KEY_SET_VALUE) == 0) {
    return Result(ERROR_ACCESS_DENIED);
  }
  return ModifyHive(open.Hive, [&](TRegKey& root, bool& changed) {
    TRegKey* key = Walk(root, open.Path);
    if (key == nullptr) {
      return Result(ERROR_KEY_DELETED);
    }
    changed = key->RemoveValue(ValueName(lpValueName));
    return Result(changed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
  });
}

LONG RegDeleteKeyA(HKEY hKey, const char* lpSubKey)
{
  TOpenKey open{};
  if (!LookupKey(hKey, open)) {
    return Result(ERROR_INVALID_HANDLE);
  }
  std::vector<std::string> names;
  if (const LONG split = SplitSubKey(lpSubKey, names); split != Result(ERROR_SUCCESS)) {
    return split;
  }
  if (names.empty()) {
    return Result(ERROR_BAD_PATHNAME);
  }
  const std::string last = names.back();
  names.pop_back();
  std::vector<std::string> parentPath = open.Path;
  parentPath.insert(parentPath.end(), names.begin(), names.end());
  return ModifyHive(open.Hive, [&](TRegKey& root, bool& changed) {
    TRegKey* parent = Walk(root, parentPath);
    const TRegKey* key = parent == nullptr ? nullptr : parent->FindSubKey(last);
    if (key == nullptr) {
      return Result(ERROR_FILE_NOT_FOUND);
    }
    if (!key->SubKeys.empty()) {
      return Result(ERROR_ACCESS_DENIED);
    }
    changed = parent->RemoveSubKey(last);
    return Result(ERROR_SUCCESS);
  });
}

LONG RegEnumKeyExA(HKEY hKey, DWORD dwIndex, char* lpName, DWORD* lpcchName, DWORD*, char* lpClass,
                   DWORD* lpcchClass, FILETIME* lpftLastWriteTime)
{
  TOpenKey open{};
  if (!LookupKey(hKey, open)) {
    return Result(ERROR_INVALID_HANDLE);
  }
  LONG result = Result(ERROR_SUCCESS);
  ReadHive(open.Hive, [&](const TRegKey& root) {
    const TRegKey* key = Walk(root, open.Path);
    if (key == nullptr) {
      result = Result(ERROR_KEY_DELETED);
    } else if (dwIndex >= key->SubKeys.size()) {
      result = Result(ERROR_NO_MORE_ITEMS);
    } else {
      result = CopyName(key->SubKeys[dwIndex]->Name, lpName, lpcchName);
    }
  });
  if (result == Result(ERROR_SUCCESS)) {
    if (lpClass != nullptr && lpcchClass != nullptr && *lpcchClass > 0) {
      *lpClass = '\0';
      *lpcchClass = 0;
    }
    if (lpftLastWriteTime != nullptr) {
      *lpftLastWriteTime = FILETIME{0, 0};
    }
  }
  return result;
}

LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName, DWORD*, DWORD* lpType,
                   BYTE* lpData, DWORD* lpcbData)
{
  TOpenKey open{};
  if (!LookupKey(hKey, open)) {
    return Result(ERROR_INVALID_HANDLE);
  }
  LONG result = Result(ERROR_SUCCESS);
  ReadHive(open.Hive, [&](const TRegKey& root) {
    const TRegKey* key = Walk(root, open.Path);
    if (key == nullptr) {
      result = Result(ERROR_KEY_DELETED);
      return;
    }
    if (dwIndex >= key->Values.size()) {
      result = Result(ERROR_NO_MORE_ITEMS);
      return;
    }
    const TRegValue& value = key->Values[dwIndex];
    result = CopyName(value.Name, lpValueName, lpcchValueName);
    if (result != Result(ERROR_SUCCESS)) {
      return;
    }
    if (lpType != nullptr) {
      *lpType = value.Type;
    }
    result = CopyOut(value.Data, lpData, lpcbData);
  });
  return result;
}
