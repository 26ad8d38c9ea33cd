#pragma once
// Failures of platform calls as exceptions: EOSError carries the Win32 error code and the
// system's text for it.

#include <string>

#include "platform/core/WinTypes.h"
#include "rtl/Exception.h"

class EOSError : public Exception {
 public:
  EOSError(std::string message, DWORD errorCode) : Exception(std::move(message)), FErrorCode(errorCode) {}
  DWORD ErrorCode() const noexcept { return FErrorCode; }

 private:
  DWORD FErrorCode;
};

// Raises EOSError for the code: "System Error.  Code: 8.\n" and the system's text, or "A call to
// an OS function failed" when the code is 0 (a failure that set no code).
[[noreturn]] void RaiseLastOSError(DWORD errorCode);
// The same for the calling thread's GetLastError().
[[noreturn]] void RaiseLastOSError();
