#pragma once
// Windows path arithmetic on the program's paths: backslash separators, drive letters ("C:")
// and UNC names ("\\server\share"). Pure text functions; nothing here touches the disk.

#include <string>
#include <string_view>

// The path up to and including the last "\" or ":" ("C:\Music\" for "C:\Music\a.mp3").
std::string ExtractFilePath(std::string_view fileName);
// As ExtractFilePath without the final backslash, except after a drive ("C:\").
std::string ExtractFileDir(std::string_view fileName);
// The part after the last "\" or ":".
std::string ExtractFileName(std::string_view fileName);
// The extension with its dot (".mp3"), or empty; a dot in a folder name does not count.
std::string ExtractFileExt(std::string_view fileName);
// "C:" for a drive path, "\\server\share" for a UNC path, otherwise empty.
std::string ExtractFileDrive(std::string_view fileName);
// Replaces the extension (or appends one); `extension` includes its dot.
std::string ChangeFileExt(std::string_view fileName, std::string_view extension);
std::string IncludeTrailingBackslash(std::string_view path);
std::string ExcludeTrailingBackslash(std::string_view path);
bool IsPathDelimiter(std::string_view path, std::size_t index) noexcept;
