#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/core/Handles.h"
#include "platform/core/LastError.h"
#include "platform/files/MachineSettings.h"
#include "platform/objects/Synchronization.h"
#include "platform/windows/Messages.h"
#include "platform/windows/WindowManager.h"
#include "platform/windows/Windows.h"
#include "tests/platform/MessagingTestProtocol.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"

namespace {

std::vector<std::string> calledBack;  // what the test window was sent, in order

LRESULT TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  if (message == HelperEcho) {
    calledBack.push_back(std::to_string(wParam) + (InSendMessage() ? " sent" : ""));
    return static_cast<LRESULT>(wParam) * 10;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

class TCrossProcessMessages : public ::testing::Test {
 protected:
  void SetUp() override
  {
    calledBack.clear();
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = TestWindowProc;
    windowClass.lpszClassName = "CrossProcessTestWindow";
    RegisterClassA(&windowClass);
    FWindow = CreateWindowExA(0, "CrossProcessTestWindow", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                              nullptr);
    ASSERT_NE(FWindow, nullptr);
    FHelper = std::make_unique<TChildProcess>(OXA_MESSAGING_HELPER, std::vector<std::string>{});
    FHelperWindow = reinterpret_cast<HWND>(std::stoull(FHelper->Ask("window")));
  }

  void TearDown() override
  {
    FHelper.reset();
    DestroyWindow(FWindow);
  }

  std::string Window() const { return std::to_string(reinterpret_cast<std::uintptr_t>(FWindow)); }

  // Asks the helper while this thread keeps handling what is sent to its windows.
  std::string AskPumping(const std::string& line)
  {
    FHelper->WriteLine(line);
    for (;;) {
      MSG message{};
      while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageA(&message);
      }
      if (auto answer = FHelper->ReadLine(std::chrono::milliseconds(5))) {
        return *answer;
      }
    }
  }

  TTempMachine FMachine;
  HWND FWindow = nullptr;
  std::unique_ptr<TChildProcess> FHelper;
  HWND FHelperWindow = nullptr;
};

TEST_F(TCrossProcessMessages, RegisteredMessagesAgreeAcrossProcesses)
{
  const UINT mine = RegisterWindowMessageA("WM_OXAIPC_CALL");
  EXPECT_EQ(FHelper->Ask("register wm_oxaipc_call"), std::to_string(mine));
  const std::string theirs = FHelper->Ask("register WM_OXAIPC_NOTIFY");
  EXPECT_EQ(std::to_string(RegisterWindowMessageA("Wm_OxaIpc_Notify")), theirs);
  EXPECT_NE(theirs, std::to_string(mine));
}

TEST_F(TCrossProcessMessages, WindowsOfOtherProcessesAreKnown)
{
  EXPECT_TRUE(IsWindow(FHelperWindow));
  DWORD process = 0;
  EXPECT_NE(GetWindowThreadProcessId(FHelperWindow, &process), 0U);
  EXPECT_EQ(process, static_cast<DWORD>(FHelper->Pid()));
  const HWND neverMade = reinterpret_cast<HWND>(reinterpret_cast<std::uintptr_t>(FHelperWindow) + 100);
  EXPECT_FALSE(IsWindow(neverMade));
}

TEST_F(TCrossProcessMessages, PostedMessagesArriveInOrderBothWays)
{
  for (int i = 1; i <= 50; ++i) {
    ASSERT_TRUE(PostMessageA(FHelperWindow, HelperLog, static_cast<WPARAM>(i), -i));
  }
  for (int i = 1; i <= 50; ++i) {
    EXPECT_EQ(FHelper->ReadLine(), "got " + std::to_string(i) + " " + std::to_string(-i));
  }
  EXPECT_EQ(FHelper->Ask("post " + Window() + " " + std::to_string(HelperPostedBack) + " 7 -8"), "ok");
  MSG message{};
  ASSERT_EQ(GetMessageA(&message, nullptr, 0, 0), TRUE);
  EXPECT_EQ(message.hwnd, FWindow);
  EXPECT_EQ(message.message, HelperPostedBack);
  EXPECT_EQ(message.wParam, 7U);
  EXPECT_EQ(message.lParam, -8);
}

TEST_F(TCrossProcessMessages, SentMessagesAnswerBothWaysWithNestedCallBacks)
{
  DWORD_PTR result = 0;
  ASSERT_NE(SendMessageTimeoutA(FHelperWindow, HelperEcho, 40, 2, SMTO_NORMAL, 10000, &result), 0);
  EXPECT_EQ(result, 42U);
  EXPECT_EQ(SendMessageA(FHelperWindow, HelperEcho, 1, -1), 0);

  // The helper calls back into this window while this thread waits for its answer.
  EXPECT_EQ(SendMessageA(FHelperWindow, HelperCallBack, reinterpret_cast<WPARAM>(FWindow), 5), 1050);
  EXPECT_EQ(calledBack, std::vector<std::string>{"5 sent"});

  EXPECT_EQ(AskPumping("send " + Window() + " " + std::to_string(HelperEcho) + " 3 0 0 10000"), "result 30");
  EXPECT_EQ(calledBack.back(), "3 sent");
}

TEST_F(TCrossProcessMessages, AnEarlyReplyKeepsLaterSendsOnTheDirectPath)
{
  auto& manager = TWindowManager::Instance();
  // The first send goes through the helper's process socket; every answer names the thread
  // that handled it, so later sends go straight to that thread.
  ASSERT_EQ(SendMessageA(FHelperWindow, HelperEcho, 1, 1), 2);
  const std::uint32_t direct = manager.DirectQueueOf(FHelperWindow);
  ASSERT_NE(direct, 0U);
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    EXPECT_EQ(SendMessageA(FHelperWindow, HelperReplied, 70 + round, 0), 70 + round)
        << "the early answer wins";
    EXPECT_EQ(manager.DirectQueueOf(FHelperWindow), direct);
  }
  EXPECT_EQ(SendMessageA(FHelperWindow, HelperEcho, 2, 2), 4);
}

TEST_F(TCrossProcessMessages, SendToAHungProcessTimesOut)
{
  EXPECT_EQ(FHelper->Ask("hang 3000"), "hanging");
  DWORD_PTR result = 0;
  EXPECT_EQ(SendMessageTimeoutA(FHelperWindow, HelperEcho, 1, 1, SMTO_NORMAL, 100, &result), 0);
  EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
  EXPECT_EQ(FHelper->ReadLine(), "ok");
  // Once it looks at its queue again it answers, and the abandoned send is not mistaken for
  // the new one.
  EXPECT_NE(SendMessageTimeoutA(FHelperWindow, HelperEcho, 2, 2, SMTO_ABORTIFHUNG, 10000, &result), 0);
  EXPECT_EQ(result, 4U);
}

TEST_F(TCrossProcessMessages, HungReceiversAreJudgedAfterTheMachinesThreshold)
{
  // The machine's threshold, read by the helper's process too, is lowered to keep the test short.
  constexpr DWORD threshold = 1000;
  ASSERT_EQ(SetHungThreshold(threshold), ERROR_SUCCESS);
  // The helper stays hung until the test wakes it, so a loaded machine that is slow to notice
  // the hung state still sees it before the helper wakes.
  const std::string wakeName = "HungReceiverWake." + std::to_string(FHelper->Pid());
  const HANDLE wake = CreateEventA(nullptr, TRUE, FALSE, wakeName.c_str());
  ASSERT_NE(wake, nullptr);
  EXPECT_EQ(FHelper->Ask("hang 60000 " + wakeName), "hanging");
  const auto start = std::chrono::steady_clock::now();
  DWORD_PTR result = 0;
  // Not hung yet: the time-out does not end the wait; once the helper counts as hung, it does.
  EXPECT_EQ(SendMessageTimeoutA(FHelperWindow, HelperEcho, 1, 1, SMTO_NOTIMEOUTIFNOTHUNG, 100, &result), 0);
  EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(threshold / 2));
  // Hung now: refused at once, without waiting for the long time-out.
  EXPECT_EQ(SendMessageTimeoutA(FHelperWindow, HelperEcho, 1, 1, SMTO_ABORTIFHUNG, 60000, &result), 0);
  EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
  SetEvent(wake);
  CloseHandle(wake);
  EXPECT_EQ(FHelper->ReadLine(), "ok");
  // Awake again: it answers once it looks for messages. (It says "ok" just before it looks, so
  // an abort-if-hung send at this very moment could still find it hung.)
  EXPECT_NE(SendMessageTimeoutA(FHelperWindow, HelperEcho, 2, 3, SMTO_NORMAL, 10000, &result), 0);
  EXPECT_EQ(result, 5U);
  EXPECT_NE(SendMessageTimeoutA(FHelperWindow, HelperEcho, 3, 3, SMTO_ABORTIFHUNG, 10000, &result), 0);
  EXPECT_EQ(result, 6U);
}

TEST_F(TCrossProcessMessages, WithBlockTheSenderTakesNoCallBacks)
{
  DWORD_PTR result = 0;
  EXPECT_EQ(SendMessageTimeoutA(FHelperWindow, HelperCallBack, reinterpret_cast<WPARAM>(FWindow), 6,
                                SMTO_BLOCK, 300, &result),
            0);
  EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
  EXPECT_TRUE(calledBack.empty());
  // The call-back waits in the queue for the next look.
  MSG message{};
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
  EXPECT_EQ(calledBack, std::vector<std::string>{"6 sent"});
}

TEST_F(TCrossProcessMessages, MessagesToADeadProcessFailAtOnce)
{
  // After a first answer, sends go straight to the helper's thread; its death ends them too.
  DWORD_PTR result = 0;
  ASSERT_NE(SendMessageTimeoutA(FHelperWindow, HelperEcho, 1, 1, SMTO_NORMAL, 10000, &result), 0);
  EXPECT_EQ(FHelper->Ask("hang 60000"), "hanging");
  // A send that is waiting when the receiver dies ends too.
  std::thread killer([this] { FHelper->Kill(); });
  EXPECT_EQ(SendMessageTimeoutA(FHelperWindow, HelperEcho, 1, 1, SMTO_NORMAL, 30000, &result), 0);
  killer.join();
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_EQ(SendMessageTimeoutA(FHelperWindow, HelperEcho, 1, 1, SMTO_NORMAL, 30000, &result), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_FALSE(PostMessageA(FHelperWindow, HelperLog, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_FALSE(IsWindow(FHelperWindow));
}

TEST_F(TCrossProcessMessages, HelperTimersFireInOrder)
{
  EXPECT_EQ(FHelper->Ask("timers 1 120 2 10 3 60"), "ok");
  EXPECT_EQ(FHelper->ReadLine(), "timer 2");
  EXPECT_EQ(FHelper->ReadLine(), "timer 3");
  EXPECT_EQ(FHelper->ReadLine(), "timer 1");
}

}  // namespace
