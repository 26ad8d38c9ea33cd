#pragma once
// The audio component's interfaces ("OxaAud.dll"): the component exports GetCtrl, whose object
// plays one file at a time and reports its state and position to a callback object the program
// hands it. Positions and lengths are in tenths of a second.

#include <cstdint>

#include "platform/core/Com.h"

// The states the component reports.
enum : BYTE {
  OxaAudOpened = 0,
  OxaAudClosed = 1,
  OxaAudPlaying = 2,
  OxaAudStopped = 3,
  OxaAudPaused = 4,
  OxaAudBuffering = 5,
  OxaAudLocating = 6,
  OxaAudConnecting = 7,
};

// Why a state was entered: 0 for a plain change, 2 for a track played to its end; the others
// are failures reported with state OxaAudClosed.
enum : BYTE {
  OxaAudReasonNone = 0,
  OxaAudReasonEnded = 2,
  OxaAudReasonCannotOpen = 3,
  OxaAudReasonCannotDecode = 4,
};

inline constexpr IID IID_IOxaAudCallback{
    0xC579AAC5, 0x456B, 0x11D5, {0x96, 0x36, 0x00, 0xD0, 0xB7, 0x0A, 0xF1, 0xD9}};
inline constexpr IID IID_IOxaAud{
    0xC579AAC4, 0x456B, 0x11D5, {0x96, 0x36, 0x00, 0xD0, 0xB7, 0x0A, 0xF1, 0xD9}};

// Called from any thread of the component, never while the component waits for the caller; a
// callback must not call back into the component.
class IOxaAudCallback : public IUnknown {
 public:
  virtual HRESULT StateChanged(BYTE state, BYTE reason) = 0;
  virtual HRESULT PositionChanged(std::int32_t position) = 0;

 protected:
  ~IOxaAudCallback() = default;
};

class IOxaAud : public IUnknown {
 public:
  // Keeps a reference to callback (null drops it); later reports go to the new one only.
  virtual HRESULT SetCallback(IOxaAudCallback* callback) = 0;
  // Opens the file (a zero-terminated UTF-16 Windows path) and starts playing it, first stopping
  // whatever plays. The file stays open, shared for reading only, until Stop or its end, so an
  // exclusive open of it fails meanwhile. A file that cannot be opened or decoded is reported
  // as StateChanged(OxaAudClosed, OxaAudReasonCannotOpen or OxaAudReasonCannotDecode); the
  // result is S_OK either way.
  virtual HRESULT Open(LPCWSTR fileName) = 0;
  // Toggles between playing and paused.
  virtual HRESULT Pause() = 0;
  // Stops and closes the file; StateChanged(OxaAudStopped, 0) when something was open.
  virtual HRESULT Stop() = 0;
  virtual HRESULT GetPosition(std::int32_t* position) = 0;
  // Moves within the open file; a position beyond its length ends the track.
  virtual HRESULT SetPosition(std::int32_t position) = 0;
  virtual HRESULT GetState(BYTE* state) = 0;
  // The open file's length, 0 when none is open.
  virtual HRESULT GetLength(std::int32_t* length) = 0;

 protected:
  ~IOxaAud() = default;
};

// The export, looked up by name: creates a component object holding one reference for the
// caller; a failure leaves *control null.
using TGetCtrl = HRESULT (*)(IOxaAud** control);
inline constexpr const char* GetCtrlName = "GetCtrl";
inline constexpr const char* OxaAudModuleName = "OxaAud.dll";
