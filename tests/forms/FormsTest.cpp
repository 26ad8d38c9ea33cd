#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "forms/Forms.h"
#include "tests/support/TempFolder.h"

namespace {

class TJournalForm : public TForm {
 public:
  TJournalForm(TComponent* owner, std::vector<std::string>& journal) : TForm(owner), FJournal(journal) {}
  ~TJournalForm() override { FJournal.push_back("freed"); }

  void Closed(TObject*, TCloseAction& action)
  {
    FJournal.push_back("close");
    action = NextAction;
  }
  void Query(TObject*, bool& canClose) { canClose = AllowClose; }

  TCloseAction NextAction = TCloseAction::caFree;
  bool AllowClose = true;

 protected:
  void WndProc(TMessage& message) override
  {
    if (message.Msg == WM_USER) {
      FJournal.push_back("user " + std::to_string(message.WParam));
      message.Result = 5;
      return;
    }
    TForm::WndProc(message);
  }

 private:
  std::vector<std::string>& FJournal;
};

struct THooks : TObject {
  std::vector<std::string>* Journal = nullptr;
  void Activated(TObject*) { Journal->push_back("activate"); }
  void Deactivated(TObject*) { Journal->push_back("deactivate"); }
  void Message(MSG& message, bool& handled)
  {
    if (message.message == WM_USER + 1) {
      Journal->push_back("hooked");
      handled = true;
    }
  }
};

class TFormsTest : public ::testing::Test {
 protected:
  void SetUp() override
  {
    Application().Initialize();
    FHooks.Journal = &FJournal;
    Application().OnActivate = MakeMethod<&THooks::Activated>(&FHooks);
    Application().OnDeactivate = MakeMethod<&THooks::Deactivated>(&FHooks);
    Application().OnMessage = MakeMethod<&THooks::Message>(&FHooks);
  }
  void TearDown() override
  {
    Application().DestroyComponents();
    Application().OnActivate = nullptr;
    Application().OnDeactivate = nullptr;
    Application().OnMessage = nullptr;
  }

  TTempMachine FMachine;
  std::vector<std::string> FJournal;
  THooks FHooks;
};

TEST_F(TFormsTest, ClosingTheMainFormEndsTheLoop)
{
  auto* form = Application().CreateForm<TJournalForm>(FJournal);
  form->OnClose = MakeMethod<&TJournalForm::Closed>(form);
  form->OnCloseQuery = MakeMethod<&TJournalForm::Query>(form);
  ASSERT_EQ(Application().MainForm(), form);
  const HWND window = form->Handle();
  EXPECT_EQ(SendMessageA(window, WM_USER, 3, 0), 5);
  SendMessageA(Application().Handle(), WM_ACTIVATEAPP, TRUE, 0);
  SendMessageA(Application().Handle(), WM_ACTIVATEAPP, FALSE, 0);
  form->AllowClose = false;
  form->Close();
  EXPECT_FALSE(Application().Terminated()) << "the close query refused";
  form->AllowClose = true;
  PostMessageA(window, WM_USER + 1, 0, 0);
  PostMessageA(window, WM_CLOSE, 0, 0);
  // The loop ends with the quit message, after what was posted before it.
  PostMessageA(window, WM_USER, 4, 0);
  Application().Run();
  EXPECT_TRUE(form->Visible()) << "Run shows the main form";
  const std::vector<std::string> expected = {"user 3", "activate", "deactivate", "hooked", "close", "user 4"};
  EXPECT_EQ(FJournal, expected);
  EXPECT_TRUE(Application().Terminated());
}

TEST_F(TFormsTest, OtherFormsHideOrFreeThemselves)
{
  Application().CreateForm<TJournalForm>(FJournal);
  auto* second = Application().CreateForm<TJournalForm>(FJournal);
  second->OnClose = MakeMethod<&TJournalForm::Closed>(second);
  second->Show();
  second->NextAction = TCloseAction::caHide;
  second->Close();
  EXPECT_FALSE(second->Visible());
  second->NextAction = TCloseAction::caFree;
  second->Close();
  Application().ProcessMessages();
  const std::vector<std::string> expected = {"close", "close", "freed"};
  EXPECT_EQ(FJournal, expected);
  EXPECT_EQ(Application().ComponentCount(), 1);
}

}  // namespace

namespace {

class TJournalControl : public TCustomControl {
 public:
  TJournalControl(TComponent* owner, std::vector<std::string>& journal)
      : TCustomControl(owner), FJournal(journal)
  {
  }

 protected:
  void WndProc(TMessage& message) override
  {
    if (message.Msg == WM_USER) {
      FJournal.push_back("control " + std::to_string(message.WParam));
      message.Result = 7;
      return;
    }
    TCustomControl::WndProc(message);
  }

 private:
  std::vector<std::string>& FJournal;
};

}  // namespace

TEST_F(TFormsTest, ControlsMakeTheirWindowOnDemandUnderTheirParent)
{
  auto* form = Application().CreateForm<TJournalForm>(FJournal);
  auto* other = TComponent::Create<TJournalForm>(Application(), FJournal);
  auto* control = TComponent::Create<TJournalControl>(*form, FJournal);
  control->SetParentWindow(form->Handle());
  EXPECT_FALSE(control->HandleAllocated());
  const HWND window = control->Handle();
  EXPECT_EQ(GetParent(window), form->Handle());
  EXPECT_NE(GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD, 0);
  EXPECT_EQ(SendMessageA(window, WM_USER, 3, 0), 7);
  EXPECT_EQ(SendMessageA(window, WM_NULL, 0, 0), 0);
  control->SetParentWindow(other->Handle());
  EXPECT_EQ(GetParent(window), other->Handle());
  EXPECT_EQ(FJournal, std::vector<std::string>{"control 3"});
  // The owner frees the control, and the control its window.
  FreeObject(form);
  EXPECT_FALSE(IsWindow(window));
}
