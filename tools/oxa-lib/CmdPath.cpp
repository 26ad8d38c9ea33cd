#include <ostream>
#include <string>

#include "platform/core/LastError.h"
#include "platform/files/Paths.h"
#include "rtl/FileUtils.h"
#include "tools/oxa-lib/Arguments.h"
#include "tools/oxa-lib/Commands.h"
#include "tools/oxa-lib/Json.h"

int RunPath(TCommandArgs args, std::ostream& out, std::ostream& err)
{
  const TArguments arguments(args, {"json", "host"}, {});
  if (!arguments.Error().empty() || arguments.Positional().size() != 1) {
    err << "usage: oxa-lib path WINPATH [--json] | path --host HOSTPATH [--json]\n";
    return ExitUsage;
  }
  const std::string& given = arguments.Positional().front();
  std::string windows;
  std::string host;
  if (arguments.Has("host")) {
    host = given;
    windows = given.starts_with("/") ? WindowsPathOf(given) : std::string();
    if (windows.empty()) {
      err << "path: " << given << " is not an absolute host path on any drive\n";
      return ExitFailure;
    }
  } else {
    if (!FullWindowsPath(given, windows) || !HostPathOf(windows, host)) {
      err << "path: " << given << ": " << SysErrorMessage(GetLastError()) << '\n';
      return ExitFailure;
    }
  }
  if (arguments.Has("json")) {
    TJsonWriter json(out);
    json.BeginObject()
        .Key("windows")
        .String(windows)
        .Key("unc")
        .String(ExpandUNCFileName(windows))
        .Key("host")
        .String(host)
        .EndObject();
  } else {
    out << (arguments.Has("host") ? windows : host) << '\n';
  }
  return ExitSuccess;
}
