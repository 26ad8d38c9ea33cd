#pragma once
// The ID3 genre table: 148 names indexed by the ID3v1 genre number, in the order of the original
// list and its customary extension. Both tag readers and the tag facade use it; 255 means none.

#include <span>
#include <string_view>

constexpr int Id3GenreCount = 148;
constexpr int Id3NoGenre = 255;

std::span<const std::string_view> Id3Genres() noexcept;
// The name for a number within the table, else empty.
std::string_view Id3GenreName(int genre) noexcept;
// The number of a name, ignoring case; -1 when the name is not in the table.
int Id3GenreIndex(std::string_view name) noexcept;
