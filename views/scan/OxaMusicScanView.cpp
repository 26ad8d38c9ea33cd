// The scan panel bound to the player.
#include "views/scan/OxaMusicScanView.h"

#include "framework/OxaUtils.h"
#include "graphics/OxaImage.h"
#include "platform/windows/Input.h"
#include "rtl/AnsiText.h"
#include "settings/OxaMusicPlayerTypes.h"

std::string OxaScanCreditsText()
{
  return "OXANETMUSIC\r\rMusic from every drive of this PC,\ron the big screen.\r\rThanks for listening.";
}

TOxaMusicScanView::TOxaMusicScanView(TOxaObjects* parentList)
    : TOxaBitmap(parentList), FPanel(new TOxaMusicScan(&Objects()))
{
  FPanel->SetParent(this);
  FPanel->SetHorzAlign(oaStretch);
  FPanel->SetVertAlign(oaStretch);
  TOxaMusicScanButtonPanel* buttons = FPanel->Buttons();
  buttons->StartButton()->OnClick = MakeMethod<&TOxaMusicScanView::StartClicked>(this);
  buttons->StopButton()->OnClick = MakeMethod<&TOxaMusicScanView::StopClicked>(this);
  buttons->HideButton()->OnClick = MakeMethod<&TOxaMusicScanView::HideClicked>(this);
  FPanel->Options()->OnChange = MakeMethod<&TOxaMusicScanView::OptionChanged>(this);
  FPanel->Credits()->SetCaption(OxaScanCreditsText());
  // The panel's keys reach it once it has the focus (the owner gives it when opening it).
  SetWantsFocus(true);
  SetStatus(InitialStatus);
  SetRunningControls(false);
  SetBounds(0, 0, 400, 600);
}

void TOxaMusicScanView::Resized()
{
  TOxaBitmap::Resized();
  TOxaMusicScanScrollbox* drives = FPanel->Drives();
  FPanel->Credits()->SetBounds(drives->Left(), drives->Top(), drives->Width(), drives->Height());
}

void TOxaMusicScanView::SetDrives(const std::vector<TOxaScanDrive>& drives)
{
  TOxaMusicScanScrollbox* box = FPanel->Drives();
  box->Clear();
  box->AddSpacer(6);
  for (const TOxaScanDrive& drive : drives) {
    TOxaMusicScanCheckboxItem* item = box->AddDrive(drive);
    item->SetCaptionStyle(FStyle);
  }
}

void TOxaMusicScanView::LoadDrives()
{
  if (FPlayer == nullptr) {
    return;
  }
  TOxaDriveInformation& information = FPlayer->SearchOptions().DriveInformation();
  information.Refresh();
  std::vector<TOxaScanDrive> drives;
  drives.reserve(static_cast<std::size_t>(information.Count()));
  for (int i = 0; i < information.Count(); ++i) {
    drives.push_back(OxaScanDriveOf(information.Items(i)));
  }
  // The rows are made anew: what the user checked stays checked (START stores exactly that).
  const bool had = FPanel->Drives()->Count() > 0;
  const std::vector<std::string> checked = CheckedRoots();
  SetDrives(drives);
  if (had) {
    CheckRoots(checked);
  }
}

void TOxaMusicScanView::Refresh(std::string_view idleStatus)
{
  if (FPlayer == nullptr) {
    return;
  }
  LoadDrives();
  const bool running = FPlayer->IsScanning();
  SetRunningControls(running);
  if (!running) {
    // The last scan's progress is over: the line and the bar say so.
    SetProgress(0);
    SetStatus(idleStatus, {}, true);
  }
}

void TOxaMusicScanView::Attach(TOxaMusicPlayer* player)
{
  FPlayer = player;
  if (FPlayer == nullptr) {
    return;
  }
  LoadDrives();
  ShowScanState(FPlayer->IsScanning(), FPlayer->Scanner().Mode());
}

void TOxaMusicScanView::CheckRoots(const std::vector<std::string>& roots)
{
  TOxaMusicScanScrollbox* box = FPanel->Drives();
  for (int i = 0; i < box->Count(); ++i) {
    TOxaMusicScanCheckboxItem* item = box->GetItem(i);
    bool listed = false;
    for (const std::string& root : roots) {
      listed = listed || AnsiSameText(root, item->Drive().Root);
    }
    item->SetChecked(listed);
  }
}

void TOxaMusicScanView::ShowScanState(bool running, TScanMode mode)
{
  TStringList stored;
  ReadOption(TMusicOption::WhiteDrives, stored);
  std::vector<std::string> roots;
  roots.reserve(static_cast<std::size_t>(stored.Count()));
  for (int i = 0; i < stored.Count(); ++i) {
    roots.push_back(stored[i]);
  }
  if (running) {
    if (mode == TScanMode::Update) {
      SetStatus("Update scan");
    } else if (mode == TScanMode::Full) {
      CheckRoots(roots);
    }
    SetRunningControls(true);
    return;
  }
  if (roots.empty()) {
    TOxaMusicScanScrollbox* box = FPanel->Drives();
    for (int i = 0; i < box->Count(); ++i) {
      box->GetItem(i)->SetChecked(box->GetItem(i)->Drive().Default());
    }
  } else {
    CheckRoots(roots);
  }
  SetRunningControls(false);
}

std::vector<std::string> TOxaMusicScanView::CheckedRoots() const
{
  std::vector<std::string> roots;
  const TOxaMusicScanScrollbox* box = FPanel->Drives();
  for (int i = 0; i < box->Count(); ++i) {
    if (box->GetItem(i)->Checked()) {
      roots.push_back(box->GetItem(i)->Drive().Root);
    }
  }
  return roots;
}

void TOxaMusicScanView::SetCaptionStyle(TOxaDriveCaptionStyle value)
{
  FStyle = value;
  TOxaMusicScanScrollbox* box = FPanel->Drives();
  for (int i = 0; i < box->Count(); ++i) {
    box->GetItem(i)->SetCaptionStyle(value);
  }
}

void TOxaMusicScanView::SetRunningControls(bool running)
{
  TOxaMusicScanButtonPanel* buttons = FPanel->Buttons();
  buttons->StartButton()->SetDisabled(running);
  buttons->StopButton()->SetDisabled(!running);
  FPanel->Progress()->SetActive(running);
}

void TOxaMusicScanView::Start()
{
  const TOxaScanOption option = Option();
  if (option == TOxaScanOption::None && FPlayer != nullptr && FPlayer->IsScanning()) {
    FPlayer->StopScan();
  }
  const TOxaScanStartResult result = OxaApplyScanStart(CheckedRoots(), option);
  if (!result.Status.empty()) {
    SetStatus(result.Status);
  }
  TOxaMusicScanButtonPanel* buttons = FPanel->Buttons();
  buttons->StopButton()->SetDisabled(false);
  FPanel->Progress()->SetActive(true);
  buttons->StartButton()->SetDisabled(option != TOxaScanOption::None);
  const TOxaNodeEvent& event = result.Event == TOxaScanEvent::Start    ? OnStart
                               : result.Event == TOxaScanEvent::Unhide ? OnUnhide
                                                                       : OnRemove;
  if (event) {
    event(this);
  }
}

void TOxaMusicScanView::Stop()
{
  if (FPlayer != nullptr) {
    FPlayer->StopScan();
  }
  FPanel->Buttons()->StopButton()->SetDisabled(true);
  FPanel->Progress()->SetActive(false);
  SetStatus("Scan stopped");
}

void TOxaMusicScanView::StartClicked(TOxaBitmap*)
{
  Start();
}

void TOxaMusicScanView::StopClicked(TOxaBitmap*)
{
  Stop();
}

void TOxaMusicScanView::HideClicked(TOxaBitmap*)
{
  if (OnHide) {
    OnHide(this);
  }
}

void TOxaMusicScanView::OptionChanged(TOxaBitmap*)
{
  // START is offered again once an option is chosen or cleared: it applies the option.
  FPanel->Buttons()->StartButton()->SetDisabled(false);
}

void TOxaMusicScanView::ToggleCredits()
{
  TOxaLabel* credits = FPanel->Credits();
  credits->SetVisible(!credits->Visible());
  credits->BringToFront();
}

bool TOxaMusicScanView::ScanKey(WORD key, TShiftState shift)
{
  const TShiftState modifiers = shift & (ssCtrl | ssShift | ssAlt);
  if (key == 'X' && modifiers == ssCtrl) {
    TOxaMusicScanRadiobuttonGroup* options = FPanel->Options();
    options->SetVisible(!options->Visible());
    FPanel->Realign();
    RepaintWhole();
    TraceObject(this, "Options: %d", options->Visible() ? 1 : 0);
    return true;
  }
  if (key == 'X' && modifiers == (ssCtrl | ssShift)) {
    SetCaptionStyle(FStyle == TOxaDriveCaptionStyle::Detailed ? TOxaDriveCaptionStyle::Short
                                                              : TOxaDriveCaptionStyle::Detailed);
    RepaintWhole();
    TraceObject(this, "Captions: %s", FStyle == TOxaDriveCaptionStyle::Detailed ? "detailed" : "short");
    return true;
  }
  if (key == 'E' && modifiers == (ssCtrl | ssShift | ssAlt)) {
    ToggleCredits();
    RepaintWhole();
    TraceObject(this, "Credits: %d", FPanel->Credits()->Visible() ? 1 : 0);
    return true;
  }
  return false;
}

void TOxaMusicScanView::RepaintWhole()
{
  // The parts paint alone (AsyncPaint) and a part shown or moved tells no one: the window
  // draws the panel again.
  if (TOxaImage* control = Control()) {
    control->Invalidate();
  }
}

void TOxaMusicScanView::KeyDown(WORD& key, TShiftState shift)
{
  if (ScanKey(key, shift)) {
    key = 0;
    return;
  }
  TOxaBitmap::KeyDown(key, shift);
}
