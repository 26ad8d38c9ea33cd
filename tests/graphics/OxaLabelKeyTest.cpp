// Labels composed onto what is below them: the pixels of the text's key colour let the
// background through, every other pixel (text, frame, a colour one step from the key) is copied.
#include <gtest/gtest.h>

#include <string>

#include "graphics/OxaButton.h"
#include "platform/display/DisplayTesting.h"
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
    // Glyphs on both sides of the space, and the near-key colour, are copied.
    EXPECT_EQ(At(*label, pad, pad), glyphs::ColorOf('A'));
    EXPECT_EQ(At(*label, pad + 4, pad + 11), glyphs::ColorOf('A'));
    EXPECT_EQ(At(*label, pad + 8, pad), kNearKey);
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

TEST_F(TLabelKeyTest, PlatformFontKeepsItsBackgroundBox)
{
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
    EXPECT_FALSE(label->KeyedSurface());
    // The margins show the font's background, so dark text stays readable on a dark skin.
    EXPECT_EQ(At(*label, 0, 0), kPlatformKey);
    EXPECT_EQ(At(*label, kMargin - 1, kMargin), kPlatformKey);
    int ink = 0;
    for (int y = 0; y < label->ImageHeight(); ++y) {
      for (int x = 0; x < label->ImageWidth(); ++x) {
        ink += At(*label, x, y) != kPlatformKey ? 1 : 0;
      }
    }
    EXPECT_GT(ink, 0);
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
  EXPECT_EQ(At(*label, kMargin + 8, kMargin), kNearKey);
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
