// Input through a real X server: the pointer and the keyboard driven by the XTest extension.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/core/Diagnostics.h"
#include "platform/core/LastError.h"
#include "platform/core/Time.h"
#include "platform/display/Display.h"
#include "platform/display/EditControl.h"
#include "platform/windows/DisplayTesting.h"
#include "platform/windows/Gdi.h"
#include "platform/windows/HotKeys.h"
#include "platform/windows/Input.h"
#include "platform/windows/Messages.h"
#include "platform/windows/Windows.h"
#include "tests/support/MessagePump.h"
#include "tests/support/TempFolder.h"
#include "tests/support/XvfbServer.h"

// After everything else: the X headers' macros (None, Status) clash with names in other headers.
#include <X11/XF86keysym.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

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

// Keeps a second connection to the server: the test's own hands on the pointer and keyboard.
class TTestConnection {
 public:
  explicit TTestConnection(const std::string& name) : FDisplay(XOpenDisplay(name.c_str())) {}
  ~TTestConnection()
  {
    if (FDisplay != nullptr) {
      XCloseDisplay(FDisplay);
    }
  }
  TTestConnection(const TTestConnection&) = delete;
  TTestConnection& operator=(const TTestConnection&) = delete;

  Display* Get() const noexcept { return FDisplay; }

  void MoveTo(int x, int y)
  {
    XTestFakeMotionEvent(FDisplay, -1, x, y, CurrentTime);
    XSync(FDisplay, False);
  }
  void Click(int x, int y)
  {
    MoveTo(x, y);
    XTestFakeButtonEvent(FDisplay, 1, True, CurrentTime);
    XTestFakeButtonEvent(FDisplay, 1, False, CurrentTime);
    XSync(FDisplay, False);
  }
  void Key(KeySym keysym, bool down)
  {
    XTestFakeKeyEvent(FDisplay, XKeysymToKeycode(FDisplay, keysym), down ? True : False, CurrentTime);
    XSync(FDisplay, False);
  }
  void Type(KeySym keysym)
  {
    const KeyCode code = XKeysymToKeycode(FDisplay, keysym);
    XTestFakeKeyEvent(FDisplay, code, True, CurrentTime);
    XTestFakeKeyEvent(FDisplay, code, False, CurrentTime);
    XSync(FDisplay, False);
  }

 private:
  Display* FDisplay;
};

class TInputX11 : public testing::Test {
 protected:
  void SetUp() override
  {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = RecordingProc;
    windowClass.lpszClassName = "X11InputTest";
    RegisterClassA(&windowClass);
    seen = &FSeen;
    UseX11Display();
    ASSERT_STREQ(DisplayBackEndName(), "x11");
  }
  void TearDown() override
  {
    if (FWindow != nullptr) {
      DestroyWindow(FWindow);
    }
    seen = nullptr;
    // Let go of the server before it stops.
    UseHeadlessDisplay();
    UnregisterClassA("X11InputTest", nullptr);
  }

  // The triangle window of the tests at (300, 200), 200 x 150.
  HWND ShowTriangle()
  {
    FWindow = CreateWindowExA(WS_EX_TOPMOST, "X11InputTest", "triangle", WS_POPUP, 300, 200, 200, 150,
                              nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(FWindow, nullptr);
    const POINT corners[] = {{0, 0}, {200, 75}, {0, 150}};
    SetWindowRgn(FWindow, CreatePolygonRgn(corners, 3, ALTERNATE), FALSE);
    ShowWindow(FWindow, SW_SHOWNA);
    Pump(50);
    return FWindow;
  }

  void Pump(DWORD milliseconds)
  {
    const DWORD start = GetTickCount();
    PumpUntil([&] { return GetTickCount() - start >= milliseconds; });
  }

  bool PumpUntilSeen(UINT message, DWORD timeout = 15000)
  {
    return PumpUntil(
        [&] {
          for (const auto& entry : FSeen) {
            if (entry.Message == message) {
              return true;
            }
          }
          return false;
        },
        timeout);
  }

  std::vector<TSeen> Seen(UINT only) const
  {
    std::vector<TSeen> result;
    for (const auto& entry : FSeen) {
      if (entry.Message == only) {
        result.push_back(entry);
      }
    }
    return result;
  }

  TTempMachine FMachine;
  TXvfbServer FServer;
  std::vector<TSeen> FSeen;
  HWND FWindow = nullptr;
};

// A message pump that also translates keys, as the program's loop does.
bool PumpTranslatingUntil(const std::function<bool()>& done, DWORD timeout = 15000)
{
  const DWORD start = GetTickCount();
  MSG message{};
  while (!done() && GetTickCount() - start < timeout) {
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  return done();
}

TEST_F(TInputX11, ClickingAShapedWindowReachesItOnlyInsideItsRegion)
{
  const HWND window = ShowTriangle();
  TTestConnection hands(FServer.Name());
  ASSERT_NE(hands.Get(), nullptr);
  hands.Click(320, 230);
  ASSERT_TRUE(PumpUntilSeen(WM_LBUTTONUP));
  auto downs = Seen(WM_LBUTTONDOWN);
  ASSERT_EQ(downs.size(), 1U);
  EXPECT_EQ(downs[0].Window, window);
  EXPECT_EQ(static_cast<short>(downs[0].LParam & 0xFFFF), 20);
  EXPECT_EQ(static_cast<short>((downs[0].LParam >> 16) & 0xFFFF), 30);
  FSeen.clear();
  // Inside the rectangle, outside the triangle: the click falls through to the root.
  hands.Click(480, 330);
  Pump(300);
  EXPECT_TRUE(Seen(WM_LBUTTONDOWN).empty());
}

TEST_F(TInputX11, TypingReachesTheFocusedWindowAsKeysAndCharacters)
{
  const HWND window = ShowTriangle();
  SetFocus(window);
  TTestConnection hands(FServer.Name());
  hands.MoveTo(320, 230);
  Pump(100);
  for (const KeySym key : {XK_o, XK_k, XK_Return}) {
    hands.Type(key);
  }
  ASSERT_TRUE(PumpTranslatingUntil([&] { return Seen(WM_KEYUP).size() >= 3; }));
  std::vector<WPARAM> keys;
  for (const auto& entry : Seen(WM_KEYDOWN)) {
    keys.push_back(entry.WParam);
  }
  EXPECT_EQ(keys, (std::vector<WPARAM>{'O', 'K', VK_RETURN}));
  std::u32string typed;
  for (const auto& entry : Seen(WM_CHAR)) {
    typed.push_back(static_cast<char32_t>(entry.WParam));
  }
  EXPECT_EQ(typed, U"ok\r");
}

TEST_F(TInputX11, MouseEventReachesOnlyTheProgramsOwnWindow)
{
  const HWND window = ShowTriangle();
  TTestConnection hands(FServer.Name());
  // Another program's window over the left part of ours.
  Display* other = hands.Get();
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  attributes.event_mask = ButtonPressMask | ButtonReleaseMask;
  const Window foreign =
      XCreateWindow(other, DefaultRootWindow(other), 250, 150, 100, 100, 0, CopyFromParent, InputOutput,
                    CopyFromParent, CWOverrideRedirect | CWEventMask, &attributes);
  XMapRaised(other, foreign);
  XSync(other, False);
  hands.MoveTo(320, 230);  // over both: the other program's window is on top
  Pump(100);
  FSeen.clear();
  mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
  mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
  Pump(200);
  EXPECT_TRUE(Seen(WM_LBUTTONDOWN).empty());
  XSync(other, False);
  XEvent event{};
  EXPECT_FALSE(XCheckWindowEvent(other, foreign, ButtonPressMask | ButtonReleaseMask, &event))
      << "mouse_event must never reach another program";
  hands.MoveTo(380, 260);  // over ours only
  Pump(100);
  mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
  mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
  ASSERT_TRUE(PumpUntilSeen(WM_LBUTTONUP));
  ASSERT_EQ(Seen(WM_LBUTTONDOWN).size(), 1U);
  EXPECT_EQ(Seen(WM_LBUTTONDOWN)[0].Window, window);
  XDestroyWindow(other, foreign);
  XSync(other, False);
}

TEST_F(TInputX11, CapturedDragGetsMovesOutsideTheWindow)
{
  const HWND window = ShowTriangle();
  TTestConnection hands(FServer.Name());
  hands.MoveTo(320, 230);
  ASSERT_TRUE(PumpUntilSeen(WM_MOUSEMOVE));
  SetCapture(window);
  Pump(50);
  FSeen.clear();
  hands.MoveTo(700, 500);
  ASSERT_TRUE(PumpUntil([&] {
    const auto moves = Seen(WM_MOUSEMOVE);
    return !moves.empty() && static_cast<short>(moves.back().LParam & 0xFFFF) == 400;
  }));
  ReleaseCapture();
  FSeen.clear();
  hands.MoveTo(710, 510);
  Pump(200);
  EXPECT_TRUE(Seen(WM_MOUSEMOVE).empty());
}

TEST_F(TInputX11, MessageBoxIsModalAndEnterClosesIt)
{
  const HWND owner = ShowTriangle();
  const std::string name = FServer.Name();
  bool boxSeen = false;
  std::thread user([&] {
    TTestConnection hands(name);
    const DWORD start = GetTickCount();
    while (FindWindowA("OxaMessageBox", "Caption") == nullptr && GetTickCount() - start < 5000) {
      Sleep(20);
    }
    boxSeen = FindWindowA("OxaMessageBox", "Caption") != nullptr;
    Sleep(100);
    hands.Click(320, 230);  // on the owner: it takes no input meanwhile
    Sleep(100);
    hands.Type(XK_Return);
  });
  std::vector<std::string> traced;
  SetPlatformTraceSink([&traced](std::string_view line) { traced.emplace_back(line); });
  testing::internal::CaptureStderr();
  const int answer = MessageBoxA(nullptr, "line one\n\rline two", "Caption",
                                 MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
  const std::string error = testing::internal::GetCapturedStderr();
  SetPlatformTraceSink({});
  user.join();
  EXPECT_TRUE(boxSeen);
  EXPECT_EQ(answer, IDOK);
  EXPECT_EQ(error, "") << "a box on the screen is not also written out";
  EXPECT_TRUE(Seen(WM_LBUTTONDOWN).empty());
  EXPECT_EQ(GetWindowLongPtrA(owner, GWL_STYLE) & WS_DISABLED, 0) << "enabled again afterwards";
  EXPECT_EQ(FindWindowA("OxaMessageBox", "Caption"), nullptr);
}

TEST_F(TInputX11, OtherProgramsWindowsGetHandlesThatWork)
{
  const HWND window = ShowTriangle();
  ASSERT_TRUE(SetForegroundWindow(window));
  EXPECT_EQ(GetForegroundWindow(), window);
  TTestConnection hands(FServer.Name());
  Display* other = hands.Get();
  const Window foreign = XCreateSimpleWindow(other, DefaultRootWindow(other), 10, 10, 60, 40, 0, 0, 0);
  XStoreName(other, foreign, "Other Program");
  XMapWindow(other, foreign);
  XSync(other, False);
  XSetInputFocus(other, foreign, RevertToParent, CurrentTime);
  XSync(other, False);
  ASSERT_TRUE(PumpUntil([] { return GetActiveWindow() == nullptr; })) << "the program lost the activation";
  const HWND theirs = GetForegroundWindow();
  ASSERT_NE(theirs, nullptr);
  EXPECT_NE(theirs, window);
  EXPECT_TRUE(IsWindow(theirs));
  char title[64] = {};
  EXPECT_EQ(GetWindowTextA(theirs, title, sizeof(title)), 13);
  EXPECT_STREQ(title, "Other Program");
  EXPECT_EQ(GetWindowTextA(theirs, title, 6), 5);
  EXPECT_STREQ(title, "Other");
  EXPECT_EQ(GetForegroundWindow(), theirs) << "the same window keeps its handle";

  ASSERT_TRUE(SetForegroundWindow(window));
  ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == window; }));
  ASSERT_TRUE(SetForegroundWindow(theirs));
  Window focused = 0;
  int revert = 0;
  XGetInputFocus(other, &focused, &revert);
  EXPECT_EQ(focused, foreign);
  EXPECT_EQ(GetActiveWindow(), nullptr);

  XDestroyWindow(other, foreign);
  XSync(other, False);
  EXPECT_FALSE(IsWindow(theirs));
  EXPECT_EQ(GetWindowTextA(theirs, title, sizeof(title)), 0);
  EXPECT_FALSE(SetForegroundWindow(theirs));
}

TEST_F(TInputX11, TypingIntoTheInPlaceEditor)
{
  ASSERT_TRUE(RegisterEditControlClass());
  FWindow = CreateWindowExA(0, "X11InputTest", "list", WS_POPUP | WS_VISIBLE, 100, 100, 300, 100, nullptr,
                            nullptr, nullptr, nullptr);
  ASSERT_NE(FWindow, nullptr);
  const HWND edit = CreateWindowExA(0, EDIT_CONTROL_CLASS, "old caption", WS_CHILD | WS_VISIBLE, 10, 10, 280,
                                    40, FWindow, nullptr, nullptr, nullptr);
  ASSERT_NE(edit, nullptr);
  SetFocus(edit);
  TTestConnection hands(FServer.Name());
  hands.MoveTo(150, 130);
  Pump(100);
  for (const KeySym key : {XK_n, XK_e, XK_x, XK_BackSpace, XK_w}) {
    hands.Type(key);
  }
  char text[64] = {};
  ASSERT_TRUE(PumpTranslatingUntil([&] {
    GetWindowTextA(edit, text, sizeof(text));
    return std::string(text) == "new";
  })) << text;
  EXPECT_TRUE(Seen(WM_KEYDOWN).empty()) << "the editor's keys never reach the window below";
}

TEST_F(TInputX11, ComposeSequenceTypesOneCharacter)
{
  const HWND window = ShowTriangle();
  SetFocus(window);
  TTestConnection hands(FServer.Name());
  Display* keyboard = hands.Get();
  // Give the compose key a free key code: the server's map has none.
  int first = 0;
  int last = 0;
  XDisplayKeycodes(keyboard, &first, &last);
  int perCode = 0;
  KeySym* map = XGetKeyboardMapping(keyboard, static_cast<KeyCode>(first), last - first + 1, &perCode);
  ASSERT_NE(map, nullptr);
  int free = 0;
  for (int code = last; code >= first && free == 0; --code) {
    bool empty = true;
    for (int k = 0; k < perCode; ++k) {
      empty = empty && map[(code - first) * perCode + k] == NoSymbol;
    }
    free = empty ? code : 0;
  }
  XFree(map);
  ASSERT_NE(free, 0);
  KeySym compose = XK_Multi_key;
  XChangeKeyboardMapping(keyboard, free, 1, &compose, 1);
  XSync(keyboard, False);
  hands.MoveTo(320, 230);
  Pump(200);
  for (const KeySym key : {XK_Multi_key, XK_apostrophe, XK_e}) {
    hands.Type(key);
  }
  ASSERT_TRUE(PumpTranslatingUntil([&] { return !Seen(WM_CHAR).empty(); }));
  Pump(100);
  const auto typed = Seen(WM_CHAR);
  ASSERT_EQ(typed.size(), 1U);
  EXPECT_EQ(typed[0].WParam, 0xE9U);
}

}  // namespace

namespace {

TEST_F(TInputX11, AHotKeyIsTheProgramsWhateverHasTheKeyboardAndTheLockKeysDoNotMatter)
{
  const HWND window = ShowTriangle();
  TTestConnection hands(FServer.Name());
  ASSERT_NE(hands.Get(), nullptr);
  constexpr int Id = 7;
  ASSERT_TRUE(RegisterHotKey(window, Id, 0, VK_MEDIA_NEXT_TRACK));
  SetLastError(0);
  EXPECT_FALSE(RegisterHotKey(window, Id, 0, VK_MEDIA_STOP)) << "the id is the window's already";
  EXPECT_EQ(GetLastError(), ERROR_HOTKEY_ALREADY_REGISTERED);
  EXPECT_FALSE(RegisterHotKey(window, Id + 1, 0, VK_MEDIA_NEXT_TRACK)) << "the key is taken already";
  EXPECT_EQ(GetLastError(), ERROR_HOTKEY_ALREADY_REGISTERED);
  EXPECT_FALSE(RegisterHotKey(nullptr, Id, 0, VK_MEDIA_STOP));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_FALSE(RegisterHotKey(window, Id + 2, 0, 0x9F)) << "no key of the keyboard gives that code";
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);

  // The pointer away from the window: nothing of the program has the keyboard.
  hands.MoveTo(50, 50);
  hands.Type(XF86XK_AudioNext);
  ASSERT_TRUE(PumpUntilSeen(WM_HOTKEY));
  auto hot = Seen(WM_HOTKEY);
  ASSERT_EQ(hot.size(), 1U);
  EXPECT_EQ(hot[0].Window, window);
  EXPECT_EQ(hot[0].WParam, static_cast<WPARAM>(Id));
  EXPECT_EQ((hot[0].LParam >> 16) & 0xFFFF, VK_MEDIA_NEXT_TRACK);
  EXPECT_EQ(hot[0].LParam & 0xFFFF, 0);
  EXPECT_TRUE(Seen(WM_KEYDOWN).empty()) << "a grabbed key comes as the hot key only";

  // With NumLock on it fires all the same; with Shift held, which it was not taken with, not.
  hands.Type(XK_Num_Lock);
  hands.Type(XF86XK_AudioNext);
  ASSERT_TRUE(PumpUntil([&] { return Seen(WM_HOTKEY).size() == 2; }, 15000));
  hands.Type(XK_Num_Lock);
  hands.Key(XK_Shift_L, true);
  hands.Type(XF86XK_AudioNext);
  hands.Key(XK_Shift_L, false);
  Pump(300);
  EXPECT_EQ(Seen(WM_HOTKEY).size(), 2U);

  EXPECT_TRUE(UnregisterHotKey(window, Id));
  EXPECT_FALSE(UnregisterHotKey(window, Id));
  EXPECT_EQ(GetLastError(), ERROR_HOTKEY_NOT_REGISTERED);
  hands.Type(XF86XK_AudioNext);
  Pump(300);
  EXPECT_EQ(Seen(WM_HOTKEY).size(), 2U) << "given back";
}

TEST_F(TInputX11, AKeyAnotherProgramHoldsIsNotTaken)
{
  const HWND window = ShowTriangle();
  TTestConnection other(FServer.Name());
  ASSERT_NE(other.Get(), nullptr);
  Display* display = other.Get();
  XGrabKey(display, XKeysymToKeycode(display, XF86XK_AudioPrev), 0, DefaultRootWindow(display), False,
           GrabModeAsync, GrabModeAsync);
  XSync(display, False);
  SetLastError(0);
  EXPECT_FALSE(RegisterHotKey(window, 1, 0, VK_MEDIA_PREV_TRACK));
  EXPECT_EQ(GetLastError(), ERROR_HOTKEY_ALREADY_REGISTERED);
  // Nothing of it stayed taken: the key is free to register once the other program lets go.
  XUngrabKey(display, XKeysymToKeycode(display, XF86XK_AudioPrev), 0, DefaultRootWindow(display));
  XSync(display, False);
  EXPECT_TRUE(RegisterHotKey(window, 1, 0, VK_MEDIA_PREV_TRACK));
  EXPECT_TRUE(UnregisterHotKey(window, 1));
}

}  // namespace
