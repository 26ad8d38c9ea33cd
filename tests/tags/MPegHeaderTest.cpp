#include "tags/MPegHeader.h"

#include <gtest/gtest.h>

#include "tests/support/Mp3Builder.h"

namespace {

using mp3::TBytes;
using mp3::TFrameRecipe;

TMemoryStream StreamOf(const TBytes& bytes)
{
  TMemoryStream stream;
  if (!bytes.empty()) {
    stream.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
  }
  return stream;
}

TMPegHeader Analysed(const TBytes& bytes, bool hasTail = false, bool skipId3v2 = false)
{
  TMemoryStream stream = StreamOf(bytes);
  TMPegHeader header;
  header.Analyse(stream, hasTail, skipId3v2);
  return header;
}

TEST(MPegHeader, FrameHeadersDecodeByTheStandardsTables)
{
  struct TCase {
    std::uint8_t B1, B2;
    bool Valid;
    int Bitrate, SampleRate, Layer, Padding;
  };
  const TCase cases[] = {
      {0xFB, 0x90, true, 128, 44100, 3, 0},  // MPEG-1 Layer III
      {0xFB, 0x92, true, 128, 44100, 3, 1},  // padded
      {0xFF, 0xEA, true, 448, 32000, 1, 4},  // MPEG-1 Layer I, padded by 4
      {0xFD, 0xE4, true, 384, 48000, 2, 0},  // MPEG-1 Layer II
      {0xF3, 0x14, true, 8, 24000, 3, 0},    // MPEG-2 Layer III
      {0xF7, 0xE0, true, 256, 22050, 1, 0},  // MPEG-2 Layer I
      {0xFB, 0x00, true, 0, 44100, 3, 0},    // free format
      {0xFB, 0xF0, true, 0, 44100, 3, 0},    // bit-rate index 15
      {0xE3, 0x90, false, 0, 0, 0, 0},       // MPEG-2.5
      {0xEB, 0x90, false, 0, 0, 0, 0},       // reserved version
      {0xF9, 0x90, false, 0, 0, 0, 0},       // reserved layer
      {0xFB, 0x9C, false, 0, 0, 0, 0},       // sample-rate index 3
      {0x7B, 0x90, false, 0, 0, 0, 0},       // no sync in the second byte
  };
  for (const TCase& c : cases) {
    const std::uint8_t bytes[4] = {0xFF, c.B1, c.B2, 0};
    TMpegFrame frame;
    EXPECT_EQ(DecodeMpegFrameHeader(bytes, frame), c.Valid) << std::hex << int{c.B1} << " " << int{c.B2};
    if (c.Valid) {
      EXPECT_EQ(frame.Bitrate, c.Bitrate);
      EXPECT_EQ(frame.SampleRate, c.SampleRate);
      EXPECT_EQ(frame.Layer, c.Layer);
      EXPECT_EQ(frame.Padding, c.Padding);
    }
  }
}

TEST(MPegHeader, FourByteFileGivesZeros)
{
  const TMPegHeader header = Analysed({0xFF, 0xFB, 0x90, 0x00});
  EXPECT_TRUE(header.Analysed());
  EXPECT_EQ(header.Bitrate(), 0);
  EXPECT_EQ(header.SampleRate(), 0);
  EXPECT_EQ(header.Duration(), 0);
  EXPECT_EQ(header.FrameCount(), 0);
}

TEST(MPegHeader, ConstantBitrateDurationIs310SecondsForFiveMillionBytes)
{
  const TMPegHeader header = Analysed(mp3::Audio(TFrameRecipe{}, 5'000'000));
  EXPECT_EQ(header.Bitrate(), 128);
  EXPECT_EQ(header.SampleRate(), 44100);
  // 100 frames of 417 bytes: the walk crosses several 4048-byte blocks.
  EXPECT_EQ(header.FrameCount(), 100);
  EXPECT_EQ(header.Duration(), 310);
}

TEST(MPegHeader, FirstFrameIsSearchedOnlyInTheFirst1000Bytes)
{
  for (const std::size_t offset : {std::size_t{0}, std::size_t{999}, std::size_t{1000}}) {
    TBytes file(offset, 0);
    mp3::Append(file, mp3::Audio(TFrameRecipe{}, 20'000));
    const TMPegHeader header = Analysed(file);
    EXPECT_EQ(header.Bitrate(), offset < 1000 ? 128 : 0) << offset;
    EXPECT_EQ(header.FrameCount() > 0, offset < 1000) << offset;
  }
}

TEST(MPegHeader, VariableBitrateTakesTheDurationFromTheLastSampledFrame)
{
  struct TCase {
    int Rates[3];
  };
  for (const TCase& c : {TCase{{128, 160, 128}}, TCase{{128, 160, 192}}}) {
    TBytes file;
    for (const int rate : c.Rates) {
      mp3::Append(file, mp3::Frame(TFrameRecipe{.Bitrate = rate}));
    }
    // Not a frame header: the walk stops after three frames.
    file.resize(file.size() + 100'000, 0x11);
    const TMPegHeader header = Analysed(file);
    EXPECT_EQ(header.Bitrate(), -1);
    EXPECT_EQ(header.FrameCount(), 3);
    const std::int64_t size = static_cast<std::int64_t>(file.size());
    const std::int64_t expected = (size / (144000 * c.Rates[2] / 44100 + 0 + 4)) * 1152 / 44100;
    EXPECT_EQ(header.Duration(), expected);
  }
}

TEST(MPegHeader, LayerOneDurationUsesItsOwnFormula)
{
  const TFrameRecipe recipe{.Bitrate = 384, .SampleRate = 48000, .Layer = 1};
  const TMPegHeader header = Analysed(mp3::Audio(recipe, 1'000'000));
  EXPECT_EQ(header.Bitrate(), 384);
  EXPECT_EQ(header.Duration(), (1'000'000 / ((12000 * 384 / 48000) * 4 + 4)) * 384 / 48000);
}

TEST(MPegHeader, SkipsAnId3v23TagButSearchesAnId3v22FileFromTheStart)
{
  const TBytes audio = mp3::Audio(TFrameRecipe{}, 50'000);
  TBytes v23 = mp3::Id3Tag({mp3::Id3TextFrame("TIT2", "Song")}, 1500);
  const auto v23Size = static_cast<std::int64_t>(v23.size());
  mp3::Append(v23, audio);
  const TMPegHeader skipped = Analysed(v23, false, true);
  EXPECT_EQ(skipped.AudioStart(), v23Size);
  EXPECT_EQ(skipped.Bitrate(), 128);

  TBytes v22 = mp3::Id3Tag({mp3::Id3TextFrame("TT2", "Song")}, 20, 2);
  mp3::Append(v22, audio);
  const TMPegHeader notSkipped = Analysed(v22, false, true);
  EXPECT_EQ(notSkipped.AudioStart(), 0);
  EXPECT_EQ(notSkipped.Bitrate(), 128);
}

TEST(MPegHeader, Id3v2SizeRejectsMalformedHeaders)
{
  struct TCase {
    TBytes Header;
    std::int64_t Size;
  };
  const TCase cases[] = {
      {mp3::Id3Header(100), 110},
      {mp3::Id3Header(0x0FFFFFFF, 4), 0x0FFFFFFF + 10},
      {mp3::Id3Header(100, 2), 0},
      {mp3::Id3Header(100, 255), 0},
      {mp3::Id3Header(100, 3, 255), 0},
      {{'I', 'D', '3', 3, 0, 0, 0, 0, 0x80, 0}, 0},
      {{'I', 'D', '4', 3, 0, 0, 0, 0, 1, 0}, 0},
      {{'I', 'D', '3', 3, 0, 0, 0, 0, 1}, 0},
  };
  for (const TCase& c : cases) {
    TMemoryStream stream = StreamOf(c.Header);
    EXPECT_EQ(TMPegHeader::Id3v2Size(stream), c.Size);
  }
}

TEST(MPegHeader, TailIsNotCountedAsAudio)
{
  TBytes file = mp3::Audio(TFrameRecipe{}, 5'000'000);
  mp3::Append(file, mp3::Id3v1Tag("t", "a", "b", "1999", "c", 1, 1));
  EXPECT_EQ(Analysed(file, true).Duration(), 310);
}

}  // namespace
