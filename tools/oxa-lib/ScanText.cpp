#include "tools/oxa-lib/ScanText.h"

#include "rtl/AnsiText.h"
#include "rtl/Format.h"
#include "scan/OxaSearchEngineWrapper.h"

std::string Step1Text(std::int32_t files)
{
  return Format("Scanning step 1/3... (%d music files found)", files);
}

std::string RemainingText(std::int32_t seconds)
{
  if (seconds == ScanTimeUnknown || seconds < 0) {
    return "?";
  }
  constexpr std::int32_t Hour = 3600;
  if (seconds < Hour) {
    return Format("%d:%.2d", seconds / 60, seconds % 60);
  }
  return Format("%d:%.2d:%.2d", seconds / Hour, seconds % Hour / 60, seconds % 60);
}

std::string Step2Text(std::int32_t seconds)
{
  return Format("Scanning step 2/3... (approx %s min remaining)", RemainingText(seconds));
}

std::string Step3Text(std::int32_t percent)
{
  return Format("Scanning step 3/3... %3d%% done", percent);
}

TMergeCounts CountMerge(const TKnownFiles& known, const TMusicFileItems& found)
{
  TMergeCounts counts;
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < known.size() || j < found.size()) {
    const int order = i >= known.size()   ? 1
                      : j >= found.size() ? -1
                                          : ComparePaths(known[i].FilePath, found[j].FileName);
    if (order < 0) {
      ++counts.Removed;
      ++i;
    } else if (order > 0) {
      ++counts.Added;
      ++j;
    } else {
      if (!SameCompareAttributes(known[i].Attributes, ItemAttributes(found[j]))) {
        ++counts.Updated;
      }
      ++i;
      ++j;
    }
  }
  return counts;
}
