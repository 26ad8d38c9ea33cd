#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "Music/form/Music.h"
#include "platform/windows/DisplayTesting.h"
#include "settings/OxaMusicPlayerTypes.h"
#include "tests/support/DeclaredDrives.h"
#include "tests/support/ProgramRun.h"
#include "tools/make-test-media/TestMedia.h"

// The library the in-process window tests share: four 20 s tracks (Alpha, Bravo, Charlie, Delta
// of "Record" by "Band") in C:\Music\Album, imported through oxa-lib.
inline bool ImportFourTrackAlbum(const TDeclaredMachine& machine)
{
  const char* titles[] = {"Alpha", "Bravo", "Charlie", "Delta"};
  const auto folder = machine.DriveFolder('C') / "Music" / "Album";
  std::filesystem::create_directories(folder);
  for (int i = 0; i < 4; ++i) {
    testmedia::TMp3Recipe recipe;
    recipe.Audio.Milliseconds = 20000;
    recipe.Id3v2 =
        testmedia::TId3v2Fields{titles[i], "Band", "Record", "1999", "Rock", std::to_string(i + 1), ""};
    testmedia::WriteMp3(folder / (std::string(titles[i]) + ".mp3"), recipe);
  }
  return RunProgram(OXA_LIB_PROGRAM, {"db", "import", "C:\\Music"}).ExitCode == 0;
}

// The main window made in this process on an 800 x 600 headless screen, past its start-up.
inline TMusicForm* StartWindowAfterInstall()
{
  ResetSettingsFileName();
  UseHeadlessDisplay(800, 600);
  Application().Initialize();
  TMusicForm* form = Application().CreateForm<TMusicForm>(std::vector<std::string>{"AFTERINSTALL"});
  Application().ProcessMessages();
  return form;
}
