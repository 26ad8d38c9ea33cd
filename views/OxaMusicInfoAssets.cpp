// The track-info asset container.
#include "views/OxaMusicInfoAssets.h"

TOxaMusicInfoAssetsForm::TOxaMusicInfoAssetsForm(TComponent* owner, TOxaStoreSource source)
    : TOxaAssetsForm(owner, std::move(source))
{
  SetName("OxaMusicInfoAssetsForm");
  InfoIcons = NewStore("InfoIcons");
  InfoTextFonts = NewPlatformFont({"InfoTextFonts", "Verdana", -13, 9934743, 0xFFFFFF});
}
