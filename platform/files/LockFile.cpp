#include "platform/files/LockFile.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

TLockFile::TLockFile(const std::filesystem::path& path, unsigned mode)
    : FFile(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, static_cast<mode_t>(mode)))
{
  if (!FFile.Valid()) {
    FError = errno;
    return;
  }
  while (::flock(FFile.Get(), LOCK_EX) != 0) {
    if (errno != EINTR) {
      FError = errno;
      FFile.Reset();
      return;
    }
  }
  FHeld = true;
}
