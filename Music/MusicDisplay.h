#pragma once
// How the browser meets the monitor: it is composed at 800 by 600 and shown scaled to fill the
// monitor with its aspect kept, centred on the black main window.

#include <cstdint>

#include "platform/Windows.h"
#include "platform/display/GdiTypes.h"

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
