#include "platform/objects/Threads.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/core/LastError.h"

namespace {

std::atomic<void (*)()> threadEndHandler{nullptr};

constexpr DWORD StillActive = 259;

int NiceOf(int priority) noexcept
{
  switch (priority) {
    case THREAD_PRIORITY_IDLE:
      return 19;
    case THREAD_PRIORITY_LOWEST:
      return 10;
    case THREAD_PRIORITY_BELOW_NORMAL:
      return 5;
    case THREAD_PRIORITY_ABOVE_NORMAL:
      return -5;
    case THREAD_PRIORITY_HIGHEST:
      return -10;
    case THREAD_PRIORITY_TIME_CRITICAL:
      return -20;
    default:
      return 0;
  }
}

class TThreadObject : public TKernelObject {
 public:
  std::mutex Lock;  // guards everything below
  std::condition_variable Changed;
  bool Resumed = false;
  bool Finished = false;
  DWORD ExitCode = StillActive;
  DWORD Tid = 0;
  int Priority = THREAD_PRIORITY_NORMAL;

  DWORD Wait(DWORD milliseconds) override
  {
    std::unique_lock lock(Lock);
    if (milliseconds == INFINITE) {
      Changed.wait(lock, [this] { return Finished; });
      return WAIT_OBJECT_0;
    }
    return Changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return Finished; })
               ? WAIT_OBJECT_0
               : WAIT_TIMEOUT;
  }

  void ApplyPriority() const
  {
    if (setpriority(PRIO_PROCESS, static_cast<id_t>(Tid), NiceOf(Priority)) != 0 && NiceOf(Priority) < 0) {
      setpriority(PRIO_PROCESS, static_cast<id_t>(Tid), 0);
    }
  }
};

}  // namespace

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, std::size_t, LPTHREAD_START_ROUTINE start, void* parameter,
                    DWORD creationFlags, DWORD* threadId)
{
  if (start == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto object = std::make_shared<TThreadObject>();
  object->Resumed = (creationFlags & CREATE_SUSPENDED) == 0;
  std::thread([object, start, parameter] {
    {
      std::unique_lock lock(object->Lock);
      object->Tid = CurrentThreadId();
      object->Changed.notify_all();
      object->Changed.wait(lock, [&] { return object->Resumed; });
    }
    const DWORD result = start(parameter);
    // The thread's windows and queue go before anyone sees it ended.
    if (void (*handler)() = threadEndHandler.load()) {
      handler();
    }
    {
      const std::lock_guard guard(object->Lock);
      object->ExitCode = result;
      object->Finished = true;
    }
    object->Changed.notify_all();
    AnnounceKernelObjectChange();
  }).detach();
  {
    std::unique_lock lock(object->Lock);
    object->Changed.wait(lock, [&] { return object->Tid != 0; });
    if (threadId != nullptr) {
      *threadId = object->Tid;
    }
  }
  return RegisterHandle(object);
}

DWORD ResumeThread(HANDLE thread)
{
  const auto object = LookupHandleAs<TThreadObject>(thread);
  if (!object) {
    return 0xFFFFFFFF;
  }
  {
    const std::lock_guard guard(object->Lock);
    if (object->Resumed) {
      return 0;
    }
    object->Resumed = true;
  }
  object->Changed.notify_all();
  return 1;
}

BOOL SetThreadPriority(HANDLE thread, int priority)
{
  const auto object = LookupHandleAs<TThreadObject>(thread);
  if (!object) {
    return FALSE;
  }
  const std::lock_guard guard(object->Lock);
  object->Priority = priority;
  if (!object->Finished) {
    object->ApplyPriority();
  }
  return TRUE;
}

int GetThreadPriority(HANDLE thread)
{
  const auto object = LookupHandleAs<TThreadObject>(thread);
  if (!object) {
    return THREAD_PRIORITY_ERROR_RETURN;
  }
  const std::lock_guard guard(object->Lock);
  return object->Priority;
}

BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode)
{
  const auto object = LookupHandleAs<TThreadObject>(thread);
  if (!object || exitCode == nullptr) {
    return FALSE;
  }
  const std::lock_guard guard(object->Lock);
  *exitCode = object->ExitCode;
  return TRUE;
}

void SetThreadEndHandler(void (*handler)()) noexcept
{
  threadEndHandler.store(handler);
}

DWORD CurrentThreadId() noexcept
{
  thread_local const DWORD id = static_cast<DWORD>(syscall(SYS_gettid));
  return id;
}

DWORD GetCurrentThreadId()
{
  return CurrentThreadId();
}
