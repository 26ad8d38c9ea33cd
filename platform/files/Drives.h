#pragma once
// Drives: the letters the program sees, each mapped to a host folder. The drive table lives in
// the machine's registry (HKEY_LOCAL_MACHINE "System\OxaDrives", one subkey per letter with the
// values "Folder", "Type", "Label", "Size", "UncName"); while that key is absent the table is
// found from the host on every use: C: is the home folder (a fixed disk), the mounts under
// /media, /mnt and /run/media take D: onwards (kind from the file system type and the block
// device's removable flag), and Z: is "/" with the kind DRIVE_NO_ROOT_DIR, so every host path
// has a Windows name but the whole file system is never a disk to scan. A declared table always
// gets that Z: as well unless it declares Z: itself.

#include <memory>
#include <string>
#include <vector>

#include "platform/core/WinTypes.h"

constexpr UINT DRIVE_UNKNOWN = 0;
constexpr UINT DRIVE_NO_ROOT_DIR = 1;
constexpr UINT DRIVE_REMOVABLE = 2;
constexpr UINT DRIVE_FIXED = 3;
constexpr UINT DRIVE_REMOTE = 4;
constexpr UINT DRIVE_CDROM = 5;
constexpr UINT DRIVE_RAMDISK = 6;

constexpr DWORD FILE_CASE_SENSITIVE_SEARCH = 0x00000001;
constexpr DWORD FILE_CASE_PRESERVED_NAMES = 0x00000002;
constexpr DWORD FILE_UNICODE_ON_DISK = 0x00000004;
constexpr DWORD FILE_READ_ONLY_VOLUME = 0x00080000;

struct TDrive {
  char Letter = 'C';
  std::string Folder;       // host folder, absolute
  UINT Type = DRIVE_FIXED;  // one of the DRIVE_* kinds
  std::string Label;        // volume label
  ULONGLONG TotalSize = 0;  // bytes; 0: measured on the host
  std::string UncName;      // "\\server\share" for network drives, else empty
  std::string FileSystem;   // "EXT4", "CDFS", ...; empty: found on the host
};

// The drive table in use, in letter order.
std::vector<TDrive> DriveTable();
// The same table without copying it; it stays valid (and unchanged) while held. A table declared
// by another process is seen on the next call: each call costs one stat of the machine hive (and,
// while nothing is declared, one poll of the mount table).
std::shared_ptr<const std::vector<TDrive>> SharedDriveTable();
// The table found from the host, ignoring any declared one.
std::vector<TDrive> DetectHostDrives();
// Declares the machine's drive table (replacing any earlier declaration); an empty list
// removes the declaration, so the host's drives are used again. Returns a registry error code.
LONG DeclareDriveTable(const std::vector<TDrive>& drives);
// The drive of a letter (any case); false when the table has none.
bool FindDrive(char letter, TDrive& drive);
// True when the drive's folder exists and can be read (a medium is present).
bool IsDriveFolderReady(const TDrive& drive);

// Bit n set for each letter 'A' + n in the table.
DWORD GetLogicalDrives();
// The kind of a root ("C:\", "C:" or a UNC root "\\server\share\"); DRIVE_NO_ROOT_DIR for a
// letter without a drive or a path that is not a root.
UINT GetDriveTypeA(const char* lpRootPathName);
// Label, serial number, longest name, flags and file-system name of a root; fails with
// ERROR_NOT_READY when the drive's folder is missing or unreadable, ERROR_PATH_NOT_FOUND for a
// letter without a drive, ERROR_BAD_LENGTH when a buffer is too small. Any pointer may be null.
BOOL GetVolumeInformationA(const char* lpRootPathName, char* lpVolumeNameBuffer, DWORD nVolumeNameSize,
                           DWORD* lpVolumeSerialNumber, DWORD* lpMaximumComponentLength,
                           DWORD* lpFileSystemFlags, char* lpFileSystemNameBuffer, DWORD nFileSystemNameSize);
// Space on a drive, in 4096-byte clusters of 8 sectors (counts capped at 0xFFFFFFFF). A declared
// size is the total, and the free space is at most that. ERROR_NOT_READY when not ready.
BOOL GetDiskFreeSpaceA(const char* lpRootPathName, DWORD* lpSectorsPerCluster, DWORD* lpBytesPerSector,
                       DWORD* lpNumberOfFreeClusters, DWORD* lpTotalNumberOfClusters);
// The same in bytes, for any folder on the drive (null: the current drive).
BOOL GetDiskFreeSpaceExA(const char* lpDirectoryName, ULONGLONG* lpFreeBytesAvailableToCaller,
                         ULONGLONG* lpTotalNumberOfBytes, ULONGLONG* lpTotalNumberOfFreeBytes);
