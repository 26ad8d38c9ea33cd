#pragma once
// What oxa-lib scan shows and counts: the three progress texts as the main controller shows
// them, and what a merge of a scan's result will do to the library.

#include <cstdint>
#include <string>

#include "scan/KnownFiles.h"

// "Scanning step 1/3... (%d music files found)".
std::string Step1Text(std::int32_t files);
// "Scanning step 2/3... (approx %s min remaining)": minutes and two-digit seconds below an
// hour, hours, minutes and seconds from an hour on, "?" while the time is unknown.
std::string Step2Text(std::int32_t seconds);
std::string RemainingText(std::int32_t seconds);
// "Scanning step 3/3... %3d%% done".
std::string Step3Text(std::int32_t percent);

struct TMergeCounts {
  std::int64_t Added = 0;
  std::int64_t Updated = 0;
  std::int64_t Removed = 0;
};
// Both lists sorted by path (SortKnownFiles, SortFileItems), as the merge takes them.
TMergeCounts CountMerge(const TKnownFiles& known, const TMusicFileItems& found);
