#include "platform/objects/ObjectProbe.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/core/LastError.h"
#include "platform/core/Machine.h"
#include "platform/objects/FileMappings.h"
#include "platform/objects/Synchronization.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"

namespace {

class TObjectProbes : public ::testing::Test {
 protected:
  TChildProcess& Helper()
  {
    if (!FHelper) {
      FHelper = std::make_unique<TChildProcess>(OXA_MESSAGING_HELPER, std::vector<std::string>{});
    }
    return *FHelper;
  }

  // Whether a second opener finds the object: a probe must never be what keeps it.
  static bool Openable(const char* name)
  {
    HANDLE handle = OpenMutexA(SYNCHRONIZE, FALSE, name);
    if (handle == nullptr) {
      return false;
    }
    CloseHandle(handle);
    return true;
  }

  TTempMachine FMachine;
  std::unique_ptr<TChildProcess> FHelper;
};

TEST_F(TObjectProbes, FollowAHolderInAnotherProcessWithoutKeepingTheObject)
{
  const char* name = "OxaIpc.VANTELPC.Mutex.3";
  TObjectProbe probe(name);
  EXPECT_FALSE(probe.Exists());
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  ASSERT_EQ(Helper().Ask(std::string("mutex ") + name), "new");
  EXPECT_TRUE(probe.Exists());
  EXPECT_TRUE(probe.Exists()) << "the second look goes through the kept file";

  ASSERT_EQ(Helper().Ask(std::string("close ") + name), "ok");
  EXPECT_FALSE(Openable(name)) << "the probe's open file holds nothing";
  EXPECT_FALSE(probe.Exists());

  // A new object under the same name is another file: the probe must not stay on the old one.
  ASSERT_EQ(Helper().Ask(std::string("mutex ") + name), "new");
  EXPECT_TRUE(probe.Exists());
  EXPECT_TRUE(probe.Exists());
}

TEST_F(TObjectProbes, AHolderThatDiesLeavesNothingBehind)
{
  const char* name = "OxaIpc.VANTELPC.Mutex.12";
  ASSERT_EQ(Helper().Ask(std::string("mutex ") + name), "new");
  ASSERT_EQ(Helper().Ask(std::string("wait ") + name + " 0"), "object");
  TObjectProbe probe(name);
  ASSERT_TRUE(probe.Exists());

  Helper().Kill();

  EXPECT_FALSE(probe.Exists());
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(std::filesystem::exists(MachineFolder() / "objects" / name)) << "the leftover is taken away";
  HANDLE fresh = CreateMutexA(nullptr, FALSE, name);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  CloseHandle(fresh);
}

TEST_F(TObjectProbes, HandlesOfThisProcessCountAsHolders)
{
  struct TCase {
    const char* What;
    const char* Name;
    HANDLE (*Create)(const char*);
  };
  const TCase cases[] = {
      {"mutex", "probe-mutex", [](const char* name) { return CreateMutexA(nullptr, FALSE, name); }},
      {"event", "probe-event", [](const char* name) { return CreateEventA(nullptr, TRUE, FALSE, name); }},
      {"mapping", "probe-mapping",
       [](const char* name) {
         return CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 64, name);
       }},
  };
  for (const TCase& item : cases) {
    SCOPED_TRACE(item.What);
    TObjectProbe probe(item.Name);
    HANDLE first = item.Create(item.Name);
    HANDLE second = item.Create(item.Name);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(probe.Exists());
    CloseHandle(first);
    EXPECT_TRUE(probe.Exists()) << "one handle is still open";
    CloseHandle(second);
    EXPECT_FALSE(probe.Exists());
  }
}

TEST_F(TObjectProbes, LeftoverFilesAndEmptyNamesAreNoObjects)
{
  const auto folder = MachineFolder() / "objects";
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "leftover") << "not an object";
  TObjectProbe leftover("leftover");
  EXPECT_FALSE(leftover.Exists());
  EXPECT_FALSE(std::filesystem::exists(folder / "leftover"));

  TObjectProbe unnamed("");
  EXPECT_FALSE(unnamed.Exists());
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
