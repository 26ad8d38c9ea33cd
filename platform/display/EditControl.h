#pragma once
// The in-place editor: a window class of ours that edits a caption or a field where it is shown.
//
// A borderless child window showing its text word-wrapped in its font and colours, with a blinking
// caret while it has the focus, selection by mouse and Shift, Backspace, Delete, the arrows, Home
// and End, Ctrl+A. Its text is UTF-8; the limit counts code points and text is never cut inside
// one. Setting its text (WM_SETTEXT, or the window name at creation) selects all of it, so typing
// replaces it; GetWindowTextA and WM_GETTEXT give the edited text.
//
// It is its own focused window: its keys never reach the program's other windows. Enter and
// Escape are not inserted; the parent gets WM_COMMAND (wParam: the control's id in the low word,
// the code in the high word; lParam: the control) with EN_COMMIT for Enter, EN_CANCEL for Escape
// and EN_COMMIT again when the control loses the focus — once per focus: after either code nothing
// more is told until it has the focus again.

#include "platform/windows/Messages.h"
#include "platform/windows/Windows.h"

inline constexpr const char* EDIT_CONTROL_CLASS = "OxaInPlaceEdit";

constexpr UINT EM_GETSEL = 0x00B0;     // wParam, lParam: DWORD* for the start and end (may be null)
constexpr UINT EM_SETSEL = 0x00B1;     // wParam start, lParam end (code points; end -1: the end)
constexpr UINT EM_LIMITTEXT = 0x00C5;  // wParam: the most code points (0: the default, 32767)
constexpr UINT EM_GETLIMITTEXT = 0x00D5;
constexpr UINT EM_SETBKGNDCOLOR = 0x0443;  // lParam: the background colour
// Ours: lParam is the text colour.
constexpr UINT EM_SETTEXTCOLOR = WM_USER + 0x0300;

constexpr WORD EN_COMMIT = 0x0A01;
constexpr WORD EN_CANCEL = 0x0A02;

constexpr UINT EditDefaultLimit = 32767;

// Registers the class once for the process; returns whether it is registered.
bool RegisterEditControlClass();
