#pragma once
// The process's windows, window classes and message queues, and the routing of message records
// between threads and processes. Internal to the platform layer; Windows.cpp, WindowGeometry.cpp,
// WindowPainting.cpp and Messages.cpp build the Win32 calls on it.
//
// Locks, in the order they may be taken (never the other way round):
//   1. the window table (TWindowManager::Table(): windows, classes, the stacking order);
//   2. one thread's queue (TMessageQueue::Lock), or the table of queues;
//   3. the drawing objects and the pixels of every surface (GdiLock, display/GdiObjects.h);
//   4. the display back end's own lock (display/Display.h).
// The input state's lock (display/Input.cpp: capture, focus, the pointer) is taken after the
// window table and released before any queue lock or back-end call.
// No window procedure, message send or back-end call runs while the window table is held.

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/objects/Threads.h"
#include "platform/windows/MessageTransport.h"
#include "platform/windows/Messages.h"
#include "platform/windows/Region.h"
#include "platform/windows/Surface.h"
#include "platform/windows/Windows.h"

// An input message waiting in a queue, with the characters a key press typed.
struct TInputMessage {
  MSG Message;
  std::u32string Text;
};

struct TWindowTimer {
  HWND Window;
  UINT_PTR Id;
  UINT Elapse;
  TIMERPROC Procedure;
  std::uint64_t Due;  // SteadyMilliseconds
};

// One thread's message queue. Shared with the transport's reader thread and with other threads
// that post or send to the owner's windows.
class TMessageQueue {
 public:
  TMessageQueue(DWORD threadId, std::uint32_t id) : ThreadId(threadId), Id(id) {}
  TMessageQueue(const TMessageQueue&) = delete;
  TMessageQueue& operator=(const TMessageQueue&) = delete;

  // Wakes the owner thread wherever it waits.
  void Notify();

  const DWORD ThreadId;
  const std::uint32_t Id;

  std::mutex Lock;  // guards everything below but the atomics
  std::condition_variable Wake;
  std::deque<TMessageRecord> Sent;                  // sends waiting to be handled, oldest first
  std::deque<MSG> Posted;                           // posted messages, oldest first
  std::set<std::uint64_t> Awaited;                  // calls this thread waits for
  std::map<std::uint64_t, TMessageRecord> Replies;  // answers that came for them
  std::vector<TWindowTimer> Timers;
  std::vector<HWND> NeedsPaint;     // windows with a non-empty update region, oldest first
  std::deque<TInputMessage> Input;  // keys and the mouse, oldest first (display/Input.h)
  // The keys' state as of the last input message taken (GetKeyState): 0x80 down, 0x01 toggled.
  std::array<BYTE, 256> KeyState{};
  // The characters the last key press taken typed, for TranslateMessage.
  MSG LastKey{};
  std::u32string LastKeyText;
  bool QuitPosted = false;
  std::uint64_t ObjectChanges = 0;  // kernel objects announced as changed while the owner waits
  int QuitCode = 0;
  bool Ended = false;  // the thread ended; nothing is handled any more

  // The thread's own socket (see TMessageTransport::OpenQueueSocket) and the event that wakes
  // its poll, once it talks to other processes. Owned by the descriptors, set by the owner
  // thread under Lock; the atomics publish them to other threads (-1 before).
  TFileDescriptor SocketDescriptor;
  TFileDescriptor SignalDescriptor;
  std::atomic<int> Socket{-1};
  std::atomic<int> Signal{-1};
  std::atomic<bool> Polling{false};         // the owner sleeps in poll; set under Lock
  std::atomic<std::uint64_t> LastDrain{0};  // when the owner last took what waits on Socket

  std::atomic<std::uint64_t> LastLook{0};  // when the thread last looked for messages
  std::atomic<bool> Waiting{false};        // the thread is blocked waiting for messages

  bool IsHung() const noexcept;
};

// A window; its fields are guarded by the window table's lock.
struct TWindow {
  HWND Handle = nullptr;
  std::string ClassName;
  WNDPROC Procedure = nullptr;
  HWND Parent = nullptr;  // null for top-level and message-only windows
  LONG_PTR Style = 0;
  LONG_PTR ExStyle = 0;
  LONG_PTR UserData = 0;
  LONG_PTR Id = 0;
  HINSTANCE Instance = nullptr;
  std::weak_ptr<TMessageQueue> Queue;
  DWORD ThreadId = 0;
  bool Destroying = false;
  bool MessageOnly = false;
  HBRUSH Background = nullptr;  // the class brush, for WM_ERASEBKGND
  HCURSOR Cursor = nullptr;     // the class cursor, for WM_SETCURSOR

  RECT Bounds{0, 0, 0, 0};  // in the parent's client coordinates; on the screen for a top-level window
  std::string Text;
  TRegion Update;  // client coordinates
  bool EraseNeeded = false;
  std::optional<TRegion> Shape;  // the window region, window coordinates; none: the whole window
  // A top-level window's client pixels (children draw on their top-level window's surface); its
  // pixels are guarded by the GDI lock. Null while the window has no area.
  std::shared_ptr<TSurface> Surface;
  // Where a scaled top-level window is presented on the screen; none: at Bounds, unscaled.
  std::optional<RECT> Presentation;
  bool Shown = false;  // the back end shows it

  bool TopLevel() const noexcept { return Parent == nullptr && !MessageOnly; }
  LONG Width() const noexcept { return Bounds.right - Bounds.left; }
  LONG Height() const noexcept { return Bounds.bottom - Bounds.top; }
};

struct TWindowClass {
  WNDCLASSA Registration;
  std::string Name;
  ATOM Atom;
};

// Milliseconds on the monotonic clock.
std::uint64_t SteadyMilliseconds() noexcept;

inline std::uint32_t HandleValue(HWND window) noexcept
{
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window));
}
inline HWND WindowOf(std::uint32_t value) noexcept
{
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(value));
}
// The transport number of the process that owns window, 0 for a value that is no window.
std::uint32_t ProcessNumberOf(HWND window) noexcept;

class TWindowManager {
 public:
  class TWindowTable {
   public:
    explicit TWindowTable(TWindowManager& manager) : FLock(manager.FWindowsLock), FManager(manager) {}

    // A window of this process, null for anything else.
    std::shared_ptr<TWindow> Find(HWND window) const;
    std::vector<std::shared_ptr<TWindow>> Children(HWND window) const;
    std::map<std::string, TWindowClass>& Classes() noexcept { return FManager.FClasses; }
    // Top-level windows, top of the stack first; topmost windows are above all others.
    std::vector<HWND>& Stack() noexcept { return FManager.FStack; }
    // Puts a top-level window on top of its band (topmost or not), or right below after.
    void Restack(const TWindow& window, HWND after);

   private:
    std::unique_lock<std::mutex> FLock;
    TWindowManager& FManager;
  };

  static TWindowManager& Instance();

  // The calling thread's queue, created on first use.
  std::shared_ptr<TMessageQueue> CurrentQueue();
  std::shared_ptr<TMessageQueue> QueueOfThread(DWORD threadId);

  // This process's transport number, starting the transport if needed; 0 with the last error
  // set when it cannot start.
  std::uint32_t OwnNumber();
  // The number if the transport runs, else 0 (never starts it).
  std::uint32_t StartedNumber() const noexcept { return FOwnNumber.load(); }

  // Holds the window table (this process's windows, classes and stacking order) while it lives.
  TWindowTable Table();
  // Each of these holds the table for the call.
  std::shared_ptr<TWindow> Find(HWND window);
  HWND AddWindow(const std::shared_ptr<TWindow>& window);  // null when no handle is left
  void RemoveWindow(HWND window);
  std::vector<HWND> ChildrenOf(HWND window);

  // Hands a record to its process: this one directly, another through the transport.
  bool Route(std::uint32_t processNumber, const TMessageRecord& record);
  // Takes a record that arrived for this process.
  void Receive(const TMessageRecord& record);
  // Answers a Send or Query.
  void Reply(const TMessageRecord& request, TReplyStatus status, std::int64_t result,
             std::uint64_t wParam = 0, std::uint32_t flags = 0);

  std::uint64_t NewCallId() noexcept { return FNextCallId.fetch_add(1); }

  // Gives the calling thread's queue its own socket (once the transport runs).
  void EnsureQueueSocket(TMessageQueue& queue);
  // Takes what waits on the queue's socket, without blocking; the queue lock is not held.
  void DrainQueueSocket(TMessageQueue& queue);

  // The queue that handled the last send to a window of another process, so the next send
  // can go straight to its thread's socket; 0 when unknown.
  std::uint32_t DirectQueueOf(HWND window);
  void RememberDirectQueue(HWND window, std::uint32_t queueId);

  // The thread's queue ends: its pending sends fail, its windows go.
  void EndQueue(const std::shared_ptr<TMessageQueue>& queue);

 private:
  TWindowManager() = default;

  std::mutex FQueuesLock;                                 // guards FQueues
  std::map<DWORD, std::weak_ptr<TMessageQueue>> FQueues;  // by thread id
  std::map<std::uint32_t, std::weak_ptr<TMessageQueue>> FQueuesById;
  std::uint32_t FNextQueueId = 1;

  std::mutex FWindowsLock;                                     // the window table's lock
  std::map<std::uint32_t, std::shared_ptr<TWindow>> FWindows;  // by handle value
  std::map<std::string, TWindowClass> FClasses;                // by upper-cased name
  std::vector<HWND> FStack;                                    // top-level windows, top first
  std::uint32_t FNextIndex = 1;

  std::mutex FDirectLock;                                // guards FDirectQueues
  std::map<std::uint32_t, std::uint32_t> FDirectQueues;  // window handle value -> queue id

  std::atomic<std::uint32_t> FOwnNumber{0};
  std::atomic<std::uint64_t> FNextCallId{1};
};

// Window state helpers shared by Windows.cpp, WindowGeometry.cpp and WindowPainting.cpp. Those
// taking a table run with it held.

// The top-level window a window belongs to (itself for a top-level window), null when none.
std::shared_ptr<TWindow> TopLevelOf(const TWindowManager::TWindowTable& table,
                                    std::shared_ptr<TWindow> window);
// Where the window's client area starts on its top-level window's surface, and on the screen.
POINT SurfaceOrigin(const TWindowManager::TWindowTable& table, const TWindow& window);
POINT ScreenOrigin(const TWindowManager::TWindowTable& table, const TWindow& window);
// The part of the top-level window's surface the window may draw on: its client area within
// every ancestor's, each cut to its window region.
TRegion DrawableRegion(const TWindowManager::TWindowTable& table, const TWindow& window);
// Whether the window and all its ancestors have WS_VISIBLE.
bool VisibleOnScreen(const TWindowManager::TWindowTable& table, const TWindow& window);
// Adds area (client coordinates; none: everything) to the update region of the window (and,
// with children, of every descendant); returns the windows that now need painting.
std::vector<std::shared_ptr<TWindow>> AddToUpdate(const TWindowManager::TWindowTable& table, TWindow& window,
                                                  const std::optional<TRegion>& area, bool erase,
                                                  bool children);
// Tells the windows' threads that they have painting to do (no table held).
void RequestPaint(const std::vector<std::shared_ptr<TWindow>>& windows);
// Drops a window from its thread's list of windows to paint (no table held).
void ForgetPaint(const TWindow& window);
// Brings a top-level window's state to the back end: shows, reshapes or hides it (no table held).
// A window the back end cannot show loses WS_VISIBLE; false then, with the last error set.
bool SyncWithDisplay(HWND window);
// Drops what outlives a window of an ended thread: its input state, its top-level listing and
// its back-end window (no table held).
void ForgetEndedWindow(HWND window, bool topLevel);
// Ends the calling thread's queue now (its windows go too) instead of when the thread's
// storage goes; a thread that ends calls it before it reports itself ended.
void EndThreadQueue();
// Lists a top-level window for FindWindowA (again, after its title changed).
void ListTopLevel(HWND window, const std::string& className, const char* title);
