// oxa-lib scan: its texts and counts, and the command run as the user runs it on a throw-away
// machine whose C: holds the settings, the library and the music, Ctrl+C included.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "rtl/Registry.h"
#include "scan/OxaSearchEngineWrapper.h"
#include "settings/OxaMusicPlayerTypes.h"
#include "tags/ID3Version2Tagger2.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/DeclaredDrives.h"
#include "tests/support/Mp3Builder.h"
#include "tests/support/ProgramRun.h"
#include "tools/oxa-lib/ScanText.h"

namespace fs = std::filesystem;

namespace {

TEST(OxaLibScanText, RemainingTimeIsMinutesBelowAnHourAndHoursFromOne)
{
  const std::pair<std::int32_t, const char*> cases[] = {
      {0, "0:00"},
      {9, "0:09"},
      {59, "0:59"},
      {60, "1:00"},
      {3599, "59:59"},
      {3600, "1:00:00"},
      {3661, "1:01:01"},
      {86399, "23:59:59"},
      {ScanTimeUnknown, "?"},
      {2147483, "596:31:23"},
  };
  for (const auto& [seconds, text] : cases) {
    EXPECT_EQ(RemainingText(seconds), text) << seconds;
  }
  EXPECT_EQ(Step1Text(12), "Scanning step 1/3... (12 music files found)");
  EXPECT_EQ(Step2Text(90), "Scanning step 2/3... (approx 1:30 min remaining)");
  EXPECT_EQ(Step3Text(7), "Scanning step 3/3...   7% done");
  EXPECT_EQ(Step3Text(100), "Scanning step 3/3... 100% done");
}

TEST(OxaLibScanText, TheMergeCountsFollowThePathOrder)
{
  const auto known = [](const char* path, std::uint64_t size) {
    TMusicFileItem item;
    item.Size = size;
    return TKnownFile{1, path, ItemAttributes(item)};
  };
  const auto found = [](const char* path, std::uint64_t size) {
    TMusicFileItem item;
    item.FileName = path;
    item.Size = size;
    return item;
  };
  const TKnownFiles knownFiles{known("C:\\a.mp3", 1), known("C:\\B.mp3", 1), known("C:\\c.mp3", 1),
                               known("C:\\e.mp3", 1)};
  const TMusicFileItems foundFiles{found("C:\\A.mp3", 1), found("C:\\b.mp3", 2), found("C:\\d.mp3", 1),
                                   found("C:\\f.mp3", 1)};
  const TMergeCounts counts = CountMerge(knownFiles, foundFiles);
  EXPECT_EQ(counts.Added, 2);    // d, f
  EXPECT_EQ(counts.Updated, 1);  // b
  EXPECT_EQ(counts.Removed, 2);  // c, e
  const TMergeCounts none = CountMerge({}, {});
  EXPECT_EQ(none.Added + none.Updated + none.Removed, 0);
}

class OxaLibScanTest : public ::testing::Test {
 protected:
  OxaLibScanTest()
  {
    TRegistry registry;
    registry.OpenKey("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", true);
    registry.WriteString("AppData", "C:\\AppData");
    SetPause(0);
    ResetSettingsFileName();
  }
  ~OxaLibScanTest() override { ResetSettingsFileName(); }

  static void SetPause(std::int32_t milliseconds)
  {
    TRegistry registry;
    registry.OpenKey(std::string(PlayerRegistryKey), true);
    registry.WriteInteger(std::string(ScanPauseValueName), milliseconds);
  }
  void PutMp3(const std::string& relative, const std::string& title) const
  {
    mp3::TBytes bytes = mp3::Id3Tag({mp3::Id3TextFrame("TIT2", title)});
    mp3::Append(bytes, mp3::Audio(mp3::TFrameRecipe{}, 6000));
    mp3::Append(bytes, mp3::BusyBytes(4096));
    const fs::path path = Machine.DriveFolder('C') / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  static std::vector<std::string> Option(TMusicOption key)
  {
    TStringList list;
    ReadOption(key, list);
    std::vector<std::string> lines;
    for (int i = 0; i < list.Count(); ++i) {
      lines.push_back(list[i]);
    }
    return lines;
  }
  static TProgramRun OxaLib(const std::vector<std::string>& arguments)
  {
    return RunProgram(OXA_LIB_PROGRAM, arguments);
  }
  // The last line of the output: the JSON summary.
  static std::string Summary(const TProgramRun& run)
  {
    const std::string& out = run.Output;
    const std::size_t end = out.size() > 0 ? out.size() - 1 : 0;
    const std::size_t start = out.rfind('\n', end > 0 ? end - 1 : 0);
    return out.substr(start == std::string::npos ? 0 : start + 1,
                      end - (start == std::string::npos ? 0 : start + 1));
  }

  TDeclaredMachine Machine{{TDrive{'C', "", DRIVE_FIXED, "System", TDeclaredMachine::kTenGiB, "", "NTFS"}}};
};

TEST_F(OxaLibScanTest, FullThenUpdateScansMergeOnlyWhatChanged)
{
  PutMp3("Music/Rock/a.mp3", "A");
  PutMp3("Music/Rock/b.mp3", "B");
  PutMp3("Music/Jazz/c.mp3", "C");

  const TProgramRun full = OxaLib({"scan", "full", "--json"});
  ASSERT_EQ(full.ExitCode, 0) << full.Output;
  EXPECT_EQ(full.Output, R"({"found":3,"read":3,"unreadable":0,"added":3,"updated":0,"removed":0})"
                         "\n");
  EXPECT_EQ(Option(TMusicOption::WhiteDrives), std::vector<std::string>{"C:\\"}) << "the fixed disks";
  EXPECT_EQ(Option(TMusicOption::GreyDrives), std::vector<std::string>{"C:\\"});
  EXPECT_FALSE(Option(TMusicOption::Roots).empty());

  const TProgramRun same = OxaLib({"scan", "update", "--json"});
  ASSERT_EQ(same.ExitCode, 0) << same.Output;
  EXPECT_EQ(same.Output, R"({"found":3,"read":0,"unreadable":0,"added":0,"updated":0,"removed":0})"
                         "\n");

  fs::remove(Machine.DriveFolder('C') / "Music/Jazz/c.mp3");
  PutMp3("Music/Rock/d.mp3", "D");
  const TProgramRun changed = OxaLib({"scan", "update"});
  ASSERT_EQ(changed.ExitCode, 0) << changed.Output;
  EXPECT_NE(changed.Output.find("Scanning step 2/3... (approx ? min remaining)  C:\\Music\\Rock\n"),
            std::string::npos)
      << changed.Output;
  EXPECT_NE(changed.Output.find("Scanning step 3/3..."), std::string::npos) << changed.Output;
  EXPECT_TRUE(
      changed.Output.ends_with("found 3 music files, read 1 (0 unreadable); added 1, updated 0, removed 1\n"))
      << changed.Output;

  const TProgramRun files = OxaLib({"db", "files"});
  EXPECT_NE(files.Output.find("C:\\Music\\Rock\\d.mp3"), std::string::npos) << files.Output;
  EXPECT_EQ(files.Output.find("c.mp3"), std::string::npos) << files.Output;
}

TEST_F(OxaLibScanTest, AnUpdateFindsANewAlbumBesideTheKnownAlbumFolders)
{
  PutMp3("Music/A/Album1/1.mp3", "One");
  PutMp3("Music/A/Album1/2.mp3", "Two");
  PutMp3("Music/B/Album2/3.mp3", "Three");
  const TProgramRun full = OxaLib({"scan", "full", "--json"});
  ASSERT_EQ(full.ExitCode, 0) << full.Output;
  const std::vector<std::string> roots{"C:\\Music\\A\\Album1\\", "C:\\Music\\B\\Album2\\"};
  ASSERT_EQ(Option(TMusicOption::Roots), roots) << "each album folder a root of its own";

  PutMp3("Music/New Artist/New Album/4.mp3", "Four");
  PutMp3("Elsewhere/5.mp3", "Five");
  const TProgramRun update = OxaLib({"scan", "update", "--json"});
  ASSERT_EQ(update.ExitCode, 0) << update.Output;
  EXPECT_EQ(Summary(update), R"({"found":4,"read":1,"unreadable":0,"added":1,"updated":0,"removed":0})");
  EXPECT_EQ(Option(TMusicOption::Roots), roots);

  const TProgramRun files = OxaLib({"db", "files"});
  EXPECT_NE(files.Output.find("C:\\Music\\New Artist\\New Album\\4.mp3"), std::string::npos) << files.Output;
  EXPECT_EQ(files.Output.find("5.mp3"), std::string::npos) << files.Output;

  const TProgramRun again = OxaLib({"scan", "update", "--json"});
  ASSERT_EQ(again.ExitCode, 0) << again.Output;
  EXPECT_EQ(Summary(again), R"({"found":4,"read":0,"unreadable":0,"added":0,"updated":0,"removed":0})");
}

TEST_F(OxaLibScanTest, ADropScanMergesTheDroppedFolder)
{
  PutMp3("Drop/x.mp3", "X");
  PutMp3("Elsewhere/y.mp3", "Y");
  const TProgramRun drop = OxaLib({"scan", "drop", "C:\\Drop", "--json"});
  ASSERT_EQ(drop.ExitCode, 0) << drop.Output;
  EXPECT_EQ(Summary(drop), R"({"found":1,"read":1,"unreadable":0,"added":1,"updated":0,"removed":0})");
  EXPECT_EQ(Option(TMusicOption::Roots), std::vector<std::string>{"C:\\Drop\\"});
  EXPECT_EQ(Option(TMusicOption::GreyDrives), std::vector<std::string>{"C:\\"});
}

TEST_F(OxaLibScanTest, NamesNoWindowsPathCanHoldAreScannedAndTaggedThroughTheirStandIns)
{
  // ":" is U+F03A, "?" U+F03F and "\\" U+F05C in the Windows names.
  const std::string live = "C:\\Music\\Live\xEF\x80\xBA 1999\xEF\x80\xBF.mp3";
  const std::string why =
      "C:\\Music\\AC\xEF\x81\x9C"
      "DC\\Why\xEF\x80\xBF.mp3";
  PutMp3("Music/Live: 1999?.mp3", "Live");
  PutMp3("Music/AC\\DC/Why?.mp3", "Why");

  const TProgramRun full = OxaLib({"scan", "full", "--json"});
  ASSERT_EQ(full.ExitCode, 0) << full.Output;
  EXPECT_EQ(full.Output, R"({"found":2,"read":2,"unreadable":0,"added":2,"updated":0,"removed":0})"
                         "\n");
  const TProgramRun files = OxaLib({"db", "files"});
  EXPECT_NE(files.Output.find(live), std::string::npos) << files.Output;
  EXPECT_NE(files.Output.find(why), std::string::npos) << files.Output;

  const TProgramRun read = OxaLib({"tags", live});
  ASSERT_EQ(read.ExitCode, 0) << read.Output;
  EXPECT_NE(read.Output.find("title: Live\n"), std::string::npos) << read.Output;
  const TProgramRun written = OxaLib({"tags", "--set", "title=Live again", why});
  ASSERT_EQ(written.ExitCode, 0) << written.Output;
  const fs::path host = Machine.DriveFolder('C') / "Music/AC\\DC/Why?.mp3";
  TID3Version2Tagger2 tag;
  ASSERT_TRUE(tag.Load(host.string()));
  EXPECT_EQ(tag.Title(), "Live again");
  EXPECT_EQ(std::distance(fs::directory_iterator(host.parent_path()), {}), 1) << "no file left beside it";

  const TProgramRun update = OxaLib({"scan", "update", "--json"});
  ASSERT_EQ(update.ExitCode, 0) << update.Output;
  EXPECT_EQ(update.Output, R"({"found":2,"read":1,"unreadable":0,"added":0,"updated":1,"removed":0})"
                           "\n");
}

TEST_F(OxaLibScanTest, UsageErrorsAndAnOpenLibraryAreRefused)
{
  const struct {
    std::vector<std::string> Arguments;
    int ExitCode;
  } cases[] = {
      {{"scan"}, 2},
      {{"scan", "sideways"}, 2},
      {{"scan", "full", "extra"}, 2},
      {{"scan", "drop"}, 2},
      {{"scan", "update", "--verbose"}, 2},
      {{"scan", "drop", "C:\\Nowhere"}, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(OxaLib(c.Arguments).ExitCode, c.ExitCode) << c.Arguments.size();
  }
  ASSERT_EQ(OxaLib({"db", "create", "--dir", "C:\\Lib"}).ExitCode, 0);
  std::ofstream(Machine.DriveFolder('C') / "Lib/OxaMediaDatabase.oxa", std::ios::trunc)
      << "OxaMediaDatabase-2.4-DBISAM-Open";
  PutMp3("Music/a.mp3", "A");
  EXPECT_EQ(OxaLib({"scan", "full", "--dir", "C:\\Lib"}).ExitCode, 1);
  EXPECT_TRUE(Option(TMusicOption::GreyDrives).empty()) << "nothing scanned";
}

TEST_F(OxaLibScanTest, CtrlCStopsAFullScanAndNothingIsSaved)
{
  for (int i = 0; i < 8; ++i) {
    PutMp3("Music/Album" + std::to_string(i) + "/song.mp3", "Song");
  }
  SetPause(300);
  TChildProcess scan(OXA_LIB_PROGRAM, {"scan", "full"});
  bool reading = false;
  while (const auto line = scan.ReadLine()) {
    if (line->starts_with("Scanning step 2/3")) {
      reading = true;
      break;
    }
  }
  ASSERT_TRUE(reading);
  kill(scan.Pid(), SIGINT);
  std::string rest;
  while (const auto line = scan.ReadLine()) {
    rest += *line + '\n';
  }
  EXPECT_EQ(scan.Wait(), 1) << rest;
  EXPECT_TRUE(Option(TMusicOption::GreyDrives).empty());
  EXPECT_TRUE(Option(TMusicOption::Roots).empty());
  const TProgramRun files = OxaLib({"db", "files"});
  EXPECT_EQ(files.Output, "") << "the library stays empty";
}

}  // namespace
