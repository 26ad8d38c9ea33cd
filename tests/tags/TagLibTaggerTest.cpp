// FLAC, Ogg Vorbis, Opus and M4A through the tag facade: what is read from generated files of
// each kind, what an edit writes (read back with TagLib itself), and hostile files.
#include <gtest/gtest.h>

#include <taglib/flacfile.h>
#include <taglib/mp4file.h>
#include <taglib/opusfile.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>

#include <sys/stat.h>

#include "rtl/FileStream.h"
#include "tags/AudioStart.h"
#include "tags/OxaMusicTag.h"
#include "tags/TagLibTagger.h"
#include "tests/support/FailingStream.h"
#include "tests/support/TempFolder.h"
#include "tests/tags/TagTestFiles.h"
#include "tools/make-test-media/TestMedia.h"

namespace fs = std::filesystem;
using testmedia::TBytes;
using testmedia::TMetadata;
using testmedia::TModernAudio;
using testmedia::TModernFormat;

namespace {

constexpr TModernFormat AllFormats[] = {TModernFormat::Flac, TModernFormat::OggVorbis, TModernFormat::Opus,
                                        TModernFormat::M4a};

const char* NameOf(TModernFormat format)
{
  return testmedia::ExtensionOf(format) + 1;
}

const TMetadata FullTags = {{"title", "a_song"}, {"artist", "  The  Band"}, {"album", "Album"},
                            {"comment", "Note"}, {"genre", "Rock"},         {"date", "1998-05-17"},
                            {"track", "3/12"}};

// The Vorbis comment fields of a FLAC, Ogg Vorbis or Opus file, read by TagLib; the items of
// an M4A file with their text.
std::map<std::string, std::string> TagLibFields(const fs::path& file, TModernFormat format)
{
  std::map<std::string, std::string> fields;
  const auto xiph = [&](const TagLib::Ogg::XiphComment* comment) {
    if (comment == nullptr) {
      return;
    }
    for (const auto& [key, values] : comment->fieldListMap()) {
      fields[key.to8Bit(true)] = values.toString("|").to8Bit(true);
    }
  };
  switch (format) {
    case TModernFormat::Flac: {
      TagLib::FLAC::File f(file.c_str());
      EXPECT_TRUE(f.isValid());
      xiph(f.xiphComment());
      break;
    }
    case TModernFormat::OggVorbis: {
      TagLib::Ogg::Vorbis::File f(file.c_str());
      EXPECT_TRUE(f.isValid());
      xiph(f.tag());
      break;
    }
    case TModernFormat::Opus: {
      TagLib::Ogg::Opus::File f(file.c_str());
      EXPECT_TRUE(f.isValid());
      xiph(f.tag());
      break;
    }
    case TModernFormat::M4a: {
      TagLib::MP4::File f(file.c_str());
      EXPECT_TRUE(f.isValid());
      for (const auto& [key, item] : f.tag()->itemMap()) {
        const TagLib::MP4::Item::IntPair pair = item.toIntPair();
        fields[key.to8Bit(true)] = key == "trkn"
                                       ? std::to_string(pair.first) + "/" + std::to_string(pair.second)
                                       : item.toStringList().toString("|").to8Bit(true);
      }
      break;
    }
  }
  return fields;
}

class TagLibTaggerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite()
  {
    testmedia::TAudio audio;
    audio.Milliseconds = 1000;
    testmedia::TAudio silence = audio;
    silence.SilentTailMilliseconds = audio.Milliseconds;
    for (const TModernFormat format : AllFormats) {
      Audio()[format] = std::make_unique<TModernAudio>(format, audio);
      Silent()[format] = std::make_unique<TModernAudio>(format, silence);
    }
  }
  static void TearDownTestSuite()
  {
    Audio().clear();
    Silent().clear();
  }
  static std::map<TModernFormat, std::unique_ptr<TModernAudio>>& Audio()
  {
    static std::map<TModernFormat, std::unique_ptr<TModernAudio>> audio;
    return audio;
  }
  static std::map<TModernFormat, std::unique_ptr<TModernAudio>>& Silent()
  {
    static std::map<TModernFormat, std::unique_ptr<TModernAudio>> audio;
    return audio;
  }

  fs::path Write(TModernFormat format, const TMetadata& tags, const std::string& stem = "file") const
  {
    fs::path file = Folder.Path() / (stem + testmedia::ExtensionOf(format));
    testmedia::WriteBytes(file, Audio().at(format)->Mux(tags));
    return file;
  }

  static TMusicFileItem Read(const fs::path& file, bool readable = true)
  {
    TOxaMusicTag tag;
    TMusicFileItem item;
    item.FileName = file.string();
    EXPECT_EQ(tag.ReadItem(item), readable) << file;
    return item;
  }

  template <class TEdit>
  static bool Edit(const fs::path& file, TEdit edit)
  {
    TMusicFileItem item = Read(file);
    edit(item);
    return TOxaMusicTag().WriteItem(item);
  }

  TTempMachine Machine;
  TTempFolder Folder;
};

TEST_F(TagLibTaggerTest, EachFormatIsReadWithItsFieldsCleaned)
{
  for (const TModernFormat format : AllFormats) {
    SCOPED_TRACE(NameOf(format));
    const TMusicFileItem item = Read(Write(format, FullTags));
    EXPECT_EQ(item.Title, "A song");
    EXPECT_EQ(item.Artist, "The Band");
    EXPECT_EQ(item.Album, "Album");
    EXPECT_EQ(item.Comment, "Note");
    EXPECT_EQ(item.Genre, "Rock");
    EXPECT_EQ(item.Year, 1998);
    EXPECT_EQ(item.Track, 3);
    EXPECT_EQ(item.Duration, 1);
    EXPECT_FALSE(
        std::all_of(item.Checksum.begin(), item.Checksum.end(), [](std::uint8_t b) { return b == 0; }));
    EXPECT_FALSE(TOxaMusicCheckSum::IsFallback(item.Checksum));
  }
}

TEST_F(TagLibTaggerTest, BitRatesAreNominalAverageOrVariable)
{
  struct TCase {
    TModernFormat Format;
    int Low;
    int High;
  };
  // FLAC is lossless, so variable; Vorbis gives the nominal rate the encoder was asked for.
  const TCase cases[] = {{TModernFormat::Flac, -1, -1},
                         {TModernFormat::OggVorbis, 128, 128},
                         {TModernFormat::Opus, 64, 192},
                         {TModernFormat::M4a, 64, 192}};
  for (const TCase& c : cases) {
    const TMusicFileItem item = Read(Write(c.Format, {}));
    EXPECT_GE(item.Bitrate, c.Low) << NameOf(c.Format);
    EXPECT_LE(item.Bitrate, c.High) << NameOf(c.Format);
  }
}

TEST_F(TagLibTaggerTest, AnUntaggedFileReadsAsUnknown)
{
  for (const TModernFormat format : AllFormats) {
    SCOPED_TRACE(NameOf(format));
    const fs::path file = Write(format, {});
    TOxaMusicTag tag;
    ASSERT_TRUE(tag.Load(file.string()));
    EXPECT_FALSE(tag.ReadOnly());
    const TMusicFileItem item = Read(file);
    for (const std::string* text : {&item.Title, &item.Artist, &item.Album, &item.Genre}) {
      EXPECT_EQ(*text, "Unknown");
    }
    EXPECT_EQ(item.Year, 0);
    EXPECT_EQ(item.Track, 0);
    EXPECT_EQ(item.Duration, 1);
  }
}

TEST_F(TagLibTaggerTest, YearsTracksAndGenreNumbersAreReadAsForOtherKinds)
{
  struct TCase {
    std::string Date;
    int Year;
    std::string Track;
    int TrackRead;
    std::string Genre;
    std::string GenreRead;
  };
  const TCase cases[] = {
      {"98", 1998, "7", 7, "(17)", "Rock"},
      {"05", 2005, "07/09", 7, "17", "Rock"},
      {"0", 0, "0/3", 0, "0", "Blues"},
      {"28", 2028, " 12 ", 12, "147", "Synthpop"},
      {"29", 1929, "x3", 0, "148", "148"},
      {"1975", 1975, "", 0, "(200)", "(200)"},
      {"2004-12-31T10:00", 2004, "3/", 3, "jazz", "Jazz"},
      {"May 2004", 0, "", 0, "Hip_Hop", "Hip Hop"},
  };
  for (const TModernFormat format : AllFormats) {
    for (const TCase& c : cases) {
      SCOPED_TRACE(std::string(NameOf(format)) + " " + c.Date + " " + c.Track + " " + c.Genre);
      TMetadata tags = {{"title", "T"}, {"date", c.Date}, {"genre", c.Genre}};
      // The M4A muxer takes only numbers for "trkn".
      if (!c.Track.empty() && (format != TModernFormat::M4a || c.TrackRead != 0)) {
        tags.emplace_back("track", c.Track);
      }
      const TMusicFileItem item = Read(Write(format, tags));
      EXPECT_EQ(item.Year, c.Year);
      EXPECT_EQ(item.Track, c.TrackRead);
      EXPECT_EQ(item.Genre, c.GenreRead);
    }
  }
}

TEST_F(TagLibTaggerTest, AnM4aGenreNumberIsTheId3NumberPlusOne)
{
  // A two-letter genre text becomes a "gnre" atom of the same size: the name, the data type
  // (0, a number) and the two bytes of the number.
  TBytes bytes = Audio().at(TModernFormat::M4a)->Mux({{"title", "T"}, {"genre", "XY"}});
  const TBytes atom{0xA9, 'g', 'e', 'n'};
  const auto at = std::search(bytes.begin(), bytes.end(), atom.begin(), atom.end());
  ASSERT_NE(at, bytes.end());
  const std::size_t name = static_cast<std::size_t>(at - bytes.begin());
  ASSERT_EQ(std::string(bytes.begin() + name + 8, bytes.begin() + name + 12), "data");
  std::copy_n("gnre", 4, bytes.begin() + name);
  bytes[name + 15] = 0;
  bytes[name + 20] = 0;
  bytes[name + 21] = 18;
  const fs::path file = Folder.Path() / "gnre.m4a";
  testmedia::WriteBytes(file, bytes);
  EXPECT_EQ(Read(file).Genre, "Rock");
}

TEST_F(TagLibTaggerTest, FlacFieldsMissingFromTheCommentsComeFromId3v2)
{
  const TBytes flac = Audio().at(TModernFormat::Flac)->Mux({{"title", "Comment title"}});
  testmedia::TId3v2Fields id3{"Id3 title", "Id3 artist", "Id3 album", "1987", "(8)", "4/10", "Id3 note"};
  TBytes bytes = testmedia::ComposeId3v2(id3);
  bytes.insert(bytes.end(), flac.begin(), flac.end());
  const fs::path file = Folder.Path() / "id3.flac";
  testmedia::WriteBytes(file, bytes);

  const TMusicFileItem item = Read(file);
  EXPECT_EQ(item.Title, "Comment title");
  EXPECT_EQ(item.Artist, "Id3 artist");
  EXPECT_EQ(item.Album, "Id3 album");
  EXPECT_EQ(item.Comment, "Id3 note");
  EXPECT_EQ(item.Genre, "Jazz");
  EXPECT_EQ(item.Year, 1987);
  EXPECT_EQ(item.Track, 4);
  EXPECT_EQ(item.Duration, 1);
}

TEST_F(TagLibTaggerTest, AnEditReachesTheFileAndTouchesNothingElse)
{
  for (const TModernFormat format : AllFormats) {
    SCOPED_TRACE(NameOf(format));
    const fs::path file = Write(format, FullTags);
    const auto before = TagLibFields(file, format);
    ASSERT_TRUE(Edit(file, [](TMusicFileItem& item) {
      item.Title = "New title";
      item.Artist = "\xCE\x9A\xCF\x8C\xCF\x83\xCE\xBC\xCE\xBF\xCF\x82";
      item.Year = 2001;
      item.Track = 5;
      item.Genre = "Jazz";
    }));
    auto after = TagLibFields(file, format);
    const bool mp4 = format == TModernFormat::M4a;
    EXPECT_EQ(after[mp4 ? "\xC2\xA9nam" : "TITLE"], "New title");
    EXPECT_EQ(after[mp4 ? "\xC2\xA9"
                          "ART"
                        : "ARTIST"],
              "\xCE\x9A\xCF\x8C\xCF\x83\xCE\xBC\xCE\xBF\xCF\x82");
    EXPECT_EQ(after[mp4 ? "\xC2\xA9"
                          "day"
                        : "DATE"],
              "2001-05-17");
    EXPECT_EQ(after[mp4 ? "trkn" : "TRACKNUMBER"], "5/12");
    EXPECT_EQ(after[mp4 ? "\xC2\xA9gen" : "GENRE"], "Jazz");
    // Every other field is as it was, the cleaned texts included.
    for (const auto& [key, value] : before) {
      if (after.count(key) != 0 && key != "TITLE" && key != "ARTIST" && key != "DATE" &&
          key != "TRACKNUMBER" && key != "GENRE" && key.find("nam") == std::string::npos &&
          key.find("ART") == std::string::npos && key.find("day") == std::string::npos && key != "trkn" &&
          key.find("gen") == std::string::npos) {
        EXPECT_EQ(after[key], value) << key;
      }
    }
    EXPECT_EQ(after.size(), before.size());
    const TMusicFileItem reread = Read(file);
    EXPECT_EQ(reread.Title, "New title");
    EXPECT_EQ(reread.Album, "Album");
    EXPECT_EQ(reread.Comment, "Note");
    EXPECT_EQ(reread.Year, 2001);
    EXPECT_EQ(reread.Track, 5);
    EXPECT_EQ(reread.Duration, 1);
  }
}

TEST_F(TagLibTaggerTest, AnUneditedItemLeavesTheFileByteForByte)
{
  for (const TModernFormat format : AllFormats) {
    for (const TMetadata& tags : {FullTags, TMetadata{}}) {
      const fs::path file = Write(format, tags);
      const TBytes before = ReadBytes(file);
      EXPECT_TRUE(Edit(file, [](TMusicFileItem&) {})) << NameOf(format);
      EXPECT_EQ(ReadBytes(file), before) << NameOf(format);
    }
  }
}

TEST_F(TagLibTaggerTest, AnUntaggedFileGetsTheEditedFieldAlone)
{
  for (const TModernFormat format : AllFormats) {
    SCOPED_TRACE(NameOf(format));
    const fs::path file = Write(format, {});
    ASSERT_TRUE(Edit(file, [](TMusicFileItem& item) { item.Title = "Named"; }));
    auto fields = TagLibFields(file, format);
    EXPECT_EQ(fields[format == TModernFormat::M4a ? "\xC2\xA9nam" : "TITLE"], "Named");
    EXPECT_EQ(fields.count("ARTIST") + fields.count("GENRE") + fields.count("DATE"), 0U);
    const TMusicFileItem item = Read(file);
    EXPECT_EQ(item.Title, "Named");
    EXPECT_EQ(item.Artist, "Unknown");
  }
}

TEST_F(TagLibTaggerTest, AWriteKeepsPermissionsAndWritesThroughALink)
{
  for (const TModernFormat format : AllFormats) {
    SCOPED_TRACE(NameOf(format));
    const fs::path target = Write(format, FullTags, "target");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const fs::path link = Folder.Path() / (std::string("link") + testmedia::ExtensionOf(format));
    fs::create_symlink(target, link);
    ASSERT_TRUE(Edit(link, [](TMusicFileItem& item) { item.Title = "Linked"; }));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(Read(target).Title, "Linked");
    EXPECT_FALSE(fs::exists(TReplacementFile::TemporaryName(target.string())));
  }
}

TEST_F(TagLibTaggerTest, AReadOnlyFileIsNotWritten)
{
  const fs::path file = Write(TModernFormat::Flac, FullTags);
  fs::permissions(file, fs::perms::owner_read);
  const TBytes before = ReadBytes(file);
  EXPECT_FALSE(Edit(file, [](TMusicFileItem& item) { item.Title = "Refused"; }));
  EXPECT_EQ(ReadBytes(file), before);
}

TEST_F(TagLibTaggerTest, AFullDiskLeavesTheFileAsItWas)
{
  for (const TModernFormat format : AllFormats) {
    const fs::path file = Write(format, FullTags);
    const TBytes before = ReadBytes(file);
    for (const std::int64_t budget : {std::int64_t{0}, std::int64_t{1}, std::int64_t(before.size() / 2)}) {
      TTagLibFields values;
      values.Title = "Never";
      EXPECT_FALSE(TTagLibTagger::Write(
          file.string(), TagLibFormatOf(file.extension().string()), tfTitle, values,
          [budget](const std::string& name) {
            return std::make_unique<TFailingStream>(std::make_unique<TFileStream>(name, fmCreate), budget);
          }))
          << NameOf(format) << " " << budget;
      EXPECT_EQ(ReadBytes(file), before) << NameOf(format) << " " << budget;
      EXPECT_FALSE(fs::exists(TReplacementFile::TemporaryName(file.string())));
    }
  }
}

TEST_F(TagLibTaggerTest, HostileFilesAreUnreadableAndNeverWritten)
{
  TBytes garbage(4096);
  for (std::size_t i = 0; i < garbage.size(); ++i) {
    garbage[i] = static_cast<std::uint8_t>(i * 131 + 7);
  }
  for (const TModernFormat format : AllFormats) {
    const TBytes valid = Audio().at(format)->Mux(FullTags);
    // A file cut inside its headers, one of the wrong kind, noise, nothing at all.
    const std::pair<const char*, TBytes> hostile[] = {
        {"empty", {}},
        {"one byte", TBytes(valid.begin(), valid.begin() + 1)},
        {"cut at 20", TBytes(valid.begin(), valid.begin() + 20)},
        {"cut at 100", TBytes(valid.begin(), valid.begin() + 100)},
        {"garbage", garbage},
        {"other kind",
         Audio().at(format == TModernFormat::Flac ? TModernFormat::M4a : TModernFormat::Flac)->Mux({})},
    };
    for (const auto& [what, bytes] : hostile) {
      SCOPED_TRACE(std::string(NameOf(format)) + ": " + what);
      const fs::path file = Folder.Path() / (std::string("hostile") + testmedia::ExtensionOf(format));
      testmedia::WriteBytes(file, bytes);
      const TMusicFileItem item = Read(file, false);
      EXPECT_EQ(item.Title, "Unknown");
      EXPECT_EQ(item.Duration, 0);
      TMusicFileItem edited = item;
      edited.Title = "Edited";
      EXPECT_FALSE(TOxaMusicTag().WriteItem(edited));
      EXPECT_EQ(ReadBytes(file), bytes);
    }
    // Cut in its audio: the tags may still be read, and nothing breaks.
    const fs::path cut = Folder.Path() / (std::string("cut") + testmedia::ExtensionOf(format));
    testmedia::WriteBytes(
        cut, TBytes(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(valid.size() / 2)));
    TOxaMusicTag tag;
    TMusicFileItem item;
    item.FileName = cut.string();
    if (tag.ReadItem(item)) {
      EXPECT_GE(item.Duration, 0) << NameOf(format);
    }
  }
}

TEST_F(TagLibTaggerTest, SilenceGetsAFallbackFingerprintThatATagEditLeavesAlone)
{
  for (const TModernFormat format : {TModernFormat::Flac}) {
    const fs::path file = Folder.Path() / (std::string("silence") + testmedia::ExtensionOf(format));
    testmedia::WriteBytes(file, Silent().at(format)->Mux({{"title", "Quiet"}}));
    const TMusicFileItem before = Read(file);
    ASSERT_TRUE(TOxaMusicCheckSum::IsFallback(before.Checksum)) << NameOf(format);
    // Longer than the padding the muxer leaves, so the audio moves.
    const std::string comment(20000, 'c');
    ASSERT_TRUE(Edit(file, [&](TMusicFileItem& item) { item.Comment = comment; }));
    ASSERT_GT(fs::file_size(file), 20000U);
    const TMusicFileItem after = Read(file);
    EXPECT_EQ(after.Comment, "C" + comment.substr(1));
    EXPECT_EQ(after.Checksum, before.Checksum) << NameOf(format);
  }
}

TEST_F(TagLibTaggerTest, TheAudioStartsPastTheMetadata)
{
  for (const TModernFormat format : AllFormats) {
    SCOPED_TRACE(NameOf(format));
    const TBytes bytes = Audio().at(format)->Mux(FullTags);
    TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    std::int64_t start = 0;
    switch (format) {
      case TModernFormat::Flac:
        start = FlacAudioStart(stream);
        ASSERT_GT(start, 42);
        // A FLAC frame starts with its sync code.
        EXPECT_EQ(bytes[static_cast<std::size_t>(start)], 0xFF);
        EXPECT_EQ(bytes[static_cast<std::size_t>(start) + 1] & 0xFE, 0xF8);
        break;
      case TModernFormat::OggVorbis:
      case TModernFormat::Opus:
        start = OggAudioStart(stream);
        ASSERT_GT(start, 0);
        EXPECT_EQ(std::string(bytes.begin() + start, bytes.begin() + start + 4), "OggS");
        EXPECT_EQ(FlacAudioStart(stream), 0);
        break;
      case TModernFormat::M4a:
        start = Mp4AudioStart(stream);
        ASSERT_GT(start, 8);
        EXPECT_EQ(std::string(bytes.begin() + start - 4, bytes.begin() + start), "mdat");
        EXPECT_EQ(OggAudioStart(stream), 0);
        break;
    }
    // Cut anywhere in the headers, the walk gives the whole file.
    for (const std::size_t cut : {std::size_t{0}, std::size_t{4}, std::size_t{30}}) {
      TMemoryStream part;
      part.WriteBuffer(bytes.data(), static_cast<std::int64_t>(cut));
      EXPECT_EQ(FlacAudioStart(part), 0);
      EXPECT_EQ(OggAudioStart(part), 0);
      EXPECT_EQ(Mp4AudioStart(part), 0);
    }
  }
}

TEST_F(TagLibTaggerTest, TheStreamFormatTellsLosslessFromLossy)
{
  struct TCase {
    TModernFormat Format;
    const char* Codec;
    bool Lossless;
    int Bits;
    int Rate;
  };
  const TCase cases[] = {{TModernFormat::Flac, "FLAC", true, 16, 44100},
                         {TModernFormat::OggVorbis, "Vorbis", false, 0, 44100},
                         {TModernFormat::Opus, "Opus", false, 0, 48000},
                         {TModernFormat::M4a, "AAC", false, 0, 44100}};
  for (const TCase& c : cases) {
    TTagLibStreamFormat format;
    ASSERT_TRUE(TOxaMusicTag::ReadStreamFormat(Write(c.Format, {}).string(), format)) << c.Codec;
    EXPECT_EQ(format.Codec, c.Codec);
    EXPECT_EQ(format.Lossless, c.Lossless) << c.Codec;
    EXPECT_EQ(format.BitsPerSample, c.Bits) << c.Codec;
    EXPECT_EQ(format.SampleRate, c.Rate) << c.Codec;
  }
  TTagLibStreamFormat format;
  EXPECT_FALSE(TOxaMusicTag::ReadStreamFormat((Folder.Path() / "missing.flac").string(), format));
  EXPECT_FALSE(
      TOxaMusicTag::ReadStreamFormat(Folder.WriteFile("a.mp3", std::string(200, 'x')).string(), format));
}

TEST(TagLibFormat, ExtensionsChooseTheReader)
{
  const std::pair<const char*, TTagLibFormat> cases[] = {
      {".flac", TTagLibFormat::Flac}, {".ogg", TTagLibFormat::Ogg},   {".oga", TTagLibFormat::Ogg},
      {".opus", TTagLibFormat::Ogg},  {".m4a", TTagLibFormat::Mp4},   {".mp3", TTagLibFormat::None},
      {".wav", TTagLibFormat::None},  {".mp4", TTagLibFormat::None},  {"", TTagLibFormat::None},
      {".fla", TTagLibFormat::None},  {".flacc", TTagLibFormat::None}};
  for (const auto& [extension, format] : cases) {
    EXPECT_EQ(TagLibFormatOf(extension), format) << extension;
  }
}

}  // namespace
