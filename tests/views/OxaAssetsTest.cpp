#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "forms/Screen.h"
#include "graphics/OxaBitmap.h"
#include "platform/windows/DisplayTesting.h"
#include "platform/windows/Input.h"
#include "tests/support/TraceCapture.h"
#include "views/MusicAssets.h"
#include "views/OxaMusicInfoAssets.h"
#include "views/OxaMusicScanAssets.h"

namespace {

constexpr TOxaColor kNormal = 0x0000AA;
constexpr TOxaColor kActive = 0x00AA00;
constexpr TOxaColor kDimmed = 0xAA0000;
constexpr TOxaColor kKey = 0x00FF00;

// A glyph store whose 44-row glyphs carry three looks: normal rows 2-13, active 17-28, dimmed
// 32-43; the rows between are the key colour.
std::string BandedStore()
{
  TOwnedObject<TOxaBitmaps> store(new TOxaBitmaps(nullptr));
  TOwnedObject<TOxaBitmap> glyph(new TOxaBitmap(nullptr));
  for (const char* name : {"_SPACE", "UA", "UB"}) {
    glyph->ChangeImageSize(4, 44, opf24Bit);
    glyph->FillRect(RECT{0, 0, 4, 44}, kKey);
    if (std::string(name) != "_SPACE") {
      glyph->FillRect(RECT{0, 2, 4, 14}, kNormal);
      glyph->FillRect(RECT{0, 17, 4, 29}, kActive);
      glyph->FillRect(RECT{0, 32, 4, 44}, kDimmed);
    }
    store->Add(name, *glyph);
  }
  return store->Data();
}

class TAssetsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { UseHeadlessDisplay(); }
  static std::optional<std::string> Source(std::string_view name)
  {
    if (name == "Frutiger12B") {
      return BandedStore();
    }
    return std::nullopt;
  }
};

TEST_F(TAssetsTest, OneStoreDrawsTheNormalActiveAndDimmedBands)
{
  TMusicAssetsForm assets(nullptr, &TAssetsTest::Source);
  ASSERT_EQ(assets.Frutiger12B->Count(), 3);
  const struct {
    TOxaFont* Font;
    TOxaColor Color;
  } cases[] = {{assets.Frutiger12N, kNormal}, {assets.Frutiger12NA, kActive}, {assets.Frutiger12D, kDimmed}};
  for (const auto& c : cases) {
    TOxaTextBlock block;
    c.Font->Layout("AB", 0, block, 100, 100);
    ASSERT_EQ(block.Height, 12) << c.Font->Name();
    TOwnedObject<TOxaBitmap> target(new TOxaBitmap(nullptr));
    c.Font->Draw(*target, block, 0, 0);
    EXPECT_EQ(target->GetPixel(0, 0), c.Color) << c.Font->Name();
    EXPECT_EQ(target->GetPixel(0, 11), c.Color) << c.Font->Name();
    EXPECT_EQ(target->GetPixel(4, 0), kKey) << c.Font->Name();  // the 2-pixel spacing
  }
  // Same store, the fonts differ only in their band.
  EXPECT_EQ(assets.Frutiger12N->Glyph('A'), assets.Frutiger12D->Glyph('A'));
}

TEST_F(TAssetsTest, MissingCursorIsTracedAndStartUpGoesOn)
{
  const std::uint32_t pixels[1] = {0xFF000000};
  for (const auto& entry : TMusicAssetsForm::Cursors) {
    if (std::string(entry.Resource) != "CUR_BEAM") {
      ASSERT_TRUE(RegisterCursorResource(entry.Resource, 1, 1, 0, 0, pixels, 1));
    }
  }
  TTraceCapture trace;
  TMusicAssetsForm assets(nullptr);
  EXPECT_TRUE(trace.Contains("TPyrmelAssetsForm.DataModuleCreate: Failed to load cursor \"CUR_BEAM\""));
  EXPECT_FALSE(trace.Contains("\"CUR_DRAG\""));
  EXPECT_EQ(Screen().Cursors(4), LoadCursorA(OxaProgramInstance(), "CUR_DRAG"));
  EXPECT_EQ(Screen().Cursors(20), Screen().Cursors(1));
  EXPECT_EQ(Screen().Cursors(13), Screen().Cursors(crArrow));
  // The rest of start-up ran.
  EXPECT_EQ(assets.ItemFonts->Items(36), assets.FlopN);
}

TEST_F(TAssetsTest, StartUpEntriesOfTheMusicSets)
{
  TMusicAssetsForm assets(nullptr);
  const struct {
    int State;
    TOxaFont* Font;
  } fonts[] = {{0, assets.Frutiger12N},
               {1, assets.Frutiger12NA},
               {4, assets.Frutiger12N},
               {5, assets.Frutiger12D},
               {17, assets.Frutiger12GN},
               {18, assets.Frutiger12GNA},
               {19, assets.Frutiger12GD},
               {26, assets.Verdana10N},
               {27, assets.Verdana10GN},
               {28, assets.Verdana10GrayN},
               {37, assets.Frutiger16},
               {46, assets.Frutiger12GrayRA},
               {47, assets.Frutiger12GrayN},
               {6, nullptr},
               {36, nullptr}};
  for (const auto& f : fonts) {
    EXPECT_EQ(assets.DisplayFonts->Items(f.State), f.Font) << f.State;
  }
  const struct {
    int State;
    std::optional<TOxaColor> Color;
  } colors[] = {{0, 0x808080}, {1, 0xFFFFFF},  {4, 0x808080},  {5, std::nullopt}, {15, std::nullopt}, {16, 0},
                {20, 0},       {21, 0x404040}, {22, 0x656565}, {23, 0x3C3C3C},    {24, std::nullopt}};
  for (const auto& c : colors) {
    EXPECT_EQ(assets.DisplayColors->Items(c.State), c.Color) << c.State;
  }
  EXPECT_EQ(assets.DisplayColors->EntryCount(), 13);
  EXPECT_EQ(assets.Verdana10GrayN->GdiColor(), 0x3C3C3CU);
  EXPECT_EQ(assets.Verdana10GN->GdiColor(), 0x464646U);
  EXPECT_EQ(assets.ItemFonts->Items(2), assets.Verdana8N);
  EXPECT_EQ(assets.Frutiger16->FontHeight(), 25);
  EXPECT_TRUE(assets.Frutiger16->AutoFontHeight());
  EXPECT_EQ(assets.Frutiger16->Kern('A', 'Y'), 0);
  EXPECT_EQ(assets.Frutiger12N->Kern('A', 'Y'), -3);
  EXPECT_EQ(assets.Frutiger12GrayN->CharacterSpacing(), 1);
  EXPECT_EQ(assets.Find("Icons"), assets.Icons);
}

TEST_F(TAssetsTest, ScanAndInfoContainers)
{
  TOxaMusicScanAssetsForm scan(nullptr, &TAssetsTest::Source);
  EXPECT_EQ(scan.Frutiger12N->Kern('A', 'Y'), -1);  // only the first four rules
  EXPECT_EQ(scan.Frutiger12N->Kern('Y', 'A'), 0);
  EXPECT_EQ(scan.ItemFonts->Items(3), scan.ScanTextfontsRA);
  EXPECT_EQ(scan.ItemFonts->Items(4), nullptr);
  EXPECT_EQ(scan.ItemColors->Items(2), 6316128U);
  EXPECT_EQ(scan.DisplayFonts->Items(1), scan.Frutiger12NA);
  EXPECT_EQ(scan.Frutiger12B->Count(), 3);
  TOxaMusicInfoAssetsForm info(nullptr);
  EXPECT_EQ(info.InfoTextFonts->GdiFont().Color, 9934743U);
  EXPECT_EQ(info.InfoIcons->Count(), 0);
}

}  // namespace
