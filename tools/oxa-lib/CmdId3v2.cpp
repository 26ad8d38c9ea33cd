#include <ostream>

#include "rtl/Strings.h"
#include "tags/id3v2.h"
#include "tools/oxa-lib/Arguments.h"
#include "tools/oxa-lib/Commands.h"
#include "tools/oxa-lib/Json.h"

// The ID3v2 tag at the start of a file: header, load status and every frame, with its text when
// it is a text frame.
int RunId3v2(TCommandArgs args, std::ostream& out, std::ostream& err)
{
  const TArguments arguments(args, {"json"}, {});
  if (!arguments.Error().empty() || arguments.Positional().size() != 1) {
    err << "usage: oxa-lib id3v2 FILE [--json]\n";
    return ExitUsage;
  }
  const std::string& fileName = arguments.Positional()[0];
  Tid3v2tag tag;
  const std::uint16_t status = tag.LoadFromFile(fileName, 0);
  if ((status & 0xFF00) == id3FileNotFound) {
    err << "cannot open \"" << fileName << "\"\n";
    return ExitFailure;
  }
  const TFrameIndex& frames = tag.Frames();
  const auto textOf = [&](int index, std::string& text) {
    // Only the first frame of an ID is what ReadText reads.
    return frames.Find(frames.FrameID(index)) == index ? tag.ReadText(frames.FrameID(index), text) : -1;
  };
  if (arguments.Has("json")) {
    TJsonWriter json(out);
    json.BeginObject()
        .Key("status")
        .Number(status)
        .Key("loaded")
        .Bool(tag.Loaded())
        .Key("version")
        .Number(tag.MajorVersion())
        .Key("revision")
        .Number(tag.Revision())
        .Key("flags")
        .Number(tag.Flags())
        .Key("size")
        .Number(tag.Size())
        .Key("frames")
        .BeginArray();
    for (int i = 1; i <= frames.Count(); ++i) {
      json.BeginObject()
          .Key("id")
          .String(frames.FrameID(i))
          .Key("flags")
          .Number(frames.Flags(i))
          .Key("size")
          .Number(static_cast<std::int64_t>(frames.DataSize(i)));
      std::string text;
      const int result = textOf(i, text);
      if (result >= 0 && result != trNotTextFrame) {
        json.Key("textResult").Number(result).Key("text").String(text);
      }
      json.EndObject();
    }
    json.EndArray().EndObject();
    return ExitSuccess;
  }
  out << "status: 0x" << IntToHex(status, 4) << (Id3StatusOk(status) ? " (loaded)" : " (not loaded)") << '\n'
      << "version: 2." << tag.MajorVersion() << '.' << tag.Revision() << '\n'
      << "flags: 0x" << IntToHex(tag.Flags(), 2) << '\n'
      << "size: " << tag.Size() << '\n';
  for (int i = 1; i <= frames.Count(); ++i) {
    out << frames.FrameID(i) << " flags 0x" << IntToHex(frames.Flags(i), 4) << " size " << frames.DataSize(i);
    std::string text;
    const int result = textOf(i, text);
    if (result == trFound) {
      out << " text \"" << text << '"';
    } else if (result >= 0 && result != trNotTextFrame) {
      out << " text result " << result << (text.empty() ? "" : " \"" + text + '"');
    }
    out << '\n';
  }
  return ExitSuccess;
}
