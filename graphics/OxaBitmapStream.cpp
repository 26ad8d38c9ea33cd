// The node image record: a 29-byte header (magic, node rectangle, surface size, pixel format),
// then the pixel rows bottom-up, each padded to a multiple of 4 bytes.
#include <cstring>
#include <vector>

#include "graphics/OxaBitmap.h"
#include "platform/files/Files.h"
#include "rtl/FileStream.h"

namespace {

std::int32_t ReadInt(const std::uint8_t* p) noexcept
{
  return std::int32_t(std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
                      std::uint32_t(p[3]) << 24);
}

void WriteInt(std::uint8_t* p, std::uint32_t value) noexcept
{
  p[0] = std::uint8_t(value);
  p[1] = std::uint8_t(value >> 8);
  p[2] = std::uint8_t(value >> 16);
  p[3] = std::uint8_t(value >> 24);
}

}  // namespace

std::int64_t OxaImageRecordSize(const std::uint8_t* header, std::int64_t available) noexcept
{
  if (available < kOxaImageHeaderSize || std::uint32_t(ReadInt(header)) != kOxaImageMagic) {
    return -1;
  }
  const std::int32_t imageWidth = ReadInt(header + 20);
  const std::int32_t imageHeight = ReadInt(header + 24);
  // Only formats whose pixels are whole bytes can be stored; the size is checked against the
  // bytes there are before anything is allocated.
  const int bytesPerPixel = OxaNodeBytesPerPixel(header[28]);
  if (bytesPerPixel <= 0 || imageWidth < 0 || imageHeight < 0 || imageWidth > kOxaMaxImageSide ||
      imageHeight > kOxaMaxImageSide) {
    return -1;
  }
  const std::int64_t pixelBytes = std::int64_t(imageHeight) * OxaStride(imageWidth, bytesPerPixel);
  if (pixelBytes > available - kOxaImageHeaderSize) {
    return -1;
  }
  return kOxaImageHeaderSize + pixelBytes;
}

void TOxaBitmap::LoadFromStream(TStream& stream)
{
  std::uint8_t header[kOxaImageHeaderSize];
  const std::int64_t start = stream.Position();
  const std::int64_t available = stream.Size() - start;
  if (available < kOxaImageHeaderSize) {
    Fatal("LoadFromStream: Invalid graphic format");
  }
  stream.ReadBuffer(header, kOxaImageHeaderSize);
  // The one check of a record: stores that defer loading their images accept exactly what
  // this accepts.
  if (OxaImageRecordSize(header, available) < 0) {
    stream.SetPosition(start);
    Fatal("LoadFromStream: Invalid graphic format");
  }
  const std::int32_t left = ReadInt(header + 4);
  const std::int32_t top = ReadInt(header + 8);
  const std::int32_t width = ReadInt(header + 12);
  const std::int32_t height = ReadInt(header + 16);
  const std::int32_t imageWidth = ReadInt(header + 20);
  const std::int32_t imageHeight = ReadInt(header + 24);
  const int format = header[28];
  const std::int32_t stride = OxaStride(imageWidth, OxaNodeBytesPerPixel(format));
  const std::int64_t pixelBytes = std::int64_t(imageHeight) * stride;
  // The bytes are there (checked above), so the rows are read straight into the surface: skin
  // stores hold hundreds of images and a staging copy of each doubled the work of loading them.
  FSizeMode = 0;
  ChangeImageSize(imageWidth, imageHeight, format);
  // A surface 0 pixels wide has rows of no bytes, and no memory to write them to.
  if (imageHeight > 0 && stride > 0) {
    // Stored bottom row first: the surface's own order when its rows lie bottom-up in one block.
    std::uint8_t* lowest = ScanLine(imageHeight - 1);
    std::uint8_t* highest = ScanLine(0);
    if (lowest != nullptr && highest != nullptr &&
        highest - lowest == std::ptrdiff_t(imageHeight - 1) * stride) {
      stream.ReadBuffer(lowest, pixelBytes);
    } else {
      for (int y = 0; y < imageHeight; ++y) {
        std::uint8_t* row = ScanLine(imageHeight - 1 - y);
        if (row == nullptr) {
          stream.Seek(std::int64_t(imageHeight - y) * stride, TSeekOrigin::soCurrent);
          break;
        }
        stream.ReadBuffer(row, stride);
      }
    }
  }
  SetBounds(left, top, width, height);
  ContentChanged();
}

void TOxaBitmap::SaveToStream(TStream& stream)
{
  TOxaBitmap* source = this;
  TOwnedObject<TOxaBitmap> converted;
  if (FPixelFormat == opfDevice) {
    int screen = OxaScreenPixelFormat();
    if (OxaNodeBytesPerPixel(screen) <= 0) {
      screen = opf24Bit;
    }
    converted.reset(new TOxaBitmap(nullptr));
    converted->ChangeImageSize(FDesc.Width, FDesc.Height, screen);
    if (FDesc.Width > 0 && FDesc.Height > 0) {
      ::BitBlt(converted->Canvas(), 0, 0, FDesc.Width, FDesc.Height, Canvas(), 0, 0, SRCCOPY);
    }
    source = converted.get();
  }
  std::uint8_t header[kOxaImageHeaderSize];
  WriteInt(header, kOxaImageMagic);
  WriteInt(header + 4, std::uint32_t(FLeft));
  WriteInt(header + 8, std::uint32_t(FTop));
  WriteInt(header + 12, std::uint32_t(FWidth));
  WriteInt(header + 16, std::uint32_t(FHeight));
  WriteInt(header + 20, std::uint32_t(source->FDesc.Width));
  WriteInt(header + 24, std::uint32_t(source->FDesc.Height));
  header[28] = std::uint8_t(source->FPixelFormat);
  stream.WriteBuffer(header, kOxaImageHeaderSize);
  const std::int32_t stride = OxaStride(source->FDesc.Width, source->FBytesPerPixel);
  const std::vector<std::uint8_t> blank(std::size_t(stride), 0);
  for (int y = source->FDesc.Height - 1; y >= 0; --y) {
    const std::uint8_t* row = source->ScanLineRead(y);
    stream.WriteBuffer(row != nullptr ? row : blank.data(), stride);
  }
}

void TOxaBitmap::LoadFromFile(const std::string& fileName)
{
  TMemoryStream stream;
  stream.LoadFromFile(fileName);
  LoadFromStream(stream);
}

void TOxaBitmap::SaveToFile(const std::string& fileName)
{
  TMemoryStream stream;
  SaveToStream(stream);
  // Written beside the target and renamed over it, so a failed write leaves the old file.
  const std::string temporary = fileName + ".tmp";
  stream.SaveToFile(temporary);
  if (!MoveFileExA(temporary.c_str(), fileName.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileA(temporary.c_str());
    throw EOxaFailed(ClassName() + ".SaveToFile: Cannot replace " + fileName);
  }
}
