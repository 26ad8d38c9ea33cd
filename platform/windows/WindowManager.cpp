#include "platform/windows/WindowManager.h"

#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>

#include "platform/core/LastError.h"
#include "platform/core/PollUntil.h"
#include "platform/core/Time.h"
#include "platform/files/MachineSettings.h"

namespace {

constexpr std::uint32_t LastWindowIndex = 0xFFFF;

// Ends the thread's queue when the thread ends.
struct TQueueHolder {
  std::shared_ptr<TMessageQueue> Queue;
  TQueueHolder() = default;
  TQueueHolder(const TQueueHolder&) = delete;
  TQueueHolder& operator=(const TQueueHolder&) = delete;
  ~TQueueHolder() { End(); }
  void End()
  {
    if (Queue) {
      TWindowManager::Instance().EndQueue(Queue);
      Queue.reset();
    }
  }
};

thread_local TQueueHolder currentQueue;

}  // namespace

void EndThreadQueue()
{
  currentQueue.End();
}

std::uint64_t SteadyMilliseconds() noexcept
{
  // The clock of the waits' deadlines, so a queue's deadline is handed to them as it is.
  return PollClockMilliseconds();
}

std::uint32_t ProcessNumberOf(HWND window) noexcept
{
  const auto value = reinterpret_cast<std::uintptr_t>(window);
  if (value > 0xFFFFFFFFU || (value & 0xFFFFU) == 0) {
    return 0;
  }
  return static_cast<std::uint32_t>(value >> 16);
}

void TMessageQueue::Notify()
{
  Wake.notify_all();
  // Only an owner asleep in poll needs the event: otherwise it looks at its queue (under Lock,
  // after whatever was added) before it sleeps again.
  if (const int signal = Signal.load(); signal >= 0 && Polling.load()) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(signal, &one, sizeof(one));
  }
}

bool TMessageQueue::IsHung() const noexcept
{
  return !Waiting.load() && SteadyMilliseconds() - LastLook.load() > HungThreshold();
}

TWindowManager& TWindowManager::Instance()
{
  static TWindowManager manager;
  return manager;
}

std::shared_ptr<TMessageQueue> TWindowManager::CurrentQueue()
{
  if (!currentQueue.Queue) {
    SetThreadEndHandler(&EndThreadQueue);
    const std::lock_guard guard(FQueuesLock);
    auto queue = std::make_shared<TMessageQueue>(CurrentThreadId(), FNextQueueId++);
    queue->LastLook = SteadyMilliseconds();
    FQueues[queue->ThreadId] = queue;
    FQueuesById[queue->Id] = queue;
    currentQueue.Queue = std::move(queue);
  }
  return currentQueue.Queue;
}

std::shared_ptr<TMessageQueue> TWindowManager::QueueOfThread(DWORD threadId)
{
  const std::lock_guard guard(FQueuesLock);
  const auto found = FQueues.find(threadId);
  return found == FQueues.end() ? nullptr : found->second.lock();
}

std::uint32_t TWindowManager::OwnNumber()
{
  if (const std::uint32_t number = FOwnNumber.load(); number != 0) {
    return number;
  }
  TMessageTransport* transport =
      TMessageTransport::Instance([this](const TMessageRecord& record) { Receive(record); });
  if (transport == nullptr) {
    return 0;
  }
  FOwnNumber = transport->Number();
  return transport->Number();
}

std::shared_ptr<TWindow> TWindowManager::TWindowTable::Find(HWND window) const
{
  const std::uint32_t number = ProcessNumberOf(window);
  if (number == 0 || number != FManager.FOwnNumber.load()) {
    return nullptr;
  }
  const auto found = FManager.FWindows.find(HandleValue(window));
  return found == FManager.FWindows.end() ? nullptr : found->second;
}

std::vector<std::shared_ptr<TWindow>> TWindowManager::TWindowTable::Children(HWND window) const
{
  std::vector<std::shared_ptr<TWindow>> children;
  for (const auto& [value, child] : FManager.FWindows) {
    if (child->Parent == window) {
      children.push_back(child);
    }
  }
  return children;
}

void TWindowManager::TWindowTable::Restack(const TWindow& window, HWND after)
{
  auto& stack = FManager.FStack;
  std::erase(stack, window.Handle);
  const bool topmost = (window.ExStyle & WS_EX_TOPMOST) != 0;
  auto position = stack.begin();
  if (after != nullptr) {
    const auto found = std::find(stack.begin(), stack.end(), after);
    if (found != stack.end()) {
      position = std::next(found);
    }
  }
  // A window never goes above a topmost one unless it is topmost itself, nor below the
  // non-topmost ones when it is.
  const auto firstPlain = std::find_if(stack.begin(), stack.end(), [&](HWND other) {
    const auto found = Find(other);
    return !found || (found->ExStyle & WS_EX_TOPMOST) == 0;
  });
  const auto offset = std::distance(stack.begin(), position);
  const auto plainOffset = std::distance(stack.begin(), firstPlain);
  const auto placed = topmost ? std::min(offset, plainOffset) : std::max(offset, plainOffset);
  stack.insert(stack.begin() + placed, window.Handle);
}

TWindowManager::TWindowTable TWindowManager::Table()
{
  return TWindowTable(*this);
}

std::shared_ptr<TWindow> TWindowManager::Find(HWND window)
{
  return Table().Find(window);
}

HWND TWindowManager::AddWindow(const std::shared_ptr<TWindow>& window)
{
  const std::uint32_t number = OwnNumber();
  if (number == 0) {
    return nullptr;
  }
  const std::lock_guard guard(FWindowsLock);
  for (std::uint32_t tries = 0; tries < LastWindowIndex; ++tries) {
    const std::uint32_t index = FNextIndex;
    FNextIndex = FNextIndex == LastWindowIndex ? 1 : FNextIndex + 1;
    const std::uint32_t value = (number << 16) | index;
    if (FWindows.count(value) == 0) {
      window->Handle = WindowOf(value);
      FWindows.emplace(value, window);
      return window->Handle;
    }
  }
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return nullptr;
}

void TWindowManager::RemoveWindow(HWND window)
{
  const std::lock_guard guard(FWindowsLock);
  FWindows.erase(HandleValue(window));
  std::erase(FStack, window);
}

std::vector<HWND> TWindowManager::ChildrenOf(HWND window)
{
  std::vector<HWND> children;
  for (const auto& child : Table().Children(window)) {
    children.push_back(child->Handle);
  }
  return children;
}

bool TWindowManager::Route(std::uint32_t processNumber, const TMessageRecord& record)
{
  if (processNumber != 0 && processNumber == FOwnNumber.load()) {
    Receive(record);
    return true;
  }
  TMessageTransport* transport = TMessageTransport::Existing();
  if (transport == nullptr) {
    if (OwnNumber() == 0) {
      return false;
    }
    transport = TMessageTransport::Existing();
  }
  return transport->Send(processNumber, record);
}

void TWindowManager::Reply(const TMessageRecord& request, TReplyStatus status, std::int64_t result,
                           std::uint64_t wParam, std::uint32_t flags)
{
  TMessageRecord reply;
  reply.Kind = TRecordKind::Reply;
  reply.Window = request.Window;
  reply.Message = request.Message;
  reply.SenderProcess = request.SenderProcess;
  reply.SenderQueue = request.SenderQueue;
  reply.CallId = request.CallId;
  reply.Status = status;
  reply.Result = result;
  reply.WParam = wParam;
  reply.Flags = flags;
  reply.Time = GetTickCount();
  if ((request.Flags & ReplyToQueueFlag) != 0 && request.SenderProcess != FOwnNumber.load()) {
    if (const TMessageTransport* transport = TMessageTransport::Existing();
        transport != nullptr && transport->SendToQueue(request.SenderProcess, request.SenderQueue, reply)) {
      return;
    }
  }
  // A sender that went away meanwhile does not need its answer.
  Route(request.SenderProcess, reply);
}

void TWindowManager::Receive(const TMessageRecord& record)
{
  switch (record.Kind) {
    case TRecordKind::Post: {
      const auto window = Find(WindowOf(record.Window));
      const auto queue = window ? window->Queue.lock() : nullptr;
      if (!queue) {
        return;
      }
      {
        const std::lock_guard guard(queue->Lock);
        queue->Posted.push_back(MSG{WindowOf(record.Window), record.Message,
                                    static_cast<WPARAM>(record.WParam), static_cast<LPARAM>(record.LParam),
                                    record.Time, POINT{0, 0}});
      }
      queue->Notify();
      return;
    }
    case TRecordKind::Send: {
      const auto window = Find(WindowOf(record.Window));
      const auto queue = window ? window->Queue.lock() : nullptr;
      if (!queue) {
        Reply(record, TReplyStatus::InvalidWindow, 0);
        return;
      }
      TReplyStatus refusal = TReplyStatus::Handled;
      {
        const std::lock_guard guard(queue->Lock);
        if (queue->Ended) {
          refusal = TReplyStatus::ThreadEnded;
        } else if ((record.Flags & SMTO_ABORTIFHUNG) != 0 && queue->IsHung()) {
          refusal = TReplyStatus::Hung;
        } else {
          queue->Sent.push_back(record);
        }
      }
      if (refusal != TReplyStatus::Handled) {
        Reply(record, refusal, 0);
      } else {
        queue->Notify();
      }
      return;
    }
    case TRecordKind::Reply: {
      std::shared_ptr<TMessageQueue> queue;
      {
        const std::lock_guard guard(FQueuesLock);
        if (const auto found = FQueuesById.find(record.SenderQueue); found != FQueuesById.end()) {
          queue = found->second.lock();
        }
      }
      if (!queue) {
        return;
      }
      {
        const std::lock_guard guard(queue->Lock);
        if (queue->Awaited.count(record.CallId) == 0) {
          return;
        }
        queue->Replies[record.CallId] = record;
      }
      queue->Notify();
      return;
    }
    case TRecordKind::Query: {
      const auto window = Find(WindowOf(record.Window));
      const auto queue = window ? window->Queue.lock() : nullptr;
      if (!queue) {
        Reply(record, TReplyStatus::InvalidWindow, 0);
        return;
      }
      Reply(record, TReplyStatus::WindowFound, static_cast<std::int64_t>(getpid()), queue->ThreadId,
            queue->IsHung() ? 1U : 0U);
      return;
    }
    case TRecordKind::Ping:
      return;
  }
}

void TWindowManager::EnsureQueueSocket(TMessageQueue& queue)
{
  if (queue.Socket >= 0 || OwnNumber() == 0) {
    return;
  }
  const TMessageTransport* transport = TMessageTransport::Existing();
  TFileDescriptor socket = transport != nullptr ? transport->OpenQueueSocket(queue.Id) : TFileDescriptor();
  if (!socket.Valid()) {
    return;
  }
  const std::lock_guard guard(queue.Lock);
  queue.SignalDescriptor.Reset(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  queue.SocketDescriptor = std::move(socket);
  queue.Signal = queue.SignalDescriptor.Get();
  queue.Socket = queue.SocketDescriptor.Get();
}

void TWindowManager::DrainQueueSocket(TMessageQueue& queue)
{
  if (const int socket = queue.Socket.load(); socket >= 0) {
    queue.LastDrain = SteadyMilliseconds();
    TMessageTransport::ReceiveWaiting(socket, [this](const TMessageRecord& record) { Receive(record); });
  }
}

std::uint32_t TWindowManager::DirectQueueOf(HWND window)
{
  const std::lock_guard guard(FDirectLock);
  const auto found = FDirectQueues.find(HandleValue(window));
  return found == FDirectQueues.end() ? 0 : found->second;
}

void TWindowManager::RememberDirectQueue(HWND window, std::uint32_t queueId)
{
  const std::lock_guard guard(FDirectLock);
  if (queueId == 0) {
    FDirectQueues.erase(HandleValue(window));
  } else {
    FDirectQueues[HandleValue(window)] = queueId;
  }
}

void TWindowManager::EndQueue(const std::shared_ptr<TMessageQueue>& queue)
{
  std::deque<TMessageRecord> unanswered;
  {
    const std::lock_guard guard(queue->Lock);
    queue->Ended = true;
    unanswered.swap(queue->Sent);
  }
  // What still waits on the thread's socket is answered (or dropped) like the rest.
  DrainQueueSocket(*queue);
  {
    const std::lock_guard guard(queue->Lock);
    unanswered.insert(unanswered.end(), queue->Sent.begin(), queue->Sent.end());
    queue->Sent.clear();
    queue->Socket = -1;
    queue->SocketDescriptor.Reset();
  }
  for (const auto& record : unanswered) {
    Reply(record, TReplyStatus::ThreadEnded, 0);
  }
  // The thread's windows go with it, from the screen too (nobody could destroy them any more).
  std::vector<std::pair<HWND, bool>> ended;
  {
    const std::lock_guard guard(FWindowsLock);
    std::erase_if(FWindows, [&](const auto& entry) {
      const bool ends = entry.second->Queue.lock() == queue || entry.second->Queue.expired();
      if (ends) {
        std::erase(FStack, entry.second->Handle);
        ended.emplace_back(entry.second->Handle, entry.second->Parent == nullptr);
      }
      return ends;
    });
  }
  for (const auto& [window, topLevel] : ended) {
    ForgetEndedWindow(window, topLevel);
  }
  const std::lock_guard guard(FQueuesLock);
  FQueues.erase(queue->ThreadId);
  FQueuesById.erase(queue->Id);
}
