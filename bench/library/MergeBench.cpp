// ApplyScanResults on 100,000 file items made in memory: into an empty library (against the
// floor of the same file records and group references written with plain SQLite statements),
// the same items again unchanged (nothing to write), and a scan with 1% changed, 1% gone and 1%
// new files. Compare BM_MergeNewItems with BM_InsertFloor, and BM_MergeUnchanged with
// BM_MergeNewItems.

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/support/BenchScratch.h"
#include "bench/support/PlainSqlite.h"
#include "library/MusicDatabase.h"
#include "platform/files/Paths.h"
#include "rtl/AnsiText.h"
#include "rtl/FilePaths.h"

namespace {

constexpr int ItemCount = 100000;
constexpr int FolderCount = 8000;
constexpr int Batch = 1024;

const TMusicFileItems& Items()
{
  static const TMusicFileItems items = [] {
    std::mt19937 random(42);
    TMusicFileItems result(ItemCount);
    for (int i = 0; i < ItemCount; ++i) {
      TMusicFileItem& item = result[static_cast<std::size_t>(i)];
      const int folder = static_cast<int>(random() % FolderCount);
      item.Title = "Track " + std::to_string(i % 17) + " Of The Night " + std::to_string(random() % 1000);
      item.FileName = "C:\\Music\\Artist " + std::to_string(folder / 10) + "\\Album " +
                      std::to_string(folder) + "\\" + item.Title + " " + std::to_string(i) + ".mp3";
      item.Artist = "Artist " + std::to_string(folder / 10);
      item.Album = "Album " + std::to_string(folder);
      item.Genre = "Genre " + std::to_string(random() % 148);
      item.Year = 1950 + static_cast<std::int32_t>(random() % 60);
      item.Track = i % 17;
      item.Bitrate = 192;
      item.Duration = static_cast<std::int32_t>(random() % 600);
      item.LastWriteTime = {static_cast<DWORD>(random()), 0x01D00000};
      item.CreationTime = {static_cast<DWORD>(random()), 0x01D00000};
      item.Size = 3000000 + random() % 5000000;
      for (auto& b : item.Checksum) {
        b = static_cast<std::uint8_t>(random());
      }
    }
    TMusicDatabase::SortFileItems(result);
    return result;
  }();
  return items;
}

std::unique_ptr<TMusicDatabase> NewLibrary(const TScratch& scratch)
{
  auto database = std::make_unique<TMusicDatabase>(nullptr);
  database->SetDirectory(scratch.Directory());
  if (!OpenLibrary(*database)) {
    throw std::runtime_error("cannot create the library");
  }
  return database;
}

// One library holding all the items, closed; merges work on copies of its folder.
class TFilled {
 public:
  static TFilled& Get()
  {
    static TFilled filled;
    return filled;
  }
  void CopyTo(const TScratch& target) const
  {
    std::filesystem::copy(
        FScratch.HostPath(), target.HostPath(),
        std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
  }

 private:
  TFilled()
  {
    auto database = NewLibrary(FScratch);
    database->ApplyScanResults({}, Items());
    database->SetConnected(false);
  }

  TScratch FScratch;
};

TKnownFiles SortedKnownFiles(TMusicDatabase& database)
{
  TKnownFiles known = database.GetKnownFiles(nullptr, nullptr, nullptr);
  TMusicDatabase::SortKnownFiles(known);
  return known;
}

void BM_MergeNewItems(benchmark::State& state)
{
  const TMusicFileItems& items = Items();
  for (auto _ : state) {
    state.PauseTiming();
    TScratch scratch;
    auto database = NewLibrary(scratch);
    state.ResumeTiming();
    if (!database->ApplyScanResults({}, items)) {
      state.SkipWithError("the merge failed");
    }
    state.PauseTiming();
    database.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * ItemCount);
}

// Counts the progress reports: one per folder in which the merge changes something.
struct TReports {
  void Progress(TObject*, const std::string&, std::int32_t) { ++Count; }
  int Count = 0;
};

void BM_MergeUnchanged(benchmark::State& state)
{
  TScratch scratch;
  TFilled::Get().CopyTo(scratch);
  auto database = NewLibrary(scratch);
  const TKnownFiles known = SortedKnownFiles(*database);
  if (known.size() != Items().size()) {
    state.SkipWithError("the copy of the filled library is not the filled library");
    return;
  }
  TReports reports;
  database->OnUpdateProgress = MakeMethod<&TReports::Progress>(&reports);
  for (auto _ : state) {
    if (!database->ApplyScanResults(known, Items())) {
      state.SkipWithError("the merge failed");
    }
  }
  state.SetItemsProcessed(state.iterations() * ItemCount);
  state.counters["reports"] = reports.Count;
}

// Every hundredth item changed (new times and artist, same checksum), the one after it gone,
// and one new file for each of those beside it.
TMusicFileItems MixedScan()
{
  TMusicFileItems found;
  const TMusicFileItems& items = Items();
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i % 100 == 1) {
      continue;
    }
    TMusicFileItem item = items[i];
    if (i % 100 == 0) {
      item.LastWriteTime.dwLowDateTime += 1;
      item.Artist += " Remastered";
      found.push_back(std::move(item));
      TMusicFileItem added = items[i];
      added.FileName = ChangeFileExt(added.FileName, " (new).mp3");
      added.Checksum[0] ^= 0xFF;
      found.push_back(std::move(added));
      continue;
    }
    found.push_back(std::move(item));
  }
  TMusicDatabase::SortFileItems(found);
  return found;
}

void BM_MergeMixed(benchmark::State& state)
{
  const TMusicFileItems found = MixedScan();
  for (auto _ : state) {
    state.PauseTiming();
    TScratch scratch;
    TFilled::Get().CopyTo(scratch);
    auto database = NewLibrary(scratch);
    const TKnownFiles known = SortedKnownFiles(*database);
    state.ResumeTiming();
    if (!database->ApplyScanResults(known, found)) {
      state.SkipWithError("the merge failed");
    }
    state.PauseTiming();
    database.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * ItemCount);
}

// ---- the floor: the file records and their six group references in plain SQLite ----

// Look-up by key, count up or insert: what one reference to a group costs at the least.
class TPlainGroup {
 public:
  TPlainGroup(TPlain& plain, const std::string& table, const std::string& id, const std::string& count,
              const std::string& key, bool text, const std::string& extraColumns = "",
              const std::string& extraValues = "")
      : FPlain(plain),
        FFind(plain.Prepare("SELECT " + id + " FROM " + table + " WHERE " + key +
                            (text ? " COLLATE ANSITEXT" : "") + " = ?1")),
        FCountUp(plain.Prepare("UPDATE " + table + " SET " + count + " = " + count + " + 1 WHERE " + id +
                               " = ?1")),
        FInsert(plain.Prepare("INSERT INTO " + table + " (" + count + ", " + key + extraColumns +
                              ") VALUES (1, ?1" + extraValues + ")"))
  {
  }

  std::int64_t AddRef(std::string_view name, std::string_view extra = {})
  {
    sqlite3_bind_text(FFind, 1, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
    return AddRefBound(extra, [&] {
      sqlite3_bind_text(FInsert, 1, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
    });
  }
  std::int64_t AddRef(std::int32_t number)
  {
    sqlite3_bind_int(FFind, 1, number);
    return AddRefBound({}, [&] { sqlite3_bind_int(FInsert, 1, number); });
  }

 private:
  template <class BindKey>
  std::int64_t AddRefBound(std::string_view extra, BindKey&& bindKey)
  {
    std::int64_t id = 0;
    if (sqlite3_step(FFind) == SQLITE_ROW) {
      id = sqlite3_column_int64(FFind, 0);
      sqlite3_reset(FFind);
      sqlite3_bind_int64(FCountUp, 1, id);
      sqlite3_step(FCountUp);
      sqlite3_reset(FCountUp);
      return id;
    }
    sqlite3_reset(FFind);
    bindKey();
    if (!extra.empty()) {
      sqlite3_bind_text(FInsert, 2, extra.data(), static_cast<int>(extra.size()), SQLITE_STATIC);
    }
    sqlite3_step(FInsert);
    sqlite3_reset(FInsert);
    return sqlite3_last_insert_rowid(FPlain.Db());
  }

  TPlain& FPlain;
  sqlite3_stmt* FFind;
  sqlite3_stmt* FCountUp;
  sqlite3_stmt* FInsert;
};

void InsertPlain(TPlain& plain)
{
  TPlainGroup folders(plain, "MusicFolders", "FolderId", "FolderRefCount", "FolderPath", true, ", FolderName",
                      ", ?2");
  TPlainGroup albums(plain, "MusicAlbums", "AlbumId", "AlbumRefCount", "AlbumName", true);
  TPlainGroup artists(plain, "MusicArtists", "ArtistId", "ArtistRefCount", "ArtistName", true);
  TPlainGroup genres(plain, "MusicGenre", "GenreId", "GenreRefCount", "GenreName", true);
  TPlainGroup years(plain, "MusicYears", "YearId", "YearRefCount", "YearNumber", false);
  TPlainGroup letters(plain, "MusicLetters", "LetterId", "LetterRefCount", "LetterName", true);
  sqlite3_stmt* insert = plain.Prepare(
      "INSERT INTO MusicFiles (FilePath, FileName, FolderId, LetterId, ArtistId, AlbumId, GenreId, YearId, "
      "TagTitle, Checksum, Attributes, Bitrate, Length, Track) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, "
      "?10, "
      "?11, ?12, ?13, ?14)");
  int changes = 0;
  plain.Exec("BEGIN IMMEDIATE");
  for (const TMusicFileItem& item : Items()) {
    if (changes == Batch) {
      plain.Exec("COMMIT");
      plain.Exec("BEGIN IMMEDIATE");
      changes = 0;
    }
    const std::string folder = ExcludeTrailingBackslash(ExtractFilePath(item.FileName));
    const std::string_view folderName = std::string_view(folder).substr(folder.rfind('\\') + 1);
    const std::string_view letter = std::string_view(item.Title).substr(0, 1);
    const TFileAttributes attributes = ItemAttributes(item);
    sqlite3_bind_text(insert, 1, item.FileName.data(), static_cast<int>(item.FileName.size()), SQLITE_STATIC);
    sqlite3_bind_text(insert, 2, item.Title.data(), static_cast<int>(item.Title.size()), SQLITE_STATIC);
    sqlite3_bind_int64(insert, 3, folders.AddRef(folder, folderName));
    sqlite3_bind_int64(insert, 6, albums.AddRef(item.Album));
    sqlite3_bind_int64(insert, 5, artists.AddRef(item.Artist));
    sqlite3_bind_int64(insert, 7, genres.AddRef(item.Genre));
    sqlite3_bind_int64(insert, 8, years.AddRef(item.Year));
    sqlite3_bind_int64(insert, 4, letters.AddRef(letter));
    sqlite3_bind_int(insert, 9, 1);
    sqlite3_bind_blob(insert, 10, item.Checksum.data(), 36, SQLITE_STATIC);
    sqlite3_bind_blob(insert, 11, attributes.data(), 32, SQLITE_STATIC);
    sqlite3_bind_int(insert, 12, item.Bitrate);
    sqlite3_bind_int(insert, 13, item.Duration);
    sqlite3_bind_int(insert, 14, item.Track);
    sqlite3_step(insert);
    sqlite3_reset(insert);
    ++changes;
  }
  plain.Exec("COMMIT");
}

// The same empty library as the merge starts from, written by plain statements.
void BM_InsertFloor(benchmark::State& state)
{
  for (auto _ : state) {
    state.PauseTiming();
    TScratch scratch;
    NewLibrary(scratch)->SetConnected(false);
    {
      TPlain plain((scratch.HostPath() / "MUSIC.DAT").string());
      state.ResumeTiming();
      InsertPlain(plain);
      state.PauseTiming();
    }
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * ItemCount);
}

BENCHMARK(BM_InsertFloor)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(BM_MergeNewItems)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(BM_MergeUnchanged)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);
BENCHMARK(BM_MergeMixed)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

}  // namespace

// The library's stamp and paths go through the platform layer: give it a throw-away machine.
int main(int argc, char** argv)
{
  TScratch machine;
  setenv("OXA_MACHINE", (machine.HostPath() / "machine").c_str(), 1);
  Items();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
