#pragma once
// TOxaMusic2: the program's wrapper of the audio component. It keeps the file name and the last
// state and position, and turns the component's reports into events. The component reports on
// its own threads; the reports are posted to a message window, so the events run on the thread
// that made the wrapper, from its message loop, and never inside Open or Stop.
//
// Without the component (the module or its export missing, GetCtrl failing) every operation
// does nothing and returns false or 0.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "framework/OxaMessageWindow.h"
#include "playback/OxaAud.h"
#include "rtl/Method.h"
#include "rtl/Object.h"

using TOxaAudStateEvent = TMethod<void(TObject* sender, BYTE state)>;
using TOxaAudPositionEvent = TMethod<void(TObject* sender, std::int32_t position)>;
using TOxaAudErrorEvent = TMethod<void(TObject* sender, BYTE reason)>;

// "Opened", "Closed", "Playing", "Stopped", "Paused", "Buffering", "Locating", "Connecting" for
// 0 to 7; "Unknown" for any other state.
std::string_view AudioStateName(BYTE state) noexcept;

class TOxaMusic2 : public TObject {
 public:
  // Loads the component by moduleName and asks it for its control.
  explicit TOxaMusic2(const std::string& moduleName = OxaAudModuleName);
  // Drops the callback from the component, then the component.
  ~TOxaMusic2() override;
  TOxaMusic2(const TOxaMusic2&) = delete;
  TOxaMusic2& operator=(const TOxaMusic2&) = delete;

  bool HasComponent() const noexcept { return static_cast<bool>(FControl); }

  // Keeps the name (a Windows path), sets the position to 0 and lets the component open and
  // play it; whatever played before is stopped first, and its reports still on their way are
  // dropped, so a failure of the old file is never taken for one of the new. True when the component was
  // asked: whether the file plays is reported later, through OnError (a file that cannot be opened or
  // decoded) or OnStateChange.
  bool Open(const std::string& fileName);
  // Stops and lets go of the file as Open does before opening another: a later play of the same
  // name opens it afresh, and the old file's reports still on their way are dropped.
  bool Close();
  // Toggles playing and paused.
  bool Pause();
  // Stops and closes the file; the wrapper then holds no file name.
  bool Stop();
  // The component's position in tenths of a second.
  std::int32_t Position();
  // The last state reported (OxaAudStopped before any report).
  BYTE State() const noexcept;
  // Moves to position, clamped to 0 .. length - 1, resuming a paused track first. False without
  // a component or when the length is not known (0).
  bool Seek(std::int32_t position);

  const std::string& FileName() const noexcept { return FFileName; }
  std::int32_t LastPosition() const noexcept { return FLastPosition; }

  TOxaAudStateEvent OnStateChange;
  TNotifyEvent OnComplete;
  TOxaAudPositionEvent OnPosition;
  TOxaAudErrorEvent OnError;

  // What a report of the component does, as its posted message arrives.
  void StateChanged(BYTE state, BYTE reason);
  void PositionChanged(std::int32_t position);

 private:
  void WindowMessage(TObject* sender, TMessage& message, bool& handled);

  std::string FFileName;
  BYTE FLastState = OxaAudStopped;
  std::unique_ptr<TOxaAudModule> FModule;
  TComPtr<IOxaAud> FControl;
  std::int32_t FLastPosition = 0;
  TOxaMessageWindow FWindow;
  TOxaAudCallback* FCallback = nullptr;
  // Counts the files opened; reports about an earlier one are dropped on arrival.
  std::uint32_t FGeneration = 0;
};
