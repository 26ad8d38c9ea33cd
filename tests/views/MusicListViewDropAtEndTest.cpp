// Rows dragged over a list's own area, below its rows or on an empty list.

#include <gtest/gtest.h>

#include <vector>

#include "graphics/OxaImage.h"
#include "tests/views/MusicListViewFixture.h"
#include "views/list/DisplayListView.h"
#include "views/list/MusicListRowMetrics.h"
#include "views/list/MusicListViewDrag.h"
#include "views/list/MusicListViewItem.h"

namespace {

using namespace musiclisttest;

struct TSeenDrops {
  std::vector<TDisplayListViewDrop> Seen;
  void Drop(TDisplayListView*, const TDisplayListViewDrop& drop) { Seen.push_back(drop); }
};

class TDropAtEndTest : public TMusicListViewTest {
 protected:
  void SetUp() override
  {
    List->SetBounds(0, 0, 300, 400);
    List->OnDrop = MakeMethod<&TSeenDrops::Drop>(&Drops);
    Drag->Caption = "Blue Train";
    Drag->Records = {3};
  }
  // Over the list itself, well inside (no auto-scroll band), then let go there.
  void DropOnList()
  {
    List->DragOver(Drag.get(), 150, 200);
    List->DragMove(Drag.get(), 150, 210);
    List->DragDrop(Drag.get(), 150, 210);
  }

  TSeenDrops Drops;
  TOwnedObject<TMusicListViewDrag> Drag{new TMusicListViewDrag(nullptr)};
};

TEST_F(TDropAtEndTest, AnEmptyListTakesTheDropOnlyWhenItSaysSo)
{
  const struct {
    const char* Name;
    bool Asked;  // an answer is set at all
    bool Answer;
    bool NoInput;
    bool Taken;
  } cases[] = {
      {"no answer", false, false, false, false},
      {"refused", true, false, false, false},
      {"taken", true, true, false, true},
      {"taken but no input", true, true, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Drops.Seen.clear();
    List->TakesDropAtEnd = c.Asked ? std::function<bool()>([&c] { return c.Answer; }) : nullptr;
    List->SetNoInput(c.NoInput);
    List->DragOver(Drag.get(), 150, 200);
    EXPECT_EQ(List->DropAtEnd(), c.Taken);
    EXPECT_EQ(Drag->Cursor(), c.Taken ? TDisplayListView::CursorDrag : TDisplayListView::CursorNoCanDo);
    List->DragDrop(Drag.get(), 150, 200);
    EXPECT_FALSE(List->DropAtEnd());
    ASSERT_EQ(Drops.Seen.size(), c.Taken ? 1U : 0U);
    if (c.Taken) {
      EXPECT_EQ(Drops.Seen[0].Target, nullptr);
      EXPECT_TRUE(Drops.Seen[0].After);
      EXPECT_EQ(Drops.Seen[0].Caption, "Blue Train");
      EXPECT_EQ(Drops.Seen[0].Records, std::vector<int>{3});
    }
  }
}

TEST_F(TDropAtEndTest, BelowTheRowsTheGapOfTheLastRowClosesAndTheListTakesTheDrop)
{
  TMusicListViewItem* row = Row(Group());
  row->SetBounds(0, 0, 300, kMusicRowHeight);
  row->DragOver(Drag.get(), 5, 40);
  ASSERT_TRUE(row->InsertAfter());
  List->TakesDropAtEnd = [] { return true; };
  DropOnList();
  EXPECT_FALSE(row->InsertBefore() || row->InsertAfter());
  ASSERT_EQ(Drops.Seen.size(), 1U);
  EXPECT_EQ(Drops.Seen[0].Target, nullptr);
}

TEST_F(TDropAtEndTest, AListThatTakesNoDropBelowItsRowsStillOpensTheGapAtItsFirstRow)
{
  TMusicListViewItem* row = Row(Group());
  row->SetBounds(0, 0, 300, kMusicRowHeight);
  List->TakesDropAtEnd = [] { return false; };
  List->DragOver(Drag.get(), 150, 200);
  EXPECT_TRUE(row->InsertBefore());
  EXPECT_FALSE(List->DropAtEnd());
  List->DragDrop(Drag.get(), 150, 200);
  ASSERT_EQ(Drops.Seen.size(), 1U);
  EXPECT_EQ(Drops.Seen[0].Target, row);
  EXPECT_FALSE(Drops.Seen[0].After);
}

TEST_F(TDropAtEndTest, TheAnswerIsAskedAgainAtTheDropAndLeavingForgetsIt)
{
  bool takes = true;
  List->TakesDropAtEnd = [&takes] { return takes; };
  List->DragOver(Drag.get(), 150, 200);
  ASSERT_TRUE(List->DropAtEnd());
  // The list stopped taking drops (another view was chosen) while the box was held still.
  takes = false;
  List->DragDrop(Drag.get(), 150, 200);
  EXPECT_TRUE(Drops.Seen.empty());

  takes = true;
  List->DragOver(Drag.get(), 150, 200);
  List->DragLeave(Drag.get(), 150, 200);
  EXPECT_FALSE(List->DropAtEnd());
  List->DragDrop(Drag.get(), 150, 200);  // a drop that never passed over the list again
  EXPECT_TRUE(Drops.Seen.empty());
}

TEST_F(TDropAtEndTest, WithAHostControlTheDropWaitsForTheQueue)
{
  TOwnedObject<TOxaImage> image(new TOxaImage(nullptr));
  image->SetBounds(0, 0, 300, 400);
  image->SetBitmap(List.get());
  List->TakesDropAtEnd = [] { return true; };
  DropOnList();
  EXPECT_TRUE(Drops.Seen.empty());
  EXPECT_TRUE(List->DropPending());
  image->RunCallbacks();
  ASSERT_EQ(Drops.Seen.size(), 1U);
  EXPECT_EQ(Drops.Seen[0].Target, nullptr);
  image->SetBitmap(nullptr);
}

}  // namespace
