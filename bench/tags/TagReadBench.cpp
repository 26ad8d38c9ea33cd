// Reads what the scan needs from a few thousand MP3 files (warm cache): our readers — ID3v2,
// ID3v1, fingerprint, MPEG header — against TagLib reading the same tags and audio properties.
#include <benchmark/benchmark.h>

#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "rtl/FileStream.h"
#include "tags/ID3Version1Tagger.h"
#include "tags/ID3Version2Tagger2.h"
#include "tags/MPegHeader.h"
#include "tags/MusicCheckSum.h"
#include "tests/support/Mp3Builder.h"

namespace {

constexpr int FileCount = 3000;

// The generated files, made once and removed at exit.
class TMusicFolder {
 public:
  TMusicFolder()
  {
    FPath = std::filesystem::temp_directory_path() / ("oxa-bench-tags-" + std::to_string(::getpid()));
    std::filesystem::create_directories(FPath);
    const mp3::TFrameRecipe specs[] = {{}, {.Bitrate = 192}, {.Bitrate = 320, .SampleRate = 48000}};
    for (int i = 0; i < FileCount; ++i) {
      const std::string n = std::to_string(i);
      mp3::TBytes file = mp3::Id3Tag(
          {mp3::Id3TextFrame("TIT2", "Title " + n), mp3::Id3TextFrame("TPE1", "Artist " + n),
           mp3::Id3TextFrame("TALB", "Album " + std::to_string(i / 12)), mp3::Id3TextFrame("TYER", "1999"),
           mp3::Id3TextFrame("TCON", "(17)"), mp3::Id3TextFrame("TRCK", std::to_string(i % 12 + 1)),
           mp3::Id3Frame("COMM", mp3::Text(std::string("\0engComment", 11)))},
          512);
      mp3::Append(file, mp3::Audio(specs[i % 3], 60'000 + static_cast<std::size_t>(i % 7) * 1000));
      mp3::Append(file,
                  mp3::Id3v1Tag("Title " + n, "Artist " + n, "Album", "1999", "Comment", i % 12 + 1, 17));
      const auto path = FPath / (n + ".mp3");
      std::ofstream(path, std::ios::binary)
          .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
      FFiles.push_back(path.string());
    }
  }
  ~TMusicFolder()
  {
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
  }
  TMusicFolder(const TMusicFolder&) = delete;
  TMusicFolder& operator=(const TMusicFolder&) = delete;

  const std::vector<std::string>& Files() const noexcept { return FFiles; }

 private:
  std::filesystem::path FPath;
  std::vector<std::string> FFiles;
};

const TMusicFolder& Music()
{
  static const TMusicFolder folder;
  return folder;
}

// What the tag facade does for one MP3 file.
void BM_OxaTags(benchmark::State& state)
{
  const auto& files = Music().Files();
  for (auto _ : state) {
    std::int64_t seconds = 0;
    for (const std::string& name : files) {
      TID3Version2Tagger2 id3v2;
      id3v2.Load(name);
      TID3Version1Tagger id3v1;
      id3v1.Load(name);
      TFileStream stream(name, fmOpenRead | fmShareDenyNone);
      TOxaMusicCheckSum checkSum;
      TMusicCheckSum sum;
      checkSum.Compute(stream, id3v1.HasTag(), sum);
      TMPegHeader header;
      header.Analyse(stream, id3v1.HasTag(), id3v2.HasTag());
      benchmark::DoNotOptimize(id3v2.Title().size() + id3v2.Artist().size() + id3v2.Album().size() +
                               id3v2.Comment().size() + id3v1.Title().size() + sum[3]);
      seconds += header.Duration() + header.Bitrate() + id3v2.Track() + id3v2.Genre();
    }
    benchmark::DoNotOptimize(seconds);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(files.size()));
}
BENCHMARK(BM_OxaTags)->Unit(benchmark::kMillisecond);

// The same readers on one open stream per file: the cost of the readers without the two extra
// opens the facade makes (each tagger opens the file by name).
void BM_OxaTagsOneOpen(benchmark::State& state)
{
  const auto& files = Music().Files();
  for (auto _ : state) {
    std::int64_t seconds = 0;
    for (const std::string& name : files) {
      TFileStream stream(name, fmOpenRead | fmShareDenyNone);
      TID3Version2Tagger2 id3v2;
      id3v2.LoadFromStream(stream, name);
      TID3Version1Tagger id3v1;
      id3v1.LoadFromStream(stream);
      TOxaMusicCheckSum checkSum;
      TMusicCheckSum sum;
      checkSum.Compute(stream, id3v1.HasTag(), sum);
      TMPegHeader header;
      header.Analyse(stream, id3v1.HasTag(), id3v2.HasTag());
      benchmark::DoNotOptimize(id3v2.Title().size() + id3v2.Artist().size() + id3v2.Album().size() +
                               id3v2.Comment().size() + id3v1.Title().size() + sum[3]);
      seconds += header.Duration() + header.Bitrate() + id3v2.Track() + id3v2.Genre();
    }
    benchmark::DoNotOptimize(seconds);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(files.size()));
}
BENCHMARK(BM_OxaTagsOneOpen)->Unit(benchmark::kMillisecond);

// The floor: TagLib reading both tags and the audio properties of the same files.
void BM_TagLib(benchmark::State& state)
{
  const auto& files = Music().Files();
  for (auto _ : state) {
    std::int64_t seconds = 0;
    for (const std::string& name : files) {
      TagLib::MPEG::File file(name.c_str(), true, TagLib::AudioProperties::Average);
      const TagLib::ID3v2::Tag* id3v2 = file.ID3v2Tag();
      const TagLib::ID3v1::Tag* id3v1 = file.ID3v1Tag();
      std::size_t length = 0;
      if (id3v2 != nullptr) {
        length += id3v2->title().size() + id3v2->artist().size() + id3v2->album().size() +
                  id3v2->comment().size() + id3v2->genre().size();
        seconds += id3v2->year() + id3v2->track();
      }
      if (id3v1 != nullptr) {
        length += id3v1->title().size();
      }
      if (const TagLib::AudioProperties* properties = file.audioProperties()) {
        seconds += properties->lengthInSeconds() + properties->bitrate();
      }
      benchmark::DoNotOptimize(length);
    }
    benchmark::DoNotOptimize(seconds);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(files.size()));
}
BENCHMARK(BM_TagLib)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
