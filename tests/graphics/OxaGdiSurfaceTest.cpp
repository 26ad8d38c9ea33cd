#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "forms/Bitmap.h"
#include "graphics/OxaBitmapBlt.h"
#include "graphics/OxaGdiBitmap.h"
#include "platform/core/LastError.h"
#include "platform/display/GdiText.h"
#include "platform/objects/Processes.h"
#include "platform/windows/DisplayTesting.h"
#include "rtl/OSError.h"
#include "tests/support/TempFolder.h"

namespace {

class TGdiSurfaceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { UseHeadlessDisplay(); }
  void SetUp() override { FObjects = GdiObjects(); }
  void TearDown() override { EXPECT_EQ(GdiObjects(), FObjects) << "GDI objects leaked"; }

  static DWORD GdiObjects() { return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS); }

 private:
  DWORD FObjects = 0;
};

// Holds one reference for the test.
struct TSurfaceRef {
  TOxaGdiBitmap* Surface = TOxaGdiBitmap::Create();
  ~TSurfaceRef() { Surface->Release(); }
  TOxaGdiBitmap* operator->() const { return Surface; }
};

// A colour that tells the position: red x, green y, blue a constant.
TOxaColor PatternAt(int x, int y)
{
  return 0x400000 | TOxaColor(y) << 8 | TOxaColor(x);
}

void PaintPattern(TOxaGdiBitmap& surface)
{
  const TOxaBltTable& ops = *OxaBltTable(opf24Bit);
  const TOxaSurfaceDesc desc = surface.Desc();
  for (int y = 0; y < surface.Height(); ++y) {
    for (int x = 0; x < surface.Width(); ++x) {
      ops.SetPixel(desc, x, y, PatternAt(x, y));
    }
  }
}

TEST_F(TGdiSurfaceTest, SetSizeWithKeepPreservesThePartThatFits)
{
  struct {
    int Width, Height, NewWidth, NewHeight;
  } const cases[] = {{5, 4, 5, 4}, {5, 4, 8, 6}, {5, 4, 3, 2}, {5, 4, 1, 9}, {1, 1, 67, 3}, {67, 3, 66, 3}};
  for (const auto& c : cases) {
    TSurfaceRef surface;
    surface->SetSize(c.Width, c.Height, false);
    PaintPattern(*surface.Surface);
    surface->SetSize(c.NewWidth, c.NewHeight, true);
    const TOxaBltTable& ops = *OxaBltTable(opf24Bit);
    const TOxaSurfaceDesc desc = surface->Desc();
    for (int y = 0; y < c.NewHeight; ++y) {
      for (int x = 0; x < c.NewWidth; ++x) {
        const TOxaColor expected = x < c.Width && y < c.Height ? PatternAt(x, y) : 0;
        ASSERT_EQ(ops.GetPixel(desc, x, y), expected) << c.Width << "x" << c.Height << " -> " << c.NewWidth
                                                      << "x" << c.NewHeight << " at " << x << "," << y;
      }
    }
  }
}

TEST_F(TGdiSurfaceTest, SetSizeWithoutKeepStartsBlank)
{
  TSurfaceRef surface;
  surface->SetSize(4, 4, false);
  PaintPattern(*surface.Surface);
  surface->SetSize(4, 5, false);
  EXPECT_EQ(OxaBltTable(opf24Bit)->GetPixel(surface->Desc(), 1, 1), 0u);
}

TEST_F(TGdiSurfaceTest, HeaderAndStrideFollowTheFormat)
{
  struct {
    int Format, Bits;
  } const formats[] = {{opf1Bit, 1},   {opf4Bit, 4},   {opf8Bit, 8},  {opf15Bit, 16},
                       {opf16Bit, 16}, {opf24Bit, 24}, {opf32Bit, 32}};
  for (const auto& f : formats) {
    for (const int width : {1, 2, 3, 4, 5, 7, 8, 31, 32, 33, 67}) {
      TSurfaceRef surface;
      surface->SetSize(width, 3, false, f.Format);
      const int stride = ((f.Bits * width + 31) >> 3) & ~3;
      EXPECT_EQ(surface->Stride(), stride) << f.Bits << " bits, width " << width;
      EXPECT_EQ(surface->PixelFormat(), f.Format);
      const BITMAPINFOHEADER& h = surface->Header();
      EXPECT_EQ(h.biSize, 40u);
      EXPECT_EQ(h.biWidth, width);
      EXPECT_EQ(h.biHeight, 3);
      EXPECT_EQ(h.biPlanes, 1);
      EXPECT_EQ(h.biBitCount, f.Bits);
      EXPECT_EQ(h.biSizeImage, DWORD(3 * stride));
      EXPECT_NE(surface->Bits(), nullptr);
    }
  }
}

TEST_F(TGdiSurfaceTest, ZeroSizesLeaveTheSurfaceEmpty)
{
  struct {
    int Width, Height;
  } const cases[] = {{0, 5}, {5, 0}, {0, 0}, {-1, 5}};
  for (const auto& c : cases) {
    TSurfaceRef surface;
    surface->SetSize(3, 3, false);
    surface->DC();
    surface->SetSize(c.Width, c.Height, true);
    EXPECT_TRUE(surface->Empty()) << c.Width << "x" << c.Height;
    EXPECT_EQ(surface->Handle(), nullptr);
    EXPECT_EQ(surface->Bits(), nullptr);
    EXPECT_EQ(surface->Desc().ScanLine0, nullptr);
    EXPECT_NE(surface->DC(), nullptr);
    surface->SetSize(1, 1, false);
    EXPECT_FALSE(surface->Empty());
  }
}

TEST_F(TGdiSurfaceTest, FormatsWithoutBitCountAreDeviceDependent)
{
  for (const int format : std::initializer_list<int>{opfDevice, opfCustom, 9}) {
    TSurfaceRef surface;
    surface->SetSize(4, 4, false, format);
    EXPECT_EQ(surface->PixelFormat(), opfDevice) << format;
    EXPECT_NE(surface->Handle(), nullptr);
    EXPECT_EQ(surface->Bits(), nullptr);
    surface->FillRect({0, 0, 4, 4}, 0x0000FF);
    EXPECT_EQ(::GetPixel(surface->DC(), 2, 2), 0x0000FFu);
  }
}

TEST_F(TGdiSurfaceTest, EightBitSectionsGetTheSystemPalette)
{
  for (const int format : {opf1Bit, opf4Bit, opf8Bit}) {
    TSurfaceRef surface;
    surface->SetSize(4, 4, false, format);
    const HDC dc = surface->DC();
    EXPECT_NE(GetCurrentObject(dc, OBJ_PAL), GetStockObject(DEFAULT_PALETTE)) << format;
    std::array<PALETTEENTRY, 256> system{};
    GetSystemPaletteEntries(dc, 0, 256, system.data());
    std::array<std::uint8_t, 256 * 4> table{};
    const UINT count = GetDIBColorTable(dc, 0, 256, reinterpret_cast<RGBQUAD*>(table.data()));
    ASSERT_EQ(count, UINT(1) << OxaPixelFormatToBits(format)) << format;
    for (UINT i = 0; i < count; ++i) {
      EXPECT_EQ(table[i * 4], system[i].peBlue) << format << " entry " << i;
      EXPECT_EQ(table[i * 4 + 1], system[i].peGreen);
      EXPECT_EQ(table[i * 4 + 2], system[i].peRed);
    }
  }
}

TEST_F(TGdiSurfaceTest, BitsSeeTextDrawnJustBefore)
{
  TSurfaceRef surface;
  surface->SetSize(60, 24, false);
  const TOxaBltTable& ops = *OxaBltTable(opf24Bit);
  ops.FillRect(surface->Desc(), 0, 0, 60, 24, 0xFFFFFF);
  const HDC dc = surface->DC();
  SetTextColor(dc, 0x000000);
  SetBkMode(dc, TRANSPARENT);
  ASSERT_TRUE(TextOutA(dc, 2, 2, "Wg", 2));
  const TOxaSurfaceDesc desc = surface->Desc();
  int dark = 0;
  for (int y = 0; y < 24; ++y) {
    for (int x = 0; x < 60; ++x) {
      dark += ops.GetPixel(desc, x, y) != 0xFFFFFF;
    }
  }
  EXPECT_GT(dark, 10);
}

TEST_F(TGdiSurfaceTest, FillAndFrameThroughTheBrush)
{
  struct {
    int BandHeight, BandWidth;
    std::vector<std::string> Picture;
  } const cases[] = {
      {1, 1, {"#####", "#...#", "#...#", "#####"}}, {1, 2, {"#####", "##.##", "##.##", "#####"}},
      {2, 0, {"#####", "#####", "#####", "#####"}}, {0, 0, {".....", ".....", ".....", "....."}},
      {9, 9, {"#####", "#####", "#####", "#####"}},
  };
  for (const auto& c : cases) {
    TSurfaceRef surface;
    surface->SetSize(7, 6, false);
    surface->FillRect({0, 0, 7, 6}, 0x000000);
    surface->FrameRect({1, 1, 6, 5}, 0x00FF00, c.BandHeight, c.BandWidth);
    const TOxaSurfaceDesc desc = surface->Desc();
    std::vector<std::string> picture;
    for (int y = 1; y < 5; ++y) {
      std::string row;
      for (int x = 1; x < 6; ++x) {
        row += OxaBltTable(opf24Bit)->GetPixel(desc, x, y) == 0x00FF00 ? '#' : '.';
      }
      picture.push_back(row);
    }
    EXPECT_EQ(picture, c.Picture) << c.BandHeight << "," << c.BandWidth;
    EXPECT_EQ(OxaBltTable(opf24Bit)->GetPixel(desc, 6, 5), 0u);  // outside the frame
  }
}

// A BMP file of width × height pixels at the given bits (24: colour (x, y) as PatternAt;
// 8: palette index x with a grey palette).
std::string BmpFile(int width, int height, int bits)
{
  const int stride = ((bits * width + 31) >> 3) & ~3;
  const int paletteBytes = bits == 8 ? 256 * 4 : 0;
  std::string data(std::size_t(54 + paletteBytes + stride * height), '\0');
  const auto put = [&data](std::size_t at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
      data[at + std::size_t(i)] = char(value >> (8 * i));
    }
  };
  data[0] = 'B';
  data[1] = 'M';
  put(2, std::uint32_t(data.size()), 4);
  put(10, std::uint32_t(54 + paletteBytes), 4);
  put(14, 40, 4);
  put(18, std::uint32_t(width), 4);
  put(22, std::uint32_t(height), 4);
  put(26, 1, 2);
  put(28, std::uint32_t(bits), 2);
  put(34, std::uint32_t(stride * height), 4);
  for (int i = 0; i < paletteBytes / 4; ++i) {
    put(54 + std::size_t(i) * 4, std::uint32_t(i) * 0x010101, 4);
  }
  for (int y = 0; y < height; ++y) {
    const std::size_t row =
        54 + std::size_t(paletteBytes) + std::size_t(stride) * std::size_t(height - 1 - y);
    for (int x = 0; x < width; ++x) {
      if (bits == 24) {
        const TOxaColor c = PatternAt(x, y);
        put(row + std::size_t(x) * 3, (c >> 16) | (c & 0xFF00) | ((c & 0xFF) << 16), 3);
      } else {
        data[row + std::size_t(x)] = char(x);
      }
    }
  }
  return data;
}

TEST_F(TGdiSurfaceTest, LoadsBitmapFilesAsTwentyFourBitSurfaces)
{
  TTempFolder folder;
  struct {
    int Bits;
  } const cases[] = {{24}, {8}};
  for (const auto& c : cases) {
    const auto path = folder.WriteFile("picture" + std::to_string(c.Bits) + ".bmp", BmpFile(5, 3, c.Bits));
    TSurfaceRef surface;
    surface->LoadFromFile(path.string());
    EXPECT_EQ(surface->PixelFormat(), opf24Bit) << c.Bits;
    ASSERT_EQ(surface->Width(), 5);
    ASSERT_EQ(surface->Height(), 3);
    const TOxaSurfaceDesc desc = surface->Desc();
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 5; ++x) {
        const TOxaColor expected = c.Bits == 24 ? PatternAt(x, y) : TOxaColor(x) * 0x010101;
        EXPECT_EQ(OxaBltTable(opf24Bit)->GetPixel(desc, x, y), expected) << c.Bits << " at " << x << "," << y;
      }
    }
  }
}

TEST_F(TGdiSurfaceTest, FailedLoadsRaiseThePlatformError)
{
  TTempFolder folder;
  const auto garbage = folder.WriteFile("garbage.bmp", "not a bitmap at all");
  struct {
    std::string Name;
    bool FromFile;
    DWORD Code;
  } const cases[] = {
      {(folder.Path() / "missing.bmp").string(), true, ERROR_FILE_NOT_FOUND},
      {garbage.string(), true, ERROR_INVALID_BITMAP},
      {"SKIN", false, ERROR_RESOURCE_NAME_NOT_FOUND},
  };
  for (const auto& c : cases) {
    TSurfaceRef surface;
    surface->SetSize(2, 2, false);
    try {
      if (c.FromFile) {
        surface->LoadFromFile(c.Name);
      } else {
        surface->LoadFromResource(nullptr, c.Name);
      }
      ADD_FAILURE() << "no exception for " << c.Name;
    } catch (const EOSError& e) {
      EXPECT_EQ(e.ErrorCode(), c.Code) << c.Name;
    }
    EXPECT_EQ(surface->Width(), 2) << "a failed load keeps the surface";
  }
}

TEST_F(TGdiSurfaceTest, AssignTakesThePlainBitmapsPicture)
{
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetWidth(3);
  bitmap.SetHeight(2);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      const TOxaColor c = PatternAt(x, y);
      std::uint8_t* p = bitmap.ScanLine(y) + x * 3;
      p[0] = std::uint8_t(c >> 16);
      p[1] = std::uint8_t(c >> 8);
      p[2] = std::uint8_t(c);
    }
  }
  TSurfaceRef surface;
  surface->Assign(bitmap);
  EXPECT_EQ(surface->PixelFormat(), opf24Bit);
  const TOxaSurfaceDesc desc = surface->Desc();
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(OxaBltTable(opf24Bit)->GetPixel(desc, x, y), PatternAt(x, y));
    }
  }
}

TEST_F(TGdiSurfaceTest, TheScreenIsThirtyTwoBitsAndSkinSurfacesStayTwentyFour)
{
  EXPECT_EQ(OxaScreenPixelFormat(), opf32Bit);
  TSurfaceRef surface;
  surface->SetSize(2, 2, false);
  EXPECT_EQ(surface->PixelFormat(), opf24Bit);
}

TEST_F(TGdiSurfaceTest, BytesPerPixelSwitchesUnsupportedFormatsToTwentyFourBits)
{
  struct {
    TPixelFormat Format;
    int Bytes;
    TPixelFormat After;
  } const cases[] = {
      {pfDevice, 3, pf24bit}, {pf1bit, 3, pf24bit},  {pf4bit, 3, pf24bit},
      {pf8bit, 1, pf8bit},    {pf15bit, 3, pf24bit}, {pf16bit, 2, pf16bit},
      {pf24bit, 3, pf24bit},  {pf32bit, 4, pf32bit}, {pfCustom, 3, pf24bit},
  };
  for (const auto& c : cases) {
    TBitmap bitmap;
    bitmap.SetPixelFormat(c.Format);
    bitmap.SetWidth(5);
    bitmap.SetHeight(2);
    TBitmapEx ex(bitmap);
    EXPECT_EQ(ex.BytesPerPixel(), c.Bytes) << c.Format;
    EXPECT_EQ(bitmap.PixelFormat(), c.After) << c.Format;
    EXPECT_EQ(bitmap.Width(), 5);
    EXPECT_EQ(bitmap.Height(), 2);
  }
}

TEST_F(TGdiSurfaceTest, StrideImageSizeAndBottomRowOfPlainBitmaps)
{
  for (const TPixelFormat format : {pf8bit, pf16bit, pf24bit, pf32bit}) {
    for (int width = 1; width <= 67; ++width) {
      TBitmap bitmap;
      TBitmapEx ex(bitmap);
      ex.SetSize(width, 3, format);
      const int stride = OxaStride(width, ex.BytesPerPixel());
      ASSERT_EQ(ex.Stride(), stride) << format << " width " << width;
      EXPECT_EQ(ex.ImageSize(), 3 * stride);
      EXPECT_EQ(ex.BottomRow(), bitmap.ScanLine(2));
      EXPECT_EQ(bitmap.ScanLine(0) - bitmap.ScanLine(1), stride);
    }
  }
}

TEST_F(TGdiSurfaceTest, SetSizeCollapsesThePictureOnlyWhenTheSizeChanges)
{
  struct {
    int Width, Height;
    TPixelFormat Format;
    bool Kept;
  } const cases[] = {
      {4, 3, pf32bit, true}, {4, 3, pf24bit, true}, {5, 3, pf24bit, false}, {4, 2, pf24bit, false}};
  for (const auto& c : cases) {
    TBitmap bitmap;
    TBitmapEx ex(bitmap);
    ex.SetSize(4, 3, pf24bit);
    bitmap.ScanLine(0)[0] = 0x55;
    ex.SetSize(c.Width, c.Height, c.Format);
    EXPECT_EQ(bitmap.PixelFormat(), c.Format);
    EXPECT_EQ(bitmap.Width(), c.Width);
    EXPECT_EQ(bitmap.Height(), c.Height);
    EXPECT_EQ(bitmap.ScanLine(0)[0] == 0x55, c.Kept) << c.Width << "x" << c.Height << " format " << c.Format;
  }
}

TEST_F(TGdiSurfaceTest, ReferencesAndDeviceContextsLeaveNoObjectBehind)
{
  TOxaGdiBitmap* surface = TOxaGdiBitmap::Create();
  surface->AddRef();
  surface->SetSize(8, 8, false, opf8Bit);
  surface->DC();
  surface->SetSize(9, 9, true, opf24Bit);
  surface->DC();
  surface->FillRect({0, 0, 9, 9}, 0x123456);
  surface->ReleaseDC();
  surface->ReleaseDC();
  surface->DC();
  surface->Release();
  EXPECT_EQ(surface->RefCount(), 1);
  surface->Release();
}

}  // namespace
