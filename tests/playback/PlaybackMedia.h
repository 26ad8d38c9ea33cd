#pragma once
// Generated music for the playback tests, and the audio component installed where the program
// looks for it. The null output runs ten times faster than real time, so a 3-second track plays
// in about 0.3 s.

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/core/OxaAud.h"
#include "platform/files/Paths.h"
#include "platform/windows/Modules.h"
#include "tools/make-test-media/TestMedia.h"

inline constexpr int TrackMilliseconds = 3000;
inline constexpr int TrackTenths = TrackMilliseconds / 100;

inline void UseFastNullOutput()
{
  setenv("OXA_AUDIO", "null:speed=10", 1);
}

// Puts the component where LoadLibraryA("OxaAud.dll") finds it in the test's machine.
inline void InstallAudioComponent()
{
  std::filesystem::create_directories(SystemModuleFolder());
  std::filesystem::create_symlink(OXA_OXAAUD_FILE,
                                  SystemModuleFolder() / ModuleHostFileName(OxaAudModuleName));
}

// Every format, written once per suite into folder.
struct TPlaybackMedia {
  std::filesystem::path Mp3;
  std::filesystem::path Wav;
  std::filesystem::path Wma;
  // FLAC, Ogg Vorbis, Opus and M4A, tagged.
  std::vector<std::filesystem::path> Modern;

  explicit TPlaybackMedia(const std::filesystem::path& folder)
      : Mp3(folder / "tone.mp3"), Wav(folder / "tone.wav"), Wma(folder / "tone.wma")
  {
    for (const testmedia::TModernFormat format :
         {testmedia::TModernFormat::Flac, testmedia::TModernFormat::OggVorbis, testmedia::TModernFormat::Opus,
          testmedia::TModernFormat::M4a}) {
      testmedia::TModernRecipe recipe;
      recipe.Audio.Milliseconds = TrackMilliseconds;
      recipe.Format = format;
      recipe.Tags = {{"title", "Tone"}, {"track", "1/2"}};
      Modern.push_back(folder / (std::string("tone") + testmedia::ExtensionOf(format)));
      std::filesystem::create_directories(folder);
      testmedia::WriteModern(Modern.back(), recipe);
    }
    std::filesystem::create_directories(folder);
    testmedia::TMp3Recipe mp3;
    mp3.Audio.Milliseconds = TrackMilliseconds;
    testmedia::WriteMp3(Mp3, mp3);
    testmedia::TWavRecipe wav;
    wav.Audio.Milliseconds = TrackMilliseconds;
    testmedia::WriteWav(Wav, wav);
    testmedia::TWmaRecipe wma;
    wma.Audio.Milliseconds = TrackMilliseconds;
    testmedia::WriteWma(Wma, wma);
  }
};

inline std::string WindowsName(const std::filesystem::path& file)
{
  return WindowsPathOf(file.string());
}
