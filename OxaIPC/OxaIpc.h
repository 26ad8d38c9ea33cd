#pragma once
// TOxaIpc: one process's connection to the bus of one group.
//
// A bus is a set of named objects that every member opens by name: the bus mutex, a fixed head
// heap and a growable body heap holding the directory of member processes, clients, interned
// names and their queues (layouts in OxaIpcRecords.h). Members wake each other with two
// registered messages posted or sent to each member's message window.
//
// Shared memory is written by every member, a crashed or hostile one included, so every record
// is checked before use (see TOxaIpcBody) and damage never takes this process down: it closes
// the bus and raises OnDamaged. Every wait and retry is bounded.

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "OxaIPC/OxaIpcApplication.h"
#include "OxaIPC/OxaIpcMessage.h"
#include "OxaIPC/OxaIpcRecords.h"
#include "framework/OxaMemory.h"
#include "framework/OxaMessageWindow.h"
#include "framework/OxaObjects.h"
#include "framework/OxaSync.h"
#include "platform/objects/ObjectProbe.h"
#include "rtl/Method.h"

class TOxaIpc;

// A cache entry: an interned name and its id.
class TOxaIpcNameItem : public TObject {
 public:
  TOxaIpcNameItem(std::uint32_t id, std::string name) : Id(id), Name(std::move(name)) {}
  std::uint32_t Id;
  std::string Name;
};

// What the bus needs of a local client attached to it (the clients build on this).
class TOxaIpcAttachment {
 public:
  virtual ~TOxaIpcAttachment() = default;
  // Registers on the bus (called with the bus lock held); false when it cannot.
  virtual bool IpcRegister() = 0;
  // Leaves the bus's shared records (bus lock held).
  virtual void IpcUnregister() = 0;
  virtual bool IpcRegistered() const = 0;
  virtual std::uint32_t IpcClientId() const = 0;
  // Handlers, run without the bus lock.
  virtual void IpcOpened() = 0;
  virtual void IpcClosing() = 0;
  // The bus was found damaged: forget the shared records without touching them.
  virtual void IpcDamaged() = 0;
  // The bus is being destroyed: drop the reference to it.
  virtual void IpcDetached() = 0;
};

// A private copy of a queued message.
struct TOxaIpcMessageCopy {
  TOxaIpcMessageRecord Header{};
  std::vector<std::uint8_t> Payload;
};

// A look at a process record, for diagnostics.
struct TOxaIpcProcessInfo {
  std::uint32_t Offset;
  TOxaIpcProcessRecord Record;
};

class TOxaIpc : public TOxaComponent {
 public:
  explicit TOxaIpc(TComponent* owner);
  ~TOxaIpc() override;
  void BeforeDestruction() override;

  const std::string& GroupName() const noexcept { return FGroupName; }
  // At most 255 characters (longer raises EOxaFatal); a different name closes the bus first.
  void SetGroupName(const std::string& name);

  enum TNameKind : int {
    nkClientDied,
    nkClientAttach,
    nkClientDetach,
    nkDebugClient,
    nkDebugNotify,
    nkDebugCall,
    nkDebugResult,
    nkDebugProperty,
    nkCount
  };
  const std::string& ConfiguredName(TNameKind kind) const { return FNames[kind].first; }
  std::uint32_t ConfiguredId(TNameKind kind) const { return FNames[kind].second; }
  // The first three are resolved again when set while active.
  void SetConfiguredName(TNameKind kind, const std::string& name);
  const std::string& ClientDiedName() const { return ConfiguredName(nkClientDied); }
  void SetClientDiedName(const std::string& name) { SetConfiguredName(nkClientDied, name); }
  const std::string& ClientAttachName() const { return ConfiguredName(nkClientAttach); }
  void SetClientAttachName(const std::string& name) { SetConfiguredName(nkClientAttach, name); }
  const std::string& ClientDetachName() const { return ConfiguredName(nkClientDetach); }
  void SetClientDetachName(const std::string& name) { SetConfiguredName(nkClientDetach, name); }
  const std::string& DebugClientName() const { return ConfiguredName(nkDebugClient); }
  void SetDebugClientName(const std::string& name) { SetConfiguredName(nkDebugClient, name); }
  const std::string& DebugNotifyName() const { return ConfiguredName(nkDebugNotify); }
  void SetDebugNotifyName(const std::string& name) { SetConfiguredName(nkDebugNotify, name); }
  const std::string& DebugCallName() const { return ConfiguredName(nkDebugCall); }
  void SetDebugCallName(const std::string& name) { SetConfiguredName(nkDebugCall, name); }
  const std::string& DebugResultName() const { return ConfiguredName(nkDebugResult); }
  void SetDebugResultName(const std::string& name) { SetConfiguredName(nkDebugResult, name); }
  const std::string& DebugPropertyName() const { return ConfiguredName(nkDebugProperty); }
  void SetDebugPropertyName(const std::string& name) { SetConfiguredName(nkDebugProperty, name); }

  TNotifyEvent OnOpen;
  TNotifyEvent OnClose;
  TNotifyEvent OnDamaged;

  // Joins the bus; true when active afterwards. With keepLocked, returns holding the bus lock
  // (an active bus only takes the lock).
  bool Open(bool keepLocked);
  void Close();
  bool Active() const noexcept { return FActive; }
  // The bus lock, counted per object; false (and nothing) while inactive, on time-out, or when
  // the lock shows the bus damaged.
  bool Lock(DWORD timeout);
  void Unlock();
  bool Locked() const noexcept { return FMutex.Locked(); }

  std::uint32_t NameToId(const std::string& name);
  std::string IdToName(std::uint32_t id);
  std::uint32_t NewId();
  bool Exists(std::uint32_t clientId, DWORD timeout);
  bool Launch(const std::string& clientName, const std::string& commandLine, DWORD timeout);
  // parameters: (name, value) pairs.
  bool RegisterApplication(const std::string& clientNames, const std::string& applications,
                           const std::vector<std::pair<std::string, std::string>>& parameters);

  // Used by the clients, under the bus lock. Allocation and freeing work on offsets: a body
  // view does not survive an allocation, which may move the body.
  bool CheckGeneration();
  bool CheckProcess(std::uint32_t processOffset);
  void CheckAllProcesses();
  std::uint32_t AllocShared(std::uint32_t size);
  void FreeShared(std::uint32_t offset);
  void NotifyRemapped();
  void PostNotify(std::uint32_t clientOffset);
  // The body as mapped now; checked views only.
  TOxaIpcBody Body() const;

  // The client records the bus itself needs: creating and removing them, finding them, queueing
  // to them and taking from their queue.
  std::uint32_t FindClient(std::uint32_t clientId);
  std::uint32_t CreateClientRecord(std::uint32_t clientId);
  void FreeClientRecord(std::uint32_t clientOffset);
  // Queues a notification to one live client (targetId != 0) or to every client (0); true when
  // anything was queued.
  bool Notify(std::uint32_t senderId, std::uint32_t targetId, std::uint32_t size, const void* data,
              std::uint32_t nameId);
  // Takes the oldest message of a client's queue; false when there is none.
  bool TakeMessage(std::uint32_t clientId, TOxaIpcMessageCopy& message);

  void Attach(TOxaIpcAttachment& client);
  void Detach(TOxaIpcAttachment& client);

  // Clients, messages, calls and properties (OxaIpcMessages.cpp). Register and unregister run
  // under the bus lock the caller holds; the rest take it themselves.
  // A client record for clientId with its types; 0 when the name is taken or memory is out.
  std::uint32_t RegisterClient(std::uint32_t clientId, const std::vector<std::uint32_t>& types);
  void UnregisterClient(std::uint32_t clientId);
  // To every client that carries one of types (all clients when types is empty or holds 0).
  bool NotifyAll(std::uint32_t senderId, const std::vector<std::uint32_t>& types, std::uint32_t nameId,
                 std::uint32_t size, const void* data);
  // timeout INFINITE waits for ever; block: a send during which no other call is served.
  bool Call(std::uint32_t senderId, std::uint32_t targetId, std::uint32_t& resultSize,
            std::vector<std::uint8_t>& resultData, std::uint32_t size, const void* data, DWORD timeout,
            bool block, std::uint32_t nameId);
  void Result(TOxaIpcMessage& message, std::uint32_t senderId, std::uint32_t size, const void* data);
  bool SetProperty(std::uint32_t clientId, std::uint32_t propertyId, std::uint32_t size, const void* data);
  bool GetProperty(std::uint32_t clientId, std::uint32_t propertyId, std::uint32_t& size,
                   std::vector<std::uint8_t>& data);
  // Takes the oldest message of a client of this process; the first take of a drain also clears
  // the outstanding notify. False when the queue is empty.
  bool TakeNext(std::uint32_t clientId, bool first, TOxaIpcMessage& message);
  // The number of messages queued for a client (diagnostics).
  std::uint32_t QueueLength(std::uint32_t clientId);

  // Diagnostics, under the lock: the head's fields, the process records, the client ids, the
  // interned names, and the heaps' damage reports joined.
  TOxaIpcHeadHeader HeadHeader();
  std::vector<TOxaIpcProcessInfo> Processes();
  std::vector<std::uint32_t> ClientIds();
  std::vector<std::pair<std::uint32_t, std::string>> Names();
  std::string CheckHeaps();
  // Whether the member with that bus id still holds its process mutex; looks, changes nothing.
  bool ProcessAlive(std::uint32_t pid) const;

  std::uint32_t Pid() const noexcept { return FPid; }
  std::uint32_t ProcessOffset() const noexcept { return FProcess; }
  UINT NotifyMessage() const noexcept { return FNotifyMessage; }
  UINT CallMessage() const noexcept { return FCallMessage; }
  HWND Window() const;
  const std::string& Group() const noexcept { return FGroup; }

  // Bounds of the waits and retries.
  static constexpr int OpenRetries = 5;
  static constexpr DWORD RetryPause = 200;
  static constexpr DWORD LockTimeout = 10000;
  static constexpr int CloseRounds = 3;
  static constexpr DWORD CloseLimit = 1000;
  static constexpr DWORD CloseSendTimeout = 200;

 private:
  friend class TOxaIpcBusLock;
  template <class R, class F>
  R Guarded(R failure, F&& body);

  // The unguarded bodies of the entry points above.
  bool CheckGenerationUnguarded();
  bool CheckProcessUnguarded(std::uint32_t processOffset);
  void CheckAllProcessesUnguarded();
  std::uint32_t AllocSharedUnguarded(std::uint32_t size);
  void FreeSharedUnguarded(std::uint32_t offset);
  void NotifyRemappedUnguarded();
  void PostNotifyUnguarded(std::uint32_t clientOffset);
  std::uint32_t FindClientUnguarded(std::uint32_t clientId);
  std::uint32_t CreateClientRecordUnguarded(std::uint32_t clientId);
  void FreeClientRecordUnguarded(std::uint32_t clientOffset);
  void OpenSteps(bool& registeredAll);
  void Undo() noexcept;
  void Damaged() noexcept;
  void ResolveNames();
  void Require(bool condition, const char* invariant) const;
  void RequireCurrent() const;
  std::uint32_t HeapBytes(std::uint32_t dataSize) const;
  void Remap(std::uint32_t generation, std::uint32_t bodySize);
  void ValidateLists();
  void FreeClientChain(std::uint32_t clientOffset);
  bool Queue(std::uint32_t clientOffset, std::uint32_t senderId, std::uint32_t nameId, std::uint32_t serial,
             std::uint32_t size, const void* data);
  std::uint32_t NextId();
  bool Deliver(std::uint32_t clientOffset, const TOxaIpcMessageRecord& header, const void* data, bool copy);
  void DebugCopy(std::uint32_t senderId, std::uint32_t nameId, std::uint32_t firstSize, const void* first,
                 std::uint32_t secondSize, const void* second);
  std::uint32_t DebugClientOffset();
  bool MakeRoom(std::uint32_t clientOffset, std::uint32_t size);
  void ClientMessage(TMessage& message);
  void CallArrived(TMessage& message);
  void WindowMessage(TObject* sender, TMessage& message, bool& handled);
  bool LockBus(DWORD timeout);
  bool StillListed(std::uint32_t offset, std::uint32_t pid);
  bool Listed(std::uint32_t processOffset);
  void Unlink(std::uint32_t processOffset);
  std::vector<std::uint32_t> FreeClientsOf(std::uint32_t processOffset);
  TOxaIpcHeadHeader& Head() const;

  std::string FGroupName = "VantelPC";
  std::string FGroup;
  std::pair<std::string, std::uint32_t> FNames[nkCount];
  bool FActive = false;
  bool FDamagedOpening = false;
  UINT FNotifyMessage = 0;
  UINT FCallMessage = 0;
  TOxaMutex FMutex;
  TOxaMutex FProcessMutex;
  TOxaProcessMemory FHead;
  TOxaProcessMemory FBody;
  std::uint32_t FBodyBytes = 0;  // heap bytes of the body as mapped here
  std::uint32_t FPid = 0;
  std::uint32_t FProcess = 0;  // own process record
  std::vector<TOxaIpcAttachment*> FClients;
  // The name cache, by upper-cased name: names are never removed from the bus, so an entry
  // stays right for the connection's life.
  std::unordered_map<std::string, std::unique_ptr<TOxaIpcNameItem>> FCache;
  TOxaMessageWindow FWindow;
  int FDepth = 0;  // nesting of public operations
  // Probes of other members' process mutexes, by bus id: a call or a notification looks at its
  // target's each time, and an open probe answers in a few system calls where opening the
  // mutex by name costs a walk through the file system. Dropped with the connection.
  mutable std::unordered_map<std::uint32_t, std::unique_ptr<TObjectProbe>> FProbes;
};
