#include "platform/windows/BmpFile.h"

#include <cstring>

#include "platform/core/ByteOrder.h"

namespace {

using namespace ByteOrder;

constexpr std::size_t FileHeaderSize = 14;
constexpr std::size_t InfoHeaderSize = 40;

}  // namespace

std::unique_ptr<TSurface> ParseBmp(std::span<const std::uint8_t> bytes)
{
  if (bytes.size() < FileHeaderSize + InfoHeaderSize || bytes[0] != 'B' || bytes[1] != 'M') {
    return nullptr;
  }
  const std::uint32_t pixelOffset = LoadLE32(bytes.data() + 10);
  const std::uint32_t headerSize = LoadLE32(bytes.data() + FileHeaderSize);
  if (headerSize < InfoHeaderSize || headerSize > MaxBmpHeaderBytes ||
      FileHeaderSize + headerSize > bytes.size() || pixelOffset > bytes.size() ||
      pixelOffset > MaxBmpHeaderBytes) {
    return nullptr;
  }
  const std::uint8_t* header = bytes.data() + FileHeaderSize;
  const auto width = static_cast<std::int32_t>(LoadLE32(header + 4));
  const auto height = static_cast<std::int32_t>(LoadLE32(header + 8));
  const std::uint16_t planes = LoadLE16(header + 12);
  const std::uint16_t bits = LoadLE16(header + 14);
  const std::uint32_t compression = LoadLE32(header + 16);
  const std::uint32_t colorsUsed = LoadLE32(header + 32);
  if (planes != 1 || compression != 0 || height == 0 || height == INT32_MIN ||
      !TSurface::SupportedDepth(bits)) {
    return nullptr;
  }
  const bool bottomUp = height > 0;
  DWORD error = 0;
  auto surface = TSurface::Create(width, bottomUp ? height : -height, bits, bottomUp, error);
  if (!surface) {
    return nullptr;
  }
  auto& colors = surface->Colors();
  if (!colors.empty()) {
    const std::size_t count = colorsUsed == 0 ? colors.size() : colorsUsed;
    const std::size_t tableStart = FileHeaderSize + headerSize;
    if (count > colors.size() || tableStart + count * 4 > pixelOffset) {
      return nullptr;
    }
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint8_t* entry = bytes.data() + tableStart + i * 4;
      colors[i] = RGBQUAD{entry[0], entry[1], entry[2], 0};
    }
  }
  if (bytes.size() - pixelOffset < surface->SizeInBytes()) {
    return nullptr;
  }
  std::memcpy(surface->Bits(), bytes.data() + pixelOffset, surface->SizeInBytes());
  return surface;
}

std::vector<std::uint8_t> SerializeBmp(const TSurface& surface)
{
  const std::size_t tableBytes = surface.Colors().size() * 4;
  const std::size_t pixelOffset = FileHeaderSize + InfoHeaderSize + tableBytes;
  std::vector<std::uint8_t> bytes(pixelOffset + surface.SizeInBytes());
  bytes[0] = 'B';
  bytes[1] = 'M';
  StoreLE32(bytes.data() + 2, static_cast<std::uint32_t>(bytes.size()));
  StoreLE32(bytes.data() + 10, static_cast<std::uint32_t>(pixelOffset));
  std::uint8_t* header = bytes.data() + FileHeaderSize;
  StoreLE32(header, InfoHeaderSize);
  StoreLE32(header + 4, static_cast<std::uint32_t>(surface.Width()));
  StoreLE32(header + 8, static_cast<std::uint32_t>(surface.Height()));
  StoreLE16(header + 12, 1);
  StoreLE16(header + 14, surface.BitsPerPixel());
  StoreLE32(header + 20, static_cast<std::uint32_t>(surface.SizeInBytes()));
  StoreLE32(header + 32, static_cast<std::uint32_t>(surface.Colors().size()));
  for (std::size_t i = 0; i < surface.Colors().size(); ++i) {
    const RGBQUAD& entry = surface.Colors()[i];
    std::uint8_t* out = bytes.data() + FileHeaderSize + InfoHeaderSize + i * 4;
    out[0] = entry.rgbBlue;
    out[1] = entry.rgbGreen;
    out[2] = entry.rgbRed;
  }
  for (LONG y = 0; y < surface.Height(); ++y) {
    // Bottom-up: the file's first row is the picture's last.
    std::memcpy(bytes.data() + pixelOffset + static_cast<std::size_t>(y) * surface.Stride(),
                surface.Row(surface.Height() - 1 - y), surface.Stride());
  }
  return bytes;
}
