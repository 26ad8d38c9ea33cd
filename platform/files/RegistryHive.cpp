#include "platform/files/RegistryHive.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/core/ByteOrder.h"
#include "platform/files/detail/CaseFold.h"

namespace {

constexpr std::array<std::byte, 8> kMagic = {std::byte{'O'}, std::byte{'X'}, std::byte{'A'}, std::byte{'H'},
                                             std::byte{'I'}, std::byte{'V'}, std::byte{'E'}, std::byte{1}};
constexpr std::size_t kHeaderSize = kMagic.size() + 8;

std::uint32_t Crc32(std::span<const std::byte> bytes)
{
  static const auto table = [] {
    std::array<std::uint32_t, 256> entries{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int bit = 0; bit < 8; ++bit) {
        c = (c & 1U) != 0 ? 0xEDB88320U ^ (c >> 1) : c >> 1;
      }
      entries[i] = c;
    }
    return entries;
  }();
  std::uint32_t crc = 0xFFFFFFFFU;
  for (const std::byte b : bytes) {
    crc = table[(crc ^ static_cast<std::uint32_t>(b)) & 0xFFU] ^ (crc >> 8);
  }
  return crc ^ 0xFFFFFFFFU;
}

class TReader {
 public:
  explicit TReader(std::span<const std::byte> bytes) : FBytes(bytes) {}

  std::size_t Left() const noexcept { return FBytes.size() - FOffset; }

  bool U16(std::uint16_t& value)
  {
    if (Left() < 2) {
      return false;
    }
    value = ByteOrder::LoadLE16(FBytes.data() + FOffset);
    FOffset += 2;
    return true;
  }

  bool U32(std::uint32_t& value)
  {
    if (Left() < 4) {
      return false;
    }
    value = ByteOrder::LoadLE32(FBytes.data() + FOffset);
    FOffset += 4;
    return true;
  }

  bool Bytes(std::size_t count, std::span<const std::byte>& out)
  {
    if (Left() < count) {
      return false;
    }
    out = FBytes.subspan(FOffset, count);
    FOffset += count;
    return true;
  }

  bool Name(std::size_t maxLength, std::string& name)
  {
    std::uint16_t length = 0;
    std::span<const std::byte> bytes;
    if (!U16(length) || length > maxLength || !Bytes(length, bytes)) {
      return false;
    }
    name.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return true;
  }

 private:
  std::span<const std::byte> FBytes;
  std::size_t FOffset = 0;
};

// Smallest encodings, used to cap counts by the bytes that are left before anything is allocated.
constexpr std::size_t kMinValueSize = 2 + 4 + 4;
constexpr std::size_t kMinKeySize = 2 + 4 + 4;

bool ParseKey(TReader& reader, TRegKey& key, std::size_t depth)
{
  if (depth > kMaxRegKeyDepth) {
    return false;
  }
  std::uint32_t valueCount = 0;
  if (!reader.U32(valueCount) || valueCount > reader.Left() / kMinValueSize) {
    return false;
  }
  for (std::uint32_t i = 0; i < valueCount; ++i) {
    TRegValue value;
    std::uint32_t dataLength = 0;
    std::span<const std::byte> data;
    if (!reader.Name(kMaxRegValueNameLength, value.Name) || !reader.U32(value.Type) ||
        !reader.U32(dataLength) || dataLength > kMaxRegValueSize || !reader.Bytes(dataLength, data) ||
        key.FindValue(value.Name) != nullptr) {
      return false;
    }
    value.Data.resize(data.size());
    if (!data.empty()) {
      std::memcpy(value.Data.data(), data.data(), data.size());
    }
    key.Values.push_back(std::move(value));
  }
  std::uint32_t subKeyCount = 0;
  if (!reader.U32(subKeyCount) || subKeyCount > reader.Left() / kMinKeySize) {
    return false;
  }
  for (std::uint32_t i = 0; i < subKeyCount; ++i) {
    std::string name;
    if (!reader.Name(kMaxRegKeyNameLength, name) || name.empty() || name.find('\\') != std::string::npos) {
      return false;
    }
    bool created = false;
    TRegKey& subKey = key.AddSubKey(name, created);
    if (!created || !ParseKey(reader, subKey, depth + 1)) {
      return false;
    }
  }
  return true;
}

void PutU16(std::vector<std::byte>& out, std::uint16_t value)
{
  out.resize(out.size() + 2);
  ByteOrder::StoreLE16(out.data() + out.size() - 2, value);
}

void PutU32(std::vector<std::byte>& out, std::uint32_t value)
{
  out.resize(out.size() + 4);
  ByteOrder::StoreLE32(out.data() + out.size() - 4, value);
}

void PutName(std::vector<std::byte>& out, std::string_view name)
{
  PutU16(out, static_cast<std::uint16_t>(name.size()));
  const auto* bytes = reinterpret_cast<const std::byte*>(name.data());
  out.insert(out.end(), bytes, bytes + name.size());
}

void SerializeKey(std::vector<std::byte>& out, const TRegKey& key)
{
  PutU32(out, static_cast<std::uint32_t>(key.Values.size()));
  for (const auto& value : key.Values) {
    PutName(out, value.Name);
    PutU32(out, value.Type);
    PutU32(out, static_cast<std::uint32_t>(value.Data.size()));
    const auto* bytes = reinterpret_cast<const std::byte*>(value.Data.data());
    out.insert(out.end(), bytes, bytes + value.Data.size());
  }
  PutU32(out, static_cast<std::uint32_t>(key.SubKeys.size()));
  for (const auto& subKey : key.SubKeys) {
    PutName(out, subKey->Name);
    SerializeKey(out, *subKey);
  }
}

}  // namespace

TRegKey* TRegKey::FindSubKey(std::string_view name) const
{
  const std::string upper = UpperCaseName(name);
  const auto found = std::lower_bound(
      SubKeys.begin(), SubKeys.end(), upper,
      [](const auto& key, const std::string& wanted) { return UpperCaseName(key->Name) < wanted; });
  if (found != SubKeys.end() && UpperCaseName((*found)->Name) == upper) {
    return found->get();
  }
  return nullptr;
}

TRegKey& TRegKey::AddSubKey(std::string_view name, bool& created)
{
  const std::string upper = UpperCaseName(name);
  const auto found = std::lower_bound(
      SubKeys.begin(), SubKeys.end(), upper,
      [](const auto& key, const std::string& wanted) { return UpperCaseName(key->Name) < wanted; });
  if (found != SubKeys.end() && UpperCaseName((*found)->Name) == upper) {
    created = false;
    return **found;
  }
  created = true;
  return **SubKeys.insert(found, std::make_unique<TRegKey>(std::string(name)));
}

bool TRegKey::RemoveSubKey(std::string_view name)
{
  const auto found = std::find_if(SubKeys.begin(), SubKeys.end(),
                                  [&](const auto& key) { return SameNameIgnoringCase(key->Name, name); });
  if (found == SubKeys.end()) {
    return false;
  }
  SubKeys.erase(found);
  return true;
}

const TRegValue* TRegKey::FindValue(std::string_view name) const
{
  const auto found = std::find_if(Values.begin(), Values.end(), [&](const TRegValue& value) {
    return SameNameIgnoringCase(value.Name, name);
  });
  return found == Values.end() ? nullptr : &*found;
}

void TRegKey::SetValue(std::string_view name, DWORD type, std::span<const BYTE> data)
{
  auto found = std::find_if(Values.begin(), Values.end(),
                            [&](const TRegValue& value) { return SameNameIgnoringCase(value.Name, name); });
  if (found == Values.end()) {
    Values.push_back(TRegValue{std::string(name), type, {}});
    found = std::prev(Values.end());
  }
  found->Type = type;
  found->Data.assign(data.begin(), data.end());
}

bool TRegKey::RemoveValue(std::string_view name)
{
  const auto found = std::find_if(Values.begin(), Values.end(), [&](const TRegValue& value) {
    return SameNameIgnoringCase(value.Name, name);
  });
  if (found == Values.end()) {
    return false;
  }
  Values.erase(found);
  return true;
}

bool ParseHive(std::span<const std::byte> image, TRegKey& root)
{
  root.Values.clear();
  root.SubKeys.clear();
  if (image.size() < kHeaderSize || image.size() > kMaxHiveFileSize ||
      !std::equal(kMagic.begin(), kMagic.end(), image.begin())) {
    return false;
  }
  TReader header(image.subspan(kMagic.size(), 8));
  std::uint32_t payloadLength = 0;
  std::uint32_t checksum = 0;
  header.U32(payloadLength);
  header.U32(checksum);
  const auto payload = image.subspan(kHeaderSize);
  if (payload.size() != payloadLength || Crc32(payload) != checksum) {
    return false;
  }
  return ParseHivePayload(payload, root);
}

bool ParseHivePayload(std::span<const std::byte> payload, TRegKey& root)
{
  root.Values.clear();
  root.SubKeys.clear();
  TReader reader(payload);
  if (!ParseKey(reader, root, 0) || reader.Left() != 0) {
    root.Values.clear();
    root.SubKeys.clear();
    return false;
  }
  return true;
}

std::vector<std::byte> SerializeHive(const TRegKey& root)
{
  std::vector<std::byte> payload;
  SerializeKey(payload, root);
  std::vector<std::byte> image(kMagic.begin(), kMagic.end());
  PutU32(image, static_cast<std::uint32_t>(payload.size()));
  PutU32(image, Crc32(payload));
  image.insert(image.end(), payload.begin(), payload.end());
  return image;
}
