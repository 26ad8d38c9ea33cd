#pragma once
// The type-ahead entry: digits pick a track of the shown group by its number, other text jumps
// to the first caption that begins with it. Times are on the 64-bit tick clock and passed in,
// so the entry can be driven without a window.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "library/DbId.h"

// How long an entry waits for another character: a number that can still grow, other text.
inline constexpr std::uint64_t EntryNumberTimeout = 500;
inline constexpr std::uint64_t EntryTextTimeout = 700;
// The pause before a number that cannot grow is played, so its caption is seen.
inline constexpr std::uint32_t EntryPlayPause = 100;

enum class TEntryStep {
  Wait,     // the time-out is (re)scheduled for Due
  Drop,     // no such track: the entry is cleared
  PlayNow,  // no further digit can give a valid number: play Number at once, then Clear
};

struct TEntryResult {
  TEntryStep Step = TEntryStep::Wait;
  std::int32_t Number = -1;
};

enum class TEntryExpiry {
  Nothing,
  PlayNumber,  // play track Number of the shown group
  JumpByName,  // jump to Text
};

struct TEntryExpired {
  TEntryExpiry Action = TEntryExpiry::Nothing;
  std::int32_t Number = -1;
  std::string Text;
};

// The decimal value of text, or -1 when it is not a number (empty, a sign, any other
// character). Values too large for 32 bits read as INT32_MAX: still a number, too large for
// any group.
std::int32_t EntryNumberOf(std::string_view text) noexcept;

class TMusicTypeAhead {
 public:
  const std::string& EntryText() const noexcept { return FText; }
  std::int32_t EntryNumber() const noexcept { return FNumber; }
  // The time the pending time-out is due; nothing when none is pending.
  std::optional<std::uint64_t> Due() const noexcept { return FDue; }
  bool Pending() const noexcept { return FDue.has_value(); }

  // One typed character (a code point of any script). itemCount: the number of tracks of the
  // shown group.
  TEntryResult Type(char32_t character, std::int32_t itemCount, std::uint64_t now);
  // The time-out fired: what to do with the entry, which is cleared. hasCurrent: an item plays
  // or was chosen.
  TEntryExpired Expire(bool hasCurrent, std::int32_t itemCount);
  // Forgets the text and any pending time-out.
  void Clear() noexcept;

 private:
  std::string FText;
  std::int32_t FNumber = -1;
  std::optional<std::uint64_t> FDue;
};

// The caption the view selector shows while an entry is typed: "%s   %s".
std::string EntryCaption(std::string_view viewCaption, std::string_view entryText);

// The prefixes tried by a jump, longest first: the whole text, then one character (UTF-8 code
// point) shorter each time, down to its first character.
std::vector<std::string> JumpPrefixes(std::string_view text);

// Captions lower-cased once, so each prefix is compared cheaply.
std::vector<std::string> FoldCaptions(std::span<const TDbId> items);

// The first index of order (indices into folded) whose caption begins with a prefix of text,
// trying the longest prefix over all of them first; accept may refuse an index and the walk goes
// on. -1 when none matches.
int FindByPrefix(std::span<const std::string> folded, std::span<const int> order, std::string_view text,
                 const std::function<bool(int)>& accept = {});

// The group entries a jump in a grouped view walks: those after active to the last, then from the
// first to the one before active. Empty when there is no active entry.
std::vector<int> GroupJumpOrder(int count, int active);

// The first character of text, lower-cased; used to find a Titles letter group.
std::string FoldedFirstCharacter(std::string_view text);
