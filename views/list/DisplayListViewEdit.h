#pragma once
// The in-place caption editor of a list: a borderless child window of the list's host control
// holding the platform's edit control. It is a window of its own with the keyboard focus, so
// the keys typed into it (Backspace and Delete included) never reach the list.

#include <string>

#include "forms/Forms.h"
#include "forms/GdiHandles.h"
#include "graphics/OxaGraphics.h"
#include "rtl/Method.h"

class TDisplayListViewEdit;
// commit: Enter or the focus leaving; otherwise Escape.
using TDisplayListViewEditDoneEvent = TMethod<void(TDisplayListViewEdit* sender, bool commit)>;

class TDisplayListViewEdit : public TCustomControl {
 public:
  static constexpr int MaxLength = 250;
  static constexpr TOxaColor TextColor = 0x000000;
  static constexpr TOxaColor BackColor = 0x969696;

  explicit TDisplayListViewEdit(TComponent* owner = nullptr);
  ~TDisplayListViewEdit() override;

  // Shows the editor in parent's client area at bounds, in the platform font given, with text
  // all selected, and gives it the keyboard focus.
  void Open(HWND parent, const RECT& bounds, const TOxaGdiFont& font, const std::string& text);
  // The edited text.
  std::string Text() const;
  // The edit control itself (null before the first Open).
  HWND Editor() const noexcept { return FEditor; }

  // Raised from inside the edit control's own message handling: handlers must not free the
  // editor there (queue the work instead).
  TDisplayListViewEditDoneEvent OnDone;

 protected:
  void CreateParams(TCreateParams& params) override;
  void WndProc(TMessage& message) override;

 private:
  HWND FEditor = nullptr;
  TGdiObject<HFONT> FFont;
  TOxaGdiFont FFontSpec;
  bool FHasFont = false;
};
