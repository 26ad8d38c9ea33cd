// The controller against the real bus: the host closing the source, and a key the host forwards.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "OxaIPC/CustomNode.h"
#include "OxaIPC/OxaIpc.h"
#include "OxaIPC/OxaIpcClient.h"
#include "platform/Input.h"
#include "platform/Time.h"
#include "scan/MusicStringList.h"
#include "scan/OxaMusicPlayerTypes.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TempFolder.h"

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
  for (const TCase& c : cases) {
    const TNodeKey key{c.Key, c.Shift, 0, static_cast<std::int32_t>(GetTickCount() - c.Age), 0};
    ASSERT_TRUE(client.Notify("VuDirAzuzo", "KeyDown", sizeof(key), &key));
    bool seen = false;
    while (!seen) {
      const auto line = watch.ReadLine(std::chrono::seconds(c.Expected != nullptr ? 10 : 2));
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

}  // namespace
