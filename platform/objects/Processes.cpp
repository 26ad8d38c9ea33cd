#include "platform/objects/Processes.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <thread>

#include "platform/core/HostErrors.h"
#include "platform/core/LastError.h"
#include "platform/core/PollUntil.h"
#include "platform/files/Paths.h"

extern char** environ;

namespace {

DWORD ExitCodeOf(int status) noexcept
{
  if (WIFEXITED(status)) {
    return static_cast<DWORD>(WEXITSTATUS(status));
  }
  if (WIFSIGNALED(status)) {
    return 128U + static_cast<DWORD>(WTERMSIG(status));
  }
  return 0;
}

// The main thread's handle waits for the process.
class TProcessThreadObject : public TKernelObject {
 public:
  explicit TProcessThreadObject(std::shared_ptr<TProcessObject> process) : FProcess(std::move(process)) {}
  DWORD Wait(DWORD milliseconds) override { return FProcess->Wait(milliseconds); }
  int ChangeDescriptor() const noexcept override { return FProcess->ChangeDescriptor(); }
  bool ChangedElsewhere() const noexcept override { return FProcess->ChangedElsewhere(); }

 private:
  std::shared_ptr<TProcessObject> FProcess;
};

bool IsFile(const std::string& host)
{
  struct stat st {};
  return ::stat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The host executable of a Windows path ("PYRMEL.EXE" may be "pyrmel" on the host).
bool ExecutableOf(const std::string& windowsPath, std::string& host)
{
  if (!HostPathOf(windowsPath, host)) {
    return false;
  }
  if (IsFile(host)) {
    return true;
  }
  if (windowsPath.size() > 4) {
    std::string extension = windowsPath.substr(windowsPath.size() - 4);
    for (char& c : extension) {
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    std::string bare;
    if (extension == ".exe" && HostPathOf(windowsPath.substr(0, windowsPath.size() - 4), bare) &&
        IsFile(bare)) {
      host = bare;
      return true;
    }
  }
  SetLastError(ERROR_FILE_NOT_FOUND);
  return false;
}

}  // namespace

TProcessObject::~TProcessObject()
{
  if (!Reap(false)) {
    const pid_t pid = FPid;
    std::thread([pid] {
      int status = 0;
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  }
}

bool TProcessObject::Reap(bool block)
{
  const std::lock_guard guard(FLock);
  if (FReaped) {
    return true;
  }
  int status = 0;
  pid_t done = 0;
  do {
    done = ::waitpid(FPid, &status, block ? 0 : WNOHANG);
  } while (done < 0 && errno == EINTR);
  if (done == 0) {
    return false;
  }
  FReaped = true;
  if (!FTerminated) {
    FExitCode = done == FPid ? ExitCodeOf(status) : 0;
  }
  return true;
}

DWORD TProcessObject::Wait(DWORD milliseconds)
{
  if (Reap(false)) {
    return WAIT_OBJECT_0;
  }
  if (!FPidFd.Valid()) {
    if (milliseconds == INFINITE) {
      return Reap(true) ? WAIT_OBJECT_0 : WAIT_FAILED;
    }
    return WAIT_TIMEOUT;
  }
  pollfd ended{FPidFd.Get(), POLLIN, 0};
  const std::uint64_t deadline = milliseconds == INFINITE ? NoDeadline : DeadlineIn(milliseconds);
  if (PollUntil(std::span(&ended, 1), deadline) <= 0) {
    return WAIT_TIMEOUT;
  }
  return Reap(true) ? WAIT_OBJECT_0 : WAIT_FAILED;
}

DWORD TProcessObject::ExitCode()
{
  Reap(false);
  const std::lock_guard guard(FLock);
  return FExitCode;
}

void TProcessObject::Terminate(UINT exitCode)
{
  {
    const std::lock_guard guard(FLock);
    if (FReaped) {
      return;
    }
    FTerminated = true;
    FExitCode = exitCode;
  }
  ::kill(FPid, SIGKILL);
}

DWORD GetModuleFileNameA(HMODULE hModule, char* lpFilename, DWORD nSize)
{
  if (hModule != nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  std::string host(PATH_MAX, '\0');
  const ssize_t length = ::readlink("/proc/self/exe", host.data(), host.size());
  if (length <= 0) {
    FailWithErrno();
    return 0;
  }
  host.resize(static_cast<std::size_t>(length));
  const std::string windows = WindowsPathOf(host);
  if (lpFilename == nullptr || nSize == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (windows.size() >= nSize) {
    std::memcpy(lpFilename, windows.data(), nSize - 1);
    lpFilename[nSize - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
  }
  std::memcpy(lpFilename, windows.c_str(), windows.size() + 1);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(windows.size());
}

HANDLE GetCurrentProcess() noexcept
{
  return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));
}

DWORD GetCurrentProcessId() noexcept
{
  return static_cast<DWORD>(::getpid());
}

std::vector<std::string> SplitCommandLine(std::string_view line)
{
  std::vector<std::string> words;
  std::size_t i = 0;
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  // The program name: no escapes.
  std::string program;
  if (i < line.size() && line[i] == '"') {
    ++i;
    while (i < line.size() && line[i] != '"') {
      program += line[i++];
    }
    if (i < line.size()) {
      ++i;
    }
  } else {
    while (i < line.size() && !blank(line[i])) {
      program += line[i++];
    }
  }
  words.push_back(program);
  for (;;) {
    while (i < line.size() && blank(line[i])) {
      ++i;
    }
    if (i >= line.size()) {
      break;
    }
    std::string word;
    bool quoted = false;
    while (i < line.size() && (quoted || !blank(line[i]))) {
      std::size_t backslashes = 0;
      while (i < line.size() && line[i] == '\\') {
        ++backslashes;
        ++i;
      }
      if (i < line.size() && line[i] == '"') {
        word.append(backslashes / 2, '\\');
        if (backslashes % 2 == 1) {
          word += '"';
          ++i;
        } else if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
          word += '"';
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        word.append(backslashes, '\\');
        if (i < line.size() && (quoted || !blank(line[i]))) {
          word += line[i++];
        }
      }
    }
    words.push_back(std::move(word));
  }
  return words;
}

BOOL CreateProcessA(const char* lpApplicationName, char* lpCommandLine, LPSECURITY_ATTRIBUTES,
                    LPSECURITY_ATTRIBUTES, BOOL, DWORD, void* lpEnvironment, const char* lpCurrentDirectory,
                    STARTUPINFOA*, PROCESS_INFORMATION* lpProcessInformation)
{
  if (lpProcessInformation == nullptr || ((lpApplicationName == nullptr || *lpApplicationName == '\0') &&
                                          (lpCommandLine == nullptr || *lpCommandLine == '\0'))) {
    return FailWith(ERROR_INVALID_PARAMETER);
  }
  std::vector<std::string> arguments = lpCommandLine != nullptr && *lpCommandLine != '\0'
                                           ? SplitCommandLine(lpCommandLine)
                                           : std::vector<std::string>();
  const std::string application =
      lpApplicationName != nullptr && *lpApplicationName != '\0' ? lpApplicationName : arguments[0];
  if (arguments.empty()) {
    arguments.push_back(application);
  }
  std::string executable;
  if (!ExecutableOf(application, executable)) {
    return FALSE;
  }
  std::string folder;
  if (lpCurrentDirectory != nullptr && *lpCurrentDirectory != '\0') {
    struct stat st {};
    if (!HostPathOf(lpCurrentDirectory, folder)) {
      return FALSE;
    }
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      return FailWith(ERROR_DIRECTORY);
    }
  }
  std::vector<std::string> environment;
  if (lpEnvironment != nullptr) {
    for (const char* entry = static_cast<const char*>(lpEnvironment); *entry != '\0';
         entry += std::strlen(entry) + 1) {
      environment.emplace_back(entry);
    }
  }
  std::vector<char*> argv;
  argv.reserve(arguments.size() + 1);
  for (auto& argument : arguments) {
    argv.push_back(argument.data());
  }
  argv.push_back(nullptr);
  std::vector<char*> envp;
  envp.reserve(environment.size() + 1);
  for (auto& entry : environment) {
    envp.push_back(entry.data());
  }
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  if (!folder.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  }
  sigset_t none;
  sigset_t all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  const int error = ::posix_spawn(&pid, executable.c_str(), &actions, &attributes, argv.data(),
                                  lpEnvironment != nullptr ? envp.data() : environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) {
    return FailWith(error == ENOEXEC ? ERROR_BAD_EXE_FORMAT : Win32ErrorFromErrno(error));
  }
  auto process = std::make_shared<TProcessObject>(
      pid, TFileDescriptor(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0))));
  lpProcessInformation->dwProcessId = static_cast<DWORD>(pid);
  lpProcessInformation->dwThreadId = static_cast<DWORD>(pid);
  lpProcessInformation->hThread = RegisterHandle(std::make_shared<TProcessThreadObject>(process));
  lpProcessInformation->hProcess = RegisterHandle(std::move(process));
  return TRUE;
}

BOOL GetExitCodeProcess(HANDLE hProcess, DWORD* lpExitCode)
{
  const auto process = LookupHandleAs<TProcessObject>(hProcess);
  if (!process) {
    return FALSE;
  }
  if (lpExitCode == nullptr) {
    return FailWith(ERROR_INVALID_PARAMETER);
  }
  *lpExitCode = process->ExitCode();
  return TRUE;
}

BOOL TerminateProcess(HANDLE hProcess, UINT uExitCode)
{
  const auto process = LookupHandleAs<TProcessObject>(hProcess);
  if (!process) {
    return FALSE;
  }
  process->Terminate(uExitCode);
  return TRUE;
}
