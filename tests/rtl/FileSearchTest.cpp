#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "platform/files/Files.h"
#include "platform/files/Paths.h"
#include "rtl/Exception.h"
#include "rtl/FileSearch.h"
#include "rtl/FileStream.h"
#include "rtl/FileUtils.h"
#include "tests/support/DeclaredDrives.h"

namespace {

std::set<std::string> Search(const std::string& pattern, int attr)
{
  std::set<std::string> names;
  TSearchRec record;
  if (FindFirst(pattern, attr, record) == 0) {
    do {
      names.insert(record.Name);
    } while (FindNext(record) == 0);
    FindClose(record);
  }
  return names;
}

TEST(FileSearch, AttributeMaskDecidesWhichEntriesAreReturned)
{
  const TDeclaredMachine machine;
  const auto c = machine.DriveFolder('C');
  std::filesystem::create_directories(c / "M" / "Sub");
  std::filesystem::create_directories(c / "M" / ".HiddenSub");
  std::ofstream(c / "M" / "a.mp3") << "x";
  std::ofstream(c / "M" / ".h.mp3") << "x";
  std::ofstream(c / "M" / "r.mp3") << "x";
  std::filesystem::permissions(c / "M" / "r.mp3", std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  using S = std::set<std::string>;
  const struct {
    int Attr;
    S Names;
  } cases[] = {
      {0, S{"a.mp3", "r.mp3"}},
      {faReadOnly | faArchive, S{"a.mp3", "r.mp3"}},
      {0x33, S{".", "..", "Sub", "a.mp3", ".h.mp3", "r.mp3", ".HiddenSub"}},
      {0x13, S{".", "..", "Sub", "a.mp3", ".h.mp3", "r.mp3", ".HiddenSub"}},
      {faDirectory, S{".", "..", "Sub", "a.mp3", "r.mp3"}},
      {faHidden, S{"a.mp3", ".h.mp3", "r.mp3"}},
      {faAnyFile, S{".", "..", "Sub", "a.mp3", ".h.mp3", "r.mp3", ".HiddenSub"}},
  };
  for (const auto& k : cases) {
    EXPECT_EQ(Search("C:\\M\\*.*", k.Attr), k.Names) << k.Attr;
  }
  TSearchRec record;
  ASSERT_EQ(FindFirst("C:\\M\\r.mp3", 0x33, record), 0);
  EXPECT_EQ(record.Attr, faArchive | faReadOnly);
  EXPECT_EQ(record.Size, 1);
  EXPECT_NE(record.Time, 0);
  FindClose(record);
  FindClose(record);
  EXPECT_EQ(FindFirst("C:\\M\\none.mp3", 0x33, record), 2);
  EXPECT_EQ(FindFirst("C:\\None\\*.*", 0x33, record), 3);
}

// Times of one folder around a change of clock: each entry's DOS time is its own local time,
// also for entries in the hour of the change and in hours seen earlier in the same search.
TEST(FileSearch, TimesAreLocalAcrossAChangeOfClock)
{
  const TDeclaredMachine machine;
  const auto folder = machine.DriveFolder('C') / "T";
  std::filesystem::create_directories(folder);
  const char* previousZone = std::getenv("TZ");
  const std::string saved = previousZone == nullptr ? "" : previousZone;
  // Summer time from 2024-03-31 01:30 UTC, in the middle of an hour.
  ::setenv("TZ", "XST-1XDT,M3.5.0/2:30,M10.5.0/3", 1);
  ::tzset();
  constexpr time_t kChange = 1711848600;
  const time_t times[] = {kChange - 1800, kChange - 1,    kChange,     kChange + 1, kChange + 1799,
                          kChange - 5400, kChange + 3600, kChange - 1, kChange + 1};
  for (std::size_t i = 0; i < std::size(times); ++i) {
    const auto file = folder / ("f" + std::to_string(i));
    std::ofstream(file) << "x";
    const timespec stamps[2] = {{times[i], 0}, {times[i], 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), stamps, 0), 0);
  }
  TSearchRec record;
  int seen = 0;
  for (int result = FindFirst("C:\\T\\f*", 0, record); result == 0; result = FindNext(record)) {
    FILETIME local{};
    WORD date = 0;
    WORD time = 0;
    ASSERT_TRUE(FileTimeToLocalFileTime(&record.FindData.ftLastWriteTime, &local));
    ASSERT_TRUE(FileTimeToDosDateTime(&local, &date, &time));
    EXPECT_EQ(record.Time, static_cast<std::int32_t>((static_cast<std::uint32_t>(date) << 16) | time))
        << record.Name;
    ++seen;
  }
  FindClose(record);
  EXPECT_EQ(seen, static_cast<int>(std::size(times)));
  if (previousZone == nullptr) {
    ::unsetenv("TZ");
  } else {
    ::setenv("TZ", saved.c_str(), 1);
  }
  ::tzset();
}

// An hour handed on from one search to the next (as a walk does from folder to folder) gives
// each entry the DOS time of its own local time: hours before, at and after a change of clock
// in either direction, the hour handed on found again or not, and one handed on under another
// zone's rules that the next search is not given.
TEST(FileSearch, AnHourHandedOnBetweenSearchesKeepsEachEntrysLocalTime)
{
  const TDeclaredMachine machine;
  const auto c = machine.DriveFolder('C');
  const char* previousZone = std::getenv("TZ");
  const std::string saved = previousZone == nullptr ? "" : previousZone;
  // Summer time from 2024-03-31 01:30 UTC and back at 2024-10-27 01:30 UTC, both in the middle
  // of an hour.
  ::setenv("TZ", "XST-1XDT,M3.5.0/2:30,M10.5.0/3:30", 1);
  ::tzset();
  constexpr time_t kSpring = 1711848600;
  constexpr time_t kAutumn = 1729992600;
  const std::vector<std::vector<time_t>> folders = {
      {kSpring - 3000},                            // the hour before the change
      {kSpring - 2000, kSpring - 1, kSpring + 1},  // the same hour again, then the change's hour
      {kSpring + 1800, kSpring + 1799},            // the change's hour (never kept)
      {kSpring + 3600, kSpring + 7200},            // summer hours
      {kAutumn - 1, kAutumn, kAutumn - 3600},      // the hour back, either side
      {kAutumn + 3599, kSpring - 3000},            // winter, then the first hour again
      {},                                          // an empty folder hands on nothing
      {kAutumn + 3599},
  };
  TLocalHour carried;
  for (std::size_t f = 0; f < folders.size(); ++f) {
    const auto folder = c / ("F" + std::to_string(f));
    std::filesystem::create_directories(folder);
    for (std::size_t i = 0; i < folders[f].size(); ++i) {
      const auto file = folder / ("f" + std::to_string(i));
      std::ofstream(file) << "x";
      const timespec stamps[2] = {{folders[f][i], 0}, {folders[f][i], 0}};
      ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), stamps, 0), 0);
    }
    TSearchRec record;
    int seen = 0;
    for (int result = FindFirst("C:\\F" + std::to_string(f) + "\\f*", 0, record, carried); result == 0;
         result = FindNext(record)) {
      FILETIME local{};
      WORD date = 0;
      WORD time = 0;
      ASSERT_TRUE(FileTimeToLocalFileTime(&record.FindData.ftLastWriteTime, &local));
      ASSERT_TRUE(FileTimeToDosDateTime(&local, &date, &time));
      EXPECT_EQ(record.Time, static_cast<std::int32_t>((static_cast<std::uint32_t>(date) << 16) | time))
          << f << " " << record.Name;
      ++seen;
    }
    FindClose(record);
    EXPECT_EQ(seen, static_cast<int>(folders[f].size())) << f;
    if (record.LocalTime.Hour != ~0ULL) {
      carried = record.LocalTime;
    }
  }
  // A search of its own starts afresh: the hour kept under this zone is not taken into another.
  ::setenv("TZ", "UTC0", 1);
  ::tzset();
  TSearchRec record;
  ASSERT_EQ(FindFirst("C:\\F0\\f0", 0, record), 0);
  FILETIME local{};
  WORD date = 0;
  WORD time = 0;
  ASSERT_TRUE(FileTimeToLocalFileTime(&record.FindData.ftLastWriteTime, &local));
  ASSERT_TRUE(FileTimeToDosDateTime(&local, &date, &time));
  EXPECT_EQ(record.Time, static_cast<std::int32_t>((static_cast<std::uint32_t>(date) << 16) | time));
  FindClose(record);
  if (previousZone == nullptr) {
    ::unsetenv("TZ");
  } else {
    ::setenv("TZ", saved.c_str(), 1);
  }
  ::tzset();
}

// DOS times of one folder's entries around local midnights and the ends of the DOS years: each
// is its own local time's, or 0 where no DOS date exists.
TEST(FileSearch, DosTimesAcrossDaysAndTheEndsOfTheDosYears)
{
  const TDeclaredMachine machine;
  const auto folder = machine.DriveFolder('C') / "D";
  std::filesystem::create_directories(folder);
  const char* previousZone = std::getenv("TZ");
  const std::string saved = previousZone == nullptr ? "" : previousZone;
  ::setenv("TZ", "XST-1", 1);  // local midnight is 23:00 UTC
  ::tzset();
  constexpr time_t kMidnight = 1718578800;  // 2024-06-17 00:00 local
  const time_t times[] = {kMidnight - 1,     kMidnight,         kMidnight + 1, kMidnight + 86399,
                          kMidnight + 86400, kMidnight - 86400, kMidnight + 3, kMidnight - 2,
                          315529199,    // 1979-12-31 23:59:59 local
                          315529200,    // 1980-01-01 00:00:00 local
                          4354815599,   // 2107-12-31 23:59:59 local
                          4354815600};  // 2108-01-01 00:00:00 local
  for (std::size_t i = 0; i < std::size(times); ++i) {
    const auto file = folder / ("f" + std::to_string(i));
    std::ofstream(file) << "x";
    const timespec stamps[2] = {{times[i], 0}, {times[i], 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), stamps, 0), 0);
  }
  TSearchRec record;
  int seen = 0;
  int none = 0;
  for (int result = FindFirst("C:\\D\\f*", 0, record); result == 0; result = FindNext(record)) {
    FILETIME local{};
    WORD date = 0;
    WORD time = 0;
    ASSERT_TRUE(FileTimeToLocalFileTime(&record.FindData.ftLastWriteTime, &local));
    const std::int32_t expected =
        FileTimeToDosDateTime(&local, &date, &time)
            ? static_cast<std::int32_t>((static_cast<std::uint32_t>(date) << 16) | time)
            : 0;
    EXPECT_EQ(record.Time, expected) << record.Name;
    none += expected == 0 ? 1 : 0;
    ++seen;
  }
  FindClose(record);
  EXPECT_EQ(seen, static_cast<int>(std::size(times)));
  EXPECT_EQ(none, 2);
  if (previousZone == nullptr) {
    ::unsetenv("TZ");
  } else {
    ::setenv("TZ", saved.c_str(), 1);
  }
  ::tzset();
}

TEST(FileUtils, ExistsDeleteRenameAndAttributes)
{
  const TDeclaredMachine machine;
  const auto c = machine.DriveFolder('C');
  std::filesystem::create_directories(c / "Dir");
  std::ofstream(c / "f.txt") << "x";
  EXPECT_TRUE(FileExists("C:\\F.TXT"));
  EXPECT_FALSE(FileExists("C:\\Dir"));
  EXPECT_FALSE(FileExists("C:\\none"));
  EXPECT_EQ(FileGetAttr("C:\\Dir"), faDirectory);
  EXPECT_EQ(FileGetAttr("C:\\none"), -1);
  EXPECT_EQ(FileSetAttr("C:\\f.txt", faReadOnly), 0);
  EXPECT_EQ(FileGetAttr("C:\\f.txt"), faReadOnly | faArchive);
  EXPECT_FALSE(DeleteFile("C:\\f.txt"));
  EXPECT_EQ(FileSetAttr("C:\\f.txt", 0), 0);
  EXPECT_TRUE(RenameFile("C:\\f.txt", "C:\\Dir\\g.txt"));
  EXPECT_FALSE(RenameFile("C:\\none", "C:\\x"));
  std::ofstream(c / "h.txt") << "y";
  EXPECT_FALSE(RenameFile("C:\\h.txt", "C:\\Dir\\g.txt"));
  EXPECT_TRUE(DeleteFile("C:\\Dir\\g.txt"));
  EXPECT_FALSE(FileExists("C:\\Dir\\g.txt"));
  EXPECT_NE(FileSetAttr("C:\\none", 0), 0);
}

TEST(FileUtils, ExpandedNamesAndUncForms)
{
  const TDeclaredMachine machine;
  const struct {
    const char* Name;
    const char* Expanded;
    const char* Unc;
  } cases[] = {
      {"C:\\Music\\..\\a.mp3", "C:\\a.mp3", "C:\\a.mp3"},
      {"n:\\Jazz\\t.wma", "N:\\Jazz\\t.wma", "\\\\server\\music\\Jazz\\t.wma"},
      {"\\\\server\\music\\x", "\\\\server\\music\\x", "\\\\server\\music\\x"},
  };
  for (const auto& k : cases) {
    EXPECT_EQ(ExpandFileName(k.Name), k.Expanded) << k.Name;
    EXPECT_EQ(ExpandUNCFileName(k.Name), k.Unc) << k.Name;
  }
}

TEST(FileStream, ShareFlagsHoldAgainstOtherStreams)
{
  const TDeclaredMachine machine;
  const std::string name = (machine.DriveFolder('C') / "s.bin").string();
  {
    TFileStream created(name, fmCreate);
    created.WriteBuffer("abc", 3);
    try {
      TFileStream second(name, fmOpenRead | fmShareDenyNone);
      ADD_FAILURE() << "opened while created exclusively";
    } catch (const EFOpenError& error) {
      EXPECT_EQ(error.Message(),
                "Cannot open file \"" + name +
                    "\". The process cannot access the file because it is being used by another process");
    }
  }
  TFileStream reader(name, fmOpenRead | fmShareDenyWrite);
  TFileStream another(name, fmOpenRead | fmShareDenyNone);
  EXPECT_THROW(TFileStream(name, fmOpenReadWrite | fmShareDenyNone), EFOpenError);
  char bytes[3];
  another.ReadBuffer(bytes, 3);
  EXPECT_EQ(std::string(bytes, 3), "abc");
  EXPECT_THROW(TFileStream("C:\\none.bin", fmOpenRead), EFOpenError);
}

}  // namespace
