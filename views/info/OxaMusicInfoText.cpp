// The info panel's texts and genre lists.
#include "views/info/OxaMusicInfoText.h"

#include <algorithm>

#include "rtl/AnsiText.h"
#include "rtl/Format.h"
#include "tags/ID3Genres.h"

std::string OxaTimeText(std::int32_t seconds)
{
  const std::int32_t t = std::max<std::int32_t>(seconds, 0);
  const std::int32_t h = t / 3600;
  const std::int32_t m = (t - 3600 * h) / 60;
  const std::int32_t s = t % 60;
  return h > 0 ? Format("%d:%.2d:%.2d", h, m, s) : Format("%d:%.2d", m, s);
}

std::string OxaTrackNumberText(std::int32_t track)
{
  if (track == -1) {
    return "TRACK ___";
  }
  if (track == 0) {
    return "TRACK ---";
  }
  return "TRACK " + Format("%.3d", track);
}

std::string OxaQualityText(std::int32_t bitrate)
{
  if (bitrate == -1) {
    return "Variable";
  }
  if (bitrate == 0) {
    return {};
  }
  return Format("%d kbps", bitrate);
}

std::string OxaLosslessQualityText(std::string_view codec, std::int32_t bitsPerSample,
                                   std::int32_t sampleRate)
{
  std::string text(codec);
  if (sampleRate <= 0) {
    return text;
  }
  // Hz to kHz with the decimals it needs: 44100 is "44.1", 48000 "48", 22050 "22.05".
  std::string rate = Format("%d.%.3d", sampleRate / 1000, sampleRate % 1000);
  while (rate.back() == '0') {
    rate.pop_back();
  }
  if (rate.back() == '.') {
    rate.pop_back();
  }
  text += bitsPerSample > 0 ? Format(" %d/", bitsPerSample) : std::string(" ");
  return text + rate + " kHz";
}

std::string_view OxaDurationCaption(TOxaDurationMode mode) noexcept
{
  switch (mode) {
    case TOxaDurationMode::Elapsed:
      return "ELAPSED";
    case TOxaDurationMode::Remaining:
      return "REMAINING";
    case TOxaDurationMode::Duration:
      break;
  }
  return "DURATION";
}

TOxaDurationMode OxaNextDurationMode(TOxaDurationMode mode) noexcept
{
  switch (mode) {
    case TOxaDurationMode::Duration:
      return TOxaDurationMode::Elapsed;
    case TOxaDurationMode::Elapsed:
      return TOxaDurationMode::Remaining;
    case TOxaDurationMode::Remaining:
      break;
  }
  return TOxaDurationMode::Duration;
}

void TOxaDurationState::SetPosition(std::int32_t seconds) noexcept
{
  Position = std::max<std::int32_t>(seconds, 0);
  if (Position > Length) {
    Length = Position;
  }
}

std::string TOxaDurationState::Text() const
{
  if (Length <= 0) {
    return "-";
  }
  std::int32_t shown = Length;
  if (Mode == TOxaDurationMode::Elapsed) {
    shown = Position;
  } else if (Mode == TOxaDurationMode::Remaining) {
    shown = std::max<std::int32_t>(Length - Position, 0);
  }
  return Format("%s min", OxaTimeText(shown));
}

TOxaGenreList::TOxaGenreList(std::span<const std::string_view> names)
{
  FNames.assign(names.begin(), names.end());
  std::sort(FNames.begin(), FNames.end(),
            [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; });
  FNames.erase(std::unique(FNames.begin(), FNames.end(),
                           [](const std::string& a, const std::string& b) { return AnsiSameText(a, b); }),
               FNames.end());
  std::erase_if(FNames, [](const std::string& name) { return name.empty(); });
}

int TOxaGenreList::IndexOf(std::string_view name) const
{
  for (std::size_t i = 0; i < FNames.size(); ++i) {
    if (AnsiSameText(FNames[i], name)) {
      return int(i);
    }
  }
  return -1;
}

namespace {

// The first character of a name as a lower-case code point.
char32_t FirstCharLower(const std::string& name)
{
  const auto byte = static_cast<unsigned char>(name.front());
  // Genre names are ASCII; a multi-byte start never equals a key of 33..126.
  return byte < 0x80 ? AnsiLowerChar(byte) : char32_t(0xFFFD);
}

}  // namespace

int TOxaGenreList::IndexForKey(char32_t key) const
{
  constexpr char32_t kFirst = 33;
  constexpr char32_t kLast = 126;
  if (key < kFirst || key > kLast) {
    return -1;
  }
  for (char32_t code = AnsiLowerChar(key); code <= kLast; ++code) {
    for (std::size_t i = 0; i < FNames.size(); ++i) {
      if (FirstCharLower(FNames[i]) == AnsiLowerChar(code)) {
        return int(i);
      }
    }
  }
  return -1;
}

int TOxaGenreList::Step(int index, int delta) const noexcept
{
  if (FNames.empty()) {
    return -1;
  }
  const int last = int(FNames.size()) - 1;
  int next = index < 0 ? 0 : index + (delta > 0 ? 1 : delta < 0 ? -1 : 0);
  return std::clamp(next, 0, last);
}

const TOxaGenreList& OxaStandardGenres()
{
  static const TOxaGenreList list(Id3Genres());
  return list;
}

const TOxaGenreList& OxaHiddenGenres()
{
  // Broad families for libraries that do not use the ID3 names.
  static constexpr std::string_view kNames[] = {
      "Audiobook",  "Blues",      "Children",    "Classical", "Comedy", "Country", "Dance",
      "Electronic", "Folk",       "Hip-Hop",     "Holiday",   "Jazz",   "Latin",   "Metal",
      "Musical",    "Podcast",    "Pop",         "R&B",       "Reggae", "Rock",    "Singer-Songwriter",
      "Soul",       "Soundtrack", "Spoken Word", "World",
  };
  static const TOxaGenreList list(kNames);
  return list;
}
