#pragma once
// The search options as the player creates them: the drive snapshot with the scan's kind names,
// the drives selected for a full scan, those already scanned and the music extensions. Shown by
// "oxa-lib drives".

#include <iosfwd>

class TJsonWriter;

// Creating the options writes the default "Masks" when the settings have none, as the player does.
void PrintSearchOptionsView(std::ostream& out);
// The same as members of the JSON object being written: "searchDrives", "whiteDrives",
// "greyDrives" and "masks".
void WriteSearchOptionsView(TJsonWriter& json);
