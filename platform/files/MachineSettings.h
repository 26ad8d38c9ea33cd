#pragma once
// Settings that tune the platform layer itself, kept in the machine's registry
// (HKEY_LOCAL_MACHINE\System\OxaMachine), so every process of one machine agrees on them. Tests
// lower them to keep waits short.

#include "platform/core/WinTypes.h"

// How long a thread may go without looking for messages before its windows count as hung:
// "HungThreshold" (REG_DWORD, milliseconds), DefaultHungThreshold when unset, zero or not a
// DWORD. Costs one stat of the hive when nothing changed.
constexpr DWORD DefaultHungThreshold = 5000;
DWORD HungThreshold() noexcept;
// Stores the threshold for the whole machine; 0 returns to the default. A registry error code.
LONG SetHungThreshold(DWORD milliseconds);
