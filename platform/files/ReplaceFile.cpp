#include "platform/files/ReplaceFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/files/FileDescriptor.h"

namespace {

std::filesystem::path TemporaryBeside(const std::filesystem::path& target)
{
  const auto thread = static_cast<long>(::syscall(SYS_gettid));
  return target.string() + "." + std::to_string(::getpid()) + "-" + std::to_string(thread) + ".tmp";
}

// Keeps the first failure's errno across the clean-up that follows it.
int Discard(const std::filesystem::path& temporary, int error) noexcept
{
  ::unlink(temporary.c_str());
  return error != 0 ? error : EIO;
}

}  // namespace

bool WriteAllTo(int fd, std::string_view bytes) noexcept
{
  while (!bytes.empty()) {
    const ssize_t put = ::write(fd, bytes.data(), bytes.size());
    if (put < 0 && errno == EINTR) {
      continue;
    }
    if (put <= 0) {
      if (put == 0) {
        errno = ENOSPC;
      }
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
  return true;
}

int ReplaceHostFile(const std::filesystem::path& target, const TReplaceWriter& write,
                    const TReplaceOptions& options)
{
  const std::filesystem::path temporary = TemporaryBeside(target);
  {
    const TFileDescriptor out(
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, options.Mode));
    if (!out.Valid()) {
      return errno != 0 ? errno : EIO;
    }
    // The mode given to open is cut by the umask; the copy of a file keeps its bits exactly.
    if (::fchmod(out.Get(), options.Mode) != 0) {
      return Discard(temporary, errno);
    }
    errno = 0;
    if (!write(out.Get())) {
      return Discard(temporary, errno);
    }
    if (::fsync(out.Get()) != 0) {
      return Discard(temporary, errno);
    }
  }
  int renamed = options.KeepExisting
                    ? ::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE)
                    : ::rename(temporary.c_str(), target.c_str());
  if (renamed != 0 && options.KeepExisting && errno == EINVAL) {
    // A file system without RENAME_NOREPLACE: a link fails on an existing name just the same.
    renamed = ::link(temporary.c_str(), target.c_str());
    if (renamed == 0) {
      ::unlink(temporary.c_str());
    }
  }
  if (renamed != 0) {
    return Discard(temporary, errno);
  }
  return 0;
}

int ReplaceHostFile(const std::filesystem::path& target, std::string_view content,
                    const TReplaceOptions& options)
{
  return ReplaceHostFile(
      target, [content](int fd) { return WriteAllTo(fd, content); }, options);
}
