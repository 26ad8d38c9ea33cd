#pragma once
// Rasterising the skin's sources: SVG drawings at exact pixel sizes and glyphs of a TrueType
// face. Failures throw std::runtime_error with a message naming what went wrong.

#include <cstdint>
#include <string>
#include <vector>

// Straight (not premultiplied) 0xAARRGGBB pixels, rows top down.
struct TSkinImage {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint32_t> Pixels;
};

// Renders SVG text to exactly width x height pixels (the drawing's view box is scaled to fit).
TSkinImage RenderSvg(const std::string& svg, int width, int height);
// Renders SVG text the same way and writes it as a PNG file with its alpha.
void WriteSvgPng(const std::string& svg, int width, int height, const std::string& path);

// Coverage (0..255) of one glyph at a pixel size, placed on its advance width: Width is the
// advance, Baseline the row of the baseline within Rows rows.
struct TSkinGlyph {
  int Width = 0;
  int Rows = 0;
  std::vector<std::uint8_t> Coverage;
};

class TSkinFace {
 public:
  TSkinFace(const std::string& path, int pixelSize);
  ~TSkinFace();
  TSkinFace(const TSkinFace&) = delete;
  TSkinFace& operator=(const TSkinFace&) = delete;
  TSkinGlyph Render(unsigned codePoint, int rows, int baseline) const;

 private:
  void* FLibrary = nullptr;
  void* FFace = nullptr;
};
