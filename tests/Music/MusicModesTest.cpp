#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "Music/form/Music.h"
#include "Music/form/MusicDisplay.h"
#include "Music/lists/MusicLists.h"
#include "framework/OxaUtils.h"
#include "platform/windows/DisplayTesting.h"
#include "platform/windows/InputEvents.h"
#include "platform/windows/Messages.h"
#include "platform/windows/Windows.h"
#include "settings/OxaMusicPlayerTypes.h"
#include "tests/Music/FourTrackAlbum.h"
#include "tests/support/DeclaredDrives.h"
#include "tests/support/MessagePump.h"
#include "tests/support/ProgramRun.h"
#include "tools/make-test-media/TestMedia.h"

namespace {

std::string Text(const RECT& r)
{
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

TEST(MusicModePlaces, EachModePlacesTheListsAndParksTheHiddenOnesOutside)
{
  const struct {
    std::uint8_t Mode;
    int Width;
    const char* First;
    const char* Second;
  } cases[] = {
      {0, 800, "-800,0,0,600", "800,0,1200,600"}, {1, 800, "0,0,800,600", "800,0,1200,600"},
      {2, 800, "0,0,800,600", "800,0,1200,600"},  {3, 800, "0,0,400,600", "400,0,800,600"},
      {3, 801, "0,0,400,600", "400,0,801,600"},   {2, 801, "0,0,801,600", "801,0,1202,600"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.Mode) + " at " + std::to_string(c.Width));
    const TListPlaces places = ListPlaces(c.Mode, c.Width, 600);
    EXPECT_EQ(Text(places.First), c.First);
    EXPECT_EQ(Text(places.Second), c.Second);
  }
}

// The slides at their start, middle, last moving step, end and one step past it.
TEST(MusicModePlaces, SlidesRunOnTheEasedCurveAndEndExactlyInPlace)
{
  const struct {
    std::uint8_t From, To;
    int Duration;
    int Elapsed;
    const char* First;
    const char* Second;
  } cases[] = {
      // The second list comes in over the first, which keeps its width until the end.
      {2, 3, 469, 0, "0,0,800,600", "800,0,1200,600"},
      {2, 3, 469, 234, "0,0,800,600", "601,0,1001,600"},
      {2, 3, 469, 468, "0,0,800,600", "400,0,800,600"},
      {2, 3, 469, 469, "0,0,400,600", "400,0,800,600"},
      {2, 3, 469, 479, "0,0,400,600", "400,0,800,600"},
      // Going back the first list is wide at once, under the second going out.
      {3, 2, 469, 0, "0,0,800,600", "400,0,800,600"},
      {3, 2, 469, 234, "0,0,800,600", "599,0,999,600"},
      {3, 2, 469, 469, "0,0,800,600", "800,0,1200,600"},
      // From and to the hidden state the first list slides in from the left and back.
      {0, 1, 625, 0, "-800,0,0,600", "800,0,1200,600"},
      {0, 1, 625, 312, "-401,0,399,600", "800,0,1200,600"},
      {0, 1, 625, 625, "0,0,800,600", "800,0,1200,600"},
      {1, 0, 625, 312, "-399,0,401,600", "800,0,1200,600"},
      {1, 0, 625, 635, "-800,0,0,600", "800,0,1200,600"},
      {0, 3, 625, 312, "-401,0,399,600", "601,0,1001,600"},
      {0, 3, 625, 625, "0,0,400,600", "400,0,800,600"},
      // Between the two presentations of the first list nothing moves.
      {1, 2, 0, 0, "0,0,800,600", "800,0,1200,600"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.From) + " to " + std::to_string(c.To) + " at " + std::to_string(c.Elapsed));
    const TPanelSlide slide = MakePanelSlide(ListPlaces(c.From, 800, 600), ListPlaces(c.To, 800, 600));
    EXPECT_EQ(slide.Duration, c.Duration);
    const TListPlaces at = PanelSlideAt(slide, std::uint64_t(c.Elapsed));
    EXPECT_EQ(Text(at.First), c.First);
    EXPECT_EQ(Text(at.Second), c.Second);
  }
}

TEST(MusicModePlaces, TheScanPanelAtTheRightLeavesTheListsTheRest)
{
  const struct {
    std::uint8_t Mode, ScanPanel, Placed;
  } modes[] = {{3, 0, 3}, {3, 1, 2}, {3, 2, 3}, {2, 1, 2}, {1, 1, 1}, {0, 1, 0}};
  for (const auto& m : modes) {
    EXPECT_EQ(ListsMode(m.Mode, m.ScanPanel), m.Placed) << int(m.Mode) << " " << int(m.ScanPanel);
  }
  const struct {
    int Browser;
    std::uint8_t ScanPanel;
    int Lists;
  } cases[] = {{800, 0, 800}, {800, 1, 380}, {800, 2, 800}, {381, 1, 380}, {380, 1, 380}, {379, 1, 379}};
  for (const auto& c : cases) {
    EXPECT_EQ(ListsWidth(c.Browser, c.ScanPanel), c.Lists) << c.Browser << " " << int(c.ScanPanel);
  }
}

TEST(MusicModePlaces, OnlyKeysAndTheMouseAreTheUsersInput)
{
  const struct {
    UINT Message;
    bool Input;
  } cases[] = {{WM_KEYDOWN - 1, false},   {WM_KEYDOWN, true},       {WM_CHAR, true},
               {WM_SYSKEYUP, true},       {WM_SYSKEYUP + 1, false}, {WM_MOUSEFIRST - 1, false},
               {WM_MOUSEMOVE, true},      {WM_MOUSEWHEEL, true},    {WM_MOUSELAST, true},
               {WM_MOUSELAST + 1, false}, {WM_TIMER, false},        {WM_PAINT, false}};
  for (const auto& c : cases) {
    EXPECT_EQ(IsUserInputMessage(c.Message), c.Input) << std::hex << c.Message;
  }
}

// The main window built in this process over a library of four tracks in one folder, the
// browser up in mode 2.
class TMusicModesTest : public ::testing::Test {
 protected:
  void SetUp() override
  {
    setenv("OXA_AUDIO", "null", 1);
    ASSERT_TRUE(ImportFourTrackAlbum(Machine));
    Form = StartWindowAfterInstall();
    ASSERT_TRUE(Form->Running());
    // Slides end at their first step unless a test watches them.
    Form->SetSlideClock([this] { return Now += 10000; });
    if (Form->ScanPanel() != 0) {
      Form->ToggleScanPanel(Form->ScanPanel());
    }
    Form->SetDisplayMode(2);
    Application().ProcessMessages();
  }
  void TearDown() override
  {
    Application().DestroyComponents();
    ResetSettingsFileName();
    unsetenv("OXA_AUDIO");
  }

  TMusicListView& First() { return *Form->FirstList()->List(); }
  // The first list's rows with the tracks of the folder, its group opened.
  std::vector<TDisplayListViewItem*> Tracks()
  {
    TMusicListLoader loader = Form->ListLoader(Form->FirstList());
    for (TMusicListViewItem* head : loader.GroupRows()) {
      if (!TMusicListLoader::IsOpen(head)) {
        Form->ListItemClick(&First(), head, {}, 0, 0);
      }
      const TMusicListGroup* group = TMusicListLoader::GroupOf(head);
      if (group != nullptr && group->ChildCount() == 4) {
        std::vector<TDisplayListViewItem*> rows;
        for (int i = 0; i < group->ChildCount(); ++i) {
          rows.push_back(dynamic_cast<TDisplayListViewItem*>(group->Children(i)));
        }
        return rows;
      }
    }
    return {};
  }
  static void Pointer(POINT at)
  {
    TInputEvent event;
    event.Kind = TInputKind::Move;
    event.Screen = at;
    DeliverInput(event);
  }

  TDeclaredMachine Machine;
  TMusicForm* Form = nullptr;
  std::uint64_t Now = 0;
};

TEST_F(TMusicModesTest, AModeChangeDropsTheSelectionTheEditAndTheTypedEntry)
{
  const std::uint8_t modes[] = {3, 2, 1, 3, 0};
  for (const std::uint8_t mode : modes) {
    SCOPED_TRACE(int(mode));
    if (Form->DisplayMode() == 0) {
      Form->SetDisplayMode(2);
    }
    const std::vector<TDisplayListViewItem*> rows = Tracks();
    ASSERT_EQ(rows.size(), 4u);
    First().Select(rows[1]);
    First().Select(rows[2]);
    First().SetEditRow(rows[3]);
    Form->TypeCharacter('x');
    ASSERT_TRUE(Form->TypeAhead().Pending());
    ASSERT_EQ(First().SelectedCount(), 2);

    Form->SetDisplayMode(mode);
    EXPECT_EQ(Form->DisplayMode(), mode);
    EXPECT_EQ(First().SelectedCount(), 0);
    EXPECT_EQ(First().EditRow(), nullptr);
    EXPECT_EQ(First().Editor(), nullptr);
    EXPECT_FALSE(Form->TypeAhead().Pending());
    EXPECT_EQ(Form->TypeAhead().EntryText(), "");
  }
  // The same mode again changes nothing, and keeps what the user is doing.
  Form->SetDisplayMode(2);
  const std::vector<TDisplayListViewItem*> rows = Tracks();
  ASSERT_EQ(rows.size(), 4u);
  First().Select(rows[0]);
  Form->SetDisplayMode(2);
  EXPECT_EQ(First().SelectedCount(), 1);
}

TEST_F(TMusicModesTest, ModeOneHidesAfterTheIdleTimeAndOnlyModeOne)
{
  Form->SetIdleHideDelay(1000);
  const struct {
    std::uint8_t Mode;
    std::uint64_t IdleFor;
    std::uint8_t After;
  } cases[] = {{1, 999, 1}, {1, 1000, 0}, {1, 1001, 0}, {2, 5000, 2}, {3, 5000, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.Mode) + " idle " + std::to_string(c.IdleFor));
    Form->SetDisplayMode(2);
    Form->SetDisplayMode(c.Mode);
    const std::uint64_t input = Form->LastUserInput();
    Form->IdleCheck(input + c.IdleFor);
    EXPECT_EQ(Form->DisplayMode(), c.After);
  }
  // Input just before the time is up starts it again.
  Form->SetDisplayMode(1);
  const std::uint64_t shown = Form->LastUserInput();
  Form->NoteUserInputAt(shown + 900);
  Form->IdleCheck(shown + 1000);
  EXPECT_EQ(Form->DisplayMode(), 1);
  Form->IdleCheck(shown + 1899);
  EXPECT_EQ(Form->DisplayMode(), 1);
  Form->IdleCheck(shown + 1900);
  EXPECT_EQ(Form->DisplayMode(), 0);
}

TEST_F(TMusicModesTest, TheIdleTimerHidesModeOneUnlessThePointerKeepsMoving)
{
  Form->SetIdleHideDelay(150);
  Form->SetDisplayMode(1);
  // The pointer moving over the browser keeps it up well past the idle time.
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(450);
  for (int i = 0; std::chrono::steady_clock::now() < until; ++i) {
    Pointer(POINT{300 + (i % 2) * 10, 300});
    Application().ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(Form->DisplayMode(), 1);
  // Left alone, the timer hides it.
  EXPECT_TRUE(PumpUntil([&] { return Form->DisplayMode() == 0; }, 5000));
  EXPECT_FALSE(IsWindowVisible(Form->BrowserImage()->Handle()));
  EXPECT_TRUE(Form->Triangle()->Shown());
}

TEST_F(TMusicModesTest, TheShownListsKeepTheFocusAndTheFirstTakesItOtherwise)
{
  TMusicListViewEx* first = Form->FirstList();
  TMusicListViewEx* second = Form->SecondList();
  EXPECT_EQ(Form->ListWithFocus(), first) << "the browser came up in mode 2";
  Form->SetDisplayMode(3);
  EXPECT_EQ(Form->ListWithFocus(), first);
  Form->BrowserImage()->SetFocused(second->List());
  const struct {
    const char* Step;
    std::uint8_t Mode;
    bool Activate;
    TMusicListViewEx* Focused;
  } cases[] = {
      {"activated in mode 3", 3, true, second},
      {"mode 3 to 2 hides the second", 2, false, first},
      {"mode 2 to 0 hides both", 0, false, nullptr},
      {"activated in mode 0", 0, true, nullptr},
      {"mode 0 to 1", 1, false, first},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Step);
    Form->SetDisplayMode(c.Mode);
    if (c.Activate) {
      Application().OnActivate(nullptr);
    }
    EXPECT_EQ(Form->ListWithFocus(), c.Focused);
  }
}

TEST_F(TMusicModesTest, TheSecondListSlidesInStepByStepAndEndsInPlace)
{
  std::vector<int> seconds;
  std::vector<int> firstWidths;
  Form->SetSlideClock([&] {
    seconds.push_back(Form->SecondList()->Left());
    firstWidths.push_back(Form->FirstList()->Width());
    return Now += 40;
  });
  Form->SetDisplayMode(3);
  ASSERT_GE(seconds.size(), 10u) << "469 ms in 40 ms steps";
  EXPECT_EQ(seconds[0], 800) << "it starts outside";
  for (std::size_t i = 1; i < seconds.size(); ++i) {
    EXPECT_LE(seconds[i], seconds[i - 1]) << i;
    EXPECT_EQ(firstWidths[i], 800) << "the first list is laid out once, at the end";
  }
  EXPECT_EQ(Form->SecondList()->Left(), 400);
  EXPECT_EQ(Form->FirstList()->Width(), 400);
  EXPECT_TRUE(Form->SecondList()->Visible());

  // Back to mode 2 the second list leaves and hides; the first is wide again.
  seconds.clear();
  Form->SetDisplayMode(2);
  ASSERT_FALSE(seconds.empty());
  EXPECT_EQ(seconds[0], 400);
  EXPECT_FALSE(Form->SecondList()->Visible());
  EXPECT_EQ(Form->FirstList()->Width(), 800);
  EXPECT_EQ(Form->FirstList()->Left(), 0);
}

TEST_F(TMusicModesTest, RandomShufflesTheStartOnlyWhenThereIsAStartItem)
{
  TStringList roots;
  roots.Add("C:\\Music\\");
  WriteOption(TMusicOption::Roots, roots);
  WriteRandom(true);
  const std::string alpha = (Machine.DriveFolder('C') / "Music" / "Album" / "Alpha.mp3").string();
  const struct {
    std::vector<std::string> Arguments;
    bool Shuffled;
  } cases[] = {{{}, false}, {{alpha}, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Arguments.size());
    Application().DestroyComponents();
    Application().Initialize();
    // Checked as the constructor leaves it: the update scan it schedules may already be due
    // on a loaded machine, and its reload starts the shuffle history over.
    Form = Application().CreateForm<TMusicForm>(c.Arguments);
    ASSERT_TRUE(Form->Running());
    EXPECT_EQ(Form->Navigator().Shuffle, c.Shuffled);
    // Shuffled, one track of the start item's group plays and counts as played.
    EXPECT_EQ(Form->Navigator().PlayedItems.Count(), c.Shuffled ? 1 : 0);
    if (c.Shuffled) {
      EXPECT_EQ(Form->Navigator().GroupItems.Count(), 4);
      EXPECT_GE(Form->Navigator().GroupItems.IndexOfFile(Form->CurrentItem().FileId), 0);
    }
  }
}

TEST_F(TMusicModesTest, TheScanPanelCoversOrNarrowsTheLists)
{
  Form->SetDisplayMode(3);
  const struct {
    std::uint8_t Toggle;
    bool First, Second;
    int FirstWidth;
    bool Focused;
  } cases[] = {{1, true, false, 380, true}, {2, false, false, 380, false}, {2, true, true, 400, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(int(c.Toggle));
    Form->ToggleScanPanel(c.Toggle);
    EXPECT_EQ(Form->FirstList()->Visible(), c.First);
    EXPECT_EQ(Form->SecondList()->Visible(), c.Second);
    if (c.First) {
      EXPECT_EQ(Form->FirstList()->Width(), c.FirstWidth);
    }
    if (Form->ScanPanel() == 1) {
      EXPECT_LE(Form->FirstList()->Left() + Form->FirstList()->Width(), Form->ScanView()->Left());
    }
    EXPECT_EQ(Form->ListWithFocus() != nullptr, c.Focused) << "no keys go to covered lists";
  }
}

}  // namespace
