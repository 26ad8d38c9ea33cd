#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/Diagnostics.h"
#include "platform/core/LastError.h"
#include "platform/core/Time.h"
#include "platform/display/Display.h"
#include "platform/windows/DisplayBackEnd.h"
#include "platform/windows/DisplayTesting.h"
#include "platform/windows/Gdi.h"
#include "platform/windows/Messages.h"
#include "platform/windows/Metrics.h"
#include "platform/windows/Windows.h"
#include "tests/support/TempFolder.h"
#include "tests/support/XvfbServer.h"

namespace {

LRESULT PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  return DefWindowProcA(window, message, wParam, lParam);
}

// A test picture: colour ramps and a few flat blocks, drawn through a section and StretchBlt.
void DrawPicture(HWND window)
{
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = 64;
  info.bmiHeader.biHeight = 48;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  const HDC memory = CreateCompatibleDC(nullptr);
  const HBITMAP section = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  auto* bytes = static_cast<std::uint8_t*>(bits);
  for (int row = 0; row < 48; ++row) {
    for (int x = 0; x < 64; ++x) {
      std::uint8_t* pixel = bytes + row * 192 + x * 3;
      pixel[0] = static_cast<std::uint8_t>(x * 4);
      pixel[1] = static_cast<std::uint8_t>(row * 5);
      pixel[2] = static_cast<std::uint8_t>(255 - x * 4);
    }
  }
  const HGDIOBJ old = SelectObject(memory, section);
  const HDC dc = GetDC(window);
  SetStretchBltMode(dc, HALFTONE);
  StretchBlt(dc, 0, 0, 200, 150, memory, 0, 0, 64, 48, SRCCOPY);
  const HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  const RECT block{10, 60, 40, 90};
  FillRect(dc, &block, white);
  const HPEN pen = CreatePen(PS_SOLID, 3, RGB(255, 255, 0));
  const HGDIOBJ oldPen = SelectObject(dc, pen);
  const POINT edge[] = {{0, 0}, {199, 75}, {0, 149}};
  Polyline(dc, edge, 3);
  SelectObject(dc, oldPen);
  DeleteObject(pen);
  ReleaseDC(window, dc);
  SelectObject(memory, old);
  DeleteObject(section);
  DeleteDC(memory);
}

// Shows the triangle window of the test, drawn; returns it.
HWND ShowScene()
{
  const HWND window = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "X11TestWindow", "triangle", WS_POPUP,
                                      300, 200, 200, 150, nullptr, nullptr, nullptr, nullptr);
  EXPECT_NE(window, nullptr);
  const POINT corners[] = {{0, 0}, {200, 75}, {0, 150}};
  SetWindowRgn(window, CreatePolygonRgn(corners, 3, ALTERNATE), FALSE);
  ShowWindow(window, SW_SHOWNA);
  MSG message{};
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    DispatchMessageA(&message);
  }
  DrawPicture(window);
  return window;
}

class TDisplayX11 : public ::testing::Test {
 protected:
  void SetUp() override
  {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = PlainProc;
    windowClass.lpszClassName = "X11TestWindow";
    RegisterClassA(&windowClass);
  }
  void TearDown() override
  {
    UseHeadlessDisplay();
    UnregisterClassA("X11TestWindow", nullptr);
  }
  TTempMachine FMachine;
};

TEST_F(TDisplayX11, AShapedTopmostWindowOnTheServerEqualsTheMemoryScreen)
{
  UseHeadlessDisplay(800, 600);
  const HWND headless = ShowScene();
  std::vector<std::uint32_t> expected;
  SIZE size{};
  ASSERT_TRUE(ReadScreen(expected, size));
  DestroyWindow(headless);

  const TXvfbServer server;
  UseX11Display();
  ASSERT_STREQ(DisplayBackEndName(), "x11");
  const HWND window = ShowScene();
  std::vector<std::uint32_t> shown;
  SIZE shownSize{};
  ASSERT_TRUE(ReadScreen(shown, shownSize));
  ASSERT_EQ(shownSize.cx, size.cx);
  ASSERT_EQ(shown.size(), expected.size());
  std::size_t differing = 0;
  for (std::size_t i = 0; i < shown.size(); ++i) {
    differing += shown[i] != expected[i] ? 1 : 0;
  }
  EXPECT_EQ(differing, 0U) << "pixels differ between the X server and the memory screen";
  if (const char* keep = std::getenv("OXA_KEEP_SCREENSHOTS")) {
    SaveScreenPng(std::string(keep) + "/x11-screen.png");
  }
  DestroyWindow(window);
  // Let go of the server before it stops.
  UseHeadlessDisplay();
}

void Fill(HWND window, COLORREF color)
{
  const HDC dc = GetDC(window);
  RECT all{};
  GetClientRect(window, &all);
  const HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &all, brush);
  DeleteObject(brush);
  ReleaseDC(window, dc);
}

void Pump()
{
  MSG message{};
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    DispatchMessageA(&message);
  }
}

int SurfaceSegment(HWND window)
{
  const auto view = TopLevelView(window);
  return view && view->Surface ? view->Surface->SharedSegment() : -2;
}

// A window drawn, then resized and drawn, then scaled and drawn: each time its pixels are on the
// screen up to its edge and not one pixel past it, whether the server reads them from shared
// memory, gets them in the request, or there is no server.
TEST_F(TDisplayX11, WindowPixelsReachTheScreenThroughEveryPath)
{
  struct TCase {
    const char* Name;
    bool Server;
    std::vector<std::string> ServerArguments;
    bool SharedAfterResize;  // the resized window's surface is in a shared segment
  };
  const TCase cases[] = {
      {"memory screen", false, {}, false},
      {"server with shared memory", true, {}, true},
      {"server without shared memory", true, {"-extension", "MIT-SHM"}, false},
  };
  const COLORREF black = RGB(0, 0, 0);
  const COLORREF red = RGB(255, 0, 0);
  const COLORREF green = RGB(0, 255, 0);
  const COLORREF blue = RGB(0, 0, 255);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    std::unique_ptr<TXvfbServer> server;
    if (c.Server) {
      server = std::make_unique<TXvfbServer>("800x600x24", c.ServerArguments);
      UseX11Display();
    } else {
      UseHeadlessDisplay(800, 600);
    }
    const HWND window = CreateWindowExA(0, "X11TestWindow", "", WS_POPUP, 100, 100, 120, 80, nullptr, nullptr,
                                        nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOWNA);
    Pump();
    const std::uint64_t presents = DisplayPresentCount();
    Fill(window, red);
    EXPECT_GT(DisplayPresentCount(), presents);
    EXPECT_EQ(ScreenPixel(100, 100), red);
    EXPECT_EQ(ScreenPixel(219, 179), red);
    EXPECT_EQ(ScreenPixel(99, 100), black);
    EXPECT_EQ(ScreenPixel(220, 179), black);
    EXPECT_EQ(ScreenPixel(219, 180), black);

    // A new surface, in a new segment the server has to attach in place of the old one.
    SetWindowPos(window, nullptr, 0, 0, 200, 120, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Pump();
    EXPECT_EQ(SurfaceSegment(window) >= 0, c.SharedAfterResize);
    Fill(window, green);
    EXPECT_EQ(ScreenPixel(100, 100), green);
    EXPECT_EQ(ScreenPixel(299, 219), green);
    EXPECT_EQ(ScreenPixel(300, 219), black);
    EXPECT_EQ(ScreenPixel(299, 220), black);

    // Twice the size on the screen: the scaled picture is presented instead of the surface.
    const RECT screen{0, 0, 400, 240};
    ASSERT_TRUE(SetWindowPresentation(window, &screen));
    Pump();
    Fill(window, blue);
    EXPECT_EQ(ScreenPixel(0, 0), blue);
    EXPECT_EQ(ScreenPixel(399, 239), blue);
    EXPECT_EQ(ScreenPixel(400, 239), black);
    EXPECT_EQ(ScreenPixel(399, 240), black);
    DestroyWindow(window);
    UseHeadlessDisplay();
  }
}

// Handles the thread's messages, drawing into the window between them as a program does, until
// WM_QUIT comes (true) or about two seconds have passed (false).
bool PumpUntilQuit(HWND window)
{
  for (int round = 0; round < 200; ++round) {
    Fill(window, RGB(255, 0, 0));
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        return true;
      }
      DispatchMessageA(&message);
    }
    Sleep(10);
  }
  return false;
}

// The server going away (the session ending) must not end the process on the spot: the message
// loop ends, so the program frees its windows and saves its library and settings as it goes.
TEST_F(TDisplayX11, ALostServerEndsTheMessageLoopAndTheProcessCarriesOn)
{
  auto server = std::make_unique<TXvfbServer>();
  const std::string name = server->Name();
  UseX11Display();
  const HWND window = CreateWindowExA(0, "X11TestWindow", "main", WS_POPUP | WS_VISIBLE, 0, 0, 120, 80,
                                      nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  Pump();
  Fill(window, RGB(0, 0, 255));
  server.reset();
  setenv("DISPLAY", name.c_str(), 1);
  EXPECT_TRUE(PumpUntilQuit(window));
  DestroyWindow(window);
  UseHeadlessDisplay();
  unsetenv("DISPLAY");
}

int ownHandlerCalls = 0;

void OwnHandler(int)
{
  ++ownHandlerCalls;
}

// SIGTERM (shutdown, kill), SIGHUP and SIGINT end a windowed program's message loop, so it ends
// the way it does when asked to; a handler the program set itself stays its own, and the default
// action comes back when the display goes.
TEST_F(TDisplayX11, EndSignalsEndTheMessageLoop)
{
  struct sigaction own {};
  own.sa_handler = OwnHandler;
  sigemptyset(&own.sa_mask);
  struct sigaction previous {};
  ASSERT_EQ(sigaction(SIGHUP, &own, &previous), 0);
  // Another test may have left the console's Ctrl+C handler in place.
  struct sigaction byDefault {};
  byDefault.sa_handler = SIG_DFL;
  sigemptyset(&byDefault.sa_mask);
  struct sigaction previousInterrupt {};
  ASSERT_EQ(sigaction(SIGINT, &byDefault, &previousInterrupt), 0);
  ownHandlerCalls = 0;
  {
    const TXvfbServer server;
    UseX11Display();
    const HWND window = CreateWindowExA(0, "X11TestWindow", "main", WS_POPUP | WS_VISIBLE, 0, 0, 120, 80,
                                        nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    Pump();
    for (const int signal : {SIGTERM, SIGINT}) {
      raise(signal);
      EXPECT_TRUE(PumpUntilQuit(window)) << "signal " << signal;
    }
    raise(SIGHUP);
    EXPECT_EQ(ownHandlerCalls, 1);
    EXPECT_FALSE(PumpUntilQuit(window)) << "the program's own SIGHUP handler is not taken over";
    DestroyWindow(window);
    UseHeadlessDisplay();
  }
  struct sigaction after {};
  ASSERT_EQ(sigaction(SIGTERM, nullptr, &after), 0);
  EXPECT_EQ(after.sa_handler, SIG_DFL);
  ASSERT_EQ(sigaction(SIGHUP, nullptr, &after), 0);
  EXPECT_EQ(after.sa_handler, &OwnHandler);
  sigaction(SIGHUP, &previous, nullptr);
  sigaction(SIGINT, &previousInterrupt, nullptr);
}

TEST_F(TDisplayX11, AnUnreachableServerFailsTheFirstVisibleWindowLoudly)
{
  std::vector<std::string> lines;
  SetPlatformTraceSink([&](std::string_view line) { lines.emplace_back(line); });
  setenv("DISPLAY", ":9997", 1);
  UseX11Display();
  SetLastError(0);
  EXPECT_EQ(CreateWindowExA(0, "X11TestWindow", "", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr,
                            nullptr, nullptr),
            nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_CONNECTED);
  const HWND hidden =
      CreateWindowExA(0, "X11TestWindow", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(hidden, nullptr) << "a hidden window needs no server";
  ShowWindow(hidden, SW_SHOW);
  EXPECT_FALSE(IsWindowVisible(hidden)) << "never a silent memory screen";
  DestroyWindow(hidden);
  SetPlatformTraceSink({});
  unsetenv("DISPLAY");
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& line) {
                            return line.find("cannot open the X display") != std::string::npos;
                          }),
            1)
      << "one clear line, not one per window";
}

// Windows can be seen when DISPLAY names a server, or nobody needs to see them when the memory
// screen was asked for by name; an empty DISPLAY or another choice asks for neither.
TEST(DisplayChoice, OnlyANamedServerOrAnAskedForMemoryScreenCountsAsADisplay)
{
  struct TSaved {
    const char* Name;
    std::optional<std::string> Value;
  } saved[] = {{"DISPLAY", {}}, {"OXA_DISPLAY", {}}};
  for (TSaved& variable : saved) {
    if (const char* value = std::getenv(variable.Name)) {
      variable.Value = value;
    }
  }
  const char* const missing = "DISPLAY is not set";
  const struct {
    const char* Display;  // null: unset
    const char* Choice;
    const char* Expected;
  } cases[] = {
      {nullptr, nullptr, missing}, {"", nullptr, missing},         {":5", nullptr, ""},
      {nullptr, "headless", ""},   {"", "headless", ""},           {":5", "headless", ""},
      {nullptr, "x11", missing},   {nullptr, "Headless", missing}, {nullptr, "", missing},
  };
  for (const auto& c : cases) {
    const auto put = [](const char* name, const char* value) {
      if (value == nullptr) {
        unsetenv(name);
      } else {
        setenv(name, value, 1);
      }
    };
    put("DISPLAY", c.Display);
    put("OXA_DISPLAY", c.Choice);
    EXPECT_EQ(MissingDisplay(), c.Expected) << "DISPLAY " << (c.Display ? c.Display : "(unset)")
                                            << ", OXA_DISPLAY " << (c.Choice ? c.Choice : "(unset)");
  }
  for (const TSaved& variable : saved) {
    if (variable.Value) {
      setenv(variable.Name, variable.Value->c_str(), 1);
    } else {
      unsetenv(variable.Name);
    }
  }
}

}  // namespace
