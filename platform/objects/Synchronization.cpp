#include "platform/objects/Synchronization.h"

#include <errno.h>
#include <linux/futex.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>
#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

#include <atomic>
#include <climits>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <string_view>

#include "platform/core/LastError.h"
#include "platform/core/Time.h"
#include "platform/objects/NamedEventWords.h"
#include "platform/objects/NamedObjects.h"

namespace {

// pthread_mutex_clocklock, which the thread sanitizer of this compiler does not intercept: it is
// told of the lock itself, else it would take the matching unlock for one of a mutex never
// locked.
int ClockLock(pthread_mutex_t* mutex, const timespec& deadline)
{
#if defined(__SANITIZE_THREAD__)
  __tsan_mutex_pre_lock(mutex, __tsan_mutex_try_lock);
  const int result = pthread_mutex_clocklock(mutex, CLOCK_MONOTONIC, &deadline);
  const bool locked = result == 0 || result == EOWNERDEAD;
  __tsan_mutex_post_lock(mutex, locked ? __tsan_mutex_try_lock : __tsan_mutex_try_lock_failed, 0);
  return result;
#else
  return pthread_mutex_clocklock(mutex, CLOCK_MONOTONIC, &deadline);
#endif
}

// A mutex's shared state: a robust, recursive, process-shared pthread mutex (the system marks
// it when its owner thread ends holding it, which is our WAIT_ABANDONED) and the owner's ids,
// kept so that a process knows whether one of its own threads still owns the mutex.
struct TMutexState {
  pthread_mutex_t Mutex;
  std::atomic<std::int32_t> OwnerProcess;
  std::atomic<std::int32_t> OwnerThread;
  std::atomic<std::int32_t> Count;
};
static_assert(sizeof(TMutexState) <= sizeof(TSectionHeader::State));

// An event's shared state: the signalled word is also the futex the waiters sleep on.
struct TEventState {
  std::atomic<std::uint32_t> Signalled;
  std::uint32_t ManualReset;
};
static_assert(sizeof(TEventState) <= sizeof(TSectionHeader::State));
static_assert(std::atomic<std::uint32_t>::is_always_lock_free);

template <class T>
T& StateOf(TSectionHeader& header)
{
  return *reinterpret_cast<T*>(header.State);
}

void InitialiseMutex(TSectionHeader& header)
{
  auto* state = new (header.State) TMutexState{};
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED);
  pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST);
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(&state->Mutex, &attributes);
  pthread_mutexattr_destroy(&attributes);
}

// The calling thread's ids, asked on every acquisition and release of a mutex: the system calls
// are paid once per thread, and once more in a forked child, whose only thread has new ids.
struct TCallerIds {
  std::int32_t Process = 0;
  std::int32_t Thread = 0;
};
thread_local TCallerIds callerIds;

void ForgetIdsInChild() noexcept
{
  callerIds = TCallerIds{};
}

const TCallerIds& CallerIds() noexcept
{
  if (callerIds.Thread == 0) {
    [[maybe_unused]] static const int registered = pthread_atfork(nullptr, nullptr, ForgetIdsInChild);
    callerIds.Process = static_cast<std::int32_t>(getpid());
    callerIds.Thread = static_cast<std::int32_t>(syscall(SYS_gettid));
  }
  return callerIds;
}

std::int32_t ThreadId() noexcept
{
  return CallerIds().Thread;
}

std::int32_t ProcessId() noexcept
{
  return CallerIds().Process;
}

timespec MonotonicDeadline(DWORD milliseconds) noexcept
{
  timespec deadline{};
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += static_cast<time_t>(milliseconds / 1000);
  deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  return deadline;
}

// Milliseconds left until deadline, 0 when it has passed.
timespec Remaining(const timespec& deadline) noexcept
{
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  timespec left{deadline.tv_sec - now.tv_sec, deadline.tv_nsec - now.tv_nsec};
  if (left.tv_nsec < 0) {
    left.tv_sec -= 1;
    left.tv_nsec += 1000000000L;
  }
  if (left.tv_sec < 0) {
    return timespec{0, 0};
  }
  return left;
}

class TMutexObject : public TKernelObject {
 public:
  explicit TMutexObject(std::shared_ptr<TNamedSection> section) : FSection(std::move(section)) {}

  ~TMutexObject() override
  {
    if (FSection.use_count() == 1 && State().OwnerProcess.load() == ProcessId()) {
      FSection->KeepForProcessLifetime();
    }
  }

  DWORD Wait(DWORD milliseconds) override
  {
    int result = 0;
    if (milliseconds == INFINITE) {
      result = pthread_mutex_lock(&State().Mutex);
    } else if (milliseconds == 0) {
      result = pthread_mutex_trylock(&State().Mutex);
    } else {
      const timespec deadline = MonotonicDeadline(milliseconds);
      result = ClockLock(&State().Mutex, deadline);
    }
    switch (result) {
      case 0:
        Acquired();
        return WAIT_OBJECT_0;
      case EOWNERDEAD:
        pthread_mutex_consistent(&State().Mutex);
        State().Count.store(0);
        Acquired();
        return WAIT_ABANDONED;
      case EBUSY:
      case ETIMEDOUT:
        return WAIT_TIMEOUT;
      default:
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
  }

  BOOL Release()
  {
    TMutexState& state = State();
    if (state.OwnerThread.load() != ThreadId() || state.OwnerProcess.load() != ProcessId()) {
      SetLastError(ERROR_NOT_OWNER);
      return FALSE;
    }
    if (state.Count.fetch_sub(1) == 1) {
      state.OwnerThread.store(0);
      state.OwnerProcess.store(0);
    }
    if (pthread_mutex_unlock(&state.Mutex) != 0) {
      SetLastError(ERROR_NOT_OWNER);
      return FALSE;
    }
    AnnounceKernelObjectChange();
    return TRUE;
  }

  // An owner that ends without releasing frees the mutex unannounced.
  bool ChangedElsewhere() const noexcept override { return true; }

 private:
  TMutexState& State() const { return StateOf<TMutexState>(FSection->Header()); }

  void Acquired()
  {
    TMutexState& state = State();
    state.OwnerProcess.store(ProcessId());
    state.OwnerThread.store(ThreadId());
    state.Count.fetch_add(1);
  }

  std::shared_ptr<TNamedSection> FSection;
};

class TEventObject : public TKernelObject {
 public:
  explicit TEventObject(std::shared_ptr<TNamedSection> section) : FSection(std::move(section)) {}

  DWORD Wait(DWORD milliseconds) override
  {
    TEventState& state = State();
    const timespec deadline = MonotonicDeadline(milliseconds == INFINITE ? 0 : milliseconds);
    for (;;) {
      if (TryTake(state)) {
        return WAIT_OBJECT_0;
      }
      if (milliseconds == 0) {
        return WAIT_TIMEOUT;
      }
      timespec left = Remaining(deadline);
      if (milliseconds != INFINITE && left.tv_sec == 0 && left.tv_nsec == 0) {
        return WAIT_TIMEOUT;
      }
      syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&state.Signalled), FUTEX_WAIT, 0U,
              milliseconds == INFINITE ? nullptr : &left, nullptr, 0);
    }
  }

  void Set()
  {
    State().Signalled.store(1);
    syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&State().Signalled), FUTEX_WAKE, INT_MAX, nullptr,
            nullptr, 0);
    AnnounceKernelObjectChange();
  }

  bool ChangedElsewhere() const noexcept override { return FSection->Named(); }
  const std::atomic<std::uint32_t>* Word() const noexcept { return &State().Signalled; }

  void Reset() { State().Signalled.store(0); }

 private:
  TEventState& State() const { return StateOf<TEventState>(FSection->Header()); }

  static bool TryTake(TEventState& state)
  {
    if (state.ManualReset != 0) {
      return state.Signalled.load() != 0;
    }
    std::uint32_t expected = 1;
    return state.Signalled.compare_exchange_strong(expected, 0);
  }

  std::shared_ptr<TNamedSection> FSection;
};

std::string_view NameOf(const char* name)
{
  return name == nullptr ? std::string_view() : std::string_view(name);
}

// Creates or opens; reports ERROR_ALREADY_EXISTS / ERROR_SUCCESS as Win32 does.
template <class TObject>
HANDLE CreateNamed(const char* name, TObjectKind kind, const std::function<void(TSectionHeader&)>& initialise,
                   bool& existed)
{
  auto section = TNamedSection::Open(NameOf(name), kind, TOpenMode::CreateOrOpen, 0, existed, initialise);
  if (!section) {
    return nullptr;
  }
  HANDLE handle = RegisterHandle(std::make_shared<TObject>(std::move(section)));
  SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

template <class TObject>
HANDLE OpenNamed(const char* name, TObjectKind kind)
{
  bool existed = false;
  auto section = TNamedSection::Open(NameOf(name), kind, TOpenMode::OpenExisting, 0, existed, nullptr);
  if (!section) {
    return nullptr;
  }
  return RegisterHandle(std::make_shared<TObject>(std::move(section)));
}

}  // namespace

const std::atomic<std::uint32_t>* NamedEventWord(const TKernelObject& object, std::uint32_t& unchanged)
{
  unchanged = 0;
  const auto* event = dynamic_cast<const TEventObject*>(&object);
  return event != nullptr && event->ChangedElsewhere() ? event->Word() : nullptr;
}

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL initialOwner, const char* name)
{
  bool existed = false;
  HANDLE handle = CreateNamed<TMutexObject>(name, TObjectKind::Mutex, InitialiseMutex, existed);
  if (handle != nullptr && initialOwner != FALSE && !existed) {
    WaitForSingleObject(handle, INFINITE);
    SetLastError(ERROR_SUCCESS);
  }
  return handle;
}

HANDLE OpenMutexA(DWORD, BOOL, const char* name)
{
  return OpenNamed<TMutexObject>(name, TObjectKind::Mutex);
}

BOOL ReleaseMutex(HANDLE mutex)
{
  const auto object = LookupHandleAs<TMutexObject>(mutex);
  return object ? object->Release() : FALSE;
}

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, const char* name)
{
  const auto initialise = [manualReset, initialState](TSectionHeader& header) {
    auto* state = new (header.State) TEventState{};
    state->ManualReset = manualReset != FALSE ? 1 : 0;
    state->Signalled.store(initialState != FALSE ? 1 : 0);
  };
  bool existed = false;
  return CreateNamed<TEventObject>(name, TObjectKind::Event, initialise, existed);
}

HANDLE OpenEventA(DWORD, BOOL, const char* name)
{
  return OpenNamed<TEventObject>(name, TObjectKind::Event);
}

BOOL SetEvent(HANDLE event)
{
  const auto object = LookupHandleAs<TEventObject>(event);
  if (!object) {
    return FALSE;
  }
  object->Set();
  return TRUE;
}

BOOL ResetEvent(HANDLE event)
{
  const auto object = LookupHandleAs<TEventObject>(event);
  if (!object) {
    return FALSE;
  }
  object->Reset();
  return TRUE;
}
