#include "components/oxaaud/AudioControl.h"

#include <utility>
#include <vector>

#include "platform/files/WidePaths.h"

namespace oxaaud {

namespace {

constexpr std::int32_t TenthsPerSecond = 10;

}  // namespace

TAudioControl::TAudioControl() = default;

TAudioControl::~TAudioControl()
{
  Halt();
  SetCallback(nullptr);
}

HRESULT TAudioControl::QueryInterface(REFIID iid, void** object)
{
  if (object == nullptr) {
    return E_POINTER;
  }
  if (iid == IID_IUnknown || iid == IID_IOxaAud) {
    AddRef();
    *object = static_cast<IOxaAud*>(this);
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG TAudioControl::AddRef()
{
  return ++FReferences;
}

ULONG TAudioControl::Release()
{
  const ULONG left = --FReferences;
  if (left == 0) {
    delete this;
  }
  return left;
}

HRESULT TAudioControl::SetCallback(IOxaAudCallback* callback)
{
  if (callback != nullptr) {
    callback->AddRef();
  }
  IOxaAudCallback* old = nullptr;
  {
    const std::lock_guard lock(FCallbackLock);
    old = FCallback;
    FCallback = callback;
  }
  if (old != nullptr) {
    old->Release();
  }
  return S_OK;
}

void TAudioControl::Report(BYTE state, BYTE reason)
{
  {
    const std::lock_guard lock(FLock);
    FState = state;
  }
  const std::lock_guard lock(FCallbackLock);
  if (FCallback != nullptr) {
    FCallback->StateChanged(state, reason);
  }
}

void TAudioControl::ReportPosition(std::int32_t position)
{
  const std::lock_guard lock(FCallbackLock);
  if (FCallback != nullptr) {
    FCallback->PositionChanged(position);
  }
}

bool TAudioControl::Halt()
{
  {
    const std::lock_guard lock(FLock);
    FHalt = true;
  }
  FWake.notify_all();
  if (FThread.joinable()) {
    FThread.join();
  }
  const bool wasOpen = FDecoder.IsOpen();
  FDecoder.Close();
  FOutput.reset();
  const std::lock_guard lock(FLock);
  FHalt = false;
  FPaused = false;
  FSeekTo = -1;
  FPosition = 0;
  FLength = 0;
  return wasOpen;
}

HRESULT TAudioControl::Open(LPCWSTR fileName)
{
  if (fileName == nullptr) {
    return E_POINTER;
  }
  const std::lock_guard control(FControlLock);
  Halt();
  switch (FDecoder.Open(PathOfWide(fileName))) {
    case TOpenResult::CannotOpen:
      Report(OxaAudClosed, OxaAudReasonCannotOpen);
      return S_OK;
    case TOpenResult::CannotDecode:
      FDecoder.Close();
      Report(OxaAudClosed, OxaAudReasonCannotDecode);
      return S_OK;
    case TOpenResult::Ok:
      break;
  }
  FOutput = MakeOutput();
  {
    const std::lock_guard lock(FLock);
    FLength = FDecoder.Length();
  }
  Report(OxaAudOpened, OxaAudReasonNone);
  Report(OxaAudPlaying, OxaAudReasonNone);
  FThread = std::thread(&TAudioControl::Play, this);
  return S_OK;
}

void TAudioControl::Play()
{
  std::vector<std::int16_t> samples;
  std::int64_t framesPlayed = 0;
  std::int32_t base = 0;
  std::int32_t reported = -1;
  bool ended = false;
  bool failed = false;
  // Only this thread touches the output, so pausing it happens here too.
  bool outputPaused = false;
  for (;;) {
    std::int32_t seekTo = -1;
    bool paused = false;
    {
      std::unique_lock lock(FLock);
      if (FPaused && !outputPaused && !FHalt) {
        lock.unlock();
        FOutput->SetPaused(true);
        outputPaused = true;
        continue;
      }
      FWake.wait(lock, [this] { return FHalt || !FPaused || FSeekTo >= 0; });
      if (FHalt) {
        return;
      }
      seekTo = std::exchange(FSeekTo, -1);
      paused = FPaused;
    }
    if (!paused && outputPaused) {
      FOutput->SetPaused(false);
      outputPaused = false;
    }
    if (seekTo >= 0) {
      FOutput->Discard();
      if (FDecoder.Length() > 0 && seekTo >= FDecoder.Length()) {
        ended = true;
        break;
      }
      if (FDecoder.Seek(seekTo)) {
        base = seekTo;
        framesPlayed = 0;
      }
      continue;
    }
    if (paused) {
      continue;
    }
    samples.clear();
    if (!FDecoder.Next(samples)) {
      failed = !FDecoder.DecodedAny();
      ended = true;
      break;
    }
    const int frames = static_cast<int>(samples.size() / OutputChannels);
    if (!FOutput->Write(samples.data(), frames)) {
      // The device went away: the rest plays silently in real time.
      FOutput = MakeNullOutput(1.0);
    }
    framesPlayed += frames;
    const auto position = static_cast<std::int32_t>(base + framesPlayed * TenthsPerSecond / OutputRate);
    {
      const std::lock_guard lock(FLock);
      FPosition = position;
    }
    if (position != reported) {
      reported = position;
      ReportPosition(position);
    }
  }
  if (ended && !failed) {
    FOutput->Drain();
  }
  // The file is let go before the end is reported, so whoever hears of the end finds it free.
  {
    const std::lock_guard lock(FLock);
    if (FHalt) {
      return;
    }
  }
  FDecoder.Close();
  // Nothing plays until the next Open: the device is free for others meanwhile.
  FOutput.reset();
  if (failed) {
    Report(OxaAudClosed, OxaAudReasonCannotDecode);
  } else {
    Report(OxaAudStopped, OxaAudReasonEnded);
  }
}

HRESULT TAudioControl::Pause()
{
  const std::lock_guard control(FControlLock);
  BYTE state = OxaAudStopped;
  {
    const std::lock_guard lock(FLock);
    if (FState != OxaAudPlaying && FState != OxaAudPaused) {
      return S_FALSE;
    }
    FPaused = !FPaused;
    state = FPaused ? OxaAudPaused : OxaAudPlaying;
  }
  FWake.notify_all();
  Report(state, OxaAudReasonNone);
  return S_OK;
}

HRESULT TAudioControl::Stop()
{
  const std::lock_guard control(FControlLock);
  BYTE before = OxaAudStopped;
  {
    const std::lock_guard lock(FLock);
    before = FState;
  }
  Halt();
  if (before != OxaAudStopped && before != OxaAudClosed) {
    Report(OxaAudStopped, OxaAudReasonNone);
  }
  return S_OK;
}

HRESULT TAudioControl::GetPosition(std::int32_t* position)
{
  if (position == nullptr) {
    return E_POINTER;
  }
  const std::lock_guard lock(FLock);
  *position = FPosition;
  return S_OK;
}

HRESULT TAudioControl::SetPosition(std::int32_t position)
{
  const std::lock_guard control(FControlLock);
  {
    const std::lock_guard lock(FLock);
    if (FState != OxaAudPlaying && FState != OxaAudPaused) {
      return S_FALSE;
    }
    FSeekTo = std::max<std::int32_t>(position, 0);
    FPosition = FSeekTo;
  }
  FWake.notify_all();
  return S_OK;
}

HRESULT TAudioControl::GetState(BYTE* state)
{
  if (state == nullptr) {
    return E_POINTER;
  }
  const std::lock_guard lock(FLock);
  *state = FState;
  return S_OK;
}

HRESULT TAudioControl::GetLength(std::int32_t* length)
{
  if (length == nullptr) {
    return E_POINTER;
  }
  const std::lock_guard lock(FLock);
  *length = FLength;
  return S_OK;
}

}  // namespace oxaaud
