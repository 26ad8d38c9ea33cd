#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

#include "graphics/OxaBitmap.h"
#include "graphics/OxaGraphics.h"
#include "skin/OxaSkin.h"
#include "views/list/MusicListViewStates.h"

namespace {

std::unique_ptr<TOxaBitmaps> IconStore()
{
  auto store = std::make_unique<TOxaBitmaps>(nullptr);
  const auto blob = OxaSkinStore("Icons");
  if (blob)
    store->ReadData(*blob);
  return store;
}

TEST(MusicListViewStates, KindsKeepTheirOrderAndPrefixes)
{
  const struct {
    TMusicListViewItemKinds Kind;
    int Ordinal;
    const char* Prefix;
  } cases[] = {
      {TMusicListViewItemKinds::mlkTrack, 0, "TRK-"},  {TMusicListViewItemKinds::mlkFavorite, 1, "FAV-"},
      {TMusicListViewItemKinds::mlkAlbum, 2, "ALB-"},  {TMusicListViewItemKinds::mlkGenre, 3, "GEN-"},
      {TMusicListViewItemKinds::mlkArtist, 4, "ART-"}, {TMusicListViewItemKinds::mlkFolder, 5, "FOL-"},
      {TMusicListViewItemKinds::mlkTitle, 6, "TIT-"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Prefix);
    EXPECT_EQ(static_cast<int>(c.Kind), c.Ordinal);
    EXPECT_EQ(MusicListViewKindPrefix(c.Kind), c.Prefix);
  }
  // Just outside the enumeration on both sides.
  EXPECT_EQ(MusicListViewKindPrefix(static_cast<TMusicListViewItemKinds>(-1)), "");
  EXPECT_EQ(MusicListViewKindPrefix(static_cast<TMusicListViewItemKinds>(7)), "");
}

TEST(MusicListViewStates, EveryEntryNamesAnIconAndTwoFlapsTheSkinHas)
{
  const auto store = IconStore();
  ASSERT_GT(store->Count(), 0);
  int walked = 0;
  for (const bool track : {false, true}) {
    for (int state = 0; state < kRowStateCount; ++state) {
      const TMusicListViewEntry e = MusicListViewEntry(track, state);
      SCOPED_TRACE(std::string(track ? "track " : "other ") + std::to_string(state) + " " + std::string(e));
      ASSERT_EQ(e.size(), 7u);
      for (char ch : e)
        EXPECT_TRUE(MusicListViewCodeColor(ch).has_value()) << ch;
      const auto kinds = track ? std::set<int>{0} : std::set<int>{1, 2, 3, 4, 5, 6};
      for (int k : kinds) {
        const std::string icon = MusicListViewIconName(static_cast<TMusicListViewItemKinds>(k), state);
        TOxaBitmap* image = store->Find(icon);
        ASSERT_NE(image, nullptr) << icon;
        EXPECT_EQ(image->ImageWidth(), 47) << icon;
        EXPECT_EQ(image->ImageHeight(), 47) << icon;
      }
      for (const std::string& flap : {MusicListViewOuterFlapCode(e), MusicListViewInnerFlapCode(e)}) {
        TOxaBitmap* image = store->Find("FLAP-" + flap);
        ASSERT_NE(image, nullptr) << flap;
        EXPECT_EQ(image->ImageWidth(), 32) << flap;
        EXPECT_EQ(image->ImageHeight(), 47) << flap;
      }
      ++walked;
    }
  }
  EXPECT_EQ(walked, 64);
}

TEST(MusicListViewStates, IconCodesComeFromCharactersThreeToFive)
{
  const struct {
    TMusicListViewItemKinds Kind;
    int State;
    const char* Icon;
  } cases[] = {
      {TMusicListViewItemKinds::mlkAlbum, 0, "ALB-221"},    // 1222131
      {TMusicListViewItemKinds::mlkArtist, 2, "ART-212"},   // 1221231: not the 4-6 slice
      {TMusicListViewItemKinds::mlkTitle, 31, "TIT-442"},   // last entry
      {TMusicListViewItemKinds::mlkTrack, 0, "TRK-2X1"},    // 1122131: 3 and 5, not 3 and 4
      {TMusicListViewItemKinds::mlkTrack, 6, "TRK-4X2"},    // 114W2W1
      {TMusicListViewItemKinds::mlkTrack, 31, "TRK-4X2"},   // B24W2W5
      {TMusicListViewItemKinds::mlkFolder, 16, "FOL-22B"},  // B222B3B: first marked entry
      {TMusicListViewItemKinds::mlkFolder, 15, "FOL-442"},  // 14442W5: last unmarked entry
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Icon);
    EXPECT_EQ(MusicListViewIconName(c.Kind, c.State), c.Icon);
  }
}

TEST(MusicListViewStates, TracksAndOtherKindsReadTheirOwnTable)
{
  // States where the two tables differ, and one where they agree.
  EXPECT_EQ(MusicListViewEntry(false, 1), "1222535");
  EXPECT_EQ(MusicListViewEntry(true, 1), "1522535");
  EXPECT_EQ(MusicListViewEntry(false, 25), "B222535");
  EXPECT_EQ(MusicListViewEntry(true, 25), "B22B235");
  EXPECT_EQ(MusicListViewEntry(false, 8), MusicListViewEntry(true, 8));
}

TEST(MusicListViewStates, ColoursOfCaptionAndTrackNumber)
{
  const struct {
    bool Track;
    int State;
    std::uint32_t CaptionText, CaptionBack, NumberText, NumberBack;
  } cases[] = {
      {false, 0, 0xA0A0A0, 0x464646, 0, 0},                // 1222131
      {false, 4, 0xFFFFFF, 0x464646, 0, 0},                // 14441W1
      {false, 20, 0xFFFFFF, 0x000000, 0, 0},               // B444BWB
      {true, 0, 0xA0A0A0, 0x464646, 0x969696, 0x464646},   // 1122131
      {true, 6, 0xFFFFFF, 0x464646, 0xFFFFFF, 0x969696},   // 114W2W1
      {true, 21, 0xFFFFFF, 0x606060, 0x000000, 0xF0F0F0},  // B54B4W5
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.State) + (c.Track ? " track" : " other"));
    const TMusicListViewColors colors = MusicListViewColors(c.Track, c.State);
    EXPECT_EQ(colors.CaptionText, c.CaptionText);
    EXPECT_EQ(colors.CaptionBack, c.CaptionBack);
    EXPECT_EQ(colors.NumberText, c.NumberText);
    EXPECT_EQ(colors.NumberBack, c.NumberBack);
  }
}

TEST(MusicListViewStates, CodeColours)
{
  const struct {
    char Code;
    std::optional<std::uint32_t> Color;
  } cases[] = {{'B', 0x000000},     {'1', 0x464646},     {'2', 0x969696},     {'3', 0xA0A0A0},
               {'4', 0xF0F0F0},     {'5', 0x606060},     {'W', 0xFFFFFF},     {'0', std::nullopt},
               {'6', std::nullopt}, {'X', std::nullopt}, {'b', std::nullopt}, {'w', std::nullopt}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(1, c.Code));
    EXPECT_EQ(MusicListViewCodeColor(c.Code), c.Color);
  }
}

TEST(MusicListViewStates, PressedAndPlayingShowActiveAndTheDropTargetFlipsIt)
{
  const struct {
    int Byte;
    bool Pressed, DropTarget;
    int State;
  } cases[] = {
      {0, false, false, 0},   {0, true, false, 4},   {4, true, false, 4},    {0, false, true, 4},
      {4, false, true, 0},    {0, true, true, 0},    {4, true, true, 0},     {31, false, false, 31},
      {31, false, true, 27},  {27, true, false, 31}, {32, false, false, 0},  {33, false, false, 1},
      {8, false, false, 12},  {9, false, false, 13}, {13, false, false, 13}, {9, false, true, 9},
      {27, false, false, 31},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.Byte) + " " + std::to_string(c.Pressed) + " " +
                 std::to_string(c.DropTarget));
    EXPECT_EQ(MusicListViewDrawState(c.Byte, c.Pressed, c.DropTarget), c.State);
  }
}

TEST(MusicListViewStates, TheImageTablesCoverEveryCodeTheEntriesUse)
{
  const std::set<std::string_view> icons(kMusicListIconCodes.begin(), kMusicListIconCodes.end());
  const std::set<std::string_view> tracks(kMusicListTrackIconCodes.begin(), kMusicListTrackIconCodes.end());
  const std::set<std::string_view> flaps(kMusicListFlapCodes.begin(), kMusicListFlapCodes.end());
  for (int state = 0; state < kRowStateCount; ++state) {
    EXPECT_TRUE(icons.count(MusicListViewIconCode(false, MusicListViewEntry(false, state)))) << state;
    EXPECT_TRUE(tracks.count(MusicListViewIconCode(true, MusicListViewEntry(true, state)))) << state;
    for (const bool track : {false, true}) {
      EXPECT_TRUE(flaps.count(MusicListViewOuterFlapCode(MusicListViewEntry(track, state)))) << state;
      EXPECT_TRUE(flaps.count(MusicListViewInnerFlapCode(MusicListViewEntry(track, state)))) << state;
    }
  }
}

}  // namespace
