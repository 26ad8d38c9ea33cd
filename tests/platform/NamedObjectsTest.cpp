#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/core/LastError.h"
#include "platform/core/Machine.h"
#include "platform/objects/FileMappings.h"
#include "platform/objects/Synchronization.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"

namespace {

class TNamedObjects : public ::testing::Test {
 protected:
  TChildProcess& Helper()
  {
    if (!FHelper) {
      FHelper = std::make_unique<TChildProcess>(OXA_MESSAGING_HELPER, std::vector<std::string>{});
    }
    return *FHelper;
  }

  TTempMachine FMachine;
  std::unique_ptr<TChildProcess> FHelper;
};

// Closes a handle when the test leaves.
struct THandle {
  HANDLE Value;
  explicit THandle(HANDLE value) : Value(value) {}
  ~THandle()
  {
    if (Value != nullptr) {
      CloseHandle(Value);
    }
  }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
};

TEST_F(TNamedObjects, MutexExistsWhileAnyProcessHoldsIt)
{
  const std::string name = "OxaIpc.a.//SERVER/SHARE/MUSIC/OXANETMUSIC";
  ASSERT_EQ(Helper().Ask("mutex " + name), "new");
  {
    THandle mine(CreateMutexA(nullptr, FALSE, name.c_str()));
    ASSERT_NE(mine.Value, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(Helper().Ask("close " + name), "ok");
    THandle opened(OpenMutexA(SYNCHRONIZE, FALSE, name.c_str()));
    EXPECT_NE(opened.Value, nullptr) << "the test's own handle keeps the mutex";
  }
  EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, name.c_str()), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  THandle fresh(CreateMutexA(nullptr, FALSE, name.c_str()));
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
}

TEST_F(TNamedObjects, ObjectsOfACrashedProcessDisappear)
{
  ASSERT_EQ(Helper().Ask("mutex OxaIpc.VANTELPC.Mutex.7"), "new");
  ASSERT_EQ(Helper().Ask("event OxaIpc.VANTELPC.Client.9 1 0"), "new");
  ASSERT_EQ(Helper().Ask("mapping OxaIpc.VANTELPC.Body.1 16384"), "new");
  HANDLE alive = OpenMutexA(SYNCHRONIZE, FALSE, "OxaIpc.VANTELPC.Mutex.7");
  ASSERT_NE(alive, nullptr);
  CloseHandle(alive);

  Helper().Kill();

  EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, "OxaIpc.VANTELPC.Mutex.7"), nullptr);
  EXPECT_EQ(OpenEventA(SYNCHRONIZE, FALSE, "OxaIpc.VANTELPC.Client.9"), nullptr);
  EXPECT_EQ(OpenFileMappingA(FILE_MAP_READ, FALSE, "OxaIpc.VANTELPC.Body.1"), nullptr);
  THandle created(CreateMutexA(nullptr, FALSE, "OxaIpc.VANTELPC.Mutex.7"));
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS) << "a leftover is never taken for a live object";
}

TEST_F(TNamedObjects, MutexOfACrashedOwnerIsAcquiredAbandoned)
{
  ASSERT_EQ(Helper().Ask("mutex bus"), "new");
  ASSERT_EQ(Helper().Ask("wait bus 0"), "object");
  THandle mutex(CreateMutexA(nullptr, FALSE, "bus"));
  EXPECT_EQ(WaitForSingleObject(mutex.Value, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(mutex.Value, 20), WAIT_TIMEOUT);

  Helper().Kill();

  EXPECT_EQ(WaitForSingleObject(mutex.Value, 10000), WAIT_ABANDONED);
  EXPECT_EQ(WaitForSingleObject(mutex.Value, 0), WAIT_OBJECT_0) << "the owner takes it again";
  EXPECT_TRUE(ReleaseMutex(mutex.Value));
  EXPECT_TRUE(ReleaseMutex(mutex.Value));
  EXPECT_FALSE(ReleaseMutex(mutex.Value));
  EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);
}

TEST_F(TNamedObjects, MutexIsExclusiveAcrossProcessesAndReleasedNormally)
{
  THandle mutex(CreateMutexA(nullptr, TRUE, "owned"));
  ASSERT_EQ(Helper().Ask("mutex owned"), "existed");
  EXPECT_EQ(Helper().Ask("wait owned 0"), "timeout");
  EXPECT_EQ(Helper().Ask("release owned"), "error " + std::to_string(ERROR_NOT_OWNER));
  ASSERT_TRUE(ReleaseMutex(mutex.Value));
  EXPECT_EQ(Helper().Ask("wait owned 10000"), "object");
  EXPECT_EQ(WaitForSingleObject(mutex.Value, 0), WAIT_TIMEOUT);
  EXPECT_EQ(Helper().Ask("release owned"), "ok");
  EXPECT_EQ(WaitForSingleObject(mutex.Value, 10000), WAIT_OBJECT_0);
  ReleaseMutex(mutex.Value);
}

TEST_F(TNamedObjects, MutexOfAnEndedThreadIsAcquiredAbandoned)
{
  THandle mutex(CreateMutexA(nullptr, FALSE, "thread-owned"));
  std::thread owner([&] { WaitForSingleObject(mutex.Value, INFINITE); });
  owner.join();
  EXPECT_EQ(WaitForSingleObject(mutex.Value, 10000), WAIT_ABANDONED);
  EXPECT_TRUE(ReleaseMutex(mutex.Value));
}

TEST_F(TNamedObjects, EventsWakeWaitersInOtherProcesses)
{
  ASSERT_EQ(Helper().Ask("event auto 0 0"), "new");
  ASSERT_EQ(Helper().Ask("event manual 1 0"), "new");
  THandle automatic(OpenEventA(SYNCHRONIZE, FALSE, "auto"));
  THandle manual(CreateEventA(nullptr, TRUE, FALSE, "manual"));
  ASSERT_NE(automatic.Value, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);

  EXPECT_EQ(WaitForSingleObject(automatic.Value, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(automatic.Value, 30), WAIT_TIMEOUT);
  std::thread waiter([&] { EXPECT_EQ(WaitForSingleObject(automatic.Value, INFINITE), WAIT_OBJECT_0); });
  EXPECT_EQ(Helper().Ask("set auto"), "ok");
  waiter.join();
  EXPECT_EQ(WaitForSingleObject(automatic.Value, 0), WAIT_TIMEOUT)
      << "an auto-reset event lets one wait through";

  EXPECT_EQ(Helper().Ask("set manual"), "ok");
  EXPECT_EQ(WaitForSingleObject(manual.Value, 10000), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(manual.Value, 0), WAIT_OBJECT_0);
  EXPECT_EQ(Helper().Ask("wait manual 0"), "object");
  EXPECT_TRUE(ResetEvent(manual.Value));
  EXPECT_EQ(Helper().Ask("wait manual 0"), "timeout");

  EXPECT_TRUE(SetEvent(automatic.Value));
  EXPECT_EQ(Helper().Ask("wait auto 10000"), "object");
  EXPECT_EQ(WaitForSingleObject(automatic.Value, 0), WAIT_TIMEOUT);
}

TEST_F(TNamedObjects, MappingIsSharedBetweenProcesses)
{
  ASSERT_EQ(Helper().Ask("mapping OxaIpc.VANTELPC.Head 300"), "new");
  ASSERT_EQ(Helper().Ask("write OxaIpc.VANTELPC.Head 260 hello"), "ok");
  HANDLE mapping =
      CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 300, "OxaIpc.VANTELPC.Head");
  ASSERT_NE(mapping, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  auto* view = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 301), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 4096, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MAPPED_ALIGNMENT);
  CloseHandle(mapping);  // the view keeps the mapping

  EXPECT_EQ(std::string(view + 260, 5), "hello");
  EXPECT_EQ(view[0], 0) << "new mappings are zero-filled";
  std::memcpy(view + 100, "world", 5);
  EXPECT_EQ(Helper().Ask("read OxaIpc.VANTELPC.Head 100 5"), "world");
  EXPECT_EQ(Helper().Ask("close OxaIpc.VANTELPC.Head"), "ok");
  THandle reopened(OpenFileMappingA(FILE_MAP_READ, FALSE, "OxaIpc.VANTELPC.Head"));
  EXPECT_NE(reopened.Value, nullptr) << "the view keeps the mapping";
  EXPECT_TRUE(UnmapViewOfFile(view));
  EXPECT_FALSE(UnmapViewOfFile(view));
}

TEST_F(TNamedObjects, NamesKeepEveryCharacterAndAnyLength)
{
  const std::string longPath = "OxaIpc.a.//HOST/" + std::string(400, 'D') + "/OXANETMUSIC";
  const std::string names[] = {"a/b/c",
                               "a%2Fb%2Fc",
                               ".",
                               "..",
                               "%",
                               "A",
                               "a",
                               longPath,
                               longPath + "X",
                               std::string("bytes \x01\xFF\\"),
                               std::string(300, '/')};
  std::vector<HANDLE> handles;
  for (const auto& name : names) {
    handles.push_back(CreateMutexA(nullptr, FALSE, name.c_str()));
    ASSERT_NE(handles.back(), nullptr) << name;
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS) << name << " must be a name of its own";
  }
  for (const auto& name : names) {
    HANDLE again = CreateMutexA(nullptr, FALSE, name.c_str());
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS) << name;
    CloseHandle(again);
  }
  EXPECT_EQ(CreateMutexA(nullptr, FALSE, std::string(3000, 'x').c_str()), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
  for (HANDLE handle : handles) {
    CloseHandle(handle);
  }
}

TEST_F(TNamedObjects, NameOfAnotherKindAndStaleHandlesFail)
{
  THandle mutex(CreateMutexA(nullptr, FALSE, "shared-name"));
  EXPECT_EQ(CreateEventA(nullptr, FALSE, FALSE, "shared-name"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(Helper().Ask("event shared-name 0 0"), "error " + std::to_string(ERROR_INVALID_HANDLE));

  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  ASSERT_NE(event, nullptr);
  EXPECT_FALSE(ReleaseMutex(event));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  CloseHandle(event);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(SetEvent(event));
}

TEST_F(TNamedObjects, LeftoverFilesAreNotLiveObjects)
{
  const auto folder = MachineFolder() / "objects";
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "leftover") << "not an object";
  EXPECT_EQ(OpenEventA(SYNCHRONIZE, FALSE, "leftover"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  std::ofstream(folder / "leftover") << "still not an object";
  THandle event(CreateEventA(nullptr, TRUE, TRUE, "leftover"));
  ASSERT_NE(event.Value, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_EQ(WaitForSingleObject(event.Value, 0), WAIT_OBJECT_0);
}

}  // namespace
