// Album covers as a person sees them, on a private X server: a track with a cover in its tag
// and one whose folder holds Folder.jpg, each played and shown in the info panel; then the
// Albums view. The screens are kept in <build>/screens (covers-*.png) for a person to look at.
//
// The screen is 1024 x 768: the browser's 800 x 600 drawn 1.28 times as large. The info panel
// is the browser's right 420 pixels; its cover square lies at browser (790 - 124, 64).

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

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
namespace fs = std::filesystem;

constexpr int ScreenWidth = 1024;
constexpr int ScreenHeight = 768;
constexpr TSpot InfoButton{205, 723};
constexpr TSpot ViewNextButton{1014, 42};
constexpr TSpot RestingPlace{300, 40};
// The cover square on the screen (browser 666..790 x 64..188).
constexpr int CoverLeft = 852;
constexpr int CoverTop = 82;
constexpr int CoverSide = 159;

class TByHandCovers : public ::testing::Test {
 protected:
  void SetUp() override
  {
    setenv("OXA_AUDIO", "null:speed=0.02", 1);
    const TMp3Files files(10000);
    const fs::path music = Machine.Home() / "Music";
    for (int i = 1; i <= 3; ++i) {
      testmedia::TId3v2Fields tags{
          "Road " + std::to_string(i), "Walker", "Roads", "2001", "Rock", std::to_string(i)};
      // A back cover first: the front one is chosen all the same.
      tags.Picture = testmedia::EncodePicture({testmedia::TPictureFormat::Jpeg, 500, 500, 11});
      tags.PictureType = i == 1 ? 3 : 4;
      files.Write(music / "Walker" / "Roads" / ("Track" + std::to_string(i) + ".mp3"), tags);
    }
    for (int i = 1; i <= 2; ++i) {
      testmedia::TId3v2Fields tags{
          "Hill " + std::to_string(i), "Climber", "Hills", "2002", "Pop", std::to_string(i)};
      files.Write(music / "Climber" / "Hills" / ("Track" + std::to_string(i) + ".mp3"), tags);
    }
    testmedia::WriteBytes(music / "Climber" / "Hills" / "folder.JPG",
                          testmedia::EncodePicture({testmedia::TPictureFormat::Jpeg, 300, 200, 12}));
    const TProgramRun scan = Lib({"scan", "full"});
    ASSERT_EQ(scan.ExitCode, 0) << scan.Output;
  }
  void TearDown() override { unsetenv("OXA_AUDIO"); }

  bool Traced(const std::string& text) const { return Trace.Contains(text); }
  std::string TraceTail() const
  {
    const std::string log = Trace.Log();
    return "\nthe trace ends:\n" + log.substr(log.size() > 2000 ? log.size() - 2000 : 0);
  }
  TScreenPicture Settled(int left, int top, int width, int height)
  {
    TScreenPicture last;
    TScreenPicture now = Hands->Shot(left, top, width, height);
    WaitFor(
        [&] {
          std::this_thread::sleep_for(300ms);
          last = std::move(now);
          now = Hands->Shot(left, top, width, height);
          return last.Pixels == now.Pixels;
        },
        20s);
    return now;
  }
  void Save(const std::string& name, const TScreenPicture& picture)
  {
    const char* binary = getenv("OXA_BINARY_DIR");
    const fs::path folder = fs::path(binary != nullptr ? binary : ".") / "screens";
    fs::create_directories(folder);
    WritePngPicture((folder / (name + ".png")).string(), picture);
  }
  // The share of the cover square's pixels that are neither black nor the panel's grey.
  double CoverShare() { return LitShare(Hands->Shot(CoverLeft, CoverTop, CoverSide, CoverSide)); }

  TTempMachine Machine;
  TTraceCapture Trace;
  std::unique_ptr<TXvfbServer> Server = std::make_unique<TXvfbServer>("1024x768x24");
  std::unique_ptr<THands> Hands = std::make_unique<THands>(Server->Name());
};

TEST_F(TByHandCovers, InfoPanelAndAlbumsShowTheCovers)
{
  ASSERT_TRUE(Hands->Open());
  Hands->MoveTo(RestingPlace.X, RestingPlace.Y);
  TChildProcess program(OXA_MUSIC_PROGRAM, {});
  ASSERT_TRUE(WaitFor([&] { return Traced("TMusicForm.Create: ImportRecorded"); }, 60s)) << TraceTail();

  // The embedded front cover.
  ASSERT_EQ(Host({"playfile", "C:\\Music\\Walker\\Roads\\Track1.mp3"}).ExitCode, 0);
  ASSERT_TRUE(WaitFor([] { return PublishedTrack() == "Road 1"; })) << HostStatus();
  ASSERT_TRUE(ClickUntil(*Hands, InfoButton, [&] { return Traced("BrowserButtonClick: first ShowInfo"); }))
      << TraceTail();
  Hands->MoveTo(RestingPlace.X, RestingPlace.Y);
  EXPECT_TRUE(WaitFor([&] { return CoverShare() > 0.8; }, 20s)) << "the cover fills its square";
  Save("covers-info-panel-embedded", Settled(0, 0, ScreenWidth, ScreenHeight));

  // The folder image, wider than tall: a band of the square stays dark.
  ASSERT_EQ(Host({"playfile", "C:\\Music\\Climber\\Hills\\Track2.mp3"}).ExitCode, 0);
  ASSERT_TRUE(WaitFor([] { return PublishedTrack() == "Hill 2"; })) << HostStatus();
  EXPECT_TRUE(WaitFor(
      [&] {
        const double share = CoverShare();
        return share > 0.5 && share < 0.8;
      },
      20s))
      << CoverShare();
  Save("covers-info-panel-folder-image", Settled(0, 0, ScreenWidth, ScreenHeight));

  // The Albums view (slot 2), a few clicks on from Folders on the selector's next button.
  EXPECT_TRUE(Retried(
      [&] {
        Hands->Click(ViewNextButton.X, ViewNextButton.Y);
        std::this_thread::sleep_for(800ms);
      },
      [&] { return Traced("TMusicForm.ListViewChosen: 2"); }, 8))
      << TraceTail();
  Hands->MoveTo(RestingPlace.X, RestingPlace.Y);
  Save("covers-albums", Settled(0, 0, ScreenWidth, ScreenHeight));
  program.Kill();
}

}  // namespace
