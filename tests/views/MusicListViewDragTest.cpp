#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/OxaImage.h"
#include "platform/windows/Messages.h"
#include "platform/windows/Windows.h"
#include "skin/OxaSkin.h"
#include "tests/views/MusicListViewFixture.h"
#include "views/list/DisplayListView.h"
#include "views/list/DisplayListViewItem.h"
#include "views/list/MusicListRowMetrics.h"
#include "views/list/MusicListViewDrag.h"
#include "views/list/MusicListViewItem.h"

namespace {

using musiclisttest::K;
using musiclisttest::TMusicListViewTest;

struct TDropLog {
  std::vector<TDisplayListViewDrop> Seen;
  void Drop(TDisplayListView*, const TDisplayListViewDrop& drop) { Seen.push_back(drop); }
};

// A list of 20 album rows, 51 high, in a 400 x 200 host; the pointer and the clock are the
// test's.
class TMusicListDragTest : public TMusicListViewTest {
 protected:
  void SetUp() override
  {
    Store.ReadData(*OxaSkinStore("Icons"));
    List->SetBitmaps(&Store);
    Host->SetBounds(0, 0, 400, 200);
    List->SetBounds(0, 0, 400, 200);
    Host->SetBitmap(List.get());
    List->Panel()->SetBounds(0, 0, 384, 20 * kMusicRowHeight);
    Rows.clear();
    TOxaBitmap* g = Group();
    g->SetParent(List->Panel());
    g->SetBounds(0, 0, 384, 20 * kMusicRowHeight);
    for (int i = 0; i < 20; ++i) {
      TMusicListViewItem* row = Row(g, i, K::mlkAlbum);
      row->SetBounds(0, i * kMusicRowHeight, 384, kMusicRowHeight);
      row->SetCaption("row " + std::to_string(i));
      Rows.push_back(row);
    }
    List->SetClock([this] { return Now += 50; });
    List->SetPointerSource(
        [this](POINT& p) {
          p = Pointer;
          return PointerReadable;
        },
        [this] { return Held > 0 && Held-- > 0; });
    List->OnDrop = MakeMethod<&TDropLog::Drop>(&Drops);
    ClientToScreen(Host->Handle(), &Origin);
  }
  void TearDown() override
  {
    Host->SetBitmap(nullptr);
    List->SetBitmaps(nullptr);
  }
  // Presses on a row's caption and drags the pointer to (x, y) of the client area.
  void Move(int x, int y)
  {
    Pointer = {Origin.x + x, Origin.y + y};
    Host->DoMouseMove(ssLeft, x, y);
  }
  void Pump()
  {
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageA(&message);
  }

  TOxaBitmaps Store{nullptr};
  TOwnedObject<TOxaImage> Host{new TOxaImage(nullptr)};
  std::vector<TMusicListViewItem*> Rows;
  std::uint64_t Now = 0;
  POINT Origin{0, 0};
  POINT Pointer{0, 0};
  bool PointerReadable = true;
  int Held = 0;
  TDropLog Drops;
};

TEST_F(TMusicListDragTest, APressMovedFourPixelsStartsDraggingTheSelection)
{
  const struct {
    int Dx, Dy;
    bool Drags;
  } cases[] = {{3, 0}, {0, 3}, {-3, 3}, {4, 0, true}, {0, -4, true}, {-4, 0, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.Dx) + "," + std::to_string(c.Dy));
    List->ClearSelection();
    List->Select(Rows[0]);
    List->Select(Rows[1]);
    Host->DoMouseDown(TMouseButton::mbLeft, 0, 150, 70);  // row 1
    Move(150 + c.Dx, 70 + c.Dy);
    EXPECT_EQ(List->DragBox() != nullptr, c.Drags);
    if (c.Drags) {
      TMusicListViewDrag* box = List->DragBox();
      EXPECT_EQ(Host->Dragged(), box);
      EXPECT_EQ(box->Caption, "row 1");
      EXPECT_EQ(box->Records, (std::vector<int>{0, 1}));
      EXPECT_EQ(box->Parent(), List.get()) << "the host's root";
      EXPECT_FALSE(Rows[1]->Pressed());
      EXPECT_EQ(box->Height(), TMusicListViewDrag::BoxHeight);
      EXPECT_GT(box->Width(), 2 * TMusicListViewDrag::CaptionMargin) << "wide enough for its caption";
      Move(200, 120);
      EXPECT_EQ(box->Left(), 200 - TMusicListViewDrag::Grip.x);
      EXPECT_EQ(box->Top(), 120 - TMusicListViewDrag::Grip.y);
    }
    Host->DoMouseUp(TMouseButton::mbLeft, 0, 390, 199);
    EXPECT_EQ(List->DragBox(), nullptr);
    EXPECT_EQ(Host->HookCount(), 0);
  }
}

TEST_F(TMusicListDragTest, DraggingAnUnselectedRowDragsItAlone)
{
  List->Select(Rows[0]);
  Host->DoMouseDown(TMouseButton::mbLeft, 0, 150, 120);  // row 2
  Move(150, 130);
  ASSERT_NE(List->DragBox(), nullptr);
  EXPECT_EQ(List->DragBox()->Records, std::vector<int>{2});
  EXPECT_EQ(List->SelectedCount(), 1);
  Host->DoMouseUp(TMouseButton::mbLeft, 0, 390, 199);
}

TEST_F(TMusicListDragTest, TheGapGrowsBesideTheRowUnderTheBoxAndTheDropIsQueued)
{
  Host->DoMouseDown(TMouseButton::mbLeft, 0, 150, 10);  // row 0
  Move(150, 20);
  ASSERT_NE(List->DragBox(), nullptr);
  Move(150, 3 * kMusicRowHeight + 10);  // upper half of row 3
  EXPECT_EQ(List->GapRow(), Rows[3]);
  EXPECT_TRUE(Rows[3]->InsertBefore());
  EXPECT_EQ(Rows[3]->GapStep(), 10) << "the animation ran to its last frame";
  EXPECT_EQ(Rows[3]->Height(), kMusicRowHeight + kMusicIconSize);
  EXPECT_EQ(List->DragBox()->Cursor(), TDisplayListView::CursorDrag);
  // The frame of set C (a move within the list, not a track) fills the gap above the row.
  TOxaBitmap* frame = Store.Find("DRAGINSERTC10");
  EXPECT_EQ(Rows[3]->GetPixel(kMusicRowMargin + 20, 20), frame->GetPixel(20, 20));
  Move(150, 2 * kMusicRowHeight + 40);  // lower half of row 2
  EXPECT_EQ(List->GapRow(), Rows[2]);
  EXPECT_TRUE(Rows[2]->InsertAfter());
  EXPECT_EQ(Rows[3]->GapStep(), 0);
  EXPECT_EQ(Rows[3]->Height(), kMusicRowHeight) << "the closed gap gives its height back";
  Rows[1]->SetAcceptsDrop(false);
  Move(150, kMusicRowHeight + 10);
  EXPECT_EQ(List->DragBox()->Cursor(), TDisplayListView::CursorNoCanDo);
  EXPECT_EQ(List->GapRow(), nullptr);
  EXPECT_EQ(Rows[2]->Height(), kMusicRowHeight);
  Move(150, 2 * kMusicRowHeight + 40);
  Host->DoMouseUp(TMouseButton::mbLeft, 0, 150, 2 * kMusicRowHeight + 40);
  EXPECT_EQ(List->DragBox(), nullptr);
  EXPECT_EQ(List->GapRow(), nullptr);
  EXPECT_EQ(Rows[2]->Height(), kMusicRowHeight);
  ASSERT_TRUE(List->DropPending());
  Pump();
  ASSERT_EQ(Drops.Seen.size(), 1u);
  EXPECT_EQ(Drops.Seen[0].Target, Rows[2]);
  EXPECT_TRUE(Drops.Seen[0].After);
  EXPECT_EQ(Drops.Seen[0].Records, std::vector<int>{0});
}

TEST(MusicListGap, StepHeightsAndSets)
{
  const struct {
    int Step, Height;
  } heights[] = {{-1, 0}, {0, 0}, {1, 2}, {2, 7}, {9, 42}, {10, 47}, {11, 47}};
  for (const auto& h : heights)
    EXPECT_EQ(TMusicListViewItem::GapStepHeight(h.Step), h.Height) << h.Step;

  TOwnedObject<TMusicListView> list(new TMusicListView(nullptr)), other(new TMusicListView(nullptr));
  TOwnedObject<TMusicListViewItem> track(new TMusicListViewItem(nullptr, list.get(), K::mlkTrack));
  TOwnedObject<TMusicListViewItem> album(new TMusicListViewItem(nullptr, list.get(), K::mlkAlbum));
  TMusicListViewDrag drag(nullptr);
  const struct {
    TMusicListViewItem* Row;
    TMusicListView* Source;
    int Set;
  } sets[] = {{track.get(), other.get(), 0},
              {album.get(), other.get(), 1},
              {track.get(), list.get(), 2},
              {album.get(), list.get(), 3}};
  for (const auto& s : sets) {
    drag.Source = s.Source;
    EXPECT_EQ(TMusicListView::GapSet(*s.Row, drag), s.Set);
  }
}

TEST_F(TMusicListDragTest, AutoScrollRunsWithinTwentyPixelsOfTheViewWhileTheButtonIsHeld)
{
  const struct {
    const char* Name;
    int Start, X, Y, HeldSteps;
    bool Readable;
    int Offset;
  } cases[] = {
      {"10 px below", 0, 100, 209, 5, true, 50},
      {"20th px below", 0, 100, 219, 5, true, 50},
      {"21st px below", 0, 100, 220, 5, true, 0},
      {"inside", 300, 100, 100, 5, true, 300},
      {"1 px above", 300, 100, -1, 5, true, 250},
      {"20 px above", 300, 100, -20, 5, true, 250},
      {"21 px above", 300, 100, -21, 5, true, 300},
      {"beside the list", 0, 400, 209, 5, true, 0},
      {"button up", 0, 100, 209, 0, true, 0},
      {"pointer unreadable", 0, 100, 209, 5, false, 0},
      {"clamped at the end", 800, 100, 209, 5, true, List->MaxScrollOffset()},
      {"clamped at the top", 20, 100, -5, 5, true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    List->ScrollTo(c.Start, false);
    Pointer = {Origin.x + c.X, Origin.y + c.Y};
    PointerReadable = c.Readable;
    Held = c.HeldSteps;  // each step reads the clock once: 50 ms, 10 px
    List->DragAutoScroll();
    EXPECT_EQ(List->ScrollOffset(), c.Offset);
  }
}

TEST_F(TMusicListDragTest, TheDragScrollsWhenThePointerEntersTheBandOutsideTheList)
{
  Host->DoMouseDown(TMouseButton::mbLeft, 0, 150, 10);
  Move(150, 20);
  ASSERT_NE(List->DragBox(), nullptr);
  const struct {
    int Y, Offset;
  } cases[] = {{220, 0}, {209, 30}, {-5, 0}, {-21, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Y);
    Held = 3;  // three steps of 10 px before the button is seen up
    Move(150, c.Y);
    EXPECT_EQ(List->ScrollOffset(), c.Offset);
  }
  Host->DoMouseUp(TMouseButton::mbLeft, 0, 390, 199);
}

TEST_F(TMusicListDragTest, ReloadingDuringADragLeavesNothingBehind)
{
  Host->DoMouseDown(TMouseButton::mbLeft, 0, 150, 10);
  Move(150, 20);
  Move(150, 2 * kMusicRowHeight + 10);
  ASSERT_EQ(List->GapRow(), Rows[2]);
  // The owner frees every row (a reload) with the box still held.
  FreeObject(List->Panel()->Children(0));
  Rows.clear();
  EXPECT_EQ(List->GapRow(), nullptr);
  Move(150, 60);
  Host->DoMouseUp(TMouseButton::mbLeft, 0, 150, 60);
  Pump();
  EXPECT_TRUE(Drops.Seen.empty());
  EXPECT_EQ(Host->HookCount(), 0);
}

TEST_F(TMusicListDragTest, FreeingTheListDuringADragUnhooksIt)
{
  Host->DoMouseDown(TMouseButton::mbLeft, 0, 150, 10);
  Move(150, 20);
  ASSERT_EQ(Host->HookCount(), 1);
  Host->SetBitmap(nullptr);
  EXPECT_EQ(Host->HookCount(), 0);
  EXPECT_EQ(Host->Dragged(), nullptr);
  List.reset();
  Host->DoMouseMove(ssLeft, 100, 100);
  Host->DoMouseUp(TMouseButton::mbLeft, 0, 100, 100);
  List.reset(new TMusicListView(nullptr));  // for the fixture's tear-down
}

struct TRowClicks {
  int Count = 0;
  void Click(TDisplayListView*, TDisplayListViewItem*, TShiftState, int, int) { ++Count; }
};

// The list about to move or hide: what the user was doing stops, and nothing of it acts later.
TEST_F(TMusicListDragTest, DroppingTheTransientStateEndsTheDragThePressAndTheEditAndClearsTheSelection)
{
  TRowClicks clicks;
  List->OnItemClick = MakeMethod<&TRowClicks::Click>(&clicks);
  {
    SCOPED_TRACE("a drag with its gap open");
    List->Select(Rows[0]);
    List->Select(Rows[1]);
    Host->DoMouseDown(TMouseButton::mbLeft, 0, 150, 70);  // row 1
    Move(150, 80);
    Move(150, 3 * kMusicRowHeight + 10);
    ASSERT_EQ(List->GapRow(), Rows[3]);
    List->DropTransientState();
    EXPECT_EQ(List->DragBox(), nullptr);
    EXPECT_EQ(Host->Dragged(), nullptr);
    EXPECT_EQ(Host->HookCount(), 0);
    EXPECT_EQ(List->GapRow(), nullptr);
    EXPECT_EQ(Rows[3]->Height(), kMusicRowHeight);
    EXPECT_EQ(List->SelectedCount(), 0);
    // The button let go afterwards drops nothing and clicks nothing.
    Host->DoMouseUp(TMouseButton::mbLeft, 0, 150, 3 * kMusicRowHeight + 10);
    Pump();
    EXPECT_FALSE(List->DropPending());
    EXPECT_TRUE(Drops.Seen.empty());
    EXPECT_EQ(clicks.Count, 0);
  }
  {
    SCOPED_TRACE("a row held down");
    Host->DoMouseDown(TMouseButton::mbLeft, 0, 150, 120);  // row 2
    ASSERT_TRUE(Rows[2]->Pressed());
    List->DropTransientState();
    EXPECT_FALSE(Rows[2]->Pressed());
    Host->DoMouseUp(TMouseButton::mbLeft, 0, 150, 120);
    EXPECT_EQ(clicks.Count, 0) << "the release finds no pressed row";
  }
  {
    SCOPED_TRACE("an edit");
    List->SetEditRow(Rows[2]);
    ASSERT_NE(List->Editor(), nullptr);
    SendMessageA(List->Editor()->Editor(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("kept words"));
    List->DropTransientState();
    EXPECT_EQ(List->EditRow(), nullptr);
    EXPECT_EQ(List->Editor(), nullptr);
    EXPECT_EQ(Rows[2]->Caption(), "Kept Words") << "the typed text stays, as when the focus leaves";
  }
  {
    SCOPED_TRACE("a drop already made is still delivered");
    Host->DoMouseDown(TMouseButton::mbLeft, 0, 150, 10);  // row 0
    Move(150, 20);
    Move(150, 2 * kMusicRowHeight + 40);
    Host->DoMouseUp(TMouseButton::mbLeft, 0, 150, 2 * kMusicRowHeight + 40);
    ASSERT_TRUE(List->DropPending());
    List->DropTransientState();
    Pump();
    EXPECT_EQ(Drops.Seen.size(), 1u);
  }
}

}  // namespace

// The owner's answers, as a table of rows it refuses.
struct TOwnerAnswers {
  const TDisplayListViewItem* NoDrag = nullptr;
  const TDisplayListViewItem* NoDrop = nullptr;
  std::string Caption;
  int Asked = 0;
  bool MayDrag(TDisplayListView*, const TDisplayListViewItem* row) { return row != NoDrag; }
  bool MayDrop(TDisplayListView*, const TDisplayListViewItem* row) { return row != NoDrop; }
  std::string CaptionOf(TDisplayListView*, const TDbId&)
  {
    ++Asked;
    return Caption;
  }
};

TEST_F(TMusicListDragTest, TheOwnerDecidesWhatIsDraggedWhereItDropsAndTheBoxCaption)
{
  TOwnerAnswers owner;
  List->OnMayDrag = MakeMethod<&TOwnerAnswers::MayDrag>(&owner);
  List->OnMayDrop = MakeMethod<&TOwnerAnswers::MayDrop>(&owner);
  List->OnGetCaption = MakeMethod<&TOwnerAnswers::CaptionOf>(&owner);
  TDbId record;
  record.ViewId = 2;
  record.GroupId = 5;
  Rows[1]->SetPayload(record);
  const struct {
    const char* Name;
    const TDisplayListViewItem* NoDrag;
    const char* LibraryCaption;  // what the owner answers
    bool Drags;
    const char* BoxCaption;
  } cases[] = {
      {"refused", Rows[1], "Blue Train", false, ""},
      {"the owner's caption", nullptr, "Blue Train", true, "Blue Train"},
      {"no caption from the owner: the row's", nullptr, "", true, "row 1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    owner.NoDrag = c.NoDrag;
    owner.Caption = c.LibraryCaption;
    Host->DoMouseDown(TMouseButton::mbLeft, 0, 150, 70);  // row 1
    Move(150, 80);
    ASSERT_EQ(List->DragBox() != nullptr, c.Drags);
    if (c.Drags) {
      EXPECT_EQ(List->DragBox()->Caption, c.BoxCaption);
    }
    Host->DoMouseUp(TMouseButton::mbLeft, 0, 390, 199);
  }
  // A row without a record keeps its caption without asking.
  owner.Asked = 0;
  Host->DoMouseDown(TMouseButton::mbLeft, 0, 150, 120);  // row 2
  Move(150, 130);
  ASSERT_NE(List->DragBox(), nullptr);
  EXPECT_EQ(List->DragBox()->Caption, "row 2");
  EXPECT_EQ(owner.Asked, 0);

  // Over a row the owner refuses the gap stays shut and the cursor says no; its flag alone
  // does not make it take a drop that was already gapped.
  owner.NoDrop = Rows[3];
  TMusicListViewDrag& box = *List->DragBox();
  Rows[3]->DragOver(&box, 5, 40);
  EXPECT_FALSE(Rows[3]->InsertBefore() || Rows[3]->InsertAfter());
  EXPECT_EQ(box.Cursor(), TDisplayListView::CursorNoCanDo);
  Rows[3]->SetInsertGap(false, true);
  Rows[3]->DragDrop(&box, 5, 40);
  Pump();
  EXPECT_TRUE(Drops.Seen.empty());
  Rows[4]->DragOver(&box, 5, 40);
  EXPECT_TRUE(Rows[4]->InsertAfter());
  EXPECT_EQ(box.Cursor(), TDisplayListView::CursorDrag);
  Rows[4]->DragDrop(&box, 5, 40);
  Host->DoMouseUp(TMouseButton::mbLeft, 0, 390, 199);
  Pump();
  ASSERT_EQ(Drops.Seen.size(), 1u);
  EXPECT_EQ(Drops.Seen[0].Target, Rows[4]);
  // A list whose first row is refused takes nothing over its empty space.
  owner.NoDrop = Rows[0];
  TOwnedObject<TMusicListViewDrag> loose(new TMusicListViewDrag(nullptr));
  List->DragMove(loose.get(), 5, 100);
  EXPECT_EQ(loose->Cursor(), TDisplayListView::CursorNoCanDo);
  EXPECT_EQ(List->GapRow(), nullptr);
}
