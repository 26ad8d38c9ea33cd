#include "framework/OxaUtils.h"

#include "platform/core/HandleOwner.h"
#include "platform/windows/Messages.h"

#include "rtl/FilePaths.h"

bool DirectoryExists(const std::string& path)
{
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool ForceDirectories(const std::string& path)
{
  if (path.empty()) {
    throw EOxaFatal(Format("Illegal path %s", path));
  }
  const std::string folder = ExcludeTrailingBackslash(path);
  if (folder.size() < 3 || DirectoryExists(folder)) {
    return true;
  }
  // A relative name has no parent to force; it is created in the current folder.
  const std::string parent = ExtractFilePath(folder);
  if (!parent.empty() && parent != folder && !ForceDirectories(parent)) {
    return false;
  }
  return CreateDirectoryA(folder.c_str(), nullptr) != FALSE || DirectoryExists(folder);
}

bool GetFileInformation(const std::string& fileName, BY_HANDLE_FILE_INFORMATION& info)
{
  const THandleOwner file(CreateFileA(fileName.c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
  return file.Valid() && GetFileInformationByHandle(file.Get(), &info) != FALSE;
}

bool RunProcess(const std::string& application, const std::string& commandLine,
                PROCESS_INFORMATION& processInfo, TProcessWait waitMode, bool feedback, WORD showCommand,
                DWORD creationFlags)
{
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW | (feedback ? STARTF_FORCEONFEEDBACK : STARTF_FORCEOFFFEEDBACK);
  startup.wShowWindow = showCommand;
  std::string line = commandLine;  // CreateProcessA may write into its command line
  const std::string folder = ExtractFilePath(application);
  processInfo = PROCESS_INFORMATION{};
  if (!CreateProcessA(application.c_str(), line.empty() ? nullptr : line.data(), nullptr, nullptr, FALSE,
                      creationFlags, nullptr, folder.empty() ? nullptr : folder.c_str(), &startup,
                      &processInfo)) {
    return false;
  }
  if (waitMode == TProcessWait::Exit) {
    WaitForSingleObject(processInfo.hProcess, INFINITE);
  } else if (waitMode == TProcessWait::InputIdle) {
    // The platform cannot tell whether a child will ever read messages; one that never does
    // must not hold the caller for ever.
    if (WaitForInputIdle(processInfo.hProcess, InputIdleLimitMs) == WAIT_TIMEOUT) {
      Trace("RunProcess: %s not idle after %d ms; going on", application, static_cast<int>(InputIdleLimitMs));
    }
  }
  return true;
}
