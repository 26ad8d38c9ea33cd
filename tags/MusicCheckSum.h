#pragma once
// TOxaMusicCheckSum: the 36-byte fingerprint of a music file's audio, a run of varied bytes near
// the end of the file together with a distance value derived from where it was searched for.
// Stored fingerprints are compared with new ones, so the search and the value D below must never
// change.

#include <array>
#include <cstddef>
#include <cstdint>

#include "rtl/Stream.h"

// Bytes 0-3: D, big-endian; bytes 4-35: the accepted 32-byte window. All zero when none.
using TMusicCheckSum = std::array<std::uint8_t, 36>;

class TOxaMusicCheckSum {
 public:
  static constexpr int WindowSize = 32;

  // Fills sum from the stream; the last 128 bytes are left out when hasTail (an ID3v1 tag).
  // Short files and files without a varied window give zeros. A read error of the stream
  // (EReadError) propagates.
  void Compute(TStream& stream, bool hasTail, TMusicCheckSum& sum);

  std::int64_t FileSize() const noexcept { return FFileSize; }
  int BlockSize() const noexcept { return FBlockSize; }

  // No zero byte, no 0xFF byte and no value four times or more among the 32 bytes.
  static bool Accepted(const std::uint8_t* window) noexcept;

 private:
  void Found(std::uint32_t distance, const std::uint8_t* window, TMusicCheckSum& sum) noexcept;

  std::int64_t FFileSize = 0;
  int FBlockSize = WindowSize;
  std::array<std::uint8_t, WindowSize> FTempBuff{};
};
