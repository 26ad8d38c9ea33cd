#pragma once
// Case-insensitive name comparison as the Windows file systems and the registry do it: every
// code point mapped to its simple upper case, nothing else (no normalisation, no locale), so
// two names are the same name exactly when they differ in letter case only. Internal to the
// platform layer.

#include <string>
#include <string_view>

// The upper-case form of a UTF-8 name; bytes that are not valid UTF-8 are kept as they are.
std::string UpperCaseName(std::string_view name);

bool SameNameIgnoringCase(std::string_view a, std::string_view b);

// Orders names by their upper-case forms (byte order of the UTF-8), the registry's key order.
int CompareNamesIgnoringCase(std::string_view a, std::string_view b);
