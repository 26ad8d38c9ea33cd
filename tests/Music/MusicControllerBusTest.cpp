// The controller against the real bus: the host closing the source, and a key the host forwards.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Music/control/MusicKeyTable.h"
#include "OxaIPC/CustomNode.h"
#include "OxaIPC/OxaIpc.h"
#include "OxaIPC/OxaIpcClient.h"
#include "platform/core/Time.h"
#include "platform/windows/Input.h"
#include "settings/MusicStringList.h"
#include "settings/OxaMusicPlayerTypes.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/DeclaredDrives.h"
#include "tests/support/Mp3Files.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TempFolder.h"
#include "tools/make-test-media/TestMedia.h"

namespace {

bool Contains(const std::string& text, const std::string& part)
{
  return text.find(part) != std::string::npos;
}

// The program on a fresh machine, once its source node is on the bus.
class TRunningProgram {
 public:
  TRunningProgram() : FProgram(OXA_MUSIC_PROGRAM, {})
  {
    FIpc.SetGroupName("VantelPC");
    Ready = FIpc.Open(false) && FIpc.Exists(FIpc.NameToId("VuDirAzuzo"), 30000);
  }
  TChildProcess& Program() noexcept { return FProgram; }
  TOxaIpc& Ipc() noexcept { return FIpc; }
  bool Ready = false;

 private:
  TChildProcess FProgram;
  TOxaIpc FIpc{nullptr};
};

TEST(TMusicControllerBus, TheHostClosingTheSourceEndsTheProgramAfterTheCloseDelay)
{
  const TTempMachine machine;
  TRunningProgram running;
  ASSERT_TRUE(running.Ready);
  TProgramRun run = RunProgram(OXA_HOST_PROGRAM, {"open", "--call"});
  ASSERT_TRUE(Contains(run.Output, "answer: 1")) << run.Output;

  const auto asked = std::chrono::steady_clock::now();
  run = RunProgram(OXA_HOST_PROGRAM, {"close", "--call"});
  EXPECT_TRUE(Contains(run.Output, "answer: 1")) << run.Output;
  EXPECT_EQ(running.Program().Wait(std::chrono::seconds(30)), 0);
  const auto took =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - asked).count();
  // Not at once (the host's answer goes out first), and not long after.
  EXPECT_GE(took, 380);
  EXPECT_LT(took, 10000);

  // The close handler ran: "LastPlayed" is stored (nothing played: the empty item's five lines).
  ResetSettingsFileName();
  TStringList lastPlayed;
  ReadOption(TMusicOption::LastPlayed, lastPlayed);
  EXPECT_EQ(lastPlayed.Count(), 5);
  ResetSettingsFileName();
}

TEST(TMusicControllerBus, AForwardedKeypadPlusReachesTheSystemAsVolumeUp)
{
  const TTempMachine machine;
  TRunningProgram running;
  ASSERT_TRUE(running.Ready);
  TChildProcess watch(OXA_HOST_PROGRAM, {"watch"});
  ASSERT_EQ(watch.ReadLine(), "watching VantelPC");

  TOxaIpcClient client(nullptr);
  client.SetClientName("KeyTester");
  client.SetIpc(&running.Ipc());
  ASSERT_TRUE(client.Registered());
  // The suite's system process, which takes the volume.
  TOxaIpcClient system(nullptr);
  system.SetClientName("System");
  system.SetIpc(&running.Ipc());
  ASSERT_TRUE(system.Registered());
  struct TCase {
    std::int32_t Key;
    std::int32_t Shift;
    DWORD Age;
    const char* Expected;  // null: the program stays silent
  };
  const TCase cases[] = {
      {VK_ADD, 0, 0, "VolumeUp"},
      {VK_SUBTRACT, 4, 0, "VolumeDown"},  // any modifiers
      {VK_ADD, 0, 5000, nullptr},         // stale: dropped
  };
  // Forwarded as a call, so the program's answer says whether it acted on the key. A loaded
  // machine may take longer than a key stays fresh to deliver it (the program drops it then, as
  // it should); only such a slow round trip is tried again, with a newly stamped key.
  const auto forward = [&](const TCase& c) {
    for (int attempt = 0; attempt < 20; ++attempt) {
      const DWORD stamped = GetTickCount();
      const TNodeKey key{c.Key, c.Shift, 0, static_cast<std::int32_t>(stamped - c.Age), 0};
      std::uint32_t size = 0;
      std::vector<std::uint8_t> answer;
      if (!client.Call("VuDirAzuzo", "KeyDown", size, answer, sizeof(key), &key, 60000, false) ||
          answer.size() < 4) {
        ADD_FAILURE() << "no answer to key " << c.Key;
        return false;
      }
      const bool handled = answer[0] != 0;
      if (handled || c.Age != 0 || GetTickCount() - stamped < KeyFreshness) {
        return handled;
      }
    }
    ADD_FAILURE() << "every key " << c.Key << " took longer than a key stays fresh to answer";
    return false;
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(forward(c), c.Expected != nullptr) << c.Key << " aged " << c.Age;
    bool seen = false;
    while (!seen) {
      // The answer came after the program sent what it sends, so silence for a while is enough.
      const auto line =
          watch.ReadLine(c.Expected != nullptr ? std::chrono::seconds(60) : std::chrono::seconds(2));
      if (!line) {
        break;
      }
      seen = c.Expected != nullptr ? Contains(*line, std::string("-> System: ") + c.Expected)
                                   : Contains(*line, "-> System:");
    }
    EXPECT_EQ(seen, c.Expected != nullptr) << c.Key << " aged " << c.Age;
  }
  system.SetIpc(nullptr);
  client.SetIpc(nullptr);
}

// Three tracks in one folder, merged into the library before the program starts; the audio
// component plays to a null output.
class TMusicControllerPlay : public testing::Test {
 protected:
  void SetUp() override
  {
    setenv("OXA_AUDIO", "null:speed=10", 1);
    const char* titles[] = {"Alpha", "Bravo", "Charlie"};
    for (int i = 0; i < 3; ++i) {
      testmedia::TMp3Recipe recipe;
      recipe.Audio.Milliseconds = 20000;
      recipe.Id3v2 =
          testmedia::TId3v2Fields{titles[i], "Band", "Record", "1999", "Rock", std::to_string(i + 1), ""};
      std::filesystem::create_directories(Machine.DriveFolder('C') / "Music" / "Album");
      testmedia::WriteMp3(Machine.DriveFolder('C') / "Music" / "Album" / (std::string(titles[i]) + ".mp3"),
                          recipe);
    }
    ASSERT_EQ(RunProgram(OXA_LIB_PROGRAM, {"db", "import", "C:\\Music"}).ExitCode, 0);
  }
  void TearDown() override { unsetenv("OXA_AUDIO"); }

  // Waits until the published status names the track.
  static bool StatusShows(const std::string& caption)
  {
    const std::string wanted = "Formatted \"" + caption + "\"";
    std::string last;
    for (int i = 0; i < 50; ++i) {
      const TProgramRun run = RunProgram(OXA_HOST_PROGRAM, {"status"});
      if (Contains(run.Output, wanted)) {
        return true;
      }
      last = run.Output;
      Sleep(100);
    }
    ADD_FAILURE() << "the status says:\n" << last;
    return false;
  }
  static void Key(const std::string& name, const std::string& extra = "0")
  {
    const TProgramRun run = RunProgram(OXA_HOST_PROGRAM, {"key", name, "0", "0", extra});
    EXPECT_EQ(run.ExitCode, 0) << run.Output;
  }

  TDeclaredMachine Machine;
};

TEST_F(TMusicControllerPlay, RemoteKeysMoveThroughTheGroup)
{
  TRunningProgram running;
  ASSERT_TRUE(running.Ready);
  // The host opens the source before it forwards keys; the status goes out while it is open.
  ASSERT_EQ(RunProgram(OXA_HOST_PROGRAM, {"open", "--call"}).ExitCode, 0);
  Key("StepUp");
  EXPECT_TRUE(StatusShows("Alpha")) << "nothing current: the first track of the first group";
  Key("StepUp");
  EXPECT_TRUE(StatusShows("Bravo"));
  Key("StepDown");
  EXPECT_TRUE(StatusShows("Alpha"));
  Key("Digit", "12");  // no such digit: nothing
  Key("Digit", "3");   // 30 > 3 tracks: played at once
  EXPECT_TRUE(StatusShows("Charlie"));
  Key("StepUp");
  EXPECT_TRUE(StatusShows("Alpha")) << "after the last the group starts over";
}

TEST_F(TMusicControllerPlay, TwoRandomCommandsReportOnThenOffAndLeaveTheSetting)
{
  const bool before = ReadRandom();
  TRunningProgram running;
  ASSERT_TRUE(running.Ready);
  TChildProcess watch(OXA_HOST_PROGRAM, {"watch"});
  ASSERT_EQ(watch.ReadLine(), "watching VantelPC");
  Key("Random");
  Key("Random");
  std::vector<std::string> reports;
  while (reports.size() < 2) {
    const auto line = watch.ReadLine(std::chrono::seconds(10));
    if (!line) {
      break;
    }
    // The report goes to every client; the copy to the program's own client stands for all.
    if (Contains(*line, "-> VuDirAzuzo: OnRandom")) {
      reports.push_back(*line);
    }
  }
  ASSERT_EQ(reports.size(), 2U);
  // Each command reports the state it has just set.
  EXPECT_TRUE(Contains(reports[0], before ? "OnRandom off" : "OnRandom on")) << reports[0];
  EXPECT_TRUE(Contains(reports[1], before ? "OnRandom on" : "OnRandom off")) << reports[1];
  ResetSettingsFileName();
  EXPECT_EQ(ReadRandom(), before);
  ResetSettingsFileName();
}

TEST_F(TMusicControllerPlay, BackspaceHidesThePlayingTrackAndNextSkipsIt)
{
  TRunningProgram running;
  ASSERT_TRUE(running.Ready);
  ASSERT_EQ(RunProgram(OXA_HOST_PROGRAM, {"open", "--call"}).ExitCode, 0);
  Key("StepUp");
  ASSERT_TRUE(StatusShows("Alpha"));
  TOxaIpcClient client(nullptr);
  client.SetClientName("KeyTester");
  client.SetIpc(&running.Ipc());
  ASSERT_TRUE(client.Registered());
  const TNodeKey key{VK_BACK, 0, 0, static_cast<std::int32_t>(GetTickCount()), 0};
  ASSERT_TRUE(client.Notify("VuDirAzuzo", "KeyDown", sizeof(key), &key));
  client.SetIpc(nullptr);
  // Hidden: nothing is current, so the next step starts the group again, without Alpha.
  Key("StepUp");
  EXPECT_TRUE(StatusShows("Bravo"));
  Key("StepUp");
  EXPECT_TRUE(StatusShows("Charlie"));
  Key("StepUp");
  EXPECT_TRUE(StatusShows("Bravo")) << "the group starts over without the hidden track";
}

TEST_F(TMusicControllerPlay, BackspaceRemovesThePlayingFavoriteEntry)
{
  ASSERT_EQ(RunProgram(OXA_LIB_PROGRAM, {"fav", "new", "Mix"}).ExitCode, 0);
  const TProgramRun added = RunProgram(
      OXA_LIB_PROGRAM, {"fav", "add", "Mix", "C:\\Music\\Album\\Alpha.mp3", "C:\\Music\\Album\\Bravo.mp3"});
  ASSERT_EQ(added.ExitCode, 0) << added.Output;
  const std::string before = RunProgram(OXA_LIB_PROGRAM, {"fav", "show", "Mix"}).Output;
  ASSERT_TRUE(Contains(before, "Alpha")) << before;
  {
    TRunningProgram running;
    ASSERT_TRUE(running.Ready);
    // Opened to play at once: the first list that plays.
    ASSERT_EQ(RunProgram(OXA_HOST_PROGRAM, {"open", "1", "0", "0", "--call"}).ExitCode, 0);
    ASSERT_TRUE(StatusShows("Alpha"));
    TOxaIpcClient client(nullptr);
    client.SetClientName("KeyTester");
    client.SetIpc(&running.Ipc());
    ASSERT_TRUE(client.Registered());
    const TNodeKey key{VK_DELETE, 0, 0, static_cast<std::int32_t>(GetTickCount()), 0};
    ASSERT_TRUE(client.Notify("VuDirAzuzo", "KeyDown", sizeof(key), &key));
    client.SetIpc(nullptr);
    RunProgram(OXA_HOST_PROGRAM, {"close", "--call"});
    EXPECT_EQ(running.Program().Wait(std::chrono::seconds(30)), 0);
  }
  const std::string after = RunProgram(OXA_LIB_PROGRAM, {"fav", "show", "Mix"}).Output;
  EXPECT_FALSE(Contains(after, "Alpha")) << after;
  EXPECT_TRUE(Contains(after, "Bravo")) << after;
}

// Twelve tracks, so a typed "1" may still become 10, 11 or 12 and waits for the time-out.
TEST_F(TMusicControllerPlay, DigitsPickATrackAtOnceOrAfterTheTimeOut)
{
  const TMp3Files files(2000);
  for (int i = 1; i <= 12; ++i) {
    char title[8];
    std::snprintf(title, sizeof(title), "T%02d", i);
    files.Write(Machine.DriveFolder('C') / "Music" / "Twelve" / (std::string(title) + ".mp3"),
                testmedia::TId3v2Fields{title, "Band", "Twelve", "1999", "Rock", std::to_string(i), ""});
  }
  ASSERT_EQ(RunProgram(OXA_LIB_PROGRAM, {"db", "import", "C:\\Music\\Twelve"}).ExitCode, 0);
  TRunningProgram running;
  ASSERT_TRUE(running.Ready);
  ASSERT_EQ(RunProgram(OXA_HOST_PROGRAM, {"open", "--call"}).ExitCode, 0);
  // Into the twelve-track folder: "Album" comes first, "Twelve" next.
  Key("Wind");
  Key("Wind");
  ASSERT_TRUE(StatusShows("T01"));
  Key("Digit", "1");
  Key("Digit", "2");  // 12: no further digit fits, played at once
  EXPECT_TRUE(StatusShows("T12"));
  Key("Digit", "3");  // 30 > 12: at once
  EXPECT_TRUE(StatusShows("T03"));
  Key("Digit", "1");  // waits for the time-out, then plays 1
  EXPECT_TRUE(StatusShows("T01"));
}

}  // namespace
