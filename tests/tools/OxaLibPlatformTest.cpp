#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/DeclaredDrives.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TempFolder.h"

namespace {

TProgramRun OxaLib(const std::vector<std::string>& arguments)
{
  return RunProgram(OXA_LIB_PROGRAM, arguments);
}

TEST(OxaLibPlatform, DrivesListTheDeclaredTable)
{
  const TDeclaredMachine machine;
  const TProgramRun run = OxaLib({"drives"});
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_NE(run.Output.find("C:  fixed  \"System\"  10240 MB  " + machine.DriveFolder('C').string()),
            std::string::npos)
      << run.Output;
  EXPECT_NE(run.Output.find("N:  network  \"\""), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("\\\\server\\music"), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("Z:  no root dir"), std::string::npos) << run.Output;
}

TEST(OxaLibPlatform, PathsTranslateBothWays)
{
  const TDeclaredMachine machine;
  const auto c = machine.DriveFolder('C').string();
  std::filesystem::create_directories(c + "/Music");
  EXPECT_EQ(OxaLib({"path", "C:\\Music\\a.mp3"}).Output, c + "/Music/a.mp3\n");
  EXPECT_EQ(OxaLib({"path", "--host", c + "/Music"}).Output, "C:\\Music\n");
  EXPECT_EQ(OxaLib({"path", "--json", "N:\\x"}).Output,
            "{\"windows\":\"N:\\\\x\",\"unc\":\"\\\\\\\\server\\\\music\\\\x\",\"host\":\"" +
                machine.DriveFolder('N').string() + "/x\"}\n");
  EXPECT_EQ(OxaLib({"path", "Q:\\x"}).ExitCode, 1);
  EXPECT_EQ(OxaLib({"path"}).ExitCode, 2);
}

TEST(OxaLibPlatform, RegistryValuesAreSetReadAndListed)
{
  const TTempMachine machine;
  EXPECT_EQ(OxaLib({"reg", "set", "HKCU\\Software\\Kestrom\\OxaPlayer", "Database", "C:\\Lib\\"}).ExitCode,
            0);
  EXPECT_EQ(OxaLib({"reg", "set", "Software\\Kestrom\\OxaPlayer\\TriangleSettings", "Top", "300", "--type",
                    "dword"})
                .ExitCode,
            0);
  EXPECT_EQ(OxaLib({"reg", "get", "HKEY_CURRENT_USER\\software\\kestrom\\oxaplayer", "DATABASE"}).Output,
            "C:\\Lib\\\n");
  EXPECT_EQ(OxaLib({"reg", "get", "HKCU\\Software\\Kestrom\\OxaPlayer\\TriangleSettings", "Top"}).Output,
            "300\n");
  EXPECT_EQ(OxaLib({"reg", "list", "HKCU\\Software\\Kestrom\\OxaPlayer"}).Output,
            "TriangleSettings\\\nDatabase = C:\\Lib\\  (sz)\n");
  EXPECT_EQ(OxaLib({"reg", "get", "HKCU\\Software\\Kestrom\\OxaPlayer", "Missing"}).ExitCode, 1);
  EXPECT_EQ(OxaLib({"reg", "set", "HKCU\\X", "v", "zz", "--type", "binary"}).ExitCode, 2);
  EXPECT_EQ(OxaLib({"reg", "set", "HKLM\\X", "v", "00ff", "--type", "binary"}).ExitCode, 0);
  EXPECT_EQ(OxaLib({"reg", "get", "HKLM\\X", "v"}).Output, "00ff\n");
}

// display and skin run in the screen program beside oxa-lib: its output, its exit code and every
// argument as given, blanks, quotes and backslashes included.
TEST(OxaLibPlatform, ScreenCommandsRunBesideItWithTheirArgumentsWhole)
{
  // The memory screen, whatever DISPLAY the tests run under.
  setenv("OXA_DISPLAY", "headless", 1);
  const TProgramRun display = OxaLib({"display", "--json"});
  unsetenv("OXA_DISPLAY");
  EXPECT_EQ(display.ExitCode, 0);
  EXPECT_NE(display.Output.find("\"backEnd\":\"headless\""), std::string::npos) << display.Output;

  const TTempFolder folder;
  const std::filesystem::path picture = folder.Path() / "a\\\"b c\\.png";
  const TProgramRun show = OxaLib({"skin", "show", "ALB-212", "--png", picture.string()});
  EXPECT_EQ(show.ExitCode, 0);
  EXPECT_TRUE(std::filesystem::exists(picture)) << picture;

  EXPECT_EQ(OxaLib({"skin", "show", "No such image", "--png", picture.string()}).ExitCode, 1);
  EXPECT_EQ(OxaLib({"skin"}).ExitCode, 2);
  EXPECT_EQ(OxaLib({"display", "extra"}).ExitCode, 2);
}

}  // namespace
