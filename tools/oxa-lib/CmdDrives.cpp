#include <ostream>
#include <string>
#include <string_view>

#include "platform/files/Drives.h"
#include "tools/oxa-lib/Arguments.h"
#include "tools/oxa-lib/Commands.h"
#include "tools/oxa-lib/Json.h"
#include "tools/oxa-lib/SearchOptionsView.h"

namespace {

std::string_view TypeName(UINT type)
{
  switch (type) {
    case DRIVE_REMOVABLE:
      return "removable";
    case DRIVE_FIXED:
      return "fixed";
    case DRIVE_REMOTE:
      return "network";
    case DRIVE_CDROM:
      return "cd-rom";
    case DRIVE_RAMDISK:
      return "ram disk";
    case DRIVE_NO_ROOT_DIR:
      return "no root dir";
    default:
      return "unknown";
  }
}

struct TDriveRow {
  TDrive Drive;
  std::string Label;
  ULONGLONG Size = 0;
  bool Ready = false;
};

TDriveRow Describe(const TDrive& drive)
{
  TDriveRow row{drive, {}, 0, false};
  const std::string root = std::string(1, drive.Letter) + ":\\";
  ULONGLONG total = 0;
  row.Ready = GetDiskFreeSpaceExA(root.c_str(), nullptr, &total, nullptr) != FALSE;
  row.Size = row.Ready ? total : 0;
  char label[256] = {};
  if (row.Ready &&
      GetVolumeInformationA(root.c_str(), label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0)) {
    row.Label = label;
  }
  return row;
}

}  // namespace

int RunDrives(TCommandArgs args, std::ostream& out, std::ostream& err)
{
  const TArguments arguments(args, {"json", "options"}, {});
  if (!arguments.Error().empty() || !arguments.Positional().empty()) {
    err << "usage: oxa-lib drives [--options] [--json]\n";
    return ExitUsage;
  }
  const auto drives = DriveTable();
  if (arguments.Has("json")) {
    TJsonWriter json(out);
    json.BeginObject().Key("drives").BeginArray();
    for (const auto& drive : drives) {
      const TDriveRow row = Describe(drive);
      json.BeginObject()
          .Key("letter")
          .String(std::string(1, drive.Letter))
          .Key("kind")
          .String(TypeName(drive.Type))
          .Key("label")
          .String(row.Label)
          .Key("size")
          .Number(static_cast<std::int64_t>(row.Size))
          .Key("ready")
          .Bool(row.Ready)
          .Key("folder")
          .String(drive.Folder);
      if (!drive.UncName.empty()) {
        json.Key("unc").String(drive.UncName);
      }
      json.EndObject();
    }
    json.EndArray();
    if (arguments.Has("options")) {
      WriteSearchOptionsView(json);
    }
    json.EndObject();
    return ExitSuccess;
  }
  for (const auto& drive : drives) {
    const TDriveRow row = Describe(drive);
    out << drive.Letter << ":  " << TypeName(drive.Type) << "  \"" << row.Label << "\"  "
        << (row.Ready ? std::to_string(row.Size / (1024ULL * 1024ULL)) + " MB" : std::string("not ready"))
        << "  " << drive.Folder;
    if (!drive.UncName.empty()) {
      out << "  " << drive.UncName;
    }
    out << '\n';
  }
  if (arguments.Has("options")) {
    PrintSearchOptionsView(out);
  }
  return ExitSuccess;
}
