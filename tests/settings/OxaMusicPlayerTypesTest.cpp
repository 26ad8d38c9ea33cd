// The settings unit: the library directory, the settings file's keys and the triangle window's
// registry values, on a throw-away machine whose C: is a scratch folder.
#include "settings/OxaMusicPlayerTypes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/core/FaultInjection.h"
#include "platform/files/Drives.h"
#include "platform/windows/Metrics.h"
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

// A host path, as a user or a script writes one, names the same folder in its Windows form; the
// library's files are never named with it glued to a Windows name.
TEST_F(SettingsTest, AHostPathAsTheLibraryFolderIsTakenInItsWindowsForm)
{
  const std::string host = (FMachine.Scratch() / "Host" / "Lib").string();
  SetUserValue(std::string(PlayerRegistryKey), "Database", host);
  EXPECT_EQ(GetDatabasePath(), "C:\\Host\\Lib\\");
  EXPECT_EQ(SettingsFileName(), "C:\\Host\\Lib\\SearchInfomation.oxa");
  EXPECT_TRUE(std::filesystem::is_directory(FMachine.Scratch() / "Host" / "Lib"));
  EXPECT_EQ(UserValue(std::string(PlayerRegistryKey), "Database"), host);
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

TEST_F(SettingsTest, ALibraryFolderThatCannotBeMadeFallsBackAndOptionsAnswerAtOnce)
{
  // Q: is not a drive of this machine: the folder cannot be made, so the library goes beside
  // the program, and the settings file's lock is not retried for minutes.
  SetUserValue(std::string(PlayerRegistryKey), "Database", "Q:\\Library");
  const std::string path = GetDatabasePath();
  EXPECT_EQ(path.substr(0, 3), "Z:\\");
  EXPECT_EQ(path.substr(path.size() - DatabaseFolderName.size() - 1), std::string(DatabaseFolderName) + "\\");
  EXPECT_EQ(UserValue(std::string(PlayerRegistryKey), "Database"), "Q:\\Library");

  FailNthPlatformCall(0);
  TStringList roots;
  ReadOption(TMusicOption::Roots, roots);
  EXPECT_EQ(roots.Count(), 0);
  EXPECT_LT(CountedPlatformCalls(), 20U);
}

// Values of the wrong type, as a hand edit or another program leaves them: each reads as its
// default, and what the program itself writes is put right.
TEST_F(SettingsTest, WronglyTypedValuesReadAsTheirDefaults)
{
  const int screen = GetSystemMetrics(SM_CYSCREEN);
  const std::string appDataLibrary = "C:\\Users\\me\\AppData\\OxaMediaDatabase";
  struct TCase {
    HKEY Root;
    std::string Key;
    std::string Name;
    bool AsText;  // stored as text where a number belongs, else as a number where text belongs
    std::function<std::string()> Read;
    std::string Expected;
    bool Corrected;  // the value is rewritten with its proper type
  };
  const auto triangle = [](int TTriangleSettings::*field) {
    return [field] { return std::to_string(ReadTriangleSettings().*field); };
  };
  const std::string triangleKey(TriangleRegistryKey);
  const TCase cases[] = {
      {HKEY_CURRENT_USER, std::string(PlayerRegistryKey), "Database", false, [] { return GetDatabasePath(); },
       appDataLibrary + "\\", true},
      {HKEY_CURRENT_USER, triangleKey, "Top", true, triangle(&TTriangleSettings::Top),
       std::to_string(screen / 2), true},
      {HKEY_CURRENT_USER, triangleKey, "Height", true, triangle(&TTriangleSettings::Height), "26", true},
      {HKEY_CURRENT_USER, triangleKey, "Width", true, triangle(&TTriangleSettings::Width), "13", true},
      {HKEY_CURRENT_USER, triangleKey, "AutoHide", true,
       [] { return std::string(ReadTriangleSettings().AutoHide ? "on" : "off"); }, "on", true},
      {HKEY_CURRENT_USER, ShellFolders, "Desktop", false, [] { return GetDesktopPath(); }, "", false},
      {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "CommonFilesDir", false,
       [] { return GetCommonFilesPath(); }, "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    {
      TRegistry registry;
      registry.SetRootKey(c.Root);
      ASSERT_TRUE(registry.OpenKey(c.Key, true));
      if (c.AsText) {
        registry.WriteString(c.Name, "twelve");
      } else {
        registry.WriteInteger(c.Name, 12);
      }
    }
    std::string read;
    ASSERT_NO_THROW(read = c.Read());
    EXPECT_EQ(read, c.Expected);
    TRegistry registry;
    registry.SetRootKey(c.Root);
    ASSERT_TRUE(registry.OpenKey(c.Key, false));
    if (c.Corrected) {
      EXPECT_NO_THROW(c.AsText ? registry.ReadInteger(c.Name) : (registry.ReadString(c.Name), 0));
    }
  }
  // A shell folder of the wrong type is no folder: the library falls back beside the program.
  SetUserValue(std::string(PlayerRegistryKey), "Database", "");
  {
    TRegistry registry;
    registry.SetRootKey(HKEY_CURRENT_USER);
    ASSERT_TRUE(registry.OpenKey(ShellFolders, true));
    registry.WriteInteger("AppData", 3);
  }
  std::string path;
  ASSERT_NO_THROW(path = GetDatabasePath());
  EXPECT_EQ(path.substr(0, 3), "Z:\\");
}

TEST_F(SettingsTest, AHiveThatRefusesWritesNeverStopsStartUp)
{
  // The Nth registry or file call fails, for every N the two reads make.
  for (std::uint32_t n = 1;; ++n) {
    SCOPED_TRACE(n);
    TTempMachine machine;
    TDrive drive;
    drive.Letter = 'C';
    drive.Folder = machine.Scratch().string();
    drive.Type = DRIVE_FIXED;
    ASSERT_EQ(DeclareDriveTable({drive}), 0);
    SetUserValue(ShellFolders, "AppData", "C:\\AppData");
    FailNthPlatformCall(n);
    std::string path;
    EXPECT_NO_THROW(path = GetDatabasePath());
    EXPECT_FALSE(path.empty());
    TTriangleSettings settings;
    EXPECT_NO_THROW(settings = ReadTriangleSettings());
    EXPECT_EQ(settings.Height, 26);
    const bool done = CountedPlatformCalls() < n;
    FailNthPlatformCall(0);
    if (done) {
      break;
    }
  }
}

namespace {

std::vector<std::string> LinesOf(const TStringList& list)
{
  std::vector<std::string> lines;
  for (int i = 0; i < list.Count(); ++i) {
    lines.push_back(list[i]);
  }
  return lines;
}

TEST_F(SettingsTest, SeveralKeysAreReadAndWrittenInOneLook)
{
  TStringList random;
  random.Add("1");
  WriteOption(TMusicOption::Random, random);
  TStringList roots;
  roots.Add("D:\\b\\");
  roots.Add("C:\\a\\");
  TStringList cuts;
  cuts.Add("C:\\a\\x\\");
  TStringList empty;
  const TOptionSource written[] = {
      {TMusicOption::Roots, &roots}, {TMusicOption::Cuts, &cuts}, {TMusicOption::GreyDrives, &empty}};
  WriteOptions(written);

  TStringList readRoots;
  TStringList readCuts;
  TStringList readGrey;
  readGrey.Add("stale");
  TStringList readRandom;
  const TOptionTarget read[] = {{TMusicOption::Roots, &readRoots},
                                {TMusicOption::Cuts, &readCuts},
                                {TMusicOption::GreyDrives, &readGrey},
                                {TMusicOption::Random, &readRandom}};
  ReadOptions(read);
  EXPECT_EQ(LinesOf(readRoots), (std::vector<std::string>{"C:\\a\\", "D:\\b\\"}))
      << "sorted as ReadOption sorts";
  EXPECT_EQ(LinesOf(readCuts), std::vector<std::string>{"C:\\a\\x\\"});
  EXPECT_TRUE(LinesOf(readGrey).empty());
  EXPECT_EQ(LinesOf(readRandom), std::vector<std::string>{"1"}) << "a key not written is kept";
}

}  // namespace
