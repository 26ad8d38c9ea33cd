#pragma once
// The reader of BMP files (the file header, a BITMAPINFOHEADER or larger header, an optional
// colour table, uncompressed rows of 1, 4, 8, 16, 24 or 32 bits) and the writer the tests use to
// make them. Every offset and length is checked against the bytes given.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/windows/Surface.h"

// The most bytes a BMP may hold before its pixels (headers and colour table).
constexpr std::size_t MaxBmpHeaderBytes = 64 * 1024;

// The picture as a surface of the file's depth and row order; null for anything malformed or
// beyond the caps of a surface.
std::unique_ptr<TSurface> ParseBmp(std::span<const std::uint8_t> bytes);
// A bottom-up BMP of the surface, with its colour table.
std::vector<std::uint8_t> SerializeBmp(const TSurface& surface);
