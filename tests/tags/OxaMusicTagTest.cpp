#include "tags/OxaMusicTag.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "rtl/FileStream.h"
#include "tests/support/TempFolder.h"
#include "tests/tags/FakeWmvCore.h"
#include "tests/tags/TagTestFiles.h"
#include "tests/tags/WmaRuntime.h"
#include "tools/make-test-media/TestMedia.h"

namespace fs = std::filesystem;
using testmedia::TBytes;
using testmedia::TId3v1Fields;
using testmedia::TId3v2Fields;

namespace {

TMusicCheckSum ChecksumOf(const fs::path& file, bool hasTail)
{
  TFileStream stream(file.string(), fmOpenRead);
  TMusicCheckSum sum{};
  TOxaMusicCheckSum().Compute(stream, hasTail, sum);
  return sum;
}

// The audio is encoded once for the whole suite; each test composes its files from it.
class OxaMusicTagTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite()
  {
    testmedia::TMp3Recipe recipe;
    recipe.Audio.Milliseconds = 2000;
    ConstantStream = new TBytes(testmedia::EncodeMp3Stream(recipe));
    recipe.Mode = testmedia::TBitRateMode::Variable;
    recipe.VbrQuality = 2;
    recipe.Audio.Seed = 5;
    VariableStream = new TBytes(testmedia::EncodeMp3Stream(recipe));
    testmedia::TWmaRecipe wma;
    wma.Audio.Milliseconds = 2000;
    Wma = new testmedia::TWmaAudio(wma);
  }
  static void TearDownTestSuite()
  {
    delete ConstantStream;
    delete VariableStream;
    delete Wma;
  }

  fs::path Mp3(const std::string& name, std::optional<TId3v2Fields> v2, std::optional<TId3v1Fields> v1,
               const TBytes* stream = ConstantStream)
  {
    testmedia::TMp3Recipe recipe;
    recipe.Id3v2 = std::move(v2);
    recipe.Id3v1 = std::move(v1);
    fs::path file = Folder.Path() / name;
    testmedia::WriteBytes(file, testmedia::ComposeMp3(*stream, recipe));
    return file;
  }

  fs::path WmaFile(const std::string& name,
                   const std::vector<std::pair<std::string, std::string>>& attributes)
  {
    fs::path file = Folder.Path() / name;
    testmedia::WriteBytes(file, Wma->Mux(attributes));
    return file;
  }

  static TMusicFileItem Read(TOxaMusicTag& tag, const fs::path& file, bool expected = true)
  {
    TMusicFileItem item;
    item.FileName = file.string();
    EXPECT_EQ(tag.ReadItem(item), expected) << file;
    return item;
  }

  static inline TBytes* ConstantStream = nullptr;
  static inline TBytes* VariableStream = nullptr;
  static inline testmedia::TWmaAudio* Wma = nullptr;
  TTempMachine Machine;
  TTempFolder Folder;
};

TEST(OxaMusicTagCleaning, TextsAreCleanedAndEmptyOnesAreUnknown)
{
  const struct {
    const char* Raw;
    const char* Clean;
  } cases[] = {
      {"__my_song  ", "My song"},
      {"", "Unknown"},
      {"   ", "Unknown"},
      {"___", "Unknown"},
      {"\x01\x1F\t", "Unknown"},
      {"a\tb", "Ab"},
      {"  two   blanks  inside ", "Two blanks inside"},
      {"\xC3\xA9lan", "\xC3\x89lan"},    // é below U+0100 is upper-cased
      {"\xCF\x89mega", "\xCF\x89mega"},  // ω is not
      {"already Fine", "Already Fine"},
      {"9 lives", "9 lives"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TOxaMusicTag::CleanText(c.Raw), c.Clean) << '"' << c.Raw << '"';
  }
}

TEST(OxaMusicTagCleaning, TwoDigitYearsAreCenturiesAndOthersStay)
{
  const struct {
    const char* Raw;
    int Year;
  } cases[] = {
      {"98", 1998}, {"05", 2005}, {"0", 0},     {"1975", 1975}, {"1", 2001}, {"28", 2028},
      {"29", 1929}, {"99", 1999}, {"100", 100}, {"", 0},        {"19x5", 0}, {" 1975 ", 1975},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TOxaMusicTag::CleanYear(c.Raw), c.Year) << '"' << c.Raw << '"';
  }
}

TEST_F(OxaMusicTagTest, AnUntaggedMp3GivesUnknownTextsAndNumbersFromTheAudio)
{
  const fs::path file = Mp3("plain.mp3", std::nullopt, std::nullopt);
  TOxaMusicTag tag;
  const TMusicFileItem item = Read(tag, file);
  EXPECT_EQ(tag.Kind(), TMusicKind::Mp3);
  EXPECT_EQ(item.Title, "Unknown");
  EXPECT_EQ(item.Artist, "Unknown");
  EXPECT_EQ(item.Album, "Unknown");
  EXPECT_EQ(item.Genre, "Unknown");
  EXPECT_EQ(item.Comment, "");
  EXPECT_EQ(item.Year, 0);
  EXPECT_EQ(item.Track, 0);
  EXPECT_EQ(item.Bitrate, 128);
  EXPECT_EQ(item.Duration, 2);
  EXPECT_EQ(item.Checksum, ChecksumOf(file, false));
  EXPECT_NE(item.Checksum, TMusicCheckSum{});
}

TEST_F(OxaMusicTagTest, Id3v2WinsAndId3v1FillsWhatItLacks)
{
  const fs::path file = Mp3("both.mp3", TId3v2Fields{"v2_title", "Unknown", "", "98", "", "4", ""},
                            TId3v1Fields{"v1 title", "v1 artist", "v1 album", "1975", "v1 comment", 9, 8});
  TOxaMusicTag tag;
  const TMusicFileItem item = Read(tag, file);
  EXPECT_TRUE(tag.HasId3v1());
  EXPECT_TRUE(tag.HasId3v2());
  EXPECT_EQ(item.Title, "V2 title");
  EXPECT_EQ(item.Artist, "V1 artist") << "\"Unknown\" in ID3v2 says nothing";
  EXPECT_EQ(item.Album, "V1 album");
  EXPECT_EQ(item.Comment, "V1 comment");
  EXPECT_EQ(item.Genre, "Jazz");
  EXPECT_EQ(item.Year, 1998);
  EXPECT_EQ(item.Track, 4);
  EXPECT_EQ(item.Bitrate, 128);
  EXPECT_EQ(item.Duration, 2);
  EXPECT_EQ(item.Checksum, ChecksumOf(file, true));

  // What neither tag has stays unknown; a year and track of 0 in ID3v2 take ID3v1's.
  const fs::path sparse = Mp3("sparse.mp3", TId3v2Fields{"Title", "", "", "", "(17)"},
                              TId3v1Fields{"", "", "", "2001", "", 3, 255});
  const TMusicFileItem few = Read(tag, sparse);
  EXPECT_EQ(few.Title, "Title");
  EXPECT_EQ(few.Artist, "Unknown");
  EXPECT_EQ(few.Album, "Unknown");
  EXPECT_EQ(few.Genre, "Rock");
  EXPECT_EQ(few.Year, 2001);
  EXPECT_EQ(few.Track, 3);
}

TEST_F(OxaMusicTagTest, DamagedOrSparseId3v2TagsStillGiveTheirSoundFields)
{
  // A TYER frame whose size runs past the end of the tag, after sound TPE1 and TALB frames.
  TBytes damaged = testmedia::ComposeId3v2(TId3v2Fields{"Song", "Band", "Disc", "1998", "(17)", "3"});
  const auto year = std::search(damaged.begin(), damaged.end(), std::begin("TYER"), std::end("TYER") - 1);
  ASSERT_NE(year, damaged.end());
  year[4] = 0x0F;
  mp3::Append(damaged, *ConstantStream);
  const fs::path damagedFile = Folder.Path() / "damaged.mp3";
  testmedia::WriteBytes(damagedFile, damaged);

  // An ID3v2.4 tag without an album beside an ID3v1 tag that names it.
  TId3v2Fields v24{"Song", "Band", "", "1998", "(17)", "3"};
  v24.Version = 4;
  v24.Encoding = testmedia::TTextEncoding::Utf8;
  const fs::path v24File = Mp3("v24.mp3", v24, TId3v1Fields{"Song", "Band", "Disc", "1998", "", 3, 17});

  TOxaMusicTag tag;
  for (const fs::path& file : {damagedFile, v24File}) {
    SCOPED_TRACE(file.filename().string());
    const TMusicFileItem item = Read(tag, file);
    EXPECT_TRUE(tag.HasId3v2());
    EXPECT_EQ(item.Title, "Song");
    EXPECT_EQ(item.Artist, "Band");
    EXPECT_EQ(item.Album, "Disc");
    EXPECT_EQ(item.Genre, "Rock");
    EXPECT_EQ(item.Track, 3);
    EXPECT_EQ(item.Bitrate, 128);
  }
  EXPECT_EQ(Read(tag, damagedFile).Year, 0) << "the damaged frame is left out";
  EXPECT_EQ(Read(tag, v24File).Year, 1998);
}

TEST_F(OxaMusicTagTest, Id3v1ValuesAreCleanedAndItsGenreLookedUp)
{
  const struct {
    std::string Year;
    int Genre;
    int ExpectedYear;
    const char* ExpectedGenre;
  } cases[] = {
      {"98", 17, 1998, "Rock"},
      {"05", 0, 2005, "Blues"},
      {"0", 255, 0, "Unknown"},
      {"1975", 200, 1975, ""},
  };
  TOxaMusicTag tag;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Year);
    const fs::path file = Mp3("v1-" + c.Year + ".mp3", std::nullopt,
                              TId3v1Fields{"a_title", " artist", "album", c.Year, "", 3, c.Genre});
    const TMusicFileItem item = Read(tag, file);
    EXPECT_FALSE(tag.HasId3v2());
    EXPECT_EQ(item.Title, "A title");
    EXPECT_EQ(item.Artist, "Artist");
    EXPECT_EQ(item.Album, "Album");
    EXPECT_EQ(item.Comment, "Unknown");
    EXPECT_EQ(item.Year, c.ExpectedYear);
    EXPECT_EQ(item.Genre, c.ExpectedGenre);
    EXPECT_EQ(item.Track, 3);
  }
}

TEST_F(OxaMusicTagTest, EveryVersionAndEncodingReadsWhole)
{
  using testmedia::TTextEncoding;
  const std::string turkish =
      "\xC3\x87"
      "a\xC4\x9F"
      "la Andersen";                                                             // Çağla Andersen
  const std::string cjk = "\xE6\x98\x9F\xE7\xA9\xBA";                            // 星空
  const std::string cyrillic = "\xD0\x9C\xD0\xB8\xD1\x80";                       // Мир
  const std::string greek = "\xCE\x9A\xCF\x8C\xCF\x83\xCE\xBC\xCE\xBF\xCF\x82";  // Κόσμος
  struct TCase {
    int Version;
    TTextEncoding Encoding;
    std::string Title;
  };
  const TCase cases[] = {
      {3, TTextEncoding::Utf16, turkish},        {3, TTextEncoding::Utf16, cjk},
      {3, TTextEncoding::Latin1, "Caf\xC3\xA9"}, {2, TTextEncoding::Latin1, "Old"},
      {2, TTextEncoding::Utf16, cyrillic},       {4, TTextEncoding::Utf8, greek},
      {4, TTextEncoding::Utf16BigEndian, cjk},   {4, TTextEncoding::Utf16, turkish},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.Version) + " " + c.Title);
    TId3v2Fields fields{c.Title, cyrillic, greek, "2004", "(17)", "3/12", cjk};
    fields.Version = c.Version;
    fields.Encoding = c.Encoding;
    fields.PictureBytes = 3000;
    const fs::path file = Mp3("v" + std::to_string(c.Version) + ".mp3", fields, TId3v1Fields{"One"});
    TOxaMusicTag tag;
    const TMusicFileItem item = Read(tag, file);
    EXPECT_TRUE(tag.HasId3v2());
    const bool latin1 = c.Encoding == TTextEncoding::Latin1;
    EXPECT_EQ(item.Title, c.Title);
    EXPECT_EQ(item.Artist, latin1 ? "???" : cyrillic);
    EXPECT_EQ(item.Album, latin1 ? "??????" : greek);
    EXPECT_EQ(item.Comment, latin1 ? "??" : cjk);
    EXPECT_EQ(item.Year, 2004);
    EXPECT_EQ(item.Track, 3);
    EXPECT_EQ(item.Genre, "Rock");
    EXPECT_EQ(item.Bitrate, 128) << "the frames after the tag and its picture are found";
    EXPECT_EQ(item.Duration, 2);
  }
}

TEST_F(OxaMusicTagTest, AVariableBitRateMp3ReportsMinusOne)
{
  const fs::path file = Mp3("vbr.mp3", TId3v2Fields{"Title"}, std::nullopt, VariableStream);
  TOxaMusicTag tag;
  const TMusicFileItem item = Read(tag, file);
  EXPECT_EQ(item.Bitrate, -1);
  EXPECT_GT(item.Duration, 0);
  EXPECT_EQ(item.Title, "Title");
}

TEST_F(OxaMusicTagTest, AWavFileHasItsFingerprintPlayingTimeAndBitRate)
{
  const fs::path file = Folder.Path() / "tone.wav";
  testmedia::WriteWav(file, testmedia::TWavRecipe{{.Milliseconds = 2600}});
  TOxaMusicTag tag;
  const TMusicFileItem item = Read(tag, file);
  EXPECT_EQ(tag.Kind(), TMusicKind::Other);
  EXPECT_EQ(item.Title, "Unknown");
  EXPECT_EQ(item.Artist, "Unknown");
  EXPECT_EQ(item.Album, "Unknown");
  EXPECT_EQ(item.Genre, "Unknown");
  EXPECT_EQ(item.Bitrate, 1411);  // 44100 Hz, 16 bits, 2 channels
  EXPECT_EQ(item.Duration, 2);
  EXPECT_EQ(item.Checksum, ChecksumOf(file, false));
  EXPECT_NE(item.Checksum, TMusicCheckSum{});
}

TEST_F(OxaMusicTagTest, UnreadableFilesKeepTheDefaults)
{
  TOxaMusicTag tag;
  for (const char* name : {"missing.mp3", "missing.wma"}) {
    const TMusicFileItem item = Read(tag, Folder.Path() / name, false);
    EXPECT_EQ(item.Title, "Unknown");
    EXPECT_EQ(item.Bitrate, 0);
  }
  // Other kinds are described even unopened, with a zero fingerprint.
  const TMusicFileItem wav = Read(tag, Folder.Path() / "missing.wav");
  EXPECT_EQ(wav.Checksum, TMusicCheckSum{});
}

TEST_F(OxaMusicTagTest, WritingToAnMp3WithOnlyId3v1CreatesId3v2AndUpdatesId3v1)
{
  const fs::path file =
      Mp3("v1only.mp3", std::nullopt, TId3v1Fields{"Old", "Old artist", "Old album", "1990", "", 1, 8});
  const TBytes before = ReadBytes(file);
  TOxaMusicTag tag;
  TMusicFileItem item = Read(tag, file);
  item.Title = "New title";
  item.Artist = "New artist";
  item.Album = "New album";
  item.Comment = "New comment";
  item.Genre = "Rock";
  item.Year = 2005;
  item.Track = 7;
  ASSERT_TRUE(tag.WriteItem(item));

  TID3Version2Tagger2 v2;
  ASSERT_TRUE(v2.Load(file.string()));
  EXPECT_TRUE(v2.HasTag());
  EXPECT_EQ(v2.Title(), "New title");
  EXPECT_EQ(v2.Genre(), 17);
  TID3Version1Tagger v1;
  ASSERT_TRUE(v1.Load(file.string()));
  EXPECT_TRUE(v1.HasTag());
  EXPECT_EQ(v1.Title(), "New title");
  EXPECT_EQ(v1.Artist(), "New artist");
  EXPECT_EQ(v1.Year(), "2005");
  EXPECT_EQ(v1.Track(), 7);
  EXPECT_EQ(v1.Genre(), 17);

  // The audio between the new head and the tail is what it was.
  const TBytes after = ReadBytes(file);
  const TBytes& audio = *ConstantStream;
  ASSERT_GE(after.size(), audio.size() + 128);
  EXPECT_TRUE(
      std::equal(audio.begin(), audio.end(), after.end() - 128 - static_cast<std::ptrdiff_t>(audio.size())));
  EXPECT_EQ(after.size() - 128 - audio.size(),
            TMPegHeader::Id3v2Size(*std::make_unique<TFileStream>(file.string(), fmOpenRead)));
  EXPECT_NE(after, before);

  const TMusicFileItem again = Read(tag, file);
  EXPECT_EQ(again.Title, "New title");
  EXPECT_EQ(again.Comment, "New comment");
  EXPECT_EQ(again.Genre, "Rock");
  EXPECT_EQ(again.Year, 2005);
  EXPECT_EQ(again.Track, 7);
  EXPECT_EQ(again.Checksum, item.Checksum) << "the fingerprint is of the audio, not the tags";
}

TEST_F(OxaMusicTagTest, AReadOnlyFileOrAnotherKindIsNotWritten)
{
  const fs::path mp3 = Mp3("ro.mp3", std::nullopt, TId3v1Fields{"Old"});
  fs::permissions(mp3, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  const fs::path wav = Folder.Path() / "tone.wav";
  testmedia::WriteWav(wav, testmedia::TWavRecipe{{.Milliseconds = 200}});
  TOxaMusicTag tag;
  for (const fs::path& file : {mp3, wav}) {
    const TBytes before = ReadBytes(file);
    TMusicFileItem item = Read(tag, file);
    item.Title = "New";
    EXPECT_FALSE(tag.WriteItem(item)) << file;
    EXPECT_EQ(ReadBytes(file), before);
  }
}

class OxaMusicTagWmaTest : public OxaMusicTagTest {
 protected:
  void SetUp() override { InstallWmaRuntime(OXA_WMVCORE_FILE); }
};

// Music whose tail has no varied window: the file still reads, with the fallback fingerprint,
// which stays through a retag and changes with the audio's last bytes.
TEST_F(OxaMusicTagWmaTest, AudioWithoutAWindowGetsTheFallbackFingerprint)
{
  testmedia::TMp3Recipe silentTail;
  silentTail.Audio.Milliseconds = 28000;
  silentTail.Audio.SilentTailMilliseconds = 8000;
  silentTail.BitrateKbps = 192;
  const TBytes silentStream = testmedia::EncodeMp3Stream(silentTail);
  // Tones at which these encoders leave no varied window near the end.
  testmedia::TMp3Recipe tone;
  tone.Audio.PureToneHz = 11025;
  const TBytes toneStream = testmedia::EncodeMp3Stream(tone);
  testmedia::TWmaRecipe toneWma;
  toneWma.Audio.PureToneHz = 100;
  const testmedia::TWmaAudio toneWmaAudio(toneWma);

  struct TCase {
    std::string Name;
    std::function<TBytes(const std::string& title)> Bytes;
    bool HasTail;
    std::size_t LastAudioByte;  // counted back from the end of the file
  };
  const auto mp3 = [](const TBytes& stream) {
    return [&stream](const std::string& title) {
      testmedia::TMp3Recipe recipe;
      recipe.Id3v2 = TId3v2Fields{title, "Artist"};
      recipe.Id3v1 = TId3v1Fields{title, "Artist"};
      return testmedia::ComposeMp3(stream, recipe);
    };
  };
  const TCase cases[] = {
      {"silent-tail.mp3", mp3(silentStream), true, 129},
      {"tone.mp3", mp3(toneStream), true, 129},
      {"tone.wma",
       [&](const std::string& title) {
         return toneWmaAudio.Mux({{"Title", title}});
       },
       false, 1},
  };
  TOxaMusicTag tag;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const fs::path file = Folder.Path() / c.Name;
    testmedia::WriteBytes(file, c.Bytes("First title"));
    ASSERT_EQ(ChecksumOf(file, c.HasTail), TMusicCheckSum{}) << "the window search finds nothing";
    const TMusicFileItem item = Read(tag, file);
    EXPECT_EQ(item.Title, "First title");
    EXPECT_TRUE(TOxaMusicCheckSum::IsFallback(item.Checksum));
    EXPECT_EQ(Read(tag, file).Checksum, item.Checksum) << "the same file, the same fingerprint";

    testmedia::WriteBytes(file, c.Bytes("A much longer title than the first one"));
    EXPECT_EQ(Read(tag, file).Checksum, item.Checksum) << "another tag, the same music";

    TBytes changed = ReadBytes(file);
    changed[changed.size() - c.LastAudioByte] ^= 0x01;
    testmedia::WriteBytes(file, changed);
    const TMusicFileItem again = Read(tag, file);
    EXPECT_TRUE(TOxaMusicCheckSum::IsFallback(again.Checksum));
    EXPECT_NE(again.Checksum, item.Checksum) << "a changed tail is changed music";
  }
}

TEST_F(OxaMusicTagWmaTest, AnUpperCaseExtensionIsStillWma)
{
  const fs::path file =
      WmaFile("LOUD.WMA", {{"Title", "some_title"}, {"Author", "artist"}, {"WM/Year", "05"}});
  TOxaMusicTag tag;
  ASSERT_TRUE(tag.WmaAvailable());
  const TMusicFileItem item = Read(tag, file);
  EXPECT_EQ(tag.Kind(), TMusicKind::Wma);
  EXPECT_EQ(item.Title, "Some title");
  EXPECT_EQ(item.Artist, "Artist");
  EXPECT_EQ(item.Album, "Unknown");
  EXPECT_EQ(item.Genre, "Unknown");
  EXPECT_EQ(item.Year, 2005);
  EXPECT_EQ(item.Duration, 2);
  EXPECT_NEAR(item.Bitrate, 64, 8);
  EXPECT_EQ(item.Checksum, ChecksumOf(file, false));

  testmedia::WriteBytes(Folder.Path() / "other.Asf", Wma->Mux({{"Title", "Asf"}}));
  EXPECT_EQ(Read(tag, Folder.Path() / "other.Asf").Title, "Asf");
}

TEST_F(OxaMusicTagWmaTest, EveryFieldOfAWmaFileSurvivesARoundTrip)
{
  const fs::path file = WmaFile("round.wma", {{"Title", "Old"}, {"WM/Genre", "Jazz"}});
  TOxaMusicTag tag;
  TMusicFileItem item = Read(tag, file);
  item.Title = "New title \xE2\x99\xAB";
  item.Artist = "New artist";
  item.Album = "New album";
  item.Comment = "New comment";
  item.Genre = "Acid Punk";
  item.Year = 1975;
  item.Track = 12;
  ASSERT_TRUE(tag.WriteItem(item));

  const TMusicFileItem again = Read(tag, file);
  EXPECT_EQ(again.Title, item.Title);
  EXPECT_EQ(again.Artist, item.Artist);
  EXPECT_EQ(again.Album, item.Album);
  EXPECT_EQ(again.Comment, item.Comment);
  EXPECT_EQ(again.Genre, item.Genre);
  EXPECT_EQ(again.Year, 1975);
  EXPECT_EQ(again.Track, 12);
  EXPECT_EQ(again.Duration, 2);
}

TEST_F(OxaMusicTagTest, WithoutTheRuntimeWmaFilesReadAsUntaggedMusicAndMp3FilesUnaffected)
{
  const fs::path wma = WmaFile("a.wma", {{"Title", "Song"}});
  const fs::path mp3 = Mp3("a.mp3", TId3v2Fields{"Song"}, std::nullopt);
  TOxaMusicTag tag;
  EXPECT_FALSE(tag.WmaAvailable());
  const TMusicFileItem untagged = Read(tag, wma, true);
  EXPECT_EQ(tag.Kind(), TMusicKind::Wma);
  EXPECT_FALSE(tag.HasWmaTag());
  for (const std::string& text : {untagged.Title, untagged.Artist, untagged.Album, untagged.Genre}) {
    EXPECT_EQ(text, "Unknown");
  }
  EXPECT_EQ(untagged.Duration, 0);
  EXPECT_EQ(untagged.Bitrate, 0);
  // The fingerprint is what keeps the file in a scan, and it is the file's own.
  EXPECT_EQ(untagged.Checksum, ChecksumOf(wma, false));
  EXPECT_NE(untagged.Checksum, TMusicCheckSum{});
  TMusicFileItem edit = untagged;
  edit.Title = "New";
  EXPECT_FALSE(tag.WriteItem(edit));
  const std::string missing = (Folder.Path() / "gone.wma").string();
  TMusicFileItem gone;
  gone.FileName = missing;
  EXPECT_FALSE(tag.ReadItem(gone));
  EXPECT_EQ(gone.Checksum, TMusicCheckSum{}) << "a file that cannot be opened has no fingerprint";

  const TMusicFileItem item = Read(tag, mp3);
  EXPECT_EQ(item.Title, "Song");
  EXPECT_EQ(item.Bitrate, 128);
}

class OxaMusicTagFakeRuntimeTest : public OxaMusicTagTest {
 protected:
  void SetUp() override
  {
    InstallWmaRuntime(OXA_FAKE_WMVCORE_FILE);
    Runtime = TModule(LoadLibraryA(TWMATagger::RuntimeName));
    ASSERT_TRUE(Runtime);
    Fake = reinterpret_cast<TFakeWmvCoreStateFunction>(GetProcAddress(Runtime.Get(), FakeWmvCoreStateName))();
    *Fake = TFakeWmvCoreState();
  }
  void TearDown() override { *Fake = TFakeWmvCoreState(); }

  TModule Runtime;
  TFakeWmvCoreState* Fake = nullptr;
};

TEST_F(OxaMusicTagFakeRuntimeTest, DurationAndBitRateComeInRuntimeUnits)
{
  const fs::path file = WmaFile("long.wma", {});
  Fake->Attributes = {
      {u"Duration", {WMT_TYPE_QWORD, {0x00, 0x18, 0x0D, 0x8F, 0, 0, 0, 0}}},  // 2,400,000,000
      {u"Bitrate", {WMT_TYPE_DWORD, {0x00, 0xF4, 0x01, 0x00}}},               // 128,000
      {u"WM/Year", {WMT_TYPE_DWORD, {0x62, 0, 0, 0}}},                        // 98
  };
  TOxaMusicTag tag;
  const TMusicFileItem item = Read(tag, file);
  EXPECT_EQ(item.Duration, 240);
  EXPECT_EQ(item.Bitrate, 128);
  EXPECT_EQ(item.Year, 1998);
  EXPECT_EQ(item.Title, "Unknown");
}

TEST_F(OxaMusicTagFakeRuntimeTest, WhatTheRuntimeDoesNotSayIsZeroNotMinusOne)
{
  const fs::path file = WmaFile("bare.wma", {});
  TOxaMusicTag tag;
  const TMusicFileItem item = Read(tag, file);
  EXPECT_EQ(item.Duration, 0);
  EXPECT_EQ(item.Bitrate, 0);
}

}  // namespace
