#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "forms/Forms.h"
#include "forms/Screen.h"
#include "platform/windows/DisplayTesting.h"
#include "platform/windows/InputEvents.h"
#include "tests/support/TempFolder.h"

namespace {

// Keysyms of the keys the tests press (X protocol values).
constexpr unsigned long KeyA = 0x61;
constexpr unsigned long KeyBackSpace = 0xFF08;
constexpr unsigned long KeyControl = 0xFFE3;

class TInputForm : public TForm {
 public:
  TInputForm(TComponent* owner, std::vector<std::string>& journal) : TForm(owner), FJournal(journal) {}

  void Down(TObject*, TMouseButton button, TShiftState shift, int x, int y)
  {
    FJournal.push_back("down " + std::to_string(static_cast<int>(button)) + " " + std::to_string(shift) +
                       " " + std::to_string(x) + "," + std::to_string(y));
  }
  void Up(TObject*, TMouseButton button, TShiftState, int, int)
  {
    FJournal.push_back("up " + std::to_string(static_cast<int>(button)));
  }
  void Moved(TObject*, TShiftState shift, int x, int y)
  {
    FJournal.push_back("move " + std::to_string(shift) + " " + std::to_string(x) + "," + std::to_string(y));
  }
  void Twice(TObject*) { FJournal.push_back("dblclick"); }
  void KeyWentDown(TObject*, WORD& key, TShiftState shift)
  {
    FJournal.push_back("keydown " + std::to_string(key) + " " + std::to_string(shift));
  }
  void Pressed(TObject*, char32_t& key) { FJournal.push_back("press " + std::to_string(key)); }

 protected:
  void CreateParams(TCreateParams& params) override
  {
    TForm::CreateParams(params);
    params.X = 100;
    params.Y = 100;
    params.Width = 200;
    params.Height = 150;
  }

 private:
  std::vector<std::string>& FJournal;
};

struct TLoopHooks : TObject {
  std::vector<std::string>* Journal = nullptr;
  void Activated(TObject*) { Journal->push_back("activate"); }
  void Message(MSG& message, bool& handled)
  {
    if (message.message == WM_KEYDOWN && message.wParam == VK_BACK) {
      Journal->push_back("hooked backspace");
      handled = true;
    }
  }
};

class TFormsInputTest : public ::testing::Test {
 protected:
  void SetUp() override
  {
    UseHeadlessDisplay();
    Application().Initialize();
    FHooks.Journal = &FJournal;
    Application().OnActivate = MakeMethod<&TLoopHooks::Activated>(&FHooks);
    Application().OnMessage = MakeMethod<&TLoopHooks::Message>(&FHooks);
    FForm = Application().CreateForm<TInputForm>(FJournal);
    FForm->OnMouseDown = MakeMethod<&TInputForm::Down>(FForm);
    FForm->OnMouseUp = MakeMethod<&TInputForm::Up>(FForm);
    FForm->OnMouseMove = MakeMethod<&TInputForm::Moved>(FForm);
    FForm->OnDblClick = MakeMethod<&TInputForm::Twice>(FForm);
    FForm->OnKeyDown = MakeMethod<&TInputForm::KeyWentDown>(FForm);
    FForm->OnKeyPress = MakeMethod<&TInputForm::Pressed>(FForm);
    FForm->Show();
    Application().ProcessMessages();
    FJournal.clear();
  }
  void TearDown() override
  {
    Screen().SetCursor(crDefault);
    Application().DestroyComponents();
    Application().OnActivate = nullptr;
    Application().OnMessage = nullptr;
  }

  static void Pointer(TInputKind kind, LONG x, LONG y, bool down = false, DWORD time = 0,
                      TPointerButton button = TPointerButton::Left)
  {
    TInputEvent event;
    event.Kind = kind;
    event.Screen = POINT{x, y};
    event.Down = down;
    event.Time = time;
    event.Button = button;
    DeliverInput(event);
  }

  static void Key(unsigned long keysym, bool down, std::u32string text = {})
  {
    TInputEvent event;
    event.Kind = TInputKind::Key;
    event.Keysym = keysym;
    event.Down = down;
    event.Text = std::move(text);
    DeliverInput(event);
  }

  TTempMachine FMachine;
  std::vector<std::string> FJournal;
  TLoopHooks FHooks;
  TInputForm* FForm = nullptr;
};

TEST(FormsShiftStateTest, MouseFlagsBecomeShiftStates)
{
  struct TCase {
    WPARAM Keys;
    TShiftState Shift;
  };
  const TCase cases[] = {
      {0, 0},
      {MK_SHIFT, ssShift},
      {MK_CONTROL, ssCtrl},
      {MK_LBUTTON, ssLeft},
      {MK_RBUTTON, ssRight},
      {MK_MBUTTON, ssMiddle},
      {MK_SHIFT | MK_CONTROL | MK_LBUTTON | MK_RBUTTON | MK_MBUTTON,
       ssShift | ssCtrl | ssLeft | ssRight | ssMiddle},
  };
  for (const auto& entry : cases) {
    EXPECT_EQ(ShiftStateOfMouse(entry.Keys), entry.Shift) << entry.Keys;
  }
}

TEST_F(TFormsInputTest, MouseEventsCarryButtonShiftAndClientPosition)
{
  Pointer(TInputKind::Move, 110, 120);
  Pointer(TInputKind::Button, 110, 120, true, 500000);
  Pointer(TInputKind::Button, 110, 120, false, 500050);
  Pointer(TInputKind::Button, 111, 121, true, 500200);
  Pointer(TInputKind::Button, 111, 121, false, 500250);
  Pointer(TInputKind::Button, 150, 150, true, 510000, TPointerButton::Right);
  Pointer(TInputKind::Button, 150, 150, false, 510050, TPointerButton::Right);
  Application().ProcessMessages();
  const std::vector<std::string> expected = {
      "move 0 10,20",
      "activate",  // the click activated the application
      "down 0 8 10,20",
      "up 0",
      "move 0 11,21",
      "dblclick",
      "down 0 " + std::to_string(ssLeft | ssDouble) + " 11,21",
      "up 0",
      "move 0 50,50",
      "down 1 16 50,50",
      "up 1",
  };
  EXPECT_EQ(FJournal, expected);
}

TEST_F(TFormsInputTest, OnMessageSeesKeysBeforeTheFormAndMayStopThem)
{
  SetFocus(FForm->Handle());
  Application().ProcessMessages();
  FJournal.clear();
  Key(KeyBackSpace, true, U"\b");
  Key(KeyBackSpace, false);
  Key(KeyControl, true);
  Key(KeyA, true, U"\x01");
  Key(KeyA, false);
  Key(KeyControl, false);
  Application().ProcessMessages();
  const std::vector<std::string> expected = {
      "hooked backspace",
      "keydown " + std::to_string(VK_CONTROL) + " " + std::to_string(ssCtrl),
      "keydown 65 " + std::to_string(ssCtrl),
      "press 1",
  };
  EXPECT_EQ(FJournal, expected);
}

TEST_F(TFormsInputTest, WaitCursorStaysOverEveryWindowUntilDefault)
{
  const HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
  const HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  Screen().SetCursor(crHourGlass);
  EXPECT_EQ(GetCursor(), wait);
  Pointer(TInputKind::Move, 150, 150);
  Application().ProcessMessages();
  EXPECT_EQ(GetCursor(), wait) << "the form's own cursor does not replace it";
  Screen().SetCursor(crDefault);
  EXPECT_EQ(GetCursor(), arrow);
  Pointer(TInputKind::Move, 151, 150);
  Application().ProcessMessages();
  EXPECT_EQ(GetCursor(), arrow);
}

TEST_F(TFormsInputTest, ProgramCursorsByNumber)
{
  const std::uint32_t pixels[1] = {0xFFFF0000};
  ASSERT_TRUE(
      RegisterCursorResource(reinterpret_cast<const char*>(std::uintptr_t{4}), 1, 1, 0, 0, pixels, 1));
  const HCURSOR drag =
      LoadCursorA(reinterpret_cast<HINSTANCE>(1), reinterpret_cast<const char*>(std::uintptr_t{4}));
  ASSERT_NE(drag, nullptr);
  struct TCase {
    int Index;
    HCURSOR Expected;
  };
  Screen().SetCursors(4, drag);
  Screen().SetCursors(crHourGlass, drag);  // the stock ones cannot be replaced
  const TCase cases[] = {
      {4, drag},
      {10, LoadCursorA(nullptr, IDC_ARROW)},  // nothing stored
      {crDefault, LoadCursorA(nullptr, IDC_ARROW)},
      {crArrow, LoadCursorA(nullptr, IDC_ARROW)},
      {crHourGlass, LoadCursorA(nullptr, IDC_WAIT)},
  };
  for (const auto& entry : cases) {
    EXPECT_EQ(Screen().Cursors(entry.Index), entry.Expected) << entry.Index;
  }
  Screen().SetCursor(4);
  EXPECT_EQ(GetCursor(), drag);
  EXPECT_EQ(Screen().Width(), 800);
  EXPECT_EQ(Screen().Height(), 600);
}

TEST_F(TFormsInputTest, RestoreShowsAndActivatesTheMainForm)
{
  FForm->Hide();
  SetActiveWindow(Application().Handle());
  FJournal.clear();
  Application().Restore();
  EXPECT_TRUE(FForm->Visible());
  EXPECT_EQ(GetActiveWindow(), FForm->Handle());
  EXPECT_EQ(GetForegroundWindow(), FForm->Handle());
}

}  // namespace
