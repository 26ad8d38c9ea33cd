#pragma once
// The console of a command-line program: its standard handles as far as asking whether one is
// a terminal, and the Ctrl+C handlers. A handler runs on a thread of its own, as on Windows:
// the handlers are called, last added first, until one returns TRUE; when none does, the
// process ends as an unhandled interrupt ends it.

#include "platform/core/Handles.h"
#include "platform/core/WinTypes.h"

constexpr DWORD STD_INPUT_HANDLE = static_cast<DWORD>(-10);
constexpr DWORD STD_OUTPUT_HANDLE = static_cast<DWORD>(-11);
constexpr DWORD STD_ERROR_HANDLE = static_cast<DWORD>(-12);

constexpr DWORD CTRL_C_EVENT = 0;

using PHANDLER_ROUTINE = BOOL (*)(DWORD ctrlType);

// A pseudo handle that only GetConsoleMode understands; INVALID_HANDLE_VALUE for another number.
HANDLE GetStdHandle(DWORD nStdHandle);
// Succeeds (with mode 0) only for a standard handle that is a terminal.
BOOL GetConsoleMode(HANDLE hConsoleHandle, DWORD* lpMode);
// Adds or removes a handler; a null handler with add TRUE makes the process ignore Ctrl+C.
BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handlerRoutine, BOOL add);
