// make-test-media: writes real music files for tests, benchmarks and trying the program out.
//
//   make-test-media samples FOLDER [--seed N] [--milliseconds N]
//                                                    one file of each kind, named after it
//   make-test-media library FOLDER COUNT [--seed N] [--today] [--manifest FILE] [--milliseconds N]
//                                                    COUNT files of mixed kinds in subfolders;
//                                                    --milliseconds: each file's length (at
//                                                    least 1000; 3000 when not given);
//                                                    --today: mostly FLAC, M4A, Ogg and Opus;
//                                                    --manifest: what each file should read as,
//                                                    one tab-separated line per file (path,
//                                                    title, artist, album, genre, year, track,
//                                                    seconds)
//   make-test-media picture FILE WIDTH HEIGHT [--seed N]
//                                                    a cover picture: PNG when FILE ends in
//                                                    ".png", else JPEG (Folder.jpg, cover.jpg)

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "tools/make-test-media/TestMedia.h"

namespace {

using namespace testmedia;

int Usage()
{
  std::cerr << "usage: make-test-media samples FOLDER [--seed N] [--milliseconds N]\n"
               "       make-test-media library FOLDER COUNT [--seed N] [--today] [--manifest FILE] "
               "[--milliseconds N]\n"
               "       make-test-media picture FILE WIDTH HEIGHT [--seed N]\n";
  return 2;
}

void WriteSamples(const std::filesystem::path& folder, std::uint32_t seed, int milliseconds)
{
  TAudio audio;
  audio.Seed = seed;
  audio.Milliseconds = milliseconds;
  TMp3Recipe plain;
  plain.Audio = audio;
  WriteMp3(folder / "cbr-untagged.mp3", plain);

  TMp3Recipe tagged = plain;
  tagged.Id3v2 = TId3v2Fields{"Song", "Artist", "Album", "1998", "(17)", "3", "Comment"};
  tagged.Id3v1 = TId3v1Fields{"Song", "Artist", "Album", "1998", "Comment", 3, 17};
  WriteMp3(folder / "cbr-id3v1-id3v2.mp3", tagged);

  TMp3Recipe variable = tagged;
  variable.Mode = TBitRateMode::Variable;
  WriteMp3(folder / "vbr-id3v1-id3v2.mp3", variable);

  TWmaRecipe wma;
  wma.Audio = audio;
  wma.Attributes = {{"Title", "Song"},          {"Author", "Artist"}, {"Description", "Comment"},
                    {"WM/AlbumTitle", "Album"}, {"WM/Genre", "Rock"}, {"WM/Year", "1998"}};
  WriteWma(folder / "tagged.wma", wma);

  WriteWav(folder / "tone.wav", TWavRecipe{audio});

  const TMetadata tags = {{"title", "Song"}, {"artist", "Artist"}, {"album", "Album"}, {"comment", "Comment"},
                          {"genre", "Rock"}, {"date", "1998"},     {"track", "3/12"}};
  for (const TModernFormat format :
       {TModernFormat::Flac, TModernFormat::OggVorbis, TModernFormat::Opus, TModernFormat::M4a}) {
    WriteModern(folder / (std::string("tagged") + ExtensionOf(format)),
                TModernRecipe{audio, format, 128, tags});
  }
}

bool WriteManifest(const std::string& fileName, const std::vector<TLibraryFile>& files)
{
  std::ofstream out(fileName, std::ios::trunc);
  for (const TLibraryFile& file : files) {
    out << file.File.string() << '\t' << file.Title << '\t' << file.Artist << '\t' << file.Album << '\t'
        << file.Genre << '\t' << file.Year << '\t' << file.Track << '\t' << file.Seconds << '\n';
  }
  out.close();
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv)
{
  std::vector<std::string> args(argv + 1, argv + argc);
  std::uint32_t seed = 1;
  int milliseconds = 0;  // 0: each form's own length
  std::vector<std::string> words;
  TLibraryMix mix = TLibraryMix::Classic;
  std::string manifest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--seed" && i + 1 < args.size()) {
      seed = static_cast<std::uint32_t>(std::strtoul(args[++i].c_str(), nullptr, 10));
    } else if (args[i] == "--milliseconds" && i + 1 < args.size()) {
      milliseconds = std::max(1, std::atoi(args[++i].c_str()));
    } else if (args[i] == "--manifest" && i + 1 < args.size()) {
      manifest = args[++i];
    } else if (args[i] == "--today") {
      mix = TLibraryMix::Today;
    } else {
      words.push_back(args[i]);
    }
  }
  try {
    if (words.size() == 2 && words[0] == "samples") {
      std::filesystem::create_directories(words[1]);
      WriteSamples(words[1], seed, milliseconds > 0 ? milliseconds : TAudio().Milliseconds);
      return 0;
    }
    if (words.size() == 3 && words[0] == "library") {
      const int count = std::atoi(words[2].c_str());
      if (count <= 0 || (milliseconds > 0 && milliseconds < MinLibraryMilliseconds)) {
        return Usage();
      }
      std::filesystem::create_directories(words[1]);
      const std::vector<TLibraryFile> files =
          WriteLibrary(words[1], count, seed, mix, milliseconds > 0 ? milliseconds : 3000);
      if (!manifest.empty() && !WriteManifest(manifest, files)) {
        std::cerr << "make-test-media: cannot write " << manifest << '\n';
        return 1;
      }
      std::cout << files.size() << " files\n";
      return 0;
    }
    if (words.size() == 4 && words[0] == "picture") {
      const int width = std::atoi(words[2].c_str());
      const int height = std::atoi(words[3].c_str());
      if (width <= 0 || height <= 0) {
        return Usage();
      }
      const bool png = std::filesystem::path(words[1]).extension() == ".png";
      WriteBytes(words[1],
                 EncodePicture({png ? TPictureFormat::Png : TPictureFormat::Jpeg, width, height, seed}));
      return 0;
    }
  } catch (const std::exception& error) {
    std::cerr << "make-test-media: " << error.what() << '\n';
    return 1;
  }
  return Usage();
}
