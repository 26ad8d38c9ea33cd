#include "Music/control/MusicOutsideKeys.h"

#include <algorithm>
#include <array>

#include "platform/windows/Input.h"

namespace {

struct TCommandName {
  std::string_view Name;
  TOutsideCommand Command;
};

// The commands a mapping may name. Digits are "Digit0" to "Digit9"; the media-player interface's
// own commands need values no key gives and are not named.
constexpr std::array CommandNames{
    TCommandName{"None", TOutsideCommand::None},
    TCommandName{"StepUp", TOutsideCommand::StepUp},
    TCommandName{"StepDown", TOutsideCommand::StepDown},
    TCommandName{"Wind", TOutsideCommand::Wind},
    TCommandName{"Rewind", TOutsideCommand::Rewind},
    TCommandName{"Play", TOutsideCommand::Play},
    TCommandName{"Stop", TOutsideCommand::Stop},
    TCommandName{"Menu", TOutsideCommand::Menu},
    TCommandName{"Random", TOutsideCommand::Random},
    TCommandName{"ControlRed", TOutsideCommand::ControlRed},
    TCommandName{"ControlGreen", TOutsideCommand::ControlGreen},
    TCommandName{"ControlYellow", TOutsideCommand::ControlYellow},
    TCommandName{"ControlBlue", TOutsideCommand::ControlBlue},
    TCommandName{"Pause", TOutsideCommand::Pause},
    TCommandName{"PlayPause", TOutsideCommand::PlayPause},
    TCommandName{"Raise", TOutsideCommand::Raise},
};
constexpr std::string_view DigitPrefix = "Digit";

struct TKeySymbol {
  std::string_view Name;
  UINT VirtualKey;
};

// The X key symbols a mapping may bind, with the virtual key the display gives for each.
constexpr std::array KeySymbols{
    TKeySymbol{"XF86AudioPlay", VK_MEDIA_PLAY_PAUSE},
    TKeySymbol{"XF86AudioPause", VK_OXA_MEDIA_PAUSE},
    TKeySymbol{"XF86AudioStop", VK_MEDIA_STOP},
    TKeySymbol{"XF86AudioNext", VK_MEDIA_NEXT_TRACK},
    TKeySymbol{"XF86AudioPrev", VK_MEDIA_PREV_TRACK},
    TKeySymbol{"XF86AudioForward", VK_OXA_MEDIA_FORWARD},
    TKeySymbol{"XF86AudioRewind", VK_OXA_MEDIA_REWIND},
    TKeySymbol{"XF86AudioRandomPlay", VK_OXA_MEDIA_SHUFFLE},
    TKeySymbol{"XF86AudioMedia", VK_LAUNCH_MEDIA_SELECT},
    TKeySymbol{"Menu", VK_APPS},
};

struct TDefault {
  std::string_view Name;
  TOutsideAction Action;
};

constexpr TOutsideAction Act(TOutsideCommand command, std::int64_t value = 0)
{
  return TOutsideAction{command, value};
}

// Next and previous are the track steps, as the host's Up and Down; fast forward and rewind walk
// the groups, as its Wind and Rewind.
constexpr std::array DefaultKeys{
    TDefault{"XF86AudioPlay", Act(TOutsideCommand::PlayPause)},
    TDefault{"XF86AudioPause", Act(TOutsideCommand::Pause)},
    TDefault{"XF86AudioStop", Act(TOutsideCommand::Stop)},
    TDefault{"XF86AudioNext", Act(TOutsideCommand::StepUp)},
    TDefault{"XF86AudioPrev", Act(TOutsideCommand::StepDown)},
    TDefault{"XF86AudioForward", Act(TOutsideCommand::Wind)},
    TDefault{"XF86AudioRewind", Act(TOutsideCommand::Rewind)},
    TDefault{"XF86AudioRandomPlay", Act(TOutsideCommand::Random)},
    TDefault{"XF86AudioMedia", Act(TOutsideCommand::Menu)},
    TDefault{"Menu", Act(TOutsideCommand::Menu)},
    TDefault{"KEY_PLAY", Act(TOutsideCommand::Play)},
    TDefault{"KEY_PAUSE", Act(TOutsideCommand::Pause)},
    TDefault{"KEY_PLAYPAUSE", Act(TOutsideCommand::PlayPause)},
    TDefault{"KEY_STOP", Act(TOutsideCommand::Stop)},
    TDefault{"KEY_NEXT", Act(TOutsideCommand::StepUp)},
    TDefault{"KEY_NEXTSONG", Act(TOutsideCommand::StepUp)},
    TDefault{"KEY_PREVIOUS", Act(TOutsideCommand::StepDown)},
    TDefault{"KEY_PREVIOUSSONG", Act(TOutsideCommand::StepDown)},
    TDefault{"KEY_FASTFORWARD", Act(TOutsideCommand::Wind)},
    TDefault{"KEY_REWIND", Act(TOutsideCommand::Rewind)},
    TDefault{"KEY_UP", Act(TOutsideCommand::StepUp)},
    TDefault{"KEY_DOWN", Act(TOutsideCommand::StepDown)},
    TDefault{"KEY_LEFT", Act(TOutsideCommand::Rewind)},
    TDefault{"KEY_RIGHT", Act(TOutsideCommand::Wind)},
    TDefault{"KEY_CHANNELUP", Act(TOutsideCommand::Wind)},
    TDefault{"KEY_CHANNELDOWN", Act(TOutsideCommand::Rewind)},
    TDefault{"KEY_OK", Act(TOutsideCommand::Play)},
    TDefault{"KEY_ENTER", Act(TOutsideCommand::Play)},
    TDefault{"KEY_MENU", Act(TOutsideCommand::Menu)},
    TDefault{"KEY_SHUFFLE", Act(TOutsideCommand::Random)},
    TDefault{"KEY_RED", Act(TOutsideCommand::ControlRed)},
    TDefault{"KEY_GREEN", Act(TOutsideCommand::ControlGreen)},
    TDefault{"KEY_YELLOW", Act(TOutsideCommand::ControlYellow)},
    TDefault{"KEY_BLUE", Act(TOutsideCommand::ControlBlue)},
    TDefault{"KEY_0", Act(TOutsideCommand::Digit, 0)},
    TDefault{"KEY_1", Act(TOutsideCommand::Digit, 1)},
    TDefault{"KEY_2", Act(TOutsideCommand::Digit, 2)},
    TDefault{"KEY_3", Act(TOutsideCommand::Digit, 3)},
    TDefault{"KEY_4", Act(TOutsideCommand::Digit, 4)},
    TDefault{"KEY_5", Act(TOutsideCommand::Digit, 5)},
    TDefault{"KEY_6", Act(TOutsideCommand::Digit, 6)},
    TDefault{"KEY_7", Act(TOutsideCommand::Digit, 7)},
    TDefault{"KEY_8", Act(TOutsideCommand::Digit, 8)},
    TDefault{"KEY_9", Act(TOutsideCommand::Digit, 9)},
};

bool NameCharacter(char c) noexcept
{
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

std::string_view Trimmed(std::string_view text) noexcept
{
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && blank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && blank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

bool ValidKeyName(std::string_view name) noexcept
{
  return !name.empty() && name.size() <= TOutsideKeyMap::MaxKeyName &&
         std::ranges::all_of(name, NameCharacter);
}

}  // namespace

std::optional<TOutsideAction> OutsideActionOfMessage(WPARAM command, LPARAM value) noexcept
{
  if (command > static_cast<WPARAM>(TOutsideCommand::SetShuffle)) {
    return std::nullopt;
  }
  const auto action = static_cast<TOutsideCommand>(command);
  if (action == TOutsideCommand::Digit && (value < 0 || value > 9)) {
    return std::nullopt;
  }
  return TOutsideAction{action, static_cast<std::int64_t>(value)};
}

std::optional<TOutsideAction> OutsideActionNamed(std::string_view name) noexcept
{
  for (const TCommandName& entry : CommandNames) {
    if (entry.Name == name) {
      return TOutsideAction{entry.Command, 0};
    }
  }
  if (name.size() == DigitPrefix.size() + 1 && name.starts_with(DigitPrefix) && name.back() >= '0' &&
      name.back() <= '9') {
    return TOutsideAction{TOutsideCommand::Digit, name.back() - '0'};
  }
  return std::nullopt;
}

std::string OutsideActionName(const TOutsideAction& action)
{
  if (action.Command == TOutsideCommand::Digit) {
    return std::string(DigitPrefix) + static_cast<char>('0' + action.Value);
  }
  for (const TCommandName& entry : CommandNames) {
    if (entry.Command == action.Command) {
      return std::string(entry.Name);
    }
  }
  return "None";
}

UINT OutsideKeyVirtualKey(std::string_view name) noexcept
{
  for (const TKeySymbol& symbol : KeySymbols) {
    if (symbol.Name == name) {
      return symbol.VirtualKey;
    }
  }
  return 0;
}

TOutsideKeyMap TOutsideKeyMap::Defaults()
{
  TOutsideKeyMap map;
  for (const TDefault& entry : DefaultKeys) {
    map.Bind(entry.Name, entry.Action);
  }
  return map;
}

std::size_t TOutsideKeyMap::Apply(std::string_view text)
{
  text = text.substr(0, std::min(text.size(), MaxMappingText));
  std::size_t rejected = 0;
  std::size_t entries = 0;
  while (!text.empty()) {
    const std::size_t end = text.find_first_of(";\n");
    const std::string_view entry = Trimmed(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (entry.empty()) {
      continue;
    }
    const std::size_t equals = entry.find('=');
    if (equals == std::string_view::npos || ++entries > MaxBindings) {
      ++rejected;
      continue;
    }
    const std::string_view name = Trimmed(entry.substr(0, equals));
    const auto action = OutsideActionNamed(Trimmed(entry.substr(equals + 1)));
    if (!ValidKeyName(name) || !action) {
      ++rejected;
      continue;
    }
    Bind(name, *action);
  }
  return rejected;
}

void TOutsideKeyMap::Bind(std::string_view name, const TOutsideAction& action)
{
  const auto found = std::ranges::find(FBindings, name, &TBinding::Name);
  if (action.Command == TOutsideCommand::None) {
    if (found != FBindings.end()) {
      FBindings.erase(found);
    }
    return;
  }
  if (found != FBindings.end()) {
    found->Action = action;
  } else if (FBindings.size() < MaxBindings + DefaultKeys.size()) {
    FBindings.push_back(TBinding{std::string(name), action});
  }
}

std::optional<TOutsideAction> TOutsideKeyMap::Find(std::string_view name) const
{
  const auto found = std::ranges::find(FBindings, name, &TBinding::Name);
  if (found == FBindings.end()) {
    return std::nullopt;
  }
  return found->Action;
}

std::optional<TOutsideAction> TOutsideKeyMap::FindVirtualKey(UINT virtualKey) const
{
  if (virtualKey == 0) {
    return std::nullopt;
  }
  for (const TBinding& binding : FBindings) {
    if (OutsideKeyVirtualKey(binding.Name) == virtualKey) {
      return binding.Action;
    }
  }
  return std::nullopt;
}

std::vector<UINT> TOutsideKeyMap::BoundVirtualKeys() const
{
  std::vector<UINT> keys;
  for (const TBinding& binding : FBindings) {
    if (const UINT key = OutsideKeyVirtualKey(binding.Name); key != 0) {
      keys.push_back(key);
    }
  }
  return keys;
}
