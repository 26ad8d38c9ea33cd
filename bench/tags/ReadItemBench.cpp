// ReadItem of the tag facade over a generated library of MP3 files (constant and variable bit
// rate, with and without tags), WMA files and, from a library of today's mix, FLAC, M4A, Ogg
// Vorbis and Opus files (warm cache), against TagLib reading the same tags and audio properties
// of the same files. Argument 0 runs every MP3 and WMA file, 1 the MP3 files, 2 the WMA files,
// 3 the FLAC, M4A, Ogg and Opus files.
#include <benchmark/benchmark.h>

#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "tags/OxaMusicTag.h"
#include "tools/make-test-media/TestMedia.h"

namespace {

constexpr int FileCount = 3000;

// The generated library and a machine whose system folder holds the WMA runtime; both removed
// at exit.
class TLibrary {
 public:
  TLibrary()
      : FRoot(std::filesystem::temp_directory_path() / ("oxa-bench-readitem-" + std::to_string(::getpid())))
  {
    const std::filesystem::path machine = FRoot / "machine";
    ::setenv("OXA_MACHINE", machine.c_str(), 1);
    std::filesystem::create_directories(SystemModuleFolder());
    std::filesystem::create_symlink(OXA_WMVCORE_FILE,
                                    SystemModuleFolder() / ModuleHostFileName("WMVCore.dll"));
    for (const testmedia::TLibraryFile& entry : testmedia::WriteLibrary(FRoot / "music", FileCount, 1)) {
      const std::filesystem::path& file = entry.File;
      FByKind[0].push_back(file.string());
      FByKind[file.extension() == ".wma" ? 2 : 1].push_back(file.string());
    }
    for (const testmedia::TLibraryFile& entry :
         testmedia::WriteLibrary(FRoot / "today", FileCount, 1, testmedia::TLibraryMix::Today)) {
      const std::string extension = entry.File.extension().string();
      if (extension != ".mp3" && extension != ".wma") {
        FByKind[3].push_back(entry.File.string());
      }
    }
  }
  ~TLibrary()
  {
    std::error_code ignored;
    std::filesystem::remove_all(FRoot, ignored);
  }
  TLibrary(const TLibrary&) = delete;
  TLibrary& operator=(const TLibrary&) = delete;

  // 0: every MP3 and WMA file; 1: the MP3 files; 2: the WMA files; 3: FLAC, M4A, Ogg and Opus.
  const std::vector<std::string>& Files(std::int64_t kind) const noexcept { return FByKind[kind]; }

 private:
  std::filesystem::path FRoot;
  std::vector<std::string> FByKind[4];
};

const TLibrary& Library()
{
  static const TLibrary library;
  return library;
}

void BM_ReadItem(benchmark::State& state)
{
  const auto& files = Library().Files(state.range(0));
  TOxaMusicTag tag;
  if (!tag.WmaAvailable()) {
    state.SkipWithError("the WMA runtime did not load");
    return;
  }
  for (auto _ : state) {
    std::int64_t sum = 0;
    for (const std::string& name : files) {
      TMusicFileItem item;
      item.FileName = name;
      if (!tag.ReadItem(item)) {
        state.SkipWithError(("unreadable: " + name).c_str());
        return;
      }
      sum += static_cast<std::int64_t>(item.Title.size() + item.Artist.size() + item.Album.size() +
                                       item.Comment.size() + item.Genre.size()) +
             item.Year + item.Track + item.Bitrate + item.Duration + item.Checksum[4];
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(files.size()));
}
BENCHMARK(BM_ReadItem)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

// The floor: TagLib's file reference reading the same fields and audio properties.
void BM_TagLib(benchmark::State& state)
{
  const auto& files = Library().Files(state.range(0));
  for (auto _ : state) {
    std::int64_t sum = 0;
    for (const std::string& name : files) {
      const TagLib::FileRef file(name.c_str(), true, TagLib::AudioProperties::Average);
      if (const TagLib::Tag* tag = file.tag()) {
        sum += static_cast<std::int64_t>(tag->title().size() + tag->artist().size() + tag->album().size() +
                                         tag->comment().size() + tag->genre().size()) +
               tag->year() + tag->track();
      }
      if (const TagLib::AudioProperties* properties = file.audioProperties()) {
        sum += properties->lengthInSeconds() + properties->bitrate();
      }
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(files.size()));
}
BENCHMARK(BM_TagLib)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
