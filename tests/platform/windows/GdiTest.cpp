#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <vector>

#include "platform/core/LastError.h"
#include "platform/objects/Processes.h"
#include "platform/windows/BmpFile.h"
#include "platform/windows/DisplayTesting.h"
#include "platform/windows/Gdi.h"
#include "tests/support/TempFolder.h"

namespace {

// Every test ends with as many drawing objects as it started with.
class TGdi : public ::testing::Test {
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

// A header for a section; the colour table (when any) follows in the same buffer.
struct TSectionInfo {
  BITMAPINFOHEADER Header;
  RGBQUAD Colors[256];
};

TSectionInfo Info(LONG width, LONG height, WORD bits)
{
  TSectionInfo info{};
  info.Header.biSize = sizeof(BITMAPINFOHEADER);
  info.Header.biWidth = width;
  info.Header.biHeight = height;
  info.Header.biPlanes = 1;
  info.Header.biBitCount = bits;
  info.Header.biCompression = BI_RGB;
  return info;
}

const BITMAPINFO* AsInfo(const TSectionInfo& info)
{
  return reinterpret_cast<const BITMAPINFO*>(&info);
}

// A memory device context with a bitmap selected, undone at the end.
class TMemoryDc {
 public:
  explicit TMemoryDc(HBITMAP bitmap) : FDc(CreateCompatibleDC(nullptr)), FBitmap(bitmap)
  {
    FOld = SelectObject(FDc, bitmap);
  }
  ~TMemoryDc()
  {
    SelectObject(FDc, FOld);
    DeleteDC(FDc);
    DeleteObject(FBitmap);
  }
  TMemoryDc(const TMemoryDc&) = delete;
  TMemoryDc& operator=(const TMemoryDc&) = delete;
  operator HDC() const noexcept { return FDc; }

 private:
  HDC FDc;
  HBITMAP FBitmap;
  HGDIOBJ FOld;
};

TEST_F(TGdi, SectionMemoryWrittenByALoopShowsThroughBitBlt)
{
  for (const LONG height : {3, -3}) {
    void* bits = nullptr;
    const auto info = Info(4, height, 24);
    const HBITMAP section = CreateDIBSection(nullptr, AsInfo(info), DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(section, nullptr);
    ASSERT_NE(bits, nullptr);
    // Row r of memory is picture row 2 - r when bottom-up, r when top-down.
    auto* bytes = static_cast<std::uint8_t*>(bits);
    const std::size_t stride = 12;
    for (int memoryRow = 0; memoryRow < 3; ++memoryRow) {
      for (int x = 0; x < 4; ++x) {
        std::uint8_t* pixel = bytes + memoryRow * stride + x * 3;
        pixel[0] = static_cast<std::uint8_t>(memoryRow);  // blue
        pixel[1] = static_cast<std::uint8_t>(x);          // green
        pixel[2] = 200;                                   // red
      }
    }
    const TMemoryDc source(section);
    const TMemoryDc target(CreateCompatibleBitmap(source, 6, 5));
    ASSERT_TRUE(BitBlt(target, 1, 1, 4, 3, source, 0, 0, SRCCOPY));
    EXPECT_TRUE(GdiFlush());
    for (int y = 0; y < 3; ++y) {
      const int memoryRow = height > 0 ? 2 - y : y;
      EXPECT_EQ(GetPixel(target, 1 + 3, 1 + y), RGB(200, 3, memoryRow)) << height << " row " << y;
    }
    EXPECT_EQ(GetPixel(target, 0, 0), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(target, 5, 4), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(target, 6, 0), CLR_INVALID);
  }
}

TEST_F(TGdi, BlockTransfersCutToTheSourceAndTarget)
{
  const TMemoryDc source(CreateCompatibleBitmap(nullptr, 4, 4));
  const TMemoryDc target(CreateCompatibleBitmap(nullptr, 4, 4));
  const HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  const RECT all{0, 0, 4, 4};
  FillRect(source, &all, red);
  DeleteObject(red);
  struct TCase {
    int X, Y, Width, Height, SourceX, SourceY;
    POINT Inside;
    POINT Outside;
  };
  const TCase cases[] = {
      {-2, -2, 4, 4, 0, 0, {1, 1}, {2, 2}},  // target off its left and top
      {2, 2, 10, 10, 0, 0, {3, 3}, {1, 1}},  // past its right and bottom
      {0, 0, 4, 4, 3, 3, {0, 0}, {1, 1}},    // source off its right and bottom
      {0, 0, 4, 4, -3, -3, {3, 3}, {2, 2}},  // source off its left and top
  };
  for (const auto& c : cases) {
    BitBlt(target, 0, 0, 4, 4, nullptr, 0, 0, BLACKNESS);
    EXPECT_TRUE(BitBlt(target, c.X, c.Y, c.Width, c.Height, source, c.SourceX, c.SourceY, SRCCOPY));
    EXPECT_EQ(GetPixel(target, c.Inside.x, c.Inside.y), RGB(255, 0, 0)) << c.X << "," << c.SourceX;
    EXPECT_EQ(GetPixel(target, c.Outside.x, c.Outside.y), RGB(0, 0, 0)) << c.X << "," << c.SourceX;
  }
  EXPECT_FALSE(BitBlt(target, 0, 0, 1, 1, source, 0, 0, 0x00EE0086));  // SRCPAINT is not supported
}

TEST_F(TGdi, StretchBltScalesBetweenDeviceContexts)
{
  const TMemoryDc source(CreateCompatibleBitmap(nullptr, 2, 1));
  SetPixel(source, 0, 0, RGB(10, 0, 0));
  SetPixel(source, 1, 0, RGB(20, 0, 0));
  const TMemoryDc target(CreateCompatibleBitmap(nullptr, 5, 1));
  EXPECT_EQ(GetStretchBltMode(target), BLACKONWHITE);
  ASSERT_TRUE(StretchBlt(target, 0, 0, 4, 1, source, 0, 0, 2, 1, SRCCOPY));
  EXPECT_EQ(GetPixel(target, 0, 0), RGB(10, 0, 0));
  EXPECT_EQ(GetPixel(target, 1, 0), RGB(10, 0, 0));
  EXPECT_EQ(GetPixel(target, 3, 0), RGB(20, 0, 0));
  EXPECT_EQ(GetPixel(target, 4, 0), RGB(0, 0, 0)) << "nothing past the target rectangle";
  EXPECT_EQ(SetStretchBltMode(target, HALFTONE), BLACKONWHITE);
  ASSERT_TRUE(StretchBlt(target, 0, 0, 4, 1, source, 0, 0, 2, 1, SRCCOPY));
  EXPECT_EQ(GetPixel(target, 1, 0), RGB(13, 0, 0));
  EXPECT_EQ(SetStretchBltMode(target, 9), 0);
}

TEST_F(TGdi, FillsFramesAndLines)
{
  const TMemoryDc dc(CreateCompatibleBitmap(nullptr, 8, 8));
  const HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  const RECT frame{1, 1, 5, 4};
  EXPECT_EQ(FrameRect(dc, &frame, white), 1);
  EXPECT_EQ(GetPixel(dc, 1, 1), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(dc, 4, 3), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(dc, 2, 2), RGB(0, 0, 0)) << "inside the frame";
  EXPECT_EQ(GetPixel(dc, 5, 4), RGB(0, 0, 0)) << "right and bottom are exclusive";

  const HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 255, 0));
  const HGDIOBJ old = SelectObject(dc, pen);
  POINT previous{};
  MoveToEx(dc, 0, 7, &previous);
  LineTo(dc, 7, 7);
  EXPECT_EQ(GetPixel(dc, 0, 7), RGB(0, 255, 0));
  EXPECT_EQ(GetPixel(dc, 6, 7), RGB(0, 255, 0));
  EXPECT_EQ(GetPixel(dc, 7, 7), RGB(0, 0, 0)) << "the last point is not drawn";
  const POINT triangle[] = {{6, 0}, {7, 1}, {6, 2}, {6, 0}};
  EXPECT_TRUE(Polyline(dc, triangle, 4));
  EXPECT_EQ(GetPixel(dc, 7, 1), RGB(0, 255, 0));
  EXPECT_EQ(GetPixel(dc, 6, 1), RGB(0, 255, 0));
  EXPECT_FALSE(Polyline(dc, triangle, 1));
  SelectObject(dc, old);
  DeleteObject(pen);

  const HRGN region = CreateRectRgn(0, 5, 2, 6);
  const HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
  EXPECT_TRUE(FillRgn(dc, region, blue));
  EXPECT_EQ(GetPixel(dc, 1, 5), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(dc, 2, 5), RGB(0, 0, 0));
  DeleteObject(blue);
  DeleteObject(region);
}

TEST_F(TGdi, BadSectionHeadersFailWithTheWin32Codes)
{
  struct TCase {
    const char* Name;
    LONG Width;
    LONG Height;
    WORD Bits;
    DWORD Compression;
    DWORD Error;
  };
  const TCase cases[] = {
      {"zero width", 0, 1, 32, BI_RGB, ERROR_INVALID_PARAMETER},
      {"zero height", 1, 0, 32, BI_RGB, ERROR_INVALID_PARAMETER},
      {"height INT_MIN", 1, INT_MIN, 32, BI_RGB, ERROR_INVALID_PARAMETER},
      {"2 bits", 1, 1, 2, BI_RGB, ERROR_INVALID_PARAMETER},
      {"run-length", 1, 1, 8, 1, ERROR_INVALID_PARAMETER},
      {"overflowing size", 0x7FFFFFFF, 0x7FFFFFFF, 32, BI_RGB, ERROR_NOT_ENOUGH_MEMORY},
      {"over the cap", 8192, -8193, 32, BI_RGB, ERROR_NOT_ENOUGH_MEMORY},
  };
  for (const auto& c : cases) {
    auto info = Info(c.Width, c.Height, c.Bits);
    info.Header.biCompression = c.Compression;
    void* bits = reinterpret_cast<void*>(1);
    SetLastError(0);
    EXPECT_EQ(CreateDIBSection(nullptr, AsInfo(info), DIB_RGB_COLORS, &bits, nullptr, 0), nullptr) << c.Name;
    EXPECT_EQ(GetLastError(), c.Error) << c.Name;
    EXPECT_EQ(bits, nullptr) << c.Name;
  }
  EXPECT_EQ(CreateDIBSection(nullptr, nullptr, DIB_RGB_COLORS, nullptr, nullptr, 0), nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(nullptr, 0, 5), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(TGdi, MisusedObjectsFailAndNothingCrashes)
{
  const HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  const HDC dc = CreateCompatibleDC(nullptr);
  const HBITMAP bitmap = CreateCompatibleBitmap(dc, 2, 2);
  const HGDIOBJ first = SelectObject(dc, bitmap);
  ASSERT_NE(first, nullptr);

  // A selected object stays until it is deselected.
  SetLastError(0);
  EXPECT_FALSE(DeleteObject(bitmap));
  EXPECT_EQ(GetLastError(), ERROR_BUSY);
  const HGDIOBJ stockBrush = SelectObject(dc, brush);
  EXPECT_FALSE(DeleteObject(brush));

  // A bitmap lives in one device context at a time.
  const HDC other = CreateCompatibleDC(dc);
  EXPECT_EQ(SelectObject(other, bitmap), nullptr);

  // Stock objects are never deleted.
  EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(GetObjectType(GetStockObject(BLACK_BRUSH)), OBJ_BRUSH);
  EXPECT_EQ(GetStockObject(99), nullptr);
  EXPECT_EQ(GetStockObject(-1), nullptr);

  // Deleted objects and foreign handles are refused everywhere.
  SelectObject(dc, stockBrush);
  EXPECT_TRUE(DeleteObject(brush));
  SetLastError(0);
  EXPECT_FALSE(DeleteObject(brush));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(SelectObject(dc, brush), nullptr);
  const RECT rect{0, 0, 1, 1};
  EXPECT_EQ(FillRect(dc, &rect, brush), 0);
  EXPECT_EQ(GetObjectType(brush), 0U);
  EXPECT_FALSE(DeleteObject(dc)) << "device contexts go with DeleteDC";
  EXPECT_EQ(ReleaseDC(nullptr, dc), 0) << "a memory device context is not a window's";
  EXPECT_EQ(FillRect(reinterpret_cast<HDC>(bitmap), &rect, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))),
            0);
  EXPECT_EQ(GetPixel(reinterpret_cast<HDC>(brush), 0, 0), CLR_INVALID);

  SelectObject(dc, first);
  EXPECT_NE(SelectObject(other, bitmap), nullptr) << "free again";
  SelectObject(other, first);
  EXPECT_TRUE(DeleteDC(other));
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_FALSE(DeleteDC(dc));
  EXPECT_TRUE(DeleteObject(bitmap));
}

TEST_F(TGdi, EightBitSectionsUseTheirPalette)
{
  PALETTEENTRY system[256];
  ASSERT_EQ(GetSystemPaletteEntries(nullptr, 0, 256, system), 256U);
  EXPECT_EQ(GetSystemPaletteEntries(nullptr, 250, 256, system), 6U);
  auto info = Info(4, 4, 8);
  for (int i = 0; i < 256; ++i) {
    info.Colors[i] = RGBQUAD{system[i].peBlue, system[i].peGreen, system[i].peRed, 0};
  }
  void* bits = nullptr;
  const TMemoryDc dc(CreateDIBSection(nullptr, AsInfo(info), DIB_RGB_COLORS, &bits, nullptr, 0));
  EXPECT_EQ(SetPixel(dc, 0, 0, RGB(255, 0, 0)), RGB(255, 0, 0)) << "pure red is in the colour cube";
  EXPECT_EQ(SetPixel(dc, 1, 0, RGB(250, 5, 5)), RGB(255, 0, 0)) << "the nearest entry";
  const std::uint8_t index = static_cast<std::uint8_t*>(bits)[3 * 4];  // bottom-up: row 0 is last
  EXPECT_EQ(index, 5 * 36);

  // A palette realised into the device context becomes the section's colour table.
  std::vector<std::uint8_t> storage(sizeof(LOGPALETTE) + 2 * sizeof(PALETTEENTRY));
  auto* logical = reinterpret_cast<LOGPALETTE*>(storage.data());
  logical->palVersion = 0x300;
  logical->palNumEntries = 2;
  logical->palPalEntry[0] = PALETTEENTRY{0, 0, 0, 0};
  std::memcpy(&logical->palPalEntry[1], &system[5], sizeof(PALETTEENTRY));  // blue
  const HPALETTE palette = CreatePalette(logical);
  ASSERT_NE(palette, nullptr);
  const HPALETTE old = SelectPalette(dc, palette, FALSE);
  EXPECT_EQ(RealizePalette(dc), 2U);
  RGBQUAD second{};
  EXPECT_EQ(GetDIBColorTable(dc, 1, 1, &second), 1U);
  EXPECT_EQ(second.rgbBlue, 255);
  EXPECT_FALSE(DeleteObject(palette)) << "selected";
  SelectPalette(dc, old, FALSE);
  EXPECT_TRUE(DeleteObject(palette));
  logical->palNumEntries = 0;
  EXPECT_EQ(CreatePalette(logical), nullptr);
}

TEST_F(TGdi, DeviceCapabilitiesAndObjects)
{
  const HDC screen = GetDC(nullptr);
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 32);
  EXPECT_EQ(GetDeviceCaps(screen, PLANES), 1);
  EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 800);
  EXPECT_EQ(GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE, 0);
  EXPECT_EQ(GetDeviceCaps(nullptr, BITSPIXEL), 0);
  const RECT rect{0, 0, 5, 5};
  EXPECT_EQ(FillRect(screen, &rect, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))), 1) << "draws nothing";
  EXPECT_EQ(ReleaseDC(nullptr, screen), 1);

  void* bits = nullptr;
  const auto info = Info(3, 2, 32);
  const HBITMAP section = CreateDIBSection(nullptr, AsInfo(info), DIB_RGB_COLORS, &bits, nullptr, 0);
  DIBSECTION described{};
  EXPECT_EQ(GetObjectA(section, sizeof(described), &described), static_cast<int>(sizeof(DIBSECTION)));
  EXPECT_EQ(described.dsBm.bmBits, bits);
  EXPECT_EQ(described.dsBm.bmWidthBytes, 12);
  EXPECT_EQ(described.dsBmih.biHeight, 2);
  BITMAP plain{};
  EXPECT_EQ(GetObjectA(section, sizeof(BITMAP), &plain), static_cast<int>(sizeof(BITMAP)));
  EXPECT_EQ(GetObjectA(section, sizeof(BITMAP) - 1, &plain), 0);
  EXPECT_EQ(GetObjectType(section), OBJ_BITMAP);
  DeleteObject(section);
}

TEST_F(TGdi, BitmapsLoadFromBmpFiles)
{
  const TTempFolder folder;
  DWORD ignored = 0;
  auto surface = TSurface::Create(3, 2, 24, true, ignored);
  surface->Set(2, 1, RGB(9, 8, 7));
  const auto bytes = SerializeBmp(*surface);
  const auto path = folder.Path() / "picture.bmp";
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  const auto bitmap =
      static_cast<HBITMAP>(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
  ASSERT_NE(bitmap, nullptr);
  {
    const TMemoryDc dc(bitmap);
    EXPECT_EQ(GetPixel(dc, 2, 1), RGB(9, 8, 7));
  }
  const auto damaged = folder.Path() / "damaged.bmp";
  std::ofstream(damaged, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), 30);
  struct TCase {
    std::string Name;
    UINT Flags;
    DWORD Error;
  };
  const TCase cases[] = {
      {(folder.Path() / "missing.bmp").string(), LR_LOADFROMFILE, ERROR_FILE_NOT_FOUND},
      {damaged.string(), LR_LOADFROMFILE, ERROR_INVALID_BITMAP},
      {"SKIN", 0, ERROR_RESOURCE_NAME_NOT_FOUND},
  };
  for (const auto& c : cases) {
    SetLastError(0);
    EXPECT_EQ(LoadImageA(nullptr, c.Name.c_str(), IMAGE_BITMAP, 0, 0, c.Flags), nullptr) << c.Name;
    EXPECT_EQ(GetLastError(), c.Error) << c.Name;
  }
}

TEST_F(TGdi, RectangleHelpers)
{
  RECT a{};
  SetRect(&a, 0, 0, 10, 10);
  RECT b{5, 5, 15, 15};
  RECT result{};
  EXPECT_TRUE(IntersectRect(&result, &a, &b));
  const RECT common{5, 5, 10, 10};
  EXPECT_TRUE(EqualRect(&result, &common));
  const RECT apart{20, 20, 30, 30};
  EXPECT_FALSE(IntersectRect(&result, &a, &apart));
  EXPECT_TRUE(IsRectEmpty(&result));
  EXPECT_TRUE(UnionRect(&result, &a, &b));
  EXPECT_EQ(result.right, 15);
  EXPECT_TRUE(PtInRect(&a, POINT{9, 9}));
  EXPECT_FALSE(PtInRect(&a, POINT{10, 9}));
  EXPECT_FALSE(PtInRect(&a, POINT{-1, 0}));
  OffsetRect(&a, 1, 2);
  InflateRect(&a, 1, 1);
  const RECT moved{0, 1, 12, 13};
  EXPECT_TRUE(EqualRect(&a, &moved));
}

}  // namespace
