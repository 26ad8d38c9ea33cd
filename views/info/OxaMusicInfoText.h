#pragma once
// The texts of the track info panel and the rules behind them: time and duration texts, the
// track-number label, the quality text, and the genre lists the genre field is edited from.
// Pure values, so the panel's widgets only place what these compute.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// "%d:%.2d:%.2d" with hours, else "%d:%.2d"; a negative time reads as 0.
std::string OxaTimeText(std::int32_t seconds);
// "TRACK ___" for -1, "TRACK ---" for 0, else "TRACK %.3d".
std::string OxaTrackNumberText(std::int32_t track);
// "Variable" for -1, empty for an unknown (0) rate, else "%d kbps".
std::string OxaQualityText(std::int32_t bitrate);
// A lossless stream: the codec, the sample size in bits and the sample rate in kHz, as
// "FLAC 16/44.1 kHz" or "ALAC 24/96 kHz"; "FLAC 44.1 kHz" when the sample size is unknown, and
// the codec alone when the rate is too.
std::string OxaLosslessQualityText(std::string_view codec, std::int32_t bitsPerSample,
                                   std::int32_t sampleRate);

// What the duration field shows.
enum class TOxaDurationMode : std::uint8_t { Duration = 1, Elapsed = 2, Remaining = 3 };
// The caption image of a mode: "DURATION", "ELAPSED" or "REMAINING".
std::string_view OxaDurationCaption(TOxaDurationMode mode) noexcept;
// The next mode in the cycle 1 → 2 → 3 → 1.
TOxaDurationMode OxaNextDurationMode(TOxaDurationMode mode) noexcept;

// The duration field's numbers: the track length and the play position in whole seconds.
struct TOxaDurationState {
  std::int32_t Length = 0;
  std::int32_t Position = 0;
  TOxaDurationMode Mode = TOxaDurationMode::Duration;

  // A position past the length becomes the length, so the remaining time shows zero rather
  // than a negative time.
  void SetPosition(std::int32_t seconds) noexcept;
  // "%s min" with the time the mode shows; "-" when the length is not above 0.
  std::string Text() const;
};

// A sorted, duplicate-free list of genre names and the keyboard rules of the genre field.
class TOxaGenreList {
 public:
  TOxaGenreList() = default;
  explicit TOxaGenreList(std::span<const std::string_view> names);

  int Count() const noexcept { return int(FNames.size()); }
  const std::string& Names(int index) const { return FNames.at(std::size_t(index)); }
  // The position of a name (without regard to case), -1 when absent.
  int IndexOf(std::string_view name) const;
  // The first genre starting with the key's character, else with the next code up to 126,
  // compared without regard to case (the key is taken in lower case, so "Z" and "z" agree);
  // -1 for keys outside 33..126 or when no code up to 126 starts a genre.
  int IndexForKey(char32_t key) const;
  // One step from index (−1: none yet) towards delta's sign, kept inside the list; -1 when
  // the list is empty.
  int Step(int index, int delta) const noexcept;

 private:
  std::vector<std::string> FNames;
};

// The standard list (the ID3 genre names) and our second list behind the hidden key; both are
// built once, on first use.
const TOxaGenreList& OxaStandardGenres();
const TOxaGenreList& OxaHiddenGenres();
