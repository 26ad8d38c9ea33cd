#pragma once
// TMusicForm: the main window. It decides whether the process may run at all (AlreadyRunning),
// builds everything that hangs off it in a fixed order, and tears it down when it closes.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Music/control/MusicNavigator.h"
#include "Music/control/MusicOutsideKeys.h"
#include "Music/control/MusicStatus.h"
#include "Music/control/MusicTypeAhead.h"
#include "Music/form/MusicDisplay.h"
#include "Music/form/MusicFormState.h"
#include "Music/form/MusicHack.h"
#include "Music/form/MusicLircReader.h"
#include "Music/form/MusicStart.h"
#include "Music/lists/MusicLists.h"
#include "Music/mpris/MusicMpris.h"
#include "OxaIPC/MusicIpc.h"
#include "OxaIPC/OxaIpc.h"
#include "forms/Forms.h"
#include "graphics/OxaImage.h"
#include "library/DbId.h"
#include "playback/OxaMusicPlayer.h"
#include "views/MusicAssets.h"
#include "views/OxaMusicInfoAssets.h"
#include "views/OxaMusicScanAssets.h"
#include "views/TriangleFormUnit.h"
#include "views/frame/MusicListHeaderFooter.h"
#include "views/info/MusicView.h"
#include "views/scan/OxaMusicScanView.h"

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
// What it shows when the library is there but cannot be opened now (in use by another process, a
// full disk, no access): the reason follows, and the library is left for a later start.
inline constexpr const char* DatabaseUnavailableText =
    "OxaNetMusic cannot open the media database now; it is left as it is.\n\r\n\r";
inline constexpr UINT DatabaseFailedStyle = 0x12010;  // error icon, task-modal, set-foreground

class TMusicForm : public TForm {
 public:
  // Reads the switches and start files from the process's command line.
  explicit TMusicForm(TComponent* owner);
  TMusicForm(TComponent* owner, const std::vector<std::string>& arguments);
  ~TMusicForm() override;

  // True when this process must stop at once: another process holds this executable's
  // application lock.
  static bool AlreadyRunning();

  const TStartSwitches& Switches() const noexcept { return FSwitches; }
  // Set once the window is built; the entry runs the message loop only when it is set, and the
  // handlers of the bus, the player and the timers do nothing while it is not.
  bool Running() const noexcept { return FActivity.Running; }
  void SetRunning(bool running) noexcept { FActivity.Running = running; }
  bool Closing() const noexcept { return FActivity.Closing; }

  TOxaIpc* Ipc() const noexcept { return FIpc.get(); }
  TIpcVuDirAzuzo* Node() const noexcept { return FNode; }

  // The close handler.
  void FormClose(TObject* sender, TCloseAction& action);

  // The music player; null before it is made and after it is freed.
  TOxaMusicPlayer* Player() const noexcept { return FPlayer.get(); }

  // ---- the window's parts and display (Music.cpp, MusicDisplay.cpp) ----
  TTriangleForm* Triangle() const noexcept { return FTriangle; }
  TMusicHackForm* HackForm() const noexcept { return FHackForm; }
  // The first image carries overlays and transitions above the browser; the second holds the
  // browser: the music view, the two lists, their headers and footers and the panels.
  TOxaImage* TopImage() const noexcept { return FTopImage; }
  TOxaImage* BrowserImage() const noexcept { return FBrowserImage; }
  TMusicAssetsForm* MusicAssets() const noexcept { return FMusicAssets; }
  TOxaMusicInfoAssetsForm* InfoAssets() const noexcept { return FInfoAssets; }
  TOxaMusicScanAssetsForm* ScanAssets() const noexcept { return FScanAssets; }
  // The browser's main node with the music view, and the scan panel above the lists.
  TMusicViewPanel* MusicViewPanel() const noexcept { return FMusicViewPanel; }
  TOxaMusicScanView* ScanView() const noexcept { return FScanView; }
  // The two lists with their headers and footers, in the music view's browser part.
  TMusicListViewEx* FirstList() const noexcept { return FFirstList; }
  TMusicListViewEx* SecondList() const noexcept { return FSecondList; }

  // 0: only the triangle; 1 and 2: the first list in its two presentations; 3: both lists.
  std::uint8_t DisplayMode() const noexcept { return FPresentation.DisplayMode; }
  // 0: closed; 1 and 2: the scan panel in its two presentations.
  std::uint8_t ScanPanel() const noexcept { return FPresentation.ScanPanel; }
  // Nothing when mode is the current one; otherwise hides the top image, stores the mode, lets
  // the lists drop their transient state and shows the new presentation.
  void SetDisplayMode(std::uint8_t mode);
  // Closes the scan panel when it shows presentation, else opens it there.
  void ToggleScanPanel(std::uint8_t presentation);
  // Places the browser on the monitor and restacks the program's windows for the display mode.
  void LayoutPanels();
  void ArrangeWindows();
  // The window that had the foreground before the browser came up; null for none.
  HWND PreviousForeground() const noexcept { return FPresentation.PreviousForeground; }
  // Keyboard input of the user is ignored until this time (GetTickCount64; 0: no longer).
  std::uint64_t InputBlockedUntil() const noexcept { return FPresentation.InputBlockedUntil; }
  void BlockInputUntil(std::uint64_t time) noexcept { FPresentation.InputBlockedUntil = time; }
  // The triangle's own key, Ctrl+Alt+T: turns its auto-hide over. True when it was that key.
  bool TriangleKey(WORD key, TShiftState shift);
  // Mode 1 hides the browser after IdleHideDelay ms without input; input from the user, on the
  // program's windows or forwarded by the host, starts that time again.
  std::uint64_t IdleHideDelay() const noexcept { return FPresentation.IdleHideDelay; }
  void SetIdleHideDelay(std::uint64_t milliseconds) noexcept { FPresentation.IdleHideDelay = milliseconds; }
  std::uint64_t LastUserInput() const noexcept { return FPresentation.LastUserInput; }
  // Input now, or at time (GetTickCount64).
  void NoteUserInput();
  void NoteUserInputAt(std::uint64_t time);
  // Hides mode 1 when the user has been idle long enough at now, else looks again when it could
  // first be so. Nothing in the other modes.
  void IdleCheck(std::uint64_t now);
  // The list holding the keyboard focus of the browser; null for none.
  TMusicListViewEx* ListWithFocus() const noexcept;
  // The clock the lists' slides between modes run on (tests drive their own).
  void SetSlideClock(std::function<std::uint64_t()> clock) { FSlideClock = std::move(clock); }

  // ---- start-up state (Music.cpp; the rules in MusicStart.h) ----
  // The item being played or shown (the navigator walks it).
  const TDbId& CurrentItem() const noexcept { return FPosition.CurrentItem; }
  // The view-level ids of the seven view slots (slot 0 stays empty).
  const TViewSlots& ViewSlots() const noexcept { return FPosition.ViewSlots; }
  // The slot each list shows (-1: none yet).
  int FirstListSlot() const noexcept { return FPosition.FirstListSlot; }
  int SecondListSlot() const noexcept { return FPosition.SecondListSlot; }
  // The item lists the two lists show.
  TDbIdList& FirstListItems() noexcept { return FFirstListItems; }
  TDbIdList& SecondListItems() noexcept { return FSecondListItems; }

  // ---- the controller: remote commands, navigation, keys, player and scan events ----
  // (MusicRemote.cpp, MusicNavigation.cpp, MusicKeys.cpp, MusicEvents.cpp)

  // The last scan progress line, for the scan panel.
  const std::string& ScanProgressText() const noexcept { return FActivity.ScanProgressText; }
  // A full scan started from the scan panel runs with the panel closed: its progress lines show
  // in the first list's header until the library is updated.
  bool ScanInHeader() const noexcept { return FActivity.ScanInHeader; }
  // The host's display is on.
  bool HostDisplayOn() const noexcept { return FActivity.HostDisplayOn; }

  // The view of the first list: the groups "Wind" and "Rewind" walk and the jump by name
  // searches. ShowView puts a view into the first list.
  std::int32_t ShownView() const;
  void ShowView(std::int32_t view);

  // The list holding the current group: navigation walks its groups and marks its rows active.
  // The first list until a row of the second one is played.
  TMusicListViewEx* ActiveList() const noexcept { return FActiveList != nullptr ? FActiveList : FFirstList; }
  void SetActiveList(TMusicListViewEx* list);
  // The list whose selection Backspace and Delete act on: the one holding the browser's focus
  // when it has a selection, else the first list with one; only a list that shows counts.
  TMusicListViewEx* FocusedList() const;
  // Reloads both lists after the library changed; the first list's first visible row stays on
  // top, and the playing row stays in view when it was.
  void ReloadListsInPlace();
  // The first list's view caption, or while an entry is typed "%s   %s" with its text.
  void ShowEntryCaption();

  TMusicNavigator& Navigator() noexcept { return *FNavigator; }
  const TMusicTypeAhead& TypeAhead() const noexcept { return FTypeAhead; }

  void UpdatePlaying();
  // Play, Go: a paused track resumes; otherwise the current item plays (kept when it already
  // does), or with none the shown group from its start.
  void Play();
  void StartUpdateScan();
  void StepUp();
  void StepDown();
  void Wind();
  void Rewind();
  void ToggleRandom();
  // Shows the current item in view (a colour key).
  void ShowInView(std::int32_t view);
  // One character typed into the type-ahead entry.
  void TypeCharacter(char32_t character);
  // A key going down on the program's windows or forwarded by the host; true when handled.
  bool HandleKey(WORD key, TShiftState shift, DWORD time);
  // Favorites are removed from their lists; other tracks, and the tracks of groups, hidden.
  void DeleteItems(const TDbIdList& items);

  // ---- the lists' rows (MusicListRows.cpp) ----
  // A loader over the rows of one of the two lists; groups are listed through the player.
  TMusicListLoader ListLoader(TMusicListViewEx* list);
  // The view id a list shows (-1: none).
  std::int32_t ListView(const TMusicListViewEx* list) const;
  // Lists each list's view again and rebuilds its rows: open groups stay open, the scroll
  // position stays, the playing row is marked. With onlyView, only the lists showing that view.
  void ReloadLists(std::int32_t onlyView = -1);
  // The first list on its slot's view, its rows rebuilt and the current item's row shown.
  void LoadFirstList();
  // Marks the current item's row in both lists (a row that is not loaded is left unmarked).
  void MarkCurrentInLists();
  // The first list also opens the item's group first, and with reveal brings its row into view.
  void ShowCurrentInLists(bool reveal, bool animate = false);
  // Sizes the rows to their lists (after a layout).
  void FitLists();
  // A view chosen in a list's selector: the list switches to the slot of that view.
  void ListViewChosen(TOxaBitmap* sender);
  // The music file whose cover an album or folder row shows: its group's first track.
  std::string GroupCoverFile(const TDbId& group);
  TDbId CurrentItemIn(const TMusicListViewEx* list);
  // ---- end of the lists' rows ----

  // The scan panel's buttons.
  void ScanPanelStart(TOxaBitmap* sender);
  void ScanPanelRemove(TOxaBitmap* sender);
  void ScanPanelUnhide(TOxaBitmap* sender);

  // ---- browser commands: footer buttons, list events, drops (MusicBrowser.cpp) ----
  // Raised while a drop into a list is being applied: nothing is dragged or dropped meanwhile.
  std::int32_t DropBusy() const noexcept { return FActivity.DropBusy; }
  void BeginDrop() noexcept { ++FActivity.DropBusy; }
  void EndDrop() noexcept { --FActivity.DropBusy; }
  // The list whose rows were dropped on a delete button, until the queued removal runs.
  TDisplayListView* PendingRemovalSource() const noexcept { return FPendingRemovalSource; }
  // Reloads a group's rows (a view-level id: every group of the view) in both panels.
  void ReloadGroup(const TDbId& group);
  // Opens the current item's group in the first list and plays its row, a loaded file kept.
  void ReturnToCurrentItem(bool bringIntoView);
  void NewPlaylist();
  // The answers the lists ask for.
  std::string RecordCaption(const TDbId& record);
  static bool RowMayBeEdited(const TDisplayListViewItem* row);
  bool RowMayBeDragged(const TDisplayListViewItem* row) const;
  bool RowTakesDrops(const TDisplayListViewItem* row) const;
  bool ListMayDrag(TDisplayListView* sender, const TDisplayListViewItem* row);
  bool ListMayDrop(TDisplayListView* sender, const TDisplayListViewItem* row);
  bool ListMayEdit(TDisplayListView* sender, const TDisplayListViewItem* row);
  std::string ListCaption(TDisplayListView* sender, const TDbId& record);
  // Whether window is the caption editor of one of the lists, or the info panel's field
  // editor, editing.
  bool EditsInPlace(HWND window) const noexcept;
  // The events of both panels.
  void BrowserButtonClick(TOxaBitmap* sender, TOxaButton* button);
  void ListItemClick(TDisplayListView* sender, TDisplayListViewItem* row, TShiftState shift, int x, int y);
  void ListDrop(TDisplayListView* sender, const TDisplayListViewDrop& drop);
  void ListEdited(TDisplayListView* sender, TDisplayListViewItem* row);
  void ListSelectionChanged(TOxaBitmap* sender);
  void DeleteButtonDragOver(TOxaBitmap* sender, TOxaBitmap* source, int x, int y);
  void DeleteButtonDragLeave(TOxaBitmap* sender, TOxaBitmap* source, int x, int y);
  void DeleteButtonDragDrop(TOxaBitmap* sender, TOxaBitmap* source, int x, int y);

  // ---- the track info panel (MusicInfoPanel.cpp) ----
  // Opens the info panel on the first list's selected track (else the second's, else the
  // playing one) or closes it; both footers swap INFO and HIDE, the lists fit what is left.
  void ShowInfoPanel(bool show);
  bool InfoPanelShown() const noexcept;

 private:
  void ConnectInfoPanel();
  void DisconnectInfoPanel() noexcept;
  void InfoPanelClosed(TOxaBitmap* sender);
  // Whether the list takes rows dropped below its rows: a Playlists list makes a new list of them.
  bool ListTakesDropAtEnd(const TMusicListViewEx* panel) const;
  // ---- end of the track info panel ----

 private:
  void ConnectBrowser();
  void DisconnectBrowser() noexcept;
  void QueuedRemoval(TOxaImage* sender, TOxaBitmap* node);
  void DeleteSelected(TDisplayListView* list);
  TMusicListView* LiveList(const TDisplayListView* list) const noexcept;
  TMusicListViewEx* LivePanel(const TDisplayListView* list) const noexcept;
  TDisplayListView* FPendingRemovalSource = nullptr;
  // ---- end of the browser commands ----

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
  void PlayerPosition(TObject* sender, std::int32_t tenths);
  void PlayerStateChange(TObject* sender, BYTE state);
  void PlayerStep1Progress(TObject* sender, const std::string& folder, std::int32_t count);
  void PlayerStep2Progress(TObject* sender, const std::string& folder, std::int32_t seconds);
  void DatabaseUpdateProgress(TObject* sender, const std::string& folder, std::int32_t percent);
  void PlayerUpdateDatabase(TObject* sender);
  void ShowScanProgress(const std::string& text, const std::string& folder);
  // The keyboard hook and the type-ahead time-out.
  void ApplicationMessage(MSG& message, bool& handled);
  void EntryTimeout(TOxaTimer* sender, std::int32_t value, std::uint64_t due);
  void CloseTimeout(TOxaTimer* sender, std::int32_t value, std::uint64_t due);
  void UpdateDatabaseRetry(TOxaTimer* sender, std::int32_t value, std::uint64_t due);
  // Tells the user, in a message box, what the player has to say about the library (a rebuild
  // of a damaged one, a write it refused), once.
  void ShowLibraryNotice();
  void StartupScanDue(TOxaTimer* sender, std::int32_t value, std::uint64_t due);
  void PlayEntryNumber(std::int32_t number);
  void JumpByName(const std::string& text);
  // The top-level image runs a transition (the update is retried later).
  bool ImageBusy() const;
  void ReportStatus();

 public:
  // The current track went out to the node and the music view (after each change of track).
  void PublishTrack();
  // A step found nothing to play: the node hears of no track; the music view shows the current
  // item (the last row tried) stopped at its start.
  void PublishNothingPlaying();

 private:
  std::unique_ptr<TMusicNavigationHost> FNavigationHost;
  std::unique_ptr<TMusicNavigator> FNavigator;
  TMusicTypeAhead FTypeAhead;
  TOxaTimer* FTimer = nullptr;
  // A key the host forwarded is being handled: it is never forwarded back.
  bool FKeyFromHost = false;
  TMusicListViewEx* FActiveList = nullptr;
  // What Return does over a row of the first list in display mode 3, and the colour keys there.
  bool FirstListMode3Action(TDisplayListViewItem* row);
  void SecondListMode3Keys();
  void ShowEntryCaption(const std::string& text);

 protected:
  void CreateParams(TCreateParams& params) override;

 private:
  TStartSwitches FSwitches;
  TMusicActivity FActivity;
  TMusicPresentation FPresentation;
  TMusicBrowsePosition FPosition;

  // Leaves the player's events unassigned.
  void DetachPlayer() noexcept;

  // The constructor's steps, in their order.
  void CreateWindows();
  void CreateAssets();
  void CreateImages();
  void CreateViews();
  void CreateLists();
  bool StartBus();
  bool StartPlayer();
  void PlaceTriangle();
  void FillViewSlots();
  void HookApplication();
  void ShowWindows();
  void ChooseStartItem(const std::vector<std::string>& arguments);
  void OpenStartView();
  void StartNode();
  void FirstScanOrPlay();
  // The start item stays selected in its group, else the shown view's next group plays; with
  // "Random" on and a start item, a random item of its group plays as after a finished track.
  void StartItemOrWind();
  // Whether the slot's view lists nothing.
  bool SlotEmpty(int slot);
  // What the destructor frees, in its order.
  void FreeParts() noexcept;

  // Application hooks.
  void AppActivate(TObject* sender);
  void AppDeactivate(TObject* sender);
  void AppMessage(MSG& message, bool& handled);
  void TriangleClick(TObject* sender);
  void TriangleEnter(TObject* sender);
  void TriangleLeave(TObject* sender);
  // Shows the windows of the current display mode and scan panel.
  void PresentDisplay(std::uint8_t fromMode);
  void PresentScanPanel();
  void PresentLists(std::uint8_t fromMode);
  void ScanPanelHidden(TOxaBitmap* sender);
  // The lists and the type-ahead entry forget what the user was in the middle of.
  void DropTransientState();
  // The visible list keeping the focus, else the first list, takes it (mode 0: nothing).
  void RefreshListFocus();
  void SlideLists(const TListPlaces& from, const TListPlaces& to);
  void IdleHideDue(TOxaTimer* sender, std::int32_t value, std::uint64_t due);
  std::function<std::uint64_t()> FSlideClock;
  // The lists slide between modes once the window is up (never during start-up).
  bool FSlides = false;

  TTriangleForm* FTriangle = nullptr;
  TMusicAssetsForm* FMusicAssets = nullptr;
  TOxaMusicInfoAssetsForm* FInfoAssets = nullptr;
  TOxaMusicScanAssetsForm* FScanAssets = nullptr;
  TOxaImage* FTopImage = nullptr;
  TOxaImage* FBrowserImage = nullptr;
  TMusicViewPanel* FMusicViewPanel = nullptr;
  TOxaMusicScanView* FScanView = nullptr;
  TMusicListViewEx* FFirstList = nullptr;
  TMusicListViewEx* FSecondList = nullptr;
  TDbIdList FFirstListItems;
  TDbIdList FSecondListItems;
  TDbId FStartItem;
  int FStartSlot = 1;
  // The roots stored when the start item was chosen (-1: not read), for the first scan.
  int FStartRootCount = -1;
  bool FHooked = false;
  // ---- end of the window's parts ----

  TMusicHackForm* FHackForm = nullptr;
  std::unique_ptr<TOxaMusicPlayer> FPlayer;
  // The bus and, owned by it, this program's source node.
  TOwnedObject<TOxaIpc> FIpc;
  TIpcVuDirAzuzo* FNode = nullptr;
  TMusicStatusFeed FStatusFeed;

  // ---- commands from outside the bus: media keys, infrared, the session bus (MusicOutside.cpp)
 public:
  // A command of a media key, the infrared daemon or the session bus: the host's remote keys'
  // handlers act on it, so every remote does the same.
  void OutsideCommand(const TOutsideAction& action);
  // The key map in use (the defaults under the user's "Keys" setting).
  const TOutsideKeyMap& OutsideKeys() const noexcept { return FOutsideKeys; }

 private:
  // Reads the remote settings, starts the infrared reader and the session-bus server.
  void StartOutside();
  void StopOutside() noexcept;
  // The media keys are the program's whatever has the keyboard while the browser hides (hidden);
  // while it shows they come as the browser's own keys.
  void GrabOutsideKeys(bool hidden);
  // What plays now, to the session bus.
  void PublishOutside();
  TOutsideKeyMap FOutsideKeys;
  std::unique_ptr<TMusicLircReader> FLirc;
  std::unique_ptr<TMusicMpris> FMpris;
  bool FOutsideKeysGrabbed = false;
  TDbId FMprisItem;
  TMprisTrack FMprisTrack;
  // ---- end of the commands from outside
};
