#pragma once
// The scan options the player owns and the scan panel edits: the drive snapshot, the drives
// selected for a full scan, the music extensions and the drives already scanned in full. All
// lists compare without regard to case.

#include <memory>

#include "scan/OxaSearchUtils.h"
#include "settings/MusicStringList.h"

// The extensions written to "Masks" when it is empty, in this order.
inline constexpr std::string_view DefaultMasks[] = {".mp3", ".wav", ".wma",  ".flac",
                                                    ".ogg", ".oga", ".opus", ".m4a"};
// The defaults of the first versions, which knew only these three.
inline constexpr std::string_view FirstDefaultMasks[] = {".mp3", ".wav", ".wma"};

class TOxaSearchOptions : public TObject {
 public:
  // Takes the drive snapshot and loads "GreyDrives". While no drive has ever been scanned in
  // full ("GreyDrives" empty), every fixed disk is selected in WhiteDrives, in drive order;
  // WhiteDrives is not loaded from the settings. Loads "Masks", and when it is empty fills it
  // with DefaultMasks and writes that back at once. A stored list that is exactly the first
  // defaults (in any order and case) gets the later defaults appended and written back, once:
  // "AddedMasks" records what was added, and while it holds anything the stored list is kept
  // as the user left it.
  TOxaSearchOptions();

  TOxaDriveInformation& DriveInformation() noexcept { return *FDriveInformation; }
  TMusicStringList& WhiteDrives() noexcept { return *FWhiteDrives; }
  TMusicStringList& Masks() noexcept { return *FMasks; }
  TMusicStringList& GreyDrives() noexcept { return *FGreyDrives; }

  // Loads "GreyDrives" again and returns it.
  TMusicStringList& ReloadGreyDrives();

 private:
  std::unique_ptr<TOxaDriveInformation> FDriveInformation;
  std::unique_ptr<TMusicStringList> FWhiteDrives;
  std::unique_ptr<TMusicStringList> FMasks;
  std::unique_ptr<TMusicStringList> FGreyDrives;
};
