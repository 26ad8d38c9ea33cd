#pragma once
// What the program can learn about its display without showing a window: which back end serves
// it, whether it can be reached, the screen's size and depth, and whether pictures travel
// through shared memory. Asking opens the X server connection when DISPLAY names one.

#include <string>

#include "platform/windows/GdiTypes.h"

struct TDisplayInfo {
  std::string BackEnd;  // "x11" or "headless"
  bool Available = false;
  SIZE Screen{0, 0};
  int Depth = 0;
  bool SharedMemory = false;
};

TDisplayInfo DescribeDisplay();
