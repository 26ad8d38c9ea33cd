#pragma once
// TOxaImage: the window control that shows one node tree (its root, Bitmap), paints it on
// window paints, routes the window's mouse and key input into the tree and runs the nodes'
// queued repaints when the posted message 0x8001 arrives.
//
// The control remembers four nodes: the one holding the mouse capture, the one with the
// keyboard focus, the one under the mouse and the one being dragged. A node that leaves the tree
// or dies is forgotten without being called; its queued repaints die with it.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "forms/Screen.h"
#include "framework/OxaObjects.h"
#include "graphics/OxaBitmap.h"
#include "rtl/SyncObjs.h"

// The message that runs the callback queue: the application message base + 1.
constexpr UINT WM_OXA_CALLBACK = 0x8001;

class TOxaImage;

using TOxaCallbackEvent = TMethod<void(TOxaImage* sender, TOxaBitmap* node)>;

// One queued callback. It is a plain entry of its node's dependants list, so it dies with the
// node; dying, it leaves the control's queue.
class TOxaCallbackItem : public TObject {
 public:
  TOxaCallbackItem(TOxaImage* control, const TOxaCallbackEvent& callback, TOxaBitmap* node);
  ~TOxaCallbackItem() override;
  TOxaCallbackItem(const TOxaCallbackItem&) = delete;
  TOxaCallbackItem& operator=(const TOxaCallbackItem&) = delete;

  TOxaImage* Control() const noexcept { return FControl; }
  TOxaBitmap* Node() const noexcept { return FNode; }
  const TOxaCallbackEvent& Callback() const noexcept { return FCallback; }

 private:
  friend class TOxaImage;
  TOxaImage* FControl;
  TOxaCallbackEvent FCallback;
  TOxaBitmap* FNode;
};

class TOxaCustomHook : public TObject {};

using TOxaHookMouseEvent =
    TMethod<void(TOxaImage* sender, TMouseButton button, TShiftState shift, int x, int y, bool& handled)>;
using TOxaHookWheelEvent =
    TMethod<void(TOxaImage* sender, TShiftState shift, int delta, int x, int y, bool& handled)>;
using TOxaHookKeyEvent = TMethod<void(TOxaImage* sender, WORD& key, TShiftState shift, bool& handled)>;
using TOxaHookKeyPressEvent = TMethod<void(TOxaImage* sender, char32_t& key, bool& handled)>;

class TOxaMouseHook : public TOxaCustomHook {
 public:
  TOxaHookMouseEvent OnMouseDown;
  TOxaHookMouseEvent OnMouseUp;
  TOxaHookMouseEvent OnMouseMove;  // button is Left and meaningless
  TOxaHookWheelEvent OnMouseWheel;
};

class TOxaKeyHook : public TOxaCustomHook {
 public:
  TOxaHookKeyEvent OnKeyDown;
  TOxaHookKeyEvent OnKeyUp;
  TOxaHookKeyPressEvent OnKeyPress;
};

class TOxaImage : public TOxaCustomControl {
 public:
  explicit TOxaImage(TComponent* owner = nullptr);
  ~TOxaImage() override;

  TOxaBitmap* Bitmap() const noexcept { return FBitmap; }
  // Makes node the root (null lets the root go). The root leaves any parent first.
  void SetBitmap(TOxaBitmap* node);
  // Controls are not nested in trees; a control is never its own parent.
  void SetParent(TOxaImage* parent);

  TOxaColor Color() const noexcept { return FColor; }
  void SetColor(TOxaColor value) { FColor = value; }
  std::int16_t DefaultCursor() const noexcept { return FDefaultCursor; }
  void SetDefaultCursor(std::int16_t value) { FDefaultCursor = value; }
  // Moves and sizes the window (creating it when needed) and shows it.
  void SetBounds(int left, int top, int width, int height);
  void Show();
  bool Showing();
  // A full repaint of the window.
  void Invalidate();

  // --- Nodes of interest ---
  TOxaBitmap* Captured() const noexcept { return FCaptured; }
  TOxaBitmap* Focused() const noexcept { return FFocused; }
  TOxaBitmap* Hovered() const noexcept { return FHovered; }
  TOxaBitmap* Dragged() const noexcept { return FDragged; }
  TMouseButton DragButton() const noexcept { return FDragButton; }
  POINT DragOffset() const noexcept { return FDragOffset; }
  void SetCaptured(TOxaBitmap* node);
  void SetFocused(TOxaBitmap* node);
  void SetHovered(TOxaBitmap* node);
  // Starts dragging node (button and press offset); null ends a drag.
  void BeginDrag(TOxaBitmap* node, TMouseButton button, POINT offset);
  void EndDrag();
  // Drops every reference to node and the nodes below it, calling none of them.
  void ForgetNode(TOxaBitmap* node) noexcept;

  // --- Hooks ---
  void AddHook(TOxaCustomHook* hook);
  void RemoveHook(TOxaCustomHook* hook);
  int HookCount() const noexcept { return int(FHooks.size()); }

  // --- Callback queue ---
  // Queues callback for node and posts WM_OXA_CALLBACK.
  TOxaCallbackItem* QueueCallback(TOxaBitmap* node, const TOxaCallbackEvent& callback);
  int QueuedCallbacks() const noexcept { return int(FQueue.size()); }
  // Runs the queued callbacks (what WM_OXA_CALLBACK does).
  void RunCallbacks();
  // Frees the queued callbacks of node (one leaving this control).
  void DropCallbacks(TOxaBitmap* node) noexcept;
  int PaintCount() const noexcept { return FPaintCount; }
  // The surface window blits are composed in.
  TOxaBitmap* Scratch();

  // --- Input routing (client coordinates), as the window's input dispatchers run it; each
  // ends with the control's own event unless a hook handled the input ---
  void DoMouseDown(TMouseButton button, TShiftState shift, int x, int y);
  void DoMouseUp(TMouseButton button, TShiftState shift, int x, int y);
  void DoMouseMove(TShiftState shift, int x, int y);
  void DoMouseWheel(TShiftState shift, int delta, int x, int y);
  void DoMouseLeave();
  void DoKeyDown(WORD& key, TShiftState shift);
  void DoKeyUp(WORD& key, TShiftState shift);
  void DoKeyPress(char32_t& key);
  // The cursor the pointer shows over the control: the hovered node's (through Screen's cursor
  // list) or DefaultCursor when the node has none.
  int CurrentCursor() const noexcept;
  // Paints the area of clip of a device context showing the client area.
  void PaintTo(HDC dc, const RECT& clip);

  TNotifyEvent OnMouseInside;
  TNotifyEvent OnMouseOutside;
  TNotifyEvent OnPaint;

 protected:
  void CreateParams(TCreateParams& params) override;
  void WndProc(TMessage& message) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  bool MouseWheel(TShiftState shift, int wheelDelta, POINT mousePos) override;
  void MouseLeave() override;
  void KeyDown(WORD& key, TShiftState shift) override;
  void KeyUp(WORD& key, TShiftState shift) override;
  void KeyPress(char32_t& key) override;

 private:
  friend class TOxaCallbackItem;
  friend class TOxaBitmap;
  static bool Below(const TOxaBitmap* node, const TOxaBitmap* root) noexcept;
  // Calls call on every hook of class T in registration order, under the hook lock, until one
  // sets handled; true then. A hook removed by an earlier one in the same pass is not called.
  template <class T, class F>
  bool RunHooks(F call)
  {
    std::lock_guard lock(FHookLock);
    const std::vector<TOxaCustomHook*> hooks = FHooks;
    for (TOxaCustomHook* hook : hooks) {
      if (std::find(FHooks.begin(), FHooks.end(), hook) == FHooks.end()) {
        continue;
      }
      if (auto* typed = dynamic_cast<T*>(hook); typed != nullptr) {
        bool handled = false;
        call(*typed, handled);
        if (handled) {
          return true;
        }
      }
    }
    return false;
  }
  void PaintCallback(TOxaImage* sender, TOxaBitmap* node);
  void TrackLeave();
  void RefreshMouseOver();
  TOxaBitmap* HitAt(int x, int y, POINT& local);

  TOxaBitmap* FBitmap = nullptr;
  std::vector<TOxaCustomHook*> FHooks;
  TCriticalSection FHookLock;
  TOxaBitmap* FCaptured = nullptr;
  TOxaBitmap* FFocused = nullptr;
  TOxaBitmap* FHovered = nullptr;
  TOxaBitmap* FDragged = nullptr;
  TMouseButton FDragButton = TMouseButton::mbLeft;
  POINT FDragOffset{};
  std::vector<TOxaCallbackItem*> FQueue;
  int FPaintCount = 0;
  TOxaColor FColor = 0;
  std::int16_t FDefaultCursor = 0;
  bool FMouseInside = false;
  bool FMouseOverPending = false;
  bool FTracking = false;
  POINT FLastMouse{-1, -1};
  // The scratch surface window blits go through.
  TOwnedObject<TOxaBitmap> FScratch;
};
