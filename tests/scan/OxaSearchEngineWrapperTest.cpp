// The scan driver on throw-away machines with declared drives: the three scans, what each
// saves, what step 2 reads, stopping in every stage, and the merge of its result into a real
// library, which must never lose a record the scan did not look at.
#include "scan/OxaSearchEngineWrapper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "library/MusicDatabase.h"
#include "platform/core/FaultInjection.h"
#include "platform/files/Files.h"
#include "platform/objects/Threads.h"
#include "rtl/Registry.h"
#include "settings/OxaMusicPlayerTypes.h"
#include "tests/support/DeclaredDrives.h"
#include "tests/support/MessagePump.h"
#include "tests/support/Mp3Builder.h"

namespace fs = std::filesystem;

namespace {

using TLines = std::vector<std::string>;

TEST(ScanEstimate, ScalesTheTimeSpentByTheShareStillAhead)
{
  const struct {
    std::int64_t Found, Passed, Reads;
    std::uint32_t Elapsed;
    std::int32_t Expected;
  } cases[] = {
      {100, 25, 25, 10000, 30000},             // all read so far
      {100, 25, 1, 10000, 30000},              // unchanged files passed count as done
      {100, 100, 100, 10000, 0},               // at the end
      {3, 2, 1, 1001, 501},                    // 500.5 rounds up
      {3, 2, 1, 999, 500},                     // 499.5 rounds up
      {100, 25, 0, 10000, ScanTimeUnknown},    // nothing read yet
      {100, 0, 0, 0, ScanTimeUnknown},         // nothing passed
      {3, 1, 1, 0x3FFFFFFF, 0x7FFFFFFE},       // exactly the largest estimate
      {3, 1, 1, 0x40000000, MaxScanEstimate},  // one more is clamped below "unknown"
      {1000000, 1, 1, 0xFFFFFFFF, MaxScanEstimate},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ScanEstimate(c.Found, c.Passed, c.Reads, c.Elapsed), c.Expected)
        << c.Found << "/" << c.Passed << " after " << c.Elapsed << " ms";
  }
}

TEST(ScanEstimate, IsReportedInWholeSeconds)
{
  const std::pair<std::int32_t, std::int32_t> cases[] = {
      {30000, 30},
      {999, 0},
      {1000, 1},
      {0, 0},
      {MaxScanEstimate, 2147483},
      {ScanTimeUnknown, ScanTimeUnknown},
  };
  for (const auto& [milliseconds, seconds] : cases) {
    EXPECT_EQ(ScanEstimateSeconds(milliseconds), seconds) << milliseconds;
  }
}

TEST(DriveOfPath, LettersAndShares)
{
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\Music\\a.mp3", "C:\\"},
      {"c:\\", "c:\\"},
      {"C:", "C:\\"},
      {"\\\\server\\music\\Folk\\", "\\\\server\\music\\"},
      {"\\\\server\\music", "\\\\server\\music\\"},
      {"\\\\server\\", ""},
      {"\\\\server", ""},
      {"\\\\\\share\\", ""},
      {"Music\\a.mp3", ""},
      {"", ""},
  };
  for (const auto& [path, drive] : cases) {
    EXPECT_EQ(DriveOfPath(path), drive) << path;
  }
}

TEST(FolderSet, AgreesWithPathIsUnder)
{
  const TFolderList folders{"C:\\Music\\", "d:\\äpfel\\", "\\\\server\\music\\Folk\\", "E:\\"};
  const TFolderSet set(folders);
  const std::pair<const char*, bool> cases[] = {
      {"C:\\Music\\a.mp3", true},
      {"c:\\MUSIC\\Sub\\a.mp3", true},
      {"C:\\Musical\\a.mp3", false},
      {"C:\\Music", false},
      {"C:\\Music\\", true},
      {"C:\\a.mp3", false},
      {"D:\\ÄPFEL\\x.mp3", true},
      {"D:\\apfel\\x.mp3", false},
      {"\\\\SERVER\\Music\\folk\\x.mp3", true},
      {"\\\\server\\music\\x.mp3", false},
      {"e:\\x.mp3", true},
      {"F:\\x.mp3", false},
      {"", false},
  };
  for (const auto& [path, under] : cases) {
    EXPECT_EQ(set.Contains(path), under) << path;
    EXPECT_EQ(PathIsUnder(path, folders), under) << path;
  }
  EXPECT_FALSE(TFolderSet({}).Contains("C:\\a.mp3"));
}

// What the wrapper told its owner.
class TScanLog {
 public:
  void Step1(TObject*, const std::string& folder, std::int32_t files)
  {
    Step1Folders.push_back(folder);
    Step1Counts.push_back(files);
    if (OnStep1) {
      OnStep1();
    }
  }
  void Step2(TObject*, const std::string& folder, std::int32_t seconds)
  {
    Step2Folders.push_back(folder);
    Step2Seconds.push_back(seconds);
    if (OnStep2) {
      OnStep2();
    }
  }
  void Stopped(TObject*) { ++StoppedCount; }
  void FullDone(TObject*) { ++FullCount; }
  void UpdateDone(TObject*) { ++UpdateCount; }
  void DropDone(TObject*) { ++DropCount; }

  void Attach(TSearchEngineWrapper& wrapper)
  {
    wrapper.OnStep1Progress = MakeMethod<&TScanLog::Step1>(this);
    wrapper.OnStep2Progress = MakeMethod<&TScanLog::Step2>(this);
    wrapper.OnStopped = MakeMethod<&TScanLog::Stopped>(this);
    wrapper.OnFullScanDone = MakeMethod<&TScanLog::FullDone>(this);
    wrapper.OnUpdateScanDone = MakeMethod<&TScanLog::UpdateDone>(this);
    wrapper.OnDropScanDone = MakeMethod<&TScanLog::DropDone>(this);
  }

  TLines Step1Folders;
  std::vector<std::int32_t> Step1Counts;
  TLines Step2Folders;
  std::vector<std::int32_t> Step2Seconds;
  int StoppedCount = 0;
  int FullCount = 0;
  int UpdateCount = 0;
  int DropCount = 0;
  std::function<void()> OnStep1;
  std::function<void()> OnStep2;
};

// A library record as the tests compare them.
struct TRecord {
  std::int32_t FileId = -1;
  std::string Path;
  bool Hidden = false;
  friend bool operator==(const TRecord&, const TRecord&) = default;
};

std::ostream& operator<<(std::ostream& out, const TRecord& record)
{
  return out << record.FileId << ' ' << record.Path << (record.Hidden ? " (hidden)" : "");
}

// C: holds the settings and the library; E: is removable, F: and G: are fixed, N: is the share
// "\\server\music". The scan pauses 0 ms before each read unless a test says otherwise.
class ScanDriverTest : public ::testing::Test {
 protected:
  ScanDriverTest()
      : Machine({
            TDrive{'C', "", DRIVE_FIXED, "System", TDeclaredMachine::kTenGiB, "", "NTFS"},
            TDrive{'E', "", DRIVE_REMOVABLE, "STICK", 0, "", "FAT32"},
            TDrive{'F', "", DRIVE_FIXED, "Data", TDeclaredMachine::kTenGiB, "", "NTFS"},
            TDrive{'G', "", DRIVE_FIXED, "More", TDeclaredMachine::kTenGiB, "", "NTFS"},
            TDrive{'N', "", DRIVE_REMOTE, "", 0, "\\\\server\\music", ""},
        })
  {
    TRegistry registry;
    registry.OpenKey("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", true);
    registry.WriteString("AppData", "C:\\AppData");
    SetPause(0);
    ResetSettingsFileName();
    Set(TMusicOption::Masks, {".mp3", ".wav", ".wma"});
    Log.Attach(Wrapper);
  }
  ~ScanDriverTest() override
  {
    PausePlatformCalls(nullptr);
    ResetSettingsFileName();
  }

  static void SetPause(std::int32_t milliseconds)
  {
    TRegistry registry;
    registry.OpenKey(std::string(PlayerRegistryKey), true);
    registry.WriteInteger(std::string(ScanPauseValueName), milliseconds);
  }

  fs::path Host(const std::string& path) const
  {
    std::string rest = path.substr(3);
    std::replace(rest.begin(), rest.end(), '\\', '/');
    return Machine.DriveFolder(path[0]) / rest;
  }

  // An MP3 file with an ID3v2 title.
  void PutMp3(const std::string& path, const std::string& title) const
  {
    mp3::TBytes bytes = mp3::Id3Tag({mp3::Id3TextFrame("TIT2", title)});
    mp3::Append(bytes, mp3::Audio(mp3::TFrameRecipe{}, 6000));
    // Varied bytes at the end, where the fingerprint looks.
    mp3::Append(bytes, mp3::BusyBytes(4096));
    const fs::path host = Host(path);
    fs::create_directories(host.parent_path());
    std::ofstream(host, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  void PutOther(const std::string& path) const
  {
    const fs::path host = Host(path);
    fs::create_directories(host.parent_path());
    std::ofstream(host) << "not music";
  }
  // The drive's medium goes away (its folder is moved aside), or comes back.
  void Unplug(char letter) const { fs::rename(Machine.DriveFolder(letter), Machine.Scratch() / "unplugged"); }
  void Replug(char letter) const { fs::rename(Machine.Scratch() / "unplugged", Machine.DriveFolder(letter)); }

  static void Set(TMusicOption key, const TLines& lines)
  {
    TStringList list;
    for (const std::string& line : lines) {
      list.Add(line);
    }
    WriteOption(key, list);
  }
  static TLines Get(TMusicOption key)
  {
    TStringList list;
    ReadOption(key, list);
    TLines lines;
    for (int i = 0; i < list.Count(); ++i) {
      lines.push_back(list[i]);
    }
    return lines;
  }
  struct TOptions {
    TLines Roots, Cuts, GreyDrives;
    friend bool operator==(const TOptions&, const TOptions&) = default;
  };
  static TOptions Options()
  {
    return {Get(TMusicOption::Roots), Get(TMusicOption::Cuts), Get(TMusicOption::GreyDrives)};
  }

  // Starts a scan and handles messages until its end is reported.
  void Run(bool (TSearchEngineWrapper::*start)())
  {
    ASSERT_TRUE((Wrapper.*start)());
    ASSERT_TRUE(PumpUntil([&] { return !Wrapper.Busy(); }));
  }
  // The paths found, and whether each was read (a read item has its texts filled).
  std::vector<std::pair<std::string, std::string>> Found() const
  {
    std::vector<std::pair<std::string, std::string>> found;
    for (const TMusicFileItem& item : *Wrapper.GetFoundFiles()) {
      found.emplace_back(item.FileName, item.Title);
    }
    return found;
  }

  // The library in C:\Lib, opened as the player opens it.
  TMusicDatabase& Library()
  {
    if (!FLibraryOpen) {
      Database.SetDirectory("C:\\Lib\\");
      EXPECT_TRUE(OpenLibrary(Database));
      FLibraryOpen = true;
    }
    return Database;
  }
  TKnownFiles AllKnown() { return Library().GetKnownFiles(nullptr, nullptr, nullptr); }
  std::int32_t AddRecord(const std::string& path, bool hidden = false)
  {
    TMusicFileItem item;
    item.FileName = path;
    item.Title = "Stored";
    item.Checksum.fill(7);
    const std::int32_t id = Library().AddFile(item);
    if (hidden) {
      const TDbId file{1, -1, id};
      Library().HideItems(std::span(&file, 1));
    }
    return id;
  }
  std::vector<TRecord> Records()
  {
    std::vector<TRecord> records;
    for (const TKnownFile& file : AllKnown()) {
      TDbId item;
      records.push_back({file.FileId, file.FilePath, !Library().MakeItem(1, file.FileId, item)});
    }
    std::sort(records.begin(), records.end(),
              [](const TRecord& a, const TRecord& b) { return a.Path < b.Path; });
    return records;
  }
  std::string TitleOf(std::int32_t fileId)
  {
    TDbId item;
    return Library().MakeItem(5, fileId, item) ? item.Caption : std::string();
  }
  // The player's way: the library's files in, a scan, its result merged.
  void ScanAndMerge(bool (TSearchEngineWrapper::*start)())
  {
    Wrapper.SetKnownFiles(AllKnown());
    Run(start);
    ASSERT_TRUE(Library().ApplyScanResults(Wrapper.GetKnownFiles(), *Wrapper.GetFoundFiles()));
    Wrapper.ClearFoundFiles();
    Wrapper.SetKnownFiles({});
  }

  TDeclaredMachine Machine;
  TMusicDatabase Database{nullptr};
  bool FLibraryOpen = false;
  TSearchEngineWrapper Wrapper;
  TScanLog Log;
};

TEST_F(ScanDriverTest, AFullScanOfDrivesThatAreNotReadyWalksNothingAndKeepsTheLibrary)
{
  AddRecord("F:\\Music\\a.mp3");
  AddRecord("F:\\Music\\b.mp3", true);
  AddRecord("G:\\Music\\c.mp3");
  const std::vector<TRecord> before = Records();
  Set(TMusicOption::WhiteDrives, {"F:\\", "G:\\"});
  Set(TMusicOption::Roots, {"F:\\Music\\", "G:\\Music\\"});
  Set(TMusicOption::Cuts, {"F:\\Music\\Big\\"});
  Set(TMusicOption::GreyDrives, {"C:\\", "F:\\"});
  const TOptions stored = Options();
  Unplug('F');
  fs::remove_all(Machine.DriveFolder('G'));

  ScanAndMerge(&TSearchEngineWrapper::StartFullScan);
  EXPECT_EQ(Log.FullCount, 1);
  EXPECT_EQ(Log.StoppedCount, 0);
  EXPECT_TRUE(Log.Step1Counts.empty());
  EXPECT_EQ(Options(), stored);
  EXPECT_EQ(Records(), before);
}

TEST_F(ScanDriverTest, AFullScanLearnsRootsAndCutsPerDriveAndARemovableDriveIsItsOwnRoot)
{
  for (const char drive : {'E', 'F'}) {
    const std::string root = std::string(1, drive) + ":\\";
    PutMp3(root + "Music\\a.mp3", "A");
    for (int i = 0; i < 40; ++i) {
      PutOther(root + "Docs\\note" + std::to_string(i) + ".txt");
    }
  }
  Set(TMusicOption::WhiteDrives, {"E:\\", "F:\\"});
  Set(TMusicOption::Roots, {"C:\\Keep\\", "E:\\Old\\", "F:\\Old\\"});
  Set(TMusicOption::Cuts, {"C:\\Keep\\Cut\\", "E:\\Old\\Sub\\", "F:\\Old\\Sub\\"});
  Set(TMusicOption::GreyDrives, {"C:\\"});

  Run(&TSearchEngineWrapper::StartFullScan);
  EXPECT_EQ(Log.FullCount, 1);
  const TOptions after = Options();
  EXPECT_EQ(after.Roots, (TLines{"C:\\Keep\\", "E:\\", "F:\\Music\\"}));
  for (const std::string& cut : after.Cuts) {
    EXPECT_FALSE(cut.starts_with("E:")) << cut;
    EXPECT_FALSE(cut.starts_with("F:\\Old")) << cut;
  }
  EXPECT_NE(std::find(after.Cuts.begin(), after.Cuts.end(), "C:\\Keep\\Cut\\"), after.Cuts.end());
  EXPECT_EQ(after.GreyDrives, (TLines{"C:\\", "E:\\", "F:\\"}));
  EXPECT_FALSE(Log.Step1Counts.empty());
  EXPECT_EQ(Found(), (std::vector<std::pair<std::string, std::string>>{{"E:\\Music\\a.mp3", "A"},
                                                                       {"F:\\Music\\a.mp3", "A"}}));
}

TEST_F(ScanDriverTest, AnUpdateScanReportsNoStep1ProgressAndTheFirstEstimateIsUnknown)
{
  for (const char* folder : {"One", "Two", "Three"}) {
    PutMp3(std::string("C:\\Music\\") + folder + "\\song.mp3", folder);
  }
  Set(TMusicOption::Roots, {"C:\\Music\\"});
  Set(TMusicOption::GreyDrives, {"C:\\"});

  Run(&TSearchEngineWrapper::StartUpdateScan);
  EXPECT_EQ(Log.UpdateCount, 1);
  EXPECT_TRUE(Log.Step1Counts.empty());
  ASSERT_FALSE(Log.Step2Seconds.empty());
  EXPECT_EQ(Log.Step2Seconds.front(), ScanTimeUnknown);
  EXPECT_EQ(Log.Step2Folders.front(), "C:\\Music\\One");
  EXPECT_EQ(Found().size(), 3U);
  EXPECT_EQ(Options().Roots, TLines{"C:\\Music\\"});
}

TEST_F(ScanDriverTest, OnlyAChangeOfTimesOrSizeMakesAKnownFileBeReadAgain)
{
  PutMp3("C:\\Music\\Song.mp3", "Song");
  Set(TMusicOption::Roots, {"C:\\Music\\"});
  Set(TMusicOption::GreyDrives, {"C:\\"});
  Run(&TSearchEngineWrapper::StartUpdateScan);
  ASSERT_EQ(Wrapper.GetFoundFiles()->size(), 1U);
  const TMusicFileItem scanned = Wrapper.GetFoundFiles()->front();

  const struct {
    const char* Name;
    std::string Path;
    std::function<void(TMusicFileItem&)> Change;
    bool Read;
  } cases[] = {
      {"same", "C:\\Music\\Song.mp3", [](TMusicFileItem&) {}, false},
      {"renamed in letter case", "c:\\MUSIC\\song.MP3", [](TMusicFileItem&) {}, false},
      {"last access only", "C:\\Music\\Song.mp3", [](TMusicFileItem& i) { ++i.LastAccessTime.dwLowDateTime; },
       false},
      {"size", "C:\\Music\\Song.mp3", [](TMusicFileItem& i) { ++i.Size; }, true},
      {"last write", "C:\\Music\\Song.mp3", [](TMusicFileItem& i) { ++i.LastWriteTime.dwLowDateTime; }, true},
      {"creation", "C:\\Music\\Song.mp3", [](TMusicFileItem& i) { ++i.CreationTime.dwHighDateTime; }, true},
      {"another name", "C:\\Music\\Song2.mp3", [](TMusicFileItem&) {}, true},
  };
  for (const auto& c : cases) {
    TMusicFileItem known = scanned;
    c.Change(known);
    Wrapper.SetKnownFiles({TKnownFile{1, c.Path, ItemAttributes(known)}});
    Run(&TSearchEngineWrapper::StartUpdateScan);
    ASSERT_EQ(Wrapper.GetFoundFiles()->size(), 1U) << c.Name;
    EXPECT_EQ(Wrapper.GetFoundFiles()->front().Title, c.Read ? "Song" : "") << c.Name;
    EXPECT_EQ(Wrapper.Thread(), nullptr);
  }
}

TEST_F(ScanDriverTest, AnUnpluggedDriveKeepsItsTracksAndItsRootsThroughAnUpdateScan)
{
  PutMp3("C:\\Music\\c.mp3", "C");
  PutMp3("F:\\Music\\f.mp3", "F");
  PutMp3("F:\\Music\\g.mp3", "G");
  Set(TMusicOption::Roots, {"C:\\Music\\", "F:\\Music\\"});
  Set(TMusicOption::GreyDrives, {"C:\\", "F:\\"});
  ScanAndMerge(&TSearchEngineWrapper::StartUpdateScan);
  std::vector<TRecord> records = Records();
  ASSERT_EQ(records.size(), 3U);
  const TDbId hide{1, -1, records[1].FileId};
  Library().HideItems(std::span(&hide, 1));
  records[1].Hidden = true;
  fs::remove(Host("C:\\Music\\c.mp3"));
  Unplug('F');

  ScanAndMerge(&TSearchEngineWrapper::StartUpdateScan);
  records.erase(records.begin());
  EXPECT_EQ(Records(), records) << "the file gone from C: goes, F:'s stay as they were";
  EXPECT_EQ(Options().Roots, (TLines{"C:\\Music\\", "F:\\Music\\"}));
  EXPECT_EQ(Options().GreyDrives, (TLines{"C:\\", "F:\\"}));
}

TEST_F(ScanDriverTest, AnUpdateScanSavesRootsAndCutsOnlyWhenItDroppedSome)
{
  PutMp3("C:\\Music\\a.mp3", "A");
  Set(TMusicOption::Roots, {"C:\\Music\\"});
  Set(TMusicOption::Cuts, {"C:\\Music\\Big\\"});
  Set(TMusicOption::GreyDrives, {"C:\\"});
  const fs::path settings = Host(SettingsFileName());
  const auto written = fs::last_write_time(settings);
  Run(&TSearchEngineWrapper::StartUpdateScan);
  EXPECT_EQ(fs::last_write_time(settings), written) << "nothing changed, nothing written";

  // Entries on drives never scanned in full go.
  Set(TMusicOption::Roots, {"C:\\Music\\", "Q:\\Old\\"});
  Set(TMusicOption::Cuts, {"C:\\Music\\Big\\", "Q:\\Old\\Cut\\"});
  Run(&TSearchEngineWrapper::StartUpdateScan);
  EXPECT_EQ(Get(TMusicOption::Roots), TLines{"C:\\Music\\"});
  EXPECT_EQ(Get(TMusicOption::Cuts), TLines{"C:\\Music\\Big\\"});
  EXPECT_EQ(Log.UpdateCount, 2);
}

TEST_F(ScanDriverTest, AnUpdateScanAddsNewAlbumsBesideKnownOnesAndKeepsTheStoredRoots)
{
  PutMp3("C:\\Music\\A\\Album1\\1.mp3", "One");
  PutMp3("C:\\Music\\B\\Album2\\2.mp3", "Two");
  Set(TMusicOption::Roots, {"C:\\Music\\A\\Album1\\", "C:\\Music\\B\\Album2\\"});
  Set(TMusicOption::Cuts, {"C:\\Music\\A\\Album1\\Scans\\"});
  Set(TMusicOption::GreyDrives, {"C:\\"});
  const TOptions stored = Options();
  ScanAndMerge(&TSearchEngineWrapper::StartUpdateScan);
  ASSERT_EQ(Records().size(), 2U);

  PutMp3("C:\\Music\\New Artist\\New Album\\n.mp3", "New");
  PutMp3("C:\\Music\\C\\D\\E\\Deep\\d.mp3", "Deep");
  PutMp3("C:\\Top\\t.mp3", "Top");  // a new folder directly below the drive's root
  PutMp3("C:\\t.mp3", "Beside");
  PutMp3("C:\\Music\\A\\Album1\\Scans\\s.mp3", "Cut");
  for (int i = 0; i < 8; ++i) {
    PutOther("C:\\Music\\Docs\\note" + std::to_string(i) + ".txt");
  }
  ScanAndMerge(&TSearchEngineWrapper::StartUpdateScan);
  std::vector<TRecord> records = Records();
  TLines paths;
  for (const TRecord& record : records) {
    paths.push_back(record.Path);
  }
  EXPECT_EQ(paths, (TLines{"C:\\Music\\A\\Album1\\1.mp3", "C:\\Music\\B\\Album2\\2.mp3",
                           "C:\\Music\\C\\D\\E\\Deep\\d.mp3", "C:\\Music\\New Artist\\New Album\\n.mp3"}));
  EXPECT_EQ(Wrapper.LastCounts().FilesProcessed, 2);
  EXPECT_EQ(Options(), stored);

  // Found again, the new album is a known file like any other: not read, not added twice.
  ScanAndMerge(&TSearchEngineWrapper::StartUpdateScan);
  EXPECT_EQ(Records(), records);
  EXPECT_EQ(Wrapper.LastCounts().FilesProcessed, 0);

  // And it goes when its folder goes.
  fs::remove_all(Host("C:\\Music\\New Artist\\"));
  ScanAndMerge(&TSearchEngineWrapper::StartUpdateScan);
  records.erase(records.begin() + 3);
  EXPECT_EQ(Records(), records);
  EXPECT_EQ(Options(), stored);
}

TEST_F(ScanDriverTest, MusicInARootBelowACutIsKnownOnceThroughUpdateScans)
{
  PutMp3("C:\\Data\\a.mp3", "A");
  PutMp3("C:\\Data\\Big\\Sub\\Album\\b.mp3", "B");
  PutMp3("C:\\Data\\Big\\o.mp3", "In the cut");
  Set(TMusicOption::Roots, {"C:\\Data\\", "C:\\Data\\Big\\Sub\\Album\\"});
  Set(TMusicOption::Cuts, {"C:\\Data\\Big\\"});
  Set(TMusicOption::GreyDrives, {"C:\\"});
  ScanAndMerge(&TSearchEngineWrapper::StartUpdateScan);
  const std::vector<TRecord> first = Records();
  ASSERT_EQ(first.size(), 2U);

  ScanAndMerge(&TSearchEngineWrapper::StartUpdateScan);
  EXPECT_EQ(Records(), first);
  EXPECT_EQ(Wrapper.LastCounts().FilesProcessed, 0);

  // A new album beside the root below the cut is found as well.
  PutMp3("C:\\Data\\Big\\Sub\\New\\c.mp3", "C");
  ScanAndMerge(&TSearchEngineWrapper::StartUpdateScan);
  TLines paths;
  for (const TRecord& record : Records()) {
    paths.push_back(record.Path);
  }
  EXPECT_EQ(paths, (TLines{"C:\\Data\\Big\\Sub\\Album\\b.mp3", "C:\\Data\\Big\\Sub\\New\\c.mp3",
                           "C:\\Data\\a.mp3"}));
}

TEST_F(ScanDriverTest, ADroppedShareStaysARootThroughTheNextUpdateScan)
{
  PutMp3("N:\\Folk\\song.mp3", "Folk");
  const std::string share = "\\\\server\\music\\";
  TStringList folders;
  folders.Add(share + "Folk\\");
  ASSERT_TRUE(Wrapper.DropScan(nullptr, &folders, false));
  EXPECT_EQ(Options().GreyDrives, TLines{share});
  EXPECT_EQ(Options().Roots, TLines{share + "Folk\\"});
  EXPECT_EQ(Wrapper.GetFoundFiles()->size(), 0U) << "kept only for an import";

  Run(&TSearchEngineWrapper::StartUpdateScan);
  EXPECT_EQ(Options().Roots, TLines{share + "Folk\\"});
}

TEST_F(ScanDriverTest, ADropScanMergesOnlyWhatWasDropped)
{
  PutMp3("C:\\Drop\\new.mp3", "New");
  PutMp3("C:\\Drop\\Sub\\deep.mp3", "Deep");
  PutMp3("C:\\Single\\one.mp3", "One");
  PutMp3("C:\\Single\\two.mp3", "Two");
  AddRecord("C:\\Drop\\gone.mp3");
  const std::int32_t deep = AddRecord("C:\\Drop\\Sub\\deep.mp3");
  const std::int32_t other = AddRecord("C:\\Other\\x.mp3", true);
  const std::int32_t two = AddRecord("C:\\Single\\two.mp3");
  Set(TMusicOption::GreyDrives, {"F:\\"});
  TStringList files;
  files.Add("C:\\Single\\one.mp3");
  TStringList folders;
  folders.Add("C:\\Drop\\");

  Wrapper.SetKnownFiles(AllKnown());
  ASSERT_TRUE(Wrapper.DropScanImportNow(&files, &folders));
  EXPECT_EQ(Log.DropCount, 1);
  EXPECT_FALSE(Wrapper.Busy());
  ASSERT_TRUE(Library().ApplyScanResults(Wrapper.GetKnownFiles(), *Wrapper.GetFoundFiles()));

  const std::vector<TRecord> records = Records();
  TLines paths;
  for (const TRecord& record : records) {
    paths.push_back(record.Path);
  }
  ASSERT_EQ(paths, (TLines{"C:\\Drop\\Sub\\deep.mp3", "C:\\Drop\\new.mp3", "C:\\Other\\x.mp3",
                           "C:\\Single\\one.mp3", "C:\\Single\\two.mp3"}));
  EXPECT_EQ(records[0], (TRecord{deep, "C:\\Drop\\Sub\\deep.mp3", false}));
  EXPECT_EQ(records[2], (TRecord{other, "C:\\Other\\x.mp3", true}));
  EXPECT_EQ(records[4], (TRecord{two, "C:\\Single\\two.mp3", false}));
  EXPECT_EQ(Options().GreyDrives, (TLines{"C:\\", "F:\\"}));
}

TEST_F(ScanDriverTest, ACancelledDropScanSavesItsPlacesButNothingToMerge)
{
  PutMp3("C:\\Drop\\a.mp3", "A");
  PutMp3("C:\\Drop\\b.mp3", "B");
  AddRecord("C:\\Drop\\a.mp3");
  // The scan is cancelled while it reads its first file.
  PausePlatformCalls([this] {
    TSearchEngineThread* thread = Wrapper.Thread();
    if (GetCurrentThreadId() != TThread::MainThreadID() && thread != nullptr && thread->FilesProcessed >= 1) {
      thread->Cancel();
    }
  });
  TStringList folders;
  folders.Add("C:\\Drop\\");
  Wrapper.SetKnownFiles(AllKnown());
  ASSERT_TRUE(Wrapper.DropScanImportNow(nullptr, &folders));
  PausePlatformCalls(nullptr);
  EXPECT_EQ(Log.DropCount, 0);
  EXPECT_TRUE(Wrapper.GetFoundFiles()->empty());
  EXPECT_TRUE(Wrapper.GetKnownFiles().empty());
  EXPECT_EQ(Options().Roots, TLines{"C:\\Drop\\"});
  EXPECT_EQ(Options().GreyDrives, TLines{"C:\\"});
}

TEST_F(ScanDriverTest, ALockedChangedFileKeepsItsRecordAndAnUnreadableNewFileSkipsNoOther)
{
  PutMp3("C:\\Music\\a.mp3", "Old");
  Set(TMusicOption::Roots, {"C:\\Music\\"});
  Set(TMusicOption::GreyDrives, {"C:\\"});
  ScanAndMerge(&TSearchEngineWrapper::StartUpdateScan);
  const std::vector<TRecord> before = Records();
  ASSERT_EQ(before.size(), 1U);
  PutMp3("C:\\Music\\a.mp3", "New title");
  fs::last_write_time(Host("C:\\Music\\a.mp3"),
                      fs::last_write_time(Host("C:\\Music\\a.mp3")) + std::chrono::hours(1));
  PutMp3("C:\\Music\\b.mp3", "B");
  PutMp3("C:\\Music\\c.mp3", "C");
  const auto lock = [](const char* path) {
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  };
  const HANDLE lockedA = lock("C:\\Music\\a.mp3");
  const HANDLE lockedB = lock("C:\\Music\\b.mp3");
  ASSERT_NE(lockedA, INVALID_HANDLE_VALUE);
  ASSERT_NE(lockedB, INVALID_HANDLE_VALUE);

  ScanAndMerge(&TSearchEngineWrapper::StartUpdateScan);
  std::vector<TRecord> records = Records();
  ASSERT_EQ(records.size(), 2U);
  EXPECT_EQ(records[0], before[0]);
  EXPECT_EQ(TitleOf(records[0].FileId), "Old");
  EXPECT_EQ(records[1].Path, "C:\\Music\\c.mp3");
  EXPECT_EQ(TitleOf(records[1].FileId), "C");

  CloseHandle(lockedA);
  CloseHandle(lockedB);
  ScanAndMerge(&TSearchEngineWrapper::StartUpdateScan);
  records = Records();
  ASSERT_EQ(records.size(), 3U);
  EXPECT_EQ(records[0].FileId, before[0].FileId) << "the same music, read again";
  EXPECT_EQ(TitleOf(records[0].FileId), "New title");
  EXPECT_EQ(TitleOf(records[1].FileId), "B");
}

TEST_F(ScanDriverTest, StopInEveryStageSavesNothingAndReportsTheStop)
{
  for (int i = 0; i < 150; ++i) {
    PutMp3("F:\\Music\\Folder" + std::to_string(i) + "\\song.mp3", "Song");
  }
  enum class TStage { Step1, Step2, AfterEnd };
  for (const TStage stage : {TStage::Step1, TStage::Step2, TStage::AfterEnd}) {
    SCOPED_TRACE(static_cast<int>(stage));
    Set(TMusicOption::WhiteDrives, {"F:\\"});
    Set(TMusicOption::Roots, {"C:\\Before\\"});
    Set(TMusicOption::Cuts, {"C:\\Before\\Cut\\"});
    Set(TMusicOption::GreyDrives, {"C:\\"});
    const TOptions stored = Options();
    TScanLog log;
    log.Attach(Wrapper);
    std::atomic<bool> stopping{false};
    std::atomic<bool> held{false};
    // Step 2 holds its first read until the stop (or a time-out, should the test fail), so
    // the stop lands inside the step.
    PausePlatformCalls([&] {
      TSearchEngineThread* thread = Wrapper.Thread();
      if (stage == TStage::Step2 && GetCurrentThreadId() != TThread::MainThreadID() && thread != nullptr &&
          thread->FilesProcessed >= 1) {
        held = true;
        const DWORD start = GetTickCount();
        while (!stopping && GetTickCount() - start < 20000) {
          Sleep(1);
        }
      }
    });
    const auto stop = [&] {
      stopping = true;
      Wrapper.Stop();
    };
    if (stage == TStage::Step1) {
      log.OnStep1 = stop;
    }
    Wrapper.SetKnownFiles({TKnownFile{1, "F:\\Music\\x.mp3", {}}});
    ASSERT_TRUE(Wrapper.StartFullScan());
    if (stage == TStage::Step2) {
      ASSERT_TRUE(PumpUntil([&] { return held.load(); }));
      stop();
    }
    if (stage == TStage::AfterEnd) {
      while (Wrapper.IsRunning()) {
        Sleep(1);
      }
      EXPECT_FALSE(Wrapper.StartUpdateScan()) << "a finished thread not yet reaped";
      stop();
    }
    ASSERT_TRUE(PumpUntil([&] { return log.StoppedCount > 0; }));
    // Whatever the thread posted before the stop is handled and ignored.
    const DWORD start = GetTickCount();
    PumpUntil([&] { return GetTickCount() - start > 100; });
    PausePlatformCalls(nullptr);
    EXPECT_EQ(log.StoppedCount, 1);
    EXPECT_EQ(log.FullCount, 0);
    EXPECT_FALSE(Wrapper.Busy());
    EXPECT_EQ(Wrapper.Thread(), nullptr);
    EXPECT_TRUE(Wrapper.GetFoundFiles()->empty());
    EXPECT_TRUE(Wrapper.GetKnownFiles().empty());
    if (stage == TStage::AfterEnd) {
      EXPECT_EQ(Options().GreyDrives, (TLines{"C:\\", "F:\\"})) << "the scan had saved already";
    } else {
      EXPECT_EQ(Options(), stored);
    }
    EXPECT_EQ(Wrapper.ThreadCount(), 0);
  }
}

TEST_F(ScanDriverTest, WhileBusyTheListsAreTheScansAndTheStartsAreRefused)
{
  PutMp3("C:\\Music\\a.mp3", "A");
  Set(TMusicOption::Roots, {"C:\\Music\\"});
  Set(TMusicOption::GreyDrives, {"C:\\"});
  SetPause(200);
  Wrapper.SetKnownFiles({TKnownFile{1, "C:\\Music\\gone.mp3", {}}});
  ASSERT_TRUE(Wrapper.StartUpdateScan());
  EXPECT_TRUE(Wrapper.Busy());
  EXPECT_TRUE(Wrapper.IsRunning());
  EXPECT_EQ(Wrapper.GetFoundFiles(), nullptr);
  EXPECT_TRUE(Wrapper.GetKnownFiles().empty());
  Wrapper.SetKnownFiles({});
  Wrapper.ClearFoundFiles();
  EXPECT_FALSE(Wrapper.StartFullScan());
  EXPECT_FALSE(Wrapper.StartUpdateScan());
  EXPECT_FALSE(Wrapper.DropScan(nullptr, nullptr, true));
  ASSERT_TRUE(PumpUntil([&] { return !Wrapper.Busy(); }));
  EXPECT_EQ(Log.UpdateCount, 1);
  ASSERT_EQ(Wrapper.GetKnownFiles().size(), 1U) << "the known files set before the start are the scan's";
  EXPECT_EQ(Wrapper.GetFoundFiles()->size(), 1U);
  Wrapper.ClearFoundFiles();
  EXPECT_TRUE(Wrapper.GetFoundFiles()->empty());
  Wrapper.Stop();
  EXPECT_EQ(Log.StoppedCount, 0) << "nothing to stop";
}

TEST_F(ScanDriverTest, AFailingFileOrRegistryCallAnywhereStillEndsTheScan)
{
  PutMp3("F:\\Music\\a.mp3", "A");
  PutMp3("F:\\Music\\Sub\\b.mp3", "B");
  // Every seventh call is enough to reach each stage of a scan of some 450 calls.
  std::uint32_t n = 1;
  for (; n < 2000; n += 7) {
    SCOPED_TRACE(n);
    Set(TMusicOption::WhiteDrives, {"F:\\"});
    Set(TMusicOption::GreyDrives, {});
    TScanLog log;
    log.Attach(Wrapper);
    Wrapper.SetKnownFiles({TKnownFile{1, "F:\\Music\\gone.mp3", {}}});
    FailNthPlatformCall(n);
    ASSERT_TRUE(Wrapper.StartFullScan());
    ASSERT_TRUE(PumpUntil([&] { return !Wrapper.Busy(); }));
    const std::uint32_t made = CountedPlatformCalls();
    FailNthPlatformCall(0);
    EXPECT_EQ(log.FullCount + log.StoppedCount, 1);
    if (log.StoppedCount == 1) {
      EXPECT_TRUE(Wrapper.GetFoundFiles()->empty());
      EXPECT_TRUE(Wrapper.GetKnownFiles().empty()) << "nothing of a failed scan is merged";
    }
    if (made < n) {
      EXPECT_EQ(log.FullCount, 1);
      EXPECT_EQ(Wrapper.GetFoundFiles()->size(), 2U);
      break;
    }
  }
  EXPECT_LT(n, 2000U);
}

// Everything a scan leaves of a found file, as one text.
std::string ItemText(const TMusicFileItem& item)
{
  std::string text = item.FileName + '|' + item.Title + '|' + item.Artist + '|' + item.Album + '|' +
                     item.Comment + '|' + item.Genre;
  for (const std::uint64_t number :
       {static_cast<std::uint64_t>(item.Year), static_cast<std::uint64_t>(item.Track),
        static_cast<std::uint64_t>(item.Bitrate), static_cast<std::uint64_t>(item.Duration), item.Size,
        static_cast<std::uint64_t>(item.LastWriteTime.dwLowDateTime),
        static_cast<std::uint64_t>(item.LastWriteTime.dwHighDateTime),
        static_cast<std::uint64_t>(item.CreationTime.dwLowDateTime)}) {
    text += '|' + std::to_string(number);
  }
  for (const auto b : item.Checksum) {
    text += std::to_string(static_cast<int>(b)) + ',';
  }
  return text;
}

// The second reader changes nothing the library sees: the same files, the same records, in the
// same order, the same counts, with unchanged known files skipped between the reads and an
// unreadable new file and an unreadable changed one among them.
TEST_F(ScanDriverTest, ReadingTagsOnASecondThreadFindsWhatOneThreadFinds)
{
  const auto song = [](int i) {
    return "F:\\Music\\Album " + std::to_string(i % 7) + "\\" + std::to_string(i) + ".mp3";
  };
  for (int i = 0; i < 40; ++i) {
    PutMp3(song(i), "Song " + std::to_string(i));
  }
  Set(TMusicOption::WhiteDrives, {"F:\\"});
  Wrapper.ReadAhead = false;
  ScanAndMerge(&TSearchEngineWrapper::StartFullScan);
  ASSERT_EQ(Records().size(), 40U);
  for (int i = 0; i < 40; i += 3) {
    PutMp3(song(i), "Retagged " + std::to_string(i));
    fs::last_write_time(Host(song(i)), fs::last_write_time(Host(song(i))) + std::chrono::hours(1));
  }
  for (int i = 40; i < 70; ++i) {
    PutMp3(song(i), "New " + std::to_string(i));
  }
  const auto lock = [](const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  };
  const HANDLE lockedChanged = lock(song(3));
  const HANDLE lockedNew = lock(song(41));
  ASSERT_NE(lockedChanged, INVALID_HANDLE_VALUE);
  ASSERT_NE(lockedNew, INVALID_HANDLE_VALUE);

  std::vector<std::string> found[2];
  TScanCounts counts[2];
  for (const bool readAhead : {false, true}) {
    SCOPED_TRACE(readAhead);
    Wrapper.ReadAhead = readAhead;
    Wrapper.SetKnownFiles(AllKnown());
    Run(&TSearchEngineWrapper::StartFullScan);
    for (const TMusicFileItem& item : *Wrapper.GetFoundFiles()) {
      found[readAhead].push_back(ItemText(item));
    }
    counts[readAhead] = Wrapper.LastCounts();
    Wrapper.ClearFoundFiles();
    Wrapper.SetKnownFiles({});
  }
  CloseHandle(lockedChanged);
  CloseHandle(lockedNew);
  EXPECT_EQ(counts[0].FilesProcessed, 14 + 30) << "the retagged and the new files";
  EXPECT_EQ(counts[0].FilesUnreadable, 2);
  EXPECT_EQ(found[0].size(), 69U) << "the unreadable new file is left out";
  EXPECT_EQ(found[1], found[0]);
  EXPECT_EQ(counts[1].FilesFound, counts[0].FilesFound);
  EXPECT_EQ(counts[1].FilesProcessed, counts[0].FilesProcessed);
  EXPECT_EQ(counts[1].FilesUnreadable, counts[0].FilesUnreadable);
}

// A stop while both threads read ends the scan at once, with nothing to merge, and leaves no
// thread behind.
TEST_F(ScanDriverTest, AStopWhileTwoThreadsReadEndsBoth)
{
  for (int i = 0; i < 200; ++i) {
    PutMp3("F:\\Music\\Album " + std::to_string(i / 10) + "\\" + std::to_string(i) + ".mp3", "Song");
  }
  Set(TMusicOption::WhiteDrives, {"F:\\"});
  SetPause(20);  // 200 reads of 20 ms on two threads: two seconds, far more than a stop takes
  Wrapper.SetKnownFiles({});
  ASSERT_TRUE(Wrapper.StartFullScan());
  ASSERT_TRUE(PumpUntil([&] {
    const TSearchEngineThread* thread = Wrapper.Thread();
    return thread != nullptr && thread->FilesProcessed >= 5;
  }));
  const DWORD start = GetTickCount();
  Wrapper.Stop();
  EXPECT_LT(GetTickCount() - start, 500U);
  EXPECT_FALSE(Wrapper.Busy());
  EXPECT_TRUE(Wrapper.GetFoundFiles()->empty());
  EXPECT_EQ(Wrapper.ThreadCount(), 0);
}

TEST_F(ScanDriverTest, TheScanPauseComesFromTheRegistry)
{
  const struct {
    const char* Value;  // nullptr: no value
    DWORD Pause;
  } cases[] = {
      {nullptr, 2}, {"0", 0}, {"7", 7}, {"-5", 0}, {"60000", 60000}, {"60001", 60000}, {"text", 2},
  };
  for (const auto& c : cases) {
    TRegistry registry;
    registry.OpenKey(std::string(PlayerRegistryKey), true);
    registry.DeleteValue(std::string(ScanPauseValueName));
    if (c.Value != nullptr) {
      if (std::string(c.Value) == "text") {
        registry.WriteString(std::string(ScanPauseValueName), c.Value);
      } else {
        registry.WriteInteger(std::string(ScanPauseValueName), std::stoi(c.Value));
      }
    }
    EXPECT_EQ(ReadScanPause(), c.Pause) << (c.Value ? c.Value : "none");
  }
}

}  // namespace
