// The panels on the screen, against reviewed pictures: the info panel of a playing track, the
// scan panel idle and at 40 %. Each panel's pixels are hashed and compared with the hash stored
// beside its reviewed PNG in tests/data/screens/; on a difference the test fails and leaves the
// picture it saw in the build folder. OXA_UPDATE_SCREENS=1 stores new pictures and hashes (to be
// looked at before committing); OXA_SCREENS_XVFB=1 draws on a private X server instead of the
// memory screen and only saves the picture.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "graphics/OxaImage.h"
#include "platform/display/DisplayTesting.h"
#include "skin/OxaSkin.h"
#include "tests/support/DeclaredDrives.h"
#include "tests/support/MessagePump.h"
#include "tests/support/XvfbServer.h"
#include "views/MusicAssets.h"
#include "views/MusicView.h"
#include "views/OxaMusicInfoAssets.h"
#include "views/OxaMusicScanAssets.h"
#include "views/OxaMusicScanView.h"

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

// FNV-1a over the rectangle's pixels, as 16 hexadecimal digits.
std::string HashOf(const std::vector<std::uint32_t>& pixels, SIZE size, const RECT& area)
{
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (LONG y = area.top; y < area.bottom && y < size.cy; ++y) {
    for (LONG x = area.left; x < area.right && x < size.cx; ++x) {
      const std::uint32_t pixel = pixels[std::size_t(y) * std::size_t(size.cx) + std::size_t(x)] & 0xFFFFFF;
      for (int shift = 0; shift < 24; shift += 8) {
        hash ^= (pixel >> shift) & 0xFF;
        hash *= 0x100000001b3ULL;
      }
    }
  }
  std::ostringstream text;
  text << std::hex;
  text.width(16);
  text.fill('0');
  text << hash;
  return text.str();
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

  // Shows the tree, saves the screen and checks each named area against its reviewed hash.
  void Check(const std::string& picture, const std::vector<std::pair<std::string, RECT>>& areas)
  {
    Image->Invalidate();
    PumpUntil([] { return false; }, 300);
    std::vector<std::uint32_t> pixels;
    SIZE size{};
    ASSERT_TRUE(ReadScreen(pixels, size));
    const fs::path build =
        fs::path(Environment("OXA_BINARY_DIR").empty() ? "." : Environment("OXA_BINARY_DIR")) / "screens";
    fs::create_directories(build);
    const std::string suffix = UseXvfb() ? "-xvfb" : "";
    ASSERT_TRUE(SaveScreenPng((build / (picture + suffix + ".png")).string()));
    if (UseXvfb()) {
      return;
    }
    const fs::path reviewed = fs::path(Environment("OXA_SOURCE_DIR")) / "tests" / "data" / "screens";
    const bool update = Environment("OXA_UPDATE_SCREENS") == "1";
    if (update) {
      fs::create_directories(reviewed);
      SaveScreenPng((reviewed / (picture + ".png")).string());
    }
    for (const auto& [name, area] : areas) {
      const std::string hash = HashOf(pixels, size, area);
      const fs::path hashFile = reviewed / (name + ".hash");
      if (update) {
        std::ofstream(hashFile) << hash << "\n";
        continue;
      }
      std::string stored;
      std::ifstream(hashFile) >> stored;
      EXPECT_EQ(hash, stored) << name << ": compare " << (build / (picture + ".png")) << " with "
                              << (reviewed / (picture + ".png"));
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

  Check("panels", {{"info-playing", RECT{0, 0, 420, kScreenHeight}},
                   {"scan-idle", RECT{420, 0, 820, kScreenHeight}},
                   {"scan-40", RECT{820, 0, 1220, kScreenHeight}}});
}

}  // namespace
