// oxa-host against the program: the resident host started through its registration, the short
// commands, a second start seen by watch, and a source that is gone.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "OxaIPC/OxaIpc.h"
#include "platform/core/Time.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TempFolder.h"

namespace {

bool Contains(const std::string& text, const std::string& part)
{
  return text.find(part) != std::string::npos;
}

TEST(TOxaHost, WithoutABusEveryShortCommandFails)
{
  const TTempMachine machine;
  const std::vector<std::vector<std::string>> commands = {{"open"},   {"close", "--call"}, {"key", "Play"},
                                                          {"status"}, {"gui", "shown"},    {"quit"}};
  for (const auto& command : commands) {
    const TProgramRun run = RunProgram(OXA_HOST_PROGRAM, command);
    EXPECT_EQ(run.ExitCode, 1) << command[0];
  }
}

TEST(TOxaHost, BadArgumentsAreUsageErrors)
{
  const TTempMachine machine;
  const std::vector<std::vector<std::string>> commands = {
      {"key", "Jump"}, {"key", "Play", "1"}, {"open", "1", "2"}, {"close", "1", "2", "3"},
      {"scan", "1"},   {"info", "1", "x"},   {"gui", "maybe"},   {"fly"},
      {"playfile"},    {"open", "--bogus"},
  };
  for (const auto& command : commands) {
    const TProgramRun run = RunProgram(OXA_HOST_PROGRAM, command);
    EXPECT_EQ(run.ExitCode, 2) << command[0] << " " << (command.size() > 1 ? command[1] : "");
  }
}

TEST(TOxaHost, TheProgramUnderTheResidentHost)
{
  const TTempMachine machine;
  ASSERT_EQ(RunProgram(OXA_HOST_PROGRAM, {"register"}).ExitCode, 0);
  TChildProcess program(OXA_MUSIC_PROGRAM, {"DEBUG"});
  TOxaIpc ipc(nullptr);
  ASSERT_TRUE(ipc.Open(false));
  ASSERT_TRUE(ipc.Exists(ipc.NameToId("Pyrmel"), 30000)) << "the program's start launched the host";
  ASSERT_TRUE(ipc.Exists(ipc.NameToId("VuDirAzuzo"), 30000));
  struct THostEnd {
    ~THostEnd() { RunProgram(OXA_HOST_PROGRAM, {"quit"}); }
  } hostEnd;

  TProgramRun run = RunProgram(OXA_HOST_PROGRAM, {"open"});
  EXPECT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_TRUE(Contains(run.Output, "answer: 1")) << run.Output;
  run = RunProgram(OXA_HOST_PROGRAM, {"status"});
  EXPECT_EQ(run.ExitCode, 0);
  for (const char* line :
       {"Version: 0.4.1\n", "Active: 1\n", "Picture: Contrast 0; Brightness 0; Color 0\n", "Video: Video 0",
        "Display: Hidden", "Audio: Type1", "Status: Position 0", "GUI: Visible"}) {
    EXPECT_TRUE(Contains(run.Output, line)) << line << " in\n" << run.Output;
  }
  run = RunProgram(OXA_HOST_PROGRAM, {"status", "--json"});
  EXPECT_TRUE(Contains(run.Output, "\"Active\": {\"size\": 4, \"hex\": \"01000000\"")) << run.Output;
  run = RunProgram(OXA_HOST_PROGRAM, {"key", "StepUp", "1", "2", "3", "--call"});
  EXPECT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_TRUE(Contains(run.Output, "answer: none")) << run.Output;

  struct TCase {
    std::vector<std::string> Command;
    const char* Output;
  };
  const TCase cases[] = {
      {{"hide", "--call"}, "answer: 1"},  // the browser hides
      {{"hide"}, "answer: 1"},            // a notification is answered with "OnHide"
      {{"playfile", "song.mp3"}, "sent PlayFile (256 bytes)"},
      {{"scan", "1", "2"}, "sent Scan (12 bytes)"},
      {{"open", "1", "2", "3", "--call"}, "answer: 1"},
      {{"gui", "shown"}, "sent HostWindow to the host"},
  };
  for (const auto& c : cases) {
    run = RunProgram(OXA_HOST_PROGRAM, c.Command);
    EXPECT_EQ(run.ExitCode, 0) << c.Command[0] << run.Output;
    EXPECT_TRUE(Contains(run.Output, c.Output)) << c.Command[0] << ":\n" << run.Output;
  }
  std::uint32_t size = 0;
  std::vector<std::uint8_t> gui;
  for (int i = 0; i < 50 && (gui.empty() || gui[0] != 1); ++i) {
    Sleep(50);
    ipc.GetProperty(ipc.NameToId("Pyrmel"), ipc.NameToId("GUI"), size, gui);
  }
  ASSERT_EQ(size, 68u);
  EXPECT_EQ(gui[0], 1) << "the resident host shows its window";

  TChildProcess watch(OXA_HOST_PROGRAM, {"watch"});
  ASSERT_EQ(watch.ReadLine(), "watching VantelPC");
  std::filesystem::create_directories(machine.Scratch());
  const std::filesystem::path copy = machine.Scratch() / "oxanetmusic";
  std::filesystem::copy_file(OXA_MUSIC_PROGRAM, copy, std::filesystem::copy_options::overwrite_existing);
  TChildProcess second(copy.string(), {});
  EXPECT_EQ(second.Wait(std::chrono::seconds(60)), 0);
  bool seen = false;
  while (!seen) {
    const auto line = watch.ReadLine(std::chrono::seconds(10));
    if (!line) {
      break;
    }
    seen = Contains(*line, "-> VuDirAzuzo: PlayFile \"test\"");
  }
  EXPECT_TRUE(seen) << "watch shows the second start's request";

  // The host leaving the source ends the program.
  run = RunProgram(OXA_HOST_PROGRAM, {"close", "--call"});
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_TRUE(Contains(run.Output, "answer: 1")) << run.Output;
  EXPECT_EQ(program.Wait(std::chrono::seconds(30)), 0);
  run = RunProgram(OXA_HOST_PROGRAM, {"status"});
  EXPECT_EQ(run.ExitCode, 1) << run.Output;
}

}  // namespace
