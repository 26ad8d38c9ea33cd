// The catalogue side of TMusicDatabase: file records, the six group tables they point to with
// their reference counts, the unique folder names, and the merge of a scan into the library.

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

#include "framework/OxaUtils.h"
#include "library/LibraryCursors.h"
#include "library/MusicDatabase.h"
#include "library/PendingCounts.h"
#include "platform/files/NameStandIns.h"
#include "rtl/AnsiText.h"
#include "rtl/FilePaths.h"
#include "rtl/Utf8.h"

namespace {

// Changes per transaction of a merge: a crash loses at most one batch of work, and the log
// stays small.
constexpr int MergeBatchSize = 1024;

void AddToCount(TField& count, std::int32_t delta)
{
  count.SetAsInteger(count.AsInteger() + delta);
}

void SetKey(TField& field, std::string_view value)
{
  field.SetAsString(value);
}

void SetKey(TField& field, std::int32_t value)
{
  field.SetAsInteger(value);
}

bool SameKey(const TField& field, std::string_view value)
{
  return AnsiCompareText(field.AsString(), value) == 0;
}

bool SameKey(const TField& field, std::int32_t value)
{
  return field.AsInteger() == value;
}

// The id, count and key fields of a group table class.
template <class T>
struct TGroupFields {
  TField* T::*Id;
  TField* T::*Count;
  TField* T::*Key;
};

// The key a held-back count is remembered by: equal where the group's key index finds the same
// record (texts without regard to case).
std::string CountKey(std::string_view value)
{
  return FoldCase(value);
}

std::string CountKey(std::int32_t value)
{
  return std::to_string(value);
}

// With pending (during a merge) a group found by its key is counted up there, not in its record.
template <class T, class V>
std::int32_t GroupAddRef(T& byKey, const TGroupFields<T>& fields, V value, TPendingCounts* pending)
{
  std::string key;
  if (pending != nullptr) {
    key = CountKey(value);
    if (const std::optional<std::int32_t> id = pending->AddRef(key)) {
      return *id;
    }
  }
  Activate(byKey);
  if (byKey.FindKey(value)) {
    const std::int32_t id = (byKey.*fields.Id)->AsInteger();
    if (pending != nullptr) {
      pending->Remember(std::move(key), id, 1);
      return id;
    }
    byKey.Edit();
    Change(byKey, [&] { AddToCount(*(byKey.*fields.Count), 1); });
    return id;
  }
  byKey.Insert();
  Change(byKey, [&] {
    (byKey.*fields.Count)->SetAsInteger(1);
    SetKey(*(byKey.*fields.Key), value);
  });
  const std::int32_t id = (byKey.*fields.Id)->AsInteger();
  if (pending != nullptr) {
    pending->Remember(std::move(key), id, 0);
  }
  return id;
}

// Adds the held-back counts to their group records and forgets them.
template <class T>
void WriteCounts(T& byId, const TGroupFields<T>& fields, TPendingCounts& pending)
{
  if (pending.Empty()) {
    return;
  }
  Activate(byId);
  for (const auto& entry : pending.Take()) {
    if (byId.FindKey(entry.first)) {
      byId.Edit();
      Change(byId, [&] { AddToCount(*(byId.*fields.Count), entry.second); });
    }
  }
}

template <class T, class V>
bool GroupRelease(T& byId, const TGroupFields<T>& fields, std::int32_t id, V value, TGroupRelease mode)
{
  Activate(byId);
  if (!byId.FindKey(id)) {
    return true;
  }
  if (mode == TGroupRelease::KeepWhenSame && SameKey(*(byId.*fields.Key), value)) {
    return false;
  }
  if ((byId.*fields.Count)->AsInteger() >= 2) {
    byId.Edit();
    Change(byId, [&] { AddToCount(*(byId.*fields.Count), -1); });
  } else {
    byId.Delete();
  }
  return true;
}

const TGroupFields<TGenreTable> GenreFields{&TGenreTable::GenreId, &TGenreTable::GenreRefCount,
                                            &TGenreTable::GenreName};
const TGroupFields<TYearsTable> YearFields{&TYearsTable::YearId, &TYearsTable::YearRefCount,
                                           &TYearsTable::YearNumber};
const TGroupFields<TAlbumsTable> AlbumFields{&TAlbumsTable::AlbumId, &TAlbumsTable::AlbumRefCount,
                                             &TAlbumsTable::AlbumName};
const TGroupFields<TArtistsTable> ArtistFields{&TArtistsTable::ArtistId, &TArtistsTable::ArtistRefCount,
                                               &TArtistsTable::ArtistName};
const TGroupFields<TLettersTable> LetterFields{&TLettersTable::LetterId, &TLettersTable::LetterRefCount,
                                               &TLettersTable::LetterName};
const TGroupFields<TFoldersTable> FolderFields{&TFoldersTable::FolderId, &TFoldersTable::FolderRefCount,
                                               &TFoldersTable::FolderPath};

// The folder of a file: its path without the file name and the trailing backslash.
std::string FolderOf(std::string_view filePath)
{
  return ExcludeTrailingBackslash(ExtractFilePath(filePath));
}

std::string_view LastComponent(std::string_view path)
{
  const std::size_t slash = path.rfind('\\');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view DropFirstComponent(std::string_view name)
{
  const std::size_t slash = name.find('\\');
  return slash == std::string_view::npos ? std::string_view() : name.substr(slash + 1);
}

// The name with one more parent component of path in front ("Live" of C:\Music\Rock\Live gives
// Rock\Live). Nothing when the name already takes the whole path: extending would never end.
std::optional<std::string> ExtendName(std::string_view name, std::string_view path)
{
  if (path.size() <= name.size() + 1 || path.substr(path.size() - name.size()) != name ||
      path[path.size() - name.size() - 1] != '\\') {
    return std::nullopt;
  }
  std::string extended(LastComponent(path.substr(0, path.size() - name.size() - 1)));
  extended += '\\';
  extended += name;
  return extended;
}

// A stored block compared with a wanted one; a shorter stored block counts as padded with zeros.
template <std::size_t N>
bool SameBlock(std::span<const std::byte> stored, const std::array<std::byte, N>& wanted) noexcept
{
  for (std::size_t k = 0; k < N; ++k) {
    const std::byte b = k < stored.size() ? stored[k] : std::byte{0};
    if (b != wanted[k]) {
      return false;
    }
  }
  return true;
}

std::array<std::byte, 36> ChecksumBytes(const TMusicCheckSum& checksum) noexcept
{
  std::array<std::byte, 36> bytes{};
  std::memcpy(bytes.data(), checksum.data(), bytes.size());
  return bytes;
}

bool PassesFilters(std::string_view path, const TFolderList* include1, const TFolderList* include2,
                   const TFolderList* exclude)
{
  return (include1 == nullptr || PathIsUnder(path, *include1)) &&
         (include2 == nullptr || PathIsUnder(path, *include2)) &&
         (exclude == nullptr || !PathIsUnder(path, *exclude));
}

// The item's texts as the library stores them: each at most its field's length. The path stays
// whole: cut, it would name another file or none.
TMusicFileItem StoredItem(const TMusicFileItem& item)
{
  TMusicFileItem stored = item;
  for (std::string* text : {&stored.Artist, &stored.Album, &stored.Genre}) {
    *text = std::string(CutToUtf16Units(*text, GroupNameSize));
  }
  stored.Title = std::string(CutToUtf16Units(stored.Title, PathSize));
  return stored;
}

}  // namespace

TDisplayTitle TMusicDatabase::DisplayTitle(const TMusicFileItem& item)
{
  TDisplayTitle result;
  if (item.Title.empty() || item.Title == UnknownText) {
    // Shown as the user named the file, not with the stand-ins of its Windows name.
    result.Title = ProperCase(ShownNameOf(ChangeFileExt(ExtractFileName(item.FileName), "")));
    result.Title = std::string(CutToUtf16Units(result.Title, PathSize));
    result.TagTitle = false;
  } else {
    result.Title = CutToUtf16Units(item.Title, PathSize);
    result.TagTitle = true;
  }
  if (!result.Title.empty()) {
    std::size_t end = 0;
    const char32_t first = NextCodePoint(result.Title, end);
    if (first >= U'a' && first <= U'z') {
      result.Letter.assign(1, static_cast<char>(first - U'a' + U'A'));
    } else {
      result.Letter = result.Title.substr(0, end);
    }
  }
  return result;
}

// ---- group references ----

std::int32_t TMusicDatabase::GenreAddRef(std::string_view name)
{
  return GroupAddRef(*FGenresByName, GenreFields, name, FMergeCounts ? &FMergeCounts->Genres : nullptr);
}

bool TMusicDatabase::GenreRelease(std::int32_t id, std::string_view name, TGroupRelease mode)
{
  return GroupRelease(*FGenres, GenreFields, id, name, mode);
}

std::int32_t TMusicDatabase::YearAddRef(std::int32_t year)
{
  return GroupAddRef(*FYearsByNumber, YearFields, year, FMergeCounts ? &FMergeCounts->Years : nullptr);
}

bool TMusicDatabase::YearRelease(std::int32_t id, std::int32_t year, TGroupRelease mode)
{
  return GroupRelease(*FYears, YearFields, id, year, mode);
}

std::int32_t TMusicDatabase::AlbumAddRef(std::string_view name)
{
  return GroupAddRef(*FAlbumsByName, AlbumFields, name, FMergeCounts ? &FMergeCounts->Albums : nullptr);
}

bool TMusicDatabase::AlbumRelease(std::int32_t id, std::string_view name, TGroupRelease mode)
{
  return GroupRelease(*FAlbums, AlbumFields, id, name, mode);
}

std::int32_t TMusicDatabase::ArtistAddRef(std::string_view name)
{
  return GroupAddRef(*FArtistsByName, ArtistFields, name, FMergeCounts ? &FMergeCounts->Artists : nullptr);
}

bool TMusicDatabase::ArtistRelease(std::int32_t id, std::string_view name, TGroupRelease mode)
{
  return GroupRelease(*FArtists, ArtistFields, id, name, mode);
}

std::int32_t TMusicDatabase::LetterAddRef(std::string_view letter)
{
  return GroupAddRef(*FLettersByName, LetterFields, letter, FMergeCounts ? &FMergeCounts->Letters : nullptr);
}

bool TMusicDatabase::LetterRelease(std::int32_t id, std::string_view letter, TGroupRelease mode)
{
  return GroupRelease(*FLetters, LetterFields, id, letter, mode);
}

// ---- folders ----

std::int32_t TMusicDatabase::FolderAddRef(std::string_view filePath)
{
  const std::string folder = FolderOf(filePath);
  TPendingCounts* pending = FMergeCounts ? &FMergeCounts->Folders : nullptr;
  std::string key;
  if (pending != nullptr) {
    key = CountKey(folder);
    if (const std::optional<std::int32_t> id = pending->AddRef(key)) {
      return *id;
    }
  }
  TFoldersTable& byPath = *FFoldersByPath;
  Activate(byPath);
  if (byPath.FindKey(folder)) {
    const std::int32_t id = byPath.FolderId->AsInteger();
    if (pending != nullptr) {
      pending->Remember(std::move(key), id, 1);
      return id;
    }
    byPath.Edit();
    Change(byPath, [&] { AddToCount(*byPath.FolderRefCount, 1); });
    return id;
  }
  std::string name(LastComponent(folder));
  bool renamed = false;
  MakeUniqueFolderName(folder, name, renamed);
  byPath.Insert();
  Change(byPath, [&] {
    byPath.FolderRefCount->SetAsInteger(1);
    byPath.FolderPath->SetAsString(folder);
    byPath.FolderName->SetAsString(name);
    byPath.Renamed->SetAsBoolean(renamed);
  });
  const std::int32_t id = byPath.FolderId->AsInteger();
  if (pending != nullptr) {
    pending->Remember(std::move(key), id, 0);
  }
  return id;
}

void TMusicDatabase::WriteMergeCounts()
{
  if (!FMergeCounts) {
    return;
  }
  WriteCounts(*FFolders, FolderFields, FMergeCounts->Folders);
  WriteCounts(*FGenres, GenreFields, FMergeCounts->Genres);
  WriteCounts(*FYears, YearFields, FMergeCounts->Years);
  WriteCounts(*FAlbums, AlbumFields, FMergeCounts->Albums);
  WriteCounts(*FArtists, ArtistFields, FMergeCounts->Artists);
  WriteCounts(*FLetters, LetterFields, FMergeCounts->Letters);
}

void TMusicDatabase::MakeUniqueFolderName(const std::string& folder, std::string& name, bool& renamed)
{
  TRenameFoldersTable& renames = *FRenameFolders;
  TFoldersTable& byName = *FFoldersByName;
  Activate(renames);
  Activate(byName);
  for (;;) {
    const std::optional<std::string> extended = ExtendName(name, folder);
    if (!extended) {
      return;
    }
    const std::string key = AnsiUpperCase(name);
    if (renames.FindKey(key)) {
      renames.Edit();
      Change(renames, [&] { AddToCount(*renames.RefCount, 1); });
    } else if (byName.FindKey(name)) {
      const std::optional<std::string> otherName =
          ExtendName(byName.FolderName->AsString(), byName.FolderPath->AsString());
      if (otherName) {
        byName.Edit();
        Change(byName, [&] {
          byName.FolderName->SetAsString(*otherName);
          byName.Renamed->SetAsBoolean(true);
        });
      }
      renames.Insert();
      Change(renames, [&] {
        renames.Name->SetAsString(key);
        renames.RefCount->SetAsInteger(2);
      });
    } else {
      return;
    }
    renamed = true;
    name = *extended;
  }
}

void TMusicDatabase::FolderRelease(std::int32_t folderId)
{
  TFoldersTable& folders = *FFolders;
  Activate(folders);
  if (!folders.FindKey(folderId)) {
    return;
  }
  if (folders.FolderRefCount->AsInteger() >= 2) {
    folders.Edit();
    Change(folders, [&] { AddToCount(*folders.FolderRefCount, -1); });
    return;
  }
  if (folders.Renamed->AsBoolean()) {
    ReleaseFolderRenames(folders.FolderName->AsString());
  }
  folders.Delete();
}

void TMusicDatabase::ReleaseFolderRenames(const std::string& folderName)
{
  TRenameFoldersTable& renames = *FRenameFolders;
  Activate(renames);
  std::string key = AnsiUpperCase(DropFirstComponent(folderName));
  while (!key.empty() && renames.FindKey(key)) {
    if (renames.RefCount->AsInteger() < 2) {
      renames.Delete();
    } else {
      renames.Edit();
      Change(renames, [&] { AddToCount(*renames.RefCount, -1); });
    }
    key = std::string(DropFirstComponent(key));
  }
}

// ---- files ----

std::int32_t TMusicDatabase::AddFile(const TMusicFileItem& scanned)
{
  const TMusicFileItem item = StoredItem(scanned);
  const TDisplayTitle display = DisplayTitle(item);
  const TFileAttributes attributes = ItemAttributes(item);
  const std::array<std::byte, 36> checksum = ChecksumBytes(item.Checksum);
  TFilesTable& files = *FFiles;
  Activate(files);
  files.Insert();
  Change(files, [&] {
    files.TagTitle->SetAsBoolean(display.TagTitle);
    files.FileName->SetAsString(display.Title);
    files.FilePath->SetAsString(item.FileName);
    files.Track->SetAsInteger(item.Track);
    files.Bitrate->SetAsInteger(item.Bitrate);
    files.Length->SetAsInteger(item.Duration);
    files.Attributes->SetAsBytes(attributes);
    files.Checksum->SetAsBytes(checksum);
    files.FolderId->SetAsInteger(FolderAddRef(item.FileName));
    files.AlbumId->SetAsInteger(AlbumAddRef(item.Album));
    files.ArtistId->SetAsInteger(ArtistAddRef(item.Artist));
    files.GenreId->SetAsInteger(GenreAddRef(item.Genre));
    files.YearId->SetAsInteger(YearAddRef(item.Year));
    files.LetterId->SetAsInteger(LetterAddRef(display.Letter));
  });
  return files.FileId->AsInteger();
}

void TMusicDatabase::UpdateFile(std::int32_t fileId, const TMusicFileItem& scanned)
{
  const TMusicFileItem item = StoredItem(scanned);
  // A release reads the stored count, and may delete a group whose id is remembered.
  WriteMergeCounts();
  TFilesTable& files = *FFiles;
  Activate(files);
  if (!files.FindKey(fileId)) {
    return;
  }
  if (!SameBlock(files.Checksum->AsBytes(), ChecksumBytes(item.Checksum))) {
    RemoveFile(fileId);
    AddFile(item);
    return;
  }
  files.Edit();
  Change(files, [&] {
    files.Attributes->SetAsBytes(ItemAttributes(item));
    if (files.FolderId->AsInteger() == -1) {
      return;
    }
    const TDisplayTitle display = DisplayTitle(item);
    files.TagTitle->SetAsBoolean(display.TagTitle);
    if (display.Title != files.FileName->AsString()) {
      files.FileName->SetAsString(display.Title);
      if (LetterRelease(files.LetterId->AsInteger(), display.Letter, TGroupRelease::KeepWhenSame)) {
        files.LetterId->SetAsInteger(LetterAddRef(display.Letter));
      }
    }
    files.Track->SetAsInteger(item.Track);
    files.Bitrate->SetAsInteger(item.Bitrate);
    files.Length->SetAsInteger(item.Duration);
    if (ArtistRelease(files.ArtistId->AsInteger(), item.Artist, TGroupRelease::KeepWhenSame)) {
      files.ArtistId->SetAsInteger(ArtistAddRef(item.Artist));
    }
    if (AlbumRelease(files.AlbumId->AsInteger(), item.Album, TGroupRelease::KeepWhenSame)) {
      files.AlbumId->SetAsInteger(AlbumAddRef(item.Album));
    }
    if (GenreRelease(files.GenreId->AsInteger(), item.Genre, TGroupRelease::KeepWhenSame)) {
      files.GenreId->SetAsInteger(GenreAddRef(item.Genre));
    }
    if (YearRelease(files.YearId->AsInteger(), item.Year, TGroupRelease::KeepWhenSame)) {
      files.YearId->SetAsInteger(YearAddRef(item.Year));
    }
  });
}

void TMusicDatabase::RemoveFile(std::int32_t fileId)
{
  WriteMergeCounts();
  TFilesTable& files = *FFiles;
  Activate(files);
  if (!files.FindKey(fileId)) {
    return;
  }
  GenreRelease(files.GenreId->AsInteger(), {}, TGroupRelease::Always);
  LetterRelease(files.LetterId->AsInteger(), {}, TGroupRelease::Always);
  YearRelease(files.YearId->AsInteger(), 0, TGroupRelease::Always);
  AlbumRelease(files.AlbumId->AsInteger(), {}, TGroupRelease::Always);
  ArtistRelease(files.ArtistId->AsInteger(), {}, TGroupRelease::Always);
  FolderRelease(files.FolderId->AsInteger());
  files.Delete();
}

void TMusicDatabase::HideFile(TFilesTable& files)
{
  WriteMergeCounts();
  if (files.FolderId->AsInteger() == -1) {
    return;
  }
  files.Edit();
  Change(files, [&] {
    GenreRelease(files.GenreId->AsInteger(), {}, TGroupRelease::Always);
    files.GenreId->SetAsInteger(-1);
    LetterRelease(files.LetterId->AsInteger(), {}, TGroupRelease::Always);
    files.LetterId->SetAsInteger(-1);
    YearRelease(files.YearId->AsInteger(), 0, TGroupRelease::Always);
    files.YearId->SetAsInteger(-1);
    AlbumRelease(files.AlbumId->AsInteger(), {}, TGroupRelease::Always);
    files.AlbumId->SetAsInteger(-1);
    ArtistRelease(files.ArtistId->AsInteger(), {}, TGroupRelease::Always);
    files.ArtistId->SetAsInteger(-1);
    FolderRelease(files.FolderId->AsInteger());
    files.FolderId->SetAsInteger(-1);
  });
}

void TMusicDatabase::HideItems(std::span<const TDbId> items)
{
  TFilesTable& files = *FFiles;
  Activate(files);
  for (const TDbId& item : items) {
    if (item.ViewId != ViewPlaylists && item.FileId != -1 && files.FindKey(item.FileId)) {
      HideFile(files);
    }
  }
}

void TMusicDatabase::RemoveFilesUnder(const TFolderList& folders)
{
  TFilesTable& files = *FFiles;
  Activate(files);
  files.First();
  while (!files.Eof()) {
    if (PathIsUnder(files.FilePath->AsString(), folders)) {
      // Deleting moves the cursor on to the next record.
      RemoveFile(files.FileId->AsInteger());
    } else {
      files.Next();
    }
  }
}

void TMusicDatabase::DeleteHiddenUnder(const TFolderList* include, const TFolderList* exclude)
{
  TFilesTable& files = *FFiles;
  Activate(files);
  files.First();
  while (!files.Eof()) {
    if (files.FolderId->AsInteger() == -1 &&
        PassesFilters(files.FilePath->AsString(), include, nullptr, exclude)) {
      files.Delete();
    } else {
      files.Next();
    }
  }
}

TKnownFiles TMusicDatabase::GetKnownFiles(const TFolderList* include1, const TFolderList* include2,
                                          const TFolderList* exclude)
{
  TFilesTable& files = *FFiles;
  Activate(files);
  TKnownFiles known;
  known.reserve(static_cast<std::size_t>(files.RecordCount()));
  // One statement over the three columns the comparison needs, in FileId order (the merge
  // order of the scans that added the files), instead of a cursor loading every whole record.
  const std::array<const TField*, 3> columns{files.FileId, files.FilePath, files.Attributes};
  files.ReadFields(columns, [&](const TSqliteStatement& row) {
    const std::string_view path = row.ColumnText(1);
    if (!PassesFilters(path, include1, include2, exclude)) {
      return;
    }
    TKnownFile& file = known.emplace_back();
    file.FileId = static_cast<std::int32_t>(row.ColumnInt(0));
    file.FilePath.assign(path);
    const std::span<const std::byte> stored = row.ColumnBlob(2);
    std::copy_n(stored.begin(), std::min(stored.size(), file.Attributes.size()), file.Attributes.begin());
  });
  known.shrink_to_fit();
  return known;
}

// ---- the merge ----

bool TMusicDatabase::ApplyScanResults(const TKnownFiles& known, const TMusicFileItems& found)
{
  enum class TAction { Remove, Add, Update };
  const std::int64_t total = static_cast<std::int64_t>(found.size()) + 1;
  bool applied = true;
  // Group counts are held back and written before each commit; a failed batch forgets them
  // with its rollback.
  FMergeCounts = std::make_unique<THeldBackCounts>();
  FMergeCommitted = 0;
  FMergeError.clear();
  FMergeDamaged = false;
  try {
    StartTransaction();
    int changes = 0;
    std::size_t i = 0;
    std::size_t j = 0;
    std::string lastFolder;
    while (i < known.size() || j < found.size()) {
      if (changes >= MergeBatchSize) {
        WriteMergeCounts();
        Commit();
        FMergeCommitted += changes;
        StartTransaction();
        changes = 0;
      }
      TAction action = TAction::Add;
      if (j >= found.size()) {
        action = TAction::Remove;
      } else if (i < known.size()) {
        const int order = ComparePaths(known[i].FilePath, found[j].FileName);
        if (order == 0) {
          if (SameCompareAttributes(found[j], known[i].Attributes)) {
            ++i;
            ++j;
            continue;
          }
          action = TAction::Update;
        } else if (order < 0) {
          action = TAction::Remove;
        }
      }
      const std::string& path = action == TAction::Remove ? known[i].FilePath : found[j].FileName;
      if (OnUpdateProgress) {
        std::string folder = FolderOf(path);
        if (folder != lastFolder) {
          lastFolder = std::move(folder);
          const auto percent =
              static_cast<std::int32_t>((static_cast<std::int64_t>(j) * 200 + total) / (2 * total));
          OnUpdateProgress(this, lastFolder, percent);
        }
      }
      switch (action) {
        case TAction::Remove:
          RemoveFile(known[i++].FileId);
          break;
        case TAction::Add:
          AddFile(found[j++]);
          break;
        case TAction::Update:
          UpdateFile(known[i++].FileId, found[j++]);
          break;
      }
      ++changes;
    }
    WriteMergeCounts();
    Commit();
    FMergeCommitted += changes;
  } catch (const std::exception& error) {
    applied = false;
    FMergeError = error.what();
    FMergeDamaged = IsDamagedLibraryError(error);
    TraceObject(this, "ApplyScanResults: %s", std::string_view(error.what()));
    try {
      if (InTransaction()) {
        Rollback();
      }
    } catch (const std::exception& rollbackError) {
      TraceObject(this, "ApplyScanResults: %s", std::string_view(rollbackError.what()));
    }
  }
  FMergeCounts.reset();
  CloseAllTables();
  return applied;
}

TDbId TMusicDatabase::FindFileByPath(std::string_view path, std::int32_t view)
{
  TDbId result;
  if (view < ViewFolders || view > ViewPlaylists) {
    return result;
  }
  TFilesTable& byPath = *FFilesByPath;
  Activate(byPath);
  if (!byPath.FindKey(path) || byPath.FolderId->AsInteger() == -1) {
    return result;
  }
  const std::int32_t fileId = byPath.FileId->AsInteger();
  if (view == ViewPlaylists) {
    for (const std::int32_t masterId : FavoriteMasterIds()) {
      for (const std::int32_t detailId : FavoriteDetailIds(masterId)) {
        TResolvedEntry entry;
        if (ResolveFavorite(detailId, entry) && entry.FileId == fileId) {
          result.ViewId = view;
          result.GroupId = masterId;
          result.FileId = detailId;
          result.Caption = entry.Caption;
          return result;
        }
      }
    }
    return result;
  }
  return FileAsItem(byPath, view);
}
