// The scan driver as the program runs it, merge included, on a generated library of 20,000
// files (OXA_BENCH_SCAN_FILES gives another size, OXA_BENCH_TRACK_MS each track's length) shaped
// as users keep theirs and holding today's formats: artist folders holding album
// folders of about ten tracks (30% FLAC, 10% M4A, 5% Ogg Vorbis, 5% Opus, the rest MP3 with
// tags and WMA), a cover in one album in two, a few notes, a folder of large WAV recordings;
// 2,282 folders, warm cache. A full scan into an empty library, an update scan with nothing
// changed (which also looks for new albums beside the known ones), and one with 1% of the files
// retagged, each with the pause before a read given as the argument (milliseconds); the full
// scan and the unchanged update also through the oxa-lib program, the full scan with the peak
// memory of its process. The floors in the same run: a plain
// readdir and stat of the tree, `find` over it (names only, and with the size and two times
// each entry's stat gives), and TagLib reading each file's tags with plain SQLite inserts in
// one transaction. The full scan and that floor also cold (the ...Cold pair): the page cache
// dropped before each run, which needs root.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/support/PlainWalk.h"
#include "library/MusicDatabase.h"
#include "platform/files/Drives.h"
#include "platform/windows/Modules.h"
#include "rtl/Registry.h"
#include "scan/OxaSearchEngine.h"
#include "scan/OxaSearchEngineWrapper.h"
#include "scan/OxaSearchOptions.h"
#include "settings/OxaMusicPlayerTypes.h"
#include "tools/make-test-media/TestMedia.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

int EnvironmentNumber(const char* name, int fallback, int least)
{
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') {
    return fallback;
  }
  const int value = std::atoi(text);
  if (value < least) {
    throw std::runtime_error(std::string(name) + " must be at least " + std::to_string(least));
  }
  return value;
}

const int FileCount = EnvironmentNumber("OXA_BENCH_SCAN_FILES", 20000, 1000);
const int TrackMilliseconds =
    EnvironmentNumber("OXA_BENCH_TRACK_MS", 3000, testmedia::MinLibraryMilliseconds);
constexpr int WaveCount = 5;
constexpr std::uintmax_t WaveSize = 6 * 1024 * 1024;
const int CoverCount = FileCount * 19 / 400;  // one album in two
const int NoteCount = FileCount / 400;        // in the first artists' folders
const int MusicCount = FileCount - WaveCount - CoverCount - NoteCount;
constexpr int TracksPerAlbum = 10;
constexpr int AlbumsPerArtist = 5;
constexpr int RetaggedEvery = 100;  // 1%

// The machine, its drive C: with the music under C:\Music, and the library in C:\Lib; removed
// at exit.
class TBenchMachine {
 public:
  TBenchMachine() : FRoot(fs::temp_directory_path() / ("oxa-bench-scan-" + std::to_string(::getpid())))
  {
    ::setenv("OXA_MACHINE", (FRoot / "machine").c_str(), 1);
    const fs::path drive = FRoot / "C";
    fs::create_directories(drive);
    TDrive c;
    c.Letter = 'C';
    c.Folder = drive.string();
    c.Type = DRIVE_FIXED;
    DeclareDriveTable({c});
    fs::create_directories(SystemModuleFolder());
    fs::create_symlink(OXA_WMVCORE_FILE, SystemModuleFolder() / ModuleHostFileName("WMVCore.dll"));
    TRegistry registry;
    registry.OpenKey("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", true);
    registry.WriteString("AppData", "C:\\AppData");
    ResetSettingsFileName();
    FMusic = drive / "Music";
    // The generator writes a hundred files to a folder; they are moved into albums.
    const fs::path staging = FRoot / "staging";
    int track = 0;
    for (const testmedia::TLibraryFile& entry :
         testmedia::WriteLibrary(staging, MusicCount, 1, testmedia::TLibraryMix::Today, TrackMilliseconds)) {
      const int album = track++ / TracksPerAlbum;
      const fs::path folder =
          FMusic / ("Artist " + std::to_string(album / AlbumsPerArtist)) / ("Album " + std::to_string(album));
      fs::create_directories(folder);
      const fs::path file = folder / entry.File.filename();
      fs::rename(entry.File, file);
      FFiles.push_back(file.string());
    }
    fs::remove_all(staging);
    for (int album = 0; album < CoverCount; ++album) {
      const fs::path folder = FMusic / ("Artist " + std::to_string(2 * album / AlbumsPerArtist)) /
                              ("Album " + std::to_string(2 * album));
      std::ofstream(folder / "cover.jpg", std::ios::binary) << std::string(20000, 'j');
    }
    for (int artist = 0; artist < NoteCount; ++artist) {
      std::ofstream(FMusic / ("Artist " + std::to_string(artist)) / "notes.txt") << "notes\n";
    }
    for (int i = 0; i < WaveCount; ++i) {
      const fs::path wave = FMusic / "Recordings" / ("Take " + std::to_string(i) + ".wav");
      WriteWave(wave, static_cast<std::uint32_t>(i));
      FFiles.push_back(wave.string());
    }
    // The files stay in the page cache (the runs are warm), but their write-back must be over:
    // gigabytes of it still going would make every write of the library wait on the disk.
    ::sync();
  }
  ~TBenchMachine()
  {
    std::error_code ignored;
    fs::remove_all(FRoot, ignored);
  }
  TBenchMachine(const TBenchMachine&) = delete;
  TBenchMachine& operator=(const TBenchMachine&) = delete;

  const fs::path& Music() const noexcept { return FMusic; }
  const fs::path& Root() const noexcept { return FRoot; }
  const std::vector<std::string>& Files() const noexcept { return FFiles; }

 private:
  // A PCM header and varied samples, so the file has a fingerprint.
  static void WriteWave(const fs::path& file, std::uint32_t seed)
  {
    fs::create_directories(file.parent_path());
    std::vector<char> bytes(WaveSize);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      bytes[i] = static_cast<char>(1 + (i * 7 + seed * 13) % 254);
    }
    const auto put32 = [&](std::size_t at, std::uint32_t value) {
      for (int k = 0; k < 4; ++k) {
        bytes[at + static_cast<std::size_t>(k)] = static_cast<char>(value >> (8 * k));
      }
    };
    const char header[] = "RIFF....WAVEfmt ";
    std::copy(header, header + 16, bytes.begin());
    put32(4, static_cast<std::uint32_t>(WaveSize - 8));
    put32(16, 16);
    put32(20, 0x00020001);  // PCM, 2 channels
    put32(24, 44100);
    put32(28, 44100 * 4);
    put32(32, 0x00100004);  // block 4, 16 bits
    std::copy_n("data", 4, bytes.begin() + 36);
    put32(40, static_cast<std::uint32_t>(WaveSize - 44));
    std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }

  fs::path FRoot;
  fs::path FMusic;
  std::vector<std::string> FFiles;
};

const TBenchMachine& Machine()
{
  static const TBenchMachine machine;
  return machine;
}

void SetPause(std::int64_t milliseconds)
{
  TRegistry registry;
  registry.OpenKey(std::string(PlayerRegistryKey), true);
  registry.WriteInteger(std::string(ScanPauseValueName), static_cast<std::int32_t>(milliseconds));
}

void SetOption(TMusicOption key, const std::vector<std::string>& lines)
{
  TStringList list;
  for (const std::string& line : lines) {
    list.Add(line);
  }
  WriteOption(key, list);
}

// The player's way through a scan: the library's files in, the scan on its thread with the
// messages handled here, the result merged.
class TPlayerSide {
 public:
  TPlayerSide()
  {
    FDatabase.SetDirectory("C:\\Lib\\");
    OpenLibrary(FDatabase);
  }

  void Scan(bool full)
  {
    FWrapper.SetKnownFiles(FDatabase.GetKnownFiles(nullptr, nullptr, nullptr));
    if (!(full ? FWrapper.StartFullScan() : FWrapper.StartUpdateScan())) {
      throw std::runtime_error("the scan did not start");
    }
    MSG message{};
    while (FWrapper.Busy() && GetMessageA(&message, nullptr, 0, 0) > 0) {
      DispatchMessageA(&message);
    }
    FDatabase.ApplyScanResults(FWrapper.GetKnownFiles(), *FWrapper.GetFoundFiles());
    Found = static_cast<std::int64_t>(FWrapper.GetFoundFiles()->size());
    Read = FWrapper.LastCounts().FilesProcessed;
    FWrapper.ClearFoundFiles();
    FWrapper.SetKnownFiles({});
  }
  void Empty()
  {
    FDatabase.CreateLibrary();
    SetOption(TMusicOption::Roots, {});
    SetOption(TMusicOption::Cuts, {});
    SetOption(TMusicOption::GreyDrives, {});
  }

  // The parts of an update scan, one at a time.
  TKnownFiles ReadKnown() { return FDatabase.GetKnownFiles(nullptr, nullptr, nullptr); }
  void ScanOnly(TKnownFiles known)
  {
    FWrapper.SetKnownFiles(std::move(known));
    FWrapper.StartUpdateScan();
    MSG message{};
    while (FWrapper.Busy() && GetMessageA(&message, nullptr, 0, 0) > 0) {
      DispatchMessageA(&message);
    }
  }
  void MergeOnly() { FDatabase.ApplyScanResults(FWrapper.GetKnownFiles(), *FWrapper.GetFoundFiles()); }
  // The found files of a full scan, read, for merging into an empty library.
  TMusicFileItems FullScanFound()
  {
    Empty();
    FWrapper.SetKnownFiles({});
    FWrapper.StartFullScan();
    MSG message{};
    while (FWrapper.Busy() && GetMessageA(&message, nullptr, 0, 0) > 0) {
      DispatchMessageA(&message);
    }
    TMusicFileItems found = *FWrapper.GetFoundFiles();
    FWrapper.ClearFoundFiles();
    return found;
  }
  void MergeInto(const TMusicFileItems& found) { FDatabase.ApplyScanResults({}, found); }

  std::int64_t Found = 0;
  std::int64_t Read = 0;

 private:
  TMusicDatabase FDatabase{nullptr};
  TSearchEngineWrapper FWrapper;
};

TPlayerSide& Player()
{
  Machine();
  static TPlayerSide player;
  return player;
}

void Prepare(std::int64_t pause)
{
  Machine();
  SetOption(TMusicOption::WhiteDrives, {"C:\\"});
  SetOption(TMusicOption::Masks, std::vector<std::string>(std::begin(DefaultMasks), std::end(DefaultMasks)));
  SetPause(pause);
}

void BM_FullScan(benchmark::State& state)
{
  Prepare(state.range(0));
  TPlayerSide& player = Player();
  for (auto _ : state) {
    state.PauseTiming();
    player.Empty();
    state.ResumeTiming();
    player.Scan(true);
  }
  state.counters["found"] = static_cast<double>(player.Found);
  state.counters["read"] = static_cast<double>(player.Read);
}

// A library that knows every file, as a full scan left it.
void EnsureScanned()
{
  static bool scanned = false;
  if (!scanned) {
    SetPause(0);
    Player().Empty();
    Player().Scan(true);
    scanned = true;
  }
}

void BM_UpdateUnchanged(benchmark::State& state)
{
  Prepare(state.range(0));
  EnsureScanned();
  SetPause(state.range(0));
  TPlayerSide& player = Player();
  for (auto _ : state) {
    player.Scan(false);
  }
  state.counters["found"] = static_cast<double>(player.Found);
  state.counters["read"] = static_cast<double>(player.Read);
}

void BM_UpdateRetagged(benchmark::State& state)
{
  Prepare(state.range(0));
  EnsureScanned();
  SetPause(state.range(0));
  TPlayerSide& player = Player();
  int round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    // A retag rewrites the tag: the file's time moves on.
    ++round;
    const auto& files = Machine().Files();
    for (std::size_t i = static_cast<std::size_t>(round) % RetaggedEvery; i < files.size();
         i += RetaggedEvery) {
      fs::last_write_time(files[i], fs::last_write_time(files[i]) + std::chrono::seconds(round));
    }
    state.ResumeTiming();
    player.Scan(false);
  }
  state.counters["found"] = static_cast<double>(player.Found);
  state.counters["read"] = static_cast<double>(player.Read);
}

class TFileCounter {
 public:
  void File(TObject*, const std::string&, const TSearchRec&) { ++Files; }
  int Files = 0;
};

// The three parts of an unchanged update scan on their own (and the walk inside the second): the library's
// files read, the scan (walk and step 2), the merge that changes nothing.
void BM_UpdatePart(benchmark::State& state)
{
  Prepare(0);
  EnsureScanned();
  TPlayerSide& player = Player();
  TKnownFiles known = player.ReadKnown();
  player.ScanOnly(known);
  for (auto _ : state) {
    switch (state.range(0)) {
      case 0:
        benchmark::DoNotOptimize(player.ReadKnown().size());
        break;
      case 1:
        player.ScanOnly(known);
        break;
      case 3: {
        // The update walk alone over the stored roots and their parents, every file counted and
        // nothing kept.
        TStringList masks;
        for (const std::string_view mask : DefaultMasks) {
          masks.Add(std::string(mask));
        }
        TStringList roots;
        ReadOption(TMusicOption::Roots, roots);
        TSearchEngine engine;
        engine.Masks = &masks;
        TFileCounter counter;
        engine.OnFile = MakeMethod<&TFileCounter::File>(&counter);
        engine.SearchUpdate(TUpdateScope(roots, TStringList(), engine.ExcludedFolders));
        benchmark::DoNotOptimize(counter.Files);
        break;
      }
      default:
        player.MergeOnly();
        break;
    }
  }
}

// The merge of a full scan into an empty library on its own (the found files read beforehand).
void BM_FullMerge(benchmark::State& state)
{
  Prepare(0);
  TPlayerSide& player = Player();
  const TMusicFileItems found = player.FullScanFound();
  for (auto _ : state) {
    state.PauseTiming();
    player.Empty();
    state.ResumeTiming();
    player.MergeInto(found);
  }
  state.counters["found"] = static_cast<double>(found.size());
}

// Runs a program with its output thrown away and waits for it; the CPU seconds it used (user and
// system) are added to cpuSeconds, and its peak resident memory (kB) raises peakKilobytes.
void RunQuiet(const std::vector<std::string>& arguments, double& cpuSeconds, long* peakKilobytes = nullptr)
{
  std::vector<char*> argv;
  for (const std::string& argument : arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    throw std::runtime_error("cannot start " + arguments[0]);
  }
  int status = 0;
  rusage usage{};
  if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error(arguments[0] + " failed");
  }
  const auto seconds = [](const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
  };
  cpuSeconds += seconds(usage.ru_utime) + seconds(usage.ru_stime);
  if (peakKilobytes != nullptr) {
    *peakKilobytes = std::max(*peakKilobytes, usage.ru_maxrss);
  }
}

// Writes everything out and drops the page cache, so that the next run reads from the disk; false
// where the kernel refuses (it needs root).
bool DropCaches()
{
  ::sync();
  const int file = ::open("/proc/sys/vm/drop_caches", O_WRONLY);
  if (file < 0) {
    return false;
  }
  const bool dropped = ::write(file, "3", 1) == 1;
  ::close(file);
  return dropped;
}

// The full scan through the program run as the user runs it: a process of its own that makes an
// empty library (C:\FullLib, removed before each run), walks, reads every file's tags, merges and
// closes. The counters give its CPU time and the peak memory of the process. With
// OXA_BENCH_PROFILE=FILE the program runs under `perf record -g` writing FILE (the times then
// include the profiler's).
void OxaLibFull(benchmark::State& state, bool cold)
{
  Prepare(0);
  const fs::path library = Machine().Root() / "C" / "FullLib";
  std::vector<std::string> command{OXA_LIB_FILE, "scan", "full", "--dir", "C:\\FullLib"};
  if (const char* profile = std::getenv("OXA_BENCH_PROFILE"); profile != nullptr && *profile != '\0') {
    command.insert(command.begin(), {"perf", "record", "-g", "-o", profile, "--"});
  }
  double cpu = 0;
  long peak = 0;
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(library);
    ::sync();  // the last run's library written out, as it would be long before a new scan
    if (cold && !DropCaches()) {
      state.SkipWithError("dropping the page cache needs root");
      return;
    }
    state.ResumeTiming();
    RunQuiet(command, cpu, &peak);
  }
  state.counters["cpu_ms"] = cpu * 1000 / static_cast<double>(state.iterations());
  state.counters["peak_MB"] = static_cast<double>(peak) / 1024;
  state.counters["files"] = FileCount;
}

void BM_OxaLibFull(benchmark::State& state)
{
  OxaLibFull(state, false);
}

// The same with every file read from the disk (the page cache dropped before each run).
void BM_OxaLibFullCold(benchmark::State& state)
{
  OxaLibFull(state, true);
}

// The unchanged update scan through the program run as the user runs it: a process of its own
// that opens its library (C:\ToolLib, filled by a full scan of its own first), reads the known
// files, scans, merges nothing and closes.
void BM_OxaLibUpdate(benchmark::State& state)
{
  Prepare(0);
  static bool scanned = false;
  double cpu = 0;
  if (!scanned) {
    RunQuiet({OXA_LIB_FILE, "scan", "full", "--dir", "C:\\ToolLib"}, cpu);
    scanned = true;
  }
  cpu = 0;
  for (auto _ : state) {
    RunQuiet({OXA_LIB_FILE, "scan", "update", "--dir", "C:\\ToolLib"}, cpu);
  }
  state.counters["cpu_ms"] = cpu * 1000 / static_cast<double>(state.iterations());
}

// ---- the floors ----

// find over the music: names only (0), which needs no stat of a file, or each entry's size, last
// write and change times (1), which need one.
void BM_FindFloor(benchmark::State& state)
{
  std::vector<std::string> arguments{"find", Machine().Music().string()};
  if (state.range(0) == 1) {
    arguments.insert(arguments.end(), {"-printf", "%s %T@ %C@\n"});
  }
  double cpu = 0;
  for (auto _ : state) {
    RunQuiet(arguments, cpu);
  }
  state.counters["cpu_ms"] = cpu * 1000 / static_cast<double>(state.iterations());
}

void BM_WalkFloor(benchmark::State& state)
{
  const std::string root = Machine().Music().string();
  int found = 0;
  for (auto _ : state) {
    found = PlainWalk(AT_FDCWD, root.c_str());
  }
  state.counters["found"] = found;
}

// TagLib reads each file's tags and audio properties, and each file is one insert, all in one
// transaction.
void TagInsertFloor(benchmark::State& state, bool cold)
{
  const std::string fileName = (Machine().Root() / "floor.sqlite").string();
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove(fileName);
    if (cold && !DropCaches()) {
      state.SkipWithError("dropping the page cache needs root");
      return;
    }
    sqlite3* db = nullptr;
    sqlite3_open(fileName.c_str(), &db);
    sqlite3_exec(
        db,
        "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; CREATE TABLE files(id INTEGER PRIMARY KEY, "
        "path TEXT, title TEXT, artist TEXT, album TEXT, genre TEXT, year INT, track INT, seconds INT, "
        "bitrate INT)",
        nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO files VALUES(NULL,?,?,?,?,?,?,?,?,?)", -1, &insert, nullptr);
    state.ResumeTiming();
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    for (const std::string& name : Machine().Files()) {
      const TagLib::FileRef file(name.c_str(), true, TagLib::AudioProperties::Average);
      const TagLib::Tag* tag = file.tag();
      const TagLib::AudioProperties* properties = file.audioProperties();
      const auto text = [&](int column, const TagLib::String& value) {
        const std::string utf8 = value.to8Bit(true);
        sqlite3_bind_text(insert, column, utf8.c_str(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
      };
      sqlite3_bind_text(insert, 1, name.c_str(), static_cast<int>(name.size()), SQLITE_STATIC);
      text(2, tag != nullptr ? tag->title() : TagLib::String());
      text(3, tag != nullptr ? tag->artist() : TagLib::String());
      text(4, tag != nullptr ? tag->album() : TagLib::String());
      text(5, tag != nullptr ? tag->genre() : TagLib::String());
      sqlite3_bind_int(insert, 6, tag != nullptr ? static_cast<int>(tag->year()) : 0);
      sqlite3_bind_int(insert, 7, tag != nullptr ? static_cast<int>(tag->track()) : 0);
      sqlite3_bind_int(insert, 8, properties != nullptr ? properties->lengthInSeconds() : 0);
      sqlite3_bind_int(insert, 9, properties != nullptr ? properties->bitrate() : 0);
      sqlite3_step(insert);
      sqlite3_reset(insert);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    state.PauseTiming();
    sqlite3_finalize(insert);
    sqlite3_close(db);
    state.ResumeTiming();
  }
}

void BM_TagInsertFloor(benchmark::State& state)
{
  TagInsertFloor(state, false);
}

void BM_TagInsertFloorCold(benchmark::State& state)
{
  TagInsertFloor(state, true);
}

BENCHMARK(BM_WalkFloor)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_FindFloor)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OxaLibUpdate)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_TagInsertFloor)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(3);
BENCHMARK(BM_OxaLibFull)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
// Cold: wall time, since the reads wait on the disk.
BENCHMARK(BM_TagInsertFloorCold)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_OxaLibFullCold)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_FullScan)->Arg(0)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(3);
BENCHMARK(BM_FullScan)->Arg(2)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(1);
BENCHMARK(BM_FullMerge)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(3);
BENCHMARK(BM_UpdateUnchanged)
    ->Arg(0)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK(BM_UpdatePart)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Arg(3)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();
BENCHMARK(BM_UpdateRetagged)
    ->Arg(0)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
