#include "tags/id3v2Versions.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "platform/core/ByteOrder.h"
#include "tags/Id3Text.h"
#include "tags/Zlib.h"

namespace {

constexpr std::size_t HeaderSize = 10;
constexpr std::size_t FooterSize = 10;
constexpr std::uint8_t TagUnsynchronisation = 0x80;
constexpr std::uint8_t TagCompressedV22 = 0x40;
constexpr std::uint8_t TagExtendedHeaderV24 = 0x40;
constexpr std::uint8_t TagFooterV24 = 0x10;
// ID3v2.4 frame format flags.
constexpr std::uint16_t V24Grouped = 0x0040;
constexpr std::uint16_t V24Compressed = 0x0008;
constexpr std::uint16_t V24Encrypted = 0x0004;
constexpr std::uint16_t V24Unsynchronised = 0x0002;
constexpr std::uint16_t V24DataLength = 0x0001;
// A compressed frame may inflate to at most this.
constexpr std::size_t MaxInflated = 16U << 20U;

struct TIdPair {
  const char* V22;
  const char* V23;
};
// The ID3v2.2 frames with an ID3v2.3 counterpart that the program keeps.
constexpr std::array<TIdPair, 28> V22Names = {{
    {"TT1", "TIT1"}, {"TT2", "TIT2"}, {"TT3", "TIT3"}, {"TP1", "TPE1"}, {"TP2", "TPE2"}, {"TP3", "TPE3"},
    {"TP4", "TPE4"}, {"TAL", "TALB"}, {"TYE", "TYER"}, {"TRK", "TRCK"}, {"TPA", "TPOS"}, {"TCO", "TCON"},
    {"TCM", "TCOM"}, {"TEN", "TENC"}, {"TBP", "TBPM"}, {"TCR", "TCOP"}, {"TLE", "TLEN"}, {"TXT", "TEXT"},
    {"TPB", "TPUB"}, {"TDA", "TDAT"}, {"TIM", "TIME"}, {"TOA", "TOPE"}, {"TOT", "TOAL"}, {"TSS", "TSSE"},
    {"TXX", "TXXX"}, {"TKE", "TKEY"}, {"COM", "COMM"}, {"PIC", "APIC"},
}};

bool ValidIdCharacter(std::uint8_t c) noexcept
{
  return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The strings of a text-like field from data[pos] on, decoded; each ended by its terminator.
std::vector<std::string> DecodeStrings(std::uint8_t encoding, std::span<const std::uint8_t> data,
                                       std::size_t pos)
{
  std::vector<std::string> strings;
  while (pos < data.size()) {
    std::string text;
    DecodeId3String(encoding, data, pos, text);
    strings.push_back(std::move(text));
  }
  return strings;
}

TId3Encoding EncodingForAll(const std::vector<std::string>& strings)
{
  return std::all_of(strings.begin(), strings.end(),
                     [](const std::string& text) { return Id3EncodingFor(text) == ieLatin1; })
             ? ieLatin1
             : ieUtf16;
}

// A text frame (or TXXX) whose strings come out in an encoding ID3v2.3 knows.
bool ConvertText(const std::string& id, std::span<const std::uint8_t> data, TId3Frame& frame)
{
  if (data.empty() || data[0] > ieUtf8) {
    return false;
  }
  std::vector<std::string> strings = DecodeStrings(data[0], data, 1);
  if (strings.empty()) {
    return false;
  }
  frame.Id = id;
  if (id == "TDRC") {
    // The recording time starts with the year, which is all ID3v2.3's TYER holds.
    const std::string& time = strings[0];
    if (time.size() < 4 ||
        !std::all_of(time.begin(), time.begin() + 4, [](char c) { return c >= '0' && c <= '9'; })) {
      return false;
    }
    frame.Id = "TYER";
    strings = {time.substr(0, 4)};
  } else if (id == "TCON") {
    // ID3v2.4 names a genre number bare; ID3v2.3 puts it in parentheses.
    std::string& genre = strings[0];
    if (!genre.empty() && genre.size() <= 3 &&
        std::all_of(genre.begin(), genre.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      genre = "(" + genre + ")";
    }
  }
  if (id != "TXXX") {
    // ID3v2.3 text frames hold one value.
    strings.resize(1);
  }
  const TId3Encoding encoding = EncodingForAll(strings);
  frame.Data = {encoding};
  for (std::size_t i = 0; i < strings.size(); ++i) {
    EncodeId3String(encoding, strings[i], frame.Data,
                    i + 1 < strings.size() ? TTerminate::Yes : TTerminate::No);
  }
  return true;
}

bool ConvertComment(std::span<const std::uint8_t> data, TId3Frame& frame)
{
  if (data.size() < 4 || data[0] > ieUtf8) {
    return false;
  }
  std::size_t pos = 4;
  std::string description;
  std::string text;
  DecodeId3String(data[0], data, pos, description);
  DecodeId3String(data[0], data, pos, text);
  const TId3Encoding encoding = EncodingForAll({description, text});
  frame.Id = "COMM";
  frame.Data = {encoding, data[1], data[2], data[3]};
  EncodeId3String(encoding, description, frame.Data, TTerminate::Yes);
  EncodeId3String(encoding, text, frame.Data, TTerminate::No);
  return true;
}

// APIC: encoding, MIME type (ISO-8859-1, ended by a zero), picture type, description, image.
// ID3v2.2's PIC has a three-letter image format where the MIME type is.
bool ConvertPicture(bool v22, std::span<const std::uint8_t> data, TId3Frame& frame)
{
  if (data.empty() || data[0] > ieUtf8) {
    return false;
  }
  std::string mime;
  std::size_t pos = 1;
  if (v22) {
    if (data.size() < 5) {
      return false;
    }
    std::string format(reinterpret_cast<const char*>(&data[1]), 3);
    std::transform(format.begin(), format.end(), format.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    mime = "image/" + (format == "jpg" ? std::string("jpeg") : format);
    pos = 4;
  } else {
    DecodeId3String(ieLatin1, data, pos, mime);
  }
  if (pos >= data.size()) {
    return false;
  }
  const std::uint8_t type = data[pos++];
  std::string description;
  DecodeId3String(data[0], data, pos, description);
  const TId3Encoding encoding = Id3EncodingFor(description);
  frame.Id = "APIC";
  frame.Data = {encoding};
  EncodeId3String(ieLatin1, mime, frame.Data, TTerminate::Yes);
  frame.Data.push_back(type);
  EncodeId3String(encoding, description, frame.Data, TTerminate::Yes);
  frame.Data.insert(frame.Data.end(), data.begin() + static_cast<std::ptrdiff_t>(pos), data.end());
  return true;
}

// Adds the converted frame when it has an ID3v2.3 form.
void Convert(bool v22, const std::string& id, std::span<const std::uint8_t> data,
             std::vector<TId3Frame>& frames)
{
  TId3Frame frame;
  bool converted = false;
  if (id == "COMM") {
    converted = ConvertComment(data, frame);
  } else if (id == "APIC") {
    converted = ConvertPicture(v22, data, frame);
  } else if (id.front() == 'T' && TFrameIndex::ValidId(id)) {
    converted = ConvertText(id, data, frame);
  }
  if (converted) {
    frames.push_back(std::move(frame));
  }
}

// Where the frames go on after a damaged one at pos: the next place where a frame header of
// headerSize bytes whose ID is idSize characters A-Z and 0-9, the first a letter, and whose size
// fits in the rest could start; the end when there is none.
template <class TSizeAt>
std::size_t NextFrameHeader(std::span<const std::uint8_t> body, std::size_t pos, std::size_t headerSize,
                            std::size_t idSize, const TSizeAt& sizeAt)
{
  for (std::size_t at = pos + 1; at + headerSize <= body.size(); ++at) {
    if (body[at] >= 'A' && body[at] <= 'Z' && std::all_of(&body[at], &body[at] + idSize, ValidIdCharacter) &&
        sizeAt(at) <= body.size() - at - headerSize) {
      return at;
    }
  }
  return body.size();
}

// The ID3v2.2 frames: three-letter ID, 24-bit big-endian size, no flags. A damaged frame (an
// invalid ID, a size beyond the tag) is left out and the frames go on at the next plausible
// header.
void ReadV22Frames(std::span<const std::uint8_t> body, std::vector<TId3Frame>& frames)
{
  constexpr std::size_t V22HeaderSize = 6;
  const auto sizeAt = [&](std::size_t at) { return ByteOrder::LoadBE24(&body[at + 3]); };
  std::size_t pos = 0;
  while (pos + V22HeaderSize <= body.size() && body[pos] != 0) {
    const std::string_view id(reinterpret_cast<const char*>(&body[pos]), 3);
    const std::uint32_t size = sizeAt(pos);
    if (!std::all_of(id.begin(), id.end(),
                     [](char c) { return ValidIdCharacter(static_cast<std::uint8_t>(c)); }) ||
        size > body.size() - pos - V22HeaderSize) {
      pos = NextFrameHeader(body, pos, V22HeaderSize, 3, sizeAt);
      continue;
    }
    pos += V22HeaderSize;
    const auto named =
        std::find_if(V22Names.begin(), V22Names.end(), [&](const TIdPair& pair) { return id == pair.V22; });
    if (named != V22Names.end()) {
      Convert(true, named->V23, body.subspan(pos, size), frames);
    }
    pos += size;
  }
}

// Where the next ID3v2.4 frame would start if this size were right: at the end, in the padding,
// or at a header with a valid ID.
bool PlausibleEnd(std::span<const std::uint8_t> body, std::size_t end) noexcept
{
  if (end >= body.size() || body[end] == 0) {
    return end <= body.size();
  }
  return end + 4 <= body.size() && std::all_of(&body[end], &body[end] + 4, ValidIdCharacter);
}

// The ID3v2.4 frames: synchsafe sizes, per-frame unsynchronisation, compression and data-length
// indicators. Some writers put plain big-endian sizes there; such a size is taken when only it
// leads to the next frame. A damaged frame (an invalid ID, a size beyond the tag) is left out
// and the frames go on at the next plausible header.
void ReadV24Frames(std::span<const std::uint8_t> body, bool allUnsynchronised, std::vector<TId3Frame>& frames)
{
  const auto sizeAt = [&](std::size_t at) {
    return std::min(ByteOrder::LoadSynchsafe32(&body[at + 4]), ByteOrder::LoadBE32(&body[at + 4]));
  };
  std::size_t pos = 0;
  while (pos + HeaderSize <= body.size() && body[pos] != 0) {
    const std::string id(reinterpret_cast<const char*>(&body[pos]), 4);
    if (!TFrameIndex::ValidId(id) || !std::all_of(id.begin(), id.end(), [](char c) {
          return ValidIdCharacter(static_cast<std::uint8_t>(c));
        })) {
      pos = NextFrameHeader(body, pos, HeaderSize, 4, sizeAt);
      continue;
    }
    const std::size_t dataStart = pos + HeaderSize;
    std::uint32_t size = ByteOrder::LoadSynchsafe32(&body[pos + 4]);
    const std::uint32_t plainSize = ByteOrder::LoadBE32(&body[pos + 4]);
    const bool synchsafeBytes = (body[pos + 4] | body[pos + 5] | body[pos + 6] | body[pos + 7]) < 0x80;
    if (!synchsafeBytes ||
        (plainSize != size && !PlausibleEnd(body, dataStart + size) && plainSize <= body.size() - dataStart &&
         PlausibleEnd(body, dataStart + plainSize))) {
      size = plainSize;
    }
    if (size > body.size() - dataStart) {
      pos = NextFrameHeader(body, pos, HeaderSize, 4, sizeAt);
      continue;
    }
    const std::uint16_t flags = ByteOrder::LoadBE16(&body[pos + 8]);
    std::span<const std::uint8_t> data = body.subspan(dataStart, size);
    pos = dataStart + size;
    std::size_t skip = 0;
    skip += (flags & V24Grouped) != 0 ? 1 : 0;
    skip += (flags & V24Encrypted) != 0 ? 1 : 0;
    skip += (flags & V24DataLength) != 0 ? 4 : 0;
    if ((flags & V24Encrypted) != 0 || skip > data.size()) {
      continue;  // no key to decrypt with; a frame too short for its own fields is dropped
    }
    data = data.subspan(skip);
    TByteBuffer plain(data.begin(), data.end());
    if (allUnsynchronised || (flags & V24Unsynchronised) != 0) {
      plain = RemoveUnsynchronisation(plain);
    }
    if ((flags & V24Compressed) != 0) {
      TByteBuffer inflated;
      if (!ZlibInflate(plain, MaxInflated, inflated)) {
        continue;
      }
      plain = std::move(inflated);
    }
    Convert(false, id, plain, frames);
  }
}

}  // namespace

bool ReadConvertedId3v2Tag(TStream& stream, TConvertedId3v2Tag& tag)
{
  std::uint8_t header[HeaderSize];
  stream.Seek(0, TSeekOrigin::soBeginning);
  if (stream.Read(header, HeaderSize) != static_cast<std::int64_t>(HeaderSize) || header[0] != 'I' ||
      header[1] != 'D' || header[2] != '3' || (header[3] != 2 && header[3] != 4) || header[4] == 255 ||
      (header[6] | header[7] | header[8] | header[9]) >= 0x80) {
    return false;
  }
  tag = TConvertedId3v2Tag();
  tag.Version = header[3];
  const std::uint8_t flags = header[5];
  const std::uint32_t size = ByteOrder::LoadSynchsafe32(&header[6]);
  const bool footer = tag.Version == 4 && (flags & TagFooterV24) != 0;
  tag.Space = static_cast<std::int64_t>(HeaderSize + size + (footer ? FooterSize : 0));
  if (size > MaxConvertedTagSize || tag.Space > stream.Size()) {
    return false;
  }
  TByteBuffer body(size);
  if (size > 0) {
    stream.ReadBuffer(body.data(), size);
  }
  if (tag.Version == 2) {
    if ((flags & TagCompressedV22) != 0) {
      return false;  // the compression scheme was never defined
    }
    if ((flags & TagUnsynchronisation) != 0) {
      body = RemoveUnsynchronisation(body);
    }
    ReadV22Frames(body, tag.Frames);
    return true;
  }
  std::size_t start = 0;
  if ((flags & TagExtendedHeaderV24) != 0) {
    // Its synchsafe size counts itself.
    if (body.size() < 6) {
      return false;
    }
    start = ByteOrder::LoadSynchsafe32(body.data());
    if (start < 6 || start > body.size()) {
      return false;
    }
  }
  ReadV24Frames(std::span<const std::uint8_t>(body).subspan(start), (flags & TagUnsynchronisation) != 0,
                tag.Frames);
  return true;
}
