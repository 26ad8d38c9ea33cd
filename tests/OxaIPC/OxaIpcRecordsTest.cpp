#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "OxaIPC/OxaIpcRecords.h"
#include "platform/core/ByteOrder.h"
#include "tests/support/TempFolder.h"

namespace {

template <class T>
std::vector<std::uint8_t> Bytes(const T& record)
{
  std::vector<std::uint8_t> bytes(sizeof(T));
  std::memcpy(bytes.data(), &record, sizeof(T));
  return bytes;
}

std::vector<std::uint8_t> Words(std::initializer_list<std::uint32_t> words)
{
  std::vector<std::uint8_t> bytes(words.size() * 4);
  std::size_t at = 0;
  for (std::uint32_t word : words) {
    ByteOrder::StoreLE32(bytes.data() + at, word);
    at += 4;
  }
  return bytes;
}

TEST(OxaIpcRecords, HeadHeaderByteImage)
{
  TOxaIpcHeadHeader head{};
  std::memcpy(head.Name, "VANTELPC", 8);
  head.Magic = OxaIpcMagic;
  head.Generation = 3;
  head.BodySize = 0x8000;
  const auto bytes = Bytes(head);
  ASSERT_EQ(bytes.size(), 268u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data())), "VANTELPC");
  EXPECT_EQ(bytes[8], 0);
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 256, bytes.end()),
            (std::vector<std::uint8_t>{0xCF, 0, 0, 0, 3, 0, 0, 0, 0x00, 0x80, 0, 0}));
}

TEST(OxaIpcRecords, FixedRecordByteImages)
{
  EXPECT_EQ(Bytes(TOxaIpcBodyHeader{1, 2, 3, 4, 5, 6, 7}), Words({1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(Bytes(TOxaIpcProcessRecord{0x40, 10, 2, 0x00010002, 1}), Words({0x40, 10, 2, 0x00010002, 1}));
  EXPECT_EQ(Bytes(TOxaIpcClientRecord{0, 12, 0x54, 1, 0, 0x74, 0}), Words({0, 12, 0x54, 1, 0, 0x74, 0}));
  EXPECT_EQ(Bytes(TOxaIpcMessageRecord{0, 0xFFFFFFFFu, 12, 13, 14, 15, 16, 17}),
            Words({0, 0xFFFFFFFFu, 12, 13, 14, 15, 16, 17}));
  EXPECT_EQ(Bytes(TOxaIpcNameRecord{0x64, 9}), Words({0x64, 9}));
  EXPECT_EQ(Bytes(TOxaIpcPropertyRecord{0, 5, 3}), Words({0, 5, 3}));
}

TEST(OxaIpcRecords, VariableRecordSizes)
{
  EXPECT_EQ(OxaIpcNameRecordSize(0), 13u);
  EXPECT_EQ(OxaIpcNameRecordSize(6), 19u);
  EXPECT_EQ(OxaIpcMessageRecordSize(0), 36u);
  EXPECT_EQ(OxaIpcMessageRecordSize(12), 48u);
  EXPECT_EQ(OxaIpcPropertyRecordSize(4), 20u);
  EXPECT_EQ(OxaIpcTypesBlockSize(2), 16u);
}

TEST(OxaIpcRecords, ObjectNames)
{
  struct TCase {
    std::string Got;
    std::string Want;
  };
  const TCase cases[] = {
      {OxaIpcMutexName("VANTELPC"), "OxaIpc.VANTELPC.Mutex"},
      {OxaIpcHeadName("VANTELPC"), "OxaIpc.VANTELPC.Head"},
      {OxaIpcBodyName("VANTELPC", 12), "OxaIpc.VANTELPC.Body.12"},
      {OxaIpcProcessMutexName("VANTELPC", 7), "OxaIpc.VANTELPC.Mutex.7"},
      {OxaIpcClientEventName("VANTELPC", 44), "OxaIpc.VANTELPC.Client.44"},
      {OxaIpcApplicationMutexName("C:\\Oxa\\Pyrmel.exe"), "OxaIpc.a.C:/OXA/PYRMEL.EXE"},
      {OxaIpcLaunchMutexName("\\\\srv\\share\\a.exe"), "OxaIpc.e.//SRV/SHARE/A.EXE"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.Got, c.Want);
  }
}

// A made-up body heap: header 16, user header 32, nodes from 48 up to the 8-byte tail at 1024.
class TBodyImage : public ::testing::Test {
 protected:
  TBodyImage() : FMemory(1032, 0), FBody(FMemory.data(), 1032) {}
  // A block at node offset node holding request bytes; returns its data offset.
  std::uint32_t Block(std::uint32_t node, std::uint32_t request)
  {
    ByteOrder::StoreLE32(FMemory.data() + node, request);
    return node + 4;
  }
  std::vector<std::uint8_t> FMemory;
  TOxaIpcBody FBody;
};

TEST_F(TBodyImage, BlockChecksBothSidesOfEveryBound)
{
  const std::uint32_t first = Block(48, 20);
  const std::uint32_t last = Block(992, 28);   // 32 bytes, ending exactly where the tail begins
  const std::uint32_t over = Block(1008, 13);  // 13 needs 32 bytes: past the tail
  struct TCase {
    std::uint32_t Offset;
    std::uint32_t Size;
    bool Valid;
  };
  const TCase cases[] = {
      {first, 20, true},     {first, 21, false},      // the request bounds the record
      {first, 0, true},      {first - 16, 0, false},  // before the first node
      {first + 1, 0, false}, {first + 12, 0, false},  // not on a block boundary
      {last, 28, true},      {over, 13, false},       // the block must end before the tail
      {1028, 0, false},      {0xFFFFFFF4u, 0, false}, {0, 0, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FBody.IsBlock(c.Offset, c.Size), c.Valid) << c.Offset << " " << c.Size;
  }
  EXPECT_TRUE(FBody.IsBlock(Block(1008, 12), 12));  // 16 bytes: ends exactly at the tail
  EXPECT_THROW(FBody.Read<TOxaIpcProcessRecord>(Block(64, 16)), EOxaIpcDamaged);
  EXPECT_NO_THROW(FBody.Read<TOxaIpcProcessRecord>(Block(64, 20)));
}

TEST_F(TBodyImage, NameRecordsMustEndInsideTheirBlock)
{
  const std::uint32_t good = Block(48, OxaIpcNameRecordSize(5));
  std::memcpy(FMemory.data() + good + 8, "Hello", 6);
  EXPECT_EQ(FBody.RecordName(good), "Hello");
  const std::uint32_t unterminated = Block(80, OxaIpcNameRecordSize(5));
  std::memcpy(FMemory.data() + unterminated + 8, "Hello!", 6);
  EXPECT_THROW(FBody.RecordName(unterminated), EOxaIpcDamaged);
  const std::uint32_t tooShort = Block(112, 12);
  EXPECT_THROW(FBody.RecordName(tooShort), EOxaIpcDamaged);
}

TEST_F(TBodyImage, WalksStopAtTheNumberOfBlocksTheHeapHolds)
{
  TOxaIpcBody::TWalk walk(FBody, "test");
  for (std::uint32_t i = 0; i < FBody.MaxRecords(); ++i) {
    walk.Step();
  }
  EXPECT_THROW(walk.Step(), EOxaIpcDamaged);
}

TEST_F(TBodyImage, ByteRangesThatOverflowAreRefused)
{
  const std::uint32_t block = Block(48, 40);
  std::uint8_t data[8] = {};
  EXPECT_NO_THROW(FBody.ReadBytes(block, 32, data, 8));
  EXPECT_THROW(FBody.ReadBytes(block, 33, data, 8), EOxaIpcDamaged);
  EXPECT_THROW(FBody.ReadBytes(block, 0xFFFFFFFFu, data, 8), EOxaIpcDamaged);
}

TEST(OxaIpcRecords, StoredBodiesAreCheckedWhole)
{
  struct TCase {
    const char* File;
    bool Sound;
  };
  const TCase cases[] = {{"sound.bin", true},
                         {"name-loop.bin", false},
                         {"client-off-grid.bin", false},
                         {"huge-message.bin", false},
                         {"too-small.bin", false}};
  for (const auto& c : cases) {
    std::ifstream file(SourceFolder() / "tests/data/oxa-ipc-body" / c.File, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(bytes.empty()) << c.File;
    TOxaIpcBody body(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    if (c.Sound) {
      EXPECT_NO_THROW(OxaIpcValidateBody(body)) << c.File;
    } else {
      EXPECT_THROW(OxaIpcValidateBody(body), EOxaIpcDamaged) << c.File;
    }
  }
}

}  // namespace
