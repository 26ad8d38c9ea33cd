#pragma once
// The few file operations the library needs on its directory, by Windows path. Internal to
// library/.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "platform/core/HandleOwner.h"
#include "platform/core/Handles.h"
#include "platform/core/WinTypes.h"

// The whole content of a file, or "" when it cannot be read or is longer than maxSize.
std::string ReadSmallFile(const std::string& fileName, std::size_t maxSize);
// Replaces a file's content all at once: written beside it under a temporary name and renamed
// over it, so a crash or a full disk leaves the old content or the new, never a part. False on
// any failure (the temporary file is removed again).
bool ReplaceFileContent(const std::string& fileName, std::string_view content);
// Writes content over the start of an existing file and cuts it there, in place: for a file of a
// few bytes that must change when no new file can be made (a full disk). False on any failure.
bool OverwriteFileContent(const std::string& fileName, std::string_view content);
// Creates a folder with its missing parents; true when it exists afterwards.
bool ForceFolder(const std::string& folder);
// Deletes every file of folder (which ends with a backslash) whose name matches mask, hidden
// ones included; folders are left alone. False as soon as one deletion fails.
bool DeleteMatchingFiles(const std::string& folder, const std::string& mask);

// An inter-process lock: a file held open without sharing, so no other open of it succeeds (in
// this process or another) while it is held, and the system lets go of it when the holder ends,
// a crash included. The file stays when the lock is released, so a waiter never takes a file that
// is about to go.
class TFileLock {
 public:
  // Takes the lock of fileName (created when missing), trying again every few milliseconds while
  // another holds it, for up to waitMs. Null when it cannot be had: error is then
  // ERROR_SHARING_VIOLATION (still held by another) or why the file cannot be opened.
  static std::unique_ptr<TFileLock> Take(const std::string& fileName, std::uint32_t waitMs, DWORD& error);
  ~TFileLock();
  TFileLock(const TFileLock&) = delete;
  TFileLock& operator=(const TFileLock&) = delete;

 private:
  explicit TFileLock(THandleOwner handle) noexcept : FHandle(std::move(handle)) {}
  THandleOwner FHandle;
};
