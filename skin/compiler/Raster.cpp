#include "Raster.h"

#include <cairo.h>
#include <ft2build.h>
#include <librsvg/rsvg.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <memory>
#include <stdexcept>

namespace {

struct SurfaceDeleter {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
  void operator()(cairo_t* c) const { cairo_destroy(c); }
};
struct HandleDeleter {
  void operator()(RsvgHandle* h) const { g_object_unref(h); }
};

}  // namespace

namespace {

std::unique_ptr<cairo_surface_t, SurfaceDeleter> RenderSvgSurface(const std::string& svg, int width,
                                                                  int height)
{
  if (width <= 0 || height <= 0 || width > 4096 || height > 4096)
    throw std::runtime_error("bad size " + std::to_string(width) + " x " + std::to_string(height));
  GError* error = nullptr;
  std::unique_ptr<RsvgHandle, HandleDeleter> handle(
      rsvg_handle_new_from_data(reinterpret_cast<const guint8*>(svg.data()), gsize(svg.size()), &error));
  if (!handle) {
    std::string message = error != nullptr ? error->message : "unreadable SVG";
    if (error != nullptr)
      g_error_free(error);
    throw std::runtime_error(message);
  }
  std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface(
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
  std::unique_ptr<cairo_t, ContextDeleter> cr(cairo_create(surface.get()));
  const RsvgRectangle viewport{0, 0, double(width), double(height)};
  if (!rsvg_handle_render_document(handle.get(), cr.get(), &viewport, &error)) {
    std::string message = error != nullptr ? error->message : "SVG does not render";
    if (error != nullptr)
      g_error_free(error);
    throw std::runtime_error(message);
  }
  cairo_surface_flush(surface.get());
  return surface;
}

}  // namespace

TSkinImage RenderSvg(const std::string& svg, int width, int height)
{
  const auto surface = RenderSvgSurface(svg, width, height);
  TSkinImage image{width, height, std::vector<std::uint32_t>(std::size_t(width) * height)};
  const unsigned char* data = cairo_image_surface_get_data(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  for (int y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(data + std::size_t(y) * stride);
    for (int x = 0; x < width; ++x) {
      // Cairo keeps premultiplied colour; the skin stores it straight.
      const std::uint32_t p = row[x];
      const std::uint32_t a = p >> 24;
      std::uint32_t out = 0;
      if (a != 0) {
        auto un = [a](std::uint32_t c) { return std::min<std::uint32_t>(255, (c * 255 + a / 2) / a); };
        out = (a << 24) | (un((p >> 16) & 255) << 16) | (un((p >> 8) & 255) << 8) | un(p & 255);
      }
      image.Pixels[std::size_t(y) * width + x] = out;
    }
  }
  return image;
}

void WriteSvgPng(const std::string& svg, int width, int height, const std::string& path)
{
  const auto surface = RenderSvgSurface(svg, width, height);
  // Written beside and renamed, so an interrupted build leaves no short picture behind.
  const std::string temporary = path + ".tmp";
  if (cairo_surface_write_to_png(surface.get(), temporary.c_str()) != CAIRO_STATUS_SUCCESS) {
    std::remove(temporary.c_str());
    throw std::runtime_error("cannot write " + path);
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    throw std::runtime_error("cannot write " + path);
  }
}

TSkinFace::TSkinFace(const std::string& path, int pixelSize)
{
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0)
    throw std::runtime_error("FreeType does not start");
  FLibrary = library;
  FT_Face face = nullptr;
  if (FT_New_Face(library, path.c_str(), 0, &face) != 0) {
    FT_Done_FreeType(library);
    throw std::runtime_error("cannot open font " + path);
  }
  FFace = face;
  FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixelSize));
}

TSkinFace::~TSkinFace()
{
  FT_Done_Face(static_cast<FT_Face>(FFace));
  FT_Done_FreeType(static_cast<FT_Library>(FLibrary));
}

TSkinGlyph TSkinFace::Render(unsigned codePoint, int rows, int baseline) const
{
  auto* face = static_cast<FT_Face>(FFace);
  if (FT_Get_Char_Index(face, codePoint) == 0)
    throw std::runtime_error("font lacks character " + std::to_string(codePoint));
  if (FT_Load_Char(face, codePoint, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) != 0)
    throw std::runtime_error("cannot render character " + std::to_string(codePoint));
  const FT_GlyphSlot slot = face->glyph;
  const int advance = int((slot->advance.x + 32) >> 6);
  const int left = std::max(0, slot->bitmap_left);
  const int width = std::max({1, advance, left + int(slot->bitmap.width)});
  TSkinGlyph glyph{width, rows, std::vector<std::uint8_t>(std::size_t(width) * rows)};
  const int top = baseline - slot->bitmap_top;
  for (int y = 0; y < int(slot->bitmap.rows); ++y) {
    const int ty = top + y;
    if (ty < 0 || ty >= rows)
      continue;
    const unsigned char* src = slot->bitmap.buffer + std::ptrdiff_t(y) * slot->bitmap.pitch;
    for (int x = 0; x < int(slot->bitmap.width); ++x) {
      const int tx = left + x;
      if (tx < width)
        glyph.Coverage[std::size_t(ty) * width + tx] = src[x];
    }
  }
  return glyph;
}
