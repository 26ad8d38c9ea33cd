#pragma once
// The process's windows, window classes and message queues, and the routing of message records
// between threads and processes. Internal to the platform layer; Windows.cpp and Messages.cpp
// build the Win32 calls on it.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/MessageTransport.h"
#include "platform/Messages.h"
#include "platform/Windows.h"

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
  bool QuitPosted = false;
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
};

struct TWindowClass {
  WNDCLASSA Registration;
  std::string Name;
  ATOM Atom;
};

// Milliseconds on the monotonic clock.
std::uint64_t SteadyMilliseconds() noexcept;
DWORD CurrentThreadId() noexcept;

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
  static TWindowManager& Instance();

  // The calling thread's queue, created on first use.
  std::shared_ptr<TMessageQueue> CurrentQueue();
  std::shared_ptr<TMessageQueue> QueueOfThread(DWORD threadId);

  // This process's transport number, starting the transport if needed; 0 with the last error
  // set when it cannot start.
  std::uint32_t OwnNumber();
  // The number if the transport runs, else 0 (never starts it).
  std::uint32_t StartedNumber() const noexcept { return FOwnNumber.load(); }

  // Window table (this process's windows).
  std::mutex WindowsLock;                            // guards FWindows, FClasses and every TWindow's fields
  std::shared_ptr<TWindow> FindLocked(HWND window);  // WindowsLock held
  std::shared_ptr<TWindow> Find(HWND window);
  HWND AddWindow(const std::shared_ptr<TWindow>& window);  // null when no handle is left
  void RemoveWindow(HWND window);
  std::vector<HWND> ChildrenOf(HWND window);
  std::map<std::string, TWindowClass> Classes;  // by upper-cased name; WindowsLock

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

  std::map<std::uint32_t, std::shared_ptr<TWindow>> FWindows;  // by handle value; WindowsLock
  std::uint32_t FNextIndex = 1;                                // WindowsLock

  std::mutex FDirectLock;                                // guards FDirectQueues
  std::map<std::uint32_t, std::uint32_t> FDirectQueues;  // window handle value -> queue id

  std::atomic<std::uint32_t> FOwnNumber{0};
  std::atomic<std::uint64_t> FNextCallId{1};
};
