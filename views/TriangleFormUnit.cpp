#include "views/TriangleFormUnit.h"

#include <algorithm>
#include <cmath>

#include "forms/GdiHandles.h"
#include "framework/OxaUtils.h"
#include "platform/core/Time.h"
#include "platform/windows/Gdi.h"
#include "platform/windows/Input.h"
#include "platform/windows/Messages.h"
#include "platform/windows/Metrics.h"
#include "platform/windows/Windows.h"

namespace {

constexpr UINT_PTR TickTimerId = 1;

bool Vertical(TTriangleSide side) noexcept
{
  return side == TTriangleSide::Left || side == TTriangleSide::Right;
}

// Keeps the span [start, start + length) inside [0, limit); a span longer than the limit starts
// at 0.
LONG ClampSpan(LONG start, LONG length, LONG limit) noexcept
{
  return std::max<LONG>(0, std::min(start, limit - length));
}

}  // namespace

std::array<POINT, 3> InsetTriangle(const std::array<POINT, 3>& corners, int inset)
{
  // Each corner moves towards the incentre so that every edge moves inset pixels inwards.
  double sides[3];
  for (int i = 0; i < 3; ++i) {
    const POINT& a = corners[static_cast<std::size_t>((i + 1) % 3)];
    const POINT& b = corners[static_cast<std::size_t>((i + 2) % 3)];
    sides[i] = std::hypot(double(a.x - b.x), double(a.y - b.y));
  }
  const double perimeter = sides[0] + sides[1] + sides[2];
  if (perimeter <= 0) {
    return corners;
  }
  double cx = 0;
  double cy = 0;
  for (int i = 0; i < 3; ++i) {
    cx += sides[i] * corners[static_cast<std::size_t>(i)].x / perimeter;
    cy += sides[i] * corners[static_cast<std::size_t>(i)].y / perimeter;
  }
  const POINT& p0 = corners[0];
  const POINT& p1 = corners[1];
  const POINT& p2 = corners[2];
  const double area = std::abs(double(p1.x - p0.x) * (p2.y - p0.y) - double(p2.x - p0.x) * (p1.y - p0.y)) / 2;
  const double radius = 2 * area / perimeter;
  const double scale = radius > inset ? (radius - inset) / radius : 0;
  std::array<POINT, 3> inner{};
  for (std::size_t i = 0; i < 3; ++i) {
    inner[i] = POINT{static_cast<LONG>(std::lround(cx + (corners[i].x - cx) * scale)),
                     static_cast<LONG>(std::lround(cy + (corners[i].y - cy) * scale))};
  }
  return inner;
}

std::array<POINT, 3> TriangleCorners(TTriangleSide side, int width, int height)
{
  switch (side) {
    case TTriangleSide::Left:
      return {POINT{0, 0}, POINT{width, height / 2}, POINT{0, height}};
    case TTriangleSide::Right:
      return {POINT{width, 0}, POINT{0, height / 2}, POINT{width, height}};
    case TTriangleSide::Top:
      return {POINT{0, 0}, POINT{width / 2, height}, POINT{width, 0}};
    case TTriangleSide::Bottom:
      return {POINT{0, height}, POINT{width / 2, 0}, POINT{width, height}};
  }
  return {};
}

RECT ClampTriangleBounds(TTriangleSide side, const RECT& wanted, SIZE screen)
{
  const LONG width = std::max<LONG>(0, wanted.right - wanted.left);
  const LONG height = std::max<LONG>(0, wanted.bottom - wanted.top);
  LONG left = ClampSpan(wanted.left, width, screen.cx);
  LONG top = ClampSpan(wanted.top, height, screen.cy);
  switch (side) {
    case TTriangleSide::Left:
      left = 0;
      break;
    case TTriangleSide::Right:
      left = std::max<LONG>(0, screen.cx - width);
      break;
    case TTriangleSide::Top:
      top = 0;
      break;
    case TTriangleSide::Bottom:
      top = std::max<LONG>(0, screen.cy - height);
      break;
  }
  return RECT{left, top, left + width, top + height};
}

int SlideVisibleDepth(TSlideDirection direction, DWORD elapsed, int depth)
{
  const auto time = static_cast<std::int32_t>(std::min(elapsed, TriangleSlideDuration));
  const int eased = OxaAccelerate(time, static_cast<std::int32_t>(TriangleSlideDuration), depth);
  return direction == TSlideDirection::In ? eased : depth - eased;
}

POINT SlideOffset(TTriangleSide side, int depth, int visible)
{
  const int hidden = depth - visible;
  switch (side) {
    case TTriangleSide::Left:
      return POINT{-hidden, 0};
    case TTriangleSide::Right:
      return POINT{hidden, 0};
    case TTriangleSide::Top:
      return POINT{0, -hidden};
    case TTriangleSide::Bottom:
      return POINT{0, hidden};
  }
  return POINT{0, 0};
}

TTriangleForm::TTriangleForm(TComponent* owner) : TForm(owner)
{
  HandleNeeded();
  // Hidden at start: nothing of the window shows until a Show gives it its shape.
  SetShape(false);
  FTimer = SetTimer(Handle(), TickTimerId, TimerInterval, nullptr);
}

TTriangleForm::~TTriangleForm()
{
  if (FTimer != 0 && HandleAllocated()) {
    KillTimer(WindowHandle(), FTimer);
  }
}

void TTriangleForm::CreateParams(TCreateParams& params)
{
  TForm::CreateParams(params);
  params.WinClassName = "TTriangleForm";
  params.Style = WS_POPUP;
  // The application window's own extended style, as a tool window, so the triangle has no
  // task-bar button of its own.
  DWORD applicationStyle = 0;
  if (const HWND application = Application().Handle(); application != nullptr) {
    applicationStyle = static_cast<DWORD>(GetWindowLongPtrA(application, GWL_EXSTYLE));
  }
  params.ExStyle = (applicationStyle & ~WS_EX_APPWINDOW) | WS_EX_TOOLWINDOW;
  params.Width = 0;
  params.Height = 0;
}

SIZE TTriangleForm::ScreenSize() noexcept
{
  return SIZE{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

void TTriangleForm::SetBounds(int left, int top, int width, int height)
{
  FBounds = ClampTriangleBounds(FSide, RECT{left, top, left + width, top + height}, ScreenSize());
  SetWindowPos(Handle(), nullptr, FBounds.left, FBounds.top, Width(), Height(),
               SWP_NOZORDER | SWP_NOACTIVATE);
  if (FShown) {
    SetShape(true);
  }
}

void TTriangleForm::SetSide(TTriangleSide side)
{
  FSide = side;
  SetBounds(FBounds.left, FBounds.top, Width(), Height());
}

int TTriangleForm::Depth() const noexcept
{
  return Vertical(FSide) ? Width() : Height();
}

void TTriangleForm::SetShape(bool whole)
{
  HRGN region = nullptr;
  if (whole && Width() > 0 && Height() > 0) {
    const auto corners = TriangleCorners(FSide, Width(), Height());
    region = CreatePolygonRgn(corners.data(), static_cast<int>(corners.size()), ALTERNATE);
  }
  if (region == nullptr) {
    region = CreateRectRgn(0, 0, 0, 0);
  }
  // The window owns the region from here on.
  SetWindowRgn(Handle(), region, TRUE);
}

void TTriangleForm::ShowDepth(int visible)
{
  const int depth = Depth();
  visible = std::clamp(visible, 0, depth);
  const auto corners = TriangleCorners(FSide, Width(), Height());
  HRGN region = CreatePolygonRgn(corners.data(), static_cast<int>(corners.size()), ALTERNATE);
  if (region == nullptr) {
    return;
  }
  const POINT offset = SlideOffset(FSide, depth, visible);
  OffsetRgn(region, offset.x, offset.y);
  // What was moved beyond the window is no part of its shape.
  if (const HRGN client = CreateRectRgn(0, 0, Width(), Height()); client != nullptr) {
    CombineRgn(region, region, client, RGN_AND);
    DeleteObject(client);
  }
  SetWindowRgn(Handle(), region, TRUE);
  UpdateWindow(Handle());
}

void TTriangleForm::Slide(TSlideDirection direction)
{
  const DWORD start = GetTickCount();
  for (DWORD elapsed = 0; elapsed < TriangleSlideDuration; elapsed = GetTickCount() - start) {
    ShowDepth(SlideVisibleDepth(direction, elapsed, Depth()));
    Sleep(TriangleSlideStep);
  }
}

void TTriangleForm::Show(bool animated)
{
  if (FShown) {
    return;
  }
  FShown = true;
  if (animated) {
    ShowDepth(0);
    ShowWindow(Handle(), SW_SHOWNA);
    Slide(TSlideDirection::In);
  } else {
    ShowWindow(Handle(), SW_SHOWNA);
  }
  SetShape(true);
  UpdateWindow(Handle());
}

void TTriangleForm::Hide(bool animated)
{
  if (!FShown) {
    return;
  }
  FShown = false;
  if (animated) {
    Slide(TSlideDirection::Out);
  }
  ShowWindow(Handle(), SW_HIDE);
  SetShape(false);
  FMouseOver = false;
}

void TTriangleForm::WndProc(TMessage& message)
{
  switch (message.Msg) {
    case WM_TIMER:
      if (message.WParam == TickTimerId) {
        TimerTimer(this);
        return;
      }
      break;
    case WM_ERASEBKGND:
      message.Result = 1;
      return;
    case WM_PAINT:
      Paint();
      return;
    case WM_CAPTURECHANGED:
      // A drag cut short by another window taking the mouse ends without a click.
      if (FPressed && reinterpret_cast<HWND>(message.LParam) != WindowHandle()) {
        FPressed = false;
        FDragging = false;
        InvalidateRect(WindowHandle(), nullptr, FALSE);
      }
      break;
    default:
      break;
  }
  TForm::WndProc(message);
}

void TTriangleForm::Paint()
{
  PAINTSTRUCT paint{};
  const HDC dc = BeginPaint(Handle(), &paint);
  if (dc == nullptr) {
    return;
  }
  const RECT client{0, 0, Width(), Height()};
  const auto corners = TriangleCorners(FSide, Width(), Height());
  // The frame is the shape less the triangle whose edges lie the frame width further in, so the
  // whole width shows inside the shape along every edge.
  const TGdiObject<HBRUSH> line(CreateSolidBrush(FDragging ? DragLineColor : LineColor));
  FillRect(dc, &client, line.Get());
  const auto inner = InsetTriangle(corners, FrameWidth);
  if (const HRGN body = CreatePolygonRgn(inner.data(), static_cast<int>(inner.size()), ALTERNATE);
      body != nullptr) {
    const TGdiObject<HBRUSH> background(CreateSolidBrush(FMouseOver && !FDragging ? HoverColor : Color));
    FillRgn(dc, body, background.Get());
    DeleteObject(body);
  }
  EndPaint(Handle(), &paint);
}

bool TTriangleForm::PointerAtParkedEdge(POINT pointer) const
{
  const SIZE screen = ScreenSize();
  switch (FSide) {
    case TTriangleSide::Left:
      return pointer.x <= 0 && pointer.y >= FBounds.top && pointer.y < FBounds.bottom;
    case TTriangleSide::Right:
      return pointer.x >= screen.cx - 1 && pointer.y >= FBounds.top && pointer.y < FBounds.bottom;
    case TTriangleSide::Top:
      return pointer.y <= 0 && pointer.x >= FBounds.left && pointer.x < FBounds.right;
    case TTriangleSide::Bottom:
      return pointer.y >= screen.cy - 1 && pointer.x >= FBounds.left && pointer.x < FBounds.right;
  }
  return false;
}

void TTriangleForm::TimerTimer(TObject*)
{
  if (FDragging || Width() <= 0 || Height() <= 0) {
    return;
  }
  POINT pointer{0, 0};
  GetCursorPos(&pointer);
  bool over = false;
  if (FShown) {
    over = WindowFromPoint(pointer) == WindowHandle();
  } else if (AutoHide) {
    over = PointerAtParkedEdge(pointer);
  } else {
    return;
  }
  if (over == FMouseOver) {
    return;
  }
  FMouseOver = over;
  InvalidateRect(Handle(), nullptr, FALSE);
  if (FPressed) {
    return;
  }
  if (over) {
    if (OnMouseEnter) {
      OnMouseEnter(this);
    }
  } else if (OnMouseLeave) {
    OnMouseLeave(this);
  }
}

void TTriangleForm::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
  if (button == TMouseButton::mbLeft) {
    FPressed = true;
    FMoved = false;
    GetCursorPos(&FPressPoint);
    FPressBounds = FBounds;
    SetCapture(Handle());
  }
  TForm::MouseDown(button, shift, x, y);
}

void TTriangleForm::MouseMove(TShiftState shift, int x, int y)
{
  if (FPressed) {
    POINT pointer{0, 0};
    GetCursorPos(&pointer);
    const LONG along = Vertical(FSide) ? pointer.y - FPressPoint.y : pointer.x - FPressPoint.x;
    if (along != 0 || FMoved) {
      if (!FDragging) {
        FDragging = true;
        InvalidateRect(Handle(), nullptr, FALSE);
      }
      FMoved = true;
      if (Vertical(FSide)) {
        SetBounds(FBounds.left, FPressBounds.top + along, Width(), Height());
      } else {
        SetBounds(FPressBounds.left + along, FBounds.top, Width(), Height());
      }
    }
  }
  TForm::MouseMove(shift, x, y);
}

void TTriangleForm::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
  if (button == TMouseButton::mbLeft && FPressed) {
    const bool click = !FMoved;
    FPressed = false;
    FDragging = false;
    ReleaseCapture();
    InvalidateRect(Handle(), nullptr, FALSE);
    if (click) {
      Click();
    }
  }
  TForm::MouseUp(button, shift, x, y);
}

void TTriangleForm::Click()
{
  if (ActivateWindow != nullptr && IsWindow(ActivateWindow)) {
    SetForegroundWindow(ActivateWindow);
  }
  if (OnClick) {
    OnClick(this);
  }
}
