// oxa-lib list: the library's tree as the browser sees it. Without arguments the seven views;
// with a view its groups with their count captions; with a group its tracks in order; with a
// file the item itself (a favorite entry as the file it finds).

#include <charconv>
#include <ostream>

#include "library/MusicDatabase.h"
#include "rtl/AnsiText.h"
#include "rtl/Exception.h"
#include "tools/oxa-lib/Arguments.h"
#include "tools/oxa-lib/Commands.h"
#include "tools/oxa-lib/Json.h"
#include "tools/oxa-lib/LibraryAccess.h"

namespace {

constexpr const char* Usage = "usage: oxa-lib list [VIEW [GROUP [FILE]]] [--dir LIB] [--json]\n";

bool ParseId(const std::string& text, std::int32_t& value)
{
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

// A view by number or by name ("albums").
bool ParseView(const std::string& text, std::int32_t& view)
{
  if (ParseId(text, view)) {
    return !TMusicDatabase::ViewName(view).empty();
  }
  for (std::int32_t candidate = ViewFolders; candidate <= ViewPlaylists; ++candidate) {
    if (AnsiSameText(TMusicDatabase::ViewName(candidate), text)) {
      view = candidate;
      return true;
    }
  }
  return false;
}

// The field that names an entry at the next level down.
std::int32_t KeyOf(const TDbId& parent, const TDbId& entry)
{
  switch (parent.Level()) {
    case TDbIdLevel::Root:
      return entry.ViewId;
    case TDbIdLevel::View:
      return entry.GroupId;
    default:
      return entry.FileId;
  }
}

void WriteJson(const TDbIdList& list, std::ostream& out)
{
  TJsonWriter json(out);
  json.BeginArray();
  for (const TDbId& entry : list.Items()) {
    json.BeginObject()
        .Key("view")
        .Number(entry.ViewId)
        .Key("group")
        .Number(entry.GroupId)
        .Key("file")
        .Number(entry.FileId)
        .Key("caption")
        .String(entry.Caption);
    if (!entry.Extra.empty()) {
      json.Key("extra").String(entry.Extra);
    }
    json.Key("order").Number(entry.Order).EndObject();
  }
  json.EndArray();
}

}  // namespace

int RunList(TCommandArgs args, std::ostream& out, std::ostream& err)
{
  const TArguments arguments(args, {"json"}, {"dir"});
  const std::vector<std::string>& words = arguments.Positional();
  if (!arguments.Error().empty() || words.size() > 3) {
    err << Usage;
    return ExitUsage;
  }
  TDbId id;
  if (!words.empty() && !ParseView(words[0], id.ViewId)) {
    err << "no view " << words[0]
        << " (1 Folders, 2 Albums, 3 Artists, 4 Genre, 5 Titles, 6 Years, 7 Playlists)\n";
    return ExitUsage;
  }
  if ((words.size() > 1 && !ParseId(words[1], id.GroupId)) ||
      (words.size() > 2 && !ParseId(words[2], id.FileId))) {
    err << "a group or file is named by its number\n" << Usage;
    return ExitUsage;
  }
  try {
    TMusicDatabase database(nullptr);
    if (!UseLibraryDirectory(database, arguments.Option("dir"), err)) {
      return ExitFailure;
    }
    if (!OpenForReading(database, err)) {
      return ExitFailure;
    }
    TDbIdList list;
    if (!database.GetItems(id, list)) {
      err << "nothing at " << (words.size() == 2 ? "group " + words[1] : "file " + words.back())
          << " of view " << TMusicDatabase::ViewName(id.ViewId) << '\n';
      return ExitFailure;
    }
    if (arguments.Has("json")) {
      WriteJson(list, out);
      return ExitSuccess;
    }
    for (const TDbId& entry : list.Items()) {
      out << KeyOf(id, entry) << '\t' << entry.Caption << '\n';
    }
    return ExitSuccess;
  } catch (const Exception& error) {
    err << error.Message() << '\n';
    return ExitFailure;
  }
}
