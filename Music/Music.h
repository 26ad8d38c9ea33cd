#pragma once
// TMusicForm: the main window. It decides whether the process may run at all (AlreadyRunning),
// builds everything that hangs off it in a fixed order, and tears it down when it closes.

#include <memory>
#include <string>
#include <vector>

#include "Music/MusicHack.h"
#include "OxaIPC/MusicIpc.h"
#include "OxaIPC/OxaIpc.h"
#include "forms/Forms.h"
#include "playback/OxaMusicPlayer.h"

// The start-up switches of the command line.
struct TStartSwitches {
  bool DebugSwitch = false;
  bool AfterInstallSwitch = false;
  bool StartFromMlSwitch = false;
};

// Each argument, upper-cased, is compared for exact equality with "DEBUG", "AFTERINSTALL" and
// "STARTFROMML"; any other argument is left to the second pass.
TStartSwitches ReadStartSwitches(const std::vector<std::string>& arguments);

// What the program shows when its library can be neither opened nor created.
inline constexpr const char* DatabaseFailedText =
    "OxaNetMusic failed to create the media database.\n\r\n\rPlease check the OxaPlayer installation and "
    "restart the application.\n\r\n\r";
inline constexpr UINT DatabaseFailedStyle = 0x12010;  // error icon, task-modal, set-foreground

class TMusicForm : public TForm {
 public:
  explicit TMusicForm(TComponent* owner);
  ~TMusicForm() override;

  // True when this process must stop at once: another process holds this executable's
  // application lock.
  static bool AlreadyRunning();

  bool DebugSwitch = false;
  bool AfterInstallSwitch = false;
  bool StartFromMlSwitch = false;
  // Set once the window is built; the entry runs the message loop only when it is set.
  bool Running = false;
  bool Closing = false;

  TOxaIpc* Ipc() const noexcept { return FIpc.get(); }
  TIpcVuDirAzuzo* Node() const noexcept { return FNode; }

  // The close handler.
  void FormClose(TObject* sender, TCloseAction& action);

  // The music player; null before it is made and after it is freed.
  TOxaMusicPlayer* Player() const noexcept { return FPlayer.get(); }

 protected:
  void CreateParams(TCreateParams& params) override;

 private:
  // Leaves the player's events unassigned.
  void DetachPlayer() noexcept;

  TMusicHackForm* FHackForm = nullptr;
  std::unique_ptr<TOxaMusicPlayer> FPlayer;
  // The bus and, owned by it, this program's source node.
  TOwnedObject<TOxaIpc> FIpc;
  TIpcVuDirAzuzo* FNode = nullptr;
};
