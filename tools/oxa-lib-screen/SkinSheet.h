#pragma once
// Pictures of the compiled skin: the contact sheet (every image of every store 1:1 under its
// name) and the cursors, and writing them as PNG.

#include <cstdint>
#include <string>
#include <vector>

class TOxaBitmap;

struct TSkinPicture {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint32_t> Rgb;  // 0x00RRGGBB, rows top down
};

TSkinPicture SkinImagePicture(TOxaBitmap& image);
TSkinPicture SkinSheet();
TSkinPicture SkinCursorSheet();
// Through a temporary file renamed into place; false when it cannot be written.
bool WriteSkinPng(const std::string& path, const TSkinPicture& picture);
