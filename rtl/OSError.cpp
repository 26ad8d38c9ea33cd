#include "rtl/OSError.h"

#include "platform/core/LastError.h"
#include "rtl/FileUtils.h"

void RaiseLastOSError(DWORD errorCode)
{
  if (errorCode == ERROR_SUCCESS) {
    throw EOSError("A call to an OS function failed", errorCode);
  }
  throw EOSError("System Error.  Code: " + std::to_string(errorCode) + ".\n" + SysErrorMessage(errorCode),
                 errorCode);
}

void RaiseLastOSError()
{
  RaiseLastOSError(GetLastError());
}
