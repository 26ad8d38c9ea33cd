#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/Diagnostics.h"
#include "platform/LastError.h"
#include "platform/Messages.h"
#include "platform/Windows.h"
#include "platform/display/DisplayTesting.h"
#include "platform/display/Gdi.h"
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

}  // namespace
