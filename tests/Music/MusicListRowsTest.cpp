#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "Music/form/Music.h"
#include "platform/files/Paths.h"
#include "platform/windows/DisplayTesting.h"
#include "settings/OxaMusicPlayerTypes.h"
#include "tests/Music/FolderLibrary.h"
#include "tests/support/DeclaredDrives.h"

namespace {

namespace fs = std::filesystem;

// The main window built in this process, headless, over a library of two folders: "Harbour"
// with four tracks and "Meadow" with two, merged before the window starts.
class TMusicListRowsTest : public ::testing::Test {
 protected:
  void SetUp() override
  {
    setenv("OXA_AUDIO", "null", 1);
    ResetSettingsFileName();
    UseHeadlessDisplay(800, 600);
    Application().Initialize();
    ASSERT_TRUE(ImportFolders(
        FMachine, {{"Harbour", {"Anchor", "Buoy", "Cedar", "Dock"}}, {"Meadow", {"Elm", "Fern"}}}));
  }
  void TearDown() override
  {
    Application().DestroyComponents();
    ResetSettingsFileName();
    unsetenv("OXA_AUDIO");
  }
  fs::path Track(const std::string& folder, const std::string& title) const
  {
    return FolderTrack(FMachine, folder, title);
  }
  static TMusicListViewItem* Row(TMusicForm* form, const std::string& caption)
  {
    TMusicListView* list = form->FirstList()->List();
    for (int i = 0; i < list->ItemCount(); ++i) {
      if (auto* row = dynamic_cast<TMusicListViewItem*>(list->Items(i));
          row != nullptr && row->Caption() == caption) {
        return row;
      }
    }
    return nullptr;
  }
  // The row's place in the list's view (0: at the view's top).
  static int PlaceInView(const TMusicListView* list, const TOxaBitmap* row)
  {
    int top = 0;
    for (const TOxaBitmap* node = row; node != list->Panel(); node = node->Parent()) {
      top += node->Top();
    }
    return top - list->ScrollOffset();
  }

  TDeclaredMachine FMachine;
};

TEST_F(TMusicListRowsTest, TheStartViewShowsItsRowsWithTheCurrentTrackMarkedAndInView)
{
  auto* form = Application().CreateForm<TMusicForm>(
      std::vector<std::string>{"DEBUG", WindowsPathOf(Track("Meadow", "Fern").string())});
  Application().ProcessMessages();
  ASSERT_TRUE(form->Running());
  ASSERT_EQ(form->CurrentItem().Caption, "Fern");
  TMusicListView* list = form->FirstList()->List();
  TMusicListLoader loader = form->ListLoader(form->FirstList());
  const auto heads = loader.GroupRows();
  ASSERT_EQ(static_cast<int>(heads.size()), form->FirstListItems().Count());
  ASSERT_GE(heads.size(), 2u);
  for (const TMusicListViewItem* head : heads) {
    EXPECT_EQ(head->Kind(), TMusicListViewItemKinds::mlkFolder);
    EXPECT_FALSE(head->Caption().empty());
    EXPECT_GT(head->Width(), 0);
  }
  // The current track's group is open, its row marked, numbered and inside the view.
  TMusicListViewItem* fern = loader.FindRow(form->CurrentItem());
  ASSERT_NE(fern, nullptr);
  EXPECT_EQ(fern->Caption(), "Fern");
  EXPECT_EQ(fern->Number(), 2);
  EXPECT_NE(fern->State() & kRowPlaying, 0);
  EXPECT_EQ(list->ActiveRow(), fern);
  const int view = list->Height() - list->HeaderHeight() - list->FooterHeight();
  EXPECT_GE(PlaceInView(list, fern), 0);
  EXPECT_LE(PlaceInView(list, fern) + fern->Height(), view);
  EXPECT_EQ(Row(form, "Anchor"), nullptr) << "the other folder stays closed";
  // The Playlists list is empty and marks nothing.
  EXPECT_EQ(form->SecondList()->List()->ItemCount(), 0);
}

TEST_F(TMusicListRowsTest, HidingATrackReloadsTheListsAndKeepsTheOthers)
{
  auto* form = Application().CreateForm<TMusicForm>(
      std::vector<std::string>{"DEBUG", WindowsPathOf(Track("Harbour", "Cedar").string())});
  Application().ProcessMessages();
  ASSERT_TRUE(form->Running());
  TMusicListViewItem* buoy = Row(form, "Buoy");
  ASSERT_NE(buoy, nullptr);
  const TDbId hidden = buoy->Payload();
  const int groups = form->FirstListItems().Count();
  form->DeleteItems([&] {
    TDbIdList items;
    items.Add(hidden);
    return items;
  }());
  EXPECT_EQ(form->CurrentItem().Caption, "Cedar") << "the start item survives the update";
  EXPECT_EQ(Row(form, "Buoy"), nullptr);
  for (const char* title : {"Anchor", "Cedar", "Dock"}) {
    EXPECT_NE(Row(form, title), nullptr) << title;
  }
  EXPECT_EQ(Row(form, "Dock")->Number(), 3) << "numbered afresh";
  EXPECT_EQ(static_cast<int>(form->ListLoader(form->FirstList()).GroupRows().size()), groups);
  TMusicListViewItem* cedar = Row(form, "Cedar");
  EXPECT_NE(cedar->State() & kRowPlaying, 0) << "the playing track stays marked";
  int playing = 0;
  for (int i = 0; i < form->FirstList()->List()->ItemCount(); ++i) {
    playing += (form->FirstList()->List()->Items(i)->State() & kRowPlaying) != 0 ? 1 : 0;
  }
  EXPECT_EQ(playing, 1);
}

}  // namespace
