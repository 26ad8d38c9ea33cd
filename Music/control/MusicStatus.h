#pragma once
// What the source node tells the host about play and the window, kept in step with the
// controller:
// - Position: the playing track's number in its group (1-based), 0 when there is none;
// - MediaPosition: the whole seconds played of that track, 0 when a track starts or play stops;
// - Activity: the audio state (its numbers: 2 playing, 4 paused, 3 stopped, ...);
// - Formatted: the track's caption, empty when there is none;
// - the "GUI" record: Flag while a list shows, Mode the scan panel's presentation (0, 1, 2).
// The status goes out only when a value the host can see changed: the player reports its
// position ten times a second, the host needs it once a second.

#include <cstdint>

#include "OxaIPC/MusicIpc.h"
#include "library/DbId.h"
#include "platform/core/WinTypes.h"

class TMusicStatusFeed {
 public:
  void Attach(TIpcVuDirAzuzo* node) noexcept { FNode = node; }

  // The current track (an empty item: none) and its number (-1 or 0: not in its group). A new
  // item starts its media position at 0; a new number for the same item keeps it. Returns
  // whether the item is another than the last one given.
  bool Track(const TDbId& item, std::int32_t number, bool shuffle);
  // The player's position in tenths of a second.
  void Position(std::int32_t tenths);
  // The audio state; stopped tells that the player has let go of its item (a stop, not the end
  // of the track), which takes the media position back to 0.
  void State(BYTE state, bool stopped);
  // The window: the display mode (0: no list shows) and the scan panel's presentation.
  void Window(std::uint8_t displayMode, std::uint8_t scanPanel);

 private:
  void Publish();

  TIpcVuDirAzuzo* FNode = nullptr;
  TDbId FItem;
};
