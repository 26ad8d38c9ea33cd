#include <ostream>

#include "tags/ID3Genres.h"
#include "tags/ID3Version1Tagger.h"
#include "tools/oxa-lib/Arguments.h"
#include "tools/oxa-lib/Commands.h"
#include "tools/oxa-lib/Json.h"

// The ID3v1 tag at the end of a file, field by field.
int RunId3v1(TCommandArgs args, std::ostream& out, std::ostream& err)
{
  const TArguments arguments(args, {"json"}, {});
  if (!arguments.Error().empty() || arguments.Positional().size() != 1) {
    err << "usage: oxa-lib id3v1 FILE [--json]\n";
    return ExitUsage;
  }
  const std::string& fileName = arguments.Positional()[0];
  TID3Version1Tagger tagger;
  if (!tagger.Load(fileName)) {
    err << "cannot read an ID3v1 tag from \"" << fileName << "\" (missing or shorter than 128 bytes)\n";
    return ExitFailure;
  }
  if (arguments.Has("json")) {
    TJsonWriter json(out);
    json.BeginObject().Key("hasTag").Bool(tagger.HasTag());
    if (tagger.HasTag()) {
      json.Key("title")
          .String(tagger.Title())
          .Key("artist")
          .String(tagger.Artist())
          .Key("album")
          .String(tagger.Album())
          .Key("year")
          .String(tagger.Year())
          .Key("comment")
          .String(tagger.Comment())
          .Key("track")
          .Number(tagger.Track())
          .Key("genre")
          .Number(tagger.Genre())
          .Key("genreName")
          .String(Id3GenreName(tagger.Genre()));
    }
    json.EndObject();
  } else if (!tagger.HasTag()) {
    out << "no ID3v1 tag\n";
  } else {
    out << "title: " << tagger.Title() << '\n'
        << "artist: " << tagger.Artist() << '\n'
        << "album: " << tagger.Album() << '\n'
        << "year: " << tagger.Year() << '\n'
        << "comment: " << tagger.Comment() << '\n'
        << "track: " << tagger.Track() << '\n'
        << "genre: " << tagger.Genre() << ' ' << Id3GenreName(tagger.Genre()) << '\n';
  }
  return ExitSuccess;
}
