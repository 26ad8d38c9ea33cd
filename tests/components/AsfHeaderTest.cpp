// The ASF header reader on headers built byte by byte (every size check on both sides of its
// limit), and against TagLib on real muxed and TagLib-written files.
#include <gtest/gtest.h>

#include <asffile.h>
#include <asfproperties.h>
#include <asftag.h>
#include <tbytevectorstream.h>

#include <cstdint>
#include <string>
#include <vector>

#include "components/wmvcore/AsfHeader.h"
#include "tools/make-test-media/TestMedia.h"

using namespace wmvcore;

namespace {

using TBytes = std::vector<std::uint8_t>;

void Put(TBytes& out, std::uint64_t value, int size)
{
  for (int i = 0; i < size; ++i) {
    out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
}

TBytes GuidBytes(const std::string& text)
{
  auto byte = [&](std::size_t at) {
    return static_cast<std::uint8_t>(std::stoi(text.substr(at, 2), nullptr, 16));
  };
  TBytes out;
  for (const std::size_t at : {6, 4, 2, 0, 11, 9, 16, 14, 19, 21, 24, 26, 28, 30, 32, 34}) {
    out.push_back(byte(at));
  }
  return out;
}

const std::string HeaderId = "75B22630-668E-11CF-A6D9-00AA0062CE6C";
const std::string FilePropertiesId = "8CABDCA1-A947-11CF-8EE4-00C00C205365";
const std::string StreamPropertiesId = "B7DC0791-A9B7-11CF-8EE6-00C00C205365";
const std::string ContentDescriptionId = "75B22633-668E-11CF-A6D9-00AA0062CE6C";
const std::string ExtendedDescriptionId = "D2D0A440-E307-11D2-97F0-00A0C95EA850";
const std::string ExtensionId = "5FBF03B5-A92E-11CF-8EE3-00C00C205365";
const std::string MetadataId = "C5F8CBEA-5BAF-4877-8467-AA8C44FA4CCA";
const std::string MetadataLibraryId = "44231C94-9498-49D1-A141-1D134E457054";

TBytes Object(const std::string& id, const TBytes& data, std::int64_t sizeDelta = 0)
{
  TBytes out = GuidBytes(id);
  Put(out, static_cast<std::uint64_t>(static_cast<std::int64_t>(data.size() + 24) + sizeDelta), 8);
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

TBytes Utf16(std::u16string_view text, bool terminated = true)
{
  TBytes out;
  for (const char16_t unit : text) {
    Put(out, unit, 2);
  }
  if (terminated) {
    Put(out, 0, 2);
  }
  return out;
}

// Play duration in 100 ns units and preroll in milliseconds.
TBytes FileProperties(std::uint64_t duration, std::uint64_t preroll, std::size_t size = 80)
{
  TBytes data(size, 0);
  for (int i = 0; i < 8 && 40 + i < static_cast<int>(size); ++i) {
    data[40 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(duration >> (8 * i));
  }
  for (int i = 0; i < 8 && 56 + i < static_cast<int>(size); ++i) {
    data[56 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(preroll >> (8 * i));
  }
  return Object(FilePropertiesId, data);
}

TBytes StreamProperties(std::uint32_t averageBytes, std::size_t size = 72)
{
  TBytes data(size, 0);
  for (int i = 0; i < 4 && 62 + i < static_cast<int>(size); ++i) {
    data[62 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(averageBytes >> (8 * i));
  }
  return Object(StreamPropertiesId, data);
}

TBytes Header(const std::vector<TBytes>& objects, std::int64_t countDelta = 0)
{
  TBytes body;
  for (const TBytes& object : objects) {
    body.insert(body.end(), object.begin(), object.end());
  }
  TBytes out = GuidBytes(HeaderId);
  Put(out, body.size() + 30, 8);
  Put(out, static_cast<std::uint64_t>(static_cast<std::int64_t>(objects.size()) + countDelta), 4);
  Put(out, 0x0201, 2);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

bool Parse(const TBytes& bytes, TAsfHeader& header)
{
  return ParseAsfHeader(bytes, header);
}

TBytes ExtendedEntry(std::u16string_view name, std::uint16_t type, const TBytes& value)
{
  TBytes out;
  const TBytes encodedName = Utf16(name);
  Put(out, encodedName.size(), 2);
  out.insert(out.end(), encodedName.begin(), encodedName.end());
  Put(out, type, 2);
  Put(out, value.size(), 2);
  out.insert(out.end(), value.begin(), value.end());
  return out;
}

TBytes MetadataEntry(std::uint16_t language, std::uint16_t stream, std::u16string_view name,
                     std::uint16_t type, const TBytes& value)
{
  TBytes out;
  const TBytes encodedName = Utf16(name);
  Put(out, language, 2);
  Put(out, stream, 2);
  Put(out, encodedName.size(), 2);
  Put(out, type, 2);
  Put(out, value.size(), 4);
  out.insert(out.end(), encodedName.begin(), encodedName.end());
  out.insert(out.end(), value.begin(), value.end());
  return out;
}

TBytes List(const std::vector<TBytes>& entries)
{
  TBytes out;
  Put(out, entries.size(), 2);
  for (const TBytes& entry : entries) {
    out.insert(out.end(), entry.begin(), entry.end());
  }
  return out;
}

TBytes Extension(const std::vector<TBytes>& objects, std::int64_t sizeDelta = 0)
{
  TBytes inner;
  for (const TBytes& object : objects) {
    inner.insert(inner.end(), object.begin(), object.end());
  }
  TBytes data(16, 0);
  Put(data, 6, 2);
  Put(data, static_cast<std::uint64_t>(static_cast<std::int64_t>(inner.size()) + sizeDelta), 4);
  data.insert(data.end(), inner.begin(), inner.end());
  return Object(ExtensionId, data);
}

TagLib::String TagText(const std::u16string& text)
{
  TagLib::ByteVector bytes;
  for (const char16_t unit : text) {
    bytes.append(static_cast<char>(unit & 0xFF));
    bytes.append(static_cast<char>(unit >> 8));
  }
  return TagLib::String(bytes, TagLib::String::UTF16LE);
}

TBytes Number(std::uint64_t value, int size)
{
  TBytes out;
  Put(out, value, size);
  return out;
}

}  // namespace

TEST(AsfHeaderTest, ReadsLengthAndBitRate)
{
  struct TCase {
    std::uint64_t Duration;
    std::uint64_t Preroll;
    std::uint32_t AverageBytes;
    std::int64_t Length;
    std::int32_t Kbps;
  };
  const TCase cases[] = {
      {2'000'000'000, 0, 8000, 200'000, 64},  // 200 s at 64 kbit/s
      {2'030'000, 3000, 16000, 0, 128},       // preroll beyond the play duration: no length
      {30'005'000, 3000, 62, 1, 0},           // 0.5 ms rounds up; 0.496 kbit/s rounds down
      {30'004'999, 0, 63, 3000, 1},           // 3000.4999 ms rounds down; 0.504 kbit/s rounds up
  };
  for (const TCase& c : cases) {
    TAsfHeader header;
    ASSERT_TRUE(
        Parse(Header({FileProperties(c.Duration, c.Preroll), StreamProperties(c.AverageBytes)}), header));
    EXPECT_EQ(header.LengthMilliseconds, c.Length) << c.Duration;
    EXPECT_EQ(header.BitrateKbps, c.Kbps) << c.AverageBytes;
  }
}

TEST(AsfHeaderTest, ShortPropertyObjectsAreSkippedAndFilePropertiesAreRequired)
{
  TAsfHeader header;
  // 64 bytes of file properties reach through the preroll, 70 of stream properties through the
  // average byte rate; one byte fewer says nothing.
  ASSERT_TRUE(Parse(Header({FileProperties(10'000'000, 0, 64), StreamProperties(8000, 70)}), header));
  EXPECT_EQ(header.LengthMilliseconds, 1000);
  EXPECT_EQ(header.BitrateKbps, 64);
  ASSERT_TRUE(Parse(Header({FileProperties(10'000'000, 0, 63), StreamProperties(8000, 69)}), header));
  EXPECT_EQ(header.LengthMilliseconds, 0);
  EXPECT_EQ(header.BitrateKbps, 0);
  EXPECT_FALSE(Parse(Header({StreamProperties(8000)}), header));
}

TEST(AsfHeaderTest, RefusesSizesThatDoNotFit)
{
  TAsfHeader header;
  const TBytes good = Header({FileProperties(1, 0)});
  ASSERT_TRUE(Parse(good, header));

  // The header object's own size, one byte beyond what is there.
  TBytes beyond = good;
  beyond[16] = static_cast<std::uint8_t>(good.size() + 1);
  EXPECT_FALSE(Parse(beyond, header));
  // Fewer bytes than the header object's start.
  EXPECT_FALSE(Parse(TBytes(good.begin(), good.begin() + 29), header));
  // A wrong identifier.
  TBytes wrong = good;
  wrong[0] ^= 1;
  EXPECT_FALSE(Parse(wrong, header));
  // A child claiming one byte more than the header holds, or less than its own 24-byte start.
  EXPECT_FALSE(Parse(Header({Object(FilePropertiesId, TBytes(80, 0), 1)}), header));
  TBytes tiny = Header({FileProperties(1, 0), Object("00000000-0000-0000-0000-000000000000", {}, 0)});
  ASSERT_TRUE(Parse(tiny, header));
  tiny[tiny.size() - 8] = 23;
  EXPECT_FALSE(Parse(tiny, header));
  // More objects counted than there are.
  EXPECT_FALSE(Parse(Header({FileProperties(1, 0)}, 1), header));
  // Fewer counted: the rest is not read.
  EXPECT_TRUE(Parse(Header({FileProperties(1, 0), Object(ContentDescriptionId, {1})}, -1), header));
}

TEST(AsfHeaderTest, ReadsTheContentDescriptionWithoutTrailingZeros)
{
  TBytes data;
  const TBytes title = Utf16(u"Song");
  const TBytes author = Utf16(u"\u00c7a\u011fla", false);  // no terminator
  const TBytes rating = {'x'};                             // an odd byte is no character
  for (const TBytes* text : {&title, &author}) {
    Put(data, text->size(), 2);
  }
  Put(data, 0, 2);
  Put(data, 4, 2);
  Put(data, rating.size(), 2);
  for (const TBytes& text : {title, author, Utf16(std::u16string_view(u"\0\0", 2), false), rating}) {
    data.insert(data.end(), text.begin(), text.end());
  }
  TAsfHeader header;
  ASSERT_TRUE(Parse(Header({FileProperties(1, 0), Object(ContentDescriptionId, data)}), header));
  EXPECT_EQ(header.Title, u"Song");
  EXPECT_EQ(header.Author, u"\u00c7a\u011fla");
  EXPECT_EQ(header.Copyright, u"");
  EXPECT_EQ(header.Description, u"");  // two zero characters
  EXPECT_EQ(header.Rating, u"");

  // The lengths claim one byte more than the object holds.
  data[0] = static_cast<std::uint8_t>(title.size() + 100);
  EXPECT_FALSE(Parse(Header({FileProperties(1, 0), Object(ContentDescriptionId, data)}), header));
}

TEST(AsfHeaderTest, ReadsAttributesOfEveryTypeInFileOrder)
{
  const TBytes extended = List({
      ExtendedEntry(u"WM/AlbumTitle", 0, Utf16(u"Album")),
      ExtendedEntry(u"WM/Picture", 1, {1, 2, 3}),
      ExtendedEntry(u"IsVBR", 2, Number(7, 4)),
      ExtendedEntry(u"WM/Track", 3, Number(4, 4)),
  });
  const TBytes metadata = List({
      MetadataEntry(9, 0, u"WM/TrackNumber", 4, Number(0x1'0000'0005, 8)),  // language is not kept
      MetadataEntry(0, 2, u"WM/Genre", 5, Number(17, 2)),
      MetadataEntry(0, 0, u"IsVBR", 2, Number(0, 2)),
  });
  const TBytes library = List({MetadataEntry(3, 0, u"WM/Lyrics", 6, TBytes(16, 0xAB))});
  TAsfHeader header;
  ASSERT_TRUE(Parse(Header({FileProperties(1, 0), Object(ExtendedDescriptionId, extended),
                            Extension({Object(MetadataId, metadata), Object(MetadataLibraryId, library)})}),
                    header));
  ASSERT_EQ(header.Attributes.size(), 8U);
  const auto& a = header.Attributes;
  EXPECT_EQ(a[0].Name, u"WM/AlbumTitle");
  EXPECT_EQ(a[0].Text, u"Album");
  EXPECT_EQ(a[1].Type, TAsfType::Bytes);
  EXPECT_EQ(a[1].Bytes, (TBytes{1, 2, 3}));
  EXPECT_EQ(a[2].Type, TAsfType::Bool);
  EXPECT_EQ(a[2].Number, 1U);
  EXPECT_EQ(a[3].Number, 4U);
  EXPECT_EQ(a[4].Name, u"WM/TrackNumber");
  EXPECT_EQ(a[4].Number, 0x1'0000'0005U);
  EXPECT_EQ(a[4].Language, 0);
  EXPECT_EQ(a[5].Stream, 2);
  EXPECT_EQ(a[6].Number, 0U);
  EXPECT_EQ(a[7].Language, 3);
  EXPECT_EQ(a[7].Type, TAsfType::Guid);
  EXPECT_EQ(a[7].StoredSize, 16U);
}

TEST(AsfHeaderTest, RefusesAttributeListsThatDoNotFit)
{
  TAsfHeader header;
  const auto parses = [&](const TBytes& object) {
    return Parse(Header({FileProperties(1, 0), object}), header);
  };
  TBytes extended = List({ExtendedEntry(u"A", 0, Utf16(u"x"))});
  EXPECT_TRUE(parses(Object(ExtendedDescriptionId, extended)));
  extended[0] = 2;  // one entry more than there is
  EXPECT_FALSE(parses(Object(ExtendedDescriptionId, extended)));
  EXPECT_FALSE(parses(Object(ExtendedDescriptionId, List({ExtendedEntry(u"A", 7, {})}))));  // unknown type

  TBytes metadata = List({MetadataEntry(0, 0, u"A", 3, Number(1, 4))});
  EXPECT_TRUE(parses(Extension({Object(MetadataId, metadata)})));
  metadata[metadata.size() - 4 - 4 - 4] = 5;  // the value's DWORD length, one byte past the end
  EXPECT_FALSE(parses(Extension({Object(MetadataId, metadata)})));
  // The extension's data size: one byte beyond its object, or short of its last object.
  const TBytes inner = Object(MetadataId, List({}));
  EXPECT_TRUE(parses(Extension({inner}, 0)));
  EXPECT_FALSE(parses(Extension({inner}, 1)));
  EXPECT_FALSE(parses(Extension({inner}, -1)));
}

// Whatever TagLib reads from real files, the reader reads alike: files as the muxer writes them
// and as TagLib rewrites them with metadata and metadata library objects.
TEST(AsfHeaderTest, AgreesWithTagLibOnMuxedAndRewrittenFiles)
{
  testmedia::TWmaRecipe recipe;
  recipe.Audio.Milliseconds = 1500;
  const testmedia::TWmaAudio audio(recipe);
  const testmedia::TBytes muxed = audio.Mux({{"Title", "T\xc3\xadtulo"},
                                             {"Author", "\xe6\x98\x9f\xe7\xa9\xba"},
                                             {"WM/AlbumTitle", "Album"},
                                             {"WM/TrackNumber", "3"},
                                             {"WM/Year", "1999"}});
  TagLib::ByteVector bytes(reinterpret_cast<const char*>(muxed.data()), static_cast<unsigned>(muxed.size()));
  TagLib::ByteVectorStream stream(bytes);
  {
    TagLib::ASF::File file(&stream, true);
    ASSERT_TRUE(file.isValid());
    TagLib::ASF::Attribute onStream(TagLib::String("second stream"));
    onStream.setStream(2);
    file.tag()->addAttribute("WM/Mood", onStream);
    TagLib::ASF::Attribute french(
        TagLib::String("fran\xc3\xa7"
                       "ais",
                       TagLib::String::UTF8));
    french.setLanguage(1);
    file.tag()->addAttribute("WM/Lyrics", french);
    file.tag()->setAttribute("WM/SharedUserRating", TagLib::ASF::Attribute(99U));
    file.tag()->setAttribute("WM/Large", TagLib::ASF::Attribute(TagLib::ByteVector(70'000, 'b')));
    file.tag()->setAttribute("WM/Word", TagLib::ASF::Attribute(static_cast<unsigned short>(515)));
    file.tag()->setAttribute("WM/Flag", TagLib::ASF::Attribute(true));
    file.tag()->setAttribute("WM/Long", TagLib::ASF::Attribute(0x123456789ULL));
    ASSERT_TRUE(file.save());
  }
  for (const TagLib::ByteVector* data : {&bytes, stream.data()}) {
    TagLib::ByteVectorStream reread(*data);
    TagLib::ASF::File file(&reread, true, TagLib::AudioProperties::Average);
    ASSERT_TRUE(file.isValid());
    TAsfHeader header;
    ASSERT_TRUE(
        ParseAsfHeader(std::span(reinterpret_cast<const std::uint8_t*>(data->data()), data->size()), header));
    EXPECT_EQ(TagText(header.Title), file.tag()->title());
    EXPECT_EQ(TagText(header.Author), file.tag()->artist());
    EXPECT_EQ(header.LengthMilliseconds, file.audioProperties()->lengthInMilliseconds());
    EXPECT_EQ(header.BitrateKbps, file.audioProperties()->bitrate());

    std::size_t matched = 0;
    for (const auto& [name, list] : file.tag()->attributeListMap()) {
      std::vector<const TAsfAttribute*> ours;
      for (const TAsfAttribute& attribute : header.Attributes) {
        if (TagText(attribute.Name) == name) {
          ours.push_back(&attribute);
        }
      }
      ASSERT_EQ(ours.size(), list.size()) << name.to8Bit(true);
      for (std::size_t i = 0; i < ours.size(); ++i) {
        const TagLib::ASF::Attribute& theirs = list[static_cast<unsigned>(i)];
        EXPECT_EQ(static_cast<int>(ours[i]->Type), static_cast<int>(theirs.type())) << name.to8Bit(true);
        EXPECT_EQ(ours[i]->Stream, theirs.stream());
        EXPECT_EQ(ours[i]->Language, theirs.language());
        switch (theirs.type()) {
          case TagLib::ASF::Attribute::UnicodeType:
            EXPECT_EQ(TagText(ours[i]->Text), theirs.toString());
            break;
          case TagLib::ASF::Attribute::BytesType:
          case TagLib::ASF::Attribute::GuidType:
            EXPECT_EQ(TagLib::ByteVector(reinterpret_cast<const char*>(ours[i]->Bytes.data()),
                                         static_cast<unsigned>(ours[i]->Bytes.size())),
                      theirs.toByteVector());
            break;
          default:
            EXPECT_EQ(ours[i]->Number, theirs.toULongLong());
        }
        ++matched;
      }
    }
    EXPECT_EQ(matched, header.Attributes.size());
  }
}
