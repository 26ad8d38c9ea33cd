// The in-place editor's window: layout with word wrap, painting, keys, the mouse and the
// notifications to its parent.
#include "platform/display/EditControl.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/display/EditText.h"
#include "platform/display/GdiText.h"
#include "platform/windows/Gdi.h"
#include "platform/windows/Input.h"

namespace {

constexpr UINT_PTR BlinkTimer = 1;
constexpr UINT CaretBlinkTime = 530;
constexpr COLORREF HighlightBack = RGB(0, 120, 215);
constexpr COLORREF HighlightText = RGB(255, 255, 255);

// One shown line: the code points [Start, End) and where each boundary lies (End - Start + 1
// positions, the first 0).
struct TLine {
  std::size_t Start = 0;
  std::size_t End = 0;
  std::vector<int> X;
};

struct TEditWindow {
  TEditText Text{EditDefaultLimit};
  HFONT Font = nullptr;
  COLORREF TextColor = RGB(0, 0, 0);
  COLORREF BackColor = RGB(255, 255, 255);
  bool Focused = false;
  bool CaretShown = false;
  bool Told = false;  // commit or cancel was told for this focus
  bool Selecting = false;
  std::vector<TLine> Lines;
  int LineHeight = 1;
};

TEditWindow* EditOf(HWND window)
{
  return reinterpret_cast<TEditWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

int TextWidth(HDC dc, const std::u32string& text, std::size_t start, std::size_t end)
{
  const std::string utf8 = EncodeUtf8Text(std::u32string_view(text).substr(start, end - start));
  SIZE size{0, 0};
  GetTextExtentPoint32A(dc, utf8.c_str(), static_cast<int>(utf8.size()), &size);
  return size.cx;
}

// Breaks the text into lines no wider than width, after the last space that fits, or inside a
// word longer than a line.
void Layout(HWND window, TEditWindow& edit)
{
  RECT client{};
  GetClientRect(window, &client);
  const int width = std::max<int>(1, client.right - client.left);
  const HDC dc = GetDC(window);
  const HGDIOBJ oldFont = edit.Font != nullptr ? SelectObject(dc, edit.Font) : nullptr;
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  edit.LineHeight = std::max<int>(1, metrics.tmHeight);
  const std::u32string& text = edit.Text.Text();
  edit.Lines.clear();
  std::size_t start = 0;
  do {
    TLine line;
    line.Start = start;
    line.X.push_back(0);
    std::size_t end = start;
    std::size_t lastSpace = std::u32string::npos;
    while (end < text.size()) {
      const int x = TextWidth(dc, text, start, end + 1);
      if (x > width && end > start) {
        break;
      }
      line.X.push_back(x);
      if (text[end] == U' ') {
        lastSpace = end;
      }
      ++end;
    }
    if (end < text.size() && lastSpace != std::u32string::npos && lastSpace + 1 > start) {
      end = lastSpace + 1;
      line.X.resize(end - start + 1);
    }
    line.End = end;
    edit.Lines.push_back(std::move(line));
    start = end;
  } while (start < text.size());
  if (oldFont != nullptr) {
    SelectObject(dc, oldFont);
  }
  ReleaseDC(window, dc);
}

// The line the position is shown on (a position at a wrap belongs to the next line).
std::size_t LineOf(const TEditWindow& edit, std::size_t position)
{
  for (std::size_t i = 0; i < edit.Lines.size(); ++i) {
    if (position < edit.Lines[i].End || i + 1 == edit.Lines.size()) {
      return i;
    }
  }
  return 0;
}

std::size_t PositionAt(const TEditWindow& edit, int x, int y)
{
  if (edit.Lines.empty()) {
    return 0;
  }
  const auto index = static_cast<std::size_t>(
      std::clamp<int>(y / edit.LineHeight, 0, static_cast<int>(edit.Lines.size()) - 1));
  const TLine& line = edit.Lines[index];
  std::size_t best = line.Start;
  for (std::size_t k = 0; k + 1 < line.X.size(); ++k) {
    if (x >= (line.X[k] + line.X[k + 1]) / 2) {
      best = line.Start + k + 1;
    }
  }
  // A wrapped line ends before its last character's end, which is the next line's start.
  if (index + 1 < edit.Lines.size() && best == line.End && line.End > line.Start) {
    best = line.End - 1;
  }
  return best;
}

void Changed(HWND window, TEditWindow& edit)
{
  // GetWindowTextA reads the window's own title: it follows the edited text.
  SetWindowTextA(window, edit.Text.Utf8().c_str());
  Layout(window, edit);
  edit.CaretShown = edit.Focused;
  InvalidateRect(window, nullptr, TRUE);
}

void Tell(HWND window, TEditWindow& edit, WORD code)
{
  if (edit.Told) {
    return;
  }
  edit.Told = true;
  const HWND parent = GetParent(window);
  if (parent != nullptr) {
    const auto id = static_cast<WORD>(GetWindowLongPtrA(window, GWLP_ID));
    SendMessageA(parent, WM_COMMAND, static_cast<WPARAM>(id) | (static_cast<WPARAM>(code) << 16),
                 reinterpret_cast<LPARAM>(window));
  }
}

void Paint(HWND window, TEditWindow& edit)
{
  PAINTSTRUCT paint{};
  const HDC dc = BeginPaint(window, &paint);
  if (dc == nullptr) {
    return;
  }
  RECT client{};
  GetClientRect(window, &client);
  const HBRUSH back = CreateSolidBrush(edit.BackColor);
  FillRect(dc, &client, back);
  DeleteObject(back);
  const HGDIOBJ oldFont = edit.Font != nullptr ? SelectObject(dc, edit.Font) : nullptr;
  SetBkMode(dc, TRANSPARENT);
  const std::u32string& text = edit.Text.Text();
  const std::size_t selStart = edit.Text.SelectionStart();
  const std::size_t selEnd = edit.Text.SelectionEnd();
  for (std::size_t i = 0; i < edit.Lines.size(); ++i) {
    const TLine& line = edit.Lines[i];
    const int y = static_cast<int>(i) * edit.LineHeight;
    const std::string utf8 =
        EncodeUtf8Text(std::u32string_view(text).substr(line.Start, line.End - line.Start));
    SetTextColor(dc, edit.TextColor);
    TextOutA(dc, 0, y, utf8.c_str(), static_cast<int>(utf8.size()));
    const std::size_t from = std::max(selStart, line.Start);
    const std::size_t to = std::min(selEnd, line.End);
    if (edit.Focused && from < to) {
      const RECT area{line.X[from - line.Start], y, line.X[to - line.Start], y + edit.LineHeight};
      const HBRUSH highlight = CreateSolidBrush(HighlightBack);
      FillRect(dc, &area, highlight);
      DeleteObject(highlight);
      const std::string selected = EncodeUtf8Text(std::u32string_view(text).substr(from, to - from));
      SetTextColor(dc, HighlightText);
      TextOutA(dc, area.left, y, selected.c_str(), static_cast<int>(selected.size()));
    }
  }
  if (edit.Focused && edit.CaretShown && !edit.Lines.empty()) {
    const std::size_t caret = edit.Text.Caret();
    const std::size_t index = LineOf(edit, caret);
    const TLine& line = edit.Lines[index];
    const int x = line.X[std::min(caret, line.End) - line.Start];
    const RECT bar{x, static_cast<LONG>(index) * edit.LineHeight, x + 1,
                   static_cast<LONG>(index + 1) * edit.LineHeight};
    const HBRUSH brush = CreateSolidBrush(edit.TextColor);
    FillRect(dc, &bar, brush);
    DeleteObject(brush);
  }
  if (oldFont != nullptr) {
    SelectObject(dc, oldFont);
  }
  EndPaint(window, &paint);
}

// Home and End: the start and end of the caret's line (a wrapped line ends before its space).
std::size_t LineEdge(const TEditWindow& edit, bool end)
{
  if (edit.Lines.empty()) {
    return 0;
  }
  const std::size_t index = LineOf(edit, edit.Text.Caret());
  const TLine& line = edit.Lines[index];
  if (!end) {
    return line.Start;
  }
  return index + 1 < edit.Lines.size() && line.End > line.Start ? line.End - 1 : line.End;
}

std::size_t VerticalMove(const TEditWindow& edit, int direction)
{
  const std::size_t caret = edit.Text.Caret();
  if (edit.Lines.empty()) {
    return caret;
  }
  const std::size_t index = LineOf(edit, caret);
  const TLine& line = edit.Lines[index];
  const int x = line.X[std::min(caret, line.End) - line.Start];
  const long target = static_cast<long>(index) + direction;
  if (target < 0) {
    return 0;
  }
  if (target >= static_cast<long>(edit.Lines.size())) {
    return edit.Text.Text().size();
  }
  return PositionAt(edit, x, static_cast<int>(target) * edit.LineHeight);
}

bool HandleKey(HWND window, TEditWindow& edit, WPARAM key)
{
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  const bool control = GetKeyState(VK_CONTROL) < 0;
  TEditText& text = edit.Text;
  switch (key) {
    case VK_LEFT:
      if (text.HasSelection() && !shift) {
        text.MoveTo(text.SelectionStart(), false);
      } else {
        text.MoveTo(text.Caret() > 0 ? text.Caret() - 1 : 0, shift);
      }
      return true;
    case VK_RIGHT:
      if (text.HasSelection() && !shift) {
        text.MoveTo(text.SelectionEnd(), false);
      } else {
        text.MoveTo(text.Caret() + 1, shift);
      }
      return true;
    case VK_UP:
    case VK_DOWN:
      text.MoveTo(VerticalMove(edit, key == VK_UP ? -1 : 1), shift);
      return true;
    case VK_HOME:
      text.MoveTo(control ? 0 : LineEdge(edit, false), shift);
      return true;
    case VK_END:
      text.MoveTo(control ? text.Text().size() : LineEdge(edit, true), shift);
      return true;
    case VK_BACK:
      text.Backspace();
      return true;
    case VK_DELETE:
      text.Delete();
      return true;
    case 'A':
      if (control) {
        text.Select(0, text.Text().size());
        return true;
      }
      return false;
    case VK_RETURN:
      Tell(window, edit, EN_COMMIT);
      return false;
    case VK_ESCAPE:
      Tell(window, edit, EN_CANCEL);
      return false;
    default:
      return false;
  }
}

LRESULT EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  if (message == WM_NCCREATE) {
    SetWindowLongPtrA(window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(std::make_unique<TEditWindow>().release()));
    return TRUE;
  }
  TEditWindow* edit = EditOf(window);
  if (edit == nullptr) {
    return DefWindowProcA(window, message, wParam, lParam);
  }
  switch (message) {
    case WM_NCDESTROY: {
      const std::unique_ptr<TEditWindow> owned(edit);
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      return 0;
    }
    case WM_CREATE: {
      const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      edit->Text.SetText(create != nullptr && create->lpszName != nullptr ? create->lpszName : "");
      Layout(window, *edit);
      return 0;
    }
    case WM_SIZE:
      Changed(window, *edit);
      return 0;
    case WM_SETTEXT:
      edit->Text.SetText(lParam != 0 ? reinterpret_cast<const char*>(lParam) : "");
      Changed(window, *edit);
      return TRUE;
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(edit->Text.Utf8().size());
    case WM_GETTEXT: {
      if (wParam == 0 || lParam == 0) {
        return 0;
      }
      // Never cut inside a character.
      const std::u32string& text = edit->Text.Text();
      std::string copied;
      for (const char32_t c : text) {
        const std::string one = EncodeUtf8Text(std::u32string_view(&c, 1));
        if (copied.size() + one.size() + 1 > wParam) {
          break;
        }
        copied += one;
      }
      std::copy(copied.begin(), copied.end(), reinterpret_cast<char*>(lParam));
      reinterpret_cast<char*>(lParam)[copied.size()] = '\0';
      return static_cast<LRESULT>(copied.size());
    }
    case WM_SETFONT:
      edit->Font = reinterpret_cast<HFONT>(wParam);
      Changed(window, *edit);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(edit->Font);
    case EM_LIMITTEXT:
      edit->Text.SetLimit(wParam == 0 ? EditDefaultLimit : static_cast<std::size_t>(wParam));
      Changed(window, *edit);
      return 0;
    case EM_GETLIMITTEXT:
      return static_cast<LRESULT>(edit->Text.Limit());
    case EM_SETSEL: {
      const auto start = static_cast<long>(static_cast<std::intptr_t>(wParam));
      const auto end = static_cast<long>(lParam);
      const std::size_t size = edit->Text.Text().size();
      if (start < 0) {
        edit->Text.MoveTo(edit->Text.Caret(), false);
      } else {
        edit->Text.Select(static_cast<std::size_t>(start), end < 0 ? size : static_cast<std::size_t>(end));
      }
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    }
    case EM_GETSEL: {
      const auto start = static_cast<DWORD>(edit->Text.SelectionStart());
      const auto end = static_cast<DWORD>(edit->Text.SelectionEnd());
      if (wParam != 0) {
        *reinterpret_cast<DWORD*>(wParam) = start;
      }
      if (lParam != 0) {
        *reinterpret_cast<DWORD*>(lParam) = end;
      }
      return static_cast<LRESULT>((start & 0xFFFF) | ((end & 0xFFFF) << 16));
    }
    case EM_SETBKGNDCOLOR:
      edit->BackColor = static_cast<COLORREF>(lParam);
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    case EM_SETTEXTCOLOR:
      edit->TextColor = static_cast<COLORREF>(lParam);
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    case WM_SETFOCUS:
      edit->Focused = true;
      edit->Told = false;
      edit->CaretShown = true;
      SetTimer(window, BlinkTimer, CaretBlinkTime, nullptr);
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    case WM_KILLFOCUS:
      edit->Focused = false;
      edit->CaretShown = false;
      KillTimer(window, BlinkTimer);
      InvalidateRect(window, nullptr, TRUE);
      Tell(window, *edit, EN_COMMIT);
      return 0;
    case WM_TIMER:
      if (wParam == BlinkTimer) {
        edit->CaretShown = !edit->CaretShown && edit->Focused;
        InvalidateRect(window, nullptr, FALSE);
      }
      return 0;
    case WM_KEYDOWN:
      if (HandleKey(window, *edit, wParam)) {
        Changed(window, *edit);
      }
      return 0;
    case WM_CHAR: {
      const auto c = static_cast<char32_t>(wParam);
      // Control characters (Enter, Escape, Backspace, Ctrl+letters) are keys, not text.
      if (c >= 0x20 && c != 0x7F && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF)) {
        if (edit->Text.Insert(std::u32string(1, c))) {
          Changed(window, *edit);
        }
      }
      return 0;
    }
    case WM_LBUTTONDOWN: {
      if (GetFocus() != window) {
        SetFocus(window);
      }
      const bool shift = (wParam & MK_SHIFT) != 0;
      edit->Text.MoveTo(
          PositionAt(*edit, static_cast<short>(lParam & 0xFFFF), static_cast<short>((lParam >> 16) & 0xFFFF)),
          shift);
      edit->Selecting = true;
      SetCapture(window);
      Changed(window, *edit);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (edit->Selecting) {
        edit->Text.MoveTo(PositionAt(*edit, static_cast<short>(lParam & 0xFFFF),
                                     static_cast<short>((lParam >> 16) & 0xFFFF)),
                          true);
        Changed(window, *edit);
      }
      return 0;
    case WM_LBUTTONUP:
      if (edit->Selecting) {
        edit->Selecting = false;
        ReleaseCapture();
      }
      return 0;
    case WM_CAPTURECHANGED:
      edit->Selecting = false;
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint(window, *edit);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

bool RegisterEditControlClass()
{
  WNDCLASSA registered{};
  if (GetClassInfoA(nullptr, EDIT_CONTROL_CLASS, &registered) != FALSE) {
    return true;
  }
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = EditProc;
  windowClass.lpszClassName = EDIT_CONTROL_CLASS;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  // Another thread may register it at the same time; either registration serves.
  RegisterClassA(&windowClass);
  return GetClassInfoA(nullptr, EDIT_CONTROL_CLASS, &registered) != FALSE;
}
