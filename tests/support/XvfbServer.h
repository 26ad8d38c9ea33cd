#pragma once
// A private X server for tests of the X11 back end: Xvfb on a free display number (it picks one
// and reports it through -displayfd), 800 x 600 x 24 unless asked otherwise, no TCP, a black
// root window (so a screenshot compares with the memory screen's black). DISPLAY
// points at it while the object lives, and a request for the memory screen (OXA_DISPLAY, which a
// test machine sets when there is no display) is lifted meanwhile, so programs the test starts
// show their windows there; the server is stopped afterwards.

#include <sys/types.h>

#include <string>
#include <vector>

class TXvfbServer {
 public:
  // Throws std::runtime_error when Xvfb cannot be started or does not report its display.
  // serverArguments go to Xvfb as they are (e.g. "-extension", "MIT-SHM").
  explicit TXvfbServer(const std::string& screen = "800x600x24",
                       const std::vector<std::string>& serverArguments = {});
  ~TXvfbServer();
  TXvfbServer(const TXvfbServer&) = delete;
  TXvfbServer& operator=(const TXvfbServer&) = delete;

  // ":N".
  const std::string& Name() const noexcept { return FName; }

 private:
  pid_t FPid = -1;
  std::string FName;
  std::string FPreviousDisplay;
  bool FHadDisplay = false;
  std::string FPreviousChoice;
  bool FHadChoice = false;
};
