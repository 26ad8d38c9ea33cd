#include "Music/MusicDisplay.h"

#include <algorithm>

#include "Music/Music.h"
#include "framework/OxaUtils.h"
#include "platform/Input.h"
#include "platform/Metrics.h"
#include "platform/Time.h"

RECT BrowserPresentation(SIZE screen)
{
  // The largest 800:600 rectangle inside the screen, by whole pixels: the narrower ratio decides.
  LONG width = screen.cx;
  LONG height = screen.cy;
  if (static_cast<long long>(screen.cx) * BrowserHeight <= static_cast<long long>(screen.cy) * BrowserWidth) {
    height = screen.cx * BrowserHeight / BrowserWidth;
  } else {
    width = screen.cy * BrowserWidth / BrowserHeight;
  }
  const LONG left = (screen.cx - width) / 2;
  const LONG top = (screen.cy - height) / 2;
  return RECT{left, top, left + width, top + height};
}

namespace {

SIZE MonitorSize() noexcept
{
  return SIZE{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

void HideWindow(TWinControl* control)
{
  if (control != nullptr && control->HandleAllocated()) {
    ShowWindow(control->Handle(), SW_HIDE);
  }
}

// Puts the window on top of the program's stay-on-top windows, leaving the focus alone.
void Raise(TWinControl* control)
{
  if (control != nullptr && control->HandleAllocated() && IsWindowVisible(control->Handle())) {
    SetWindowPos(control->Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

}  // namespace

void TMusicForm::SetDisplayMode(std::uint8_t mode)
{
  if (mode == DisplayMode || mode > LastDisplayMode) {
    return;
  }
  HideWindow(FTopImage);
  DisplayMode = mode;
  TraceObject(this, "SetDisplayMode: %d", static_cast<int>(mode));
  // The lists drop their transient state (type-ahead, drags, edits) here.
  PresentDisplay();
}

void TMusicForm::ToggleScanPanel(std::uint8_t presentation)
{
  ScanPanel = ScanPanel == presentation ? 0 : presentation;
  TraceObject(this, "ToggleScanPanel: %d", static_cast<int>(ScanPanel));
  PresentScanPanel();
  PresentDisplay();
}

void TMusicForm::PresentScanPanel()
{
  if (FScanView == nullptr) {
    return;
  }
  if (ScanPanel == 0) {
    FScanView->SetVisible(false);
    return;
  }
  // Presentation 2 covers the whole browser; presentation 1 takes the info panel's place at the
  // right, beside the lists.
  if (ScanPanel == 2) {
    FScanView->SetBounds(0, 0, BrowserWidth, BrowserHeight);
  } else {
    FScanView->SetBounds(BrowserWidth - TMusicView::InfoWidth, 0, TMusicView::InfoWidth, BrowserHeight);
  }
  FScanView->Attach(FPlayer.get());
  FScanView->SetStatus(ScanPanelPrompt);
  FScanView->SetVisible(true);
}

void TMusicForm::PresentLists()
{
  if (FFirstList == nullptr || FSecondList == nullptr) {
    return;
  }
  // Modes 1 and 2: the first list fills the browser part; mode 3: the two side by side.
  const TOxaBitmap* browser = FMusicViewPanel->View()->Browser();
  const int width = browser->Width();
  const int height = browser->Height();
  const bool both = DisplayMode == 3;
  FFirstList->SetBounds(0, 0, both ? width / 2 : width, height);
  FSecondList->SetBounds(width / 2, 0, width - width / 2, height);
  FFirstList->SetVisible(DisplayMode != HiddenMode);
  FSecondList->SetVisible(both);
  FitLists();
}

void TMusicForm::ScanPanelHidden(TOxaBitmap*)
{
  if (Running && ScanPanel != 0) {
    ToggleScanPanel(ScanPanel);
  }
}

void TMusicForm::LayoutPanels()
{
  if (FBrowserImage == nullptr) {
    return;
  }
  const SIZE screen = MonitorSize();
  if (BrowserShows(DisplayMode, ScanPanel)) {
    SetWindowPos(Handle(), nullptr, 0, 0, screen.cx, screen.cy, SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    SetWindowPos(Handle(), nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // 1:1 when the screen is the browser's own size; scaled otherwise.
  const RECT shown = BrowserPresentation(screen);
  const bool natural =
      shown.left == 0 && shown.top == 0 && shown.right == BrowserWidth && shown.bottom == BrowserHeight;
  for (TOxaImage* image : {FTopImage, FBrowserImage}) {
    SetWindowPresentation(image->Handle(), natural ? nullptr : &shown);
  }
}

void TMusicForm::ArrangeWindows()
{
  // Bottom to top: the black main window, the browser, the overlays, the triangle.
  for (TWinControl* window :
       std::initializer_list<TWinControl*>{this, FHackForm, FBrowserImage, FTopImage, FTriangle}) {
    Raise(window);
  }
}

void TMusicForm::PresentDisplay()
{
  FStatusFeed.Window(DisplayMode, ScanPanel);
  if (FBrowserImage == nullptr || FTriangle == nullptr) {
    return;
  }
  LayoutPanels();
  PresentLists();
  if (BrowserShows(DisplayMode, ScanPanel)) {
    FTriangle->Hide(false);
    FBrowserImage->Show();
    FBrowserImage->Invalidate();
  } else {
    HideWindow(FBrowserImage);
    HideWindow(FTopImage);
    FTriangle->Show(false);
  }
  ArrangeWindows();
}

void TMusicForm::AppActivate(TObject*)
{
  if (!Running) {
    return;
  }
  Application().Restore();
  LayoutPanels();
  ArrangeWindows();
  const bool transition =
      FTopImage != nullptr && IsWindowVisible(FTopImage->Handle()) && FTopImage->QueuedCallbacks() > 0;
  if (DisplayMode == HiddenMode && !transition) {
    InputBlockedUntil = GetTickCount64() + ActivationInputBlock;
    if (FTriangle->AutoHide) {
      POINT pointer{0, 0};
      GetCursorPos(&pointer);
      FTriangle->SetBounds(FTriangle->Left(), pointer.y - FTriangle->Height() / 2, FTriangle->Width(),
                           FTriangle->Height());
      FTriangle->Show(true);
    }
  }
}

void TMusicForm::AppDeactivate(TObject*)
{
  if (!Running) {
    return;
  }
  HideWindow(FTopImage);
  LayoutPanels();
  PreviousForeground = GetForegroundWindow();
  ArrangeWindows();
}

void TMusicForm::AppMessage(MSG& message, bool& handled)
{
  if (Running && (message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN)) {
    handled = TriangleKey(static_cast<WORD>(message.wParam), ShiftStateOfKeys());
  }
}

bool TMusicForm::TriangleKey(WORD key, TShiftState shift)
{
  if (!Running || key != 'T' || (shift & (ssCtrl | ssAlt | ssShift)) != (ssCtrl | ssAlt)) {
    return false;
  }
  FTriangle->AutoHide = !FTriangle->AutoHide;
  if (!FTriangle->AutoHide && DisplayMode == HiddenMode) {
    FTriangle->Show(true);
  }
  return true;
}

void TMusicForm::TriangleClick(TObject*)
{
  if (Running && DisplayMode == HiddenMode) {
    SetDisplayMode(1);
  }
}

void TMusicForm::TriangleEnter(TObject*)
{
  if (Running && FTriangle->AutoHide && DisplayMode == HiddenMode && !FTriangle->Shown()) {
    FTriangle->Show(true);
  }
}

void TMusicForm::TriangleLeave(TObject*)
{
  if (Running && FTriangle->AutoHide && DisplayMode == HiddenMode && FTriangle->Shown()) {
    FTriangle->Hide(true);
  }
}
