#include "tags/MPegHeader.h"

#include <gtest/gtest.h>

#include <vector>

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
      {0xE3, 0x90, true, 80, 11025, 3, 0},   // MPEG-2.5 Layer III: MPEG-2's bit rates
      {0xE3, 0x18, true, 8, 8000, 3, 0},     // MPEG-2.5 at its lowest rates
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

TEST(MPegHeader, FrameLengthsAndSamplesFollowVersionAndLayer)
{
  struct TCase {
    TFrameRecipe Recipe;
    int Length, Samples;
  };
  const TCase cases[] = {
      {{.Bitrate = 128, .SampleRate = 44100, .Layer = 3, .Version = 1}, 417, 1152},
      {{.Bitrate = 128, .SampleRate = 44100, .Layer = 3, .Version = 1, .Padding = true}, 418, 1152},
      {{.Bitrate = 64, .SampleRate = 22050, .Layer = 3, .Version = 2}, 208, 576},
      {{.Bitrate = 64, .SampleRate = 22050, .Layer = 2, .Version = 2}, 417, 1152},
      {{.Bitrate = 32, .SampleRate = 11025, .Layer = 3, .Version = 25}, 208, 576},
      {{.Bitrate = 8, .SampleRate = 8000, .Layer = 3, .Version = 25, .Padding = true}, 73, 576},
      {{.Bitrate = 384, .SampleRate = 48000, .Layer = 1, .Version = 1}, 96, 384},
      {{.Bitrate = 256, .SampleRate = 22050, .Layer = 1, .Version = 2, .Padding = true}, 143, 384},
  };
  for (const TCase& c : cases) {
    const TBytes header = mp3::FrameHeader(c.Recipe);
    TMpegFrame frame;
    ASSERT_TRUE(DecodeMpegFrameHeader(header.data(), frame)) << c.Recipe.Version << "/" << c.Recipe.Layer;
    EXPECT_EQ(MpegFrameLength(frame), c.Length) << c.Recipe.Version << "/" << c.Recipe.Layer;
    EXPECT_EQ(MpegFrameLength(frame), mp3::FrameLength(c.Recipe));
    EXPECT_EQ(MpegSamplesPerFrame(frame), c.Samples);
  }
}

TEST(MPegHeader, AFrameCountInTheFirstFrameGivesTheExactDuration)
{
  // 5000 frames: 5000 x 1152 / 44100 = 130.6 s; MPEG-2 at 22050: 5000 x 576 / 22050 = 130.6 s.
  struct TCase {
    const char* What;
    TFrameRecipe Recipe;
    mp3::TCountHeader Kind;
    std::uint32_t Flags;
    int Duration;
    std::uint32_t HeaderFrames;
  };
  const TFrameRecipe stereo1{};
  const TFrameRecipe mono1{.Mono = true};
  const TFrameRecipe stereo2{.Bitrate = 64, .SampleRate = 22050, .Version = 2};
  const TFrameRecipe mono2{.Bitrate = 64, .SampleRate = 22050, .Version = 2, .Mono = true};
  const TFrameRecipe mono25{.Bitrate = 32, .SampleRate = 11025, .Version = 25, .Mono = true};
  const TCase cases[] = {
      {"xing, MPEG-1 stereo", stereo1, mp3::TCountHeader::Xing, 1, 130, 5000},
      {"info, MPEG-1 mono", mono1, mp3::TCountHeader::Info, 0x0F, 130, 5000},
      {"xing, MPEG-2 stereo", stereo2, mp3::TCountHeader::Xing, 1, 130, 5000},
      {"xing, MPEG-2 mono", mono2, mp3::TCountHeader::Xing, 3, 130, 5000},
      {"xing, MPEG-2.5 mono", mono25, mp3::TCountHeader::Xing, 1, 261, 5000},
      {"vbri", stereo1, mp3::TCountHeader::Vbri, 0, 130, 5000},
      {"no frame-count flag", stereo1, mp3::TCountHeader::Xing, 2, -1, 0},
  };
  for (const TCase& c : cases) {
    TBytes file = mp3::CountFrame(c.Recipe, c.Kind, 5000, c.Flags);
    mp3::Append(file, mp3::Audio(c.Recipe, 30'000));
    const TMPegHeader header = Analysed(file);
    EXPECT_EQ(header.HeaderFrames(), c.HeaderFrames) << c.What;
    if (c.Duration >= 0) {
      EXPECT_EQ(header.Duration(), c.Duration) << c.What;
    } else {
      EXPECT_LT(header.Duration(), 10) << c.What << ": estimated from the 30 KB there are";
    }
  }
}

TEST(MPegHeader, TheFrameCountFrameIsNotSampledAsAudio)
{
  // A Xing frame written at another bit rate than the (constant) audio after it.
  TBytes file = mp3::CountFrame(TFrameRecipe{.Bitrate = 64}, mp3::TCountHeader::Info, 1000);
  mp3::Append(file, mp3::Audio(TFrameRecipe{}, 30'000));
  const TMPegHeader header = Analysed(file);
  EXPECT_EQ(header.Bitrate(), 128);
  // 72 headers: the last frame is cut short, but its header is there.
  EXPECT_EQ(header.FrameCount(), 72);
  EXPECT_EQ(header.Duration(), 1000 * 1152 / 44100);
}

TEST(MPegHeader, VariableBitrateTakesTheAverageOfTheSampledFrames)
{
  struct TCase {
    std::vector<int> Rates;
    int Average;
  };
  const TCase cases[] = {
      {{128, 160, 128}, 139},  // 138.7 rounds up
      {{128, 160, 192}, 160},
      {{320, 32}, 176},
      {{128, 160, 128, 128}, 136},
  };
  for (const TCase& c : cases) {
    TBytes file;
    for (const int rate : c.Rates) {
      mp3::Append(file, mp3::Frame(TFrameRecipe{.Bitrate = rate}));
    }
    // Not a frame header: the walk stops after the frames above.
    file.resize(file.size() + 100'000, 0x11);
    const TMPegHeader header = Analysed(file);
    EXPECT_EQ(header.Bitrate(), -1);
    EXPECT_EQ(header.FrameCount(), static_cast<int>(c.Rates.size()));
    const std::int64_t size = static_cast<std::int64_t>(file.size());
    const std::int64_t expected = (size / (144000 * c.Average / 44100 + 0 + 4)) * 1152 / 44100;
    EXPECT_EQ(header.Duration(), expected) << c.Average;
  }
}

TEST(MPegHeader, MpegTwoAndTwoPointFiveFramesAreWalkedAtTheirOwnLength)
{
  struct TCase {
    TFrameRecipe Recipe;
    int Seconds;  // of 1,000,000 bytes
  };
  const TCase cases[] = {
      {{.Bitrate = 64, .SampleRate = 22050, .Version = 2}, 123},
      {{.Bitrate = 160, .SampleRate = 24000, .Version = 2}, 49},
      {{.Bitrate = 32, .SampleRate = 11025, .Version = 25}, 246},
      {{.Bitrate = 8, .SampleRate = 8000, .Version = 25}, 947},
  };
  for (const TCase& c : cases) {
    const TMPegHeader header = Analysed(mp3::Audio(c.Recipe, 1'000'000));
    EXPECT_EQ(header.FrameCount(), 100) << c.Recipe.Bitrate;
    EXPECT_EQ(header.Bitrate(), c.Recipe.Bitrate);
    EXPECT_EQ(header.SampleRate(), c.Recipe.SampleRate);
    // Exact is bytes x 8 / bit rate; the estimate counts 4 bytes more a frame, which is 5% of
    // an 8 kbit/s frame of 72 bytes.
    const double exact = 1'000'000.0 * 8 / (c.Recipe.Bitrate * 1000.0);
    EXPECT_NEAR(header.Duration(), exact, exact * 4 / mp3::FrameLength(c.Recipe) + 1) << c.Recipe.Bitrate;
    EXPECT_EQ(header.Duration(), c.Seconds) << c.Recipe.Bitrate;
  }
}

TEST(MPegHeader, LayerOneDurationUsesItsOwnFormula)
{
  const TFrameRecipe recipe{.Bitrate = 384, .SampleRate = 48000, .Layer = 1};
  const TMPegHeader header = Analysed(mp3::Audio(recipe, 1'000'000));
  EXPECT_EQ(header.Bitrate(), 384);
  EXPECT_EQ(header.Duration(), (1'000'000 / ((12000 * 384 / 48000) * 4 + 4)) * 384 / 48000);
}

TEST(MPegHeader, SkipsAnId3v2TagOfEveryVersion)
{
  const TBytes audio = mp3::Audio(TFrameRecipe{}, 50'000);
  // A picture full of frame-sync look-alikes, far beyond the first 1000 bytes.
  const TBytes picture(3000, 0xFF);
  for (const std::uint8_t version : {2, 3, 4}) {
    TBytes file = mp3::Id3Tag({mp3::Id3Frame(version == 2 ? "PIC" : "APIC", picture)}, 20, version);
    const auto tagSize = static_cast<std::int64_t>(file.size());
    mp3::Append(file, audio);
    const TMPegHeader skipped = Analysed(file, false, true);
    EXPECT_EQ(skipped.AudioStart(), tagSize) << int{version};
    EXPECT_EQ(skipped.Bitrate(), 128) << int{version};
    EXPECT_GT(skipped.Duration(), 0) << int{version};
  }
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
      {mp3::Id3Header(100, 2), 110},
      {mp3::Id3Header(100, 4, 0, 0x10), 120},  // an ID3v2.4 footer
      {mp3::Id3Header(100, 3, 0, 0x10), 110},  // not a footer flag in ID3v2.3
      {mp3::Id3Header(100, 1), 0},
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
