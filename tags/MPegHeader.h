#pragma once
// TMPegHeader: bit rate, sample rate and playing time of an MP3 file, from the first frames of
// its audio data. Reads at most a few 4048-byte blocks through any seekable stream.

#include <cstdint>
#include <span>

#include "rtl/Stream.h"

// MPEG versions as TMpegFrame::Version gives them.
constexpr int Mpeg1 = 1;
constexpr int Mpeg2 = 2;
constexpr int Mpeg25 = 25;

// One frame as sampled by the walk.
struct TMpegFrame {
  int Bitrate = 0;     // kbit/s; 0 for free format
  int Layer = 0;       // 1, 2 or 3
  int Version = 0;     // Mpeg1, Mpeg2 or Mpeg25
  int Padding = 0;     // bytes
  int SampleRate = 0;  // Hz
  bool Mono = false;   // single channel
};

// Decodes the four header bytes at `header`; false when they are not a usable frame header
// (no sync, reserved version, reserved layer, invalid sample rate). MPEG-2.5 takes MPEG-2's
// bit rates.
bool DecodeMpegFrameHeader(const std::uint8_t header[4], TMpegFrame& frame) noexcept;
// Bytes from this frame's header to the next one's: Layer I 12000 x br / sr + padding, Layer II
// 144000 x br / sr + padding, Layer III the same for MPEG-1 and 72000 x br / sr + padding for
// MPEG-2 and 2.5 (their frames hold half the samples).
int MpegFrameLength(const TMpegFrame& frame) noexcept;
// Samples of sound in one frame: 384 (Layer I), 1152, or 576 (Layer III of MPEG-2 and 2.5).
int MpegSamplesPerFrame(const TMpegFrame& frame) noexcept;
// The frame count a Xing/Info or VBRI header in this first frame announces (the frame-count
// flag set); 0 when it has none. `bytes` holds the frame from its header on, as far as read.
std::uint32_t MpegHeaderFrameCount(const TMpegFrame& frame, std::span<const std::uint8_t> bytes) noexcept;

class TMPegHeader {
 public:
  static constexpr int BlockSize = 4048;
  // A first frame further than this into the audio is not looked for.
  static constexpr int SearchLimit = 1000;
  static constexpr int MaxFrames = 100;

  // Samples the frames after the leading ID3v2 tag (when skipId3v2) and fills the results below.
  // A file without recognisable frames gives zeros; that is not an error. Read errors of the
  // stream (EReadError) propagate.
  //
  // Duration: exact from the frame count of a Xing/Info or VBRI header in the first frame
  // (that frame is not audio and is not sampled); otherwise from the audio size, with the first
  // frame's bit rate for a constant bit rate and the average of the sampled frames' for a
  // variable one.
  void Analyse(TStream& stream, bool hasTail, bool skipId3v2);

  // The size of an ID3v2 tag (v2.2 or later) at the start of the stream, header and an ID3v2.4
  // footer included; 0 when there is none. Leaves the stream position changed.
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
  // The frame count of the first frame's Xing/Info or VBRI header; 0 when it has none.
  std::uint32_t HeaderFrames() const noexcept { return FHeaderFrames; }

 private:
  void WalkFrames(TStream& stream);

  bool FAnalysed = false;
  int FBitrate = 0;
  int FSampleRate = 0;
  std::int64_t FAudioStart = 0;
  bool FHasTail = false;
  int FFrameCount = 0;
  int FDuration = 0;
  std::uint32_t FHeaderFrames = 0;
};
