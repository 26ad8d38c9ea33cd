#include "OxaIPC/CustomNode.h"

#include <algorithm>
#include <cstring>

#include "framework/OxaUtils.h"
#include "platform/core/Time.h"
#include "platform/objects/Processes.h"
#include "platform/objects/Threads.h"

namespace {

// A call's answer to the key commands and the open and close questions.
constexpr std::uint32_t AnswerSize = 4;

}  // namespace

TCustomNode::TCustomNode(TComponent* owner) : TOxaComponent(owner)
{
  FClient.SetClientName(Format("%.8x%.8x%.8x%.8x", static_cast<std::uint32_t>(GetCurrentProcessId()),
                               static_cast<std::uint32_t>(GetCurrentThreadId()),
                               static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&FClient)),
                               static_cast<std::uint32_t>(GetTickCount())));
  FClient.OnOpen = MakeMethod<&TCustomNode::ClientOpened>(this);
  FClient.OnClose = MakeMethod<&TCustomNode::ClientClosing>(this);
  FClient.AddCommand("Create", MakeMethod<&TCustomNode::CommandCreate>(this));
  FClient.AddCommand("Destroy", MakeMethod<&TCustomNode::CommandDestroy>(this));
  FClient.AddCommand("Open", MakeMethod<&TCustomNode::CommandOpen>(this));
  FClient.AddCommand("Close", MakeMethod<&TCustomNode::CommandClose>(this));
  FClient.AddCommand("KeyDown", MakeMethod<&TCustomNode::CommandKeyDown>(this));
  FClient.AddCommand("KeyUp", MakeMethod<&TCustomNode::CommandKeyUp>(this));
  FClient.AddCommand("KeyPress", MakeMethod<&TCustomNode::CommandKeyPress>(this));
  FClient.AddCommand("KeyDeadPress", MakeMethod<&TCustomNode::CommandKeyDeadPress>(this));
  FClient.AddCommand("OnCreate", MakeMethod<&TCustomNode::NotifyCreated>(this));
  FClient.AddCommand("OnDestroy", MakeMethod<&TCustomNode::NotifyDestroyed>(this));
  FClient.AddCommand("OnDied", MakeMethod<&TCustomNode::NotifyDied>(this));
  FClient.AddCommand("OnOpen", MakeMethod<&TCustomNode::NotifyOpened>(this));
  FClient.AddCommand("OnClose", MakeMethod<&TCustomNode::NotifyClosed>(this));
}

TCustomNode::~TCustomNode()
{
  // The derived parts are gone: leave the bus without running the steps they override.
  FClient.OnOpen = nullptr;
  FClient.OnClose = nullptr;
  try {
    FClient.SetIpc(nullptr);
  } catch (const Exception& error) {
    TraceObject(this, "Destroy: %s", error.Message());
  }
}

void TCustomNode::BeforeDestruction()
{
  FClient.SetIpc(nullptr);
  TOxaComponent::BeforeDestruction();
}

bool TCustomNode::GetActive() const
{
  return FClient.Registered();
}

void TCustomNode::ClientOpened(TObject*)
{
  DoCreate();
}

void TCustomNode::ClientClosing(TObject*)
{
  DoDestroy();
}

std::uint32_t TCustomNode::Id(const std::string& name)
{
  TOxaIpc* ipc = FClient.Ipc();
  return ipc != nullptr && ipc->Active() ? ipc->NameToId(name) : 0;
}

bool TCustomNode::NotifyAllClients(const std::string& name, std::uint32_t size, const void* data)
{
  if (!GetActive()) {
    return false;
  }
  return FClient.Ipc()->Notify(OwnId(), 0, size, data, Id(name));
}

bool TCustomNode::NotifyAsker(POxaIpcMessage message, const std::string& name, std::uint32_t size,
                              const void* data)
{
  // A message without a sender has nobody to answer; target 0 would reach every client.
  if (!GetActive() || message == nullptr || message->Header.Sender == 0) {
    return false;
  }
  return FClient.Ipc()->Notify(OwnId(), message->Header.Sender, size, data, Id(name));
}

bool TCustomNode::CallClient(std::uint32_t target, const std::string& name, std::uint32_t size,
                             const void* data, DWORD timeout, std::vector<std::uint8_t>& result)
{
  result.clear();
  if (!GetActive() || target == 0) {
    return false;
  }
  std::uint32_t resultSize = 0;
  const bool ok =
      FClient.Ipc()->Call(OwnId(), target, resultSize, result, size, data, timeout, false, Id(name));
  result.resize(std::min<std::size_t>(result.size(), resultSize));
  return ok;
}

void TCustomNode::SetVersion(std::int32_t a, std::int32_t b, std::int32_t c)
{
  FVersion = {a, b, c};
  if (GetActive()) {
    SetProperty(OwnId(), Id("Version"), sizeof(FVersion), &FVersion);
  }
}

bool TCustomNode::GetProperty(std::uint32_t clientId, std::uint32_t propertyId, std::uint32_t size,
                              void* buffer)
{
  if (!GetActive()) {
    return false;
  }
  std::uint32_t stored = 0;
  std::vector<std::uint8_t> data;
  const bool ok = FClient.Ipc()->GetProperty(clientId, propertyId, stored, data);
  const std::size_t copied = std::min<std::size_t>({size, stored, data.size()});
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  if (copied > 0) {
    std::memcpy(bytes, data.data(), copied);
  }
  std::memset(bytes + copied, 0, size - copied);
  return ok;
}

bool TCustomNode::SetProperty(std::uint32_t clientId, std::uint32_t propertyId, std::uint32_t size,
                              const void* data)
{
  return GetActive() && FClient.Ipc()->SetProperty(clientId, propertyId, size, data);
}

bool TCustomNode::SetPropertyAndNotify(std::uint32_t clientId, std::uint32_t propertyId, std::uint32_t size,
                                       const void* data, std::uint32_t nameId)
{
  if (!GetActive()) {
    return false;
  }
  const bool set = SetProperty(clientId, propertyId, size, data);
  const bool sent = FClient.Ipc()->Notify(OwnId(), 0, size, data, nameId);
  return set && sent;
}

bool TCustomNode::SetPropertyAndNotifyAll(std::uint32_t clientId, std::uint32_t propertyId,
                                          std::uint32_t size, const void* data, std::uint32_t typeId,
                                          std::uint32_t nameId)
{
  if (!GetActive()) {
    return false;
  }
  const bool set = SetProperty(clientId, propertyId, size, data);
  const bool sent = FClient.Ipc()->NotifyAll(OwnId(), {typeId}, nameId, size, data);
  return set && sent;
}

void TCustomNode::LogArgs(std::string_view format, std::span<const TFormatArg> args)
{
  if (OnLog) {
    OnLog(this, FormatArgs(format, args));
  }
}

void TCustomNode::OpenIfActive()
{
  if (GetActive() && !GetOpened()) {
    DoOpen();
  }
}

void TCustomNode::CloseIfOpen()
{
  if (GetOpened()) {
    DoClose();
  }
}

void TCustomNode::DoCreate()
{
  if (!GetActive()) {
    return;
  }
  SetProperty(OwnId(), Id("Version"), sizeof(FVersion), &FVersion);
  NotifyAllClients("OnCreate");
  if (OnCreate) {
    OnCreate(this);
  }
}

void TCustomNode::DoDestroy()
{
  if (!GetActive()) {
    return;
  }
  CloseIfOpen();
  NotifyAllClients("OnDestroy");
  if (OnDestroy) {
    OnDestroy(this);
  }
}

void TCustomNode::DoOpen()
{
  if (!GetActive() || !GetOpened()) {
    return;
  }
  const std::int32_t active = 1;
  SetProperty(OwnId(), Id("Active"), sizeof(active), &active);
  NotifyAllClients("OnOpen");
  if (OnOpen) {
    OnOpen(this);
  }
}

void TCustomNode::DoClose()
{
  if (!GetActive() || GetOpened()) {
    return;
  }
  const std::int32_t active = 0;
  SetProperty(OwnId(), Id("Active"), sizeof(active), &active);
  NotifyAllClients("OnClose");
  if (OnClose) {
    OnClose(this);
  }
}

void TCustomNode::CommandCreate(TObject*, POxaIpcMessage message)
{
  const TNodeMessageScope scope(FCreateMessage, message);
  if (message->Call) {
    Answer(message, 0, nullptr);
  } else {
    NotifyAsker(message, "OnCreate", 0, nullptr);
  }
}

void TCustomNode::CommandDestroy(TObject*, POxaIpcMessage message)
{
  const TNodeMessageScope scope(FDestroyMessage, message);
  DoDestroy();
}

void TCustomNode::CommandOpen(TObject*, POxaIpcMessage message)
{
  const TNodeMessageScope scope(FOpenMessage, message);
  const bool call = message->Call;
  if (!GetOpened()) {
    DoOpen();
  } else if (call) {
    Answer(message, 0, nullptr);
  } else {
    NotifyAsker(message, "OnOpen", 0, nullptr);
  }
}

void TCustomNode::CommandClose(TObject*, POxaIpcMessage message)
{
  const TNodeMessageScope scope(FCloseMessage, message);
  if (GetOpened()) {
    DoClose();
  }
}

void TCustomNode::Key(POxaIpcMessage message, const TNodeKeyEvent& event)
{
  const bool call = message->Call;
  std::uint32_t handled = 0;
  if (message->Payload.size() >= sizeof(TNodeKey)) {
    TNodeKey key{};
    std::memcpy(&key, message->Payload.data(), sizeof(key));
    bool flag = false;
    if (event) {
      event(this, &key, flag);
    }
    handled = flag ? 1 : 0;
  }
  // A short record handles nothing; a caller still learns that, as 0.
  if (call) {
    Answer(message, AnswerSize, &handled);
  }
}

void TCustomNode::CommandKeyDown(TObject*, POxaIpcMessage message)
{
  Key(message, OnKeyDown);
}

void TCustomNode::CommandKeyUp(TObject*, POxaIpcMessage message)
{
  Key(message, OnKeyUp);
}

void TCustomNode::CommandKeyPress(TObject*, POxaIpcMessage message)
{
  Key(message, OnKeyPress);
}

void TCustomNode::CommandKeyDeadPress(TObject*, POxaIpcMessage message)
{
  Key(message, OnKeyDeadPress);
}

bool TCustomNode::SendKey(const char* name, std::uint32_t target, const TNodeKey& key)
{
  std::vector<std::uint8_t> result;
  if (!CallClient(target, name, sizeof(key), &key, 1000, result) || result.size() < AnswerSize) {
    return false;
  }
  std::uint32_t answer = 0;
  std::memcpy(&answer, result.data(), sizeof(answer));
  return answer == 1;
}

bool TCustomNode::SendKeyDeadPress(std::uint32_t target, std::int32_t a, std::int32_t b, std::int32_t c,
                                   std::int32_t d, std::int32_t e)
{
  return SendKey("KeyDeadPress", target, {a, b, c, d, e});
}

bool TCustomNode::SendKeyDown(std::uint32_t target, std::int32_t a, std::int32_t b, std::int32_t c,
                              std::int32_t d, std::int32_t e)
{
  return SendKey("KeyDown", target, {a, b, c, d, e});
}

bool TCustomNode::SendKeyPress(std::uint32_t target, std::int32_t a, std::int32_t b, std::int32_t c,
                               std::int32_t d, std::int32_t e)
{
  return SendKey("KeyPress", target, {a, b, c, d, e});
}

bool TCustomNode::SendKeyUp(std::uint32_t target, std::int32_t a, std::int32_t b, std::int32_t c,
                            std::int32_t d, std::int32_t e)
{
  return SendKey("KeyUp", target, {a, b, c, d, e});
}
