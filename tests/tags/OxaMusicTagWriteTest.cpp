// Writing edited items back: only what was edited reaches the file, every other field and frame
// survives, and nothing that reading made up (placeholders, cleaned texts) is ever written.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/core/FaultInjection.h"
#include "rtl/FileStream.h"
#include "tags/OxaMusicTag.h"
#include "tests/support/TempFolder.h"
#include "tests/tags/TagTestFiles.h"
#include "tests/tags/WmaRuntime.h"
#include "tools/make-test-media/TestMedia.h"

namespace fs = std::filesystem;
using testmedia::TBytes;
using testmedia::TId3v1Fields;
using testmedia::TId3v2Fields;

namespace {

// The frames of the file's ID3v2 tag, as (ID, data).
std::vector<std::pair<std::string, TByteBuffer>> FramesOf(const fs::path& file)
{
  TID3Version2Tagger2 tagger;
  EXPECT_TRUE(tagger.Load(file.string()));
  std::vector<std::pair<std::string, TByteBuffer>> frames;
  if (tagger.HasTag()) {
    const TFrameIndex& index = tagger.Tag()->Frames();
    for (int i = 1; i <= index.Count(); ++i) {
      frames.emplace_back(index.FrameID(i), index.Data(i));
    }
  }
  return frames;
}

class OxaMusicTagWriteTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite()
  {
    testmedia::TMp3Recipe recipe;
    recipe.Audio.Milliseconds = 1000;
    Stream = new TBytes(testmedia::EncodeMp3Stream(recipe));
  }
  static void TearDownTestSuite() { delete Stream; }

  fs::path Mp3(const std::string& name, std::optional<TId3v2Fields> v2, std::optional<TId3v1Fields> v1)
  {
    testmedia::TMp3Recipe recipe;
    recipe.Id3v2 = std::move(v2);
    recipe.Id3v1 = std::move(v1);
    fs::path file = Folder.Path() / name;
    testmedia::WriteBytes(file, testmedia::ComposeMp3(*Stream, recipe));
    return file;
  }

  static TMusicFileItem Read(const fs::path& file)
  {
    TOxaMusicTag tag;
    TMusicFileItem item;
    item.FileName = file.string();
    EXPECT_TRUE(tag.ReadItem(item)) << file;
    return item;
  }

  // Reads the file, lets `edit` change the item, writes it back.
  template <class TEdit>
  static bool Edit(const fs::path& file, TEdit edit)
  {
    TMusicFileItem item = Read(file);
    edit(item);
    return TOxaMusicTag().WriteItem(item);
  }

  static inline TBytes* Stream = nullptr;
  TTempMachine Machine;
  TTempFolder Folder;
};

const std::string Cjk = "\xE6\x98\x9F\xE7\xA9\xBA";

TEST_F(OxaMusicTagWriteTest, AnItemWrittenBackUneditedLeavesTheFileByteForByte)
{
  TId3v2Fields lowerCase{"c1", "  two  blanks ", "", "98", "Rock", "3/12", ""};
  TId3v2Fields utf16{Cjk, "Band", "Album", "2004", "(17)", "7", "Note"};
  utf16.Encoding = testmedia::TTextEncoding::Utf16;
  TId3v2Fields v24{"Four", "Band", "", "2010", "", "1/2", ""};
  v24.Version = 4;
  const fs::path files[] = {
      Mp3("untagged.mp3", std::nullopt, std::nullopt),
      Mp3("cleaned.mp3", lowerCase, std::nullopt),
      Mp3("utf16.mp3", utf16, TId3v1Fields{"x", "", "", "", "", 0, 255}),
      Mp3("v1only.mp3", std::nullopt, TId3v1Fields{"c1", "", "", "05", "", 0, 200}),
      Mp3("v24.mp3", v24, std::nullopt),
      Mp3("filled.mp3", TId3v2Fields{"Four", "Band"},
          TId3v1Fields{"Four", "Band", "Disc", "1999", "", 2, 17}),
  };
  for (const fs::path& file : files) {
    const TBytes before = ReadBytes(file);
    EXPECT_TRUE(Edit(file, [](TMusicFileItem&) {})) << file;
    EXPECT_EQ(ReadBytes(file), before) << file;
  }
}

TEST_F(OxaMusicTagWriteTest, AnEditedTitleIsAllThatChanges)
{
  TId3v2Fields multiComment{"Old", "Band", "Album", "1999", "Rock", "3/12", "Main"};
  multiComment.MoreComments = {{"Lyrics", "La la"}, {"", "Second"}};
  multiComment.PictureBytes = 500;
  TId3v2Fields nonLatin{Cjk, "\xD0\x9C\xD0\xB8\xD1\x80", "Album", "2001", "(8)", "12", ""};
  nonLatin.Encoding = testmedia::TTextEncoding::Utf16;
  struct TCase {
    const char* What;
    fs::path File;
    std::string NewTitle;
  };
  const TCase cases[] = {
      {"3/12 track and three comments", Mp3("multi.mp3", multiComment, std::nullopt), "New"},
      {"non-Latin texts", Mp3("nonlatin.mp3", nonLatin, std::nullopt), "\xCE\x9D\xCE\xAD\xCE\xBF"},
      {"latin title", Mp3("latin.mp3", nonLatin, std::nullopt), "Caf\xC3\xA9"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    auto before = FramesOf(c.File);
    ASSERT_TRUE(Edit(c.File, [&](TMusicFileItem& item) { item.Title = c.NewTitle; }));
    const auto after = FramesOf(c.File);
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
      EXPECT_EQ(after[i].first, before[i].first);
      if (before[i].first != "TIT2") {
        EXPECT_EQ(after[i].second, before[i].second) << before[i].first;
      }
    }
    const TMusicFileItem reread = Read(c.File);
    EXPECT_EQ(reread.Title, c.NewTitle);
  }
  TID3Version2Tagger2 tagger;
  ASSERT_TRUE(tagger.Load((Folder.Path() / "multi.mp3").string()));
  EXPECT_EQ(tagger.TrackTextRead(), "3/12");
  EXPECT_EQ(tagger.Comment(), "Main");
}

// What ID3v1 filled in was read, not edited: an edit of the title writes the title alone.
TEST_F(OxaMusicTagWriteTest, FieldsFilledFromId3v1AreNotWrittenIntoId3v2)
{
  const fs::path file = Mp3("filled.mp3", TId3v2Fields{"Old", "Band"},
                            TId3v1Fields{"Old", "Band", "Disc", "1999", "Note", 2, 17});
  ASSERT_TRUE(Edit(file, [](TMusicFileItem& item) {
    EXPECT_EQ(item.Album, "Disc");
    item.Title = "New";
  }));
  const auto frames = FramesOf(file);
  ASSERT_EQ(frames.size(), 2U);
  EXPECT_EQ(frames[0].first, "TIT2");
  EXPECT_EQ(frames[1].first, "TPE1");
  TID3Version1Tagger v1;
  ASSERT_TRUE(v1.Load(file.string()));
  EXPECT_EQ(v1.Title(), "New");
  EXPECT_EQ(v1.Album(), "Disc");
  const TMusicFileItem reread = Read(file);
  EXPECT_EQ(reread.Title, "New");
  EXPECT_EQ(reread.Album, "Disc");
  EXPECT_EQ(reread.Year, 1999);
}

TEST_F(OxaMusicTagWriteTest, AChangedTrackKeepsItsTotal)
{
  struct TCase {
    std::string Old;
    int New;
    std::string Written;
  };
  const TCase cases[] = {{"3/12", 5, "5/12"}, {"3", 10, "10"}, {"03/09", 4, "4/09"}};
  for (const TCase& c : cases) {
    const fs::path file = Mp3("track.mp3", TId3v2Fields{"T", "", "", "", "", c.Old, ""}, TId3v1Fields{"T"});
    ASSERT_TRUE(Edit(file, [&](TMusicFileItem& item) { item.Track = c.New; }));
    TID3Version2Tagger2 tagger;
    ASSERT_TRUE(tagger.Load(file.string()));
    EXPECT_EQ(tagger.TrackTextRead(), c.Written) << c.Old;
    TID3Version1Tagger v1;
    ASSERT_TRUE(v1.Load(file.string()));
    EXPECT_EQ(v1.Track(), c.New);
  }
}

TEST_F(OxaMusicTagWriteTest, PlaceholdersZerosAndCleanedTextsAreNeverWritten)
{
  // An untagged file whose title alone is set gets tags with the title alone.
  const fs::path untagged = Mp3("untagged.mp3", std::nullopt, std::nullopt);
  ASSERT_TRUE(Edit(untagged, [](TMusicFileItem& item) { item.Title = "Named"; }));
  const auto frames = FramesOf(untagged);
  ASSERT_EQ(frames.size(), 1U);
  EXPECT_EQ(frames[0].first, "TIT2");
  TID3Version1Tagger v1;
  ASSERT_TRUE(v1.Load(untagged.string()));
  EXPECT_TRUE(v1.HasTag());
  EXPECT_EQ(v1.Title(), "Named");
  EXPECT_EQ(v1.Artist(), "");
  EXPECT_EQ(v1.Year(), "");
  EXPECT_EQ(v1.Track(), 0);
  EXPECT_EQ(v1.Genre(), 255);

  // "c1" reads as "C1"; editing the artist leaves the title as the file has it.
  const fs::path cleaned = Mp3("cleaned.mp3", TId3v2Fields{"c1", "", "", "", "", "", ""}, std::nullopt);
  ASSERT_TRUE(Edit(cleaned, [](TMusicFileItem& item) {
    EXPECT_EQ(item.Title, "C1");
    item.Artist = "Band";
    item.Year = 0;
    item.Genre = "Unknown";
  }));
  TID3Version2Tagger2 v2;
  ASSERT_TRUE(v2.Load(cleaned.string()));
  EXPECT_EQ(v2.Title(), "c1");
  EXPECT_EQ(v2.Artist(), "Band");
  EXPECT_EQ(v2.Tag()->Frames().Find("TYER"), 0);
  EXPECT_EQ(v2.Tag()->Frames().Find("TCON"), 0);
}

TEST_F(OxaMusicTagWriteTest, AnId3v1OnlyFileGetsAnId3v2TagWithItsOwnValues)
{
  const fs::path file =
      Mp3("v1.mp3", std::nullopt,
          TId3v1Fields{"old", "the band", "Album", "98", "A long comment of thirty chars", -1, 17});
  // ID3v1.0: the comment runs over the track bytes.
  TBytes bytes = ReadBytes(file);
  const TBytes tailBefore(bytes.end() - 128, bytes.end());
  ASSERT_TRUE(Edit(file, [](TMusicFileItem& item) { item.Title = "New"; }));
  TID3Version2Tagger2 v2;
  ASSERT_TRUE(v2.Load(file.string()));
  EXPECT_EQ(v2.Title(), "New");
  EXPECT_EQ(v2.Artist(), "the band") << "as the file has it, not cleaned";
  EXPECT_EQ(v2.Year(), "98");
  EXPECT_EQ(v2.Genre(), 17);
  const TBytes after = ReadBytes(file);
  const TBytes tailAfter(after.end() - 128, after.end());
  EXPECT_NE(tailAfter, tailBefore);
  // Only the title slot changed: the comment keeps its 30 characters.
  EXPECT_TRUE(std::equal(tailAfter.begin() + 33, tailAfter.end(), tailBefore.begin() + 33));
}

TEST_F(OxaMusicTagWriteTest, OlderAndNewerTagsBecomeOneId3v23Tag)
{
  for (const int version : {2, 4}) {
    TId3v2Fields fields{"Old", "Band", "Album", "2003", "(17)", "2/9", "Note"};
    fields.Version = version;
    fields.PictureBytes = 1000;
    const fs::path file = Mp3("v" + std::to_string(version) + ".mp3", fields, std::nullopt);
    ASSERT_TRUE(Edit(file, [](TMusicFileItem& item) { item.Title = "New"; }));
    const TBytes bytes = ReadBytes(file);
    EXPECT_EQ(bytes[3], 3);
    const TBytes id3 = {'I', 'D', '3'};
    EXPECT_EQ(std::search(bytes.begin() + 3, bytes.end(), id3.begin(), id3.end()), bytes.end());
    const TMusicFileItem item = Read(file);
    EXPECT_EQ(item.Title, "New");
    EXPECT_EQ(item.Artist, "Band");
    EXPECT_EQ(item.Album, "Album");
    EXPECT_EQ(item.Year, 2003);
    EXPECT_EQ(item.Genre, "Rock");
    EXPECT_EQ(item.Track, 2);
    EXPECT_EQ(item.Comment, "Note");
    EXPECT_EQ(item.Bitrate, 128);
    // The audio follows the new tag unchanged, before the ID3v1 tag the write added.
    EXPECT_TRUE(std::equal(Stream->begin(), Stream->end(),
                           bytes.end() - 128 - static_cast<std::ptrdiff_t>(Stream->size())));
  }
}

TEST_F(OxaMusicTagWriteTest, AnUnreadableTagIsReplacedNotFollowedByASecondOne)
{
  const fs::path file = Mp3("damaged.mp3", TId3v2Fields{"Old", "Band"}, std::nullopt);
  TBytes bytes = ReadBytes(file);
  // The flag of an extended header, whose size is then read from the first frame ID and is far
  // larger than the tag: the tag does not load.
  bytes[5] = 0x40;
  testmedia::WriteBytes(file, bytes);
  ASSERT_TRUE(Edit(file, [](TMusicFileItem& item) {
    EXPECT_EQ(item.Title, "Unknown");
    item.Title = "New";
  }));
  const TBytes after = ReadBytes(file);
  const TBytes id3 = {'I', 'D', '3'};
  EXPECT_EQ(std::search(after.begin() + 3, after.end(), id3.begin(), id3.end()), after.end());
  EXPECT_EQ(Read(file).Title, "New");
  EXPECT_EQ(Read(file).Bitrate, 128);
}

constexpr unsigned NobodyId = 65534;

TEST_F(OxaMusicTagWriteTest, SavesKeepModeOwnerAndLinksAndRefuseReadOnlyFiles)
{
  InstallWmaRuntime(OXA_WMVCORE_FILE);
  testmedia::TWmaRecipe wmaRecipe;
  wmaRecipe.Audio.Milliseconds = 500;
  wmaRecipe.Attributes = {{"Title", "Old"}, {"Author", "Band"}};
  const testmedia::TWmaAudio wma(wmaRecipe);
  const auto perms = [](const fs::path& file) { return fs::status(file).permissions(); };
  for (const std::string extension : {".mp3", ".wma"}) {
    SCOPED_TRACE(extension);
    const auto make = [&](const fs::path& file) {
      fs::create_directories(file.parent_path());
      if (extension == ".mp3") {
        testmedia::TMp3Recipe recipe;
        recipe.Id3v2 = TId3v2Fields{"Old", "Band"};
        testmedia::WriteBytes(file, testmedia::ComposeMp3(*Stream, recipe));
      } else {
        testmedia::WriteBytes(file, wma.Mux(wmaRecipe.Attributes));
      }
      return file;
    };
    const auto retitle = [](const fs::path& file) {
      return Edit(file, [](TMusicFileItem& item) { item.Title = "New"; });
    };

    const fs::path shared = make(Folder.Path() / "mode" / ("a" + extension));
    const fs::perms mode0640 = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(shared, mode0640);
    // Root may give a file away: the saved file must stay the other user's, group included.
    // Anyone else keeps their own files, which the same check covers.
    const bool root = ::geteuid() == 0;
    const uid_t owner = root ? NobodyId : ::geteuid();
    const gid_t group = root ? NobodyId : ::getegid();
    ASSERT_EQ(::chown(shared.c_str(), owner, group), 0);
    ASSERT_TRUE(retitle(shared));
    EXPECT_EQ(perms(shared), mode0640);
    EXPECT_EQ(Read(shared).Title, "New");
    struct stat saved {};
    ASSERT_EQ(::stat(shared.c_str(), &saved), 0);
    EXPECT_EQ(saved.st_uid, owner);
    EXPECT_EQ(saved.st_gid, group);

    const fs::path real = Folder.Path() / ("real" + extension);
    const fs::path target = make(real / ("b" + extension));
    const fs::path link = Folder.Path() / ("link" + extension);
    fs::create_symlink(target, link);
    ASSERT_TRUE(retitle(link));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), target);
    EXPECT_EQ(Read(target).Title, "New");
    EXPECT_EQ(std::distance(fs::directory_iterator(real), fs::directory_iterator()), 1)
        << "no file left beside the target";

    const fs::path readOnly = make(Folder.Path() / "ro" / ("c" + extension));
    const fs::perms mode0444 = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    fs::permissions(readOnly, mode0444);
    const TBytes before = ReadBytes(readOnly);
    EXPECT_FALSE(retitle(readOnly));
    EXPECT_EQ(ReadBytes(readOnly), before);
    EXPECT_EQ(perms(readOnly), mode0444);
  }
}

}  // namespace

// Whichever file call of a write fails, both tags are new or the file is byte for byte as it was:
// an ID3v2 tag written over its old space or composed into a new file, an ID3v1 tag replaced,
// appended or created with it.
TEST_F(OxaMusicTagWriteTest, AWriteIsAllOrNothingAcrossBothTagsWhicheverCallFails)
{
  const std::string longTitle(200, 'L');
  struct TCase {
    const char* What;
    std::optional<TId3v2Fields> V2;
    std::optional<TId3v1Fields> V1;
    std::string NewTitle;
  };
  const TCase cases[] = {
      {"in place, ID3v1 replaced", TId3v2Fields{"Old title", "Band"}, TId3v1Fields{"Old title", "Band"},
       "Short"},
      {"in place, ID3v1 appended", TId3v2Fields{"Old title", "Band"}, std::nullopt, "Short"},
      {"new file, ID3v1 replaced", TId3v2Fields{"Old title", "Band"}, TId3v1Fields{"Old title", "Band"},
       longTitle},
      {"both tags created", std::nullopt, std::nullopt, "Short"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    bool sawFullDisk = false;
    std::uint32_t n = 1;
    for (;; ++n) {
      SCOPED_TRACE(n);
      const fs::path file = Mp3("all.mp3", c.V2, c.V1);
      const TBytes before = ReadBytes(file);
      TMusicFileItem item = Read(file);
      item.Title = c.NewTitle;
      TOxaMusicTag tag;
      FailNthPlatformCall(n);
      const bool written = tag.WriteItem(item);
      const std::uint32_t calls = CountedPlatformCalls();
      FailNthPlatformCall(0);
      if (written) {
        TID3Version1Tagger v1;
        ASSERT_TRUE(v1.Load(file.string()));
        EXPECT_EQ(v1.Title(), c.NewTitle.substr(0, 30));
        EXPECT_EQ(Read(file).Title, c.NewTitle);
      } else {
        EXPECT_EQ(ReadBytes(file), before);
        EXPECT_NE(tag.WriteFailure(), TTagWriteFailure::None);
        sawFullDisk = sawFullDisk || tag.WriteFailure() == TTagWriteFailure::NoSpace;
      }
      EXPECT_FALSE(fs::exists(TReplacementFile::TemporaryName(file.string())));
      if (calls < n) {
        EXPECT_TRUE(written);
        break;
      }
    }
    EXPECT_GT(n, 3U);
    EXPECT_TRUE(sawFullDisk);
  }
}

// A new tag no longer than the old one's space with its padding is written over it: the file
// keeps its place on the disk and needs no room for a copy. One byte more and the file is
// composed anew.
TEST_F(OxaMusicTagWriteTest, ATagThatFitsItsPaddingIsWrittenInPlace)
{
  const auto inode = [](const fs::path& file) {
    struct stat status {};
    EXPECT_EQ(::stat(file.c_str(), &status), 0);
    return status.st_ino;
  };
  // The media's tags have 32 bytes of padding; the title frame holds its text after one
  // encoding byte.
  const std::string old = "Old";
  struct TCase {
    std::size_t Grows;
    bool InPlace;
  };
  for (const TCase c : {TCase{0, true}, TCase{32, true}, TCase{33, false}}) {
    SCOPED_TRACE(c.Grows);
    const fs::path file = Mp3("fit.mp3", TId3v2Fields{old, "Band"}, TId3v1Fields{old, "Band"});
    const auto before = inode(file);
    const auto size = fs::file_size(file);
    const std::string title = "New" + std::string(c.Grows, 'x');
    ASSERT_TRUE(Edit(file, [&](TMusicFileItem& item) { item.Title = title; }));
    EXPECT_EQ(inode(file) == before, c.InPlace);
    EXPECT_EQ(fs::file_size(file) == size, c.InPlace);
    EXPECT_EQ(Read(file).Title, title);
    TID3Version1Tagger v1;
    ASSERT_TRUE(v1.Load(file.string()));
    EXPECT_EQ(v1.Title(), title.substr(0, 30));
  }
}

TEST_F(OxaMusicTagWriteTest, AFailedWriteSaysWhy)
{
  const auto retitle = [](const fs::path& file, TTagWriteFailure& failure) {
    TMusicFileItem item = Read(file);
    item.Title = "New";
    TOxaMusicTag tag;
    const bool written = tag.WriteItem(item);
    failure = tag.WriteFailure();
    return written;
  };
  TTagWriteFailure failure = TTagWriteFailure::None;
  const fs::path readOnly = Mp3("ro.mp3", TId3v2Fields{"Old"}, std::nullopt);
  fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read);
  EXPECT_FALSE(retitle(readOnly, failure));
  EXPECT_EQ(failure, TTagWriteFailure::ReadOnly);

  // Another program writing the file holds it against every other writer.
  const fs::path held = Mp3("held.mp3", TId3v2Fields{"Old"}, std::nullopt);
  const TBytes before = ReadBytes(held);
  {
    TFileStream writer(held.string(), fmOpenReadWrite | fmShareDenyWrite);
    EXPECT_FALSE(retitle(held, failure));
    EXPECT_EQ(failure, TTagWriteFailure::Locked);
  }
  EXPECT_EQ(ReadBytes(held), before);

  const fs::path wave = Folder.Path() / "a.wav";
  testmedia::WriteBytes(wave, TBytes(64, 0));
  EXPECT_FALSE(retitle(wave, failure));
  EXPECT_EQ(failure, TTagWriteFailure::NotTaggable);
  EXPECT_EQ(TagWriteFailureText(TTagWriteFailure::NoSpace), "the disk is full");
}
