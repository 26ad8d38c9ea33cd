#pragma once
// An invisible window that receives window messages for an object that has no window of its
// own (the bus, the scan driver, the timer). Its messages go to OnMessage; whatever OnMessage
// leaves unhandled goes to the default window procedure. Used on the thread that opened it.

#include "forms/Forms.h"
#include "platform/windows/Messages.h"
#include "platform/windows/Windows.h"
#include "rtl/Method.h"
#include "rtl/Object.h"

// Sender is the message window; set Handled and Message.Result to answer the message.
using TOxaMessageEvent = TMethod<void(TObject* sender, TMessage& message, bool& handled)>;

class TOxaMessageWindow : public TObject {
 public:
  static constexpr const char* WindowClassName = "Kestrom MessageWindow";

  // Creates no window yet.
  TOxaMessageWindow() = default;
  // Closes the window.
  ~TOxaMessageWindow() override;
  TOxaMessageWindow(const TOxaMessageWindow&) = delete;
  TOxaMessageWindow& operator=(const TOxaMessageWindow&) = delete;

  // Creates the window when there is none: a disabled popup tool window of zero size under
  // Parent, of the class WindowClassName (registered with this unit's window procedure, taking
  // the name over from a registration with another one). Raises EOSError when the window cannot
  // be created.
  void Open();
  // Destroys the window; nothing when there is none.
  void Close() noexcept;
  // Raises Exception "MessageWindow is not active" when there is no window.
  HWND Handle() const;
  bool Active() const noexcept { return FHandle != nullptr; }
  HWND Parent() const noexcept { return FParent; }
  // Moves a live window to the new parent at once.
  void SetParent(HWND parent);

  // Called for every message of the window, WM_DESTROY included (after which the window is
  // gone). An exception it raises is reported as a trace line and a line on standard error,
  // and the message counts as handled with result 0: a handler must not end the message loop.
  TOxaMessageEvent OnMessage;

 private:
  static LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND FHandle = nullptr;
  HWND FParent = nullptr;
};
