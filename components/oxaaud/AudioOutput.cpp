#include "components/oxaaud/AudioOutput.h"

#include <alsa/asoundlib.h>

#include <charconv>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace oxaaud {

namespace {

using TClock = std::chrono::steady_clock;

// Keeps the pace of a device without one: each write waits until the frames before it would
// have been played.
class TNullOutput final : public TAudioOutput {
 public:
  explicit TNullOutput(double speed) : FSpeed(speed) {}

  bool Write(const std::int16_t*, int frames) override
  {
    if (FSpeed <= 0) {
      return true;
    }
    if (FFrames == 0) {
      FStart = TClock::now();
    }
    // The write returns when the previous frames are played and these are queued, as a
    // device with a short buffer would.
    const auto due = FStart + std::chrono::duration_cast<TClock::duration>(std::chrono::duration<double>(
                                  static_cast<double>(FFrames) / OutputRate / FSpeed));
    FFrames += frames;
    std::this_thread::sleep_until(due);
    return true;
  }

  void SetPaused(bool paused) override
  {
    // The clock starts afresh after a pause, as after a seek.
    if (!paused) {
      FFrames = 0;
    }
  }
  void Discard() override { FFrames = 0; }
  void Drain() override
  {
    if (FSpeed > 0 && FFrames > 0) {
      std::this_thread::sleep_until(
          FStart + std::chrono::duration_cast<TClock::duration>(
                       std::chrono::duration<double>(static_cast<double>(FFrames) / OutputRate / FSpeed)));
    }
    FFrames = 0;
  }

 private:
  double FSpeed;
  TClock::time_point FStart{};
  std::int64_t FFrames = 0;
};

class TAlsaOutput final : public TAudioOutput {
 public:
  explicit TAlsaOutput(snd_pcm_t* pcm) : FPcm(pcm) {}
  ~TAlsaOutput() override { snd_pcm_close(FPcm); }
  TAlsaOutput(const TAlsaOutput&) = delete;
  TAlsaOutput& operator=(const TAlsaOutput&) = delete;

  bool Write(const std::int16_t* samples, int frames) override
  {
    while (frames > 0) {
      snd_pcm_sframes_t written = snd_pcm_writei(FPcm, samples, static_cast<snd_pcm_uframes_t>(frames));
      if (written < 0) {
        // An underrun or a suspend: recover once and go on; anything else ends the output.
        if (snd_pcm_recover(FPcm, static_cast<int>(written), 1) < 0) {
          return false;
        }
        continue;
      }
      frames -= static_cast<int>(written);
      samples += written * OutputChannels;
    }
    return true;
  }

  void SetPaused(bool paused) override
  {
    // Not every device can pause; dropping the queue and starting afresh works on all.
    if (paused) {
      snd_pcm_drop(FPcm);
    } else {
      snd_pcm_prepare(FPcm);
    }
  }
  void Discard() override
  {
    snd_pcm_drop(FPcm);
    snd_pcm_prepare(FPcm);
  }
  void Drain() override
  {
    snd_pcm_drain(FPcm);
    snd_pcm_prepare(FPcm);
  }

 private:
  snd_pcm_t* FPcm;
};

}  // namespace

TOutputChoice ParseOutputChoice(std::string_view setting)
{
  TOutputChoice choice;
  constexpr std::string_view Null = "null";
  constexpr std::string_view SpeedPrefix = ":speed=";
  if (setting.substr(0, Null.size()) != Null) {
    return choice;
  }
  const std::string_view rest = setting.substr(Null.size());
  if (rest.empty()) {
    choice.Null = true;
    return choice;
  }
  if (rest.substr(0, SpeedPrefix.size()) != SpeedPrefix) {
    return choice;
  }
  const std::string_view number = rest.substr(SpeedPrefix.size());
  double speed = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), speed);
  choice.Null = true;
  // A speed that does not read, or a negative one, keeps real time.
  if (error == std::errc() && end == number.data() + number.size() && speed >= 0) {
    choice.Speed = speed;
  }
  return choice;
}

std::unique_ptr<TAudioOutput> MakeNullOutput(double speed)
{
  return std::make_unique<TNullOutput>(speed);
}

// ALSA writes its own complaints to standard error (no card, no configuration); a machine
// without sound is normal here and falls back quietly.
void QuietAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

std::unique_ptr<TAudioOutput> MakeDeviceOutput()
{
  snd_lib_error_set_handler(&QuietAlsaErrors);
  snd_pcm_t* pcm = nullptr;
  if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, 0) < 0) {
    return nullptr;
  }
  constexpr unsigned LatencyMicroseconds = 200000;
  if (snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED, OutputChannels, OutputRate,
                         1, LatencyMicroseconds) < 0) {
    snd_pcm_close(pcm);
    return nullptr;
  }
  return std::make_unique<TAlsaOutput>(pcm);
}

std::unique_ptr<TAudioOutput> MakeOutput()
{
  const char* setting = std::getenv("OXA_AUDIO");
  const TOutputChoice choice = ParseOutputChoice(setting != nullptr ? setting : "");
  if (choice.Null) {
    return MakeNullOutput(choice.Speed);
  }
  if (auto device = MakeDeviceOutput()) {
    return device;
  }
  return MakeNullOutput(1.0);
}

}  // namespace oxaaud
