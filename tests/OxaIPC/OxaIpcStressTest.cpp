// Eight members join, intern, register and leave in a loop while some of them are killed at
// random; afterwards the heaps are sound and no dead member's record is left.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <random>
#include <thread>

#include "OxaIPC/OxaIpc.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using std::chrono::steady_clock;

TEST(OxaIpcStress, EightMembersWithRandomKills)
{
  TTempMachine machine;
  // Most of a minute by default; OXA_STRESS_SECONDS shortens or lengthens it.
  int duration = 45;
  if (const char* text = std::getenv("OXA_STRESS_SECONDS")) {
    duration = std::max(1, std::atoi(text));
  }
  constexpr int Members = 8;
  std::mt19937 random(20261208);
  std::vector<std::unique_ptr<TChildProcess>> members(Members);
  unsigned seed = 1;
  auto start = [&](int slot) {
    members[slot] = std::make_unique<TChildProcess>(
        OXA_IPC_HELPER,
        std::vector<std::string>{"--loop", "VantelPC", std::to_string(duration + 5), std::to_string(seed++)});
  };
  for (int slot = 0; slot < Members; ++slot) {
    start(slot);
  }
  int kills = 0;
  const auto end = steady_clock::now() + seconds(duration);
  while (steady_clock::now() < end) {
    std::this_thread::sleep_for(milliseconds(300 + random() % 900));
    const int slot = static_cast<int>(random() % Members);
    members[slot]->Kill();
    ++kills;
    start(slot);
  }
  for (auto& member : members) {
    member->Kill();
  }
  EXPECT_GT(kills, duration / 2);

  // A fresh member sweeps the dead and looks at what is left.
  TOxaIpc ipc(nullptr);
  ASSERT_TRUE(ipc.Open(false));
  ASSERT_TRUE(ipc.Lock(TOxaIpc::LockTimeout));
  ASSERT_TRUE(ipc.CheckGeneration());
  ipc.CheckAllProcesses();
  ipc.Unlock();
  ASSERT_TRUE(ipc.Active());
  EXPECT_EQ(ipc.CheckHeaps(), "");
  const auto processes = ipc.Processes();
  ASSERT_EQ(processes.size(), 1u);
  EXPECT_EQ(processes[0].Record.Pid, ipc.Pid());
  EXPECT_TRUE(ipc.ClientIds().empty());
}

}  // namespace
