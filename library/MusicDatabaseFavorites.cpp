// The favorites side of TMusicDatabase: the editors it hands out, the entries of the Playlists
// view resolved to their files, the lists read back from their files after a rebuild, and the
// albums another program drops into "Recorded\".

#include <algorithm>
#include <cstring>
#include <optional>
#include <set>

#include "framework/OxaUtils.h"
#include "library/LibraryCursors.h"
#include "library/MusicDatabase.h"
#include "rtl/AnsiText.h"
#include "rtl/FilePaths.h"
#include "rtl/FileSearch.h"
#include "rtl/Format.h"

namespace {

bool SameBytes(std::span<const std::byte> a, std::span<const std::byte> b) noexcept
{
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

// (Sequence, id) pairs in read order to the ids by Sequence; equal values keep their order.
std::vector<std::int32_t> IdsBySequence(std::vector<std::pair<std::int32_t, std::int32_t>>& read)
{
  std::stable_sort(read.begin(), read.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::int32_t> ids;
  ids.reserve(read.size());
  for (const auto& [sequence, id] : read) {
    ids.push_back(id);
  }
  return ids;
}

// The names of the files of folder whose names end in ".oxa".
std::vector<std::string> FavoritesFiles(const std::string& folder)
{
  std::vector<std::string> names;
  TSearchRec record;
  if (FindFirst(Format("%s*%s", folder, FavoritesFileExtension), faAnyFile & ~faDirectory, record) != 0) {
    return names;
  }
  do {
    if ((record.Attr & faDirectory) == 0 && record.Name.ends_with(FavoritesFileExtension)) {
      names.push_back(record.Name);
    }
  } while (FindNext(record) == 0);
  FindClose(record);
  return names;
}

// A string-list file with the header it must start with; nothing when it cannot be read, is
// damaged or starts otherwise.
std::unique_ptr<TMusicStringList> LoadFavoritesFile(const std::string& fileName, std::string_view header)
{
  auto list = std::make_unique<TMusicStringList>();
  try {
    list->LoadFromFile(fileName);
  } catch (const Exception&) {
    return nullptr;
  }
  if (list->Count() == 0 || list->Strings(0) != header) {
    return nullptr;
  }
  return list;
}

std::string DataString(const TMusicStringList& list, int index)
{
  const TMusicStringItem* item = list.Item(index);
  return item != nullptr ? item->Value : std::string();
}

// The entries of a titles list, with FileId 0: they find their files when resolved.
std::vector<TFavoriteEntry> TitlesOf(const TMusicStringList& titles)
{
  std::vector<TFavoriteEntry> entries;
  for (int i = 1; i < titles.Count(); ++i) {
    TFavoriteEntry& entry = entries.emplace_back();
    entry.FileId = 0;
    entry.FilePath = titles.Strings(i);
    entry.Checksum = ChecksumOfText(DataString(titles, i));
  }
  return entries;
}

// A list as the index on disk names it.
struct TStoredList {
  std::string Name;
  std::optional<std::int32_t> Id;
  std::unique_ptr<TMusicStringList> Titles;  // null: no readable titles file
};

// Whether an entry whose file is not at its path may follow the fingerprint to candidate: the
// same file moved to another folder, or renamed in its own. Any other file with that audio is
// another copy, or a file whose own folder cannot be read now: taking it would lose the entry's
// file for good.
bool MayFollow(const std::string& storedPath, const std::string& candidate)
{
  return storedPath.empty() ||
         AnsiCompareText(ExtractFileName(storedPath), ExtractFileName(candidate)) == 0 ||
         AnsiCompareText(ExtractFilePath(storedPath), ExtractFilePath(candidate)) == 0;
}

// The lists as the index names them; nothing when the index is missing or damaged.
std::optional<std::vector<TStoredList>> ListsOfIndex(const std::string& folder, const std::string& indexFile)
{
  const std::unique_ptr<TMusicStringList> index = LoadFavoritesFile(indexFile, FavoriteAlbumsHeader);
  if (!index) {
    return std::nullopt;
  }
  std::vector<TStoredList> lists;
  for (int i = 1; i < index->Count(); ++i) {
    TStoredList& list = lists.emplace_back();
    list.Name = index->Strings(i);
    std::int32_t id = 0;
    if (ParseFavoriteId(DataString(*index, i), id)) {
      list.Id = id;
      list.Titles = LoadFavoritesFile(FavoriteTitlesFile(folder, id), FavoriteTitlesHeader);
    }
  }
  return lists;
}

// Without an index, every titles file in the folder is a list, in the order of their ids, named
// by the name its header line carries ("Favorites <id>" for a file written without one).
std::vector<TStoredList> ListsOfTitlesFiles(const std::string& folder)
{
  std::vector<TStoredList> lists;
  for (const std::string& name : FavoritesFiles(folder)) {
    std::int32_t id = 0;
    if (!ParseFavoriteId(name.substr(0, name.size() - FavoritesFileExtension.size()), id)) {
      continue;
    }
    std::unique_ptr<TMusicStringList> titles = LoadFavoritesFile(folder + name, FavoriteTitlesHeader);
    if (!titles) {
      continue;
    }
    TStoredList& list = lists.emplace_back();
    list.Id = id;
    list.Name = DataString(*titles, 0);
    if (list.Name.empty()) {
      list.Name = "Favorites " + std::to_string(id);
    }
    list.Titles = std::move(titles);
  }
  std::sort(lists.begin(), lists.end(),
            [](const TStoredList& a, const TStoredList& b) { return *a.Id < *b.Id; });
  return lists;
}

}  // namespace

std::string TMusicDatabase::FavoritesFolder() const
{
  return Directory() + std::string(FavoritesFolderName);
}

std::string TMusicDatabase::RecordedFolder() const
{
  return Directory() + std::string(RecordedFolderName);
}

void TMusicDatabase::RestartFavoritesWriter()
{
  FFavoritesThread.reset();
  FFavoritesThread = TThread::New<TMusicFavoriteThread>();
}

// ---- editors ----

TMusicFavoriteMastersEdit& TMusicDatabase::EditFavoriteMasters()
{
  if (!FMastersEditor) {
    FMastersEditor.reset(new TMusicFavoriteMastersEdit(*this));
  }
  return *FMastersEditor;
}

TMusicFavoriteDetailsEdit* TMusicDatabase::EditFavoriteDetails(std::int32_t masterId)
{
  for (const auto& editor : FDetailsEditors) {
    if (editor->MasterId() == masterId) {
      return editor.get();
    }
  }
  std::unique_ptr<TMusicFavoriteDetailsEdit> editor(new TMusicFavoriteDetailsEdit(*this, masterId));
  Activate(*FFavoriteMasters);
  if (!FFavoriteMasters->FindKey(masterId)) {
    return nullptr;
  }
  FDetailsEditors.push_back(std::move(editor));
  return FDetailsEditors.back().get();
}

void TMusicDatabase::SaveModifiedEditors()
{
  for (const auto& editor : FDetailsEditors) {
    if (editor->Modified) {
      editor->Save();
    }
  }
  if (FMastersEditor && FMastersEditor->Modified) {
    FMastersEditor->Save();
  }
}

void TMusicDatabase::FreeEditors() noexcept
{
  FDetailsEditors.clear();
  FMastersEditor.reset();
}

void TMusicDatabase::ReleaseEditor(const TMusicFavoriteDetailsEdit* editor) noexcept
{
  std::erase_if(FDetailsEditors, [editor](const auto& open) { return open.get() == editor; });
}

// ---- entries as the Playlists view lists them ----

std::vector<std::int32_t> TMusicDatabase::FavoriteMasterIds()
{
  TFavoriteMastersTable& masters = *FFavoriteMasters;
  Activate(masters);
  std::vector<std::pair<std::int32_t, std::int32_t>> read;
  for (masters.First(); !masters.Eof(); masters.Next()) {
    read.emplace_back(masters.Sequence->AsInteger(), masters.MasterId->AsInteger());
  }
  return IdsBySequence(read);
}

std::vector<std::int32_t> TMusicDatabase::FavoriteDetailIds(std::int32_t masterId)
{
  TFavoriteDetailsTable& byMaster = *FFavoriteDetailsByMaster;
  Activate(byMaster);
  std::vector<std::pair<std::int32_t, std::int32_t>> read;
  if (byMaster.FindKey(masterId)) {
    for (; !byMaster.Eof() && byMaster.MasterId->AsInteger() == masterId; byMaster.Next()) {
      read.emplace_back(byMaster.Sequence->AsInteger(), byMaster.DetailId->AsInteger());
    }
  }
  return IdsBySequence(read);
}

bool TMusicDatabase::ResolveFavorite(std::int32_t detailId, TResolvedEntry& entry)
{
  TFavoriteDetailsTable& details = *FFavoriteDetails;
  Activate(details);
  if (!details.FindKey(detailId)) {
    return false;
  }
  entry = TResolvedEntry();
  entry.MasterId = details.MasterId->AsInteger();
  entry.Sequence = details.Sequence->AsInteger();
  const std::int32_t storedId = details.FileId->AsInteger();
  const std::string storedPath = details.FilePath->AsString();
  const auto checksumBytes = details.FileChecksum->AsBytes();
  const std::vector<std::byte> checksum(checksumBytes.begin(), checksumBytes.end());

  const auto take = [&entry](TFilesTable& file) {
    entry.FileId = file.FileId->AsInteger();
    entry.FolderId = file.FolderId->AsInteger();
    entry.Caption = file.FileName->AsString();
  };
  TFilesTable& files = *FFiles;
  Activate(files);
  if (storedId > 0 && files.FindKey(storedId) && files.FolderId->AsInteger() != -1) {
    take(files);
    return true;
  }
  TFilesTable& byPath = *FFilesByPath;
  Activate(byPath);
  TFilesTable& byChecksum = *FFilesByChecksum;
  Activate(byChecksum);
  bool pathChanged = false;
  if (byPath.FindKey(storedPath) && byPath.FolderId->AsInteger() != -1 &&
      SameBytes(byPath.Checksum->AsBytes(), checksum)) {
    take(byPath);
  } else if (byChecksum.FindKey(std::span<const std::byte>(checksum))) {
    for (; !byChecksum.Eof() && SameBytes(byChecksum.Checksum->AsBytes(), checksum); byChecksum.Next()) {
      if (byChecksum.FolderId->AsInteger() != -1 && MayFollow(storedPath, byChecksum.FilePath->AsString())) {
        take(byChecksum);
        pathChanged = true;
        break;
      }
    }
  }
  if (entry.FileId == -1) {
    entry.Caption = Format("%s (Not Available)", ChangeFileExt(ExtractFileName(storedPath), ""));
    return true;
  }
  // Found again: the entry keeps the file's present id (and path), so the next look-up is direct.
  details.Edit();
  Change(details, [&] {
    details.FileId->SetAsInteger(entry.FileId);
    if (pathChanged) {
      details.FilePath->SetAsString(byChecksum.FilePath->AsString());
    }
  });
  return true;
}

bool TMusicDatabase::ListFavoriteEntries(std::int32_t masterId, TDbIdList& list)
{
  Activate(*FFavoriteMasters);
  if (!FFavoriteMasters->FindKey(masterId)) {
    return false;
  }
  const std::vector<std::int32_t> ids = FavoriteDetailIds(masterId);
  list.SetCapacity(static_cast<int>(ids.size()));
  for (const std::int32_t detailId : ids) {
    TResolvedEntry entry;
    if (ResolveFavorite(detailId, entry)) {
      list.AddValues(ViewPlaylists, masterId, entry.Sequence, "", entry.Caption, detailId);
    }
  }
  list.SortByOrder();
  return true;
}

TDbId TMusicDatabase::FindNearestFavorite(const TDbId& from, const TDbId& to)
{
  if (to.ViewId != ViewPlaylists) {
    throw EOxaFatal(ClassName() + ".FindNearestFavorite: ToView must be favorite view");
  }
  if (!from.Valid()) {
    throw EOxaFatal(ClassName() + ".FindNearestFavorite: FromView is not vaild");
  }
  if (!to.Valid()) {
    throw EOxaFatal(ClassName() + ".FindNearestFavorite: ToView is not valid");
  }
  if (from.ViewId == ViewPlaylists) {
    return to;
  }
  TFilesTable& files = *FFiles;
  Activate(files);
  if (from.FileId <= 0 || !files.FindKey(from.FileId)) {
    return TDbId();
  }
  const std::int32_t fileId = from.FileId;
  const auto checksumBytes = files.Checksum->AsBytes();
  const std::vector<std::byte> checksum(checksumBytes.begin(), checksumBytes.end());
  TFavoriteDetailsTable& details = *FFavoriteDetails;
  Activate(details);
  if (to.Level() == TDbIdLevel::Item && details.FindKey(to.FileId) && details.FileId->AsInteger() == fileId) {
    return to;
  }
  std::vector<std::int32_t> masters = FavoriteMasterIds();
  if (to.Level() != TDbIdLevel::View) {
    const auto own = std::find(masters.begin(), masters.end(), to.GroupId);
    if (own != masters.end()) {
      std::rotate(masters.begin(), own, own + 1);
    }
  }
  std::int32_t byChecksum = -1;
  for (const std::int32_t masterId : masters) {
    for (const std::int32_t detailId : FavoriteDetailIds(masterId)) {
      if (!details.FindKey(detailId)) {
        continue;
      }
      if (details.FileId->AsInteger() == fileId) {
        TDbId found;
        MakeItem(ViewPlaylists, detailId, found);
        return found;
      }
      if (byChecksum == -1 && SameBytes(details.FileChecksum->AsBytes(), checksum)) {
        byChecksum = detailId;
      }
    }
  }
  TDbId found;
  if (byChecksum != -1) {
    MakeItem(ViewPlaylists, byChecksum, found);
  }
  return found;
}

// ---- the files ----

void TMusicDatabase::RestoreFavorites()
{
  const std::string folder = FavoritesFolder();
  const std::string indexFile = folder + std::string(FavoritesIndexFile);
  // A damaged index does not take the lists with it: each list's own file still holds it.
  std::optional<std::vector<TStoredList>> indexed = ListsOfIndex(folder, indexFile);
  std::vector<TStoredList> lists = indexed ? std::move(*indexed) : ListsOfTitlesFiles(folder);
  if (!indexed && lists.empty()) {
    return;
  }

  FreeEditors();
  TMusicFavoriteMastersEdit& masters = EditFavoriteMasters();
  while (masters.Count() > 0) {
    masters.Delete(0);
  }
  for (const TStoredList& list : lists) {
    masters.Add(list.Name, -1);
  }
  // The new index is written last, after the files it names.
  masters.SaveRecords();
  if (masters.Count() != static_cast<int>(lists.size())) {
    FreeEditors();
    return;
  }
  std::set<std::int32_t> newIds;
  for (int i = 0; i < masters.Count(); ++i) {
    newIds.insert(masters.Get(i).MasterId);
  }

  // A list whose old file has the name another list's new file gets is first copied to a spare
  // name, and an index naming the copies is written, so the index on disk never names a file
  // that is about to be overwritten.
  std::int32_t spare = newIds.empty() ? 0 : *newIds.rbegin();
  for (const TStoredList& list : lists) {
    spare = std::max(spare, list.Id.value_or(0));
  }
  TMusicFavoriteThread& thread = FavoritesThread();
  auto interim = std::make_unique<TMusicStringList>();
  interim->Add(std::string(FavoriteAlbumsHeader));
  bool moved = false;
  for (std::size_t j = 0; j < lists.size(); ++j) {
    const TStoredList& list = lists[j];
    std::string data = list.Id ? std::to_string(*list.Id) : std::string();
    if (list.Id && newIds.count(*list.Id) != 0 && masters.Get(static_cast<int>(j)).MasterId != *list.Id) {
      data.clear();
      if (list.Titles) {
        ++spare;
        auto copy = std::make_unique<TMusicStringList>();
        copy->Assign(*list.Titles);
        thread.Queue(FavoriteTitlesFile(folder, spare), std::move(copy));
        data = std::to_string(spare);
      }
      moved = true;
    }
    interim->AddObject(list.Name, std::make_unique<TMusicStringItem>(data).release());
  }
  if (moved) {
    thread.Queue(indexFile, std::move(interim));
    thread.Flush();
  }

  for (std::size_t j = 0; j < lists.size(); ++j) {
    if (!lists[j].Titles) {
      continue;
    }
    TMusicFavoriteDetailsEdit* details = EditFavoriteDetails(masters.Get(static_cast<int>(j)).MasterId);
    if (details == nullptr) {
      continue;
    }
    for (const TFavoriteEntry& entry : TitlesOf(*lists[j].Titles)) {
      details->AddEntry(entry, -1);
    }
    details->Save();
  }
  thread.Queue(indexFile, masters.IndexList());
  FreeEditors();

  std::set<std::string> named{std::string(FavoritesIndexFile)};
  for (const std::int32_t id : newIds) {
    named.insert(ExtractFileName(FavoriteTitlesFile("", id)));
  }
  // Deleted after the new index is on disk: the thread works in order.
  for (const std::string& name : FavoritesFiles(folder)) {
    if (named.count(name) == 0) {
      thread.Queue(folder + name, nullptr);
    }
  }
}

void TMusicDatabase::CollectRecordedAlbums(std::vector<std::string>& paths)
{
  FRecordedAlbums.clear();
  FRecordedFiles.clear();
  const std::string folder = RecordedFolder();
  const std::unique_ptr<TMusicStringList> index =
      LoadFavoritesFile(folder + std::string(FavoritesIndexFile), FavoriteAlbumsHeader);
  if (!index) {
    return;
  }
  for (int i = 1; i < index->Count(); ++i) {
    std::int32_t id = 0;
    if (!ParseFavoriteId(DataString(*index, i), id)) {
      continue;
    }
    const std::unique_ptr<TMusicStringList> titles =
        LoadFavoritesFile(FavoriteTitlesFile(folder, id), FavoriteTitlesHeader);
    if (!titles) {
      continue;
    }
    TRecordedAlbum& album = FRecordedAlbums.emplace_back();
    album.Name = index->Strings(i);
    album.Titles = TitlesOf(*titles);
    for (const TFavoriteEntry& title : album.Titles) {
      paths.push_back(title.FilePath);
    }
  }
  // Every drop file seen now goes once the albums are lists; one written later stays for the
  // next start.
  for (const std::string& name : FavoritesFiles(folder)) {
    FRecordedFiles.push_back(folder + name);
  }
}

namespace {

int LastListNamed(const TMusicFavoriteMastersEdit& masters, std::string_view name)
{
  for (int i = masters.Count() - 1; i >= 0; --i) {
    if (AnsiCompareText(masters.Get(i).Name, name) == 0) {
      return i;
    }
  }
  return -1;
}

}  // namespace

void TMusicDatabase::ImportRecordedAlbums()
{
  if (FRecordedAlbums.empty() && FRecordedFiles.empty()) {
    return;
  }
  TMusicFavoriteMastersEdit& masters = EditFavoriteMasters();
  bool added = false;
  for (const TRecordedAlbum& album : FRecordedAlbums) {
    if (LastListNamed(masters, album.Name) == -1) {
      masters.Add(album.Name, -1);
      added = true;
    }
  }
  if (added) {
    masters.Save();
  }
  for (const TRecordedAlbum& album : FRecordedAlbums) {
    const int index = LastListNamed(masters, album.Name);
    TMusicFavoriteDetailsEdit* details =
        index == -1 ? nullptr : EditFavoriteDetails(masters.Get(index).MasterId);
    if (details == nullptr) {
      continue;
    }
    for (const TFavoriteEntry& title : album.Titles) {
      details->AddEntry(title, -1);
    }
    details->Save();
    ReleaseEditor(details);
  }
  FRecordedAlbums.clear();
  FMastersEditor.reset();
  for (const std::string& fileName : FRecordedFiles) {
    FavoritesThread().Queue(fileName, nullptr);
  }
  FRecordedFiles.clear();
}
