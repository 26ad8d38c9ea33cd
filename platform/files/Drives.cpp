#include "platform/files/Drives.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>

#include "platform/core/HostErrors.h"
#include "platform/core/LastError.h"
#include "platform/core/PollUntil.h"
#include "platform/files/FileDescriptor.h"
#include "platform/files/Paths.h"
#include "platform/files/Registry.h"
#include "platform/files/detail/CaseFold.h"
#include "platform/files/detail/RegistryStore.h"

namespace {

constexpr ULONGLONG kClusterSize = 4096;

struct TMount {
  std::string Point;
  std::string FileSystem;
  std::string Source;
};

// Mount points and sources escape blanks and backslashes as octal "\040".
std::string DecodeOctalEscapes(std::string_view text)
{
  std::string result;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto octal = [&](std::size_t at) { return text[at] >= '0' && text[at] <= '7'; };
    if (text[i] == '\\' && i + 3 < text.size() && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
      const std::string digits(text.substr(i + 1, 3));
      result += static_cast<char>(std::strtol(digits.c_str(), nullptr, 8));
      i += 3;
    } else {
      result += text[i];
    }
  }
  return result;
}

std::vector<TMount> ReadMounts()
{
  std::vector<TMount> mounts;
  std::ifstream in("/proc/self/mountinfo");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string id, parent, device, root, point;
    fields >> id >> parent >> device >> root >> point;
    std::string field;
    while (fields >> field && field != "-") {
    }
    TMount mount;
    fields >> mount.FileSystem >> mount.Source;
    mount.Point = DecodeOctalEscapes(point);
    mount.Source = DecodeOctalEscapes(mount.Source);
    mounts.push_back(std::move(mount));
  }
  return mounts;
}

const TMount* MountHolding(const std::vector<TMount>& mounts, const std::string& folder)
{
  const TMount* best = nullptr;
  for (const auto& mount : mounts) {
    const bool inside = mount.Point == "/" || folder == mount.Point ||
                        (folder.starts_with(mount.Point) && folder.size() > mount.Point.size() &&
                         folder[mount.Point.size()] == '/');
    if (inside && (best == nullptr || mount.Point.size() >= best->Point.size())) {
      best = &mount;
    }
  }
  return best;
}

bool OneOf(const std::string& value, std::initializer_list<const char*> names)
{
  return std::any_of(names.begin(), names.end(), [&](const char* name) { return value == name; });
}

bool IsRemovableDevice(const std::string& source)
{
  if (!source.starts_with("/dev/")) {
    return false;
  }
  std::error_code error;
  const auto device = std::filesystem::canonical(source, error);
  if (error) {
    return false;
  }
  const auto block = std::filesystem::canonical("/sys/class/block" / device.filename(), error);
  if (error) {
    return false;
  }
  for (const auto& candidate : {block / "removable", block.parent_path() / "removable"}) {
    std::ifstream in(candidate);
    int flag = 0;
    if (in >> flag) {
      return flag == 1;
    }
  }
  return false;
}

// "\x20" escapes of /dev/disk/by-label names.
std::string DecodeHexEscapes(std::string_view text)
{
  std::string result;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto hex = [&](std::size_t at) { return std::isxdigit(static_cast<unsigned char>(text[at])) != 0; };
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' && hex(i + 2) && hex(i + 3)) {
      result += static_cast<char>(std::strtol(std::string(text.substr(i + 2, 2)).c_str(), nullptr, 16));
      i += 3;
    } else {
      result += text[i];
    }
  }
  return result;
}

std::string LabelOfDevice(const std::string& source)
{
  if (!source.starts_with("/dev/")) {
    return {};
  }
  std::error_code error;
  const auto device = std::filesystem::canonical(source, error);
  if (error) {
    return {};
  }
  for (const auto& entry : std::filesystem::directory_iterator("/dev/disk/by-label", error)) {
    std::error_code ignored;
    if (std::filesystem::canonical(entry.path(), ignored) == device) {
      return DecodeHexEscapes(entry.path().filename().string());
    }
  }
  return {};
}

UINT KindOfMount(const TMount& mount)
{
  if (OneOf(mount.FileSystem, {"iso9660", "udf"})) {
    return DRIVE_CDROM;
  }
  if (OneOf(mount.FileSystem, {"nfs", "nfs4", "cifs", "smb3", "smbfs", "9p", "davfs", "ceph", "glusterfs"}) ||
      mount.FileSystem.starts_with("fuse.sshfs") || mount.FileSystem.starts_with("fuse.rclone")) {
    return DRIVE_REMOTE;
  }
  if (OneOf(mount.FileSystem, {"tmpfs", "ramfs"})) {
    return DRIVE_RAMDISK;
  }
  return IsRemovableDevice(mount.Source) ? DRIVE_REMOVABLE : DRIVE_FIXED;
}

// "//server/share" (CIFS) or "server:/path" (NFS, SSH) as "\\server\share".
std::string UncNameOfSource(const std::string& source)
{
  std::string unc;
  if (source.starts_with("//")) {
    unc = source;
  } else if (const auto colon = source.find(':'); colon != std::string::npos && colon > 0) {
    std::string server = source.substr(0, colon);
    if (const auto at = server.find('@'); at != std::string::npos) {
      server = server.substr(at + 1);
    }
    std::string path = source.substr(colon + 1);
    unc = "//" + server + (path.starts_with("/") ? "" : "/") + path;
  } else {
    return {};
  }
  while (unc.size() > 2 && unc.back() == '/') {
    unc.pop_back();
  }
  std::replace(unc.begin(), unc.end(), '/', '\\');
  return unc;
}

// A removable, optical or network mount is one level below /mnt or /media, or below a user's
// folder in /media or /run/media.
bool IsDriveMountPoint(const std::string& point)
{
  const auto depthBelow = [&](std::string_view base) -> int {
    if (!point.starts_with(base) || point.size() <= base.size()) {
      return -1;
    }
    const std::string_view rest = std::string_view(point).substr(base.size());
    return static_cast<int>(std::count(rest.begin(), rest.end(), '/')) + 1;
  };
  return depthBelow("/mnt/") == 1 || depthBelow("/media/") == 1 || depthBelow("/media/") == 2 ||
         depthBelow("/run/media/") == 2;
}

std::string HomeFolder()
{
  if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') {
    return home;
  }
  if (const passwd* user = ::getpwuid(::getuid()); user != nullptr && user->pw_dir != nullptr) {
    return user->pw_dir;
  }
  return "/";
}

std::string NormalFolder(const std::string& folder)
{
  std::string normal = std::filesystem::path(folder).lexically_normal().string();
  while (normal.size() > 1 && normal.back() == '/') {
    normal.pop_back();
  }
  return normal;
}

void SortAndAddZ(std::vector<TDrive>& drives)
{
  if (std::none_of(drives.begin(), drives.end(), [](const TDrive& d) { return d.Letter == 'Z'; })) {
    TDrive z;
    z.Letter = 'Z';
    z.Folder = "/";
    z.Type = DRIVE_NO_ROOT_DIR;
    drives.push_back(z);
  }
  std::sort(drives.begin(), drives.end(),
            [](const TDrive& a, const TDrive& b) { return a.Letter < b.Letter; });
}

// The detected table, found again when the mount table or the home folder changes.
struct TDetectedCache {
  std::mutex Lock;             // guards everything below
  TFileDescriptor MountWatch;  // /proc/self/mountinfo, which polls with POLLPRI on every mount change
  std::string Home;
  bool Valid = false;
  std::shared_ptr<const std::vector<TDrive>> Drives;
};

// The declared table as last read, rebuilt only when the machine's hive changes.
struct TDeclaredCache {
  std::mutex Lock;                                    // guards everything below
  std::uint64_t Generation = ~0ULL;                   // the hive version read; ~0: none yet
  std::shared_ptr<const std::vector<TDrive>> Drives;  // null: no table declared
};

TDeclaredCache& Declared()
{
  static TDeclaredCache cache;
  return cache;
}

TDetectedCache& Detected()
{
  static TDetectedCache cache;
  return cache;
}

std::string RegString(const TRegKey& key, const char* name)
{
  const TRegValue* value = key.FindValue(name);
  if (value == nullptr || (value->Type != REG_SZ && value->Type != REG_EXPAND_SZ)) {
    return {};
  }
  std::string text(value->Data.begin(), value->Data.end());
  while (!text.empty() && text.back() == '\0') {
    text.pop_back();
  }
  return text;
}

DWORD RegDword(const TRegKey& key, const char* name, DWORD fallback)
{
  const TRegValue* value = key.FindValue(name);
  if (value == nullptr || value->Type != REG_DWORD || value->Data.size() != 4) {
    return fallback;
  }
  return static_cast<DWORD>(value->Data[0]) | (static_cast<DWORD>(value->Data[1]) << 8) |
         (static_cast<DWORD>(value->Data[2]) << 16) | (static_cast<DWORD>(value->Data[3]) << 24);
}

// The table declared in the machine hive root; false when none is.
bool DeclaredDrives(const TRegKey& root, std::vector<TDrive>& drives)
{
  const TRegKey* system = root.FindSubKey("System");
  const TRegKey* table = system == nullptr ? nullptr : system->FindSubKey("OxaDrives");
  if (table == nullptr) {
    return false;
  }
  for (const auto& key : table->SubKeys) {
    if (key->Name.size() != 1 || !std::isalpha(static_cast<unsigned char>(key->Name[0]))) {
      continue;
    }
    TDrive drive;
    drive.Letter = static_cast<char>(std::toupper(static_cast<unsigned char>(key->Name[0])));
    drive.Folder = NormalFolder(RegString(*key, "Folder"));
    drive.Type = RegDword(*key, "Type", DRIVE_FIXED);
    drive.Label = RegString(*key, "Label");
    drive.TotalSize = std::strtoull(RegString(*key, "Size").c_str(), nullptr, 10);
    drive.UncName = RegString(*key, "UncName");
    drive.FileSystem = RegString(*key, "FileSystem");
    if (!drive.Folder.empty() && drive.Folder.front() == '/') {
      drives.push_back(std::move(drive));
    }
  }
  return true;
}

bool SplitRoot(const char* root, char& letter, bool& isRoot)
{
  if (root == nullptr) {
    std::string current;
    if (!FullWindowsPath(".", current)) {
      return false;
    }
    letter = current[0];
    isRoot = true;
    return letter != '\\';
  }
  const std::string_view text(root);
  if (text.size() >= 2 && std::isalpha(static_cast<unsigned char>(text[0])) != 0 && text[1] == ':') {
    letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    isRoot = text.size() == 2 || (text.size() == 3 && (text[2] == '\\' || text[2] == '/'));
    return true;
  }
  return false;
}

// The drive of a root or UNC root; false when there is none.
bool DriveOfRoot(const char* root, TDrive& drive, bool& isRoot)
{
  char letter = 0;
  if (SplitRoot(root, letter, isRoot)) {
    return FindDrive(letter, drive);
  }
  std::string full;
  if (root == nullptr || !FullWindowsPath(root, full) || !full.starts_with("\\\\")) {
    return false;
  }
  for (const auto& candidate : *SharedDriveTable()) {
    if (candidate.Type == DRIVE_REMOTE && !candidate.UncName.empty()) {
      std::string wanted = full;
      if (!wanted.empty() && wanted.back() == '\\') {
        wanted.pop_back();
      }
      if (SameNameIgnoringCase(candidate.UncName, wanted)) {
        drive = candidate;
        isRoot = true;
        return true;
      }
    }
  }
  return false;
}

bool CopyText(const std::string& text, char* buffer, DWORD size)
{
  if (buffer == nullptr) {
    return true;
  }
  if (size <= text.size()) {
    return false;
  }
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return true;
}

std::string FileSystemName(const TDrive& drive)
{
  if (!drive.FileSystem.empty()) {
    return drive.FileSystem;
  }
  const auto mounts = ReadMounts();
  const TMount* mount = MountHolding(mounts, drive.Folder);
  if (mount == nullptr) {
    return "UNKNOWN";
  }
  const std::string& type = mount->FileSystem;
  if (type == "iso9660") {
    return "CDFS";
  }
  if (type == "udf") {
    return "UDF";
  }
  if (type == "vfat") {
    return "FAT32";
  }
  if (type == "exfat") {
    return "exFAT";
  }
  if (type == "ntfs" || type == "ntfs3" || type == "fuseblk") {
    return "NTFS";
  }
  std::string upper = type;
  std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
  return upper;
}

std::string LabelOf(const TDrive& drive)
{
  return drive.Label;
}

bool SpaceOf(const TDrive& drive, ULONGLONG& total, ULONGLONG& freeBytes, ULONGLONG& available)
{
  if (!IsDriveFolderReady(drive)) {
    return FailWith(ERROR_NOT_READY) != FALSE;
  }
  struct statvfs fs {};
  if (::statvfs(drive.Folder.c_str(), &fs) != 0) {
    return FailWith(ERROR_NOT_READY) != FALSE;
  }
  total = static_cast<ULONGLONG>(fs.f_blocks) * fs.f_frsize;
  freeBytes = static_cast<ULONGLONG>(fs.f_bfree) * fs.f_frsize;
  available = static_cast<ULONGLONG>(fs.f_bavail) * fs.f_frsize;
  if (drive.TotalSize != 0) {
    total = drive.TotalSize;
    freeBytes = std::min(freeBytes, total);
    available = std::min(available, total);
  }
  return true;
}

}  // namespace

std::vector<TDrive> DetectHostDrives()
{
  std::vector<TDrive> drives;
  const auto mounts = ReadMounts();
  TDrive home;
  home.Letter = 'C';
  home.Folder = NormalFolder(HomeFolder());
  home.Type = DRIVE_FIXED;
  if (const TMount* mount = MountHolding(mounts, home.Folder); mount != nullptr) {
    home.Label = LabelOfDevice(mount->Source);
  }
  drives.push_back(home);

  std::vector<const TMount*> media;
  for (const auto& mount : mounts) {
    if (IsDriveMountPoint(mount.Point) && !OneOf(mount.FileSystem, {"autofs", "proc", "sysfs"})) {
      media.push_back(&mount);
    }
  }
  std::sort(media.begin(), media.end(), [](const TMount* a, const TMount* b) { return a->Point < b->Point; });
  char letter = 'D';
  for (const TMount* mount : media) {
    if (letter > 'Y') {
      break;
    }
    TDrive drive;
    drive.Letter = letter++;
    drive.Folder = mount->Point;
    drive.Type = KindOfMount(*mount);
    if (drive.Type == DRIVE_REMOTE) {
      drive.UncName = UncNameOfSource(mount->Source);
    } else {
      drive.Label = LabelOfDevice(mount->Source);
    }
    drives.push_back(std::move(drive));
  }
  SortAndAddZ(drives);
  return drives;
}

std::vector<TDrive> DriveTable()
{
  return *SharedDriveTable();
}

std::shared_ptr<const std::vector<TDrive>> SharedDriveTable()
{
  {
    auto& declared = Declared();
    const std::lock_guard guard(declared.Lock);
    ReadHiveIfChanged(THive::LocalMachine, declared.Generation, [&](const TRegKey& root) {
      std::vector<TDrive> drives;
      if (DeclaredDrives(root, drives)) {
        SortAndAddZ(drives);
        declared.Drives = std::make_shared<const std::vector<TDrive>>(std::move(drives));
      } else {
        declared.Drives.reset();
      }
    });
    if (declared.Drives) {
      return declared.Drives;
    }
  }
  auto& cache = Detected();
  const std::lock_guard guard(cache.Lock);
  if (!cache.MountWatch.Valid()) {
    cache.MountWatch.Reset(::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC));
  }
  bool mountsChanged = !cache.MountWatch.Valid();
  if (cache.MountWatch.Valid()) {
    pollfd watch{cache.MountWatch.Get(), POLLPRI, 0};
    if (PollUntil(std::span(&watch, 1), 0) > 0 && (watch.revents & (POLLPRI | POLLERR)) != 0) {
      mountsChanged = true;
      // Reading to the end re-arms the notification.
      char buffer[4096];
      ::lseek(cache.MountWatch.Get(), 0, SEEK_SET);
      while (::read(cache.MountWatch.Get(), buffer, sizeof buffer) > 0) {
      }
    }
  }
  const std::string home = HomeFolder();
  if (!cache.Valid || mountsChanged || home != cache.Home) {
    cache.Drives = std::make_shared<const std::vector<TDrive>>(DetectHostDrives());
    cache.Home = home;
    cache.Valid = true;
  }
  return cache.Drives;
}

LONG DeclareDriveTable(const std::vector<TDrive>& drives)
{
  return ModifyHive(THive::LocalMachine, [&](TRegKey& root, bool& changed) {
    bool created = false;
    TRegKey& system = root.AddSubKey("System", created);
    system.RemoveSubKey("OxaDrives");
    changed = true;
    if (drives.empty()) {
      return static_cast<LONG>(ERROR_SUCCESS);
    }
    TRegKey& table = system.AddSubKey("OxaDrives", created);
    const auto text = [](const std::string& s) {
      std::vector<BYTE> data(s.begin(), s.end());
      data.push_back(0);
      return data;
    };
    for (const auto& drive : drives) {
      TRegKey& key = table.AddSubKey(std::string(1, drive.Letter), created);
      key.SetValue("Folder", REG_SZ, text(NormalFolder(drive.Folder)));
      const BYTE type[4] = {static_cast<BYTE>(drive.Type), 0, 0, 0};
      key.SetValue("Type", REG_DWORD, type);
      key.SetValue("Label", REG_SZ, text(drive.Label));
      key.SetValue("Size", REG_SZ, text(std::to_string(drive.TotalSize)));
      key.SetValue("UncName", REG_SZ, text(drive.UncName));
      key.SetValue("FileSystem", REG_SZ, text(drive.FileSystem));
    }
    return static_cast<LONG>(ERROR_SUCCESS);
  });
}

bool FindDrive(char letter, TDrive& drive)
{
  const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  for (const auto& candidate : *SharedDriveTable()) {
    if (candidate.Letter == upper) {
      drive = candidate;
      return true;
    }
  }
  return false;
}

bool IsDriveFolderReady(const TDrive& drive)
{
  struct stat st {};
  return ::stat(drive.Folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         ::access(drive.Folder.c_str(), R_OK | X_OK) == 0;
}

DWORD GetLogicalDrives()
{
  DWORD mask = 0;
  for (const auto& drive : *SharedDriveTable()) {
    mask |= 1U << (drive.Letter - 'A');
  }
  return mask;
}

UINT GetDriveTypeA(const char* lpRootPathName)
{
  TDrive drive;
  bool isRoot = false;
  if (!DriveOfRoot(lpRootPathName, drive, isRoot) || !isRoot) {
    return DRIVE_NO_ROOT_DIR;
  }
  return drive.Type;
}

BOOL GetVolumeInformationA(const char* lpRootPathName, char* lpVolumeNameBuffer, DWORD nVolumeNameSize,
                           DWORD* lpVolumeSerialNumber, DWORD* lpMaximumComponentLength,
                           DWORD* lpFileSystemFlags, char* lpFileSystemNameBuffer, DWORD nFileSystemNameSize)
{
  TDrive drive;
  bool isRoot = false;
  if (!DriveOfRoot(lpRootPathName, drive, isRoot)) {
    return FailWith(ERROR_PATH_NOT_FOUND);
  }
  if (!isRoot) {
    return FailWith(ERROR_INVALID_NAME);
  }
  struct statvfs fs {};
  if (!IsDriveFolderReady(drive) || ::statvfs(drive.Folder.c_str(), &fs) != 0) {
    return FailWith(ERROR_NOT_READY);
  }
  if (!CopyText(LabelOf(drive), lpVolumeNameBuffer, nVolumeNameSize) ||
      !CopyText(FileSystemName(drive), lpFileSystemNameBuffer, nFileSystemNameSize)) {
    return FailWith(ERROR_BAD_LENGTH);
  }
  if (lpVolumeSerialNumber != nullptr) {
    const auto fsid = static_cast<std::uint64_t>(fs.f_fsid);
    *lpVolumeSerialNumber = static_cast<DWORD>(fsid ^ (fsid >> 32)) ^ static_cast<DWORD>(drive.Letter);
  }
  if (lpMaximumComponentLength != nullptr) {
    *lpMaximumComponentLength = static_cast<DWORD>(std::min<unsigned long>(fs.f_namemax, kMaxPathNameLength));
  }
  if (lpFileSystemFlags != nullptr) {
    *lpFileSystemFlags = FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK |
                         ((fs.f_flag & ST_RDONLY) != 0 ? FILE_READ_ONLY_VOLUME : 0);
  }
  return TRUE;
}

BOOL GetDiskFreeSpaceA(const char* lpRootPathName, DWORD* lpSectorsPerCluster, DWORD* lpBytesPerSector,
                       DWORD* lpNumberOfFreeClusters, DWORD* lpTotalNumberOfClusters)
{
  TDrive drive;
  bool isRoot = false;
  if (!DriveOfRoot(lpRootPathName, drive, isRoot)) {
    return FailWith(ERROR_PATH_NOT_FOUND);
  }
  ULONGLONG total = 0;
  ULONGLONG freeBytes = 0;
  ULONGLONG available = 0;
  if (!SpaceOf(drive, total, freeBytes, available)) {
    return FALSE;
  }
  const auto clusters = [](ULONGLONG bytes) {
    return static_cast<DWORD>(std::min<ULONGLONG>(bytes / kClusterSize, 0xFFFFFFFFULL));
  };
  if (lpSectorsPerCluster != nullptr) {
    *lpSectorsPerCluster = 8;
  }
  if (lpBytesPerSector != nullptr) {
    *lpBytesPerSector = 512;
  }
  if (lpNumberOfFreeClusters != nullptr) {
    *lpNumberOfFreeClusters = clusters(available);
  }
  if (lpTotalNumberOfClusters != nullptr) {
    *lpTotalNumberOfClusters = clusters(total);
  }
  return TRUE;
}

BOOL GetDiskFreeSpaceExA(const char* lpDirectoryName, ULONGLONG* lpFreeBytesAvailableToCaller,
                         ULONGLONG* lpTotalNumberOfBytes, ULONGLONG* lpTotalNumberOfFreeBytes)
{
  std::string full;
  if (!FullWindowsPath(lpDirectoryName == nullptr ? "." : lpDirectoryName, full)) {
    return FALSE;
  }
  TDrive drive;
  bool isRoot = false;
  const std::string root = full.starts_with("\\\\") ? full : full.substr(0, 3);
  if (!DriveOfRoot(root.c_str(), drive, isRoot)) {
    return FailWith(ERROR_PATH_NOT_FOUND);
  }
  ULONGLONG total = 0;
  ULONGLONG freeBytes = 0;
  ULONGLONG available = 0;
  if (!SpaceOf(drive, total, freeBytes, available)) {
    return FALSE;
  }
  if (lpFreeBytesAvailableToCaller != nullptr) {
    *lpFreeBytesAvailableToCaller = available;
  }
  if (lpTotalNumberOfBytes != nullptr) {
    *lpTotalNumberOfBytes = total;
  }
  if (lpTotalNumberOfFreeBytes != nullptr) {
    *lpTotalNumberOfFreeBytes = freeBytes;
  }
  return TRUE;
}
