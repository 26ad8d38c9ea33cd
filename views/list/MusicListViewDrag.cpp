// Dragging rows: the box that follows the pointer, the insertion gap and its animation, and the
// auto-scroll loop at the edges of the view.

#include "views/list/MusicListViewDrag.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "framework/OxaUtils.h"
#include "platform/windows/Input.h"
#include "rtl/Format.h"
#include "views/list/DisplayListView.h"
#include "views/list/MusicListView.h"
#include "views/list/MusicListViewItem.h"

// --- TMusicListViewDrag ---

void TMusicListViewDrag::Compose(int width)
{
  TOxaBitmaps* store = Bitmaps();
  TOxaBitmap* left = store != nullptr ? store->Find("MovingBoxLeftN") : nullptr;
  TOxaBitmap* body = store != nullptr ? store->Find("MovingBoxBodyN") : nullptr;
  TOxaBitmap* right = store != nullptr ? store->Find("MovingBoxRightN") : nullptr;
  const int leftWidth = left != nullptr ? left->ImageWidth() : 0;
  const int rightWidth = right != nullptr ? right->ImageWidth() : 0;
  // The caption in the platform part of the box's font, white on the body's colour.
  const TOxaColor back =
      body != nullptr && body->ImageHeight() > 0 ? body->GetPixel(0, body->ImageHeight() / 2) : 0;
  TOxaFont font(nullptr);
  TOxaGdiFont gdi = Font() != nullptr ? Font()->GdiFont() : TOxaGdiFont{};
  gdi.Color = 0xFFFFFF;
  font.SetGdiFont(gdi);
  font.SetGdiColor(back);
  TOxaTextBlock block;
  if (!Caption.empty())
    font.Layout(Caption, 0, block, BoxHeight, 4096, {}, kOxaWrapNone);
  width = std::max({width, leftWidth + rightWidth, block.Count > 0 ? block.Width + 2 * CaptionMargin : 0});
  SetBounds(Left(), Top(), width, BoxHeight);
  ChangeImageSize(width, BoxHeight, 6);
  FillSurface(ClientRect(), 0x000000);
  if (left != nullptr)
    left->Draw(*this, 0, 0, {0, 0, leftWidth, left->ImageHeight()});
  if (body != nullptr && width > leftWidth + rightWidth)
    body->StretchDraw(*this, {leftWidth, 0, width - rightWidth, BoxHeight});
  if (right != nullptr)
    right->Draw(*this, width - rightWidth, 0, {0, 0, rightWidth, right->ImageHeight()});
  if (block.Count > 0)
    font.Draw(*this, block, CaptionMargin, std::max(0, (BoxHeight - block.Height) / 2));
  ContentChanged();
}

void TMusicListViewDrag::DragEnd()
{
  TOxaBitmap::DragEnd();
  if (Source != nullptr)
    Source->EndRowDrag();
}

// --- TDisplayListView ---

void TDisplayListView::SetPointerSource(std::function<bool(POINT&)> position, std::function<bool()> held)
{
  FPointer = std::move(position);
  FButtonHeld = std::move(held);
}

void TDisplayListView::BeginRowDrag(TDisplayListViewItem* row)
{
  TOxaImage* control = Control();
  if (row == nullptr || row->FList != this || control == nullptr || control->Dragged() != nullptr ||
      control->Bitmap() == nullptr || FNoInput || row->NoInput() || !MayDrag(row))
    return;
  if (!IsSelected(row)) {
    BeginSelection();
    ClearSelection();
    Select(row);
    EndSelection();
  }
  row->FModifierClick = false;
  row->SetPressed(false);
  if (FDragBox == nullptr) {
    FDragBox = new TMusicListViewDrag(&Objects());
    FDragBox->SetIgnoreMouse(true);
  }
  FDragBox->Source = this;
  FDragBox->Caption = CaptionOf(row);
  FDragBox->Records.clear();
  FDragBox->Payloads = SelectedRecords();
  for (const TDisplayListViewItem* selected : FSelected)
    FDragBox->Records.push_back(selected->RecordIndex());
  TOxaBitmap* root = control->Bitmap();
  FDragBox->SetParent(root);
  // Drawn from the list's images and font wherever in the tree it floats.
  FDragBox->SetBitmaps(Bitmaps());
  FDragBox->SetFont(Font());
  FDragBox->BringToFront();
  FDragBox->Compose(0);
  FDragging = true;
  if (!FDragHook) {
    FDragHook.reset(new TOxaMouseHook);
    FDragHook->OnMouseMove = MakeMethod<&TDisplayListView::DragHookMove>(this);
  }
  control->AddHook(FDragHook.get());
  FHookControl = control;
  POINT p{};
  if (FPointer ? FPointer(p) : GetCursorPos(&p) != FALSE)
    MoveDragBox(root->PointToControl(root->ScreenToPoint(p)));
  control->BeginDrag(FDragBox, TMouseButton::mbLeft, TMusicListViewDrag::Grip);
}

void TDisplayListView::MoveDragBox(POINT client)
{
  if (!FDragging || FDragBox == nullptr || FDragBox->Parent() == nullptr)
    return;
  const POINT p = FDragBox->Parent()->ControlToPoint(client);
  FDragBox->SetBounds(p.x - TMusicListViewDrag::Grip.x, p.y - TMusicListViewDrag::Grip.y, FDragBox->Width(),
                      FDragBox->Height());
}

void TDisplayListView::DragHookMove(TOxaImage*, TMouseButton, TShiftState, int x, int y, bool&)
{
  // Not handled: the control goes on to tell the node under the pointer.
  MoveDragBox({x, y});
  // The band beside the view lies outside the list, over nodes that are not the list's: the
  // hook sees the pointer there.
  const POINT p = ControlToPoint({x, y});
  const int view = Height() - FHeaderHeight - FFooterHeight;
  if (p.x >= 0 && p.x < Width() && DisplayListDragScrollDelta(p.y - FHeaderHeight, view, 5) != 0)
    DragAutoScroll();
}

void TDisplayListView::EndRowDrag() noexcept
{
  if (!FDragging)
    return;
  FDragging = false;
  if (FHookControl != nullptr && FDragHook)
    FHookControl->RemoveHook(FDragHook.get());
  FHookControl = nullptr;
  if (FGapRow != nullptr)
    FGapRow->SetInsertGap(false, false);
  FGapRow = nullptr;
  if (FDragBox != nullptr) {
    try {
      FDragBox->SetParent(nullptr);
    } catch (...) {
      FDragBox->SetVisible(false);
    }
  }
}

void TDisplayListView::DropTransientState()
{
  if (FDragging) {
    // The control lets the box go first, so it never holds a node that left the tree.
    if (FHookControl != nullptr && FHookControl->Dragged() == FDragBox)
      FHookControl->EndDrag();
    EndRowDrag();
  }
  // The gap may be open for another list's drag.
  if (FGapRow != nullptr) {
    FGapRow->SetInsertGap(false, false);
    FGapRow = nullptr;
  }
  if (FEditRow != nullptr)
    SetEditRow(nullptr);
  TOxaImage* control = Control();
  for (TDisplayListViewItem* row : FItems) {
    if (row->FPressed) {
      row->FModifierClick = false;
      row->SetPressed(false);
      if (control != nullptr && control->Captured() == row)
        control->SetCaptured(nullptr);
    }
  }
  BeginSelection();
  ClearSelection();
  EndSelection();
}

void TDisplayListView::SetControl(TOxaImage* control)
{
  if (control != Control() && FEditRow != nullptr && FEditor) {
    // The editor is a window of the old host: the edit ends there, its text kept.
    TDisplayListViewItem* row = FEditRow;
    const std::string text = ProperCase(FEditor->Text());
    CloseEditor();
    row->SetCaption(text);
    if (OnEdited)
      OnEdited(this, row);
  }
  if (control != FHookControl && FHookControl != nullptr) {
    // Leaving the control the drag runs in: the drag cannot go on.
    if (FHookControl->Dragged() == FDragBox)
      FHookControl->EndDrag();
    EndRowDrag();
  }
  TOxaDarkenBitmap::SetControl(control);
}

int TDisplayListView::DragAutoScroll()
{
  if (FAutoScrolling)
    return 0;
  const int view = std::max(0, Height() - FHeaderHeight - FFooterHeight);
  if (FPanel->Height() <= view)
    return 0;  // nothing to scroll
  FAutoScrolling = true;
  const std::uint64_t begin = FClock();
  const int start = FScrollOffset;
  int scrolled = 0;   // toward the pointer, in pixels
  int direction = 0;  // -1 up, 1 down
  try {
    for (;;) {
      POINT p{};
      if (!(FPointer ? FPointer(p) : GetCursorPos(&p) != FALSE))
        break;
      if (!(FButtonHeld ? FButtonHeld() : GetAsyncKeyState(VK_LBUTTON) < 0))
        break;  // the drag ended
      const POINT local = ScreenToPoint(p);
      if (local.x < 0 || local.x >= Width())
        break;
      const int elapsed = int(std::min<std::uint64_t>(FClock() - begin, 1u << 30));
      const int delta = DisplayListDragScrollDelta(local.y - FHeaderHeight, view, elapsed);
      const int want = delta < 0 ? -1 : delta > 0 ? 1 : 0;
      if (want == 0 || (direction != 0 && want != direction))
        break;
      direction = want;
      const int step = std::abs(delta) - scrolled;
      if (step > 0) {
        const int before = FScrollOffset;
        ScrollTo(FScrollOffset + direction * step, false);
        scrolled += step;
        if (Control() != nullptr)
          PaintToControl();
        if (FScrollOffset == before && (FScrollOffset == 0 || FScrollOffset == MaxScrollOffset()))
          break;  // at the end of the range
      }
    }
  } catch (...) {
    FAutoScrolling = false;
    throw;
  }
  FAutoScrolling = false;
  return std::abs(FScrollOffset - start);
}

// The list itself under the box (no row): the list takes the drop when it asks to, else the gap
// opens at the first row.
void TDisplayListView::DragOver(TOxaBitmap* source, int x, int y)
{
  TOxaDarkenBitmap::DragOver(source, x, y);
  DragMove(source, x, y);
}

void TDisplayListView::DragMove(TOxaBitmap* source, int x, int y)
{
  TOxaDarkenBitmap::DragMove(source, x, y);
  auto* drag = dynamic_cast<TMusicListViewDrag*>(source);
  if (drag == nullptr)
    return;
  TDisplayListViewItem* first = FItems.empty() ? nullptr : FItems.front();
  FDropAtEnd = !FNoInput && TakesDropAtEnd && TakesDropAtEnd();
  if (FDropAtEnd) {
    // Below the rows: no gap at a row, the drop belongs to the list.
    if (FGapRow != nullptr)
      SetGap(FGapRow, false, false, nullptr);
    drag->SetCursor(CursorDrag);
  } else if (FNoInput || first == nullptr || first->NoInput() || !MayDrop(first)) {
    drag->SetCursor(CursorNoCanDo);
  } else {
    SetGap(first, true, false, drag);
    drag->SetCursor(CursorDrag);
  }
  const int view = Height() - FHeaderHeight - FFooterHeight;
  if (DisplayListDragScrollDelta(y - FHeaderHeight, view, 5) != 0)
    DragAutoScroll();
}

void TDisplayListView::DragLeave(TOxaBitmap* source, int x, int y)
{
  TOxaDarkenBitmap::DragLeave(source, x, y);
  FDropAtEnd = false;
  if (FGapRow != nullptr && !FItems.empty() && FGapRow == FItems.front())
    SetGap(FGapRow, false, false, nullptr);
}

void TDisplayListView::DragDrop(TOxaBitmap* source, int x, int y)
{
  TOxaDarkenBitmap::DragDrop(source, x, y);
  auto* drag = dynamic_cast<TMusicListViewDrag*>(source);
  if (drag == nullptr)
    return;
  if (std::exchange(FDropAtEnd, false)) {
    // Asked again: what the list shows may have changed since the box last moved.
    if (!FNoInput && TakesDropAtEnd && TakesDropAtEnd())
      QueueDrop({drag->Caption, drag->Records, nullptr, true, drag->Source, drag->Payloads});
    return;
  }
  if (FGapRow != nullptr)
    RowDragDrop(FGapRow, *drag);
}

// --- TMusicListView ---

int TMusicListView::GapSet(const TMusicListViewItem& row, const TMusicListViewDrag& drag) noexcept
{
  const bool own = drag.Source == row.List();
  return (own ? 2 : 0) + (row.IsTrack() ? 0 : 1);
}

void TMusicListView::GapOpened(TDisplayListViewItem* row, const TMusicListViewDrag& drag)
{
  auto* music = dynamic_cast<TMusicListViewItem*>(row);
  if (music == nullptr)
    return;
  const int set = GapSet(*music, drag);
  // The gap grows through the ten frames; the row may be freed by a repaint's handler.
  const std::uint64_t begin = Now();
  for (int step = 1; step <= 10; ++step) {
    if (row->List() != this || GapRow() != row)
      return;
    music->SetGapStep(set, step);
    if (Control() != nullptr)
      PaintToControl();
    if (step == 10)
      break;
    while (Now() - begin < std::uint64_t(GapOpenMs * step / 10)) {
    }
  }
}
