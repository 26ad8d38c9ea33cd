#include "tags/WaveHeader.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/core/ByteOrder.h"

namespace {

constexpr std::int64_t RiffHeaderSize = 12;
constexpr std::int64_t ChunkHeaderSize = 8;
// "fmt " holds the format tag, channels and sample rate before the byte rate.
constexpr std::uint32_t ByteRateOffset = 8;

}  // namespace

void TWaveHeader::Analyse(TStream& stream)
{
  FBitrate = 0;
  FDuration = 0;
  FByteRate = 0;
  FDataSize = 0;
  const std::int64_t size = stream.Size();
  std::uint8_t riff[RiffHeaderSize];
  stream.Seek(0, TSeekOrigin::soBeginning);
  if (stream.Read(riff, RiffHeaderSize) != RiffHeaderSize || std::memcmp(riff, "RIFF", 4) != 0 ||
      std::memcmp(riff + 8, "WAVE", 4) != 0) {
    return;
  }
  std::int64_t position = RiffHeaderSize;
  bool haveFormat = false;
  for (int chunk = 0; chunk < MaxChunks && position + ChunkHeaderSize <= size; ++chunk) {
    std::uint8_t header[ChunkHeaderSize];
    stream.Seek(position, TSeekOrigin::soBeginning);
    if (stream.Read(header, ChunkHeaderSize) != ChunkHeaderSize) {
      return;
    }
    const std::uint32_t chunkSize = ByteOrder::LoadLE32(header + 4);
    const std::int64_t dataStart = position + ChunkHeaderSize;
    if (std::memcmp(header, "fmt ", 4) == 0 && chunkSize >= ByteRateOffset + 4) {
      std::uint8_t format[ByteRateOffset + 4];
      if (stream.Read(format, sizeof format) != static_cast<std::int64_t>(sizeof format)) {
        return;
      }
      FByteRate = ByteOrder::LoadLE32(format + ByteRateOffset);
      haveFormat = true;
    } else if (std::memcmp(header, "data", 4) == 0) {
      // Writers that stream leave the size at its largest; what the file holds is what plays.
      FDataSize = std::min<std::int64_t>(chunkSize, size - dataStart);
      break;
    }
    // Chunks are padded to an even size.
    position = dataStart + chunkSize + (chunkSize & 1U);
  }
  if (!haveFormat || FByteRate == 0 || FDataSize <= 0) {
    return;
  }
  FDuration = static_cast<int>(std::min<std::int64_t>(FDataSize / FByteRate, INT_MAX));
  FBitrate = static_cast<int>(std::min<std::int64_t>(std::int64_t{FByteRate} * 8 / 1000, INT_MAX));
}
