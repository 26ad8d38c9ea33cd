#include "scan/OxaSearchUtils.h"

#include <array>

#include "platform/files/Drives.h"
#include "platform/files/Files.h"
#include "rtl/AnsiText.h"
#include "rtl/Exception.h"
#include "rtl/FilePaths.h"
#include "rtl/StringList.h"

namespace {

constexpr DWORD VolumeNameBufferSize = 256;

// "C:\" for "C:\Music\a.mp3", "\\server\share\" for a UNC path.
std::string RootOf(std::string_view path)
{
  const std::string drive = ExtractFileDrive(path);
  return drive.empty() ? std::string(path) : drive + "\\";
}

// ExtractFileExt without the copy: the walk asks this of every file it lists.
std::string_view ExtensionOf(std::string_view name) noexcept
{
  // By hand: find_last_of looks each character up in the set of three with a call of its own.
  for (std::size_t k = name.size(); k > 0; --k) {
    const char c = name[k - 1];
    if (c == '.') {
      return name.substr(k - 1);
    }
    if (c == '\\' || c == ':') {
      break;
    }
  }
  return {};
}

bool IsAscii(std::string_view text) noexcept
{
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      return false;
    }
  }
  return true;
}

char AsciiLower(char c) noexcept
{
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameAsciiText(std::string_view a, std::string_view b) noexcept
{
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool GetVolumeName(std::string_view root, std::string& name)
{
  name.clear();
  std::array<char, VolumeNameBufferSize> label{};
  std::array<char, VolumeNameBufferSize> fileSystem{};
  DWORD serial = 0;
  DWORD maxLength = 0;
  DWORD flags = 0;
  if (GetVolumeInformationA(RootOf(root).c_str(), label.data(), VolumeNameBufferSize, &serial, &maxLength,
                            &flags, fileSystem.data(), VolumeNameBufferSize) == FALSE) {
    return false;
  }
  name = label.data();
  return true;
}

bool IsRemovableDrive(std::string_view root)
{
  return GetDriveTypeA(RootOf(root).c_str()) == DRIVE_REMOVABLE;
}

bool IsDriveReady(std::string_view root)
{
  DWORD sectorsPerCluster = 0;
  DWORD bytesPerSector = 0;
  DWORD freeClusters = 0;
  DWORD totalClusters = 0;
  return GetDiskFreeSpaceA(RootOf(root).c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                           &totalClusters) != FALSE;
}

std::int64_t DriveSize(std::string_view root)
{
  if (root.empty() || !IsDriveReady(root)) {
    return 0;
  }
  // The size is asked of the drive by its letter, so a path on the drive gives the same answer.
  const std::string driveRoot = AnsiUpperCase(root.substr(0, 1)) + ":\\";
  ULONGLONG available = 0;
  ULONGLONG total = 0;
  ULONGLONG free = 0;
  if (GetDiskFreeSpaceExA(driveRoot.c_str(), &available, &total, &free) == FALSE) {
    return 0;
  }
  return static_cast<std::int64_t>(total);
}

TDriveKind DriveKindOf(UINT driveType) noexcept
{
  switch (driveType) {
    case DRIVE_REMOVABLE:
      return TDriveKind::dkRemovable;
    case DRIVE_FIXED:
      return TDriveKind::dkFixed;
    case DRIVE_REMOTE:
      return TDriveKind::dkNetwork;
    case DRIVE_CDROM:
      return TDriveKind::dkCDRom;
    case DRIVE_RAMDISK:
      return TDriveKind::dkRamDisk;
    default:
      return TDriveKind::dkUnknown;
  }
}

TDriveInfo DriveInfoOf(char letter)
{
  TDriveInfo info;
  info.Root = std::string(1, letter) + ":\\";
  info.Kind = DriveKindOf(GetDriveTypeA(info.Root.c_str()));
  switch (info.Kind) {
    case TDriveKind::dkFixed:
    case TDriveKind::dkRamDisk:
      info.Size = DriveSize(info.Root);
      GetVolumeName(info.Root, info.Name);
      break;
    case TDriveKind::dkNetwork:
      info.Name = NetworkDriveName;
      break;
    case TDriveKind::dkCDRom:
      info.Name = CompactDiscName;
      break;
    case TDriveKind::dkRemovable:
    case TDriveKind::dkUnknown:
      break;
  }
  return info;
}

TOxaDriveInformation::TOxaDriveInformation()
{
  Refresh();
}

void TOxaDriveInformation::Refresh()
{
  FDrives.clear();
  const DWORD drives = GetLogicalDrives();
  for (int bit = 0; bit < 26; ++bit) {
    if ((drives & (DWORD{1} << bit)) != 0) {
      FDrives.push_back(DriveInfoOf(static_cast<char>('A' + bit)));
    }
  }
}

TDriveInfo TOxaDriveInformation::Items(int index) const
{
  if (index < 0 || index >= Count()) {
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  }
  return FDrives[static_cast<std::size_t>(index)];
}

TMusicFileRule::TMusicFileRule(const TStringList& masks)
{
  FMasks.reserve(static_cast<std::size_t>(masks.Count()));
  for (int i = 0; i < masks.Count(); ++i) {
    FMasks.push_back(TMask{masks[i], IsAscii(masks[i])});
  }
}

bool TMusicFileRule::HasMusicExtension(std::string_view name) const
{
  const std::string_view extension = ExtensionOf(name);
  const bool asciiExtension = IsAscii(extension);
  for (const TMask& mask : FMasks) {
    // Between two ASCII texts case folding is plain A-Z folding, so the collator is needed only
    // when either side holds other characters.
    if (asciiExtension && mask.Ascii ? SameAsciiText(extension, mask.Text)
                                     : AnsiSameText(extension, mask.Text)) {
      return true;
    }
  }
  return false;
}

bool TMusicFileRule::IsMusicFile(std::string_view name, std::int64_t size, DWORD attributes) const
{
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || size < MinMusicFileSize || !HasMusicExtension(name)) {
    return false;
  }
  return size >= MinWaveFileSize || !SameAsciiText(ExtensionOf(name), ".wav");
}
