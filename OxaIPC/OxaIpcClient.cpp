#include "OxaIPC/OxaIpcClient.h"

#include "framework/OxaUtils.h"
#include "rtl/Strings.h"

TOxaIpcClient::TOxaIpcClient(TComponent* owner) : TOxaComponent(owner) {}

TOxaIpcClient::~TOxaIpcClient()
{
  try {
    SetIpc(nullptr);
  } catch (const Exception& error) {
    TraceObject(this, "Destroy: %s", error.Message());
  }
}

void TOxaIpcClient::BeforeDestruction()
{
  SetIpc(nullptr);
  TOxaComponent::BeforeDestruction();
}

void TOxaIpcClient::SetIpc(TOxaIpc* ipc)
{
  if (ipc == FIpc) {
    return;
  }
  if (FRegistered) {
    if (OnClose) {
      OnClose(this);
    }
    Unregister();
  }
  if (FIpc != nullptr) {
    FIpc->Detach(*this);
  }
  FIpc = ipc;
  if (FIpc != nullptr) {
    FIpc->Attach(*this);
    if (FIpc->Active()) {
      Register();
    }
  }
}

template <class F>
void TOxaIpcClient::Reregister(F&& change)
{
  if (!FRegistered) {
    change();
    return;
  }
  // The handlers run outside the bus lock, which only spans the swap of the records.
  if (OnClose) {
    OnClose(this);
  }
  bool again = false;
  if (FIpc->Lock(TOxaIpc::LockTimeout)) {
    Unregister();
    change();
    again = IpcRegister();
    FIpc->Unlock();
  } else {
    change();
  }
  if (again && OnOpen) {
    OnOpen(this);
  }
}

void TOxaIpcClient::SetClientName(const std::string& name)
{
  if (name != FClientName) {
    Reregister([&] { FClientName = name; });
  }
}

void TOxaIpcClient::SetClientTypes(const std::string& types)
{
  if (types != FClientTypes) {
    Reregister([&] { FClientTypes = types; });
  }
}

void TOxaIpcClient::SetCommands(const TOxaIpcCommands& commands)
{
  FCommands.Assign(commands);
  if (FRegistered) {
    FCommands.Resolve(FIpc);
  }
}

TOxaIpcCommandItem& TOxaIpcClient::AddCommand(const std::string& name, TOxaIpcDispatchEvent handler)
{
  TOxaIpcCommandItem& item = FCommands.Add(name, handler);
  if (FRegistered) {
    item.Resolve(FIpc);
  }
  return item;
}

std::vector<std::uint32_t> TOxaIpcClient::TypeIds()
{
  std::vector<std::uint32_t> ids;
  std::string::size_type start = 0;
  while (start <= FClientTypes.size()) {
    std::string::size_type end = FClientTypes.find(';', start);
    if (end == std::string::npos) {
      end = FClientTypes.size();
    }
    const std::string name = Trim(FClientTypes.substr(start, end - start));
    if (const std::uint32_t id = FIpc->NameToId(name); id != 0) {
      ids.push_back(id);
    }
    start = end + 1;
  }
  return ids;
}

bool TOxaIpcClient::IpcRegister()
{
  if (FRegistered) {
    return true;
  }
  if (FIpc == nullptr || !FIpc->Active()) {
    return false;
  }
  const std::uint32_t id = FIpc->NameToId(FClientName);
  if (id == 0) {
    return false;
  }
  const std::uint32_t record = FIpc->RegisterClient(id, TypeIds());
  if (record == 0) {
    return false;
  }
  FClientId = id;
  FRecord = record;
  FRegistered = true;
  FCommands.Resolve(FIpc);
  return true;
}

void TOxaIpcClient::IpcUnregister()
{
  Unregister();
}

void TOxaIpcClient::Register()
{
  if (FIpc == nullptr || !FIpc->Lock(TOxaIpc::LockTimeout)) {
    return;
  }
  const bool registered = IpcRegister();
  if (FIpc->Active()) {
    FIpc->Unlock();
  }
  if (registered && OnOpen) {
    OnOpen(this);
  }
}

void TOxaIpcClient::Unregister()
{
  if (!FRegistered) {
    return;
  }
  FRegistered = false;
  const std::uint32_t id = FClientId;
  FClientId = 0;
  FRecord = 0;
  FCommands.Resolve(nullptr);
  if (FIpc != nullptr) {
    FIpc->UnregisterClient(id);
  }
}

void TOxaIpcClient::IpcOpened()
{
  if (OnOpen) {
    OnOpen(this);
  }
}

void TOxaIpcClient::IpcClosing()
{
  if (OnClose) {
    OnClose(this);
  }
}

void TOxaIpcClient::IpcDamaged()
{
  FRegistered = false;
  FClientId = 0;
  FRecord = 0;
}

void TOxaIpcClient::IpcDetached()
{
  IpcDamaged();
  FIpc = nullptr;
}

bool TOxaIpcClient::Notify(const std::string& target, const std::string& name, std::uint32_t size,
                           const void* data)
{
  if (FIpc == nullptr) {
    return false;
  }
  return FIpc->Notify(FClientId, FIpc->NameToId(target), size, data, FIpc->NameToId(name));
}

bool TOxaIpcClient::Notify(const std::string& target, const std::string& name, const std::string& text)
{
  return Notify(target, name, static_cast<std::uint32_t>(text.size() + 1), text.c_str());
}

bool TOxaIpcClient::NotifyAll(const std::string& types, const std::string& name, std::uint32_t size,
                              const void* data)
{
  if (FIpc == nullptr) {
    return false;
  }
  std::vector<std::uint32_t> ids;
  std::string::size_type start = 0;
  while (start <= types.size()) {
    std::string::size_type end = types.find(';', start);
    if (end == std::string::npos) {
      end = types.size();
    }
    const std::string type = Trim(types.substr(start, end - start));
    if (!type.empty()) {
      ids.push_back(FIpc->NameToId(type));  // "*" gives 0: everyone
    }
    start = end + 1;
  }
  return FIpc->NotifyAll(FClientId, ids, FIpc->NameToId(name), size, data);
}

bool TOxaIpcClient::Call(const std::string& target, const std::string& name, std::uint32_t& resultSize,
                         std::vector<std::uint8_t>& resultData, std::uint32_t size, const void* data,
                         DWORD timeout, bool block)
{
  if (FIpc == nullptr) {
    resultSize = 0;
    resultData.clear();
    return false;
  }
  return FIpc->Call(FClientId, FIpc->NameToId(target), resultSize, resultData, size, data, timeout, block,
                    FIpc->NameToId(name));
}

bool TOxaIpcClient::Call(const std::string& target, const std::string& name, std::uint32_t& resultSize,
                         std::vector<std::uint8_t>& resultData, std::uint32_t size, const void* data)
{
  return Call(target, name, resultSize, resultData, size, data, INFINITE, false);
}

void TOxaIpcClient::Result(POxaIpcMessage message, std::uint32_t size, const void* data)
{
  if (FIpc == nullptr || message == nullptr) {
    return;
  }
  FIpc->Result(*message, FClientId, size, data);
}

bool TOxaIpcClient::IsNotification(POxaIpcMessage message) noexcept
{
  return message != nullptr && message->Header.Pending == 0;
}

void TOxaIpcClient::Dispatch(TOxaIpcMessage& message)
{
  if (TOxaIpcCommandItem* item = FCommands.Find(message.Header.Name)) {
    if (item->OnDispatch) {
      item->OnDispatch(this, &message);
    }
    return;
  }
  if (OnDispatch) {
    OnDispatch(this, &message);
  }
}

bool TOxaIpcClient::DispatchSafely(TOxaIpcMessage& message)
{
  try {
    Dispatch(message);
    return true;
  } catch (const std::exception& error) {
    TraceObject(this, "Dispatch: %s", error.what());
    return false;
  }
}

void TOxaIpcClient::Drain()
{
  bool first = true;
  while (FRegistered && FIpc != nullptr && FIpc->Active()) {
    TOxaIpcMessage message;
    if (!FIpc->TakeNext(FClientId, first, message)) {
      break;
    }
    first = false;
    DispatchSafely(message);
  }
}

bool RegisterNumberedClient(TOxaIpcClient& client, TOxaIpc& ipc, const std::string& prefix,
                            unsigned maxNumber)
{
  for (unsigned number = 1; number <= maxNumber; ++number) {
    client.SetClientName(prefix + std::to_string(number));
    if (client.Ipc() != &ipc) {
      client.SetIpc(&ipc);
    }
    if (client.Registered()) {
      return true;
    }
  }
  return false;
}
