#include "Music/control/MusicTypeAhead.h"

#include <limits>

#include "rtl/AnsiText.h"
#include "rtl/Format.h"
#include "rtl/Utf8.h"

namespace {

// The length of the UTF-8 sequence that starts with lead; 1 for a stray byte.
std::size_t SequenceLength(unsigned char lead) noexcept
{
  if (lead >= 0xF0 && lead < 0xF8) {
    return 4;
  }
  if (lead >= 0xE0) {
    return lead < 0xF0 ? 3 : 1;
  }
  if (lead >= 0xC0) {
    return 2;
  }
  return 1;
}

// Byte lengths of the character boundaries of text.
std::vector<std::size_t> CharacterEnds(std::string_view text)
{
  std::vector<std::size_t> ends;
  std::size_t at = 0;
  while (at < text.size()) {
    at = std::min(text.size(), at + SequenceLength(static_cast<unsigned char>(text[at])));
    ends.push_back(at);
  }
  return ends;
}

}  // namespace

std::int32_t EntryNumberOf(std::string_view text) noexcept
{
  if (text.empty()) {
    return -1;
  }
  std::int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') {
      return -1;
    }
    value = value * 10 + (c - '0');
    if (value > std::numeric_limits<std::int32_t>::max()) {
      value = std::numeric_limits<std::int32_t>::max();
    }
  }
  return static_cast<std::int32_t>(value);
}

TEntryResult TMusicTypeAhead::Type(char32_t character, std::int32_t itemCount, std::uint64_t now)
{
  AppendCodePoint(FText, character);
  FNumber = EntryNumberOf(FText);
  TEntryResult result;
  result.Number = FNumber;
  if (FNumber < 0) {
    FDue = now + EntryTextTimeout;
    return result;
  }
  if (FNumber > itemCount) {
    Clear();
    result.Step = TEntryStep::Drop;
    return result;
  }
  if (static_cast<std::int64_t>(FNumber) * 10 > itemCount) {
    // The text stays for the caption until the caller has played the track and cleared it.
    FDue.reset();
    result.Step = TEntryStep::PlayNow;
    return result;
  }
  FDue = now + EntryNumberTimeout;
  return result;
}

TEntryExpired TMusicTypeAhead::Expire(bool hasCurrent, std::int32_t itemCount)
{
  TEntryExpired expired;
  if (!FText.empty() && hasCurrent) {
    if (FNumber >= 0) {
      if (FNumber >= 1 && FNumber <= itemCount) {
        expired.Action = TEntryExpiry::PlayNumber;
        expired.Number = FNumber;
      }
    } else {
      expired.Action = TEntryExpiry::JumpByName;
      expired.Text = FText;
    }
  }
  Clear();
  return expired;
}

void TMusicTypeAhead::Clear() noexcept
{
  FText.clear();
  FNumber = -1;
  FDue.reset();
}

std::string EntryCaption(std::string_view viewCaption, std::string_view entryText)
{
  return Format("%s   %s", viewCaption, entryText);
}

std::vector<std::string> JumpPrefixes(std::string_view text)
{
  const std::vector<std::size_t> ends = CharacterEnds(text);
  std::vector<std::string> prefixes;
  for (auto end = ends.rbegin(); end != ends.rend(); ++end) {
    prefixes.emplace_back(AnsiLowerCase(text.substr(0, *end)));
  }
  return prefixes;
}

std::vector<std::string> FoldCaptions(std::span<const TDbId> items)
{
  std::vector<std::string> folded;
  folded.reserve(items.size());
  for (const TDbId& item : items) {
    folded.push_back(AnsiLowerCase(item.Caption));
  }
  return folded;
}

int FindByPrefix(std::span<const std::string> folded, std::span<const int> order, std::string_view text,
                 const std::function<bool(int)>& accept)
{
  for (const std::string& prefix : JumpPrefixes(text)) {
    for (const int index : order) {
      if (index < 0 || static_cast<std::size_t>(index) >= folded.size()) {
        continue;
      }
      if (!folded[static_cast<std::size_t>(index)].starts_with(prefix)) {
        continue;
      }
      if (!accept || accept(index)) {
        return index;
      }
    }
  }
  return -1;
}

std::vector<int> GroupJumpOrder(int count, int active)
{
  std::vector<int> order;
  if (active < 0 || active >= count) {
    return order;
  }
  order.reserve(static_cast<std::size_t>(count - 1));
  for (int index = active + 1; index < count; ++index) {
    order.push_back(index);
  }
  for (int index = 0; index < active; ++index) {
    order.push_back(index);
  }
  return order;
}

std::string FoldedFirstCharacter(std::string_view text)
{
  const std::vector<std::size_t> ends = CharacterEnds(text);
  return ends.empty() ? std::string() : AnsiLowerCase(text.substr(0, ends.front()));
}
