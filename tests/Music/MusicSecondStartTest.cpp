// A second start of the program at another path while a copy serves "VuDirAzuzo" on the bus.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "OxaIPC/OxaIpcClient.h"
#include "platform/files/Paths.h"
#include "platform/windows/Windows.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/MessagePump.h"
#include "tests/support/TempFolder.h"

namespace {

class TPlayFiles : public TObject {
 public:
  void PlayFile(TObject*, POxaIpcMessage message) { Payloads.emplace_back(message->Payload); }
  std::vector<std::vector<std::uint8_t>> Payloads;
};

// The program copied beside the test machine: another path, so not the same executable.
std::string CopiedProgram(const TTempMachine& machine)
{
  std::filesystem::create_directories(machine.Scratch());
  const std::filesystem::path copy = machine.Scratch() / "oxanetmusic";
  std::filesystem::copy_file(OXA_MUSIC_PROGRAM, copy, std::filesystem::copy_options::overwrite_existing);
  return copy.string();
}

TEST(TMusicSecondStart, AskTheRunningCopyToPlayAndEnd)
{
  const TTempMachine machine;
  TOxaIpc ipc(nullptr);
  ASSERT_TRUE(ipc.RegisterApplication("Pyrmel", WindowsPathOf(OXA_IPC_HELPER), {}));
  TChildProcess host(OXA_IPC_HELPER, {"--serve", "VantelPC", "Pyrmel", "60"});
  ASSERT_TRUE(ipc.Open(false));
  ASSERT_TRUE(ipc.Exists(ipc.NameToId("Pyrmel"), 20000));
  // This test stands for the running copy.
  TPlayFiles played;
  TOxaIpcClient running(nullptr);
  running.SetClientName("VuDirAzuzo");
  running.AddCommand("PlayFile", MakeMethod<&TPlayFiles::PlayFile>(&played));
  running.SetIpc(&ipc);
  ASSERT_TRUE(running.Registered());

  TChildProcess second(CopiedProgram(machine), {});
  ASSERT_TRUE(PumpUntil([&] { return !played.Payloads.empty(); }, 60000));
  EXPECT_EQ(second.Wait(std::chrono::seconds(30)), 0);
  ASSERT_EQ(played.Payloads.size(), 1u);
  const std::vector<std::uint8_t>& name = played.Payloads[0];
  ASSERT_EQ(name.size(), 256u) << "the receiving node takes 256 bytes";
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(name.data())), "test");
  EXPECT_EQ(std::count(name.begin(), name.end(), 0), 252);
  // The temporary client and bus are gone again.
  PumpUntil([] { return false; }, 200);
  EXPECT_EQ(ipc.Processes().size(), 2u);
  EXPECT_EQ(ipc.CheckHeaps(), "");
}

// No host can be launched (none is registered), yet the running copy is on the bus: it is asked
// all the same. Starting instead would find "VuDirAzuzo" taken and end without a word.
TEST(TMusicSecondStart, WithoutAHostTheRunningCopyIsStillAsked)
{
  const TTempMachine machine;
  TOxaIpc ipc(nullptr);
  ASSERT_TRUE(ipc.Open(false));
  TPlayFiles played;
  TOxaIpcClient running(nullptr);
  running.SetClientName("VuDirAzuzo");
  running.AddCommand("PlayFile", MakeMethod<&TPlayFiles::PlayFile>(&played));
  running.SetIpc(&ipc);
  ASSERT_TRUE(running.Registered());

  TChildProcess second(CopiedProgram(machine), {"DEBUG"});
  ASSERT_TRUE(PumpUntil([&] { return !played.Payloads.empty(); }, 60000));
  EXPECT_EQ(second.Wait(std::chrono::seconds(30)), 0);
  EXPECT_EQ(FindWindowA("TMusicForm", "OxaNetMusic"), nullptr);
  ASSERT_EQ(played.Payloads.size(), 1u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(played.Payloads[0].data())), "test");
  PumpUntil([] { return false; }, 200);
  EXPECT_EQ(ipc.Processes().size(), 1u);
}

}  // namespace
