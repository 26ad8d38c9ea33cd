#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "framework/OxaUtils.h"
#include "platform/windows/Messages.h"
#include "tests/support/TempFolder.h"

namespace {

constexpr UINT Double = WM_USER + 1;    // returns wParam * 2
constexpr UINT CallBack = WM_USER + 2;  // sends Double(21) to window wParam, returns its result + 1

LRESULT AnswerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  switch (message) {
    case Double:
      return static_cast<LRESULT>(wParam) * 2;
    case CallBack:
      return SendMessageA(reinterpret_cast<HWND>(wParam), Double, 21, 0) + 1;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

HWND CreateAnswerWindow()
{
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = AnswerProc;
  windowClass.lpszClassName = "SendMessageExAnswer";
  RegisterClassA(&windowClass);
  return CreateWindowExA(0, "SendMessageExAnswer", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                         nullptr);
}

TEST(TSendMessageEx, ModesAnswerOrYieldZero)
{
  const TTempMachine machine;
  const HWND own = CreateAnswerWindow();
  std::promise<HWND> created;
  std::promise<void> done;
  std::thread other([&] {
    const HWND window = CreateAnswerWindow();
    created.set_value(window);
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
      DispatchMessageA(&message);
    }
    DestroyWindow(window);
  });
  const HWND remote = created.get_future().get();

  EXPECT_EQ(SendMessageEx(remote, Double, 5, 0, INFINITE, false), 10);
  EXPECT_EQ(SendMessageEx(remote, Double, 6, 0, 5000, false), 12);
  EXPECT_EQ(SendMessageEx(remote, Double, 7, 0, 5000, true), 14);
  // A call-back into this thread is served while it waits, except in the Block mode.
  EXPECT_EQ(SendMessageEx(remote, CallBack, reinterpret_cast<WPARAM>(own), 0, 5000, false), 43);
  EXPECT_EQ(SendMessageEx(remote, CallBack, reinterpret_cast<WPARAM>(own), 0, 100, true), 0);
  MSG message{};
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);  // lets the other thread's call-back finish

  PostThreadMessageA(GetWindowThreadProcessId(remote, nullptr), WM_QUIT, 0, 0);
  other.join();
  EXPECT_EQ(SendMessageEx(remote, Double, 5, 0, INFINITE, false), 0);
  EXPECT_EQ(SendMessageEx(remote, Double, 5, 0, 100, true), 0);
  DestroyWindow(own);
}

}  // namespace
