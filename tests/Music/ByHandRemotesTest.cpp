// The remotes a user has besides the host, on a private X server: a media key pressed while the
// browser is hidden, an infrared daemon's key broadcast, and a command-line media-player client
// on a private session bus. Each must move play exactly as the host's remote keys do, which the
// host stand-in reads back from the program's own bus.

#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/Music/ByHand.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Mp3Files.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TraceCapture.h"
#include "tests/support/XvfbServer.h"

// After everything else: the X headers' macros clash with names in other headers.
#include <X11/XF86keysym.h>

namespace {

using namespace std::chrono_literals;
using namespace byhand;
namespace fs = std::filesystem;

constexpr const char* RemoteKey = "HKCU\\Software\\Kestrom\\OxaPlayer\\Remote";
constexpr const char* PlayerClient = "/usr/bin/playerctl";
constexpr const char* BusDaemon = "/usr/bin/dbus-daemon";
constexpr const char* BusSend = "/usr/bin/dbus-send";

// A listening Unix stream socket standing in for the infrared daemon.
class TFakeLircd {
 public:
  explicit TFakeLircd(const fs::path& path) : FPath(path)
  {
    FListener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    if (FListener < 0 || bind(FListener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(FListener, 4) != 0) {
      ADD_FAILURE() << "cannot listen on " << path;
    }
  }
  ~TFakeLircd()
  {
    if (FClient >= 0) {
      close(FClient);
    }
    close(FListener);
    fs::remove(FPath);
  }
  TFakeLircd(const TFakeLircd&) = delete;
  TFakeLircd& operator=(const TFakeLircd&) = delete;

  bool Accept(std::chrono::milliseconds timeout)
  {
    pollfd polled{FListener, POLLIN, 0};
    if (poll(&polled, 1, static_cast<int>(timeout.count())) != 1) {
      return false;
    }
    FClient = accept4(FListener, nullptr, nullptr, SOCK_CLOEXEC);
    return FClient >= 0;
  }
  void Send(const std::string& text)
  {
    ASSERT_EQ(write(FClient, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }

 private:
  fs::path FPath;
  int FListener = -1;
  int FClient = -1;
};

class TByHandRemotes : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Files = new TMp3Files(10000); }
  static void TearDownTestSuite()
  {
    delete Files;
    Files = nullptr;
  }

  void SetUp() override
  {
    setenv("OXA_AUDIO", "null:speed=0.02", 1);  // a 10-second track plays for over eight minutes
    int number = 0;
    // One first letter, in album order: the Titles view the program starts on holds them as the
    // album does.
    for (const char* title : {"Tale", "Tide", "Time", "Tune"}) {
      ++number;
      testmedia::TId3v2Fields tags;
      tags.Title = title;
      tags.Artist = "Cream";
      tags.Album = "Wheels";
      tags.Track = std::to_string(number);
      tags.Version = 4;
      Files->Write(
          Machine.Home() / "Music" / "Cream" / "Wheels" / ("Track" + std::to_string(number) + ".mp3"), tags);
    }
    const TProgramRun scan = Lib({"scan", "full"});
    ASSERT_EQ(scan.ExitCode, 0) << scan.Output;
  }
  void TearDown() override
  {
    Program.reset();
    unsetenv("OXA_AUDIO");
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
  }

  // Starts the program, waits until it shows its triangle, and has the host play the album's
  // first track.
  void StartPlaying()
  {
    Program = std::make_unique<TChildProcess>(OXA_MUSIC_PROGRAM, std::vector<std::string>{});
    ASSERT_TRUE(WaitFor([&] { return Trace.Contains("TMusicForm.Create: ImportRecorded"); }, 60s))
        << TraceTail();
    ASSERT_TRUE(WaitFor([] { return StatusField("Visible") == "0"; }, 20s)) << HostStatus();
    ASSERT_EQ(Host({"key", "Play"}).ExitCode, 0);
    ASSERT_TRUE(WaitFor([] { return PublishedTrack() == "Tale"; })) << HostStatus() << TraceTail();
  }

  std::string TraceTail() const { return Trace.Tail(); }

  static TMp3Files* Files;
  TTempMachine Machine;
  TTraceCapture Trace;
  // The program ends before its X server.
  std::unique_ptr<TXvfbServer> Server;
  std::unique_ptr<TChildProcess> Program;
};

TMp3Files* TByHandRemotes::Files = nullptr;

TEST_F(TByHandRemotes, TheNextKeyWhileTheBrowserIsHiddenPlaysTheNextTrack)
{
  Server = std::make_unique<TXvfbServer>("1024x768x24");
  THands hands(Server->Name());
  ASSERT_TRUE(hands.Open());
  StartPlaying();

  // No window of the program has the keyboard's focus: the key reaches it through its grab.
  hands.Tap(XF86XK_AudioNext);
  EXPECT_TRUE(WaitFor([] { return PublishedTrack() == "Tide"; }, 20s)) << HostStatus() << TraceTail();
  EXPECT_EQ(StatusField("Visible"), "0") << "the browser stays hidden";
  EXPECT_TRUE(Trace.Contains("TMusicForm.HotKey: 176")) << "it came through the grab" << TraceTail();
  hands.Tap(XF86XK_AudioPrev);
  EXPECT_TRUE(WaitFor([] { return PublishedTrack() == "Tale"; }, 20s)) << HostStatus() << TraceTail();
}

TEST_F(TByHandRemotes, AKeyFromTheInfraredDaemonStepsOnceAndItsRepeatsAreLeftAlone)
{
  TTempFolder folder;
  const fs::path socketPath = folder.Path() / "lircd";
  TFakeLircd lircd(socketPath);
  ASSERT_EQ(Lib({"reg", "set", RemoteKey, "LircSocket", socketPath.string()}).ExitCode, 0);
  Server = std::make_unique<TXvfbServer>("1024x768x24");
  StartPlaying();
  ASSERT_TRUE(lircd.Accept(20s)) << "the program connects to the daemon" << TraceTail();

  lircd.Send("000000037ff07bfe 00 KEY_NEXT mceusb\n000000037ff07bfe 01 KEY_NEXT mceusb\n");
  EXPECT_TRUE(WaitFor([] { return PublishedTrack() == "Tide"; }, 20s)) << HostStatus() << TraceTail();
  // A line split over two writes is one line; a daemon's reply block is no key.
  lircd.Send("BEGIN\nSIGHUP\nEND\n000000037ff07bfe 00 KEY_");
  std::this_thread::sleep_for(300ms);
  lircd.Send("NEXT mceusb\n");
  EXPECT_TRUE(WaitFor([] { return PublishedTrack() == "Time"; }, 20s)) << HostStatus() << TraceTail();
  std::this_thread::sleep_for(1s);
  EXPECT_EQ(PublishedTrack(), "Time") << "the repeat stepped no further";
}

// The media-player interface on a private session bus, driven by the desktop's command-line
// client; without an X server the program would not start, so one runs too.
TEST_F(TByHandRemotes, AMediaPlayerClientOnTheSessionBusPlaysStepsAndShuffles)
{
  TTempFolder folder;
  const std::string address = "unix:path=" + (folder.Path() / "bus").string();
  TChildProcess bus(BusDaemon, {"--session", "--nofork", "--nopidfile", "--address=" + address});
  setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
  Server = std::make_unique<TXvfbServer>("1024x768x24");

  const auto client = [](std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "--player=oxanetmusic");
    TProgramRun run = RunProgram(PlayerClient, arguments);
    while (!run.Output.empty() && run.Output.back() == '\n') {
      run.Output.pop_back();
    }
    return run;
  };
  const auto says = [&](std::vector<std::string> arguments, const std::string& answer) {
    return WaitFor([&] { return client(arguments).Output == answer; }, 20s);
  };

  Program = std::make_unique<TChildProcess>(OXA_MUSIC_PROGRAM, std::vector<std::string>{});
  ASSERT_TRUE(WaitFor([&] { return Trace.Contains("TMusicForm.Create: ImportRecorded"); }, 60s))
      << TraceTail();
  ASSERT_TRUE(says({"status"}, "Stopped")) << client({"status"}).Output << TraceTail();

  ASSERT_EQ(client({"play"}).ExitCode, 0);
  EXPECT_TRUE(WaitFor([] { return PublishedTrack() == "Tale"; })) << HostStatus() << TraceTail();
  EXPECT_TRUE(says({"status"}, "Playing"));
  EXPECT_TRUE(says({"metadata", "--format", "{{title}}|{{artist}}|{{album}}|{{xesam:trackNumber}}"},
                   "Tale|Cream|Wheels|1"))
      << client({"metadata"}).Output;
  // The ten-second track's length in whole seconds, as the library keeps it.
  const std::string length = client({"metadata", "mpris:length"}).Output;
  EXPECT_TRUE(length == "9000000" || length == "10000000") << length;

  ASSERT_EQ(client({"next"}).ExitCode, 0);
  EXPECT_TRUE(WaitFor([] { return PublishedTrack() == "Tide"; })) << HostStatus();
  EXPECT_TRUE(says({"metadata", "title"}, "Tide"));
  ASSERT_EQ(client({"previous"}).ExitCode, 0);
  EXPECT_TRUE(WaitFor([] { return PublishedTrack() == "Tale"; })) << HostStatus();
  EXPECT_TRUE(says({"metadata", "title"}, "Tale"));

  ASSERT_EQ(client({"play-pause"}).ExitCode, 0);
  EXPECT_TRUE(says({"status"}, "Paused"));
  ASSERT_EQ(client({"play-pause"}).ExitCode, 0);
  EXPECT_TRUE(says({"status"}, "Playing"));

  // A position set in the playing track is where play goes on (the track plays fifty times slower).
  ASSERT_EQ(client({"position", "4"}).ExitCode, 0);
  EXPECT_TRUE(WaitFor([&] {
    const std::string seconds = client({"position"}).Output;
    return !seconds.empty() && std::stod(seconds) >= 3.9 && std::stod(seconds) < 5.0;
  })) << client({"position"}).Output;

  ASSERT_EQ(client({"shuffle", "Toggle"}).ExitCode, 0);
  EXPECT_TRUE(says({"shuffle"}, "On"));
  EXPECT_TRUE(WaitFor([] { return StatusField("Random") == "1"; })) << HostStatus();
  ASSERT_EQ(client({"shuffle", "Toggle"}).ExitCode, 0);
  EXPECT_TRUE(says({"shuffle"}, "Off"));

  ASSERT_EQ(client({"stop"}).ExitCode, 0);
  EXPECT_TRUE(says({"status"}, "Stopped"));

  // Quit closes the program as the host's close does.
  const TProgramRun quit =
      RunProgram(BusSend, {"--session", "--print-reply", "--dest=org.mpris.MediaPlayer2.oxanetmusic",
                           "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2.Quit"});
  EXPECT_EQ(quit.ExitCode, 0) << quit.Output;
  EXPECT_EQ(Program->Wait(30s), 0) << TraceTail();
}

}  // namespace
