#include "platform/core/Console.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct TCtrlHandlers {
  std::mutex Lock;
  std::vector<PHANDLER_ROUTINE> Routines;
  bool Ignore = false;
  int Pipe[2] = {-1, -1};
  bool Installed = false;
};

TCtrlHandlers& Handlers()
{
  static TCtrlHandlers* handlers = new TCtrlHandlers;  // lives as long as the watching thread
  return *handlers;
}

// Only a write is safe inside a signal handler; the watching thread does the rest.
void OnInterrupt(int)
{
  const char byte = 0;
  const int saved = errno;
  [[maybe_unused]] const ssize_t written = write(Handlers().Pipe[1], &byte, 1);
  errno = saved;
}

void Watch()
{
  TCtrlHandlers& handlers = Handlers();
  char byte = 0;
  while (read(handlers.Pipe[0], &byte, 1) == 1 || errno == EINTR) {
    std::vector<PHANDLER_ROUTINE> routines;
    bool ignore = false;
    {
      const std::lock_guard lock(handlers.Lock);
      routines = handlers.Routines;
      ignore = handlers.Ignore;
    }
    const bool handled = std::any_of(routines.rbegin(), routines.rend(),
                                     [](PHANDLER_ROUTINE routine) { return routine(CTRL_C_EVENT) != FALSE; });
    if (!handled && !ignore) {
      // Ends as an unhandled interrupt ends a program here, so the shell sees the signal.
      signal(SIGINT, SIG_DFL);
      raise(SIGINT);
    }
  }
}

// Called with the lock held.
bool Install(TCtrlHandlers& handlers)
{
  if (handlers.Installed) {
    return true;
  }
  if (pipe(handlers.Pipe) != 0) {
    return false;
  }
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  if (sigaction(SIGINT, &action, nullptr) != 0) {
    return false;
  }
  std::thread(Watch).detach();
  handlers.Installed = true;
  return true;
}

int StdDescriptor(HANDLE handle)
{
  const auto value = static_cast<DWORD>(reinterpret_cast<std::intptr_t>(handle));
  switch (value) {
    case STD_INPUT_HANDLE:
      return 0;
    case STD_OUTPUT_HANDLE:
      return 1;
    case STD_ERROR_HANDLE:
      return 2;
    default:
      return -1;
  }
}

}  // namespace

HANDLE GetStdHandle(DWORD nStdHandle)
{
  if (nStdHandle != STD_INPUT_HANDLE && nStdHandle != STD_OUTPUT_HANDLE && nStdHandle != STD_ERROR_HANDLE) {
    return INVALID_HANDLE_VALUE;
  }
  return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(static_cast<std::int32_t>(nStdHandle)));
}

BOOL GetConsoleMode(HANDLE hConsoleHandle, DWORD* lpMode)
{
  const int descriptor = StdDescriptor(hConsoleHandle);
  if (descriptor < 0 || isatty(descriptor) == 0) {
    return FALSE;
  }
  if (lpMode != nullptr) {
    *lpMode = 0;
  }
  return TRUE;
}

BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handlerRoutine, BOOL add)
{
  TCtrlHandlers& handlers = Handlers();
  const std::lock_guard lock(handlers.Lock);
  if (!Install(handlers)) {
    return FALSE;
  }
  if (handlerRoutine == nullptr) {
    handlers.Ignore = add != FALSE;
    return TRUE;
  }
  if (add != FALSE) {
    handlers.Routines.push_back(handlerRoutine);
    return TRUE;
  }
  const auto found = std::find(handlers.Routines.rbegin(), handlers.Routines.rend(), handlerRoutine);
  if (found == handlers.Routines.rend()) {
    return FALSE;
  }
  handlers.Routines.erase(std::next(found).base());
  return TRUE;
}
