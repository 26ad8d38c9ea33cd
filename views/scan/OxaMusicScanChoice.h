#pragma once
// What START does to the stored scan lists, apart from the panel: the checked drives become the
// drives of the next full scan, or, with an option chosen, the drives whose tracks are shown
// again or removed. The lists are changed in one write of the settings file.

#include <cstdint>
#include <string>
#include <vector>

// The option group's answer.
enum class TOxaScanOption : std::int8_t { None = -1, ShowRemoved = 0, DontShow = 1 };

// The event START raises for its option.
enum class TOxaScanEvent : std::uint8_t { Start, Unhide, Remove };

struct TOxaScanStartResult {
  TOxaScanEvent Event = TOxaScanEvent::Start;
  std::string Status;  // the status text to show; empty to leave it
};

// Applies START for the checked drive roots ("C:\"):
// - no option: the roots become "WhiteDrives" (an empty list when nothing is checked);
// - either option: the roots leave "WhiteDrives"; then
//   - ShowRemoved: the roots become "UnhideFiles" and join "GreyDrives", and a drive without
//     any root left gets its own root in "Roots", so the update scan that follows walks it
//     and finds its tracks again;
//   - DontShow: the roots become "DeleteFiles" and leave "GreyDrives", and the "Roots" and
//     "Cuts" on those drives go, so no later update scan brings the removed tracks back;
//   and the drives leave the other option's list ("DeleteFiles" or "UnhideFiles").
TOxaScanStartResult OxaApplyScanStart(const std::vector<std::string>& checkedRoots, TOxaScanOption option);

// Whether an entry ("C:\Music\") lies on one of the drives (compared by their first three
// characters, without regard to case).
bool OxaOnDrives(const std::string& entry, const std::vector<std::string>& roots);
