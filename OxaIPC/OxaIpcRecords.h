#pragma once
// The bus's shared records and the names of its shared objects.
//
// Every record lives in a shared heap that other processes write, so nothing here is trusted:
// TOxaIpcBody reads and writes records only through offsets it has checked against the mapping
// (inside the heap's nodes, on a block boundary, within the block's stored request), and every
// list walk is bounded by the number of blocks the body can hold. A record that fails a check
// raises EOxaIpcDamaged, which the bus turns into its damaged path.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "framework/OxaUtils.h"

static_assert(std::endian::native == std::endian::little, "shared records are stored as they lie in memory");

// The head's user header.
struct TOxaIpcHeadHeader {
  char Name[256];            // the group name, zero-terminated, at most 255 characters
  std::uint32_t Magic;       // OxaIpcMagic once laid out, 0 in a new head
  std::uint32_t Generation;  // the current body's generation
  std::uint32_t BodySize;    // the current body's data size
};
static_assert(sizeof(TOxaIpcHeadHeader) == 268);
static_assert(offsetof(TOxaIpcHeadHeader, Magic) == 256);
static_assert(offsetof(TOxaIpcHeadHeader, Generation) == 260);
static_assert(offsetof(TOxaIpcHeadHeader, BodySize) == 264);

// The body's user header.
struct TOxaIpcBodyHeader {
  std::uint32_t Generation;   // of this body
  std::uint32_t IdCounter;    // last id handed out (process, name and NewId ids alike)
  std::uint32_t Serial;       // message serial counter
  std::uint32_t DebugClient;  // the debug client's record, 0 when none
  std::uint32_t Processes;    // list heads
  std::uint32_t Clients;
  std::uint32_t Names;
};
static_assert(sizeof(TOxaIpcBodyHeader) == 28);
static_assert(offsetof(TOxaIpcBodyHeader, Processes) == 16);
static_assert(offsetof(TOxaIpcBodyHeader, Names) == 24);

struct TOxaIpcProcessRecord {
  std::uint32_t Next;
  std::uint32_t Pid;
  std::uint32_t Generation;  // the body generation this process has mapped
  std::uint32_t Window;      // its message window
  std::uint32_t Pending;     // notify messages posted to it and not yet taken
};
static_assert(sizeof(TOxaIpcProcessRecord) == 20);

// Followed by the name and its zero; the record is requested with 4 spare bytes after that.
struct TOxaIpcNameRecord {
  std::uint32_t Next;
  std::uint32_t Id;
};
static_assert(sizeof(TOxaIpcNameRecord) == 8);
constexpr std::uint32_t OxaIpcNameRecordSize(std::size_t nameLength)
{
  return static_cast<std::uint32_t>(nameLength + 13);
}

struct TOxaIpcClientRecord {
  std::uint32_t Next;
  std::uint32_t Id;
  std::uint32_t Owner;       // its process record
  std::uint32_t Posted;      // 1 while a notify for it is outstanding
  std::uint32_t Types;       // its types block, 0 when none
  std::uint32_t Messages;    // queue head, oldest first
  std::uint32_t Properties;  // property list head
};
static_assert(sizeof(TOxaIpcClientRecord) == 28);
static_assert(offsetof(TOxaIpcClientRecord, Messages) == 20);

// Notifications, calls and results; followed by the payload and 4 spare zero bytes.
struct TOxaIpcMessageRecord {
  std::uint32_t Link;
  std::uint32_t Pending;  // all bits set in a call until its result is attached
  std::uint32_t Target;
  std::uint32_t Name;
  std::uint32_t Sender;
  std::uint32_t Serial;
  std::uint32_t Time;
  std::uint32_t Size;
};
static_assert(sizeof(TOxaIpcMessageRecord) == 32);
constexpr std::uint32_t OxaIpcMessageRecordSize(std::uint32_t payload)
{
  return payload + 36;
}

// Followed by the data and 4 spare bytes.
struct TOxaIpcPropertyRecord {
  std::uint32_t Next;
  std::uint32_t Id;
  std::uint32_t Size;
};
static_assert(sizeof(TOxaIpcPropertyRecord) == 12);
constexpr std::uint32_t OxaIpcPropertyRecordSize(std::uint32_t size)
{
  return size + 16;
}

// A types block: the count, the type ids and 4 spare bytes.
constexpr std::uint32_t OxaIpcTypesBlockSize(std::uint32_t count)
{
  return count * 4 + 8;
}

constexpr std::uint32_t OxaIpcMagic = 207;
constexpr std::uint32_t OxaIpcHeadHeaderSize = sizeof(TOxaIpcHeadHeader);
constexpr std::uint32_t OxaIpcBodyHeaderSize = sizeof(TOxaIpcBodyHeader);
// The body grows in whole steps of this size; a new bus starts with one.
constexpr std::uint32_t OxaIpcBodyStep = 0x4000;
constexpr std::size_t OxaIpcMaxGroupName = 255;

// Names of a group's shared objects; group is the upper-cased group name.
std::string OxaIpcMutexName(std::string_view group);
std::string OxaIpcHeadName(std::string_view group);
std::string OxaIpcBodyName(std::string_view group, std::uint32_t generation);
std::string OxaIpcProcessMutexName(std::string_view group, std::uint32_t pid);
std::string OxaIpcClientEventName(std::string_view group, std::uint32_t clientId);
// "OxaIpc.a." / "OxaIpc.e." + the path upper-cased with "\" written as "/".
std::string OxaIpcApplicationMutexName(std::string_view path);
std::string OxaIpcLaunchMutexName(std::string_view path);

// A shared record was found damaged: the bus takes its damaged path.
class EOxaIpcDamaged : public EOxaFailed {
 public:
  using EOxaFailed::EOxaFailed;
};

// Checked access to the records of a mapped body heap. Not an owner: a view is good until the
// body is remapped, so callers keep offsets, never views or pointers, across an allocation.
class TOxaIpcBody {
 public:
  TOxaIpcBody() = default;
  // base: the heap's first byte; bytes: how many bytes of the mapping belong to the heap.
  TOxaIpcBody(std::uint8_t* base, std::uint32_t bytes) noexcept : FBase(base), FBytes(bytes) {}

  bool Valid() const noexcept { return FBase != nullptr; }
  // The most blocks the heap can hold: the bound of every list walk.
  std::uint32_t MaxRecords() const noexcept { return FBytes / 16; }
  std::uint32_t Bytes() const noexcept { return FBytes; }

  // Whether offset is the data of an allocated-looking block whose request holds size bytes,
  // all inside the heap's node area.
  bool IsBlock(std::uint32_t offset, std::uint32_t size) const noexcept;
  // The request stored before a checked block.
  std::uint32_t Request(std::uint32_t offset) const;

  TOxaIpcBodyHeader Header() const;
  void SetHeader(const TOxaIpcBodyHeader& header);

  template <class T>
  T Read(std::uint32_t offset) const
  {
    Require(offset, sizeof(T));
    T record;
    std::memcpy(&record, FBase + offset, sizeof(T));
    return record;
  }
  template <class T>
  void Write(std::uint32_t offset, const T& record)
  {
    Require(offset, sizeof(T));
    std::memcpy(FBase + offset, &record, sizeof(T));
  }
  // count bytes at offset + skip within a checked block of at least skip + count bytes.
  void ReadBytes(std::uint32_t offset, std::uint32_t skip, void* data, std::uint32_t count) const;
  void WriteBytes(std::uint32_t offset, std::uint32_t skip, const void* data, std::uint32_t count);
  // The name of a name record; raises when it is not zero-terminated inside its block.
  std::string RecordName(std::uint32_t offset) const;

  // Steps along a list, raising when it runs longer than the heap can hold.
  class TWalk {
   public:
    TWalk(const TOxaIpcBody& body, const char* list) : FLimit(body.MaxRecords()), FList(list) {}
    void Step();

   private:
    std::uint32_t FLimit;
    std::uint32_t FSteps = 0;
    const char* FList;
  };

  // Raises EOxaIpcDamaged naming what when the check fails.
  void Require(std::uint32_t offset, std::uint32_t size) const;

 private:
  std::uint32_t HeapWord(std::uint32_t offset) const;

  std::uint8_t* FBase = nullptr;
  std::uint32_t FBytes = 0;
};

// The bytes of the message record at offset, checked against its block.
std::uint32_t OxaIpcMessageBytes(const TOxaIpcBody& body, std::uint32_t offset,
                                 const TOxaIpcMessageRecord& message);
// Walks every list of the body and checks every record on it (queues, properties, types
// blocks, names); raises EOxaIpcDamaged at the first fault.
void OxaIpcValidateBody(const TOxaIpcBody& body);
