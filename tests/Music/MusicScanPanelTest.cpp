// The scan panel on the main window built in this process: its keys wherever the focus is, and
// what it shows and stores after a scan that ran while it was open.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "Music/form/Music.h"
#include "Music/form/MusicDisplay.h"
#include "framework/OxaUtils.h"
#include "platform/core/Time.h"
#include "platform/windows/DisplayTesting.h"
#include "platform/windows/Input.h"
#include "settings/OxaMusicPlayerTypes.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TraceCapture.h"

namespace {

class TMusicScanPanelTest : public ::testing::Test {
 protected:
  void SetUp() override
  {
    setenv("OXA_AUDIO", "null", 1);
    ResetSettingsFileName();
    UseHeadlessDisplay(800, 600);
    Application().Initialize();
    // An empty library: the browser starts on the scan panel.
    Form = Application().CreateForm<TMusicForm>(std::vector<std::string>{});
    Application().ProcessMessages();
  }
  void TearDown() override
  {
    Application().DestroyComponents();
    ResetSettingsFileName();
    unsetenv("OXA_AUDIO");
  }
  TOxaMusicScanView& Scan() { return *Form->ScanView(); }
  TOxaMusicScanCheckboxItem* Row(const char* root)
  {
    TOxaMusicScanScrollbox* box = Scan().Panel()->Drives();
    for (int i = 0; i < box->Count(); ++i) {
      if (box->GetItem(i)->Drive().Root == root) {
        return box->GetItem(i);
      }
    }
    return nullptr;
  }
  bool Key(WORD key, TShiftState shift) { return Form->HandleKey(key, shift, GetTickCount()); }
  std::vector<std::string> StoredDrives()
  {
    TStringList stored;
    ReadOption(TMusicOption::WhiteDrives, stored);
    std::vector<std::string> roots;
    for (int i = 0; i < stored.Count(); ++i) {
      roots.push_back(stored[i]);
    }
    return roots;
  }

  TTempMachine Machine;
  TMusicForm* Form = nullptr;
};

TEST_F(TMusicScanPanelTest, ThePanelsKeysActInBothPresentations)
{
  ASSERT_TRUE(Form->Running());
  for (const std::uint8_t presentation : {2, 1}) {
    SCOPED_TRACE(int(presentation));
    if (Form->ScanPanel() != presentation) {
      Form->ToggleScanPanel(presentation);
    }
    ASSERT_EQ(Form->ScanPanel(), presentation);
    TOxaMusicScanRadiobuttonGroup* options = Scan().Panel()->Options();
    const bool optionsShown = options->Visible();
    EXPECT_TRUE(Key('X', ssCtrl)) << "Ctrl+X";
    EXPECT_NE(options->Visible(), optionsShown);
    EXPECT_TRUE(Key('X', ssCtrl));
    EXPECT_EQ(options->Visible(), optionsShown) << "a second Ctrl+X hides them again";

    const TOxaDriveCaptionStyle style = Scan().CaptionStyle();
    EXPECT_TRUE(Key('X', ssCtrl | ssShift)) << "Ctrl+Shift+X";
    EXPECT_NE(Scan().CaptionStyle(), style);
    ASSERT_NE(Row("C:\\"), nullptr);
    EXPECT_EQ(Row("C:\\")->Caption().find(" on "), std::string::npos) << Row("C:\\")->Caption();
    EXPECT_TRUE(Key('X', ssCtrl | ssShift));
    EXPECT_EQ(Scan().CaptionStyle(), style);

    TOxaLabel* credits = Scan().Panel()->Credits();
    const bool creditsShown = credits->Visible();
    EXPECT_TRUE(Key('E', ssCtrl | ssShift | ssAlt)) << "Ctrl+Alt+Shift+E";
    EXPECT_NE(credits->Visible(), creditsShown);
    EXPECT_TRUE(Key('E', ssCtrl | ssShift | ssAlt));
    EXPECT_EQ(credits->Visible(), creditsShown);
  }
  // Closed, the panel takes no keys: Ctrl+X is not the program's then.
  Form->ToggleScanPanel(Form->ScanPanel());
  ASSERT_EQ(Form->ScanPanel(), 0);
  EXPECT_FALSE(Key('X', ssCtrl));
}

TEST_F(TMusicScanPanelTest, AScanEndingWhileThePanelIsOpenKeepsItsChecksAndSaysItIsDone)
{
  ASSERT_TRUE(Form->Running());
  ASSERT_EQ(Form->ScanPanel(), 2);
  ASSERT_NE(Row("C:\\"), nullptr);
  ASSERT_TRUE(Row("C:\\")->Checked()) << "the home drive is checked by default";
  const TTraceCapture trace;
  // F5: an update scan while the panel shows; it ends and the library is updated.
  EXPECT_TRUE(Key(VK_F1 + 4, 0));
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!trace.Contains("PlayerUpdateDatabase") && std::chrono::steady_clock::now() < giveUp) {
    Application().ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_TRUE(trace.Contains("PlayerUpdateDatabase"));
  Application().ProcessMessages();
  ASSERT_NE(Row("C:\\"), nullptr);
  EXPECT_TRUE(Row("C:\\")->Checked()) << "the rows made anew keep their checks";
  EXPECT_EQ(Scan().Panel()->Status()->Caption().substr(0, 49), ScanPanelPrompt)
      << "no step of the scan that ended stays on show";
  EXPECT_FALSE(Scan().Panel()->Buttons()->StartButton()->Disabled());
  EXPECT_TRUE(Form->ScanProgressText().empty());

  // START stores what shows checked, not an empty list.
  Scan().Start();
  EXPECT_EQ(StoredDrives(), std::vector<std::string>{"C:\\"});
}

}  // namespace
