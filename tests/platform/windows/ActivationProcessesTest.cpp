// Activation between two processes of the program: WM_ACTIVATEAPP only when it crosses them.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/Time.h"
#include "platform/windows/DisplayTesting.h"
#include "platform/windows/Input.h"
#include "platform/windows/Messages.h"
#include "platform/windows/Windows.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"

namespace {

struct TActivation {
  HWND Window;
  UINT Message;
  WPARAM WParam;
};
std::vector<TActivation> activations;

LRESULT ActivationProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  if (message == WM_ACTIVATEAPP || message == WM_ACTIVATE) {
    activations.push_back(TActivation{window, message, wParam});
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

class TActivationProcesses : public testing::Test {
 protected:
  void SetUp() override
  {
    UseHeadlessDisplay();
    activations.clear();
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = ActivationProc;
    windowClass.lpszClassName = "ActivationTestWindow";
    RegisterClassA(&windowClass);
    for (HWND* window : {&FFirst, &FSecond}) {
      *window = CreateWindowExA(0, "ActivationTestWindow", "mine", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                                nullptr, nullptr);
      ASSERT_NE(*window, nullptr);
    }
    FHelper = std::make_unique<TChildProcess>(OXA_MESSAGING_HELPER, std::vector<std::string>{});
    FHelperTop = reinterpret_cast<HWND>(std::stoull(FHelper->Ask("toplevel")));
  }

  void TearDown() override
  {
    FHelper.reset();
    DestroyWindow(FFirst);
    DestroyWindow(FSecond);
    UnregisterClassA("ActivationTestWindow", nullptr);
  }

  // Handles this process's messages until the condition holds (or a generous time passed).
  static bool PumpUntil(const std::function<bool()>& done)
  {
    const DWORD start = GetTickCount();
    MSG message{};
    while (!done() && GetTickCount() - start < 10000) {
      while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageA(&message);
      }
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return done();
  }

  static std::size_t Count(UINT message, WPARAM wParam)
  {
    std::size_t count = 0;
    for (const auto& entry : activations) {
      count += entry.Message == message && entry.WParam == wParam ? 1 : 0;
    }
    return count;
  }

  TTempMachine FMachine;
  HWND FFirst = nullptr;
  HWND FSecond = nullptr;
  std::unique_ptr<TChildProcess> FHelper;
  HWND FHelperTop = nullptr;
};

TEST_F(TActivationProcesses, ActivateAppOnlyWhenActivationCrossesProcesses)
{
  SetActiveWindow(FFirst);
  EXPECT_EQ(Count(WM_ACTIVATEAPP, TRUE), 2U) << "each top-level window of the program, once";
  SetActiveWindow(FSecond);
  SetActiveWindow(FFirst);
  EXPECT_EQ(Count(WM_ACTIVATEAPP, TRUE), 2U) << "never between the program's own windows";
  EXPECT_EQ(Count(WM_ACTIVATE, WA_INACTIVE), 2U);

  // The other process takes the activation: it hears of it, this one loses it.
  FHelper->WriteLine("activate");
  EXPECT_EQ(FHelper->ReadLine(), "activateapp 1");
  EXPECT_EQ(FHelper->ReadLine(), "active");
  ASSERT_TRUE(PumpUntil([] { return Count(WM_ACTIVATEAPP, FALSE) == 2; }));
  EXPECT_EQ(GetActiveWindow(), nullptr);
  EXPECT_EQ(GetForegroundWindow(), FHelperTop);

  // And back, by SetForegroundWindow on one of this process's windows.
  activations.clear();
  EXPECT_TRUE(SetForegroundWindow(FSecond));
  EXPECT_EQ(Count(WM_ACTIVATEAPP, TRUE), 2U);
  EXPECT_EQ(FHelper->ReadLine(), "activateapp 0");
  EXPECT_EQ(FHelper->Ask("active"), "none");
  EXPECT_EQ(GetForegroundWindow(), FSecond);
}

TEST_F(TActivationProcesses, ForegroundWindowOfAnotherProcessActivatesItThere)
{
  SetActiveWindow(FFirst);
  activations.clear();
  EXPECT_TRUE(SetForegroundWindow(FHelperTop));
  EXPECT_EQ(FHelper->ReadLine(), "activateapp 1");
  ASSERT_TRUE(PumpUntil([] { return Count(WM_ACTIVATEAPP, FALSE) == 2; }));
  EXPECT_EQ(GetActiveWindow(), nullptr);
  EXPECT_EQ(FHelper->Ask("active"), "mine");
}

}  // namespace
