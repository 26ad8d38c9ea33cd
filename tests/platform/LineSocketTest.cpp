#include "platform/objects/LineSocket.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "tests/support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A listening socket at path and the one client it accepted.
class TListener {
 public:
  explicit TListener(const std::string& path)
  {
    FListener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    EXPECT_EQ(bind(FListener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0) << path;
    EXPECT_EQ(listen(FListener, 1), 0);
  }
  ~TListener()
  {
    Hang();
    close(FListener);
  }
  TListener(const TListener&) = delete;
  TListener& operator=(const TListener&) = delete;

  void Accept() { FClient = accept(FListener, nullptr, nullptr); }
  void Send(const std::string& text) const
  {
    ASSERT_EQ(write(FClient, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  void Hang()
  {
    if (FClient >= 0) {
      close(FClient);
      FClient = -1;
    }
  }

 private:
  int FListener = -1;
  int FClient = -1;
};

class TLineSocketTest : public ::testing::Test {
 protected:
  std::string SocketPath() const { return (Folder.Path() / "daemon").string(); }
  TTempFolder Folder;
};

TEST_F(TLineSocketTest, NoDaemonAndUnusablePathsGiveNothing)
{
  EXPECT_FALSE(TLineSocket::Connect(SocketPath()).has_value());
  EXPECT_FALSE(TLineSocket::Connect("").has_value());
  EXPECT_FALSE(TLineSocket::Connect(std::string("a\0b", 3)).has_value());
  // A Unix socket's path has room for 107 bytes and its terminating zero.
  const std::string tooLong = "/" + std::string(sizeof(sockaddr_un::sun_path) - 1, 'x');
  EXPECT_FALSE(TLineSocket::Connect(tooLong).has_value());
  // A plain file is no socket.
  {
    std::ofstream(SocketPath()) << "x";
  }
  EXPECT_FALSE(TLineSocket::Connect(SocketPath()).has_value());
}

TEST_F(TLineSocketTest, LinesAsTheyComeWithAndWithoutCarriageReturns)
{
  TListener daemon(SocketPath());
  auto socket = TLineSocket::Connect(SocketPath());
  ASSERT_TRUE(socket.has_value());
  daemon.Accept();
  TDescriptorWait stop;
  daemon.Send("one\r\ntwo\n\nthr");
  std::string line;
  ASSERT_EQ(socket->ReadLine(line, stop), TLineSocket::TRead::Line);
  EXPECT_EQ(line, "one");
  ASSERT_EQ(socket->ReadLine(line, stop), TLineSocket::TRead::Line);
  EXPECT_EQ(line, "two");
  ASSERT_EQ(socket->ReadLine(line, stop), TLineSocket::TRead::Line);
  EXPECT_EQ(line, "");
  std::thread later([&] {
    std::this_thread::sleep_for(50ms);
    daemon.Send("ee\n");
  });
  ASSERT_EQ(socket->ReadLine(line, stop), TLineSocket::TRead::Line);
  later.join();
  EXPECT_EQ(line, "three");
  daemon.Hang();
  EXPECT_EQ(socket->ReadLine(line, stop), TLineSocket::TRead::Closed);
}

TEST_F(TLineSocketTest, TheLongestLineIsKeptAndOneMoreIsDroppedWhole)
{
  TListener daemon(SocketPath());
  auto socket = TLineSocket::Connect(SocketPath());
  ASSERT_TRUE(socket.has_value());
  daemon.Accept();
  TDescriptorWait stop;
  const std::string longest(TLineSocket::MaxLineLength, 'a');
  const std::string tooLong(TLineSocket::MaxLineLength + 1, 'b');
  const std::string far(TLineSocket::MaxLineLength * 5, 'c');
  daemon.Send(longest + "\n" + tooLong + "\n" + far);
  std::string line;
  ASSERT_EQ(socket->ReadLine(line, stop), TLineSocket::TRead::Line);
  EXPECT_EQ(line, longest);
  // The tail of a line too long to keep, split over writes, is dropped up to its newline.
  std::thread later([&] {
    std::this_thread::sleep_for(50ms);
    daemon.Send(far + "\nafter\n");
  });
  ASSERT_EQ(socket->ReadLine(line, stop), TLineSocket::TRead::Line);
  later.join();
  EXPECT_EQ(line, "after");
}

TEST_F(TLineSocketTest, AWakeEndsTheWaitAndOneBeforeItIsNotMissed)
{
  TListener daemon(SocketPath());
  auto socket = TLineSocket::Connect(SocketPath());
  ASSERT_TRUE(socket.has_value());
  daemon.Accept();
  TDescriptorWait stop;
  std::string line;
  stop.Wake();
  EXPECT_EQ(socket->ReadLine(line, stop), TLineSocket::TRead::Stopped);
  std::thread waker([&] {
    std::this_thread::sleep_for(50ms);
    stop.Wake();
  });
  EXPECT_EQ(socket->ReadLine(line, stop), TLineSocket::TRead::Stopped);
  waker.join();
  // Taken: the next wait times out.
  EXPECT_EQ(stop.Wait(-1, TDescriptorWait::Readable, 10), TWaitOutcome::TimedOut);
  daemon.Send("kept\n");
  ASSERT_EQ(socket->ReadLine(line, stop), TLineSocket::TRead::Line);
  EXPECT_EQ(line, "kept");
}

}  // namespace
