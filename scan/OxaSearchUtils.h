#pragma once
// What the scans ask about drives and files: the kind, size and label of each logical drive, the
// readiness test run before a drive is walked, and the one rule that decides whether a directory
// entry is a music file.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/WinTypes.h"
#include "rtl/Object.h"

class TStringList;

enum class TDriveKind : std::uint8_t {
  dkRemovable = 0,
  dkFixed = 1,
  dkNetwork = 2,
  dkCDRom = 3,
  dkRamDisk = 4,
  dkUnknown = 5,
};

struct TDriveInfo {
  std::string Root;  // "C:\"
  TDriveKind Kind = TDriveKind::dkUnknown;
  std::int64_t Size = 0;  // total bytes; 0 where it is not measured
  std::string Name;       // volume label, "Network drive", "Compact disc" or empty
};

// The fixed names of the drives that are never asked for a label.
inline constexpr std::string_view NetworkDriveName = "Network drive";
inline constexpr std::string_view CompactDiscName = "Compact disc";

// The free functions take a drive root or any path that starts with one ("C:\Music\").

// The volume label; false with an empty name when it cannot be read.
bool GetVolumeName(std::string_view root, std::string& name);
bool IsRemovableDrive(std::string_view root);
// A medium is present and readable: asked before every scan of a drive.
bool IsDriveReady(std::string_view root);
// The drive's total size in bytes when it is ready, else 0.
std::int64_t DriveSize(std::string_view root);

// The kind of a Win32 drive type, and the record of one drive filled as the scans see it: only
// fixed disks and RAM disks are measured and asked for their label.
TDriveKind DriveKindOf(UINT driveType) noexcept;
TDriveInfo DriveInfoOf(char letter);

// A snapshot of the machine's logical drives in letter order, taken at construction and again
// on Refresh.
class TOxaDriveInformation : public TObject {
 public:
  TOxaDriveInformation();

  void Refresh();
  int Count() const noexcept { return static_cast<int>(FDrives.size()); }
  // A copy of record index; raises EListError for a bad index.
  TDriveInfo Items(int index) const;

 private:
  std::vector<TDriveInfo> FDrives;
};

// Attributes of the walks' enumerations: read-only, hidden, directory and archive. Hidden files
// are found; system files are not.
constexpr DWORD MusicSearchAttributes = 0x33;
// The drop's subfolder listing: read-only, hidden and directory.
constexpr DWORD SubFolderSearchAttributes = 0x13;
// Anything smaller is a stub, not music, though it still counts as a file of its folder.
constexpr std::int64_t MinMusicFileSize = 128;
// Short WAV files are system sounds and samples, not music.
constexpr std::int64_t MinWaveFileSize = 0x500000;

// Whether a directory entry is a music file, for every walk. Built once per walk from the
// "Masks" list (extensions with their dot, matched without regard to case as AnsiCompareText
// does); the list may be freed afterwards.
class TMusicFileRule {
 public:
  explicit TMusicFileRule(const TStringList& masks);

  // The extension of name is one of the masks.
  bool HasMusicExtension(std::string_view name) const;
  // Not a directory, at least MinMusicFileSize bytes, a music extension, and a ".wav" file of
  // at least MinWaveFileSize bytes.
  bool IsMusicFile(std::string_view name, std::int64_t size, DWORD attributes) const;

 private:
  struct TMask {
    std::string Text;
    bool Ascii = false;
  };
  std::vector<TMask> FMasks;
};
