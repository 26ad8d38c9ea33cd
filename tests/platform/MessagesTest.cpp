#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <future>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/core/FaultInjection.h"
#include "platform/core/LastError.h"
#include "platform/core/Machine.h"
#include "platform/windows/Messages.h"
#include "platform/windows/Windows.h"
#include "tests/support/TempFolder.h"

namespace {

// What the test windows saw, in order: "<message> <window tag>".
thread_local std::vector<std::string>* journal = nullptr;

LRESULT JournalProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  const auto tag = std::to_string(GetWindowLongPtrA(window, GWLP_ID));
  switch (message) {
    case WM_NCCREATE:
      if (journal != nullptr) {
        journal->push_back("nccreate " + tag);
      }
      return TRUE;
    case WM_CREATE: {
      const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
      if (journal != nullptr) {
        journal->push_back("create " + tag);
      }
      return 0;
    }
    case WM_DESTROY:
    case WM_NCDESTROY:
      if (journal != nullptr) {
        journal->push_back((message == WM_DESTROY ? "destroy " : "ncdestroy ") + tag);
      }
      return 0;
    case WM_USER:
      if (journal != nullptr) {
        journal->push_back("user " + std::to_string(wParam) + (InSendMessage() ? " sent" : ""));
      }
      return static_cast<LRESULT>(wParam) * 2;
    case WM_USER + 1:
      // Answers at once, then keeps its thread busy until told to stop.
      ReplyMessage(42);
      reinterpret_cast<std::promise<void>*>(lParam)->get_future().wait();
      return 0;
    case WM_TIMER:
      if (journal != nullptr) {
        journal->push_back("timer " + std::to_string(wParam));
      }
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

class TMessages : public ::testing::Test {
 protected:
  void SetUp() override
  {
    journal = &FJournal;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = JournalProc;
    windowClass.lpszClassName = "JournalWindow";
    RegisterClassA(&windowClass);
  }
  void TearDown() override { journal = nullptr; }

  HWND Create(int tag, HWND parent = nullptr, void* param = nullptr)
  {
    return CreateWindowExA(WS_EX_TOOLWINDOW, "journalwindow", "", WS_POPUP, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<std::intptr_t>(tag)), nullptr, param);
  }

  // Retrieves and dispatches until the queue is empty.
  void Pump()
  {
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      DispatchMessageA(&message);
    }
  }

  TTempMachine FMachine;
  std::vector<std::string> FJournal;
};

TEST_F(TMessages, WindowsLiveFromCreationToDestruction)
{
  int param = 0;
  const HWND parent = Create(1, nullptr, &param);
  ASSERT_NE(parent, nullptr);
  const HWND child = Create(2, parent);
  const HWND message = Create(3, HWND_MESSAGE);
  ASSERT_NE(child, nullptr);
  ASSERT_NE(message, nullptr);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(parent) >> 32, 0U) << "handles fit in 32 bits";
  EXPECT_EQ(GetWindowLongPtrA(parent, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&param));
  EXPECT_EQ(GetWindowLongPtrA(parent, GWL_EXSTYLE), static_cast<LONG_PTR>(WS_EX_TOOLWINDOW));
  EXPECT_EQ(GetWindowLongPtrA(parent, GWL_STYLE), static_cast<LONG_PTR>(WS_POPUP));
  EXPECT_EQ(GetParent(child), parent);
  DWORD process = 0;
  EXPECT_NE(GetWindowThreadProcessId(parent, &process), 0U);
  EXPECT_EQ(process, static_cast<DWORD>(getpid()));

  EXPECT_TRUE(DestroyWindow(parent));
  EXPECT_FALSE(IsWindow(parent));
  EXPECT_FALSE(IsWindow(child));
  EXPECT_TRUE(IsWindow(message));
  const std::vector<std::string> expected = {"nccreate 1",  "create 1",   "nccreate 2", "create 2",
                                             "nccreate 3",  "create 3",   "destroy 1",  "destroy 2",
                                             "ncdestroy 2", "ncdestroy 1"};
  EXPECT_EQ(FJournal, expected);

  // A destroyed window's handle stays dead.
  EXPECT_FALSE(PostMessageA(parent, WM_USER, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  DWORD_PTR result = 7;
  EXPECT_EQ(SendMessageTimeoutA(child, WM_USER, 1, 0, SMTO_NORMAL, 100, &result), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_EQ(GetWindowLongPtrA(parent, GWLP_USERDATA), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_FALSE(DestroyWindow(parent));
  const HWND next = Create(4);
  EXPECT_NE(next, parent);
  DestroyWindow(next);
  DestroyWindow(message);
}

TEST_F(TMessages, ClassesAndCreationFailures)
{
  WNDCLASSA again{};
  again.lpfnWndProc = DefWindowProcA;
  again.lpszClassName = "JOURNALWINDOW";
  EXPECT_EQ(RegisterClassA(&again), 0);
  EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);
  EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr),
            nullptr);
  EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);
  const HWND bogusParent = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x12345678));
  EXPECT_EQ(Create(1, bogusParent), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  WNDCLASSA info{};
  EXPECT_TRUE(GetClassInfoA(nullptr, "journalWINDOW", &info));
  EXPECT_EQ(info.lpfnWndProc, &JournalProc);
}

TEST_F(TMessages, MessagesComeInWin32Order)
{
  const HWND window = Create(1);
  ASSERT_TRUE(SetTimer(window, 9, 10, nullptr));
  ASSERT_TRUE(PostMessageA(window, WM_USER, 1, 0));
  ASSERT_TRUE(PostMessageA(window, WM_USER, 2, 0));
  PostQuitMessage(5);
  ASSERT_TRUE(PostMessageA(nullptr, WM_USER + 7, 3, 0));
  std::thread sender([window] { EXPECT_EQ(SendMessageA(window, WM_USER, 21, 0), 42); });
  while ((GetQueueStatus(QS_SENDMESSAGE) >> 16) == 0) {
    std::this_thread::yield();
  }
  // The sent message is handled inside the first GetMessageA, before any posted one.
  MSG message{};
  std::vector<std::string> seen;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    seen.push_back(std::to_string(message.message - WM_USER) + ":" + std::to_string(message.wParam));
    DispatchMessageA(&message);
    if (seen.size() == 3) {
      break;
    }
  }
  sender.join();
  EXPECT_EQ(FJournal.front(), "nccreate 1");
  const std::vector<std::string> expectedSeen = {"0:1", "0:2", "7:3"};
  EXPECT_EQ(seen, expectedSeen);
  EXPECT_EQ(GetMessageA(&message, nullptr, 0, 0), FALSE);
  EXPECT_EQ(message.message, WM_QUIT);
  EXPECT_EQ(message.wParam, 5U);
  // Only the timer is left.
  ASSERT_EQ(GetMessageA(&message, nullptr, 0, 0), TRUE);
  EXPECT_EQ(message.message, WM_TIMER);
  EXPECT_EQ(message.wParam, 9U);
  const std::vector<std::string> expectedJournal = {"nccreate 1", "create 1", "user 21 sent", "user 1",
                                                    "user 2"};
  EXPECT_EQ(FJournal, expectedJournal);
  DestroyWindow(window);
}

TEST_F(TMessages, TimersFireInOrderOfDueTime)
{
  const HWND window = Create(1);
  static std::vector<UINT_PTR> procedureCalls;
  procedureCalls.clear();
  const TIMERPROC procedure = [](HWND, UINT, UINT_PTR id, DWORD) { procedureCalls.push_back(id); };
  ASSERT_EQ(SetTimer(window, 1, 90, nullptr), 1U);
  ASSERT_EQ(SetTimer(window, 2, 10, nullptr), 2U);
  ASSERT_EQ(SetTimer(window, 3, 50, procedure), 3U);
  std::vector<UINT_PTR> order;
  MSG message{};
  while (order.size() < 3 && GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_TIMER && std::find(order.begin(), order.end(), message.wParam) == order.end()) {
      order.push_back(message.wParam);
    }
    DispatchMessageA(&message);
  }
  const std::vector<UINT_PTR> expected = {2, 3, 1};
  EXPECT_EQ(order, expected);
  ASSERT_FALSE(procedureCalls.empty());
  EXPECT_EQ(procedureCalls.front(), 3U);
  EXPECT_TRUE(KillTimer(window, 1));
  EXPECT_TRUE(KillTimer(window, 2));
  EXPECT_FALSE(KillTimer(window, 1));
  DestroyWindow(window);
  EXPECT_FALSE(KillTimer(window, 3)) << "timers die with their window";
  EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
}

TEST_F(TMessages, PostFromAnotherThreadWakesTheLoop)
{
  const HWND window = Create(1);
  std::thread poster([window] {
    for (WPARAM i = 1; i <= 100; ++i) {
      PostMessageA(window, WM_USER, i, 0);
    }
  });
  MSG message{};
  WPARAM expected = 1;
  while (expected <= 100 && GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_USER) {
      EXPECT_EQ(message.wParam, expected);
      ++expected;
    }
  }
  poster.join();
  EXPECT_EQ(expected, 101U);
  DestroyWindow(window);
}

TEST_F(TMessages, SendsToOtherThreadsAnswerOrFail)
{
  std::promise<HWND> created;
  std::promise<void> release;
  std::promise<void> quit;
  std::thread owner([&] {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = JournalProc;
    windowClass.lpszClassName = "JournalWindow";
    RegisterClassA(&windowClass);
    const HWND window =
        CreateWindowExA(0, "JournalWindow", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    created.set_value(window);
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
      DispatchMessageA(&message);
    }
    quit.get_future().wait();  // hung: never looks at its queue again
  });
  const HWND window = created.get_future().get();

  DWORD_PTR result = 0;
  EXPECT_NE(SendMessageTimeoutA(window, WM_USER, 4, 0, SMTO_NORMAL, 10000, &result), 0);
  EXPECT_EQ(result, 8U);
  // ReplyMessage lets the sender go on while the procedure still runs.
  EXPECT_NE(SendMessageTimeoutA(window, WM_USER + 1, 0, reinterpret_cast<LPARAM>(&release), SMTO_BLOCK, 10000,
                                &result),
            0);
  EXPECT_EQ(result, 42U);
  EXPECT_EQ(SendMessageTimeoutA(window, WM_USER, 1, 0, SMTO_NORMAL, 50, &result), 0);
  EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
  release.set_value();
  PostThreadMessageA(GetWindowThreadProcessId(window, nullptr), WM_QUIT, 0, 0);
  quit.set_value();
  owner.join();
  // The owner thread ended: its window went with it, and sends fail at once.
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(SendMessageA(window, WM_USER, 1, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_FALSE(PostThreadMessageA(0x7FFFFFF, WM_USER, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_THREAD_ID);
}

TEST_F(TMessages, RegisteredMessagesAreStablePerName)
{
  const UINT notify = RegisterWindowMessageA("WM_OXAIPC_NOTIFY");
  const UINT call = RegisterWindowMessageA("WM_OXAIPC_CALL");
  EXPECT_GE(notify, 0xC000U);
  EXPECT_LE(notify, 0xFFFFU);
  EXPECT_NE(notify, call);
  EXPECT_EQ(RegisterWindowMessageA("wm_oxaipc_notify"), notify);
  EXPECT_EQ(RegisterWindowMessageA(""), 0U);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(TMessages, AFailedTableWriteReportsItsErrorAndLosesNoName)
{
  const UINT kept = RegisterWindowMessageA("OXA_KEPT_BEFORE_THE_FAILURE");
  ASSERT_NE(kept, 0U);
  FailNthPlatformCall(1);
  EXPECT_EQ(RegisterWindowMessageA("OXA_FAILED_ONCE"), 0U);
  EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
  FailNthPlatformCall(0);
  // Written on the next attempt, beside the name that was there.
  const UINT later = RegisterWindowMessageA("OXA_FAILED_ONCE");
  EXPECT_NE(later, 0U);
  EXPECT_NE(later, kept);
  std::ifstream table(MachineFolder() / "messages");
  const std::string text((std::istreambuf_iterator<char>(table)), {});
  EXPECT_NE(text.find("OXA_KEPT_BEFORE_THE_FAILURE"), std::string::npos);
  EXPECT_NE(text.find("OXA_FAILED_ONCE"), std::string::npos);
}

}  // namespace
