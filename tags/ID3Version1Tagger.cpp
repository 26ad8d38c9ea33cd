#include "tags/ID3Version1Tagger.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/core/LastError.h"
#include "rtl/Exception.h"
#include "rtl/FileStream.h"
#include "rtl/Utf8.h"

namespace {

struct TSlot {
  int Offset;
  int Width;
};

constexpr TSlot TitleSlot{3, 30};
constexpr TSlot ArtistSlot{33, 30};
constexpr TSlot AlbumSlot{63, 30};
constexpr TSlot YearSlot{93, 4};
constexpr TSlot CommentSlot{97, 30};
constexpr int TrackMarkerOffset = 125;
constexpr int TrackOffset = 126;
constexpr int GenreOffset = 127;

std::string ReadSlot(const TID3Version1Tagger::TTagBytes& bytes, TSlot slot)
{
  const auto* begin = reinterpret_cast<const char*>(bytes.data() + slot.Offset);
  const auto* end = begin + slot.Width;
  const auto* zero = std::find(begin, end, '\0');
  return Latin1ToUtf8(std::string_view(begin, static_cast<std::size_t>(zero - begin)));
}

// ISO-8859-1 has one byte a character, so cutting to the slot never splits one.
void WriteSlot(TID3Version1Tagger::TTagBytes& bytes, TSlot slot, const std::string& text)
{
  const std::string latin1 = Utf8ToLatin1(text);
  const std::size_t count = std::min(latin1.size(), static_cast<std::size_t>(slot.Width));
  std::memset(bytes.data() + slot.Offset, 0, static_cast<std::size_t>(slot.Width));
  std::memcpy(bytes.data() + slot.Offset, latin1.data(), count);
}

constexpr TSlot CommentWithTrackSlot{97, 28};

}  // namespace

void TID3Version1Tagger::Clear()
{
  FFileName.clear();
  ClearFields();
}

void TID3Version1Tagger::ClearFields()
{
  FTitle.clear();
  FArtist.clear();
  FTrack = 0;
  FAlbum.clear();
  FYear.clear();
  FGenre = Id3NoGenre;
  FComment.clear();
  FModified = false;
  FChanged = 0;
  FHasTag = false;
  FRaw.fill(0);
}

bool TID3Version1Tagger::Load(const std::string& fileName)
{
  Clear();
  FFileName = fileName;
  try {
    TFileStream stream(fileName, fmOpenRead | fmShareDenyNone);
    return LoadFromStream(stream);
  } catch (const Exception&) {
    ClearFields();
    return false;
  }
}

bool TID3Version1Tagger::LoadFromStream(TStream& stream)
{
  ClearFields();
  const std::int64_t size = stream.Seek(0, TSeekOrigin::soEnd);
  if (size < TagSize) {
    return false;
  }
  TTagBytes bytes{};
  stream.Seek(size - TagSize, TSeekOrigin::soBeginning);
  stream.ReadBuffer(bytes.data(), TagSize);
  if (bytes[0] != 'T' || bytes[1] != 'A' || bytes[2] != 'G') {
    return true;
  }
  FHasTag = true;
  FRaw = bytes;
  FTitle = ReadSlot(bytes, TitleSlot);
  FArtist = ReadSlot(bytes, ArtistSlot);
  FAlbum = ReadSlot(bytes, AlbumSlot);
  FYear = ReadSlot(bytes, YearSlot);
  FComment = ReadSlot(bytes, CommentSlot);
  FTrack = bytes[TrackMarkerOffset] == 0 ? bytes[TrackOffset] : 0;
  FGenre = bytes[GenreOffset];
  return true;
}

TID3Version1Tagger::TTagBytes TID3Version1Tagger::Compose() const
{
  // A tag that was read keeps the bytes of every field nobody changed, so a 30-character comment
  // of an ID3v1.0 tag is not cut for a new title.
  const unsigned changed = FHasTag ? FChanged : ~0U;
  TTagBytes bytes = FHasTag ? FRaw : TTagBytes{};
  bytes[0] = 'T';
  bytes[1] = 'A';
  bytes[2] = 'G';
  const auto write = [&](unsigned field, TSlot slot, const std::string& text) {
    if ((changed & field) != 0) {
      WriteSlot(bytes, slot, text);
    }
  };
  write(cfTitle, TitleSlot, FTitle);
  write(cfArtist, ArtistSlot, FArtist);
  write(cfAlbum, AlbumSlot, FAlbum);
  write(cfYear, YearSlot, FYear);
  // The track number takes the comment's last two bytes (ID3v1.1).
  const bool withTrack = (changed & cfTrack) != 0 || (FHasTag && FRaw[TrackMarkerOffset] == 0);
  write(cfComment, withTrack ? CommentWithTrackSlot : CommentSlot, FComment);
  if ((changed & cfTrack) != 0) {
    bytes[TrackMarkerOffset] = 0;
    bytes[TrackOffset] = static_cast<std::uint8_t>(FTrack);
  }
  if ((changed & cfGenre) != 0) {
    bytes[GenreOffset] = static_cast<std::uint8_t>(FGenre);
  }
  return bytes;
}

bool TID3Version1Tagger::WriteTag(TStream& stream, const TTagBytes& bytes) const
{
  const std::int64_t oldSize = stream.Size();
  // Overwrite only a tag that is still there: a file rewritten since the load must not lose
  // its last 128 bytes of audio.
  bool overwrite = false;
  TTagBytes oldBytes{};
  if (FHasTag && oldSize >= TagSize) {
    stream.Seek(-TagSize, TSeekOrigin::soEnd);
    overwrite = stream.Read(oldBytes.data(), TagSize) == TagSize && oldBytes[0] == 'T' &&
                oldBytes[1] == 'A' && oldBytes[2] == 'G';
  }
  stream.Seek(overwrite ? -TagSize : 0, TSeekOrigin::soEnd);
  try {
    stream.WriteBuffer(bytes.data(), TagSize);
    if (auto* file = dynamic_cast<TFileStream*>(&stream)) {
      file->Flush();
    }
    return true;
  } catch (const Exception&) {
    const DWORD error = GetLastError();
    // A partial append (full disk) must not stay glued to the audio, nor half a new tag stay
    // over the old one.
    try {
      if (overwrite) {
        stream.Seek(-TagSize, TSeekOrigin::soEnd);
        stream.WriteBuffer(oldBytes.data(), TagSize);
      }
      stream.SetSize(oldSize);
    } catch (const Exception&) {
    }
    SetLastError(error);
    return false;
  }
}

void TID3Version1Tagger::Saved(const TTagBytes& bytes)
{
  FHasTag = true;
  FRaw = bytes;
  FModified = false;
  FChanged = 0;
  FSaveError = ERROR_SUCCESS;
}

bool TID3Version1Tagger::Save()
{
  FSaveError = ERROR_SUCCESS;
  if (!FModified) {
    return true;
  }
  const TTagBytes bytes = Compose();
  if (!TagFileExists(FFileName)) {
    FSaveError = ERROR_FILE_NOT_FOUND;
    return false;
  }
  if (!TagFileClearReadOnly(FFileName)) {
    FSaveError = ERROR_ACCESS_DENIED;
    return false;
  }
  try {
    std::unique_ptr<TStream> stream;
    if (FCreateStream) {
      stream = FCreateStream(FFileName);
    } else {
      stream = std::make_unique<TFileStream>(FFileName, fmOpenReadWrite | fmShareDenyWrite);
    }
    if (!WriteTag(*stream, bytes)) {
      FSaveError = GetLastError();
      return false;
    }
  } catch (const Exception&) {
    FSaveError = GetLastError();
    return false;
  }
  FHasTag = true;
  FRaw = bytes;
  FModified = false;
  FChanged = 0;
  return true;
}
