#include "playback/OxaMusic2.h"

#include <array>

#include "platform/files/WidePaths.h"

namespace {

constexpr std::array<std::string_view, 8> StateNames{"Opened", "Closed",    "Playing",  "Stopped",
                                                     "Paused", "Buffering", "Locating", "Connecting"};

}  // namespace

std::string_view AudioStateName(BYTE state) noexcept
{
  return state < StateNames.size() ? StateNames[state] : std::string_view("Unknown");
}

TOxaMusic2::TOxaMusic2(const std::string& moduleName) : FModule(std::make_unique<TOxaAudModule>(moduleName))
{
  if (FAILED(FModule->GetCtrl(FControl))) {
    return;
  }
  FWindow.OnMessage = MakeMethod<&TOxaMusic2::WindowMessage>(this);
  FWindow.Open();
  FCallback = new TOxaAudCallback(FWindow.Handle());
  FControl->SetCallback(FCallback);
}

TOxaMusic2::~TOxaMusic2()
{
  if (FControl) {
    FControl->SetCallback(nullptr);
    FControl->Stop();
    // The component goes before its module is unloaded.
    FControl.Reset();
  }
  if (FCallback != nullptr) {
    FCallback->Detach();
    FCallback->Release();
  }
  FWindow.Close();
}

bool TOxaMusic2::Open(const std::string& fileName)
{
  if (!FControl) {
    return false;
  }
  FFileName = fileName;
  FLastPosition = 0;
  // Stopping first lets the old file's reports all be sent before the generation moves on.
  FControl->Stop();
  FCallback->SetGeneration(++FGeneration);
  // Names that are not UTF-8 (the host's own bytes) must reach the component unchanged.
  const std::u16string wide = WidePathOf(fileName);
  FControl->Open(wide.c_str());
  return true;
}

bool TOxaMusic2::Close()
{
  if (!FControl) {
    return false;
  }
  FFileName.clear();
  FLastPosition = 0;
  // The generation moves on first: the stop itself is reported (the state must not stay
  // "playing"), what the old file sent before is dropped.
  FCallback->SetGeneration(++FGeneration);
  FControl->Stop();
  return true;
}

bool TOxaMusic2::Pause()
{
  if (!FControl) {
    return false;
  }
  FControl->Pause();
  return true;
}

bool TOxaMusic2::Stop()
{
  if (!FControl) {
    return false;
  }
  // The component closes the file on a stop, so a later play of the same name must open it anew.
  FFileName.clear();
  FControl->Stop();
  return true;
}

std::int32_t TOxaMusic2::Position()
{
  std::int32_t position = 0;
  if (FControl) {
    FControl->GetPosition(&position);
  }
  return position;
}

BYTE TOxaMusic2::State() const noexcept
{
  return FControl ? FLastState : 0;
}

bool TOxaMusic2::Seek(std::int32_t position)
{
  if (!FControl) {
    return false;
  }
  std::int32_t length = 0;
  FControl->GetLength(&length);
  // Without a length there is nothing to clamp to (length - 1 would be negative).
  if (length <= 0) {
    return false;
  }
  if (position < 0) {
    position = 0;
  } else if (position >= length) {
    position = length - 1;
  }
  if (FLastState == OxaAudPaused) {
    FControl->Pause();
  }
  FControl->SetPosition(position);
  return true;
}

void TOxaMusic2::StateChanged(BYTE state, BYTE reason)
{
  // The new state is stored before any event, so a handler that starts the next track (from
  // OnComplete) sees the state the component is really in.
  const bool changed = state != FLastState;
  FLastState = state;
  if ((state == OxaAudOpened || state == OxaAudPlaying) && reason != OxaAudReasonNone) {
    if (OnError) {
      OnError(this, reason);
    }
  } else if (state == OxaAudClosed || state == OxaAudStopped) {
    if (reason == OxaAudReasonEnded) {
      if (OnComplete) {
        OnComplete(this);
      }
    } else if (reason != OxaAudReasonNone && OnError) {
      OnError(this, reason);
    }
  }
  if (changed && OnStateChange) {
    OnStateChange(this, state);
  }
}

void TOxaMusic2::PositionChanged(std::int32_t position)
{
  if (OnPosition) {
    OnPosition(this, position);
  }
  FLastPosition = position;
}

void TOxaMusic2::WindowMessage(TObject*, TMessage& message, bool& handled)
{
  if (message.Msg != OxaAudStateMessage && message.Msg != OxaAudPositionMessage) {
    return;
  }
  handled = true;
  const bool current = static_cast<std::uint32_t>(message.LParam) == FGeneration;
  if (message.Msg == OxaAudStateMessage) {
    if (current) {
      StateChanged(static_cast<BYTE>(message.WParam & 0xFFU),
                   static_cast<BYTE>((message.WParam >> 8U) & 0xFFU));
    }
  } else if (FCallback != nullptr) {
    const std::int32_t position = FCallback->TakePosition();
    if (current) {
      PositionChanged(position);
    }
  }
}
