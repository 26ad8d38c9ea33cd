#pragma once
// How the library commands reach a library: its directory from --dir or the settings, opened
// for writing (never one the player has open) or for reading (the stamp left alone).

#include <iosfwd>
#include <optional>
#include <string>

class TMusicDatabase;

// A Windows path as it is; a host path ("/home/me/Music") named through the drive table. Empty
// when the machine has no name for it.
std::string WindowsPath(const std::string& argument);
// The --dir option's library directory, or the one the settings name.
std::string LibraryDirectoryOf(const std::optional<std::string>& dir);
// Points database at that directory; false, with the reason told, when the machine has no name
// for it.
bool UseLibraryDirectory(TMusicDatabase& database, const std::optional<std::string>& dir, std::ostream& err);
// A library in use by another process must not be written, nor rebuilt under it: waits a while
// for its lock, then opens (creating the library when there is none) and returns true, or
// reports why not. A library left open by a crash is left to "db recover".
bool OpenForWriting(TMusicDatabase& database, std::ostream& err);
// Disconnects a library opened for writing; false, with a message, when its stamp stays open.
bool CloseAfterWriting(TMusicDatabase& database, std::ostream& err);
// Reading never touches the stamp, so a library in use stays as it is.
bool OpenForReading(TMusicDatabase& database, std::ostream& err);
