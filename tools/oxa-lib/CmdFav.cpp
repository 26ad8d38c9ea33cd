// oxa-lib fav: the favorite lists, changed through the program's own editors, so the tables and
// the files under "Favorites\" are written exactly as the program writes them. Every argument is
// checked before anything changes: a missing list, file or position changes nothing.

#include <algorithm>
#include <charconv>
#include <functional>
#include <ostream>
#include <set>

#include "library/MusicDatabase.h"
#include "rtl/AnsiText.h"
#include "rtl/Exception.h"
#include "tools/oxa-lib/Arguments.h"
#include "tools/oxa-lib/Commands.h"
#include "tools/oxa-lib/Json.h"
#include "tools/oxa-lib/LibraryAccess.h"

namespace {

constexpr const char* Usage =
    "usage: oxa-lib fav new NAME | add LIST FILE... | move LIST FROM TO | remove LIST [INDEX...] | "
    "delete LIST | rename LIST NAME | show LIST [--json]   (each [--dir LIB])\n";

struct TAction {
  std::string_view Name;
  std::size_t MinWords;  // the action's own word included
  std::size_t MaxWords;  // 0: any number
};

constexpr TAction Actions[] = {
    {"new", 2, 2},    {"add", 3, 0},    {"move", 4, 4}, {"remove", 2, 0},
    {"delete", 2, 2}, {"rename", 3, 3}, {"show", 2, 2},
};

bool ParseNumber(const std::string& text, std::int32_t& value)
{
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

// A list by name (without regard to case, the first in list order) or else by its id; -1 when
// there is none.
int FindList(const TMusicFavoriteMastersEdit& masters, const std::string& list)
{
  for (int i = 0; i < masters.Count(); ++i) {
    if (AnsiSameText(masters.Get(i).Name, list)) {
      return i;
    }
  }
  std::int32_t id = 0;
  return ParseNumber(list, id) && id > 0 ? masters.IndexOf(id) : -1;
}

// Positions from 1, as show lists them; false (with a message) for one outside the list.
bool ParsePositions(std::span<const std::string> words, int count, std::vector<int>& positions,
                    std::ostream& err)
{
  for (const std::string& word : words) {
    std::int32_t position = 0;
    if (!ParseNumber(word, position) || position < 1 || position > count) {
      err << "no entry " << word << " in the list (it has " << count << ")\n";
      return false;
    }
    positions.push_back(position - 1);
  }
  return true;
}

class TFavorites {
 public:
  TFavorites(TMusicDatabase& database, std::ostream& out, std::ostream& err)
      : FDatabase(database), FOut(out), FErr(err)
  {
  }

  int Run(const std::vector<std::string>& words, bool asJson)
  {
    const std::string& action = words[0];
    if (action == "show") {
      if (!OpenForReading(FDatabase, FErr)) {
        return ExitFailure;
      }
      return Show(words[1], asJson);
    }
    if (!OpenForWriting(FDatabase, FErr)) {
      return ExitFailure;
    }
    int result = ExitFailure;
    try {
      result = Change(words);
    } catch (const std::exception& error) {
      // The library is closed properly in any case: left open, it would be rebuilt at the next
      // start. A failed save has rolled back, so the lists are as they were.
      FDatabase.FreeEditors();
      CloseAfterWriting(FDatabase, FErr);
      FErr << error.what() << "; the lists are left as they were\n";
      return ExitFailure;
    }
    FDatabase.FreeEditors();
    FDatabase.FavoritesThread().Flush();
    const std::exception_ptr failure = FDatabase.FavoritesThread().TakeFailure();
    const bool closed = CloseAfterWriting(FDatabase, FErr);
    if (failure) {
      try {
        std::rethrow_exception(failure);
      } catch (const std::exception& error) {
        FErr << "the list is saved in the library, but its file could not be written: " << error.what()
             << '\n';
      }
      return ExitFailure;
    }
    return closed ? result : ExitFailure;
  }

 private:
  int Change(const std::vector<std::string>& words)
  {
    const std::string& action = words[0];
    TMusicFavoriteMastersEdit& masters = FDatabase.EditFavoriteMasters();
    if (action == "new") {
      masters.Add(words[1], -1);
      masters.Save();
      FOut << "list " << masters.Get(masters.Count() - 1).MasterId << " " << words[1] << '\n';
      return ExitSuccess;
    }
    const int list = FindList(masters, words[1]);
    if (list == -1) {
      FErr << "no favorite list " << words[1] << '\n';
      return ExitFailure;
    }
    const TFavoriteMaster master = masters.Get(list);
    if (action == "delete") {
      masters.Delete(list);
      masters.Save();
      FOut << "deleted list " << master.MasterId << " " << master.Name << '\n';
      return ExitSuccess;
    }
    if (action == "rename") {
      masters.Rename(list, words[2]);
      masters.Save();
      FOut << "list " << master.MasterId << " " << words[2] << '\n';
      return ExitSuccess;
    }
    TMusicFavoriteDetailsEdit* details = FDatabase.EditFavoriteDetails(master.MasterId);
    if (details == nullptr) {
      FErr << "no favorite list " << words[1] << '\n';
      return ExitFailure;
    }
    const std::span<const std::string> rest(words.begin() + 2, words.end());
    if (action == "add") {
      std::vector<std::int32_t> files;
      for (const std::string& file : rest) {
        const TDbId item = FDatabase.FindFileByPath(WindowsPath(file), ViewFolders);
        if (item.Empty()) {
          FErr << "no visible file " << file << " in the library\n";
          return ExitFailure;
        }
        files.push_back(item.FileId);
      }
      for (const std::int32_t file : files) {
        details->AddFile(file, -1);
      }
    } else {
      std::vector<int> positions;
      if (!ParsePositions(rest, details->Count(), positions, FErr)) {
        return ExitFailure;
      }
      if (action == "move") {
        details->Move(positions[0], positions[1]);
      } else {
        if (positions.empty()) {
          for (int i = 0; i < details->Count(); ++i) {
            positions.push_back(i);
          }
        }
        std::sort(positions.begin(), positions.end(), std::greater<>());
        positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
        for (const int position : positions) {
          details->Delete(position);
        }
      }
    }
    details->Save();
    FOut << "list " << master.MasterId << " " << master.Name << ": " << details->Count() << " entries\n";
    return ExitSuccess;
  }

  int Show(const std::string& name, bool asJson)
  {
    TMusicFavoriteMastersEdit& masters = FDatabase.EditFavoriteMasters();
    const int list = FindList(masters, name);
    if (list == -1) {
      FErr << "no favorite list " << name << '\n';
      return ExitFailure;
    }
    const TFavoriteMaster master = masters.Get(list);
    TDbId group;
    group.ViewId = ViewPlaylists;
    group.GroupId = master.MasterId;
    TDbIdList entries;
    FDatabase.GetItems(group, entries);
    // The paths as resolving left them.
    std::vector<std::string> paths;
    if (TMusicFavoriteDetailsEdit* details = FDatabase.EditFavoriteDetails(master.MasterId)) {
      for (const TDbId& entry : entries.Items()) {
        const int index = details->IndexOf(entry.FileId);
        paths.push_back(index == -1 ? std::string() : details->Get(index).FilePath);
      }
    }
    paths.resize(static_cast<std::size_t>(entries.Count()));
    FDatabase.FreeEditors();
    if (asJson) {
      TJsonWriter json(FOut);
      json.BeginObject().Key("id").Number(master.MasterId).Key("name").String(master.Name);
      json.Key("entries").BeginArray();
      for (int i = 0; i < entries.Count(); ++i) {
        json.BeginObject()
            .Key("detailId")
            .Number(entries.Get(i).FileId)
            .Key("title")
            .String(entries.Get(i).Caption)
            .Key("path")
            .String(paths[static_cast<std::size_t>(i)])
            .EndObject();
      }
      json.EndArray().EndObject();
      return ExitSuccess;
    }
    for (int i = 0; i < entries.Count(); ++i) {
      FOut << i + 1 << '\t' << entries.Get(i).Caption << '\t' << paths[static_cast<std::size_t>(i)] << '\n';
    }
    return ExitSuccess;
  }

  TMusicDatabase& FDatabase;
  std::ostream& FOut;
  std::ostream& FErr;
};

}  // namespace

int RunFav(TCommandArgs args, std::ostream& out, std::ostream& err)
{
  const TArguments arguments(args, {"json"}, {"dir"});
  const std::vector<std::string>& words = arguments.Positional();
  const auto action = std::find_if(std::begin(Actions), std::end(Actions), [&](const TAction& candidate) {
    return !words.empty() && candidate.Name == words[0];
  });
  if (!arguments.Error().empty() || action == std::end(Actions) || words.size() < action->MinWords ||
      (action->MaxWords != 0 && words.size() > action->MaxWords)) {
    err << Usage;
    return ExitUsage;
  }
  try {
    TMusicDatabase database(nullptr);
    if (!UseLibraryDirectory(database, arguments.Option("dir"), err)) {
      return ExitFailure;
    }
    return TFavorites(database, out, err).Run(words, arguments.Has("json"));
  } catch (const Exception& error) {
    err << error.Message() << '\n';
    return ExitFailure;
  }
}
