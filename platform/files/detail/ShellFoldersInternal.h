#pragma once
// First-use filling of the shell-folder values, called by the Reg* calls before they touch a
// hive. Internal to the platform layer.

#include "platform/files/detail/RegistryStore.h"

void EnsureShellFolders(THive hive);
