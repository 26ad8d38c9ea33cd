// The X server back end's top-level windows: one X window per shown window, made, configured
// (bounds, title, shape) and stacked as the program has them, and their surfaces presented.
#include "platform/display/detail/X11Display.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/shape.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/core/Diagnostics.h"
#include "platform/core/LastError.h"
#include "platform/display/detail/XImageOwner.h"
#include "platform/windows/GdiObjects.h"

std::unique_ptr<TSurface> TX11Display::CreateWindowSurface(LONG width, LONG height)
{
  DWORD ignored = 0;
  return TSurface::Create(width, height, 32, false, ignored,
                          FPrivateSurfaces ? TSurfaceMemory::Private : TSurfaceMemory::SharedWherePossible);
}

bool TX11Display::Show(const TTopLevelView& view)
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

void TX11Display::Hide(HWND handle)
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

void TX11Display::Remove(HWND handle)
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
void TX11Display::Present(HWND handle, const RECT& changed)
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

void TX11Display::CreateWindowLocked(const TTopLevelView& view, TXWindow& window)
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

void TX11Display::ConfigureLocked(const TTopLevelView& view, TXWindow& window)
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
        XShapeCombineRectangles(FDisplay, window.Id, kind, 0, 0, rects.data(), static_cast<int>(rects.size()),
                                ShapeSet, Unsorted);
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

void TX11Display::Restack()
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

bool TX11Display::Attach(TXWindow& window, const TSurface& source)
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

void TX11Display::Detach(TXWindow& window)
{
  if (window.Attached.shmid >= 0 && !FLost) {
    XShmDetach(FDisplay, &window.Attached);
    XSync(FDisplay, False);
  }
  window.Attached = XShmSegmentInfo{0, -1, nullptr, True};
}

HWND TX11Display::WindowOfId(Window id)
{
  for (const auto& [handle, window] : FWindows) {
    if (window.Id == id) {
      return handle;
    }
  }
  return nullptr;
}

void TX11Display::PresentScreenArea(HWND handle, const RECT& area)
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
