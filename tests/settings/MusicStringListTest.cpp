#include "settings/MusicStringList.h"

#include <gtest/gtest.h>

#include <string>

#include "rtl/Exception.h"

namespace {

std::string Bytes(TMemoryStream& stream)
{
  return std::string(reinterpret_cast<const char*>(stream.Memory()), static_cast<std::size_t>(stream.Size()));
}

TMemoryStream StreamOf(const std::string& bytes)
{
  TMemoryStream stream;
  stream.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
  stream.SetPosition(0);
  return stream;
}

void ExpectInvalid(const std::string& bytes)
{
  TMemoryStream stream = StreamOf(bytes);
  TMusicStringList list;
  list.Add("left over");
  try {
    list.LoadFromStream(stream);
    ADD_FAILURE() << "loaded an invalid stream of " << bytes.size() << " bytes";
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "TMusicStringList.LoadFromStream: Invalid stream");
  }
  EXPECT_EQ(list.Count(), 0);
}

}  // namespace

TEST(MusicStringList, OneEntryStreamsByteForByte)
{
  TMusicStringList list;
  list.Add("C:\\");
  TMemoryStream stream;
  list.SaveToStream(stream);
  EXPECT_EQ(Bytes(stream), std::string("\x01\x00\x00\x00N\x03\x00\x00\x00"
                                       "C:\\",
                                       12));
}

TEST(MusicStringList, NestedListsAndItemsRoundTrip)
{
  TMusicStringList list;
  auto* roots = new TMusicStringList;
  roots->Add("C:\\Music\\");
  roots->AddObject("D:\\", new TMusicStringItem("disc"));
  list.AddObject("Roots", roots);
  list.AddObject("Random", new TMusicStringItem("1"));
  list.Add("Version");
  list.AddObject("Empty", new TMusicStringList);

  TMemoryStream stream;
  list.SaveToStream(stream);
  const std::string expectedStart("\x04\x00\x00\x00L\x05\x00\x00\x00Roots\x02\x00\x00\x00N", 19);
  EXPECT_EQ(Bytes(stream).substr(0, expectedStart.size()), expectedStart);

  stream.SetPosition(0);
  TMusicStringList loaded;
  loaded.LoadFromStream(stream);
  ASSERT_EQ(loaded.Count(), 4);
  ASSERT_NE(loaded.List(0), nullptr);
  EXPECT_EQ(loaded.List(0)->Strings(0), "C:\\Music\\");
  ASSERT_NE(loaded.List(0)->Item(1), nullptr);
  EXPECT_EQ(loaded.List(0)->Item(1)->Value, "disc");
  ASSERT_NE(loaded.Item(1), nullptr);
  EXPECT_EQ(loaded.Item(1)->Value, "1");
  EXPECT_EQ(loaded.Objects(2), nullptr);
  ASSERT_NE(loaded.List(3), nullptr);
  EXPECT_EQ(loaded.List(3)->Count(), 0);

  TMemoryStream again;
  loaded.SaveToStream(again);
  EXPECT_EQ(Bytes(again), Bytes(stream));
}

TEST(MusicStringList, RejectsBadKindsAndCountsBeyondTheStream)
{
  ExpectInvalid(std::string("\x01\x00\x00\x00X\x00\x00\x00\x00", 9));
  // A count of four billion entries in a 9-byte stream must not allocate or loop.
  ExpectInvalid(std::string("\xFF\xFF\xFF\xFFN\x00\x00\x00\x00", 9));
  // A string length beyond the end.
  ExpectInvalid(
      std::string("\x01\x00\x00\x00N\xFF\xFF\xFF\x7F"
                  "abc",
                  12));
  // An item whose value is cut short.
  ExpectInvalid(
      std::string("\x01\x00\x00\x00S\x01\x00\x00\x00k\x05\x00\x00\x00"
                  "ab",
                  16));
  // A count cut short.
  ExpectInvalid(std::string("\x01\x00", 2));
  ExpectInvalid("");
}

TEST(MusicStringList, RejectsNestingDeeperThanTheLimit)
{
  std::string deep;
  for (int i = 0; i <= MaxMusicStringListDepth + 1; ++i) {
    deep += std::string("\x01\x00\x00\x00L\x00\x00\x00\x00", 9);
  }
  deep += std::string("\x00\x00\x00\x00", 4);
  ExpectInvalid(deep);

  std::string allowed;
  for (int i = 0; i < MaxMusicStringListDepth; ++i) {
    allowed += std::string("\x01\x00\x00\x00L\x00\x00\x00\x00", 9);
  }
  allowed += std::string("\x00\x00\x00\x00", 4);
  TMemoryStream stream = StreamOf(allowed);
  TMusicStringList list;
  EXPECT_NO_THROW(list.LoadFromStream(stream));
}

TEST(MusicStringList, AssignCopiesDeeplyAndSkipsForeignObjects)
{
  TMusicStringList source;
  auto* nested = new TMusicStringList;
  nested->AddObject("inner", new TMusicStringItem("v"));
  source.AddObject("list", nested);
  source.AddObject("item", new TMusicStringItem("x"));
  TObject foreign;
  TStringList plain;
  plain.AddObject("foreign", &foreign);
  plain.Add("text");

  TMusicStringList copy;
  copy.Assign(source);
  ASSERT_EQ(copy.Count(), 2);
  ASSERT_NE(copy.List(0), nullptr);
  EXPECT_NE(copy.List(0), source.List(0));
  EXPECT_NE(copy.List(0)->Item(0), source.List(0)->Item(0));
  EXPECT_EQ(copy.List(0)->Item(0)->Value, "v");
  source.List(0)->Item(0)->Value = "changed";
  EXPECT_EQ(copy.List(0)->Item(0)->Value, "v");

  copy.Assign(plain);
  ASSERT_EQ(copy.Count(), 2);
  EXPECT_EQ(copy.Objects(0), nullptr);
  EXPECT_EQ(copy[1], "text");

  copy.Assign(copy);
  EXPECT_EQ(copy.Count(), 2);
}
