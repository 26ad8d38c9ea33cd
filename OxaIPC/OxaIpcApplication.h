#pragma once
// The per-executable application lock of the bus unit: the named mutex "OxaIpc.a." + PATH,
// where PATH is this executable's full path in its network (UNC) form where it has one,
// upper-cased, with every "\" written as "/". A process takes it once and keeps it for its
// life, so another process learns from a failed LockApplication(0) that a copy of the same
// executable already runs.

#include <string>
#include <string_view>

#include "platform/core/WinTypes.h"

// The lock's name for an executable path ("C:\Oxa\OxaNetMusic.exe" -> "OxaIpc.a.C:/OXA/OXANETMUSIC.EXE").
std::string ApplicationLockName(std::string_view executablePath);
// This executable's path as the lock names it: full, expanded to UNC where possible.
std::string ApplicationLockPath();

// Takes this executable's lock, waiting up to timeout milliseconds (INFINITE: for ever); true
// when this process holds it (also when it already did). An abandoned lock counts as taken.
bool LockApplication(DWORD timeout);
// Gives the lock back; nothing when this process does not hold it.
void UnlockApplication();
