#include "tags/OxaMusicTag.h"

#include <algorithm>

#include "platform/core/LastError.h"
#include "rtl/AnsiText.h"
#include "rtl/Exception.h"
#include "rtl/FilePaths.h"
#include "rtl/FileStream.h"
#include "rtl/Strings.h"
#include "rtl/Utf8.h"
#include "tags/ID3Genres.h"
#include "tags/TagFiles.h"
#include "tags/WaveHeader.h"

namespace {

constexpr std::int32_t CenturyPivot = 29;  // two-digit years below it are 20xx

std::string Utf8(const std::u16string& text)
{
  return Utf16ToUtf8(text);
}

}  // namespace

TOxaMusicTag::TOxaMusicTag()
    : FWmaTagger(std::make_unique<TWMATagger>()),
      FId3v2Tagger(std::make_unique<TID3Version2Tagger2>()),
      FId3v1Tagger(std::make_unique<TID3Version1Tagger>()),
      FMpegHeader(std::make_unique<TMPegHeader>()),
      FCheckSum(std::make_unique<TOxaMusicCheckSum>()),
      FTagLibTagger(std::make_unique<TTagLibTagger>()),
      FWmaAvailable(FWmaTagger->Available())
{
}

TOxaMusicTag::~TOxaMusicTag() = default;

void TOxaMusicTag::Clear()
{
  FWmaTagger->Close();
  FId3v2Tagger = std::make_unique<TID3Version2Tagger2>();
  FFileName.clear();
  FKind = TMusicKind::Other;
  FTagLibFormat = TTagLibFormat::None;
  FHasId3v1 = false;
  FHasId3v2 = false;
  FHasWmaTag = false;
  FSetA = TValueSet();
  FSetB = TValueSet();
  FRawA = TRawValues();
  FRawB = TRawValues();
  FEdited = 0;
  FBitrate = 0;
  FDuration = 0;
  FReadOnly = false;
  FChecksum.fill(0);
}

std::string TOxaMusicTag::CleanText(std::string_view text)
{
  std::string result;
  result.reserve(text.size());
  bool first = true;
  std::size_t pos = 0;
  while (pos < text.size()) {
    char32_t c = NextCodePoint(text, pos);
    if (c == U'_') {
      c = U' ';
    }
    if (c < 32 || (c == U' ' && (result.empty() || result.back() == ' '))) {
      continue;
    }
    if (first && c < 256) {
      c = AnsiUpperChar(c);
    }
    first = false;
    AppendCodePoint(result, c);
  }
  while (!result.empty() && result.back() == ' ') {
    result.pop_back();
  }
  return result.empty() ? std::string(UnknownText) : result;
}

std::int32_t TOxaMusicTag::CleanYear(std::string_view text)
{
  const std::int32_t year = StrToIntDef(Trim(text), 0);
  if (year >= 1 && year < CenturyPivot) {
    return 2000 + year;
  }
  if (year >= CenturyPivot && year <= 99) {
    return 1900 + year;
  }
  return year;
}

bool TOxaMusicTag::Load(const std::string& fileName)
{
  return Load(fileName, TLoadPurpose::Write);
}

bool TOxaMusicTag::Load(const std::string& fileName, TLoadPurpose purpose)
{
  Clear();
  // Only a write asks whether the file may be written; reading spares the look at its attributes.
  FReadOnly = purpose == TLoadPurpose::Write && TagFileReadOnly(fileName);
  FFileName = fileName;
  const std::string extension = AnsiLowerCase(ExtractFileExt(fileName));
  try {
    if (extension == ".mp3") {
      FKind = TMusicKind::Mp3;
      return LoadMp3(purpose);
    }
    if (extension == ".wma" || extension == ".asf") {
      FKind = TMusicKind::Wma;
      return LoadWma();
    }
    FTagLibFormat = TagLibFormatOf(extension);
    switch (FTagLibFormat) {
      case TTagLibFormat::Flac:
        FKind = TMusicKind::Flac;
        return LoadTagLib(FTagLibFormat);
      case TTagLibFormat::Ogg:
        FKind = TMusicKind::Ogg;
        return LoadTagLib(FTagLibFormat);
      case TTagLibFormat::Mp4:
        FKind = TMusicKind::Mp4;
        return LoadTagLib(FTagLibFormat);
      case TTagLibFormat::None:
        break;
    }
    FKind = TMusicKind::Other;
    LoadOther(extension == ".wav");
    return true;
  } catch (const Exception&) {
    // A read error half way through: the file is unreadable, not the program broken.
    return false;
  }
}

bool TOxaMusicTag::NoWindowFound() const noexcept
{
  return std::all_of(FChecksum.begin(), FChecksum.end(), [](std::uint8_t b) { return b == 0; });
}

bool TOxaMusicTag::ComputeWmaChecksum()
{
  try {
    TFileStream stream(FFileName, fmOpenRead | fmShareDenyNone);
    FCheckSum->Compute(stream, false, FChecksum);
    if (NoWindowFound()) {
      FCheckSum->ComputeFallback(stream, false, TOxaMusicCheckSum::AsfAudioStart(stream), FChecksum);
    }
    return true;
  } catch (const EFOpenError&) {
    return false;
  }
}

bool TOxaMusicTag::LoadMp3(TLoadPurpose purpose)
{
  std::unique_ptr<TFileStream> stream;
  if (purpose == TLoadPurpose::Read) {
    stream = std::make_unique<TFileStream>(FFileName, fmOpenRead | fmShareDenyNone);
    if (!FId3v2Tagger->LoadFromStream(*stream, FFileName)) {
      return false;
    }
  } else if (!FId3v2Tagger->Load(FFileName)) {
    return false;
  }
  FHasId3v2 = FId3v2Tagger->HasTag();
  if (FHasId3v2) {
    const TID3Version2Tagger2& v2 = *FId3v2Tagger;
    FSetA.Track = v2.Track();
    if (v2.Genre() == Id3NoGenre) {
      FSetA.Genre = v2.GenreText().empty() ? std::string(UnknownText) : v2.GenreText();
    } else {
      FSetA.Genre = std::string(Id3GenreName(v2.Genre()));
    }
    FSetA.Comment = CleanText(v2.Comment());
    FSetA.Album = CleanText(v2.Album());
    FSetA.Title = CleanText(v2.Title());
    FSetA.Artist = CleanText(v2.Artist());
    FSetA.Year = CleanYear(v2.Year());
    FRawA =
        TRawValues{v2.Year(), v2.Track(), v2.GenreText(), v2.Comment(), v2.Title(), v2.Artist(), v2.Album()};
  }
  if (!(stream ? FId3v1Tagger->LoadFromStream(*stream) : FId3v1Tagger->Load(FFileName))) {
    return false;
  }
  FHasId3v1 = FId3v1Tagger->HasTag();
  if (FHasId3v1) {
    const TID3Version1Tagger& v1 = *FId3v1Tagger;
    FSetB.Track = v1.Track();
    FSetB.Genre = v1.Genre() == Id3NoGenre ? std::string(UnknownText) : std::string(Id3GenreName(v1.Genre()));
    FSetB.Comment = CleanText(v1.Comment());
    FSetB.Album = CleanText(v1.Album());
    FSetB.Title = CleanText(v1.Title());
    FSetB.Artist = CleanText(v1.Artist());
    FSetB.Year = CleanYear(v1.Year());
    FRawB = TRawValues{v1.Year(), v1.Track(), "", v1.Comment(), v1.Title(), v1.Artist(), v1.Album()};
  }
  if (!FHasId3v1 && !FHasId3v2) {
    for (TValueSet* set : {&FSetA, &FSetB}) {
      *set = TValueSet{0,
                       0,
                       std::string(UnknownText),
                       std::string(UnknownText),
                       std::string(UnknownText),
                       std::string(UnknownText),
                       std::string(UnknownText)};
    }
  }
  if (!stream) {
    stream = std::make_unique<TFileStream>(FFileName, fmOpenRead | fmShareDenyNone);
  }
  FCheckSum->Compute(*stream, FHasId3v1, FChecksum);
  // The frames follow any ID3v2 tag at the start, even one whose frames could not be read.
  FMpegHeader->Analyse(*stream, FHasId3v1, true);
  FBitrate = FMpegHeader->Bitrate();
  FDuration = FMpegHeader->Duration();
  if (NoWindowFound()) {
    FCheckSum->ComputeFallback(*stream, FHasId3v1, FMpegHeader->AudioStart(), FChecksum);
  }
  return true;
}

bool TOxaMusicTag::LoadWma()
{
  if (!ComputeWmaChecksum()) {
    return false;
  }
  if (!FWmaAvailable) {
    // Without the runtime nothing of the tag can be read, but the file is still music: it is
    // described as a file of another kind is, with its fingerprint, so a scan keeps it.
    FSetB = TValueSet{0,
                      0,
                      std::string(UnknownText),
                      "",
                      std::string(UnknownText),
                      std::string(UnknownText),
                      std::string(UnknownText)};
    return true;
  }
  if (!FWmaTagger->Open(FFileName)) {
    return false;
  }
  FHasWmaTag = true;
  const TWMATagger& wma = *FWmaTagger;
  // The tagger marks what the file did not say with -1; the item knows only 0 for unknown (and
  // -1 for a variable bit rate, which this would wrongly claim).
  FBitrate = std::max(wma.Bitrate(), 0);
  FDuration = std::max(wma.Duration(), 0);
  FSetB.Track = wma.Track();
  FSetB.Genre = CleanText(Utf8(wma.Genre()));
  FSetB.Comment = CleanText(Utf8(wma.Description()));
  FSetB.Album = CleanText(Utf8(wma.Album()));
  FSetB.Title = CleanText(Utf8(wma.Title()));
  FSetB.Artist = CleanText(Utf8(wma.Author()));
  FSetB.Year = CleanYear(Utf8(wma.Year()));
  FRawB = TRawValues{Utf8(wma.Year()),  wma.Track(),        Utf8(wma.Genre()), Utf8(wma.Description()),
                     Utf8(wma.Title()), Utf8(wma.Author()), Utf8(wma.Album())};
  FWmaTagger->Close();
  return true;
}

bool TOxaMusicTag::LoadTagLib(TTagLibFormat format)
{
  TFileStream stream(FFileName, fmOpenRead | fmShareDenyNone);
  if (!FTagLibTagger->Read(stream, format)) {
    return false;
  }
  const TTagLibFields& fields = FTagLibTagger->Fields();
  FBitrate = FTagLibTagger->Bitrate();
  FDuration = FTagLibTagger->Duration();
  FSetB.Track = fields.Track;
  FSetB.Genre = CleanText(fields.Genre);
  FSetB.Comment = CleanText(fields.Comment);
  FSetB.Album = CleanText(fields.Album);
  FSetB.Title = CleanText(fields.Title);
  FSetB.Artist = CleanText(fields.Artist);
  FSetB.Year = CleanYear(fields.Year);
  FRawB = TRawValues{fields.Year,  fields.Track,  fields.Genre, fields.Comment,
                     fields.Title, fields.Artist, fields.Album};
  // The tags of these formats sit at the start (or, in MP4, anywhere): the whole file is
  // searched, as a WAV file is, and the fallback digests the audio alone.
  FCheckSum->Compute(stream, false, FChecksum);
  if (NoWindowFound()) {
    FCheckSum->ComputeFallback(stream, false, FTagLibTagger->AudioStart(), FChecksum);
  }
  return true;
}

bool TOxaMusicTag::ReadStreamFormat(const std::string& fileName, TTagLibStreamFormat& format)
{
  const TTagLibFormat kind = TagLibFormatOf(AnsiLowerCase(ExtractFileExt(fileName)));
  if (kind == TTagLibFormat::None) {
    return false;
  }
  try {
    TFileStream stream(fileName, fmOpenRead | fmShareDenyNone);
    TTagLibTagger tagger;
    if (!tagger.Read(stream, kind)) {
      return false;
    }
    format = tagger.StreamFormat();
    return true;
  } catch (const Exception&) {
    return false;
  }
}

void TOxaMusicTag::LoadOther(bool wave)
{
  FBitrate = 0;
  FDuration = 0;
  FSetB = TValueSet{0,
                    0,
                    std::string(UnknownText),
                    "",
                    std::string(UnknownText),
                    std::string(UnknownText),
                    std::string(UnknownText)};
  std::unique_ptr<TFileStream> stream;
  try {
    stream = std::make_unique<TFileStream>(FFileName, fmOpenRead | fmShareDenyNone);
  } catch (const EFOpenError&) {
    return;  // the fingerprint stays zero
  }
  FCheckSum->Compute(*stream, false, FChecksum);
  if (NoWindowFound()) {
    FCheckSum->ComputeFallback(*stream, false, 0, FChecksum);
  }
  if (wave) {
    TWaveHeader header;
    header.Analyse(*stream);
    FBitrate = header.Bitrate();
    FDuration = header.Duration();
  }
}

void TOxaMusicTag::CopyTo(const TValueSet& values, TMusicFileItem& item)
{
  item.Title = values.Title;
  item.Artist = values.Artist;
  item.Album = values.Album;
  item.Comment = values.Comment;
  item.Genre = values.Genre;
  item.Year = values.Year;
  item.Track = values.Track;
}

namespace {

bool Placeholder(const std::string& text)
{
  return text.empty() || text == UnknownText;
}

}  // namespace

TOxaMusicTag::TValueSet TOxaMusicTag::Id3Shown() const
{
  TValueSet shown = FSetA;
  if (!FHasId3v1) {
    return shown;
  }
  for (const auto field :
       {&TValueSet::Genre, &TValueSet::Comment, &TValueSet::Title, &TValueSet::Artist, &TValueSet::Album}) {
    if (Placeholder(shown.*field) && !Placeholder(FSetB.*field)) {
      shown.*field = FSetB.*field;
    }
  }
  for (const auto field : {&TValueSet::Year, &TValueSet::Track}) {
    if (shown.*field == 0) {
      shown.*field = FSetB.*field;
    }
  }
  return shown;
}

bool TOxaMusicTag::ReadItem(TMusicFileItem& item)
{
  item.Title = UnknownText;
  item.Artist = UnknownText;
  item.Album = UnknownText;
  item.Genre = UnknownText;
  item.Year = 0;
  item.Track = 0;
  item.Bitrate = 0;
  item.Duration = 0;
  item.Checksum.fill(0);
  if (!Load(item.FileName, TLoadPurpose::Read)) {
    return false;
  }
  if (!FHasWmaTag && FHasId3v2) {
    CopyTo(Id3Shown(), item);
  } else if (FHasWmaTag || FHasId3v1 || FTagLibFormat != TTagLibFormat::None) {
    CopyTo(FSetB, item);
  }
  item.Bitrate = FBitrate;
  item.Duration = FDuration;
  item.Checksum = FChecksum;
  return true;
}

unsigned TOxaMusicTag::EditedFields(const TMusicFileItem& item, const TValueSet& shown, const TRawValues& raw)
{
  unsigned edited = 0;
  const auto text = [&](TItemField field, const std::string& value, const std::string& shownValue,
                        const std::string& rawValue) {
    if (!Placeholder(value) && value != shownValue && value != rawValue) {
      edited |= field;
    }
  };
  text(ifTitle, item.Title, shown.Title, raw.Title);
  text(ifArtist, item.Artist, shown.Artist, raw.Artist);
  text(ifAlbum, item.Album, shown.Album, raw.Album);
  text(ifComment, item.Comment, shown.Comment, raw.Comment);
  text(ifGenre, item.Genre, shown.Genre, raw.Genre);
  if (item.Year > 0 && item.Year != shown.Year && item.Year != StrToIntDef(Trim(raw.Year), 0)) {
    edited |= ifYear;
  }
  if (item.Track > 0 && item.Track != shown.Track && item.Track != raw.Track) {
    edited |= ifTrack;
  }
  return edited;
}

unsigned TOxaMusicTag::FieldsWithValues(const TValueSet& values)
{
  const std::pair<TItemField, bool> present[] = {
      {ifTitle, !Placeholder(values.Title)}, {ifArtist, !Placeholder(values.Artist)},
      {ifAlbum, !Placeholder(values.Album)}, {ifComment, !Placeholder(values.Comment)},
      {ifGenre, !Placeholder(values.Genre)}, {ifYear, values.Year > 0},
      {ifTrack, values.Track > 0},
  };
  unsigned fields = 0;
  for (const auto& [field, has] : present) {
    if (has) {
      fields |= field;
    }
  }
  return fields;
}

std::string_view TagWriteFailureText(TTagWriteFailure failure) noexcept
{
  switch (failure) {
    case TTagWriteFailure::None:
      return "no failure";
    case TTagWriteFailure::Unreadable:
      return "the file or its tags cannot be read";
    case TTagWriteFailure::NotTaggable:
      return "files of this kind get no tags";
    case TTagWriteFailure::ReadOnly:
      return "the file is read-only";
    case TTagWriteFailure::NoSpace:
      return "the disk is full";
    case TTagWriteFailure::Locked:
      return "another program holds the file";
    case TTagWriteFailure::Failed:
      break;
  }
  return "the write failed";
}

namespace {

TTagWriteFailure FailureFromError(DWORD error) noexcept
{
  switch (error) {
    case ERROR_DISK_FULL:
      return TTagWriteFailure::NoSpace;
    case ERROR_ACCESS_DENIED:
      return TTagWriteFailure::ReadOnly;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return TTagWriteFailure::Locked;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return TTagWriteFailure::Unreadable;
    default:
      return TTagWriteFailure::Failed;
  }
}

}  // namespace

bool TOxaMusicTag::WriteItem(const TMusicFileItem& item)
{
  FWriteFailure = TTagWriteFailure::None;
  if (!Load(item.FileName)) {
    FWriteFailure = TTagWriteFailure::Unreadable;
    return false;
  }
  if (FReadOnly) {
    FWriteFailure = TTagWriteFailure::ReadOnly;
    return false;
  }
  if (FKind == TMusicKind::Other || (FKind == TMusicKind::Wma && !FWmaAvailable)) {
    FWriteFailure = TTagWriteFailure::NotTaggable;
    return false;
  }
  // What the user saw came from ID3v2 when the file has it, else from ID3v1 (or WMA).
  const bool fromA = FKind == TMusicKind::Mp3 && (FHasId3v2 || !FHasId3v1);
  const TValueSet shown = fromA ? Id3Shown() : FSetB;
  const TRawValues& raw = fromA ? FRawA : FRawB;
  FEdited = EditedFields(item, shown, raw);
  if (FEdited == 0) {
    return true;
  }
  // The values to write: the edited ones, and for the rest the file's own (a new tag takes them
  // as the file has them, uncleaned).
  TValueSet values;
  values.Title = (FEdited & ifTitle) != 0 ? item.Title : raw.Title;
  values.Artist = (FEdited & ifArtist) != 0 ? item.Artist : raw.Artist;
  values.Album = (FEdited & ifAlbum) != 0 ? item.Album : raw.Album;
  values.Comment = (FEdited & ifComment) != 0 ? item.Comment : raw.Comment;
  values.Genre = (FEdited & ifGenre) != 0 ? item.Genre : shown.Genre;
  values.Year = (FEdited & ifYear) != 0 ? item.Year : StrToIntDef(Trim(raw.Year), 0);
  values.Track = (FEdited & ifTrack) != 0 ? item.Track : raw.Track;
  if (FKind == TMusicKind::Mp3) {
    FSetA = values;
  } else if (FKind == TMusicKind::Wma) {
    FSetB = values;
    FHasWmaTag = true;
  } else {
    FSetB = values;
  }
  return Save();
}
bool TOxaMusicTag::Save()
{
  if (FReadOnly) {
    return false;
  }
  switch (FKind) {
    case TMusicKind::Mp3:
      return SaveMp3();
    case TMusicKind::Wma:
      return SaveWma();
    case TMusicKind::Flac:
    case TMusicKind::Ogg:
    case TMusicKind::Mp4:
      return SaveTagLib();
    case TMusicKind::Other:
      break;
  }
  return false;
}

bool TOxaMusicTag::SaveMp3()
{
  const int index = Id3GenreIndex(FSetA.Genre);
  const int genre = index >= 0 ? index : Id3NoGenre;
  const std::string year = IntToStr(FSetA.Year);

  // A tag the file has gets the edited fields; a new one every field with a value.
  TID3Version2Tagger2& v2 = *FId3v2Tagger;
  const unsigned toV2 = FHasId3v2 ? FEdited : FEdited | FieldsWithValues(FSetA);
  if ((toV2 & ifTrack) != 0) {
    v2.SetTrack(FSetA.Track);
  }
  if ((toV2 & ifGenre) != 0) {
    v2.SetGenreText(index >= 0 ? std::string() : FSetA.Genre);
    v2.SetGenre(genre);
  }
  if ((toV2 & ifComment) != 0) {
    v2.SetComment(FSetA.Comment);
  }
  if ((toV2 & ifAlbum) != 0) {
    v2.SetAlbum(FSetA.Album);
  }
  if ((toV2 & ifTitle) != 0) {
    v2.SetTitle(FSetA.Title);
  }
  if ((toV2 & ifArtist) != 0) {
    v2.SetArtist(FSetA.Artist);
  }
  if ((toV2 & ifYear) != 0) {
    v2.SetYear(year);
  }
  TID3Version1Tagger& v1 = *FId3v1Tagger;
  const unsigned toV1 = FHasId3v1 ? FEdited : FEdited | FieldsWithValues(FSetA);
  if ((toV1 & ifGenre) != 0) {
    v1.SetGenre(genre);
  }
  if ((toV1 & ifComment) != 0) {
    v1.SetComment(FSetA.Comment);
  }
  if ((toV1 & ifAlbum) != 0) {
    v1.SetAlbum(FSetA.Album);
  }
  if ((toV1 & ifTitle) != 0) {
    v1.SetTitle(FSetA.Title);
  }
  if ((toV1 & ifArtist) != 0) {
    v1.SetArtist(FSetA.Artist);
  }
  if ((toV1 & ifYear) != 0) {
    v1.SetYear(year);
  }
  if ((toV1 & ifTrack) != 0) {
    v1.SetTrack(FSetA.Track);
  }
  // Both tags reach the file in one step, or neither does: the ID3v1 tag rides along as the
  // tail of the ID3v2 save, and goes alone only when ID3v2 has nothing to write.
  const TID3Version1Tagger::TTagBytes v1Bytes = v1.Compose();
  TId3FileTail tail;
  if (v1.Modified()) {
    tail.Bytes = v1Bytes;
    tail.ReplacedSize = v1.HasTag() ? TID3Version1Tagger::TagSize : 0;
  }
  switch (v2.SaveWithTail(tail)) {
    case TID3Version2Tagger2::TSaveResult::Saved:
      if (v1.Modified()) {
        v1.Saved(v1Bytes);
      }
      return true;
    case TID3Version2Tagger2::TSaveResult::Failed:
      FWriteFailure = FailureFromError(v2.SaveError());
      return false;
    case TID3Version2Tagger2::TSaveResult::NothingToWrite:
      break;
  }
  if (!v1.Save()) {
    FWriteFailure = FailureFromError(v1.SaveError());
    return false;
  }
  return true;
}

bool TOxaMusicTag::SaveWma()
{
  TWMATagger& wma = *FWmaTagger;
  if (!wma.Open(FFileName)) {
    FWriteFailure = TTagWriteFailure::Unreadable;
    return false;
  }
  if ((FEdited & ifTrack) != 0) {
    wma.SetTrack(FSetB.Track);
  }
  if ((FEdited & ifGenre) != 0) {
    wma.SetGenre(Utf8ToUtf16(FSetB.Genre));
  }
  if ((FEdited & ifComment) != 0) {
    wma.SetDescription(Utf8ToUtf16(FSetB.Comment));
  }
  if ((FEdited & ifAlbum) != 0) {
    wma.SetAlbum(Utf8ToUtf16(FSetB.Album));
  }
  if ((FEdited & ifTitle) != 0) {
    wma.SetTitle(Utf8ToUtf16(FSetB.Title));
  }
  if ((FEdited & ifArtist) != 0) {
    wma.SetAuthor(Utf8ToUtf16(FSetB.Artist));
  }
  if ((FEdited & ifYear) != 0) {
    wma.SetYear(Utf8ToUtf16(IntToStr(FSetB.Year)));
  }
  const bool saved = wma.Save();
  wma.Close();
  if (!saved) {
    FWriteFailure = TTagWriteFailure::Failed;
  }
  return saved;
}

bool TOxaMusicTag::SaveTagLib()
{
  static_assert(unsigned{ifTitle} == tfTitle && unsigned{ifArtist} == tfArtist &&
                unsigned{ifAlbum} == tfAlbum && unsigned{ifComment} == tfComment &&
                unsigned{ifGenre} == tfGenre && unsigned{ifYear} == tfYear && unsigned{ifTrack} == tfTrack);
  const TTagLibFields values{FSetB.Title, FSetB.Artist,         FSetB.Album, FSetB.Comment,
                             FSetB.Genre, IntToStr(FSetB.Year), FSetB.Track};
  return TTagLibTagger::Write(FFileName, FTagLibFormat, FEdited, values);
}
