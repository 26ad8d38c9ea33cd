#pragma once
// The few file operations the library needs on its directory, by Windows path. Internal to
// library/.

#include <cstddef>
#include <string>
#include <string_view>

// The whole content of a file, or "" when it cannot be read or is longer than maxSize.
std::string ReadSmallFile(const std::string& fileName, std::size_t maxSize);
// Replaces a file's content all at once: written beside it under a temporary name and renamed
// over it, so a crash or a full disk leaves the old content or the new, never a part. False on
// any failure (the temporary file is removed again).
bool ReplaceFileContent(const std::string& fileName, std::string_view content);
// Creates a folder with its missing parents; true when it exists afterwards.
bool ForceFolder(const std::string& folder);
// Deletes every file of folder (which ends with a backslash) whose name matches mask, hidden
// ones included; folders are left alone. False as soon as one deletion fails.
bool DeleteMatchingFiles(const std::string& folder, const std::string& mask);
