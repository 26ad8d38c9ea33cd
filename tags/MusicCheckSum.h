#pragma once
// TOxaMusicCheckSum: the 36-byte fingerprint of a music file's audio, a run of varied bytes near
// the end of the file together with a distance value derived from where it was searched for.
// Stored fingerprints are compared with new ones, so the search and the value D below must never
// change. Audio without a varied window (digital silence, a pure tone) gets a fallback fingerprint
// instead, a digest of its tail that no window search can give.

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

  // Bytes at the end of the audio that the fallback digests: enough to reach past a long fade
  // or silence into the music before it, little enough to leave the file unread but for its end.
  static constexpr std::int64_t FallbackTailSize = std::int64_t{1} << 20;
  // The fingerprint of a file whose search found no window: D = 0, then the SHA-256 of the
  // audio's length (8 bytes, little-endian) and of its last FallbackTailSize bytes, with the last
  // byte forced to 0x00. The audio runs from audioStart (clamped to the file) up to the ID3v1
  // tail when hasTail, else to the end, so rewritten tags at either end leave it as it was. An
  // accepted window never holds 0x00, so no search gives such a value, and audio that differs in
  // its tail or its length gives another. A read error of the stream (EReadError) propagates.
  void ComputeFallback(TStream& stream, bool hasTail, std::int64_t audioStart, TMusicCheckSum& sum);
  // sum was made by ComputeFallback.
  static bool IsFallback(const TMusicCheckSum& sum) noexcept;
  // Where the audio of an ASF (WMA) stream begins: after its header object, which holds the
  // attributes; 0 when the stream does not start with a header object that fits in it.
  static std::int64_t AsfAudioStart(TStream& stream);

 private:
  void Found(std::uint32_t distance, const std::uint8_t* window, TMusicCheckSum& sum) noexcept;

  std::int64_t FFileSize = 0;
  int FBlockSize = WindowSize;
  std::array<std::uint8_t, WindowSize> FTempBuff{};
};
