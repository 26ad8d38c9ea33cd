#include <gtest/gtest.h>

#include "forms/Bitmap.h"
#include "platform/windows/DisplayTesting.h"

namespace {

class TBitmapTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { UseHeadlessDisplay(); }
};

TEST_F(TBitmapTest, ScanLinesOnlyInsideASectionsRows)
{
  struct {
    TPixelFormat Format;
    int Width, Height, Row;
    bool Valid;
  } const cases[] = {
      {pf24bit, 3, 4, 0, true},   {pf24bit, 3, 4, 3, true},  {pf24bit, 3, 4, 4, false},
      {pf24bit, 3, 4, -1, false}, {pf24bit, 0, 4, 0, false}, {pf24bit, 3, 0, 0, false},
      {pfDevice, 3, 4, 0, false}, {pf1bit, 9, 1, 0, true},   {pf32bit, 1, 1, 0, true},
  };
  for (const auto& c : cases) {
    TBitmap bitmap;
    bitmap.SetPixelFormat(c.Format);
    bitmap.SetWidth(c.Width);
    bitmap.SetHeight(c.Height);
    if (c.Valid) {
      EXPECT_NE(bitmap.ScanLine(c.Row), nullptr);
    } else {
      EXPECT_THROW(bitmap.ScanLine(c.Row), EInvalidGraphicOperation)
          << c.Format << " " << c.Width << "x" << c.Height << " row " << c.Row;
    }
  }
}

TEST_F(TBitmapTest, RowsAreBottomUpAndSurviveResizing)
{
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetWidth(5);
  bitmap.SetHeight(3);
  EXPECT_EQ(bitmap.ScanLine(0) - bitmap.ScanLine(1), 16);
  bitmap.ScanLine(0)[0] = 0x11;
  bitmap.ScanLine(2)[14] = 0x22;
  bitmap.SetHeight(4);
  EXPECT_EQ(bitmap.ScanLine(0)[0], 0x11);
  EXPECT_EQ(bitmap.ScanLine(2)[14], 0x22);
  EXPECT_EQ(bitmap.ScanLine(3)[0], 0);
  bitmap.SetWidth(1);
  EXPECT_EQ(bitmap.ScanLine(0)[0], 0x11);
  bitmap.SetHeight(0);
  EXPECT_EQ(bitmap.Handle(), nullptr);
}

}  // namespace
