#include "platform/files/detail/FileInfo.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "platform/files/Files.h"

DWORD AttributesOfMode(unsigned mode, std::string_view name) noexcept
{
  DWORD attributes = S_ISDIR(mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if ((mode & S_IWUSR) == 0) {
    attributes |= FILE_ATTRIBUTE_READONLY;
  }
  if (!name.empty() && name.front() == '.' && name != "." && name != "..") {
    attributes |= FILE_ATTRIBUTE_HIDDEN;
  }
  return attributes;
}

bool QueryHostFile(int dirFd, const char* path, std::string_view name, THostFileInfo& info)
{
  struct statx st {};
  const int flags = (*path == '\0') ? AT_EMPTY_PATH : 0;
  if (::statx(dirFd, path, flags, STATX_BASIC_STATS | STATX_BTIME, &st) != 0) {
    return false;
  }
  info.Attributes = AttributesOfMode(st.stx_mode, name);
  info.CreationTime = (st.stx_mask & STATX_BTIME) != 0
                          ? FileTimeFromUnix(st.stx_btime.tv_sec, st.stx_btime.tv_nsec)
                          : FILETIME{0, 0};
  info.LastAccessTime = FileTimeFromUnix(st.stx_atime.tv_sec, st.stx_atime.tv_nsec);
  info.LastWriteTime = FileTimeFromUnix(st.stx_mtime.tv_sec, st.stx_mtime.tv_nsec);
  info.Size = S_ISDIR(st.stx_mode) ? 0 : st.stx_size;
  info.FileIndex = st.stx_ino;
  info.Links = st.stx_nlink;
  info.Device = (static_cast<std::uint64_t>(st.stx_dev_major) << 32) | st.stx_dev_minor;
  return true;
}
