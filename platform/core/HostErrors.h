#pragma once
// Translation of the host's errno values into the Win32 error codes the units look at.
// Internal to the platform layer.

#include "platform/core/WinTypes.h"

DWORD Win32ErrorFromErrno(int error) noexcept;

// Sets the last error from errno (or from `error`) and returns FALSE, for one-line failure paths.
BOOL FailWithErrno() noexcept;
BOOL FailWithErrno(int error) noexcept;
BOOL FailWith(DWORD errorCode) noexcept;
