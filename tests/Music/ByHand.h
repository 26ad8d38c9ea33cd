#pragma once
// What the end-to-end suites share: hands on a private X server (pointer, keyboard, screen
// through XTest), waiting for an effect, and what the program publishes and stores, read back
// with oxa-host and oxa-lib as a person at a terminal would.
//
// The screen of these suites is 1024 x 768: the browser's 800 x 600 drawn 1.28 times as large.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/ProgramRun.h"
#include "tests/support/ScreenShots.h"

// The X headers stay out of this header: their macros (None, Status) clash with other names.
struct _XDisplay;

namespace byhand {

using namespace std::chrono_literals;

struct TSpot {
  int X, Y;
};

// The test's own hands on the server.
class THands {
 public:
  explicit THands(const std::string& display);
  ~THands();
  THands(const THands&) = delete;
  THands& operator=(const THands&) = delete;
  bool Open() const noexcept { return FDisplay != nullptr; }

  void MoveTo(int x, int y);
  void Button(bool down);
  // As a hand does: onto the spot, a moment, press, release.
  void Click(int x, int y);
  void DoubleClick(int x, int y);
  // Pressed, held for holdFor, released.
  void PressAndHold(int x, int y, std::chrono::milliseconds holdFor);
  // keysym: an X key symbol (XK_...).
  void Key(unsigned long keysym, bool down);
  void Tap(unsigned long keysym);
  // The key with modifiers held (XK_Control_L, XK_Shift_L, XK_Alt_L ...).
  void Chord(const std::vector<unsigned long>& modifiers, unsigned long keysym);
  void CtrlClick(int x, int y);
  // Latin letters, digits and spaces, one key each; text in other scripts through keysyms the
  // server is taught on the fly (a spare key code is remapped for each character).
  void Type(const std::string& utf8);
  // Presses at from, moves past the drag threshold and on to to in steps, and lets go there.
  void Drag(TSpot from, TSpot to);

  TScreenPicture Shot(int left, int top, int width, int height);
  // The top-level windows of the screen, bottom to top: (name or "", mapped).
  struct TTopWindow {
    unsigned long Id;
    std::string Name;
    bool Mapped;
    int X, Y, Width, Height;
  };
  std::vector<TTopWindow> Stacking();

 private:
  _XDisplay* FDisplay;
};

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 30s);

// Does what a hand does until it shows its effect. Under the sanitizers on a busy machine a
// press now and then has no effect, so each step is tried up to attempts times.
bool Retried(const std::function<void()>& action, const std::function<bool()>& effect, int attempts = 3);
bool ClickUntil(THands& hands, TSpot spot, const std::function<bool()>& effect);

// oxa-host status, whole.
std::string HostStatus();
// One field of the published status ("Visible", "DisplayMode", "Activity" ...); "" when absent.
std::string StatusField(const std::string& name);
// The caption the program published as playing ("" when none).
std::string PublishedTrack();
// The program's status answered and names no track.
testing::AssertionResult NothingPublished();
TProgramRun Host(const std::vector<std::string>& arguments);
TProgramRun Lib(const std::vector<std::string>& arguments);

struct TListLine {
  std::string Id;
  std::string Caption;
};
// oxa-lib's listing of a view or group: id and caption per line.
std::vector<TListLine> Listed(const std::vector<std::string>& arguments);
std::vector<std::string> Captions(const std::vector<TListLine>& lines);
// The playlists' captions, without their track counts.
std::vector<std::string> Playlists();
std::vector<std::string> PlaylistTracks(const std::string& name);

// True when every pixel of the picture has the same colour (nothing drawn there).
// The crop, once it shows the same picture twice in a row 300 ms apart (the program has
// painted); the last one taken after 20 s.
TScreenPicture SettledShot(THands& hands, int left, int top, int width, int height);
bool Blank(const TScreenPicture& picture);
// The share of the picture's pixels that are not black, 0 to 1.
double LitShare(const TScreenPicture& picture);

}  // namespace byhand
