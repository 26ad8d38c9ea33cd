#include "tags/ID3Version1Tagger.h"

#include <gtest/gtest.h>

#include "rtl/FileStream.h"
#include "tests/support/FailingStream.h"
#include "tests/support/TempFolder.h"
#include "tests/tags/TagTestFiles.h"

namespace {

using mp3::TBytes;

class ID3Version1TaggerTest : public ::testing::Test {
 protected:
  std::string Write(const TBytes& bytes) { return WriteBytes(FFolder.Path() / "song.mp3", bytes); }
  TBytes Audio() const { return mp3::BusyBytes(3000); }

  TTempFolder FFolder;
};

TEST(ID3Genres, TableHas148NamesFoundIgnoringCase)
{
  ASSERT_EQ(Id3Genres().size(), 148U);
  EXPECT_EQ(Id3GenreName(0), "Blues");
  EXPECT_EQ(Id3GenreName(79), "Hard Rock");
  EXPECT_EQ(Id3GenreName(80), "Folk");
  EXPECT_EQ(Id3GenreName(133), "Afro-Punk");
  EXPECT_EQ(Id3GenreName(147), "Synthpop");
  EXPECT_EQ(Id3GenreName(148), "");
  EXPECT_EQ(Id3GenreName(255), "");
  EXPECT_EQ(Id3GenreName(-1), "");
  EXPECT_EQ(Id3GenreIndex("hard ROCK"), 79);
  EXPECT_EQ(Id3GenreIndex("Rock"), 17);
  EXPECT_EQ(Id3GenreIndex("Nonesuch"), -1);
}

TEST_F(ID3Version1TaggerTest, FileShorterThanATagDoesNotLoad)
{
  TID3Version1Tagger tagger;
  EXPECT_FALSE(tagger.Load(Write(TBytes(127, 'x'))));
  EXPECT_FALSE(tagger.HasTag());
  EXPECT_EQ(tagger.Genre(), 255);
  EXPECT_FALSE(tagger.Load((FFolder.Path() / "missing.mp3").string()));
}

TEST_F(ID3Version1TaggerTest, FileWithoutTagLoadsWithoutOne)
{
  TID3Version1Tagger tagger;
  EXPECT_TRUE(tagger.Load(Write(Audio())));
  EXPECT_FALSE(tagger.HasTag());
}

TEST_F(ID3Version1TaggerTest, SlotsEndAtTheirFirstZeroOrTheirWidth)
{
  const std::string thirty(30, 'x');
  struct TCase {
    TBytes Tag;
    std::string Title, Comment, Year;
    int Track, Genre;
  };
  TBytes noTrack = mp3::Id3v1Tag("Song", "", "", "1999", thirty, -1, 17);
  noTrack[125] = 'y';
  noTrack[126] = 'z';
  const TCase cases[] = {
      {mp3::Id3v1Tag("Song", "Band", "Disc", "1999", "Nice", 7, 17), "Song", "Nice", "1999", 7, 17},
      {mp3::Id3v1Tag(thirty, "", "", "2001", "", 0, 255), thirty, "", "2001", 0, 255},
      // Byte 125 not zero: no track, and the comment runs over all 30 bytes.
      {noTrack, "Song", std::string(28, 'x') + "yz", "1999", 0, 17},
      // ISO-8859-1 text arrives as UTF-8.
      {mp3::Id3v1Tag("Caf\xE9", "", "", "", "", 1, 0), "Caf\xC3\xA9", "", "", 1, 0},
  };
  for (const TCase& c : cases) {
    TBytes file = Audio();
    mp3::Append(file, c.Tag);
    TID3Version1Tagger tagger;
    ASSERT_TRUE(tagger.Load(Write(file)));
    EXPECT_TRUE(tagger.HasTag());
    EXPECT_EQ(tagger.Title(), c.Title);
    EXPECT_EQ(tagger.Comment(), c.Comment);
    EXPECT_EQ(tagger.Year(), c.Year);
    EXPECT_EQ(tagger.Track(), c.Track);
    EXPECT_EQ(tagger.Genre(), c.Genre);
    EXPECT_FALSE(tagger.Modified());
  }
}

TEST_F(ID3Version1TaggerTest, UnchangedFieldsWriteNothing)
{
  TBytes file = Audio();
  mp3::Append(file, mp3::Id3v1Tag("Song", "Band", "", "", "", 3, 1));
  const std::string name = Write(file);
  TID3Version1Tagger tagger;
  ASSERT_TRUE(tagger.Load(name));
  tagger.SetTitle("Song");
  tagger.SetTrack(3);
  EXPECT_FALSE(tagger.Modified());
  std::filesystem::remove(name);
  EXPECT_TRUE(tagger.Save());  // nothing to write, so the missing file is not noticed
  tagger.SetTitle("song");
  EXPECT_TRUE(tagger.Modified());
  EXPECT_FALSE(tagger.Save());
}

TEST_F(ID3Version1TaggerTest, SaveAppendsOnceThenOverwritesTheSameBytes)
{
  const TBytes audio = Audio();
  const std::string name = Write(audio);
  TID3Version1Tagger tagger;
  ASSERT_TRUE(tagger.Load(name));
  tagger.SetTitle("First");
  tagger.SetComment(std::string(30, 'c'));
  tagger.SetTrack(12);
  tagger.SetGenre(79);
  ASSERT_TRUE(tagger.Save());
  EXPECT_TRUE(tagger.HasTag());
  EXPECT_FALSE(tagger.Modified());
  TBytes saved = ReadBytes(name);
  ASSERT_EQ(saved.size(), audio.size() + 128);
  EXPECT_TRUE(std::equal(audio.begin(), audio.end(), saved.begin()));

  tagger.SetTitle("Second");
  ASSERT_TRUE(tagger.Save());
  saved = ReadBytes(name);
  ASSERT_EQ(saved.size(), audio.size() + 128);

  TID3Version1Tagger reread;
  ASSERT_TRUE(reread.Load(name));
  EXPECT_EQ(reread.Title(), "Second");
  // The track takes the comment's last two bytes.
  EXPECT_EQ(reread.Comment(), std::string(28, 'c'));
  EXPECT_EQ(reread.Track(), 12);
  EXPECT_EQ(reread.Genre(), 79);
}

TEST_F(ID3Version1TaggerTest, TagRemovedSinceTheLoadIsAppendedNotWrittenOverTheAudio)
{
  TBytes file = Audio();
  mp3::Append(file, mp3::Id3v1Tag("Song", "", "", "", "", 1, 1));
  const std::string name = Write(file);
  TID3Version1Tagger tagger;
  ASSERT_TRUE(tagger.Load(name));
  const TBytes audio = Audio();
  Write(audio);
  tagger.SetTitle("New");
  ASSERT_TRUE(tagger.Save());
  const TBytes saved = ReadBytes(name);
  ASSERT_EQ(saved.size(), audio.size() + 128);
  EXPECT_TRUE(std::equal(audio.begin(), audio.end(), saved.begin()));
}

TEST_F(ID3Version1TaggerTest, TextThatDoesNotFitIsCutAndUnknownCharactersBecomeQuestionMarks)
{
  TID3Version1Tagger tagger;
  tagger.SetTitle(std::string(40, 't'));
  tagger.SetArtist("Bj\xC3\xB6rk \xE2\x82\xAC");  // o-umlaut fits ISO-8859-1, the euro sign does not
  tagger.SetYear("19999");
  const TID3Version1Tagger::TTagBytes bytes = tagger.Compose();
  EXPECT_EQ(std::string(bytes.begin() + 3, bytes.begin() + 33), std::string(30, 't'));
  EXPECT_EQ(std::string(bytes.begin() + 33, bytes.begin() + 40), "Bj\xF6rk ?");
  EXPECT_EQ(std::string(bytes.begin() + 93, bytes.begin() + 97), "1999");
  EXPECT_EQ(bytes[127], 255);
}

TEST_F(ID3Version1TaggerTest, ReadOnlyFileIsMadeWritableAndStaysSo)
{
  const std::string name = Write(Audio());
  std::filesystem::permissions(name, std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  TID3Version1Tagger tagger;
  ASSERT_TRUE(tagger.Load(name));
  tagger.SetTitle("Song");
  EXPECT_TRUE(tagger.Save());
  EXPECT_TRUE((std::filesystem::status(name).permissions() & std::filesystem::perms::owner_write) !=
              std::filesystem::perms::none);
}

TEST_F(ID3Version1TaggerTest, FullDiskDuringAppendLeavesTheFileAsItWas)
{
  const TBytes audio = Audio();
  const std::string name = Write(audio);
  for (const std::int64_t budget : {0, 1, 64, 127}) {
    TID3Version1Tagger tagger;
    ASSERT_TRUE(tagger.Load(name));
    tagger.SetCreateStream([budget](const std::string& fileName) {
      return std::make_unique<TFailingStream>(std::make_unique<TFileStream>(fileName, fmOpenReadWrite),
                                              budget);
    });
    tagger.SetTitle("Song");
    EXPECT_FALSE(tagger.Save()) << budget;
    EXPECT_EQ(ReadBytes(name), audio) << budget;
    EXPECT_FALSE(tagger.HasTag());
  }
}

}  // namespace
