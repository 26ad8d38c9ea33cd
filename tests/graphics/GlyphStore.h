#pragma once
// Small glyph stores built in code: every glyph a solid block of a known width and colour, so
// layout and drawing can be checked pixel for pixel.

#include <map>
#include <string>

#include "graphics/OxaBitmap.h"
#include "graphics/OxaGraphics.h"

namespace glyphs {

constexpr int kRows = 44;
constexpr TOxaColor kKey = 0x00FF00;  // the space glyph's colour: the key

// The colour of a glyph of character code c.
constexpr TOxaColor ColorOf(int c)
{
  return TOxaColor(0x010000 * (c & 0x7F) + 0x40);
}

inline void AddGlyph(TOxaBitmaps& store, const std::string& name, int width, TOxaColor color,
                     int rows = kRows)
{
  TOwnedObject<TOxaBitmap> glyph(new TOxaBitmap(nullptr));
  glyph->ChangeImageSize(width, rows, opf24Bit);
  glyph->FillRect(RECT{0, 0, width, rows}, color);
  store.Add(name, *glyph);
}

// Space 3 wide; capitals, small letters (with small) and digits 5 wide; "." 2 wide; "-" 4.
inline void Fill(TOxaBitmaps& store, bool small = true, int rows = kRows)
{
  AddGlyph(store, std::string(GlyphName(' ')), 3, kKey, rows);
  for (int c = 'A'; c <= 'Z'; ++c) {
    AddGlyph(store, std::string(GlyphName(c)), 5, ColorOf(c), rows);
    if (small) {
      AddGlyph(store, std::string(GlyphName(c + 32)), 5, ColorOf(c + 32), rows);
    }
  }
  for (int c = '0'; c <= '9'; ++c) {
    AddGlyph(store, std::string(GlyphName(c)), 5, ColorOf(c), rows);
  }
  AddGlyph(store, std::string(GlyphName('.')), 2, ColorOf('.'), rows);
  AddGlyph(store, std::string(GlyphName('-')), 4, ColorOf('-'), rows);
}

}  // namespace glyphs
