#include "views/list/MusicListViewStates.h"

namespace {

constexpr std::array<std::string_view, kMusicListViewItemKindCount> kPrefixes = {
    "TRK-", "FAV-", "ALB-", "GEN-", "ART-", "FOL-", "TIT-"};

constexpr std::array<std::string_view, kRowStateCount> kOtherEntries = {
    "1222131", "1222535", "1221231", "1221235", "14441W1", "14445W5", "14442W1", "14442W5",
    "1222131", "1222535", "1221231", "1221235", "14441W1", "14445W5", "14442W1", "14442W5",
    "B222B3B", "B222535", "B22B23B", "B22B235", "B444BWB", "B4445W5", "B4442WB", "B4442W5",
    "B222B3B", "B222535", "B22B23B", "B22B235", "B444BWB", "B4445W5", "B4442WB", "B4442W5"};

constexpr std::array<std::string_view, kRowStateCount> kTrackEntries = {
    "1122131", "1522535", "1121231", "1521235", "11414W1", "15414W5", "114W2W1", "154W2W5",
    "1222131", "1222535", "1221231", "1221235", "12414W1", "12414W5", "124W2W1", "124W2W5",
    "BB22B3B", "B522535", "BB2B23B", "B52B235", "BB4B4WB", "B54B4W5", "BB4W2WB", "B54W2W5",
    "B222B3B", "B22B235", "B22B23B", "B22B235", "B24B4WB", "B24B4W5", "B24W2WB", "B24W2W5"};

std::uint32_t ColorOrBlack(char code) noexcept
{
  return MusicListViewCodeColor(code).value_or(0x000000);
}

}  // namespace

std::string_view MusicListViewKindPrefix(TMusicListViewItemKinds kind) noexcept
{
  const int index = static_cast<int>(kind);
  if (index < 0 || index >= kMusicListViewItemKindCount)
    return {};
  return kPrefixes[std::size_t(index)];
}

int MusicListViewDrawState(int stateByte, bool pressed, bool dropTarget) noexcept
{
  int state = stateByte & (kRowStateCount - 1);
  // The playing row stays lit when the list's current group moves on (a wind, a jump by name).
  if (pressed || (state & kRowPlaying) != 0)
    state |= kRowActive;
  if (dropTarget)
    state ^= kRowActive;
  return state;
}

TMusicListViewEntry MusicListViewEntry(bool track, int state) noexcept
{
  const auto index = std::size_t(state & (kRowStateCount - 1));
  return track ? kTrackEntries[index] : kOtherEntries[index];
}

std::optional<std::uint32_t> MusicListViewCodeColor(char code) noexcept
{
  switch (code) {
    case 'B':
      return 0x000000;
    case '1':
      return 0x464646;
    case '2':
      return 0x969696;
    case '3':
      return 0xA0A0A0;
    case '4':
      return 0xF0F0F0;
    case '5':
      return 0x606060;
    case 'W':
      return 0xFFFFFF;
    default:
      return std::nullopt;
  }
}

std::string MusicListViewIconCode(bool track, TMusicListViewEntry entry)
{
  if (entry.size() < 7)
    return {};
  if (track)
    return std::string{entry[2], 'X', entry[4]};
  return std::string(entry.substr(2, 3));
}

std::string MusicListViewIconName(TMusicListViewItemKinds kind, int state)
{
  const bool track = kind == TMusicListViewItemKinds::mlkTrack;
  return std::string(MusicListViewKindPrefix(kind)) +
         MusicListViewIconCode(track, MusicListViewEntry(track, state));
}

std::string MusicListViewOuterFlapCode(TMusicListViewEntry entry)
{
  return entry.size() < 7 ? std::string() : std::string(entry.substr(0, 2));
}

std::string MusicListViewInnerFlapCode(TMusicListViewEntry entry)
{
  return entry.size() < 7 ? std::string() : std::string(entry.substr(1, 2));
}

TMusicListViewColors MusicListViewColors(bool track, int state) noexcept
{
  const TMusicListViewEntry e = MusicListViewEntry(track, state);
  TMusicListViewColors c;
  c.CaptionText = ColorOrBlack(e[5]);
  c.CaptionBack = ColorOrBlack(e[6]);
  if (track) {
    c.NumberText = ColorOrBlack(e[3]);
    c.NumberBack = ColorOrBlack(e[4]);
  }
  return c;
}
