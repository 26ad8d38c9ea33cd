#include "tags/WMATagger.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "rtl/Utf8.h"

#include "tests/support/TempFolder.h"
#include "tests/tags/FakeWmvCore.h"
#include "tests/tags/WmaRuntime.h"
#include "tools/make-test-media/TestMedia.h"

namespace fs = std::filesystem;

namespace {

std::vector<BYTE> Text(std::u16string_view text)
{
  std::vector<BYTE> bytes;
  bytes.reserve(text.size() * 2 + 2);
  for (const char16_t unit : text) {
    bytes.push_back(static_cast<BYTE>(unit & 0xFF));
    bytes.push_back(static_cast<BYTE>(unit >> 8));
  }
  bytes.push_back(0);
  bytes.push_back(0);
  return bytes;
}

std::vector<BYTE> Number(std::uint64_t value, int size)
{
  std::vector<BYTE> bytes(static_cast<std::size_t>(size));
  for (int i = 0; i < size; ++i) {
    bytes[static_cast<std::size_t>(i)] = static_cast<BYTE>(value >> (8 * i));
  }
  return bytes;
}

// The fake runtime in the test's machine, and its state as the tagger will see it.
class WMATaggerFakeTest : public ::testing::Test {
 protected:
  void SetUp() override
  {
    InstallWmaRuntime(OXA_FAKE_WMVCORE_FILE);
    Runtime = TModule(LoadLibraryA(TWMATagger::RuntimeName));
    ASSERT_TRUE(Runtime);
    const auto state =
        reinterpret_cast<TFakeWmvCoreStateFunction>(GetProcAddress(Runtime.Get(), FakeWmvCoreStateName));
    ASSERT_NE(state, nullptr);
    Fake = state();
    *Fake = TFakeWmvCoreState();
  }
  void TearDown() override
  {
    if (Fake != nullptr) {
      *Fake = TFakeWmvCoreState();
    }
  }

  TTempMachine Machine;
  TModule Runtime;
  TFakeWmvCoreState* Fake = nullptr;
};

TEST_F(WMATaggerFakeTest, NumbersAreConvertedByTheirType)
{
  const struct {
    const char* What;
    std::u16string Name;
    WMT_ATTR_DATATYPE Type;
    std::vector<BYTE> Value;
    int Track, Duration, Bitrate;
  } cases[] = {
      {"duration in 100 ns units", u"Duration", WMT_TYPE_QWORD, Number(2400000000ULL, 8), 0, 240, -1},
      {"duration rounds down", u"Duration", WMT_TYPE_QWORD, Number(2394999999ULL, 8), 0, 239, -1},
      {"duration rounds up", u"Duration", WMT_TYPE_QWORD, Number(2396000000ULL, 8), 0, 240, -1},
      {"bit rate in bit/s", u"Bitrate", WMT_TYPE_DWORD, Number(128000, 4), 0, -1, 128},
      {"bit rate rounds down", u"Bitrate", WMT_TYPE_DWORD, Number(127999, 4), 0, -1, 127},
      {"track as DWORD", u"WM/Track", WMT_TYPE_DWORD, Number(7, 4), 7, -1, -1},
      {"track as WORD", u"WM/Track", WMT_TYPE_WORD, Number(5, 2), 5, -1, -1},
      {"track as BOOL", u"WM/Track", WMT_TYPE_BOOL, Number(9, 4), 1, -1, -1},
      {"track as QWORD is shifted", u"WM/Track", WMT_TYPE_QWORD, Number(0x300, 8), 3, -1, -1},
      {"track as text is no number", u"WM/Track", WMT_TYPE_STRING, Text(u"7"), 0, -1, -1},
      {"a DWORD of two bytes is not read", u"WM/Track", WMT_TYPE_DWORD, Number(7, 2), 0, -1, -1},
      {"a QWORD of four bytes is not read", u"Duration", WMT_TYPE_QWORD, Number(7, 4), 0, -1, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    Fake->Attributes = {{c.Name, TFakeAttribute{c.Type, c.Value}}};
    TWMATagger tagger;
    ASSERT_TRUE(tagger.Available());
    ASSERT_TRUE(tagger.Open("/music/a.wma"));
    EXPECT_EQ(tagger.Track(), c.Track);
    EXPECT_EQ(tagger.Duration(), c.Duration);
    EXPECT_EQ(tagger.Bitrate(), c.Bitrate);
  }
}

TEST_F(WMATaggerFakeTest, TrackNumberWinsOverTrackAsNumberOrText)
{
  const struct {
    const char* What;
    std::map<std::u16string, TFakeAttribute> Attributes;
    int Track;
  } cases[] = {
      {"number only", {{u"WM/TrackNumber", {WMT_TYPE_DWORD, Number(3, 4)}}}, 3},
      {"both",
       {{u"WM/TrackNumber", {WMT_TYPE_DWORD, Number(3, 4)}}, {u"WM/Track", {WMT_TYPE_DWORD, Number(2, 4)}}},
       3},
      {"text", {{u"WM/TrackNumber", {WMT_TYPE_STRING, Text(u"12")}}}, 12},
      {"text with total", {{u"WM/TrackNumber", {WMT_TYPE_STRING, Text(u"7/15")}}}, 7},
      {"text without a number",
       {{u"WM/TrackNumber", {WMT_TYPE_STRING, Text(u"x")}}, {u"WM/Track", {WMT_TYPE_DWORD, Number(4, 4)}}},
       4},
      {"text too large", {{u"WM/TrackNumber", {WMT_TYPE_STRING, Text(u"99999999999")}}}, 0},
      {"word", {{u"WM/TrackNumber", {WMT_TYPE_WORD, Number(9, 2)}}}, 9},
      {"damaged number",
       {{u"WM/TrackNumber", {WMT_TYPE_DWORD, Number(9, 2)}}, {u"WM/Track", {WMT_TYPE_DWORD, Number(5, 4)}}},
       5},
      {"track only", {{u"WM/Track", {WMT_TYPE_DWORD, Number(6, 4)}}}, 6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    Fake->Attributes = c.Attributes;
    TWMATagger tagger;
    ASSERT_TRUE(tagger.Open("/music/a.wma"));
    EXPECT_EQ(tagger.Track(), c.Track);
  }
}

TEST_F(WMATaggerFakeTest, TheRuntimeIsGivenTheHostPathOfAWindowsPath)
{
  TWMATagger tagger;
  ASSERT_TRUE(tagger.Open("C:\\Music\\a.wma"));
  ASSERT_EQ(Fake->OpenedFiles.size(), 1U);
  EXPECT_EQ(Fake->OpenedFiles[0], Utf8ToUtf16((Machine.Home() / "Music" / "a.wma").string()));
}

TEST_F(WMATaggerFakeTest, AHostNameThatIsNotUtf8ReachesTheRuntimeByteForByte)
{
  TWMATagger tagger;
  ASSERT_TRUE(tagger.Open("C:\\Music\\caf\xE9.wma"));
  ASSERT_EQ(Fake->OpenedFiles.size(), 1U);
  EXPECT_EQ(Fake->OpenedFiles[0], Utf8ToUtf16((Machine.Home() / "Music").string()) + u"/caf\xDCE9.wma");
}

TEST_F(WMATaggerFakeTest, OnlyTheFieldsGivenASetterAreWritten)
{
  TWMATagger tagger;
  ASSERT_TRUE(tagger.Open("/music/a.wma"));
  EXPECT_TRUE(tagger.Save());
  EXPECT_TRUE(Fake->Writes.empty());
  tagger.SetYear(u"2001");
  ASSERT_TRUE(tagger.Save());
  ASSERT_EQ(Fake->Writes.size(), 1U);
  EXPECT_EQ(Fake->Writes[0].Name, u"WM/Year");
}

TEST_F(WMATaggerFakeTest, TextsAreReadFromEveryType)
{
  Fake->Attributes = {
      {u"Title", {WMT_TYPE_STRING, Text(u"Song \u00E9\U0001D11E")}},
      {u"Author", {WMT_TYPE_BOOL, Number(1, 4)}},
      {u"Description", {WMT_TYPE_BINARY, {1, 2, 3}}},
      {u"WM/Genre", {WMT_TYPE_STRING, {'R', 0, 'o', 0}}},  // no terminator
      {u"WM/Year", {WMT_TYPE_DWORD, Number(1998, 4)}},
      {u"WM/AlbumTitle", {WMT_TYPE_WORD, Number(42, 2)}},
  };
  TWMATagger tagger;
  ASSERT_TRUE(tagger.Open("/music/a.wma"));
  EXPECT_EQ(tagger.Title(), u"Song \u00E9\U0001D11E");
  EXPECT_EQ(tagger.Author(), u"true");
  EXPECT_EQ(tagger.Description(), u"");
  EXPECT_EQ(tagger.Genre(), u"Ro");
  EXPECT_EQ(tagger.Year(), u"1998");
  EXPECT_EQ(tagger.Album(), u"42");
  EXPECT_EQ(tagger.Track(), 0);
  EXPECT_EQ(tagger.Duration(), -1);
  EXPECT_EQ(Fake->OpenedFiles, std::vector<std::u16string>{u"/music/a.wma"});
}

TEST_F(WMATaggerFakeTest, AFailedSecondReadLeavesTheClearedValues)
{
  Fake->Attributes = {{u"Title", {WMT_TYPE_STRING, Text(u"Song")}},
                      {u"Duration", {WMT_TYPE_QWORD, Number(2400000000ULL, 8)}}};
  Fake->FailSecondRead = true;
  TWMATagger tagger;
  ASSERT_TRUE(tagger.Open("/music/a.wma"));
  EXPECT_EQ(tagger.Title(), u"");
  EXPECT_EQ(tagger.Duration(), -1);
}

TEST_F(WMATaggerFakeTest, OpenClearsTheEarlierFileAndClosesItFirst)
{
  Fake->Attributes = {{u"Title", {WMT_TYPE_STRING, Text(u"First")}},
                      {u"WM/Track", {WMT_TYPE_DWORD, Number(4, 4)}}};
  TWMATagger tagger;
  ASSERT_TRUE(tagger.Open("/music/a.wma"));
  ASSERT_EQ(tagger.Track(), 4);
  const int closes = Fake->Closes;
  Fake->Attributes.clear();
  Fake->FailOpen = true;
  EXPECT_FALSE(tagger.Open("/music/b.wma"));
  EXPECT_EQ(Fake->Closes, closes + 1);
  EXPECT_EQ(tagger.Title(), u"");
  EXPECT_EQ(tagger.Track(), 0);
  EXPECT_FALSE(tagger.Save()) << "nothing is open to save into";
  EXPECT_TRUE(Fake->Writes.empty());
}

TEST_F(WMATaggerFakeTest, SaveWritesEveryFieldOnStreamZeroAndFlushes)
{
  TWMATagger tagger;
  ASSERT_TRUE(tagger.Open("/music/a.wma"));
  tagger.SetTitle(u"T");
  tagger.SetAuthor(u"Artist");
  tagger.SetDescription(u"");
  tagger.SetGenre(u"Rock");
  tagger.SetYear(u"1998");
  tagger.SetAlbum(u"Album \u65E5");
  tagger.SetTrack(12);
  ASSERT_TRUE(tagger.Save());
  const std::vector<std::pair<std::u16string, std::vector<BYTE>>> expected = {
      {u"Title", Text(u"T")},
      {u"Author", Text(u"Artist")},
      {u"Description", {0, 0}},
      {u"WM/Genre", Text(u"Rock")},
      {u"WM/Year", Text(u"1998")},
      {u"WM/AlbumTitle", Text(u"Album \u65E5")},
      {u"WM/TrackNumber", Number(12, 4)},
      {u"WM/Track", Number(12, 4)},
  };
  ASSERT_EQ(Fake->Writes.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(Fake->Writes[i].Name, expected[i].first);
    EXPECT_EQ(Fake->Writes[i].StreamNumber, 0);
    EXPECT_EQ(Fake->Writes[i].Type, i + 2 >= expected.size() ? WMT_TYPE_DWORD : WMT_TYPE_STRING);
    EXPECT_EQ(Fake->Writes[i].Value, expected[i].second);
  }
  EXPECT_EQ(Fake->Flushes, 1);
}

TEST_F(WMATaggerFakeTest, ATextTooLongForASixteenBitLengthIsCutToFit)
{
  TWMATagger tagger;
  ASSERT_TRUE(tagger.Open("/music/a.wma"));
  tagger.SetTitle(std::u16string(40000, u'x'));
  std::u16string paired(TWMATagger::MaxTextLength - 1, u'y');
  paired += u"\U0001D11E";
  tagger.SetGenre(paired);
  ASSERT_TRUE(tagger.Save());
  ASSERT_EQ(Fake->Writes.size(), 2U);
  EXPECT_EQ(Fake->Writes[0].Value, Text(std::u16string(TWMATagger::MaxTextLength, u'x')));
  EXPECT_EQ(Fake->Writes[0].Value.size(), 65534U);
  EXPECT_EQ(Fake->Writes[1].Value, Text(std::u16string(TWMATagger::MaxTextLength - 1, u'y')));
}

TEST_F(WMATaggerFakeTest, ARefusedAttributeFailsTheSaveButTheOthersAreStillWritten)
{
  Fake->RefusedWrites = {u"WM/Genre"};
  TWMATagger tagger;
  ASSERT_TRUE(tagger.Open("/music/a.wma"));
  tagger.SetTitle(u"T");
  tagger.SetGenre(u"G");
  tagger.SetAlbum(u"A");
  EXPECT_FALSE(tagger.Save());
  EXPECT_EQ(Fake->Writes.size(), 3U);
  EXPECT_EQ(Fake->Flushes, 1);
}

TEST_F(WMATaggerFakeTest, AFailedFlushIsAFailedSave)
{
  Fake->FailFlush = true;
  TWMATagger tagger;
  ASSERT_TRUE(tagger.Open("/music/a.wma"));
  EXPECT_FALSE(tagger.Save());
}

TEST_F(WMATaggerFakeTest, AnEditorThatWasNotCreatedMeansNoRuntime)
{
  Fake->FailCreate = true;
  TWMATagger tagger;
  EXPECT_FALSE(tagger.Available());
  EXPECT_FALSE(tagger.Open("/music/a.wma"));
  tagger.Close();
  EXPECT_TRUE(Fake->OpenedFiles.empty());
}

fs::path WriteTaggedWma(const fs::path& folder)
{
  testmedia::TWmaRecipe recipe;
  recipe.Audio.Milliseconds = 2000;
  recipe.Attributes = {{"Title", "Song"},          {"Author", "Artist"}, {"Description", "Comment"},
                       {"WM/AlbumTitle", "Album"}, {"WM/Genre", "Rock"}, {"WM/Year", "1998"}};
  fs::path file = folder / "tagged.wma";
  testmedia::WriteWma(file, recipe);
  return file;
}

TEST(WMATagger, ReadsAndRewritesARealFileThroughTheRuntime)
{
  TTempMachine machine;
  InstallWmaRuntime(OXA_WMVCORE_FILE);
  TTempFolder folder;
  const fs::path file = WriteTaggedWma(folder.Path());
  {
    TWMATagger tagger;
    ASSERT_TRUE(tagger.Available());
    ASSERT_TRUE(tagger.Open(file.string()));
    EXPECT_EQ(tagger.Title(), u"Song");
    EXPECT_EQ(tagger.Author(), u"Artist");
    EXPECT_EQ(tagger.Description(), u"Comment");
    EXPECT_EQ(tagger.Album(), u"Album");
    EXPECT_EQ(tagger.Genre(), u"Rock");
    EXPECT_EQ(tagger.Year(), u"1998");
    EXPECT_EQ(tagger.Track(), 0);
    EXPECT_EQ(tagger.Duration(), 2);
    EXPECT_NEAR(tagger.Bitrate(), 64, 8);

    tagger.SetTitle(u"New \u00C9t\u00E9");
    tagger.SetAuthor(u"Someone");
    tagger.SetDescription(u"Remark");
    tagger.SetGenre(u"Jazz");
    tagger.SetYear(u"2005");
    tagger.SetAlbum(u"Other");
    tagger.SetTrack(9);
    ASSERT_TRUE(tagger.Save());
    tagger.Close();
  }
  TWMATagger again;
  ASSERT_TRUE(again.Open(file.string()));
  EXPECT_EQ(again.Title(), u"New \u00C9t\u00E9");
  EXPECT_EQ(again.Author(), u"Someone");
  EXPECT_EQ(again.Description(), u"Remark");
  EXPECT_EQ(again.Genre(), u"Jazz");
  EXPECT_EQ(again.Year(), u"2005");
  EXPECT_EQ(again.Album(), u"Other");
  EXPECT_EQ(again.Track(), 9);
  EXPECT_EQ(again.Duration(), 2);
}

TEST(WMATagger, WithoutTheRuntimeOrItsExportNoFileOpens)
{
  TTempFolder folder;
  const fs::path file = WriteTaggedWma(folder.Path());
  for (const char* standIn : {static_cast<const char*>(nullptr), OXA_NOEXPORT_WMVCORE_FILE}) {
    SCOPED_TRACE(standIn == nullptr ? "no library" : "no export");
    TTempMachine machine;
    if (standIn != nullptr) {
      InstallWmaRuntime(standIn);
    }
    TWMATagger tagger;
    EXPECT_FALSE(tagger.Available());
    EXPECT_FALSE(tagger.Open(file.string()));
    EXPECT_EQ(tagger.Duration(), -1);
    EXPECT_FALSE(tagger.Save());
    tagger.Close();
  }
}

}  // namespace
