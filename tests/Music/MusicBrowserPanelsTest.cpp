// The browser's info panel, view switching and new lists from drops, on the real window built in
// this process over one folder of four tracks.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "Music/form/Music.h"
#include "Music/lists/MusicLists.h"
#include "framework/OxaUtils.h"
#include "platform/core/Time.h"
#include "platform/windows/DisplayTesting.h"
#include "platform/windows/Windows.h"
#include "settings/OxaMusicPlayerTypes.h"
#include "tests/Music/FourTrackAlbum.h"
#include "tests/support/DeclaredDrives.h"
#include "tests/support/ProgramRun.h"
#include "tools/make-test-media/TestMedia.h"

namespace {

using K = TMusicListViewItemKinds;

class TMusicPanelsTest : public ::testing::Test {
 protected:
  void SetUp() override
  {
    setenv("OXA_AUDIO", "null:speed=10", 1);
    ASSERT_TRUE(ImportFourTrackAlbum(Machine));
    Form = StartWindowAfterInstall();
    ASSERT_TRUE(Form->Running());
  }
  void TearDown() override
  {
    Application().DestroyComponents();
    ResetSettingsFileName();
    unsetenv("OXA_AUDIO");
  }

  TMusicListView& First() { return *Form->FirstList()->List(); }
  TMusicListView& Second() { return *Form->SecondList()->List(); }
  TMusicView& View() { return *Form->MusicViewPanel()->View(); }
  TMusicListLoader Loader(TMusicListViewEx* panel) { return Form->ListLoader(panel); }
  void Click(TMusicListViewEx* panel, const char* button)
  {
    Form->BrowserButtonClick(panel, panel->Footer()->Button(button));
  }
  // The first list's folder with the tracks, opened; its track rows.
  std::vector<TDisplayListViewItem*> OpenAlbum()
  {
    for (TMusicListViewItem* head : Loader(Form->FirstList()).GroupRows()) {
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
  // The middle of a node in the browser image's coordinates.
  static POINT Centre(const TOxaBitmap* node)
  {
    POINT p{node->Width() / 2, node->Height() / 2};
    for (; node != nullptr && node->Parent() != nullptr; node = node->Parent()) {
      p.x += node->Left();
      p.y += node->Top();
    }
    return p;
  }
  // The library names no folders to scan: the scan panel opened over the browser at the start.
  void CloseScanPanel()
  {
    if (Form->ScanPanel() != 0) {
      Form->ToggleScanPanel(Form->ScanPanel());
    }
  }
  std::vector<std::string> ListNames()
  {
    std::vector<std::string> names;
    for (TMusicListViewItem* head : Loader(Form->SecondList()).GroupRows()) {
      names.push_back(Form->RecordCaption(head->Payload()));
    }
    return names;
  }
  std::vector<std::string> EntriesOf(const std::string& name)
  {
    for (TMusicListViewItem* head : Loader(Form->SecondList()).GroupRows()) {
      if (Form->RecordCaption(head->Payload()) != name) {
        continue;
      }
      TDbIdList entries;
      Form->Player()->ListItems(head->Payload(), entries);
      std::vector<std::string> titles;
      for (const TDbId& entry : entries.Items()) {
        titles.push_back(Form->RecordCaption(entry));
      }
      return titles;
    }
    return {};
  }
  void ExpectInfoButtons(bool shown)
  {
    for (TMusicListViewEx* panel : {Form->FirstList(), Form->SecondList()}) {
      SCOPED_TRACE(panel == Form->FirstList() ? "first" : "second");
      EXPECT_EQ(panel->Footer()->Button("ShowInfo")->Visible(), !shown);
      EXPECT_EQ(panel->Footer()->Button("HideInfo")->Visible(), shown);
    }
  }

  TDeclaredMachine Machine;
  TMusicForm* Form = nullptr;
};

TEST_F(TMusicPanelsTest, InfoOpensOnTheSelectedOrPlayingTrackAndEachHideClosesIt)
{
  const auto tracks = OpenAlbum();
  ASSERT_EQ(tracks.size(), 4U);
  Click(Form->FirstList(), "ShowList");
  Form->ListItemClick(&First(), tracks[1], {}, 0, 0);
  const int browserWidth = View().Width();
  EXPECT_FALSE(Form->InfoPanelShown());
  ExpectInfoButtons(false);
  // Opened with its assets: the panel draws with the info images and the footer with the lists'.
  EXPECT_EQ(View().Info()->Bitmaps(), Form->InfoAssets()->InfoIcons);
  EXPECT_NE(View().Info()->Footer()->HideButton()->Font(), nullptr);

  // Nothing selected: the playing track.
  Click(Form->FirstList(), "ShowInfo");
  EXPECT_TRUE(Form->InfoPanelShown());
  EXPECT_EQ(View().Info()->Body()->Track().Title, "Bravo");
  ExpectInfoButtons(true);
  EXPECT_EQ(Form->FirstList()->Width(), browserWidth - TMusicView::InfoWidth);
  Click(Form->FirstList(), "HideInfo");
  EXPECT_FALSE(Form->InfoPanelShown());
  ExpectInfoButtons(false);
  EXPECT_EQ(Form->FirstList()->Width(), browserWidth);

  // A selected track comes first; the second panel's INFO and the panel's CLOSE INFO work too.
  First().Select(tracks[3]);
  Click(Form->SecondList(), "ShowInfo");
  EXPECT_TRUE(Form->InfoPanelShown());
  EXPECT_EQ(View().Info()->Body()->Track().Title, "Delta");
  // Open, it turns to each track that starts playing.
  Form->StepUp();
  EXPECT_EQ(View().Info()->Body()->Track().Title, "Charlie");
  View().Info()->Footer()->HideButton()->Click();
  EXPECT_FALSE(Form->InfoPanelShown());
  ExpectInfoButtons(false);
}

TEST_F(TMusicPanelsTest, TheInfoPanelFollowsThePlayersPosition)
{
  const auto tracks = OpenAlbum();
  ASSERT_EQ(tracks.size(), 4U);
  Form->ListItemClick(&First(), tracks[0], {}, 0, 0);
  Click(Form->FirstList(), "ShowInfo");
  ASSERT_GT(View().Slider().Length(), 0);
  ASSERT_TRUE(Form->Player()->OnPosition);
  Form->Player()->OnPosition(Form->Player(), 100);
  EXPECT_EQ(View().Slider().Value(), TMusicViewSlider::ValueOf(100, View().Slider().Length()));
  EXPECT_GT(View().Slider().Value(), 0);
}

TEST_F(TMusicPanelsTest, TheNextArrowStepsThroughTheHeadersViewsAndWraps)
{
  TMusicListHeader* header = Form->FirstList()->Header();
  ASSERT_EQ(header->ViewCount(), 6);
  ASSERT_EQ(Form->ShownView(), ViewFolders);
  // The header's order is the slots': playlists, albums, genre, artists, folders, titles.
  const struct {
    std::int32_t View;
    K Kind;
  } steps[] = {
      {ViewTitles, K::mlkTitle}, {ViewPlaylists, K::mlkFavorite}, {ViewAlbums, K::mlkAlbum},
      {ViewGenre, K::mlkGenre},  {ViewArtists, K::mlkArtist},     {ViewFolders, K::mlkFolder},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.View);
    Form->BrowserButtonClick(Form->FirstList(), header->NextButton());
    EXPECT_EQ(Form->ShownView(), step.View);
    EXPECT_EQ(header->CurrentView(), step.Kind);
  }
  // The second panel's arrow moves the second panel only.
  Form->BrowserButtonClick(Form->SecondList(), Form->SecondList()->Header()->NextButton());
  EXPECT_EQ(Form->ListView(Form->SecondList()), ViewAlbums);
  EXPECT_EQ(Form->SecondList()->Header()->CurrentView(), K::mlkAlbum);
  EXPECT_EQ(Form->ShownView(), ViewFolders);
  // Locked, the arrow does nothing.
  header->SetLocked(true);
  Form->BrowserButtonClick(Form->FirstList(), header->NextButton());
  EXPECT_EQ(Form->ShownView(), ViewFolders);
}

TEST_F(TMusicPanelsTest, AViewChosenWithTheMouseStaysWhileTheMusicMovesOn)
{
  const auto tracks = OpenAlbum();
  ASSERT_EQ(tracks.size(), 4U);
  Click(Form->FirstList(), "ShowList");
  Form->ListItemClick(&First(), tracks[0], {}, 0, 0);
  ASSERT_EQ(Form->ShownView(), ViewFolders);
  CloseScanPanel();

  // Press on the view icon, move onto ALBUMS, let go there.
  TMusicListHeader* header = Form->FirstList()->Header();
  TOxaImage& image = *Form->BrowserImage();
  const POINT icon = Centre(header->ViewIcon());
  image.DoMouseMove(0, icon.x, icon.y);
  image.DoMouseDown(TMouseButton::mbLeft, 0, icon.x, icon.y);
  TMusicSelectView* selector = header->Selector();
  ASSERT_NE(selector, nullptr);
  TMusicSelectViewItem* albums = nullptr;
  for (int i = 0; i < selector->ItemCount(); ++i) {
    if (selector->Items(i)->Kind() == K::mlkAlbum) {
      albums = selector->Items(i);
    }
  }
  ASSERT_NE(albums, nullptr);
  const POINT at = Centre(albums);
  image.DoMouseMove(0, at.x, at.y);
  image.DoMouseUp(TMouseButton::mbLeft, 0, at.x, at.y);
  EXPECT_EQ(header->Selector(), nullptr);
  EXPECT_EQ(Form->ShownView(), ViewAlbums);
  EXPECT_EQ(header->CurrentView(), K::mlkAlbum);
  const auto albumRows = Loader(Form->FirstList()).GroupRows();
  ASSERT_EQ(albumRows.size(), 1U);
  EXPECT_EQ(Form->RecordCaption(albumRows[0]->Payload()), "Record");

  // The next track of the folder plays; the list keeps the chosen view and marks it there.
  Form->StepUp();
  EXPECT_EQ(Form->RecordCaption(Form->CurrentItem()), "Bravo");
  EXPECT_EQ(Form->ShownView(), ViewAlbums);
  EXPECT_EQ(header->CurrentView(), K::mlkAlbum);
}

TEST_F(TMusicPanelsTest, RowsDroppedOnTheEmptyPlaylistsPanelMakeANewList)
{
  const auto tracks = OpenAlbum();
  ASSERT_EQ(tracks.size(), 4U);
  Click(Form->FirstList(), "ShowEdit");
  ASSERT_TRUE(ListNames().empty());
  for (TDisplayListViewItem* row : tracks) {
    First().Select(row);
  }
  // The first list shows folders: it takes no rows below its rows.
  ASSERT_TRUE(First().TakesDropAtEnd);
  EXPECT_FALSE(First().TakesDropAtEnd());
  ASSERT_TRUE(Second().TakesDropAtEnd);
  EXPECT_TRUE(Second().TakesDropAtEnd());

  TMusicListViewDrag box;
  box.Source = &First();
  box.Payloads = First().SelectedRecords();
  box.Caption = "Alpha";
  const POINT middle{Second().Width() / 2, Second().Height() / 2};
  Second().DragOver(&box, middle.x, middle.y);
  EXPECT_EQ(box.Cursor(), TDisplayListView::CursorDrag);
  Second().DragDrop(&box, middle.x, middle.y);
  Application().ProcessMessages();
  EXPECT_EQ(Form->DropBusy(), 0);
  // Named after the tracks' folder, as rows dropped before the first list are.
  ASSERT_EQ(ListNames(), std::vector<std::string>{"Album"});
  EXPECT_EQ(EntriesOf("Album"), (std::vector<std::string>{"Alpha", "Bravo", "Charlie", "Delta"}));

  // Below the rows of a list that has some: another new list, the first one untouched.
  First().ClearSelection();
  First().Select(tracks[2]);
  box.Payloads = First().SelectedRecords();
  Second().DragOver(&box, middle.x, Second().Height() - Second().FooterHeight() - 30);
  Second().DragDrop(&box, middle.x, Second().Height() - Second().FooterHeight() - 30);
  Application().ProcessMessages();
  ASSERT_EQ(ListNames(), (std::vector<std::string>{"Album", "Album"}));
  EXPECT_EQ(EntriesOf("Album"), (std::vector<std::string>{"Alpha", "Bravo", "Charlie", "Delta"}));

  // Over the folders list nothing is taken.
  First().DragOver(&box, middle.x, middle.y);
  EXPECT_FALSE(First().DropAtEnd());
}

TEST_F(TMusicPanelsTest, TheButtonsClicksReachTheWindowThroughTheirPanels)
{
  Click(Form->FirstList(), "ShowEdit");
  // The button's own click, through the footer and the panel, as the mouse gives it.
  TOxaButton* button = Form->SecondList()->Footer()->Button("New");
  ASSERT_TRUE(button->Visible());
  button->Click();
  EXPECT_EQ(ListNames(), std::vector<std::string>{"Unnamed playlist 1"});
  Form->FirstList()->Footer()->Button("ShowInfo")->Click();
  EXPECT_TRUE(Form->InfoPanelShown());
  Form->SecondList()->Footer()->Button("HideInfo")->Click();
  EXPECT_FALSE(Form->InfoPanelShown());
  Form->FirstList()->Header()->NextButton()->Click();
  EXPECT_EQ(Form->ShownView(), ViewTitles);
}

}  // namespace

namespace {

// Hands a message to the program's hook as the message loop does, and then to its window.
bool Deliver(HWND window, UINT kind, WPARAM code)
{
  MSG message{};
  message.hwnd = window;
  message.message = kind;
  message.wParam = code;
  message.time = GetTickCount();
  bool handled = false;
  Application().OnMessage(message, handled);
  if (!handled) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return handled;
}

// A press and release of the left button at a point of the browser image, as the window has them.
void ClickAt(TOxaImage* image, POINT at)
{
  const LPARAM where = MAKELPARAM(at.x, at.y);
  SendMessageA(image->Handle(), WM_MOUSEMOVE, 0, where);
  SendMessageA(image->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, where);
  SendMessageA(image->Handle(), WM_LBUTTONUP, 0, where);
  Application().ProcessMessages();
}

// The middle of a field's value in the browser image.
POINT ValueSpot(const TOxaMusicInfoItem* item)
{
  POINT p = item->PointToControl(POINT{TOxaMusicInfoItem::ValueLeft + 20, item->Height() / 2});
  return p;
}

TEST_F(TMusicPanelsTest, AFieldEditedInTheInfoPanelIsWrittenToTheFile)
{
  CloseScanPanel();
  const auto tracks = OpenAlbum();
  ASSERT_EQ(tracks.size(), 4U);
  Click(Form->FirstList(), "ShowList");
  First().Select(tracks[2]);
  Click(Form->FirstList(), "ShowInfo");
  TOxaMusicInfoBody* body = View().Info()->Body();
  ASSERT_EQ(body->Track().Title, "Charlie");
  ASSERT_TRUE(body->EditMode()) << "the file's tag can be written";
  const std::string file = body->Track().FileName;

  // A click on the title opens the editor over it, in the browser's window.
  TOxaMusicInfoEditItem* title = body->EditItem(ikTitle);
  ClickAt(Form->BrowserImage(), ValueSpot(title));
  ASSERT_NE(title->PlatformEditor(), nullptr);
  const HWND editor = title->PlatformEditor()->Editor();
  ASSERT_NE(editor, nullptr);
  // What is typed there is the editor's: neither the type-ahead nor Return's click takes it.
  EXPECT_FALSE(Deliver(editor, WM_KEYDOWN, VK_END));
  for (const char c : std::string(" Remix")) {
    EXPECT_FALSE(Deliver(editor, WM_CHAR, WPARAM(static_cast<unsigned char>(c)))) << c;
  }
  EXPECT_FALSE(Deliver(editor, WM_KEYDOWN, VK_RETURN));
  Application().ProcessMessages();
  EXPECT_EQ(title->PlatformEditor(), nullptr) << "Return ends the edit";
  EXPECT_EQ(title->Value(), "Charlie Remix");

  // The file holds it (nothing plays it, so it is written at once), and so does the library.
  TOxaMusicTag tag;
  TMusicFileItem read;
  read.FileName = file;
  ASSERT_TRUE(tag.ReadItem(read));
  EXPECT_EQ(read.Title, "Charlie Remix");
  EXPECT_EQ(read.Artist, body->Track().Artist) << "the other fields stay";
  EXPECT_EQ(Form->RecordCaption(tracks[2]->Payload()), "Charlie Remix");
}

TEST_F(TMusicPanelsTest, AClickOnTheDurationTurnsLengthElapsedAndRemaining)
{
  CloseScanPanel();
  const auto tracks = OpenAlbum();
  ASSERT_EQ(tracks.size(), 4U);
  First().Select(tracks[0]);
  Click(Form->FirstList(), "ShowInfo");
  TOxaMusicInfoDurationItem* duration = View().Info()->Body()->DurationItem();
  const struct {
    TOxaDurationMode Mode;
    const char* Caption;
  } steps[] = {{TOxaDurationMode::Elapsed, "ELAPSED"},
               {TOxaDurationMode::Remaining, "REMAINING"},
               {TOxaDurationMode::Duration, "DURATION"}};
  ASSERT_EQ(duration->Mode(), TOxaDurationMode::Duration);
  for (const auto& step : steps) {
    SCOPED_TRACE(step.Caption);
    ClickAt(Form->BrowserImage(), ValueSpot(duration));
    EXPECT_EQ(duration->Mode(), step.Mode);
    EXPECT_EQ(duration->CaptionName(), step.Caption);
  }
}

}  // namespace
