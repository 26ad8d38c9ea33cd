#pragma once
// The controller's own keys: which key, with which modifiers, does what, and whether a key is
// still fresh enough to act on. Keys that pile up while the program is busy are dropped rather
// than replayed late.

#include <cstdint>

#include "forms/Forms.h"
#include "platform/core/WinTypes.h"

enum class TMusicKeyAction {
  None,
  VolumeUp,
  VolumeDown,
  StepUp,
  StepDown,
  Rewind,
  Wind,
  TypeIntoEntry,  // Space or Pause while a type-ahead entry waits
  Pause,
  UpdateScan,
  ScanPanel1,
  ScanPanel2,
  Random,
  Escape,
  Delete,
  Return
};

// A key event is fresh while it lies less than this many milliseconds in the past.
inline constexpr DWORD KeyFreshness = 600;
// Input is ignored this long after the program is activated from the hidden browser.
inline constexpr DWORD InputBlockAfterActivation = 100;

// Fresh: produced less than KeyFreshness ms before now on the 32-bit tick clock (wrapping). A
// time a little ahead of now (two readers of the same clock) counts as fresh.
bool KeyIsFresh(DWORD eventTime, DWORD now) noexcept;
// Only Shift, Alt and Ctrl of a shift state count as modifiers.
TShiftState KeyModifiers(TShiftState shift) noexcept;
// The action of a key going down. entryPending: a type-ahead entry waits for more.
TMusicKeyAction MusicKeyAction(WORD key, TShiftState shift, bool fresh, bool entryPending) noexcept;
