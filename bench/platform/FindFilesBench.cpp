// Directory enumeration through FindFirstFileA/FindNextFileA (Windows paths, attributes and
// FILETIMEs for every entry) over a generated tree of 2,000 folders and 20,000 files, against the
// floor of a plain recursive opendir/readdir/fstatat of the same tree in the same run.

#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/files/FindFiles.h"
#include "platform/files/Paths.h"

namespace {

constexpr int kTopFolders = 40;
constexpr int kSubFolders = 49;  // 40 + 40 * 49 = 2,000 folders
constexpr int kFilesPerFolder = 10;

class TTree {
 public:
  TTree()
  {
    std::string pattern = (std::filesystem::temp_directory_path() / "oxa-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      std::abort();
    }
    FRoot = pattern;
    for (int top = 0; top < kTopFolders; ++top) {
      const auto topFolder = FRoot / ("Artist " + std::to_string(top));
      Fill(topFolder);
      for (int sub = 0; sub < kSubFolders; ++sub) {
        Fill(topFolder / ("Album " + std::to_string(sub)));
      }
    }
  }
  ~TTree()
  {
    std::error_code ignored;
    std::filesystem::remove_all(FRoot, ignored);
  }
  const std::filesystem::path& Root() const { return FRoot; }

 private:
  static void Fill(const std::filesystem::path& folder)
  {
    std::filesystem::create_directories(folder);
    for (int i = 0; i < kFilesPerFolder; ++i) {
      std::ofstream(folder / ("Track " + std::to_string(i) + ".mp3")) << "x";
    }
  }
  std::filesystem::path FRoot;
};

const TTree& Tree()
{
  static const TTree tree;
  return tree;
}

std::int64_t FloorWalk(const std::string& folder)
{
  std::int64_t entries = 0;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) {
    return 0;
  }
  while (const dirent* entry = readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) {
      continue;
    }
    struct stat st {};
    if (fstatat(dirfd(dir), entry->d_name, &st, 0) != 0) {
      continue;
    }
    ++entries;
    if (S_ISDIR(st.st_mode)) {
      entries += FloorWalk(folder + "/" + entry->d_name);
    }
  }
  closedir(dir);
  return entries;
}

std::int64_t FindWalk(const std::string& folder)
{
  std::int64_t entries = 0;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "*.*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    return 0;
  }
  do {
    if (std::strcmp(data.cFileName, ".") == 0 || std::strcmp(data.cFileName, "..") == 0) {
      continue;
    }
    ++entries;
    if ((data.dwFileAttributes & 0x10) != 0) {
      entries += FindWalk(folder + data.cFileName + "\\");
    }
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return entries;
}

void BM_ReaddirStatFloor(benchmark::State& state)
{
  const std::string root = Tree().Root().string();
  std::int64_t entries = 0;
  for (auto _ : state) {
    entries = FloorWalk(root);
    benchmark::DoNotOptimize(entries);
  }
  state.counters["entries"] = static_cast<double>(entries);
}

void BM_FindFirstFileWalk(benchmark::State& state)
{
  const std::string root = WindowsPathOf(Tree().Root().string()) + "\\";
  std::int64_t entries = 0;
  for (auto _ : state) {
    entries = FindWalk(root);
    benchmark::DoNotOptimize(entries);
  }
  state.counters["entries"] = static_cast<double>(entries);
}

}  // namespace

BENCHMARK(BM_ReaddirStatFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindFirstFileWalk)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
