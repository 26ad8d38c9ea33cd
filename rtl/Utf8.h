#pragma once
// Code-point helpers for the program's UTF-8 strings and the few foreign encodings its data
// arrives in (ISO-8859-1 and UTF-16 in tags and media attributes).

#include <cstddef>
#include <string>
#include <string_view>

constexpr char32_t ReplacementCharacter = 0xFFFD;

// The code point starting at `pos`; `pos` moves past it. A malformed or truncated sequence
// yields ReplacementCharacter and moves one byte.
char32_t NextCodePoint(std::string_view text, std::size_t& pos) noexcept;
void AppendCodePoint(std::string& text, char32_t codePoint);
std::size_t CodePointCount(std::string_view text) noexcept;

// The longest start of the text that takes at most `units` UTF-16 code units: cut between two
// characters, so a character outside the Basic Multilingual Plane (a surrogate pair) is kept
// whole or left out whole. The bytes kept are the text's own.
std::string_view CutToUtf16Units(std::string_view text, std::size_t units) noexcept;

std::u16string Utf8ToUtf16(std::string_view text);
// Unpaired surrogates become ReplacementCharacter.
std::string Utf16ToUtf8(std::u16string_view text);

std::string Latin1ToUtf8(std::string_view latin1);
// Characters above U+00FF become '?'.
std::string Utf8ToLatin1(std::string_view text);
// Whether every character of the text fits in ISO-8859-1.
bool FitsLatin1(std::string_view text) noexcept;
