#include "framework/OxaTimer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/OxaUtils.h"
#include "platform/objects/Threads.h"
#include "rtl/Thread.h"
#include "tests/support/MessagePump.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TraceCapture.h"

namespace {

enum class TMode { Window, Threaded };

// An object that asks for callbacks and writes down which fired, on which thread.
class TClient : public TOxaObject {
 public:
  explicit TClient(std::vector<int>& fired) : FFired(fired) {}

  TOxaTimerEvent Event() { return MakeMethod<&TClient::Fire>(this); }
  TOxaTimerEvent OtherEvent() { return MakeMethod<&TClient::FireOther>(this); }

  void Fire(TOxaTimer* sender, std::int32_t value, std::uint64_t)
  {
    FFired.push_back(value);
    OnUiThread = OnUiThread && GetCurrentThreadId() == TThread::MainThreadID();
    if (Then) {
      Then(*sender, value);
    }
  }
  void FireOther(TOxaTimer* sender, std::int32_t value, std::uint64_t dueTime)
  {
    Fire(sender, -value, dueTime);
  }

  std::function<void(TOxaTimer&, std::int32_t)> Then;
  bool OnUiThread = true;

 private:
  std::vector<int>& FFired;
};

class TOxaTimerTest : public ::testing::TestWithParam<TMode> {
 protected:
  void SetUp() override
  {
    FTimer = std::make_unique<TOxaTimer>(nullptr);
    FTimer->SetThreaded(GetParam() == TMode::Threaded);
    FClient = std::make_unique<TClient>(FFired);
  }
  void TearDown() override
  {
    FClient.reset();
    FTimer.reset();
  }
  void Add(std::int32_t value, std::int64_t dueIn)
  {
    FTimer->AddTimer(&FClient->Objects(), value, FClient->Event(),
                     static_cast<std::uint64_t>(static_cast<std::int64_t>(GetTickCount64()) + dueIn));
  }
  bool WaitForFired(std::size_t count)
  {
    return PumpUntil([&] { return FFired.size() >= count; });
  }

  TTempMachine FMachine;
  std::vector<int> FFired;
  std::unique_ptr<TOxaTimer> FTimer;
  std::unique_ptr<TClient> FClient;
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Modes, TOxaTimerTest, ::testing::Values(TMode::Window, TMode::Threaded),
                         [](const auto& info) {
                           return info.param == TMode::Window ? "Window" : "Threaded";
                         });

TEST_P(TOxaTimerTest, ItemsFireInDueOrderAndTiesInTheOrderAdded)
{
  const std::uint64_t base = GetTickCount64() + 30;
  struct TCase {
    std::int32_t Value;
    std::uint64_t Due;
  };
  const TCase cases[] = {{1, base + 10}, {2, base},      {3, base + 10}, {4, base - 20},
                         {5, base},      {6, base + 10}, {7, base}};
  for (const auto& c : cases) {
    FTimer->AddTimer(&FClient->Objects(), c.Value, FClient->Event(), c.Due);
  }
  ASSERT_TRUE(WaitForFired(7));
  EXPECT_EQ(FFired, (std::vector<int>{4, 2, 5, 7, 1, 3, 6}));
  EXPECT_TRUE(FClient->OnUiThread);
  EXPECT_EQ(FTimer->Count(), 0);
  EXPECT_EQ(FClient->Objects().Count(), 0);
}

TEST_P(TOxaTimerTest, AnItemAddedByACallbackWaitsForTheNextPass)
{
  Add(1, -10);
  Add(3, -5);  // due later than the one added below, yet fires first: it was there already
  FClient->Then = [&](TOxaTimer& timer, std::int32_t value) {
    if (value == 1) {
      timer.AddTimer(&FClient->Objects(), 2, FClient->Event(), GetTickCount64() - 8);
    }
  };
  ASSERT_TRUE(WaitForFired(3));
  EXPECT_EQ(FFired, (std::vector<int>{1, 3, 2}));
}

TEST_P(TOxaTimerTest, FreeingTheOwnerCancelsItsCallbacks)
{
  auto doomed = std::make_unique<TClient>(FFired);
  FTimer->AddTimer(&doomed->Objects(), 99, doomed->Event(), GetTickCount64() + 10);
  FTimer->AddTimer(&doomed->Objects(), 98, doomed->OtherEvent(), GetTickCount64());
  EXPECT_TRUE(FTimer->HasTimer(doomed->Event()));
  FreeObject(doomed.release());
  EXPECT_EQ(FTimer->Count(), 0);
  Add(1, 40);
  ASSERT_TRUE(WaitForFired(1));
  EXPECT_EQ(FFired, std::vector<int>{1});
}

TEST_P(TOxaTimerTest, CancellingTakesEveryItemOfThatCallbackOnly)
{
  TClient other(FFired);
  const std::uint64_t due = GetTickCount64() + 20;
  FTimer->AddTimer(&FClient->Objects(), 1, FClient->Event(), due);
  FTimer->AddTimer(&FClient->Objects(), 2, FClient->OtherEvent(), due);
  FTimer->AddTimer(nullptr, 3, FClient->Event(), due + 1);
  FTimer->AddTimer(&other.Objects(), 4, other.Event(), due + 2);
  struct TCase {
    TOxaTimerEvent Callback;
    bool Has;
  };
  const TCase before[] = {{FClient->Event(), true},
                          {FClient->OtherEvent(), true},
                          {other.Event(), true},
                          {other.OtherEvent(), false}};
  for (const auto& c : before) {
    EXPECT_EQ(FTimer->HasTimer(c.Callback), c.Has);
  }
  FTimer->CancelTimers(FClient->Event());
  EXPECT_FALSE(FTimer->HasTimer(FClient->Event()));
  EXPECT_TRUE(FTimer->HasTimer(other.Event()));
  EXPECT_EQ(FTimer->Count(), 2);
  EXPECT_EQ(FClient->Objects().Count(), 1);
  ASSERT_TRUE(WaitForFired(2));
  EXPECT_EQ(FFired, (std::vector<int>{-2, 4}));
}

TEST_P(TOxaTimerTest, ARaisingCallbackIsReportedAndTheRestStillFire)
{
  TTraceCapture trace;
  FClient->Then = [](TOxaTimer&, std::int32_t value) {
    if (value == 1) {
      throw EOxaFailed("callback failed");
    }
  };
  Add(1, 0);
  Add(2, 0);
  Add(3, 30);
  testing::internal::CaptureStderr();
  const bool fired = WaitForFired(3);
  const std::string errors = testing::internal::GetCapturedStderr();
  ASSERT_TRUE(fired);
  EXPECT_EQ(FFired, (std::vector<int>{1, 2, 3}));
  EXPECT_NE(errors.find("Exceptioncallback failed"), std::string::npos);
  EXPECT_TRUE(trace.Contains("Exceptioncallback failed"));
  // The nesting count came back to 0: the next item is armed and fires.
  Add(4, 5);
  ASSERT_TRUE(WaitForFired(4));
}

TEST_P(TOxaTimerTest, SwitchingModesWithItemsPendingNeverStalls)
{
  Add(1, 0);
  Add(2, 15);
  Add(3, 40);
  const bool start = FTimer->Threaded();
  for (int i = 0; i < 4; ++i) {
    FTimer->SetThreaded(!FTimer->Threaded());
    EXPECT_EQ(FTimer->HasWorker(), FTimer->Threaded());
    if (FTimer->Threaded()) {
      EXPECT_FALSE(FTimer->Posted());
      EXPECT_EQ(FTimer->SystemTimer(), 0U);
    }
  }
  EXPECT_EQ(FTimer->Threaded(), start);
  ASSERT_TRUE(WaitForFired(3));
  EXPECT_EQ(FFired, (std::vector<int>{1, 2, 3}));
  EXPECT_TRUE(FClient->OnUiThread);
}

TEST_P(TOxaTimerTest, ACallbackMaySwitchTheModeOfItsOwnTimer)
{
  FClient->Then = [](TOxaTimer& timer, std::int32_t value) {
    if (value < 3) {
      timer.SetThreaded(!timer.Threaded());
    }
  };
  Add(1, 0);
  Add(2, 10);
  Add(3, 20);
  ASSERT_TRUE(WaitForFired(3));
  EXPECT_EQ(FFired, (std::vector<int>{1, 2, 3}));
}

TEST_P(TOxaTimerTest, FreeingTheTimerFreesItsItems)
{
  Add(1, 1000);
  Add(2, 2000);
  EXPECT_EQ(FClient->Objects().Count(), 2);
  FTimer.reset();
  EXPECT_EQ(FClient->Objects().Count(), 0);
}

TEST(OxaTimer, ItemsDueWithinFiveMillisecondsArePostedOthersGetAWindowTimer)
{
  TTempMachine machine;
  std::vector<int> fired;
  TClient client(fired);
  TOxaTimer timer(nullptr);
  struct TCase {
    std::int64_t DueIn;
    bool Posted;
  };
  // A cancelled posted message is still on its way; its pass finds nothing to fire.
  const auto cancel = [&] {
    timer.CancelTimers(client.Event());
    return PumpUntil([&] { return !timer.Posted(); });
  };
  const TCase cases[] = {{-100, true}, {0, true}, {3, true}, {5, true}, {6, false}, {1000, false}};
  for (const auto& c : cases) {
    // The decision reads the clock again: take a reading that did not move meanwhile. A try whose
    // clock moved may have posted, so its message is let through before the next try.
    for (;;) {
      const std::uint64_t now = GetTickCount64();
      timer.AddTimer(&client.Objects(), 0, client.Event(),
                     static_cast<std::uint64_t>(static_cast<std::int64_t>(now) + c.DueIn));
      if (GetTickCount64() == now) {
        break;
      }
      ASSERT_TRUE(cancel());
    }
    EXPECT_EQ(timer.Posted(), c.Posted) << c.DueIn;
    EXPECT_EQ(timer.SystemTimer() != 0, !c.Posted) << c.DueIn;
    ASSERT_TRUE(cancel());
  }
  EXPECT_TRUE(fired.empty());
}

TEST(OxaTimer, ThreadedValueIsHeldBackWhileLoading)
{
  class TLoadingTimer : public TOxaTimer {
   public:
    TLoadingTimer() : TOxaTimer(nullptr) {}
    void StartLoading() { SetComponentState(ComponentState() | csLoading); }
    void FinishLoading() { Loaded(); }
  };
  TTempMachine machine;
  std::vector<int> fired;
  TClient client(fired);
  TLoadingTimer timer;
  timer.AddTimer(&client.Objects(), 1, client.Event(), GetTickCount64() + 1000);
  timer.StartLoading();
  timer.SetThreaded(true);
  EXPECT_FALSE(timer.HasWorker());
  EXPECT_NE(timer.SystemTimer(), 0U);
  timer.FinishLoading();
  EXPECT_TRUE(timer.HasWorker());
  EXPECT_EQ(timer.SystemTimer(), 0U);
}
