// oxa-lib settings, run as the user runs it, on a throw-away machine.
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

TProgramRun Settings(const std::vector<std::string>& arguments)
{
  std::vector<std::string> all{"settings"};
  all.insert(all.end(), arguments.begin(), arguments.end());
  return RunProgram(OXA_LIB_PROGRAM, all);
}

class OxaLibSettingsTest : public ::testing::Test {
 protected:
  OxaLibSettingsTest()
  {
    TRegistry registry;
    registry.SetRootKey(HKEY_CURRENT_USER);
    registry.OpenKey("Software\\Kestrom\\OxaPlayer", true);
    registry.WriteString("Database", "C:\\Library");
  }

  TDeclaredMachine FMachine;
};

}  // namespace

TEST_F(OxaLibSettingsTest, SetGetAndListKeysOfTheLibrarySettings)
{
  EXPECT_EQ(Settings({}).ExitCode, 1) << "no settings file yet";
  EXPECT_EQ(Settings({"set", "roots", "C:\\Music\\", "D:\\"}).ExitCode, 0);
  EXPECT_EQ(Settings({"set", "Random", "1"}).ExitCode, 0);
  EXPECT_TRUE(std::filesystem::exists(FMachine.DriveFolder('C') / "Library" / "SearchInfomation.oxa"));

  const TProgramRun get = Settings({"get", "ROOTS", "--json"});
  EXPECT_EQ(get.ExitCode, 0);
  EXPECT_EQ(get.Output, "{\"Roots\":[\"C:\\\\Music\\\\\",\"D:\\\\\"]}\n");

  const TProgramRun all = Settings({});
  EXPECT_EQ(all.ExitCode, 0);
  EXPECT_NE(all.Output.find("Roots:\n  C:\\Music\\\n  D:\\\n"), std::string::npos) << all.Output;
  EXPECT_NE(all.Output.find("Random:\n  1\n"), std::string::npos) << all.Output;

  EXPECT_EQ(Settings({"set", "NoSuchKey", "x"}).ExitCode, 2);
  EXPECT_EQ(Settings({"frobnicate"}).ExitCode, 2);
}

TEST_F(OxaLibSettingsTest, DumpShowsNestingAndRefusesCorruptFiles)
{
  const auto good = FMachine.Scratch() / "good.oxa";
  {
    std::ofstream out(good, std::ios::binary);
    out << std::string(
        "\x02\x00\x00\x00L\x05\x00\x00\x00Roots\x01\x00\x00\x00N\x02\x00\x00\x00"
        "C:"
        "S\x04\x00\x00\x00"
        "Data\x02\x00\x00\x00\x01\xFF",
        40);
  }
  const TProgramRun dump = Settings({"dump", good.string()});
  EXPECT_EQ(dump.ExitCode, 0);
  EXPECT_EQ(dump.Output, "Roots:\n  C:\nData = 01FF\n");

  const auto bad = FMachine.Scratch() / "bad.oxa";
  std::ofstream(bad, std::ios::binary) << std::string("\x01\x00\x00\x00X", 5);
  EXPECT_EQ(Settings({"dump", bad.string()}).ExitCode, 1);
  EXPECT_EQ(Settings({"dump", (FMachine.Scratch() / "missing.oxa").string()}).ExitCode, 1);
}
