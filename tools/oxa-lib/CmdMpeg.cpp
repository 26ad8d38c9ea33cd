#include <ostream>

#include "rtl/Exception.h"
#include "rtl/FileStream.h"
#include "tags/ID3Version1Tagger.h"
#include "tags/MPegHeader.h"
#include "tools/oxa-lib/Arguments.h"
#include "tools/oxa-lib/Commands.h"
#include "tools/oxa-lib/Json.h"

// The stream header of an MP3 file, analysed as the scan does: the ID3v1 tail and a leading
// ID3v2 tag of any version are not audio.
int RunMpeg(TCommandArgs args, std::ostream& out, std::ostream& err)
{
  const TArguments arguments(args, {"json"}, {});
  if (!arguments.Error().empty() || arguments.Positional().size() != 1) {
    err << "usage: oxa-lib mpeg FILE [--json]\n";
    return ExitUsage;
  }
  const std::string& fileName = arguments.Positional()[0];
  TMPegHeader header;
  try {
    TFileStream stream(fileName, fmOpenRead | fmShareDenyNone);
    TID3Version1Tagger id3v1;
    id3v1.LoadFromStream(stream);
    header.Analyse(stream, id3v1.HasTag(), true);
  } catch (const Exception& error) {
    err << error.Message() << '\n';
    return ExitFailure;
  }
  if (arguments.Has("json")) {
    TJsonWriter json(out);
    json.BeginObject()
        .Key("bitrate")
        .Number(header.Bitrate())
        .Key("sampleRate")
        .Number(header.SampleRate())
        .Key("framesSampled")
        .Number(header.FrameCount())
        .Key("duration")
        .Number(header.Duration())
        .Key("headerFrames")
        .Number(header.HeaderFrames())
        .Key("audioStart")
        .Number(header.AudioStart())
        .Key("hasTail")
        .Bool(header.HasTail())
        .EndObject();
  } else {
    out << "bitrate: " << header.Bitrate() << (header.Bitrate() == -1 ? " (variable)" : "") << '\n'
        << "sample rate: " << header.SampleRate() << '\n'
        << "frames sampled: " << header.FrameCount() << '\n'
        << "duration: " << header.Duration() << '\n'
        << "frame count in the first frame: " << header.HeaderFrames() << '\n'
        << "audio start: " << header.AudioStart() << '\n'
        << "tail: " << (header.HasTail() ? "yes" : "no") << '\n';
  }
  return ExitSuccess;
}
