// The music asset container.
#include "views/MusicAssets.h"

#include "forms/Screen.h"
#include "framework/OxaUtils.h"
#include "platform/windows/Input.h"

const TMusicAssetsForm::TCursorEntry TMusicAssetsForm::Cursors[15] = {
    {20, "CUR_ARROW"},
    {21, "CUR_ARROW_MOUSEDOWN"},
    {1, "CUR_ARROW"},
    {2, "CUR_ARROW_MOUSEDOWN"},
    {3, "CUR_SLEEP"},
    {4, "CUR_DRAG"},
    {5, "CUR_CTRL_NEUTRAL"},
    {6, "CUR_CTRL_SELECTING"},
    {7, "CUR_CTRL_DESELECTING"},
    {8, "CUR_SHIFT_NEUTRAL"},
    {9, "CUR_SHIFT_SELECTING"},
    {10, "CUR_NO_CAN_DO"},
    {11, "CUR_INVISIBLE"},
    {12, "CUR_DRAG_DELETE"},
    {13, "CUR_BEAM"},
};

TMusicAssetsForm::TMusicAssetsForm(TComponent* owner, TOxaStoreSource source)
    : TOxaAssetsForm(owner, std::move(source))
{
  SetName("MusicAssetsForm");
  Icons = NewStore("Icons");
  Frutiger12B = NewStore("Frutiger12B");
  Frutiger12GrayB = NewStore("Frutiger12GrayB");
  Frutiger12GB = NewStore("Frutiger12GB");
  Frutiger16B = NewStore("Frutiger16B");

  Verdana10N = NewPlatformFont({"Verdana10N", "Verdana", -13, 0, 0xFFFFFF});
  Verdana8N = NewPlatformFont({"Verdana8N", "Verdana", -11, 0xC0C0C0, 0xFFFFFF});
  Frutiger12N = NewGlyphFont({"Frutiger12N", "Frutiger12B", 2, 2}, kOxaGlyphKerning);
  Frutiger12NA = NewGlyphFont({"Frutiger12NA", "Frutiger12B", 17, 2}, kOxaGlyphKerning);
  FlopN = NewPlatformFont({"FlopN", "Verdana", -11, 13158600, 6579300});
  Frutiger12D = NewGlyphFont({"Frutiger12D", "Frutiger12B", 32, 2}, kOxaGlyphKerning);
  Frutiger12GrayN = NewGlyphFont({"Frutiger12GrayN", "Frutiger12GrayB", 20, 1}, kOxaGlyphKerning);
  Frutiger12GrayRA = NewGlyphFont({"Frutiger12GrayRA", "Frutiger12GrayB", 2, 1}, kOxaGlyphKerning);
  Frutiger12GN = NewGlyphFont({"Frutiger12GN", "Frutiger12GB", 2, 2}, kOxaGlyphKerning);
  Frutiger12GNA = NewGlyphFont({"Frutiger12GNA", "Frutiger12GB", 17, 2}, kOxaGlyphKerning);
  Frutiger12GD = NewGlyphFont({"Frutiger12GD", "Frutiger12GB", 32, 2}, kOxaGlyphKerning);
  Verdana10GN = NewPlatformFont({"Verdana10GN", "Verdana", -13, 0, 0xFFFFFF});
  Verdana10GrayN = NewPlatformFont({"Verdana10GrayN", "Verdana", -13, 0, 0xFFFFFF});
  Frutiger16 = NewGlyphFont({"Frutiger16", "Frutiger16B", 0, 2}, {});
  Frutiger16->SetFontHeight(25);
  Frutiger16->SetAutoFontHeight(true);

  DisplayFonts =
      NewFonts("DisplayFonts", {"Frutiger12N", "Frutiger12NA", "Frutiger12N", "Frutiger12NA", "Frutiger12N"});
  DisplayColors = NewColors("DisplayColors", {0, 0, 0, 0, 0});
  ItemFonts = NewFonts("ItemFonts", {"Verdana8N", "Verdana8N", "Verdana8N", "Verdana8N", "Verdana8N"});
  DataModuleCreate();
}

void TMusicAssetsForm::DataModuleCreate()
{
  for (const TCursorEntry& entry : Cursors) {
    const HCURSOR cursor = LoadCursorA(OxaProgramInstance(), entry.Resource);
    if (cursor == nullptr) {
      Trace("TPyrmelAssetsForm.DataModuleCreate: Failed to load cursor \"%s\"", entry.Resource);
      continue;
    }
    Screen().SetCursors(entry.Number, cursor);
  }

  const struct {
    int State;
    TOxaFont* Font;
  } displayFonts[] = {{5, Frutiger12D},       {17, Frutiger12GN}, {18, Frutiger12GNA},  {19, Frutiger12GD},
                      {26, Verdana10N},       {27, Verdana10GN},  {28, Verdana10GrayN}, {47, Frutiger12GrayN},
                      {46, Frutiger12GrayRA}, {37, Frutiger16}};
  for (const auto& entry : displayFonts) {
    DisplayFonts->SetItems(entry.State, entry.Font);
  }
  ItemFonts->SetItems(36, FlopN);
  // The start-up colours of states 0-4 replace the persisted ones (one entry per state).
  const TOxaColor colors[] = {0x808080, 0xFFFFFF, 0x808080, 0xFFFFFF, 0x808080};
  for (int state = 0; state < 5; ++state) {
    DisplayColors->SetItems(state, colors[state]);
  }
  for (int state = 16; state <= 20; ++state) {
    DisplayColors->SetItems(state, 0);
  }
  DisplayColors->SetItems(21, 0x404040);
  DisplayColors->SetItems(22, 0x656565);
  DisplayColors->SetItems(23, 0x3C3C3C);

  Verdana10GrayN->SetGdiColor(DisplayColors->Color(23));
  Verdana10GN->SetGdiColor(0x464646);
}
