#include "platform/windows/CoverPicture.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

// jpeglib.h needs size_t and FILE declared before it.
#include <jerror.h>
#include <jpeglib.h>
#include <png.h>

namespace {

// What libjpeg may take for its own tables and buffers; a progressive picture keeps every
// coefficient of the image, and one that needs more is refused rather than spilled to disk.
constexpr long MaxJpegWorkMemory = 128L << 20;
// The most one PNG chunk (text, profile) may allocate.
constexpr png_alloc_size_t MaxPngChunkBytes = 8U << 20;

// --- JPEG ---

struct TJpegError {
  jpeg_error_mgr Manager;
  std::jmp_buf Jump;
  bool Truncated;
};

[[noreturn]] void JpegFail(j_common_ptr info)
{
  std::longjmp(reinterpret_cast<TJpegError*>(info->err)->Jump, 1);
}

// Warnings are not printed; only running out of data matters (libjpeg pads the missing rows with
// grey and calls the picture whole).
void JpegMessage(j_common_ptr info, int level)
{
  if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) {
    reinterpret_cast<TJpegError*>(info->err)->Truncated = true;
  }
}

// The largest DCT reduction (8, 4, 2 or 1) that still leaves at least the size the picture takes
// in the box.
unsigned JpegReduction(LONG width, LONG height, LONG boxWidth, LONG boxHeight) noexcept
{
  if (boxWidth <= 0 || boxHeight <= 0) {
    return 1;
  }
  const SIZE fit = CoverFitSize(width, height, boxWidth, boxHeight);
  for (unsigned reduction = 8; reduction > 1; reduction /= 2) {
    const auto reducedWidth = static_cast<LONG>((width + reduction - 1) / reduction);
    const auto reducedHeight = static_cast<LONG>((height + reduction - 1) / reduction);
    if (reducedWidth >= fit.cx && reducedHeight >= fit.cy) {
      return reduction;
    }
  }
  return 1;
}

// Adobe writes CMYK inverted, which is what nearly every CMYK JPEG in the wild is.
void CmykToRgb(const std::uint8_t* cmyk, std::uint8_t* rgb, std::size_t count, bool inverted) noexcept
{
  for (std::size_t i = 0; i < count; ++i, cmyk += 4, rgb += 3) {
    const unsigned k = inverted ? cmyk[3] : 255U - cmyk[3];
    for (int c = 0; c < 3; ++c) {
      const unsigned ink = inverted ? cmyk[c] : 255U - cmyk[c];
      rgb[c] = static_cast<std::uint8_t>((ink * k + 127) / 255);
    }
  }
}

bool DecodeJpeg(std::span<const std::uint8_t> bytes, TCoverPixels& pixels, LONG boxWidth, LONG boxHeight)
{
  jpeg_decompress_struct info{};
  TJpegError error{};
  std::vector<std::uint8_t> cmykRow;
  info.err = jpeg_std_error(&error.Manager);
  error.Manager.error_exit = JpegFail;
  error.Manager.emit_message = JpegMessage;
  // libjpeg reports failures by longjmp; everything with a destructor lives outside this frame
  // or was made before this point.
  if (setjmp(error.Jump) != 0) {
    jpeg_destroy_decompress(&info);
    pixels = {};
    return false;
  }
  jpeg_create_decompress(&info);
  info.mem->max_memory_to_use = MaxJpegWorkMemory;
  jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK ||
      !CoverSizeAllowed(info.image_width, info.image_height)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
  info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  info.scale_num = 1;
  info.scale_denom = JpegReduction(static_cast<LONG>(info.image_width), static_cast<LONG>(info.image_height),
                                   boxWidth, boxHeight);
  jpeg_calc_output_dimensions(&info);
  const auto width = static_cast<std::size_t>(info.output_width);
  const auto height = static_cast<std::size_t>(info.output_height);
  try {
    pixels.Rgb.resize(width * height * 3);
    cmykRow.resize(cmyk ? width * 4 : 0);
  } catch (const std::bad_alloc&) {
    jpeg_destroy_decompress(&info);
    pixels = {};
    return false;
  }
  jpeg_start_decompress(&info);
  while (info.output_scanline < info.output_height) {
    std::uint8_t* target = pixels.Rgb.data() + width * 3 * info.output_scanline;
    JSAMPROW row = cmyk ? cmykRow.data() : target;
    if (jpeg_read_scanlines(&info, &row, 1) != 1) {
      break;
    }
    if (cmyk) {
      CmykToRgb(cmykRow.data(), target, width, info.saw_Adobe_marker != 0);
    }
  }
  const bool whole = info.output_scanline == info.output_height;
  if (whole) {
    jpeg_finish_decompress(&info);
  }
  jpeg_destroy_decompress(&info);
  if (!whole || error.Truncated) {
    pixels = {};
    return false;
  }
  pixels.Width = static_cast<LONG>(width);
  pixels.Height = static_cast<LONG>(height);
  return true;
}

// --- PNG ---

struct TPngSource {
  std::span<const std::uint8_t> Bytes;
  std::size_t Position = 0;
};

void PngRead(png_structp png, png_bytep out, png_size_t count)
{
  auto* source = static_cast<TPngSource*>(png_get_io_ptr(png));
  if (count > source->Bytes.size() - source->Position) {
    png_error(png, "truncated");
  }
  std::memcpy(out, source->Bytes.data() + source->Position, count);
  source->Position += count;
}

[[noreturn]] void PngFail(png_structp png, png_const_charp /*message*/)
{
  png_longjmp(png, 1);
}

void PngWarning(png_structp /*png*/, png_const_charp /*message*/) {}

bool DecodePng(std::span<const std::uint8_t> bytes, TCoverPixels& pixels)
{
  TPngSource source{bytes};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngFail, PngWarning);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  std::vector<std::uint8_t> rgba;
  std::vector<png_bytep> rows;
  // libpng reports failures by longjmp: as for JPEG, nothing with a destructor is made below.
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_read_struct(&png, &info, nullptr);
    pixels = {};
    return false;
  }
  png_set_read_fn(png, &source, PngRead);
  png_set_user_limits(png, MaxCoverSide, MaxCoverSide);
  png_set_chunk_malloc_max(png, MaxPngChunkBytes);
  png_read_info(png, info);
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  if (!CoverSizeAllowed(width, height)) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  // Every layout becomes 8-bit R, G, B, A.
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != std::size_t{width} * 4) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  try {
    rgba.resize(std::size_t{width} * height * 4);
    rows.resize(height);
    pixels.Rgb.resize(std::size_t{width} * height * 3);
  } catch (const std::bad_alloc&) {
    png_destroy_read_struct(&png, &info, nullptr);
    pixels = {};
    return false;
  }
  for (png_uint_32 y = 0; y < height; ++y) {
    rows[y] = rgba.data() + std::size_t{width} * 4 * y;
  }
  png_read_image(png, rows.data());
  // Up to the end chunk: a file cut after its last pixel row is cut all the same.
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  // Transparent parts show the dark panel behind them: black.
  const std::size_t count = std::size_t{width} * height;
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned alpha = rgba[i * 4 + 3];
    for (int c = 0; c < 3; ++c) {
      pixels.Rgb[i * 3 + c] = static_cast<std::uint8_t>((rgba[i * 4 + c] * alpha + 127) / 255);
    }
  }
  pixels.Width = static_cast<LONG>(width);
  pixels.Height = static_cast<LONG>(height);
  return true;
}

// --- Scaling ---

// The source pixels one target pixel covers along an axis, with the share each has of it.
struct TAreaTap {
  LONG First = 0;
  std::vector<float> Weights;
};

std::vector<TAreaTap> AreaTaps(LONG sourceSize, LONG targetSize)
{
  std::vector<TAreaTap> taps(static_cast<std::size_t>(targetSize));
  const double scale = static_cast<double>(sourceSize) / targetSize;
  for (LONG t = 0; t < targetSize; ++t) {
    const double begin = t * scale;
    const double end = std::min<double>((t + 1) * scale, sourceSize);
    const auto first = static_cast<LONG>(std::floor(begin));
    const auto last = std::min(static_cast<LONG>(std::ceil(end)) - 1, sourceSize - 1);
    TAreaTap& tap = taps[static_cast<std::size_t>(t)];
    tap.First = first;
    double total = 0;
    for (LONG s = first; s <= last; ++s) {
      const double overlap = std::min<double>(end, s + 1) - std::max<double>(begin, s);
      tap.Weights.push_back(static_cast<float>(std::max(overlap, 0.0)));
      total += std::max(overlap, 0.0);
    }
    for (float& weight : tap.Weights) {
      weight = total > 0 ? static_cast<float>(weight / total) : 0.0F;
    }
  }
  return taps;
}

std::uint8_t ToChannel(float value) noexcept
{
  return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

}  // namespace

TCoverFormat CoverFormatOf(std::span<const std::uint8_t> bytes) noexcept
{
  static constexpr std::uint8_t PngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) {
    return TCoverFormat::Jpeg;
  }
  if (bytes.size() >= sizeof PngSignature && std::equal(PngSignature, PngSignature + 8, bytes.begin())) {
    return TCoverFormat::Png;
  }
  return TCoverFormat::None;
}

bool CoverSizeAllowed(std::uint64_t width, std::uint64_t height) noexcept
{
  return width > 0 && height > 0 && width <= MaxCoverSide && height <= MaxCoverSide &&
         width * height <= MaxCoverPixels;
}

bool DecodeCoverPicture(std::span<const std::uint8_t> bytes, TCoverPixels& pixels, LONG minWidth,
                        LONG minHeight)
{
  pixels = {};
  switch (CoverFormatOf(bytes)) {
    case TCoverFormat::Jpeg:
      return DecodeJpeg(bytes, pixels, minWidth, minHeight);
    case TCoverFormat::Png:
      return DecodePng(bytes, pixels);
    case TCoverFormat::None:
      break;
  }
  return false;
}

SIZE CoverFitSize(LONG width, LONG height, LONG boxWidth, LONG boxHeight) noexcept
{
  if (width <= 0 || height <= 0 || boxWidth <= 0 || boxHeight <= 0) {
    return SIZE{0, 0};
  }
  // Whichever side meets the box first decides; the other is rounded to the nearest pixel.
  if (static_cast<std::int64_t>(width) * boxHeight >= static_cast<std::int64_t>(height) * boxWidth) {
    const auto fitHeight = (static_cast<std::int64_t>(height) * boxWidth * 2 + width) / (width * 2);
    return SIZE{boxWidth, static_cast<LONG>(std::max<std::int64_t>(fitHeight, 1))};
  }
  const auto fitWidth = (static_cast<std::int64_t>(width) * boxHeight * 2 + height) / (height * 2);
  return SIZE{static_cast<LONG>(std::max<std::int64_t>(fitWidth, 1)), boxHeight};
}

std::unique_ptr<TSurface> ScaleCoverPicture(const TCoverPixels& pixels, LONG boxWidth, LONG boxHeight)
{
  const SIZE size = CoverFitSize(pixels.Width, pixels.Height, boxWidth, boxHeight);
  if (size.cx == 0 || pixels.Rgb.size() != static_cast<std::size_t>(pixels.Width) *
                                               static_cast<std::size_t>(pixels.Height) * 3) {
    return nullptr;
  }
  DWORD error = 0;
  auto surface = TSurface::Create(size.cx, size.cy, 24, true, error);
  if (!surface) {
    return nullptr;
  }
  const std::vector<TAreaTap> columns = AreaTaps(pixels.Width, size.cx);
  const std::vector<TAreaTap> rows = AreaTaps(pixels.Height, size.cy);
  const auto sourceStride = static_cast<std::size_t>(pixels.Width) * 3;
  // One target row at a time: the source rows it covers are averaged into one row, which is then
  // averaged across.
  std::vector<float> blended(sourceStride);
  for (LONG y = 0; y < size.cy; ++y) {
    std::fill(blended.begin(), blended.end(), 0.0F);
    const TAreaTap& rowTap = rows[static_cast<std::size_t>(y)];
    for (std::size_t i = 0; i < rowTap.Weights.size(); ++i) {
      const std::uint8_t* source =
          pixels.Rgb.data() + sourceStride * static_cast<std::size_t>(rowTap.First + static_cast<LONG>(i));
      const float weight = rowTap.Weights[i];
      for (std::size_t x = 0; x < sourceStride; ++x) {
        blended[x] += weight * static_cast<float>(source[x]);
      }
    }
    std::uint8_t* target = surface->Row(y);
    for (LONG x = 0; x < size.cx; ++x) {
      const TAreaTap& columnTap = columns[static_cast<std::size_t>(x)];
      float rgb[3] = {0, 0, 0};
      for (std::size_t i = 0; i < columnTap.Weights.size(); ++i) {
        const float* source =
            blended.data() + static_cast<std::size_t>(columnTap.First + static_cast<LONG>(i)) * 3;
        for (int c = 0; c < 3; ++c) {
          rgb[c] += columnTap.Weights[i] * source[c];
        }
      }
      std::uint8_t* pixel = target + static_cast<std::size_t>(x) * 3;
      pixel[0] = ToChannel(rgb[2]);
      pixel[1] = ToChannel(rgb[1]);
      pixel[2] = ToChannel(rgb[0]);
    }
  }
  return surface;
}

std::unique_ptr<TSurface> LoadCoverPicture(std::span<const std::uint8_t> bytes, LONG boxWidth, LONG boxHeight)
{
  TCoverPixels pixels;
  if (boxWidth <= 0 || boxHeight <= 0 || !DecodeCoverPicture(bytes, pixels, boxWidth, boxHeight)) {
    return nullptr;
  }
  return ScaleCoverPicture(pixels, boxWidth, boxHeight);
}
