#include "components/oxaaud/Decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <limits>

#include "components/oxaaud/AudioOutput.h"
#include "platform/core/HandleOwner.h"
#include "platform/files/Files.h"

namespace oxaaud {

namespace {

constexpr int IoBufferSize = 64 * 1024;
constexpr std::int64_t TenthsPerSecond = 10;
// Packets that fail in a row before the file counts as undecodable: enough to step over a
// damaged stretch, few enough that garbage ends quickly.
constexpr int MaxFailedPackets = 64;

int ReadPacket(void* opaque, std::uint8_t* buffer, int size)
{
  DWORD read = 0;
  if (ReadFile(static_cast<HANDLE>(opaque), buffer, static_cast<DWORD>(size), &read, nullptr) == FALSE) {
    return AVERROR(EIO);
  }
  return read == 0 ? AVERROR_EOF : static_cast<int>(read);
}

std::int64_t SeekFile(void* opaque, std::int64_t offset, int whence)
{
  const HANDLE file = static_cast<HANDLE>(opaque);
  if ((whence & AVSEEK_SIZE) != 0) {
    LONGLONG size = 0;
    return GetFileSizeEx(file, &size) != FALSE ? size : AVERROR(EIO);
  }
  DWORD method = FILE_BEGIN;
  switch (whence & ~AVSEEK_FORCE) {
    case SEEK_SET:
      method = FILE_BEGIN;
      break;
    case SEEK_CUR:
      method = FILE_CURRENT;
      break;
    case SEEK_END:
      method = FILE_END;
      break;
    default:
      return AVERROR(EINVAL);
  }
  LONGLONG position = 0;
  return SetFilePointerEx(file, offset, &position, method) != FALSE ? position : AVERROR(EIO);
}

}  // namespace

struct TDecoder::TState {
  THandleOwner File;
  AVIOContext* Io = nullptr;
  AVFormatContext* Format = nullptr;
  AVCodecContext* Codec = nullptr;
  SwrContext* Resampler = nullptr;
  AVPacket* Packet = nullptr;
  AVFrame* Frame = nullptr;
  int Stream = -1;
  bool FlushSent = false;

  ~TState()
  {
    av_frame_free(&Frame);
    av_packet_free(&Packet);
    swr_free(&Resampler);
    avcodec_free_context(&Codec);
    avformat_close_input(&Format);
    if (Io != nullptr) {
      av_freep(&Io->buffer);
      avio_context_free(&Io);
    }
  }
};

TDecoder::TDecoder() = default;
TDecoder::~TDecoder() = default;

bool TDecoder::IsOpen() const noexcept
{
  return FState != nullptr;
}

void TDecoder::Close() noexcept
{
  FState.reset();
  FLength = 0;
  FDecodedAny = false;
}

TOpenResult TDecoder::Open(const std::string& windowsPath)
{
  Close();
  // Damaged and odd files are reported through the component's states; FFmpeg's own remarks on
  // them would only clutter the program's standard error.
  av_log_set_level(AV_LOG_FATAL);
  auto state = std::make_unique<TState>();
  state->File.Reset(CreateFileA(windowsPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!state->File.Valid()) {
    return TOpenResult::CannotOpen;
  }
  auto* buffer = static_cast<std::uint8_t*>(av_malloc(IoBufferSize));
  if (buffer == nullptr) {
    return TOpenResult::CannotDecode;
  }
  state->Io = avio_alloc_context(buffer, IoBufferSize, 0, state->File.Get(), &ReadPacket, nullptr, &SeekFile);
  if (state->Io == nullptr) {
    av_free(buffer);
    return TOpenResult::CannotDecode;
  }
  state->Format = avformat_alloc_context();
  if (state->Format == nullptr) {
    return TOpenResult::CannotDecode;
  }
  state->Format->pb = state->Io;
  state->Format->flags |= AVFMT_FLAG_CUSTOM_IO;
  // On failure avformat_open_input frees the context and nulls the pointer.
  if (avformat_open_input(&state->Format, nullptr, nullptr, nullptr) < 0 ||
      avformat_find_stream_info(state->Format, nullptr) < 0) {
    return TOpenResult::CannotDecode;
  }
  const AVCodec* codec = nullptr;
  state->Stream = av_find_best_stream(state->Format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
  if (state->Stream < 0 || codec == nullptr) {
    return TOpenResult::CannotDecode;
  }
  const AVStream* stream = state->Format->streams[state->Stream];
  state->Codec = avcodec_alloc_context3(codec);
  if (state->Codec == nullptr || avcodec_parameters_to_context(state->Codec, stream->codecpar) < 0 ||
      avcodec_open2(state->Codec, codec, nullptr) < 0) {
    return TOpenResult::CannotDecode;
  }
  if (state->Codec->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
    av_channel_layout_default(&state->Codec->ch_layout, state->Codec->ch_layout.nb_channels);
  }
  AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
  if (swr_alloc_set_opts2(&state->Resampler, &stereo, AV_SAMPLE_FMT_S16, OutputRate, &state->Codec->ch_layout,
                          state->Codec->sample_fmt, state->Codec->sample_rate, 0, nullptr) < 0 ||
      swr_init(state->Resampler) < 0) {
    return TOpenResult::CannotDecode;
  }
  state->Packet = av_packet_alloc();
  state->Frame = av_frame_alloc();
  if (state->Packet == nullptr || state->Frame == nullptr) {
    return TOpenResult::CannotDecode;
  }
  std::int64_t tenths = 0;
  if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
    tenths = av_rescale_q(stream->duration, stream->time_base, AVRational{1, TenthsPerSecond});
  } else if (state->Format->duration != AV_NOPTS_VALUE && state->Format->duration > 0) {
    tenths = av_rescale(state->Format->duration, TenthsPerSecond, AV_TIME_BASE);
  }
  FLength = static_cast<std::int32_t>(
      std::clamp<std::int64_t>(tenths, 0, std::numeric_limits<std::int32_t>::max()));
  FState = std::move(state);
  return TOpenResult::Ok;
}

bool TDecoder::Next(std::vector<std::int16_t>& samples)
{
  if (!FState) {
    return false;
  }
  TState& s = *FState;
  int failed = 0;
  for (;;) {
    const int received = avcodec_receive_frame(s.Codec, s.Frame);
    if (received == 0) {
      FDecodedAny = true;
      const int room = swr_get_out_samples(s.Resampler, s.Frame->nb_samples);
      if (room <= 0) {
        continue;
      }
      const std::size_t start = samples.size();
      samples.resize(start + static_cast<std::size_t>(room) * OutputChannels);
      auto* out = reinterpret_cast<std::uint8_t*>(samples.data() + start);
      const int converted =
          swr_convert(s.Resampler, &out, room, const_cast<const std::uint8_t**>(s.Frame->extended_data),
                      s.Frame->nb_samples);
      av_frame_unref(s.Frame);
      samples.resize(start + static_cast<std::size_t>(std::max(converted, 0)) * OutputChannels);
      if (converted > 0) {
        return true;
      }
      continue;
    }
    if (received == AVERROR_EOF) {
      return false;
    }
    if (received != AVERROR(EAGAIN)) {
      // A frame the decoder gave up on: go on with the next packet.
      if (++failed > MaxFailedPackets) {
        return false;
      }
    }
    if (s.FlushSent) {
      return false;
    }
    const int read = av_read_frame(s.Format, s.Packet);
    if (read < 0) {
      // The end (or a read error): let the decoder hand out what it still holds.
      avcodec_send_packet(s.Codec, nullptr);
      s.FlushSent = true;
      continue;
    }
    if (s.Packet->stream_index == s.Stream) {
      if (avcodec_send_packet(s.Codec, s.Packet) < 0 && ++failed > MaxFailedPackets) {
        av_packet_unref(s.Packet);
        return false;
      }
    }
    av_packet_unref(s.Packet);
  }
}

bool TDecoder::Seek(std::int32_t tenths)
{
  if (!FState) {
    return false;
  }
  TState& s = *FState;
  const std::int64_t target = av_rescale(std::max<std::int32_t>(tenths, 0), AV_TIME_BASE, TenthsPerSecond);
  if (avformat_seek_file(s.Format, -1, std::numeric_limits<std::int64_t>::min(), target, target, 0) < 0 &&
      av_seek_frame(s.Format, -1, target, AVSEEK_FLAG_BACKWARD) < 0) {
    return false;
  }
  avcodec_flush_buffers(s.Codec);
  swr_init(s.Resampler);
  s.FlushSent = false;
  return true;
}

}  // namespace oxaaud
