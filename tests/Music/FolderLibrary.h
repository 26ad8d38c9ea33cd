#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/DeclaredDrives.h"
#include "tests/support/ProgramRun.h"
#include "tools/make-test-media/TestMedia.h"

// Folders of one-second tracks by "Band" under C:\Music, each folder its own album with its
// tracks numbered in the order given.
using TFolderTitles = std::vector<std::pair<std::string, std::vector<std::string>>>;

inline std::filesystem::path FolderTrack(const TDeclaredMachine& machine, const std::string& folder,
                                         const std::string& title)
{
  return machine.DriveFolder('C') / "Music" / folder / (title + ".mp3");
}

// Writes the folders and imports them through oxa-lib; false when the import failed.
inline bool ImportFolders(const TDeclaredMachine& machine, const TFolderTitles& folders)
{
  for (const auto& [folder, titles] : folders) {
    std::filesystem::create_directories(machine.DriveFolder('C') / "Music" / folder);
    for (std::size_t i = 0; i < titles.size(); ++i) {
      testmedia::TMp3Recipe recipe;
      recipe.Audio.Milliseconds = 1000;
      recipe.Id3v2 =
          testmedia::TId3v2Fields{titles[i], "Band", folder, "2001", "Rock", std::to_string(i + 1), ""};
      testmedia::WriteMp3(FolderTrack(machine, folder, titles[i]), recipe);
    }
  }
  return RunProgram(OXA_LIB_PROGRAM, {"db", "import", "C:\\Music"}).ExitCode == 0;
}
