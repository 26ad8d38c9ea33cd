#include "platform/windows/CoverPicture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "tools/make-test-media/TestMedia.h"

namespace {

using testmedia::EncodePicture;
using testmedia::PictureColor;
using testmedia::TPictureFormat;
using testmedia::TPictureRecipe;

std::uint32_t PixelAt(const TCoverPixels& pixels, LONG x, LONG y)
{
  const std::uint8_t* p = pixels.Rgb.data() + (static_cast<std::size_t>(y) * pixels.Width + x) * 3;
  return (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
}

// Each channel within tolerance.
bool Near(std::uint32_t a, std::uint32_t b, int tolerance)
{
  for (int shift = 0; shift <= 16; shift += 8) {
    if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > tolerance) {
      return false;
    }
  }
  return true;
}

// Patches the width and height of a JPEG's first start-of-frame marker.
std::vector<std::uint8_t> WithJpegSize(std::vector<std::uint8_t> jpeg, std::uint16_t width,
                                       std::uint16_t height)
{
  for (std::size_t i = 2; i + 9 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
      jpeg[i + 5] = static_cast<std::uint8_t>(height >> 8);
      jpeg[i + 6] = static_cast<std::uint8_t>(height);
      jpeg[i + 7] = static_cast<std::uint8_t>(width >> 8);
      jpeg[i + 8] = static_cast<std::uint8_t>(width);
      return jpeg;
    }
  }
  ADD_FAILURE() << "no start of frame";
  return jpeg;
}

TEST(CoverPictureTest, FormatFromTheFirstBytes)
{
  const auto jpeg = EncodePicture({TPictureFormat::Jpeg, 8, 8, 1});
  const auto png = EncodePicture({TPictureFormat::Png, 8, 8, 1});
  EXPECT_EQ(CoverFormatOf(jpeg), TCoverFormat::Jpeg);
  EXPECT_EQ(CoverFormatOf(png), TCoverFormat::Png);
  EXPECT_EQ(CoverFormatOf(std::span(jpeg.data(), 2)), TCoverFormat::None);
  EXPECT_EQ(CoverFormatOf(std::span(png.data(), 7)), TCoverFormat::None);
  const std::vector<std::uint8_t> bmp = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(CoverFormatOf(bmp), TCoverFormat::None);
  TCoverPixels pixels;
  EXPECT_FALSE(DecodeCoverPicture(bmp, pixels));
  EXPECT_FALSE(DecodeCoverPicture({}, pixels));
}

TEST(CoverPictureTest, CapsOnSidesAndPixels)
{
  EXPECT_TRUE(CoverSizeAllowed(1, 1));
  EXPECT_FALSE(CoverSizeAllowed(0, 1));
  EXPECT_FALSE(CoverSizeAllowed(1, 0));
  EXPECT_TRUE(CoverSizeAllowed(MaxCoverSide, 1));
  EXPECT_FALSE(CoverSizeAllowed(MaxCoverSide + 1, 1));
  EXPECT_TRUE(CoverSizeAllowed(1, MaxCoverSide));
  EXPECT_FALSE(CoverSizeAllowed(1, MaxCoverSide + 1));
  EXPECT_TRUE(CoverSizeAllowed(4096, 4096));  // exactly MaxCoverPixels
  EXPECT_FALSE(CoverSizeAllowed(4096, 4097));
  EXPECT_FALSE(CoverSizeAllowed(0xFFFFFFFFULL, 0xFFFFFFFFULL));
}

TEST(CoverPictureTest, PngSidesAtTheCap)
{
  TCoverPixels pixels;
  EXPECT_TRUE(DecodeCoverPicture(EncodePicture({TPictureFormat::Png, MaxCoverSide, 2, 1}), pixels));
  EXPECT_EQ(pixels.Width, MaxCoverSide);
  EXPECT_FALSE(DecodeCoverPicture(EncodePicture({TPictureFormat::Png, MaxCoverSide + 1, 2, 1}), pixels));
  EXPECT_TRUE(pixels.Rgb.empty());
  EXPECT_FALSE(DecodeCoverPicture(EncodePicture({TPictureFormat::Png, 2, MaxCoverSide + 1, 1}), pixels));
}

// The header's size is refused before any pixel memory is taken: a 60000 x 60000 claim in a
// few hundred bytes costs nothing.
TEST(CoverPictureTest, JpegHeaderBeyondTheCapsIsRefused)
{
  const auto jpeg = EncodePicture({TPictureFormat::Jpeg, 16, 16, 2});
  TCoverPixels pixels;
  EXPECT_FALSE(DecodeCoverPicture(WithJpegSize(jpeg, MaxCoverSide + 1, 16), pixels));
  EXPECT_FALSE(DecodeCoverPicture(WithJpegSize(jpeg, 16, MaxCoverSide + 1), pixels));
  EXPECT_FALSE(DecodeCoverPicture(WithJpegSize(jpeg, 60000, 60000), pixels));
  EXPECT_FALSE(DecodeCoverPicture(WithJpegSize(jpeg, 4096, 4097), pixels));
  EXPECT_TRUE(pixels.Rgb.empty());
}

TEST(CoverPictureTest, DecodesEveryLayoutToRgb)
{
  const TPictureRecipe rgb{TPictureFormat::Png, 40, 30, 5};
  TCoverPixels pixels;
  ASSERT_TRUE(DecodeCoverPicture(EncodePicture(rgb), pixels));
  EXPECT_EQ(pixels.Width, 40);
  EXPECT_EQ(pixels.Height, 30);
  for (LONG y = 0; y < 30; y += 3) {
    for (LONG x = 0; x < 40; x += 3) {
      ASSERT_EQ(PixelAt(pixels, x, y), PictureColor(rgb, x, y)) << x << "," << y;
    }
  }

  const TPictureRecipe jpeg{TPictureFormat::Jpeg, 64, 48, 5};
  ASSERT_TRUE(DecodeCoverPicture(EncodePicture(jpeg), pixels));
  EXPECT_EQ(pixels.Width, 64);
  EXPECT_EQ(pixels.Height, 48);
  // Away from edges, where 4:2:0 and the DCT blur.
  EXPECT_TRUE(Near(PixelAt(pixels, 2, 2), PictureColor(jpeg, 2, 2), 24));
  EXPECT_TRUE(Near(PixelAt(pixels, 32, 20), PictureColor(jpeg, 32, 20), 24));
  EXPECT_TRUE(Near(PixelAt(pixels, 32, 39), 0x202020, 24));

  const TPictureRecipe alpha{TPictureFormat::PngWithAlpha, 16, 16, 6};
  ASSERT_TRUE(DecodeCoverPicture(EncodePicture(alpha), pixels));
  EXPECT_EQ(PixelAt(pixels, 0, 0), 0U);
  EXPECT_EQ(PixelAt(pixels, 15, 0), PictureColor(alpha, 15, 0));

  const TPictureRecipe grey{TPictureFormat::PngGrey, 16, 16, 7};
  ASSERT_TRUE(DecodeCoverPicture(EncodePicture(grey), pixels));
  const std::uint32_t corner = PixelAt(pixels, 0, 0);
  EXPECT_EQ(corner >> 16, corner & 0xFF);
  EXPECT_EQ((corner >> 8) & 0xFF, corner & 0xFF);
}

// A large JPEG is decoded at the smallest DCT reduction that still covers the box.
TEST(CoverPictureTest, JpegReducedNoFurtherThanTheBox)
{
  const auto jpeg = EncodePicture({TPictureFormat::Jpeg, 800, 400, 3});
  struct TCase {
    LONG Box;
    LONG Width;
  };
  // 800 x 400 fits a square box at Box x Box/2.
  for (const TCase& c : {TCase{0, 800}, TCase{100, 100}, TCase{101, 200}, TCase{200, 200}, TCase{201, 400},
                         TCase{400, 400}, TCase{401, 800}}) {
    TCoverPixels pixels;
    ASSERT_TRUE(DecodeCoverPicture(jpeg, pixels, c.Box, c.Box));
    EXPECT_EQ(pixels.Width, c.Width) << c.Box;
    EXPECT_EQ(pixels.Height, c.Width / 2) << c.Box;
  }
}

TEST(CoverPictureTest, DamagedPicturesGiveNothing)
{
  for (const auto format : {TPictureFormat::Jpeg, TPictureFormat::Png}) {
    const auto bytes = EncodePicture({format, 48, 48, 9});
    TCoverPixels pixels;
    // Cut anywhere: never a picture with invented rows.
    for (std::size_t size :
         {std::size_t{3}, std::size_t{8}, std::size_t{40}, bytes.size() / 2, bytes.size() - 3}) {
      EXPECT_FALSE(DecodeCoverPicture(std::span(bytes.data(), size), pixels)) << size;
      EXPECT_TRUE(pixels.Rgb.empty());
    }
    // Bytes overwritten anywhere: a picture or none, never a crash.
    for (std::size_t i = 0; i < bytes.size(); i += 5) {
      auto damaged = bytes;
      damaged[i] ^= 0x5A;
      if (DecodeCoverPicture(damaged, pixels)) {
        EXPECT_EQ(pixels.Rgb.size(), static_cast<std::size_t>(pixels.Width) * pixels.Height * 3);
      }
    }
  }
  const std::vector<std::uint8_t> signatureOnly = {0xFF, 0xD8, 0xFF, 0xE0, 0, 0};
  TCoverPixels pixels;
  EXPECT_FALSE(DecodeCoverPicture(signatureOnly, pixels));
}

TEST(CoverPictureTest, FitKeepsProportions)
{
  struct TCase {
    LONG Width, Height, BoxWidth, BoxHeight, FitWidth, FitHeight;
  };
  const TCase cases[] = {
      {500, 500, 96, 96, 96, 96},    {200, 100, 96, 96, 96, 48}, {100, 200, 96, 96, 48, 96},
      {30, 30, 96, 96, 96, 96},      {1000, 1, 96, 96, 96, 1},   {1, 1000, 96, 96, 1, 96},
      {300, 200, 60, 30, 45, 30},    {0, 10, 96, 96, 0, 0},      {10, 10, 0, 96, 0, 0},
      {101, 100, 100, 100, 100, 99},
  };
  for (const TCase& c : cases) {
    const SIZE fit = CoverFitSize(c.Width, c.Height, c.BoxWidth, c.BoxHeight);
    EXPECT_EQ(fit.cx, c.FitWidth) << c.Width << "x" << c.Height;
    EXPECT_EQ(fit.cy, c.FitHeight) << c.Width << "x" << c.Height;
  }
}

TEST(CoverPictureTest, ScaledIntoBottomUpBgrRows)
{
  // Left half red, right half blue, top row white.
  TCoverPixels pixels{10, 4, std::vector<std::uint8_t>(10 * 4 * 3)};
  for (LONG y = 0; y < 4; ++y) {
    for (LONG x = 0; x < 10; ++x) {
      std::uint8_t* p = pixels.Rgb.data() + (y * 10 + x) * 3;
      const std::uint32_t color = y == 0 ? 0xFFFFFF : x < 5 ? 0xFF0000 : 0x0000FF;
      p[0] = static_cast<std::uint8_t>(color >> 16);
      p[1] = static_cast<std::uint8_t>(color >> 8);
      p[2] = static_cast<std::uint8_t>(color);
    }
  }
  const auto surface = ScaleCoverPicture(pixels, 5, 5);
  ASSERT_NE(surface, nullptr);
  EXPECT_EQ(surface->Width(), 5);
  EXPECT_EQ(surface->Height(), 2);
  EXPECT_EQ(surface->BitsPerPixel(), 24);
  EXPECT_TRUE(surface->BottomUp());
  EXPECT_EQ(surface->Stride(), 16U);
  // The picture's bottom row is the first stored, as B, G, R.
  const std::uint8_t* stored = surface->Bits();
  EXPECT_EQ(stored[0], 0);
  EXPECT_EQ(stored[2], 255);
  EXPECT_EQ(stored[4 * 3], 255);
  EXPECT_EQ(stored[4 * 3 + 2], 0);
  // Each target pixel covers 2 x 2 source pixels: the top row blends white with the colour
  // below, the middle column red with blue.
  EXPECT_EQ(surface->Get(0, 0), RGB(255, 128, 128));
  EXPECT_EQ(surface->Get(2, 1), RGB(128, 0, 128));
  EXPECT_EQ(surface->Get(4, 1), RGB(0, 0, 255));

  EXPECT_EQ(ScaleCoverPicture(pixels, 0, 5), nullptr);
  EXPECT_EQ(ScaleCoverPicture(TCoverPixels{}, 5, 5), nullptr);
  EXPECT_EQ(ScaleCoverPicture(TCoverPixels{10, 4, {}}, 5, 5), nullptr);
}

TEST(CoverPictureTest, SmallPicturesScaleUp)
{
  const TPictureRecipe recipe{TPictureFormat::Png, 8, 8, 4};
  const auto surface = LoadCoverPicture(EncodePicture(recipe), 64, 64);
  ASSERT_NE(surface, nullptr);
  EXPECT_EQ(surface->Width(), 64);
  const std::uint32_t corner = PictureColor(recipe, 0, 0);
  EXPECT_EQ(surface->Get(0, 0),
            RGB(static_cast<BYTE>(corner >> 16), static_cast<BYTE>(corner >> 8), static_cast<BYTE>(corner)));
  EXPECT_EQ(LoadCoverPicture(EncodePicture(recipe), 0, 0), nullptr);
}

}  // namespace
