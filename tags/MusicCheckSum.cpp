#include "tags/MusicCheckSum.h"

#include <algorithm>
#include <vector>

namespace {

constexpr std::int64_t TailSize = 128;
constexpr std::int64_t ReadSize = 512;

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
