// The whole program as a user meets it, on a private X server: a fresh home with a few dozen
// tagged files, START on the scan panel, the first folder shown with nothing playing, a click
// that opens it and one that plays a track, a playlist built by dragging, moved within, renamed
// in place and trimmed on the delete button, and a key sent by the host. The pointer and the
// keyboard are driven through XTest; the published state and the library are read back with
// oxa-host and oxa-lib; a few cropped screenshots are compared with reviewed pictures
// (OXA_REWRITE_SCREENS=1 renews them).
//
// The screen is 1024 x 768: the browser's 800 x 600 drawn 1.28 times as large. Rows are 65
// pixels apart on the screen; the positions below are the skin's and do not change with the
// library.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <sstream>
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

// Where things are on the screen.
constexpr int RowPitch = 65;
constexpr int FirstRowY = 116;  // the middle of the first row of either list
constexpr int FirstListX = 250;
constexpr int SecondListX = 700;
constexpr TSpot StartButton{70, 168};
constexpr TSpot EditPlaylistsButton{84, 723};
constexpr TSpot NewPlaylistButton{788, 723};
constexpr TSpot DeleteButton{970, 723};
// Over the first list's header caption: nothing there changes its look under the pointer.
constexpr TSpot RestingPlace{300, 40};

int RowY(int index)
{
  return FirstRowY + index * RowPitch;
}

class TMusicEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override
  {
    setenv("OXA_AUDIO", "null:speed=0.02", 1);  // a 10-second track plays for over eight minutes
    // Three folders of twelve: Cyrillic, Japanese and accented Latin titles and artists.
    const struct {
      const char* Folder;
      const char* Title;
      const char* Artist;
      const char* Album;
    } albums[] = {
        {"Aurora/Night", "Ночь", "Аврора", "Ноктюрны"},
        {"Mika/Star", "星の歌", "ミカ", "星"},
        {"Zoe/Summer", "Été", "Zoë", "Été"},
    };
    const TMp3Files files(10000);
    for (const auto& album : albums) {
      for (int i = 1; i <= 12; ++i) {
        char number[8];
        std::snprintf(number, sizeof number, "%02d", i);
        testmedia::TId3v2Fields tags;
        tags.Title = std::string(album.Title) + " " + number;
        tags.Artist = album.Artist;
        tags.Album = album.Album;
        tags.Track = std::to_string(i);
        tags.Version = 4;
        tags.Encoding = testmedia::TTextEncoding::Utf8;
        files.Write(Machine.Home() / "Music" / album.Folder / (std::string("Track") + number + ".mp3"), tags);
      }
    }
  }
  void TearDown() override { unsetenv("OXA_AUDIO"); }

  // Waits until the crop shows the same picture, not a blank one, twice in a row (the program
  // has painted) and compares it with the reference.
  testing::AssertionResult Settled(const std::string& name, int left, int top, int width, int height)
  {
    TScreenPicture picture;
    if (!Painted(left, top, width, height, &picture)) {
      return testing::AssertionFailure() << name << ": the screen did not settle";
    }
    return MatchesScreen(name, picture);
  }
  // unlike: a picture the crop must have left first.
  bool Painted(int left, int top, int width, int height, TScreenPicture* picture = nullptr,
               const TScreenPicture* unlike = nullptr)
  {
    // Over the crop's empty lower part first: some changes show only with the next input.
    Hands->MoveTo(left + width / 2, top + height - 10);
    std::this_thread::sleep_for(300ms);
    Hands->MoveTo(RestingPlace.X, RestingPlace.Y);
    TScreenPicture last;
    TScreenPicture now;
    const bool still = WaitFor(
        [&] {
          std::this_thread::sleep_for(400ms);
          last = std::move(now);
          now = Hands->Shot(left, top, width, height);
          const bool blank = std::all_of(now.Pixels.begin(), now.Pixels.end(),
                                         [&](std::uint32_t pixel) { return pixel == now.Pixels.front(); });
          return !blank && last.Pixels == now.Pixels && (unlike == nullptr || unlike->Pixels != now.Pixels);
        },
        60s);
    if (picture != nullptr) {
      *picture = std::move(now);
    }
    return still;
  }
  bool Traced(const std::string& text) const { return Trace.Contains(text); }
  // The last lines of the program's trace, for a failure's message.
  std::string TraceTail() const { return Trace.Tail(); }

  TTempMachine Machine;
  TTraceCapture Trace;
  std::unique_ptr<TXvfbServer> Server = std::make_unique<TXvfbServer>("1024x768x24");
  std::unique_ptr<THands> Hands = std::make_unique<THands>(Server->Name());
};

TEST_F(TMusicEndToEnd, ScanBrowsePlayBuildAPlaylistAndStepOn)
{
  ASSERT_TRUE(Hands->Open());
  TChildProcess program(OXA_MUSIC_PROGRAM, {"DEBUG"});

  // A first start on an empty library opens the scan panel.
  ASSERT_TRUE(WaitFor([&] { return Traced("TMusicForm.Create: ImportRecorded"); }, 60s));
  EXPECT_TRUE(Settled("e2e-scan-panel", 0, 0, 1024, 250));

  // START scans the home drive: the browser shows the first folder current, still closed, and
  // nothing plays until the user picks a track.
  ASSERT_TRUE(ClickUntil(*Hands, StartButton, [&] { return Traced("TMusicForm.ToggleScanPanel: 0"); }))
      << TraceTail();
  ASSERT_TRUE(WaitFor([&] { return Traced("TMusicForm.UpdatePlaying"); }, 60s))
      << "the scan ended" << TraceTail();
  EXPECT_EQ(Captions(Listed({"1"})),
            (std::vector<std::string>{"Night (012 Tracks)", "Star (012 Tracks)", "Summer (012 Tracks)"}));
  TScreenPicture closed;
  ASSERT_TRUE(Painted(0, 84, 1024, 300, &closed)) << "the browser shows";
  EXPECT_TRUE(MatchesScreen("e2e-browser", closed));
  EXPECT_TRUE(NothingPublished());

  // A click on the folder opens it (a missed press leaves the picture as it was); one on its
  // fourth track plays that.
  bool opened = false;
  for (int attempt = 0; attempt < 3 && !opened; ++attempt) {
    Hands->Click(FirstListX, RowY(0));
    opened = Painted(0, 84, 1024, 300, nullptr, &closed);
  }
  ASSERT_TRUE(opened) << "the first folder opens" << TraceTail();
  EXPECT_TRUE(NothingPublished()) << "opening a folder plays nothing";
  EXPECT_TRUE(ClickUntil(*Hands, {FirstListX, RowY(4)}, [] { return PublishedTrack() == "Ночь 04"; }))
      << PublishedTrack();

  // The playlist panel, and a new list in it.
  const TScreenPicture oneList = Hands->Shot(512, 0, 512, 768);
  ASSERT_TRUE(
      ClickUntil(*Hands, EditPlaylistsButton, [&] { return Traced("TMusicForm.SetDisplayMode: 3"); }));
  ASSERT_TRUE(Painted(512, 0, 512, 768, nullptr, &oneList)) << "the second panel shows";
  Hands->MoveTo(SecondListX, 400);
  std::this_thread::sleep_for(1s);
  ASSERT_TRUE(ClickUntil(*Hands, NewPlaylistButton, [] { return !Playlists().empty(); }));
  ASSERT_EQ(Playlists(), std::vector<std::string>{"Unnamed playlist 1"})
      << ::testing::PrintToString(Playlists()) << TraceTail();

  // Tracks 5 and 6 dragged before the list: a new list named after their folder.
  Hands->CtrlClick(FirstListX, RowY(5));
  Hands->CtrlClick(FirstListX, RowY(6));
  ASSERT_TRUE(Retried(
      [&] {
        Hands->Drag({FirstListX, RowY(6)}, {SecondListX, RowY(0) - 20});
      },
      [] { return Playlists().size() == 2; }))
      << ::testing::PrintToString(Playlists()) << TraceTail();
  const std::vector<std::string> lists = Playlists();
  const auto named = std::find(lists.begin(), lists.end(), "Night");
  ASSERT_NE(named, lists.end()) << ::testing::PrintToString(lists);
  EXPECT_EQ(PlaylistTracks("Night"), (std::vector<std::string>{"Ночь 05", "Ночь 06"}));

  // Opened, its second track dragged before its first: moved within the list.
  const int listRow = static_cast<int>(named - lists.begin());
  Hands->Click(SecondListX, RowY(listRow));
  EXPECT_TRUE(Retried(
      [&] {
        Hands->Drag({SecondListX, RowY(listRow + 2)}, {SecondListX, RowY(listRow + 1) - 20});
      },
      [] {
        return PlaylistTracks("Night") == std::vector<std::string>{"Ночь 06", "Ночь 05"};
      }))
      << ::testing::PrintToString(PlaylistTracks("Night")) << TraceTail();

  // The empty list renamed in place.
  const int unnamedRow = listRow == 0 ? 3 : 0;
  EXPECT_TRUE(Retried(
      [&] {
        Hands->DoubleClick(SecondListX, RowY(unnamedRow));
        std::this_thread::sleep_for(1s);
        Hands->Type("road trip");
        Hands->Key(XK_Return, true);
        Hands->Key(XK_Return, false);
      },
      [] {
        const auto names = Playlists();
        return std::find(names.begin(), names.end(), "Road Trip") != names.end();
      }))
      << ::testing::PrintToString(Playlists()) << TraceTail();

  // The list's first track dropped on the delete button leaves the list.
  const std::vector<std::string> renamed = Playlists();
  const int openedRow =
      static_cast<int>(std::find(renamed.begin(), renamed.end(), "Night") - renamed.begin());
  EXPECT_TRUE(Retried(
      [&] {
        Hands->Drag({SecondListX, RowY(openedRow + 1)}, DeleteButton);
      },
      [] { return PlaylistTracks("Night") == std::vector<std::string>{"Ночь 05"}; }))
      << ::testing::PrintToString(PlaylistTracks("Night")) << TraceTail();
  EXPECT_TRUE(Settled("e2e-playlists", 512, 80, 512, 300));

  // The host's StepUp plays the next track of the playing folder.
  const TProgramRun step = RunProgram(OXA_HOST_PROGRAM, {"key", "StepUp"});
  EXPECT_EQ(step.ExitCode, 0) << step.Output;
  EXPECT_TRUE(WaitFor([] { return PublishedTrack() == "Ночь 05"; })) << PublishedTrack();

  program.Kill();
}

}  // namespace
