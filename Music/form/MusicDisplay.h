#pragma once
// How the browser meets the monitor: it is composed at 800 by 600 and shown scaled to fill the
// monitor with its aspect kept, centred on the black main window.

#include <cstdint>
#include <functional>

#include "platform/windows/GdiTypes.h"
#include "platform/windows/Messages.h"
#include "platform/windows/Windows.h"

inline constexpr int BrowserWidth = 800;
inline constexpr int BrowserHeight = 600;

// The screen rectangle the browser is shown on: the largest 4:3 rectangle that fits the screen,
// centred; exactly 0, 0, 800, 600 on an 800 by 600 screen.
RECT BrowserPresentation(SIZE screen);

// Display modes and what each shows.
inline constexpr std::uint8_t HiddenMode = 0;
inline constexpr std::uint8_t LastDisplayMode = 3;
// Whether the browser (main window, lists) shows: in modes 1 to 3, and whenever the scan panel
// is open, since it lives in the browser.
inline constexpr bool BrowserShows(std::uint8_t mode, std::uint8_t scanPanel) noexcept
{
  return mode != HiddenMode || scanPanel != 0;
}
// The scan panel's status line whenever it opens.
inline constexpr const char* ScanPanelPrompt = "Click START to scan the selected drives for music";
// How long input is ignored after the user brings the hidden browser up.
inline constexpr DWORD ActivationInputBlock = 100;

// The messages that are the user's own input: keys and the mouse (mode 1's idle time starts
// again with each).
inline constexpr bool IsUserInputMessage(UINT message) noexcept
{
  return (message >= WM_KEYDOWN && message <= WM_SYSKEYUP) ||
         (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST);
}

// How long mode 1 shows the browser without input from the user before it hides again (ms).
inline constexpr std::uint64_t ModeOneIdleHide = 8000;

// Where the two lists lie in the browser part (width by height) in a display mode. A list the
// mode does not show lies just outside the part, where it slides in from and out to: the first
// list at the left, the second at the right.
struct TListPlaces {
  RECT First{};
  RECT Second{};
};
TListPlaces ListPlaces(std::uint8_t mode, int width, int height);
// The width the lists share in the browser part: with the scan panel at the right
// (presentation 1) only what it leaves, so no list lies under it.
int ListsWidth(int browserWidth, std::uint8_t scanPanel);
// How the lists are placed in a mode: beside the scan panel there is room for one list only, so
// mode 3 places them as mode 2 (the second list waits outside until the panel closes).
std::uint8_t ListsMode(std::uint8_t mode, std::uint8_t scanPanel);

// A slide of the lists from one placing to another. It lasts as long as the lists' own
// scrolling over the longer of the two moves (DisplayListScrollDuration), 0 when nothing moves.
struct TPanelSlide {
  TListPlaces From;
  TListPlaces To;
  int Duration = 0;
};
TPanelSlide MakePanelSlide(const TListPlaces& from, const TListPlaces& to);
// The placing elapsed ms into the slide: each list's left edge on the eased curve
// (OxaAccelerate); while it moves a list keeps the wider of its two widths, so its rows are not
// laid out again at every step and the list sliding over it hides the rest. From Duration on,
// exactly To.
TListPlaces PanelSlideAt(const TPanelSlide& slide, std::uint64_t elapsed);
