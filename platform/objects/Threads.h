#pragma once
// Threads as kernel objects: a thread handle is waited on with WaitForSingleObject (signalled
// when the thread has ended) and closed with CloseHandle; closing it does not stop the thread.

#include <cstddef>

#include "platform/core/Handles.h"
#include "platform/core/WinTypes.h"

using LPTHREAD_START_ROUTINE = DWORD (*)(void*);

constexpr DWORD CREATE_SUSPENDED = 0x00000004;

constexpr int THREAD_PRIORITY_IDLE = -15;
constexpr int THREAD_PRIORITY_LOWEST = -2;
constexpr int THREAD_PRIORITY_BELOW_NORMAL = -1;
constexpr int THREAD_PRIORITY_NORMAL = 0;
constexpr int THREAD_PRIORITY_ABOVE_NORMAL = 1;
constexpr int THREAD_PRIORITY_HIGHEST = 2;
constexpr int THREAD_PRIORITY_TIME_CRITICAL = 15;
constexpr int THREAD_PRIORITY_ERROR_RETURN = 0x7FFFFFFF;

// Starts start(parameter) on a new thread, or prepares it to start on ResumeThread with
// CREATE_SUSPENDED. threadId receives its id when not null.
HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, std::size_t stackSize, LPTHREAD_START_ROUTINE start,
                    void* parameter, DWORD creationFlags, DWORD* threadId);
// Starts a thread created suspended. Returns the previous suspend count (1 when it was
// suspended, 0 when it was running), 0xFFFFFFFF for a bad handle.
DWORD ResumeThread(HANDLE thread);
// The priority is mapped onto the host's per-thread nice value, as far as the host lets an
// unprivileged process go (lower priorities always; higher ones stay at normal when refused).
// GetThreadPriority returns the priority last set.
BOOL SetThreadPriority(HANDLE thread, int priority);
int GetThreadPriority(HANDLE thread);
// STILL_ACTIVE (259) while the thread runs, else its start routine's result.
BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode);
DWORD GetCurrentThreadId();
// The same, without the Win32 call's bookkeeping: read once per thread.
DWORD CurrentThreadId() noexcept;
// Runs on a thread made by CreateThread as its start routine returns, before anyone sees the
// thread ended: the window table (a library above this one) ends the thread's windows and queue
// there. Set by the first thread that makes a message queue; one handler for the process.
void SetThreadEndHandler(void (*handler)()) noexcept;
