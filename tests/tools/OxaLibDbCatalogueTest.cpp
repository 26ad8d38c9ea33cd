// oxa-lib db import, files, groups, hide and remove-under, run as the user runs them, on a
// throw-away machine whose C: is a scratch folder.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "library/MusicDatabase.h"
#include "tableengine/Table.h"
#include "tests/library/LibraryCheck.h"
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

// Looking at the library needs no directory named, as with every other command: the library in
// use. Creating one, which may throw a library away, still wants its directory spelled out.
TEST_F(OxaLibDbCatalogueTest, InfoAndCheckLookAtTheLibraryInUse)
{
  Mp3("Music/A/one.mp3", "First", "Band");
  TProgramRun run = RunProgram(OXA_LIB_PROGRAM, {"db", "import", "C:\\Music\\A"});
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  run = RunProgram(OXA_LIB_PROGRAM, {"db", "info"});
  EXPECT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_NE(run.Output.find("  MusicFiles: 1\n"), std::string::npos) << run.Output;
  run = RunProgram(OXA_LIB_PROGRAM, {"db", "check", "--json"});
  EXPECT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_EQ(RunProgram(OXA_LIB_PROGRAM, {"db", "create"}).ExitCode, 2);
  EXPECT_EQ(RunProgram(OXA_LIB_PROGRAM, {"db", "info", "--dir", ""}).ExitCode, 2);
  run = RunProgram(OXA_LIB_PROGRAM, {"db", "info"});
  EXPECT_NE(run.Output.find("  MusicFiles: 1\n"), std::string::npos)
      << "create without --dir touched nothing";
}

// Every record of every table of the library in C:\Lib, and what the consistency check finds.
std::string LibraryContents()
{
  TMusicDatabase database(nullptr);
  database.SetDirectory("C:\\Lib\\");
  if (!database.TryOpen()) {
    return "the library cannot be opened as it is";
  }
  std::string contents;
  for (int i = 0; i < database.TableCount(); ++i) {
    TTable& table = database.Tables(i);
    table.Open();
    for (table.First(); !table.Eof(); table.Next()) {
      for (int field = 0; field < table.FieldCount(); ++field) {
        contents += table.Fields(field).AsString() + '\t';
      }
      contents += '\n';
    }
  }
  for (const std::string& problem : CatalogueProblems(database)) {
    contents += "problem: " + problem + '\n';
  }
  database.SetConnected(false);
  return contents;
}

// A write that fails halfway through hiding a file or removing a folder's files leaves the
// library as it was: the groups are changed before the file records, so without one transaction
// around the whole command a failure left ids pointing at deleted groups.
TEST_F(OxaLibDbCatalogueTest, AFailingWriteLeavesTheLibraryAsItWas)
{
  Mp3("Music/A/Live/one.mp3", "First", "Band");
  Mp3("Music/A/Live/two.mp3", "Second", "Band");
  Mp3("Music/B/Studio/three.mp3", "Third", "Solo");
  ASSERT_EQ(OxaLib({"db", "import", "C:\\Music"}).ExitCode, 0);
  const std::vector<std::vector<std::string>> commands{
      {"db", "hide", "C:\\Music\\A\\Live\\one.mp3"},
      {"db", "remove-under", "C:\\Music\\B"},
  };
  for (const auto& command : commands) {
    const std::string before = LibraryContents();
    ASSERT_EQ(before.find("problem"), std::string::npos) << before;
    for (int n = 1;; ++n) {
      SCOPED_TRACE(command[1] + " failing at write " + std::to_string(n));
      setenv("OXA_FAIL_TABLE_WRITE", std::to_string(n).c_str(), 1);
      const TProgramRun run = OxaLib(command);
      unsetenv("OXA_FAIL_TABLE_WRITE");
      const std::string after = LibraryContents();
      if (run.ExitCode == 0) {
        EXPECT_EQ(after.find("problem"), std::string::npos) << after;
        break;
      }
      // (The records hold binary fields; only the consistency check's findings are shown.)
      ASSERT_TRUE(after == before) << "the library changed"
                                   << after.substr(std::min(after.find("problem"), after.size()));
      ASSERT_LT(n, 100);
    }
  }
}

}  // namespace
