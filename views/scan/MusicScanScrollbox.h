#pragma once
// The scan panel's lists: check-box rows (one per drive), the two exclusive options, and the
// scrolling box that holds the drive rows.
//
// Decisions of this implementation:
// - A row shows its check image at its left (CheckLeft), the caption after it, in the row's
//   state fonts; the image is "CHECKBOX" or "RADIOBUTTON" + the state's suffix ("N", "NA",
//   "R", "RA"; the group and disabled looks use "R" and "N") + "S" when checked.
// - Clicking a chosen option clears it, so "no option" can be chosen again.
// - The box scrolls by the wheel, RowHeight a notch; the "SCANSCROLLBAR" image stands at its
//   right edge while the rows are taller than the box.

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/OxaBitmap.h"
#include "graphics/OxaButton.h"
#include "rtl/Method.h"
#include "views/scan/OxaMusicScanText.h"

class TOxaMusicScanItem : public TOxaButton {
 public:
  static constexpr int RowHeight = 24;
  static constexpr int CheckLeft = 10;
  static constexpr int CaptionLeft = 32;

  TOxaMusicScanItem(TOxaObjects* parentList, std::string checkImage);

  bool Checked() const noexcept { return FChecked; }
  virtual void SetChecked(bool value);
  TOxaBitmap* CheckImage() const noexcept { return FCheck; }
  // The image name the row shows now.
  std::string CheckImageName() const;

  void ContentChanged() override;

 protected:
  void PlaceText() override;

 private:
  void ShowCheck();
  std::string FCheckImage;
  TOxaBitmap* FCheck;
  bool FChecked = false;
  bool FShowing = false;
};

class TOxaMusicScanCheckboxItem : public TOxaMusicScanItem {
 public:
  explicit TOxaMusicScanCheckboxItem(TOxaObjects* parentList);

  const TOxaScanDrive& Drive() const noexcept { return FDrive; }
  void SetDrive(const TOxaScanDrive& drive);
  TOxaDriveCaptionStyle CaptionStyle() const noexcept { return FStyle; }
  void SetCaptionStyle(TOxaDriveCaptionStyle value);

  void Click() override;

 private:
  TOxaScanDrive FDrive;
  TOxaDriveCaptionStyle FStyle = TOxaDriveCaptionStyle::Detailed;
};

class TOxaMusicScanRadiobuttonGroup;

class TOxaMusicScanRadiobutton : public TOxaMusicScanItem {
 public:
  TOxaMusicScanRadiobutton(TOxaObjects* parentList, TOxaMusicScanRadiobuttonGroup* group);
  void Click() override;

 private:
  TOxaMusicScanRadiobuttonGroup* FGroup;
};

// The option group: at most one of its options chosen.
class TOxaMusicScanRadiobuttonGroup : public TOxaDarkenBitmap {
 public:
  static constexpr int GroupHeight = 50;
  explicit TOxaMusicScanRadiobuttonGroup(TOxaObjects* parentList = nullptr);

  int Count() const noexcept { return int(FOptions.size()); }
  TOxaMusicScanRadiobutton* Options(int index) const;
  TOxaMusicScanRadiobutton* Add(const std::string& caption);
  // -1 for none.
  int ItemIndex() const noexcept { return FItemIndex; }
  void SetItemIndex(int value);

  TOxaNodeEvent OnChange;

 private:
  friend class TOxaMusicScanRadiobutton;
  void OptionClicked(TOxaMusicScanRadiobutton* option);
  std::vector<TOxaMusicScanRadiobutton*> FOptions;
  int FItemIndex = -1;
};

// A spacer of a fixed height between rows.
class TOxaEmptyPanelItem : public TOxaBitmap {
 public:
  explicit TOxaEmptyPanelItem(TOxaObjects* parentList = nullptr, int height = 8);
};

// The ground behind a row group.
class TOxaMusicScanBarBack : public TOxaBitmap {
 public:
  using TOxaBitmap::TOxaBitmap;
};

// A column of items stacked from the top.
class TOxaMusicCustomPanel : public TOxaBitmap {
 public:
  explicit TOxaMusicCustomPanel(TOxaObjects* parentList = nullptr);
  // The height the stacked children need.
  int ContentHeight() const;
};

class TOxaMusicScanCheckboxPanel : public TOxaMusicCustomPanel {
 public:
  using TOxaMusicCustomPanel::TOxaMusicCustomPanel;
};

class TOxaMusicScanScrollbox : public TOxaDarkenBitmap {
 public:
  static constexpr int ScrollBarWidth = 12;
  explicit TOxaMusicScanScrollbox(TOxaObjects* parentList = nullptr);

  int Count() const noexcept { return int(FItems.size()); }
  // Raises EOxaFatal "%s.GetItem: Index out of bounds (Index = %d, Count = %d)".
  TOxaMusicScanCheckboxItem* GetItem(int index) const;
  TOxaMusicScanCheckboxItem* AddDrive(const TOxaScanDrive& drive);
  void AddSpacer(int height);
  void Clear();
  TOxaMusicScanCheckboxPanel* Panel() const noexcept { return FPanel; }
  TOxaBitmap* ScrollBar() const noexcept { return FScrollBar; }

  int ScrollOffset() const noexcept { return FOffset; }
  // Kept between 0 and the rows' overflow.
  void ScrollTo(int offset);

  void MouseWheel(TShiftState shift, int delta, int x, int y, bool& handled) override;
  void ContentChanged() override;

 protected:
  void Resized() override;

 private:
  void PlaceParts();
  TOxaMusicScanCheckboxPanel* FPanel;
  TOxaBitmap* FScrollBar;
  std::vector<TOxaMusicScanCheckboxItem*> FItems;
  int FOffset = 0;
  bool FPlacing = false;
};
