// Saving a tag: the frames are brought into the state their flags ask for and serialised; a tag
// that fits the old one's space is written over it, any other makes the file composed anew
// beside the old one — bytes before the tag, the new tag, the audio after the old tag, the
// tail — then put in its place by one rename.
#include <algorithm>
#include <memory>

#include "platform/core/ByteOrder.h"
#include "platform/core/LastError.h"
#include "rtl/Exception.h"
#include "rtl/FileStream.h"
#include "tags/Zlib.h"
#include "tags/id3v2.h"

namespace {

constexpr std::size_t HeaderSize = 10;
constexpr std::uint32_t MaxFrameSize = 0x10000000;
// The synchsafe size field holds 28 bits.
constexpr std::int64_t MaxTagBody = 0x0FFFFFFF;
constexpr std::int64_t CopyBlock = 16384;

void PutBigEndian32(TByteBuffer& out, std::uint32_t value)
{
  out.push_back(static_cast<std::uint8_t>(value >> 24));
  out.push_back(static_cast<std::uint8_t>(value >> 16));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value));
}

// The size of an ID3v2 tag at offset, header (and an ID3v2.4 footer) included: an ID3v2.3 tag,
// or at offset 0 the ID3v2.2 or v2.4 tag a save replaces; 0 when there is none.
std::int64_t TagSpaceAt(TStream& stream, std::int64_t offset)
{
  std::uint8_t header[HeaderSize];
  stream.Seek(offset, TSeekOrigin::soBeginning);
  if (stream.Read(header, HeaderSize) != static_cast<std::int64_t>(HeaderSize) || header[0] != 'I' ||
      header[1] != 'D' || header[2] != '3') {
    return 0;
  }
  const bool otherVersion = offset == 0 && (header[3] == 2 || header[3] == 4);
  if (!((header[3] == 3 && header[4] == 0) || (otherVersion && header[4] != 255)) ||
      (header[6] | header[7] | header[8] | header[9]) >= 0x80) {
    return 0;
  }
  const bool footer = header[3] == 4 && (header[5] & 0x10) != 0;
  const std::int64_t space = static_cast<std::int64_t>(HeaderSize) + ByteOrder::LoadSynchsafe32(&header[6]) +
                             (footer ? static_cast<std::int64_t>(HeaderSize) : 0);
  return offset + space <= stream.Size() ? space : 0;
}

// Copies count bytes from source's position to target's, calling step after each block.
template <class TStep>
void CopyBytes(TStream& source, TStream& target, std::int64_t count, TStep step)
{
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(CopyBlock));
  std::int64_t done = 0;
  while (done < count) {
    const std::int64_t part = std::min(CopyBlock, count - done);
    source.ReadBuffer(buffer.data(), part);
    target.WriteBuffer(buffer.data(), part);
    done += part;
    step(done, count);
  }
}

// A failure while composing; carries the status to report.
struct TSaveFailure {
  std::uint16_t Code;
};

}  // namespace

TByteBuffer Tid3v2tag::SerialiseFrames()
{
  TByteBuffer out;
  for (int i = 1; i <= FFrames.Count(); ++i) {
    const TId3Frame& frame = FFrames.Frame(i);
    std::size_t extra = 0;
    extra += (frame.Flags & ffCompressed) != 0 ? 4 : 0;
    extra += (frame.Flags & ffEncrypted) != 0 ? 1 : 0;
    extra += (frame.Flags & ffGrouped) != 0 ? 1 : 0;
    const std::size_t size = extra + frame.Data.size();
    if (size >= MaxFrameSize) {
      throw TSaveFailure{id3BadTag};
    }
    out.insert(out.end(), frame.Id.begin(), frame.Id.end());
    PutBigEndian32(out, static_cast<std::uint32_t>(size));
    out.push_back(static_cast<std::uint8_t>(frame.Flags >> 8));
    out.push_back(static_cast<std::uint8_t>(frame.Flags));
    if ((frame.Flags & ffCompressed) != 0) {
      PutBigEndian32(out, frame.DecompressedSize);
    }
    if ((frame.Flags & ffEncrypted) != 0) {
      out.push_back(frame.EncryptionMethod);
    }
    if ((frame.Flags & ffGrouped) != 0) {
      out.push_back(frame.Group);
    }
    out.insert(out.end(), frame.Data.begin(), frame.Data.end());
  }
  return out;
}

// The tag after its header: extended header, frames and padding, unsynchronised when the flags
// ask for it, and at least as long as the old tag's space so the audio keeps its place.
TByteBuffer Tid3v2tag::ComposeBody(const TByteBuffer& frames, std::int64_t oldSpace)
{
  const bool unsynchronise = (FFlags & tfUnsynchronisation) != 0;
  const TByteBuffer storedFrames = unsynchronise ? ApplyUnsynchronisation(frames) : frames;
  if (!HasExtendedHeader()) {
    TByteBuffer body = storedFrames;
    const std::int64_t space = std::max<std::int64_t>(oldSpace - static_cast<std::int64_t>(HeaderSize), 0);
    if (static_cast<std::int64_t>(body.size()) < space) {
      body.resize(static_cast<std::size_t>(space), 0);
    }
    FPaddingSize = 0;
    return body;
  }

  if (FHasCrc) {
    FCrc = Crc32(frames);
  }
  const auto extendedHeader = [&](std::uint32_t padding) {
    TByteBuffer ext;
    PutBigEndian32(ext, FHasCrc ? 10 : 6);
    ext.push_back(FHasCrc ? 0x80 : 0x00);
    ext.push_back(0x00);
    PutBigEndian32(ext, padding);
    if (FHasCrc) {
      PutBigEndian32(ext, FCrc);
    }
    return unsynchronise ? ApplyUnsynchronisation(ext) : ext;
  };
  // The padding size is itself part of the (possibly unsynchronised) extended header, so look
  // for a padding that fills the space exactly; failing that, grow the space a little.
  std::int64_t space = std::max<std::int64_t>(oldSpace - static_cast<std::int64_t>(HeaderSize), 0);
  for (;;) {
    for (std::size_t extLength = FHasCrc ? 14 : 10; extLength <= 28; ++extLength) {
      const std::int64_t padding = space - static_cast<std::int64_t>(extLength + storedFrames.size());
      if (padding < 0) {
        continue;
      }
      TByteBuffer body = extendedHeader(static_cast<std::uint32_t>(padding));
      if (body.size() != extLength) {
        continue;
      }
      body.insert(body.end(), storedFrames.begin(), storedFrames.end());
      body.resize(static_cast<std::size_t>(space), 0);
      FPaddingSize = static_cast<std::uint32_t>(padding);
      return body;
    }
    space = std::max<std::int64_t>(space + 1,
                                   static_cast<std::int64_t>(storedFrames.size()) + (FHasCrc ? 14 : 10));
  }
}

std::uint16_t Tid3v2tag::SaveToFile(const std::string& fileName, int version, int revision,
                                    std::int64_t offset, const TId3FileTail& tail)
{
  FSaveError = ERROR_SUCCESS;
  const bool sameFile = fileName == "=";
  const std::string target = sameFile ? FFileName : fileName;
  if (offset < 0) {
    offset = sameFile ? FOffset : 0;
  }
  if (version == 0xFF) {
    version = FMajorVersion;
  }
  if (revision == 0xFF) {
    revision = FRevision;
  }
  if (!FLoaded) {
    return Fail(id3BadTag);
  }
  if (version != 3) {
    return Fail(id3BadVersion);
  }
  if (revision != 0) {
    return Fail(id3BadRevision);
  }
  if (FFrames.Count() == 0) {
    return Fail(id3NoFrames);
  }

  SetStage("Preparing tag", 0);
  if (!TagFileExists(target)) {
    FSaveError = ERROR_FILE_NOT_FOUND;
    return Fail(id3FileNotFound);
  }
  if (TagFileProtected(target)) {
    FSaveError = ERROR_ACCESS_DENIED;
    return Fail(id3FileProtected);
  }
  // Opened for writing from the start: a tag written in place needs it, and a file nobody may
  // write is refused before any work is done.
  std::unique_ptr<TFileStream> original;
  try {
    original = std::make_unique<TFileStream>(target, fmOpenReadWrite | fmShareDenyWrite);
  } catch (const Exception&) {
    FSaveError = GetLastError();
    return Fail(id3FileNotFound);
  }
  try {
    const std::int64_t size = original->Size();
    if (size < offset) {
      return Fail(id3OffsetBeyondEnd);
    }
    std::int64_t oldSpace = 0;
    if (target == FFileName && offset == FOffset) {
      oldSpace = FTagSpace;
      // The file must still hold the tag this one was loaded from.
      if (oldSpace > 0 && TagSpaceAt(*original, offset) != oldSpace) {
        return Fail(id3NoHeader);
      }
      // A tag to be inserted takes the place of a tag there that could not be read: a file has
      // one ID3v2 tag, never two.
      if (oldSpace == 0) {
        oldSpace = TagSpaceAt(*original, offset);
      }
    } else {
      oldSpace = TagSpaceAt(*original, offset);
    }
    // A tail replaces only an ID3v1 tag still there, behind the audio and the ID3v2 tag.
    if (tail.ReplacedSize > 0) {
      std::uint8_t marker[3] = {};
      if (size - tail.ReplacedSize < offset + oldSpace) {
        return Fail(id3OffsetBeyondEnd);
      }
      original->Seek(size - tail.ReplacedSize, TSeekOrigin::soBeginning);
      if (original->Read(marker, 3) != 3 || marker[0] != 'T' || marker[1] != 'A' || marker[2] != 'G') {
        return Fail(id3NoHeader);
      }
    }
    const TByteBuffer body = PrepareBody(oldSpace);
    if (oldSpace > 0 && static_cast<std::int64_t>(HeaderSize + body.size()) == oldSpace) {
      WriteInPlace(*original, offset, body, tail);
    } else {
      Compose(original, offset, oldSpace, target, body, tail);
    }
    Composed(body);
  } catch (const TSaveFailure& failure) {
    return Fail(failure.Code);
  } catch (const Exception&) {
    FSaveError = GetLastError();
    return Fail(id3WriteFailed);
  }
  FStatus &= 0xFF;
  FFileName = target;
  FOffset = offset;
  SetStage("Save Complete", 100);
  return FStatus;
}

void Tid3v2tag::Compose(std::unique_ptr<TFileStream>& originalFile, std::int64_t offset,
                        std::int64_t oldSpace, const std::string& fileName, const TByteBuffer& body,
                        const TId3FileTail& tail)
{
  SetStage("Re-positioning audio data", 50);
  TReplacementFile replacement(fileName, FCreateStream);
  WriteComposed(*originalFile, replacement.Stream(), offset, oldSpace, body, tail);
  // Nothing may hold the old file open while the new one takes its name.
  originalFile.reset();
  replacement.Commit();
}

void Tid3v2tag::WriteInPlace(TFileStream& file, std::int64_t offset, const TByteBuffer& body,
                             const TId3FileTail& tail)
{
  SetStage("Writing new tag", 90);
  const std::int64_t oldSize = file.Size();
  const std::int64_t tagSpace = static_cast<std::int64_t>(HeaderSize + body.size());
  TByteBuffer oldTag(static_cast<std::size_t>(tagSpace));
  file.Seek(offset, TSeekOrigin::soBeginning);
  file.ReadBuffer(oldTag.data(), tagSpace);
  TByteBuffer oldTail(static_cast<std::size_t>(tail.ReplacedSize));
  if (!oldTail.empty()) {
    file.Seek(oldSize - tail.ReplacedSize, TSeekOrigin::soBeginning);
    file.ReadBuffer(oldTail.data(), tail.ReplacedSize);
  }
  TByteBuffer tag = HeaderFor(static_cast<std::uint32_t>(body.size()));
  tag.insert(tag.end(), body.begin(), body.end());
  // The tail first: an appended one is the only write that needs room on the disk, so a full
  // disk stops the save before the tag has changed.
  bool tailWritten = false;
  bool tagWritten = false;
  try {
    if (!tail.Bytes.empty()) {
      file.Seek(oldSize - tail.ReplacedSize, TSeekOrigin::soBeginning);
      tailWritten = true;
      file.WriteBuffer(tail.Bytes.data(), static_cast<std::int64_t>(tail.Bytes.size()));
    }
    file.Seek(offset, TSeekOrigin::soBeginning);
    tagWritten = true;
    file.WriteBuffer(tag.data(), tagSpace);
    file.Flush();
  } catch (const Exception&) {
    const DWORD error = GetLastError();
    // Every byte changed goes back; what cannot be put back is no worse than the failed write.
    try {
      if (tagWritten) {
        file.Seek(offset, TSeekOrigin::soBeginning);
        file.WriteBuffer(oldTag.data(), tagSpace);
      }
      if (tailWritten) {
        file.Seek(oldSize - tail.ReplacedSize, TSeekOrigin::soBeginning);
        file.WriteBuffer(oldTail.data(), static_cast<std::int64_t>(oldTail.size()));
        file.SetSize(oldSize);
      }
      file.Flush();
    } catch (const Exception&) {
    }
    SetLastError(error);
    throw;
  }
}

std::uint16_t Tid3v2tag::SaveToStream(TStream& source, TStream& target)
{
  if (!FLoaded) {
    return Fail(id3BadTag);
  }
  if (FMajorVersion != 3 || FRevision != 0) {
    return Fail(FMajorVersion != 3 ? id3BadVersion : id3BadRevision);
  }
  if (FFrames.Count() == 0) {
    return Fail(id3NoFrames);
  }
  try {
    if (source.Size() < FOffset + FTagSpace) {
      return Fail(id3OffsetBeyondEnd);
    }
    const TByteBuffer body = PrepareBody(FTagSpace);
    WriteComposed(source, target, FOffset, FTagSpace, body);
    Composed(body);
  } catch (const TSaveFailure& failure) {
    return Fail(failure.Code);
  } catch (const Exception&) {
    return Fail(id3WriteFailed);
  }
  FStatus &= 0xFF;
  return FStatus;
}

TByteBuffer Tid3v2tag::PrepareBody(std::int64_t oldSpace)
{
  SetStage("Applying compression", 10);
  for (int i = 1; i <= FFrames.Count(); ++i) {
    TId3Frame& frame = FFrames.Frame(i);
    if ((frame.Flags & ffEncrypted) != 0) {
      continue;  // stored as they came: there is no key to decrypt them with
    }
    const bool wanted = (frame.Flags & ffCompressed) != 0;
    if (frame.DataCompressed == wanted) {
      continue;
    }
    FFrames.RemoveUnsynchronisation(i);
    if (wanted) {
      frame.DecompressedSize = static_cast<std::uint32_t>(frame.Data.size());
      frame.Data = ZlibDeflate(frame.Data);
      frame.DataCompressed = true;
    } else if (!FFrames.Decompress(i, InflateLimit())) {
      throw TSaveFailure{id3BadTag};
    }
  }
  SetStage("Applying unsync", 20);
  for (int i = 1; i <= FFrames.Count(); ++i) {
    TId3Frame& frame = FFrames.Frame(i);
    const bool wanted = (frame.Flags & ffUnsynchronised) != 0;
    if (frame.DataUnsynchronised != wanted && (frame.Flags & ffEncrypted) == 0) {
      frame.Data = wanted ? ApplyUnsynchronisation(frame.Data) : RemoveUnsynchronisation(frame.Data);
      frame.DataUnsynchronised = wanted;
    }
  }
  SetStage("Calculating CRC-32", 30);
  const TByteBuffer frames = SerialiseFrames();
  TByteBuffer body = ComposeBody(frames, oldSpace);
  if (static_cast<std::int64_t>(body.size()) > MaxTagBody) {
    throw TSaveFailure{id3BadTag};
  }
  return body;
}

TByteBuffer Tid3v2tag::HeaderFor(std::uint32_t bodySize) const
{
  return {'I',
          'D',
          '3',
          3,
          0,
          static_cast<std::uint8_t>(FFlags & 0xE0),
          static_cast<std::uint8_t>((bodySize >> 21) & 0x7F),
          static_cast<std::uint8_t>((bodySize >> 14) & 0x7F),
          static_cast<std::uint8_t>((bodySize >> 7) & 0x7F),
          static_cast<std::uint8_t>(bodySize & 0x7F)};
}

void Tid3v2tag::WriteComposed(TStream& original, TStream& out, std::int64_t offset, std::int64_t oldSpace,
                              const TByteBuffer& body, const TId3FileTail& tail)
{
  const auto bodySize = static_cast<std::uint32_t>(body.size());
  original.Seek(0, TSeekOrigin::soBeginning);
  CopyBytes(original, out, offset, [](std::int64_t, std::int64_t) {});
  // Room for the tag, written in the next stage.
  const TByteBuffer placeholder(HeaderSize + bodySize, 0);
  out.WriteBuffer(placeholder.data(), static_cast<std::int64_t>(placeholder.size()));
  original.Seek(offset + oldSpace, TSeekOrigin::soBeginning);
  const std::int64_t audioSize = original.Size() - offset - oldSpace - tail.ReplacedSize;
  CopyBytes(original, out, audioSize, [this](std::int64_t done, std::int64_t count) {
    SetProgress(50 + static_cast<int>(40 * done / count));
  });
  if (!tail.Bytes.empty()) {
    out.WriteBuffer(tail.Bytes.data(), static_cast<std::int64_t>(tail.Bytes.size()));
  } else if (tail.ReplacedSize > 0) {
    CopyBytes(original, out, tail.ReplacedSize, [](std::int64_t, std::int64_t) {});
  }

  SetStage("Writing new tag", 90);
  const TByteBuffer header = HeaderFor(bodySize);
  out.Seek(offset, TSeekOrigin::soBeginning);
  out.WriteBuffer(header.data(), static_cast<std::int64_t>(header.size()));
  out.WriteBuffer(body.data(), static_cast<std::int64_t>(body.size()));
}

void Tid3v2tag::Composed(const TByteBuffer& body) noexcept
{
  FFlags &= 0xE0;
  FMajorVersion = 3;
  FRevision = 0;
  FSize = static_cast<std::uint32_t>(body.size());
  FTagSpace = static_cast<std::int64_t>(HeaderSize) + FSize;
}
