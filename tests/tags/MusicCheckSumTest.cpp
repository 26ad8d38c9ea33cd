#include "tags/MusicCheckSum.h"

#include <gtest/gtest.h>

#include <algorithm>

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

}  // namespace
