#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "platform/objects/Threads.h"
#include "rtl/Exception.h"
#include "rtl/SyncObjs.h"
#include "rtl/Thread.h"

namespace {

// Counts until terminated; optionally raises, or synchronizes a step onto the main thread.
class TCountingThread : public TThread {
 public:
  enum class TMode { Count, Raise, SynchronizeStep, SynchronizeRaise };

  TCountingThread(bool createSuspended, TMode mode) : TThread(createSuspended), Mode(mode) {}
  ~TCountingThread() override { TerminateAndWait(); }

  const TMode Mode;
  std::atomic<int> Steps{0};
  std::atomic<bool> Started{false};
  DWORD SynchronizedOn = 0;

 protected:
  void Execute() override
  {
    Started = true;
    switch (Mode) {
      case TMode::Count:
        while (!Terminated()) {
          ++Steps;
          std::this_thread::yield();
        }
        ReturnValue = 7;
        break;
      case TMode::Raise:
        throw Exception("worker failed");
      case TMode::SynchronizeStep:
        Synchronize([this] { SynchronizedOn = GetCurrentThreadId(); });
        ReturnValue = 3;
        break;
      case TMode::SynchronizeRaise:
        Synchronize([] { throw Exception("raised on the main thread"); });
        break;
    }
  }
};

using TMode = TCountingThread::TMode;

TEST(TThreadTest, SuspendedThreadRunsOnlyAfterStart)
{
  auto thread = TThread::New<TCountingThread>(true, TMode::Count);
  EXPECT_TRUE(thread->Suspended());
  EXPECT_FALSE(thread->Started);
  thread->Start();
  while (thread->Steps == 0) {
    std::this_thread::yield();
  }
  thread->Terminate();
  EXPECT_EQ(thread->WaitFor(), 7U);
  EXPECT_TRUE(thread->Finished());
  EXPECT_NE(thread->ThreadID(), TThread::MainThreadID());
}

TEST(TThreadTest, NeverStartedThreadDoesNotRun)
{
  auto thread = TThread::New<TCountingThread>(true, TMode::Count);
  thread.reset();  // no Execute, no hang
}

TEST(TThreadTest, SynchronizeRunsOnTheMainThreadWhileItWaits)
{
  auto thread = TThread::New<TCountingThread>(false, TMode::SynchronizeStep);
  EXPECT_EQ(thread->WaitFor(), 3U);
  EXPECT_EQ(thread->SynchronizedOn, TThread::MainThreadID());
  EXPECT_EQ(TThread::MainThreadID(), GetCurrentThreadId());
}

TEST(TThreadTest, FailuresReachTheOwner)
{
  for (const auto mode : {TMode::Raise, TMode::SynchronizeRaise}) {
    auto thread = TThread::New<TCountingThread>(false, mode);
    thread->WaitFor();
    ASSERT_TRUE(thread->FatalException());
    EXPECT_THROW(std::rethrow_exception(thread->FatalException()), Exception);
  }
}

TEST(TThreadTest, OnTerminateRunsOnTheMainThread)
{
  struct TObserver : TObject {
    DWORD CalledOn = 0;
    void Terminated(TObject*) { CalledOn = GetCurrentThreadId(); }
  } observer;
  auto thread = TThread::New<TCountingThread>(true, TMode::Count);
  thread->OnTerminate = MakeMethod<&TObserver::Terminated>(&observer);
  thread->Start();
  thread->Terminate();
  thread->WaitFor();
  EXPECT_EQ(observer.CalledOn, TThread::MainThreadID());
}

TEST(TThreadTest, PrioritiesAreKept)
{
  auto thread = TThread::New<TCountingThread>(true, TMode::Count);
  const std::pair<TThreadPriority, int> table[] = {
      {TThreadPriority::tpIdle, THREAD_PRIORITY_IDLE},
      {TThreadPriority::tpLowest, THREAD_PRIORITY_LOWEST},
      {TThreadPriority::tpNormal, THREAD_PRIORITY_NORMAL},
      {TThreadPriority::tpTimeCritical, THREAD_PRIORITY_TIME_CRITICAL}};
  for (const auto& [priority, value] : table) {
    thread->SetPriority(priority);
    EXPECT_EQ(thread->Priority(), priority);
    EXPECT_EQ(GetThreadPriority(thread->Handle()), value);
  }
  thread->Start();
}

TEST(TCriticalSectionTest, OwnerMayEnterAgainOthersWait)
{
  TCriticalSection section;
  section.Enter();
  EXPECT_TRUE(section.TryEnter());
  bool otherGotIn = true;
  std::thread other([&] { otherGotIn = section.TryEnter(); });
  other.join();
  EXPECT_FALSE(otherGotIn);
  section.Leave();
  section.Leave();
  std::thread after([&] {
    otherGotIn = section.TryEnter();
    if (otherGotIn) {
      section.Leave();
    }
  });
  after.join();
  EXPECT_TRUE(otherGotIn);
}

}  // namespace
