#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/core/LastError.h"
#include "platform/display/GdiText.h"
#include "platform/objects/Processes.h"
#include "platform/windows/DisplayTesting.h"

namespace {

constexpr COLORREF White = RGB(255, 255, 255);

// A 32-bit top-down section in a memory device context, white, with a font selected; all undone
// at the end.
class TCanvas {
 public:
  TCanvas(LONG width, LONG height, LONG fontHeight, const char* face = "Verdana", LONG weight = FW_NORMAL)
      : FWidth(width), FHeight(height)
  {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    FDc = CreateCompatibleDC(nullptr);
    FBitmap = CreateDIBSection(FDc, &info, DIB_RGB_COLORS, &FBits, nullptr, 0);
    FOldBitmap = SelectObject(FDc, FBitmap);
    LOGFONTA font{};
    font.lfHeight = fontHeight;
    font.lfWeight = weight;
    std::strncpy(font.lfFaceName, face, LF_FACESIZE - 1);
    FFont = CreateFontIndirectA(&font);
    FOldFont = SelectObject(FDc, FFont);
    const RECT all{0, 0, width, height};
    FillRect(FDc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetBkMode(FDc, TRANSPARENT);
    SetTextColor(FDc, RGB(0, 0, 0));
  }
  ~TCanvas()
  {
    SelectObject(FDc, FOldFont);
    SelectObject(FDc, FOldBitmap);
    DeleteObject(FFont);
    DeleteObject(FBitmap);
    DeleteDC(FDc);
  }
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  operator HDC() const noexcept { return FDc; }
  HBITMAP Bitmap() const noexcept { return FBitmap; }

  // Straight from the section's memory, as the program's pixel code reads it.
  COLORREF Pixel(LONG x, LONG y) const
  {
    const auto* pixel =
        static_cast<const std::uint8_t*>(FBits) + (static_cast<std::size_t>(y) * FWidth + x) * 4;
    return RGB(pixel[2], pixel[1], pixel[0]);
  }
  // The box of every pixel that is not white; empty when all are.
  RECT Inked() const
  {
    RECT box{FWidth, FHeight, 0, 0};
    for (LONG y = 0; y < FHeight; ++y) {
      for (LONG x = 0; x < FWidth; ++x) {
        if (Pixel(x, y) != White) {
          box = RECT{std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
                     std::max(box.bottom, y + 1)};
        }
      }
    }
    return box.right == 0 ? RECT{0, 0, 0, 0} : box;
  }
  std::vector<COLORREF> Pixels() const
  {
    std::vector<COLORREF> pixels;
    for (LONG y = 0; y < FHeight; ++y) {
      for (LONG x = 0; x < FWidth; ++x) {
        pixels.push_back(Pixel(x, y));
      }
    }
    return pixels;
  }

 private:
  LONG FWidth;
  LONG FHeight;
  HDC FDc = nullptr;
  HBITMAP FBitmap = nullptr;
  HGDIOBJ FOldBitmap = nullptr;
  HFONT FFont = nullptr;
  HGDIOBJ FOldFont = nullptr;
  void* FBits = nullptr;
};

// Saves a canvas for a person to look at when OXA_KEEP_SCREENSHOTS names a folder.
void Keep(const TCanvas& canvas, const std::string& name)
{
  if (const char* folder = std::getenv("OXA_KEEP_SCREENSHOTS")) {
    SaveBitmapPng(canvas.Bitmap(), std::string(folder) + "/" + name + ".png");
  }
}

class TText : public ::testing::Test {
 protected:
  void SetUp() override
  {
    UseHeadlessDisplay();
    FObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  }
  void TearDown() override
  {
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), FObjects) << "leak";
  }
  DWORD FObjects = 0;
};

TEST_F(TText, FaceNamesResolveToTheShippedSubstitutes)
{
  struct TCase {
    const char* Face;
    const char* Family;
  };
  const TCase cases[] = {
      {"Arial", "Liberation Sans"},    {"arial", "Liberation Sans"}, {"Verdana", "DejaVu Sans"},
      {"No Such Face", "DejaVu Sans"}, {"", "DejaVu Sans"},          {"Liberation Sans", "Liberation Sans"},
  };
  for (const auto& c : cases) {
    const TFontFace face = ResolveFontFace(c.Face);
    EXPECT_EQ(face.Family, c.Family) << c.Face;
    EXPECT_FALSE(face.File.empty()) << c.Face;
  }
  EXPECT_NE(ResolveFontFace("Arial", true).File, ResolveFontFace("Arial").File) << "the bold face";
}

TEST_F(TText, NegativeHeightsAreCharacterHeightsPositiveOnesCellHeights)
{
  struct TCase {
    LONG Height;
    LONG CellAtLeast;
    LONG CellAtMost;
  };
  const TCase cases[] = {{13, 13, 13}, {-13, 14, 17}, {1, 1, 1}, {-1, 1, 3}, {40, 40, 40}, {0, 14, 17}};
  for (const auto& c : cases) {
    const TCanvas canvas(10, 10, c.Height);
    TEXTMETRICA metrics{};
    ASSERT_TRUE(GetTextMetricsA(canvas, &metrics)) << c.Height;
    EXPECT_GE(metrics.tmHeight, c.CellAtLeast) << c.Height;
    EXPECT_LE(metrics.tmHeight, c.CellAtMost) << c.Height;
    EXPECT_EQ(metrics.tmAscent + metrics.tmDescent, metrics.tmHeight) << c.Height;
    SIZE size{};
    ASSERT_TRUE(GetTextExtentPoint32A(canvas, "Wg", 2, &size));
    EXPECT_EQ(size.cy, metrics.tmHeight) << c.Height;
  }
  const TCanvas small(10, 10, -13);
  const TCanvas cell(10, 10, 13);
  TEXTMETRICA a{};
  TEXTMETRICA b{};
  GetTextMetricsA(small, &a);
  GetTextMetricsA(cell, &b);
  EXPECT_GT(a.tmInternalLeading, b.tmInternalLeading);
}

TEST_F(TText, TextIsInTheSectionMemoryWhenTheCallReturns)
{
  const TCanvas canvas(120, 30, -16);
  SetTextColor(canvas, RGB(200, 0, 0));
  ASSERT_TRUE(TextOutA(canvas, 5, 5, "Wolf", 4));
  GdiFlush();
  const RECT inked = canvas.Inked();
  EXPECT_FALSE(IsRectEmpty(&inked));
  EXPECT_GE(inked.left, 5);
  EXPECT_GE(inked.top, 5);
  bool solid = false;
  for (LONG y = inked.top; y < inked.bottom; ++y) {
    for (LONG x = inked.left; x < inked.right; ++x) {
      const COLORREF pixel = canvas.Pixel(x, y);
      solid = solid || pixel == RGB(200, 0, 0);
      // Anti-aliased edges mix the text colour into white: never another hue.
      EXPECT_GE(GetRValue(pixel), GetGValue(pixel));
      EXPECT_EQ(GetGValue(pixel), GetBValue(pixel));
    }
  }
  EXPECT_TRUE(solid) << "full coverage gives the text colour itself";
  const TCanvas sample(400, 120, -13);
  RECT box{10, 10, 390, 110};
  DrawTextA(sample,
            "Verdana 13: The Quick Brown Fox, 0123456789 & \xC3\xA4\xC3\xB6\xC3\xBC\n"
            "DT_WORDBREAK breaks between words when a line grows too long for its box.",
            -1, &box, DT_WORDBREAK | DT_NOPREFIX);
  Keep(sample, "text-verdana");
}

TEST_F(TText, OpaqueModeFillsTheCellsWithTheBackground)
{
  const TCanvas canvas(100, 30, 20);
  SetBkMode(canvas, OPAQUE);
  SetBkColor(canvas, RGB(0, 0, 255));
  SIZE size{};
  GetTextExtentPoint32A(canvas, "ab", 2, &size);
  TextOutA(canvas, 10, 5, "ab", 2);
  EXPECT_EQ(canvas.Pixel(10, 5), RGB(0, 0, 255));
  EXPECT_EQ(canvas.Pixel(10 + size.cx - 1, 5 + size.cy - 1), RGB(0, 0, 255));
  EXPECT_EQ(canvas.Pixel(10 + size.cx, 5), White);
  EXPECT_EQ(canvas.Pixel(9, 5), White);
  EXPECT_EQ(canvas.Pixel(10, 5 + size.cy), White);
}

TEST_F(TText, ExtTextOutClipsAndFills)
{
  const TCanvas canvas(100, 40, -20);
  const RECT box{10, 10, 30, 30};
  SetBkColor(canvas, RGB(0, 255, 0));
  ASSERT_TRUE(ExtTextOutA(canvas, 0, 0, ETO_OPAQUE | ETO_CLIPPED, &box, "WWWWWWWW", 8, nullptr));
  const RECT inked = canvas.Inked();
  const RECT expected{10, 10, 30, 30};
  EXPECT_TRUE(EqualRect(&inked, &expected))
      << inked.left << "," << inked.top << "," << inked.right << "," << inked.bottom;
  EXPECT_FALSE(ExtTextOutA(canvas, 0, 0, ETO_CLIPPED, nullptr, "W", 1, nullptr));
  const int advances[] = {5};
  EXPECT_FALSE(ExtTextOutA(canvas, 0, 0, 0, nullptr, "W", 1, advances));
}

TEST_F(TText, DrawTextAlignsAndMeasures)
{
  const TCanvas canvas(200, 60, -14);
  SIZE size{};
  GetTextExtentPoint32A(canvas, "Play", 4, &size);
  struct TCase {
    UINT Format;
    LONG Left;  // where the text's cell starts
    LONG Top;
  };
  const RECT box{20, 10, 180, 50};
  const TCase cases[] = {
      {DT_SINGLELINE | DT_LEFT, 20, 10},
      {DT_SINGLELINE | DT_RIGHT, 180 - size.cx, 10},
      {DT_SINGLELINE | DT_CENTER, 20 + (160 - size.cx) / 2, 10},
      {DT_SINGLELINE | DT_VCENTER, 20, 10 + (40 - size.cy) / 2},
      {DT_SINGLELINE | DT_BOTTOM, 20, 50 - size.cy},
  };
  for (const auto& c : cases) {
    RECT measured{c.Left, c.Top, c.Left, c.Top};
    EXPECT_EQ(DrawTextA(canvas, "Play", -1, &measured, DT_CALCRECT | DT_SINGLELINE), size.cy);
    EXPECT_EQ(measured.right - measured.left, size.cx);
    // Drawn where DrawTextA says equals drawn by TextOutA at the expected place.
    const TCanvas expected(200, 60, -14);
    TextOutA(expected, c.Left, c.Top, "Play", 4);
    const TCanvas drawn(200, 60, -14);
    RECT rect = box;
    DrawTextA(drawn, "Play", 4, &rect, c.Format);
    EXPECT_EQ(drawn.Pixels(), expected.Pixels()) << c.Format;
  }
}

TEST_F(TText, DrawTextBreaksWordsAndLines)
{
  const TCanvas canvas(200, 200, -14);
  SIZE word{};
  GetTextExtentPoint32A(canvas, "alpha beta", 10, &word);
  TEXTMETRICA metrics{};
  GetTextMetricsA(canvas, &metrics);
  struct TCase {
    const char* Text;
    LONG Width;
    UINT Format;
    LONG Lines;
  };
  const TCase cases[] = {
      {"alpha beta", word.cx, DT_WORDBREAK, 1},
      {"alpha beta", word.cx - 1, DT_WORDBREAK, 2},
      {"alpha beta", 1, DT_WORDBREAK, 2},
      {"alpha beta", 1, 0, 1},
      {"alpha\nbeta", 500, 0, 2},
      {"alpha\r\nbeta", 500, 0, 2},
      {"alpha\nbeta", 500, DT_SINGLELINE, 1},
  };
  for (const auto& c : cases) {
    RECT rect{0, 0, c.Width, 0};
    EXPECT_EQ(DrawTextA(canvas, c.Text, -1, &rect, c.Format | DT_CALCRECT), c.Lines * metrics.tmHeight)
        << c.Text << " in " << c.Width;
    EXPECT_EQ(rect.bottom, c.Lines * metrics.tmHeight);
  }
}

TEST_F(TText, PrefixesAreHiddenUnlessNoPrefix)
{
  const TCanvas canvas(100, 30, -14);
  SIZE plain{};
  SIZE ampersand{};
  GetTextExtentPoint32A(canvas, "Save", 4, &plain);
  GetTextExtentPoint32A(canvas, "S&ave", 5, &ampersand);
  RECT rect{0, 0, 0, 0};
  DrawTextA(canvas, "S&ave", -1, &rect, DT_CALCRECT | DT_SINGLELINE);
  EXPECT_EQ(rect.right, plain.cx);
  rect = RECT{0, 0, 0, 0};
  DrawTextA(canvas, "S&ave", -1, &rect, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  EXPECT_EQ(rect.right, ampersand.cx);
  SIZE single{};
  GetTextExtentPoint32A(canvas, "a&b", 3, &single);
  rect = RECT{0, 0, 0, 0};
  DrawTextA(canvas, "a&&b", -1, &rect, DT_CALCRECT | DT_SINGLELINE);
  EXPECT_EQ(rect.right, single.cx) << "&& shows one &";
}

TEST_F(TText, EndEllipsisCutsWhatDoesNotFit)
{
  const char* title = "A caption far too long for its box";
  SIZE dots{};
  SIZE full{};
  {
    const TCanvas probe(10, 10, -14);
    GetTextExtentPoint32A(probe, "...", 3, &dots);
    GetTextExtentPoint32A(probe, title, static_cast<int>(std::strlen(title)), &full);
  }
  const LONG width = 80;
  const TCanvas drawn(200, 30, -14);
  RECT rect{0, 0, width, 30};
  DrawTextA(drawn, title, -1, &rect, DT_SINGLELINE | DT_END_ELLIPSIS);
  const RECT inked = drawn.Inked();
  EXPECT_LE(inked.right, width);
  // The same as the longest head of the text that fits with "..." after it.
  std::string head = title;
  const TCanvas expected(200, 30, -14);
  SIZE size{};
  do {
    head.pop_back();
    GetTextExtentPoint32A(expected, head.c_str(), static_cast<int>(head.size()), &size);
  } while (size.cx + dots.cx > width);
  const std::string shown = head + "...";
  TextOutA(expected, 0, 0, shown.c_str(), static_cast<int>(shown.size()));
  EXPECT_EQ(drawn.Pixels(), expected.Pixels()) << shown;
  // Text that fits is left alone.
  const TCanvas whole(400, 30, -14);
  RECT wide{0, 0, full.cx, 30};
  DrawTextA(whole, title, -1, &wide, DT_SINGLELINE | DT_END_ELLIPSIS | DT_CALCRECT);
  EXPECT_EQ(wide.right, full.cx);
}

TEST_F(TText, TextNeverLeavesTheClip)
{
  const TCanvas canvas(60, 30, -20);
  const HRGN clip = CreateRectRgn(10, 0, 20, 30);
  SelectObject(canvas, clip);
  TextOutA(canvas, 0, 0, "WWWWWW", 6);
  const RECT inked = canvas.Inked();
  EXPECT_GE(inked.left, 10);
  EXPECT_LE(inked.right, 20);
  DeleteObject(clip);
  // Malformed UTF-8 draws replacement glyphs rather than failing.
  EXPECT_TRUE(TextOutA(canvas, 0, 0, "\xC3\x28\xFF", 3));
}

TEST_F(TText, MisuseFails)
{
  const TCanvas canvas(10, 10, -12);
  EXPECT_EQ(CreateFontIndirectA(nullptr), nullptr);
  EXPECT_EQ(SetTextColor(nullptr, 0), CLR_INVALID);
  EXPECT_EQ(SetBkMode(canvas, 7), 0);
  EXPECT_EQ(SetBkMode(canvas, OPAQUE), TRANSPARENT);
  EXPECT_FALSE(TextOutA(canvas, 0, 0, "x", -1));
  EXPECT_FALSE(GetTextExtentPoint32A(canvas, "x", -1, nullptr));
  RECT rect{};
  EXPECT_EQ(DrawTextA(nullptr, "x", 1, &rect, 0), 0);
  EXPECT_EQ(DrawTextA(canvas, "x", 1, nullptr, 0), 0);
  TEXTMETRICA metrics{};
  EXPECT_FALSE(GetTextMetricsA(reinterpret_cast<HDC>(canvas.Bitmap()), &metrics));
}

}  // namespace
