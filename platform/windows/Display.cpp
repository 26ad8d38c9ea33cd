#include "platform/windows/DisplayBackEnd.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/files/ReplaceFile.h"
#include "platform/windows/DisplayInfo.h"
#include "platform/windows/DisplayTesting.h"
#include "platform/windows/GdiObjects.h"
#include "platform/windows/Metrics.h"

namespace {

constexpr SIZE DefaultHeadlessScreen{800, 600};

struct TDisplayChoice {
  std::mutex Lock;
  std::unique_ptr<TDisplay> Current;
  TDisplayMaker MakeServer = nullptr;
};

TDisplayChoice& Choice()
{
  static TDisplayChoice choice;
  return choice;
}

// libpng's sink: the encoded bytes collect in memory, so the file is written in one piece.
void AppendPngBytes(png_structp png, png_bytep data, png_size_t length)
{
  auto* bytes = static_cast<std::string*>(png_get_io_ptr(png));
  bytes->append(reinterpret_cast<const char*>(data), length);
}

void FlushNothing(png_structp) {}

// Writes rows of 0x00RRGGBB as an 8-bit RGB PNG, through a temporary file renamed into place.
bool WritePng(const std::string& path, const std::vector<std::uint32_t>& pixels, SIZE size)
{
  if (size.cx <= 0 || size.cy <= 0) {
    return false;
  }
  std::string encoded;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  std::vector<png_byte> row(static_cast<std::size_t>(size.cx) * 3);
  // libpng reports failures by longjmp; nothing with a destructor is made between here and the
  // calls that may jump.
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, &encoded, AppendPngBytes, FlushNothing);
  png_set_IHDR(png, info, static_cast<png_uint_32>(size.cx), static_cast<png_uint_32>(size.cy), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (LONG y = 0; y < size.cy; ++y) {
    for (LONG x = 0; x < size.cx; ++x) {
      const std::uint32_t pixel = pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(size.cx) + x];
      row[static_cast<std::size_t>(x) * 3] = static_cast<png_byte>(pixel >> 16);
      row[static_cast<std::size_t>(x) * 3 + 1] = static_cast<png_byte>(pixel >> 8);
      row[static_cast<std::size_t>(x) * 3 + 2] = static_cast<png_byte>(pixel);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return ReplaceHostFile(path, encoded) == 0;
}

}  // namespace

std::unique_ptr<TSurface> TDisplay::CreateWindowSurface(LONG width, LONG height)
{
  DWORD ignored = 0;
  return TSurface::Create(width, height, 32, false, ignored);
}

std::unique_ptr<TSurface> CreateWindowSurface(LONG width, LONG height)
{
  return ActiveDisplay().CreateWindowSurface(width, height);
}

namespace {

bool HeadlessAskedFor()
{
  const char* choice = std::getenv("OXA_DISPLAY");
  return choice != nullptr && std::string_view(choice) == "headless";
}

bool DisplayNamed()
{
  const char* display = std::getenv("DISPLAY");
  return display != nullptr && *display != '\0';
}

}  // namespace

std::string MissingDisplay()
{
  return HeadlessAskedFor() || DisplayNamed() ? std::string() : std::string("DISPLAY is not set");
}

TDisplay& ActiveDisplay()
{
  TDisplayChoice& choice = Choice();
  const std::lock_guard guard(choice.Lock);
  if (!choice.Current) {
    if (!HeadlessAskedFor() && DisplayNamed() && choice.MakeServer != nullptr) {
      choice.Current = choice.MakeServer();
    }
    if (!choice.Current) {
      choice.Current = MakeHeadlessDisplay(DefaultHeadlessScreen);
    }
  }
  return *choice.Current;
}

TDisplay* OpenedDisplay()
{
  TDisplayChoice& choice = Choice();
  const std::lock_guard guard(choice.Lock);
  return choice.Current.get();
}

void SetServerDisplayMaker(TDisplayMaker make) noexcept
{
  TDisplayChoice& choice = Choice();
  const std::lock_guard guard(choice.Lock);
  choice.MakeServer = make;
}

void ReplaceDisplay(std::unique_ptr<TDisplay> display)
{
  TDisplayChoice& choice = Choice();
  const std::lock_guard guard(choice.Lock);
  std::swap(choice.Current, display);
}

void UseHeadlessDisplay(LONG width, LONG height)
{
  ReplaceDisplay(MakeHeadlessDisplay(SIZE{width, height}));
}

bool ReadScreen(std::vector<std::uint32_t>& pixels, SIZE& size)
{
  pixels = ActiveDisplay().ScreenImage(size);
  return size.cx > 0 && size.cy > 0;
}

TDisplayInfo DescribeDisplay()
{
  TDisplay& display = ActiveDisplay();
  TDisplayInfo info;
  info.BackEnd = display.Name();
  info.Available = display.Open();
  info.Screen = display.ScreenSize();
  info.Depth = display.Depth();
  info.SharedMemory = display.SharedMemory();
  return info;
}

const char* DisplayBackEndName()
{
  return ActiveDisplay().Name();
}

COLORREF ScreenPixel(LONG x, LONG y)
{
  return ActiveDisplay().ScreenPixel(x, y);
}

std::uint64_t DisplayPresentCount()
{
  return ActiveDisplay().PresentCount();
}

bool SaveScreenPng(const std::string& path)
{
  SIZE size{0, 0};
  const auto pixels = ActiveDisplay().ScreenImage(size);
  return WritePng(path, pixels, size);
}

bool SaveBitmapPng(HBITMAP bitmap, const std::string& path)
{
  std::vector<std::uint32_t> pixels;
  SIZE size{0, 0};
  {
    const auto lock = GdiLock();
    const auto* object = FindGdiObjectAs<TBitmapObject>(bitmap, OBJ_BITMAP);
    if (object == nullptr) {
      return false;
    }
    const TSurface& surface = *object->Surface;
    size = SIZE{surface.Width(), surface.Height()};
    for (LONG y = 0; y < size.cy; ++y) {
      for (LONG x = 0; x < size.cx; ++x) {
        const COLORREF color = surface.Get(x, y);
        pixels.push_back((static_cast<std::uint32_t>(GetRValue(color)) << 16) |
                         (static_cast<std::uint32_t>(GetGValue(color)) << 8) | GetBValue(color));
      }
    }
  }
  return WritePng(path, pixels, size);
}
