// oxa-lib db import, files, groups, hide and remove-under, run as the user runs them, on a
// throw-away machine whose C: is a scratch folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/DeclaredDrives.h"
#include "tests/support/Mp3Files.h"
#include "tests/support/ProgramRun.h"

namespace {

namespace fs = std::filesystem;

TProgramRun OxaLib(std::vector<std::string> arguments)
{
  arguments.push_back("--dir");
  arguments.push_back("C:\\Lib");
  return RunProgram(OXA_LIB_PROGRAM, arguments);
}

class OxaLibDbCatalogueTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Files = std::make_unique<TMp3Files>(500); }
  static void TearDownTestSuite() { Files.reset(); }

  void Mp3(const std::string& relative, const std::string& title, const std::string& artist)
  {
    std::optional<testmedia::TId3v2Fields> v2;
    if (!title.empty()) {
      v2 = testmedia::TId3v2Fields{title, artist};
    }
    Files->Write(Machine.DriveFolder('C') / relative, std::move(v2));
  }

  static inline std::unique_ptr<TMp3Files> Files;
  TDeclaredMachine Machine;
};

TEST_F(OxaLibDbCatalogueTest, ImportingOneFolderKeepsTheFilesOfAnother)
{
  Mp3("Music/A/Live/one.mp3", "First", "Band");
  Mp3("Music/A/Live/my_song.mp3", "", "");
  Mp3("Music/B/Live/three.mp3", "Third", "Band");

  TProgramRun run = OxaLib({"db", "import", "C:\\Music\\A"});
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_NE(run.Output.find("  0% C:\\Music\\A\\Live\n"), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("found 2 music files, read 2"), std::string::npos) << run.Output;
  run = OxaLib({"db", "import", "C:\\Music\\B\\"});
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  // Again: nothing to read, nothing removed.
  run = OxaLib({"db", "import", "C:\\Music\\A"});
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_NE(run.Output.find("found 2 music files, read 0 (0 unreadable); the library knew 2"),
            std::string::npos)
      << run.Output;

  run = OxaLib({"db", "files"});
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_NE(run.Output.find("C:\\Music\\A\\Live\\one.mp3\tFirst\tBand\t"), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("C:\\Music\\A\\Live\\my_song.mp3\tMy Song\tUnknown\t"), std::string::npos)
      << run.Output;
  EXPECT_NE(run.Output.find("C:\\Music\\B\\Live\\three.mp3\tThird\tBand\t"), std::string::npos) << run.Output;

  run = OxaLib({"db", "groups", "folders", "--json"});
  EXPECT_NE(run.Output.find("\"name\":\"A\\\\Live\",\"count\":2"), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("\"name\":\"B\\\\Live\",\"count\":1"), std::string::npos) << run.Output;
  run = OxaLib({"db", "groups", "artists"});
  EXPECT_NE(run.Output.find("\t2\tBand\n"), std::string::npos) << run.Output;
  EXPECT_EQ(OxaLib({"db", "groups", "nothing"}).ExitCode, 2);

  run = OxaLib({"db", "hide", "C:\\Music\\A\\Live\\one.mp3"});
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_EQ(OxaLib({"db", "hide", "C:\\Music\\A\\Live\\one.mp3"}).ExitCode, 1);
  run = OxaLib({"db", "files", "--json"});
  EXPECT_NE(run.Output.find("one.mp3\",\"title\":\"First\",\"tagTitle\":true,\"hidden\":true"),
            std::string::npos)
      << run.Output;

  run = OxaLib({"db", "remove-under", "C:\\Music\\B"});
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_EQ(run.Output, "removed 1 files under C:\\Music\\B\\\n");
  run = OxaLib({"db", "groups", "artists"});
  EXPECT_EQ(run.Output.find("Band"), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("\t1\tUnknown\n"), std::string::npos) << run.Output;
  run = OxaLib({"db", "check"});
  EXPECT_EQ(run.ExitCode, 0) << run.Output;
}

}  // namespace
