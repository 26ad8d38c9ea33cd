#pragma once
// The component object behind IOxaAud: one file at a time, decoded and played on a thread of its
// own, which reports the state and the position to the callback.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "components/oxaaud/AudioOutput.h"
#include "components/oxaaud/Decoder.h"
#include "platform/core/OxaAud.h"

namespace oxaaud {

class TAudioControl final : public IOxaAud {
 public:
  TAudioControl();
  TAudioControl(const TAudioControl&) = delete;
  TAudioControl& operator=(const TAudioControl&) = delete;

  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;

  HRESULT SetCallback(IOxaAudCallback* callback) override;
  HRESULT Open(LPCWSTR fileName) override;
  HRESULT Pause() override;
  HRESULT Stop() override;
  HRESULT GetPosition(std::int32_t* position) override;
  HRESULT SetPosition(std::int32_t position) override;
  HRESULT GetState(BYTE* state) override;
  HRESULT GetLength(std::int32_t* length) override;

 private:
  ~TAudioControl();
  // Ends the playing thread and closes the file; true when something was open.
  bool Halt();
  void Play();
  void Report(BYTE state, BYTE reason);
  void ReportPosition(std::int32_t position);

  std::atomic<ULONG> FReferences{1};
  // Serialises the caller's operations (Open, Stop, Pause, SetPosition) with each other.
  std::mutex FControlLock;
  std::mutex FCallbackLock;
  IOxaAudCallback* FCallback = nullptr;

  // Shared with the playing thread, guarded by FLock.
  std::mutex FLock;
  std::condition_variable FWake;
  bool FPaused = false;
  bool FHalt = false;
  std::int32_t FSeekTo = -1;
  std::int32_t FPosition = 0;
  std::int32_t FLength = 0;
  BYTE FState = OxaAudStopped;

  TDecoder FDecoder;
  std::unique_ptr<TAudioOutput> FOutput;
  std::thread FThread;
};

}  // namespace oxaaud
