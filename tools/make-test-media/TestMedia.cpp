#include "tools/make-test-media/TestMedia.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <tuple>

#include "tools/make-test-media/StreamCache.h"

namespace testmedia {

namespace {

constexpr int BlockSize = 4096;
constexpr int PcmFrameSamples = 1024;
constexpr std::size_t Id3v2Padding = 32;
constexpr int LibraryFilesPerFolder = 100;

std::string AvError(int code)
{
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

void Check(int code, const char* what)
{
  if (code < 0) {
    throw EMediaError(std::string(what) + ": " + AvError(code));
  }
}

struct TCodecContextFree {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct TFrameFree {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct TPacketFree {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct TParametersFree {
  void operator()(AVCodecParameters* parameters) const { avcodec_parameters_free(&parameters); }
};
struct TFormatFree {
  void operator()(AVFormatContext* format) const { avformat_free_context(format); }
};
struct TDictionaryFree {
  void operator()(AVDictionary* dictionary) const { av_dict_free(&dictionary); }
};
using TPacketPtr = std::unique_ptr<AVPacket, TPacketFree>;

// Small, fast and reproducible: the same seed gives the same sequence everywhere.
class TNoise {
 public:
  explicit TNoise(std::uint32_t seed) : FState(seed * 2654435761U + 0x9E3779B9U) {}
  std::uint32_t Next()
  {
    FState ^= FState << 13;
    FState ^= FState >> 17;
    FState ^= FState << 5;
    return FState;
  }
  // Uniform in [-1, 1).
  double Signed() { return static_cast<double>(Next()) / 2147483648.0 - 1.0; }

 private:
  std::uint32_t FState;
};

class TSignal {
 public:
  explicit TSignal(const TAudio& audio)
      : FAudio(audio),
        FNoise(audio.Seed),
        FSilenceFrom(static_cast<std::int64_t>(audio.SampleRate) *
                     (audio.Milliseconds - audio.SilentTailMilliseconds) / 1000)
  {
    for (double& frequency : FFrequencies) {
      frequency = 110.0 + static_cast<double>(FNoise.Next() % 770);
    }
  }
  double Sample(std::int64_t index, int channel)
  {
    if (index >= FSilenceFrom) {
      return 0.0;
    }
    const double time = static_cast<double>(index) / FAudio.SampleRate;
    if (FAudio.PureToneHz > 0) {
      return PureToneLevel * std::sin(2.0 * M_PI * FAudio.PureToneHz * time);
    }
    double value = 0.05 * FNoise.Signed();
    for (std::size_t tone = 0; tone < std::size(FFrequencies); ++tone) {
      const double frequency = FFrequencies[tone] * (1.0 + 0.01 * channel);
      value += 0.2 * std::sin(2.0 * M_PI * frequency * time + static_cast<double>(tone));
    }
    return value;
  }

 private:
  static constexpr double PureToneLevel = 0.9;

  TAudio FAudio;
  TNoise FNoise;
  std::int64_t FSilenceFrom;  // the first sample of the silent tail
  double FFrequencies[3] = {};
};

void FillFrame(AVFrame& frame, TSignal& signal, std::int64_t first, int channels)
{
  const auto format = static_cast<AVSampleFormat>(frame.format);
  for (int i = 0; i < frame.nb_samples; ++i) {
    for (int c = 0; c < channels; ++c) {
      const double value = signal.Sample(first + i, c);
      const auto pcm = static_cast<std::int16_t>(std::lround(value * 32767.0 * 0.9));
      switch (format) {
        case AV_SAMPLE_FMT_S16:
          reinterpret_cast<std::int16_t*>(frame.data[0])[i * channels + c] = pcm;
          break;
        case AV_SAMPLE_FMT_S16P:
          reinterpret_cast<std::int16_t*>(frame.data[c])[i] = pcm;
          break;
        case AV_SAMPLE_FMT_FLT:
          reinterpret_cast<float*>(frame.data[0])[i * channels + c] = static_cast<float>(value);
          break;
        case AV_SAMPLE_FMT_FLTP:
          reinterpret_cast<float*>(frame.data[c])[i] = static_cast<float>(value);
          break;
        default:
          throw EMediaError("unsupported sample format");
      }
    }
  }
}

AVSampleFormat PickSampleFormat(const AVCodec& codec)
{
  if (codec.sample_fmts == nullptr) {
    return AV_SAMPLE_FMT_S16;
  }
  for (const AVSampleFormat* format = codec.sample_fmts; *format != AV_SAMPLE_FMT_NONE; ++format) {
    switch (*format) {
      case AV_SAMPLE_FMT_S16:
      case AV_SAMPLE_FMT_S16P:
      case AV_SAMPLE_FMT_FLT:
      case AV_SAMPLE_FMT_FLTP:
        return *format;
      default:
        break;
    }
  }
  throw EMediaError(std::string("no usable sample format for ") + codec.name);
}

struct TEncoderSettings {
  const char* Codec;
  std::int64_t Bitrate = 0;    // bit/s; 0 for none
  std::optional<int> Quality;  // variable bit rate
};

}  // namespace

struct TWmaAudio::TEncoded {
  std::unique_ptr<AVCodecParameters, TParametersFree> Parameters;
  AVRational TimeBase{};
  std::vector<TPacketPtr> Packets;
};

namespace {

using TEncoded = TWmaAudio::TEncoded;

TEncoded Encode(const TAudio& audio, const TEncoderSettings& settings)
{
  const AVCodec* codec = avcodec_find_encoder_by_name(settings.Codec);
  if (codec == nullptr) {
    throw EMediaError(std::string("no encoder ") + settings.Codec);
  }
  std::unique_ptr<AVCodecContext, TCodecContextFree> context(avcodec_alloc_context3(codec));
  if (!context) {
    throw EMediaError("out of memory");
  }
  context->sample_rate = audio.SampleRate;
  av_channel_layout_default(&context->ch_layout, audio.Channels);
  context->sample_fmt = PickSampleFormat(*codec);
  context->time_base = AVRational{1, audio.SampleRate};
  context->flags |= AV_CODEC_FLAG_BITEXACT;
  if (settings.Quality) {
    context->flags |= AV_CODEC_FLAG_QSCALE;
    context->global_quality = FF_QP2LAMBDA * *settings.Quality;
  } else if (settings.Bitrate > 0) {
    context->bit_rate = settings.Bitrate;
  }
  Check(avcodec_open2(context.get(), codec, nullptr), settings.Codec);

  const int frameSamples = context->frame_size > 0 ? context->frame_size : PcmFrameSamples;
  std::unique_ptr<AVFrame, TFrameFree> frame(av_frame_alloc());
  std::unique_ptr<AVPacket, TPacketFree> packet(av_packet_alloc());
  if (!frame || !packet) {
    throw EMediaError("out of memory");
  }
  frame->format = context->sample_fmt;
  frame->sample_rate = audio.SampleRate;
  frame->nb_samples = frameSamples;
  Check(av_channel_layout_copy(&frame->ch_layout, &context->ch_layout), "channel layout");
  Check(av_frame_get_buffer(frame.get(), 0), "frame buffer");

  TEncoded encoded;
  encoded.TimeBase = context->time_base;
  auto drain = [&] {
    for (;;) {
      const int result = avcodec_receive_packet(context.get(), packet.get());
      if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) {
        return;
      }
      Check(result, "encoding");
      encoded.Packets.emplace_back(av_packet_clone(packet.get()));
      av_packet_unref(packet.get());
    }
  };

  TSignal signal(audio);
  const std::int64_t total = static_cast<std::int64_t>(audio.SampleRate) * audio.Milliseconds / 1000;
  for (std::int64_t done = 0; done < total; done += frameSamples) {
    Check(av_frame_make_writable(frame.get()), "frame");
    frame->nb_samples = static_cast<int>(std::min<std::int64_t>(frameSamples, total - done));
    if (frame->nb_samples < frameSamples && (codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) == 0) {
      frame->nb_samples = frameSamples;
    }
    FillFrame(*frame, signal, done, audio.Channels);
    frame->pts = done;
    Check(avcodec_send_frame(context.get(), frame.get()), "encoding");
    drain();
  }
  Check(avcodec_send_frame(context.get(), nullptr), "encoding");
  drain();

  encoded.Parameters.reset(avcodec_parameters_alloc());
  if (!encoded.Parameters) {
    throw EMediaError("out of memory");
  }
  Check(avcodec_parameters_from_context(encoded.Parameters.get(), context.get()), "parameters");
  return encoded;
}

// A seekable output in memory, so muxers that go back to finish their header (ASF, WAV) can.
class TMemoryOutput {
 public:
  TMemoryOutput()
  {
    auto* buffer = static_cast<unsigned char*>(av_malloc(BlockSize));
    if (buffer == nullptr) {
      throw EMediaError("out of memory");
    }
    FContext = avio_alloc_context(buffer, BlockSize, 1, this, nullptr, &WritePacket, &SeekPacket);
    if (FContext == nullptr) {
      av_free(buffer);
      throw EMediaError("out of memory");
    }
  }
  ~TMemoryOutput()
  {
    av_freep(&FContext->buffer);
    avio_context_free(&FContext);
  }
  TMemoryOutput(const TMemoryOutput&) = delete;
  TMemoryOutput& operator=(const TMemoryOutput&) = delete;

  AVIOContext* Context() const noexcept { return FContext; }
  TBytes Take()
  {
    avio_flush(FContext);
    return std::move(FData);
  }

 private:
  static int WritePacket(void* opaque, std::uint8_t* data, int size)
  {
    auto& self = *static_cast<TMemoryOutput*>(opaque);
    const auto end = static_cast<std::size_t>(self.FPosition) + static_cast<std::size_t>(size);
    if (self.FData.size() < end) {
      self.FData.resize(end);
    }
    std::memcpy(self.FData.data() + self.FPosition, data, static_cast<std::size_t>(size));
    self.FPosition = static_cast<std::int64_t>(end);
    return size;
  }
  static std::int64_t SeekPacket(void* opaque, std::int64_t offset, int whence)
  {
    auto& self = *static_cast<TMemoryOutput*>(opaque);
    const auto size = static_cast<std::int64_t>(self.FData.size());
    switch (whence & ~AVSEEK_FORCE) {
      case AVSEEK_SIZE:
        return size;
      case SEEK_SET:
        break;
      case SEEK_CUR:
        offset += self.FPosition;
        break;
      case SEEK_END:
        offset += size;
        break;
      default:
        return AVERROR(EINVAL);
    }
    if (offset < 0) {
      return AVERROR(EINVAL);
    }
    self.FPosition = offset;
    return offset;
  }

  AVIOContext* FContext = nullptr;
  TBytes FData;
  std::int64_t FPosition = 0;
};

TBytes Mux(const char* formatName, const TEncoded& encoded,
           const std::vector<std::pair<std::string, std::string>>& metadata,
           const std::vector<std::pair<const char*, const char*>>& options)
{
  AVFormatContext* raw = nullptr;
  Check(avformat_alloc_output_context2(&raw, nullptr, formatName, nullptr), formatName);
  std::unique_ptr<AVFormatContext, TFormatFree> format(raw);
  format->flags |= AVFMT_FLAG_BITEXACT;
  if (std::strcmp(formatName, "ipod") == 0) {
    // The muxer warns of any other name; the bytes go to memory all the same.
    format->url = av_strdup("memory.m4a");
  }
  AVStream* stream = avformat_new_stream(format.get(), nullptr);
  if (stream == nullptr) {
    throw EMediaError("out of memory");
  }
  Check(avcodec_parameters_copy(stream->codecpar, encoded.Parameters.get()), "parameters");
  stream->time_base = encoded.TimeBase;
  for (const auto& [key, value] : metadata) {
    Check(av_dict_set(&format->metadata, key.c_str(), value.c_str(), 0), "metadata");
  }
  AVDictionary* rawOptions = nullptr;
  for (const auto& [key, value] : options) {
    Check(av_dict_set(&rawOptions, key, value, 0), "options");
  }
  std::unique_ptr<AVDictionary, TDictionaryFree> muxerOptions(rawOptions);

  TMemoryOutput output;
  format->pb = output.Context();
  AVDictionary* pending = muxerOptions.release();
  const int opened = avformat_write_header(format.get(), &pending);
  muxerOptions.reset(pending);
  Check(opened, formatName);
  for (const TPacketPtr& source : encoded.Packets) {
    TPacketPtr packet(av_packet_clone(source.get()));
    if (!packet) {
      throw EMediaError("out of memory");
    }
    av_packet_rescale_ts(packet.get(), encoded.TimeBase, stream->time_base);
    packet->stream_index = stream->index;
    Check(av_interleaved_write_frame(format.get(), packet.get()), formatName);
  }
  Check(av_write_trailer(format.get()), formatName);
  return output.Take();
}

std::string Latin1(const std::string& utf8)
{
  std::string result;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    char32_t code = lead;
    std::size_t length = 1;
    if (lead >= 0xC0 && lead < 0xE0 && i + 1 < utf8.size()) {
      code = ((lead & 0x1FU) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3FU);
      length = 2;
    } else if (lead >= 0xE0) {
      code = 0xFFFD;
      length = lead < 0xF0 ? 3 : 4;
    }
    result.push_back(code <= 0xFF ? static_cast<char>(code) : '?');
    i += length;
  }
  return result;
}

void PutBigEndian32(TBytes& bytes, std::uint32_t value)
{
  for (int shift = 24; shift >= 0; shift -= 8) {
    bytes.push_back(static_cast<std::uint8_t>(value >> shift));
  }
}

std::uint8_t EncodingByte(TTextEncoding encoding)
{
  return static_cast<std::uint8_t>(encoding);
}

std::u16string Utf16(const std::string& utf8)
{
  std::u16string units;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t code = length == 1   ? lead
                    : length == 2 ? lead & 0x1FU
                    : length == 3 ? lead & 0x0FU
                                  : lead & 0x07U;
    for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k) {
      code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3FU);
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      units.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      units.push_back(static_cast<char16_t>(code));
    }
    i += length;
  }
  return units;
}

// A text in the encoding, with a terminator when another string follows it.
void AppendText(TBytes& data, TTextEncoding encoding, const std::string& text, bool terminate)
{
  switch (encoding) {
    case TTextEncoding::Latin1: {
      const std::string latin1 = Latin1(text);
      data.insert(data.end(), latin1.begin(), latin1.end());
      break;
    }
    case TTextEncoding::Utf8:
      data.insert(data.end(), text.begin(), text.end());
      break;
    case TTextEncoding::Utf16:
    case TTextEncoding::Utf16BigEndian: {
      const bool bigEndian = encoding == TTextEncoding::Utf16BigEndian;
      if (!bigEndian) {
        data.insert(data.end(), {0xFF, 0xFE});
      }
      for (const char16_t unit : Utf16(text)) {
        const auto high = static_cast<std::uint8_t>(unit >> 8);
        const auto low = static_cast<std::uint8_t>(unit & 0xFF);
        data.insert(data.end(), bigEndian ? std::initializer_list<std::uint8_t>{high, low}
                                          : std::initializer_list<std::uint8_t>{low, high});
      }
      if (terminate) {
        data.push_back(0);
      }
      break;
    }
  }
  if (terminate) {
    data.push_back(0);
  }
}

void PutSlot(TBytes& tag, std::size_t offset, std::size_t width, const std::string& text)
{
  const std::string latin1 = Latin1(text);
  std::memcpy(tag.data() + offset, latin1.data(), std::min(width, latin1.size()));
}

// Everything the encoded stream depends on, the encoder's version among it.
std::string Mp3StreamKey(const TMp3Recipe& recipe)
{
  const TAudio& audio = recipe.Audio;
  char key[256];
  std::snprintf(key, sizeof key, "mp3-%u-%d-%d-%d-%u-%a-%d-%s%d-%d.mp3", avcodec_version(),
                audio.Milliseconds, audio.SampleRate, audio.Channels, audio.Seed, audio.PureToneHz,
                audio.SilentTailMilliseconds, recipe.Mode == TBitRateMode::Variable ? "q" : "b",
                recipe.Mode == TBitRateMode::Variable ? recipe.VbrQuality : recipe.BitrateKbps,
                recipe.XingFrame ? 1 : 0);
  return key;
}

TBytes EncodeMp3StreamAfresh(const TMp3Recipe& recipe)
{
  TEncoderSettings settings{"libmp3lame"};
  if (recipe.Mode == TBitRateMode::Variable) {
    settings.Quality = recipe.VbrQuality;
  } else {
    settings.Bitrate = static_cast<std::int64_t>(recipe.BitrateKbps) * 1000;
  }
  const TEncoded encoded = Encode(recipe.Audio, settings);
  // Tags are added by ComposeMp3; without a Xing frame every frame is audio.
  return Mux("mp3", encoded, {},
             {{"id3v2_version", "0"}, {"write_xing", recipe.XingFrame ? "1" : "0"}, {"write_id3v1", "0"}});
}

}  // namespace

TBytes EncodeMp3Stream(const TMp3Recipe& recipe)
{
  const std::string key = Mp3StreamKey(recipe);
  if (auto cached = CachedStream(key)) {
    return std::move(*cached);
  }
  TBytes stream = EncodeMp3StreamAfresh(recipe);
  CacheStream(key, stream);
  return stream;
}

TBytes ComposeId3v2(const TId3v2Fields& fields)
{
  const bool v22 = fields.Version == 2;
  const bool v24 = fields.Version == 4;
  const auto frame = [&](TBytes& body, const char* id3, const char* id4, const TBytes& data) {
    const char* id = v22 ? id3 : id4;
    body.insert(body.end(), id, id + (v22 ? 3 : 4));
    const auto size = static_cast<std::uint32_t>(data.size());
    if (v22) {
      for (int shift = 16; shift >= 0; shift -= 8) {
        body.push_back(static_cast<std::uint8_t>(size >> shift));
      }
    } else if (v24) {
      for (int shift = 21; shift >= 0; shift -= 7) {
        body.push_back(static_cast<std::uint8_t>((size >> shift) & 0x7F));
      }
    } else {
      PutBigEndian32(body, size);
    }
    if (!v22) {
      body.push_back(0);
      body.push_back(0);
    }
    body.insert(body.end(), data.begin(), data.end());
  };
  TBytes body;
  const std::tuple<const char*, const char*, const std::string*> texts[] = {
      {"TT2", "TIT2", &fields.Title}, {"TP1", "TPE1", &fields.Artist},
      {"TAL", "TALB", &fields.Album}, {"TYE", v24 ? "TDRC" : "TYER", &fields.Year},
      {"TCO", "TCON", &fields.Genre}, {"TRK", "TRCK", &fields.Track},
  };
  for (const auto& [id3, id4, text] : texts) {
    if (!text->empty()) {
      TBytes data{EncodingByte(fields.Encoding)};
      AppendText(data, fields.Encoding, *text, false);
      frame(body, id3, id4, data);
    }
  }
  std::vector<TId3v2Comment> comments;
  if (!fields.Comment.empty()) {
    comments.push_back({"", fields.Comment});
  }
  comments.insert(comments.end(), fields.MoreComments.begin(), fields.MoreComments.end());
  for (const TId3v2Comment& comment : comments) {
    TBytes data{EncodingByte(fields.Encoding), 'e', 'n', 'g'};
    AppendText(data, fields.Encoding, comment.Description, true);
    AppendText(data, fields.Encoding, comment.Text, false);
    frame(body, "COM", "COMM", data);
  }
  if (fields.PictureBytes > 0 || !fields.Picture.empty()) {
    const bool png = fields.Picture.size() > 1 && fields.Picture[1] == 'P';
    TBytes data{0};
    if (v22) {
      data.insert(data.end(), {'J', 'P', 'G'});
      if (png) {
        data.assign({0, 'P', 'N', 'G'});
      }
    } else {
      const std::string mime = png ? "image/png" : "image/jpeg";
      data.insert(data.end(), mime.begin(), mime.end());
      data.push_back(0);
    }
    data.push_back(fields.PictureType);
    data.push_back(0);  // no description
    if (!fields.Picture.empty()) {
      data.insert(data.end(), fields.Picture.begin(), fields.Picture.end());
    }
    for (std::size_t i = 0; fields.Picture.empty() && i < fields.PictureBytes; ++i) {
      // Busy bytes with frame-sync look-alikes, as real pictures have.
      data.push_back(i % 97 == 0 ? 0xFF : static_cast<std::uint8_t>(0xE0 + i % 31));
    }
    frame(body, "PIC", "APIC", data);
  }
  body.resize(body.size() + Id3v2Padding, 0);
  TBytes tag{'I', 'D', '3', static_cast<std::uint8_t>(fields.Version), 0, 0};
  const auto size = static_cast<std::uint32_t>(body.size());
  for (int shift = 21; shift >= 0; shift -= 7) {
    tag.push_back(static_cast<std::uint8_t>((size >> shift) & 0x7F));
  }
  tag.insert(tag.end(), body.begin(), body.end());
  return tag;
}

std::uint32_t PictureColor(const TPictureRecipe& recipe, int x, int y) noexcept
{
  TNoise noise(recipe.Seed);
  const std::uint32_t base = noise.Next() | 0x404040U;
  const int dx = x * 2 - recipe.Width;
  const int dy = y * 2 - recipe.Height;
  const int radius = std::min(recipe.Width, recipe.Height) * 2 / 3;
  if (y >= recipe.Height * 3 / 4 && y < recipe.Height * 7 / 8) {
    return 0x202020;
  }
  if (dx * dx + dy * dy < radius * radius) {
    return ((base & 0xFEFEFEU) >> 1) + 0x7F7F7FU;
  }
  return base & 0xFFFFFFU;
}

TBytes EncodePicture(const TPictureRecipe& recipe)
{
  const bool jpeg = recipe.Format == TPictureFormat::Jpeg;
  const AVCodec* codec = avcodec_find_encoder(jpeg ? AV_CODEC_ID_MJPEG : AV_CODEC_ID_PNG);
  if (codec == nullptr) {
    throw EMediaError("no picture encoder");
  }
  const AVPixelFormat format = jpeg                                            ? AV_PIX_FMT_YUVJ420P
                               : recipe.Format == TPictureFormat::PngWithAlpha ? AV_PIX_FMT_RGBA
                               : recipe.Format == TPictureFormat::PngGrey      ? AV_PIX_FMT_GRAY8
                                                                               : AV_PIX_FMT_RGB24;
  std::unique_ptr<AVCodecContext, TCodecContextFree> context(avcodec_alloc_context3(codec));
  context->width = recipe.Width;
  context->height = recipe.Height;
  context->pix_fmt = format;
  context->time_base = AVRational{1, 25};
  if (jpeg) {
    context->flags |= AV_CODEC_FLAG_QSCALE;
    context->global_quality = FF_QP2LAMBDA * 3;
  }
  Check(avcodec_open2(context.get(), codec, nullptr), "opening the picture encoder");
  std::unique_ptr<AVFrame, TFrameFree> frame(av_frame_alloc());
  frame->format = format;
  frame->width = recipe.Width;
  frame->height = recipe.Height;
  Check(av_frame_get_buffer(frame.get(), 0), "picture buffer");
  for (int y = 0; y < recipe.Height; ++y) {
    for (int x = 0; x < recipe.Width; ++x) {
      const std::uint32_t color = PictureColor(recipe, x, y);
      const int r = static_cast<int>(color >> 16);
      const int g = static_cast<int>((color >> 8) & 0xFF);
      const int b = static_cast<int>(color & 0xFF);
      std::uint8_t* row = frame->data[0] + static_cast<std::ptrdiff_t>(y) * frame->linesize[0];
      const int luma = (299 * r + 587 * g + 114 * b + 500) / 1000;
      switch (format) {
        case AV_PIX_FMT_RGBA:
          row[x * 4] = static_cast<std::uint8_t>(r);
          row[x * 4 + 1] = static_cast<std::uint8_t>(g);
          row[x * 4 + 2] = static_cast<std::uint8_t>(b);
          // The top-left quarter is see-through.
          row[x * 4 + 3] = (x < recipe.Width / 4 && y < recipe.Height / 4) ? 0 : 255;
          break;
        case AV_PIX_FMT_GRAY8:
          row[x] = static_cast<std::uint8_t>(luma);
          break;
        case AV_PIX_FMT_RGB24:
          row[x * 3] = static_cast<std::uint8_t>(r);
          row[x * 3 + 1] = static_cast<std::uint8_t>(g);
          row[x * 3 + 2] = static_cast<std::uint8_t>(b);
          break;
        default:
          row[x] = static_cast<std::uint8_t>(luma);
          if (x % 2 == 0 && y % 2 == 0) {
            const auto cb =
                static_cast<std::uint8_t>(std::clamp(128 + (-169 * r - 331 * g + 500 * b) / 1000, 0, 255));
            const auto cr =
                static_cast<std::uint8_t>(std::clamp(128 + (500 * r - 419 * g - 81 * b) / 1000, 0, 255));
            frame->data[1][static_cast<std::ptrdiff_t>(y / 2) * frame->linesize[1] + x / 2] = cb;
            frame->data[2][static_cast<std::ptrdiff_t>(y / 2) * frame->linesize[2] + x / 2] = cr;
          }
          break;
      }
    }
  }
  Check(avcodec_send_frame(context.get(), frame.get()), "encoding the picture");
  Check(avcodec_send_frame(context.get(), nullptr), "encoding the picture");
  TPacketPtr packet(av_packet_alloc());
  TBytes bytes;
  while (avcodec_receive_packet(context.get(), packet.get()) >= 0) {
    bytes.insert(bytes.end(), packet->data, packet->data + packet->size);
    av_packet_unref(packet.get());
  }
  if (bytes.empty()) {
    throw EMediaError("the picture encoder gave nothing");
  }
  return bytes;
}

TBytes ComposeId3v1(const TId3v1Fields& fields)
{
  TBytes tag(128, 0);
  std::memcpy(tag.data(), "TAG", 3);
  PutSlot(tag, 3, 30, fields.Title);
  PutSlot(tag, 33, 30, fields.Artist);
  PutSlot(tag, 63, 30, fields.Album);
  PutSlot(tag, 93, 4, fields.Year);
  PutSlot(tag, 97, 28, fields.Comment);
  tag[125] = 0;
  tag[126] = static_cast<std::uint8_t>(fields.Track);
  tag[127] = static_cast<std::uint8_t>(fields.Genre);
  return tag;
}

TBytes ComposeMp3(const TBytes& stream, const TMp3Recipe& recipe)
{
  TBytes file;
  if (recipe.Id3v2) {
    file = ComposeId3v2(*recipe.Id3v2);
  }
  file.insert(file.end(), stream.begin(), stream.end());
  if (recipe.Id3v1) {
    const TBytes tail = ComposeId3v1(*recipe.Id3v1);
    file.insert(file.end(), tail.begin(), tail.end());
  }
  return file;
}

TWmaAudio::TWmaAudio(const TWmaRecipe& recipe)
    : FEncoded(std::make_unique<TEncoded>(Encode(
          recipe.Audio, TEncoderSettings{"wmav2", static_cast<std::int64_t>(recipe.BitrateKbps) * 1000})))
{
}

TWmaAudio::~TWmaAudio() = default;

TBytes TWmaAudio::Mux(const std::vector<std::pair<std::string, std::string>>& attributes) const
{
  // The muxer takes the content description from its own key names.
  std::vector<std::pair<std::string, std::string>> metadata;
  for (const auto& [name, value] : attributes) {
    if (name == "Title") {
      metadata.emplace_back("title", value);
    } else if (name == "Author") {
      metadata.emplace_back("author", value);
    } else if (name == "Description") {
      metadata.emplace_back("comment", value);
    } else if (name == "Copyright") {
      metadata.emplace_back("copyright", value);
    } else {
      metadata.emplace_back(name, value);
    }
  }
  return testmedia::Mux("asf", *FEncoded, metadata, {});
}

namespace {

constexpr int OpusSampleRate = 48000;

TEncoderSettings ModernEncoder(TModernFormat format, int bitrateKbps)
{
  const std::int64_t bitrate = static_cast<std::int64_t>(bitrateKbps) * 1000;
  switch (format) {
    case TModernFormat::Flac:
      return TEncoderSettings{"flac"};
    case TModernFormat::OggVorbis:
      return TEncoderSettings{"libvorbis", bitrate};
    case TModernFormat::Opus:
      return TEncoderSettings{"libopus", bitrate};
    case TModernFormat::M4a:
      return TEncoderSettings{"aac", bitrate};
  }
  throw EMediaError("unknown format");
}

TAudio ModernAudio(TModernFormat format, TAudio audio)
{
  if (format == TModernFormat::Opus) {
    audio.SampleRate = OpusSampleRate;
  }
  return audio;
}

const char* MuxerOf(TModernFormat format) noexcept
{
  switch (format) {
    case TModernFormat::Flac:
      return "flac";
    case TModernFormat::OggVorbis:
    case TModernFormat::Opus:
      return "ogg";
    case TModernFormat::M4a:
      return "ipod";
  }
  return "";
}

}  // namespace

const char* ExtensionOf(TModernFormat format) noexcept
{
  switch (format) {
    case TModernFormat::Flac:
      return ".flac";
    case TModernFormat::OggVorbis:
      return ".ogg";
    case TModernFormat::Opus:
      return ".opus";
    case TModernFormat::M4a:
      return ".m4a";
  }
  return "";
}

TModernAudio::TModernAudio(TModernFormat format, const TAudio& audio, int bitrateKbps)
    : FFormat(format),
      FEncoded(
          std::make_unique<TEncoded>(Encode(ModernAudio(format, audio), ModernEncoder(format, bitrateKbps))))
{
}

TModernAudio::~TModernAudio() = default;

TBytes TModernAudio::Mux(const TMetadata& tags) const
{
  return testmedia::Mux(MuxerOf(FFormat), *FEncoded, tags, {});
}

void WriteModern(const std::filesystem::path& file, const TModernRecipe& recipe)
{
  WriteBytes(file, TModernAudio(recipe.Format, recipe.Audio, recipe.BitrateKbps).Mux(recipe.Tags));
}

void WriteBytes(const std::filesystem::path& file, const TBytes& bytes)
{
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    throw std::filesystem::filesystem_error("cannot write", file, std::make_error_code(std::errc::io_error));
  }
}

void WriteMp3(const std::filesystem::path& file, const TMp3Recipe& recipe)
{
  WriteBytes(file, ComposeMp3(EncodeMp3Stream(recipe), recipe));
}

void WriteWma(const std::filesystem::path& file, const TWmaRecipe& recipe)
{
  WriteBytes(file, TWmaAudio(recipe).Mux(recipe.Attributes));
}

void WriteWav(const std::filesystem::path& file, const TWavRecipe& recipe)
{
  WriteBytes(file, Mux("wav", Encode(recipe.Audio, TEncoderSettings{"pcm_s16le"}), {}, {}));
}

namespace {

// Names as real libraries have them; the first fit ISO-8859-1, the others need Unicode. A literal
// is split where a hex escape must end before a letter that would extend it.
// NOLINTBEGIN(bugprone-suspicious-missing-comma)
constexpr const char* Latin1Names[] = {
    "\xC3\x87"
    "elik S\xC3\xB8ren",
    "Zo\xC3\xAB M\xC3\xBCller", "\xC3\x85ngstr\xC3\xB6m Caf\xC3\xA9", "Ni\xC3\xB1o P\xC3\xA9rez"};
constexpr const char* UnicodeNames[] = {
    "\xC3\x87"
    "a\xC4\x9F"
    "la Andersen",                                                                 // Turkish
    "\xCE\x9A\xCF\x8C\xCF\x83\xCE\xBC\xCE\xBF\xCF\x82",                            // Greek
    "\xD0\x9C\xD0\xB8\xD1\x80 \xD0\xB8 \xD0\x92\xD0\xBE\xD0\xB9\xD0\xBD\xD0\xB0",  // Cyrillic
    "\xE6\x98\x9F\xE7\xA9\xBA\xE3\x81\xAE\xE6\xAD\x8C",                            // CJK
    "\xED\x95\x98\xEB\x8A\x98 \xEB\x85\xB8\xEB\x9E\x98",                           // Hangul
};
// NOLINTEND(bugprone-suspicious-missing-comma)
struct TGenre {
  const char* Written;
  const char* Read;
  int Number;
};
constexpr TGenre LibraryGenreTable[] = {{"(17)", "Rock", 17},
                                        {"Ambient", "Ambient", 26},
                                        {"(8)", "Jazz", 8},
                                        {"(13)", "Pop", 13},
                                        {"(0)", "Blues", 0}};
constexpr int LibraryKindCount = 8;

// One file of today's formats, slot telling which variant: FLAC slots 1, 3 and 5 carry "n/m"
// tracks, 1 and 4 a full date, 5 no tags at all; M4A always has a "trkn" pair; Unicode names
// from slot 3 on.
TLibraryFile WriteModernEntry(const TModernAudio& audio, const std::filesystem::path& subfolder, int i,
                              int slot, int seconds)
{
  const std::string n = std::to_string(i);
  const bool unicode = slot >= 3;
  const auto name = [&](int salt) {
    return unicode ? std::string(UnicodeNames[(i + salt) % std::size(UnicodeNames)])
                   : std::string(Latin1Names[(i + salt) % std::size(Latin1Names)]);
  };
  const TGenre& genre = LibraryGenreTable[i % std::size(LibraryGenreTable)];
  const int track = i % 20 + 1;
  const bool tagged = slot != 5;
  TLibraryFile entry;
  entry.Tagged = tagged;
  entry.Title = tagged ? name(0) + " " + n : "Unknown";
  entry.Artist = tagged ? name(1) : "Unknown";
  entry.Album = tagged ? name(2) + " " + std::to_string(i % 91) : "Unknown";
  entry.Comment = tagged ? "Comment " + n : "Unknown";
  entry.Genre = tagged ? genre.Read : "Unknown";
  entry.Year = tagged ? 1960 + i % 60 : 0;
  entry.Track = tagged ? track : 0;
  entry.Seconds = seconds;
  const bool pair = audio.Format() == TModernFormat::M4a || slot % 2 == 1;
  const bool fullDate = slot == 1 || slot == 4;
  TMetadata tags;
  if (tagged) {
    tags = {{"title", entry.Title},
            {"artist", entry.Artist},
            {"album", entry.Album},
            {"comment", entry.Comment},
            {"genre", entry.Genre},
            {"date", std::to_string(entry.Year) + (fullDate ? "-05-17" : "")},
            {"track", std::to_string(track) + (pair ? "/20" : "")}};
  }
  entry.File = subfolder / ("Track" + n + ExtensionOf(audio.Format()));
  WriteBytes(entry.File, audio.Mux(tags));
  return entry;
}

}  // namespace

namespace {

// Of every TodayCycle files of the Today mix, the first TodayModernSlots are of today's formats.
constexpr int TodayCycle = 20;
constexpr int TodayModernSlots = 10;
constexpr TModernFormat TodaySlots[TodayModernSlots] = {
    TModernFormat::Flac,      TModernFormat::Flac, TModernFormat::Flac, TModernFormat::Flac,
    TModernFormat::Flac,      TModernFormat::Flac, TModernFormat::M4a,  TModernFormat::M4a,
    TModernFormat::OggVorbis, TModernFormat::Opus};

}  // namespace

std::vector<TLibraryFile> WriteLibrary(const std::filesystem::path& folder, int count, std::uint32_t seed,
                                       TLibraryMix mix, int milliseconds)
{
  if (milliseconds < MinLibraryMilliseconds) {
    throw EMediaError("a library's files play for at least " + std::to_string(MinLibraryMilliseconds) +
                      " ms");
  }
  TAudio audio;
  audio.Milliseconds = milliseconds;
  const int seconds = milliseconds / 1000;
  audio.Seed = seed;
  TMp3Recipe constant;
  constant.Audio = audio;
  TMp3Recipe variable = constant;
  variable.Mode = TBitRateMode::Variable;
  variable.XingFrame = true;
  variable.Audio.Seed = seed + 1;
  TMp3Recipe mpeg2 = constant;
  mpeg2.Audio.SampleRate = 22050;
  mpeg2.BitrateKbps = 64;
  mpeg2.Audio.Seed = seed + 3;
  const TBytes constantStream = EncodeMp3Stream(constant);
  const TBytes variableStream = EncodeMp3Stream(variable);
  const TBytes mpeg2Stream = EncodeMp3Stream(mpeg2);
  TWmaRecipe wmaRecipe;
  wmaRecipe.Audio = audio;
  wmaRecipe.Audio.Seed = seed + 2;
  const TWmaAudio wma(wmaRecipe);
  std::vector<std::unique_ptr<TModernAudio>> modern;
  if (mix == TLibraryMix::Today) {
    for (const TModernFormat format :
         {TModernFormat::Flac, TModernFormat::OggVorbis, TModernFormat::Opus, TModernFormat::M4a}) {
      TAudio formatAudio = audio;
      formatAudio.Seed = seed + 4 + static_cast<std::uint32_t>(format);
      modern.push_back(std::make_unique<TModernAudio>(format, formatAudio));
    }
  }

  std::vector<TLibraryFile> files;
  for (int i = 0; i < count; ++i) {
    const std::filesystem::path subfolder = folder / ("Folder" + std::to_string(i / LibraryFilesPerFolder));
    std::filesystem::create_directories(subfolder);
    const std::string n = std::to_string(i);
    const int slot = i % TodayCycle;
    if (mix == TLibraryMix::Today && slot < TodayModernSlots) {
      files.push_back(
          WriteModernEntry(*modern[static_cast<std::size_t>(TodaySlots[slot])], subfolder, i, slot, seconds));
      continue;
    }
    // The Today mix spreads the eight classic kinds evenly over the slots left to them.
    const int kind =
        mix == TLibraryMix::Today
            ? (i / TodayCycle * (TodayCycle - TodayModernSlots) + slot - TodayModernSlots) % LibraryKindCount
            : i % LibraryKindCount;
    const bool unicode = kind == 3 || kind == 4 || kind == 5 || kind == 6;
    const auto name = [&](int salt) {
      return unicode ? std::string(UnicodeNames[(i + salt) % std::size(UnicodeNames)])
                     : std::string(Latin1Names[(i + salt) % std::size(Latin1Names)]);
    };
    const TGenre& genre = LibraryGenreTable[i % std::size(LibraryGenreTable)];
    const int track = i % 20 + 1;
    const int total = 20;
    TLibraryFile entry;
    entry.Tagged = kind != 0;
    entry.Title = kind == 0 ? "Unknown" : name(0) + " " + n;
    entry.Artist = kind == 0 ? "Unknown" : name(1);
    entry.Album = kind == 0 ? "Unknown" : name(2) + " " + std::to_string(i % 91);
    entry.Comment = kind == 0 ? "" : "Comment " + n;
    entry.Genre = kind == 0 ? "Unknown" : genre.Read;
    entry.Year = kind == 0 ? 0 : 1960 + i % 60;
    entry.Track = kind == 0 ? 0 : track;
    entry.Seconds = seconds;
    const std::string year = std::to_string(entry.Year);
    const std::string trackText = (kind == 1 || kind == 5)
                                      ? std::to_string(track) + "/" + std::to_string(total)
                                      : std::to_string(track);
    std::filesystem::path file = subfolder / ("Track" + n + (kind == 4 ? ".wma" : ".mp3"));
    if (kind == 4) {
      WriteBytes(
          file,
          wma.Mux({{"Title", entry.Title},
                   {"Author", entry.Artist},
                   {"Description", entry.Comment},
                   {"WM/AlbumTitle", entry.Album},
                   {"WM/Genre", entry.Genre},
                   {"WM/Year", year},
                   {"WM/TrackNumber", i % 2 == 0 ? trackText : trackText + "/" + std::to_string(total)}}));
    } else {
      TMp3Recipe recipe = kind == 3 ? variable : kind == 7 ? mpeg2 : constant;
      if (kind != 0 && kind != 2) {
        TId3v2Fields fields{entry.Title,   entry.Artist, entry.Album,  year,
                            genre.Written, trackText,    entry.Comment};
        fields.Version = kind == 5 ? 4 : kind == 6 ? 2 : 3;
        fields.Encoding = kind == 5 ? TTextEncoding::Utf8
                          : unicode ? TTextEncoding::Utf16
                                    : TTextEncoding::Latin1;
        fields.PictureBytes = kind == 5 ? 3000 : 0;
        recipe.Id3v2 = fields;
      }
      if (kind == 1 || kind == 2 || kind == 7) {
        recipe.Id3v1 =
            TId3v1Fields{entry.Title, entry.Artist, entry.Album, year, entry.Comment, track, genre.Number};
      }
      const TBytes& stream = kind == 3 ? variableStream : kind == 7 ? mpeg2Stream : constantStream;
      WriteBytes(file, ComposeMp3(stream, recipe));
    }
    entry.File = std::move(file);
    files.push_back(std::move(entry));
  }
  return files;
}

}  // namespace testmedia
