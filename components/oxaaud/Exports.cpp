// The component's one export.
#include <new>

#include "components/oxaaud/AudioControl.h"

extern "C" __attribute__((visibility("default"))) HRESULT GetCtrl(IOxaAud** control)
{
  if (control == nullptr) {
    return E_POINTER;
  }
  *control = new (std::nothrow) oxaaud::TAudioControl();
  return *control != nullptr ? S_OK : E_OUTOFMEMORY;
}
