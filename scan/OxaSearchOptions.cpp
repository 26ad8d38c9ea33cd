#include "scan/OxaSearchOptions.h"

#include "scan/OxaMusicPlayerTypes.h"

TOxaSearchOptions::TOxaSearchOptions()
    : FDriveInformation(std::make_unique<TOxaDriveInformation>()),
      FWhiteDrives(std::make_unique<TMusicStringList>()),
      FMasks(std::make_unique<TMusicStringList>()),
      FGreyDrives(std::make_unique<TMusicStringList>())
{
  // One look at the settings file for both lists: each look takes and drops its lock file.
  const TOptionTarget stored[] = {{TMusicOption::GreyDrives, FGreyDrives.get()},
                                  {TMusicOption::Masks, FMasks.get()}};
  ReadOptions(stored);
  if (FGreyDrives->Count() == 0) {
    for (int i = 0; i < FDriveInformation->Count(); ++i) {
      const TDriveInfo drive = FDriveInformation->Items(i);
      if (drive.Kind == TDriveKind::dkFixed) {
        FWhiteDrives->Add(drive.Root);
      }
    }
  }
  if (FMasks->Count() == 0) {
    for (const std::string_view mask : DefaultMasks) {
      FMasks->Add(std::string(mask));
    }
    WriteOption(TMusicOption::Masks, *FMasks);
  }
}

TMusicStringList& TOxaSearchOptions::ReloadGreyDrives()
{
  ReadOption(TMusicOption::GreyDrives, *FGreyDrives);
  return *FGreyDrives;
}
