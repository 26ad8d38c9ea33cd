#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/display/EditControl.h"
#include "platform/display/EditText.h"
#include "platform/display/GdiText.h"
#include "platform/windows/DisplayTesting.h"
#include "platform/windows/Gdi.h"
#include "platform/windows/Input.h"
#include "platform/windows/InputEvents.h"
#include "platform/windows/Messages.h"
#include "platform/windows/Windows.h"
#include "tests/support/TempFolder.h"

namespace {

// Keysyms of the keys the tests press (X protocol values).
constexpr unsigned long KeyBackSpace = 0xFF08;
constexpr unsigned long KeyReturn = 0xFF0D;
constexpr unsigned long KeyEscape = 0xFF1B;
constexpr unsigned long KeyDelete = 0xFFFF;
constexpr unsigned long KeyHome = 0xFF50;
constexpr unsigned long KeyLeft = 0xFF51;
constexpr unsigned long KeyEnd = 0xFF57;
constexpr unsigned long KeyShift = 0xFFE1;
constexpr unsigned long KeyControl = 0xFFE3;
constexpr unsigned long KeyA = 0x61;

TEST(EditTextTest, InsertKeepsTheLimitInCodePoints)
{
  struct TCase {
    std::size_t Limit;
    const char* Before;
    std::size_t SelectFrom;
    std::size_t SelectTo;
    std::u32string Typed;
    const char* After;
    std::size_t Caret;
  };
  const TCase cases[] = {
      {5, "", 0, 0, U"abcde", "abcde", 5},
      {5, "", 0, 0, U"abcdef", "abcde", 5},
      {5, "abcd", 4, 4, U"e", "abcde", 5},
      {5, "abcde", 5, 5, U"f", "abcde", 5},
      // Five two-byte characters are five, not ten.
      {5, "\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9", 4, 4, U"\u00e9", "\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9", 5},
      // Typing over a selection frees its room first.
      {5, "abcde", 1, 3, U"XY", "aXYde", 3},
      {5, "abcde", 1, 3, U"XYZ", "aXYde", 3},
      {5, "abcde", 0, 5, U"z", "z", 1},
      {5, "abcde", 3, 1, U"", "abcde", 1},
  };
  for (const auto& entry : cases) {
    TEditText text(entry.Limit);
    text.SetText(entry.Before);
    text.Select(entry.SelectFrom, entry.SelectTo);
    text.Insert(entry.Typed);
    EXPECT_EQ(text.Utf8(), entry.After) << entry.Before;
    EXPECT_EQ(text.Caret(), entry.Caret) << entry.Before;
  }
}

TEST(EditTextTest, SetTextSelectsAllAndCutsAtTheLimitBetweenCharacters)
{
  struct TCase {
    std::size_t Limit;
    const char* Text;
    const char* Kept;
  };
  const TCase cases[] = {
      {2, "a\xc3\xa9\xe2\x82\xac", "a\xc3\xa9"},
      {3, "a\xc3\xa9\xe2\x82\xac", "a\xc3\xa9\xe2\x82\xac"},
      {1, "\xf0\x9f\x8e\xb5x", "\xf0\x9f\x8e\xb5"},
      {0, "abc", ""},
  };
  for (const auto& entry : cases) {
    TEditText text(entry.Limit);
    text.SetText(entry.Text);
    EXPECT_EQ(text.Utf8(), entry.Kept);
    EXPECT_EQ(text.SelectionStart(), 0U);
    EXPECT_EQ(text.SelectionEnd(), text.Text().size());
  }
}

TEST(EditTextTest, BackspaceAndDeleteTakeWholeCharacters)
{
  TEditText text(250);
  text.SetText("a\xc3\xa9\xf0\x9f\x8e\xb5");
  text.MoveTo(3, false);
  EXPECT_TRUE(text.Backspace());
  EXPECT_EQ(text.Utf8(), "a\xc3\xa9");
  EXPECT_TRUE(text.Backspace());
  EXPECT_EQ(text.Utf8(), "a");
  EXPECT_FALSE(text.Delete());  // at the end
  text.MoveTo(0, false);
  EXPECT_FALSE(text.Backspace());  // at the start
  EXPECT_TRUE(text.Delete());
  EXPECT_EQ(text.Utf8(), "");
}

TEST(EditTextTest, MalformedUtf8BecomesReplacementCharacters)
{
  struct TCase {
    const char* Bytes;
    std::u32string Decoded;
  };
  const TCase cases[] = {
      {"a\xff"
       "b",
       U"a\ufffdb"},
      {"\xc3", U"\ufffd"},  // cut at the end
      {"\xc3"
       "a",
       U"\ufffda"},                         // cut before a plain byte
      {"\xc0\xaf", U"\ufffd"},              // overlong
      {"\xed\xa0\x80", U"\ufffd"},          // a surrogate
      {"\xf4\x90\x80\x80", U"\ufffd"},      // past U+10FFFF
      {"\xf4\x8f\xbf\xbf", U"\U0010FFFF"},  // the last code point
  };
  for (const auto& entry : cases) {
    EXPECT_EQ(DecodeUtf8Text(entry.Bytes), entry.Decoded) << entry.Bytes;
  }
}

struct TNotice {
  WORD Id;
  WORD Code;
};
thread_local std::vector<TNotice>* notices = nullptr;
thread_local std::vector<UINT>* parentKeys = nullptr;

LRESULT ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  if (message == WM_COMMAND && notices != nullptr) {
    notices->push_back(TNotice{static_cast<WORD>(wParam & 0xFFFF), static_cast<WORD>(wParam >> 16)});
  }
  if (message >= WM_KEYFIRST && message <= WM_KEYLAST && parentKeys != nullptr) {
    parentKeys->push_back(message);
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

class EditControlTest : public testing::Test {
 protected:
  void SetUp() override
  {
    UseHeadlessDisplay();
    ASSERT_TRUE(RegisterEditControlClass());
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = ParentProc;
    windowClass.lpszClassName = "EditTestParent";
    RegisterClassA(&windowClass);
    FParent = CreateWindowExA(0, "EditTestParent", "parent", WS_POPUP | WS_VISIBLE, 50, 50, 400, 300, nullptr,
                              nullptr, nullptr, nullptr);
    ASSERT_NE(FParent, nullptr);
    notices = &FNotices;
    parentKeys = &FParentKeys;
  }
  void TearDown() override
  {
    DestroyWindow(FParent);
    Pump();
    notices = nullptr;
    parentKeys = nullptr;
    UnregisterClassA("EditTestParent", nullptr);
  }

  HWND Open(const char* text, int width = 300)
  {
    const HWND edit = CreateWindowExA(0, EDIT_CONTROL_CLASS, text, WS_CHILD | WS_VISIBLE, 10, 10, width, 60,
                                      FParent, reinterpret_cast<HMENU>(std::uintptr_t{77}), nullptr, nullptr);
    EXPECT_NE(edit, nullptr);
    SetFocus(edit);
    return edit;
  }

  void Pump()
  {
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }

  void Press(unsigned long keysym, std::u32string text = {})
  {
    for (const bool down : {true, false}) {
      TInputEvent event;
      event.Kind = TInputKind::Key;
      event.Keysym = keysym;
      event.Down = down;
      event.Text = down ? text : std::u32string{};
      DeliverInput(event);
    }
    Pump();
  }

  void Hold(unsigned long keysym, bool down)
  {
    TInputEvent event;
    event.Kind = TInputKind::Key;
    event.Keysym = keysym;
    event.Down = down;
    DeliverInput(event);
    Pump();
  }

  static std::string Text(HWND edit)
  {
    char buffer[2048] = {};
    SendMessageA(edit, WM_GETTEXT, sizeof(buffer), reinterpret_cast<LPARAM>(buffer));
    return buffer;
  }

  static std::pair<DWORD, DWORD> Selection(HWND edit)
  {
    DWORD start = 0;
    DWORD end = 0;
    SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return {start, end};
  }

  TTempMachine FMachine;
  HWND FParent = nullptr;
  std::vector<TNotice> FNotices;
  std::vector<UINT> FParentKeys;
};

TEST_F(EditControlTest, OpensWithAllSelectedAndTypingReplacesIt)
{
  const HWND edit = Open("Hello w\xc3\xb6rld");
  EXPECT_EQ(Selection(edit), (std::pair<DWORD, DWORD>{0, 11}));
  EXPECT_EQ(SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0), 12);  // bytes
  Press(0x78, U"x");
  EXPECT_EQ(Text(edit), "x");
  EXPECT_EQ(Selection(edit), (std::pair<DWORD, DWORD>{1, 1}));
  EXPECT_TRUE(FParentKeys.empty()) << "the editor's keys are its own";
}

TEST_F(EditControlTest, LimitOf250CodePointsHoldsForSetTextAndTyping)
{
  const HWND edit = Open("");
  SendMessageA(edit, EM_LIMITTEXT, 250, 0);
  EXPECT_EQ(SendMessageA(edit, EM_GETLIMITTEXT, 0, 0), 250);
  std::string long300;
  for (int i = 0; i < 300; ++i) {
    long300 += "\xc3\xa9";
  }
  SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(long300.c_str()));
  EXPECT_EQ(SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0), 500);
  SendMessageA(edit, EM_SETSEL, 249, 249);
  Press(0x61, U"a");  // no room
  EXPECT_EQ(SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0), 500);
  Press(KeyBackSpace, U"\b");
  Press(0x61, U"a");
  Press(0x62, U"b");  // room for one only
  const std::string text = Text(edit);
  EXPECT_EQ(text.size(), 499U);
  // Backspace took the character before the caret; the letter went in its place.
  EXPECT_EQ(text.substr(496), "a\xc3\xa9");
}

TEST_F(EditControlTest, GetTextNeverCutsACharacter)
{
  const HWND edit = Open(
      "a\xc3\xa9"
      "b");
  struct TCase {
    WPARAM Size;
    const char* Copied;
  };
  const TCase cases[] = {{0, ""},
                         {1, ""},
                         {2, "a"},
                         {3, "a"},
                         {4, "a\xc3\xa9"},
                         {5,
                          "a\xc3\xa9"
                          "b"}};
  for (const auto& entry : cases) {
    char buffer[8] = {'?', '?', '?', '?', '?', '?', '?', '?'};
    const LRESULT copied = SendMessageA(edit, WM_GETTEXT, entry.Size, reinterpret_cast<LPARAM>(buffer));
    EXPECT_EQ(static_cast<std::size_t>(copied), std::string(entry.Copied).size()) << entry.Size;
    if (entry.Size > 0) {
      EXPECT_STREQ(buffer, entry.Copied);
    } else {
      EXPECT_EQ(buffer[0], '?') << "a zero-sized buffer is not written";
    }
  }
}

TEST_F(EditControlTest, BackspaceDeleteAndArrowsWorkOnCharacters)
{
  const HWND edit = Open(
      "a\xc3\xa9\xe2\x82\xac"
      "z");
  Press(KeyEnd);
  Press(KeyLeft);
  Press(KeyBackSpace, U"\b");  // the euro sign, three bytes
  EXPECT_EQ(Text(edit), "a\xc3\xa9z");
  Press(KeyBackSpace, U"\b");
  EXPECT_EQ(Text(edit), "az");
  Press(KeyHome);
  Press(KeyDelete);
  EXPECT_EQ(Text(edit), "z");
  Hold(KeyShift, true);
  Press(KeyEnd);
  Hold(KeyShift, false);
  EXPECT_EQ(Selection(edit), (std::pair<DWORD, DWORD>{0, 1}));
  Hold(KeyControl, true);
  Press(KeyA, U"\x01");
  Hold(KeyControl, false);
  EXPECT_EQ(Text(edit), "z") << "Ctrl+A selects, it types nothing";
  EXPECT_EQ(Selection(edit), (std::pair<DWORD, DWORD>{0, 1}));
}

TEST_F(EditControlTest, HomeAndEndStayOnTheWrappedLine)
{
  const HDC dc = GetDC(nullptr);
  SIZE first{};
  SIZE longer{};
  GetTextExtentPoint32A(dc, "aaaa ", 5, &first);
  GetTextExtentPoint32A(dc, "aaaa bb", 7, &longer);
  ReleaseDC(nullptr, dc);
  const HWND edit = Open("aaaa bbbb", (first.cx + longer.cx) / 2);
  Press(KeyEnd);
  Press(KeyHome);
  EXPECT_EQ(Selection(edit), (std::pair<DWORD, DWORD>{5, 5})) << "the second line starts after the space";
  Press(KeyLeft);
  Press(KeyHome);
  EXPECT_EQ(Selection(edit), (std::pair<DWORD, DWORD>{0, 0}));
  Press(KeyEnd);
  EXPECT_EQ(Selection(edit), (std::pair<DWORD, DWORD>{4, 4})) << "the first line ends before its space";
}

TEST_F(EditControlTest, EnterEscapeAndFocusLossTellTheParentOnce)
{
  struct TCase {
    unsigned long Key;  // 0: the focus goes to the parent
    std::u32string Text;
    WORD Code;
  };
  const TCase cases[] = {
      {KeyReturn, U"\r", EN_COMMIT},
      {KeyEscape, U"\x1b", EN_CANCEL},
      {0, U"", EN_COMMIT},
  };
  for (const auto& entry : cases) {
    const HWND edit = Open("caption");
    FNotices.clear();
    if (entry.Key != 0) {
      Press(entry.Key, entry.Text);
    }
    // The parent takes the focus back: no second notification after Enter or Escape.
    SetFocus(FParent);
    Pump();
    ASSERT_EQ(FNotices.size(), 1U) << std::hex << entry.Key;
    EXPECT_EQ(FNotices[0].Id, 77);
    EXPECT_EQ(FNotices[0].Code, entry.Code);
    EXPECT_EQ(Text(edit), "caption") << "Enter and Escape are not inserted";
    EXPECT_TRUE(FParentKeys.empty());
    DestroyWindow(edit);
  }
}

TEST_F(EditControlTest, DraggingTheMouseSelects)
{
  const HWND edit = Open("select me");
  POINT origin{0, 0};
  ClientToScreen(edit, &origin);
  const auto button = [](POINT at, bool down, TInputKind kind) {
    TInputEvent event;
    event.Kind = kind;
    event.Screen = at;
    event.Down = down;
    DeliverInput(event);
  };
  button(POINT{origin.x + 1, origin.y + 2}, true, TInputKind::Button);
  Pump();
  EXPECT_EQ(Selection(edit), (std::pair<DWORD, DWORD>{0, 0}));
  EXPECT_EQ(GetCapture(), edit);
  // Far right, outside the control: the capture keeps the drag.
  button(POINT{origin.x + 1000, origin.y + 2}, false, TInputKind::Move);
  button(POINT{origin.x + 1000, origin.y + 2}, false, TInputKind::Button);
  Pump();
  EXPECT_EQ(Selection(edit), (std::pair<DWORD, DWORD>{0, 9}));
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(EditControlTest, PaintsTextInItsColoursWithoutLeakingObjects)
{
  const HWND edit = Open("");
  const DWORD before = GetGuiResources(nullptr, GR_GDIOBJECTS);
  SendMessageA(edit, EM_SETBKGNDCOLOR, 0, RGB(0, 0, 128));
  SendMessageA(edit, EM_SETTEXTCOLOR, 0, RGB(255, 255, 0));
  SetFocus(FParent);  // no caret, no selection
  UpdateWindow(edit);
  POINT origin{0, 0};
  ClientToScreen(edit, &origin);
  EXPECT_EQ(ScreenPixel(origin.x + 150, origin.y + 30), RGB(0, 0, 128));
  EXPECT_EQ(GetGuiResources(nullptr, GR_GDIOBJECTS), before);
}

}  // namespace
