#pragma once
// The commands that reach the controller from outside the bus (the keyboard's media keys, an
// infrared daemon, the desktop's media-player interface), the keys that give them by default,
// and the user's own mapping of key names to commands.
//
// A key is known by its name: an X key symbol ("XF86AudioNext") or an infrared daemon's key name
// ("KEY_NEXT"). The mapping text binds names to commands: "XF86AudioNext=Wind; KEY_OK=Play",
// entries apart by ";" or line breaks, spaces around names ignored, "None" unbinding a key.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/windows/Messages.h"

enum class TOutsideCommand : std::uint8_t {
  None,
  // As the host's remote keys of the same names.
  StepUp,
  StepDown,
  Wind,
  Rewind,
  Play,
  Stop,
  Digit,  // Value: 0 to 9
  Menu,
  Random,
  ControlRed,
  ControlGreen,
  ControlYellow,
  ControlBlue,
  // The player's own: pause while playing, or toggle between pause and play.
  Pause,
  PlayPause,
  // The media-player interface's.
  Raise,
  Quit,
  SeekBy,     // Value: microseconds, forward positive
  SeekTo,     // Value: microseconds from the start
  SetShuffle  // Value: 1 on, 0 off
};

struct TOutsideAction {
  TOutsideCommand Command = TOutsideCommand::None;
  std::int64_t Value = 0;
  bool operator==(const TOutsideAction&) const = default;
};

// Posted to the main window with the command in wParam and its value in lParam.
constexpr UINT WM_OUTSIDECOMMAND = WM_APP + 1;

// The action a WM_OUTSIDECOMMAND carries; nothing for a command or digit out of range.
std::optional<TOutsideAction> OutsideActionOfMessage(WPARAM command, LPARAM value) noexcept;

// The action named in mapping text ("StepUp", "Digit7", "None"); nothing for any other name.
std::optional<TOutsideAction> OutsideActionNamed(std::string_view name) noexcept;
// The name OutsideActionNamed takes for action.
std::string OutsideActionName(const TOutsideAction& action);
// The virtual key the display gives for an X key symbol name of the table; 0 for other names.
UINT OutsideKeyVirtualKey(std::string_view name) noexcept;

class TOutsideKeyMap {
 public:
  // Longer mapping text is not read beyond this; more entries than MaxBindings are ignored.
  static constexpr std::size_t MaxMappingText = 4096;
  static constexpr std::size_t MaxBindings = 128;
  static constexpr std::size_t MaxKeyName = 64;

  struct TBinding {
    std::string Name;
    TOutsideAction Action;
  };

  // The default table (docs/keys.md).
  static TOutsideKeyMap Defaults();

  // Applies the user's mapping over what is bound; the count of entries left out as malformed
  // (no "=", an empty or over-long name, a name of other characters than letters, digits and
  // "_", an unknown command) or beyond MaxBindings.
  std::size_t Apply(std::string_view text);

  // The action bound to a key name; nothing for an unbound name.
  std::optional<TOutsideAction> Find(std::string_view name) const;
  // The action bound to the X key symbol that gives virtualKey; nothing when none is bound.
  std::optional<TOutsideAction> FindVirtualKey(UINT virtualKey) const;
  // The virtual keys of the bound X key symbols, for the hot keys taken while the browser hides.
  std::vector<UINT> BoundVirtualKeys() const;
  const std::vector<TBinding>& Bindings() const noexcept { return FBindings; }

 private:
  void Bind(std::string_view name, const TOutsideAction& action);
  std::vector<TBinding> FBindings;
};
