#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "graphics/OxaBitmap.h"
#include "graphics/OxaGraphics.h"
#include "graphics/OxaImage.h"
#include "platform/windows/DisplayTesting.h"
#include "skin/OxaSkin.h"
#include "tests/support/TraceCapture.h"
#include "tests/views/MusicListViewFixture.h"
#include "views/list/DisplayListView.h"
#include "views/list/DisplayListViewItem.h"
#include "views/list/MusicListRowMetrics.h"
#include "views/list/MusicListView.h"
#include "views/list/MusicListViewDrag.h"
#include "views/list/MusicListViewItem.h"
#include "views/list/MusicListViewScrollBar.h"
#include "views/list/MusicListViewStates.h"

namespace {

using musiclisttest::K;
using musiclisttest::SolidStore;
using musiclisttest::TMusicListViewTest;

std::string FatalText(const std::function<void()>& action)
{
  try {
    action();
  } catch (const EOxaFatal& e) {
    return e.what();
  }
  return "";
}

struct TClicks {
  std::vector<TDisplayListViewItem*> Rows;
  std::vector<TDisplayListViewItem*> RightRows;
  void Click(TDisplayListView*, TDisplayListViewItem* row, TShiftState, int, int) { Rows.push_back(row); }
  void RightClick(TDisplayListView*, TDisplayListViewItem* row, TShiftState, int, int)
  {
    RightRows.push_back(row);
  }
};

struct TDrops {
  std::vector<TDisplayListViewDrop> Seen;
  void Drop(TDisplayListView*, const TDisplayListViewDrop& drop) { Seen.push_back(drop); }
};

struct TCounter {
  int* Count;
  void Changed(TOxaBitmap*) { ++*Count; }
};

TEST_F(TMusicListViewTest, ItemsOutsideTheRangeAreFatal)
{
  TOxaBitmap* g = Group();
  TMusicListViewItem* a = Row(g);
  TMusicListViewItem* b = Row(g);
  EXPECT_EQ(List->Items(0), a);
  EXPECT_EQ(List->Items(1), b);
  for (int index : {-1, 2}) {
    SCOPED_TRACE(index);
    EXPECT_EQ(FatalText([&] { List->Items(index); }),
              "TMusicListView.Items[" + std::to_string(index) + "]: Index out of bounds");
  }
}

TEST_F(TMusicListViewTest, SelectionRules)
{
  TOxaBitmap* g1 = Group();
  TOxaBitmap* g2 = Group();
  // Rows 0..2 in the first group, 3..4 in the second, 5 without a record.
  std::vector<TMusicListViewItem*> r = {Row(g1), Row(g1), Row(g1), Row(g2), Row(g2), Row(g2, -1)};
  const struct {
    const char* Name;
    std::vector<int> Before;
    std::function<void()> Action;
    std::vector<int> After;
  } cases[] = {
      {"select keeps order", {2, 0}, [] {}, {2, 0}},
      {"select twice is once", {1}, [&] { List->Select(r[1]); }, {1}},
      {"same group adds", {0}, [&] { List->Select(r[2]); }, {0, 2}},
      {"other group drops the first", {0, 1}, [&] { List->Select(r[3]); }, {3}},
      {"no record clears everything", {3, 4}, [&] { List->Select(r[5]); }, {5}},
      {"a row without a record stays beside one of its group", {5}, [&] { List->Select(r[4]); }, {5, 4}},
      {"a record row drops a no-record row of another group", {5}, [&] { List->Select(r[0]); }, {0}},
      {"deselect only that row", {0, 1, 2}, [&] { List->Deselect(r[1]); }, {0, 2}},
      {"deselect unselected", {0}, [&] { List->Deselect(r[1]); }, {0}},
      {"clear", {0, 1}, [&] { List->ClearSelection(); }, {}},
      {"group of first selected", {1}, [&] { List->SelectGroup(); }, {0, 1, 2}},
      {"group with nothing selected and no active row", {}, [&] { List->SelectGroup(); }, {}},
      {"group of the active row",
       {},
       [&] {
         List->SetActiveRow(r[4]);
         List->SelectGroup();
       },
       {3, 4, 5}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    List->SetActiveRow(nullptr);
    List->ClearSelection();
    for (int i : c.Before)
      List->Select(r[std::size_t(i)]);
    c.Action();
    EXPECT_EQ(SelectedIndexes(), c.After);
    for (int i = 0; i < int(r.size()); ++i) {
      const bool selected = std::find(c.After.begin(), c.After.end(), i) != c.After.end();
      EXPECT_EQ(List->IsSelected(r[std::size_t(i)]), selected) << i;
      EXPECT_EQ((r[std::size_t(i)]->State() & kRowSelected) != 0, selected) << i;
    }
  }
}

TEST_F(TMusicListViewTest, MouseSelection)
{
  TOxaBitmap* g1 = Group();
  TOxaBitmap* g2 = Group();
  std::vector<TMusicListViewItem*> r;
  for (int i = 0; i < 6; ++i)
    r.push_back(Row(g1));
  r.push_back(Row(g2));
  r.push_back(Row(g2));
  TClicks clicks;
  List->OnItemClick = MakeMethod<&TClicks::Click>(&clicks);
  const TShiftState none = 0, shift = ssShift, ctrl = ssCtrl, both = ssShift | ssCtrl;
  const struct {
    const char* Name;
    std::vector<int> Before;
    int Active;
    int Row;
    TShiftState Shift;
    std::vector<int> AtPress;
    std::vector<int> AtRelease;
    bool Clicked;
  } cases[] = {
      {"ctrl deselects only the row", {1, 2, 3}, -1, 2, ctrl, {1, 3}, {1, 3}, false},
      {"ctrl adds", {1}, -1, 3, ctrl, {1, 3}, {1, 3}, false},
      {"shift+ctrl leaves only the row", {1, 2}, -1, 4, both, {4}, {4}, false},
      {"shift without selection: only the row", {}, -1, 3, shift, {3}, {3}, false},
      {"shift without selection ignores the active row", {}, 1, 3, shift, {3}, {3}, false},
      {"shift down from 2 to 5", {2}, -1, 5, shift, {2, 5, 3, 4}, {2, 5, 3, 4}, false},
      {"shift up from 5 to 2", {5}, -1, 2, shift, {5, 2, 3, 4}, {5, 2, 3, 4}, false},
      {"shift on the anchor itself", {2}, -1, 2, shift, {2}, {2}, false},
      {"shift next to the anchor", {2}, -1, 3, shift, {2, 3}, {2, 3}, false},
      {"shift from another group starts at the active row", {6}, 1, 3, shift, {1, 3, 2}, {1, 3, 2}, false},
      {"shift from another group, active row elsewhere", {6}, 7, 3, shift, {3}, {3}, false},
      {"plain click waits for the release", {1, 2, 3}, -1, 2, none, {1, 2, 3}, {}, true},
      {"plain click on an unselected row", {1}, -1, 4, none, {1}, {}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    List->SetActiveRow(c.Active < 0 ? nullptr : r[std::size_t(c.Active)]);
    List->ClearSelection();
    for (int i : c.Before)
      List->Select(r[std::size_t(i)]);
    clicks.Rows.clear();
    TMusicListViewItem* row = r[std::size_t(c.Row)];
    row->MouseDown(TMouseButton::mbLeft, c.Shift, 10, 10);
    EXPECT_EQ(SelectedIndexes(), c.AtPress);
    EXPECT_TRUE(row->Pressed());
    row->MouseUp(TMouseButton::mbLeft, c.Shift, 10, 10);
    EXPECT_EQ(SelectedIndexes(), c.AtRelease);
    EXPECT_FALSE(row->Pressed());
    EXPECT_EQ(clicks.Rows,
              c.Clicked ? std::vector<TDisplayListViewItem*>{row} : std::vector<TDisplayListViewItem*>{});
  }
}

TEST_F(TMusicListViewTest, BlockedAndSpecialClicks)
{
  TOxaBitmap* g = Group();
  TMusicListViewItem* a = Row(g);
  TMusicListViewItem* b = Row(g);
  TClicks clicks;
  List->OnItemClick = MakeMethod<&TClicks::Click>(&clicks);
  List->OnItemRightClick = MakeMethod<&TClicks::RightClick>(&clicks);
  const auto click = [&](TMusicListViewItem* row, TMouseButton button, TShiftState shift) {
    row->MouseDown(button, shift, 1, 1);
    row->MouseUp(button, shift, 1, 1);
  };

  // A row that keeps the selection still reports the click.
  List->Select(a);
  b->SetKeepSelection(true);
  click(b, TMouseButton::mbLeft, 0);
  EXPECT_EQ(List->SelectedCount(), 1);
  EXPECT_EQ(clicks.Rows.size(), 1u);
  // A row not accepting clicks: the selection is kept and nothing is reported.
  b->SetKeepSelection(false);
  b->SetState(b->State() & ~kRowAcceptsClicks);
  click(b, TMouseButton::mbLeft, 0);
  EXPECT_EQ(List->SelectedCount(), 1);
  EXPECT_EQ(clicks.Rows.size(), 1u);
  click(b, TMouseButton::mbRight, 0);
  EXPECT_TRUE(clicks.RightRows.empty());
  b->SetState(b->State() | kRowAcceptsClicks);
  click(b, TMouseButton::mbRight, 0);
  EXPECT_EQ(clicks.RightRows, std::vector<TDisplayListViewItem*>{b});
  // No input on the row or on the list blocks even Ctrl.
  b->SetNoInput(true);
  click(b, TMouseButton::mbLeft, ssCtrl);
  EXPECT_FALSE(List->IsSelected(b));
  b->SetNoInput(false);
  List->SetNoInput(true);
  click(b, TMouseButton::mbLeft, ssCtrl);
  EXPECT_FALSE(List->IsSelected(b));
  EXPECT_FALSE(b->Pressed());
  List->SetNoInput(false);
  click(b, TMouseButton::mbLeft, ssCtrl);
  EXPECT_TRUE(List->IsSelected(b));
  // A release without a press over the row is not a click.
  b->MouseUp(TMouseButton::mbLeft, 0, 1, 1);
  EXPECT_EQ(clicks.Rows.size(), 1u);
}

TEST(DisplayListScroll, DurationGrowsWithTheDistanceInEitherDirection)
{
  const struct {
    int Distance;
    int Duration;
  } cases[] = {{0, 300},     {1, 300},      {-1, 300},      {2, 301},       {-2, 301},
               {5000, 1691}, {-5000, 1691}, {100000, 2500}, {-100000, 2500}};
  for (const auto& c : cases)
    EXPECT_EQ(DisplayListScrollDuration(c.Distance), c.Duration) << c.Distance;
}

TEST(DisplayListScroll, DragScrollsOnlyWithinTwentyPixelsOfTheView)
{
  // View rows 0..299; "n px below" is y = 299 + n.
  const struct {
    int Y, Elapsed, Delta;
  } cases[] = {
      {299 + 10, 50, 10}, {299 + 1, 50, 10}, {299 + 20, 50, 10},    {299 + 21, 50, 0}, {299, 50, 0},
      {0, 50, 0},         {-1, 50, -10},     {-20, 50, -10},        {-21, 50, 0},      {150, 50, 0},
      {299 + 10, 4, 0},   {299 + 10, 5, 1},  {299 + 10, 1000, 200}, {-10, 1000, -200}, {-10, -5, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DisplayListDragScrollDelta(c.Y, 300, c.Elapsed), c.Delta) << c.Y << " " << c.Elapsed;
}

TEST_F(TMusicListViewTest, ScrollOffsetIsClampedBetweenHeaderAndFooter)
{
  List->SetBounds(0, 0, 400, 300);
  List->SetHeaderHeight(40);
  List->SetFooterHeight(20);
  List->Panel()->SetBounds(0, 0, 400, 1000);
  EXPECT_EQ(List->MaxScrollOffset(), 760);
  const struct {
    int Asked, Offset;
  } cases[] = {{-1, 0}, {0, 0}, {1, 1}, {759, 759}, {760, 760}, {761, 760}, {100000, 760}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Asked);
    List->ScrollTo(c.Asked, false);
    EXPECT_EQ(List->ScrollOffset(), c.Offset);
    EXPECT_EQ(List->Panel()->Top(), 40 - c.Offset);
  }
  // A panel shorter than the view does not scroll; a grown footer pulls the offset back.
  List->SetFooterHeight(120);
  EXPECT_EQ(List->MaxScrollOffset(), 860);
  List->Panel()->SetBounds(0, 0, 400, 139);
  List->ScrollTo(10, false);
  EXPECT_EQ(List->ScrollOffset(), 0);
  List->Panel()->SetBounds(0, 0, 400, 141);
  List->ScrollTo(10, false);
  EXPECT_EQ(List->ScrollOffset(), 1);
}

TEST_F(TMusicListViewTest, ScrollIntoViewMovesTheLeastDistance)
{
  // View 200 high (rows 0..199 of the panel at offset 0); rows 51 high inside a group at 100.
  List->SetBounds(0, 0, 400, 230);
  List->SetHeaderHeight(30);
  List->Panel()->SetBounds(0, 0, 400, 2000);
  auto* group = new TOxaBitmap(&List->Panel()->Objects());
  group->SetBounds(0, 100, 400, 1500);
  group->SetParent(List->Panel());
  TMusicListViewItem* row = Row(group);
  const struct {
    int Start, RowTop, RowHeight, Offset;
  } cases[] = {
      {0, 0, 51, 0},        // already shown
      {0, 49, 51, 0},       // bottom edge on the last line (100 + 49 + 51 = 200)
      {0, 50, 51, 1},       // one line below
      {500, 400, 51, 500},  // top edge on the first line
      {500, 399, 51, 499},  // one line above
      {0, 300, 300, 400},   // taller than the view: its top
      {0, 1400, 51, 1351},  // far below: its bottom on the last line
      {0, 1880, 51, 1800},  // reaching past the panel's end: clamped
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.RowTop);
    List->ScrollTo(c.Start, false);
    row->SetBounds(0, c.RowTop, 400, c.RowHeight);
    List->ScrollIntoView(row, false);
    EXPECT_EQ(List->ScrollOffset(), c.Offset);
  }
  // A row outside the panel is ignored.
  TMusicListViewItem* outside = Row(Group());
  List->ScrollTo(7, false);
  List->ScrollIntoView(outside, false);
  EXPECT_EQ(List->ScrollOffset(), 7);
}

TEST_F(TMusicListViewTest, KeysScrollAndMoveTheActiveRow)
{
  List->SetBounds(0, 0, 400, 300);
  List->SetHeaderHeight(40);
  List->SetFooterHeight(60);  // a page is 200
  List->Panel()->SetBounds(0, 0, 400, 1000);
  std::uint64_t now = 0;
  List->SetClock([&] { return now += 100000; });  // every animation ends after one step
  auto* g = new TOxaBitmap(&List->Panel()->Objects());
  g->SetBounds(0, 0, 400, 1000);
  g->SetParent(List->Panel());
  std::vector<TMusicListViewItem*> r;
  for (int i = 0; i < 3; ++i) {
    r.push_back(Row(g));
    r.back()->SetBounds(0, 300 * i, 400, kMusicRowHeight);
  }
  TMusicListViewItem* elsewhere = Row(Group());
  const struct {
    WORD Key;
    TShiftState Shift;
    int Offset;
    int Active;  // index in r, -1: unchanged from the previous case
    bool Handled;
  } cases[] = {
      {VK_NEXT, 0, 200, -1, true},     {VK_NEXT, 0, 400, -1, true},     {VK_END, 0, 800, -1, true},
      {VK_NEXT, 0, 800, -1, true},     {VK_HOME, 0, 0, -1, true},       {VK_PRIOR, 0, 0, -1, true},
      {VK_DOWN, 0, 0, -1, false},      {VK_DOWN, ssCtrl, 151, 1, true}, {VK_DOWN, ssCtrl, 451, 2, true},
      {VK_DOWN, ssCtrl, 451, 2, true}, {VK_UP, ssCtrl, 300, 1, true},   {'A', 0, 300, -1, false},
      {'B', ssCtrl, 300, -1, false},
  };
  List->SetActiveRow(r[0]);
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.Key) + " " + std::to_string(c.Shift));
    WORD key = c.Key;
    List->KeyDown(key, c.Shift);
    EXPECT_EQ(key == 0, c.Handled);
    EXPECT_EQ(List->ScrollOffset(), c.Offset);
    if (c.Active >= 0) {
      EXPECT_EQ(List->ActiveRow(), r[std::size_t(c.Active)]);
      EXPECT_EQ(List->SelectedCount(), 1);
      EXPECT_EQ(List->Selected(0), r[std::size_t(c.Active)]);
    }
  }
  WORD key = 'A';
  List->KeyDown(key, ssCtrl);
  EXPECT_EQ(key, 0);
  EXPECT_EQ(List->SelectedCount(), 3);  // the active row's group, not the row elsewhere
  EXPECT_FALSE(List->IsSelected(elsewhere));
}

TEST_F(TMusicListViewTest, AnimatedScrollsEaseAndEndExactly)
{
  List->SetBounds(0, 0, 400, 300);
  List->Panel()->SetBounds(0, 0, 400, 10000);
  std::uint64_t now = 1000;
  int reads = 0;
  std::vector<int> seen;  // the offset at each step
  List->SetClock([&] {
    ++reads;
    seen.push_back(List->ScrollOffset());
    return now += 16;
  });
  // One read to start, then one per 16 ms step until the duration has passed.
  const auto steps = [](int distance) { return 1 + (DisplayListScrollDuration(distance) + 15) / 16; };
  const auto run = [&](int offset) {
    seen.clear();
    reads = 0;
    List->ScrollTo(offset, true);
    return reads;
  };
  // Nothing to move: no animation at all.
  EXPECT_EQ(run(0), 0);
  const int down = run(3000);
  EXPECT_EQ(List->ScrollOffset(), 3000);
  const int up = run(0);
  EXPECT_EQ(List->ScrollOffset(), 0);
  EXPECT_EQ(down, steps(3000));
  EXPECT_EQ(up, down);
  // Upward the offsets fall steadily from the start, never below the target.
  EXPECT_TRUE(std::is_sorted(seen.rbegin(), seen.rend()));
  EXPECT_EQ(seen.front(), 3000);
  EXPECT_GE(seen.back(), 0);
  EXPECT_LT(seen.back(), 100);
  // Clamped before timing: asking past the end animates only to the end.
  const int past = run(20000);
  EXPECT_EQ(List->ScrollOffset(), 9700);
  EXPECT_EQ(past, steps(9700));
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
}

TEST_F(TMusicListViewTest, DropsAreTracedAndTakenOnlyWithAnOpenGap)
{
  TOxaBitmap* g = Group();
  TMusicListViewItem* head = Row(g, -1, K::mlkAlbum);  // heads the rows below
  TMusicListViewItem* first = Row(head);
  TMusicListViewItem* second = Row(head);
  TDrops drops;
  List->OnDrop = MakeMethod<&TDrops::Drop>(&drops);
  TOwnedObject<TMusicListViewDrag> drag(new TMusicListViewDrag(nullptr));
  drag->Caption = "Blue Train";
  drag->Records = {7, 9};
  const struct {
    const char* Name;
    TMusicListViewItem* Row;
    bool Before, After, Accepts;
    TMusicListViewItem* Target;  // null: no drop
    bool DropAfter;
  } cases[] = {
      {"before", second, true, false, true, second, false},
      {"after", second, false, true, true, second, true},
      {"no gap", second, false, false, true, nullptr, false},
      {"not accepting", second, true, false, false, nullptr, false},
      {"group row goes to its first row", head, false, true, true, first, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TTraceCapture trace;
    drops.Seen.clear();
    c.Row->SetAcceptsDrop(c.Accepts);
    first->SetAcceptsDrop(c.Accepts);
    c.Row->SetInsertGap(c.Before, c.After);
    c.Row->DragDrop(drag.get(), 5, 5);
    char line[200];
    std::snprintf(line, sizeof line,
                  "TMusicListViewItem(%llX).DragDrop: Caption:Blue Train Before:%d After: %d",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(c.Row)), int(c.Before),
                  int(c.After));
    EXPECT_NE(trace.Log().find(line), std::string::npos) << trace.Log();
    EXPECT_FALSE(c.Row->InsertBefore() || c.Row->InsertAfter());
    EXPECT_FALSE(List->DropPending());
    ASSERT_EQ(drops.Seen.size(), c.Target != nullptr ? 1u : 0u);
    if (c.Target != nullptr) {
      EXPECT_EQ(drops.Seen[0].Target, c.Target);
      EXPECT_EQ(drops.Seen[0].After, c.DropAfter);
      EXPECT_EQ(drops.Seen[0].Caption, "Blue Train");
      EXPECT_EQ(drops.Seen[0].Records, (std::vector<int>{7, 9}));
    }
  }
  // Anything but a dragged box is not a drop.
  TTraceCapture trace;
  second->SetInsertGap(true, false);
  second->DragDrop(first, 5, 5);
  EXPECT_EQ(trace.Log(), "");
}

TEST_F(TMusicListViewTest, DraggingOverARowOpensTheGapOnItsNearerSide)
{
  TMusicListViewItem* row = Row(Group());
  row->SetBounds(0, 0, 300, kMusicRowHeight);  // 51 high: rows 0..24 before, 25..50 after
  TOwnedObject<TMusicListViewDrag> drag(new TMusicListViewDrag(nullptr));
  const struct {
    int Y;
    bool Accepts;
    bool Before, After;
    std::int16_t Cursor;
  } cases[] = {
      {0, true, true, false, 4},  {24, true, true, false, 4},    {25, true, false, true, 4},
      {50, true, false, true, 4}, {10, false, false, false, 10}, {40, false, false, false, 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.Y) + (c.Accepts ? " accepting" : " refusing"));
    row->SetAcceptsDrop(c.Accepts);
    row->DragOver(drag.get(), 5, c.Y);
    EXPECT_EQ(row->InsertBefore(), c.Before);
    EXPECT_EQ(row->InsertAfter(), c.After);
    EXPECT_EQ(drag->Cursor(), c.Cursor);
    row->DragMove(drag.get(), 5, c.Y);
    EXPECT_EQ(row->InsertBefore(), c.Before);
    row->DragLeave(drag.get(), 5, c.Y);
    EXPECT_FALSE(row->InsertBefore() || row->InsertAfter());
  }
}

TEST_F(TMusicListViewTest, QueuedDropsWaitForTheQueueAndDieWithTheirTarget)
{
  TOwnedObject<TOxaImage> image(new TOxaImage(nullptr));
  image->SetBounds(0, 0, 300, 200);
  List->SetBounds(0, 0, 300, 200);
  image->SetBitmap(List.get());
  TDrops drops;
  List->OnDrop = MakeMethod<&TDrops::Drop>(&drops);
  TOwnedObject<TMusicListViewDrag> drag(new TMusicListViewDrag(nullptr));
  for (const bool reload : {false, true}) {
    SCOPED_TRACE(reload);
    drops.Seen.clear();
    TOxaBitmap* g = Group();
    TMusicListViewItem* row = Row(g);
    row->SetInsertGap(false, true);
    row->DragDrop(drag.get(), 1, 1);
    // Not delivered inside the mouse handling.
    EXPECT_TRUE(drops.Seen.empty());
    EXPECT_TRUE(List->DropPending());
    EXPECT_GE(image->QueuedCallbacks(), 1);  // the drop, and the row's repaint
    if (reload) {
      FreeObject(g);
      EXPECT_FALSE(List->DropPending());
    }
    image->RunCallbacks();
    EXPECT_EQ(drops.Seen.size(), reload ? 0u : 1u);
    EXPECT_EQ(image->QueuedCallbacks(), 0);
  }
  image->SetBitmap(nullptr);
}

TEST_F(TMusicListViewTest, ReloadingUnderHoverCaptureAndDragLeavesNothingBehind)
{
  TOwnedObject<TOxaImage> image(new TOxaImage(nullptr));
  image->SetBounds(0, 0, 300, 200);
  List->SetBounds(0, 0, 300, 200);
  image->SetBitmap(List.get());
  TOwnedObject<TMusicListViewDrag> drag(new TMusicListViewDrag(nullptr));
  const struct {
    const char* Name;
    std::function<void(TOxaImage&, TMusicListViewItem*)> Make;
  } cases[] = {
      {"hover", [](TOxaImage& i, TMusicListViewItem* row) { i.SetHovered(row); }},
      {"capture", [](TOxaImage& i, TMusicListViewItem* row) { i.SetCaptured(row); }},
      {"drag",
       [](TOxaImage& i, TMusicListViewItem* row) {
         i.BeginDrag(row, TMouseButton::mbLeft, {0, 0});
       }},
      {"pressed and selected",
       [](TOxaImage&, TMusicListViewItem* row) { row->MouseDown(TMouseButton::mbLeft, ssCtrl, 1, 1); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TOxaBitmap* g = Group();
    TMusicListViewItem* row = Row(g);
    row->SetBounds(0, 0, 300, kMusicRowHeight);
    List->SetActiveRow(row);
    image->SetHovered(nullptr);
    c.Make(*image, row);
    FreeObject(g);
    EXPECT_EQ(image->Hovered(), nullptr);
    EXPECT_EQ(image->Captured(), nullptr);
    EXPECT_EQ(image->Dragged(), nullptr);
    EXPECT_EQ(List->ItemCount(), 0);
    EXPECT_EQ(List->SelectedCount(), 0);
    EXPECT_EQ(List->ActiveRow(), nullptr);
    image->DoMouseMove(0, 10, 10);
    image->DoMouseUp(TMouseButton::mbLeft, 0, 10, 10);
    image->RunCallbacks();
  }
  image->SetBitmap(nullptr);
}

TEST_F(TMusicListViewTest, ARowScrolledFromUnderThePointerLosesIt)
{
  TOwnedObject<TOxaImage> image(new TOxaImage(nullptr));
  image->SetBounds(0, 0, 300, 200);
  List->SetBounds(0, 0, 300, 200);
  List->Panel()->SetBounds(0, 0, 300, 1000);
  image->SetBitmap(List.get());
  auto* g = new TOxaBitmap(&List->Panel()->Objects());
  g->SetBounds(0, 0, 300, 1000);
  g->SetParent(List->Panel());
  TMusicListViewItem* row = Row(g);
  row->SetBounds(0, 0, 300, kMusicRowHeight);
  // The pointer over the row's last line.
  const POINT at = List->PointToScreen({10, kMusicRowHeight - 1});
  ASSERT_TRUE(SetCursorPos(at.x, at.y));
  const struct {
    int Offset;
    bool Hovered;
  } cases[] = {{0, true}, {1, false}};  // the last line stays, one line further leaves
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Offset);
    List->ScrollTo(0, false);
    image->SetHovered(row);
    List->ScrollTo(c.Offset, false);
    EXPECT_EQ(image->Hovered() == row, c.Hovered);
  }
  image->SetBitmap(nullptr);
}

TEST(MusicListScrollBar, ThumbFollowsTheViewsShareAndOffset)
{
  const struct {
    int Track, View, Content, Offset, Min;
    int Top, Length;
  } cases[] = {
      {100, 200, 200, 0, 16, 0, 100},       // everything shown: the whole track
      {100, 200, 199, 0, 16, 0, 100},       // content shorter than the view
      {100, 0, 1000, 0, 16, 0, 100},        // no view
      {100, 200, 201, 0, 16, 0, 99},        // one pixel to scroll
      {100, 200, 201, 1, 16, 1, 99},        //   scrolled by it
      {100, 200, 1000, 0, 16, 0, 20},       // first offset
      {100, 200, 1000, 400, 16, 40, 20},    // halfway
      {100, 200, 1000, 800, 16, 80, 20},    // last offset
      {100, 200, 1000, 801, 16, 80, 20},    // past the last: clamped
      {100, 200, 1000, -1, 16, 0, 20},      // before the first: clamped
      {100, 200, 100000, 0, 16, 0, 16},     // long content: the minimum length
      {10, 200, 100000, 99800, 16, 0, 10},  // a track shorter than the minimum
      {-5, 200, 1000, 0, 16, 0, 0},         // no track at all
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.Track) + " " + std::to_string(c.Content) + " " + std::to_string(c.Offset));
    const TScrollThumb thumb = ScrollBarThumb(c.Track, c.View, c.Content, c.Offset, c.Min);
    EXPECT_EQ(thumb.Top, c.Top);
    EXPECT_EQ(thumb.Length, c.Length);
  }
}

TEST_F(TMusicListViewTest, TheScrollBarMovesWithThePanel)
{
  TOxaBitmaps store(nullptr);
  store.ReadData(*OxaSkinStore("Icons"));
  List->SetBitmaps(&store);
  List->SetBounds(0, 0, 400, 300);
  List->SetHeaderHeight(40);
  List->SetFooterHeight(28);  // view 232, track 200
  List->Panel()->SetBounds(0, 0, 400, 2320);
  List->ScrollTo(0, false);
  TMusicListViewScrollBar* bar = List->ScrollBar();
  EXPECT_EQ(bar->BoundsRect().left, 384);
  EXPECT_EQ(bar->Top(), 40);
  EXPECT_EQ(bar->Height(), 232);
  const struct {
    int Offset, ThumbTop;
  } cases[] = {{0, 0}, {1044, 90}, {2088, 180}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Offset);
    List->ScrollTo(c.Offset, false);
    EXPECT_EQ(bar->Thumb().Top, c.ThumbTop);
    EXPECT_EQ(bar->Thumb().Length, 20);
    const int y = TMusicListViewScrollBar::ArrowHeight + c.ThumbTop;
    EXPECT_EQ(bar->GetPixel(8, y + 10), 0x464646u);  // inside the thumb
    EXPECT_EQ(bar->GetPixel(8, y + 22), 0x000000u);  // just below it
  }
  List->SetBitmaps(nullptr);
}

TEST_F(TMusicListViewTest, TheDragBoxIsBuiltFromItsThreeImages)
{
  TOxaBitmaps store(nullptr);
  store.ReadData(*OxaSkinStore("Icons"));
  TOwnedObject<TMusicListViewDrag> box(new TMusicListViewDrag(nullptr));
  box->SetBitmaps(&store);
  const struct {
    int Asked, Width;
  } cases[] = {{200, 200}, {17, 17}, {16, 16}, {15, 16}, {0, 16}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Asked);
    box->Compose(c.Asked);
    EXPECT_EQ(box->Width(), c.Width);
    EXPECT_EQ(box->Height(), 54);
    EXPECT_EQ(box->ImageWidth(), c.Width);
    // The body colour in the middle, the rounded ends' corners black.
    EXPECT_EQ(box->GetPixel(c.Width / 2, 27), store.Find("MovingBoxBodyN")->GetPixel(0, 27));
    EXPECT_EQ(box->GetPixel(0, 0), 0x000000u);
    EXPECT_EQ(box->GetPixel(c.Width - 1, 0), 0x000000u);
  }
  box->SetBitmaps(nullptr);
}

TEST_F(TMusicListViewTest, SelectionChangedOnceWhenTheOutermostBatchEnds)
{
  TOxaBitmap* g = Group();
  TMusicListViewItem* a = Row(g);
  TMusicListViewItem* b = Row(g);
  int raised = 0;
  TCounter counter{&raised};
  List->OnSelectionChanged = MakeMethod<&TCounter::Changed>(&counter);

  List->Select(a);
  EXPECT_EQ(raised, 1);
  List->BeginSelection();
  List->BeginSelection();
  List->Select(b);
  List->Deselect(a);
  List->EndSelection();
  EXPECT_EQ(raised, 1);
  List->EndSelection();
  EXPECT_EQ(raised, 2);
  // Nothing changed: nothing raised.
  List->Select(b);
  List->Deselect(a);
  List->SelectGroup();  // a joins b: one more
  EXPECT_EQ(raised, 3);
  List->BeginSelection();
  List->EndSelection();
  List->EndSelection();  // unbalanced: ignored
  EXPECT_EQ(raised, 3);
}

TEST_F(TMusicListViewTest, FreeingRowsLeavesTheListConsistent)
{
  TOxaBitmap* g1 = Group();
  TOxaBitmap* g2 = Group();
  TMusicListViewItem* keep = Row(g1);
  TMusicListViewItem* a = Row(g2);
  TMusicListViewItem* b = Row(g2);
  List->Select(a);
  List->Select(b);
  List->SetActiveRow(a);
  FreeObject(g2);  // a reload of the second group
  EXPECT_EQ(List->ItemCount(), 1);
  EXPECT_EQ(List->Items(0), keep);
  EXPECT_EQ(List->SelectedCount(), 0);
  EXPECT_EQ(List->ActiveRow(), nullptr);
  List->SelectGroup();  // must not touch the freed rows
  EXPECT_EQ(List->SelectedCount(), 0);
}

TEST_F(TMusicListViewTest, RowsOutlivingTheirListAreSafe)
{
  TOwnedObject<TOxaBitmap> elsewhere(new TOxaBitmap(nullptr));
  auto* row = new TMusicListViewItem(&elsewhere->Objects(), List.get(), K::mlkAlbum);
  row->SetBounds(0, 0, 300, kMusicRowHeight);
  List->Select(row);
  List.reset();
  EXPECT_EQ(row->List(), nullptr);
  row->SetState(kRowSelected | kRowActive);  // recomposes without the list
  elsewhere.reset();
}

TEST_F(TMusicListViewTest, ActiveRowMovesTheActiveBit)
{
  TOxaBitmap* g = Group();
  TMusicListViewItem* a = Row(g);
  TMusicListViewItem* b = Row(g);
  List->SetActiveRow(a);
  EXPECT_EQ(a->State() & kRowActive, kRowActive);
  List->SetActiveRow(b);
  EXPECT_EQ(a->State() & kRowActive, 0);
  EXPECT_EQ(b->State() & kRowActive, kRowActive);
  List->SetActiveRow(nullptr);
  EXPECT_EQ(b->State() & kRowActive, 0);
}

TEST_F(TMusicListViewTest, GroupRowsShareActivityAndMarks)
{
  TOxaBitmap* g = Group();
  TMusicListViewItem* head1 = Row(g, -1, K::mlkAlbum);
  TMusicListViewItem* a = Row(head1);
  TMusicListViewItem* b = Row(head1);
  TMusicListViewItem* head2 = Row(g, -1, K::mlkAlbum);
  TMusicListViewItem* c = Row(head2);
  const auto bits = [](const std::vector<TMusicListViewItem*>& rows, int bit) {
    std::vector<bool> result;
    for (auto* r : rows)
      result.push_back((r->State() & bit) != 0);
    return result;
  };
  const std::vector<TMusicListViewItem*> all = {head1, a, b, head2, c};
  List->SetActiveRow(a);
  EXPECT_EQ(bits(all, kRowActive), (std::vector<bool>{true, true, false, false, false}));
  List->SetActiveRow(c);
  EXPECT_EQ(bits(all, kRowActive), (std::vector<bool>{false, false, false, true, true}));
  List->SetActiveRow(head1);
  EXPECT_EQ(bits(all, kRowActive), (std::vector<bool>{true, false, false, false, false}));

  List->SetMarked(head1, true);
  EXPECT_EQ(bits(all, kRowMarked), (std::vector<bool>{true, true, true, false, false}));
  List->SetMarked(c, true);
  EXPECT_EQ(bits(all, kRowMarked), (std::vector<bool>{true, true, true, false, true}));
  List->SetMarked(head1, false);
  EXPECT_EQ(bits(all, kRowMarked), (std::vector<bool>{false, false, false, false, true}));

  // Freeing a group with its active row inside: the list forgets it before the rows go.
  List->SetActiveRow(a);
  FreeObject(head1);
  EXPECT_EQ(List->ActiveRow(), nullptr);
  List->SetActiveRow(c);
  EXPECT_EQ(bits({head2, c}, kRowActive), (std::vector<bool>{true, true}));
  EXPECT_EQ(List->ItemCount(), 2);
}

TEST_F(TMusicListViewTest, RecordsOfSelectedAndMarkedRows)
{
  TOxaBitmap* g = Group();
  std::vector<TMusicListViewItem*> r;
  for (int i = 0; i < 4; ++i) {
    r.push_back(Row(g));
    TDbId id;
    id.FileId = 100 + i;
    r.back()->SetPayload(id);
  }
  const auto files = [](const TDbIdList& list) {
    std::vector<int> result;
    for (const TDbId& id : list.Items())
      result.push_back(id.FileId);
    return result;
  };
  EXPECT_TRUE(files(List->SelectedRecords()).empty());
  List->Select(r[2]);
  List->Select(r[0]);
  List->SetMarked(r[3], true);
  List->SetMarked(r[1], true);
  EXPECT_EQ(files(List->SelectedRecords()), (std::vector<int>{102, 100}));
  EXPECT_EQ(files(List->MarkedRecords()), (std::vector<int>{101, 103}));
}

TEST_F(TMusicListViewTest, TheSkinGivesEveryImageWithoutATrace)
{
  TTraceCapture trace;
  TOxaBitmaps store(nullptr);
  store.ReadData(*OxaSkinStore("Icons"));
  List->SetBitmaps(&store);
  EXPECT_EQ(trace.Log(), "");
  for (int k = 0; k < kMusicListViewItemKindCount; ++k)
    for (int state = 0; state < kRowStateCount; ++state)
      EXPECT_NE(List->Icon(static_cast<K>(k), state), nullptr) << k << " " << state;
  for (auto code : kMusicListFlapCodes)
    EXPECT_NE(List->Flap(code), nullptr) << code;
  const struct {
    int Set, Step;
    bool Found;
  } frames[] = {{0, 1, true}, {3, 10, true}, {-1, 1, false}, {4, 1, false}, {0, 0, false}, {0, 11, false}};
  for (const auto& f : frames)
    EXPECT_EQ(List->DragInsert(f.Set, f.Step) != nullptr, f.Found) << f.Set << " " << f.Step;
  List->SetBitmaps(nullptr);
}

TEST_F(TMusicListViewTest, MissingAndMisfitImagesAreTracedAndLeftOut)
{
  const struct {
    const char* Skip;
    const char* Misfit;
    const char* Line;
  } cases[] = {
      {"ALB-221", "", "TMusicListView.ChangeBitmaps: Icon \"ALB-221\" does not exist"},
      {"", "TRK-2X1", "TMusicListView.ChangeBitmaps: Icon \"TRK-2X1\" invalid size"},
      {"FLAP-12", "", "TMusicListView.ChangeBimaps: Icon \"FLAP-12\" does not exist"},
      {"", "FLAP-12", "TMusicListView.ChangeBitmaps: Icon \"FLAP-12\" invalid size"},
      {"DRAGINSERTB4", "", "TMusicListView.ChangeBitmaps: Icon \"DragInsertB4\" does not exist"},
      {"", "DRAGINSERTB4", "TMusicListView.ChangeBitmaps: Icon \"DragInsertB4\" invalid size"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Line);
    TTraceCapture trace;
    const auto store = SolidStore(c.Skip, c.Misfit);
    List->SetBitmaps(store.get());
    const std::string log = trace.Log();
    EXPECT_NE(log.find(c.Line), std::string::npos) << log;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
    EXPECT_EQ(List->Icon(K::mlkAlbum, 0) == nullptr, std::string(c.Skip) == "ALB-221");
    EXPECT_EQ(List->Icon(K::mlkTrack, 0) == nullptr, std::string(c.Misfit) == "TRK-2X1");
    EXPECT_EQ(List->Flap("12") == nullptr,
              std::string(c.Skip) == "FLAP-12" || std::string(c.Misfit) == "FLAP-12");
    EXPECT_EQ(List->DragInsert(1, 4) == nullptr,
              std::string(c.Skip) == "DRAGINSERTB4" || std::string(c.Misfit) == "DRAGINSERTB4");
    List->SetBitmaps(nullptr);
  }
}

TEST_F(TMusicListViewTest, TablesFollowTheStoreWhetherSetInheritedOrFreed)
{
  TTraceCapture trace;
  TOwnedObject<TOxaBitmaps> store(new TOxaBitmaps(nullptr));
  store->ReadData(*OxaSkinStore("Icons"));
  TOxaBitmap* g = Group();
  TMusicListViewItem* row = Row(g, 0, K::mlkAlbum);
  row->SetBounds(0, 0, 300, kMusicRowHeight);
  // Inherited from a parent node rather than set on the list.
  TOwnedObject<TOxaBitmap> parent(new TOxaBitmap(nullptr));
  List->SetParent(parent.get());
  parent->SetBitmaps(store.get());
  EXPECT_EQ(List->Bitmaps(), store.get());
  EXPECT_NE(List->Icon(K::mlkAlbum, 0), nullptr);
  // A store growing or shrinking is looked at again.
  TOwnedObject<TOxaBitmap> spare(new TOxaBitmap(nullptr));
  spare->ChangeImageSize(47, 47, 6);
  store->Add("ALB-999", *spare);
  EXPECT_NE(List->Icon(K::mlkAlbum, 0), nullptr);
  // Freed under the list: the tables empty before anything draws from them.
  store.reset();
  EXPECT_EQ(List->Bitmaps(), nullptr);
  EXPECT_EQ(List->Icon(K::mlkAlbum, 0), nullptr);
  EXPECT_EQ(List->Flap("12"), nullptr);
  EXPECT_EQ(List->DragInsert(0, 1), nullptr);
  row->SetState(kRowSelected);  // recomposes without images
  // Losing the store is no missing image.
  EXPECT_EQ(trace.Log().find("ChangeBitmaps"), std::string::npos) << trace.Log();
  List->SetParent(nullptr);
}

// A list filled while hidden (the browser at start-up) looks nothing up and draws no row until
// it shows; then it looks exactly as if it had been drawn all along.
TEST_F(TMusicListViewTest, AHiddenListDrawsWhenItFirstShows)
{
  const auto solid = SolidStore("ALB-212");
  TOwnedObject<TOxaBitmaps> store(new TOxaBitmaps(nullptr));
  store->ReadData(solid->Data());  // made on first lookup: the lookups can be counted
  const int pending = store->PendingCount();
  TTraceCapture trace;
  List->SetVisible(false);
  List->SetBounds(0, 0, 400, 600);
  List->SetBitmaps(store.get());
  TOxaBitmap* g = Group();
  TMusicListViewItem* row = Row(g, 0, K::mlkAlbum);
  row->SetBounds(0, 0, 400, kMusicRowHeight);
  List->Select(row);
  EXPECT_FALSE(row->Composed());
  EXPECT_EQ(store->PendingCount(), pending);
  EXPECT_EQ(trace.Log(), "");

  // Shown (or read) the row draws, and the tables say then what the store lacks.
  List->SetVisible(true);
  const TOxaColor frame = row->GetPixel(0, 0);
  EXPECT_TRUE(row->Composed());
  EXPECT_LT(store->PendingCount(), pending);
  EXPECT_NE(trace.Log().find("Icon \"ALB-212\" does not exist"), std::string::npos) << trace.Log();
  EXPECT_EQ(row->GetPixel(kMusicRowMargin + 10, 10), frame) << "ALB-212 is missing";
  EXPECT_EQ(row->GetPixel(kMusicRowMargin + kMusicIconSize + 10, 10), store->Find("FLAP-22")->GetPixel(1, 1));

  // A hidden list asked for an image builds its tables then.
  List->SetVisible(false);
  store->Add("ALB-212", *store->Find("ALB-225"));
  EXPECT_EQ(List->Icon(K::mlkAlbum, kRowSelected | kRowAcceptsClicks), store->Find("ALB-212"));
  List->SetBitmaps(nullptr);
}

TEST_F(TMusicListViewTest, RowsDrawTheIconAndFlapsOfTheirState)
{
  const auto store = SolidStore("ALB-212");
  List->SetBitmaps(store.get());
  TOxaBitmap* g = Group();
  TMusicListViewItem* row = Row(g, 0, K::mlkAlbum);
  row->SetBounds(0, 0, 400, kMusicRowHeight);
  const auto colorOf = [&](const std::string& name) { return store->Find(name)->GetPixel(1, 1); };
  const int iconX = kMusicRowMargin + 10, innerX = kMusicRowMargin + kMusicIconSize + 10, outerX = 400 - 10;

  // A new row accepts clicks, state 1 "1222535": icon ALB-225, inner flap 22, outer flap 12.
  EXPECT_EQ(row->State(), kRowAcceptsClicks);
  EXPECT_EQ(row->GetPixel(iconX, 10), colorOf("ALB-225"));
  EXPECT_EQ(row->GetPixel(innerX, 10), colorOf("FLAP-22"));
  EXPECT_EQ(row->GetPixel(outerX, 10), colorOf("FLAP-12"));
  // Active, state 5 "14445W5": icon ALB-445, inner flap 44, outer flap 14.
  List->SetActiveRow(row);
  EXPECT_EQ(row->GetPixel(iconX, 10), colorOf("ALB-445"));
  EXPECT_EQ(row->GetPixel(innerX, 10), colorOf("FLAP-44"));
  EXPECT_EQ(row->GetPixel(outerX, 10), colorOf("FLAP-14"));
  // Pressed on an active row changes nothing; the drop target flips back to the plain look.
  row->SetPressed(true);
  EXPECT_EQ(row->GetPixel(iconX, 10), colorOf("ALB-445"));
  row->SetDropTarget(true);
  EXPECT_EQ(row->GetPixel(iconX, 10), colorOf("ALB-225"));
  row->SetDropTarget(false);
  row->SetPressed(false);
  List->SetActiveRow(nullptr);
  // Selected, state 3 "1221235", wants ALB-212, which this store lacks: the frame colour stays.
  List->Select(row);
  const TOxaColor frame = row->GetPixel(0, 0);
  EXPECT_EQ(row->GetPixel(iconX, 10), frame);
  EXPECT_EQ(row->GetPixel(innerX, 10), colorOf("FLAP-22"));
  List->SetBitmaps(nullptr);
}

// Rows draw from their list's tables: however many there are, they put no observers on the
// list's store or font, and an image replaced in the store still reaches every row.
TEST_F(TMusicListViewTest, RowsPutNoObserversOnTheListsSets)
{
  const auto store = SolidStore();
  TOwnedObject<TOxaFont> font(new TOxaFont(nullptr));
  List->SetBitmaps(store.get());
  List->SetFont(font.get());
  TOxaBitmap* g = Group();  // a plain node: it follows the list's sets
  const int storeObservers = store->Objects().Count();
  const int fontObservers = font->Objects().Count();
  std::vector<TMusicListViewItem*> rows;
  for (int i = 0; i < 3; ++i) {
    rows.push_back(Row(g, i, K::mlkAlbum));
    rows.back()->SetBounds(0, i * kMusicRowHeight, 400, kMusicRowHeight);
  }
  EXPECT_EQ(store->Objects().Count(), storeObservers);
  EXPECT_EQ(font->Objects().Count(), fontObservers);
  EXPECT_EQ(rows[0]->Bitmaps(), nullptr);

  // State 1 draws ALB-225: a replacement in the store is drawn by every row.
  TOwnedObject<TOxaBitmap> image(new TOxaBitmap(nullptr));
  image->ChangeImageSize(kMusicIconSize, kMusicIconSize, 6);
  image->FillRect({0, 0, kMusicIconSize, kMusicIconSize}, 0x0000FF);
  const TOxaColor before = rows[0]->GetPixel(kMusicRowMargin + 10, 10);
  store->Add("ALB-225", *image);
  const TOxaColor after = store->Find("ALB-225")->GetPixel(1, 1);
  ASSERT_NE(before, after);
  for (TMusicListViewItem* row : rows)
    EXPECT_EQ(row->GetPixel(kMusicRowMargin + 10, 10), after);
  List->SetBitmaps(nullptr);
  List->SetFont(nullptr);
}

// The record a row stands for: empty until set, then the last one set.
TEST_F(TMusicListViewTest, PayloadIsEmptyUntilSetThenTheLastSet)
{
  TMusicListViewItem* row = Row(Group());
  EXPECT_TRUE(row->Payload().Empty());
  for (const int file : {7, 9}) {
    TDbId id;
    id.ViewId = ViewFolders;
    id.GroupId = 3;
    id.FileId = file;
    id.Caption = "Track " + std::to_string(file);
    row->SetPayload(id);
    EXPECT_EQ(row->Payload().FileId, file);
    EXPECT_EQ(row->Payload().Caption, id.Caption);
  }
  row->SetPayload({});
  EXPECT_TRUE(row->Payload().Empty());
}

// A row sized before it is placed composes nothing until it is drawn, read or comes into reach,
// and then looks as a row placed first does.
TEST_F(TMusicListViewTest, RowsSizedBeforeTheyArePlacedComposeWhenNeeded)
{
  const auto store = SolidStore();
  List->SetBitmaps(store.get());
  TOxaBitmap* g = Group();
  TMusicListViewItem* placed = Row(g, 0, K::mlkAlbum);
  placed->SetCaption("Same caption");
  placed->SetBounds(0, 0, 400, kMusicRowHeight);
  EXPECT_TRUE(placed->Composed());
  auto* early = new TMusicListViewItem(&g->Objects(), List.get(), K::mlkAlbum);
  early->SetRecordIndex(1);
  early->SetCaption("Same caption");
  early->SetBounds(0, kMusicRowHeight, 400, kMusicRowHeight);
  EXPECT_FALSE(early->Composed());
  early->SetParent(g);
  for (const POINT p : {POINT{kMusicRowMargin + 10, 10}, POINT{kMusicCaptionLeft + 12, 24}, POINT{390, 10}})
    EXPECT_EQ(early->GetPixel(p.x, p.y), placed->GetPixel(p.x, p.y)) << p.x;
  EXPECT_TRUE(early->Composed());
  List->SetBitmaps(nullptr);
}

}  // namespace
