#pragma once
// The scan panel, top to bottom: the "SCAN OPTIONS" title bar, two spacers, the START / STOP /
// HIDE SCAN buttons, the status line with the progress bar under it, the option group, four
// separator lines and the drive box. Every part paints on its own (AsyncPaint).
//
// Decisions of this implementation:
// - Heights: title 60, spacers 20, buttons 64, status 36, progress 8, options 50, lines 1 each;
//   the drive box takes the rest.
// - The option group is hidden until Ctrl+X shows it (the status line invites to it).
// - A disabled progress bar shows black only.

#include <cstdint>
#include <string>
#include <string_view>

#include "graphics/OxaBitmap.h"
#include "graphics/OxaButton.h"
#include "views/scan/MusicScanScrollbox.h"

class TOxaMusicScanAssetsForm;

class TOxaMusicScanButtonPanel : public TOxaDarkenBitmap {
 public:
  static constexpr int PanelHeight = 64;
  explicit TOxaMusicScanButtonPanel(TOxaObjects* parentList = nullptr);
  TOxaButton* StartButton() const noexcept { return FStart; }
  TOxaButton* StopButton() const noexcept { return FStop; }
  TOxaButton* HideButton() const noexcept { return FHide; }

 private:
  TOxaButton* NewButton(const char* name, const char* caption);
  TOxaButton* FStart;
  TOxaButton* FStop;
  TOxaButton* FHide;
};

class TOxaMusicScanStatus : public TOxaBitmap {
 public:
  static constexpr int StatusHeight = 36;
  explicit TOxaMusicScanStatus(TOxaObjects* parentList = nullptr);

  TOxaLabel* Label() const noexcept { return FLabel; }
  // Text, CR, path. The label shows it on two lines.
  const std::string& Caption() const noexcept { return FCaption; }
  // Text, a CR and path shortened from the left to the line's width; repaints only a changed
  // caption, and at once with repaint.
  void SetStatus(std::string_view text, std::string_view path, bool repaint);
  // The width text takes in the status font (0 without one).
  int TextWidth(std::string_view text) const;

 protected:
  void Resized() override;

 private:
  TOxaLabel* FLabel;
  std::string FCaption;
};

class TOxaMusicScanProgressBar : public TOxaBitmap {
 public:
  static constexpr int BarHeight = 8;
  static constexpr TOxaColor BarColor = 13055;
  explicit TOxaMusicScanProgressBar(TOxaObjects* parentList = nullptr);

  int Percent() const noexcept { return FPercent; }
  // 0..100.
  void SetPercent(int value);
  // The filled width for a bar of width at percent.
  static int FilledWidth(int width, int percent) noexcept;
  void SetActive(bool value);
  bool Active() const noexcept { return FActive; }

 protected:
  void Resized() override;

 private:
  void Compose();
  int FPercent = 0;
  bool FActive = false;
};

// A one-pixel separator.
class TOxaMusicScanLine : public TOxaBitmap {
 public:
  explicit TOxaMusicScanLine(TOxaObjects* parentList = nullptr, TOxaColor color = 0x464646);
};

class TOxaMusicScan : public TOxaBitmap {
 public:
  static constexpr int TitleHeight = 60;
  static constexpr int SpacerHeight = 20;
  static constexpr int LineCount = 4;

  explicit TOxaMusicScan(TOxaObjects* parentList = nullptr);

  // The asset container's store, fonts and sets.
  void SetAssets(TOxaMusicScanAssetsForm& assets);

  TOxaDarkenLabel* Title() const noexcept { return FTitle; }
  TOxaMusicScanButtonPanel* Buttons() const noexcept { return FButtons; }
  TOxaMusicScanStatus* Status() const noexcept { return FStatus; }
  TOxaMusicScanProgressBar* Progress() const noexcept { return FProgress; }
  TOxaMusicScanRadiobuttonGroup* Options() const noexcept { return FOptions; }
  TOxaMusicScanScrollbox* Drives() const noexcept { return FDrives; }
  TOxaLabel* Credits() const noexcept { return FCredits; }

 private:
  TOxaBitmap* NewSpacer(int height);
  TOxaDarkenLabel* FTitle;
  TOxaMusicScanButtonPanel* FButtons;
  TOxaMusicScanStatus* FStatus;
  TOxaMusicScanProgressBar* FProgress;
  TOxaMusicScanRadiobuttonGroup* FOptions;
  TOxaMusicScanScrollbox* FDrives;
  TOxaLabel* FCredits;
};
