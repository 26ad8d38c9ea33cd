// Listing the library's views on 100,000 tracks in 5,000 albums by 2,000 artists, each against
// the floor of the same rows read by one plain SQLite query on the same file: the Titles view's
// letter groups (BM_TitleLetters / BM_TitleLettersFloor), the largest letter's tracks sorted by
// title (BM_LargestLetter / BM_LargestLetterFloor), one album sorted by track (BM_OneAlbum /
// BM_OneAlbumFloor). And saving a 1,000-entry favorite list, records and file, against plain
// inserts and one string-list save (BM_SaveList / BM_SaveListFloor).

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/support/BenchScratch.h"
#include "bench/support/PlainSqlite.h"
#include "library/MusicDatabase.h"
#include "platform/files/Paths.h"

namespace {

constexpr int TrackCount = 100000;
constexpr int AlbumCount = 5000;
constexpr int ArtistCount = 2000;
constexpr int ListSize = 1000;

// Titles start with a letter, a digit or a symbol, letters far more often, and "S" and "T" most.
char FirstCharacter(std::mt19937& random)
{
  static const std::string weighted =
      "SSSSTTTTAABBCDEFGHIJKLMNOPQRUVWXYZabcdefghijklmnopqrstuvwxyz0123456789(!";
  return weighted[random() % weighted.size()];
}

TMusicFileItems Tracks()
{
  std::mt19937 random(7);
  TMusicFileItems items(TrackCount);
  for (int i = 0; i < TrackCount; ++i) {
    TMusicFileItem& item = items[static_cast<std::size_t>(i)];
    const int album = i % AlbumCount;
    item.Title =
        std::string(1, FirstCharacter(random)) + "ong of the night " + std::to_string(random() % 10000);
    item.Album = "Album " + std::to_string(album);
    item.Artist = "Artist " + std::to_string(album % ArtistCount);
    item.FileName = "C:\\Music\\" + item.Artist + "\\" + item.Album + "\\" + std::to_string(i) + ".mp3";
    item.Genre = "Genre " + std::to_string(album % 40);
    item.Year = 1950 + album % 70;
    item.Track = static_cast<std::int32_t>(random() % 30);
    item.Bitrate = 192;
    item.Duration = 200;
    item.Size = 3000000 + static_cast<std::uint64_t>(i);
    for (auto& b : item.Checksum) {
      b = static_cast<std::uint8_t>(random());
    }
  }
  TMusicDatabase::SortFileItems(items);
  return items;
}

// The library, filled once and kept open for every benchmark of the run.
class TLibrary {
 public:
  static TLibrary& Get()
  {
    static TLibrary library;
    return library;
  }

  TMusicDatabase& Database() { return *FDatabase; }
  std::string HostFile() const { return (FScratch.HostPath() / "MUSIC.DAT").string(); }
  std::int32_t LargestLetter = -1;
  std::int32_t Album = -1;

 private:
  TLibrary() : FDatabase(std::make_unique<TMusicDatabase>(nullptr))
  {
    FDatabase->SetDirectory(FScratch.Directory());
    if (!OpenLibrary(*FDatabase) || !FDatabase->ApplyScanResults({}, Tracks())) {
      throw std::runtime_error("cannot fill the library");
    }
    TLettersTable letters(*FDatabase);
    letters.Open();
    std::int32_t largest = 0;
    for (letters.First(); !letters.Eof(); letters.Next()) {
      if (letters.LetterRefCount->AsInteger() > largest) {
        largest = letters.LetterRefCount->AsInteger();
        LargestLetter = letters.LetterId->AsInteger();
      }
    }
    Album = FDatabase->FindFileByPath("C:\\Music\\Artist 17\\Album 17\\17.mp3", ViewAlbums).GroupId;
  }

  TScratch FScratch;
  std::unique_ptr<TMusicDatabase> FDatabase;
};

TDbId Id(std::int32_t view, std::int32_t group)
{
  TDbId id;
  id.ViewId = view;
  id.GroupId = group;
  return id;
}

void List(benchmark::State& state, const TDbId& id)
{
  TMusicDatabase& database = TLibrary::Get().Database();
  TDbIdList list;
  for (auto _ : state) {
    database.GetItems(id, list);
    benchmark::DoNotOptimize(list.Count());
  }
  state.counters["rows"] = list.Count();
}

// The rows and their texts read into memory, as a listing gives them.
struct TRow {
  std::int64_t Id;
  std::string Text;
  std::int64_t Number;
};

void Query(benchmark::State& state, const std::string& sql, std::int64_t parameter)
{
  TPlain plain(TLibrary::Get().HostFile());
  sqlite3_stmt* statement = plain.Prepare(sql);
  std::vector<TRow> rows;
  for (auto _ : state) {
    rows.clear();
    if (parameter != -1) {
      sqlite3_bind_int64(statement, 1, parameter);
    }
    while (sqlite3_step(statement) == SQLITE_ROW) {
      rows.push_back({sqlite3_column_int64(statement, 0),
                      reinterpret_cast<const char*>(sqlite3_column_text(statement, 1)),
                      sqlite3_column_int64(statement, 2)});
    }
    sqlite3_reset(statement);
    benchmark::DoNotOptimize(rows.size());
  }
  state.counters["rows"] = static_cast<double>(rows.size());
}

void BM_TitleLetters(benchmark::State& state)
{
  List(state, Id(ViewTitles, -1));
}

void BM_TitleLettersFloor(benchmark::State& state)
{
  Query(state,
        "SELECT LetterId, LetterName, LetterRefCount FROM MusicLetters ORDER BY LetterName COLLATE ANSITEXT",
        -1);
}

void BM_LargestLetter(benchmark::State& state)
{
  List(state, Id(ViewTitles, TLibrary::Get().LargestLetter));
}

void BM_LargestLetterFloor(benchmark::State& state)
{
  Query(
      state,
      "SELECT FileId, FileName, Track FROM MusicFiles WHERE LetterId = ?1 ORDER BY FileName COLLATE ANSITEXT",
      TLibrary::Get().LargestLetter);
}

void BM_OneAlbum(benchmark::State& state)
{
  List(state, Id(ViewAlbums, TLibrary::Get().Album));
}

void BM_OneAlbumFloor(benchmark::State& state)
{
  Query(state, "SELECT FileId, FileName, Track FROM MusicFiles WHERE AlbumId = ?1 ORDER BY Track, FileName",
        TLibrary::Get().Album);
}

// A new list of 1,000 tracks each time: its records inserted, the list's file written.
void BM_SaveList(benchmark::State& state)
{
  TMusicDatabase& database = TLibrary::Get().Database();
  for (auto _ : state) {
    state.PauseTiming();
    TMusicFavoriteMastersEdit& masters = database.EditFavoriteMasters();
    masters.Add("List", -1);
    masters.Save();
    database.FavoritesThread().Flush();
    TMusicFavoriteDetailsEdit* details =
        database.EditFavoriteDetails(masters.Get(masters.Count() - 1).MasterId);
    for (int i = 0; i < ListSize; ++i) {
      details->AddFile(1 + i * 97, -1);
    }
    state.ResumeTiming();
    details->Save();
    database.FavoritesThread().Flush();
    state.PauseTiming();
    database.FreeEditors();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * ListSize);
}

void BM_SaveListFloor(benchmark::State& state)
{
  TLibrary& library = TLibrary::Get();
  const std::string folder = library.Database().FavoritesFolder();
  std::vector<std::pair<std::string, std::string>> entries;
  {
    TFilesTable files(library.Database());
    files.Open();
    for (int i = 0; i < ListSize; ++i) {
      files.FindKey(1 + i * 97);
      const auto checksum = files.Checksum->AsBytes();
      entries.emplace_back(files.FilePath->AsString(),
                           std::string(reinterpret_cast<const char*>(checksum.data()), checksum.size()));
    }
  }
  TPlain plain(library.HostFile());
  sqlite3_stmt* insert = plain.Prepare(
      "INSERT INTO MusicFavoriteDetails (MasterId, FileId, FilePath, FileChecksum, Sequence) VALUES (?1, ?2, "
      "?3, "
      "?4, ?5)");
  std::int64_t master = 1000000;
  for (auto _ : state) {
    ++master;
    plain.Exec("BEGIN IMMEDIATE");
    TMusicStringList titles;
    titles.Add("FavoriteTitles-1.0");
    for (int i = 0; i < ListSize; ++i) {
      const auto& [path, checksum] = entries[static_cast<std::size_t>(i)];
      sqlite3_bind_int64(insert, 1, master);
      sqlite3_bind_int(insert, 2, 1 + i * 97);
      sqlite3_bind_text(insert, 3, path.data(), static_cast<int>(path.size()), SQLITE_STATIC);
      sqlite3_bind_blob(insert, 4, checksum.data(), static_cast<int>(checksum.size()), SQLITE_STATIC);
      sqlite3_bind_int(insert, 5, i + 1);
      sqlite3_step(insert);
      sqlite3_reset(insert);
      titles.AddObject(path, std::make_unique<TMusicStringItem>(checksum).release());
    }
    plain.Exec("COMMIT");
    titles.SaveToFile(folder + "floor.oxa");
  }
  state.SetItemsProcessed(state.iterations() * ListSize);
}

}  // namespace

BENCHMARK(BM_TitleLetters)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TitleLettersFloor)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LargestLetter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LargestLetterFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneAlbum)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OneAlbumFloor)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SaveList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveListFloor)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
