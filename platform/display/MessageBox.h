#pragma once
// Internal helpers of MessageBoxA (declared in platform/windows/Windows.h), shared with its tests.

#include <string>
#include <string_view>
#include <vector>

// The lines of a message box text: "\n", "\r\n", "\n\r" (and a lone "\r") each end a line.
std::vector<std::string> MessageBoxLines(std::string_view text);
// The one line standard error and the trace get: the caption, then the non-empty lines joined by
// spaces, control characters shown as '?', so the text can neither break the line nor steer the
// terminal.
std::string MessageBoxLogLine(std::string_view caption, std::string_view text);

#include "platform/windows/Windows.h"

// Shows the box as a modal window on the X server and returns the answer; 0 when there is no
// screen to show it on (the memory screen, or an X server that cannot be reached).
int ShowModalMessageBox(HWND owner, std::string_view text, std::string_view caption, UINT type);
