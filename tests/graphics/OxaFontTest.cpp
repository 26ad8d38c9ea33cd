#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/OxaBitmap.h"
#include "graphics/OxaGraphics.h"
#include "platform/windows/DisplayTesting.h"
#include "tests/graphics/GlyphStore.h"

namespace {

class TFontTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { UseHeadlessDisplay(); }
  void SetUp() override
  {
    glyphs::Fill(*Store);
    Font->SetBitmaps(Store.get());
    Font->SetAutoFontHeight(false);
    Font->SetFontHeight(12);
    Font->SetFontTop(2);
    Font->SetFallback(false);
  }
  TOwnedObject<TOxaBitmaps> Store{new TOxaBitmaps(nullptr)};
  TOwnedObject<TOxaFont> Font{new TOxaFont(nullptr)};
};

// The characters of each line ("~" for an appended ellipsis glyph), lines joined by "|".
std::string Lines(const TOxaTextBlock& block)
{
  std::string out;
  for (int l = 0; l < block.Count; ++l) {
    if (l > 0) {
      out += '|';
    }
    for (int g = 0; g < block[l].Count; ++g) {
      const TOxaTextRect& rect = block[l][g];
      out += std::size_t(rect.Index) >= block.Text.size()
                 ? std::string("~")
                 : block.Text.substr(std::size_t(rect.Index), std::size_t(rect.Length));
    }
  }
  return out;
}

TEST(GlyphNameTest, EveryBandOfTheTableAndTheCodesWithoutName)
{
  const struct {
    int Code;
    const char* Name;
  } cases[] = {
      {31, ""},
      {32, "_SPACE"},
      {47, "_SLASH"},
      {48, "0"},
      {57, "9"},
      {58, "_COLON"},
      {64, "_AT"},
      {65, "UA"},
      {90, "UZ"},
      {91, "_SQUARE_BRACKET_OPEN"},
      {96, "_FUNNY_QUOTE"},
      {97, "LA"},
      {122, "LZ"},
      {123, "_CURLY_BRACKET_OPEN"},
      {126, "_TILDE"},
      {127, ""},
      {159, ""},
      {160, "C160"},
      {197, "C197"},
      {255, "C255"},
      {256, ""},
      {-1, ""},
      {39, "_QUOTE_SINGLE"},
      {92, "_BACKSLASH"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GlyphName(c.Code), c.Name) << c.Code;
  }
}

TEST_F(TFontTest, KerningRules)
{
  const struct {
    std::vector<std::string> Rules;
    int Prev;
    int Cur;
    int Kern;
  } cases[] = {
      {{"ua.*=-1", "ua.uy=-2"}, 'A', 'Y', -3},
      {{"ua.*=-1", "ua.uy=-2"}, 'A', 'x', -1},
      {{"ua.*=-1", "ua.uy=-2"}, 'Y', 'A', 0},
      {{"*.*=2"}, 'Q', 'q', 2},
      {{"*.*=2"}, 0, 255, 2},
      {{"*.*=2", "ua.uy=-2"}, 'A', 'Y', 0},
      {{"; ua.uy=-2"}, 'A', 'Y', 0},
      {{"ua.uy=0"}, 'A', 'Y', 0},
      {{"ua.uy=abc"}, 'A', 'Y', 0},
      {{"ua.ux1=-2"}, 'A', 'Y', 0},
      {{"Z.uy=-2"}, 'A', 'Y', 0},
      {{".uy=-2"}, 'A', 'Y', 0},
      {{"ua.=-2"}, 'A', 'Y', 0},
      {{"ua.uy-2"}, 'A', 'Y', 0},
      {{"  Ua . uY =  -2  "}, 'A', 'Y', -2},
      {{"ua.uy=-2", "ua.uy=-2"}, 'A', 'Y', -4},
      {{"_space.la=+3"}, ' ', 'a', 3},
      {{"c197.0=5"}, 197, '0', 5},
  };
  for (const auto& c : cases) {
    Font->SetKerning(c.Rules);
    EXPECT_EQ(Font->Kern(c.Prev, c.Cur), c.Kern) << c.Rules[0] << " " << c.Prev << "," << c.Cur;
  }
}

TEST_F(TFontTest, GlyphsFollowPrefixSuffixAndTheStore)
{
  glyphs::AddGlyph(*Store, "XUAY", 9, 1);
  EXPECT_EQ(Font->Glyph('A')->ImageWidth(), 5);
  Font->SetPrefix("x");
  EXPECT_EQ(Font->Glyph('A'), nullptr);
  Font->SetSuffix("y");
  ASSERT_NE(Font->Glyph('A'), nullptr);
  EXPECT_EQ(Font->Glyph('A')->ImageWidth(), 9);
  // The store changing rebuilds the table; the store going drops it.
  Font->SetPrefix("");
  Font->SetSuffix("");
  glyphs::AddGlyph(*Store, "UA", 7, 1);
  EXPECT_EQ(Font->Glyph('A')->ImageWidth(), 7);
  Store.reset();
  EXPECT_EQ(Font->Bitmaps(), nullptr);
  EXPECT_EQ(Font->Glyph('A'), nullptr);
}

TEST_F(TFontTest, AFontMakesOnlyTheGlyphsItIsAskedFor)
{
  // A store read from bytes makes an image on its first lookup.
  TOwnedObject<TOxaBitmaps> lazy(new TOxaBitmaps(nullptr));
  lazy->ReadData(Store->Data());
  const int pending = lazy->PendingCount();
  ASSERT_GT(pending, 2);
  Font->SetBitmaps(lazy.get());
  Font->SetKerning({"ua.uy=-2"});
  EXPECT_EQ(lazy->PendingCount(), pending);
  ASSERT_NE(Font->Glyph('A'), nullptr);
  EXPECT_EQ(Font->Glyph('A'), lazy->Find("UA"));
  EXPECT_EQ(lazy->PendingCount(), pending - 1);
  // Codes outside the table have no glyph and look nothing up.
  for (const int code : {-1, 256}) {
    EXPECT_EQ(Font->Glyph(code), nullptr) << code;
  }
  EXPECT_EQ(lazy->PendingCount(), pending - 1);
  TOxaTextBlock block;
  Font->Layout("AY", 0, block, 100, 100);
  EXPECT_EQ(lazy->PendingCount(), pending - 3) << "Y, and the space words are measured by";
  EXPECT_EQ(Font->Kern('A', 'Y'), -2);
  // New rules are taken at the next kern.
  Font->SetKerning({"ua.uy=3"});
  EXPECT_EQ(Font->Kern('A', 'Y'), 3);
  Font->SetBitmaps(nullptr);
}

TEST_F(TFontTest, LayoutTable)
{
  // Glyphs: space 3, letters 5, "." 2; spacing 0 unless given.
  const struct {
    const char* Text;
    int MaxWidth;
    int MaxHeight;
    int Wrap;
    const char* Ellipsis;
    int Spacing;
    const char* Lines;
    int Width;
    int Height;
  } cases[] = {
      {"AB", 100, 100, 0, "", 0, "AB", 10, 12},
      {"AB\nCD", 100, 100, 0, "", 0, "AB|CD", 10, 24},
      {"AB\n", 100, 100, 0, "", 0, "AB", 10, 12},
      {"AB\n\nCD", 100, 100, 0, "", 0, "AB||CD", 10, 36},
      {"AB CD", 12, 100, 2, "", 0, "AB|CD", 10, 24},
      {"AB   CD", 12, 100, 2, "", 0, "AB|CD", 10, 24},
      {"AB CD", 12, 100, 1, "", 0, "AB|CD", 10, 24},
      {"AB CD", 14, 100, 1, "", 0, "AB |CD", 13, 24},
      {"AB CD", 12, 100, 0, "", 0, "AB", 10, 12},
      {"AB CD", 14, 100, 0, "", 0, "AB ", 13, 12},
      // Exactly at the limit stays, one pixel less wraps.
      {"ABC", 15, 100, 1, "", 0, "ABC", 15, 12},
      {"ABC", 14, 100, 1, "", 0, "AB|C", 10, 24},
      // Boundary after "-" and ".".
      {"AB-CD", 14, 100, 2, "", 0, "AB-|CD", 14, 24},
      {"A.BCD", 15, 100, 2, "", 0, "A.|BCD", 15, 24},
      // No boundary: wraps as mode 1.
      {"ABCD", 12, 100, 2, "", 0, "AB|CD", 10, 24},
      // Leading spaces are no boundary to cut at: the scan still moves on.
      {"   ABCD", 4, 100, 2, "", 0, " |A|B|C|D", 4, 60},
      {"ABCD", 1, 100, 1, "", 0, "A|B|C|D", 1, 48},
      // Vertical fitting, both sides of each line's bottom.
      {"AB\nCD\nEF", 100, 36, 0, "", 0, "AB|CD|EF", 10, 36},
      {"AB\nCD\nEF", 100, 35, 0, "", 0, "AB|CD", 10, 24},
      {"AB\nCD\nEF", 100, 35, 0, ".", 0, "AB|CD~", 12, 24},
      {"AB\nCD\nEF", 10, 35, 0, ".", 0, "AB|C~", 10, 24},
      {"AB\nCD\nEF", 1, 35, 0, ".", 0, "A|", 1, 24},
      {"AB\nCD", 100, 12, 0, ".", 0, "AB~", 12, 12},
      // Less than one line: an empty block, no ellipsis on a line that does not exist.
      {"AB\nCD", 100, 11, 0, ".", 0, "", 0, 0},
      {"AB", 0, 100, 0, "", 0, "", 0, 0},
      {"AB", 100, 0, 0, "", 0, "", 0, 0},
      // Spacing, and a negative one never pulls a glyph left of its predecessor.
      {"AB", 100, 100, 0, "", 2, "AB", 12, 12},
      {"AB", 100, 100, 0, "", -9, "AB", 5, 12},
      // Characters without glyph are skipped (fallback off).
      {"A\x01z\xE2\x82\xAC"
       "B",
       100, 100, 0, "", 0, "AzB", 15, 12},
  };
  for (const auto& c : cases) {
    Font->SetCharacterSpacing(c.Spacing);
    TOxaTextBlock block;
    Font->Layout(c.Text, 0, block, c.MaxHeight, c.MaxWidth, c.Ellipsis, c.Wrap);
    EXPECT_EQ(Lines(block), c.Lines) << c.Text << " w" << c.MaxWidth << " h" << c.MaxHeight;
    EXPECT_EQ(block.Width, c.Width) << c.Text << " w" << c.MaxWidth;
    EXPECT_EQ(block.Height, c.Height) << c.Text << " h" << c.MaxHeight;
  }
}

TEST_F(TFontTest, RecordsGrowInSteps)
{
  const struct {
    int Glyphs;
    int Capacity;
  } glyphCases[] = {{1, 128}, {128, 128}, {129, 256}, {256, 256}, {257, 384}};
  for (const auto& c : glyphCases) {
    TOxaTextBlock block;
    Font->Layout(std::string(std::size_t(c.Glyphs), 'A'), 0, block, 100, 100000);
    ASSERT_EQ(block.Count, 1);
    EXPECT_EQ(block[0].Count, c.Glyphs);
    EXPECT_EQ(int(block.Lines[0].Rects.size()), c.Capacity) << c.Glyphs;
  }
  const struct {
    int Lines;
    int Capacity;
  } lineCases[] = {{1, 64}, {64, 64}, {65, 128}, {128, 128}, {129, 192}};
  for (const auto& c : lineCases) {
    std::string text;
    for (int i = 0; i < c.Lines; ++i) {
      text += i == 0 ? "A" : "\nA";
    }
    TOxaTextBlock block;
    Font->Layout(text, 0, block, 100000, 100);
    EXPECT_EQ(block.Count, c.Lines);
    EXPECT_EQ(int(block.Lines.size()), c.Capacity) << c.Lines;
  }
}

TEST_F(TFontTest, ABlockIsReusedWithoutLeftovers)
{
  TOxaTextBlock block;
  Font->Layout("ABCD\nEF\nGH", 0, block, 100, 100);
  Font->Layout("Z", 1, block, 100, 100);
  EXPECT_EQ(Lines(block), "Z");
  EXPECT_EQ(block.Width, 5);
  EXPECT_EQ(block[0].Offset, 0);
  // A store without a space glyph lays nothing out.
  FreeObject(Store->Find("_SPACE"));
  Font->Layout("AB", 0, block, 100, 100);
  EXPECT_EQ(block.Count, 0);
  EXPECT_EQ(block.Width, 0);
}

TEST_F(TFontTest, SecondLineOfAWordWrapStartsWithTheNextWordsFirstLetter)
{
  TOxaTextBlock block;
  Font->Layout("AB CD", 0, block, 100, 12, {}, kOxaWrapWord);
  ASSERT_EQ(block.Count, 2);
  EXPECT_EQ(block[1][0].Index, 3);
  EXPECT_EQ(block[1][0].X, 0);
  EXPECT_EQ(block[1].Y, 12);
}

TEST_F(TFontTest, BandCorrections)
{
  const struct {
    bool Auto;
    int Top;
    int Height;
    int LineSpacing;
    int BlockTop;
    int BlockHeight;
    int BlockSpacing;
  } cases[] = {
      {false, 2, 12, 0, 2, 12, 0},     {false, 32, 12, 0, 32, 12, 0},   {false, 33, 12, 0, 32, 12, 0},
      {false, 40, 12, 0, 32, 12, 0},   {false, 0, 50, 0, 0, 44, 0},     {true, 0, 12, 0, 0, 44, 0},
      {false, 2, 12, -12, 2, 12, -12}, {false, 2, 12, -13, 2, 12, -12},
  };
  for (const auto& c : cases) {
    Font->SetAutoFontHeight(c.Auto);
    Font->SetFontTop(c.Top);
    Font->SetFontHeight(c.Height);
    Font->SetLineSpacing(c.LineSpacing);
    TOxaTextBlock block;
    Font->Layout("A", 0, block, 1000, 1000);
    EXPECT_EQ(block.FontTop, c.BlockTop) << c.Top << "+" << c.Height;
    EXPECT_EQ(block.FontHeight, c.BlockHeight) << c.Top << "+" << c.Height;
    EXPECT_EQ(block.LineSpacing, c.BlockSpacing) << c.LineSpacing;
    EXPECT_EQ(block.KeyColor, glyphs::kKey);
  }
  // Unchanged on the font.
  EXPECT_EQ(Font->LineSpacing(), -13);
}

TEST_F(TFontTest, Alignments)
{
  const struct {
    int Alignment;
    int SecondOffset;
  } cases[] = {{0, 0}, {1, 10}, {2, 5}, {3, 0}};
  for (const auto& c : cases) {
    TOxaTextBlock block;
    Font->Layout("ABCD\nAB", c.Alignment, block, 100, 100);
    ASSERT_EQ(block.Count, 2);
    EXPECT_EQ(block[0].Offset, 0);
    EXPECT_EQ(block[1].Offset, c.SecondOffset) << c.Alignment;
  }
  TOxaTextBlock odd;
  Font->Layout("ABC\nAB", 2, odd, 100, 100);
  EXPECT_EQ(odd[1].Offset, 2);  // (15 - 10) shr 1
}

TEST_F(TFontTest, SmallLettersUseLNamesAndAStoreOfCapitalsHasNone)
{
  TOwnedObject<TOxaBitmaps> capitals(new TOxaBitmaps(nullptr));
  glyphs::Fill(*capitals, false);
  EXPECT_NE(Font->Glyph('a'), nullptr);
  EXPECT_EQ(Font->Glyph('a'), Store->Find("LA"));
  Font->SetBitmaps(capitals.get());
  EXPECT_EQ(Font->Glyph('a'), nullptr);
  TOxaTextBlock block;
  Font->Layout("Ab", 0, block, 100, 100);
  EXPECT_EQ(Lines(block), "A");
  // With the fallback on, the small letter is drawn by the platform font instead.
  Font->SetFallback(true);
  Font->Layout("Ab", 0, block, 100, 100);
  ASSERT_EQ(block.Count, 1);
  ASSERT_EQ(block[0].Count, 2);
  EXPECT_EQ(block[0][1].Glyph, nullptr);
  EXPECT_GT(block[0][1].Width, 0);
  EXPECT_EQ(Lines(block), "Ab");
}

TEST_F(TFontTest, FallbackTakesEveryScriptTheMachineHasAFontFor)
{
  Font->SetFallback(true);
  const struct {
    const char* Text;
    int Length;
  } cases[] = {
      {"\xCE\xA9", 2},      // Greek capital omega
      {"\xD0\xB6", 2},      // Cyrillic small zhe
      {"\xC5\x9F", 2},      // Turkish s with cedilla (above the glyph codes)
      {"\xC3\xA9", 2},      // e acute: a glyph code the store has no image for
      {"\xE2\x82\xAC", 3},  // euro sign
  };
  for (const auto& c : cases) {
    TOxaTextBlock block;
    Font->Layout(std::string("A") + c.Text + "B", 0, block, 100, 100);
    ASSERT_EQ(block.Count, 1) << c.Text;
    ASSERT_EQ(block[0].Count, 3) << c.Text;
    EXPECT_EQ(block[0][1].Glyph, nullptr) << c.Text;
    EXPECT_EQ(block[0][1].Length, c.Length) << c.Text;
    EXPECT_GT(block[0][1].Width, 0) << c.Text;
    EXPECT_EQ(block[0][2].X, block[0][1].X + block[0][1].Width) << c.Text;
  }
  // Controls are never drawn.
  TOxaTextBlock block;
  Font->Layout(
      "A\x01\x7F\xC2\x85"
      "B",
      0, block, 100, 100);
  EXPECT_EQ(Lines(block), "AB");
}

// The pixels of one fallback piece drawn alone.
std::vector<TOxaColor> PieceImage(TOxaFont& font, const std::string& text)
{
  TOxaTextBlock block;
  font.Layout(text, 0, block, 100, 100);
  TOwnedObject<TOxaBitmap> target(new TOxaBitmap(nullptr));
  font.Draw(*target, block, 0, 0);
  std::vector<TOxaColor> pixels;
  for (int y = 0; y < block.Height; ++y) {
    for (int x = 0; x < block.Width; ++x) {
      pixels.push_back(target->GetPixel(x, y));
    }
  }
  return pixels;
}

TEST_F(TFontTest, IdeographsAndHangulAreDrawnNotBoxed)
{
  Font->SetFallback(true);
  // Two different characters of each script: a missing-glyph box would look the same for both.
  const struct {
    const char* First;
    const char* Second;
  } cases[] = {
      {"\xE4\xB8\xAD", "\xE5\x9B\xBD"},  // two CJK ideographs
      {"\xED\x95\x9C", "\xEA\xB8\x80"},  // two Hangul syllables
      {"\xE3\x81\x82", "\xE3\x82\xAB"},  // hiragana a, katakana ka
  };
  for (const auto& c : cases) {
    const std::vector<TOxaColor> first = PieceImage(*Font, c.First);
    const std::vector<TOxaColor> second = PieceImage(*Font, c.Second);
    ASSERT_FALSE(first.empty()) << c.First;
    EXPECT_NE(first, second) << c.First << " " << c.Second;
  }
}

TEST_F(TFontTest, FallbackCoversCharactersBeyondTheGlyphCodes)
{
  Font->SetFallback(true);
  TOxaTextBlock block;
  Font->Layout(
      "A\xD0\x96"
      "B",
      0, block, 100, 100);  // Cyrillic capital zhe
  ASSERT_EQ(block.Count, 1);
  ASSERT_EQ(block[0].Count, 3);
  EXPECT_EQ(block[0][1].Glyph, nullptr);
  EXPECT_EQ(block[0][1].Length, 2);
  TOwnedObject<TOxaBitmap> target(new TOxaBitmap(nullptr));
  target->ChangeImageSize(100, 20, opf24Bit);
  target->FillRect(RECT{0, 0, 100, 20}, 0x123456);
  Font->Draw(*target, block, 0, 0);
  // Some pixel of the fallback cell differs from the key background.
  bool inked = false;
  for (int y = 0; y < 12; ++y) {
    for (int x = block[0][1].X; x < block[0][1].X + block[0][1].Width; ++x) {
      inked = inked || target->GetPixel(x, y) != glyphs::kKey;
    }
  }
  EXPECT_TRUE(inked);
  EXPECT_EQ(target->GetPixel(block.Width, 0), 0x123456U);
}

TEST_F(TFontTest, DrawCopiesTheBandOntoTheKeyAndNothingElse)
{
  TOxaTextBlock block;
  Font->Layout("A B", 0, block, 100, 100);
  TOwnedObject<TOxaBitmap> target(new TOxaBitmap(nullptr));
  target->ChangeImageSize(40, 20, opf24Bit);
  target->FillRect(RECT{0, 0, 40, 20}, 0x123456);
  Font->Draw(*target, block, 2, 3);
  const struct {
    int X;
    int Y;
    TOxaColor Color;
  } cases[] = {
      {1, 3, 0x123456},
      {2, 2, 0x123456},
      {2, 3, glyphs::ColorOf('A')},
      {6, 14, glyphs::ColorOf('A')},
      {7, 3, glyphs::kKey},
      {9, 3, glyphs::kKey},
      {10, 3, glyphs::ColorOf('B')},
      {14, 14, glyphs::ColorOf('B')},
      {15, 3, 0x123456},
      {2, 15, 0x123456},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(target->GetPixel(c.X, c.Y), c.Color) << c.X << "," << c.Y;
  }
}

TEST_F(TFontTest, DrawConvertsGlyphsToAnotherTargetFormat)
{
  TOxaTextBlock block;
  Font->Layout("AB", 0, block, 100, 100);
  TOwnedObject<TOxaBitmap> target(new TOxaBitmap(nullptr));
  target->ChangeImageSize(20, 20, opf32Bit);
  Font->Draw(*target, block, 1, 1);
  EXPECT_EQ(target->GetPixel(1, 1) & 0xFFFFFF, glyphs::ColorOf('A'));
  EXPECT_EQ(target->GetPixel(10, 12) & 0xFFFFFF, glyphs::ColorOf('B'));
  EXPECT_EQ(target->GetPixel(11, 1) & 0xFFFFFF, 0U);
}

TEST_F(TFontTest, DrawGrowsTheTargetAndNeverWritesPastIt)
{
  glyphs::AddGlyph(*Store, "UW", 30, glyphs::ColorOf('W'));
  TOxaTextBlock block;
  Font->Layout("W", 0, block, 100, 8);
  ASSERT_EQ(block[0][0].Width, 8);
  TOwnedObject<TOxaBitmap> target(new TOxaBitmap(nullptr));
  Font->Draw(*target, block, -5, -5);
  EXPECT_EQ(target->ImageWidth(), 8);
  EXPECT_EQ(target->ImageHeight(), 12);
  EXPECT_EQ(target->GetPixel(7, 11), glyphs::ColorOf('W'));
}

TEST_F(TFontTest, OverlappingGlyphsKeepTheirNeighbours)
{
  Font->SetCharacterSpacing(-2);
  TOxaTextBlock block;
  Font->Layout("AB", 0, block, 100, 100);
  ASSERT_EQ(block[0][1].Gap, -2);
  // Give B's band a key-coloured left column: drawn transparently, A shows through there.
  TOxaBitmap* b = Store->Find("UB");
  b->FillRect(RECT{0, 0, 1, glyphs::kRows}, glyphs::kKey);
  TOwnedObject<TOxaBitmap> target(new TOxaBitmap(nullptr));
  Font->Draw(*target, block, 0, 0);
  EXPECT_EQ(target->GetPixel(3, 0), glyphs::ColorOf('A'));
  EXPECT_EQ(target->GetPixel(4, 0), glyphs::ColorOf('B'));
}

TEST_F(TFontTest, AssignCopiesAndSelfAssignIsLeftAlone)
{
  Font->SetKerning({"ua.uy=-2"});
  Font->SetCharacterSpacing(3);
  Font->SetPrefix("");
  TOwnedObject<TOxaFont> copy(new TOxaFont(nullptr));
  copy->Assign(*Font);
  EXPECT_EQ(copy->Bitmaps(), Store.get());
  EXPECT_EQ(copy->Kern('A', 'Y'), -2);
  EXPECT_EQ(copy->CharacterSpacing(), 3);
  EXPECT_EQ(copy->FontTop(), 2);
  EXPECT_FALSE(copy->AutoFontHeight());
  EXPECT_EQ(copy->Glyph('A'), Font->Glyph('A'));
  Font->Assign(*Font);
  EXPECT_EQ(Font->Kern('A', 'Y'), -2);
}

// A font that can be put in the loading state, as a reader of stored properties does.
class TLoadingFont : public TOxaFont {
 public:
  using TOxaFont::TOxaFont;
  void StartLoading() { SetComponentState(ComponentState() | csLoading); }
};

TEST_F(TFontTest, MetricsAreReadAfterLoadingNotDuringIt)
{
  TOwnedObject<TLoadingFont> font(new TLoadingFont(nullptr));
  TOxaGdiFont gdi;
  gdi.Height = -13;
  font->SetGdiFont(gdi);
  const int small = font->TextHeight();
  EXPECT_GT(small, 0);
  font->StartLoading();
  gdi.Height = -40;
  font->SetGdiFont(gdi);
  EXPECT_EQ(font->TextHeight(), small);
  font->Loaded();
  EXPECT_GT(font->TextHeight(), small);
  font->SetGdiFontHeight(-13);
  EXPECT_EQ(font->TextHeight(), small);
  EXPECT_EQ(font->GdiFont().Height, -13);
}

TEST_F(TFontTest, PlatformModeLaysOutInTheSameRecords)
{
  Font->SetBitmaps(nullptr);
  TOxaGdiFont gdi;
  gdi.Name = "Arial";
  gdi.Height = -13;
  Font->SetGdiFont(gdi);
  EXPECT_GT(Font->TextHeight(), 0);
  TOxaTextBlock block;
  Font->Layout("Hello\nWorld", 0, block, 1000, 1000);
  ASSERT_EQ(block.Count, 2);
  EXPECT_GT(block.Width, 0);
  EXPECT_EQ(block.Height, 2 * Font->TextHeight());
  TOxaTextBlock narrow;
  Font->Layout("Hello\nWorld", 0, narrow, Font->TextHeight(), 4);
  ASSERT_EQ(narrow.Count, 1);
  EXPECT_EQ(narrow.Width, 4);
  // The same wrapping and ellipsis rules as with glyphs.
  TOxaTextBlock one;
  Font->Layout("Hello World", 0, one, 1000, 1000);
  TOxaTextBlock wrapped;
  Font->Layout("Hello World", 0, wrapped, 1000, one.Width - 1, {}, kOxaWrapWord);
  EXPECT_EQ(Lines(wrapped), "Hello|World");
  TOxaTextBlock cut;
  Font->Layout("Hello World", 0, cut, Font->TextHeight(), one.Width - 1, "...", kOxaWrapWord);
  ASSERT_EQ(cut.Count, 1);
  EXPECT_EQ(Lines(cut), "Hello~~~");
  EXPECT_EQ(cut.Ellipsis, "...");
  // The ellipsis is drawn too: ink in its cells.
  TOwnedObject<TOxaBitmap> cutTarget(new TOxaBitmap(nullptr));
  Font->SetGdiColor(0xFFFFFF);
  Font->Draw(*cutTarget, cut, 0, 0);
  const TOxaTextRect& dot = cut[0][cut[0].Count - 1];
  bool inked = false;
  for (int y = 0; y < cut.Height; ++y) {
    for (int x = dot.X; x < dot.X + dot.Width; ++x) {
      inked = inked || cutTarget->GetPixel(x, y) != 0xFFFFFFU;
    }
  }
  EXPECT_TRUE(inked);
  TOwnedObject<TOxaBitmap> target(new TOxaBitmap(nullptr));
  Font->SetGdiColor(0x0000FF);
  Font->Draw(*target, block, 0, 0);
  EXPECT_EQ(target->ImageWidth(), block.Width);
  EXPECT_EQ(target->GetPixel(block.Width - 1, 0), 0x0000FFU);
}

}  // namespace
