// Edits written back to files and followed by the library.
#include "views/info/MusicViewTags.h"

#include "library/MusicTables.h"

void OxaApplyTrackEdit(const TOxaTrackEdit& edit, TMusicFileItem& item)
{
  if (edit.Title) {
    item.Title = *edit.Title;
  }
  if (edit.Artist) {
    item.Artist = *edit.Artist;
  }
  if (edit.Genre) {
    item.Genre = *edit.Genre;
  }
  if (edit.Album) {
    item.Album = *edit.Album;
  }
}

bool OxaEditedFileItem(const std::string& fileName, const TOxaTrackEdit& edit, TMusicFileItem& item)
{
  item = TMusicFileItem();
  item.FileName = fileName;
  TOxaMusicTag tagger;
  if (!tagger.ReadItem(item)) {
    return false;
  }
  for (std::string* text : {&item.Title, &item.Artist, &item.Album, &item.Genre}) {
    if (*text == UnknownText) {
      text->clear();
    }
  }
  OxaApplyTrackEdit(edit, item);
  return true;
}

namespace {

template <class TGroupTable>
std::string GroupName(TMusicDatabase& database, std::int32_t id, TField* TGroupTable::*name)
{
  if (id < 0) {
    return {};
  }
  TGroupTable table(database);
  table.Open();
  std::string result;
  if (table.FindKey(id)) {
    result = (table.*name)->AsString();
  }
  table.Close();
  return result;
}

}  // namespace

bool OxaReadTrackRecord(TMusicDatabase& database, std::int32_t fileId, TMusicFileItem& item,
                        bool* titleFromTag)
{
  item = TMusicFileItem();
  TFilesTable files(database);
  files.Open();
  if (!files.FindKey(fileId)) {
    files.Close();
    return false;
  }
  item.FileName = files.FilePath->AsString();
  item.Title = files.FileName->AsString();
  if (titleFromTag != nullptr) {
    *titleFromTag = files.TagTitle->AsBoolean();
  }
  item.Bitrate = files.Bitrate->AsInteger();
  item.Duration = files.Length->AsInteger();
  item.Track = files.Track->AsInteger();
  const std::int32_t artist = files.ArtistId->AsInteger();
  const std::int32_t album = files.AlbumId->AsInteger();
  const std::int32_t genre = files.GenreId->AsInteger();
  const std::int32_t year = files.YearId->AsInteger();
  const auto checksum = files.Checksum->AsBytes();
  for (std::size_t i = 0; i < item.Checksum.size() && i < checksum.size(); ++i) {
    item.Checksum[i] = std::uint8_t(checksum[i]);
  }
  files.Close();
  item.Artist = GroupName(database, artist, &TArtistsTable::ArtistName);
  item.Album = GroupName(database, album, &TAlbumsTable::AlbumName);
  item.Genre = GroupName(database, genre, &TGenreTable::GenreName);
  if (year >= 0) {
    TYearsTable years(database);
    years.Open();
    if (years.FindKey(year)) {
      item.Year = years.YearNumber->AsInteger();
    }
    years.Close();
  }
  return true;
}

void OxaFollowTrackEdit(TMusicDatabase& database, std::int32_t fileId, const TOxaTrackEdit& edit)
{
  TMusicFileItem item;
  bool titleFromTag = false;
  if (edit.Empty() || !OxaReadTrackRecord(database, fileId, item, &titleFromTag)) {
    return;
  }
  // A title made from the file name is no tag's: it stays the placeholder it stands for.
  if (!titleFromTag) {
    item.Title = UnknownText;
  }
  OxaApplyTrackEdit(edit, item);
  database.UpdateFile(fileId, item);
}
