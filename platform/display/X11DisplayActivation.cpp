// The X server back end's active window: activating the program's windows and other programs'
// (through the window manager when one runs), and finding which window is active, its title,
// and whether it still exists.
#include "platform/display/detail/X11Display.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdint>
#include <string>

void TX11Display::Activate(HWND topLevel)
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

bool TX11Display::ServerActiveWindow(HWND& ownProgram, std::uint32_t& foreign)
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

bool TX11Display::ForeignWindowExists(std::uint32_t id)
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

std::string TX11Display::ForeignWindowTitle(std::uint32_t id)
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

bool TX11Display::ActivateForeign(std::uint32_t id)
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

bool TX11Display::WindowManagerRuns()
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

Window TX11Display::TopLevelAncestor(Window window)
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

std::uint32_t TX11Display::ProgramHandleOf(Window window)
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
