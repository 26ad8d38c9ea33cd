#include <optional>
#include <ostream>

#include "rtl/Strings.h"
#include "tags/OxaMusicTag.h"
#include "tags/TagFiles.h"
#include "tools/oxa-lib/Commands.h"
#include "tools/oxa-lib/Json.h"

namespace {

constexpr const char* TagsUsage =
    "usage: oxa-lib tags FILE... [--json]\n"
    "       oxa-lib tags --set FIELD=VALUE [--set FIELD=VALUE ...] FILE [--json]\n"
    "       FIELD: title, artist, album, comment, genre, year, track\n";

struct TTagsArguments {
  std::vector<std::string> Files;
  std::vector<std::pair<std::string, std::string>> Sets;
  bool Json = false;
};

std::optional<TTagsArguments> ParseTagsArguments(TCommandArgs args)
{
  TTagsArguments parsed;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string assignment;
    if (arg == "--json") {
      parsed.Json = true;
      continue;
    }
    if (arg == "--set") {
      if (++i == args.size()) {
        return std::nullopt;
      }
      assignment = args[i];
    } else if (arg.starts_with("--set=")) {
      assignment = arg.substr(6);
    } else if (arg.starts_with("--")) {
      return std::nullopt;
    } else {
      parsed.Files.push_back(arg);
      continue;
    }
    const std::size_t equals = assignment.find('=');
    if (equals == std::string::npos) {
      return std::nullopt;
    }
    parsed.Sets.emplace_back(LowerCase(assignment.substr(0, equals)), assignment.substr(equals + 1));
  }
  if (parsed.Files.empty() || (!parsed.Sets.empty() && parsed.Files.size() != 1)) {
    return std::nullopt;
  }
  return parsed;
}

// Puts one --set value into the item; false for an unknown field or a number that is none.
bool Overlay(TMusicFileItem& item, const std::string& field, const std::string& value)
{
  std::int32_t number = 0;
  if (field == "title") {
    item.Title = value;
  } else if (field == "artist") {
    item.Artist = value;
  } else if (field == "album") {
    item.Album = value;
  } else if (field == "comment") {
    item.Comment = value;
  } else if (field == "genre") {
    item.Genre = value;
  } else if ((field == "year" || field == "track") && TryStrToInt(value, number)) {
    (field == "year" ? item.Year : item.Track) = number;
  } else {
    return false;
  }
  return true;
}

std::string Hex(const TMusicCheckSum& sum)
{
  std::string hex;
  for (const std::uint8_t b : sum) {
    hex += IntToHex(b, 2);
  }
  return hex;
}

void PrintItem(const TMusicFileItem& item, std::ostream& out)
{
  out << item.FileName << '\n'
      << "  title: " << item.Title << '\n'
      << "  artist: " << item.Artist << '\n'
      << "  album: " << item.Album << '\n'
      << "  comment: " << item.Comment << '\n'
      << "  genre: " << item.Genre << '\n'
      << "  year: " << item.Year << '\n'
      << "  track: " << item.Track << '\n'
      << "  bitrate: " << item.Bitrate << '\n'
      << "  duration: " << item.Duration << '\n'
      << "  fingerprint: " << Hex(item.Checksum) << '\n';
}

void WriteItem(const TMusicFileItem& item, bool readable, TJsonWriter& json)
{
  json.BeginObject().Key("file").String(item.FileName).Key("readable").Bool(readable);
  if (readable) {
    json.Key("title")
        .String(item.Title)
        .Key("artist")
        .String(item.Artist)
        .Key("album")
        .String(item.Album)
        .Key("comment")
        .String(item.Comment)
        .Key("genre")
        .String(item.Genre)
        .Key("year")
        .Number(item.Year)
        .Key("track")
        .Number(item.Track)
        .Key("bitrate")
        .Number(item.Bitrate)
        .Key("duration")
        .Number(item.Duration)
        .Key("fingerprint")
        .String(Hex(item.Checksum));
  }
  json.EndObject();
}

// The facade describes a missing file of an unknown kind as an empty one; here that is an error.
// Names are Windows paths or host paths, as everywhere in the program.
bool ReadFile(TOxaMusicTag& tag, TMusicFileItem& item)
{
  return TagFileExists(item.FileName) && tag.ReadItem(item);
}

}  // namespace

// What the scan would store for each file, or the file's tags changed through the same facade.
int RunTags(TCommandArgs args, std::ostream& out, std::ostream& err)
{
  const std::optional<TTagsArguments> parsed = ParseTagsArguments(args);
  if (!parsed) {
    err << TagsUsage;
    return ExitUsage;
  }
  TOxaMusicTag tag;
  std::vector<std::pair<TMusicFileItem, bool>> results;
  int exitCode = ExitSuccess;
  if (!parsed->Sets.empty()) {
    TMusicFileItem item;
    item.FileName = parsed->Files.front();
    if (!ReadFile(tag, item)) {
      err << "cannot read \"" << item.FileName << "\"\n";
      return ExitFailure;
    }
    for (const auto& [field, value] : parsed->Sets) {
      if (!Overlay(item, field, value)) {
        err << "cannot set \"" << field << "\" to \"" << value << "\"\n" << TagsUsage;
        return ExitUsage;
      }
    }
    if (!tag.WriteItem(item)) {
      err << "cannot write the tags of \"" << item.FileName
          << "\": " << TagWriteFailureText(tag.WriteFailure()) << "; the file is as it was\n";
      return ExitFailure;
    }
  }
  for (const std::string& file : parsed->Files) {
    TMusicFileItem item;
    item.FileName = file;
    const bool readable = ReadFile(tag, item);
    if (!readable) {
      err << "cannot read \"" << file << "\"\n";
      exitCode = ExitFailure;
    }
    results.emplace_back(std::move(item), readable);
  }
  if (parsed->Json) {
    TJsonWriter json(out);
    json.BeginArray();
    for (const auto& [item, readable] : results) {
      WriteItem(item, readable, json);
    }
    json.EndArray();
  } else {
    for (const auto& [item, readable] : results) {
      if (readable) {
        PrintItem(item, out);
      }
    }
  }
  return exitCode;
}
