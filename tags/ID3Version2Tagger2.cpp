#include "tags/ID3Version2Tagger2.h"

#include <algorithm>
#include <array>
#include <span>

#include "rtl/Exception.h"
#include "rtl/Format.h"
#include "rtl/Utf8.h"

namespace {

// The frames a new tag gets, in this order.
constexpr std::array<const char*, 7> SeedFrames = {"TIT2", "COMM", "TPE1", "TALB", "TYER", "TCON", "TRCK"};

// A comment frame: encoding byte, three-letter language, a description ended by a terminator of
// the encoding, then the text. Its text is the comment; the encoding byte, language and
// description are not part of it.
struct TCommentFrame {
  std::string Language;
  std::string Description;
  std::string Text;
};

// Decodes ISO-8859-1 (0) or UTF-16 with a byte-order mark (1) to UTF-8, up to a terminator;
// pos moves past the terminator. False for another encoding.
bool DecodeUntilTerminator(std::uint8_t encoding, std::span<const std::uint8_t> data, std::size_t& pos,
                           std::string& text)
{
  if (encoding == 0) {
    const std::size_t start = pos;
    while (pos < data.size() && data[pos] != 0) {
      ++pos;
    }
    text = Latin1ToUtf8(std::string_view(reinterpret_cast<const char*>(data.data()) + start, pos - start));
    pos = pos < data.size() ? pos + 1 : pos;
    return true;
  }
  if (encoding != 1) {
    return false;
  }
  bool bigEndian = false;
  if (pos + 1 < data.size() &&
      ((data[pos] == 0xFE && data[pos + 1] == 0xFF) || (data[pos] == 0xFF && data[pos + 1] == 0xFE))) {
    bigEndian = data[pos] == 0xFE;
    pos += 2;
  }
  std::u16string units;
  while (pos + 1 < data.size()) {
    const auto unit = static_cast<char16_t>(bigEndian ? (data[pos] << 8) | data[pos + 1]
                                                      : data[pos] | (data[pos + 1] << 8));
    pos += 2;
    if (unit == 0) {
      break;
    }
    units.push_back(unit);
  }
  if (pos + 1 == data.size()) {
    ++pos;
  }
  text = Utf16ToUtf8(units);
  return true;
}

bool ParseComment(std::span<const std::uint8_t> data, TCommentFrame& frame)
{
  if (data.size() < 4) {
    return false;
  }
  frame.Language.assign(reinterpret_cast<const char*>(data.data()) + 1, 3);
  std::size_t pos = 4;
  return DecodeUntilTerminator(data[0], data, pos, frame.Description) &&
         DecodeUntilTerminator(data[0], data, pos, frame.Text);
}

// The text of the comment: the first comment frame without a description, else the first one.
std::string CommentOf(const TFrameIndex& frames)
{
  std::string first;
  bool haveFirst = false;
  for (int i = 1; i <= frames.Count(); ++i) {
    TCommentFrame frame;
    if (frames.FrameID(i) != "COMM" || !ParseComment(frames.Data(i), frame)) {
      continue;
    }
    if (frame.Description.empty()) {
      return frame.Text;
    }
    if (!haveFirst) {
      first = frame.Text;
      haveFirst = true;
    }
  }
  return first;
}

// A comment frame in ISO-8859-1 with an empty description; characters that do not fit become
// "?". The language stays the frame's own when it had a valid one.
TByteBuffer CommentData(std::string_view comment, std::span<const std::uint8_t> old)
{
  TByteBuffer data{0, 'e', 'n', 'g', 0};
  TCommentFrame frame;
  if (ParseComment(old, frame)) {
    std::copy(frame.Language.begin(), frame.Language.end(), data.begin() + 1);
  }
  const std::string latin1 = Utf8ToLatin1(comment);
  data.insert(data.end(), latin1.begin(), latin1.end());
  return data;
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
  FModified = false;
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
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i == text.size()) {
    return 0;
  }
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') {
      return 0;
    }
    value = value * 10 + (text[i] - '0');
    if (value > INT32_MAX) {
      return 0;
    }
  }
  return static_cast<int>(negative ? -value : value);
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
    ReadFields();
  } catch (const Exception&) {
    FTag.reset();
    return false;
  }
  return true;
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
  FComment = CommentOf(FTag->Frames());
  FGenre = GenreFromText(FGenreText);
  std::string track;
  FTag->ReadText("TRCK", track);
  FTrack = TrackFromText(track);
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
  // The seed already has its COMM frame; a second one would carry the comment twice.
  TFrameIndex& frames = FTag->Frames();
  for (const char* id : SeedFrames) {
    if (frames.Find(id) == 0) {
      frames.Add(id);
    }
  }
  return true;
}

bool TID3Version2Tagger2::Save()
{
  if (!FTag) {
    return false;
  }
  if (!FHasTag && !SeedTag()) {
    return false;
  }
  TFrameIndex& frames = FTag->Frames();
  if (!FComment.empty()) {
    for (int i = 1; i <= frames.Count(); ++i) {
      if (frames.FrameID(i) == "COMM") {
        frames.SetFlags(i, 0);
        frames.SetData(i, CommentData(FComment, frames.Data(i)));
      }
    }
  }
  FTag->WriteText("TIT2", FTitle);
  FTag->WriteText("TPE1", FArtist);
  FTag->WriteText("TALB", FAlbum);
  FTag->WriteText("TYER", FYear);
  FTag->WriteText("TCON", FGenre == Id3NoGenre ? FGenreText : Format("(%d)", FGenre));
  FTag->WriteText("TRCK", Format("%d", FTrack));
  if (!Id3StatusOk(FTag->SaveToFile("=", 0xFF, 0xFF, -1))) {
    return false;
  }
  // The file has a tag now: a second save must update it, not insert another.
  FHasTag = true;
  FModified = false;
  return true;
}
