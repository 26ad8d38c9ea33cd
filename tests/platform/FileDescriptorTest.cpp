// The descriptor owner and the lock file every cross-process writer of the layer takes.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <thread>

#include "platform/files/FileDescriptor.h"
#include "platform/files/LockFile.h"
#include "tests/support/TempFolder.h"

namespace {

bool IsOpen(int fd)
{
  return ::fcntl(fd, F_GETFD) != -1;
}

TEST(FileDescriptor, ClosesWhatItOwnsExactlyOnce)
{
  int raw = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(raw, 0);
  {
    TFileDescriptor first(raw);
    TFileDescriptor second(std::move(first));
    EXPECT_FALSE(first.Valid());
    EXPECT_EQ(second.Get(), raw);
    TFileDescriptor third;
    third = std::move(second);
    EXPECT_EQ(third.Get(), raw);
    EXPECT_TRUE(IsOpen(raw));
  }
  EXPECT_FALSE(IsOpen(raw));

  raw = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  const int released = TFileDescriptor(raw).Release();
  EXPECT_TRUE(IsOpen(released));
  ::close(released);
}

TEST(FileDescriptor, ResetClosesTheOldOneAndKeepsTheCallersErrno)
{
  const int old = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  TFileDescriptor fd(old);
  errno = ENOSPC;
  fd.Reset(::open("/nonexistent/file", O_RDONLY | O_CLOEXEC));
  EXPECT_EQ(errno, ENOENT);
  EXPECT_FALSE(fd.Valid());
  EXPECT_FALSE(IsOpen(old));
  EXPECT_EQ(TFileDescriptor(-5).Get(), -1);
}

TEST(LockFile, OneHolderAtATimeAndTheNextTakesItOnRelease)
{
  const TTempFolder folder;
  const auto path = folder.Path() / "test.lock";
  auto holder = std::make_unique<TLockFile>(path, 0600);
  ASSERT_TRUE(holder->Held());
  std::atomic<bool> taken{false};
  std::thread waiter([&] {
    const TLockFile second(path, 0600);
    taken = second.Held();
  });
  // While held, an attempt that must not wait is refused: the waiter is still outside.
  const TFileDescriptor probe(::open(path.c_str(), O_RDWR | O_CLOEXEC));
  EXPECT_NE(::flock(probe.Get(), LOCK_EX | LOCK_NB), 0);
  holder.reset();
  waiter.join();
  EXPECT_TRUE(taken.load());
  EXPECT_TRUE(std::filesystem::exists(path));
}

TEST(LockFile, AFileThatCannotBeMadeIsNotHeldAndSaysWhy)
{
  const TTempFolder folder;
  const TLockFile lock(folder.Path() / "missing" / "test.lock", 0600);
  EXPECT_FALSE(lock.Held());
  EXPECT_EQ(lock.Error(), ENOENT);
}

}  // namespace
