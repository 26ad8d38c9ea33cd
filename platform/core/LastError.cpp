#include "platform/core/LastError.h"

namespace {
// In the static TLS block even in a module loaded at run time (the audio component carries this
// layer too): a block the loader allocates on first use instead is one the leak checker of the
// test builds misreads at exit, crashing the process it checks.
[[gnu::tls_model("initial-exec")]] thread_local DWORD lastError = ERROR_SUCCESS;
}  // namespace

DWORD GetLastError() noexcept
{
  return lastError;
}

void SetLastError(DWORD errorCode) noexcept
{
  lastError = errorCode;
}
