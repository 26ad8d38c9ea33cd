// The scan asset container.
#include "views/OxaMusicScanAssets.h"

TOxaMusicScanAssetsForm::TOxaMusicScanAssetsForm(TComponent* owner, TOxaStoreSource source)
    : TOxaAssetsForm(owner, std::move(source))
{
  SetName("OxaMusicScanAssetsForm");
  ScanBitmaps = NewStore("ScanBitmaps");
  Frutiger12B = NewStore("Frutiger12B");
  const std::vector<std::string> kerning(kOxaGlyphKerning.begin(), kOxaGlyphKerning.begin() + 4);
  // Labels lay their text over the panel, which is black: the text is drawn in the skin's greys
  // (the glyph fonts' normal and rollover inks), never in the platform's default black.
  ScanStatusFont = NewPlatformFont({"ScanStatusFont", "Arial", -12, kScanTextNormal, 0xFFFFFF});
  ScanTextfontsR = NewPlatformFont({"ScanTextfontsR", "Arial", -13, kScanTextRollover, 6316128});
  ScanTextFontsN = NewPlatformFont({"ScanTextFontsN", "Arial", -13, kScanTextNormal, 0xFFFFFF});
  ScanTextFontsA = NewPlatformFont({"ScanTextFontsA", "Arial", -13, 0xFFFFFF, 0xFFFFFF});
  ScanTextfontsRA = NewPlatformFont({"ScanTextfontsRA", "Arial", -13, 0xFFFFFF, 6316128});
  Frutiger12N = NewGlyphFont({"Frutiger12N", "Frutiger12B", 2, 2}, kerning);
  Frutiger12NA = NewGlyphFont({"Frutiger12NA", "Frutiger12B", 17, 2}, kerning);
  Frutiger12D = NewGlyphFont({"Frutiger12D", "Frutiger12B", 32, 2}, kerning);
  EasterEggFonts = NewPlatformFont({"EasterEggFonts", "Arial", -16, kScanTextNormal, 0xFFFFFF});
  // Four persisted entries: RolloverGroup has none of its own.
  ItemFonts =
      NewFonts("ItemFonts", {"ScanTextFontsN", "ScanTextfontsRA", "ScanTextfontsR", "ScanTextfontsRA"});
  ItemColors = NewColors("ItemColors", {0, 0, 6316128, 6316128, 0});
  DisplayFonts =
      NewFonts("DisplayFonts", {"Frutiger12N", "Frutiger12NA", "Frutiger12N", "Frutiger12NA", "Frutiger12N"});
}
