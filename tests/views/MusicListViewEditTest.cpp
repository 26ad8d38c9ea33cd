#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "graphics/OxaImage.h"
#include "platform/display/EditControl.h"
#include "platform/windows/Input.h"
#include "platform/windows/InputEvents.h"
#include "platform/windows/Messages.h"
#include "platform/windows/Windows.h"
#include "tests/support/TempFolder.h"
#include "tests/views/MusicListViewFixture.h"
#include "views/list/DisplayListView.h"
#include "views/list/DisplayListViewEdit.h"
#include "views/list/DisplayListViewItem.h"
#include "views/list/MusicListRowMetrics.h"
#include "views/list/MusicListViewDrag.h"
#include "views/list/MusicListViewItem.h"
#include "views/list/MusicListViewScrollBar.h"

namespace {

using musiclisttest::K;
using musiclisttest::TMusicListViewTest;

constexpr unsigned long KeyBackSpace = 0xFF08;
constexpr unsigned long KeyDelete = 0xFFFF;
constexpr unsigned long KeyReturn = 0xFF0D;
constexpr unsigned long KeyEscape = 0xFF1B;

struct TEdits {
  std::vector<std::string> Captions;
  void Edited(TDisplayListView*, TDisplayListViewItem* row) { Captions.push_back(row->Caption()); }
};

class TMusicListEditTest : public TMusicListViewTest {
 protected:
  void SetUp() override
  {
    Host->SetBounds(0, 0, 400, 300);
    List->SetBounds(0, 0, 400, 300);
    Host->SetBitmap(List.get());
    List->Panel()->SetBounds(0, 0, 400, 20 * kMusicRowHeight);
    TOxaBitmap* g = Group();
    g->SetParent(List->Panel());
    g->SetBounds(0, 0, 400, 20 * kMusicRowHeight);
    for (int i = 0; i < 20; ++i) {
      TMusicListViewItem* row = Row(g, i, K::mlkAlbum);
      row->SetBounds(0, i * kMusicRowHeight, 400, kMusicRowHeight);
      row->SetCaption("row " + std::to_string(i));
      Rows.push_back(row);
    }
    List->SetClock([this] { return Now += 1000; });  // every animation ends at its first step
    List->OnEdited = MakeMethod<&TEdits::Edited>(&Edits);
  }
  void TearDown() override
  {
    List->SetEditRow(nullptr);
    Host->SetBitmap(nullptr);
  }
  void Pump()
  {
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  void Press(unsigned long keysym, std::u32string text = {})
  {
    for (const bool down : {true, false}) {
      TInputEvent event;
      event.Kind = TInputKind::Key;
      event.Keysym = keysym;
      event.Down = down;
      event.Text = down ? text : std::u32string{};
      DeliverInput(event);
    }
    Pump();
  }
  std::string EditorText() const { return List->Editor() != nullptr ? List->Editor()->Text() : "<none>"; }

  TTempMachine Machine;
  TOwnedObject<TOxaImage> Host{new TOxaImage(nullptr)};
  std::vector<TMusicListViewItem*> Rows;
  std::uint64_t Now = 0;
  TEdits Edits;
};

TEST_F(TMusicListEditTest, TheEditorOpensOverTheCaptionAllSelectedAndFocused)
{
  List->SetEditRow(Rows[10]);
  ASSERT_NE(List->Editor(), nullptr);
  const HWND editor = List->Editor()->Editor();
  EXPECT_EQ(GetFocus(), editor);
  EXPECT_EQ(EditorText(), "row 10");
  DWORD start = 9, end = 9;
  SendMessageA(editor, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 6u);
  EXPECT_EQ(SendMessageA(editor, EM_GETLIMITTEXT, 0, 0), 250);
  // Row 10 lay below the view: scrolled so its bottom is the view's last line.
  EXPECT_EQ(List->ScrollOffset(), 11 * kMusicRowHeight - 300);
  RECT r{};
  GetWindowRect(List->Editor()->Handle(), &r);
  POINT origin{0, 0};
  ClientToScreen(Host->Handle(), &origin);
  EXPECT_EQ(r.left - origin.x, kMusicCaptionLeft);
  // It ends before the row's outer flap (its corner icon) and before the scroll bar.
  EXPECT_EQ(r.right - origin.x,
            std::min(Rows[10]->Width() - kMusicFlapWidth, 400 - TMusicListViewScrollBar::BarWidth));
  EXPECT_LE(r.right - origin.x, Rows[10]->Width() - kMusicFlapWidth);
  EXPECT_EQ(r.top - origin.y, 10 * kMusicRowHeight - List->ScrollOffset());
  EXPECT_EQ(r.bottom - r.top, kMusicIconSize);
}

TEST_F(TMusicListEditTest, EnterAndFocusLossCommitProperCasedEscapeKeepsTheCaption)
{
  const struct {
    const char* Name;
    unsigned long Key;  // 0: the focus moves to the host
    const char* Caption;
  } cases[] = {
      {"enter", KeyReturn, "My  new_list"},
      {"focus loss", 0, "My  new_list"},
      {"escape", KeyEscape, "row 3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Rows[3]->SetCaption("row 3");
    Edits.Captions.clear();
    List->SetEditRow(Rows[3]);
    ASSERT_NE(List->Editor(), nullptr);
    SendMessageA(List->Editor()->Editor(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("my  new_list"));
    if (c.Key != 0)
      Press(c.Key);
    else
      SetFocus(Host->Handle());
    Pump();
    EXPECT_EQ(List->EditRow(), nullptr);
    EXPECT_EQ(List->Editor(), nullptr);
    EXPECT_EQ(Rows[3]->Caption(), c.Key == KeyEscape ? "row 3" : "My New List");
    EXPECT_EQ(Edits.Captions.size(), c.Key == KeyEscape ? 0u : 1u);
  }
}

TEST_F(TMusicListEditTest, BackspaceAndDeleteEditTheTextAndNeverReachTheList)
{
  int listKeys = 0;
  struct TKeys {
    int* Count;
    void Key(TOxaBitmap*, WORD&, TShiftState) { ++*Count; }
  } keys{&listKeys};
  List->OnKeyDown = MakeMethod<&TKeys::Key>(&keys);
  Host->SetFocused(List.get());
  List->SetEditRow(Rows[0]);
  const HWND editor = List->Editor()->Editor();
  SendMessageA(editor, EM_SETSEL, 3, 3);  // "row| 0"
  Press(KeyBackSpace);
  EXPECT_EQ(EditorText(), "ro 0");
  Press(KeyDelete);
  EXPECT_EQ(EditorText(), "ro0");
  EXPECT_EQ(listKeys, 0);
  EXPECT_EQ(List->EditRow(), Rows[0]);
  EXPECT_EQ(Rows[0]->Caption(), "row 0");
}

TEST_F(TMusicListEditTest, MovingTheEditCommitsThePreviousRow)
{
  List->SetEditRow(Rows[1]);
  const TDisplayListViewEdit* editor = List->Editor();
  SendMessageA(editor->Editor(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("first"));
  List->SetEditRow(Rows[2]);
  EXPECT_EQ(Rows[1]->Caption(), "First");
  EXPECT_EQ(List->Editor(), editor) << "one editor, reused";
  EXPECT_EQ(EditorText(), "row 2");
  List->SetEditRow(Rows[2]);  // already edited: nothing happens
  EXPECT_EQ(Edits.Captions, std::vector<std::string>{"First"});
  List->SetEditRow(nullptr);
  EXPECT_EQ(Rows[2]->Caption(), "Row 2");
  EXPECT_EQ(List->Editor(), nullptr);
}

TEST_F(TMusicListEditTest, StartingAnEditDropsQueuedCallbacksButNotTheRepaint)
{
  Host->Show();
  Pump();
  TOwnedObject<TMusicListViewDrag> drag(new TMusicListViewDrag(nullptr));
  drag->Caption = "dragged";
  Rows[4]->SetInsertGap(true, false);
  List->RowDragDrop(Rows[4], *drag);
  ASSERT_TRUE(List->DropPending());
  List->ContentChanged();
  ASSERT_TRUE(List->Dirty());
  ASSERT_TRUE(List->AsyncPosted());
  const int queued = Host->QueuedCallbacks();
  List->SetEditRow(Rows[5]);
  EXPECT_FALSE(List->DropPending());
  EXPECT_EQ(Host->QueuedCallbacks(), queued - 1) << "the drop gone, the list's repaint queued again";
  EXPECT_TRUE(List->AsyncPosted());
  Pump();
  EXPECT_FALSE(List->AsyncPosted()) << "the repaint ran";
}

TEST_F(TMusicListEditTest, LeavingTheHostEndsTheEditKeepingItsText)
{
  List->SetEditRow(Rows[1]);
  SendMessageA(List->Editor()->Editor(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("kept text"));
  Host->SetBitmap(nullptr);
  EXPECT_EQ(List->Editor(), nullptr);
  EXPECT_EQ(List->EditRow(), nullptr);
  EXPECT_EQ(Rows[1]->Caption(), "Kept Text");
  EXPECT_EQ(Edits.Captions, std::vector<std::string>{"Kept Text"});
  Pump();
}

TEST_F(TMusicListEditTest, FreeingTheEditedRowClosesTheEditor)
{
  const struct {
    const char* Name;
    bool PendingEnter;  // Enter pressed, its commit still queued
  } cases[] = {{"editing", false}, {"commit queued", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TMusicListViewItem* row = Rows.back();
    List->SetEditRow(row);
    if (c.PendingEnter) {
      for (const bool down : {true, false}) {
        TInputEvent event;
        event.Kind = TInputKind::Key;
        event.Keysym = KeyReturn;
        event.Down = down;
        DeliverInput(event);
      }
      MSG message{};
      while (Host->QueuedCallbacks() == 0 &&
             PeekMessageA(&message, List->Editor()->Editor(), 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
    }
    Rows.pop_back();
    FreeObject(row);
    EXPECT_EQ(List->EditRow(), nullptr);
    EXPECT_EQ(List->Editor(), nullptr);
    Pump();
    EXPECT_TRUE(Edits.Captions.empty());
  }
}

}  // namespace

struct TClickLog {
  std::vector<TDisplayListViewItem*>* Rows;
  void Click(TDisplayListView*, TDisplayListViewItem* row, TShiftState, int, int) { Rows->push_back(row); }
};

struct TEditAnswers {
  const TDisplayListViewItem* Allowed = nullptr;
  bool MayEdit(TDisplayListView*, const TDisplayListViewItem* row) { return row == Allowed; }
};

TEST_F(TMusicListEditTest, ADoubleClickOrF2EditsOnlyRowsTheOwnerAllows)
{
  TEditAnswers owner;
  owner.Allowed = Rows[2];
  List->OnMayEdit = MakeMethod<&TEditAnswers::MayEdit>(&owner);
  std::vector<TDisplayListViewItem*> clicks;
  TClickLog log{&clicks};
  List->OnItemClick = MakeMethod<&TClickLog::Click>(&log);
  const auto doubleClick = [&](int y) {
    Host->DoMouseDown(TMouseButton::mbLeft, 0, 200, y);
    Host->DoMouseUp(TMouseButton::mbLeft, 0, 200, y);
    Host->DoMouseDown(TMouseButton::mbLeft, ssDouble, 200, y);
    Host->DoMouseUp(TMouseButton::mbLeft, ssDouble, 200, y);
  };
  const struct {
    const char* Name;
    int Row;
    TDisplayListViewItem* Edited;
    std::size_t Clicks;  // the second release is no click when the edit starts
  } cases[] = {
      {"refused", 1, nullptr, 2},
      {"allowed", 2, Rows[2], 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    clicks.clear();
    doubleClick(c.Row * kMusicRowHeight + 20);
    EXPECT_EQ(List->EditRow(), c.Edited);
    EXPECT_EQ(clicks.size(), c.Clicks);
    List->SetEditRow(nullptr);
  }
  // F2 edits the active row when it is allowed.
  for (TMusicListViewItem* row : {Rows[1], Rows[2]}) {
    List->SetActiveRow(row);
    WORD key = VK_F1 + 1;
    List->KeyDown(key, 0);
    EXPECT_EQ(List->EditRow(), row == Rows[2] ? row : nullptr);
    EXPECT_EQ(key, row == Rows[2] ? 0 : VK_F1 + 1) << "a refused F2 is left to others";
    List->SetEditRow(nullptr);
  }
}
