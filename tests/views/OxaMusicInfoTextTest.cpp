// The info panel's texts: times, track numbers, quality, duration modes and the genre keys.
#include "views/info/OxaMusicInfoText.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "rtl/AnsiText.h"
#include "tags/ID3Genres.h"

namespace {

TEST(OxaMusicInfoText, TimeTextSwitchesToHoursAtOneHour)
{
  struct TCase {
    std::int32_t Seconds;
    const char* Text;
  };
  const TCase cases[] = {
      {0, "0:00"},       {59, "0:59"},      {60, "1:00"},        {65, "1:05"}, {3599, "59:59"},
      {3600, "1:00:00"}, {3725, "1:02:05"}, {36000, "10:00:00"}, {-5, "0:00"},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(OxaTimeText(c.Seconds), c.Text) << c.Seconds;
  }
}

TEST(OxaMusicInfoText, TrackNumberAndQuality)
{
  EXPECT_EQ(OxaTrackNumberText(-1), "TRACK ___");
  EXPECT_EQ(OxaTrackNumberText(0), "TRACK ---");
  EXPECT_EQ(OxaTrackNumberText(1), "TRACK 001");
  EXPECT_EQ(OxaTrackNumberText(12), "TRACK 012");
  EXPECT_EQ(OxaTrackNumberText(999), "TRACK 999");
  EXPECT_EQ(OxaTrackNumberText(1000), "TRACK 1000");

  EXPECT_EQ(OxaQualityText(-1), "Variable");
  EXPECT_EQ(OxaQualityText(0), "");
  EXPECT_EQ(OxaQualityText(128), "128 kbps");
}

TEST(OxaMusicInfoText, LosslessQualityGivesSampleSizeAndRate)
{
  struct TCase {
    const char* Codec;
    int Bits;
    int Rate;
    const char* Text;
  };
  const TCase cases[] = {
      {"FLAC", 16, 44100, "FLAC 16/44.1 kHz"},
      {"FLAC", 24, 96000, "FLAC 24/96 kHz"},
      {"ALAC", 16, 48000, "ALAC 16/48 kHz"},
      {"FLAC", 8, 22050, "FLAC 8/22.05 kHz"},
      {"FLAC", 24, 88200, "FLAC 24/88.2 kHz"},
      {"FLAC", 16, 8001, "FLAC 16/8.001 kHz"},
      {"FLAC", 16, 999, "FLAC 16/0.999 kHz"},
      {"FLAC", 0, 44100, "FLAC 44.1 kHz"},
      {"FLAC", 16, 0, "FLAC"},
      {"FLAC", 16, -1, "FLAC"},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(OxaLosslessQualityText(c.Codec, c.Bits, c.Rate), c.Text) << c.Rate;
  }
}

TEST(OxaMusicInfoText, DurationModes)
{
  struct TCase {
    TOxaDurationMode Mode;
    std::int32_t Length;
    std::int32_t Position;
    const char* Text;
  };
  const TCase cases[] = {
      {TOxaDurationMode::Duration, 3725, 100, "1:02:05 min"},
      {TOxaDurationMode::Elapsed, 3725, 65, "1:05 min"},
      {TOxaDurationMode::Remaining, 200, 135, "1:05 min"},
      {TOxaDurationMode::Remaining, 200, 200, "0:00 min"},
      // Past the end: the length follows the position and nothing remains.
      {TOxaDurationMode::Remaining, 200, 260, "0:00 min"},
      {TOxaDurationMode::Duration, 200, 260, "4:20 min"},
      {TOxaDurationMode::Duration, 0, 0, "-"},
      {TOxaDurationMode::Remaining, 0, 0, "-"},
  };
  for (const TCase& c : cases) {
    TOxaDurationState state;
    state.Length = c.Length;
    state.Mode = c.Mode;
    state.SetPosition(c.Position);
    EXPECT_EQ(state.Text(), c.Text) << int(c.Mode) << " " << c.Length << " " << c.Position;
  }
  EXPECT_EQ(OxaDurationCaption(TOxaDurationMode::Duration), "DURATION");
  EXPECT_EQ(OxaDurationCaption(TOxaDurationMode::Elapsed), "ELAPSED");
  EXPECT_EQ(OxaDurationCaption(TOxaDurationMode::Remaining), "REMAINING");
  EXPECT_EQ(OxaNextDurationMode(TOxaDurationMode::Remaining), TOxaDurationMode::Duration);
}

TEST(OxaMusicInfoText, StandardGenresAreSortedAndUnique)
{
  const TOxaGenreList& genres = OxaStandardGenres();
  ASSERT_GT(genres.Count(), 100);
  EXPECT_LE(genres.Count(), Id3GenreCount);
  for (int i = 1; i < genres.Count(); ++i) {
    EXPECT_LT(AnsiCompareText(genres.Names(i - 1), genres.Names(i)), 0) << genres.Names(i);
  }
  for (std::string_view name : Id3Genres()) {
    EXPECT_GE(genres.IndexOf(name), 0) << name;
  }
}

TEST(OxaMusicInfoText, DuplicatesAndCaseCollapse)
{
  constexpr std::string_view names[] = {"rock", "Pop", "Rock", "", "Acid"};
  const TOxaGenreList list(names);
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Names(0), "Acid");
  EXPECT_EQ(list.Names(1), "Pop");
}

TEST(OxaMusicInfoText, GenreKeysPickTheNextCodeAndStopAt126)
{
  constexpr std::string_view names[] = {"Blues", "acid", "Country", "~Tilde"};
  const TOxaGenreList list(names);  // ~Tilde, acid, Blues, Country (punctuation sorts first)
  ASSERT_EQ(list.Names(0), "~Tilde");
  struct TCase {
    char32_t Key;
    int Index;
  };
  const TCase cases[] = {
      {U'a', 1},
      {U'A', 1},
      {U'b', 2},
      {U'B', 2},
      // No genre starts with D: the next codes run up to "~".
      {U'd', 0},
      {U'D', 0},
      // "!" is the first printable code: the next code that starts a genre is "A".
      {U'!', 1},
      {U' ', -1},
      {U'~', 0},
      {127, -1},
      {32, -1},
      {0x00E9, -1},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(list.IndexForKey(c.Key), c.Index) << std::uint32_t(c.Key);
  }
  constexpr std::string_view noTilde[] = {"Blues", "Acid"};
  const TOxaGenreList shortList(noTilde);
  EXPECT_EQ(shortList.IndexForKey(U'c'), -1);  // c..~ start nothing
  EXPECT_EQ(shortList.IndexForKey(U'~'), -1);
  EXPECT_EQ(shortList.IndexForKey(U'Z'), -1);
}

TEST(OxaMusicInfoText, ArrowsStepInsideTheList)
{
  constexpr std::string_view names[] = {"A", "B", "C"};
  const TOxaGenreList list(names);
  EXPECT_EQ(list.Step(-1, 1), 0);
  EXPECT_EQ(list.Step(0, -1), 0);
  EXPECT_EQ(list.Step(1, 1), 2);
  EXPECT_EQ(list.Step(2, 1), 2);
  EXPECT_EQ(TOxaGenreList().Step(0, 1), -1);
}

TEST(OxaMusicInfoText, HiddenListDiffersFromTheStandardOne)
{
  const TOxaGenreList& hidden = OxaHiddenGenres();
  ASSERT_GT(hidden.Count(), 0);
  EXPECT_LT(OxaStandardGenres().IndexOf("Audiobook"), 0);
  EXPECT_GE(hidden.IndexOf("Audiobook"), 0);
}

}  // namespace
