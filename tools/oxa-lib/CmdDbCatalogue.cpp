// The catalogue actions of "oxa-lib db": a scan of given folders merged into the library (a
// stand-in for the scan driver), listings of the file and group records, hiding a file and
// removing the files under a folder.

#include <algorithm>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "library/MusicDatabase.h"
#include "rtl/AnsiText.h"
#include "rtl/Exception.h"
#include "rtl/FilePaths.h"
#include "rtl/Format.h"
#include "scan/OxaSearchEngine.h"
#include "scan/OxaSearchOptions.h"
#include "settings/OxaMusicPlayerTypes.h"
#include "tableengine/Database.h"
#include "tags/OxaMusicTag.h"
#include "tools/oxa-lib/Arguments.h"
#include "tools/oxa-lib/Commands.h"
#include "tools/oxa-lib/Json.h"
#include "tools/oxa-lib/LibraryAccess.h"

namespace {

constexpr const char* Usage =
    "usage: oxa-lib db import PATH... | db files [--json] | db groups TABLE [--json] | db hide PATH | "
    "db remove-under FOLDER   (each [--dir D])\n";

class TImport {
 public:
  TImport(TMusicDatabase& database, std::ostream& out) : FDatabase(database), FOut(out) {}

  void File(TObject*, const std::string& folder, const TSearchRec& record)
  {
    TMusicFileItem item;
    item.FileName = folder + record.Name;
    item.LastWriteTime = record.FindData.ftLastWriteTime;
    item.CreationTime = record.FindData.ftCreationTime;
    item.LastAccessTime = record.FindData.ftLastAccessTime;
    item.Size =
        (static_cast<std::uint64_t>(record.FindData.nFileSizeHigh) << 32) | record.FindData.nFileSizeLow;
    // Only new and changed files are read: the merge leaves the others alone.
    const auto known = std::lower_bound(Known.begin(), Known.end(), item.FileName,
                                        [](const TKnownFile& file, const std::string& path) {
                                          return ComparePaths(file.FilePath, path) < 0;
                                        });
    const TFileAttributes attributes = ItemAttributes(item);
    const bool unchanged =
        known != Known.end() && ComparePaths(known->FilePath, item.FileName) == 0 &&
        std::equal(attributes.begin(), attributes.begin() + CompareAttributesSize, known->Attributes.begin());
    if (!unchanged) {
      if (!FTag.ReadItem(item)) {
        ++Unreadable;
      }
      ++Read;
    }
    Found.push_back(std::move(item));
  }

  void Progress(TObject*, const std::string& folder, std::int32_t percent)
  {
    FOut << Format("%3d%% ", percent) << folder << '\n';
  }

  TKnownFiles Known;
  TMusicFileItems Found;
  int Read = 0;
  int Unreadable = 0;

 private:
  TMusicDatabase& FDatabase;
  std::ostream& FOut;
  TOxaMusicTag FTag;
};

void LoadMasks(TStringList& masks)
{
  ReadOption(TMusicOption::Masks, masks);
  if (masks.Count() == 0) {
    for (const std::string_view mask : DefaultMasks) {
      masks.Add(std::string(mask));
    }
  }
}

int Import(TMusicDatabase& database, const std::vector<std::string>& paths, std::ostream& out,
           std::ostream& err)
{
  TFolderList folders;
  TStringList roots;
  for (const std::string& path : paths) {
    const std::string folder = WindowsPath(path);
    if (folder.empty()) {
      err << "not a path the machine knows: " << path << '\n';
      return ExitFailure;
    }
    folders.push_back(IncludeTrailingBackslash(folder));
    roots.Add(folders.back());
  }
  if (!OpenForWriting(database, err)) {
    return ExitFailure;
  }
  TImport import(database, out);
  import.Known = database.GetKnownFiles(&folders, nullptr, nullptr);
  TMusicDatabase::SortKnownFiles(import.Known);

  TStringList masks;
  LoadMasks(masks);
  TSearchEngine engine;
  engine.Masks = &masks;
  engine.OnFile = MakeMethod<&TImport::File>(&import);
  engine.SearchList(roots, TStringList());
  TMusicDatabase::SortFileItems(import.Found);

  database.OnUpdateProgress = MakeMethod<&TImport::Progress>(&import);
  const bool applied = database.ApplyScanResults(import.Known, import.Found);
  const bool closed = CloseAfterWriting(database, err);
  out << "found " << import.Found.size() << " music files, read " << import.Read << " (" << import.Unreadable
      << " unreadable); the library knew " << import.Known.size() << " under these folders\n";
  if (!applied) {
    err << "the merge failed (" << database.MergeError() << "); the " << database.MergeCommitted()
        << " changes committed before the failure are kept, the rest is not saved\n";
    return ExitFailure;
  }
  return closed ? ExitSuccess : ExitFailure;
}

// Group id -> name (or number) of one group table.
template <class T>
std::map<std::int32_t, std::string> GroupNames(TMusicDatabase& database, TField* T::*id, TField* T::*name)
{
  std::map<std::int32_t, std::string> names;
  T table(database);
  table.Open();
  for (table.First(); !table.Eof(); table.Next()) {
    names[(table.*id)->AsInteger()] = (table.*name)->AsString();
  }
  return names;
}

std::string NameOf(const std::map<std::int32_t, std::string>& names, std::int32_t id)
{
  const auto found = names.find(id);
  return found == names.end() ? std::string() : found->second;
}

int Files(TMusicDatabase& database, bool asJson, std::ostream& out, std::ostream& err)
{
  if (!OpenForReading(database, err)) {
    return ExitFailure;
  }
  const auto artists = GroupNames(database, &TArtistsTable::ArtistId, &TArtistsTable::ArtistName);
  const auto albums = GroupNames(database, &TAlbumsTable::AlbumId, &TAlbumsTable::AlbumName);
  const auto genres = GroupNames(database, &TGenreTable::GenreId, &TGenreTable::GenreName);
  const auto years = GroupNames(database, &TYearsTable::YearId, &TYearsTable::YearNumber);
  const auto folders = GroupNames(database, &TFoldersTable::FolderId, &TFoldersTable::FolderName);
  TFilesTable files(database);
  files.Open();
  TJsonWriter json(out);
  if (asJson) {
    json.BeginArray();
  }
  for (files.First(); !files.Eof(); files.Next()) {
    const bool hidden = files.FolderId->AsInteger() == -1;
    if (asJson) {
      json.BeginObject()
          .Key("fileId")
          .Number(files.FileId->AsInteger())
          .Key("path")
          .String(files.FilePath->AsString())
          .Key("title")
          .String(files.FileName->AsString())
          .Key("tagTitle")
          .Bool(files.TagTitle->AsBoolean())
          .Key("hidden")
          .Bool(hidden);
      if (!hidden) {
        json.Key("folder")
            .String(NameOf(folders, files.FolderId->AsInteger()))
            .Key("artist")
            .String(NameOf(artists, files.ArtistId->AsInteger()))
            .Key("album")
            .String(NameOf(albums, files.AlbumId->AsInteger()))
            .Key("genre")
            .String(NameOf(genres, files.GenreId->AsInteger()))
            .Key("year")
            .String(NameOf(years, files.YearId->AsInteger()));
      }
      json.Key("track")
          .Number(files.Track->AsInteger())
          .Key("bitrate")
          .Number(files.Bitrate->AsInteger())
          .Key("length")
          .Number(files.Length->AsInteger())
          .EndObject();
      continue;
    }
    out << files.FileId->AsInteger() << '\t' << files.FilePath->AsString() << '\t'
        << files.FileName->AsString();
    if (hidden) {
      out << "\t(hidden)";
    } else {
      out << '\t' << NameOf(artists, files.ArtistId->AsInteger()) << '\t'
          << NameOf(albums, files.AlbumId->AsInteger()) << '\t' << NameOf(genres, files.GenreId->AsInteger())
          << '\t' << NameOf(years, files.YearId->AsInteger());
    }
    out << '\n';
  }
  if (asJson) {
    json.EndArray();
  }
  return ExitSuccess;
}

struct TGroupRow {
  std::int32_t Id = -1;
  std::int32_t Count = 0;
  std::string Name;
  std::string Path;  // folders only
};

template <class T>
std::vector<TGroupRow> GroupRows(TMusicDatabase& database, TField* T::*id, TField* T::*count,
                                 TField* T::*name)
{
  std::vector<TGroupRow> rows;
  T table(database);
  table.Open();
  for (table.First(); !table.Eof(); table.Next()) {
    rows.push_back(
        {id ? (table.*id)->AsInteger() : -1, (table.*count)->AsInteger(), (table.*name)->AsString(), {}});
  }
  return rows;
}

int Groups(TMusicDatabase& database, const std::string& which, bool asJson, std::ostream& out,
           std::ostream& err)
{
  const std::string table = AnsiLowerCase(which);
  std::vector<TGroupRow> rows;
  if (!OpenForReading(database, err)) {
    return ExitFailure;
  }
  if (table == "folders" || table == "musicfolders") {
    TFoldersTable folders(database);
    folders.Open();
    for (folders.First(); !folders.Eof(); folders.Next()) {
      rows.push_back({folders.FolderId->AsInteger(), folders.FolderRefCount->AsInteger(),
                      folders.FolderName->AsString(), folders.FolderPath->AsString()});
    }
  } else if (table == "renamefolders" || table == "musicrenamefolders") {
    rows = GroupRows<TRenameFoldersTable>(database, nullptr, &TRenameFoldersTable::RefCount,
                                          &TRenameFoldersTable::Name);
  } else if (table == "artists" || table == "musicartists") {
    rows = GroupRows(database, &TArtistsTable::ArtistId, &TArtistsTable::ArtistRefCount,
                     &TArtistsTable::ArtistName);
  } else if (table == "albums" || table == "musicalbums") {
    rows =
        GroupRows(database, &TAlbumsTable::AlbumId, &TAlbumsTable::AlbumRefCount, &TAlbumsTable::AlbumName);
  } else if (table == "genre" || table == "genres" || table == "musicgenre") {
    rows = GroupRows(database, &TGenreTable::GenreId, &TGenreTable::GenreRefCount, &TGenreTable::GenreName);
  } else if (table == "letters" || table == "musicletters") {
    rows = GroupRows(database, &TLettersTable::LetterId, &TLettersTable::LetterRefCount,
                     &TLettersTable::LetterName);
  } else if (table == "years" || table == "musicyears") {
    rows = GroupRows(database, &TYearsTable::YearId, &TYearsTable::YearRefCount, &TYearsTable::YearNumber);
  } else {
    err << "no group table " << which
        << " (folders, renamefolders, artists, albums, genre, letters, years)\n";
    return ExitUsage;
  }
  if (asJson) {
    TJsonWriter json(out);
    json.BeginArray();
    for (const TGroupRow& row : rows) {
      json.BeginObject();
      if (row.Id != -1) {
        json.Key("id").Number(row.Id);
      }
      json.Key("name").String(row.Name).Key("count").Number(row.Count);
      if (!row.Path.empty()) {
        json.Key("path").String(row.Path);
      }
      json.EndObject();
    }
    json.EndArray();
    return ExitSuccess;
  }
  for (const TGroupRow& row : rows) {
    if (row.Id != -1) {
      out << row.Id << '\t';
    }
    out << row.Count << '\t' << row.Name;
    if (!row.Path.empty()) {
      out << '\t' << row.Path;
    }
    out << '\n';
  }
  return ExitSuccess;
}

// Runs change, which may leave group records changed before the file records that name them,
// in one transaction. A failure rolls it all back and closes the library as sound (a library
// left marked open would be rebuilt, losing what it holds), then raises again.
template <class TChange>
void ChangeInOneTransaction(TMusicDatabase& database, const TChange& change)
{
  try {
    TTransaction transaction(database);
    change();
    transaction.Commit();
  } catch (...) {
    database.SetConnected(false);
    throw;
  }
}

int Hide(TMusicDatabase& database, const std::string& argument, std::ostream& out, std::ostream& err)
{
  const std::string path = WindowsPath(argument);
  if (!OpenForWriting(database, err)) {
    return ExitFailure;
  }
  const TDbId item = database.FindFileByPath(path, ViewFolders);
  if (item.Empty()) {
    database.SetConnected(false);
    err << "no visible file " << (path.empty() ? argument : path) << " in the library\n";
    return ExitFailure;
  }
  ChangeInOneTransaction(database, [&] { database.HideItems(std::span<const TDbId>(&item, 1)); });
  database.SetConnected(false);
  out << "hidden: " << path << '\n';
  return ExitSuccess;
}

int RemoveUnder(TMusicDatabase& database, const std::string& argument, std::ostream& out, std::ostream& err)
{
  const std::string folder = WindowsPath(argument);
  if (folder.empty()) {
    err << "not a path the machine knows: " << argument << '\n';
    return ExitFailure;
  }
  if (!OpenForWriting(database, err)) {
    return ExitFailure;
  }
  const TFolderList folders{IncludeTrailingBackslash(folder)};
  const std::size_t before = database.GetKnownFiles(&folders, nullptr, nullptr).size();
  ChangeInOneTransaction(database, [&] { database.RemoveFilesUnder(folders); });
  database.SetConnected(false);
  out << "removed " << before << " files under " << folders[0] << '\n';
  return ExitSuccess;
}

}  // namespace

bool IsDbCatalogueAction(std::string_view action)
{
  return action == "import" || action == "files" || action == "groups" || action == "hide" ||
         action == "remove-under";
}

int RunDbCatalogue(TCommandArgs args, std::ostream& out, std::ostream& err)
{
  const TArguments arguments(args, {"json"}, {"dir"});
  const std::vector<std::string>& words = arguments.Positional();
  if (!arguments.Error().empty() || words.empty() || !IsDbCatalogueAction(words[0])) {
    err << Usage;
    return ExitUsage;
  }
  const std::string& action = words[0];
  const bool oneArgument = action == "groups" || action == "hide" || action == "remove-under";
  if ((action == "import" && words.size() < 2) || (action == "files" && words.size() != 1) ||
      (oneArgument && words.size() != 2)) {
    err << Usage;
    return ExitUsage;
  }
  try {
    TMusicDatabase database(nullptr);
    if (!UseLibraryDirectory(database, arguments.Option("dir"), err)) {
      return ExitFailure;
    }
    if (action == "import") {
      return Import(database, std::vector<std::string>(words.begin() + 1, words.end()), out, err);
    }
    if (action == "files") {
      return Files(database, arguments.Has("json"), out, err);
    }
    if (action == "groups") {
      return Groups(database, words[1], arguments.Has("json"), out, err);
    }
    if (action == "hide") {
      return Hide(database, words[1], out, err);
    }
    return RemoveUnder(database, words[1], out, err);
  } catch (const Exception& error) {
    err << error.Message() << '\n';
    return ExitFailure;
  }
}
