#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "platform/core/LastError.h"
#include "platform/files/Files.h"
#include "platform/files/FindFiles.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/DeclaredDrives.h"

namespace {

std::string ReadAll(const std::filesystem::path& path)
{
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ULONGLONG Ticks(const FILETIME& time)
{
  return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

TEST(Files, ANamedPipeUnderAMusicFilesNameIsRefusedAtOnceForEveryAccess)
{
  const TDeclaredMachine machine;
  ASSERT_EQ(::mkfifo((machine.DriveFolder('C') / "f.mp3").c_str(), 0644), 0);
  const struct {
    DWORD Access;
    DWORD Disposition;
  } cases[] = {
      {GENERIC_READ, OPEN_EXISTING},
      {GENERIC_WRITE, OPEN_EXISTING},
      {GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING},
      {GENERIC_READ, OPEN_ALWAYS},
      {GENERIC_WRITE, CREATE_ALWAYS},
      {0, OPEN_EXISTING},
      {GENERIC_WRITE, TRUNCATE_EXISTING},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Access);
    SCOPED_TRACE(c.Disposition);
    // Blocking here would hang the test until its time-out: there is no writer nor reader.
    EXPECT_EQ(CreateFileA("C:\\f.mp3", c.Access, FILE_SHARE_READ, nullptr, c.Disposition, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  }
  EXPECT_TRUE(std::filesystem::is_fifo(machine.DriveFolder('C') / "f.mp3"));
  // A regular file opened the same way still reads and writes as before, blocking as usual.
  HANDLE file = CreateFileA("C:\\g.mp3", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD done = 0;
  EXPECT_TRUE(WriteFile(file, "abc", 3, &done, nullptr));
  CloseHandle(file);
  EXPECT_EQ(ReadAll(machine.DriveFolder('C') / "g.mp3"), "abc");
}

TEST(Files, WrittenBytesReadBackWithPositionsSizeAndTruncation)
{
  const TDeclaredMachine machine;
  HANDLE file = CreateFileA("C:\\data.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  DWORD done = 0;
  ASSERT_TRUE(WriteFile(file, "0123456789", 10, &done, nullptr));
  EXPECT_EQ(done, 10U);
  EXPECT_EQ(SetFilePointer(file, -4, nullptr, FILE_END), 6U);
  char buffer[16] = {};
  ASSERT_TRUE(ReadFile(file, buffer, sizeof buffer, &done, nullptr));
  EXPECT_EQ(std::string(buffer, done), "6789");
  ASSERT_TRUE(ReadFile(file, buffer, sizeof buffer, &done, nullptr));
  EXPECT_EQ(done, 0U);
  EXPECT_EQ(SetFilePointer(file, -20, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
  LONG high = 1;
  EXPECT_EQ(SetFilePointer(file, 0, &high, FILE_BEGIN), 0U);  // 4 GiB
  EXPECT_EQ(high, 1);
  EXPECT_EQ(SetFilePointer(file, 3, nullptr, FILE_BEGIN), 3U);
  ASSERT_TRUE(SetEndOfFile(file));
  DWORD sizeHigh = 9;
  EXPECT_EQ(GetFileSize(file, &sizeHigh), 3U);
  EXPECT_EQ(sizeHigh, 0U);
  EXPECT_TRUE(FlushFileBuffers(file));
  ASSERT_TRUE(CloseHandle(file));
  EXPECT_EQ(ReadAll(machine.DriveFolder('C') / "data.bin"), "012");
  EXPECT_FALSE(ReadFile(file, buffer, 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

// Opens and attribute queries try the name as written first; every other outcome must be what a
// full case search gives.
TEST(Files, OpensFindTheNameInAnyCaseAndFailAsBefore)
{
  const TDeclaredMachine machine;
  const auto c = machine.DriveFolder('C');
  std::filesystem::create_directories(c / "Music");
  std::ofstream(c / "Music" / "Song.mp3") << "upper";
  std::ofstream(c / "Music" / "song.MP3") << "lower";
  std::ofstream(c / "Music" / "Only.mp3") << "only";
  std::ofstream(c / "Music" / "locked.mp3") << "ro";
  std::filesystem::permissions(c / "Music" / "locked.mp3", std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  const struct {
    const char* Path;
    DWORD Access;
    DWORD Disposition;
    const char* Contents;  // null: the open fails with Error
    DWORD Error;
  } cases[] = {
      {"C:\\Music\\Song.mp3", GENERIC_READ, OPEN_EXISTING, "upper", 0},
      {"C:\\Music\\song.MP3", GENERIC_READ, OPEN_EXISTING, "lower", 0},
      {"C:\\MUSIC\\ONLY.MP3", GENERIC_READ, OPEN_EXISTING, "only", 0},
      {"C:\\music\\only.mp3", GENERIC_READ | GENERIC_WRITE, TRUNCATE_EXISTING, "", 0},
      {"C:\\Music\\Missing.mp3", GENERIC_READ, OPEN_EXISTING, nullptr, ERROR_FILE_NOT_FOUND},
      {"C:\\Nowhere\\Song.mp3", GENERIC_READ, OPEN_EXISTING, nullptr, ERROR_PATH_NOT_FOUND},
      {"C:\\Music\\Song.mp3\\x", GENERIC_READ, OPEN_EXISTING, nullptr, ERROR_PATH_NOT_FOUND},
      {"C:\\Music", GENERIC_READ, OPEN_EXISTING, nullptr, ERROR_ACCESS_DENIED},
      {"C:\\Music", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, nullptr, ERROR_ACCESS_DENIED},
      {"C:\\Music\\LOCKED.mp3", GENERIC_WRITE, OPEN_EXISTING, nullptr, ERROR_ACCESS_DENIED},
      {"C:\\Music\\locked.mp3", GENERIC_READ, OPEN_EXISTING, "ro", 0},
  };
  for (const auto& k : cases) {
    HANDLE file =
        CreateFileA(k.Path, k.Access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, k.Disposition, 0, nullptr);
    if (k.Contents == nullptr) {
      EXPECT_EQ(file, INVALID_HANDLE_VALUE) << k.Path;
      EXPECT_EQ(GetLastError(), k.Error) << k.Path;
      if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
      }
      continue;
    }
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << k.Path;
    char buffer[16] = {};
    DWORD done = 0;
    EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &done, nullptr)) << k.Path;
    EXPECT_EQ(std::string(buffer, done), k.Contents) << k.Path;
    CloseHandle(file);
  }
  EXPECT_EQ(GetFileAttributesA("C:\\MUSIC\\ONLY.MP3"), FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(GetFileAttributesA("C:\\music"), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(GetFileAttributesA("C:\\Music\\Missing.mp3"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesA("C:\\Nowhere\\x"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

// A positioned read leaves the file pointer where it was.
TEST(Files, ReadAtLeavesThePointer)
{
  const TDeclaredMachine machine;
  std::ofstream(machine.DriveFolder('C') / "at.bin") << "0123456789";
  HANDLE file = CreateFileA("C:\\at.bin", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(SetFilePointer(file, 2, nullptr, FILE_BEGIN), 2U);
  char buffer[16] = {};
  DWORD done = 0;
  ASSERT_TRUE(ReadFileAt(file, buffer, 3, &done, 6));
  EXPECT_EQ(std::string(buffer, done), "678");
  ASSERT_TRUE(ReadFileAt(file, buffer, 8, &done, 8));
  EXPECT_EQ(std::string(buffer, done), "89");
  ASSERT_TRUE(ReadFileAt(file, buffer, 8, &done, 20));
  EXPECT_EQ(done, 0U);
  EXPECT_FALSE(ReadFileAt(file, buffer, 1, &done, -1));
  EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
  ASSERT_TRUE(ReadFile(file, buffer, 2, &done, nullptr));
  EXPECT_EQ(std::string(buffer, done), "23");
  CloseHandle(file);
}

TEST(Files, CreationDispositionsFollowWin32)
{
  const TDeclaredMachine machine;
  const auto c = machine.DriveFolder('C');
  std::ofstream(c / "old.txt") << "content";
  const struct {
    const char* Path;
    DWORD Disposition;
    bool Opens;
    DWORD Error;
    const char* ContentAfter;
  } cases[] = {
      {"C:\\old.txt", CREATE_NEW, false, ERROR_FILE_EXISTS, "content"},
      {"C:\\old.txt", OPEN_EXISTING, true, ERROR_SUCCESS, "content"},
      {"C:\\OLD.TXT", OPEN_ALWAYS, true, ERROR_ALREADY_EXISTS, "content"},
      {"C:\\old.txt", CREATE_ALWAYS, true, ERROR_ALREADY_EXISTS, ""},
      {"C:\\new.txt", OPEN_EXISTING, false, ERROR_FILE_NOT_FOUND, nullptr},
      {"C:\\new.txt", OPEN_ALWAYS, true, ERROR_SUCCESS, ""},
      {"C:\\nofolder\\x.txt", CREATE_ALWAYS, false, ERROR_PATH_NOT_FOUND, nullptr},
      {"C:\\", OPEN_EXISTING, false, ERROR_ACCESS_DENIED, nullptr},
      {"C:\\old.txt", 77, false, ERROR_INVALID_PARAMETER, nullptr},
  };
  for (const auto& k : cases) {
    HANDLE file = CreateFileA(k.Path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, k.Disposition, 0, nullptr);
    const DWORD error = GetLastError();
    EXPECT_EQ(file != INVALID_HANDLE_VALUE, k.Opens) << k.Path << " " << k.Disposition;
    EXPECT_EQ(error, k.Error) << k.Path << " " << k.Disposition;
    CloseHandle(file);
    if (k.ContentAfter != nullptr) {
      std::string name(k.Path + 3);
      std::transform(name.begin(), name.end(), name.begin(),
                     [](unsigned char ch) { return std::tolower(ch); });
      EXPECT_EQ(ReadAll(c / name), k.ContentAfter) << k.Path;
    }
  }
}

TEST(Files, ShareModesDecideWhichOpensCoexist)
{
  const TDeclaredMachine machine;
  std::ofstream(machine.DriveFolder('C') / "song.mp3") << "audio";
  constexpr DWORD r = GENERIC_READ;
  constexpr DWORD w = GENERIC_WRITE;
  constexpr DWORD sr = FILE_SHARE_READ;
  constexpr DWORD sw = FILE_SHARE_WRITE;
  const struct {
    DWORD FirstAccess, FirstShare, SecondAccess, SecondShare;
    bool SecondOpens;
  } cases[] = {
      {r, sr, r, sr, true},       {r, sr, r | w, sr, false},
      {r, 0, r, sr | sw, false},  {r, sr | sw, r | w, sr | sw, true},
      {r | w, sr, r, sr, false},  {r | w, sr, r, sr | sw, true},
      {r, sr, r, 0, false},       {r, sr | sw, r, sr, true},
      {0, 0, r, sr | sw, false},  {0, sr | sw, r | w, 0, true},
      {w, sr | sw, r, sr, false},
  };
  for (const auto& k : cases) {
    HANDLE first =
        CreateFileA("C:\\song.mp3", k.FirstAccess, k.FirstShare, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    HANDLE second =
        CreateFileA("C:\\song.mp3", k.SecondAccess, k.SecondShare, nullptr, OPEN_EXISTING, 0, nullptr);
    const DWORD error = GetLastError();
    EXPECT_EQ(second != INVALID_HANDLE_VALUE, k.SecondOpens)
        << std::hex << k.FirstAccess << "/" << k.FirstShare << " then " << k.SecondAccess << "/"
        << k.SecondShare;
    if (!k.SecondOpens) {
      EXPECT_EQ(error, ERROR_SHARING_VIOLATION);
    }
    CloseHandle(second);
    CloseHandle(first);
  }
  // Once the first handle is closed the exclusive open succeeds.
  HANDLE exclusive = CreateFileA("C:\\song.mp3", r | w, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(exclusive, INVALID_HANDLE_VALUE);
  CloseHandle(exclusive);
}

TEST(Files, ShareModesHoldAcrossProcesses)
{
  const TDeclaredMachine machine;
  std::ofstream(machine.DriveFolder('C') / "playing.mp3") << "audio";
  TChildProcess player(OXA_PLATFORM_HELPER, {});
  // The other process plays the file: reading, letting others read.
  ASSERT_EQ(player.Ask("open C:\\playing.mp3 0x80000000 1"), "ok");
  HANDLE reader =
      CreateFileA("C:\\playing.mp3", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(reader, INVALID_HANDLE_VALUE);
  CloseHandle(reader);
  HANDLE writer = CreateFileA("C:\\playing.mp3", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  ASSERT_EQ(player.Ask("close"), "ok");
  writer =
      CreateFileA("C:\\playing.mp3", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  // Now this process holds it exclusively, and the other process is refused.
  EXPECT_EQ(player.Ask("open C:\\playing.mp3 0x80000000 3"), "error 32");
  CloseHandle(writer);
  EXPECT_EQ(player.Ask("open C:\\playing.mp3 0x80000000 3"), "ok");
  player.WriteLine("exit");
  EXPECT_EQ(player.Wait(), 0);
}

TEST(Files, AttributesComeFromPermissionsAndNames)
{
  const TDeclaredMachine machine;
  const auto c = machine.DriveFolder('C');
  std::filesystem::create_directories(c / "Folder");
  std::filesystem::create_directories(c / ".hiddenfolder");
  std::ofstream(c / "plain.mp3") << "x";
  std::ofstream(c / ".hidden.mp3") << "x";
  const struct {
    const char* Path;
    DWORD Attributes;
  } cases[] = {
      {"C:\\plain.mp3", FILE_ATTRIBUTE_ARCHIVE},
      {"C:\\.hidden.mp3", FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN},
      {"C:\\Folder", FILE_ATTRIBUTE_DIRECTORY},
      {"C:\\folder\\", FILE_ATTRIBUTE_DIRECTORY},
      {"C:\\.hiddenfolder", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN},
      {"C:\\", FILE_ATTRIBUTE_DIRECTORY},
      {"C:\\missing.mp3", INVALID_FILE_ATTRIBUTES},
  };
  for (const auto& k : cases) {
    EXPECT_EQ(GetFileAttributesA(k.Path), k.Attributes) << k.Path;
  }
  // Read-only: refused for writing and deleting, even to a privileged user.
  ASSERT_TRUE(SetFileAttributesA("C:\\plain.mp3", FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(GetFileAttributesA("C:\\plain.mp3"), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(CreateFileA("C:\\plain.mp3", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(DeleteFileA("C:\\plain.mp3"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  HANDLE reader =
      CreateFileA("C:\\plain.mp3", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(reader, INVALID_HANDLE_VALUE);
  CloseHandle(reader);
  ASSERT_TRUE(SetFileAttributesA("C:\\plain.mp3", FILE_ATTRIBUTE_NORMAL));
  EXPECT_TRUE(DeleteFileA("C:\\plain.mp3"));
  EXPECT_FALSE(DeleteFileA("C:\\plain.mp3"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(DeleteFileA("C:\\Folder"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST(Files, MovesCopiesAndFolders)
{
  const TDeclaredMachine machine;
  const auto c = machine.DriveFolder('C');
  std::ofstream(c / "a.txt") << "A";
  std::ofstream(c / "b.txt") << "B";
  EXPECT_FALSE(MoveFileExA("C:\\a.txt", "C:\\b.txt", 0));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  ASSERT_TRUE(MoveFileExA("C:\\a.txt", "C:\\b.txt", MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(ReadAll(c / "b.txt"), "A");
  EXPECT_FALSE(std::filesystem::exists(c / "a.txt"));
  // A change of letter case only renames.
  ASSERT_TRUE(MoveFileA("C:\\b.txt", "C:\\B.TXT"));
  EXPECT_TRUE(std::filesystem::exists(c / "B.TXT"));
  EXPECT_FALSE(std::filesystem::exists(c / "b.txt"));
  EXPECT_FALSE(MoveFileA("C:\\nothing.txt", "C:\\x.txt"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  ASSERT_TRUE(CopyFileA("C:\\B.TXT", "C:\\copy.txt", TRUE));
  EXPECT_EQ(ReadAll(c / "copy.txt"), "A");
  EXPECT_EQ(std::filesystem::last_write_time(c / "copy.txt"), std::filesystem::last_write_time(c / "B.TXT"));
  EXPECT_FALSE(CopyFileA("C:\\B.TXT", "C:\\copy.txt", TRUE));
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  std::ofstream(c / "B.TXT") << "new";
  EXPECT_TRUE(CopyFileA("C:\\B.TXT", "C:\\copy.txt", FALSE));
  EXPECT_EQ(ReadAll(c / "copy.txt"), "new");

  ASSERT_TRUE(CreateDirectoryA("C:\\Dir", nullptr));
  EXPECT_FALSE(CreateDirectoryA("C:\\dir", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(CreateDirectoryA("C:\\No\\Dir", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  std::ofstream(c / "Dir" / "f") << "";
  EXPECT_FALSE(RemoveDirectoryA("C:\\Dir"));
  EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
  EXPECT_FALSE(RemoveDirectoryA("C:\\copy.txt"));
  EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
  std::filesystem::remove(c / "Dir" / "f");
  EXPECT_TRUE(RemoveDirectoryA("C:\\DIR"));
  EXPECT_EQ(
      std::count_if(std::filesystem::directory_iterator(c), {},
                    [](const auto& e) { return e.path().filename().string().starts_with(".oxa-copy"); }),
      0);
}

struct TFound {
  DWORD Attributes;
  ULONGLONG Size;
};

std::map<std::string, TFound> FindAll(const char* pattern, DWORD* error = nullptr)
{
  std::map<std::string, TFound> found;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(pattern, &data);
  if (find == INVALID_HANDLE_VALUE) {
    if (error != nullptr) {
      *error = GetLastError();
    }
    return found;
  }
  do {
    found[data.cFileName] = {data.dwFileAttributes,
                             (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow};
  } while (FindNextFileA(find, &data));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
  EXPECT_TRUE(FindClose(find));
  if (error != nullptr) {
    *error = ERROR_SUCCESS;
  }
  return found;
}

TEST(FindFiles, EnumerationGivesNamesSizesAndAttributes)
{
  const TDeclaredMachine machine;
  const auto c = machine.DriveFolder('C');
  std::filesystem::create_directories(c / "Music" / "Sub");
  std::ofstream(c / "Music" / "a.mp3") << std::string(300, 'x');
  std::ofstream(c / "Music" / "B.MP3") << "y";
  std::ofstream(c / "Music" / ".c.mp3") << "";
  std::ofstream(c / "Music" / "README") << "";
  std::filesystem::create_directory_symlink(c, c / "Music" / "loop");
  std::filesystem::create_symlink(c / "Music" / "a.mp3", c / "Music" / "link.mp3");

  auto all = FindAll("C:\\music\\*.*");
  EXPECT_EQ(all.size(), 8U);  // ".", "..", a, B, .c, README, link (the folder link is left out), Sub
  EXPECT_EQ(all.count("loop"), 0U);
  EXPECT_EQ(all["."].Attributes, FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(all[".."].Attributes, FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(all["Sub"].Attributes, FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(all["a.mp3"].Size, 300U);
  EXPECT_EQ(all["link.mp3"].Size, 300U);
  EXPECT_EQ(all[".c.mp3"].Attributes, FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(all["README"].Attributes, FILE_ATTRIBUTE_ARCHIVE);

  const auto music = FindAll("C:\\Music\\*.mp3");
  EXPECT_EQ(music.size(), 4U);
  EXPECT_EQ(FindAll("C:\\Music\\?.mp3").size(), 2U);
  // A name without wildcards finds the entry with its own case.
  const auto one = FindAll("C:\\MUSIC\\b.mp3");
  ASSERT_EQ(one.size(), 1U);
  EXPECT_EQ(one.begin()->first, "B.MP3");
  // A drive's root has no "." and "..".
  EXPECT_EQ(FindAll("C:\\*").count("."), 0U);

  DWORD error = 0;
  FindAll("C:\\Music\\*.wma", &error);
  EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
  FindAll("C:\\Nothing\\*.*", &error);
  EXPECT_EQ(error, ERROR_PATH_NOT_FOUND);
  FindAll("C:\\Music\\missing.mp3", &error);
  EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
  FindAll("Q:\\*.*", &error);
  EXPECT_EQ(error, ERROR_PATH_NOT_FOUND);
  FindAll("C:\\Mu*\\*.*", &error);
  EXPECT_EQ(error, ERROR_INVALID_NAME);
}

TEST(FindFiles, TimesAreFileTimesAndCreationTimeSurvivesRenameAndChmod)
{
  const TDeclaredMachine machine;
  const auto c = machine.DriveFolder('C');
  std::ofstream(c / "t.mp3") << "x";
  // 2001-09-09 01:46:40 UTC.
  const timespec times[2] = {{1000000000, 0}, {1000000000, 500000000}};
  ASSERT_EQ(utimensat(AT_FDCWD, (c / "t.mp3").c_str(), times, 0), 0);
  WIN32_FIND_DATAA before;
  HANDLE find = FindFirstFileA("C:\\t.mp3", &before);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  FindClose(find);
  EXPECT_EQ(Ticks(before.ftLastWriteTime), (1000000000ULL + 11644473600ULL) * 10000000ULL + 5000000ULL);
  EXPECT_EQ(Ticks(before.ftLastAccessTime), (1000000000ULL + 11644473600ULL) * 10000000ULL);

  ASSERT_TRUE(MoveFileA("C:\\t.mp3", "C:\\u.mp3"));
  ASSERT_TRUE(SetFileAttributesA("C:\\u.mp3", FILE_ATTRIBUTE_READONLY));
  WIN32_FIND_DATAA after;
  find = FindFirstFileA("C:\\u.mp3", &after);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  FindClose(find);
  EXPECT_EQ(Ticks(after.ftCreationTime), Ticks(before.ftCreationTime));
  EXPECT_EQ(Ticks(after.ftLastWriteTime), Ticks(before.ftLastWriteTime));

  HANDLE file =
      CreateFileA("C:\\u.mp3", 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  BY_HANDLE_FILE_INFORMATION info{};
  ASSERT_TRUE(GetFileInformationByHandle(file, &info));
  EXPECT_EQ(Ticks(info.ftLastWriteTime), Ticks(before.ftLastWriteTime));
  EXPECT_EQ(info.nFileSizeLow, 1U);
  EXPECT_EQ(info.nNumberOfLinks, 1U);
  EXPECT_EQ(info.dwFileAttributes, FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY);
  CloseHandle(file);

  WORD date = 0, time = 0;
  ASSERT_TRUE(FileTimeToDosDateTime(&before.ftLastWriteTime, &date, &time));
  EXPECT_EQ(date, ((2001 - 1980) << 9) | (9 << 5) | 9);
  EXPECT_EQ(time, (1 << 11) | (46 << 5) | 20);
}

TEST(Files, DosDateAndTimeAreTheCalendarOfTheFileTime)
{
  // The plain way: gmtime_r's calendar, seconds halved; only 1980 to 2107 fit a DOS date.
  const auto plain = [](std::int64_t seconds, WORD& date, WORD& time) {
    const auto instant = static_cast<time_t>(seconds);
    struct tm parts {};
    if (::gmtime_r(&instant, &parts) == nullptr || parts.tm_year < 80 || parts.tm_year > 207) {
      return false;
    }
    date = static_cast<WORD>(((parts.tm_year - 80) << 9) | ((parts.tm_mon + 1) << 5) | parts.tm_mday);
    time = static_cast<WORD>((parts.tm_hour << 11) | (parts.tm_min << 5) | (parts.tm_sec / 2));
    return true;
  };
  const auto fileTime = [](std::int64_t seconds, std::int64_t ticks) {
    const auto value = static_cast<std::uint64_t>((seconds + 11644473600) * 10000000 + ticks);
    return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
  };
  std::vector<std::int64_t> instants = {
      315532799,    // 1979-12-31 23:59:59: too early
      315532800,    // 1980-01-01 00:00:00
      320630399,    // 1980-02-28 23:59:59
      320630400,    // 1980-02-29
      951782400,    // 2000-02-29
      951868800,    // 2000-03-01
      946684799,    // 1999-12-31 23:59:59
      4107542399,   // 2100-02-28 23:59:59 (2100 has no 29 February)
      4107542400,   // 2100-03-01
      4354819199,   // 2107-12-31 23:59:59: the last DOS second
      4354819200,   // 2108-01-01: too late
      0,            // 1970
      -1,           // 1969-12-31 23:59:59
      -11644473600  // 1601-01-01, file time 0
  };
  for (std::int64_t seconds = 315532800; seconds < 4354819200; seconds += 86399 * 37 + 7) {
    instants.push_back(seconds);
  }
  for (const std::int64_t seconds : instants) {
    for (const std::int64_t ticks : {0LL, 9999999LL}) {
      SCOPED_TRACE(seconds);
      const FILETIME time = fileTime(seconds, ticks);
      WORD date = 0, clock = 0, plainDate = 0, plainClock = 0;
      const bool expected = plain(seconds, plainDate, plainClock);
      SetLastError(0);
      EXPECT_EQ(FileTimeToDosDateTime(&time, &date, &clock) != FALSE, expected);
      if (expected) {
        EXPECT_EQ(date, plainDate);
        EXPECT_EQ(clock, plainClock);
      } else {
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
      }
    }
  }
  const FILETIME last{0xFFFFFFFF, 0xFFFFFFFF};
  WORD date = 0, clock = 0;
  EXPECT_FALSE(FileTimeToDosDateTime(&last, &date, &clock));
}

TEST(FindFiles, MasksFollowTheWin32Rule)
{
  const struct {
    const char* Name;
    const char* Mask;
    bool Matches;
  } cases[] = {
      {"a.mp3", "*.*", true},
      {"README", "*.*", true},
      {"README", "*", true},
      {"a.MP3", "*.mp3", true},
      {"a.mp3x", "*.mp3", false},
      {"ab.mp3", "?.mp3", false},
      {"a.mp3", "?.mp3", true},
      {"Ärger.mp3", "ä*", true},
      {"abc", "a*c", true},
      {"abcd", "a*c", false},
      {"abc", "a*.*", true},
      {"x.tar.gz", "*.gz", true},
      // "?" is one character, however many bytes it takes.
      {"\xC3\xA9.mp3", "?.mp3", true},
      {"\xE2\x80\x94.mp3", "?.mp3", true},
      {"\xF0\x9F\x8E\xB5.mp3", "?.mp3", true},
      {"\xC3\xA9\xC3\xA9.mp3", "?.mp3", false},
      {"\xC3\xA9\xC3\xA9.mp3", "??.mp3", true},
      {"\xE9.mp3", "?.mp3", true},
      {"\xC3.mp3", "?.mp3", true},
      {"\xC3\xA9", "?\xA9", false},
  };
  for (const auto& k : cases) {
    EXPECT_EQ(MatchesFileMask(k.Name, k.Mask), k.Matches) << k.Name << " " << k.Mask;
  }
}

}  // namespace
