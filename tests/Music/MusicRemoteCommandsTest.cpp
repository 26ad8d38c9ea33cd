#include <gtest/gtest.h>

#include <string>

#include "Music/control/MusicRemoteCommands.h"
#include "Music/control/MusicScanTexts.h"
#include "scan/OxaSearchEngineWrapper.h"

namespace {

TEST(TMusicRemoteCommands, EveryKeyHasItsAction)
{
  struct TCase {
    TSourceKey Key;
    TRemoteAction Action;
    std::int32_t View;
  };
  const TCase cases[] = {
      {TSourceKey::StepUp, TRemoteAction::StepUp, 0},
      {TSourceKey::StepDown, TRemoteAction::StepDown, 0},
      {TSourceKey::Wind, TRemoteAction::Wind, 0},
      {TSourceKey::Rewind, TRemoteAction::Rewind, 0},
      {TSourceKey::Go, TRemoteAction::Play, 0},
      {TSourceKey::Play, TRemoteAction::Play, 0},
      {TSourceKey::Pause, TRemoteAction::None, 0},
      {TSourceKey::Stop, TRemoteAction::Stop, 0},
      {TSourceKey::Digit, TRemoteAction::Digit, 0},
      {TSourceKey::ControlYellow, TRemoteAction::ShowInView, 2},
      {TSourceKey::ControlGreen, TRemoteAction::ShowInView, 3},
      {TSourceKey::ControlBlue, TRemoteAction::ShowInView, 7},
      {TSourceKey::ControlRed, TRemoteAction::ShowInView, 4},
      {TSourceKey::Menu, TRemoteAction::Menu, 0},
      {TSourceKey::Exit, TRemoteAction::None, 0},
      {TSourceKey::Language, TRemoteAction::None, 0},
      {TSourceKey::Random, TRemoteAction::Random, 0},
      {TSourceKey::Record, TRemoteAction::None, 0},
  };
  static_assert(std::size(cases) == SourceKeyCount);
  for (const TCase& c : cases) {
    SCOPED_TRACE(SourceKeyName(c.Key));
    EXPECT_EQ(RemoteAction(c.Key), c.Action);
    EXPECT_EQ(ColourKeyView(c.Key), c.View);
  }
}

// A backlog of moves replayed after a busy spell would run through the lists for minutes; what
// the user asked the player to do still happens.
TEST(TMusicRemoteCommands, StaleMovesAreDroppedAndPlayStopAndShuffleAlwaysAct)
{
  const std::pair<TRemoteAction, bool> cases[] = {
      {TRemoteAction::None, false}, {TRemoteAction::StepUp, true},  {TRemoteAction::StepDown, true},
      {TRemoteAction::Wind, true},  {TRemoteAction::Rewind, true},  {TRemoteAction::Play, false},
      {TRemoteAction::Stop, false}, {TRemoteAction::Digit, true},   {TRemoteAction::ShowInView, true},
      {TRemoteAction::Menu, true},  {TRemoteAction::Random, false},
  };
  for (const auto& [action, dropped] : cases) {
    EXPECT_EQ(DroppedWhenStale(action), dropped) << static_cast<int>(action);
  }
}

TEST(TMusicRemoteCommands, OnlyTheTenDigitsAreTyped)
{
  struct TCase {
    std::int32_t Value;
    char Typed;  // 0: nothing
  };
  const TCase cases[] = {{-1, 0}, {0, '0'}, {5, '5'},       {9, '9'},
                         {10, 0}, {12, 0},  {INT32_MIN, 0}, {INT32_MAX, 0}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Value);
    const auto typed = DigitCharacter(c.Value);
    EXPECT_EQ(typed.value_or(0), c.Typed);
  }
}

TEST(TMusicRemoteCommands, MenuShowsTheHiddenBrowserAndHidesAnyOther)
{
  // Twice from hidden returns to hidden; once from held hides.
  EXPECT_EQ(MenuDisplayMode(MenuDisplayMode(0)), 0);
  const std::uint8_t after[] = {1, 0, 0, 0};
  for (std::uint8_t mode = 0; mode < 4; ++mode) {
    EXPECT_EQ(MenuDisplayMode(mode), after[mode]) << int(mode);
  }
}

TEST(TMusicRemoteCommands, ActivationTogglesFromTheSecondOnAndHidesMode1)
{
  struct TCase {
    std::uint8_t Mode;
    std::int32_t Activation;
    std::uint8_t After;
  };
  const TCase cases[] = {
      {0, 1, 0}, {1, 1, 1}, {2, 1, 2}, {3, 1, 3},  // the first activation keeps the mode
      {0, 2, 2}, {1, 2, 0}, {2, 2, 0}, {3, 2, 0},  // from the second on the browser toggles
      {0, 9, 2}, {2, 9, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.Mode) << " #" << c.Activation);
    EXPECT_EQ(ActivatedDisplayMode(c.Mode, c.Activation), c.After);
  }
}

TEST(TMusicScanTexts, RemainingTimeBelowAndFromAnHour)
{
  struct TCase {
    std::int32_t Seconds;
    const char* Text;
  };
  const TCase cases[] = {
      {-5, "0:00"},      {0, "0:00"},        {59, "0:59"},        {60, "1:00"},      {125, "2:05"},
      {599, "9:59"},     {600, "10:00"},     {3599, "59:59"},     {3600, "1:00:00"}, {3725, "1:02:05"},
      {3660, "1:01:00"}, {35999, "9:59:59"}, {36000, "10:00:00"},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(RemainingTimeText(c.Seconds), c.Text) << c.Seconds;
  }
}

TEST(TMusicScanTexts, TheThreeStepLines)
{
  EXPECT_EQ(ScanStep1Text(0), "Scanning step 1/3... (0 music files found)");
  EXPECT_EQ(ScanStep1Text(1234), "Scanning step 1/3... (1234 music files found)");
  EXPECT_EQ(ScanStep2Text(3725), "Scanning step 2/3... (approx 1:02:05 min remaining)");
  EXPECT_EQ(ScanStep2Text(125), "Scanning step 2/3... (approx 2:05 min remaining)");
  // Before the first file has been read the scan has no estimate.
  EXPECT_EQ(ScanStep2Text(ScanTimeUnknown), "Scanning step 2/3...");
  EXPECT_EQ(ScanStep2Text(MaxScanEstimate / 1000), "Scanning step 2/3... (approx 596:31:23 min remaining)");
  EXPECT_EQ(ScanStep3Text(5), "Scanning step 3/3...   5% done");
  EXPECT_EQ(ScanStep3Text(100), "Scanning step 3/3... 100% done");
}

}  // namespace
