#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "graphics/OxaBitmap.h"
#include "graphics/OxaImage.h"
#include "library/DbId.h"
#include "rtl/Object.h"
#include "views/list/DisplayListViewEdit.h"
#include "views/list/DisplayListViewItem.h"

class TDisplayListView;
class TMusicListViewDrag;
class TOxaImage;

// A drop waiting to be delivered: it runs after the mouse handling that caused it has returned.
struct TDisplayListViewDrop {
  std::string Caption;
  std::vector<int> Records;
  TDisplayListViewItem* Target = nullptr;
  bool After = false;
  // The list the rows came from and their records.
  TDisplayListView* Source = nullptr;
  TDbIdList Payloads;
};
using TDisplayListViewDropEvent = TMethod<void(TDisplayListView* sender, const TDisplayListViewDrop& drop)>;

using TDisplayListViewItemEvent = TMethod<void(TDisplayListView* sender, class TDisplayListViewItem* row)>;
using TDisplayListViewItemClickEvent =
    TMethod<void(TDisplayListView* sender, class TDisplayListViewItem* row, TShiftState shift, int x, int y)>;
// A yes-or-no question about a row (may it be dragged, take drops, be edited).
using TDisplayListViewItemQuery =
    TMethod<bool(TDisplayListView* sender, const class TDisplayListViewItem* row)>;
// The caption of a record, as its owner names it.
using TDisplayListViewCaptionEvent = TMethod<std::string(TDisplayListView* sender, const TDbId& record)>;

// The tall node holding the rows; the list moves it up and down to scroll.
class TDisplayListViewPanel : public TOxaBitmap {
 public:
  using TOxaBitmap::TOxaBitmap;
};

// How long an animated scroll over distance pixels lasts: just over 300 ms for short moves,
// approaching 2500 ms for long ones, the same in both directions.
int DisplayListScrollDuration(int distance) noexcept;

// The auto-scroll of a drag: y is the pointer in the view's coordinates (0 .. viewHeight - 1
// inside). Within 20 pixels above or below the view the panel moves toward the pointer by
// elapsed ÷ 5 pixels (200 a second); anywhere else it stays.
constexpr int kDragScrollBand = 20;
int DisplayListDragScrollDelta(int y, int viewHeight, int elapsedMs) noexcept;

class TDisplayListView : public TOxaDarkenBitmap {
 public:
  explicit TDisplayListView(TOxaObjects* parentList = nullptr);
  ~TDisplayListView() override;
  void BeforeDestruction() override;

  int ItemCount() const noexcept { return int(FItems.size()); }
  // Raises "%s.Items[%d]: Index out of bounds".
  TDisplayListViewItem* Items(int index) const;
  int IndexOfItem(const TDisplayListViewItem* row) const noexcept;

  // --- Selection ---
  // Selecting a row with a record first drops the selected rows of other groups; a row
  // without one clears the whole selection first.
  void Select(TDisplayListViewItem* row);
  void Deselect(TDisplayListViewItem* row);
  void ClearSelection();
  // Every row of the group of the first selected row, or of the active row's group.
  void SelectGroup();
  bool IsSelected(const TDisplayListViewItem* row) const noexcept;
  // The records of the selected rows in the order of selection, and of the marked rows in
  // list order.
  TDbIdList SelectedRecords() const;
  TDbIdList MarkedRecords() const;
  int SelectedCount() const noexcept { return int(FSelected.size()); }
  // In the order of selection; null outside the range.
  TDisplayListViewItem* Selected(int index) const noexcept;
  // Batches selection changes: OnSelectionChanged is raised once, when the outermost ends.
  void BeginSelection() noexcept { ++FSelectionNesting; }
  void EndSelection();

  TDisplayListViewItem* ActiveRow() const noexcept { return FActive; }
  // Moves the active bit (null: no active row); the group rows above the row are active too.
  void SetActiveRow(TDisplayListViewItem* row);
  // Marks or unmarks a row together with the rows of the group it heads.
  void SetMarked(TDisplayListViewItem* row, bool marked);
  // The row heading row's group, or null when its parent is no row of this list.
  TDisplayListViewItem* GroupRowOf(const TDisplayListViewItem* row) const noexcept;

  // The list ignores the mouse on its rows while set.
  bool NoInput() const noexcept { return FNoInput; }
  void SetNoInput(bool value) { FNoInput = value; }

  // The mouse on a row: the press applies Shift and Ctrl selections, the release of a plain
  // click clears the selection and reports the click, a right release goes to OnItemRightClick.
  void RowMouseDown(TDisplayListViewItem* row, TMouseButton button, TShiftState shift, int x, int y);
  void RowMouseUp(TDisplayListViewItem* row, TMouseButton button, TShiftState shift, int x, int y);

  // --- Scrolling ---
  // The panel sits between the header and the footer strips; the offset is how far it is
  // scrolled up, from 0 to MaxScrollOffset.
  TDisplayListViewPanel* Panel() const noexcept { return FPanel; }
  int HeaderHeight() const noexcept { return FHeaderHeight; }
  int FooterHeight() const noexcept { return FFooterHeight; }
  void SetHeaderHeight(int value);
  void SetFooterHeight(int value);
  int ScrollOffset() const noexcept { return FScrollOffset; }
  int MaxScrollOffset() const noexcept;
  // Scrolls to the offset (clamped). Animated, the panel moves along the eased curve and the
  // list repaints after each step; the final offset is exact.
  void ScrollTo(int offset, bool animate);
  void ScrollBy(int delta, bool animate) { ScrollTo(FScrollOffset + delta, animate); }
  // Opens or closes a group (a node in the panel holding rows): its height runs from 0 to the
  // height of its rows (closing: back to 0) with the rows sliding out from under (back under)
  // its top edge, the nodes below it in its parent and the panel moving by as much, while the
  // panel scrolls to offset; every step repaints, the end is exact. The rows keep their places
  // inside the group. Animated over the longer of the two distances.
  void AnimateGroup(TOxaBitmap* group, bool open, int offset);
  // Scrolls the least distance that shows the whole row (its top when it is taller than the
  // view); nothing for a row outside the panel.
  void ScrollIntoView(const TDisplayListViewItem* row, bool animate);
  // Home, End, Page Up and Page Down scroll; Ctrl+Up and Ctrl+Down move the active row within
  // its group, selecting it; Ctrl+A selects the group. Handled keys become 0.
  void KeyDown(WORD& key, TShiftState shift) override;
  // The millisecond clock the animations run on (tests drive their own).
  void SetClock(std::function<std::uint64_t()> clock) { FClock = std::move(clock); }

  // --- Dragging rows ---
  // A press moved this far (either way) starts dragging.
  static constexpr int DragThreshold = 4;
  // Starts dragging the selected rows from row (the row alone when it is not selected): the box
  // with the row's caption follows the pointer over the host control until the button is
  // released. Needs a host control.
  void BeginRowDrag(TDisplayListViewItem* row);
  // The box while this list drags rows (null otherwise).
  TMusicListViewDrag* DragBox() const noexcept { return FDragging ? FDragBox : nullptr; }
  // The auto-scroll loop of a drag, run while the pointer stays in the band beside the view
  // (DisplayListDragScrollDelta) and the button is held: the panel moves toward the pointer at
  // 200 pixels a second, repainting each step. Returns the pixels scrolled.
  int DragAutoScroll();
  // Where the pointer is (screen) and whether the left button is down; tests drive their own.
  void SetPointerSource(std::function<bool(POINT&)> position, std::function<bool()> held);
  // The row showing the insertion gap (null for none).
  TDisplayListViewItem* GapRow() const noexcept { return FGapRow; }
  // Over the list itself the gap opens at the first row when it takes drops.
  void DragOver(TOxaBitmap* source, int x, int y) override;
  void DragMove(TOxaBitmap* source, int x, int y) override;
  void DragLeave(TOxaBitmap* source, int x, int y) override;
  void DragDrop(TOxaBitmap* source, int x, int y) override;

  // --- Drops ---
  // A drop on a row: traced; taken when the row (a group row: its first row) accepts drops and
  // a gap is open, then delivered through the host control's queue (at once without one).
  void RowDragDrop(TDisplayListViewItem* row, const TMusicListViewDrag& drag);
  // The box over a row at y (row coordinates): gap and cursor.
  void RowDragOver(TDisplayListViewItem* row, TMusicListViewDrag& drag, int y);
  static constexpr std::int16_t CursorDrag = 4;
  static constexpr std::int16_t CursorNoCanDo = 10;
  bool DropPending() const noexcept { return FDropPending; }
  const TDisplayListViewDrop& PendingDrop() const noexcept { return FPendingDrop; }
  // Delivers the pending drop to OnDrop (what the queued callback does).
  void DeliverDrop();
  // The first row of the group a row heads, or null for a row heading none.
  TDisplayListViewItem* FirstRowOf(const TDisplayListViewItem* groupRow) const noexcept;

  // --- Editing in place ---
  TDisplayListViewItem* EditRow() const noexcept { return FEditRow; }
  // Ends the current edit (its text, proper-cased, becomes its row's caption) and edits row:
  // scrolled into view, the editor over its caption with CaptionOf(row) all selected and focused.
  // Null ends editing and frees the editor. Queued callbacks of the list are dropped first.
  void SetEditRow(TDisplayListViewItem* row);
  // Enter and the focus leaving commit as SetEditRow(nullptr) does; Escape keeps the caption.
  TDisplayListViewEdit* Editor() const noexcept { return FEditor.get(); }
  // After an edit's text became its row's caption.
  TDisplayListViewItemEvent OnEdited;

  // Forgets what the user was in the middle of, for a list about to change its place or be
  // hidden: a drag this list runs ends without a drop, an open insertion gap closes, an edit
  // ends keeping its text, pressed rows let go, the selection is cleared. A drop already made
  // is still delivered.
  void DropTransientState();

  TDisplayListViewDropEvent OnDrop;
  // The owner's answers; without a handler a row may be dragged and edited, and takes drops
  // as its own flag says. A drop needs both the flag and the answer.
  TDisplayListViewItemQuery OnMayDrag;
  TDisplayListViewItemQuery OnMayDrop;
  TDisplayListViewItemQuery OnMayEdit;
  // The dragged box's caption for a row with a record (the row's caption without a handler).
  TDisplayListViewCaptionEvent OnGetCaption;
  bool MayDrag(const TDisplayListViewItem* row);
  bool MayDrop(const TDisplayListViewItem* row);
  bool MayEdit(const TDisplayListViewItem* row);
  std::string CaptionOf(const TDisplayListViewItem* row);
  // A double click on a row that may be edited (F2 on the active row) starts editing it; the
  // release that follows reports no click.
  void RowDoubleClick(TDisplayListViewItem* row);
  // Asked while rows are dragged over the list itself (below its rows, or an empty list): true
  // takes the drop there, delivered to OnDrop with no target row. Unset or false: the gap opens
  // at the first row, as over a list that holds no place of its own for new rows.
  std::function<bool()> TakesDropAtEnd;
  // The box is over the list itself and the list takes the drop there.
  bool DropAtEnd() const noexcept { return FDropAtEnd; }
  TOxaNodeEvent OnSelectionChanged;
  TDisplayListViewItemClickEvent OnItemClick;
  TDisplayListViewItemClickEvent OnItemRightClick;

 private:
  friend class TDisplayListViewItem;
  void ItemCreated(TDisplayListViewItem* row);
  void ItemFreed(TDisplayListViewItem* row) noexcept;
  void DetachItems() noexcept;
  void SetSelectedBit(TDisplayListViewItem* row, bool selected);
  void SelectRange(TDisplayListViewItem* row);

  std::vector<TDisplayListViewItem*> FItems;
  std::vector<TDisplayListViewItem*> FSelected;
  TDisplayListViewItem* FActive = nullptr;
  int FSelectionNesting = 0;
  bool FSelectionDirty = false;
  bool FNoInput = false;

  void PlacePanel();
  void DropHoverScrolledAway();

 protected:
  // After every move of the panel (each animation step included).
  virtual void ScrollChanged() {}
  // After a row's gap opened (the music list animates it).
  virtual void GapOpened(TDisplayListViewItem*, const TMusicListViewDrag&) {}
  void SetControl(TOxaImage* control) override;
  std::uint64_t Now() const { return FClock(); }
  // Where the editor of row goes, in the list's coordinates: the whole row by default.
  virtual RECT EditBounds(const TDisplayListViewItem* row) const;
  // The row's top-left corner in the list's coordinates.
  POINT RowOrigin(const TDisplayListViewItem* row) const;

 private:
  void DropCallback(TOxaImage* sender, TOxaBitmap* node);
  void EditorDone(TDisplayListViewEdit* sender, bool commit);
  void EditCommitCallback(TOxaImage* sender, TOxaBitmap* node);
  void EditCancelCallback(TOxaImage* sender, TOxaBitmap* node);
  void CloseEditor() noexcept;
  void SetGap(TDisplayListViewItem* row, bool before, bool after, const TMusicListViewDrag* drag);
  void DragHookMove(TOxaImage* sender, TMouseButton button, TShiftState shift, int x, int y, bool& handled);
  void MoveDragBox(POINT client);
  void EndRowDrag() noexcept;
  // Queues a drop for OnDrop, as a drop on a row does.
  void QueueDrop(TDisplayListViewDrop drop);
  friend class TMusicListViewDrag;
  TMusicListViewDrag* FDragBox = nullptr;
  bool FDragging = false;
  bool FAutoScrolling = false;
  TOwnedObject<TOxaMouseHook> FDragHook;
  TOxaImage* FHookControl = nullptr;
  TDisplayListViewItem* FGapRow = nullptr;
  std::function<bool(POINT&)> FPointer;
  std::function<bool()> FButtonHeld;
  TDisplayListViewItem* FEditRow = nullptr;
  TOwnedObject<TDisplayListViewEdit> FEditor;
  bool FDropPending = false;
  bool FDropAtEnd = false;
  TDisplayListViewDrop FPendingDrop;
  TDisplayListViewPanel* FPanel;
  int FHeaderHeight = 0;
  int FFooterHeight = 0;
  int FScrollOffset = 0;
  std::function<std::uint64_t()> FClock;

 protected:
  void Resized() override;
};
