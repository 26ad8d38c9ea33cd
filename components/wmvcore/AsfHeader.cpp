#include "components/wmvcore/AsfHeader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/core/ByteOrder.h"

namespace wmvcore {

namespace {

using TGuid = std::array<std::uint8_t, 16>;

constexpr std::uint8_t HexDigit(char c)
{
  return static_cast<std::uint8_t>(c <= '9' ? c - '0' : c - 'A' + 10);
}

constexpr std::uint8_t HexByte(const char* text)
{
  return static_cast<std::uint8_t>(HexDigit(text[0]) * 16 + HexDigit(text[1]));
}

// ASF stores a GUID's first three groups little-endian and the last two as written.
constexpr TGuid Guid(const char (&text)[37])
{
  TGuid guid{};
  constexpr int order[16] = {6, 4, 2, 0, 11, 9, 16, 14, 19, 21, 24, 26, 28, 30, 32, 34};
  for (int i = 0; i < 16; ++i) {
    guid[static_cast<std::size_t>(i)] = HexByte(text + order[i]);
  }
  return guid;
}

constexpr TGuid HeaderObject = Guid("75B22630-668E-11CF-A6D9-00AA0062CE6C");
constexpr TGuid FilePropertiesObject = Guid("8CABDCA1-A947-11CF-8EE4-00C00C205365");
constexpr TGuid StreamPropertiesObject = Guid("B7DC0791-A9B7-11CF-8EE6-00C00C205365");
constexpr TGuid ContentDescriptionObject = Guid("75B22633-668E-11CF-A6D9-00AA0062CE6C");
constexpr TGuid ExtendedContentDescriptionObject = Guid("D2D0A440-E307-11D2-97F0-00A0C95EA850");
constexpr TGuid HeaderExtensionObject = Guid("5FBF03B5-A92E-11CF-8EE3-00C00C205365");
constexpr TGuid MetadataObject = Guid("C5F8CBEA-5BAF-4877-8467-AA8C44FA4CCA");
constexpr TGuid MetadataLibraryObject = Guid("44231C94-9498-49D1-A141-1D134E457054");

static_assert(HeaderObject[0] == 0x30 && HeaderObject[3] == 0x75 && HeaderObject[4] == 0x8E &&
              HeaderObject[6] == 0xCF && HeaderObject[8] == 0xA6 && HeaderObject[15] == 0x6C);

constexpr std::size_t ObjectHeaderSize = 24;     // GUID and 64-bit size
constexpr std::size_t HeaderObjectStart = 30;    // plus the object count and two reserved bytes
constexpr std::size_t ExtensionDataOffset = 46;  // plus a reserved GUID, a WORD and the data size
constexpr std::size_t FilePropertiesSize = 64;   // of the object's data, up to the preroll
constexpr std::size_t PlayDurationOffset = 40;
constexpr std::size_t PrerollOffset = 56;
constexpr std::size_t FileSizeOffset = 16;
constexpr std::size_t FlagsOffset = 64;
constexpr std::uint32_t BroadcastFlag = 0x01;
constexpr std::size_t StreamPropertiesSize = 70;  // of the object's data, through the audio format
constexpr std::size_t AverageBytesOffset = 62;

// A cursor over one object's data that refuses to step past its end.
class TReader {
 public:
  explicit TReader(std::span<const std::uint8_t> bytes) : FBytes(bytes) {}

  bool Has(std::size_t count) const noexcept { return count <= FBytes.size() - FPosition; }
  std::size_t Left() const noexcept { return FBytes.size() - FPosition; }

  bool Word(std::uint16_t& value) noexcept
  {
    if (!Has(2)) {
      return false;
    }
    value = ByteOrder::LoadLE16(FBytes.data() + FPosition);
    FPosition += 2;
    return true;
  }
  bool DWord(std::uint32_t& value) noexcept
  {
    if (!Has(4)) {
      return false;
    }
    value = ByteOrder::LoadLE32(FBytes.data() + FPosition);
    FPosition += 4;
    return true;
  }
  bool Take(std::size_t count, std::span<const std::uint8_t>& part) noexcept
  {
    if (!Has(count)) {
      return false;
    }
    part = FBytes.subspan(FPosition, count);
    FPosition += count;
    return true;
  }

 private:
  std::span<const std::uint8_t> FBytes;
  std::size_t FPosition = 0;
};

// UTF-16LE without its trailing zero characters; an odd last byte is not a character.
std::u16string TextOf(std::span<const std::uint8_t> bytes)
{
  std::size_t units = bytes.size() / 2;
  while (units > 0 && bytes[units * 2 - 1] == 0 && bytes[units * 2 - 2] == 0) {
    --units;
  }
  std::u16string text(units, u'\0');
  for (std::size_t i = 0; i < units; ++i) {
    text[i] = static_cast<char16_t>(ByteOrder::LoadLE16(bytes.data() + i * 2));
  }
  return text;
}

std::uint64_t NumberOf(std::span<const std::uint8_t> bytes)
{
  std::uint64_t number = 0;
  for (std::size_t i = 0; i < bytes.size() && i < 8; ++i) {
    number |= static_cast<std::uint64_t>(bytes[i]) << (8 * i);
  }
  return number;
}

bool SetValue(TAsfAttribute& attribute, std::uint16_t type, std::span<const std::uint8_t> value)
{
  if (type > static_cast<std::uint16_t>(TAsfType::Guid)) {
    return false;
  }
  attribute.Type = static_cast<TAsfType>(type);
  attribute.StoredSize = value.size();
  switch (attribute.Type) {
    case TAsfType::Unicode:
      attribute.Text = TextOf(value);
      break;
    case TAsfType::Bytes:
    case TAsfType::Guid:
      attribute.Bytes.assign(value.begin(), value.end());
      break;
    case TAsfType::Bool:
      attribute.Number = NumberOf(value) != 0 ? 1 : 0;
      break;
    case TAsfType::DWord:
    case TAsfType::QWord:
    case TAsfType::Word:
      attribute.Number = NumberOf(value);
      break;
  }
  return true;
}

bool ParseContentDescription(TReader data, TAsfHeader& header)
{
  std::uint16_t lengths[5] = {};
  for (std::uint16_t& length : lengths) {
    if (!data.Word(length)) {
      return false;
    }
  }
  std::u16string* const texts[5] = {&header.Title, &header.Author, &header.Copyright, &header.Description,
                                    &header.Rating};
  for (int i = 0; i < 5; ++i) {
    std::span<const std::uint8_t> text;
    if (!data.Take(lengths[i], text)) {
      return false;
    }
    *texts[i] = TextOf(text);
  }
  return true;
}

bool ParseExtendedContentDescription(TReader data, TAsfHeader& header)
{
  std::uint16_t count = 0;
  if (!data.Word(count)) {
    return false;
  }
  for (unsigned i = 0; i < count; ++i) {
    TAsfAttribute attribute;
    std::uint16_t nameLength = 0;
    std::uint16_t type = 0;
    std::uint16_t valueLength = 0;
    std::span<const std::uint8_t> name;
    std::span<const std::uint8_t> value;
    if (!data.Word(nameLength) || !data.Take(nameLength, name) || !data.Word(type) ||
        !data.Word(valueLength) || !data.Take(valueLength, value) || !SetValue(attribute, type, value)) {
      return false;
    }
    attribute.Name = TextOf(name);
    header.Attributes.push_back(std::move(attribute));
  }
  return true;
}

// The metadata object keeps no language; the library object's first WORD is the language index.
bool ParseMetadata(TReader data, bool library, TAsfHeader& header)
{
  std::uint16_t count = 0;
  if (!data.Word(count)) {
    return false;
  }
  for (unsigned i = 0; i < count; ++i) {
    TAsfAttribute attribute;
    std::uint16_t language = 0;
    std::uint16_t nameLength = 0;
    std::uint16_t type = 0;
    std::uint32_t valueLength = 0;
    std::span<const std::uint8_t> name;
    std::span<const std::uint8_t> value;
    if (!data.Word(language) || !data.Word(attribute.Stream) || !data.Word(nameLength) || !data.Word(type) ||
        !data.DWord(valueLength) || !data.Take(nameLength, name) || !data.Take(valueLength, value) ||
        !SetValue(attribute, type, value)) {
      return false;
    }
    attribute.Language = library ? language : 0;
    attribute.Name = TextOf(name);
    header.Attributes.push_back(std::move(attribute));
  }
  return true;
}

struct TObject {
  TGuid Id{};
  std::span<const std::uint8_t> Data;  // after the 24-byte object header
};

// The next object of a list: false when its size does not fit what is left.
bool NextObject(TReader& list, TObject& object)
{
  std::span<const std::uint8_t> start;
  if (!list.Take(ObjectHeaderSize, start)) {
    return false;
  }
  std::memcpy(object.Id.data(), start.data(), object.Id.size());
  const std::uint64_t size = ByteOrder::LoadLE64(start.data() + 16);
  if (size < ObjectHeaderSize || size - ObjectHeaderSize > list.Left()) {
    return false;
  }
  return list.Take(static_cast<std::size_t>(size - ObjectHeaderSize), object.Data);
}

bool ParseExtension(std::span<const std::uint8_t> data, TAsfHeader& header)
{
  constexpr std::size_t prefix = ExtensionDataOffset - ObjectHeaderSize;
  if (data.size() < prefix) {
    return false;
  }
  const std::uint32_t size = ByteOrder::LoadLE32(data.data() + prefix - 4);
  if (size > data.size() - prefix) {
    return false;
  }
  TReader list(data.subspan(prefix, size));
  while (list.Left() > 0) {
    TObject object;
    if (!NextObject(list, object)) {
      return false;
    }
    if (object.Id == MetadataObject || object.Id == MetadataLibraryObject) {
      if (!ParseMetadata(TReader(object.Data), object.Id == MetadataLibraryObject, header)) {
        return false;
      }
    }
  }
  return true;
}

std::int64_t LengthOf(std::span<const std::uint8_t> data)
{
  const std::uint64_t duration = ByteOrder::LoadLE64(data.data() + PlayDurationOffset);  // 100 ns
  const std::uint64_t preroll = ByteOrder::LoadLE64(data.data() + PrerollOffset);        // ms
  const double milliseconds =
      std::floor(static_cast<double>(duration) / 10000.0 - static_cast<double>(preroll) + 0.5);
  return static_cast<std::int64_t>(
      std::clamp(milliseconds, 0.0, double{std::numeric_limits<std::int32_t>::max()}));
}

}  // namespace

bool ParseAsfHeader(std::span<const std::uint8_t> bytes, TAsfHeader& header)
{
  header = TAsfHeader{};
  if (bytes.size() < HeaderObjectStart ||
      std::memcmp(bytes.data(), HeaderObject.data(), HeaderObject.size()) != 0) {
    return false;
  }
  const std::uint64_t size = ByteOrder::LoadLE64(bytes.data() + 16);
  if (size < HeaderObjectStart || size > bytes.size()) {
    return false;
  }
  const std::uint32_t count = ByteOrder::LoadLE32(bytes.data() + ObjectHeaderSize);
  TReader list(bytes.subspan(HeaderObjectStart, static_cast<std::size_t>(size) - HeaderObjectStart));
  bool haveFileProperties = false;
  // The count bounds the walk; a count larger than the objects there is damage.
  for (std::uint32_t i = 0; i < count; ++i) {
    TObject object;
    if (!NextObject(list, object)) {
      return false;
    }
    bool good = true;
    if (object.Id == FilePropertiesObject) {
      haveFileProperties = true;
      if (object.Data.size() >= FilePropertiesSize) {
        header.LengthMilliseconds = LengthOf(object.Data);
      }
    } else if (object.Id == StreamPropertiesObject) {
      if (object.Data.size() >= StreamPropertiesSize) {
        const std::uint32_t averageBytes = ByteOrder::LoadLE32(object.Data.data() + AverageBytesOffset);
        header.BitrateKbps = static_cast<std::int32_t>(std::floor(averageBytes * 8.0 / 1000.0 + 0.5));
      }
    } else if (object.Id == ContentDescriptionObject) {
      good = ParseContentDescription(TReader(object.Data), header);
    } else if (object.Id == ExtendedContentDescriptionObject) {
      good = ParseExtendedContentDescription(TReader(object.Data), header);
    } else if (object.Id == HeaderExtensionObject) {
      good = ParseExtension(object.Data, header);
    }
    if (!good) {
      return false;
    }
  }
  return haveFileProperties;
}

bool RecordFileSize(std::span<std::uint8_t> bytes, std::uint64_t size)
{
  if (bytes.size() < HeaderObjectStart ||
      std::memcmp(bytes.data(), HeaderObject.data(), HeaderObject.size()) != 0) {
    return false;
  }
  const std::uint64_t headerSize = ByteOrder::LoadLE64(bytes.data() + 16);
  if (headerSize < HeaderObjectStart || headerSize > bytes.size()) {
    return false;
  }
  const std::uint32_t count = ByteOrder::LoadLE32(bytes.data() + ObjectHeaderSize);
  TReader list(std::span<const std::uint8_t>(bytes).subspan(
      HeaderObjectStart, static_cast<std::size_t>(headerSize) - HeaderObjectStart));
  for (std::uint32_t i = 0; i < count; ++i) {
    TObject object;
    if (!NextObject(list, object)) {
      return false;
    }
    if (object.Id != FilePropertiesObject) {
      continue;
    }
    if (object.Data.size() < FlagsOffset + 4) {
      return false;
    }
    std::uint8_t* data = bytes.data() + (object.Data.data() - bytes.data());
    if ((ByteOrder::LoadLE32(data + FlagsOffset) & BroadcastFlag) == 0) {
      ByteOrder::StoreLE64(data + FileSizeOffset, size);
    }
    return true;
  }
  return false;
}

}  // namespace wmvcore
