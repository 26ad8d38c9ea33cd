#pragma once
// The screen object: its size, the program's cursors by number and the cursor shown over all of
// the program's windows.

#include <map>

#include "platform/windows/Input.h"

// Cursor numbers of the stock cursors; the program's own cursors take positive numbers.
constexpr int crDefault = 0;
constexpr int crArrow = -2;
constexpr int crHourGlass = -11;

class TScreen {
 public:
  // The cursor of a number: the arrow for crDefault and crArrow, the wait cursor for crHourGlass,
  // what the program stored for the others (the arrow when nothing was stored).
  HCURSOR Cursors(int index) const;
  void SetCursors(int index, HCURSOR cursor);

  // The cursor shown over every window of the program, whatever the window under the pointer
  // asks for, until it is crDefault again (then each window shows its own once the mouse moves).
  int Cursor() const noexcept { return FCursor; }
  void SetCursor(int index);

  int Width() const;
  int Height() const;

 private:
  std::map<int, HCURSOR> FCursors;
  int FCursor = crDefault;
};

// The process's one screen object.
TScreen& Screen();
