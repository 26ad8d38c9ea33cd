// oxa-lib list and fav, run as the user runs them, on music from the media generator in a
// throw-away machine whose C: is a scratch folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/DeclaredDrives.h"
#include "tests/support/ProgramRun.h"
#include "tools/make-test-media/TestMedia.h"

namespace {

namespace fs = std::filesystem;

TProgramRun OxaLib(std::vector<std::string> arguments)
{
  arguments.push_back("--dir");
  arguments.push_back("C:\\Lib");
  return RunProgram(OXA_LIB_PROGRAM, arguments);
}

class OxaLibListFavTest : public ::testing::Test {
 protected:
  // Each file has music of its own (its own fingerprint).
  void Mp3(const std::string& relative, const std::string& title, const std::string& album,
           const std::string& track, const std::string& year = "1999")
  {
    testmedia::TMp3Spec spec;
    spec.Audio.Milliseconds = 300;
    spec.Audio.Seed = ++Seeds;
    spec.Id3v2 = testmedia::TId3v2Fields{title, "Band", album, year, "Rock", track, ""};
    const fs::path file = Machine.DriveFolder('C') / relative;
    fs::create_directories(file.parent_path());
    testmedia::WriteMp3(file, spec);
  }

  void Import()
  {
    const TProgramRun run = OxaLib({"db", "import", "C:\\Music"});
    ASSERT_EQ(run.ExitCode, 0) << run.Output;
  }

  // Every file of the favorites folder with its bytes.
  std::map<std::string, std::string> FavoritesFiles() const
  {
    std::map<std::string, std::string> files;
    const fs::path folder = Machine.DriveFolder('C') / "Lib" / "Favorites";
    if (!fs::exists(folder)) {
      return files;
    }
    for (const auto& entry : fs::directory_iterator(folder)) {
      std::ifstream in(entry.path(), std::ios::binary);
      std::ostringstream bytes;
      bytes << in.rdbuf();
      files[entry.path().filename().string()] = bytes.str();
    }
    return files;
  }

  TDeclaredMachine Machine;
  std::uint32_t Seeds = 0;
};

TEST_F(OxaLibListFavTest, ListShowsTheTreeAsTheBrowserDoes)
{
  Mp3("Music/Disc/b.mp3", "Beta", "Disc", "2");
  Mp3("Music/Disc/a.mp3", "Alpha", "Disc", "10");
  Mp3("Music/Disc/c.mp3", "Gamma", "Disc", "1", "0");
  Import();

  TProgramRun run = OxaLib({"list"});
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_EQ(run.Output, "1\tFolders\n5\tTitles\n2\tAlbums\n3\tArtists\n4\tGenre\n6\tYears\n7\tPlaylists\n");
  run = OxaLib({"list", "years"});
  EXPECT_NE(run.Output.find("\t0000 (001 Track)\n"), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("\t1999 (002 Tracks)\n"), std::string::npos) << run.Output;
  run = OxaLib({"list", "2"});
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  const std::string album = run.Output.substr(0, run.Output.find('\t'));
  EXPECT_EQ(run.Output.substr(album.size()), "\tDisc (003 Tracks)\n");
  run = OxaLib({"list", "2", album});
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_NE(run.Output.find("\tGamma\n"), std::string::npos);
  EXPECT_LT(run.Output.find("Gamma"), run.Output.find("Beta")) << run.Output;
  EXPECT_LT(run.Output.find("Beta"), run.Output.find("Alpha")) << run.Output;
  run = OxaLib({"list", "2", album, "--json"});
  EXPECT_NE(run.Output.find("\"caption\":\"Alpha\",\"extra\":\"0010Alpha\""), std::string::npos)
      << run.Output;

  struct TCase {
    std::vector<std::string> Arguments;
    int ExitCode;
  };
  const TCase failures[] = {
      {{"list", "8"}, 2},        {{"list", "albums", "x"}, 2},     {{"list", "1", "2", "3", "4"}, 2},
      {{"list", "2", "999"}, 1}, {{"list", "2", album, "999"}, 1},
  };
  for (const TCase& c : failures) {
    EXPECT_EQ(OxaLib(c.Arguments).ExitCode, c.ExitCode) << ::testing::PrintToString(c.Arguments);
  }
}

TEST_F(OxaLibListFavTest, FavoriteListsAreEditedAndComeBackAfterARebuild)
{
  Mp3("Music/Disc/one.mp3", "One", "Disc", "1");
  Mp3("Music/Disc/two.mp3", "Two", "Disc", "2");
  Mp3("Music/Disc/three.mp3", "Three", "Disc", "3");
  Import();
  ASSERT_EQ(OxaLib({"fav", "new", "Party"}).ExitCode, 0);
  TProgramRun run = OxaLib({"fav", "add", "party", "C:\\Music\\Disc\\one.mp3", "C:\\Music\\Disc\\two.mp3",
                            "C:\\Music\\Disc\\three.mp3"});
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  ASSERT_EQ(OxaLib({"fav", "move", "Party", "3", "1"}).ExitCode, 0);
  run = OxaLib({"fav", "show", "Party"});
  EXPECT_EQ(run.Output,
            "1\tThree\tC:\\Music\\Disc\\three.mp3\n2\tOne\tC:\\Music\\Disc\\one.mp3\n3\tTwo\tC:"
            "\\Music\\Disc\\two.mp3\n");

  // Whatever is wrong changes nothing, in the tables or the files.
  const std::map<std::string, std::string> before = FavoritesFiles();
  ASSERT_EQ(before.size(), 2U);
  const std::vector<std::string> wrong[] = {
      {"fav", "add", "Nothing", "C:\\Music\\Disc\\one.mp3"},
      {"fav", "add", "Party", "C:\\Music\\Disc\\one.mp3", "C:\\Music\\Disc\\none.mp3"},
      {"fav", "move", "Party", "1", "4"},
      {"fav", "move", "Party", "0", "1"},
      {"fav", "remove", "Party", "2", "4"},
      {"fav", "delete", "Nothing"},
      {"fav", "rename", "Nothing", "Other"},
      {"fav", "show", "Nothing"},
  };
  for (const auto& arguments : wrong) {
    run = OxaLib(arguments);
    EXPECT_EQ(run.ExitCode, 1) << ::testing::PrintToString(arguments) << run.Output;
  }
  EXPECT_EQ(OxaLib({"fav", "frobnicate", "Party"}).ExitCode, 2);
  EXPECT_EQ(FavoritesFiles(), before);
  EXPECT_EQ(OxaLib({"fav", "show", "Party"}).Output.find("1\tThree\t"), 0U);

  // The library is thrown away: the list comes back with its entries, not available until a
  // scan puts their files back.
  fs::remove(Machine.DriveFolder('C') / "Lib" / "OxaMediaDatabase.oxa");
  ASSERT_EQ(OxaLib({"fav", "new", "Other"}).ExitCode, 0);
  run = OxaLib({"fav", "show", "Party"});
  EXPECT_EQ(run.Output,
            "1\tthree (Not Available)\tC:\\Music\\Disc\\three.mp3\n"
            "2\tone (Not Available)\tC:\\Music\\Disc\\one.mp3\n"
            "3\ttwo (Not Available)\tC:\\Music\\Disc\\two.mp3\n");
  Import();
  run = OxaLib({"list", "7"});
  EXPECT_EQ(run.Output, "1\tParty (003 Tracks)\n2\tOther (000 Empty)\n");
  run = OxaLib({"list", "7", "1"});
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_NE(run.Output.find("\tThree\n"), std::string::npos) << run.Output;

  ASSERT_EQ(OxaLib({"fav", "remove", "Party", "1", "1"}).ExitCode, 0);
  EXPECT_EQ(OxaLib({"fav", "show", "Party"}).Output,
            "1\tOne\tC:\\Music\\Disc\\one.mp3\n2\tTwo\tC:\\Music\\Disc\\two.mp3\n");
  ASSERT_EQ(OxaLib({"fav", "rename", "Party", "Dance"}).ExitCode, 0);
  ASSERT_EQ(OxaLib({"fav", "delete", "dance"}).ExitCode, 0);
  EXPECT_EQ(OxaLib({"list", "7"}).Output, "2\tOther (000 Empty)\n");
  // The deleted list's file is gone; the empty list never had one.
  const std::map<std::string, std::string> after = FavoritesFiles();
  EXPECT_EQ(after.size(), 1U);
  EXPECT_EQ(after.count("Favorites.oxa"), 1U);
}

}  // namespace
