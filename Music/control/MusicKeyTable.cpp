#include "Music/control/MusicKeyTable.h"

#include <array>

#include "platform/windows/Input.h"

namespace {

// Modifiers of a row: an exact set, or any.
constexpr TShiftState AnyModifiers = 0xFFFF;

struct TKeyRow {
  WORD Key;
  TShiftState Modifiers;
  bool FreshOnly;
  TMusicKeyAction Action;
};

constexpr std::array KeyRows{
    TKeyRow{VK_ADD, AnyModifiers, true, TMusicKeyAction::VolumeUp},
    TKeyRow{VK_SUBTRACT, AnyModifiers, true, TMusicKeyAction::VolumeDown},
    TKeyRow{VK_UP, 0, true, TMusicKeyAction::StepUp},
    TKeyRow{VK_DOWN, 0, true, TMusicKeyAction::StepDown},
    TKeyRow{VK_LEFT, 0, true, TMusicKeyAction::Rewind},
    TKeyRow{VK_RIGHT, 0, true, TMusicKeyAction::Wind},
    TKeyRow{VK_SPACE, AnyModifiers, true, TMusicKeyAction::Pause},
    TKeyRow{VK_PAUSE, AnyModifiers, true, TMusicKeyAction::Pause},
    TKeyRow{VK_F1 + 4, AnyModifiers, true, TMusicKeyAction::UpdateScan},  // F5
    TKeyRow{'U', ssCtrl, true, TMusicKeyAction::UpdateScan},
    TKeyRow{'S', ssCtrl, true, TMusicKeyAction::ScanPanel2},
    TKeyRow{'I', ssCtrl, true, TMusicKeyAction::ScanPanel1},
    TKeyRow{'R', ssCtrl, true, TMusicKeyAction::Random},
    TKeyRow{VK_ESCAPE, AnyModifiers, false, TMusicKeyAction::Escape},
    TKeyRow{VK_BACK, AnyModifiers, true, TMusicKeyAction::Delete},
    TKeyRow{VK_DELETE, AnyModifiers, true, TMusicKeyAction::Delete},
    TKeyRow{VK_RETURN, AnyModifiers, true, TMusicKeyAction::Return},
};

}  // namespace

bool KeyIsFresh(DWORD eventTime, DWORD now) noexcept
{
  const auto age = static_cast<std::int32_t>(now - eventTime);
  return age < static_cast<std::int32_t>(KeyFreshness);
}

TShiftState KeyModifiers(TShiftState shift) noexcept
{
  return shift & (ssShift | ssAlt | ssCtrl);
}

TMusicKeyAction MusicKeyAction(WORD key, TShiftState shift, bool fresh, bool entryPending) noexcept
{
  const TShiftState modifiers = KeyModifiers(shift);
  for (const TKeyRow& row : KeyRows) {
    if (row.Key != key || (row.Modifiers != AnyModifiers && row.Modifiers != modifiers)) {
      continue;
    }
    // A waiting entry takes Space and Pause whatever their age: they belong to what is typed.
    if (row.Action == TMusicKeyAction::Pause && entryPending) {
      return TMusicKeyAction::TypeIntoEntry;
    }
    if (row.FreshOnly && !fresh) {
      return TMusicKeyAction::None;
    }
    return row.Action;
  }
  return TMusicKeyAction::None;
}
