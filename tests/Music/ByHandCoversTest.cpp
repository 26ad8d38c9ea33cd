// Album covers as a person sees them, on a private X server: a track with a cover in its tag
// and one whose folder holds Folder.jpg, each played and shown in the info panel; then the
// Albums view. The screens are kept in <build>/screens (covers-*.png) for a person to look at.
//
// The screen is 1024 x 768: the browser's 800 x 600 drawn 1.28 times as large. The info panel
// is the browser's right 420 pixels; its cover square lies at browser (666, 10), 124 a side.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
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
// The view selector's next button while the info panel is shown.
constexpr TSpot ViewNextButton{478, 42};
constexpr TSpot RestingPlace{300, 40};
// The middle of the cover square on the screen (browser 728, 72), and of the icons of the first
// row and of the fourth (the Albums view opens the playing album, two tracks, before Roads).
constexpr TSpot CoverMiddle{932, 92};
constexpr TSpot FirstIcon{35, 116};
constexpr TSpot FourthIcon{35, 311};

const testmedia::TPictureRecipe RoadsCover{testmedia::TPictureFormat::Jpeg, 500, 500, 11};
const testmedia::TPictureRecipe HillsCover{testmedia::TPictureFormat::Jpeg, 300, 200, 12};

// The middle 5 x 5 pixels around the spot average to the picture's middle colour, give or take
// what the JPEG encoding, the scaling and the screen's scaling blur.
testing::AssertionResult ShowsMiddleOf(THands& hands, TSpot spot, const testmedia::TPictureRecipe& recipe)
{
  const TScreenPicture crop = hands.Shot(spot.X - 2, spot.Y - 2, 5, 5);
  int sum[3] = {0, 0, 0};
  for (const std::uint32_t pixel : crop.Pixels) {
    sum[0] += int(pixel >> 16) & 0xFF;
    sum[1] += int(pixel >> 8) & 0xFF;
    sum[2] += int(pixel) & 0xFF;
  }
  const std::uint32_t expected = testmedia::PictureColor(recipe, recipe.Width / 2, recipe.Height / 2);
  const int count = std::max<int>(1, int(crop.Pixels.size()));
  for (int c = 0; c < 3; ++c) {
    const int want = int(expected >> (16 - 8 * c)) & 0xFF;
    if (std::abs(sum[c] / count - want) > 20) {
      return testing::AssertionFailure() << "channel " << c << ": " << sum[c] / count << " for " << want;
    }
  }
  return testing::AssertionSuccess();
}

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
      // The later tracks hold a back cover only: with no front cover, that one is the cover.
      tags.Picture = testmedia::EncodePicture(RoadsCover);
      tags.PictureType = i == 1 ? 3 : 4;
      files.Write(music / "Walker" / "Roads" / ("Track" + std::to_string(i) + ".mp3"), tags);
    }
    for (int i = 1; i <= 2; ++i) {
      testmedia::TId3v2Fields tags{
          "Hill " + std::to_string(i), "Climber", "Hills", "2002", "Pop", std::to_string(i)};
      files.Write(music / "Climber" / "Hills" / ("Track" + std::to_string(i) + ".mp3"), tags);
    }
    testmedia::WriteBytes(music / "Climber" / "Hills" / "folder.JPG", testmedia::EncodePicture(HillsCover));
    const TProgramRun scan = Lib({"scan", "full"});
    ASSERT_EQ(scan.ExitCode, 0) << scan.Output;
  }
  void TearDown() override { unsetenv("OXA_AUDIO"); }

  bool Traced(const std::string& text) const { return Trace.Contains(text); }
  std::string TraceTail() const { return Trace.Tail(); }
  TScreenPicture Settled(int left, int top, int width, int height)
  {
    return SettledShot(*Hands, left, top, width, height);
  }
  void Save(const std::string& name, const TScreenPicture& picture)
  {
    const char* binary = getenv("OXA_BINARY_DIR");
    const fs::path folder = fs::path(binary != nullptr ? binary : ".") / "screens";
    fs::create_directories(folder);
    WritePngPicture((folder / (name + ".png")).string(), picture);
  }

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
  EXPECT_TRUE(WaitFor([&] { return ShowsMiddleOf(*Hands, CoverMiddle, RoadsCover); }, 20s))
      << ShowsMiddleOf(*Hands, CoverMiddle, RoadsCover);
  Save("covers-info-panel-embedded", Settled(0, 0, ScreenWidth, ScreenHeight));

  // The folder image, wider than tall.
  ASSERT_EQ(Host({"playfile", "C:\\Music\\Climber\\Hills\\Track2.mp3"}).ExitCode, 0);
  ASSERT_TRUE(WaitFor([] { return PublishedTrack() == "Hill 2"; })) << HostStatus();
  EXPECT_TRUE(WaitFor([&] { return ShowsMiddleOf(*Hands, CoverMiddle, HillsCover); }, 20s))
      << ShowsMiddleOf(*Hands, CoverMiddle, HillsCover);
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
  // Hills (open, the playing album), then Roads, each with its album's cover for an icon.
  EXPECT_TRUE(WaitFor([&] { return ShowsMiddleOf(*Hands, FirstIcon, HillsCover); }, 20s))
      << ShowsMiddleOf(*Hands, FirstIcon, HillsCover);
  EXPECT_TRUE(ShowsMiddleOf(*Hands, FourthIcon, RoadsCover));
  Save("covers-albums", Settled(0, 0, ScreenWidth, ScreenHeight));
  program.Kill();
}

}  // namespace
