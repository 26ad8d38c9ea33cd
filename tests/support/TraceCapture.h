#pragma once
// Points the trace sink (OXA_TRACE) at a fresh file for the test's lifetime, so a test can read
// the lines it caused; the previous value comes back afterwards.

#include <stdlib.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "tests/support/TempFolder.h"

class TTraceCapture {
 public:
  TTraceCapture()
  {
    if (const char* previous = getenv("OXA_TRACE"); previous != nullptr) {
      FPrevious = previous;
    }
    setenv("OXA_TRACE", (FFolder.Path() / "trace.log").c_str(), 1);
  }
  ~TTraceCapture()
  {
    if (FPrevious) {
      setenv("OXA_TRACE", FPrevious->c_str(), 1);
    } else {
      unsetenv("OXA_TRACE");
    }
  }
  TTraceCapture(const TTraceCapture&) = delete;
  TTraceCapture& operator=(const TTraceCapture&) = delete;

  // Every line written so far, time stamps included.
  std::string Log() const
  {
    std::ifstream in(FFolder.Path() / "trace.log");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  bool Contains(const std::string& text) const { return Log().find(text) != std::string::npos; }
  // The last lines, to show with a failed expectation.
  std::string Tail() const
  {
    const std::string log = Log();
    return "\nthe trace ends:\n" + log.substr(log.size() > 2000 ? log.size() - 2000 : 0);
  }

 private:
  TTempFolder FFolder;
  std::optional<std::string> FPrevious;
};
