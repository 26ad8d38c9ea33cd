#pragma once
// Locale-aware text comparison and case mapping. The order is the user's locale's collation
// (ICU; the root collation when the locale is C, POSIX or unknown, so results are the same on a
// machine without locale data) without regard to case. Two texts compare equal only when they
// are equal after full case folding: two different file names are never the same file.

#include <string>
#include <string_view>

// <0, 0 or >0, ignoring case.
int AnsiCompareText(std::string_view a, std::string_view b);
// <0, 0 or >0, case-sensitive (lower case before upper case where the collation says so);
// 0 only for identical texts.
int AnsiCompareStr(std::string_view a, std::string_view b);
bool AnsiSameText(std::string_view a, std::string_view b);
// Code-point order of the case-folded texts (simple folding, no locale): 0 exactly where
// AnsiCompareText gives 0, and much cheaper, for orders that only have to be consistent (the
// matching of found and known files), not shown to the user.
int CompareTextFolded(std::string_view a, std::string_view b) noexcept;
// The case-folded text: two texts compare equal (either way above) exactly when their folded
// forms are the same bytes.
std::string FoldCase(std::string_view text);
// FoldCase(text) appended to target.
void AppendFoldCase(std::string& target, std::string_view text);

std::string AnsiUpperCase(std::string_view text);
std::string AnsiLowerCase(std::string_view text);

// One character's simple upper- and lower-case mapping.
char32_t AnsiUpperChar(char32_t c) noexcept;
char32_t AnsiLowerChar(char32_t c) noexcept;
