#pragma once
// The machine folder: everything the platform layer persists (registry hives, drive table,
// named objects, message sockets) lives under it. It is $XDG_CONFIG_HOME/oxanetmusic/machine
// (~/.config when XDG_CONFIG_HOME is unset) unless OXA_MACHINE names another folder.

#include <filesystem>

// The machine folder in use, created on first use. Read from the environment on every call, so
// a test that points OXA_MACHINE elsewhere gets its own machine.
std::filesystem::path MachineFolder();
// The same folder without creating it, for readers that must not leave a trace behind.
std::filesystem::path MachineFolderPath();
