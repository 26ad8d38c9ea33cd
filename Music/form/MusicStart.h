#pragma once
// The rules start-up follows to pick the views and the item the window starts on, and the
// triangle's stored placement.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "library/DbId.h"
#include "views/list/MusicListViewStates.h"

// The view-level id of each of the seven view slots; slot 0 never holds a view.
using TViewSlots = std::array<TDbId, 7>;
inline constexpr int ViewSlotCount = 7;
inline constexpr int PlaylistsSlot = 1;
// Where an item of no slot's view is shown.
inline constexpr int FoldersSlot = 5;

// The word each slot's view caption contains (lower-cased); slot 0 has none.
inline constexpr std::array<std::string_view, ViewSlotCount> ViewSlotKeywords = {
    "", "playlist", "album", "genre", "artist", "folder", "title"};

// The row kind a slot's view shows in the lists' selectors: slot n is kind n (1 playlists ... 6
// titles).
inline TMusicListViewItemKinds SlotKind(int slot) noexcept
{
  return static_cast<TMusicListViewItemKinds>(slot);
}

// Each slot gets the first view of views whose lower-cased caption contains its keyword.
TViewSlots FindViewSlots(const TDbIdList& views);
// The first slot whose view is the item's; FoldersSlot when none is.
int SlotOfItem(const TViewSlots& slots, const TDbId& item);
// The slots that hold a view, in slot order: what the view selectors offer.
std::vector<int> FilledSlots(const TViewSlots& slots);

// The arguments of the second pass over the command line: those naming an existing file, in
// their order, as Windows paths (a host path such as /home/me/a.mp3 is given its drive name).
std::vector<std::string> StartFiles(const std::vector<std::string>& arguments);

// The triangle's setting "Top" is its vertical centre: the window's top is Top - Height div 2,
// and the centre is what is stored again, so a placement survives any number of starts.
inline int TriangleWindowTop(int storedTop, int height) noexcept
{
  return storedTop - height / 2;
}
inline int TriangleStoredTop(int windowTop, int height) noexcept
{
  return windowTop + height / 2;
}
