#pragma once
// Processes: starting programs by Windows path, process handles, the module file name.

#include <sys/types.h>

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/Handles.h"
#include "platform/core/WinTypes.h"
#include "platform/files/FileDescriptor.h"

constexpr DWORD STILL_ACTIVE = 259;
constexpr DWORD NORMAL_PRIORITY_CLASS = 0x00000020;
constexpr DWORD STARTF_USESHOWWINDOW = 0x00000001;
constexpr DWORD STARTF_FORCEONFEEDBACK = 0x00000040;
constexpr DWORD STARTF_FORCEOFFFEEDBACK = 0x00000080;

struct STARTUPINFOA {
  DWORD cb;
  char* lpReserved;
  char* lpDesktop;
  char* lpTitle;
  DWORD dwX;
  DWORD dwY;
  DWORD dwXSize;
  DWORD dwYSize;
  DWORD dwXCountChars;
  DWORD dwYCountChars;
  DWORD dwFillAttribute;
  DWORD dwFlags;
  WORD wShowWindow;
  WORD cbReserved2;
  BYTE* lpReserved2;
  HANDLE hStdInput;
  HANDLE hStdOutput;
  HANDLE hStdError;
};

struct PROCESS_INFORMATION {
  HANDLE hProcess;
  HANDLE hThread;
  DWORD dwProcessId;
  DWORD dwThreadId;
};

// A started process. WaitForSingleObject on its handle (or its main thread's) waits for its
// end; the process is reaped then, or by a helper thread when the last handle goes first.
class TProcessObject : public TKernelObject {
 public:
  TProcessObject(pid_t pid, TFileDescriptor pidFd) noexcept : FPid(pid), FPidFd(std::move(pidFd)) {}
  ~TProcessObject() override;

  DWORD Wait(DWORD milliseconds) override;
  // The process descriptor is readable once the process ended.
  int ChangeDescriptor() const noexcept override { return FPidFd.Get(); }
  bool ChangedElsewhere() const noexcept override { return !FPidFd.Valid(); }
  pid_t Pid() const noexcept { return FPid; }
  // STILL_ACTIVE while it runs, else its exit code (128 + n after signal n).
  DWORD ExitCode();
  void Terminate(UINT exitCode);

 private:
  bool Reap(bool block);

  const pid_t FPid;
  const TFileDescriptor FPidFd;  // a pidfd, readable once the process has ended; -1 when unavailable
  std::mutex FLock;              // guards the fields below
  bool FReaped = false;
  bool FTerminated = false;
  DWORD FExitCode = STILL_ACTIVE;
};

// The executable's full Windows path (hModule null; other modules are not supported and fail
// with ERROR_INVALID_HANDLE). Returns the length copied; a path that does not fit is cut to
// nSize - 1 characters and nSize returned with ERROR_INSUFFICIENT_BUFFER.
DWORD GetModuleFileNameA(HMODULE hModule, char* lpFilename, DWORD nSize);
DWORD GetCurrentProcessId() noexcept;
// The pseudo-handle (-1) that stands for the calling process where a call takes a process handle;
// it is never closed.
HANDLE GetCurrentProcess() noexcept;

// Starts a program. lpApplicationName (or else the first word of the command line) is a Windows
// path; a name ending in ".exe" is also found without that extension. The command line is split
// into arguments as Windows programs split it (SplitCommandLine). lpCurrentDirectory (a Windows
// path, optional) is the new process's current folder. lpEnvironment (optional) is a block of
// "NAME=value" texts ending with an empty one. Show commands, creation flags other than these
// and the security arguments are ignored. Both returned handles must be closed.
BOOL CreateProcessA(const char* lpApplicationName, char* lpCommandLine,
                    LPSECURITY_ATTRIBUTES lpProcessAttributes, LPSECURITY_ATTRIBUTES lpThreadAttributes,
                    BOOL bInheritHandles, DWORD dwCreationFlags, void* lpEnvironment,
                    const char* lpCurrentDirectory, STARTUPINFOA* lpStartupInfo,
                    PROCESS_INFORMATION* lpProcessInformation);
BOOL GetExitCodeProcess(HANDLE hProcess, DWORD* lpExitCode);
BOOL TerminateProcess(HANDLE hProcess, UINT uExitCode);

// Splits a command line by the Windows rules: the program name ends at the next blank or at its
// closing quote; in later words, 2n backslashes before a quote give n backslashes and a quote
// that opens or closes a quoted part, 2n+1 give n backslashes and a literal quote, and "" inside
// quotes gives a literal quote.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);
