// The source node as the host meets it, between two processes:
// - a "StepUp" call (12 bytes) to the node against a bare bus call of 12 bytes to a plain client
//   of the same peer that answers nothing, in the same run;
// - an "Open" that publishes every record, followed by the "Close" that makes the next one
//   publish again (reported).
// The peer is this program forked before anything else runs.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "OxaIPC/MusicIpc.h"
#include "bench/support/BenchScratch.h"
#include "platform/core/Time.h"
#include "platform/windows/Messages.h"

namespace {

class TPeer : public TObject {
 public:
  void StepUp(TObject*, std::int32_t, std::int32_t) { ++Steps; }
  void Plain(TObject*, POxaIpcMessage) {}
  std::uint32_t Steps = 0;
};

int RunPeer(int socket)
{
  std::atomic<bool> done{false};
  std::thread watch([&] {
    char byte = 0;
    while (read(socket, &byte, 1) == 1) {
    }
    done = true;
  });
  TOxaIpc ipc(nullptr);
  TPeer peer;
  TIpcVuDirAzuzo node(nullptr);
  node.OnStepUp = MakeMethod<&TPeer::StepUp>(&peer);
  node.SetIpc(&ipc);
  TOxaIpcClient plain(nullptr);
  plain.SetClientName("Plain");
  plain.OnDispatch = MakeMethod<&TPeer::Plain>(&peer);
  plain.SetIpc(&ipc);
  if (!ipc.Open(false)) {
    return 1;
  }
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
  plain.SetIpc(nullptr);
  node.SetIpc(nullptr);
  watch.join();
  return 0;
}

struct TSide {
  TOxaIpc Ipc{nullptr};
  TOxaIpcClient Client{nullptr};
};

TSide* Side = nullptr;

void Calls(benchmark::State& state, const char* target, const char* name)
{
  const std::int32_t key[3] = {1, 2, 3};
  std::uint32_t size = 0;
  std::vector<std::uint8_t> data;
  for (auto _ : state) {
    if (!Side->Client.Call(target, name, size, data, sizeof(key), key, 5000, false)) {
      state.SkipWithError("call failed");
      break;
    }
  }
}

void BM_StepUpCall(benchmark::State& state)
{
  Calls(state, "VuDirAzuzo", "StepUp");
}
BENCHMARK(BM_StepUpCall)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_BareCall(benchmark::State& state)
{
  Calls(state, "Plain", "StepUp");
}
BENCHMARK(BM_BareCall)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_OpenPublishingAllThenClose(benchmark::State& state)
{
  std::uint32_t size = 0;
  std::vector<std::uint8_t> data;
  for (auto _ : state) {
    if (!Side->Client.Call("VuDirAzuzo", "Open", size, data, 0, nullptr, 5000, false) || size != 4 ||
        data[0] != 1 || !Side->Client.Call("VuDirAzuzo", "Close", size, data, 0, nullptr, 5000, false)) {
      state.SkipWithError("open or close failed");
      break;
    }
  }
}
BENCHMARK(BM_OpenPublishingAllThenClose)
    ->Unit(benchmark::kMicrosecond)
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
  const pid_t peer = fork();
  if (peer == 0) {
    close(sockets[0]);
    _exit(RunPeer(sockets[1]));
  }
  close(sockets[1]);
  int result = 1;
  {
    TSide side;
    side.Client.SetClientName("Bench");
    side.Client.SetIpc(&side.Ipc);
    if (side.Ipc.Open(false) && side.Ipc.Exists(side.Ipc.NameToId("VuDirAzuzo"), 20000) &&
        side.Ipc.Exists(side.Ipc.NameToId("Plain"), 20000)) {
      Side = &side;
      benchmark::Initialize(&argc, argv);
      benchmark::RunSpecifiedBenchmarks();
      benchmark::Shutdown();
      Side = nullptr;
      result = 0;
    }
    close(sockets[0]);  // the peer's watch thread ends, and with it the peer
  }
  int status = 0;
  waitpid(peer, &status, 0);
  return result;
}
