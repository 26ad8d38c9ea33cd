#include <ostream>

#include "platform/display/GdiText.h"
#include "platform/windows/DisplayInfo.h"
#include "tools/oxa-lib/Arguments.h"
#include "tools/oxa-lib/Commands.h"
#include "tools/oxa-lib/Json.h"

namespace {

// The skin's platform fonts.
constexpr const char* Faces[] = {"Verdana", "Arial"};

}  // namespace

int RunDisplay(TCommandArgs args, std::ostream& out, std::ostream& err)
{
  const TArguments arguments(args, {"json"}, {});
  if (!arguments.Error().empty() || !arguments.Positional().empty()) {
    err << "usage: oxa-lib display [--json]\n";
    return ExitUsage;
  }
  const TDisplayInfo info = DescribeDisplay();
  if (arguments.Has("json")) {
    TJsonWriter json(out);
    json.BeginObject()
        .Key("backEnd")
        .String(info.BackEnd)
        .Key("available")
        .Bool(info.Available)
        .Key("width")
        .Number(info.Screen.cx)
        .Key("height")
        .Number(info.Screen.cy)
        .Key("depth")
        .Number(info.Depth)
        .Key("sharedMemory")
        .Bool(info.SharedMemory)
        .Key("faces")
        .BeginObject();
    for (const char* name : Faces) {
      const TFontFace face = ResolveFontFace(name);
      json.Key(name)
          .BeginObject()
          .Key("family")
          .String(face.Family)
          .Key("file")
          .String(face.File)
          .EndObject();
    }
    json.EndObject().EndObject();
  } else {
    out << "back end: " << info.BackEnd << (info.Available ? "" : " (unreachable)") << '\n';
    out << "screen: " << info.Screen.cx << " x " << info.Screen.cy << ", " << info.Depth << " bits\n";
    out << "shared memory: " << (info.SharedMemory ? "yes" : "no") << '\n';
    for (const char* name : Faces) {
      const TFontFace face = ResolveFontFace(name);
      out << name << ": " << (face.Family.empty() ? "(none)" : face.Family) << " (" << face.File << ")\n";
    }
  }
  if (!info.Available) {
    err << "oxa-lib: the display cannot be reached\n";
    return ExitFailure;
  }
  return ExitSuccess;
}
