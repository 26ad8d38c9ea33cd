#include "tests/library/LibraryCheck.h"

#include <map>

#include "library/MusicTables.h"
#include "rtl/Format.h"

namespace {

using TCounts = std::map<std::int32_t, std::int32_t>;

// Compares the counts found in the file records with the group table's own.
template <class T>
void CheckGroups(TDatabase& database, const char* what, TField* T::*idField, TField* T::*countField,
                 TCounts referenced, std::vector<std::string>& problems)
{
  T groups(database);
  groups.Open();
  for (groups.First(); !groups.Eof(); groups.Next()) {
    const std::int32_t id = (groups.*idField)->AsInteger();
    const std::int32_t count = (groups.*countField)->AsInteger();
    const auto found = referenced.find(id);
    const std::int32_t files = found == referenced.end() ? 0 : found->second;
    if (count != files || count < 1) {
      problems.push_back(Format("%s %d counts %d but %d files point to it", what, id, count, files));
    }
    referenced.erase(id);
  }
  for (const auto& [id, files] : referenced) {
    problems.push_back(Format("%s %d is missing but %d files point to it", what, id, files));
  }
}

}  // namespace

std::vector<std::string> CatalogueProblems(TDatabase& database)
{
  std::vector<std::string> problems;
  TCounts folders, letters, artists, albums, genres, years;
  {
    TFilesTable files(database);
    files.Open();
    for (files.First(); !files.Eof(); files.Next()) {
      TField* const ids[] = {files.FolderId, files.LetterId, files.ArtistId,
                             files.AlbumId,  files.GenreId,  files.YearId};
      TCounts* const counts[] = {&folders, &letters, &artists, &albums, &genres, &years};
      const bool hidden = files.FolderId->AsInteger() == -1;
      for (std::size_t k = 0; k < std::size(ids); ++k) {
        const std::int32_t id = ids[k]->AsInteger();
        if (hidden && id != -1) {
          problems.push_back(Format("hidden file %d keeps group id %d", files.FileId->AsInteger(), id));
        } else if (!hidden) {
          ++(*counts[k])[id];
        }
      }
    }
  }
  CheckGroups<TFoldersTable>(database, "folder", &TFoldersTable::FolderId, &TFoldersTable::FolderRefCount,
                             folders, problems);
  CheckGroups<TLettersTable>(database, "letter", &TLettersTable::LetterId, &TLettersTable::LetterRefCount,
                             letters, problems);
  CheckGroups<TArtistsTable>(database, "artist", &TArtistsTable::ArtistId, &TArtistsTable::ArtistRefCount,
                             artists, problems);
  CheckGroups<TAlbumsTable>(database, "album", &TAlbumsTable::AlbumId, &TAlbumsTable::AlbumRefCount, albums,
                            problems);
  CheckGroups<TGenreTable>(database, "genre", &TGenreTable::GenreId, &TGenreTable::GenreRefCount, genres,
                           problems);
  CheckGroups<TYearsTable>(database, "year", &TYearsTable::YearId, &TYearsTable::YearRefCount, years,
                           problems);
  return problems;
}
