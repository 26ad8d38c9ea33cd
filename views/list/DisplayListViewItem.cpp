#include "views/list/DisplayListViewItem.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <utility>

#include "views/list/DisplayListView.h"
#include "views/list/MusicListViewDrag.h"

namespace {

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
