// The control that hosts a node tree: painting, input routing, the callback queue.
#include "graphics/OxaImage.h"

#include <algorithm>
#include <cassert>
#include <memory>

#include "platform/windows/Input.h"
#include "platform/windows/Messages.h"

// --- TOxaCallbackItem ---

TOxaCallbackItem::TOxaCallbackItem(TOxaImage* control, const TOxaCallbackEvent& callback, TOxaBitmap* node)
    : FControl(control), FCallback(callback), FNode(node)
{
}

TOxaCallbackItem::~TOxaCallbackItem()
{
  if (FControl != nullptr) {
    auto& queue = FControl->FQueue;
    queue.erase(std::remove(queue.begin(), queue.end(), this), queue.end());
  }
}

// --- TOxaImage ---

TOxaImage::TOxaImage(TComponent* owner) : TOxaCustomControl(owner) {}

TOxaImage::~TOxaImage()
{
  if (FBitmap != nullptr) {
    // The owner should have let the root go; it is let go here all the same, so no node keeps
    // a pointer to this control.
    TraceLine(ClassName() + ".Destroy: Failed to detach " + ClassName() + ".Bitmap");
    assert(false && "TOxaImage destroyed with its root attached; see the trace");
    SetBitmap(nullptr);
  }
  for (TOxaCallbackItem* item : FQueue) {
    item->FControl = nullptr;
    if (item->FNode != nullptr) {
      item->FNode->FAsyncPosted = false;
    }
  }
  FQueue.clear();
  FScratch.reset();
  DestroyHandle();
}

TOxaBitmap* TOxaImage::Scratch()
{
  if (!FScratch) {
    FScratch.reset(new TOxaBitmap(nullptr));
  }
  return FScratch.get();
}

void TOxaImage::CreateParams(TCreateParams& params)
{
  TOxaCustomControl::CreateParams(params);
  params.WinClassName = "TOxaImage";
}

void TOxaImage::SetParent(TOxaImage* parent)
{
  if (parent == this) {
    throw EOxaFatal(ClassName() + ".SetParent: Parent can not be a child or self");
  }
  SetParentWindow(parent != nullptr ? parent->Handle() : nullptr);
}

void TOxaImage::SetBitmap(TOxaBitmap* node)
{
  if (node == FBitmap) {
    return;
  }
  TOxaBitmap* old = FBitmap;
  FBitmap = nullptr;
  if (old != nullptr) {
    old->SetControl(nullptr);
  }
  if (node != nullptr) {
    if (node->Parent() != nullptr) {
      node->SetParent(nullptr);
    }
    if (node->Control() != nullptr && node->Control() != this && node->Control()->Bitmap() == node) {
      node->Control()->SetBitmap(nullptr);
    }
    FBitmap = node;
    node->SetControl(this);
  }
  Invalidate();
}

void TOxaImage::SetBounds(int left, int top, int width, int height)
{
  MoveWindow(Handle(), left, top, width, height, TRUE);
}

void TOxaImage::Show()
{
  ShowWindow(Handle(), SW_SHOW);
}

bool TOxaImage::Showing()
{
  return HandleAllocated() && IsWindowVisible(Handle());
}

void TOxaImage::Invalidate()
{
  // The tree may have changed under a still pointer: the next paint looks again.
  FMouseOverPending = true;
  if (HandleAllocated()) {
    InvalidateRect(Handle(), nullptr, FALSE);
  }
}

// --- Nodes of interest ---

bool TOxaImage::Below(const TOxaBitmap* node, const TOxaBitmap* root) noexcept
{
  for (; node != nullptr; node = node->Parent()) {
    if (node == root) {
      return true;
    }
  }
  return false;
}

void TOxaImage::ForgetNode(TOxaBitmap* node) noexcept
{
  if (node == nullptr) {
    return;
  }
  if (Below(FCaptured, node)) {
    FCaptured = nullptr;
    if (HandleAllocated() && GetCapture() == Handle()) {
      ReleaseCapture();
    }
  }
  if (Below(FFocused, node)) {
    FFocused = nullptr;
  }
  if (Below(FHovered, node)) {
    FHovered = nullptr;
  }
  if (Below(FDragged, node)) {
    FDragged = nullptr;
  }
}

void TOxaImage::SetCaptured(TOxaBitmap* node)
{
  if (node == FCaptured) {
    return;
  }
  TOxaBitmap* old = FCaptured;
  FCaptured = node;
  if (FDragged != nullptr) {
    EndDrag();
  }
  if (old != nullptr) {
    old->CaptureLost();
  }
  if (node != nullptr && FCaptured == node) {
    if (GetCapture() != Handle()) {
      SetCapture(Handle());
    }
    node->CaptureGained();
    if (FCaptured == node && node->WantsFocus()) {
      SetFocused(node);
    }
  } else if (node == nullptr && HandleAllocated() && GetCapture() == Handle()) {
    ReleaseCapture();
  }
}

void TOxaImage::SetFocused(TOxaBitmap* node)
{
  if (node == FFocused) {
    return;
  }
  TOxaBitmap* old = FFocused;
  FFocused = node;
  if (old != nullptr) {
    old->Exit();
  }
  if (node != nullptr && FFocused == node) {
    node->Enter();
    if (GetFocus() != Handle()) {
      SetFocus(Handle());
    }
  }
}

void TOxaImage::SetHovered(TOxaBitmap* node)
{
  if (node == FHovered) {
    return;
  }
  TOxaBitmap* old = FHovered;
  FHovered = node;
  if (old != nullptr) {
    if (FDragged != nullptr) {
      old->DragLeave(FDragged, 0, 0);
    }
    old->MouseLeave();
  }
  if (node != nullptr && FHovered == node) {
    node->MouseEnter();
    if (FDragged != nullptr && FHovered == node) {
      const POINT p = node->ControlToPoint(FLastMouse);
      node->DragOver(FDragged, p.x, p.y);
    }
  }
}

void TOxaImage::BeginDrag(TOxaBitmap* node, TMouseButton button, POINT offset)
{
  if (node == nullptr) {
    EndDrag();
    return;
  }
  FDragged = node;
  FDragButton = button;
  FDragOffset = offset;
  node->DragBegin();
}

void TOxaImage::EndDrag()
{
  TOxaBitmap* dragged = FDragged;
  FDragged = nullptr;
  FDragOffset = {};
  if (dragged != nullptr) {
    dragged->DragEnd();
  }
}

// --- Hooks ---

void TOxaImage::AddHook(TOxaCustomHook* hook)
{
  std::lock_guard lock(FHookLock);
  FHooks.push_back(hook);
}

void TOxaImage::RemoveHook(TOxaCustomHook* hook)
{
  std::lock_guard lock(FHookLock);
  FHooks.erase(std::remove(FHooks.begin(), FHooks.end(), hook), FHooks.end());
}

// --- Callback queue ---

TOxaCallbackItem* TOxaImage::QueueCallback(TOxaBitmap* node, const TOxaCallbackEvent& callback)
{
  // Owned by the node's dependants list from here on.
  auto owned = std::make_unique<TOxaCallbackItem>(nullptr, callback, node);
  node->Objects().Add(owned.get());
  TOxaCallbackItem* item = owned.release();
  item->FControl = this;
  FQueue.push_back(item);
  PostMessageA(Handle(), WM_OXA_CALLBACK, 0, 0);
  return item;
}

void TOxaImage::DropCallbacks(TOxaBitmap* node) noexcept
{
  std::vector<TOxaCallbackItem*> dropped;
  for (TOxaCallbackItem* item : FQueue) {
    if (item->FNode == node) {
      dropped.push_back(item);
    }
  }
  for (TOxaCallbackItem* item : dropped) {
    try {
      if (!node->Objects().Destroying()) {
        node->Objects().Remove(item);
        FreeObject(item);
      } else {
        item->FControl = nullptr;
      }
    } catch (...) {
      item->FControl = nullptr;
    }
    FQueue.erase(std::remove(FQueue.begin(), FQueue.end(), item), FQueue.end());
  }
  if (!dropped.empty()) {
    node->FAsyncPosted = false;
  }
}

void TOxaImage::RunCallbacks()
{
  // Only what was queued before this run; callbacks queue new ones for the next message.
  std::size_t count = FQueue.size();
  while (count-- > 0 && !FQueue.empty()) {
    TOxaCallbackItem* item = FQueue.front();
    FQueue.erase(FQueue.begin());
    item->FControl = nullptr;
    const TOxaCallbackEvent callback = item->FCallback;
    TOxaBitmap* node = item->FNode;
    node->Objects().Remove(item);
    FreeObject(item);
    callback(this, node);
  }
}

void TOxaImage::PaintCallback(TOxaImage* /*sender*/, TOxaBitmap* node)
{
  node->FAsyncPosted = false;
  if (node->FDirty) {
    node->PaintToControl();
  }
}

// --- Input ---

TOxaBitmap* TOxaImage::HitAt(int x, int y, POINT& local)
{
  if (FBitmap == nullptr || !FBitmap->Visible()) {
    return nullptr;
  }
  local = {x, y};
  return FBitmap->FindChildAt(local);
}

void TOxaImage::TrackLeave()
{
  if (!FMouseInside) {
    FMouseInside = true;
    if (OnMouseInside) {
      OnMouseInside(this);
    }
  }
  if (!FTracking) {
    if (TTrackMouseEventProc track = OxaTrackMouseEvent(); track != nullptr) {
      TRACKMOUSEEVENT request{};
      request.cbSize = sizeof(request);
      request.dwFlags = TME_LEAVE;
      request.hwndTrack = Handle();
      FTracking = track(&request) != FALSE;
    }
  }
}

void TOxaImage::DoMouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
  FLastMouse = {x, y};
  if (RunHooks<TOxaMouseHook>([&](TOxaMouseHook& hook, bool& handled) {
        if (hook.OnMouseDown) {
          hook.OnMouseDown(this, button, shift, x, y, handled);
        }
      })) {
    return;
  }
  const bool doubleClick = button == TMouseButton::mbLeft && (shift & ssDouble) != 0;
  if (FBitmap != nullptr && FBitmap->Visible()) {
    if (TOxaBitmap* captured = FCaptured; captured != nullptr) {
      const POINT p = captured->ControlToPoint({x, y});
      captured->MouseDown(button, shift, p.x, p.y);
      if (doubleClick && FCaptured == captured) {
        captured->DblClick();
      }
    } else {
      POINT p{};
      if (TOxaBitmap* hit = HitAt(x, y, p); hit != nullptr) {
        FDragButton = button;
        FDragOffset = p;
        SetHovered(hit);
        if (FHovered == hit && FDragged == nullptr) {
          SetCaptured(hit);
          if (FCaptured == hit) {
            hit->MouseDown(button, shift, p.x, p.y);
            if (doubleClick && FCaptured == hit) {
              hit->DblClick();
            }
          }
        }
      } else {
        SetHovered(nullptr);
        SetCaptured(nullptr);
      }
    }
  }
  TOxaCustomControl::MouseDown(button, shift, x, y);
}

void TOxaImage::DoMouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
  FLastMouse = {x, y};
  if (RunHooks<TOxaMouseHook>([&](TOxaMouseHook& hook, bool& handled) {
        if (hook.OnMouseUp) {
          hook.OnMouseUp(this, button, shift, x, y, handled);
        }
      })) {
    return;
  }
  if (FCaptured == nullptr && FDragged == nullptr) {
    TraceLine(ClassName() + ".MouseUp: Ignored. Mouse is not focused or dragged");
  } else if (FBitmap != nullptr && FBitmap->Visible()) {
    if (TOxaBitmap* dragged = FDragged; dragged != nullptr) {
      POINT p{};
      if (TOxaBitmap* target = HitAt(x, y, p); target != nullptr) {
        target->DragDrop(dragged, p.x, p.y);
      }
      EndDrag();
      SetCaptured(nullptr);
    } else if (TOxaBitmap* captured = FCaptured; captured != nullptr) {
      const POINT p = captured->ControlToPoint({x, y});
      captured->MouseUp(button, shift, p.x, p.y);
      if (FCaptured == captured) {
        POINT at{};
        if (button == TMouseButton::mbLeft && HitAt(x, y, at) == captured) {
          captured->Click();
        }
      }
      if (FCaptured == captured) {
        SetCaptured(nullptr);
      }
    }
  }
  TOxaCustomControl::MouseUp(button, shift, x, y);
}

void TOxaImage::DoMouseMove(TShiftState shift, int x, int y)
{
  FLastMouse = {x, y};
  FMouseOverPending = false;
  TrackLeave();
  if (RunHooks<TOxaMouseHook>([&](TOxaMouseHook& hook, bool& handled) {
        if (hook.OnMouseMove) {
          hook.OnMouseMove(this, TMouseButton::mbLeft, shift, x, y, handled);
        }
      })) {
    return;
  }
  if (FBitmap != nullptr && FBitmap->Visible()) {
    if (TOxaBitmap* dragged = FDragged; dragged != nullptr) {
      POINT p{};
      TOxaBitmap* target = HitAt(x, y, p);
      SetHovered(target);
      if (target != nullptr && FHovered == target && FDragged == dragged) {
        target->DragMove(dragged, p.x, p.y);
      }
    } else if (TOxaBitmap* captured = FCaptured; captured != nullptr) {
      const POINT p = captured->ControlToPoint({x, y});
      captured->MouseMove(shift, p.x, p.y);
    } else {
      POINT p{};
      TOxaBitmap* hit = HitAt(x, y, p);
      SetHovered(hit);
      if (hit != nullptr && FHovered == hit) {
        hit->MouseMove(shift, p.x, p.y);
      }
    }
  }
  TOxaCustomControl::MouseMove(shift, x, y);
}

void TOxaImage::DoMouseWheel(TShiftState shift, int delta, int x, int y)
{
  FLastMouse = {x, y};
  if (RunHooks<TOxaMouseHook>([&](TOxaMouseHook& hook, bool& handled) {
        if (hook.OnMouseWheel) {
          hook.OnMouseWheel(this, shift, delta, x, y, handled);
        }
      })) {
    return;
  }
  if (FBitmap != nullptr && FBitmap->Visible()) {
    POINT p{};
    TOxaBitmap* node = FCaptured != nullptr ? FCaptured : HitAt(x, y, p);
    if (node != nullptr) {
      if (node == FCaptured) {
        p = node->ControlToPoint({x, y});
      }
      bool handled = false;
      node->MouseWheel(shift, delta, p.x, p.y, handled);
      if (!handled && (FCaptured == node || FCaptured == nullptr)) {
        if (delta < 0) {
          node->MouseWheelDown(shift, p.x, p.y, handled);
        } else if (delta > 0) {
          node->MouseWheelUp(shift, p.x, p.y, handled);
        }
      }
    }
  }
  POINT screen{x, y};
  if (HandleAllocated()) {
    ClientToScreen(Handle(), &screen);
  }
  TOxaCustomControl::MouseWheel(shift, delta, screen);
}

void TOxaImage::DoMouseLeave()
{
  FTracking = false;
  if (FCaptured == nullptr && FDragged == nullptr) {
    SetHovered(nullptr);
  }
  if (FMouseInside) {
    FMouseInside = false;
    if (OnMouseOutside) {
      OnMouseOutside(this);
    }
  }
  TOxaCustomControl::MouseLeave();
}

void TOxaImage::DoKeyDown(WORD& key, TShiftState shift)
{
  if (RunHooks<TOxaKeyHook>([&](TOxaKeyHook& hook, bool& handled) {
        if (hook.OnKeyDown) {
          hook.OnKeyDown(this, key, shift, handled);
        }
      })) {
    return;
  }
  if (FFocused != nullptr && FFocused->Enabled()) {
    FFocused->KeyDown(key, shift);
  }
  TOxaCustomControl::KeyDown(key, shift);
}

void TOxaImage::DoKeyUp(WORD& key, TShiftState shift)
{
  if (RunHooks<TOxaKeyHook>([&](TOxaKeyHook& hook, bool& handled) {
        if (hook.OnKeyUp) {
          hook.OnKeyUp(this, key, shift, handled);
        }
      })) {
    return;
  }
  if (FFocused != nullptr && FFocused->Enabled()) {
    FFocused->KeyUp(key, shift);
  }
  TOxaCustomControl::KeyUp(key, shift);
}

void TOxaImage::DoKeyPress(char32_t& key)
{
  if (RunHooks<TOxaKeyHook>([&](TOxaKeyHook& hook, bool& handled) {
        if (hook.OnKeyPress) {
          hook.OnKeyPress(this, key, handled);
        }
      })) {
    return;
  }
  if (FFocused != nullptr && FFocused->Enabled()) {
    FFocused->KeyPress(key);
  }
  TOxaCustomControl::KeyPress(key);
}

// --- Painting ---

void TOxaImage::RefreshMouseOver()
{
  if (!FMouseOverPending || !FMouseInside || FCaptured != nullptr || FDragged != nullptr) {
    return;
  }
  FMouseOverPending = false;
  POINT p{};
  SetHovered(HitAt(FLastMouse.x, FLastMouse.y, p));
}

void TOxaImage::PaintTo(HDC dc, const RECT& clip)
{
  ++FPaintCount;
  RECT covered{0, 0, 0, 0};
  if (FBitmap != nullptr && FBitmap->Visible()) {
    RefreshMouseOver();
  }
  if (FBitmap != nullptr && FBitmap->Visible()) {
    FBitmap->BitBltToDC(dc, FBitmap->Left(), FBitmap->Top(), clip);
    covered = FBitmap->BoundsRect();
  }
  // What the root leaves of the clip: up to four bands around its rectangle.
  RECT inside{};
  if (!IntersectRect(&inside, &covered, &clip)) {
    inside = {clip.left, clip.top, clip.left, clip.top};
  }
  const RECT bands[] = {{clip.left, clip.top, clip.right, inside.top},
                        {clip.left, inside.bottom, clip.right, clip.bottom},
                        {clip.left, inside.top, inside.left, inside.bottom},
                        {inside.right, inside.top, clip.right, inside.bottom}};
  TGdiObject<HBRUSH> brush;
  for (const RECT& band : bands) {
    if (band.right > band.left && band.bottom > band.top) {
      if (brush.Get() == nullptr) {
        brush = TGdiObject<HBRUSH>(CreateSolidBrush(FColor & 0xFFFFFF));
      }
      ::FillRect(dc, &band, brush.Get());
    }
  }
  if (OnPaint) {
    OnPaint(this);
  }
}

void TOxaImage::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
  DoMouseDown(button, shift, x, y);
}

void TOxaImage::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
  DoMouseUp(button, shift, x, y);
}

void TOxaImage::MouseMove(TShiftState shift, int x, int y)
{
  DoMouseMove(shift, x, y);
}

bool TOxaImage::MouseWheel(TShiftState shift, int wheelDelta, POINT mousePos)
{
  ScreenToClient(Handle(), &mousePos);
  DoMouseWheel(shift, wheelDelta, mousePos.x, mousePos.y);
  return true;
}

void TOxaImage::MouseLeave()
{
  DoMouseLeave();
}

void TOxaImage::KeyDown(WORD& key, TShiftState shift)
{
  DoKeyDown(key, shift);
}

void TOxaImage::KeyUp(WORD& key, TShiftState shift)
{
  DoKeyUp(key, shift);
}

void TOxaImage::KeyPress(char32_t& key)
{
  DoKeyPress(key);
}

int TOxaImage::CurrentCursor() const noexcept
{
  if (FHovered != nullptr && FHovered->Cursor() != crDefault) {
    return FHovered->Cursor();
  }
  return FDefaultCursor;
}

void TOxaImage::WndProc(TMessage& message)
{
  switch (message.Msg) {
    case WM_OXA_CALLBACK:
      RunCallbacks();
      message.Result = 0;
      return;
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC dc = BeginPaint(Handle(), &paint);
      if (dc != nullptr) {
        PaintTo(dc, paint.rcPaint);
      }
      EndPaint(Handle(), &paint);
      message.Result = 0;
      return;
    }
    case WM_ERASEBKGND:
      message.Result = 1;
      return;
    case WM_SETCURSOR:
      if (Screen().Cursor() == crDefault) {
        ::SetCursor(Screen().Cursors(CurrentCursor()));
        message.Result = TRUE;
        return;
      }
      break;
    case WM_CAPTURECHANGED:
      if (HWND(message.LParam) != Handle() && FCaptured != nullptr) {
        SetCaptured(nullptr);
      }
      message.Result = 0;
      return;
    case WM_SIZE:
      FMouseOverPending = true;
      break;
    default:
      break;
  }
  TOxaCustomControl::WndProc(message);
}
