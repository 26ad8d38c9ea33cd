#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Music/form/MusicDisplay.h"
#include "Music/form/MusicStart.h"
#include "OxaIPC/OxaIpc.h"
#include "library/MusicDatabase.h"
#include "platform/files/Paths.h"
#include "platform/windows/Messages.h"
#include "platform/windows/Windows.h"
#include "settings/OxaMusicPlayerTypes.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Mp3Files.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TraceCapture.h"

namespace fs = std::filesystem;

namespace {

TDbId View(std::int32_t id, std::string caption)
{
  TDbId view;
  view.ViewId = id;
  view.Caption = std::move(caption);
  return view;
}

TEST(TMusicStartRules, ViewSlotsTakeTheFirstViewWhoseCaptionHoldsTheirWord)
{
  TDbIdList views;
  views.Add(View(1, "Folders (3)"));
  views.Add(View(2, "ALBUMS"));
  views.Add(View(3, "Artists"));
  views.Add(View(8, "Album artists"));  // a later match is not taken
  views.Add(View(5, "Titles"));
  views.Add(View(7, "Playlists"));
  const TViewSlots slots = FindViewSlots(views);
  const std::int32_t expected[ViewSlotCount] = {-1, 7, 2, -1, 3, 1, 5};
  for (int slot = 0; slot < ViewSlotCount; ++slot) {
    EXPECT_EQ(slots[static_cast<std::size_t>(slot)].ViewId, expected[slot]) << slot;
  }
  EXPECT_EQ(FilledSlots(slots), (std::vector<int>{1, 2, 4, 5, 6})) << "the genre slot has no view";

  const struct {
    std::int32_t View;
    int Slot;
  } items[] = {{7, 1}, {2, 2}, {3, 4}, {1, 5}, {5, 6}, {4, FoldersSlot}, {6, FoldersSlot}, {-1, FoldersSlot}};
  for (const auto& entry : items) {
    TDbId item = View(entry.View, "x");
    item.GroupId = 1;
    item.FileId = 1;
    EXPECT_EQ(SlotOfItem(slots, item), entry.Slot) << entry.View;
  }
}

TEST(TMusicStartRules, TheTriangleKeepsItsPlaceOverAnyNumberOfStarts)
{
  const struct {
    int Stored;
    int Height;
    int WindowTop;
  } cases[] = {{300, 26, 287}, {300, 27, 287}, {13, 26, 0}, {0, 1, 0}, {600, 40, 580}};
  for (const auto& entry : cases) {
    EXPECT_EQ(TriangleWindowTop(entry.Stored, entry.Height), entry.WindowTop) << entry.Stored;
    int stored = entry.Stored;
    for (int start = 0; start < 10; ++start) {
      stored = TriangleStoredTop(TriangleWindowTop(stored, entry.Height), entry.Height);
    }
    EXPECT_EQ(stored, entry.Stored) << entry.Height;
  }
}

TEST(TMusicStartRules, TheBrowserFillsTheMonitorWithItsAspectKept)
{
  const struct {
    SIZE Screen;
    RECT Shown;
  } cases[] = {
      {{800, 600}, {0, 0, 800, 600}},       {{1024, 768}, {0, 0, 1024, 768}},
      {{1920, 1080}, {240, 0, 1680, 1080}}, {{1280, 1024}, {0, 32, 1280, 992}},
      {{801, 600}, {0, 0, 800, 600}},       {{800, 601}, {0, 0, 800, 600}},
      {{640, 480}, {0, 0, 640, 480}},       {{799, 600}, {0, 0, 799, 599}},
  };
  for (const auto& entry : cases) {
    const RECT shown = BrowserPresentation(entry.Screen);
    EXPECT_EQ(shown.left, entry.Shown.left) << entry.Screen.cx << "x" << entry.Screen.cy;
    EXPECT_EQ(shown.top, entry.Shown.top) << entry.Screen.cx << "x" << entry.Screen.cy;
    EXPECT_EQ(shown.right, entry.Shown.right) << entry.Screen.cx << "x" << entry.Screen.cy;
    EXPECT_EQ(shown.bottom, entry.Shown.bottom) << entry.Screen.cx << "x" << entry.Screen.cy;
  }
}

TEST(TMusicStartRules, OnlyExistingFilesAreStartFiles)
{
  const TTempMachine machine;
  const TTempFolder unused;
  const fs::path music = machine.Home() / "Music";
  fs::create_directories(music);
  std::ofstream(music / "a.mp3") << "a";
  std::ofstream(music / "b.mp3") << "b";
  const std::string windowsA = WindowsPathOf((music / "a.mp3").string());
  ASSERT_FALSE(windowsA.empty());
  const std::vector<std::string> files = StartFiles(
      {"DEBUG", (music / "b.mp3").string(), windowsA, (music / "missing.mp3").string(), music.string()});
  ASSERT_EQ(files.size(), 2U);
  EXPECT_EQ(files[0], WindowsPathOf((music / "b.mp3").string()));
  EXPECT_EQ(files[1], windowsA);
}

// The program, started on a throw-away machine, its trace lines kept.
class TMusicProgramTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Files = std::make_unique<TMp3Files>(1500); }
  static void TearDownTestSuite() { Files.reset(); }
  void SetUp() override
  {
    ResetSettingsFileName();
    setenv("OXA_AUDIO", "null", 1);
  }
  void TearDown() override
  {
    unsetenv("OXA_AUDIO");
    ResetSettingsFileName();
  }

  // Starts the program and waits until its message loop runs.
  static std::unique_ptr<TChildProcess> Start(const std::vector<std::string>& arguments)
  {
    auto program = std::make_unique<TChildProcess>(OXA_MUSIC_PROGRAM, arguments);
    EXPECT_EQ(WaitForProcessInputIdle(static_cast<DWORD>(program->Pid()), 30000), 0U);
    return program;
  }
  static int Close(TChildProcess& program)
  {
    const HWND window = FindWindowA("TMusicForm", "OxaNetMusic");
    EXPECT_NE(window, nullptr);
    PostMessageA(window, WM_CLOSE, 0, 0);
    return program.Wait(std::chrono::seconds(30));
  }
  // The main window's trace lines, without their time stamps.
  static std::vector<std::string> Lines(const TTraceCapture& trace)
  {
    std::vector<std::string> lines;
    std::istringstream log(trace.Log());
    for (std::string line; std::getline(log, line);) {
      const auto at = line.find("TMusicForm.");
      if (at != std::string::npos) {
        lines.push_back(line.substr(at + 11));
      }
    }
    return lines;
  }
  std::vector<std::string> Lines() const { return Lines(FTrace); }
  static bool Traced(const TTraceCapture& trace, const std::string& text)
  {
    const auto lines = Lines(trace);
    return std::find(lines.begin(), lines.end(), text) != lines.end();
  }
  fs::path WriteMp3(const std::string& name, const std::string& title) const
  {
    testmedia::TId3v2Fields tags;
    tags.Title = title;
    tags.Artist = "Tester";
    tags.Album = "Samples";
    const fs::path file = FMachine.Home() / "Music" / name;
    Files->Write(file, tags);
    return file;
  }

  bool Traced(const std::string& text) const { return Traced(FTrace, text); }

  static inline std::unique_ptr<TMp3Files> Files;
  TTempMachine FMachine;
  TTraceCapture FTrace;
};

TEST_F(TMusicProgramTest, PartsAreBuiltInOrderAndAnEmptyLibraryOpensTheScanPanel)
{
  auto program = Start({});
  EXPECT_EQ(Close(*program), 0);
  const std::vector<std::string> expected = {
      "Create: HackForm",       "Create: Triangle",     "Create: Assets",        "Create: Images",
      "Create: Views",          "Create: Lists",        "Create: Bus",           "Create: Player",
      "Create: Library",        "Create: Running",      "Create: PlaceTriangle", "Create: ViewSlots",
      "Create: Hooks",          "Create: Show",         "Create: StartItem",     "Create: StartView 5",
      "Create: Node",           "Create: EmptyLibrary", "SetDisplayMode: 2",     "ToggleScanPanel: 2",
      "Create: ImportRecorded", "SetDisplayMode: 0",
  };
  EXPECT_EQ(Lines(), expected);
}

TEST_F(TMusicProgramTest, SwitchesChooseTheStartViewAndTheModeOfAnEmptyLibrary)
{
  const struct {
    std::vector<std::string> Arguments;
    const char* StartView;
    bool ModeTwo;
  } cases[] = {
      {{}, "Create: StartView 5", true},
      {{"STARTFROMML"}, "Create: StartView 1", true},
      {{"afterinstall"}, "Create: StartView 5", false},
  };
  for (const auto& entry : cases) {
    const TTraceCapture trace;
    auto program = Start(entry.Arguments);
    EXPECT_EQ(Close(*program), 0);
    EXPECT_TRUE(Traced(trace, entry.StartView)) << entry.Arguments.size();
    EXPECT_EQ(Traced(trace, "SetDisplayMode: 2"), entry.ModeTwo) << entry.Arguments.size();
    EXPECT_TRUE(Traced(trace, "ToggleScanPanel: 2"));
  }
}

TEST_F(TMusicProgramTest, TriangleTopStaysOverTenStartsAndCloses)
{
  WriteTriangleSettings(false, 300, 13, 26);
  for (int cycle = 0; cycle < 10; ++cycle) {
    auto program = Start({});
    ASSERT_EQ(Close(*program), 0) << cycle;
  }
  const TTriangleSettings settings = ReadTriangleSettings();
  EXPECT_EQ(settings.Top, 300);
  EXPECT_EQ(settings.Height, 26);
  EXPECT_EQ(settings.Width, 13);
  EXPECT_FALSE(settings.AutoHide);
}

TEST_F(TMusicProgramTest, TheLastExistingFileArgumentIsTheStartItem)
{
  const fs::path a = WriteMp3("a.mp3", "Alpha");
  const fs::path b = WriteMp3("b.mp3", "Beta");
  auto program = Start({a.string(), b.string(), (a.parent_path() / "missing.mp3").string()});
  EXPECT_EQ(Close(*program), 0);
  TStringList lastPlayed;
  ReadOption(TMusicOption::LastPlayed, lastPlayed);
  ASSERT_EQ(lastPlayed.Count(), 5);
  EXPECT_EQ(lastPlayed[3], "Beta");
  EXPECT_NE(lastPlayed[2], "-1");
}

TEST_F(TMusicProgramTest, ClosingWhileATrackPlaysStoresItAndTheClosedStamp)
{
  const fs::path b = WriteMp3("b.mp3", "Beta");
  TStringList roots;
  roots.Add(WindowsPathOf((FMachine.Home() / "Music").string()) + "\\");
  WriteOption(TMusicOption::Roots, roots);
  WriteRandom(true);
  auto program = Start({b.string()});
  EXPECT_EQ(Close(*program), 0) << "clean exit, nothing leaked";
  EXPECT_TRUE(Traced("Create: UpdateScan"));
  TStringList lastPlayed;
  ReadOption(TMusicOption::LastPlayed, lastPlayed);
  ASSERT_EQ(lastPlayed.Count(), 5);
  EXPECT_EQ(lastPlayed[3], "Beta");
  std::string host;
  ASSERT_TRUE(HostPathOf(GetDatabasePath(), host));
  std::ifstream stamp(fs::path(host) / std::string(MusicStampFile));
  std::string text((std::istreambuf_iterator<char>(stamp)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, MusicStampClosed);
}

TEST_F(TMusicProgramTest, AWrongStampIsRebuiltWithoutAWord)
{
  auto first = Start({});
  ASSERT_EQ(Close(*first), 0);
  std::string host;
  ASSERT_TRUE(HostPathOf(GetDatabasePath(), host));
  std::ofstream(fs::path(host) / std::string(MusicStampFile), std::ios::trunc) << "not a stamp";

  const fs::path errors = FMachine.Scratch() / "stderr.txt";
  fs::create_directories(FMachine.Scratch());
  auto second = std::make_unique<TChildProcess>(
      "/bin/sh", std::vector<std::string>{
                     "-c", std::string("exec '") + OXA_MUSIC_PROGRAM + "' 2>'" + errors.string() + "'"});
  ASSERT_EQ(WaitForProcessInputIdle(static_cast<DWORD>(second->Pid()), 30000), 0U) << "the loop runs";
  EXPECT_EQ(Close(*second), 0);
  std::ifstream said(errors);
  std::string text((std::istreambuf_iterator<char>(said)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.find("failed to create the media database"), std::string::npos) << text;
}

TEST_F(TMusicProgramTest, WithoutTheBusTheProgramEndsWithoutAWord)
{
  // The bus lock held here for the whole start: the program's bus cannot open.
  TOxaIpc holder(nullptr);
  holder.SetGroupName("VantelPC");
  ASSERT_TRUE(holder.Open(true));
  const fs::path errors = FMachine.Scratch() / "stderr.txt";
  fs::create_directories(FMachine.Scratch());
  TChildProcess program("/bin/sh",
                        {"-c", std::string("exec '") + OXA_MUSIC_PROGRAM + "' 2>'" + errors.string() + "'"});
  EXPECT_EQ(program.Wait(std::chrono::seconds(120)), 0) << "a clean end, nothing leaked";
  holder.Close();
  std::ifstream said(errors);
  std::string text((std::istreambuf_iterator<char>(said)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "") << "no message";
  EXPECT_TRUE(Traced("Create: Bus"));
  EXPECT_FALSE(Traced("Create: Player")) << "nothing after the bus";
  EXPECT_FALSE(Traced("Create: Running"));
}

}  // namespace
