// The scan panel's nodes on the compiled skin: rows and their check images, the option group,
// the drive box, the status line, the progress bar, and the view's attach, START, STOP and keys.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/windows/DisplayTesting.h"
#include "platform/windows/Input.h"
#include "settings/OxaMusicPlayerTypes.h"
#include "skin/OxaSkin.h"
#include "tests/support/DeclaredDrives.h"
#include "views/OxaMusicScanAssets.h"
#include "views/scan/OxaMusicScanView.h"

namespace {

std::string FatalText(const std::function<void()>& action)
{
  try {
    action();
  } catch (const EOxaFatal& e) {
    return e.what();
  }
  return "";
}

TOxaScanDrive Drive(const char* root, TDriveKind kind, std::int64_t size = 0)
{
  TOxaScanDrive drive;
  drive.Root = root;
  drive.Kind = kind;
  drive.Size = size;
  drive.Ready = true;
  return drive;
}

std::vector<TOxaScanDrive> Drives()
{
  return {Drive("C:\\", TDriveKind::dkFixed, 10LL << 30), Drive("D:\\", TDriveKind::dkCDRom),
          Drive("E:\\", TDriveKind::dkRemovable), Drive("F:\\", TDriveKind::dkFixed, 1LL << 30)};
}

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

struct TEvents {
  std::vector<std::string> Seen;
  void Start(TOxaBitmap*) { Seen.push_back("start"); }
  void Unhide(TOxaBitmap*) { Seen.push_back("unhide"); }
  void Remove(TOxaBitmap*) { Seen.push_back("remove"); }
};

class OxaMusicScanTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { UseHeadlessDisplay(); }
  void SetUp() override
  {
    ResetSettingsFileName();
    View->Panel()->SetAssets(*Assets);
    View->SetBounds(0, 0, 400, 600);
    View->SetDrives(Drives());
    View->OnStart = MakeMethod<&TEvents::Start>(&Events);
    View->OnUnhide = MakeMethod<&TEvents::Unhide>(&Events);
    View->OnRemove = MakeMethod<&TEvents::Remove>(&Events);
  }
  void TearDown() override { ResetSettingsFileName(); }

  TOxaMusicScanScrollbox* Box() const { return View->Panel()->Drives(); }
  TOxaButton* StartButton() const { return View->Panel()->Buttons()->StartButton(); }
  TOxaButton* StopButton() const { return View->Panel()->Buttons()->StopButton(); }

  TDeclaredMachine Machine;
  std::unique_ptr<TOxaMusicScanAssetsForm> Assets{new TOxaMusicScanAssetsForm(nullptr, &OxaSkinStore)};
  TOwnedObject<TOxaMusicScanView> View{new TOxaMusicScanView(nullptr)};
  TEvents Events;
};

TEST_F(OxaMusicScanTest, RowsAreIndexedWithinTheirCount)
{
  ASSERT_EQ(Box()->Count(), 4);
  EXPECT_EQ(Box()->GetItem(3)->Drive().Root, "F:\\");
  EXPECT_EQ(FatalText([&] { Box()->GetItem(4); }),
            "TOxaMusicScanScrollbox.GetItem: Index out of bounds (Index = 4, Count = 4)");
  EXPECT_EQ(FatalText([&] { Box()->GetItem(-1); }),
            "TOxaMusicScanScrollbox.GetItem: Index out of bounds (Index = -1, Count = 4)");
  EXPECT_EQ(FatalText([&] { View->Panel()->Options()->Options(2); }),
            "TOxaMusicScanRadiobuttonGroup.GetItem: Index out of bounds (Index = 2, Count = 2)");
  EXPECT_EQ(Box()->GetItem(0)->Caption(), "Fixed drive on C: (10240 MB)");
}

TEST_F(OxaMusicScanTest, CheckImagesFollowStateAndCheck)
{
  TOxaMusicScanCheckboxItem* row = Box()->GetItem(0);
  struct TCase {
    bool Checked;
    bool Active;
    const char* Name;
  };
  const TCase cases[] = {{false, false, "CHECKBOXN"},
                         {true, false, "CHECKBOXNS"},
                         {false, true, "CHECKBOXNA"},
                         {true, true, "CHECKBOXNAS"}};
  for (const TCase& c : cases) {
    row->SetChecked(c.Checked);
    row->SetActive(c.Active);
    EXPECT_EQ(row->CheckImageName(), c.Name);
    EXPECT_EQ(row->CheckImage()->Width(), 15) << c.Name;
    EXPECT_EQ(row->CheckImage()->GetPixel(7, 7), Assets->ScanBitmaps->Find(c.Name)->GetPixel(7, 7)) << c.Name;
  }
  row->SetActive(false);
  row->SetChecked(false);
  row->Click();
  EXPECT_TRUE(row->Checked());
  row->SetDisabled(true);
  row->Click();
  EXPECT_TRUE(row->Checked());
  EXPECT_EQ(View->Panel()->Options()->Options(0)->CheckImageName(), "RADIOBUTTONN");
}

TEST_F(OxaMusicScanTest, OptionsAreExclusiveAndClearedByASecondClick)
{
  TOxaMusicScanRadiobuttonGroup* options = View->Panel()->Options();
  ASSERT_EQ(options->Count(), 2);
  EXPECT_EQ(options->Options(0)->Caption(), "Show previously removed tracks from selected drives");
  EXPECT_EQ(options->Options(1)->Caption(), "Don\xE2\x80\x98t show tracks from selected drives");
  EXPECT_EQ(options->ItemIndex(), -1);
  options->Options(1)->Click();
  EXPECT_EQ(options->ItemIndex(), 1);
  EXPECT_TRUE(options->Options(1)->Checked());
  options->Options(0)->Click();
  EXPECT_EQ(options->ItemIndex(), 0);
  EXPECT_FALSE(options->Options(1)->Checked());
  options->Options(0)->Click();
  EXPECT_EQ(options->ItemIndex(), -1);
  EXPECT_EQ(View->Option(), TOxaScanOption::None);
  options->SetItemIndex(5);
  EXPECT_EQ(options->ItemIndex(), -1);
}

TEST_F(OxaMusicScanTest, ProgressFillsWidthTimesPercentDiv100)
{
  struct TCase {
    int Width;
    int Percent;
    int Filled;
  };
  const TCase cases[] = {{200, 0, 0},  {200, 40, 80}, {200, 100, 200}, {200, 101, 200},
                         {200, -1, 0}, {199, 50, 99}, {3, 99, 2},      {0, 50, 0}};
  for (const TCase& c : cases) {
    EXPECT_EQ(TOxaMusicScanProgressBar::FilledWidth(c.Width, c.Percent), c.Filled)
        << c.Width << " " << c.Percent;
  }
  TOxaMusicScanProgressBar* bar = View->Panel()->Progress();
  bar->SetActive(true);
  bar->SetPercent(40);
  const int filled = TOxaMusicScanProgressBar::FilledWidth(bar->Width(), 40);
  ASSERT_GT(filled, 0);
  EXPECT_EQ(bar->GetPixel(filled - 1, 2) & 0xFFFFFF, 13055u);
  EXPECT_EQ(bar->GetPixel(filled, 2) & 0xFFFFFF, 0u);
  bar->SetActive(false);
  EXPECT_EQ(bar->GetPixel(0, 2) & 0xFFFFFF, 0u);
}

TEST_F(OxaMusicScanTest, StatusShowsTextAndAShortenedPath)
{
  TOxaMusicScanStatus* status = View->Panel()->Status();
  EXPECT_EQ(status->Caption(), "Hit ctrl+x for additional options\r");
  std::string path = "C:";
  for (int i = 0; i < 40; ++i) {
    path += "\\Folder number " + std::to_string(i);
  }
  path += "\\track.mp3";
  status->SetStatus("Update scan", path, false);
  const std::string caption = status->Caption();
  ASSERT_EQ(caption.substr(0, 12), "Update scan\r");
  const std::string shown = caption.substr(12);
  EXPECT_EQ(shown.substr(0, 4), "...\\");
  EXPECT_EQ(shown.substr(shown.size() - 10), "\\track.mp3");
  EXPECT_LT(status->TextWidth(shown), status->Width() - 2 * status->Label()->HorzMargin());
  status->SetStatus("Update scan", "C:\\a.mp3", false);
  EXPECT_EQ(status->Caption(), "Update scan\rC:\\a.mp3");
}

TEST_F(OxaMusicScanTest, IdleWithNothingStoredChecksTheFixedDisks)
{
  View->ShowScanState(false, TScanMode::Full);
  std::vector<std::string> expected = {"C:\\", "F:\\"};
  EXPECT_EQ(View->CheckedRoots(), expected);
  EXPECT_FALSE(StartButton()->Disabled());
  EXPECT_TRUE(StopButton()->Disabled());
  EXPECT_FALSE(View->Panel()->Progress()->Active());

  TStringList stored;
  stored.Add("E:\\");
  WriteOption(TMusicOption::WhiteDrives, stored);
  View->ShowScanState(false, TScanMode::Full);
  EXPECT_EQ(View->CheckedRoots(), std::vector<std::string>{"E:\\"});
}

TEST_F(OxaMusicScanTest, ARunningScanShowsItsDrivesOrUpdateScan)
{
  TStringList stored;
  stored.Add("D:\\");
  WriteOption(TMusicOption::WhiteDrives, stored);
  View->ShowScanState(true, TScanMode::Full);
  EXPECT_EQ(View->CheckedRoots(), std::vector<std::string>{"D:\\"});
  EXPECT_TRUE(StartButton()->Disabled());
  EXPECT_FALSE(StopButton()->Disabled());
  EXPECT_TRUE(View->Panel()->Progress()->Active());
  View->ShowScanState(true, TScanMode::Update);
  EXPECT_EQ(View->Panel()->Status()->Caption(), "Update scan\r");
}

TEST_F(OxaMusicScanTest, StartWithNothingCheckedStoresAnEmptyList)
{
  TStringList stored;
  stored.Add("C:\\");
  WriteOption(TMusicOption::WhiteDrives, stored);
  View->Start();
  EXPECT_TRUE(Stored(TMusicOption::WhiteDrives).empty());
  EXPECT_EQ(Events.Seen, std::vector<std::string>{"start"});
  EXPECT_FALSE(StartButton()->Disabled());
  EXPECT_FALSE(StopButton()->Disabled());
}

TEST_F(OxaMusicScanTest, RemoveOptionRaisesRemoveOnce)
{
  Box()->GetItem(0)->SetChecked(true);
  View->Panel()->Options()->SetItemIndex(1);
  StartButton()->Click();
  EXPECT_EQ(Events.Seen, std::vector<std::string>{"remove"});
  EXPECT_EQ(View->Panel()->Status()->Caption(), "Remove files\r");
  EXPECT_EQ(Stored(TMusicOption::DeleteFiles), std::vector<std::string>{"C:\\"});
  EXPECT_TRUE(StartButton()->Disabled());

  Events.Seen.clear();
  View->Panel()->Options()->SetItemIndex(0);
  View->Start();
  EXPECT_EQ(Events.Seen, std::vector<std::string>{"unhide"});
  EXPECT_EQ(View->Panel()->Status()->Caption(), "Unhide files\r");
}

TEST_F(OxaMusicScanTest, StopShowsScanStopped)
{
  View->ShowScanState(true, TScanMode::Full);
  View->Stop();
  EXPECT_TRUE(StopButton()->Disabled());
  EXPECT_FALSE(View->Panel()->Progress()->Active());
  EXPECT_EQ(View->Panel()->Status()->Caption(), "Scan stopped\r");
}

TEST_F(OxaMusicScanTest, KeysShowOptionsSwitchCaptionsAndShowCredits)
{
  struct TCase {
    WORD Key;
    TShiftState Shift;
    std::function<bool()> Effect;
  };
  const TCase cases[] = {
      {'X', ssCtrl, [this] { return View->Panel()->Options()->Visible(); }},
      {'X', ssCtrl | ssShift, [this] { return Box()->GetItem(0)->Caption() == "Fixed drive (C:)"; }},
      {'E', ssCtrl | ssAlt | ssShift, [this] { return View->Panel()->Credits()->Visible(); }},
  };
  for (const TCase& c : cases) {
    EXPECT_FALSE(c.Effect()) << c.Key << " " << c.Shift;
    WORD key = c.Key;
    View->KeyDown(key, c.Shift);
    EXPECT_EQ(key, 0);
    EXPECT_TRUE(c.Effect()) << c.Key << " " << c.Shift;
    key = c.Key;
    View->KeyDown(key, c.Shift);
    EXPECT_FALSE(c.Effect()) << c.Key << " " << c.Shift;
  }
  WORD other = 'X';
  View->KeyDown(other, ssAlt);
  EXPECT_EQ(other, 'X');
}

TEST_F(OxaMusicScanTest, TheDriveBoxScrollsWithinItsRows)
{
  std::vector<TOxaScanDrive> many;
  for (char letter = 'C'; letter <= 'Z'; ++letter) {
    many.push_back(Drive((std::string(1, letter) + ":\\").c_str(), TDriveKind::dkFixed, 1LL << 30));
  }
  View->SetDrives(many);
  TOxaMusicScanScrollbox* box = Box();
  const int overflow = box->Panel()->ContentHeight() - box->Height();
  ASSERT_GT(overflow, 0);
  EXPECT_TRUE(box->ScrollBar()->Visible());
  box->ScrollTo(overflow + 50);
  EXPECT_EQ(box->ScrollOffset(), overflow);
  box->ScrollTo(-5);
  EXPECT_EQ(box->ScrollOffset(), 0);
  bool handled = false;
  box->MouseWheel(0, -120, 1, 1, handled);
  EXPECT_TRUE(handled);
  EXPECT_EQ(box->ScrollOffset(), TOxaMusicScanItem::RowHeight);
  View->SetDrives(Drives());
  EXPECT_FALSE(Box()->ScrollBar()->Visible());
  EXPECT_EQ(Box()->ScrollOffset(), 0);
}

}  // namespace
