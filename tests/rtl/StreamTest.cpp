#include "rtl/Stream.h"

#include <gtest/gtest.h>

#include <cstring>

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
