// The slider's arithmetic.
#include "views/info/MusicViewSlider.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

void TMusicViewSlider::SetLength(std::int32_t seconds) noexcept
{
  FLength = std::max<std::int32_t>(seconds, 0);
  FRequested = -1;
}

std::int32_t TMusicViewSlider::ValueOf(std::int32_t tenths, std::int32_t lengthSeconds) noexcept
{
  if (lengthSeconds < 1) {
    return 0;
  }
  const double value = std::nearbyint(double(tenths) * MaxValue / (double(lengthSeconds) * 10.0));
  return std::int32_t(std::clamp(value, 0.0, double(MaxValue)));
}

std::int32_t TMusicViewSlider::TenthsOf(std::int32_t value, std::int32_t lengthSeconds) noexcept
{
  const std::int32_t v = std::clamp(value, 0, MaxValue);
  return std::int32_t(std::nearbyint(double(lengthSeconds) * 10.0 * v / MaxValue));
}

bool TMusicViewSlider::SetPlayPosition(std::int32_t tenths, std::uint64_t nowMs, bool* caughtUp) noexcept
{
  if (caughtUp != nullptr) {
    *caughtUp = false;
  }
  if (FLength < 1 || FDragging) {
    return false;
  }
  std::int32_t value = ValueOf(tenths, FLength);
  if (FRequested >= 0) {
    if (std::abs(value - FRequested) < CatchUpDistance || nowMs - FRequestedAt >= RequestLifetimeMs) {
      FRequested = -1;
      if (caughtUp != nullptr) {
        *caughtUp = true;
      }
    } else {
      value = FRequested;
    }
  }
  const bool changed = value != FValue;
  FValue = value;
  return changed;
}

std::int32_t TMusicViewSlider::Release(std::int32_t value, std::uint64_t nowMs) noexcept
{
  if (FLength < 1) {
    return -1;
  }
  FValue = std::clamp(value, 0, MaxValue);
  FRequested = FValue;
  FRequestedAt = nowMs;
  return TenthsOf(FValue, FLength);
}
