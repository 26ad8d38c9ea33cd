// The modal message box window: the text in the platform font, an error sign when asked for, an
// OK button; Enter, Escape, Space, a click on OK or closing the window end it. The program's other
// windows are disabled meanwhile and the box runs its own message loop.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/display/GdiText.h"
#include "platform/display/MessageBox.h"
#include "platform/windows/DisplayBackEnd.h"
#include "platform/windows/Gdi.h"
#include "platform/windows/Input.h"
#include "platform/windows/Messages.h"
#include "platform/windows/Metrics.h"
#include "platform/windows/WindowManager.h"

namespace {

constexpr const char* BoxClass = "OxaMessageBox";
constexpr int Margin = 16;
constexpr int IconSize = 32;
constexpr int ButtonWidth = 88;
constexpr int ButtonHeight = 26;
constexpr COLORREF Face = RGB(240, 240, 240);
constexpr COLORREF Ink = RGB(0, 0, 0);
constexpr COLORREF ErrorRed = RGB(200, 30, 30);

struct TBox {
  std::vector<std::string> Lines;
  bool ErrorIcon = false;
  HFONT Font = nullptr;
  int LineHeight = 16;
  RECT Button{0, 0, 0, 0};
  bool Pressed = false;
  bool Done = false;
};

TBox* BoxOf(HWND window)
{
  return reinterpret_cast<TBox*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

void Fill(HDC dc, const RECT& rect, COLORREF color)
{
  const HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

void PaintBox(HWND window, TBox& box)
{
  PAINTSTRUCT paint{};
  const HDC dc = BeginPaint(window, &paint);
  if (dc == nullptr) {
    return;
  }
  RECT client{};
  GetClientRect(window, &client);
  Fill(dc, client, Face);
  const HGDIOBJ oldFont = SelectObject(dc, box.Font);
  SetBkMode(dc, TRANSPARENT);
  int textLeft = Margin;
  if (box.ErrorIcon) {
    const RECT sign{Margin, Margin, Margin + IconSize, Margin + IconSize};
    Fill(dc, sign, ErrorRed);
    SetTextColor(dc, RGB(255, 255, 255));
    RECT mark = sign;
    DrawTextA(dc, "X", 1, &mark, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    textLeft += IconSize + Margin;
  }
  SetTextColor(dc, Ink);
  int y = Margin;
  for (const std::string& line : box.Lines) {
    TextOutA(dc, textLeft, y, line.c_str(), static_cast<int>(line.size()));
    y += box.LineHeight;
  }
  const RECT& button = box.Button;
  Fill(dc, button, box.Pressed ? RGB(200, 200, 200) : RGB(225, 225, 225));
  const HBRUSH frame = CreateSolidBrush(RGB(0, 120, 215));
  FrameRect(dc, &button, frame);
  DeleteObject(frame);
  RECT label = button;
  DrawTextA(dc, "OK", 2, &label, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, oldFont);
  EndPaint(window, &paint);
}

bool InButton(const TBox& box, LPARAM lParam)
{
  const auto x = static_cast<short>(lParam & 0xFFFF);
  const auto y = static_cast<short>((lParam >> 16) & 0xFFFF);
  return x >= box.Button.left && x < box.Button.right && y >= box.Button.top && y < box.Button.bottom;
}

LRESULT BoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  TBox* box = BoxOf(window);
  if (box == nullptr) {
    return DefWindowProcA(window, message, wParam, lParam);
  }
  switch (message) {
    case WM_PAINT:
      PaintBox(window, *box);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_KEYDOWN:
      if (wParam == VK_RETURN || wParam == VK_ESCAPE || wParam == VK_SPACE) {
        box->Done = true;
      }
      return 0;
    case WM_LBUTTONDOWN:
      if (InButton(*box, lParam)) {
        box->Pressed = true;
        SetCapture(window);
        InvalidateRect(window, &box->Button, FALSE);
      }
      return 0;
    case WM_LBUTTONUP:
      if (box->Pressed) {
        box->Pressed = false;
        ReleaseCapture();
        InvalidateRect(window, &box->Button, FALSE);
        box->Done = InButton(*box, lParam);
      }
      return 0;
    case WM_CLOSE:
      box->Done = true;
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

// The program's enabled top-level windows, disabled while the box is up and enabled again after.
class TDisabledWindows {
 public:
  TDisabledWindows()
  {
    auto table = TWindowManager::Instance().Table();
    for (const HWND handle : table.Stack()) {
      const auto window = table.Find(handle);
      if (window && (window->Style & WS_DISABLED) == 0) {
        window->Style |= WS_DISABLED;
        FWindows.push_back(handle);
      }
    }
  }
  ~TDisabledWindows()
  {
    auto table = TWindowManager::Instance().Table();
    for (const HWND handle : FWindows) {
      if (const auto window = table.Find(handle)) {
        window->Style &= ~static_cast<LONG_PTR>(WS_DISABLED);
      }
    }
  }
  TDisabledWindows(const TDisabledWindows&) = delete;
  TDisabledWindows& operator=(const TDisabledWindows&) = delete;

 private:
  std::vector<HWND> FWindows;
};

}  // namespace

int ShowModalMessageBox(HWND owner, std::string_view text, std::string_view caption, UINT type)
{
  TDisplay& display = ActiveDisplay();
  if (std::string_view(display.Name()) != "x11" || !display.Open()) {
    return 0;
  }
  WNDCLASSA registered{};
  if (GetClassInfoA(nullptr, BoxClass, &registered) == FALSE) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = BoxProc;
    windowClass.lpszClassName = BoxClass;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    RegisterClassA(&windowClass);
  }
  TBox box;
  box.Lines = MessageBoxLines(text);
  while (box.Lines.size() > 1 && box.Lines.back().empty()) {
    box.Lines.pop_back();
  }
  box.ErrorIcon = (type & MB_ICONERROR) != 0;
  box.Font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  // Measure the text in the font the box paints with.
  int textWidth = 0;
  {
    const HDC dc = GetDC(nullptr);
    const HGDIOBJ oldFont = SelectObject(dc, box.Font);
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    box.LineHeight = std::max<int>(1, metrics.tmHeight);
    for (const std::string& line : box.Lines) {
      SIZE size{0, 0};
      GetTextExtentPoint32A(dc, line.c_str(), static_cast<int>(line.size()), &size);
      textWidth = std::max<int>(textWidth, size.cx);
    }
    SelectObject(dc, oldFont);
    ReleaseDC(nullptr, dc);
  }
  const int textLeft = Margin + (box.ErrorIcon ? IconSize + Margin : 0);
  const int width = std::max(textLeft + textWidth + Margin, ButtonWidth + 2 * Margin);
  const int textHeight =
      std::max(static_cast<int>(box.Lines.size()) * box.LineHeight, box.ErrorIcon ? IconSize : 0);
  const int height = Margin + textHeight + Margin + ButtonHeight + Margin;
  box.Button = RECT{(width - ButtonWidth) / 2, height - Margin - ButtonHeight, (width + ButtonWidth) / 2,
                    height - Margin};
  const RECT screen = display.PrimaryMonitor();
  const int x = screen.left + (screen.right - screen.left - width) / 2;
  const int y = screen.top + (screen.bottom - screen.top - height) / 2;

  const TDisabledWindows disabled;
  const std::string title(caption);
  const HWND window = CreateWindowExA(WS_EX_TOPMOST, BoxClass, title.c_str(), WS_POPUP | WS_CAPTION, x, y,
                                      width, height, nullptr, nullptr, nullptr, nullptr);
  if (window == nullptr) {
    return 0;
  }
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&box));
  ShowWindow(window, SW_SHOW);
  if (!IsWindowVisible(window)) {
    DestroyWindow(window);
    return 0;
  }
  SetForegroundWindow(window);
  SetFocus(window);
  bool quit = false;
  int quitCode = 0;
  MSG message{};
  while (!box.Done) {
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == 0) {
      // The program is ending: the box goes, and the loop that waits for the end sees it again.
      quit = true;
      quitCode = static_cast<int>(message.wParam);
      break;
    }
    if (got < 0) {
      break;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  DestroyWindow(window);
  if (owner != nullptr && IsWindow(owner) != FALSE) {
    SetActiveWindow(owner);
  }
  if (quit) {
    PostQuitMessage(quitCode);
  }
  return IDOK;
}
