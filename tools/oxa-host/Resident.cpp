// The resident host: "Pyrmel" and "SourceControl" on the bus until Ctrl+C or "Quit".

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstring>
#include <ostream>

#include "OxaIPC/OxaIpcApplication.h"
#include "OxaIPC/OxaIpcClient.h"
#include "platform/core/Time.h"
#include "platform/windows/Messages.h"
#include "tools/oxa-host/Decode.h"
#include "tools/oxa-host/Host.h"

namespace {

volatile std::sig_atomic_t Interrupted = 0;

void Interrupt(int)
{
  Interrupted = 1;
}

// What the host publishes as "GUI" (68 bytes): shown, window, a third value, zeros.
struct THostGui {
  std::int32_t Shown;
  std::int32_t Window;
  std::int32_t Third;
  std::uint8_t Rest[56];
};
static_assert(sizeof(THostGui) == 68);

// Names on the bus are compared without regard to case, as the bus interns them.
bool Same(const std::string& a, const char* b)
{
  return std::equal(a.begin(), a.end(), b, b + std::strlen(b), [](char x, char y) {
    return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
  });
}

class THost : public TObject {
 public:
  THost(std::ostream& out) : FOut(out) {}

  void Dispatched(TObject* sender, POxaIpcMessage message)
  {
    auto& client = *static_cast<TOxaIpcClient*>(sender);
    const std::string name = Ipc.IdToName(message->Header.Name);
    if (Same(name, "OnAttach") || Same(name, "OnDetach")) {
      return;
    }
    const std::string from = Ipc.IdToName(message->Header.Sender);
    FOut << client.ClientName() << " <- " << from << ": " << name << ' '
         << DecodePayload(name, message->Payload) << std::endl;
    const bool call = message->Call;
    if (Same(name, "Quit")) {
      Quit = true;
    } else if (Same(name, "HostWindow") && message->Payload.size() >= 4) {
      std::int32_t shown = 0;
      std::memcpy(&shown, message->Payload.data(), sizeof(shown));
      Publish(shown != 0);
    } else if (Same(name, "EdgeWindows") && call) {
      const std::int32_t edges[4] = {0, 0, 0, 0};
      client.Result(message, sizeof(edges), edges);
    } else if ((name == "KeyDown" || name == "KeyUp" || name == "KeyPress" || name == "KeyDeadPress") &&
               call) {
      // Printed, not acted on: the key is not handled here.
      const std::uint32_t handled = 0;
      client.Result(message, sizeof(handled), &handled);
    }
  }

  void Publish(bool shown)
  {
    THostGui gui{};
    gui.Shown = shown ? 1 : 0;
    Ipc.SetProperty(Pyrmel.ClientId(), Ipc.NameToId("GUI"), sizeof(gui), &gui);
    Pyrmel.NotifyAll("", "OnGUI", sizeof(gui), &gui);
  }

  TOxaIpc Ipc{nullptr};
  TOxaIpcClient Pyrmel{nullptr};
  TOxaIpcClient SourceControl{nullptr};
  bool Quit = false;

 private:
  std::ostream& FOut;
};

}  // namespace

void HostPump(unsigned milliseconds)
{
  const UINT_PTR wake = SetTimer(nullptr, 0, 50, nullptr);
  const DWORD start = GetTickCount();
  MSG message{};
  while (GetTickCount() - start < milliseconds && Interrupted == 0) {
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      DispatchMessageA(&message);
    } else {
      WaitMessage();
    }
  }
  KillTimer(nullptr, wake);
}

int RunResident(const THostOptions& options, std::ostream& out, std::ostream& err)
{
  // Held for the host's life, so a launch of "Pyrmel" sees the host running and starts no other.
  LockApplication(0);
  std::signal(SIGINT, Interrupt);
  std::signal(SIGTERM, Interrupt);
  THost host(out);
  host.Ipc.SetGroupName(options.Group);
  if (!host.Ipc.Open(false)) {
    err << "oxa-host: bus " << options.Group << " is damaged or cannot be joined\n";
    return HostFailure;
  }
  for (auto* client : {&host.Pyrmel, &host.SourceControl}) {
    client->SetClientName(client == &host.Pyrmel ? "Pyrmel" : "SourceControl");
    client->OnDispatch = MakeMethod<&THost::Dispatched>(&host);
    client->SetIpc(&host.Ipc);
    if (!client->Registered()) {
      err << "oxa-host: cannot register " << client->ClientName() << " on bus " << options.Group
          << ": another host is running\n";
      host.Pyrmel.SetIpc(nullptr);
      host.SourceControl.SetIpc(nullptr);
      return HostFailure;
    }
  }
  host.Publish(false);
  out << "host on bus " << options.Group << " as Pyrmel and SourceControl" << std::endl;
  while (!host.Quit && Interrupted == 0 && host.Pyrmel.Registered()) {
    HostPump(100);
  }
  out << "host leaves the bus" << std::endl;
  host.SourceControl.SetIpc(nullptr);
  host.Pyrmel.SetIpc(nullptr);
  return HostSuccess;
}
