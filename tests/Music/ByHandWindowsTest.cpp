// The browser's windows and remote keys as a person meets them, on a private X server: the
// triangle called back by the pointer with auto-hide on, the browser on top after a host's
// PlayFile and after a second copy started elsewhere, Play after Stop, the host's Hide while
// the browser is held, typing a name in Titles (Latin and Cyrillic), Return over the playing row
// while editing playlists, and the playing row staying lit after a wind.
//
// The library is scanned with oxa-lib before the program starts, so every start shows only the
// triangle, as a user's second start does. Pointer and keys go through XTest; what the program
// publishes is read with oxa-host, what it stores with oxa-lib, what it shows from the screen
// and the server's window stacking.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/Music/ByHand.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Mp3Files.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/ScreenShots.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TraceCapture.h"
#include "tests/support/XvfbServer.h"

// After everything else: the X headers' macros clash with names in other headers.
#include <X11/keysym.h>

namespace {

using namespace std::chrono_literals;
using namespace byhand;
namespace fs = std::filesystem;

constexpr int ScreenWidth = 1024;
constexpr int ScreenHeight = 768;
constexpr int RowPitch = 65;
constexpr int FirstRowY = 116;
constexpr int FirstListX = 250;
constexpr TSpot EditPlaylistsButton{84, 723};
constexpr TSpot HoldButton{470, 723};
constexpr TSpot ViewNextButton{1014, 42};
// The triangle: 13 x 26 at the left edge, centred on half the screen height.
constexpr TSpot TriangleMiddle{4, ScreenHeight / 2};
constexpr TSpot AwayFromEverything{600, 300};

int RowY(int index)
{
  return FirstRowY + index * RowPitch;
}

// The program's large mapped windows, bottom to top.
std::vector<THands::TTopWindow> LargeShown(THands& hands)
{
  std::vector<THands::TTopWindow> shown;
  for (const auto& window : hands.Stacking()) {
    if (window.Mapped && window.Width >= ScreenWidth / 2 && window.Height >= ScreenHeight / 2) {
      shown.push_back(window);
    }
  }
  return shown;
}

bool TriangleMapped(THands& hands)
{
  const auto windows = hands.Stacking();
  return std::any_of(windows.begin(), windows.end(), [](const THands::TTopWindow& window) {
    return window.Mapped && window.X == 0 && window.Width <= 40 && window.Height <= 80;
  });
}

class TByHandWindows : public ::testing::Test {
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
    const struct {
      const char* Folder;
      std::vector<const char*> Titles;
      const char* Artist;
    } albums[] = {
        {"Aurora/Night", {"Ночь 01", "Ночь 02", "Ночь 03", "Ночь 04"}, "Аврора"},
        {"Cream/Wheels", {"Politician", "Sunshine", "White Room", "Wheels of Fire"}, "Cream"},
        {"Zoe/Summer", {"Été 01", "Été 02", "Été 03"}, "Zoë"},
    };
    for (const auto& album : albums) {
      int number = 0;
      for (const char* title : album.Titles) {
        ++number;
        testmedia::TId3v2Fields tags;
        tags.Title = title;
        tags.Artist = album.Artist;
        tags.Album = fs::path(album.Folder).filename().string();
        tags.Track = std::to_string(number);
        tags.Version = 4;
        tags.Encoding = testmedia::TTextEncoding::Utf8;
        Files->Write(Machine.Home() / "Music" / album.Folder / ("Track" + std::to_string(number) + ".mp3"),
                     tags);
      }
    }
    const TProgramRun scan = Lib({"scan", "full"});
    ASSERT_EQ(scan.ExitCode, 0) << scan.Output;
  }
  void TearDown() override { unsetenv("OXA_AUDIO"); }

  // Starts the program and waits until it shows its triangle.
  void Start()
  {
    ASSERT_TRUE(Hands->Open());
    Hands->MoveTo(AwayFromEverything.X, AwayFromEverything.Y);
    Program = std::make_unique<TChildProcess>(OXA_MUSIC_PROGRAM, std::vector<std::string>{});
    ASSERT_TRUE(WaitFor([&] { return Traced("TMusicForm.Create: ImportRecorded"); }, 60s)) << TraceTail();
    ASSERT_TRUE(WaitFor([&] { return TriangleMapped(*Hands); }, 20s)) << "the triangle shows";
    ASSERT_TRUE(WaitFor([] { return StatusField("Visible") == "0"; }, 20s)) << HostStatus();
  }

  // The browser shows above everything of the program, its rows painted.
  testing::AssertionResult BrowserOnTop()
  {
    if (!WaitFor([&] { return LitShare(Hands->Shot(0, 84, ScreenWidth, 300)) > 0.05; }, 20s)) {
      const auto shown = LargeShown(*Hands);
      return testing::AssertionFailure()
             << "the screen stays black; " << shown.size() << " large windows mapped, the top one named \""
             << (shown.empty() ? "" : shown.back().Name) << "\"";
    }
    return testing::AssertionSuccess();
  }

  // The screen the same in two shots a moment apart: slides and fades are over.
  bool Settled()
  {
    return WaitFor(
        [&] {
          const TScreenPicture first = Hands->Shot(0, 0, ScreenWidth, ScreenHeight);
          std::this_thread::sleep_for(400ms);
          return Hands->Shot(0, 0, ScreenWidth, ScreenHeight).Pixels == first.Pixels;
        },
        20s);
  }

  // A lit track row shows its number on a light tile; an unlit one a grey ring on the dark row.
  bool RowLit(int index)
  {
    const TScreenPicture tile = Hands->Shot(10, RowY(index) - 20, 48, 40);
    const auto light = std::count_if(tile.Pixels.begin(), tile.Pixels.end(), [](std::uint32_t pixel) {
      return (pixel & 0xFF) >= 0xD0 && ((pixel >> 8) & 0xFF) >= 0xD0 && ((pixel >> 16) & 0xFF) >= 0xD0;
    });
    return light * 2 > static_cast<long>(tile.Pixels.size());
  }

  void Save(const std::string& name, const TScreenPicture& picture)
  {
    const char* binary = getenv("OXA_BINARY_DIR");
    const fs::path folder = fs::path(binary != nullptr ? binary : ".") / "screens";
    fs::create_directories(folder);
    WritePngPicture((folder / (name + ".png")).string(), picture);
  }

  // A copy of the program in another folder, started while the first runs: it hands over and
  // ends, and the first shows its browser on top.
  void StartSecondCopyElsewhere()
  {
    TTempFolder elsewhere;
    const fs::path copy = elsewhere.Path() / "oxanetmusic";
    fs::copy_file(OXA_MUSIC_PROGRAM, copy);
    TChildProcess second(copy.string(), {});
    EXPECT_EQ(second.Wait(60s), 0) << "the second copy hands over and ends";
    EXPECT_TRUE(Traced("AlreadyRunning: PlayFile sent")) << TraceTail();
    EXPECT_TRUE(WaitFor([] { return StatusField("Visible") == "1"; })) << HostStatus() << TraceTail();
    EXPECT_TRUE(BrowserOnTop());
  }

  bool Traced(const std::string& text) const { return Trace.Contains(text); }
  std::string TraceTail() const { return Trace.Tail(); }
  static std::string TrackPath(const std::string& folder, int number)
  {
    return "C:\\Music\\" + folder + "\\Track" + std::to_string(number) + ".mp3";
  }

  static TMp3Files* Files;
  TTempMachine Machine;
  TTraceCapture Trace;
  std::unique_ptr<TXvfbServer> Server = std::make_unique<TXvfbServer>("1024x768x24");
  std::unique_ptr<THands> Hands = std::make_unique<THands>(Server->Name());
  std::unique_ptr<TChildProcess> Program;
};

TMp3Files* TByHandWindows::Files = nullptr;

TEST_F(TByHandWindows, TheTriangleThatSlidOutComesBackUnderThePointerAndBringsTheBrowser)
{
  Start();
  // Onto the triangle and away: with auto-hide on it slides out and is unmapped.
  Hands->MoveTo(TriangleMiddle.X + 8, TriangleMiddle.Y);
  std::this_thread::sleep_for(600ms);
  Hands->MoveTo(TriangleMiddle.X, TriangleMiddle.Y);
  std::this_thread::sleep_for(600ms);
  Hands->MoveTo(AwayFromEverything.X, AwayFromEverything.Y);
  ASSERT_TRUE(WaitFor([&] { return !TriangleMapped(*Hands); }, 10s)) << "the triangle slid out";
  Save("byhand-triangle-gone", Hands->Shot(0, ScreenHeight / 2 - 40, 60, 80));

  // Along the edge where it was: it comes back.
  for (int y = ScreenHeight / 2 - 30; y <= ScreenHeight / 2 + 5; y += 5) {
    Hands->MoveTo(0, y);
    std::this_thread::sleep_for(100ms);
  }
  ASSERT_TRUE(WaitFor([&] { return TriangleMapped(*Hands); }, 10s))
      << "the triangle came back" << TraceTail();
  const TScreenPicture triangle = Hands->Shot(0, ScreenHeight / 2 - 40, 60, 80);
  Save("byhand-triangle-back", triangle);
  EXPECT_GT(LitShare(triangle), 0.01) << "its frame shows";

  // Its click brings the browser.
  EXPECT_TRUE(ClickUntil(*Hands, TriangleMiddle, [] { return StatusField("Visible") == "1"; }))
      << HostStatus();
  EXPECT_TRUE(BrowserOnTop());
}

TEST_F(TByHandWindows, PlayFileWhileHiddenShowsTheBrowserOnTopPlayingTheFile)
{
  Start();
  const TProgramRun play = Host({"playfile", TrackPath("Aurora\\Night", 2)});
  ASSERT_EQ(play.ExitCode, 0) << play.Output;
  ASSERT_TRUE(WaitFor([] { return PublishedTrack() == "Ночь 02"; })) << HostStatus();
  EXPECT_EQ(StatusField("Visible"), "1");
  EXPECT_TRUE(BrowserOnTop());
  Save("byhand-playfile", Hands->Shot(0, 0, ScreenWidth, ScreenHeight));
}

TEST_F(TByHandWindows, ASecondCopyStartedElsewhereShowsTheBrowserOnTop)
{
  TChildProcess host(OXA_HOST_PROGRAM, {});
  const auto joined = host.ReadLine(30s);
  ASSERT_TRUE(joined && joined->rfind("host on bus", 0) == 0) << joined.value_or("(nothing)");
  Start();
  StartSecondCopyElsewhere();
}

// A host started by hand is not registered, so the second copy cannot launch one; it finds the
// first on the bus all the same instead of starting, finding its name taken and ending unseen.
TEST_F(TByHandWindows, ASecondCopyWithoutAHostShowsTheBrowserOnTop)
{
  Start();
  StartSecondCopyElsewhere();
}

TEST_F(TByHandWindows, PlayGoAndSpaceAfterStopPlayAgain)
{
  Start();
  ASSERT_EQ(Host({"playfile", TrackPath("Cream\\Wheels", 3)}).ExitCode, 0);
  ASSERT_TRUE(WaitFor([] { return StatusField("Activity") == "2"; })) << HostStatus();
  for (const std::string play : {"Play", "Go"}) {
    SCOPED_TRACE(play);
    ASSERT_EQ(Host({"key", "Stop"}).ExitCode, 0);
    ASSERT_TRUE(WaitFor([] { return StatusField("Activity") == "3"; })) << HostStatus();
    ASSERT_EQ(Host({"key", play}).ExitCode, 0);
    EXPECT_TRUE(WaitFor([] { return StatusField("Activity") == "2"; })) << HostStatus();
    EXPECT_EQ(PublishedTrack(), "White Room");
  }
  // The space key over the browser: pause, play on, and after a stop play again.
  Hands->MoveTo(AwayFromEverything.X, AwayFromEverything.Y);
  ASSERT_EQ(Host({"key", "Stop"}).ExitCode, 0);
  ASSERT_TRUE(WaitFor([] { return StatusField("Activity") == "3"; })) << HostStatus();
  EXPECT_TRUE(Retried([&] { Hands->Tap(XK_space); }, [] { return StatusField("Activity") == "2"; }))
      << HostStatus();
}

TEST_F(TByHandWindows, TheHostsHideHidesABrowserTheUserHolds)
{
  Start();
  ASSERT_EQ(Host({"playfile", TrackPath("Zoe\\Summer", 1)}).ExitCode, 0);
  ASSERT_TRUE(WaitFor([] { return StatusField("Visible") == "1"; })) << HostStatus();
  ASSERT_TRUE(BrowserOnTop());
  EXPECT_TRUE(ClickUntil(*Hands, HoldButton, [&] { return Traced("TMusicForm.SetDisplayMode: 2"); }));
  const TProgramRun hide = Host({"hide", "--call"});
  EXPECT_EQ(hide.ExitCode, 0);
  EXPECT_NE(hide.Output.find("answer: 1"), std::string::npos) << hide.Output;
  EXPECT_TRUE(WaitFor([] { return StatusField("Visible") == "0"; })) << HostStatus();
  EXPECT_TRUE(WaitFor([&] { return LargeShown(*Hands).empty(); }, 10s))
      << "the browser's windows are unmapped";
  EXPECT_TRUE(WaitFor([&] { return TriangleMapped(*Hands); }, 10s));
}

TEST_F(TByHandWindows, ReturnOverThePlayingRowWhileEditingAddsItToAPlaylist)
{
  Start();
  ASSERT_EQ(Host({"playfile", TrackPath("Cream\\Wheels", 2)}).ExitCode, 0);
  ASSERT_TRUE(WaitFor([] { return PublishedTrack() == "Sunshine"; })) << HostStatus();
  ASSERT_TRUE(BrowserOnTop());
  ASSERT_TRUE(
      ClickUntil(*Hands, EditPlaylistsButton, [&] { return Traced("TMusicForm.SetDisplayMode: 3"); }));
  // The pointer over the playing row, below its folder's own row and the folders before it.
  Hands->MoveTo(FirstListX, RowY(4));
  ASSERT_TRUE(Settled()) << "the second panel slides in and the screen comes to rest";
  Save("byhand-mode3-before-return", Hands->Shot(0, 0, ScreenWidth, ScreenHeight));
  EXPECT_TRUE(Retried([&] { Hands->Tap(XK_Return); },
                      [] {
                        const auto lists = Playlists();
                        return !lists.empty() &&
                               PlaylistTracks(lists.front()) == std::vector<std::string>{"Sunshine"};
                      }))
      << ::testing::PrintToString(Playlists()) << TraceTail();
  EXPECT_EQ(PublishedTrack(), "Sunshine") << "Return added the row and left playing alone";
}

// Titles: typing the start of a name opens the letter group and selects the track, in any
// script.
TEST_F(TByHandWindows, TypingANameInTitlesSelectsTheTrack)
{
  Start();
  ASSERT_EQ(Host({"playfile", TrackPath("Zoe\\Summer", 1)}).ExitCode, 0);
  ASSERT_TRUE(WaitFor([] { return PublishedTrack() == "Été 01"; })) << HostStatus();
  ASSERT_TRUE(BrowserOnTop());
  // Folders is shown; the next view in the selector is Titles. A click while the lists still
  // slide in may be lost, so it is tried again until a view is chosen.
  ASSERT_TRUE(ClickUntil(*Hands, ViewNextButton, [&] { return Traced("TMusicForm.ListViewChosen:"); }))
      << TraceTail();
  ASSERT_TRUE(Settled());
  Hands->MoveTo(AwayFromEverything.X, AwayFromEverything.Y);
  // Letters without a key of their own get spare key codes just before they are typed; a busy
  // program may read the changed keyboard map after the first press. The name is typed again
  // once the unfinished one has expired.
  EXPECT_TRUE(Retried([&] { Hands->Type("whi"); }, [&] { return Traced("JumpByName: White Room"); }))
      << TraceTail();
  EXPECT_TRUE(Retried([&] { Hands->Type("ноч"); }, [&] { return Traced("JumpByName: Ночь 01"); }))
      << TraceTail();
  ASSERT_TRUE(Settled());
  Save("byhand-titles-type-ahead", Hands->Shot(0, 0, ScreenWidth, ScreenHeight));
  EXPECT_EQ(PublishedTrack(), "Été 01") << "a name typed selects, it does not play";
}

// A name typed over the browser makes another group active without playing it; Wind plays the
// next group. Either way the row that plays is the lit one.
TEST_F(TByHandWindows, ThePlayingRowStaysLitWhenTypeAheadOrAWindMovesTheActiveGroup)
{
  Start();
  ASSERT_EQ(Host({"playfile", TrackPath("Aurora\\Night", 1)}).ExitCode, 0);
  ASSERT_TRUE(WaitFor([] { return PublishedTrack() == "Ночь 01"; })) << HostStatus();
  ASSERT_TRUE(BrowserOnTop());
  Hands->MoveTo(AwayFromEverything.X, 20);
  ASSERT_TRUE(WaitFor([&] { return RowLit(1); }, 10s)) << "the playing row is lit";
  Hands->Type("sum");
  ASSERT_TRUE(Settled());
  Save("byhand-lit-after-type-ahead", Hands->Shot(0, 0, ScreenWidth, ScreenHeight));
  EXPECT_EQ(PublishedTrack(), "Ночь 01") << "a name typed moves the active group, not the music";
  EXPECT_TRUE(RowLit(1)) << "the playing row kept its light";
  ASSERT_EQ(Host({"key", "Wind"}).ExitCode, 0);
  ASSERT_TRUE(WaitFor([] { return PublishedTrack() != "Ночь 01"; })) << HostStatus();
  ASSERT_TRUE(Settled());
  Save("byhand-lit-after-wind", Hands->Shot(0, 0, ScreenWidth, ScreenHeight));
}

}  // namespace
