#pragma once
// Named and unnamed mutexes and events, shared across the processes of one machine.
//
// A name (any bytes, "/" included, up to 2048 bytes) lives in the machine's namespace of
// kernel objects; an empty or null name makes a private object. An object exists while any
// process holds a handle to it and disappears when the last holder closes it or dies, crash
// included. Creating an object that exists opens it and sets ERROR_ALREADY_EXISTS as the last
// error (ERROR_SUCCESS otherwise); a name that belongs to an object of another kind fails with
// ERROR_INVALID_HANDLE. Handles are closed with CloseHandle and waited on with
// WaitForSingleObject (Handles.h), whose time-outs are honoured (0 polls).

#include "platform/core/Handles.h"
#include "platform/core/WinTypes.h"

constexpr DWORD SYNCHRONIZE = 0x00100000;
constexpr DWORD MUTEX_MODIFY_STATE = 0x0001;
constexpr DWORD MUTEX_ALL_ACCESS = 0x001F0001;
constexpr DWORD EVENT_MODIFY_STATE = 0x0002;
constexpr DWORD EVENT_ALL_ACCESS = 0x001F0003;

// A mutex is owned by a thread; its owner may wait on it again (each wait counted, each
// ReleaseMutex undoing one). A wait that acquires a mutex whose owning thread ended, or whose
// process died, while holding it returns WAIT_ABANDONED and owns the mutex.
// initialOwner gives the calling thread ownership only when the mutex is created by this call.
HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, const char* name);
// Null with ERROR_FILE_NOT_FOUND when no such mutex exists.
HANDLE OpenMutexA(DWORD desiredAccess, BOOL inheritHandle, const char* name);
// Fails with ERROR_NOT_OWNER when the calling thread does not own the mutex.
BOOL ReleaseMutex(HANDLE mutex);

// A manual-reset event stays signalled until ResetEvent; an auto-reset event lets exactly one
// wait through and resets itself.
HANDLE CreateEventA(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, const char* name);
HANDLE OpenEventA(DWORD desiredAccess, BOOL inheritHandle, const char* name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
