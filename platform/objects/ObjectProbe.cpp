#include "platform/objects/ObjectProbe.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/core/HostErrors.h"
#include "platform/core/LastError.h"
#include "platform/objects/NamedObjects.h"

namespace {

enum class THold { Held, Free, Unknown };

// Whether a process other than this look holds the file: every holder keeps a shared lock on
// it, so an exclusive lock is refused exactly while one exists. The lock taken to tell is
// dropped at once; the caller holds the namespace lock, so nobody opening or closing the
// object can see it meanwhile.
THold HoldOf(int file) noexcept
{
  for (;;) {
    if (flock(file, LOCK_EX | LOCK_NB) == 0) {
      flock(file, LOCK_UN);
      return THold::Free;
    }
    if (errno == EWOULDBLOCK) {
      return THold::Held;
    }
    if (errno != EINTR) {
      return THold::Unknown;
    }
  }
}

}  // namespace

TObjectProbe::TObjectProbe(std::string_view name) : FName(name) {}

bool TObjectProbe::Exists()
{
  if (FObject.Valid() && LockNamespace()) {
    const THold hold = HoldOf(FObject.Get());
    UnlockNamespace();
    if (hold == THold::Held) {
      return true;
    }
  }
  // Gone, or replaced by a newer object of the same name: the namespace tells which.
  FObject.Reset();
  return LookThroughNamespace();
}

bool TObjectProbe::LockNamespace()
{
  if (!FNamespace.Valid()) {
    if (FFolder.empty()) {
      FFolder = ObjectsFolder();
    }
    FNamespace.Reset(open(NamespaceLockPath(FFolder).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!FNamespace.Valid()) {
      SetLastError(Win32ErrorFromErrno(errno));
      return false;
    }
  }
  while (flock(FNamespace.Get(), LOCK_EX) != 0) {
    if (errno != EINTR) {
      SetLastError(Win32ErrorFromErrno(errno));
      return false;
    }
  }
  return true;
}

void TObjectProbe::UnlockNamespace()
{
  flock(FNamespace.Get(), LOCK_UN);
}

bool TObjectProbe::LookThroughNamespace()
{
  if (FName.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);  // unnamed objects cannot be found
    return false;
  }
  if (!LockNamespace()) {
    return true;
  }
  const std::filesystem::path path = FFolder / EscapeObjectName(FName);
  TFileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  bool exists = true;
  if (!file.Valid()) {
    exists = errno != ENOENT;
    SetLastError(exists ? Win32ErrorFromErrno(errno) : ERROR_FILE_NOT_FOUND);
  } else {
    switch (HoldOf(file.Get())) {
      case THold::Held:
        FObject = std::move(file);
        break;
      case THold::Free:
        // A leftover of holders that all died.
        unlink(path.c_str());
        exists = false;
        SetLastError(ERROR_FILE_NOT_FOUND);
        break;
      case THold::Unknown:
        SetLastError(Win32ErrorFromErrno(errno));
        break;
    }
  }
  UnlockNamespace();
  return exists;
}
