#pragma once
// One music file decoded to the output format: FFmpeg reads it through a platform file handle
// (so Windows paths and the platform's share modes hold), decodes its audio stream and
// resamples it to interleaved 16-bit stereo at OutputRate.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/Handles.h"

namespace oxaaud {

enum class TOpenResult { Ok, CannotOpen, CannotDecode };

class TDecoder {
 public:
  TDecoder();
  ~TDecoder();
  TDecoder(const TDecoder&) = delete;
  TDecoder& operator=(const TDecoder&) = delete;

  // Opens the file (UTF-8 Windows path) shared for reading only and finds its audio stream.
  TOpenResult Open(const std::string& windowsPath);
  // Closes the file handle and frees the decoder.
  void Close() noexcept;
  bool IsOpen() const noexcept;

  // The length in tenths of a second, 0 when unknown.
  std::int32_t Length() const noexcept { return FLength; }
  // The next piece of sound, appended to samples as frames of OutputChannels values. False at
  // the end of the file or when nothing more can be decoded. Damaged packets are skipped.
  bool Next(std::vector<std::int16_t>& samples);
  // Whether any packet decoded so far: a file whose packets all fail is not music.
  bool DecodedAny() const noexcept { return FDecodedAny; }
  // Moves to a position in tenths of a second; false when the file cannot seek there.
  bool Seek(std::int32_t tenths);

  struct TState;

 private:
  std::unique_ptr<TState> FState;
  std::int32_t FLength = 0;
  bool FDecodedAny = false;
};

}  // namespace oxaaud
