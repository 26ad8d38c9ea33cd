#pragma once
// The tables the skin compiler generates: the stores' Data blobs and the cursors' pixels,
// embedded in the program.

#include <cstddef>
#include <cstdint>

struct TOxaSkinBlob {
  const char* Name;
  const unsigned char* Bytes;
  std::size_t Size;
};

struct TOxaSkinCursorRecord {
  const char* Name;
  int Width;
  int Height;
  int HotspotX;
  int HotspotY;
  std::size_t FirstPixel;  // index into kOxaSkinCursorPixels, in 32-bit little-endian units
};

extern const TOxaSkinBlob kOxaSkinStores[];
extern const std::size_t kOxaSkinStoreCount;
extern const TOxaSkinCursorRecord kOxaSkinCursorRecords[];
extern const std::size_t kOxaSkinCursorCount;
extern const unsigned char* const kOxaSkinCursorPixels;
