// Message boxes: on the X server a small modal window of ours; with the memory screen a line on
// standard error and in the trace, answered at once with IDOK.
#include "platform/display/MessageBox.h"

#include <cstdio>

#include "platform/core/Diagnostics.h"
#include "platform/windows/Windows.h"

std::vector<std::string> MessageBoxLines(std::string_view text)
{
  std::vector<std::string> lines(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\n' || c == '\r') {
      const char pair = c == '\n' ? '\r' : '\n';
      if (i + 1 < text.size() && text[i + 1] == pair) {
        ++i;
      }
      lines.emplace_back();
    } else {
      lines.back() += c;
    }
  }
  return lines;
}

std::string MessageBoxLogLine(std::string_view caption, std::string_view text)
{
  std::string line;
  const auto append = [&line](std::string_view part) {
    for (const char c : part) {
      const auto byte = static_cast<unsigned char>(c);
      line += byte < 0x20 || byte == 0x7F ? '?' : c;
    }
  };
  append(caption);
  line += ':';
  for (const std::string& part : MessageBoxLines(text)) {
    if (!part.empty()) {
      line += ' ';
      append(part);
    }
  }
  return line;
}

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type)
{
  const std::string_view body = text != nullptr ? text : "";
  const std::string_view title = caption != nullptr ? caption : "Error";
  if (const int answer = ShowModalMessageBox(owner, body, title, type); answer != 0) {
    return answer;
  }
  const std::string line = MessageBoxLogLine(title, body);
  PlatformTrace("message box: " + line);
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
  return IDOK;
}
