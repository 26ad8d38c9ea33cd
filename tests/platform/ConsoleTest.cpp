// The console: the standard pseudo handles and the Ctrl+C handlers, which run on a thread of
// their own, last added first, until one handles the interrupt.
#include "platform/core/Console.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/objects/Threads.h"

namespace {

TEST(Console, OnlyTheThreeStandardNumbersGiveHandles)
{
  for (const DWORD number : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
    EXPECT_NE(GetStdHandle(number), INVALID_HANDLE_VALUE) << number;
  }
  for (const DWORD number : {DWORD{0}, DWORD{1}, static_cast<DWORD>(-9), static_cast<DWORD>(-13)}) {
    EXPECT_EQ(GetStdHandle(number), INVALID_HANDLE_VALUE) << number;
  }
  DWORD mode = 7;
  EXPECT_EQ(GetConsoleMode(INVALID_HANDLE_VALUE, &mode), FALSE);
  EXPECT_EQ(GetConsoleMode(nullptr, &mode), FALSE);
  EXPECT_EQ(mode, 7U);
}

std::atomic<int> calls{0};
std::atomic<DWORD> handlerThread{0};
std::vector<std::string> order;  // written by the handler thread only while a test waits

BOOL Declines(DWORD)
{
  order.push_back("declines");
  ++calls;
  return FALSE;
}

BOOL Handles(DWORD type)
{
  order.push_back(type == CTRL_C_EVENT ? "handles" : "other");
  handlerThread = GetCurrentThreadId();
  ++calls;
  return TRUE;
}

bool WaitForCalls(int count)
{
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (calls < count && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return calls >= count;
}

TEST(Console, CtrlCRunsTheHandlersLastAddedFirstOnAThreadOfTheirOwn)
{
  ASSERT_EQ(SetConsoleCtrlHandler(&Handles, TRUE), TRUE);
  ASSERT_EQ(SetConsoleCtrlHandler(&Declines, TRUE), TRUE);
  calls = 0;
  order.clear();
  raise(SIGINT);
  ASSERT_TRUE(WaitForCalls(2));
  EXPECT_EQ(order, (std::vector<std::string>{"declines", "handles"}));
  EXPECT_NE(handlerThread.load(), GetCurrentThreadId());

  EXPECT_EQ(SetConsoleCtrlHandler(&Declines, FALSE), TRUE);
  EXPECT_EQ(SetConsoleCtrlHandler(&Declines, FALSE), FALSE) << "removed already";
  calls = 0;
  order.clear();
  raise(SIGINT);
  ASSERT_TRUE(WaitForCalls(1));
  EXPECT_EQ(order, std::vector<std::string>{"handles"});
  EXPECT_EQ(SetConsoleCtrlHandler(&Handles, FALSE), TRUE);
}

}  // namespace
