// oxa-lib db import, files, groups, hide and remove-under, run as the user runs them, on a
// throw-away machine whose C: is a scratch folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/DeclaredDrives.h"
#include "tools/make-test-media/TestMedia.h"

namespace {

namespace fs = std::filesystem;

struct TRun {
  int ExitCode = -1;
  std::string Output;
};

TRun OxaLib(std::vector<std::string> arguments)
{
  arguments.push_back("--dir");
  arguments.push_back("C:\\Lib");
  TChildProcess child(OXA_LIB_PROGRAM, arguments);
  TRun run;
  while (const auto line = child.ReadLine()) {
    run.Output += *line + '\n';
  }
  run.ExitCode = child.Wait();
  return run;
}

class OxaLibDbCatalogueTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite()
  {
    testmedia::TMp3Recipe recipe;
    recipe.Audio.Milliseconds = 500;
    Stream = new testmedia::TBytes(testmedia::EncodeMp3Stream(recipe));
  }
  static void TearDownTestSuite() { delete Stream; }

  void Mp3(const std::string& relative, const std::string& title, const std::string& artist)
  {
    testmedia::TMp3Recipe recipe;
    if (!title.empty()) {
      recipe.Id3v2 = testmedia::TId3v2Fields{title, artist};
    }
    const fs::path file = Machine.DriveFolder('C') / relative;
    fs::create_directories(file.parent_path());
    testmedia::WriteBytes(file, testmedia::ComposeMp3(*Stream, recipe));
  }

  static inline testmedia::TBytes* Stream = nullptr;
  TDeclaredMachine Machine;
};

TEST_F(OxaLibDbCatalogueTest, ImportingOneFolderKeepsTheFilesOfAnother)
{
  Mp3("Music/A/Live/one.mp3", "First", "Band");
  Mp3("Music/A/Live/my_song.mp3", "", "");
  Mp3("Music/B/Live/three.mp3", "Third", "Band");

  TRun run = OxaLib({"db", "import", "C:\\Music\\A"});
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
