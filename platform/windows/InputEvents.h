#pragma once
// Input from the display back ends into the message queues, and the state behind capture, focus
// and activation. Internal to the platform layer; the Win32 calls are in platform/windows/Input.h.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/windows/Input.h"
#include "platform/windows/Messages.h"
#include "platform/windows/WindowManager.h"

enum class TInputKind { Move, Button, Wheel, Key };
enum class TPointerButton { Left, Right, Middle };

// One piece of input as a back end (or mouse_event, or a test) saw it.
struct TInputEvent {
  TInputKind Kind = TInputKind::Move;
  POINT Screen{0, 0};  // where the pointer is (Move, Button, Wheel)
  TPointerButton Button = TPointerButton::Left;
  bool Down = false;         // Button, Key
  int WheelDelta = 0;        // Wheel: multiples of WHEEL_DELTA, away from the user positive
  unsigned long Keysym = 0;  // Key: the key's unshifted X keysym
  std::u32string Text;       // Key: what the press typed through the input method
  DWORD Time = 0;            // on the GetTickCount clock; 0: now
  HWND KeyWindow = nullptr;  // Key: the top-level window the back end saw it on
  bool PointerKnown = true;  // false: the pointer is over a window of another program
  bool HotKey = false;       // Key: a press of a grabbed key (platform/windows/HotKeys.h)
  UINT Modifiers = 0;        // HotKey: the MOD_* held
};

// Turns the event into messages for the queue of the window it is for (any thread).
void DeliverInput(const TInputEvent& event);

// A grabbed key went down: WM_HOTKEY to the window that registered it (display/HotKeys.cpp).
void DeliverHotKey(int virtualKey, UINT modifiers);

// The Win32 virtual-key code of an X keysym; 0 for a key that has none.
int VirtualKeyOfKeysym(unsigned long keysym) noexcept;

// A window goes: it loses the capture, the focus, the activation, and its waiting input.
void ForgetInputWindow(HWND window);

// Called by GetMessageA and PeekMessageA on the owner thread with the queue lock held for a
// message they take out of the queue: the thread's key state follows it.
void TakeInputState(TMessageQueue& queue, const TInputMessage& input);
// Then, without locks: activation by a click and WM_SETCURSOR.
void AfterInputTaken(const MSG& message);
// Whether the message is one of the platform's own activation requests (handled here, never
// returned to the program).
bool IsInputControl(const MSG& message) noexcept;
void HandleInputControl(const MSG& message);

// The back end saw one of our top-level windows gain the focus (active) or the program lose it
// to another one (window null, active false). Any thread.
void DisplayFocusChanged(HWND window, bool active);

// Top-level windows of other programs get handles from a range of their own (the process number
// no process of the program has), each naming one window of the X server.
bool IsForeignWindowHandle(HWND window) noexcept;
HWND ForeignWindowHandle(std::uint32_t serverId);
// The server id a foreign handle names; 0 for any other handle.
std::uint32_t ForeignWindowId(HWND window);

// The cursor images (display/Cursors.cpp).
struct TCursorImage {
  int Width = 0;
  int Height = 0;
  int HotspotX = 0;
  int HotspotY = 0;
  std::vector<std::uint32_t> Argb;  // rows top down, 0xAARRGGBB
};
// The image of a cursor handle; null for a stock cursor or an unknown handle.
std::shared_ptr<const TCursorImage> CursorImage(HCURSOR cursor);
// The cursor SetCursor set last.
HCURSOR CurrentCursor();
