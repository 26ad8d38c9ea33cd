// The layer's one whole-file writer: what a reader can see of the target while and after it is
// replaced, and what is left behind when a step fails.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/files/FileDescriptor.h"
#include "platform/files/ReplaceFile.h"
#include "tests/support/TempFolder.h"

namespace {

std::string Content(const std::filesystem::path& path)
{
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> Names(const std::filesystem::path& folder)
{
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

mode_t ModeOf(const std::filesystem::path& path)
{
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0);
  return st.st_mode & 07777;
}

TEST(ReplaceHostFile, MakesAndReplacesTheTargetWithExactlyTheBytesAndMode)
{
  const TTempFolder folder;
  const auto target = folder.Path() / "record";
  EXPECT_EQ(ReplaceHostFile(target, std::string_view("first\n")), 0);
  EXPECT_EQ(Content(target), "first\n");
  EXPECT_EQ(ModeOf(target), 0644u);

  const std::string binary("a\0b\xff", 4);
  EXPECT_EQ(ReplaceHostFile(target, binary, TReplaceOptions{.Mode = 0600}), 0);
  EXPECT_EQ(Content(target), binary);
  EXPECT_EQ(ModeOf(target), 0600u);

  // Bits the umask would cut, and an empty file.
  EXPECT_EQ(ReplaceHostFile(target, std::string_view(), TReplaceOptions{.Mode = 0666}), 0);
  EXPECT_EQ(Content(target), "");
  EXPECT_EQ(ModeOf(target), 0666u);
  EXPECT_EQ(Names(folder.Path()), std::vector<std::string>{"record"});
}

TEST(ReplaceHostFile, AFailedWriteLeavesTheTargetAndNoTemporary)
{
  const TTempFolder folder;
  const auto target = folder.WriteFile("record", "old");
  const int error = ReplaceHostFile(target, [](int fd) {
    ::write(fd, "half", 4);
    errno = ENOSPC;
    return false;
  });
  EXPECT_EQ(error, ENOSPC);
  EXPECT_EQ(Content(target), "old");
  EXPECT_EQ(Names(folder.Path()), std::vector<std::string>{"record"});

  // A writer that fails without saying why is still a failure.
  EXPECT_EQ(ReplaceHostFile(target,
                            [](int) {
                              errno = 0;
                              return false;
                            }),
            EIO);
  EXPECT_EQ(Content(target), "old");
}

TEST(ReplaceHostFile, AFolderThatIsNotThereFailsAndMakesNothing)
{
  const TTempFolder folder;
  EXPECT_EQ(ReplaceHostFile(folder.Path() / "missing" / "record", std::string_view("x")), ENOENT);
  EXPECT_TRUE(Names(folder.Path()).empty());
}

TEST(ReplaceHostFile, KeepExistingRefusesATargetThatIsThereAndOnlyThen)
{
  const TTempFolder folder;
  const auto target = folder.Path() / "copy";
  const TReplaceOptions keep{.KeepExisting = true};
  EXPECT_EQ(ReplaceHostFile(target, std::string_view("new"), keep), 0);
  EXPECT_EQ(ReplaceHostFile(target, std::string_view("newer"), keep), EEXIST);
  EXPECT_EQ(Content(target), "new");
  EXPECT_EQ(Names(folder.Path()), std::vector<std::string>{"copy"});
}

TEST(ReplaceHostFile, WritersOnSeveralThreadsNeverMixTheirContent)
{
  const TTempFolder folder;
  const auto target = folder.Path() / "table";
  // Large enough that two writers sharing one temporary would interleave their writes.
  const std::string a(1 << 20, 'a');
  const std::string b(1 << 20, 'b');
  std::vector<std::thread> writers;
  std::vector<int> results(8, -1);
  for (std::size_t i = 0; i < results.size(); ++i) {
    writers.emplace_back([&, i] { results[i] = ReplaceHostFile(target, i % 2 == 0 ? a : b); });
  }
  for (auto& writer : writers) {
    writer.join();
  }
  for (const int result : results) {
    EXPECT_EQ(result, 0);
  }
  const std::string left = Content(target);
  EXPECT_TRUE(left == a || left == b);
  EXPECT_EQ(Names(folder.Path()), std::vector<std::string>{"table"});
}

TEST(WriteAllTo, AFullDeviceIsReportedAsNoSpace)
{
  const TFileDescriptor full(::open("/dev/full", O_WRONLY | O_CLOEXEC));
  if (!full.Valid()) {
    GTEST_SKIP() << "no /dev/full";
  }
  errno = 0;
  EXPECT_FALSE(WriteAllTo(full.Get(), "bytes"));
  EXPECT_EQ(errno, ENOSPC);
  // Nothing to write succeeds without touching the descriptor.
  EXPECT_TRUE(WriteAllTo(full.Get(), ""));
}

}  // namespace
