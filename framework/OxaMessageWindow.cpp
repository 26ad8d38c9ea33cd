#include "framework/OxaMessageWindow.h"

#include <cstdio>
#include <exception>
#include <string>

#include "framework/OxaUtils.h"
#include "rtl/OSError.h"

namespace {

void RegisterWindowClass(WNDPROC procedure)
{
  WNDCLASSA existing{};
  if (GetClassInfoA(nullptr, TOxaMessageWindow::WindowClassName, &existing)) {
    if (existing.lpfnWndProc == procedure) {
      return;
    }
    UnregisterClassA(TOxaMessageWindow::WindowClassName, nullptr);
  }
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = procedure;
  windowClass.lpszClassName = TOxaMessageWindow::WindowClassName;
  RegisterClassA(&windowClass);
}

// A handler that raised: the message loop must go on, and a modal box here would block a peer
// that is waiting on a sent message, so the failure is written down instead.
void ReportHandlerFailure(const std::string& message) noexcept
{
  Trace("OxaMessageWindow: Exception%s", message);
  std::fprintf(stderr, "OxaMessageWindow: Exception%s\n", message.c_str());
}

}  // namespace

TOxaMessageWindow::~TOxaMessageWindow()
{
  Close();
}

void TOxaMessageWindow::Open()
{
  if (FHandle != nullptr) {
    return;
  }
  RegisterWindowClass(&TOxaMessageWindow::WindowProc);
  const HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, WindowClassName, WindowClassName,
                                      WS_POPUP | WS_DISABLED, 0, 0, 0, 0, FParent, nullptr, nullptr, nullptr);
  if (window == nullptr) {
    RaiseLastOSError();
  }
  FHandle = window;
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void TOxaMessageWindow::Close() noexcept
{
  if (FHandle != nullptr) {
    const HWND window = FHandle;
    DestroyWindow(window);  // WM_DESTROY clears FHandle
    FHandle = nullptr;
  }
}

HWND TOxaMessageWindow::Handle() const
{
  if (FHandle == nullptr) {
    throw Exception("MessageWindow is not active");
  }
  return FHandle;
}

void TOxaMessageWindow::SetParent(HWND parent)
{
  FParent = parent;
  if (FHandle != nullptr) {
    ::SetParent(FHandle, parent);
  }
}

LRESULT TOxaMessageWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  auto* self = reinterpret_cast<TOxaMessageWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self == nullptr || self->FHandle != window) {
    return DefWindowProcA(window, message, wParam, lParam);
  }
  return self->Dispatch(window, message, wParam, lParam);
}

LRESULT TOxaMessageWindow::Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  TMessage packed{message, wParam, lParam, 0};
  bool handled = false;
  if (OnMessage) {
    try {
      OnMessage(this, packed, handled);
    } catch (const std::exception& error) {
      ReportHandlerFailure(error.what());
      handled = true;
      packed.Result = 0;
    } catch (...) {
      ReportHandlerFailure("");
      handled = true;
      packed.Result = 0;
    }
  }
  if (message == WM_DESTROY) {
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    FHandle = nullptr;
  }
  return handled ? packed.Result : DefWindowProcA(window, message, wParam, lParam);
}
