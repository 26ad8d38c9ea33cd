// What the program publishes to the host while it plays, read from the bus as oxa-host reads it.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <regex>
#include <string>

#include "OxaIPC/CustomNode.h"
#include "OxaIPC/OxaIpc.h"
#include "OxaIPC/OxaIpcClient.h"
#include "platform/core/OxaAud.h"
#include "platform/core/Time.h"
#include "platform/windows/Input.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/DeclaredDrives.h"
#include "tests/support/ProgramRun.h"
#include "tools/make-test-media/TestMedia.h"

namespace {

// The published records as `oxa-host status` prints them.
struct TPublished {
  bool Read = false;
  int Position = -1;
  int MediaPosition = -1;
  int Activity = -1;
  std::string Formatted;
  int Visible = -1;
  int Flag = -1;
  int Mode = -1;
  std::string Text;
};

TPublished ReadPublished()
{
  TPublished published;
  published.Text = RunProgram(OXA_HOST_PROGRAM, {"status"}).Output;
  static const std::regex status(
      R"re(Status: Position (-?\d+); MediaPosition (-?\d+); Activity (-?\d+);.*Formatted "(.*)")re");
  static const std::regex gui(R"(GUI: Visible (-?\d+); Foreground -?\d+; Flag (-?\d+); Mode (-?\d+))");
  std::smatch match;
  if (std::regex_search(published.Text, match, status)) {
    published.Read = true;
    published.Position = std::stoi(match[1]);
    published.MediaPosition = std::stoi(match[2]);
    published.Activity = std::stoi(match[3]);
    published.Formatted = match[4];
  }
  if (std::regex_search(published.Text, match, gui)) {
    published.Visible = std::stoi(match[1]);
    published.Flag = std::stoi(match[2]);
    published.Mode = std::stoi(match[3]);
  }
  return published;
}

// Reads until the records satisfy wanted (at most about 20 s); the last reading either way.
TPublished WaitFor(const std::function<bool(const TPublished&)>& wanted)
{
  TPublished last;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  do {
    last = ReadPublished();
    if (last.Read && wanted(last)) {
      return last;
    }
    Sleep(100);
  } while (std::chrono::steady_clock::now() < until);
  ADD_FAILURE() << "the records say:\n" << last.Text;
  return last;
}

// Three tracks of one folder in the library; the null output plays them in real time.
class TMusicStatusBus : public testing::Test {
 protected:
  void SetUp() override
  {
    setenv("OXA_AUDIO", "null", 1);
    struct TTrack {
      const char* Title;
      int Milliseconds;
    };
    // The first is short: it ends while the test watches.
    const TTrack tracks[] = {{"Alpha", 4000}, {"Bravo", 60000}, {"Charlie", 60000}};
    const auto folder = Machine.DriveFolder('C') / "Music" / "Album";
    std::filesystem::create_directories(folder);
    for (int i = 0; i < 3; ++i) {
      testmedia::TMp3Recipe recipe;
      recipe.Audio.Milliseconds = tracks[i].Milliseconds;
      recipe.Id3v2 = testmedia::TId3v2Fields{tracks[i].Title,       "Band", "Record", "1999", "Rock",
                                             std::to_string(i + 1), ""};
      testmedia::WriteMp3(folder / (std::string(tracks[i].Title) + ".mp3"), recipe);
    }
    ASSERT_EQ(RunProgram(OXA_LIB_PROGRAM, {"db", "import", "C:\\Music"}).ExitCode, 0);
  }
  void TearDown() override { unsetenv("OXA_AUDIO"); }

  static void Key(const std::string& name)
  {
    const TProgramRun run = RunProgram(OXA_HOST_PROGRAM, {"key", name});
    EXPECT_EQ(run.ExitCode, 0) << run.Output;
  }

  TDeclaredMachine Machine;
};

TEST_F(TMusicStatusBus, TheStatusFollowsTheTrackItsPositionAndTheAudioState)
{
  TChildProcess program(OXA_MUSIC_PROGRAM, {});
  TOxaIpc ipc(nullptr);
  ipc.SetGroupName("VantelPC");
  ASSERT_TRUE(ipc.Open(false) && ipc.Exists(ipc.NameToId("VuDirAzuzo"), 30000));
  ASSERT_EQ(RunProgram(OXA_HOST_PROGRAM, {"open", "--call"}).ExitCode, 0);

  // Nothing chosen yet: no number, no time, no text.
  TPublished now = WaitFor([](const TPublished& p) { return p.Read; });
  EXPECT_EQ(now.Position, 0);
  EXPECT_EQ(now.MediaPosition, 0);
  EXPECT_EQ(now.Formatted, "");

  Key("StepUp");
  now = WaitFor([](const TPublished& p) { return p.Formatted == "Alpha"; });
  EXPECT_EQ(now.Position, 1);
  EXPECT_LE(now.MediaPosition, 2);
  // While it plays the seconds count up, and the audio state says so.
  now = WaitFor([](const TPublished& p) { return p.MediaPosition >= 2; });
  EXPECT_EQ(now.Formatted, "Alpha");
  EXPECT_EQ(now.Activity, OxaAudPlaying);

  // The end of the track: the next one is reported from its start.
  now = WaitFor([](const TPublished& p) { return p.Formatted == "Bravo"; });
  EXPECT_EQ(now.Position, 2);
  EXPECT_LE(now.MediaPosition, 1);
  now = WaitFor([](const TPublished& p) { return p.MediaPosition >= 1; });
  EXPECT_EQ(now.Formatted, "Bravo");

  // Paused (Space, as the host forwards it): the seconds stand still.
  TOxaIpcClient client(nullptr);
  client.SetClientName("KeyTester");
  client.SetIpc(&ipc);
  ASSERT_TRUE(client.Registered());
  const TNodeKey space{VK_SPACE, 0, 0, static_cast<std::int32_t>(GetTickCount()), 0};
  ASSERT_TRUE(client.Notify("VuDirAzuzo", "KeyDown", sizeof(space), &space));
  now = WaitFor([](const TPublished& p) { return p.Activity == OxaAudPaused; });
  const int held = now.MediaPosition;
  EXPECT_GE(held, 1);
  Sleep(1500);
  EXPECT_EQ(ReadPublished().MediaPosition, held);

  // Another track while paused: it plays from its start, its own number and text.
  Key("StepUp");
  now = WaitFor([](const TPublished& p) { return p.Formatted == "Charlie"; });
  EXPECT_EQ(now.Position, 3);
  EXPECT_LE(now.MediaPosition, 1);
  now = WaitFor([](const TPublished& p) { return p.Activity == OxaAudPlaying && p.MediaPosition >= 1; });
  EXPECT_EQ(now.Formatted, "Charlie");

  // Stopped: the time goes back to 0, the track stays the current one.
  Key("Stop");
  now = WaitFor([](const TPublished& p) { return p.Activity == OxaAudStopped; });
  EXPECT_EQ(now.MediaPosition, 0);
  EXPECT_EQ(now.Formatted, "Charlie");
  EXPECT_EQ(now.Position, 3);

  // After the last track the group starts over.
  Key("StepUp");
  now = WaitFor([](const TPublished& p) { return p.Formatted == "Alpha"; });
  EXPECT_EQ(now.Position, 1);
  client.SetIpc(nullptr);
}

TEST_F(TMusicStatusBus, TheGuiRecordFollowsTheListsAndTheScanPanel)
{
  TChildProcess program(OXA_MUSIC_PROGRAM, {});
  TOxaIpc ipc(nullptr);
  ipc.SetGroupName("VantelPC");
  ASSERT_TRUE(ipc.Open(false) && ipc.Exists(ipc.NameToId("VuDirAzuzo"), 30000));
  ASSERT_EQ(RunProgram(OXA_HOST_PROGRAM, {"open", "--call"}).ExitCode, 0);
  TPublished first = WaitFor([](const TPublished& p) { return p.Visible >= 0; });
  // A machine without drives to scan starts on the full scan panel: closed first.
  if (first.Mode == 2) {
    ASSERT_EQ(RunProgram(OXA_HOST_PROGRAM, {"scan", "0", "0"}).ExitCode, 0);
    first = WaitFor([](const TPublished& p) { return p.Mode == 0; });
  }
  ASSERT_EQ(first.Mode, 0);
  // Menu shows the lists (mode 1) and hides them again; the record follows each press.
  const int shown = first.Flag;
  Key("Menu");
  TPublished now = WaitFor([&](const TPublished& p) { return p.Flag == 1 - shown; });
  EXPECT_EQ(now.Visible, 1 - shown);
  Key("Menu");
  now = WaitFor([&](const TPublished& p) { return p.Flag == shown; });
  EXPECT_EQ(now.Visible, shown);

  // Mode 1 hides itself after a few idle seconds, sooner than a slow machine gets through the
  // panels below. A text the library does not know brings the browser forward whole (mode 2),
  // which stays.
  if (now.Flag != 0) {
    Key("Menu");
    now = WaitFor([](const TPublished& p) { return p.Flag == 0; });
  }
  ASSERT_EQ(RunProgram(OXA_HOST_PROGRAM, {"playfile", "test"}).ExitCode, 0);
  now = WaitFor([](const TPublished& p) { return p.Flag == 1; });
  EXPECT_EQ(now.Visible, 1) << "the lists show";

  struct TCase {
    const char* Command;
    int Mode;  // the scan panel's presentation afterwards
  };
  const TCase cases[] = {
      {"scan", 2},  // the full panel opens
      {"scan", 0},  // and closes
      {"info", 1},  // the panel beside the lists
      {"info", 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Command);
    ASSERT_EQ(RunProgram(OXA_HOST_PROGRAM, {c.Command, "0", "0"}).ExitCode, 0);
    now = WaitFor([&](const TPublished& p) { return p.Mode == c.Mode; });
    EXPECT_EQ(now.Visible, 1);
  }
  // The lists hidden: nothing of the program shows.
  Key("Menu");
  now = WaitFor([](const TPublished& p) { return p.Flag == 0; });
  EXPECT_EQ(now.Mode, 0);
  EXPECT_EQ(now.Visible, 0);
  // Only the scan panel: visible through its presentation alone.
  ASSERT_EQ(RunProgram(OXA_HOST_PROGRAM, {"scan", "0", "0"}).ExitCode, 0);
  now = WaitFor([](const TPublished& p) { return p.Mode == 2; });
  EXPECT_EQ(now.Flag, 0);
  EXPECT_EQ(now.Visible, 1);
}

}  // namespace
