#include "forms/Forms.h"

#include <memory>

#include "rtl/Exception.h"

namespace {

constexpr char ApplicationClass[] = "TApplication";
constexpr char FormClass[] = "TForm";
constexpr char CustomControlClass[] = "TCustomControl";
// Posted to a form's own window to free it after the message being handled.
constexpr UINT CM_RELEASE = 0xB021;

void RegisterOnce(const char* className, WNDPROC procedure, UINT style = 0)
{
  WNDCLASSA existing{};
  if (GetClassInfoA(nullptr, className, &existing)) {
    return;
  }
  WNDCLASSA windowClass{};
  windowClass.style = style;
  windowClass.lpfnWndProc = procedure;
  windowClass.lpszClassName = className;
  RegisterClassA(&windowClass);
}

}  // namespace

TApplication& Application()
{
  static TApplication application;
  return application;
}

TApplication::TApplication() : TComponent(nullptr) {}

TApplication::~TApplication()
{
  DestroyComponents();
  if (FHandle != nullptr) {
    DestroyWindow(FHandle);
  }
}

void TApplication::Initialize()
{
  if (FHandle != nullptr) {
    return;
  }
  RegisterOnce(ApplicationClass, &TApplication::WindowProc);
  FHandle = CreateWindowExA(0, ApplicationClass, FTitle.c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 0,
                            0, nullptr, nullptr, nullptr, this);
  if (FHandle == nullptr) {
    throw EOutOfResources("Error creating window");
  }
}

LRESULT TApplication::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    return TRUE;
  }
  auto* application = reinterpret_cast<TApplication*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (application != nullptr && message == WM_ACTIVATEAPP) {
    const TNotifyEvent& event = wParam != 0 ? application->OnActivate : application->OnDeactivate;
    if (event) {
      event(application);
    }
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

bool TApplication::ProcessMessage(MSG& message)
{
  if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    return false;
  }
  if (message.message == WM_QUIT) {
    FTerminated = true;
    return true;
  }
  bool handled = false;
  if (OnMessage) {
    OnMessage(message, handled);
  }
  if (!handled) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return true;
}

void TApplication::ProcessMessages()
{
  MSG message{};
  while (ProcessMessage(message)) {
  }
}

void TApplication::HandleMessage()
{
  MSG message{};
  if (!ProcessMessage(message)) {
    WaitMessage();
  }
}

void TApplication::Run()
{
  FTerminated = false;
  if (FMainForm != nullptr) {
    FMainForm->Show();
  }
  while (!FTerminated) {
    HandleMessage();
  }
}

void TApplication::Terminate()
{
  PostQuitMessage(0);
}

void TApplication::FormDestroyed(TForm& form) noexcept
{
  if (FMainForm == &form) {
    FMainForm = nullptr;
  }
}

TWinControl::TWinControl(TComponent* owner) : TComponent(owner) {}

TWinControl::~TWinControl()
{
  DestroyHandle();
}

HWND TWinControl::Handle()
{
  if (FHandle == nullptr) {
    TCreateParams params;
    CreateParams(params);
    RegisterOnce(params.WinClassName.c_str(), &TWinControl::ControlWindowProc, params.ClassStyle);
    FHandle = CreateWindowExA(params.ExStyle, params.WinClassName.c_str(), params.Caption.c_str(),
                              params.Style, params.X, params.Y, params.Width, params.Height, params.WndParent,
                              nullptr, nullptr, this);
    if (FHandle == nullptr) {
      throw EOutOfResources("Error creating window");
    }
  }
  return FHandle;
}

void TWinControl::DestroyHandle() noexcept
{
  if (FHandle != nullptr) {
    const HWND handle = FHandle;
    FHandle = nullptr;
    SetWindowLongPtrA(handle, GWLP_USERDATA, 0);
    DestroyWindow(handle);
  }
}

LRESULT TWinControl::ControlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    return TRUE;
  }
  auto* control = reinterpret_cast<TWinControl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (control == nullptr) {
    return DefWindowProcA(window, message, wParam, lParam);
  }
  if (control->FHandle == nullptr) {
    control->FHandle = window;  // messages sent during CreateWindowExA
  }
  TMessage packed{message, wParam, lParam, 0};
  control->WndProc(packed);
  return packed.Result;
}

void TWinControl::WndProc(TMessage& message)
{
  DefaultHandler(message);
}

void TWinControl::DefaultHandler(TMessage& message)
{
  message.Result = DefWindowProcA(FHandle, message.Msg, message.WParam, message.LParam);
}

TForm::TForm(TComponent* owner) : TWinControl(owner) {}

TForm::~TForm()
{
  Application().FormDestroyed(*this);
}

void TForm::CreateParams(TCreateParams& params)
{
  params.Caption = FCaption;
  params.Style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  params.WinClassName = FormClass;
}

void TForm::WndProc(TMessage& message)
{
  switch (message.Msg) {
    case WM_CLOSE:
      Close();
      message.Result = 0;
      return;
    case CM_RELEASE: {
      // The owner forgets the form as it goes (TComponent's destructor).
      const TOwnedObject<TForm> released(this);
      message.Result = 0;
      return;
    }
    default:
      DefaultHandler(message);
  }
}

void TForm::DoClose(TCloseAction& action)
{
  if (OnClose) {
    OnClose(this, action);
  }
}

void TForm::Close()
{
  bool canClose = true;
  if (OnCloseQuery) {
    OnCloseQuery(this, canClose);
  }
  if (!canClose) {
    return;
  }
  TCloseAction action = Application().MainForm() == this ? TCloseAction::caFree : TCloseAction::caHide;
  DoClose(action);
  if (action == TCloseAction::caNone) {
    return;
  }
  if (Application().MainForm() == this) {
    Application().Terminate();
  } else if (action == TCloseAction::caHide || action == TCloseAction::caMinimize) {
    Hide();
  } else {
    Release();
  }
}

void TForm::Release()
{
  PostMessageA(Handle(), CM_RELEASE, 0, 0);
}

void TForm::Show()
{
  ShowWindow(Handle(), SW_SHOW);
}

void TForm::Hide()
{
  if (HandleAllocated()) {
    ShowWindow(WindowHandle(), SW_HIDE);
  }
}

bool TForm::Visible() const
{
  return HandleAllocated() && IsWindowVisible(WindowHandle());
}

TCustomControl::TCustomControl(TComponent* owner) : TWinControl(owner) {}

void TCustomControl::CreateParams(TCreateParams& params)
{
  params.Style = FParentWindow != nullptr ? WS_CHILD : WS_POPUP;
  params.WndParent = FParentWindow;
  params.WinClassName = CustomControlClass;
}

void TCustomControl::SetParentWindow(HWND parent)
{
  FParentWindow = parent;
  if (HandleAllocated()) {
    SetParent(WindowHandle(), parent);
  }
}
