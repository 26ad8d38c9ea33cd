#pragma once
// ReplaceHostFile: the one way the layer replaces a whole file of its own (the registry's hives,
// the registered-message table, the window and foreground records, screenshots, copies). The
// new content goes to a temporary file beside the target, named for this process and thread so
// two writers never share one; it is flushed to the disk and renamed over the target. A reader
// sees the old file or the new one, never part of either, and a crash or a full disk leaves the
// target as it was.

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string_view>

struct TReplaceOptions {
  // Permission bits of the new file.
  mode_t Mode = 0644;
  // Fails with EEXIST instead of replacing a target that exists.
  bool KeepExisting = false;
};

// Writes the content into the descriptor of the temporary file; false (with errno set) when it
// could not.
using TReplaceWriter = std::function<bool(int fd)>;

// 0 when the target holds what write wrote, else the errno of the step that failed (open, write,
// flush or rename); then the temporary is gone and the target untouched.
int ReplaceHostFile(const std::filesystem::path& target, const TReplaceWriter& write,
                    const TReplaceOptions& options = {});
// The same for content already in memory.
int ReplaceHostFile(const std::filesystem::path& target, std::string_view content,
                    const TReplaceOptions& options = {});

// Writes every byte, retrying short writes and interruptions; false with errno set (ENOSPC for a
// write that took nothing) when it could not.
bool WriteAllTo(int fd, std::string_view bytes) noexcept;
