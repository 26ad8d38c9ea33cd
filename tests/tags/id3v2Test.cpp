#include "tags/id3v2.h"

#include <gtest/gtest.h>

#include "rtl/Exception.h"
#include "rtl/FileStream.h"
#include "tags/Zlib.h"
#include "tests/support/FailingStream.h"
#include "tests/support/TempFolder.h"
#include "tests/tags/TagTestFiles.h"

namespace {

using mp3::TBytes;

TMemoryStream StreamOf(const TBytes& bytes)
{
  TMemoryStream stream;
  if (!bytes.empty()) {
    stream.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
  }
  return stream;
}

Tid3v2tag Loaded(const TBytes& bytes, std::uint16_t expectedStatus = 0)
{
  TMemoryStream stream = StreamOf(bytes);
  Tid3v2tag tag;
  EXPECT_EQ(tag.LoadFromStream(stream, 0), expectedStatus);
  return tag;
}

TBytes WithData(std::string_view id, const TBytes& data, std::uint16_t flags = 0)
{
  return mp3::Id3Tag({mp3::Id3Frame(id, data, flags)});
}

TEST(id3v2, LoadStatusNamesWhatIsWrong)
{
  TBytes badFrameSize = mp3::Id3TextFrame("TIT2", "Song");
  badFrameSize[7] = 100;
  TBytes extendedWithOddFlags = mp3::Id3Header(10 + 14, 3, 0, tfExtendedHeader);
  mp3::Append(extendedWithOddFlags, {0, 0, 0, 6, 0x00, 0x01, 0, 0, 0, 0});
  mp3::Append(extendedWithOddFlags, mp3::Id3TextFrame("TIT2", "abc"));
  TBytes beyond = mp3::Id3Tag({mp3::Id3TextFrame("TIT2", "Song")});
  beyond[9] += 1;
  struct TCase {
    const char* What;
    TBytes File;
    std::uint16_t Status;
  };
  const TCase cases[] = {
      {"plain", mp3::Id3Tag({mp3::Id3TextFrame("TIT2", "Song")}, 20), 0},
      {"short", {'I', 'D', '3', 3, 0, 0, 0, 0, 0}, id3NoHeader},
      {"no ID3", mp3::BusyBytes(100), id3NoHeader},
      {"size byte", {'I', 'D', '3', 3, 0, 0, 0x80, 0, 0, 0}, id3NoHeader},
      {"version 2", mp3::Id3Tag({mp3::Id3TextFrame("TT2", "S")}, 0, 2), id3BadVersion},
      {"version 4", mp3::Id3Tag({mp3::Id3TextFrame("TIT2", "S")}, 0, 4), id3BadVersion},
      {"revision", mp3::Id3Header(0, 3, 1), id3BadRevision},
      {"beyond end", beyond, id3TagBeyondEnd},
      {"frame id", mp3::Id3Tag({mp3::Id3TextFrame("TI-2", "Song")}), id3DamagedFrames},
      {"frame size", mp3::Id3Tag({badFrameSize}), id3DamagedFrames},
      {"undefined flag", mp3::Id3Tag({mp3::Id3TextFrame("TIT2", "S")}, 0, 3, 0x01), id3UndefinedFlags},
      {"extended flag", extendedWithOddFlags, id3UndefinedExtendedFlags},
      {"warnings add up", mp3::Id3Tag({mp3::Id3TextFrame("TI-2", "S")}, 0, 3, 0x01),
       id3DamagedFrames | id3UndefinedFlags},
      {"truncated extras", WithData("TIT2", {1, 2}, ffCompressed), id3DamagedFrames},
  };
  for (const TCase& c : cases) {
    TMemoryStream stream = StreamOf(c.File);
    Tid3v2tag tag;
    EXPECT_EQ(tag.LoadFromStream(stream, 0), c.Status) << c.What;
    EXPECT_EQ(tag.Loaded(), Id3StatusOk(c.Status)) << c.What;
  }
  TMemoryStream stream = StreamOf(mp3::BusyBytes(20));
  Tid3v2tag tag;
  EXPECT_EQ(tag.LoadFromStream(stream, 21), id3OffsetBeyondEnd);
}

// However one frame is damaged, the sound frames before and after it load, in their order.
TEST(id3v2, ADamagedFrameIsLeftOutAndTheOthersLoad)
{
  const TBytes title = mp3::Id3TextFrame("TIT2", "Song");
  const TBytes artist = mp3::Id3TextFrame("TPE1", "Band");
  const TBytes album = mp3::Id3TextFrame("TALB", "Disc");
  const TBytes genre = mp3::Id3TextFrame("TCON", "Rock");
  TBytes sizeBeyond = mp3::Id3TextFrame("TYER", "1998");
  sizeBeyond[4] = 0x01;  // 16 MiB more than the tag holds
  TBytes badId = mp3::Id3TextFrame("TYER", "1998");
  badId[2] = 0;
  TBytes runsOn = mp3::Id3TextFrame("TYER", "1998");
  runsOn[7] = 200;  // past the frames after it, into the padding
  struct TCase {
    const char* What;
    TBytes Year;
    std::vector<std::string> Ids;  // the frames that load
  };
  const TCase cases[] = {
      {"a size beyond the tag", sizeBeyond, {"TIT2", "TPE1", "TALB", "TCON"}},
      {"an invalid ID", badId, {"TIT2", "TPE1", "TALB", "TCON"}},
      {"no room for its extra fields",
       mp3::Id3Frame("TYER", {0, '1'}, ffCompressed | ffEncrypted),
       {"TIT2", "TPE1", "TALB", "TCON"}},
      {"a size that runs past the frames after it", runsOn, {"TIT2", "TPE1", "TALB", "TCON"}},
  };
  for (const TCase& c : cases) {
    for (const bool last : {false, true}) {
      SCOPED_TRACE(std::string(c.What) + (last ? ", last" : ", among others"));
      const TBytes file = last ? mp3::Id3Tag({title, artist, album, genre, c.Year}, 20)
                               : mp3::Id3Tag({title, artist, album, c.Year, genre}, 20);
      const Tid3v2tag tag = Loaded(file, id3DamagedFrames);
      EXPECT_TRUE(tag.Loaded());
      std::vector<std::string> ids;
      for (int i = 1; i <= tag.Frames().Count(); ++i) {
        ids.push_back(tag.Frames().FrameID(i));
      }
      EXPECT_EQ(ids, c.Ids);
      std::string text;
      EXPECT_EQ(tag.ReadText("TALB", text), trFound);
      EXPECT_EQ(text, "Disc");
    }
  }
}

TEST(id3v2, FramesStopAtPaddingAndKeepTheirOrder)
{
  const Tid3v2tag tag =
      Loaded(mp3::Id3Tag({mp3::Id3TextFrame("TIT2", "Song"), mp3::Id3TextFrame("TPE1", "Band"),
                          mp3::Id3TextFrame("TIT2", "Other")},
                         50));
  ASSERT_EQ(tag.Frames().Count(), 3);
  EXPECT_EQ(tag.Frames().FrameID(1), "TIT2");
  EXPECT_EQ(tag.Frames().FrameID(3), "TIT2");
  std::string text;
  EXPECT_EQ(tag.ReadText("TIT2", text), trFound);
  EXPECT_EQ(text, "Song");
  EXPECT_THROW(tag.Frames().FrameID(4), EListError);
}

TEST(id3v2, FrameIndexAddsOnlyValidIdsUpperCased)
{
  TFrameIndex frames;
  EXPECT_EQ(frames.Add("tit2"), 1);
  EXPECT_EQ(frames.FrameID(1), "TIT2");
  EXPECT_EQ(frames.Add("TIT2"), 2);
  EXPECT_EQ(frames.Add("TIT"), 0);
  EXPECT_EQ(frames.Add("TI T"), 0);
  EXPECT_EQ(frames.Add("T\xC3\xA9T"), 0);
  EXPECT_FALSE(frames.SetFrameID(1, "X"));
  EXPECT_TRUE(frames.SetFrameID(1, "tpe1"));
  EXPECT_EQ(frames.Find("TPE1"), 1);
}

TEST(id3v2, ReadTextDecodesEveryEncodingWhole)
{
  const auto utf16 = [](bool bigEndian, std::u16string_view text) {
    TBytes data{1};
    mp3::Append(data, bigEndian ? TBytes{0xFE, 0xFF} : TBytes{0xFF, 0xFE});
    for (const char16_t unit : text) {
      const auto high = static_cast<std::uint8_t>(unit >> 8);
      const auto low = static_cast<std::uint8_t>(unit);
      mp3::Append(data, bigEndian ? TBytes{high, low} : TBytes{low, high});
    }
    return data;
  };
  struct TCase {
    const char* What;
    TBytes Data;
    int Result;
    std::string Text;
  };
  const TCase cases[] = {
      {"latin1", {0, 'C', 'a', 'f', 0xE9}, trFound, "Caf\xC3\xA9"},
      {"zero ends", {0, 'S', 'o', 'n', 'g', 0}, trFound, "Song"},
      {"zero then more", {0, 'A', 0, 'B'}, trFound, "A"},
      {"control", {0, 'A', 0x0A, 'B'}, trInvalidCharacter, ""},
      {"255", {0, 'A', 0xFF}, trInvalidCharacter, ""},
      {"one byte", {0}, trEmpty, ""},
      {"empty", {}, trEmpty, ""},
      {"little endian", utf16(false, u"Hello"), trFound, "Hello"},
      {"big endian", utf16(true, u"Hello"), trFound, "Hello"},
      {"latin1 in utf16", utf16(false, u"Caf\u00E9"), trFound, "Caf\xC3\xA9"},
      {"above U+00FF", utf16(false, u"Ab\u0100cd"), trFound,
       "Ab\xC4\x80"
       "cd"},
      {"cjk big endian", utf16(true, u"\u661F\u7A7A"), trFound, "\xE6\x98\x9F\xE7\xA9\xBA"},
      {"surrogate pair", utf16(false, u"\U0001F3B5!"), trFound, "\xF0\x9F\x8E\xB5!"},
      {"unpaired surrogate",
       utf16(false,
             u"a\xD800"
             u"b"),
       trFound,
       "a\xEF\xBF\xBD"
       "b"},
      {"no mark, little endian", {1, 'H', 0, 'i', 0}, trFound, "Hi"},
      {"no mark, big endian", {1, 0, 'H', 0, 'i'}, trFound, "Hi"},
      {"no mark, cjk", {1, 0x66, 0x1F, 0x7A, 0x7A}, trFound, "\xE6\x98\x9F\xE7\xA9\xBA"},
      {"odd byte at the end", {1, 0xFF, 0xFE, 'A', 0, 'B'}, trFound, "A"},
      {"mark alone", {1, 0xFF, 0xFE}, trEmpty, ""},
      {"utf16 big endian", {2, 0x04, 0x1C, 0x04, 0x38, 0x04, 0x40}, trFound, "\xD0\x9C\xD0\xB8\xD1\x80"},
      {"utf8",
       {3, 0xC3, 0x87, 'a', 0xC4, 0x9F},
       trFound,
       "\xC3\x87"
       "a\xC4\x9F"},
      {"utf8 malformed", {3, 'a', 0xC3}, trFound, "a\xEF\xBF\xBD"},
      {"utf8 control", {3, 'a', 0x07}, trInvalidCharacter, ""},
      {"utf16 zero ends", utf16(true, std::u16string_view(u"Ab\0cd", 5)), trFound, "Ab"},
      {"utf16 control", utf16(false, u"A\u0009b"), trInvalidCharacter, ""},
      {"utf16 too short", {1, 0xFF, 0xFE, 'A'}, trEmpty, ""},
      {"encoding 4", {4, 'A', 'B'}, trUnknownEncoding, ""},
  };
  for (const TCase& c : cases) {
    const Tid3v2tag tag = Loaded(mp3::Id3Tag({mp3::Id3Frame("TIT2", c.Data)}));
    std::string text = "stale";
    EXPECT_EQ(tag.ReadText("TIT2", text), c.Result) << c.What;
    EXPECT_EQ(text, c.Text) << c.What;
  }
}

TEST(id3v2, ReadTextRefusesWhatIsNotATextFrame)
{
  const Tid3v2tag tag = Loaded(mp3::Id3Tag({mp3::Id3TextFrame("TXXX", "x"), mp3::Id3TextFrame("COMM", "x"),
                                            mp3::Id3Frame("TENC", {0, 'x'}, ffEncrypted)}));
  std::string text;
  EXPECT_EQ(tag.ReadText("TXXX", text), trNotTextFrame);
  EXPECT_EQ(tag.ReadText("COMM", text), trNotTextFrame);
  EXPECT_EQ(tag.ReadText("TIT", text), trNotTextFrame);
  EXPECT_EQ(tag.ReadText("TALB", text), trNoFrame);
}

TEST(id3v2, EncryptedCompressedAndUnsynchronisedFrames)
{
  const TBytes plain = {0, 'S', 'o', 'n', 'g'};
  TBytes compressed;
  mp3::PutBigEndian32(compressed, static_cast<std::uint32_t>(plain.size()));
  mp3::Append(compressed, ZlibDeflate(plain));
  TBytes encrypted = {0x80};  // method byte
  mp3::Append(encrypted, plain);

  EXPECT_EQ(Loaded(WithData("TIT2", encrypted, ffEncrypted)).Frames().Frame(1).EncryptionMethod, 0x80);
  std::string text;
  EXPECT_EQ(Loaded(WithData("TIT2", encrypted, ffEncrypted)).ReadText("TIT2", text), trEncrypted);
  EXPECT_EQ(Loaded(WithData("TIT2", compressed, ffCompressed)).ReadText("TIT2", text), trFound);
  EXPECT_EQ(text, "Song");
  TBytes damaged = compressed;
  damaged.back() ^= 0x55;
  EXPECT_EQ(Loaded(WithData("TIT2", damaged, ffCompressed)).ReadText("TIT2", text), trBadCompression);

  // A frame unsynchronised on its own: FF 00 stands for FF.
  EXPECT_EQ(Loaded(WithData("TIT2", {0, 'A', 0xFF, 0x00, 0}, ffUnsynchronised)).Frames().DataSize(1), 5U);
  EXPECT_EQ(Loaded(WithData("TIT2", {0, 'A', 0xFF, 0x00, 0}, ffUnsynchronised)).ReadText("TIT2", text),
            trInvalidCharacter);
}

TEST(id3v2, InflatingIsCappedNearTheTagsSize)
{
  const TBytes zeros(8 << 20, 0);
  TBytes bomb;
  mp3::PutBigEndian32(bomb, static_cast<std::uint32_t>(zeros.size()));
  mp3::Append(bomb, ZlibDeflate(zeros));
  const Tid3v2tag tag = Loaded(WithData("TIT2", bomb, ffCompressed));
  EXPECT_LT(tag.InflateLimit(), zeros.size());
  std::string text;
  EXPECT_EQ(tag.ReadText("TIT2", text), trBadCompression);
}

TEST(id3v2, WholeTagUnsynchronisationIsRemovedOnLoad)
{
  TBytes frames = mp3::Id3Frame("TIT2", {0, 'A', 0xFF, 0xE0, 'B'});
  frames = ApplyUnsynchronisation(frames);
  TBytes file = mp3::Id3Header(static_cast<std::uint32_t>(frames.size()), 3, 0, tfUnsynchronisation);
  mp3::Append(file, frames);
  const Tid3v2tag tag = Loaded(file);
  ASSERT_EQ(tag.Frames().Count(), 1);
  EXPECT_EQ(tag.Frames().Data(1), (TBytes{0, 'A', 0xFF, 0xE0, 'B'}));
}

TEST(id3v2, UnsynchronisationRoundTrips)
{
  const TBytes cases[] = {
      {}, {0xFF}, {0xFF, 0x00}, {0xFF, 0xE0, 0xFF, 0xFF, 0x00, 0x12}, mp3::BusyBytes(600)};
  for (const TBytes& data : cases) {
    const TBytes stored = ApplyUnsynchronisation(data);
    for (std::size_t i = 0; i + 1 < stored.size(); ++i) {
      EXPECT_FALSE(stored[i] == 0xFF && stored[i + 1] >= 0xE0);
    }
    EXPECT_EQ(RemoveUnsynchronisation(stored), data);
  }
}

TEST(id3v2, WriteTextReplacesTheFirstFrameOrAppendsOne)
{
  Tid3v2tag tag = Loaded(mp3::Id3Tag({mp3::Id3Frame("TIT2", {'g', 0, 'a'}, ffGrouped | 0x4000)}));
  EXPECT_EQ(tag.Frames().Frame(1).Group, 'g');
  EXPECT_EQ(tag.WriteText("TIT2", "New \xE2\x82\xAC"), trFound);
  EXPECT_EQ(tag.Frames().Flags(1), 0);
  EXPECT_EQ(tag.Frames().Data(1), (TBytes{1, 0xFF, 0xFE, 'N', 0, 'e', 0, 'w', 0, ' ', 0, 0xAC, 0x20}));
  EXPECT_EQ(tag.WriteText("TIT2", "Caf\xC3\xA9"), trFound);
  EXPECT_EQ(tag.Frames().Data(1), (TBytes{0, 'C', 'a', 'f', 0xE9}));
  EXPECT_EQ(tag.WriteText("TALB", ""), trEmpty);
  EXPECT_EQ(tag.Frames().Count(), 1);
  EXPECT_EQ(tag.WriteText("TXXX", "x"), trNotTextFrame);
  EXPECT_EQ(tag.WriteText("T-AB", "x"), trNotTextFrame);
  EXPECT_EQ(tag.WriteText("TALB", "Disc"), trFound);
  EXPECT_EQ(tag.Frames().FrameID(2), "TALB");
}

class id3v2Save : public ::testing::Test {
 protected:
  std::string Write(const TBytes& bytes) { return WriteBytes(FFolder.Path() / "song.mp3", bytes); }
  std::string Name() const { return (FFolder.Path() / "song.mp3").string(); }
  bool OnlyTheSongIsThere() const
  {
    return std::distance(std::filesystem::directory_iterator(FFolder.Path()),
                         std::filesystem::directory_iterator()) == 1;
  }

  TTempFolder FFolder;
  const TBytes FAudio = mp3::Audio(mp3::TFrameRecipe{}, 40'000);
};

TEST_F(id3v2Save, RefusesATagThatDidNotLoadAndKeepsItsWarnings)
{
  TBytes file = mp3::Id3Tag({mp3::Id3TextFrame("TIT2", "Song")}, 0, 4);
  mp3::Append(file, FAudio);
  const std::string name = Write(file);
  Tid3v2tag tag;
  EXPECT_EQ(tag.LoadFromFile(name, 0), id3BadVersion);
  EXPECT_EQ(tag.SaveToFile("=", 3, 0, -1), id3BadTag);
  EXPECT_EQ(ReadBytes(name), file);

  TBytes warned = mp3::Id3Tag({mp3::Id3TextFrame("TIT2", "Song")}, 0, 3, 0x01);
  mp3::Append(warned, FAudio);
  Write(warned);
  ASSERT_EQ(tag.LoadFromFile(name, 0), id3UndefinedFlags);
  EXPECT_EQ(tag.SaveToFile("=", 4, 0xFF, -1), id3BadVersion | id3UndefinedFlags);
  EXPECT_EQ(tag.SaveToFile("=", 0xFF, 1, -1), id3BadRevision | id3UndefinedFlags);
  EXPECT_EQ(tag.SaveToFile((FFolder.Path() / "gone.mp3").string(), 0xFF, 0xFF, 0),
            id3FileNotFound | id3UndefinedFlags);
  EXPECT_EQ(tag.SaveToFile("=", 0xFF, 0xFF, 1'000'000), id3OffsetBeyondEnd | id3UndefinedFlags);
}

TEST_F(id3v2Save, SmallerTagIsPaddedSoTheAudioKeepsItsPlace)
{
  TBytes file =
      mp3::Id3Tag({mp3::Id3TextFrame("TIT2", "A rather long title"), mp3::Id3TextFrame("TPE1", "Band")}, 100);
  const std::size_t tagSize = file.size();
  mp3::Append(file, FAudio);
  const std::string name = Write(file);
  Tid3v2tag tag;
  ASSERT_EQ(tag.LoadFromFile(name, 0), 0);
  ASSERT_EQ(tag.WriteText("TIT2", "Short"), trFound);
  ASSERT_EQ(tag.SaveToFile("=", 0xFF, 0xFF, -1), 0);
  const TBytes saved = ReadBytes(name);
  ASSERT_EQ(saved.size(), file.size());
  EXPECT_TRUE(std::equal(FAudio.begin(), FAudio.end(), saved.begin() + static_cast<std::ptrdiff_t>(tagSize)));
  EXPECT_TRUE(OnlyTheSongIsThere());

  Tid3v2tag reread;
  ASSERT_EQ(reread.LoadFromFile(name, 0), 0);
  std::string text;
  EXPECT_EQ(reread.ReadText("TIT2", text), trFound);
  EXPECT_EQ(text, "Short");
  EXPECT_EQ(reread.ReadText("TPE1", text), trFound);
  EXPECT_EQ(text, "Band");
}

TEST_F(id3v2Save, LargerTagMovesTheAudioIntact)
{
  TBytes file = mp3::Id3Tag({mp3::Id3TextFrame("TIT2", "Song")});
  mp3::Append(file, FAudio);
  const std::string name = Write(file);
  Tid3v2tag tag;
  ASSERT_EQ(tag.LoadFromFile(name, 0), 0);
  const std::string longText(30'000, 'x');
  ASSERT_EQ(tag.WriteText("TALB", longText), trFound);
  std::vector<std::string> stages;
  int lastProgress = -1;
  bool progressGrows = true;
  tag.SetOnProgress([&](const Tid3v2tag& t) {
    if (stages.empty() || stages.back() != t.Stage()) {
      stages.push_back(t.Stage());
    }
    progressGrows = progressGrows && t.Progress() >= lastProgress;
    lastProgress = t.Progress();
  });
  ASSERT_EQ(tag.SaveToFile("=", 0xFF, 0xFF, -1), 0);
  EXPECT_EQ(stages, (std::vector<std::string>{"Preparing tag", "Applying compression", "Applying unsync",
                                              "Calculating CRC-32", "Re-positioning audio data",
                                              "Writing new tag", "Save Complete"}));
  EXPECT_TRUE(progressGrows);
  EXPECT_EQ(tag.Progress(), 100);

  const TBytes saved = ReadBytes(name);
  ASSERT_GT(saved.size(), FAudio.size());
  EXPECT_TRUE(
      std::equal(FAudio.begin(), FAudio.end(), saved.end() - static_cast<std::ptrdiff_t>(FAudio.size())));
  Tid3v2tag reread;
  ASSERT_EQ(reread.LoadFromFile(name, 0), 0);
  EXPECT_EQ(reread.Size() + 10 + FAudio.size(), saved.size());
  std::string text;
  EXPECT_EQ(reread.ReadText("TALB", text), trFound);
  EXPECT_EQ(text, longText);
}

TEST_F(id3v2Save, FlagsAskingForCompressionUnsyncAndCrcAreHonoured)
{
  TBytes file = mp3::Id3Tag({mp3::Id3TextFrame("TIT2", "Song")});
  mp3::Append(file, FAudio);
  const std::string name = Write(file);
  Tid3v2tag tag;
  ASSERT_EQ(tag.LoadFromFile(name, 0), 0);
  const std::string repetitive(2000, 'a');
  ASSERT_EQ(tag.WriteText("TALB", repetitive), trFound);
  tag.Frames().SetFlags(2, ffCompressed);
  const TBytes unsafe = {0xFF, 0xE0, 0xFF, 0x00, 0xFF};
  tag.Frames().SetData(tag.Frames().Add("PRIV"), unsafe);
  tag.SetFlags(tfUnsynchronisation | tfExtendedHeader);
  tag.SetHasCrc(true);
  ASSERT_EQ(tag.SaveToFile("=", 0xFF, 0xFF, -1), 0);

  const TBytes saved = ReadBytes(name);
  EXPECT_LT(saved.size(), FAudio.size() + 1000);  // the album went in compressed
  EXPECT_TRUE(
      std::equal(FAudio.begin(), FAudio.end(), saved.end() - static_cast<std::ptrdiff_t>(FAudio.size())));
  Tid3v2tag reread;
  ASSERT_EQ(reread.LoadFromFile(name, 0), 0);
  EXPECT_TRUE(reread.HasCrc());
  EXPECT_EQ(reread.Flags(), tfUnsynchronisation | tfExtendedHeader);
  EXPECT_TRUE(reread.Frames().Compressed(2));
  EXPECT_EQ(reread.Frames().Frame(2).DecompressedSize, repetitive.size() + 1);
  std::string text;
  EXPECT_EQ(reread.ReadText("TALB", text), trFound);
  EXPECT_EQ(text, repetitive);
  EXPECT_EQ(reread.Frames().Data(3), unsafe);
}

TEST_F(id3v2Save, FullDiskOrFailedWriteLeavesTheOriginalUntouched)
{
  TBytes file = mp3::Id3Tag({mp3::Id3TextFrame("TIT2", "Song")});
  mp3::Append(file, FAudio);
  const std::string name = Write(file);
  for (const std::int64_t budget : {0, 5, 10, 100, 20'000, 40'000}) {
    Tid3v2tag tag;
    ASSERT_EQ(tag.LoadFromFile(name, 0), 0);
    ASSERT_EQ(tag.WriteText("TIT2", std::string(500, 'n')), trFound);
    tag.SetCreateStream([budget](const std::string& fileName) {
      return std::make_unique<TFailingStream>(std::make_unique<TFileStream>(fileName, fmCreate), budget);
    });
    EXPECT_EQ(tag.SaveToFile("=", 0xFF, 0xFF, -1), id3WriteFailed) << budget;
    EXPECT_EQ(ReadBytes(name), file) << budget;
    EXPECT_TRUE(OnlyTheSongIsThere()) << budget;
  }
}

TEST_F(id3v2Save, ProtectedFileOrFileChangedSinceTheLoadIsNotWritten)
{
  TBytes file = mp3::Id3Tag({mp3::Id3TextFrame("TIT2", "Song")});
  mp3::Append(file, FAudio);
  const std::string name = Write(file);
  Tid3v2tag tag;
  ASSERT_EQ(tag.LoadFromFile(name, 0), 0);
  tag.WriteText("TIT2", "New");

  std::filesystem::permissions(name, std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  EXPECT_EQ(tag.SaveToFile("=", 0xFF, 0xFF, -1), id3FileProtected);
  std::filesystem::permissions(name, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);

  Write(FAudio);  // another program removed the tag meanwhile
  EXPECT_EQ(tag.SaveToFile("=", 0xFF, 0xFF, -1), id3NoHeader);
  EXPECT_EQ(ReadBytes(name), FAudio);
}

}  // namespace
