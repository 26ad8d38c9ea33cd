#pragma once
// The music list: a darkened list node holding rows of icons and captions, with the selection
// and the image tables its rows draw from. Rows register with their list when created and leave
// it when freed, so freeing rows under the list (a reload) never leaves stale pointers behind.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "graphics/OxaBitmap.h"
#include "graphics/OxaImage.h"
#include "library/CoverLoader.h"
#include "library/DbId.h"
#include "rtl/Object.h"
#include "views/DisplayListViewEdit.h"
#include "views/MusicListViewStates.h"

class TDisplayListView;
class TOxaImage;

// What is being dragged: the box that follows the pointer, with the caption it shows and the
// records of the dragged rows.
class TMusicListViewDrag : public TOxaBitmap {
 public:
  using TOxaBitmap::TOxaBitmap;
  static constexpr int BoxHeight = 54;

  std::string Caption;
  std::vector<int> Records;
  TDbIdList Payloads;
  // The list the rows were dragged from.
  TDisplayListView* Source = nullptr;

  // Sizes the box to width (at least its two ends) and draws it from the store's left end,
  // stretched body and right end; missing images leave their part blank. With a font, the
  // caption is drawn on the body, and the box is wide enough for it.
  void Compose(int width);
  void DragEnd() override;

  // Space either side of the caption.
  static constexpr int CaptionMargin = 16;
  // Where the pointer holds the box: at its left end, half way down.
  static constexpr POINT Grip{CaptionMargin / 2, BoxHeight / 2};
};

class TDisplayListViewItem;
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

// A row of a list. Its group is its parent node: selections never span two parents.
class TDisplayListViewItem : public TOxaBitmap {
 public:
  TDisplayListViewItem(TOxaObjects* parentList, TDisplayListView* list);
  ~TDisplayListViewItem() override;

  TDisplayListView* List() const noexcept { return FList; }
  TOxaBitmap* Group() const noexcept { return Parent(); }

  // The state byte (kRow... bits).
  int State() const noexcept { return FState; }
  void SetState(int value);
  bool Pressed() const noexcept { return FPressed; }
  void SetPressed(bool value);
  // The second highlight flag: the row is the target of a drop.
  bool DropTarget() const noexcept { return FDropTarget; }
  void SetDropTarget(bool value);
  // The number the appearance is looked up by.
  int DrawState() const noexcept { return MusicListViewDrawState(FState, FPressed, FDropTarget); }

  // The record the row stands for; -1 for a row without one (a group or a plain entry).
  int RecordIndex() const noexcept { return FRecordIndex; }
  void SetRecordIndex(int value) { FRecordIndex = value; }
  const std::string& Caption() const noexcept { return FCaption; }
  void SetCaption(std::string value);
  // The library record the row stands for (an empty id until one is set).
  const TDbId& Payload() const noexcept;
  void SetPayload(TDbId value);

  // Input flags: a row without input ignores the mouse; a row keeping the selection leaves it
  // alone on a plain click.
  bool NoInput() const noexcept { return FNoInput; }
  void SetNoInput(bool value) { FNoInput = value; }
  bool KeepSelection() const noexcept { return FKeepSelection; }
  void SetKeepSelection(bool value) { FKeepSelection = value; }
  // The press already changed the selection (a click with Shift or Ctrl).
  bool ModifierClick() const noexcept { return FModifierClick; }

  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  // Edits the row in place when the list allows it.
  void DblClick() override;
  void DragDrop(TOxaBitmap* source, int x, int y) override;
  // A dragged box over the row opens the gap before (upper half) or after (lower half) it.
  void DragOver(TOxaBitmap* source, int x, int y) override;
  void DragMove(TOxaBitmap* source, int x, int y) override;
  void DragLeave(TOxaBitmap* source, int x, int y) override;

  // The insertion gap beside the row, and whether the row takes drops at all.
  bool InsertBefore() const noexcept { return FInsertBefore; }
  bool InsertAfter() const noexcept { return FInsertAfter; }
  void SetInsertGap(bool before, bool after);
  bool AcceptsDrop() const noexcept { return FAcceptsDrop; }
  void SetAcceptsDrop(bool value) { FAcceptsDrop = value; }

  // A row paints itself alone only when the whole of it shows between the list's header and
  // footer strips: a row partly under them (or under a closed group's edge) is painted by its
  // list, which draws the strips over it, and a row out of sight paints nothing.
  void PaintToControl() override;

 protected:
  // Called when the look changed; rows that cache a surface redraw it.
  virtual void StateChanged() { ContentChanged(); }

 private:
  friend class TDisplayListView;
  // A list holds thousands of rows: the payload is made when first set, and the small fields
  // are packed together.
  TDisplayListView* FList;
  std::string FCaption;
  std::unique_ptr<TDbId> FPayload;
  POINT FPressPoint{};
  int FRecordIndex = -1;
  std::uint16_t FState = kRowAcceptsClicks;
  bool FPressed = false;
  bool FDropTarget = false;
  bool FNoInput = false;
  bool FKeepSelection = false;
  bool FModifierClick = false;
  bool FInsertBefore = false;
  bool FInsertAfter = false;
  bool FAcceptsDrop = true;
};

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

// The row geometry.
constexpr int kMusicIconSize = 47;
constexpr int kMusicFlapWidth = 32;
constexpr int kMusicRowMargin = 4;  // left of the icon and between rows
constexpr int kMusicRowHeight = kMusicIconSize + kMusicRowMargin;
constexpr int kMusicCaptionLeft = kMusicRowMargin + kMusicIconSize + kMusicFlapWidth;
// The caption's text starts this far into its band and keeps as far from the outer flap.
constexpr int kMusicCaptionPadding = 8;

class TMusicListView;

class TMusicListViewItem : public TDisplayListViewItem {
 public:
  TMusicListViewItem(TOxaObjects* parentList, TMusicListView* list, TMusicListViewItemKinds kind);

  TMusicListViewItemKinds Kind() const noexcept { return FKind; }
  bool IsTrack() const noexcept { return FKind == TMusicListViewItemKinds::mlkTrack; }
  int Number() const noexcept { return FNumber; }
  void SetNumber(int value);

  // The insertion gap: steps 0 (closed) to 10 of drag-insert set 0..3. The row grows by the
  // frame's height and draws the frame in the gap, above itself (before) or below (after).
  int GapStep() const noexcept { return FGapStep; }
  void SetGapStep(int set, int step);
  int GapHeight() const noexcept;
  // The drag-insert frame height of a step: 2 at step 1 to 47 at step 10.
  static int GapStepHeight(int step) noexcept;

  // Redraws the row's surface: frame, icon and flaps of the current state, the caption and, for
  // tracks, the number on the icon. A missing image leaves its place in the frame colour. A row
  // far from the view keeps no surface (see TMusicListView::RowInReach).
  // A row of a list that is not placed in any node yet, or whose list is hidden, draws when it
  // is first drawn or read (rows are usually sized before they are placed, and a list is
  // filled hidden at start-up: composing each then cost a whole surface per row, with its
  // text, for rows that mostly end up out of reach or never show).
  void Compose();
  bool Composed() const noexcept { return FComposed; }
  // Gives the surface back.
  void ReleaseSurface();
  // Takes the surface of a row of the same size that left the view's reach, which keeps none,
  // and composes into it: a slide through thousands of rows makes no surface per row.
  void ComposeInto(TMusicListViewItem& leaving);

  void DrawImageTo(TOxaBitmap& target, int x, int y, const RECT& clip) override;
  TOxaColor GetPixel(int x, int y) override;

 protected:
  void StateChanged() override;
  void Resized() override;

 private:
  TMusicListView* MusicList() const noexcept;
  // The group's cover in the icon's square, centred, on black.
  void DrawCover(const TSurface& cover, int top, int band);
  int FNumber = 0;
  TMusicListViewItemKinds FKind;
  std::int8_t FGapSet = 0;
  std::uint8_t FGapStep = 0;
  bool FComposed = false;
  bool FComposePending = false;
  void ComposeSurface();
};

// Where the thumb of a scroll bar lies in its track: a view of content pixels scrolled by offset
// shows a thumb as long as the view's share of the track (at least minLength).
struct TScrollThumb {
  int Top = 0;
  int Length = 0;
};
TScrollThumb ScrollBarThumb(int track, int view, int content, int offset, int minLength) noexcept;

// The bar at the list's right edge: an arrow at each end, the thumb built from its top, stretched
// body and bottom images between them. An arrow shows its "RA" look while the pointer is over it
// or holds it; a click on it scrolls one row, a click on the track beside the thumb one page, and
// the thumb drags the list along.
class TMusicListViewScrollBar : public TOxaBitmap {
 public:
  using TOxaBitmap::TOxaBitmap;
  static constexpr int BarWidth = 16;
  static constexpr int ArrowHeight = 16;

  enum class TPart { None, ArrowUp, ArrowDown, TrackAbove, Thumb, TrackBelow };
  // The part under y (bar coordinates).
  TPart PartAt(int y) const noexcept;
  // The part shown in its "RA" look (an arrow or nothing).
  TPart Lit() const noexcept { return FLit; }

  // Redraws for the list's view, content height and offset.
  void Show(int view, int content, int offset);
  TScrollThumb Thumb() const noexcept { return FThumb; }
  // The offset that puts the thumb's top at thumbTop pixels into the track.
  int OffsetForThumb(int thumbTop) const noexcept;

  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseLeave() override;

 private:
  TDisplayListView* List() const noexcept;
  void SetLit(TPart part);
  void Redraw() { Show(FView, FContent, FOffset); }
  TScrollThumb FThumb;
  int FView = 0;
  int FContent = 0;
  int FOffset = 0;
  TPart FLit = TPart::None;
  TPart FPressed = TPart::None;
  int FGrab = -1;  // where the thumb was taken, thumb coordinates; -1 while not dragging
};

// A strip across the list above or below the rows: the panel slides under it. Its height is the
// list's header (footer) height; it shows the list's colour.
class TMusicListViewHeader : public TOxaBitmap {
 public:
  using TOxaBitmap::TOxaBitmap;
  // Fills the strip at its size.
  void Compose();
  // Passed on to the list, in its coordinates.
  void DragOver(TOxaBitmap* source, int x, int y) override;
  void DragMove(TOxaBitmap* source, int x, int y) override;
  void DragDrop(TOxaBitmap* source, int x, int y) override;

 protected:
  void Resized() override;
};

class TMusicListView : public TDisplayListView {
 public:
  explicit TMusicListView(TOxaObjects* parentList = nullptr);

  // Rebuilds the icon, flap and drag-insert tables from the store, tracing missing and
  // wrongly sized images (which are left out), and redraws the rows. Runs by itself whenever
  // the list's store is set, inherited, freed or changes an image (its own or a parent
  // store's); on a hidden list the tables wait until they are first needed.
  void ChangeBitmaps();

  // Null when the store lacks the image or it has the wrong size.
  TOxaBitmap* Icon(TMusicListViewItemKinds kind, int state) const noexcept;
  TOxaBitmap* Flap(std::string_view code) const noexcept;
  // set 0..3 ("A".."D"), step 1..10.
  TOxaBitmap* DragInsert(int set, int step) const noexcept;
  TMusicListViewScrollBar* ScrollBar() const noexcept { return FScrollBar; }
  TMusicListViewHeader* Header() const noexcept { return FHeader; }
  TMusicListViewHeader* Footer() const noexcept { return FFooter; }
  // After icon and inner flap, up to the scroll bar, 47 high.
  RECT EditBounds(const TDisplayListViewItem* row) const override;
  // The gap animation's length.
  static constexpr int GapOpenMs = 150;
  // The drag-insert set of a gap: the accent sets for rows brought from elsewhere (A for tracks,
  // B for the other kinds), the light ones for rows moved within their own list (C, D).
  static int GapSet(const TMusicListViewItem& row, const TMusicListViewDrag& drag) noexcept;

  // The font row text is drawn with: the platform part of the list's font (Arial 12 without one)
  // in the given text and background colours. A private copy, so colouring a caption never
  // reports a font change to every node that shares the list's font.
  TOxaFont& TextFont(TOxaColor text, TOxaColor back) const;

  void ContentChanged() override;

  // --- Covers ---
  // Album and folder rows show their group's cover in place of the icon once the loader has
  // it; coverFile names the music file whose cover stands for a group ("" for none). Null
  // loader: icons only. The list shares the loader: rows may ask for covers while the view
  // that made it is being torn down.
  using TGroupCoverFile = std::function<std::string(const TDbId& group)>;
  void SetCovers(std::shared_ptr<TCoverLoader> loader, TGroupCoverFile coverFile);
  // The picture for a group row (kMusicIconSize a side at most); null while it loads or when
  // there is none. The first ask queues it with the loader.
  const TSurface* GroupCover(const TDbId& group);
  // Covers arrived: the composed rows that were waiting draw again.
  void CoversArrived();

  // Rows keep surfaces only within this reach of the view: one view's height above and below
  // it, so a page scroll finds its rows drawn, and a long group costs what three screens cost.
  // Rows outside the panel are always in reach.
  bool RowInReach(const TDisplayListViewItem* row) const noexcept;
  // The place of node in the panel; none when it is not inside the panel.
  std::optional<int> TopInPanel(const TOxaBitmap* node) const noexcept;
  bool InReach(int top, int height) const noexcept;
  // Composes the rows that came into reach and frees the surfaces of those that left it.
  void UpdateRowSurfaces();

 protected:
  void ScrollChanged() override;
  void GapOpened(TDisplayListViewItem* row, const TMusicListViewDrag& drag) override;

 private:
  TMusicListViewHeader* FHeader;
  TMusicListViewHeader* FFooter;
  TMusicListViewScrollBar* FScrollBar;
  // The store chain the tables are for: an image replaced, added or removed anywhere in the
  // chain (or a parent dropped) drops the tables, so they never point at a freed image. A
  // hidden list builds them when they are first asked for (a store set at start-up meets
  // lists that nobody sees yet).
  TOxaStoreStamp FTableStamp;
  bool FTableStampTaken = false;
  mutable bool FTablesBuilt = false;
  void BuildTables() const noexcept;
  TOxaBitmap* Checked(const std::string& name, int width, const char* method) const;

  mutable std::array<std::array<TOxaBitmap*, kMusicListIconCodes.size()>, kMusicListViewItemKindCount>
      FIcons{};
  mutable std::array<TOxaBitmap*, kMusicListFlapCodes.size()> FFlaps{};
  mutable std::array<std::array<TOxaBitmap*, 10>, 4> FDragInsert{};
  mutable TOwnedObject<TOxaFont> FTextFont;
  std::shared_ptr<TCoverLoader> FCovers;
  TGroupCoverFile FCoverFile;
  // The file of each group asked about ("" for none), and whether rows wait for a cover.
  std::map<std::pair<std::int32_t, std::int32_t>, std::string> FGroupFiles;
  bool FCoversPending = false;
};
