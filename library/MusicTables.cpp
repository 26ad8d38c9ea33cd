#include "library/MusicTables.h"

#include <array>
#include <utility>

namespace {

constexpr int ChecksumSize = 36;
constexpr int AttributesSize = 32;

template <class T, std::size_t N>
using TBindings = std::array<std::pair<TField * T::*, const char*>, N>;

template <class T, std::size_t N>
void BindFields(T& table, const TBindings<T, N>& bindings)
{
  for (const auto& [member, name] : bindings) {
    table.*member = &table.FieldByName(name);
  }
}

template <class T, std::size_t N>
void ClearFields(T& table, const TBindings<T, N>& bindings) noexcept
{
  for (const auto& binding : bindings) {
    table.*binding.first = nullptr;
  }
}

// The shape shared by the artist, album, genre, letter and year tables: id, count, key.
void DefineGroupTable(TTable& table, const char* id, const char* count, const char* key, TFieldType keyType,
                      int keySize, const char* keyIndex)
{
  table.FieldDefs() = {
      {id, TFieldType::ftAutoInc, 0}, {count, TFieldType::ftInteger, 0}, {key, keyType, keySize}};
  table.IndexDefs() = {{"", id, ixPrimary | ixUnique},
                       {keyIndex, key, keyType == TFieldType::ftString ? ixCaseInsensitive : 0}};
}

const TBindings<TFilesTable, 15> FilesFields{{
    {&TFilesTable::FileId, "FileId"},
    {&TFilesTable::FilePath, "FilePath"},
    {&TFilesTable::FileName, "FileName"},
    {&TFilesTable::FolderId, "FolderId"},
    {&TFilesTable::LetterId, "LetterId"},
    {&TFilesTable::ArtistId, "ArtistId"},
    {&TFilesTable::AlbumId, "AlbumId"},
    {&TFilesTable::GenreId, "GenreId"},
    {&TFilesTable::YearId, "YearId"},
    {&TFilesTable::TagTitle, "TagTitle"},
    {&TFilesTable::Checksum, "Checksum"},
    {&TFilesTable::Attributes, "Attributes"},
    {&TFilesTable::Bitrate, "Bitrate"},
    {&TFilesTable::Length, "Length"},
    {&TFilesTable::Track, "Track"},
}};

const TBindings<TFoldersTable, 5> FoldersFields{{
    {&TFoldersTable::FolderId, "FolderId"},
    {&TFoldersTable::FolderRefCount, "FolderRefCount"},
    {&TFoldersTable::FolderPath, "FolderPath"},
    {&TFoldersTable::FolderName, "FolderName"},
    {&TFoldersTable::Renamed, "Renamed"},
}};

const TBindings<TRenameFoldersTable, 2> RenameFoldersFields{{
    {&TRenameFoldersTable::Name, "Name"},
    {&TRenameFoldersTable::RefCount, "RefCount"},
}};

const TBindings<TArtistsTable, 3> ArtistsFields{{
    {&TArtistsTable::ArtistId, "ArtistId"},
    {&TArtistsTable::ArtistRefCount, "ArtistRefCount"},
    {&TArtistsTable::ArtistName, "ArtistName"},
}};

const TBindings<TAlbumsTable, 3> AlbumsFields{{
    {&TAlbumsTable::AlbumId, "AlbumId"},
    {&TAlbumsTable::AlbumRefCount, "AlbumRefCount"},
    {&TAlbumsTable::AlbumName, "AlbumName"},
}};

const TBindings<TYearsTable, 3> YearsFields{{
    {&TYearsTable::YearId, "YearId"},
    {&TYearsTable::YearRefCount, "YearRefCount"},
    {&TYearsTable::YearNumber, "YearNumber"},
}};

const TBindings<TLettersTable, 3> LettersFields{{
    {&TLettersTable::LetterId, "LetterId"},
    {&TLettersTable::LetterRefCount, "LetterRefCount"},
    {&TLettersTable::LetterName, "LetterName"},
}};

const TBindings<TGenreTable, 3> GenreFields{{
    {&TGenreTable::GenreId, "GenreId"},
    {&TGenreTable::GenreRefCount, "GenreRefCount"},
    {&TGenreTable::GenreName, "GenreName"},
}};

const TBindings<TFavoriteMastersTable, 4> FavoriteMastersFields{{
    {&TFavoriteMastersTable::MasterId, "MasterId"},
    {&TFavoriteMastersTable::RefCount, "RefCount"},
    {&TFavoriteMastersTable::Name, "Name"},
    {&TFavoriteMastersTable::Sequence, "Sequence"},
}};

const TBindings<TFavoriteDetailsTable, 6> FavoriteDetailsFields{{
    {&TFavoriteDetailsTable::DetailId, "DetailId"},
    {&TFavoriteDetailsTable::MasterId, "MasterId"},
    {&TFavoriteDetailsTable::FileId, "FileId"},
    {&TFavoriteDetailsTable::FilePath, "FilePath"},
    {&TFavoriteDetailsTable::FileChecksum, "FileChecksum"},
    {&TFavoriteDetailsTable::Sequence, "Sequence"},
}};

}  // namespace

// ---- MusicFiles ----

TFilesTable::TFilesTable(TDatabase& database) : TTable(database)
{
  SetTableName("MusicFiles");
}

void TFilesTable::CreateTable()
{
  SetActive(false);
  FieldDefs() = {
      {"FileId", TFieldType::ftAutoInc, 0},
      {"FilePath", TFieldType::ftString, PathSize},
      {"FileName", TFieldType::ftString, PathSize},
      {"FolderId", TFieldType::ftInteger, 0},
      {"LetterId", TFieldType::ftInteger, 0},
      {"ArtistId", TFieldType::ftInteger, 0},
      {"AlbumId", TFieldType::ftInteger, 0},
      {"GenreId", TFieldType::ftInteger, 0},
      {"YearId", TFieldType::ftInteger, 0},
      {"TagTitle", TFieldType::ftBoolean, 0},
      {"Checksum", TFieldType::ftBytes, ChecksumSize},
      {"Attributes", TFieldType::ftBytes, AttributesSize},
      {"Bitrate", TFieldType::ftInteger, 0},
      {"Length", TFieldType::ftInteger, 0},
      {"Track", TFieldType::ftInteger, 0},
  };
  IndexDefs() = {
      {"", "FileId", ixPrimary | ixUnique}, {"PathIndex", "FilePath", ixCaseInsensitive},
      {"FolderIndex", "FolderId", 0},       {"ArtistIndex", "ArtistId", 0},
      {"AlbumIndex", "AlbumId", 0},         {"GenreIndex", "GenreId", 0},
      {"LetterIndex", "LetterId", 0},       {"YearIndex", "YearId", 0},
      {"ChecksumIndex", "Checksum", 0},
  };
  TTable::CreateTable();
}

void TFilesTable::DoAfterOpen()
{
  BindFields(*this, FilesFields);
}

void TFilesTable::DoBeforeClose()
{
  ClearFields(*this, FilesFields);
}

// ---- MusicFolders ----

TFoldersTable::TFoldersTable(TDatabase& database) : TTable(database)
{
  SetTableName("MusicFolders");
}

void TFoldersTable::CreateTable()
{
  SetActive(false);
  FieldDefs() = {
      {"FolderId", TFieldType::ftAutoInc, 0},         {"FolderRefCount", TFieldType::ftInteger, 0},
      {"FolderPath", TFieldType::ftString, PathSize}, {"FolderName", TFieldType::ftString, PathSize},
      {"Renamed", TFieldType::ftBoolean, 0},
  };
  IndexDefs() = {
      {"", "FolderId", ixPrimary | ixUnique},
      {"PathIndex", "FolderPath", ixCaseInsensitive},
      {"NameIndex", "FolderName", ixCaseInsensitive},
  };
  TTable::CreateTable();
}

void TFoldersTable::DoAfterOpen()
{
  BindFields(*this, FoldersFields);
}

void TFoldersTable::DoBeforeClose()
{
  ClearFields(*this, FoldersFields);
}

// ---- MusicRenameFolders ----

TRenameFoldersTable::TRenameFoldersTable(TDatabase& database) : TTable(database)
{
  SetTableName("MusicRenameFolders");
}

void TRenameFoldersTable::CreateTable()
{
  SetActive(false);
  FieldDefs() = {{"Name", TFieldType::ftString, PathSize}, {"RefCount", TFieldType::ftInteger, 0}};
  IndexDefs() = {{"", "Name", ixPrimary | ixUnique}};
  TTable::CreateTable();
}

void TRenameFoldersTable::DoAfterOpen()
{
  BindFields(*this, RenameFoldersFields);
}

void TRenameFoldersTable::DoBeforeClose()
{
  ClearFields(*this, RenameFoldersFields);
}

// ---- the group tables ----

TArtistsTable::TArtistsTable(TDatabase& database) : TTable(database)
{
  SetTableName("MusicArtists");
}

void TArtistsTable::CreateTable()
{
  SetActive(false);
  DefineGroupTable(*this, "ArtistId", "ArtistRefCount", "ArtistName", TFieldType::ftString, GroupNameSize,
                   "ArtistIndex");
  TTable::CreateTable();
}

void TArtistsTable::DoAfterOpen()
{
  BindFields(*this, ArtistsFields);
}

void TArtistsTable::DoBeforeClose()
{
  ClearFields(*this, ArtistsFields);
}

TAlbumsTable::TAlbumsTable(TDatabase& database) : TTable(database)
{
  SetTableName("MusicAlbums");
}

void TAlbumsTable::CreateTable()
{
  SetActive(false);
  DefineGroupTable(*this, "AlbumId", "AlbumRefCount", "AlbumName", TFieldType::ftString, GroupNameSize,
                   "AlbumIndex");
  TTable::CreateTable();
}

void TAlbumsTable::DoAfterOpen()
{
  BindFields(*this, AlbumsFields);
}

void TAlbumsTable::DoBeforeClose()
{
  ClearFields(*this, AlbumsFields);
}

TYearsTable::TYearsTable(TDatabase& database) : TTable(database)
{
  SetTableName("MusicYears");
}

void TYearsTable::CreateTable()
{
  SetActive(false);
  DefineGroupTable(*this, "YearId", "YearRefCount", "YearNumber", TFieldType::ftInteger, 0, "YearIndex");
  TTable::CreateTable();
}

void TYearsTable::DoAfterOpen()
{
  BindFields(*this, YearsFields);
}

void TYearsTable::DoBeforeClose()
{
  ClearFields(*this, YearsFields);
}

TLettersTable::TLettersTable(TDatabase& database) : TTable(database)
{
  SetTableName("MusicLetters");
}

void TLettersTable::CreateTable()
{
  SetActive(false);
  DefineGroupTable(*this, "LetterId", "LetterRefCount", "LetterName", TFieldType::ftString, 1, "LetterIndex");
  TTable::CreateTable();
}

void TLettersTable::DoAfterOpen()
{
  BindFields(*this, LettersFields);
}

void TLettersTable::DoBeforeClose()
{
  ClearFields(*this, LettersFields);
}

TGenreTable::TGenreTable(TDatabase& database) : TTable(database)
{
  SetTableName("MusicGenre");
}

void TGenreTable::CreateTable()
{
  SetActive(false);
  DefineGroupTable(*this, "GenreId", "GenreRefCount", "GenreName", TFieldType::ftString, GroupNameSize,
                   "GenreIndex");
  TTable::CreateTable();
}

void TGenreTable::DoAfterOpen()
{
  BindFields(*this, GenreFields);
}

void TGenreTable::DoBeforeClose()
{
  ClearFields(*this, GenreFields);
}

// ---- favorites ----

TFavoriteMastersTable::TFavoriteMastersTable(TDatabase& database) : TTable(database)
{
  SetTableName("MusicFavoriteMaster");
}

void TFavoriteMastersTable::CreateTable()
{
  SetActive(false);
  FieldDefs() = {
      {"MasterId", TFieldType::ftAutoInc, 0},
      {"RefCount", TFieldType::ftInteger, 0},
      {"Name", TFieldType::ftString, PathSize},
      {"Sequence", TFieldType::ftInteger, 0},
  };
  IndexDefs() = {{"", "MasterId", ixPrimary | ixUnique}};
  TTable::CreateTable();
}

void TFavoriteMastersTable::DoAfterOpen()
{
  BindFields(*this, FavoriteMastersFields);
}

void TFavoriteMastersTable::DoBeforeClose()
{
  ClearFields(*this, FavoriteMastersFields);
}

TFavoriteDetailsTable::TFavoriteDetailsTable(TDatabase& database) : TTable(database)
{
  SetTableName("MusicFavoriteDetails");
}

void TFavoriteDetailsTable::CreateTable()
{
  SetActive(false);
  FieldDefs() = {
      {"DetailId", TFieldType::ftAutoInc, 0},
      {"MasterId", TFieldType::ftInteger, 0},
      {"FileId", TFieldType::ftInteger, 0},
      {"FilePath", TFieldType::ftString, PathSize},
      {"FileChecksum", TFieldType::ftBytes, ChecksumSize},
      {"Sequence", TFieldType::ftInteger, 0},
  };
  IndexDefs() = {{"", "DetailId", ixPrimary | ixUnique}, {"MasterIndex", "MasterId", 0}};
  TTable::CreateTable();
}

void TFavoriteDetailsTable::DoAfterOpen()
{
  BindFields(*this, FavoriteDetailsFields);
}

void TFavoriteDetailsTable::DoBeforeClose()
{
  ClearFields(*this, FavoriteDetailsFields);
}
