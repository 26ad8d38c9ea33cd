#include "platform/windows/Messages.h"

#include <errno.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <string>
#include <vector>

#include "platform/core/HandleOwner.h"
#include "platform/core/LastError.h"
#include "platform/core/PollUntil.h"
#include "platform/core/Time.h"
#include "platform/files/FileDescriptor.h"
#include "platform/objects/FutexWatch.h"
#include "platform/objects/NamedEventWords.h"
#include "platform/objects/Processes.h"
#include "platform/objects/Synchronization.h"
#include "platform/windows/InputEvents.h"
#include "platform/windows/WindowManager.h"
#include "platform/windows/detail/WaitSet.h"

namespace {

constexpr std::size_t MaxPostedMessages = 10000;
// How often a thread waiting for another process's answer checks that the process still lives.
constexpr std::uint64_t AlivePingInterval = 500;
// How long past its time-out a SMTO_NOTIMEOUTIFNOTHUNG send waits for each look at the receiver.
constexpr std::uint64_t HungProbeInterval = 1000;
constexpr UINT_PTR FirstThreadTimerId = 0x7FF0;
// The most handles MsgWaitForMultipleObjects takes (MAXIMUM_WAIT_OBJECTS).
constexpr DWORD MaxWaitObjects = 64;
// How often MsgWaitForMultipleObjects looks at kernel objects that another process may signal
// unseen: mutexes (an owner that dies frees them unannounced), and events where the kernel cannot
// watch their futexes (changes made here, processes ending and, where it can, events set by
// another process wake it at once).
constexpr std::uint64_t KernelObjectSlice = 5;
// How often WaitForInputIdle looks at the other process when it cannot sleep until the process
// goes idle or ends.
constexpr std::uint64_t InputIdleSlice = 100;

// A sent message being handled on this thread.
struct TSendContext {
  TMessageRecord Record;
  bool FromOtherThread;
  bool Replied;
};

thread_local std::vector<TSendContext*> handlingSends;
thread_local std::uint64_t objectLooks = 0;

// Keeps the context on the thread's stack of handled sends while the procedure runs.
class TSendScope {
 public:
  explicit TSendScope(TSendContext& context) { handlingSends.push_back(&context); }
  ~TSendScope() { handlingSends.pop_back(); }
  TSendScope(const TSendScope&) = delete;
  TSendScope& operator=(const TSendScope&) = delete;
};

WNDPROC ProcedureOf(HWND window, DWORD threadId)
{
  auto& manager = TWindowManager::Instance();
  auto table = manager.Table();
  const auto found = table.Find(window);
  if (!found || found->ThreadId != threadId) {
    return nullptr;
  }
  return found->Procedure;
}

// Handles the oldest message sent to this thread's windows; false when there is none.
bool HandleOneSent(TMessageQueue& queue)
{
  TSendContext context{{}, true, false};
  {
    const std::lock_guard guard(queue.Lock);
    if (queue.Sent.empty()) {
      return false;
    }
    context.Record = queue.Sent.front();
    queue.Sent.pop_front();
    // Taking a sent message is a look for messages: without this, a thread that answers right
    // after a long pause still counts as hung until it next reaches its loop, and an
    // abort-if-hung send that follows the answer at once is refused.
    queue.LastLook = SteadyMilliseconds();
  }
  auto& manager = TWindowManager::Instance();
  if (context.Record.SenderProcess != manager.StartedNumber()) {
    manager.EnsureQueueSocket(queue);
  }
  const HWND window = WindowOf(context.Record.Window);
  const WNDPROC procedure = ProcedureOf(window, queue.ThreadId);
  if (procedure == nullptr) {
    manager.Reply(context.Record, TReplyStatus::InvalidWindow, 0);
    return true;
  }
  LRESULT result = 0;
  {
    const TSendScope scope(context);
    result = procedure(window, context.Record.Message, static_cast<WPARAM>(context.Record.WParam),
                       static_cast<LPARAM>(context.Record.LParam));
  }
  if (!context.Replied) {
    manager.Reply(context.Record, TReplyStatus::Handled, result, queue.Socket >= 0 ? queue.Id : 0);
  }
  return true;
}

bool Matches(const MSG& message, HWND window, UINT minFilter, UINT maxFilter)
{
  if (window == reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1))) {
    if (message.hwnd != nullptr) {
      return false;
    }
  } else if (window != nullptr && message.hwnd != window) {
    return false;
  }
  return (minFilter == 0 && maxFilter == 0) || (message.message >= minFilter && message.message <= maxFilter);
}

// The index of the earliest due timer that passes the filter, or -1.
int DueTimer(const TMessageQueue& queue, HWND window, UINT minFilter, UINT maxFilter, std::uint64_t now)
{
  int best = -1;
  for (std::size_t i = 0; i < queue.Timers.size(); ++i) {
    const TWindowTimer& timer = queue.Timers[i];
    const MSG probe{timer.Window, WM_TIMER, 0, 0, 0, POINT{0, 0}};
    if (timer.Due <= now && Matches(probe, window, minFilter, maxFilter) &&
        (best < 0 || timer.Due < queue.Timers[static_cast<std::size_t>(best)].Due)) {
      best = static_cast<int>(i);
    }
  }
  return best;
}

// Takes (or, without remove, copies) the next message in Win32 order after the sent ones:
// posted, quit, paint, timer. WM_PAINT stays until the window's update region is emptied. Queue
// lock held.
bool TakeMessage(TMessageQueue& queue, MSG* message, HWND window, UINT minFilter, UINT maxFilter, bool remove)
{
  for (auto it = queue.Posted.begin(); it != queue.Posted.end(); ++it) {
    if (Matches(*it, window, minFilter, maxFilter)) {
      *message = *it;
      if (remove) {
        queue.Posted.erase(it);
      }
      return true;
    }
  }
  for (auto it = queue.Input.begin(); it != queue.Input.end(); ++it) {
    if (Matches(it->Message, window, minFilter, maxFilter)) {
      *message = it->Message;
      if (remove) {
        TakeInputState(queue, *it);
        queue.Input.erase(it);
      }
      return true;
    }
  }
  if (queue.QuitPosted) {
    *message = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue.QuitCode), 0, GetTickCount(), POINT{0, 0}};
    if (remove) {
      queue.QuitPosted = false;
    }
    return true;
  }
  for (const HWND painted : queue.NeedsPaint) {
    const MSG probe{painted, WM_PAINT, 0, 0, GetTickCount(), POINT{0, 0}};
    if (Matches(probe, window, minFilter, maxFilter)) {
      *message = probe;
      return true;
    }
  }
  const std::uint64_t now = SteadyMilliseconds();
  if (const int due = DueTimer(queue, window, minFilter, maxFilter, now); due >= 0) {
    TWindowTimer& timer = queue.Timers[static_cast<std::size_t>(due)];
    *message = MSG{timer.Window,   WM_TIMER,   timer.Id, reinterpret_cast<LPARAM>(timer.Procedure),
                   GetTickCount(), POINT{0, 0}};
    if (remove) {
      timer.Due = now + timer.Elapse;
    }
    return true;
  }
  return false;
}

// When the next timer of the queue is due; UINT64_MAX when there is none. Queue lock held.
std::uint64_t NextTimerDue(const TMessageQueue& queue)
{
  std::uint64_t next = UINT64_MAX;
  for (const auto& timer : queue.Timers) {
    next = std::min(next, timer.Due);
  }
  return next;
}

void WaitUntil(TMessageQueue& queue, std::unique_lock<std::mutex>& lock, std::uint64_t deadline)
{
  const TWaitSet& waitSet = ThreadWaitSet();
  if (!waitSet.Empty() && queue.Signal.load() < 0) {
    // Descriptors to watch besides the queue: Notify needs an event the poll sees.
    queue.SignalDescriptor.Reset(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    queue.Signal = queue.SignalDescriptor.Get();
  }
  if (const int signal = queue.Signal.load(); signal >= 0) {
    // The event of Notify, the thread's own socket and what the wait set holds: whichever
    // comes first.
    const int socket = queue.Socket.load();
    std::vector<pollfd> ready{{signal, POLLIN, 0}, {socket, POLLIN, 0}};
    waitSet.Append(ready);
    queue.Polling = true;
    lock.unlock();
    const int polled = PollUntil(ready, deadline);  // UINT64_MAX is NoDeadline
    queue.Polling = false;
    if (polled > 0) {
      if ((ready[0].revents & POLLIN) != 0) {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t drained = read(ready[0].fd, &count, sizeof(count));
      }
      if (socket >= 0 && (ready[1].revents & POLLIN) != 0) {
        TWindowManager::Instance().DrainQueueSocket(queue);
      }
      waitSet.Dispatch(ready, 2);
    }
    lock.lock();
    return;
  }
  if (deadline == UINT64_MAX) {
    queue.Wake.wait(lock);
    return;
  }
  const std::uint64_t now = SteadyMilliseconds();
  if (deadline > now) {
    queue.Wake.wait_for(lock, std::chrono::milliseconds(deadline - now));
  }
}

// Takes what waits on the thread's own socket, at most once a millisecond while the thread is
// busy with its queue (every wait takes it anyway), so a flood of posted messages does not pay
// a system call each.
void DrainNowAndThen(TMessageQueue& queue)
{
  if (queue.Socket.load() >= 0 && SteadyMilliseconds() != queue.LastDrain.load()) {
    TWindowManager::Instance().DrainQueueSocket(queue);
  }
}

// The main thread's first wait for messages ends the process's start-up: the named event that
// WaitForInputIdle watches is set and kept for the life of the process.
void SignalInputIdle()
{
  // Asked before every wait: once it is done, no system call is spent on the question.
  static std::atomic<bool> signalled{false};
  if (signalled.load(std::memory_order_relaxed) || static_cast<pid_t>(CurrentThreadId()) != getpid()) {
    return;
  }
  signalled = true;
  const std::string name = "OxaInputIdle." + std::to_string(getpid());
  static HANDLE idle = CreateEventA(nullptr, TRUE, FALSE, name.c_str());
  SetEvent(idle);
}

// Waits for the answer to call on queue; see SendMessageTimeoutA.
LRESULT AwaitReply(TMessageQueue& queue, const TMessageRecord& call, std::uint32_t processNumber, UINT flags,
                   UINT timeout, DWORD_PTR* result)
{
  auto& manager = TWindowManager::Instance();
  const bool remote = processNumber != manager.StartedNumber();
  const std::uint64_t start = SteadyMilliseconds();
  std::uint64_t deadline = timeout == INFINITE ? UINT64_MAX : start + timeout;
  std::uint64_t nextPing = remote ? start + AlivePingInterval : UINT64_MAX;
  std::uint64_t probe = 0;
  const auto forget = [&] {
    queue.Awaited.erase(call.CallId);
    queue.Replies.erase(call.CallId);
    if (probe != 0) {
      queue.Awaited.erase(probe);
      queue.Replies.erase(probe);
    }
  };
  std::unique_lock lock(queue.Lock);
  for (;;) {
    if (const auto found = queue.Replies.find(call.CallId); found != queue.Replies.end()) {
      const TMessageRecord reply = found->second;
      forget();
      if (remote) {
        manager.RememberDirectQueue(WindowOf(call.Window), reply.Status == TReplyStatus::Handled
                                                               ? static_cast<std::uint32_t>(reply.WParam)
                                                               : 0);
      }
      switch (reply.Status) {
        case TReplyStatus::Handled:
          if (result != nullptr) {
            *result = static_cast<DWORD_PTR>(reply.Result);
          }
          return 1;
        case TReplyStatus::Hung:
          SetLastError(ERROR_TIMEOUT);
          return 0;
        default:
          SetLastError(ERROR_INVALID_WINDOW_HANDLE);
          return 0;
      }
    }
    if (probe != 0) {
      if (const auto found = queue.Replies.find(probe); found != queue.Replies.end()) {
        const bool hung = found->second.Status != TReplyStatus::WindowFound || found->second.Flags != 0;
        queue.Awaited.erase(probe);
        queue.Replies.erase(found);
        probe = 0;
        if (hung) {
          forget();
          SetLastError(ERROR_TIMEOUT);
          return 0;
        }
        deadline = SteadyMilliseconds() + HungProbeInterval;
      }
    }
    if ((flags & SMTO_BLOCK) == 0 && !queue.Sent.empty()) {
      lock.unlock();
      HandleOneSent(queue);
      lock.lock();
      continue;
    }
    const std::uint64_t now = SteadyMilliseconds();
    if (now >= deadline) {
      if ((flags & SMTO_NOTIMEOUTIFNOTHUNG) != 0 && probe == 0) {
        TMessageRecord query = call;
        query.Kind = TRecordKind::Query;
        query.CallId = manager.NewCallId();
        probe = query.CallId;
        queue.Awaited.insert(probe);
        deadline = now + HungProbeInterval;
        lock.unlock();
        manager.Route(processNumber, query);
        lock.lock();
        continue;
      }
      forget();
      SetLastError(ERROR_TIMEOUT);
      return 0;
    }
    if (now >= nextPing) {
      TMessageRecord ping = call;
      ping.Kind = TRecordKind::Ping;
      lock.unlock();
      const bool alive = manager.Route(processNumber, ping) || GetLastError() == ERROR_NOT_ENOUGH_QUOTA;
      lock.lock();
      if (!alive) {
        forget();
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
      }
      nextPing = now + AlivePingInterval;
      continue;
    }
    const bool handlesSends = (flags & SMTO_BLOCK) == 0;
    if (handlesSends) {
      queue.Waiting = true;
    }
    WaitUntil(queue, lock, std::min(deadline, nextPing));
    queue.Waiting = false;
    queue.LastLook = SteadyMilliseconds();
  }
}

BOOL PostToQueue(TMessageQueue& queue, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  {
    const std::lock_guard guard(queue.Lock);
    if (queue.Posted.size() >= MaxPostedMessages) {
      SetLastError(ERROR_NOT_ENOUGH_QUOTA);
      return FALSE;
    }
    queue.Posted.push_back(MSG{window, message, wParam, lParam, GetTickCount(), POINT{0, 0}});
  }
  queue.Notify();
  return TRUE;
}

}  // namespace

BOOL GetMessageA(MSG* message, HWND window, UINT minFilter, UINT maxFilter)
{
  if (message == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  const auto queue = TWindowManager::Instance().CurrentQueue();
  for (;;) {
    DrainNowAndThen(*queue);
    while (HandleOneSent(*queue)) {
    }
    queue->LastLook = SteadyMilliseconds();
    std::unique_lock lock(queue->Lock);
    if (TakeMessage(*queue, message, window, minFilter, maxFilter, true)) {
      lock.unlock();
      if (IsInputControl(*message)) {
        HandleInputControl(*message);
        continue;
      }
      AfterInputTaken(*message);
      return message->message == WM_QUIT ? FALSE : TRUE;
    }
    if (!queue->Sent.empty()) {
      continue;
    }
    lock.unlock();
    SignalInputIdle();
    lock.lock();
    if (!queue->Sent.empty() || !queue->Posted.empty() || !queue->Input.empty() || queue->QuitPosted) {
      continue;
    }
    queue->Waiting = true;
    WaitUntil(*queue, lock, NextTimerDue(*queue));
    queue->Waiting = false;
  }
}

BOOL PeekMessageA(MSG* message, HWND window, UINT minFilter, UINT maxFilter, UINT removeFlags)
{
  if (message == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const auto queue = TWindowManager::Instance().CurrentQueue();
  DrainNowAndThen(*queue);
  for (;;) {
    while (HandleOneSent(*queue)) {
    }
    queue->LastLook = SteadyMilliseconds();
    const bool remove = (removeFlags & PM_REMOVE) != 0;
    std::unique_lock lock(queue->Lock);
    if (!TakeMessage(*queue, message, window, minFilter, maxFilter, remove)) {
      return FALSE;
    }
    if (IsInputControl(*message)) {
      // The platform's own requests never reach the program, even when it only looks.
      if (!remove) {
        TakeMessage(*queue, message, window, minFilter, maxFilter, true);
      }
      lock.unlock();
      HandleInputControl(*message);
      continue;
    }
    lock.unlock();
    if (remove) {
      AfterInputTaken(*message);
    }
    return TRUE;
  }
}

BOOL WaitMessage()
{
  const auto queue = TWindowManager::Instance().CurrentQueue();
  for (;;) {
    DrainNowAndThen(*queue);
    while (HandleOneSent(*queue)) {
    }
    queue->LastLook = SteadyMilliseconds();
    std::unique_lock lock(queue->Lock);
    if (!queue->Posted.empty() || !queue->Input.empty() || queue->QuitPosted || !queue->NeedsPaint.empty() ||
        NextTimerDue(*queue) <= SteadyMilliseconds()) {
      return TRUE;
    }
    if (!queue->Sent.empty()) {
      continue;
    }
    lock.unlock();
    SignalInputIdle();
    lock.lock();
    if (!queue->Sent.empty() || !queue->Posted.empty() || queue->QuitPosted) {
      continue;
    }
    queue->Waiting = true;
    WaitUntil(*queue, lock, NextTimerDue(*queue));
    queue->Waiting = false;
  }
}

DWORD GetQueueStatus(UINT flags)
{
  const auto queue = TWindowManager::Instance().CurrentQueue();
  const std::lock_guard guard(queue->Lock);
  UINT status = 0;
  if (!queue->Sent.empty()) {
    status |= QS_SENDMESSAGE;
  }
  if (!queue->Posted.empty() || queue->QuitPosted) {
    status |= QS_POSTMESSAGE | QS_ALLPOSTMESSAGE;
  }
  if (!queue->NeedsPaint.empty()) {
    status |= QS_PAINT;
  }
  for (const auto& input : queue->Input) {
    const UINT kind = input.Message.message;
    status |= kind == WM_MOUSEMOVE                             ? QS_MOUSEMOVE
              : kind >= WM_LBUTTONDOWN && kind <= WM_MOUSELAST ? QS_MOUSEBUTTON
              : kind >= WM_KEYFIRST && kind <= WM_KEYLAST      ? QS_KEY
                                                               : QS_POSTMESSAGE;
  }
  if (NextTimerDue(*queue) <= SteadyMilliseconds()) {
    status |= QS_TIMER;
  }
  status &= flags;
  return (status << 16) | status;
}

BOOL TranslateMessage(const MSG* message)
{
  if (message == nullptr) {
    return FALSE;
  }
  switch (message->message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      const auto queue = TWindowManager::Instance().CurrentQueue();
      {
        const std::lock_guard guard(queue->Lock);
        const MSG& last = queue->LastKey;
        if (last.hwnd != message->hwnd || last.message != message->message ||
            last.wParam != message->wParam || last.lParam != message->lParam || last.time != message->time) {
          return TRUE;
        }
        const UINT character = message->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
        // Taken next, before anything posted meanwhile.
        for (auto it = queue->LastKeyText.rbegin(); it != queue->LastKeyText.rend(); ++it) {
          queue->Posted.push_front(MSG{message->hwnd, character, static_cast<WPARAM>(*it), message->lParam,
                                       message->time, message->pt});
        }
        queue->LastKeyText.clear();
      }
      queue->Notify();
      return TRUE;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP:
      return TRUE;
    default:
      return FALSE;
  }
}

LRESULT DispatchMessageA(const MSG* message)
{
  if (message == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (message->message == WM_TIMER && message->lParam != 0) {
    reinterpret_cast<TIMERPROC>(message->lParam)(message->hwnd, WM_TIMER, message->wParam, GetTickCount());
    return 0;
  }
  if (message->hwnd == nullptr) {
    return 0;
  }
  const WNDPROC procedure = ProcedureOf(message->hwnd, CurrentThreadId());
  if (procedure == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return procedure(message->hwnd, message->message, message->wParam, message->lParam);
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  auto& manager = TWindowManager::Instance();
  if (window == nullptr) {
    return PostToQueue(*manager.CurrentQueue(), nullptr, message, wParam, lParam);
  }
  const std::uint32_t number = ProcessNumberOf(window);
  if (number == 0) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (number == manager.StartedNumber()) {
    const auto target = manager.Find(window);
    const auto queue = target ? target->Queue.lock() : nullptr;
    if (!queue) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    return PostToQueue(*queue, window, message, wParam, lParam);
  }
  TMessageRecord record;
  record.Kind = TRecordKind::Post;
  record.Window = HandleValue(window);
  record.Message = message;
  record.WParam = wParam;
  record.LParam = lParam;
  record.SenderProcess = manager.OwnNumber();
  record.Time = GetTickCount();
  return manager.Route(number, record) ? TRUE : FALSE;
}

BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam)
{
  const auto queue = TWindowManager::Instance().QueueOfThread(threadId);
  if (!queue) {
    SetLastError(ERROR_INVALID_THREAD_ID);
    return FALSE;
  }
  return PostToQueue(*queue, nullptr, message, wParam, lParam);
}

void PostQuitMessage(int exitCode)
{
  const auto queue = TWindowManager::Instance().CurrentQueue();
  {
    const std::lock_guard guard(queue->Lock);
    queue->QuitPosted = true;
    queue->QuitCode = exitCode;
  }
  queue->Notify();
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  DWORD_PTR result = 0;
  SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, INFINITE, &result);
  return static_cast<LRESULT>(result);
}

LRESULT SendMessageTimeoutA(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT flags, UINT timeout,
                            DWORD_PTR* result)
{
  auto& manager = TWindowManager::Instance();
  if (result != nullptr) {
    *result = 0;
  }
  const std::uint32_t number = ProcessNumberOf(window);
  if (number == 0) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (number == manager.StartedNumber()) {
    const auto target = manager.Find(window);
    if (!target) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    if (target->ThreadId == CurrentThreadId()) {
      const WNDPROC procedure = ProcedureOf(window, target->ThreadId);
      TSendContext context{{}, false, false};
      const TSendScope scope(context);
      const LRESULT answer = procedure(window, message, wParam, lParam);
      if (result != nullptr) {
        *result = static_cast<DWORD_PTR>(answer);
      }
      return 1;
    }
  }
  const std::uint32_t own = manager.OwnNumber();
  if (own == 0) {
    return 0;
  }
  const auto queue = manager.CurrentQueue();
  TMessageRecord call;
  call.Kind = TRecordKind::Send;
  call.Window = HandleValue(window);
  call.Message = message;
  call.Flags = flags;
  call.WParam = wParam;
  call.LParam = lParam;
  call.SenderProcess = own;
  call.SenderQueue = queue->Id;
  call.CallId = manager.NewCallId();
  call.Time = GetTickCount();
  const bool remote = number != own;
  if (remote) {
    manager.EnsureQueueSocket(*queue);
    if (queue->Socket >= 0) {
      call.Flags |= ReplyToQueueFlag;
    }
  }
  {
    const std::lock_guard guard(queue->Lock);
    queue->Awaited.insert(call.CallId);
  }
  // A thread known to handle this window is sent to directly, unless the process must first
  // judge whether that thread hangs.
  const std::uint32_t direct = remote && (flags & SMTO_ABORTIFHUNG) == 0 ? manager.DirectQueueOf(window) : 0;
  const TMessageTransport* transport = TMessageTransport::Existing();
  const bool sentDirectly =
      direct != 0 && transport != nullptr && transport->SendToQueue(number, direct, call);
  if (!sentDirectly && !manager.Route(number, call)) {
    const std::lock_guard guard(queue->Lock);
    queue->Awaited.erase(call.CallId);
    return 0;
  }
  return AwaitReply(*queue, call, number, flags, timeout, result);
}

BOOL ReplyMessage(LRESULT result)
{
  if (handlingSends.empty()) {
    return FALSE;
  }
  TSendContext& context = *handlingSends.back();
  if (!context.FromOtherThread || context.Replied) {
    return FALSE;
  }
  context.Replied = true;
  // Names this thread's own socket like the reply after the procedure does, or the sender
  // forgets it and its next send takes the detour through the process's reader thread.
  auto& manager = TWindowManager::Instance();
  const auto queue = manager.CurrentQueue();
  manager.Reply(context.Record, TReplyStatus::Handled, result, queue->Socket >= 0 ? queue->Id : 0);
  return TRUE;
}

BOOL InSendMessage()
{
  return !handlingSends.empty() && handlingSends.back()->FromOtherThread ? TRUE : FALSE;
}

DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds,
                                DWORD wakeMask)
{
  if (count > MaxWaitObjects || (count > 0 && handles == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  std::vector<std::shared_ptr<TKernelObject>> objects;
  for (DWORD i = 0; i < count; ++i) {
    auto object = LookupHandle(handles[i]);
    if (!object) {
      return WAIT_FAILED;
    }
    objects.push_back(std::move(object));
  }
  const auto queue = TWindowManager::Instance().CurrentQueue();
  const std::uint64_t deadline = milliseconds == INFINITE ? UINT64_MAX : SteadyMilliseconds() + milliseconds;
  // Objects signalled in this process wake the wait through the queue.
  const TKernelObjectWatch watch([&queue] {
    {
      const std::lock_guard guard(queue->Lock);
      ++queue->ObjectChanges;
    }
    queue->Notify();
  });
  std::vector<bool> taken(count, false);
  for (;;) {
    std::uint64_t changes = 0;
    {
      const std::lock_guard guard(queue->Lock);
      changes = queue->ObjectChanges;
    }
    ++objectLooks;
    std::size_t signalled = 0;
    bool lookAgain = false;
    std::vector<TFutexWatch::TWord> words;
    std::unique_ptr<TFutexWatch> watch;
    std::vector<std::unique_ptr<TWaitRegistration>> descriptors;
    for (DWORD i = 0; i < count; ++i) {
      if (!taken[i]) {
        const DWORD state = objects[i]->Wait(0);
        if (state == WAIT_FAILED) {
          return WAIT_FAILED;
        }
        if (state != WAIT_TIMEOUT) {
          if (!waitAll) {
            return WAIT_OBJECT_0 + i;
          }
          taken[i] = true;
        } else {
          std::uint32_t unchanged = 0;
          if (const auto* word = NamedEventWord(*objects[i], unchanged); word != nullptr) {
            words.push_back(TFutexWatch::TWord{word, unchanged});
          } else {
            lookAgain = lookAgain || objects[i]->ChangedElsewhere();
          }
          if (const int descriptor = objects[i]->ChangeDescriptor(); descriptor >= 0) {
            descriptors.push_back(std::make_unique<TWaitRegistration>(descriptor, nullptr));
          }
        }
      }
      signalled += taken[i] ? 1 : 0;
    }
    if (waitAll && count > 0 && signalled == count) {
      return WAIT_OBJECT_0;
    }
    if ((GetQueueStatus(static_cast<UINT>(wakeMask)) >> 16) != 0) {
      return WAIT_OBJECT_0 + count;
    }
    const std::uint64_t now = SteadyMilliseconds();
    if (now >= deadline) {
      return WAIT_TIMEOUT;
    }
    if (!words.empty()) {
      watch = std::make_unique<TFutexWatch>(std::move(words));
      if (watch->Descriptor() >= 0) {
        descriptors.push_back(std::make_unique<TWaitRegistration>(watch->Descriptor(), nullptr));
      } else {
        lookAgain = true;
      }
    }
    std::unique_lock lock(queue->Lock);
    if (queue->ObjectChanges != changes) {
      continue;
    }
    queue->Waiting = true;
    WaitUntil(*queue, lock, std::min(deadline, lookAgain ? now + KernelObjectSlice : deadline));
    queue->Waiting = false;
    queue->LastLook = SteadyMilliseconds();
  }
}

// WaitForInputIdle's looks count here too.
std::uint64_t MessageWaitObjectLooks()
{
  return objectLooks;
}

// Sleeps until the process's idle event is set or the process ends (its pidfd becomes readable).
// Where the event's futex cannot be watched or the process has no pidfd, looks every
// InputIdleSlice instead.
DWORD WaitForProcessInputIdle(DWORD processId, DWORD milliseconds)
{
  const std::string name = "OxaInputIdle." + std::to_string(processId);
  const THandleOwner idle(CreateEventA(nullptr, TRUE, FALSE, name.c_str()));
  if (!idle.Valid()) {
    return WAIT_FAILED;
  }
  const auto event = LookupHandle(idle.Get());
  const TFileDescriptor process(static_cast<int>(syscall(SYS_pidfd_open, static_cast<pid_t>(processId), 0)));
  const auto ended = [&] {
    if (process.Valid()) {
      pollfd look{process.Get(), POLLIN, 0};
      return PollUntil(std::span(&look, 1), 0) > 0;
    }
    return kill(static_cast<pid_t>(processId), 0) != 0 && errno == ESRCH;
  };
  const std::uint64_t deadline = milliseconds == INFINITE ? UINT64_MAX : SteadyMilliseconds() + milliseconds;
  DWORD result = WAIT_TIMEOUT;
  for (;;) {
    ++objectLooks;
    if (WaitForSingleObject(idle.Get(), 0) == WAIT_OBJECT_0) {
      result = 0;
      break;
    }
    if (ended()) {
      SetLastError(ERROR_INVALID_HANDLE);
      result = WAIT_FAILED;
      break;
    }
    const std::uint64_t now = SteadyMilliseconds();
    if (now >= deadline) {
      break;
    }
    std::uint32_t unchanged = 0;
    const auto* word = event ? NamedEventWord(*event, unchanged) : nullptr;
    const TFutexWatch watch(word != nullptr ? std::vector{TFutexWatch::TWord{word, unchanged}}
                                            : std::vector<TFutexWatch::TWord>{});
    const bool sleeps = watch.Descriptor() >= 0 && process.Valid();
    const std::uint64_t wait = std::min<std::uint64_t>(deadline - now, sleeps ? INT_MAX : InputIdleSlice);
    pollfd wakers[] = {{watch.Descriptor(), POLLIN, 0}, {process.Get(), POLLIN, 0}};
    PollUntil(wakers, now + wait);
  }
  return result;
}

DWORD WaitForInputIdle(HANDLE process, DWORD milliseconds)
{
  const auto object = LookupHandleAs<TProcessObject>(process);
  if (!object) {
    return WAIT_FAILED;
  }
  return WaitForProcessInputIdle(static_cast<DWORD>(object->Pid()), milliseconds);
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC timerProc)
{
  auto& manager = TWindowManager::Instance();
  std::shared_ptr<TMessageQueue> queue;
  if (window != nullptr) {
    const auto target = manager.Find(window);
    queue = target ? target->Queue.lock() : nullptr;
    if (!queue) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
  } else {
    queue = manager.CurrentQueue();
  }
  elapse = std::clamp<UINT>(elapse, USER_TIMER_MINIMUM, 0x7FFFFFFF);
  UINT_PTR result = 0;
  {
    const std::lock_guard guard(queue->Lock);
    const auto existing =
        std::find_if(queue->Timers.begin(), queue->Timers.end(),
                     [&](const TWindowTimer& timer) { return timer.Window == window && timer.Id == id; });
    const std::uint64_t due = SteadyMilliseconds() + elapse;
    if (existing != queue->Timers.end() && (window != nullptr || id != 0)) {
      existing->Elapse = elapse;
      existing->Procedure = timerProc;
      existing->Due = due;
      result = id;
    } else {
      if (window == nullptr) {
        static std::atomic<UINT_PTR> nextThreadTimer{FirstThreadTimerId};
        id = nextThreadTimer.fetch_add(1);
      }
      queue->Timers.push_back(TWindowTimer{window, id, elapse, timerProc, due});
      result = window == nullptr ? id : (id != 0 ? id : 1);
    }
  }
  queue->Notify();
  return result;
}

BOOL KillTimer(HWND window, UINT_PTR id)
{
  auto& manager = TWindowManager::Instance();
  std::shared_ptr<TMessageQueue> queue;
  if (window != nullptr) {
    const auto target = manager.Find(window);
    queue = target ? target->Queue.lock() : nullptr;
  } else {
    queue = manager.CurrentQueue();
  }
  if (queue) {
    const std::lock_guard guard(queue->Lock);
    const auto removed = std::erase_if(
        queue->Timers, [&](const TWindowTimer& timer) { return timer.Window == window && timer.Id == id; });
    if (removed != 0) {
      return TRUE;
    }
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}
