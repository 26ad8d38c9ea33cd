// The panels on the screen, against reviewed pictures in tests/data/screens/: the info panel of
// a playing track, the scan panel idle and at 40 % (its options shown). OXA_SCREENS_XVFB=1 draws
// the same scene on a private X server; the pictures are then only saved to the build folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "graphics/OxaImage.h"
#include "platform/display/Display.h"
#include "platform/windows/DisplayTesting.h"
#include "skin/OxaSkin.h"
#include "tests/support/DeclaredDrives.h"
#include "tests/support/MessagePump.h"
#include "tests/support/ScreenShots.h"
#include "tests/support/XvfbServer.h"
#include "views/MusicAssets.h"
#include "views/OxaMusicInfoAssets.h"
#include "views/OxaMusicScanAssets.h"
#include "views/info/MusicView.h"
#include "views/scan/OxaMusicScanView.h"

namespace fs = std::filesystem;

namespace {

constexpr int kScreenWidth = 1240;
constexpr int kScreenHeight = 600;

bool UseXvfb()
{
  const char* value = std::getenv("OXA_SCREENS_XVFB");
  return value != nullptr && std::string(value) == "1";
}

std::string Environment(const char* name)
{
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// The rectangle of the screen as a picture of its own.
TScreenPicture Crop(const std::vector<std::uint32_t>& pixels, SIZE size, const RECT& area)
{
  TScreenPicture picture;
  picture.Width = area.right - area.left;
  picture.Height = area.bottom - area.top;
  for (LONG y = area.top; y < area.bottom; ++y) {
    for (LONG x = area.left; x < area.right; ++x) {
      picture.Pixels.push_back(x < size.cx && y < size.cy
                                   ? pixels[std::size_t(y) * std::size_t(size.cx) + std::size_t(x)] & 0xFFFFFF
                                   : 0);
    }
  }
  return picture;
}

class PanelScreenshotTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite()
  {
    if (UseXvfb()) {
      Xvfb = new TXvfbServer(std::to_string(kScreenWidth) + "x" + std::to_string(kScreenHeight) + "x24");
      UseX11Display();
    } else {
      UseHeadlessDisplay(kScreenWidth, kScreenHeight);
    }
  }
  static void TearDownTestSuite()
  {
    if (Xvfb != nullptr) {
      // Let go of the server before it stops.
      UseHeadlessDisplay(kScreenWidth, kScreenHeight);
    }
    delete Xvfb;
    Xvfb = nullptr;
  }

  void SetUp() override
  {
    Image->SetColor(0x000000);
    Image->SetBounds(0, 0, kScreenWidth, kScreenHeight);
    Root->SetBounds(0, 0, kScreenWidth, kScreenHeight);
    Root->SetColor(0x000000);
    Image->SetBitmap(Root.get());
    Image->Show();
  }
  void TearDown() override { Image->SetBitmap(nullptr); }

  // Shows the tree and checks each named area against its reviewed picture.
  void Check(const std::vector<std::pair<std::string, RECT>>& areas)
  {
    Image->Invalidate();
    PumpUntil([] { return false; }, 300);
    std::vector<std::uint32_t> pixels;
    SIZE size{};
    ASSERT_TRUE(ReadScreen(pixels, size));
    for (const auto& [name, area] : areas) {
      const TScreenPicture picture = Crop(pixels, size, area);
      if (UseXvfb()) {
        const fs::path build =
            fs::path(Environment("OXA_BINARY_DIR").empty() ? "." : Environment("OXA_BINARY_DIR")) / "screens";
        fs::create_directories(build);
        EXPECT_TRUE(WritePngPicture((build / (name + ".xvfb.png")).string(), picture));
      } else {
        EXPECT_TRUE(MatchesScreen(name, picture));
      }
    }
  }

  static inline TXvfbServer* Xvfb = nullptr;
  TDeclaredMachine Machine;
  TOwnedObject<TOxaImage> Image{new TOxaImage(nullptr)};
  TOwnedObject<TOxaBitmap> Root{new TOxaBitmap(nullptr)};
};

TEST_F(PanelScreenshotTest, InfoPanelOfAPlayingTrackAndScanPanelIdleAndAt40Percent)
{
  TMusicAssetsForm music(nullptr, &OxaSkinStore);
  TOxaMusicInfoAssetsForm info(nullptr, &OxaSkinStore);
  TOxaMusicScanAssetsForm scan(nullptr, &OxaSkinStore);
  TOxaMusicPlayer player("no-such-audio-component");

  auto* view = new TMusicView(&Root->Objects());
  view->SetParent(Root.get());
  view->SetBounds(0, 0, 420, kScreenHeight);
  view->Info()->SetAssets(info, music);
  view->SetPlayer(&player);
  view->SetClock([] { return std::uint64_t(1000); });
  view->ShowInfo(true);
  TMusicFileItem track;
  track.FileName = "C:\\Music\\Quiet Band\\Evening Songs\\07 Harbour Lights.mp3";
  track.Title = "Harbour Lights";
  track.Artist = "Quiet Band";
  track.Album = "Evening Songs";
  track.Genre = "Folk";
  track.Track = 7;
  track.Bitrate = 192;
  track.Duration = 245;
  view->DisplayFile(track, 2, -1);
  view->Info()->Body()->DurationItem()->SetMode(TOxaDurationMode::Elapsed);
  view->SetPlayPosition(987);

  const std::vector<TOxaScanDrive> drives = {
      {"C:\\", TDriveKind::dkFixed, 10LL * 1073741824, "System", true},
      {"D:\\", TDriveKind::dkCDRom, 0, "", false},
      {"E:\\", TDriveKind::dkRemovable, 0, "STICK", true},
      {"N:\\", TDriveKind::dkNetwork, 0, "", true},
  };
  auto* idle = new TOxaMusicScanView(&Root->Objects());
  idle->SetParent(Root.get());
  idle->Panel()->SetAssets(scan);
  idle->SetBounds(420, 0, 400, kScreenHeight);
  idle->SetDrives(drives);
  idle->ShowScanState(false, TScanMode::Full);

  auto* running = new TOxaMusicScanView(&Root->Objects());
  running->SetParent(Root.get());
  running->Panel()->SetAssets(scan);
  running->SetBounds(820, 0, 400, kScreenHeight);
  running->SetDrives(drives);
  running->ShowScanState(true, TScanMode::Full);
  WORD key = 'X';
  running->KeyDown(key, ssCtrl);
  running->SetStatus("Scanning step 1 of 3",
                     "C:\\Users\\Shared\\Music\\Collections\\Jazz\\Live Recordings\\1962\\Side B\\track.mp3");
  running->SetProgress(40);

  Check({{"info-playing", RECT{0, 0, 420, kScreenHeight}},
         {"scan-idle", RECT{420, 0, 820, kScreenHeight}},
         {"scan-40", RECT{820, 0, 1220, kScreenHeight}}});
}

// The rectangle of a label's text surface in the window.
RECT TextRect(const TOxaLabel& label)
{
  const RECT image = label.ImageRect();
  const POINT at = label.PointToControl(POINT{image.left, image.top});
  return {at.x, at.y, at.x + image.right - image.left, at.y + image.bottom - image.top};
}

TEST_F(PanelScreenshotTest, ScanPanelTextLiesOnTheBlackPanelWithoutBoxes)
{
  // The status line, the options and the drive lines are set in platform fonts: their text must
  // show on the black panel itself, not as dark text on a light box.
  TOxaMusicScanAssetsForm scan(nullptr, &OxaSkinStore);
  const std::vector<TOxaScanDrive> drives = {
      {"C:\\", TDriveKind::dkFixed, 10LL * 1073741824, "System", true},
      {"Z:\\", TDriveKind::dkUnknown, 0, "", true},
  };
  auto* view = new TOxaMusicScanView(&Root->Objects());
  view->SetParent(Root.get());
  view->Panel()->SetAssets(scan);
  view->SetBounds(0, 0, 400, kScreenHeight);
  view->SetDrives(drives);
  view->ShowScanState(false, TScanMode::Full);
  WORD key = 'X';
  view->KeyDown(key, ssCtrl);
  view->SetStatus("Click START to scan the selected drives for music", "");
  Image->Invalidate();
  PumpUntil([] { return false; }, 300);
  std::vector<std::uint32_t> pixels;
  SIZE size{};
  ASSERT_TRUE(ReadScreen(pixels, size));

  TOxaMusicScan& panel = *view->Panel();
  std::vector<const TOxaLabel*> labels{panel.Status()->Label()};
  for (int i = 0; i < panel.Options()->Count(); ++i) {
    labels.push_back(panel.Options()->Options(i));
  }
  for (int i = 0; i < panel.Drives()->Count(); ++i) {
    labels.push_back(panel.Drives()->GetItem(i));
  }
  ASSERT_EQ(labels.size(), 5U);
  for (const TOxaLabel* label : labels) {
    SCOPED_TRACE(label->Caption());
    ASSERT_NE(label->Font(), nullptr);
    const TOxaColor ink = label->Font()->GdiFont().Color & 0xFF;
    const RECT area = TextRect(*label);
    ASSERT_LT(area.left, area.right);
    int panelPixels = 0;
    int brightest = 0;
    int count = 0;
    for (LONG y = area.top; y < std::min(area.bottom, size.cy); ++y) {
      for (LONG x = area.left; x < std::min(area.right, size.cx); ++x) {
        const std::uint32_t pixel = pixels[std::size_t(y) * std::size_t(size.cx) + std::size_t(x)] & 0xFFFFFF;
        // Grey text on black: nothing lighter than the ink, the rest of the rectangle the panel.
        ASSERT_LE(int(pixel & 0xFF), int(ink)) << x << "," << y << ": " << std::hex << pixel;
        panelPixels += pixel == 0 ? 1 : 0;
        brightest = std::max(brightest, int(pixel & 0xFF));
        ++count;
      }
    }
    EXPECT_GT(panelPixels, count / 2);
    EXPECT_GE(brightest, 0x60);
  }
}

}  // namespace
