#include "framework/OxaSync.h"

#include "rtl/OSError.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"

namespace {

// Whether a second object (as another thread would hold) gets the mutex at once.
bool FreeForOthers(const std::string& name)
{
  bool result = false;
  std::thread other([&] {
    TOxaMutex mutex;
    bool existed = false;
    mutex.Open(name, existed);
    result = mutex.Lock(0);
  });
  other.join();
  return result;
}

template <class E>
void ExpectRaises(const std::function<void()>& call, const std::string& text)
{
  try {
    call();
    ADD_FAILURE() << "no exception, expected " << text;
  } catch (const E& e) {
    EXPECT_EQ(e.Message(), text);
  }
}

TEST(TOxaMutex, OpenTellsWhetherTheMutexExisted)
{
  const TTempMachine machine;
  TOxaMutex first;
  TOxaMutex second;
  bool existed = true;
  first.Open("OxaTest.Mutex", existed);
  EXPECT_FALSE(existed);
  second.Open("OxaTest.Mutex", existed);
  EXPECT_TRUE(existed);
  ExpectRaises<EOxaAlreadyOpen>([&] { second.Open("OxaTest.Mutex", existed); }, "Already open");
  TOxaMutex unnamed;
  unnamed.Open("", existed);
  EXPECT_FALSE(existed);
}

TEST(TOxaMutex, LockCountBelongsToTheObject)
{
  const TTempMachine machine;
  TOxaMutex mutex;
  bool existed = false;
  mutex.Open("OxaTest.Count", existed);
  EXPECT_FALSE(mutex.Locked());
  ASSERT_TRUE(mutex.Lock(INFINITE));
  ASSERT_TRUE(mutex.Lock(0)) << "a second lock of the same object does not wait";
  EXPECT_FALSE(FreeForOthers("OxaTest.Count"));
  mutex.Unlock();
  EXPECT_TRUE(mutex.Locked());
  EXPECT_FALSE(FreeForOthers("OxaTest.Count")) << "one unlock of two keeps the mutex";
  mutex.Unlock();
  EXPECT_FALSE(mutex.Locked());
  EXPECT_TRUE(FreeForOthers("OxaTest.Count"));
  ExpectRaises<EOxaNotLocked>([&] { mutex.Unlock(); }, "Not locked");
}

TEST(TOxaMutex, CloseUnlocksWhateverTheCount)
{
  const TTempMachine machine;
  TOxaMutex holder;
  TOxaMutex keeper;  // keeps the named mutex alive after the holder closes
  bool existed = false;
  holder.Open("OxaTest.Close", existed);
  keeper.Open("OxaTest.Close", existed);
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(holder.Lock(INFINITE));
  }
  holder.Close();
  EXPECT_FALSE(holder.Locked());
  EXPECT_TRUE(holder.Name().empty());
  EXPECT_TRUE(FreeForOthers("OxaTest.Close"));
  holder.Open("OxaTest.Close", existed);
  EXPECT_TRUE(existed) << "closed objects can be opened again";
}

TEST(TOxaMutex, ClosedMutexRaisesNotOpen)
{
  TOxaMutex mutex;
  ExpectRaises<EOxaNotOpen>([&] { mutex.Lock(0); }, "Not open");
  ExpectRaises<EOxaNotLocked>([&] { mutex.Unlock(); }, "Not locked");
  mutex.Close();
}

TEST(TOxaMutex, SystemFailureRaisesTheSystemError)
{
  const TTempMachine machine;
  TOxaEvent event;
  bool existed = false;
  event.Open("OxaTest.Taken", false, existed, false);
  TOxaMutex mutex;
  try {
    mutex.Open("OxaTest.Taken", existed);
    ADD_FAILURE() << "a mutex under an event's name";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode(), 6u);  // ERROR_INVALID_HANDLE
  }
  EXPECT_FALSE(mutex.IsOpen());
}

TEST(TOxaMutex, LockLeftByAnEndedThreadIsAcquiredAsAbandoned)
{
  const TTempMachine machine;
  TOxaMutex mine;
  TOxaMutex theirs;
  bool existed = false;
  mine.Open("OxaTest.Abandoned", existed);
  theirs.Open("OxaTest.Abandoned", existed);
  std::thread([&] { ASSERT_TRUE(theirs.Lock(INFINITE)); }).join();
  ASSERT_TRUE(mine.Lock(INFINITE));
  EXPECT_TRUE(mine.Abandoned());
  ASSERT_TRUE(mine.Lock(INFINITE));
  EXPECT_TRUE(mine.Abandoned()) << "a nested lock does not acquire again";
  mine.Unlock();
  mine.Unlock();
  ASSERT_TRUE(mine.Lock(INFINITE));
  EXPECT_FALSE(mine.Abandoned()) << "a normal acquisition clears it";
}

TEST(TOxaMutex, LockLeftByAKilledProcessIsAcquiredAsAbandoned)
{
  const TTempMachine machine;
  TChildProcess helper(OXA_MEMORY_HELPER, {});
  ASSERT_EQ(helper.Ask("mutex OxaTest.Killed"), "ok");
  ASSERT_EQ(helper.Ask("hold"), "held");
  TOxaMutex mutex;
  bool existed = false;
  mutex.Open("OxaTest.Killed", existed);
  EXPECT_FALSE(mutex.Lock(0));
  helper.Kill();
  ASSERT_TRUE(mutex.Lock(INFINITE));
  EXPECT_TRUE(mutex.Abandoned());
}

TEST(TOxaEvent, ResetFollowsTheKindOfEvent)
{
  const TTempMachine machine;
  struct TCase {
    bool ManualReset, InitialState;
    std::vector<bool> Waits;  // after SetEvent (or the initial state): three polls
  };
  const TCase cases[] = {
      {false, false, {true, false, false}},
      {true, false, {true, true, true}},
      {false, true, {true, false, false}},
  };
  int index = 0;
  for (const auto& c : cases) {
    TOxaEvent event;
    bool existed = true;
    event.Open("OxaTest.Event" + std::to_string(index++), c.ManualReset, existed, c.InitialState);
    EXPECT_FALSE(existed);
    if (!c.InitialState) {
      EXPECT_FALSE(event.Wait(0));
      event.SetEvent();
    }
    std::vector<bool> waits;
    for (int i = 0; i < 3; ++i) {
      waits.push_back(event.Wait(0));
    }
    EXPECT_EQ(waits, c.Waits) << c.ManualReset << c.InitialState;
  }
}

TEST(TOxaEvent, SetInOneObjectWakesAWaitInAnother)
{
  const TTempMachine machine;
  TOxaEvent waiter;
  TOxaEvent setter;
  bool existed = false;
  waiter.Open("OxaTest.Wake", false, existed, false);
  setter.Open("OxaTest.Wake", false, existed, false);
  EXPECT_TRUE(existed);
  std::thread other([&] { setter.SetEvent(); });
  EXPECT_TRUE(waiter.Wait(INFINITE));
  other.join();
}

TEST(TOxaEvent, ClosedOrOpenTwiceRaisesItsText)
{
  const TTempMachine machine;
  TOxaEvent event;
  ExpectRaises<EOxaNotOpen>([&] { event.SetEvent(); }, "Not open");
  ExpectRaises<EOxaNotOpen>([&] { event.Wait(0); }, "Not open");
  bool existed = false;
  event.Open("", true, existed, false);
  ExpectRaises<EOxaAlreadyOpen>([&] { event.Open("", true, existed, false); }, "Already open");
  event.Close();
  ExpectRaises<EOxaNotOpen>([&] { event.Wait(0); }, "Not open");
}

TEST(TOxaEvent, OpenExistingFindsOnlyALiveEvent)
{
  const TTempMachine machine;
  TOxaEvent probe;
  EXPECT_FALSE(probe.OpenExisting("OxaTest.Existing")) << "none made yet";
  EXPECT_FALSE(probe.IsOpen());
  TOxaEvent holder;
  bool existed = false;
  holder.Open("OxaTest.Existing", true, existed, false);
  ASSERT_TRUE(probe.OpenExisting("OxaTest.Existing"));
  ExpectRaises<EOxaAlreadyOpen>([&] { probe.OpenExisting("OxaTest.Existing"); }, "Already open");
  probe.SetEvent();
  EXPECT_TRUE(holder.Wait(0)) << "the same event";
  probe.Close();
  holder.Close();
  EXPECT_FALSE(probe.OpenExisting("OxaTest.Existing")) << "gone with its last holder";
}

}  // namespace
