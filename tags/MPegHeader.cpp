#include "tags/MPegHeader.h"

#include <algorithm>
#include <array>

namespace {

// kbit/s by bit-rate index; index 15 is "bad" and counts as 0 like free format.
constexpr std::array<int, 16> V1Layer1 = {0,   32,  64,  96,  128, 160, 192, 224,
                                          256, 288, 320, 352, 384, 416, 448, 0};
constexpr std::array<int, 16> V1Layer2 = {0,   32,  48,  56,  64,  80,  96,  112,
                                          128, 160, 192, 224, 256, 320, 384, 0};
constexpr std::array<int, 16> V1Layer3 = {0,   32,  40,  48,  56,  64,  80,  96,
                                          112, 128, 160, 192, 224, 256, 320, 0};
constexpr std::array<int, 16> V2Layer1 = {0,   32,  48,  56,  64,  80,  96,  112,
                                          128, 144, 160, 176, 192, 224, 256, 0};
constexpr std::array<int, 16> V2Layer23 = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};

constexpr std::array<int, 3> V1Rates = {44100, 48000, 32000};
constexpr std::array<int, 3> V2Rates = {22050, 24000, 16000};

constexpr int TailSize = 128;

}  // namespace

bool DecodeMpegFrameHeader(const std::uint8_t header[4], TMpegFrame& frame) noexcept
{
  const std::uint8_t b1 = header[1];
  const std::uint8_t b2 = header[2];
  if (header[0] != 0xFF || ((b1 & 0xF0) != 0xF0 && (b1 & 0xF0) != 0xE0)) {
    return false;
  }
  int version = 0;
  switch (b1 & 0x18) {
    case 0x18:
      version = 1;
      break;
    case 0x10:
      version = 2;
      break;
    default:
      return false;  // MPEG-2.5 has no bit-rate column here; 0x08 is reserved
  }
  int layer = 0;
  switch (b1 & 0x06) {
    case 0x06:
      layer = 1;
      break;
    case 0x04:
      layer = 2;
      break;
    case 0x02:
      layer = 3;
      break;
    default:
      return false;
  }
  const int rateIndex = (b2 & 0x0C) >> 2;
  if (rateIndex == 3) {
    return false;
  }
  const int bitrateIndex = b2 >> 4;
  const std::array<int, 16>* column = nullptr;
  if (version == 1) {
    column = layer == 1 ? &V1Layer1 : layer == 2 ? &V1Layer2 : &V1Layer3;
  } else {
    column = layer == 1 ? &V2Layer1 : &V2Layer23;
  }
  frame.Version = version;
  frame.Layer = layer;
  frame.Bitrate = (*column)[static_cast<std::size_t>(bitrateIndex)];
  frame.SampleRate = (version == 1 ? V1Rates : V2Rates)[static_cast<std::size_t>(rateIndex)];
  frame.Padding = (b2 & 0x02) == 0 ? 0 : (layer == 1 ? 4 : 1);
  return true;
}

int MpegFrameLength(const TMpegFrame& frame) noexcept
{
  if (frame.Layer == 1) {
    return 12000 * frame.Bitrate / frame.SampleRate + frame.Padding;
  }
  return 144000 * frame.Bitrate / frame.SampleRate + frame.Padding;
}

std::int64_t TMPegHeader::Id3v2Size(TStream& stream)
{
  std::uint8_t header[10];
  stream.Seek(0, TSeekOrigin::soBeginning);
  if (stream.Read(header, 10) != 10) {
    return 0;
  }
  if (header[0] != 'I' || header[1] != 'D' || header[2] != '3' || header[3] < 3 || header[3] == 255 ||
      header[4] == 255) {
    return 0;
  }
  std::int64_t size = 0;
  for (int i = 6; i < 10; ++i) {
    if (header[i] >= 0x80) {
      return 0;
    }
    size = size * 128 + header[i];
  }
  return size + 10;
}

void TMPegHeader::Analyse(TStream& stream, bool hasTail, bool skipId3v2)
{
  stream.Seek(0, TSeekOrigin::soBeginning);
  FBitrate = 0;
  FSampleRate = 0;
  FDuration = 0;
  FFrameCount = 0;
  FAudioStart = 0;
  FHasTail = hasTail;
  if (skipId3v2) {
    FAudioStart = Id3v2Size(stream);
  }
  FAnalysed = true;
  WalkFrames(stream);
}

void TMPegHeader::WalkFrames(TStream& stream)
{
  std::array<std::uint8_t, BlockSize> block{};
  stream.Seek(FAudioStart, TSeekOrigin::soBeginning);
  auto bytesRead = static_cast<int>(stream.Read(block.data(), BlockSize));
  bool endOfFile = bytesRead < BlockSize;
  if (bytesRead < 5) {
    return;
  }

  // A header needs its four bytes inside what was read.
  const auto validAt = [&](int offset, TMpegFrame& frame) {
    return offset >= 0 && offset + 4 <= bytesRead &&
           DecodeMpegFrameHeader(&block[static_cast<std::size_t>(offset)], frame);
  };

  TMpegFrame frame;
  int offset = 0;
  const int searchEnd = std::min(SearchLimit, bytesRead);
  while (offset < searchEnd && !validAt(offset, frame)) {
    ++offset;
  }
  if (offset >= searchEnd) {
    return;
  }

  TMpegFrame first = frame;
  TMpegFrame last = frame;
  int frames = 0;
  bool variable = false;
  while (frames < MaxFrames && validAt(offset, frame)) {
    if (frames == 0) {
      first = frame;
    } else if (frame.Bitrate != first.Bitrate) {
      variable = true;
    }
    last = frame;
    ++frames;
    offset += MpegFrameLength(frame);
    if (offset > bytesRead - 4) {
      // Read on with the last four bytes again, so a header split across blocks is seen whole.
      offset -= bytesRead - 4;
      stream.Seek(-4, TSeekOrigin::soCurrent);
      if (endOfFile) {
        break;
      }
      bytesRead = static_cast<int>(stream.Read(block.data(), BlockSize));
      if (offset > bytesRead) {
        break;
      }
      endOfFile = bytesRead < BlockSize;
    }
  }

  FFrameCount = frames;
  FBitrate = variable ? -1 : first.Bitrate;
  FSampleRate = first.SampleRate;

  const std::int64_t audioSize = stream.Size() - FAudioStart - (FHasTail ? TailSize : 0);
  std::int64_t bitrate = 0;
  if (FBitrate >= 1 && FSampleRate >= 1) {
    bitrate = first.Bitrate;
  } else if (FBitrate == -1 && last.Bitrate > 0 && FSampleRate > 0) {
    bitrate = last.Bitrate;
  } else {
    return;
  }
  const std::int64_t rate = first.SampleRate;
  const std::int64_t padding = first.Padding;
  std::int64_t seconds = 0;
  if (first.Layer == 1) {
    seconds = (audioSize / ((12000 * bitrate / rate + padding) * 4 + 4)) * 384 / rate;
  } else {
    seconds = (audioSize / (144000 * bitrate / rate + padding + 4)) * 1152 / rate;
  }
  FDuration = static_cast<int>(std::clamp<std::int64_t>(seconds, 0, INT32_MAX));
}
