#pragma once
// Cursor helpers shared by the library's operations. Internal to library/.

#include "tableengine/Table.h"

// Opens the cursor when it is closed; every operation makes the cursors it uses active itself.
inline void Activate(TTable& table)
{
  if (!table.Active()) {
    table.Open();
  }
}

// An edit or insert that fails halfway must not stay pending: the cursor's next move would post
// it.
template <class Body>
void Change(TTable& table, Body&& body)
{
  try {
    body();
    table.Post();
  } catch (...) {
    table.Cancel();
    throw;
  }
}
