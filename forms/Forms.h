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

#include "platform/Messages.h"
#include "platform/Windows.h"
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
  // The window class's style (CS_DBLCLKS for double clicks), used when the class is registered.
  UINT ClassStyle = 0;
};

enum class TCloseAction { caNone, caHide, caFree, caMinimize };

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

 protected:
  virtual void CreateParams(TCreateParams& params) = 0;
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
