#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/core/LastError.h"
#include "platform/core/Time.h"
#include "platform/objects/Synchronization.h"
#include "platform/objects/Threads.h"
#include "platform/windows/Messages.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"

namespace {

// Events closed at the end of the test.
struct TEvents {
  std::vector<HANDLE> Handles;
  explicit TEvents(int count)
  {
    for (int i = 0; i < count; ++i) {
      Handles.push_back(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    }
  }
  ~TEvents()
  {
    for (const HANDLE handle : Handles) {
      CloseHandle(handle);
    }
  }
  TEvents(const TEvents&) = delete;
  TEvents& operator=(const TEvents&) = delete;
};

void DrainQueue()
{
  MSG message{};
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
  }
}

TEST(TMessageWait, ReturnsForTheFirstSignalledObjectOrAWantedMessage)
{
  struct TCase {
    const char* Name;
    std::vector<int> Set;  // events set before the wait
    bool WaitAll;
    bool Posted;
    DWORD Mask;
    DWORD Expected;
  };
  const TCase cases[] = {
      {"nothing", {}, FALSE, false, QS_ALLINPUT, WAIT_TIMEOUT},
      {"the second event", {1}, FALSE, false, QS_ALLINPUT, WAIT_OBJECT_0 + 1},
      {"a posted message", {}, FALSE, true, QS_POSTMESSAGE, WAIT_OBJECT_0 + 2},
      {"a message not asked for", {}, FALSE, true, QS_TIMER, WAIT_TIMEOUT},
      {"one of two, all wanted", {0}, TRUE, false, 0, WAIT_TIMEOUT},
      {"both of two, all wanted", {0, 1}, TRUE, false, 0, WAIT_OBJECT_0},
  };
  for (const auto& c : cases) {
    DrainQueue();
    const TEvents events(2);
    for (const int index : c.Set) {
      SetEvent(events.Handles[static_cast<std::size_t>(index)]);
    }
    if (c.Posted) {
      PostThreadMessageA(GetCurrentThreadId(), WM_USER, 0, 0);
    }
    EXPECT_EQ(MsgWaitForMultipleObjects(2, events.Handles.data(), c.WaitAll, 20, c.Mask), c.Expected)
        << c.Name;
  }
  DrainQueue();
}

TEST(TMessageWait, WakesWhenAnotherThreadSignalsOrPosts)
{
  const TEvents events(1);
  std::thread setter([&] { SetEvent(events.Handles[0]); });
  EXPECT_EQ(MsgWaitForMultipleObjects(1, events.Handles.data(), FALSE, 60000, QS_ALLINPUT), WAIT_OBJECT_0);
  setter.join();
  const DWORD self = GetCurrentThreadId();
  std::thread poster([&] { PostThreadMessageA(self, WM_USER, 0, 0); });
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 60000, QS_POSTMESSAGE), WAIT_OBJECT_0);
  poster.join();
  DrainQueue();
}

DWORD EndAfterAWhile(void*)
{
  Sleep(150);
  return 0;
}

// Each wake-up source arrives 150 ms into an endless wait: the wait must sleep until it comes,
// not look at its objects every few milliseconds (that would be some thirty looks).
TEST(TMessageWait, SleepsUntilAnObjectOrAMessageWakesIt)
{
  const TTempMachine machine;
  TChildProcess other(OXA_PLATFORM_HELPER, {});
  enum class TSource { Event, EventElsewhere, Message, ThreadEnd };
  struct TCase {
    const char* Name;
    TSource Source;
    DWORD Expected;  // the event is handle 0, the ending thread handle 1
  };
  const TCase cases[] = {
      {"an event set by another thread", TSource::Event, WAIT_OBJECT_0},
      {"a named event set by another process", TSource::EventElsewhere, WAIT_OBJECT_0},
      {"a message posted by another thread", TSource::Message, WAIT_OBJECT_0 + 1},
      {"a thread that ends", TSource::ThreadEnd, WAIT_OBJECT_0 + 1},
  };
  for (const auto& c : cases) {
    const TEvents events(1);
    std::vector<HANDLE> handles{events.Handles[0]};
    const DWORD self = GetCurrentThreadId();
    HANDLE ending = nullptr;
    HANDLE named = nullptr;
    std::thread helper;
    switch (c.Source) {
      case TSource::EventElsewhere:
        named = CreateEventA(nullptr, FALSE, FALSE, "OxaWaitTestEvent");
        handles[0] = named;
        helper = std::thread([&] {
          Sleep(150);
          EXPECT_EQ(other.Ask("setevent OxaWaitTestEvent"), "ok");
        });
        break;
      case TSource::Event:
        helper = std::thread([&] {
          Sleep(150);
          SetEvent(events.Handles[0]);
        });
        break;
      case TSource::Message:
        helper = std::thread([&] {
          Sleep(150);
          PostThreadMessageA(self, WM_USER, 0, 0);
        });
        break;
      case TSource::ThreadEnd:
        ending = CreateThread(nullptr, 0, &EndAfterAWhile, nullptr, 0, nullptr);
        handles.push_back(ending);
        break;
    }
    const std::uint64_t before = MessageWaitObjectLooks();
    const DWORD result = MsgWaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE,
                                                   INFINITE, QS_POSTMESSAGE);
    const std::uint64_t looks = MessageWaitObjectLooks() - before;
    EXPECT_EQ(result, c.Expected) << c.Name;
    EXPECT_LE(looks, 3U) << c.Name;
    if (helper.joinable()) {
      helper.join();
    }
    if (ending != nullptr) {
      CloseHandle(ending);
    }
    if (named != nullptr) {
      CloseHandle(named);
    }
    DrainQueue();
  }
}

// Whatever ends the wait for another process to go idle comes 400 ms in: the wait must sleep
// until it comes, not look every 100 ms.
TEST(TMessageWait, InputIdleSleepsUntilTheProcessGoesIdleOrEnds)
{
  const TTempMachine machine;
  enum class TAction { GoIdle, End, Nothing };
  struct TCase {
    const char* Name;
    TAction Action;
    DWORD Timeout;
    DWORD Expected;
  };
  const TCase cases[] = {
      {"goes idle", TAction::GoIdle, INFINITE, 0},
      {"ends", TAction::End, INFINITE, WAIT_FAILED},
      {"neither, until the time-out", TAction::Nothing, 400, WAIT_TIMEOUT},
  };
  for (const auto& c : cases) {
    TChildProcess other(OXA_PLATFORM_HELPER, {});
    ASSERT_EQ(other.Ask("regget Nothing Here"), "missing") << "the helper runs";
    std::thread actor([&] {
      Sleep(400);
      if (c.Action == TAction::GoIdle) {
        EXPECT_EQ(other.Ask("setevent OxaInputIdle." + std::to_string(other.Pid())), "ok");
      } else if (c.Action == TAction::End) {
        other.Kill();
      }
    });
    const std::uint64_t before = MessageWaitObjectLooks();
    EXPECT_EQ(WaitForProcessInputIdle(static_cast<DWORD>(other.Pid()), c.Timeout), c.Expected) << c.Name;
    EXPECT_LE(MessageWaitObjectLooks() - before, 3U) << c.Name;
    actor.join();
  }
}

TEST(TMessageWait, BadArgumentsFail)
{
  std::vector<HANDLE> many(65, nullptr);
  SetLastError(0);
  EXPECT_EQ(MsgWaitForMultipleObjects(65, many.data(), FALSE, 0, QS_ALLINPUT), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  const TEvents events(64);
  EXPECT_EQ(MsgWaitForMultipleObjects(64, events.Handles.data(), FALSE, 0, 0), WAIT_TIMEOUT)
      << "64 is allowed";
  HANDLE bad = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(0x7777));
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &bad, FALSE, 0, QS_ALLINPUT), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(MsgWaitForMultipleObjects(1, nullptr, FALSE, 0, QS_ALLINPUT), WAIT_FAILED);
}

}  // namespace
