#pragma once
// The audio component as the program reaches it: the module "OxaAud.dll" loaded by name, its
// export GetCtrl, and the callback object through which the component's reports reach the
// user-interface thread.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/core/OxaAud.h"
#include "platform/windows/Messages.h"
#include "platform/windows/Modules.h"
#include "platform/windows/Windows.h"

// The component module, loaded while this object lives.
class TOxaAudModule {
 public:
  // moduleName: "OxaAud.dll", or a path for a component elsewhere.
  explicit TOxaAudModule(const std::string& moduleName = OxaAudModuleName);
  ~TOxaAudModule() = default;
  TOxaAudModule(const TOxaAudModule&) = delete;
  TOxaAudModule& operator=(const TOxaAudModule&) = delete;

  // A new component object; E_FAIL (control empty) when the module or its export is missing.
  HRESULT GetCtrl(TComPtr<IOxaAud>& control) const;

 private:
  TModule FModule;
  TGetCtrl FGetCtrl = nullptr;
};

// Messages the callback posts to its window.
// wParam: the state in the low byte, the reason in the next; lParam: the file's generation.
inline constexpr UINT OxaAudStateMessage = WM_USER + 1;
// The position is TakePosition's; lParam: the file's generation.
inline constexpr UINT OxaAudPositionMessage = WM_USER + 2;

// Turns the component's calls, made on any of its threads, into posted messages: every state
// change in order, and of the positions only the latest (one message pending at most).
class TOxaAudCallback final : public IOxaAudCallback {
 public:
  // Holds one reference for the creator.
  explicit TOxaAudCallback(HWND window);
  TOxaAudCallback(const TOxaAudCallback&) = delete;
  TOxaAudCallback& operator=(const TOxaAudCallback&) = delete;

  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT StateChanged(BYTE state, BYTE reason) override;
  HRESULT PositionChanged(std::int32_t position) override;

  // Takes the position a pending position message stands for and allows the next message.
  std::int32_t TakePosition() noexcept;
  // Posts nothing more; later calls of the component are dropped.
  void Detach() noexcept;
  // Every report from now on is for the file of this generation: the wrapper counts the files
  // it opens, so a report about an earlier file that is still on its way can be told apart.
  void SetGeneration(std::uint32_t generation) noexcept;

 private:
  ~TOxaAudCallback() = default;

  std::atomic<ULONG> FReferences{1};
  std::mutex FLock;
  HWND FWindow;
  std::uint32_t FGeneration = 0;  // guarded by FLock
  std::atomic<std::int32_t> FPosition{0};
  std::atomic<bool> FPositionPending{false};
};
