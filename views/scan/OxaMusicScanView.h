#pragma once
// The scan panel bound to the player's scans: which drives are offered and checked, what START
// and STOP do, and the events the owner acts on (start, unhide, remove).
//
// Keys (see docs/keys.md): Ctrl+X shows or hides the additional options, Ctrl+Shift+X switches
// the drive captions between detailed and short, Ctrl+Alt+Shift+E shows or hides the credits.

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/OxaBitmap.h"
#include "playback/OxaMusicPlayer.h"
#include "views/scan/OxaMusicScan.h"
#include "views/scan/OxaMusicScanChoice.h"

class TOxaMusicScanView : public TOxaBitmap {
 public:
  static constexpr std::string_view InitialStatus = "Hit ctrl+x for additional options";

  explicit TOxaMusicScanView(TOxaObjects* parentList = nullptr);

  TOxaMusicScan* Panel() const noexcept { return FPanel; }
  TOxaMusicPlayer* Player() const noexcept { return FPlayer; }

  // Fills the drive box from the drive records (in order).
  void SetDrives(const std::vector<TOxaScanDrive>& drives);
  // The player's drive snapshot, refreshed.
  void LoadDrives();
  // After a scan or a removal: the drive rows again (their checks kept) and the controls of the
  // player's state; with no scan running the status line shows idleStatus and the bar is empty.
  void Refresh(std::string_view idleStatus);
  // Binds the panel to the player and shows its scan state.
  void Attach(TOxaMusicPlayer* player);
  // The same from a known state: running (with its mode) or idle; idle with no stored drive
  // selection checks the default drives, otherwise the stored ones.
  void ShowScanState(bool running, TScanMode mode);

  // The roots of the checked drive rows, in row order.
  std::vector<std::string> CheckedRoots() const;
  TOxaScanOption Option() const noexcept
  {
    return static_cast<TOxaScanOption>(FPanel->Options()->ItemIndex());
  }
  TOxaDriveCaptionStyle CaptionStyle() const noexcept { return FStyle; }
  void SetCaptionStyle(TOxaDriveCaptionStyle value);

  void Start();
  void Stop();
  // Controls: running (START off, STOP and progress on) or idle (the reverse).
  void SetRunningControls(bool running);
  void SetStatus(std::string_view text, std::string_view path = {}, bool repaint = false)
  {
    FPanel->Status()->SetStatus(text, path, repaint);
  }
  void SetProgress(int percent) { FPanel->Progress()->SetPercent(percent); }

  // The panel's own keys, wherever the keyboard focus is (the owner hands them over while the
  // panel shows): true when the key was one of them.
  bool ScanKey(WORD key, TShiftState shift);
  void KeyDown(WORD& key, TShiftState shift) override;

  TOxaNodeEvent OnStart;
  TOxaNodeEvent OnUnhide;
  TOxaNodeEvent OnRemove;
  TOxaNodeEvent OnHide;

 protected:
  void Resized() override;

 private:
  void StartClicked(TOxaBitmap* sender);
  void StopClicked(TOxaBitmap* sender);
  void HideClicked(TOxaBitmap* sender);
  void OptionChanged(TOxaBitmap* sender);
  void CheckRoots(const std::vector<std::string>& roots);
  void ToggleCredits();
  void RepaintWhole();

  TOxaMusicScan* FPanel;
  TOxaMusicPlayer* FPlayer = nullptr;
  TOxaDriveCaptionStyle FStyle = TOxaDriveCaptionStyle::Detailed;
};

// The credits text.
std::string OxaScanCreditsText();
