// The source records byte for byte, as the host reads them.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "OxaIPC/MusicIpc.h"

namespace {

template <class T>
std::vector<std::uint8_t> Image(const T& record)
{
  std::vector<std::uint8_t> bytes(sizeof(T));
  std::memcpy(bytes.data(), &record, sizeof(T));
  return bytes;
}

std::vector<std::uint8_t> Words(std::initializer_list<std::uint32_t> words)
{
  std::vector<std::uint8_t> bytes;
  for (const std::uint32_t word : words) {
    for (int i = 0; i < 4; ++i) {
      bytes.push_back(static_cast<std::uint8_t>(word >> (8 * i)));
    }
  }
  return bytes;
}

TEST(TSourceRecords, SmallRecordsAreTheirValuesInOrder)
{
  EXPECT_EQ(Image(TSourcePicture{1, -2, 0x01020304}), Words({1, 0xFFFFFFFE, 0x01020304}));
  EXPECT_EQ(Image(TSourceVideo{5, 6}), Words({5, 6}));
  EXPECT_EQ(Image(TSourceDisplay{1, 0x00ABCDEF, 0}), Words({1, 0x00ABCDEF, 0}));
  EXPECT_EQ(Image(TSourceAudio{3, 4}), Words({3, 4}));
  EXPECT_EQ(Image(TSourceOpenParameters{}), Words({0xFFFFFFFF, 0, 0}));
  EXPECT_EQ(Image(TSourceCloseParameters{}), Words({0xFFFFFFFF, 0}));
  EXPECT_EQ(Image(TEdgeWindows{1, 2, 3, 4}), Words({1, 2, 3, 4}));
  EXPECT_EQ(Image(TNodeKey{1, 2, 3, 4, 0}), Words({1, 2, 3, 4, 0}));
}

TEST(TSourceRecords, StatusCarriesALengthPrefixedText)
{
  struct TCase {
    std::size_t Length;
    std::size_t Kept;
  };
  const TCase cases[] = {{0, 0}, {1, 1}, {254, 254}, {255, 255}, {256, 255}, {1000, 255}};
  for (const auto& c : cases) {
    TSourceStatus status{};
    std::memset(&status, 0xEE, sizeof(status));
    status.Position = 1;
    status.Random = 8;
    status.SetFormatted(std::string(c.Length, 'x'));
    const auto bytes = Image(status);
    ASSERT_EQ(bytes.size(), 288u);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 4), Words({1}));
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 28, bytes.begin() + 32), Words({8}));
    EXPECT_EQ(bytes[32], c.Kept) << c.Length;
    for (std::size_t i = 0; i < 255; ++i) {
      ASSERT_EQ(bytes[33 + i], i < c.Kept ? 'x' : 0) << c.Length << " at " << i;
    }
    EXPECT_EQ(status.FormattedText(), std::string(c.Kept, 'x'));
  }
}

TEST(TSourceRecords, GuiIsFourValuesAndSixtyFourZeros)
{
  TSourceGui gui{};
  gui.Visible = 1;
  gui.Foreground = 2;
  gui.Flag = 3;
  gui.Mode = 2;
  auto expected = Words({1, 2, 3, 2});
  expected.resize(80, 0);
  EXPECT_EQ(Image(gui), expected);
}

}  // namespace
