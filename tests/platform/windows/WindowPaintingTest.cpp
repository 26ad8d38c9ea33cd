#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/core/LastError.h"
#include "platform/objects/Processes.h"
#include "platform/objects/Synchronization.h"
#include "platform/objects/Threads.h"
#include "platform/windows/DisplayTesting.h"
#include "platform/windows/Gdi.h"
#include "platform/windows/Messages.h"
#include "platform/windows/Metrics.h"
#include "platform/windows/Windows.h"
#include "tests/support/TempFolder.h"

namespace {

constexpr COLORREF Red = RGB(255, 0, 0);
constexpr COLORREF Green = RGB(0, 255, 0);
constexpr COLORREF Blue = RGB(0, 0, 255);
constexpr COLORREF Black = RGB(0, 0, 0);

// What the windows saw, as "<message> <id>", and what they paint with.
struct TJournal {
  std::vector<std::string> Lines;
  COLORREF PaintColor = Red;
};
thread_local TJournal* journal = nullptr;

std::string Tag(HWND window)
{
  return std::to_string(GetWindowLongPtrA(window, GWLP_ID));
}

LRESULT PaintingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      const HDC dc = BeginPaint(window, &paint);
      if (journal != nullptr) {
        journal->Lines.push_back("paint " + Tag(window) + " " + std::to_string(paint.rcPaint.left) + "," +
                                 std::to_string(paint.rcPaint.top) + "," +
                                 std::to_string(paint.rcPaint.right) + "," +
                                 std::to_string(paint.rcPaint.bottom));
        const HBRUSH brush = CreateSolidBrush(journal->PaintColor);
        RECT client{};
        GetClientRect(window, &client);
        FillRect(dc, &client, brush);
        DeleteObject(brush);
      }
      EndPaint(window, &paint);
      return 0;
    }
    case WM_USER:
    case WM_TIMER:
    case WM_MOVE:
    case WM_SIZE:
    case WM_SHOWWINDOW:
      if (journal != nullptr) {
        const char* name = message == WM_USER    ? "user"
                           : message == WM_TIMER ? "timer"
                           : message == WM_MOVE  ? "move"
                           : message == WM_SIZE  ? "size"
                                                 : "show";
        journal->Lines.push_back(std::string(name) + " " + Tag(window) + " " + std::to_string(wParam) + " " +
                                 std::to_string(lParam & 0xFFFF) + "," +
                                 std::to_string((lParam >> 16) & 0xFFFF));
      }
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

class TWindowPainting : public ::testing::Test {
 protected:
  void SetUp() override
  {
    UseHeadlessDisplay();
    journal = &FJournal;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = PaintingProc;
    windowClass.lpszClassName = "PaintingWindow";
    RegisterClassA(&windowClass);
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "PlainWindow";
    windowClass.hbrBackground = CreateSolidBrush(Blue);
    FClassBrush = windowClass.hbrBackground;
    RegisterClassA(&windowClass);
    FObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  }
  void TearDown() override
  {
    for (auto it = FWindows.rbegin(); it != FWindows.rend(); ++it) {
      DestroyWindow(*it);
    }
    journal = nullptr;
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), FObjects) << "leak";
    UnregisterClassA("PaintingWindow", nullptr);
    UnregisterClassA("PlainWindow", nullptr);
    DeleteObject(FClassBrush);
  }

  HWND Create(int id, RECT bounds, DWORD style = WS_POPUP | WS_VISIBLE, HWND parent = nullptr,
              const char* className = "PaintingWindow", DWORD exStyle = 0)
  {
    const HWND window =
        CreateWindowExA(exStyle, className, "", style, bounds.left, bounds.top, bounds.right - bounds.left,
                        bounds.bottom - bounds.top, parent,
                        reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id)), nullptr, nullptr);
    EXPECT_NE(window, nullptr);
    FWindows.push_back(window);
    return window;
  }

  // Handles everything that waits; returns the messages seen, in order.
  std::vector<UINT> Pump()
  {
    std::vector<UINT> seen;
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      seen.push_back(message.message);
      DispatchMessageA(&message);
    }
    return seen;
  }

  TTempMachine FMachine;
  TJournal FJournal;
  std::vector<HWND> FWindows;
  HBRUSH FClassBrush = nullptr;
  DWORD FObjects = 0;
};

TEST_F(TWindowPainting, PostedMessagesComeBeforePaintAndPaintBeforeTimers)
{
  const HWND window = Create(1, RECT{0, 0, 20, 20});
  PostMessageA(window, WM_USER, 1, 0);
  PostMessageA(window, WM_USER, 2, 0);
  SetTimer(window, 7, USER_TIMER_MINIMUM, nullptr);
  MSG message{};
  std::vector<UINT> order;
  while (order.size() < 4 && GetMessageA(&message, nullptr, 0, 0)) {
    order.push_back(message.message);
    DispatchMessageA(&message);
  }
  KillTimer(window, 7);
  EXPECT_EQ(order, (std::vector<UINT>{WM_USER, WM_USER, WM_PAINT, WM_TIMER}));
  // Painting emptied the update region: no second WM_PAINT.
  EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE));
  EXPECT_EQ(GetQueueStatus(QS_PAINT), 0U);
}

TEST_F(TWindowPainting, WmPaintStaysUntilTheUpdateRegionIsEmptied)
{
  const HWND window = Create(1, RECT{0, 0, 20, 20}, WS_POPUP | WS_VISIBLE, nullptr, "PlainWindow");
  ValidateRect(window, nullptr);
  InvalidateRect(window, nullptr, FALSE);
  MSG message{};
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.message, static_cast<UINT>(WM_PAINT));
  EXPECT_TRUE(PeekMessageA(&message, window, 0, 0, PM_REMOVE)) << "removing does not take WM_PAINT away";
  EXPECT_NE(GetQueueStatus(QS_PAINT), 0U);
  ValidateRect(window, nullptr);
  EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  // A hidden window gets no WM_PAINT.
  ShowWindow(window, SW_HIDE);
  InvalidateRect(window, nullptr, FALSE);
  EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(TWindowPainting, UpdateRegionsMergeAndClipThePainting)
{
  const HWND window = Create(1, RECT{0, 0, 40, 40});
  Pump();
  FJournal.Lines.clear();
  FJournal.PaintColor = Green;
  const RECT first{2, 2, 6, 6};
  const RECT second{20, 10, 30, 12};
  InvalidateRect(window, &first, FALSE);
  InvalidateRect(window, &second, FALSE);
  InvalidateRect(window, &first, FALSE);
  Pump();
  EXPECT_EQ(FJournal.Lines, (std::vector<std::string>{"paint 1 2,2,30,12"})) << "one WM_PAINT for both";
  EXPECT_EQ(ScreenPixel(2, 2), Green);
  EXPECT_EQ(ScreenPixel(29, 11), Green);
  EXPECT_EQ(ScreenPixel(10, 8), Red) << "inside the bounds but in neither rectangle";
  EXPECT_EQ(ScreenPixel(6, 6), Red);
}

TEST_F(TWindowPainting, PixelsOutsideATriangleRegionAreUntouched)
{
  const HWND below = Create(1, RECT{0, 0, 60, 60});
  Pump();
  FJournal.PaintColor = Green;
  const HWND window = Create(2, RECT{10, 10, 50, 50}, WS_POPUP);
  const POINT corners[] = {{0, 0}, {40, 20}, {0, 40}};
  ASSERT_NE(SetWindowRgn(window, CreatePolygonRgn(corners, 3, ALTERNATE), TRUE), 0);
  ShowWindow(window, SW_SHOW);
  Pump();
  EXPECT_EQ(ScreenPixel(10, 30), Green) << "the triangle's left edge";
  EXPECT_EQ(ScreenPixel(47, 30), Green) << "near its tip";
  EXPECT_EQ(ScreenPixel(49, 30), Red) << "past its tip: the window below";
  EXPECT_EQ(ScreenPixel(45, 12), Red) << "above its upper edge";
  EXPECT_EQ(ScreenPixel(55, 30), Red) << "outside the window";
  EXPECT_EQ(ScreenPixel(65, 30), Black) << "the empty screen";

  // Drawing through a device context is clipped the same way, and reaches the screen at once.
  const std::uint64_t presents = DisplayPresentCount();
  const HDC dc = GetDC(window);
  const RECT all{0, 0, 40, 40};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  EXPECT_EQ(GetPixel(dc, 45, 2), CLR_INVALID);
  EXPECT_EQ(GetPixel(dc, 0, 20), RGB(255, 255, 255));
  EXPECT_EQ(ReleaseDC(below, dc), 0) << "not the window's device context";
  EXPECT_EQ(ReleaseDC(window, dc), 1);
  EXPECT_GT(DisplayPresentCount(), presents);
  EXPECT_EQ(ScreenPixel(10, 30), RGB(255, 255, 255));
  EXPECT_EQ(ScreenPixel(45, 12), Red);

  // A null region gives the whole window back.
  HRGN copy = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(window, copy), COMPLEXREGION);
  EXPECT_TRUE(PtInRegion(copy, 1, 20));
  EXPECT_FALSE(PtInRegion(copy, 39, 1));
  DeleteObject(copy);
  SetWindowRgn(window, nullptr, TRUE);
  Pump();
  EXPECT_EQ(ScreenPixel(45, 12), Green);
  EXPECT_FALSE(IsRectEmpty(&all));
}

TEST_F(TWindowPainting, TopmostWindowsStayAboveTheOthers)
{
  const HWND top =
      Create(1, RECT{0, 0, 30, 30}, WS_POPUP | WS_VISIBLE, nullptr, "PaintingWindow", WS_EX_TOPMOST);
  Pump();
  FJournal.PaintColor = Green;
  const HWND plain = Create(2, RECT{10, 10, 40, 40});
  Pump();
  EXPECT_EQ(ScreenPixel(15, 15), Red) << "a new plain window stays below the topmost one";
  EXPECT_EQ(ScreenPixel(35, 35), Green);
  SetWindowPos(plain, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(ScreenPixel(15, 15), Red) << "HWND_TOP keeps it below topmost windows";
  SetWindowPos(plain, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(ScreenPixel(15, 15), Green);
  EXPECT_NE(GetWindowLongPtrA(plain, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  SetWindowPos(plain, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(ScreenPixel(15, 15), Red);
  SetWindowPos(top, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(ScreenPixel(15, 15), Red) << "a topmost window stays above plain ones even at the bottom";
  SetWindowPos(top, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_HIDEWINDOW);
  EXPECT_EQ(ScreenPixel(15, 15), Green);
  EXPECT_EQ(ScreenPixel(5, 5), Black);
  EXPECT_FALSE(IsWindowVisible(top));
}

TEST_F(TWindowPainting, MovingAndSizingReportAndRepaint)
{
  const HWND window = Create(1, RECT{5, 5, 25, 25});
  Pump();
  FJournal.Lines.clear();
  ASSERT_TRUE(SetWindowPos(window, nullptr, 50, 60, 30, 10, SWP_NOZORDER));
  Pump();
  EXPECT_EQ(FJournal.Lines,
            (std::vector<std::string>{"move 1 0 50,60", "size 1 0 30,10", "paint 1 0,0,30,10"}));
  EXPECT_EQ(ScreenPixel(5, 5), Black) << "uncovered";
  EXPECT_EQ(ScreenPixel(79, 69), Red);
  EXPECT_EQ(ScreenPixel(80, 69), Black);
  RECT rect{};
  GetWindowRect(window, &rect);
  const RECT expected{50, 60, 80, 70};
  EXPECT_TRUE(EqualRect(&rect, &expected));
  GetClientRect(window, &rect);
  EXPECT_EQ(rect.right, 30);
  FJournal.Lines.clear();
  MoveWindow(window, 50, 60, 30, 10, TRUE);
  SetWindowPos(window, nullptr, 1, 2, -5, -5, SWP_NOZORDER | SWP_NOMOVE);
  EXPECT_EQ(FJournal.Lines, (std::vector<std::string>{"size 1 0 0,0"}))
      << "no change, no message; sizes below 0 are 0";
  EXPECT_FALSE(SetWindowPos(window, window, 0, 0, 0, 0, 0));
  EXPECT_FALSE(SetWindowPos(nullptr, nullptr, 0, 0, 0, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST_F(TWindowPainting, ChildWindowsDrawInsideTheirParent)
{
  const HWND parent = Create(1, RECT{100, 100, 140, 140});
  FJournal.PaintColor = Red;
  Pump();
  FJournal.PaintColor = Green;
  const HWND child = Create(2, RECT{30, 30, 60, 60}, WS_CHILD | WS_VISIBLE, parent);
  Pump();
  EXPECT_EQ(ScreenPixel(131, 131), Green);
  EXPECT_EQ(ScreenPixel(139, 139), Green);
  EXPECT_EQ(ScreenPixel(140, 140), Black) << "cut at the parent's edge";
  POINT point{1, 2};
  ClientToScreen(child, &point);
  EXPECT_EQ(point.x, 131);
  EXPECT_EQ(point.y, 132);
  ScreenToClient(parent, &point);
  EXPECT_EQ(point.x, 31);
  // Hiding the child lets the parent paint over its place.
  FJournal.PaintColor = Blue;
  ShowWindow(child, SW_HIDE);
  Pump();
  EXPECT_EQ(ScreenPixel(131, 131), Blue);
  EXPECT_FALSE(IsWindowVisible(child));
  ShowWindow(parent, SW_HIDE);
  ShowWindow(child, SW_SHOW);
  EXPECT_FALSE(IsWindowVisible(child)) << "its parent is hidden";
}

TEST_F(TWindowPainting, TheClassBrushErasesTheBackground)
{
  const HWND window = Create(1, RECT{0, 0, 10, 10}, WS_POPUP | WS_VISIBLE, nullptr, "PlainWindow");
  EXPECT_TRUE(UpdateWindow(window));
  EXPECT_EQ(ScreenPixel(9, 9), Blue);
  MSG message{};
  EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) << "UpdateWindow painted already";
}

TEST_F(TWindowPainting, ShowingSendsShowWindowOnce)
{
  const HWND window = Create(1, RECT{0, 0, 10, 10}, WS_POPUP);
  EXPECT_FALSE(ShowWindow(window, SW_SHOW));
  EXPECT_TRUE(ShowWindow(window, SW_SHOWNA));
  EXPECT_TRUE(ShowWindow(window, SW_HIDE));
  EXPECT_EQ(FJournal.Lines, (std::vector<std::string>{"show 1 1 0,0", "show 1 0 0,0"}));
}

TEST_F(TWindowPainting, TitlesAreKeptAndFound)
{
  const HWND window = Create(1, RECT{0, 0, 10, 10}, WS_POPUP);
  EXPECT_TRUE(SetWindowTextA(window, "Music browser"));
  EXPECT_EQ(GetWindowTextLengthA(window), 13);
  char text[6];
  EXPECT_EQ(GetWindowTextA(window, text, sizeof(text)), 5);
  EXPECT_STREQ(text, "Music");
  EXPECT_EQ(FindWindowA("paintingwindow", "Music browser"), window);
  EXPECT_EQ(FindWindowA("paintingwindow", "Music"), nullptr);
}

TEST_F(TWindowPainting, ScaledPresentationFillsTheScreenKeepingTheLogicalSize)
{
  const HWND window = Create(1, RECT{0, 0, 40, 30}, WS_POPUP);
  const POINT corners[] = {{0, 0}, {20, 0}, {20, 30}, {0, 30}};
  SetWindowRgn(window, CreatePolygonRgn(corners, 4, WINDING), FALSE);
  const RECT screen{100, 100, 180, 160};
  ASSERT_TRUE(SetWindowPresentation(window, &screen));
  ShowWindow(window, SW_SHOW);
  Pump();
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 40) << "the program still draws at the logical size";
  EXPECT_EQ(ScreenPixel(100, 100), Red);
  EXPECT_EQ(ScreenPixel(138, 158), Red);
  EXPECT_EQ(ScreenPixel(140, 120), Black) << "the region scaled with the window";
  EXPECT_EQ(ScreenPixel(99, 120), Black);
  const RECT empty{5, 5, 5, 9};
  EXPECT_FALSE(SetWindowPresentation(window, &empty));
}

TEST_F(TWindowPainting, ScreenPointsOfAPresentedWindowMapThroughItsScale)
{
  // A 40 x 30 window shown twice as large at (100, 100), with a child at (10, 6) inside it.
  const HWND window = Create(1, RECT{0, 0, 40, 30}, WS_POPUP);
  const HWND child = Create(2, RECT{10, 6, 30, 26}, WS_CHILD | WS_VISIBLE, window);
  const RECT screen{100, 100, 180, 160};
  ASSERT_TRUE(SetWindowPresentation(window, &screen));
  ShowWindow(window, SW_SHOW);
  Pump();
  const struct {
    HWND Window;
    POINT Screen;
    POINT Client;
  } cases[] = {
      {window, {100, 100}, {0, 0}}, {window, {178, 158}, {39, 29}}, {window, {140, 130}, {20, 15}},
      {child, {120, 112}, {0, 0}},  {child, {140, 130}, {10, 9}},   {child, {99, 100}, {-10, -6}},
  };
  for (const auto& c : cases) {
    POINT point = c.Screen;
    ASSERT_TRUE(ScreenToClient(c.Window, &point));
    EXPECT_EQ(point.x, c.Client.x) << c.Screen.x << "," << c.Screen.y;
    EXPECT_EQ(point.y, c.Client.y) << c.Screen.x << "," << c.Screen.y;
  }
  POINT corner{20, 15};
  ASSERT_TRUE(ClientToScreen(window, &corner));
  EXPECT_EQ(corner.x, 140);
  EXPECT_EQ(corner.y, 130);
  POINT inChild{10, 9};
  ASSERT_TRUE(ClientToScreen(child, &inChild));
  EXPECT_EQ(inChild.x, 140);
  EXPECT_EQ(inChild.y, 130);

  // Unscaled again: plain offsets.
  ASSERT_TRUE(SetWindowPresentation(window, nullptr));
  POINT plain{25, 16};
  ASSERT_TRUE(ScreenToClient(child, &plain));
  EXPECT_EQ(plain.x, 15);
  EXPECT_EQ(plain.y, 10);
}

TEST_F(TWindowPainting, ScreenAndMonitorFollowTheDisplay)
{
  UseHeadlessDisplay(1024, 768);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
  EXPECT_EQ(GetSystemMetrics(99), 0);
  struct TCase {
    POINT Point;
    DWORD Flags;
    bool Found;
  };
  const TCase cases[] = {
      {{0, 0}, MONITOR_DEFAULTTONULL, true},          {{1023, 767}, MONITOR_DEFAULTTONULL, true},
      {{1024, 0}, MONITOR_DEFAULTTONULL, false},      {{0, 768}, MONITOR_DEFAULTTONULL, false},
      {{-1, 0}, MONITOR_DEFAULTTONULL, false},        {{1024, 0}, MONITOR_DEFAULTTOPRIMARY, true},
      {{5000, 5000}, MONITOR_DEFAULTTONEAREST, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MonitorFromPoint(c.Point, c.Flags) != nullptr, c.Found) << c.Point.x << "," << c.Point.y;
  }
  const HWND window = Create(1, RECT{10, 10, 20, 20}, WS_POPUP);
  const HMONITOR monitor = MonitorFromWindow(window, MONITOR_DEFAULTTONULL);
  ASSERT_NE(monitor, nullptr);
  MONITORINFO info{};
  EXPECT_FALSE(GetMonitorInfoA(monitor, &info)) << "cbSize not set";
  info.cbSize = sizeof(info);
  ASSERT_TRUE(GetMonitorInfoA(monitor, &info));
  EXPECT_EQ(info.rcMonitor.right, 1024);
  EXPECT_EQ(info.dwFlags, MONITORINFOF_PRIMARY);
  MoveWindow(window, 2000, 0, 10, 10, FALSE);
  EXPECT_EQ(MonitorFromWindow(window, MONITOR_DEFAULTTONULL), nullptr);
}

TEST_F(TWindowPainting, ScreenshotsAreSavedAsPng)
{
  Create(1, RECT{0, 0, 10, 10});
  Pump();
  const TTempFolder folder;
  const auto path = folder.Path() / "screen.png";
  ASSERT_TRUE(SaveScreenPng(path.string()));
  EXPECT_GT(std::filesystem::file_size(path), 50U);
  EXPECT_FALSE(std::filesystem::exists(path.string() + ".tmp"));
  EXPECT_FALSE(SaveScreenPng((folder.Path() / "missing" / "screen.png").string()));
}

// A thread that shows a window (with a child), tells it is ready and ends when told, without
// destroying anything.
struct TLeavingThread {
  HANDLE Ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE Leave = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HWND Window = nullptr;
  HWND Child = nullptr;

  static DWORD Run(void* parameter)
  {
    auto& self = *static_cast<TLeavingThread*>(parameter);
    self.Window = CreateWindowExA(0, "PlainWindow", "left behind", WS_POPUP | WS_VISIBLE, 10, 10, 40, 40,
                                  nullptr, nullptr, nullptr, nullptr);
    self.Child = CreateWindowExA(0, "PlainWindow", "", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, self.Window,
                                 nullptr, nullptr, nullptr);
    UpdateWindow(self.Window);
    UpdateWindow(self.Child);
    SetEvent(self.Ready);
    WaitForSingleObject(self.Leave, INFINITE);
    return 0;
  }
  ~TLeavingThread()
  {
    CloseHandle(Ready);
    CloseHandle(Leave);
  }
};

TEST_F(TWindowPainting, WindowsOfAThreadThatEndsLeaveTheScreen)
{
  TLeavingThread leaving;
  const HANDLE thread = CreateThread(nullptr, 0, &TLeavingThread::Run, &leaving, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(WaitForSingleObject(leaving.Ready, 60000), WAIT_OBJECT_0);
  // While the thread lives its windows stay.
  EXPECT_TRUE(IsWindow(leaving.Window));
  EXPECT_TRUE(IsWindow(leaving.Child));
  EXPECT_EQ(FindWindowA("PlainWindow", "left behind"), leaving.Window);
  EXPECT_EQ(ScreenPixel(30, 30), Blue);
  SetEvent(leaving.Leave);
  ASSERT_EQ(WaitForSingleObject(thread, 60000), WAIT_OBJECT_0);
  // Once it is seen ended they are gone: table, listing and screen.
  EXPECT_FALSE(IsWindow(leaving.Window));
  EXPECT_FALSE(IsWindow(leaving.Child));
  EXPECT_EQ(FindWindowA("PlainWindow", "left behind"), nullptr);
  EXPECT_EQ(ScreenPixel(30, 30), Black);
  CloseHandle(thread);
}

}  // namespace
