#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/core/Diagnostics.h"
#include "platform/core/LastError.h"
#include "platform/core/Time.h"
#include "platform/windows/DisplayTesting.h"
#include "platform/windows/Gdi.h"
#include "platform/windows/Input.h"
#include "platform/windows/InputEvents.h"
#include "platform/windows/Messages.h"
#include "platform/windows/Metrics.h"
#include "platform/windows/Modules.h"
#include "platform/windows/Windows.h"
#include "tests/support/TempFolder.h"

namespace {

struct TSeen {
  HWND Window;
  UINT Message;
  WPARAM WParam;
  LPARAM LParam;
};
thread_local std::vector<TSeen>* seen = nullptr;

LRESULT RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  if (seen != nullptr) {
    seen->push_back(TSeen{window, message, wParam, lParam});
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

constexpr const char* DoubleClass = "InputTestDouble";
constexpr const char* PlainClass = "InputTestPlain";

// Headless screen, two classes (one with CS_DBLCLKS), and the windows a test makes, destroyed at
// the end so the process's capture, focus and activation start afresh.
class InputTest : public testing::Test {
 protected:
  void SetUp() override
  {
    UseHeadlessDisplay();
    for (const auto& [name, style] : {std::pair{DoubleClass, CS_DBLCLKS}, std::pair{PlainClass, 0U}}) {
      WNDCLASSA windowClass{};
      windowClass.style = style;
      windowClass.lpfnWndProc = RecordingProc;
      windowClass.lpszClassName = name;
      windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
      RegisterClassA(&windowClass);
    }
    seen = &FSeen;
  }

  void TearDown() override
  {
    for (auto it = FWindows.rbegin(); it != FWindows.rend(); ++it) {
      DestroyWindow(*it);
    }
    Pump();
    seen = nullptr;
    UnregisterClassA(DoubleClass, nullptr);
    UnregisterClassA(PlainClass, nullptr);
  }

  HWND Make(const char* className, int x, int y, int width, int height, HWND parent = nullptr)
  {
    const DWORD style = (parent != nullptr ? WS_CHILD : WS_POPUP) | WS_VISIBLE;
    const HWND window =
        CreateWindowExA(0, className, "input", style, x, y, width, height, parent, nullptr, nullptr, nullptr);
    EXPECT_NE(window, nullptr);
    FWindows.push_back(window);
    return window;
  }

  // Takes, translates and dispatches everything waiting.
  void Pump()
  {
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }

  // What the windows saw of one kind of message (0: of the mouse and key kinds only).
  std::vector<TSeen> Seen(UINT only = 0) const
  {
    std::vector<TSeen> result;
    for (const TSeen& entry : FSeen) {
      const bool input = (entry.Message >= WM_KEYFIRST && entry.Message <= WM_KEYLAST) ||
                         (entry.Message >= WM_MOUSEFIRST && entry.Message <= WM_MOUSELAST) ||
                         entry.Message == WM_MOUSELEAVE || entry.Message == WM_CAPTURECHANGED;
      if (only == 0 ? input : entry.Message == only) {
        result.push_back(entry);
      }
    }
    return result;
  }

  static void Move(LONG x, LONG y, DWORD time = 0)
  {
    TInputEvent event;
    event.Kind = TInputKind::Move;
    event.Screen = POINT{x, y};
    event.Time = time;
    DeliverInput(event);
  }

  static void Button(LONG x, LONG y, bool down, DWORD time = 0, TPointerButton button = TPointerButton::Left)
  {
    TInputEvent event;
    event.Kind = TInputKind::Button;
    event.Screen = POINT{x, y};
    event.Down = down;
    event.Button = button;
    event.Time = time;
    DeliverInput(event);
  }

  static void Key(unsigned long keysym, bool down, std::u32string text = {})
  {
    TInputEvent event;
    event.Kind = TInputKind::Key;
    event.Keysym = keysym;
    event.Down = down;
    event.Text = std::move(text);
    DeliverInput(event);
  }

  TTempMachine FMachine;
  std::vector<TSeen> FSeen;
  std::vector<HWND> FWindows;
};

LONG LowWord(LPARAM value)
{
  return static_cast<short>(value & 0xFFFF);
}
LONG HighWord(LPARAM value)
{
  return static_cast<short>((value >> 16) & 0xFFFF);
}

TEST_F(InputTest, SecondPressIsADoubleClickOnlyCloseInTimeAndPlace)
{
  struct TCase {
    DWORD Gap;
    LONG Dx;
    LONG Dy;
    const char* ClassName;
    UINT Second;
  };
  const TCase cases[] = {
      {300, 0, 0, DoubleClass, WM_LBUTTONDBLCLK},  {300, 4, 0, DoubleClass, WM_LBUTTONDBLCLK},
      {300, 0, -4, DoubleClass, WM_LBUTTONDBLCLK}, {500, 0, 0, DoubleClass, WM_LBUTTONDBLCLK},
      {501, 0, 0, DoubleClass, WM_LBUTTONDOWN},    {600, 0, 0, DoubleClass, WM_LBUTTONDOWN},
      {300, 5, 0, DoubleClass, WM_LBUTTONDOWN},    {300, 0, 5, DoubleClass, WM_LBUTTONDOWN},
      {300, -5, 0, DoubleClass, WM_LBUTTONDOWN},   {300, 0, 0, PlainClass, WM_LBUTTONDOWN},
  };
  DWORD time = 1000000;
  for (const auto& entry : cases) {
    const HWND window = Make(entry.ClassName, 100, 100, 200, 150);
    FSeen.clear();
    time += 10000;
    Button(150, 150, true, time);
    Button(150, 150, false, time + 50);
    Button(150 + entry.Dx, 150 + entry.Dy, true, time + entry.Gap);
    Button(150 + entry.Dx, 150 + entry.Dy, false, time + entry.Gap + 50);
    Pump();
    const auto presses = Seen();
    std::vector<UINT> kinds;
    for (const auto& press : presses) {
      if (press.Window == window && press.Message != WM_MOUSEMOVE) {
        kinds.push_back(press.Message);
      }
    }
    EXPECT_EQ(kinds, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, entry.Second, WM_LBUTTONUP}))
        << entry.Gap << " ms, " << entry.Dx << "," << entry.Dy << " " << entry.ClassName;
    DestroyWindow(window);
    FWindows.pop_back();
  }
}

TEST_F(InputTest, ThirdQuickPressStartsAfresh)
{
  const HWND window = Make(DoubleClass, 100, 100, 200, 150);
  for (const DWORD time : {2000000U, 2000100U, 2000200U}) {
    Button(150, 150, true, time);
    Button(150, 150, false, time + 10);
  }
  Pump();
  std::vector<UINT> downs;
  for (const auto& entry : Seen()) {
    if (entry.Window == window && entry.Message != WM_LBUTTONUP && entry.Message != WM_MOUSEMOVE) {
      downs.push_back(entry.Message);
    }
  }
  EXPECT_EQ(downs, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN}));
}

TEST_F(InputTest, CapturedDragKeepsMovesOutsideUntilReleased)
{
  const HWND window = Make(PlainClass, 100, 100, 200, 150);
  const HWND other = Make(PlainClass, 400, 300, 100, 100);
  Button(150, 150, true);
  Pump();
  EXPECT_EQ(SetCapture(window), nullptr);
  EXPECT_EQ(GetCapture(), window);
  FSeen.clear();
  Move(450, 350);  // over the other window, and outside the captured one
  Pump();
  auto moves = Seen(WM_MOUSEMOVE);
  ASSERT_EQ(moves.size(), 1U);
  EXPECT_EQ(moves[0].Window, window);
  EXPECT_EQ(LowWord(moves[0].LParam), 350);
  EXPECT_EQ(HighWord(moves[0].LParam), 250);
  EXPECT_NE(moves[0].WParam & MK_LBUTTON, 0U);
  Move(50, 20);  // left and above: negative client coordinates
  Pump();
  moves = Seen(WM_MOUSEMOVE);
  ASSERT_EQ(moves.size(), 2U);
  EXPECT_EQ(LowWord(moves[1].LParam), -50);
  EXPECT_EQ(HighWord(moves[1].LParam), -80);
  Button(50, 20, false);
  Pump();
  EXPECT_EQ(Seen(WM_LBUTTONUP).at(0).Window, window);
  EXPECT_TRUE(ReleaseCapture());
  const auto changed = Seen(WM_CAPTURECHANGED);
  ASSERT_EQ(changed.size(), 1U);
  EXPECT_EQ(changed[0].Window, window);
  EXPECT_EQ(GetCapture(), nullptr);
  FSeen.clear();
  Move(450, 350);
  Pump();
  moves = Seen(WM_MOUSEMOVE);
  ASSERT_EQ(moves.size(), 1U);
  EXPECT_EQ(moves[0].Window, other);
}

TEST_F(InputTest, CaptureTakenByAnotherWindowTellsTheLoser)
{
  const HWND first = Make(PlainClass, 100, 100, 100, 100);
  const HWND second = Make(PlainClass, 300, 100, 100, 100);
  SetCapture(first);
  EXPECT_EQ(SetCapture(second), first);
  const auto changed = Seen(WM_CAPTURECHANGED);
  ASSERT_EQ(changed.size(), 1U);
  EXPECT_EQ(changed[0].Window, first);
  EXPECT_EQ(reinterpret_cast<HWND>(changed[0].LParam), second);
  ReleaseCapture();
}

TEST_F(InputTest, CaptureOfADestroyedWindowGoesWithIt)
{
  const HWND window = Make(PlainClass, 100, 100, 100, 100);
  SetCapture(window);
  Move(120, 120);
  DestroyWindow(window);
  FWindows.clear();
  EXPECT_EQ(GetCapture(), nullptr);
  Move(130, 130);
  Button(130, 130, true);
  Pump();
  EXPECT_TRUE(Seen().empty());
}

TEST_F(InputTest, MouseLeaveComesOnceAfterLeaving)
{
  const HWND window = Make(PlainClass, 100, 100, 100, 100);
  Move(150, 150);
  Pump();
  TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, window, 0};
  ASSERT_TRUE(TrackMouseEvent(&track));
  Move(160, 160);  // still inside
  Pump();
  EXPECT_TRUE(Seen(WM_MOUSELEAVE).empty());
  Move(250, 150);
  Move(260, 150);
  Move(150, 150);
  Move(250, 150);
  Pump();
  EXPECT_EQ(Seen(WM_MOUSELEAVE).size(), 1U);
}

TEST_F(InputTest, MouseLeaveRequestsWhenAlreadyOutsideOrCancelled)
{
  const HWND window = Make(PlainClass, 100, 100, 100, 100);
  Move(300, 300);
  TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, window, 0};
  ASSERT_TRUE(TrackMouseEvent(&track));
  Pump();
  EXPECT_EQ(Seen(WM_MOUSELEAVE).size(), 1U);  // not over it: at once
  Move(150, 150);
  ASSERT_TRUE(TrackMouseEvent(&track));
  track.dwFlags = TME_LEAVE | TME_CANCEL;
  ASSERT_TRUE(TrackMouseEvent(&track));
  Move(300, 300);
  Pump();
  EXPECT_EQ(Seen(WM_MOUSELEAVE).size(), 1U);
  track.cbSize = sizeof(TRACKMOUSEEVENT) - 1;
  EXPECT_FALSE(TrackMouseEvent(&track));
}

TEST_F(InputTest, ClickOutsideATriangleRegionReachesTheWindowBelow)
{
  const HWND below = Make(PlainClass, 100, 100, 100, 100);
  const HWND shaped = Make(PlainClass, 100, 100, 100, 100);
  const POINT triangle[] = {{0, 0}, {100, 0}, {0, 100}};
  ASSERT_NE(SetWindowRgn(shaped, CreatePolygonRgn(triangle, 3, ALTERNATE), TRUE), 0);
  struct TCase {
    POINT Screen;
    HWND Expected;
  };
  const TCase cases[] = {
      {{110, 110}, shaped}, {{190, 190}, below},  {{180, 105}, shaped},  {{105, 180}, shaped},
      {{160, 160}, below},  {{99, 150}, nullptr}, {{200, 150}, nullptr},
  };
  for (const auto& entry : cases) {
    EXPECT_EQ(WindowFromPoint(entry.Screen), entry.Expected) << entry.Screen.x << "," << entry.Screen.y;
    FSeen.clear();
    Button(entry.Screen.x, entry.Screen.y, true);
    Button(entry.Screen.x, entry.Screen.y, false);
    Pump();
    const auto downs = Seen(WM_LBUTTONDOWN);
    if (entry.Expected == nullptr) {
      EXPECT_TRUE(downs.empty());
    } else {
      ASSERT_EQ(downs.size(), 1U);
      EXPECT_EQ(downs[0].Window, entry.Expected) << entry.Screen.x << "," << entry.Screen.y;
    }
  }
}

TEST_F(InputTest, ChildUnderThePointerGetsClientCoordinates)
{
  const HWND parent = Make(PlainClass, 100, 100, 200, 200);
  const HWND child = Make(PlainClass, 50, 60, 40, 30, parent);
  EXPECT_EQ(WindowFromPoint(POINT{150, 160}), child);
  EXPECT_EQ(WindowFromPoint(POINT{189, 189}), child);
  EXPECT_EQ(WindowFromPoint(POINT{190, 160}), parent);
  EXPECT_EQ(WindowFromPoint(POINT{150, 190}), parent);
  Button(155, 165, true);
  Pump();
  const auto downs = Seen(WM_LBUTTONDOWN);
  ASSERT_EQ(downs.size(), 1U);
  EXPECT_EQ(downs[0].Window, child);
  EXPECT_EQ(LowWord(downs[0].LParam), 5);
  EXPECT_EQ(HighWord(downs[0].LParam), 5);
  Button(155, 165, false);
  Pump();
}

TEST_F(InputTest, WheelCarriesDeltaAndScreenPosition)
{
  const HWND window = Make(PlainClass, 100, 100, 100, 100);
  for (const int delta : {WHEEL_DELTA, -WHEEL_DELTA}) {
    TInputEvent event;
    event.Kind = TInputKind::Wheel;
    event.Screen = POINT{140, 130};
    event.WheelDelta = delta;
    DeliverInput(event);
  }
  Pump();
  const auto wheels = Seen(WM_MOUSEWHEEL);
  ASSERT_EQ(wheels.size(), 2U);
  EXPECT_EQ(wheels[0].Window, window);
  EXPECT_EQ(HighWord(static_cast<LPARAM>(wheels[0].WParam)), 120);
  EXPECT_EQ(HighWord(static_cast<LPARAM>(wheels[1].WParam)), -120);
  EXPECT_EQ(LowWord(wheels[0].LParam), 140);
  EXPECT_EQ(HighWord(wheels[0].LParam), 130);
}

TEST_F(InputTest, MotionFloodLeavesOneMoveWaiting)
{
  const HWND window = Make(PlainClass, 0, 0, 400, 400);
  for (LONG i = 0; i < 10000; ++i) {
    Move(i % 400, (i / 400) % 400);
  }
  Pump();
  const auto moves = Seen(WM_MOUSEMOVE);
  ASSERT_EQ(moves.size(), 1U);
  EXPECT_EQ(moves[0].Window, window);
  EXPECT_EQ(LowWord(moves[0].LParam), 9999 % 400);
}

TEST_F(InputTest, DisabledWindowTakesNoClicksAndNoKeys)
{
  const HWND window = Make(PlainClass, 100, 100, 100, 100);
  SetFocus(window);
  SetWindowLongPtrA(window, GWL_STYLE, GetWindowLongPtrA(window, GWL_STYLE) | WS_DISABLED);
  Button(150, 150, true);
  Button(150, 150, false);
  Key(XK_a, true, U"a");
  Key(XK_a, false);
  Pump();
  EXPECT_TRUE(Seen(WM_LBUTTONDOWN).empty());
  EXPECT_TRUE(Seen(WM_KEYDOWN).empty());
}

struct TKeyCase {
  unsigned long Keysym;
  std::u32string Text;
  int VirtualKey;  // 0: no key message
};

TEST_F(InputTest, KeysymsBecomeVirtualKeysAndCharacters)
{
  const TKeyCase cases[] = {
      {XK_a, U"a", 'A'},
      {XK_z, U"z", 'Z'},
      {XK_0, U"0", '0'},
      {XK_9, U"9", '9'},
      {XK_Left, U"", VK_LEFT},
      {XK_Up, U"", VK_UP},
      {XK_Right, U"", VK_RIGHT},
      {XK_Down, U"", VK_DOWN},
      {XK_KP_Add, U"+", VK_ADD},
      {XK_KP_Subtract, U"-", VK_SUBTRACT},
      {XK_F1, U"", VK_F1},
      {XK_F12, U"", VK_F12},
      {XK_Pause, U"", VK_PAUSE},
      {XK_Return, U"\r", VK_RETURN},
      {XK_KP_Enter, U"\r", VK_RETURN},
      {XK_Escape, U"\x1b", VK_ESCAPE},
      {XK_Tab, U"\t", VK_TAB},
      {XK_BackSpace, U"\b", VK_BACK},
      {XK_Delete, U"", VK_DELETE},
      {XK_Home, U"", VK_HOME},
      {XK_End, U"", VK_END},
      {XK_Prior, U"", VK_PRIOR},
      {XK_Next, U"", VK_NEXT},
      {XK_space, U" ", VK_SPACE},
      // No virtual key: nothing at all, never a key message with code 0.
      {XK_ISO_Level3_Shift, U"", 0},
      {XK_Multi_key, U"", 0},
  };
  const HWND window = Make(PlainClass, 100, 100, 100, 100);
  SetFocus(window);
  for (const auto& entry : cases) {
    FSeen.clear();
    Key(entry.Keysym, true, entry.Text);
    Key(entry.Keysym, false);
    Pump();
    const auto downs = Seen(WM_KEYDOWN);
    const auto ups = Seen(WM_KEYUP);
    const auto chars = Seen(WM_CHAR);
    if (entry.VirtualKey == 0) {
      EXPECT_TRUE(Seen().empty()) << std::hex << entry.Keysym;
      continue;
    }
    ASSERT_EQ(downs.size(), 1U) << std::hex << entry.Keysym;
    ASSERT_EQ(ups.size(), 1U);
    EXPECT_EQ(downs[0].WParam, static_cast<WPARAM>(entry.VirtualKey)) << std::hex << entry.Keysym;
    EXPECT_EQ(ups[0].WParam, static_cast<WPARAM>(entry.VirtualKey));
    EXPECT_NE(ups[0].LParam & (LPARAM{1} << 31), 0);
    ASSERT_EQ(chars.size(), entry.Text.size()) << std::hex << entry.Keysym;
    for (std::size_t i = 0; i < chars.size(); ++i) {
      EXPECT_EQ(chars[i].WParam, static_cast<WPARAM>(entry.Text[i]));
    }
  }
}

TEST_F(InputTest, ComposedCharacterComesWithTheLastKey)
{
  const HWND window = Make(PlainClass, 100, 100, 100, 100);
  SetFocus(window);
  // Compose, apostrophe, e: the input method types é on the last key only.
  Key(XK_Multi_key, true);
  Key(XK_Multi_key, false);
  Key(XK_apostrophe, true);
  Key(XK_apostrophe, false);
  Key(XK_e, true, U"\u00e9");
  Key(XK_e, false);
  Pump();
  const auto downs = Seen(WM_KEYDOWN);
  ASSERT_EQ(downs.size(), 2U);
  EXPECT_EQ(downs[0].WParam, 0xDEU);
  EXPECT_EQ(downs[1].WParam, static_cast<WPARAM>('E'));
  const auto chars = Seen(WM_CHAR);
  ASSERT_EQ(chars.size(), 1U);
  EXPECT_EQ(chars[0].WParam, 0xE9U);
  // A character whose key has no virtual-key code is still typed.
  FSeen.clear();
  Key(XK_eacute, true, U"\u00e9");
  Key(XK_eacute, false);
  Pump();
  EXPECT_TRUE(Seen(WM_KEYDOWN).empty());
  ASSERT_EQ(Seen(WM_CHAR).size(), 1U);
  EXPECT_EQ(Seen(WM_CHAR)[0].WParam, 0xE9U);
}

TEST_F(InputTest, ModifierStatesAsOfTheMessage)
{
  const HWND window = Make(PlainClass, 100, 100, 100, 100);
  SetFocus(window);
  struct TCase {
    unsigned long Modifier;
    int ModifierKey;
    std::u32string Text;
    UINT Down;
    UINT Character;
  };
  const TCase cases[] = {
      {XK_Shift_L, VK_SHIFT, U"A", WM_KEYDOWN, WM_CHAR},
      {XK_Control_L, VK_CONTROL, U"\x01", WM_KEYDOWN, WM_CHAR},
      {XK_Alt_L, VK_MENU, U"a", WM_SYSKEYDOWN, WM_SYSCHAR},
  };
  for (const auto& entry : cases) {
    FSeen.clear();
    Key(entry.Modifier, true);
    Key(XK_a, true, entry.Text);
    // Not taken yet: the thread's state does not know the modifier, the machine's does.
    EXPECT_EQ(GetKeyState(entry.ModifierKey) & 0x8000, 0);
    EXPECT_NE(GetAsyncKeyState(entry.ModifierKey) & 0x8000, 0);
    MSG message{};
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.wParam, static_cast<WPARAM>(entry.ModifierKey));
    EXPECT_NE(GetKeyState(entry.ModifierKey) & 0x8000, 0);
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, entry.Down);
    EXPECT_EQ(message.wParam, static_cast<WPARAM>('A'));
    TranslateMessage(&message);
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, entry.Character);
    EXPECT_EQ(message.wParam, static_cast<WPARAM>(entry.Text[0]));
    Key(XK_a, false);
    Key(entry.Modifier, false);
    Pump();
    EXPECT_EQ(GetKeyState(entry.ModifierKey) & 0x8000, 0);
    EXPECT_EQ(GetAsyncKeyState(entry.ModifierKey) & 0x8000, 0);
  }
}

TEST_F(InputTest, KeysWaitInTheQueueWithTickCountTimes)
{
  const HWND window = Make(PlainClass, 100, 100, 100, 100);
  SetFocus(window);
  FSeen.clear();
  const DWORD before = GetTickCount();
  Key(XK_BackSpace, true, U"\b");
  const DWORD after = GetTickCount();
  // The window procedure has not seen it: the message loop takes it first, as OnMessage does.
  EXPECT_TRUE(Seen().empty());
  MSG message{};
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.hwnd, window);
  EXPECT_EQ(message.message, WM_KEYDOWN);
  EXPECT_GE(message.time, before);
  EXPECT_LE(message.time, after);
  Key(XK_BackSpace, false);
  Pump();
}

TEST_F(InputTest, FocusAndActivationBetweenOwnWindowsNeverSendActivateApp)
{
  const HWND first = Make(PlainClass, 100, 100, 100, 100);
  const HWND child = Make(PlainClass, 10, 10, 20, 20, first);
  const HWND second = Make(PlainClass, 300, 100, 100, 100);
  EXPECT_EQ(SetFocus(child), first);  // activation focused the top-level window first
  EXPECT_EQ(GetFocus(), child);
  EXPECT_EQ(GetActiveWindow(), first);
  EXPECT_EQ(GetForegroundWindow(), first);
  const auto activateApp = Seen(WM_ACTIVATEAPP);
  ASSERT_EQ(activateApp.size(), 2U);  // both top-level windows, once
  EXPECT_EQ(activateApp[0].WParam, static_cast<WPARAM>(TRUE));
  FSeen.clear();
  Button(350, 150, true);
  Button(350, 150, false);
  Pump();
  EXPECT_EQ(GetActiveWindow(), second);
  EXPECT_EQ(GetFocus(), second);
  EXPECT_TRUE(Seen(WM_ACTIVATEAPP).empty());
  const auto activations = Seen(WM_ACTIVATE);
  ASSERT_EQ(activations.size(), 2U);
  EXPECT_EQ(activations[0].Window, first);
  EXPECT_EQ(activations[0].WParam, WA_INACTIVE);
  EXPECT_EQ(activations[1].Window, second);
  EXPECT_EQ(activations[1].WParam, WA_CLICKACTIVE);
  const auto killed = Seen(WM_KILLFOCUS);
  ASSERT_EQ(killed.size(), 1U);
  EXPECT_EQ(killed[0].Window, child);
  EXPECT_EQ(reinterpret_cast<HWND>(killed[0].WParam), second);
}

TEST_F(InputTest, KeysGoToTheFocusWindow)
{
  const HWND top = Make(PlainClass, 100, 100, 100, 100);
  const HWND child = Make(PlainClass, 10, 10, 20, 20, top);
  SetFocus(child);
  FSeen.clear();
  Key(XK_x, true, U"x");
  Key(XK_x, false);
  Pump();
  ASSERT_EQ(Seen(WM_KEYDOWN).size(), 1U);
  EXPECT_EQ(Seen(WM_KEYDOWN)[0].Window, child);
  SetFocus(nullptr);
  FSeen.clear();
  Key(XK_x, true, U"x");
  Key(XK_x, false);
  Pump();
  ASSERT_EQ(Seen(WM_KEYDOWN).size(), 1U);
  EXPECT_EQ(Seen(WM_KEYDOWN)[0].Window, top);  // no focus: the active window
}

TEST_F(InputTest, CursorSetDuringCaptureStaysThroughMoves)
{
  const std::uint32_t pixels[4] = {0xFF000000, 0xFFFFFFFF, 0xFFFFFFFF, 0xFF000000};
  ASSERT_TRUE(RegisterCursorResource("DRAG", 2, 2, 0, 0, pixels, 4));
  const HCURSOR drag = LoadCursorA(reinterpret_cast<HINSTANCE>(1), "drag");
  ASSERT_NE(drag, nullptr);
  const HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  const HWND window = Make(PlainClass, 100, 100, 100, 100);
  Move(150, 150);
  Pump();
  EXPECT_EQ(GetCursor(), arrow);  // the class cursor
  EXPECT_FALSE(Seen(WM_SETCURSOR).empty());
  SetCapture(window);
  SetCursor(drag);
  FSeen.clear();
  Move(160, 160);
  Move(400, 400);
  Pump();
  EXPECT_TRUE(Seen(WM_SETCURSOR).empty());
  EXPECT_EQ(GetCursor(), drag);
  ReleaseCapture();
  Move(150, 150);
  Pump();
  EXPECT_EQ(GetCursor(), arrow);
}

TEST_F(InputTest, CursorResourcesAreCheckedAndFoundByNameOrNumber)
{
  static const std::uint32_t pixels[256 * 257] = {};
  struct TCase {
    int Width;
    int Height;
    std::size_t Count;
    bool Accepted;
  };
  const TCase cases[] = {
      {1, 1, 1, true},      {256, 256, 256 * 256, true},
      {257, 1, 257, false}, {1, 257, 257, false},
      {0, 1, 0, false},     {2, 2, 3, false},
      {-1, 1, 1, false},
  };
  for (const auto& entry : cases) {
    EXPECT_EQ(RegisterCursorResource("SIZED", entry.Width, entry.Height, 0, 0, pixels, entry.Count),
              entry.Accepted)
        << entry.Width << "x" << entry.Height;
  }
  ASSERT_TRUE(
      RegisterCursorResource(reinterpret_cast<const char*>(std::uintptr_t{4}), 1, 1, 5, 5, pixels, 1));
  const HCURSOR four =
      LoadCursorA(reinterpret_cast<HINSTANCE>(1), reinterpret_cast<const char*>(std::uintptr_t{4}));
  ASSERT_NE(four, nullptr);
  const auto image = CursorImage(four);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->HotspotX, 0);  // kept inside the image
  SetLastError(0);
  EXPECT_EQ(LoadCursorA(reinterpret_cast<HINSTANCE>(1), "missing"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
  EXPECT_NE(LoadCursorA(nullptr, IDC_WAIT), nullptr);
  EXPECT_NE(LoadCursorA(nullptr, IDC_WAIT), LoadCursorA(nullptr, IDC_ARROW));
}

TEST_F(InputTest, MouseEventReachesOnlyTheProgramsWindowUnderThePointer)
{
  const HWND window = Make(PlainClass, 100, 100, 100, 100);
  SetCursorPos(150, 150);
  Pump();
  FSeen.clear();
  mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
  mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
  Pump();
  ASSERT_EQ(Seen(WM_LBUTTONDOWN).size(), 1U);
  EXPECT_EQ(Seen(WM_LBUTTONDOWN)[0].Window, window);
  EXPECT_EQ(Seen(WM_LBUTTONUP).size(), 1U);
  // Over no window of ours: traced and dropped.
  std::vector<std::string> traced;
  SetPlatformTraceSink([&traced](std::string_view line) { traced.emplace_back(line); });
  FSeen.clear();
  mouse_event(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, 65535, 65535, 0, 0);
  POINT where{};
  GetCursorPos(&where);
  EXPECT_EQ(where.x, 799);
  EXPECT_EQ(where.y, 599);
  mouse_event(MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
  Pump();
  SetPlatformTraceSink({});
  EXPECT_TRUE(Seen(WM_LBUTTONDOWN).empty());
  EXPECT_EQ(traced.size(), 1U);
}

TEST_F(InputTest, InputForAWindowDestroyedMeanwhileIsDropped)
{
  const HWND window = Make(PlainClass, 100, 100, 100, 100);
  SetFocus(window);
  Key(XK_a, true, U"a");
  Button(150, 150, true);
  DestroyWindow(window);
  FWindows.clear();
  MSG message{};
  EXPECT_FALSE(PeekMessageA(&message, window, WM_KEYFIRST, WM_MOUSELAST, PM_REMOVE));
  EXPECT_EQ(GetFocus(), nullptr);
  EXPECT_EQ(GetActiveWindow(), nullptr);
  Key(XK_a, false);
  Button(150, 150, false);
  Pump();
}

TEST(InputLookupTest, TrackMouseEventIsFoundInTheBuiltInUser32)
{
  struct TCase {
    const char* Module;
    const char* Function;
    FARPROC Expected;
  };
  const TCase cases[] = {
      {"user32.dll", "TrackMouseEvent", reinterpret_cast<FARPROC>(&TrackMouseEvent)},
      {"USER32.DLL", "TrackMouseEvent", reinterpret_cast<FARPROC>(&TrackMouseEvent)},
      {"user32", "mouse_event", reinterpret_cast<FARPROC>(&mouse_event)},
      {"user32.dll", "NoSuchFunction", nullptr},
  };
  for (const auto& entry : cases) {
    const HMODULE module = LoadLibraryA(entry.Module);
    ASSERT_NE(module, nullptr) << entry.Module;
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(module, entry.Function), entry.Expected)
        << entry.Module << " " << entry.Function;
    if (entry.Expected == nullptr) {
      EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    }
    EXPECT_TRUE(FreeLibrary(module));
  }
  // A folder names a host file, never the built-in module.
  EXPECT_EQ(LoadLibraryA("/nowhere/user32.dll"), nullptr);
}

TEST(InputLookupTest, DoubleClickMetrics)
{
  EXPECT_EQ(GetDoubleClickTime(), 500U);
  EXPECT_EQ(GetSystemMetrics(SM_CXDOUBLECLK), 4);
  EXPECT_EQ(GetSystemMetrics(SM_CYDOUBLECLK), 4);
  EXPECT_EQ(GetSystemMetrics(SM_SWAPBUTTON), 0);
}

TEST_F(InputTest, DestroyingTheActiveWindowKeepsTheProgramActive)
{
  const HWND first = Make(PlainClass, 100, 100, 100, 100);
  const HWND second = Make(PlainClass, 300, 100, 100, 100);
  SetActiveWindow(first);
  FSeen.clear();
  DestroyWindow(first);
  FWindows.erase(FWindows.begin());
  EXPECT_EQ(GetActiveWindow(), nullptr);
  SetActiveWindow(second);
  EXPECT_TRUE(Seen(WM_ACTIVATEAPP).empty()) << "the program never stopped being the active one";
  EXPECT_EQ(GetActiveWindow(), second);
}

}  // namespace
