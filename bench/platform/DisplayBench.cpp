// The display against its floors, each measured in the same run:
// - presenting an 800 x 600 window on the memory screen against a memcpy of the frame;
// - BitBlt of an 800 x 600 memory device context to a shown window on an X server against a
//   plain XShmPutImage (and XPutImage) loop of the same pixels; run with DISPLAY set (an Xvfb);
//   without it these are skipped;
// - DrawTextA of a 40-character caption (glyph cache warm) against rendering the same glyphs
//   with FreeType directly.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <benchmark/benchmark.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/display/Display.h"
#include "platform/display/GdiText.h"
#include "platform/windows/DisplayBackEnd.h"
#include "platform/windows/DisplayTesting.h"
#include "platform/windows/Messages.h"
#include "platform/windows/Windows.h"

namespace {

constexpr int Width = 800;
constexpr int Height = 600;
constexpr const char* Caption = "The Quick Brown Fox - Jumps Over Lazy Do";  // 40 characters

HWND ShowFrameWindow()
{
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.lpszClassName = "BenchWindow";
  RegisterClassA(&windowClass);
  const HWND window = CreateWindowExA(0, "BenchWindow", "", WS_POPUP | WS_VISIBLE, 0, 0, Width, Height,
                                      nullptr, nullptr, nullptr, nullptr);
  MSG message{};
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    DispatchMessageA(&message);
  }
  return window;
}

// A memory device context with a frame of pixels.
struct TFrame {
  HDC Dc = CreateCompatibleDC(nullptr);
  HBITMAP Bitmap = CreateCompatibleBitmap(nullptr, Width, Height);
  TFrame()
  {
    SelectObject(Dc, Bitmap);
    const RECT all{0, 0, Width, Height};
    const HBRUSH brush = CreateSolidBrush(RGB(10, 120, 200));
    FillRect(Dc, &all, brush);
    DeleteObject(brush);
  }
};

void MemcpyFrame(benchmark::State& state)
{
  std::vector<std::uint8_t> from(Width * Height * 4, 7);
  std::vector<std::uint8_t> to(Width * Height * 4);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size());
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(MemcpyFrame);

void HeadlessPresent(benchmark::State& state)
{
  UseHeadlessDisplay(Width, Height);
  const HWND window = ShowFrameWindow();
  for (auto _ : state) {
    ActiveDisplay().Present(window, RECT{0, 0, Width, Height});
  }
  DestroyWindow(window);
}
BENCHMARK(HeadlessPresent);

bool HaveServer()
{
  const char* display = std::getenv("DISPLAY");
  return display != nullptr && *display != '\0';
}

void X11BitBltToWindow(benchmark::State& state)
{
  if (!HaveServer()) {
    state.SkipWithError("DISPLAY not set");
    return;
  }
  UseX11Display();
  const HWND window = ShowFrameWindow();
  const TFrame frame;
  const HDC dc = GetDC(window);
  for (auto _ : state) {
    BitBlt(dc, 0, 0, Width, Height, frame.Dc, 0, 0, SRCCOPY);
  }
  ReleaseDC(window, dc);
  DestroyWindow(window);
  state.counters["frames/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(X11BitBltToWindow)->UseRealTime();

// The floors: the same pixels put by hand into a plain X window, synchronised each frame.
void X11RawPut(benchmark::State& state, bool shared)
{
  if (!HaveServer()) {
    state.SkipWithError("DISPLAY not set");
    return;
  }
  Display* display = XOpenDisplay(nullptr);
  const int screen = DefaultScreen(display);
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  const Window window = XCreateWindow(display, RootWindow(display, screen), 0, 0, Width, Height, 0,
                                      DefaultDepth(display, screen), InputOutput,
                                      DefaultVisual(display, screen), CWOverrideRedirect, &attributes);
  XMapWindow(display, window);
  XSync(display, False);
  const GC gc = DefaultGC(display, screen);
  std::vector<char> pixels(Width * Height * 4, 9);
  XShmSegmentInfo info{};
  XImage* image = nullptr;
  if (shared) {
    info.shmid = shmget(IPC_PRIVATE, pixels.size(), IPC_CREAT | 0600);
    info.shmaddr = static_cast<char*>(shmat(info.shmid, nullptr, 0));
    shmctl(info.shmid, IPC_RMID, nullptr);
    image = XShmCreateImage(display, DefaultVisual(display, screen), DefaultDepth(display, screen), ZPixmap,
                            info.shmaddr, &info, Width, Height);
    XShmAttach(display, &info);
  } else {
    image = XCreateImage(display, DefaultVisual(display, screen), DefaultDepth(display, screen), ZPixmap, 0,
                         pixels.data(), Width, Height, 32, Width * 4);
  }
  for (auto _ : state) {
    if (shared) {
      std::memcpy(info.shmaddr, pixels.data(), pixels.size());
      XShmPutImage(display, window, gc, image, 0, 0, 0, 0, Width, Height, False);
      XSync(display, False);
    } else {
      XPutImage(display, window, gc, image, 0, 0, 0, 0, Width, Height);
      XFlush(display);
    }
  }
  XSync(display, False);
  if (shared) {
    XShmDetach(display, &info);
    shmdt(info.shmaddr);
  }
  image->data = nullptr;
  XDestroyImage(image);
  XDestroyWindow(display, window);
  XCloseDisplay(display);
  state.counters["frames/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK_CAPTURE(X11RawPut, Shm, true)->UseRealTime();
BENCHMARK_CAPTURE(X11RawPut, Plain, false)->UseRealTime();

void DrawTextCaption(benchmark::State& state)
{
  UseHeadlessDisplay(Width, Height);
  const TFrame frame;
  LOGFONTA font{};
  font.lfHeight = -13;
  std::strcpy(font.lfFaceName, "Verdana");
  const HFONT handle = CreateFontIndirectA(&font);
  SelectObject(frame.Dc, handle);
  SetBkMode(frame.Dc, TRANSPARENT);
  RECT rect{0, 0, 400, 20};
  DrawTextA(frame.Dc, Caption, -1, &rect, DT_SINGLELINE);  // warms the glyph cache
  for (auto _ : state) {
    DrawTextA(frame.Dc, Caption, -1, &rect, DT_SINGLELINE);
  }
}
BENCHMARK(DrawTextCaption);

void FreeTypeCaption(benchmark::State& state)
{
  FT_Library library = nullptr;
  FT_Init_FreeType(&library);
  FT_Face face = nullptr;
  FT_New_Face(library, ResolveFontFace("Verdana").File.c_str(), 0, &face);
  FT_Set_Pixel_Sizes(face, 0, 13);
  for (auto _ : state) {
    for (const char* c = Caption; *c != '\0'; ++c) {
      FT_Load_Char(face, static_cast<FT_ULong>(*c), FT_LOAD_RENDER);
      benchmark::DoNotOptimize(face->glyph->bitmap.buffer);
    }
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);
}
BENCHMARK(FreeTypeCaption);

}  // namespace

BENCHMARK_MAIN();
