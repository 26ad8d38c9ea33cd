#include "Music/form/MusicDisplay.h"

#include <algorithm>

#include "Music/form/Music.h"
#include "framework/OxaTimer.h"
#include "framework/OxaUtils.h"
#include "platform/core/Time.h"
#include "platform/windows/Input.h"
#include "platform/windows/Metrics.h"

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

TListPlaces ListPlaces(std::uint8_t mode, int width, int height)
{
  const int half = width / 2;
  const int secondWidth = width - half;
  TListPlaces places;
  places.First = RECT{0, 0, width, height};
  places.Second = RECT{width, 0, width + secondWidth, height};
  if (mode == HiddenMode) {
    places.First = RECT{-width, 0, 0, height};
  } else if (mode == 3) {
    places.First = RECT{0, 0, half, height};
    places.Second = RECT{half, 0, width, height};
  }
  return places;
}

std::uint8_t ListsMode(std::uint8_t mode, std::uint8_t scanPanel)
{
  return mode == 3 && scanPanel == 1 ? 2 : mode;
}

int ListsWidth(int browserWidth, std::uint8_t scanPanel)
{
  return scanPanel == 1 ? std::min(browserWidth, BrowserWidth - TMusicView::InfoWidth) : browserWidth;
}

TPanelSlide MakePanelSlide(const TListPlaces& from, const TListPlaces& to)
{
  TPanelSlide slide{from, to, 0};
  const int distance = std::max(std::abs(int(to.First.left - from.First.left)),
                                std::abs(int(to.Second.left - from.Second.left)));
  slide.Duration = distance == 0 ? 0 : DisplayListScrollDuration(distance);
  return slide;
}

namespace {

RECT SlideRect(const RECT& from, const RECT& to, std::int32_t elapsed, std::int32_t duration)
{
  const LONG left = from.left + OxaAccelerate(elapsed, duration, int(to.left - from.left));
  const LONG width = std::max(from.right - from.left, to.right - to.left);
  return RECT{left, to.top, left + width, to.bottom};
}

}  // namespace

TListPlaces PanelSlideAt(const TPanelSlide& slide, std::uint64_t elapsed)
{
  if (elapsed >= std::uint64_t(std::max(slide.Duration, 0))) {
    return slide.To;
  }
  const auto t = std::int32_t(elapsed);
  return TListPlaces{SlideRect(slide.From.First, slide.To.First, t, slide.Duration),
                     SlideRect(slide.From.Second, slide.To.Second, t, slide.Duration)};
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
  if (mode == FPresentation.DisplayMode || mode > LastDisplayMode) {
    return;
  }
  HideWindow(FTopImage);
  const std::uint8_t from = FPresentation.DisplayMode;
  FPresentation.DisplayMode = mode;
  TraceObject(this, "SetDisplayMode: %d", static_cast<int>(mode));
  DropTransientState();
  PresentDisplay(from);
  if (mode == 1) {
    // Shown by the user just now: the idle time starts here.
    NoteUserInput();
  }
  RefreshListFocus();
}

void TMusicForm::DropTransientState()
{
  for (TMusicListViewEx* list : {FFirstList, FSecondList}) {
    if (list != nullptr) {
      list->DropTransientState();
    }
  }
  FTypeAhead.Clear();
  if (FTimer != nullptr) {
    FTimer->CancelTimers(MakeMethod<&TMusicForm::EntryTimeout>(this));
  }
}

void TMusicForm::NoteUserInput()
{
  NoteUserInputAt(GetTickCount64());
}

void TMusicForm::NoteUserInputAt(std::uint64_t time)
{
  FPresentation.LastUserInput = time;
  if (!FActivity.Running || FPresentation.DisplayMode != 1 || FTimer == nullptr) {
    return;
  }
  // One check pending at a time; a later one finds the newer input and waits again.
  const TOxaTimerEvent due = MakeMethod<&TMusicForm::IdleHideDue>(this);
  if (!FTimer->HasTimer(due)) {
    FTimer->AddTimer(nullptr, 0, due, FPresentation.IdleHideTime());
  }
}

void TMusicForm::IdleHideDue(TOxaTimer*, std::int32_t, std::uint64_t)
{
  IdleCheck(GetTickCount64());
}

void TMusicForm::IdleCheck(std::uint64_t now)
{
  if (!FActivity.Running || FPresentation.DisplayMode != 1 || FTimer == nullptr) {
    return;
  }
  const TOxaTimerEvent due = MakeMethod<&TMusicForm::IdleHideDue>(this);
  if (now >= FPresentation.IdleHideTime()) {
    FTimer->CancelTimers(due);
    SetDisplayMode(HiddenMode);
    return;
  }
  FTimer->CancelTimers(due);
  FTimer->AddTimer(nullptr, 0, due, FPresentation.IdleHideTime());
}

TMusicListViewEx* TMusicForm::ListWithFocus() const noexcept
{
  if (FBrowserImage == nullptr) {
    return nullptr;
  }
  const TOxaBitmap* focused = FBrowserImage->Focused();
  for (TMusicListViewEx* list : {FFirstList, FSecondList}) {
    if (list != nullptr && focused != nullptr && (focused == list || list->IsAncestorOf(focused))) {
      return list;
    }
  }
  return nullptr;
}

void TMusicForm::RefreshListFocus()
{
  if (FBrowserImage == nullptr || FFirstList == nullptr) {
    return;
  }
  if (FPresentation.DisplayMode == HiddenMode) {
    // Nothing of the browser shows: no list keeps keys the user cannot see act.
    if (ListWithFocus() != nullptr) {
      FBrowserImage->SetFocused(nullptr);
    }
    return;
  }
  TMusicListViewEx* list = ListWithFocus();
  if (list == nullptr || !list->Visible()) {
    list = FFirstList;
  }
  if (!list->Visible()) {
    // Covered by the scan panel: the keys are the panel's.
    if (ListWithFocus() != nullptr) {
      FBrowserImage->SetFocused(nullptr);
    }
    return;
  }
  if (IsWindowVisible(FBrowserImage->Handle())) {
    FBrowserImage->SetFocused(list->List());
  }
}

void TMusicForm::ToggleScanPanel(std::uint8_t presentation)
{
  FPresentation.ScanPanel = FPresentation.ScanPanel == presentation ? 0 : presentation;
  TraceObject(this, "ToggleScanPanel: %d", static_cast<int>(FPresentation.ScanPanel));
  if (FPresentation.ScanPanel != 0 && FActivity.ScanInHeader) {
    // The panel tells the progress now; the header names its view again.
    ShowEntryCaption();
  }
  PresentScanPanel();
  PresentDisplay(FPresentation.DisplayMode);
  RefreshListFocus();
}

void TMusicForm::PresentScanPanel()
{
  if (FScanView == nullptr) {
    return;
  }
  if (FPresentation.ScanPanel == 0) {
    FScanView->SetVisible(false);
    return;
  }
  // Presentation 2 covers the whole browser; presentation 1 takes the info panel's place at the
  // right, beside the lists.
  if (FPresentation.ScanPanel == 2) {
    FScanView->SetBounds(0, 0, BrowserWidth, BrowserHeight);
  } else {
    FScanView->SetBounds(BrowserWidth - TMusicView::InfoWidth, 0, TMusicView::InfoWidth, BrowserHeight);
  }
  FScanView->Attach(FPlayer.get());
  FScanView->SetStatus(ScanPanelPrompt);
  FScanView->SetVisible(true);
}

void TMusicForm::PresentLists(std::uint8_t fromMode)
{
  if (FFirstList == nullptr || FSecondList == nullptr) {
    return;
  }
  const TOxaBitmap* browser = FMusicViewPanel->View()->Browser();
  const int width = ListsWidth(browser->Width(), FPresentation.ScanPanel);
  const TListPlaces from = ListPlaces(ListsMode(fromMode, FPresentation.ScanPanel), width, browser->Height());
  const TListPlaces to =
      ListPlaces(ListsMode(FPresentation.DisplayMode, FPresentation.ScanPanel), width, browser->Height());
  // A slide shows only on a browser that is up and not covered by the scan panel.
  if (FSlides && FActivity.Running && fromMode != FPresentation.DisplayMode && FPresentation.ScanPanel != 2 &&
      IsWindowVisible(FBrowserImage->Handle())) {
    SlideLists(from, to);
  }
  const auto place = [](TMusicListViewEx* list, const RECT& r) {
    list->SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
  };
  place(FFirstList, to.First);
  place(FSecondList, to.Second);
  // Under the whole scan panel nothing of the lists shows: a row repainting itself would draw
  // over the panel.
  FFirstList->SetVisible(FPresentation.DisplayMode != HiddenMode && FPresentation.ScanPanel != 2);
  FSecondList->SetVisible(ListsMode(FPresentation.DisplayMode, FPresentation.ScanPanel) == 3 &&
                          FPresentation.ScanPanel != 2);
  FitLists();
}

void TMusicForm::SlideLists(const TListPlaces& from, const TListPlaces& to)
{
  const TPanelSlide slide = MakePanelSlide(from, to);
  if (slide.Duration == 0) {
    return;
  }
  TOxaBitmap* browser = FMusicViewPanel->View()->Browser();
  const auto place = [](TMusicListViewEx* list, const RECT& r) {
    list->SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
  };
  // Both lists take part: the one coming in shows from the start, the one going out until the end.
  const TListPlaces start = PanelSlideAt(slide, 0);
  place(FFirstList, start.First);
  place(FSecondList, start.Second);
  FitLists();
  FFirstList->SetVisible(true);
  FSecondList->SetVisible(from.Second.left < BrowserWidth || to.Second.left < BrowserWidth);
  // A browser just shown, or changed elsewhere, is drawn whole once: until then a step would
  // only ask for a later paint and the slide would not be seen.
  UpdateWindow(FBrowserImage->Handle());
  const std::function<std::uint64_t()> clock = FSlideClock ? FSlideClock : [] { return GetTickCount64(); };
  const std::uint64_t begin = clock();
  int steps = 0;
  for (std::uint64_t elapsed = 0; elapsed < std::uint64_t(slide.Duration); elapsed = clock() - begin) {
    const TListPlaces now = PanelSlideAt(slide, elapsed);
    place(FFirstList, now.First);
    place(FSecondList, now.Second);
    if (browser->Control() != nullptr) {
      browser->PaintToControl();
    }
    ++steps;
  }
  // How smooth a slide was on this display: its steps over its time.
  TraceObject(this, "SlideLists: %d steps in %d ms", steps, slide.Duration);
}

void TMusicForm::ScanPanelHidden(TOxaBitmap*)
{
  if (FActivity.Running && FPresentation.ScanPanel != 0) {
    ToggleScanPanel(FPresentation.ScanPanel);
  }
}

void TMusicForm::LayoutPanels()
{
  if (FBrowserImage == nullptr) {
    return;
  }
  const SIZE screen = MonitorSize();
  if (BrowserShows(FPresentation.DisplayMode, FPresentation.ScanPanel)) {
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

void TMusicForm::PresentDisplay(std::uint8_t fromMode)
{
  FStatusFeed.Window(FPresentation.DisplayMode, FPresentation.ScanPanel);
  GrabOutsideKeys(FPresentation.DisplayMode == HiddenMode);
  if (FBrowserImage == nullptr || FTriangle == nullptr) {
    return;
  }
  const bool shows = BrowserShows(FPresentation.DisplayMode, FPresentation.ScanPanel);
  if (shows) {
    // Up first, so the lists slide in where the user sees them.
    LayoutPanels();
    FTriangle->Hide(false);
    FBrowserImage->Show();
    ArrangeWindows();
  }
  PresentLists(fromMode);
  if (shows) {
    FBrowserImage->Invalidate();
  } else {
    LayoutPanels();
    HideWindow(FBrowserImage);
    HideWindow(FTopImage);
    FTriangle->Show(false);
  }
  ArrangeWindows();
}

void TMusicForm::AppActivate(TObject*)
{
  if (!FActivity.Running) {
    return;
  }
  Application().Restore();
  LayoutPanels();
  ArrangeWindows();
  const bool transition =
      FTopImage != nullptr && IsWindowVisible(FTopImage->Handle()) && FTopImage->QueuedCallbacks() > 0;
  if (FPresentation.DisplayMode == HiddenMode && !transition) {
    FPresentation.InputBlockedUntil = GetTickCount64() + ActivationInputBlock;
    if (FTriangle->AutoHide) {
      POINT pointer{0, 0};
      GetCursorPos(&pointer);
      FTriangle->SetBounds(FTriangle->Left(), pointer.y - FTriangle->Height() / 2, FTriangle->Width(),
                           FTriangle->Height());
      FTriangle->Show(true);
    }
  }
  RefreshListFocus();
}

void TMusicForm::AppDeactivate(TObject*)
{
  if (!FActivity.Running) {
    return;
  }
  HideWindow(FTopImage);
  LayoutPanels();
  FPresentation.PreviousForeground = GetForegroundWindow();
  ArrangeWindows();
}

void TMusicForm::AppMessage(MSG& message, bool& handled)
{
  if (FActivity.Running && (message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN)) {
    handled = TriangleKey(static_cast<WORD>(message.wParam), ShiftStateOfKeys());
  }
}

bool TMusicForm::TriangleKey(WORD key, TShiftState shift)
{
  if (!FActivity.Running || key != 'T' || (shift & (ssCtrl | ssAlt | ssShift)) != (ssCtrl | ssAlt)) {
    return false;
  }
  FTriangle->AutoHide = !FTriangle->AutoHide;
  if (!FTriangle->AutoHide && FPresentation.DisplayMode == HiddenMode) {
    FTriangle->Show(true);
  }
  return true;
}

void TMusicForm::TriangleClick(TObject*)
{
  if (FActivity.Running && FPresentation.DisplayMode == HiddenMode) {
    SetDisplayMode(1);
  }
}

void TMusicForm::TriangleEnter(TObject*)
{
  if (FActivity.Running && FTriangle->AutoHide && FPresentation.DisplayMode == HiddenMode &&
      !FTriangle->Shown()) {
    FTriangle->Show(true);
  }
}

void TMusicForm::TriangleLeave(TObject*)
{
  if (FActivity.Running && FTriangle->AutoHide && FPresentation.DisplayMode == HiddenMode &&
      FTriangle->Shown()) {
    FTriangle->Hide(true);
  }
}
