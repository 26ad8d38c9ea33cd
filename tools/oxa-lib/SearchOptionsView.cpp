#include "tools/oxa-lib/SearchOptionsView.h"

#include <ostream>
#include <string_view>

#include "scan/OxaSearchOptions.h"
#include "tools/oxa-lib/Json.h"

namespace {

std::string_view KindName(TDriveKind kind)
{
  switch (kind) {
    case TDriveKind::dkRemovable:
      return "removable";
    case TDriveKind::dkFixed:
      return "fixed disk";
    case TDriveKind::dkNetwork:
      return "network";
    case TDriveKind::dkCDRom:
      return "CD-ROM";
    case TDriveKind::dkRamDisk:
      return "RAM disk";
    case TDriveKind::dkUnknown:
      break;
  }
  return "unknown";
}

constexpr std::int64_t MiB = 1024 * 1024;

void PrintList(std::ostream& out, std::string_view title, const TStringList& list)
{
  out << title << ':';
  for (int i = 0; i < list.Count(); ++i) {
    out << ' ' << list[i];
  }
  out << '\n';
}

void WriteList(TJsonWriter& json, std::string_view key, const TStringList& list)
{
  json.Key(key).BeginArray();
  for (int i = 0; i < list.Count(); ++i) {
    json.String(list[i]);
  }
  json.EndArray();
}

}  // namespace

void PrintSearchOptionsView(std::ostream& out)
{
  TOxaSearchOptions options;
  out << "Search options:\n";
  const TOxaDriveInformation& drives = options.DriveInformation();
  for (int i = 0; i < drives.Count(); ++i) {
    const TDriveInfo drive = drives.Items(i);
    out << "  " << drive.Root << "  " << KindName(drive.Kind);
    if (drive.Size > 0) {
      out << "  " << drive.Size / MiB << " MB";
    }
    if (!drive.Name.empty()) {
      out << "  \"" << drive.Name << '"';
    }
    out << '\n';
  }
  PrintList(out, "White drives", options.WhiteDrives());
  PrintList(out, "Grey drives", options.GreyDrives());
  PrintList(out, "Masks", options.Masks());
}

void WriteSearchOptionsView(TJsonWriter& json)
{
  TOxaSearchOptions options;
  json.Key("searchDrives").BeginArray();
  const TOxaDriveInformation& drives = options.DriveInformation();
  for (int i = 0; i < drives.Count(); ++i) {
    const TDriveInfo drive = drives.Items(i);
    json.BeginObject()
        .Key("root")
        .String(drive.Root)
        .Key("kind")
        .Number(static_cast<int>(drive.Kind))
        .Key("kindName")
        .String(KindName(drive.Kind))
        .Key("size")
        .Number(drive.Size)
        .Key("name")
        .String(drive.Name)
        .EndObject();
  }
  json.EndArray();
  WriteList(json, "whiteDrives", options.WhiteDrives());
  WriteList(json, "greyDrives", options.GreyDrives());
  WriteList(json, "masks", options.Masks());
}
