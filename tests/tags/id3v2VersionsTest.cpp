#include "tags/id3v2Versions.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tags/ID3Version2Tagger2.h"
#include "tags/Zlib.h"
#include "tests/support/TempFolder.h"
#include "tests/tags/TagTestFiles.h"

namespace {

using mp3::TBytes;

// An ID3v2.2 frame: three-letter ID, 24-bit size.
TBytes V22Frame(std::string_view id, const TBytes& data)
{
  TBytes frame(id.begin(), id.end());
  const auto size = static_cast<std::uint32_t>(data.size());
  frame.insert(frame.end(), {static_cast<std::uint8_t>(size >> 16), static_cast<std::uint8_t>(size >> 8),
                             static_cast<std::uint8_t>(size)});
  mp3::Append(frame, data);
  return frame;
}

// An ID3v2.4 frame: synchsafe size (or plain, as some writers put it), two flag bytes.
TBytes V24Frame(std::string_view id, const TBytes& data, std::uint16_t flags = 0, bool plainSize = false)
{
  TBytes frame(id.begin(), id.end());
  const auto size = static_cast<std::uint32_t>(data.size());
  if (plainSize) {
    mp3::PutBigEndian32(frame, size);
  } else {
    for (int shift = 21; shift >= 0; shift -= 7) {
      frame.push_back(static_cast<std::uint8_t>((size >> shift) & 0x7F));
    }
  }
  frame.push_back(static_cast<std::uint8_t>(flags >> 8));
  frame.push_back(static_cast<std::uint8_t>(flags));
  mp3::Append(frame, data);
  return frame;
}

TBytes Tag(std::uint8_t version, std::initializer_list<TBytes> frames, std::uint8_t flags = 0,
           std::size_t padding = 16)
{
  return mp3::Id3Tag(frames, padding, version, flags);
}

TBytes Latin1(std::string_view text)
{
  TBytes data{0};
  mp3::Append(data, mp3::Text(text));
  return data;
}

// The fields the tagger reads from a converted tag, and the frames it keeps.
struct TExpected {
  std::string Title, Artist, Year, GenreText, Comment;
  int Track = 0;
};

class id3v2Versions : public ::testing::Test {
 protected:
  TID3Version2Tagger2 Load(const TBytes& tag)
  {
    TBytes file = tag;
    mp3::Append(file, FAudio);
    TID3Version2Tagger2 tagger;
    EXPECT_TRUE(tagger.Load(WriteBytes(FFolder.Path() / "song.mp3", file)));
    return tagger;
  }

  TTempFolder FFolder;
  const TBytes FAudio = mp3::Audio(mp3::TFrameRecipe{}, 20'000);
};

TEST_F(id3v2Versions, OlderAndNewerTagsReadAsTheirFields)
{
  // UTF-16 whose byte-order mark FF FE was kept apart by a zero.
  const TBytes unsynchronised = {1, 0xFF, 0x00, 0xFE, 'A', 0};
  // The data-length indicator (synchsafe) comes before the compressed data.
  TBytes withLength = {0, 0, 0, 7};
  mp3::Append(withLength, ZlibDeflate(Latin1("Packed")));
  const TBytes longTitle = Latin1(std::string(200, 'a'));
  struct TCase {
    const char* What;
    TBytes Tag;
    TExpected Expected;
  };
  const TCase cases[] = {
      {"v2.2 texts",
       Tag(2, {V22Frame("TT2", Latin1("Song")), V22Frame("TP1", Latin1("Band")),
               V22Frame("TYE", Latin1("1999")), V22Frame("TCO", Latin1("(17)")),
               V22Frame("TRK", Latin1("3/12")), V22Frame("COM", {0, 'e', 'n', 'g', 0, 'N', 'i', 'c', 'e'})}),
       {"Song", "Band", "1999", "(17)", "Nice", 3}},
      {"v2.2 utf-16",
       Tag(2, {V22Frame("TT2", {1, 0xFF, 0xFE, 0x1F, 0x66, 0x7A, 0x7A}), V22Frame("XYZ", Latin1("dropped"))}),
       {"\xE6\x98\x9F\xE7\xA9\xBA", "", "", "", "", 0}},
      {"v2.2 unsynchronised tag", Tag(2, {V22Frame("TT2", unsynchronised)}, 0x80), {"A", "", "", "", "", 0}},
      {"v2.4 utf-8, TDRC, bare genre number",
       Tag(4, {V24Frame("TIT2", {3, 0xC3, 0x87, 'a', 0xC4, 0x9F, 'l', 'a'}),
               V24Frame("TDRC", Latin1("2004-05-06")), V24Frame("TCON", Latin1("17")),
               V24Frame("TRCK", Latin1("07"))}),
       {"\xC3\x87"
        "a\xC4\x9Fla",
        "", "2004", "(17)", "", 7}},
      {"v2.4 utf-16 big endian, several values",
       Tag(4, {V24Frame("TPE1", {2, 0x04, 0x1C, 0, 0, 0, 'B'})}),
       {"", "\xD0\x9C", "", "", "", 0}},
      {"v2.4 comment in utf-8 with a description first",
       Tag(4, {V24Frame("COMM", {3, 'e', 'n', 'g', 'd', 0, 'x'}),
               V24Frame("COMM", {3, 'e', 'n', 'g', 0, 0xE2, 0x82, 0xAC})}),
       {"", "", "", "", "\xE2\x82\xAC", 0}},
      {"v2.4 per-frame unsynchronisation",
       Tag(4, {V24Frame("TIT2", unsynchronised, 0x0002)}),
       {"A", "", "", "", "", 0}},
      {"v2.4 whole-tag unsynchronisation flag",
       Tag(4, {V24Frame("TIT2", unsynchronised)}, 0x80),
       {"A", "", "", "", "", 0}},
      {"v2.4 compressed with a data length",
       Tag(4, {V24Frame("TIT2", withLength, 0x0009)}),
       {"Packed", "", "", "", "", 0}},
      {"v2.4 encrypted frame dropped",
       Tag(4, {V24Frame("TIT2", {0x80, 0, 'X'}, 0x0004), V24Frame("TPE1", Latin1("B"))}),
       {"", "B", "", "", "", 0}},
      {"v2.4 grouped frame", Tag(4, {V24Frame("TIT2", {7, 0, 'G'}, 0x0040)}), {"G", "", "", "", "", 0}},
      {"v2.4 plain sizes",
       Tag(4, {V24Frame("TIT2", longTitle, 0, true), V24Frame("TPE1", Latin1("After"), 0, true)}),
       {std::string(200, 'a'), "After", "", "", "", 0}},
  };
  for (const TCase& c : cases) {
    const TID3Version2Tagger2 tagger = Load(c.Tag);
    ASSERT_TRUE(tagger.HasTag()) << c.What;
    EXPECT_EQ(tagger.Title(), c.Expected.Title) << c.What;
    EXPECT_EQ(tagger.Artist(), c.Expected.Artist) << c.What;
    EXPECT_EQ(tagger.Year(), c.Expected.Year) << c.What;
    EXPECT_EQ(tagger.GenreText(), c.Expected.GenreText) << c.What;
    EXPECT_EQ(tagger.Comment(), c.Expected.Comment) << c.What;
    EXPECT_EQ(tagger.Track(), c.Expected.Track) << c.What;
  }
}

TEST_F(id3v2Versions, DamagedOrUnknownTagsAreNone)
{
  TBytes beyondEnd = Tag(4, {V24Frame("TIT2", Latin1("Song"))});
  beyondEnd[7] = 0x7F;  // far more than the file holds
  struct TCase {
    const char* What;
    TBytes Tag;
  };
  const TCase cases[] = {
      {"v2.2 compressed", Tag(2, {V22Frame("TT2", Latin1("Song"))}, 0x40)},
      {"v2.4 beyond the end", beyondEnd},
      {"v2.4 extended header too big", Tag(4, {TBytes{0, 0, 1, 0, 1, 0}}, 0x40)},
      {"version 5", Tag(5, {V24Frame("TIT2", Latin1("Song"))})},
  };
  for (const TCase& c : cases) {
    EXPECT_FALSE(Load(c.Tag).HasTag()) << c.What;
  }
}

// A damaged frame is left out; the sound frames before and after it are read.
TEST_F(id3v2Versions, ADamagedFrameIsLeftOutAndTheOthersRead)
{
  TBytes v22Long = V22Frame("TYE", Latin1("1998"));
  v22Long[5] = 200;
  TBytes v24Long = V24Frame("TDRC", Latin1("1998"));
  v24Long[4] = 0x7F;
  struct TCase {
    const char* What;
    TBytes Tag;
  };
  const TCase cases[] = {
      {"v2.2 frame longer than the tag",
       Tag(2, {V22Frame("TT2", Latin1("Song")), V22Frame("TAL", Latin1("Disc")), v22Long,
               V22Frame("TP1", Latin1("Band"))})},
      {"v2.2 bad frame id", Tag(2, {V22Frame("TT2", Latin1("Song")), V22Frame("TAL", Latin1("Disc")),
                                    V22Frame("T!E", Latin1("1998")), V22Frame("TP1", Latin1("Band"))})},
      {"v2.4 frame longer than the tag",
       Tag(4, {V24Frame("TIT2", Latin1("Song")), V24Frame("TALB", Latin1("Disc")), v24Long,
               V24Frame("TPE1", Latin1("Band"))})},
      {"v2.4 bad frame id", Tag(4, {V24Frame("TIT2", Latin1("Song")), V24Frame("TALB", Latin1("Disc")),
                                    V24Frame("T!RC", Latin1("1998")), V24Frame("TPE1", Latin1("Band"))})},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    const TID3Version2Tagger2 tagger = Load(c.Tag);
    EXPECT_TRUE(tagger.HasTag());
    EXPECT_EQ(tagger.Title(), "Song");
    EXPECT_EQ(tagger.Album(), "Disc");
    EXPECT_EQ(tagger.Artist(), "Band");
    EXPECT_EQ(tagger.Year(), "");
  }
}

TEST_F(id3v2Versions, ASaveReplacesTheTagByOneId3v23TagWithEveryFrameThatConverts)
{
  const TBytes picture = {0, 'i', 'm', 'a',  'g', 'e', '/', 'p',  'n', 'g',
                          0, 3,   0,   0x89, 'P', 'N', 'G', 0xFF, 0xE0};
  for (const std::uint8_t version : {2, 4}) {
    const TBytes tag =
        version == 2 ? Tag(2, {V22Frame("TT2", Latin1("Old")), V22Frame("TP1", Latin1("Band")),
                               V22Frame("COM", {0, 'e', 'n', 'g', 'd', 0, 'D'}),
                               V22Frame("COM", {0, 'e', 'n', 'g', 0, 'C'}),
                               V22Frame("PIC", {0, 'P', 'N', 'G', 3, 0, 0x89, 'P', 'N', 'G', 0xFF, 0xE0}),
                               V22Frame("CNT", {0, 0, 0, 9})})
                     : Tag(4,
                           {V24Frame("TIT2", Latin1("Old")), V24Frame("TPE1", Latin1("Band")),
                            V24Frame("COMM", {0, 'e', 'n', 'g', 'd', 0, 'D'}),
                            V24Frame("COMM", {0, 'e', 'n', 'g', 0, 'C'}), V24Frame("APIC", picture),
                            V24Frame("PCNT", {0, 0, 0, 9}), V24Frame("TXXX", {0, 'k', 0, 'v'})},
                           0x10);
    TBytes file = tag;
    if (version == 4) {
      // The footer the header's flag announces: the new tag takes its bytes too.
      file.insert(file.end(), {'3', 'D', 'I', 4, 0, 0x10, tag[6], tag[7], tag[8], tag[9]});
    }
    mp3::Append(file, FAudio);
    const std::string name = WriteBytes(FFolder.Path() / "convert.mp3", file);
    TID3Version2Tagger2 tagger;
    ASSERT_TRUE(tagger.Load(name));
    ASSERT_TRUE(tagger.HasTag()) << int{version};
    tagger.SetTitle("New \xE6\x98\x9F");
    ASSERT_TRUE(tagger.Save()) << int{version};

    const TBytes saved = ReadBytes(name);
    ASSERT_GE(saved.size(), FAudio.size());
    EXPECT_TRUE(
        std::equal(FAudio.begin(), FAudio.end(), saved.end() - static_cast<std::ptrdiff_t>(FAudio.size())));
    EXPECT_EQ(saved[3], 3);
    const TBytes id3 = {'I', 'D', '3'};
    EXPECT_EQ(std::search(saved.begin() + 3, saved.end(), id3.begin(), id3.end()), saved.end())
        << "one tag only";
    TID3Version2Tagger2 reread;
    ASSERT_TRUE(reread.Load(name));
    EXPECT_EQ(reread.Title(), "New \xE6\x98\x9F");
    EXPECT_EQ(reread.Artist(), "Band");
    EXPECT_EQ(reread.Comment(), "C");
    std::vector<std::string> ids;
    const TFrameIndex& frames = reread.Tag()->Frames();
    for (int i = 1; i <= frames.Count(); ++i) {
      ids.push_back(frames.FrameID(i));
    }
    const std::vector<std::string> expected =
        version == 2 ? std::vector<std::string>{"TIT2", "TPE1", "COMM", "COMM", "APIC"}
                     : std::vector<std::string>{"TIT2", "TPE1", "COMM", "COMM", "APIC", "TXXX"};
    EXPECT_EQ(ids, expected) << int{version};
    const int apic = frames.Find("APIC");
    ASSERT_GT(apic, 0);
    const TBytes& image = frames.Data(apic);
    EXPECT_EQ(TBytes(image.end() - 6, image.end()), (TBytes{0x89, 'P', 'N', 'G', 0xFF, 0xE0}));
    EXPECT_EQ(TBytes(image.begin(), image.begin() + 11),
              (TBytes{0, 'i', 'm', 'a', 'g', 'e', '/', 'p', 'n', 'g', 0}));
  }
}

}  // namespace
