#include "platform/files/FileIdentity.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

#include "platform/core/HostErrors.h"
#include "platform/files/Paths.h"

namespace {

struct TFree {
  void operator()(char* text) const noexcept { std::free(text); }
};

}  // namespace

BOOL GetFinalPathA(const char* lpFileName, std::string& finalPath)
{
  std::string host;
  if (lpFileName == nullptr || !HostPathOf(lpFileName, host)) {
    return FALSE;
  }
  const std::unique_ptr<char, TFree> real(::realpath(host.c_str(), nullptr));
  if (!real) {
    return FailWithErrno();
  }
  finalPath = real.get();
  return TRUE;
}

BOOL CopyFileIdentityA(const char* lpSourceFileName, const char* lpTargetFileName)
{
  std::string source;
  std::string target;
  if (lpSourceFileName == nullptr || lpTargetFileName == nullptr || !HostPathOf(lpSourceFileName, source) ||
      !HostPathOf(lpTargetFileName, target)) {
    return FALSE;
  }
  struct stat original {};
  if (::stat(source.c_str(), &original) != 0) {
    return FailWithErrno();
  }
  // Owner first: changing it may clear set-id bits, which the mode then puts back.
  if (::chown(target.c_str(), original.st_uid, original.st_gid) != 0 && errno != EPERM) {
    return FailWithErrno();
  }
  if (::chmod(target.c_str(), original.st_mode & 07777) != 0) {
    return FailWithErrno();
  }
  return TRUE;
}
