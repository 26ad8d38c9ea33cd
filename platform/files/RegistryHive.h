#pragma once
// The in-memory form of one registry hive and its file format. Internal to the platform layer;
// the Reg* calls in platform/files/Registry.h are the interface.
//
// File format (integers little-endian):
//   "OXAHIVE" 0x01 | payload length (u32) | CRC-32 of the payload (u32) | payload = root key
//   key:   name length (u16) name | value count (u32) values | subkey count (u32) subkeys
//   value: name length (u16) name | type (u32) | data length (u32) data
// The root key has an empty name. Key names are unique without regard to case and never hold
// "\"; value names are unique without regard to case.

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/WinTypes.h"

constexpr std::size_t kMaxRegKeyNameLength = 255;
constexpr std::size_t kMaxRegValueNameLength = 16383;
constexpr std::size_t kMaxRegValueSize = 1024 * 1024;
constexpr std::size_t kMaxRegKeyDepth = 512;
constexpr std::size_t kMaxHiveFileSize = 64 * 1024 * 1024;

struct TRegValue {
  std::string Name;
  DWORD Type = 0;
  std::vector<BYTE> Data;
};

class TRegKey {
 public:
  explicit TRegKey(std::string name = {}) : Name(std::move(name)) {}

  std::string Name;
  std::vector<TRegValue> Values;                  // in the order they were first written
  std::vector<std::unique_ptr<TRegKey>> SubKeys;  // sorted by upper-case name

  TRegKey* FindSubKey(std::string_view name) const;
  // The existing subkey of that name, or a new one inserted in order.
  TRegKey& AddSubKey(std::string_view name, bool& created);
  bool RemoveSubKey(std::string_view name);
  const TRegValue* FindValue(std::string_view name) const;
  void SetValue(std::string_view name, DWORD type, std::span<const BYTE> data);
  bool RemoveValue(std::string_view name);
};

// Reads a whole hive file image into root (which is emptied first). Returns false for anything
// malformed (wrong magic, length or checksum, a count or length beyond the data, duplicate
// names, nesting deeper than kMaxRegKeyDepth); root is empty then.
bool ParseHive(std::span<const std::byte> image, TRegKey& root);
// The same for the payload alone (no magic, length or checksum), so a fuzzer reaches the keys.
bool ParseHivePayload(std::span<const std::byte> payload, TRegKey& root);

std::vector<std::byte> SerializeHive(const TRegKey& root);
