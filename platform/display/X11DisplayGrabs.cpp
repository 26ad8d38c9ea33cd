// The X server back end's pointer and keys: the pointer grabbed for the capture, keys grabbed on
// the root for hot keys, the cursor over the program's windows, and where the pointer is.
#include "platform/display/detail/X11Display.h"

#include <X11/XKBlib.h>
#include <X11/Xcursor/Xcursor.h>
#include <X11/Xlib.h>
#include <X11/cursorfont.h>

#include <cstdint>

#include "platform/windows/HotKeys.h"

namespace {

unsigned X11Modifiers(UINT modifiers) noexcept
{
  unsigned held = 0;
  held |= (modifiers & MOD_SHIFT) != 0 ? ShiftMask : 0U;
  held |= (modifiers & MOD_CONTROL) != 0 ? ControlMask : 0U;
  held |= (modifiers & MOD_ALT) != 0 ? Mod1Mask : 0U;
  held |= (modifiers & MOD_WIN) != 0 ? Mod4Mask : 0U;
  return held;
}

}  // namespace

void TX11Display::GrabPointer(HWND topLevel)
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

TKeyGrab TX11Display::GrabKey(int virtualKey, UINT modifiers, bool grab)
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

void TX11Display::GrabKeyUndo(int virtualKey, unsigned held, Window root, int first, int last)
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

void TX11Display::ShowCursor(HCURSOR handle, const TCursorImage* image)
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

bool TX11Display::QueryPointer(POINT& screen, bool& overOwnWindow)
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

bool TX11Display::PointerPosition(POINT& screen)
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
  if (!XQueryPointer(FDisplay, RootWindow(FDisplay, FScreen), &root, &child, &rootX, &rootY, &x, &y, &mask)) {
    return false;
  }
  screen = POINT{rootX, rootY};
  return true;
}

void TX11Display::WarpPointer(POINT point)
{
  const TConnectionLock guard(*this);
  if (FDisplay == nullptr || FLost) {
    return;
  }
  XWarpPointer(FDisplay, None, RootWindow(FDisplay, FScreen), 0, 0, 0, 0, point.x, point.y);
  XFlush(FDisplay);
}
