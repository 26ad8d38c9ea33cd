#include "rtl/FileStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "rtl/Exception.h"

// On the C library until the platform layer's files carry the share modes.

TFileStream::TFileStream(const std::string& fileName, std::uint16_t mode) : FFileName(fileName)
{
  if (mode == fmCreate) {
    FHandle = ::open(fileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (FHandle < 0) {
      throw EFCreateError("Cannot create file \"" + fileName + "\". " + std::strerror(errno));
    }
    return;
  }
  int flags = O_RDONLY;
  switch (mode & 0x0F) {
    case fmOpenWrite:
      flags = O_WRONLY;
      break;
    case fmOpenReadWrite:
      flags = O_RDWR;
      break;
    default:
      break;
  }
  FHandle = ::open(fileName.c_str(), flags | O_CLOEXEC);
  if (FHandle < 0) {
    throw EFOpenError("Cannot open file \"" + fileName + "\". " + std::strerror(errno));
  }
}

TFileStream::~TFileStream()
{
  if (FHandle >= 0) {
    ::close(FHandle);
  }
}

std::int64_t TFileStream::Read(void* buffer, std::int64_t count)
{
  std::int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::read(FHandle, static_cast<char*>(buffer) + done, static_cast<std::size_t>(count - done));
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      break;
    }
    done += n;
  }
  return done;
}

std::int64_t TFileStream::Write(const void* buffer, std::int64_t count)
{
  std::int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(FHandle, static_cast<const char*>(buffer) + done, static_cast<std::size_t>(count - done));
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      break;
    }
    done += n;
  }
  return done;
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin)
{
  int whence = SEEK_SET;
  if (origin == TSeekOrigin::soCurrent) {
    whence = SEEK_CUR;
  } else if (origin == TSeekOrigin::soEnd) {
    whence = SEEK_END;
  }
  const off_t position = ::lseek(FHandle, offset, whence);
  return position < 0 ? -1 : position;
}

void TFileStream::SetSize(std::int64_t newSize)
{
  if (::ftruncate(FHandle, newSize) != 0) {
    throw EWriteError("Stream write error");
  }
  if (Position() > newSize) {
    Seek(newSize, TSeekOrigin::soBeginning);
  }
}

void TFileStream::Flush()
{
  if (::fsync(FHandle) != 0) {
    throw EWriteError("Stream write error");
  }
}
