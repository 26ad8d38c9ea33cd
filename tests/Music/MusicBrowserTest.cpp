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

// The main window built in this process over a library of four tracks in one folder.
class TMusicBrowserTest : public ::testing::Test {
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
  TMusicListLoader Loader(TMusicListView& list)
  {
    return Form->ListLoader(&list == &First() ? Form->FirstList() : Form->SecondList());
  }
  std::vector<TDisplayListViewItem*> GroupRows(TMusicListView& list)
  {
    const auto heads = Loader(list).GroupRows();
    return {heads.begin(), heads.end()};
  }
  static bool GroupRowOpen(const TDisplayListViewItem& row)
  {
    return TMusicListLoader::IsOpen(dynamic_cast<const TMusicListViewItem*>(&row));
  }
  static std::vector<TDisplayListViewItem*> TrackRows(const TDisplayListViewItem& row)
  {
    std::vector<TDisplayListViewItem*> rows;
    const TMusicListGroup* group = TMusicListLoader::GroupOf(dynamic_cast<const TMusicListViewItem*>(&row));
    for (int i = 0; group != nullptr && i < group->ChildCount(); ++i) {
      rows.push_back(dynamic_cast<TDisplayListViewItem*>(group->Children(i)));
    }
    return rows;
  }
  void Click(TMusicListViewEx* panel, const char* button)
  {
    Form->BrowserButtonClick(panel, panel->Footer()->Button(button));
  }
  // The library's captions of the rows' records (the lists' own captions carry counts).
  std::vector<std::string> Captions(const std::vector<TDisplayListViewItem*>& rows)
  {
    std::vector<std::string> captions;
    for (const TDisplayListViewItem* row : rows) {
      captions.push_back(Form->RecordCaption(row->Payload()));
    }
    return captions;
  }
  TDisplayListViewItem* ListNamed(const std::string& name)
  {
    for (TDisplayListViewItem* row : GroupRows(Second())) {
      if (Form->RecordCaption(row->Payload()) == name) {
        return row;
      }
    }
    return nullptr;
  }
  // The first list's folder with the tracks, opened.
  TDisplayListViewItem* OpenAlbum()
  {
    for (TDisplayListViewItem* row : GroupRows(First())) {
      if (!GroupRowOpen(*row)) {
        Form->ListItemClick(&First(), row, {}, 0, 0);
      }
      if (TrackRows(*row).size() == 4) {
        return row;
      }
    }
    return nullptr;
  }
  void Drop(TDisplayListView* source, TDisplayListViewItem* target, bool after)
  {
    TDisplayListViewDrop drop;
    drop.Target = target;
    drop.After = after;
    drop.Source = source;
    drop.Payloads = source->SelectedRecords();
    Form->ListDrop(target->List(), drop);
  }
  // The entries of the list named "Album", by title.
  std::vector<std::string> Entries()
  {
    TDisplayListViewItem* list = ListNamed("Album");
    if (list == nullptr) {
      ADD_FAILURE() << "no list named Album";
      return {};
    }
    // The reload builds the rows again: the list's row is looked up afresh.
    Form->ReloadGroup(list->Payload());
    auto* head = dynamic_cast<TMusicListViewItem*>(ListNamed("Album"));
    if (head == nullptr) {
      ADD_FAILURE() << "no list named Album after the reload";
      return {};
    }
    Loader(Second()).OpenGroup(head, false);
    return Captions(TrackRows(*head));
  }

  TDeclaredMachine Machine;
  TMusicForm* Form = nullptr;
};

TEST_F(TMusicBrowserTest, NewPlaylistTwiceNumbersTheListsAndAnEmptyRenameChangesNothing)
{
  EXPECT_TRUE(GroupRows(Second()).empty());
  Click(Form->SecondList(), "New");
  Click(Form->SecondList(), "New");
  ASSERT_EQ(Captions(GroupRows(Second())),
            (std::vector<std::string>{"Unnamed playlist 1", "Unnamed playlist 2"}));
  TDisplayListViewItem* row = GroupRows(Second())[1];
  EXPECT_EQ(Second().ActiveRow(), row);

  const struct {
    const char* Typed;
    const char* Name;
  } cases[] = {{"", "Unnamed playlist 2"}, {"Road Trip", "Road Trip"}, {"", "Road Trip"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Typed);
    row = GroupRows(Second())[1];
    row->SetCaption(c.Typed);
    Form->ListEdited(&Second(), row);
    Form->ReloadGroup(TDbId{ViewPlaylists, -1, -1, {}, {}, 0});
    EXPECT_EQ(Captions(GroupRows(Second()))[1], c.Name);
  }
}

TEST_F(TMusicBrowserTest, AClickOnAGroupOpensAndClosesItAndATrackPlays)
{
  TDisplayListViewItem* album = OpenAlbum();
  ASSERT_NE(album, nullptr);
  Form->ListItemClick(&First(), album, {}, 0, 0);
  EXPECT_FALSE(GroupRowOpen(*album));
  Form->ListItemClick(&First(), album, {}, 0, 0);
  ASSERT_TRUE(GroupRowOpen(*album));
  TDisplayListViewItem* track = TrackRows(*album)[2];
  Form->ListItemClick(&First(), track, {}, 0, 0);
  EXPECT_TRUE(Form->CurrentItem().SameItem(track->Payload()));
  EXPECT_EQ(First().ActiveRow(), track);
}

TEST_F(TMusicBrowserTest, DropsCopyIntoOneNewListMoveWithinItAndRemoveOnTheDeleteButton)
{
  TDisplayListViewItem* album = OpenAlbum();
  ASSERT_NE(album, nullptr);
  for (TDisplayListViewItem* track : TrackRows(*album)) {
    First().Select(track);
  }
  Click(Form->SecondList(), "New");
  ASSERT_EQ(GroupRows(Second()).size(), 1U);
  // Before the first list: one new list, named after the folder, holding the four tracks.
  Drop(&First(), GroupRows(Second())[0], false);
  EXPECT_EQ(Form->DropBusy(), 0);
  const auto lists = GroupRows(Second());
  ASSERT_EQ(lists.size(), 2U);
  EXPECT_EQ(Form->RecordCaption(album->Payload()), "Album");
  ASSERT_NE(ListNamed("Album"), nullptr);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"Alpha", "Bravo", "Charlie", "Delta"}));

  // Within the list: Alpha dropped before row 3 lands between rows 2 and 3.
  TDisplayListViewItem* list = ListNamed("Album");
  Second().ClearSelection();
  Second().Select(TrackRows(*list)[0]);
  Drop(&Second(), TrackRows(*list)[2], false);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"Bravo", "Alpha", "Charlie", "Delta"}));
  // Bravo after row 4: at the end.
  list = ListNamed("Album");
  Second().ClearSelection();
  Second().Select(TrackRows(*list)[0]);
  Drop(&Second(), TrackRows(*list)[3], true);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"Alpha", "Charlie", "Delta", "Bravo"}));

  // The REMOVE button takes the dragged entry (Charlie): removed once the queued removal runs.
  list = ListNamed("Album");
  Second().ClearSelection();
  Second().Select(TrackRows(*list)[1]);
  TMusicListViewDrag box;
  box.Source = &Second();
  TOxaButton* remove = Form->SecondList()->Footer()->Button("Hide");
  Form->DeleteButtonDragOver(remove, &box, 0, 0);
  EXPECT_TRUE(remove->Active());
  EXPECT_EQ(box.Cursor(), TDisplayListView::CursorDrag);
  Form->DeleteButtonDragLeave(remove, &box, 0, 0);
  EXPECT_FALSE(remove->Active());
  EXPECT_EQ(box.Cursor(), TDisplayListView::CursorNoCanDo);
  Form->DeleteButtonDragDrop(remove, &box, 0, 0);
  EXPECT_EQ(Form->PendingRemovalSource(), &Second());
  Application().ProcessMessages();
  EXPECT_EQ(Form->PendingRemovalSource(), nullptr);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"Alpha", "Delta", "Bravo"}));
}

TEST_F(TMusicBrowserTest, ADropOnAListDeletedMeanwhileLeavesNothingHeldAndTheNextDropWorks)
{
  TDisplayListViewItem* album = OpenAlbum();
  ASSERT_NE(album, nullptr);
  First().Select(TrackRows(*album)[0]);
  Click(Form->SecondList(), "New");
  Click(Form->SecondList(), "New");
  TDisplayListViewItem* gone = GroupRows(Second())[0];
  TDbIdList doomed;
  doomed.Add(gone->Payload());
  ASSERT_TRUE(Form->Player()->RemoveFromFavorites(doomed));
  Drop(&First(), gone, true);
  EXPECT_EQ(Form->DropBusy(), 0);
  // The editors are free: the next drop goes in.
  TDisplayListViewItem* kept = Loader(Second()).FindRow(GroupRows(Second()).back()->Payload());
  ASSERT_NE(kept, nullptr);
  const TDbId keptList = kept->Payload();  // the drop builds the rows again
  Drop(&First(), kept, true);
  EXPECT_EQ(Form->DropBusy(), 0);
  TDbIdList entries;
  ASSERT_TRUE(Form->Player()->ListItems(keptList, entries));
  EXPECT_EQ(entries.Count(), 1);
}

TEST_F(TMusicBrowserTest, ARemovalQueuedWhenTheWindowGoesDoesNothing)
{
  TDisplayListViewItem* album = OpenAlbum();
  ASSERT_NE(album, nullptr);
  First().Select(TrackRows(*album)[0]);
  TMusicListViewDrag box;
  box.Source = &First();
  Form->DeleteButtonDragDrop(Form->FirstList()->Footer()->Button("Hide"), &box, 0, 0);
  ASSERT_EQ(Form->PendingRemovalSource(), &First());
  Application().DestroyComponents();
  Application().ProcessMessages();
}

TEST_F(TMusicBrowserTest, FooterButtonsChangeTheDisplayModeAndDoneReturnsToThePlayingRow)
{
  TDisplayListViewItem* album = OpenAlbum();
  ASSERT_NE(album, nullptr);
  Form->ListItemClick(&First(), TrackRows(*album)[1], {}, 0, 0);
  const TDbId playing = Form->CurrentItem();
  ASSERT_FALSE(playing.Empty());
  const struct {
    bool Second;
    const char* Button;
    int Mode;
  } cases[] = {
      {false, "ShowEdit", 3}, {true, "HideEdit", 2}, {false, "HideList", 0},
      {false, "ShowList", 2}, {true, "New", 2},      {false, "Hide", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Button);
    Click(c.Second ? Form->SecondList() : Form->FirstList(), c.Button);
    EXPECT_EQ(Form->DisplayMode(), c.Mode);
  }
  // Back from editing: the playing row is the first list's active row again, still playing.
  First().SetActiveRow(nullptr);
  Click(Form->FirstList(), "ShowEdit");
  Click(Form->SecondList(), "HideEdit");
  ASSERT_NE(First().ActiveRow(), nullptr);
  EXPECT_TRUE(First().ActiveRow()->Payload().SameItem(playing));
  EXPECT_TRUE(Form->CurrentItem().SameItem(playing));
}

TEST_F(TMusicBrowserTest, EachFooterStartsWithItsOwnButtonsAndNoneLieOnAnother)
{
  const struct {
    TMusicListViewEx* Panel;
    const char* Name;
    bool Shown;
  } cases[] = {
      {Form->FirstList(), "Hide", true},     {Form->FirstList(), "New", false},
      {Form->FirstList(), "Delete", false},  {Form->FirstList(), "HideEdit", false},
      {Form->FirstList(), "ShowEdit", true}, {Form->SecondList(), "New", true},
      {Form->SecondList(), "Hide", false},   {Form->SecondList(), "Delete", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Name) + (c.Panel == Form->SecondList() ? " second" : " first"));
    ASSERT_NE(c.Panel->Footer()->Button(c.Name), nullptr);
    EXPECT_EQ(c.Panel->Footer()->Button(c.Name)->Visible(), c.Shown);
  }
  // Laid out in the first panel, the shown buttons keep apart.
  std::vector<const TOxaButton*> shown;
  for (const TMusicFooterButtonSpec& spec : kMusicFooterButtons) {
    const TOxaButton* button = Form->FirstList()->Footer()->Button(spec.Name);
    if (button != nullptr && button->Visible()) {
      shown.push_back(button);
    }
  }
  for (std::size_t i = 0; i < shown.size(); ++i) {
    for (std::size_t j = i + 1; j < shown.size(); ++j) {
      SCOPED_TRACE(std::string(shown[i]->Name()) + " / " + std::string(shown[j]->Name()));
      const bool apart = shown[i]->Left() + shown[i]->Width() <= shown[j]->Left() ||
                         shown[j]->Left() + shown[j]->Width() <= shown[i]->Left();
      EXPECT_TRUE(apart);
    }
  }
}

TEST_F(TMusicBrowserTest, TheSecondPanelsButtonsFollowItsOwnSelectionOnly)
{
  TDisplayListViewItem* album = OpenAlbum();
  ASSERT_NE(album, nullptr);
  Click(Form->SecondList(), "New");
  TOxaButton* del = Form->SecondList()->Footer()->Button("Delete");
  TOxaButton* remove = Form->SecondList()->Footer()->Button("Hide");
  TOxaButton* create = Form->SecondList()->Footer()->Button("New");
  // A colour key, a Ctrl-click or a drag leaves tracks or folders selected in the first list:
  // the second panel keeps its NEW PLAYLIST and its delete icon all the same.
  const struct {
    const char* Name;
    TMusicListView* List;
    TDisplayListViewItem* Row;  // null: the selection emptied
  } cases[] = {
      {"a track of the first list", &First(), TrackRows(*album)[0]},
      {"the first list emptied", &First(), nullptr},
      {"a playlist", &Second(), GroupRows(Second())[0]},
      {"the folder", &First(), album},
      {"the whole folder", &First(), TrackRows(*album)[1]},
      {"the second list emptied", &Second(), nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    c.Row != nullptr ? c.List->Select(c.Row) : c.List->ClearSelection();
    if (std::string(c.Name) == "the whole folder") {
      c.List->SelectGroup();
    }
    EXPECT_TRUE(del->Visible());
    EXPECT_FALSE(remove->Visible());
    EXPECT_TRUE(create->Visible());
  }
}

}  // namespace

TEST_F(TMusicBrowserTest, TheListsAskTheWindowWhatMayBeDraggedDroppedOnAndEdited)
{
  TDisplayListViewItem* album = OpenAlbum();
  ASSERT_NE(album, nullptr);
  First().Select(TrackRows(*album)[0]);
  Click(Form->SecondList(), "New");
  Drop(&First(), GroupRows(Second())[0], true);
  TDisplayListViewItem* list = GroupRows(Second())[0];
  Loader(Second()).OpenGroup(dynamic_cast<TMusicListViewItem*>(list), false);
  ASSERT_EQ(TrackRows(*list).size(), 1U);
  album = OpenAlbum();
  ASSERT_NE(album, nullptr);
  const struct {
    const char* Name;
    TMusicListView* List;
    TDisplayListViewItem* Row;
    bool Drag, Drop, Edit;
    const char* Caption;
  } cases[] = {
      {"folder", &First(), album, true, false, false, "Album"},
      {"track", &First(), TrackRows(*album)[1], true, false, false, "Bravo"},
      {"playlist", &Second(), list, true, true, true, "Unnamed playlist 1"},
      {"playlist entry", &Second(), TrackRows(*list)[0], true, true, false, "Alpha"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(c.List->MayDrag(c.Row), c.Drag);
    EXPECT_EQ(c.List->MayDrop(c.Row), c.Drop);
    EXPECT_EQ(c.List->MayEdit(c.Row), c.Edit);
    EXPECT_EQ(c.List->CaptionOf(c.Row), c.Caption);
    // Nothing is dragged or dropped while a drop is being applied.
    Form->BeginDrop();
    EXPECT_FALSE(c.List->MayDrag(c.Row));
    EXPECT_FALSE(c.List->MayDrop(c.Row));
    Form->EndDrop();
  }
}

TEST_F(TMusicBrowserTest, KeysTypedIntoACaptionEditorAreTheEditorsAndTheEditStartsFromTheName)
{
  Click(Form->SecondList(), "New");
  Form->SetDisplayMode(3);
  TDisplayListViewItem* list = GroupRows(Second())[0];
  ASSERT_NE(list->Caption(), "Unnamed playlist 1") << "the row's caption carries the count";
  Second().SetEditRow(list);
  ASSERT_NE(Second().Editor(), nullptr);
  EXPECT_EQ(Second().Editor()->Text(), "Unnamed playlist 1");
  const HWND editor = Second().Editor()->Editor();
  const struct {
    const char* Name;
    HWND Window;
    UINT Kind;
    WPARAM Code;
    bool Handled;
  } cases[] = {
      {"a letter into the editor", editor, WM_CHAR, 'r', false},
      {"Return into the editor", editor, WM_KEYDOWN, VK_RETURN, false},
      {"a letter elsewhere starts the type-ahead", Form->Handle(), WM_CHAR, 'r', true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    MSG message{};
    message.hwnd = c.Window;
    message.message = c.Kind;
    message.wParam = c.Code;
    message.time = GetTickCount();
    bool handled = false;
    ASSERT_TRUE(Application().OnMessage);
    Application().OnMessage(message, handled);
    EXPECT_EQ(handled, c.Handled);
  }
  // Committed untouched, the name comes back proper-cased; the row shows its count as before.
  Second().SetEditRow(nullptr);
  EXPECT_EQ(Captions(GroupRows(Second())), (std::vector<std::string>{"Unnamed Playlist 1"}));
  EXPECT_EQ(GroupRows(Second())[0]->Caption(), "Unnamed Playlist 1 (000 Empty)");
}
