#pragma once
// The track-info asset container: the info icons and the info text font.

#include "views/OxaAssets.h"

class TOxaMusicInfoAssetsForm : public TOxaAssetsForm {
 public:
  explicit TOxaMusicInfoAssetsForm(TComponent* owner, TOxaStoreSource source = {});

  TOxaBitmaps* InfoIcons;
  TOxaFont* InfoTextFonts;
};
