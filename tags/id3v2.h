#pragma once
// Tid3v2tag: an ID3v2.3 tag container — the header, the extended header and the frames with
// their raw data (TFrameIndex) — loaded from a file or stream, read and written as text frames,
// and saved back into the file. Failures are status codes, never exceptions.
//
// A save is all or nothing. A new tag that fits the old one's space (its padding included) is
// written over it in place, so a save needs no free space the size of the file; any other is
// composed with the whole file beside the old one, which it replaces in one rename. A failure
// at any step leaves the file as it was.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/WinTypes.h"
#include "rtl/FileStream.h"
#include "rtl/Stream.h"
#include "tags/TagFiles.h"

// Frame flags as stored: the status byte high, the format byte low.
constexpr std::uint16_t ffCompressed = 0x0080;
constexpr std::uint16_t ffEncrypted = 0x0040;
constexpr std::uint16_t ffGrouped = 0x0020;
// Not an ID3v2.3 flag; honoured where a writer used it for a frame unsynchronised on its own.
constexpr std::uint16_t ffUnsynchronised = 0x0002;

// Tag header flags.
constexpr std::uint8_t tfUnsynchronisation = 0x80;
constexpr std::uint8_t tfExtendedHeader = 0x40;
constexpr std::uint8_t tfExperimental = 0x20;

// Status codes: 0xFF or below is success; the high byte names a failure and the low byte keeps
// the earlier status's warnings.
constexpr std::uint16_t id3FileNotFound = 0x0100;
constexpr std::uint16_t id3FileProtected = 0x0200;
// Composing or putting in place the new file failed (disk full, write error); the file is as it was.
constexpr std::uint16_t id3WriteFailed = 0x0400;
constexpr std::uint16_t id3OffsetBeyondEnd = 0x0800;
constexpr std::uint16_t id3NoHeader = 0x1000;
constexpr std::uint16_t id3BadVersion = 0x1100;
constexpr std::uint16_t id3BadRevision = 0x1200;
constexpr std::uint16_t id3TagBeyondEnd = 0x2000;
// Not given by a load any more: a frame with an invalid ID is left out (id3DamagedFrames).
constexpr std::uint16_t id3BadFrameId = 0x2100;
constexpr std::uint16_t id3NoFrames = 0xFD00;
constexpr std::uint16_t id3BadTag = 0xFE00;
// Warnings of a successful load.
constexpr std::uint16_t id3UndefinedFlags = 0x0080;
constexpr std::uint16_t id3UndefinedExtendedFlags = 0x0040;
// Damaged frames (an invalid ID, a size beyond the tag, extra header fields without room) were
// left out; the frames around them loaded. A save writes the tag without them.
constexpr std::uint16_t id3DamagedFrames = 0x0020;

constexpr bool Id3StatusOk(std::uint16_t status) noexcept
{
  return status <= 0xFF;
}

// ReadText and WriteText results.
enum TTextResult : int {
  trFound = 0,
  trNoFrame = 1,
  trEmpty = 2,
  trNotTextFrame = 3,
  trUnknownEncoding = 5,
  trInvalidCharacter = 8,
  trEncrypted = 9,
  // The frame's compressed data did not inflate.
  trBadCompression = 10,
};

using TByteBuffer = std::vector<std::uint8_t>;

// The end of the file a save writes in the same all-or-nothing step as the tag: the bytes of an
// ID3v1 tag, taking the place of the last ReplacedSize bytes (an ID3v1 tag there, still marked
// "TAG") or appended when ReplacedSize is 0.
struct TId3FileTail {
  std::span<const std::uint8_t> Bytes;
  std::int64_t ReplacedSize = 0;
};

// Replaces every FF 00 by FF.
TByteBuffer RemoveUnsynchronisation(std::span<const std::uint8_t> data);
// Inserts 00 after every FF followed by 00 or a byte of 0xE0 or above, and after a final FF.
TByteBuffer ApplyUnsynchronisation(std::span<const std::uint8_t> data);

// One frame: its ID, flags, the extra header fields its flags announce, and its data as stored
// (compressed or unsynchronised as DataCompressed and DataUnsynchronised say).
struct TId3Frame {
  std::string Id;
  std::uint16_t Flags = 0;
  std::uint32_t DecompressedSize = 0;
  std::uint8_t EncryptionMethod = 0;
  std::uint8_t Group = 0;
  TByteBuffer Data;
  bool DataCompressed = false;
  bool DataUnsynchronised = false;
};

// The ordered frames of a tag, numbered from 1. An index outside 1..Count raises EListError.
class TFrameIndex {
 public:
  static bool ValidId(std::string_view id) noexcept;

  int Count() const noexcept { return static_cast<int>(FFrames.size()); }
  // Appends an empty frame (the ID upper-cased); returns its index, or 0 when the ID is not four
  // characters A-Z or 0-9. Duplicates are allowed.
  int Add(std::string_view id);
  // The first frame with the ID, or 0.
  int Find(std::string_view id) const noexcept;
  void Clear() noexcept { FFrames.clear(); }

  const std::string& FrameID(int index) const { return At(index).Id; }
  // False (and no change) for an invalid ID.
  bool SetFrameID(int index, std::string_view id);
  std::uint16_t Flags(int index) const { return At(index).Flags; }
  void SetFlags(int index, std::uint16_t flags) { At(index).Flags = flags; }
  bool Compressed(int index) const { return (At(index).Flags & ffCompressed) != 0; }
  bool Encrypted(int index) const { return (At(index).Flags & ffEncrypted) != 0; }
  bool Unsynchronised(int index) const { return (At(index).Flags & ffUnsynchronised) != 0; }

  const TByteBuffer& Data(int index) const { return At(index).Data; }
  std::size_t DataSize(int index) const { return At(index).Data.size(); }
  // New plain data (neither compressed nor unsynchronised).
  void SetData(int index, TByteBuffer data);
  const TId3Frame& Frame(int index) const { return At(index); }
  TId3Frame& Frame(int index) { return At(index); }

  // In place: inflate (false when the data is damaged or would exceed limit bytes) and remove
  // the unsynchronisation of one frame's data; both update the frame's data state.
  bool Decompress(int index, std::size_t limit);
  void RemoveUnsynchronisation(int index);

 private:
  const TId3Frame& At(int index) const;
  TId3Frame& At(int index);

  std::vector<TId3Frame> FFrames;
};

class Tid3v2tag {
 public:
  using TProgressEvent = std::function<void(const Tid3v2tag&)>;

  // Loads the tag at `offset` of the file; returns Status. Never throws.
  std::uint16_t LoadFromFile(const std::string& fileName, std::int64_t offset);
  // As LoadFromFile from any stream; FileName and ReadOnly stay as they are.
  std::uint16_t LoadFromStream(TStream& stream, std::int64_t offset);
  // Loads a tag that is not in fileName yet (a new tag for a file without one): a later save
  // puts it at the start of the file, in place of an ID3v2 tag there that could not be read,
  // else in front of all its bytes.
  std::uint16_t LoadForInsertion(TStream& tag, const std::string& fileName);

  // Takes the ID3v2.2 or v2.4 tag at the start of the stream as converted ID3v2.3 frames (see
  // tags/id3v2Versions.h): the tag then counts as a loaded ID3v2.3 tag at offset 0, and a save
  // replaces the old tag by it. Returns Status: 0, or id3BadVersion when there is no such tag
  // or it is damaged. FileName and ReadOnly stay as they are.
  std::uint16_t LoadConverted(TStream& stream);

  // The text of the first frame with the ID (a T... frame other than TXXX), in UTF-8, whichever
  // of the four encodings the frame uses.
  int ReadText(std::string_view id, std::string& text) const;
  // Replaces the data of the first frame with the ID (appended if missing) by the text, in
  // ISO-8859-1 when it fits and else in UTF-16 with a byte-order mark, and clears its flags. An empty text
  // writes nothing and gives trEmpty.
  int WriteText(std::string_view id, const std::string& text);

  // Saves the frames as an ID3v2.3 tag at `offset` of the file and returns Status.
  // fileName "=" is the file of the last load; a negative offset is then the offset of the last
  // load (else 0); version or revision 0xFF mean those of the last load. A tag that did not load
  // is never saved (id3BadTag). On success the file holds the new tag followed by the unchanged
  // audio, and at its end the tail when it has bytes; a tag that shrinks is padded, so the audio
  // keeps its place. On failure the file is unchanged and SaveError tells the system's reason.
  std::uint16_t SaveToFile(const std::string& fileName, int version, int revision, std::int64_t offset,
                           const TId3FileTail& tail = {});
  // The system error (GetLastError) behind the last save's id3WriteFailed or id3FileNotFound:
  // ERROR_DISK_FULL, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ...; ERROR_SUCCESS otherwise.
  DWORD SaveError() const noexcept { return FSaveError; }

  // Writes into target the bytes of source with this tag in place of the one it was loaded from
  // (LoadFromStream of the same bytes), running the same stages as SaveToFile; returns Status.
  std::uint16_t SaveToStream(TStream& source, TStream& target);

  int MajorVersion() const noexcept { return FMajorVersion; }
  int Revision() const noexcept { return FRevision; }
  std::uint8_t Flags() const noexcept { return FFlags; }
  void SetFlags(std::uint8_t flags) noexcept { FFlags = flags; }
  // The tag's size after its 10-byte header, as the header gives it.
  std::uint32_t Size() const noexcept { return FSize; }
  std::uint16_t Status() const noexcept { return FStatus; }
  bool ReadOnly() const noexcept { return FReadOnly; }
  const std::string& FileName() const noexcept { return FFileName; }
  std::int64_t Offset() const noexcept { return FOffset; }
  bool Loaded() const noexcept { return FLoaded; }
  int Progress() const noexcept { return FProgress; }
  const std::string& Stage() const noexcept { return FStage; }
  TFrameIndex& Frames() noexcept { return FFrames; }
  const TFrameIndex& Frames() const noexcept { return FFrames; }

  bool HasExtendedHeader() const noexcept { return (FFlags & tfExtendedHeader) != 0; }
  bool HasCrc() const noexcept { return FHasCrc; }
  void SetHasCrc(bool hasCrc) noexcept { FHasCrc = hasCrc; }
  std::uint32_t Crc() const noexcept { return FCrc; }
  std::uint32_t PaddingSize() const noexcept { return FPaddingSize; }

  // Called at every stage and progress step of a save.
  void SetOnProgress(TProgressEvent onProgress) { FOnProgress = std::move(onProgress); }
  // Test seam: the stream a save composes the new file in.
  void SetCreateStream(TCreateFileStream create) { FCreateStream = std::move(create); }

  // The largest a compressed frame may inflate to in this tag.
  std::size_t InflateLimit() const noexcept;

 private:
  std::uint16_t Fail(std::uint16_t code) noexcept;
  std::uint16_t Parse(TStream& stream, std::int64_t offset);
  void ParseFrames(const TByteBuffer& body, std::size_t position);
  // One frame from its header, remaining bytes of the tag from there; false when it is damaged.
  static bool ParseFrame(const std::uint8_t* header, std::size_t remaining, TId3Frame& frame);
  void SetStage(const char* stage, int progress);
  void SetProgress(int progress);
  // Composes the whole new file beside the original and renames it over the original.
  void Compose(std::unique_ptr<TFileStream>& original, std::int64_t offset, std::int64_t oldSpace,
               const std::string& fileName, const TByteBuffer& body, const TId3FileTail& tail);
  // Writes the tag (exactly the old one's space) and the tail over the file itself; on a failure
  // puts back every byte it changed and raises.
  void WriteInPlace(TFileStream& file, std::int64_t offset, const TByteBuffer& body,
                    const TId3FileTail& tail);
  TByteBuffer PrepareBody(std::int64_t oldSpace);
  void WriteComposed(TStream& original, TStream& out, std::int64_t offset, std::int64_t oldSpace,
                     const TByteBuffer& body, const TId3FileTail& tail = {});
  TByteBuffer HeaderFor(std::uint32_t bodySize) const;
  void Composed(const TByteBuffer& body) noexcept;
  TByteBuffer SerialiseFrames();
  TByteBuffer ComposeBody(const TByteBuffer& frames, std::int64_t oldSpace);

  std::int32_t FMajorVersion = 0;
  std::int32_t FRevision = 0;
  std::uint8_t FFlags = 0;
  std::uint32_t FSize = 0;
  std::uint16_t FStatus = 0;
  bool FReadOnly = false;
  std::string FFileName;
  std::int64_t FOffset = 0;
  // Bytes the loaded tag occupies in the file, header included; 0 for a tag still to be inserted.
  std::int64_t FTagSpace = 0;
  bool FLoaded = false;
  int FProgress = 0;
  std::string FStage;
  TFrameIndex FFrames;
  std::uint16_t FExtendedFlags = 0;
  bool FHasCrc = false;
  std::uint32_t FCrc = 0;
  std::uint32_t FPaddingSize = 0;
  TProgressEvent FOnProgress;
  TCreateFileStream FCreateStream;
  DWORD FSaveError = 0;
};
