#include "rtl/Stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "rtl/Exception.h"
#include "rtl/FileStream.h"
#include "tests/support/TempFolder.h"

TEST(Stream, MemoryStreamReadsWritesAndSeeks)
{
  TMemoryStream stream;
  stream.WriteBuffer("hello", 5);
  EXPECT_EQ(stream.Size(), 5);
  stream.SetPosition(1);
  char buffer[8] = {};
  EXPECT_EQ(stream.Read(buffer, 8), 4);
  EXPECT_STREQ(buffer, "ello");
  EXPECT_EQ(stream.Read(buffer, 8), 0);
  stream.Seek(2, TSeekOrigin::soEnd);
  stream.WriteBuffer("!", 1);
  EXPECT_EQ(stream.Size(), 8);
  EXPECT_EQ(static_cast<char>(stream.Memory()[5]), '\0');
  EXPECT_EQ(stream.Seek(-100, TSeekOrigin::soCurrent), 0);
}

TEST(Stream, ShortReadRaisesReadError)
{
  TMemoryStream stream;
  stream.WriteBuffer("abc", 3);
  stream.SetPosition(0);
  char buffer[4];
  EXPECT_THROW(stream.ReadBuffer(buffer, 4), EReadError);
}

TEST(Stream, FileStreamRoundTripAndOpenErrors)
{
  TTempFolder folder;
  const std::string name = (folder.Path() / "data.bin").string();
  {
    TFileStream file(name, fmCreate);
    file.WriteBuffer("0123456789", 10);
    file.SetSize(4);
    EXPECT_EQ(file.Size(), 4);
  }
  TMemoryStream memory;
  memory.LoadFromFile(name);
  ASSERT_EQ(memory.Size(), 4);
  EXPECT_EQ(std::memcmp(memory.Memory(), "0123", 4), 0);

  TMemoryStream copy;
  TFileStream source(name, fmOpenRead | fmShareDenyWrite);
  EXPECT_EQ(copy.CopyFrom(source, 0), 4);

  EXPECT_THROW(TFileStream((folder.Path() / "missing").string(), fmOpenRead), EFOpenError);
  EXPECT_THROW(TFileStream((folder.Path() / "no" / "such").string(), fmCreate), EFCreateError);
}

// A file stream and a memory stream given the same seeks, reads, writes and resizes agree on
// every position, every byte read and the final contents (a file stream only moves its handle
// when it must, so interleavings are where it could go wrong).
TEST(Stream, FileStreamFollowsSeeksLikeMemoryStream)
{
  enum class TOp { SeekBegin, SeekCurrent, SeekEnd, Read, Write, SetSize };
  struct TStep {
    TOp Op;
    std::int64_t Value;
  };
  const std::vector<std::vector<TStep>> scripts = {
      {{TOp::Write, 20}, {TOp::SeekBegin, 5}, {TOp::Read, 4}, {TOp::SeekCurrent, -2}, {TOp::Read, 6}},
      {{TOp::Write, 16},
       {TOp::SeekEnd, -4},
       {TOp::Read, 10},
       {TOp::SeekBegin, 2},
       {TOp::Write, 3},
       {TOp::Read, 2}},
      {{TOp::Write, 10}, {TOp::SeekBegin, 14}, {TOp::Write, 2}, {TOp::SeekBegin, 0}, {TOp::Read, 20}},
      {{TOp::Write, 12},
       {TOp::SeekBegin, 3},
       {TOp::SetSize, 8},
       {TOp::Read, 8},
       {TOp::SeekEnd, 0},
       {TOp::Write, 1}},
      {{TOp::Write, 12}, {TOp::SeekBegin, 10}, {TOp::SetSize, 4}, {TOp::Write, 2}, {TOp::SeekCurrent, -100}},
      {{TOp::Write, 8},
       {TOp::SeekBegin, 2},
       {TOp::SeekBegin, 6},
       {TOp::Read, 1},
       {TOp::Write, 1},
       {TOp::Read, 4}},
  };
  TTempFolder folder;
  const std::string name = (folder.Path() / "script.bin").string();
  for (std::size_t s = 0; s < scripts.size(); ++s) {
    TFileStream file(name, fmCreate);
    TMemoryStream model;
    char next = 'a';
    for (std::size_t i = 0; i < scripts[s].size(); ++i) {
      const TStep& step = scripts[s][i];
      const std::string where = "script " + std::to_string(s) + " step " + std::to_string(i);
      switch (step.Op) {
        case TOp::SeekBegin:
        case TOp::SeekCurrent:
        case TOp::SeekEnd: {
          const TSeekOrigin origin = step.Op == TOp::SeekBegin     ? TSeekOrigin::soBeginning
                                     : step.Op == TOp::SeekCurrent ? TSeekOrigin::soCurrent
                                                                   : TSeekOrigin::soEnd;
          const std::int64_t base = step.Op == TOp::SeekBegin     ? 0
                                    : step.Op == TOp::SeekCurrent ? model.Position()
                                                                  : model.Size();
          const std::int64_t expected = model.Seek(step.Value, origin);
          if (base + step.Value >= 0) {
            EXPECT_EQ(file.Seek(step.Value, origin), expected) << where;
          } else {
            // Before the start: the memory stream stops at 0, the file refuses and stays put.
            const std::int64_t before = file.Position();
            EXPECT_EQ(file.Seek(step.Value, origin), -1) << where;
            EXPECT_EQ(file.Position(), before) << where;
            file.Seek(expected, TSeekOrigin::soBeginning);
          }
          break;
        }
        case TOp::Read: {
          std::string fromFile(static_cast<std::size_t>(step.Value), '\0');
          std::string fromModel(static_cast<std::size_t>(step.Value), '\0');
          const auto got = file.Read(fromFile.data(), step.Value);
          ASSERT_EQ(got, model.Read(fromModel.data(), step.Value)) << where;
          EXPECT_EQ(fromFile.substr(0, got), fromModel.substr(0, got)) << where;
          break;
        }
        case TOp::Write: {
          std::string bytes;
          for (std::int64_t k = 0; k < step.Value; ++k) {
            bytes += next;
            next = next == 'z' ? 'a' : static_cast<char>(next + 1);
          }
          EXPECT_EQ(file.Write(bytes.data(), step.Value), model.Write(bytes.data(), step.Value)) << where;
          break;
        }
        case TOp::SetSize:
          file.SetSize(step.Value);
          model.SetSize(step.Value);
          break;
      }
      EXPECT_EQ(file.Position(), model.Position()) << where;
      EXPECT_EQ(file.Size(), model.Size()) << where;
    }
    std::string contents(static_cast<std::size_t>(model.Size()), '\0');
    file.Seek(0, TSeekOrigin::soBeginning);
    ASSERT_EQ(file.Read(contents.data(), model.Size()), model.Size());
    EXPECT_EQ(std::memcmp(contents.data(), model.Memory(), contents.size()), 0) << "script " << s;
  }
}
