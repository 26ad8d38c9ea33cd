// The controller on the lists' rows: the playing mark and the current group follow navigation,
// the type-ahead shows in the selector and jumps, Delete takes the focused list's selection,
// and reloads keep the rows the user looks at.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "Music/form/Music.h"
#include "framework/OxaTimer.h"
#include "platform/core/Time.h"
#include "platform/files/Paths.h"
#include "platform/windows/DisplayTesting.h"
#include "platform/windows/Input.h"
#include "settings/OxaMusicPlayerTypes.h"
#include "tests/Music/FolderLibrary.h"
#include "tests/support/DeclaredDrives.h"
#include "tests/support/MessagePump.h"

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
    ASSERT_TRUE(ImportFolders(
        FMachine,
        {{"Harbour", {"Anchor", "Buoy", "Cedar", "Dock"}},
         {"Meadow", {"Elm", "Fern"}},
         {"Orchard", {"Gala", "Honey", "Idared"}},
         {"Quarry", {"Q01", "Q02", "Q03", "Q04", "Q05", "Q06", "Q07", "Q08", "Q09", "Q10", "Q11", "Q12"}}}));
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
  static TDbIdList Records(std::initializer_list<TMusicListViewItem*> rows)
  {
    TDbIdList records;
    for (const TMusicListViewItem* row : rows) {
      records.Add(row->Payload());
    }
    return records;
  }
  // The first list on the Albums view: its groups are captioned by the folders' album tags.
  static void ShowAlbums(TMusicForm* form)
  {
    form->ShowView(ViewAlbums);
    ASSERT_EQ(form->ListView(form->FirstList()), ViewAlbums);
  }
  static std::string ActiveGroup(TMusicForm* form)
  {
    const TMusicListViewItem* head = form->ListLoader(form->ActiveList()).ActiveGroupRow();
    // Album captions carry their track count: "Harbour (004 Tracks)".
    const std::string caption = head != nullptr ? head->Caption() : std::string();
    return caption.substr(0, caption.find(" ("));
  }
  static bool Backspace(TMusicForm* form) { return form->HandleKey(VK_BACK, 0, GetTickCount()); }
  // The window started with roots stored and no start item: a group is made current, nothing
  // plays.
  TMusicForm* StartWithoutItem()
  {
    TStringList roots;
    roots.Add("C:\\Music");
    WriteOption(TMusicOption::Roots, roots);
    WriteOption(TMusicOption::LastPlayed, TStringList());
    ResetSettingsFileName();
    auto* form = Application().CreateForm<TMusicForm>(std::vector<std::string>{"DEBUG"});
    Application().ProcessMessages();
    return form;
  }
  // Nothing plays and nothing tells of a track: no mark, no track in the music view, an empty
  // status for the host.
  static void ExpectNothingPlays(TMusicForm* form)
  {
    EXPECT_TRUE(form->CurrentItem().Empty()) << form->CurrentItem().Caption;
    EXPECT_TRUE(form->Player()->CurrentItem().Empty()) << form->Player()->CurrentItem().Caption;
    EXPECT_EQ(RowsWith(form->FirstList(), kRowPlaying), std::vector<std::string>{});
    EXPECT_EQ(form->MusicViewPanel()->View()->FileId(), -1);
    EXPECT_EQ(form->Node()->Status.FormattedText(), "");
  }
  // Moves the pointer onto a row of the browser.
  static void PointAt(TMusicForm* form, const TOxaBitmap* row)
  {
    POINT point{5, 5};
    for (const TOxaBitmap* node = row; node != nullptr; node = node->Parent()) {
      point.x += node->Left();
      point.y += node->Top();
    }
    ClientToScreen(form->BrowserImage()->Handle(), &point);
    SetCursorPos(point.x, point.y);
  }

  TDeclaredMachine FMachine;
};

TEST_F(TMusicControllerRowsTest, ThePlayingMarkAndTheCurrentGroupFollowNavigation)
{
  TMusicForm* form = Start("Harbour", "Buoy");
  ASSERT_TRUE(form->Running());
  TMusicListViewEx* first = form->FirstList();
  ASSERT_EQ(RowsWith(first, kRowPlaying), (std::vector<std::string>{"Buoy"}));
  form->StepUp();
  EXPECT_EQ(form->CurrentItem().Caption, "Cedar");
  EXPECT_EQ(RowsWith(first, kRowPlaying), (std::vector<std::string>{"Cedar"}));
  EXPECT_EQ(first->List()->ActiveRow(), Row(first, "Cedar"));
  form->Wind();
  EXPECT_EQ(form->CurrentItem().Caption, "Elm");
  EXPECT_EQ(RowsWith(first, kRowPlaying), (std::vector<std::string>{"Elm"}));
  ASSERT_NE(Row(first, "Elm"), nullptr) << "the group played is open";
  TMusicListLoader loader = form->ListLoader(first);
  ASSERT_NE(loader.ActiveGroupRow(), nullptr);
  EXPECT_TRUE(loader.ActiveGroupRow()->Caption().find("Meadow") != std::string::npos)
      << loader.ActiveGroupRow()->Caption();
  form->Wind();
  EXPECT_EQ(form->CurrentItem().Caption, "Gala") << "one group further: the current group moved";
  form->Rewind();
  EXPECT_EQ(form->CurrentItem().Caption, "Elm");
  form->StepDown();  // before the first track: the previous group from its first track
  EXPECT_EQ(form->CurrentItem().Caption, "Anchor");
  EXPECT_EQ(RowsWith(first, kRowPlaying), (std::vector<std::string>{"Anchor"}));
}

TEST_F(TMusicControllerRowsTest, ARowPlayedInTheSecondListMakesItTheActiveList)
{
  TMusicForm* form = Start("Harbour", "Buoy");
  ASSERT_TRUE(form->Running());
  // A favorite list holding Fern and Gala, opened in the second list.
  TDbId created;
  created.Caption = "Mix";
  form->Player()->CreatePlaylist(created);
  ASSERT_EQ(created.ViewId, ViewPlaylists);
  TDbId fern =
      form->Player()->Database().FindFileByPath(WindowsPathOf(Track("Meadow", "Fern").string()), ViewFolders);
  TDbId gala = form->Player()->Database().FindFileByPath(WindowsPathOf(Track("Orchard", "Gala").string()),
                                                         ViewFolders);
  TDbIdList tracks;
  tracks.Add(fern);
  tracks.Add(gala);
  ASSERT_TRUE(form->Player()->AddToFavorite(tracks, created));
  form->ReloadLists();
  TMusicListViewEx* first = form->FirstList();
  TMusicListViewEx* second = form->SecondList();
  TMusicListLoader loader = form->ListLoader(second);
  ASSERT_EQ(loader.GroupRows().size(), 1u);
  loader.OpenGroup(loader.GroupRows()[0], false);
  TMusicListViewItem* favorite = Row(second, "Fern");
  ASSERT_NE(favorite, nullptr);

  form->ListItemClick(second->List(), favorite, 0, 0, 0);
  EXPECT_EQ(form->ActiveList(), second);
  EXPECT_EQ(form->CurrentItem().ViewId, ViewPlaylists);
  EXPECT_EQ(RowsWith(second, kRowPlaying), (std::vector<std::string>{"Fern"}));
  EXPECT_EQ(second->List()->ActiveRow(), Row(second, "Fern"));
  // The first list keeps only the mark of a row it holds, no current group or row.
  EXPECT_EQ(RowsWith(first, kRowActive), std::vector<std::string>{});
  EXPECT_EQ(first->List()->ActiveRow(), nullptr);

  form->StepUp();
  EXPECT_EQ(form->CurrentItem().Caption, "Gala") << "the next entry of the favorite list";
  EXPECT_EQ(RowsWith(second, kRowPlaying), (std::vector<std::string>{"Gala"}));
  form->StepUp();
  EXPECT_EQ(form->CurrentItem().Caption, "Fern") << "the list starts over";

  // A view put into the first list takes navigation back there.
  ShowAlbums(form);
  EXPECT_EQ(form->ActiveList(), first);
  EXPECT_EQ(RowsWith(second, kRowActive), std::vector<std::string>{});
}

TEST_F(TMusicControllerRowsTest, TheSelectorShowsTheEntryAndAJumpMovesTheCurrentGroup)
{
  TMusicForm* form = Start("Harbour", "Buoy");
  ASSERT_TRUE(form->Running());
  ShowAlbums(form);
  TOxaLabel* caption = form->FirstList()->Header()->CaptionLabel();
  const std::string viewCaption = caption->Caption();
  ASSERT_FALSE(viewCaption.empty());
  ASSERT_EQ(ActiveGroup(form), "Harbour");
  form->TypeCharacter('o');
  EXPECT_EQ(caption->Caption(), viewCaption + "   O");
  form->TypeCharacter('z');
  EXPECT_EQ(caption->Caption(), viewCaption + "   OZ");
  // "oz" matches nothing, "o" the orchard: after the time-out the current group moves there.
  PumpUntil([&] { return !form->TypeAhead().Pending(); }, 3000);
  EXPECT_EQ(ActiveGroup(form), "Orchard");
  EXPECT_EQ(caption->Caption(), viewCaption) << "the view's caption is back";
  EXPECT_EQ(form->CurrentItem().Caption, "Buoy") << "a jump plays nothing";
  // Jumps search after the current group, wrapping: "h" finds the harbour again.
  form->TypeCharacter('h');
  PumpUntil([&] { return !form->TypeAhead().Pending(); }, 3000);
  EXPECT_EQ(ActiveGroup(form), "Harbour");
  // Wind goes on from the group jumped to.
  form->TypeCharacter('m');
  PumpUntil([&] { return !form->TypeAhead().Pending(); }, 3000);
  ASSERT_EQ(ActiveGroup(form), "Meadow");
  form->Wind();
  EXPECT_EQ(form->CurrentItem().Caption, "Gala");

  // A number that cannot grow is played at once and the caption restored.
  form->TypeCharacter('3');
  EXPECT_EQ(form->CurrentItem().Caption, "Idared");
  EXPECT_EQ(caption->Caption(), viewCaption);
  // A number beyond the group drops the entry.
  form->TypeCharacter('9');
  EXPECT_FALSE(form->TypeAhead().Pending());
  EXPECT_EQ(caption->Caption(), viewCaption);
}

TEST_F(TMusicControllerRowsTest, AJumpInTitlesSelectsTheTrackInItsLetterGroup)
{
  TMusicForm* form = Start("Harbour", "Buoy");
  ASSERT_TRUE(form->Running());
  form->ShowView(ViewTitles);
  const TDbId title = form->Player()->Database().ItemInView(form->CurrentItem(), ViewTitles);
  ASSERT_FALSE(title.Empty());
  ASSERT_TRUE(form->Navigator().PlayRow(title, {}));
  TMusicListView* list = form->FirstList()->List();
  const auto selected = [&] {
    return list->SelectedCount() == 1 ? list->Selected(0)->Caption() : std::string("(none)");
  };
  struct TCase {
    const char* Typed;
    const char* Selected;
  };
  const TCase cases[] = {
      {"ho", "Honey"},
      {"Q1", "Q10"},   // the first in list order with the prefix
      {"q12", "Q12"},  // case does not matter
      {"dz", "Dock"},  // "dz" matches nothing: "d" does
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Typed);
    for (const char* typed = c.Typed; *typed != 0; ++typed) {
      form->TypeCharacter(*typed);
    }
    PumpUntil([&] { return !form->TypeAhead().Pending(); }, 3000);
    EXPECT_EQ(selected(), c.Selected);
    EXPECT_EQ(form->CurrentItem().Caption, "Buoy") << "a jump plays nothing";
  }
}

TEST_F(TMusicControllerRowsTest, DeleteTakesTheSelectionOfAListThatShows)
{
  // The cases share one library: each hides tracks of its own.
  struct TCase {
    const char* Name;
    const char* Folder;
    const char* Start;
    std::uint8_t Mode;
    std::vector<std::string> Selected;  // rows of the first list
    std::vector<std::string> Gone;
    std::uint8_t ScanPanel = 0;
    std::vector<std::string> SecondSelected;  // rows of the second list (its favorite list)
  };
  const TCase cases[] = {
      {"selection in the shown list", "Harbour", "Buoy", 2, {"Anchor", "Dock"}, {"Anchor", "Dock"}},
      {"nothing selected: the playing track", "Quarry", "Q01", 2, {}, {"Q01"}},
      {"the list hidden: its selection is left alone", "Quarry", "Q02", 0, {"Q05"}, {"Q02"}},
      {"the list under the scan panel: the same", "Quarry", "Q03", 2, {"Q06"}, {"Q03"}, 2},
      // Favorites leave their list; the track stays in the library.
      {"a selection in the second list in mode 3", "Quarry", "Q04", 3, {}, {}, 0, {"Q07"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TMusicForm* form = Start(c.Folder, c.Start);
    ASSERT_TRUE(form->Running());
    const TDbId group = form->Navigator().CurrentGroup;
    const auto titles = [&] {
      TDbIdList items;
      form->Player()->ListItems(group, items);
      std::vector<std::string> captions;
      for (const TDbId& item : items.Items()) {
        captions.push_back(item.Caption);
      }
      return captions;
    };
    const std::vector<std::string> before = titles();
    TMusicListViewEx* first = form->FirstList();
    // A mode change drops the lists' selections: the mode comes first.
    form->SetDisplayMode(c.Mode);
    if (form->ScanPanel() != c.ScanPanel) {
      form->ToggleScanPanel(c.ScanPanel != 0 ? c.ScanPanel : form->ScanPanel());
    }
    for (const std::string& caption : c.Selected) {
      first->List()->Select(Row(first, caption));
    }
    if (!c.SecondSelected.empty()) {
      // A favorite list with those tracks, open in the second list.
      TDbId created;
      created.Caption = "Mix";
      form->Player()->CreatePlaylist(created);
      TDbIdList tracks;
      for (const std::string& caption : c.SecondSelected) {
        tracks.Add(Row(first, caption)->Payload());
      }
      ASSERT_TRUE(form->Player()->AddToFavorite(tracks, created));
      form->ReloadLists();
      TMusicListLoader second = form->ListLoader(form->SecondList());
      second.OpenGroup(second.GroupRows().at(0), false);
      for (const std::string& caption : c.SecondSelected) {
        form->SecondList()->List()->Select(Row(form->SecondList(), caption));
      }
    }
    ASSERT_TRUE(Backspace(form));
    const std::vector<std::string> after = titles();
    std::vector<std::string> gone;
    for (const std::string& title : before) {
      if (std::find(after.begin(), after.end(), title) == after.end()) {
        gone.push_back(title);
      }
    }
    EXPECT_EQ(gone, c.Gone);
    if (!c.SecondSelected.empty()) {
      TDbIdList entries;
      form->Player()->ListItems(form->ListLoader(form->SecondList()).GroupRows().at(0)->Payload(), entries);
      EXPECT_EQ(entries.Count(), 0);
      EXPECT_EQ(form->CurrentItem().Caption, c.Start);
    }
    Application().DestroyComponents();
    Application().Initialize();
  }
}

TEST_F(TMusicControllerRowsTest, ReloadsKeepTheTopRowOnTopAndThePlayingRowInView)
{
  TMusicForm* form = Start("Quarry", "Q09");
  ASSERT_TRUE(form->Running());
  TMusicListViewEx* first = form->FirstList();
  TMusicListView* list = first->List();
  TMusicListLoader loader = form->ListLoader(first);
  // Harbour's rows open above the quarry's, and the list scrolled so that Q02 is on top.
  TDbId harbour = form->Player()->Database().FindFileByPath(
      WindowsPathOf(Track("Harbour", "Anchor").string()), ViewFolders);
  harbour.FileId = -1;
  loader.OpenGroup(loader.FindRow(harbour), false);
  list->ScrollTo(TMusicListLoader::RowTop(Row(first, "Q02")), false);
  ASSERT_EQ(loader.FirstVisibleRow(), Row(first, "Q02"));
  const int view = list->Height() - list->HeaderHeight() - list->FooterHeight();
  const auto inView = [&](const TMusicListViewItem* row) {
    const int top = TMusicListLoader::RowTop(row) - list->ScrollOffset();
    return top >= 0 && top + row->Height() <= view;
  };
  ASSERT_TRUE(inView(Row(first, "Q09")));
  // Two rows above go: the same line stays on top, the playing row in view.
  form->DeleteItems(Records({Row(first, "Anchor"), Row(first, "Buoy")}));
  EXPECT_EQ(form->ListLoader(first).FirstVisibleRow(), Row(first, "Q02"));
  ASSERT_NE(Row(first, "Q09"), nullptr);
  EXPECT_TRUE(inView(Row(first, "Q09")));
  EXPECT_EQ(RowsWith(first, kRowPlaying), (std::vector<std::string>{"Q09"}));
}

TEST_F(TMusicControllerRowsTest, AColourKeyInModeThreeSettlesTheSecondListAndSelectsTheItem)
{
  TMusicForm* form = Start("Meadow", "Fern");
  ASSERT_TRUE(form->Running());
  TDbId created;
  created.Caption = "Mix";
  form->Player()->CreatePlaylist(created);
  form->ReloadLists();
  TMusicListViewEx* second = form->SecondList();
  TMusicListLoader loader = form->ListLoader(second);
  ASSERT_EQ(loader.GroupRows().size(), 1u);
  // A mode change drops the lists' selections: the mode comes first.
  form->SetDisplayMode(3);
  second->List()->Select(loader.GroupRows()[0]);
  form->ShowInView(ViewAlbums);
  EXPECT_EQ(second->List()->SelectedCount(), 0) << "the second list's selection is dropped";
  TMusicListViewEx* first = form->FirstList();
  EXPECT_EQ(form->ListView(first), ViewAlbums);
  ASSERT_EQ(first->List()->SelectedCount(), 1);
  EXPECT_EQ(first->List()->Selected(0)->Caption(), "Fern");
  EXPECT_EQ(RowsWith(first, kRowPlaying), (std::vector<std::string>{"Fern"}));
  // Outside mode 3 the second list is left as it is.
  form->SetDisplayMode(2);
  second->List()->Select(form->ListLoader(second).GroupRows()[0]);
  form->ShowInView(ViewArtists);
  EXPECT_EQ(second->List()->SelectedCount(), 1);
}

TEST_F(TMusicControllerRowsTest, ACompletedTrackShowsItsWholeLengthAndTheNextPlaysFromItsStart)
{
  TMusicForm* form = Start("Harbour", "Cedar");
  ASSERT_TRUE(form->Running());
  TMusicView* view = form->MusicViewPanel()->View();
  view->DisplayTrack(form->CurrentItem());
  ASSERT_GE(view->Slider().Length(), 1);
  const std::int32_t cedar = view->FileId();
  view->SetPlayPosition(3);
  ASSERT_LT(view->Slider().Value(), TMusicViewSlider::MaxValue);
  // The finished mark while the next track cannot change what the view shows: the player's
  // completion without a forward step (the controller stopped).
  form->SetRunning(false);
  form->Player()->OnTrackComplete(form->Player());
  EXPECT_EQ(view->Slider().Value(), TMusicViewSlider::ValueOf(3, view->Slider().Length()))
      << "not running: nothing";
  form->SetRunning(true);
  view->MarkFinished();
  EXPECT_EQ(view->Slider().Value(), TMusicViewSlider::MaxValue);
  view->SetPlayPosition(3);

  form->Player()->OnTrackComplete(form->Player());
  EXPECT_EQ(form->CurrentItem().Caption, "Dock");
  EXPECT_EQ(RowsWith(form->FirstList(), kRowPlaying), (std::vector<std::string>{"Dock"}));
  // The view went on with the track that plays: its record, the slider at its start.
  EXPECT_NE(view->FileId(), cedar);
  EXPECT_EQ(view->Slider().Value(), 0);
}

TEST_F(TMusicControllerRowsTest, ThePlayersPositionsMoveTheSliderOfTheTrackThatPlays)
{
  TMusicForm* form = Start("Harbour", "Buoy");
  ASSERT_TRUE(form->Running());
  TMusicView* view = form->MusicViewPanel()->View();
  form->StepUp();
  ASSERT_EQ(form->CurrentItem().Caption, "Cedar");
  const std::int32_t cedar = view->FileId();
  ASSERT_GE(cedar, 0) << "a change of track shows the new track";
  ASSERT_GE(view->Slider().Length(), 1);
  // The player's own positions: the one-second track reaches the slider's far end.
  ASSERT_TRUE(PumpUntil([&] { return view->Slider().Value() > 0; }, 5000));
  EXPECT_EQ(view->FileId(), cedar);
  // Each position the player reports goes to the slider; the next track starts it over.
  form->Player()->OnPosition(form->Player(), 5);
  EXPECT_EQ(view->Slider().Value(), TMusicViewSlider::ValueOf(5, view->Slider().Length()));
  form->StepUp();
  EXPECT_EQ(form->CurrentItem().Caption, "Dock");
  EXPECT_NE(view->FileId(), cedar);
  EXPECT_EQ(view->Slider().Value(), 0);
}

TEST_F(TMusicControllerRowsTest, ReturnOnTheFirstListsCurrentRowInModeThreeAddsItToTheFavorites)
{
  TMusicForm* form = Start("Harbour", "Cedar");
  ASSERT_TRUE(form->Running());
  form->SetDisplayMode(3);
  // A library without roots starts with the scan panel over the lists.
  if (form->ScanPanel() != 0) {
    form->ToggleScanPanel(form->ScanPanel());
  }
  Application().ProcessMessages();
  TMusicListViewEx* first = form->FirstList();
  const auto pointAt = [&](const TOxaBitmap* row) {
    POINT point{5, 5};
    for (const TOxaBitmap* node = row; node != nullptr; node = node->Parent()) {
      point.x += node->Left();
      point.y += node->Top();
    }
    ClientToScreen(form->BrowserImage()->Handle(), &point);
    SetCursorPos(point.x, point.y);
  };
  const auto favorites = [&] {
    TDbId view;
    view.ViewId = ViewPlaylists;
    TDbIdList lists;
    form->Player()->ListItems(view, lists);
    return lists.Count();
  };
  ASSERT_EQ(favorites(), 0);
  // Over another row Return clicks: the row plays, nothing is added.
  pointAt(Row(first, "Anchor"));
  ASSERT_TRUE(form->HandleKey(VK_RETURN, 0, GetTickCount()));
  PumpUntil([&] { return form->CurrentItem().Caption == "Anchor"; }, 3000);
  EXPECT_EQ(form->CurrentItem().Caption, "Anchor");
  EXPECT_EQ(favorites(), 0);
  // Over the current row: a new list holding it, shown in the second list.
  ASSERT_EQ(first->List()->ActiveRow(), Row(first, "Anchor"));
  ASSERT_TRUE(form->HandleKey(VK_RETURN, 0, GetTickCount()));
  ASSERT_EQ(favorites(), 1);
  TMusicListLoader second = form->ListLoader(form->SecondList());
  ASSERT_EQ(second.GroupRows().size(), 1u);
  // Opened, the list takes the next one.
  second.OpenGroup(second.GroupRows()[0], false);
  form->StepUp();
  ASSERT_EQ(form->CurrentItem().Caption, "Buoy");
  pointAt(Row(first, "Buoy"));
  ASSERT_TRUE(form->HandleKey(VK_RETURN, 0, GetTickCount()));
  EXPECT_EQ(favorites(), 1);
  TDbIdList entries;
  form->Player()->ListItems(form->ListLoader(form->SecondList()).GroupRows()[0]->Payload(), entries);
  ASSERT_EQ(entries.Count(), 2);
  EXPECT_EQ(entries.Get(0).Caption, "Anchor");
  EXPECT_EQ(entries.Get(1).Caption, "Buoy");
  EXPECT_EQ(form->CurrentItem().Caption, "Buoy") << "the action plays nothing";
}

TEST_F(TMusicControllerRowsTest, TheHostsDisplayClosesTheScanPanelAndLeavesModeThree)
{
  TMusicForm* form = Start("Harbour", "Cedar");
  ASSERT_TRUE(form->Running());
  form->SetDisplayMode(3);
  if (form->ScanPanel() != 2) {
    form->ToggleScanPanel(2);
  }
  ASSERT_TRUE(form->ScanView()->Visible());
  form->Node()->OnHostShown(form->Node());
  EXPECT_TRUE(form->HostDisplayOn());
  EXPECT_EQ(form->ScanPanel(), 0);
  EXPECT_FALSE(form->ScanView()->Visible());
  EXPECT_EQ(form->DisplayMode(), 2);
  form->Node()->OnHostHidden(form->Node());
  EXPECT_FALSE(form->HostDisplayOn());
}

TEST_F(TMusicControllerRowsTest, StartUpKeepsTheStartItemOrShowsTheNextGroup)
{
  // With roots stored the library is in use: no scan panel, the start item's rule applies.
  TStringList roots;
  roots.Add("C:\\Music");
  WriteOption(TMusicOption::Roots, roots);
  struct TCase {
    const char* Name;
    bool WithStartItem;
    bool Random;
    bool SameItem;    // the start item stays current
    int PlayedItems;  // shuffle's history after the start
  };
  const TCase cases[] = {
      {"a start item stays current", true, false, true, 0},
      {"shuffle plays a random item of its group", true, true, false, 1},
      {"without a start item the first group is made current", false, false, false, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    WriteRandom(c.Random);
    ResetSettingsFileName();
    std::vector<std::string> arguments{"DEBUG"};
    if (c.WithStartItem) {
      arguments.push_back(WindowsPathOf(Track("Meadow", "Fern").string()));
    } else {
      WriteOption(TMusicOption::LastPlayed, TStringList());
    }
    auto* form = Application().CreateForm<TMusicForm>(arguments);
    ASSERT_TRUE(form->Running());
    EXPECT_EQ(form->ScanPanel(), 0);
    if (c.SameItem) {
      EXPECT_EQ(form->CurrentItem().Caption, "Fern");
    } else if (c.WithStartItem) {
      EXPECT_TRUE(form->CurrentItem().Caption == "Elm" || form->CurrentItem().Caption == "Fern")
          << form->CurrentItem().Caption;
    } else {
      // Shown and current, but nothing plays until the user asks.
      const TMusicListViewItem* head = form->ListLoader(form->FirstList()).GroupRows().at(0);
      EXPECT_TRUE(form->Navigator().CurrentGroup.SameGroup(head->Payload()));
      EXPECT_TRUE(form->CurrentItem().Empty()) << form->CurrentItem().Caption;
      EXPECT_TRUE(form->Player()->CurrentItem().Empty());
    }
    EXPECT_EQ(form->Navigator().PlayedItems.Count(), c.PlayedItems);
    Application().DestroyComponents();
    Application().Initialize();
  }
  WriteRandom(false);
}

TEST_F(TMusicControllerRowsTest, AGroupMadeCurrentAtStartUpPlaysOnTheUsersFirstStep)
{
  // The user's ways of starting music after a start that only showed the first group.
  enum class TStep {
    Play,
    Go,
    StepUp,
    RandomThenPlay,
    ClickRow,
    ReturnOverRow,
    Wind,
    StepDown,
    JumpThenPlay,
    JumpThenDigit
  };
  struct TCase {
    const char* Name;
    TStep Step;
    const char* Plays;  // null: any track of the first group
    const char* Group;  // the folder that becomes current
  };
  const TCase cases[] = {
      {"remote Play: the group from its first track", TStep::Play, "Anchor", "Harbour"},
      {"remote Go: the same", TStep::Go, "Anchor", "Harbour"},
      {"StepUp: the group's first track", TStep::StepUp, "Anchor", "Harbour"},
      {"Random on, then Play: a random track of the group", TStep::RandomThenPlay, nullptr, "Harbour"},
      {"a click on a track row: that row", TStep::ClickRow, "Cedar", "Harbour"},
      {"Return over a track row: that row", TStep::ReturnOverRow, "Dock", "Harbour"},
      {"Wind: the next group plays", TStep::Wind, "Elm", "Meadow"},
      {"StepDown: the previous group, wrapping", TStep::StepDown, "Q01", "Quarry"},
      // A jump while nothing plays makes the group jumped to current.
      {"\"m\" jumps to the meadow, then Play", TStep::JumpThenPlay, "Elm", "Meadow"},
      // 10 of the quarry's 12 can follow "1": it plays after the entry's time-out.
      {"\"q\" jumps to the quarry, then a lone \"1\"", TStep::JumpThenDigit, "Q01", "Quarry"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TMusicForm* form = StartWithoutItem();
    ASSERT_TRUE(form->Running());
    ASSERT_EQ(form->ScanPanel(), 0);
    TMusicListViewEx* first = form->FirstList();
    TMusicListLoader loader = form->ListLoader(first);
    ASSERT_EQ(ActiveGroup(form), "Harbour");
    ExpectNothingPlays(form);

    TIpcVuDirAzuzo* node = form->Node();
    switch (c.Step) {
      case TStep::Play:
        node->OnPlay(node, 0, 0);
        break;
      case TStep::Go:
        node->OnGo(node, 0, 0);
        break;
      case TStep::StepUp:
        node->OnStepUp(node, 0, 0);
        break;
      case TStep::RandomThenPlay:
        node->OnRandom(node, 0, 0);
        ASSERT_TRUE(form->Navigator().Shuffle);
        node->OnPlay(node, 0, 0);
        break;
      case TStep::ClickRow:
      case TStep::ReturnOverRow:
        // The group made current is closed: the user opens it first.
        loader.OpenGroup(loader.ActiveGroupRow(), false);
        ASSERT_NE(Row(first, c.Plays), nullptr);
        if (c.Step == TStep::ClickRow) {
          form->ListItemClick(first->List(), Row(first, c.Plays), 0, 0, 0);
        } else {
          Application().ProcessMessages();
          PointAt(form, Row(first, c.Plays));
          ASSERT_TRUE(form->HandleKey(VK_RETURN, 0, GetTickCount()));
          PumpUntil([&] { return !form->CurrentItem().Empty(); }, 3000);
        }
        break;
      case TStep::Wind:
        node->OnWind(node, 0, 0);
        break;
      case TStep::StepDown:
        node->OnStepDown(node, 0, 0);
        break;
      case TStep::JumpThenPlay:
      case TStep::JumpThenDigit:
        form->TypeCharacter(c.Step == TStep::JumpThenPlay ? 'm' : 'q');
        PumpUntil([&] { return !form->TypeAhead().Pending(); }, 3000);
        EXPECT_EQ(ActiveGroup(form), c.Group);
        ExpectNothingPlays(form);
        if (c.Step == TStep::JumpThenPlay) {
          node->OnPlay(node, 0, 0);
        } else {
          node->OnDigit(node, 0, 1);
          EXPECT_TRUE(form->CurrentItem().Empty()) << "a second digit may follow";
          PumpUntil([&] { return !form->TypeAhead().Pending(); }, 3000);
        }
        break;
    }
    const std::string playing = form->CurrentItem().Caption;
    if (c.Plays != nullptr) {
      EXPECT_EQ(playing, c.Plays);
    } else {
      EXPECT_TRUE(playing == "Anchor" || playing == "Buoy" || playing == "Cedar" || playing == "Dock")
          << playing;
      EXPECT_EQ(form->Navigator().PlayedItems.Count(), 1);
    }
    EXPECT_EQ(form->Player()->CurrentItem().Caption, playing) << "the player has it";
    EXPECT_EQ(ActiveGroup(form), c.Group);
    EXPECT_EQ(RowsWith(first, kRowPlaying), std::vector<std::string>{playing});
    EXPECT_GE(form->MusicViewPanel()->View()->FileId(), 0) << "the music view shows it";
    EXPECT_EQ(form->Node()->Status.FormattedText(), playing);
    Application().DestroyComponents();
    Application().Initialize();
  }
  WriteRandom(false);
}

TEST_F(TMusicControllerRowsTest, AnUpdateWithNothingPlayingMakesAGroupWithTracksCurrent)
{
  TMusicForm* form = StartWithoutItem();
  ASSERT_TRUE(form->Running());
  ASSERT_EQ(ActiveGroup(form), "Harbour");
  // Finished scans while a group is current and nothing has played: the group stays.
  for (int i = 0; i < 2; ++i) {
    form->Player()->OnUpdateDatabase(form->Player());
    EXPECT_EQ(ActiveGroup(form), "Harbour") << "scan " << i;
    EXPECT_TRUE(form->Navigator().CurrentGroup.SameGroup(
        form->ListLoader(form->FirstList()).ActiveGroupRow()->Payload()));
    ExpectNothingPlays(form);
  }
  // The playing track's whole group hidden: nothing plays and nothing shows the track any more.
  form->Node()->OnStepUp(form->Node(), 0, 0);
  form->Node()->OnStepUp(form->Node(), 0, 0);
  ASSERT_EQ(form->CurrentItem().Caption, "Buoy");
  ASSERT_GE(form->MusicViewPanel()->View()->FileId(), 0);
  TDbIdList harbour;
  harbour.Add(form->Navigator().CurrentGroup);
  form->DeleteItems(harbour);
  ExpectNothingPlays(form);
  // The next scan passes over the empty group to one with tracks and shows it, playing nothing.
  form->Player()->OnUpdateDatabase(form->Player());
  EXPECT_EQ(ActiveGroup(form), "Meadow");
  ExpectNothingPlays(form);
  form->Node()->OnPlay(form->Node(), 0, 0);
  EXPECT_EQ(form->CurrentItem().Caption, "Elm");
}

}  // namespace
