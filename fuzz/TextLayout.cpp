// Text layout in a glyph font built in code: random text, limits, spacing, wrap mode and
// ellipsis. Layout must end, never place a glyph past MaxWidth unless it stands alone on its
// line (cut to MaxWidth), and never grow taller than MaxHeight; drawing stays on the surface.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "graphics/OxaBitmap.h"
#include "graphics/OxaGraphics.h"
#include "platform/windows/DisplayTesting.h"

namespace {

struct TFixture {
  TOwnedObject<TOxaBitmaps> Store{new TOxaBitmaps(nullptr)};
  TOwnedObject<TOxaFont> Font{new TOxaFont(nullptr)};
  TFixture()
  {
    UseHeadlessDisplay();
    TOwnedObject<TOxaBitmap> glyph(new TOxaBitmap(nullptr));
    // Widths 1..13 by code, 20 rows; a few codes without glyph, one of a different height.
    for (int c = 32; c < 256; ++c) {
      if (c % 17 == 0 || GlyphName(c).empty()) {
        continue;
      }
      glyph->ChangeImageSize(1 + c % 13, c == 77 ? 19 : 20, opf24Bit);
      glyph->FillRect(RECT{0, 0, glyph->ImageWidth(), glyph->ImageHeight()}, TOxaColor(c));
      Store->Add(std::string(GlyphName(c)), *glyph);
    }
    Font->SetBitmaps(Store.get());
    Font->SetKerning({"ua.*=-3", "*.uw=2", "_space.*=-9"});
    Font->SetFallback(false);  // no platform fonts in the fuzzer
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  static TFixture fixture;
  if (size < 8) {
    return 0;
  }
  const int maxWidth = int(std::int8_t(data[0])) * 2;
  const int maxHeight = int(std::int8_t(data[1])) * 2;
  const int wrap = data[2] % 4;
  const int spacing = int(std::int8_t(data[3])) / 8;
  const int lineSpacing = int(std::int8_t(data[4])) / 4;
  const int fontTop = data[5] % 24;
  const int fontHeight = data[6] % 24;
  const std::size_t ellipsisLength = data[7] % 4;
  std::string_view rest(reinterpret_cast<const char*>(data + 8), size - 8);
  const std::string_view ellipsis = rest.substr(0, std::min(ellipsisLength, rest.size()));
  const std::string_view text = rest.substr(ellipsis.size());
  TOxaFont& font = *fixture.Font;
  font.SetCharacterSpacing(spacing);
  font.SetLineSpacing(lineSpacing);
  font.SetFontTop(fontTop);
  font.SetFontHeight(fontHeight);
  font.SetAutoFontHeight((data[2] & 4) != 0);
  TOxaTextBlock block;
  font.Layout(text, data[2] >> 4 & 3, block, maxHeight, maxWidth, ellipsis, wrap);
  if (block.Count > 0 && (block.Height > maxHeight || block.Width > maxWidth)) {
    std::abort();
  }
  for (int l = 0; l < block.Count; ++l) {
    const TOxaTextLine& line = block[l];
    for (int g = 0; g < line.Count; ++g) {
      const TOxaTextRect& rect = line[g];
      const bool alone = line.Count == 1;
      if (rect.X < 0 || rect.Width < 0 || (rect.X + rect.Width > maxWidth && !alone)) {
        std::abort();
      }
      if (rect.Width > maxWidth) {
        std::abort();
      }
    }
  }
  if (block.Count > 0 && block.Width <= 256 && block.Height <= 256) {
    TOwnedObject<TOxaBitmap> target(new TOxaBitmap(nullptr));
    font.Draw(*target, block, data[0] % 7, data[1] % 7);
  }
  return 0;
}
