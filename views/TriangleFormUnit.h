#pragma once
// TTriangleForm: the small triangular window at a screen edge that stands for the program while
// the browser is hidden. It points into the screen, slides in and out, can be dragged along its
// edge, and raises enter, leave and click events; its owner decides what they mean.
//
// Geometry. Side 0 sits on the left edge (x = 0) and side 1 on the right edge (x = screen width -
// width); their triangles point right and left and they are dragged vertically. Side 2 sits on
// the top edge (y = 0) and side 3 on the bottom edge (y = screen height - height); their
// triangles point down and up and they are dragged horizontally. The depth a slide moves through
// is the width for sides 0 and 1 and the height for sides 2 and 3.

#include <array>
#include <cstdint>

#include "forms/Forms.h"
#include "platform/windows/GdiTypes.h"

// Which screen edge the triangle sits on.
enum class TTriangleSide : std::uint8_t { Left = 0, Right = 1, Top = 2, Bottom = 3 };

enum class TSlideDirection { In, Out };

// The triangle's corners in window coordinates for a window of width by height.
std::array<POINT, 3> TriangleCorners(TTriangleSide side, int width, int height);

// The triangle whose edges lie inset pixels inside the given one's (its corners rounded to whole
// pixels); a single point when the triangle is no wider than that.
std::array<POINT, 3> InsetTriangle(const std::array<POINT, 3>& corners, int inset);

// The window rectangle for the asked one: moved fully inside a screen of the given size (a window
// larger than the screen starts at 0) and onto its side's edge.
RECT ClampTriangleBounds(TTriangleSide side, const RECT& wanted, SIZE screen);

// How much of the tip's depth shows after elapsed milliseconds of a slide: eased in over
// SlideDuration, the whole depth (In) or nothing (Out) from then on.
inline constexpr DWORD TriangleSlideDuration = 250;
inline constexpr DWORD TriangleSlideStep = 10;
int SlideVisibleDepth(TSlideDirection direction, DWORD elapsed, int depth);

// How far the triangle is moved so that only visible of depth shows: towards its screen edge.
POINT SlideOffset(TTriangleSide side, int depth, int visible);

class TTriangleForm : public TForm {
 public:
  explicit TTriangleForm(TComponent* owner);
  ~TTriangleForm() override;

  static constexpr UINT TimerInterval = 200;
  static constexpr COLORREF HoverColor = 0x606060;
  static constexpr COLORREF LineColor = 0x969696;
  static constexpr COLORREF DragLineColor = 0xFFFFFF;

  // Placement: clamped into the screen and onto the side's edge (ClampTriangleBounds). A shown
  // triangle takes its new full shape at once.
  void SetBounds(int left, int top, int width, int height);
  int Left() const noexcept { return FBounds.left; }
  int Top() const noexcept { return FBounds.top; }
  int Width() const noexcept { return FBounds.right - FBounds.left; }
  int Height() const noexcept { return FBounds.bottom - FBounds.top; }

  TTriangleSide Side() const noexcept { return FSide; }
  // Moves the triangle to another edge (placement and shape follow).
  void SetSide(TTriangleSide side);

  // Slides in (250 ms, the region updated every 10 ms, then the whole triangle) or appears at
  // once; Hide slides out the same way and ends with the window hidden and an empty region.
  // Both do nothing when the triangle already is in that state.
  void Show(bool animated);
  void Hide(bool animated);
  bool Shown() const noexcept { return FShown; }

  // One step of a slide: the region that lets visible of the depth show, painted at once.
  void ShowDepth(int visible);

  // The 200 ms tick: while shown, sized and not dragged, follows the pointer; a change repaints
  // and, unless the button is held on the triangle, raises OnMouseEnter or OnMouseLeave. While
  // hidden with AutoHide on, the pointer touching the screen edge across the triangle's place
  // counts as entering it, so an auto-hidden triangle can be called back.
  void TimerTimer(TObject* sender);

  // Whether the owner hides the triangle when the pointer leaves it (Ctrl+Alt+T toggles it).
  bool AutoHide = true;
  // Brought to the foreground on a click when it still is a window; null for none.
  HWND ActivateWindow = nullptr;

  COLORREF FrameColor = 0xFFFFFF;
  int FrameWidth = 2;
  COLORREF Color = 0;

  bool MouseOver() const noexcept { return FMouseOver; }
  bool Dragging() const noexcept { return FDragging; }
  bool Pressed() const noexcept { return FPressed; }

  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TNotifyEvent OnClick;

 protected:
  void CreateParams(TCreateParams& params) override;
  void WndProc(TMessage& message) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

 private:
  void Paint();
  void Slide(TSlideDirection direction);
  // The depth a slide moves through: the width for the left and right edges, else the height.
  int Depth() const noexcept;
  void SetShape(bool whole);
  void Click();
  bool PointerAtParkedEdge(POINT pointer) const;
  static SIZE ScreenSize() noexcept;

  TTriangleSide FSide = TTriangleSide::Left;
  RECT FBounds{0, 0, 0, 0};
  bool FShown = false;
  bool FMouseOver = false;
  bool FDragging = false;
  bool FPressed = false;
  bool FMoved = false;
  POINT FPressPoint{0, 0};
  RECT FPressBounds{0, 0, 0, 0};
  UINT_PTR FTimer = 0;
};
