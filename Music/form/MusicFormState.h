#pragma once
// The main window's state, in three objects the window keeps to itself: what the browser shows
// and when it hides itself, where the browsing stands, and what the program is doing. The window
// changes them through its own operations (SetDisplayMode, NoteUserInput, the handlers of the
// bus, the player and the lists), so no caller can set one part without the rest.

#include <cstdint>
#include <string>

#include "Music/form/MusicDisplay.h"
#include "Music/form/MusicStart.h"
#include "library/DbId.h"
#include "platform/windows/Windows.h"

// What the browser shows and when it hides itself.
struct TMusicPresentation {
  // 0: only the triangle; 1 and 2: the first list in its two presentations; 3: both lists.
  std::uint8_t DisplayMode = HiddenMode;
  // 0: closed; 1 and 2: the scan panel in its two presentations.
  std::uint8_t ScanPanel = 0;
  // The window that had the foreground before the browser came up; null for none.
  HWND PreviousForeground = nullptr;
  // Keyboard input of the user is ignored until this time (GetTickCount64).
  std::uint64_t InputBlockedUntil = 0;
  // Mode 1 hides the browser IdleHideDelay ms after the user's last input.
  std::uint64_t IdleHideDelay = ModeOneIdleHide;
  std::uint64_t LastUserInput = 0;

  std::uint64_t IdleHideTime() const noexcept { return LastUserInput + IdleHideDelay; }
  bool InputBlocked(std::uint64_t now) const noexcept { return now < InputBlockedUntil; }
};

// Where the browsing stands: the item played or shown, the view slots and what each list shows.
struct TMusicBrowsePosition {
  // The item being played or shown (the navigator walks it), and the one kept aside for the
  // second list.
  TDbId CurrentItem;
  TDbId SavedItem;
  // The view-level ids of the seven view slots (slot 0 stays empty).
  TViewSlots ViewSlots;
  // The slot each list shows (-1: none yet).
  int FirstListSlot = -1;
  int SecondListSlot = -1;
};

// What the program is doing.
struct TMusicActivity {
  // Set once the window is built; the entry runs the message loop only when it is set, and the
  // handlers of the bus, the player and the timers do nothing while it is not.
  bool Running = false;
  bool Closing = false;
  std::int32_t ActivationCount = 0;
  std::string StatusText;
  // The last scan progress line, for the scan panel.
  std::string ScanProgressText;
  // A full scan started from the scan panel runs: with the panel closed its progress lines show
  // in the first list's header until the library is updated.
  bool ScanInHeader = false;
  // The host's display is on.
  bool HostDisplayOn = false;
  // Raised while a drop into a list is being applied.
  std::int32_t DropBusy = 0;
};
