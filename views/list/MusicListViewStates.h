#pragma once
// How a music row looks in each of its 32 states: the icon, the two flaps, the caption colours
// and, for tracks, the colours of the number drawn on the icon. Pure tables, no drawing.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class TMusicListViewItemKinds : int {
  mlkTrack,
  mlkFavorite,
  mlkAlbum,
  mlkGenre,
  mlkArtist,
  mlkFolder,
  mlkTitle,
};
constexpr int kMusicListViewItemKindCount = 7;

// The icon prefix of a kind ("TRK-", "FAV-", ...).
std::string_view MusicListViewKindPrefix(TMusicListViewItemKinds kind) noexcept;

// Row state bits.
constexpr int kRowAcceptsClicks = 1;
constexpr int kRowSelected = 2;
constexpr int kRowActive = 4;
constexpr int kRowPlaying = 8;  // the owner's further look: the track being played
constexpr int kRowMarked = 16;
constexpr int kRowStateCount = 32;

// The number the appearance is looked up by: pressed and playing show as active, the drop-target
// flag flips the active look so the target stands out whether or not it is active.
int MusicListViewDrawState(int stateByte, bool pressed, bool dropTarget) noexcept;

// One appearance entry: seven colour-code characters.
using TMusicListViewEntry = std::string_view;
// The entry of a state (0..31) for tracks or for every other kind; other states are clamped
// into range by their low five bits.
TMusicListViewEntry MusicListViewEntry(bool track, int state) noexcept;

// The colour of a code character ("B", "1".."5", "W"), or nothing for any other character.
std::optional<std::uint32_t> MusicListViewCodeColor(char code) noexcept;

// The icon code of an entry: characters 3 to 5, for tracks characters 3 and 5 around an "X".
std::string MusicListViewIconCode(bool track, TMusicListViewEntry entry);
// The full icon name: kind prefix and icon code ("ALB-221", "TRK-2X1").
std::string MusicListViewIconName(TMusicListViewItemKinds kind, int state);

// The two flaps left of the icon: the outer one from characters 1 and 2 (row frame against
// flap), the inner one from characters 2 and 3 (flap against icon ground).
std::string MusicListViewOuterFlapCode(TMusicListViewEntry entry);
std::string MusicListViewInnerFlapCode(TMusicListViewEntry entry);

// Caption colours (characters 6 and 7) and, for tracks, the number's colours (4 and 5).
struct TMusicListViewColors {
  std::uint32_t CaptionText = 0;
  std::uint32_t CaptionBack = 0;
  std::uint32_t NumberText = 0;
  std::uint32_t NumberBack = 0;
};
TMusicListViewColors MusicListViewColors(bool track, int state) noexcept;

// Every icon and flap code the skin provides for the list; the image tables are built over
// these, not over the entries, so a skin image exists for each slot.
inline constexpr std::array<std::string_view, 9> kMusicListIconCodes = {"212", "221", "225", "22B", "2B2",
                                                                        "441", "442", "445", "44B"};
inline constexpr std::array<std::string_view, 8> kMusicListTrackIconCodes = {"2X1", "2X2", "2X5", "2XB",
                                                                             "4X1", "4X2", "4X4", "4X5"};
inline constexpr std::array<std::string_view, 18> kMusicListFlapCodes = {"11", "12", "14", "15", "21", "22",
                                                                         "24", "25", "2B", "33", "44", "52",
                                                                         "54", "55", "B2", "B4", "B5", "BB"};
