// The full walk of a generated drive of 20,000 files in 2,000 folders (music, covers, notes and
// folders without music; warm cache) against the floor of a plain recursive readdir and stat of
// the same tree, which is the least any walk that learns each entry's kind and size must do.
#include <benchmark/benchmark.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/support/PlainWalk.h"
#include "platform/files/Drives.h"
#include "scan/OxaSearchEngine.h"
#include "scan/OxaSearchOptions.h"

namespace {

constexpr int TopFolders = 20;
constexpr int FoldersPerTop = 99;
constexpr int FilesPerFolder = 10;

// The machine and the drive C: holding the tree, made once and removed at exit.
class TGeneratedDrive {
 public:
  TGeneratedDrive()
  {
    FPath = std::filesystem::temp_directory_path() / ("oxa-bench-walk-" + std::to_string(::getpid()));
    const std::filesystem::path drive = FPath / "C";
    ::setenv("OXA_MACHINE", (FPath / "machine").c_str(), 1);
    for (int top = 0; top < TopFolders; ++top) {
      const std::filesystem::path artist = drive / ("Artist " + std::to_string(top));
      for (int file = 0; file < FilesPerFolder; ++file) {
        Put(artist / ("note " + std::to_string(file) + ".txt"), 300);
      }
      for (int sub = 0; sub < FoldersPerTop; ++sub) {
        const std::filesystem::path album = artist / ("Album " + std::to_string(sub));
        const bool music = sub % 5 != 0;
        for (int file = 0; file < FilesPerFolder; ++file) {
          if (music && file < 8) {
            Put(album / ("track " + std::to_string(file) + (file == 7 ? ".WMA" : ".mp3")), 4'000'000);
          } else {
            Put(album / ("scan " + std::to_string(file) + ".jpg"), 90'000);
          }
        }
      }
    }
    TDrive c;
    c.Letter = 'C';
    c.Folder = drive.string();
    c.Type = DRIVE_FIXED;
    DeclareDriveTable({c});
    FHostRoot = drive.string();
  }
  ~TGeneratedDrive()
  {
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
  }
  TGeneratedDrive(const TGeneratedDrive&) = delete;
  TGeneratedDrive& operator=(const TGeneratedDrive&) = delete;

  const std::string& HostRoot() const noexcept { return FHostRoot; }

 private:
  static void Put(const std::filesystem::path& path, std::uintmax_t size)
  {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).put('x');
    std::filesystem::resize_file(path, size);  // sparse: only the entry's size matters
  }

  std::filesystem::path FPath;
  std::string FHostRoot;
};

const TGeneratedDrive& Drive()
{
  static const TGeneratedDrive drive;
  return drive;
}

class TCounter {
 public:
  void File(TObject*, const std::string&, const TSearchRec&) { ++Files; }
  int Files = 0;
};

void BM_FullWalk(benchmark::State& state)
{
  Drive();
  TStringList masks;
  for (const std::string_view mask : DefaultMasks) {
    masks.Add(std::string(mask));
  }
  int found = 0;
  for (auto _ : state) {
    TCounter counter;
    TSearchEngine engine;
    engine.Root = "C:\\";
    engine.Masks = &masks;
    engine.OnFile = MakeMethod<&TCounter::File>(&counter);
    engine.Search();
    found = counter.Files;
    benchmark::DoNotOptimize(engine.RootNodes().Count());
  }
  state.counters["music"] = found;
}

void BM_ReaddirStatFloor(benchmark::State& state)
{
  const std::string& root = Drive().HostRoot();
  for (auto _ : state) {
    benchmark::DoNotOptimize(PlainWalk(AT_FDCWD, root.c_str()));
  }
}

BENCHMARK(BM_ReaddirStatFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullWalk)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
