#include "tags/ID3Version2Tagger2.h"

#include <algorithm>
#include <array>
#include <span>

#include "platform/core/LastError.h"
#include "rtl/Exception.h"
#include "rtl/FileStream.h"
#include "rtl/Format.h"
#include "tags/Id3Text.h"

namespace {

// A comment frame: encoding byte, three-letter language, a description ended by a terminator of
// the encoding, then the text. Its text is the comment; the encoding byte, language and
// description are not part of it.
struct TCommentFrame {
  std::string Language;
  std::string Description;
  std::string Text;
};

bool ParseComment(std::span<const std::uint8_t> data, TCommentFrame& frame)
{
  if (data.size() < 4) {
    return false;
  }
  frame.Language.assign(reinterpret_cast<const char*>(data.data()) + 1, 3);
  std::size_t pos = 4;
  return DecodeId3String(data[0], data, pos, frame.Description) &&
         DecodeId3String(data[0], data, pos, frame.Text);
}

// The comment frame the program reads and writes: the first one without a description, else
// the first one; 0 when there is none.
int CommentFrame(const TFrameIndex& frames)
{
  int first = 0;
  for (int i = 1; i <= frames.Count(); ++i) {
    TCommentFrame frame;
    if (frames.FrameID(i) != "COMM" || !ParseComment(frames.Data(i), frame)) {
      continue;
    }
    if (frame.Description.empty()) {
      return i;
    }
    first = first == 0 ? i : first;
  }
  return first;
}

// A comment frame's data for a new text: ISO-8859-1 when it fits, else UTF-16. The language and
// the description stay the frame's own when it had valid ones.
TByteBuffer CommentData(std::string_view comment, std::span<const std::uint8_t> old)
{
  TCommentFrame frame;
  frame.Language = "eng";
  if (!ParseComment(old, frame)) {
    frame.Description.clear();
  }
  const TId3Encoding encoding =
      Id3EncodingFor(frame.Description) == ieLatin1 ? Id3EncodingFor(comment) : ieUtf16;
  TByteBuffer data{encoding};
  data.insert(data.end(), frame.Language.begin(), frame.Language.end());
  EncodeId3String(encoding, frame.Description, data, TTerminate::Yes);
  EncodeId3String(encoding, comment, data, TTerminate::No);
  return data;
}

// The leading decimal number of a track text and what follows it ("3/12": 3 and "/12").
std::size_t LeadingDigits(std::string_view text) noexcept
{
  std::size_t digits = 0;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
    ++digits;
  }
  return digits;
}

}  // namespace

void TID3Version2Tagger2::Clear()
{
  FFileName.clear();
  FTitle.clear();
  FArtist.clear();
  FTrack = 0;
  FAlbum.clear();
  FYear.clear();
  FGenre = 0;
  FGenreText.clear();
  FComment.clear();
  FTrackText.clear();
  FModified = false;
  FChanged = 0;
  FHasTag = false;
}

int TID3Version2Tagger2::GenreFromText(const std::string& text) noexcept
{
  if (text.size() < 3 || text[0] != '(') {
    return Id3NoGenre;
  }
  int genre = 0;
  std::size_t digits = 0;
  while (digits < 3 && 1 + digits < text.size() && text[1 + digits] >= '0' && text[1 + digits] <= '9') {
    genre = genre * 10 + (text[1 + digits] - '0');
    ++digits;
  }
  if (digits == 0 || genre > Id3NoGenre) {
    return Id3NoGenre;
  }
  return genre;
}

int TID3Version2Tagger2::TrackFromText(const std::string& text) noexcept
{
  const std::size_t digits = LeadingDigits(text);
  if (digits == 0) {
    return 0;
  }
  std::int64_t value = 0;
  for (std::size_t i = 0; i < digits; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > INT32_MAX) {
      return 0;
    }
  }
  return static_cast<int>(value);
}

std::string TID3Version2Tagger2::TrackText(int track, const std::string& oldText)
{
  const std::size_t digits = LeadingDigits(oldText);
  const std::size_t slash = oldText.find('/', digits);
  return Format("%d", track) + (digits > 0 && slash == digits ? oldText.substr(slash) : std::string());
}

bool TID3Version2Tagger2::Load(const std::string& fileName)
{
  Clear();
  FFileName = fileName;
  FTag = std::make_unique<Tid3v2tag>();
  const std::uint16_t status = FTag->LoadFromFile(fileName, 0);
  if ((status & 0xFF00) == id3FileNotFound) {
    FTag.reset();
    return false;
  }
  try {
    if (OtherVersion()) {
      TFileStream stream(fileName, fmOpenRead | fmShareDenyNone);
      FTag->LoadConverted(stream);
    }
    ReadFields();
  } catch (const Exception&) {
    FTag.reset();
    return false;
  }
  return true;
}

bool TID3Version2Tagger2::LoadFromStream(TStream& stream, const std::string& fileName)
{
  Clear();
  FFileName = fileName;
  FTag = std::make_unique<Tid3v2tag>();
  try {
    FTag->LoadFromStream(stream, 0);
    if (OtherVersion()) {
      FTag->LoadConverted(stream);
    }
    ReadFields();
  } catch (const Exception&) {
    FTag.reset();
    return false;
  }
  return true;
}

bool TID3Version2Tagger2::OtherVersion() const noexcept
{
  return (FTag->Status() & 0xFF00) == id3BadVersion &&
         (FTag->MajorVersion() == 2 || FTag->MajorVersion() == 4);
}

void TID3Version2Tagger2::ReadFields()
{
  if (!Id3StatusOk(FTag->Status())) {
    return;
  }
  FHasTag = true;
  FTag->ReadText("TIT2", FTitle);
  FTag->ReadText("TPE1", FArtist);
  FTag->ReadText("TALB", FAlbum);
  FTag->ReadText("TYER", FYear);
  FTag->ReadText("TCON", FGenreText);
  TCommentFrame comment;
  const int commentFrame = CommentFrame(FTag->Frames());
  if (commentFrame != 0 && ParseComment(FTag->Frames().Data(commentFrame), comment)) {
    FComment = comment.Text;
  }
  FGenre = GenreFromText(FGenreText);
  FTag->ReadText("TRCK", FTrackText);
  FTrack = TrackFromText(FTrackText);
}

// A file without a tag gets one that a save will insert in front of all its bytes.
bool TID3Version2Tagger2::SeedTag()
{
  if (!TagFileExists(FFileName) || !TagFileClearReadOnly(FFileName)) {
    return false;
  }
  static constexpr std::uint8_t Seed[] = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 11, 'C',
                                          'O', 'M', 'M', 0, 0, 0, 1, 0, 0, 0};
  TMemoryStream seed;
  seed.WriteBuffer(Seed, sizeof Seed);
  if (!Id3StatusOk(FTag->LoadForInsertion(seed, FFileName))) {
    return false;
  }
  // The seed's one-byte COMM frame is no comment; the frames come from the fields that are set.
  FTag->Frames().Clear();
  return true;
}

bool TID3Version2Tagger2::Save()
{
  return SaveWithTail({}) != TSaveResult::Failed;
}

TID3Version2Tagger2::TSaveResult TID3Version2Tagger2::SaveWithTail(const TId3FileTail& tail)
{
  FSaveError = ERROR_SUCCESS;
  if (!FTag) {
    return TSaveResult::Failed;
  }
  if (FChanged == 0) {
    return TSaveResult::NothingToWrite;
  }
  if (!FHasTag && !SeedTag()) {
    FSaveError = TagFileExists(FFileName) ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
    return TSaveResult::Failed;
  }
  TFrameIndex& frames = FTag->Frames();
  if (Changed(cfComment) && !FComment.empty()) {
    int index = CommentFrame(frames);
    if (index == 0) {
      index = frames.Add("COMM");
    }
    frames.SetFlags(index, 0);
    frames.SetData(index, CommentData(FComment, frames.Data(index)));
  }
  const std::pair<TChangedField, std::pair<const char*, const std::string*>> texts[] = {
      {cfTitle, {"TIT2", &FTitle}},
      {cfArtist, {"TPE1", &FArtist}},
      {cfAlbum, {"TALB", &FAlbum}},
      {cfYear, {"TYER", &FYear}},
  };
  for (const auto& [field, frame] : texts) {
    if (Changed(field)) {
      FTag->WriteText(frame.first, *frame.second);
    }
  }
  if (Changed(cfGenre)) {
    FTag->WriteText("TCON", FGenre == Id3NoGenre ? FGenreText : Format("(%d)", FGenre));
  }
  if (Changed(cfTrack) && FTrack > 0) {
    FTag->WriteText("TRCK", TrackText(FTrack, FTrackText));
  }
  if (FTag->Frames().Count() == 0) {
    // Nothing but empty fields were set on a file without a tag: it stays without one.
    return TSaveResult::NothingToWrite;
  }
  if (!Id3StatusOk(FTag->SaveToFile("=", 0xFF, 0xFF, -1, tail))) {
    FSaveError = FTag->SaveError();
    return TSaveResult::Failed;
  }
  // The file has a tag now: a second save must update it, not insert another.
  FHasTag = true;
  FModified = false;
  FChanged = 0;
  FTag->ReadText("TRCK", FTrackText);
  return TSaveResult::Saved;
}
