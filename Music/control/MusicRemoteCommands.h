#pragma once
// What the remote keys the host forwards mean to the controller, and the display-mode rules
// of "Menu" and of the host activating the source.

#include <cstdint>
#include <optional>

#include "OxaIPC/IpcSource.h"

enum class TRemoteAction {
  None,
  StepUp,
  StepDown,
  Wind,
  Rewind,
  Play,
  Stop,
  Digit,
  ShowInView,
  Menu,
  Random
};

// The action of a remote key; None for the keys left alone ("Pause", "Exit", "Language",
// "Record").
TRemoteAction RemoteAction(TSourceKey key) noexcept;
// Whether the action is left out when its key is no longer fresh (KeyIsFresh): the moves
// through the lists, which a backlog of keys replayed after a busy spell would run through for
// minutes. Play, Stop and the shuffle toggle always act.
bool DroppedWhenStale(TRemoteAction action) noexcept;
// The view a colour key shows the current item in; 0 for other keys.
std::int32_t ColourKeyView(TSourceKey key) noexcept;
// The character a "Digit" types: '0' to '9'; nothing for any other value.
std::optional<char> DigitCharacter(std::int32_t value) noexcept;
// "Menu": the hidden browser (0) shows (1); any other mode hides.
std::uint8_t MenuDisplayMode(std::uint8_t mode) noexcept;
// The display mode after the host activates the source for the activation-th time: the first
// activation changes nothing; later ones show a hidden browser held (2) and hide a shown one.
std::uint8_t ActivatedDisplayMode(std::uint8_t mode, std::int32_t activation) noexcept;
