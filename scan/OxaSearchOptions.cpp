#include "scan/OxaSearchOptions.h"

#include "settings/OxaMusicPlayerTypes.h"

#include <span>

#include "rtl/AnsiText.h"

namespace {

bool HoldsExactlyFirstDefaults(const TStringList& masks)
{
  if (masks.Count() != static_cast<int>(std::size(FirstDefaultMasks))) {
    return false;
  }
  for (const std::string_view mask : FirstDefaultMasks) {
    bool found = false;
    for (int i = 0; i < masks.Count() && !found; ++i) {
      found = AnsiSameText(masks[i], std::string(mask));
    }
    if (!found) {
      return false;
    }
  }
  return true;
}

}  // namespace

TOxaSearchOptions::TOxaSearchOptions()
    : FDriveInformation(std::make_unique<TOxaDriveInformation>()),
      FWhiteDrives(std::make_unique<TMusicStringList>()),
      FMasks(std::make_unique<TMusicStringList>()),
      FGreyDrives(std::make_unique<TMusicStringList>())
{
  // One look at the settings file for both lists: each look takes and drops its lock file.
  TStringList addedMasks;
  const TOptionTarget stored[] = {{TMusicOption::GreyDrives, FGreyDrives.get()},
                                  {TMusicOption::Masks, FMasks.get()},
                                  {TMusicOption::AddedMasks, &addedMasks}};
  ReadOptions(stored);
  if (FGreyDrives->Count() == 0) {
    for (int i = 0; i < FDriveInformation->Count(); ++i) {
      const TDriveInfo drive = FDriveInformation->Items(i);
      if (drive.Kind == TDriveKind::dkFixed) {
        FWhiteDrives->Add(drive.Root);
      }
    }
  }
  const bool fresh = FMasks->Count() == 0;
  if (fresh || (addedMasks.Count() == 0 && HoldsExactlyFirstDefaults(*FMasks))) {
    if (fresh) {
      addedMasks.Clear();
      for (const std::string_view mask : FirstDefaultMasks) {
        FMasks->Add(std::string(mask));
      }
    }
    for (const std::string_view mask : std::span(DefaultMasks).subspan(std::size(FirstDefaultMasks))) {
      FMasks->Add(std::string(mask));
      addedMasks.Add(std::string(mask));
    }
    const TOptionSource written[] = {{TMusicOption::Masks, FMasks.get()},
                                     {TMusicOption::AddedMasks, &addedMasks}};
    WriteOptions(written);
  }
}

TMusicStringList& TOxaSearchOptions::ReloadGreyDrives()
{
  ReadOption(TMusicOption::GreyDrives, *FGreyDrives);
  return *FGreyDrives;
}
