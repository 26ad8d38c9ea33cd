#include "forms/Screen.h"

#include "platform/windows/Metrics.h"

TScreen& Screen()
{
  static TScreen screen;
  return screen;
}

HCURSOR TScreen::Cursors(int index) const
{
  if (index == crHourGlass) {
    return LoadCursorA(nullptr, IDC_WAIT);
  }
  if (const auto found = FCursors.find(index); found != FCursors.end() && found->second != nullptr) {
    return found->second;
  }
  return LoadCursorA(nullptr, IDC_ARROW);
}

void TScreen::SetCursors(int index, HCURSOR cursor)
{
  if (index == crDefault || index == crArrow || index == crHourGlass) {
    return;  // the stock ones stay
  }
  FCursors[index] = cursor;
  if (index == FCursor) {
    ::SetCursor(Cursors(index));
  }
}

void TScreen::SetCursor(int index)
{
  if (index == FCursor) {
    return;
  }
  FCursor = index;
  ::SetCursor(Cursors(index));
}

int TScreen::Width() const
{
  return GetSystemMetrics(SM_CXSCREEN);
}

int TScreen::Height() const
{
  return GetSystemMetrics(SM_CYSCREEN);
}
