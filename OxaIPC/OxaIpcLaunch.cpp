// Waiting for clients, starting the members that serve them, and recording in the registry
// which executable serves which client.

#include <vector>

#include "OxaIPC/OxaIpc.h"
#include "OxaIPC/OxaIpcGuard.h"
#include "platform/core/HandleOwner.h"
#include "platform/core/LastError.h"
#include "platform/core/Time.h"
#include "platform/files/Registry.h"
#include "rtl/AnsiText.h"
#include "rtl/FilePaths.h"
#include "rtl/FileUtils.h"

namespace {

const char* const RegistryRoot = "Software\\Kestrom\\OxaIpc";

bool ReadString(HKEY key, const char* name, std::string& value)
{
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ) {
    return false;
  }
  std::vector<char> data(size + 1, '\0');
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
      ERROR_SUCCESS) {
    return false;
  }
  value.assign(data.data());
  return true;
}

bool WriteString(HKEY key, const char* name, const std::string& value)
{
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

}  // namespace

bool TOxaIpc::Exists(std::uint32_t clientId, DWORD timeout)
{
  if (!FActive || clientId == 0) {
    return false;
  }
  for (;;) {
    TOxaEvent event;
    const int state = Guarded(-1, [&]() -> int {
      TOxaIpcBusLock lock(*this, LockTimeout);
      if (!lock) {
        return -1;
      }
      const std::uint32_t client = FindClient(clientId);
      if (client != 0 && CheckProcess(Body().Read<TOxaIpcClientRecord>(client).Owner)) {
        return 1;
      }
      if (timeout == 0) {
        return 0;
      }
      bool existed = false;
      event.Open(OxaIpcClientEventName(FGroup, clientId), true, existed, false);
      return 2;
    });
    if (state != 2) {
      return state == 1;
    }
    const std::string name = IdToName(clientId);
    TraceObject(this, "Exists: Wait for client %s timeout %d", name, static_cast<int>(timeout));
    event.Wait(timeout);
    TraceObject(this, "Exists: Wait for client %s: Done", name);
    timeout = 0;
    if (!FActive) {
      return false;
    }
  }
}

bool TOxaIpc::Launch(const std::string& clientName, const std::string& commandLine, DWORD timeout)
{
  if (FGroupName.empty()) {
    return false;
  }
  if (FActive && Exists(NameToId(clientName), 0)) {
    return true;
  }
  const std::string keyName = std::string(RegistryRoot) + "\\" + FGroupName + "\\" + clientName;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, keyName.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  std::string application;
  const bool found = ReadString(key, "Application", application);
  RegCloseKey(key);
  if (!found || application.empty()) {
    return false;
  }
  const std::string path = AnsiUpperCase(ExpandFileName(application));

  const DWORD start = GetTickCount();
  TOxaMutex starting;
  bool existed = false;
  starting.Open(OxaIpcLaunchMutexName(path), existed);
  // Somebody else deciding whether to start it: only wait for the client.
  const bool decide = starting.Lock(1000);
  bool result = true;
  if (decide) {
    TOxaMutex running;
    running.Open(OxaIpcApplicationMutexName(path), existed);
    if (running.Lock(1000)) {
      running.Unlock();
      running.Close();
      TraceObject(this, "Lanuch: Lanuch client %s in application %s", clientName, path);
      PROCESS_INFORMATION info{};
      result = RunProcess(path, commandLine, info, TProcessWait::None, false, SW_SHOWNORMAL,
                          NORMAL_PRIORITY_CLASS);
      if (result) {
        // The start-up wait is part of the caller's time-out, not a fixed one of its own.
        const THandleOwner thread(info.hThread);
        const THandleOwner process(info.hProcess);
        WaitForInputIdle(process.Get(), timeout);
        TraceObject(this, "Lanuch: Lanuch client %s in application %s: Success", clientName, path);
      } else {
        TraceObject(this, "Lanuch: Lanuch client %s in application %s: Failure", clientName, path);
      }
    }
  }
  if (result && FActive) {
    // The start-up and this wait share the caller's time-out.
    const DWORD spent = GetTickCount() - start;
    const DWORD left = timeout == INFINITE ? INFINITE : (spent >= timeout ? 0 : timeout - spent);
    result = Exists(NameToId(clientName), left);
  }
  if (decide) {
    starting.Unlock();
  }
  return result;
}

bool TOxaIpc::RegisterApplication(const std::string& clientNames, const std::string& applications,
                                  const std::vector<std::pair<std::string, std::string>>& parameters)
{
  if (FGroupName.empty()) {
    return false;
  }
  std::string text;
  for (const auto& [name, value] : parameters) {
    if (!text.empty()) {
      text += ';';
    }
    text += PercentEncode(name, "=;") + "=" + PercentEncode(value, "=;");
  }
  std::string found;
  const std::string own = ExtractFilePath(ApplicationLockPath());
  for (const std::string& entry : Split(";", applications, TSplitEmpty::Drop)) {
    const std::string upper = AnsiUpperCase(entry);
    for (const std::string& candidate : {ExpandFileName(own + upper), ExpandFileName(upper)}) {
      if (FileExists(candidate)) {
        found = candidate;
        break;
      }
    }
    if (!found.empty()) {
      break;
    }
  }
  if (found.empty()) {
    return false;
  }
  const std::string group = std::string(RegistryRoot) + "\\" + FGroupName;
  bool written = true;
  for (const std::string& name : Split(";", clientNames, TSplitEmpty::Drop)) {
    HKEY key = nullptr;
    const std::string keyName = group + "\\" += name;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, keyName.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
      written = false;
      continue;
    }
    written = WriteString(key, "Application", found) && WriteString(key, "Parameters", text) && written;
    RegCloseKey(key);
  }
  return written;
}
