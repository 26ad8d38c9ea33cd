#include "tags/ID3Version2Tagger2.h"

#include <gtest/gtest.h>

#include "rtl/FileStream.h"
#include "tests/support/FailingStream.h"
#include "tests/support/TempFolder.h"
#include "tests/tags/TagTestFiles.h"

namespace {

using mp3::TBytes;

class ID3Version2Tagger2Test : public ::testing::Test {
 protected:
  std::string Write(const TBytes& bytes) { return WriteBytes(FFolder.Path() / "song.mp3", bytes); }
  TBytes Tagged(std::initializer_list<TBytes> frames) const
  {
    TBytes file = mp3::Id3Tag(frames, 64);
    mp3::Append(file, FAudio);
    return file;
  }

  TTempFolder FFolder;
  const TBytes FAudio = mp3::Audio(mp3::TFrameRecipe{}, 30'000);
};

TEST(ID3Version2Tagger2, GenreAndTrackTexts)
{
  struct TGenreCase {
    const char* Text;
    int Genre;
  };
  for (const TGenreCase& c : {TGenreCase{"(17)", 17},
                              {"(17)Rock", 17},
                              {"Rock", 255},
                              {"(300)", 255},
                              {"()", 255},
                              {"(1234)", 123},
                              {"(5", 255},
                              {"(05)", 5},
                              {"", 255}}) {
    EXPECT_EQ(TID3Version2Tagger2::GenreFromText(c.Text), c.Genre) << c.Text;
  }
  struct TTrackCase {
    const char* Text;
    int Track;
  };
  for (const TTrackCase& c : {TTrackCase{"7", 7},
                              {"07", 7},
                              {"7/12", 7},
                              {"3/12", 3},
                              {"12/", 12},
                              {"/12", 0},
                              {"", 0},
                              {"x", 0},
                              {"0x10", 0},
                              {" 7", 0},
                              {"2147483647", 2147483647},
                              {"2147483648", 0}}) {
    EXPECT_EQ(TID3Version2Tagger2::TrackFromText(c.Text), c.Track) << c.Text;
  }
  struct TTrackTextCase {
    int Track;
    const char* Old;
    const char* New;
  };
  for (const TTrackTextCase& c : {TTrackTextCase{5, "3/12", "5/12"},
                                  {10, "03/12", "10/12"},
                                  {5, "3", "5"},
                                  {5, "", "5"},
                                  {5, "x/12", "5"},
                                  {5, "3-12", "5"},
                                  {5, "/12", "5"}}) {
    EXPECT_EQ(TID3Version2Tagger2::TrackText(c.Track, c.Old), c.New) << c.Old;
  }
}

TEST_F(ID3Version2Tagger2Test, LoadFillsTheFieldsFromTheirFrames)
{
  const std::string name =
      Write(Tagged({mp3::Id3TextFrame("TIT2", "Song"), mp3::Id3TextFrame("TPE1", "Band"),
                    mp3::Id3TextFrame("TALB", "Disc"), mp3::Id3TextFrame("TYER", "1999"),
                    mp3::Id3TextFrame("TCON", "Rock"), mp3::Id3TextFrame("TRCK", "07"),
                    mp3::Id3Frame("COMM", {0, 'e', 'n', 'g', 0, 'H', 'i'}), mp3::Id3Frame("COMM", {'!'})}));
  TID3Version2Tagger2 tagger;
  ASSERT_TRUE(tagger.Load(name));
  EXPECT_TRUE(tagger.HasTag());
  EXPECT_EQ(tagger.Title(), "Song");
  EXPECT_EQ(tagger.Artist(), "Band");
  EXPECT_EQ(tagger.Album(), "Disc");
  EXPECT_EQ(tagger.Year(), "1999");
  EXPECT_EQ(tagger.GenreText(), "Rock");
  EXPECT_EQ(tagger.Genre(), 255);
  EXPECT_EQ(tagger.Track(), 7);
  // The comment is the frame's text; a frame too short to hold one is passed over.
  EXPECT_EQ(tagger.Comment(), "Hi");
  EXPECT_FALSE(tagger.Modified());
}

TEST_F(ID3Version2Tagger2Test, FileWithoutAUsableTagLoadsWithoutOne)
{
  TID3Version2Tagger2 tagger;
  EXPECT_TRUE(tagger.Load(Write(FAudio)));
  EXPECT_FALSE(tagger.HasTag());
  EXPECT_EQ(tagger.Genre(), 0);
  EXPECT_TRUE(tagger.HasTagObject());

  // An ID3v2.4 tag whose one frame claims more bytes than the tag has: a tag with nothing in it.
  TBytes v24 = mp3::Id3Tag({mp3::Id3Frame("TIT2", {0, 'S', 'o', 'n', 'g'})}, 0, 4);
  v24[10 + 7] = 0x70;
  mp3::Append(v24, FAudio);
  EXPECT_TRUE(tagger.Load(Write(v24)));
  EXPECT_TRUE(tagger.HasTag());
  EXPECT_EQ(tagger.Title(), "");

  EXPECT_FALSE(tagger.Load((FFolder.Path() / "missing.mp3").string()));
  EXPECT_FALSE(tagger.HasTagObject());
  EXPECT_FALSE(tagger.Save());
}

TEST_F(ID3Version2Tagger2Test, SaveIntoAFileWithoutTagPutsOneInFrontOfTheUnchangedAudio)
{
  const std::string name = Write(FAudio);
  TID3Version2Tagger2 tagger;
  ASSERT_TRUE(tagger.Load(name));
  tagger.SetTitle("New title");
  tagger.SetComment("Nice");
  tagger.SetGenre(17);
  tagger.SetTrack(3);
  ASSERT_TRUE(tagger.Save());
  const TBytes saved = ReadBytes(name);
  ASSERT_GT(saved.size(), FAudio.size());
  EXPECT_TRUE(
      std::equal(FAudio.begin(), FAudio.end(), saved.end() - static_cast<std::ptrdiff_t>(FAudio.size())));

  TID3Version2Tagger2 reread;
  ASSERT_TRUE(reread.Load(name));
  ASSERT_TRUE(reread.HasTag());
  EXPECT_EQ(reread.Title(), "New title");
  EXPECT_EQ(reread.Genre(), 17);
  EXPECT_EQ(reread.GenreText(), "(17)");
  EXPECT_EQ(reread.Track(), 3);
  EXPECT_EQ(reread.Comment(), "Nice");
  const int comment = reread.Tag()->Frames().Find("COMM");
  ASSERT_GT(comment, 0);
  EXPECT_EQ(reread.Tag()->Frames().Data(comment), (TBytes{0, 'e', 'n', 'g', 0, 'N', 'i', 'c', 'e'}));
  const TFrameIndex& frames = reread.Tag()->Frames();
  std::vector<std::string> ids;
  for (int i = 1; i <= frames.Count(); ++i) {
    ids.push_back(frames.FrameID(i));
  }
  // Only the fields that were set get frames: no empty ones.
  EXPECT_EQ(ids, (std::vector<std::string>{"COMM", "TIT2", "TCON", "TRCK"}));

  // Saving again updates that tag rather than putting a second one in front of it.
  tagger.SetTitle("Newer");
  ASSERT_TRUE(tagger.Save());
  ASSERT_TRUE(reread.Load(name));
  EXPECT_EQ(reread.Title(), "Newer");
  const TBytes again = ReadBytes(name);
  EXPECT_EQ(std::search(again.begin() + 3, again.end(), saved.begin(), saved.begin() + 3), again.end());
}

TEST_F(ID3Version2Tagger2Test, EmptyFieldsLeaveTheirFramesAlone)
{
  const std::string name =
      Write(Tagged({mp3::Id3TextFrame("TIT2", "Old title"), mp3::Id3TextFrame("TCON", "Rock")}));
  TID3Version2Tagger2 tagger;
  ASSERT_TRUE(tagger.Load(name));
  tagger.SetTitle("");
  tagger.SetArtist("Band");
  ASSERT_TRUE(tagger.Save());
  TID3Version2Tagger2 reread;
  ASSERT_TRUE(reread.Load(name));
  EXPECT_EQ(reread.Title(), "Old title");
  EXPECT_EQ(reread.Artist(), "Band");
  EXPECT_EQ(reread.GenreText(), "Rock");
  EXPECT_EQ(reread.Track(), 0);
}

TEST_F(ID3Version2Tagger2Test, SettersMarkOnlyChanges)
{
  TID3Version2Tagger2 tagger;
  tagger.SetTitle("");
  tagger.SetTrack(0);
  tagger.SetGenre(0);
  EXPECT_FALSE(tagger.Modified());
  tagger.SetGenreText("Rock");
  EXPECT_TRUE(tagger.Modified());
}

TEST_F(ID3Version2Tagger2Test, FailedSaveLeavesTheFileAndItsTaglessStateAlone)
{
  const std::string name = Write(FAudio);
  for (const std::int64_t budget : {0, 30, 20'000}) {
    TID3Version2Tagger2 tagger;
    ASSERT_TRUE(tagger.Load(name));
    tagger.SetTitle("New title");
    tagger.Tag()->SetCreateStream([budget](const std::string& fileName) {
      return std::make_unique<TFailingStream>(std::make_unique<TFileStream>(fileName, fmCreate), budget);
    });
    EXPECT_FALSE(tagger.Save()) << budget;
    EXPECT_EQ(ReadBytes(name), FAudio) << budget;
    EXPECT_FALSE(tagger.HasTag());
  }
}

}  // namespace

TEST_F(ID3Version2Tagger2Test, CommentIsTheTextOfItsFrameInEitherEncoding)
{
  struct TCase {
    std::vector<TBytes> Frames;
    std::string Expected;
  };
  const TCase cases[] = {
      {{{0, 'd', 'e', 'u', 0, 'T', 'e', 'x', 't'}}, "Text"},
      {{{0, 'e', 'n', 'g', 'd', 'e', 's', 'c', 0, 'T', 'e', 'x', 't'}}, "Text"},
      // A frame without a description wins over one with a description.
      {{{0, 'e', 'n', 'g', 'i', 'd', 0, 'A'}, {0, 'e', 'n', 'g', 0, 'B'}}, "B"},
      {{{0, 'e', 'n', 'g', 0, 0xE9}}, "\u00e9"},
      // UTF-16 with either byte-order mark, text after an empty description.
      {{{1, 'e', 'n', 'g', 0xFF, 0xFE, 0, 0, 0xFF, 0xFE, 'H', 0, 0xAC, 0x20}}, "H\u20ac"},
      {{{1, 'e', 'n', 'g', 0xFE, 0xFF, 0, 0, 0xFE, 0xFF, 0, 'H', 0x20, 0xAC, 0, 0}}, "H\u20ac"},
      // An odd byte at the end and unknown encodings are no trouble.
      {{{1, 'e', 'n', 'g', 0, 0, 'H', 0, 'i'}}, "H"},
      {{{3, 'e', 'n', 'g', 0, 'x'}}, "x"},
      {{{4, 'e', 'n', 'g', 0, 'x'}}, ""},
      {{{0, 'e', 'n'}}, ""},
  };
  for (const TCase& c : cases) {
    std::vector<TBytes> frames;
    for (const TBytes& data : c.Frames) {
      frames.push_back(mp3::Id3Frame("COMM", data));
    }
    TID3Version2Tagger2 tagger;
    ASSERT_TRUE(
        tagger.Load(Write(frames.size() == 1 ? Tagged({frames[0]}) : Tagged({frames[0], frames[1]}))));
    EXPECT_EQ(tagger.Comment(), c.Expected);
  }
}

TEST_F(ID3Version2Tagger2Test, WritingACommentKeepsTheFramesLanguageAndTakesUtf16WhenNeeded)
{
  const std::string name = Write(Tagged({mp3::Id3Frame("COMM", {0, 'd', 'e', 'u', 0, 'A', 'l', 't'})}));
  TID3Version2Tagger2 tagger;
  ASSERT_TRUE(tagger.Load(name));
  tagger.SetComment("Neu \u20ac");
  ASSERT_TRUE(tagger.Save());
  TID3Version2Tagger2 reread;
  ASSERT_TRUE(reread.Load(name));
  EXPECT_EQ(reread.Comment(), "Neu \u20ac");
  const TFrameIndex& frames = reread.Tag()->Frames();
  EXPECT_EQ(frames.Data(frames.Find("COMM")), (TBytes{1,   'd', 'e', 'u', 0xFF, 0xFE, 0,   0, 0xFF, 0xFE,
                                                      'N', 0,   'e', 0,   'u',  0,    ' ', 0, 0xAC, 0x20}));
}
