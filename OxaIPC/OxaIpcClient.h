#pragma once
// TOxaIpcClient: a named client on a bus. It registers under its name while its bus is active
// (one client per name on a bus), receives notifications and calls through its commands or
// OnDispatch, sends notifications and calls, and answers calls with Result.
//
// Handlers run on the thread of the bus's message window, without the bus lock, and see only a
// private copy of the message. A handler that raises loses its own message and no other.

#include <cstdint>
#include <string>
#include <vector>

#include "OxaIPC/OxaIpc.h"
#include "OxaIPC/OxaIpcCommands.h"
#include "OxaIPC/OxaIpcMessage.h"
#include "framework/OxaObjects.h"

class TOxaIpcClient : public TOxaComponent, public TOxaIpcAttachment {
 public:
  explicit TOxaIpcClient(TComponent* owner);
  ~TOxaIpcClient() override;
  void BeforeDestruction() override;

  TOxaIpc* Ipc() const noexcept { return FIpc; }
  void SetIpc(TOxaIpc* ipc);
  const std::string& ClientName() const noexcept { return FClientName; }
  void SetClientName(const std::string& name);
  // Type names separated by ";".
  const std::string& ClientTypes() const noexcept { return FClientTypes; }
  void SetClientTypes(const std::string& types);
  TOxaIpcCommands& Commands() noexcept { return FCommands; }
  void SetCommands(const TOxaIpcCommands& commands);
  TOxaIpcCommandItem& AddCommand(const std::string& name, TOxaIpcDispatchEvent handler);

  // Targets and names are client and message names; "" or "*" as target reaches every client.
  bool Notify(const std::string& target, const std::string& name, std::uint32_t size, const void* data);
  // The text and its terminating zero.
  bool Notify(const std::string& target, const std::string& name, const std::string& text);
  // To every client carrying one of types (";"-separated; empty or "*" reaches all).
  bool NotifyAll(const std::string& types, const std::string& name, std::uint32_t size, const void* data);
  // timeout INFINITE waits for ever; block: no other call is served while waiting.
  bool Call(const std::string& target, const std::string& name, std::uint32_t& resultSize,
            std::vector<std::uint8_t>& resultData, std::uint32_t size, const void* data, DWORD timeout,
            bool block);
  bool Call(const std::string& target, const std::string& name, std::uint32_t& resultSize,
            std::vector<std::uint8_t>& resultData, std::uint32_t size, const void* data);
  // Answers a call from inside its handler; only the first answer counts.
  void Result(POxaIpcMessage message, std::uint32_t size, const void* data);
  // A notification, or a call already answered.
  static bool IsNotification(POxaIpcMessage message) noexcept;

  TOxaIpcDispatchEvent OnDispatch;
  TNotifyEvent OnOpen;
  TNotifyEvent OnClose;

  bool Registered() const noexcept { return FRegistered; }
  std::uint32_t ClientId() const noexcept { return FClientId; }
  std::uint32_t RecordOffset() const noexcept { return FRecord; }

  // Called by the bus: takes and dispatches the queue until it is empty.
  void Drain();
  // Dispatches one message; false when its handler raised.
  bool DispatchSafely(TOxaIpcMessage& message);

  bool IpcRegister() override;
  void IpcUnregister() override;
  bool IpcRegistered() const override { return FRegistered; }
  std::uint32_t IpcClientId() const override { return FClientId; }
  void IpcOpened() override;
  void IpcClosing() override;
  void IpcDamaged() override;
  void IpcDetached() override;

 private:
  void Dispatch(TOxaIpcMessage& message);
  // Registers with the bus lock taken here; OnOpen follows when it worked.
  void Register();
  void Unregister();
  template <class F>
  void Reregister(F&& change);
  std::vector<std::uint32_t> TypeIds();

  TOxaIpc* FIpc = nullptr;
  std::string FClientName;
  std::string FClientTypes;
  TOxaIpcCommands FCommands;
  bool FRegistered = false;
  std::uint32_t FClientId = 0;
  std::uint32_t FRecord = 0;
};

// Registers the client on ipc under the first of prefix + "1", prefix + "2", ... prefix +
// maxNumber that no client on the bus bears: a short-lived program takes the name one before it
// left, so the bus's name list does not grow with every run. False when every one is taken.
bool RegisterNumberedClient(TOxaIpcClient& client, TOxaIpc& ipc, const std::string& prefix,
                            unsigned maxNumber);
