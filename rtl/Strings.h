#pragma once
// Plain text helpers of the runtime. Texts are UTF-8 std::strings; the "ASCII" functions touch
// only the letters A-Z and a-z, as the runtime's own do.

#include <cstdint>
#include <string>
#include <string_view>

// Removes leading and trailing characters up to and including the space (control characters too).
std::string Trim(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);

std::string IntToStr(std::int64_t value);
// Upper-case hexadecimal with at least `digits` digits.
std::string IntToHex(std::uint64_t value, int digits);

// A decimal (or "$"/"0x" hexadecimal) integer with optional sign and surrounding blanks allowed
// neither before nor after; anything else, or a value outside 32 bits, gives defaultValue.
std::int32_t StrToIntDef(std::string_view text, std::int32_t defaultValue) noexcept;
// As StrToIntDef, but a text that is not a number raises EConvertError
// ("'%s' is not a valid integer value").
std::int32_t StrToInt(std::string_view text);
bool TryStrToInt(std::string_view text, std::int32_t& value) noexcept;

std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);

// ASCII comparisons: <0, 0 or >0. CompareText ignores the case of A-Z.
int CompareStr(std::string_view a, std::string_view b) noexcept;
int CompareText(std::string_view a, std::string_view b) noexcept;
bool SameText(std::string_view a, std::string_view b) noexcept;

std::string StringOfChar(char c, std::size_t count);
// Every occurrence of `from` replaced by `to` (an empty `from` changes nothing).
std::string StringReplaceAll(std::string_view text, std::string_view from, std::string_view to);
