#pragma once
// TIpcVuDirAzuzo: this program's source node, client "VuDirAzuzo" with the types
// "VuDirAzuzo;PcSource;Source". Besides the source protocol it follows the host's window ("GUI"
// of "Pyrmel"), recorded tracks from the CD source and the guide, and publishes its own "GUI".
//
// The host's "GUI" as read (68 bytes): Shown (1 while the host's window shows), Window (its
// handle), Third (kept only while Window is not 0), then zeros.

#include <cstdint>

#include "OxaIPC/IpcPcSource.h"

struct TSourceGui {
  std::int32_t Visible;     // Flag != 0 or Mode != 0
  std::int32_t Foreground;  // written by the owner
  std::int32_t Flag;
  std::int32_t Mode;  // 0, 1 or 2
  std::uint8_t Reserved[64];
};
static_assert(sizeof(TSourceGui) == 80);

struct TEdgeWindows {
  std::int32_t Left;
  std::int32_t Top;
  std::int32_t Right;
  std::int32_t Bottom;
};
static_assert(sizeof(TEdgeWindows) == 16);

using TScanEvent = TMethod<void(TObject*, std::int32_t, std::int32_t)>;

class TIpcVuDirAzuzo : public TIpcPcSource {
 public:
  explicit TIpcVuDirAzuzo(TComponent* owner);
  ~TIpcVuDirAzuzo() override;

  void DoCreate() override;
  void DoOpen() override;
  void NotifyOpened(TObject* sender, POxaIpcMessage message) override;
  void NotifyClosed(TObject* sender, POxaIpcMessage message) override;

  // The host's window edges; zeros when the host does not answer 16 bytes within 5 s.
  void GetEdgeWindows(TEdgeWindows& rect);
  // Waits (at most 5 s) until the host has handled everything sent before.
  void Synchronize();
  void VolumeDown();
  void VolumeUp();
  void NotifyRandom(bool on);
  void PublishGui();
  void SetGuiFlag(bool on);
  void SetGuiMode1(bool on);
  void SetGuiMode2(bool on);

  TSourceGui Gui{};
  // The owner's main window.
  HWND WindowHandle = nullptr;
  bool HostShown() const noexcept { return FHostShown; }
  std::int32_t HostWindow() const noexcept { return FHostWindow; }
  std::int32_t HostThird() const noexcept { return FHostThird; }
  std::uint32_t HostId() const noexcept { return FHostId; }

  TScanEvent OnScan;
  TScanEvent OnUpdateScan;
  TScanEvent OnInfo;
  TNotifyEvent OnTrackRecorded;
  TNotifyEvent OnHostShown;
  TNotifyEvent OnHostHidden;
  TNotifyEvent OnGuideOpened;
  TNotifyEvent OnGuideClosed;

  // How long the host is waited for.
  static constexpr DWORD HostTimeout = 5000;

 private:
  void ReadHostGui();
  void SetGuiMode(std::int32_t mode, bool on);
  void Scan(POxaIpcMessage message, const TScanEvent& event);
  void CommandScan(TObject* sender, POxaIpcMessage message);
  void CommandUpdateScan(TObject* sender, POxaIpcMessage message);
  void CommandInfo(TObject* sender, POxaIpcMessage message);
  void CommandGui(TObject* sender, POxaIpcMessage message);
  void CommandTrackRecorded(TObject* sender, POxaIpcMessage message);
  bool From(POxaIpcMessage message, const char* name);

  std::uint32_t FHostId = 0;
  bool FHostShown = false;
  std::int32_t FHostWindow = 0;
  std::int32_t FHostThird = 0;
};
