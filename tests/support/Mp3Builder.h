#pragma once
// Builds MP3 files byte by byte for tests, fuzz seeds and benchmarks: MPEG audio frames, ID3v2.3
// tags and frames, ID3v1.1 tails. Header-only, so benchmarks can use it without the test library.

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace mp3 {

using TBytes = std::vector<std::uint8_t>;

inline void Append(TBytes& to, const TBytes& bytes)
{
  to.insert(to.end(), bytes.begin(), bytes.end());
}

inline TBytes Text(std::string_view text)
{
  return TBytes(text.begin(), text.end());
}

// Varied, deterministic filler: no run of 32 bytes repeats a value four times, so fingerprints
// find a window anywhere in it.
inline TBytes BusyBytes(std::size_t count, std::uint32_t seed = 1)
{
  TBytes bytes(count);
  for (std::size_t i = 0; i < count; ++i) {
    bytes[i] = static_cast<std::uint8_t>(1 + (i * 7 + seed * 13) % 254);
  }
  return bytes;
}

struct TFrameRecipe {
  int Bitrate = 128;  // kbit/s, must exist in the column for version and layer
  int SampleRate = 44100;
  int Layer = 3;
  int Version = 1;  // 1, 2 or 25 (MPEG-2.5)
  bool Padding = false;
  bool Mono = false;
};

inline int BitrateIndex(const TFrameRecipe& recipe)
{
  static const int v1l1[] = {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448};
  static const int v1l2[] = {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
  static const int v1l3[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
  static const int v2l1[] = {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256};
  static const int v2l23[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
  const int* column = recipe.Version == 1 ? (recipe.Layer == 1   ? v1l1
                                             : recipe.Layer == 2 ? v1l2
                                                                 : v1l3)
                                          : (recipe.Layer == 1 ? v2l1 : v2l23);
  for (int i = 0; i < 15; ++i) {
    if (column[i] == recipe.Bitrate) {
      return i;
    }
  }
  return 15;
}

inline TBytes FrameHeader(const TFrameRecipe& recipe)
{
  const int versionBits = recipe.Version == 1 ? 0x18 : recipe.Version == 2 ? 0x10 : 0x00;
  const int layerBits = recipe.Layer == 1 ? 0x06 : recipe.Layer == 2 ? 0x04 : 0x02;
  const int rates1[] = {44100, 48000, 32000};
  const int rates2[] = {22050, 24000, 16000};
  const int rates25[] = {11025, 12000, 8000};
  const int* rates = recipe.Version == 1 ? rates1 : recipe.Version == 2 ? rates2 : rates25;
  int rateIndex = 0;
  for (int i = 0; i < 3; ++i) {
    if (rates[i] == recipe.SampleRate) {
      rateIndex = i;
    }
  }
  return {
      0xFF, static_cast<std::uint8_t>(0xE0 | versionBits | layerBits | 0x01),
      static_cast<std::uint8_t>((BitrateIndex(recipe) << 4) | (rateIndex << 2) | (recipe.Padding ? 0x02 : 0)),
      static_cast<std::uint8_t>(recipe.Mono ? 0xC4 : 0x44)};
}

inline int FrameLength(const TFrameRecipe& recipe)
{
  const int padding = recipe.Padding ? (recipe.Layer == 1 ? 4 : 1) : 0;
  const int factor = recipe.Layer == 1 ? 12000 : recipe.Layer == 3 && recipe.Version != 1 ? 72000 : 144000;
  return factor * recipe.Bitrate / recipe.SampleRate + padding;
}

inline int SamplesPerFrame(const TFrameRecipe& recipe)
{
  return recipe.Layer == 1 ? 384 : recipe.Layer == 3 && recipe.Version != 1 ? 576 : 1152;
}

// One frame: header plus busy payload, FrameLength bytes in all.
inline TBytes Frame(const TFrameRecipe& recipe, std::uint32_t seed = 1)
{
  TBytes frame = FrameHeader(recipe);
  const TBytes payload = BusyBytes(static_cast<std::size_t>(FrameLength(recipe)) - 4, seed);
  Append(frame, payload);
  return frame;
}

// A first frame that announces the stream's frame count: a Xing or Info header after the side
// information, or a VBRI header 32 bytes after the frame header. `flags` 1 says the count is there.
enum class TCountHeader { Xing, Info, Vbri };
inline TBytes CountFrame(const TFrameRecipe& recipe, TCountHeader kind, std::uint32_t frames,
                         std::uint32_t flags = 1)
{
  TBytes frame = Frame(recipe);
  const std::size_t sideInfo = recipe.Version == 1 ? (recipe.Mono ? 17 : 32) : (recipe.Mono ? 9 : 17);
  const std::size_t at = kind == TCountHeader::Vbri ? 4 + 32 : 4 + sideInfo;
  TBytes header;
  if (kind == TCountHeader::Vbri) {
    header = {'V', 'B', 'R', 'I', 0, 1, 0, 0, 0, 50, 0, 0, 0, 0};
  } else {
    header = Text(kind == TCountHeader::Xing ? "Xing" : "Info");
    for (int shift = 24; shift >= 0; shift -= 8) {
      header.push_back(static_cast<std::uint8_t>(flags >> shift));
    }
  }
  for (int shift = 24; shift >= 0; shift -= 8) {
    header.push_back(static_cast<std::uint8_t>(frames >> shift));
  }
  std::copy(header.begin(), header.end(), frame.begin() + static_cast<std::ptrdiff_t>(at));
  return frame;
}

// Frames of one kind until at least `bytes` bytes, then cut to exactly `bytes`.
inline TBytes Audio(const TFrameRecipe& recipe, std::size_t bytes)
{
  TBytes audio;
  audio.reserve(bytes + 2000);
  std::uint32_t seed = 1;
  while (audio.size() < bytes) {
    Append(audio, Frame(recipe, seed++));
  }
  audio.resize(bytes);
  return audio;
}

inline void PutBigEndian32(TBytes& to, std::uint32_t value)
{
  to.push_back(static_cast<std::uint8_t>(value >> 24));
  to.push_back(static_cast<std::uint8_t>(value >> 16));
  to.push_back(static_cast<std::uint8_t>(value >> 8));
  to.push_back(static_cast<std::uint8_t>(value));
}

inline TBytes Id3Header(std::uint32_t size, std::uint8_t version = 3, std::uint8_t revision = 0,
                        std::uint8_t flags = 0)
{
  return {'I',
          'D',
          '3',
          version,
          revision,
          flags,
          static_cast<std::uint8_t>((size >> 21) & 0x7F),
          static_cast<std::uint8_t>((size >> 14) & 0x7F),
          static_cast<std::uint8_t>((size >> 7) & 0x7F),
          static_cast<std::uint8_t>(size & 0x7F)};
}

// A frame header and data, the size counting everything after the header.
inline TBytes Id3Frame(std::string_view id, const TBytes& data, std::uint16_t flags = 0)
{
  TBytes frame(id.begin(), id.end());
  PutBigEndian32(frame, static_cast<std::uint32_t>(data.size()));
  frame.push_back(static_cast<std::uint8_t>(flags >> 8));
  frame.push_back(static_cast<std::uint8_t>(flags));
  Append(frame, data);
  return frame;
}

// A text frame in ISO-8859-1 (encoding byte 0), without terminator.
inline TBytes Id3TextFrame(std::string_view id, std::string_view latin1)
{
  TBytes data{0};
  Append(data, Text(latin1));
  return Id3Frame(id, data);
}

// A whole ID3v2 tag: header, the frames, then `padding` zero bytes.
inline TBytes Id3Tag(std::initializer_list<TBytes> frames, std::size_t padding = 0, std::uint8_t version = 3,
                     std::uint8_t flags = 0)
{
  TBytes body;
  for (const TBytes& frame : frames) {
    Append(body, frame);
  }
  body.resize(body.size() + padding, 0);
  TBytes tag = Id3Header(static_cast<std::uint32_t>(body.size()), version, 0, flags);
  Append(tag, body);
  return tag;
}

inline TBytes Id3v1Tag(std::string_view title, std::string_view artist, std::string_view album,
                       std::string_view year, std::string_view comment, int track, int genre)
{
  TBytes tag(128, 0);
  tag[0] = 'T';
  tag[1] = 'A';
  tag[2] = 'G';
  const auto put = [&](std::size_t offset, std::size_t width, std::string_view text) {
    for (std::size_t i = 0; i < text.size() && i < width; ++i) {
      tag[offset + i] = static_cast<std::uint8_t>(text[i]);
    }
  };
  put(3, 30, title);
  put(33, 30, artist);
  put(63, 30, album);
  put(93, 4, year);
  put(97, 30, comment);
  if (track >= 0) {
    tag[125] = 0;
    tag[126] = static_cast<std::uint8_t>(track);
  }
  tag[127] = static_cast<std::uint8_t>(genre);
  return tag;
}

}  // namespace mp3
