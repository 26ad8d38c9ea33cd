// Four members with two clients each exchange notifications and calls with payloads of random
// size: every notification arrives once, in order per sender, intact; every call comes back
// answered; afterwards no queue holds anything and the heaps are sound.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <sstream>

#include "OxaIPC/OxaIpc.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"

namespace {

using std::chrono::seconds;

TEST(OxaIpcTrafficStress, FourMembersTwoClientsEach)
{
  TTempMachine machine;
  // The whole load by default; OXA_STRESS_DIVISOR shrinks it for a quick look.
  int divisor = 1;
  if (const char* text = std::getenv("OXA_STRESS_DIVISOR")) {
    divisor = std::max(1, std::atoi(text));
  }
  constexpr int Members = 4;
  const int notes = 100000 / Members / divisor;
  const int calls = 10000 / Members / divisor;
  TOxaIpc ipc(nullptr);
  ASSERT_TRUE(ipc.Open(false));
  std::vector<std::unique_ptr<TChildProcess>> members;
  for (int index = 0; index < Members; ++index) {
    members.push_back(std::make_unique<TChildProcess>(
        OXA_IPC_TRAFFIC_MEMBER,
        std::vector<std::string>{"VantelPC", std::to_string(index), std::to_string(Members),
                                 std::to_string(notes), std::to_string(calls),
                                 std::to_string(1000 + index)}));
  }
  for (auto& member : members) {
    ASSERT_EQ(member->ReadLine(seconds(30)), "ready");
  }
  for (auto& member : members) {
    member->WriteLine("go");
  }
  for (auto& member : members) {
    EXPECT_EQ(member->ReadLine(seconds(120)), "sent " + std::to_string(calls))
        << "every call answered intact";
  }
  std::uint32_t received = 0;
  for (auto& member : members) {
    member->WriteLine("report");
  }
  for (auto& member : members) {
    std::istringstream report(member->ReadLine(seconds(60)).value_or(""));
    std::string errorsWord, receivedWord;
    std::uint32_t errors = 1, count = 0;
    report >> errorsWord >> errors >> receivedWord >> count;
    EXPECT_EQ(errors, 0u);
    received += count;
  }
  EXPECT_EQ(received, static_cast<std::uint32_t>(notes * Members)) << "each notification exactly once";
  for (const std::uint32_t id : ipc.ClientIds()) {
    EXPECT_EQ(ipc.QueueLength(id), 0u) << ipc.IdToName(id);
  }
  EXPECT_EQ(ipc.CheckHeaps(), "");
  for (auto& member : members) {
    member->WriteLine("quit");
    EXPECT_EQ(member->Wait(seconds(30)), 0);
  }
  EXPECT_EQ(ipc.CheckHeaps(), "");
  EXPECT_EQ(ipc.Processes().size(), 1u);
}

}  // namespace
