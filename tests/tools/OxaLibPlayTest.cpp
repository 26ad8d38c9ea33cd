// oxa-lib play, run as the user runs it, with the null output ten times faster than real time.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/DeclaredDrives.h"
#include "tests/support/ProgramRun.h"
#include "tools/make-test-media/TestMedia.h"

namespace {

namespace fs = std::filesystem;

class OxaLibPlayTest : public ::testing::Test {
 protected:
  void SetUp() override
  {
    setenv("OXA_AUDIO", "null:speed=10", 1);
    testmedia::TMp3Recipe recipe;
    recipe.Audio.Milliseconds = 1500;
    recipe.Id3v2 = testmedia::TId3v2Fields{"Song", "Band", "Record", "1999", "Rock", "1", ""};
    fs::create_directories(Machine.DriveFolder('C') / "Music");
    testmedia::WriteMp3(Machine.DriveFolder('C') / "Music" / "song.mp3", recipe);
  }
  void TearDown() override { unsetenv("OXA_AUDIO"); }

  TDeclaredMachine Machine;
};

TEST_F(OxaLibPlayTest, AFilePlaysToItsEnd)
{
  const TProgramRun run = RunProgram(OXA_LIB_PROGRAM, {"play", "C:\\Music\\song.mp3"});
  EXPECT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_NE(run.Output.find("Opened\nPlaying\n"), std::string::npos) << run.Output;
  // Positions come every tenth of a second; a busy machine may skip one, so only the second
  // reached is looked for.
  EXPECT_NE(run.Output.find("\r0:01."), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("\nStopped\n"), std::string::npos) << run.Output;
}

TEST_F(OxaLibPlayTest, AHostPathAndJsonAndSeek)
{
  const std::string host = (Machine.DriveFolder('C') / "Music" / "song.mp3").string();
  const TProgramRun run = RunProgram(OXA_LIB_PROGRAM, {"play", host, "--json", "--seek", "1.2"});
  EXPECT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_EQ(run.Output.rfind("{\"state\":\"Opened\"}\n{\"state\":\"Playing\"}\n{\"state\":\"Stopped\"}\n", 0),
            0U)
      << run.Output;
  EXPECT_NE(run.Output.find("\"result\":\"complete\""), std::string::npos);
}

TEST_F(OxaLibPlayTest, NamesThatAreNotUtf8OrHoldCharactersNoWindowsNameCanHoldPlay)
{
  // The Windows names carry ":" as U+F03A and "?" as U+F03F; the audio component gets them
  // through its UTF-16 call.
  const struct {
    std::string Host;
    std::string Windows;
  } names[] = {
      {"caf\xE9.mp3", "caf\xE9.mp3"},
      {"Live: 1999?.mp3", "Live\xEF\x80\xBA 1999\xEF\x80\xBF.mp3"},
      {"caf\xE9: live.mp3", "caf\xE9\xEF\x80\xBA live.mp3"},
  };
  for (const auto& name : names) {
    fs::copy_file(Machine.DriveFolder('C') / "Music" / "song.mp3",
                  Machine.DriveFolder('C') / "Music" / name.Host);
    for (const std::string& file :
         {"C:\\Music\\" + name.Windows, (Machine.DriveFolder('C') / "Music" / name.Host).string()}) {
      SCOPED_TRACE(file);
      const TProgramRun run = RunProgram(OXA_LIB_PROGRAM, {"play", file, "--json"});
      EXPECT_EQ(run.ExitCode, 0) << run.Output;
      EXPECT_NE(run.Output.find("\"result\":\"complete\""), std::string::npos) << run.Output;
    }
  }
}

TEST_F(OxaLibPlayTest, FilesThatCannotPlayFail)
{
  std::ofstream(Machine.DriveFolder('C') / "Music" / "noise.mp3", std::ios::binary)
      << std::string(3000, '\x17');
  for (const char* file : {"C:\\Music\\missing.mp3", "C:\\Music\\noise.mp3"}) {
    SCOPED_TRACE(file);
    const TProgramRun run = RunProgram(OXA_LIB_PROGRAM, {"play", file, "--json"});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_NE(run.Output.find("\"result\":\"failed\""), std::string::npos) << run.Output;
    EXPECT_EQ(run.Output.find("complete"), std::string::npos);
  }
}

TEST_F(OxaLibPlayTest, ALibraryItemPlaysByItsNumbers)
{
  ASSERT_EQ(RunProgram(OXA_LIB_PROGRAM, {"db", "import", "C:\\Music", "--dir", "C:\\Lib"}).ExitCode, 0);
  // Titles view: the first letter's group, then its one track.
  const TProgramRun groups = RunProgram(OXA_LIB_PROGRAM, {"list", "5", "--dir", "C:\\Lib"});
  ASSERT_EQ(groups.ExitCode, 0);
  const std::string group = groups.Output.substr(0, groups.Output.find('\t'));
  const TProgramRun tracks = RunProgram(OXA_LIB_PROGRAM, {"list", "5", group, "--dir", "C:\\Lib"});
  ASSERT_EQ(tracks.ExitCode, 0);
  const std::string file = tracks.Output.substr(0, tracks.Output.find('\t'));

  const TProgramRun run =
      RunProgram(OXA_LIB_PROGRAM, {"play", "5", group, file, "--dir", "C:\\Lib", "--json"});
  EXPECT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_NE(run.Output.find("C:\\\\Music\\\\song.mp3"), std::string::npos) << run.Output;
  EXPECT_EQ(RunProgram(OXA_LIB_PROGRAM, {"play", "5", group, "999", "--dir", "C:\\Lib"}).ExitCode, 1);
}

TEST_F(OxaLibPlayTest, UsageErrors)
{
  const std::vector<std::vector<std::string>> cases = {
      {"play"},
      {"play", "a", "b"},
      {"play", "a", "b", "c", "d"},
      {"play", "C:\\Music\\song.mp3", "--seek", "-1"},
      {"play", "C:\\Music\\song.mp3", "--seek", "abc"},
      {"play", "C:\\Music\\song.mp3", "--loud"},
      {"play", "0", "1", "1"},
      {"play", "8", "1", "1"},
      {"play", "x", "1", "1"},
  };
  for (const auto& arguments : cases) {
    SCOPED_TRACE(arguments.size());
    EXPECT_EQ(RunProgram(OXA_LIB_PROGRAM, arguments).ExitCode, 2);
  }
}

}  // namespace
