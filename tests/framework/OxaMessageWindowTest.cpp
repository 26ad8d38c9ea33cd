#include "framework/OxaMessageWindow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/OxaUtils.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TraceCapture.h"

namespace {

// Answers WM_USER with wParam + 1, raises on WM_USER + 1, leaves the rest unhandled.
struct TListener : TObject {
  std::vector<UINT> Seen;
  void Message(TObject*, TMessage& message, bool& handled)
  {
    Seen.push_back(message.Msg);
    if (message.Msg == WM_USER) {
      message.Result = static_cast<LRESULT>(message.WParam + 1);
      handled = true;
    } else if (message.Msg == WM_USER + 1) {
      throw EOxaFailed("listener failed");
    }
  }
};

LRESULT OtherProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  return DefWindowProcA(window, message, wParam, lParam);
}

class TOxaMessageWindowTest : public ::testing::Test {
 protected:
  TTempMachine FMachine;
  TListener FListener;
};

}  // namespace

TEST_F(TOxaMessageWindowTest, OpensOnceAsADisabledToolWindowOfZeroSize)
{
  TOxaMessageWindow window;
  EXPECT_FALSE(window.Active());
  window.Open();
  const HWND handle = window.Handle();
  window.Open();
  EXPECT_EQ(window.Handle(), handle);
  EXPECT_EQ(GetWindowLongPtrA(handle, GWL_EXSTYLE), 0x80);
  EXPECT_EQ(GetWindowLongPtrA(handle, GWL_STYLE), static_cast<LONG_PTR>(WS_POPUP | WS_DISABLED));
  EXPECT_EQ(GetWindowLongPtrA(handle, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&window));
  EXPECT_EQ(FindWindowA("Kestrom MessageWindow", "Kestrom MessageWindow"), handle);
  EXPECT_FALSE(IsWindowVisible(handle));
}

TEST_F(TOxaMessageWindowTest, HandleNeedsAnOpenWindow)
{
  auto window = std::make_unique<TOxaMessageWindow>();
  struct TCase {
    const char* Step;
    std::function<void()> Before;
    bool Active;
  };
  HWND handle = nullptr;
  const TCase cases[] = {
      {"new", [] {}, false},
      {"opened", [&] { window->Open(); }, true},
      {"closed",
       [&] {
         handle = window->Handle();
         window->Close();
       },
       false},
      {"closed twice", [&] { window->Close(); }, false},
      {"reopened", [&] { window->Open(); }, true},
  };
  for (const auto& c : cases) {
    c.Before();
    EXPECT_EQ(window->Active(), c.Active) << c.Step;
    if (c.Active) {
      EXPECT_TRUE(IsWindow(window->Handle())) << c.Step;
    } else {
      try {
        window->Handle();
        ADD_FAILURE() << c.Step;
      } catch (const Exception& error) {
        EXPECT_EQ(error.Message(), "MessageWindow is not active") << c.Step;
      }
    }
  }
  EXPECT_FALSE(IsWindow(handle));
  handle = window->Handle();
  window.reset();  // the destructor closes
  EXPECT_FALSE(IsWindow(handle));
}

TEST_F(TOxaMessageWindowTest, TakesTheClassOverFromAnotherProcedure)
{
  UnregisterClassA("Kestrom MessageWindow", nullptr);
  WNDCLASSA other{};
  other.lpfnWndProc = &OtherProcedure;
  other.lpszClassName = "Kestrom MessageWindow";
  ASSERT_NE(RegisterClassA(&other), 0);
  TOxaMessageWindow window;
  window.OnMessage = MakeMethod<&TListener::Message>(&FListener);
  window.Open();
  WNDCLASSA now{};
  ASSERT_TRUE(GetClassInfoA(nullptr, "Kestrom MessageWindow", &now));
  EXPECT_NE(now.lpfnWndProc, &OtherProcedure);
  EXPECT_EQ(SendMessageA(window.Handle(), WM_USER, 41, 0), 42);
}

TEST_F(TOxaMessageWindowTest, HandledMessagesAnswerAndOthersGoToTheDefault)
{
  TOxaMessageWindow window;
  window.OnMessage = MakeMethod<&TListener::Message>(&FListener);
  window.Open();
  struct TCase {
    UINT Message;
    WPARAM WParam;
    LRESULT Expected;
  };
  const TCase cases[] = {{WM_USER, 1, 2}, {WM_USER, 99, 100}, {WM_USER + 2, 5, 0}, {WM_NULL, 0, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(SendMessageA(window.Handle(), c.Message, c.WParam, 0), c.Expected) << c.Message;
  }
}

TEST_F(TOxaMessageWindowTest, RaisingHandlerIsReportedAndTheWindowGoesOn)
{
  TTraceCapture trace;
  TOxaMessageWindow window;
  window.OnMessage = MakeMethod<&TListener::Message>(&FListener);
  window.Open();
  testing::internal::CaptureStderr();
  EXPECT_EQ(SendMessageA(window.Handle(), WM_USER + 1, 0, 0), 0);
  const std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_NE(errors.find("OxaMessageWindow: Exceptionlistener failed"), std::string::npos);
  EXPECT_TRUE(trace.Contains("OxaMessageWindow: Exceptionlistener failed"));
  EXPECT_EQ(SendMessageA(window.Handle(), WM_USER, 6, 0), 7);
}

TEST_F(TOxaMessageWindowTest, FollowsItsParentAndForgetsAWindowDestroyedElsewhere)
{
  TOxaMessageWindow parentA, parentB, window;
  parentA.Open();
  parentB.Open();
  window.SetParent(parentA.Handle());
  window.OnMessage = MakeMethod<&TListener::Message>(&FListener);
  window.Open();
  EXPECT_EQ(GetParent(window.Handle()), parentA.Handle());
  window.SetParent(parentB.Handle());
  EXPECT_EQ(GetParent(window.Handle()), parentB.Handle());
  EXPECT_EQ(window.Parent(), parentB.Handle());
  // The parent's end takes the window along: the destroy message clears the handle.
  parentB.Close();
  EXPECT_FALSE(window.Active());
  EXPECT_EQ(FListener.Seen.back(), WM_DESTROY);
  window.SetParent(nullptr);
  window.Open();
  EXPECT_EQ(SendMessageA(window.Handle(), WM_USER, 0, 0), 1);
}
