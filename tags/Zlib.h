#pragma once
// zlib streams for compressed ID3v2 frames. The only file of the program that includes zlib.h.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// Inflates a complete zlib stream. False when the data is damaged, ends early, or would inflate
// to more than `limit` bytes (the output is then unspecified).
bool ZlibInflate(std::span<const std::uint8_t> data, std::size_t limit, std::vector<std::uint8_t>& output);
std::vector<std::uint8_t> ZlibDeflate(std::span<const std::uint8_t> data);
// CRC-32 as ID3v2 extended headers carry it.
std::uint32_t Crc32(std::span<const std::uint8_t> data) noexcept;
