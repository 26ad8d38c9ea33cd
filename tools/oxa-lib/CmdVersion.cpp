#include <ostream>

#include "tools/oxa-lib/Arguments.h"
#include "tools/oxa-lib/Commands.h"
#include "tools/oxa-lib/Json.h"

int RunVersion(TCommandArgs args, std::ostream& out, std::ostream& err)
{
  const TArguments arguments(args, {"json"}, {});
  if (!arguments.Error().empty() || !arguments.Positional().empty()) {
    err << "usage: oxa-lib version [--json]\n";
    return ExitUsage;
  }
  if (arguments.Has("json")) {
    TJsonWriter json(out);
    json.BeginObject().Key("program").String("OxaNetMusic").Key("version").String(OXA_VERSION).EndObject();
  } else {
    out << "OxaNetMusic " << OXA_VERSION << '\n';
  }
  return ExitSuccess;
}
