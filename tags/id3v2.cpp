#include "tags/id3v2.h"

#include <algorithm>

#include "rtl/Exception.h"
#include "rtl/FileStream.h"
#include "tags/Id3Text.h"
#include "tags/Zlib.h"
#include "tags/id3v2Versions.h"

namespace {

constexpr std::size_t HeaderSize = 10;
constexpr std::uint32_t MaxFrameSize = 0x10000000;
// A compressed frame may inflate to this many times the tag's size, and never less than this.
constexpr std::size_t InflateFactor = 64;
constexpr std::size_t MinInflateLimit = 1 << 20;

std::uint32_t BigEndian32(const std::uint8_t* bytes) noexcept
{
  return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) |
         std::uint32_t{bytes[3]};
}

std::uint16_t BigEndian16(const std::uint8_t* bytes) noexcept
{
  return static_cast<std::uint16_t>((bytes[0] << 8) | bytes[1]);
}

bool IsTextFrameId(std::string_view id) noexcept
{
  return id.size() == 4 && id.front() == 'T' && id != "TXXX";
}

// A text frame's data after the unsynchronisation and compression are undone.
int DecodeTextFrame(std::span<const std::uint8_t> data, std::string& text)
{
  const std::uint8_t encoding = data[0];
  if (encoding > ieUtf8) {
    return trUnknownEncoding;
  }
  if (data.size() < 2) {
    return trEmpty;
  }
  // 0xFF in ISO-8859-1 text is the trace of a botched unsynchronisation, not a letter.
  if (encoding == ieLatin1) {
    const auto end = std::find(data.begin() + 1, data.end(), 0);
    if (std::find(data.begin() + 1, end, 255) != end) {
      return trInvalidCharacter;
    }
  }
  std::size_t pos = 1;
  std::string decoded;
  DecodeId3String(encoding, data, pos, decoded);
  // A UTF-16 frame of no more than its byte-order mark and terminator holds nothing.
  if (decoded.empty() && encoding != ieLatin1 && data.size() < 5) {
    return trEmpty;
  }
  // Control characters are no part of a title or name: such a frame is damaged.
  if (std::any_of(decoded.begin(), decoded.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 32; })) {
    return trInvalidCharacter;
  }
  text = std::move(decoded);
  return trFound;
}

}  // namespace

TByteBuffer RemoveUnsynchronisation(std::span<const std::uint8_t> data)
{
  TByteBuffer result;
  result.reserve(data.size());
  for (std::size_t i = 0; i < data.size(); ++i) {
    result.push_back(data[i]);
    if (data[i] == 0xFF && i + 1 < data.size() && data[i + 1] == 0x00) {
      ++i;
    }
  }
  return result;
}

TByteBuffer ApplyUnsynchronisation(std::span<const std::uint8_t> data)
{
  TByteBuffer result;
  result.reserve(data.size() + data.size() / 16 + 1);
  for (std::size_t i = 0; i < data.size(); ++i) {
    result.push_back(data[i]);
    if (data[i] == 0xFF && (i + 1 == data.size() || data[i + 1] == 0x00 || data[i + 1] >= 0xE0)) {
      result.push_back(0x00);
    }
  }
  return result;
}

// TFrameIndex

bool TFrameIndex::ValidId(std::string_view id) noexcept
{
  return id.size() == 4 && std::all_of(id.begin(), id.end(), [](char c) {
           return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
         });
}

const TId3Frame& TFrameIndex::At(int index) const
{
  if (index < 1 || index > Count()) {
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  }
  return FFrames[static_cast<std::size_t>(index - 1)];
}

TId3Frame& TFrameIndex::At(int index)
{
  return const_cast<TId3Frame&>(static_cast<const TFrameIndex&>(*this).At(index));
}

int TFrameIndex::Add(std::string_view id)
{
  if (!ValidId(id)) {
    return 0;
  }
  TId3Frame frame;
  frame.Id.assign(id);
  std::transform(frame.Id.begin(), frame.Id.end(), frame.Id.begin(),
                 [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
  FFrames.push_back(std::move(frame));
  return Count();
}

int TFrameIndex::Find(std::string_view id) const noexcept
{
  for (std::size_t i = 0; i < FFrames.size(); ++i) {
    if (FFrames[i].Id == id) {
      return static_cast<int>(i + 1);
    }
  }
  return 0;
}

bool TFrameIndex::SetFrameID(int index, std::string_view id)
{
  TId3Frame& frame = At(index);
  if (!ValidId(id)) {
    return false;
  }
  frame.Id.assign(id);
  std::transform(frame.Id.begin(), frame.Id.end(), frame.Id.begin(),
                 [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
  return true;
}

void TFrameIndex::SetData(int index, TByteBuffer data)
{
  TId3Frame& frame = At(index);
  frame.Data = std::move(data);
  frame.DataCompressed = false;
  frame.DataUnsynchronised = false;
}

bool TFrameIndex::Decompress(int index, std::size_t limit)
{
  TId3Frame& frame = At(index);
  if (!frame.DataCompressed) {
    return true;
  }
  TByteBuffer plain;
  if (!ZlibInflate(frame.Data, limit, plain)) {
    return false;
  }
  frame.Data = std::move(plain);
  frame.DataCompressed = false;
  return true;
}

void TFrameIndex::RemoveUnsynchronisation(int index)
{
  TId3Frame& frame = At(index);
  if (frame.DataUnsynchronised) {
    frame.Data = ::RemoveUnsynchronisation(frame.Data);
    frame.DataUnsynchronised = false;
  }
}

// Tid3v2tag: loading and text

std::size_t Tid3v2tag::InflateLimit() const noexcept
{
  return std::min<std::size_t>(MaxFrameSize, std::max(MinInflateLimit, InflateFactor * FSize));
}

std::uint16_t Tid3v2tag::Fail(std::uint16_t code) noexcept
{
  FStatus = static_cast<std::uint16_t>(code | (FStatus & 0xFF));
  return FStatus;
}

void Tid3v2tag::SetStage(const char* stage, int progress)
{
  FStage = stage;
  SetProgress(progress);
}

void Tid3v2tag::SetProgress(int progress)
{
  FProgress = progress;
  if (FOnProgress) {
    FOnProgress(*this);
  }
}

std::uint16_t Tid3v2tag::LoadFromFile(const std::string& fileName, std::int64_t offset)
{
  FFileName = fileName;
  FReadOnly = TagFileProtected(fileName);
  try {
    TFileStream stream(fileName, fmOpenRead | fmShareDenyNone);
    return LoadFromStream(stream, offset);
  } catch (const Exception&) {
    FLoaded = false;
    FStatus = id3FileNotFound;
    return FStatus;
  }
}

std::uint16_t Tid3v2tag::LoadForInsertion(TStream& tag, const std::string& fileName)
{
  const std::uint16_t status = LoadFromStream(tag, 0);
  FFileName = fileName;
  FReadOnly = TagFileProtected(fileName);
  FOffset = 0;
  FTagSpace = 0;
  return status;
}

std::uint16_t Tid3v2tag::LoadFromStream(TStream& stream, std::int64_t offset)
{
  FStatus = 0;
  FLoaded = false;
  FOffset = offset;
  FTagSpace = 0;
  FMajorVersion = 0;
  FRevision = 0;
  FFlags = 0;
  FSize = 0;
  FExtendedFlags = 0;
  FHasCrc = false;
  FCrc = 0;
  FPaddingSize = 0;
  FFrames.Clear();
  try {
    Parse(stream, offset);
  } catch (const Exception&) {
    // The stream failed under us (a file cut short while reading).
    Fail(id3BadTag);
  }
  FLoaded = Id3StatusOk(FStatus);
  return FStatus;
}

std::uint16_t Tid3v2tag::Parse(TStream& stream, std::int64_t offset)
{
  const std::int64_t size = stream.Size();
  if (offset < 0 || offset > size) {
    return Fail(id3OffsetBeyondEnd);
  }
  std::uint8_t header[HeaderSize];
  stream.Seek(offset, TSeekOrigin::soBeginning);
  if (size - offset < static_cast<std::int64_t>(HeaderSize) ||
      stream.Read(header, HeaderSize) != HeaderSize) {
    return Fail(id3NoHeader);
  }
  if (header[0] != 'I' || header[1] != 'D' || header[2] != '3' || header[3] == 255 || header[4] == 255 ||
      header[6] >= 0x80 || header[7] >= 0x80 || header[8] >= 0x80 || header[9] >= 0x80) {
    return Fail(id3NoHeader);
  }
  FMajorVersion = header[3];
  FRevision = header[4];
  FSize = (std::uint32_t{header[6]} << 21) | (std::uint32_t{header[7]} << 14) |
          (std::uint32_t{header[8]} << 7) | std::uint32_t{header[9]};
  if (FMajorVersion != 3) {
    return Fail(id3BadVersion);
  }
  if (FRevision != 0) {
    return Fail(id3BadRevision);
  }

  SetStage("Loading tag", 0);
  FFlags = header[5];
  if ((FFlags & 0x1F) != 0) {
    FStatus |= id3UndefinedFlags;
  }
  if (offset + static_cast<std::int64_t>(HeaderSize) + FSize > size) {
    return Fail(id3TagBeyondEnd);
  }
  TByteBuffer body(FSize);
  if (FSize > 0) {
    stream.ReadBuffer(body.data(), FSize);
  }
  if ((FFlags & tfUnsynchronisation) != 0) {
    body = RemoveUnsynchronisation(body);
  }

  std::size_t position = 0;
  if ((FFlags & tfExtendedHeader) != 0 && body.size() > 10) {
    const std::uint32_t extendedSize = BigEndian32(&body[0]);
    FExtendedFlags = BigEndian16(&body[4]);
    FPaddingSize = BigEndian32(&body[6]);
    if ((FExtendedFlags & 0x7FFF) != 0) {
      FStatus |= id3UndefinedExtendedFlags;
    }
    if ((FExtendedFlags & 0x8000) != 0 && extendedSize == 10 && body.size() >= 14) {
      FHasCrc = true;
      FCrc = BigEndian32(&body[10]);
    }
    // The extended header's own size field does not count itself; never less than its fixed part.
    const std::uint64_t extendedEnd = 4 + std::uint64_t{std::max<std::uint32_t>(extendedSize, 6)};
    if (extendedEnd > body.size()) {
      return Fail(id3BadTag);
    }
    position = static_cast<std::size_t>(extendedEnd);
  }
  ParseFrames(body, position);
  FTagSpace = static_cast<std::int64_t>(HeaderSize) + FSize;
  SetStage("Load Complete", 100);
  return FStatus;
}

namespace {

// Frame flags ID3v2.3 defines, and the one unsynchronisation flag honoured beside them.
constexpr std::uint16_t KnownFrameFlags = 0xE0E0 | ffUnsynchronised;

bool HeaderIdCharacter(std::uint8_t c) noexcept
{
  return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Whether a frame header written by a sound writer could start at position: an ID of A-Z and
// 0-9 that starts with a letter, a size that fits in the rest of the tag, only defined flags.
bool PlausibleFrameHeader(const TByteBuffer& body, std::size_t position) noexcept
{
  if (body.size() - position < HeaderSize) {
    return false;
  }
  const std::uint8_t* header = &body[position];
  return header[0] >= 'A' && header[0] <= 'Z' && std::all_of(header + 1, header + 4, HeaderIdCharacter) &&
         BigEndian32(header + 4) <= body.size() - position - HeaderSize &&
         (BigEndian16(header + 8) & ~KnownFrameFlags) == 0;
}

// Where the frames go on after a damaged one that starts at position: the next plausible frame
// header, or the end.
std::size_t NextFrameHeader(const TByteBuffer& body, std::size_t position) noexcept
{
  for (std::size_t at = position + 1; at + HeaderSize <= body.size(); ++at) {
    if (PlausibleFrameHeader(body, at)) {
      return at;
    }
  }
  return body.size();
}

}  // namespace

// A damaged frame (an invalid ID, a size beyond the tag, extra header fields it has no room for)
// is left out, and the frames go on at the next plausible frame header: the sound frames around
// it are the tag.
void Tid3v2tag::ParseFrames(const TByteBuffer& body, std::size_t position)
{
  while (position < body.size()) {
    const std::size_t remaining = body.size() - position;
    const std::uint8_t* header = &body[position];
    // Fewer bytes than a frame header, or a header of zeros: the padding.
    if (remaining < HeaderSize ||
        std::all_of(header, header + HeaderSize, [](std::uint8_t b) { return b == 0; })) {
      break;
    }
    TId3Frame frame;
    if (!ParseFrame(header, remaining, frame)) {
      FStatus |= id3DamagedFrames;
      position = NextFrameHeader(body, position);
      continue;
    }
    const int index = FFrames.Add(frame.Id);
    frame.Id = FFrames.FrameID(index);
    FFrames.Frame(index) = std::move(frame);
    position += HeaderSize + BigEndian32(header + 4);
  }
}

bool Tid3v2tag::ParseFrame(const std::uint8_t* header, std::size_t remaining, TId3Frame& frame)
{
  const std::string_view id(reinterpret_cast<const char*>(header), 4);
  const std::uint32_t frameSize = BigEndian32(header + 4);
  if (!TFrameIndex::ValidId(id) || frameSize >= MaxFrameSize || frameSize > remaining - HeaderSize) {
    return false;
  }
  frame.Id.assign(id);
  frame.Flags = BigEndian16(header + 8);
  const std::uint8_t* data = header + HeaderSize;
  std::size_t dataSize = frameSize;
  const auto take = [&](std::size_t count) -> const std::uint8_t* {
    if (count > dataSize) {
      return nullptr;
    }
    const std::uint8_t* field = data;
    data += count;
    dataSize -= count;
    return field;
  };
  if ((frame.Flags & ffCompressed) != 0) {
    const std::uint8_t* field = take(4);
    if (field == nullptr) {
      return false;
    }
    frame.DecompressedSize = BigEndian32(field);
  }
  if ((frame.Flags & ffEncrypted) != 0) {
    const std::uint8_t* field = take(1);
    if (field == nullptr) {
      return false;
    }
    frame.EncryptionMethod = *field;
  }
  if ((frame.Flags & ffGrouped) != 0) {
    const std::uint8_t* field = take(1);
    if (field == nullptr) {
      return false;
    }
    frame.Group = *field;
  }
  frame.Data.assign(data, data + dataSize);
  frame.DataCompressed = (frame.Flags & ffCompressed) != 0;
  frame.DataUnsynchronised = (frame.Flags & ffUnsynchronised) != 0;
  return true;
}

std::uint16_t Tid3v2tag::LoadConverted(TStream& stream)
{
  TConvertedId3v2Tag converted;
  bool read = false;
  try {
    read = ReadConvertedId3v2Tag(stream, converted);
  } catch (const Exception&) {
    read = false;
  }
  if (!read) {
    FLoaded = false;
    FStatus = id3BadVersion;
    return FStatus;
  }
  FStatus = 0;
  FOffset = 0;
  FMajorVersion = 3;
  FRevision = 0;
  FFlags = 0;
  FExtendedFlags = 0;
  FHasCrc = false;
  FCrc = 0;
  FPaddingSize = 0;
  FTagSpace = converted.Space;
  FSize = static_cast<std::uint32_t>(converted.Space - static_cast<std::int64_t>(HeaderSize));
  FFrames.Clear();
  for (TId3Frame& frame : converted.Frames) {
    const int index = FFrames.Add(frame.Id);
    if (index != 0) {
      FFrames.SetData(index, std::move(frame.Data));
    }
  }
  FLoaded = true;
  return FStatus;
}

int Tid3v2tag::ReadText(std::string_view id, std::string& text) const
{
  text.clear();
  if (!IsTextFrameId(id)) {
    return trNotTextFrame;
  }
  const int index = FFrames.Find(id);
  if (index == 0) {
    return trNoFrame;
  }
  const TId3Frame& frame = FFrames.Frame(index);
  TByteBuffer data = frame.DataUnsynchronised ? ::RemoveUnsynchronisation(frame.Data) : frame.Data;
  if ((frame.Flags & ffEncrypted) != 0) {
    return trEncrypted;
  }
  if (frame.DataCompressed) {
    TByteBuffer plain;
    if (!ZlibInflate(data, InflateLimit(), plain)) {
      return trBadCompression;
    }
    data = std::move(plain);
  }
  if (data.empty()) {
    return trEmpty;
  }
  return DecodeTextFrame(data, text);
}

int Tid3v2tag::WriteText(std::string_view id, const std::string& text)
{
  if (!IsTextFrameId(id)) {
    return trNotTextFrame;
  }
  if (text.empty()) {
    return trEmpty;
  }
  int index = FFrames.Find(id);
  if (index == 0) {
    index = FFrames.Add(id);
    if (index == 0) {
      return trNotTextFrame;
    }
  }
  const TId3Encoding encoding = Id3EncodingFor(text);
  TByteBuffer data{encoding};
  EncodeId3String(encoding, text, data, TTerminate::No);
  FFrames.SetFlags(index, 0);
  FFrames.SetData(index, std::move(data));
  return trFound;
}
