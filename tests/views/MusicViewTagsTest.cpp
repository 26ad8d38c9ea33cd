// Edits written back: the file keeps every frame it had but the edited one, nothing made up is
// written, the library record follows, and looking at a read-only file leaves it so.
#include "views/info/MusicViewTags.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/windows/DisplayTesting.h"
#include "platform/windows/Input.h"
#include "playback/OxaMusicPlayer.h"
#include "skin/OxaSkin.h"
#include "tags/ID3Version1Tagger.h"
#include "tags/ID3Version2Tagger2.h"
#include "tags/WMATagger.h"
#include "tests/support/TempFolder.h"
#include "tests/tags/WmaRuntime.h"
#include "tools/make-test-media/TestMedia.h"
#include "views/OxaMusicInfoAssets.h"
#include "views/info/MusicView.h"

namespace fs = std::filesystem;

namespace {

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

testmedia::TBytes ReadFileBytes(const fs::path& file)
{
  std::ifstream in(file, std::ios::binary);
  return testmedia::TBytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The ID3v1 tail of the file.
testmedia::TBytes TailOf(const fs::path& file)
{
  const testmedia::TBytes bytes = ReadFileBytes(file);
  return testmedia::TBytes(bytes.end() - 128, bytes.end());
}

class MusicViewTagsTest : public ::testing::Test {
 protected:
  fs::path Mp3(const std::string& name, std::optional<testmedia::TId3v2Fields> v2,
               std::optional<testmedia::TId3v1Fields> v1)
  {
    testmedia::TMp3Recipe recipe;
    recipe.Audio.Milliseconds = 500;
    recipe.Id3v2 = std::move(v2);
    recipe.Id3v1 = std::move(v1);
    const fs::path file = Machine.Home() / name;
    fs::create_directories(file.parent_path());
    testmedia::WriteMp3(file, recipe);
    return file;
  }

  static bool Write(const fs::path& file, const TOxaTrackEdit& edit)
  {
    TMusicFileItem item;
    if (!OxaEditedFileItem(file.string(), edit, item)) {
      return false;
    }
    return TOxaMusicTag().WriteItem(item);
  }

  TTempMachine Machine;
};

TEST_F(MusicViewTagsTest, EditingTheTitleChangesOnlyThatFrame)
{
  // No album and no genre in either tag: the placeholders must stay unwritten.
  const fs::path file = Mp3("full.mp3", testmedia::TId3v2Fields{"Old", "Band", "", "1999", "", "3", "Note"},
                            testmedia::TId3v1Fields{"Old", "Band", "", "1999", "Note", 3, 255});
  const auto before = FramesOf(file);
  const testmedia::TBytes tailBefore = TailOf(file);
  TOxaTrackEdit edit;
  edit.Title = "New";
  ASSERT_TRUE(Write(file, edit));

  const auto after = FramesOf(file);
  ASSERT_EQ(after.size(), before.size());
  for (std::size_t i = 0; i < before.size(); ++i) {
    EXPECT_EQ(after[i].first, before[i].first);
    if (before[i].first != "TIT2") {
      EXPECT_EQ(after[i].second, before[i].second) << before[i].first;
    }
  }
  const testmedia::TBytes tailAfter = TailOf(file);
  // "TAG", then the 30-byte title; everything after it is as it was.
  EXPECT_EQ(std::string(tailAfter.begin() + 3, tailAfter.begin() + 6), "New");
  EXPECT_TRUE(std::equal(tailAfter.begin() + 33, tailAfter.end(), tailBefore.begin() + 33));
  TID3Version2Tagger2 v2;
  ASSERT_TRUE(v2.Load(file.string()));
  for (const auto& [id, data] : after) {
    const std::string text(data.begin(), data.end());
    EXPECT_EQ(text.find("Unknown"), std::string::npos) << id;
  }
  TMusicFileItem reread;
  reread.FileName = file.string();
  ASSERT_TRUE(TOxaMusicTag().ReadItem(reread));
  EXPECT_EQ(reread.Title, "New");
  EXPECT_EQ(reread.Artist, "Band");
  EXPECT_EQ(reread.Year, 1999);
  EXPECT_EQ(reread.Album, "Unknown");
}

TEST_F(MusicViewTagsTest, PlaceholdersOfAnUntaggedFileAreNeverWritten)
{
  const fs::path file = Mp3("bare.mp3", std::nullopt, std::nullopt);
  TMusicFileItem item;
  ASSERT_TRUE(OxaEditedFileItem(file.string(), {}, item));
  EXPECT_EQ(item.Title, "");
  EXPECT_EQ(item.Artist, "");
  EXPECT_EQ(item.Album, "");
  EXPECT_EQ(item.Genre, "");
  EXPECT_EQ(item.Year, 0);
  const testmedia::TBytes before = ReadFileBytes(file);
  ASSERT_TRUE(TOxaMusicTag().WriteItem(item));
  EXPECT_EQ(ReadFileBytes(file), before);

  TOxaTrackEdit edit;
  edit.Artist = "Someone";
  ASSERT_TRUE(Write(file, edit));
  for (const auto& [id, data] : FramesOf(file)) {
    EXPECT_TRUE(id == "TPE1") << id;
  }
}

TEST_F(MusicViewTagsTest, AnUnreadableFileGivesNothingToWrite)
{
  TMusicFileItem item;
  TOxaTrackEdit edit;
  edit.Title = "x";
  EXPECT_FALSE(OxaEditedFileItem((Machine.Home() / "missing.mp3").string(), edit, item));
}

TEST_F(MusicViewTagsTest, WmaTitleEditLeavesTheOtherAttributes)
{
  InstallWmaRuntime(OXA_WMVCORE_FILE);
  testmedia::TWmaRecipe recipe;
  recipe.Audio.Milliseconds = 500;
  recipe.Attributes = {{"Title", "Old"}, {"Author", "Band"}, {"WM/Year", "2004"}};
  const fs::path file = Machine.Home() / "a.wma";
  fs::create_directories(file.parent_path());
  testmedia::WriteWma(file, recipe);
  TOxaTrackEdit edit;
  edit.Title = "New";
  ASSERT_TRUE(Write(file, edit));
  TWMATagger tagger;
  ASSERT_TRUE(tagger.Open(file.string()));
  EXPECT_EQ(tagger.Title(), u"New");
  EXPECT_EQ(tagger.Author(), u"Band");
  EXPECT_EQ(tagger.Year(), u"2004");
  EXPECT_EQ(tagger.Album(), u"");
  EXPECT_EQ(tagger.Genre(), u"");
  tagger.Close();
}

TEST_F(MusicViewTagsTest, TheLibraryRecordFollowsTheEdit)
{
  const fs::path file =
      Mp3("lib.mp3", testmedia::TId3v2Fields{"Old", "Band", "Disc", "2001", "Rock", "4", ""}, std::nullopt);
  TOxaMusicPlayer player("no-such-audio-component");
  ASSERT_TRUE(player.OpenLibrary());
  TMusicFileItem scanned;
  scanned.FileName = file.string();
  ASSERT_TRUE(TOxaMusicTag().ReadItem(scanned));
  const std::int32_t fileId = player.Database().AddFile(scanned);

  TMusicFileItem record;
  ASSERT_TRUE(OxaReadTrackRecord(player.Database(), fileId, record));
  EXPECT_EQ(record.Title, "Old");
  EXPECT_EQ(record.Artist, "Band");
  EXPECT_EQ(record.Album, "Disc");
  EXPECT_EQ(record.Genre, "Rock");
  EXPECT_EQ(record.Year, 2001);
  EXPECT_EQ(record.Track, 4);

  TOxaTrackEdit edit;
  edit.Title = "Renamed";
  edit.Artist = "Other band";
  OxaFollowTrackEdit(player.Database(), fileId, edit);
  ASSERT_TRUE(OxaReadTrackRecord(player.Database(), fileId, record));
  EXPECT_EQ(record.Title, "Renamed");
  EXPECT_EQ(record.Artist, "Other band");
  EXPECT_EQ(record.Album, "Disc");
  EXPECT_FALSE(OxaReadTrackRecord(player.Database(), fileId + 100, record));
}

TEST_F(MusicViewTagsTest, ATitleMadeFromTheFileNameIsShownButStaysAPlaceholder)
{
  const fs::path file = Mp3("Morning Tune.mp3", testmedia::TId3v2Fields{"", "Band"}, std::nullopt);
  TOxaMusicPlayer player("no-such-audio-component");
  ASSERT_TRUE(player.OpenLibrary());
  TMusicFileItem scanned;
  scanned.FileName = file.string();
  ASSERT_TRUE(TOxaMusicTag().ReadItem(scanned));
  const std::int32_t fileId = player.Database().AddFile(scanned);
  TMusicFileItem record;
  bool fromTag = true;
  ASSERT_TRUE(OxaReadTrackRecord(player.Database(), fileId, record, &fromTag));
  EXPECT_FALSE(fromTag);
  EXPECT_NE(record.Title, "Unknown");
  const std::string shownTitle = record.Title;
  TOxaTrackEdit edit;
  edit.Artist = "Other";
  OxaFollowTrackEdit(player.Database(), fileId, edit);
  ASSERT_TRUE(OxaReadTrackRecord(player.Database(), fileId, record, &fromTag));
  EXPECT_FALSE(fromTag);
  EXPECT_EQ(record.Title, shownTitle);
  EXPECT_EQ(record.Artist, "Other");
}

TEST_F(MusicViewTagsTest, AnEditInTheMusicViewReachesTheFileAndTheLibrary)
{
  UseHeadlessDisplay();
  const fs::path file = Mp3(
      "view.mp3", testmedia::TId3v2Fields{"Old", "Band", "Disc", "2001", "Rock", "4", "Note"}, std::nullopt);
  TOxaMusicPlayer player("no-such-audio-component");
  ASSERT_TRUE(player.OpenLibrary());
  TMusicFileItem scanned;
  scanned.FileName = file.string();
  ASSERT_TRUE(TOxaMusicTag().ReadItem(scanned));
  const std::int32_t fileId = player.Database().AddFile(scanned);
  TDbId item;
  ASSERT_TRUE(player.Database().MakeItem(ViewAlbums, fileId, item));

  TOxaMusicInfoAssetsForm assets(nullptr, &OxaSkinStore);
  TOwnedObject<TMusicView> view(new TMusicView(nullptr));
  view->SetFont(assets.InfoTextFonts);
  view->SetBitmaps(assets.InfoIcons);
  view->SetPlayer(&player);
  view->ShowInfo(true);
  view->DisplayTrack(item);
  TOxaMusicInfoBody* body = view->Info()->Body();
  EXPECT_EQ(view->FileId(), fileId);
  EXPECT_EQ(body->Items(ikTitle)->Value(), "Old");
  EXPECT_EQ(body->Items(ikAlbum)->Value(), "Disc");
  ASSERT_TRUE(body->EditMode());

  const auto before = FramesOf(file);
  TOxaMusicInfoEditItem* title = body->EditItem(ikTitle);
  ASSERT_TRUE(title->BeginEdit());
  for (int i = 0; i < 3; ++i) {
    WORD back = VK_BACK;
    body->KeyDown(back, 0);
  }
  for (char32_t c : std::u32string(U"New")) {
    body->KeyPress(c);
  }
  WORD enter = VK_RETURN;
  body->KeyDown(enter, 0);

  EXPECT_EQ(player.PendingTagCount(), 0);
  const auto after = FramesOf(file);
  ASSERT_EQ(after.size(), before.size());
  for (std::size_t i = 0; i < before.size(); ++i) {
    if (before[i].first != "TIT2") {
      EXPECT_EQ(after[i].second, before[i].second) << before[i].first;
    }
  }
  TMusicFileItem record;
  ASSERT_TRUE(OxaReadTrackRecord(player.Database(), fileId, record));
  EXPECT_EQ(record.Title, "New");
  EXPECT_EQ(record.Album, "Disc");
  view->SetPlayer(nullptr);
}

TEST_F(MusicViewTagsTest, TodaysFormatsShowTheirQualityAndTakeEdits)
{
  UseHeadlessDisplay();
  TOxaMusicPlayer player("no-such-audio-component");
  ASSERT_TRUE(player.OpenLibrary());
  TOxaMusicInfoAssetsForm assets(nullptr, &OxaSkinStore);
  TOwnedObject<TMusicView> view(new TMusicView(nullptr));
  view->SetFont(assets.InfoTextFonts);
  view->SetBitmaps(assets.InfoIcons);
  view->SetPlayer(&player);
  view->ShowInfo(true);
  const struct {
    testmedia::TModernFormat Format;
    std::string Quality;
  } cases[] = {{testmedia::TModernFormat::Flac, "FLAC 16/44.1 kHz"},
               {testmedia::TModernFormat::OggVorbis, "128 kbps"}};
  for (const auto& c : cases) {
    const fs::path file = Machine.Home() / (std::string("view") + testmedia::ExtensionOf(c.Format));
    testmedia::TModernRecipe recipe;
    recipe.Audio.Milliseconds = 500;
    recipe.Format = c.Format;
    recipe.Tags = {{"title", "Old"}, {"album", "Disc"}, {"track", "2/9"}};
    testmedia::WriteModern(file, recipe);
    TMusicFileItem scanned;
    scanned.FileName = file.string();
    ASSERT_TRUE(TOxaMusicTag().ReadItem(scanned));
    const std::int32_t fileId = player.Database().AddFile(scanned);
    TDbId item;
    ASSERT_TRUE(player.Database().MakeItem(ViewAlbums, fileId, item));

    view->DisplayTrack(item);
    TOxaMusicInfoBody* body = view->Info()->Body();
    EXPECT_EQ(body->Items(ikQuality)->Value(), c.Quality);
    ASSERT_TRUE(body->EditMode()) << c.Quality;
    TOxaMusicInfoEditItem* title = body->EditItem(ikTitle);
    ASSERT_TRUE(title->BeginEdit());
    for (int i = 0; i < 3; ++i) {
      WORD back = VK_BACK;
      body->KeyDown(back, 0);
    }
    for (char32_t ch : std::u32string(U"New")) {
      body->KeyPress(ch);
    }
    WORD enter = VK_RETURN;
    body->KeyDown(enter, 0);
    EXPECT_EQ(player.PendingTagCount(), 0);
    TMusicFileItem reread;
    reread.FileName = file.string();
    ASSERT_TRUE(TOxaMusicTag().ReadItem(reread));
    EXPECT_EQ(reread.Title, "New") << c.Quality;
    EXPECT_EQ(reread.Album, "Disc");
    EXPECT_EQ(reread.Track, 2);
  }
  view->SetPlayer(nullptr);
}

TEST_F(MusicViewTagsTest, AskingWhetherATagCanBeWrittenLeavesAReadOnlyFileReadOnly)
{
  const fs::path file = Mp3("ro.mp3", testmedia::TId3v2Fields{"T", "A"}, std::nullopt);
  fs::permissions(file, fs::perms::owner_read | fs::perms::group_read);
  TOxaMusicPlayer player("no-such-audio-component");
  player.CanWriteTag(file.string());
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::owner_write, fs::perms::none);
}

}  // namespace
