#pragma once
// The progress lines the scan panel shows while a scan runs.

#include <cstdint>
#include <string>

// "Scanning step 1/3... (%d music files found)".
std::string ScanStep1Text(std::int32_t filesFound);
// A remaining time as "%d:%.2d" (minutes, seconds) below an hour, else hours, minutes and
// seconds ("1:02:05"). Negative times read as 0:00.
std::string RemainingTimeText(std::int32_t seconds);
// "Scanning step 2/3... (approx %s min remaining)" with RemainingTimeText; "Scanning step
// 2/3..." alone while the scan has no estimate yet (ScanTimeUnknown).
std::string ScanStep2Text(std::int32_t secondsRemaining);
// "Scanning step 3/3... %3d%% done".
std::string ScanStep3Text(std::int32_t percent);
