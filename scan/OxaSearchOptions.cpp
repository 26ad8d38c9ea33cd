#include "scan/OxaSearchOptions.h"

#include "scan/OxaMusicPlayerTypes.h"

TOxaSearchOptions::TOxaSearchOptions()
    : FDriveInformation(std::make_unique<TOxaDriveInformation>()),
      FWhiteDrives(std::make_unique<TMusicStringList>()),
      FMasks(std::make_unique<TMusicStringList>()),
      FGreyDrives(std::make_unique<TMusicStringList>())
{
  ReadOption(TMusicOption::GreyDrives, *FGreyDrives);
  if (FGreyDrives->Count() == 0) {
    for (int i = 0; i < FDriveInformation->Count(); ++i) {
      const TDriveInfo drive = FDriveInformation->Items(i);
      if (drive.Kind == TDriveKind::dkFixed) {
        FWhiteDrives->Add(drive.Root);
      }
    }
  }
  ReadOption(TMusicOption::Masks, *FMasks);
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
