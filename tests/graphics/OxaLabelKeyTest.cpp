// Labels composed onto what is below them: the pixels of the text's key colour let the
// background through, the text's ink and the frame are copied, and a pixel between key and ink
// (an anti-aliased edge, a colour one step from the key) mixes with the background by its share.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "graphics/OxaButton.h"
#include "platform/windows/DisplayTesting.h"
#include "tests/graphics/GlyphStore.h"

namespace {

constexpr TOxaColor kGround = 0x203040;     // the parent's colour
constexpr TOxaColor kOwnGround = 0x506070;  // an opaque label's own colour
constexpr TOxaColor kFrame = 0x0000C0;
constexpr TOxaColor kNearKey = glyphs::kKey ^ 0x000001;  // one step from the key
constexpr TOxaColor kPlatformKey = 0xFFFFFF;
constexpr int kLabelX = 10;
constexpr int kLabelY = 4;
constexpr int kMargin = 2;

enum TFontKind { fkNone, fkGlyph, fkPlatform };

// The largest difference of one channel of two colours.
int ChannelGap(TOxaColor a, TOxaColor b)
{
  int gap = 0;
  for (const int shift : {0, 8, 16}) {
    gap = std::max(gap, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
  }
  return gap;
}

// Whether each channel of c lies between those of a and b.
bool Between(TOxaColor c, TOxaColor a, TOxaColor b)
{
  for (const int shift : {0, 8, 16}) {
    const int v = int((c >> shift) & 0xFF);
    const int x = int((a >> shift) & 0xFF);
    const int y = int((b >> shift) & 0xFF);
    if (v < std::min(x, y) || v > std::max(x, y)) {
      return false;
    }
  }
  return true;
}

class TLabelKeyTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { UseHeadlessDisplay(); }
  void SetUp() override
  {
    glyphs::Fill(*Store);
    // 'B' is drawn one step from the key colour: it must show.
    glyphs::AddGlyph(*Store, std::string(GlyphName('B')), 5, kNearKey);
    Glyphs->SetBitmaps(Store.get());
    Glyphs->SetAutoFontHeight(false);
    Glyphs->SetFontHeight(12);
    Glyphs->SetFontTop(2);
    Glyphs->SetFallback(false);
    TOxaGdiFont gdi;
    gdi.Name = "Arial";
    gdi.Height = -13;
    gdi.Color = 0x000000;
    Platform->SetGdiFont(gdi);
    Platform->SetGdiColor(kPlatformKey);
    Root->SetBounds(0, 0, 120, 40);
    Root->SetParentColor(false);
    Root->SetColor(kGround);
    Target->ChangeImageSize(120, 40, opf24Bit);
  }
  template <class T>
  T* Add(TFontKind kind, const std::string& caption)
  {
    auto* label = new T(&Root->Objects());
    label->SetParent(Root.get());
    label->SetBounds(kLabelX, kLabelY, 100, 30);
    label->SetHorzMargin(kMargin);
    label->SetVertMargin(kMargin);
    label->SetParentColor(false);
    label->SetColor(kOwnGround);
    label->SetParentFont(false);
    label->SetFont(kind == fkGlyph ? Glyphs.get() : kind == fkPlatform ? Platform.get() : nullptr);
    label->SetCaption(caption);
    label->Update();
    return label;
  }
  void Paint() { Root->BitBlt(*Target, 0, 0, {0, 0, 120, 40}); }
  // The composed pixel at (x, y) of the label's surface.
  TOxaColor At(const TOxaLabel& label, int x, int y)
  {
    const RECT image = label.ImageRect();
    return Target->GetPixel(kLabelX + image.left + x, kLabelY + image.top + y) & 0xFFFFFF;
  }

  TOwnedObject<TOxaBitmaps> Store{new TOxaBitmaps(nullptr)};
  TOwnedObject<TOxaFont> Glyphs{new TOxaFont(nullptr)};
  TOwnedObject<TOxaFont> Platform{new TOxaFont(nullptr)};
  TOwnedObject<TOxaBitmap> Root{new TOxaBitmap(nullptr)};
  TOwnedObject<TOxaBitmap> Target{new TOxaBitmap(nullptr)};
};

TEST_F(TLabelKeyTest, GlyphKeyPixelsKeepWhatIsBelowOthersAreCopied)
{
  // Caption "A B": A at 0..4, the key-coloured space at 5..7, B (one step from the key) at 8..12,
  // all after the margin.
  struct TCase {
    const char* Name;
    bool Transparent;
    int Frame;
    TOxaColor FrameColor;
  };
  const TCase cases[] = {
      {"transparent", true, 0, 0},
      {"opaque", false, 0, 0},
      {"framed", true, 1, kFrame},
      {"framed in the key colour", true, 1, glyphs::kKey},
      {"framed opaque", false, 2, glyphs::kKey},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Root->SetBounds(0, 0, 120, 40);
    auto* label = Add<TOxaLabel>(fkGlyph, "A B");
    label->SetTransparent(c.Transparent);
    label->SetFrameWidth(c.Frame);
    label->SetFrameColor(c.FrameColor);
    label->Update();
    Paint();
    const TOxaColor below = c.Transparent ? kGround : kOwnGround;
    const int pad = kMargin + c.Frame;
    ASSERT_TRUE(label->KeyedSurface());
    EXPECT_EQ(label->SurfaceKey(), glyphs::kKey);
    // Margin (inside the frame) and the space glyph: key, so what is below.
    EXPECT_EQ(At(*label, c.Frame, c.Frame), below);
    EXPECT_EQ(At(*label, pad - 1, pad), below);
    EXPECT_EQ(At(*label, pad + 5, pad), below);
    EXPECT_EQ(At(*label, pad + 7, pad + 11), below);
    // The ink on both sides of the space is copied; the near-key colour holds almost no ink, so
    // it shows what is below (within one step), never the key's colour.
    EXPECT_EQ(At(*label, pad, pad), glyphs::ColorOf('A'));
    EXPECT_EQ(At(*label, pad + 4, pad + 11), glyphs::ColorOf('A'));
    EXPECT_LE(ChannelGap(At(*label, pad + 8, pad), below), 1);
    // Outside the surface the label's own background or the parent's.
    EXPECT_EQ(Target->GetPixel(kLabelX + 99, kLabelY + 29) & 0xFFFFFF, below);
    EXPECT_EQ(Target->GetPixel(kLabelX - 1, kLabelY) & 0xFFFFFF, kGround);
    if (c.Frame > 0) {
      const int right = label->ImageWidth() - 1;
      const int bottom = label->ImageHeight() - 1;
      for (const POINT p : {POINT{0, 0}, POINT{right, bottom}, POINT{c.Frame - 1, bottom / 2},
                            POINT{right / 2, bottom - c.Frame + 1}}) {
        EXPECT_EQ(At(*label, p.x, p.y), c.FrameColor) << p.x << "," << p.y;
      }
    }
    delete label;
  }
}

TEST_F(TLabelKeyTest, PlatformTextLiesOnTheLabelsBackgroundWithoutABox)
{
  // Black text drawn on the font's white background: the white is the key, so no light box is
  // left around the text, and the anti-aliased edges mix with what is below, not with white.
  struct TCase {
    const char* Name;
    bool Transparent;
  };
  for (const TCase c : {TCase{"transparent", true}, TCase{"opaque", false}}) {
    SCOPED_TRACE(c.Name);
    auto* label = Add<TOxaLabel>(fkPlatform, "Wide Word");
    label->SetTransparent(c.Transparent);
    label->Update();
    Paint();
    const TOxaColor below = c.Transparent ? kGround : kOwnGround;
    EXPECT_TRUE(label->KeyedSurface());
    EXPECT_EQ(label->SurfaceKey(), kPlatformKey);
    EXPECT_EQ(label->InkReach(), 3 * 255);
    EXPECT_EQ(At(*label, 0, 0), below);
    EXPECT_EQ(At(*label, kMargin - 1, kMargin), below);
    int ink = 0;
    int mixed = 0;
    for (int y = 0; y < label->ImageHeight(); ++y) {
      for (int x = 0; x < label->ImageWidth(); ++x) {
        const TOxaColor pixel = At(*label, x, y);
        ASSERT_TRUE(Between(pixel, 0x000000, below)) << x << "," << y << ": " << std::hex << pixel;
        ink += pixel == 0x000000 ? 1 : 0;
        mixed += pixel != 0x000000 && pixel != below ? 1 : 0;
      }
    }
    EXPECT_GT(ink, 0);
    EXPECT_GT(mixed, 0);
    delete label;
  }
}

TEST_F(TLabelKeyTest, WithoutFontTheSurfaceIsCopiedWhole)
{
  auto* label = Add<TOxaLabel>(fkNone, "AB");
  label->SetTransparent(true);
  label->SetFrameWidth(1);
  label->SetFrameColor(kFrame);
  label->Update();
  Paint();
  EXPECT_FALSE(label->KeyedSurface());
  EXPECT_EQ(At(*label, 0, 0), kFrame);
  EXPECT_EQ(At(*label, 1, 1), kOwnGround);
  EXPECT_EQ(Target->GetPixel(kLabelX + 99, kLabelY + 29) & 0xFFFFFF, kGround);
}

TEST_F(TLabelKeyTest, ADarkenedKeyStillLetsTheBackgroundThrough)
{
  const auto darkened = [](TOxaColor c, int d) {
    if (d == 0) {
      return c;
    }
    TOxaColor out = 0;
    for (int shift : {0, 8, 16}) {
      out |= TOxaColor(((c >> shift) & 0xFF) * std::uint32_t(255 - d) >> 8) << shift;
    }
    return out;
  };
  auto* label = Add<TOxaDarkenLabel>(fkGlyph, "A");
  label->SetTransparent(true);
  for (const int d : {0, 1, 100, 200}) {
    SCOPED_TRACE(d);
    label->SetDarken(std::uint8_t(d));
    label->Update();
    Paint();
    EXPECT_EQ(label->SurfaceKey(), darkened(glyphs::kKey, d));
    EXPECT_EQ(At(*label, 0, 0), kGround);
    EXPECT_EQ(At(*label, kMargin, kMargin), darkened(glyphs::ColorOf('A'), d));
  }
}

TEST_F(TLabelKeyTest, ClippedCompositionKeepsTheRestOfTheTarget)
{
  auto* label = Add<TOxaLabel>(fkGlyph, "AA");
  label->SetTransparent(true);
  label->Update();
  constexpr TOxaColor kUntouched = 0x010203;
  Target->FillRect({0, 0, 120, 40}, kUntouched);
  // Only the first glyph column of the label is inside the clip.
  const RECT image = label->ImageRect();
  const int x = kLabelX + image.left + kMargin;
  Root->BitBlt(*Target, 0, 0, {x, 0, x + 1, 40});
  EXPECT_EQ(At(*label, kMargin, kMargin), glyphs::ColorOf('A'));
  EXPECT_EQ(At(*label, kMargin - 1, kMargin), kUntouched);
  EXPECT_EQ(At(*label, kMargin + 1, kMargin), kUntouched);
  EXPECT_EQ(At(*label, kMargin, 0), kGround);
}

TEST_F(TLabelKeyTest, ALabelIsNeverDrawnStretched)
{
  // A foreign image rectangle is laid out again before the label is drawn, so the surface is
  // always composed 1:1.
  auto* label = Add<TOxaLabel>(fkGlyph, "A B");
  label->SetTransparent(true);
  const RECT before = label->ImageRect();
  label->SetImageRect(0, 0, 2 * label->ImageWidth(), 2 * label->ImageHeight());
  Paint();
  const RECT after = label->ImageRect();
  EXPECT_EQ(after.right - after.left, label->ImageWidth());
  EXPECT_EQ(after.bottom - after.top, label->ImageHeight());
  EXPECT_EQ(after.left, before.left);
  EXPECT_EQ(At(*label, kMargin + 5, kMargin), kGround);
  EXPECT_EQ(At(*label, kMargin + 4, kMargin), glyphs::ColorOf('A'));
}

TEST_F(TLabelKeyTest, AnotherPixelFormatIsKeyedAlike)
{
  Root->ChangeImageSize(1, 1, opf32Bit);
  auto* label = Add<TOxaLabel>(fkGlyph, "A B");
  label->SetTransparent(true);
  label->Update();
  ASSERT_EQ(label->PixelFormat(), opf32Bit);
  ASSERT_EQ(label->BltTable(), nullptr);
  Paint();
  EXPECT_EQ(At(*label, 0, 0), kGround);
  EXPECT_EQ(At(*label, kMargin + 5, kMargin), kGround);
  EXPECT_EQ(At(*label, kMargin, kMargin), glyphs::ColorOf('A'));
  EXPECT_LE(ChannelGap(At(*label, kMargin + 8, kMargin), kGround), 1);
}

TEST_F(TLabelKeyTest, AButtonCaptionIsKeyedUnderItsImage)
{
  TOwnedObject<TOxaBitmaps> images{new TOxaBitmaps(nullptr)};
  TOwnedObject<TOxaBitmap> picture(new TOxaBitmap(nullptr));
  picture->ChangeImageSize(20, 10, opf24Bit);
  // The picture holds the caption's key colour: it is the button's own, not keyed.
  picture->FillRect({0, 0, 20, 10}, glyphs::kKey);
  picture->FillRect({0, 0, 10, 10}, 0x0000FF);
  images->Add("OKN", *picture);
  Root->SetBitmaps(images.get());
  auto* button = new TOxaButton(&Root->Objects());
  button->SetParent(Root.get());
  button->SetBounds(kLabelX, kLabelY, 60, 36);
  button->SetFont(Glyphs.get());
  button->SetHorzMargin(kMargin);
  button->SetCaption("A");
  button->SetName("OK");
  button->Update();
  Paint();
  const TOxaBitmap* image = button->StateImage(0);
  const int imageX = kLabelX + image->Left();
  const int imageY = kLabelY + image->Top();
  EXPECT_EQ(Target->GetPixel(imageX, imageY) & 0xFFFFFF, 0x0000FFU);
  EXPECT_EQ(Target->GetPixel(imageX + 19, imageY + 9) & 0xFFFFFF, glyphs::kKey);
  EXPECT_EQ(Target->GetPixel(imageX - 1, imageY) & 0xFFFFFF, kGround);
  EXPECT_EQ(At(*button, 0, 0), kGround);
  EXPECT_EQ(At(*button, kMargin, 0), glyphs::ColorOf('A'));
  Root->SetBitmaps(nullptr);
}

}  // namespace

namespace {

// A glyph store like the skin's: black key, grey ink 0x606060, every glyph's edge columns
// anti-aliased (a quarter, a half, three quarters of the ink) and its middle full ink.
class TGreyPanelLabelTest : public ::testing::Test {
 protected:
  static constexpr TOxaColor kPanel = 0x464646;
  static constexpr int kInk = 0x60;

  static void SetUpTestSuite() { UseHeadlessDisplay(); }
  void SetUp() override
  {
    TOwnedObject<TOxaBitmap> space(new TOxaBitmap(nullptr));
    space->ChangeImageSize(3, glyphs::kRows, opf24Bit);
    space->FillRect({0, 0, 3, glyphs::kRows}, 0x000000);
    Store->Add(std::string(GlyphName(' ')), *space);
    constexpr int kRamp[] = {1,    kInk / 4,     kInk / 2, kInk * 3 / 4, kInk,
                             kInk, kInk * 3 / 4, kInk / 2, kInk / 4,     1};
    TOwnedObject<TOxaBitmap> glyph(new TOxaBitmap(nullptr));
    glyph->ChangeImageSize(int(std::size(kRamp)), glyphs::kRows, opf24Bit);
    for (int x = 0; x < int(std::size(kRamp)); ++x) {
      glyph->FillRect({x, 0, x + 1, glyphs::kRows}, TOxaColor(kRamp[x]) * 0x010101);
    }
    for (const char c : std::string("PLAYIST")) {
      Store->Add(std::string(GlyphName(c)), *glyph);
    }
    Font->SetBitmaps(Store.get());
    Font->SetAutoFontHeight(false);
    Font->SetFontHeight(12);
    Font->SetFontTop(2);
    Font->SetCharacterSpacing(-1);
    Root->SetBounds(0, 0, 200, 30);
    Root->SetParentColor(false);
    Root->SetColor(kPanel);
    Target->ChangeImageSize(200, 30, opf24Bit);
  }

  TOwnedObject<TOxaBitmaps> Store{new TOxaBitmaps(nullptr)};
  TOwnedObject<TOxaFont> Font{new TOxaFont(nullptr)};
  TOwnedObject<TOxaBitmap> Root{new TOxaBitmap(nullptr)};
  TOwnedObject<TOxaBitmap> Target{new TOxaBitmap(nullptr)};
};

TEST_F(TGreyPanelLabelTest, AntiAliasedGlyphsOnAGreyPanelHaveNoDarkFringes)
{
  // Overlapping glyphs (spacing -1) go through the keyed glyph copy as well.
  for (const bool transparent : {true, false}) {
    SCOPED_TRACE(transparent ? "transparent" : "opaque");
    auto* label = new TOxaLabel(&Root->Objects());
    label->SetParent(Root.get());
    label->SetBounds(5, 5, 190, 20);
    label->SetTransparent(transparent);
    label->SetParentColor(transparent);
    label->SetColor(kPanel);
    label->SetParentFont(false);
    label->SetFont(Font.get());
    label->SetCaption("PLAYLISTS");
    label->Update();
    Root->BitBlt(*Target, 0, 0, {0, 0, 200, 30});
    const RECT image = label->ImageRect();
    ASSERT_GT(image.right - image.left, 50);
    int ink = 0;
    for (int y = 5 + image.top; y < 5 + image.bottom; ++y) {
      for (int x = 5 + image.left; x < 5 + image.right; ++x) {
        const TOxaColor pixel = Target->GetPixel(x, y) & 0xFFFFFF;
        // Every pixel lies between the panel and the ink: none darker than the panel.
        ASSERT_TRUE(Between(pixel, kPanel, TOxaColor(kInk) * 0x010101))
            << x << "," << y << ": " << std::hex << pixel;
        ink += pixel == TOxaColor(kInk) * 0x010101 ? 1 : 0;
      }
    }
    EXPECT_GT(ink, 0);
    delete label;
  }
}

}  // namespace
