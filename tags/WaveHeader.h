#pragma once
// TWaveHeader: playing time and bit rate of a ".wav" file from its RIFF chunks: the byte rate of
// "fmt " and the size of "data". Reads only the chunk headers through any seekable stream.

#include <cstdint>

#include "rtl/Stream.h"

class TWaveHeader {
 public:
  // Chunks looked at before giving up: a file with more before its "data" chunk is no sound file.
  static constexpr int MaxChunks = 64;

  // Fills the results; a stream that is not a RIFF "WAVE" file, or lacks either chunk, gives
  // zeros (not an error). A "data" size beyond the end of the stream counts only what is there.
  // Read errors of the stream propagate.
  void Analyse(TStream& stream);

  // kbit/s, from the byte rate; 0 when unknown.
  int Bitrate() const noexcept { return FBitrate; }
  // Whole seconds; 0 when unknown.
  int Duration() const noexcept { return FDuration; }
  std::uint32_t ByteRate() const noexcept { return FByteRate; }
  std::int64_t DataSize() const noexcept { return FDataSize; }

 private:
  int FBitrate = 0;
  int FDuration = 0;
  std::uint32_t FByteRate = 0;
  std::int64_t FDataSize = 0;
};
