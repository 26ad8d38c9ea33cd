// The two editors of the favorite lists. Each keeps its entries in memory and writes them in one
// transaction; only a committed save hands files to the favorites thread, and a failed one
// leaves both the tables and the editor as they were.

#include <algorithm>
#include <charconv>
#include <cstring>

#include "framework/OxaUtils.h"
#include "library/LibraryCursors.h"
#include "library/MusicDatabase.h"
#include "rtl/Exception.h"
#include "rtl/Format.h"
#include "rtl/Utf8.h"
#include "tableengine/Database.h"

namespace {

void CheckIndex(int index, int count)
{
  if (index < 0 || index >= count) {
    throw EListError(Format("List index out of bounds (%d)", index));
  }
}

// Where Add puts an entry: index, or the end for -1.
std::size_t InsertPosition(int index, int count)
{
  if (index == -1) {
    return static_cast<std::size_t>(count);
  }
  if (index < 0 || index > count) {
    throw EListError(Format("List index out of bounds (%d)", index));
  }
  return static_cast<std::size_t>(index);
}

// Records in the order of their Sequence; equal values keep the order they were read in.
template <class T>
void SortBySequence(std::vector<std::pair<std::int32_t, T>>& records)
{
  std::stable_sort(records.begin(), records.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
}

}  // namespace

std::string ChecksumText(const TMusicCheckSum& checksum)
{
  return std::string(reinterpret_cast<const char*>(checksum.data()), checksum.size());
}

TMusicCheckSum ChecksumOfText(std::string_view text) noexcept
{
  TMusicCheckSum checksum{};
  std::memcpy(checksum.data(), text.data(), std::min(text.size(), checksum.size()));
  return checksum;
}

std::string FavoriteTitlesFile(const std::string& folder, std::int32_t masterId)
{
  return Format("%s%d%s", folder, masterId, FavoritesFileExtension);
}

bool ParseFavoriteId(std::string_view text, std::int32_t& id) noexcept
{
  if (text.empty() || text.size() > 10 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return false;
  }
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) {
    return false;
  }
  id = value;
  return true;
}

// ---- masters ----

TMusicFavoriteMastersEdit::TMusicFavoriteMastersEdit(TMusicDatabase& database) : FDatabase(database)
{
  if (database.FMastersEditor) {
    throw EOxaFatal(ClassName() + ".EditFavoriteMasters: Favorite masteres is already beeing edited");
  }
  TFavoriteMastersTable& masters = *database.FFavoriteMasters;
  Activate(masters);
  std::vector<std::pair<std::int32_t, TFavoriteMaster>> read;
  for (masters.First(); !masters.Eof(); masters.Next()) {
    read.emplace_back(masters.Sequence->AsInteger(),
                      TFavoriteMaster{masters.MasterId->AsInteger(), masters.Name->AsString()});
  }
  SortBySequence(read);
  FEntries.reserve(read.size());
  for (auto& [sequence, master] : read) {
    FEntries.push_back(std::move(master));
  }
}

const TFavoriteMaster& TMusicFavoriteMastersEdit::Get(int index) const
{
  CheckIndex(index, Count());
  return FEntries[static_cast<std::size_t>(index)];
}

void TMusicFavoriteMastersEdit::Add(const std::string& name, int index)
{
  const std::size_t position = InsertPosition(index, Count());
  FEntries.insert(FEntries.begin() + static_cast<std::ptrdiff_t>(position), TFavoriteMaster{-1, name});
}

void TMusicFavoriteMastersEdit::Rename(int index, const std::string& name)
{
  CheckIndex(index, Count());
  FEntries[static_cast<std::size_t>(index)].Name = name;
}

void TMusicFavoriteMastersEdit::Delete(int index)
{
  CheckIndex(index, Count());
  const auto entry = FEntries.begin() + index;
  if (entry->MasterId != -1) {
    for (const auto& details : FDatabase.FDetailsEditors) {
      if (details->MasterId() == entry->MasterId) {
        throw EOxaFatal(ClassName() +
                        ".Delete: It is not allowed to delete a master when it's details are beeing "
                        "edited");
      }
    }
    FDeleted.push_back(*entry);
  }
  FEntries.erase(entry);
}

int TMusicFavoriteMastersEdit::IndexOf(std::int32_t masterId) const noexcept
{
  const auto found = std::find_if(FEntries.begin(), FEntries.end(), [masterId](const TFavoriteMaster& entry) {
    return entry.MasterId == masterId;
  });
  return found == FEntries.end() ? -1 : static_cast<int>(found - FEntries.begin());
}

std::unique_ptr<TMusicStringList> TMusicFavoriteMastersEdit::IndexList() const
{
  auto index = std::make_unique<TMusicStringList>();
  index->Add(std::string(FavoriteAlbumsHeader));
  for (const TFavoriteMaster& entry : FEntries) {
    index->AddObject(entry.Name,
                     std::make_unique<TMusicStringItem>(std::to_string(entry.MasterId)).release());
  }
  return index;
}

std::vector<std::int32_t> TMusicFavoriteMastersEdit::SaveRecords()
{
  TFavoriteMastersTable& masters = *FDatabase.FFavoriteMasters;
  TFavoriteDetailsTable& byMaster = *FDatabase.FFavoriteDetailsByMaster;
  std::vector<std::int32_t> ids(FEntries.size(), -1);
  {
    TTransaction transaction(FDatabase);
    Activate(masters);
    Activate(byMaster);
    for (const TFavoriteMaster& deleted : FDeleted) {
      if (!masters.FindKey(deleted.MasterId)) {
        continue;
      }
      while (byMaster.FindKey(deleted.MasterId)) {
        byMaster.Delete();
      }
      masters.Delete();
    }
    for (std::size_t i = 0; i < FEntries.size(); ++i) {
      const TFavoriteMaster& entry = FEntries[i];
      const auto sequence = static_cast<std::int32_t>(i + 1);
      if (entry.MasterId != -1 && masters.FindKey(entry.MasterId)) {
        masters.Edit();
      } else {
        masters.Insert();
      }
      Change(masters, [&] {
        if (masters.State() == TTableState::dsInsert) {
          masters.RefCount->SetAsInteger(0);
        }
        masters.Name->SetAsString(CutToUtf16Units(entry.Name, PathSize));
        masters.Sequence->SetAsInteger(sequence);
      });
      ids[i] = masters.MasterId->AsInteger();
    }
    transaction.Commit();
  }
  std::vector<std::int32_t> deletedIds;
  for (const TFavoriteMaster& deleted : FDeleted) {
    deletedIds.push_back(deleted.MasterId);
  }
  FDeleted.clear();
  for (std::size_t i = 0; i < FEntries.size(); ++i) {
    FEntries[i].MasterId = ids[i];
  }
  Modified = false;
  return deletedIds;
}

void TMusicFavoriteMastersEdit::Save()
{
  const std::vector<std::int32_t> deletedIds = SaveRecords();
  // The index goes first: a crash before the deleted lists' files are gone leaves files that no
  // index names, never an index naming a missing file.
  const std::string folder = FDatabase.FavoritesFolder();
  TMusicFavoriteThread& thread = FDatabase.FavoritesThread();
  thread.Queue(folder + std::string(FavoritesIndexFile), IndexList());
  for (const std::int32_t id : deletedIds) {
    thread.Queue(FavoriteTitlesFile(folder, id), nullptr);
  }
}

// ---- details ----

TMusicFavoriteDetailsEdit::TMusicFavoriteDetailsEdit(TMusicDatabase& database, std::int32_t masterId)
    : FDatabase(database), FMasterId(masterId)
{
  if (masterId == -1) {
    throw EOxaFatal(
        ClassName() +
        ".Create: It is not allowed to edit a detail when it's master has not been stored in the database");
  }
  TFavoriteDetailsTable& byMaster = *database.FFavoriteDetailsByMaster;
  Activate(byMaster);
  std::vector<std::pair<std::int32_t, TFavoriteEntry>> read;
  if (byMaster.FindKey(masterId)) {
    for (; !byMaster.Eof() && byMaster.MasterId->AsInteger() == masterId; byMaster.Next()) {
      TFavoriteEntry entry;
      entry.DetailId = byMaster.DetailId->AsInteger();
      entry.FileId = byMaster.FileId->AsInteger();
      entry.FilePath = byMaster.FilePath->AsString();
      const std::span<const std::byte> checksum = byMaster.FileChecksum->AsBytes();
      std::memcpy(entry.Checksum.data(), checksum.data(), std::min(checksum.size(), entry.Checksum.size()));
      read.emplace_back(byMaster.Sequence->AsInteger(), std::move(entry));
    }
  }
  SortBySequence(read);
  FEntries.reserve(read.size());
  for (auto& [sequence, entry] : read) {
    FEntries.push_back(std::move(entry));
  }
}

const TFavoriteEntry& TMusicFavoriteDetailsEdit::Get(int index) const
{
  CheckIndex(index, Count());
  return FEntries[static_cast<std::size_t>(index)];
}

void TMusicFavoriteDetailsEdit::AddFile(std::int32_t fileId, int index)
{
  TFavoriteEntry entry;
  entry.FileId = fileId;
  TFilesTable& files = *FDatabase.FFiles;
  Activate(files);
  if (files.FindKey(fileId)) {
    entry.FilePath = files.FilePath->AsString();
    const std::span<const std::byte> checksum = files.Checksum->AsBytes();
    std::memcpy(entry.Checksum.data(), checksum.data(), std::min(checksum.size(), entry.Checksum.size()));
  }
  AddEntry(entry, index);
}

void TMusicFavoriteDetailsEdit::AddEntry(const TFavoriteEntry& entry, int index)
{
  const std::size_t position = InsertPosition(index, Count());
  TFavoriteEntry added = entry;
  added.DetailId = -1;
  FEntries.insert(FEntries.begin() + static_cast<std::ptrdiff_t>(position), std::move(added));
}

void TMusicFavoriteDetailsEdit::Move(int from, int to)
{
  CheckIndex(from, Count());
  CheckIndex(to, Count());
  TFavoriteEntry entry = std::move(FEntries[static_cast<std::size_t>(from)]);
  FEntries.erase(FEntries.begin() + from);
  FEntries.insert(FEntries.begin() + to, std::move(entry));
}

void TMusicFavoriteDetailsEdit::Delete(int index)
{
  CheckIndex(index, Count());
  const auto entry = FEntries.begin() + index;
  if (entry->DetailId != -1) {
    FDeleted.push_back(std::move(*entry));
  }
  FEntries.erase(entry);
}

int TMusicFavoriteDetailsEdit::IndexOf(std::int32_t detailId) const noexcept
{
  const auto found = std::find_if(FEntries.begin(), FEntries.end(), [detailId](const TFavoriteEntry& entry) {
    return entry.DetailId == detailId;
  });
  return found == FEntries.end() ? -1 : static_cast<int>(found - FEntries.begin());
}

void TMusicFavoriteDetailsEdit::Save()
{
  TFavoriteMastersTable& masters = *FDatabase.FFavoriteMasters;
  TFavoriteDetailsTable& details = *FDatabase.FFavoriteDetails;
  Activate(masters);
  Activate(details);
  std::vector<std::int32_t> ids(FEntries.size(), -1);
  auto titles = std::make_unique<TMusicStringList>();
  {
    TTransaction transaction(FDatabase);
    if (!masters.FindKey(FMasterId)) {
      transaction.Commit();
      Modified = false;
      return;
    }
    masters.Edit();
    Change(masters, [&] { masters.RefCount->SetAsInteger(Count()); });
    for (const TFavoriteEntry& deleted : FDeleted) {
      if (details.FindKey(deleted.DetailId)) {
        details.Delete();
      }
    }
    // The list's name rides on the header line, so the file alone can bring the list back when
    // the index is lost.
    titles->AddObject(std::string(FavoriteTitlesHeader),
                      std::make_unique<TMusicStringItem>(masters.Name->AsString()).release());
    for (std::size_t i = 0; i < FEntries.size(); ++i) {
      const TFavoriteEntry& entry = FEntries[i];
      // The fingerprint is 36 raw bytes, kept as they are.
      titles->AddObject(entry.FilePath,
                        std::make_unique<TMusicStringItem>(ChecksumText(entry.Checksum)).release());
      if (entry.DetailId != -1 && details.FindKey(entry.DetailId)) {
        details.Edit();
      } else {
        details.Insert();
      }
      Change(details, [&] {
        details.MasterId->SetAsInteger(FMasterId);
        details.FileId->SetAsInteger(entry.FileId);
        details.FilePath->SetAsString(entry.FilePath);
        details.FileChecksum->SetAsBytes(std::span<const std::uint8_t>(entry.Checksum));
        details.Sequence->SetAsInteger(static_cast<std::int32_t>(i + 1));
      });
      ids[i] = details.DetailId->AsInteger();
    }
    transaction.Commit();
  }
  Modified = false;
  FDeleted.clear();
  for (std::size_t i = 0; i < FEntries.size(); ++i) {
    FEntries[i].DetailId = ids[i];
  }
  FDatabase.FavoritesThread().Queue(FavoriteTitlesFile(FDatabase.FavoritesFolder(), FMasterId),
                                    std::move(titles));
}
