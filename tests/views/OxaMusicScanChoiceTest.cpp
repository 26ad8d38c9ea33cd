// START's changes to the stored scan lists, on a throw-away machine.
#include "views/scan/OxaMusicScanChoice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rtl/Registry.h"
#include "settings/OxaMusicPlayerTypes.h"
#include "tests/support/DeclaredDrives.h"

namespace {

class TSettingsMachine : public TDeclaredMachine {
 public:
  TSettingsMachine()
  {
    TRegistry registry;
    registry.SetRootKey(HKEY_CURRENT_USER);
    registry.OpenKey("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", true);
    registry.WriteString("AppData", "C:\\AppData");
    ResetSettingsFileName();
  }
  ~TSettingsMachine() { ResetSettingsFileName(); }
};

std::vector<std::string> Stored(TMusicOption key)
{
  TStringList list;
  ReadOption(key, list);
  std::vector<std::string> lines;
  for (int i = 0; i < list.Count(); ++i) {
    lines.push_back(list[i]);
  }
  return lines;
}

void Store(TMusicOption key, const std::vector<std::string>& lines)
{
  TStringList list;
  for (const std::string& line : lines) {
    list.Add(line);
  }
  WriteOption(key, list);
}

using TLines = std::vector<std::string>;

class OxaMusicScanChoice : public ::testing::Test {
 protected:
  void SetUp() override
  {
    Store(TMusicOption::WhiteDrives, {"C:\\", "E:\\"});
    Store(TMusicOption::GreyDrives, {"C:\\", "E:\\"});
    Store(TMusicOption::Roots, {"C:\\Music\\", "C:\\Other\\", "E:\\"});
    Store(TMusicOption::Cuts, {"C:\\Music\\Big\\", "E:\\Tmp\\"});
  }
  TSettingsMachine Machine;
};

TEST_F(OxaMusicScanChoice, NoOptionStoresTheCheckedDrives)
{
  const TOxaScanStartResult result = OxaApplyScanStart({"C:\\", "D:\\"}, TOxaScanOption::None);
  EXPECT_EQ(result.Event, TOxaScanEvent::Start);
  EXPECT_EQ(Stored(TMusicOption::WhiteDrives), (TLines{"C:\\", "D:\\"}));
  // The other lists are the scan's business.
  EXPECT_EQ(Stored(TMusicOption::GreyDrives), (TLines{"C:\\", "E:\\"}));
}

TEST_F(OxaMusicScanChoice, NothingCheckedStoresAnEmptyList)
{
  OxaApplyScanStart({}, TOxaScanOption::None);
  EXPECT_TRUE(Stored(TMusicOption::WhiteDrives).empty());
}

TEST_F(OxaMusicScanChoice, RemoveTakesTheDrivesOutOfEveryScanList)
{
  const TOxaScanStartResult result = OxaApplyScanStart({"c:\\"}, TOxaScanOption::DontShow);
  EXPECT_EQ(result.Event, TOxaScanEvent::Remove);
  EXPECT_EQ(result.Status, "Remove files");
  EXPECT_EQ(Stored(TMusicOption::DeleteFiles), (TLines{"c:\\"}));
  EXPECT_EQ(Stored(TMusicOption::WhiteDrives), (TLines{"E:\\"}));
  EXPECT_EQ(Stored(TMusicOption::GreyDrives), (TLines{"E:\\"}));
  EXPECT_EQ(Stored(TMusicOption::Roots), (TLines{"E:\\"}));
  EXPECT_EQ(Stored(TMusicOption::Cuts), (TLines{"E:\\Tmp\\"}));
  EXPECT_TRUE(Stored(TMusicOption::UnhideFiles).empty());
}

TEST_F(OxaMusicScanChoice, ShowRemovedPutsTheDrivesBackForTheUpdateScan)
{
  OxaApplyScanStart({"C:\\"}, TOxaScanOption::DontShow);
  const TOxaScanStartResult result = OxaApplyScanStart({"C:\\"}, TOxaScanOption::ShowRemoved);
  EXPECT_EQ(result.Event, TOxaScanEvent::Unhide);
  EXPECT_EQ(result.Status, "Unhide files");
  EXPECT_EQ(Stored(TMusicOption::UnhideFiles), (TLines{"C:\\"}));
  EXPECT_EQ(Stored(TMusicOption::GreyDrives), (TLines{"C:\\", "E:\\"}));
  // With its roots gone, the drive itself is walked.
  EXPECT_EQ(Stored(TMusicOption::Roots), (TLines{"C:\\", "E:\\"}));
  EXPECT_EQ(Stored(TMusicOption::WhiteDrives), (TLines{"E:\\"}));
  // Shown again, the drive is no longer one whose tracks are removed, and the other way round.
  EXPECT_TRUE(Stored(TMusicOption::DeleteFiles).empty());
  OxaApplyScanStart({"C:\\"}, TOxaScanOption::DontShow);
  EXPECT_TRUE(Stored(TMusicOption::UnhideFiles).empty());
  EXPECT_EQ(Stored(TMusicOption::DeleteFiles), (TLines{"C:\\"}));
}

TEST_F(OxaMusicScanChoice, ShowRemovedKeepsRootsThatAreStillThere)
{
  OxaApplyScanStart({"E:\\"}, TOxaScanOption::ShowRemoved);
  EXPECT_EQ(Stored(TMusicOption::Roots), (TLines{"C:\\Music\\", "C:\\Other\\", "E:\\"}));
  EXPECT_EQ(Stored(TMusicOption::Cuts), (TLines{"C:\\Music\\Big\\", "E:\\Tmp\\"}));
  EXPECT_EQ(Stored(TMusicOption::GreyDrives), (TLines{"C:\\", "E:\\"}));
}

TEST(OxaMusicScanChoiceDrives, OnDrivesComparesTheFirstThreeCharacters)
{
  EXPECT_TRUE(OxaOnDrives("c:\\Music\\", {"C:\\"}));
  EXPECT_FALSE(OxaOnDrives("CD:\\", {"C:\\"}));
  EXPECT_FALSE(OxaOnDrives("D:\\Music\\", {"C:\\"}));
  EXPECT_FALSE(OxaOnDrives("C:\\", {}));
}

}  // namespace
