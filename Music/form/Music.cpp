#include "Music/form/Music.h"

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Music/form/MusicDisplay.h"
#include "Music/form/MusicStart.h"
#include "OxaIPC/OxaIpcApplication.h"
#include "OxaIPC/OxaIpcClient.h"
#include "framework/OxaTimer.h"
#include "framework/OxaUtils.h"
#include "platform/core/CommandLine.h"
#include "platform/core/Time.h"
#include "platform/objects/Processes.h"
#include "platform/windows/Windows.h"
#include "rtl/AnsiText.h"
#include "rtl/FileUtils.h"
#include "settings/OxaMusicPlayerTypes.h"
#include "skin/OxaSkin.h"

TStartSwitches ReadStartSwitches(const std::vector<std::string>& arguments)
{
  TStartSwitches switches;
  for (const auto& argument : arguments) {
    const std::string word = AnsiUpperCase(argument);
    if (word == "DEBUG") {
      switches.DebugSwitch = true;
    } else if (word == "AFTERINSTALL") {
      switches.AfterInstallSwitch = true;
    } else if (word == "STARTFROMML") {
      switches.StartFromMlSwitch = true;
    }
  }
  return switches;
}

namespace {

// An image lets its root go before it goes; the root dies with the image's dependants.
void FreeImage(TOxaImage*& image) noexcept
{
  if (image != nullptr) {
    image->SetBitmap(nullptr);
    FreeObject(std::exchange(image, nullptr));
  }
}

std::string ExecutablePath()
{
  std::vector<char> path(MAX_PATH + 1);
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      return std::string(path.data(), length);
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace

bool TMusicForm::AlreadyRunning()
{
  // The bus unit took the lock at start-up if it could; asking again without waiting tells
  // whether this process holds it.
  if (!LockApplication(0)) {
    return true;
  }
  // A copy at another path may run: it is the "VuDirAzuzo" client on the bus. The bus object
  // goes on every path out of here.
  TOxaIpc ipc(nullptr);
  ipc.SetGroupName("VantelPC");
  ipc.RegisterApplication("VuDirAzuzo", ExecutablePath(), {});
  // A host that is not registered (one started by hand) cannot be launched, yet a first copy may
  // be on its bus, or on a bus of its own: the bus is asked either way, or this copy would start,
  // find the program's name taken and end without a word while the first stayed hidden.
  ipc.Launch("Pyrmel", "", 30000);
  if (!ipc.Open(true)) {
    return false;
  }
  ipc.Unlock();  // nothing below needs it held, and the notification is sent without it
  if (!ipc.Exists(ipc.NameToId("VuDirAzuzo"), 0)) {
    return false;
  }
  TOxaIpcClient client(nullptr);
  client.SetClientName(Format("VuDirAzuzo%d", static_cast<int>(ipc.NewId())));
  client.SetIpc(&ipc);
  if (client.Registered()) {
    // The receiving node takes a file name of 256 bytes and drops anything shorter.
    char name[256] = "test";
    client.Notify("VuDirAzuzo", "PlayFile", sizeof(name), name);
    TraceLine("TMusicForm.AlreadyRunning: PlayFile sent");
  }
  client.SetIpc(nullptr);
  return true;
}

TMusicForm::TMusicForm(TComponent* owner) : TMusicForm(owner, CommandLineArguments()) {}

TMusicForm::TMusicForm(TComponent* owner, const std::vector<std::string>& arguments) : TForm(owner)
{
  std::srand(static_cast<unsigned>(GetTickCount()));

  FSwitches = ReadStartSwitches(arguments);

  HandleNeeded();
  if (const HWND application = Application().Handle(); application != nullptr) {
    const LONG_PTR exStyle = GetWindowLongPtrA(application, GWL_EXSTYLE);
    SetWindowLongPtrA(
        application, GWL_EXSTYLE,
        (exStyle | static_cast<LONG_PTR>(WS_EX_TOOLWINDOW)) & ~static_cast<LONG_PTR>(WS_EX_APPWINDOW));
    const LONG_PTR style = GetWindowLongPtrA(application, GWL_STYLE);
    SetWindowLongPtrA(application, GWL_STYLE, style & ~static_cast<LONG_PTR>(WS_SYSMENU));
  }
  OnClose = MakeMethod<&TMusicForm::FormClose>(this);

  CreateWindows();
  CreateAssets();
  CreateImages();
  CreateViews();
  CreateLists();
  if (!StartBus() || !StartPlayer()) {
    // Everything made so far is freed with the window, which the entry frees at once.
    Application().Terminate();
    return;
  }

  // Before the hooks: the controller's keyboard hook is the application's message hook.
  ConnectController();
  ConnectBrowser();
  FActivity.Running = true;
  FActivity.Closing = false;
  TraceObject(this, "Create: %s", "Running");

  PlaceTriangle();
  FillViewSlots();
  HookApplication();
  ShowWindows();
  ChooseStartItem(arguments);
  OpenStartView();
  StartNode();
  FirstScanOrPlay();
  StartOutside();

  TraceObject(this, "Create: %s", "ImportRecorded");
  FPlayer->ImportRecorded();
  FSlides = true;
  RefreshListFocus();
}

void TMusicForm::CreateWindows()
{
  TraceObject(this, "Create: %s", "HackForm");
  FHackForm = TComponent::Create<TMusicHackForm>(*this, Handle());
  TraceObject(this, "Create: %s", "Triangle");
  FTriangle = TComponent::Create<TTriangleForm>(*this);
}

void TMusicForm::CreateAssets()
{
  TraceObject(this, "Create: %s", "Assets");
  // The cursors are resources of the program the containers load by name.
  if (!OxaSkinRegisterCursors()) {
    TraceObject(this, "Create: %s", "Cursors refused");
  }
  // The compiled-in skin is read in place: no copy of its blobs at start.
  const TOxaStoreSource skin = [](std::string_view name) {
    const std::optional<std::string_view> bytes = OxaSkinStoreBytes(name);
    return bytes ? TOxaStoreBlob::Compiled(*bytes) : TOxaStoreBlob{};
  };
  FMusicAssets = TComponent::Create<TMusicAssetsForm>(*this, skin);
  FInfoAssets = TComponent::Create<TOxaMusicInfoAssetsForm>(*this, skin);
  FScanAssets = TComponent::Create<TOxaMusicScanAssetsForm>(*this, skin);
}

void TMusicForm::CreateImages()
{
  TraceObject(this, "Create: %s", "Images");
  for (TOxaImage** image : {&FTopImage, &FBrowserImage}) {
    *image = TComponent::Create<TOxaImage>(*this);
    auto* root = new TOxaBitmap(&(*image)->Objects());
    root->SetBounds(0, 0, BrowserWidth, BrowserHeight);
    (*image)->SetBitmap(root);
    (*image)->SetColor(0);
    (*image)->SetBounds(0, 0, BrowserWidth, BrowserHeight);
    ShowWindow((*image)->Handle(), SW_HIDE);
  }
}

void TMusicForm::CreateViews()
{
  TraceObject(this, "Create: %s", "Views");
  TOxaBitmap* root = FBrowserImage->Bitmap();
  FMusicViewPanel = new TMusicViewPanel(&root->Objects());
  FMusicViewPanel->SetParent(root);
  FMusicViewPanel->SetBounds(0, 0, BrowserWidth, BrowserHeight);
  FMusicViewPanel->View()->SetBitmaps(FInfoAssets->InfoIcons);
  FMusicViewPanel->View()->SetFont(FInfoAssets->InfoTextFonts);
  TOxaBitmap* browser = FMusicViewPanel->View()->Browser();
  for (TMusicListViewEx** list : {&FFirstList, &FSecondList}) {
    *list = new TMusicListViewEx(&browser->Objects(), FMusicAssets->DisplayFonts, FMusicAssets->Icons);
    (*list)->SetParent(browser);
    (*list)->SetVisible(false);
  }
  FSecondList->SetActive(false);
  FScanView = new TOxaMusicScanView(&root->Objects());
  FScanView->SetParent(root);
  FScanView->Panel()->SetAssets(*FScanAssets);
  FScanView->SetVisible(false);
  FScanView->OnHide = MakeMethod<&TMusicForm::ScanPanelHidden>(this);
}

void TMusicForm::CreateLists()
{
  TraceObject(this, "Create: %s", "Lists");
  FPosition.CurrentItem = TDbId{};
  FPosition.SavedItem = TDbId{};
  FFirstListItems.Clear();
  FSecondListItems.Clear();
  FPosition.FirstListSlot = -1;
  FPosition.SecondListSlot = -1;
}

bool TMusicForm::StartBus()
{
  TraceObject(this, "Create: %s", "Bus");
  FIpc = TOwnedObject<TOxaIpc>(std::make_unique<TOxaIpc>(nullptr).release());
  FIpc->SetGroupName("VantelPC");
  FNode = TComponent::Create<TIpcVuDirAzuzo>(*FIpc);
  FNode->WindowHandle = Handle();
  FNode->SetIpc(FIpc.get());
  FStatusFeed.Attach(FNode);
  // Registering the node happens as the bus opens; a bus that cannot be joined ends the
  // program without a word.
  return FIpc->Open(false) && FIpc->Active();
}

bool TMusicForm::StartPlayer()
{
  TraceObject(this, "Create: %s", "Player");
  // The player has no owner: the window frees it itself, at its place in the destructor.
  FPlayer = std::make_unique<TOxaMusicPlayer>();
  TraceObject(this, "Create: %s", "Library");
  if (!FPlayer->OpenLibrary()) {
    const TMusicDatabase& database = FPlayer->Database();
    TraceObject(this, "Create: Library: %s", database.OpenFailureText());
    // A library another process holds, or one the disk refuses now, is whole: the user is told
    // why, and nothing is thrown away.
    const bool kept = database.OpenFailure() == TLibraryFailure::InUse ||
                      database.OpenFailure() == TLibraryFailure::Unavailable;
    const std::string text =
        kept ? std::string(DatabaseUnavailableText) + database.OpenFailureText() + ".\n\r\n\r"
             : DatabaseFailedText;
    MessageBoxA(nullptr, text.c_str(), "OxaNetMusic", DatabaseFailedStyle);
    return false;
  }
  TMusicView* view = FMusicViewPanel->View();
  view->SetPlayer(FPlayer.get());
  for (TMusicListViewEx* list : {FFirstList, FSecondList}) {
    list->List()->SetCovers(view->Covers(), [this](const TDbId& group) { return GroupCoverFile(group); });
  }
  view->OnCoversArrived = [this] {
    for (TMusicListViewEx* list : {FFirstList, FSecondList}) {
      if (list != nullptr) {
        list->List()->CoversArrived();
      }
    }
  };
  return true;
}

void TMusicForm::PlaceTriangle()
{
  TraceObject(this, "Create: %s", "PlaceTriangle");
  const TTriangleSettings settings = ReadTriangleSettings();
  FTriangle->AutoHide = settings.AutoHide;
  FTriangle->SetBounds(0, TriangleWindowTop(settings.Top, settings.Height), settings.Width, settings.Height);
  FTriangle->ActivateWindow = Handle();
  FTriangle->Show(false);
  FTriangle->OnClick = MakeMethod<&TMusicForm::TriangleClick>(this);
  FTriangle->OnMouseEnter = MakeMethod<&TMusicForm::TriangleEnter>(this);
  FTriangle->OnMouseLeave = MakeMethod<&TMusicForm::TriangleLeave>(this);
}

void TMusicForm::FillViewSlots()
{
  TraceObject(this, "Create: %s", "ViewSlots");
  TDbIdList views;
  FPlayer->ListItems(TDbId{}, views);
  FPosition.ViewSlots = FindViewSlots(views);
  // Both selectors offer the slots that hold a view, in slot order.
  std::vector<TMusicListViewItemKinds> kinds;
  std::vector<std::string> captions;
  for (const int slot : FilledSlots(FPosition.ViewSlots)) {
    kinds.push_back(SlotKind(slot));
    captions.push_back(FPosition.ViewSlots[static_cast<std::size_t>(slot)].Caption);
  }
  for (TMusicListViewEx* list : {FFirstList, FSecondList}) {
    list->Header()->SetViews(kinds, captions);
  }
}

void TMusicForm::HookApplication()
{
  TraceObject(this, "Create: %s", "Hooks");
  Application().OnActivate = MakeMethod<&TMusicForm::AppActivate>(this);
  Application().OnDeactivate = MakeMethod<&TMusicForm::AppDeactivate>(this);
  // The controller's keyboard hook, when it is in place, takes the triangle's key itself.
  if (!Application().OnMessage) {
    Application().OnMessage = MakeMethod<&TMusicForm::AppMessage>(this);
  }
  FHooked = true;
}

void TMusicForm::ShowWindows()
{
  TraceObject(this, "Create: %s", "Show");
  FPresentation.PreviousForeground = nullptr;
  Show();
  FHackForm->Show();
  LayoutPanels();
  PresentDisplay(FPresentation.DisplayMode);
  UpdateWindow(Handle());
}

bool TMusicForm::SlotEmpty(int slot)
{
  // The listing is kept in the first list's items: the start view opens on this slot when it
  // has rows, and need not list it again.
  FFirstListItems.Clear();
  if (slot < 0 || slot >= ViewSlotCount || !FPosition.ViewSlots[static_cast<std::size_t>(slot)].Valid()) {
    return true;
  }
  if (!FPlayer->ListItems(FPosition.ViewSlots[static_cast<std::size_t>(slot)], FFirstListItems)) {
    FFirstListItems.Clear();
  }
  return FFirstListItems.Count() == 0;
}

void TMusicForm::ChooseStartItem(const std::vector<std::string>& arguments)
{
  TraceObject(this, "Create: %s", "StartItem");
  if (FSwitches.DebugSwitch) {
    SetDisplayMode(2);
  }
  // The last-played item, the roots (for the first scan) and shuffle in one look at the settings
  // file: each look takes and drops a lock file.
  TStringList lastPlayed;
  TStringList roots;
  TStringList random;
  const TOptionTarget stored[] = {{TMusicOption::LastPlayed, &lastPlayed},
                                  {TMusicOption::Roots, &roots},
                                  {TMusicOption::Random, &random}};
  ReadOptions(stored);
  FStartRootCount = roots.Count();
  FNavigator->Shuffle = RandomOf(random);
  // Every existing file named on the command line is found in the library or added to it; the
  // last one is the command line's start item.
  TDbId argumentItem;
  for (const std::string& file : StartFiles(arguments)) {
    TDbId item;
    if (FPlayer->AddPath(file, false, item) && !item.Empty()) {
      argumentItem = item;
    }
  }
  if (FSwitches.StartFromMlSwitch) {
    FStartItem = TDbId{};
    FStartSlot = PlaylistsSlot;
  } else {
    FStartItem = argumentItem;
    if (TLastPlayed last; FStartItem.Empty() && ParseLastPlayed(lastPlayed, last)) {
      FPlayer->LoadLastPlayed(last, FStartItem);
    }
    FStartSlot = FStartItem.Empty() ? PlaylistsSlot : SlotOfItem(FPosition.ViewSlots, FStartItem);
  }
  if (SlotEmpty(FStartSlot)) {
    if (FSwitches.StartFromMlSwitch) {
      FStartItem = argumentItem;
      FStartSlot = argumentItem.Empty() ? PlaylistsSlot : SlotOfItem(FPosition.ViewSlots, argumentItem);
    } else {
      FStartSlot = FoldersSlot;
    }
  }
  FPosition.CurrentItem = FStartItem;
}

void TMusicForm::OpenStartView()
{
  TraceObject(this, "Create: StartView %d", FStartSlot);
  FPosition.FirstListSlot = FStartSlot;
  // Rows here are the start slot's, listed while it was chosen; none means it changed since.
  if (FFirstListItems.Count() == 0 &&
      FPosition.ViewSlots[static_cast<std::size_t>(FPosition.FirstListSlot)].Valid()) {
    FPlayer->ListItems(FPosition.ViewSlots[static_cast<std::size_t>(FPosition.FirstListSlot)],
                       FFirstListItems);
  }
  FFirstList->Header()->SetCurrentView(SlotKind(FPosition.FirstListSlot));
  FPosition.SecondListSlot = PlaylistsSlot;
  FSecondList->Header()->SetCurrentView(SlotKind(FPosition.SecondListSlot));
  FSecondListItems.Clear();
  if (FPosition.ViewSlots[PlaylistsSlot].Valid()) {
    FPlayer->ListItems(FPosition.ViewSlots[PlaylistsSlot], FSecondListItems);
  }
  for (TMusicListViewEx* list : {FFirstList, FSecondList}) {
    list->Header()->OnViewChanged = MakeMethod<&TMusicForm::ListViewChosen>(this);
  }
  // The start item is current in its group: without the group the first update (the start-up
  // scan's) would find it nowhere and drop it.
  if (FPosition.CurrentItem.Level() == TDbIdLevel::Item && FNavigator) {
    FNavigator->CurrentGroup = FPosition.CurrentItem;
    FNavigator->CurrentGroup.FileId = -1;
    FPlayer->ListItems(FNavigator->CurrentGroup, FNavigator->GroupItems);
    const int index = FNavigator->GroupItems.IndexOfFile(FPosition.CurrentItem.FileId);
    FNavigator->TrackNumber = index >= 0 ? index + 1 : -1;
  }
  ListLoader(FSecondList).Load(FSecondListItems, SlotKind(FPosition.SecondListSlot));
  LoadFirstList();
}

void TMusicForm::StartNode()
{
  TraceObject(this, "Create: %s", "Node");
  // Starting the source node: its window state goes out once, so the host knows it from the start.
  FNode->PublishGui();
}

void TMusicForm::FirstScanOrPlay()
{
  int rootCount = FStartRootCount;
  if (rootCount < 0) {
    TStringList roots;
    ReadOption(TMusicOption::Roots, roots);
    rootCount = roots.Count();
  }
  const bool noRoots = rootCount == 0;
  if (FFirstListItems.Count() == 0 && noRoots && FileExists(SettingsFileName())) {
    TraceObject(this, "Create: %s", "EmptyLibrary");
    if (!FSwitches.AfterInstallSwitch) {
      SetDisplayMode(2);
    }
    ToggleScanPanel(2);
    return;
  }
  if (noRoots) {
    TraceObject(this, "Create: %s", "NoRoots");
    ToggleScanPanel(2);
    return;
  }
  TraceObject(this, "Create: %s", "UpdateScan");
  StartItemOrWind();
  // The scan first reads every file the library knows, on this thread: it waits until the first
  // frame is up. A window timer comes after every paint, and the delay keeps it off the posted
  // path, which would come first.
  FTimer->AddTimer(nullptr, 0, MakeMethod<&TMusicForm::StartupScanDue>(this),
                   GetTickCount64() + TOxaTimer::PostWithin + 1);
}

void TMusicForm::StartupScanDue(TOxaTimer*, std::int32_t, std::uint64_t)
{
  if (FActivity.Running && FPlayer) {
    TraceObject(this, "StartupScan");
    FPlayer->StartUpdateScan();
    ShowLibraryNotice();
  }
}

void TMusicForm::ShowLibraryNotice()
{
  const std::string notice = FPlayer->TakeLibraryNotice();
  if (notice.empty()) {
    return;
  }
  // A library made anew lists nothing of what was shown.
  ReloadListsInPlace();
  MessageBoxA(nullptr, notice.c_str(), "OxaNetMusic", DatabaseFailedStyle);
}

TMusicForm::~TMusicForm()
{
  FActivity.Running = false;
  StopOutside();
  DisconnectBrowser();
  DisconnectController();
  FreeParts();
}

void TMusicForm::FreeParts() noexcept
{
  if (FHooked) {
    // The application outlives the window: its hooks must not call into a freed one.
    Application().OnActivate = nullptr;
    Application().OnDeactivate = nullptr;
    if (Application().OnMessage.Object() == static_cast<void*>(this)) {
      Application().OnMessage = nullptr;
    }
    FHooked = false;
  }
  if (FPlayer) {
    DetachPlayer();
    // The close handler may have disconnected already; a second disconnect does nothing.
    FPlayer->Database().SetConnected(false);
    FPlayer->Stop();
  }
  FFirstListItems.Clear();
  FSecondListItems.Clear();
  if (FIpc) {
    FIpc->Close();
  }
  if (FHackForm != nullptr) {
    FreeObject(std::exchange(FHackForm, nullptr));
  }
  if (FTriangle != nullptr) {
    FreeObject(std::exchange(FTriangle, nullptr));
  }
  FreeImage(FTopImage);
  // The views that hold the player forget it before it goes: the browser image outlives it.
  if (FMusicViewPanel != nullptr) {
    FMusicViewPanel->View()->SetPlayer(nullptr);
  }
  if (FScanView != nullptr) {
    FScanView->Attach(nullptr);
  }
  FPlayer.reset();
  FStatusFeed.Attach(nullptr);
  FNode = nullptr;
  FIpc.reset();
  FMusicViewPanel = nullptr;
  FScanView = nullptr;
  FFirstList = nullptr;
  FSecondList = nullptr;
  FreeImage(FBrowserImage);
}

void TMusicForm::DetachPlayer() noexcept
{
  FPlayer->OnBeforePlay = nullptr;
  FPlayer->OnStateChange = nullptr;
  FPlayer->OnTrackComplete = nullptr;
  FPlayer->OnTrackFailed = nullptr;
  FPlayer->OnPosition = nullptr;
  FPlayer->OnScanEnded = nullptr;
  FPlayer->OnStep1Progress = nullptr;
  FPlayer->OnUpdateDatabase = nullptr;
  FPlayer->OnStep2Progress = nullptr;
  FPlayer->OnScanStopped = nullptr;
}

void TMusicForm::CreateParams(TCreateParams& params)
{
  TForm::CreateParams(params);
  params.WinClassName = "TMusicForm";
  params.Caption = "OxaNetMusic";
  params.Style = WS_POPUP;
  params.ExStyle = (params.ExStyle | WS_EX_TOOLWINDOW | WS_EX_TOPMOST) & ~WS_EX_APPWINDOW;
  params.Width = 0;
  params.Height = 0;
}

void TMusicForm::FormClose(TObject*, TCloseAction& action)
{
  FActivity.Closing = true;
  if (FPlayer) {
    FPlayer->SaveLastPlayed(FPosition.CurrentItem);
  }
  if (FTopImage != nullptr) {
    ShowWindow(FTopImage->Handle(), SW_HIDE);
  }
  if (FActivity.Running) {
    SetDisplayMode(HiddenMode);
    FPresentation.ScanPanel = 0;
    // The stored Top is the triangle's centre, the value start-up reads back.
    WriteTriangleSettings(FTriangle->AutoHide, TriangleStoredTop(FTriangle->Top(), FTriangle->Height()),
                          FTriangle->Width(), FTriangle->Height());
  }
  if (FPlayer) {
    DetachPlayer();
    FPlayer->Stop();
    // Disconnecting writes the closed stamp.
    FPlayer->Database().SetConnected(false);
  }
  action = TCloseAction::caFree;
  FActivity.Running = false;
  SetWindowRgn(Handle(), nullptr, FALSE);
  Hide();
}
