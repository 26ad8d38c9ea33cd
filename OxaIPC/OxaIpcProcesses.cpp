// Process and client records: finding dead members, queueing notifications, checking the lists.

#include <algorithm>

#include "OxaIPC/OxaIpc.h"
#include "OxaIPC/OxaIpcGuard.h"
#include "platform/core/LastError.h"
#include "platform/core/Time.h"
#include "platform/objects/Synchronization.h"
#include "platform/windows/Messages.h"

namespace {

HWND WordWindow(std::uint32_t word)
{
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(word));
}

}  // namespace

bool TOxaIpc::StillListed(std::uint32_t offset, std::uint32_t pid)
{
  TOxaIpcBody body = Body();
  TOxaIpcBody::TWalk walk(body, "process");
  for (std::uint32_t at = body.Header().Processes; at != 0;) {
    walk.Step();
    const auto record = body.Read<TOxaIpcProcessRecord>(at);
    if (at == offset) {
      return record.Pid == pid;
    }
    at = record.Next;
  }
  return false;
}

std::vector<std::uint32_t> TOxaIpc::FreeClientsOf(std::uint32_t processOffset)
{
  std::vector<std::uint32_t> ids;
  std::vector<std::uint32_t> clients;
  TOxaIpcBody body = Body();
  TOxaIpcBody::TWalk walk(body, "client");
  for (std::uint32_t at = body.Header().Clients; at != 0;) {
    walk.Step();
    const auto client = body.Read<TOxaIpcClientRecord>(at);
    if (client.Owner == processOffset) {
      ids.push_back(client.Id);
      clients.push_back(at);
    }
    at = client.Next;
  }
  for (std::uint32_t client : clients) {
    FreeClientRecord(client);
  }
  return ids;
}

bool TOxaIpc::ProcessAlive(std::uint32_t pid) const
{
  if (pid == FPid && FActive) {
    return true;
  }
  // Members come and go over a long life: past this many, the probes start afresh.
  constexpr std::size_t MaxProbes = 256;
  auto found = FProbes.find(pid);
  if (found == FProbes.end()) {
    if (FProbes.size() >= MaxProbes) {
      FProbes.clear();
    }
    found = FProbes.emplace(pid, std::make_unique<TObjectProbe>(OxaIpcProcessMutexName(FGroup, pid))).first;
  }
  if (found->second->Exists()) {
    return true;
  }
  FProbes.erase(found);
  return false;
}

bool TOxaIpc::CheckProcessUnguarded(std::uint32_t processOffset)
{
  RequireCurrent();
  if (processOffset == FProcess && FProcess != 0) {
    return true;
  }
  std::vector<std::uint32_t> died;
  if (!Listed(processOffset)) {
    // Clients whose process record is gone (its owner was killed between the two) die with it.
    died = FreeClientsOf(processOffset);
  } else {
    const auto process = Body().Read<TOxaIpcProcessRecord>(processOffset);
    // A member holds its process mutex for life: when nobody holds the name, it is gone. The
    // probe only opens an existing object, so it never keeps a dead member's name alive, and it
    // is closed again at once; a probe that cannot tell counts as alive.
    if (ProcessAlive(process.Pid)) {
      return true;
    }
    TraceObject(this, "CheckProcess: process %u is gone", process.Pid);
    died = FreeClientsOf(processOffset);
    Unlink(processOffset);
  }
  // Announced after the walk, when the lists are whole again.
  for (std::uint32_t id : died) {
    Notify(id, 0, 0, nullptr, ConfiguredId(nkClientDied));
  }
  return false;
}

bool TOxaIpc::Listed(std::uint32_t processOffset)
{
  TOxaIpcBody body = Body();
  TOxaIpcBody::TWalk walk(body, "process");
  for (std::uint32_t at = body.Header().Processes; at != 0;) {
    walk.Step();
    if (at == processOffset) {
      return true;
    }
    at = body.Read<TOxaIpcProcessRecord>(at).Next;
  }
  return false;
}

void TOxaIpc::Unlink(std::uint32_t processOffset)
{
  TOxaIpcBody body = Body();
  TOxaIpcBodyHeader header = body.Header();
  std::uint32_t previous = 0;
  TOxaIpcBody::TWalk walk(body, "process");
  for (std::uint32_t at = header.Processes; at != 0;) {
    walk.Step();
    const auto record = body.Read<TOxaIpcProcessRecord>(at);
    if (at == processOffset) {
      if (previous == 0) {
        header.Processes = record.Next;
        body.SetHeader(header);
      } else {
        auto before = body.Read<TOxaIpcProcessRecord>(previous);
        before.Next = record.Next;
        body.Write(previous, before);
      }
      FreeShared(processOffset);
      return;
    }
    previous = at;
    at = record.Next;
  }
}

void TOxaIpc::CheckAllProcessesUnguarded()
{
  RequireCurrent();
  std::vector<std::pair<std::uint32_t, std::uint32_t>> processes;
  {
    TOxaIpcBody body = Body();
    TOxaIpcBody::TWalk walk(body, "process");
    for (std::uint32_t at = body.Header().Processes; at != 0;) {
      walk.Step();
      const auto record = body.Read<TOxaIpcProcessRecord>(at);
      processes.emplace_back(at, record.Pid);
      at = record.Next;
    }
  }
  // A death found on the way broadcasts, and the broadcast sweeps too: each record is looked at
  // only while it is still listed.
  for (const auto& [offset, pid] : processes) {
    if (StillListed(offset, pid)) {
      CheckProcess(offset);
    }
  }
  // Clients left without a process record.
  for (;;) {
    std::uint32_t orphanOwner = 0;
    TOxaIpcBody body = Body();
    TOxaIpcBody::TWalk walk(body, "client");
    for (std::uint32_t at = body.Header().Clients; at != 0 && orphanOwner == 0;) {
      walk.Step();
      const auto client = body.Read<TOxaIpcClientRecord>(at);
      if (client.Owner != FProcess && !Listed(client.Owner)) {
        orphanOwner = client.Owner;
      }
      at = client.Next;
    }
    if (orphanOwner == 0) {
      break;
    }
    CheckProcess(orphanOwner);
  }
}

std::uint32_t TOxaIpc::FindClientUnguarded(std::uint32_t clientId)
{
  RequireCurrent();
  TOxaIpcBody body = Body();
  TOxaIpcBody::TWalk walk(body, "client");
  for (std::uint32_t at = body.Header().Clients; at != 0;) {
    walk.Step();
    const auto client = body.Read<TOxaIpcClientRecord>(at);
    if (client.Id == clientId) {
      return at;
    }
    at = client.Next;
  }
  return 0;
}

std::uint32_t TOxaIpc::CreateClientRecordUnguarded(std::uint32_t clientId)
{
  RequireCurrent();
  Require(FProcess != 0, "own process record");
  if (clientId == 0 || FindClient(clientId) != 0) {
    return 0;
  }
  const std::uint32_t record = AllocShared(sizeof(TOxaIpcClientRecord));
  if (record == 0) {
    return 0;
  }
  TOxaIpcBody body = Body();
  TOxaIpcBodyHeader header = body.Header();
  body.Write(record, TOxaIpcClientRecord{header.Clients, clientId, FProcess, 0, 0, 0, 0});
  header.Clients = record;
  body.SetHeader(header);
  return record;
}

void TOxaIpc::FreeClientRecordUnguarded(std::uint32_t clientOffset)
{
  RequireCurrent();
  TOxaIpcBody body = Body();
  const auto client = body.Read<TOxaIpcClientRecord>(clientOffset);
  TOxaIpcBody::TWalk messages(body, "message");
  for (std::uint32_t at = client.Messages; at != 0;) {
    messages.Step();
    const auto message = body.Read<TOxaIpcMessageRecord>(at);
    OxaIpcMessageBytes(body, at, message);
    FreeShared(at);
    at = message.Link;
  }
  TOxaIpcBody::TWalk properties(body, "property");
  for (std::uint32_t at = client.Properties; at != 0;) {
    properties.Step();
    const auto property = body.Read<TOxaIpcPropertyRecord>(at);
    FreeShared(at);
    at = property.Next;
  }
  if (client.Types != 0) {
    FreeShared(client.Types);
  }
  TOxaIpcBodyHeader header = body.Header();
  if (header.DebugClient == clientOffset) {
    header.DebugClient = 0;
  }
  if (header.Clients == clientOffset) {
    header.Clients = client.Next;
  } else {
    TOxaIpcBody::TWalk walk(body, "client");
    for (std::uint32_t at = header.Clients; at != 0;) {
      walk.Step();
      auto before = body.Read<TOxaIpcClientRecord>(at);
      if (before.Next == clientOffset) {
        before.Next = client.Next;
        body.Write(at, before);
        break;
      }
      at = before.Next;
    }
  }
  body.SetHeader(header);
  FreeShared(clientOffset);
}

void TOxaIpc::PostNotifyUnguarded(std::uint32_t clientOffset)
{
  RequireCurrent();
  TOxaIpcBody body = Body();
  auto client = body.Read<TOxaIpcClientRecord>(clientOffset);
  if (client.Posted != 0) {
    return;
  }
  if (!Listed(client.Owner)) {
    return;  // swept with the next look at the processes
  }
  client.Posted = 1;
  body.Write(clientOffset, client);
  auto owner = body.Read<TOxaIpcProcessRecord>(client.Owner);
  ++owner.Pending;
  body.Write(client.Owner, owner);
  if (!PostMessageA(WordWindow(owner.Window), FNotifyMessage, owner.Pid, static_cast<LPARAM>(client.Id))) {
    // Nothing is outstanding after all: the next message posts again.
    client.Posted = 0;
    body.Write(clientOffset, client);
    owner = body.Read<TOxaIpcProcessRecord>(client.Owner);
    if (owner.Pending > 0) {
      --owner.Pending;
      body.Write(client.Owner, owner);
    }
  }
}

bool TOxaIpc::Queue(std::uint32_t clientOffset, std::uint32_t senderId, std::uint32_t nameId,
                    std::uint32_t serial, std::uint32_t size, const void* data)
{
  return Deliver(clientOffset, TOxaIpcMessageRecord{0, 0, 0, nameId, senderId, serial, 0, size}, data, true);
}

bool TOxaIpc::Notify(std::uint32_t senderId, std::uint32_t targetId, std::uint32_t size, const void* data,
                     std::uint32_t nameId)
{
  if (!FActive) {
    throw EOxaFatal(Format("%s.Notify: Not active", ClassName()));
  }
  if (size != 0 && data == nullptr) {
    return false;
  }
  return Guarded(false, [&] {
    TOxaIpcBusLock lock(*this, LockTimeout);
    if (!lock) {
      return false;
    }
    std::vector<std::uint32_t> targets;
    if (targetId != 0) {
      const std::uint32_t client = FindClient(targetId);
      if (client == 0 || !CheckProcess(Body().Read<TOxaIpcClientRecord>(client).Owner)) {
        return false;
      }
      targets.push_back(client);
    } else {
      CheckAllProcesses();
      TOxaIpcBody body = Body();
      TOxaIpcBody::TWalk walk(body, "client");
      for (std::uint32_t at = body.Header().Clients; at != 0;) {
        walk.Step();
        targets.push_back(at);
        at = body.Read<TOxaIpcClientRecord>(at).Next;
      }
      if (targets.empty()) {
        return false;
      }
    }
    TOxaIpcBody body = Body();
    TOxaIpcBodyHeader header = body.Header();
    const std::uint32_t serial = ++header.Serial;
    body.SetHeader(header);
    // Offsets stay good when a record's allocation grows the body.
    bool sent = false;
    for (std::uint32_t client : targets) {
      sent = Queue(client, senderId, nameId, serial, size, data) || sent;
    }
    return sent;
  });
}

bool TOxaIpc::TakeMessage(std::uint32_t clientId, TOxaIpcMessageCopy& message)
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
    if (record.Messages == 0) {
      return false;
    }
    const std::uint32_t first = record.Messages;
    message.Header = body.Read<TOxaIpcMessageRecord>(first);
    OxaIpcMessageBytes(body, first, message.Header);
    message.Payload.resize(message.Header.Size);
    body.ReadBytes(first, sizeof(TOxaIpcMessageRecord), message.Payload.data(), message.Header.Size);
    record.Messages = message.Header.Link;
    body.Write(client, record);
    FreeShared(first);
    return true;
  });
}

void TOxaIpc::ValidateLists()
{
  OxaIpcValidateBody(Body());
}

TOxaIpcHeadHeader TOxaIpc::HeadHeader()
{
  return Guarded(TOxaIpcHeadHeader{}, [&]() -> TOxaIpcHeadHeader {
    TOxaIpcBusLock lock(*this, LockTimeout);
    return lock ? Head() : TOxaIpcHeadHeader{};
  });
}

std::vector<TOxaIpcProcessInfo> TOxaIpc::Processes()
{
  using TList = std::vector<TOxaIpcProcessInfo>;
  return Guarded(TList(), [&]() -> TList {
    TOxaIpcBusLock lock(*this, LockTimeout);
    TList list;
    if (!lock) {
      return list;
    }
    TOxaIpcBody body = Body();
    TOxaIpcBody::TWalk walk(body, "process");
    for (std::uint32_t at = body.Header().Processes; at != 0;) {
      walk.Step();
      const auto record = body.Read<TOxaIpcProcessRecord>(at);
      list.push_back({at, record});
      at = record.Next;
    }
    return list;
  });
}

std::vector<std::uint32_t> TOxaIpc::ClientIds()
{
  using TList = std::vector<std::uint32_t>;
  return Guarded(TList(), [&]() -> TList {
    TOxaIpcBusLock lock(*this, LockTimeout);
    TList list;
    if (!lock) {
      return list;
    }
    TOxaIpcBody body = Body();
    TOxaIpcBody::TWalk walk(body, "client");
    for (std::uint32_t at = body.Header().Clients; at != 0;) {
      walk.Step();
      const auto record = body.Read<TOxaIpcClientRecord>(at);
      list.push_back(record.Id);
      at = record.Next;
    }
    return list;
  });
}

std::string TOxaIpc::CheckHeaps()
{
  return Guarded(std::string("Damaged"), [&]() -> std::string {
    TOxaIpcBusLock lock(*this, LockTimeout);
    if (!lock) {
      return "Not locked";
    }
    std::string report = FHead.Check() + FBody.Check();
    try {
      ValidateLists();
    } catch (const EOxaIpcDamaged& error) {
      report += error.Message() + "\r\n";
    }
    return report;
  });
}

// The entry points: damage found inside turns into the damaged path in the outermost one.

bool TOxaIpc::CheckGeneration()
{
  return Guarded(false, [&] { return CheckGenerationUnguarded(); });
}

bool TOxaIpc::CheckProcess(std::uint32_t processOffset)
{
  return Guarded(false, [&] { return CheckProcessUnguarded(processOffset); });
}

void TOxaIpc::CheckAllProcesses()
{
  Guarded(false, [&] {
    CheckAllProcessesUnguarded();
    return true;
  });
}

std::uint32_t TOxaIpc::AllocShared(std::uint32_t size)
{
  return Guarded(std::uint32_t{0}, [&] { return AllocSharedUnguarded(size); });
}

void TOxaIpc::FreeShared(std::uint32_t offset)
{
  Guarded(false, [&] {
    FreeSharedUnguarded(offset);
    return true;
  });
}

void TOxaIpc::NotifyRemapped()
{
  Guarded(false, [&] {
    NotifyRemappedUnguarded();
    return true;
  });
}

void TOxaIpc::PostNotify(std::uint32_t clientOffset)
{
  Guarded(false, [&] {
    PostNotifyUnguarded(clientOffset);
    return true;
  });
}

std::uint32_t TOxaIpc::FindClient(std::uint32_t clientId)
{
  return Guarded(std::uint32_t{0}, [&] { return FindClientUnguarded(clientId); });
}

std::uint32_t TOxaIpc::CreateClientRecord(std::uint32_t clientId)
{
  return Guarded(std::uint32_t{0}, [&] { return CreateClientRecordUnguarded(clientId); });
}

void TOxaIpc::FreeClientRecord(std::uint32_t clientOffset)
{
  Guarded(false, [&] {
    FreeClientRecordUnguarded(clientOffset);
    return true;
  });
}
