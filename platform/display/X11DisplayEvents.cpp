// The X server back end's reader thread: it waits for the connection, the wake event and the end
// signals, reads the server's events under the lock, and acts on them without it: exposures are
// presented again, close requests posted, pointer, key and focus events turned into input.
#include "platform/display/detail/X11Display.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/core/Diagnostics.h"
#include "platform/core/PollUntil.h"
#include "platform/windows/HotKeys.h"
#include "platform/windows/Messages.h"

namespace {

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

UINT HotKeyModifiers(unsigned state) noexcept
{
  UINT modifiers = 0;
  modifiers |= (state & ShiftMask) != 0 ? MOD_SHIFT : 0U;
  modifiers |= (state & ControlMask) != 0 ? MOD_CONTROL : 0U;
  modifiers |= (state & Mod1Mask) != 0 ? MOD_ALT : 0U;
  modifiers |= (state & Mod4Mask) != 0 ? MOD_WIN : 0U;
  return modifiers;
}

}  // namespace

void TX11Display::AskToEnd(int signal)
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
bool TX11Display::EndMessageLoop()
{
  const HWND main = FMainWindow.load();
  const DWORD thread = main != nullptr ? GetWindowThreadProcessId(main, nullptr) : 0;
  return thread != 0 && PostThreadMessageA(thread, WM_QUIT, 0, 0) != FALSE;
}

void TX11Display::ReadEvents()
{
  for (;;) {
    pollfd ready[3] = {{ConnectionNumber(FDisplay), POLLIN, 0},
                       {FWake.Get(), POLLIN, 0},
                       {FEndSignals->Descriptor(), POLLIN, 0}};
    PollUntil(ready, NoDeadline);
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

bool TX11Display::ReadInput(const XEvent& event, std::vector<TInputEvent>& input)
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
