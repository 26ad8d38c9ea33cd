// The X server back end's connection and screen: opening the connection on first use (its
// handlers, extensions, atoms, input method and reader thread), closing it, and what the tests
// read of the screen. The class is in detail/X11Display.h.
#include "platform/display/detail/X11Display.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/shape.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/core/Diagnostics.h"
#include "platform/display/detail/XImageOwner.h"
#include "platform/windows/Gdi.h"

namespace {

// The window property that carries the program's 32-bit window handle, so the program's
// windows are recognised from other processes.
constexpr const char* HandleProperty = "_OXA_WINDOW_HANDLE";

// The connection's error and I/O handlers have no context argument; they reach the one display
// through this.
std::atomic<class TX11Display*> activeDisplay{nullptr};

}  // namespace

TX11Display::TConnectionLock::~TConnectionLock()
{
  if (FDisplay.FDisplay != nullptr && !FDisplay.FLost && XQLength(FDisplay.FDisplay) > 0 &&
      FDisplay.FWake.Get() >= 0) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(FDisplay.FWake.Get(), &one, sizeof(one));
  }
}

TX11Display::~TX11Display()
{
  if (FReader.joinable()) {
    FStopping = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(FWake.Get(), &one, sizeof(one));
    FReader.join();
  }
  const std::lock_guard guard(FLock);
  if (FDisplay != nullptr && !FLost) {
    for (auto& [handle, window] : FWindows) {
      Detach(window);
      if (window.InputContext != nullptr) {
        XDestroyIC(window.InputContext);
      }
      XDestroyWindow(FDisplay, window.Id);
    }
    for (const auto& [handle, cursor] : FCursors) {
      XFreeCursor(FDisplay, cursor);
    }
    if (FInputMethod != nullptr) {
      XCloseIM(FInputMethod);
    }
    XCloseDisplay(FDisplay);
  }
  activeDisplay = nullptr;
}

bool TX11Display::Open()
{
  const TConnectionLock guard(*this);
  return OpenLocked();
}

SIZE TX11Display::ScreenSize()
{
  const TConnectionLock guard(*this);
  if (!OpenLocked()) {
    return SIZE{800, 600};
  }
  return SIZE{DisplayWidth(FDisplay, FScreen), DisplayHeight(FDisplay, FScreen)};
}

int TX11Display::Depth()
{
  const TConnectionLock guard(*this);
  return OpenLocked() ? FDepth : 0;
}

bool TX11Display::SharedMemory()
{
  const TConnectionLock guard(*this);
  return OpenLocked() && FShm;
}

RECT TX11Display::PrimaryMonitor()
{
  const TConnectionLock guard(*this);
  if (!OpenLocked()) {
    return RECT{0, 0, 800, 600};
  }
  RECT whole{0, 0, DisplayWidth(FDisplay, FScreen), DisplayHeight(FDisplay, FScreen)};
  int eventBase = 0;
  int errorBase = 0;
  if (!XRRQueryExtension(FDisplay, &eventBase, &errorBase)) {
    return whole;
  }
  const Window root = RootWindow(FDisplay, FScreen);
  const RROutput primary = XRRGetOutputPrimary(FDisplay, root);
  XRRScreenResources* resources = primary != 0 ? XRRGetScreenResourcesCurrent(FDisplay, root) : nullptr;
  if (resources == nullptr) {
    return whole;
  }
  RECT monitor = whole;
  if (XRROutputInfo* output = XRRGetOutputInfo(FDisplay, resources, primary)) {
    if (output->crtc != 0) {
      if (XRRCrtcInfo* crtc = XRRGetCrtcInfo(FDisplay, resources, output->crtc)) {
        if (crtc->width > 0 && crtc->height > 0) {
          monitor = RECT{crtc->x, crtc->y, crtc->x + static_cast<LONG>(crtc->width),
                         crtc->y + static_cast<LONG>(crtc->height)};
        }
        XRRFreeCrtcInfo(crtc);
      }
    }
    XRRFreeOutputInfo(output);
  }
  XRRFreeScreenResources(resources);
  return monitor;
}

COLORREF TX11Display::ScreenPixel(LONG x, LONG y)
{
  const TConnectionLock guard(*this);
  if (!OpenLocked() || FLost || x < 0 || y < 0 || x >= DisplayWidth(FDisplay, FScreen) ||
      y >= DisplayHeight(FDisplay, FScreen)) {
    return CLR_INVALID;
  }
  XSync(FDisplay, False);
  const TXImage image(XGetImage(FDisplay, RootWindow(FDisplay, FScreen), x, y, 1, 1, AllPlanes, ZPixmap));
  if (!image) {
    return CLR_INVALID;
  }
  const unsigned long pixel = XGetPixel(image.get(), 0, 0);
  return RGB(static_cast<BYTE>(pixel >> 16), static_cast<BYTE>(pixel >> 8), static_cast<BYTE>(pixel));
}

std::vector<std::uint32_t> TX11Display::ScreenImage(SIZE& size)
{
  const TConnectionLock guard(*this);
  size = SIZE{0, 0};
  if (!OpenLocked() || FLost) {
    return {};
  }
  XSync(FDisplay, False);
  const int width = DisplayWidth(FDisplay, FScreen);
  const int height = DisplayHeight(FDisplay, FScreen);
  const TXImage image(XGetImage(FDisplay, RootWindow(FDisplay, FScreen), 0, 0, static_cast<unsigned>(width),
                                static_cast<unsigned>(height), AllPlanes, ZPixmap));
  if (!image) {
    return {};
  }
  std::vector<std::uint32_t> pixels;
  pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      pixels.push_back(static_cast<std::uint32_t>(XGetPixel(image.get(), x, y) & 0xFFFFFF));
    }
  }
  size = SIZE{width, height};
  return pixels;
}

void TX11Display::OnError(const XErrorEvent& error)
{
  char text[256] = {};
  XGetErrorText(error.display, error.error_code, text, sizeof(text));
  PlatformTrace(std::string("display: X error ") + text + " (request " + std::to_string(error.request_code) +
                "." + std::to_string(error.minor_code) + ")");
  FErrorSeen = true;
}

void TX11Display::OnLost()
{
  FLost = true;
  PlatformTrace("display: the connection to the X server was lost");
  // Nobody reads the end signals from now on: they end the process as they would by default.
  if (FEndSignals) {
    FEndSignals->Release();
  }
  EndMessageLoop();
}

bool TX11Display::OpenLocked()
{
  if (FDisplay != nullptr) {
    return true;
  }
  if (FFailed) {
    return false;
  }
  XInitThreads();
  const char* name = std::getenv("DISPLAY");
  FDisplay = XOpenDisplay(name);
  if (FDisplay == nullptr) {
    return Fail(std::string("cannot open the X display \"") + (name != nullptr ? name : "") + "\"");
  }
  FScreen = DefaultScreen(FDisplay);
  Visual* visual = DefaultVisual(FDisplay, FScreen);
  FDepth = DefaultDepth(FDisplay, FScreen);
  if (visual->c_class != TrueColor || (FDepth != 24 && FDepth != 32) || visual->red_mask != 0xFF0000 ||
      visual->green_mask != 0xFF00 || visual->blue_mask != 0xFF) {
    XCloseDisplay(FDisplay);
    FDisplay = nullptr;
    return Fail("the X display needs a TrueColor visual of 24 or 32 bits (red, green, blue bytes)");
  }
  FVisual = visual;
  activeDisplay = this;
  XSetErrorHandler([](Display*, XErrorEvent* error) {
    if (TX11Display* display = activeDisplay.load()) {
      display->OnError(*error);
    }
    return 0;
  });
  // Xlib's own handler prints a line and calls exit() on whichever thread met the broken
  // connection; exit handlers and static destructors would then run there (the reader thread
  // joining itself) and the program would never be asked to close. Returning instead hands the
  // loss to the exit handler below, and every later call sees FLost.
  XSetIOErrorHandler([](Display*) { return 0; });
  XSetIOErrorExitHandler(
      FDisplay,
      [](Display*, void*) {
        if (TX11Display* display = activeDisplay.load()) {
          display->OnLost();
        }
      },
      nullptr);
  int eventBase = 0;
  int errorBase = 0;
  FShape = XShapeQueryExtension(FDisplay, &eventBase, &errorBase) != 0;
  FShm = XShmQueryExtension(FDisplay) != 0 && ProbeSharedMemory();
  FPrivateSurfaces = !FShm;
  FGc = DefaultGC(FDisplay, FScreen);
  for (const auto& [slot, name] :
       {std::pair{&FHandleAtom, HandleProperty}, std::pair{&FMotifHints, "_MOTIF_WM_HINTS"},
        std::pair{&FWmState, "_NET_WM_STATE"}, std::pair{&FStateAbove, "_NET_WM_STATE_ABOVE"},
        std::pair{&FSkipTaskbar, "_NET_WM_STATE_SKIP_TASKBAR"},
        std::pair{&FSkipPager, "_NET_WM_STATE_SKIP_PAGER"}, std::pair{&FWmProtocols, "WM_PROTOCOLS"},
        std::pair{&FDeleteWindow, "WM_DELETE_WINDOW"}, std::pair{&FWmName, "_NET_WM_NAME"},
        std::pair{&FUtf8, "UTF8_STRING"}, std::pair{&FActiveWindow, "_NET_ACTIVE_WINDOW"},
        std::pair{&FWmCheck, "_NET_SUPPORTING_WM_CHECK"}}) {
    *slot = XInternAtom(FDisplay, name, False);
  }
  // A held key repeats its press only, so a repeat is told from a new press.
  XkbSetDetectableAutoRepeat(FDisplay, True, nullptr);
  OpenInputMethod();
  FWake = TFileDescriptor(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  FEndSignals = std::make_unique<TEndSignals>();
  FReader = std::thread([this] { ReadEvents(); });
  return true;
}

void TX11Display::OpenInputMethod()
{
  for (const char* modifiers : {"", "@im=none"}) {
    if (XSetLocaleModifiers(modifiers) == nullptr) {
      continue;
    }
    FInputMethod = XOpenIM(FDisplay, nullptr, nullptr, nullptr);
    if (FInputMethod != nullptr) {
      return;
    }
  }
  PlatformTrace("display: no X input method; compose sequences will not type");
}

bool TX11Display::Fail(const std::string& reason)
{
  FFailed = true;
  std::fprintf(stderr, "OxaNetMusic: %s; no window can be shown.\n", reason.c_str());
  PlatformTrace("display: " + reason);
  return false;
}

bool TX11Display::ProbeSharedMemory()
{
  auto segment = TPixelMemory::AllocateShared(4096);
  if (!segment) {
    return false;
  }
  XShmSegmentInfo info{};
  info.shmid = segment->SharedSegment();
  info.shmaddr = reinterpret_cast<char*>(segment->Data());
  info.readOnly = False;
  FErrorSeen = false;
  XShmAttach(FDisplay, &info);
  XSync(FDisplay, False);
  const bool attached = !FErrorSeen;
  if (attached) {
    XShmDetach(FDisplay, &info);
    XSync(FDisplay, False);
  }
  FErrorSeen = false;
  return attached;
}

std::unique_ptr<TDisplay> MakeX11Display()
{
  return std::make_unique<TX11Display>();
}
