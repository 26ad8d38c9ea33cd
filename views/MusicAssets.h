#pragma once
// The music asset container: the icon store, the glyph stores and fonts of the headers, lists
// and selector, the display and item sets, and the program's mouse cursors.

#include "views/OxaAssets.h"

class TMusicAssetsForm : public TOxaAssetsForm {
 public:
  // Builds every component, then runs DataModuleCreate.
  explicit TMusicAssetsForm(TComponent* owner, TOxaStoreSource source = {});

  TOxaBitmaps* Icons;
  TOxaBitmaps* Frutiger12B;
  TOxaBitmaps* Frutiger12GrayB;
  TOxaBitmaps* Frutiger12GB;
  TOxaBitmaps* Frutiger16B;
  TOxaFont* Verdana10N;
  TOxaFont* Verdana8N;
  TOxaFont* Frutiger12N;
  TOxaFont* Frutiger12NA;
  TOxaFont* FlopN;
  TOxaFont* Frutiger12D;
  TOxaFont* Frutiger12GrayN;
  TOxaFont* Frutiger12GrayRA;
  TOxaFont* Frutiger12GN;
  TOxaFont* Frutiger12GNA;
  TOxaFont* Frutiger12GD;
  TOxaFont* Verdana10GN;
  TOxaFont* Verdana10GrayN;
  TOxaFont* Frutiger16;
  TOxaFonts* DisplayFonts;
  TOxaColors* DisplayColors;
  TOxaFonts* ItemFonts;

  // The cursor numbers and resource names installed at start-up.
  struct TCursorEntry {
    int Number;
    const char* Resource;
  };
  static const TCursorEntry Cursors[15];

 private:
  // Installs the cursors (a missing one is traced and skipped), adds the further state
  // entries and sets the two background colours.
  void DataModuleCreate();
};
