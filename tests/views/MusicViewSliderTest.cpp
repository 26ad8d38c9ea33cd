// The slider's arithmetic: values from positions, seeks from values, and the pending request.
#include "views/info/MusicViewSlider.h"

#include <gtest/gtest.h>

namespace {

TEST(MusicViewSlider, ValueAndSeekMapping)
{
  struct TCase {
    std::int32_t Tenths;
    std::int32_t Length;
    std::int32_t Value;
  };
  const TCase cases[] = {
      {0, 100, 0},
      {500, 100, 500},
      {1000, 100, 999},
      {999, 100, 998},
      {1, 1, 100},
      {10, 1, 999},
      {5, 100, 5},
      {4, 100, 4},
      // Positions past the end and before the start stay on the bar.
      {2000, 100, 999},
      {-50, 100, 0},
      {500, 0, 0},
      {500, -3, 0},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(TMusicViewSlider::ValueOf(c.Tenths, c.Length), c.Value) << c.Tenths << "/" << c.Length;
  }
  EXPECT_EQ(TMusicViewSlider::TenthsOf(999, 100), 1000);
  EXPECT_EQ(TMusicViewSlider::TenthsOf(0, 100), 0);
  EXPECT_EQ(TMusicViewSlider::TenthsOf(500, 100), 501);
  EXPECT_EQ(TMusicViewSlider::TenthsOf(1500, 100), 1000);
  EXPECT_EQ(TMusicViewSlider::TenthsOf(-1, 100), 0);
}

TEST(MusicViewSlider, RequestHeldUntilThePlayerComesWithinTen)
{
  TMusicViewSlider slider;
  slider.SetLength(100);
  EXPECT_EQ(slider.Release(500, 0), 501);
  EXPECT_EQ(slider.Requested(), 500);
  struct TStep {
    std::int32_t Tenths;
    std::int32_t Shown;
    bool CaughtUp;
  };
  // Value 489 is 11 away (held), 490 is 10 away (caught up, then it follows the player).
  const TStep steps[] = {{100, 500, false}, {489, 500, false}, {490, 490, true}, {520, 519, false}};
  for (const TStep& s : steps) {
    bool caughtUp = false;
    slider.SetPlayPosition(s.Tenths, 100, &caughtUp);
    EXPECT_EQ(slider.Value(), s.Shown) << s.Tenths;
    EXPECT_EQ(caughtUp, s.CaughtUp) << s.Tenths;
  }
  EXPECT_EQ(slider.Requested(), -1);

  slider.Release(200, 1000);
  slider.SetPlayPosition(211, 1000);  // value 211: 11 above
  EXPECT_EQ(slider.Value(), 200);
  slider.SetPlayPosition(210, 1000);  // value 210: 10 above
  EXPECT_EQ(slider.Requested(), -1);
}

TEST(MusicViewSlider, RequestDroppedAfterTwoSecondsAndOnATrackChange)
{
  TMusicViewSlider slider;
  slider.SetLength(100);
  slider.Release(900, 10'000);
  slider.SetPlayPosition(100, 10'000 + TMusicViewSlider::RequestLifetimeMs - 1);
  EXPECT_EQ(slider.Value(), 900);
  slider.SetPlayPosition(100, 10'000 + TMusicViewSlider::RequestLifetimeMs);
  EXPECT_EQ(slider.Value(), 100);
  EXPECT_EQ(slider.Requested(), -1);

  slider.Release(900, 20'000);
  slider.SetLength(300);
  EXPECT_EQ(slider.Requested(), -1);
  slider.SetPlayPosition(300, 20'001);
  EXPECT_EQ(slider.Value(), 100);
}

TEST(MusicViewSlider, DraggingAndNoLengthLeaveTheKnob)
{
  TMusicViewSlider slider;
  EXPECT_FALSE(slider.SetPlayPosition(500, 0));
  EXPECT_EQ(slider.Release(400, 0), -1);
  EXPECT_EQ(slider.Requested(), -1);
  slider.SetLength(100);
  EXPECT_TRUE(slider.SetPlayPosition(500, 0));
  EXPECT_FALSE(slider.SetPlayPosition(500, 0));
  slider.SetDragging(true);
  EXPECT_FALSE(slider.SetPlayPosition(700, 0));
  EXPECT_EQ(slider.Value(), 500);
}

}  // namespace
