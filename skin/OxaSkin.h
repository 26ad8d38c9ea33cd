#pragma once
// The program's own skin, compiled in: the Data blob of each named store and the cursors.
// Nothing is read from disk at run time.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The Data blob of a store ("Icons", "InfoIcons", "ScanBitmaps", "Frutiger12B", ...), or
// nothing for a name the skin lacks. Fits the asset containers' store source.
std::optional<std::string> OxaSkinStore(std::string_view storeName);
std::vector<std::string> OxaSkinStoreNames();
// The same bytes in place: they live as long as the program.
std::optional<std::string_view> OxaSkinStoreBytes(std::string_view storeName);

struct TOxaSkinCursor {
  std::string Name;
  int Width = 0;
  int Height = 0;
  int HotspotX = 0;
  int HotspotY = 0;
  std::vector<std::uint32_t> Argb;  // 0xAARRGGBB, rows top down
};

std::vector<TOxaSkinCursor> OxaSkinCursors();

// Registers every cursor as a resource of the program under its name; false when the platform
// refused one (the others are still registered).
bool OxaSkinRegisterCursors();
