#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "Music/form/Music.h"
#include "library/MusicDatabase.h"
#include "platform/files/Paths.h"
#include "platform/windows/Messages.h"
#include "platform/windows/Windows.h"
#include "settings/OxaMusicPlayerTypes.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

std::string ReadText(const fs::path& file)
{
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The library directory the program chose, as a host folder.
fs::path LibraryFolder()
{
  ResetSettingsFileName();
  std::string host;
  EXPECT_TRUE(HostPathOf(GetDatabasePath(), host));
  return host;
}

TEST(TMusicPlayerSteps, TheProgramOpensTheLibraryAndClosingStoresStampAndLastPlayed)
{
  const TTempMachine machine;
  auto program = std::make_unique<TChildProcess>(OXA_MUSIC_PROGRAM, std::vector<std::string>{});
  ASSERT_EQ(WaitForProcessInputIdle(static_cast<DWORD>(program->Pid()), 30000), 0U);
  const fs::path library = LibraryFolder();
  EXPECT_EQ(ReadText(library / std::string(MusicStampFile)), MusicStampOpen);
  // Nothing stored yet.
  TStringList lastPlayed;
  ReadOption(TMusicOption::LastPlayed, lastPlayed);
  EXPECT_EQ(lastPlayed.Count(), 0);

  const HWND window = FindWindowA("TMusicForm", "OxaNetMusic");
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(PostMessageA(window, WM_CLOSE, 0, 0));
  EXPECT_EQ(program->Wait(std::chrono::seconds(30)), 0);

  EXPECT_EQ(ReadText(library / std::string(MusicStampFile)), MusicStampClosed);
  // Nothing played: the empty item, five lines.
  ReadOption(TMusicOption::LastPlayed, lastPlayed);
  ASSERT_EQ(lastPlayed.Count(), 5);
  EXPECT_EQ(lastPlayed[0], "-1");
  EXPECT_EQ(lastPlayed[2], "-1");
  ResetSettingsFileName();
}

TEST(TMusicPlayerSteps, ALibraryThatCannotBeCreatedShowsTheMessageAndEnds)
{
  const TTempMachine machine;
  // A folder where the version stamp must go: the library can be neither opened nor created.
  const fs::path library = LibraryFolder();
  fs::create_directories(library / std::string(MusicStampFile));

  // Without a screen the message box is a line on standard error.
  const fs::path errors = machine.Scratch() / "stderr.txt";
  fs::create_directories(machine.Scratch());
  TChildProcess program("/bin/sh",
                        {"-c", std::string("exec '") + OXA_MUSIC_PROGRAM + "' 2>'" + errors.string() + "'"});
  EXPECT_EQ(program.Wait(std::chrono::seconds(30)), 0);
  const std::string said = ReadText(errors);
  EXPECT_NE(said.find("OxaNetMusic: OxaNetMusic failed to create the media database."), std::string::npos)
      << said;
  EXPECT_NE(said.find("Please check the OxaPlayer installation"), std::string::npos);
  EXPECT_EQ(FindWindowA("TMusicForm", nullptr), nullptr);
  ResetSettingsFileName();
}

}  // namespace
