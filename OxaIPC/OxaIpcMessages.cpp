// Clients on the bus: their records, queued notifications, calls and their results, properties
// and the copies of all traffic for a debug monitor.
//
// Another member may have timed out, died or been hostile between any two of our looks at a
// record, so a record is trusted only after its fields show it is still the one we mean (a call
// record names itself, its serial, sender and target), and every size is checked against the
// block that holds it before anything is copied or allocated.

#include <algorithm>

#include "OxaIPC/OxaIpc.h"
#include "OxaIPC/OxaIpcClient.h"
#include "OxaIPC/OxaIpcGuard.h"
#include "platform/core/Time.h"
#include "platform/windows/Messages.h"

namespace {

constexpr std::uint32_t HeaderBytes = sizeof(TOxaIpcMessageRecord);
constexpr std::uint32_t Spare = 0;

HWND WordWindow(std::uint32_t word)
{
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(word));
}

// The payload size of the message record at offset, checked against its block.
std::uint32_t CheckedSize(const TOxaIpcBody& body, std::uint32_t offset, const TOxaIpcMessageRecord& message)
{
  const std::uint32_t request = body.Request(offset);
  if (request < OxaIpcMessageRecordSize(0) || message.Size > request - OxaIpcMessageRecordSize(0)) {
    throw EOxaIpcDamaged(Format("Damaged message at offset %u", offset));
  }
  return message.Size;
}

void Append(std::vector<std::uint8_t>& bytes, const void* data, std::uint32_t size)
{
  if (size > 0) {
    const auto* first = static_cast<const std::uint8_t*>(data);
    bytes.insert(bytes.end(), first, first + size);
  }
}

std::vector<std::uint8_t> HeaderImage(const TOxaIpcMessageRecord& header)
{
  std::vector<std::uint8_t> bytes(HeaderBytes);
  std::memcpy(bytes.data(), &header, HeaderBytes);
  return bytes;
}

}  // namespace

std::uint32_t TOxaIpc::DebugClientOffset()
{
  TOxaIpcBody body = Body();
  const std::uint32_t offset = body.Header().DebugClient;
  if (offset == 0) {
    return 0;
  }
  if (body.Read<TOxaIpcClientRecord>(offset).Id != ConfiguredId(nkDebugClient)) {
    throw EOxaIpcDamaged(Format("Damaged debug client at offset %u", offset));
  }
  return offset;
}

bool TOxaIpc::MakeRoom(std::uint32_t clientOffset, std::uint32_t size)
{
  const std::uint32_t debugNames[] = {ConfiguredId(nkDebugNotify), ConfiguredId(nkDebugCall),
                                      ConfiguredId(nkDebugResult), ConfiguredId(nkDebugProperty)};
  for (;;) {
    TOxaIpcBody body = Body();
    const auto client = body.Read<TOxaIpcClientRecord>(clientOffset);
    std::uint32_t count = 0;
    std::uint64_t bytes = 0;
    std::uint32_t debugCopy = 0;  // the oldest one
    std::uint32_t beforeDebugCopy = 0;
    std::uint32_t previous = 0;
    TOxaIpcBody::TWalk walk(body, "message");
    for (std::uint32_t at = client.Messages; at != 0;) {
      walk.Step();
      const auto message = body.Read<TOxaIpcMessageRecord>(at);
      ++count;
      bytes += CheckedSize(body, at, message);
      if (debugCopy == 0 && message.Serial == 0 &&
          std::find(std::begin(debugNames), std::end(debugNames), message.Name) != std::end(debugNames)) {
        debugCopy = at;
        beforeDebugCopy = previous;
      }
      previous = at;
      at = message.Link;
    }
    // A message larger than the cap still goes to an empty queue, or it could never be sent.
    if (count == 0 || (count < OxaIpcQueueLimit && bytes + size <= OxaIpcQueueBytesLimit)) {
      return true;
    }
    if (debugCopy == 0) {
      TraceObject(this, "Queue: client %u is full, message dropped", client.Id);
      return false;
    }
    TraceObject(this, "Queue: client %u is full, debug copy dropped", client.Id);
    const std::uint32_t next = body.Read<TOxaIpcMessageRecord>(debugCopy).Link;
    if (beforeDebugCopy == 0) {
      auto record = client;
      record.Messages = next;
      body.Write(clientOffset, record);
    } else {
      auto before = body.Read<TOxaIpcMessageRecord>(beforeDebugCopy);
      before.Link = next;
      body.Write(beforeDebugCopy, before);
    }
    FreeShared(debugCopy);
  }
}

bool TOxaIpc::Deliver(std::uint32_t clientOffset, const TOxaIpcMessageRecord& given, const void* data,
                      bool copy)
{
  const std::uint32_t size = given.Size;
  if (!MakeRoom(clientOffset, size)) {
    return false;
  }
  const std::uint32_t record = AllocShared(OxaIpcMessageRecordSize(size));
  if (record == 0) {
    return false;
  }
  TOxaIpcBody body = Body();
  auto client = body.Read<TOxaIpcClientRecord>(clientOffset);
  TOxaIpcMessageRecord header = given;
  header.Link = 0;
  header.Pending = 0;
  header.Target = client.Id;
  header.Time = GetTickCount();
  body.Write(record, header);
  body.WriteBytes(record, HeaderBytes, data, size);
  body.WriteBytes(record, HeaderBytes + size, &Spare, sizeof(Spare));
  if (client.Messages == 0) {
    client.Messages = record;
    body.Write(clientOffset, client);
  } else {
    TOxaIpcBody::TWalk walk(body, "message");
    for (std::uint32_t last = client.Messages;;) {
      walk.Step();
      auto message = body.Read<TOxaIpcMessageRecord>(last);
      if (message.Link == 0) {
        message.Link = record;
        body.Write(last, message);
        break;
      }
      last = message.Link;
    }
  }
  PostNotify(clientOffset);
  const std::uint32_t debugId = ConfiguredId(nkDebugClient);
  if (copy && header.Sender != debugId && header.Target != debugId && DebugClientOffset() != 0) {
    std::vector<std::uint8_t> image = HeaderImage(header);
    DebugCopy(header.Sender, ConfiguredId(nkDebugNotify), HeaderBytes, image.data(), size, data);
  }
  return true;
}

void TOxaIpc::DebugCopy(std::uint32_t senderId, std::uint32_t nameId, std::uint32_t firstSize,
                        const void* first, std::uint32_t secondSize, const void* second)
{
  const std::uint32_t debug = DebugClientOffset();
  if (debug == 0) {
    return;
  }
  // Every copy ends with the 4 spare bytes its record had: the monitor gets size + 36 bytes.
  std::vector<std::uint8_t> payload;
  payload.reserve(std::size_t{firstSize} + secondSize + sizeof(Spare));
  Append(payload, first, firstSize);
  Append(payload, second, secondSize);
  if (nameId != ConfiguredId(nkDebugResult)) {
    Append(payload, &Spare, sizeof(Spare));
  }
  const auto size = static_cast<std::uint32_t>(payload.size());
  Deliver(debug, TOxaIpcMessageRecord{0, 0, 0, nameId, senderId, 0, 0, size}, payload.data(), false);
}

std::uint32_t TOxaIpc::RegisterClient(std::uint32_t clientId, const std::vector<std::uint32_t>& types)
{
  return Guarded(std::uint32_t{0}, [&]() -> std::uint32_t {
    TOxaIpcBusLock lock(*this, LockTimeout);
    if (!lock || clientId == 0) {
      return 0;
    }
    CheckAllProcesses();
    if (FindClient(clientId) != 0) {
      return 0;  // one client per name on a bus
    }
    const std::uint32_t record = CreateClientRecord(clientId);
    if (record == 0) {
      return 0;
    }
    if (!types.empty()) {
      const auto count = static_cast<std::uint32_t>(types.size());
      const std::uint32_t block = AllocShared(OxaIpcTypesBlockSize(count));
      if (block == 0) {
        FreeClientRecord(record);
        return 0;
      }
      TOxaIpcBody body = Body();
      body.WriteBytes(block, 0, &count, sizeof(count));
      body.WriteBytes(block, sizeof(count), types.data(), count * 4);
      body.WriteBytes(block, sizeof(count) + count * 4, &Spare, sizeof(Spare));
      auto client = body.Read<TOxaIpcClientRecord>(record);
      client.Types = block;
      body.Write(record, client);
    }
    if (clientId == ConfiguredId(nkDebugClient)) {
      TOxaIpcBody body = Body();
      TOxaIpcBodyHeader header = body.Header();
      header.DebugClient = record;
      body.SetHeader(header);
    }
    Notify(clientId, 0, 0, nullptr, ConfiguredId(nkClientAttach));
    // Whoever waits in Exists for this client wakes now. A waiter makes the event under the bus
    // lock, held here: without the event nobody waits, and none is made only to be dropped.
    TOxaEvent event;
    if (event.OpenExisting(OxaIpcClientEventName(FGroup, clientId))) {
      event.SetEvent();
      event.Close();
    }
    return record;
  });
}

void TOxaIpc::UnregisterClient(std::uint32_t clientId)
{
  if (!FActive) {
    return;
  }
  Guarded(false, [&] {
    TOxaIpcBusLock lock(*this, LockTimeout);
    if (!lock) {
      return false;
    }
    const std::uint32_t record = FindClient(clientId);
    if (record == 0 || Body().Read<TOxaIpcClientRecord>(record).Owner != FProcess) {
      return false;  // swept already, or another member's
    }
    FreeClientRecord(record);
    Notify(clientId, 0, 0, nullptr, ConfiguredId(nkClientDetach));
    return true;
  });
}

bool TOxaIpc::NotifyAll(std::uint32_t senderId, const std::vector<std::uint32_t>& types, std::uint32_t nameId,
                        std::uint32_t size, const void* data)
{
  if (!FActive) {
    throw EOxaFatal(Format("%s.NotifyAll: Not active", ClassName()));
  }
  if (size != 0 && data == nullptr) {
    return false;
  }
  const bool everyone = types.empty() || std::find(types.begin(), types.end(), 0u) != types.end();
  return Guarded(false, [&] {
    TOxaIpcBusLock lock(*this, LockTimeout);
    if (!lock) {
      return false;
    }
    CheckAllProcesses();
    std::vector<std::uint32_t> targets;
    TOxaIpcBody body = Body();
    TOxaIpcBody::TWalk walk(body, "client");
    for (std::uint32_t at = body.Header().Clients; at != 0;) {
      walk.Step();
      const auto client = body.Read<TOxaIpcClientRecord>(at);
      bool match = everyone;
      if (!match && client.Types != 0) {
        std::uint32_t count = 0;
        body.ReadBytes(client.Types, 0, &count, sizeof(count));
        if (count > (body.Request(client.Types) - OxaIpcTypesBlockSize(0)) / 4) {
          throw EOxaIpcDamaged(Format("Damaged types block at offset %u", client.Types));
        }
        std::vector<std::uint32_t> carried(count);
        body.ReadBytes(client.Types, sizeof(count), carried.data(), count * 4);
        match = std::any_of(carried.begin(), carried.end(), [&](std::uint32_t type) {
          return std::find(types.begin(), types.end(), type) != types.end();
        });
      }
      if (match) {
        targets.push_back(at);
      }
      at = client.Next;
    }
    if (targets.empty()) {
      return false;
    }
    TOxaIpcBodyHeader header = body.Header();
    const std::uint32_t serial = ++header.Serial;
    body.SetHeader(header);
    bool sent = false;
    for (std::uint32_t client : targets) {
      sent = Deliver(client, TOxaIpcMessageRecord{0, 0, 0, nameId, senderId, serial, 0, size}, data, true) ||
             sent;
    }
    return sent;
  });
}

bool TOxaIpc::Call(std::uint32_t senderId, std::uint32_t targetId, std::uint32_t& resultSize,
                   std::vector<std::uint8_t>& resultData, std::uint32_t size, const void* data, DWORD timeout,
                   bool block, std::uint32_t nameId)
{
  resultSize = 0;
  resultData.clear();
  if (!FActive) {
    throw EOxaFatal(Format("%s.Call: Not active", ClassName()));
  }
  if (FMutex.Locked()) {
    throw EOxaFatal(Format("%s.Call: Locked", ClassName()));
  }
  if (size != 0 && data == nullptr) {
    return false;
  }
  std::uint32_t record = 0;
  std::uint32_t serial = 0;
  TOxaIpcProcessRecord callee{};
  const bool placed = Guarded(false, [&] {
    TOxaIpcBusLock lock(*this, LockTimeout);
    if (!lock) {
      return false;
    }
    const std::uint32_t client = FindClient(targetId);
    if (client == 0) {
      return false;
    }
    const std::uint32_t owner = Body().Read<TOxaIpcClientRecord>(client).Owner;
    if (!CheckProcess(owner)) {
      return false;
    }
    TOxaIpcBody body = Body();
    TOxaIpcBodyHeader header = body.Header();
    serial = ++header.Serial;
    body.SetHeader(header);
    record = AllocShared(OxaIpcMessageRecordSize(size));
    if (record == 0) {
      return false;
    }
    body = Body();
    const TOxaIpcMessageRecord call{record, OxaIpcPendingCall, targetId, nameId, senderId,
                                    serial, GetTickCount(),    size};
    body.Write(record, call);
    body.WriteBytes(record, HeaderBytes, data, size);
    body.WriteBytes(record, HeaderBytes + size, &Spare, sizeof(Spare));
    callee = body.Read<TOxaIpcProcessRecord>(owner);
    const std::uint32_t debugId = ConfiguredId(nkDebugClient);
    if (senderId != debugId && targetId != debugId && DebugClientOffset() != 0) {
      std::vector<std::uint8_t> image = HeaderImage(call);
      DebugCopy(senderId, ConfiguredId(nkDebugCall), HeaderBytes, image.data(), size, data);
    }
    return true;
  });
  if (!placed) {
    return false;
  }
  // Without the bus lock: the callee takes it to read the call.
  const LRESULT answer =
      SendMessageEx(WordWindow(callee.Window), FCallMessage, callee.Pid, record, timeout, block);
  if (!FActive) {
    return false;  // the bus went while we waited; the record went with it
  }
  bool succeeded = false;
  Guarded(false, [&] {
    TOxaIpcBusLock lock(*this, LockTimeout);
    if (!lock) {
      return false;
    }
    TOxaIpcBody body = Body();
    auto call = body.Read<TOxaIpcMessageRecord>(record);
    if ((call.Link != record && call.Pending != 0) || call.Serial != serial || call.Sender != senderId ||
        call.Target != targetId) {
      throw EOxaIpcDamaged(Format("Damaged call record at offset %u", record));
    }
    // An answer attached to our call is freed whatever the send returned.
    std::uint32_t answerRecord = 0;
    if (call.Pending == 0 && call.Link != record && body.IsBlock(call.Link, OxaIpcMessageRecordSize(0)) &&
        body.Read<TOxaIpcMessageRecord>(call.Link).Link == record) {
      answerRecord = call.Link;
    }
    const std::uint32_t debugId = ConfiguredId(nkDebugClient);
    const bool monitored = senderId != debugId && targetId != debugId && DebugClientOffset() != 0;
    // The monitor's copy is built only when there is one: most calls go unwatched.
    std::vector<std::uint8_t> debugImage;
    if (answerRecord != 0) {
      const auto header = body.Read<TOxaIpcMessageRecord>(answerRecord);
      const std::uint32_t answerSize = CheckedSize(body, answerRecord, header);
      succeeded = static_cast<std::uint32_t>(answer) == record;
      if (monitored) {
        debugImage.resize(OxaIpcMessageRecordSize(0) + answerSize);
        body.ReadBytes(answerRecord, 0, debugImage.data(), OxaIpcMessageRecordSize(0));
        body.ReadBytes(answerRecord, HeaderBytes, debugImage.data() + OxaIpcMessageRecordSize(0), answerSize);
      }
      if (succeeded) {
        resultSize = answerSize;
        resultData.resize(answerSize);
        body.ReadBytes(answerRecord, HeaderBytes, resultData.data(), answerSize);
      }
      FreeShared(answerRecord);
    } else {
      // A call answered with a pending word cleared but no good result record is not trusted.
      succeeded = static_cast<std::uint32_t>(answer) == record && call.Pending != 0;
      if (monitored) {
        const TOxaIpcMessageRecord none{0, OxaIpcPendingCall, senderId, nameId, targetId, serial, 0, 0};
        debugImage = HeaderImage(none);
        debugImage.resize(OxaIpcMessageRecordSize(0), 0);
      }
    }
    // A late Result must find nothing to answer here, even before the block is reused.
    body.Write(record, TOxaIpcMessageRecord{});
    FreeShared(record);
    if (monitored) {
      DebugCopy(targetId, ConfiguredId(nkDebugResult), static_cast<std::uint32_t>(debugImage.size()),
                debugImage.data(), 0, nullptr);
    }
    return true;
  });
  if (!succeeded) {
    resultSize = 0;
    resultData.clear();
  }
  return succeeded;
}

void TOxaIpc::Result(TOxaIpcMessage& message, std::uint32_t senderId, std::uint32_t size, const void* data)
{
  if (!FActive || message.Header.Pending == 0 || (size != 0 && data == nullptr)) {
    return;
  }
  message.Header.Pending = 0;
  const std::uint32_t call = message.Header.Link;
  const bool answered = Guarded(false, [&] {
    TOxaIpcBusLock lock(*this, LockTimeout);
    if (!lock) {
      return false;
    }
    TOxaIpcBody body = Body();
    if (!body.IsBlock(call, OxaIpcMessageRecordSize(0))) {
      return false;
    }
    const auto shared = body.Read<TOxaIpcMessageRecord>(call);
    if (shared.Link != call || shared.Pending != OxaIpcPendingCall ||
        shared.Serial != message.Header.Serial || shared.Sender != message.Header.Sender ||
        shared.Target != message.Header.Target) {
      TraceObject(this, "Result: the call %u is gone", message.Header.Serial);
      return false;  // the caller gave up; the block may be another record by now
    }
    const std::uint32_t record = AllocShared(OxaIpcMessageRecordSize(size));
    if (record == 0) {
      return false;
    }
    body = Body();
    body.Write(record, TOxaIpcMessageRecord{call, 0, shared.Sender, shared.Name, senderId, shared.Serial,
                                            GetTickCount(), size});
    body.WriteBytes(record, HeaderBytes, data, size);
    body.WriteBytes(record, HeaderBytes + size, &Spare, sizeof(Spare));
    auto updated = body.Read<TOxaIpcMessageRecord>(call);
    updated.Pending = 0;
    updated.Link = record;
    body.Write(call, updated);
    return true;
  });
  // The caller resumes now, while the handler may still run.
  if (answered && InSendMessage()) {
    ReplyMessage(static_cast<LRESULT>(call));
  }
}

bool TOxaIpc::SetProperty(std::uint32_t clientId, std::uint32_t propertyId, std::uint32_t size,
                          const void* data)
{
  if (size != 0 && data == nullptr) {
    return false;
  }
  return Guarded(false, [&] {
    TOxaIpcBusLock lock(*this, LockTimeout);
    if (!lock) {
      return false;
    }
    const std::uint32_t client = FindClient(clientId);
    if (client == 0 || !CheckProcess(Body().Read<TOxaIpcClientRecord>(client).Owner)) {
      return false;
    }
    TOxaIpcBody body = Body();
    std::uint32_t previous = 0;
    TOxaIpcBody::TWalk walk(body, "property");
    for (std::uint32_t at = body.Read<TOxaIpcClientRecord>(client).Properties; at != 0;) {
      walk.Step();
      const auto property = body.Read<TOxaIpcPropertyRecord>(at);
      if (property.Id == propertyId) {
        if (previous == 0) {
          auto record = body.Read<TOxaIpcClientRecord>(client);
          record.Properties = property.Next;
          body.Write(client, record);
        } else {
          auto before = body.Read<TOxaIpcPropertyRecord>(previous);
          before.Next = property.Next;
          body.Write(previous, before);
        }
        FreeShared(at);
        break;
      }
      previous = at;
      at = property.Next;
    }
    const std::uint32_t record = AllocShared(OxaIpcPropertyRecordSize(size));
    if (record == 0) {
      return false;
    }
    body = Body();
    auto owner = body.Read<TOxaIpcClientRecord>(client);
    body.Write(record, TOxaIpcPropertyRecord{owner.Properties, propertyId, size});
    body.WriteBytes(record, sizeof(TOxaIpcPropertyRecord), data, size);
    body.WriteBytes(record, sizeof(TOxaIpcPropertyRecord) + size, &Spare, sizeof(Spare));
    owner.Properties = record;
    body.Write(client, owner);
    if (clientId != ConfiguredId(nkDebugClient)) {
      const std::uint8_t zeros[OxaIpcMessageRecordSize(0)] = {};
      DebugCopy(propertyId, ConfiguredId(nkDebugProperty), size, data,
                static_cast<std::uint32_t>(sizeof(zeros) - sizeof(Spare)), zeros);
    }
    return true;
  });
}

bool TOxaIpc::GetProperty(std::uint32_t clientId, std::uint32_t propertyId, std::uint32_t& size,
                          std::vector<std::uint8_t>& data)
{
  size = 0;
  data.clear();
  return Guarded(false, [&] {
    TOxaIpcBusLock lock(*this, LockTimeout);
    if (!lock) {
      return false;
    }
    const std::uint32_t client = FindClient(clientId);
    if (client == 0) {
      return false;
    }
    TOxaIpcBody body = Body();
    TOxaIpcBody::TWalk walk(body, "property");
    for (std::uint32_t at = body.Read<TOxaIpcClientRecord>(client).Properties; at != 0;) {
      walk.Step();
      const auto property = body.Read<TOxaIpcPropertyRecord>(at);
      if (property.Id == propertyId) {
        const std::uint32_t request = body.Request(at);
        if (request < OxaIpcPropertyRecordSize(0) || property.Size > request - OxaIpcPropertyRecordSize(0)) {
          throw EOxaIpcDamaged(Format("Damaged property at offset %u", at));
        }
        data.resize(property.Size);
        body.ReadBytes(at, sizeof(TOxaIpcPropertyRecord), data.data(), property.Size);
        size = property.Size;
        return true;
      }
      at = property.Next;
    }
    return false;
  });
}

bool TOxaIpc::TakeNext(std::uint32_t clientId, bool first, TOxaIpcMessage& message)
{
  return Guarded(false, [&] {
    TOxaIpcBusLock lock(*this, LockTimeout);
    if (!lock) {
      return false;
    }
    const std::uint32_t client = FindClient(clientId);
    if (client == 0) {
      return false;
    }
    TOxaIpcBody body = Body();
    auto record = body.Read<TOxaIpcClientRecord>(client);
    if (record.Owner != FProcess) {
      return false;
    }
    if (first) {
      auto own = body.Read<TOxaIpcProcessRecord>(FProcess);
      if (own.Pending > 0) {
        --own.Pending;
        body.Write(FProcess, own);
      }
      record.Posted = 0;
      body.Write(client, record);
    }
    const std::uint32_t oldest = record.Messages;
    if (oldest == 0) {
      return false;
    }
    message.Header = body.Read<TOxaIpcMessageRecord>(oldest);
    const std::uint32_t size = CheckedSize(body, oldest, message.Header);
    message.Payload.resize(size);
    body.ReadBytes(oldest, HeaderBytes, message.Payload.data(), size);
    message.Call = false;
    record.Messages = message.Header.Link;
    body.Write(client, record);
    FreeShared(oldest);
    return true;
  });
}

std::uint32_t TOxaIpc::QueueLength(std::uint32_t clientId)
{
  return Guarded(std::uint32_t{0}, [&]() -> std::uint32_t {
    TOxaIpcBusLock lock(*this, LockTimeout);
    if (!lock) {
      return 0;
    }
    const std::uint32_t client = FindClient(clientId);
    if (client == 0) {
      return 0;
    }
    TOxaIpcBody body = Body();
    std::uint32_t count = 0;
    TOxaIpcBody::TWalk walk(body, "message");
    for (std::uint32_t at = body.Read<TOxaIpcClientRecord>(client).Messages; at != 0;) {
      walk.Step();
      ++count;
      at = body.Read<TOxaIpcMessageRecord>(at).Link;
    }
    return count;
  });
}

void TOxaIpc::ClientMessage(TMessage& message)
{
  const auto clientId = static_cast<std::uint32_t>(message.LParam);
  for (TOxaIpcAttachment* attachment : FClients) {
    if (attachment->IpcRegistered() && attachment->IpcClientId() == clientId) {
      if (auto* client = dynamic_cast<TOxaIpcClient*>(attachment)) {
        client->Drain();
      }
      return;
    }
  }
  // The client left after the post: the message it stood for is taken all the same, or the
  // count stays up and growth of the body is never announced to this process again.
  Guarded(false, [&] {
    TOxaIpcBusLock lock(*this, LockTimeout);
    if (!lock) {
      return false;
    }
    TOxaIpcBody body = Body();
    auto own = body.Read<TOxaIpcProcessRecord>(FProcess);
    if (own.Pending > 0) {
      --own.Pending;
      body.Write(FProcess, own);
    }
    return true;
  });
}

void TOxaIpc::CallArrived(TMessage& message)
{
  // 0 tells the caller the call went nowhere; the record's offset, that it was handled.
  message.Result = 0;
  const auto offset = static_cast<std::uint32_t>(message.LParam);
  TOxaIpcMessage copy;
  TOxaIpcClient* client = nullptr;
  const bool taken = Guarded(false, [&] {
    TOxaIpcBusLock lock(*this, LockTimeout);
    if (!lock) {
      return false;
    }
    TOxaIpcBody body = Body();
    if (!body.IsBlock(offset, OxaIpcMessageRecordSize(0))) {
      return false;
    }
    copy.Header = body.Read<TOxaIpcMessageRecord>(offset);
    if (copy.Header.Link != offset || copy.Header.Pending != OxaIpcPendingCall) {
      return false;
    }
    const std::uint32_t record = FindClient(copy.Header.Target);
    if (record == 0 || body.Read<TOxaIpcClientRecord>(record).Owner != FProcess) {
      return false;
    }
    for (TOxaIpcAttachment* attachment : FClients) {
      if (attachment->IpcRegistered() && attachment->IpcClientId() == copy.Header.Target) {
        client = dynamic_cast<TOxaIpcClient*>(attachment);
        break;
      }
    }
    if (client == nullptr) {
      return false;
    }
    const std::uint32_t size = CheckedSize(body, offset, copy.Header);
    copy.Payload.resize(size);
    body.ReadBytes(offset, HeaderBytes, copy.Payload.data(), size);
    copy.Call = true;
    return true;
  });
  if (!taken) {
    return;
  }
  message.Result = static_cast<LRESULT>(offset);
  if (!client->DispatchSafely(copy)) {
    message.Result = 0;
  }
}
