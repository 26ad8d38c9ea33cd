#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/core/LastError.h"
#include "platform/files/Drives.h"
#include "platform/files/Paths.h"
#include "tests/support/DeclaredDrives.h"

namespace {

std::string Host(const std::string& windows)
{
  std::string host;
  return HostPathOf(windows, host) ? host : "error " + std::to_string(GetLastError());
}

TEST(Drives, DeclaredTableGivesEveryKindAndZCatchesTheRest)
{
  const TDeclaredMachine machine;
  const DWORD expected =
      (1U << 2) | (1U << 3) | (1U << 4) | (1U << ('N' - 'A')) | (1U << ('R' - 'A')) | (1U << 25);
  EXPECT_EQ(GetLogicalDrives(), expected);
  const struct {
    const char* Root;
    UINT Type;
  } cases[] = {
      {"C:\\", DRIVE_FIXED},
      {"c:", DRIVE_FIXED},
      {"D:\\", DRIVE_CDROM},
      {"E:\\", DRIVE_REMOVABLE},
      {"N:\\", DRIVE_REMOTE},
      {"R:\\", DRIVE_RAMDISK},
      {"Z:\\", DRIVE_NO_ROOT_DIR},
      {"Q:\\", DRIVE_NO_ROOT_DIR},
      {"C:\\Music\\", DRIVE_NO_ROOT_DIR},
      {"\\\\server\\music\\", DRIVE_REMOTE},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetDriveTypeA(c.Root), c.Type) << c.Root;
  }
}

TEST(Drives, DeclaredTenGiBFixedDriveReportsItsSizeAndLabel)
{
  const TDeclaredMachine machine;
  ULONGLONG available = 0, total = 0, free = 0;
  ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &available, &total, &free));
  EXPECT_EQ(total, TDeclaredMachine::kTenGiB);
  EXPECT_LE(free, total);
  DWORD sectors = 0, bytes = 0, freeClusters = 0, clusters = 0;
  ASSERT_TRUE(GetDiskFreeSpaceA("C:\\", &sectors, &bytes, &freeClusters, &clusters));
  EXPECT_EQ(static_cast<ULONGLONG>(sectors) * bytes * clusters, TDeclaredMachine::kTenGiB);

  char label[256] = {};
  char fileSystem[256] = {};
  DWORD serial = 0, longest = 0, flags = 0;
  ASSERT_TRUE(GetVolumeInformationA("C:\\", label, 256, &serial, &longest, &flags, fileSystem, 256));
  EXPECT_STREQ(label, "System");
  EXPECT_STREQ(fileSystem, "NTFS");
  EXPECT_EQ(longest, 255U);
  EXPECT_FALSE(GetVolumeInformationA("C:\\", label, 3, nullptr, nullptr, nullptr, nullptr, 0));
  EXPECT_EQ(GetLastError(), ERROR_BAD_LENGTH);
}

TEST(Drives, DriveWhoseFolderIsMissingIsNotReady)
{
  const TDeclaredMachine machine;
  std::filesystem::remove_all(machine.DriveFolder('D'));
  DWORD a = 0, b = 0, c = 0, d = 0;
  EXPECT_FALSE(GetDiskFreeSpaceA("D:\\", &a, &b, &c, &d));
  EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
  char label[256];
  EXPECT_FALSE(GetVolumeInformationA("D:\\", label, 256, nullptr, nullptr, nullptr, nullptr, 0));
  EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
  EXPECT_EQ(GetDriveTypeA("D:\\"), DRIVE_CDROM);
  EXPECT_FALSE(GetDiskFreeSpaceA("Q:\\", &a, &b, &c, &d));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST(Drives, HostTableHasHomeAsCAndRootAsZ)
{
  const TTempMachine machine;  // no declared table: found from the host
  const auto drives = DriveTable();
  ASSERT_GE(drives.size(), 2U);
  EXPECT_EQ(drives.front().Letter, 'C');
  EXPECT_EQ(drives.front().Folder, machine.Home().string());
  EXPECT_EQ(drives.front().Type, static_cast<UINT>(DRIVE_FIXED));
  EXPECT_EQ(drives.back().Letter, 'Z');
  EXPECT_EQ(drives.back().Folder, "/");
  EXPECT_EQ(GetDriveTypeA("Z:\\"), DRIVE_NO_ROOT_DIR);
  ULONGLONG total = 0;
  EXPECT_TRUE(GetDiskFreeSpaceExA("C:\\", nullptr, &total, nullptr));
  EXPECT_GT(total, 0U);
}

TEST(Paths, WindowsPathsMapToHostFolders)
{
  const TDeclaredMachine machine;
  const std::string c = machine.DriveFolder('C').string();
  const std::string n = machine.DriveFolder('N').string();
  std::filesystem::create_directories(c + "/Music/Rock");
  std::filesystem::create_directories(n + "/Jazz");
  const struct {
    std::string Windows;
    std::string Host;
  } cases[] = {
      {"C:\\Music\\Rock\\a.mp3", c + "/Music/Rock/a.mp3"},
      {"c:/music/ROCK/b.mp3", c + "/Music/Rock/b.mp3"},
      {"C:\\Music\\.\\x\\..\\Rock\\", c + "/Music/Rock"},
      {"C:\\", c},
      {"\\\\?\\C:\\Music", c + "/Music"},
      {"\\\\server\\music\\Jazz\\t.wma", n + "/Jazz/t.wma"},
      {"\\\\SERVER\\Music\\t.wma", n + "/t.wma"},
      {"Z:\\etc\\hostname", "/etc/hostname"},
      {"/etc/hostname", "/etc/hostname"},
      {c + "/Music/x.mp3", c + "/Music/x.mp3"},
      {"Q:\\x", "error " + std::to_string(ERROR_PATH_NOT_FOUND)},
      {"C:\\Missing\\x.mp3", "error " + std::to_string(ERROR_PATH_NOT_FOUND)},
      {"\\\\other\\share\\x", "error " + std::to_string(ERROR_BAD_NETPATH)},
      {"\\\\server", "error " + std::to_string(ERROR_INVALID_NAME)},
      {"C:\\a<b", "error " + std::to_string(ERROR_INVALID_NAME)},
      {"C:\\a*b", "error " + std::to_string(ERROR_INVALID_NAME)},
      {"C:\\a:b", "error " + std::to_string(ERROR_INVALID_NAME)},
      {"", "error " + std::to_string(ERROR_PATH_NOT_FOUND)},
      {"C:\\" + std::string(256, 'x'), "error " + std::to_string(ERROR_FILENAME_EXCED_RANGE)},
      {"C:\\" + std::string(40000, 'x'), "error " + std::to_string(ERROR_FILENAME_EXCED_RANGE)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Host(c.Windows), c.Host) << c.Windows;
  }
}

TEST(Paths, HostPathsMapToTheDriveWithTheLongestFolder)
{
  const TDeclaredMachine machine;
  const std::string c = machine.DriveFolder('C').string();
  const struct {
    std::string Host;
    const char* Windows;
  } cases[] = {
      {c + "/Music/a.mp3", "C:\\Music\\a.mp3"},
      {c, "C:\\"},
      {c + "/", "C:\\"},
      {machine.DriveFolder('N').string() + "/x", "N:\\x"},
      {"/etc/hostname", "Z:\\etc\\hostname"},
      {"/", "Z:\\"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WindowsPathOf(c.Host), c.Windows) << c.Host;
  }
  // A drive inside another drive's folder wins for its own files.
  const TDeclaredMachine nested({TDrive{'C', "", DRIVE_FIXED}, TDrive{'F', "/usr/share", DRIVE_FIXED}});
  EXPECT_EQ(WindowsPathOf("/usr/share/doc"), "F:\\doc");
  EXPECT_EQ(WindowsPathOf("/usr/lib"), "Z:\\usr\\lib");
}

TEST(Paths, NamesDifferingOnlyInCaseStayTwoFilesAndRenamedCaseIsFound)
{
  const TDeclaredMachine machine;
  const auto c = machine.DriveFolder('C');
  std::ofstream(c / "Song.mp3") << "1";
  std::ofstream(c / "song.MP3") << "2";
  std::ofstream(c / "Other.mp3") << "3";
  EXPECT_EQ(Host("C:\\Song.mp3"), (c / "Song.mp3").string());
  EXPECT_EQ(Host("C:\\song.MP3"), (c / "song.MP3").string());
  EXPECT_EQ(Host("C:\\OTHER.MP3"), (c / "Other.mp3").string());
  EXPECT_EQ(Host("C:\\New.mp3"), (c / "New.mp3").string());
}

// The home folder is C: and lies inside Z: ("/"): a relative path from a folder outside the home
// that leads into it names its file on C:, as the host path does, not as a second name on Z:.
TEST(Paths, RelativePathsIntoANestedDriveFolderAreNamedOnThatDrive)
{
  const TDeclaredMachine machine;
  const auto previous = std::filesystem::current_path();
  const auto c = machine.DriveFolder('C');
  std::filesystem::create_directories(c / "Music");
  std::filesystem::current_path(machine.Scratch());
  const std::string z = WindowsPathOf(machine.Scratch().string());
  std::string full;
  const struct {
    const char* Relative;
    std::string Full;
  } cases[] = {
      {"C\\Music\\a.mp3", "C:\\Music\\a.mp3"},
      {"C/Music/", "C:\\Music\\"},
      {"C", "C:\\"},
      {".\\C\\..\\C\\a.mp3", "C:\\a.mp3"},
      {"D\\track01.cda", "D:\\track01.cda"},
      // Beside the drive folders it stays on Z:.
      {"other\\b.mp3", z + "\\other\\b.mp3"},
      {"Cx\\b.mp3", z + "\\Cx\\b.mp3"},
  };
  for (const auto& test : cases) {
    EXPECT_TRUE(FullWindowsPath(test.Relative, full)) << test.Relative;
    EXPECT_EQ(full, test.Full) << test.Relative;
  }
  EXPECT_TRUE(FullWindowsPath("C\\Music\\*.mp3", full, true));
  EXPECT_EQ(full, "C:\\Music\\*.mp3");
  std::string host;
  EXPECT_TRUE(ResolvePath("C\\Music\\a.mp3", full, host));
  EXPECT_EQ(host, (c / "Music" / "a.mp3").string());
  // From inside a drive, ".." stops at its root as on Windows.
  std::filesystem::current_path(c / "Music");
  EXPECT_TRUE(FullWindowsPath("..\\..\\..\\x", full));
  EXPECT_EQ(full, "C:\\x");
  std::filesystem::current_path(previous);
}

TEST(Paths, FullPathNamesAndUncNames)
{
  const TDeclaredMachine machine;
  const auto previous = std::filesystem::current_path();
  std::filesystem::create_directories(machine.DriveFolder('C') / "Music");
  std::filesystem::current_path(machine.DriveFolder('C') / "Music");
  char buffer[300];
  char* filePart = nullptr;
  EXPECT_EQ(GetFullPathNameA("a.mp3", sizeof buffer, buffer, &filePart), 14U);
  EXPECT_STREQ(buffer, "C:\\Music\\a.mp3");
  EXPECT_STREQ(filePart, "a.mp3");
  EXPECT_EQ(GetFullPathNameA("..\\b\\", sizeof buffer, buffer, &filePart), 5U);
  EXPECT_STREQ(buffer, "C:\\b\\");
  EXPECT_EQ(filePart, nullptr);
  EXPECT_EQ(GetFullPathNameA("\\x", sizeof buffer, buffer, nullptr), 4U);
  EXPECT_STREQ(buffer, "C:\\x");
  EXPECT_EQ(GetFullPathNameA("C:y", sizeof buffer, buffer, nullptr), 10U);
  EXPECT_STREQ(buffer, "C:\\Music\\y");
  EXPECT_EQ(GetFullPathNameA("D:y", sizeof buffer, buffer, nullptr), 4U);
  EXPECT_EQ(GetFullPathNameA("a.mp3", 5, buffer, nullptr), 15U);
  std::filesystem::current_path(previous);

  DWORD size = sizeof buffer;
  ASSERT_EQ(WNetGetUniversalNameA("n:\\Jazz\\t.wma", UNIVERSAL_NAME_INFO_LEVEL, buffer, &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(reinterpret_cast<UNIVERSAL_NAME_INFOA*>(buffer)->lpUniversalName,
               "\\\\server\\music\\Jazz\\t.wma");
  size = sizeof buffer;
  EXPECT_EQ(WNetGetUniversalNameA("C:\\Music", UNIVERSAL_NAME_INFO_LEVEL, buffer, &size),
            ERROR_NOT_CONNECTED);
  size = 4;
  EXPECT_EQ(WNetGetUniversalNameA("N:\\x", UNIVERSAL_NAME_INFO_LEVEL, buffer, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, sizeof(UNIVERSAL_NAME_INFOA) + 17);  // "\\server\music\x" and its zero
}

}  // namespace
