#include "tags/MPegHeader.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/core/ByteOrder.h"

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
constexpr std::array<int, 3> V25Rates = {11025, 12000, 8000};

constexpr std::uint32_t XingFramesFlag = 0x0001;
// VBRI sits 32 bytes after the 4-byte header, whatever the version.
constexpr std::size_t VbriOffset = 4 + 32;
constexpr std::uint8_t Id3v24Footer = 0x10;

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
      version = Mpeg1;
      break;
    case 0x10:
      version = Mpeg2;
      break;
    case 0x00:
      version = Mpeg25;
      break;
    default:
      return false;  // 0x08 is reserved
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
  if (version == Mpeg1) {
    column = layer == 1 ? &V1Layer1 : layer == 2 ? &V1Layer2 : &V1Layer3;
  } else {
    column = layer == 1 ? &V2Layer1 : &V2Layer23;
  }
  const std::array<int, 3>& rates = version == Mpeg1 ? V1Rates : version == Mpeg2 ? V2Rates : V25Rates;
  frame.Version = version;
  frame.Layer = layer;
  frame.Bitrate = (*column)[static_cast<std::size_t>(bitrateIndex)];
  frame.SampleRate = rates[static_cast<std::size_t>(rateIndex)];
  frame.Padding = (b2 & 0x02) == 0 ? 0 : (layer == 1 ? 4 : 1);
  frame.Mono = (header[3] >> 6) == 3;
  return true;
}

int MpegFrameLength(const TMpegFrame& frame) noexcept
{
  if (frame.Layer == 1) {
    return 12000 * frame.Bitrate / frame.SampleRate + frame.Padding;
  }
  const int factor = frame.Layer == 3 && frame.Version != Mpeg1 ? 72000 : 144000;
  return factor * frame.Bitrate / frame.SampleRate + frame.Padding;
}

int MpegSamplesPerFrame(const TMpegFrame& frame) noexcept
{
  if (frame.Layer == 1) {
    return 384;
  }
  return frame.Layer == 3 && frame.Version != Mpeg1 ? 576 : 1152;
}

std::uint32_t MpegHeaderFrameCount(const TMpegFrame& frame, std::span<const std::uint8_t> bytes) noexcept
{
  // The Xing/Info header follows the side information, whose size depends on version and channels.
  const std::size_t sideInfo = frame.Version == Mpeg1 ? (frame.Mono ? 17 : 32) : (frame.Mono ? 9 : 17);
  const std::size_t xing = 4 + sideInfo;
  if (xing + 12 <= bytes.size() &&
      (std::memcmp(&bytes[xing], "Xing", 4) == 0 || std::memcmp(&bytes[xing], "Info", 4) == 0) &&
      (ByteOrder::LoadBE32(&bytes[xing + 4]) & XingFramesFlag) != 0) {
    return ByteOrder::LoadBE32(&bytes[xing + 8]);
  }
  // VBRI: tag, version, delay, quality (2 bytes each but the tag), byte count, frame count.
  if (VbriOffset + 18 <= bytes.size() && std::memcmp(&bytes[VbriOffset], "VBRI", 4) == 0) {
    return ByteOrder::LoadBE32(&bytes[VbriOffset + 14]);
  }
  return 0;
}

std::int64_t TMPegHeader::Id3v2Size(TStream& stream)
{
  std::uint8_t header[10];
  stream.Seek(0, TSeekOrigin::soBeginning);
  if (stream.Read(header, 10) != 10) {
    return 0;
  }
  if (header[0] != 'I' || header[1] != 'D' || header[2] != '3' || header[3] < 2 || header[3] == 255 ||
      header[4] == 255 || (header[6] | header[7] | header[8] | header[9]) >= 0x80) {
    return 0;
  }
  const bool footer = header[3] == 4 && (header[5] & Id3v24Footer) != 0;
  return std::int64_t{ByteOrder::LoadSynchsafe32(&header[6])} + 10 + (footer ? 10 : 0);
}

void TMPegHeader::Analyse(TStream& stream, bool hasTail, bool skipId3v2)
{
  stream.Seek(0, TSeekOrigin::soBeginning);
  FBitrate = 0;
  FSampleRate = 0;
  FDuration = 0;
  FFrameCount = 0;
  FAudioStart = 0;
  FHeaderFrames = 0;
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

  // A first frame that carries a frame count is a header of the stream, not sound.
  const TMpegFrame leading = frame;
  FHeaderFrames = MpegHeaderFrameCount(
      frame, std::span<const std::uint8_t>(&block[static_cast<std::size_t>(offset)],
                                           static_cast<std::size_t>(bytesRead - offset)));
  bool skipLeading = FHeaderFrames > 0;

  TMpegFrame first = frame;
  int frames = 0;
  std::int64_t bitrateSum = 0;
  bool variable = false;
  while (frames < MaxFrames && validAt(offset, frame)) {
    if (skipLeading) {
      skipLeading = false;
    } else {
      if (frames == 0) {
        first = frame;
      } else if (frame.Bitrate != first.Bitrate) {
        variable = true;
      }
      bitrateSum += frame.Bitrate;
      ++frames;
    }
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
  if (frames == 0) {
    first = leading;
  }

  FFrameCount = frames;
  FBitrate = variable ? -1 : first.Bitrate;
  FSampleRate = first.SampleRate;
  if (FHeaderFrames > 0 && FSampleRate > 0) {
    const std::int64_t samples = std::int64_t{FHeaderFrames} * MpegSamplesPerFrame(leading);
    FDuration = static_cast<int>(std::clamp<std::int64_t>(samples / leading.SampleRate, 0, INT32_MAX));
    return;
  }

  const std::int64_t audioSize = stream.Size() - FAudioStart - (FHasTail ? TailSize : 0);
  TMpegFrame chosen = first;
  if (FBitrate >= 1 && FSampleRate >= 1) {
    chosen.Bitrate = first.Bitrate;
  } else if (FBitrate == -1 && bitrateSum > 0 && FSampleRate > 0) {
    chosen.Bitrate = static_cast<int>((bitrateSum + frames / 2) / frames);
  } else {
    return;
  }
  const std::int64_t rate = first.SampleRate;
  std::int64_t seconds = 0;
  if (first.Layer == 1) {
    seconds =
        (audioSize / ((12000 * std::int64_t{chosen.Bitrate} / rate + first.Padding) * 4 + 4)) * 384 / rate;
  } else {
    chosen.Padding = first.Padding;
    seconds = (audioSize / (MpegFrameLength(chosen) + 4)) * MpegSamplesPerFrame(first) / rate;
  }
  FDuration = static_cast<int>(std::clamp<std::int64_t>(seconds, 0, INT32_MAX));
}
