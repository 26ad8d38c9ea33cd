// The table engine against the floor of plain SQLite statements on the same schema, for the
// library's heaviest uses of a cursor: filling "MusicFiles" (all nine indexes) in transactions
// of 1024 inserts, finding every file by path through "PathIndex", and walking "FolderIndex" in
// order. Each engine benchmark has its floor beside it; compare the pairs.

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/support/BenchScratch.h"
#include "platform/files/Paths.h"
#include "rtl/AnsiText.h"
#include "tableengine/Database.h"
#include "tableengine/Table.h"

namespace {

constexpr int FileCount = 100000;
constexpr int Batch = 1024;

struct TSong {
  std::string Path;
  std::string Title;
  std::int32_t Folder, Letter, Artist, Album, Genre, Year, Bitrate, Length, Track;
  bool TagTitle;
  std::array<std::byte, 36> Checksum;
  std::array<std::byte, 32> Attributes;
};

const std::vector<TSong>& Songs()
{
  static const std::vector<TSong> songs = [] {
    std::mt19937 random(42);
    std::vector<TSong> result(FileCount);
    for (int i = 0; i < FileCount; ++i) {
      auto& s = result[static_cast<std::size_t>(i)];
      const int folder = static_cast<int>(random() % 8000);
      s.Title = "Track " + std::to_string(i % 17) + " Of The Night " + std::to_string(random() % 1000);
      s.Path = "C:\\Music\\Artist " + std::to_string(folder / 10) + "\\Album " + std::to_string(folder) +
               "\\" + s.Title + " " + std::to_string(i) + ".mp3";
      s.Folder = folder + 1;
      s.Letter = static_cast<std::int32_t>(random() % 36) + 1;
      s.Artist = folder / 10 + 1;
      s.Album = folder + 1;
      s.Genre = static_cast<std::int32_t>(random() % 148) + 1;
      s.Year = static_cast<std::int32_t>(random() % 60) + 1;
      s.Bitrate = 192;
      s.Length = static_cast<std::int32_t>(random() % 600);
      s.Track = i % 17;
      s.TagTitle = (i % 3) != 0;
      for (auto& b : s.Checksum) {
        b = static_cast<std::byte>(random());
      }
      for (auto& b : s.Attributes) {
        b = static_cast<std::byte>(random());
      }
    }
    return result;
  }();
  return songs;
}

// The paths in an order unrelated to insertion, so finds do not walk the index sequentially.
const std::vector<std::string>& ShuffledPaths()
{
  static const std::vector<std::string> paths = [] {
    std::vector<std::string> result;
    for (const auto& s : Songs()) {
      result.push_back(s.Path);
    }
    std::shuffle(result.begin(), result.end(), std::mt19937(7));
    return result;
  }();
  return paths;
}

void DefineFiles(TTable& table)
{
  table.SetTableName("MusicFiles");
  table.FieldDefs() = {
      {"FileId", TFieldType::ftAutoInc, 0},    {"FilePath", TFieldType::ftString, 250},
      {"FileName", TFieldType::ftString, 250}, {"FolderId", TFieldType::ftInteger, 0},
      {"LetterId", TFieldType::ftInteger, 0},  {"ArtistId", TFieldType::ftInteger, 0},
      {"AlbumId", TFieldType::ftInteger, 0},   {"GenreId", TFieldType::ftInteger, 0},
      {"YearId", TFieldType::ftInteger, 0},    {"TagTitle", TFieldType::ftBoolean, 0},
      {"Checksum", TFieldType::ftBytes, 36},   {"Attributes", TFieldType::ftBytes, 32},
      {"Bitrate", TFieldType::ftInteger, 0},   {"Length", TFieldType::ftInteger, 0},
      {"Track", TFieldType::ftInteger, 0},
  };
  table.IndexDefs() = {
      {"", "FileId", ixPrimary | ixUnique}, {"PathIndex", "FilePath", ixCaseInsensitive},
      {"FolderIndex", "FolderId", 0},       {"ArtistIndex", "ArtistId", 0},
      {"AlbumIndex", "AlbumId", 0},         {"GenreIndex", "GenreId", 0},
      {"LetterIndex", "LetterId", 0},       {"YearIndex", "YearId", 0},
      {"ChecksumIndex", "Checksum", 0},
  };
}

// A database with an empty "MusicFiles", made by the engine, so both sides share the schema.
std::unique_ptr<TDatabase> CreateFilesDatabase(const std::string& directory)
{
  auto database = std::make_unique<TDatabase>(nullptr);
  database->SetDatabaseName("MUSIC");
  database->SetDirectory(directory);
  database->Connect();
  TTable maker(*database);
  DefineFiles(maker);
  maker.CreateTable();
  return database;
}

void InsertThroughCursor(TDatabase& database)
{
  TTable files(database);
  files.SetTableName("MusicFiles");
  files.Open();
  TField& path = files.FieldByName("FilePath");
  TField& name = files.FieldByName("FileName");
  TField& folder = files.FieldByName("FolderId");
  TField& letter = files.FieldByName("LetterId");
  TField& artist = files.FieldByName("ArtistId");
  TField& album = files.FieldByName("AlbumId");
  TField& genre = files.FieldByName("GenreId");
  TField& year = files.FieldByName("YearId");
  TField& tagTitle = files.FieldByName("TagTitle");
  TField& checksum = files.FieldByName("Checksum");
  TField& attributes = files.FieldByName("Attributes");
  TField& bitrate = files.FieldByName("Bitrate");
  TField& length = files.FieldByName("Length");
  TField& track = files.FieldByName("Track");
  TField& id = files.FieldByName("FileId");
  int changes = 0;
  database.StartTransaction();
  for (const auto& s : Songs()) {
    if (changes == Batch) {
      database.Commit();
      database.StartTransaction();
      changes = 0;
    }
    files.Insert();
    path.SetAsString(s.Path);
    name.SetAsString(s.Title);
    folder.SetAsInteger(s.Folder);
    letter.SetAsInteger(s.Letter);
    artist.SetAsInteger(s.Artist);
    album.SetAsInteger(s.Album);
    genre.SetAsInteger(s.Genre);
    year.SetAsInteger(s.Year);
    tagTitle.SetAsBoolean(s.TagTitle);
    checksum.SetAsBytes(s.Checksum);
    attributes.SetAsBytes(s.Attributes);
    bitrate.SetAsInteger(s.Bitrate);
    length.SetAsInteger(s.Length);
    track.SetAsInteger(s.Track);
    files.Post();
    benchmark::DoNotOptimize(id.AsInteger());
    ++changes;
  }
  database.Commit();
}

// ---- the floor: plain SQLite on its own connection, set up as the engine sets up its own ----

int CompareAnsi(void*, int n1, const void* s1, int n2, const void* s2)
{
  return AnsiCompareText(std::string_view(static_cast<const char*>(s1), static_cast<std::size_t>(n1)),
                         std::string_view(static_cast<const char*>(s2), static_cast<std::size_t>(n2)));
}

class TPlain {
 public:
  explicit TPlain(const std::string& fileName)
  {
    sqlite3_open_v2(fileName.c_str(), &FDb, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    sqlite3_create_collation_v2(FDb, "ANSITEXT", SQLITE_UTF8, nullptr, &CompareAnsi, nullptr);
    Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA cache_size=-8192;");
  }
  ~TPlain() { sqlite3_close_v2(FDb); }
  TPlain(const TPlain&) = delete;
  TPlain& operator=(const TPlain&) = delete;

  void Exec(const char* sql) { sqlite3_exec(FDb, sql, nullptr, nullptr, nullptr); }
  sqlite3_stmt* Prepare(const char* sql)
  {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(FDb, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) != SQLITE_OK) {
      throw std::runtime_error(sqlite3_errmsg(FDb));
    }
    return statement;
  }
  sqlite3* Db() const { return FDb; }

 private:
  sqlite3* FDb = nullptr;
};

void InsertPlain(TPlain& plain)
{
  sqlite3_stmt* insert = plain.Prepare(
      "INSERT INTO MusicFiles (FilePath, FileName, FolderId, LetterId, ArtistId, AlbumId, GenreId, YearId, "
      "TagTitle, Checksum, Attributes, Bitrate, Length, Track) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, "
      "?10, "
      "?11, ?12, ?13, ?14)");
  int changes = 0;
  plain.Exec("BEGIN IMMEDIATE");
  for (const auto& s : Songs()) {
    if (changes == Batch) {
      plain.Exec("COMMIT");
      plain.Exec("BEGIN IMMEDIATE");
      changes = 0;
    }
    sqlite3_bind_text(insert, 1, s.Path.data(), static_cast<int>(s.Path.size()), SQLITE_STATIC);
    sqlite3_bind_text(insert, 2, s.Title.data(), static_cast<int>(s.Title.size()), SQLITE_STATIC);
    sqlite3_bind_int(insert, 3, s.Folder);
    sqlite3_bind_int(insert, 4, s.Letter);
    sqlite3_bind_int(insert, 5, s.Artist);
    sqlite3_bind_int(insert, 6, s.Album);
    sqlite3_bind_int(insert, 7, s.Genre);
    sqlite3_bind_int(insert, 8, s.Year);
    sqlite3_bind_int(insert, 9, s.TagTitle ? 1 : 0);
    sqlite3_bind_blob(insert, 10, s.Checksum.data(), 36, SQLITE_STATIC);
    sqlite3_bind_blob(insert, 11, s.Attributes.data(), 32, SQLITE_STATIC);
    sqlite3_bind_int(insert, 12, s.Bitrate);
    sqlite3_bind_int(insert, 13, s.Length);
    sqlite3_bind_int(insert, 14, s.Track);
    sqlite3_step(insert);
    sqlite3_reset(insert);
    benchmark::DoNotOptimize(sqlite3_last_insert_rowid(plain.Db()));
    ++changes;
  }
  plain.Exec("COMMIT");
  sqlite3_finalize(insert);
}

// The record a reader keeps: what a cursor holds for its current record.
struct TRow {
  std::int64_t Numbers[12];
  std::string Path, Name, Checksum, Attributes;
};

void ReadRow(sqlite3_stmt* statement, TRow& row)
{
  row.Numbers[0] = sqlite3_column_int64(statement, 0);
  row.Path.assign(reinterpret_cast<const char*>(sqlite3_column_text(statement, 1)),
                  static_cast<std::size_t>(sqlite3_column_bytes(statement, 1)));
  row.Name.assign(reinterpret_cast<const char*>(sqlite3_column_text(statement, 2)),
                  static_cast<std::size_t>(sqlite3_column_bytes(statement, 2)));
  for (int i = 3; i <= 9; ++i) {
    row.Numbers[i - 2] = sqlite3_column_int64(statement, i);
  }
  row.Checksum.assign(static_cast<const char*>(sqlite3_column_blob(statement, 10)),
                      static_cast<std::size_t>(sqlite3_column_bytes(statement, 10)));
  row.Attributes.assign(static_cast<const char*>(sqlite3_column_blob(statement, 11)),
                        static_cast<std::size_t>(sqlite3_column_bytes(statement, 11)));
  for (int i = 12; i <= 14; ++i) {
    row.Numbers[i - 4] = sqlite3_column_int64(statement, i);
  }
}

constexpr const char* AllColumns =
    "FileId, FilePath, FileName, FolderId, LetterId, ArtistId, AlbumId, GenreId, YearId, TagTitle, Checksum, "
    "Attributes, Bitrate, Length, Track";

// One filled library for the find and walk benchmarks, made once per run.
class TFilled {
 public:
  static TFilled& Get()
  {
    static TFilled filled;
    return filled;
  }
  TDatabase& Database() { return *FDatabase; }
  std::string FileName() const { return (FScratch.HostPath() / "MUSIC.DAT").string(); }

 private:
  TFilled() : FDatabase(CreateFilesDatabase(FScratch.Directory())) { InsertThroughCursor(*FDatabase); }

  TScratch FScratch;
  std::unique_ptr<TDatabase> FDatabase;
};

void BM_InsertCursor(benchmark::State& state)
{
  for (auto _ : state) {
    state.PauseTiming();
    TScratch scratch;
    auto database = CreateFilesDatabase(scratch.Directory());
    state.ResumeTiming();
    InsertThroughCursor(*database);
    state.PauseTiming();
    database.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * FileCount);
}

void BM_InsertFloor(benchmark::State& state)
{
  for (auto _ : state) {
    state.PauseTiming();
    TScratch scratch;
    CreateFilesDatabase(scratch.Directory());
    auto plain = std::make_unique<TPlain>((scratch.HostPath() / "MUSIC.DAT").string());
    state.ResumeTiming();
    InsertPlain(*plain);
    state.PauseTiming();
    plain.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * FileCount);
}

void BM_FindByPathCursor(benchmark::State& state)
{
  auto& database = TFilled::Get().Database();
  TTable files(database);
  files.SetTableName("MusicFiles");
  files.SetIndexName("PathIndex");
  files.Open();
  TField& id = files.FieldByName("FileId");
  for (auto _ : state) {
    for (const auto& path : ShuffledPaths()) {
      if (!files.FindKey(path)) {
        state.SkipWithError("a path was not found");
        return;
      }
      benchmark::DoNotOptimize(id.AsInteger());
    }
  }
  state.SetItemsProcessed(state.iterations() * FileCount);
}

void BM_FindByPathFloor(benchmark::State& state)
{
  TPlain plain(TFilled::Get().FileName());
  sqlite3_stmt* find = plain.Prepare((std::string("SELECT ") + AllColumns +
                                      " FROM MusicFiles WHERE FilePath COLLATE ANSITEXT = ?1 ORDER BY rowid")
                                         .c_str());
  TRow row;
  for (auto _ : state) {
    for (const auto& path : ShuffledPaths()) {
      sqlite3_bind_text(find, 1, path.data(), static_cast<int>(path.size()), SQLITE_STATIC);
      if (sqlite3_step(find) != SQLITE_ROW) {
        state.SkipWithError("a path was not found");
        break;
      }
      ReadRow(find, row);
      benchmark::DoNotOptimize(row.Numbers[0]);
      sqlite3_reset(find);
    }
  }
  sqlite3_finalize(find);
  state.SetItemsProcessed(state.iterations() * FileCount);
}

void BM_WalkFolderIndexCursor(benchmark::State& state)
{
  auto& database = TFilled::Get().Database();
  TTable files(database);
  files.SetTableName("MusicFiles");
  files.SetIndexName("FolderIndex");
  files.Open();
  TField& id = files.FieldByName("FileId");
  TField& folder = files.FieldByName("FolderId");
  for (auto _ : state) {
    std::int64_t sum = 0;
    for (files.First(); !files.Eof(); files.Next()) {
      sum += id.AsInteger() + folder.AsInteger();
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * FileCount);
}

void BM_WalkFolderIndexFloor(benchmark::State& state)
{
  TPlain plain(TFilled::Get().FileName());
  sqlite3_stmt* walk = plain.Prepare(
      (std::string("SELECT ") + AllColumns + " FROM MusicFiles ORDER BY FolderId, rowid").c_str());
  TRow row;
  for (auto _ : state) {
    std::int64_t sum = 0;
    while (sqlite3_step(walk) == SQLITE_ROW) {
      ReadRow(walk, row);
      sum += row.Numbers[0] + row.Numbers[1];
    }
    sqlite3_reset(walk);
    benchmark::DoNotOptimize(sum);
  }
  sqlite3_finalize(walk);
  state.SetItemsProcessed(state.iterations() * FileCount);
}

}  // namespace

BENCHMARK(BM_InsertCursor)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_InsertFloor)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_FindByPathCursor)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_FindByPathFloor)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_WalkFolderIndexCursor)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_WalkFolderIndexFloor)->Unit(benchmark::kMillisecond)->Iterations(5);

// The drive table comes from a machine folder of the run's own, never the user's.
int main(int argc, char** argv)
{
  try {
    const TScratch machine;
    setenv("OXA_MACHINE", machine.HostPath().c_str(), 1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
      return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_tableengine: %s\n", error.what());
    return 1;
  }
}
