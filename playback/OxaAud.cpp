#include "playback/OxaAud.h"

#include "platform/windows/Messages.h"

TOxaAudModule::TOxaAudModule(const std::string& moduleName) : FModule(LoadLibraryA(moduleName.c_str()))
{
  if (FModule) {
    FGetCtrl = reinterpret_cast<TGetCtrl>(GetProcAddress(FModule.Get(), GetCtrlName));
  }
}

HRESULT TOxaAudModule::GetCtrl(TComPtr<IOxaAud>& control) const
{
  control.Reset();
  if (FGetCtrl == nullptr) {
    return E_FAIL;
  }
  const HRESULT result = FGetCtrl(control.Receive());
  if (FAILED(result)) {
    // A component that failed but handed out an object anyway: it is not used.
    control.Reset();
  }
  return result;
}

TOxaAudCallback::TOxaAudCallback(HWND window) : FWindow(window) {}

HRESULT TOxaAudCallback::QueryInterface(REFIID iid, void** object)
{
  if (object == nullptr) {
    return E_POINTER;
  }
  if (iid == IID_IUnknown || iid == IID_IOxaAudCallback) {
    AddRef();
    *object = static_cast<IOxaAudCallback*>(this);
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG TOxaAudCallback::AddRef()
{
  return ++FReferences;
}

ULONG TOxaAudCallback::Release()
{
  const ULONG left = --FReferences;
  if (left == 0) {
    delete this;
  }
  return left;
}

HRESULT TOxaAudCallback::StateChanged(BYTE state, BYTE reason)
{
  const std::lock_guard lock(FLock);
  if (FWindow != nullptr) {
    PostMessageA(FWindow, OxaAudStateMessage, static_cast<WPARAM>(state | (reason << 8U)),
                 static_cast<LPARAM>(FGeneration));
  }
  return S_OK;
}

HRESULT TOxaAudCallback::PositionChanged(std::int32_t position)
{
  FPosition = position;
  if (!FPositionPending.exchange(true)) {
    const std::lock_guard lock(FLock);
    if (FWindow != nullptr) {
      PostMessageA(FWindow, OxaAudPositionMessage, 0, static_cast<LPARAM>(FGeneration));
    }
  }
  return S_OK;
}

std::int32_t TOxaAudCallback::TakePosition() noexcept
{
  FPositionPending = false;
  return FPosition;
}

void TOxaAudCallback::Detach() noexcept
{
  const std::lock_guard lock(FLock);
  FWindow = nullptr;
}

void TOxaAudCallback::SetGeneration(std::uint32_t generation) noexcept
{
  const std::lock_guard lock(FLock);
  FGeneration = generation;
}
