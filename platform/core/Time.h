#pragma once
// Tick counts and sleeps.

#include "platform/core/WinTypes.h"

// Milliseconds since the system started, wrapping to 0 after about 49.7 days as Win32's does.
DWORD GetTickCount() noexcept;

void Sleep(DWORD milliseconds) noexcept;
