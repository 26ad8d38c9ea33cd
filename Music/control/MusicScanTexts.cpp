#include "Music/control/MusicScanTexts.h"

#include "rtl/Format.h"
#include "scan/OxaSearchEngineWrapper.h"

std::string ScanStep1Text(std::int32_t filesFound)
{
  return Format("Scanning step 1/3... (%d music files found)", filesFound);
}

std::string RemainingTimeText(std::int32_t seconds)
{
  const std::int32_t total = seconds < 0 ? 0 : seconds;
  const std::int32_t hours = total / 3600;
  const std::int32_t minutes = total / 60 % 60;
  const std::int32_t rest = total % 60;
  if (hours == 0) {
    return Format("%d:%.2d", minutes, rest);
  }
  return Format("%d:%.2d:%.2d", hours, minutes, rest);
}

std::string ScanStep2Text(std::int32_t secondsRemaining)
{
  // Nothing read yet: no estimate is better than one of 68 years.
  if (secondsRemaining == ScanTimeUnknown) {
    return "Scanning step 2/3...";
  }
  return Format("Scanning step 2/3... (approx %s min remaining)", RemainingTimeText(secondsRemaining));
}

std::string ScanStep3Text(std::int32_t percent)
{
  return Format("Scanning step 3/3... %3d%% done", percent);
}
