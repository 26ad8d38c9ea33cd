#include "views/MusicListView.h"

#include <cstring>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

#include "framework/OxaUtils.h"
#include "graphics/OxaImage.h"
#include "rtl/Format.h"

namespace {

template <std::size_t N>
int CodeIndex(const std::array<std::string_view, N>& codes, std::string_view code) noexcept
{
  const auto it = std::find(codes.begin(), codes.end(), code);
  return it == codes.end() ? -1 : int(it - codes.begin());
}

RECT ShiftedRect(const RECT& r, int dx, int dy) noexcept
{
  return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

RECT CommonRect(const RECT& a, const RECT& b) noexcept
{
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}

}  // namespace

// --- TDisplayListViewItem ---

TDisplayListViewItem::TDisplayListViewItem(TOxaObjects* parentList, TDisplayListView* list)
    : TOxaBitmap(parentList), FList(list)
{
  // A row's change repaints the row alone, not the whole list.
  SetAsyncPaint(true);
  // Rows draw from their list's tables and text font, and the list recomposes them when its
  // store changes: following the list's sets would only put every row on the sets' observer
  // lists (two entries a row, thousands of rows).
  SetParentFont(false);
  SetParentFonts(false);
  SetParentColors(false);
  SetParentBitmaps(false);
  if (FList != nullptr)
    FList->ItemCreated(this);
}

void TDisplayListViewItem::PaintToControl()
{
  if (FList == nullptr || !FList->IsAncestorOf(this)) {
    TOxaBitmap::PaintToControl();
    return;
  }
  // What of the row shows, in the list's coordinates: each parent cuts it to its own bounds
  // (nothing clips a node's children when they paint alone), the list to its rows' band.
  RECT shown{0, 0, Width(), Height()};
  const TOxaBitmap* node = this;
  for (; node != FList && node->Parent() != nullptr; node = node->Parent()) {
    shown = ShiftedRect(shown, node->Left(), node->Top());
    const TOxaBitmap* parent = node->Parent();
    const RECT inside = parent == FList ? RECT{0, FList->HeaderHeight(), FList->Width(),
                                               FList->Height() - FList->FooterHeight()}
                                        : RECT{0, 0, parent->Width(), parent->Height()};
    shown = CommonRect(shown, inside);
  }
  if (shown.right <= shown.left || shown.bottom <= shown.top) {
    return;
  }
  const POINT origin = FList->RowOrigin(this);
  const bool whole = shown.left == origin.x && shown.top == origin.y && shown.right == origin.x + Width() &&
                     shown.bottom == origin.y + Height();
  if (whole) {
    TOxaBitmap::PaintToControl();
  } else {
    FList->PaintToControl();
  }
}

TDisplayListViewItem::~TDisplayListViewItem()
{
  if (FList != nullptr)
    FList->ItemFreed(this);
}

void TDisplayListViewItem::SetState(int value)
{
  value &= kRowStateCount - 1;
  if (value == FState)
    return;
  FState = std::uint16_t(value);
  StateChanged();
}

void TDisplayListViewItem::SetPressed(bool value)
{
  if (value == FPressed)
    return;
  FPressed = value;
  StateChanged();
}

void TDisplayListViewItem::SetDropTarget(bool value)
{
  if (value == FDropTarget)
    return;
  FDropTarget = value;
  StateChanged();
}

const TDbId& TDisplayListViewItem::Payload() const noexcept
{
  static const TDbId none;
  return FPayload ? *FPayload : none;
}

void TDisplayListViewItem::SetPayload(TDbId value)
{
  if (FPayload)
    *FPayload = std::move(value);
  else
    FPayload = std::make_unique<TDbId>(std::move(value));
}

void TDisplayListViewItem::SetCaption(std::string value)
{
  if (value == FCaption)
    return;
  FCaption = std::move(value);
  StateChanged();
}

void TDisplayListViewItem::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
  TOxaBitmap::MouseDown(button, shift, x, y);
  FPressPoint = {x, y};
  if (FList != nullptr)
    FList->RowMouseDown(this, button, shift, x, y);
}

void TDisplayListViewItem::MouseMove(TShiftState shift, int x, int y)
{
  TOxaBitmap::MouseMove(shift, x, y);
  if (FList == nullptr || !FPressed || (shift & ssLeft) == 0)
    return;
  if (std::abs(x - FPressPoint.x) >= TDisplayListView::DragThreshold ||
      std::abs(y - FPressPoint.y) >= TDisplayListView::DragThreshold)
    FList->BeginRowDrag(this);
}

void TDisplayListViewItem::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
  TOxaBitmap::MouseUp(button, shift, x, y);
  if (FList != nullptr)
    FList->RowMouseUp(this, button, shift, x, y);
}

void TDisplayListViewItem::DblClick()
{
  TOxaBitmap::DblClick();
  if (FList != nullptr)
    FList->RowDoubleClick(this);
}

void TDisplayListViewItem::DragDrop(TOxaBitmap* source, int x, int y)
{
  TOxaBitmap::DragDrop(source, x, y);
  if (auto* drag = dynamic_cast<TMusicListViewDrag*>(source); drag != nullptr && FList != nullptr)
    FList->RowDragDrop(this, *drag);
}

void TDisplayListViewItem::DragOver(TOxaBitmap* source, int x, int y)
{
  TOxaBitmap::DragOver(source, x, y);
  if (auto* drag = dynamic_cast<TMusicListViewDrag*>(source); drag != nullptr && FList != nullptr)
    FList->RowDragOver(this, *drag, y);
}

void TDisplayListViewItem::DragMove(TOxaBitmap* source, int x, int y)
{
  TOxaBitmap::DragMove(source, x, y);
  if (auto* drag = dynamic_cast<TMusicListViewDrag*>(source); drag != nullptr && FList != nullptr)
    FList->RowDragOver(this, *drag, y);
}

void TDisplayListViewItem::DragLeave(TOxaBitmap* source, int x, int y)
{
  TOxaBitmap::DragLeave(source, x, y);
  if (FList != nullptr)
    FList->SetGap(this, false, false, nullptr);
  else
    SetInsertGap(false, false);
}

void TDisplayListViewItem::SetInsertGap(bool before, bool after)
{
  if (before == FInsertBefore && after == FInsertAfter)
    return;
  FInsertBefore = before;
  FInsertAfter = after;
  StateChanged();
}

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

// --- TMusicListViewItem ---

TMusicListViewItem::TMusicListViewItem(TOxaObjects* parentList, TMusicListView* list,
                                       TMusicListViewItemKinds kind)
    : TDisplayListViewItem(parentList, list), FKind(kind)
{
}

TMusicListView* TMusicListViewItem::MusicList() const noexcept
{
  // Music rows are made only with a music list.
  return static_cast<TMusicListView*>(List());
}

void TMusicListViewItem::SetNumber(int value)
{
  if (value == FNumber)
    return;
  FNumber = value;
  StateChanged();
}

void TMusicListViewItem::StateChanged()
{
  if (!InsertBefore() && !InsertAfter() && FGapStep != 0) {
    const int base = Height() - GapHeight();
    FGapStep = 0;
    SetBounds(Left(), Top(), Width(), base);
  }
  Compose();
  TDisplayListViewItem::StateChanged();
}

void TMusicListViewItem::Resized()
{
  TDisplayListViewItem::Resized();
  Compose();
}

int TMusicListViewItem::GapStepHeight(int step) noexcept
{
  if (step <= 0)
    return 0;
  return 2 + (kMusicIconSize - 2) * (std::min(step, 10) - 1) / 9;
}

int TMusicListViewItem::GapHeight() const noexcept
{
  return GapStepHeight(FGapStep);
}

void TMusicListViewItem::SetGapStep(int set, int step)
{
  step = std::clamp(step, 0, 10);
  if (!InsertBefore() && !InsertAfter())
    step = 0;                            // no gap is open
  set = set >= 0 && set < 4 ? set : -1;  // no such set: the gap draws no frame
  if (set == FGapSet && step == FGapStep)
    return;
  const int base = Height() - GapHeight();
  FGapSet = std::int8_t(set);
  FGapStep = std::uint8_t(step);
  const int height = base + GapHeight();
  if (height != Height())
    SetBounds(Left(), Top(), Width(), height);  // recomposes
  else
    Compose();
}

void TMusicListViewItem::ReleaseSurface()
{
  if (!FComposed)
    return;
  FComposed = false;
  ChangeImageSize(0, 0, 6);
}

void TMusicListViewItem::ComposeInto(TMusicListViewItem& leaving)
{
  if (&leaving != this && leaving.FComposed && !FComposed && leaving.Width() == Width() &&
      leaving.Height() == Height()) {
    SwapSurface(leaving);  // leaving now holds this row's empty surface, which it lets go below
  }
  leaving.ReleaseSurface();
  Compose();
}

void TMusicListViewItem::Compose()
{
  if (Width() <= 0 || Height() <= 0) {
    return;
  }
  if (List() != nullptr && (Parent() == nullptr || !List()->Showing())) {
    FComposePending = true;
    return;
  }
  ComposeSurface();
}

void TMusicListViewItem::DrawImageTo(TOxaBitmap& target, int x, int y, const RECT& clip)
{
  if (FComposePending)
    ComposeSurface();
  TDisplayListViewItem::DrawImageTo(target, x, y, clip);
}

TOxaColor TMusicListViewItem::GetPixel(int x, int y)
{
  if (FComposePending)
    ComposeSurface();
  return TDisplayListViewItem::GetPixel(x, y);
}

void TMusicListViewItem::ComposeSurface()
{
  FComposePending = false;
  if (Width() <= 0 || Height() <= 0) {
    return;
  }
  if (List() != nullptr && !MusicList()->RowInReach(this)) {
    ReleaseSurface();
    return;
  }
  FComposed = true;
  ChangeImageSize(Width(), Height(), 6);
  const int state = DrawState();
  const TMusicListViewEntry entry = MusicListViewEntry(IsTrack(), state);
  const TMusicListViewColors colors = MusicListViewColors(IsTrack(), state);
  const TOxaColor frame = MusicListViewCodeColor(entry[0]).value_or(0);
  const int gap = GapHeight();
  // The row's own part lies below a gap opened before it, above one opened after it.
  const int top = InsertBefore() ? gap : 0;
  const int height = Height() - gap;
  FillSurface(ClientRect(), 0x000000);
  FillSurface({0, top, Width(), top + height}, frame);
  const int band = std::min(height, kMusicIconSize);
  FillSurface({kMusicCaptionLeft, top, Width(), top + band}, colors.CaptionBack);
  // A row outliving its list draws its frame only.
  const TMusicListView* list = MusicList();
  if (list == nullptr) {
    return;
  }
  const auto put = [&](TOxaBitmap* image, int x, int y) {
    if (image != nullptr)
      image->Draw(*this, x, y, {0, 0, image->ImageWidth(), image->ImageHeight()});
  };
  if (gap > 0)
    put(list->DragInsert(FGapSet, FGapStep), kMusicRowMargin, InsertBefore() ? 0 : height);
  const bool group =
      FKind == TMusicListViewItemKinds::mlkAlbum || FKind == TMusicListViewItemKinds::mlkFolder;
  const TSurface* cover = group ? MusicList()->GroupCover(Payload()) : nullptr;
  if (cover != nullptr) {
    DrawCover(*cover, top, band);
  } else {
    put(list->Icon(FKind, state), kMusicRowMargin, top);
  }
  put(list->Flap(MusicListViewInnerFlapCode(entry)), kMusicRowMargin + kMusicIconSize, top);
  put(list->Flap(MusicListViewOuterFlapCode(entry)), Width() - kMusicFlapWidth, top);

  TOxaTextBlock block;
  const int textLeft = kMusicCaptionLeft + kMusicCaptionPadding;
  const int textWidth = Width() - kMusicFlapWidth - kMusicCaptionPadding - textLeft;
  if (!Caption().empty() && textWidth > 0) {
    const TOxaFont& font = list->TextFont(colors.CaptionText, colors.CaptionBack);
    font.Layout(Caption(), 0, block, band, textWidth, "...", kOxaWrapWord);
    font.Draw(*this, block, textLeft, top + std::max(0, (band - block.Height) / 2));
  }
  if (IsTrack()) {
    const TOxaFont& font = list->TextFont(colors.NumberText, colors.NumberBack);
    font.Layout(Format("%.3d", FNumber), 0, block, band, kMusicIconSize, {}, kOxaWrapNone);
    font.Draw(*this, block, kMusicRowMargin + std::max(0, (kMusicIconSize - block.Width) / 2),
              top + std::max(0, (band - block.Height) / 2));
  }
}

void TMusicListViewItem::DrawCover(const TSurface& cover, int top, int band)
{
  const int width = std::min<int>(cover.Width(), kMusicIconSize);
  const int height = std::min<int>(cover.Height(), band);
  const int left = kMusicRowMargin + (kMusicIconSize - width) / 2;
  const int coverTop = top + (band - height) / 2;
  FillSurface({kMusicRowMargin, top, kMusicRowMargin + kMusicIconSize, top + band}, 0x000000);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = ScanLine(coverTop + y);
    if (row != nullptr && cover.BitsPerPixel() == 24) {
      std::memcpy(row + static_cast<std::size_t>(left) * 3, cover.Row(y),
                  static_cast<std::size_t>(width) * 3);
    }
  }
}

// --- TMusicListView ---

TScrollThumb ScrollBarThumb(int track, int view, int content, int offset, int minLength) noexcept
{
  track = std::max(0, track);
  if (content <= view || view <= 0)
    return {0, track};
  const int length = std::clamp(int(std::int64_t(track) * view / content), std::min(minLength, track), track);
  const int range = content - view;
  const int top = int(std::int64_t(track - length) * std::clamp(offset, 0, range) / range);
  return {top, length};
}

void TMusicListViewScrollBar::Show(int view, int content, int offset)
{
  FView = view;
  FContent = content;
  FOffset = offset;
  if (Width() <= 0 || Height() <= 0)
    return;
  const int track = Height() - 2 * ArrowHeight;
  FThumb = ScrollBarThumb(track, view, content, offset, 16);
  ChangeImageSize(Width(), Height(), 6);
  FillSurface(ClientRect(), 0x000000);
  TOxaBitmaps* store = Bitmaps();
  if (store == nullptr) {
    ContentChanged();
    return;
  }
  const auto image = [&](const char* name) { return store->Find(name); };
  const auto put = [&](TOxaBitmap* img, int y) {
    if (img != nullptr)
      img->Draw(*this, 0, y, {0, 0, img->ImageWidth(), img->ImageHeight()});
  };
  const bool upLit = FLit == TPart::ArrowUp || FPressed == TPart::ArrowUp;
  const bool downLit = FLit == TPart::ArrowDown || FPressed == TPart::ArrowDown;
  put(image(upLit ? "SCROLLARROWUPRA" : "SCROLLARROWUPN"), 0);
  put(image(downLit ? "SCROLLARROWDOWNRA" : "SCROLLARROWDOWNN"), Height() - ArrowHeight);
  TOxaBitmap* top = image("ScrollBarTopN");
  TOxaBitmap* body = image("ScrollBarBodyN");
  TOxaBitmap* bottom = image("ScrollBarBottomN");
  if (top != nullptr && body != nullptr && bottom != nullptr && track > 0) {
    const int y = ArrowHeight + FThumb.Top;
    const int ends = top->ImageHeight() + bottom->ImageHeight();
    put(top, y);
    if (FThumb.Length > ends)
      body->StretchDraw(*this,
                        {0, y + top->ImageHeight(), Width(), y + FThumb.Length - bottom->ImageHeight()});
    put(bottom, y + std::max(FThumb.Length, ends) - bottom->ImageHeight());
  }
  ContentChanged();
}

TMusicListViewScrollBar::TPart TMusicListViewScrollBar::PartAt(int y) const noexcept
{
  if (y < 0 || y >= Height())
    return TPart::None;
  if (y < ArrowHeight)
    return TPart::ArrowUp;
  if (y >= Height() - ArrowHeight)
    return TPart::ArrowDown;
  const int t = y - ArrowHeight;
  if (t < FThumb.Top)
    return TPart::TrackAbove;
  if (t < FThumb.Top + FThumb.Length)
    return TPart::Thumb;
  return TPart::TrackBelow;
}

int TMusicListViewScrollBar::OffsetForThumb(int thumbTop) const noexcept
{
  const int free = Height() - 2 * ArrowHeight - FThumb.Length;
  const int range = FContent - FView;
  if (free <= 0 || range <= 0)
    return 0;
  return int(std::int64_t(std::clamp(thumbTop, 0, free)) * range / free);
}

TDisplayListView* TMusicListViewScrollBar::List() const noexcept
{
  return dynamic_cast<TDisplayListView*>(Parent());
}

void TMusicListViewScrollBar::SetLit(TPart part)
{
  if (part != TPart::ArrowUp && part != TPart::ArrowDown)
    part = TPart::None;
  if (part == FLit)
    return;
  FLit = part;
  Redraw();
}

void TMusicListViewScrollBar::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
  TOxaBitmap::MouseDown(button, shift, x, y);
  TDisplayListView* list = List();
  if (button != TMouseButton::mbLeft || list == nullptr)
    return;
  const TPart part = PartAt(y);
  FPressed = part;
  const int page = std::max(1, FView);
  switch (part) {
    case TPart::ArrowUp:
    case TPart::ArrowDown:
      Redraw();
      list->ScrollBy(part == TPart::ArrowUp ? -kMusicRowHeight : kMusicRowHeight, true);
      break;
    case TPart::TrackAbove:
      list->ScrollBy(-page, true);
      break;
    case TPart::TrackBelow:
      list->ScrollBy(page, true);
      break;
    case TPart::Thumb:
      FGrab = y - ArrowHeight - FThumb.Top;
      break;
    case TPart::None:
      break;
  }
}

void TMusicListViewScrollBar::MouseMove(TShiftState shift, int x, int y)
{
  TOxaBitmap::MouseMove(shift, x, y);
  if (FGrab >= 0) {
    if (TDisplayListView* list = List())
      list->ScrollTo(OffsetForThumb(y - ArrowHeight - FGrab), false);
    return;
  }
  SetLit(x >= 0 && x < Width() ? PartAt(y) : TPart::None);
}

void TMusicListViewScrollBar::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
  TOxaBitmap::MouseUp(button, shift, x, y);
  if (button != TMouseButton::mbLeft)
    return;
  FGrab = -1;
  FPressed = TPart::None;
  FLit = x >= 0 && x < Width() ? PartAt(y) : TPart::None;
  if (FLit != TPart::ArrowUp && FLit != TPart::ArrowDown)
    FLit = TPart::None;
  Redraw();
}

void TMusicListViewScrollBar::MouseLeave()
{
  TOxaBitmap::MouseLeave();
  SetLit(TPart::None);
}

void TMusicListViewHeader::Compose()
{
  if (Width() <= 0 || Height() <= 0) {
    ChangeImageSize(0, 0, 6);
    return;
  }
  ChangeImageSize(Width(), Height(), 6);
  FillSurface(ClientRect(), Color());
  ContentChanged();
}

// A drag over a strip is a drag over the list beside its view (the gap, the auto-scroll band).
void TMusicListViewHeader::DragOver(TOxaBitmap* source, int x, int y)
{
  TOxaBitmap::DragOver(source, x, y);
  if (auto* list = dynamic_cast<TDisplayListView*>(Parent()))
    list->DragOver(source, x + Left(), y + Top());
}

void TMusicListViewHeader::DragMove(TOxaBitmap* source, int x, int y)
{
  TOxaBitmap::DragMove(source, x, y);
  if (auto* list = dynamic_cast<TDisplayListView*>(Parent()))
    list->DragMove(source, x + Left(), y + Top());
}

void TMusicListViewHeader::DragDrop(TOxaBitmap* source, int x, int y)
{
  TOxaBitmap::DragDrop(source, x, y);
  if (auto* list = dynamic_cast<TDisplayListView*>(Parent()))
    list->DragDrop(source, x + Left(), y + Top());
}

void TMusicListViewHeader::Resized()
{
  TOxaBitmap::Resized();
  Compose();
}

TMusicListView::TMusicListView(TOxaObjects* parentList)
    : TDisplayListView(parentList),
      FHeader(new TMusicListViewHeader(&Objects())),
      FFooter(new TMusicListViewHeader(&Objects())),
      FScrollBar(new TMusicListViewScrollBar(&Objects()))
{
  SetAsyncPaint(true);
  // Above the panel, which slides under them.
  FHeader->SetParent(this);
  FFooter->SetParent(this);
  FScrollBar->SetParent(this);
}

void TMusicListView::ScrollChanged()
{
  if (FScrollBar == nullptr)
    return;  // still being built
  const int view = std::max(0, Height() - HeaderHeight() - FooterHeight());
  const auto strip = [&](TMusicListViewHeader* node, int top, int height) {
    if (node->Left() != 0 || node->Top() != top || node->Width() != Width() || node->Height() != height)
      node->SetBounds(0, top, Width(), height);
  };
  strip(FHeader, 0, HeaderHeight());
  strip(FFooter, HeaderHeight() + view, FooterHeight());
  const RECT bounds{Width() - TMusicListViewScrollBar::BarWidth, HeaderHeight(), Width(),
                    HeaderHeight() + view};
  if (FScrollBar->BoundsRect().left != bounds.left || FScrollBar->Top() != bounds.top ||
      FScrollBar->Height() != view)
    FScrollBar->SetBounds(bounds.left, bounds.top, TMusicListViewScrollBar::BarWidth, view);
  FScrollBar->Show(view, Panel()->Height(), ScrollOffset());
  UpdateRowSurfaces();
}

bool TMusicListView::RowInReach(const TDisplayListViewItem* row) const noexcept
{
  const std::optional<int> parentTop = TopInPanel(row->Parent());
  return !parentTop || InReach(*parentTop + row->Top(), row->Height());
}

std::optional<int> TMusicListView::TopInPanel(const TOxaBitmap* node) const noexcept
{
  int top = 0;
  for (; node != nullptr && node != Panel(); node = node->Parent())
    top += node->Top();
  if (node == nullptr)
    return std::nullopt;
  return top;
}

bool TMusicListView::InReach(int top, int height) const noexcept
{
  const int view = std::max(0, Height() - HeaderHeight() - FooterHeight());
  return top + height > ScrollOffset() - view && top < ScrollOffset() + 2 * view;
}

void TMusicListView::UpdateRowSurfaces()
{
  // The rows of a group share their parent's place: found once for all of them, as a list of
  // thousands of rows does this on every frame of a slide.
  const TOxaBitmap* parent = nullptr;
  std::optional<int> parentTop;
  std::vector<TMusicListViewItem*> entering;
  std::vector<TMusicListViewItem*> leaving;
  for (int i = 0; i < ItemCount(); ++i) {
    auto* row = dynamic_cast<TMusicListViewItem*>(Items(i));
    if (row == nullptr)
      continue;
    if (row->Parent() != parent || i == 0) {
      parent = row->Parent();
      parentTop = TopInPanel(parent);
    }
    const bool reach = !parentTop || InReach(*parentTop + row->Top(), row->Height());
    if (reach && !row->Composed())
      entering.push_back(row);
    else if (!reach && row->Composed())
      leaving.push_back(row);
  }
  // Each row coming into reach redraws the surface of one that left it, when one of its size
  // is left.
  for (TMusicListViewItem* row : entering) {
    const auto same = std::find_if(leaving.rbegin(), leaving.rend(), [&](const TMusicListViewItem* old) {
      return old->Width() == row->Width() && old->Height() == row->Height();
    });
    if (same == leaving.rend()) {
      row->Compose();
      continue;
    }
    TMusicListViewItem* old = *same;
    leaving.erase(std::next(same).base());
    row->ComposeInto(*old);
  }
  for (TMusicListViewItem* row : leaving)
    row->ReleaseSurface();
}

void TMusicListView::SetCovers(std::shared_ptr<TCoverLoader> loader, TGroupCoverFile coverFile)
{
  FCovers = std::move(loader);
  FCoverFile = std::move(coverFile);
  FGroupFiles.clear();
}

const TSurface* TMusicListView::GroupCover(const TDbId& group)
{
  if (FCovers == nullptr || !FCoverFile || group.Level() != TDbIdLevel::Group) {
    return nullptr;
  }
  const auto key = std::make_pair(group.ViewId, group.GroupId);
  auto file = FGroupFiles.find(key);
  if (file == FGroupFiles.end()) {
    file = FGroupFiles.emplace(key, FCoverFile(group)).first;
  }
  if (file->second.empty()) {
    return nullptr;
  }
  const auto [state, picture] = FCovers->Cover(file->second, kMusicIconSize);
  if (state == TCoverLoader::TCoverState::Pending) {
    FCoversPending = true;
  }
  return picture;
}

void TMusicListView::CoversArrived()
{
  if (!FCoversPending) {
    return;
  }
  FCoversPending = false;
  for (int i = 0; i < ItemCount(); ++i) {
    auto* row = dynamic_cast<TMusicListViewItem*>(Items(i));
    if (row != nullptr && row->Composed() &&
        (row->Kind() == TMusicListViewItemKinds::mlkAlbum ||
         row->Kind() == TMusicListViewItemKinds::mlkFolder)) {
      row->Compose();
      row->ContentChanged();
    }
  }
}

void TMusicListView::ContentChanged()
{
  // A store that is freed, replaced, inherited or edited reaches the list only as a content
  // change.
  if (BeingDestroyed()) {
    TDisplayListView::ContentChanged();
    return;
  }
  const TOxaStoreStamp stamp(Bitmaps());
  if (!FTableStampTaken || stamp != FTableStamp) {
    FTableStamp = stamp;
    FTableStampTaken = true;
    FTablesBuilt = false;
    if (Showing())
      BuildTables();
    for (int i = 0; i < ItemCount(); ++i)
      if (auto* row = dynamic_cast<TMusicListViewItem*>(Items(i)))
        row->Compose();
  }
  TDisplayListView::ContentChanged();
}

TOxaBitmap* TMusicListView::Checked(const std::string& name, int width, const char* method) const
{
  TOxaBitmap* image = Bitmaps() != nullptr ? Bitmaps()->Find(name) : nullptr;
  if (image == nullptr) {
    TraceObject(this, Format("%s: Icon \"%s\" does not exist", method, name));
    return nullptr;
  }
  if (image->ImageWidth() != width || image->ImageHeight() != kMusicIconSize) {
    TraceObject(this, Format("ChangeBitmaps: Icon \"%s\" invalid size", name));
    return nullptr;
  }
  return image;
}

void TMusicListView::ChangeBitmaps()
{
  if (BeingDestroyed())
    return;
  FTableStamp = TOxaStoreStamp(Bitmaps());
  FTableStampTaken = true;
  FTablesBuilt = false;
  BuildTables();
  for (int i = 0; i < ItemCount(); ++i)
    if (auto* row = dynamic_cast<TMusicListViewItem*>(Items(i)))
      row->Compose();
}

void TMusicListView::BuildTables() const noexcept
{
  if (FTablesBuilt)
    return;
  for (auto& set : FDragInsert)
    set.fill(nullptr);
  for (auto& kind : FIcons)
    kind.fill(nullptr);
  FFlaps.fill(nullptr);
  // No store is no fault: the rows draw without images until one is set.
  if (Bitmaps() == nullptr) {
    FTablesBuilt = true;
    return;
  }
  try {
    static constexpr const char* kSets[] = {"A", "B", "C", "D"};
    for (int s = 0; s < 4; ++s) {
      for (int step = 1; step <= 10; ++step) {
        // The frames grow in height from step to step: only their width is fixed.
        const std::string name = Format("DragInsert%s%d", kSets[s], step);
        TOxaBitmap* image = Bitmaps()->Find(name);
        if (image == nullptr)
          TraceObject(this, Format("ChangeBitmaps: Icon \"%s\" does not exist", name));
        else if (image->ImageWidth() != kMusicIconSize || image->ImageHeight() > kMusicIconSize)
          TraceObject(this, Format("ChangeBitmaps: Icon \"%s\" invalid size", name));
        else
          FDragInsert[std::size_t(s)][std::size_t(step - 1)] = image;
      }
    }
    for (int k = 0; k < kMusicListViewItemKindCount; ++k) {
      const auto kind = static_cast<TMusicListViewItemKinds>(k);
      const std::string prefix(MusicListViewKindPrefix(kind));
      if (kind == TMusicListViewItemKinds::mlkTrack) {
        for (std::size_t c = 0; c < kMusicListTrackIconCodes.size(); ++c) {
          const std::string_view code = kMusicListTrackIconCodes[c];
          const std::string name =
              Format("%s%sX%s", prefix, std::string(1, code[0]), std::string(1, code[2]));
          FIcons[std::size_t(k)][c] = Checked(name, kMusicIconSize, "ChangeBitmaps");
        }
      } else {
        for (std::size_t c = 0; c < kMusicListIconCodes.size(); ++c) {
          const std::string_view code = kMusicListIconCodes[c];
          const std::string name = Format("%s%s%s%s", prefix, std::string(1, code[0]),
                                          std::string(1, code[1]), std::string(1, code[2]));
          FIcons[std::size_t(k)][c] = Checked(name, kMusicIconSize, "ChangeBitmaps");
        }
      }
    }
    for (std::size_t f = 0; f < kMusicListFlapCodes.size(); ++f) {
      const std::string_view code = kMusicListFlapCodes[f];
      const std::string name =
          Format("%s%s%s", std::string("FLAP-"), std::string(1, code[0]), std::string(1, code[1]));
      // The flap table has always traced under this spelling; log readers match on it.
      FFlaps[f] = Checked(name, kMusicFlapWidth, "ChangeBimaps");
    }
  } catch (const std::bad_alloc&) {
    // Drawn without the images not found yet; the tables are built again on the next need.
    return;
  }
  FTablesBuilt = true;
}

RECT TMusicListView::EditBounds(const TDisplayListViewItem* row) const
{
  const POINT p = RowOrigin(row);
  // The outer flap at the row's end stays in sight: it is the row's corner, not its caption.
  const int right =
      std::min(p.x + row->Width() - kMusicFlapWidth, Width() - TMusicListViewScrollBar::BarWidth);
  const int left = p.x + kMusicCaptionLeft;
  return {left, p.y, std::max(left, right), p.y + kMusicIconSize};
}

TOxaFont& TMusicListView::TextFont(TOxaColor text, TOxaColor back) const
{
  if (!FTextFont)
    FTextFont.reset(new TOxaFont(nullptr));
  TOxaGdiFont gdi = Font() != nullptr ? Font()->GdiFont() : TOxaGdiFont{};
  gdi.Color = text;
  FTextFont->SetGdiFont(gdi);
  FTextFont->SetGdiColor(back);
  return *FTextFont;
}

TOxaBitmap* TMusicListView::Icon(TMusicListViewItemKinds kind, int state) const noexcept
{
  const int k = static_cast<int>(kind);
  if (k < 0 || k >= kMusicListViewItemKindCount)
    return nullptr;
  const bool track = kind == TMusicListViewItemKinds::mlkTrack;
  const std::string code = MusicListViewIconCode(track, MusicListViewEntry(track, state));
  const int c = track ? CodeIndex(kMusicListTrackIconCodes, code) : CodeIndex(kMusicListIconCodes, code);
  BuildTables();
  return c < 0 ? nullptr : FIcons[std::size_t(k)][std::size_t(c)];
}

TOxaBitmap* TMusicListView::Flap(std::string_view code) const noexcept
{
  const int f = CodeIndex(kMusicListFlapCodes, code);
  BuildTables();
  return f < 0 ? nullptr : FFlaps[std::size_t(f)];
}

TOxaBitmap* TMusicListView::DragInsert(int set, int step) const noexcept
{
  if (set < 0 || set >= 4 || step < 1 || step > 10)
    return nullptr;
  BuildTables();
  return FDragInsert[std::size_t(set)][std::size_t(step - 1)];
}
