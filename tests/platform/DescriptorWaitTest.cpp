#include "platform/objects/DescriptorWait.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using TClock = std::chrono::steady_clock;

void Ignore(int) {}

// Interrupts the given thread's system calls with a signal every few milliseconds until it ends.
class TSignalRain {
 public:
  explicit TSignalRain(pthread_t target) : FTarget(target)
  {
    struct sigaction action {};
    action.sa_handler = Ignore;  // no SA_RESTART: each signal interrupts poll with EINTR
    sigemptyset(&action.sa_mask);
    sigaction(SIGUSR2, &action, &FBefore);
    FThread = std::thread([this] {
      while (!FStop) {
        pthread_kill(FTarget, SIGUSR2);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    });
  }
  ~TSignalRain()
  {
    FStop = true;
    FThread.join();
    sigaction(SIGUSR2, &FBefore, nullptr);
  }
  TSignalRain(const TSignalRain&) = delete;
  TSignalRain& operator=(const TSignalRain&) = delete;

 private:
  pthread_t FTarget;
  struct sigaction FBefore {};
  std::atomic<bool> FStop{false};
  std::thread FThread;
};

// Signals arriving all through a wait neither end it early nor start its time-out again: it
// ends once, when its own time is up (a restarted time-out would never end under the rain).
TEST(TDescriptorWaitTest, SignalsDuringAWaitKeepItsDeadline)
{
  TDescriptorWait wait;
  const TSignalRain rain(pthread_self());
  for (const int timeout : {0, 1, 60}) {
    SCOPED_TRACE(timeout);
    const auto start = TClock::now();
    EXPECT_EQ(wait.Wait(-1, TDescriptorWait::Readable, timeout), TWaitOutcome::TimedOut);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - start).count();
    EXPECT_GE(took, timeout);
    EXPECT_LT(took, timeout + 2000);
  }
}

TEST(TDescriptorWaitTest, AReadyDescriptorAndAWakeEndTheWaitUnderSignals)
{
  TDescriptorWait wait;
  const TSignalRain rain(pthread_self());
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  std::thread writer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ASSERT_EQ(write(pipeEnds[1], "x", 1), 1);
  });
  EXPECT_EQ(wait.Wait(pipeEnds[0], TDescriptorWait::Readable, -1), TWaitOutcome::Ready);
  writer.join();
  std::thread waker([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    wait.Wake();
  });
  EXPECT_EQ(wait.Wait(-1, TDescriptorWait::Readable, -1), TWaitOutcome::Woken);
  waker.join();
  close(pipeEnds[0]);
  close(pipeEnds[1]);
}

}  // namespace
