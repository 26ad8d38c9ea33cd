#include "views/list/DisplayListView.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "framework/OxaUtils.h"
#include "graphics/OxaImage.h"
#include "rtl/Format.h"
#include "views/list/MusicListViewDrag.h"
#include "views/list/MusicListViewItem.h"

// --- TDisplayListView ---

int DisplayListScrollDuration(int distance) noexcept
{
  // The magnitude: an upward scroll must last as long as the same downward one.
  const double d = std::fabs(double(distance));
  return 300 + int(std::lround(2200.0 * (1.0 - std::exp(-0.0002 * d))));
}

int DisplayListDragScrollDelta(int y, int viewHeight, int elapsedMs) noexcept
{
  const int step = std::max(0, elapsedMs) / 5;
  if (y < 0 && y >= -kDragScrollBand)
    return -step;
  const int below = y - viewHeight + 1;  // 1 on the first line under the view
  if (y >= viewHeight && below <= kDragScrollBand)
    return step;
  return 0;
}

TDisplayListView::TDisplayListView(TOxaObjects* parentList)
    : TOxaDarkenBitmap(parentList), FPanel(new TDisplayListViewPanel(&Objects())), FClock(&GetTickCount64)
{
  FPanel->SetParent(this);
}

void TDisplayListView::Resized()
{
  TOxaDarkenBitmap::Resized();
  ScrollTo(FScrollOffset, false);
}

void TDisplayListView::SetHeaderHeight(int value)
{
  FHeaderHeight = std::max(0, value);
  ScrollTo(FScrollOffset, false);
}

void TDisplayListView::SetFooterHeight(int value)
{
  FFooterHeight = std::max(0, value);
  ScrollTo(FScrollOffset, false);
}

int TDisplayListView::MaxScrollOffset() const noexcept
{
  const int view = Height() - FHeaderHeight - FFooterHeight;
  return std::max(0, FPanel->Height() - std::max(0, view));
}

void TDisplayListView::PlacePanel()
{
  FPanel->SetBounds(FPanel->Left(), FHeaderHeight - FScrollOffset, FPanel->Width(), FPanel->Height());
  DropHoverScrolledAway();
  ScrollChanged();
}

void TDisplayListView::DropHoverScrolledAway()
{
  TOxaImage* control = Control();
  if (control == nullptr)
    return;
  auto* row = dynamic_cast<TDisplayListViewItem*>(control->Hovered());
  if (row == nullptr || row->FList != this)
    return;
  POINT p{};
  if (!GetCursorPos(&p))
    return;
  p = row->ScreenToPoint(p);
  if (p.x < 0 || p.y < 0 || p.x >= row->Width() || p.y >= row->Height())
    control->SetHovered(nullptr);
}

void TDisplayListView::KeyDown(WORD& key, TShiftState shift)
{
  TOxaDarkenBitmap::KeyDown(key, shift);
  const bool ctrl = (shift & ssCtrl) != 0;
  const int page = std::max(1, Height() - FHeaderHeight - FFooterHeight);
  switch (key) {
    case VK_HOME:
      ScrollTo(0, true);
      break;
    case VK_END:
      ScrollTo(MaxScrollOffset(), true);
      break;
    case VK_PRIOR:
      ScrollBy(-page, true);
      break;
    case VK_NEXT:
      ScrollBy(page, true);
      break;
    case VK_UP:
    case VK_DOWN: {
      if (!ctrl || FActive == nullptr)
        return;
      const int step = key == VK_UP ? -1 : 1;
      TDisplayListViewItem* next = nullptr;
      for (int i = IndexOfItem(FActive) + step; i >= 0 && i < ItemCount() && next == nullptr; i += step)
        if (FItems[std::size_t(i)]->Group() == FActive->Group())
          next = FItems[std::size_t(i)];
      if (next != nullptr) {
        BeginSelection();
        ClearSelection();
        Select(next);
        EndSelection();
        SetActiveRow(next);
        ScrollIntoView(next, true);
      }
      break;
    }
    case 'A':
      if (!ctrl)
        return;
      SelectGroup();
      break;
    case VK_F1 + 1:  // F2
      if (FActive == nullptr || !MayEdit(FActive))
        return;
      SetEditRow(FActive);
      break;
    default:
      return;
  }
  key = 0;
}

void TDisplayListView::ScrollIntoView(const TDisplayListViewItem* row, bool animate)
{
  if (row == nullptr || !FPanel->IsAncestorOf(row))
    return;
  int top = 0;
  for (const TOxaBitmap* node = row; node != FPanel; node = node->Parent())
    top += node->Top();
  const int view = std::max(0, Height() - FHeaderHeight - FFooterHeight);
  int offset = FScrollOffset;
  if (top + row->Height() > offset + view)
    offset = top + row->Height() - view;
  if (top < offset)
    offset = top;
  ScrollTo(offset, animate);
}

void TDisplayListView::ScrollTo(int offset, bool animate)
{
  const int target = std::clamp(offset, 0, MaxScrollOffset());
  const int start = FScrollOffset;
  const int distance = target - start;
  if (animate && distance != 0) {
    const int duration = DisplayListScrollDuration(distance);
    const std::uint64_t begin = FClock();
    for (std::uint64_t elapsed = 0; elapsed < std::uint64_t(duration); elapsed = FClock() - begin) {
      FScrollOffset = start + OxaAccelerate(std::int32_t(elapsed), duration, distance);
      PlacePanel();
      if (Control() != nullptr)
        PaintToControl();
    }
  }
  FScrollOffset = target;
  PlacePanel();
}

void TDisplayListView::AnimateGroup(TOxaBitmap* group, bool open, int offset)
{
  if (group == nullptr || !FPanel->IsAncestorOf(group))
    return;
  TOxaBitmap* parent = group->Parent();
  int full = 0;
  std::vector<std::pair<TOxaBitmap*, int>> rows;  // the group's children and their tops
  for (int i = 0; i < group->ChildCount(); ++i) {
    TOxaBitmap* child = group->Children(i);
    rows.push_back({child, child->Top()});
    full = std::max(full, child->Top() + child->Height());
  }
  const int groupTop = group->Top();
  const int from = group->Height();
  const int to = open ? full : 0;
  // The siblings below the group move with its bottom edge.
  std::vector<std::pair<TOxaBitmap*, int>> below;
  for (int i = 0; i < parent->ChildCount(); ++i) {
    TOxaBitmap* sibling = parent->Children(i);
    if (sibling != group && sibling->Top() >= groupTop + from)
      below.push_back({sibling, sibling->Top()});
  }
  const int panelFrom = FPanel->Height();
  const int view = std::max(0, Height() - FHeaderHeight - FFooterHeight);
  const int target = std::clamp(offset, 0, std::max(0, panelFrom + to - from - view));
  const int start = FScrollOffset;
  // The group's top in the panel, for the reach of the rows below.
  int groupInPanel = 0;
  for (const TOxaBitmap* node = group; node != nullptr && node != FPanel; node = node->Parent())
    groupInPanel += node->Top();
  std::vector<int> placed;  // where each row stands now, in the group
  placed.reserve(rows.size());
  for (const auto& [row, top] : rows)
    placed.push_back(top);
  // A frame moves only the rows in reach of the view, where they were or where they go: a row
  // out of reach at both is drawn at neither, and a group of thousands moves a screen's worth.
  // The last placement moves them all.
  const auto place = [&](int height, int scroll, bool every) {
    const int grown = height - from;
    // Panel first when growing, so nothing is placed outside it.
    if (grown > 0)
      FPanel->SetBounds(FPanel->Left(), FPanel->Top(), FPanel->Width(), panelFrom + grown);
    group->SetBounds(group->Left(), groupTop, group->Width(), height);
    const int lo = std::min(FScrollOffset, scroll) - view - groupInPanel;
    const int hi = std::max(FScrollOffset, scroll) + 2 * view - groupInPanel;
    const auto inReach = [&](int y, int h) { return y + h > lo && y < hi; };
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const auto& [row, top] = rows[i];
      const int y = top - (full - height);
      if (every || inReach(placed[i], row->Height()) || inReach(y, row->Height())) {
        row->SetBounds(row->Left(), y, row->Width(), row->Height());
        placed[i] = y;
      }
    }
    for (const auto& [sibling, top] : below)
      sibling->SetBounds(sibling->Left(), top + grown, sibling->Width(), sibling->Height());
    if (grown <= 0)
      FPanel->SetBounds(FPanel->Left(), FPanel->Top(), FPanel->Width(), panelFrom + grown);
    FScrollOffset = scroll;
    PlacePanel();
  };
  const int distance = std::max(std::abs(to - from), std::abs(target - start));
  if (distance != 0) {
    const int duration = DisplayListScrollDuration(distance);
    const std::uint64_t begin = FClock();
    for (std::uint64_t elapsed = 0; elapsed < std::uint64_t(duration); elapsed = FClock() - begin) {
      const auto t = std::int32_t(elapsed);
      place(from + OxaAccelerate(t, duration, to - from), start + OxaAccelerate(t, duration, target - start),
            false);
      if (Control() != nullptr)
        PaintToControl();
    }
  }
  place(to, target, true);
  // The rows end where they belong inside the group, open or closed.
  for (const auto& [row, top] : rows)
    row->SetBounds(row->Left(), top, row->Width(), row->Height());
}

TDisplayListView::~TDisplayListView()
{
  DetachItems();
}

void TDisplayListView::BeforeDestruction()
{
  // Rows may outlive the list inside their parents' lists: they must not report back.
  if (FHookControl != nullptr && FHookControl->Dragged() == FDragBox)
    FHookControl->EndDrag();
  EndRowDrag();
  DetachItems();
  TOxaDarkenBitmap::BeforeDestruction();
}

void TDisplayListView::DetachItems() noexcept
{
  CloseEditor();
  for (TDisplayListViewItem* row : FItems)
    row->FList = nullptr;
  FItems.clear();
  FSelected.clear();
  FActive = nullptr;
  FDropPending = false;
  FPendingDrop = {};
  FGapRow = nullptr;
}

void TDisplayListView::ItemCreated(TDisplayListViewItem* row)
{
  FItems.push_back(row);
}

void TDisplayListView::ItemFreed(TDisplayListViewItem* row) noexcept
{
  std::erase(FItems, row);
  if (std::erase(FSelected, row) != 0)
    FSelectionDirty = true;
  if (FActive == row)
    FActive = nullptr;
  if (FActive != nullptr && FActive->Group() == row)
    FActive = nullptr;  // its group row is going; the rows inside follow
  if (FPendingDrop.Target == row) {
    FDropPending = false;
    FPendingDrop = {};
  }
  if (FEditRow == row)
    CloseEditor();  // its text has no row left to go to
  if (FGapRow == row)
    FGapRow = nullptr;
}

TDisplayListViewItem* TDisplayListView::Items(int index) const
{
  if (index < 0 || index >= ItemCount())
    throw EOxaFatal(Format("%s.Items[%d]: Index out of bounds", ClassName(), index));
  return FItems[std::size_t(index)];
}

int TDisplayListView::IndexOfItem(const TDisplayListViewItem* row) const noexcept
{
  const auto it = std::find(FItems.begin(), FItems.end(), row);
  return it == FItems.end() ? -1 : int(it - FItems.begin());
}

void TDisplayListView::SetSelectedBit(TDisplayListViewItem* row, bool selected)
{
  if (selected) {
    FSelected.push_back(row);
    row->SetState(row->State() | kRowSelected);
  } else {
    std::erase(FSelected, row);
    row->SetState(row->State() & ~kRowSelected);
  }
  FSelectionDirty = true;
}

void TDisplayListView::Select(TDisplayListViewItem* row)
{
  if (row == nullptr || row->FList != this || IsSelected(row))
    return;
  BeginSelection();
  try {
    if (row->RecordIndex() != -1) {
      // Copy: deselecting edits the list being walked.
      const std::vector<TDisplayListViewItem*> selected = FSelected;
      for (TDisplayListViewItem* other : selected)
        if (other->Group() != row->Group())
          SetSelectedBit(other, false);
    } else {
      ClearSelection();
    }
    SetSelectedBit(row, true);
  } catch (...) {
    EndSelection();
    throw;
  }
  EndSelection();
}

void TDisplayListView::Deselect(TDisplayListViewItem* row)
{
  if (row == nullptr || !IsSelected(row))
    return;
  BeginSelection();
  SetSelectedBit(row, false);
  EndSelection();
}

void TDisplayListView::ClearSelection()
{
  if (FSelected.empty())
    return;
  BeginSelection();
  while (!FSelected.empty())
    SetSelectedBit(FSelected.back(), false);
  EndSelection();
}

void TDisplayListView::SelectGroup()
{
  const TDisplayListViewItem* first = !FSelected.empty() ? FSelected.front() : FActive;
  if (first == nullptr)
    return;
  TOxaBitmap* group = first->Group();
  BeginSelection();
  ClearSelection();
  for (TDisplayListViewItem* row : std::vector<TDisplayListViewItem*>(FItems))
    if (row->Group() == group && !IsSelected(row))
      SetSelectedBit(row, true);
  EndSelection();
}

bool TDisplayListView::IsSelected(const TDisplayListViewItem* row) const noexcept
{
  return row != nullptr && row->FList == this && (row->State() & kRowSelected) != 0;
}

TDbIdList TDisplayListView::SelectedRecords() const
{
  TDbIdList list;
  for (const TDisplayListViewItem* row : FSelected)
    list.Add(row->Payload());
  return list;
}

TDbIdList TDisplayListView::MarkedRecords() const
{
  TDbIdList list;
  for (const TDisplayListViewItem* row : FItems)
    if ((row->State() & kRowMarked) != 0)
      list.Add(row->Payload());
  return list;
}

TDisplayListViewItem* TDisplayListView::Selected(int index) const noexcept
{
  if (index < 0 || index >= SelectedCount())
    return nullptr;
  return FSelected[std::size_t(index)];
}

void TDisplayListView::EndSelection()
{
  if (FSelectionNesting > 0)
    --FSelectionNesting;
  if (FSelectionNesting == 0 && FSelectionDirty) {
    FSelectionDirty = false;
    if (OnSelectionChanged)
      OnSelectionChanged(this);
  }
}

void TDisplayListView::SelectRange(TDisplayListViewItem* row)
{
  TDisplayListViewItem* anchor = !FSelected.empty() ? FSelected.back() : nullptr;
  if (anchor != nullptr && anchor->Group() != row->Group()) {
    // The last selection lies in another group: start from the active row instead.
    ClearSelection();
    anchor = FActive != nullptr && FActive->Group() == row->Group() ? FActive : nullptr;
    if (anchor != nullptr)
      Select(anchor);
  }
  Select(row);
  if (anchor == nullptr || anchor == row)
    return;
  const int from = IndexOfItem(anchor);
  const int to = IndexOfItem(row);
  for (int i = std::min(from, to) + 1; i < std::max(from, to); ++i) {
    TDisplayListViewItem* between = FItems[std::size_t(i)];
    if (between->Group() == row->Group())
      Select(between);
  }
}

void TDisplayListView::RowMouseDown(TDisplayListViewItem* row, TMouseButton button, TShiftState shift, int,
                                    int)
{
  if (button != TMouseButton::mbLeft || FNoInput || row->NoInput())
    return;
  const bool withShift = (shift & ssShift) != 0;
  const bool withCtrl = (shift & ssCtrl) != 0;
  row->FModifierClick = withShift || withCtrl;
  BeginSelection();
  try {
    if (withShift && withCtrl) {
      ClearSelection();
      Select(row);
    } else if (withCtrl) {
      if (IsSelected(row))
        Deselect(row);
      else
        Select(row);
    } else if (withShift) {
      SelectRange(row);
    }
  } catch (...) {
    EndSelection();
    throw;
  }
  EndSelection();
  row->SetPressed(true);
}

void TDisplayListView::RowMouseUp(TDisplayListViewItem* row, TMouseButton button, TShiftState shift, int x,
                                  int y)
{
  if (FNoInput || row->NoInput())
    return;
  if (button == TMouseButton::mbRight) {
    if ((row->State() & kRowAcceptsClicks) != 0 && OnItemRightClick)
      OnItemRightClick(this, row, shift, x, y);
    return;
  }
  if (button != TMouseButton::mbLeft || !row->Pressed())
    return;
  const bool plain = !row->FModifierClick;
  row->FModifierClick = false;
  row->SetPressed(false);
  if (plain && (row->State() & kRowAcceptsClicks) != 0) {
    if (!row->KeepSelection())
      ClearSelection();
    if (OnItemClick)
      OnItemClick(this, row, shift, x, y);
  }
}

bool TDisplayListView::MayDrag(const TDisplayListViewItem* row)
{
  return row != nullptr && (!OnMayDrag || OnMayDrag(this, row));
}

bool TDisplayListView::MayDrop(const TDisplayListViewItem* row)
{
  return row != nullptr && row->AcceptsDrop() && (!OnMayDrop || OnMayDrop(this, row));
}

bool TDisplayListView::MayEdit(const TDisplayListViewItem* row)
{
  return row != nullptr && row->FList == this && (!OnMayEdit || OnMayEdit(this, row));
}

std::string TDisplayListView::CaptionOf(const TDisplayListViewItem* row)
{
  if (row == nullptr)
    return {};
  if (OnGetCaption && !row->Payload().Empty()) {
    std::string caption = OnGetCaption(this, row->Payload());
    if (!caption.empty())
      return caption;
  }
  return row->Caption();
}

void TDisplayListView::RowDoubleClick(TDisplayListViewItem* row)
{
  if (FNoInput || row == nullptr || row->NoInput() || !MayEdit(row))
    return;
  // The second press of the double click is spent here: its release is no click.
  row->FModifierClick = false;
  row->SetPressed(false);
  SetEditRow(row);
}

TDisplayListViewItem* TDisplayListView::FirstRowOf(const TDisplayListViewItem* groupRow) const noexcept
{
  for (TDisplayListViewItem* row : FItems)
    if (row->Group() == groupRow)
      return row;
  return nullptr;
}

void TDisplayListView::RowDragDrop(TDisplayListViewItem* row, const TMusicListViewDrag& drag)
{
  Trace("%s(%x).DragDrop: Caption:%s Before:%d After: %d", row->ClassName(),
        std::uint64_t(reinterpret_cast<std::uintptr_t>(row)), drag.Caption, int(row->InsertBefore()),
        int(row->InsertAfter()));
  bool before = row->InsertBefore();
  bool after = row->InsertAfter();
  SetGap(row, false, false, nullptr);
  if (TDisplayListViewItem* first = FirstRowOf(row)) {
    // The group row stands for its rows: the drop lands on the first of them.
    row = first;
    before = before || first->InsertBefore();
    after = after || first->InsertAfter();
    SetGap(first, false, false, nullptr);
  }
  if (!MayDrop(row) || !(before || after))
    return;
  QueueDrop({drag.Caption, drag.Records, row, after, drag.Source, drag.Payloads});
}

void TDisplayListView::QueueDrop(TDisplayListViewDrop drop)
{
  FPendingDrop = std::move(drop);
  FDropPending = true;
  if (Control() != nullptr)
    Control()->QueueCallback(this, MakeMethod<&TDisplayListView::DropCallback>(this));
  else
    DeliverDrop();
}

void TDisplayListView::RowDragOver(TDisplayListViewItem* row, TMusicListViewDrag& drag, int y)
{
  if (FNoInput || row->NoInput() || !MayDrop(row)) {
    SetGap(row, false, false, nullptr);
    drag.SetCursor(CursorNoCanDo);
    return;
  }
  // While the gap is open the row is taller: its halves are those of the row without it.
  int top = 0;
  int height = row->Height();
  if (auto* music = dynamic_cast<TMusicListViewItem*>(row)) {
    height -= music->GapHeight();
    top = row->InsertBefore() ? music->GapHeight() : 0;
  }
  const bool before = y - top < height / 2;
  SetGap(row, before, !before, &drag);
  drag.SetCursor(CursorDrag);
}

void TDisplayListView::SetGap(TDisplayListViewItem* row, bool before, bool after,
                              const TMusicListViewDrag* drag)
{
  if (FGapRow != nullptr && FGapRow != row && (before || after))
    FGapRow->SetInsertGap(false, false);  // one gap at a time
  const bool opening = (before || after) && (before != row->InsertBefore() || after != row->InsertAfter());
  row->SetInsertGap(before, after);
  if (before || after)
    FGapRow = row;
  else if (FGapRow == row)
    FGapRow = nullptr;
  if (opening && drag != nullptr)
    GapOpened(row, *drag);
}

void TDisplayListView::DropCallback(TOxaImage*, TOxaBitmap*)
{
  DeliverDrop();
}

void TDisplayListView::DeliverDrop()
{
  if (!FDropPending)
    return;
  // Taken first: the handler may reload the list and free the target.
  const TDisplayListViewDrop drop = std::move(FPendingDrop);
  FPendingDrop = {};
  FDropPending = false;
  if (OnDrop)
    OnDrop(this, drop);
}

// --- Editing ---

POINT TDisplayListView::RowOrigin(const TDisplayListViewItem* row) const
{
  POINT p{0, 0};
  for (const TOxaBitmap* node = row; node != nullptr && node != this; node = node->Parent()) {
    p.x += node->Left();
    p.y += node->Top();
  }
  return p;
}

RECT TDisplayListView::EditBounds(const TDisplayListViewItem* row) const
{
  const POINT p = RowOrigin(row);
  return {p.x, p.y, p.x + row->Width(), p.y + row->Height()};
}

void TDisplayListView::CloseEditor() noexcept
{
  FEditRow = nullptr;
  if (FEditor) {
    FEditor->OnDone = nullptr;  // its closing tells a commit from inside its destruction
    FEditor.reset();
  }
}

void TDisplayListView::SetEditRow(TDisplayListViewItem* row)
{
  if (row == FEditRow || (row != nullptr && row->FList != this))
    return;
  if (TOxaImage* control = Control()) {
    control->DropCallbacks(this);
    // A queued drop dies with the queue; a queued repaint is queued again, or the list would
    // show stale rows until its next change.
    FDropPending = false;
    FPendingDrop = {};
    if (Dirty())
      AsyncPaintToControl();
  }
  if (TDisplayListViewItem* previous = FEditRow; previous != nullptr && FEditor) {
    FEditRow = nullptr;
    previous->SetCaption(ProperCase(FEditor->Text()));
    if (OnEdited)
      OnEdited(this, previous);
  }
  if (row == nullptr || row->FList != this) {
    // The edited handler may have freed the row asked for: nothing to edit then.
    CloseEditor();
    return;
  }
  FEditRow = row;
  ScrollIntoView(row, true);
  TOxaImage* control = Control();
  if (control == nullptr || FEditRow != row)
    return;  // not shown: nowhere to put an editor
  if (!FEditor) {
    FEditor.reset(new TDisplayListViewEdit(nullptr));
    FEditor->OnDone = MakeMethod<&TDisplayListView::EditorDone>(this);
  }
  const RECT r = EditBounds(row);
  const POINT at = PointToControl({r.left, r.top});
  const TOxaGdiFont font = Font() != nullptr ? Font()->GdiFont() : TOxaGdiFont{};
  // The record's own name: a row's caption may carry more (a list's track count).
  FEditor->Open(control->Handle(), {at.x, at.y, at.x + r.right - r.left, at.y + r.bottom - r.top}, font,
                CaptionOf(row));
}

void TDisplayListView::EditorDone(TDisplayListViewEdit*, bool commit)
{
  // Told from inside the edit control: the editor is freed after its handling has returned.
  if (TOxaImage* control = Control())
    control->QueueCallback(this, commit ? MakeMethod<&TDisplayListView::EditCommitCallback>(this)
                                        : MakeMethod<&TDisplayListView::EditCancelCallback>(this));
}

void TDisplayListView::EditCommitCallback(TOxaImage*, TOxaBitmap*)
{
  SetEditRow(nullptr);
}

void TDisplayListView::EditCancelCallback(TOxaImage*, TOxaBitmap*)
{
  CloseEditor();
}

TDisplayListViewItem* TDisplayListView::GroupRowOf(const TDisplayListViewItem* row) const noexcept
{
  auto* group = dynamic_cast<TDisplayListViewItem*>(row->Group());
  return group != nullptr && group->FList == this ? group : nullptr;
}

void TDisplayListView::SetActiveRow(TDisplayListViewItem* row)
{
  if (row != nullptr && row->FList != this)
    return;
  if (FActive == row)
    return;
  // The active bit runs up the chain of group rows: the current row and its groups.
  for (TDisplayListViewItem* r = FActive; r != nullptr; r = GroupRowOf(r))
    r->SetState(r->State() & ~kRowActive);
  FActive = row;
  for (TDisplayListViewItem* r = FActive; r != nullptr; r = GroupRowOf(r))
    r->SetState(r->State() | kRowActive);
}

void TDisplayListView::SetMarked(TDisplayListViewItem* row, bool marked)
{
  if (row == nullptr || row->FList != this)
    return;
  const auto apply = [marked](TDisplayListViewItem* r) {
    r->SetState(marked ? r->State() | kRowMarked : r->State() & ~kRowMarked);
  };
  apply(row);
  for (TDisplayListViewItem* inner : FItems)
    if (inner->Group() == row)
      apply(inner);
}
