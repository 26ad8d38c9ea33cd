// oxa-lib walk, run as the user runs it, on a throw-away machine whose C: is a scratch folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "rtl/Registry.h"
#include "settings/OxaMusicPlayerTypes.h"
#include "tests/support/DeclaredDrives.h"
#include "tests/support/ProgramRun.h"

namespace {

TProgramRun OxaLib(const std::vector<std::string>& arguments)
{
  return RunProgram(OXA_LIB_PROGRAM, arguments);
}

class OxaLibWalkTest : public ::testing::Test {
 protected:
  OxaLibWalkTest()
  {
    TRegistry registry;
    registry.SetRootKey(HKEY_CURRENT_USER);
    registry.OpenKey("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", true);
    registry.WriteString("AppData", "C:\\AppData");
    ResetSettingsFileName();
    for (int i = 1; i <= 3; ++i) {
      Put("Music/Album/track" + std::to_string(i) + ".mp3", 4000);
    }
    for (int i = 1; i <= 7; ++i) {
      Put("Docs/note" + std::to_string(i) + ".txt", 10);
    }
  }
  ~OxaLibWalkTest() override { ResetSettingsFileName(); }

  void Put(const std::string& relative, std::uintmax_t size) const
  {
    const auto path = FMachine.DriveFolder('C') / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).put('x');
    std::filesystem::resize_file(path, size);
  }

  TDeclaredMachine FMachine;
};

}  // namespace

TEST_F(OxaLibWalkTest, FullWalkShowsRootsCutsAndMusicFiles)
{
  const TProgramRun run = OxaLib({"walk", "C:", "--files"});
  EXPECT_EQ(run.ExitCode, 0) << run.Output;
  // The music lies in one leaf folder: that folder is the root, not the drive.
  EXPECT_TRUE(run.Output.starts_with("Roots:\n  C:\\Music\\Album\\\nCuts:\nMusic files: 3\n")) << run.Output;
  for (int i = 1; i <= 3; ++i) {
    EXPECT_NE(run.Output.find("C:\\Music\\Album\\track" + std::to_string(i) + ".mp3\n"), std::string::npos);
  }

  const TProgramRun json = OxaLib({"walk", "C:\\Music\\", "--json"});
  EXPECT_EQ(json.ExitCode, 0);
  EXPECT_EQ(json.Output, "{\"roots\":[\"C:\\\\Music\\\\Album\\\\\"],\"cuts\":[],\"musicFiles\":3}\n");
}

TEST_F(OxaLibWalkTest, UpdateWalkFollowsTheStoredRootsAndCuts)
{
  TStringList roots;
  roots.Add("C:\\");
  WriteOption(TMusicOption::Roots, roots);
  TStringList cuts;
  cuts.Add("C:\\Music\\");
  WriteOption(TMusicOption::Cuts, cuts);
  Put("top.mp3", 4000);

  const TProgramRun run = OxaLib({"walk", "--update", "--files"});
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Output, "Roots:\n  C:\\\nCuts:\n  C:\\Music\\\nMusic files: 1\nC:\\top.mp3\n");
}

TEST_F(OxaLibWalkTest, UsageAndDrivesThatAreNotReady)
{
  EXPECT_EQ(OxaLib({"walk"}).ExitCode, 2);
  EXPECT_EQ(OxaLib({"walk", "C:", "--update"}).ExitCode, 2);
  EXPECT_EQ(OxaLib({"walk", "Q:"}).ExitCode, 1);
  // A folder that is not there, or a file, is not an empty walk.
  const TProgramRun missing = OxaLib({"walk", "C:\\Nowhere"});
  EXPECT_EQ(missing.ExitCode, 1);
  EXPECT_EQ(missing.Output, "");
  Put("Music/file.mp3", 4000);
  EXPECT_EQ(OxaLib({"walk", "C:\\Music\\file.mp3"}).ExitCode, 1);
  EXPECT_EQ(OxaLib({"walk", "C:\\Music"}).ExitCode, 0);
}

TEST_F(OxaLibWalkTest, DrivesShowTheSearchOptionsOnRequest)
{
  const TProgramRun run = OxaLib({"drives", "--options"});
  EXPECT_EQ(run.ExitCode, 0);
  std::string options = run.Output.substr(std::min(run.Output.find("Search options:"), run.Output.size()));
  // The RAM disk's size is measured on the host; only its form is fixed.
  const auto ram = options.find("  R:\\  RAM disk  ");
  ASSERT_NE(ram, std::string::npos) << options;
  const auto ramEnd = options.find('\n', ram);
  EXPECT_TRUE(options.substr(ram, ramEnd - ram).ends_with(" MB  \"RAM\""));
  options.erase(ram, ramEnd + 1 - ram);
  EXPECT_EQ(options,
            "Search options:\n"
            "  C:\\  fixed disk  10240 MB  \"System\"\n"
            "  D:\\  CD-ROM  \"Compact disc\"\n"
            "  E:\\  removable\n"
            "  N:\\  network  \"Network drive\"\n"
            "  Z:\\  unknown\n"
            "White drives: C:\\\n"
            "Grey drives:\n"
            "Masks: .mp3 .wav .wma .flac .ogg .oga .opus .m4a\n");
  EXPECT_EQ(OxaLib({"drives"}).Output.find("Search options:"), std::string::npos);
}
