#include "OxaIPC/OxaIpcRecords.h"

#include <algorithm>

#include "framework/OxaMemory.h"
#include "rtl/AnsiText.h"

namespace {

// The body heap lays out its 28-byte user header in 32 bytes after its own 16, so its nodes
// start here and every block's data sits 4 bytes past a 16-byte boundary.
constexpr std::uint32_t FirstNode = 16 + 32;
constexpr std::uint32_t HeaderArea = 16;

std::string PathName(std::string_view prefix, std::string_view path)
{
  std::string name = AnsiUpperCase(path);
  std::replace(name.begin(), name.end(), '\\', '/');
  return std::string(prefix) + name;
}

}  // namespace

std::string OxaIpcMutexName(std::string_view group)
{
  return "OxaIpc." + std::string(group) + ".Mutex";
}

std::string OxaIpcHeadName(std::string_view group)
{
  return "OxaIpc." + std::string(group) + ".Head";
}

std::string OxaIpcBodyName(std::string_view group, std::uint32_t generation)
{
  return "OxaIpc." + std::string(group) + ".Body." + std::to_string(generation);
}

std::string OxaIpcProcessMutexName(std::string_view group, std::uint32_t pid)
{
  return OxaIpcMutexName(group) + "." + std::to_string(pid);
}

std::string OxaIpcClientEventName(std::string_view group, std::uint32_t clientId)
{
  return "OxaIpc." + std::string(group) + ".Client." + std::to_string(clientId);
}

std::string OxaIpcApplicationMutexName(std::string_view path)
{
  return PathName("OxaIpc.a.", path);
}

std::string OxaIpcLaunchMutexName(std::string_view path)
{
  return PathName("OxaIpc.e.", path);
}

std::uint32_t TOxaIpcBody::HeapWord(std::uint32_t offset) const
{
  std::uint32_t word = 0;
  std::memcpy(&word, FBase + offset, 4);
  return word;
}

bool TOxaIpcBody::IsBlock(std::uint32_t offset, std::uint32_t size) const noexcept
{
  if (FBase == nullptr || FBytes < FirstNode + 24 || offset < FirstNode + 4 || offset % 16 != 4) {
    return false;
  }
  // The last 8 bytes of the heap lie outside every node.
  const std::uint64_t end = FBytes - 8;
  if (offset >= end) {
    return false;
  }
  const std::uint32_t request = HeapWord(offset - 4);
  return request >= size && std::uint64_t{offset} - 4 + OxaBlockBytes(request) <= end;
}

void TOxaIpcBody::Require(std::uint32_t offset, std::uint32_t size) const
{
  if (!IsBlock(offset, size)) {
    throw EOxaIpcDamaged(Format("Damaged record at offset %u (%u bytes)", offset, size));
  }
}

std::uint32_t TOxaIpcBody::Request(std::uint32_t offset) const
{
  Require(offset, 0);
  return HeapWord(offset - 4);
}

TOxaIpcBodyHeader TOxaIpcBody::Header() const
{
  if (FBase == nullptr || FBytes < FirstNode) {
    throw EOxaIpcDamaged("The body is too small");
  }
  TOxaIpcBodyHeader header;
  std::memcpy(&header, FBase + HeaderArea, sizeof(header));
  return header;
}

void TOxaIpcBody::SetHeader(const TOxaIpcBodyHeader& header)
{
  if (FBase == nullptr || FBytes < FirstNode) {
    throw EOxaIpcDamaged("The body is too small");
  }
  std::memcpy(FBase + HeaderArea, &header, sizeof(header));
}

void TOxaIpcBody::ReadBytes(std::uint32_t offset, std::uint32_t skip, void* data, std::uint32_t count) const
{
  const std::uint64_t need = std::uint64_t{skip} + count;
  if (need > 0xFFFFFFFFu) {
    throw EOxaIpcDamaged(Format("Damaged record at offset %u", offset));
  }
  Require(offset, static_cast<std::uint32_t>(need));
  if (count > 0) {
    std::memcpy(data, FBase + offset + skip, count);
  }
}

void TOxaIpcBody::WriteBytes(std::uint32_t offset, std::uint32_t skip, const void* data, std::uint32_t count)
{
  const std::uint64_t need = std::uint64_t{skip} + count;
  if (need > 0xFFFFFFFFu) {
    throw EOxaIpcDamaged(Format("Damaged record at offset %u", offset));
  }
  Require(offset, static_cast<std::uint32_t>(need));
  if (count > 0) {
    std::memcpy(FBase + offset + skip, data, count);
  }
}

std::string TOxaIpcBody::RecordName(std::uint32_t offset) const
{
  const std::uint32_t request = Request(offset);
  if (request < OxaIpcNameRecordSize(0)) {
    throw EOxaIpcDamaged(Format("Damaged name record at offset %u", offset));
  }
  const std::uint32_t length = request - OxaIpcNameRecordSize(0);
  const char* text = reinterpret_cast<const char*>(FBase + offset + sizeof(TOxaIpcNameRecord));
  if (text[length] != '\0' || std::memchr(text, 0, length) != nullptr) {
    throw EOxaIpcDamaged(Format("Damaged name record at offset %u", offset));
  }
  return std::string(text, length);
}

void TOxaIpcBody::TWalk::Step()
{
  if (++FSteps > FLimit) {
    throw EOxaIpcDamaged(Format("The %s list does not end", FList));
  }
}

std::uint32_t OxaIpcMessageBytes(const TOxaIpcBody& body, std::uint32_t offset,
                                 const TOxaIpcMessageRecord& message)
{
  if (message.Size > body.Bytes()) {
    throw EOxaIpcDamaged(Format("Damaged message at offset %u", offset));
  }
  const std::uint32_t bytes = OxaIpcMessageRecordSize(message.Size);
  body.Require(offset, bytes);
  return bytes;
}

void OxaIpcValidateBody(const TOxaIpcBody& body)
{
  const TOxaIpcBodyHeader header = body.Header();
  TOxaIpcBody::TWalk walk(body, "process");
  for (std::uint32_t at = header.Processes; at != 0;) {
    walk.Step();
    at = body.Read<TOxaIpcProcessRecord>(at).Next;
  }
  TOxaIpcBody::TWalk clients(body, "client");
  for (std::uint32_t at = header.Clients; at != 0;) {
    clients.Step();
    const auto client = body.Read<TOxaIpcClientRecord>(at);
    TOxaIpcBody::TWalk messages(body, "message");
    for (std::uint32_t m = client.Messages; m != 0;) {
      messages.Step();
      const auto message = body.Read<TOxaIpcMessageRecord>(m);
      OxaIpcMessageBytes(body, m, message);
      m = message.Link;
    }
    TOxaIpcBody::TWalk properties(body, "property");
    for (std::uint32_t p = client.Properties; p != 0;) {
      properties.Step();
      const auto property = body.Read<TOxaIpcPropertyRecord>(p);
      if (property.Size > body.Bytes()) {
        throw EOxaIpcDamaged(Format("Damaged property at offset %u", p));
      }
      body.Require(p, OxaIpcPropertyRecordSize(property.Size));
      p = property.Next;
    }
    if (client.Types != 0) {
      const auto count = body.Read<std::uint32_t>(client.Types);
      if (count > body.Bytes() / 4) {
        throw EOxaIpcDamaged(Format("Damaged types at offset %u", client.Types));
      }
      body.Require(client.Types, OxaIpcTypesBlockSize(count));
    }
    at = client.Next;
  }
  TOxaIpcBody::TWalk names(body, "name");
  for (std::uint32_t at = header.Names; at != 0;) {
    names.Step();
    body.RecordName(at);
    at = body.Read<TOxaIpcNameRecord>(at).Next;
  }
}
