#include "tags/AudioStart.h"

#include <array>
#include <cstring>

namespace {

// More metadata blocks, header pages or top-level atoms than any real file has.
constexpr int MaxFlacBlocks = 1024;
constexpr int MaxOggHeaderPages = 4096;
constexpr int MaxMp4Atoms = 1024;

constexpr std::int64_t Id3v2HeaderSize = 10;
constexpr std::int64_t FlacBlockHeaderSize = 4;
constexpr std::int64_t OggPageHeaderSize = 27;
constexpr std::int64_t Mp4AtomHeaderSize = 8;
constexpr std::int64_t Mp4LargeSizeField = 8;

// Reads exactly count bytes at position; false at the end of the stream.
bool ReadAt(TStream& stream, std::int64_t position, void* buffer, std::int64_t count)
{
  if (position < 0 || count > stream.Size() - position) {
    return false;
  }
  stream.SetPosition(position);
  return stream.Read(buffer, count) == count;
}

std::uint32_t BigEndian(const std::uint8_t* bytes, int count) noexcept
{
  std::uint32_t value = 0;
  for (int i = 0; i < count; ++i) {
    value = (value << 8) | bytes[i];
  }
  return value;
}

// The size of an ID3v2 tag at position (header, body and footer), 0 when there is none.
std::int64_t Id3v2SizeAt(TStream& stream, std::int64_t position)
{
  std::array<std::uint8_t, Id3v2HeaderSize> header{};
  if (!ReadAt(stream, position, header.data(), Id3v2HeaderSize) ||
      std::memcmp(header.data(), "ID3", 3) != 0) {
    return 0;
  }
  std::int64_t body = 0;
  for (int i = 6; i < 10; ++i) {
    if ((header[i] & 0x80) != 0) {
      return 0;
    }
    body = (body << 7) | header[i];
  }
  const bool footer = (header[5] & 0x10) != 0;
  return Id3v2HeaderSize + body + (footer ? Id3v2HeaderSize : 0);
}

}  // namespace

std::int64_t FlacAudioStart(TStream& stream)
{
  const std::int64_t size = stream.Size();
  std::int64_t position = Id3v2SizeAt(stream, 0);
  std::array<std::uint8_t, 4> marker{};
  if (!ReadAt(stream, position, marker.data(), 4) || std::memcmp(marker.data(), "fLaC", 4) != 0) {
    return 0;
  }
  position += 4;
  for (int block = 0; block < MaxFlacBlocks; ++block) {
    std::array<std::uint8_t, FlacBlockHeaderSize> header{};
    if (!ReadAt(stream, position, header.data(), FlacBlockHeaderSize)) {
      return 0;
    }
    const std::int64_t length = BigEndian(header.data() + 1, 3);
    if (length > size - position - FlacBlockHeaderSize) {
      return 0;
    }
    position += FlacBlockHeaderSize + length;
    if ((header[0] & 0x80) != 0) {
      return position;
    }
  }
  return 0;
}

std::int64_t OggAudioStart(TStream& stream)
{
  const std::int64_t size = stream.Size();
  std::int64_t position = 0;
  for (int page = 0; page < MaxOggHeaderPages; ++page) {
    std::array<std::uint8_t, OggPageHeaderSize> header{};
    if (!ReadAt(stream, position, header.data(), OggPageHeaderSize) ||
        std::memcmp(header.data(), "OggS", 4) != 0) {
      return 0;
    }
    std::uint64_t granule = 0;
    for (int i = 13; i >= 6; --i) {
      granule = (granule << 8) | header[i];
    }
    if (granule != 0 && granule != ~std::uint64_t{0}) {
      return position;
    }
    const int segments = header[26];
    std::array<std::uint8_t, 255> lacing{};
    if (!ReadAt(stream, position + OggPageHeaderSize, lacing.data(), segments)) {
      return 0;
    }
    std::int64_t body = 0;
    for (int i = 0; i < segments; ++i) {
      body += lacing[i];
    }
    position += OggPageHeaderSize + segments + body;
    if (position >= size) {
      return 0;
    }
  }
  return 0;
}

std::int64_t Mp4AudioStart(TStream& stream)
{
  const std::int64_t size = stream.Size();
  std::int64_t position = 0;
  for (int atom = 0; atom < MaxMp4Atoms && position < size; ++atom) {
    std::array<std::uint8_t, Mp4AtomHeaderSize + Mp4LargeSizeField> header{};
    if (!ReadAt(stream, position, header.data(), Mp4AtomHeaderSize)) {
      return 0;
    }
    std::int64_t headerSize = Mp4AtomHeaderSize;
    std::uint64_t atomSize = BigEndian(header.data(), 4);
    if (atomSize == 1) {
      if (!ReadAt(stream, position + Mp4AtomHeaderSize, header.data() + Mp4AtomHeaderSize,
                  Mp4LargeSizeField)) {
        return 0;
      }
      atomSize = (std::uint64_t{BigEndian(header.data() + 8, 4)} << 32) | BigEndian(header.data() + 12, 4);
      headerSize += Mp4LargeSizeField;
    } else if (atomSize == 0) {
      atomSize = static_cast<std::uint64_t>(size - position);  // the atom runs to the end
    }
    if (atomSize < static_cast<std::uint64_t>(headerSize) ||
        atomSize > static_cast<std::uint64_t>(size - position)) {
      return 0;
    }
    if (std::memcmp(header.data() + 4, "mdat", 4) == 0) {
      return position + headerSize;
    }
    position += static_cast<std::int64_t>(atomSize);
  }
  return 0;
}
