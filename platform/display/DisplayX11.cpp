// The X server back end: one connection for the process, one X window per shown top-level
// window, the window's pixels put from its surface (through shared memory when the server is on
// this machine), shapes through the SHAPE extension, and a reader thread that answers exposures
// and close requests and turns pointer, key and focus events into input (display/Input.h).
// Before the X headers, whose macros (Status, None) would reach into ours.
#include "platform/display/Input.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xcursor/Xcursor.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/shape.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/Diagnostics.h"
#include "platform/FileDescriptor.h"
#include "platform/HotKeys.h"
#include "platform/LastError.h"
#include "platform/Messages.h"
#include "platform/Windows.h"
#include "platform/display/Display.h"
#include "platform/display/EndSignals.h"
#include "platform/display/GdiObjects.h"
#include "platform/display/XImageOwner.h"

namespace {

// The window property that carries the program's 32-bit window handle, so the program's
// windows are recognised from other processes.
constexpr const char* HandleProperty = "_OXA_WINDOW_HANDLE";

// The connection's error and I/O handlers have no context argument; they reach the one display
// through this.
std::atomic<class TX11Display*> activeDisplay{nullptr};

struct TXWindow {
  Window Id = 0;
  RECT Bounds{0, 0, 0, 0};
  bool Mapped = false;
  // The shared segment the server has attached for the window (shmid -1: none): the one that
  // holds the surface presented last. The server keeps the segment alive while attached, so its
  // id is not reused for another before it is detached here.
  XShmSegmentInfo Attached{0, -1, nullptr, True};
  int Refused = -1;                  // a segment the server would not attach: not asked again
  std::unique_ptr<TSurface> Scaled;  // the scaled picture of a scaled window
  XIC InputContext = nullptr;        // the input method's context for the window's keys
};

// Decodes UTF-8 from the input method; malformed bytes are skipped.
std::u32string DecodeUtf8(const char* text, int length)
{
  std::u32string result;
  for (int i = 0; i < length;) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int extra = lead < 0x80           ? 0
                : (lead >> 5) == 0x6  ? 1
                : (lead >> 4) == 0xE  ? 2
                : (lead >> 3) == 0x1E ? 3
                                      : -1;
    if (extra < 0 || i + extra >= length + (extra == 0 ? 1 : 0)) {
      ++i;
      continue;
    }
    char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
    bool valid = true;
    for (int k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) {
        valid = false;
        break;
      }
      c = (c << 6) | (next & 0x3F);
    }
    if (valid) {
      result.push_back(c);
      i += extra + 1;
    } else {
      ++i;
    }
  }
  return result;
}

class TX11Display final : public TDisplay {
  // Holds the connection's lock. Any call that waits for the server (XSync, a property read)
  // also reads the events that came meanwhile into Xlib's own queue, where the reader thread's
  // poll cannot see them: on the way out the reader is woken when events wait there.
  class TConnectionLock {
   public:
    explicit TConnectionLock(TX11Display& display) : FDisplay(display), FGuard(display.FLock) {}
    ~TConnectionLock()
    {
      if (FDisplay.FDisplay != nullptr && !FDisplay.FLost && XQLength(FDisplay.FDisplay) > 0 &&
          FDisplay.FWake.Get() >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(FDisplay.FWake.Get(), &one, sizeof(one));
      }
    }
    TConnectionLock(const TConnectionLock&) = delete;
    TConnectionLock& operator=(const TConnectionLock&) = delete;

   private:
    TX11Display& FDisplay;
    std::lock_guard<std::mutex> FGuard;
  };

 public:
  TX11Display() = default;
  ~TX11Display() override
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

  const char* Name() const noexcept override { return "x11"; }

  // In a shared segment until the connection tells that the server cannot read one: most
  // windows are made before the first is shown, which is when the connection opens.
  std::unique_ptr<TSurface> CreateWindowSurface(LONG width, LONG height) override
  {
    DWORD ignored = 0;
    return TSurface::Create(width, height, 32, false, ignored,
                            FPrivateSurfaces ? TSurfaceMemory::Private : TSurfaceMemory::SharedWherePossible);
  }

  bool Open() override
  {
    const TConnectionLock guard(*this);
    return OpenLocked();
  }

  SIZE ScreenSize() override
  {
    const TConnectionLock guard(*this);
    if (!OpenLocked()) {
      return SIZE{800, 600};
    }
    return SIZE{DisplayWidth(FDisplay, FScreen), DisplayHeight(FDisplay, FScreen)};
  }

  int Depth() override
  {
    const TConnectionLock guard(*this);
    return OpenLocked() ? FDepth : 0;
  }

  bool SharedMemory() override
  {
    const TConnectionLock guard(*this);
    return OpenLocked() && FShm;
  }

  RECT PrimaryMonitor() override
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

  bool Show(const TTopLevelView& view) override
  {
    {
      const TConnectionLock guard(*this);
      if (!OpenLocked() || FLost) {
        SetLastError(ERROR_NOT_CONNECTED);
        return false;
      }
      TXWindow& window = FWindows[view.Window];
      if (window.Id == 0) {
        CreateWindowLocked(view, window);
        if (FMainWindow == nullptr) {
          FMainWindow = view.Window;
        }
      }
      ConfigureLocked(view, window);
    }
    Restack();
    Present(view.Window, RECT{0, 0, view.Logical.cx, view.Logical.cy});
    return true;
  }

  void Hide(HWND handle) override
  {
    const TConnectionLock guard(*this);
    const auto found = FWindows.find(handle);
    if (found == FWindows.end() || FLost) {
      return;
    }
    if (found->second.Mapped) {
      XUnmapWindow(FDisplay, found->second.Id);
      found->second.Mapped = false;
      XFlush(FDisplay);
    }
  }

  void Remove(HWND handle) override
  {
    const TConnectionLock guard(*this);
    const auto found = FWindows.find(handle);
    if (found == FWindows.end()) {
      return;
    }
    if (!FLost) {
      Detach(found->second);
      if (found->second.InputContext != nullptr) {
        XDestroyIC(found->second.InputContext);
      }
      XDestroyWindow(FDisplay, found->second.Id);
      XFlush(FDisplay);
    }
    if (FGrabbed == handle) {
      FGrabbed = nullptr;
    }
    FWindows.erase(found);
    if (FMainWindow == handle) {
      FMainWindow = nullptr;
    }
  }

  // Where the pixels are drawn is where the server reads them: a window's surface (or its scaled
  // picture) lives in a shared segment the server attaches, so a present is one put and one
  // round trip. A surface in private memory (no segment could be had, or the server cannot
  // attach one) is sent in the request instead.
  void Present(HWND handle, const RECT& changed) override
  {
    const auto view = TopLevelView(handle);
    if (!view || !view->Surface) {
      return;
    }
    const auto lock = GdiLock();
    const TConnectionLock guard(*this);
    const auto found = FWindows.find(handle);
    if (found == FWindows.end() || FLost || !found->second.Mapped) {
      return;
    }
    TXWindow& window = found->second;
    const LONG width = view->Bounds.right - view->Bounds.left;
    const LONG height = view->Bounds.bottom - view->Bounds.top;
    const bool scaled = width != view->Logical.cx || height != view->Logical.cy;
    RECT area = IntersectRects(changed, view->Surface->Bounds());
    if (scaled) {
      // The screen pixels the changed logical ones reach, one more each side for smoothing.
      area = IntersectRects(
          RECT{area.left * width / view->Logical.cx - 1, area.top * height / view->Logical.cy - 1,
               (area.right * width + view->Logical.cx - 1) / view->Logical.cx + 1,
               (area.bottom * height + view->Logical.cy - 1) / view->Logical.cy + 1},
          RECT{0, 0, width, height});
      if (!window.Scaled || window.Scaled->Width() != width || window.Scaled->Height() != height) {
        window.Scaled = CreateWindowSurface(width, height);
        if (!window.Scaled) {
          return;
        }
      }
      window.Scaled->Stretch(RECT{0, 0, width, height}, *view->Surface, view->Surface->Bounds(), area,
                             TStretchMode::Smooth);
    }
    if (RectEmpty(area)) {
      return;
    }
    const TSurface& source = scaled ? *window.Scaled : *view->Surface;
    if (source.BitsPerPixel() != 32 || source.BottomUp()) {
      return;
    }
    const auto w = static_cast<unsigned>(area.right - area.left);
    const auto h = static_cast<unsigned>(area.bottom - area.top);
    if (Attach(window, source)) {
      const TXImageOver image(XShmCreateImage(
          FDisplay, FVisual, static_cast<unsigned>(FDepth), ZPixmap, reinterpret_cast<char*>(source.Bits()),
          &window.Attached, static_cast<unsigned>(source.Width()), static_cast<unsigned>(source.Height())));
      if (image && static_cast<std::size_t>(image->bytes_per_line) == source.Stride()) {
        XShmPutImage(FDisplay, window.Id, FGc, image.get(), area.left, area.top, area.left, area.top, w, h,
                     False);
        // The server reads the segment after the call; wait, so drawing after the present does
        // not reach a picture the server has not read yet.
        XSync(FDisplay, False);
        ++FPresents;
        return;
      }
    }
    const TXImageOver image(
        XCreateImage(FDisplay, FVisual, static_cast<unsigned>(FDepth), ZPixmap, 0,
                     reinterpret_cast<char*>(source.Bits()), static_cast<unsigned>(source.Width()),
                     static_cast<unsigned>(source.Height()), 32, static_cast<int>(source.Stride())));
    if (!image) {
      return;
    }
    // Xlib has the pixels in its buffer or on the wire when this returns.
    XPutImage(FDisplay, window.Id, FGc, image.get(), area.left, area.top, area.left, area.top, w, h);
    XFlush(FDisplay);
    ++FPresents;
  }

  std::uint64_t PresentCount() const noexcept override { return FPresents.load(); }

  COLORREF ScreenPixel(LONG x, LONG y) override
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

  std::vector<std::uint32_t> ScreenImage(SIZE& size) override
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

  void GrabPointer(HWND topLevel) override
  {
    const TConnectionLock guard(*this);
    if (FDisplay == nullptr || FLost) {
      return;
    }
    const auto found = topLevel != nullptr ? FWindows.find(topLevel) : FWindows.end();
    if (found == FWindows.end() || !found->second.Mapped) {
      if (FGrabbed != nullptr) {
        XUngrabPointer(FDisplay, CurrentTime);
        XFlush(FDisplay);
        FGrabbed = nullptr;
      }
      return;
    }
    // Moves outside the window arrive while the program holds the capture.
    XGrabPointer(FDisplay, found->second.Id, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                 GrabModeAsync, GrabModeAsync, None, FCursor, CurrentTime);
    XFlush(FDisplay);
    FGrabbed = topLevel;
  }

  TKeyGrab GrabKey(int virtualKey, UINT modifiers, bool grab) override
  {
    const TConnectionLock guard(*this);
    if (!OpenLocked() || FLost || virtualKey == 0) {
      return TKeyGrab::Unsupported;
    }
    const Window root = RootWindow(FDisplay, FScreen);
    const unsigned held = X11Modifiers(modifiers);
    int first = 0;
    int last = 0;
    XDisplayKeycodes(FDisplay, &first, &last);
    bool found = false;
    for (int code = first; code <= last; ++code) {
      if (VirtualKeyOfKeysym(XkbKeycodeToKeysym(FDisplay, static_cast<KeyCode>(code), 0, 0)) != virtualKey) {
        continue;
      }
      found = true;
      // A passive grab matches the modifier state exactly: the lock keys' states are grabbed too.
      for (const unsigned locks : {0U, static_cast<unsigned>(LockMask), static_cast<unsigned>(Mod2Mask),
                                   static_cast<unsigned>(LockMask | Mod2Mask)}) {
        if (grab) {
          XGrabKey(FDisplay, code, held | locks, root, False, GrabModeAsync, GrabModeAsync);
        } else {
          XUngrabKey(FDisplay, code, held | locks, root);
        }
      }
    }
    if (!found) {
      return TKeyGrab::Unsupported;
    }
    FErrorSeen = false;
    XSync(FDisplay, False);
    const bool refused = FErrorSeen;
    FErrorSeen = false;
    if (refused && grab) {
      // Another client holds the key: what was grabbed of it goes back.
      GrabKeyUndo(virtualKey, held, root, first, last);
      return TKeyGrab::Taken;
    }
    return TKeyGrab::Grabbed;
  }

  void ShowCursor(HCURSOR handle, const TCursorImage* image) override
  {
    const TConnectionLock guard(*this);
    if (FDisplay == nullptr || FLost) {
      return;
    }
    Cursor& cursor = FCursors[handle];
    if (cursor == 0) {
      if (image != nullptr) {
        XcursorImage* picture = XcursorImageCreate(image->Width, image->Height);
        if (picture != nullptr) {
          picture->xhot = static_cast<XcursorDim>(image->HotspotX);
          picture->yhot = static_cast<XcursorDim>(image->HotspotY);
          // The server wants premultiplied alpha.
          for (std::size_t i = 0; i < image->Argb.size(); ++i) {
            const std::uint32_t argb = image->Argb[i];
            const std::uint32_t alpha = argb >> 24;
            const auto scale = [alpha](std::uint32_t channel) { return (channel * alpha + 127) / 255; };
            picture->pixels[i] = (alpha << 24) | (scale((argb >> 16) & 0xFF) << 16) |
                                 (scale((argb >> 8) & 0xFF) << 8) | scale(argb & 0xFF);
          }
          cursor = XcursorImageLoadCursor(FDisplay, picture);
          XcursorImageDestroy(picture);
        }
      } else {
        const auto stock = reinterpret_cast<std::uintptr_t>(handle) & 0xFFFF;
        const auto wait = reinterpret_cast<std::uintptr_t>(IDC_WAIT);
        cursor = XCreateFontCursor(FDisplay, stock == wait ? XC_watch : XC_left_ptr);
      }
    }
    FCursor = cursor;
    for (const auto& [window, x] : FWindows) {
      XDefineCursor(FDisplay, x.Id, cursor);
    }
    if (FGrabbed != nullptr) {
      XChangeActivePointerGrab(FDisplay, ButtonPressMask | ButtonReleaseMask | PointerMotionMask, cursor,
                               CurrentTime);
    }
    XFlush(FDisplay);
  }

  bool QueryPointer(POINT& screen, bool& overOwnWindow) override
  {
    const TConnectionLock guard(*this);
    if (FDisplay == nullptr || FLost) {
      return false;
    }
    Window current = RootWindow(FDisplay, FScreen);
    overOwnWindow = false;
    // Down from the root through a window manager's frames to the window under the pointer.
    for (int depth = 0; depth < 8; ++depth) {
      Window root = 0;
      Window child = 0;
      int rootX = 0;
      int rootY = 0;
      int x = 0;
      int y = 0;
      unsigned int mask = 0;
      if (!XQueryPointer(FDisplay, current, &root, &child, &rootX, &rootY, &x, &y, &mask)) {
        return false;
      }
      screen = POINT{rootX, rootY};
      if (child == 0) {
        break;
      }
      if (WindowOfId(child) != nullptr) {
        overOwnWindow = true;
        break;
      }
      current = child;
    }
    return true;
  }

  bool PointerPosition(POINT& screen) override
  {
    const TConnectionLock guard(*this);
    if (FDisplay == nullptr || FLost) {
      return false;
    }
    Window root = 0;
    Window child = 0;
    int rootX = 0;
    int rootY = 0;
    int x = 0;
    int y = 0;
    unsigned int mask = 0;
    if (!XQueryPointer(FDisplay, RootWindow(FDisplay, FScreen), &root, &child, &rootX, &rootY, &x, &y,
                       &mask)) {
      return false;
    }
    screen = POINT{rootX, rootY};
    return true;
  }

  void WarpPointer(POINT point) override
  {
    const TConnectionLock guard(*this);
    if (FDisplay == nullptr || FLost) {
      return;
    }
    XWarpPointer(FDisplay, None, RootWindow(FDisplay, FScreen), 0, 0, 0, 0, point.x, point.y);
    XFlush(FDisplay);
  }

  void Activate(HWND topLevel) override
  {
    const TConnectionLock guard(*this);
    const auto found = FWindows.find(topLevel);
    if (FDisplay == nullptr || FLost || found == FWindows.end() || !found->second.Mapped) {
      return;
    }
    const Window root = RootWindow(FDisplay, FScreen);
    if (WindowManagerRuns()) {
      XEvent event{};
      event.xclient.type = ClientMessage;
      event.xclient.window = found->second.Id;
      event.xclient.message_type = FActiveWindow;
      event.xclient.format = 32;
      event.xclient.data.l[0] = 1;  // from an application
      event.xclient.data.l[1] = CurrentTime;
      XSendEvent(FDisplay, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    } else {
      XRaiseWindow(FDisplay, found->second.Id);
      XSetInputFocus(FDisplay, found->second.Id, RevertToParent, CurrentTime);
    }
    XFlush(FDisplay);
  }

  bool ServerActiveWindow(HWND& ownProgram, std::uint32_t& foreign) override
  {
    ownProgram = nullptr;
    foreign = 0;
    const TConnectionLock guard(*this);
    if (FDisplay == nullptr || FLost) {
      return false;
    }
    const Window root = RootWindow(FDisplay, FScreen);
    Window active = 0;
    if (WindowManagerRuns()) {
      Atom type = 0;
      int format = 0;
      unsigned long count = 0;
      unsigned long remaining = 0;
      unsigned char* data = nullptr;
      if (XGetWindowProperty(FDisplay, root, FActiveWindow, 0, 1, False, XA_WINDOW, &type, &format, &count,
                             &remaining, &data) == Success &&
          count == 1 && data != nullptr) {
        active = static_cast<Window>(*reinterpret_cast<unsigned long*>(data));
      }
      if (data != nullptr) {
        XFree(data);
      }
    } else {
      int revert = 0;
      XGetInputFocus(FDisplay, &active, &revert);
      active = TopLevelAncestor(active);
    }
    if (active == 0 || active == root || active == PointerRoot) {
      return true;
    }
    if (const HWND own = WindowOfId(active)) {
      ownProgram = own;
    } else if (const std::uint32_t handle = ProgramHandleOf(active)) {
      ownProgram = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(handle));
    } else {
      foreign = static_cast<std::uint32_t>(active);
    }
    return true;
  }

  bool ForeignWindowExists(std::uint32_t id) override
  {
    const TConnectionLock guard(*this);
    if (FDisplay == nullptr || FLost) {
      return false;
    }
    XWindowAttributes attributes{};
    FErrorSeen = false;
    const Status found = XGetWindowAttributes(FDisplay, static_cast<Window>(id), &attributes);
    XSync(FDisplay, False);
    const bool exists = found != 0 && !FErrorSeen;
    FErrorSeen = false;
    return exists;
  }

  std::string ForeignWindowTitle(std::uint32_t id) override
  {
    const TConnectionLock guard(*this);
    if (FDisplay == nullptr || FLost) {
      return {};
    }
    std::string title;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(FDisplay, static_cast<Window>(id), FWmName, 0, 1024, False, FUtf8, &type, &format,
                           &count, &remaining, &data) == Success &&
        data != nullptr && format == 8) {
      title.assign(reinterpret_cast<const char*>(data), count);
    }
    if (data != nullptr) {
      XFree(data);
    }
    if (title.empty()) {
      char* name = nullptr;
      if (XFetchName(FDisplay, static_cast<Window>(id), &name) != 0 && name != nullptr) {
        title = name;
        XFree(name);
      }
    }
    XSync(FDisplay, False);
    FErrorSeen = false;
    return title;
  }

  bool ActivateForeign(std::uint32_t id) override
  {
    const TConnectionLock guard(*this);
    if (FDisplay == nullptr || FLost) {
      return false;
    }
    const auto window = static_cast<Window>(id);
    FErrorSeen = false;
    if (WindowManagerRuns()) {
      XEvent event{};
      event.xclient.type = ClientMessage;
      event.xclient.window = window;
      event.xclient.message_type = FActiveWindow;
      event.xclient.format = 32;
      event.xclient.data.l[0] = 2;  // as a pager does: the user asked for it
      event.xclient.data.l[1] = CurrentTime;
      XSendEvent(FDisplay, RootWindow(FDisplay, FScreen), False,
                 SubstructureRedirectMask | SubstructureNotifyMask, &event);
    } else {
      XRaiseWindow(FDisplay, window);
      XSetInputFocus(FDisplay, window, RevertToParent, CurrentTime);
    }
    XSync(FDisplay, False);
    const bool done = !FErrorSeen;
    FErrorSeen = false;
    return done;
  }

  void OnError(const XErrorEvent& error)
  {
    char text[256] = {};
    XGetErrorText(error.display, error.error_code, text, sizeof(text));
    PlatformTrace(std::string("display: X error ") + text + " (request " +
                  std::to_string(error.request_code) + "." + std::to_string(error.minor_code) + ")");
    FErrorSeen = true;
  }

  // The server went away: the connection is never used again and the program's message loop is
  // ended.
  void OnLost()
  {
    FLost = true;
    PlatformTrace("display: the connection to the X server was lost");
    // Nobody reads the end signals from now on: they end the process as they would by default.
    if (FEndSignals) {
      FEndSignals->Release();
    }
    EndMessageLoop();
  }

 private:
  // FLock held.
  bool OpenLocked()
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

  // The input method composes dead keys and compose sequences; without one, keys type what the
  // keyboard map says.
  void OpenInputMethod()
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

  // Whether a window manager runs (it names its check window on the root).
  bool WindowManagerRuns()
  {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    const bool found = XGetWindowProperty(FDisplay, RootWindow(FDisplay, FScreen), FWmCheck, 0, 1, False,
                                          XA_WINDOW, &type, &format, &count, &remaining, &data) == Success &&
                       count == 1;
    if (data != nullptr) {
      XFree(data);
    }
    return found;
  }

  bool Fail(const std::string& reason)
  {
    FFailed = true;
    std::fprintf(stderr, "OxaNetMusic: %s; no window can be shown.\n", reason.c_str());
    PlatformTrace("display: " + reason);
    return false;
  }

  // Whether the server can attach our segments (it cannot when it runs on another machine).
  bool ProbeSharedMemory()
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

  void CreateWindowLocked(const TTopLevelView& view, TXWindow& window)
  {
    XSetWindowAttributes attributes{};
    attributes.background_pixmap = None;
    attributes.event_mask = ExposureMask | StructureNotifyMask | ButtonPressMask | ButtonReleaseMask |
                            PointerMotionMask | KeyPressMask | KeyReleaseMask | FocusChangeMask |
                            LeaveWindowMask;
    const LONG width = std::max<LONG>(1, view.Bounds.right - view.Bounds.left);
    const LONG height = std::max<LONG>(1, view.Bounds.bottom - view.Bounds.top);
    window.Id = XCreateWindow(FDisplay, RootWindow(FDisplay, FScreen), view.Bounds.left, view.Bounds.top,
                              static_cast<unsigned>(width), static_cast<unsigned>(height), 0, FDepth,
                              InputOutput, FVisual, CWBackPixmap | CWEventMask, &attributes);
    window.Bounds = view.Bounds;
    if (FCursor != 0) {
      XDefineCursor(FDisplay, window.Id, FCursor);
    }
    if (FInputMethod != nullptr) {
      window.InputContext = XCreateIC(FInputMethod, XNInputStyle, XIMPreeditNothing | XIMStatusNothing,
                                      XNClientWindow, window.Id, XNFocusWindow, window.Id, nullptr);
    }
    XWMHints wmHints{};
    wmHints.flags = InputHint;
    wmHints.input = True;
    XSetWMHints(FDisplay, window.Id, &wmHints);
    const auto handle = static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(view.Window));
    XChangeProperty(FDisplay, window.Id, FHandleAtom, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&handle), 1);
    Atom protocols[] = {FDeleteWindow};
    XSetWMProtocols(FDisplay, window.Id, protocols, 1);
    XSizeHints hints{};
    hints.flags = USPosition | PPosition | USSize | PSize;
    hints.x = view.Bounds.left;
    hints.y = view.Bounds.top;
    hints.width = width;
    hints.height = height;
    XSetWMNormalHints(FDisplay, window.Id, &hints);
    if (view.Borderless) {
      // flags: decorations; decorations: none.
      const unsigned long motif[5] = {2, 0, 0, 0, 0};
      XChangeProperty(FDisplay, window.Id, FMotifHints, FMotifHints, 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(motif), 5);
    }
    std::vector<Atom> states;
    if (view.Topmost) {
      states.push_back(FStateAbove);
    }
    if (view.ToolWindow) {
      states.push_back(FSkipTaskbar);
      states.push_back(FSkipPager);
    }
    if (!states.empty()) {
      XChangeProperty(FDisplay, window.Id, FWmState, XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(states.data()), static_cast<int>(states.size()));
    }
  }

  void ConfigureLocked(const TTopLevelView& view, TXWindow& window)
  {
    const LONG width = std::max<LONG>(1, view.Bounds.right - view.Bounds.left);
    const LONG height = std::max<LONG>(1, view.Bounds.bottom - view.Bounds.top);
    if (std::memcmp(&window.Bounds, &view.Bounds, sizeof(RECT)) != 0) {
      XMoveResizeWindow(FDisplay, window.Id, view.Bounds.left, view.Bounds.top, static_cast<unsigned>(width),
                        static_cast<unsigned>(height));
      window.Bounds = view.Bounds;
    }
    XStoreName(FDisplay, window.Id, view.Title.c_str());
    XChangeProperty(FDisplay, window.Id, FWmName, FUtf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(view.Title.data()),
                    static_cast<int>(view.Title.size()));
    if (FShape) {
      if (view.Shape) {
        const bool scaled = width != view.Logical.cx || height != view.Logical.cy;
        const TRegion shape =
            scaled && view.Logical.cx > 0 ? view.Shape->Scaled(width, view.Logical.cx) : *view.Shape;
        std::vector<XRectangle> rects;
        for (const RECT& rect : shape.Rects()) {
          rects.push_back(XRectangle{static_cast<short>(rect.left), static_cast<short>(rect.top),
                                     static_cast<unsigned short>(rect.right - rect.left),
                                     static_cast<unsigned short>(rect.bottom - rect.top)});
        }
        for (const int kind : {ShapeBounding, ShapeInput}) {
          XShapeCombineRectangles(FDisplay, window.Id, kind, 0, 0, rects.data(),
                                  static_cast<int>(rects.size()), ShapeSet, Unsorted);
        }
      } else {
        for (const int kind : {ShapeBounding, ShapeInput}) {
          XShapeCombineMask(FDisplay, window.Id, kind, 0, 0, None, ShapeSet);
        }
      }
    }
    if (!window.Mapped) {
      XMapWindow(FDisplay, window.Id);
      window.Mapped = true;
    }
    XSync(FDisplay, False);
  }

  // Stacks the X windows as the program stacks its windows.
  void Restack()
  {
    const auto views = ShownTopLevels();
    const TConnectionLock guard(*this);
    if (FLost || FDisplay == nullptr) {
      return;
    }
    std::vector<Window> order;
    for (auto it = views.rbegin(); it != views.rend(); ++it) {
      if (const auto found = FWindows.find(it->Window); found != FWindows.end() && found->second.Mapped) {
        order.push_back(found->second.Id);
      }
    }
    if (!order.empty()) {
      XRaiseWindow(FDisplay, order.front());
      XRestackWindows(FDisplay, order.data(), static_cast<int>(order.size()));
      XSync(FDisplay, False);
    }
  }

  // Has the server attach the segment that holds source for window (detaching the one before);
  // false when source is in private memory or the server cannot attach it.
  bool Attach(TXWindow& window, const TSurface& source)
  {
    const int segment = source.SharedSegment();
    if (!FShm || segment < 0 || segment == window.Refused) {
      return false;
    }
    if (window.Attached.shmid == segment) {
      window.Attached.shmaddr = reinterpret_cast<char*>(source.Bits());
      return true;
    }
    Detach(window);
    window.Attached.shmid = segment;
    window.Attached.shmaddr = reinterpret_cast<char*>(source.Bits());
    window.Attached.readOnly = True;
    FErrorSeen = false;
    XShmAttach(FDisplay, &window.Attached);
    XSync(FDisplay, False);
    if (FErrorSeen) {
      FErrorSeen = false;
      window.Attached = XShmSegmentInfo{0, -1, nullptr, True};
      window.Refused = segment;
      PlatformTrace("display: the X server cannot attach a window's shared segment; sending its pixels");
      return false;
    }
    return true;
  }

  void Detach(TXWindow& window)
  {
    if (window.Attached.shmid >= 0 && !FLost) {
      XShmDetach(FDisplay, &window.Attached);
      XSync(FDisplay, False);
    }
    window.Attached = XShmSegmentInfo{0, -1, nullptr, True};
  }

  // The child of the root that holds window (itself when it is one); 0 for none.
  Window TopLevelAncestor(Window window)
  {
    const Window root = RootWindow(FDisplay, FScreen);
    for (int depth = 0; depth < 32 && window != 0 && window != root && window != PointerRoot; ++depth) {
      Window rootOut = 0;
      Window parent = 0;
      Window* children = nullptr;
      unsigned int count = 0;
      if (XQueryTree(FDisplay, window, &rootOut, &parent, &children, &count) == 0) {
        return 0;
      }
      if (children != nullptr) {
        XFree(children);
      }
      if (parent == root) {
        return window;
      }
      window = parent;
    }
    return 0;
  }

  // The program's window handle a window of another of its processes carries; 0 for none.
  std::uint32_t ProgramHandleOf(Window window)
  {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    std::uint32_t handle = 0;
    if (XGetWindowProperty(FDisplay, window, FHandleAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count,
                           &remaining, &data) == Success &&
        data != nullptr && count == 1 && format == 32) {
      handle = static_cast<std::uint32_t>(*reinterpret_cast<unsigned long*>(data));
    }
    if (data != nullptr) {
      XFree(data);
    }
    return handle;
  }

  HWND WindowOfId(Window id)
  {
    for (const auto& [handle, window] : FWindows) {
      if (window.Id == id) {
        return handle;
      }
    }
    return nullptr;
  }

  // The reader thread: waits for the connection (or the wake event), takes what came under the
  // lock and acts on it without.
  // The host asked the program to end: the main window is asked to close. Without one there is
  // nothing to save, and the signal ends the process as it would by default.
  void AskToEnd(int signal)
  {
    if (signal == 0) {
      return;
    }
    PlatformTrace("display: asked to end by signal " + std::to_string(signal));
    if (!EndMessageLoop()) {
      FEndSignals->Release();
      raise(signal);
    }
  }

  // The session is over for the program: the message loop of the thread that showed the first
  // window is ended, as a session's end ends an application's loop on Windows, and the program
  // returns from its loop and frees its windows, saving what it keeps. That first window need
  // not be the one whose close would end the program (a tool window may come first), so no
  // window is asked to close. False when no window was ever shown.
  bool EndMessageLoop()
  {
    const HWND main = FMainWindow.load();
    const DWORD thread = main != nullptr ? GetWindowThreadProcessId(main, nullptr) : 0;
    return thread != 0 && PostThreadMessageA(thread, WM_QUIT, 0, 0) != FALSE;
  }

  void ReadEvents()
  {
    for (;;) {
      pollfd ready[3] = {{ConnectionNumber(FDisplay), POLLIN, 0},
                         {FWake.Get(), POLLIN, 0},
                         {FEndSignals->Descriptor(), POLLIN, 0}};
      poll(ready, 3, -1);
      if (FStopping || FLost) {
        return;
      }
      if ((ready[2].revents & POLLIN) != 0) {
        AskToEnd(FEndSignals->Take());
      }
      if ((ready[1].revents & POLLIN) != 0) {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t drained = read(FWake.Get(), &count, sizeof(count));
      }
      struct TExposure {
        HWND Window;
        RECT Area;
      };
      std::vector<TExposure> exposed;
      std::vector<HWND> closing;
      std::vector<TInputEvent> input;
      std::vector<std::pair<HWND, bool>> focus;
      {
        const TConnectionLock guard(*this);
        if (FLost) {
          return;
        }
        bool focusLeft = false;
        while (!FLost && XPending(FDisplay) > 0) {
          XEvent event{};
          XNextEvent(FDisplay, &event);
          // The input method takes the keys of a compose sequence it is in the middle of.
          if (XFilterEvent(&event, None) != False) {
            continue;
          }
          if (ReadInput(event, input)) {
            continue;
          }
          if (event.type == MappingNotify) {
            // The keyboard map changed: keysyms come from the new one.
            XRefreshKeyboardMapping(&event.xmapping);
            continue;
          }
          if (event.type == FocusIn && event.xfocus.mode != NotifyGrab && event.xfocus.mode != NotifyUngrab &&
              event.xfocus.detail != NotifyPointer) {
            if (const HWND window = WindowOfId(event.xfocus.window)) {
              if (const auto found = FWindows.find(window); found->second.InputContext != nullptr) {
                XSetICFocus(found->second.InputContext);
              }
              focus.emplace_back(window, true);
              focusLeft = false;
            }
          } else if (event.type == FocusOut && event.xfocus.mode == NotifyNormal &&
                     event.xfocus.detail != NotifyPointer && event.xfocus.detail != NotifyInferior) {
            if (const HWND window = WindowOfId(event.xfocus.window)) {
              if (const auto found = FWindows.find(window); found->second.InputContext != nullptr) {
                XUnsetICFocus(found->second.InputContext);
              }
              focusLeft = true;
            }
          } else if (event.type == Expose) {
            if (const HWND window = WindowOfId(event.xexpose.window)) {
              exposed.push_back(
                  {window, RECT{event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                                event.xexpose.y + event.xexpose.height}});
            }
          } else if (event.type == ClientMessage &&
                     static_cast<Atom>(event.xclient.data.l[0]) == FDeleteWindow) {
            if (const HWND window = WindowOfId(event.xclient.window)) {
              closing.push_back(window);
            }
          }
        }
        if (focusLeft && !FLost) {
          // Focus went to a window that is not ours: the program is no longer the active one.
          Window focused = 0;
          int revert = 0;
          XGetInputFocus(FDisplay, &focused, &revert);
          if (WindowOfId(focused) == nullptr) {
            focus.emplace_back(nullptr, false);
          }
        }
      }
      for (const auto& exposure : exposed) {
        PresentScreenArea(exposure.Window, exposure.Area);
      }
      for (const auto& event : input) {
        DeliverInput(event);
      }
      for (const auto& [window, active] : focus) {
        DisplayFocusChanged(window, active);
      }
      for (const HWND window : closing) {
        PostMessageA(window, WM_CLOSE, 0, 0);
      }
    }
  }

  static unsigned X11Modifiers(UINT modifiers) noexcept
  {
    unsigned held = 0;
    held |= (modifiers & MOD_SHIFT) != 0 ? ShiftMask : 0U;
    held |= (modifiers & MOD_CONTROL) != 0 ? ControlMask : 0U;
    held |= (modifiers & MOD_ALT) != 0 ? Mod1Mask : 0U;
    held |= (modifiers & MOD_WIN) != 0 ? Mod4Mask : 0U;
    return held;
  }

  static UINT HotKeyModifiers(unsigned state) noexcept
  {
    UINT modifiers = 0;
    modifiers |= (state & ShiftMask) != 0 ? MOD_SHIFT : 0U;
    modifiers |= (state & ControlMask) != 0 ? MOD_CONTROL : 0U;
    modifiers |= (state & Mod1Mask) != 0 ? MOD_ALT : 0U;
    modifiers |= (state & Mod4Mask) != 0 ? MOD_WIN : 0U;
    return modifiers;
  }

  // FLock held.
  void GrabKeyUndo(int virtualKey, unsigned held, Window root, int first, int last)
  {
    for (int code = first; code <= last; ++code) {
      if (VirtualKeyOfKeysym(XkbKeycodeToKeysym(FDisplay, static_cast<KeyCode>(code), 0, 0)) != virtualKey) {
        continue;
      }
      for (const unsigned locks : {0U, static_cast<unsigned>(LockMask), static_cast<unsigned>(Mod2Mask),
                                   static_cast<unsigned>(LockMask | Mod2Mask)}) {
        XUngrabKey(FDisplay, code, held | locks, root);
      }
    }
    XSync(FDisplay, False);
    FErrorSeen = false;
  }

  // Turns a pointer or key event into input; false for other events. Moves in a row are coalesced
  // to the latest. FLock held.
  bool ReadInput(const XEvent& event, std::vector<TInputEvent>& input)
  {
    TInputEvent item;
    switch (event.type) {
      case MotionNotify:
        item.Kind = TInputKind::Move;
        item.Screen = POINT{event.xmotion.x_root, event.xmotion.y_root};
        if (!input.empty() && input.back().Kind == TInputKind::Move) {
          input.back() = item;
          return true;
        }
        break;
      case LeaveNotify:
        if (event.xcrossing.mode != NotifyNormal || event.xcrossing.detail == NotifyInferior) {
          return true;
        }
        // Out of our window, perhaps over another program's: no window of ours is under it.
        item.Kind = TInputKind::Move;
        item.Screen = POINT{event.xcrossing.x_root, event.xcrossing.y_root};
        item.PointerKnown = false;
        break;
      case ButtonPress:
      case ButtonRelease: {
        item.Screen = POINT{event.xbutton.x_root, event.xbutton.y_root};
        item.Down = event.type == ButtonPress;
        const unsigned button = event.xbutton.button;
        if (button == Button4 || button == Button5) {
          if (!item.Down) {
            return true;
          }
          item.Kind = TInputKind::Wheel;
          item.WheelDelta = button == Button4 ? WHEEL_DELTA : -WHEEL_DELTA;
          break;
        }
        if (button > Button3) {
          return true;
        }
        item.Kind = TInputKind::Button;
        item.Button = button == Button1   ? TPointerButton::Left
                      : button == Button3 ? TPointerButton::Right
                                          : TPointerButton::Middle;
        break;
      }
      case KeyPress:
      case KeyRelease: {
        const HWND window = WindowOfId(event.xkey.window);
        if (window == nullptr) {
          // A key grabbed on the root window: the program takes it whatever has the keyboard.
          if (event.type == KeyPress && event.xkey.window == RootWindow(FDisplay, FScreen)) {
            XKeyEvent key = event.xkey;
            item.Kind = TInputKind::Key;
            item.Down = true;
            item.HotKey = true;
            item.Keysym = XLookupKeysym(&key, 0);
            item.Modifiers = HotKeyModifiers(key.state);
            break;
          }
          return true;
        }
        XKeyEvent key = event.xkey;
        item.Kind = TInputKind::Key;
        item.Down = event.type == KeyPress;
        item.KeyWindow = window;
        item.Keysym = XLookupKeysym(&key, 0);
        if (item.Down) {
          char text[64] = {};
          KeySym typed = 0;
          int length = 0;
          const XIC context = FWindows[window].InputContext;
          if (context != nullptr) {
            Status status = 0;
            length = Xutf8LookupString(context, &key, text, sizeof(text), &typed, &status);
            if (status != XLookupChars && status != XLookupBoth) {
              length = 0;
            }
          } else {
            length = XLookupString(&key, text, sizeof(text), &typed, nullptr);
            // Without an input method the bytes are Latin-1.
            for (int i = 0; i < length; ++i) {
              item.Text.push_back(static_cast<unsigned char>(text[i]));
            }
            length = 0;
          }
          if (length > 0) {
            item.Text = DecodeUtf8(text, std::min<int>(length, static_cast<int>(sizeof(text))));
          }
          // Neither the input method nor the Latin-1 lookup gives text for a letter outside the
          // locale's character set (a Cyrillic layout in the C locale): the key symbol names
          // the character.
          if (item.Text.empty()) {
            if (typed == 0) {
              XLookupString(&key, text, sizeof(text), &typed, nullptr);
            }
            const std::uint32_t character = xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(typed));
            if (character >= 0x20 && character != 0x7F && (character < 0xD800 || character > 0xDFFF)) {
              item.Text.push_back(static_cast<char32_t>(character));
            }
          }
        }
        break;
      }
      default:
        return false;
    }
    input.push_back(item);
    return true;
  }

  // Puts an exposed screen area of a window again (window screen coordinates).
  void PresentScreenArea(HWND handle, const RECT& area)
  {
    const auto view = TopLevelView(handle);
    if (!view) {
      return;
    }
    const LONG width = view->Bounds.right - view->Bounds.left;
    const LONG height = view->Bounds.bottom - view->Bounds.top;
    if (width <= 0 || height <= 0) {
      return;
    }
    Present(handle, RECT{area.left * view->Logical.cx / width, area.top * view->Logical.cy / height,
                         (area.right * view->Logical.cx + width - 1) / width,
                         (area.bottom * view->Logical.cy + height - 1) / height});
  }

  std::mutex FLock;  // guards the connection and everything below but the atomics
  Display* FDisplay = nullptr;
  bool FFailed = false;
  int FScreen = 0;
  int FDepth = 0;
  Visual* FVisual = nullptr;
  GC FGc = nullptr;
  bool FShape = false;
  bool FShm = false;
  // Known that the server reads no shared memory: window surfaces are made in private memory.
  std::atomic<bool> FPrivateSurfaces{false};
  std::atomic<bool> FErrorSeen{false};
  std::atomic<bool> FLost{false};
  std::atomic<bool> FStopping{false};
  std::atomic<HWND> FMainWindow{nullptr};
  std::atomic<std::uint64_t> FPresents{0};
  Atom FHandleAtom = 0;
  Atom FMotifHints = 0;
  Atom FWmState = 0;
  Atom FStateAbove = 0;
  Atom FSkipTaskbar = 0;
  Atom FSkipPager = 0;
  Atom FWmProtocols = 0;
  Atom FDeleteWindow = 0;
  Atom FWmName = 0;
  Atom FUtf8 = 0;
  Atom FActiveWindow = 0;
  Atom FWmCheck = 0;
  std::map<HWND, TXWindow> FWindows;
  XIM FInputMethod = nullptr;
  std::map<HCURSOR, Cursor> FCursors;
  Cursor FCursor = 0;
  HWND FGrabbed = nullptr;
  TFileDescriptor FWake;
  std::unique_ptr<TEndSignals> FEndSignals;
  std::thread FReader;
};

}  // namespace

std::unique_ptr<TDisplay> MakeX11Display()
{
  return std::make_unique<TX11Display>();
}
