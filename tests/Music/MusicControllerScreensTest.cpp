// Pictures of the browser as the host's remote keys move through a group, against reviewed
// references. OXA_SCREENS_X11=1 takes them from a private X server instead of the memory screen.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Music/form/Music.h"
#include "platform/files/Paths.h"
#include "platform/windows/DisplayTesting.h"
#include "settings/OxaMusicPlayerTypes.h"
#include "tests/Music/FolderLibrary.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/DeclaredDrives.h"
#include "tests/support/MessagePump.h"
#include "tests/support/ScreenShots.h"
#include "tests/support/XvfbServer.h"

namespace {

namespace fs = std::filesystem;

class TMusicControllerScreensTest : public ::testing::Test {
 protected:
  void SetUp() override
  {
    setenv("OXA_AUDIO", "null", 1);
    ResetSettingsFileName();
    FServer = UseScreenshotDisplay();
    Application().Initialize();
    ASSERT_TRUE(ImportFolders(
        FMachine, {{"Harbour", {"Anchor", "Buoy", "Cedar", "Dock"}}, {"Meadow", {"Elm", "Fern"}}}));
  }
  void TearDown() override
  {
    Application().DestroyComponents();
    ResetSettingsFileName();
    unsetenv("OXA_AUDIO");
    FServer.reset();
  }
  // Runs oxa-host while this thread handles the window's messages; its exit code.
  static int Host(const std::vector<std::string>& arguments)
  {
    TChildProcess host(OXA_HOST_PROGRAM, arguments);
    int code = -1;
    PumpUntil(
        [&] {
          // Once reaped, the child is not asked again.
          if (code == -1) {
            code = host.Wait(std::chrono::milliseconds(0));
          }
          return code != -1;
        },
        30000);
    return code;
  }
  // The screen once the browser has painted everything pending.
  static TScreenPicture Shot(TMusicForm* form)
  {
    PumpFor(200);
    TOxaImage* image = form->BrowserImage();
    const int before = image->PaintCount();
    image->Invalidate();
    PumpUntil([&] { return image->PaintCount() > before; }, 5000);
    std::vector<std::uint32_t> pixels;
    SIZE size{};
    TScreenPicture picture;
    if (!ReadScreen(pixels, size)) {
      ADD_FAILURE() << "the screen cannot be read";
      return picture;
    }
    picture.Width = size.cx;
    picture.Height = size.cy;
    picture.Pixels = std::move(pixels);
    return picture;
  }

  std::unique_ptr<TXvfbServer> FServer;
  TDeclaredMachine FMachine;
};

TEST_F(TMusicControllerScreensTest, TheHostsStepUpMovesThePlayingMarkToTheNextRow)
{
  const std::string start =
      WindowsPathOf((FMachine.DriveFolder('C') / "Music" / "Harbour" / "Buoy.mp3").string());
  auto* form = Application().CreateForm<TMusicForm>(std::vector<std::string>{"DEBUG", start});
  ASSERT_TRUE(form->Running());
  PumpFor(300);
  ASSERT_EQ(form->CurrentItem().Caption, "Buoy");
  // The host opens the source, then forwards the key.
  ASSERT_EQ(Host({"open", "--call"}), 0);
  form->SetDisplayMode(2);
  // A library without roots opens the scan panel over the lists at start: closed here.
  if (form->ScanPanel() != 0) {
    form->ToggleScanPanel(form->ScanPanel());
  }
  EXPECT_TRUE(MatchesScreen("controller-before-stepup", Shot(form)));

  ASSERT_EQ(Host({"key", "StepUp"}), 0);
  ASSERT_TRUE(PumpUntil([&] { return form->CurrentItem().Caption == "Cedar"; }, 10000))
      << form->CurrentItem().Caption;
  EXPECT_TRUE(MatchesScreen("controller-after-stepup", Shot(form)));
}

}  // namespace
