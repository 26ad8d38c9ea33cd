#include "tags/MusicCheckSum.h"

#include <algorithm>
#include <span>
#include <vector>

#include "tags/Sha256.h"

namespace {

constexpr std::int64_t TailSize = 128;
constexpr std::int64_t ReadSize = 512;
constexpr std::int64_t FallbackReadSize = 64 * 1024;
constexpr std::size_t FallbackMarkByte = 35;

// The ASF header object: its GUID {75B22630-668E-11CF-A6D9-00AA0062CE6C} as stored, then its
// size as a 64-bit little-endian count that includes these 24 bytes.
constexpr std::uint8_t AsfHeaderGuid[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                            0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr std::int64_t AsfHeaderPrefix = 24;

enum class TSearchMode { Whole, Block };

struct TSearchParameters {
  std::int64_t Start1;
  std::int64_t Start2;
  std::int64_t Step;
  TSearchMode Mode;
};

// The steps of 8196 (not 8192) are part of every stored fingerprint.
TSearchParameters ParametersFor(std::int64_t length) noexcept
{
  if (length <= 512) {
    return {length, length, 0, TSearchMode::Whole};
  }
  if (length <= 10'000) {
    return {513, 513, 0, TSearchMode::Block};
  }
  if (length <= 100'000) {
    return {10'000, 10'000, 1024, TSearchMode::Block};
  }
  if (length <= 1'000'000) {
    return {30'000, 90'000, 2048, TSearchMode::Block};
  }
  if (length <= 2'500'000) {
    return {40'000, 900'000, 4096, TSearchMode::Block};
  }
  if (length <= 4'000'000) {
    return {70'000, 2'300'000, 8196, TSearchMode::Block};
  }
  return {100'000, 3'500'000, 8196, TSearchMode::Block};
}

}  // namespace

bool TOxaMusicCheckSum::Accepted(const std::uint8_t* window) noexcept
{
  std::array<std::uint8_t, 256> counts{};
  for (int i = 0; i < WindowSize; ++i) {
    const std::uint8_t value = window[i];
    if (value == 0x00 || value == 0xFF || ++counts[value] >= 4) {
      return false;
    }
  }
  return true;
}

void TOxaMusicCheckSum::Found(std::uint32_t distance, const std::uint8_t* window,
                              TMusicCheckSum& sum) noexcept
{
  std::copy_n(window, WindowSize, FTempBuff.begin());
  sum[0] = static_cast<std::uint8_t>(distance >> 24);
  sum[1] = static_cast<std::uint8_t>(distance >> 16);
  sum[2] = static_cast<std::uint8_t>(distance >> 8);
  sum[3] = static_cast<std::uint8_t>(distance);
  std::copy(FTempBuff.begin(), FTempBuff.end(), sum.begin() + 4);
}

void TOxaMusicCheckSum::Compute(TStream& stream, bool hasTail, TMusicCheckSum& sum)
{
  sum.fill(0);
  FBlockSize = WindowSize;
  FFileSize = stream.Size();
  if (FFileSize < 36) {
    return;
  }
  const std::int64_t tail = hasTail ? TailSize : 0;
  const std::int64_t length = FFileSize - 4 - tail;
  if (length < 36) {
    return;
  }

  const TSearchParameters search = ParametersFor(length);
  int pass = 1;
  std::int64_t distance = search.Start1;
  std::int64_t position = FFileSize - (search.Start1 + tail);

  if (search.Mode == TSearchMode::Whole) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
    stream.Seek(position, TSeekOrigin::soBeginning);
    stream.ReadBuffer(bytes.data(), length);
    for (std::int64_t k = 0; k + WindowSize <= length; ++k) {
      if (Accepted(&bytes[static_cast<std::size_t>(k)])) {
        Found(static_cast<std::uint32_t>(distance + k), &bytes[static_cast<std::size_t>(k)], sum);
        return;
      }
    }
    return;
  }

  std::array<std::uint8_t, ReadSize> block{};
  for (;;) {
    if (position + 513 >= FFileSize - tail) {
      if (pass == 2 || search.Start1 == search.Start2) {
        return;
      }
      pass = 2;
      distance = search.Start2;
      position = FFileSize - (search.Start2 + tail);
    }
    stream.Seek(position, TSeekOrigin::soBeginning);
    stream.ReadBuffer(block.data(), ReadSize);
    for (std::int64_t k = 0; k < ReadSize / WindowSize; ++k) {
      if (Accepted(&block[static_cast<std::size_t>(k * WindowSize)])) {
        Found(static_cast<std::uint32_t>(distance + WindowSize * k),
              &block[static_cast<std::size_t>(k * WindowSize)], sum);
        return;
      }
    }
    position += ReadSize + search.Step;
    distance -= search.Step;
  }
}

void TOxaMusicCheckSum::ComputeFallback(TStream& stream, bool hasTail, std::int64_t audioStart,
                                        TMusicCheckSum& sum)
{
  sum.fill(0);
  FFileSize = stream.Size();
  const std::int64_t end = std::max<std::int64_t>(FFileSize - (hasTail ? TailSize : 0), 0);
  const std::int64_t start = std::clamp<std::int64_t>(audioStart, 0, end);
  const std::int64_t length = end - start;
  TSha256 sha;
  std::array<std::uint8_t, 8> lengthBytes{};
  for (std::size_t i = 0; i < lengthBytes.size(); ++i) {
    lengthBytes[i] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(length) >> (8 * i));
  }
  sha.Update(lengthBytes);
  std::vector<std::uint8_t> block(static_cast<std::size_t>(FallbackReadSize));
  std::int64_t position = std::max(start, end - FallbackTailSize);
  stream.Seek(position, TSeekOrigin::soBeginning);
  while (position < end) {
    const std::int64_t count = std::min(FallbackReadSize, end - position);
    stream.ReadBuffer(block.data(), count);
    sha.Update(std::span(block.data(), static_cast<std::size_t>(count)));
    position += count;
  }
  const TSha256Digest digest = sha.Final();
  std::copy(digest.begin(), digest.end(), sum.begin() + 4);
  sum[FallbackMarkByte] = 0x00;
}

bool TOxaMusicCheckSum::IsFallback(const TMusicCheckSum& sum) noexcept
{
  return sum[0] == 0 && sum[1] == 0 && sum[2] == 0 && sum[3] == 0 && sum[FallbackMarkByte] == 0 &&
         std::any_of(sum.begin() + 4, sum.end(), [](std::uint8_t b) { return b != 0; });
}

std::int64_t TOxaMusicCheckSum::AsfAudioStart(TStream& stream)
{
  const std::int64_t size = stream.Size();
  if (size < AsfHeaderPrefix) {
    return 0;
  }
  std::uint8_t prefix[AsfHeaderPrefix];
  stream.Seek(0, TSeekOrigin::soBeginning);
  stream.ReadBuffer(prefix, AsfHeaderPrefix);
  if (!std::equal(std::begin(AsfHeaderGuid), std::end(AsfHeaderGuid), prefix)) {
    return 0;
  }
  std::uint64_t headerSize = 0;
  for (int i = 7; i >= 0; --i) {
    headerSize = (headerSize << 8) | prefix[16 + i];
  }
  if (headerSize < static_cast<std::uint64_t>(AsfHeaderPrefix) ||
      headerSize > static_cast<std::uint64_t>(size)) {
    return 0;
  }
  return static_cast<std::int64_t>(headerSize);
}
