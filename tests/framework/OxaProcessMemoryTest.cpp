#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "framework/OxaMemory.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"

namespace {

class TProcessMemory : public ::testing::Test {
 protected:
  void SetUp() override
  {
    bool existed = false;
    FMutex.Open("OxaTest.HeapMutex", existed);
  }

  // Writes text and its zero into a new block; returns the block's offset.
  std::uint32_t Put(TOxaProcessMemory& memory, const std::string& text)
  {
    void* p = memory.Alloc(static_cast<std::uint32_t>(text.size() + 1));
    if (p == nullptr) {
      return 0;
    }
    std::memcpy(p, text.c_str(), text.size() + 1);
    return memory.ToOffset(p);
  }
  std::string Get(TOxaProcessMemory& memory, std::uint32_t offset)
  {
    return static_cast<const char*>(memory.ToPointer(offset));
  }
  TChildProcess& Helper()
  {
    if (!FHelper) {
      FHelper = std::make_unique<TChildProcess>(OXA_MEMORY_HELPER, std::vector<std::string>{});
      EXPECT_EQ(FHelper->Ask("mutex OxaTest.HeapMutex"), "ok");
    }
    return *FHelper;
  }
  bool MutexFree()
  {
    bool result = false;
    std::thread other([&] {
      TOxaMutex mutex;
      bool existed = false;
      mutex.Open("OxaTest.HeapMutex", existed);
      result = mutex.Lock(0);
    });
    other.join();
    return result;
  }

  TTempMachine FMachine;
  TOxaMutex FMutex;
  std::unique_ptr<TChildProcess> FHelper;
};

TEST_F(TProcessMemory, HeapIsSizedForItsHeaderAndData)
{
  struct TCase {
    std::uint32_t HeaderSize, DataSize, Total;
  };
  const TCase cases[] = {{0, 0, 56}, {12, 12, 56}, {13, 13, 88}, {100, 1000, 1144}};
  for (const auto& c : cases) {
    TOxaProcessMemory memory;
    memory.Open(FMutex, "OxaTest.Heap." + std::to_string(c.DataSize), c.HeaderSize, c.DataSize);
    EXPECT_EQ(memory.GetSize(), c.Total) << c.DataSize;
    EXPECT_EQ(memory.GetHeaderSize(), c.HeaderSize);
    EXPECT_EQ(memory.Check(), "");
    EXPECT_NE(memory.Alloc(c.DataSize), nullptr) << "the data size fits";
    EXPECT_FALSE(FMutex.Locked()) << "every operation unlocks";
  }
}

TEST_F(TProcessMemory, SecondProcessAttachesAndSeesTheData)
{
  TOxaProcessMemory memory;
  memory.Open(FMutex, "OxaTest.Shared", 64, 4096);
  std::memcpy(memory.GetHeader(), "directory", 10);
  const std::uint32_t hello = Put(memory, "hello");
  ASSERT_NE(hello, 0u);

  ASSERT_EQ(Helper().Ask("open OxaTest.Shared 64 4096"), "ok");
  EXPECT_EQ(Helper().Ask("get " + std::to_string(hello)), "hello");
  EXPECT_EQ(Helper().Ask("get 16"), "directory");
  const std::string world = Helper().Ask("put world");
  EXPECT_EQ(Get(memory, static_cast<std::uint32_t>(std::stoul(world))), "world");
  EXPECT_EQ(Helper().Ask("check"), "clean");

  ASSERT_EQ(Helper().Ask("hold"), "held");
  EXPECT_EQ(Get(memory, hello), "hello") << "offsets work without the lock";
  EXPECT_EQ(memory.ToOffset(memory.ToPointer(hello)), hello);
}

TEST_F(TProcessMemory, OtherSizeUnderTheSameNameFailsAfterItsRetries)
{
  TOxaProcessMemory first;
  first.Open(FMutex, "OxaTest.Sized", 0, 1000);
  for (const std::uint32_t otherData : {984u, 1016u}) {
    TOxaMutex mutex;
    bool existed = false;
    mutex.Open("OxaTest.HeapMutex", existed);
    TOxaProcessMemory second;
    try {
      second.Open(mutex, "OxaTest.Sized", 0, otherData);
      ADD_FAILURE() << otherData << " opened";
    } catch (const EOxaFailed& e) {
      EXPECT_EQ(e.Message(), "Failed to map memory");
    }
    EXPECT_FALSE(second.IsOpen());
    EXPECT_FALSE(mutex.Locked());
  }
  EXPECT_TRUE(MutexFree());
  EXPECT_EQ(first.Check(), "");
}

TEST_F(TProcessMemory, KilledOwnerLeavesTheLockAbandonedAndDamageReported)
{
  struct TCase {
    const char* Command;
    bool Damaged;
  };
  // The free node starts at 16 + 16 (the user header) and its zero bytes 8 later.
  const TCase cases[] = {{"hold", false}, {"scribble 40", true}};
  for (const auto& c : cases) {
    TOxaProcessMemory memory;
    memory.Open(FMutex, "OxaTest.Abandoned", 16, 256);
    ASSERT_EQ(Helper().Ask("open OxaTest.Abandoned 16 256"), "ok");
    ASSERT_EQ(Helper().Ask(c.Command), "held");
    FHelper->Kill();
    FHelper.reset();
    if (c.Damaged) {
      try {
        memory.Alloc(10);
        ADD_FAILURE() << "a damaged heap was used";
      } catch (const EOxaFailed& e) {
        EXPECT_NE(e.Message().find("value:$5A5A5A5A"), std::string::npos) << e.Message();
      }
      EXPECT_TRUE(FMutex.Abandoned());
      EXPECT_NE(memory.Check(), "");
    } else {
      EXPECT_NE(memory.Alloc(10), nullptr);
      EXPECT_TRUE(FMutex.Abandoned());
      EXPECT_EQ(memory.Check(), "");
    }
    EXPECT_FALSE(FMutex.Locked());
  }
}

TEST_F(TProcessMemory, GrowMovesTheHeapAndKeepsItsBlocks)
{
  TOxaProcessMemory memory;
  memory.Open(FMutex, "OxaTest.Grow.1", 16, 64);
  std::vector<std::pair<std::uint32_t, std::string>> blocks;
  for (int i = 0;; ++i) {
    const std::string text = "block" + std::to_string(i);
    const std::uint32_t offset = Put(memory, text);
    if (offset == 0) {
      break;
    }
    blocks.emplace_back(offset, text);
  }
  ASSERT_EQ(blocks.size(), 6u) << "96 bytes of 16-byte blocks";
  memory.Grow("OxaTest.Grow.2", 1024);
  EXPECT_EQ(memory.GetSize(), OxaBlockBytes(1024) + 24 + 32);
  for (const auto& [offset, text] : blocks) {
    EXPECT_EQ(Get(memory, offset), text);
  }
  EXPECT_NE(Put(memory, "more"), 0u);
  EXPECT_EQ(memory.Check(), "");
  try {
    memory.Grow("OxaTest.Grow.3", 16);
    ADD_FAILURE() << "shrunk";
  } catch (const EOxaOutOfMemory& e) {
    EXPECT_EQ(e.Message(), "Relocate can only grow the memory size");
  }
  EXPECT_EQ(memory.GetSize(), OxaBlockBytes(1024) + 24 + 32) << "a failed grow keeps the heap";
}

TEST_F(TProcessMemory, GrowAttachesWhenAnotherProcessGrewFirst)
{
  TOxaProcessMemory memory;
  memory.Open(FMutex, "OxaTest.Moving.1", 0, 256);
  ASSERT_EQ(Helper().Ask("open OxaTest.Moving.1 0 256"), "ok");
  const std::uint32_t before = Put(memory, "before");
  memory.Grow("OxaTest.Moving.2", 4096);
  const std::uint32_t after = Put(memory, std::string(300, 'x'));
  ASSERT_NE(after, 0u);
  EXPECT_EQ(Helper().Ask("grow OxaTest.Moving.2 4096"), "ok");
  EXPECT_EQ(Helper().Ask("get " + std::to_string(before)), "before");
  EXPECT_EQ(Helper().Ask("get " + std::to_string(after)), std::string(300, 'x'));
  EXPECT_EQ(Helper().Ask("check"), "clean");
}

TEST_F(TProcessMemory, ClosedOrOpenTwiceRaisesItsText)
{
  TOxaProcessMemory memory;
  EXPECT_THROW(memory.Alloc(1), EOxaNotOpen);
  EXPECT_THROW(memory.Check(), EOxaNotOpen);
  EXPECT_THROW(memory.Grow("OxaTest.Closed.2", 10), EOxaNotOpen);
  memory.Open(FMutex, "OxaTest.Closed", 0, 10);
  try {
    memory.Open(FMutex, "OxaTest.Closed", 0, 10);
    ADD_FAILURE();
  } catch (const EOxaAlreadyOpen& e) {
    EXPECT_EQ(e.Message(), "Already open");
  }
  memory.Close();
  try {
    memory.GetHeader();
    ADD_FAILURE();
  } catch (const EOxaNotOpen& e) {
    EXPECT_EQ(e.Message(), "Not open");
  }
}

}  // namespace
