#pragma once
// TMPegHeader: bit rate, sample rate and playing time of an MP3 file, from the first frames of
// its audio data. Reads at most a few 4048-byte blocks through any seekable stream.

#include <cstdint>

#include "rtl/Stream.h"

// One frame as sampled by the walk.
struct TMpegFrame {
  int Bitrate = 0;     // kbit/s; 0 for free format
  int Layer = 0;       // 1, 2 or 3
  int Version = 0;     // 1 (MPEG-1) or 2 (MPEG-2)
  int Padding = 0;     // bytes
  int SampleRate = 0;  // Hz
};

// Decodes the four header bytes at `header`; false when they are not a usable frame header
// (no sync, reserved or MPEG-2.5 version, reserved layer, invalid sample rate).
bool DecodeMpegFrameHeader(const std::uint8_t header[4], TMpegFrame& frame) noexcept;
// Bytes from this frame's header to the next one's.
int MpegFrameLength(const TMpegFrame& frame) noexcept;

class TMPegHeader {
 public:
  static constexpr int BlockSize = 4048;
  // A first frame further than this into the audio is not looked for.
  static constexpr int SearchLimit = 1000;
  static constexpr int MaxFrames = 100;

  // Samples the frames after the leading ID3v2 tag (when skipId3v2) and fills the results below.
  // A file without recognisable frames gives zeros; that is not an error. Read errors of the
  // stream (EReadError) propagate.
  void Analyse(TStream& stream, bool hasTail, bool skipId3v2);

  // The size of an ID3v2.3 or later tag at the start of the stream, header included; 0 when
  // there is none (ID3v2.2 tags count as none). Leaves the stream position changed.
  static std::int64_t Id3v2Size(TStream& stream);

  bool Analysed() const noexcept { return FAnalysed; }
  // kbit/s of the first frame; -1 when the sampled frames differ; 0 when no frame was found.
  int Bitrate() const noexcept { return FBitrate; }
  int SampleRate() const noexcept { return FSampleRate; }
  std::int64_t AudioStart() const noexcept { return FAudioStart; }
  bool HasTail() const noexcept { return FHasTail; }
  int FrameCount() const noexcept { return FFrameCount; }
  // Whole seconds; 0 when unknown.
  int Duration() const noexcept { return FDuration; }

 private:
  void WalkFrames(TStream& stream);

  bool FAnalysed = false;
  int FBitrate = 0;
  int FSampleRate = 0;
  std::int64_t FAudioStart = 0;
  bool FHasTail = false;
  int FFrameCount = 0;
  int FDuration = 0;
};
