// Clients of the bus between two processes, against the floors measured between the same two
// processes in the same run:
// - a call's round trip (16 bytes each way) against a bare Unix-socket ping-pong of 16 bytes, and
//   the platform's bare sent message, which a call rides on;
// - notifications per second (batches of 100, each batch until the peer has taken all of it)
//   against posted window messages to the peer in the same batches.
// The peer is this program forked before anything else runs.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <new>
#include <thread>

#include "OxaIPC/OxaIpcClient.h"
#include "bench/support/BenchScratch.h"
#include "framework/OxaMessageWindow.h"
#include "platform/core/Time.h"
#include "platform/windows/Messages.h"

namespace {

constexpr int Batch = 100;
constexpr UINT PostedMessage = WM_APP + 1;

// What the peer took so far, in memory mapped before the fork: the batches wait on it without
// asking the peer, whose answers to sent messages would come before the batch being measured.
struct TTaken {
  std::atomic<std::uint32_t> Notes{0};
  std::atomic<std::uint32_t> Posts{0};
};
TTaken* Taken = nullptr;

class TPeer : public TObject {
 public:
  void Dispatched(TObject*, POxaIpcMessage message)
  {
    if (!message->Call) {
      Taken->Notes.fetch_add(1, std::memory_order_release);
      return;
    }
    // By id, resolved once, as a client's command table dispatches.
    const std::uint32_t name = message->Header.Name;
    if (name == PlainId) {
      return;  // answered by the send's own return
    }
    if (name == EchoId) {
      Client->Result(message, static_cast<std::uint32_t>(message->Payload.size()), message->Payload.data());
    }
  }
  void Posted(TObject*, TMessage& message, bool& handled)
  {
    if (message.Msg == PostedMessage) {
      Taken->Posts.fetch_add(1, std::memory_order_release);
      handled = true;
    } else if (message.Msg == PostedMessage + 1) {
      message.Result = 1;
      handled = true;
    }
  }
  TOxaIpc* Ipc = nullptr;
  TOxaIpcClient* Client = nullptr;
  std::uint32_t PlainId = 0;
  std::uint32_t EchoId = 0;
};

int RunPeer(int socket)
{
  std::atomic<bool> done{false};
  std::thread echo([&] {
    char buffer[16];
    while (read(socket, buffer, sizeof(buffer)) == static_cast<ssize_t>(sizeof(buffer))) {
      if (write(socket, buffer, sizeof(buffer)) != static_cast<ssize_t>(sizeof(buffer))) {
        break;
      }
    }
    done = true;
  });
  TOxaIpc ipc(nullptr);
  TOxaIpcClient client(nullptr);
  TPeer peer;
  peer.Ipc = &ipc;
  peer.Client = &client;
  TOxaMessageWindow window;
  window.OnMessage = MakeMethod<&TPeer::Posted>(&peer);
  window.Open();
  client.SetClientName("Peer");
  client.OnDispatch = MakeMethod<&TPeer::Dispatched>(&peer);
  client.SetIpc(&ipc);
  if (!ipc.Open(false)) {
    return 1;
  }
  peer.PlainId = ipc.NameToId("Plain");
  peer.EchoId = ipc.NameToId("Echo");
  const auto handle = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window.Handle()));
  ipc.SetProperty(client.ClientId(), ipc.NameToId("Window"), sizeof(handle), &handle);
  const UINT_PTR wake = SetTimer(nullptr, 0, 100, nullptr);
  MSG message{};
  while (!done) {
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      DispatchMessageA(&message);
    } else {
      WaitMessage();
    }
  }
  KillTimer(nullptr, wake);
  echo.join();
  return 0;
}

struct TSide {
  TOxaIpc Ipc{nullptr};
  TOxaIpcClient Client{nullptr};
  HWND PeerWindow = nullptr;
  int Socket = -1;
};

TSide* Side = nullptr;

void BM_CallRoundTrip(benchmark::State& state)
{
  char payload[16] = "ping";
  std::uint32_t size = 0;
  std::vector<std::uint8_t> data;
  for (auto _ : state) {
    if (!Side->Client.Call("Peer", "Echo", size, data, sizeof(payload), payload, 5000, false)) {
      state.SkipWithError("call failed");
      break;
    }
  }
}
BENCHMARK(BM_CallRoundTrip)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The same without a result record: the send's return is the answer.
void BM_CallWithoutResult(benchmark::State& state)
{
  char payload[16] = "ping";
  std::uint32_t size = 0;
  std::vector<std::uint8_t> data;
  for (auto _ : state) {
    if (!Side->Client.Call("Peer", "Plain", size, data, sizeof(payload), payload, 5000, false)) {
      state.SkipWithError("call failed");
      break;
    }
  }
}
BENCHMARK(BM_CallWithoutResult)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_SocketPingPong(benchmark::State& state)
{
  char buffer[16] = "ping";
  for (auto _ : state) {
    if (write(Side->Socket, buffer, sizeof(buffer)) != sizeof(buffer) ||
        read(Side->Socket, buffer, sizeof(buffer)) != sizeof(buffer)) {
      state.SkipWithError("socket failed");
      break;
    }
  }
}
BENCHMARK(BM_SocketPingPong)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// What the platform's sent message costs on its own between the two processes.
void BM_BareSendMessage(benchmark::State& state)
{
  for (auto _ : state) {
    if (SendMessageA(Side->PeerWindow, PostedMessage + 1, 0, 0) != 1) {
      state.SkipWithError("send failed");
      break;
    }
  }
}
BENCHMARK(BM_BareSendMessage)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// Parts of a call, reported only.
void BM_LockUnlock(benchmark::State& state)
{
  for (auto _ : state) {
    Side->Ipc.Lock(TOxaIpc::LockTimeout);
    Side->Ipc.Unlock();
  }
}
BENCHMARK(BM_LockUnlock)->Unit(benchmark::kMicrosecond);

void BM_PeerAlive(benchmark::State& state)
{
  std::uint32_t pid = 0;
  for (const auto& process : Side->Ipc.Processes()) {
    if (process.Record.Pid != Side->Ipc.Pid()) {
      pid = process.Record.Pid;
    }
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(Side->Ipc.ProcessAlive(pid));
  }
}
BENCHMARK(BM_PeerAlive)->Unit(benchmark::kMicrosecond);

// Waits until the peer took sent of them, giving the processor up between looks.
void AwaitTaken(const std::atomic<std::uint32_t>& taken, std::uint32_t sent)
{
  while (taken.load(std::memory_order_acquire) < sent) {
    std::this_thread::yield();
  }
}

void BM_NotificationBatches(benchmark::State& state)
{
  const char payload[16] = "note";
  std::uint32_t sent = Taken->Notes.load();
  for (auto _ : state) {
    for (int i = 0; i < Batch; ++i) {
      Side->Client.Notify("Peer", "Note", sizeof(payload), payload);
    }
    sent += Batch;
    AwaitTaken(Taken->Notes, sent);
  }
  state.SetItemsProcessed(state.iterations() * Batch);
}
// Items per second by the clock: the work is the peer's, not this thread's.
BENCHMARK(BM_NotificationBatches)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_PostedMessageBatches(benchmark::State& state)
{
  std::uint32_t sent = Taken->Posts.load();
  for (auto _ : state) {
    for (int i = 0; i < Batch; ++i) {
      PostMessageA(Side->PeerWindow, PostedMessage, 0, 0);
    }
    sent += Batch;
    AwaitTaken(Taken->Posts, sent);
  }
  state.SetItemsProcessed(state.iterations() * Batch);
}
BENCHMARK(BM_PostedMessageBatches)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv)
{
  TScratch scratch;
  setenv("OXA_MACHINE", scratch.HostPath().c_str(), 1);
  int sockets[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, sockets) != 0) {
    return 1;
  }
  void* shared = mmap(nullptr, sizeof(TTaken), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (shared == MAP_FAILED) {
    return 1;
  }
  Taken = new (shared) TTaken{};
  const pid_t peer = fork();
  if (peer == 0) {
    close(sockets[0]);
    _exit(RunPeer(sockets[1]));
  }
  close(sockets[1]);
  int result = 1;
  {
    TSide side;
    side.Socket = sockets[0];
    side.Client.SetClientName("Bench");
    side.Client.SetIpc(&side.Ipc);
    if (side.Ipc.Open(false) && side.Ipc.Exists(side.Ipc.NameToId("Peer"), 20000)) {
      std::uint32_t size = 0;
      std::vector<std::uint8_t> data;
      for (int i = 0; i < 100 && side.PeerWindow == nullptr; ++i) {
        std::uint32_t handle = 0;
        if (side.Ipc.GetProperty(side.Ipc.NameToId("Peer"), side.Ipc.NameToId("Window"), size, data) &&
            size == sizeof(handle)) {
          std::memcpy(&handle, data.data(), sizeof(handle));
          side.PeerWindow = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(handle));
        }
        Sleep(50);
      }
      Side = &side;
      benchmark::Initialize(&argc, argv);
      benchmark::RunSpecifiedBenchmarks();
      benchmark::Shutdown();
      Side = nullptr;
      result = 0;
    }
    close(sockets[0]);  // the peer's echo thread ends, and with it the peer
  }
  int status = 0;
  waitpid(peer, &status, 0);
  return result;
}
