#pragma once
// TCustomNode: an object that lives on the bus as one client with the life cycle every member of
// the suite understands. It announces itself ("OnCreate") when its client registers and leaves
// ("OnDestroy") when it goes, can be asked to open and close, publishes "Version" and accepts
// remote keys. Its commands are bound to virtual handlers, so subclasses change behaviour by
// overriding.
//
// The suite's members and the executables behind them (the running program finds them through
// the registry instead; this table only documents the names):
//
//   "Pyrmel;SourceControl"  OxaPlayer.exe      the host player, and the receiver of remote keys
//                                              that sources send back
//   "Tray"                  OxaTray.exe
//   "System"                OxaIpcML.exe
//   "SystemConfig"          OxaConfig.exe
//   "PcCd"                  OxaPcCd.exe
//   "PcCdConfig"            OxaPcCdConfig.exe
//   "VuDirAzuzo"            OxaNetMusic.exe
//
// Key record (the payload of "KeyDown", "KeyUp", "KeyPress" and "KeyDeadPress", 20 bytes, passed
// through as the sender gave it):
//   A  the key or character code        B  the shift state
//   C  the key data                     D  the event time on the system tick clock
//   E  0
// A controller never sends a key back to the member that forwarded it: a key the host passed on
// to a source and the source returned unhandled would otherwise travel round for ever.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "OxaIPC/OxaIpcClient.h"
#include "framework/OxaObjects.h"
#include "rtl/Format.h"

struct TNodeKey {
  std::int32_t A;
  std::int32_t B;
  std::int32_t C;
  std::int32_t D;
  std::int32_t E;
};
static_assert(sizeof(TNodeKey) == 20);

struct TNodeVersion {
  std::int32_t A;
  std::int32_t B;
  std::int32_t C;
};
static_assert(sizeof(TNodeVersion) == 12);

using TNodeKeyEvent = TMethod<void(TObject*, const TNodeKey*, bool&)>;
using TNodeLogEvent = TMethod<void(TObject*, const std::string&)>;

class TCustomNode : public TOxaComponent {
 public:
  explicit TCustomNode(TComponent* owner);
  ~TCustomNode() override;
  // Leaves the bus while the whole object still exists, so the overridden steps run.
  void BeforeDestruction() override;

  // The slots, in order.
  virtual bool GetActive() const;
  virtual bool GetOpened() const = 0;
  virtual void Loaded() {}
  virtual void DoCreate();
  virtual void DoDestroy();
  virtual void DoOpen();
  virtual void DoClose();
  virtual void CommandCreate(TObject* sender, POxaIpcMessage message);
  virtual void CommandDestroy(TObject* sender, POxaIpcMessage message);
  virtual void CommandOpen(TObject* sender, POxaIpcMessage message);
  virtual void CommandClose(TObject* sender, POxaIpcMessage message);
  virtual void CommandKeyDown(TObject* sender, POxaIpcMessage message);
  virtual void CommandKeyUp(TObject* sender, POxaIpcMessage message);
  virtual void CommandKeyPress(TObject* sender, POxaIpcMessage message);
  virtual void CommandKeyDeadPress(TObject* sender, POxaIpcMessage message);
  virtual void NotifyCreated(TObject*, POxaIpcMessage) {}
  virtual void NotifyDestroyed(TObject*, POxaIpcMessage) {}
  virtual void NotifyDied(TObject*, POxaIpcMessage) {}
  virtual void NotifyOpened(TObject*, POxaIpcMessage) {}
  virtual void NotifyClosed(TObject*, POxaIpcMessage) {}
  // Keys to another client (its bus id): true when it answered at least 4 bytes starting with
  // the 32-bit value 1. At most 1000 ms, and other calls are served while waiting.
  virtual bool SendKeyDeadPress(std::uint32_t target, std::int32_t a, std::int32_t b, std::int32_t c,
                                std::int32_t d, std::int32_t e);
  virtual bool SendKeyDown(std::uint32_t target, std::int32_t a, std::int32_t b, std::int32_t c,
                           std::int32_t d, std::int32_t e);
  virtual bool SendKeyPress(std::uint32_t target, std::int32_t a, std::int32_t b, std::int32_t c,
                            std::int32_t d, std::int32_t e);
  virtual bool SendKeyUp(std::uint32_t target, std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d,
                         std::int32_t e);

  TOxaIpc* Ipc() const noexcept { return FClient.Ipc(); }
  // Registers the client when the bus is active, which runs DoCreate.
  void SetIpc(TOxaIpc* ipc) { FClient.SetIpc(ipc); }
  TOxaIpcClient& Client() noexcept { return FClient; }
  const TNodeVersion& Version() const noexcept { return FVersion; }
  void SetVersion(std::int32_t a, std::int32_t b, std::int32_t c);

  // Reads into size bytes: zeros past a shorter value, cut when it is longer.
  bool GetProperty(std::uint32_t clientId, std::uint32_t propertyId, std::uint32_t size, void* buffer);
  bool SetProperty(std::uint32_t clientId, std::uint32_t propertyId, std::uint32_t size, const void* data);
  bool SetPropertyAndNotify(std::uint32_t clientId, std::uint32_t propertyId, std::uint32_t size,
                            const void* data, std::uint32_t nameId);
  // typeId 0 reaches everybody.
  bool SetPropertyAndNotifyAll(std::uint32_t clientId, std::uint32_t propertyId, std::uint32_t size,
                               const void* data, std::uint32_t typeId, std::uint32_t nameId);
  template <class... Args>
  void Log(std::string_view format, const Args&... args)
  {
    if (OnLog) {
      const TFormatArg packed[sizeof...(Args) + 1] = {TFormatArg(args)..., TFormatArg(0)};
      LogArgs(format, std::span<const TFormatArg>(packed, sizeof...(Args)));
    }
  }
  void LogArgs(std::string_view format, std::span<const TFormatArg> args);
  void OpenIfActive();
  void CloseIfOpen();

  // The message each of these commands is handling, null outside its handler.
  POxaIpcMessage CreateMessage() const noexcept { return FCreateMessage; }
  POxaIpcMessage DestroyMessage() const noexcept { return FDestroyMessage; }
  POxaIpcMessage OpenMessage() const noexcept { return FOpenMessage; }
  POxaIpcMessage CloseMessage() const noexcept { return FCloseMessage; }

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnOpen;
  TNotifyEvent OnClose;
  TNodeLogEvent OnLog;
  TNodeKeyEvent OnKeyDown;
  TNodeKeyEvent OnKeyUp;
  TNodeKeyEvent OnKeyPress;
  TNodeKeyEvent OnKeyDeadPress;

 protected:
  // The bus id of a name, 0 while inactive.
  std::uint32_t Id(const std::string& name);
  std::uint32_t OwnId() const noexcept { return FClient.ClientId(); }
  // To every client (target 0) or to one; nothing without a bus or with no target to answer.
  bool NotifyAllClients(const std::string& name, std::uint32_t size = 0, const void* data = nullptr);
  bool NotifyAsker(POxaIpcMessage message, const std::string& name, std::uint32_t size, const void* data);
  void Answer(POxaIpcMessage message, std::uint32_t size, const void* data)
  {
    FClient.Result(message, size, data);
  }
  bool CallClient(std::uint32_t target, const std::string& name, std::uint32_t size, const void* data,
                  DWORD timeout, std::vector<std::uint8_t>& result);

 private:
  void ClientOpened(TObject* sender);
  void ClientClosing(TObject* sender);
  void Key(POxaIpcMessage message, const TNodeKeyEvent& event);
  bool SendKey(const char* name, std::uint32_t target, const TNodeKey& key);

  TOxaIpcClient FClient{nullptr};
  TNodeVersion FVersion{};

 protected:
  POxaIpcMessage FCreateMessage = nullptr;
  POxaIpcMessage FDestroyMessage = nullptr;
  POxaIpcMessage FOpenMessage = nullptr;
  POxaIpcMessage FCloseMessage = nullptr;
};

// Sets a remembered-message slot for the length of a handler, also when it raises.
class TNodeMessageScope {
 public:
  TNodeMessageScope(POxaIpcMessage& slot, POxaIpcMessage message) : FSlot(slot) { FSlot = message; }
  ~TNodeMessageScope() { FSlot = nullptr; }
  TNodeMessageScope(const TNodeMessageScope&) = delete;
  TNodeMessageScope& operator=(const TNodeMessageScope&) = delete;

 private:
  POxaIpcMessage& FSlot;
};
