#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/OxaMemory.h"
#include "platform/core/ByteOrder.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TempFolder.h"

namespace {

TProgramRun OxaLib(const std::vector<std::string>& arguments)
{
  return RunProgram(OXA_LIB_PROGRAM, arguments);
}

class OxaLibHeap : public ::testing::Test {
 protected:
  void SetUp() override
  {
    bool existed = false;
    FMutex.Open("OxaTest.ToolMutex", existed);
    // 16 bytes of user header, a block of 32 bytes at 32, then free space from 64 to 320.
    FMemory.Open(FMutex, "OxaTest.ToolHeap", 16, 256);
    FBlock = FMemory.Alloc(20);
  }

  TTempMachine FMachine;
  TOxaMutex FMutex;
  TOxaProcessMemory FMemory;
  void* FBlock = nullptr;
};

TEST_F(OxaLibHeap, ShowsASoundHeap)
{
  const TProgramRun run = OxaLib({"heap", "OxaTest.ToolHeap"});
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Output,
            "size: 328\nused: 72\nheader size: 16\nfree nodes: 1\n  offset 64 size 256\ncheck: clean\n");
  EXPECT_EQ(OxaLib({"heap", "OxaTest.ToolHeap", "--json"}).Output,
            "{\"name\":\"OxaTest.ToolHeap\",\"size\":328,\"used\":72,\"headerSize\":16,"
            "\"freeNodes\":[{\"offset\":64,\"size\":256}],\"check\":\"\"}\n");
  EXPECT_EQ(FMemory.Check(), "") << "looking changes nothing";
}

TEST_F(OxaLibHeap, ReportsDamageAndFails)
{
  ByteOrder::StoreLE32(FMemory.ToPointer(64 + 8), 0x5A5A5A5A);
  const TProgramRun run = OxaLib({"heap", "OxaTest.ToolHeap"});
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("check: damaged\nDamage at:$"), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find(" value:$5A5A5A5A\n"), std::string::npos) << run.Output;
}

TEST_F(OxaLibHeap, NeverCreatesAHeap)
{
  const TProgramRun run = OxaLib({"heap", "OxaTest.NoSuchHeap"});
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Output, "");
  bool existed = true;
  TOxaMappedMemory probe;
  probe.Open("OxaTest.NoSuchHeap", 16, existed);
  EXPECT_FALSE(existed);
  EXPECT_EQ(OxaLib({"heap"}).ExitCode, 2);
}

}  // namespace
