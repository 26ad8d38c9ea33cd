#include "forms/Forms.h"

#include <memory>

#include "rtl/Exception.h"

namespace {

constexpr char ApplicationClass[] = "TApplication";
constexpr char FormClass[] = "TForm";
// Posted to a form's own window to free it after the message being handled.
constexpr UINT CM_RELEASE = 0xB021;

void RegisterOnce(const char* className, WNDPROC procedure)
{
  WNDCLASSA existing{};
  if (GetClassInfoA(nullptr, className, &existing)) {
    return;
  }
  WNDCLASSA windowClass{};
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

TForm::TForm(TComponent* owner) : TComponent(owner) {}

TForm::~TForm()
{
  Application().FormDestroyed(*this);
  DestroyHandle();
}

void TForm::CreateParams(TCreateParams& params)
{
  params.Caption = FCaption;
  params.Style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  params.WinClassName = FormClass;
}

HWND TForm::Handle()
{
  if (FHandle == nullptr) {
    TCreateParams params;
    CreateParams(params);
    RegisterOnce(params.WinClassName.c_str(), &TForm::FormWindowProc);
    FHandle = CreateWindowExA(params.ExStyle, params.WinClassName.c_str(), params.Caption.c_str(),
                              params.Style, params.X, params.Y, params.Width, params.Height, params.WndParent,
                              nullptr, nullptr, this);
    if (FHandle == nullptr) {
      throw EOutOfResources("Error creating window");
    }
  }
  return FHandle;
}

void TForm::DestroyHandle() noexcept
{
  if (FHandle != nullptr) {
    const HWND handle = FHandle;
    FHandle = nullptr;
    SetWindowLongPtrA(handle, GWLP_USERDATA, 0);
    DestroyWindow(handle);
  }
}

LRESULT TForm::FormWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    return TRUE;
  }
  auto* form = reinterpret_cast<TForm*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (form == nullptr) {
    return DefWindowProcA(window, message, wParam, lParam);
  }
  if (form->FHandle == nullptr) {
    form->FHandle = window;  // messages sent during CreateWindowExA
  }
  TMessage packed{message, wParam, lParam, 0};
  form->WndProc(packed);
  return packed.Result;
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
      const std::unique_ptr<TForm> released(this);
      message.Result = 0;
      return;
    }
    default:
      DefaultHandler(message);
  }
}

void TForm::DefaultHandler(TMessage& message)
{
  message.Result = DefWindowProcA(FHandle, message.Msg, message.WParam, message.LParam);
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
  if (FHandle != nullptr) {
    ShowWindow(FHandle, SW_HIDE);
  }
}

bool TForm::Visible() const
{
  return FHandle != nullptr && IsWindowVisible(FHandle);
}
