#include "platform/windows/HotKeys.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/core/LastError.h"
#include "platform/windows/DisplayBackEnd.h"
#include "platform/windows/InputEvents.h"
#include "platform/windows/Messages.h"
#include "platform/windows/Windows.h"

namespace {

struct THotKey {
  HWND Window;
  int Id;
  UINT Modifiers;
  UINT VirtualKey;
};

// The process's hot keys, as Win32 keeps them per process; the display's reader thread looks
// them up while the program's threads change them.
struct THotKeys {
  std::mutex Lock;
  std::vector<THotKey> Keys;  // guarded by Lock
};

THotKeys& HotKeys()
{
  static THotKeys keys;
  return keys;
}

constexpr UINT ModifierMask = MOD_ALT | MOD_CONTROL | MOD_SHIFT | MOD_WIN;

}  // namespace

BOOL RegisterHotKey(HWND window, int id, UINT modifiers, UINT virtualKey)
{
  if (!IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  modifiers &= ModifierMask;
  THotKeys& keys = HotKeys();
  const std::lock_guard guard(keys.Lock);
  const bool taken = std::ranges::any_of(keys.Keys, [&](const THotKey& key) {
    return (key.Window == window && key.Id == id) ||
           (key.Modifiers == modifiers && key.VirtualKey == virtualKey);
  });
  if (taken) {
    SetLastError(ERROR_HOTKEY_ALREADY_REGISTERED);
    return FALSE;
  }
  TDisplay* display = OpenedDisplay();
  if (display == nullptr) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  switch (display->GrabKey(static_cast<int>(virtualKey), modifiers, true)) {
    case TKeyGrab::Grabbed:
      break;
    case TKeyGrab::Taken:
      SetLastError(ERROR_HOTKEY_ALREADY_REGISTERED);
      return FALSE;
    case TKeyGrab::Unsupported:
      SetLastError(ERROR_NOT_SUPPORTED);
      return FALSE;
  }
  keys.Keys.push_back(THotKey{window, id, modifiers, virtualKey});
  return TRUE;
}

BOOL UnregisterHotKey(HWND window, int id)
{
  THotKeys& keys = HotKeys();
  const std::lock_guard guard(keys.Lock);
  const auto found = std::ranges::find_if(
      keys.Keys, [&](const THotKey& key) { return key.Window == window && key.Id == id; });
  if (found == keys.Keys.end()) {
    SetLastError(ERROR_HOTKEY_NOT_REGISTERED);
    return FALSE;
  }
  if (TDisplay* display = OpenedDisplay()) {
    display->GrabKey(static_cast<int>(found->VirtualKey), found->Modifiers, false);
  }
  keys.Keys.erase(found);
  return TRUE;
}

void DeliverHotKey(int virtualKey, UINT modifiers)
{
  THotKeys& keys = HotKeys();
  HWND window = nullptr;
  int id = 0;
  {
    const std::lock_guard guard(keys.Lock);
    const auto found = std::ranges::find_if(keys.Keys, [&](const THotKey& key) {
      return static_cast<int>(key.VirtualKey) == virtualKey && key.Modifiers == (modifiers & ModifierMask);
    });
    if (found == keys.Keys.end()) {
      return;
    }
    window = found->Window;
    id = found->Id;
  }
  PostMessageA(window, WM_HOTKEY, static_cast<WPARAM>(id),
               MAKELPARAM(static_cast<int>(modifiers & ModifierMask), virtualKey));
}
