// The browser's panels as a person works them, on a private X server: the scan panel's keys, a
// first scan from START, Ctrl+A in an open folder (the footer stays as it was), NEW PLAYLIST
// after a colour key, and a title edited in the info panel that reaches the file. The pointer
// and the keyboard are driven through XTest; the screen is read back in crops, the library and
// the file through oxa-lib, the program's trace for what it did.
//
// The screen is 1024 x 768: the browser's 800 x 600 drawn 1.28 times as large. Rows are 65
// pixels apart on the screen. OXA_SAVE_SCREENS=DIR keeps the fixed screens there as PNG files.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
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
#include "tools/make-test-media/TestMedia.h"

// After everything else: the X headers' macros clash with names in other headers.
#include <X11/keysym.h>

namespace {

using namespace std::chrono_literals;
using namespace byhand;

constexpr int RowPitch = 65;
constexpr int FirstRowY = 116;
constexpr int FirstListX = 250;
constexpr TSpot StartButton{70, 168};
constexpr TSpot EditPlaylistsButton{84, 723};
constexpr TSpot InfoButton{205, 723};
constexpr TSpot DoneButton{560, 723};
constexpr TSpot NewPlaylistButton{788, 723};
constexpr TSpot RestingPlace{300, 40};
// The value beside TITLE in the info panel (browser 508, 75).
constexpr TSpot TitleValue{650, 96};
// The footer strip of the browser, and the info panel's title line.
constexpr int FooterTop = 690;

int RowY(int index)
{
  return FirstRowY + index * RowPitch;
}

int Differing(const TScreenPicture& a, const TScreenPicture& b)
{
  if (a.Pixels.size() != b.Pixels.size()) {
    return -1;
  }
  int n = 0;
  for (std::size_t i = 0; i < a.Pixels.size(); ++i) {
    n += a.Pixels[i] != b.Pixels[i] ? 1 : 0;
  }
  return n;
}

class TByHandPanels : public ::testing::Test {
 protected:
  void SetUp() override
  {
    setenv("OXA_AUDIO", "null:speed=0.02", 1);
    const TMp3Files files(10000);
    for (int i = 1; i <= 12; ++i) {
      char number[8];
      std::snprintf(number, sizeof number, "%02d", i);
      testmedia::TId3v2Fields tags;
      tags.Title = std::string("Song ") + number;
      tags.Artist = "Walker";
      tags.Album = "Roads";
      tags.Track = std::to_string(i);
      tags.Version = 4;
      tags.Encoding = testmedia::TTextEncoding::Utf8;
      files.Write(Track(i), tags);
    }
  }
  void TearDown() override { unsetenv("OXA_AUDIO"); }

  std::filesystem::path Track(int i) const
  {
    char name[16];
    std::snprintf(name, sizeof name, "Track%02d.mp3", i);
    return Machine.Home() / "Music" / "Walker" / name;
  }
  bool Traced(const std::string& text) const { return Trace.Contains(text); }
  std::string TraceTail() const { return Trace.Tail(); }
  TScreenPicture Settled(int left, int top, int width, int height)
  {
    return SettledShot(*Hands, left, top, width, height);
  }
  // The crop once it has left before and settled again: what a change painted.
  TScreenPicture Changed(const TScreenPicture& before, int left, int top, int width, int height)
  {
    WaitFor([&] { return Differing(before, Hands->Shot(left, top, width, height)) > 0; }, 20s);
    return Settled(left, top, width, height);
  }
  // Clicks the info panel's title until the editor's grey field covers it, not just until
  // something changes there: the panel may still be filling in its fields when a click lands.
  bool OpenTitleEditor()
  {
    return Retried([&] { Hands->Click(TitleValue.X, TitleValue.Y); },
                   [&] { return LitShare(Settled(620, 86, 300, 20)) > 0.5; });
  }
  void Keep(const std::string& name, const TScreenPicture& picture)
  {
    if (const char* folder = getenv("OXA_SAVE_SCREENS"); folder != nullptr && *folder != 0) {
      WritePngPicture(std::string(folder) + "/" + name + ".png", picture);
    }
  }

  TTempMachine Machine;
  TTraceCapture Trace;
  std::unique_ptr<TXvfbServer> Server = std::make_unique<TXvfbServer>("1024x768x24");
  std::unique_ptr<THands> Hands = std::make_unique<THands>(Server->Name());
};

TEST_F(TByHandPanels, ScanKeysFooterNewPlaylistAndATitleEditedInTheInfoPanel)
{
  ASSERT_TRUE(Hands->Open());
  TChildProcess program(OXA_MUSIC_PROGRAM, {"DEBUG"});
  ASSERT_TRUE(WaitFor([&] { return Traced("TMusicForm.Create: ImportRecorded"); }, 60s));
  Hands->MoveTo(RestingPlace.X, RestingPlace.Y);
  const TScreenPicture panel = Settled(0, 0, 1024, 768);

  // The scan panel's keys, the pointer over the browser and then over the drive list.
  Hands->Chord({XK_Control_L}, XK_x);
  EXPECT_TRUE(WaitFor([&] { return Traced("TOxaMusicScanView.Options: 1"); }, 10s)) << TraceTail();
  const TScreenPicture options = Changed(panel, 0, 0, 1024, 768);
  EXPECT_GT(Differing(panel, options), 1000) << "the two options show";
  Keep("scan-panel-options", options);
  Hands->MoveTo(300, 500);
  Hands->Chord({XK_Control_L, XK_Shift_L}, XK_x);
  EXPECT_TRUE(WaitFor([&] { return Traced("TOxaMusicScanView.Captions: short"); }, 10s)) << TraceTail();
  const TScreenPicture shortCaptions = Changed(options, 0, 0, 1024, 768);
  EXPECT_GT(Differing(options, shortCaptions), 100) << "the drive rows read short";
  Hands->Chord({XK_Control_L, XK_Alt_L, XK_Shift_L}, XK_e);
  EXPECT_TRUE(WaitFor([&] { return Traced("TOxaMusicScanView.Credits: 1"); }, 10s)) << TraceTail();
  Keep("scan-panel-credits", Changed(shortCaptions, 0, 0, 1024, 768));
  Hands->Chord({XK_Control_L, XK_Alt_L, XK_Shift_L}, XK_e);
  Hands->Chord({XK_Control_L, XK_Shift_L}, XK_x);
  Hands->Chord({XK_Control_L}, XK_x);
  EXPECT_TRUE(WaitFor([&] { return Traced("TOxaMusicScanView.Options: 0"); }, 10s)) << TraceTail();

  // START: the first scan; the browser shows the folder afterwards.
  Hands->MoveTo(RestingPlace.X, RestingPlace.Y);
  ASSERT_TRUE(ClickUntil(*Hands, StartButton, [&] { return Traced("TMusicForm.ToggleScanPanel: 0"); }))
      << TraceTail();
  ASSERT_TRUE(WaitFor([&] { return Traced("TMusicForm.UpdatePlaying"); }, 60s)) << TraceTail();
  ASSERT_EQ(Captions(Listed({"1"})).size(), 1U);

  // The folder opened: twelve rows, the later ones under the footer. Ctrl+A selects them all;
  // the footer looks as it did, with the pointer resting well above it.
  Hands->MoveTo(RestingPlace.X, RestingPlace.Y);
  const TScreenPicture closed = Settled(0, 84, 1024, 300);
  ASSERT_TRUE(Retried([&] { Hands->Click(FirstListX, RowY(0)); },
                      [&] { return Differing(closed, Settled(0, 84, 1024, 300)) > 0; }))
      << "the folder opens" << TraceTail();
  Hands->MoveTo(RestingPlace.X, RestingPlace.Y);
  const TScreenPicture footer = Settled(0, FooterTop, 1024, 768 - FooterTop);
  Hands->Chord({XK_Control_L}, XK_a);
  std::this_thread::sleep_for(1s);
  const TScreenPicture selected = Settled(0, 0, 1024, 768);
  const TScreenPicture footerAfter = Settled(0, FooterTop, 1024, 768 - FooterTop);
  EXPECT_EQ(Differing(footer, footerAfter), 0) << "no row painted over the footer";
  Keep("footer-after-select-all", selected);

  // A non-playlist selection in the first list: EDIT PLAYLISTS still offers NEW PLAYLIST.
  const TScreenPicture rightHalf = Settled(512, 0, 512, 768);
  ASSERT_TRUE(
      ClickUntil(*Hands, EditPlaylistsButton, [&] { return Traced("TMusicForm.SetDisplayMode: 3"); }));
  Hands->MoveTo(700, 400);
  Changed(rightHalf, 512, 0, 512, 768);
  const TScreenPicture editing = Settled(0, 0, 1024, 768);
  Keep("edit-playlists-after-select-all", editing);
  EXPECT_TRUE(ClickUntil(*Hands, NewPlaylistButton, [] { return !Playlists().empty(); })) << TraceTail();
  EXPECT_EQ(Playlists(), std::vector<std::string>{"Unnamed playlist 1"});

  // Back to the one list; a plain click plays a track, INFO shows it, and its title is edited.
  ASSERT_TRUE(ClickUntil(*Hands, DoneButton, [&] { return Traced("TMusicForm.SetDisplayMode: 2"); }))
      << TraceTail();
  ASSERT_TRUE(ClickUntil(*Hands, {FirstListX, RowY(2)}, [] { return PublishedTrack() == "Song 02"; }))
      << PublishedTrack();
  Hands->MoveTo(RestingPlace.X, RestingPlace.Y);
  const TScreenPicture playing = Settled(600, 0, 424, 300);
  ASSERT_TRUE(ClickUntil(*Hands, InfoButton, [&] { return Traced("BrowserButtonClick: first ShowInfo"); }))
      << TraceTail();
  Hands->MoveTo(RestingPlace.X, RestingPlace.Y);
  Changed(playing, 600, 0, 424, 300);
  const TScreenPicture info = Settled(0, 0, 1024, 768);
  Keep("info-panel", info);
  ASSERT_TRUE(OpenTitleEditor()) << "the editor opens over the title" << TraceTail();
  Keep("info-title-editor", Settled(0, 0, 1024, 768));
  Hands->Type("Road Song");
  Hands->Tap(XK_Return);
  ASSERT_TRUE(WaitFor([&] { return Traced("FieldEdited:"); }, 20s)) << TraceTail();
  // Written once the file is free: the next track played lets go of it.
  ASSERT_TRUE(ClickUntil(*Hands, {FirstListX, RowY(3)}, [] { return PublishedTrack() == "Song 03"; }))
      << PublishedTrack();
  EXPECT_TRUE(WaitFor([&] { return Traced("Tag written to"); }, 20s)) << TraceTail();
  const TProgramRun tags = Lib({"tags", Track(2).string()});
  EXPECT_NE(tags.Output.find("title: Road Song"), std::string::npos) << tags.Output;
  EXPECT_NE(tags.Output.find("artist: Walker"), std::string::npos) << tags.Output;

  program.Kill();
}

// A home of today's formats: each kind found by the scan, listed in the views by its tags,
// played, and a title edited in the info panel written into the FLAC file.
TEST_F(TByHandPanels, FlacOggOpusAndM4aAreListedPlayedAndTheirTagsEdited)
{
  const struct {
    testmedia::TModernFormat Format;
    const char* Title;
  } kinds[] = {
      {testmedia::TModernFormat::Flac, "Flüsse"},
      {testmedia::TModernFormat::OggVorbis, "Ветер"},
      {testmedia::TModernFormat::Opus, "夜の歌"},
      {testmedia::TModernFormat::M4a, "Été Indien"},
  };
  std::vector<std::string> hostPaths;
  const std::filesystem::path album = Machine.Home() / "Music" / "Nova" / "Today";
  std::filesystem::create_directories(album);
  int number = 0;
  for (const auto& kind : kinds) {
    ++number;
    testmedia::TModernRecipe recipe;
    recipe.Format = kind.Format;
    recipe.Audio.Seed = static_cast<std::uint32_t>(number);
    // Long enough that the track is still playing, and still shown, while its title is typed.
    recipe.Audio.Milliseconds = 40000;
    recipe.Tags = {{"title", kind.Title}, {"artist", "Nova"},     {"album", "Today"},
                   {"genre", "Ambient"},  {"date", "2021-05-04"}, {"track", std::to_string(number) + "/4"}};
    const std::string name = "0" + std::to_string(number) + testmedia::ExtensionOf(kind.Format);
    testmedia::WriteModern(album / name, recipe);
    hostPaths.push_back("C:\\Music\\Nova\\Today\\" + name);
  }
  const TProgramRun scan = Lib({"scan", "full"});
  ASSERT_EQ(scan.ExitCode, 0) << scan.Output;
  // In the Albums, Artists and Genre views by their tags.
  for (const char* view : {"2", "3", "4"}) {
    const std::vector<std::string> groups = Captions(Listed({view}));
    EXPECT_TRUE(std::any_of(groups.begin(), groups.end(),
                            [](const std::string& caption) {
                              return caption.rfind("Today", 0) == 0 || caption.rfind("Nova", 0) == 0 ||
                                     caption.rfind("Ambient", 0) == 0;
                            }))
        << "view " << view << ": " << ::testing::PrintToString(groups);
  }

  ASSERT_TRUE(Hands->Open());
  TChildProcess program(OXA_MUSIC_PROGRAM, {});
  ASSERT_TRUE(WaitFor([&] { return Traced("TMusicForm.Create: ImportRecorded"); }, 60s));
  for (std::size_t i = 0; i < hostPaths.size(); ++i) {
    SCOPED_TRACE(hostPaths[i]);
    ASSERT_EQ(Host({"playfile", hostPaths[i]}).ExitCode, 0);
    EXPECT_TRUE(WaitFor([&] { return PublishedTrack() == kinds[i].Title; })) << PublishedTrack();
    EXPECT_TRUE(WaitFor([] { return StatusField("Activity") == "2"; })) << HostStatus();
  }

  ASSERT_EQ(Host({"playfile", hostPaths[0]}).ExitCode, 0);
  ASSERT_TRUE(WaitFor([&] { return PublishedTrack() == kinds[0].Title; })) << PublishedTrack();
  Hands->MoveTo(RestingPlace.X, RestingPlace.Y);
  const TScreenPicture playing = Settled(600, 0, 424, 300);
  ASSERT_TRUE(ClickUntil(*Hands, InfoButton, [&] { return Traced("BrowserButtonClick: first ShowInfo"); }))
      << TraceTail();
  Hands->MoveTo(RestingPlace.X, RestingPlace.Y);
  Changed(playing, 600, 0, 424, 300);
  Keep("info-panel-flac", Settled(0, 0, 1024, 768));
  ASSERT_TRUE(OpenTitleEditor()) << "the editor opens over the title" << TraceTail();
  Hands->Type("River Song");
  Hands->Tap(XK_Return);
  // The next track only once the edit is taken: a busy program may still be reading the keys.
  ASSERT_TRUE(WaitFor([&] { return Traced("FieldEdited: C:\\Music\\Nova\\Today\\01.flac"); }, 20s))
      << TraceTail();
  // Written once the file is free: the next track played lets go of it.
  ASSERT_EQ(Host({"playfile", hostPaths[1]}).ExitCode, 0);
  EXPECT_TRUE(WaitFor([&] { return Traced("Tag written to"); }, 20s)) << TraceTail();
  const TProgramRun tags = Lib({"tags", (album / "01.flac").string()});
  EXPECT_NE(tags.Output.find("title: River Song"), std::string::npos) << tags.Output;
  EXPECT_NE(tags.Output.find("artist: Nova"), std::string::npos) << tags.Output;
  EXPECT_NE(tags.Output.find("year: 2021"), std::string::npos) << tags.Output;
  program.Kill();
}

}  // namespace
