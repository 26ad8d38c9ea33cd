#include "OxaIPC/IpcSource.h"

#include <algorithm>
#include <cstring>

namespace {

const char* const KeyNames[SourceKeyCount] = {
    "StepUp",     "StepDown", "Wind",  "Rewind",        "Go",           "Play",
    "Pause",      "Stop",     "Digit", "ControlYellow", "ControlGreen", "ControlBlue",
    "ControlRed", "Menu",     "Exit",  "Language",      "Random",       "Record"};

struct TKeyPayload {
  std::int32_t Sender;
  std::int32_t Target;
  std::int32_t Extra;
};
static_assert(sizeof(TKeyPayload) == 12);

struct TLowSpeedPayload {
  std::int32_t Sender;
  std::int32_t Target;
  std::int32_t Extra;
  std::int32_t Key;
};
static_assert(sizeof(TLowSpeedPayload) == 16);

constexpr std::uint32_t PlayFileMinimum = 256;
constexpr std::uint32_t HideMinimum = 8;

template <class T>
T Read(const POxaIpcMessage message)
{
  T value{};
  std::memcpy(&value, message->Payload.data(), sizeof(T));
  return value;
}

}  // namespace

const char* SourceKeyName(TSourceKey key) noexcept
{
  return KeyNames[static_cast<int>(key)];
}

void TSourceStatus::SetFormatted(const std::string& text)
{
  const std::size_t length = std::min<std::size_t>(text.size(), 255);
  std::memset(Formatted, 0, sizeof(Formatted));
  Formatted[0] = static_cast<std::uint8_t>(length);
  std::memcpy(Formatted + 1, text.data(), length);
}

std::string TSourceStatus::FormattedText() const
{
  return std::string(reinterpret_cast<const char*>(Formatted + 1), Formatted[0]);
}

TIpcSource::TIpcSource(TComponent* owner) : TCustomNode(owner)
{
  Client().SetClientTypes("Source");
  SetVersion(0, 4, 1);
  Client().AddCommand("Picture", MakeMethod<&TIpcSource::CommandPicture>(this));
  Client().AddCommand("Display", MakeMethod<&TIpcSource::CommandDisplay>(this));
  Client().AddCommand("Video", MakeMethod<&TIpcSource::CommandVideo>(this));
  Client().AddCommand("Audio", MakeMethod<&TIpcSource::CommandAudio>(this));
  Client().AddCommand("Hide", MakeMethod<&TIpcSource::CommandHide>(this));
  for (const char* name : KeyNames) {
    Client().AddCommand(name, MakeMethod<&TIpcSource::CommandKey>(this));
  }
  Client().AddCommand("PlayFile", MakeMethod<&TIpcSource::CommandPlayFile>(this));
  Client().AddCommand("DebugLowSpeed", MakeMethod<&TIpcSource::CommandDebugLowSpeed>(this));
  Status.SetFormatted("");
}

TIpcSource::~TIpcSource()
{
  // Leave while the source's own steps can still run (a free through FreeObject already did).
  try {
    SetIpc(nullptr);
  } catch (const Exception&) {
  }
}

void TIpcSource::AddClientType(const std::string& type)
{
  const std::string& inherited = Client().ClientTypes();
  Client().SetClientTypes(inherited.empty() ? type : type + ";" + inherited);
}

void TIpcSource::Publish(const char* name, std::uint32_t size, const void* data)
{
  SetPropertyAndNotify(OwnId(), Id(name), size, data, Id(std::string("On") + name));
}

void TIpcSource::UpdatePicture()
{
  Log("UpdatePicture\n  Contrast: %d; Brightness: %d; Color: %d", Picture.Contrast, Picture.Brightness,
      Picture.Color);
  Publish("Picture", sizeof(Picture), &Picture);
}

void TIpcSource::UpdateVideo()
{
  Log("UpdateVideo\n  Video: %d", Video.Video);
  Publish("Video", sizeof(Video), &Video);
}

void TIpcSource::UpdateDisplay()
{
  Log("UpdateDisplay\n  Hidden: %d; Window: %d, Fullscreen: %d", Display.Hidden, Display.Window,
      Display.Fullscreen);
  Publish("Display", sizeof(Display), &Display);
}

void TIpcSource::UpdateAudio()
{
  Log("UpdateAudio\n  Type1: %d; Type2: %d", Audio.Type1, Audio.Type2);
  Publish("Audio", sizeof(Audio), &Audio);
}

void TIpcSource::UpdateStatus()
{
  Log("UpdateStatus\n  Position: %d; MediaPosition: %d; Activity: %d; Blanking: %d; Tuning: %d; "
      "RecordingSource: %d; RecordingTarget: %d; Random: %d; Formatted: %s",
      Status.Position, Status.MediaPosition, Status.Activity, Status.Blanking, Status.Tuning,
      Status.RecordingSource, Status.RecordingTarget, Status.Random, Status.FormattedText());
  Publish("Status", sizeof(Status), &Status);
}

void TIpcSource::PublishActive()
{
  SetProperty(OwnId(), Id("Active"), sizeof(FActiveState), &FActiveState);
}

void TIpcSource::DoOpen()
{
  if (!GetActive()) {
    return;
  }
  Log("Activate");
  if (OnOpen) {
    OnOpen(this);
  } else {
    FActiveState = 1;
  }
  PublishActive();
  if (FActiveState == 1) {
    UpdatePicture();
    UpdateVideo();
    UpdateDisplay();
    UpdateAudio();
    UpdateStatus();
    const std::int32_t one = 1;
    NotifyAllClients("OnOpen", sizeof(one), &one);
  }
  // Meaningful only to OnOpen.
  FOpenParameters = {};
}

void TIpcSource::DoClose()
{
  if (!GetActive()) {
    return;
  }
  Log("Deactivate");
  if (OnClose) {
    OnClose(this);
  } else {
    FActiveState = 0;
  }
  PublishActive();
  if (FActiveState == 0) {
    const std::int32_t one = 1;
    NotifyAllClients("OnClose", sizeof(one), &one);
  }
}

void TIpcSource::CommandOpen(TObject*, POxaIpcMessage message)
{
  const TNodeMessageScope scope(FOpenMessage, message);
  const bool call = message->Call;
  Log("IpcOpen");
  FOpenParameters = message->Payload.size() == sizeof(TSourceOpenParameters)
                        ? Read<TSourceOpenParameters>(message)
                        : TSourceOpenParameters{};
  std::int32_t answer = 0;
  if (GetOpened()) {
    if (OnOpen) {
      OnOpen(this);
    }
    answer = GetOpened() ? 1 : 0;
    if (!call) {
      NotifyAsker(message, "OnOpen", sizeof(answer), &answer);
    }
  } else {
    DoOpen();
    answer = GetOpened() ? 1 : 0;
    if (answer == 0 && !call) {
      NotifyAsker(message, "OnOpen", sizeof(answer), &answer);
    }
  }
  if (call) {
    Answer(message, sizeof(answer), &answer);
  }
}

void TIpcSource::CommandClose(TObject*, POxaIpcMessage message)
{
  const TNodeMessageScope scope(FCloseMessage, message);
  const bool call = message->Call;
  FCloseParameters = message->Payload.size() >= sizeof(TSourceCloseParameters)
                         ? Read<TSourceCloseParameters>(message)
                         : TSourceCloseParameters{};
  std::int32_t answer = 0;
  if (GetOpened()) {
    DoClose();
    answer = GetOpened() ? 0 : 1;
    if (answer == 0 && !call) {
      NotifyAsker(message, "OnClose", sizeof(answer), &answer);
    }
  } else {
    if (OnClose) {
      OnClose(this);
    }
    answer = GetOpened() ? 0 : 1;
    if (!call) {
      NotifyAsker(message, "OnClose", sizeof(answer), &answer);
    }
  }
  if (call) {
    Answer(message, sizeof(answer), &answer);
  }
}

template <class T>
void TIpcSource::Record(POxaIpcMessage message, const TSourceDataEvent& event, const T& current)
{
  if (message->Payload.size() != sizeof(T)) {
    return;
  }
  const bool call = message->Call;
  const T requested = Read<T>(message);
  if (event) {
    event(this, &requested);
  }
  if (call) {
    Answer(message, sizeof(T), &current);
  }
}

void TIpcSource::CommandPicture(TObject*, POxaIpcMessage message)
{
  Record(message, OnPicture, Picture);
}

void TIpcSource::CommandDisplay(TObject*, POxaIpcMessage message)
{
  Record(message, OnDisplay, Display);
}

void TIpcSource::CommandVideo(TObject*, POxaIpcMessage message)
{
  Record(message, OnVideo, Video);
}

void TIpcSource::CommandAudio(TObject*, POxaIpcMessage message)
{
  Record(message, OnAudio, Audio);
}

void TIpcSource::CommandHide(TObject*, POxaIpcMessage message)
{
  if (message->Payload.size() < HideMinimum) {
    return;
  }
  const bool call = message->Call;
  std::int32_t answer = 0;
  if (OnHide) {
    OnHide(this, message->Payload.data(), answer);
  }
  if (call) {
    Answer(message, sizeof(answer), &answer);
  } else {
    NotifyAsker(message, "OnHide", sizeof(answer), &answer);
  }
}

void TIpcSource::CommandKey(TObject*, POxaIpcMessage message)
{
  if (message->Payload.size() != sizeof(TKeyPayload)) {
    return;
  }
  const TOxaIpcCommandItem* item = Client().Commands().Find(message->Header.Name);
  if (item == nullptr) {
    return;
  }
  const auto found = std::find(std::begin(KeyNames), std::end(KeyNames), item->CommandName);
  if (found == std::end(KeyNames)) {
    return;
  }
  const TKeyPayload key = Read<TKeyPayload>(message);
  Log("%s\n  Sender: %d; Target: %d; Extra: %d", item->CommandName, key.Sender, key.Target, key.Extra);
  if (const TSourceKeyEvent& event = OnKey[static_cast<std::size_t>(found - std::begin(KeyNames))]) {
    // Cleared however the handler ends: a later call from elsewhere has no bus time.
    FKeyTime = message->Header.Time;
    try {
      event(this, key.Sender, key.Extra);
    } catch (...) {
      FKeyTime.reset();
      throw;
    }
    FKeyTime.reset();
  }
}

void TIpcSource::CommandPlayFile(TObject*, POxaIpcMessage message)
{
  if (message->Payload.size() < PlayFileMinimum) {
    return;
  }
  if (OnPlayFile) {
    OnPlayFile(this, message->Payload.data(), static_cast<std::uint32_t>(message->Payload.size()));
  }
}

void TIpcSource::CommandDebugLowSpeed(TObject*, POxaIpcMessage message)
{
  if (message->Payload.size() != sizeof(TLowSpeedPayload)) {
    return;
  }
  const TLowSpeedPayload value = Read<TLowSpeedPayload>(message);
  Log("DebugLowSpeed\n  Sender: %d; Target: %d; Extra: %d; Key: %d", value.Sender, value.Target, value.Extra,
      value.Key);
}

std::uint32_t TIpcSource::KeyTarget(std::uint32_t target)
{
  return target != 0 ? target : Id("SourceControl");
}

bool TIpcSource::SendKeyDeadPress(std::uint32_t target, std::int32_t a, std::int32_t b, std::int32_t c,
                                  std::int32_t d, std::int32_t e)
{
  return TCustomNode::SendKeyDeadPress(KeyTarget(target), a, b, c, d, e);
}

bool TIpcSource::SendKeyDown(std::uint32_t target, std::int32_t a, std::int32_t b, std::int32_t c,
                             std::int32_t d, std::int32_t e)
{
  return TCustomNode::SendKeyDown(KeyTarget(target), a, b, c, d, e);
}

bool TIpcSource::SendKeyPress(std::uint32_t target, std::int32_t a, std::int32_t b, std::int32_t c,
                              std::int32_t d, std::int32_t e)
{
  return TCustomNode::SendKeyPress(KeyTarget(target), a, b, c, d, e);
}

bool TIpcSource::SendKeyUp(std::uint32_t target, std::int32_t a, std::int32_t b, std::int32_t c,
                           std::int32_t d, std::int32_t e)
{
  return TCustomNode::SendKeyUp(KeyTarget(target), a, b, c, d, e);
}
