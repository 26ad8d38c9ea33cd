#pragma once
// The floor of the walk benchmarks: counts music-sized files the cheapest way (readdir, one
// fstatat per entry, recursion by descriptor), with none of the platform layer in between.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string_view>

inline int PlainWalk(int parent, const char* name)
{
  const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    return 0;
  }
  DIR* dir = ::fdopendir(fd);
  if (dir == nullptr) {
    ::close(fd);
    return 0;
  }
  int found = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view entryName(entry->d_name);
    if (entryName == "." || entryName == "..") {
      continue;
    }
    struct stat info {};
    if (::fstatat(::dirfd(dir), entry->d_name, &info, 0) != 0) {
      continue;
    }
    if (S_ISDIR(info.st_mode)) {
      found += PlainWalk(::dirfd(dir), entry->d_name);
    } else if (info.st_size >= 128) {
      ++found;
    }
  }
  ::closedir(dir);
  return found;
}
