// The settings unit: the library directory, the settings file's keys and the triangle window's
// registry values, on a throw-away machine whose C: is a scratch folder.
#include "scan/OxaMusicPlayerTypes.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Drives.h"
#include "platform/Metrics.h"
#include "rtl/Registry.h"
#include "tests/support/TempFolder.h"

namespace {

constexpr const char* ShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override
  {
    TDrive drive;
    drive.Letter = 'C';
    drive.Folder = FMachine.Scratch().string();
    drive.Type = DRIVE_FIXED;
    ASSERT_EQ(DeclareDriveTable({drive}), 0);
    SetUserValue(ShellFolders, "AppData", "C:\\Users\\me\\AppData");
    ResetSettingsFileName();
  }
  void TearDown() override { ResetSettingsFileName(); }

  static void SetUserValue(const std::string& key, const std::string& name, const std::string& value)
  {
    TRegistry registry;
    registry.SetRootKey(HKEY_CURRENT_USER);
    ASSERT_TRUE(registry.OpenKey(key, true));
    registry.WriteString(name, value);
  }
  static void SetTriangleValue(const std::string& name, int value)
  {
    TRegistry registry;
    registry.SetRootKey(HKEY_CURRENT_USER);
    ASSERT_TRUE(registry.OpenKey(std::string(TriangleRegistryKey), true));
    registry.WriteInteger(name, value);
  }
  static std::string UserValue(const std::string& key, const std::string& name)
  {
    TRegistry registry;
    registry.SetRootKey(HKEY_CURRENT_USER);
    if (!registry.OpenKey(key, false) || !registry.ValueExists(name)) {
      return "<missing>";
    }
    return registry.ReadString(name);
  }

  TTempMachine FMachine;
};

std::vector<std::string> Lines(const TStringList& list)
{
  std::vector<std::string> lines;
  for (int i = 0; i < list.Count(); ++i) {
    lines.push_back(list[i]);
  }
  return lines;
}

}  // namespace

TEST_F(SettingsTest, FirstRunPutsTheLibraryUnderApplicationData)
{
  EXPECT_EQ(GetDatabasePath(), "C:\\Users\\me\\AppData\\OxaMediaDatabase\\");
  EXPECT_EQ(UserValue(std::string(PlayerRegistryKey), "Database"),
            "C:\\Users\\me\\AppData\\OxaMediaDatabase");
  EXPECT_TRUE(std::filesystem::is_directory(FMachine.Scratch() / "Users/me/AppData/OxaMediaDatabase"));
  EXPECT_EQ(SettingsFileName(), "C:\\Users\\me\\AppData\\OxaMediaDatabase\\SearchInfomation.oxa");
}

TEST_F(SettingsTest, StoredDatabaseFolderIsCreatedWithItsParents)
{
  SetUserValue(std::string(PlayerRegistryKey), "Database", "C:\\Deep\\Er\\Library");
  EXPECT_EQ(GetDatabasePath(), "C:\\Deep\\Er\\Library\\");
  EXPECT_TRUE(std::filesystem::is_directory(FMachine.Scratch() / "Deep/Er/Library"));
}

TEST_F(SettingsTest, KeysAreSortedOnReadingExceptLastPlayed)
{
  TStringList roots;
  for (const char* root : {"D:\\music\\", "c:\\Zebra\\", "C:\\apple\\"}) {
    roots.Add(root);
  }
  WriteOption(TMusicOption::Roots, roots);
  TStringList read;
  ReadOption(TMusicOption::Roots, read);
  EXPECT_EQ(Lines(read), (std::vector<std::string>{"C:\\apple\\", "c:\\Zebra\\", "D:\\music\\"}));

  TLastPlayed item{5, 12, 345, "B Caption", 2};
  WriteLastPlayed(item);
  ReadOption(TMusicOption::LastPlayed, read);
  EXPECT_EQ(Lines(read), (std::vector<std::string>{"5", "12", "345", "B Caption", "2"}));
  TLastPlayed back;
  ASSERT_TRUE(ReadLastPlayed(back));
  EXPECT_EQ(back.FileId, 345);
  EXPECT_EQ(back.Caption, "B Caption");

  // Writing one key leaves the others alone.
  ReadOption(TMusicOption::Roots, read);
  EXPECT_EQ(read.Count(), 3);
}

TEST_F(SettingsTest, LastPlayedNeedsFiveParsableLines)
{
  TStringList lines;
  for (const char* line : {"5", "x", "3", "c", "1"}) {
    lines.Add(line);
  }
  WriteOption(TMusicOption::LastPlayed, lines);
  TLastPlayed item{1, 2, 3, "c", 4};
  EXPECT_FALSE(ReadLastPlayed(item));
  EXPECT_EQ(item.View, -1);
  lines.Delete(1);
  WriteOption(TMusicOption::LastPlayed, lines);
  EXPECT_FALSE(ReadLastPlayed(item));
}

TEST_F(SettingsTest, RandomIsOnOnlyForTheSingleLineOne)
{
  EXPECT_FALSE(ReadRandom());
  WriteRandom(true);
  EXPECT_TRUE(ReadRandom());
  TStringList lines;
  lines.Add("1");
  lines.Add("1");
  WriteOption(TMusicOption::Random, lines);
  EXPECT_FALSE(ReadRandom());
  WriteRandom(false);
  EXPECT_FALSE(ReadRandom());
}

TEST_F(SettingsTest, TriangleDefaultsAreWrittenAndBadValuesCorrected)
{
  const int screen = GetSystemMetrics(SM_CYSCREEN);
  TTriangleSettings first = ReadTriangleSettings();
  EXPECT_TRUE(first.AutoHide);
  EXPECT_EQ(first.Top, screen / 2);
  EXPECT_EQ(first.Height, 26);
  EXPECT_EQ(first.Width, 13);

  struct TCase {
    int Top, Height, Width, ExpectedTop, ExpectedHeight, ExpectedWidth;
  };
  const TCase cases[] = {
      {-5, 0, 0, screen / 2, 26, 13},
      {screen + 1, 40, 20, screen / 2, 40, 20},
      {screen, 1, 1, screen, 1, 1},
      {0, -3, 7, 0, -3, 7},
  };
  for (const auto& c : cases) {
    SetTriangleValue("Top", c.Top);
    SetTriangleValue("Height", c.Height);
    SetTriangleValue("Width", c.Width);
    const TTriangleSettings read = ReadTriangleSettings();
    EXPECT_EQ(read.Top, c.ExpectedTop) << c.Top;
    EXPECT_EQ(read.Height, c.ExpectedHeight) << c.Height;
    EXPECT_EQ(read.Width, c.ExpectedWidth) << c.Width;
  }
  // Corrections are not written back.
  SetTriangleValue("Top", -5);
  ReadTriangleSettings();
  TRegistry registry;
  registry.SetRootKey(HKEY_CURRENT_USER);
  ASSERT_TRUE(registry.OpenKey(std::string(TriangleRegistryKey), false));
  EXPECT_EQ(registry.ReadInteger("Top"), -5);

  WriteTriangleSettings(false, 10, 15, 30);
  const TTriangleSettings written = ReadTriangleSettings();
  EXPECT_FALSE(written.AutoHide);
  EXPECT_EQ(written.Top, 10);
  EXPECT_EQ(written.Width, 15);
  EXPECT_EQ(written.Height, 30);
}
