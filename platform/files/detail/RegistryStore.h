#pragma once
// The hive files behind the Reg* calls, for the platform's own readers and writers (the drive
// table, the shell folders), which must not go through the calls' first-use hooks. Internal to
// the platform layer.

#include <cstdint>
#include <functional>

#include "platform/core/WinTypes.h"
#include "platform/files/RegistryHive.h"

enum class THive { CurrentUser, LocalMachine };

// Runs reader on the hive as it is on disk now (a missing file reads as an empty hive).
void ReadHive(THive hive, const std::function<void(const TRegKey& root)>& reader);

// The same, but runs reader only when the hive is not the version generation names (0 names
// none), and then sets generation to the version read. Returns whether reader ran. Costs one
// stat of the hive file when nothing changed.
bool ReadHiveIfChanged(THive hive, std::uint64_t& generation,
                       const std::function<void(const TRegKey& root)>& reader);

// Runs change on the latest hive under the cross-process lock and, when it sets changed, writes
// the hive back atomically. Returns change's result, or a write error (the hive on disk is then
// unchanged).
LONG ModifyHive(THive hive, const std::function<LONG(TRegKey& root, bool& changed)>& change);
