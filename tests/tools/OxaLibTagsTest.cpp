#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>

#include "tags/ID3Version1Tagger.h"
#include "tags/ID3Version2Tagger2.h"
#include "tags/WMATagger.h"
#include "tests/support/Mp3Files.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TempFolder.h"
#include "tests/tags/WmaRuntime.h"

namespace fs = std::filesystem;

namespace {

TProgramRun OxaLib(const std::vector<std::string>& arguments)
{
  return RunProgram(OXA_LIB_PROGRAM, arguments);
}

class OxaLibTagsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Files = std::make_unique<TMp3Files>(1000); }
  static void TearDownTestSuite() { Files.reset(); }

  fs::path Mp3(const std::string& name, std::optional<testmedia::TId3v2Fields> v2,
               std::optional<testmedia::TId3v1Fields> v1 = std::nullopt)
  {
    fs::path file = Folder.Path() / name;
    Files->Write(file, std::move(v2), std::move(v1));
    return file;
  }

  static inline std::unique_ptr<TMp3Files> Files;
  TTempMachine Machine;
  TTempFolder Folder;
};

TEST_F(OxaLibTagsTest, DescribesEveryFileAndReportsTheUnreadableOnes)
{
  const fs::path tagged = Mp3("tagged.mp3", testmedia::TId3v2Fields{"Song", "Artist"});
  const fs::path plain = Mp3("plain.mp3", std::nullopt);
  const TProgramRun run =
      OxaLib({"tags", tagged.string(), (Folder.Path() / "gone.mp3").string(), plain.string(), "--json"});
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("\"title\":\"Song\",\"artist\":\"Artist\",\"album\":\"Unknown\""),
            std::string::npos)
      << run.Output;
  EXPECT_NE(run.Output.find("gone.mp3\",\"readable\":false}"), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("plain.mp3\",\"readable\":true,\"title\":\"Unknown\""), std::string::npos)
      << run.Output;
  EXPECT_NE(run.Output.find("\"bitrate\":128"), std::string::npos) << run.Output;

  const TProgramRun lines = OxaLib({"tags", tagged.string()});
  EXPECT_EQ(lines.ExitCode, 0);
  EXPECT_NE(lines.Output.find("  title: Song\n  artist: Artist\n  album: Unknown\n"), std::string::npos)
      << lines.Output;
}

TEST_F(OxaLibTagsTest, SettingAFieldLeavesTheFieldsTheTagDidNotHave)
{
  const fs::path file = Mp3("edit.mp3", testmedia::TId3v2Fields{"Old title", "", "Album"},
                            testmedia::TId3v1Fields{"Old title", "", "Album", "1990"});
  const TProgramRun run = OxaLib({"tags", "--set", "title=New title", "--set=track=5", file.string()});
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_NE(run.Output.find("  title: New title\n  artist: Unknown\n  album: Album\n"), std::string::npos)
      << run.Output;

  TID3Version2Tagger2 v2;
  ASSERT_TRUE(v2.Load(file.string()));
  EXPECT_EQ(v2.Title(), "New title");
  EXPECT_EQ(v2.Artist(), "") << "the placeholder must not become the artist";
  EXPECT_EQ(v2.GenreText(), "");
  EXPECT_EQ(v2.Track(), 5);
  TID3Version1Tagger v1;
  ASSERT_TRUE(v1.Load(file.string()));
  EXPECT_EQ(v1.Title(), "New title");
  EXPECT_EQ(v1.Artist(), "");
  EXPECT_EQ(v1.Album(), "Album");
}

TEST_F(OxaLibTagsTest, SetsWmaAttributesThroughTheRuntimeBesideTheProgram)
{
  testmedia::TWmaRecipe recipe;
  recipe.Audio.Milliseconds = 1000;
  recipe.Attributes = {{"Title", "Song"}, {"WM/AlbumTitle", "Album"}};
  const fs::path file = Folder.Path() / "a.wma";
  testmedia::WriteWma(file, recipe);
  const TProgramRun run = OxaLib({"tags", "--set", "genre=Jazz", file.string()});
  ASSERT_EQ(run.ExitCode, 0) << run.Output;

  InstallWmaRuntime(OXA_WMVCORE_FILE);
  TWMATagger tagger;
  ASSERT_TRUE(tagger.Open(file.string()));
  EXPECT_EQ(tagger.Genre(), u"Jazz");
  EXPECT_EQ(tagger.Title(), u"Song");
  EXPECT_EQ(tagger.Album(), u"Album");
  EXPECT_EQ(tagger.Author(), u"");
  EXPECT_EQ(tagger.Description(), u"");
}

TEST_F(OxaLibTagsTest, TakesWindowsPathsAsTheScanGivesThem)
{
  // The machine's C: drive is its home folder.
  const fs::path file = Machine.Home() / "Music" / "w.mp3";
  Files->Write(file, testmedia::TId3v2Fields{"Windows", "Path"});
  const TProgramRun run = OxaLib({"tags", "C:\\Music\\w.mp3", "--json"});
  EXPECT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_NE(run.Output.find("\"title\":\"Windows\""), std::string::npos) << run.Output;
  const TProgramRun set = OxaLib({"tags", "--set", "artist=Drive C", "C:\\Music\\w.mp3"});
  EXPECT_EQ(set.ExitCode, 0) << set.Output;
  EXPECT_NE(set.Output.find("  artist: Drive C\n"), std::string::npos) << set.Output;
}

TEST_F(OxaLibTagsTest, WmaNamesHoldingColonsAndQuestionMarksTakeEditsByTheirWindowsPaths)
{
  // ":" is U+F03A and "?" U+F03F in the Windows name; the media runtime gets the host's name.
  testmedia::TWmaRecipe recipe;
  recipe.Audio.Milliseconds = 1000;
  recipe.Attributes = {{"Title", "Song"}};
  fs::create_directories(Machine.Home() / "Music");
  const fs::path file = Machine.Home() / "Music" / "Live: 1999?.wma";
  testmedia::WriteWma(file, recipe);
  const std::string windows = "C:\\Music\\Live\xEF\x80\xBA 1999\xEF\x80\xBF.wma";
  const TProgramRun set = OxaLib({"tags", "--set", "genre=Jazz", windows});
  ASSERT_EQ(set.ExitCode, 0) << set.Output;

  InstallWmaRuntime(OXA_WMVCORE_FILE);
  TWMATagger tagger;
  ASSERT_TRUE(tagger.Open(windows));
  EXPECT_EQ(tagger.Genre(), u"Jazz");
  EXPECT_EQ(tagger.Title(), u"Song");
  EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), {}), 1) << "no file left beside it";
}

TEST_F(OxaLibTagsTest, MisuseIsAUsageError)
{
  const fs::path file = Mp3("u.mp3", std::nullopt);
  const std::vector<std::vector<std::string>> cases = {
      {"tags"},
      {"tags", "--set", "mood=calm", file.string()},
      {"tags", "--set", "year=soon", file.string()},
      {"tags", "--set", "title", file.string()},
      {"tags", "--set", "title=x", file.string(), file.string()},
      {"tags", "--bogus", file.string()},
  };
  for (const auto& arguments : cases) {
    EXPECT_EQ(OxaLib(arguments).ExitCode, 2) << arguments.back();
  }
}

}  // namespace
