#pragma once
// TLockFile: a cross-process lock held as an exclusive flock on a file (created when missing).
// Waits while another process holds it; closing the file (the destructor, or the process's end,
// even a crash) releases it. The lock file itself stays, so a waiter never locks a file that a
// releasing holder has just unlinked.

#include <filesystem>

#include "platform/files/FileDescriptor.h"

class TLockFile {
 public:
  // Opens (creating with mode) and locks path. Interrupted waits are resumed; any other failure
  // leaves the lock not held with Error() the errno that ended it.
  TLockFile(const std::filesystem::path& path, unsigned mode);

  bool Held() const noexcept { return FHeld; }
  int Error() const noexcept { return FError; }

 private:
  TFileDescriptor FFile;
  bool FHeld = false;
  int FError = 0;
};
