#pragma once
// TMusicForm: the main window. It decides whether the process may run at all (AlreadyRunning),
// builds everything that hangs off it in a fixed order, and tears it down when it closes.

#include <memory>
#include <string>
#include <vector>

#include "Music/MusicHack.h"
#include "Music/MusicNavigator.h"
#include "Music/MusicTypeAhead.h"
#include "OxaIPC/MusicIpc.h"
#include "OxaIPC/OxaIpc.h"
#include "forms/Forms.h"
#include "playback/OxaMusicPlayer.h"

class TOxaTimer;

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

  // ---- the controller: remote commands, navigation, keys, player and scan events ----
  // (MusicRemote.cpp, MusicNavigation.cpp, MusicKeys.cpp, MusicEvents.cpp)

  // 0 browser hidden; 1 and 2 the first list in its two presentations; 3 both lists.
  std::uint8_t DisplayMode = 0;
  // 0 closed; 1 and 2 the scan panel in its two presentations.
  std::uint8_t ScanPanel = 0;
  std::int32_t ActivationCount = 0;
  // Keyboard input of the user is ignored until this time (GetTickCount64).
  std::uint64_t InputBlockedUntil = 0;
  std::string StatusText;
  // The last scan progress line, for the scan panel.
  std::string ScanProgressText;
  HWND PreviousForeground = nullptr;
  // The host's display is on.
  bool HostDisplayOn = false;
  // The view of the first list: the groups "Wind" and "Rewind" walk and the jump by name
  // searches.
  std::int32_t ShownView = ViewFolders;

  TMusicNavigator& Navigator() noexcept { return *FNavigator; }
  const TMusicTypeAhead& TypeAhead() const noexcept { return FTypeAhead; }

  void SetDisplayMode(std::uint8_t mode);
  void ToggleScanPanel(std::uint8_t panel);

  void UpdatePlaying();
  void StartUpdateScan();
  void StepUp();
  void StepDown();
  void Wind();
  void Rewind();
  void ToggleRandom();
  // Shows the current item in view (a colour key).
  void ShowInView(std::int32_t view);
  // One character typed into the type-ahead entry.
  void TypeCharacter(char character);
  // A key going down on the program's windows or forwarded by the host; true when handled.
  bool HandleKey(WORD key, TShiftState shift, DWORD time);
  // Favorites are removed from their lists; other tracks, and the tracks of groups, hidden.
  void DeleteItems(const TDbIdList& items);

  // The scan panel's buttons.
  void ScanPanelStart(TObject* sender);
  void ScanPanelRemove(TObject* sender);
  void ScanPanelUnhide(TObject* sender);

 private:
  void ConnectController();
  void DisconnectController() noexcept;
  // Node events.
  void NodeOpen(TObject* sender);
  void NodeClose(TObject* sender);
  template <TSourceKey Key>
  void NodeKey(TObject* sender, std::int32_t sourceSender, std::int32_t extra);
  void RemoteKey(TSourceKey key, std::int32_t extra);
  void NodeKeyDown(TObject* sender, const TNodeKey* key, bool& handled);
  void NodeKeyUp(TObject* sender, const TNodeKey* key, bool& handled);
  void NodeKeyPress(TObject* sender, const TNodeKey* key, bool& handled);
  void NodeDisplay(TObject* sender, const void* record);
  void NodeHide(TObject* sender, const void* request, std::int32_t& answer);
  void NodePlayFile(TObject* sender, const std::uint8_t* payload, std::uint32_t size);
  void NodeInfo(TObject* sender, std::int32_t a, std::int32_t b);
  void NodeScan(TObject* sender, std::int32_t a, std::int32_t b);
  void NodeUpdateScan(TObject* sender, std::int32_t a, std::int32_t b);
  void NodeTrackRecorded(TObject* sender);
  void NodeHostShown(TObject* sender);
  void NodeHostHidden(TObject* sender);
  void ShowBrowser();
  void HideBrowser();
  // Player and scan events.
  void PlayerTrackComplete(TObject* sender);
  void PlayerTrackFailed(TObject* sender);
  void PlayerStep1Progress(TObject* sender, const std::string& folder, std::int32_t count);
  void PlayerStep2Progress(TObject* sender, const std::string& folder, std::int32_t seconds);
  void DatabaseUpdateProgress(TObject* sender, const std::string& folder, std::int32_t percent);
  void PlayerUpdateDatabase(TObject* sender);
  void ShowScanProgress(const std::string& text);
  // The keyboard hook and the type-ahead time-out.
  void ApplicationMessage(MSG& message, bool& handled);
  void EntryTimeout(TOxaTimer* sender, std::int32_t value, std::uint64_t due);
  void CloseTimeout(TOxaTimer* sender, std::int32_t value, std::uint64_t due);
  void UpdateDatabaseRetry(TOxaTimer* sender, std::int32_t value, std::uint64_t due);
  void PlayEntryNumber(std::int32_t number);
  void JumpByName(const std::string& text);
  // The top-level image runs a transition (the update is retried later).
  bool ImageBusy() const;
  void ReportStatus();

  std::unique_ptr<TMusicNavigationHost> FNavigationHost;
  std::unique_ptr<TMusicNavigator> FNavigator;
  TMusicTypeAhead FTypeAhead;
  TOxaTimer* FTimer = nullptr;
  // A key the host forwarded is being handled: it is never forwarded back.
  bool FKeyFromHost = false;

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
