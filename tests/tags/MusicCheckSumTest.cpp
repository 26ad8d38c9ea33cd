#include "tags/MusicCheckSum.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tags/Sha256.h"
#include "tests/support/Mp3Builder.h"

namespace {

using mp3::TBytes;

TMusicCheckSum SumOf(const TBytes& bytes, bool hasTail = false)
{
  TMemoryStream stream;
  if (!bytes.empty()) {
    stream.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
  }
  TOxaMusicCheckSum checkSum;
  TMusicCheckSum sum;
  sum.fill(0xAA);
  checkSum.Compute(stream, hasTail, sum);
  return sum;
}

bool AllZero(const TMusicCheckSum& sum)
{
  return std::all_of(sum.begin(), sum.end(), [](std::uint8_t b) { return b == 0; });
}

TMusicCheckSum FallbackOf(const TBytes& bytes, bool hasTail, std::int64_t audioStart)
{
  TMemoryStream stream;
  if (!bytes.empty()) {
    stream.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
  }
  TMusicCheckSum sum;
  sum.fill(0xAA);
  TOxaMusicCheckSum().ComputeFallback(stream, hasTail, audioStart, sum);
  return sum;
}

std::uint32_t DistanceOf(const TMusicCheckSum& sum)
{
  return (std::uint32_t{sum[0]} << 24) | (std::uint32_t{sum[1]} << 16) | (std::uint32_t{sum[2]} << 8) |
         sum[3];
}

// A file of zeros with one busy 32-byte window at `at`.
TBytes SilenceWithWindow(std::size_t size, std::size_t at)
{
  TBytes file(size, 0);
  const TBytes window = mp3::BusyBytes(32, 5);
  std::copy(window.begin(), window.end(), file.begin() + static_cast<std::ptrdiff_t>(at));
  return file;
}

TEST(MusicCheckSum, WindowAcceptanceRejectsZerosFFsAndRepeatedBytes)
{
  TBytes window = mp3::BusyBytes(32);
  EXPECT_TRUE(TOxaMusicCheckSum::Accepted(window.data()));
  for (const std::uint8_t bad : {std::uint8_t{0x00}, std::uint8_t{0xFF}}) {
    TBytes copy = window;
    copy[17] = bad;
    EXPECT_FALSE(TOxaMusicCheckSum::Accepted(copy.data()));
  }
  TBytes thrice = window;
  thrice[1] = thrice[2] = thrice[0];
  EXPECT_TRUE(TOxaMusicCheckSum::Accepted(thrice.data()));
  thrice[31] = thrice[0];
  EXPECT_FALSE(TOxaMusicCheckSum::Accepted(thrice.data()));
}

TEST(MusicCheckSum, ShortAndUnsearchableFilesGiveZeros)
{
  EXPECT_TRUE(AllZero(SumOf(mp3::BusyBytes(35))));
  EXPECT_TRUE(AllZero(SumOf(mp3::BusyBytes(39))));    // L = 35
  EXPECT_TRUE(AllZero(SumOf(mp3::BusyBytes(9000))));  // 513 <= L <= 10,000
  EXPECT_TRUE(AllZero(SumOf(TBytes(200'000, 0))));    // digital silence
  TBytes repeating(50'000);
  for (std::size_t i = 0; i < repeating.size(); ++i) {
    repeating[i] = static_cast<std::uint8_t>(1 + i % 8);  // every window holds each value four times
  }
  EXPECT_TRUE(AllZero(SumOf(repeating)));
}

TEST(MusicCheckSum, WholeModeDistanceOf102IsStoredBigEndian)
{
  const TBytes file = SilenceWithWindow(100, 10);
  const TMusicCheckSum sum = SumOf(file);
  EXPECT_EQ(sum[0], 0x00);
  EXPECT_EQ(sum[1], 0x00);
  EXPECT_EQ(sum[2], 0x00);
  EXPECT_EQ(sum[3], 0x66);
  EXPECT_TRUE(std::equal(sum.begin() + 4, sum.end(), file.begin() + 10));
}

TEST(MusicCheckSum, TailIsNeverPartOfAWindow)
{
  TBytes file(400, 0);
  const TBytes tail = mp3::BusyBytes(128);
  std::copy(tail.begin(), tail.end(), file.end() - 128);
  EXPECT_FALSE(AllZero(SumOf(file, false)));
  EXPECT_TRUE(AllZero(SumOf(file, true)));
}

TEST(MusicCheckSum, BlockModeDistanceFollowsTheSearchSteps)
{
  struct TCase {
    std::size_t Size;
    // Where the window lies, relative to the end of the file, and the D it must give.
    std::size_t FromEnd;
    std::uint32_t Distance;
  };
  const TCase cases[] = {
      // L = 49,996: first block at end - 10,000 (D = 10,000).
      {50'000, 10'000, 10'000},
      // Second block: 512 + 1024 further on, D = 10,000 - 1024, then window 3 adds 96.
      {50'000, 10'000 - 512 - 1024 - 96, 10'000 - 1024 + 96},
      // L = 199,996: nothing in the first pass; the second pass starts at end - 90,000.
      {200'000, 90'000, 90'000},
      // L above 4,000,000: the second pass steps by 8196, not 8192.
      {4'100'000, 3'500'000 - 512 - 8196, 3'500'000 - 8196},
  };
  for (const TCase& c : cases) {
    const TBytes file = SilenceWithWindow(c.Size, c.Size - c.FromEnd);
    const TMusicCheckSum sum = SumOf(file);
    EXPECT_EQ(DistanceOf(sum), c.Distance) << c.Size << " " << c.FromEnd;
    EXPECT_TRUE(std::equal(sum.begin() + 4, sum.end(), file.end() - static_cast<std::ptrdiff_t>(c.FromEnd)));
  }
}

TEST(MusicCheckSum, TheFallbackIsNoWindowAndDigestsTheAudiosLengthAndTail)
{
  constexpr std::int64_t Tail = TOxaMusicCheckSum::FallbackTailSize;
  TBytes silence(200'000, 0);
  ASSERT_TRUE(AllZero(SumOf(silence)));
  const TMusicCheckSum sum = FallbackOf(silence, false, 0);
  EXPECT_EQ(DistanceOf(sum), 0U);
  EXPECT_EQ(sum[35], 0x00);
  EXPECT_FALSE(TOxaMusicCheckSum::Accepted(sum.data() + 4)) << "no window search can give it";
  EXPECT_TRUE(TOxaMusicCheckSum::IsFallback(sum));

  // The digest itself: the length, 8 bytes little-endian, then the audio.
  TSha256 sha;
  const std::uint8_t length[8] = {0x40, 0x0D, 0x03, 0, 0, 0, 0, 0};  // 200,000
  sha.Update(length);
  sha.Update(silence);
  TSha256Digest digest = sha.Final();
  digest[31] = 0;
  EXPECT_TRUE(std::equal(digest.begin(), digest.end(), sum.begin() + 4));

  // What changes it and what does not, on a file of Tail + 1000 bytes: a head of 300 bytes
  // (the tag) before the audio, an ID3v1 tail.
  const std::size_t size = static_cast<std::size_t>(Tail) + 1000;
  const TBytes file(size, 0x55);
  const TMusicCheckSum base = FallbackOf(file, true, 300);
  struct TCase {
    const char* What;
    std::size_t At;  // the byte changed
    bool Changes;
  };
  const TCase cases[] = {
      {"the head before the audio", 299, false},
      {"the first audio byte beyond the digested tail", size - 128 - static_cast<std::size_t>(Tail) - 1,
       false},
      {"the first digested byte", size - 128 - static_cast<std::size_t>(Tail), true},
      {"the last audio byte", size - 129, true},
      {"the ID3v1 tail", size - 128, false},
      {"the last byte of the file", size - 1, false},
  };
  for (const TCase& c : cases) {
    TBytes changed = file;
    changed[c.At] ^= 0x01;
    EXPECT_EQ(FallbackOf(changed, true, 300) != base, c.Changes) << c.What;
  }
  // A longer head (a grown tag) with the same audio gives the same; longer audio does not.
  TBytes longerHead(50, 0x11);
  longerHead.insert(longerHead.end(), file.begin() + 300, file.end());
  EXPECT_EQ(FallbackOf(longerHead, true, 50), base);
  TBytes longerAudio = file;
  longerAudio.insert(longerAudio.begin() + 300, 0x55);
  EXPECT_NE(FallbackOf(longerAudio, true, 300), base);
  // Without the tail flag the last 128 bytes are audio.
  EXPECT_NE(FallbackOf(file, false, 300), base);
}

TEST(MusicCheckSum, TheFallbackOfFilesWithoutAudioIsStillMarked)
{
  const std::pair<std::size_t, std::int64_t> cases[] = {{0, 0}, {10, 0}, {100, 500}, {130, -5}};
  for (const auto& [size, audioStart] : cases) {
    const TMusicCheckSum sum = FallbackOf(mp3::BusyBytes(size), true, audioStart);
    EXPECT_TRUE(TOxaMusicCheckSum::IsFallback(sum)) << size << " " << audioStart;
  }
  // Window fingerprints and zeros are not fallbacks.
  EXPECT_FALSE(TOxaMusicCheckSum::IsFallback(SumOf(SilenceWithWindow(100, 10))));
  EXPECT_FALSE(TOxaMusicCheckSum::IsFallback(TMusicCheckSum{}));
}

TEST(MusicCheckSum, TheAudioOfAnAsfFileStartsAfterItsHeaderObject)
{
  const TBytes guid = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                       0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
  const auto file = [&](std::uint64_t headerSize, std::size_t size, bool asf) {
    TBytes bytes = asf ? guid : TBytes(16, 0x30);
    for (int i = 0; i < 8; ++i) {
      bytes.push_back(static_cast<std::uint8_t>(headerSize >> (8 * i)));
    }
    bytes.resize(size, 0x42);
    return bytes;
  };
  const auto start = [](const TBytes& bytes) {
    TMemoryStream stream;
    if (!bytes.empty()) {
      stream.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    }
    return TOxaMusicCheckSum::AsfAudioStart(stream);
  };
  EXPECT_EQ(start(file(5000, 6000, true)), 5000);
  EXPECT_EQ(start(file(6000, 6000, true)), 6000) << "a header that fills the file";
  EXPECT_EQ(start(file(6001, 6000, true)), 0) << "larger than the file";
  EXPECT_EQ(start(file(24, 6000, true)), 24);
  EXPECT_EQ(start(file(23, 6000, true)), 0) << "smaller than its own prefix";
  EXPECT_EQ(start(file(1ULL << 63, 6000, true)), 0);
  EXPECT_EQ(start(file(5000, 6000, false)), 0) << "no header object";
  EXPECT_EQ(start(TBytes(guid.begin(), guid.end())), 0) << "cut short";
  EXPECT_EQ(start({}), 0);
}

}  // namespace
