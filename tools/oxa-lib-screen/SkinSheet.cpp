#include "tools/oxa-lib-screen/SkinSheet.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "graphics/OxaBitmap.h"
#include "graphics/OxaGraphics.h"
#include "skin/OxaSkin.h"

namespace {

constexpr std::uint32_t kPaper = 0x282828;
constexpr std::uint32_t kRule = 0x505050;
constexpr int kSheetWidth = 1280;
constexpr int kGap = 8;
constexpr int kCaption = 14;

std::uint32_t Rgb(TOxaColor c)
{
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

class TCanvas {
 public:
  TSkinPicture Picture;

  void Grow(int height)
  {
    if (height > Picture.Height) {
      Picture.Rgb.resize(std::size_t(Picture.Width) * height, kPaper);
      Picture.Height = height;
    }
  }
  void Put(int x, int y, std::uint32_t rgb)
  {
    if (x >= 0 && x < Picture.Width && y >= 0 && y < Picture.Height)
      Picture.Rgb[std::size_t(y) * Picture.Width + x] = rgb;
  }
  void Draw(int x, int y, TOxaBitmap& image)
  {
    for (int row = 0; row < image.ImageHeight(); ++row)
      for (int col = 0; col < image.ImageWidth(); ++col)
        Put(x + col, y + row, Rgb(image.GetPixel(col, row)));
  }
};

// Labels are set in the skin's own normal glyph band, so the sheet needs no platform font.
class TLabeller {
 public:
  explicit TLabeller(const std::string& blob) { FStore.ReadData(blob); }
  TOxaBitmap* Glyph(char c) const
  {
    std::string name = "_SPACE";
    if (c >= 'A' && c <= 'Z')
      name = std::string("U") + c;
    else if (c >= 'a' && c <= 'z')
      name = std::string("U") + char(c - 32);
    else if (c >= '0' && c <= '9')
      name = std::string(1, c);
    else if (c == '-')
      name = "_MINUS";
    return FStore.Find(name);
  }
  int Width(const std::string& text) const
  {
    int w = 0;
    for (const char c : text)
      if (TOxaBitmap* g = Glyph(c))
        w += g->ImageWidth() + 1;
    return w;
  }
  void Draw(TCanvas& canvas, int x, int y, const std::string& text) const
  {
    TOxaBitmap* space = FStore.Find("_SPACE");
    const TOxaColor key = space != nullptr ? space->GetPixel(0, 2) : 0;
    for (const char c : text) {
      TOxaBitmap* g = Glyph(c);
      if (g == nullptr)
        continue;
      for (int row = 2; row < 14; ++row)
        for (int col = 0; col < g->ImageWidth(); ++col)
          if (const TOxaColor p = g->GetPixel(col, row); p != key)
            canvas.Put(x + col, y + row - 2, Rgb(p));
      x += g->ImageWidth() + 1;
    }
  }

 private:
  mutable TOxaBitmaps FStore{nullptr};
};

}  // namespace

TSkinPicture SkinImagePicture(TOxaBitmap& image)
{
  TCanvas canvas;
  canvas.Picture.Width = image.ImageWidth();
  canvas.Grow(image.ImageHeight());
  canvas.Draw(0, 0, image);
  return canvas.Picture;
}

TSkinPicture SkinSheet()
{
  const TLabeller labels(OxaSkinStore("Frutiger12B").value_or(std::string()));
  TCanvas canvas;
  canvas.Picture.Width = kSheetWidth;
  int y = kGap;
  for (const std::string& storeName : OxaSkinStoreNames()) {
    TOxaBitmaps store(nullptr);
    store.ReadData(*OxaSkinStore(storeName));
    canvas.Grow(y + kCaption + kGap);
    labels.Draw(canvas, kGap, y, storeName);
    y += kCaption;
    for (int x = 0; x < kSheetWidth; ++x)
      canvas.Put(x, y, kRule);
    y += kGap;
    int x = kGap;
    int rowHeight = 0;
    for (int i = 0; i < store.Count(); ++i) {
      TOxaBitmap* image = store.Bitmaps(i);
      const std::string& name = store.Names(i);
      const int w = std::max(image->ImageWidth(), labels.Width(name));
      const int h = image->ImageHeight() + kCaption;
      if (x + w > kSheetWidth - kGap && x > kGap) {
        x = kGap;
        y += rowHeight + kGap;
        rowHeight = 0;
      }
      canvas.Grow(y + h + kGap);
      canvas.Draw(x, y, *image);
      labels.Draw(canvas, x, y + image->ImageHeight() + 2, name);
      x += w + kGap;
      rowHeight = std::max(rowHeight, h);
    }
    y += rowHeight + 2 * kGap;
  }
  canvas.Grow(y);
  return canvas.Picture;
}

TSkinPicture SkinCursorSheet()
{
  const TLabeller labels(OxaSkinStore("Frutiger12B").value_or(std::string()));
  const auto cursors = OxaSkinCursors();
  TCanvas canvas;
  canvas.Picture.Width = 0;
  for (const TOxaSkinCursor& c : cursors)
    canvas.Picture.Width =
        std::max(canvas.Picture.Width, labels.Width(c.Name) + 2 * kGap + 2 * c.Width + kGap);
  int y = kGap;
  for (const TOxaSkinCursor& c : cursors) {
    canvas.Grow(y + c.Height + kGap);
    // On a light and a dark ground, the hotspot marked in the accent.
    const std::uint32_t grounds[2] = {0xD0D0D0, 0x000000};
    for (int g = 0; g < 2; ++g) {
      const int x0 = kGap + g * (c.Width + kGap);
      for (int row = 0; row < c.Height; ++row)
        for (int col = 0; col < c.Width; ++col) {
          const std::uint32_t p = c.Argb[std::size_t(row) * c.Width + col];
          const std::uint32_t a = p >> 24;
          std::uint32_t out = 0;
          for (int shift = 0; shift <= 16; shift += 8)
            out |= ((((p >> shift) & 255) * a + ((grounds[g] >> shift) & 255) * (255 - a) + 127) / 255)
                   << shift;
          canvas.Put(x0 + col, y + row, out);
        }
      canvas.Put(x0 + c.HotspotX, y + c.HotspotY, 0xFF3200);
    }
    labels.Draw(canvas, 3 * kGap + 2 * c.Width, y + (c.Height - 12) / 2, c.Name);
    y += c.Height + kGap;
  }
  canvas.Grow(y);
  return canvas.Picture;
}

namespace {

struct TFileCloser {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

bool WriteRows(std::FILE* file, const TSkinPicture& picture)
{
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  std::vector<png_byte> row(std::size_t(picture.Width) * 3);
  // libpng reports failures by longjmp; nothing with a destructor is made past this point.
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, png_uint_32(picture.Width), png_uint_32(picture.Height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < picture.Height; ++y) {
    for (int x = 0; x < picture.Width; ++x) {
      const std::uint32_t p = picture.Rgb[std::size_t(y) * picture.Width + x];
      row[std::size_t(x) * 3] = png_byte(p >> 16);
      row[std::size_t(x) * 3 + 1] = png_byte(p >> 8);
      row[std::size_t(x) * 3 + 2] = png_byte(p);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool WriteSkinPng(const std::string& path, const TSkinPicture& picture)
{
  if (picture.Width <= 0 || picture.Height <= 0)
    return false;
  const std::string temporary = path + ".tmp";
  {
    std::unique_ptr<std::FILE, TFileCloser> file(std::fopen(temporary.c_str(), "wb"));
    if (!file || !WriteRows(file.get(), picture)) {
      std::remove(temporary.c_str());
      return false;
    }
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  return !error;
}
