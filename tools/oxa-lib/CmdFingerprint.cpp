#include <ostream>

#include "rtl/Strings.h"
#include "tags/MusicCheckSum.h"
#include "tags/OxaMusicTag.h"
#include "tools/oxa-lib/Arguments.h"
#include "tools/oxa-lib/Commands.h"
#include "tools/oxa-lib/Json.h"

// The 36-byte fingerprint the library stores for a file, in hexadecimal, read as the scan reads
// it: an ID3v1 tail left out, the fallback where the audio has no varied window.
int RunFingerprint(TCommandArgs args, std::ostream& out, std::ostream& err)
{
  const TArguments arguments(args, {"json"}, {});
  if (!arguments.Error().empty() || arguments.Positional().size() != 1) {
    err << "usage: oxa-lib fingerprint FILE [--json]\n";
    return ExitUsage;
  }
  const std::string& fileName = arguments.Positional()[0];
  TOxaMusicTag tag;
  TMusicFileItem item;
  item.FileName = fileName;
  // A file that reads has a fingerprint; one of another kind that cannot be opened is all zero.
  if (!tag.ReadItem(item) || item.Checksum == TMusicCheckSum{}) {
    err << "cannot read " << fileName << '\n';
    return ExitFailure;
  }
  std::string hex;
  for (const std::uint8_t b : item.Checksum) {
    hex += IntToHex(b, 2);
  }
  if (arguments.Has("json")) {
    TJsonWriter json(out);
    json.BeginObject()
        .Key("fingerprint")
        .String(hex)
        .Key("hasTail")
        .Bool(tag.HasId3v1())
        .Key("fallback")
        .Bool(TOxaMusicCheckSum::IsFallback(item.Checksum))
        .EndObject();
  } else {
    out << hex << '\n';
  }
  return ExitSuccess;
}
