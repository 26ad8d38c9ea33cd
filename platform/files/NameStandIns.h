#pragma once
// Host names that no Windows name can hold as they are. A Linux name may hold the control
// characters 1..31 and " * : < > ? \ |; the walk still reports such a file, and every call taking
// a Windows path must find it again from the name the walk reported. Each of those bytes travels
// in the program's (UTF-8) names as the private-use character U+F000 + byte: one code point per
// host byte, as the wide paths carry bytes that are not UTF-8 (WidePaths.h), but in a range that
// is well-formed UTF-8, so the "A" calls and the wide calls carry it as ordinary text and it comes
// back unchanged from either.
//
// A host name that already holds such a stand-in literally has each of its three UTF-8 bytes
// (all 0x80 or above) carried as a stand-in too, so every host name has exactly one Windows name
// and comes back from it byte for byte. Bytes that are not UTF-8 stay the host's own bytes, as
// everywhere in the layer.
//
// Only U+F000 + b for a byte b that the mapping makes (the characters above and 0x80..0xFF) stands
// for a byte; any other private-use character is itself. In particular no Windows name can stand
// for a host name holding "/" or a zero byte.

#include <string>
#include <string_view>

// False when WindowsNameOf leaves hostName as it is (the walk's cheap test).
bool HostNameNeedsStandIns(std::string_view hostName) noexcept;
// The Windows name of one host name (no "/" in it).
std::string WindowsNameOf(std::string_view hostName);
// The same for the last name of a host path given to a search: "*" and "?" stay wildcards.
std::string WindowsMaskOf(std::string_view hostMask);

// False when HostNameOf leaves windowsName as it is.
bool WindowsNameMayHoldStandIns(std::string_view windowsName) noexcept;
// The host name of one Windows name (no "\" in it): each stand-in back to its byte.
std::string HostNameOf(std::string_view windowsName);
// A Windows name as the user knows the file: its host name, with each control character shown as
// U+FFFD. For display only; it names no file.
std::string ShownNameOf(std::string_view windowsName);
