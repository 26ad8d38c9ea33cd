#pragma once
// TThread: a worker thread whose work is the derived class's Execute.
//
// Create a thread with TThread::New<T>(args...): the object is fully built before its thread
// may run Execute; with createSuspended it waits for Start. Execute polls Terminated() to stop
// early. An exception that leaves Execute is kept as FatalException() for the owner.
// Synchronize runs a function on the main thread (the process's first thread) through its
// message queue and returns when it has run, rethrowing what it raised; the main thread must be
// looking at its messages (a message loop, or WaitFor, which keeps serving Synchronize while
// it waits). OnTerminate runs on the main thread after Execute, through Synchronize.
//
// The destructor of a started thread terminates it and waits for it; a class whose Execute
// uses its own members must do that in its own destructor (call TerminateAndWait), since those
// members are gone by the time TThread's destructor runs.

#include <atomic>
#include <exception>
#include <functional>
#include <memory>

#include "platform/core/HandleOwner.h"
#include "platform/core/Handles.h"
#include "rtl/Method.h"
#include "rtl/Object.h"

enum class TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TThread : public TObject {
 public:
  ~TThread() override;
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  template <class T, class... Args>
  static std::unique_ptr<T> New(Args&&... args)
  {
    auto thread = std::make_unique<T>(std::forward<Args>(args)...);
    thread->AfterConstruction();
    return thread;
  }

  // Starts a thread created suspended; nothing when it already runs.
  void Start();
  void Resume() { Start(); }
  void Terminate() noexcept { FTerminated = true; }
  // Waits until Execute has returned and returns ReturnValue.
  DWORD WaitFor();
  void TerminateAndWait();

  bool Terminated() const noexcept { return FTerminated; }
  bool Finished() const noexcept { return FFinished; }
  bool Suspended() const noexcept { return !FStarted; }
  TThreadPriority Priority() const noexcept { return FPriority; }
  void SetPriority(TThreadPriority priority);
  DWORD ThreadID() const noexcept { return FThreadId; }
  HANDLE Handle() const noexcept { return FHandle.Get(); }
  std::exception_ptr FatalException() const noexcept { return FFatalException; }

  TNotifyEvent OnTerminate;

  // Runs method on the main thread and waits for it; on the main thread it just runs it.
  static void Synchronize(const std::function<void()>& method);

  // The main thread's id.
  static DWORD MainThreadID() noexcept;

 protected:
  explicit TThread(bool createSuspended);
  virtual void Execute() = 0;
  DWORD ReturnValue = 0;

 private:
  static DWORD Run(void* self);
  void AfterConstruction();

  THandleOwner FHandle;
  DWORD FThreadId = 0;
  bool FCreateSuspended;
  bool FStarted = false;
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FFinished{false};
  std::atomic<bool> FCancelled{false};  // the thread ends without running Execute
  TThreadPriority FPriority = TThreadPriority::tpNormal;
  std::exception_ptr FFatalException;
};
