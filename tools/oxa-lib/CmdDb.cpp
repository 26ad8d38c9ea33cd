#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "library/MusicDatabase.h"
#include "platform/files/Files.h"
#include "platform/files/Paths.h"
#include "rtl/Exception.h"
#include "settings/OxaMusicPlayerTypes.h"
#include "tools/oxa-lib/Arguments.h"
#include "tools/oxa-lib/Commands.h"
#include "tools/oxa-lib/Json.h"

namespace {

constexpr const char* Usage =
    "usage: oxa-lib db info|check|recover [--dir D] [--json] | db create --dir D [--force] [--json]\n";

// A Windows path ("C:\Lib", "\\server\share\Lib") is taken as it is; anything else is a host
// path, named through the drive table.
std::string LibraryDirectory(const std::string& dir)
{
  if ((dir.size() >= 2 && dir[1] == ':') || dir.rfind("\\\\", 0) == 0) {
    return dir;
  }
  return WindowsPathOf(std::filesystem::absolute(dir).lexically_normal().string());
}

const char* StampState(const std::string& stamp)
{
  if (stamp == MusicStampClosed) {
    return "closed";
  }
  if (stamp == MusicStampOpen) {
    return "open";  // connected by a running player, or left so by one that ended without closing
  }
  return stamp.empty() ? "missing" : "foreign";
}

struct TTableCount {
  std::string Name;
  std::int32_t Records = -1;  // -1: the table cannot be opened
};

// The record count of each of the ten tables, read through the engine without touching the
// stamp, so a library in use by the player stays as it is.
std::vector<TTableCount> CountRecords(TMusicDatabase& database)
{
  std::vector<TTableCount> counts;
  database.Connect();
  for (int i = 0; i < database.TableCount(); ++i) {
    TTable& table = database.Tables(i);
    if (!counts.empty() && counts.back().Name == table.TableName()) {
      continue;
    }
    TTableCount count{table.TableName()};
    try {
      table.Open();
      count.Records = table.RecordCount();
    } catch (const Exception&) {
      count.Records = -1;
    }
    table.Close();
    counts.push_back(std::move(count));
  }
  database.Disconnect();
  return counts;
}

int Info(TMusicDatabase& database, bool asJson, std::ostream& out)
{
  const std::string stamp = database.ReadStamp();
  const bool hasFile = GetFileAttributesA(database.FileName().c_str()) != INVALID_FILE_ATTRIBUTES;
  const std::vector<TTableCount> counts = hasFile ? CountRecords(database) : std::vector<TTableCount>();
  if (asJson) {
    TJsonWriter json(out);
    json.BeginObject()
        .Key("directory")
        .String(database.Directory())
        .Key("stamp")
        .String(stamp)
        .Key("state")
        .String(StampState(stamp))
        .Key("connected")
        .Bool(stamp == MusicStampOpen)
        .Key("database")
        .String(database.FileName())
        .Key("tables")
        .BeginObject();
    for (const auto& count : counts) {
      json.Key(count.Name);
      count.Records < 0 ? json.Null() : json.Number(count.Records);
    }
    json.EndObject().EndObject();
    return ExitSuccess;
  }
  out << "directory: " << database.Directory() << '\n'
      << "stamp: " << (stamp.empty() ? "(none)" : stamp) << " (" << StampState(stamp) << ")\n"
      << "connected: " << (stamp == MusicStampOpen ? "yes" : "no") << '\n'
      << "database: " << database.FileName() << (hasFile ? "" : " (missing)") << '\n';
  for (const auto& count : counts) {
    out << "  " << count.Name << ": ";
    if (count.Records < 0) {
      out << "cannot be opened\n";
    } else {
      out << count.Records << '\n';
    }
  }
  return ExitSuccess;
}

int Create(TMusicDatabase& database, bool force, bool asJson, std::ostream& out, std::ostream& err)
{
  if (!database.Lock()) {
    err << database.OpenFailureText() << "; it is left as it is\n";
    return ExitFailure;
  }
  if (database.ReadStamp() == MusicStampOpen && !force) {
    err << "the library was left open by a crash; --force rebuilds it, 'oxa-lib db recover' keeps it when it "
           "is "
           "sound\n";
    return ExitFailure;
  }
  if (!database.CreateLibrary()) {
    err << "cannot delete the old library files or write the stamp in " << database.Directory() << '\n';
    return ExitFailure;
  }
  database.SetConnected(false);
  if (asJson) {
    TJsonWriter json(out);
    json.BeginObject().Key("directory").String(database.Directory()).Key("created").Bool(true).EndObject();
  } else {
    out << "created an empty library in " << database.Directory() << '\n';
  }
  return ExitSuccess;
}

int Check(TMusicDatabase& database, bool asJson, std::ostream& out, std::ostream& err)
{
  std::vector<std::string> problems;
  const std::string stamp = database.ReadStamp();
  if (stamp != MusicStampClosed) {
    problems.push_back(std::string("the stamp is ") + StampState(stamp) +
                       ": the player would rebuild the library");
  } else if (!database.TryOpen()) {
    problems.push_back(database.OpenFailure() == TLibraryFailure::NeedsRebuild
                           ? database.OpenFailureText() + ": the player would rebuild the library"
                           : database.OpenFailureText());
  } else {
    for (auto& problem : database.CheckIntegrity()) {
      problems.push_back(std::move(problem));
    }
    database.SetConnected(false);
  }
  if (asJson) {
    TJsonWriter json(out);
    json.BeginObject().Key("directory").String(database.Directory()).Key("sound").Bool(problems.empty());
    json.Key("problems").BeginArray();
    for (const auto& problem : problems) {
      json.String(problem);
    }
    json.EndArray().EndObject();
  } else if (problems.empty()) {
    out << "ok\n";
  } else {
    for (const auto& problem : problems) {
      err << problem << '\n';
    }
  }
  return problems.empty() ? ExitSuccess : ExitFailure;
}

int Recover(TMusicDatabase& database, bool asJson, std::ostream& out, std::ostream& err)
{
  std::vector<std::string> problems;
  const TLibraryRecovery result = database.Recover(problems);
  static constexpr const char* Outcomes[] = {"sound", "closed", "rebuilt", "failed"};
  const char* outcome = Outcomes[static_cast<int>(result)];
  if (asJson) {
    TJsonWriter json(out);
    json.BeginObject().Key("directory").String(database.Directory()).Key("result").String(outcome);
    json.Key("problems").BeginArray();
    for (const auto& problem : problems) {
      json.String(problem);
    }
    json.EndArray().EndObject();
  } else {
    for (const auto& problem : problems) {
      err << problem << '\n';
    }
    switch (result) {
      case TLibraryRecovery::Sound:
        out << "the library in " << database.Directory() << " is sound and closed\n";
        break;
      case TLibraryRecovery::Closed:
        out << "the library in " << database.Directory() << " is sound; its stamp is closed again\n";
        break;
      case TLibraryRecovery::Rebuilt:
        out << "the library in " << database.Directory() << " was rebuilt empty, the favorites restored\n";
        break;
      case TLibraryRecovery::Failed:
        break;
    }
  }
  return result == TLibraryRecovery::Failed ? ExitFailure : ExitSuccess;
}

}  // namespace

// The library's files in a directory: the stamp and table counts, an empty library, a check.
int RunDb(TCommandArgs args, std::ostream& out, std::ostream& err)
{
  const TArguments arguments(args, {"json", "force"}, {"dir"});
  if (!arguments.Positional().empty() && IsDbCatalogueAction(arguments.Positional()[0])) {
    return RunDbCatalogue(args, out, err);
  }
  const auto dir = arguments.Option("dir");
  if (!arguments.Error().empty() || arguments.Positional().size() != 1 || (dir && dir->empty())) {
    err << Usage;
    return ExitUsage;
  }
  const std::string& action = arguments.Positional()[0];
  // Looking needs no directory named (the library in use, as every other command); creating,
  // which may throw a library away, does.
  if ((action != "info" && action != "create" && action != "check" && action != "recover") ||
      (action == "create" && !dir)) {
    err << Usage;
    return ExitUsage;
  }
  TMusicDatabase database(nullptr);
  database.SetDirectory(dir ? LibraryDirectory(*dir) : GetDatabasePath());
  try {
    if (action == "info") {
      return Info(database, arguments.Has("json"), out);
    }
    if (action == "create") {
      return Create(database, arguments.Has("force"), arguments.Has("json"), out, err);
    }
    if (action == "recover") {
      return Recover(database, arguments.Has("json"), out, err);
    }
    return Check(database, arguments.Has("json"), out, err);
  } catch (const Exception& error) {
    err << error.Message() << '\n';
    return ExitFailure;
  }
}
