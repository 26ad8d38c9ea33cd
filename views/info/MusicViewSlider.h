#pragma once
// The position slider's arithmetic, apart from its knob: the player's position in tenths of a
// second maps to a slider value of 0..999, and a value the user chose maps back to a seek. A
// seek the user asked for is shown until the player catches up with it.

#include <cstdint>

class TMusicViewSlider {
 public:
  static constexpr std::int32_t MaxValue = 999;
  // The player has caught up with a request when its value is closer than this.
  static constexpr std::int32_t CatchUpDistance = 11;
  // A request the player never reaches (a seek the file refused) is let go after this.
  static constexpr std::uint64_t RequestLifetimeMs = 2000;

  // A new track: its length in seconds; any request for the old track is dropped.
  void SetLength(std::int32_t seconds) noexcept;
  std::int32_t Length() const noexcept { return FLength; }
  std::int32_t Value() const noexcept { return FValue; }
  // The requested value, -1 for none.
  std::int32_t Requested() const noexcept { return FRequested; }
  bool Dragging() const noexcept { return FDragging; }
  void SetDragging(bool value) noexcept { FDragging = value; }

  // The player's position. Returns whether the value changed. With no usable length, or while
  // the user drags, the value stays. Sets caughtUp when this call dropped the request.
  bool SetPlayPosition(std::int32_t tenths, std::uint64_t nowMs, bool* caughtUp = nullptr) noexcept;
  // The user let go of the knob at value: the seek position in tenths, the value becoming the
  // request; -1 (and nothing requested) when the track has no length.
  std::int32_t Release(std::int32_t value, std::uint64_t nowMs) noexcept;

  // round(p × 999 / (L × 10)) clamped to 0..999; 0 for L < 1.
  static std::int32_t ValueOf(std::int32_t tenths, std::int32_t lengthSeconds) noexcept;
  // round(L × 10 × v / 999) with v clamped to 0..999.
  static std::int32_t TenthsOf(std::int32_t value, std::int32_t lengthSeconds) noexcept;

 private:
  std::int32_t FLength = 0;
  std::int32_t FValue = 0;
  std::int32_t FRequested = -1;
  std::uint64_t FRequestedAt = 0;
  bool FDragging = false;
};
