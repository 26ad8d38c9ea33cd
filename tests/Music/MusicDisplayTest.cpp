#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "Music/form/Music.h"
#include "Music/form/MusicDisplay.h"
#include "framework/OxaUtils.h"
#include "platform/files/Paths.h"
#include "platform/windows/DisplayTesting.h"
#include "platform/windows/InputEvents.h"
#include "platform/windows/Windows.h"
#include "settings/OxaMusicPlayerTypes.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TraceCapture.h"

namespace {

// The main window built in this process on a headless 800 by 600 screen and a fresh machine.
class TMusicDisplayTest : public ::testing::Test {
 protected:
  void SetUp() override
  {
    setenv("OXA_AUDIO", "null", 1);
    ResetSettingsFileName();
    UseHeadlessDisplay(800, 600);
    Application().Initialize();
  }
  void TearDown() override
  {
    Application().DestroyComponents();
    ResetSettingsFileName();
    unsetenv("OXA_AUDIO");
  }
  TMusicForm* Build(const std::vector<std::string>& arguments = {})
  {
    auto* form = Application().CreateForm<TMusicForm>(arguments);
    Application().ProcessMessages();
    return form;
  }
  static bool Shows(TWinControl* control) { return IsWindowVisible(control->Handle()) != 0; }

  TTempMachine FMachine;
};

TEST_F(TMusicDisplayTest, AnEmptyLibraryOpensTheBrowserOnTheScanPanel)
{
  TMusicForm* form = Build();
  ASSERT_TRUE(form->Running());
  EXPECT_EQ(form->DisplayMode(), 2);
  EXPECT_EQ(form->ScanPanel(), 2);
  EXPECT_TRUE(Shows(form->BrowserImage()));
  EXPECT_FALSE(Shows(form->TopImage()));
  EXPECT_FALSE(form->Triangle()->Shown());
  EXPECT_TRUE(form->ScanView()->Visible());
  EXPECT_EQ(form->ScanView()->Panel()->Status()->Caption().substr(0, 49), ScanPanelPrompt);
  // Both selectors offer the six views in slot order; the first list is on Folders (the
  // Playlists view is empty), the second on Playlists.
  for (TMusicListViewEx* list : {form->FirstList(), form->SecondList()}) {
    TMusicListHeader* header = list->Header();
    ASSERT_EQ(header->ViewCount(), 6);
    for (int index = 0; index < 6; ++index) {
      EXPECT_EQ(header->ViewKind(index), static_cast<TMusicListViewItemKinds>(index + 1));
    }
  }
  EXPECT_EQ(form->FirstList()->Header()->CurrentView(), TMusicListViewItemKinds::mlkFolder);
  EXPECT_EQ(form->SecondList()->Header()->CurrentView(), TMusicListViewItemKinds::mlkFavorite);
  // Something of the panel is drawn.
  int lit = 0;
  for (LONG y = 0; y < 600; y += 10) {
    for (LONG x = 0; x < 800; x += 10) {
      lit += ScreenPixel(x, y) != 0 ? 1 : 0;
    }
  }
  EXPECT_GT(lit, 0);
}

// The update scan reads every known file on the interface thread before its own thread runs: a
// start with roots presents its first frame before that, and still sets the scan going.
TEST_F(TMusicDisplayTest, TheStartUpdateScanWaitsForTheFirstFrameAndThenStarts)
{
  std::filesystem::create_directories(FMachine.Home() / "Music");
  TStringList roots;
  roots.Add(WindowsPathOf((FMachine.Home() / "Music").string()) + "\\");
  WriteOption(TMusicOption::Roots, roots);
  const TTraceCapture trace;
  const std::uint64_t presents = DisplayPresentCount();
  auto* form = Application().CreateForm<TMusicForm>(std::vector<std::string>{});
  ASSERT_TRUE(form->Running());
  EXPECT_TRUE(trace.Contains("Create: UpdateScan"));
  EXPECT_FALSE(trace.Contains("StartupScan")) << "not from the constructor";
  // Everything but the timers: the paints, so the first frame is up.
  MSG message{};
  while (PeekMessageA(&message, nullptr, 0, WM_TIMER - 1, PM_REMOVE) ||
         PeekMessageA(&message, nullptr, WM_TIMER + 1, ~0U, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  EXPECT_GT(DisplayPresentCount(), presents);
  EXPECT_FALSE(trace.Contains("StartupScan")) << "not before the first frame";
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!trace.Contains("StartupScan") && std::chrono::steady_clock::now() < giveUp) {
    Application().ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_TRUE(trace.Contains("StartupScan"));
}

TEST_F(TMusicDisplayTest, DisplayModesShowTheBrowserOrOnlyTheTriangle)
{
  TMusicForm* form = Build({"AFTERINSTALL"});
  ASSERT_TRUE(form->Running());
  EXPECT_EQ(form->DisplayMode(), 0) << "the installer's start keeps the mode";
  form->ToggleScanPanel(2);
  EXPECT_EQ(form->ScanPanel(), 0) << "the same presentation again closes it";

  const struct {
    std::uint8_t Mode;
    bool Browser;
  } cases[] = {{1, true}, {2, true}, {3, true}, {0, false}, {4, false}, {3, true}, {3, true}};
  for (const auto& entry : cases) {
    form->SetDisplayMode(entry.Mode);
    Application().ProcessMessages();
    EXPECT_EQ(form->DisplayMode(), entry.Mode == 4 ? 0 : entry.Mode) << "a mode beyond 3 is refused";
    EXPECT_EQ(Shows(form->BrowserImage()), entry.Browser) << int(entry.Mode);
    EXPECT_EQ(form->Triangle()->Shown(), !entry.Browser) << int(entry.Mode);
    RECT window{};
    GetWindowRect(form->Handle(), &window);
    EXPECT_EQ(window.right - window.left, entry.Browser ? 800 : 0) << int(entry.Mode);
    const bool both = form->DisplayMode() == 3;
    EXPECT_EQ(form->FirstList()->Visible(), entry.Browser) << int(entry.Mode);
    EXPECT_EQ(form->SecondList()->Visible(), both) << int(entry.Mode);
    EXPECT_EQ(form->FirstList()->Width(), both ? 400 : 800) << int(entry.Mode);
  }
  form->SetDisplayMode(0);
  form->ToggleScanPanel(1);
  EXPECT_TRUE(Shows(form->BrowserImage())) << "an open scan panel brings the browser up";
  EXPECT_EQ(form->ScanView()->Left(), 800 - TMusicView::InfoWidth);
  form->ToggleScanPanel(2);
  EXPECT_EQ(form->ScanPanel(), 2);
  EXPECT_EQ(form->ScanView()->Width(), 800);
}

void Key(unsigned long keysym, bool down)
{
  TInputEvent event;
  event.Kind = TInputKind::Key;
  event.Keysym = keysym;
  event.Down = down;
  DeliverInput(event);
}

TEST_F(TMusicDisplayTest, CtrlAltTTurnsAutoHideOver)
{
  constexpr unsigned long KeyT = 0x74;
  constexpr unsigned long KeyControl = 0xFFE3;
  constexpr unsigned long KeyAlt = 0xFFE9;
  constexpr unsigned long KeyShift = 0xFFE1;
  TMusicForm* form = Build({"AFTERINSTALL"});
  SetFocus(form->Handle());
  Application().ProcessMessages();
  const bool before = form->Triangle()->AutoHide;
  const struct {
    std::vector<unsigned long> Held;
    bool Turned;
  } cases[] = {{{}, false},
               {{KeyControl}, false},
               {{KeyAlt}, false},
               {{KeyControl, KeyAlt}, true},
               {{KeyControl, KeyAlt, KeyShift}, false}};
  for (const auto& entry : cases) {
    for (const unsigned long key : entry.Held) {
      Key(key, true);
    }
    Key(KeyT, true);
    Key(KeyT, false);
    for (const unsigned long key : entry.Held) {
      Key(key, false);
    }
    Application().ProcessMessages();
    EXPECT_EQ(form->Triangle()->AutoHide, entry.Turned ? !before : before) << entry.Held.size();
    form->Triangle()->AutoHide = before;
  }
}

TEST_F(TMusicDisplayTest, ActivationFromTheHiddenStateBlocksInputAndFetchesTheTriangle)
{
  TMusicForm* form = Build({"AFTERINSTALL"});
  form->ToggleScanPanel(2);
  ASSERT_EQ(form->DisplayMode(), 0);
  ASSERT_EQ(form->ScanPanel(), 0);
  const struct {
    std::uint8_t Mode;
    bool AutoHide;
    bool Fetched;
  } cases[] = {{0, true, true}, {0, false, false}, {2, true, false}};
  for (const auto& entry : cases) {
    form->SetDisplayMode(entry.Mode);
    form->Triangle()->AutoHide = entry.AutoHide;
    form->Triangle()->SetBounds(0, 10, 13, 26);
    form->BlockInputUntil(0);
    TInputEvent pointer;
    pointer.Kind = TInputKind::Move;
    pointer.Screen = POINT{400, 200};
    DeliverInput(pointer);
    Application().ProcessMessages();
    const std::uint64_t before = GetTickCount64();
    Application().OnActivate(nullptr);
    if (entry.Mode == 0) {
      EXPECT_GE(form->InputBlockedUntil(), before + ActivationInputBlock) << int(entry.Mode);
    } else {
      EXPECT_EQ(form->InputBlockedUntil(), 0U);
    }
    EXPECT_EQ(form->Triangle()->Top(), entry.Fetched ? 200 - 13 : 10) << int(entry.Mode) << entry.AutoHide;
  }

  // Deactivated: the overlays go and the window in front is remembered.
  ShowWindow(form->TopImage()->Handle(), SW_SHOWNA);
  Application().OnDeactivate(nullptr);
  EXPECT_FALSE(Shows(form->TopImage()));
  EXPECT_EQ(form->PreviousForeground(), GetForegroundWindow());
}

}  // namespace
