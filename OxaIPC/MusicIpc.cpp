#include "OxaIPC/MusicIpc.h"

#include <cstring>

namespace {

struct THostGui {
  std::int32_t Shown;
  std::int32_t Window;
  std::int32_t Third;
  std::uint8_t Rest[56];
};
static_assert(sizeof(THostGui) == 68);

struct TScanPayload {
  std::int32_t A;
  std::int32_t Unused;
  std::int32_t B;
};
static_assert(sizeof(TScanPayload) == 12);

constexpr std::uint32_t TrackRecordedMinimum = 256;

}  // namespace

TIpcVuDirAzuzo::TIpcVuDirAzuzo(TComponent* owner) : TIpcPcSource(owner)
{
  Client().SetClientName("VuDirAzuzo");
  AddClientType("VuDirAzuzo");
  Client().AddCommand("Scan", MakeMethod<&TIpcVuDirAzuzo::CommandScan>(this));
  Client().AddCommand("UpdateScan", MakeMethod<&TIpcVuDirAzuzo::CommandUpdateScan>(this));
  Client().AddCommand("Info", MakeMethod<&TIpcVuDirAzuzo::CommandInfo>(this));
  Client().AddCommand("OnGUI", MakeMethod<&TIpcVuDirAzuzo::CommandGui>(this));
  Client().AddCommand("OnTrackRecorded", MakeMethod<&TIpcVuDirAzuzo::CommandTrackRecorded>(this));
}

TIpcVuDirAzuzo::~TIpcVuDirAzuzo()
{
  try {
    SetIpc(nullptr);
  } catch (const Exception&) {
  }
}

bool TIpcVuDirAzuzo::From(POxaIpcMessage message, const char* name)
{
  const std::uint32_t id = Id(name);
  return id != 0 && message->Header.Sender == id;
}

void TIpcVuDirAzuzo::DoCreate()
{
  FHostId = Id("Pyrmel");
  TIpcPcSource::DoCreate();
}

void TIpcVuDirAzuzo::ReadHostGui()
{
  THostGui gui{};
  GetProperty(Id("Pyrmel"), Id("GUI"), sizeof(gui), &gui);
  FHostShown = gui.Shown == 1;
  FHostWindow = gui.Window;
  FHostThird = gui.Window != 0 ? gui.Third : 0;
}

void TIpcVuDirAzuzo::DoOpen()
{
  if (!GetActive()) {
    return;
  }
  ReadHostGui();
  TIpcPcSource::DoOpen();
}

void TIpcVuDirAzuzo::Scan(POxaIpcMessage message, const TScanEvent& event)
{
  if (message->Payload.size() != sizeof(TScanPayload)) {
    return;
  }
  TScanPayload payload{};
  std::memcpy(&payload, message->Payload.data(), sizeof(payload));
  if (event) {
    event(this, payload.A, payload.B);
  }
}

void TIpcVuDirAzuzo::CommandScan(TObject*, POxaIpcMessage message)
{
  Scan(message, OnScan);
}

void TIpcVuDirAzuzo::CommandUpdateScan(TObject*, POxaIpcMessage message)
{
  Scan(message, OnUpdateScan);
}

void TIpcVuDirAzuzo::CommandInfo(TObject*, POxaIpcMessage message)
{
  Scan(message, OnInfo);
}

void TIpcVuDirAzuzo::CommandGui(TObject*, POxaIpcMessage message)
{
  if (!From(message, "Pyrmel")) {
    return;
  }
  ReadHostGui();
  const TNotifyEvent& event = FHostShown ? OnHostShown : OnHostHidden;
  if (event) {
    event(this);
  }
}

void TIpcVuDirAzuzo::CommandTrackRecorded(TObject*, POxaIpcMessage message)
{
  if (From(message, "PcCd") && message->Payload.size() >= TrackRecordedMinimum && OnTrackRecorded) {
    OnTrackRecorded(this);
  }
}

void TIpcVuDirAzuzo::NotifyOpened(TObject*, POxaIpcMessage message)
{
  if (From(message, "OxaGuide") && OnGuideOpened) {
    OnGuideOpened(this);
  }
}

void TIpcVuDirAzuzo::NotifyClosed(TObject*, POxaIpcMessage message)
{
  if (From(message, "Pyrmel")) {
    FHostShown = false;
    FHostWindow = 0;
    if (OnHostHidden) {
      OnHostHidden(this);
    }
  } else if (From(message, "OxaGuide") && OnGuideClosed) {
    OnGuideClosed(this);
  }
}

void TIpcVuDirAzuzo::GetEdgeWindows(TEdgeWindows& rect)
{
  rect = {};
  std::vector<std::uint8_t> result;
  if (CallClient(Id("Pyrmel"), "EdgeWindows", 0, nullptr, HostTimeout, result) &&
      result.size() == sizeof(rect)) {
    std::memcpy(&rect, result.data(), sizeof(rect));
  }
}

void TIpcVuDirAzuzo::Synchronize()
{
  std::vector<std::uint8_t> result;
  CallClient(FHostId, "Synchronize", 0, nullptr, HostTimeout, result);
}

void TIpcVuDirAzuzo::VolumeDown()
{
  const std::uint8_t zeros[8] = {};
  if (GetActive()) {
    Ipc()->Notify(OwnId(), Id("System"), sizeof(zeros), zeros, Id("VolumeDown"));
  }
}

void TIpcVuDirAzuzo::VolumeUp()
{
  const std::uint8_t zeros[8] = {};
  if (GetActive()) {
    Ipc()->Notify(OwnId(), Id("System"), sizeof(zeros), zeros, Id("VolumeUp"));
  }
}

void TIpcVuDirAzuzo::NotifyRandom(bool on)
{
  const std::uint8_t value = on ? 1 : 0;
  NotifyAllClients("OnRandom", sizeof(value), &value);
}

void TIpcVuDirAzuzo::PublishGui()
{
  Gui.Visible = Gui.Flag != 0 || Gui.Mode != 0 ? 1 : 0;
  if (GetActive()) {
    SetPropertyAndNotifyAll(OwnId(), Id("GUI"), sizeof(Gui), &Gui, 0, Id("OnGUI"));
  }
}

void TIpcVuDirAzuzo::SetGuiFlag(bool on)
{
  Gui.Flag = on ? 1 : 0;
  PublishGui();
}

void TIpcVuDirAzuzo::SetGuiMode(std::int32_t mode, bool on)
{
  if (on) {
    Gui.Mode = mode;
  } else if (Gui.Mode == mode) {
    Gui.Mode = 0;
  }
  PublishGui();
}

void TIpcVuDirAzuzo::SetGuiMode1(bool on)
{
  SetGuiMode(1, on);
}

void TIpcVuDirAzuzo::SetGuiMode2(bool on)
{
  SetGuiMode(2, on);
}
