#include "tests/support/ScreenShots.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "platform/display/Display.h"
#include "platform/windows/DisplayTesting.h"
#include "tests/support/TempFolder.h"
#include "tests/support/XvfbServer.h"

namespace {

struct TFileCloser {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using TFile = std::unique_ptr<std::FILE, TFileCloser>;

std::filesystem::path OutputFolder()
{
  const char* binary = std::getenv("OXA_BINARY_DIR");
  std::filesystem::path folder = binary != nullptr ? std::filesystem::path(binary) / "screens"
                                                   : std::filesystem::current_path() / "screens";
  std::filesystem::create_directories(folder);
  return folder;
}

}  // namespace

bool ReadPngPicture(const std::string& path, TScreenPicture& picture)
{
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
    return false;
  }
  image.format = PNG_FORMAT_RGB;
  std::vector<png_byte> bytes(PNG_IMAGE_SIZE(image));
  if (png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr) == 0) {
    png_image_free(&image);
    return false;
  }
  picture.Width = int(image.width);
  picture.Height = int(image.height);
  picture.Pixels.resize(std::size_t(picture.Width) * std::size_t(picture.Height));
  for (std::size_t i = 0; i < picture.Pixels.size(); ++i) {
    picture.Pixels[i] = std::uint32_t(bytes[i * 3]) << 16 | std::uint32_t(bytes[i * 3 + 1]) << 8 |
                        std::uint32_t(bytes[i * 3 + 2]);
  }
  return true;
}

bool WritePngPicture(const std::string& path, const TScreenPicture& picture)
{
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = png_uint_32(picture.Width);
  image.height = png_uint_32(picture.Height);
  image.format = PNG_FORMAT_RGB;
  std::vector<png_byte> bytes(picture.Pixels.size() * 3);
  for (std::size_t i = 0; i < picture.Pixels.size(); ++i) {
    bytes[i * 3] = png_byte(picture.Pixels[i] >> 16);
    bytes[i * 3 + 1] = png_byte(picture.Pixels[i] >> 8);
    bytes[i * 3 + 2] = png_byte(picture.Pixels[i]);
  }
  const std::string temporary = path + ".tmp";
  if (png_image_write_to_file(&image, temporary.c_str(), 0, bytes.data(), 0, nullptr) == 0) {
    return false;
  }
  return std::rename(temporary.c_str(), path.c_str()) == 0;
}

testing::AssertionResult MatchesScreen(const std::string& name, const TScreenPicture& picture)
{
  const std::filesystem::path reference = SourceFolder() / "tests" / "data" / "screens" / (name + ".png");
  const char* rewrite = std::getenv("OXA_REWRITE_SCREENS");
  if (rewrite != nullptr && std::string(rewrite) == "1") {
    if (!WritePngPicture(reference.string(), picture)) {
      return testing::AssertionFailure() << "cannot write " << reference;
    }
    return testing::AssertionSuccess();
  }
  TScreenPicture expected;
  const bool read = ReadPngPicture(reference.string(), expected);
  int differing = 0;
  TScreenPicture diff = picture;
  if (read && expected.Width == picture.Width && expected.Height == picture.Height) {
    for (std::size_t i = 0; i < picture.Pixels.size(); ++i) {
      if (picture.Pixels[i] != expected.Pixels[i]) {
        ++differing;
        diff.Pixels[i] = 0xFF0000;
      } else {
        diff.Pixels[i] = (picture.Pixels[i] >> 2) & 0x3F3F3F;
      }
    }
    if (differing == 0) {
      return testing::AssertionSuccess();
    }
  }
  const std::filesystem::path out = OutputFolder();
  WritePngPicture((out / (name + ".actual.png")).string(), picture);
  if (differing > 0) {
    WritePngPicture((out / (name + ".diff.png")).string(), diff);
  }
  auto failure = testing::AssertionFailure();
  if (!read) {
    failure << "no reference " << reference;
  } else if (differing == 0) {
    failure << "size " << picture.Width << "x" << picture.Height << " against the reference's "
            << expected.Width << "x" << expected.Height;
  } else {
    failure << differing << " pixels differ from " << reference << "; see " << (out / (name + ".diff.png"));
  }
  return failure << " (the picture taken: " << (out / (name + ".actual.png")) << ")";
}

std::unique_ptr<TXvfbServer> UseScreenshotDisplay()
{
  const char* x11 = std::getenv("OXA_SCREENS_X11");
  if (x11 != nullptr && std::string(x11) == "1") {
    auto server = std::make_unique<TXvfbServer>("800x600x24");
    UseX11Display();
    return server;
  }
  UseHeadlessDisplay();
  return nullptr;
}
