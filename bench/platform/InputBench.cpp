// Input against its floor, on an X server (run with DISPLAY set, an Xvfb; skipped without it),
// each measured in the same run with the pointer driven through XTest:
// - a press to WM_LBUTTONDOWN in the window procedure, against a bare XNextEvent loop seeing the
//   ButtonPress on a plain X window;
// - 10,000 motion events until the last one is seen: WM_MOUSEMOVE against the bare loop's
//   MotionNotify.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "platform/display/Display.h"
#include "platform/windows/DisplayTesting.h"
#include "platform/windows/Input.h"
#include "platform/windows/Messages.h"
#include "platform/windows/Windows.h"

// After the program's headers: the X headers' macros (None, Status) clash with names in them.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace {

constexpr int Side = 400;
constexpr int Motions = 10000;

bool HaveServer(benchmark::State& state)
{
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') {
    state.SkipWithError("DISPLAY is not set");
    return false;
  }
  // A server resets when its last client leaves and refuses connections meanwhile: one connection
  // stays open for the whole run.
  static Display* const keepAlive = XOpenDisplay(nullptr);
  if (keepAlive == nullptr) {
    state.SkipWithError("the X server cannot be reached");
    return false;
  }
  return true;
}

// The test's hands: a connection of its own that drives the pointer.
struct THands {
  Display* Connection = XOpenDisplay(nullptr);
  ~THands()
  {
    if (Connection != nullptr) {
      XCloseDisplay(Connection);
    }
  }
  void Press(bool down) const
  {
    XTestFakeButtonEvent(Connection, 1, down ? True : False, CurrentTime);
    XFlush(Connection);
  }
  void Move(int x, int y) const { XTestFakeMotionEvent(Connection, -1, x, y, CurrentTime); }
};

// A plain X window under the pointer, read with XNextEvent.
struct TRawWindow {
  Display* Connection = XOpenDisplay(nullptr);
  Window Id = 0;
  TRawWindow()
  {
    Id = XCreateSimpleWindow(Connection, DefaultRootWindow(Connection), 0, 0, Side, Side, 0, 0, 0);
    XSelectInput(Connection, Id, ButtonPressMask | ButtonReleaseMask | PointerMotionMask | ExposureMask);
    XMapRaised(Connection, Id);
    XEvent event{};
    do {
      XNextEvent(Connection, &event);
    } while (event.type != Expose);
  }
  ~TRawWindow()
  {
    XDestroyWindow(Connection, Id);
    XCloseDisplay(Connection);
  }
  // Reads events until one of type arrives (at x, for motion: the last of a burst).
  void WaitFor(int type, int x = -1) const
  {
    XEvent event{};
    for (;;) {
      XNextEvent(Connection, &event);
      if (event.type == type && (x < 0 || event.xmotion.x == x)) {
        return;
      }
    }
  }
};

bool lastDown = false;
bool lastUp = false;
int lastMoveX = -1;

LRESULT BenchProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  switch (message) {
    case WM_LBUTTONDOWN:
      lastDown = true;
      return 0;
    case WM_LBUTTONUP:
      lastUp = true;
      return 0;
    case WM_MOUSEMOVE:
      lastMoveX = static_cast<short>(lParam & 0xFFFF);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

HWND ShowProgramWindow()
{
  UseX11Display();
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = BenchProc;
  windowClass.lpszClassName = "InputBenchWindow";
  RegisterClassA(&windowClass);
  const HWND window = CreateWindowExA(0, "InputBenchWindow", "", WS_POPUP | WS_VISIBLE, 0, 0, Side, Side,
                                      nullptr, nullptr, nullptr, nullptr);
  SetForegroundWindow(window);
  return window;
}

// Dispatches messages until done() holds.
template <class Done>
void PumpUntil(Done done)
{
  MSG message{};
  while (!done() && GetMessageA(&message, nullptr, 0, 0) > 0) {
    DispatchMessageA(&message);
  }
}

void RawClick(benchmark::State& state)
{
  if (!HaveServer(state)) {
    return;
  }
  const TRawWindow raw;
  const THands hands;
  // Somewhere else first: a move to where the pointer already is reports nothing.
  hands.Move(Side / 2 - 1, Side / 2);
  hands.Move(Side / 2, Side / 2);
  XFlush(hands.Connection);
  raw.WaitFor(MotionNotify, Side / 2);
  for (auto _ : state) {
    hands.Press(true);
    raw.WaitFor(ButtonPress);
    state.PauseTiming();
    hands.Press(false);
    raw.WaitFor(ButtonRelease);
    state.ResumeTiming();
  }
}
BENCHMARK(RawClick)->UseRealTime()->Unit(benchmark::kMicrosecond);

void ProgramClick(benchmark::State& state)
{
  if (!HaveServer(state)) {
    return;
  }
  const HWND window = ShowProgramWindow();
  const THands hands;
  hands.Move(Side / 2 - 1, Side / 2);
  hands.Move(Side / 2, Side / 2);
  XFlush(hands.Connection);
  PumpUntil([] { return lastMoveX == Side / 2; });
  for (auto _ : state) {
    lastDown = false;
    hands.Press(true);
    PumpUntil([] { return lastDown; });
    state.PauseTiming();
    lastUp = false;
    hands.Press(false);
    PumpUntil([] { return lastUp; });
    state.ResumeTiming();
  }
  DestroyWindow(window);
  UseHeadlessDisplay();
}
BENCHMARK(ProgramClick)->UseRealTime()->Unit(benchmark::kMicrosecond);

void RawMotion(benchmark::State& state)
{
  if (!HaveServer(state)) {
    return;
  }
  const TRawWindow raw;
  const THands hands;
  for (auto _ : state) {
    for (int i = 0; i < Motions; ++i) {
      hands.Move(1 + i % (Side - 2), Side / 2);
    }
    hands.Move(Side - 1, Side / 2);
    XFlush(hands.Connection);
    raw.WaitFor(MotionNotify, Side - 1);
    state.PauseTiming();
    hands.Move(0, Side / 2);
    XFlush(hands.Connection);
    raw.WaitFor(MotionNotify, 0);
    state.ResumeTiming();
  }
}
BENCHMARK(RawMotion)->UseRealTime()->Unit(benchmark::kMillisecond);

void ProgramMotion(benchmark::State& state)
{
  if (!HaveServer(state)) {
    return;
  }
  const HWND window = ShowProgramWindow();
  const THands hands;
  for (auto _ : state) {
    for (int i = 0; i < Motions; ++i) {
      hands.Move(1 + i % (Side - 2), Side / 2);
    }
    hands.Move(Side - 1, Side / 2);
    XFlush(hands.Connection);
    PumpUntil([] { return lastMoveX == Side - 1; });
    state.PauseTiming();
    hands.Move(0, Side / 2);
    XFlush(hands.Connection);
    PumpUntil([] { return lastMoveX == 0; });
    state.ResumeTiming();
  }
  DestroyWindow(window);
  UseHeadlessDisplay();
}
BENCHMARK(ProgramMotion)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
