#include "rtl/Thread.h"

#include "platform/objects/Threads.h"
#include "platform/windows/Messages.h"
#include "platform/windows/Windows.h"
#include "rtl/Exception.h"

namespace {

const DWORD mainThreadId = GetCurrentThreadId();  // static initialisation runs on the main thread

constexpr UINT SynchronizeMessage = WM_USER + 0x0100;

struct TSyncCall {
  const std::function<void()>* Method;
  std::exception_ptr Error;
};

LRESULT SyncWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  if (message == SynchronizeMessage) {
    auto* call = reinterpret_cast<TSyncCall*>(lParam);
    try {
      (*call->Method)();
    } catch (...) {
      call->Error = std::current_exception();
    }
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// The main thread's hidden window that Synchronize sends to; made by the main thread itself
// the first time it builds a thread.
HWND SyncWindow(bool create)
{
  static HWND window = nullptr;  // written once, by the main thread
  if (window == nullptr && create && GetCurrentThreadId() == mainThreadId) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = SyncWindowProc;
    windowClass.lpszClassName = "TThreadSynchronizeWindow";
    RegisterClassA(&windowClass);
    window = CreateWindowExA(0, "TThreadSynchronizeWindow", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                             nullptr);
  }
  return window;
}

int PriorityValue(TThreadPriority priority)
{
  switch (priority) {
    case TThreadPriority::tpIdle:
      return THREAD_PRIORITY_IDLE;
    case TThreadPriority::tpLowest:
      return THREAD_PRIORITY_LOWEST;
    case TThreadPriority::tpLower:
      return THREAD_PRIORITY_BELOW_NORMAL;
    case TThreadPriority::tpNormal:
      return THREAD_PRIORITY_NORMAL;
    case TThreadPriority::tpHigher:
      return THREAD_PRIORITY_ABOVE_NORMAL;
    case TThreadPriority::tpHighest:
      return THREAD_PRIORITY_HIGHEST;
    case TThreadPriority::tpTimeCritical:
      return THREAD_PRIORITY_TIME_CRITICAL;
  }
  return THREAD_PRIORITY_NORMAL;
}

}  // namespace

TThread::TThread(bool createSuspended) : FCreateSuspended(createSuspended)
{
  SyncWindow(true);
  FHandle.Reset(CreateThread(nullptr, 0, &TThread::Run, this, CREATE_SUSPENDED, &FThreadId));
  if (!FHandle.Valid()) {
    throw EOutOfResources("Thread creation error");
  }
}

TThread::~TThread()
{
  if (FStarted) {
    TerminateAndWait();
  } else {
    FCancelled = true;
    ResumeThread(FHandle.Get());
    WaitForSingleObject(FHandle.Get(), INFINITE);
  }
}

void TThread::AfterConstruction()
{
  if (!FCreateSuspended) {
    Start();
  }
}

void TThread::Start()
{
  if (!FStarted) {
    FStarted = true;
    ResumeThread(FHandle.Get());
  }
}

DWORD TThread::Run(void* self)
{
  auto* thread = static_cast<TThread*>(self);
  if (thread->FCancelled) {
    return 0;
  }
  try {
    thread->Execute();
  } catch (...) {
    thread->FFatalException = std::current_exception();
  }
  if (thread->OnTerminate) {
    try {
      Synchronize([thread] { thread->OnTerminate(thread); });
    } catch (...) {
      if (!thread->FFatalException) {
        thread->FFatalException = std::current_exception();
      }
    }
  }
  // The object may go as soon as Finished is seen, so nothing of it is touched afterwards.
  const DWORD result = thread->ReturnValue;
  thread->FFinished = true;
  return result;
}

DWORD TThread::WaitFor()
{
  if (GetCurrentThreadId() == mainThreadId) {
    // Keeps serving Synchronize (sent messages) while waiting, or the two threads would wait
    // for each other.
    const HANDLE handle = FHandle.Get();
    while (MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
      MSG message{};
      PeekMessageA(&message, nullptr, WM_NULL, WM_NULL, PM_NOREMOVE);
    }
  } else {
    WaitForSingleObject(FHandle.Get(), INFINITE);
  }
  DWORD result = 0;
  GetExitCodeThread(FHandle.Get(), &result);
  return result;
}

void TThread::TerminateAndWait()
{
  if (FStarted) {
    Terminate();
    WaitFor();
  }
}

void TThread::SetPriority(TThreadPriority priority)
{
  FPriority = priority;
  SetThreadPriority(FHandle.Get(), PriorityValue(priority));
}

void TThread::Synchronize(const std::function<void()>& method)
{
  if (GetCurrentThreadId() == mainThreadId) {
    method();
    return;
  }
  const HWND window = SyncWindow(false);
  TSyncCall call{&method, nullptr};
  DWORD_PTR ignored = 0;
  if (window == nullptr || SendMessageTimeoutA(window, SynchronizeMessage, 0, reinterpret_cast<LPARAM>(&call),
                                               SMTO_NORMAL, INFINITE, &ignored) == 0) {
    throw Exception("Synchronize: the main thread has no message queue");
  }
  if (call.Error) {
    std::rethrow_exception(call.Error);
  }
}

DWORD TThread::MainThreadID() noexcept
{
  return mainThreadId;
}
