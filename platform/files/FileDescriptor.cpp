#include "platform/files/FileDescriptor.h"

#include <unistd.h>

#include <cerrno>

void TFileDescriptor::Reset(int fd) noexcept
{
  if (FFd >= 0 && FFd != fd) {
    // Linux releases the descriptor even when close reports EINTR, so it is never retried; the
    // caller's errno (often the reason for dropping the descriptor) survives.
    const int error = errno;
    ::close(FFd);
    errno = error;
  }
  FFd = fd < 0 ? -1 : fd;
}
