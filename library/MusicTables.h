#pragma once
// The library's ten tables. Each class is a cursor (TTable) on one table of the TMusicDatabase
// it is made for; several objects of one class are independent cursors. The public TField
// pointers are bound by field name when the table opens and are null while it is closed.
// CreateTable (re)defines the table's fields and indexes and creates it in the database; the
// table must not exist.

#include "tableengine/Table.h"

// The declared lengths of the text fields, in characters (UTF-16 code units): titles, folder
// and list names and paths are 250 long, the names of artists, albums and genres 100.
inline constexpr int PathSize = 250;
inline constexpr int GroupNameSize = 100;

// "MusicFiles": one record per music file the library knows.
class TFilesTable : public TTable {
 public:
  explicit TFilesTable(TDatabase& database);
  void CreateTable();

  TField* FileId = nullptr;
  TField* FilePath = nullptr;
  TField* FileName = nullptr;
  TField* FolderId = nullptr;
  TField* LetterId = nullptr;
  TField* ArtistId = nullptr;
  TField* AlbumId = nullptr;
  TField* GenreId = nullptr;
  TField* YearId = nullptr;
  TField* TagTitle = nullptr;
  TField* Checksum = nullptr;
  TField* Attributes = nullptr;
  TField* Bitrate = nullptr;
  TField* Length = nullptr;
  TField* Track = nullptr;

 protected:
  void DoAfterOpen() override;
  void DoBeforeClose() override;
};

// "MusicFolders": one record per folder that holds music.
class TFoldersTable : public TTable {
 public:
  explicit TFoldersTable(TDatabase& database);
  void CreateTable();

  TField* FolderId = nullptr;
  TField* FolderRefCount = nullptr;
  TField* FolderPath = nullptr;
  TField* FolderName = nullptr;
  TField* Renamed = nullptr;

 protected:
  void DoAfterOpen() override;
  void DoBeforeClose() override;
};

// "MusicRenameFolders": folder display names that have collided, upper-cased.
class TRenameFoldersTable : public TTable {
 public:
  explicit TRenameFoldersTable(TDatabase& database);
  void CreateTable();

  TField* Name = nullptr;
  TField* RefCount = nullptr;

 protected:
  void DoAfterOpen() override;
  void DoBeforeClose() override;
};

// "MusicArtists".
class TArtistsTable : public TTable {
 public:
  explicit TArtistsTable(TDatabase& database);
  void CreateTable();

  TField* ArtistId = nullptr;
  TField* ArtistRefCount = nullptr;
  TField* ArtistName = nullptr;

 protected:
  void DoAfterOpen() override;
  void DoBeforeClose() override;
};

// "MusicAlbums".
class TAlbumsTable : public TTable {
 public:
  explicit TAlbumsTable(TDatabase& database);
  void CreateTable();

  TField* AlbumId = nullptr;
  TField* AlbumRefCount = nullptr;
  TField* AlbumName = nullptr;

 protected:
  void DoAfterOpen() override;
  void DoBeforeClose() override;
};

// "MusicYears".
class TYearsTable : public TTable {
 public:
  explicit TYearsTable(TDatabase& database);
  void CreateTable();

  TField* YearId = nullptr;
  TField* YearRefCount = nullptr;
  TField* YearNumber = nullptr;

 protected:
  void DoAfterOpen() override;
  void DoBeforeClose() override;
};

// "MusicLetters": the first letters of the titles.
class TLettersTable : public TTable {
 public:
  explicit TLettersTable(TDatabase& database);
  void CreateTable();

  TField* LetterId = nullptr;
  TField* LetterRefCount = nullptr;
  TField* LetterName = nullptr;

 protected:
  void DoAfterOpen() override;
  void DoBeforeClose() override;
};

// "MusicGenre".
class TGenreTable : public TTable {
 public:
  explicit TGenreTable(TDatabase& database);
  void CreateTable();

  TField* GenreId = nullptr;
  TField* GenreRefCount = nullptr;
  TField* GenreName = nullptr;

 protected:
  void DoAfterOpen() override;
  void DoBeforeClose() override;
};

// "MusicFavoriteMaster": one record per favorite list.
class TFavoriteMastersTable : public TTable {
 public:
  explicit TFavoriteMastersTable(TDatabase& database);
  void CreateTable();

  TField* MasterId = nullptr;
  TField* RefCount = nullptr;
  TField* Name = nullptr;
  TField* Sequence = nullptr;

 protected:
  void DoAfterOpen() override;
  void DoBeforeClose() override;
};

// "MusicFavoriteDetails": one record per entry of a favorite list.
class TFavoriteDetailsTable : public TTable {
 public:
  explicit TFavoriteDetailsTable(TDatabase& database);
  void CreateTable();

  TField* DetailId = nullptr;
  TField* MasterId = nullptr;
  TField* FileId = nullptr;
  TField* FilePath = nullptr;
  TField* FileChecksum = nullptr;
  TField* Sequence = nullptr;

 protected:
  void DoAfterOpen() override;
  void DoBeforeClose() override;
};
