// The audio component decoding whole files to the null output as fast as it can
// (OXA_AUDIO=null:speed=0), against a bare libavformat/libavcodec loop decoding the same files
// (no resampling, no output) in the same run; and the processor time one real-time playback
// takes, as a share of one core.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "bench/support/BenchScratch.h"
#include "platform/core/OxaAud.h"
#include "platform/windows/Modules.h"
#include "tools/make-test-media/TestMedia.h"

namespace {

constexpr int TrackMilliseconds = 20000;

// Waits for the component to report the end of the track.
class TEndWaiter final : public IOxaAudCallback {
 public:
  HRESULT QueryInterface(REFIID, void** object) override
  {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  HRESULT StateChanged(BYTE state, BYTE reason) override
  {
    if (state == OxaAudStopped || state == OxaAudClosed) {
      const std::lock_guard lock(FLock);
      FEnded = true;
      FFailed = reason != OxaAudReasonEnded;
      FWake.notify_all();
    }
    return S_OK;
  }
  HRESULT PositionChanged(std::int32_t) override { return S_OK; }

  void Reset()
  {
    const std::lock_guard lock(FLock);
    FEnded = false;
  }
  bool Wait()
  {
    std::unique_lock lock(FLock);
    FWake.wait(lock, [this] { return FEnded; });
    return !FFailed;
  }

 private:
  std::mutex FLock;
  std::condition_variable FWake;
  bool FEnded = false;
  bool FFailed = false;
};

struct TFiles {
  TScratch Scratch;
  std::filesystem::path Mp3;
  std::filesystem::path Wma;

  TFiles() : Mp3(Scratch.HostPath() / "bench.mp3"), Wma(Scratch.HostPath() / "bench.wma")
  {
    testmedia::TMp3Recipe mp3;
    mp3.Audio.Milliseconds = TrackMilliseconds;
    testmedia::WriteMp3(Mp3, mp3);
    testmedia::TWmaRecipe wma;
    wma.Audio.Milliseconds = TrackMilliseconds;
    testmedia::WriteWma(Wma, wma);
  }
  const std::filesystem::path& Of(int kind) const { return kind == 0 ? Mp3 : Wma; }
};

TFiles& Files()
{
  static TFiles files;
  return files;
}

double ProcessSeconds()
{
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

std::u16string Wide(const std::string& text)
{
  return std::u16string(text.begin(), text.end());
}

void BM_ComponentDecode(benchmark::State& state)
{
  setenv("OXA_AUDIO", "null:speed=0", 1);
  const std::filesystem::path& file = Files().Of(static_cast<int>(state.range(0)));
  const std::u16string name = Wide(WindowsPathOf(file.string()));
  TModule module(LoadLibraryA(OXA_OXAAUD_FILE));
  const auto getCtrl = reinterpret_cast<TGetCtrl>(GetProcAddress(module.Get(), GetCtrlName));
  TComPtr<IOxaAud> control;
  if (getCtrl == nullptr || FAILED(getCtrl(control.Receive()))) {
    state.SkipWithError("no audio component");
    return;
  }
  TEndWaiter waiter;
  control->SetCallback(&waiter);
  const double cpuStart = ProcessSeconds();
  for (auto _ : state) {
    waiter.Reset();
    control->Open(name.c_str());
    if (!waiter.Wait()) {
      state.SkipWithError("the file did not play");
      break;
    }
  }
  control->SetCallback(nullptr);
  // The decoding runs on the component's thread: the process's processor time tells the work
  // done whatever else the machine is busy with.
  state.counters["process_cpu_ms"] =
      benchmark::Counter(1000 * (ProcessSeconds() - cpuStart), benchmark::Counter::kAvgIterations);
  state.SetLabel(state.range(0) == 0 ? "mp3" : "wma");
}
BENCHMARK(BM_ComponentDecode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BareDecode(benchmark::State& state)
{
  const std::string file = Files().Of(static_cast<int>(state.range(0))).string();
  const double cpuStart = ProcessSeconds();
  for (auto _ : state) {
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, file.c_str(), nullptr, nullptr) < 0 ||
        avformat_find_stream_info(format, nullptr) < 0) {
      state.SkipWithError("cannot open");
      break;
    }
    const AVCodec* codec = nullptr;
    const int stream = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    AVCodecContext* context = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(context, format->streams[stream]->codecpar);
    avcodec_open2(context, codec, nullptr);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    std::int64_t samples = 0;
    while (av_read_frame(format, packet) >= 0) {
      if (packet->stream_index == stream && avcodec_send_packet(context, packet) >= 0) {
        while (avcodec_receive_frame(context, frame) >= 0) {
          samples += frame->nb_samples;
        }
      }
      av_packet_unref(packet);
    }
    benchmark::DoNotOptimize(samples);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&context);
    avformat_close_input(&format);
  }
  state.counters["process_cpu_ms"] =
      benchmark::Counter(1000 * (ProcessSeconds() - cpuStart), benchmark::Counter::kAvgIterations);
  state.SetLabel(state.range(0) == 0 ? "mp3" : "wma");
}
BENCHMARK(BM_BareDecode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Five seconds of real-time playback of the MP3 through the null output (as with no sound
// device): processor time of the whole process over wall time, in percent of one core.
void BM_RealTimePlaybackCpu(benchmark::State& state)
{
  setenv("OXA_AUDIO", "null", 1);
  const std::u16string name = Wide(WindowsPathOf(Files().Mp3.string()));
  TModule module(LoadLibraryA(OXA_OXAAUD_FILE));
  const auto getCtrl = reinterpret_cast<TGetCtrl>(GetProcAddress(module.Get(), GetCtrlName));
  TComPtr<IOxaAud> control;
  if (getCtrl == nullptr || FAILED(getCtrl(control.Receive()))) {
    state.SkipWithError("no audio component");
    return;
  }
  double cpu = 0;
  double wall = 0;
  for (auto _ : state) {
    const double cpuStart = ProcessSeconds();
    const auto wallStart = std::chrono::steady_clock::now();
    control->Open(name.c_str());
    std::this_thread::sleep_for(std::chrono::seconds(5));
    control->Stop();
    cpu += ProcessSeconds() - cpuStart;
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
  }
  state.counters["cpu_percent_of_core"] = wall > 0 ? 100.0 * cpu / wall : 0;
}
BENCHMARK(BM_RealTimePlaybackCpu)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
