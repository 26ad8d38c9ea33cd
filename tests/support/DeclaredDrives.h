#pragma once
// A throw-away machine with a declared drive table, for tests of drives, paths and the walks:
// C: a 10 GiB fixed disk, D: a CD-ROM, E: a removable drive, N: a network drive
// "\\server\music", R: a RAM disk, each on its own folder under the machine's scratch folder
// (created, so every drive is ready), and Z: = "/" as always.

#include <filesystem>
#include <string>
#include <vector>

#include "platform/files/Drives.h"
#include "tests/support/TempFolder.h"

class TDeclaredMachine : public TTempMachine {
 public:
  static constexpr ULONGLONG kTenGiB = 10ULL * 1024 * 1024 * 1024;

  TDeclaredMachine() : TDeclaredMachine(StandardDrives()) {}
  // Declares exactly these drives (folders given as letters are put under Scratch()).
  explicit TDeclaredMachine(std::vector<TDrive> drives)
  {
    for (auto& drive : drives) {
      if (drive.Folder.empty()) {
        drive.Folder = DriveFolder(drive.Letter).string();
        std::filesystem::create_directories(drive.Folder);
      }
    }
    DeclareDriveTable(drives);
  }

  // The host folder behind a letter of the standard table.
  std::filesystem::path DriveFolder(char letter) const { return Scratch() / std::string(1, letter); }

  static std::vector<TDrive> StandardDrives()
  {
    return {
        TDrive{'C', "", DRIVE_FIXED, "System", kTenGiB, "", "NTFS"},
        TDrive{'D', "", DRIVE_CDROM, "AUDIO_CD", 0, "", "CDFS"},
        TDrive{'E', "", DRIVE_REMOVABLE, "STICK", 0, "", "FAT32"},
        TDrive{'N', "", DRIVE_REMOTE, "", 0, "\\\\server\\music", ""},
        TDrive{'R', "", DRIVE_RAMDISK, "RAM", 0, "", ""},
    };
  }
};
