#pragma once
// The windowing model on top of the platform layer: the application object, forms and custom
// controls.
//
// Application() is the process's one TApplication: its hidden top-level window, its title, the
// message loop (Run, until Terminate or WM_QUIT) and the activation and message hooks. A
// TWinControl is a component whose window is a real window of the platform layer, created when
// its Handle is first needed from the parameters its CreateParams gives; messages to that window
// reach its WndProc. A TForm is a top-level one, a TCustomControl a child of a parent window.
// Both are owned like any component; Application().CreateForm makes the first form the main
// form, whose closing ends the application.

#include <string>

#include "platform/windows/Input.h"
#include "platform/windows/Messages.h"
#include "platform/windows/Windows.h"
#include "rtl/Component.h"
#include "rtl/Method.h"

// A window message as a form's WndProc sees it; Result is what the window procedure returns.
struct TMessage {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result;
};

// What a form's window is created with.
struct TCreateParams {
  std::string Caption;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  int X = 0;
  int Y = 0;
  int Width = 0;
  int Height = 0;
  HWND WndParent = nullptr;
  std::string WinClassName;
};

enum class TCloseAction { caNone, caHide, caFree, caMinimize };

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// The modifier keys and mouse buttons held during a mouse or key event; ssDouble marks the second
// press of a double click.
using TShiftState = unsigned;
constexpr TShiftState ssShift = 0x01;
constexpr TShiftState ssAlt = 0x02;
constexpr TShiftState ssCtrl = 0x04;
constexpr TShiftState ssLeft = 0x08;
constexpr TShiftState ssRight = 0x10;
constexpr TShiftState ssMiddle = 0x20;
constexpr TShiftState ssDouble = 0x40;

// The shift state of a mouse message's MK_ flags (Alt from the key state).
TShiftState ShiftStateOfMouse(WPARAM keys);
// The shift state of the keys as of the message being handled.
TShiftState ShiftStateOfKeys();

using TMouseEvent = TMethod<void(TObject*, TMouseButton, TShiftState, int, int)>;
using TMouseMoveEvent = TMethod<void(TObject*, TShiftState, int, int)>;
using TMouseWheelEvent = TMethod<void(TObject*, TShiftState, int, POINT, bool&)>;
using TKeyEvent = TMethod<void(TObject*, WORD&, TShiftState)>;
using TKeyPressEvent = TMethod<void(TObject*, char32_t&)>;

using TCloseEvent = TMethod<void(TObject*, TCloseAction&)>;
using TCloseQueryEvent = TMethod<void(TObject*, bool&)>;
using TMessageEvent = TMethod<void(MSG&, bool&)>;

class TForm;

class TApplication : public TComponent {
 public:
  TApplication();
  ~TApplication() override;

  // Creates the hidden application window.
  void Initialize();
  const std::string& Title() const noexcept { return FTitle; }
  void SetTitle(const std::string& title) { FTitle = title; }
  // The hidden top-level window (null before Initialize).
  HWND Handle() const noexcept { return FHandle; }

  // Creates a form owned by the application; the first becomes the main form.
  template <class T, class... Args>
  T* CreateForm(Args&&... args)
  {
    T* form = TComponent::Create<T>(*this, std::forward<Args>(args)...);
    if (FMainForm == nullptr) {
      FMainForm = form;
    }
    return form;
  }
  TForm* MainForm() const noexcept { return FMainForm; }

  // The message loop: handles messages until Terminated.
  void Run();
  // Handles the waiting messages and returns.
  void ProcessMessages();
  // Handles one message, waiting for it when there is none.
  void HandleMessage();
  // Asks the loop to end (posts WM_QUIT).
  void Terminate();
  bool Terminated() const noexcept { return FTerminated; }

  // Brings the application back in front of the user: the main form is shown when hidden and
  // made the foreground window.
  void Restore();

  // Activation of the application (WM_ACTIVATEAPP to its window).
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  // Sees every message the loop takes before it is dispatched; Handled stops the dispatch.
  TMessageEvent OnMessage;

  // Called by the forms.
  void FormDestroyed(TForm& form) noexcept;

 private:
  static LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool ProcessMessage(MSG& message);

  HWND FHandle = nullptr;
  std::string FTitle;
  TForm* FMainForm = nullptr;
  bool FTerminated = false;
};

// The application object.
TApplication& Application();

// A component with a window, created on first use and destroyed with the component.
class TWinControl : public TComponent {
 public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;

  // The window, created on first use; raises EOutOfResources "Error creating window".
  HWND Handle();
  bool HandleAllocated() const noexcept { return FHandle != nullptr; }
  void HandleNeeded() { Handle(); }

  // The mouse and the keyboard over (or focused on) the window. X and Y are client coordinates;
  // the wheel gives the screen position.
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TMouseWheelEvent OnMouseWheel;
  TNotifyEvent OnDblClick;
  TNotifyEvent OnMouseLeave;
  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;

 protected:
  virtual void CreateParams(TCreateParams& params) = 0;
  // The input dispatchers, called by WndProc; each calls its event. A key event's Key set to 0,
  // or a key press's character set to 0, is not handled further.
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual bool MouseWheel(TShiftState shift, int wheelDelta, POINT mousePos);
  virtual void DblClick();
  virtual void MouseLeave();
  virtual void KeyDown(WORD& key, TShiftState shift);
  virtual void KeyUp(WORD& key, TShiftState shift);
  virtual void KeyPress(char32_t& key);
  // Gives mouse and key messages to the dispatchers; false for any other message.
  bool DispatchInput(TMessage& message);
  // Handles one message of the window; the default gives it to the default window procedure.
  virtual void WndProc(TMessage& message);
  void DefaultHandler(TMessage& message);
  // The window when it exists, else null; creates nothing.
  HWND WindowHandle() const noexcept { return FHandle; }
  // Destroys the window without telling WndProc (the object may be half destroyed).
  void DestroyHandle() noexcept;

 private:
  static LRESULT ControlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND FHandle = nullptr;
};

class TForm : public TWinControl {
 public:
  explicit TForm(TComponent* owner);
  ~TForm() override;

  void Show();
  void Hide();
  bool Visible() const;

  // Asks to close: OnCloseQuery may refuse; then OnClose (and DoClose) choose the action. The
  // main form's closing terminates the application; otherwise caHide hides, caFree frees the
  // form once the current message has been handled.
  void Close();
  // Frees the form from the message loop (after the current message).
  void Release();

  const std::string& Caption() const noexcept { return FCaption; }
  void SetCaption(const std::string& caption) { FCaption = caption; }

  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;

 protected:
  void CreateParams(TCreateParams& params) override;
  // Gives WM_CLOSE to Close and everything else to the default window procedure.
  void WndProc(TMessage& message) override;
  virtual void DoClose(TCloseAction& action);

 private:
  std::string FCaption;
};

// A windowed control: a child window of its parent window (a popup while it has none).
class TCustomControl : public TWinControl {
 public:
  explicit TCustomControl(TComponent* owner);

  HWND ParentWindow() const noexcept { return FParentWindow; }
  // Moves a live window to the new parent at once.
  void SetParentWindow(HWND parent);

 protected:
  void CreateParams(TCreateParams& params) override;

 private:
  HWND FParentWindow = nullptr;
};
