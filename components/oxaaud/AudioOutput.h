#pragma once
// Where decoded sound goes: the default sound device, or a null output that only keeps time.
// Both take interleaved signed 16-bit stereo at OutputRate and block while the device (or the
// clock) is behind, so the decoder runs at the pace of playback.

#include <cstdint>
#include <memory>
#include <string_view>

namespace oxaaud {

inline constexpr int OutputRate = 44100;
inline constexpr int OutputChannels = 2;

class TAudioOutput {
 public:
  virtual ~TAudioOutput() = default;
  // Plays the frames, waiting while the output is full. False when the device failed for good.
  virtual bool Write(const std::int16_t* samples, int frames) = 0;
  // Holds playback (what is queued stays) and lets it go on.
  virtual void SetPaused(bool paused) = 0;
  // Throws away what is queued, for a seek.
  virtual void Discard() = 0;
  // Waits until what is queued has been heard.
  virtual void Drain() = 0;
};

// How OXA_AUDIO asks for output: empty for the sound device (null when none opens), "null" for
// the null output in real time, "null:speed=N" for N times real time and "null:speed=0" for no
// waiting at all. Anything else reads as the sound device.
struct TOutputChoice {
  bool Null = false;
  double Speed = 1.0;  // 0: as fast as the decoder goes
};
TOutputChoice ParseOutputChoice(std::string_view setting);

std::unique_ptr<TAudioOutput> MakeNullOutput(double speed);
// The default sound device; null when it cannot be opened.
std::unique_ptr<TAudioOutput> MakeDeviceOutput();
// What OXA_AUDIO asks for, falling back to the null output in real time.
std::unique_ptr<TAudioOutput> MakeOutput();

}  // namespace oxaaud
