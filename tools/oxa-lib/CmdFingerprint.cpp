#include <ostream>

#include "rtl/Exception.h"
#include "rtl/FileStream.h"
#include "rtl/Strings.h"
#include "tags/ID3Version1Tagger.h"
#include "tags/MusicCheckSum.h"
#include "tools/oxa-lib/Arguments.h"
#include "tools/oxa-lib/Commands.h"
#include "tools/oxa-lib/Json.h"

// The 36-byte fingerprint the library stores for a file, in hexadecimal; an ID3v1 tail is left
// out as the scan leaves it out.
int RunFingerprint(TCommandArgs args, std::ostream& out, std::ostream& err)
{
  const TArguments arguments(args, {"json"}, {});
  if (!arguments.Error().empty() || arguments.Positional().size() != 1) {
    err << "usage: oxa-lib fingerprint FILE [--json]\n";
    return ExitUsage;
  }
  const std::string& fileName = arguments.Positional()[0];
  TMusicCheckSum sum{};
  bool hasTail = false;
  try {
    TFileStream stream(fileName, fmOpenRead | fmShareDenyNone);
    TID3Version1Tagger id3v1;
    id3v1.LoadFromStream(stream);
    hasTail = id3v1.HasTag();
    TOxaMusicCheckSum checkSum;
    checkSum.Compute(stream, hasTail, sum);
  } catch (const Exception& error) {
    err << error.Message() << '\n';
    return ExitFailure;
  }
  std::string hex;
  for (const std::uint8_t b : sum) {
    hex += IntToHex(b, 2);
  }
  if (arguments.Has("json")) {
    TJsonWriter json(out);
    json.BeginObject().Key("fingerprint").String(hex).Key("hasTail").Bool(hasTail).EndObject();
  } else {
    out << hex << '\n';
  }
  return ExitSuccess;
}
