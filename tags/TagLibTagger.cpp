#include "tags/TagLibTagger.h"

#include <taglib/asffile.h>
#include <taglib/asfpicture.h>
#include <taglib/asftag.h>
#include <taglib/flacpicture.h>
#include <taglib/mp4coverart.h>

#include <taglib/flacfile.h>
#include <taglib/flacproperties.h>
#include <taglib/id3v2frame.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mp4properties.h>
#include <taglib/mp4tag.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/opusproperties.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/tiostream.h>
#include <taglib/vorbisfile.h>
#include <taglib/vorbisproperties.h>
#include <taglib/xiphcomment.h>

#include <algorithm>
#include <memory>

#include "rtl/Exception.h"
#include "rtl/FileStream.h"
#include "rtl/Strings.h"
#include "tags/AudioStart.h"
#include "tags/EmbeddedPicture.h"
#include "tags/ID3Genres.h"

namespace {

constexpr std::size_t YearDigits = 4;
// No metadata block TagLib reads at once is anywhere near this; a length beyond it is a lie.
constexpr std::int64_t MaxReadBlock = std::int64_t{1} << 30;
constexpr std::int32_t MillisecondsPerSecond = 1000;
constexpr std::int32_t BitsPerKilobit = 1000;

// TagLib reads through this view of a TStream. TagLib does not expect its stream to throw, so a
// failed read ends the stream instead and is remembered; the caller then calls the file
// unreadable whatever TagLib made of the bytes it got.
class TReadOnlyStream final : public TagLib::IOStream {
 public:
  explicit TReadOnlyStream(TStream& stream) : FStream(stream)
  {
    try {
      FSize = std::max<std::int64_t>(stream.Size(), 0);
    } catch (const Exception&) {
      FFailed = true;
    }
  }

  bool Failed() const noexcept { return FFailed; }

  TagLib::FileName name() const override { return ""; }
  TagLib::ByteVector readBlock(unsigned long length) override
  {
    if (FFailed || FPosition >= FSize) {
      return {};
    }
    const std::int64_t count =
        std::min({static_cast<std::int64_t>(std::min(length, static_cast<unsigned long>(MaxReadBlock))),
                  FSize - FPosition});
    TagLib::ByteVector block(static_cast<unsigned int>(count), '\0');
    std::int64_t read = 0;
    try {
      FStream.SetPosition(FPosition);
      read = FStream.Read(block.data(), count);
    } catch (const Exception&) {
      FFailed = true;
      return {};
    }
    block.resize(static_cast<unsigned int>(std::max<std::int64_t>(read, 0)));
    FPosition += block.size();
    return block;
  }
  void writeBlock(const TagLib::ByteVector&) override {}
  void insert(const TagLib::ByteVector&, unsigned long, unsigned long) override {}
  void removeBlock(unsigned long, unsigned long) override {}
  bool readOnly() const override { return true; }
  bool isOpen() const override { return true; }
  void seek(long offset, Position origin) override
  {
    const std::int64_t base = origin == Beginning ? 0 : origin == Current ? FPosition : FSize;
    FPosition = std::max<std::int64_t>(base + offset, 0);
  }
  long tell() const override { return static_cast<long>(FPosition); }
  long length() override { return static_cast<long>(FSize); }
  void truncate(long) override {}

 private:
  TStream& FStream;
  std::int64_t FSize = 0;
  std::int64_t FPosition = 0;
  bool FFailed = false;
};

std::string Utf8(const TagLib::String& text)
{
  return text.to8Bit(true);
}

TagLib::String TagText(const std::string& text)
{
  return TagLib::String(text, TagLib::String::UTF8);
}

// The number a text starts with (after blanks): "3/12" gives 3; 0 when there is none.
std::int32_t LeadingNumber(std::string_view text)
{
  const std::string trimmed = Trim(text);
  std::size_t digits = 0;
  while (digits < trimmed.size() && digits < 9 && trimmed[digits] >= '0' && trimmed[digits] <= '9') {
    ++digits;
  }
  return digits == 0 ? 0 : StrToIntDef(std::string_view(trimmed).substr(0, digits), 0);
}

// The year of a date: its leading digits, at most four ("1998-05-17" gives "1998").
std::string LeadingYear(std::string_view date)
{
  const std::string trimmed = Trim(date);
  std::size_t digits = 0;
  while (digits < trimmed.size() && digits < YearDigits && trimmed[digits] >= '0' && trimmed[digits] <= '9') {
    ++digits;
  }
  return trimmed.substr(0, digits);
}

// A genre stored as an ID3v1 number, bare or in parentheses, becomes its name; other texts stay.
std::string GenreName(std::string_view text)
{
  const std::string trimmed = Trim(text);
  std::string_view number = trimmed;
  if (number.size() > 2 && number.front() == '(' && number.back() == ')') {
    number = number.substr(1, number.size() - 2);
  }
  const bool digits = !number.empty() && number.size() <= 3 &&
                      std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (digits) {
    const std::string_view name = Id3GenreName(StrToIntDef(number, -1));
    if (!name.empty()) {
      return std::string(name);
    }
  }
  return std::string(text);
}

// A new track number keeps the file's total: "3/12" edited to 5 is "5/12".
std::string WithTrack(const std::string& old, std::int32_t track)
{
  const std::size_t slash = old.find('/');
  return IntToStr(track) + (slash == std::string::npos ? std::string() : old.substr(slash));
}

// A new year keeps the rest of the file's date: "1998-05-17" edited to 2001 is "2001-05-17".
std::string WithYear(const std::string& old, const std::string& year)
{
  return LeadingYear(old).size() == YearDigits ? year + old.substr(YearDigits) : year;
}

std::int32_t WholeSeconds(const TagLib::AudioProperties& properties)
{
  return (std::max(properties.lengthInMilliseconds(), 0) + MillisecondsPerSecond / 2) / MillisecondsPerSecond;
}

bool AnyValue(const TTagLibFields& fields)
{
  return !fields.Title.empty() || !fields.Artist.empty() || !fields.Album.empty() ||
         !fields.Comment.empty() || !fields.Genre.empty() || !fields.Year.empty() || fields.Track != 0;
}

// ---- Vorbis comments ----

std::string XiphFirst(const TagLib::Ogg::XiphComment& xiph, const char* key)
{
  const TagLib::Ogg::FieldListMap& map = xiph.fieldListMap();
  const auto found = map.find(key);
  return found == map.end() || found->second.isEmpty() ? std::string() : Utf8(found->second.front());
}

TTagLibFields XiphFields(const TagLib::Ogg::XiphComment& xiph)
{
  TTagLibFields fields;
  fields.Title = XiphFirst(xiph, "TITLE");
  fields.Artist = XiphFirst(xiph, "ARTIST");
  fields.Album = XiphFirst(xiph, "ALBUM");
  fields.Comment = Utf8(xiph.comment());  // DESCRIPTION, else COMMENT
  fields.Genre = GenreName(XiphFirst(xiph, "GENRE"));
  fields.Year = LeadingYear(XiphFirst(xiph, "DATE"));
  fields.Track = LeadingNumber(XiphFirst(xiph, "TRACKNUMBER"));
  return fields;
}

void ApplyXiph(TagLib::Ogg::XiphComment& xiph, unsigned fields, const TTagLibFields& values)
{
  const std::pair<TTagLibField, std::pair<const char*, const std::string*>> texts[] = {
      {tfTitle, {"TITLE", &values.Title}},
      {tfArtist, {"ARTIST", &values.Artist}},
      {tfAlbum, {"ALBUM", &values.Album}},
      {tfGenre, {"GENRE", &values.Genre}},
  };
  for (const auto& [field, entry] : texts) {
    if ((fields & field) != 0) {
      xiph.addField(entry.first, TagText(*entry.second), true);
    }
  }
  if ((fields & tfComment) != 0) {
    xiph.setComment(TagText(values.Comment));
  }
  if ((fields & tfYear) != 0) {
    xiph.addField("DATE", TagText(WithYear(XiphFirst(xiph, "DATE"), values.Year)), true);
  }
  if ((fields & tfTrack) != 0) {
    xiph.addField("TRACKNUMBER", TagText(WithTrack(XiphFirst(xiph, "TRACKNUMBER"), values.Track)), true);
  }
}

// ---- ID3v2 inside FLAC ----

std::string Id3v2First(const TagLib::ID3v2::Tag& tag, const char* frameId)
{
  const TagLib::ID3v2::FrameList& frames = tag.frameList(frameId);
  return frames.isEmpty() ? std::string() : Utf8(frames.front()->toString());
}

TTagLibFields Id3v2Fields(const TagLib::ID3v2::Tag& tag)
{
  TTagLibFields fields;
  fields.Title = Utf8(tag.title());
  fields.Artist = Utf8(tag.artist());
  fields.Album = Utf8(tag.album());
  fields.Comment = Utf8(tag.comment());
  fields.Genre = GenreName(Utf8(tag.genre()));
  fields.Year = LeadingYear(Id3v2First(tag, "TDRC"));  // TagLib reads an ID3v2.3 TYER as TDRC
  fields.Track = LeadingNumber(Id3v2First(tag, "TRCK"));
  return fields;
}

// Each field the first set lacks, taken from the second.
TTagLibFields Merged(TTagLibFields first, const TTagLibFields& second)
{
  for (const auto field : {&TTagLibFields::Title, &TTagLibFields::Artist, &TTagLibFields::Album,
                           &TTagLibFields::Comment, &TTagLibFields::Genre, &TTagLibFields::Year}) {
    if ((first.*field).empty()) {
      first.*field = second.*field;
    }
  }
  if (first.Track == 0) {
    first.Track = second.Track;
  }
  return first;
}

// ---- MP4 items ----

const char* const Mp4Title = "\251nam";
const char* const Mp4Artist = "\251ART";
const char* const Mp4Album = "\251alb";
const char* const Mp4Comment = "\251cmt";
const char* const Mp4Genre = "\251gen";
const char* const Mp4Date = "\251day";
const char* const Mp4Track = "trkn";

std::string Mp4First(const TagLib::MP4::Tag& tag, const char* key)
{
  if (!tag.contains(key)) {
    return {};
  }
  const TagLib::StringList texts = tag.item(key).toStringList();
  return texts.isEmpty() ? std::string() : Utf8(texts.front());
}

TTagLibFields Mp4Fields(const TagLib::MP4::Tag& tag)
{
  TTagLibFields fields;
  fields.Title = Mp4First(tag, Mp4Title);
  fields.Artist = Mp4First(tag, Mp4Artist);
  fields.Album = Mp4First(tag, Mp4Album);
  fields.Comment = Mp4First(tag, Mp4Comment);
  // TagLib gives a "gnre" number (the ID3v1 number plus one) as its name under "©gen".
  fields.Genre = GenreName(Mp4First(tag, Mp4Genre));
  fields.Year = LeadingYear(Mp4First(tag, Mp4Date));
  if (tag.contains(Mp4Track)) {
    fields.Track = std::max(tag.item(Mp4Track).toIntPair().first, 0);
  }
  return fields;
}

void ApplyMp4(TagLib::MP4::Tag& tag, unsigned fields, const TTagLibFields& values)
{
  const std::pair<TTagLibField, std::pair<const char*, const std::string*>> texts[] = {
      {tfTitle, {Mp4Title, &values.Title}}, {tfArtist, {Mp4Artist, &values.Artist}},
      {tfAlbum, {Mp4Album, &values.Album}}, {tfComment, {Mp4Comment, &values.Comment}},
      {tfGenre, {Mp4Genre, &values.Genre}},
  };
  for (const auto& [field, entry] : texts) {
    if ((fields & field) != 0) {
      tag.setItem(entry.first, TagLib::StringList(TagText(*entry.second)));
    }
  }
  if ((fields & tfYear) != 0) {
    tag.setItem(Mp4Date, TagLib::StringList(TagText(WithYear(Mp4First(tag, Mp4Date), values.Year))));
  }
  if ((fields & tfTrack) != 0) {
    const int total = tag.contains(Mp4Track) ? tag.item(Mp4Track).toIntPair().second : 0;
    tag.setItem(Mp4Track, TagLib::MP4::Item(values.Track, total));
  }
}

// ---- reading ----

struct TReading {
  TTagLibFields Fields;
  bool HasTag = false;
  std::int32_t Bitrate = 0;
  std::int32_t Duration = 0;
  TTagLibStreamFormat Format;
};

void LosslessProperties(const TagLib::FLAC::Properties& properties, TReading& reading)
{
  reading.Bitrate = -1;
  reading.Duration = WholeSeconds(properties);
  reading.Format = TTagLibStreamFormat{"FLAC", true, properties.bitsPerSample(), properties.sampleRate()};
}

bool ReadFlac(TagLib::IOStream& io, TReading& reading)
{
  TagLib::FLAC::File file(&io, TagLib::ID3v2::FrameFactory::instance(), true);
  if (!file.isValid() || file.audioProperties() == nullptr) {
    return false;
  }
  TTagLibFields fields;
  if (file.hasXiphComment()) {
    fields = XiphFields(*file.xiphComment());
  }
  if (file.hasID3v2Tag()) {
    fields = Merged(fields, Id3v2Fields(*file.ID3v2Tag()));
  }
  reading.Fields = fields;
  LosslessProperties(*file.audioProperties(), reading);
  return true;
}

bool ReadOgg(TagLib::IOStream& io, TReading& reading)
{
  {
    TagLib::Ogg::Vorbis::File file(&io, true);
    if (file.isValid() && file.audioProperties() != nullptr) {
      const TagLib::Vorbis::Properties& properties = *file.audioProperties();
      reading.Fields = XiphFields(*file.tag());
      const int nominal = properties.bitrateNominal() / BitsPerKilobit;
      reading.Bitrate = nominal > 0 ? nominal : std::max(properties.bitrate(), 0);
      reading.Duration = WholeSeconds(properties);
      reading.Format = TTagLibStreamFormat{"Vorbis", false, 0, properties.sampleRate()};
      return true;
    }
  }
  {
    io.seek(0);
    TagLib::Ogg::Opus::File file(&io, true);
    if (file.isValid() && file.audioProperties() != nullptr) {
      const TagLib::Ogg::Opus::Properties& properties = *file.audioProperties();
      reading.Fields = XiphFields(*file.tag());
      reading.Bitrate = std::max(properties.bitrate(), 0);
      reading.Duration = WholeSeconds(properties);
      reading.Format = TTagLibStreamFormat{"Opus", false, 0, properties.inputSampleRate()};
      return true;
    }
  }
  io.seek(0);
  TagLib::Ogg::FLAC::File file(&io, true);
  if (!file.isValid() || file.audioProperties() == nullptr || file.tag() == nullptr) {
    return false;
  }
  reading.Fields = XiphFields(*file.tag());
  LosslessProperties(*file.audioProperties(), reading);
  return true;
}

bool ReadMp4(TagLib::IOStream& io, TReading& reading)
{
  TagLib::MP4::File file(&io, true);
  if (!file.isValid() || file.audioProperties() == nullptr) {
    return false;
  }
  if (file.tag() != nullptr) {
    reading.Fields = Mp4Fields(*file.tag());
  }
  const TagLib::MP4::Properties& properties = *file.audioProperties();
  reading.Duration = WholeSeconds(properties);
  if (properties.codec() == TagLib::MP4::Properties::ALAC) {
    reading.Bitrate = -1;
    reading.Format = TTagLibStreamFormat{"ALAC", true, properties.bitsPerSample(), properties.sampleRate()};
  } else {
    reading.Bitrate = std::max(properties.bitrate(), 0);
    const bool aac = properties.codec() == TagLib::MP4::Properties::AAC;
    reading.Format = TTagLibStreamFormat{aac ? "AAC" : "", false, 0, properties.sampleRate()};
  }
  return true;
}

// ---- writing ----

bool ApplyToOgg(TagLib::IOStream& io, unsigned fields, const TTagLibFields& values)
{
  {
    TagLib::Ogg::Vorbis::File file(&io, false);
    if (file.isValid()) {
      ApplyXiph(*file.tag(), fields, values);
      return file.save();
    }
  }
  {
    io.seek(0);
    TagLib::Ogg::Opus::File file(&io, false);
    if (file.isValid()) {
      ApplyXiph(*file.tag(), fields, values);
      return file.save();
    }
  }
  io.seek(0);
  TagLib::Ogg::FLAC::File file(&io, false);
  if (!file.isValid() || file.tag() == nullptr) {
    return false;
  }
  ApplyXiph(*file.tag(), fields, values);
  return file.save();
}

bool Apply(TagLib::IOStream& io, TTagLibFormat format, unsigned fields, const TTagLibFields& values)
{
  switch (format) {
    case TTagLibFormat::Flac: {
      TagLib::FLAC::File file(&io, TagLib::ID3v2::FrameFactory::instance(), false);
      if (!file.isValid()) {
        return false;
      }
      ApplyXiph(*file.xiphComment(true), fields, values);
      return file.save();
    }
    case TTagLibFormat::Ogg:
      return ApplyToOgg(io, fields, values);
    case TTagLibFormat::Mp4: {
      TagLib::MP4::File file(&io, false);
      if (!file.isValid() || file.tag() == nullptr) {
        return false;
      }
      ApplyMp4(*file.tag(), fields, values);
      return file.save();
    }
    case TTagLibFormat::None:
      break;
  }
  return false;
}

}  // namespace

TTagLibFormat TagLibFormatOf(std::string_view extension) noexcept
{
  if (extension == ".flac") {
    return TTagLibFormat::Flac;
  }
  if (extension == ".ogg" || extension == ".oga" || extension == ".opus") {
    return TTagLibFormat::Ogg;
  }
  if (extension == ".m4a") {
    return TTagLibFormat::Mp4;
  }
  return TTagLibFormat::None;
}

void TTagLibTagger::Reset()
{
  FHasTag = false;
  FFields = TTagLibFields();
  FBitrate = 0;
  FDuration = 0;
  FStreamFormat = TTagLibStreamFormat();
  FAudioStart = 0;
}

bool TTagLibTagger::Read(TStream& stream, TTagLibFormat format)
{
  Reset();
  TReadOnlyStream io(stream);
  TReading reading;
  bool read = false;
  switch (format) {
    case TTagLibFormat::Flac:
      read = ReadFlac(io, reading);
      break;
    case TTagLibFormat::Ogg:
      read = ReadOgg(io, reading);
      break;
    case TTagLibFormat::Mp4:
      read = ReadMp4(io, reading);
      break;
    case TTagLibFormat::None:
      break;
  }
  if (!read || io.Failed()) {
    return false;
  }
  // TagLib takes a file whose headers end early for one without audio; the walk does not.
  std::int64_t audioStart = 0;
  try {
    audioStart = format == TTagLibFormat::Flac  ? FlacAudioStart(stream)
                 : format == TTagLibFormat::Ogg ? OggAudioStart(stream)
                                                : Mp4AudioStart(stream);
  } catch (const Exception&) {
    return false;
  }
  if (audioStart <= 0) {
    return false;
  }
  FAudioStart = audioStart;
  FFields = std::move(reading.Fields);
  FHasTag = AnyValue(FFields);
  FBitrate = reading.Bitrate;
  FDuration = reading.Duration;
  FStreamFormat = std::move(reading.Format);
  return true;
}

bool TTagLibTagger::Write(const std::string& fileName, TTagLibFormat format, unsigned fields,
                          const TTagLibFields& values, const TCreateFileStream& create)
{
  try {
    TagLib::ByteVector content;
    {
      TFileStream original(fileName, fmOpenRead | fmShareDenyNone);
      const std::int64_t size = original.Size();
      if (size > MaxRewriteSize) {
        return false;
      }
      content.resize(static_cast<unsigned int>(size));
      original.ReadBuffer(content.data(), size);
    }
    TagLib::ByteVectorStream memory(content);
    if (!Apply(memory, format, fields, values)) {
      return false;
    }
    const TagLib::ByteVector& composed = *memory.data();
    TReplacementFile replacement(fileName, create);
    replacement.Stream().WriteBuffer(composed.data(), composed.size());
    replacement.Commit();
    return true;
  } catch (const Exception&) {
    return false;
  }
}

namespace {

void AddPicture(std::vector<TEmbeddedPicture>& pictures, int type, const TagLib::String& mimeType,
                const TagLib::ByteVector& data)
{
  if (data.isEmpty() || data.size() > MaxEmbeddedPictureBytes) {
    return;
  }
  TEmbeddedPicture picture;
  picture.Type = static_cast<std::uint8_t>(type);
  picture.MimeType = mimeType.to8Bit(true);
  picture.Bytes.assign(data.begin(), data.end());
  pictures.push_back(std::move(picture));
}

void AddFlacPictures(std::vector<TEmbeddedPicture>& pictures,
                     const TagLib::List<TagLib::FLAC::Picture*>& list)
{
  for (const TagLib::FLAC::Picture* picture : list) {
    AddPicture(pictures, picture->type(), picture->mimeType(), picture->data());
  }
}

void AddOggPictures(TagLib::IOStream& io, std::vector<TEmbeddedPicture>& pictures)
{
  {
    TagLib::Ogg::Vorbis::File file(&io, false);
    if (file.isValid() && file.tag() != nullptr) {
      AddFlacPictures(pictures, file.tag()->pictureList());
      return;
    }
  }
  {
    io.seek(0);
    TagLib::Ogg::Opus::File file(&io, false);
    if (file.isValid() && file.tag() != nullptr) {
      AddFlacPictures(pictures, file.tag()->pictureList());
      return;
    }
  }
  io.seek(0);
  TagLib::Ogg::FLAC::File file(&io, false);
  if (file.isValid() && file.tag() != nullptr) {
    AddFlacPictures(pictures, file.tag()->pictureList());
  }
}

void AddMp4Pictures(TagLib::IOStream& io, std::vector<TEmbeddedPicture>& pictures)
{
  TagLib::MP4::File file(&io, false);
  if (!file.isValid() || file.tag() == nullptr || !file.tag()->contains("covr")) {
    return;
  }
  for (const TagLib::MP4::CoverArt& cover : file.tag()->item("covr").toCoverArtList()) {
    const char* mimeType = cover.format() == TagLib::MP4::CoverArt::PNG ? "image/png" : "image/jpeg";
    AddPicture(pictures, FrontCoverPictureType, mimeType, cover.data());
  }
}

}  // namespace

std::vector<TEmbeddedPicture> TagLibPictures(TStream& stream, TTagLibFormat format)
{
  std::vector<TEmbeddedPicture> pictures;
  TReadOnlyStream io(stream);
  switch (format) {
    case TTagLibFormat::Flac: {
      TagLib::FLAC::File file(&io, TagLib::ID3v2::FrameFactory::instance(), false);
      if (file.isValid()) {
        AddFlacPictures(pictures, file.pictureList());
      }
      break;
    }
    case TTagLibFormat::Ogg:
      AddOggPictures(io, pictures);
      break;
    case TTagLibFormat::Mp4:
      AddMp4Pictures(io, pictures);
      break;
    case TTagLibFormat::None:
      break;
  }
  if (io.Failed()) {
    pictures.clear();
  }
  return pictures;
}

std::vector<TEmbeddedPicture> AsfPictures(TStream& stream)
{
  std::vector<TEmbeddedPicture> pictures;
  TReadOnlyStream io(stream);
  TagLib::ASF::File file(&io, false);
  if (!file.isValid() || file.tag() == nullptr || !file.tag()->contains("WM/Picture")) {
    return pictures;
  }
  for (const TagLib::ASF::Attribute& attribute : file.tag()->attribute("WM/Picture")) {
    const TagLib::ASF::Picture picture = attribute.toPicture();
    if (picture.isValid()) {
      AddPicture(pictures, picture.type(), picture.mimeType(), picture.picture());
    }
  }
  if (io.Failed()) {
    pictures.clear();
  }
  return pictures;
}
