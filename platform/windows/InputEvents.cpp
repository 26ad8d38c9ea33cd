// Input routing: which window a click or a key is for, double clicks, capture, focus and
// activation, and the keys' state.
#include "platform/windows/InputEvents.h"

#include <X11/XF86keysym.h>
#include <X11/keysym.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>

#include "platform/core/Diagnostics.h"
#include "platform/core/LastError.h"
#include "platform/core/Machine.h"
#include "platform/core/Time.h"
#include "platform/files/ReplaceFile.h"
#include "platform/objects/Processes.h"
#include "platform/objects/Threads.h"
#include "platform/windows/DisplayBackEnd.h"
#include "platform/windows/Metrics.h"

namespace {

constexpr UINT DoubleClickTime = 500;
// More input than this waiting for one thread means it does not look at its queue; newer input
// is dropped rather than piled up.
constexpr std::size_t MaxQueuedInput = 4096;
// The platform's own requests between processes: activate this window (wParam: how), and the
// program lost the activation to another process (wParam: the thread that took it).
constexpr UINT ActivateRequest = 0x03F0;
constexpr UINT DeactivateAppRequest = 0x03F1;
// lParam of a request the back end made from what the server reported.
constexpr LPARAM FromDisplay = 1;

// The process number no process of the program gets: handles of other programs' windows.
constexpr std::uint32_t ForeignNumber = 0xFFFF;
constexpr std::uint32_t MaxForeignSlots = 0xFFFF;

struct TForeignWindows {
  std::mutex Lock;
  std::map<std::uint32_t, std::uint32_t> SlotOf;  // server id -> slot
  std::map<std::uint32_t, std::uint32_t> IdOf;    // slot -> server id
  std::uint32_t Next = 1;
};

TForeignWindows& Foreign()
{
  static TForeignWindows table;
  return table;
}

struct TLastClick {
  HWND Window = nullptr;
  TPointerButton Button = TPointerButton::Left;
  DWORD Time = 0;
  POINT Screen{0, 0};
  bool Double = false;  // it was the second of a double click: the next press starts afresh
};

struct TInputState {
  std::mutex Lock;
  POINT Cursor{0, 0};
  std::array<bool, 256> Down{};
  std::array<bool, 256> Toggled{};
  HWND Capture = nullptr;
  HWND Focus = nullptr;
  HWND Active = nullptr;
  // The program is the active one; stays set when its active window is destroyed, so activating
  // another of its windows does not look like the program coming back.
  bool AppActive = false;
  HWND TrackedLeave = nullptr;
  TLastClick LastClick;
};

TInputState& State()
{
  static TInputState state;
  return state;
}

std::string ClassKey(const std::string& name)
{
  std::string key = name;
  for (char& c : key) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return key;
}

UINT ClassStyle(TWindowManager::TWindowTable& table, const TWindow& window)
{
  const auto found = table.Classes().find(ClassKey(window.ClassName));
  return found == table.Classes().end() ? 0 : found->second.Registration.style;
}

// Where a screen point is in a top-level window's logical (unscaled) coordinates.
POINT LogicalPoint(const TWindow& top, POINT screen)
{
  const RECT shown = top.Presentation ? *top.Presentation : top.Bounds;
  const LONG width = shown.right - shown.left;
  const LONG height = shown.bottom - shown.top;
  POINT point{screen.x - shown.left, screen.y - shown.top};
  if (top.Presentation && width > 0 && height > 0) {
    point.x = static_cast<LONG>(static_cast<long long>(point.x) * top.Width() / width);
    point.y = static_cast<LONG>(static_cast<long long>(point.y) * top.Height() / height);
  }
  return point;
}

// The deepest shown child of parent at point (parent's client coordinates), or parent itself.
std::shared_ptr<TWindow> DeepestAt(const TWindowManager::TWindowTable& table, std::shared_ptr<TWindow> parent,
                                   POINT point)
{
  auto children = table.Children(parent->Handle);
  // Later children lie above earlier ones.
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    const auto& child = *it;
    if ((child->Style & WS_VISIBLE) == 0 || child->Destroying) {
      continue;
    }
    const RECT& bounds = child->Bounds;
    if (point.x < bounds.left || point.x >= bounds.right || point.y < bounds.top ||
        point.y >= bounds.bottom) {
      continue;
    }
    const POINT inside{point.x - bounds.left, point.y - bounds.top};
    if (child->Shape && !child->Shape->Contains(inside.x, inside.y)) {
      continue;
    }
    return DeepestAt(table, child, inside);
  }
  return parent;
}

std::shared_ptr<TWindow> WindowAt(TWindowManager::TWindowTable& table, POINT screen)
{
  for (const HWND handle : table.Stack()) {
    const auto top = table.Find(handle);
    if (!top || !top->Shown || (top->Style & WS_VISIBLE) == 0 || top->Destroying) {
      continue;
    }
    const RECT shown = top->Presentation ? *top->Presentation : top->Bounds;
    if (screen.x < shown.left || screen.x >= shown.right || screen.y < shown.top ||
        screen.y >= shown.bottom) {
      continue;
    }
    const POINT point = LogicalPoint(*top, screen);
    if (top->Shape && !top->Shape->Contains(point.x, point.y)) {
      continue;
    }
    return DeepestAt(table, top, point);
  }
  return nullptr;
}

// A screen point in the window's client coordinates (scaled back for a presented window).
POINT ClientPoint(const TWindowManager::TWindowTable& table, const TWindow& window, POINT screen)
{
  const auto top = TopLevelOf(table, table.Find(window.Handle));
  if (!top) {
    return screen;
  }
  POINT point = LogicalPoint(*top, screen);
  const POINT origin = SurfaceOrigin(table, window);
  return POINT{point.x - origin.x, point.y - origin.y};
}

bool TopLevelDisabled(const TWindowManager::TWindowTable& table, const std::shared_ptr<TWindow>& window)
{
  const auto top = TopLevelOf(table, window);
  return top && (top->Style & WS_DISABLED) != 0;
}

WPARAM MouseKeys(const TInputState& state)
{
  WPARAM keys = 0;
  keys |= state.Down[VK_LBUTTON] ? MK_LBUTTON : 0;
  keys |= state.Down[VK_RBUTTON] ? MK_RBUTTON : 0;
  keys |= state.Down[VK_MBUTTON] ? MK_MBUTTON : 0;
  keys |= state.Down[VK_SHIFT] ? MK_SHIFT : 0;
  keys |= state.Down[VK_CONTROL] ? MK_CONTROL : 0;
  return keys;
}

int ButtonKey(TPointerButton button)
{
  switch (button) {
    case TPointerButton::Right:
      return VK_RBUTTON;
    case TPointerButton::Middle:
      return VK_MBUTTON;
    default:
      return VK_LBUTTON;
  }
}

UINT ButtonMessage(TPointerButton button, bool down, bool doubleClick)
{
  const UINT base = button == TPointerButton::Left    ? WM_LBUTTONDOWN
                    : button == TPointerButton::Right ? WM_RBUTTONDOWN
                                                      : WM_MBUTTONDOWN;
  return !down ? base + 1 : doubleClick ? base + 2 : base;
}

// Puts an input message into the queue; a move replaces a move for the same window that still
// waits at the end.
void QueueInput(const std::shared_ptr<TMessageQueue>& queue, const MSG& message, std::u32string text = {})
{
  if (!queue) {
    return;
  }
  {
    const std::lock_guard guard(queue->Lock);
    if (queue->Ended) {
      return;
    }
    if (message.message == WM_MOUSEMOVE && !queue->Input.empty() &&
        queue->Input.back().Message.message == WM_MOUSEMOVE &&
        queue->Input.back().Message.hwnd == message.hwnd) {
      queue->Input.back().Message = message;
      return;
    }
    if (queue->Input.size() >= MaxQueuedInput) {
      return;
    }
    queue->Input.push_back(TInputMessage{message, std::move(text)});
  }
  queue->Notify();
}

std::shared_ptr<TMessageQueue> QueueOf(const std::shared_ptr<TWindow>& window)
{
  return window ? window->Queue.lock() : nullptr;
}

LPARAM PointParam(POINT point)
{
  return MAKELPARAM(point.x, point.y);
}

void DeliverPointer(const TInputEvent& event, DWORD time)
{
  auto& manager = TWindowManager::Instance();
  TInputState& state = State();
  if (event.Kind != TInputKind::Move) {
    bool moved = false;
    {
      const std::lock_guard guard(state.Lock);
      moved = state.Cursor.x != event.Screen.x || state.Cursor.y != event.Screen.y;
    }
    if (moved) {
      // A press elsewhere than the last move: the pointer got there first.
      TInputEvent move = event;
      move.Kind = TInputKind::Move;
      DeliverPointer(move, time);
    }
  }
  std::shared_ptr<TWindow> target;
  std::shared_ptr<TWindow> left;
  MSG message{nullptr, 0, 0, 0, time, event.Screen};
  {
    auto table = manager.Table();
    const auto hit = event.PointerKnown ? WindowAt(table, event.Screen) : nullptr;
    const std::lock_guard guard(state.Lock);
    state.Cursor = event.Screen;
    if (event.Kind == TInputKind::Button) {
      state.Down[static_cast<std::size_t>(ButtonKey(event.Button))] = event.Down;
    }
    const auto captured = state.Capture != nullptr ? table.Find(state.Capture) : nullptr;
    target = captured ? captured : hit;
    if (state.TrackedLeave != nullptr && (!hit || hit->Handle != state.TrackedLeave)) {
      left = table.Find(state.TrackedLeave);
      state.TrackedLeave = nullptr;
    }
    if (target && event.Kind == TInputKind::Button && !captured && TopLevelDisabled(table, target)) {
      target = nullptr;
    }
    if (target) {
      message.hwnd = target->Handle;
      const POINT client = ClientPoint(table, *target, event.Screen);
      switch (event.Kind) {
        case TInputKind::Move:
          message.message = WM_MOUSEMOVE;
          message.wParam = MouseKeys(state);
          message.lParam = PointParam(client);
          break;
        case TInputKind::Wheel:
          message.message = WM_MOUSEWHEEL;
          message.wParam =
              (static_cast<WPARAM>(static_cast<WORD>(static_cast<short>(event.WheelDelta))) << 16) |
              MouseKeys(state);
          message.lParam = PointParam(event.Screen);
          break;
        default: {
          bool doubleClick = false;
          if (event.Down) {
            TLastClick& last = state.LastClick;
            doubleClick = (ClassStyle(table, *target) & CS_DBLCLKS) != 0 && !last.Double &&
                          last.Window == target->Handle && last.Button == event.Button &&
                          time - last.Time <= DoubleClickTime &&
                          std::abs(event.Screen.x - last.Screen.x) <= GetSystemMetrics(SM_CXDOUBLECLK) &&
                          std::abs(event.Screen.y - last.Screen.y) <= GetSystemMetrics(SM_CYDOUBLECLK);
            last = TLastClick{target->Handle, event.Button, time, event.Screen, doubleClick};
          }
          message.message = ButtonMessage(event.Button, event.Down, doubleClick);
          message.wParam = MouseKeys(state);
          message.lParam = PointParam(client);
          break;
        }
      }
    }
  }
  if (left) {
    QueueInput(QueueOf(left), MSG{left->Handle, WM_MOUSELEAVE, 0, 0, time, event.Screen});
  }
  if (target) {
    QueueInput(QueueOf(target), message);
  } else if (event.Kind == TInputKind::Button && event.Down) {
    PlatformTrace("input: a click at " + std::to_string(event.Screen.x) + "," +
                  std::to_string(event.Screen.y) + " reaches no window of the program");
  }
}

void DeliverKey(const TInputEvent& event, DWORD time)
{
  const int key = VirtualKeyOfKeysym(event.Keysym);
  if (key == 0 && event.Text.empty()) {
    return;
  }
  auto& manager = TWindowManager::Instance();
  TInputState& state = State();
  std::shared_ptr<TWindow> target;
  bool activate = false;
  MSG message{nullptr, 0, 0, 0, time, POINT{0, 0}};
  {
    auto table = manager.Table();
    const std::lock_guard guard(state.Lock);
    message.pt = state.Cursor;
    bool wasDown = false;
    if (key != 0) {
      const auto index = static_cast<std::size_t>(key);
      wasDown = state.Down[index];
      if (event.Down && !wasDown) {
        state.Toggled[index] = !state.Toggled[index];
      }
      state.Down[index] = event.Down;
    }
    for (const HWND candidate : {state.Focus, state.Active, event.KeyWindow}) {
      if (candidate != nullptr) {
        target = table.Find(candidate);
        if (target) {
          activate = candidate == event.KeyWindow && state.Active == nullptr;
          break;
        }
      }
    }
    if (!target || target->Destroying || TopLevelDisabled(table, target)) {
      return;
    }
    message.hwnd = target->Handle;
    if (key == 0) {
      // A character with no key of its own (an input method's result): it is still typed.
      message.message = WM_CHAR;
    } else {
      const bool alt = state.Down[VK_MENU] && !state.Down[VK_CONTROL];
      message.message = event.Down ? (alt ? WM_SYSKEYDOWN : WM_KEYDOWN) : (alt ? WM_SYSKEYUP : WM_KEYUP);
      message.wParam = static_cast<WPARAM>(key);
      DWORD flags = 1;
      flags |= alt ? (1U << 29) : 0;
      flags |= wasDown ? (1U << 30) : 0;
      flags |= event.Down ? 0 : (1U << 31);
      message.lParam = static_cast<LPARAM>(static_cast<std::int32_t>(flags));
    }
  }
  const auto queue = QueueOf(target);
  if (activate) {
    QueueInput(queue, MSG{target->Handle, ActivateRequest, WA_ACTIVE, 0, time, message.pt});
  }
  if (message.message == WM_CHAR) {
    for (const char32_t c : event.Text) {
      message.wParam = static_cast<WPARAM>(c);
      QueueInput(queue, message);
    }
    return;
  }
  QueueInput(queue, message, event.Down ? event.Text : std::u32string{});
}

std::filesystem::path ForegroundRecord()
{
  return MachineFolder() / "foreground";
}

HWND ReadForegroundRecord()
{
  std::ifstream in(ForegroundRecord());
  unsigned value = 0;
  if (!(in >> std::hex >> value)) {
    return nullptr;
  }
  return WindowOf(value);
}

// A record that cannot be written leaves the old one, naming another window: the other processes
// then keep taking themselves for the active one, so the failure goes to the trace.
void WriteForegroundRecord(HWND window)
{
  std::error_code ignored;
  std::filesystem::create_directories(ForegroundRecord().parent_path(), ignored);
  char text[16];
  std::snprintf(text, sizeof(text), "%08X\n", static_cast<unsigned>(HandleValue(window)));
  if (const int error = ReplaceHostFile(ForegroundRecord(), text); error != 0) {
    PlatformTrace(std::string("Input: the foreground record could not be written: ") + std::strerror(error));
  }
}

std::vector<HWND> OwnTopLevels()
{
  auto table = TWindowManager::Instance().Table();
  return table.Stack();
}

std::shared_ptr<TWindow> TopLevelWindow(HWND window)
{
  auto table = TWindowManager::Instance().Table();
  return TopLevelOf(table, table.Find(window));
}

// Makes top the process's active window; how: WA_ACTIVE or WA_CLICKACTIVE. raise: ask the
// back end to raise and focus it (not when the back end itself reported it active).
void Activate(HWND top, WPARAM how, bool raise)
{
  TInputState& state = State();
  HWND previous = nullptr;
  bool wasActive = false;
  {
    const std::lock_guard guard(state.Lock);
    if (state.Active == top) {
      return;
    }
    previous = state.Active;
    wasActive = state.AppActive;
    state.Active = top;
    state.AppActive = true;
  }
  if (!wasActive) {
    // The program becomes the active one: the process that was takes it as lost.
    const HWND before = ReadForegroundRecord();
    WriteForegroundRecord(top);
    if (before != nullptr && ProcessNumberOf(before) != TWindowManager::Instance().StartedNumber()) {
      PostMessageA(before, DeactivateAppRequest, GetCurrentThreadId(), 0);
    }
    for (const HWND window : OwnTopLevels()) {
      SendMessageA(window, WM_ACTIVATEAPP, TRUE, 0);
    }
  } else {
    WriteForegroundRecord(top);
    if (previous != nullptr) {
      SendMessageA(previous, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(top));
    }
  }
  SendMessageA(top, WM_ACTIVATE, how, reinterpret_cast<LPARAM>(previous));
  if (raise) {
    if (TDisplay* display = OpenedDisplay()) {
      display->Activate(top);
    }
  }
}

// The program lost the activation to another one (threadId: its thread, 0 when unknown).
void DeactivateApp(DWORD threadId)
{
  TInputState& state = State();
  HWND previous = nullptr;
  HWND focus = nullptr;
  {
    const std::lock_guard guard(state.Lock);
    if (!state.AppActive) {
      return;
    }
    state.AppActive = false;
    previous = std::exchange(state.Active, nullptr);
    focus = std::exchange(state.Focus, nullptr);
  }
  if (focus != nullptr) {
    SendMessageA(focus, WM_KILLFOCUS, 0, 0);
  }
  if (previous != nullptr) {
    SendMessageA(previous, WM_ACTIVATE, WA_INACTIVE, 0);
  }
  for (const HWND window : OwnTopLevels()) {
    SendMessageA(window, WM_ACTIVATEAPP, FALSE, static_cast<LPARAM>(threadId));
  }
}

}  // namespace

bool IsForeignWindowHandle(HWND window) noexcept
{
  return ProcessNumberOf(window) == ForeignNumber;
}

HWND ForeignWindowHandle(std::uint32_t serverId)
{
  TForeignWindows& table = Foreign();
  const std::lock_guard guard(table.Lock);
  if (const auto found = table.SlotOf.find(serverId); found != table.SlotOf.end()) {
    return WindowOf((ForeignNumber << 16) | found->second);
  }
  // The slots go round; a slot is reused only after every other one was.
  const std::uint32_t slot = table.Next;
  table.Next = table.Next == MaxForeignSlots ? 1 : table.Next + 1;
  if (const auto old = table.IdOf.find(slot); old != table.IdOf.end()) {
    table.SlotOf.erase(old->second);
  }
  table.IdOf[slot] = serverId;
  table.SlotOf[serverId] = slot;
  return WindowOf((ForeignNumber << 16) | slot);
}

std::uint32_t ForeignWindowId(HWND window)
{
  if (!IsForeignWindowHandle(window)) {
    return 0;
  }
  TForeignWindows& table = Foreign();
  const std::lock_guard guard(table.Lock);
  const auto found = table.IdOf.find(HandleValue(window) & 0xFFFF);
  return found == table.IdOf.end() ? 0 : found->second;
}

int VirtualKeyOfKeysym(unsigned long keysym) noexcept
{
  if (keysym >= XK_a && keysym <= XK_z) {
    return static_cast<int>('A' + (keysym - XK_a));
  }
  if ((keysym >= XK_A && keysym <= XK_Z) || (keysym >= XK_0 && keysym <= XK_9)) {
    return static_cast<int>(keysym);
  }
  if (keysym >= XK_F1 && keysym <= XK_F24) {
    return static_cast<int>(VK_F1 + (keysym - XK_F1));
  }
  if (keysym >= XK_KP_0 && keysym <= XK_KP_9) {
    return static_cast<int>(0x60 + (keysym - XK_KP_0));
  }
  switch (keysym) {
    case XK_BackSpace:
      return VK_BACK;
    case XK_Tab:
    case XK_ISO_Left_Tab:
      return VK_TAB;
    case XK_Return:
    case XK_KP_Enter:
      return VK_RETURN;
    case XK_Pause:
      return VK_PAUSE;
    case XK_Escape:
      return VK_ESCAPE;
    case XK_space:
    case XK_KP_Space:
      return VK_SPACE;
    case XK_Prior:
    case XK_KP_Prior:
      return VK_PRIOR;
    case XK_Next:
    case XK_KP_Next:
      return VK_NEXT;
    case XK_End:
    case XK_KP_End:
      return VK_END;
    case XK_Home:
    case XK_KP_Home:
      return VK_HOME;
    case XK_Left:
    case XK_KP_Left:
      return VK_LEFT;
    case XK_Up:
    case XK_KP_Up:
      return VK_UP;
    case XK_Right:
    case XK_KP_Right:
      return VK_RIGHT;
    case XK_Down:
    case XK_KP_Down:
      return VK_DOWN;
    case XK_Insert:
    case XK_KP_Insert:
      return VK_INSERT;
    case XK_Delete:
    case XK_KP_Delete:
      return VK_DELETE;
    case XK_KP_Multiply:
      return VK_MULTIPLY;
    case XK_KP_Add:
      return VK_ADD;
    case XK_KP_Subtract:
      return VK_SUBTRACT;
    case XK_KP_Divide:
      return VK_DIVIDE;
    case XK_Shift_L:
    case XK_Shift_R:
      return VK_SHIFT;
    case XK_Control_L:
    case XK_Control_R:
      return VK_CONTROL;
    case XK_Alt_L:
    case XK_Alt_R:
    case XK_Meta_L:
    case XK_Meta_R:
      return VK_MENU;
    case XK_Caps_Lock:
      return VK_CAPITAL;
    case XK_Num_Lock:
      return VK_NUMLOCK;
    case XK_semicolon:
      return 0xBA;
    case XK_equal:
      return 0xBB;
    case XK_comma:
      return 0xBC;
    case XK_minus:
      return 0xBD;
    case XK_period:
      return 0xBE;
    case XK_slash:
      return 0xBF;
    case XK_grave:
      return 0xC0;
    case XK_bracketleft:
      return 0xDB;
    case XK_backslash:
      return 0xDC;
    case XK_bracketright:
      return 0xDD;
    case XK_apostrophe:
      return 0xDE;
    case XK_Menu:
      return VK_APPS;
    case XF86XK_AudioNext:
      return VK_MEDIA_NEXT_TRACK;
    case XF86XK_AudioPrev:
      return VK_MEDIA_PREV_TRACK;
    case XF86XK_AudioStop:
      return VK_MEDIA_STOP;
    case XF86XK_AudioPlay:
      return VK_MEDIA_PLAY_PAUSE;
    case XF86XK_AudioMedia:
      return VK_LAUNCH_MEDIA_SELECT;
    case XF86XK_AudioPause:
      return VK_OXA_MEDIA_PAUSE;
    case XF86XK_AudioForward:
      return VK_OXA_MEDIA_FORWARD;
    case XF86XK_AudioRewind:
      return VK_OXA_MEDIA_REWIND;
    case XF86XK_AudioRandomPlay:
      return VK_OXA_MEDIA_SHUFFLE;
    default:
      return 0;
  }
}

void DeliverInput(const TInputEvent& event)
{
  const DWORD time = event.Time != 0 ? event.Time : GetTickCount();
  if (event.HotKey) {
    DeliverHotKey(VirtualKeyOfKeysym(event.Keysym), event.Modifiers);
    return;
  }
  if (event.Kind == TInputKind::Key) {
    DeliverKey(event, time);
  } else {
    DeliverPointer(event, time);
  }
}

void ForgetInputWindow(HWND window)
{
  TInputState& state = State();
  bool released = false;
  bool othersLeft = false;
  {
    auto table = TWindowManager::Instance().Table();
    for (const HWND other : table.Stack()) {
      othersLeft = othersLeft || other != window;
    }
  }
  {
    const std::lock_guard guard(state.Lock);
    if (state.Active == window && !othersLeft) {
      // The program's last window: nothing of it is active any more.
      state.AppActive = false;
    }
    if (state.Capture == window) {
      state.Capture = nullptr;
      released = true;
    }
    for (HWND* slot : {&state.Focus, &state.Active, &state.TrackedLeave}) {
      if (*slot == window) {
        *slot = nullptr;
      }
    }
    if (state.LastClick.Window == window) {
      state.LastClick = TLastClick{};
    }
  }
  if (released) {
    if (TDisplay* display = OpenedDisplay()) {
      display->GrabPointer(nullptr);
    }
  }
  if (const auto queue = TWindowManager::Instance().CurrentQueue()) {
    const std::lock_guard guard(queue->Lock);
    std::erase_if(queue->Input,
                  [window](const TInputMessage& input) { return input.Message.hwnd == window; });
  }
}

void TakeInputState(TMessageQueue& queue, const TInputMessage& input)
{
  const MSG& message = input.Message;
  const auto press = [&queue](int key, bool down) {
    BYTE& state = queue.KeyState[static_cast<std::size_t>(key)];
    if (down && (state & 0x80) == 0) {
      state ^= 0x01;
    }
    state = static_cast<BYTE>(down ? (state | 0x80) : (state & ~0x80));
  };
  switch (message.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      press(static_cast<int>(message.wParam & 0xFF), true);
      queue.LastKey = message;
      queue.LastKeyText = input.Text;
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      press(static_cast<int>(message.wParam & 0xFF), false);
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
      press(VK_LBUTTON, message.message != WM_LBUTTONUP);
      break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_RBUTTONUP:
      press(VK_RBUTTON, message.message != WM_RBUTTONUP);
      break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_MBUTTONUP:
      press(VK_MBUTTON, message.message != WM_MBUTTONUP);
      break;
    default:
      break;
  }
}

void AfterInputTaken(const MSG& message)
{
  if (message.message < WM_MOUSEFIRST || message.message > WM_MBUTTONDBLCLK || message.hwnd == nullptr) {
    return;
  }
  const bool press = message.message == WM_LBUTTONDOWN || message.message == WM_RBUTTONDOWN ||
                     message.message == WM_MBUTTONDOWN || message.message == WM_LBUTTONDBLCLK ||
                     message.message == WM_RBUTTONDBLCLK || message.message == WM_MBUTTONDBLCLK;
  if (press) {
    const auto top = TopLevelWindow(message.hwnd);
    if (top && GetActiveWindow() != top->Handle) {
      Activate(top->Handle, WA_CLICKACTIVE, true);
    }
  }
  if (GetCapture() == nullptr && IsWindow(message.hwnd) != FALSE) {
    SendMessageA(message.hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(message.hwnd),
                 MAKELPARAM(static_cast<int>(HTCLIENT), static_cast<int>(message.message)));
  }
}

bool IsInputControl(const MSG& message) noexcept
{
  return message.message == ActivateRequest || message.message == DeactivateAppRequest;
}

// Whether the server still calls one of this process's windows active (for focus news that may
// have gone stale while it waited in the queue); true when the back end cannot tell.
bool ServerSaysOursIsActive()
{
  TDisplay* display = OpenedDisplay();
  HWND program = nullptr;
  std::uint32_t foreign = 0;
  if (display == nullptr || !display->ServerActiveWindow(program, foreign)) {
    return true;
  }
  return program != nullptr && ProcessNumberOf(program) == TWindowManager::Instance().StartedNumber();
}

void HandleInputControl(const MSG& message)
{
  const bool fromDisplay = message.lParam == FromDisplay;
  if (message.message == ActivateRequest) {
    if (fromDisplay && !ServerSaysOursIsActive()) {
      return;
    }
    if (const auto top = TopLevelWindow(message.hwnd)) {
      Activate(top->Handle, message.wParam, false);
    }
  } else if (message.message == DeactivateAppRequest) {
    if (fromDisplay && ServerSaysOursIsActive()) {
      return;
    }
    DeactivateApp(static_cast<DWORD>(message.wParam));
  }
}

void DisplayFocusChanged(HWND window, bool active)
{
  if (active && window != nullptr) {
    PostMessageA(window, ActivateRequest, WA_ACTIVE, FromDisplay);
    return;
  }
  // Any window of the thread that handles activation will do as the request's address.
  HWND current = GetActiveWindow();
  if (current == nullptr) {
    const auto windows = OwnTopLevels();
    current = windows.empty() ? nullptr : windows.front();
  }
  if (current != nullptr) {
    PostMessageA(current, DeactivateAppRequest, 0, FromDisplay);
  }
}

UINT GetDoubleClickTime() noexcept
{
  return DoubleClickTime;
}

HWND SetCapture(HWND window)
{
  auto& manager = TWindowManager::Instance();
  HWND top = nullptr;
  {
    auto table = manager.Table();
    const auto found = table.Find(window);
    if (!found) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    const auto topLevel = TopLevelOf(table, found);
    top = topLevel ? topLevel->Handle : nullptr;
  }
  TInputState& state = State();
  HWND previous = nullptr;
  {
    const std::lock_guard guard(state.Lock);
    previous = std::exchange(state.Capture, window);
  }
  if (TDisplay* display = OpenedDisplay()) {
    display->GrabPointer(top);
  }
  if (previous != nullptr && previous != window) {
    SendMessageA(previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(window));
  }
  return previous;
}

BOOL ReleaseCapture()
{
  TInputState& state = State();
  HWND previous = nullptr;
  {
    const std::lock_guard guard(state.Lock);
    previous = std::exchange(state.Capture, nullptr);
  }
  if (previous != nullptr) {
    if (TDisplay* display = OpenedDisplay()) {
      display->GrabPointer(nullptr);
    }
    SendMessageA(previous, WM_CAPTURECHANGED, 0, 0);
  }
  return TRUE;
}

HWND GetCapture()
{
  TInputState& state = State();
  const std::lock_guard guard(state.Lock);
  return state.Capture;
}

BOOL TrackMouseEvent(TRACKMOUSEEVENT* track)
{
  if (track == nullptr || track->cbSize < sizeof(TRACKMOUSEEVENT)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto& manager = TWindowManager::Instance();
  TInputState& state = State();
  std::shared_ptr<TWindow> leaveNow;
  {
    auto table = manager.Table();
    const auto window = table.Find(track->hwndTrack);
    if (!window) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    if ((track->dwFlags & TME_LEAVE) == 0) {
      return TRUE;
    }
    const std::lock_guard guard(state.Lock);
    if ((track->dwFlags & TME_CANCEL) != 0) {
      if (state.TrackedLeave == track->hwndTrack) {
        state.TrackedLeave = nullptr;
      }
      return TRUE;
    }
    const auto hit = WindowAt(table, state.Cursor);
    if (hit && hit->Handle == track->hwndTrack) {
      state.TrackedLeave = track->hwndTrack;
    } else {
      leaveNow = window;
    }
  }
  if (leaveNow) {
    QueueInput(QueueOf(leaveNow), MSG{leaveNow->Handle, WM_MOUSELEAVE, 0, 0, GetTickCount(), POINT{0, 0}});
  }
  return TRUE;
}

HWND WindowFromPoint(POINT point)
{
  auto table = TWindowManager::Instance().Table();
  const auto found = WindowAt(table, point);
  return found ? found->Handle : nullptr;
}

BOOL GetCursorPos(POINT* point)
{
  if (point == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // The server sends motion only over the program's own windows; with all of them hidden (the
  // triangle parked off screen) only the server knows where the pointer is.
  if (TDisplay* display = OpenedDisplay(); display != nullptr && display->PointerPosition(*point)) {
    return TRUE;
  }
  TInputState& state = State();
  const std::lock_guard guard(state.Lock);
  *point = state.Cursor;
  return TRUE;
}

BOOL SetCursorPos(int x, int y)
{
  const POINT point{x, y};
  if (TDisplay* display = OpenedDisplay(); display != nullptr && std::string(display->Name()) == "x11") {
    // The server reports the move like any other.
    display->WarpPointer(point);
    TInputState& state = State();
    const std::lock_guard guard(state.Lock);
    state.Cursor = point;
    return TRUE;
  }
  TInputEvent event;
  event.Kind = TInputKind::Move;
  event.Screen = point;
  DeliverInput(event);
  return TRUE;
}

void mouse_event(DWORD flags, DWORD dx, DWORD dy, DWORD data, ULONG_PTR)
{
  POINT point{0, 0};
  GetCursorPos(&point);
  // On the X server the pointer may be over another program's window, which must never get it.
  bool overOwn = true;
  TDisplay* display = OpenedDisplay();
  const bool serverPointer = display != nullptr && display->QueryPointer(point, overOwn);
  if (!serverPointer) {
    overOwn = true;
  }
  if ((flags & MOUSEEVENTF_MOVE) != 0) {
    if ((flags & MOUSEEVENTF_ABSOLUTE) != 0) {
      const SIZE screen = ActiveDisplay().ScreenSize();
      point.x = static_cast<LONG>((static_cast<long long>(std::min<DWORD>(dx, 65535)) * screen.cx) / 65536);
      point.y = static_cast<LONG>((static_cast<long long>(std::min<DWORD>(dy, 65535)) * screen.cy) / 65536);
    } else {
      point.x += static_cast<std::int32_t>(dx);
      point.y += static_cast<std::int32_t>(dy);
    }
    if (serverPointer) {
      // The pointer itself moves there, so what is under it is known.
      display->WarpPointer(point);
      display->QueryPointer(point, overOwn);
    }
    TInputEvent move;
    move.Kind = TInputKind::Move;
    move.Screen = point;
    move.PointerKnown = overOwn;
    DeliverInput(move);
  }
  const struct {
    DWORD Flag;
    TPointerButton Button;
    bool Down;
  } buttons[] = {{MOUSEEVENTF_LEFTDOWN, TPointerButton::Left, true},
                 {MOUSEEVENTF_LEFTUP, TPointerButton::Left, false},
                 {MOUSEEVENTF_RIGHTDOWN, TPointerButton::Right, true},
                 {MOUSEEVENTF_RIGHTUP, TPointerButton::Right, false},
                 {MOUSEEVENTF_MIDDLEDOWN, TPointerButton::Middle, true},
                 {MOUSEEVENTF_MIDDLEUP, TPointerButton::Middle, false}};
  for (const auto& button : buttons) {
    if ((flags & button.Flag) != 0) {
      TInputEvent event;
      event.Kind = TInputKind::Button;
      event.Screen = point;
      event.Button = button.Button;
      event.Down = button.Down;
      event.PointerKnown = overOwn;
      DeliverInput(event);
    }
  }
  if ((flags & MOUSEEVENTF_WHEEL) != 0) {
    TInputEvent wheel;
    wheel.Kind = TInputKind::Wheel;
    wheel.Screen = point;
    wheel.WheelDelta = static_cast<std::int32_t>(data);
    wheel.PointerKnown = overOwn;
    DeliverInput(wheel);
  }
}

SHORT GetKeyState(int virtualKey)
{
  if (virtualKey < 0 || virtualKey > 255) {
    return 0;
  }
  const auto queue = TWindowManager::Instance().CurrentQueue();
  const std::lock_guard guard(queue->Lock);
  const BYTE state = queue->KeyState[static_cast<std::size_t>(virtualKey)];
  return static_cast<SHORT>(((state & 0x80) != 0 ? 0xFF80 : 0) | (state & 0x01));
}

SHORT GetAsyncKeyState(int virtualKey)
{
  if (virtualKey < 0 || virtualKey > 255) {
    return 0;
  }
  TInputState& state = State();
  const std::lock_guard guard(state.Lock);
  return static_cast<SHORT>(state.Down[static_cast<std::size_t>(virtualKey)] ? 0x8000 : 0);
}

HWND SetFocus(HWND window)
{
  TInputState& state = State();
  if (window != nullptr) {
    const auto top = TopLevelWindow(window);
    if (!top) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    if (GetActiveWindow() != top->Handle) {
      Activate(top->Handle, WA_ACTIVE, true);
    }
  }
  HWND previous = nullptr;
  {
    const std::lock_guard guard(state.Lock);
    previous = state.Focus;
    if (previous == window) {
      return previous;
    }
    state.Focus = window;
  }
  if (previous != nullptr && IsWindow(previous) != FALSE) {
    SendMessageA(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
  }
  if (window != nullptr) {
    SendMessageA(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
  }
  return previous;
}

HWND GetFocus()
{
  TInputState& state = State();
  const std::lock_guard guard(state.Lock);
  return state.Focus;
}

HWND SetActiveWindow(HWND window)
{
  const auto top = TopLevelWindow(window);
  if (!top) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  const HWND previous = GetActiveWindow();
  Activate(top->Handle, WA_ACTIVE, true);
  return previous;
}

HWND GetActiveWindow()
{
  TInputState& state = State();
  const std::lock_guard guard(state.Lock);
  return state.Active;
}

HWND GetForegroundWindow()
{
  if (const HWND active = GetActiveWindow()) {
    return active;
  }
  if (TDisplay* display = OpenedDisplay()) {
    HWND program = nullptr;
    std::uint32_t foreign = 0;
    if (display->ServerActiveWindow(program, foreign)) {
      return program != nullptr ? program : foreign != 0 ? ForeignWindowHandle(foreign) : nullptr;
    }
  }
  const HWND recorded = ReadForegroundRecord();
  if (recorded != nullptr && ProcessNumberOf(recorded) != TWindowManager::Instance().StartedNumber() &&
      IsWindow(recorded) != FALSE) {
    return recorded;
  }
  return nullptr;
}

BOOL SetForegroundWindow(HWND window)
{
  const std::uint32_t number = ProcessNumberOf(window);
  if (number == 0) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (number == ForeignNumber) {
    const std::uint32_t id = ForeignWindowId(window);
    TDisplay* display = OpenedDisplay();
    if (id == 0 || display == nullptr || !display->ActivateForeign(id)) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    DeactivateApp(0);
    return TRUE;
  }
  if (number == TWindowManager::Instance().StartedNumber()) {
    return SetActiveWindow(window) != nullptr || GetActiveWindow() != nullptr ? TRUE : FALSE;
  }
  // The other process activates its window itself and tells this one it lost the activation.
  return PostMessageA(window, ActivateRequest, WA_ACTIVE, 0);
}
