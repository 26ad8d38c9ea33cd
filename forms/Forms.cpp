#include "forms/Forms.h"

#include <memory>

#include "forms/Screen.h"
#include "rtl/Exception.h"

namespace {

constexpr char ApplicationClass[] = "TApplication";
constexpr char FormClass[] = "TForm";
constexpr char CustomControlClass[] = "TCustomControl";
// Posted to a form's own window to free it after the message being handled.
constexpr UINT CM_RELEASE = 0xB021;

void RegisterOnce(const char* className, WNDPROC procedure)
{
  WNDCLASSA existing{};
  if (GetClassInfoA(nullptr, className, &existing)) {
    return;
  }
  WNDCLASSA windowClass{};
  // Controls tell a double click from two clicks.
  windowClass.style = CS_DBLCLKS;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.lpfnWndProc = procedure;
  windowClass.lpszClassName = className;
  RegisterClassA(&windowClass);
}

int LowSigned(LPARAM value)
{
  return static_cast<short>(value & 0xFFFF);
}

int HighSigned(LPARAM value)
{
  return static_cast<short>((value >> 16) & 0xFFFF);
}

}  // namespace

TShiftState ShiftStateOfMouse(WPARAM keys)
{
  TShiftState shift = 0;
  shift |= (keys & MK_SHIFT) != 0 ? ssShift : 0;
  shift |= (keys & MK_CONTROL) != 0 ? ssCtrl : 0;
  shift |= (keys & MK_LBUTTON) != 0 ? ssLeft : 0;
  shift |= (keys & MK_RBUTTON) != 0 ? ssRight : 0;
  shift |= (keys & MK_MBUTTON) != 0 ? ssMiddle : 0;
  shift |= GetKeyState(VK_MENU) < 0 ? ssAlt : 0;
  return shift;
}

TShiftState ShiftStateOfKeys()
{
  TShiftState shift = 0;
  shift |= GetKeyState(VK_SHIFT) < 0 ? ssShift : 0;
  shift |= GetKeyState(VK_CONTROL) < 0 ? ssCtrl : 0;
  shift |= GetKeyState(VK_MENU) < 0 ? ssAlt : 0;
  shift |= GetKeyState(VK_LBUTTON) < 0 ? ssLeft : 0;
  shift |= GetKeyState(VK_RBUTTON) < 0 ? ssRight : 0;
  shift |= GetKeyState(VK_MBUTTON) < 0 ? ssMiddle : 0;
  return shift;
}

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

void TApplication::Restore()
{
  if (FMainForm == nullptr) {
    return;
  }
  if (!FMainForm->Visible()) {
    FMainForm->Show();
  }
  SetForegroundWindow(FMainForm->Handle());
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
    RegisterOnce(params.WinClassName.c_str(), &TWinControl::ControlWindowProc);
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
  if (!DispatchInput(message)) {
    DefaultHandler(message);
  }
}

bool TWinControl::DispatchInput(TMessage& message)
{
  const int x = LowSigned(message.LParam);
  const int y = HighSigned(message.LParam);
  const TShiftState shift = ShiftStateOfMouse(message.WParam);
  message.Result = 0;
  switch (message.Msg) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK: {
      const bool twice = message.Msg == WM_LBUTTONDBLCLK || message.Msg == WM_RBUTTONDBLCLK ||
                         message.Msg == WM_MBUTTONDBLCLK;
      const TMouseButton button =
          message.Msg == WM_LBUTTONDOWN || message.Msg == WM_LBUTTONDBLCLK   ? TMouseButton::mbLeft
          : message.Msg == WM_RBUTTONDOWN || message.Msg == WM_RBUTTONDBLCLK ? TMouseButton::mbRight
                                                                             : TMouseButton::mbMiddle;
      if (twice && button == TMouseButton::mbLeft) {
        DblClick();
      }
      MouseDown(button, shift | (twice ? ssDouble : 0), x, y);
      return true;
    }
    case WM_LBUTTONUP:
      MouseUp(TMouseButton::mbLeft, shift, x, y);
      return true;
    case WM_RBUTTONUP:
      MouseUp(TMouseButton::mbRight, shift, x, y);
      return true;
    case WM_MBUTTONUP:
      MouseUp(TMouseButton::mbMiddle, shift, x, y);
      return true;
    case WM_MOUSEMOVE:
      MouseMove(shift, x, y);
      return true;
    case WM_MOUSEWHEEL:
      message.Result = MouseWheel(ShiftStateOfMouse(message.WParam & 0xFFFF),
                                  static_cast<short>((message.WParam >> 16) & 0xFFFF), POINT{x, y})
                           ? 1
                           : 0;
      return true;
    case WM_MOUSELEAVE:
      MouseLeave();
      return true;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP: {
      auto key = static_cast<WORD>(message.WParam);
      const bool down = message.Msg == WM_KEYDOWN || message.Msg == WM_SYSKEYDOWN;
      if (down) {
        KeyDown(key, ShiftStateOfKeys());
      } else {
        KeyUp(key, ShiftStateOfKeys());
      }
      // Alt combinations the control left alone keep their default handling.
      if (key != 0 && (message.Msg == WM_SYSKEYDOWN || message.Msg == WM_SYSKEYUP)) {
        DefaultHandler(message);
      }
      return true;
    }
    case WM_CHAR: {
      auto key = static_cast<char32_t>(message.WParam);
      KeyPress(key);
      return true;
    }
    case WM_SETCURSOR:
      // A cursor the program shows everywhere (the wait cursor) wins over the window's own.
      if (Screen().Cursor() != crDefault) {
        ::SetCursor(Screen().Cursors(Screen().Cursor()));
        message.Result = TRUE;
        return true;
      }
      return false;
    default:
      return false;
  }
}

void TWinControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
  if (OnMouseDown) {
    OnMouseDown(this, button, shift, x, y);
  }
}

void TWinControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
  if (OnMouseUp) {
    OnMouseUp(this, button, shift, x, y);
  }
}

void TWinControl::MouseMove(TShiftState shift, int x, int y)
{
  if (OnMouseMove) {
    OnMouseMove(this, shift, x, y);
  }
}

bool TWinControl::MouseWheel(TShiftState shift, int wheelDelta, POINT mousePos)
{
  bool handled = false;
  if (OnMouseWheel) {
    OnMouseWheel(this, shift, wheelDelta, mousePos, handled);
  }
  return handled;
}

void TWinControl::DblClick()
{
  if (OnDblClick) {
    OnDblClick(this);
  }
}

void TWinControl::MouseLeave()
{
  if (OnMouseLeave) {
    OnMouseLeave(this);
  }
}

void TWinControl::KeyDown(WORD& key, TShiftState shift)
{
  if (OnKeyDown) {
    OnKeyDown(this, key, shift);
  }
}

void TWinControl::KeyUp(WORD& key, TShiftState shift)
{
  if (OnKeyUp) {
    OnKeyUp(this, key, shift);
  }
}

void TWinControl::KeyPress(char32_t& key)
{
  if (OnKeyPress) {
    OnKeyPress(this, key);
  }
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
      if (!DispatchInput(message)) {
        DefaultHandler(message);
      }
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
