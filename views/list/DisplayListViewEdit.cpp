#include "views/list/DisplayListViewEdit.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/display/EditControl.h"
#include "platform/display/GdiText.h"
#include "platform/windows/Input.h"
#include "platform/windows/Messages.h"
#include "platform/windows/Windows.h"

namespace {
constexpr std::uintptr_t kEditorId = 1;
}

TDisplayListViewEdit::TDisplayListViewEdit(TComponent* owner) : TCustomControl(owner) {}

TDisplayListViewEdit::~TDisplayListViewEdit()
{
  // Destroying a focused editor tells a commit: nobody is listening any more.
  OnDone = nullptr;
  DestroyHandle();
}

void TDisplayListViewEdit::CreateParams(TCreateParams& params)
{
  TCustomControl::CreateParams(params);
  params.Caption = "TDisplayListViewEdit";
}

void TDisplayListViewEdit::Open(HWND parent, const RECT& bounds, const TOxaGdiFont& font,
                                const std::string& text)
{
  SetParentWindow(parent);
  const HWND window = Handle();
  const int width = bounds.right - bounds.left;
  const int height = bounds.bottom - bounds.top;
  MoveWindow(window, bounds.left, bounds.top, width, height, TRUE);
  if (FEditor == nullptr) {
    RegisterEditControlClass();
    FEditor = CreateWindowExA(0, EDIT_CONTROL_CLASS, "", WS_CHILD | WS_VISIBLE, 0, 0, width, height, window,
                              reinterpret_cast<HMENU>(kEditorId), nullptr, nullptr);
    if (FEditor == nullptr)
      throw EOutOfResources("Error creating window");
    SendMessageA(FEditor, EM_LIMITTEXT, MaxLength, 0);
    SendMessageA(FEditor, EM_SETTEXTCOLOR, 0, LPARAM(TextColor));
    SendMessageA(FEditor, EM_SETBKGNDCOLOR, 0, LPARAM(BackColor));
  } else {
    MoveWindow(FEditor, 0, 0, width, height, TRUE);
  }
  if (!FHasFont || !(font == FFontSpec)) {
    LOGFONTA spec{};
    spec.lfHeight = font.Height;
    spec.lfWeight = font.Bold ? FW_BOLD : FW_NORMAL;
    spec.lfItalic = font.Italic ? 1 : 0;
    std::strncpy(spec.lfFaceName, font.Name.c_str(), sizeof(spec.lfFaceName) - 1);
    TGdiObject<HFONT> made(CreateFontIndirectA(&spec));
    SendMessageA(FEditor, WM_SETFONT, reinterpret_cast<WPARAM>(made.Get()), TRUE);
    FFont = std::move(made);
    FFontSpec = font;
    FHasFont = true;
  }
  // Setting the text selects all of it, so typing replaces the caption.
  SendMessageA(FEditor, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  ShowWindow(window, SW_SHOW);
  SetFocus(FEditor);
}

std::string TDisplayListViewEdit::Text() const
{
  if (FEditor == nullptr)
    return {};
  const auto length = std::size_t(SendMessageA(FEditor, WM_GETTEXTLENGTH, 0, 0));
  std::vector<char> buffer(length + 1, '\0');
  SendMessageA(FEditor, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
  return buffer.data();
}

void TDisplayListViewEdit::WndProc(TMessage& message)
{
  if (message.Msg == WM_COMMAND && reinterpret_cast<HWND>(message.LParam) == FEditor && FEditor != nullptr) {
    const auto code = WORD((message.WParam >> 16) & 0xFFFF);
    if ((code == EN_COMMIT || code == EN_CANCEL) && OnDone)
      OnDone(this, code == EN_COMMIT);
    message.Result = 0;
    return;
  }
  TCustomControl::WndProc(message);
}
