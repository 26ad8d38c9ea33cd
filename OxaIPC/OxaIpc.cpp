// Joining and leaving the bus, the lock, the generation of the body, process records and
// interned names.

#include "OxaIPC/OxaIpc.h"

#include <algorithm>

#include "OxaIPC/OxaIpcGuard.h"
#include "platform/core/LastError.h"
#include "platform/core/Time.h"
#include "platform/objects/Synchronization.h"
#include "platform/windows/Messages.h"
#include "rtl/AnsiText.h"

namespace {

// A body larger than this is a damaged head, not a busy bus.
constexpr std::uint32_t MaxBodySize = 64u << 20;

std::uint32_t WindowWord(HWND window)
{
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window));
}

HWND WordWindow(std::uint32_t word)
{
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(word));
}

template <class TAction>
void Retried(int tries, DWORD pause, const char* what, TAction action)
{
  for (int attempt = 1;; ++attempt) {
    try {
      action();
      return;
    } catch (const EOxaFatal&) {
      throw;
    } catch (const Exception&) {
      if (attempt >= tries) {
        throw EOxaIpcDamaged(Format("Cannot open the %s", what));
      }
    }
    Sleep(pause);
  }
}

}  // namespace

TOxaIpc::TOxaIpc(TComponent* owner) : TOxaComponent(owner)
{
  FNotifyMessage = RegisterWindowMessageA("WM_OXAIPC_NOTIFY");
  FCallMessage = RegisterWindowMessageA("WM_OXAIPC_CALL");
  static const char* const defaults[nkCount] = {"OnDied",   "OnAttach", "OnDetach", "Debug",
                                                "OnNotify", "OnCall",   "OnResult", "OnProperty"};
  for (int kind = 0; kind < nkCount; ++kind) {
    FNames[kind] = {defaults[kind], 0};
  }
  FWindow.OnMessage = MakeMethod<&TOxaIpc::WindowMessage>(this);
}

TOxaIpc::~TOxaIpc()
{
  try {
    Close();
  } catch (...) {
    Undo();
  }
  for (TOxaIpcAttachment* client : FClients) {
    client->IpcDetached();
  }
}

void TOxaIpc::BeforeDestruction()
{
  Close();
  std::vector<TOxaIpcAttachment*> clients;
  clients.swap(FClients);
  for (TOxaIpcAttachment* client : clients) {
    client->IpcDetached();
  }
  TOxaComponent::BeforeDestruction();
}

void TOxaIpc::SetGroupName(const std::string& name)
{
  if (name.size() > OxaIpcMaxGroupName) {
    throw EOxaFatal(Format("%s.SetGroupName: Name too long", ClassName()));
  }
  if (name != FGroupName) {
    Close();
    FGroupName = name;
  }
}

void TOxaIpc::SetConfiguredName(TNameKind kind, const std::string& name)
{
  FNames[kind].first = name;
  if (FActive && kind <= nkClientDetach) {
    FNames[kind].second = NameToId(name);
  }
}

void TOxaIpc::Require(bool condition, const char* invariant) const
{
  if (!condition) {
    throw EOxaFatal(Format("Assertion failure (OxaIpc): %s", invariant));
  }
}

TOxaIpcHeadHeader& TOxaIpc::Head() const
{
  return *static_cast<TOxaIpcHeadHeader*>(const_cast<TOxaProcessMemory&>(FHead).GetHeader());
}

void TOxaIpc::RequireCurrent() const
{
  Require(FActive && FMutex.Locked(), "bus lock held");
  Require(Head().Generation == Body().Header().Generation, "body generation is current");
}

TOxaIpcBody TOxaIpc::Body() const
{
  return TOxaIpcBody(static_cast<std::uint8_t*>(FBody.ToPointer(0)), FBodyBytes);
}

HWND TOxaIpc::Window() const
{
  return FWindow.Handle();
}

std::uint32_t TOxaIpc::HeapBytes(std::uint32_t dataSize) const
{
  return static_cast<std::uint32_t>(OxaBlockBytes(dataSize) + OxaHeapOverhead +
                                    OxaBlockBytes(OxaIpcBodyHeaderSize));
}

bool TOxaIpc::LockBus(DWORD timeout)
{
  if (!FActive) {
    return false;
  }
  if (!FMutex.Lock(timeout)) {
    return false;
  }
  if (FMutex.Abandoned()) {
    // The last holder died holding the lock and may have left a record half-written.
    try {
      const std::string report = FHead.Check() + FBody.Check();
      if (!report.empty()) {
        throw EOxaIpcDamaged("Damaged memory after a member died:\r\n" + report);
      }
      ValidateLists();
    } catch (...) {
      FMutex.Unlock();
      throw;
    }
  }
  return true;
}

void TOxaIpc::Undo() noexcept
{
  if (FProcess != 0 && FBody.IsOpen() && FMutex.Locked()) {
    try {
      // Runs on failure paths, so only the plain walk here: nothing that could raise damage
      // into the damaged path again.
      const std::uint32_t own = FProcess;
      TOxaIpcBody body = Body();
      TOxaIpcBodyHeader header = body.Header();
      const std::uint32_t next = body.Read<TOxaIpcProcessRecord>(own).Next;
      TOxaIpcBody::TWalk walk(body, "process");
      for (std::uint32_t at = header.Processes, previous = 0; at != 0;) {
        walk.Step();
        const auto record = body.Read<TOxaIpcProcessRecord>(at);
        if (at == own) {
          if (previous == 0) {
            header.Processes = next;
            body.SetHeader(header);
          } else {
            auto before = body.Read<TOxaIpcProcessRecord>(previous);
            before.Next = next;
            body.Write(previous, before);
          }
          FBody.Free(FBody.ToPointer(own));
          break;
        }
        previous = at;
        at = record.Next;
      }
    } catch (...) {
      // The record stays; the next member's sweep finds its process gone.
    }
  }
  FProcess = 0;
  FPid = 0;
  FActive = false;
  FWindow.Close();
  FBody.Close();
  FHead.Close();
  FBodyBytes = 0;
  FMutex.Close();
  FProcessMutex.Close();
  FProbes.clear();
}

void TOxaIpc::Damaged() noexcept
{
  TraceObject(this, "Damaged");
  for (TOxaIpcAttachment* client : FClients) {
    client->IpcDamaged();
  }
  FProcess = 0;  // nothing in the damaged body is touched again
  Undo();
  FCache.clear();
  if (OnDamaged) {
    try {
      OnDamaged(this);
    } catch (const Exception& error) {
      TraceObject(this, "OnDamaged: %s", error.Message());
    }
  }
}

void TOxaIpc::OpenSteps(bool& registeredAll)
{
  Retried(OpenRetries, RetryPause, "bus mutex", [&] {
    bool existed = false;
    FMutex.Open(OxaIpcMutexName(FGroup), existed);
  });
  if (!FMutex.Lock(LockTimeout)) {
    throw EOxaIpcDamaged("The bus lock is not given up");
  }
  FHead.Open(FMutex, OxaIpcHeadName(FGroup), OxaIpcHeadHeaderSize, 0);
  if (FHead.GetHeaderSize() != OxaIpcHeadHeaderSize) {
    throw EOxaIpcDamaged("Wrong head header size");
  }
  TOxaIpcHeadHeader& head = Head();
  const bool fresh = head.Magic == 0;
  if (fresh) {
    std::memset(head.Name, 0, sizeof(head.Name));
    std::memcpy(head.Name, FGroup.data(), std::min(FGroup.size(), sizeof(head.Name) - 1));
    head.Magic = OxaIpcMagic;
    head.Generation = 1;
    head.BodySize = OxaIpcBodyStep;
  } else {
    const TOxaIpcHeadHeader copy = head;
    const char* end = static_cast<const char*>(std::memchr(copy.Name, 0, sizeof(copy.Name)));
    if (copy.Magic != OxaIpcMagic || end == nullptr ||
        std::string_view(copy.Name, static_cast<std::size_t>(end - copy.Name)) != FGroup) {
      throw EOxaIpcDamaged("Wrong head");
    }
    if (copy.Generation == 0 || copy.BodySize < OxaIpcBodyStep || copy.BodySize > MaxBodySize) {
      throw EOxaIpcDamaged("Wrong body size or generation in the head");
    }
  }
  const std::uint32_t generation = head.Generation;
  const std::uint32_t bodySize = head.BodySize;
  FBody.Open(FMutex, OxaIpcBodyName(FGroup, generation), OxaIpcBodyHeaderSize, bodySize);
  FBodyBytes = HeapBytes(bodySize);
  if (FBody.GetHeaderSize() != OxaIpcBodyHeaderSize) {
    throw EOxaIpcDamaged("Wrong body header size");
  }
  TOxaIpcBody body = Body();
  TOxaIpcBodyHeader header = body.Header();
  if (header.Generation != (fresh ? 0 : generation)) {
    throw EOxaIpcDamaged("Wrong body generation");
  }
  if (fresh) {
    header.Generation = generation;
    body.SetHeader(header);
  }
  FActive = true;  // the locked routines below need it; cleared again on failure
  if (FMutex.Abandoned()) {
    ValidateLists();
  }
  FPid = NextId();
  bool taken = false;
  Retried(OpenRetries, RetryPause, "process mutex",
          [&] { FProcessMutex.Open(OxaIpcProcessMutexName(FGroup, FPid), taken); });
  if (taken) {
    throw EOxaIpcDamaged("The process id is taken");
  }
  if (!FProcessMutex.Lock(0)) {
    throw EOxaIpcDamaged("The process mutex is taken");
  }
  Retried(OpenRetries, RetryPause, "message window", [&] { FWindow.Open(); });
  const std::uint32_t record = AllocShared(sizeof(TOxaIpcProcessRecord));
  Require(record != 0, "process record allocated");
  body = Body();
  header = body.Header();
  body.Write(record, TOxaIpcProcessRecord{header.Processes, FPid, header.Generation,
                                          WindowWord(FWindow.Handle()), 0});
  header.Processes = record;
  body.SetHeader(header);
  FProcess = record;
  FDamagedOpening = false;
  ResolveNames();
  CheckAllProcesses();
  registeredAll = true;
  for (TOxaIpcAttachment* client : FClients) {
    if (!client->IpcRegister()) {
      registeredAll = false;
      break;
    }
  }
  if (!registeredAll) {
    for (TOxaIpcAttachment* client : FClients) {
      if (client->IpcRegistered()) {
        client->IpcUnregister();
      }
    }
  }
}

bool TOxaIpc::Open(bool keepLocked)
{
  if (FActive) {
    if (keepLocked) {
      Lock(LockTimeout);
    }
    return FActive;
  }
  FDamagedOpening = true;
  FGroup = AnsiUpperCase(FGroupName);
  bool registeredAll = false;
  {
    TOxaIpcDepth depth(FDepth);
    try {
      OpenSteps(registeredAll);
    } catch (const EOxaFatal&) {
      Undo();
      throw;
    } catch (const Exception& error) {
      TraceObject(this, "Open: %s", error.Message());
      FActive = false;
      FDamagedOpening = true;  // found late in the open, the damage is reported all the same
    }
  }
  if (!FActive) {
    Undo();
    if (FDamagedOpening) {
      FDamagedOpening = false;
      if (OnDamaged) {
        OnDamaged(this);
      }
    }
    return false;
  }
  // Handlers run without the bus lock: they may talk to other members.
  while (FMutex.Locked()) {
    FMutex.Unlock();
  }
  if (OnOpen) {
    OnOpen(this);
  }
  if (!registeredAll) {
    if (OnClose) {
      OnClose(this);
    }
    if (FMutex.IsOpen() && FMutex.Lock(LockTimeout)) {
      Undo();
    } else {
      FProcess = 0;
      Undo();
    }
    return false;
  }
  for (TOxaIpcAttachment* client : FClients) {
    if (client->IpcRegistered()) {
      client->IpcOpened();
    }
  }
  if (keepLocked && FActive) {
    return Lock(LockTimeout);
  }
  return FActive;
}

void TOxaIpc::Close()
{
  if (!FActive) {
    return;
  }
  for (TOxaIpcAttachment* client : FClients) {
    if (client->IpcRegistered()) {
      client->IpcClosing();
    }
  }
  if (OnClose) {
    OnClose(this);
  }
  if (!FActive) {
    return;  // a handler closed it
  }
  TOxaIpcDepth depth(FDepth);
  try {
    if (!LockBus(LockTimeout)) {
      // Without the lock nothing shared can be touched; the record goes with our process mutex.
      FProcess = 0;
      Undo();
      FCache.clear();
      return;
    }
    CheckGeneration();
    for (TOxaIpcAttachment* client : FClients) {
      if (client->IpcRegistered()) {
        client->IpcUnregister();
      }
    }
    std::vector<std::uint32_t> tried;
    const DWORD start = GetTickCount();
    for (int round = 0;; ++round) {
      CheckGeneration();
      if (FProcess != 0) {
        // Client records still on our process (not made through an attached client) go with it,
        // or they would be left without an owner.
        const std::uint32_t own = FProcess;
        FreeClientsOf(own);
        FProcess = 0;
        Unlink(own);
      }
      CheckAllProcesses();
      const std::vector<TOxaIpcProcessInfo> processes = Processes();
      const std::uint32_t generation = Head().Generation;
      const bool settled = processes.empty() ||
                           std::any_of(processes.begin(), processes.end(), [&](const TOxaIpcProcessInfo& p) {
                             return p.Record.Generation == generation;
                           });
      // A member still on an older body would lose it with us; it gets a few nudges, then it
      // finds its body gone and takes the damaged path.
      if (settled || round >= CloseRounds || GetTickCount() - start >= CloseLimit) {
        break;
      }
      auto next = std::find_if(processes.begin(), processes.end(), [&](const TOxaIpcProcessInfo& p) {
        return std::find(tried.begin(), tried.end(), p.Offset) == tried.end();
      });
      if (next == processes.end()) {
        tried.clear();
        next = processes.begin();
      }
      tried.push_back(next->Offset);
      const TOxaIpcProcessRecord target = next->Record;
      int count = 0;
      while (FMutex.Locked()) {
        FMutex.Unlock();
        ++count;
      }
      SendMessageEx(WordWindow(target.Window), FNotifyMessage, target.Pid, 0, CloseSendTimeout, true);
      for (int i = 0; i < count; ++i) {
        if (!LockBus(LockTimeout)) {
          throw EOxaIpcDamaged("The bus lock is not given up");
        }
      }
    }
  } catch (const EOxaFatal&) {
    FProcess = 0;
    Undo();
    FCache.clear();
    throw;
  } catch (const EOxaFailed& error) {
    TraceObject(this, "Close: %s", error.Message());
    depth.Leave();
    Damaged();
    return;
  }
  Undo();
  FCache.clear();
}

bool TOxaIpc::Lock(DWORD timeout)
{
  return Guarded(false, [&] { return LockBus(timeout); });
}

void TOxaIpc::Unlock()
{
  if (FActive) {
    FMutex.Unlock();
  }
}

bool TOxaIpc::CheckGenerationUnguarded()
{
  Require(FActive && FMutex.Locked(), "bus lock held");
  const TOxaIpcHeadHeader head = Head();
  if (head.Generation == Body().Header().Generation) {
    return true;
  }
  Remap(head.Generation, head.BodySize);
  return true;
}

void TOxaIpc::Remap(std::uint32_t generation, std::uint32_t bodySize)
{
  if (generation == 0 || bodySize < OxaIpcBodyStep || bodySize > MaxBodySize) {
    throw EOxaIpcDamaged("Wrong body size or generation in the head");
  }
  FBody.Grow(OxaIpcBodyName(FGroup, generation), bodySize);
  FBodyBytes = HeapBytes(bodySize);
  if (FBody.GetHeaderSize() != OxaIpcBodyHeaderSize || Body().Header().Generation != generation) {
    throw EOxaIpcDamaged("The body of the head's generation is gone");
  }
  if (FProcess != 0) {
    TOxaIpcBody body = Body();
    auto own = body.Read<TOxaIpcProcessRecord>(FProcess);
    if (own.Pid != FPid) {
      throw EOxaIpcDamaged("Our process record is gone");
    }
    own.Generation = generation;
    body.Write(FProcess, own);
  }
}

std::uint32_t TOxaIpc::AllocSharedUnguarded(std::uint32_t size)
{
  RequireCurrent();
  if (void* p = FBody.Alloc(size)) {
    return FBody.ToOffset(p);
  }
  const TOxaIpcHeadHeader head = Head();
  // Whole steps that hold the block itself, whatever the free tail before them.
  const std::uint64_t step = (OxaBlockBytes(size) + OxaIpcBodyStep - 1) / OxaIpcBodyStep * OxaIpcBodyStep;
  const std::uint64_t grown = std::uint64_t{head.BodySize} + step;
  if (grown > MaxBodySize) {
    return 0;
  }
  const std::uint32_t generation = head.Generation + 1;
  // The head moves on only once the new body exists, so no member ever finds it missing.
  FBody.Grow(OxaIpcBodyName(FGroup, generation), static_cast<std::uint32_t>(grown));
  Require(FBody.GetHeaderSize() == OxaIpcBodyHeaderSize, "grown body header size");
  FBodyBytes = HeapBytes(static_cast<std::uint32_t>(grown));
  TOxaIpcHeadHeader& shared = Head();
  shared.Generation = generation;
  shared.BodySize = static_cast<std::uint32_t>(grown);
  TOxaIpcBody body = Body();
  TOxaIpcBodyHeader header = body.Header();
  header.Generation = generation;
  body.SetHeader(header);
  if (FProcess != 0) {
    auto own = body.Read<TOxaIpcProcessRecord>(FProcess);
    own.Generation = generation;
    body.Write(FProcess, own);
  }
  void* p = FBody.Alloc(size);
  Require(p != nullptr, "allocation after growth");
  NotifyRemapped();
  return FBody.ToOffset(p);
}

void TOxaIpc::FreeSharedUnguarded(std::uint32_t offset)
{
  if (offset == 0) {
    return;
  }
  RequireCurrent();
  Body().Require(offset, 0);
  try {
    FBody.Free(FBody.ToPointer(offset));
  } catch (const EOxaFatal& error) {
    throw EOxaIpcDamaged(error.Message());
  }
}

void TOxaIpc::NotifyRemappedUnguarded()
{
  RequireCurrent();
  TOxaIpcBody body = Body();
  const std::uint32_t generation = Head().Generation;
  TOxaIpcBody::TWalk walk(body, "process");
  for (std::uint32_t at = body.Header().Processes; at != 0;) {
    walk.Step();
    auto record = body.Read<TOxaIpcProcessRecord>(at);
    if (record.Generation != generation && record.Pending == 0) {
      record.Pending = 1;
      body.Write(at, record);
      PostMessageA(WordWindow(record.Window), FNotifyMessage, record.Pid, 0);
    }
    at = record.Next;
  }
}

std::uint32_t TOxaIpc::NextId()
{
  TOxaIpcBody body = Body();
  TOxaIpcBodyHeader header = body.Header();
  ++header.IdCounter;
  if (header.IdCounter == 0) {
    ++header.IdCounter;  // 0 means none
  }
  body.SetHeader(header);
  return header.IdCounter;
}

void TOxaIpc::WindowMessage(TObject*, TMessage& message, bool& handled)
{
  if ((message.Msg != FNotifyMessage && message.Msg != FCallMessage) || FNotifyMessage == 0) {
    return;
  }
  if (static_cast<std::uint32_t>(message.WParam) != FPid || FPid == 0) {
    return;  // meant for an earlier connection of this window or another member
  }
  if (message.Msg == FNotifyMessage && message.LParam == 0) {
    handled = true;
    message.Result = static_cast<LRESULT>(message.WParam);
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
  } else if (message.Msg == FNotifyMessage) {
    handled = true;
    message.Result = static_cast<LRESULT>(message.WParam);
    ClientMessage(message);
  } else {
    handled = true;
    CallArrived(message);
  }
}

std::uint32_t TOxaIpc::NewId()
{
  return Guarded(std::uint32_t{0}, [&]() -> std::uint32_t {
    TOxaIpcBusLock lock(*this, LockTimeout);
    return lock ? NextId() : 0;
  });
}

void TOxaIpc::Attach(TOxaIpcAttachment& client)
{
  if (std::find(FClients.begin(), FClients.end(), &client) == FClients.end()) {
    FClients.push_back(&client);
  }
}

void TOxaIpc::Detach(TOxaIpcAttachment& client)
{
  FClients.erase(std::remove(FClients.begin(), FClients.end(), &client), FClients.end());
}
