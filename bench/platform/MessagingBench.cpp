// Window messages between two processes against the floor of a bare Unix-domain-socket
// ping-pong between the same two processes, measured in the same run.
//
// The binary starts a second copy of itself ("--child <fd>") that runs a message loop with one
// window and, on a thread of its own, echoes every datagram of an inherited socket pair.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/windows/Messages.h"
#include "platform/windows/Windows.h"

extern char** environ;

namespace {

constexpr UINT Echo = WM_USER + 1;     // returns wParam + 1
constexpr UINT Counted = WM_USER + 2;  // posted: counted
constexpr UINT Flush = WM_USER + 3;    // posted: post Flushed(count) back to window wParam
constexpr UINT Flushed = WM_USER + 4;
constexpr int Batch = 1000;

HWND childWindow = nullptr;
HWND parentWindow = nullptr;
int parentSocket = -1;
pid_t childPid = -1;

long postedSeen = 0;  // child: posted messages counted

LRESULT ChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  switch (message) {
    case Echo:
      return static_cast<LRESULT>(wParam) + 1;
    case Counted:
      ++postedSeen;
      return 0;
    case Flush:
      PostMessageA(reinterpret_cast<HWND>(wParam), Flushed, static_cast<WPARAM>(postedSeen), 0);
      postedSeen = 0;
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

HWND CreateBenchWindow(const char* className)
{
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = ChildProc;
  windowClass.lpszClassName = className;
  RegisterClassA(&windowClass);
  return CreateWindowExA(0, className, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

int RunChild(int fd)
{
  std::thread([fd] {
    char buffer[64];
    for (;;) {
      const ssize_t n = recv(fd, buffer, sizeof(buffer), 0);
      if (n <= 0) {
        std::_Exit(0);
      }
      // A datagram that starts with 1 is the middle of a batch and needs no answer.
      if (buffer[0] != 1 && send(fd, buffer, static_cast<std::size_t>(n), 0) != n) {
        std::_Exit(0);
      }
    }
  }).detach();
  const HWND window = CreateBenchWindow("BenchChild");
  std::printf("%lu\n", static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(window)));
  std::fflush(stdout);
  MSG message{};
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    DispatchMessageA(&message);
  }
  return 0;
}

bool StartChild(const char* self)
{
  int pair[2];
  int output[2];
  if (socketpair(AF_UNIX, SOCK_SEQPACKET, 0, pair) != 0 || pipe(output) != 0) {
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, output[1], 1);
  posix_spawn_file_actions_addclose(&actions, pair[0]);
  const std::string fd = std::to_string(pair[1]);
  char* argv[] = {const_cast<char*>(self), const_cast<char*>("--child"), const_cast<char*>(fd.c_str()),
                  nullptr};
  const int spawned = posix_spawn(&childPid, self, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pair[1]);
  close(output[1]);
  if (spawned != 0) {
    return false;
  }
  parentSocket = pair[0];
  char line[64] = {};
  std::size_t length = 0;
  while (length < sizeof(line) - 1 && read(output[0], line + length, 1) == 1 && line[length] != '\n') {
    ++length;
  }
  close(output[0]);
  childWindow = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::strtoull(line, nullptr, 10)));
  parentWindow = CreateBenchWindow("BenchParent");
  return childWindow != nullptr && parentWindow != nullptr;
}

void BM_BareSocketRoundTrip(benchmark::State& state)
{
  char buffer[72] = {};
  for (auto _ : state) {
    if (send(parentSocket, buffer, sizeof(buffer), 0) != sizeof(buffer) ||
        recv(parentSocket, buffer, sizeof(buffer), 0) <= 0) {
      state.SkipWithError("socket failed");
      break;
    }
  }
}
BENCHMARK(BM_BareSocketRoundTrip)->UseRealTime();

void BM_SendMessageTimeoutRoundTrip(benchmark::State& state)
{
  WPARAM value = 0;
  for (auto _ : state) {
    DWORD_PTR result = 0;
    if (SendMessageTimeoutA(childWindow, Echo, value, 0, SMTO_NORMAL, 5000, &result) == 0 ||
        result != value + 1) {
      state.SkipWithError("send failed");
      break;
    }
    ++value;
  }
}
BENCHMARK(BM_SendMessageTimeoutRoundTrip)->UseRealTime();

// Batch one-way datagrams answered by one echo of the last: the floor of the posted throughput.
void BM_BareSocketBatch(benchmark::State& state)
{
  char buffer[72] = {};
  for (auto _ : state) {
    for (int i = 0; i < Batch; ++i) {
      buffer[0] = i + 1 < Batch ? 1 : 0;
      if (send(parentSocket, buffer, sizeof(buffer), 0) != sizeof(buffer)) {
        state.SkipWithError("socket failed");
        return;
      }
    }
    if (recv(parentSocket, buffer, sizeof(buffer), 0) <= 0) {
      state.SkipWithError("socket failed");
      return;
    }
  }
  state.SetItemsProcessed(state.iterations() * Batch);
}
BENCHMARK(BM_BareSocketBatch)->UseRealTime();

void BM_PostMessageBatch(benchmark::State& state)
{
  for (auto _ : state) {
    for (int i = 0; i < Batch; ++i) {
      if (!PostMessageA(childWindow, Counted, static_cast<WPARAM>(i), 0)) {
        state.SkipWithError("post failed");
        return;
      }
    }
    PostMessageA(childWindow, Flush, reinterpret_cast<WPARAM>(parentWindow), 0);
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0 && message.message != Flushed) {
    }
    if (message.wParam != Batch) {
      state.SkipWithError("posted messages lost");
      return;
    }
  }
  state.SetItemsProcessed(state.iterations() * Batch);
}
BENCHMARK(BM_PostMessageBatch)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
  if (argc == 3 && std::strcmp(argv[1], "--child") == 0) {
    return RunChild(std::atoi(argv[2]));
  }
  if (!StartChild(argv[0])) {
    std::fprintf(stderr, "cannot start the second process\n");
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  close(parentSocket);
  int status = 0;
  PostMessageA(childWindow, WM_QUIT, 0, 0);
  waitpid(childPid, &status, 0);
  return 0;
}
