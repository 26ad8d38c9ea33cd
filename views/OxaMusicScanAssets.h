#pragma once
// The scan asset container: the scan panel's images, its own glyph store and fonts, and its
// item and display sets.

#include "views/OxaAssets.h"

// The text colours of the panel's platform fonts: the normal grey and the lighter one under the
// mouse (the "A" fonts are white).
constexpr TOxaColor kScanTextNormal = 0xA0A0A0;
constexpr TOxaColor kScanTextRollover = 0xF0F0F0;

class TOxaMusicScanAssetsForm : public TOxaAssetsForm {
 public:
  explicit TOxaMusicScanAssetsForm(TComponent* owner, TOxaStoreSource source = {});

  TOxaBitmaps* ScanBitmaps;
  TOxaBitmaps* Frutiger12B;
  TOxaFont* ScanStatusFont;
  TOxaFont* ScanTextfontsR;
  TOxaFont* ScanTextFontsN;
  TOxaFont* ScanTextFontsA;
  TOxaFont* ScanTextfontsRA;
  TOxaFont* Frutiger12N;
  TOxaFont* Frutiger12NA;
  TOxaFont* Frutiger12D;
  TOxaFont* EasterEggFonts;
  TOxaFonts* ItemFonts;
  TOxaColors* ItemColors;
  TOxaFonts* DisplayFonts;
};
